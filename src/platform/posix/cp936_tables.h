// The code page 936 tables of the native conversion, built from glibc's iconv at first use.
#pragma once

#include <cstdint>

namespace platform::cp936 {

constexpr char16_t kUnmapped = 0;  // in the tables: no mapping

struct Tables {
    char16_t single[256];      // bytes that are not lead bytes
    char16_t pair[0x7E][256];  // lead bytes 0x81..0xFE, by trail byte; "?" for no character
    uint16_t encode[0x10000];  // code unit -> byte (< 0x100) or lead << 8 | trail; 0 = none
};

inline bool IsLead(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

// Built at the first call, shared by every later one.
const Tables& Get();

}  // namespace platform::cp936
