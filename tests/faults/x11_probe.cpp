// The X side of the error-handling test: a plain Xlib connection.
#include "x11_probe.h"

#include <X11/Xlib.h>

namespace {

Display* display = nullptr;
std::vector<int> recorded;

int Record(Display*, XErrorEvent* error) {
    recorded.push_back(error->error_code);
    return 0;
}

} // namespace

bool OpenProbe() {
    display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    XSetErrorHandler(Record);
    return true;
}

bool AskAboutVanishedWindow() {
    const ::Window root = DefaultRootWindow(display);
    const ::Window gone = XCreateSimpleWindow(display, root, 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(display, gone);
    int x = 0;
    int y = 0;
    ::Window child = 0;
    const bool failed = !XTranslateCoordinates(display, gone, root, 0, 0, &x, &y, &child);
    XSync(display, False);
    return failed;
}

void AskAboutMissingAtom() {
    char* name = XGetAtomName(display, static_cast<Atom>(0x1FFFFFFF));
    if (name != nullptr) {
        XFree(name);
    }
    XSync(display, False);
}

std::vector<int> RecordedErrors() {
    return recorded;
}

int BadWindowCode() {
    return BadWindow;
}

int BadAtomCode() {
    return BadAtom;
}

void CloseProbe() {
    XCloseDisplay(display);
    display = nullptr;
}
