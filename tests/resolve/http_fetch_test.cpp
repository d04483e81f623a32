// HttpFetch against the local test server, natively (libcurl) and under Wine (WinINet):
// the exact request that arrives, and the body whatever happens to the exchange.
#include "platform/http_fetch.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/http_test_server.h"

namespace {

using testsupport::Connection;
using testsupport::HttpTestServer;
using testsupport::Request;
using testsupport::Respond;

// Headers the HTTP client may add by itself; everything else must be ours.
const std::set<std::string> kClientHeaders = {"host"};

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return s;
}

class HttpFetchTest : public ::testing::Test {
  protected:
    HttpTestServer server;
};

TEST_F(HttpFetchTest, SendsOneHttp10GetWithOurTwoHeadersOnly) {
    server.Route("/play/1.html?x=1", Respond(200, "page"));
    EXPECT_EQ(platform::HttpFetch(server.BaseUrl() + "/play/1.html?x=1"), "page");
    ASSERT_EQ(server.RequestCount(), 1u);
    const Request r = server.Requests()[0];
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.target, "/play/1.html?x=1");
    EXPECT_EQ(r.version, "HTTP/1.0");
    EXPECT_EQ(r.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_EQ(r.Header("Accept"), "*/*");
    EXPECT_EQ(r.Header("Host"), server.HostPort());
    EXPECT_FALSE(r.Header("Referer"));
    for (const auto& [name, value] : r.headers) {
        std::string n = Lower(name);
        if (n == "user-agent" || n == "accept")
            continue;
        EXPECT_TRUE(kClientHeaders.count(n)) << "unexpected header " << name << ": " << value;
    }
}

TEST_F(HttpFetchTest, RequestPathAsTypedWithDotSegmentsResolvedAndNoFragment) {
    struct Case {
        const char* name;
        std::string typed, target;
    } cases[] = {
        {"fragment cut", "/p?q=1#part", "/p?q=1"},
        {"fragment in the path", "/a#b/c", "/a"},
        {"dot segments", "/a/b/../c/./d", "/a/c/d"},
        {"dot segments above the root", "/../a", "/a"},
        {"percent-encoding kept", "/a%20b/%7e?x=%41", "/a%20b/%7e?x=%41"},
        {"no path", "", "/"},
        {"code page 936 bytes as they are", "/x/\xD6\xD0?q=\xD6\xD0", "/x/\xD6\xD0?q=\xD6\xD0"},
        {"a space goes as %20, the one escape the system client makes", "/a b", "/a%20b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.ClearRequests();
        platform::HttpFetch(server.BaseUrl() + c.typed);
        ASSERT_EQ(server.RequestCount(), 1u);
        EXPECT_EQ(server.Requests()[0].target, c.target);
    }
}

TEST_F(HttpFetchTest, AddressesThatSendNothing) {
    const std::string hostPath = server.HostPort() + "/p";
    for (const std::string& address : {std::string(), hostPath, "ftp://" + hostPath, "http:/" + hostPath}) {
        SCOPED_TRACE(address);
        EXPECT_EQ(platform::HttpFetch(address), "");
    }
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(HttpFetchTest, BodyOfEveryStatusAndEveryByte) {
    server.Route("/missing", Respond(404, "<p>s_str+\"1.m4a\"}];</p>"));
    EXPECT_EQ(platform::HttpFetch(server.BaseUrl() + "/missing"), "<p>s_str+\"1.m4a\"}];</p>");
    const std::string withZero("a\0b", 3);
    server.Route("/zero", Respond(200, withZero));
    EXPECT_EQ(platform::HttpFetch(server.BaseUrl() + "/zero"), withZero);
    server.Route("/nolength", [](const Request&, Connection& c) { c.Send("HTTP/1.0 200 OK\r\n\r\nuntil close"); });
    EXPECT_EQ(platform::HttpFetch(server.BaseUrl() + "/nolength"), "until close");
}

TEST_F(HttpFetchTest, RedirectFollowed) {
    server.Route("/old", Respond(302, "moved", {"Location: " + server.BaseUrl() + "/new"}));
    server.Route("/new", Respond(200, "new page"));
    EXPECT_EQ(platform::HttpFetch(server.BaseUrl() + "/old"), "new page");
    ASSERT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(server.Requests()[1].target, "/new");
}

TEST_F(HttpFetchTest, EveryFetchReachesTheServer) {
    server.Route("/cached",
                 Respond(200, "x", {"Cache-Control: max-age=3600", "Expires: Thu, 01 Jan 2099 00:00:00 GMT"}));
    platform::HttpFetch(server.BaseUrl() + "/cached");
    platform::HttpFetch(server.BaseUrl() + "/cached");
    EXPECT_EQ(server.RequestCount(), 2u);
}

TEST_F(HttpFetchTest, WhatArrivedWhenReadingBreaksOff) {
    server.Route("/cut", [](const Request&, Connection& c) {
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst part");
        c.SleepMs(300);  // the client has read the part and waits for more: now the reset
        c.Reset();
    });
    EXPECT_EQ(platform::HttpFetch(server.BaseUrl() + "/cut"), "first part");
    server.Route("/short", [](const Request&, Connection& c) {
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst part");
    });
    EXPECT_EQ(platform::HttpFetch(server.BaseUrl() + "/short"), "first part");
}

TEST_F(HttpFetchTest, EmptyOnFailureBeforeTheBody) {
    server.Route("/reset", [](const Request&, Connection& c) { c.Reset(); });
    EXPECT_EQ(platform::HttpFetch(server.BaseUrl() + "/reset"), "");
    const std::string base = server.BaseUrl();
    server.Stop();
    EXPECT_EQ(platform::HttpFetch(base + "/p"), "");  // nothing listens there any more
}

}  // namespace
