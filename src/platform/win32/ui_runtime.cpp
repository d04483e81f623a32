// The main window of the Win32 runtime: built from its WindowSpec table, its window
// procedure (a thin dispatcher to the On... functions below), the message loop with the
// dialog keys, and the operations on the controls.
//
// Threads: everything here runs on the UI thread. Control changes asked for on another
// thread go through a queue that the UI thread drains in the order of the calls; they are
// posted, never sent, so a thread that waits in a message box cannot deadlock the window.
#include <windows.h>

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>

#include "platform/ui_runtime.h"
#include "platform/win32/runtime_state.h"
#include "platform/win32/text_convert.h"
#include "ui/texts.h"

namespace platform {
namespace {

constexpr wchar_t kWindowClass[] = L"QzlnMainWindow";
constexpr int kChildIdBase = 1000;  // child ids stay clear of IDOK and IDCANCEL
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kRunQueued = WM_APP + 1;
constexpr COLORREF kWhite = RGB(255, 255, 255);

// The window and what the runtime keeps beside its controls. UI thread only.
struct MainWindow {
    const WindowSpec* layout = nullptr;
    HWND hwnd = nullptr;
    std::map<int, HWND> controls;  // by ControlSpec id
    std::map<int, const ControlSpec*> controlsById;
    int timerControl = -1;
    int timerPeriod = 0;
    HWND lastFocus = nullptr;
    HBRUSH whiteBrush = nullptr;
} window;

std::atomic<int> progressStored{0};
std::atomic<bool> windowAlive{false};

// Work for the UI thread, in the order of the calls; cleared when the window goes.
std::mutex queueMutex;
std::deque<std::function<void()>> queue;
HWND liveWindow = nullptr;  // guarded by queueMutex

const ControlSpec* SpecOfChild(HWND child) {
    auto it = window.controlsById.find(::GetDlgCtrlID(child) - kChildIdBase);
    return it == window.controlsById.end() ? nullptr : it->second;
}

HWND ControlWindow(int control) {
    auto it = window.controls.find(control);
    return it == window.controls.end() ? nullptr : it->second;
}

// Runs the change now on the UI thread, or queues it for the UI thread.
void OnUi(std::function<void()> work) {
    if (win32::OnUiThread()) {
        if (window.hwnd)
            work();
        return;
    }
    PostToUi(std::move(work));
}

void RunQueued() {
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(queueMutex);
            if (queue.empty() || !liveWindow)
                return;
            work = std::move(queue.front());
            queue.pop_front();
        }
        work();
    }
}

void FocusControl(HWND control) {
    if (::SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        ::SendMessageW(control, EM_SETSEL, 0, -1);
    ::SetFocus(control);
}

HWND FirstTabStop() {
    return ::GetNextDlgTabItem(window.hwnd, nullptr, FALSE);
}

// ---- window procedure: one small function per message ----

void OnCommand(HWND, int id, HWND, UINT code) {
    if (code != BN_CLICKED)
        return;
    auto it = window.controlsById.find(id - kChildIdBase);
    if (it != window.controlsById.end() && it->second->kind == ControlKind::PushButton && it->second->onClick)
        it->second->onClick();
}

void OnTimer(HWND, UINT id) {
    if (id != kTimerId)
        return;
    auto it = window.controlsById.find(window.timerControl);
    if (it != window.controlsById.end() && it->second->onClick)
        it->second->onClick();
}

HBRUSH OnCtlColor(HWND hwnd, HDC dc, HWND child, int type) {
    const ControlSpec* c = SpecOfChild(child);
    if (c && c->kind == ControlKind::Edit) {
        // Read-only edit boxes ask with WM_CTLCOLORSTATIC; they stay white all the same.
        if (c->hasTextColor)
            ::SetTextColor(dc, RGB(c->textColor.r, c->textColor.g, c->textColor.b));
        ::SetBkColor(dc, kWhite);
        return window.whiteBrush;
    }
    if (c && c->kind == ControlKind::Label) {
        if (c->hasTextColor)
            ::SetTextColor(dc, RGB(c->textColor.r, c->textColor.g, c->textColor.b));
        ::SetBkMode(dc, TRANSPARENT);  // the window's background shows through
        return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    }
    return reinterpret_cast<HBRUSH>(::DefWindowProcW(hwnd, type == CTLCOLOR_EDIT ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC,
                                                     reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child)));
}

void OnSize(HWND, UINT, int, int) {
    for (const auto& [id, control] : window.controlsById)
        if (control->kind == ControlKind::StatusBar)
            ::SendMessageW(window.controls[id], WM_SIZE, 0, 0);
}

// The focus goes back to the control that had it when the window is activated again.
void OnActivate(HWND hwnd, UINT state, HWND, BOOL minimised) {
    if (state == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(hwnd, focus))
            window.lastFocus = focus;
    } else if (!minimised) {
        HWND target = window.lastFocus && ::IsWindow(window.lastFocus) ? window.lastFocus : FirstTabStop();
        if (target)
            ::SetFocus(target);
    }
}

void OnSetFocus(HWND, HWND) {
    HWND target = window.lastFocus && ::IsWindow(window.lastFocus) ? window.lastFocus : FirstTabStop();
    if (target)
        ::SetFocus(target);
}

void OnDestroy(HWND hwnd) {
    windowAlive = false;
    ::KillTimer(hwnd, kTimerId);
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(queueMutex);
        liveWindow = nullptr;
        dropped.swap(queue);
    }
    window.hwnd = nullptr;
    window.controls.clear();
    window.lastFocus = nullptr;
    ::PostQuitMessage(0);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(hwnd, WM_COMMAND, OnCommand);
        HANDLE_MSG(hwnd, WM_TIMER, OnTimer);
        HANDLE_MSG(hwnd, WM_CTLCOLOREDIT, OnCtlColor);
        HANDLE_MSG(hwnd, WM_CTLCOLORSTATIC, OnCtlColor);
        HANDLE_MSG(hwnd, WM_SIZE, OnSize);
        HANDLE_MSG(hwnd, WM_ACTIVATE, OnActivate);
        HANDLE_MSG(hwnd, WM_SETFOCUS, OnSetFocus);
        HANDLE_MSG(hwnd, WM_DESTROY, OnDestroy);
        case kRunQueued:
            RunQueued();
            return 0;
        default:
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// ---- building the window from its table ----

bool RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(::LoadImageW(instance, L"DEFAULT_ICON", IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                               ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    wc.hIconSm = static_cast<HICON>(::LoadImageW(instance, L"DEFAULT_ICON", IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

struct ClassAndStyle {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

ClassAndStyle StyleOf(const ControlSpec& c) {
    const DWORD child = WS_CHILD | WS_VISIBLE;
    switch (c.kind) {
        case ControlKind::PushButton:
            return {L"BUTTON", child | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE | BS_CENTER | BS_VCENTER, 0};
        case ControlKind::Edit:
            return {L"EDIT", child | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL | (c.readOnly ? ES_READONLY : 0),
                    WS_EX_CLIENTEDGE};
        case ControlKind::Label:
            return {L"STATIC", child | SS_NOPREFIX | SS_CENTERIMAGE | (c.align == HAlign::Centre ? SS_CENTER : SS_LEFT),
                    0};
        case ControlKind::ProgressBar:
            return {PROGRESS_CLASSW, child | PBS_SMOOTH, WS_EX_STATICEDGE};
        case ControlKind::StatusBar:
            return {STATUSCLASSNAMEW, child, 0};  // no SBARS_SIZEGRIP: the window has a fixed size
        default:
            return {nullptr, 0, 0};  // the timer and the common dialog have no window
    }
}

bool CreateControl(const WindowSpec& layout, const ControlSpec& c, HINSTANCE instance, HFONT font) {
    window.controlsById[c.id] = &c;
    if (c.kind == ControlKind::Timer)
        window.timerControl = c.id;
    const ClassAndStyle cs = StyleOf(c);
    if (!cs.className)
        return true;
    HWND hwnd = ::CreateWindowExW(
        cs.exStyle, cs.className, win32::Widen(c.text ? c.text : "").c_str(), cs.style, c.left, c.top, c.width,
        c.height, window.hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kChildIdBase + c.id)), instance, nullptr);
    if (!hwnd)
        return false;
    window.controls[c.id] = hwnd;
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // Each control goes below the ones before it: the table's first control is on top.
    ::SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (c.kind == ControlKind::ProgressBar) {
        ::SendMessageW(hwnd, PBM_SETRANGE32, 0, 100);
        ::SendMessageW(hwnd, PBM_SETPOS, 0, 0);
    } else if (c.kind == ControlKind::StatusBar) {
        ::SendMessageW(hwnd, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(layout.statusPartRightEdges));
        for (int part = 0; part < 4; ++part)
            ::SendMessageW(hwnd, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(L""));
    }
    return true;
}

}  // namespace

void LoadWindow(const WindowSpec& layout) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(instance))
        FatalError(texts::kWindowNotCreated);
    if (!window.whiteBrush)
        window.whiteBrush = ::CreateSolidBrush(kWhite);

    // Centred on the primary screen (not its work area), each division truncated.
    const int left = (::GetSystemMetrics(SM_CXSCREEN) - layout.outerWidth) / 2;
    const int top = (::GetSystemMetrics(SM_CYSCREEN) - layout.outerHeight) / 2;
    HWND hwnd =
        ::CreateWindowExW(0, kWindowClass, win32::Widen(layout.caption).c_str(), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                          left, top, layout.outerWidth, layout.outerHeight, nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        FatalError(texts::kWindowNotCreated);
    window.layout = &layout;
    window.hwnd = hwnd;
    progressStored = 0;
    window.timerPeriod = 0;

    HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (const ControlSpec& c : layout.controls)
        if (!CreateControl(layout, c, instance, font)) {
            ::DestroyWindow(hwnd);
            FatalError(texts::kWindowNotCreated);
        }
    {
        std::lock_guard lock(queueMutex);
        liveWindow = hwnd;
    }
    windowAlive = true;

    if (layout.onCreated)
        layout.onCreated();
    // The move and resize events, once each, before the window is shown.
    RECT client;
    ::GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ::ClientToScreen(hwnd, &origin);
    ::SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    ::SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    ::ShowWindow(hwnd, SW_SHOW);
    ::SetForegroundWindow(hwnd);
    ::UpdateWindow(hwnd);
}

namespace {

// The dialog keys for a window that is not a dialog: Esc closes it from any control, Tab
// and Shift+Tab move the focus, Enter does nothing (no control is a default button).
bool HandleDialogKey(const MSG& msg) {
    HWND hwnd = window.hwnd;
    if (!hwnd || msg.message != WM_KEYDOWN)
        return false;
    if (msg.hwnd != hwnd && !::IsChild(hwnd, msg.hwnd))
        return false;
    switch (msg.wParam) {
        case VK_ESCAPE:
            ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
            return true;
        case VK_TAB: {
            HWND focus = ::GetFocus();
            HWND from = focus && ::IsChild(hwnd, focus) ? focus : nullptr;
            HWND next = ::GetNextDlgTabItem(hwnd, from, ::GetKeyState(VK_SHIFT) < 0);
            if (next)
                FocusControl(next);
            return true;
        }
        case VK_RETURN:
            return true;
        default:
            return false;
    }
}

}  // namespace

void RunMessageLoop() {
    if (!window.hwnd)
        return;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (HandleDialogKey(msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void PostToUi(std::function<void()> work) {
    std::lock_guard lock(queueMutex);
    if (!liveWindow)
        return;  // the window has gone: nothing left to update
    queue.push_back(std::move(work));
    ::PostMessageW(liveWindow, kRunQueued, 0, 0);
}

std::string GetControlText(int control) {
    HWND hwnd = ControlWindow(control);
    if (!hwnd)
        return {};
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return win32::Narrow(text);
}

void SetControlText(int control, const std::string& text) {
    OnUi([control, text] {
        if (HWND hwnd = ControlWindow(control))
            ::SetWindowTextW(hwnd, win32::Widen(text).c_str());
    });
}

void StatusBarSetText(int control, int part, const std::string& text) {
    OnUi([control, part, text] {
        HWND hwnd = ControlWindow(control);
        if (!hwnd || part < 0 || part >= static_cast<int>(::SendMessageW(hwnd, SB_GETPARTS, 0, 0)))
            return;
        ::SendMessageW(hwnd, SB_SETTEXTW, static_cast<WPARAM>(part),  // style 0: the ordinary sunken part
                       reinterpret_cast<LPARAM>(win32::Widen(text).c_str()));
    });
}

void SetProgressPos(int control, int pos) {
    OnUi([control, pos] {
        progressStored = std::clamp(pos, 0, 32767);
        if (HWND hwnd = ControlWindow(control))
            ::SendMessageW(hwnd, PBM_SETPOS, std::clamp(pos, 0, 100), 0);
    });
}

int GetProgressPos(int) {
    return progressStored.load();
}

bool WindowAlive() {
    return windowAlive.load();
}

void SetTimerPeriod(int, int periodMs) {
    OnUi([periodMs] {
        const int period = std::max(0, periodMs);
        if (period == window.timerPeriod || !window.hwnd)
            return;
        ::KillTimer(window.hwnd, kTimerId);
        window.timerPeriod = period;
        if (period > 0)
            ::SetTimer(window.hwnd, kTimerId, static_cast<UINT>(period), nullptr);
    });
}

}  // namespace platform
