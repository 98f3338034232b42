// The thread's message queue and the default window procedure.
//
// As on Windows, PeekMessageA returns posted messages first, then the quit
// message once no posted message is left, then keyboard and mouse input.
#include <deque>

#include "platform/user32/window_model.h"

namespace {

std::deque<MSG> postedMessages;
std::deque<MSG> inputMessages;
bool quitPosted = false;
int quitCode = 0;

// Whether bit 29 of a key message's lParam says Alt was down.
constexpr LPARAM altDown = LPARAM{1} << 29;

MSG Stamp(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetTicks() : 0;
    int x = 0;
    int y = 0;
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        SDL_GetGlobalMouseState(&x, &y);
    }
    msg.pt = {x, y};
    return msg;
}

// The filter of PeekMessageA: a null window takes every message of the
// thread, -1 only those posted to no window; 0, 0 takes every message number.
bool Matches(const MSG& msg, HWND window, UINT first, UINT last) {
    if (window == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
        if (msg.hwnd != nullptr) {
            return false;
        }
    } else if (window != nullptr && msg.hwnd != window) {
        return false;
    }
    return (first == 0 && last == 0) || (first <= msg.message && msg.message <= last);
}

bool Take(std::deque<MSG>& queue, MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (Matches(*it, window, first, last)) {
            *msg = *it;
            if (remove & PM_REMOVE) {
                queue.erase(it);
            }
            return true;
        }
    }
    return false;
}

bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

} // namespace

void PostInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    inputMessages.push_back(Stamp(window, message, wParam, lParam));
}

void DiscardMessages(HWND window) {
    std::erase_if(postedMessages, [window](const MSG& msg) { return msg.hwnd == window; });
    std::erase_if(inputMessages, [window](const MSG& msg) { return msg.hwnd == window; });
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // A null window posts to the thread itself.
    if (window != nullptr && !IsWindow(window)) {
        return FALSE;
    }
    postedMessages.push_back(Stamp(window, message, wParam, lParam));
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    quitPosted = true;
    quitCode = exitCode;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const Window* target = LookUpWindow(window);
    if (target == nullptr) {
        return 0;
    }
    return target->procedure(window, message, wParam, lParam);
}

BOOL WINAPI PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
    if (msg == nullptr) {
        return FALSE;
    }
    TranslateSdlEvents();
    if (Take(postedMessages, msg, window, first, last, remove)) {
        return TRUE;
    }
    if (quitPosted) {
        const MSG quit = Stamp(nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0);
        if ((window == nullptr || window == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) &&
            Matches(quit, window, first, last)) {
            *msg = quit;
            if (remove & PM_REMOVE) {
                quitPosted = false;
            }
            return TRUE;
        }
    }
    return Take(inputMessages, msg, window, first, last, remove) ? TRUE : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    // Windows answers nonzero for every key message. No WM_CHAR is made:
    // nothing here reads typed text.
    return msg != nullptr && IsKeyMessage(msg->message);
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) {
        return 0;
    }
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 closes the window through its system menu's Close command.
        if (wParam == VK_F4 && (lParam & altDown)) {
            PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    case WM_SYSCOMMAND:
        // The low four bits are used by the system; the command is the rest.
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            SendMessageA(window, WM_CLOSE, 0, 0);
        }
        return 0;
    default:
        return 0;
    }
}
