// A stand-in for a desktop's top bar in the end-to-end tests: a 30 px dock
// window across the top of the screen that reserves its room with a strut, as
// the panels of GNOME, KDE and Xfce do. Window managers then keep framed and
// maximised windows below it, while a full-screen window covers it. Runs
// until it is killed.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return 1;
    }
    const int screen = DefaultScreen(display);
    const long width = DisplayWidth(display, screen);
    const long height = 30;
    const Window panel = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, width,
                                             height, 0, 0, 0x404040);
    // Placed where it asks, not where the window manager would place it.
    XSizeHints hints{};
    hints.flags = USPosition | USSize | PMinSize | PMaxSize;
    hints.width = hints.min_width = hints.max_width = static_cast<int>(width);
    hints.height = hints.min_height = hints.max_height = static_cast<int>(height);
    XSetWMNormalHints(display, panel, &hints);
    Atom dock = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DOCK", False);
    XChangeProperty(display, panel, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&dock), 1);
    // Left, right, top, bottom, then the start and end of each side's span:
    // the top edge, across the whole width. The first four are also the
    // older _NET_WM_STRUT, for window managers that read only that.
    long strut[12] = {0, 0, height, 0, 0, 0, 0, 0, 0, width - 1, 0, 0};
    XChangeProperty(display, panel, XInternAtom(display, "_NET_WM_STRUT_PARTIAL", False),
                    XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(strut), 12);
    XChangeProperty(display, panel, XInternAtom(display, "_NET_WM_STRUT", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(strut), 4);
    XMapWindow(display, panel);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
    }
}
