// The end of the process on the real Win32 runtime: exit routines once after a normal end;
// after a fatal error the box "错误" with its text, then exit code -1 and no exit routine.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "automation.h"

namespace {

using namespace automation;

struct ProbeRun {
    DWORD exitCode = 0;
    bool markerWritten = false;
    std::optional<Box> box;
};

ProbeRun RunProbe(const std::wstring& mode) {
    ProbeRun run;
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring marker = std::wstring(temp) + L"qzln-probe-" + mode + L".marker";
    ::DeleteFileW(marker.c_str());
    const std::wstring exe = WinPath(std::getenv("QZLN_PROBE_EXE"));
    std::optional<Process> p = Process::Start(exe, L"\"" + exe + L"\" " + mode + L" \"" + marker + L"\"");
    if (!p) {
        ADD_FAILURE() << "cannot start the probe";
        return run;
    }
    if (mode != L"normal") {
        run.box = WaitForBox(p->Id(), 20000);
        if (run.box)
            Answer(*run.box, IDOK);
    }
    std::optional<DWORD> code = p->WaitExit(20000);
    EXPECT_TRUE(code.has_value()) << "the probe does not end";
    run.exitCode = code.value_or(12345);
    run.markerWritten = ::GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
    return run;
}

TEST(FatalErrorTest, NormalEndRunsTheExitRoutinesAndGivesZero) {
    ProbeRun run = RunProbe(L"normal");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.markerWritten);
}

TEST(FatalErrorTest, FatalErrorShowsTheBoxAndEndsWithMinusOneWithoutExitRoutines) {
    struct {
        const wchar_t* mode;
        std::wstring message;
    } cases[] = {
        {L"fatal", L"测试"},
        {L"memory", L"分配 9223372036854775807 字节内存失败!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.mode));
        ProbeRun run = RunProbe(c.mode);
        ASSERT_TRUE(run.box.has_value());
        EXPECT_EQ(run.box->title, L"错误");
        EXPECT_EQ(run.box->text, L"运行时出错!\r\n\r\n错误信息：" + c.message + L"\r\n");
        EXPECT_EQ(run.box->buttons, std::vector<int>{IDOK});
        EXPECT_TRUE(run.box->hasIcon);
        EXPECT_EQ(::GetWindow(run.box->hwnd, GW_OWNER), nullptr);
        EXPECT_EQ(run.exitCode, static_cast<DWORD>(-1));
        EXPECT_FALSE(run.markerWritten) << "no exit routine after a fatal error";
    }
}

}  // namespace
