// GetCurrentDirectoryA over getcwd. The text is the POSIX path as the kernel
// reports it (slashes, no drive letter); the program appends a backslash and
// a pattern, which the file search accepts as separators alike.
#include "platform/kernel32/kernel32.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    // getcwd needs a buffer as large as the path: grow until it fits.
    std::string path(256, '\0');
    while (getcwd(path.data(), path.size()) == nullptr) {
        if (errno != ERANGE || path.size() > (1u << 20)) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return 0;
        }
        path.resize(path.size() * 2);
    }
    const size_t length = std::strlen(path.c_str());
    // As on Windows, a buffer too small for the text and its NUL is left
    // untouched and the size it would need (NUL included) is returned.
    if (buffer == nullptr || bufferLength <= length) {
        return static_cast<DWORD>(length + 1);
    }
    std::memcpy(buffer, path.c_str(), length + 1);
    return static_cast<DWORD>(length);
}
