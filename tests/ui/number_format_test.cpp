#include "ui/number_format.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(FormatKilo, SizesAsTheStatusBarShowsThem) {
    const struct {
        double bytes;
        const char* text;
    } cases[] = {
        {3456789, "3375.77"}, {1048576, "1024"}, {1, "0"},   {128, "0.13"},      {1023, "1"},
        {0, "0"},             {512, "0.5"},      {10240, "10"}, {2147483647, "2097152"}, {-1536, "-1.5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(FormatKilo(c.bytes), c.text);
    }
}

TEST(RoundDecimal, HalvesAndNearHalvesRoundAwayFromZero) {
    const struct {
        double x;
        int d;
        double want;
    } cases[] = {
        {0.125, 2, 0.13}, {1.005, 2, 1.01}, {2.675, 2, 2.68}, {-2.675, 2, -2.68}, {1.004, 2, 1.0},
        {2.5, 0, 3},      {1250, -2, 1300}, {1249, -2, 1200}, {0, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + " d=" + std::to_string(c.d));
        EXPECT_DOUBLE_EQ(RoundDecimal(c.x, c.d), c.want);
    }
    EXPECT_TRUE(std::isnan(RoundDecimal(NAN, 2)));
}

TEST(NumberToText, ThirteenSignificantDigitsWithoutTrailingZeros) {
    EXPECT_EQ(NumberToText(1024.0), "1024");
    EXPECT_EQ(NumberToText(3375.77), "3375.77");
    EXPECT_EQ(NumberToText(0.5), "0.5");
    EXPECT_EQ(NumberToText(0.0), "0");
    EXPECT_EQ(NumberToText(1e13), "1e+13");
    EXPECT_EQ(NumberToText(150), "150");
    EXPECT_EQ(NumberToText(-7), "-7");
}

TEST(ProgressPosition, DividesBeforeMultiplyingAndTruncates) {
    const struct {
        double done, total;
        int want;
    } cases[] = {
        {29, 100, 28},  // 0.29 * 100 = 28.999999999999996
        {57, 100, 56}, {100, 100, 100}, {150, 100, 150}, {0, 100, 0},
        {0, 0, 0},     // 0/0 is not a number
        {5, 0, 0},     // 5/0 is infinite
        {2147483647.0, 1, 2147483647},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.done) + "/" + std::to_string(c.total));
        EXPECT_EQ(ProgressPosition(c.done, c.total), c.want);
    }
}

}  // namespace
