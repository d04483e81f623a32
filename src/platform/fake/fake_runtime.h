// The scripted window runtime and shell for native tests. It keeps the controls' state,
// answers message boxes and the folder picker from a script, and records what the logic
// did. The UI thread is the thread that called Reset(); control operations from any other
// thread are queued and applied by RunPending(), like posted messages.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/window_layout.h"

namespace platform::fake {

struct Box {
    std::string text, title;
    int flags;
};

// Thrown by FatalError so that RunApplication can end with -1 (tests only).
struct FatalExit {
    std::string message;
};

void Reset();  // fresh state; the calling thread becomes the UI thread
void SetCommandLine(const std::string& line);
void SetLayoutReadable(bool readable);
void SetWindowCreatable(bool creatable);
// Runs inside RunMessageLoop with the window open; the window is destroyed when it returns.
void SetMessageLoopScript(std::function<void()> script);

// Message boxes: a handler decides the button (default: IDOK for OK boxes, IDYES for Yes/No).
void SetBoxAnswer(std::function<int(const Box&)> answer);
std::vector<Box> Boxes();
// Folder picker: the next answers, in order (empty text = cancelled).
void QueueFolder(const std::string& folder);
int FolderDialogsShown();
std::vector<std::string> OpenedUrls();

// Window state (UI thread).
bool WindowExists();
void DestroyWindow();
std::string Text(int control);
std::string StatusText(int part);
int ProgressPos();
int TimerPeriod();
void Click(int control);  // runs the control's handler
void Tick();              // one timer period: the timer's handler when the period is above 0
int RunPending();         // applies queued work; returns how much
// A log of everything done to the window and of boxes, in order: "status 0 = ...",
// "progress 28", "timer 0", "box ...", "text 11 = ...", "exit routine".
std::vector<std::string> Log();
void Note(const std::string& line);  // adds to the log (from any thread)

}  // namespace platform::fake
