// Watches the heap of this test program between StartHeapWatch and
// StopHeapWatch: the largest block asked for and how far the live bytes rose.
// Every allocation counts, operator new and malloc alike, so the buffers that
// libpng, libjpeg-turbo and stb_image take with malloc are measured too.
#pragma once

#include <cstddef>

struct HeapUse {
    size_t largestBlock = 0; // bytes of the largest single allocation
    size_t peakGrowth = 0;   // highest live heap above the start, bytes
};

void StartHeapWatch();
HeapUse StopHeapWatch();

// The largest resident set this process has had so far, bytes.
size_t PeakResidentBytes();
