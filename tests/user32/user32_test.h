// Helpers of the user32 layer's tests: windows of a recording class, the
// messages they receive, and SDL events pushed as a desktop would send them.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <vector>

#include "platform/user32/sdl_window.h"
#include "platform/user32/user32.h"

bool operator==(const RECT& a, const RECT& b);
void PrintTo(const RECT& rect, std::ostream* out);

// One message as a window procedure received it.
struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Received&) const = default;
};
void PrintTo(const Received& received, std::ostream* out);

// The WM_SIZE a window procedure gets for a client area of width x height.
Received Size(HWND window, WPARAM kind, int width, int height);

// Display 0 of SDL's dummy driver.
RECT MonitorRect();
RECT WorkArea();

// Windows of a class whose procedure records every message in `received`
// and then does `reaction`, the default window procedure unless a test sets
// another.
class WindowTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // A window of the recording class, hidden, with outer rectangle `rect`.
    HWND Create(DWORD style = WS_OVERLAPPEDWINDOW, RECT rect = {64, 64, 664, 464});
    // Takes every queued message without dispatching it.
    std::vector<MSG> Take();
    // Takes and dispatches every queued message.
    void Drain();

    std::vector<HWND> created;
};

extern std::vector<Received> received;
extern std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> reaction;

// The client rectangle of the SDL window behind `window`, screen pixels.
RECT SdlClient(HWND window);

// SDL events as the desktop sends them to the SDL window behind `window`.
void PushKey(HWND window, SDL_Keycode symbol, SDL_Scancode code, Uint16 modifiers,
             bool down = true);
void PushButton(HWND window, Uint8 button, int x, int y, bool down = true);
void PushWindowEvent(HWND window, SDL_WindowEventID event);
