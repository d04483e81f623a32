#include "text/code_pages.h"
// Placeholder; the real routines come with the text subsystem.
std::string BytesToText(const std::string& b) { return b.substr(0, b.find('\0')); }
std::string MultiByteToWide(const std::string&, std::optional<int>) { return {}; }
std::string WideToMultiByte(const std::string&, std::optional<int>) { return {}; }
std::string Utf8ToAnsi(const std::string& t) { return t; }
