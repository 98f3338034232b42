// The playlist: the program-wide list of image paths and its rebuild from the
// folder named by the settings.
#include "playlist/playlist.h"

#include "app/settings.h"
#include "platform/win32.h"

const char* const imagePatterns[9] = {"*.bmp", "*.dds", "*.dib", "*.hdr", "*.jpg",
                                      "*.pfm", "*.png", "*.ppm", "*.tga"};

std::vector<std::string> Playlist;
int32_t playlistCursor = 0;

namespace {

// The folder text of the path setting: surrounding double quotes removed (those
// inside stay), the current directory when nothing is left, and a trailing
// backslash so that a pattern or a file name can follow directly.
std::string FolderText() {
    std::string folder = settings.path != nullptr ? settings.path : "";
    const size_t first = folder.find_first_not_of('"');
    if (first == std::string::npos) {
        folder.clear();
    } else {
        folder.erase(0, first);
        folder.erase(folder.find_last_not_of('"') + 1);
    }
    if (folder.empty()) {
        // Only a complete answer counts: a directory that needs more than
        // MAX_PATH bytes leaves the folder text empty, and the patterns are
        // then searched relative to the current directory.
        char buffer[MAX_PATH] = {};
        const DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
        if (length > 0 && length < MAX_PATH) {
            folder = buffer;
        }
    }
    // Only a backslash counts as the end of a folder: "photos/" gets one too.
    if (!folder.empty() && folder.back() != '\\') {
        folder += '\\';
    }
    return folder;
}

} // namespace

void BuildPlaylist() {
    Playlist.clear();
    const std::string folder = FolderText();
    for (const char* pattern : imagePatterns) {
        ScanDirectory(folder, pattern, Playlist);
    }
    ShufflePlaylist(Playlist);
}
