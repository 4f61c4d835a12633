// platform/window/sdl/web_desktop.cpp: the desktop services of desktop.h in a browser page.
//
// The window is the page's canvas (the page hands it over as Module.canvas) and the screen is
// the page's visible area: placing the window places the canvas (fixed, in CSS pixels), its
// opacity is the canvas's, and the pointer is what the page's mouse events last said. GL
// contexts are WebGL 2 (OpenGL ES 3.0). A swap of one yields to the browser, which shows the
// frame, and resumes at the page's next animation frame (interval 1), so the blocking frame
// loop above keeps the display's pace without ever holding the page.
#include <emscripten.h>

#include "platform/window/sdl/desktop.h"

namespace platform::window::sdl {
namespace {

// Listens to the page's mouse once, before SDL's own handlers can stop an event.
EM_JS(int, WebHasCanvas, (), {
    if (!Module['canvas']) return 0;
    if (!Module['introPointer']) {
        var pointer = {x : 0, y : 0, buttons : 0};
        var note = function(e) {
            pointer.x = e.clientX;
            pointer.y = e.clientY;
            pointer.buttons = e.buttons;
        };
        window.addEventListener('mousemove', note, true);
        window.addEventListener('mousedown', note, true);
        window.addEventListener('mouseup', note, true);
        Module['introPointer'] = pointer;
    }
    return 1;
});

EM_JS(void, WebPointer, (int* out), {
    var p = Module['introPointer'];
    HEAP32[out >> 2] = p.x;
    HEAP32[(out >> 2) + 1] = p.y;
    HEAP32[(out >> 2) + 2] = p.buttons & 1;
});

EM_JS(void, WebScreenSize, (int* out), {
    HEAP32[out >> 2] = window.innerWidth;
    HEAP32[(out >> 2) + 1] = window.innerHeight;
});

EM_JS(void, WebPlaceCanvas, (int x, int y), {
    var style = Module['canvas'].style;
    style.position = 'fixed';
    style.left = x + 'px';
    style.top = y + 'px';
});

EM_JS(void, WebCanvasOpacity, (float opacity), {
    Module['canvas'].style.opacity = String(opacity);
});

EM_JS(void, WebCanvasBackground, (int r, int g, int b), {
    Module['canvas'].style.backgroundColor = 'rgb(' + r + ',' + g + ',' + b + ')';
});

EM_JS(void, WebCanvasClass, (const char* name), {
    Module['canvas'].dataset.windowClass = UTF8ToString(name);
});

// Control goes back to the browser, which shows what the context drew; the call returns at
// the page's next animation frame, or at once (after the browser's turn) for interval 0.
EM_ASYNC_JS(void, WebYieldFrame, (int wait_for_frame), {
    await new Promise(function(resolve) {
        if (wait_for_frame) requestAnimationFrame(function() { resolve(); });
        else setTimeout(resolve, 0);
    });
});

int swapInterval = 1;

// The page's message box (DesktopRunMessageBox): an element over the page, its choice kept in
// Module.introBox until the box closes.
constexpr int kBoxOpen = -2;

EM_JS(void, WebBoxOpen, (const char* caption, const char* text), {
    var box = document.createElement('div');
    box.id = 'intro-box';
    box.setAttribute('role', 'alertdialog');
    box.style.cssText = 'position:fixed;left:50%;top:40%;transform:translate(-50%,-50%);' +
                        'background:#222;color:#eee;font:14px sans-serif;padding:16px 20px;' +
                        'border:1px solid #666;white-space:pre-line;z-index:10';
    var title = document.createElement('div');
    title.style.fontWeight = 'bold';
    title.textContent = UTF8ToString(caption);
    var body = document.createElement('p');
    body.textContent = UTF8ToString(text);
    var row = document.createElement('div');
    box.appendChild(title);
    box.appendChild(body);
    box.appendChild(row);
    document.body.appendChild(box);
    var state = {box : box, row : row, choice : -2, onReturn : -2, onEscape : -2};
    state.keys = function(e) {
        if (e.key === 'Enter' && state.onReturn !== -2) state.choice = state.onReturn;
        if (e.key === 'Escape' && state.onEscape !== -2) state.choice = state.onEscape;
    };
    window.addEventListener('keydown', state.keys, true);
    Module['introBox'] = state;
});

EM_JS(void, WebBoxButton, (const char* label, int id, int on_return, int on_escape), {
    var state = Module['introBox'];
    var button = document.createElement('button');
    button.textContent = UTF8ToString(label);
    button.onclick = function() { state.choice = id; };
    state.row.appendChild(button);
    if (on_return) state.onReturn = id;
    if (on_escape) state.onEscape = id;
});

EM_JS(int, WebBoxChoice, (), { return Module['introBox'].choice; });

EM_JS(void, WebBoxClose, (), {
    var state = Module['introBox'];
    window.removeEventListener('keydown', state.keys, true);
    state.box.remove();
    delete Module['introBox'];
});

}  // namespace

bool DesktopFillClient(SDL_Window* window, int /*x*/, int /*y*/, int /*width*/, int /*height*/,
                       std::uint32_t colour) {
    if (window == nullptr || !WebHasCanvas()) return false;
    WebCanvasBackground(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                        static_cast<int>((colour >> 16) & 0xFF));
    return true;
}

bool DesktopSetClassName(SDL_Window* window, const char* name) {
    if (window == nullptr || name == nullptr || !WebHasCanvas()) return false;
    WebCanvasClass(name);
    return true;
}

bool DesktopFlush(SDL_Window* window) { return window != nullptr && WebHasCanvas(); }

bool DesktopQueryPointer(int* x, int* y, bool* leftDown) {
    if (!WebHasCanvas()) return false;
    int p[3] = {};
    WebPointer(p);
    *x = p[0];
    *y = p[1];
    *leftDown = p[2] != 0;
    return true;
}

bool DesktopScreenSize(int* width, int* height) {
    if (!WebHasCanvas()) return false;
    int size[2] = {};
    WebScreenSize(size);
    *width = size[0];
    *height = size[1];
    return true;
}

bool DesktopPlaceWindow(SDL_Window* window, int x, int y) {
    if (window == nullptr || !WebHasCanvas()) return false;
    WebPlaceCanvas(x, y);
    return true;
}

bool DesktopSetOpacity(SDL_Window* window, float opacity) {
    if (window == nullptr || !WebHasCanvas()) return false;
    WebCanvasOpacity(opacity < 0.0f ? 0.0f : opacity > 1.0f ? 1.0f : opacity);
    return true;
}

// A box of the page's own: the text and a row of buttons over the page. Enter and Escape
// choose the buttons SDL marks for them.
bool DesktopRunMessageBox(const SDL_MessageBoxData& data, int* chosen, bool (*keepWaiting)()) {
    if (!WebHasCanvas() || data.numbuttons < 0) return false;
    WebBoxOpen(data.title ? data.title : "", data.message ? data.message : "");
    for (int i = 0; i < data.numbuttons; ++i) {
        const SDL_MessageBoxButtonData& b = data.buttons[i];
        WebBoxButton(b.text ? b.text : "", b.buttonid,
                     (b.flags & SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT) != 0,
                     (b.flags & SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT) != 0);
    }
    int choice = kBoxOpen;
    while ((choice = WebBoxChoice()) == kBoxOpen && keepWaiting()) emscripten_sleep(20);
    WebBoxClose();
    *chosen = choice == kBoxOpen ? -1 : choice;
    return true;
}

bool DesktopGlIsEs() { return true; }

bool DesktopSetSwapInterval(int interval) {
    if (interval < 0) return false;
    swapInterval = interval;
    return true;
}

bool DesktopGetSwapInterval(int* interval) {
    *interval = swapInterval;
    return true;
}

bool DesktopPresent(SDL_Window* window) {
    if (window == nullptr) return false;
    WebYieldFrame(swapInterval > 0 ? 1 : 0);
    return true;
}

}  // namespace platform::window::sdl
