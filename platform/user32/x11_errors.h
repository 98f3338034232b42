// Errors of the X display that the window layer survives. Kept apart from
// the layer's other headers: Xlib's own names (Window, Status, None) would
// clash with the layer's.
#pragma once

// Makes an X error about a window that no longer exists harmless for the
// rest of the process; every other X error still goes to the handler that
// was in place (Xlib's prints it and ends the process). Called once SDL's
// video runs on X11; calling it again does nothing.
void SurviveVanishedWindows();

// Whether the X server behind DISPLAY offers direct rendering (DRI2 or DRI3):
// without it (Xvfb, Xvnc, xrdp's server) the only OpenGL a client gets is
// Mesa's software rasteriser. Asked on a connection of its own, which is
// closed again; true when the display cannot be reached.
bool XServerRendersDirectly();
