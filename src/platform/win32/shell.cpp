// The shell: "open" for web addresses and the folder-browse dialog. UI thread.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "platform/shell.h"
#include "platform/win32/text_convert.h"

namespace platform {
namespace {

// The callers' paths go through a 260-byte buffer, terminating zero included.
constexpr size_t kMaxPathBytes = 260;

// Disables every visible top-level window of the program while a modal dialog is open and
// gives each its enabled state back afterwards, with the foreground and active windows.
class ProgramWindowsDisabled {
  public:
    ProgramWindowsDisabled() : foreground_(::GetForegroundWindow()), active_(::GetActiveWindow()) {
        ::EnumWindows(Collect, reinterpret_cast<LPARAM>(this));
        for (const auto& w : windows_)
            ::EnableWindow(w.hwnd, FALSE);
    }
    ~ProgramWindowsDisabled() {
        for (const auto& w : windows_)
            if (::IsWindow(w.hwnd))
                ::EnableWindow(w.hwnd, w.wasEnabled);
        if (foreground_ && ::IsWindow(foreground_))
            ::SetForegroundWindow(foreground_);
        if (active_ && ::IsWindow(active_))
            ::SetActiveWindow(active_);
    }
    ProgramWindowsDisabled(const ProgramWindowsDisabled&) = delete;
    ProgramWindowsDisabled& operator=(const ProgramWindowsDisabled&) = delete;

  private:
    struct Saved {
        HWND hwnd;
        BOOL wasEnabled;
    };
    static BOOL CALLBACK Collect(HWND hwnd, LPARAM self) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(hwnd))
            reinterpret_cast<ProgramWindowsDisabled*>(self)->windows_.push_back({hwnd, ::IsWindowEnabled(hwnd)});
        return TRUE;
    }
    HWND foreground_;
    HWND active_;
    std::vector<Saved> windows_;
};

// The dialog's item identifier, released with the task allocator.
struct ItemIdList {
    PIDLIST_ABSOLUTE pidl = nullptr;
    ~ItemIdList() { ::CoTaskMemFree(pidl); }
};

}  // namespace

void OpenUrl(const std::string& address) {
    ::ShellExecuteW(nullptr, L"open", win32::Widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::string PickFolder(const std::string& title, bool includeFiles) {
    const std::wstring instruction = win32::Widen(title);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = ::GetActiveWindow();
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = instruction.c_str();
    // Not restricted to file-system folders: an item without a path gives an empty text below.
    info.ulFlags = BIF_EDITBOX | BIF_NEWDIALOGSTYLE | (includeFiles ? BIF_BROWSEINCLUDEFILES : 0);

    ItemIdList chosen;
    {
        ProgramWindowsDisabled disabled;
        chosen.pidl = ::SHBrowseForFolderW(&info);
    }
    if (!chosen.pidl)
        return {};
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(chosen.pidl, path) || path[0] == L'\0')
        return {};
    // A path that code page 936 cannot spell, or that does not fit the tool's path buffer,
    // would name another place: it counts as no usable choice.
    std::string bytes;
    if (!win32::NarrowExactly(path, bytes) || bytes.size() >= kMaxPathBytes)
        return {};
    return bytes;
}

}  // namespace platform
