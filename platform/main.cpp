// The POSIX entry: reads the few options that a Linux user expects, makes the
// remaining arguments into the command-line text Windows would pass, and runs
// the program's WinMain.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel32/command_line.h"
#include "platform/kernel32/paths.h"
#include "platform/win32.h"

namespace {

// The one description of how Vimbora is started; the manual page says the
// same things.
constexpr char usageText[] =
    "Usage: vimbora [--maximized] [key=value ...]\n"
    "Vimbora shows the images of one folder as a shuffled slide show, crossfading\n"
    "from each image to the next, until its window is closed.\n"
    "\n"
    "Settings (keys are not case-sensitive):\n"
    "  width=N        back-buffer width in pixels (default 1920)\n"
    "  height=N       back-buffer height in pixels (default 1200)\n"
    "  time=S         seconds each image is shown, its fade included (default 12)\n"
    "  fade=S         seconds of crossfade at the end of each image (default 3)\n"
    "  path=DIR       folder of the images (default: the current directory)\n"
    "\n"
    "The show takes the folder's .bmp .dds .dib .hdr .jpg .pfm .png .ppm and .tga\n"
    "files, not those of its sub-folders, and reads the folder again after each\n"
    "pass.\n"
    "\n"
    "Options:\n"
    "  --maximized    start maximised: a borderless window covering its monitor\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Keys:\n"
    "  Space          pause the show, and go on with the time that was left\n"
    "  Right, PgDn    the next image now, after a short crossfade\n"
    "  Left, PgUp     the image shown before (the last 100 are remembered)\n"
    "  F11            full-monitor mode on and off\n"
    "\n"
    "Maximising the window also covers the whole monitor. Escape, a Windows key,\n"
    "Alt, F10, F11, or a left or right click bring back the framed window.\n"
    "\n"
    "Example:\n"
    "  vimbora \"path=/home/me/My Photos\" time=8 fade=2\n";

// The value of a "path=" word as the program reads it (the key ignoring case,
// "=" before and after the key skipped, the value up to the next "=", outer
// quotes dropped), but in the letter case typed; false for another word.
bool TypedPath(const char* word, std::string& value) {
    std::string text = word;
    size_t at = text.find_first_not_of('=');
    if (at == std::string::npos) {
        return false;
    }
    const size_t keyEnd = text.find('=', at);
    if (keyEnd == std::string::npos || keyEnd - at != 4) {
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        const char c = text[at + i];
        if ((c | 0x20) != "path"[i]) {
            return false;
        }
    }
    const size_t valueStart = text.find_first_not_of('=', keyEnd);
    if (valueStart == std::string::npos) {
        return false;
    }
    value = text.substr(valueStart, text.find('=', valueStart) - valueStart);
    while (!value.empty() && value.front() == '"') {
        value.erase(value.begin());
    }
    while (!value.empty() && value.back() == '"') {
        value.pop_back();
    }
    return true;
}

// The longest folder text the program can search: it appends a backslash
// and a pattern such as "*.bmp", and Windows takes search texts of at most
// MAX_PATH bytes with their terminating zero.
constexpr size_t kLongestFolder = MAX_PATH - 1 - 1 - 5;

// The program never looks inside its instance handle; it only has to be a
// handle that is not null, as on Windows.
char instanceMarker;

} // namespace

int main(int argc, char** argv) {
    int showCommand = SW_SHOWDEFAULT;
    std::vector<char*> arguments;
    arguments.push_back(argc > 0 ? argv[0] : nullptr);
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            std::fputs(usageText, stdout);
            return 0;
        }
        if (std::strcmp(argument, "--version") == 0) {
            std::puts("vimbora " VIMBORA_VERSION);
            return 0;
        }
        if (std::strcmp(argument, "--maximized") == 0) {
            showCommand = SW_SHOWMAXIMIZED;
            continue;
        }
        if (std::strncmp(argument, "--", 2) == 0) {
            std::fprintf(stderr,
                         "vimbora: unknown option '%s'\n"
                         "Try 'vimbora --help' for more information.\n",
                         argument);
            return 2;
        }
        arguments.push_back(argv[i]);
    }

    // The last path word counts, as for the program. Too long a folder would
    // leave the program searching another one, or none: said here instead.
    std::string typedPath;
    bool pathGiven = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        pathGiven = TypedPath(arguments[i], typedPath) || pathGiven;
    }
    if (pathGiven) {
        const size_t folderBytes =
            typedPath.size() + (!typedPath.empty() && typedPath.back() != '\\' ? 1 : 0);
        if (folderBytes > kLongestFolder + 1) {
            std::fprintf(stderr,
                         "vimbora: the folder path is too long: %zu bytes, at most %zu\n"
                         "(Windows paths hold at most %d bytes, the file pattern included)\n",
                         typedPath.size(), kLongestFolder, MAX_PATH - 1);
            return 2;
        }
        SetTypedFolder(typedPath);
    }

    std::string commandLine = JoinCommandLine(static_cast<int>(arguments.size()), arguments.data());
    const auto instance = reinterpret_cast<HINSTANCE>(&instanceMarker);
    return WinMain(instance, nullptr, commandLine.data(), showCommand);
}
