// Window frames: how much the caption and borders add around a client area.
// The desktop's window manager draws the frame, so its size is learnt from
// SDL once a framed window is on screen; until then a Windows 10 frame at
// 96 dpi stands in.
#include "platform/user32/window_model.h"

namespace {

// WS_OVERLAPPEDWINDOW on Windows 10: 8 pixels of sizing border on three sides,
// 31 on top with the caption.
constexpr Frame defaultFrame = {8, 31, 8, 8};
// A single-line menu bar, SM_CYMENU plus its one-pixel rule.
constexpr LONG menuHeight = 20;

Frame learntFrame = defaultFrame;

} // namespace

Frame CaptionedFrame() {
    return learntFrame;
}

void LearnFrame(SDL_Window* window) {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
    // SDL knows the extents only where the window manager publishes them,
    // and only after it has framed the window.
    if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0 &&
        (top | left | bottom | right) != 0) {
        learntFrame = {left, top, right, bottom};
    }
}

NonClient NonClientFor(DWORD style) {
    NonClient nonClient;
    nonClient.captioned = (style & (WS_CAPTION | WS_THICKFRAME)) != 0;
    nonClient.sizable = (style & WS_THICKFRAME) != 0;
    nonClient.frame = nonClient.captioned ? CaptionedFrame() : Frame{0, 0, 0, 0};
    return nonClient;
}

RECT ClientOf(const RECT& outer, const Frame& frame) {
    RECT client = {outer.left + frame.left, outer.top + frame.top, outer.right - frame.right,
                   outer.bottom - frame.bottom};
    if (client.right < client.left) {
        client.right = client.left;
    }
    if (client.bottom < client.top) {
        client.bottom = client.top;
    }
    return client;
}

RECT OuterOf(const RECT& client, const Frame& frame) {
    return {client.left - frame.left, client.top - frame.top, client.right + frame.right,
            client.bottom + frame.bottom};
}

BOOL WINAPI AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) {
    if (rect == nullptr) {
        return FALSE;
    }
    *rect = OuterOf(*rect, NonClientFor(style).frame);
    if (menu) {
        rect->top -= menuHeight;
    }
    return TRUE;
}
