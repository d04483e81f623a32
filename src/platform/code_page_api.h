// The system's code-page conversions, with the contract of the Windows functions of the
// same name: a source length of -1 converts the terminator too; a capacity of 0 measures;
// the result is the count written (or needed), 0 on failure. Code page 0 is the system's
// ANSI code page; 65001 is UTF-8.
// Windows: kernel32's own functions, bound by name at the first call.
// Elsewhere: our own conversion with the same results for an ANSI code page of 936.
#pragma once

#include <cstdint>

namespace platform {

int MultiByteToWideChar(unsigned codePage, uint32_t flags, const char* src, int srcLength, char16_t* dst,
                        int capacity);
int WideCharToMultiByte(unsigned codePage, uint32_t flags, const char16_t* src, int srcLength, char* dst,
                        int capacity, const char* defaultChar, bool* usedDefault);

}  // namespace platform
