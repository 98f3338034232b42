// Path resolution shared by every part of the layer that opens a file: turns a
// Windows-style path (backslashes or slashes, any letter case in folder and
// file names) into the POSIX path of the entry that exists, as a
// case-insensitive file system would find it.
#pragma once

#include <string>

// Returns the POSIX path for `windowsPath`. Each part that exists as written is
// kept; a part that does not is looked up in its folder ignoring ASCII case
// (the first match in byte order wins). Parts that match nothing are kept as
// written, so the caller's open or stat fails as it would have on Windows.
std::string ResolvePath(const std::string& windowsPath);
