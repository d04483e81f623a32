// OnParse on the scripted window against the local test server: what reaches 编辑框2,
// what pageText and trackId hold, and what the server received.
#include "resolve/on_parse.h"

#include <gtest/gtest.h>

#include <string>

#include "app/globals.h"
#include "platform/fake/fake_runtime.h"
#include "platform/ui_runtime.h"
#include "support/http_test_server.h"
#include "ui/controls.h"
#include "ui/main_window_layout.h"

namespace {

namespace fake = platform::fake;
using testsupport::Respond;

const std::string kAddressPrefix = std::string("http://") + QZLN_MEDIA_HOST + "/mp3/";

class OnParseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::Reset();
        platform::LoadWindow(MainWindowLayout());
        pageText = "old page";
        trackId = "old id";
    }
    // Puts the address into 编辑框1, clicks 解析 and returns what 编辑框2 shows.
    std::string Parse(const std::string& address) {
        platform::SetControlText(编辑框1, address);
        fake::Click(按钮1);
        return fake::Text(编辑框2);
    }
    std::string Page(const std::string& path, const std::string& body, int status = 200) {
        server.Route(path, Respond(status, body));
        return server.BaseUrl() + path;
    }
    testsupport::HttpTestServer server;
};

TEST_F(OnParseTest, IdBetweenTheMarkersOfTheDecodedPage) {
    struct Case {
        const char* name;
        std::string utf8Page, id;
    } cases[] = {
        {"markers around an id", "<script>var a=[{s_str+\"8841.m4a\"}];</script>", "8841"},
        {"left marker twice", "s_str+\"1 s_str+\"2.m4a\"}];", "1 s_str+\"2"},
        {"right marker only before the left", ".m4a\"}]; s_str+\"3", ""},
        {"right marker right after the left", "s_str+\".m4a\"}];", ""},
        {"markers in upper case", "S_Str+\"44.M4A\"}];", "44"},
        {"Chinese id in code page 936", "\xE4\xB8\xAD s_str+\"\xE4\xB8\xAD\xE6\x96\x87.m4a\"}];", "\xD6\xD0\xCE\xC4"},
        {"markers behind a zero byte", std::string("x\0s_str+\"5.m4a\"}];", 18), ""},
        {"no page", "", ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string url = Page("/play/" + std::to_string(++n) + ".html", c.utf8Page);
        EXPECT_EQ(Parse(url), kAddressPrefix + c.id + ".mp3");
        EXPECT_EQ(trackId, c.id);
    }
}

TEST_F(OnParseTest, PageTextIsTheWholePageIn936) {
    Parse(Page("/p", "<b>\xE4\xB8\xAD\xE6\x96\x87</b>\xEA\xB0\x80"));  // 中文 and a Hangul syllable
    EXPECT_EQ(pageText, "<b>\xD6\xD0\xCE\xC4</b>?");
}

TEST_F(OnParseTest, ErrorPageBodyIsThePage) {
    EXPECT_EQ(Parse(Page("/gone", "s_str+\"404.m4a\"}];", 404)), kAddressPrefix + "404.mp3");
}

TEST_F(OnParseTest, RequestAsTheServerReceivesIt) {
    server.Route("/play/9.html", Respond(200, "s_str+\"9.m4a\"}];"));
    EXPECT_EQ(Parse(server.BaseUrl() + "/play/9.html#top"), kAddressPrefix + "9.mp3");
    ASSERT_EQ(server.RequestCount(), 1u);
    const auto r = server.Requests()[0];
    EXPECT_EQ(r.method + " " + r.target + " " + r.version, "GET /play/9.html HTTP/1.0");
    EXPECT_EQ(r.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_EQ(r.Header("Accept"), "*/*");
    for (const auto& [name, value] : r.headers)
        EXPECT_TRUE(name == "Host" || name == "User-Agent" || name == "Accept") << name << ": " << value;
}

TEST_F(OnParseTest, TwoClicksSendTwoRequests) {
    std::string url = Page("/p", "s_str+\"1.m4a\"}];");
    Parse(url);
    fake::Click(按钮1);
    EXPECT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(fake::Text(编辑框2), kAddressPrefix + "1.mp3");
}

TEST_F(OnParseTest, RedirectFollowed) {
    Page("/new", "s_str+\"77.m4a\"}];");
    server.Route("/old", Respond(301, "", {"Location: /new"}));
    EXPECT_EQ(Parse(server.BaseUrl() + "/old"), kAddressPrefix + "77.mp3");
    EXPECT_EQ(server.RequestCount(), 2u);
}

TEST_F(OnParseTest, AddressWithoutSchemeOrEmptySendsNothing) {
    Page("/p", "s_str+\"1.m4a\"}];");
    for (const std::string& address : {server.HostPort() + "/p", std::string()}) {
        SCOPED_TRACE(address);
        EXPECT_EQ(Parse(address), kAddressPrefix + ".mp3");
        EXPECT_EQ(pageText, "");
        EXPECT_EQ(trackId, "");
    }
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(OnParseTest, FailedFetchReplacesTheOldAddress) {
    platform::SetControlText(编辑框2, "http://elsewhere/x.mp3");
    const std::string base = server.BaseUrl();
    server.Stop();
    EXPECT_EQ(Parse(base + "/p"), kAddressPrefix + ".mp3");
    EXPECT_EQ(pageText, "");
}

}  // namespace
