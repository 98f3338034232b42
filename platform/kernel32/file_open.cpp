// The C runtime's file open as Windows has it: the program names files with
// the playlist's Windows-style paths.
#include <cerrno>

#include "platform/kernel32/kernel32.h"
#include "platform/kernel32/paths.h"

errno_t fopen_s(FILE** file, const char* fileName, const char* mode) {
    if (file == nullptr) {
        return EINVAL;
    }
    *file = nullptr;
    if (fileName == nullptr || mode == nullptr) {
        return EINVAL;
    }
    *file = std::fopen(ResolvePath(fileName).c_str(), mode);
    return *file != nullptr ? 0 : errno;
}
