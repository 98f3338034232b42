// The calling thread's last-error code, as kernel32 keeps one per thread.
#include "platform/kernel32/kernel32.h"

namespace {
thread_local DWORD lastError = 0;
}

DWORD WINAPI GetLastError() {
    return lastError;
}

void WINAPI SetLastError(DWORD error) {
    lastError = error;
}
