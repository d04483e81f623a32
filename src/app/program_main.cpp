#include "app/program_main.h"

#include "app/command_line.h"
#include "app/globals.h"
#include "platform/ui_runtime.h"
#include "ui/controls.h"
#include "ui/main_window_layout.h"
#include "ui/texts.h"

int ProgramMain() {
    if (!platform::SetUpRuntime()) {
        platform::FatalError(texts::kLayoutUnreadable);
    }
    InitGlobals();
    platform::RegisterExitRoutine(ReleaseGlobals);
    StartupRoutine();
    platform::LoadWindow(MainWindowLayout());
    platform::RunMessageLoop();
    return 0;
}

int StartupRoutine() { return 0; }

void OnWindowCreated() {
    std::vector<std::string> args = GetCommandLineArgs();
    if (!args.empty()) platform::SetControlText(编辑框1, args.front());
}
