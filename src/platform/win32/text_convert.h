// Conversions between the tool's texts (code page 936 bytes, whatever the system's ANSI
// code page is) and the UTF-16 of the wide Windows API, at the edge of the platform layer.
#pragma once

#include <string>

namespace platform::win32 {

inline constexpr unsigned kToolCodePage = 936;

std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);
// As Narrow, but false when a character has no form in code page 936 (a path that the
// tool could not give back to the system unchanged).
bool NarrowExactly(const std::wstring& text, std::string& out);

}  // namespace platform::win32
