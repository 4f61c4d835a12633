// platform/window/sdl/gl_surface_sdl.cpp: GL surfaces (gl_surface.h) as SDL GL contexts.
//
// A surface pairs an SDL window with an SDL GL context. DestroyWindow hands its SDL window to
// DestroySdlWindow, which keeps it (hidden) while a surface still uses it, so a context is
// never left on a freed window and the backend can still release its GL objects.
#include <SDL.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "platform/window/gl_surface.h"
#include "platform/window/sdl/desktop.h"
#include "platform/window/sdl/window_sdl.h"

namespace platform::window {
namespace {

struct SurfaceRecord {
    SDL_Window* sdl = nullptr;
    SDL_GLContext context = nullptr;
    WindowHandle window;  // 0 once the window is destroyed
    GlSurfaceIdleStep idleStep = nullptr;
    void* idleUser = nullptr;
};

// Surfaces are looked up from whichever thread uses the context, hence the lock.
std::mutex surfaceMutex;
std::unordered_map<std::uint32_t, SurfaceRecord> surfaces;
std::uint32_t nextSurface = 1;

bool Lookup(GlSurface surface, SurfaceRecord* out) {
    std::lock_guard<std::mutex> lock(surfaceMutex);
    auto it = surfaces.find(surface.value);
    if (it == surfaces.end()) return false;
    *out = it->second;
    return true;
}

bool InUse(SDL_Window* sdl) {
    return std::any_of(surfaces.begin(), surfaces.end(),
                       [sdl](const auto& entry) { return entry.second.sdl == sdl; });
}

}  // namespace

GlSurface CreateGlSurface(WindowHandle window, const GlSurfaceDesc& desc) {
    SDL_Window* sdl = sdl::SdlWindowOf(window);
    if (sdl == nullptr || (SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL) == 0) return GlSurface{};
    const bool defaultVersion = desc.major_version <= 0;
    if (sdl::DesktopGlIsEs()) {
        // OpenGL ES 3.0 offers what desktop 3.x does for this layer's users (gl_api.h).
        if (!defaultVersion && desc.major_version != 3) return GlSurface{};
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    } else {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, defaultVersion ? 3 : desc.major_version);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, defaultVersion ? 3 : desc.minor_version);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, desc.core_profile
                                                             ? SDL_GL_CONTEXT_PROFILE_CORE
                                                             : SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, desc.double_buffer ? 1 : 0);
    SDL_GLContext context = SDL_GL_CreateContext(sdl);  // current on success
    if (context == nullptr) return GlSurface{};
    std::lock_guard<std::mutex> lock(surfaceMutex);
    const GlSurface surface{nextSurface++};
    surfaces[surface.value] = SurfaceRecord{sdl, context, window};
    return surface;
}

void DestroyGlSurface(GlSurface surface) {
    SDL_Window* orphan = nullptr;
    SDL_GLContext context = nullptr;
    {
        std::lock_guard<std::mutex> lock(surfaceMutex);
        auto it = surfaces.find(surface.value);
        if (it == surfaces.end()) return;
        context = it->second.context;
        SDL_Window* sdl = it->second.sdl;
        const bool windowGone = !it->second.window;
        surfaces.erase(it);
        if (windowGone && !InUse(sdl)) orphan = sdl;
    }
    if (SDL_GL_GetCurrentContext() == context) SDL_GL_MakeCurrent(nullptr, nullptr);
    SDL_GL_DeleteContext(context);
    if (orphan != nullptr) SDL_DestroyWindow(orphan);
}

bool MakeGlSurfaceCurrent(GlSurface surface) {
    SurfaceRecord r;
    return Lookup(surface, &r) && SDL_GL_MakeCurrent(r.sdl, r.context) == 0;
}

bool SwapGlSurface(GlSurface surface) {
    SurfaceRecord r;
    if (!Lookup(surface, &r) || !r.window) return false;
    if (!sdl::DesktopPresent(r.sdl)) SDL_GL_SwapWindow(r.sdl);
    return true;
}

bool SetGlSwapInterval(int interval) {
    return sdl::DesktopSetSwapInterval(interval) || SDL_GL_SetSwapInterval(interval) == 0;
}

int GetGlSwapInterval() {
    int interval = 0;
    return sdl::DesktopGetSwapInterval(&interval) ? interval : SDL_GL_GetSwapInterval();
}

bool GetGlDrawableSize(GlSurface surface, int* width, int* height) {
    SurfaceRecord r;
    if (width == nullptr || height == nullptr || !Lookup(surface, &r) || !r.window) return false;
    SDL_GL_GetDrawableSize(r.sdl, width, height);
    return true;
}

WindowHandle GlSurfaceWindow(GlSurface surface) {
    SurfaceRecord r;
    return Lookup(surface, &r) ? r.window : WindowHandle{};
}

void SetGlSurfaceIdleWork(GlSurface surface, GlSurfaceIdleStep step, void* user) {
    std::lock_guard<std::mutex> lock(surfaceMutex);
    auto it = surfaces.find(surface.value);
    if (it == surfaces.end()) return;
    it->second.idleStep = step;
    it->second.idleUser = step ? user : nullptr;
}

namespace sdl {

bool RunGlSurfaceIdleStep(WindowHandle window) {
    GlSurface surface;
    GlSurfaceIdleStep step = nullptr;
    void* user = nullptr;
    {
        std::lock_guard<std::mutex> lock(surfaceMutex);
        for (const auto& [value, r] : surfaces) {
            if (r.window != window || r.idleStep == nullptr) continue;
            surface = GlSurface{value};
            step = r.idleStep;
            user = r.idleUser;
            break;
        }
    }
    if (step == nullptr) return false;
    // The step runs unlocked: it makes its context current and may look surfaces up.
    if (step(user)) return true;
    std::lock_guard<std::mutex> lock(surfaceMutex);
    auto it = surfaces.find(surface.value);
    if (it != surfaces.end() && it->second.idleStep == step) it->second.idleStep = nullptr;
    return true;
}

void DropGlSurfaceIdleWork(WindowHandle window) {
    std::lock_guard<std::mutex> lock(surfaceMutex);
    for (auto& [value, r] : surfaces) {
        if (r.window == window) r.idleStep = nullptr;
    }
}

void DestroySdlWindow(SDL_Window* window) {
    {
        std::lock_guard<std::mutex> lock(surfaceMutex);
        bool used = false;
        for (auto& [value, r] : surfaces) {
            if (r.sdl != window) continue;
            r.window = WindowHandle{};
            used = true;
        }
        if (used) return;  // the last DestroyGlSurface frees it
    }
    SDL_DestroyWindow(window);
}

}  // namespace sdl
}  // namespace platform::window
