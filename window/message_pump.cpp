// The message pump of the main loop.
#include "window/window.h"

bool PumpMessages() {
    // The drain goes on after WM_QUIT until the queue is empty, so that
    // nothing queued behind the quit message is lost; its exit code is not
    // used.
    bool running = true;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            running = false;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return running;
}
