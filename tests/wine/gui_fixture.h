// The fixture of the GUI tests: starts the real program with a command line, finds its
// window, and closes or kills it afterwards. The program is the one the build made
// (QZLN_EXE, a Unix path under Wine); the shell's "open" is recorded in QZLN_BROWSER_LOG.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "automation.h"

class GuiTest : public ::testing::Test {
  protected:
    static constexpr const wchar_t* kCaption = L"青梧QZLN网高品质音乐下载";

    void TearDown() override { Close(); }

    // The program under test: QZLN_EXE, or what the fixture's user names instead.
    std::wstring ProgramPath() const {
        const char* exe = std::getenv(programVariable_);
        return exe ? automation::WinPath(exe) : L"";
    }

    // A copy of the program in a folder whose name holds a space.
    std::wstring ProgramInSpacedFolder() const {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        const std::wstring dir = std::wstring(temp) + L"qzln gui test";
        ::CreateDirectoryW(dir.c_str(), nullptr);
        const std::wstring program = ProgramPath();
        const std::wstring copy = dir + program.substr(program.find_last_of(L'\\'));
        ::CopyFileW(program.c_str(), copy.c_str(), FALSE);
        return copy;
    }

    // Starts the program: its path (quoted when asked, from a folder with a space in its
    // name), a space, then the arguments as given.
    bool Start(const std::wstring& arguments, bool quotedPathWithSpace = true, int timeoutMs = 20000) {
        Close();
        const std::wstring program = quotedPathWithSpace ? ProgramInSpacedFolder() : ProgramPath();
        std::wstring line = quotedPathWithSpace ? L"\"" + program + L"\"" : program;
        if (!arguments.empty())
            line += L" " + arguments;
        process_ = automation::Process::Start(program, line);
        if (!process_) {
            ADD_FAILURE() << "cannot start " << automation::Utf8(program);
            return false;
        }
        window_ = automation::WaitForWindow(kCaption, process_->Id(), timeoutMs);
        if (!window_)
            ADD_FAILURE() << "no window";
        return window_ != nullptr;
    }

    // Asks the window to close and waits for the program; kills it when it hangs.
    void Close() {
        if (!process_)
            return;
        if (window_ && ::IsWindow(window_))
            ::PostMessageW(window_, WM_CLOSE, 0, 0);
        if (!process_->WaitExit(10000))
            process_->Kill();
        process_.reset();
        window_ = nullptr;
    }

    static std::string BrowserLog() {
        const char* path = std::getenv("QZLN_BROWSER_LOG");
        if (!path)
            return {};
        std::ifstream in(std::filesystem::path(automation::WinPath(path)));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    const char* programVariable_ = "QZLN_EXE";
    std::optional<automation::Process> process_;
    HWND window_ = nullptr;
};
