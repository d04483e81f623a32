#include "download/download_task.h"

#include <gtest/gtest.h>

#include "app/globals.h"
#include "platform/fake/fake_runtime.h"
#include "platform/ui_runtime.h"
#include "ui/controls.h"
#include "ui/main_window_layout.h"
#include "ui/progress_display.h"
#include "ui/texts.h"

namespace fake = platform::fake;

namespace {

class DownloadTask : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        InitGlobals();
        platform::LoadWindow(MainWindowLayout());
    }
    void TearDown() override { ReleaseGlobals(); }
};

TEST_F(DownloadTask, EmptyFolderBoxShowsTheMessageAndTouchesNothing) {
    OnDownload();
    ASSERT_EQ(fake::Boxes().size(), 1u);
    EXPECT_EQ(fake::Boxes()[0].text, texts::kChooseSaveLocation);
    EXPECT_EQ(fake::Boxes()[0].flags, 0);
    EXPECT_EQ(fake::Boxes()[0].title, texts::kTitleHint);
    EXPECT_EQ(fake::TimerPeriod(), 0);
    EXPECT_EQ(taskParam->mode, 1);
    EXPECT_EQ(taskParam->connections, 1);
    EXPECT_EQ(taskParam->eventCallback, nullptr);
}

TEST_F(DownloadTask, FillsTheRecordStartsTheTimerAndKeepsTheRest) {
    platform::SetControlText(编辑框2, "http://m/mp3/1.mp3");
    platform::SetControlText(编辑框3, "C:\\x");
    savePath = "C:\\x\\1.mp3";
    taskParam->speedLimit = 77;  // what an earlier download left stays
    OnDownload();
    const engine::TaskParam& p = *taskParam;
    EXPECT_EQ(p.mode, 4096);
    EXPECT_EQ(p.connections, 5);
    EXPECT_EQ(p.stopWait, 1000);
    EXPECT_EQ(p.connectTimeout, 5000);
    EXPECT_EQ(p.sendTimeout, 5001);
    EXPECT_EQ(p.receiveTimeout, 10000);
    EXPECT_EQ(p.receiveBlock, 10240);
    EXPECT_EQ(p.eventCallback, &OnDownloadEvent);
    EXPECT_EQ(p.address, "http://m/mp3/1.mp3");
    EXPECT_EQ(p.targetPath, "C:\\x\\1.mp3");
    EXPECT_EQ(p.speedLimit, 77);
    EXPECT_EQ(p.ftpUser, "anonymous");
    EXPECT_EQ(fake::TimerPeriod(), 1000);
    EXPECT_TRUE(fake::Boxes().empty());
}

}  // namespace
