#include "platform/fake/fake_runtime.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/shell.h"
#include "platform/ui_runtime.h"

namespace platform {
namespace fake {
namespace {

struct State {
    std::mutex mutex;
    std::thread::id uiThread;
    std::string commandLine = "qzln.exe";
    bool layoutReadable = true;
    bool windowCreatable = true;
    std::function<void()> loopScript;
    std::function<int(const Box&)> answer;
    std::vector<Box> boxes;
    std::deque<std::string> folders;
    int folderDialogs = 0;
    std::vector<std::string> urls;
    std::vector<Handler> exitRoutines;
    const WindowSpec* layout = nullptr;
    std::atomic<bool> windowExists{false};
    std::map<int, std::string> texts;
    std::string status[4];
    int progress = 0;
    int timer = 0;
    int timerControl = -1;
    std::deque<std::function<void()>> pending;
    std::vector<std::string> log;
};

State& S() {
    static State s;
    return s;
}

bool OnUiThread() { return std::this_thread::get_id() == S().uiThread; }

// Applies a change to the window on the UI thread, or queues it for RunPending.
void OnUi(std::function<void()> work) {
    if (OnUiThread()) {
        if (S().windowExists) work();
        return;
    }
    std::lock_guard lock(S().mutex);
    S().pending.push_back(std::move(work));
}

void LogLine(const std::string& line) {
    std::lock_guard lock(S().mutex);
    S().log.push_back(line);
}

}  // namespace

void Reset() {
    State& s = S();
    std::lock_guard lock(s.mutex);
    s.uiThread = std::this_thread::get_id();
    s.commandLine = "qzln.exe";
    s.layoutReadable = true;
    s.windowCreatable = true;
    s.loopScript = nullptr;
    s.answer = nullptr;
    s.boxes.clear();
    s.folders.clear();
    s.folderDialogs = 0;
    s.urls.clear();
    s.exitRoutines.clear();
    s.layout = nullptr;
    s.windowExists = false;
    s.texts.clear();
    for (auto& t : s.status) t.clear();
    s.progress = 0;
    s.timer = 0;
    s.timerControl = -1;
    s.pending.clear();
    s.log.clear();
}

void SetCommandLine(const std::string& line) { S().commandLine = line; }
void SetLayoutReadable(bool readable) { S().layoutReadable = readable; }
void SetWindowCreatable(bool creatable) { S().windowCreatable = creatable; }
void SetMessageLoopScript(std::function<void()> script) { S().loopScript = std::move(script); }
void SetBoxAnswer(std::function<int(const Box&)> answer) {
    std::lock_guard lock(S().mutex);
    S().answer = std::move(answer);
}
std::vector<Box> Boxes() {
    std::lock_guard lock(S().mutex);
    return S().boxes;
}
void QueueFolder(const std::string& folder) { S().folders.push_back(folder); }
int FolderDialogsShown() { return S().folderDialogs; }
std::vector<std::string> OpenedUrls() { return S().urls; }
bool WindowExists() { return S().windowExists; }

void DestroyWindow() {
    S().windowExists = false;
    LogLine("window destroyed");
}

std::string Text(int control) { return S().texts[control]; }
std::string StatusText(int part) { return part >= 0 && part < 4 ? S().status[part] : std::string(); }
int ProgressPos() { return S().progress; }
int TimerPeriod() { return S().timer; }

void Click(int control) {
    if (!S().layout) return;
    for (const auto& c : S().layout->controls)
        if (c.id == control && c.onClick) c.onClick();
}

void Tick() {
    if (S().timer > 0 && S().timerControl >= 0) Click(S().timerControl);
}

int RunPending() {
    int n = 0;
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(S().mutex);
            if (S().pending.empty()) return n;
            work = std::move(S().pending.front());
            S().pending.pop_front();
        }
        if (S().windowExists) work();
        ++n;
    }
}

std::vector<std::string> Log() {
    std::lock_guard lock(S().mutex);
    return S().log;
}

void Note(const std::string& line) { LogLine(line); }

}  // namespace fake

using fake::S;

int RunApplication(int (*programMain)()) {
    int code = 0;
    try {
        code = programMain();
    } catch (const fake::FatalExit&) {
        return -1;
    }
    std::vector<Handler> routines;
    routines.swap(S().exitRoutines);
    for (Handler r : routines) {
        fake::LogLine("exit routine");
        r();
    }
    return code;
}

bool SetUpRuntime() { return S().layoutReadable; }

void LoadWindow(const WindowSpec& layout) {
    if (!S().windowCreatable) FatalError("window");
    S().layout = &layout;
    S().windowExists = true;
    for (const auto& c : layout.controls) {
        S().texts[c.id] = c.text ? c.text : "";
        if (c.kind == ControlKind::Timer) S().timerControl = c.id;
    }
    fake::LogLine("window created");
    if (layout.onCreated) layout.onCreated();
    fake::LogLine("window shown");
}

void RunMessageLoop() {
    if (!S().windowExists) return;
    if (S().loopScript) S().loopScript();
    fake::RunPending();
    fake::DestroyWindow();
}

void RegisterExitRoutine(Handler routine) {
    auto& r = S().exitRoutines;
    if (std::find(r.begin(), r.end(), routine) == r.end()) r.push_back(routine);
}

void FatalError(const std::string& message) {
    fake::LogLine("fatal " + message);
    S().exitRoutines.clear();
    throw fake::FatalExit{message};
}

std::string CommandLineBytes() { return S().commandLine; }

std::string GetControlText(int control) { return S().texts[control]; }

void SetControlText(int control, const std::string& text) {
    fake::OnUi([control, text] {
        S().texts[control] = text;
        fake::LogLine("text " + std::to_string(control) + " = " + text);
    });
}

void StatusBarSetText(int, int part, const std::string& text) {
    fake::OnUi([part, text] {
        if (part < 0 || part >= 4) return;
        S().status[part] = text;
        fake::LogLine("status " + std::to_string(part) + " = " + text);
    });
}

void SetProgressPos(int, int pos) {
    fake::OnUi([pos] {
        S().progress = std::clamp(pos, 0, 32767);
        fake::LogLine("progress " + std::to_string(S().progress));
    });
}

int GetProgressPos(int) { return S().progress; }

void SetTimerPeriod(int, int periodMs) {
    fake::OnUi([periodMs] {
        int p = std::max(0, periodMs);
        if (p == S().timer) return;
        S().timer = p;
        fake::LogLine("timer " + std::to_string(p));
    });
}

int ShowBox(const std::string& text, int flags, const std::string& title) {
    fake::Box box{text, title, flags};
    std::function<int(const fake::Box&)> answer;
    {
        std::lock_guard lock(S().mutex);
        S().boxes.push_back(box);
        S().log.push_back("box " + text);
        answer = S().answer;
    }
    if (answer) return answer(box);
    return (flags & 0xF) == 4 ? 6 : 1;  // IDYES for Yes/No, IDOK otherwise
}

void PostToUi(std::function<void()> work) { fake::OnUi(std::move(work)); }

bool WindowAlive() { return S().windowExists; }

void OpenUrl(const std::string& address) { S().urls.push_back(address); }

std::string PickFolder(const std::string& title, bool) {
    ++S().folderDialogs;
    fake::LogLine("folder dialog " + title);
    if (S().folders.empty()) return {};
    std::string f = S().folders.front();
    S().folders.pop_front();
    return f;
}

}  // namespace platform
