#include "text/text_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace {

using std::nullopt;
using std::optional;
using std::string;

// Code page 936: 中 D6D0, 文 CEC4; B0 is a lead byte whose trail may be any byte.
const string kZhong = "\xD6\xD0", kWen = "\xCE\xC4";

TEST(FindText, Table) {
    struct Case {
        const char* name;
        string text, sought;
        optional<int> start, caseInsensitive;
        int expected;
    } cases[] = {
        {"first match", "abcabc", "bc", nullopt, nullopt, 2},
        {"from a start", "abcabc", "bc", 3, nullopt, 5},
        {"start 0 is the first byte", "abcabc", "ab", 0, nullopt, 1},
        {"start 1", "abcabc", "ab", 1, nullopt, 1},
        {"negative start", "abcabc", "ab", -7, nullopt, 1},
        {"start on the last byte, sought longer", "abcabc", "bc", 6, nullopt, -1},
        {"start beyond the last byte", "abc", "c", 4, nullopt, -1},
        {"not found", "abc", "abd", nullopt, nullopt, -1},
        {"sought longer than text", "ab", "abc", nullopt, nullopt, -1},
        {"empty sought", "abc", "", nullopt, nullopt, 1},
        {"empty sought from a later start", "abc", "", 3, nullopt, 1},
        {"empty sought beyond the end", "abc", "", 4, nullopt, -1},
        {"empty text and sought", "", "", nullopt, nullopt, -1},
        {"match would begin on a trail byte",
         "\xB0"
         "ab",
         "ab", nullopt, nullopt, -1},
        {"same bytes at a character start later",
         "\xB0"
         "abab",
         "ab", nullopt, nullopt, 4},
        {"double-byte sought", kZhong + kWen, kWen, nullopt, nullopt, 3},
        {"straddling two characters", kZhong + kWen, "\xD0\xCE", nullopt, nullopt, -1},
        {"lead byte before the end may match itself", "ab\xB0", "\xB0", nullopt, nullopt, 3},
        {"lead byte before the end ends the search", "a\xB0", "b", nullopt, nullopt, -1},
        {"text ends at its zero byte", string("\xB0\0b", 3), "b", nullopt, nullopt, -1},
        {"case folded when the flag is 1", "xABCx", "abc", nullopt, 1, 2},
        {"exact when the flag is 0", "xABCx", "abc", nullopt, 0, -1},
        {"exact when the flag is 2", "xABCx", "abc", nullopt, 2, -1},
        {"folding leaves high bytes alone", "\xE1\xA1", "\xC1\xA1", nullopt, 1, -1},
        {"folding leaves [ and { apart", "[", "{", nullopt, 1, -1},
        {"folding leaves @ and ` apart", "@", "`", nullopt, 1, -1},
        {"folded first letter as a trail byte",
         "\xB0"
         "Ab",
         "ab", nullopt, 1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindText(c.text, c.sought, c.start, c.caseInsensitive), c.expected);
    }
}

// The search, step by step as its rules say it, to check the fast one against.
int ReferenceFind(const string& text, const string& sought, int start, bool fold) {
    const auto n = static_cast<long long>(text.size()), m = static_cast<long long>(sought.size());
    long long i = std::max(start, 1) - 1;
    if (i >= n)
        return -1;
    if (m == 0)
        return 1;
    auto eq = [fold](unsigned char a, unsigned char b) {
        if (fold && a >= 'A' && a <= 'Z')
            a = static_cast<unsigned char>(a + 32);
        if (fold && b >= 'A' && b <= 'Z')
            b = static_cast<unsigned char>(b + 32);
        return a == b;
    };
    while (i + m <= n) {
        bool match = true;
        for (long long k = 0; k < m && match; ++k)
            match = eq(static_cast<unsigned char>(text[i + k]), static_cast<unsigned char>(sought[k]));
        if (match)
            return static_cast<int>(i + 1);
        if (static_cast<unsigned char>(text[i]) >= 0x80) {
            if (i + 1 >= n)
                return -1;
            i += 2;
        } else {
            i += 1;
        }
    }
    return -1;
}

TEST(FindText, AgreesWithTheRulesOnRandomTexts) {
    const char alphabet[] = {'a', 'S', 's', '"', '\xB0', '\xA1', '\x80', 'x'};
    uint32_t seed = 7;
    auto next = [&seed](uint32_t below) {
        seed = seed * 1664525u + 1013904223u;
        return ((seed >> 8) & 0xFFFFFF) % below;
    };
    for (int round = 0; round < 20000; ++round) {
        string text, sought;
        for (uint32_t i = 0, n = next(48); i < n; ++i)
            text += alphabet[next(8)];
        for (uint32_t i = 0, n = next(4); i < n; ++i)
            sought += alphabet[next(8)];
        const int start = static_cast<int>(next(52)) - 2;
        const int flag = static_cast<int>(next(2));
        ASSERT_EQ(FindText(text, sought, start, flag), ReferenceFind(text, sought, start, flag == 1))
            << "text " << ::testing::PrintToString(text) << " sought " << ::testing::PrintToString(sought) << " start "
            << start << " flag " << flag;
    }
}

TEST(FindTextReverse, Table) {
    struct Case {
        const char* name;
        string text, sought;
        optional<int> start;
        bool ignoreCase;
        int expected;
    } cases[] = {
        {"last match", "a/b/c", "/", nullopt, false, 4},
        {"only the first start - 1 bytes", "a/b/c", "/", 4, false, 2},
        {"a match wholly inside", "a/b/c", "/", 5, false, 4},
        {"a match cut by the limit", "ab/c", "b/", 3, false, -1},
        {"start 1", "a/b", "/", 1, false, -1},
        {"start 0", "a/b", "/", 0, false, -1},
        {"start beyond the end", "a/b", "/", 99, false, 2},
        {"not found", "abc", "/", nullopt, false, -1},
        {"empty sought", "abc", "", nullopt, false, 1},
        {"empty sought, nothing searched", "abc", "", 1, false, -1},
        {"trail byte never starts a match", "\xB0/", "/", nullopt, false, -1},
        {"trail byte, then a real one", "/\xB0/", "/", nullopt, false, 1},
        {"lead byte at the end", "a/\xB0", "/", nullopt, false, 2},
        {"ignoring case", "A/a", "A", nullopt, true, 3},
        {"by case", "A/a", "A", nullopt, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindTextReverse(c.text, c.sought, c.start, c.ignoreCase), c.expected);
    }
}

TEST(TextMidRightLength, Table) {
    EXPECT_EQ(TextMid("abcdef", 2, 3), "bcd");
    EXPECT_EQ(TextMid("abcdef", 0, 3), "");  // 0 is not moved to 1
    EXPECT_EQ(TextMid("abcdef", -1, 3), "");
    EXPECT_EQ(TextMid("abcdef", 7, 1), "");
    EXPECT_EQ(TextMid("abcdef", 6, 5), "f");
    EXPECT_EQ(TextMid("abcdef", 2, 0), "");
    EXPECT_EQ(TextMid("abcdef", 2, -1), "");
    EXPECT_EQ(TextMid(kZhong + kWen, 2, 2), "\xD0\xCE");  // by bytes

    EXPECT_EQ(TextRight("abc", 0), "");
    EXPECT_EQ(TextRight("abc", -1), "");
    EXPECT_EQ(TextRight("abc", 2), "bc");
    EXPECT_EQ(TextRight("abc", 3), "abc");
    EXPECT_EQ(TextRight("abc", 9), "abc");

    EXPECT_EQ(TextLength(""), 0);
    EXPECT_EQ(TextLength(kZhong + "a"), 3);
    EXPECT_EQ(TextLength(string("ab\0cd", 5)), 2);
}

TEST(ReplaceText, Table) {
    struct Case {
        const char* name;
        string text, sought;
        optional<string> with;
        optional<int> start, count;
        optional<bool> caseSensitive;
        string expected;
    } cases[] = {
        {"every match", "aXbXc", "X", "-", nullopt, nullopt, nullopt, "a-b-c"},
        {"no replacement deletes", "aXbXc", "X", nullopt, nullopt, nullopt, nullopt, "abc"},
        {"from a start", "aXaXa", "X", "Y", 3, nullopt, nullopt, "aXaYa"},
        {"start below 1", "aXa", "X", "Y", -4, nullopt, nullopt, "aYa"},
        {"start beyond the end", "aXa", "X", "Y", 4, nullopt, nullopt, "aXa"},
        {"count 1", "XXX", "X", "Y", nullopt, 1, nullopt, "YXX"},
        {"count 0", "XXX", "X", "Y", nullopt, 0, nullopt, "XXX"},
        {"negative count has no limit", "XXX", "X", "Y", nullopt, -1, nullopt, "YYY"},
        {"case-sensitive when not given", "aXbx", "x", "-", nullopt, nullopt, nullopt, "aXb-"},
        {"case-insensitive", "aXbx", "x", "-", nullopt, nullopt, false, "a-b-"},
        {"empty sought", "abc", "", "-", nullopt, nullopt, nullopt, "abc"},
        {"empty text", "", "a", "-", nullopt, nullopt, nullopt, ""},
        {"trail byte left alone",
         "\xB0X"
         "X",
         "X", "Y", nullopt, nullopt, nullopt,
         "\xB0X"
         "Y"},
        {"scan resumes after the match", "aaa", "aa", "b", nullopt, nullopt, nullopt, "ba"},
        {"quote placeholder",
         "a#\xD2\xFD\xBA\xC5"
         "b",
         "#\xD2\xFD\xBA\xC5", "\"", 1, nullopt, true, "a\"b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReplaceText(c.text, c.sought, c.with, c.start, c.count, c.caseSensitive), c.expected);
    }
}

TEST(TextBetween, Table) {
    const string L = "s_str+\"", R = ".m4a\"}];";
    struct Case {
        const char* name;
        string text, left, right;
        optional<int> start;
        optional<bool> caseInsensitive;
        string expected;
    } cases[] = {
        {"markers around an id", "var a=[{s_str+\"12345.m4a\"}];", L, R, nullopt, true, "12345"},
        {"first left marker", "s_str+\"s_str+\"9.m4a\"}];", L, R, nullopt, true, "s_str+\"9"},
        {"right marker only before the left", ".m4a\"}]; s_str+\"12", L, R, nullopt, true, ""},
        {"right marker right after the left", "s_str+\".m4a\"}];", L, R, nullopt, true, ""},
        {"left marker last", "abc s_str+\"", L, R, nullopt, true, ""},
        {"no left marker", "12.m4a\"}];", L, R, nullopt, true, ""},
        {"upper-case markers", "S_STR+\"7.M4A\"}];", L, R, nullopt, true, "7"},
        {"upper-case markers, case by case", "S_STR+\"7.M4A\"}];", L, R, nullopt, nullopt, ""},
        {"Chinese id stays whole", "s_str+\"" + kZhong + kWen + ".m4a\"}];", L, R, nullopt, true, kZhong + kWen},
        {"marker behind a lead byte", "\xB0s_str+\"1.m4a\"}];", L, R, nullopt, true, ""},
        {"placeholder is a quote", "a\"b\"c", "#\xD2\xFD\xBA\xC5", "#\xD2\xFD\xBA\xC5", nullopt, nullopt, "b"},
        {"from a start", "<a>1</a><a>2</a>", "<a>", "</a>", 5, nullopt, "2"},
        {"start 0", "<a>1</a><a>2</a>", "<a>", "</a>", 0, nullopt, "1"},
        {"negative start", "<a>1</a><a>2</a>", "<a>", "</a>", -3, nullopt, "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.caseInsensitive), c.expected);
    }
}

}  // namespace
