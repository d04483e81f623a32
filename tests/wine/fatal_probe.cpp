// A small program on the real Win32 runtime, for the tests of its end: the exit routines
// after a normal end, and the fatal-error box (also for memory that cannot be had) with
// exit code -1 and no exit routine.
//   qzln_fatal_probe.exe normal|fatal|memory MARKER_FILE
// The exit routine writes MARKER_FILE.
#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/ui_runtime.h"

namespace {

std::wstring mode;
std::wstring marker;

void WriteMarker() {
    if (FILE* f = _wfopen(marker.c_str(), L"wb"))
        std::fclose(f);
}

int ProbeMain() {
    platform::SetUpRuntime();
    platform::RegisterExitRoutine(WriteMarker);
    platform::RegisterExitRoutine(WriteMarker);  // once only
    if (mode == L"fatal")
        platform::FatalError("\xB2\xE2\xCA\xD4");  // 测试
    if (mode == L"memory") {
        volatile size_t bytes = SIZE_MAX / 2;
        char* volatile p = new char[bytes];
        p[0] = 1;
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc < 3)
        return 2;
    mode = argv[1];
    marker = argv[2];
    return platform::RunApplication(ProbeMain);
}
