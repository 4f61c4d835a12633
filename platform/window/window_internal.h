// platform/window/window_internal.h: the registries shared by the window core and its backend.
//
// The core (window.cpp) keeps what needs no desktop: classes, properties, registered message
// numbers, brushes and the message-box hook. The backend (sdl/window_sdl.cpp) keeps the
// windows and the queue and calls in here. For the module and its tests only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window/window.h"

namespace platform::window::internal {

// A registered class as the backend sees it. "liveWindows" counts the windows made of it, so
// a class in use cannot be unregistered.
struct ClassEntry {
    std::string name;
    std::uint32_t style = 0;
    WindowProc proc = nullptr;
    BrushHandle background;
    int liveWindows = 0;
};

// The class of that name (case-insensitive), or null.
ClassEntry* FindClass(const char* name);

// Drops every property of a window that is being destroyed.
void DropProperties(WindowHandle window);

// The colour (0x00BBGGRR) of a solid, stock or system-colour brush; -1 for none or unknown.
std::int64_t ColourOfBrush(BrushHandle brush);

// The backend's own box: shows "text" modally and returns the button chosen, or 0.
int ShowPlatformMessageBox(WindowHandle owner, const char* text, const char* caption,
                           std::uint32_t type);

// Case-insensitive comparison of two ASCII names; null counts as empty.
bool NamesEqual(const char* a, const char* b);

}  // namespace platform::window::internal
