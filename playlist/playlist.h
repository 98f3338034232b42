// The playlist: full paths of the folder's images in shuffled order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The nine file-name patterns, searched in this order.
extern const char* const imagePatterns[9];

// Full paths (folder text + file name, 8-bit), shuffled; owned here.
extern std::vector<std::string> Playlist;
// Index of the next entry LoadNextSlide tries; only the slides move it.
extern int32_t playlistCursor;

// Replaces the whole Playlist with a fresh scan of the settings' path (or the
// current directory), shuffled.
void BuildPlaylist();

// Appends to `list` the folder text + name of every entry of `folder` (empty,
// or ending in a backslash) matching `pattern`, hidden entries and folders
// skipped, in the order the file search delivers them.
void ScanDirectory(const std::string& folder, const char* pattern, std::vector<std::string>& list);

// Fisher-Yates from the last entry down, drawing from the program's 15-bit
// generator with the single-precision index formula.
void ShufflePlaylist(std::vector<std::string>& list);

// j for entry i and draw r: trunc((r + 0.5) * 2^-15 * (i + 1)) in single
// precision, never above i.
int32_t ShuffleIndex(int32_t r, int32_t i);
