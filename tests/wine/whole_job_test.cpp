// The whole job under Wine, driven from outside against a local site: parse the play page,
// choose a folder in the real folder dialog, download over the tool's connections while the
// status bar and the progress bar are read, answer the message boxes, check the file; then
// the same target again, answered Yes and No. The program is the build whose hosts are the
// local site's fixed loopback port (QZLN_LOCALSITE_EXE, QZLN_LOCAL_SITE_PORT).
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "automation.h"
#include "gui_fixture.h"
#include "support/http_test_server.h"

namespace {

using namespace automation;
namespace fs = std::filesystem;

constexpr size_t kTrackSize = 1536 * 1024;  // shown as 1536KB
constexpr int kBytesPerSecond = 64 * 1024;  // per connection, so the progress can be watched

std::string PlayPage() {
    return "<html><head><meta charset=\"utf-8\"><title>测试舞曲</title></head><body>"
           "<script>var s_str=\"\";var list=[{t:\"舞曲\",u:s_str+\"gui-track.m4a\"}];</script></body></html>";
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class WholeJobTest : public GuiTest {
  protected:
    void SetUp() override {
        programVariable_ = "QZLN_LOCALSITE_EXE";
        if (!std::getenv(programVariable_))
            GTEST_SKIP() << "QZLN_LOCALSITE_EXE not set";
        folder_ = L"C:\\users\\Public\\qzln gui job";
        fs::remove_all(fs::path(folder_));
        fs::create_directories(fs::path(folder_));
        content_ = testsupport::MakeContent(kTrackSize, 7);
        server_ = std::make_unique<testsupport::HttpTestServer>(QZLN_LOCAL_SITE_PORT);
        server_->Route("/dance/play/1.html",
                       testsupport::Respond(200, PlayPage(), {"Content-Type: text/html; charset=utf-8"}));
        testsupport::FileOptions options;
        options.bytesPerSecond = kBytesPerSecond;
        server_->Route("/mp3/gui-track.mp3", testsupport::ServeFile(content_, options));
    }
    void TearDown() override {
        Close();
        if (server_)
            server_->Stop();
    }

    HWND C(const wchar_t* name) { return Control(window_, name); }

    // Starts the program on the play page, parses it and chooses the folder.
    void ParseAndBrowse() {
        const std::wstring page = Widen(server_->BaseUrl()) + L"/dance/play/1.html";
        ASSERT_TRUE(Start(L"\"" + page + L"\""));
        Click(C(L"按钮1"));
        ASSERT_TRUE(WaitUntil([&] { return Text(C(L"编辑框2")).find(L".mp3") != std::wstring::npos; }, 20000));
        Click(C(L"按钮2"));
        HWND dialog = WaitForFolderDialog(process_->Id(), 20000);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(ChooseFolder(dialog, folder_));
        ASSERT_TRUE(WaitUntil([&] { return Text(C(L"编辑框3")) == folder_; }, 5000));
    }

    // Closes the window the way a user does and expects a clean end.
    void CloseAndExpectExitZero() {
        PostKey(C(L"编辑框1"), VK_ESCAPE);
        const std::optional<DWORD> code = process_->WaitExit(20000);
        ASSERT_TRUE(code.has_value()) << "the program hangs after its window was closed";
        EXPECT_EQ(*code, 0u);
        process_.reset();
    }

    // Clicks 下载 and answers the boxes that follow: the question of an existing file with
    // `existsAnswer` (when asked), then the closing box, which it returns.
    Box Download(int existsAnswer, bool expectQuestion) {
        Click(C(L"按钮3"));
        std::optional<Box> box = WaitForBox(process_->Id(), 60000);
        EXPECT_TRUE(box.has_value());
        if (!box)
            return {};
        if (expectQuestion) {
            EXPECT_EQ(box->title, L"信息：");
            EXPECT_EQ(box->text, L"文件已存在,继续下载吗?");
            EXPECT_EQ(box->buttons, (std::vector<int>{IDYES, IDNO}));
            Answer(*box, existsAnswer);
            EXPECT_TRUE(WaitGone(box->hwnd, 5000));
            box = WaitForBox(process_->Id(), 60000);
            EXPECT_TRUE(box.has_value());
            if (!box)
                return {};
        }
        Box closing = *box;
        // The box belongs to an engine thread and has no owner: the window stays usable.
        EXPECT_TRUE(::IsWindowEnabled(window_));
        Answer(closing, IDOK);
        EXPECT_TRUE(WaitGone(closing.hwnd, 5000));
        // After OK: the timer stops, the status bar and the progress bar are cleared.
        EXPECT_TRUE(WaitUntil(
            [&] {
                return StatusTexts(C(L"状态条1")) == std::vector<std::wstring>(4) && ProgressPos(C(L"进度条1")) == 0;
            },
            5000));
        return closing;
    }

    std::wstring folder_;
    std::shared_ptr<const std::string> content_;
    std::unique_ptr<testsupport::HttpTestServer> server_;
};

TEST_F(WholeJobTest, ParseBrowseDownloadThenTheSameTargetAnsweredYesAndNo) {
    const std::wstring page = Widen(server_->BaseUrl()) + L"/dance/play/1.html";
    ASSERT_TRUE(Start(L"\"" + page + L"\""));
    ASSERT_EQ(Text(C(L"编辑框1")), page);

    // Parse: the audio address on the local media host.
    Click(C(L"按钮1"));
    const std::wstring audio = Widen(server_->BaseUrl()) + L"/mp3/gui-track.mp3";
    ASSERT_TRUE(WaitUntil([&] { return Text(C(L"编辑框2")) == audio; }, 20000)) << Utf8(Text(C(L"编辑框2")));

    // Browse, cancelled and then with an item that has no file-system path: nothing changes.
    for (bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "cancelled" : "no path");
        Click(C(L"按钮2"));
        HWND dialog = WaitForFolderDialog(process_->Id(), 20000);
        ASSERT_NE(dialog, nullptr);
        if (cancel) {
            CancelDialog(dialog);
            EXPECT_TRUE(WaitGone(dialog, 10000));
        } else {
            EXPECT_TRUE(ChooseShellItem(dialog, CSIDL_DRIVES));
        }
        EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(window_) != FALSE; }, 5000));
        EXPECT_EQ(Text(C(L"编辑框3")), L"");
        EXPECT_FALSE(WaitForBox(process_->Id(), 0).has_value());
    }

    // Browse: the real dialog, with the program's windows disabled while it is open.
    Click(C(L"按钮2"));
    HWND dialog = WaitForFolderDialog(process_->Id(), 20000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(::IsWindowEnabled(window_));
    bool titleShown = false;
    for (const ChildInfo& c : Children(dialog))
        if (c.className == L"Static" && Text(c.hwnd) == L"选择要保存到的文件夹")
            titleShown = true;
    EXPECT_TRUE(titleShown);
    ASSERT_TRUE(ChooseFolder(dialog, folder_));
    ASSERT_TRUE(WaitUntil([&] { return Text(C(L"编辑框3")) == folder_; }, 5000)) << Utf8(Text(C(L"编辑框3")));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(window_) != FALSE; }, 5000));

    // Download, watching the display while it runs.
    Click(C(L"按钮3"));
    std::vector<std::wstring> seen;
    int pos = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
            // The position first: once a tick has set it, the same tick has filled parts 1 to 3.
            pos = ProgressPos(C(L"进度条1"));
            seen = StatusTexts(C(L"状态条1"));
            return seen.size() == 4 && seen[0] == L"1536KB" && !seen[3].empty() && pos > 0 && pos < 100;
        },
        30000))
        << "status " << (seen.size() == 4 ? Utf8(seen[0] + L"|" + seen[1] + L"|" + seen[2] + L"|" + seen[3]) : "?")
        << " progress " << pos;
    if (seen.size() == 4) {
        EXPECT_NE(seen[1].find(L"kb/秒"), std::wstring::npos);
        EXPECT_NE(seen[2].find(L"KB"), std::wstring::npos);
        EXPECT_EQ(seen[3].back(), L'%');
    }
    std::optional<Box> done = WaitForBox(process_->Id(), 60000);
    ASSERT_TRUE(done.has_value());
    EXPECT_EQ(done->title, L"青梧提示：");
    EXPECT_EQ(done->text, L"下载完毕，请去保存目录的位置打开吧。");
    EXPECT_EQ(done->buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(done->hasIcon);
    Answer(*done, IDOK);
    ASSERT_TRUE(WaitGone(done->hwnd, 5000));
    const fs::path first = fs::path(folder_) / "gui-track.mp3";
    EXPECT_TRUE(ReadFile(first) == *content_) << "the downloaded file differs";

    // The same target again: Yes downloads under a new name and leaves the first alone.
    Box yes = Download(IDYES, true);
    EXPECT_EQ(yes.text, L"下载完毕，请去保存目录的位置打开吧。");
    EXPECT_TRUE(ReadFile(fs::path(folder_) / "gui-track(1).mp3") == *content_);
    EXPECT_TRUE(ReadFile(first) == *content_);

    // No abandons it, and the closing box says so.
    Box no = Download(IDNO, true);
    EXPECT_EQ(no.title, L"青梧提示：");
    EXPECT_EQ(no.text, L"已取消下载。");
    EXPECT_FALSE(fs::exists(fs::path(folder_) / "gui-track(2).mp3"));

    PostKey(C(L"编辑框1"), VK_ESCAPE);
    const std::optional<DWORD> code = process_->WaitExit(15000);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
    process_.reset();
}

// Closing the window while the engine works, also while its question waits for an answer:
// the program ends at once with 0, and nothing touches the window that has gone.
TEST_F(WholeJobTest, ClosingDuringADownloadEndsTheProgramCleanly) {
    ParseAndBrowse();
    Click(C(L"按钮3"));
    ASSERT_TRUE(WaitUntil([&] { return ProgressPos(C(L"进度条1")) > 0; }, 30000));
    CloseAndExpectExitZero();

    // The partly written file is there now, so the next download asks first.
    ParseAndBrowse();
    Click(C(L"按钮3"));
    std::optional<Box> question = WaitForBox(process_->Id(), 30000);
    ASSERT_TRUE(question.has_value());
    ASSERT_EQ(question->text, L"文件已存在,继续下载吗?");
    CloseAndExpectExitZero();
}

}  // namespace
