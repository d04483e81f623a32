#include "app/program_main.h"

#include <gtest/gtest.h>

#include "app/globals.h"
#include "platform/fake/fake_runtime.h"
#include "platform/ui_runtime.h"
#include "ui/controls.h"
#include "ui/texts.h"

namespace fake = platform::fake;

namespace {

int Count(const std::vector<std::string>& log, const std::string& line) {
    return static_cast<int>(std::count(log.begin(), log.end(), line));
}

TEST(ProgramMain, RunsTheLoopThenTheExitRoutineOnceAfterTheWindowHasGone) {
    fake::Reset();
    fake::SetCommandLine("\"C:\\a b\\qzln.exe\" \"http://x/a b\" c");
    bool globalsDuringLoop = false;
    std::string box1;
    fake::SetMessageLoopScript([&] {
        globalsDuringLoop = taskParam != nullptr && downloader != nullptr;
        box1 = fake::Text(编辑框1);
    });
    EXPECT_EQ(platform::RunApplication(ProgramMain), 0);
    EXPECT_TRUE(globalsDuringLoop);
    EXPECT_EQ(box1, "http://x/a b");
    auto log = fake::Log();
    EXPECT_EQ(Count(log, "exit routine"), 1);
    auto destroyed = std::find(log.begin(), log.end(), "window destroyed");
    auto exitRoutine = std::find(log.begin(), log.end(), "exit routine");
    EXPECT_LT(destroyed, exitRoutine);
    EXPECT_EQ(taskParam, nullptr);
    EXPECT_EQ(downloader, nullptr);
}

TEST(ProgramMain, KeepsTheExampleAddressWithoutArgument) {
    fake::Reset();
    std::string box1;
    fake::SetMessageLoopScript([&] { box1 = fake::Text(编辑框1); });
    platform::RunApplication(ProgramMain);
    EXPECT_EQ(box1.rfind("http://", 0), 0u);
    EXPECT_NE(box1.find("/dance/play/348698.html"), std::string::npos);
}

TEST(ProgramMain, EmptyQuotedArgumentEmptiesTheBox) {
    fake::Reset();
    fake::SetCommandLine("qzln.exe \"\"");
    std::string box1 = "unset";
    fake::SetMessageLoopScript([&] { box1 = fake::Text(编辑框1); });
    platform::RunApplication(ProgramMain);
    EXPECT_EQ(box1, "");
}

TEST(ProgramMain, FatalErrorEndsWithMinusOneWithoutTheExitRoutine) {
    fake::Reset();
    fake::SetWindowCreatable(false);
    EXPECT_EQ(platform::RunApplication(ProgramMain), -1);
    EXPECT_EQ(Count(fake::Log(), "exit routine"), 0);

    fake::Reset();
    fake::SetLayoutReadable(false);
    EXPECT_EQ(platform::RunApplication(ProgramMain), -1);
    auto log = fake::Log();
    EXPECT_EQ(log.front(), std::string("fatal ") + texts::kLayoutUnreadable);
    // Reset the globals a fatal error leaves behind for the next test.
    ReleaseGlobals();
}

}  // namespace
