// platform/window/sdl/x11_message_box.cpp: a modal message box drawn with Xlib on a connection
// of its own.
//
// SDL's X11 message box runs in a child process that the caller waits for without a way out:
// a termination request during the box was lost, and killing the program left the box behind.
// This box lives in the calling thread: it waits on its own connection's events with a short
// timeout, asks the caller whether to go on between events, takes the keyboard focus when it
// is mapped, and on leaving gives the focus back to its owner.
#include "platform/window/sdl/desktop.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace platform::window::sdl {
namespace {

constexpr int kPad = 16;           // around the text and below the buttons
constexpr int kGap = 8;            // between buttons
constexpr int kMaxTextWidth = 560;
constexpr int kMinButtonWidth = 80;
constexpr int kPollMs = 20;        // how often the caller is asked whether to go on

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

::Window OwnerXWindow(SDL_Window* window) {
    if (window == nullptr) return 0;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return 0;
    return info.info.x11.window;
}

// Splits the message into lines: at its own line breaks, and between words where a line would
// be wider than kMaxTextWidth (a word wider than that stays whole).
std::vector<std::string> WrapText(XFontStruct* font, const char* text) {
    std::vector<std::string> lines;
    const auto width = [font](const std::string& s) {
        return XTextWidth(font, s.data(), static_cast<int>(s.size()));
    };
    std::string paragraph;
    const auto flush = [&] {
        std::string line;
        std::size_t at = 0;
        while (at <= paragraph.size()) {
            std::size_t end = paragraph.find(' ', at);
            if (end == std::string::npos) end = paragraph.size();
            const std::string word = paragraph.substr(at, end - at);
            const std::string joined = line.empty() ? word : line + ' ' + word;
            if (!line.empty() && width(joined) > kMaxTextWidth) {
                lines.push_back(line);
                line = word;
            } else {
                line = joined;
            }
            at = end + 1;
        }
        lines.push_back(line);
        paragraph.clear();
    };
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n') flush();
        else if (*p != '\r') paragraph += *p == '\t' ? ' ' : *p;
    }
    flush();
    return lines;
}

struct Button {
    int x, y, width, height;
    const SDL_MessageBoxButtonData* data;
};

struct Box {
    Display* display = nullptr;
    ::Window window = 0;
    ::Window owner = 0;
    XFontStruct* font = nullptr;
    GC gc = nullptr;
    std::vector<std::string> lines;
    std::vector<Button> buttons;
    int lineHeight = 0;
    int width = 0, height = 0;
    int highlighted = 0;  // the button Return chooses
    bool focused = false;

    void Draw() {
        XClearWindow(display, window);
        int y = kPad + font->ascent;
        for (const std::string& line : lines) {
            XDrawString(display, window, gc, kPad, y, line.data(), static_cast<int>(line.size()));
            y += lineHeight;
        }
        for (int i = 0; i < static_cast<int>(buttons.size()); ++i) {
            const Button& b = buttons[static_cast<std::size_t>(i)];
            XDrawRectangle(display, window, gc, b.x, b.y, static_cast<unsigned>(b.width - 1),
                           static_cast<unsigned>(b.height - 1));
            if (i == highlighted)
                XDrawRectangle(display, window, gc, b.x + 2, b.y + 2, static_cast<unsigned>(b.width - 5),
                               static_cast<unsigned>(b.height - 5));
            const char* label = b.data->text != nullptr ? b.data->text : "";
            const int labelWidth = XTextWidth(font, label, static_cast<int>(std::strlen(label)));
            XDrawString(display, window, gc, b.x + (b.width - labelWidth) / 2,
                        b.y + (b.height + font->ascent - font->descent) / 2, label,
                        static_cast<int>(std::strlen(label)));
        }
        XFlush(display);
    }

    // The button whose flags include "flag", or -1.
    int ButtonWith(Uint32 flag) const {
        for (std::size_t i = 0; i < buttons.size(); ++i)
            if (buttons[i].data->flags & flag) return static_cast<int>(i);
        return -1;
    }
};

void Layout(Box& box, const SDL_MessageBoxData& data) {
    XFontStruct* font = box.font;
    box.lines = WrapText(font, data.message != nullptr ? data.message : "");
    box.lineHeight = font->ascent + font->descent + 2;
    int textWidth = 0;
    for (const std::string& line : box.lines)
        textWidth = std::max(textWidth, XTextWidth(font, line.data(), static_cast<int>(line.size())));
    const int buttonHeight = box.lineHeight + 12;
    int buttonsWidth = 0;
    for (int i = 0; i < data.numbuttons; ++i) {
        const char* label = data.buttons[i].text != nullptr ? data.buttons[i].text : "";
        const int w = std::max(kMinButtonWidth, XTextWidth(font, label, static_cast<int>(std::strlen(label))) + 24);
        box.buttons.push_back(Button{0, 0, w, buttonHeight, &data.buttons[i]});
        buttonsWidth += w + (i > 0 ? kGap : 0);
    }
    box.width = std::max({textWidth, buttonsWidth, 200}) + 2 * kPad;
    const int textHeight = static_cast<int>(box.lines.size()) * box.lineHeight;
    box.height = kPad + textHeight + kPad + buttonHeight + kPad;
    // Buttons right-aligned along the bottom, in the order given.
    int x = box.width - kPad - buttonsWidth;
    for (Button& b : box.buttons) {
        b.x = x;
        b.y = box.height - kPad - buttonHeight;
        x += b.width + kGap;
    }
    box.highlighted = std::max(0, box.ButtonWith(SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT));
}

// Centres the box over its owner, or over the screen without one.
void Place(const Box& box, int* x, int* y) {
    Display* d = box.display;
    const int screen = DefaultScreen(d);
    int cx = DisplayWidth(d, screen) / 2, cy = DisplayHeight(d, screen) / 2;
    XWindowAttributes owner;
    ::Window child = 0;
    int ox = 0, oy = 0;
    if (box.owner != 0 && XGetWindowAttributes(d, box.owner, &owner) && owner.map_state == IsViewable &&
        XTranslateCoordinates(d, box.owner, DefaultRootWindow(d), 0, 0, &ox, &oy, &child)) {
        cx = ox + owner.width / 2;
        cy = oy + owner.height / 2;
    }
    *x = std::max(0, cx - box.width / 2);
    *y = std::max(0, cy - box.height / 2);
}

bool CreateWindow(Box& box, const SDL_MessageBoxData& data) {
    Display* d = box.display;
    const int screen = DefaultScreen(d);
    int x = 0, y = 0;
    Place(box, &x, &y);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = WhitePixel(d, screen);
    attributes.border_pixel = BlackPixel(d, screen);
    attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                            StructureNotifyMask | FocusChangeMask;
    box.window = XCreateWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(box.width),
                               static_cast<unsigned>(box.height), 1, CopyFromParent, InputOutput,
                               CopyFromParent, CWBackPixel | CWBorderPixel | CWEventMask, &attributes);
    if (box.window == 0) return false;

    const char* title = data.title != nullptr ? data.title : "";
    XStoreName(d, box.window, title);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    XChangeProperty(d, box.window, XInternAtom(d, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), static_cast<int>(std::strlen(title)));
    const Atom type = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(d, box.window, XInternAtom(d, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&type), 1);
    if (box.owner != 0) XSetTransientForHint(d, box.window, box.owner);
    Atom deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d, box.window, &deleteWindow, 1);
    XSizeHints* size = XAllocSizeHints();
    if (size != nullptr) {
        size->flags = PPosition | PMinSize | PMaxSize;
        size->x = x;
        size->y = y;
        size->min_width = size->max_width = box.width;
        size->min_height = size->max_height = box.height;
        XSetWMNormalHints(d, box.window, size);
        XFree(size);
    }
    XWMHints* hints = XAllocWMHints();
    if (hints != nullptr) {
        hints->flags = InputHint;
        hints->input = True;
        XSetWMHints(d, box.window, hints);
        XFree(hints);
    }
    box.gc = XCreateGC(d, box.window, 0, nullptr);
    if (box.gc == nullptr) return false;
    XSetForeground(d, box.gc, BlackPixel(d, screen));
    XSetFont(d, box.gc, box.font->fid);
    XMapRaised(d, box.window);
    XFlush(d);
    return true;
}

// Gives "window" the keyboard focus; a window that is not (or no longer) viewable is skipped.
void Focus(Display* d, ::Window window) {
    XWindowAttributes attributes;
    XErrorHandler previous = XSetErrorHandler(IgnoreXErrors);
    if (XGetWindowAttributes(d, window, &attributes) && attributes.map_state == IsViewable)
        XSetInputFocus(d, window, RevertToPointerRoot, CurrentTime);
    XSync(d, False);
    XSetErrorHandler(previous);
}

// Handles one event; answers the chosen button's index, -1 for none yet, -2 for a close.
int HandleEvent(Box& box, const XEvent& e) {
    switch (e.type) {
        case Expose:
            if (e.xexpose.count == 0) box.Draw();
            break;
        case MapNotify:
            Focus(box.display, box.window);
            break;
        case FocusIn:
            box.focused = true;
            break;
        case KeyPress: {
            const KeySym key = XLookupKeysym(const_cast<XKeyEvent*>(&e.xkey), 0);
            const int count = static_cast<int>(box.buttons.size());
            if (key == XK_Return || key == XK_KP_Enter || key == XK_space) return box.highlighted;
            if (key == XK_Escape) {
                const int escape = box.ButtonWith(SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT);
                if (escape >= 0) return escape;
            }
            if (count > 1 && (key == XK_Tab || key == XK_Right || key == XK_Left || key == XK_ISO_Left_Tab)) {
                const int step = (key == XK_Left || key == XK_ISO_Left_Tab) ? count - 1 : 1;
                box.highlighted = (box.highlighted + step) % count;
                box.Draw();
            }
            break;
        }
        case ButtonRelease:
            if (e.xbutton.button != Button1) break;
            for (std::size_t i = 0; i < box.buttons.size(); ++i) {
                const Button& b = box.buttons[i];
                if (e.xbutton.x >= b.x && e.xbutton.x < b.x + b.width && e.xbutton.y >= b.y &&
                    e.xbutton.y < b.y + b.height)
                    return static_cast<int>(i);
            }
            break;
        case ClientMessage:
            return -2;  // the window manager's close (WM_DELETE_WINDOW is the only protocol)
        default:
            break;
    }
    return -1;
}

}  // namespace

bool DesktopRunMessageBox(const SDL_MessageBoxData& data, int* chosen, bool (*keepWaiting)()) {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (chosen == nullptr || driver == nullptr || std::strcmp(driver, "x11") != 0) return false;
    Box box;
    box.display = XOpenDisplay(nullptr);
    if (box.display == nullptr) return false;
    box.font = XLoadQueryFont(box.display, "-misc-fixed-medium-r-normal--13-*-*-*-*-*-iso8859-1");
    if (box.font == nullptr) box.font = XLoadQueryFont(box.display, "fixed");
    if (box.font == nullptr) {
        XCloseDisplay(box.display);
        return false;
    }
    box.owner = OwnerXWindow(data.window);
    Layout(box, data);
    *chosen = -1;
    if (CreateWindow(box, data)) {
        const int fd = ConnectionNumber(box.display);
        int result = -1;  // a button's index, -2 for a close, -1 while none
        for (;;) {
            while (result == -1 && XPending(box.display) > 0) {
                XEvent e;
                XNextEvent(box.display, &e);
                result = HandleEvent(box, e);
            }
            if (result != -1) break;
            if (keepWaiting != nullptr && !keepWaiting()) break;  // given up: no button
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, kPollMs);
        }
        if (result >= 0) {
            *chosen = box.buttons[static_cast<std::size_t>(result)].data->buttonid;
        } else if (result == -2) {  // closed by the window manager: as Escape
            const int escape = box.ButtonWith(SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT);
            if (escape >= 0) *chosen = box.buttons[static_cast<std::size_t>(escape)].data->buttonid;
        }
        XDestroyWindow(box.display, box.window);
        if (box.focused && box.owner != 0) Focus(box.display, box.owner);
    }
    if (box.gc != nullptr) XFreeGC(box.display, box.gc);
    XFreeFont(box.display, box.font);
    XCloseDisplay(box.display);
    return true;
}

}  // namespace platform::window::sdl
