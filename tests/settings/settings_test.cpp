// The command-line parse: words, quote joining, "=" handling, lower-casing and
// the five settings taken from the table.
#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "app/settings.h"

namespace {

class ParseTest : public ::testing::Test {
  protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

    static void Reset() {
        FreeSettings();
        settings = Settings{};
    }

    // Parses `line` from the defaults.
    static void Parse(const std::string& line) {
        Reset();
        ParseCommandLine(line.c_str());
    }
};

using Words = std::vector<std::string>;

TEST(SplitStringTest, BehavesLikeStrtok) {
    struct Case {
        const char* text;
        const char* delimiters;
        int limit;
        Words pieces;
    };
    const Case cases[] = {
        {"", " ", -1, {}},
        {"   ", " ", -1, {}},
        {"  a  b ", " ", -1, {"a", "b"}},
        {"a\tb c", " ", -1, {"a\tb", "c"}},
        {"a=b=c", "=", 2, {"a", "b"}},
        {"==a==b==", "=", 2, {"a", "b"}},
        {"a=b", "=", 0, {}},
        {"a=b=c", "=", 1, {"a"}},
        {"a=b=c", "=", -1, {"a", "b", "c"}},
        {"a= b", "= ", -1, {"a", "b"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitString(c.text, c.delimiters, c.limit), c.pieces)
            << '"' << c.text << "\" limit " << c.limit;
    }
}

TEST_F(ParseTest, EmptyLinesKeepTheDefaults) {
    for (const char* line : {"", "    "}) {
        Parse(line);
        EXPECT_EQ(settings.width, 1920);
        EXPECT_EQ(settings.height, 1200);
        EXPECT_EQ(settings.time, 12.0f);
        EXPECT_EQ(settings.fade, 3.0f);
        EXPECT_STREQ(settings.path, "");
        EXPECT_TRUE(settingsMap.empty());
        EXPECT_TRUE(commandWords.empty());
    }
    ParseCommandLine(nullptr);
    EXPECT_TRUE(settingsMap.empty());
    EXPECT_EQ(settings.width, 1920);
}

TEST_F(ParseTest, QuoteJoining) {
    struct Case {
        const char* line;
        Words words;
    };
    const Case cases[] = {
        // A run of spaces inside quotes comes back as one space.
        {R"(path="D:\My  Photos")", {R"(path="D:\My Photos")"}},
        // Never closed: the join swallows every following word.
        {R"(path="D:\My Photos time=5)", {R"(path="D:\My Photos time=5)"}},
        {R"(path="D:\Pictures" time=5)", {R"(path="D:\Pictures")", "time=5"}},
        {R"(a"b c"d e)", {R"(a"b c"d)", "e"}},
        // The last word with an odd count stays as it is.
        {R"(time=5 path=")", {"time=5", R"(path=")"}},
        // The closing word is not an opener: the third word starts alone.
        {R"(a" b" c" d)", {R"(a" b")", R"(c" d)"}},
        // Three quotes are odd and open a join; two are even and close nothing.
        {R"(x""" y"" z")", {R"(x""" y"" z")"}},
    };
    for (const Case& c : cases) {
        Parse(c.line);
        EXPECT_EQ(commandWords, c.words) << c.line;
    }

    Parse(R"(path="D:\My  Photos")");
    EXPECT_STREQ(settings.path, R"("d:\my photos")");
    Parse(R"(path="D:\My Photos time=5)");
    EXPECT_STREQ(settings.path, R"("d:\my photos time)");
    EXPECT_EQ(settings.time, 12.0f);
}

TEST_F(ParseTest, EqualsHandling) {
    Parse("time=5=6");
    EXPECT_EQ(settings.time, 5.0f);
    EXPECT_EQ(settingsMap.at("time"), "5");
    Parse("==time==5");
    EXPECT_EQ(settings.time, 5.0f);

    // Words without exactly a key and a value are dropped.
    Parse("time= path= =5 time === fade=1");
    EXPECT_EQ(settings.time, 12.0f);
    EXPECT_STREQ(settings.path, "");
    EXPECT_EQ(settingsMap, (std::map<std::string, std::string>{{"fade", "1"}}));
}

TEST_F(ParseTest, KeysAndValuesAreLowerCasedLastWins) {
    Parse("WIDTH=800 Height=600 foo=BAR time=5 TIME=7");
    EXPECT_EQ(settings.width, 800);
    EXPECT_EQ(settings.height, 600);
    EXPECT_EQ(settings.time, 7.0f);
    EXPECT_EQ(settingsMap.at("foo"), "bar");
    EXPECT_EQ(settingsMap.size(), 4u);

    Parse("path=C:\\F\xD6TOS\\A\xC4Z");
    EXPECT_STREQ(settings.path, "c:\\f\xD6tos\\a\xC4z");
    // path points at the map's own text, not a copy.
    EXPECT_EQ(settings.path, settingsMap.at("path").c_str());
}

TEST_F(ParseTest, LowerCasingIgnoresTheLocale) {
    // In a Latin-1 locale tolower would turn the byte of Ö into ö.
    const char* latin1[] = {"de_DE.ISO-8859-1", "de_DE.iso88591", "de_DE", "fr_FR.ISO-8859-1"};
    const char* chosen = nullptr;
    for (const char* name : latin1) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) {
        GTEST_FAIL() << "no Latin-1 locale installed (scripts/setup installs one)";
    }
    Parse("Path=F\xD6TOS");
    std::setlocale(LC_ALL, "C");
    EXPECT_STREQ(settings.path, "f\xD6tos") << chosen;
}

TEST_F(ParseTest, OverlongWordIsDroppedWithoutHarm) {
    const std::string longest = "path=" + std::string(254, 'A');
    ASSERT_EQ(longest.size(), 259u);
    Parse("time=4 " + longest + " fade=2");
    EXPECT_EQ(std::string(settings.path), std::string(254, 'a'));

    // One character more no longer fits with its terminating zero.
    Parse(longest + "A");
    EXPECT_TRUE(settingsMap.empty());

    Parse("time=4 path=" + std::string(295, 'A') + " fade=2");
    EXPECT_STREQ(settings.path, "");
    EXPECT_EQ(settings.time, 4.0f);
    EXPECT_EQ(settings.fade, 2.0f);
    EXPECT_EQ(settingsMap.count("path"), 0u);

    // Far larger words, quoted runs included, are handled the same way.
    Parse("path=\"" + std::string(5000, 'x') + " y\" width=640");
    EXPECT_STREQ(settings.path, "");
    EXPECT_EQ(settings.width, 640);
}

TEST_F(ParseTest, NumericSettingsTakeTheConvertedValue) {
    Parse("width=-3 height=abc time=\"5\" fade=2.5E1");
    EXPECT_EQ(settings.width, -3);
    EXPECT_EQ(settings.height, 0);
    EXPECT_EQ(settings.time, 0.0f);
    EXPECT_EQ(settings.fade, 25.0f);

    Parse("width=99999999999 height=-99999999999 time=4.5 fade=20");
    EXPECT_EQ(settings.width, 2147483647);
    EXPECT_EQ(settings.height, -2147483647 - 1);
    EXPECT_EQ(settings.time, 4.5f);
    EXPECT_EQ(settings.fade, 20.0f);
}

TEST(FadeRuleTest, LowersFadeOnlyWhenTimeIsStrictlySmaller) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float time, fade, expectedFade;
    };
    const Case cases[] = {
        {12.0f, 20.0f, 12.0f}, {5.0f, 8.0f, 5.0f}, {12.0f, 12.0f, 12.0f},
        {12.0f, 3.0f, 3.0f},   {0.0f, 3.0f, 0.0f}, {-1.0f, 0.0f, -1.0f},
    };
    for (const Case& c : cases) {
        Settings s;
        s.time = c.time;
        s.fade = c.fade;
        ApplyFadeRule(s);
        EXPECT_EQ(s.fade, c.expectedFade) << c.time << " " << c.fade;
        EXPECT_EQ(s.time, c.time);
    }

    Settings s;
    s.time = nan;
    s.fade = 3.0f;
    ApplyFadeRule(s);
    EXPECT_EQ(s.fade, 3.0f);
    s.time = 12.0f;
    s.fade = nan;
    ApplyFadeRule(s);
    EXPECT_TRUE(std::isnan(s.fade));
}

} // namespace
