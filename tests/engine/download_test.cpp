// The engine against the local server: whole downloads, the exact requests, the events
// and their threads, an existing target file, the two queries and destroying the object.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>

#include "engine_fixture.h"

namespace enginetest {
namespace {

using engine::AddTask;
using engine::Download;
using testsupport::FileOptions;
using testsupport::MakeContent;
using testsupport::ServeFile;

std::string ExpectedRequest(const std::string& path,
                            const std::string& hostPort,
                            const std::string& referer,
                            std::optional<int64_t> from) {
    std::string r = "GET " + path + " HTTP/1.1\r\nHost: " + hostPort + "\r\nAccept: */*\r\nReferer: " + referer +
                    "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n";
    if (from)
        r += "Range: bytes=" + std::to_string(*from) + "-\r\n";
    return r + "Pragma: no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n";
}

class DownloadTest : public EngineTest {};

TEST_F(DownloadTest, CompleteFilesMatchAndRequestsAreExact) {
    const size_t sizes[] = {1, 20479, 20480, 20481, 3 * 1024 * 1024 + 7};
    for (size_t size : sizes) {
        SCOPED_TRACE("size " + std::to_string(size));
        auto content = MakeContent(size, static_cast<uint32_t>(size));
        std::string name = "/mp3/t" + std::to_string(size) + ".mp3";
        server_.Route(name, ServeFile(content));
        server_.ClearRequests();
        log_.Reset();
        Download d;
        RunTask(d, ToolParam(server_.BaseUrl() + name, Path("t" + std::to_string(size) + ".mp3")));
        EXPECT_TRUE(SameBytes(ReadFile(dir_ / ("t" + std::to_string(size) + ".mp3")), *content));

        // One request without Range; every block request asks from a byte inside the file
        // (a block's start, or the middle of what is left of a block split for an idle
        // connection), all byte for byte.
        auto requests = server_.Requests();
        ASSERT_GE(requests.size(), 1u);
        std::string referer = server_.BaseUrl() + "/mp3";
        int unranged = 0;
        for (const auto& r : requests) {
            auto range = r.Header("Range");
            if (!range) {
                ++unranged;
                EXPECT_EQ(r.raw, ExpectedRequest(name, server_.HostPort(), referer, std::nullopt));
                continue;
            }
            int64_t from = std::stoll(range->substr(6));
            EXPECT_GT(from, 0);
            EXPECT_LT(from, static_cast<int64_t>(size));
            EXPECT_EQ(r.raw, ExpectedRequest(name, server_.HostPort(), referer, from));
        }
        EXPECT_EQ(unranged, 1);
        if (size < 20480)
            EXPECT_EQ(requests.size(), 1u);

        // Events: 5 first, 3 once with the length before any data, 4 last with the length.
        auto events = log_.Events();
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.front().code, engine::kEventWorkerStarted);
        EXPECT_EQ(events.back().code, engine::kEventTaskEnded);
        EXPECT_EQ(events.back().v1, static_cast<int>(size));
        EXPECT_EQ(log_.Count(engine::kEventLength), 1);
        EXPECT_EQ(log_.Count(engine::kEventTaskEnded), 1);
        EXPECT_EQ(log_.Count(engine::kEventConnectionFailed), 0);
        EXPECT_EQ(log_.Count(engine::kEventWorkerStarted), log_.Count(engine::kEventConnectionDone));
        int64_t data = 0;
        bool lengthSeen = false;
        for (const auto& e : events) {
            if (e.code == engine::kEventLength) {
                lengthSeen = true;
                EXPECT_EQ(e.v1, static_cast<int>(size));
            }
            if (e.code == engine::kEventData) {
                EXPECT_TRUE(lengthSeen);
                EXPECT_LE(e.v1, 20480);  // reads of 10240 bytes, written two at a time
                data += e.v1;
            }
        }
        EXPECT_EQ(data, static_cast<int64_t>(size));
        EXPECT_EQ(engine::GetDoneLength(d), 0);  // no task any more
        EXPECT_EQ(engine::GetSpeed(d), 0);
    }
}

// The tool asks GetDoneLength inside event 4 to tell a complete file from a failed one:
// the object must hold the task from the moment AddTask starts its thread.
TEST_F(DownloadTest, QueriesAnswerFromTheTaskDuringItsLastEvent) {
    auto content = MakeContent(100, 3);
    server_.Route("/mp3/tiny.mp3", ServeFile(content));
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        log_.Reset();
        Download d;
        std::atomic<int32_t> doneAtEnd{-1};
        log_.answer = [&](const Event& e) {
            if (e.code == engine::kEventTaskEnded) doneAtEnd = GetDoneLength(d);
            return 0;
        };
        const std::string name = "tiny" + std::to_string(round) + ".mp3";
        RunTask(d, ToolParam(server_.BaseUrl() + "/mp3/tiny.mp3", Path(name)));
        EXPECT_EQ(doneAtEnd.load(), 100);
    }
}

TEST_F(DownloadTest, EventsComeInOrderOnTheirThreads) {
    auto content = MakeContent(200000);
    server_.Route("/x.mp3", ServeFile(content));
    WriteFile(dir_ / "x.mp3", "old");
    Download d;
    RunTask(d, ToolParam(server_.BaseUrl() + "/x.mp3", Path("x.mp3")));
    auto events = log_.Events();
    std::vector<int> codes;
    for (const auto& e : events)
        if (e.code != engine::kEventData)
            codes.push_back(e.code);
    // The first connection: 5, 6, then the question, then the length.
    ASSERT_GE(codes.size(), 4u);
    EXPECT_EQ(codes[0], engine::kEventWorkerStarted);
    auto pos = [&](int code) { return std::find(codes.begin(), codes.end(), code) - codes.begin(); };
    EXPECT_LT(pos(engine::kEventFileExists), pos(engine::kEventLength));
    EXPECT_LT(pos(engine::kEventFirstBlock), pos(engine::kEventLength));
    EXPECT_EQ(codes.back(), engine::kEventTaskEnded);

    std::thread::id taskThread = events.back().thread, askThread;
    for (const auto& e : events) {
        if (e.code == engine::kEventFileExists) {
            askThread = e.thread;
            EXPECT_EQ(e.v1, 3);  // the existing file's length
            EXPECT_EQ(e.v2, 200000);
        } else {
            EXPECT_EQ(e.thread, taskThread) << "event " << e.code;
        }
        EXPECT_EQ(e.task, events.back().task);
    }
    EXPECT_NE(askThread, taskThread);
    EXPECT_NE(askThread, std::this_thread::get_id());
}

TEST_F(DownloadTest, ExistingTargetFollowsTheAnswer) {
    auto content = MakeContent(30000);
    server_.Route("/x.mp3", ServeFile(content));
    struct Case {
        int answer;
        const char* written;  // nullptr: no new file
    };
    const Case cases[] = {{0, "x(1).mp3"}, {0, "x(2).mp3"}, {1, nullptr}, {2, nullptr}, {7, nullptr}};
    WriteFile(dir_ / "x.mp3", "old");
    for (const auto& c : cases) {
        SCOPED_TRACE("answer " + std::to_string(c.answer));
        log_.Reset();
        log_.answer = [&](const Event& e) { return e.code == engine::kEventFileExists ? c.answer : 0; };
        auto before = std::distance(std::filesystem::directory_iterator(dir_), {});
        Download d;
        RunTask(d, ToolParam(server_.BaseUrl() + "/x.mp3", Path("x.mp3")));
        EXPECT_TRUE(SameBytes(ReadFile(dir_ / "x.mp3"), "old"));
        EXPECT_EQ(log_.Count(engine::kEventFileExists), 1);
        if (c.written) {
            EXPECT_TRUE(SameBytes(ReadFile(dir_ / c.written), *content));
            EXPECT_EQ(log_.Count(engine::kEventLength), 1);
        } else {
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), before);
            // Event 6 is queued, 18 is raised directly: those two may meet in either order.
            auto codes = log_.Codes();
            ASSERT_FALSE(codes.empty());
            EXPECT_EQ(codes.back(), engine::kEventTaskEnded);
            std::sort(codes.begin(), codes.end());
            EXPECT_EQ(codes, (std::vector<int>{4, 5, 6, 9, 18}));
        }
    }
}

TEST_F(DownloadTest, QueriesFromAnotherThreadWhileReceiving) {
    auto content = MakeContent(600000);
    FileOptions o;
    o.bytesPerSecond = 400000;
    server_.Route("/slow.mp3", ServeFile(content, o));
    Download d;
    ASSERT_TRUE(AddTask(d, ToolParam(server_.BaseUrl() + "/slow.mp3", Path("slow.mp3"))));
    std::atomic<bool> done{false};
    int64_t speedSum = 0;
    int32_t lastDone = 0;
    bool monotonic = true, bounded = true;
    std::thread poller([&] {
        while (!done) {
            int32_t s = engine::GetSpeed(d);
            int32_t n = engine::GetDoneLength(d);
            speedSum += s;
            monotonic = monotonic && (n >= lastDone || n == 0);
            bounded = bounded && n <= 600000 && s >= 0;
            if (n)
                lastDone = n;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    });
    ASSERT_TRUE(log_.WaitFor(engine::kEventTaskEnded, 30000));
    done = true;
    poller.join();
    EXPECT_TRUE(monotonic);
    EXPECT_TRUE(bounded);
    EXPECT_GT(lastDone, 0);
    EXPECT_LE(speedSum, 600000);
    EXPECT_GT(speedSum, 0);
    EXPECT_TRUE(SameBytes(ReadFile(dir_ / "slow.mp3"), *content));
}

TEST_F(DownloadTest, DestroyDuringDownloadStopsWithinStopWait) {
    auto content = MakeContent(4 * 1024 * 1024);
    FileOptions o;
    o.bytesPerSecond = 100000;
    server_.Route("/big.mp3", ServeFile(content, o));
    auto d = std::make_unique<Download>();
    ASSERT_TRUE(AddTask(*d, ToolParam(server_.BaseUrl() + "/big.mp3", Path("big.mp3"))));
    ASSERT_TRUE(log_.WaitFor(engine::kEventData));
    auto start = std::chrono::steady_clock::now();
    d.reset();
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    size_t count = log_.Events().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(log_.Events().size(), count) << "an event after the object was destroyed";
    // The part received stays, at the file's full length.
    EXPECT_EQ(std::filesystem::file_size(dir_ / "big.mp3"), content->size());
}

TEST_F(DownloadTest, DestroyWhileTheToolIsStillAnsweringDetachesTheTask) {
    auto content = MakeContent(50000);
    server_.Route("/x.mp3", ServeFile(content));
    WriteFile(dir_ / "x.mp3", "old");
    struct Gate {
        std::atomic<bool> release{false}, returned{false};
    };
    auto gate = std::make_shared<Gate>();
    log_.answer = [gate](const Event& e) {
        if (e.code == engine::kEventFileExists) {
            while (!gate->release)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            gate->returned = true;
        }
        return 0;
    };
    auto d = std::make_unique<Download>();
    engine::TaskParam p = ToolParam(server_.BaseUrl() + "/x.mp3", Path("x.mp3"));
    p.stopWait = 200;
    ASSERT_TRUE(AddTask(*d, p));
    ASSERT_TRUE(log_.WaitFor(engine::kEventFileExists));
    auto start = std::chrono::steady_clock::now();
    d.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(700));
    size_t count = log_.Events().size();
    gate->release = true;  // the question returns after the object is gone
    while (!gate->returned)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(log_.Events().size(), count) << "an event after the object was destroyed";
    EXPECT_FALSE(std::filesystem::exists(dir_ / "x(1).mp3"));
}

TEST_F(DownloadTest, DestroyWithoutTaskReturnsAtOnce) {
    auto start = std::chrono::steady_clock::now();
    { Download d; }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_TRUE(log_.Events().empty());
}

TEST_F(DownloadTest, AddTaskRefusals) {
    const char* bad[] = {"",
                         "mp3.example/x.mp3",
                         "https://127.0.0.1/x.mp3",
                         "http://127.0.0.1",
                         "http:///x.mp3",
                         "http://127.0.0.1:99999/x.mp3",
                         "http://127.0.0.1\r\nX-Evil: 1/x.mp3"};
    Download d;
    for (const char* address : bad) {
        SCOPED_TRACE(address);
        EXPECT_FALSE(AddTask(d, ToolParam(address, Path("x.mp3"))));
    }
    engine::TaskParam noAddress = ToolParam("", Path("x.mp3"));
    noAddress.address.reset();
    EXPECT_FALSE(AddTask(d, noAddress));
    EXPECT_FALSE(engine::IsBusy(d));

    // A busy object refuses another task and keeps its own.
    FileOptions o;
    o.bytesPerSecond = 200000;
    auto content = MakeContent(100000);
    server_.Route("/a.mp3", ServeFile(content, o));
    ASSERT_TRUE(AddTask(d, ToolParam(server_.BaseUrl() + "/a.mp3", Path("a.mp3"))));
    EXPECT_FALSE(AddTask(d, ToolParam(server_.BaseUrl() + "/b.mp3", Path("b.mp3"))));
    ASSERT_TRUE(log_.WaitFor(engine::kEventTaskEnded, 20000));
    EXPECT_TRUE(SameBytes(ReadFile(dir_ / "a.mp3"), *content));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "b.mp3"));
    EXPECT_EQ(log_.Count(engine::kEventTaskEnded), 1);
    for (const auto& r : server_.Requests())
        EXPECT_EQ(r.target, "/a.mp3");
}

TEST_F(DownloadTest, TargetPathIsCodePage936) {
    auto content = MakeContent(30000);
    server_.Route("/m.mp3", ServeFile(content));
    const std::string name = "\xD2\xF4\xC0\xD6.mp3";  // 音乐.mp3
    Download d;
    RunTask(d, ToolParam(server_.BaseUrl() + "/m.mp3", Path(name)));
#ifdef _WIN32
    const std::filesystem::path expected = dir_ / L"\u97F3\u4E50.mp3";
#else
    const std::filesystem::path expected = dir_ / name;  // names are bytes here
#endif
    EXPECT_TRUE(SameBytes(ReadFile(expected), *content));
}

}  // namespace
}  // namespace enginetest
