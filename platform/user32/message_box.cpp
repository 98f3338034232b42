// Message boxes: SDL's simple message box, and the same words on standard
// error so that a run without a display still tells its user. Without a
// display no box is tried at all: SDL would hand it to a dialog program
// (zenity, where one is installed), whose own complaints about the missing
// display would then reach standard error beside ours.
#include <cstdio>

#include "platform/user32/sdl_window.h"
#include "platform/user32/window_model.h"

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    // Windows captions a box "Error" when it is given no caption.
    const char* shownCaption = caption != nullptr ? caption : "Error";
    const char* shownText = text != nullptr ? text : "";
    std::fprintf(stderr, "%s: %s\n", shownCaption, shownText);
    std::fflush(stderr);

    Uint32 icon = SDL_MESSAGEBOX_INFORMATION;
    switch (type & 0xF0) {
    case MB_ICONERROR:
        icon = SDL_MESSAGEBOX_ERROR;
        break;
    case MB_ICONWARNING:
        icon = SDL_MESSAGEBOX_WARNING;
        break;
    default:
        break;
    }
    // The box has only its OK button, so the answer is IDOK either way.
    if (VideoOnDisplay()) {
        SDL_Window* parent = AcquireSdlWindow(owner);
        SDL_ShowSimpleMessageBox(icon, shownCaption, shownText, parent);
        ReleaseSdlWindow(parent);
    }
    return IDOK;
}
