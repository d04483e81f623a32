// The whole road on the scripted window runtime with the real engine, a real local server
// and real files: parse, browse, download, events, ticks, closing message, reset.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/globals.h"
#include "download/download_task.h"
#include "download/save_location.h"
#include "platform/fake/fake_runtime.h"
#include "platform/ui_runtime.h"
#include "resolve/on_parse.h"
#include "support/http_test_server.h"
#include "ui/controls.h"
#include "ui/main_window_layout.h"
#include "ui/texts.h"

namespace fake = platform::fake;
namespace fs = std::filesystem;
using testsupport::HttpTestServer;

namespace {

std::string ReadFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

class WholeJob : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        InitGlobals();
        fileSize = 0;
        savePath.clear();
        platform::LoadWindow(MainWindowLayout());
        char tmpl[] = "/tmp/qzln-job-XXXXXX";
        root_ = mkdtemp(tmpl);
        dir_ = root_ / "music";
        fs::create_directory(dir_);
        content_ = testsupport::MakeContent(300000, 7);
        server_.Route("/mp3/abc.mp3", testsupport::ServeFile(content_));
    }
    void TearDown() override {
        ReleaseGlobals();
        server_.Stop();
        fs::remove_all(root_);
    }

    // The UI thread's part of the work: queued display changes and a tick now and then,
    // until the closing message has been answered and the display reset.
    bool RunUntilTaskEnded() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        size_t boxesBefore = ClosingBoxes();
        while (std::chrono::steady_clock::now() < deadline) {
            fake::RunPending();
            fake::Tick();
            if (ClosingBoxes() > boxesBefore) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                fake::RunPending();
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    size_t ClosingBoxes() {
        size_t n = 0;
        for (const auto& b : fake::Boxes()) n += b.title == texts::kTitleHint;
        return n;
    }
    void BrowseAndDownload(const std::string& address) {
        platform::SetControlText(编辑框2, address);
        fake::QueueFolder(dir_.string());
        OnBrowse();
        OnDownload();
    }
    std::string LastBoxText() { return fake::Boxes().back().text; }
    // Every file below the root, so that a stray byte anywhere shows.
    std::vector<std::string> FilesBelowRoot() {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(root_))
            if (e.is_regular_file()) names.push_back(fs::relative(e.path(), root_).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    HttpTestServer server_;
    fs::path root_, dir_;
    std::shared_ptr<const std::string> content_;
};

TEST_F(WholeJob, ParseBrowseDownloadThenTheDisplayResets) {
    server_.Route("/dance/play/1.html", testsupport::Respond(200, "<script>var s_str+\"abc.m4a\"}];</script>"));
    platform::SetControlText(编辑框1, server_.BaseUrl() + "/dance/play/1.html");
    OnParse();
    EXPECT_EQ(fake::Text(编辑框2), AudioAddress("abc"));

    // The media host is the site's; the test's copy of the file is on the local server.
    BrowseAndDownload(server_.BaseUrl() + "/mp3/abc.mp3");
    EXPECT_EQ(fake::Text(编辑框3), dir_.string());
    EXPECT_EQ(savePath, dir_.string() + "\\abc.mp3");
    EXPECT_EQ(fake::TimerPeriod(), 1000);
    ASSERT_TRUE(RunUntilTaskEnded());

    EXPECT_TRUE(ReadFile(dir_ / "abc.mp3") == *content_);
    EXPECT_EQ(LastBoxText(), texts::kDownloadDone);
    EXPECT_EQ(fake::Boxes().back().flags, 64);
    auto log = fake::Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "status 0 = 292.97KB"), log.end());
    EXPECT_EQ(fake::TimerPeriod(), 0);
    for (int part = 0; part < 4; ++part) EXPECT_EQ(fake::StatusText(part), "");
    EXPECT_EQ(fake::ProgressPos(), 0);
    EXPECT_EQ(fileSize.load(), 300000.0);  // kept until the next size arrives
}

TEST_F(WholeJob, ExistingFileYesTwiceGivesNewNamesNoCancels) {
    std::ofstream(dir_ / "abc.mp3") << "original";
    int questions = 0;
    bool answerYes = true;
    fake::SetBoxAnswer([&](const fake::Box& b) {
        if (b.flags != 4) return 1;
        ++questions;
        return answerYes ? 6 : 7;
    });
    const std::string address = server_.BaseUrl() + "/mp3/abc.mp3";
    for (const char* expected : {"abc(1).mp3", "abc(2).mp3"}) {
        SCOPED_TRACE(expected);
        BrowseAndDownload(address);
        ASSERT_TRUE(RunUntilTaskEnded());
        EXPECT_TRUE(ReadFile(dir_ / expected) == *content_);
        EXPECT_EQ(LastBoxText(), texts::kDownloadDone);
    }
    answerYes = false;
    BrowseAndDownload(address);
    ASSERT_TRUE(RunUntilTaskEnded());
    EXPECT_EQ(LastBoxText(), texts::kDownloadCancelled);
    EXPECT_EQ(questions, 3);
    EXPECT_EQ(ReadFile(dir_ / "abc.mp3"), "original");
    EXPECT_EQ(FilesBelowRoot(), (std::vector<std::string>{"music/abc(1).mp3", "music/abc(2).mp3", "music/abc.mp3"}));
}

TEST_F(WholeJob, ServerFailureIsReportedAsFailure) {
    server_.Route("/mp3/missing.mp3", testsupport::Respond(404, "no such track"));
    BrowseAndDownload(server_.BaseUrl() + "/mp3/missing.mp3");
    ASSERT_TRUE(RunUntilTaskEnded());
    EXPECT_EQ(LastBoxText(), texts::kDownloadFailed);
    EXPECT_EQ(fake::Boxes().back().flags, 48);
    EXPECT_TRUE(FilesBelowRoot().empty());
}

TEST_F(WholeJob, HostileFileNamesWriteNothingAnywhere) {
    for (const char* name : {"..", ".", "", "x.mp3:stream"}) {
        SCOPED_TRACE(name);
        server_.Route(std::string("/mp3/") + name, testsupport::ServeFile(content_));
        BrowseAndDownload(server_.BaseUrl() + "/mp3/" + name);
        ASSERT_TRUE(RunUntilTaskEnded());
        EXPECT_EQ(LastBoxText(), texts::kDownloadFailed);
        EXPECT_TRUE(FilesBelowRoot().empty());
    }
}

TEST_F(WholeJob, SecondClickDuringADownloadLeavesItRunning) {
    server_.Route("/mp3/slow.mp3", testsupport::ServeFile(content_, {.bytesPerSecond = 400000}));
    BrowseAndDownload(server_.BaseUrl() + "/mp3/slow.mp3");
    platform::SetControlText(编辑框2, server_.BaseUrl() + "/mp3/other.mp3");
    OnDownload();  // refused by the engine: the running task goes on
    EXPECT_EQ(taskParam->address, server_.BaseUrl() + "/mp3/other.mp3");
    ASSERT_TRUE(RunUntilTaskEnded());
    EXPECT_TRUE(ReadFile(dir_ / "slow.mp3") == *content_);
    EXPECT_EQ(LastBoxText(), texts::kDownloadDone);
}

TEST_F(WholeJob, ParsingAnotherTrackKeepsTheChosenFileName) {
    BrowseAndDownload(server_.BaseUrl() + "/mp3/abc.mp3");
    ASSERT_TRUE(RunUntilTaskEnded());
    server_.Route("/dance/play/2.html", testsupport::Respond(200, "s_str+\"xyz.m4a\"}];"));
    platform::SetControlText(编辑框1, server_.BaseUrl() + "/dance/play/2.html");
    OnParse();
    EXPECT_EQ(fake::Text(编辑框2), AudioAddress("xyz"));
    EXPECT_EQ(savePath, dir_.string() + "\\abc.mp3");
}

}  // namespace
