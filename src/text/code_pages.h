// The tool's character-set routines over the system's conversions (platform/code_page_api.h).
// A wide text is a byte string of UTF-16LE code units, twice the measured count long.
#pragma once

#include <optional>
#include <string>

// The bytes up to the first zero byte.
std::string BytesToText(const std::string& bytes);
// The same, taking over the bytes' storage (a page need not be copied whole).
std::string BytesToText(std::string&& bytes);

// Not given: 65001 (UTF-8). Given as 0: the ANSI code page.
std::string MultiByteToWide(const std::string& text, std::optional<int> codePage = std::nullopt);

// Not given: 0 (the ANSI code page).
std::string WideToMultiByte(const std::string& wide, std::optional<int> codePage = std::nullopt);

// UTF-8 bytes to the same characters in code page 936.
std::string Utf8ToAnsi(const std::string& text);
