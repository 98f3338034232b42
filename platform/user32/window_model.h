// The layer's own record of each window, shared by the user32 files. Windows
// keeps the truth about a window (style, show state, placement); here the
// record is that truth, and the SDL window is made to follow it. What the
// user does to the SDL window through the desktop comes back as changes of
// the record and queued messages.
#pragma once

#include <SDL.h>

#include <vector>

#include "platform/user32/user32.h"

// How an SDL window is shown. `fullscreen` is SDL's desktop full-screen mode,
// which stands for a borderless window covering a whole monitor.
enum class SdlMode { hidden, normal, maximised, minimised, fullscreen };

// The state of an SDL window as SDL reports it.
struct SdlState {
    SdlMode mode;
    SDL_Rect client; // client area, screen pixels
    bool framed;     // the window manager draws a frame around it
    bool operator==(const SdlState& other) const {
        return mode == other.mode && client.x == other.client.x && client.y == other.client.y &&
               client.w == other.client.w && client.h == other.client.h;
    }
};

// Thickness of a window frame on each side, pixels.
struct Frame {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
    bool operator==(const Frame&) const = default;
};

// The non-client area a window's client rectangle was last computed with.
// As on Windows, changing the style alone does not change it: the next
// move, resize, show-state change or SWP_FRAMECHANGED does.
struct NonClient {
    bool captioned; // a caption or sizing frame: SDL draws the window bordered
    bool sizable;   // WS_THICKFRAME: the user may resize it
    Frame frame;
};

struct Window {
    HWND handle;
    WNDPROC procedure;
    DWORD style;
    DWORD exStyle;
    RECT rect;       // outer rectangle, screen pixels
    RECT normalRect; // outer rectangle of the normal placement, for SW_RESTORE
    NonClient nonClient;
    bool restoreToMaximised; // minimised from the maximised state
    bool sizeReported;       // a WM_SIZE has been sent or queued
    UINT reportedKind;       // wParam of the last WM_SIZE
    LONG reportedWidth;      // client size of the last WM_SIZE, pixels
    LONG reportedHeight;
    bool raise;        // HWND_TOP was asked for since the SDL window last followed
    bool topmost;      // HWND_TOPMOST: kept above other windows
    bool stale;        // the SDL window has yet to follow the record
    bool sdlChanged;   // SDL reported a change of the window since it was last examined
    bool destroying;   // inside DestroyWindow
    bool destroyed;    // the handle is no longer a window
    int holds;         // AcquireSdlWindow holds on `sdl`
    SDL_Window* sdl;   // owned; null once destroyed and no hold remains
    SdlMode requested; // the mode the layer last asked SDL for
    SdlState observed; // the window's real state when the layer last looked
    // The layer asked for a change the desktop has not answered yet: until
    // the window leaves `answering` (the mode it had when asked), what it
    // shows is the desktop at work, not the user. Once answered, a placement
    // that missed is asked for once more (`reasked`).
    bool answering;
    SdlMode answeringFrom;
    bool reasked;
    // The window manager has placed the window or given it a state: its
    // first appearance is over. Until then it is where it was created
    // (`created`, its client area in screen pixels).
    bool appeared;
    SDL_Rect created;
    // The state the desktop keeps the window in when the program asks for
    // none: normal, or maximised or full-screen where the desktop gave the
    // window that state from its first appearance (a tiling or kiosk
    // compositor), at whatever size it gives; not the user's maximise.
    SdlMode desktopNormal;
    // Since the layer asked for the borderless mode the window has been seen
    // covering its monitor.
    bool covered;
    // The client areas (screen pixels) SDL had at the window's events since
    // the layer last looked, oldest first, while the window was in the normal
    // state (`eventNormal`): the user's last move or resize before a
    // maximise that came in the same batch of events, and the window
    // manager's first steps towards the maximise.
    std::vector<SDL_Rect> eventClients;
    // The window's last events: a move, or size changes right after a move
    // (whose place the resize keeps).
    enum class LastEvents { other, moved, sizedAfterMove } lastEvents;
    bool eventNormal;
    // The size of the window's own area the X server had at the last look
    // (TrustServerSize), pixels, and how many more passes of the event pump
    // look: a while after each request of the layer and each window event.
    int serverWidth;
    int serverHeight;
    int serverLooksLeft;
};

// Starts SDL's video on first use; false when it cannot start.
bool StartVideo();
// Whether SDL's video runs on a display someone sees (not SDL's dummy or
// offscreen driver); starts it on first use.
bool VideoOnDisplay();
// Whether windows may open on the video driver SDL chose, given the drivers
// asked for by name (SDL_VIDEODRIVER, may be null).
bool VideoDriverAccepted(const char* driver, const char* requested);
// Whether a window manager changes windows on its own: false for SDL's
// dummy and offscreen drivers, and on an X display where no window manager
// runs (a kiosk session), where the layer places its windows itself.
bool WindowManaged();

// The live window of `handle`, or null (also for a destroyed one).
Window* LookUpWindow(HWND handle);
// The window record of an SDL window id, destroyed ones included, or null.
Window* LookUpSdlWindow(Uint32 id);
// Calls `visit` for every live window.
template <typename Visit> void ForEachWindow(Visit visit);

// The window procedure of the class `className` registered for `instance`,
// null when there is none.
WNDPROC FindClassProcedure(HINSTANCE instance, LPCSTR className);

// The frame Windows-style windows of `style` get on this desktop.
NonClient NonClientFor(DWORD style);
// The frame of a captioned window: as learnt, or a stand-in until then.
Frame CaptionedFrame();
// Records the frame extents that SDL reports for a framed window in the
// normal state, when it knows them.
void LearnFrame(SDL_Window* window);
// Client rectangle (screen pixels) of an outer rectangle with a frame, and
// back; never narrower than zero.
RECT ClientOf(const RECT& outer, const Frame& frame);
RECT OuterOf(const RECT& client, const Frame& frame);

// Displays: bounds and usable bounds of SDL display `index` as RECTs.
int DisplayCount();
RECT DisplayBounds(int index);
RECT DisplayWorkArea(int index);
// The display containing the centre of `rect`, -1 when none does.
int DisplayContaining(const RECT& rect);
// The display nearest to the centre of `rect`.
int DisplayNearest(const RECT& rect);

// Placement calls nest (a window procedure moves windows while handling
// WM_SIZE); the SDL windows follow their records when the outermost one
// returns, so that only the final placement reaches the desktop.
struct PlacementScope {
    PlacementScope();
    ~PlacementScope();
    PlacementScope(const PlacementScope&) = delete;
    PlacementScope& operator=(const PlacementScope&) = delete;
};

// Show-state changes of a record, as ShowWindow makes them: to the maximised
// placement, to the minimised state, and back as SW_RESTORE brings it (to
// the normal placement, or maximised again after a minimised maximised one).
void RecordMaximised(Window& window);
void RecordMinimised(Window& window);
void RecordRestored(Window& window);

// Sends WM_SIZE when the window's show state or client size differs from the
// last WM_SIZE it had, or when it has had none yet and `first` is set.
void SendSizeIfChanged(Window& window, bool first);
// The same as a posted message, for changes the user made.
void PostSizeIfChanged(Window& window);

// Makes the SDL window follow the record.
void Follow(Window& window);
// Brings into the record what SDL reports about the window (the user's
// maximise, restore, minimise, move and resize), posting WM_SIZE.
void Reconcile(Window& window);
// Tells SDL the size the X server gives the window where SDL still holds a
// size it asked for and did not get, so that what is drawn is drawn for the
// window that is there; once per look at the window's events.
void TrustServerSize(Window& window);
// Without a window manager, a window-state event can only have been pushed
// by the program, and SDL does not act on it: the layer carries it out as a
// window manager would, posting WM_SIZE.
void ActOnStateEvent(Window& window, Uint8 event);
// The window's state now, as the window system really has it: read back
// from the X server where SDL runs on X11, otherwise as SDL reports it.
SdlState ReadSdlState(const Window& window);
// Takes the window's placement as SDL has it at a window event, up to the
// first state change, as the placement before that change.
void NoteWindowEvent(Window& window, Uint8 event);
// Has every window event noted as SDL sends it; called once SDL's video
// runs.
void WatchWindowEvents();

// Hides and, once no hold remains, destroys the SDL window of a destroyed
// window.
void DropSdlWindow(Window& window);

// Queues a keyboard or mouse message; these come after posted messages and
// the quit message, as on Windows.
void PostInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Removes the queued messages of a destroyed window.
void DiscardMessages(HWND window);
// Translates every pending SDL event into queued messages.
void TranslateSdlEvents();

// Implementation of ForEachWindow.
Window* FirstWindowAfter(HWND handle);
template <typename Visit> void ForEachWindow(Visit visit) {
    for (Window* window = FirstWindowAfter(nullptr); window != nullptr;
         window = FirstWindowAfter(window->handle)) {
        visit(*window);
    }
}
