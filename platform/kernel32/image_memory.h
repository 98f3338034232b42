// The large buffers of image loads (a file's bytes, decoded pixels, a
// texture's staging rows), recycled by the layer for the whole run.
//
// A slide show asks for the same few large buffers at every advance. Left to
// the C library, freed ones either go back to the system (and every fresh
// page costs a fault at the next image) or stay in its heap, where buffers of
// many sizes in a shuffled order leave holes that the next combination does
// not fit, so the heap grows in steps for days. Here a returned buffer is
// kept, and the smallest kept buffer that is large enough serves the next
// request; only when none is does the largest kept one grow to the request.
// So the buffers never shrink, grow only when a larger image comes, and once
// every image of a folder has been loaded they hold what the largest loads
// need: at most the four buffers one load uses at once, each no larger than
// the largest request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using ImageBuffer = std::vector<uint8_t>;

// A buffer of `bytes` zero bytes, owned by the caller until it is given back.
// May throw std::bad_alloc, as a vector's growth does.
ImageBuffer TakeImageBuffer(size_t bytes);

// Keeps `buffer` for a later TakeImageBuffer; empty buffers are dropped.
void GiveBackImageBuffer(ImageBuffer&& buffer);

// The bytes the kept buffers hold (not counting those taken), for tests.
size_t KeptImageBufferBytes();
