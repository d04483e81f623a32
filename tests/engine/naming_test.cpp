#include "engine/naming.h"

#include <gtest/gtest.h>

#include <set>

#include "engine/blocks.h"

namespace engine {
namespace {

TEST(NamingTest, NextName) {
    struct Case {
        const char *in, *out;
    };
    const Case cases[] = {
        {"C:\\m\\x.mp3", "C:\\m\\x(1).mp3"},
        {"C:\\m\\x(1).mp3", "C:\\m\\x(2).mp3"},
        {"C:\\m\\x(9).mp3", "C:\\m\\x(10).mp3"},
        {"C:\\m\\x(99).mp3", "C:\\m\\x(100).mp3"},
        {"C:\\m\\x(100).mp3", "C:\\m\\x(100)(1).mp3"},
        {"C:\\m\\x(a).mp3", "C:\\m\\x(a)(1).mp3"},
        {"C:\\m\\x().mp3", "C:\\m\\x()(1).mp3"},
        {"C:\\m\\x.tar.gz", "C:\\m\\x(1).tar.gz"},
        {"C:\\m\\noext", "C:\\m\\noext(1)"},
        {"C:\\d.ir\\x", "C:\\d.ir\\x(1)"},
        {"C:\\(5)\\x.mp3", "C:\\(5)\\x(1).mp3"},
        {"/tmp/y.mp3", "/tmp/y(1).mp3"},
        // 0x5C as the second byte of a two-byte character is no folder separator.
        {"C:\\\xb1\x5c.mp3", "C:\\\xb1\x5c(1).mp3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(NextName(c.in), c.out);
    }
}

TEST(NamingTest, FindFreeName) {
    std::set<std::string> taken = {"d\\x(1).mp3", "d\\x(2).mp3"};
    auto isTaken = [&](const std::string& n) { return taken.count(n) > 0; };
    std::string name;
    ASSERT_TRUE(FindFreeName("d\\x.mp3", isTaken, &name));
    EXPECT_EQ(name, "d\\x(3).mp3");
    // Every try taken: it gives up after 99.
    int tries = 0;
    EXPECT_FALSE(FindFreeName(
        "d\\x.mp3", [&](const std::string&) { return ++tries > 0; }, &name));
    EXPECT_EQ(tries, 99);
    // A name that would grow past the bound is refused, never truncated.
    std::string longPath(kMaxTargetPath - 4, 'a');
    EXPECT_FALSE(FindFreeName(
        longPath + ".mp3", [](const std::string&) { return false; }, &name));
}

TEST(BlocksTest, Split) {
    struct Case {
        int32_t length;
        int connections;
        std::vector<std::pair<int32_t, int32_t>> blocks;
    };
    const Case cases[] = {
        {1, 5, {{0, 1}}},
        {20479, 5, {{0, 20479}}},
        {20480, 5, {{0, 4096}, {4096, 8192}, {8192, 12288}, {12288, 16384}, {16384, 20480}}},
        {20483, 5, {{0, 4096}, {4096, 8192}, {8192, 12288}, {12288, 16384}, {16384, 20483}}},
        {100000, 1, {{0, 100000}}},
        {2147483647, 2, {{0, 1073741823}, {1073741823, 2147483647}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        BlockTable t;
        t.Split(c.length, c.connections);
        ASSERT_EQ(t.size(), c.blocks.size());
        for (size_t i = 0; i < t.size(); ++i) {
            EXPECT_EQ(t[i].start, c.blocks[i].first);
            EXPECT_EQ(t[i].end, c.blocks[i].second);
        }
    }
}

TEST(BlocksTest, IdleConnectionsTakeOverWork) {
    BlockTable t;
    t.Split(5 * 1024 * 1024, 2);  // [0, 2.5 MiB) by 1, [2.5 MiB, 5 MiB) by 2
    t[0].owner = 1;
    t[1].owner = 2;
    t[0].next = 1024 * 1024;
    t[0].started = true;
    // Nobody idle to serve: connection 3 halves what is left of the largest block.
    EXPECT_FALSE(t.TakeUnserved(3));
    int victim = -1;
    auto half = t.SplitLargest(3, 0, &victim);
    ASSERT_TRUE(half);
    EXPECT_EQ(victim, 0);  // a share, not a takeover: the owner goes on
    EXPECT_EQ(t[1].end, t[*half].start);
    EXPECT_EQ(t[*half].start, 2621440 + 1310720);
    EXPECT_EQ(t[*half].end, 5 * 1024 * 1024);
    EXPECT_EQ(t[*half].owner, 3);
    // Block 0's answer runs on into block 1 only while nothing of it has been received.
    t[0].next = t[0].end;
    auto next = t.TakeAdjacent(0, 1);
    ASSERT_TRUE(next);
    EXPECT_EQ(*next, 1u);
    EXPECT_EQ(t[1].owner, 1);
    t[*half].started = true;
    t[1].next = t[1].end;
    EXPECT_FALSE(t.TakeAdjacent(1, 1));
    // Too little left to halve, and its owner is still moving: nothing for connection 4.
    t[*half].next = t[*half].end - 2 * kMinSplitPiece + 1;
    t[*half].active = 1000;
    EXPECT_FALSE(t.SplitLargest(4, 1000 + kIdleTakeoverMs - 1, &victim));
    // Its owner stood still too long: connection 4 takes over all that is left.
    int32_t rest = t[*half].next;
    auto tail = t.SplitLargest(4, 1000 + kIdleTakeoverMs, &victim);
    ASSERT_TRUE(tail);
    EXPECT_EQ(victim, 3);
    EXPECT_EQ(t[*tail].start, rest);
    EXPECT_EQ(t[*tail].end, 5 * 1024 * 1024);
    EXPECT_TRUE(t[*tail].started);  // the former owner cannot run on into it again
    EXPECT_TRUE(t[*half].Complete());
    EXPECT_FALSE(t.OthersAtWork(4));
    EXPECT_TRUE(t.OthersAtWork(5));
    // A block whose connection gave up is taken up whole.
    t[*tail].owner = 0;
    EXPECT_EQ(t.TakeUnserved(5), tail);
}

}  // namespace
}  // namespace engine
