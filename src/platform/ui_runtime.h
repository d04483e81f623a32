// The user-interface runtime: start-up, the main window built from its layout, the
// message loop, exit routines, fatal errors, and the operations on controls.
// One implementation per system: win32/ui_runtime.cpp (the real window) and
// fake/ui_runtime.cpp (scripted, for native tests).
//
// Threads: Setup, LoadWindow, RunMessageLoop and RunApplication belong to the thread that
// started the process (the UI thread). The control operations may be called from any
// thread: off the UI thread they are queued to it and applied in the order of the calls,
// and dropped once the window is gone. Reads of controls belong to the UI thread.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/window_layout.h"

namespace platform {

// The process's life: the runtime sets itself up, calls programMain on this thread, then
// runs the exit routines in order of registration and shuts down. Returns the exit code.
int RunApplication(int (*programMain)());

// OLE for this thread, the current directory set to the program's folder, the common
// controls. Returns false when the layout cannot be read.
bool SetUpRuntime();

// Creates the window hidden and centred, its controls, raises the created event, shows it.
// Raises the fatal error "载入启动窗口失败" when the window cannot be created.
void LoadWindow(const WindowSpec& layout);

// Dispatches the UI thread's messages until the last window of the tool has gone.
void RunMessageLoop();

// Appends the routine to the exit list unless it is there already.
void RegisterExitRoutine(Handler routine);

// The fatal-error box ("错误"), then the end of the process with exit code -1 and
// without the exit routines. The message is code page 936 bytes.
[[noreturn]] void FatalError(const std::string& message);

// The process's command line in the ANSI code page (936), program path first.
std::string CommandLineBytes();

// Controls, addressed by the id of their ControlSpec. Texts are code page 936 bytes.
std::string GetControlText(int control);
void SetControlText(int control, const std::string& text);
void StatusBarSetText(int control, int part, const std::string& text);
void SetProgressPos(int control, int pos);
int GetProgressPos(int control);
void SetTimerPeriod(int control, int periodMs);

// A task-modal box without owner; flags are the Windows MB_ flags; returns the button id
// (1 OK/IDOK... 6 Yes, 7 No as Windows numbers them). Callable from any thread; it
// blocks the calling thread until the user answers.
int ShowBox(const std::string& text, int flags, const std::string& title);

// Runs work on the UI thread after everything queued before it; dropped once the window is gone.
void PostToUi(std::function<void()> work);

// False from the moment the main window starts to be destroyed; callable from any thread.
// Lets the engine's late calls at shutdown skip the display and the questions.
bool WindowAlive();

}  // namespace platform
