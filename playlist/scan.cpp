// One search of the image folder for one file-name pattern.
#include "playlist/playlist.h"

#include "platform/win32.h"

#include <cstring>

void ScanDirectory(const std::string& folder, const char* pattern, std::vector<std::string>& list) {
    const std::string searchText = folder + pattern;
    WIN32_FIND_DATAA data{};
    HANDLE search = FindFirstFileA(searchText.c_str(), &data);
    // A missing folder and a folder without matches are alike: nothing to add.
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        // Hidden files and sub-folders (even one named "x.jpg") are not images
        // of this folder; read-only, system and archive files are.
        if ((data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
            continue;
        }
        list.push_back(folder + std::string(data.cFileName, strnlen(data.cFileName, MAX_PATH)));
    } while (FindNextFileA(search, &data));
    FindClose(search);
}
