// Free names for a target file that already exists: "x.mp3", "x(1).mp3", "x(2).mp3" ...
#pragma once

#include <functional>
#include <string>

namespace engine {

// The engine keeps the target path in 260 bytes with the closing NUL.
constexpr size_t kMaxTargetPath = 259;

// The next name after `path`: "(1)" before the first "." of the file name (at its end
// without a "."), or the counter of one or two digits in parentheses already there
// raised by one. The folder part (up to the last "\" or "/") stays as it is.
std::string NextName(const std::string& path);

// Steps through NextName until `taken` says no, at most 99 times. False when every try
// was taken or a name grew past kMaxTargetPath.
bool FindFreeName(const std::string& path, const std::function<bool(const std::string&)>& taken, std::string* freeName);

}  // namespace engine
