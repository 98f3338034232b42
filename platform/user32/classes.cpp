// Window classes, registered per module instance as on Windows, and the
// stock cursor and brush handles a class record names.
#include <cstdint>
#include <list>
#include <string>
#include <strings.h>

#include "platform/user32/window_model.h"

namespace {

struct WindowClass {
    WNDCLASSEXA record; // lpszClassName and lpszMenuName point into the strings below
    std::string name;
    std::string menuName;
    ATOM atom;
};

// A list, so that the records' string pointers stay put as classes are added.
std::list<WindowClass> classes;
// Windows numbers string atoms from 0xC000 upwards.
ATOM nextAtom = 0xC000;

// Resource names below 0x10000 are numbers (MAKEINTRESOURCE), not text.
bool IsNumber(LPCSTR name) {
    return reinterpret_cast<uintptr_t>(name) < 0x10000;
}

// Class names are compared ignoring case, as Windows does.
WindowClass* Find(HINSTANCE instance, LPCSTR name) {
    if (name == nullptr || IsNumber(name)) {
        return nullptr;
    }
    for (WindowClass& windowClass : classes) {
        if (windowClass.record.hInstance == instance &&
            strcasecmp(windowClass.name.c_str(), name) == 0) {
            return &windowClass;
        }
    }
    return nullptr;
}

// Stock objects are handed out as small non-null tokens; nothing reads them.
template <typename Handle> Handle Token(uintptr_t kind, uintptr_t index) {
    return reinterpret_cast<Handle>((kind << 16) | index);
}

} // namespace

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
    // Windows refuses a record of any other size, such as the 48 bytes of a
    // 32-bit build.
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) ||
        windowClass->lpfnWndProc == nullptr || windowClass->lpszClassName == nullptr ||
        IsNumber(windowClass->lpszClassName) ||
        Find(windowClass->hInstance, windowClass->lpszClassName) != nullptr) {
        return 0;
    }
    WindowClass& added = classes.emplace_back();
    added.record = *windowClass;
    added.name = windowClass->lpszClassName;
    added.record.lpszClassName = added.name.c_str();
    if (windowClass->lpszMenuName != nullptr && !IsNumber(windowClass->lpszMenuName)) {
        added.menuName = windowClass->lpszMenuName;
        added.record.lpszMenuName = added.menuName.c_str();
    }
    added.atom = nextAtom++;
    return added.atom;
}

BOOL WINAPI GetClassInfoExA(HINSTANCE instance, LPCSTR className, WNDCLASSEXA* windowClass) {
    const WindowClass* found = Find(instance, className);
    if (found == nullptr || windowClass == nullptr) {
        return FALSE;
    }
    // Windows leaves cbSize as the caller set it and returns the caller's
    // name pointer.
    const UINT size = windowClass->cbSize;
    *windowClass = found->record;
    windowClass->cbSize = size;
    windowClass->lpszClassName = className;
    return found->atom;
}

WNDPROC FindClassProcedure(HINSTANCE instance, LPCSTR className) {
    const WindowClass* found = Find(instance, className);
    return found != nullptr ? found->record.lpfnWndProc : nullptr;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    // Only the system cursors (IDC_ARROW 32512 to IDC_HELP 32651) exist: the
    // layer holds no cursor resources of its own. SDL shows the arrow in
    // every window, which is what the class cursor asks for.
    const auto id = reinterpret_cast<uintptr_t>(cursorName);
    if (instance != nullptr || id < 32512 || id > 32651) {
        return nullptr;
    }
    return Token<HCURSOR>(1, id);
}

HBRUSH WINAPI GetSysColorBrush(int index) {
    // COLOR_SCROLLBAR (0) to COLOR_MENUBAR (30). Direct3D covers the whole
    // client area, so the background brush is never painted.
    if (index < 0 || index > 30) {
        return nullptr;
    }
    return Token<HBRUSH>(2, static_cast<uintptr_t>(index) + 1);
}
