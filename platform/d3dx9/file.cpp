// Reading an image file into memory, through the layer's path resolution.
#include "platform/d3dx9/decoders.h"
#include "platform/kernel32/paths.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

bool ReadImageFile(const char* path, size_t limit, ImageBytes& bytes) {
    const std::string resolved = ResolvePath(path);
    // Non-blocking, so that a named pipe called like an image cannot hang the
    // show; it is refused below as not a regular file.
    const int fd = open(resolved.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
              static_cast<uint64_t>(st.st_size) <= kMaxImageFileBytes;
    if (ok) {
        bytes.fileSize = static_cast<uint64_t>(st.st_size);
        // The file may change while it is read: what arrives is what counts.
        bytes.data.resize(static_cast<size_t>(std::min<uint64_t>(bytes.fileSize, limit)));
        size_t got = 0;
        while (got < bytes.data.size()) {
            const ssize_t n = read(fd, bytes.data.data() + got, bytes.data.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        bytes.data.resize(got);
        if (got < limit)
            bytes.fileSize = got;
        ok = got > 0;
    }
    close(fd);
    return ok;
}
