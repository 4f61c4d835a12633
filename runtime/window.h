// runtime/window.h: the runtime's numbered windows, the window callback and the event codes.
//
// A program opens top-level windows by number (0 and up, or -1 for an automatically numbered
// one whose number is its record's address). Every message of those windows goes through
// RuntimeWindowProc: first to the window's own callback or the process-wide one, then, unless
// the callback answered, to the runtime, which turns the messages that matter into events on
// the EventQueue (runtime/event.h) and leaves the rest to the platform's default processing.
//
// Not offered: controls and control containers, MDI windows, keyboard accelerators and the
// keyboard cues; the platform has none of them.
//
// Threads: main thread only.
#pragma once

#include <cstdint>

#include "platform/window/window.h"
#include "runtime/object_table.h"

namespace runtime {

using platform::window::WindowHandle;

// A window callback: sees every message of the runtime's windows before the runtime does.
// Returning ContinueDefaultProcessing lets the runtime go on; any other value is the
// message's result and ends its handling.
using WindowCallback = std::intptr_t (*)(WindowHandle window, std::uint32_t message,
                                         std::uintptr_t wParam, std::intptr_t lParam);

inline constexpr std::intptr_t ContinueDefaultProcessing = 0xE0E0E0E1;
inline constexpr std::intptr_t NotHandled = 0xD0D0D0D1;  // internal: go to DefWindowProc

// Asks the background to be erased when the window has no background brush.
using EraseHandler = std::int32_t (*)(platform::window::DeviceContext dc, WindowHandle window);

// Flags of CreateNumberedWindow (all other bits are platform window styles passed on).
inline constexpr std::uint32_t CentreOnScreen = 0x00000001;
inline constexpr std::uint32_t CentreOnParent = 0x00000002;
inline constexpr std::uint32_t ToolWindow = 0x00000004;
inline constexpr std::uint32_t NoControlContainer = 0x00000008;
inline constexpr std::uint32_t ShowWithoutActivating = 0x02000000;
inline constexpr std::uint32_t CreateHidden = 0x10000000;

// Event codes queued by RuntimeWindowProc.
enum EventCode : std::int32_t {
    ControlNotify = 13100,    // WM_COMMAND from a control: object control id, type notification
    MenuCommand = 13101,      // WM_COMMAND without a control: object command id
    TrayIcon = 13102,         // message 12501: object icon id, type 0-3 (button and click)
    Activated = 13104,        // WM_ACTIVATE, active
    Minimized = 13107,        // WM_SIZE minimised
    Maximized = 13108,        // WM_SIZE maximised (followed by Resized)
    Restored = 13109,         // WM_SIZE restored after minimised or maximised
    TimerTick = 13110,        // WM_TIMER: object timer id
    RightButtonUp = 13111,    // WM_RBUTTONUP
    LeftButtonUp = 13112,     // WM_LBUTTONUP
    LeftDoubleClick = 13113,  // WM_LBUTTONDBLCLK
    Deactivated = 13114,      // WM_ACTIVATE, inactive
    BackgroundErased = 13115, // WM_ERASEBKGND
    CloseRequested = 13116,   // WM_CLOSE of the window itself: object window number
    Moved = 13117,            // WM_MOVE of the window itself once ready: object window number
    Resized = 13118,          // WM_SIZE other than minimised; one per window in the queue
};

// The private message through which tray icons report mouse actions.
inline constexpr std::uint32_t kTrayIconMessage = 12501;

// One window number's record in the window table. Live while "handle" is non-zero.
struct WindowRecord {
    std::uintptr_t handle;            // platform window handle value
    WindowCallback callback;          // per-window callback; before the process-wide one
    std::int32_t backgroundColour;    // 0x00BBGGRR, -1 = none
    platform::window::BrushHandle backgroundBrush;
    EraseHandler eraseHandler;        // asked when there is no brush
    std::uint16_t minWidth, minHeight, maxWidth, maxHeight;  // tracking limits, 0 = not set
    std::int32_t sizedState;          // 1 while minimised or maximised
    std::int32_t ready;               // 0 while being created
    std::uint32_t exStyle;            // extended style it was created with
};

// Start-up step 20: creates the window table (capacity 16) and the MessageState.
void InitWindowLibrary();

// End step 4: closes every window.
void EndWindowLibrary();

// Opens window "number" (-1: automatic) with client size width x height at (x, y) (x of
// -65535, or y of -65535 without a centring flag, lets the platform choose). "title" null is
// empty; "flags" as above plus platform styles; "parent" becomes the owner. An existing
// window of that number is closed first. Returns the window's handle value (for -1 its
// number), or 0 when the platform refuses the window.
std::intptr_t CreateNumberedWindow(ObjectNumber number, int x, int y, int width, int height,
                                   const char* title, std::uint32_t flags,
                                   WindowHandle parent = WindowHandle{});

// Closes window "number" (-1: all): its queued events go, then the platform window.
void CloseNumberedWindow(ObjectNumber number);

// Centres "window" on the screen (CentreOnScreen) or on "reference" (CentreOnParent; the
// active window when null, the screen when there is neither), keeping its size.
void CentreWindow(WindowHandle window, std::uint32_t flags, WindowHandle reference);

// Sets the background colour (0x00BBGGRR, -1 = none) and repaints. Not live: nothing.
void SetWindowBackground(ObjectNumber number, std::int32_t colour);

// Shows (hide 0) or hides the window; on show, flags CentreOnScreen/CentreOnParent centre it
// and ShowWithoutActivating keeps it from being activated.
void ShowNumberedWindow(ObjectNumber number, std::int32_t hide, std::uint32_t flags);

// The platform handle of a live number, else 0.
WindowHandle GetWindowHandle(ObjectNumber number);

// Installs the process-wide callback (null removes it).
void InstallWindowCallback(WindowCallback callback);

// Installs the callback of one window (null removes it); it takes precedence over the
// process-wide one. Not live: nothing.
void InstallNumberedWindowCallback(ObjectNumber number, WindowCallback callback);

// The cursor position in the window's client area, or -1 when the number is not live or the
// cursor lies outside the client area in any direction.
std::int32_t MouseXInWindow(ObjectNumber number);
std::int32_t MouseYInWindow(ObjectNumber number);

// The class procedure of every runtime window.
std::intptr_t RuntimeWindowProc(WindowHandle window, std::uint32_t message,
                                std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace runtime
