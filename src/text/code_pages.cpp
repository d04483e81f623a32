#include "text/code_pages.h"

#include <cstdint>
#include <cstring>

#include "platform/code_page_api.h"

namespace {

// The number of whole UTF-16 units before the first zero unit, or npos when there is none.
size_t FirstZeroUnit(const std::string& wide) {
    const size_t units = wide.size() / 2;
    const char* p = wide.data();
    size_t i = 0;
    for (; i + 4 <= units; i += 4) {
        uint64_t w;
        std::memcpy(&w, p + 2 * i, 8);
        if (((w - 0x0001000100010001ull) & ~w & 0x8000800080008000ull) != 0)
            break;
    }
    for (; i < units; ++i)
        if (p[2 * i] == 0 && p[2 * i + 1] == 0)
            return i;
    return std::string::npos;
}

}  // namespace

std::string BytesToText(const std::string& bytes) {
    const void* nul = std::memchr(bytes.data(), 0, bytes.size());
    return nul ? std::string(bytes.data(), static_cast<const char*>(nul)) : bytes;
}

std::string BytesToText(std::string&& bytes) {
    bytes.resize(std::strlen(bytes.c_str()));
    return std::move(bytes);
}

std::string MultiByteToWide(const std::string& text, std::optional<int> codePage) {
    if (text.empty() || text[0] == 0)
        return {};
    const unsigned cp = static_cast<unsigned>(codePage.value_or(65001));
    // Measured in the ANSI code page whatever cp is: the room the conversion gets.
    const int n = platform::MultiByteToWideChar(0, 0, text.c_str(), -1, nullptr, 0);
    const auto bytes = static_cast<size_t>(2.0 * n);
    if (bytes == 0)
        return {};
    std::string wide(bytes, '\0');
    platform::MultiByteToWideChar(cp, 0, text.c_str(), -1, reinterpret_cast<char16_t*>(wide.data()), n);
    // Text that is not UTF-8 can need more units than were measured; the conversion then
    // fills the room without a terminator. The last unit stays zero so readers stop there.
    wide[bytes - 2] = 0;
    wide[bytes - 1] = 0;
    return wide;
}

std::string WideToMultiByte(const std::string& wide, std::optional<int> codePage) {
    const unsigned cp = static_cast<unsigned>(codePage.value_or(0));
    const size_t zero = FirstZeroUnit(wide);
    if (zero == 0)
        return {};
    // The conversion reads up to the first zero unit; one that lacks it gets a terminated copy.
    std::u16string terminated;
    const char16_t* src = reinterpret_cast<const char16_t*>(wide.data());
    if (zero == std::string::npos || (reinterpret_cast<uintptr_t>(src) & 1) != 0) {
        const size_t units = zero == std::string::npos ? wide.size() / 2 : zero;
        if (units == 0)
            return {};
        terminated.resize(units);
        std::memcpy(terminated.data(), wide.data(), 2 * units);
        src = terminated.c_str();
    }
    const int m = platform::WideCharToMultiByte(0, 0, src, -1, nullptr, 0, nullptr, nullptr);
    const auto room = static_cast<size_t>(2.0 * m);
    if (room == 0)
        return {};
    std::string buffer(room, ' ');  // std::string keeps the zero byte behind the spaces
    platform::WideCharToMultiByte(cp, 0, src, -1, buffer.data(), static_cast<int>(room), nullptr, nullptr);
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

std::string Utf8ToAnsi(const std::string& text) {
    return WideToMultiByte(MultiByteToWide(text), 936);
}
