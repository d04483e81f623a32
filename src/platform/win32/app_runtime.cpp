// The process side of the window runtime: start-up and shutdown around ProgramMain, exit
// routines, the fatal-error box, the command line and the message box.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

#include "platform/ui_runtime.h"
#include "platform/win32/runtime_state.h"
#include "platform/win32/text_convert.h"
#include "ui/texts.h"

namespace platform {
namespace {

std::atomic<DWORD> uiThreadId{0};
bool oleInitialised = false;  // UI thread only
std::mutex exitMutex;
std::vector<Handler> exitRoutines;

void ShutDownSupport() {
    if (oleInitialised && win32::OnUiThread()) {
        ::OleUninitialize();
        oleInitialised = false;
    }
}

}  // namespace

bool win32::OnUiThread() {
    return ::GetCurrentThreadId() == uiThreadId.load();
}

int RunApplication(int (*programMain)()) {
    uiThreadId = ::GetCurrentThreadId();
    const int code = programMain();
    std::vector<Handler> routines;
    {
        std::lock_guard lock(exitMutex);
        routines.swap(exitRoutines);
    }
    for (Handler routine : routines)
        routine();
    ShutDownSupport();
    return code;
}

bool SetUpRuntime() {
    DWORD none = 0;
    uiThreadId.compare_exchange_strong(none, ::GetCurrentThreadId());
    if (!oleInitialised)
        oleInitialised = SUCCEEDED(::OleInitialize(nullptr));

    // The current directory becomes the program's folder: its path up to the last backslash.
    std::wstring path(32768, L'\0');
    DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(n < path.size() ? n : 0);
    size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos) {
        path.resize(slash == 2 && path[1] == L':' ? slash + 1 : slash);  // "C:" alone would mean C:'s cwd
        ::SetCurrentDirectoryW(path.c_str());
    }

    INITCOMMONCONTROLSEX icc{sizeof icc,
                             ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    // The layout is compiled into the program, so it can always be read.
    return true;
}

void RegisterExitRoutine(Handler routine) {
    std::lock_guard lock(exitMutex);
    if (std::find(exitRoutines.begin(), exitRoutines.end(), routine) == exitRoutines.end())
        exitRoutines.push_back(routine);
}

void FatalError(const std::string& message) {
    const std::string text = std::string(texts::kRuntimeError) + "\r\n\r\n" + texts::kErrorInfo + message + "\r\n";
    // No owner; task-modal, so that no handler of the window runs behind the box.
    ::MessageBoxW(nullptr, win32::Widen(text).c_str(), win32::Widen(texts::kErrorTitle).c_str(),
                  MB_OK | MB_ICONERROR | MB_TASKMODAL);
    {
        std::lock_guard lock(exitMutex);
        exitRoutines.clear();
    }
    ShutDownSupport();
    ::ExitProcess(static_cast<UINT>(-1));
}

std::string CommandLineBytes() {
    return win32::Narrow(::GetCommandLineW());
}

int ShowBox(const std::string& text, int flags, const std::string& title) {
    // No owner and task-modal: shown from an engine thread it leaves the main window usable.
    return ::MessageBoxW(nullptr, win32::Widen(text).c_str(), win32::Widen(title).c_str(),
                         static_cast<UINT>(flags) | MB_TASKMODAL);
}

}  // namespace platform

// Memory that cannot be had is one of the runtime's fatal errors, with the byte count in its
// message; the tool has no path that could go on without the memory it asked for.
namespace {

[[noreturn]] void OutOfMemory(std::size_t bytes) {
    static std::atomic<bool> reporting{false};
    if (reporting.exchange(true))
        ::ExitProcess(static_cast<UINT>(-1));  // failed again while reporting
    std::string message = texts::kOutOfMemory;
    message.replace(message.find("%d"), 2, std::to_string(bytes));
    platform::FatalError(message);
}

}  // namespace

void* operator new(std::size_t bytes) {
    if (void* p = std::malloc(bytes ? bytes : 1))
        return p;
    OutOfMemory(bytes);
}
void* operator new[](std::size_t bytes) {
    return ::operator new(bytes);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
