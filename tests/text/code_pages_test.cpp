// The same table runs natively and under Wine: both sides must give the same bytes.
#include "text/code_pages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/code_page_api.h"

namespace {

using std::string;
using namespace std::string_literals;

string Hex(const string& s) {
    static const char* digits = "0123456789ABCDEF";
    string out;
    for (unsigned char c : s) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

string Wide(std::u16string units) {
    return string(reinterpret_cast<const char*>(units.data()), 2 * units.size());
}

// The ANSI-dependent cases need the ANSI code page to be 936 (under Wine: LC_ALL=zh_CN.UTF-8).
bool AnsiIs936() {
    char16_t out[2] = {};
    return platform::MultiByteToWideChar(0, 0, "\xD6\xD0", 2, out, 2) == 1 && out[0] == 0x4E2D;
}

TEST(BytesToText, EndsAtTheFirstZeroByte) {
    EXPECT_EQ(BytesToText(""), "");
    EXPECT_EQ(BytesToText("abc"), "abc");
    EXPECT_EQ(BytesToText(string("ab\0cd", 5)), "ab");
    EXPECT_EQ(BytesToText(string("\0x", 2)), "");
}

TEST(Utf8ToAnsi, Table) {
    if (!AnsiIs936())
        GTEST_SKIP() << "the ANSI code page is not 936";
    struct Case {
        const char* name;
        string utf8, ansi;
    } cases[] = {
        {"empty", "", ""},
        {"ASCII", "var a = 1;", "var a = 1;"},
        {"Chinese in its two-byte form", "\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},  // 中文
        {"mixed",
         "a\xE4\xB8\xAD"
         "b",
         "a\xD6\xD0"
         "b"},
        {"euro sign", "\xE2\x82\xAC", "\x80"},
        {"Hangul lacking in 936", "\xEA\xB0\x80", "?"},
        {"a character beyond the BMP", "\xF0\x9F\x98\x80", "??"},
        {"a lone continuation byte", "a\x80z", "a?z"},
        {"two lone continuation bytes, room for one", "a\x80\xBFz", "a??"},
        {"overlong two bytes, room for one", "\xC0\x80", "?"},
        {"overlong three bytes", "\xE0\x80\x80", "??"},
        {"overlong four bytes", "\xF0\x80\x80\x80", "???"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "???"},
        {"an encoded surrogate", "\xED\xA0\x80", "??"},
        {"truncated, then ASCII",
         "\xE4\xB8"
         "A",
         "?A"},
        {"truncated at the end", "A\xE4\xB8", "A?"},
        {"truncated four-byte at the end", "A\xF0\x9F\x98", "A?"},
        {"lead byte at the end", "A\xE4", "A?"},
        {"a byte that begins nothing", "a\xFF", "a?"},
        {"two such bytes need more room than measured", "\xFE\xFF", "?"},
        {"a 936 page needs more room than measured", "\xD6\xD0\xCE\xC4", "??"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Hex(Utf8ToAnsi(c.utf8)), Hex(c.ansi));
    }
}

TEST(MultiByteToWide, MeasuredInAnsiWhateverTheCodePage) {
    if (!AnsiIs936())
        GTEST_SKIP() << "the ANSI code page is not 936";
    // 中 in UTF-8 reads as two characters and a terminator in 936: room for three units.
    EXPECT_EQ(Hex(MultiByteToWide("\xE4\xB8\xAD")), Hex(Wide(u"\x4E2D\0\0"s)));
    // Given as 0: decoded in the ANSI code page, not as UTF-8.
    EXPECT_EQ(Hex(MultiByteToWide("\xD6\xD0", 0)), Hex(Wide(u"\x4E2D\0"s)));
    EXPECT_EQ(Hex(MultiByteToWide("\xD6\xD0", 936)), Hex(Wide(u"\x4E2D\0"s)));
    // Not given: UTF-8. The bytes need four units where two were measured: the last stays zero.
    EXPECT_EQ(Hex(MultiByteToWide("\xD6\xD0")), Hex(Wide(u"\xFFFD\0"s)));
    EXPECT_EQ(MultiByteToWide(""), "");
}

TEST(WideToMultiByte, BufferOfTwiceTheAnsiMeasure) {
    if (!AnsiIs936())
        GTEST_SKIP() << "the ANSI code page is not 936";
    EXPECT_EQ(Hex(WideToMultiByte(Wide(u"\x4E2D"
                                       "a\0"s))),
              Hex("\xD6\xD0"
                  "a"));
    EXPECT_EQ(Hex(WideToMultiByte(Wide(u"\x4E2D"
                                       "a\0"s),
                                  936)),
              Hex("\xD6\xD0"
                  "a"));
    EXPECT_EQ(Hex(WideToMultiByte(Wide(u"\x4E2D"
                                       "a\0"s),
                                  65001)),
              Hex("\xE4\xB8\xAD"
                  "a"));
    // Hangul is one "?" in 936, three bytes in UTF-8: the third does not fit into the room
    // of 2 * 4 bytes, so the conversion stops and the spaces behind the first two remain.
    EXPECT_EQ(Hex(WideToMultiByte(Wide(u"\xAC00\xAC00\xAC00\0"s), 65001)), Hex("\xEA\xB0\x80\xEA\xB0\x80  "));
    // Read up to the first zero unit; one without a terminator is read to its end.
    EXPECT_EQ(WideToMultiByte(Wide(u"ab\0cd\0"s)), "ab");
    EXPECT_EQ(WideToMultiByte(Wide(u"ab"s)), "ab");
    EXPECT_EQ(WideToMultiByte(""), "");
    EXPECT_EQ(WideToMultiByte(string(1, 'a')), "");
}

TEST(CodePageApi, Utf8DecodedAsTheSystemDoesWithoutStrictChecking) {
    struct Case {
        const char* name;
        string utf8;
        std::u16string units;  // the terminator included
    } cases[] = {
        {"smallest three-byte", "\xE0\xA0\x80", u"\x0800\0"s},
        {"last before the surrogates", "\xED\x9F\xBF", u"\xD7FF\0"s},
        {"first after the surrogates", "\xEE\x80\x80", u"\xE000\0"s},
        {"byte order mark kept",
         "\xEF\xBB\xBF"
         "a",
         u"\xFEFF"
         "a\0"s},
        {"an encoded surrogate", "\xED\xA0\x80", u"\xFFFD\xFFFD\0"s},
        {"overlong three-byte", "\xE0\x9F\xBF", u"\xFFFD\xFFFD\0"s},
        {"cut sequence, then a whole one", "\xE4\x80\xE4\xB8\xAD", u"\xFFFD\x4E2D\0"s},
        {"cut four-byte, then ASCII", "\xF0\x9F\x41",
         u"\xFFFD"
         "A\0"s},
        {"highest character", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF\0"s},
        {"F5 begins nothing", "\xF5\x80\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD\0"s},
        {"lead byte before a whole two-byte", "\xC2\xC2\xA9", u"\xFFFD\x00A9\0"s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        char16_t out[16] = {};
        const int n = platform::MultiByteToWideChar(65001, 0, c.utf8.c_str(), -1, out, 16);
        EXPECT_EQ(platform::MultiByteToWideChar(65001, 0, c.utf8.c_str(), -1, nullptr, 0), n);
        EXPECT_EQ(Hex(Wide(std::u16string(out, static_cast<size_t>(n > 0 ? n : 0)))), Hex(Wide(c.units)));
    }
}

TEST(CodePageApi, MeasureCapacityAndFailure) {
    if (!AnsiIs936())
        GTEST_SKIP() << "the ANSI code page is not 936";
    char16_t w[8];
    // -1 converts and counts the terminator; an explicit length does not add one.
    EXPECT_EQ(platform::MultiByteToWideChar(65001, 0, "ab", -1, nullptr, 0), 3);
    EXPECT_EQ(platform::MultiByteToWideChar(65001, 0, "ab", 2, nullptr, 0), 2);
    EXPECT_EQ(platform::MultiByteToWideChar(0, 0, "\xB0", -1, nullptr, 0), 2);  // lead byte, terminator
    // Too little room: 0, and nothing written beyond the capacity.
    for (auto& u : w)
        u = 0xAAAA;
    EXPECT_EQ(platform::MultiByteToWideChar(65001, 0, "abcdef", -1, w, 3), 0);
    EXPECT_EQ(w[3], 0xAAAA);
    char b[8];
    std::memset(b, 'x', sizeof b);
    EXPECT_EQ(platform::WideCharToMultiByte(936, 0, u"\x4E2D\x6587", -1, b, 3, nullptr, nullptr), 0);
    EXPECT_EQ(b[3], 'x');
    EXPECT_EQ(platform::WideCharToMultiByte(936, 0, u"\x4E2D\x6587", -1, b, 5, nullptr, nullptr), 5);
    EXPECT_EQ(Hex(string(b, 5)), Hex(string("\xD6\xD0\xCE\xC4", 5)));
    // "?" for a character without a mapping, and the used-default flag.
    bool used = false;
    EXPECT_EQ(platform::WideCharToMultiByte(936, 0, u"a\xAC00", 2, b, 8, nullptr, &used), 2);
    EXPECT_EQ(string(b, 2), "a?");
    EXPECT_TRUE(used);
    EXPECT_EQ(platform::MultiByteToWideChar(12345, 0, "a", -1, w, 8), 0);  // no such code page
}

}  // namespace
