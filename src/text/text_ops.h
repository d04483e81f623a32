// Operations on code page 936 texts. Positions are 1-based byte positions, -1 is "not
// found". The searches step over a double-byte character (a byte of 0x80 or above and
// the byte after it) as one unit; case folding touches the ASCII letters only. An
// optional argument that is not given (std::nullopt) is distinct from one given as 0.
#pragma once

#include <optional>
#include <string>

// First occurrence of sought at or after start; caseInsensitive folds case only when exactly 1.
int FindText(const std::string& text, const std::string& sought, std::optional<int> start = std::nullopt,
             std::optional<int> caseInsensitive = std::nullopt);

// Last occurrence of sought; with a start s, only within the first s - 1 bytes.
int FindTextReverse(const std::string& text, const std::string& sought, std::optional<int> start = std::nullopt,
                    bool ignoreCase = false);

std::string TextMid(const std::string& text, int start, int length);
std::string TextRight(const std::string& text, int count);
int TextLength(const std::string& text);

std::string ReplaceText(const std::string& text, const std::string& sought,
                        std::optional<std::string> replacement = std::nullopt, std::optional<int> start = std::nullopt,
                        std::optional<int> count = std::nullopt, std::optional<bool> caseSensitive = std::nullopt);

// The part of text between the first left marker at or after start and the first right
// marker after it; "#引号" in a marker stands for a double quote.
std::string TextBetween(const std::string& text, const std::string& left, const std::string& right,
                        std::optional<int> start = std::nullopt, std::optional<bool> caseInsensitive = std::nullopt);
