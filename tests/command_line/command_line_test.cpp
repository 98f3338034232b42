// POSIX arguments joined into the Windows command-line text, and that text
// read back by the settings parse.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/settings.h"
#include "platform/kernel32/command_line.h"

namespace {

std::string Join(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    argv.push_back(nullptr);
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    return JoinCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(JoinCommandLineTest, QuotesArgumentsWithSpaces) {
    struct Case {
        std::vector<std::string> arguments;
        std::string commandLine;
    };
    const Case cases[] = {
        {{}, ""},
        {{"time=8", "fade=2"}, "time=8 fade=2"},
        {{"path=/home/me/My Photos"}, R"(path="/home/me/My Photos")"},
        {{"path=/a b=c d"}, R"(path="/a b=c d")"},
        {{"My Photos"}, R"("My Photos")"},
        {{"path=a  b"}, R"(path="a  b")"},
        // Quotes already written are kept as they are.
        {{R"(path="/home/me/My Photos")"}, R"(path="/home/me/My Photos")"},
        {{R"(a"b c"d)"}, R"(a"b c"d)"},
        // A tab does not separate words in the parse, so it needs no quotes.
        {{"path=a\tb"}, "path=a\tb"},
        {{"", "time=8", "", "fade=2", ""}, "time=8 fade=2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Join(c.arguments), c.commandLine);
    }
    // Only the arguments after the program's name count.
    char name[] = "vimbora";
    char* argv[] = {name};
    EXPECT_EQ(JoinCommandLine(1, argv), "");
    EXPECT_EQ(JoinCommandLine(0, nullptr), "");
}

TEST(JoinCommandLineTest, ParseReadsTheSettingsBack) {
    const std::string line = Join({"path=/home/me/My Photos", "time=8", "", "fade=2"});
    ParseCommandLine(line.c_str());
    EXPECT_STREQ(settings.path, R"("/home/me/my photos")");
    EXPECT_EQ(settings.time, 8.0f);
    EXPECT_EQ(settings.fade, 2.0f);
    FreeSettings();
    settings = Settings{};
}

} // namespace
