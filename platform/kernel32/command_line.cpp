// Building WinMain's command-line text from POSIX arguments.
#include "platform/kernel32/command_line.h"

namespace {

// The program splits its command line at spaces and joins words again across
// a pair of double quotes, so a space inside an argument survives only when
// the quotes are there; the folder code strips the quotes from the path.
std::string QuoteArgument(const std::string& argument) {
    if (argument.find(' ') == std::string::npos || argument.find('"') != std::string::npos) {
        return argument;
    }
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) {
        return '"' + argument + '"';
    }
    return argument.substr(0, equals + 1) + '"' + argument.substr(equals + 1) + '"';
}

} // namespace

std::string JoinCommandLine(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr || argv[i][0] == '\0') {
            continue;
        }
        if (!commandLine.empty()) {
            commandLine += ' ';
        }
        commandLine += QuoteArgument(argv[i]);
    }
    return commandLine;
}
