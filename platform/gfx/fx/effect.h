// platform/gfx/fx/effect.h: the effect object: compiled effect source bound to a device.
//
// Stands in for the D3DX 9 effect framework's D3DXCreateEffect and ID3DXEffect, reduced to
// what engines of that era used: parameters set by name (SetValue and its typed forms),
// textures bound by name, the current technique, and the Begin / BeginPass / EndPass / End
// cycle that applies a pass's shaders, render states and samplers to the device. Names are
// D3DXHANDLEs given as parameter or technique name strings; no handle lookup is cached.
//
// What it leaves out: effect pools and shared parameters across effects, macro definitions
// and include handlers at creation, parameter blocks, annotations lookup by handle (the
// reflection gives them), state managers.
//
// Lifetime: the effect holds a reference to its device and one to every texture set with
// SetTexture until that variable is set again or the effect is released.
//
// Threads: like the device, an effect belongs to the thread that created the device.
#pragma once

#include "platform/gfx/fx/fx.h"
#include "platform/gfx/gfx.h"

namespace platform::gfx {

using D3DXHANDLE = const char*;

// Begin flags.
inline constexpr DWORD D3DXFX_DONOTSAVESTATE = 1u << 0;        // leave changed states changed
inline constexpr DWORD D3DXFX_DONOTSAVESHADERSTATE = 1u << 1;  // accepted; shaders never leak
inline constexpr DWORD D3DXFX_DONOTSAVESAMPLERSTATE = 1u << 2;  // keep sampler states set

class ID3DXEffect : public IUnknown {
public:
    // Copies "bytes" bytes of "data" into parameter "name" in Direct3D's layout: 4 bytes per
    // component (float, or 32-bit int for int and bool parameters), matrices row-major, array
    // elements after each other. Fewer bytes than the parameter's size set its leading part.
    // D3DERR_INVALIDCALL, changing nothing, for an undeclared name, a texture or sampler
    // parameter, null data or more bytes than the parameter holds.
    virtual HRESULT SetValue(D3DXHANDLE name, const void* data, UINT bytes) = 0;
    // Copies the parameter's current value (up to "bytes" bytes) into "data".
    virtual HRESULT GetValue(D3DXHANDLE name, void* data, UINT bytes) = 0;
    virtual HRESULT SetFloat(D3DXHANDLE name, float value) = 0;
    virtual HRESULT SetInt(D3DXHANDLE name, INT value) = 0;
    virtual HRESULT SetBool(D3DXHANDLE name, BOOL value) = 0;
    virtual HRESULT SetVector(D3DXHANDLE name, const float* xyzw) = 0;
    virtual HRESULT SetMatrix(D3DXHANDLE name, const D3DXMATRIX* matrix) = 0;

    // Makes technique "name" current. D3DERR_INVALIDCALL for a name the source does not
    // declare; the current technique (the first of the source from creation) then stays.
    virtual HRESULT SetTechnique(D3DXHANDLE name) = 0;
    // The current technique's name.
    virtual D3DXHANDLE GetCurrentTechnique() = 0;

    // Binds "texture" (null: none) to texture parameter "name"; the effect keeps a reference
    // until the parameter is set again. D3DERR_INVALIDCALL for other names.
    virtual HRESULT SetTexture(D3DXHANDLE name, IDirect3DBaseTexture9* texture) = 0;
    // The texture bound to "name", with a reference added (null when none).
    virtual HRESULT GetTexture(D3DXHANDLE name, IDirect3DBaseTexture9** texture) = 0;

    // Starts using the current technique; "passes" receives its pass count. Unless "flags"
    // has D3DXFX_DONOTSAVESTATE, the render and sampler states the technique's passes set
    // are saved here and restored by End.
    virtual HRESULT Begin(UINT* passes, DWORD flags) = 0;
    // Applies pass "pass": its program, render states, sampler states and textures, and the
    // current parameter values. Draw calls until EndPass use the pass's shaders.
    virtual HRESULT BeginPass(UINT pass) = 0;
    // Sends parameter and texture changes made since BeginPass to the active pass.
    virtual HRESULT CommitChanges() = 0;
    virtual HRESULT EndPass() = 0;
    virtual HRESULT End() = 0;

    // Device reset: OnLostDevice drops the GL programs, OnResetDevice rebuilds them.
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;

    // The compiler's view of the effect: parameters, techniques, passes and their GLSL.
    virtual const fx::CompileResult& Reflection() const = 0;
};

// Compiles "bytes" bytes of effect source at "data" for "device". "defines", "include" and
// "pool" must be null (macro definitions, include handlers and effect pools are not
// supported); "flags" is ignored. On success "*effect" holds the new effect and "*errors"
// (when not null) the warnings, or null when there are none. On failure "*errors" holds the
// compiler's messages as zero-terminated text ("(line,column): error: ..." lines), or the GL
// driver's log when a generated program does not build, and the result is E_FAIL;
// D3DERR_INVALIDCALL for a null device, null or empty source, or a null "effect".
HRESULT D3DXCreateEffect(IDirect3DDevice9* device, const void* data, UINT bytes,
                         const void* defines, void* include, DWORD flags, void* pool,
                         ID3DXEffect** effect, ID3DXBuffer** errors);

}  // namespace platform::gfx
