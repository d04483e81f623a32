// The Windows entry point: the runtime runs ProgramMain on this thread and gives the exit code.
#include <windows.h>

#include "app/program_main.h"
#include "platform/ui_runtime.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return platform::RunApplication(ProgramMain);
}
