#include "engine/url.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

TEST(UrlTest, Parse) {
    struct Case {
        const char* address;
        bool ok;
        const char *scheme, *hostPort, *host;
        int port;
        const char* path;
    };
    const Case cases[] = {
        {"http://mp3.qzln.com/mp3/123.mp3", true, "http", "mp3.qzln.com", "mp3.qzln.com", 80, "/mp3/123.mp3"},
        {"HTTP://Host:8080/a?b=c/d", true, "http", "Host:8080", "Host", 8080, "/a?b=c/d"},
        {"ftp://h/f", true, "ftp", "h", "h", 21, "/f"},
        {"mms://h/f", true, "mms", "h", "h", 1755, "/f"},
        {"MMST://h/f", true, "mmst", "h", "h", 1755, "/f"},
        {"rtsp://h/f", true, "rtsp", "h", "h", 554, "/f"},
        {"http://[::1]:81/x", true, "http", "[::1]:81", "::1", 81, "/x"},
        {"http://h/", true, "http", "h", "h", 80, "/"},
        {"", false},
        {"https://h/x", false},
        {"h/x", false},
        {"http://h", false},
        {"http:///x", false},
        {"http://h:/x", false},
        {"http://h:0/x", false},
        {"http://h:65536/x", false},
        {"http://h:8a/x", false},
        {"http://h\r\nX: y/x", false},
        {"http://h\x7f/x", false},
        {"http://a b/x", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        Url u;
        ASSERT_EQ(ParseUrl(c.address, &u), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(u.scheme, c.scheme);
        EXPECT_EQ(u.hostPort, c.hostPort);
        EXPECT_EQ(u.host, c.host);
        EXPECT_EQ(u.port, c.port);
        EXPECT_EQ(u.path, c.path);
        EXPECT_EQ(u.text, c.address);
    }
}

TEST(UrlTest, ResolveLocation) {
    Url base;
    ASSERT_TRUE(ParseUrl("http://h:81/a/b/c.mp3?q=1", &base));
    struct Case {
        const char* location;
        const char* result;  // nullptr: refused
    };
    const Case cases[] = {
        {"http://other/x.mp3", "http://other/x.mp3"},
        {"http://other", "http://other/"},
        {"HTTP://Other:90/y", "HTTP://Other:90/y"},
        {"//cdn/z.mp3", "http://cdn/z.mp3"},
        {"/root.mp3", "http://h:81/root.mp3"},
        {"d.mp3", "http://h:81/a/b/d.mp3"},
        {"  d.mp3 ", "http://h:81/a/b/d.mp3"},
        {"../e.mp3?x=/y", "http://h:81/a/e.mp3?x=/y"},
        {"./../../../f", "http://h:81/f"},
        {"?r=2", "http://h:81/a/b/c.mp3?r=2"},
        {"", nullptr},
        {"https://h/x", nullptr},
        {"http://bad\rhost/x", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        Url u;
        bool ok = ResolveLocation(base, c.location, &u);
        ASSERT_EQ(ok, c.result != nullptr);
        if (ok)
            EXPECT_EQ(u.text, c.result);
    }
}

TEST(UrlTest, Escaping) {
    EXPECT_EQ(EscapePath("/a b/c\r\nd\x7f\x01\xb8\xe8.mp3"), "/a%20b/c%0D%0Ad%7F%01\xb8\xe8.mp3");
    EXPECT_EQ(EscapeHeaderValue("a b\r\nX: y\t"), "a b%0D%0AX: y%09");
    EXPECT_EQ(DefaultReferer("http://h/mp3/1.mp3"), "http://h/mp3");
    EXPECT_EQ(DefaultReferer("http://h/1.mp3"), "http://h");
}

}  // namespace
}  // namespace engine
