#include "text/text_ops.h"
// Placeholder; the real operations come with the text subsystem.
int FindText(const std::string&, const std::string&, std::optional<int>, std::optional<int>) { return -1; }
int FindTextReverse(const std::string&, const std::string&, std::optional<int>, bool) { return -1; }
std::string TextMid(const std::string&, int, int) { return {}; }
std::string TextRight(const std::string& t, int n) { return n <= 0 ? std::string() : n >= (int)t.size() ? t : t.substr(t.size() - n); }
int TextLength(const std::string& t) { return static_cast<int>(t.size()); }
std::string ReplaceText(const std::string& t, const std::string&, std::optional<std::string>, std::optional<int>, std::optional<int>, std::optional<bool>) { return t; }
std::string TextBetween(const std::string&, const std::string&, const std::string&, std::optional<int>, std::optional<bool>) { return {}; }
