#include "download/save_location.h"

#include <gtest/gtest.h>

#include "app/globals.h"
#include "platform/fake/fake_runtime.h"
#include "platform/ui_runtime.h"
#include "ui/controls.h"
#include "ui/main_window_layout.h"
#include "ui/texts.h"

namespace fake = platform::fake;

namespace {

class SaveLocation : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        savePath.clear();
        platform::LoadWindow(MainWindowLayout());
    }
    void Browse(const std::string& address, const std::string& folder) {
        platform::SetControlText(编辑框2, address);
        fake::QueueFolder(folder);
        OnBrowse();
    }
};

TEST_F(SaveLocation, FolderBackslashAndTheNameAfterTheLastSlash) {
    const struct {
        const char* name;
        const char* address;
        const char* folder;
        const char* savePath;
    } cases[] = {
        {"plain", "http://m/mp3/123.mp3", "D:\\Music", "D:\\Music\\123.mp3"},
        {"drive root keeps two backslashes", "http://m/mp3/123.mp3", "D:\\", "D:\\\\123.mp3"},
        {"no slash: the whole address", "abc.mp3", "C:\\x", "C:\\x\\abc.mp3"},
        {"double-byte characters before the slash", "http://m/\xD2\xF4\xC0\xD6/1.mp3", "C:\\x", "C:\\x\\1.mp3"},
        {"query stays in the name", "http://m/mp3/1.mp3?a=b", "C:\\x", "C:\\x\\1.mp3?a=b"},
        {"Chinese folder", "http://m/mp3/9.mp3", "C:\\\xD2\xF4\xC0\xD6", "C:\\\xD2\xF4\xC0\xD6\\9.mp3"},
        // A name from a hostile page never leads out of the chosen folder.
        {"backslashes in the name", "http://m/mp3/..\\..\\x.mp3", "C:\\x", "C:\\x\\x.mp3"},
        {"trail byte 0x5C is not a separator", "http://m/mp3/\x95\x5Cx.mp3", "C:\\x", "C:\\x\\\x95\x5Cx.mp3"},
        {"empty name", "http://m/mp3/", "C:\\x", ""},
        {"dot", "http://m/mp3/.", "C:\\x", ""},
        {"dot dot", "http://m/mp3/..", "C:\\x", ""},
        {"dot dot after a backslash", "http://m/mp3/a\\..", "C:\\x", ""},
        {"stream of an existing file", "http://m/mp3/a.mp3:evil", "C:\\x", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Browse(c.address, c.folder);
        EXPECT_EQ(fake::Text(编辑框3), c.folder);
        EXPECT_EQ(savePath, c.savePath);
    }
}

TEST_F(SaveLocation, EmptyAddressShowsTheMessageAndOpensNoDialog) {
    OnBrowse();
    ASSERT_EQ(fake::Boxes().size(), 1u);
    EXPECT_EQ(fake::Boxes()[0].text, texts::kEnterAddress);
    EXPECT_EQ(fake::Boxes()[0].flags, 0);
    EXPECT_EQ(fake::Boxes()[0].title, texts::kTitleInfo);
    EXPECT_EQ(fake::FolderDialogsShown(), 0);
}

TEST_F(SaveLocation, CancelKeepsTheEarlierChoice) {
    Browse("http://m/mp3/1.mp3", "D:\\Music");
    Browse("http://m/mp3/2.mp3", "");
    EXPECT_EQ(fake::Text(编辑框3), "D:\\Music");
    EXPECT_EQ(savePath, "D:\\Music\\1.mp3");
    EXPECT_EQ(fake::FolderDialogsShown(), 2);
}

}  // namespace
