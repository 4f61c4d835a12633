// runtime/display.cpp: the display library's start-up: graphics factory, mode count, table.
#include "runtime/display.h"

#include "platform/gfx/gfx.h"

namespace runtime {

namespace {

namespace gfx = platform::gfx;

gfx::IDirect3D9* g_factory = nullptr;
ObjectTable* g_table = nullptr;
std::int32_t g_modes = 0;

// Releases what a display record holds, then its number.
void FreeDisplay(ObjectNumber number) {
    if (!g_table) return;
    auto* record = static_cast<DisplayRecord*>(LookupObject(g_table, number));
    if (record && record->surface) static_cast<gfx::IUnknown*>(record->surface)->Release();
    ReleaseObject(g_table, number);
}

// The graphics layer offers the desktop's own mode only: it counts when its format is one the
// display library can draw in.
std::int32_t CountModes(gfx::IDirect3D9* factory) {
    std::int32_t count = 0;
    for (gfx::UINT adapter = 0; adapter < factory->GetAdapterCount() && adapter < 1; ++adapter) {
        gfx::D3DDISPLAYMODE mode;
        if (factory->GetAdapterDisplayMode(adapter, &mode) != gfx::D3D_OK) continue;
        if (mode.Format == gfx::D3DFMT_X1R5G5B5 || mode.Format == gfx::D3DFMT_R5G6B5 ||
            mode.Format == gfx::D3DFMT_X8R8G8B8)
            ++count;
    }
    return count;
}

}  // namespace

void StartDisplayLibrary() {
    if (g_factory) return;
    g_factory = gfx::Direct3DCreate9(gfx::D3D_SDK_VERSION);
    if (!g_factory) return;
    g_modes = CountModes(g_factory);
    if (g_modes > 0) {
        g_table = CreateObjectTable(sizeof(DisplayRecord), kDisplayTableCapacity, FreeDisplay);
    } else {
        g_factory->Release();
        g_factory = nullptr;
    }
}

ObjectTable* DisplayTable() { return g_table; }
std::int32_t DisplayModeCount() { return g_modes; }

}  // namespace runtime
