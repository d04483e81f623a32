// The engine against a misbehaving network and hostile or broken servers.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_fixture.h"

namespace enginetest {
namespace {

using engine::AddTask;
using engine::Download;
using testsupport::Connection;
using testsupport::Fault;
using testsupport::FileOptions;
using testsupport::MakeContent;
using testsupport::Request;
using testsupport::ServeFile;

class FaultsTest : public EngineTest {
  protected:
    std::vector<std::string> Ranges() {
        std::vector<std::string> r;
        for (const auto& q : server_.Requests())
            r.push_back(q.Header("Range").value_or(""));
        return r;
    }
    void ExpectFailedWithoutFile(const std::string& name) {
        EXPECT_EQ(log_.Count(engine::kEventLength), 0);
        EXPECT_GE(log_.Count(engine::kEventConnectionFailed), 1);
        auto codes = log_.Codes();
        ASSERT_FALSE(codes.empty());
        EXPECT_EQ(codes.back(), engine::kEventTaskEnded);
        EXPECT_FALSE(std::filesystem::exists(dir_ / name));
    }
};

TEST_F(FaultsTest, BrokenConnectionsResumeFromTheRightByte) {
    struct Case {
        const char* name;
        size_t size;
        Fault fault;
        bool ranged;         // the fault hits a block request rather than the first one
        int receiveTimeout;  // ms
    };
    const Case cases[] = {
        {"reset on the only connection", 15000, Fault::kReset, false, 10000},
        {"stall on the only connection", 15000, Fault::kStall, false, 300},
        {"reset on a block connection", 500000, Fault::kReset, true, 10000},
        {"stall on a block connection", 500000, Fault::kStall, true, 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log_.Reset();
        server_.ClearRequests();
        auto content = MakeContent(c.size, static_cast<uint32_t>(c.size + c.ranged));
        FileOptions o;
        o.fault = c.fault;
        o.faultCount = 1;
        o.faultRanged = c.ranged;
        o.faultAfter = 5000;
        // Slow enough that the first answer does not run on into blocks before their own
        // connections begin, and that no idle connection takes over the broken block before
        // its own connection tries again.
        o.bytesPerSecond = 200000;
        std::string name = std::string("/f") + std::to_string(&c - cases) + ".mp3";
        server_.Route(name, ServeFile(content, o));
        Download d;
        engine::TaskParam p = ToolParam(server_.BaseUrl() + name, Path(name.substr(1)));
        p.receiveTimeout = c.receiveTimeout;
        RunTask(d, p);
        EXPECT_TRUE(SameBytes(ReadFile(dir_ / name.substr(1)), *content));
        EXPECT_EQ(log_.Count(engine::kEventConnectionFailed), 0);
        // The retry asks for the block from the byte where the broken answer stopped.
        auto ranges = Ranges();
        if (!c.ranged) {
            EXPECT_EQ(ranges, (std::vector<std::string>{"", "bytes=5000-"}));
        } else {
            std::vector<int64_t> froms;
            for (const auto& r : ranges)
                if (!r.empty())
                    froms.push_back(std::stoll(r.substr(6)));
            std::sort(froms.begin(), froms.end());
            // A block request repeated 5000 bytes further on.
            bool resumed = false;
            for (size_t i = 0; i + 1 < froms.size(); ++i)
                for (size_t j = 0; j < froms.size(); ++j)
                    resumed = resumed || (froms[j] == froms[i] + 5000 && froms[i] % 100000 == 0);
            EXPECT_TRUE(resumed);
        }
    }
}

TEST_F(FaultsTest, StalledBlockIsTakenOverByAnIdleConnection) {
    auto content = MakeContent(500000);
    FileOptions o;
    o.fault = Fault::kStall;  // one block answer stops after 5000 bytes and never goes on
    o.faultCount = 1;
    o.faultRanged = true;
    o.faultAfter = 5000;
    server_.Route("/stall.mp3", ServeFile(content, o));
    Download d;
    auto start = std::chrono::steady_clock::now();
    RunTask(d, ToolParam(server_.BaseUrl() + "/stall.mp3", Path("stall.mp3")));  // 10 s receive time-out
    // A connection with nothing left to do took over the rest long before the time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(SameBytes(ReadFile(dir_ / "stall.mp3"), *content));
    EXPECT_EQ(log_.Count(engine::kEventConnectionFailed), 0);
    EXPECT_GE(log_.Count(engine::kEventNextBlock), 1);
}

TEST_F(FaultsTest, AnswersThatFailTheTaskWithoutRetry) {
    const std::string longHeader = "X-Filler: " + std::string(4100, 'a');
    struct Case {
        const char* name;
        std::string answer;
    };
    const Case cases[] = {
        {"404", "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nnot"},
        {"403", "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n"},
        {"no length", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nabcdef"},
        {"2 GB", "HTTP/1.1 200 OK\r\nContent-Length: 2147483648\r\n\r\nabc"},
        {"4 GB", "HTTP/1.1 200 OK\r\nContent-Length: 4294967297\r\n\r\nabc"},
        {"negative", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc"},
        {"malformed", "HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\r\nabc"},
        {"conflicting", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabc"},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 8\r\n\r\n3\r\nabc\r\n"},
        {"over-long header", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n" + longHeader + "\r\n\r\nabc"},
        {"not HTTP", "ICY 200 OK\r\nContent-Length: 3\r\n\r\nabc"},
        {"length 0", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log_.Reset();
        server_.ClearRequests();
        server_.Route("/bad.mp3", [&](const Request&, Connection& conn) { conn.Send(c.answer); });
        Download d;
        RunTask(d, ToolParam(server_.BaseUrl() + "/bad.mp3", Path("bad.mp3")));
        ExpectFailedWithoutFile("bad.mp3");
        EXPECT_EQ(server_.RequestCount(), 1u);
    }
}

TEST_F(FaultsTest, HeadOfExactlyTheLimitIsAccepted) {
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nX-Filler: ";
    head += std::string(4097 - head.size() - 4, 'a') + "\r\n\r\n";
    ASSERT_EQ(head.size(), 4097u);
    server_.Route("/edge.mp3", [&](const Request&, Connection& conn) { conn.Send(head + "abc"); });
    Download d;
    RunTask(d, ToolParam(server_.BaseUrl() + "/edge.mp3", Path("edge.mp3")));
    EXPECT_TRUE(SameBytes(ReadFile(dir_ / "edge.mp3"), "abc"));
}

TEST_F(FaultsTest, RedirectsAreFollowedAndReplaceTheAddress) {
    auto content = MakeContent(1000000);
    std::string base = server_.BaseUrl();
    server_.Route("/a/start.mp3", testsupport::Respond(302, "", {"Location: next/step.mp3"}));
    server_.Route("/a/next/step.mp3", testsupport::Respond(301, "", {"Location: " + base + "/media/final.mp3"}));
    FileOptions slow;  // so that the block connections get to ask
    slow.bytesPerSecond = 400000;
    server_.Route("/media/final.mp3", ServeFile(content, slow));
    Download d;
    RunTask(d, ToolParam(base + "/a/start.mp3", Path("r.mp3")));
    EXPECT_TRUE(SameBytes(ReadFile(dir_ / "r.mp3"), *content));
    auto requests = server_.Requests();
    ASSERT_GE(requests.size(), 7u);  // two redirects, the first answer, four blocks (and any shares)
    EXPECT_EQ(requests[0].target, "/a/start.mp3");
    EXPECT_EQ(requests[1].target, "/a/next/step.mp3");
    EXPECT_EQ(requests[1].Header("Referer"), base + "/a/next");
    // Every later request, the block requests too, goes to the new address.
    for (size_t i = 2; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].target, "/media/final.mp3");
        EXPECT_EQ(requests[i].Header("Referer"), base + "/media");
    }
}

TEST_F(FaultsTest, RedirectLoopStopsAfterTwenty) {
    server_.Route("/loop.mp3", testsupport::Respond(302, "", {"Location: /loop.mp3"}));
    Download d;
    RunTask(d, ToolParam(server_.BaseUrl() + "/loop.mp3", Path("loop.mp3")));
    ExpectFailedWithoutFile("loop.mp3");
    EXPECT_EQ(server_.RequestCount(), 21u);  // the first request and twenty redirects
}

TEST_F(FaultsTest, ServerIgnoringRangeStillGivesTheWholeFile) {
    auto content = MakeContent(300000);
    FileOptions o;
    o.ignoreRange = true;
    server_.Route("/whole.mp3", ServeFile(content, o));
    Download d;
    RunTask(d, ToolParam(server_.BaseUrl() + "/whole.mp3", Path("whole.mp3")));
    EXPECT_TRUE(SameBytes(ReadFile(dir_ / "whole.mp3"), *content));
    // The first connection's answer carried on into the blocks (event 7); a block
    // connection that got the whole file instead of its block failed (event 9).
    EXPECT_GE(log_.Count(engine::kEventNextBlock), 1);
    auto events = log_.Events();
    for (const auto& e : events)
        if (e.code == engine::kEventConnectionFailed)
            EXPECT_NE(e.conn, events.front().conn);
}

TEST_F(FaultsTest, WrongContentRangeIsNeverWritten) {
    auto content = MakeContent(300000);
    FileOptions o;
    o.contentRangeShift = 1;  // each block answer claims to start one byte later than asked
    server_.Route("/shift.mp3", ServeFile(content, o));
    Download d;
    RunTask(d, ToolParam(server_.BaseUrl() + "/shift.mp3", Path("shift.mp3")));
    // Those connections fail; the first connection fills their blocks from its answer.
    EXPECT_TRUE(SameBytes(ReadFile(dir_ / "shift.mp3"), *content));
}

TEST_F(FaultsTest, ControlBytesNeverReachTheRequestRaw) {
    auto content = MakeContent(100);
    server_.Route("/a%0D%0AX-Evil:%201/b%20c.mp3", ServeFile(content));
    Download d;
    engine::TaskParam p = ToolParam(server_.BaseUrl() + "/a\r\nX-Evil: 1/b c.mp3", Path("inj.mp3"));
    p.referer = std::string("http://ref/\r\nX-Evil: 2");
    RunTask(d, p);
    EXPECT_TRUE(SameBytes(ReadFile(dir_ / "inj.mp3"), *content));
    auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(requests[0].Header("X-Evil"));
    EXPECT_EQ(requests[0].Header("Referer"), "http://ref/%0D%0AX-Evil: 2");
}

TEST_F(FaultsTest, OverlongPathsFailCleanly) {
    auto content = MakeContent(100);
    server_.SetDefault(ServeFile(content));
    struct Case {
        const char* name;
        std::string address, target, file;
    };
    const Case cases[] = {
        {"request path of 1024 bytes", server_.BaseUrl() + "/" + std::string(1023, 'p'), Path("p.mp3"), "p.mp3"},
        {"target path of 260 bytes", server_.BaseUrl() + "/t.mp3", Path(std::string(300, 't')), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log_.Reset();
        Download d;
        RunTask(d, ToolParam(c.address, c.target));
        ExpectFailedWithoutFile(c.file.empty() ? "x" : c.file);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 0);
    }
    // A path of exactly 1023 bytes still goes out.
    log_.Reset();
    Download d;
    RunTask(d, ToolParam(server_.BaseUrl() + "/" + std::string(1022, 'q'), Path("q.mp3")));
    EXPECT_TRUE(SameBytes(ReadFile(dir_ / "q.mp3"), *content));
}

TEST_F(FaultsTest, UnreachableServerGivesUpAfterTheRetries) {
    testsupport::HttpTestServer gone;
    std::string address = gone.BaseUrl() + "/x.mp3";
    gone.Stop();  // its port now refuses connections
    engine::EngineTuning t;
    t.retryPauseMs = 5;
    t.maxRetries = 3;
    engine::SetEngineTuning(t);
    Download d;
    RunTask(d, ToolParam(address, Path("x.mp3")));
    EXPECT_EQ(log_.Codes(), (std::vector<int>{5, 9, 4}));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "x.mp3"));
}

TEST_F(FaultsTest, RetryPauseEndsEarlyWhenDestroyed) {
    testsupport::HttpTestServer gone;
    std::string address = gone.BaseUrl() + "/x.mp3";
    gone.Stop();
    engine::EngineTuning t;  // the tool's own pause of 5000 ms
    engine::SetEngineTuning(t);
    auto d = std::make_unique<Download>();
    ASSERT_TRUE(AddTask(*d, ToolParam(address, Path("x.mp3"))));
    ASSERT_TRUE(log_.WaitFor(engine::kEventWorkerStarted));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto start = std::chrono::steady_clock::now();
    d.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(log_.Codes(), (std::vector<int>{5, 9, 4}));
    EXPECT_EQ(log_.Events().back().v1, 0);
}

}  // namespace
}  // namespace enginetest
