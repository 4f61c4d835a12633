// platform/window/sdl/window_sdl.cpp: windows, the message queue and painting on SDL2.
//
// [SECTION] Window records and start-up
// [SECTION] Translating SDL events into messages
// [SECTION] Windows
// [SECTION] Geometry and activation
// [SECTION] Messages and the queue
// [SECTION] Default processing and the move loop
// [SECTION] Painting
// [SECTION] Blend animation
// [SECTION] Cursor, screen, message box
//
// Features:
//  [X] hidden/shown, borderless popup, decorated, resizable and tool windows, all OpenGL-ready
//  [X] one queue in arrival order: SDL input and window events, posted messages (as SDL user
//      events, so PostMessage from any thread wakes a waiting GetMessage), WM_PAINT last
//  [X] mouse moves coalesced as on the original platform: one pending WM_MOUSEMOVE at most
//  [X] modal move loop that moves the window itself (works with no window manager)
//  [X] the process's termination requests (SIGTERM, SIGINT) kept apart from window closes
//  [X] background painting through Xlib before any OpenGL frame exists
//  [ ] child windows, menus, timers, icons: not offered
#include "platform/window/sdl/window_sdl.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/sys/sys.h"
#include "platform/window/sdl/desktop.h"
#include "platform/window/window.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_testing.h"

namespace platform::window {
namespace {

// =============================================================================================
// [SECTION] Window records and start-up
// =============================================================================================

struct WindowRecord {
    WindowHandle handle;
    SDL_Window* sdl = nullptr;
    std::uint32_t sdlId = 0;
    std::string className;
    WindowProc proc = nullptr;
    std::uint32_t classStyle = 0;
    BrushHandle classBackground;
    WindowHandle owner;
    std::uint32_t style = 0, exStyle = 0;
    bool visible = false;
    bool needsPaint = false, needsErase = false;
    bool destroying = false;
    Point lastMove;  // client origin last reported by WM_MOVE
    int lastWidth = 0, lastHeight = 0;
};

std::unordered_map<std::uint32_t, std::unique_ptr<WindowRecord>> records;  // by handle
std::unordered_map<std::uint32_t, std::uint32_t> handleOfSdlId;            // SDL id -> handle
std::uint32_t nextHandle = 1;

// Handles alive, for IsWindow and PostMessage from other threads.
std::mutex liveMutex;
std::unordered_set<std::uint32_t> liveHandles;

// Translated messages waiting to be taken, in arrival order.
std::deque<Message> pending;

enum class VideoState { Untried, Ready, Failed };
VideoState videoState = VideoState::Untried;
std::thread::id windowThread;
std::atomic<std::uint32_t> postEventType{0};  // SDL user event carrying a posted message

FadeRecord lastFade;
FadeWaitHook fadeWaitHook = nullptr;
void* fadeWaitUser = nullptr;
WindowHandle focusWindow;  // the window whose WM_SETFOCUS was delivered last
bool terminationRequested = false;  // SIGTERM or SIGINT arrived (SDL_QUIT)

bool EnsureVideo() {
    if (videoState == VideoState::Untried) {
        // A press on an inactive window must still reach it as WM_LBUTTONDOWN (the drag).
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
        // A compositor must keep composing our windows, or the blend has no effect.
        SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
        // Close requests become WM_CLOSE; the program decides, not SDL's quit event.
        SDL_SetHint("SDL_QUIT_ON_LAST_WINDOW_CLOSE", "0");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            const Uint32 type = SDL_RegisterEvents(1);
            if (type != static_cast<Uint32>(-1)) {
                windowThread = std::this_thread::get_id();
                postEventType.store(type);
                videoState = VideoState::Ready;
            } else {
                SDL_QuitSubSystem(SDL_INIT_VIDEO);
                videoState = VideoState::Failed;
            }
        } else {
            videoState = VideoState::Failed;
        }
    }
    return videoState == VideoState::Ready;
}

bool OnWindowThread() {
    return videoState == VideoState::Ready && std::this_thread::get_id() == windowThread;
}

// The record of a live window, on the window thread only; null otherwise.
WindowRecord* Find(WindowHandle window) {
    if (window.value == 0 || !OnWindowThread()) return nullptr;
    auto it = records.find(window.value);
    return it == records.end() ? nullptr : it->second.get();
}

WindowRecord* FindBySdlId(std::uint32_t id) {
    auto it = handleOfSdlId.find(id);
    return it == handleOfSdlId.end() ? nullptr : Find(WindowHandle{it->second});
}

Point ClientOrigin(const WindowRecord& r) {
    Point p;
    SDL_GetWindowPosition(r.sdl, &p.x, &p.y);
    return p;
}

// Frame sizes the desktop adds around the client area (0 without a window manager).
// A hidden window is not decorated yet, and asking for its frame could make SDL map it.
Rect Borders(const WindowRecord& r) {
    if (!r.visible) return Rect{};
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(r.sdl, &top, &left, &bottom, &right) != 0) return Rect{};
    return Rect{left, top, right, bottom};
}

WParam MouseKeys(Uint32 buttons) {
    WParam keys = 0;
    if (buttons & SDL_BUTTON_LMASK) keys |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK) keys |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK) keys |= MK_MBUTTON;
    const SDL_Keymod mod = SDL_GetModState();
    if (mod & KMOD_SHIFT) keys |= MK_SHIFT;
    if (mod & KMOD_CTRL) keys |= MK_CONTROL;
    return keys;
}

// =============================================================================================
// [SECTION] Translating SDL events into messages
// =============================================================================================

int VirtualKeyOf(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + static_cast<int>(key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + static_cast<int>(key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + static_cast<int>(key - SDLK_F1);
    switch (key) {
        case SDLK_BACKSPACE: return VK_BACK;
        case SDLK_TAB: return VK_TAB;
        case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
        case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
        case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
        case SDLK_LALT: case SDLK_RALT: return VK_MENU;
        case SDLK_PAUSE: return VK_PAUSE;
        case SDLK_CAPSLOCK: return VK_CAPITAL;
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_PAGEUP: return VK_PRIOR;
        case SDLK_PAGEDOWN: return VK_NEXT;
        case SDLK_END: return VK_END;
        case SDLK_HOME: return VK_HOME;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_UP: return VK_UP;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_DOWN: return VK_DOWN;
        case SDLK_INSERT: return VK_INSERT;
        case SDLK_DELETE: return VK_DELETE;
        default: return 0;
    }
}

Point lastPointer;  // screen position of the last mouse event, stamped on every message
// Where the left button went down, while it is down: the point a move loop drags from.
std::optional<Point> leftPress;
Uint32 buttonsDown = 0;  // mouse buttons down as of the last translated mouse event

void Push(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    Message m;
    m.window = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = sys::TickCount();
    m.pt = lastPointer;
    // Mouse moves are coalesced: a newer position replaces a pending one of the same window.
    if (message == WM_MOUSEMOVE && !pending.empty() && pending.back().message == WM_MOUSEMOVE &&
        pending.back().window == window) {
        pending.back() = m;
        return;
    }
    pending.push_back(m);
}

void TranslateWindowEvent(const SDL_WindowEvent& e) {
    WindowRecord* r = FindBySdlId(e.windowID);
    if (r == nullptr) return;
    const WindowHandle h = r->handle;
    switch (e.event) {
        case SDL_WINDOWEVENT_EXPOSED:
            r->needsPaint = r->needsErase = true;
            break;
        case SDL_WINDOWEVENT_MOVED:
            if (e.data1 != r->lastMove.x || e.data2 != r->lastMove.y) {
                r->lastMove = Point{e.data1, e.data2};
                Push(h, WM_MOVE, 0, MakeLParam(e.data1, e.data2));
            }
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (e.data1 != r->lastWidth || e.data2 != r->lastHeight) {
                r->lastWidth = e.data1;
                r->lastHeight = e.data2;
                const bool maximised = (SDL_GetWindowFlags(r->sdl) & SDL_WINDOW_MAXIMIZED) != 0;
                Push(h, WM_SIZE, maximised ? SIZE_MAXIMIZED : SIZE_RESTORED,
                     MakeLParam(e.data1, e.data2));
                r->needsPaint = r->needsErase = true;
            }
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            Push(h, WM_SIZE, SIZE_MINIMIZED, 0);
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            Push(h, WM_SIZE, SIZE_MAXIMIZED, MakeLParam(r->lastWidth, r->lastHeight));
            break;
        case SDL_WINDOWEVENT_RESTORED:
            Push(h, WM_SIZE, SIZE_RESTORED, MakeLParam(r->lastWidth, r->lastHeight));
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            Push(h, WM_ACTIVATE, WA_ACTIVE, 0);
            Push(h, WM_SETFOCUS, 0, 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            Push(h, WM_ACTIVATE, WA_INACTIVE, 0);
            Push(h, WM_KILLFOCUS, 0, 0);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            Push(h, WM_CLOSE, 0, 0);
            break;
        default:
            break;
    }
}

void TranslateMouseButton(const SDL_MouseButtonEvent& e) {
    WindowRecord* r = FindBySdlId(e.windowID);
    if (r == nullptr || e.which == SDL_TOUCH_MOUSEID) return;
    const bool down = e.type == SDL_MOUSEBUTTONDOWN;
    std::uint32_t base;
    switch (e.button) {
        case SDL_BUTTON_LEFT: base = WM_LBUTTONDOWN; break;
        case SDL_BUTTON_RIGHT: base = WM_RBUTTONDOWN; break;
        case SDL_BUTTON_MIDDLE: base = WM_MBUTTONDOWN; break;
        default: return;
    }
    std::uint32_t message = down ? base : base + 1;
    // Every second click of a double-click class is a double-click message.
    if (down && (r->classStyle & CS_DBLCLKS) != 0 && e.clicks >= 2 && e.clicks % 2 == 0)
        message = base + 2;
    const Point origin = ClientOrigin(*r);
    lastPointer = Point{origin.x + e.x, origin.y + e.y};
    // The buttons as they were right after this event, not as they are by now.
    if (down) buttonsDown |= SDL_BUTTON(e.button);
    else buttonsDown &= ~SDL_BUTTON(e.button);
    if (e.button == SDL_BUTTON_LEFT) leftPress = down ? std::optional<Point>(lastPointer) : std::nullopt;
    Push(r->handle, message, MouseKeys(buttonsDown), MakeLParam(e.x, e.y));
}

void TranslateKey(const SDL_KeyboardEvent& e) {
    WindowRecord* r = FindBySdlId(e.windowID);
    if (r == nullptr) return;
    const int vk = VirtualKeyOf(e.keysym.sym);
    if (vk == 0) return;
    const bool down = e.type == SDL_KEYDOWN;
    const bool alt = (e.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
    std::uint32_t message = down ? WM_KEYDOWN : WM_KEYUP;
    if (alt) message += WM_SYSKEYDOWN - WM_KEYDOWN;
    // lParam: repeat count 1, scan code, previous state, transition state.
    std::uint32_t bits = 1u | ((static_cast<std::uint32_t>(e.keysym.scancode) & 0xFF) << 16);
    if (!down) bits |= 0xC0000000u;
    else if (e.repeat) bits |= 0x40000000u;
    Push(r->handle, message, static_cast<WParam>(vk),
         static_cast<LParam>(static_cast<std::int32_t>(bits)));
}

// Typed text arrives as UTF-8; characters of Latin-1 become WM_CHAR, others are dropped.
void TranslateText(const SDL_TextInputEvent& e) {
    WindowRecord* r = FindBySdlId(e.windowID);
    if (r == nullptr) return;
    const auto* s = reinterpret_cast<const unsigned char*>(e.text);
    while (*s != 0) {
        std::uint32_t cp;
        int extra;
        if (*s < 0x80) { cp = *s; extra = 0; }
        else if ((*s & 0xE0) == 0xC0) { cp = *s & 0x1F; extra = 1; }
        else if ((*s & 0xF0) == 0xE0) { cp = *s & 0x0F; extra = 2; }
        else { cp = *s & 0x07; extra = 3; }
        ++s;
        for (; extra > 0 && (*s & 0xC0) == 0x80; --extra, ++s) cp = (cp << 6) | (*s & 0x3F);
        if (extra == 0 && cp < 0x100) Push(r->handle, WM_CHAR, cp, 1);
    }
}

void Translate(const SDL_Event& e) {
    if (e.type == postEventType.load()) {
        const WindowHandle h{e.user.windowID};
        if (h.value != 0 && Find(h) == nullptr) return;  // its window went meanwhile
        Push(h, static_cast<std::uint32_t>(e.user.code), reinterpret_cast<WParam>(e.user.data1),
             reinterpret_cast<LParam>(e.user.data2));
        return;
    }
    switch (e.type) {
        case SDL_WINDOWEVENT:
            TranslateWindowEvent(e.window);
            break;
        case SDL_MOUSEMOTION: {
            WindowRecord* r = FindBySdlId(e.motion.windowID);
            if (r == nullptr || e.motion.which == SDL_TOUCH_MOUSEID) break;
            const Point origin = ClientOrigin(*r);
            lastPointer = Point{origin.x + e.motion.x, origin.y + e.motion.y};
            buttonsDown = e.motion.state;
            Push(r->handle, WM_MOUSEMOVE, MouseKeys(e.motion.state),
                 MakeLParam(e.motion.x, e.motion.y));
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            TranslateMouseButton(e.button);
            break;
        case SDL_MOUSEWHEEL: {
            WindowRecord* r = FindBySdlId(e.wheel.windowID);
            if (r == nullptr || e.wheel.y == 0) break;
            const int delta = e.wheel.y * 120 *
                              (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1);
            const WParam w = (static_cast<WParam>(delta & 0xFFFF) << 16) | MouseKeys(buttonsDown);
            Push(r->handle, WM_MOUSEWHEEL, w, MakeLParam(lastPointer.x, lastPointer.y));
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            TranslateKey(e.key);
            break;
        case SDL_TEXTINPUT:
            TranslateText(e.text);
            break;
        case SDL_QUIT:
            // SDL's handlers of SIGTERM and SIGINT send this; closing the last window does not
            // (that is WM_CLOSE, see EnsureVideo).
            terminationRequested = true;
            break;
        default:
            break;
    }
}

// Moves everything SDL has gathered into the queue. SDL_PollEvent is not used: it stops at
// the sentinel it leaves behind, so an event pushed after that sentinel would wait for the
// next call.
void Pump() {
    SDL_PumpEvents();
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) Translate(e);
}

// Asked while a message box is up: gathers the events that arrive meanwhile into the queue
// (a termination request among them ends the box; it is acted on once the box is gone).
bool KeepShowingMessageBox() {
    Pump();
    return !terminationRequested;
}

// Waits for the next SDL event ("timeout_ms" -1 = no limit) and translates it.
bool WaitAndTranslate(int timeout_ms) {
    SDL_Event e;
    const int got = timeout_ms < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, timeout_ms);
    if (got != 1) return false;
    Translate(e);
    return true;
}

bool Matches(const Message& m, WindowHandle filter, std::uint32_t first, std::uint32_t last) {
    if (filter.value != 0 && m.window != filter) return false;
    if (first == 0 && last == 0) return true;
    return m.message >= first && m.message <= last;
}

// A visible window that needs painting and passes the filter, or null.
WindowRecord* PaintCandidate(WindowHandle filter, std::uint32_t first, std::uint32_t last) {
    if (!(first == 0 && last == 0) && (WM_PAINT < first || WM_PAINT > last)) return nullptr;
    WindowRecord* best = nullptr;
    for (auto& [value, r] : records) {
        if (!r->visible || !r->needsPaint || r->destroying) continue;
        if (filter.value != 0 && r->handle != filter) continue;
        if (best == nullptr || r->handle.value < best->handle.value) best = r.get();
    }
    return best;
}

void SendMinMaxInfo(WindowRecord& r) {
    MinMaxInfo info;
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    info.maxSize = Point{sw, sh};
    info.maxPosition = Point{0, 0};
    info.minTrackSize = Point{1, 1};
    info.maxTrackSize = Point{0x7FFF, 0x7FFF};
    const WindowHandle h = r.handle;
    SendMessage(h, WM_GETMINMAXINFO, 0, reinterpret_cast<LParam>(&info));
    WindowRecord* again = Find(h);
    if (again == nullptr) return;
    if (info.minTrackSize.x > 0 && info.minTrackSize.y > 0)
        SDL_SetWindowMinimumSize(again->sdl, info.minTrackSize.x, info.minTrackSize.y);
    if (info.maxTrackSize.x > 0 && info.maxTrackSize.y > 0)
        SDL_SetWindowMaximumSize(again->sdl, info.maxTrackSize.x, info.maxTrackSize.y);
}

void ShowNow(WindowRecord& r) {
    if (r.visible) return;
    const WindowHandle h = r.handle;
    SendMessage(h, WM_SHOWWINDOW, 1, 0);
    WindowRecord* again = Find(h);
    if (again == nullptr) return;
    SDL_ShowWindow(again->sdl);
    again->visible = true;
    again->needsPaint = again->needsErase = true;
}

void Activate(WindowRecord& r) {
    SDL_RaiseWindow(r.sdl);
    // Without a window manager raising gives no focus; ask the X server for it directly.
    SDL_SetWindowInputFocus(r.sdl);
}

}  // namespace

// =============================================================================================
// [SECTION] Windows
// =============================================================================================

WindowHandle CreateWindow(const WindowDesc& desc) {
    if (!EnsureVideo() || !OnWindowThread()) return WindowHandle{};
    internal::ClassEntry* cls = internal::FindClass(desc.className);
    if (cls == nullptr || desc.width <= 0 || desc.height <= 0) return WindowHandle{};
    if ((desc.style & WS_CHILD) != 0) return WindowHandle{};
    if (desc.parent.value != 0 && Find(desc.parent) == nullptr) return WindowHandle{};

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    const bool caption = (desc.style & WS_CAPTION) == WS_CAPTION;
    const bool sizing = (desc.style & WS_THICKFRAME) != 0;
    if (!caption && !sizing) flags |= SDL_WINDOW_BORDERLESS;
    if (sizing) flags |= SDL_WINDOW_RESIZABLE;
    if ((desc.exStyle & WS_EX_TOOLWINDOW) != 0) flags |= SDL_WINDOW_UTILITY;
    const int x = desc.x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : desc.x;
    const int y = desc.y == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : desc.y;
    const char* title = desc.title ? desc.title : "";
    SDL_Window* sdlWindow = SDL_CreateWindow(title, x, y, desc.width, desc.height, flags);
    // A desktop without OpenGL still gets the window (messages, painting, moving); only a GL
    // device cannot be made on it then.
    if (sdlWindow == nullptr)
        sdlWindow = SDL_CreateWindow(title, x, y, desc.width, desc.height, flags & ~SDL_WINDOW_OPENGL);
    if (sdlWindow == nullptr) return WindowHandle{};
    sdl::DesktopSetClassName(sdlWindow, cls->name.c_str());

    auto record = std::make_unique<WindowRecord>();
    WindowRecord& r = *record;
    r.handle = WindowHandle{nextHandle++};
    r.sdl = sdlWindow;
    r.sdlId = SDL_GetWindowID(sdlWindow);
    r.className = cls->name;
    r.proc = cls->proc;
    r.classStyle = cls->style;
    r.classBackground = cls->background;
    r.owner = desc.parent;
    r.style = desc.style;
    r.exStyle = desc.exStyle;
    r.lastMove = ClientOrigin(r);
    sdl::DesktopPlaceWindow(sdlWindow, r.lastMove.x, r.lastMove.y);
    SDL_GetWindowSize(sdlWindow, &r.lastWidth, &r.lastHeight);
    const WindowHandle h = r.handle;
    ++cls->liveWindows;
    handleOfSdlId[r.sdlId] = h.value;
    records[h.value] = std::move(record);
    {
        std::lock_guard<std::mutex> lock(liveMutex);
        liveHandles.insert(h.value);
    }

    const CreateInfo info{r.className.c_str(), desc.title ? desc.title : "", desc.style,
                          desc.exStyle, desc.x, desc.y, desc.width, desc.height, desc.parent};
    SendMinMaxInfo(r);
    if (Find(h) == nullptr) return WindowHandle{};
    if (SendMessage(h, WM_NCCREATE, 0, reinterpret_cast<LParam>(&info)) == 0 ||
        SendMessage(h, WM_CREATE, 0, reinterpret_cast<LParam>(&info)) == -1) {
        DestroyWindow(h);
        return WindowHandle{};
    }
    if (WindowRecord* again = Find(h)) {
        SendMessage(h, WM_SIZE, SIZE_RESTORED, MakeLParam(again->lastWidth, again->lastHeight));
    }
    if (WindowRecord* again = Find(h)) {
        SendMessage(h, WM_MOVE, 0, MakeLParam(again->lastMove.x, again->lastMove.y));
    }
    if ((desc.style & WS_VISIBLE) != 0 && Find(h) != nullptr) {
        const int command = (desc.style & WS_MINIMIZE)   ? SW_SHOWMINIMIZED
                            : (desc.style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED
                                                         : SW_SHOW;
        ShowWindow(h, command);
    }
    return Find(h) != nullptr ? h : WindowHandle{};
}

bool DestroyWindow(WindowHandle window) {
    WindowRecord* r = Find(window);
    if (r == nullptr) return false;
    if (r->destroying) return true;
    r->destroying = true;

    // Owned windows go first, as on the original platform.
    std::vector<WindowHandle> owned;
    for (auto& [value, other] : records)
        if (other->owner == window && !other->destroying) owned.push_back(other->handle);
    for (WindowHandle o : owned) DestroyWindow(o);

    if ((r = Find(window)) != nullptr && r->visible) {
        SDL_HideWindow(r->sdl);
        r->visible = false;
    }
    SendMessage(window, WM_DESTROY, 0, 0);
    SendMessage(window, WM_NCDESTROY, 0, 0);

    r = Find(window);
    if (r == nullptr) return true;
    std::erase_if(pending, [window](const Message& m) { return m.window == window; });
    internal::DropProperties(window);
    {
        std::lock_guard<std::mutex> lock(liveMutex);
        liveHandles.erase(window.value);
    }
    if (internal::ClassEntry* cls = internal::FindClass(r->className.c_str()))
        --cls->liveWindows;
    handleOfSdlId.erase(r->sdlId);
    SDL_Window* sdlWindow = r->sdl;
    records.erase(window.value);
    sdl::DestroySdlWindow(sdlWindow);
    return true;
}

bool IsWindow(WindowHandle window) {
    if (window.value == 0) return false;
    std::lock_guard<std::mutex> lock(liveMutex);
    return liveHandles.count(window.value) != 0;
}

bool IsWindowVisible(WindowHandle window) {
    const WindowRecord* r = Find(window);
    return r != nullptr && r->visible;
}

WindowHandle GetParent(WindowHandle window) {
    const WindowRecord* r = Find(window);
    return r != nullptr ? r->owner : WindowHandle{};
}

const char* GetClassName(WindowHandle window) {
    const WindowRecord* r = Find(window);
    return r != nullptr ? r->className.c_str() : "";
}

bool SetWindowText(WindowHandle window, const char* text) {
    WindowRecord* r = Find(window);
    if (r == nullptr) return false;
    SDL_SetWindowTitle(r->sdl, text ? text : "");
    return true;
}

bool ShowWindow(WindowHandle window, int command) {
    WindowRecord* r = Find(window);
    if (r == nullptr) return false;
    const bool wasVisible = r->visible;
    if (command == SW_HIDE) {
        if (!r->visible) return false;
        SendMessage(window, WM_SHOWWINDOW, 0, 0);
        if ((r = Find(window)) != nullptr) {
            SDL_HideWindow(r->sdl);
            r->visible = false;
        }
        return wasVisible;
    }
    ShowNow(*r);
    if ((r = Find(window)) == nullptr) return wasVisible;
    const Uint32 flags = SDL_GetWindowFlags(r->sdl);
    const bool sized = (flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_MAXIMIZED)) != 0;
    switch (command) {
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            SDL_MinimizeWindow(r->sdl);
            break;
        case SW_SHOWMAXIMIZED:
            SDL_MaximizeWindow(r->sdl);
            Activate(*r);
            break;
        case SW_SHOWNOACTIVATE:
            if (sized) SDL_RestoreWindow(r->sdl);
            break;
        case SW_SHOWNA:
            break;
        case SW_SHOW:
            Activate(*r);
            break;
        default:  // SW_SHOWNORMAL, SW_RESTORE and unknown commands show normally
            if (sized) SDL_RestoreWindow(r->sdl);
            Activate(*r);
            break;
    }
    return wasVisible;
}

bool IsIconic(WindowHandle window) {
    const WindowRecord* r = Find(window);
    return r != nullptr && (SDL_GetWindowFlags(r->sdl) & SDL_WINDOW_MINIMIZED) != 0;
}

bool IsZoomed(WindowHandle window) {
    const WindowRecord* r = Find(window);
    return r != nullptr && (SDL_GetWindowFlags(r->sdl) & SDL_WINDOW_MAXIMIZED) != 0;
}

// =============================================================================================
// [SECTION] Geometry and activation
// =============================================================================================

bool SetWindowPos(WindowHandle window, WindowHandle /*insertAfter*/, int x, int y, int width,
                  int height, std::uint32_t flags) {
    WindowRecord* r = Find(window);
    if (r == nullptr) return false;
    const Rect b = Borders(*r);
    if ((flags & SWP_NOSIZE) == 0) {
        const int w = width - b.left - b.right, h = height - b.top - b.bottom;
        if (w > 0 && h > 0) {
            SDL_SetWindowSize(r->sdl, w, h);
            int nw = 0, nh = 0;
            SDL_GetWindowSize(r->sdl, &nw, &nh);
            if (nw != r->lastWidth || nh != r->lastHeight) {
                r->lastWidth = nw;
                r->lastHeight = nh;
                r->needsPaint = r->needsErase = true;
                SendMessage(window, WM_SIZE, SIZE_RESTORED, MakeLParam(nw, nh));
                if ((r = Find(window)) == nullptr) return true;
            }
        }
    }
    if ((flags & SWP_NOMOVE) == 0) {
        SDL_SetWindowPosition(r->sdl, x + b.left, y + b.top);
        const Point origin = ClientOrigin(*r);
        sdl::DesktopPlaceWindow(r->sdl, origin.x, origin.y);
        if (origin.x != r->lastMove.x || origin.y != r->lastMove.y) {
            r->lastMove = origin;
            SendMessage(window, WM_MOVE, 0, MakeLParam(origin.x, origin.y));
            if ((r = Find(window)) == nullptr) return true;
        }
    }
    if ((flags & SWP_SHOWWINDOW) != 0) ShowWindow(window, SW_SHOWNA);
    if ((flags & SWP_HIDEWINDOW) != 0) ShowWindow(window, SW_HIDE);
    return true;
}

bool GetWindowRect(WindowHandle window, Rect* out) {
    const WindowRecord* r = Find(window);
    if (r == nullptr || out == nullptr) return false;
    const Point o = ClientOrigin(*r);
    int w = 0, h = 0;
    SDL_GetWindowSize(r->sdl, &w, &h);
    const Rect b = Borders(*r);
    *out = Rect{o.x - b.left, o.y - b.top, o.x + w + b.right, o.y + h + b.bottom};
    return true;
}

bool GetClientRect(WindowHandle window, Rect* out) {
    const WindowRecord* r = Find(window);
    if (r == nullptr || out == nullptr) return false;
    int w = 0, h = 0;
    SDL_GetWindowSize(r->sdl, &w, &h);
    *out = Rect{0, 0, w, h};
    return true;
}

bool ScreenToClient(WindowHandle window, Point* point) {
    const WindowRecord* r = Find(window);
    if (r == nullptr || point == nullptr) return false;
    const Point o = ClientOrigin(*r);
    point->x -= o.x;
    point->y -= o.y;
    return true;
}

bool ClientToScreen(WindowHandle window, Point* point) {
    const WindowRecord* r = Find(window);
    if (r == nullptr || point == nullptr) return false;
    const Point o = ClientOrigin(*r);
    point->x += o.x;
    point->y += o.y;
    return true;
}

bool AdjustWindowRectEx(Rect* rect, std::uint32_t, bool, std::uint32_t) {
    return rect != nullptr;
}

WindowHandle GetActiveWindow() {
    if (!OnWindowThread()) return WindowHandle{};
    SDL_Window* focus = SDL_GetKeyboardFocus();
    if (focus == nullptr) return WindowHandle{};
    const WindowRecord* r = FindBySdlId(SDL_GetWindowID(focus));
    return r != nullptr ? r->handle : WindowHandle{};
}

WindowHandle SetActiveWindow(WindowHandle window) {
    const WindowHandle previous = GetActiveWindow();
    WindowRecord* r = Find(window);
    if (r == nullptr) return WindowHandle{};
    if (r->visible && previous != window) Activate(*r);
    return previous;
}

WindowHandle GetFocus() { return Find(focusWindow) != nullptr ? focusWindow : WindowHandle{}; }

WindowHandle SetFocus(WindowHandle window) {
    const WindowHandle previous = GetActiveWindow();
    if (window.value == 0) return previous;
    return Find(window) != nullptr ? SetActiveWindow(window) : WindowHandle{};
}

// =============================================================================================
// [SECTION] Messages and the queue
// =============================================================================================

bool PostMessage(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    const std::uint32_t type = postEventType.load();
    if (type == 0) return false;
    if (window.value != 0 && !IsWindow(window)) return false;
    SDL_Event e;
    SDL_zero(e);
    e.type = type;
    e.user.windowID = window.value;
    e.user.code = static_cast<Sint32>(message);
    e.user.data1 = reinterpret_cast<void*>(wParam);
    e.user.data2 = reinterpret_cast<void*>(lParam);
    return SDL_PushEvent(&e) == 1;
}

LResult SendMessage(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    WindowRecord* r = Find(window);
    if (r == nullptr) return 0;
    // The focus changes as its messages are delivered, so a window handling WM_ACTIVATE
    // (inactive) still sees itself as the focus, as on the original platform.
    if (message == WM_SETFOCUS) focusWindow = window;
    const LResult result = r->proc(window, message, wParam, lParam);
    if (message == WM_KILLFOCUS && focusWindow == window) focusWindow = WindowHandle{};
    return result;
}

bool PeekMessage(Message* out, WindowHandle filter, std::uint32_t first, std::uint32_t last,
                 std::uint32_t flags) {
    if (out == nullptr || !EnsureVideo() || !OnWindowThread()) return false;
    Pump();
    for (auto it = pending.begin(); it != pending.end(); ++it) {
        if (!Matches(*it, filter, first, last)) continue;
        *out = *it;
        if ((flags & PM_REMOVE) != 0) pending.erase(it);
        return true;
    }
    // WM_PAINT is never queued: it stands for "this window needs painting" and comes only when
    // nothing else waits; it stays until the window is painted (BeginPaint validates it).
    if (WindowRecord* r = PaintCandidate(filter, first, last)) {
        *out = Message{r->handle, WM_PAINT, 0, 0, sys::TickCount(), lastPointer};
        return true;
    }
    return false;
}

bool GetMessage(Message* out, WindowHandle filter, std::uint32_t first, std::uint32_t last) {
    if (out == nullptr || !EnsureVideo() || !OnWindowThread()) return false;
    while (!PeekMessage(out, filter, first, last, PM_REMOVE)) {
        if (terminationRequested) return false;
        WaitAndTranslate(-1);
    }
    return true;
}

bool TerminationRequested() { return terminationRequested; }

bool WaitMessage(int timeout_ms) {
    if (!EnsureVideo() || !OnWindowThread()) return false;
    if (!pending.empty() || PaintCandidate(WindowHandle{}, 0, 0) != nullptr) return true;
    return WaitAndTranslate(timeout_ms);
}

bool TranslateMessage(const Message* msg) {
    return msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN);
}

LResult DispatchMessage(const Message* msg) {
    if (msg == nullptr) return 0;
    return SendMessage(msg->window, msg->message, msg->wParam, msg->lParam);
}

// =============================================================================================
// [SECTION] Default processing and the move loop
// =============================================================================================

LResult DefWindowProc(WindowHandle window, std::uint32_t message, WParam wParam, LParam lParam) {
    WindowRecord* r = Find(window);
    if (r == nullptr) return 0;
    switch (message) {
        case WM_NCCREATE:
            return 1;  // creation goes on
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_NCLBUTTONDOWN:
            if (wParam == static_cast<WParam>(HTCAPTION))
                SendMessage(window, WM_SYSCOMMAND, static_cast<WParam>(SC_MOVE | HTCAPTION),
                            lParam);
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_MOVE: RunMoveLoop(window); break;
                case SC_CLOSE: SendMessage(window, WM_CLOSE, 0, 0); break;
                case SC_MINIMIZE: ShowWindow(window, SW_MINIMIZE); break;
                case SC_MAXIMIZE: ShowWindow(window, SW_SHOWMAXIMIZED); break;
                case SC_RESTORE: ShowWindow(window, SW_RESTORE); break;
                default: break;
            }
            return 0;
        case WM_PAINT: {
            PaintStruct ps;
            BeginPaint(window, &ps);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_ERASEBKGND: {
            if (internal::ColourOfBrush(r->classBackground) < 0) return 0;
            Rect client;
            GetClientRect(window, &client);
            return FillRect(static_cast<DeviceContext>(wParam), &client, r->classBackground) ? 1
                                                                                             : 0;
        }
        default:
            return 0;
    }
}

bool RunMoveLoop(WindowHandle window) {
    if (Find(window) == nullptr) return false;
    Point start;
    if (!GetCursorPos(&start) || !IsLeftButtonDown()) return false;
    // The window follows the pointer from where the button went down: a pointer that moved
    // before the loop began (a slow frame) moves the window too.
    Point at = start;
    if (leftPress) start = *leftPress;
    Rect frame;
    GetWindowRect(window, &frame);
    SendMessage(window, WM_ENTERSIZEMOVE, 0, 0);
    if (at.x != start.x || at.y != start.y)
        SetWindowPos(window, WindowHandle{}, frame.left + at.x - start.x, frame.top + at.y - start.y,
                     0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    bool down = true;
    bool releaseSeen = false;
    // The loop owns the mouse: what SDL saw of it meanwhile is consumed, as the platform's own
    // move loop would. Other events wait in SDL's queue.
    const auto consumeMouse = [&releaseSeen] {
        SDL_PumpEvents();
        SDL_Event e;
        while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_MOUSEMOTION, SDL_MOUSEWHEEL) == 1) {
            if (e.type == SDL_MOUSEBUTTONUP && e.button.button == SDL_BUTTON_LEFT)
                releaseSeen = true;
        }
    };
    while (Find(window) != nullptr) {
        consumeMouse();
        Point now;
        if (!GetCursorPos(&now)) break;
        down = IsLeftButtonDown();
        if (now.x != at.x || now.y != at.y) {
            at = now;
            SetWindowPos(window, WindowHandle{}, frame.left + now.x - start.x,
                         frame.top + now.y - start.y, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (!down) break;
        SDL_Delay(4);
    }
    // The server reports the release to SDL's connection a moment after the pointer query saw
    // it; that event belongs to this loop too.
    for (int waited_ms = 0; !releaseSeen && waited_ms < 200; waited_ms += 2) {
        SDL_Delay(2);
        consumeMouse();
    }
    buttonsDown &= ~SDL_BUTTON_LMASK;
    leftPress.reset();
    std::erase_if(pending, [](const Message& m) {
        return m.message >= WM_MOUSEMOVE && m.message <= WM_MOUSEWHEEL;
    });
    SendMessage(window, WM_EXITSIZEMOVE, 0, 0);
    return true;
}

// =============================================================================================
// [SECTION] Painting
// =============================================================================================

bool RedrawWindow(WindowHandle window, std::uint32_t flags) {
    WindowRecord* r = Find(window);
    if (r == nullptr) return false;
    if ((flags & (RDW_INVALIDATE | RDW_INTERNALPAINT)) != 0) r->needsPaint = true;
    if ((flags & RDW_INVALIDATE) != 0 && (flags & RDW_ERASE) != 0) r->needsErase = true;
    if ((flags & RDW_VALIDATE) != 0) r->needsPaint = r->needsErase = false;
    if ((flags & RDW_ERASENOW) != 0 && r->visible && r->needsErase) {
        r->needsErase = false;
        SendMessage(window, WM_ERASEBKGND, static_cast<DeviceContext>(window.value), 0);
    }
    if ((flags & RDW_UPDATENOW) != 0) UpdateWindow(window);
    return true;
}

bool InvalidateRect(WindowHandle window, bool erase) {
    return RedrawWindow(window, RDW_INVALIDATE | (erase ? RDW_ERASE : 0));
}

bool UpdateWindow(WindowHandle window) {
    WindowRecord* r = Find(window);
    if (r == nullptr) return false;
    if (r->visible && r->needsPaint) SendMessage(window, WM_PAINT, 0, 0);
    return true;
}

DeviceContext BeginPaint(WindowHandle window, PaintStruct* ps) {
    WindowRecord* r = Find(window);
    if (r == nullptr) return 0;
    const bool erase = r->needsErase;
    r->needsPaint = r->needsErase = false;
    PaintStruct result;
    result.dc = static_cast<DeviceContext>(window.value);
    GetClientRect(window, &result.paint);
    if (erase) result.erase = SendMessage(window, WM_ERASEBKGND, result.dc, 0) == 0;
    if (ps != nullptr) *ps = result;
    return result.dc;
}

bool EndPaint(WindowHandle window, const PaintStruct*) { return Find(window) != nullptr; }

DeviceContext GetDC(WindowHandle window) {
    return Find(window) != nullptr ? static_cast<DeviceContext>(window.value) : 0;
}

bool FillRect(DeviceContext dc, const Rect* rect, BrushHandle brush) {
    WindowRecord* r = dc <= 0xFFFFFFFFu ? Find(WindowHandle{static_cast<std::uint32_t>(dc)})
                                        : nullptr;
    const std::int64_t colour = internal::ColourOfBrush(brush);
    if (r == nullptr || rect == nullptr || colour < 0) return false;
    return sdl::DesktopFillClient(r->sdl, rect->left, rect->top, rect->right - rect->left,
                                  rect->bottom - rect->top, static_cast<std::uint32_t>(colour));
}

// =============================================================================================
// [SECTION] Blend animation
// =============================================================================================

namespace {

// The desktop's own opacity where it has one (a page's canvas), else SDL's.
bool SetOpacity(SDL_Window* window, float opacity) {
    return sdl::DesktopSetOpacity(window, opacity) || SDL_SetWindowOpacity(window, opacity) == 0;
}

void RecordFadeStep(float opacity, std::uint32_t at_ms) {
    int i = lastFade.stepCount;
    if (i == FadeRecord::kMaxSteps) i = FadeRecord::kMaxSteps - 1;  // keep the final step
    else ++lastFade.stepCount;
    lastFade.opacity[i] = opacity;
    lastFade.at_ms[i] = at_ms;
}

}  // namespace

bool AnimateWindow(WindowHandle window, std::uint32_t time_ms, std::uint32_t flags) {
    WindowRecord* r = Find(window);
    if (r == nullptr || (flags & AW_BLEND) == 0) return false;
    const bool hide = (flags & AW_HIDE) != 0;
    if (hide != r->visible) return false;  // already hidden, or already shown

    lastFade = FadeRecord{};
    lastFade.window = window;
    lastFade.flags = flags;
    const std::int64_t frequency = sys::PerformanceFrequency();
    const std::int64_t start = sys::PerformanceCounter();
    const auto elapsedMs = [&] {
        return static_cast<std::uint64_t>((sys::PerformanceCounter() - start) * 1000 / frequency);
    };
    lastFade.opacitySupported = SetOpacity(r->sdl, hide ? 1.0f : 0.0f);
    if (!hide) {
        // Show transparent and paint the background, so the fade reveals it, not garbage.
        ShowNow(*r);
        UpdateWindow(window);
    }
    RecordFadeStep(hide ? 1.0f : 0.0f, 0);
    float current = hide ? 1.0f : 0.0f;
    for (;;) {
        if ((r = Find(window)) == nullptr) return false;
        const std::uint64_t elapsed = elapsedMs();
        const float t = time_ms == 0 ? 1.0f
                                     : std::min(1.0f, static_cast<float>(elapsed) /
                                                          static_cast<float>(time_ms));
        const float opacity = hide ? 1.0f - t : t;
        if (elapsed > 0 || time_ms == 0) {
            if (lastFade.opacitySupported) {
                SetOpacity(r->sdl, opacity);
                sdl::DesktopFlush(r->sdl);  // each step reaches the compositor now, not later
            }
            RecordFadeStep(opacity, static_cast<std::uint32_t>(elapsed));
            current = opacity;
        }
        if (elapsed >= time_ms) break;
        // A GL surface's preparation, when its owner left some, uses the wait instead.
        if (sdl::RunGlSurfaceIdleStep(window)) continue;
        if (fadeWaitHook) {
            fadeWaitHook(fadeWaitUser, window, current);
            continue;
        }
        SDL_Delay(static_cast<Uint32>(std::min<std::uint64_t>(10, time_ms - elapsed)));
    }
    sdl::DropGlSurfaceIdleWork(window);
    if (hide) {
        ShowWindow(window, SW_HIDE);
        if ((r = Find(window)) != nullptr && lastFade.opacitySupported) {
            SetOpacity(r->sdl, 1.0f);
            sdl::DesktopFlush(r->sdl);
        }
    } else if ((flags & AW_ACTIVATE) != 0) {
        if ((r = Find(window)) != nullptr) Activate(*r);
    }
    lastFade.elapsed_ms = static_cast<std::uint32_t>(elapsedMs());
    return true;
}

const FadeRecord& LastFade() { return lastFade; }

void SetFadeWaitHook(FadeWaitHook hook, void* user) {
    fadeWaitHook = hook;
    fadeWaitUser = user;
}

// =============================================================================================
// [SECTION] Cursor, screen, message box
// =============================================================================================

bool GetCursorPos(Point* out) {
    if (out == nullptr || !EnsureVideo()) return false;
    bool left = false;
    if (sdl::DesktopQueryPointer(&out->x, &out->y, &left)) return true;
    SDL_GetGlobalMouseState(&out->x, &out->y);
    return true;
}

bool SetCursorPos(int x, int y) {
    if (!EnsureVideo()) return false;
    return SDL_WarpMouseGlobal(x, y) == 0;
}

bool IsLeftButtonDown() {
    if (!EnsureVideo()) return false;
    int x = 0, y = 0;
    bool left = false;
    if (sdl::DesktopQueryPointer(&x, &y, &left)) return left;
    return (SDL_GetGlobalMouseState(&x, &y) & SDL_BUTTON_LMASK) != 0;
}

int GetSystemMetrics(int index) {
    if ((index != SM_CXSCREEN && index != SM_CYSCREEN) || !EnsureVideo()) return 0;
    int width = 0, height = 0;
    if (sdl::DesktopScreenSize(&width, &height)) return index == SM_CXSCREEN ? width : height;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 0;
    return index == SM_CXSCREEN ? mode.w : mode.h;
}

int DisplayRefreshRate(WindowHandle window) {
    constexpr int kUnknownRate = 60;
    if (!EnsureVideo()) return kUnknownRate;
    int display = 0;
    if (const WindowRecord* r = Find(window)) display = std::max(0, SDL_GetWindowDisplayIndex(r->sdl));
    SDL_DisplayMode mode;
    // Windows reports 0 or 1 for "the hardware's default rate", and SDL passes either on.
    if (SDL_GetCurrentDisplayMode(display, &mode) != 0 || mode.refresh_rate <= 1)
        return kUnknownRate;
    return mode.refresh_rate;
}

bool GetCurrentDisplayMode(DisplayMode* out) {
    if (out == nullptr || !EnsureVideo()) return false;
    SDL_DisplayMode mode;
    if (SDL_GetCurrentDisplayMode(0, &mode) != 0) return false;
    out->width = mode.w;
    out->height = mode.h;
    sdl::DesktopScreenSize(&out->width, &out->height);
    out->refresh_hz = std::max(0, mode.refresh_rate);
    out->bits_per_pixel = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
    return true;
}

namespace internal {

int ShowPlatformMessageBox(WindowHandle owner, const char* text, const char* caption,
                           std::uint32_t type) {
    SDL_MessageBoxButtonData buttons[2];
    int count = 0;
    switch (type & 0xF) {
        case MB_OKCANCEL:
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDOK, "OK"};
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDCANCEL, "Cancel"};
            break;
        case MB_YESNO:
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"};
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"};
            break;
        default:
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT |
                                    SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                                IDOK, "OK"};
            break;
    }
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if ((type & 0xF0) == MB_ICONERROR) flags = SDL_MESSAGEBOX_ERROR;
    else if ((type & 0xF0) == MB_ICONWARNING) flags = SDL_MESSAGEBOX_WARNING;
    const WindowRecord* r = Find(owner);
    const SDL_MessageBoxData data{flags, r != nullptr ? r->sdl : nullptr, caption, text,
                                  count, buttons, nullptr};
    int chosen = 0;
    if (sdl::DesktopRunMessageBox(data, &chosen, KeepShowingMessageBox)) return std::max(chosen, 0);
    if (SDL_ShowMessageBox(&data, &chosen) != 0 || chosen < 0) return 0;
    return chosen;
}

}  // namespace internal

// =============================================================================================
// The SDL window behind a handle, for this backend's other files
// =============================================================================================

namespace sdl {

SDL_Window* SdlWindowOf(WindowHandle window) {
    const WindowRecord* r = Find(window);
    return r != nullptr ? r->sdl : nullptr;
}

WindowHandle HandleOfSdlWindow(SDL_Window* window) {
    if (window == nullptr || !OnWindowThread()) return WindowHandle{};
    const WindowRecord* r = FindBySdlId(SDL_GetWindowID(window));
    return r != nullptr ? r->handle : WindowHandle{};
}

}  // namespace sdl
}  // namespace platform::window
