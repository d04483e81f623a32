#include "ui/progress_display.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/globals.h"
#include "platform/fake/fake_runtime.h"
#include "platform/ui_runtime.h"
#include "ui/controls.h"
#include "ui/main_window_layout.h"
#include "ui/texts.h"

namespace fake = platform::fake;

namespace {

class ProgressDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        InitGlobals();
        fileSize = 0;
        platform::LoadWindow(MainWindowLayout());
    }
    void TearDown() override { ReleaseGlobals(); }

    // The engine calls on its own threads; the display changes reach the window queued.
    int32_t Event(int32_t code, int32_t value1 = 0) {
        int32_t result = 0;
        std::thread([&] { result = OnDownloadEvent(code, 1, value1, 0, 1); }).join();
        fake::RunPending();
        return result;
    }
};

TEST_F(ProgressDisplay, LengthEventShowsTheSizeInKilobytes) {
    const struct {
        int32_t bytes;
        const char* shown;
    } cases[] = {{3456789, "3375.77KB"}, {1048576, "1024KB"}, {1, "0KB"}, {128, "0.13KB"}, {1023, "1KB"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(Event(3, c.bytes), 0);
        EXPECT_EQ(fake::StatusText(0), c.shown);
        EXPECT_EQ(fileSize.load(), static_cast<double>(c.bytes));
    }
}

TEST_F(ProgressDisplay, TickBeforeAnySizeShowsZeros) {
    platform::SetTimerPeriod(时钟1, 1000);
    fake::Tick();
    EXPECT_EQ(fake::StatusText(1), std::string("0") + texts::kPerSecond);
    EXPECT_EQ(fake::StatusText(2), "0KB");
    EXPECT_EQ(fake::StatusText(3), "0%");
    EXPECT_EQ(fake::ProgressPos(), 0);
}

TEST_F(ProgressDisplay, FileExistsAsksAndAnswersForTheEngine) {
    fake::SetBoxAnswer([](const fake::Box&) { return 6; });  // Yes
    EXPECT_EQ(Event(18, 10), 0);
    ASSERT_EQ(fake::Boxes().size(), 1u);
    EXPECT_EQ(fake::Boxes()[0].text, texts::kFileExists);
    EXPECT_EQ(fake::Boxes()[0].flags, 4);
    EXPECT_EQ(fake::Boxes()[0].title, texts::kTitleInfo);

    fake::SetBoxAnswer([](const fake::Box&) { return 7; });  // No
    EXPECT_EQ(Event(18, 10), 1);
}

TEST_F(ProgressDisplay, TaskEndShowsTheOutcomeThenResetsTheDisplay) {
    struct Case {
        const char* name;
        bool answerNo;
        const char* text;
        int flags;
    };
    const Case cases[] = {
        {"declined at the question", true, texts::kDownloadCancelled, 64},
        {"no length ever learnt", false, texts::kDownloadFailed, 48},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake::Reset();
        platform::LoadWindow(MainWindowLayout());
        platform::SetTimerPeriod(时钟1, 1000);
        platform::StatusBarSetText(状态条1, 1, "busy");
        platform::SetProgressPos(进度条1, 40);
        fake::SetBoxAnswer([](const fake::Box& b) { return b.flags == 4 ? 7 : 1; });
        if (c.answerNo) Event(18, 10);
        Event(4);
        auto boxes = fake::Boxes();
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().text, c.text);
        EXPECT_EQ(boxes.back().flags, c.flags);
        EXPECT_EQ(boxes.back().title, texts::kTitleHint);
        EXPECT_EQ(fake::TimerPeriod(), 0);
        EXPECT_EQ(fake::StatusText(1), "");
        EXPECT_EQ(fake::ProgressPos(), 0);
        // The box comes first; the display is cleared only after it was closed.
        auto log = fake::Log();
        auto box = std::find(log.begin(), log.end(), std::string("box ") + c.text);
        auto timer = std::find(log.begin(), log.end(), "timer 0");
        ASSERT_NE(box, log.end());
        EXPECT_LT(box, timer);
        EXPECT_EQ(std::vector<std::string>(timer, log.end()),
                  (std::vector<std::string>{"timer 0", "status 0 = ", "status 1 = ", "status 2 = ", "status 3 = ",
                                            "progress 0"}));
    }
}

TEST_F(ProgressDisplay, OtherEventsChangeNothing) {
    for (int code : {0, 2, 5, 6, 7, 8, 9, 16, 17, 99, -1}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(Event(code, 12345), 0);
    }
    EXPECT_TRUE(fake::Boxes().empty());
    EXPECT_EQ(fake::StatusText(0), "");
    EXPECT_EQ(fileSize.load(), 0.0);
}

TEST_F(ProgressDisplay, LateEventsAfterTheWindowHasGoneAskNothingAndShowNothing) {
    fake::DestroyWindow();
    EXPECT_EQ(Event(18, 10), 1);  // nobody to ask: abandon
    Event(3, 2048);
    Event(4);
    EXPECT_TRUE(fake::Boxes().empty());
}

}  // namespace
