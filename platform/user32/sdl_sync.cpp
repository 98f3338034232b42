// Keeping each SDL window and its record in step, both ways.
//
// Follow makes the SDL window show what the record says. With a window
// manager most requests (maximise, restore, minimise) are answered later, and
// the answer may pass through other states on the way; Reconcile therefore
// looks at SDL's state as it stands after the events of one pump, and takes a
// change into the record only when SDL shows a state the layer did not ask
// for: that is the user acting through the desktop.
#include "platform/user32/window_model.h"

namespace {

SdlMode TargetMode(const Window& window) {
    if (!(window.style & WS_VISIBLE)) {
        return SdlMode::hidden;
    }
    if (window.style & WS_MINIMIZE) {
        return SdlMode::minimised;
    }
    // A borderless window on exactly a display's bounds covers that display,
    // above the desktop's panels, as it does on Windows. Window managers keep
    // maximised and ordinary windows out of the panels' room, so this takes
    // SDL's desktop full-screen mode.
    if (!window.nonClient.captioned) {
        for (int index = 0; index < DisplayCount(); ++index) {
            const RECT bounds = DisplayBounds(index);
            if (bounds.left == window.rect.left && bounds.top == window.rect.top &&
                bounds.right == window.rect.right && bounds.bottom == window.rect.bottom) {
                return SdlMode::fullscreen;
            }
        }
    }
    return (window.style & WS_MAXIMIZE) ? SdlMode::maximised : SdlMode::normal;
}

// Moves and sizes the SDL window's client area where it is not already.
void Place(SDL_Window* sdl, const RECT& client) {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    SDL_GetWindowPosition(sdl, &x, &y);
    SDL_GetWindowSize(sdl, &width, &height);
    if (x != client.left || y != client.top) {
        SDL_SetWindowPosition(sdl, client.left, client.top);
    }
    // SDL windows are at least one pixel wide and high.
    const int wantedWidth = client.right > client.left ? client.right - client.left : 1;
    const int wantedHeight = client.bottom > client.top ? client.bottom - client.top : 1;
    if (width != wantedWidth || height != wantedHeight) {
        SDL_SetWindowSize(sdl, wantedWidth, wantedHeight);
    }
}

// Places a managed window whose outer rectangle is `outer`. SDL moves a
// window by its client area, allowing for the frame as far as it knows it.
// Where it does not know it (before the window manager has framed the
// window, and after full-screen) the window manager puts the corner of the
// frame at the position asked for (X11's north-west gravity), which is just
// what the outer rectangle's corner means.
void PlaceManaged(SDL_Window* sdl, const RECT& outer, const Frame& frame) {
    RECT client = ClientOf(outer, frame);
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
    if (SDL_GetWindowBordersSize(sdl, &top, &left, &bottom, &right) == 0 &&
        (top | left | bottom | right) == 0) {
        client = {outer.left, outer.top, outer.left + (client.right - client.left),
                  outer.top + (client.bottom - client.top)};
    }
    Place(sdl, client);
}

void FollowManaged(const Window& window, SdlMode mode) {
    SDL_Window* sdl = window.sdl;
    const Uint32 flags = SDL_GetWindowFlags(sdl);
    if (mode == SdlMode::hidden) {
        SDL_HideWindow(sdl);
        return;
    }
    if (mode != SdlMode::fullscreen) {
        if (flags & SDL_WINDOW_FULLSCREEN) {
            SDL_SetWindowFullscreen(sdl, 0);
        }
        // SDL ignores these while the window is full-screen.
        SDL_SetWindowBordered(sdl, window.nonClient.captioned ? SDL_TRUE : SDL_FALSE);
        SDL_SetWindowResizable(sdl, window.nonClient.sizable ? SDL_TRUE : SDL_FALSE);
    }
    if (mode != SdlMode::minimised && (flags & SDL_WINDOW_MINIMIZED)) {
        SDL_RestoreWindow(sdl);
    }
    switch (mode) {
    case SdlMode::normal:
        if (flags & SDL_WINDOW_MAXIMIZED) {
            SDL_RestoreWindow(sdl);
        }
        PlaceManaged(sdl, window.rect, window.nonClient.frame);
        break;
    case SdlMode::maximised:
        if (!(flags & SDL_WINDOW_MAXIMIZED)) {
            // Where the window manager will restore it to.
            PlaceManaged(sdl, window.normalRect, window.nonClient.frame);
            SDL_MaximizeWindow(sdl);
        }
        break;
    case SdlMode::fullscreen: {
        // SDL takes the display the window is on.
        const int display = DisplayContaining(window.rect);
        if (SDL_GetWindowDisplayIndex(sdl) != display) {
            const RECT bounds = DisplayBounds(display);
            SDL_SetWindowPosition(sdl, bounds.left, bounds.top);
        }
        SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
        break;
    }
    default:
        break;
    }
    if (!(SDL_GetWindowFlags(sdl) & (SDL_WINDOW_SHOWN | SDL_WINDOW_MINIMIZED))) {
        SDL_ShowWindow(sdl);
    }
    if (mode == SdlMode::minimised) {
        SDL_MinimizeWindow(sdl);
    }
}

// Without a window manager the layer is the window manager: it places the
// window itself, and the window is in whatever state the layer gave it.
void FollowUnmanaged(const Window& window, SdlMode mode) {
    if (mode == SdlMode::hidden) {
        SDL_HideWindow(window.sdl);
        return;
    }
    if (mode != SdlMode::minimised) {
        Place(window.sdl, ClientOf(window.rect, window.nonClient.frame));
    }
    SDL_ShowWindow(window.sdl);
}

// Gives the record's rectangles the frame the window manager is now known to
// draw, keeping the client area where it is.
void TakeLearntFrame(Window& window) {
    const Frame frame = CaptionedFrame();
    if (!window.nonClient.captioned || window.nonClient.frame == frame) {
        return;
    }
    window.rect = OuterOf(ClientOf(window.rect, window.nonClient.frame), frame);
    window.normalRect = OuterOf(ClientOf(window.normalRect, window.nonClient.frame), frame);
    window.nonClient.frame = frame;
}

RECT ToRect(const SDL_Rect& rect) {
    return {rect.x, rect.y, rect.x + rect.w, rect.y + rect.h};
}

} // namespace

SdlState ReadSdlState(const Window& window) {
    SdlState state{SdlMode::hidden, {0, 0, 0, 0}};
    if (window.sdl == nullptr) {
        return state;
    }
    SDL_GetWindowPosition(window.sdl, &state.client.x, &state.client.y);
    SDL_GetWindowSize(window.sdl, &state.client.w, &state.client.h);
    const Uint32 flags = SDL_GetWindowFlags(window.sdl);
    if (!WindowManaged()) {
        state.mode = (flags & SDL_WINDOW_SHOWN) ? window.requested : SdlMode::hidden;
    } else if (flags & SDL_WINDOW_MINIMIZED) {
        // A minimised window is also unmapped: minimised comes first.
        state.mode = SdlMode::minimised;
    } else if (!(flags & SDL_WINDOW_SHOWN)) {
        state.mode = SdlMode::hidden;
    } else if (flags & SDL_WINDOW_FULLSCREEN) {
        state.mode = SdlMode::fullscreen;
    } else if (flags & SDL_WINDOW_MAXIMIZED) {
        state.mode = SdlMode::maximised;
    } else {
        state.mode = SdlMode::normal;
    }
    return state;
}

void Follow(Window& window) {
    window.stale = false;
    if (window.sdl == nullptr) {
        return;
    }
    const SdlMode mode = TargetMode(window);
    if (WindowManaged()) {
        FollowManaged(window, mode);
    } else {
        FollowUnmanaged(window, mode);
    }
    if (window.raise && mode != SdlMode::hidden && mode != SdlMode::minimised) {
        SDL_RaiseWindow(window.sdl);
    }
    window.raise = false;
    SDL_SetWindowAlwaysOnTop(window.sdl, window.topmost ? SDL_TRUE : SDL_FALSE);
    window.requested = mode;
    // The window manager's answers still to come are measured from here.
    window.observed = ReadSdlState(window);
}

void Reconcile(Window& window) {
    if (window.sdl == nullptr) {
        return;
    }
    const SdlState now = ReadSdlState(window);
    if (now.mode == SdlMode::normal && WindowManaged() && window.nonClient.captioned) {
        LearnFrame(window.sdl);
    }
    TakeLearntFrame(window);
    if (now == window.observed) {
        return;
    }
    window.observed = now;
    if (now.mode == SdlMode::hidden) {
        return;
    }
    if (now.mode == SdlMode::minimised) {
        RecordMinimised(window);
        window.requested = SdlMode::minimised;
        PostSizeIfChanged(window);
        return;
    }
    if (now.mode != window.requested) {
        // The user maximised, restored or un-minimised the window. Coming
        // back from the minimised state, a window shown full-screen again
        // was maximised before.
        const bool wasMaximised = (window.style & WS_MAXIMIZE) ||
                                  ((window.style & WS_MINIMIZE) && window.restoreToMaximised);
        const bool maximised =
            now.mode == SdlMode::maximised || (now.mode == SdlMode::fullscreen && wasMaximised);
        if ((window.style & (WS_MAXIMIZE | WS_MINIMIZE)) == 0) {
            window.normalRect = window.rect;
        }
        window.style &= ~(WS_MAXIMIZE | WS_MINIMIZE);
        window.style |= maximised ? WS_MAXIMIZE : 0;
        window.restoreToMaximised = false;
        window.requested = now.mode;
    }
    // The window is where SDL says: moved or resized by the user or the
    // window manager, or placed in answer to the layer's request.
    window.rect = OuterOf(ToRect(now.client), window.nonClient.frame);
    if ((window.style & (WS_MAXIMIZE | WS_MINIMIZE)) == 0) {
        window.normalRect = window.rect;
    }
    PostSizeIfChanged(window);
}

void ActOnStateEvent(Window& window, Uint8 event) {
    switch (event) {
    case SDL_WINDOWEVENT_MAXIMIZED:
        RecordMaximised(window);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        RecordMinimised(window);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        RecordRestored(window);
        break;
    default:
        return;
    }
    Follow(window);
    PostSizeIfChanged(window);
}
