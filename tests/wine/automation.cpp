#include "automation.h"

#include <commctrl.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace automation {
namespace {

constexpr UINT kSendTimeoutMs = 5000;

// The layout table's order: the runtime numbers the child windows after it.
constexpr const wchar_t* kControlNames[] = {
    L"按钮4",       L"按钮3", L"进度条1",   L"状态条1",   L"透明标签3", L"按钮2", L"编辑框3",
    L"通用对话框1", L"时钟1", L"透明标签2", L"透明标签1", L"编辑框2",   L"按钮1", L"编辑框1",
};

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool* ok = nullptr) {
    DWORD_PTR result = 0;
    LRESULT sent =
        ::SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeoutMs, &result);
    if (ok)
        *ok = sent != 0;
    return static_cast<LRESULT>(result);
}

// Memory inside the program, for the messages that carry a pointer.
class RemoteBuffer {
  public:
    RemoteBuffer(HWND owner, size_t size) : size_(size) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(owner, &pid);
        process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_)
            address_ = ::VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (address_)
            ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_)
            ::CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool ok() const { return address_ != nullptr; }
    LPARAM param() const { return reinterpret_cast<LPARAM>(address_); }
    bool Write(const void* data, size_t n) {
        return n <= size_ && ::WriteProcessMemory(process_, address_, data, n, nullptr);
    }
    bool Read(void* data, size_t n) const {
        return n <= size_ && ::ReadProcessMemory(process_, address_, data, n, nullptr);
    }

  private:
    size_t size_;
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

DWORD ProcessOf(HWND hwnd) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    return name;
}

std::wstring TitleOf(HWND hwnd) {
    wchar_t title[512] = {};
    ::GetWindowTextW(hwnd, title, 512);
    return title;
}

// The program's visible top-level windows that pass the test.
HWND FindTopLevel(DWORD pid, const std::function<bool(HWND)>& test) {
    struct Search {
        DWORD pid;
        const std::function<bool(HWND)>* test;
        HWND found;
    } search{pid, &test, nullptr};
    ::EnumWindows(
        [](HWND hwnd, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (!::IsWindowVisible(hwnd) || (s->pid && ProcessOf(hwnd) != s->pid) || !(*s->test)(hwnd))
                return TRUE;
            s->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsMessageBox(HWND hwnd) {
    return ClassOf(hwnd) == L"#32770" && ::GetDlgItem(hwnd, 0xFFFF) != nullptr;
}

}  // namespace

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty())
        return {};
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring WinPath(const std::string& path) {
    std::wstring w = Widen(path);
    if (w.empty() || w[0] != L'/')
        return w;
    for (auto& c : w)
        if (c == L'/')
            c = L'\\';
    return L"Z:" + w;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int stepMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
}

// ---- Process ----

std::optional<Process> Process::Start(const std::wstring& program, const std::wstring& commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return std::nullopt;
    ::CloseHandle(pi.hThread);
    return Process(pi.hProcess, pi.dwProcessId);
}

std::optional<Process> Process::OfWindow(HWND window) {
    DWORD pid = ProcessOf(window);
    HANDLE h = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
    if (!h)
        return std::nullopt;
    return Process(h, pid);
}

Process::Process(Process&& other) noexcept : handle_(other.handle_), id_(other.id_) {
    other.handle_ = nullptr;
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        this->~Process();
        handle_ = other.handle_;
        id_ = other.id_;
        other.handle_ = nullptr;
    }
    return *this;
}

Process::~Process() {
    if (!handle_)
        return;
    if (::WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT)
        Kill();
    ::CloseHandle(handle_);
}

std::optional<DWORD> Process::WaitExit(int timeoutMs) {
    if (::WaitForSingleObject(handle_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(handle_, &code);
    return code;
}

void Process::Kill() {
    ::TerminateProcess(handle_, 99);
    ::WaitForSingleObject(handle_, 5000);
}

// ---- windows and controls ----

HWND WaitForWindow(const std::wstring& caption, DWORD pid, int timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopLevel(pid, [&](HWND h) { return TitleOf(h) == caption; })) != nullptr; },
              timeoutMs);
    return found;
}

HWND Control(HWND window, const std::wstring& name) {
    for (int i = 0; i < static_cast<int>(std::size(kControlNames)); ++i)
        if (name == kControlNames[i])
            return ::GetDlgItem(window, kChildIdBase + i);
    return nullptr;
}

std::vector<ChildInfo> Children(HWND parent) {
    std::vector<ChildInfo> out;
    for (HWND h = ::GetWindow(parent, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        RECT r;
        ::GetWindowRect(h, &r);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        out.push_back({h, ::GetDlgCtrlID(h), ClassOf(h), r, static_cast<DWORD>(::GetWindowLongW(h, GWL_STYLE)),
                       static_cast<DWORD>(::GetWindowLongW(h, GWL_EXSTYLE))});
    }
    return out;
}

std::wstring Text(HWND hwnd) {
    const LRESULT length = Send(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = Send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

bool SetText(HWND hwnd, const std::wstring& text) {
    bool ok = false;
    Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &ok);
    return ok;
}

void Click(HWND button) {
    ::PostMessageW(button, BM_CLICK, 0, 0);
}

void PostKey(HWND target, UINT vk) {
    const LPARAM scan = static_cast<LPARAM>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
    ::PostMessageW(target, WM_KEYDOWN, vk, scan | 1);
    ::PostMessageW(target, WM_KEYUP, vk, scan | 1 | (1u << 30) | (1u << 31));
}

void PostChars(HWND target, const std::wstring& text) {
    for (wchar_t c : text)
        ::PostMessageW(target, WM_CHAR, c, 1);
}

void SendKey(UINT vk, bool shift) {
    std::vector<INPUT> in;
    auto key = [&](UINT k, bool up) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = static_cast<WORD>(k);
        i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        in.push_back(i);
    };
    if (shift)
        key(VK_SHIFT, false);
    key(vk, false);
    key(vk, true);
    if (shift)
        key(VK_SHIFT, true);
    ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

// ---- progress bar and status bar ----

int ProgressPos(HWND bar) {
    return static_cast<int>(Send(bar, PBM_GETPOS, 0, 0));
}

std::pair<int, int> ProgressRange(HWND bar) {
    return {static_cast<int>(Send(bar, PBM_GETRANGE, TRUE, 0)), static_cast<int>(Send(bar, PBM_GETRANGE, FALSE, 0))};
}

std::vector<std::wstring> StatusTexts(HWND bar) {
    std::vector<std::wstring> texts;
    const int parts = static_cast<int>(Send(bar, SB_GETPARTS, 0, 0));
    for (int i = 0; i < parts; ++i) {
        const size_t length = LOWORD(Send(bar, SB_GETTEXTLENGTHW, i, 0));
        RemoteBuffer buffer(bar, (length + 1) * sizeof(wchar_t));
        std::wstring text(length + 1, L'\0');
        if (!buffer.ok())
            return {};
        Send(bar, SB_GETTEXTW, i, buffer.param());
        buffer.Read(text.data(), text.size() * sizeof(wchar_t));
        text.resize(length);
        texts.push_back(text);
    }
    return texts;
}

std::vector<int> StatusPartEdges(HWND bar) {
    const int parts = static_cast<int>(Send(bar, SB_GETPARTS, 0, 0));
    if (parts <= 0)
        return {};
    std::vector<int> edges(static_cast<size_t>(parts));
    RemoteBuffer buffer(bar, edges.size() * sizeof(int));
    if (!buffer.ok())
        return {};
    Send(bar, SB_GETPARTS, edges.size(), buffer.param());
    buffer.Read(edges.data(), edges.size() * sizeof(int));
    return edges;
}

// ---- message boxes and the folder dialog ----

std::optional<Box> WaitForBox(DWORD pid, int timeoutMs) {
    HWND found = nullptr;
    if (!WaitUntil([&] { return (found = FindTopLevel(pid, IsMessageBox)) != nullptr; }, timeoutMs))
        return std::nullopt;
    // A box can be seen while it is still being set up: wait for its text, then let it settle.
    HWND textControl = ::GetDlgItem(found, 0xFFFF);
    WaitUntil([&] { return !Text(textControl).empty(); }, 3000);
    ::Sleep(200);
    Box box{found, TitleOf(found), Text(::GetDlgItem(found, 0xFFFF)), {}, false};
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO})
        if (HWND b = ::GetDlgItem(found, id); b && ::IsWindowVisible(b))
            box.buttons.push_back(id);
    for (const ChildInfo& c : Children(found))
        if (c.className == L"Static" && (c.style & SS_TYPEMASK) == SS_ICON && (c.style & WS_VISIBLE) &&
            Send(c.hwnd, STM_GETICON, 0, 0) != 0)
            box.hasIcon = true;
    return box;
}

void Answer(const Box& box, int buttonId) {
    Click(::GetDlgItem(box.hwnd, buttonId));
}

bool WaitGone(HWND hwnd, int timeoutMs) {
    return WaitUntil([&] { return !::IsWindow(hwnd) || !::IsWindowVisible(hwnd); }, timeoutMs);
}

HWND WaitForFolderDialog(DWORD pid, int timeoutMs) {
    HWND found = nullptr;
    auto isFolderDialog = [](HWND h) {
        if (ClassOf(h) != L"#32770" || IsMessageBox(h))
            return false;
        for (const ChildInfo& c : Children(h))
            if (c.className == L"SysTreeView32")
                return true;
        return false;
    };
    WaitUntil([&] { return (found = FindTopLevel(pid, isFolderDialog)) != nullptr; }, timeoutMs);
    return found;
}

bool ChooseFolder(HWND dialog, const std::wstring& path) {
    RemoteBuffer buffer(dialog, (path.size() + 1) * sizeof(wchar_t));
    if (!buffer.ok() || !buffer.Write(path.c_str(), (path.size() + 1) * sizeof(wchar_t)))
        return false;
    // The dialog's edit field shows the selected item's name. The dialog may still be
    // filling its tree when it first shows and then lose a selection made too early, so the
    // selection is sent again until the field names the folder.
    const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
    HWND edit = ::FindWindowExW(dialog, nullptr, L"Edit", nullptr);
    bool selected = false;
    for (int attempt = 0; attempt < 20 && !selected; ++attempt) {
        bool ok = false;
        Send(dialog, BFFM_SETSELECTIONW, TRUE, buffer.param(), &ok);
        if (!ok)
            return false;
        selected =
            !edit || name.empty() || WaitUntil([&] { return _wcsicmp(Text(edit).c_str(), name.c_str()) == 0; }, 500);
    }
    if (!selected) {
        std::fprintf(stderr, "folder dialog: the field shows \"%s\", not \"%s\"\n", Utf8(Text(edit)).c_str(),
                     Utf8(name).c_str());
        return false;
    }
    Click(::GetDlgItem(dialog, IDOK));
    return WaitGone(dialog, 10000);
}

bool ChooseShellItem(HWND dialog, int csidl) {
    PIDLIST_ABSOLUTE pidl = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, &pidl)))
        return false;
    const size_t size = ::ILGetSize(pidl);
    RemoteBuffer buffer(dialog, size);
    const bool written = buffer.ok() && buffer.Write(pidl, size);
    ::CoTaskMemFree(pidl);
    if (!written)
        return false;
    bool ok = false;
    Send(dialog, BFFM_SETSELECTIONW, FALSE, buffer.param(), &ok);
    if (!ok)
        return false;
    ::Sleep(500);
    Click(::GetDlgItem(dialog, IDOK));
    return WaitGone(dialog, 10000);
}

void CancelDialog(HWND dialog) {
    Click(::GetDlgItem(dialog, IDCANCEL));
}

}  // namespace automation
