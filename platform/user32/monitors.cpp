// Monitors are SDL's displays: the full rectangle is the display's bounds,
// the work area its usable bounds (without the desktop's panels).
#include <climits>
#include <cstdint>

#include "platform/user32/window_model.h"

namespace {

// Monitor handles are small tokens numbered from the primary display.
constexpr uintptr_t firstMonitor = 0x4D0001;

RECT ToRect(const SDL_Rect& rect) {
    return {rect.x, rect.y, rect.x + rect.w, rect.y + rect.h};
}

HMONITOR MonitorHandle(int index) {
    return reinterpret_cast<HMONITOR>(firstMonitor + static_cast<uintptr_t>(index));
}

// Square of the distance from a point to a rectangle, 0 inside it.
long long DistanceSquared(const RECT& rect, LONG x, LONG y) {
    const long long dx = x < rect.left ? rect.left - x : (x >= rect.right ? x - rect.right + 1 : 0);
    const long long dy = y < rect.top ? rect.top - y : (y >= rect.bottom ? y - rect.bottom + 1 : 0);
    return dx * dx + dy * dy;
}

LONG CentreX(const RECT& rect) {
    return rect.left + (rect.right - rect.left) / 2;
}

LONG CentreY(const RECT& rect) {
    return rect.top + (rect.bottom - rect.top) / 2;
}

} // namespace

int DisplayCount() {
    const int count = SDL_GetNumVideoDisplays();
    return count > 0 ? count : 0;
}

RECT DisplayBounds(int index) {
    SDL_Rect bounds{0, 0, 0, 0};
    SDL_GetDisplayBounds(index, &bounds);
    return ToRect(bounds);
}

RECT DisplayWorkArea(int index) {
    SDL_Rect usable{0, 0, 0, 0};
    if (SDL_GetDisplayUsableBounds(index, &usable) != 0) {
        return DisplayBounds(index);
    }
    return ToRect(usable);
}

int DisplayContaining(const RECT& rect) {
    for (int index = 0; index < DisplayCount(); ++index) {
        if (DistanceSquared(DisplayBounds(index), CentreX(rect), CentreY(rect)) == 0) {
            return index;
        }
    }
    return -1;
}

int DisplayNearest(const RECT& rect) {
    int nearest = 0;
    long long nearestDistance = LLONG_MAX;
    for (int index = 0; index < DisplayCount(); ++index) {
        const long long distance =
            DistanceSquared(DisplayBounds(index), CentreX(rect), CentreY(rect));
        if (distance < nearestDistance) {
            nearest = index;
            nearestDistance = distance;
        }
    }
    return nearest;
}

HMONITOR WINAPI MonitorFromWindow(HWND handle, DWORD flags) {
    const Window* window = LookUpWindow(handle);
    if (window == nullptr || !StartVideo() || DisplayCount() == 0) {
        return nullptr;
    }
    // A minimised window keeps the rectangle it had, which is what Windows
    // uses for it.
    const int containing = DisplayContaining(window->rect);
    if (containing >= 0) {
        return MonitorHandle(containing);
    }
    switch (flags) {
    case MONITOR_DEFAULTTOPRIMARY:
        return MonitorHandle(0);
    case MONITOR_DEFAULTTONEAREST:
        return MonitorHandle(DisplayNearest(window->rect));
    default:
        return nullptr;
    }
}

BOOL WINAPI GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info) {
    const auto value = reinterpret_cast<uintptr_t>(monitor);
    if (info == nullptr || info->cbSize < sizeof(MONITORINFO) || value < firstMonitor ||
        !StartVideo() || value - firstMonitor >= static_cast<uintptr_t>(DisplayCount())) {
        return FALSE;
    }
    const int index = static_cast<int>(value - firstMonitor);
    info->rcMonitor = DisplayBounds(index);
    info->rcWork = DisplayWorkArea(index);
    // SDL lists the primary display first.
    info->dwFlags = index == 0 ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
}
