// The command line as Windows hands it to WinMain, made from the separate
// arguments a POSIX program receives.
#pragma once

#include <string>

// Joins argv[1] to argv[argc - 1] with single spaces. An argument holding a
// space and no double quote is quoted the way a Windows user would type it:
// the value after its first "=" ("path=/my photos" gives path="/my photos"),
// or the whole argument when it has no "=". An argument that already holds a
// double quote is taken as it is; empty arguments are left out.
std::string JoinCommandLine(int argc, char** argv);
