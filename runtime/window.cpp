// runtime/window.cpp: numbered windows, the class window procedure and the window callback.
#include "runtime/window.h"

#include <algorithm>
#include <cstdio>

#include "runtime/event.h"
#include "runtime/state_block.h"

namespace runtime {
namespace {

namespace pw = platform::window;

constexpr const char* kWindowIdProperty = "RK_WindowID";
constexpr const char* kFocusProperty = "RK_Focus";
constexpr const char* kDropAcceptProperty = "RK_DropAccept";
constexpr int kDefaultPosition = -65535;
constexpr std::uint32_t kOwnFlags = CentreOnScreen | CentreOnParent | NoControlContainer |
                                    CreateHidden;
constexpr std::uint32_t kStyleBitsNotPassed = 0x02000007;  // our flags inside the style word

// The process-wide part of the window library.
struct MessageState {
    WindowCallback callback;
};

ObjectTable* windowTable = nullptr;
MessageState* messageState = nullptr;

WindowRecord* Lookup(ObjectNumber number) {
    return static_cast<WindowRecord*>(LookupObject(windowTable, number));
}

WindowHandle HandleOf(const WindowRecord* record) {
    return WindowHandle{static_cast<std::uint32_t>(record->handle)};
}

// "WindowClass_%d" with the window number.
void ClassNameOf(ObjectNumber number, char (&name)[48]) {
    std::snprintf(name, sizeof name, "WindowClass_%ld", static_cast<long>(number));
}

// The runtime window a platform window belongs to: the window itself or the nearest owner
// carrying "RK_WindowID". Sets "number" (-1 when none) and "top".
WindowRecord* FindRuntimeWindow(WindowHandle window, ObjectNumber* number, WindowHandle* top) {
    *number = -1;
    *top = WindowHandle{};
    for (WindowHandle w = window; w; w = pw::GetParent(w)) {
        const std::intptr_t id = pw::GetProp(w, kWindowIdProperty);
        if (id == 0) continue;
        *number = static_cast<ObjectNumber>(id - 1);
        *top = w;
        WindowRecord* record = Lookup(*number);
        // A record of that number made for another window (closed and reopened meanwhile)
        // is not this window's.
        return record != nullptr && HandleOf(record) == w ? record : nullptr;
    }
    return nullptr;
}

void Queue(std::int32_t code, ObjectNumber object, ObjectNumber window, std::int32_t type) {
    QueueEvent(code, object, window, type, 0, nullptr, 0);
}

// Releases the number of a window the platform has destroyed: its events, class and brush go.
void ForgetDestroyedWindow(ObjectNumber number, WindowRecord* record) {
    const pw::BrushHandle brush = record->backgroundBrush;
    record->handle = 0;
    RemoveQueuedEvents(-1, -1, number, -1);
    // The class stays registered (the window still exists until this message returns); a
    // window opened with the number again finds it ready.
    pw::DeleteObject(brush);
    ReleaseObject(windowTable, number);
}

// The runtime's own handling of one message; returns a result or NotHandled.
std::intptr_t HandleMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                            std::intptr_t lParam, ObjectNumber number, WindowHandle top) {
    WindowRecord* record = number != -1 ? Lookup(number) : nullptr;
    if (record != nullptr && HandleOf(record) != top) record = nullptr;
    if (record == nullptr) return NotHandled;
    const bool itself = window == top;

    switch (message) {
        case pw::WM_ERASEBKGND: {
            std::intptr_t result = NotHandled;
            if (record->backgroundBrush) {
                pw::Rect client;
                pw::GetClientRect(window, &client);
                pw::FillRect(static_cast<pw::DeviceContext>(wParam), &client,
                             record->backgroundBrush);
                result = 1;
            } else if (itself && record->eraseHandler != nullptr) {
                result = record->eraseHandler(static_cast<pw::DeviceContext>(wParam), window);
            }
            Queue(BackgroundErased, 0, number, 0);
            return result;
        }
        case pw::WM_ACTIVATE:
            if (pw::LowWord(wParam) != pw::WA_INACTIVE) {
                const WindowHandle focus{static_cast<std::uint32_t>(pw::GetProp(top, kFocusProperty))};
                if (pw::IsWindow(focus)) pw::SetFocus(focus);
                Queue(Activated, 0, number, 0);
            } else {
                pw::SetProp(top, kFocusProperty, pw::GetFocus().value);
                Queue(Deactivated, 0, number, 0);
            }
            return 1;
        case pw::WM_SIZE: {
            if (!itself || record->ready == 0) return NotHandled;
            if (wParam == static_cast<std::uintptr_t>(pw::SIZE_MINIMIZED)) {
                record->sizedState = 1;
                Queue(Minimized, 0, number, 0);
                return 0;
            }
            if (wParam == static_cast<std::uintptr_t>(pw::SIZE_MAXIMIZED)) {
                record->sizedState = 1;
                Queue(Maximized, 0, number, 0);
            } else if (record->sizedState != 0) {
                record->sizedState = 0;
                Queue(Restored, 0, number, 0);
            }
            // However many size changes arrive, the queue holds one Resized of the window.
            RemoveQueuedEvents(Resized, 0, number, 0);
            Queue(Resized, 0, number, 0);
            return 0;
        }
        case pw::WM_COMMAND: {
            const int id = static_cast<std::int16_t>(pw::LowWord(wParam));
            if (lParam != 0 && id != -10000) {
                Queue(ControlNotify, pw::LowWord(wParam), number, pw::HighWord(wParam));
            } else if (pw::HighWord(wParam) == 0 && lParam == 0) {
                Queue(MenuCommand, static_cast<ObjectNumber>(wParam), number, 0);
            } else {
                Queue(MenuCommand, pw::LowWord(wParam), number, 0);
            }
            return 0;
        }
        case kTrayIconMessage: {
            int kind = -1;
            switch (static_cast<std::uint32_t>(lParam)) {
                case pw::WM_LBUTTONDOWN: kind = 0; break;
                case pw::WM_RBUTTONDOWN: kind = 1; break;
                case pw::WM_LBUTTONDBLCLK: kind = 2; break;
                case pw::WM_RBUTTONDBLCLK: kind = 3; break;
                default: break;
            }
            if (kind >= 0) {
                Queue(TrayIcon, static_cast<ObjectNumber>(wParam), number, kind);
                pw::PostMessage(window, pw::WM_NULL, 0, 0);  // wakes a waiting poll
            }
            return 0;
        }
        case pw::WM_TIMER:
            Queue(TimerTick, static_cast<ObjectNumber>(wParam), number, 0);
            return 0;
        case pw::WM_RBUTTONUP:
            Queue(RightButtonUp, 0, number, 0);
            return 0;
        case pw::WM_LBUTTONUP:
            Queue(LeftButtonUp, 0, number, 0);
            return 0;
        case pw::WM_LBUTTONDBLCLK:
            Queue(LeftDoubleClick, 0, number, 0);
            return 0;
        case pw::WM_CLOSE:
            if (!itself) return NotHandled;
            Queue(CloseRequested, number, number, 0);
            return 0;
        case pw::WM_MOVE:
            if (!itself || record->ready == 0) return NotHandled;
            Queue(Moved, number, number, 0);
            return 0;
        case pw::WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<pw::MinMaxInfo*>(lParam);
            if (info == nullptr) return 0;
            if (record->minWidth != 0) info->minTrackSize.x = record->minWidth;
            else if ((record->exStyle & pw::WS_EX_TOOLWINDOW) != 0) info->minTrackSize.x = 1;
            if (record->minHeight != 0) info->minTrackSize.y = record->minHeight;
            if (record->maxWidth != 0) info->maxTrackSize.x = record->maxWidth;
            if (record->maxHeight != 0) info->maxTrackSize.y = record->maxHeight;
            return 0;
        }
        case pw::WM_NCDESTROY:
            pw::RemoveProp(window, kFocusProperty);
            // Still carrying its number, so the platform destroyed it without
            // CloseNumberedWindow (its owner went): the number must not outlive the window.
            if (itself) ForgetDestroyedWindow(number, record);
            return 1;
        default:
            return NotHandled;
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Library steps
// ---------------------------------------------------------------------------------------------

void InitWindowLibrary() {
    windowTable = CreateObjectTable(static_cast<std::int32_t>(sizeof(WindowRecord)), 16,
                                    CloseNumberedWindow);
    messageState = static_cast<MessageState*>(CreateStateBlock(sizeof(MessageState), nullptr));
}

void EndWindowLibrary() {
    CloseNumberedWindow(-1);
    // The table and the state block live on the runtime heap, which goes at the chain's end.
    windowTable = nullptr;
    messageState = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Windows
// ---------------------------------------------------------------------------------------------

std::intptr_t CreateNumberedWindow(ObjectNumber number, int x, int y, int width, int height,
                                   const char* title, std::uint32_t flags, WindowHandle parent) {
    if (windowTable == nullptr || number < -1) return 0;
    auto* record = static_cast<WindowRecord*>(AllocateObject(windowTable, number));
    if (record == nullptr) return 0;
    const bool automatic = number == -1;
    if (automatic) number = reinterpret_cast<ObjectNumber>(record);

    char className[48];
    ClassNameOf(number, className);
    pw::RegisterClass({.name = className, .style = pw::CS_DBLCLKS, .proc = RuntimeWindowProc,
                       .background = pw::BrushHandle{pw::COLOR_BTNFACE + 1}});

    std::uint32_t style = flags & ~NoControlContainer;
    if ((flags & ~kOwnFlags) == 0) style |= pw::WS_CAPTION;
    const bool hidden = (style & CreateHidden) != 0;
    style &= ~CreateHidden;
    std::uint32_t exStyle = 0;
    if ((flags & ToolWindow) != 0) {
        exStyle = pw::WS_EX_TOOLWINDOW;
        style |= pw::WS_CAPTION;
        style &= ~(pw::WS_MINIMIZEBOX | pw::WS_MAXIMIZEBOX | pw::WS_MINIMIZE | pw::WS_MAXIMIZE);
    }

    pw::Rect outer{0, 0, width, height};
    pw::AdjustWindowRectEx(&outer, style & ~7u, false, exStyle);
    if (x == kDefaultPosition ||
        (y == kDefaultPosition && (flags & (CentreOnScreen | CentreOnParent)) == 0)) {
        x = pw::CW_USEDEFAULT;
        y = pw::CW_USEDEFAULT;
    }

    const WindowHandle handle = pw::CreateWindow(
        {.exStyle = exStyle, .className = className, .title = title != nullptr ? title : "",
         .style = style & ~kStyleBitsNotPassed, .x = x, .y = y,
         .width = outer.right - outer.left, .height = outer.bottom - outer.top,
         .parent = parent});
    if (!handle) {
        pw::UnregisterClass(className);
        ReleaseObject(windowTable, number);
        return 0;
    }
    // The record is not live yet, so nothing that ran during creation can have released it.
    *record = WindowRecord{};
    record->handle = handle.value;
    record->backgroundColour = -1;
    record->exStyle = exStyle;
    record->sizedState = (style & (pw::WS_MINIMIZE | pw::WS_MAXIMIZE)) != 0 ? 1 : 0;
    pw::SetProp(handle, kWindowIdProperty, static_cast<std::intptr_t>(number + 1));
    if ((flags & (CentreOnScreen | CentreOnParent)) != 0) CentreWindow(handle, flags, parent);

    if (!hidden && Lookup(number) != nullptr) {
        const bool quiet = (flags & ShowWithoutActivating) != 0;
        int command = quiet ? pw::SW_SHOWNOACTIVATE : pw::SW_SHOWNORMAL;
        if ((style & pw::WS_MINIMIZE) != 0) command = quiet ? pw::SW_SHOWMINNOACTIVE : pw::SW_SHOWMINIMIZED;
        else if ((style & pw::WS_MAXIMIZE) != 0) command = quiet ? pw::SW_SHOWNA : pw::SW_SHOWMAXIMIZED;
        pw::ShowWindow(handle, command);
    }
    record = Lookup(number);
    if (record == nullptr || HandleOf(record) != handle) return 0;  // closed by a callback
    record->ready = 1;
    return automatic ? number : static_cast<std::intptr_t>(handle.value);
}

void CloseNumberedWindow(ObjectNumber number) {
    if (windowTable == nullptr) return;
    if (number == -1) {
        FreeAllObjects(windowTable);
        return;
    }
    WindowRecord* record = Lookup(number);
    if (record == nullptr) return;
    const WindowHandle handle = HandleOf(record);
    const pw::BrushHandle brush = record->backgroundBrush;
    // Not live from here on, so a callback that closes the window again meanwhile finds nothing.
    record->handle = 0;

    RemoveQueuedEvents(-1, -1, number, -1);
    const WindowHandle owner = pw::GetParent(handle);
    if (owner) pw::SetActiveWindow(owner);
    pw::RemoveProp(handle, kWindowIdProperty);
    pw::RemoveProp(handle, kDropAcceptProperty);
    pw::DestroyWindow(handle);
    char className[48];
    ClassNameOf(number, className);
    pw::UnregisterClass(className);
    pw::DeleteObject(brush);
    // Messages handled while the window went cannot have queued events of it (it no longer
    // carries its number), but a callback may have queued some by hand.
    RemoveQueuedEvents(-1, -1, number, -1);
    // A callback may have opened a new window of this number meanwhile; it keeps its record.
    if (Lookup(number) == nullptr) ReleaseObject(windowTable, number);
}

void CentreWindow(WindowHandle window, std::uint32_t flags, WindowHandle reference) {
    pw::Rect rect;
    if (!pw::GetWindowRect(window, &rect)) return;
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    const int screenW = pw::GetSystemMetrics(pw::SM_CXSCREEN);
    const int screenH = pw::GetSystemMetrics(pw::SM_CYSCREEN);
    int x = 0, y = 0;
    bool onScreen = (flags & CentreOnScreen) != 0;
    if (!onScreen && (flags & CentreOnParent) != 0) {
        if (!reference) reference = pw::GetActiveWindow();
        pw::Rect ref;
        if (reference && reference != window && pw::GetWindowRect(reference, &ref)) {
            x = std::max(0, ref.left + ((ref.right - ref.left) - w) / 2);
            y = std::max(0, ref.top + ((ref.bottom - ref.top) - h) / 2);
        } else {
            onScreen = true;  // neither a parent nor an active window: the screen instead
        }
    }
    if (onScreen) {
        w = std::min(w, screenW);
        h = std::min(h, screenH);
        x = (screenW - w) / 2;
        y = (screenH - h) / 2;
    }
    pw::SetWindowPos(window, WindowHandle{}, x, y, 0, 0,
                     pw::SWP_NOSIZE | pw::SWP_NOZORDER | pw::SWP_NOACTIVATE);
}

void SetWindowBackground(ObjectNumber number, std::int32_t colour) {
    WindowRecord* record = Lookup(number);
    if (record == nullptr || record->backgroundColour == colour) return;
    if (record->backgroundBrush) pw::DeleteObject(record->backgroundBrush);
    record->backgroundBrush =
        colour == -1 ? pw::BrushHandle{} : pw::CreateSolidBrush(static_cast<std::uint32_t>(colour));
    record->backgroundColour = colour;
    pw::RedrawWindow(HandleOf(record), pw::RDW_INVALIDATE | pw::RDW_INTERNALPAINT | pw::RDW_ERASE);
}

void ShowNumberedWindow(ObjectNumber number, std::int32_t hide, std::uint32_t flags) {
    const WindowRecord* record = Lookup(number);
    if (record == nullptr) return;
    const WindowHandle handle = HandleOf(record);
    const WindowHandle owner = pw::GetParent(handle);
    if (hide != 0) {
        if (owner) pw::SetActiveWindow(owner);
        pw::ShowWindow(handle, pw::SW_HIDE);
        return;
    }
    if ((flags & (CentreOnScreen | CentreOnParent)) != 0) CentreWindow(handle, flags, owner);
    if (Lookup(number) == nullptr) return;
    const bool zoomed = pw::IsZoomed(handle), iconic = pw::IsIconic(handle);
    int command;
    if ((flags & ShowWithoutActivating) != 0)
        command = zoomed ? pw::SW_SHOWNA : iconic ? pw::SW_SHOWMINNOACTIVE : pw::SW_SHOWNOACTIVATE;
    else
        command = zoomed ? pw::SW_SHOWMAXIMIZED : iconic ? pw::SW_SHOWMINIMIZED : pw::SW_SHOWNORMAL;
    pw::ShowWindow(handle, command);
}

WindowHandle GetWindowHandle(ObjectNumber number) {
    const WindowRecord* record = Lookup(number);
    return record != nullptr ? HandleOf(record) : WindowHandle{};
}

void InstallWindowCallback(WindowCallback callback) {
    if (messageState != nullptr) messageState->callback = callback;
}

void InstallNumberedWindowCallback(ObjectNumber number, WindowCallback callback) {
    if (WindowRecord* record = Lookup(number)) record->callback = callback;
}

// ---------------------------------------------------------------------------------------------
// Mouse
// ---------------------------------------------------------------------------------------------

namespace {

// The cursor in client coordinates of a live window, or false when it is outside.
bool CursorInClient(ObjectNumber number, pw::Point* at) {
    const WindowRecord* record = Lookup(number);
    if (record == nullptr) return false;
    const WindowHandle handle = HandleOf(record);
    if (!pw::GetCursorPos(at) || !pw::ScreenToClient(handle, at)) return false;
    if (at->x < 0 || at->y < 0) return false;
    pw::Rect client;
    if (!pw::GetClientRect(handle, &client)) return false;
    return at->x < client.right && at->y < client.bottom;
}

}  // namespace

std::int32_t MouseXInWindow(ObjectNumber number) {
    pw::Point at;
    return CursorInClient(number, &at) ? at.x : -1;
}

std::int32_t MouseYInWindow(ObjectNumber number) {
    pw::Point at;
    return CursorInClient(number, &at) ? at.y : -1;
}

// ---------------------------------------------------------------------------------------------
// The class window procedure
// ---------------------------------------------------------------------------------------------

std::intptr_t RuntimeWindowProc(WindowHandle window, std::uint32_t message,
                                std::uintptr_t wParam, std::intptr_t lParam) {
    ObjectNumber number = -1;
    WindowHandle top;
    const WindowRecord* record = FindRuntimeWindow(window, &number, &top);

    WindowCallback callback = record != nullptr ? record->callback : nullptr;
    if (callback == nullptr && messageState != nullptr) callback = messageState->callback;
    if (callback != nullptr) {
        const std::intptr_t result = callback(window, message, wParam, lParam);
        if (result != ContinueDefaultProcessing) return result;
    }
    // The callback may have closed the window (or more): HandleMessage looks everything up
    // again and finds nothing of a window that is gone.
    const std::intptr_t result = HandleMessage(window, message, wParam, lParam, number, top);
    if (result == NotHandled) return pw::DefWindowProc(window, message, wParam, lParam);
    return result;
}

}  // namespace runtime
