// X errors about vanished windows. SDL's X11 driver learns where our window
// is on the desktop by asking the server about its parent, the frame that the
// window manager put around it, in two requests. The window manager may
// destroy that frame between them, as it does when it stops managing a
// window that is being closed; the server then answers the second request
// with a BadWindow error, and Xlib's default handler prints the error and
// calls exit(1), so a show closed by its user could end with status 1 and no
// cleanup. On Windows nothing ends a program for asking about a window that
// has gone: the call fails and the program carries on, as it does here.
#include "platform/user32/x11_errors.h"

#include <X11/Xlib.h>

namespace {

XErrorHandler previousHandler = nullptr;
bool installed = false;

int SkipVanishedWindow(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow) {
        return 0;
    }
    return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

} // namespace

void SurviveVanishedWindows() {
    if (installed) {
        return;
    }
    installed = true;
    // SDL sets handlers of its own around a few requests and puts back the
    // one it found, this one, afterwards.
    previousHandler = XSetErrorHandler(SkipVanishedWindow);
}
