// Path resolution shared by every part of the layer that opens a file: turns a
// Windows-style path (backslashes or slashes, any letter case in folder and
// file names) into the POSIX path of the entry that exists, as a
// case-insensitive file system would find it.
#pragma once

#include <string>

// Returns the POSIX path for `windowsPath`. A path that begins with the typed
// folder (see SetTypedFolder), compared ignoring case, begins with it as
// typed. Each part that exists as written is kept; a part that does not is
// looked up in its folder ignoring ASCII case: the match equal to the part
// in lower case wins, else the first in byte order. Parts that match nothing
// are kept as written, so the caller's open or stat fails as it would have on
// Windows.
std::string ResolvePath(const std::string& windowsPath);

// The folder as the user typed it (the program lower-cases its settings):
// among folders whose names differ only in case, the one typed is shown.
// Empty for none.
void SetTypedFolder(const std::string& typed);
