#include "engine/request.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

RequestInput Input(const char* address) {
    RequestInput in;
    EXPECT_TRUE(ParseUrl(address, &in.url));
    return in;
}

TEST(RequestTest, ExactBytes) {
    const std::string ua = "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n";
    const std::string tail = "Pragma: no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n";
    struct Case {
        const char* name;
        RequestInput in;
        std::string expected;
    };
    RequestInput block = Input("http://mp3.qzln.com:8080/mp3/a b.mp3");
    block.rangeFrom = 2097152;
    RequestInput referer = Input("http://h/x.mp3");
    referer.referer = std::string("http://page/\r\nX: 1");
    RequestInput emptyReferer = Input("http://h/x.mp3");
    emptyReferer.referer = std::string();
    RequestInput proxy = Input("http://h:81/d/x.mp3?a=1");
    proxy.viaProxy = true;
    RequestInput proxyBlock = proxy;
    proxyBlock.rangeFrom = 7;
    const Case cases[] = {
        {"first request", Input("http://mp3.qzln.com/mp3/1234.mp3"),
         "GET /mp3/1234.mp3 HTTP/1.1\r\nHost: mp3.qzln.com\r\nAccept: */*\r\nReferer: http://mp3.qzln.com/mp3\r\n" +
             ua + tail},
        {"block request", block,
         "GET /mp3/a%20b.mp3 HTTP/1.1\r\nHost: mp3.qzln.com:8080\r\nAccept: */*\r\n"
         "Referer: http://mp3.qzln.com:8080/mp3\r\n" +
             ua + "Range: bytes=2097152-\r\n" + tail},
        {"given referer", referer,
         "GET /x.mp3 HTTP/1.1\r\nHost: h\r\nAccept: */*\r\nReferer: http://page/%0D%0AX: 1\r\n" + ua + tail},
        {"empty referer", emptyReferer, "GET /x.mp3 HTTP/1.1\r\nHost: h\r\nAccept: */*\r\nReferer: \r\n" + ua + tail},
        {"proxy", proxy,
         "GET http://h:81/d/x.mp3?a=1 HTTP/1.1\r\nHost: h:81\r\n" + ua + "Proxy-Connection: Keep-Alive\r\n\r\n"},
        {"proxy block", proxyBlock,
         "GET http://h:81/d/x.mp3?a=1 HTTP/1.1\r\nHost: h:81\r\n" + ua +
             "Range: bytes=7-\r\nProxy-Connection: Keep-Alive\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string head;
        ASSERT_TRUE(BuildRequest(c.in, &head));
        EXPECT_EQ(head, c.expected);
    }
}

TEST(RequestTest, PathLimitCountsTheEscapedBytes) {
    std::string head;
    EXPECT_TRUE(BuildRequest(Input(("http://h/" + std::string(1022, 'a')).c_str()), &head));
    EXPECT_FALSE(BuildRequest(Input(("http://h/" + std::string(1023, 'a')).c_str()), &head));
    EXPECT_FALSE(BuildRequest(Input(("http://h/" + std::string(1020, 'a') + " ").c_str()), &head));
}

}  // namespace
}  // namespace engine
