// Show states and placement: ShowWindow, MoveWindow and SetWindowPos change
// the record and, as on Windows, send WM_SIZE before they return when the
// client size or the show state changed.
#include <algorithm>

#include "platform/user32/window_model.h"

namespace {

int placementDepth = 0;

struct SizeReport {
    UINT kind;
    LONG width;
    LONG height;
};

SizeReport CurrentSize(const Window& window) {
    if (window.style & WS_MINIMIZE) {
        return {SIZE_MINIMIZED, 0, 0};
    }
    const RECT client = ClientOf(window.rect, window.nonClient.frame);
    return {(window.style & WS_MAXIMIZE) ? UINT{SIZE_MAXIMIZED} : UINT{SIZE_RESTORED},
            client.right - client.left, client.bottom - client.top};
}

// Records `report` as the window's last WM_SIZE; true when it differs from
// the one before.
bool Report(Window& window, const SizeReport& report) {
    const bool changed = report.kind != window.reportedKind ||
                         report.width != window.reportedWidth ||
                         report.height != window.reportedHeight;
    window.sizeReported = true;
    window.reportedKind = report.kind;
    window.reportedWidth = report.width;
    window.reportedHeight = report.height;
    return changed;
}

bool IsNormal(const Window& window) {
    return (window.style & (WS_MAXIMIZE | WS_MINIMIZE)) == 0;
}

// A maximised window fills the work area of its display; as on Windows the
// sizing borders lie beyond the work area's edges and the caption within.
RECT MaximisedRect(const Window& window) {
    const RECT work = DisplayWorkArea(DisplayNearest(window.rect));
    const Frame& frame = window.nonClient.frame;
    return {work.left - frame.left, work.top - frame.bottom, work.right + frame.right,
            work.bottom + frame.bottom};
}

void RestoreNormal(Window& window) {
    if (IsNormal(window)) {
        return;
    }
    window.style &= ~(WS_MAXIMIZE | WS_MINIMIZE);
    window.restoreToMaximised = false;
    window.nonClient = NonClientFor(window.style);
    window.rect = window.normalRect;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

void RecordMaximised(Window& window) {
    if (window.style & WS_MINIMIZE) {
        window.style &= ~WS_MINIMIZE;
        if (window.restoreToMaximised) {
            // Back to the maximised placement it had before it was minimised.
            window.restoreToMaximised = false;
            window.style |= WS_MAXIMIZE;
            return;
        }
    } else if (window.style & WS_MAXIMIZE) {
        return;
    } else {
        window.normalRect = window.rect;
    }
    window.style |= WS_MAXIMIZE;
    window.nonClient = NonClientFor(window.style);
    window.rect = MaximisedRect(window);
}

void RecordMinimised(Window& window) {
    if (window.style & WS_MINIMIZE) {
        return;
    }
    if (IsNormal(window)) {
        window.normalRect = window.rect;
    }
    window.restoreToMaximised = (window.style & WS_MAXIMIZE) != 0;
    window.style = (window.style & ~WS_MAXIMIZE) | WS_MINIMIZE;
}

void RecordRestored(Window& window) {
    if ((window.style & WS_MINIMIZE) && window.restoreToMaximised) {
        RecordMaximised(window);
    } else {
        RestoreNormal(window);
    }
}

PlacementScope::PlacementScope() {
    ++placementDepth;
}

PlacementScope::~PlacementScope() {
    if (--placementDepth == 0) {
        ForEachWindow([](Window& window) {
            if (window.stale) {
                Follow(window);
            }
        });
    }
}

void SendSizeIfChanged(Window& window, bool first) {
    const bool firstReport = first && !window.sizeReported;
    const SizeReport report = CurrentSize(window);
    if (Report(window, report) || firstReport) {
        SendMessageA(window.handle, WM_SIZE, report.kind, MAKELPARAM(report.width, report.height));
    }
}

void PostSizeIfChanged(Window& window) {
    const SizeReport report = CurrentSize(window);
    if (Report(window, report)) {
        PostMessageA(window.handle, WM_SIZE, report.kind, MAKELPARAM(report.width, report.height));
    }
}

BOOL WINAPI ShowWindow(HWND handle, int showCommand) {
    Window* window = LookUpWindow(handle);
    if (window == nullptr) {
        return FALSE;
    }
    PlacementScope scope;
    const BOOL wasVisible = (window->style & WS_VISIBLE) != 0;
    switch (showCommand) {
    case SW_HIDE:
        window->style &= ~WS_VISIBLE;
        window->stale = true;
        return wasVisible;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case 11: // SW_FORCEMINIMIZE
        RecordMinimised(*window);
        break;
    case SW_SHOWMAXIMIZED:
        RecordMaximised(*window);
        break;
    case SW_SHOWNORMAL:
    case SW_SHOWNOACTIVATE:
    case SW_SHOWDEFAULT:
        RestoreNormal(*window);
        break;
    case SW_RESTORE:
        RecordRestored(*window);
        break;
    case SW_SHOW:
    case SW_SHOWNA:
        break;
    default:
        return FALSE;
    }
    window->style |= WS_VISIBLE;
    window->stale = true;
    // Windows sends a window its first WM_SIZE when it is first shown.
    SendSizeIfChanged(*window, true);
    return wasVisible;
}

BOOL WINAPI MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(handle, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL WINAPI SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    Window* window = LookUpWindow(handle);
    if (window == nullptr) {
        return FALSE;
    }
    PlacementScope scope;
    RECT rect = window->rect;
    if (!(flags & SWP_NOMOVE)) {
        rect = {x, y, x + (rect.right - rect.left), y + (rect.bottom - rect.top)};
    }
    if (!(flags & SWP_NOSIZE)) {
        rect.right = rect.left + std::max(cx, 0);
        rect.bottom = rect.top + std::max(cy, 0);
    }
    // The frame is computed afresh from the style whenever the window moves
    // or changes size, and when asked to with SWP_FRAMECHANGED.
    if (!SameRect(rect, window->rect) || (flags & SWP_FRAMECHANGED)) {
        window->nonClient = NonClientFor(window->style);
    }
    window->rect = rect;
    // The normal placement follows only a window in the normal state: a
    // maximised window moved about still restores to where it was before.
    if (IsNormal(*window)) {
        window->normalRect = rect;
    }
    if (!(flags & SWP_NOZORDER)) {
        // SDL cannot put a window below others: HWND_BOTTOM only takes it
        // out of the topmost band, as it does on Windows.
        if (insertAfter == HWND_TOPMOST) {
            window->topmost = true;
        } else if (insertAfter == HWND_NOTOPMOST || insertAfter == HWND_BOTTOM) {
            window->topmost = false;
        }
        window->raise = insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST;
    }
    const bool showing = (flags & SWP_SHOWWINDOW) && !(window->style & WS_VISIBLE);
    if (flags & SWP_SHOWWINDOW) {
        window->style |= WS_VISIBLE;
    }
    if (flags & SWP_HIDEWINDOW) {
        window->style &= ~WS_VISIBLE;
    }
    window->stale = true;
    SendSizeIfChanged(*window, showing);
    return TRUE;
}
