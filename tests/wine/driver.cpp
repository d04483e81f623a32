// Drives the running program from a script, one step after another:
//   qzln_driver.exe STEP [ARGS]... [STEP [ARGS]...]...
// Steps (control names as in the layout, texts UTF-8, times in ms):
//   wait-window [ms]          wait for the main window
//   rect                      print the window's screen rectangle: left top width height
//   text NAME                 print the control's text
//   set-text NAME TEXT        replace the control's text
//   click NAME                click the button
//   wait-text NAME PART [ms]  wait until the text holds PART (an empty PART: any text)
//   status                    print the four parts of the status bar and the progress position
//   wait-progress N [ms]      wait until the progress bar stands at N or more
//   wait-box [ms]             wait for a message box and print its title and text
//   answer ID                 press the button of that id in the message box (1 OK, 6 Yes, 7 No)
//   pick-folder PATH [ms]     choose PATH (Unix or Windows form) in the folder dialog
//   close [ms]                close the window, wait for the program, print its exit code
//   sleep ms
// Exit code 0 when every step succeeded; at the first failure it stops with 1.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "automation.h"

using namespace automation;

namespace {

constexpr const wchar_t* kCaption = L"青梧QZLN网高品质音乐下载";

void Print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int Fail(const std::string& why) {
    Print("driver: " + why);
    return 1;
}

class Driver {
  public:
    explicit Driver(std::vector<std::wstring> args) : args_(std::move(args)) {}

    int Run() {
        while (next_ < args_.size()) {
            const std::wstring step = Take();
            if (int rc = Step(step))
                return rc;
        }
        return 0;
    }

  private:
    std::wstring Take() { return next_ < args_.size() ? args_[next_++] : L""; }
    int TakeInt(int fallback) {
        if (next_ >= args_.size() || args_[next_].empty() || !iswdigit(args_[next_][0]))
            return fallback;
        return std::stoi(Take());
    }

    bool NeedWindow() {
        if (!window_ || !::IsWindow(window_))
            window_ = WaitForWindow(kCaption, 0, 20000);
        if (window_ && !pid_)
            ::GetWindowThreadProcessId(window_, &pid_);
        return window_ != nullptr;
    }

    HWND NeedControl(const std::wstring& name) { return NeedWindow() ? Control(window_, name) : nullptr; }

    int Step(const std::wstring& step) {
        if (step == L"wait-window") {
            window_ = WaitForWindow(kCaption, 0, TakeInt(20000));
            if (!window_)
                return Fail("no window");
            ::GetWindowThreadProcessId(window_, &pid_);
            return 0;
        }
        if (step == L"sleep") {
            ::Sleep(static_cast<DWORD>(TakeInt(1000)));
            return 0;
        }
        if (!NeedWindow())
            return Fail("no window");
        if (step == L"rect") {
            RECT r;
            ::GetWindowRect(window_, &r);
            Print(std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
                  std::to_string(r.bottom - r.top));
            return 0;
        }
        if (step == L"text") {
            const std::wstring name = Take();
            HWND c = NeedControl(name);
            if (!c)
                return Fail("no control " + Utf8(name));
            Print(Utf8(name) + ": " + Utf8(Text(c)));
            return 0;
        }
        if (step == L"set-text") {
            const std::wstring name = Take();
            const std::wstring text = Take();
            HWND c = NeedControl(name);
            return c && SetText(c, text) ? 0 : Fail("cannot set " + Utf8(name));
        }
        if (step == L"click") {
            const std::wstring name = Take();
            HWND c = NeedControl(name);
            if (!c)
                return Fail("no control " + Utf8(name));
            Click(c);
            return 0;
        }
        if (step == L"wait-text") {
            const std::wstring name = Take();
            const std::wstring part = Take();
            const int ms = TakeInt(30000);
            HWND c = NeedControl(name);
            if (!c)
                return Fail("no control " + Utf8(name));
            std::wstring text;
            const bool ok = WaitUntil(
                [&] {
                    text = Text(c);
                    return part.empty() ? !text.empty() : text.find(part) != std::wstring::npos;
                },
                ms);
            Print(Utf8(name) + ": " + Utf8(text));
            return ok ? 0 : Fail("timed out waiting for " + Utf8(name));
        }
        if (step == L"status") {
            std::string line = "status:";
            for (const std::wstring& t : StatusTexts(NeedControl(L"状态条1")))
                line += " [" + Utf8(t) + "]";
            Print(line + " progress: " + std::to_string(ProgressPos(NeedControl(L"进度条1"))));
            return 0;
        }
        if (step == L"wait-progress") {
            const int want = TakeInt(100);
            const int ms = TakeInt(60000);
            HWND bar = NeedControl(L"进度条1");
            return WaitUntil([&] { return ProgressPos(bar) >= want; }, ms) ? 0 : Fail("progress stays below");
        }
        if (step == L"wait-box") {
            box_ = WaitForBox(pid_, TakeInt(30000));
            if (!box_)
                return Fail("no message box");
            Print("box: " + Utf8(box_->title) + " " + Utf8(box_->text));
            return 0;
        }
        if (step == L"answer") {
            const int id = TakeInt(IDOK);
            if (!box_)
                box_ = WaitForBox(pid_, 10000);
            if (!box_)
                return Fail("no message box to answer");
            Answer(*box_, id);
            const bool gone = WaitGone(box_->hwnd, 10000);
            box_.reset();
            return gone ? 0 : Fail("the box stays");
        }
        if (step == L"pick-folder") {
            const std::wstring path = WinPath(Utf8(Take()));
            HWND dialog = WaitForFolderDialog(pid_, TakeInt(30000));
            if (!dialog)
                return Fail("no folder dialog");
            return ChooseFolder(dialog, path) ? 0 : Fail("cannot choose " + Utf8(path));
        }
        if (step == L"close") {
            const int ms = TakeInt(20000);
            std::optional<Process> process = Process::OfWindow(window_);
            ::PostMessageW(window_, WM_CLOSE, 0, 0);
            if (!process)
                return Fail("cannot open the program");
            std::optional<DWORD> code = process->WaitExit(ms);
            if (!code)
                return Fail("the program does not end");
            Print("exit code: " + std::to_string(static_cast<int>(*code)));
            window_ = nullptr;
            return 0;
        }
        return Fail("unknown step " + Utf8(step));
    }

    std::vector<std::wstring> args_;
    size_t next_ = 0;
    HWND window_ = nullptr;
    DWORD pid_ = 0;
    std::optional<Box> box_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    return Driver(std::move(args)).Run();
}
