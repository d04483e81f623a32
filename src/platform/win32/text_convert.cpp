#include "platform/win32/text_convert.h"

#include <windows.h>

namespace platform::win32 {

std::wstring Widen(const std::string& text) {
    if (text.empty())
        return {};
    int n = ::MultiByteToWideChar(kToolCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(kToolCodePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

namespace {

std::string Convert(const std::wstring& text, bool* lossy) {
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    DWORD flags = lossy ? WC_NO_BEST_FIT_CHARS : 0;
    int n = ::WideCharToMultiByte(kToolCodePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string out(static_cast<size_t>(n), '\0');
    BOOL usedDefault = FALSE;
    ::WideCharToMultiByte(kToolCodePage, flags, text.data(), length, out.data(), n, nullptr,
                          lossy ? &usedDefault : nullptr);
    if (lossy)
        *lossy = usedDefault != FALSE;
    return out;
}

}  // namespace

std::string Narrow(const std::wstring& text) {
    return Convert(text, nullptr);
}

bool NarrowExactly(const std::wstring& text, std::string& out) {
    bool lossy = false;
    out = Convert(text, &lossy);
    return !lossy;
}

}  // namespace platform::win32
