// platform/window/window.h: Win32-style windows, messages and desktop services on our own terms.
//
// Stands in for the windowing calls of the original platform (classes, windows, properties,
// the message loop, painting, the modal move loop, the blend animation, the cursor, the
// message box). Message numbers, styles and flags keep their Win32 values, so the runtime
// above can be written against them unchanged. No SDL or GL type appears here; the SDL2
// backend lives in platform/window/sdl/; a GL graphics backend draws into a window through
// the surfaces of platform/window/gl_surface.h.
//
// What it leaves out: child windows (a parent given at creation makes the new window an
// owned top-level window), menus, accelerators, timers, icons and cursors other than the
// arrow, non-client painting, drag-and-drop.
//
// Coordinates: screen pixels, origin top-left of the primary screen, y down. A window's
// position is its outer top-left (frame included; windows without a frame have none); the
// client area starts at ClientToScreen({0, 0}). Times in milliseconds.
//
// Threads: the first call that needs the window system makes the calling thread the window
// thread; every call below runs on that thread only, except PostMessage,
// RegisterWindowMessage and IsWindow, which any thread may call. Every message of a window
// reaches its window procedure on the window thread, inside DispatchMessage or SendMessage,
// in the order it arose.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>

namespace platform::window {

// ---------------------------------------------------------------------------------------------
// Handles and basic types
// ---------------------------------------------------------------------------------------------

// A window. 0 = none. Handles are never reused within a process, so a stale handle is refused.
struct WindowHandle {
    std::uint32_t value = 0;
    explicit operator bool() const { return value != 0; }
    auto operator<=>(const WindowHandle&) const = default;
};

// A solid brush made by CreateSolidBrush or GetStockObject, or a system-colour brush (colour
// index + 1, as a class background). 0 = none.
struct BrushHandle {
    std::uint32_t value = 0;
    explicit operator bool() const { return value != 0; }
    auto operator<=>(const BrushHandle&) const = default;
};

// The painting target of one window (what WM_ERASEBKGND carries in wParam). 0 = none.
using DeviceContext = std::uintptr_t;

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// The procedure every message of a window of one class goes to.
using WindowProc = LResult (*)(WindowHandle window, std::uint32_t message, WParam wParam,
                               LParam lParam);

struct Point {
    int x = 0, y = 0;
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// One message as taken from the queue. "time" is TickCount() when it arose; "pt" the cursor
// position in screen coordinates then.
struct Message {
    WindowHandle window;
    std::uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
    std::uint32_t time = 0;
    Point pt;
};

// Packing helpers of the message parameters (16-bit halves, signed for coordinates).
constexpr LParam MakeLParam(int low, int high) {
    return static_cast<LParam>(static_cast<std::int32_t>(
        (static_cast<std::uint32_t>(high & 0xFFFF) << 16) | static_cast<std::uint32_t>(low & 0xFFFF)));
}
constexpr int LowWord(std::uintptr_t v) { return static_cast<int>(v & 0xFFFF); }
constexpr int HighWord(std::uintptr_t v) { return static_cast<int>((v >> 16) & 0xFFFF); }
constexpr int SignedLowWord(std::uintptr_t v) { return static_cast<std::int16_t>(v & 0xFFFF); }
constexpr int SignedHighWord(std::uintptr_t v) {
    return static_cast<std::int16_t>((v >> 16) & 0xFFFF);
}

// ---------------------------------------------------------------------------------------------
// Message numbers (Win32 values)
// ---------------------------------------------------------------------------------------------

inline constexpr std::uint32_t WM_NULL = 0x0000;
inline constexpr std::uint32_t WM_CREATE = 0x0001;            // lParam: const CreateInfo*
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_MOVE = 0x0003;              // lParam: client left, top
inline constexpr std::uint32_t WM_SIZE = 0x0005;              // wParam: SIZE_*; lParam: w, h
inline constexpr std::uint32_t WM_ACTIVATE = 0x0006;          // wParam low: WA_*
inline constexpr std::uint32_t WM_SETFOCUS = 0x0007;
inline constexpr std::uint32_t WM_KILLFOCUS = 0x0008;
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_ERASEBKGND = 0x0014;        // wParam: DeviceContext
inline constexpr std::uint32_t WM_SYSCOLORCHANGE = 0x0015;
inline constexpr std::uint32_t WM_SHOWWINDOW = 0x0018;        // wParam: 1 shown, 0 hidden
inline constexpr std::uint32_t WM_GETMINMAXINFO = 0x0024;     // lParam: MinMaxInfo*
inline constexpr std::uint32_t WM_NOTIFY = 0x004E;
inline constexpr std::uint32_t WM_NCCREATE = 0x0081;          // lParam: const CreateInfo*
inline constexpr std::uint32_t WM_NCDESTROY = 0x0082;
inline constexpr std::uint32_t WM_NCLBUTTONDOWN = 0x00A1;     // wParam: hit-test code
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;           // wParam: virtual key
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_CHAR = 0x0102;              // wParam: character (Latin-1)
inline constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;        // key with Alt held
inline constexpr std::uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;        // wParam: SC_* | hit-test
inline constexpr std::uint32_t WM_TIMER = 0x0113;
inline constexpr std::uint32_t WM_HSCROLL = 0x0114;
inline constexpr std::uint32_t WM_VSCROLL = 0x0115;
inline constexpr std::uint32_t WM_MENUCHAR = 0x0120;
inline constexpr std::uint32_t WM_CTLCOLOREDIT = 0x0133;
inline constexpr std::uint32_t WM_CTLCOLORLISTBOX = 0x0134;
inline constexpr std::uint32_t WM_CTLCOLORBTN = 0x0135;
inline constexpr std::uint32_t WM_CTLCOLORSTATIC = 0x0138;
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;         // wParam: MK_*; lParam: x, y
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;       // lParam: client x, y
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;     // only for CS_DBLCLKS classes
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr std::uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr std::uint32_t WM_MBUTTONDBLCLK = 0x0209;
inline constexpr std::uint32_t WM_MOUSEWHEEL = 0x020A;        // wParam high: delta (120/notch)
inline constexpr std::uint32_t WM_ENTERSIZEMOVE = 0x0231;
inline constexpr std::uint32_t WM_EXITSIZEMOVE = 0x0232;
inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t WM_APP = 0x8000;

// WM_ACTIVATE
inline constexpr int WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2;
// WM_SIZE
inline constexpr int SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2;
// WM_MOUSEMOVE and button messages: keys and buttons down
inline constexpr int MK_LBUTTON = 0x1, MK_RBUTTON = 0x2, MK_SHIFT = 0x4, MK_CONTROL = 0x8,
                     MK_MBUTTON = 0x10;
// Hit-test codes
inline constexpr int HTCLIENT = 1, HTCAPTION = 2;
// WM_SYSCOMMAND (the low four bits carry a hit-test code)
inline constexpr int SC_MINIMIZE = 0xF020, SC_MAXIMIZE = 0xF030, SC_MOVE = 0xF010,
                     SC_CLOSE = 0xF060, SC_RESTORE = 0xF120;

// Virtual keys (WM_KEYDOWN wParam): letters and digits are their upper-case ASCII codes.
inline constexpr int VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
                     VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14,
                     VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22,
                     VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26,
                     VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E,
                     VK_F1 = 0x70;  // F1..F12 = 0x70..0x7B

// ---------------------------------------------------------------------------------------------
// Styles and flags (Win32 values)
// ---------------------------------------------------------------------------------------------

inline constexpr std::uint32_t WS_POPUP = 0x80000000u;       // no caption, no frame
inline constexpr std::uint32_t WS_CHILD = 0x40000000u;       // refused: no child windows
inline constexpr std::uint32_t WS_MINIMIZE = 0x20000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;     // shown at creation
inline constexpr std::uint32_t WS_MAXIMIZE = 0x01000000u;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000u;     // title bar: a decorated window
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000u;  // sizing frame: resizable
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000u;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000u;
inline constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000u;
inline constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x00000080u;

inline constexpr std::uint32_t CS_DBLCLKS = 0x0008;  // class style: double-click messages

// Sentinel position: let the platform choose.
inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// ShowWindow commands
inline constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2,
                     SW_SHOWMAXIMIZED = 3, SW_SHOWNOACTIVATE = 4, SW_SHOW = 5,
                     SW_MINIMIZE = 6, SW_SHOWMINNOACTIVE = 7, SW_SHOWNA = 8, SW_RESTORE = 9;

// SetWindowPos flags
inline constexpr std::uint32_t SWP_NOSIZE = 0x1, SWP_NOMOVE = 0x2, SWP_NOZORDER = 0x4,
                               SWP_NOACTIVATE = 0x10, SWP_SHOWWINDOW = 0x40,
                               SWP_HIDEWINDOW = 0x80;

// RedrawWindow flags
inline constexpr std::uint32_t RDW_INVALIDATE = 0x1, RDW_INTERNALPAINT = 0x2, RDW_ERASE = 0x4,
                               RDW_VALIDATE = 0x8, RDW_UPDATENOW = 0x100,
                               RDW_ERASENOW = 0x200;

// PeekMessage flags
inline constexpr std::uint32_t PM_NOREMOVE = 0x0, PM_REMOVE = 0x1, PM_NOYIELD = 0x2;

// AnimateWindow flags: only the blend is offered (the slide and roll animations are not).
inline constexpr std::uint32_t AW_HIDE = 0x10000, AW_ACTIVATE = 0x20000, AW_BLEND = 0x80000;

// GetSystemMetrics indices
inline constexpr int SM_CXSCREEN = 0, SM_CYSCREEN = 1;

// GetStockObject indices
inline constexpr int WHITE_BRUSH = 0, BLACK_BRUSH = 4, NULL_BRUSH = 5;

// System colour indices (a class background may be "index + 1" as a brush value)
inline constexpr int COLOR_WINDOW = 5, COLOR_BTNFACE = 15;

// MessageBox types and results
inline constexpr std::uint32_t MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNO = 0x4,
                               MB_ICONERROR = 0x10, MB_ICONWARNING = 0x30,
                               MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;

// ---------------------------------------------------------------------------------------------
// Classes and windows
// ---------------------------------------------------------------------------------------------

// A window class: every window created with its name sends its messages to "proc".
// "background" fills the client area when DefWindowProc handles WM_ERASEBKGND (0 = none).
struct ClassDesc {
    const char* name = nullptr;
    std::uint32_t style = 0;  // CS_*
    WindowProc proc = nullptr;
    BrushHandle background;
};

// Registers a class. Returns false for a null or empty name, a null procedure, or a name
// already registered (names compare case-insensitively, as on the original platform).
bool RegisterClass(const ClassDesc& desc);

// Removes a class. Returns false when no such class exists or a window of it is still alive.
bool UnregisterClass(const char* name);

// What WM_NCCREATE and WM_CREATE carry in lParam.
struct CreateInfo {
    const char* className;
    const char* title;
    std::uint32_t style, exStyle;
    int x, y, width, height;
    WindowHandle parent;
};

// Everything CreateWindow needs. "width" and "height" are the outer size, which equals the
// client size: the frame of a decorated window is drawn outside it by the desktop.
struct WindowDesc {
    std::uint32_t exStyle = 0;  // WS_EX_*
    const char* className = nullptr;
    const char* title = nullptr;  // null = empty
    std::uint32_t style = 0;      // WS_*
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
    int width = 0, height = 0;
    WindowHandle parent;  // becomes the owner: closing or hiding follows the runtime's rules
};

// Creates a window of a registered class: WM_NCCREATE (0 from the procedure refuses),
// WM_CREATE (-1 refuses), WM_GETMINMAXINFO; shows it when the style holds WS_VISIBLE.
// Every window can carry an OpenGL 3.3 core context where the desktop has OpenGL. Returns 0
// when the class is unknown, the size is not positive, WS_CHILD is asked for, the procedure
// refuses, or the platform cannot make the window.
WindowHandle CreateWindow(const WindowDesc& desc);

// Destroys a window: WM_DESTROY, WM_NCDESTROY, then the platform window, its properties and
// its pending messages go. Windows it owns are destroyed first. False for a handle not alive.
bool DestroyWindow(WindowHandle window);

// True while "window" is alive. Any thread.
bool IsWindow(WindowHandle window);

// True while "window" is shown.
bool IsWindowVisible(WindowHandle window);

// The owner given at creation, or 0.
WindowHandle GetParent(WindowHandle window);

// The class name of a window ("" for a handle not alive).
const char* GetClassName(WindowHandle window);

// Changes the title. False for a handle not alive.
bool SetWindowText(WindowHandle window, const char* text);

// Shows, hides, minimises, maximises or restores (SW_*). Sends WM_SHOWWINDOW when the
// visibility changes; the commands that activate also raise the window and take the focus.
// Returns whether the window was visible before.
bool ShowWindow(WindowHandle window, int command);

bool IsIconic(WindowHandle window);  // minimised
bool IsZoomed(WindowHandle window);  // maximised

// Moves and/or resizes (outer coordinates); sends WM_MOVE and WM_SIZE when they change.
// "insertAfter" is accepted for the Z order and ignored. False for a handle not alive.
bool SetWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int width,
                  int height, std::uint32_t flags);

// Outer rectangle in screen coordinates, frame included.
bool GetWindowRect(WindowHandle window, Rect* out);

// Client rectangle: (0, 0, client width, client height).
bool GetClientRect(WindowHandle window, Rect* out);

// Converts between screen and client coordinates of "window".
bool ScreenToClient(WindowHandle window, Point* point);
bool ClientToScreen(WindowHandle window, Point* point);

// Outer rectangle of a client rectangle for a style: unchanged here, since a frame is drawn
// by the desktop outside the window (see WindowDesc). Returns false for a null rectangle.
bool AdjustWindowRectEx(Rect* rect, std::uint32_t style, bool menu, std::uint32_t exStyle);

// The window that has the keyboard focus among ours (0 if none), and raising one to it.
WindowHandle GetActiveWindow();
WindowHandle SetActiveWindow(WindowHandle window);  // returns the previous active window
WindowHandle GetFocus();  // the window whose WM_SETFOCUS was delivered last (not yet killed)
WindowHandle SetFocus(WindowHandle window);          // returns the previous focus

// Size limits the desktop applies while the user resizes (WM_GETMINMAXINFO fills them).
struct MinMaxInfo {
    Point reserved, maxSize, maxPosition, minTrackSize, maxTrackSize;
};

// ---------------------------------------------------------------------------------------------
// Window properties
// ---------------------------------------------------------------------------------------------

// Named values stored per window (names case-insensitive). SetProp returns false for a
// handle not alive or an empty name. GetProp returns 0 when unset. RemoveProp returns the
// value it removed, or 0.
bool SetProp(WindowHandle window, const char* name, std::intptr_t value);
std::intptr_t GetProp(WindowHandle window, const char* name);
std::intptr_t RemoveProp(WindowHandle window, const char* name);

// ---------------------------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------------------------

// The process-wide number of a named message, in 0xC000..0xFFFF; the same name (compared
// case-insensitively) always gives the same number. 0 for a null or empty name or when the
// range is used up. Any thread.
std::uint32_t RegisterWindowMessage(const char* name);

// Appends a message to the window thread's queue. A null window makes a thread message that
// DispatchMessage ignores. False for a window not alive. Any thread; wakes a waiting
// GetMessage or WaitMessage.
bool PostMessage(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam);

// Calls the window's procedure now and returns its result (0 for a window not alive, or when
// called from a thread other than the window thread).
LResult SendMessage(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam);

// Takes (PM_REMOVE) or looks at (PM_NOREMOVE) the next message of the queue. "filter" = 0
// accepts every window; "first"/"last" = 0/0 accept every number. Input and posted messages
// come in the order they arose; WM_PAINT comes only when nothing else waits. Never blocks.
bool PeekMessage(Message* out, WindowHandle filter, std::uint32_t first, std::uint32_t last,
                 std::uint32_t flags);

// Waits without limit for the next message and takes it. Returns false when the window system
// cannot be started, or (as for WM_QUIT) when nothing waits and the process has been asked to
// end (TerminationRequested).
bool GetMessage(Message* out, WindowHandle filter, std::uint32_t first, std::uint32_t last);

// Whether the process has been asked to end: SIGTERM (kill, a desktop shutting down) or SIGINT
// (Ctrl+C in a terminal). A window's close request is WM_CLOSE, never this. Noticed while
// messages are pumped (PeekMessage, GetMessage, WaitMessage); stays true once set. Window
// thread.
bool TerminationRequested();

// Waits until a message may be waiting or "timeout_ms" passed (-1 = no limit). Returns false
// on time-out. A true answer can be spurious: PeekMessage tells.
bool WaitMessage(int timeout_ms);

// Adds WM_CHAR for printable keys (the platform delivers typed text as WM_CHAR already, so
// this only reports whether "msg" was a key-down). Kept for the loop's usual shape.
bool TranslateMessage(const Message* msg);

// Hands "msg" to its window's procedure; returns the procedure's result (0 when the window
// is gone or the message has none).
LResult DispatchMessage(const Message* msg);

// The default handling every procedure falls back to: WM_NCCREATE answers 1 (go on);
// WM_CLOSE destroys the window;
// WM_NCLBUTTONDOWN with HTCAPTION starts the move loop (below) through WM_SYSCOMMAND;
// WM_PAINT validates (erasing through WM_ERASEBKGND when asked); WM_ERASEBKGND fills with
// the class background; everything else returns 0.
LResult DefWindowProc(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam);

// The modal move loop (what WM_SYSCOMMAND SC_MOVE runs): the window follows the pointer,
// keeping the offset it had when the loop began, until the left button is up; then
// WM_EXITSIZEMOVE and the call returns. Mouse messages that arose meanwhile are consumed.
// It needs no window manager. Returns false for a window not alive or a left button that
// was already up.
bool RunMoveLoop(WindowHandle window);

// ---------------------------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------------------------

struct PaintStruct {
    DeviceContext dc = 0;
    bool erase = false;  // the background still needs erasing (WM_ERASEBKGND returned 0)
    Rect paint;
};

// A solid brush of a 0x00BBGGRR colour; 0 on failure. DeleteObject frees it (stock and
// system-colour brushes are ignored).
BrushHandle CreateSolidBrush(std::uint32_t colour);
bool DeleteObject(BrushHandle brush);
BrushHandle GetStockObject(int index);

// The colour of a brush (0x00BBGGRR), or -1 for none or an unknown brush.
std::int64_t BrushColour(BrushHandle brush);

// Marks the client area for repainting (and erasing), validates it, or paints now.
bool RedrawWindow(WindowHandle window, std::uint32_t flags);
bool InvalidateRect(WindowHandle window, bool erase);
bool UpdateWindow(WindowHandle window);  // sends WM_PAINT now if the window needs painting

// Opens and closes painting of an invalid window: sends WM_ERASEBKGND when an erase is due,
// then marks the window valid. Returns the device context, 0 for a handle not alive.
DeviceContext BeginPaint(WindowHandle window, PaintStruct* ps);
bool EndPaint(WindowHandle window, const PaintStruct* ps);

// The device context of a window (its client area), 0 for a handle not alive.
DeviceContext GetDC(WindowHandle window);

// Fills a client rectangle with a brush. Visible until the next frame of a GL context on the
// window replaces it.
bool FillRect(DeviceContext dc, const Rect* rect, BrushHandle brush);

// ---------------------------------------------------------------------------------------------
// Blend animation
// ---------------------------------------------------------------------------------------------

// Fades the window's opacity over "time_ms" and blocks until done. AW_BLEND shows a hidden
// window (painting its background first) and fades it in; AW_BLEND | AW_HIDE fades a visible
// window out and hides it (its opacity is full again for the next show). Returns false for
// a handle not alive, flags without AW_BLEND, or a window already in the asked state.
// Where the desktop cannot change a window's opacity the call still takes "time_ms" and
// shows or hides at its end.
bool AnimateWindow(WindowHandle window, std::uint32_t time_ms, std::uint32_t flags);

// A program that runs on a time of its own (a frame-exact capture) takes the waits of the
// fade: while a hook is installed, AnimateWindow calls it between two opacity steps, with the
// window and the opacity in force, instead of sleeping. The hook lets time pass (a fade on
// a clock that never advances would never end). Null removes it.
using FadeWaitHook = void (*)(void* user, WindowHandle window, float opacity);
void SetFadeWaitHook(FadeWaitHook hook, void* user);

// ---------------------------------------------------------------------------------------------
// Cursor, screen, display
// ---------------------------------------------------------------------------------------------

// The pointer position in screen coordinates, read from the desktop now (not from queued
// events). False when the window system cannot be started.
bool GetCursorPos(Point* out);

// Moves the pointer (screen coordinates).
bool SetCursorPos(int x, int y);

// Whether the left mouse button is down now, read from the desktop.
bool IsLeftButtonDown();

// SM_CXSCREEN, SM_CYSCREEN: the primary screen's size; 0 for other indices.
int GetSystemMetrics(int index);

// Refresh rate in Hz of the display that shows the window (primary display for 0); 60 when
// the desktop does not tell.
int DisplayRefreshRate(WindowHandle window);

// The current mode of the primary display.
struct DisplayMode {
    int width = 0, height = 0;
    int refresh_hz = 0;      // 0 when the desktop does not tell
    int bits_per_pixel = 0;  // 15, 16, 24 or 32
};

// False when no display can be reached (the window system cannot be started).
bool GetCurrentDisplayMode(DisplayMode* out);

// ---------------------------------------------------------------------------------------------
// Message box
// ---------------------------------------------------------------------------------------------

// Shows a modal box with "text" and "caption" (null = empty) and buttons from "type"
// (MB_OK, MB_OKCANCEL, MB_YESNO) and returns the button chosen (IDOK, IDCANCEL, IDYES,
// IDNO), or 0 when no box could be shown. While a test hook is set (window_testing.h), the
// hook answers instead.
int MessageBox(WindowHandle owner, const char* text, const char* caption, std::uint32_t type);

}  // namespace platform::window
