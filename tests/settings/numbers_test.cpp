// The conversions of setting values: strtol-like integers clamped to 32 bits
// and atof-like decimal seconds rounded to float, in every locale.
#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "app/settings.h"

namespace {

constexpr int32_t int32Max = std::numeric_limits<int32_t>::max();
constexpr int32_t int32Min = std::numeric_limits<int32_t>::min();
constexpr float infinity = std::numeric_limits<float>::infinity();

TEST(ParseIntegerTest, ConvertsLikeStrtolClampedTo32Bits) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"800", 800},
        {"-3", -3},
        {"+42", 42},
        {" \t\n\v\f\r17", 17},
        {"12px", 12},
        {"1.9", 1},
        {"\"5\"", 0},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"+-5", 0},
        {"- 5", 0},
        {"0x10", 0},
        {"000000000000000000000000042", 42},
        {"2147483647", int32Max},
        {"2147483648", int32Max},
        {"99999999999", int32Max},
        {"-2147483648", int32Min},
        {"-2147483649", int32Min},
        {"-99999999999", int32Min},
        {"99999999999999999999999999999999999999", int32Max},
        {"-99999999999999999999999999999999999999", int32Min},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseInteger(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(ParseSecondsTest, ConvertsLikeAtofThenRoundsToFloat) {
    struct Case {
        const char* text;
        float value;
    };
    const Case cases[] = {
        {"4.5", 4.5f},
        {"12", 12.0f},
        {"2.5E1", 25.0f},
        {"2.5e+1", 25.0f},
        {"250e-1", 25.0f},
        {".5", 0.5f},
        {"5.", 5.0f},
        {"-1.25", -1.25f},
        {"+3", 3.0f},
        {" \t 8", 8.0f},
        // An exponent without digits is not part of the number.
        {"1e", 1.0f},
        {"1e+", 1.0f},
        {"1ex", 1.0f},
        {"2.5.5", 2.5f},
        {"3s", 3.0f},
        // No number at the start gives 0.
        {"\"5\"", 0.0f},
        {"abc", 0.0f},
        {"", 0.0f},
        {".", 0.0f},
        {"-", 0.0f},
        {"e5", 0.0f},
        {".e1", 0.0f},
        // Hexadecimal and words are not numbers here.
        {"0x10", 0.0f},
        {"inf", 0.0f},
        {"nan", 0.0f},
        // Correctly rounded to double, then to float.
        {"0.1", 0.1f},
        {"3.4028235e38", std::numeric_limits<float>::max()},
        // Beyond float but inside double: the float conversion overflows.
        {"1e39", infinity},
        {"1e300", infinity},
        // Beyond double: HUGE_VAL, as strtod gives.
        {"1e400", infinity},
        {"-1e400", -infinity},
        {"1e99999999999999999999", infinity},
        {"0.00000000001e320", infinity},
        // Too small: zero.
        {"1e-50", 0.0f},
        {"1e-400", 0.0f},
        {"1e-99999999999999999999", 0.0f},
        {"0e99999999999999999999", 0.0f},
        {"100000000000000000000000000000000000000000e-440", 0.0f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseSeconds(c.text), c.value) << '"' << c.text << '"';
    }
    // Denormals of float survive; a double denormal is far below them.
    EXPECT_EQ(ParseSeconds("1.401298464324817e-45"), std::numeric_limits<float>::denorm_min());
    EXPECT_EQ(ParseSeconds("4.9e-324"), 0.0f);
    EXPECT_TRUE(std::signbit(ParseSeconds("-1e-400")));
}

TEST(ParseSecondsTest, IgnoresTheLocale) {
    // A German locale writes decimal commas, and atof there stops at the point.
    const char* german[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "de_DE.ISO-8859-1"};
    const char* chosen = nullptr;
    for (const char* name : german) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) {
        GTEST_FAIL() << "no German locale installed (scripts/setup installs one)";
    }
    const float seconds = ParseSeconds("4.5");
    const float comma = ParseSeconds("4,5");
    const int32_t width = ParseInteger(" 1234");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(seconds, 4.5f) << chosen;
    EXPECT_EQ(comma, 4.0f) << chosen;
    EXPECT_EQ(width, 1234) << chosen;
}

} // namespace
