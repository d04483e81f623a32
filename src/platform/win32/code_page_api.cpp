// kernel32's own conversions, bound by name at the first call; that binding serves every
// later call. A failed binding is the runtime's fatal error: there is no fallback.
#include "platform/code_page_api.h"

#include <windows.h>

#include <string>

#include "platform/ui_runtime.h"

namespace platform {
namespace {

using MultiByteToWideCharFn = int(WINAPI*)(UINT, DWORD, LPCCH, int, LPWSTR, int);
using WideCharToMultiByteFn = int(WINAPI*)(UINT, DWORD, LPCWCH, int, LPSTR, int, LPCCH, LPBOOL);

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 code units on both sides");

FARPROC Bind(const char* name) {
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    if (!kernel32)
        kernel32 = LoadLibraryW(L"kernel32.dll");
    FARPROC proc = kernel32 ? GetProcAddress(kernel32, name) : nullptr;
    if (!proc) {
        // 找不到 kernel32.dll 中的函数 <name>
        FatalError(std::string("\xD5\xD2\xB2\xBB\xB5\xBD kernel32.dll \xD6\xD0\xB5\xC4\xBA\xAF\xCA\xFD ") + name);
    }
    return proc;
}

template <typename Fn>
Fn BindAs(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(Bind(name)));
}

}  // namespace

int MultiByteToWideChar(unsigned codePage,
                        uint32_t flags,
                        const char* src,
                        int srcLength,
                        char16_t* dst,
                        int capacity) {
    static const auto fn = BindAs<MultiByteToWideCharFn>("MultiByteToWideChar");
    return fn(codePage, flags, src, srcLength, reinterpret_cast<wchar_t*>(dst), capacity);
}

int WideCharToMultiByte(unsigned codePage,
                        uint32_t flags,
                        const char16_t* src,
                        int srcLength,
                        char* dst,
                        int capacity,
                        const char* defaultChar,
                        bool* usedDefault) {
    static const auto fn = BindAs<WideCharToMultiByteFn>("WideCharToMultiByte");
    BOOL used = FALSE;
    int n = fn(codePage, flags, reinterpret_cast<const wchar_t*>(src), srcLength, dst, capacity, defaultChar,
               usedDefault ? &used : nullptr);
    if (usedDefault)
        *usedDefault = used != FALSE;
    return n;
}

}  // namespace platform
