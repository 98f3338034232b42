// Whether the X server offers direct rendering, asked before any OpenGL
// library is loaded (see x11_errors.h).
#include <X11/Xlib.h>

#include "platform/user32/x11_errors.h"

bool XServerRendersDirectly() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return true;
    }
    int opcode = 0, event = 0, error = 0;
    const bool direct = XQueryExtension(display, "DRI3", &opcode, &event, &error) ||
                        XQueryExtension(display, "DRI2", &opcode, &event, &error);
    XCloseDisplay(display);
    return direct;
}
