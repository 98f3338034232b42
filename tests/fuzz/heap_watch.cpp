// Heap accounting for the hostile-file tests and the replay of fuzz inputs.
// Under AddressSanitizer its
// allocator reports every block through hooks; otherwise this program puts
// its own malloc family in front of the C library's (the executable's
// definitions win over those of libc for every shared library too) and
// forwards each call.
#include "tests/fuzz/heap_watch.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <malloc.h>
#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
#define HEAP_WATCH_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HEAP_WATCH_SANITIZER 1
#endif
#endif

namespace {

std::atomic<size_t> largestBlock{0};
std::atomic<int64_t> liveBytes{0};
std::atomic<int64_t> peakBytes{0};
int64_t startBytes = 0;

template <typename T> void RaiseTo(std::atomic<T>& value, T candidate) {
    T seen = value.load(std::memory_order_relaxed);
    while (candidate > seen && !value.compare_exchange_weak(seen, candidate)) {
    }
}

void Allocated(size_t requested, size_t usable) {
    RaiseTo(largestBlock, requested);
    const int64_t now =
        liveBytes.fetch_add(static_cast<int64_t>(usable)) + static_cast<int64_t>(usable);
    RaiseTo(peakBytes, now);
}

void Freed(size_t usable) {
    liveBytes.fetch_sub(static_cast<int64_t>(usable));
}

} // namespace

#if defined(HEAP_WATCH_SANITIZER)

extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                              void (*onFree)(const volatile void*));
size_t __sanitizer_get_allocated_size(const volatile void* p);
}

namespace {

void OnMalloc(const volatile void*, size_t size) {
    Allocated(size, size);
}
void OnFree(const volatile void* p) {
    Freed(__sanitizer_get_allocated_size(p));
}

const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);

} // namespace

#else

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);

void* malloc(size_t size) noexcept {
    void* p = __libc_malloc(size);
    if (p != nullptr)
        Allocated(size, malloc_usable_size(p));
    return p;
}

void* calloc(size_t count, size_t size) noexcept {
    void* p = __libc_calloc(count, size);
    if (p != nullptr)
        Allocated(count * size, malloc_usable_size(p));
    return p;
}

void* realloc(void* p, size_t size) noexcept {
    const size_t old = p != nullptr ? malloc_usable_size(p) : 0;
    void* q = __libc_realloc(p, size);
    if (q != nullptr || size == 0)
        Freed(old);
    if (q != nullptr)
        Allocated(size, malloc_usable_size(q));
    return q;
}

void free(void* p) noexcept {
    if (p != nullptr)
        Freed(malloc_usable_size(p));
    __libc_free(p);
}

void* memalign(size_t alignment, size_t size) noexcept {
    void* p = __libc_memalign(alignment, size);
    if (p != nullptr)
        Allocated(size, malloc_usable_size(p));
    return p;
}

void* aligned_alloc(size_t alignment, size_t size) noexcept {
    return memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return 22; // EINVAL
    void* p = memalign(alignment, size);
    if (p == nullptr)
        return 12; // ENOMEM
    *out = p;
    return 0;
}
}

#endif

void StartHeapWatch() {
    startBytes = liveBytes.load();
    peakBytes = startBytes;
    largestBlock = 0;
}

HeapUse StopHeapWatch() {
    return HeapUse{largestBlock.load(),
                   static_cast<size_t>(std::max<int64_t>(0, peakBytes.load() - startBytes))};
}

size_t PeakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<size_t>(usage.ru_maxrss) * 1024;
}
