// Keeping each SDL window and its record in step, both ways: the program's
// requests go out in Follow, the window system's real answers come back in
// Reconcile, and this file is the one place where the two meet.
//
// With a window manager most requests (maximise, restore, minimise) are
// answered later, and the answer may pass through other states on the way;
// Reconcile therefore looks at the real state (read back from the X server
// where SDL runs on X11) as it stands after the events of one pump, waits
// while the desktop is still answering a request, and takes a change into
// the record only when the window shows a state the layer did not ask for:
// that is the user acting through the desktop, or the desktop itself.
#include "platform/user32/window_model.h"
#include "platform/user32/x11_desktop.h"

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

// Where SDL has the window's client area, screen pixels: where the last
// configure event put it, or where SDL last asked for it since.
SDL_Rect SdlClient(SDL_Window* sdl) {
    SDL_Rect client{0, 0, 0, 0};
    SDL_GetWindowPosition(sdl, &client.x, &client.y);
    SDL_GetWindowSize(sdl, &client.w, &client.h);
    return client;
}

// Where the window's client area really is, screen pixels: read from the X
// server where SDL runs on X11.
SDL_Rect RealClient(SDL_Window* sdl) {
    X11Answer answer{};
    return ReadX11Window(sdl, answer) ? answer.client : SdlClient(sdl);
}

// Moves and sizes the SDL window's client area to `client` where `now`
// (where it is) differs; true when it asked for anything.
bool Place(SDL_Window* sdl, const RECT& client, const SDL_Rect& now) {
    bool asked = false;
    if (now.x != client.left || now.y != client.top) {
        SDL_SetWindowPosition(sdl, client.left, client.top);
        asked = true;
    }
    // SDL windows are at least one pixel wide and high.
    const int wantedWidth = client.right > client.left ? client.right - client.left : 1;
    const int wantedHeight = client.bottom > client.top ? client.bottom - client.top : 1;
    if (now.w != wantedWidth || now.h != wantedHeight) {
        SDL_SetWindowSize(sdl, wantedWidth, wantedHeight);
        asked = true;
    }
    return asked;
}

// Places a managed window whose outer rectangle is `outer`. SDL moves a
// window by its client area, allowing for the frame as far as it knows it.
// Where it does not know it (before the window manager has framed the
// window, and after full-screen) the window manager puts the corner of the
// frame at the position asked for (X11's north-west gravity), which is just
// what the outer rectangle's corner means.
bool PlaceManaged(SDL_Window* sdl, const RECT& outer, const Frame& frame, const SDL_Rect& now) {
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
    return Place(sdl, client, now);
}

// `before` is the window's real state before this request. True when the
// window was asked to move or change size in its normal state.
bool FollowManaged(const Window& window, SdlMode mode, SdlMode before) {
    SDL_Window* sdl = window.sdl;
    const Uint32 flags = SDL_GetWindowFlags(sdl);
    if (mode == SdlMode::hidden) {
        SDL_HideWindow(sdl);
        return false;
    }
    bool placed = false;
    const bool tiled = window.desktopNormal != SdlMode::normal;
    if (mode != SdlMode::fullscreen) {
        if (flags & SDL_WINDOW_FULLSCREEN) {
            SDL_SetWindowFullscreen(sdl, 0);
        } else if (before == SdlMode::fullscreen && window.desktopNormal != SdlMode::fullscreen) {
            // The desktop's own full screen, which SDL knows nothing of.
            LeaveX11FullScreen(sdl);
        }
    }
    if (mode != SdlMode::fullscreen && !tiled) {
        // SDL ignores these while the window is full-screen.
        SDL_SetWindowBordered(sdl, window.nonClient.captioned ? SDL_TRUE : SDL_FALSE);
        SDL_SetWindowResizable(sdl, window.nonClient.sizable ? SDL_TRUE : SDL_FALSE);
    }
    if (mode != SdlMode::minimised && (flags & SDL_WINDOW_MINIMIZED)) {
        SDL_RestoreWindow(sdl);
    }
    switch (mode) {
    case SdlMode::normal:
        // A tiled window is where the desktop keeps it: asking for another
        // size or for the normal state would only start a fight.
        if (tiled) {
            break;
        }
        if (flags & SDL_WINDOW_MAXIMIZED) {
            SDL_RestoreWindow(sdl);
        }
        placed = PlaceManaged(sdl, window.rect, window.nonClient.frame, SdlClient(sdl));
        break;
    case SdlMode::maximised:
        if (!(flags & SDL_WINDOW_MAXIMIZED)) {
            // Where the window manager will restore it to.
            PlaceManaged(sdl, window.normalRect, window.nonClient.frame, SdlClient(sdl));
            SDL_MaximizeWindow(sdl);
        }
        break;
    case SdlMode::fullscreen: {
        // The desktop's own full screen (sway's toggle, a window manager's
        // request) is the borderless mode already. Asked of SDL as well, it
        // would on leaving put back the size it saw the window at, the whole
        // monitor, over the tile a tiling desktop gives back (sway).
        if (before == SdlMode::fullscreen && !(flags & SDL_WINDOW_FULLSCREEN)) {
            break;
        }
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
    return placed;
}

// Without a window manager the layer is the window manager: it places the
// window itself, and the window is in whatever state the layer gave it.
void FollowUnmanaged(const Window& window, SdlMode mode) {
    if (mode == SdlMode::hidden) {
        SDL_HideWindow(window.sdl);
        return;
    }
    if (mode != SdlMode::minimised) {
        Place(window.sdl, ClientOf(window.rect, window.nonClient.frame), SdlClient(window.sdl));
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

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool CoversDisplay(const SDL_Rect& client) {
    for (int index = 0; index < DisplayCount(); ++index) {
        if (SameRect(DisplayBounds(index), ToRect(client))) {
            return true;
        }
    }
    return false;
}

// What the window's real state means to the program. A maximised or
// full-screen state the desktop gave the window at its first appearance is
// its normal state (tiled); the layer's borderless window that the desktop
// has since moved off the monitor while keeping it full-screen (mutter does,
// on a second maximise) is no longer in the borderless mode.
SdlMode Meaning(Window& window, const SdlState& now) {
    SdlMode mode = now.mode;
    if (mode == SdlMode::hidden || mode == SdlMode::minimised) {
        return mode;
    }
    if (!window.appeared) {
        // Shown where it was made, the window is still waiting for the
        // window manager to place it. A state given along with the placing,
        // without a frame, is the desktop's tile; a framed window manager
        // maximises only for the user (who may do so while the first images
        // decode, before the layer has looked).
        if (mode == SdlMode::normal && SameRect(ToRect(now.client), ToRect(window.created))) {
            return mode;
        }
        window.appeared = true;
        window.desktopNormal =
            window.requested == SdlMode::normal && !now.framed ? mode : SdlMode::normal;
    }
    if (mode == SdlMode::normal) {
        // The user took the window out of its tile (made it float).
        window.desktopNormal = SdlMode::normal;
    } else if (mode == window.desktopNormal &&
               (mode == SdlMode::maximised || window.requested != SdlMode::fullscreen)) {
        return SdlMode::normal;
    }
    if (mode == SdlMode::fullscreen) {
        if (CoversDisplay(now.client)) {
            window.covered = true;
        } else if (window.covered) {
            return SdlMode::normal;
        }
    }
    return mode;
}

// The placement the window had in the normal state before the state change
// to `now` (its client area; empty without a window manager, where the
// state changes at once): its last move or resize included, even when both
// came in one batch of events (the program was busy decoding an image
// meanwhile). Window managers take the window to its new state in steps,
// some before they announce the state (openbox moves it first, xfwm4 gives
// it the new size first): an area that already has the new state's position
// or size is one of those steps, not the user's.
RECT NormalBeforeChange(const Window& window, const SDL_Rect& now) {
    const bool towardsNow = now.w > 0 && now.h > 0;
    for (auto noted = window.eventClients.rbegin(); noted != window.eventClients.rend(); ++noted) {
        const bool step = towardsNow && ((noted->x == now.x && noted->y == now.y) ||
                                         (noted->w == now.w && noted->h == now.h));
        if (!step) {
            return OuterOf(ToRect(*noted), window.nonClient.frame);
        }
    }
    return window.rect;
}

// Move and resize events noted in one batch, at most.
constexpr size_t kEventClientsKept = 8;

// A desktop answers a request or settles after an event within this many
// passes of the event pump (five seconds at 60 frames a second), its
// animations included (mutter's take a quarter of a second). Counted in
// passes, not in time: a program busy decoding does not pump, and the
// answer waits in the queue meanwhile.
constexpr int kServerLooks = 300;

// Keeps TrustServerSize looking at the X server for a while.
void WatchServerSize(Window& window) {
    window.serverLooksLeft = kServerLooks;
}

// Starts the next batch of move and resize events from the state just seen.
void NoteSeen(Window& window, const SdlState& now) {
    window.eventNormal =
        now.mode == SdlMode::normal && (window.style & (WS_MAXIMIZE | WS_MINIMIZE)) == 0;
    window.eventClients.clear();
    window.lastEvents = Window::LastEvents::other;
    if (window.eventNormal) {
        window.eventClients.push_back(now.client);
    }
}

} // namespace

SdlState ReadSdlState(const Window& window) {
    SdlState state{SdlMode::hidden, {0, 0, 0, 0}, false};
    if (window.sdl == nullptr) {
        return state;
    }
    SDL_GetWindowPosition(window.sdl, &state.client.x, &state.client.y);
    SDL_GetWindowSize(window.sdl, &state.client.w, &state.client.h);
    const Uint32 flags = SDL_GetWindowFlags(window.sdl);
    if (!WindowManaged()) {
        state.mode = (flags & SDL_WINDOW_SHOWN) ? window.requested : SdlMode::hidden;
        return state;
    }
    // On X11 the server tells the state the window manager gave the window:
    // SDL's flags miss a full screen the desktop chose itself, and keep the
    // full screen SDL asked for even where it was not given. The position
    // stays SDL's, which it takes from the window's configure events, real
    // and synthetic: reading the server at any moment would also catch the
    // frame in the middle of a window manager's animation (openbox slides
    // a window to and from its minimised place).
    X11Answer answer{};
    const bool real = ReadX11Window(window.sdl, answer);
    bool shown = (flags & SDL_WINDOW_SHOWN) != 0;
    bool fullscreen = (flags & SDL_WINDOW_FULLSCREEN) != 0;
    bool maximised = (flags & SDL_WINDOW_MAXIMIZED) != 0;
    if (real) {
        state.framed = answer.framed;
        shown = answer.mapped;
        fullscreen = answer.fullscreen;
        maximised = answer.maximised;
    }
    if (flags & SDL_WINDOW_MINIMIZED) {
        // A minimised window is also unmapped: minimised comes first.
        state.mode = SdlMode::minimised;
    } else if (!shown) {
        state.mode = SdlMode::hidden;
    } else if (fullscreen) {
        state.mode = SdlMode::fullscreen;
    } else if (maximised) {
        state.mode = SdlMode::maximised;
    } else {
        state.mode = SdlMode::normal;
    }
    return state;
}

void NoteWindowEvent(Window& window, Uint8 event) {
    using LastEvents = Window::LastEvents;
    const LastEvents before = window.lastEvents;
    const bool sized = event == SDL_WINDOWEVENT_SIZE_CHANGED || event == SDL_WINDOWEVENT_RESIZED;
    const bool afterMove = before != LastEvents::other;
    window.lastEvents = event == SDL_WINDOWEVENT_MOVED ? LastEvents::moved
                        : sized && afterMove           ? LastEvents::sizedAfterMove
                                                       : LastEvents::other;
    if (event == SDL_WINDOWEVENT_MAXIMIZED || event == SDL_WINDOWEVENT_MINIMIZED) {
        window.eventNormal = false;
    } else if (window.eventNormal && window.sdl != nullptr &&
               (sized || event == SDL_WINDOWEVENT_MOVED)) {
        // SDL has taken the event's move or resize already. A drag while the
        // program is busy brings many: the last few tell enough.
        SDL_Rect client = SdlClient(window.sdl);
        std::vector<SDL_Rect>& noted = window.eventClients;
        // SDL tells a configure's move just before its resize, and gives a
        // configure that it handles late the position the window has by
        // then (a window manager's resize is no move): the resize keeps the
        // position from before that move.
        if (sized && afterMove && noted.size() >= 2) {
            if (before == LastEvents::moved) {
                noted.pop_back();
            }
            client.x = noted.back().x;
            client.y = noted.back().y;
        }
        if (noted.empty() || !SDL_RectEquals(&noted.back(), &client)) {
            if (noted.size() == kEventClientsKept) {
                noted.erase(noted.begin());
            }
            noted.push_back(client);
        }
    }
}

void Follow(Window& window) {
    window.stale = false;
    if (window.sdl == nullptr) {
        return;
    }
    const SdlMode mode = TargetMode(window);
    const SdlMode before = ReadSdlState(window).mode;
    if (mode == SdlMode::fullscreen && window.requested != SdlMode::fullscreen) {
        window.covered = false;
    }
    bool placed = false;
    if (WindowManaged()) {
        placed = FollowManaged(window, mode, before);
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
    // Only a change asked for has an answer to wait for: a placement checked
    // while the window manager slides the window back from its minimised
    // place would catch it on the way.
    window.answering = WindowManaged() && mode != SdlMode::hidden && (mode != before || placed);
    window.answeringFrom = before;
    window.reasked = false;
    NoteSeen(window, window.observed);
    WatchServerSize(window);
}

namespace {

// Whether the desktop is still answering the layer's last request; once it
// has, a normal placement that missed (the window manager placed the frame
// from a stale idea of its size) is asked for once more, now that SDL knows
// the frame.
bool StillAnswering(Window& window, const SdlState& now) {
    if (!window.answering) {
        return false;
    }
    if (now.mode == window.answeringFrom && now.mode != window.requested) {
        return true;
    }
    window.answering = false;
    if (now.mode != SdlMode::normal || window.requested != SdlMode::normal ||
        window.desktopNormal != SdlMode::normal || window.reasked) {
        return false;
    }
    // SDL may still hold the position it asked for, not the one given.
    const SDL_Rect real = RealClient(window.sdl);
    if (SameRect(ClientOf(window.rect, window.nonClient.frame), ToRect(real))) {
        return false;
    }
    window.reasked = true;
    window.answering = true;
    window.answeringFrom = now.mode;
    PlaceManaged(window.sdl, window.rect, window.nonClient.frame, real);
    return true;
}

void TakeState(Window& window, const SdlState& now) {
    if (now.mode != SdlMode::hidden && WindowManaged() && StillAnswering(window, now)) {
        // Measured from SDL's state now: a placement asked for once more
        // comes with no event when it lands where SDL already has it.
        window.observed = ReadSdlState(window);
        return;
    }
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
        // The user maximised, restored or un-minimised the window, or the
        // desktop did. Its own full screen (a tiling window manager's
        // full-screen toggle, or a request from the compositor) is the
        // borderless mode to the program, which Escape and clicks leave.
        const bool maximised = now.mode != SdlMode::normal;
        const bool restored = (window.style & WS_MAXIMIZE) && !maximised;
        if ((window.style & (WS_MAXIMIZE | WS_MINIMIZE)) == 0) {
            window.normalRect = NormalBeforeChange(window, now.client);
        }
        window.style &= ~(WS_MAXIMIZE | WS_MINIMIZE);
        window.style |= maximised ? WS_MAXIMIZE : 0;
        window.restoreToMaximised = false;
        window.requested = now.mode;
        if (restored) {
            // Out of the maximised state the window goes back to exactly its
            // normal placement, as SW_RESTORE brings it, wherever the
            // desktop put it.
            window.rect = window.normalRect;
            PostSizeIfChanged(window);
            Follow(window);
            return;
        }
    }
    // The window is where the window system says: moved or resized by the
    // user or the window manager, or placed in answer to the layer's
    // request.
    window.rect = OuterOf(ToRect(now.client), window.nonClient.frame);
    if ((window.style & (WS_MAXIMIZE | WS_MINIMIZE)) == 0) {
        window.normalRect = window.rect;
    }
    PostSizeIfChanged(window);
}

} // namespace

void Reconcile(Window& window) {
    if (window.sdl == nullptr) {
        return;
    }
    SdlState now = ReadSdlState(window);
    if (now.mode == SdlMode::normal && WindowManaged() && window.nonClient.captioned) {
        LearnFrame(window.sdl);
    }
    TakeLearntFrame(window);
    if (WindowManaged()) {
        now.mode = Meaning(window, now);
    }
    TakeState(window, now);
    NoteSeen(window, window.observed);
    WatchServerSize(window);
}

// SDL takes the size it asks for as given, and learns otherwise only from a
// configure event with a new size. A desktop that refuses the request (a
// tiling compositor) or puts the window back at the size it had (mutter,
// leaving its full screen) answers with the size SDL saw last, which SDL
// drops as no change: it then draws for a window that is not there, a
// corner of the picture or a part of it. The size the server keeps from
// one look to the next (not a window manager's animation passing through)
// is handed to SDL: asking for the size the window has changes nothing on
// screen, and SDL rebuilds what it draws into and reports the change. Such an
// answer only ever follows a request or an event: the server is asked only
// for a while after those, not on every pass of a still show.
void TrustServerSize(Window& window) {
    if (window.sdl == nullptr || window.serverLooksLeft <= 0) {
        return;
    }
    window.serverLooksLeft--;
    const Uint32 flags = SDL_GetWindowFlags(window.sdl);
    int width = 0;
    int height = 0;
    if (!(flags & SDL_WINDOW_SHOWN) || (flags & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MINIMIZED)) ||
        !ReadX11Size(window.sdl, width, height)) {
        return;
    }
    const bool settled = width == window.serverWidth && height == window.serverHeight;
    window.serverWidth = width;
    window.serverHeight = height;
    int sdlWidth = 0;
    int sdlHeight = 0;
    SDL_GetWindowSize(window.sdl, &sdlWidth, &sdlHeight);
    if (settled && (width != sdlWidth || height != sdlHeight)) {
        SDL_SetWindowSize(window.sdl, width, height);
    }
}

void ActOnStateEvent(Window& window, Uint8 event) {
    const bool leavesNormal =
        event == SDL_WINDOWEVENT_MAXIMIZED || event == SDL_WINDOWEVENT_MINIMIZED;
    if (leavesNormal && (window.style & (WS_MAXIMIZE | WS_MINIMIZE)) == 0) {
        // The layer gives the new state its placement afterwards.
        window.rect = NormalBeforeChange(window, SDL_Rect{0, 0, 0, 0});
    }
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
