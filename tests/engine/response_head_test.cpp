#include "engine/response_head.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

using Length = ResponseHead::Length;
using State = ResponseHead::State;

struct Case {
    const char* name;
    std::string input;
    State state;
    int status;
    Length length;
    int32_t lengthValue;
};

// Where the head ends: after the first empty line.
size_t HeadEnd(const std::string& in) {
    size_t crlf = in.find("\r\n\r\n"), lf = in.find("\n\n");
    return crlf != std::string::npos && crlf + 2 <= lf ? crlf + 4 : lf + 2;
}

// Feeds the input split at every position (and byte by byte) and checks each result.
void Check(const Case& c, const std::function<void(const ResponseHead&)>& more = nullptr) {
    SCOPED_TRACE(c.name);
    for (size_t split = 0; split <= c.input.size() + 1; ++split) {
        SCOPED_TRACE("split " + std::to_string(split));
        ResponseHead h;
        size_t used = 0;
        if (split == c.input.size() + 1) {
            for (size_t i = 0; i < c.input.size(); ++i)
                used += h.Feed(&c.input[i], 1);
        } else {
            used = h.Feed(c.input.data(), split);
            if (used == split)
                used += h.Feed(c.input.data() + split, c.input.size() - split);
        }
        ASSERT_EQ(h.state(), c.state);
        if (c.state == State::kDone) {
            EXPECT_EQ(used, HeadEnd(c.input));
            EXPECT_EQ(h.status(), c.status);
            EXPECT_EQ(h.lengthState(), c.length);
            if (c.length == Length::kValid)
                EXPECT_EQ(h.length(), c.lengthValue);
            if (more)
                more(h);
        }
    }
}

TEST(ResponseHeadTest, StatusAndLength) {
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const Case cases[] = {
        {"Content-Length", ok + "Content-Length: 1234\r\n\r\nbody", State::kDone, 200, Length::kValid, 1234},
        {"Content-length", ok + "Content-length: 5\r\n\r\n", State::kDone, 200, Length::kValid, 5},
        {"lower case, bare LF", "HTTP/1.0 206 Partial\ncontent-length:  7 \n\nxx", State::kDone, 206, Length::kValid,
         7},
        {"no length", ok + "Server: x\r\n\r\n", State::kDone, 200, Length::kAbsent, 0},
        {"largest", ok + "Content-Length: 2147483647\r\n\r\n", State::kDone, 200, Length::kValid, 2147483647},
        {"2 GB", ok + "Content-Length: 2147483648\r\n\r\n", State::kDone, 200, Length::kMalformed, 0},
        {"huge", ok + "Content-Length: 99999999999999999999999\r\n\r\n", State::kDone, 200, Length::kMalformed, 0},
        {"negative", ok + "Content-Length: -1\r\n\r\n", State::kDone, 200, Length::kMalformed, 0},
        {"empty", ok + "Content-Length: \r\n\r\n", State::kDone, 200, Length::kMalformed, 0},
        {"conflicting", ok + "Content-Length: 1\r\nContent-Length: 2\r\n\r\n", State::kDone, 200, Length::kMalformed,
         0},
        {"repeated", ok + "Content-Length: 2\r\nContent-Length: 2\r\n\r\n", State::kDone, 200, Length::kValid, 2},
        {"404", "HTTP/1.1 404 Not Found\r\n\r\n", State::kDone, 404, Length::kAbsent, 0},
        {"no status", "HTTP/1.1\r\n\r\n", State::kError, 0, Length::kAbsent, 0},
        {"not HTTP", "ICY 200 OK\r\n\r\n", State::kError, 0, Length::kAbsent, 0},
        {"status not a number", "HTTP/1.1 2x0 OK\r\n\r\n", State::kError, 0, Length::kAbsent, 0},
        {"unfinished", ok + "Content-Length: 5\r\n", State::kHeaders, 0, Length::kAbsent, 0},
    };
    for (const auto& c : cases)
        Check(c);
}

TEST(ResponseHeadTest, HeadLimit) {
    std::string head = "HTTP/1.1 200 OK\r\nX: ";
    head += std::string(4097 - head.size() - 4, 'a') + "\r\n\r\n";
    Check({"4097 bytes", head + "body", State::kDone, 200, Length::kAbsent, 0});
    std::string over = "HTTP/1.1 200 OK\r\nX: ";
    over += std::string(4098 - over.size() - 4, 'a') + "\r\n\r\n";
    Check({"4098 bytes", over, State::kError, 0, Length::kAbsent, 0});
    ResponseHead h;
    h.Feed(over.data(), over.size());
    EXPECT_EQ(h.error(), ResponseHead::Error::kTooLong);
}

TEST(ResponseHeadTest, LocationContentRangeAndCoding) {
    Check({"redirect", "HTTP/1.1 302 Found\r\nLocation:  /x/y.mp3 \r\n\r\n", State::kDone, 302, Length::kAbsent, 0},
          [](const ResponseHead& h) { EXPECT_EQ(h.location(), "/x/y.mp3"); });
    Check(
        {"range", "HTTP/1.1 206 P\r\nContent-Range: bytes 100-199/1000\r\n\r\n", State::kDone, 206, Length::kAbsent, 0},
        [](const ResponseHead& h) {
            EXPECT_TRUE(h.contentRangeValid());
            EXPECT_EQ(h.rangeFirst(), 100);
            EXPECT_EQ(h.rangeLast(), 199);
            EXPECT_EQ(h.rangeTotal(), 1000);
            EXPECT_FALSE(h.transferCoded());
        });
    const char* badRanges[] = {"bytes 5-4/10", "bytes */10",  "items 0-1/2",
                               "bytes 1-2",    "bytes a-2/3", "bytes 0-1/2147483648"};
    for (const char* r : badRanges) {
        SCOPED_TRACE(r);
        std::string in = std::string("HTTP/1.1 206 P\r\nContent-Range: ") + r + "\r\n\r\n";
        ResponseHead h;
        h.Feed(in.data(), in.size());
        EXPECT_TRUE(h.hasContentRange());
        EXPECT_FALSE(h.contentRangeValid());
    }
    const char* codings[] = {"chunked", "gzip, chunked", "Chunked"};
    for (const char* te : codings) {
        std::string in = std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: ") + te + "\r\n\r\n";
        ResponseHead h;
        h.Feed(in.data(), in.size());
        EXPECT_TRUE(h.transferCoded()) << te;
    }
    std::string identity = "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\n\r\n";
    ResponseHead h;
    h.Feed(identity.data(), identity.size());
    EXPECT_FALSE(h.transferCoded());
}

}  // namespace
}  // namespace engine
