// SDL events as the messages Windows queues for the same user actions: keys
// with their virtual-key codes, mouse buttons, the close button, and the
// window manager's changes of a window's state.
#include "platform/user32/window_model.h"

namespace {

// Virtual keys the seam does not name.
constexpr WPARAM vkSnapshot = 0x2C;
constexpr WPARAM vkNumpad0 = 0x60;
constexpr WPARAM vkMultiply = 0x6A;
constexpr WPARAM vkAdd = 0x6B;
constexpr WPARAM vkSubtract = 0x6D;
constexpr WPARAM vkDecimal = 0x6E;
constexpr WPARAM vkDivide = 0x6F;
constexpr WPARAM vkF13 = 0x7C;
constexpr WPARAM vkNumLock = 0x90;
constexpr WPARAM vkScroll = 0x91;
constexpr WPARAM vkOem1 = 0xBA; // ;:
constexpr WPARAM vkOemPlus = 0xBB;
constexpr WPARAM vkOemComma = 0xBC;
constexpr WPARAM vkOemMinus = 0xBD;
constexpr WPARAM vkOemPeriod = 0xBE;
constexpr WPARAM vkOem2 = 0xBF; // /?
constexpr WPARAM vkOem3 = 0xC0; // `~
constexpr WPARAM vkOem4 = 0xDB; // [{
constexpr WPARAM vkOem5 = 0xDC; // \|
constexpr WPARAM vkOem6 = 0xDD; // ]}
constexpr WPARAM vkOem7 = 0xDE; // '"

constexpr WPARAM mkLButton = 0x0001;
constexpr WPARAM mkRButton = 0x0002;
constexpr WPARAM mkShift = 0x0004;
constexpr WPARAM mkControl = 0x0008;
constexpr WPARAM mkMButton = 0x0010;

struct Key {
    WPARAM virtualKey; // 0: none
    bool extended;     // bit 24 of lParam: the right-hand and navigation-block keys
};

// Keys named by position, as Windows names them whatever the layout.
Key KeyAt(SDL_Scancode code) {
    if (code >= SDL_SCANCODE_F1 && code <= SDL_SCANCODE_F12) {
        return {VK_F1 + static_cast<WPARAM>(code - SDL_SCANCODE_F1), false};
    }
    if (code >= SDL_SCANCODE_F13 && code <= SDL_SCANCODE_F24) {
        return {vkF13 + static_cast<WPARAM>(code - SDL_SCANCODE_F13), false};
    }
    if (code >= SDL_SCANCODE_KP_1 && code <= SDL_SCANCODE_KP_9) {
        return {vkNumpad0 + 1 + static_cast<WPARAM>(code - SDL_SCANCODE_KP_1), false};
    }
    switch (code) {
    case SDL_SCANCODE_ESCAPE:
        return {VK_ESCAPE, false};
    case SDL_SCANCODE_RETURN:
        return {VK_RETURN, false};
    case SDL_SCANCODE_KP_ENTER:
        return {VK_RETURN, true};
    case SDL_SCANCODE_TAB:
        return {VK_TAB, false};
    case SDL_SCANCODE_BACKSPACE:
        return {VK_BACK, false};
    case SDL_SCANCODE_SPACE:
        return {VK_SPACE, false};
    case SDL_SCANCODE_LEFT:
        return {VK_LEFT, true};
    case SDL_SCANCODE_RIGHT:
        return {VK_RIGHT, true};
    case SDL_SCANCODE_UP:
        return {VK_UP, true};
    case SDL_SCANCODE_DOWN:
        return {VK_DOWN, true};
    case SDL_SCANCODE_INSERT:
        return {VK_INSERT, true};
    case SDL_SCANCODE_DELETE:
        return {VK_DELETE, true};
    case SDL_SCANCODE_HOME:
        return {VK_HOME, true};
    case SDL_SCANCODE_END:
        return {VK_END, true};
    case SDL_SCANCODE_PAGEUP:
        return {VK_PRIOR, true};
    case SDL_SCANCODE_PAGEDOWN:
        return {VK_NEXT, true};
    case SDL_SCANCODE_PAUSE:
        return {VK_PAUSE, false};
    case SDL_SCANCODE_CAPSLOCK:
        return {VK_CAPITAL, false};
    case SDL_SCANCODE_NUMLOCKCLEAR:
        return {vkNumLock, true};
    case SDL_SCANCODE_SCROLLLOCK:
        return {vkScroll, false};
    case SDL_SCANCODE_PRINTSCREEN:
        return {vkSnapshot, true};
    // The wParam of a modifier does not tell left from right; the extended
    // bit does for Ctrl and Alt.
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT:
        return {VK_SHIFT, false};
    case SDL_SCANCODE_LCTRL:
        return {VK_CONTROL, false};
    case SDL_SCANCODE_RCTRL:
        return {VK_CONTROL, true};
    case SDL_SCANCODE_LALT:
        return {VK_MENU, false};
    case SDL_SCANCODE_RALT:
        return {VK_MENU, true};
    case SDL_SCANCODE_LGUI:
        return {VK_LWIN, true};
    case SDL_SCANCODE_RGUI:
        return {VK_RWIN, true};
    case SDL_SCANCODE_APPLICATION:
        return {VK_APPS, true};
    case SDL_SCANCODE_KP_0:
        return {vkNumpad0, false};
    case SDL_SCANCODE_KP_MULTIPLY:
        return {vkMultiply, false};
    case SDL_SCANCODE_KP_PLUS:
        return {vkAdd, false};
    case SDL_SCANCODE_KP_MINUS:
        return {vkSubtract, false};
    case SDL_SCANCODE_KP_PERIOD:
        return {vkDecimal, false};
    case SDL_SCANCODE_KP_DIVIDE:
        return {vkDivide, true};
    default:
        return {0, false};
    }
}

// Character keys are named by the character the layout puts on them.
WPARAM CharacterKey(SDL_Keycode symbol) {
    switch (symbol) {
    case SDLK_SEMICOLON:
        return vkOem1;
    case SDLK_EQUALS:
        return vkOemPlus;
    case SDLK_COMMA:
        return vkOemComma;
    case SDLK_MINUS:
        return vkOemMinus;
    case SDLK_PERIOD:
        return vkOemPeriod;
    case SDLK_SLASH:
        return vkOem2;
    case SDLK_BACKQUOTE:
        return vkOem3;
    case SDLK_LEFTBRACKET:
        return vkOem4;
    case SDLK_BACKSLASH:
        return vkOem5;
    case SDLK_RIGHTBRACKET:
        return vkOem6;
    case SDLK_QUOTE:
        return vkOem7;
    default:
        return 0;
    }
}

Key KeyOf(const SDL_Keysym& keysym) {
    const SDL_Keycode symbol = keysym.sym;
    if (symbol >= SDLK_a && symbol <= SDLK_z) {
        return {static_cast<WPARAM>('A' + (symbol - SDLK_a)), false};
    }
    if (symbol >= SDLK_0 && symbol <= SDLK_9) {
        return {static_cast<WPARAM>(symbol), false};
    }
    if (const WPARAM oem = CharacterKey(symbol); oem != 0) {
        return {oem, false};
    }
    // Letters and digits of a layout without Latin letters take the
    // position's letter, as Windows does.
    const SDL_Scancode code = keysym.scancode;
    if (code >= SDL_SCANCODE_A && code <= SDL_SCANCODE_Z) {
        return {static_cast<WPARAM>('A' + (code - SDL_SCANCODE_A)), false};
    }
    if (code >= SDL_SCANCODE_1 && code <= SDL_SCANCODE_9) {
        return {static_cast<WPARAM>('1' + (code - SDL_SCANCODE_1)), false};
    }
    if (code == SDL_SCANCODE_0) {
        return {'0', false};
    }
    return KeyAt(code);
}

HWND HandleOf(Uint32 sdlWindowId) {
    const Window* window = LookUpSdlWindow(sdlWindowId);
    return window != nullptr && !window->destroyed ? window->handle : nullptr;
}

// Windows sends WM_SYSKEYDOWN and WM_SYSKEYUP for F10, for Alt itself, and
// for any key while Alt is held without Ctrl; bit 29 then tells that Alt
// was down.
void TranslateKey(const SDL_KeyboardEvent& event) {
    const Key key = KeyOf(event.keysym);
    const HWND window = HandleOf(event.windowID);
    if (key.virtualKey == 0 || window == nullptr) {
        return;
    }
    const bool down = event.type == SDL_KEYDOWN;
    const bool isAlt = key.virtualKey == VK_MENU;
    const bool alt = (event.keysym.mod & KMOD_ALT) != 0 || (isAlt && down);
    const bool ctrl = (event.keysym.mod & KMOD_CTRL) != 0;
    const bool system = key.virtualKey == VK_F10 || ((alt || isAlt) && !ctrl);

    LPARAM data = 1; // repeat count
    data |= key.extended ? LPARAM{1} << 24 : 0;
    data |= system && alt ? LPARAM{1} << 29 : 0;
    data |= !down || event.repeat ? LPARAM{1} << 30 : 0; // the key was down before
    data |= down ? 0 : LPARAM{1} << 31;                  // released
    const UINT message =
        down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    PostInputMessage(window, message, key.virtualKey, data);
}

void TranslateButton(const SDL_MouseButtonEvent& event) {
    const HWND window = HandleOf(event.windowID);
    const bool down = event.type == SDL_MOUSEBUTTONDOWN;
    UINT message = 0;
    if (event.button == SDL_BUTTON_LEFT) {
        message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    } else if (event.button == SDL_BUTTON_RIGHT) {
        message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    }
    if (message == 0 || window == nullptr) {
        return;
    }
    // wParam holds the buttons down after this press or release, and the
    // Shift and Ctrl keys.
    Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    buttons = down ? (buttons | SDL_BUTTON(event.button)) : (buttons & ~SDL_BUTTON(event.button));
    const SDL_Keymod mod = SDL_GetModState();
    WPARAM keys = 0;
    keys |= (buttons & SDL_BUTTON_LMASK) ? mkLButton : 0;
    keys |= (buttons & SDL_BUTTON_RMASK) ? mkRButton : 0;
    keys |= (buttons & SDL_BUTTON_MMASK) ? mkMButton : 0;
    keys |= (mod & KMOD_SHIFT) ? mkShift : 0;
    keys |= (mod & KMOD_CTRL) ? mkControl : 0;
    PostInputMessage(window, message, keys, MAKELPARAM(event.x, event.y));
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
    Window* window = LookUpSdlWindow(event.windowID);
    if (window == nullptr || window->destroyed) {
        return;
    }
    if (event.event == SDL_WINDOWEVENT_CLOSE) {
        PostMessageA(window->handle, WM_CLOSE, 0, 0);
        return;
    }
    if (!WindowManaged()) {
        ActOnStateEvent(*window, event.event);
    }
    window->sdlChanged = true;
}

// Sees every window event as SDL sends it, on the thread that pumps them:
// SDL drops a queued move or resize event when a newer one comes, so the
// queue alone no longer tells which came before a state change.
int NoteEvent(void*, SDL_Event* event) {
    if (event->type == SDL_WINDOWEVENT) {
        Window* window = LookUpSdlWindow(event->window.windowID);
        if (window != nullptr && !window->destroyed) {
            NoteWindowEvent(*window, event->window.event);
        }
    }
    return 0;
}

} // namespace

void WatchWindowEvents() {
    SDL_AddEventWatch(NoteEvent, nullptr);
}

void TranslateSdlEvents() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        return;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            TranslateKey(event.key);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            TranslateButton(event.button);
            break;
        case SDL_WINDOWEVENT:
            TranslateWindowEvent(event.window);
            break;
        case SDL_QUIT:
            // SDL makes SIGINT and SIGTERM into SDL_QUIT: every window is
            // asked to close, so that the program ends as it does when its
            // window is closed.
            ForEachWindow([](Window& window) { PostMessageA(window.handle, WM_CLOSE, 0, 0); });
            break;
        default:
            break;
        }
    }
    // One look per window after the whole batch: the window manager's
    // answers to one request often come as several events.
    ForEachWindow([](Window& window) {
        if (window.sdlChanged) {
            window.sdlChanged = false;
            Reconcile(window);
        }
        TrustServerSize(window);
    });
}
