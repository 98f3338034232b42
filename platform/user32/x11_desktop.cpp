// The X server's answers about a window: its real client rectangle, whether
// it is mapped, and the state the window manager gave it.
#include "platform/user32/x11_desktop.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

struct X11Handle {
    Display* display;
    ::Window window;
};

bool HandleOf(SDL_Window* window, X11Handle& handle) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) ||
        info.subsystem != SDL_SYSWM_X11) {
        return false;
    }
    handle = {info.info.x11.display, info.info.x11.window};
    return true;
}

// The one window that the property `name` of `window` names, or 0.
::Window WindowProperty(Display* display, ::Window window, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    ::Window named = 0;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1, False,
                           XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
        data != nullptr && type == XA_WINDOW && format == 32 && count == 1) {
        named = *reinterpret_cast<::Window*>(data);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return named;
}

bool ReadFramed(Display* display, ::Window window) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    bool framed = false;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_FRAME_EXTENTS", False), 0, 4,
                           False, XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
        data != nullptr && type == XA_CARDINAL && format == 32 && count == 4) {
        const long* extents = reinterpret_cast<const long*>(data);
        framed = (extents[0] | extents[1] | extents[2] | extents[3]) != 0;
    }
    if (data != nullptr) {
        XFree(data);
    }
    return framed;
}

void ReadState(Display* display, ::Window window, X11Answer& answer) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), 0, 64,
                           False, XA_ATOM, &type, &format, &count, &after, &data) != Success ||
        data == nullptr) {
        return;
    }
    const Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    const Atom vertical = XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_VERT", False);
    const Atom horizontal = XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
    bool maximisedVertically = false;
    bool maximisedHorizontally = false;
    if (type == XA_ATOM && format == 32) {
        const Atom* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i) {
            answer.fullscreen = answer.fullscreen || atoms[i] == fullscreen;
            maximisedVertically = maximisedVertically || atoms[i] == vertical;
            maximisedHorizontally = maximisedHorizontally || atoms[i] == horizontal;
        }
    }
    answer.maximised = maximisedVertically && maximisedHorizontally;
    XFree(data);
}

} // namespace

bool ReadX11Window(SDL_Window* window, X11Answer& answer) {
    X11Handle handle{};
    if (!HandleOf(window, handle)) {
        return false;
    }
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(handle.display, handle.window, &attributes) == 0) {
        return false;
    }
    int x = 0;
    int y = 0;
    ::Window child = 0;
    XTranslateCoordinates(handle.display, handle.window, attributes.root, 0, 0, &x, &y, &child);
    answer = {{x, y, attributes.width, attributes.height},
              attributes.map_state == IsViewable,
              false,
              false,
              ReadFramed(handle.display, handle.window)};
    ReadState(handle.display, handle.window, answer);
    return true;
}

bool ReadX11Size(SDL_Window* window, int& width, int& height) {
    X11Handle handle{};
    if (!HandleOf(window, handle)) {
        return false;
    }
    ::Window root = 0;
    int x = 0;
    int y = 0;
    unsigned w = 0;
    unsigned h = 0;
    unsigned border = 0;
    unsigned depth = 0;
    if (XGetGeometry(handle.display, handle.window, &root, &x, &y, &w, &h, &border, &depth) == 0) {
        return false;
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool X11WindowManagerRuns(SDL_Window* window) {
    X11Handle handle{};
    if (!HandleOf(window, handle)) {
        return true;
    }
    const ::Window root = DefaultRootWindow(handle.display);
    const ::Window check = WindowProperty(handle.display, root, "_NET_SUPPORTING_WM_CHECK");
    // A window manager that has gone leaves the property naming a window
    // that no longer exists: the error it raises is made harmless
    // (x11_errors.cpp), and the read finds nothing.
    return check != 0 && WindowProperty(handle.display, check, "_NET_SUPPORTING_WM_CHECK") == check;
}

void LeaveX11FullScreen(SDL_Window* window) {
    X11Handle handle{};
    if (!HandleOf(window, handle)) {
        return;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = handle.window;
    event.xclient.message_type = XInternAtom(handle.display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 0; // _NET_WM_STATE_REMOVE
    event.xclient.data.l[1] =
        static_cast<long>(XInternAtom(handle.display, "_NET_WM_STATE_FULLSCREEN", False));
    event.xclient.data.l[3] = 1; // a normal application asks
    XSendEvent(handle.display, DefaultRootWindow(handle.display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(handle.display);
}
