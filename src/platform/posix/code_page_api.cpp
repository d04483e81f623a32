// Native code-page conversions with the results of the Windows functions on a system whose
// ANSI code page is 936: UTF-8 decoded without strict checking (each invalid sequence
// becomes one U+FFFD, its valid prefix consumed with it), code page 936 with "?" as the
// default character on both sides. The 936 tables are read from glibc's iconv at first use.
#include "platform/code_page_api.h"

#include "platform/posix/cp936_tables.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace platform {
namespace {

constexpr unsigned kAnsi = 936;
constexpr unsigned kUtf8 = 65001;
constexpr char16_t kReplacement = 0xFFFD;

bool NoHighBit8(const unsigned char* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return (w & 0x8080808080808080ull) == 0;
}

// Writes units to dst while there is room; with Write false it only counts. Returns the
// count, or -1 when dst is too small (what fitted has been written).
// Copies ASCII eight bytes at a time while the room allows (or only counts when measuring).
template <bool Write>
void CopyAsciiRun(const unsigned char* s, size_t n, char16_t* dst, size_t cap, size_t& i, size_t& o) {
    while (i + 8 <= n && NoHighBit8(s + i)) {
        if (Write) {
            if (o + 8 > cap)
                return;
            for (int k = 0; k < 8; ++k)
                dst[o + k] = s[i + k];
        }
        i += 8;
        o += 8;
    }
}

template <bool Write>
long long DecodeUtf8(const unsigned char* s, size_t n, char16_t* dst, size_t cap) {
    // Continuation bytes per lead byte 0x80..0xFF; C0, C1 and F5..FF begin nothing.
    static constexpr unsigned char kLength[128] = {
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
        2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    static constexpr unsigned char kMask[4] = {0x7F, 0x1F, 0x0F, 0x07};
    size_t i = 0, o = 0;
    // A byte past the end is no continuation byte: a sequence cut by the end is one U+FFFD.
    auto cont = [&](size_t k) -> unsigned { return k < n ? (s[k] ^ 0x80u) : 0x100u; };
    while (i < n) {
        CopyAsciiRun<Write>(s, n, dst, cap, i, o);
        if (i >= n)
            break;
        unsigned c = s[i++];
        uint32_t u = c;
        // The common case of a Chinese page first: a well-formed three-byte sequence.
        if ((c & 0xF0) == 0xE0 && i + 1 < n) {
            const unsigned x1 = s[i] ^ 0x80u, x2 = s[i + 1] ^ 0x80u;
            u = (c & 0x0Fu) << 12 | x1 << 6 | x2;
            if (x1 < 0x40 && x2 < 0x40 && u >= 0x800 && (u < 0xD800 || u >= 0xE000)) {
                if (Write) {
                    if (o + 1 > cap)
                        return -1;
                    dst[o] = static_cast<char16_t>(u);
                }
                i += 2;
                ++o;
                continue;
            }
            u = c;
        }
        if (c >= 0x80) {
            unsigned len = kLength[c - 0x80], x;
            u = c & kMask[len];
            switch (len) {
                case 3:
                    if ((x = cont(i)) >= 0x40)
                        goto invalid;
                    u = u << 6 | x;
                    ++i;
                    if (u < 0x10 || u >= 0x110)
                        goto invalid;  // overlong, or above U+10FFFF
                    [[fallthrough]];
                case 2:
                    if ((x = cont(i)) >= 0x40)
                        goto invalid;
                    u = u << 6 | x;
                    ++i;
                    if (u < 0x20 || (u >= 0x360 && u < 0x380))
                        goto invalid;  // overlong, or a surrogate
                    [[fallthrough]];
                case 1:
                    if ((x = cont(i)) >= 0x40)
                        goto invalid;
                    u = u << 6 | x;
                    ++i;
                    if (u < 0x80)
                        goto invalid;
                    break;
                default:
                invalid:
                    u = kReplacement;
            }
        }
        if (u > 0xFFFF) {
            if (Write) {
                if (o + 2 > cap)
                    return -1;
                dst[o] = static_cast<char16_t>(0xD800 + ((u - 0x10000) >> 10));
                dst[o + 1] = static_cast<char16_t>(0xDC00 + ((u - 0x10000) & 0x3FF));
            }
            o += 2;
        } else {
            if (Write) {
                if (o + 1 > cap)
                    return -1;
                dst[o] = static_cast<char16_t>(u);
            }
            ++o;
        }
    }
    return static_cast<long long>(o);
}

template <bool Write>
long long Decode936(const unsigned char* s, size_t n, char16_t* dst, size_t cap) {
    const cp936::Tables* t = Write ? &cp936::Get() : nullptr;
    size_t i = 0, o = 0;
    while (i < n) {
        CopyAsciiRun<Write>(s, n, dst, cap, i, o);
        if (i >= n)
            break;
        unsigned char c = s[i];
        char16_t u;
        // A lead byte takes the next byte with it, unless that is the end or a zero byte.
        if (cp936::IsLead(c) && i + 1 < n && s[i + 1] != 0) {
            u = Write ? t->pair[c - 0x81][s[i + 1]] : 0;
            i += 2;
        } else {
            u = Write ? t->single[c] : 0;
            i += 1;
        }
        if (Write) {
            if (o + 1 > cap)
                return -1;
            dst[o] = u;
        }
        ++o;
    }
    return static_cast<long long>(o);
}

bool NoHighUnit4(const char16_t* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return (w & 0xFF80FF80FF80FF80ull) == 0;
}

// Appends bytes while there is room; -1 when a character does not fit.
template <bool Write>
long long Encode936(const char16_t* s,
                    size_t n,
                    unsigned char* dst,
                    size_t cap,
                    const char* defaultChar,
                    bool* usedDefault) {
    const cp936::Tables& t = cp936::Get();
    unsigned char dflt[2] = {'?', 0};
    size_t dfltLen = 1;
    if (defaultChar) {
        dflt[0] = static_cast<unsigned char>(defaultChar[0]);
        dflt[1] = static_cast<unsigned char>(defaultChar[1]);
        dfltLen = (cp936::IsLead(dflt[0]) && dflt[1] != 0) ? 2 : 1;
    }
    size_t i = 0, o = 0;
    while (i < n) {
        while (i + 4 <= n && NoHighUnit4(s + i)) {
            if (Write) {
                if (o + 4 > cap)
                    break;
                for (int k = 0; k < 4; ++k)
                    dst[o + k] = static_cast<unsigned char>(s[i + k]);
            }
            i += 4;
            o += 4;
        }
        if (i >= n)
            break;
        char16_t u = s[i++];
        uint16_t e = u < 0x80 ? u : t.encode[u];
        if (e >= 0x100) {  // the common case: a double-byte character
            if (Write) {
                if (o + 2 > cap)
                    return -1;
                dst[o] = static_cast<unsigned char>(e >> 8);
                dst[o + 1] = static_cast<unsigned char>(e);
            }
            o += 2;
            continue;
        }
        unsigned char bytes[2];
        size_t len;
        if (u != 0 && e == 0) {
            bytes[0] = dflt[0];
            bytes[1] = dflt[1];
            len = dfltLen;
            if (usedDefault)
                *usedDefault = true;
        } else if (e < 0x100) {
            bytes[0] = static_cast<unsigned char>(e);
            len = 1;
        } else {
            bytes[0] = static_cast<unsigned char>(e >> 8);
            bytes[1] = static_cast<unsigned char>(e);
            len = 2;
        }
        if (Write) {
            if (o + len > cap)
                return -1;
            std::memcpy(dst + o, bytes, len);
        }
        o += len;
    }
    return static_cast<long long>(o);
}

template <bool Write>
long long EncodeUtf8(const char16_t* s, size_t n, unsigned char* dst, size_t cap) {
    size_t i = 0, o = 0;
    while (i < n) {
        uint32_t u = s[i++];
        if (u >= 0xD800 && u < 0xDC00 && i < n && s[i] >= 0xDC00 && s[i] < 0xE000)
            u = 0x10000 + ((u - 0xD800) << 10) + (s[i++] - 0xDC00);
        else if (u >= 0xD800 && u < 0xE000)
            u = kReplacement;  // a lone surrogate
        unsigned char b[4];
        size_t len;
        if (u < 0x80) {
            b[0] = static_cast<unsigned char>(u);
            len = 1;
        } else if (u < 0x800) {
            b[0] = static_cast<unsigned char>(0xC0 | u >> 6);
            b[1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
            len = 2;
        } else if (u < 0x10000) {
            b[0] = static_cast<unsigned char>(0xE0 | u >> 12);
            b[1] = static_cast<unsigned char>(0x80 | (u >> 6 & 0x3F));
            b[2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
            len = 3;
        } else {
            b[0] = static_cast<unsigned char>(0xF0 | u >> 18);
            b[1] = static_cast<unsigned char>(0x80 | (u >> 12 & 0x3F));
            b[2] = static_cast<unsigned char>(0x80 | (u >> 6 & 0x3F));
            b[3] = static_cast<unsigned char>(0x80 | (u & 0x3F));
            len = 4;
        }
        if (Write) {
            if (o + len > cap)
                return -1;
            std::memcpy(dst + o, b, len);
        }
        o += len;
    }
    return static_cast<long long>(o);
}

// The count as the Windows functions return it: 0 for failure and for counts beyond int.
int Result(long long count) {
    return count > 0 && count <= 0x7FFFFFFF ? static_cast<int>(count) : 0;
}

size_t WideLength(const char16_t* s) {
    size_t n = 0;
    while (s[n] != 0)
        ++n;
    return n;
}

}  // namespace

int MultiByteToWideChar(unsigned codePage,
                        uint32_t flags,
                        const char* src,
                        int srcLength,
                        char16_t* dst,
                        int capacity) {
    if (!src || srcLength == 0 || srcLength < -1 || capacity < 0 || (capacity > 0 && !dst))
        return 0;
    if (codePage == 0)
        codePage = kAnsi;
    if (codePage != kAnsi && codePage != kUtf8)
        return 0;
    const size_t n = srcLength == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcLength);
    const auto* s = reinterpret_cast<const unsigned char*>(src);
    const size_t cap = static_cast<size_t>(capacity);
    if (codePage == kUtf8)
        return Result(capacity == 0 ? DecodeUtf8<false>(s, n, nullptr, 0) : DecodeUtf8<true>(s, n, dst, cap));
    return Result(capacity == 0 ? Decode936<false>(s, n, nullptr, 0) : Decode936<true>(s, n, dst, cap));
}

int WideCharToMultiByte(unsigned codePage,
                        uint32_t flags,
                        const char16_t* src,
                        int srcLength,
                        char* dst,
                        int capacity,
                        const char* defaultChar,
                        bool* usedDefault) {
    if (!src || srcLength == 0 || srcLength < -1 || capacity < 0 || (capacity > 0 && !dst))
        return 0;
    if (codePage == 0)
        codePage = kAnsi;
    if (codePage != kAnsi && codePage != kUtf8)
        return 0;
    const size_t n = srcLength == -1 ? WideLength(src) + 1 : static_cast<size_t>(srcLength);
    auto* d = reinterpret_cast<unsigned char*>(dst);
    const size_t cap = static_cast<size_t>(capacity);
    if (codePage == kUtf8) {
        if (defaultChar || usedDefault)
            return 0;  // UTF-8 has no default character
        return Result(capacity == 0 ? EncodeUtf8<false>(src, n, nullptr, 0) : EncodeUtf8<true>(src, n, d, cap));
    }
    if (usedDefault)
        *usedDefault = false;
    return Result(capacity == 0 ? Encode936<false>(src, n, nullptr, 0, defaultChar, usedDefault)
                                : Encode936<true>(src, n, d, cap, defaultChar, usedDefault));
}

}  // namespace platform
