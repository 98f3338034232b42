// The high-resolution counter and Sleep over CLOCK_MONOTONIC. The counter
// ticks in nanoseconds: QueryPerformanceFrequency always reports 1e9.
#include "platform/kernel32/kernel32.h"

#include <cerrno>
#include <ctime>
#include <sched.h>

namespace {
constexpr LONGLONG ticksPerSecond = 1000000000;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (frequency == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    frequency->QuadPart = ticksPerSecond;
    return TRUE;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (count == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    count->QuadPart = static_cast<LONGLONG>(now.tv_sec) * ticksPerSecond + now.tv_nsec;
    return TRUE;
}

// Sleep(0) gives up the rest of the time slice, as on Windows; otherwise the
// full time is slept even when signals interrupt the wait.
void WINAPI Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}
