// Driving the real program from outside, as a user would: start it, find its window and
// controls, read and write their texts, click, press keys, read the status bar and the
// progress bar, answer message boxes and the folder dialog. Windows (Wine) only.
//
// Everything crosses the process boundary: texts through WM_GETTEXT/WM_SETTEXT sent with a
// time-out, clicks posted (a sent click would block on the program's modal boxes), and
// messages that carry a pointer through a buffer allocated inside the program.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace automation {

std::wstring Widen(const std::string& utf8);
std::string Utf8(const std::wstring& text);
// "/work/x" -> "Z:\work\x" (Wine maps the Unix root to Z:); a Windows path is kept.
std::wstring WinPath(const std::string& path);

// Polls until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int stepMs = 50);

// A started program; killed at the end of the scope if it still runs.
class Process {
  public:
    // commandLine as CreateProcessW takes it (program path first, quoted as the caller likes).
    static std::optional<Process> Start(const std::wstring& program, const std::wstring& commandLine);
    // Adopts the program that owns a window (for a driver that did not start it).
    static std::optional<Process> OfWindow(HWND window);
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    ~Process();

    DWORD Id() const { return id_; }
    // The exit code once the program has ended within the time, else nothing.
    std::optional<DWORD> WaitExit(int timeoutMs);
    void Kill();

  private:
    Process(HANDLE handle, DWORD id) : handle_(handle), id_(id) {}
    HANDLE handle_ = nullptr;
    DWORD id_ = 0;
};

// The program's visible top-level window with this caption (any process when pid is 0).
HWND WaitForWindow(const std::wstring& caption, DWORD pid, int timeoutMs);

// The main window's controls by their layout names ("按钮1", ...): the runtime gives each
// control the child id 1000 + its place in the layout table.
HWND Control(HWND window, const std::wstring& name);
inline constexpr int kChildIdBase = 1000;

struct ChildInfo {
    HWND hwnd;
    int id;
    std::wstring className;
    RECT rect;  // in the parent's client coordinates
    DWORD style, exStyle;
};
// The children in stacking order, the top one first.
std::vector<ChildInfo> Children(HWND parent);

std::wstring Text(HWND hwnd);  // WM_GETTEXT, also across processes
bool SetText(HWND hwnd, const std::wstring& text);
void Click(HWND button);                                // posted BM_CLICK
void PostKey(HWND target, UINT vk);                     // posted WM_KEYDOWN/WM_KEYUP to the control
void PostChars(HWND target, const std::wstring& text);  // posted WM_CHAR, as typing gives them
// Real keyboard input to whatever has the focus (SendInput), with Shift held when asked.
void SendKey(UINT vk, bool shift = false);
HWND FocusOf(HWND window);  // the focused control of the window's thread

int ProgressPos(HWND bar);
std::pair<int, int> ProgressRange(HWND bar);
std::vector<std::wstring> StatusTexts(HWND bar);
std::vector<int> StatusPartEdges(HWND bar);

// A message box of the program: a visible dialog with its text in the static of id 65535.
struct Box {
    HWND hwnd;
    std::wstring title, text;
    std::vector<int> buttons;  // ids present among IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7
    bool hasIcon;
};
std::optional<Box> WaitForBox(DWORD pid, int timeoutMs);
void Answer(const Box& box, int buttonId);  // posted click on the button of that id
bool WaitGone(HWND hwnd, int timeoutMs);

// The folder-browse dialog of the program; chooses the folder (a Windows path) by writing it
// into the program's memory, BFFM_SETSELECTIONW, then a click on OK.
HWND WaitForFolderDialog(DWORD pid, int timeoutMs);
bool ChooseFolder(HWND dialog, const std::wstring& path);
void CancelDialog(HWND dialog);
// Chooses a shell item by its CSIDL (for instance CSIDL_DRIVES, which has no file-system path).
bool ChooseShellItem(HWND dialog, int csidl);

}  // namespace automation
