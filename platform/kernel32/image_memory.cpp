// Recycled image buffers: see image_memory.h.
#include "platform/kernel32/image_memory.h"

#include <algorithm>

namespace {

// Buffers given back, kept for the next loads, all of size 0.
std::vector<ImageBuffer> keptBuffers;
// More than a load ever holds at once: anything beyond is a caller's leftover.
constexpr size_t kMostKeptBuffers = 4;

bool SmallerCapacity(const ImageBuffer& a, const ImageBuffer& b) {
    return a.capacity() < b.capacity();
}

} // namespace

ImageBuffer TakeImageBuffer(size_t bytes) {
    // The smallest kept buffer that holds `bytes`; failing that the largest,
    // which is grown (its old block freed) rather than a new one made beside it.
    auto chosen = keptBuffers.end();
    for (auto it = keptBuffers.begin(); it != keptBuffers.end(); ++it) {
        if (it->capacity() >= bytes &&
            (chosen == keptBuffers.end() || SmallerCapacity(*it, *chosen)))
            chosen = it;
    }
    if (chosen == keptBuffers.end())
        chosen = std::max_element(keptBuffers.begin(), keptBuffers.end(), SmallerCapacity);
    ImageBuffer buffer;
    if (chosen != keptBuffers.end()) {
        buffer = std::move(*chosen);
        keptBuffers.erase(chosen);
    }
    if (buffer.capacity() < bytes) {
        buffer = ImageBuffer();
        buffer.reserve(bytes);
    }
    // From size 0 every byte handed out is written as zero, so nothing of an
    // earlier image shows through a decode that writes less.
    buffer.resize(bytes);
    return buffer;
}

void GiveBackImageBuffer(ImageBuffer&& buffer) {
    ImageBuffer kept = std::move(buffer);
    if (kept.capacity() == 0)
        return;
    kept.clear();
    keptBuffers.push_back(std::move(kept));
    if (keptBuffers.size() > kMostKeptBuffers)
        keptBuffers.erase(
            std::min_element(keptBuffers.begin(), keptBuffers.end(), SmallerCapacity));
}

size_t KeptImageBufferBytes() {
    size_t total = 0;
    for (const ImageBuffer& buffer : keptBuffers)
        total += buffer.capacity();
    return total;
}
