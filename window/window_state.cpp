// The window values that the slides read and write, kept apart from the
// window procedure so that the rendering code can be built without it.
#include "window/window.h"

HWND mainWindow = nullptr;
ClientSize clientSize = {600, 400};
