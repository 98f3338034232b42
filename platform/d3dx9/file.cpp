// Reading an image file into memory, through the layer's path resolution:
// once per load, and no further than the decode needs.
#include "platform/d3dx9/decoders.h"
#include "platform/kernel32/image_memory.h"
#include "platform/kernel32/paths.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

ImageFile::~ImageFile() {
    if (fd >= 0)
        close(fd);
    GiveBackImageBuffer(std::move(bytes.data));
}

bool OpenImageFile(const char* path, ImageFile& file) {
    const std::string resolved = ResolvePath(path);
    // Non-blocking, so that a named pipe called like an image cannot hang the
    // show; it is refused below as not a regular file.
    file.fd = open(resolved.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (file.fd < 0)
        return false;
    struct stat st {};
    if (fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0)
        return false;
    file.bytes.fileSize = static_cast<uint64_t>(st.st_size);
    return ReadImageFileUpTo(file, kHeaderPrefixBytes) && !file.bytes.data.empty();
}

bool ReadImageFileUpTo(ImageFile& file, uint64_t limit) {
    ImageBytes& bytes = file.bytes;
    const size_t want = static_cast<size_t>(std::min(bytes.fileSize, limit));
    size_t got = bytes.data.size();
    if (got >= want)
        return true;
    // Into a buffer of the new size, the part already read copied over: the
    // file is still read only once.
    ImageBuffer grown = TakeImageBuffer(want);
    std::copy(bytes.data.begin(), bytes.data.end(), grown.begin());
    GiveBackImageBuffer(std::move(bytes.data));
    bytes.data = std::move(grown);
    while (got < want) {
        const ssize_t n = read(file.fd, bytes.data.data() + got, want - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    // The file may change while it is read: what arrives is what counts.
    bytes.data.resize(got);
    if (got < want)
        bytes.fileSize = got;
    return true;
}

bool ReadFileHeader(ImageFile& file, ImageHeader& header) {
    if (ReadImageHeader(file.bytes, header))
        return true;
    const uint64_t before = file.bytes.data.size();
    return before < file.bytes.fileSize && ReadImageFileUpTo(file, kMetadataBytes) &&
           file.bytes.data.size() > before && ReadImageHeader(file.bytes, header);
}
