// engine/world.cpp: the world pass that opens every frame's drawing.
//
// No operation of this system creates cameras, entities, lights, meshes, a sky box or
// emitters, so the 3D stages draw nothing; their render-state changes remain, and the pass
// leaves the clear colour with the 2D items queued before it.

#include "engine/box.h"
#include "engine/engine.h"
#include "engine/sprite.h"
#include "engine/state_internal.h"

namespace engine {

namespace gfx = platform::gfx;

void RenderWorld() {
    gfx::IDirect3DDevice9* d = deviceState.device;
    // A lost device draws nothing until a reset succeeds; queued items wait for the frame end.
    if (d == nullptr || deviceState.lastPresentResult != 0) return;
    d->Clear(0, nullptr, gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, deviceState.clearColour, 1.0f, 0);
    d->BeginScene();

    // World-stage states. Z writes and the blend factors are put back as they were found.
    d->SetRenderState(gfx::D3DRS_LIGHTING, 0);
    d->SetRenderState(gfx::D3DRS_ALPHABLENDENABLE, 1);
    gfx::DWORD zWrite = 0, srcBlend = 0, destBlend = 0;
    d->GetRenderState(gfx::D3DRS_ZWRITEENABLE, &zWrite);
    d->GetRenderState(gfx::D3DRS_SRCBLEND, &srcBlend);
    d->GetRenderState(gfx::D3DRS_DESTBLEND, &destBlend);
    d->SetRenderState(gfx::D3DRS_ZENABLE, 1);
    d->SetRenderState(gfx::D3DRS_ZWRITEENABLE, 1);
    d->SetRenderState(gfx::D3DRS_ZFUNC, gfx::D3DCMP_LESSEQUAL);
    d->SetRenderState(gfx::D3DRS_ALPHABLENDENABLE, 1);
    d->SetRenderState(gfx::D3DRS_ALPHATESTENABLE, 0);
    d->SetRenderState(gfx::D3DRS_COLORVERTEX, 1);
    d->SetRenderState(gfx::D3DRS_SRCBLEND, srcBlend);
    d->SetRenderState(gfx::D3DRS_DESTBLEND, destBlend);
    d->SetRenderState(gfx::D3DRS_ZWRITEENABLE, zWrite);
    d->SetRenderState(gfx::D3DRS_POINTSPRITEENABLE, 0);
    d->SetRenderState(gfx::D3DRS_POINTSCALEENABLE, 0);
    d->SetRenderState(gfx::D3DRS_ALPHABLENDENABLE, 0);
    d->SetRenderState(gfx::D3DRS_LIGHTING, 1);

    FlushAllSprites();
    FlushTextQueue();
    FlushBoxQueue(nullptr, deviceState.screenWidth, deviceState.screenHeight);
    EndFrameScene();
}

}  // namespace engine
