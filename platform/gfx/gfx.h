// platform/gfx/gfx.h: the Direct3D-9-style graphics interface the engine draws through.
//
// Stands in for the Direct3D 9 device and the parts of the D3DX 9 library that the engine
// uses: the device on a window, render and sampler states, transforms, scenes, the back
// buffer as a lockable surface, textures (render targets and textures decoded from PNG files
// in memory), whole-surface copies, the 2D sprite batcher, the font object, vertex buffers,
// the render-to-surface object and two matrix helpers. Names, numeric values of states,
// formats, flags and result codes keep their Direct3D spelling and values, so engine code reads
// like the platform code it stands in for.
//
// What it leaves out: multiple adapters or swap chains, full-screen modes, multisampling, the
// fixed-function lighting and fog pipeline (their states are stored and readable, not drawn),
// index buffers, volume and cube textures. The font object is created and survives resets,
// but draws no text (nothing in the system draws text).
//
// Conventions (the same as Direct3D's):
//   - Screen space: origin top-left, x right, y down, in pixels of the back buffer. A pixel
//     covers [x, x + 1) x [y, y + 1); an unscaled sprite drawn at integer (x, y) reproduces its
//     source texels exactly.
//   - Texture space: (0, 0) is the top-left corner of the top-left texel.
//   - Colours (D3DCOLOR) are 0xAARRGGBB words; 32-bit surfaces hold pixels as such words.
//   - Matrices are row-major, used with row vectors: v' = v * M.
//   - Results are HRESULT-style codes: 0 (D3D_OK) is success, negative values are failures.
//
// Objects are reference counted: every Create* hands out one reference, AddRef adds one,
// Release drops one and destroys the object at zero. An object that holds another (a device
// its textures' contents, a texture its surfaces) keeps its own reference.
//
// The back buffer is CPU-writable: LockRect hands out a LockedBits whose first Bits() call
// reads the locked rectangle back; a lock whose bits are never asked for costs no read-back
// and writes nothing at UnlockRect. ColorFill is a clear of a rectangle, never a CPU loop.
//
// Presentation: Present waits for the display's vertical retrace. Where the platform cannot
// synchronise to the retrace, the device paces Present to the display's refresh rate itself
// (SetPresentPacing turns that off for measurements).
//
// Threads: every object and function of this header belongs to the thread that created the
// device (the main thread). Nothing here is safe to call from another thread, except the pure
// matrix helpers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gfx/states.h"
#include "platform/window/window.h"

namespace platform::gfx {

// ---------------------------------------------------------------------------------------------
// Basic types and result codes
// ---------------------------------------------------------------------------------------------

using HRESULT = std::int32_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using INT = std::int32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using FLOAT = float;
using D3DCOLOR = std::uint32_t;
// A window as the window layer names it; 0 = none.
using HWND = platform::window::WindowHandle;

inline constexpr HRESULT D3D_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
inline constexpr HRESULT D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086Au);
inline constexpr HRESULT D3DERR_DEVICELOST = static_cast<HRESULT>(0x88760868u);
inline constexpr HRESULT D3DERR_DEVICENOTRESET = static_cast<HRESULT>(0x88760869u);
inline constexpr HRESULT D3DERR_NOTFOUND = static_cast<HRESULT>(0x88760866u);
inline constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017Cu);
inline constexpr HRESULT D3DERR_NOTAVAILABLE_FORMAT = D3DERR_NOTAVAILABLE;
inline constexpr HRESULT D3DXERR_INVALIDDATA = static_cast<HRESULT>(0x88760B59u);

constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

// The version Direct3DCreate9 accepts (the low 31 bits of its argument; the top bit, a debug
// request, is ignored).
inline constexpr UINT D3D_SDK_VERSION = 32;
inline constexpr UINT D3DADAPTER_DEFAULT = 0;
inline constexpr UINT D3DX_DEFAULT = 0xFFFFFFFFu;
inline constexpr UINT D3DX_DEFAULT_NONPOW2 = 0xFFFFFFFEu;

// ---------------------------------------------------------------------------------------------
// Enumerations (Direct3D values)
// ---------------------------------------------------------------------------------------------

enum D3DFORMAT : std::uint32_t {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_R8G8B8 = 20,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24,
    D3DFMT_A1R5G5B5 = 25,
    D3DFMT_A2R10G10B10 = 35,
    D3DFMT_D24S8 = 75,
    D3DFMT_D16 = 80,
};

enum D3DDEVTYPE : std::uint32_t { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2, D3DDEVTYPE_SW = 3 };

enum D3DRESOURCETYPE : std::uint32_t {
    D3DRTYPE_SURFACE = 1,
    D3DRTYPE_VOLUME = 2,
    D3DRTYPE_TEXTURE = 3,
    D3DRTYPE_VERTEXBUFFER = 6,
};

enum D3DPOOL : std::uint32_t {
    D3DPOOL_DEFAULT = 0,
    D3DPOOL_MANAGED = 1,
    D3DPOOL_SYSTEMMEM = 2,
    D3DPOOL_SCRATCH = 3,
};

inline constexpr DWORD D3DUSAGE_RENDERTARGET = 0x1;
inline constexpr DWORD D3DUSAGE_DEPTHSTENCIL = 0x2;
inline constexpr DWORD D3DUSAGE_WRITEONLY = 0x8;
inline constexpr DWORD D3DUSAGE_DYNAMIC = 0x200;

inline constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
inline constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;

enum D3DSWAPEFFECT : std::uint32_t { D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2, D3DSWAPEFFECT_COPY = 3 };
enum D3DMULTISAMPLE_TYPE : std::uint32_t { D3DMULTISAMPLE_NONE = 0 };
inline constexpr DWORD D3DPRESENTFLAG_LOCKABLE_BACKBUFFER = 0x1;
inline constexpr UINT D3DPRESENT_INTERVAL_DEFAULT = 0;
inline constexpr UINT D3DPRESENT_INTERVAL_ONE = 1;
inline constexpr UINT D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;
enum D3DBACKBUFFER_TYPE : std::uint32_t { D3DBACKBUFFER_TYPE_MONO = 0 };

inline constexpr DWORD D3DLOCK_READONLY = 0x10;
inline constexpr DWORD D3DLOCK_DISCARD = 0x2000;
inline constexpr DWORD D3DLOCK_NOOVERWRITE = 0x1000;

inline constexpr DWORD D3DCLEAR_TARGET = 0x1;
inline constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;
inline constexpr DWORD D3DCLEAR_STENCIL = 0x4;

// Render states. Every state below is stored and readable; the ones GL has (depth test, write
// and function, blending, culling, colour write mask, scissor, stencil, fill mode) are applied
// to GL. The stencil states act only on a back buffer made with D3DFMT_D24S8; both faces share
// one stencil test.
// Alpha testing is done by the layer's own shaders.
#define GFX_RS_ENUM(name, ENUM, code, kind, fate, neutral, lost) D3DRS_##ENUM = code,
enum D3DRENDERSTATETYPE : std::uint32_t { GFX_RENDER_STATES(GFX_RS_ENUM) };
#undef GFX_RS_ENUM
// States are stored in a table indexed by their value; values at or above this are refused.
inline constexpr DWORD kRenderStateCount = 256;

// The values of render states, named as Direct3D names them (states.h lists them).
#define GFX_VALUE_ENUM(type, PREFIX, LIST)            \
    enum type : DWORD {                              \
        LIST(GFX_##PREFIX##_VALUE)                   \
    };
#define GFX_D3DZB_VALUE(n, v) D3DZB_##n = v,
#define GFX_D3DFILL_VALUE(n, v) D3DFILL_##n = v,
#define GFX_D3DSHADE_VALUE(n, v) D3DSHADE_##n = v,
#define GFX_D3DCULL_VALUE(n, v) D3DCULL_##n = v,
#define GFX_D3DCMP_VALUE(n, v) D3DCMP_##n = v,
#define GFX_D3DBLEND_VALUE(n, v) D3DBLEND_##n = v,
#define GFX_D3DBLENDOP_VALUE(n, v) D3DBLENDOP_##n = v,
#define GFX_D3DSTENCILOP_VALUE(n, v) D3DSTENCILOP_##n = v,
#define GFX_D3DFOG_VALUE(n, v) D3DFOG_##n = v,
#define GFX_D3DTADDRESS_VALUE(n, v) D3DTADDRESS_##n = v,
#define GFX_D3DTEXF_VALUE(n, v) D3DTEXF_##n = v,
GFX_VALUE_ENUM(D3DZBUFFERTYPE, D3DZB, GFX_ZBUFFER_VALUES)
GFX_VALUE_ENUM(D3DFILLMODE, D3DFILL, GFX_FILL_VALUES)
GFX_VALUE_ENUM(D3DSHADEMODE, D3DSHADE, GFX_SHADE_VALUES)
GFX_VALUE_ENUM(D3DCULL, D3DCULL, GFX_CULL_VALUES)
GFX_VALUE_ENUM(D3DCMPFUNC, D3DCMP, GFX_CMP_VALUES)
GFX_VALUE_ENUM(D3DBLEND, D3DBLEND, GFX_BLEND_VALUES)
GFX_VALUE_ENUM(D3DBLENDOP, D3DBLENDOP, GFX_BLENDOP_VALUES)
GFX_VALUE_ENUM(D3DSTENCILOP, D3DSTENCILOP, GFX_STENCILOP_VALUES)
GFX_VALUE_ENUM(D3DFOGMODE, D3DFOG, GFX_FOGMODE_VALUES)
GFX_VALUE_ENUM(D3DTEXTUREADDRESS, D3DTADDRESS, GFX_ADDRESS_VALUES)
GFX_VALUE_ENUM(D3DTEXTUREFILTERTYPE, D3DTEXF, GFX_FILTER_VALUES)
#undef GFX_VALUE_ENUM
#undef GFX_D3DZB_VALUE
#undef GFX_D3DFILL_VALUE
#undef GFX_D3DSHADE_VALUE
#undef GFX_D3DCULL_VALUE
#undef GFX_D3DCMP_VALUE
#undef GFX_D3DBLEND_VALUE
#undef GFX_D3DBLENDOP_VALUE
#undef GFX_D3DSTENCILOP_VALUE
#undef GFX_D3DFOG_VALUE
#undef GFX_D3DTADDRESS_VALUE
#undef GFX_D3DTEXF_VALUE

// Sampler states, per sampler register 0-15. Registers 0 and 1 are applied to GL; all are stored.
#define GFX_SAMP_ENUM(name, ENUM, code, kind, fate, neutral, lost) D3DSAMP_##ENUM = code,
enum D3DSAMPLERSTATETYPE : std::uint32_t { GFX_SAMPLER_STATES(GFX_SAMP_ENUM) };
#undef GFX_SAMP_ENUM
inline constexpr DWORD kSamplerCount = 16;
inline constexpr DWORD kSamplerStateCount = 14;

enum D3DTRANSFORMSTATETYPE : std::uint32_t {
    D3DTS_VIEW = 2,
    D3DTS_PROJECTION = 3,
    D3DTS_TEXTURE0 = 16,
    D3DTS_WORLD = 256,
};

enum D3DPRIMITIVETYPE : std::uint32_t {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

// Flexible vertex format bits. Supported layouts: a position (XYZ), then optionally a normal,
// a diffuse colour and up to eight sets of texture coordinates, in that order. A set has two
// floats unless D3DFVF_TEXCOORDSIZEn(set) says 1, 3 or 4.
inline constexpr DWORD D3DFVF_XYZ = 0x002;
inline constexpr DWORD D3DFVF_NORMAL = 0x010;
inline constexpr DWORD D3DFVF_DIFFUSE = 0x040;
inline constexpr DWORD D3DFVF_TEXCOUNT_MASK = 0xF00;
inline constexpr DWORD D3DFVF_TEXCOUNT_SHIFT = 8;
inline constexpr DWORD D3DFVF_TEX0 = 0x000;
inline constexpr DWORD D3DFVF_TEX1 = 0x100;
inline constexpr DWORD D3DFVF_TEX2 = 0x200;
inline constexpr DWORD D3DFVF_TEX3 = 0x300;
inline constexpr DWORD D3DFVF_TEX4 = 0x400;
inline constexpr DWORD D3DFVF_TEX5 = 0x500;
inline constexpr DWORD D3DFVF_TEX6 = 0x600;
inline constexpr DWORD D3DFVF_TEX7 = 0x700;
inline constexpr DWORD D3DFVF_TEX8 = 0x800;
// Two bits per set from bit 16: 0 two floats, 1 three, 2 four, 3 one.
constexpr DWORD D3DFVF_TEXCOORDSIZE1(DWORD set) { return 3u << (set * 2 + 16); }
constexpr DWORD D3DFVF_TEXCOORDSIZE2(DWORD) { return 0u; }
constexpr DWORD D3DFVF_TEXCOORDSIZE3(DWORD set) { return 1u << (set * 2 + 16); }
constexpr DWORD D3DFVF_TEXCOORDSIZE4(DWORD set) { return 2u << (set * 2 + 16); }

// D3DX filters (low byte) for surface copies and texture loads.
inline constexpr DWORD D3DX_FILTER_NONE = 1;
inline constexpr DWORD D3DX_FILTER_POINT = 2;
inline constexpr DWORD D3DX_FILTER_LINEAR = 3;
inline constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
inline constexpr DWORD D3DX_FILTER_BOX = 5;

enum D3DXIMAGE_FILEFORMAT : std::uint32_t {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
};

// ID3DXSprite::Begin flags.
inline constexpr DWORD D3DXSPRITE_DONOTSAVESTATE = 0x1;
inline constexpr DWORD D3DXSPRITE_DONOTMODIFY_RENDERSTATE = 0x2;
inline constexpr DWORD D3DXSPRITE_OBJECTSPACE = 0x4;
inline constexpr DWORD D3DXSPRITE_ALPHABLEND = 0x10;

// ---------------------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------------------

struct RECT {
    LONG left = 0, top = 0, right = 0, bottom = 0;
};

struct D3DDISPLAYMODE {
    UINT Width = 0;
    UINT Height = 0;
    UINT RefreshRate = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
};

struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth = 0;   // 0: the window's client width
    UINT BackBufferHeight = 0;  // 0: the window's client height
    D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN;  // UNKNOWN in windowed mode: the display's
    UINT BackBufferCount = 0;
    D3DMULTISAMPLE_TYPE MultiSampleType = D3DMULTISAMPLE_NONE;
    DWORD MultiSampleQuality = 0;
    D3DSWAPEFFECT SwapEffect = D3DSWAPEFFECT_DISCARD;
    HWND hDeviceWindow{};
    BOOL Windowed = 0;
    BOOL EnableAutoDepthStencil = 0;
    D3DFORMAT AutoDepthStencilFormat = D3DFMT_UNKNOWN;
    DWORD Flags = 0;
    UINT FullScreen_RefreshRateInHz = 0;
    UINT PresentationInterval = 0;
};

// The device capabilities the engine reads. Filled by IDirect3D9::GetDeviceCaps.
struct D3DCAPS9 {
    D3DDEVTYPE DeviceType = D3DDEVTYPE_HAL;
    UINT AdapterOrdinal = 0;
    DWORD DevCaps = 0;
    DWORD VertexProcessingCaps = 0;  // non-zero: hardware vertex processing exists
    DWORD MaxTextureWidth = 0;
    DWORD MaxTextureHeight = 0;
    DWORD MaxSimultaneousTextures = 0;
    DWORD MaxStreams = 0;
    DWORD VertexShaderVersion = 0;  // 0xFFFE0300 for vs_3_0
    DWORD PixelShaderVersion = 0;   // 0xFFFF0300 for ps_3_0
};

struct D3DVIEWPORT9 {
    DWORD X = 0, Y = 0, Width = 0, Height = 0;
    float MinZ = 0.0f, MaxZ = 1.0f;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DRESOURCETYPE Type = D3DRTYPE_SURFACE;
    DWORD Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    D3DMULTISAMPLE_TYPE MultiSampleType = D3DMULTISAMPLE_NONE;
    DWORD MultiSampleQuality = 0;
    UINT Width = 0;
    UINT Height = 0;
};

class IDirect3DSurface9;

// The bits of a locked surface. Bits() fetches the locked rectangle's pixels the first time it
// is called during a lock (a read-back) and marks the rectangle written, so UnlockRect stores
// it again; a lock whose bits are never fetched reads and writes nothing. Row r of the
// rectangle starts at Bits() + r * Pitch bytes; pixels are D3DCOLOR words on 32-bit formats,
// 16-bit words on 16-bit formats. Null after the surface is unlocked.
class LockedBits {
public:
    LockedBits() = default;
    LockedBits(IDirect3DSurface9* surface, std::uint32_t lock_id) : surface_(surface), lockId_(lock_id) {}
    void* Bits() const;
    explicit operator bool() const { return surface_ != nullptr; }

private:
    IDirect3DSurface9* surface_ = nullptr;
    std::uint32_t lockId_ = 0;
};

struct D3DLOCKED_RECT {
    INT Pitch = 0;       // bytes from one row to the next
    LockedBits pBits;    // the pixels; see LockedBits
};

struct D3DMATRIX {
    float m[4][4] = {};
};
using D3DXMATRIX = D3DMATRIX;

struct D3DXVECTOR2 {
    float x = 0.0f, y = 0.0f;
};
struct D3DXVECTOR3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};
using D3DVECTOR = D3DXVECTOR3;

struct D3DXIMAGE_INFO {
    UINT Width = 0;
    UINT Height = 0;
    UINT Depth = 1;
    UINT MipLevels = 1;
    D3DFORMAT Format = D3DFMT_UNKNOWN;  // A8R8G8B8 for images with alpha, else X8R8G8B8
    D3DRESOURCETYPE ResourceType = D3DRTYPE_TEXTURE;
    D3DXIMAGE_FILEFORMAT ImageFileFormat = D3DXIFF_PNG;
};

struct D3DXFONT_DESCA {
    INT Height = 0;
    UINT Width = 0;
    UINT Weight = 0;
    UINT MipLevels = 0;
    BOOL Italic = 0;
    std::uint8_t CharSet = 0;
    std::uint8_t OutputPrecision = 0;
    std::uint8_t Quality = 0;
    std::uint8_t PitchAndFamily = 0;
    char FaceName[32] = {};
};

// ---------------------------------------------------------------------------------------------
// Objects
// ---------------------------------------------------------------------------------------------

// The reference-counting base of every object.
class IUnknown {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

class IDirect3DDevice9;

// A 2D picture: the back buffer or one level of a texture.
class IDirect3DSurface9 : public IUnknown {
public:
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    // Locks "rect" (null: the whole surface); D3DLOCK_READONLY makes UnlockRect store nothing.
    // A surface that is already locked refuses with D3DERR_INVALIDCALL.
    virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
};

class IDirect3DBaseTexture9 : public IUnknown {
public:
    virtual DWORD GetLevelCount() = 0;
};

class IDirect3DTexture9 : public IDirect3DBaseTexture9 {
public:
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
};

class IDirect3DVertexBuffer9 : public IUnknown {
public:
    // Hands out bytes "offset" to "offset + size" (size 0: to the end) for writing; Unlock
    // makes them visible to the next draw.
    virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
};

// The device: one per window, owning the back buffer and its depth buffer (16-bit, or 24-bit
// with an 8-bit stencil buffer for D3DFMT_D24S8).
class IDirect3DDevice9 : public IUnknown {
public:
    // Shows the back buffer in the device window (no rectangles, override window or dirty
    // region are supported: all must be null). Waits for the retrace, or paces itself to the
    // refresh rate. Fails with D3DERR_DEVICELOST (and the device is lost until a successful
    // Reset) when the platform cannot present.
    virtual HRESULT Present(const RECT* source, const RECT* dest, HWND override_window,
                            const void* dirty_region) = 0;
    // Re-creates the back buffer and depth buffer with "params" and sets every state back to
    // its creation default. Textures, vertex buffers, sprite batchers and fonts stay usable.
    // Fails (and the device stays lost) while the platform refuses.
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
    // D3D_OK, or D3DERR_DEVICENOTRESET while the device is lost.
    virtual HRESULT TestCooperativeLevel() = 0;

    virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
    // The rectangle (left, top, right, bottom; right and bottom exclusive, in the render target's
    // pixels, top row 0) that draws and Clear are limited to while D3DRS_SCISSORTESTENABLE is
    // TRUE. It starts as the whole back buffer; a rectangle that is inverted, starts left of or
    // above the origin, or reaches past the current render target is refused.
    virtual HRESULT SetScissorRect(const RECT* rect) = 0;
    virtual HRESULT GetScissorRect(RECT* rect) = 0;

    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    // Binds "texture" (null: none) to stage "stage" (0-15); the device keeps a reference.
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;

    // Clears the viewport (or the "count" rectangles inside it) of the current render target;
    // D3DCLEAR_STENCIL needs a stencil buffer (D3DFMT_D24S8).
    virtual HRESULT Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR colour, float z,
                          DWORD stencil) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;

    virtual HRESULT GetBackBuffer(UINT swap_chain, UINT index, D3DBACKBUFFER_TYPE type,
                                  IDirect3DSurface9** surface) = 0;
    // Fills "rect" (null: all) of "surface" with "colour" (a scissored clear).
    virtual HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR colour) = 0;
    // Copies "source_rect" of "source" onto "dest_rect" of "dest" (null: whole surfaces),
    // stretching with "filter" (D3DTEXF_POINT or D3DTEXF_LINEAR).
    virtual HRESULT StretchRect(IDirect3DSurface9* source, const RECT* source_rect,
                                IDirect3DSurface9* dest, const RECT* dest_rect, DWORD filter) = 0;

    // "levels" 0 means a full mip chain. Render targets need D3DPOOL_DEFAULT.
    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                  D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                                  void* shared) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length_bytes, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** buffer, void* shared) = 0;
    virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer,
                                    UINT offset_bytes, UINT stride_bytes) = 0;
    virtual HRESULT SetFVF(DWORD fvf) = 0;
    virtual HRESULT GetFVF(DWORD* fvf) = 0;
    // Draws from stream 0. Outside an effect pass the device's own program transforms the
    // position by world * view * projection and modulates texture stage 0 (white when none)
    // with the diffuse colour (white when the format has none).
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT start_vertex,
                                  UINT primitive_count) = 0;
};

// The object that makes devices: adapter queries and capability checks.
class IDirect3D9 : public IUnknown {
public:
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display_format,
                                    D3DFORMAT back_buffer_format, BOOL windowed) = 0;
    virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapter_format,
                                      DWORD usage, D3DRESOURCETYPE resource_type,
                                      D3DFORMAT check_format) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
    // Creates a device on "params->hDeviceWindow" (or "focus_window" when that is 0), which
    // must be a window of the window layer. Fails with D3DERR_NOTAVAILABLE when the window or
    // an OpenGL 3.3 context cannot be had.
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus_window,
                                 DWORD behaviour_flags, D3DPRESENT_PARAMETERS* params,
                                 IDirect3DDevice9** device) = 0;
};

// The object Direct3D 9 calls ID3DXBuffer: a block of bytes (encoded files, messages).
class ID3DXBuffer : public IUnknown {
public:
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};

// The sprite batcher: textured screen-space quads between Begin and End.
class ID3DXSprite : public IUnknown {
public:
    // Starts a batch. With D3DXSPRITE_ALPHABLEND: source-alpha blending and an alpha test that
    // drops fully transparent texels. Unless D3DXSPRITE_DONOTSAVESTATE, the device states the
    // batch changes are saved here and put back by End. Sprites sample with linear filtering
    // and clamped addressing.
    virtual HRESULT Begin(DWORD flags) = 0;
    virtual HRESULT SetTransform(const D3DXMATRIX* transform) = 0;
    virtual HRESULT GetTransform(D3DXMATRIX* transform) = 0;
    // Queues "source_rect" (null: the whole texture) of level 0 of "texture", moved so that
    // "centre" (null: the corner) lies on "position" (null: the origin), then transformed by
    // the batch transform; texels are multiplied by "colour". The z of the transformed corner
    // is the depth written.
    virtual HRESULT Draw(IDirect3DTexture9* texture, const RECT* source_rect,
                         const D3DXVECTOR3* centre, const D3DXVECTOR3* position,
                         D3DCOLOR colour) = 0;
    // Draws what was queued with the device's current render states.
    virtual HRESULT Flush() = 0;
    virtual HRESULT End() = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
};

// The font object: a description bound to a device. It draws no glyphs.
class ID3DXFont : public IUnknown {
public:
    virtual HRESULT GetDescA(D3DXFONT_DESCA* desc) = 0;
    // Lays out nothing and draws nothing; returns 0 (the height drawn).
    virtual INT DrawTextA(ID3DXSprite* sprite, const char* text, INT count, RECT* rect,
                          DWORD format, D3DCOLOR colour) = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};

// Draws a scene into a surface with its own depth buffer.
class ID3DXRenderToSurface : public IUnknown {
public:
    // Makes "surface" the device's render target with the object's depth buffer and
    // "viewport" (null: the whole surface); the device's previous target, depth buffer and
    // viewport come back at EndScene.
    virtual HRESULT BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT EndScene(DWORD mip_filter) = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};

// ---------------------------------------------------------------------------------------------
// Functions
// ---------------------------------------------------------------------------------------------

// The device factory, or null for a version other than D3D_SDK_VERSION.
IDirect3D9* Direct3DCreate9(UINT sdk_version);

// Reads the size and pixel format of a PNG file in memory. D3DXERR_INVALIDDATA for anything
// that is not a readable PNG.
HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size_bytes, D3DXIMAGE_INFO* info);

// Decodes a PNG file in memory into a new texture. "width"/"height": D3DX_DEFAULT,
// D3DX_DEFAULT_NONPOW2 or 0 for the file's own size, else the size to scale to. "levels" 0 or
// D3DX_DEFAULT: a full mip chain. "format" D3DFMT_UNKNOWN: the file's format. Pixels equal to
// "colour_key" (a 0xAARRGGBB value, 0 = no key) become transparent black. "source_info"
// (may be null) receives the file's information.
HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data,
                                            UINT size_bytes, UINT width, UINT height, UINT levels,
                                            DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            DWORD filter, DWORD mip_filter, D3DCOLOR colour_key,
                                            D3DXIMAGE_INFO* source_info, void* palette,
                                            IDirect3DTexture9** texture);

// Encodes "rect" (null: all) of "surface" as a file in memory; only D3DXIFF_PNG is supported.
// The PNG keeps the alpha channel of 32-bit ARGB surfaces.
HRESULT D3DXSaveSurfaceToFileInMemory(ID3DXBuffer** buffer, D3DXIMAGE_FILEFORMAT format,
                                      IDirect3DSurface9* surface, const void* palette,
                                      const RECT* rect);

// IDirect3DDevice9::CreateTexture with argument checks (sizes of 0 are refused).
HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT levels,
                          DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);

// Copies "source_rect" of "source" into "dest_rect" of "dest" (null: whole surfaces),
// stretching with linear filtering when the sizes differ (D3DX_FILTER_NONE or _POINT: point
// sampling) and converting the format. A non-zero "colour_key" turns matching source pixels
// into transparent black.
HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* dest, const void* dest_palette,
                                   const RECT* dest_rect, IDirect3DSurface9* source,
                                   const void* source_palette, const RECT* source_rect,
                                   DWORD filter, D3DCOLOR colour_key);

HRESULT D3DXCreateBuffer(DWORD size_bytes, ID3DXBuffer** buffer);
HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite);
HRESULT D3DXCreateFontIndirectA(IDirect3DDevice9* device, const D3DXFONT_DESCA* desc, ID3DXFont** font);
// "format": the colour format of the surfaces it will draw into; with "depth_stencil" TRUE the
// object owns a depth buffer of "depth_format" (D3DFMT_D16) and the given size.
HRESULT D3DXCreateRenderToSurface(IDirect3DDevice9* device, UINT width, UINT height,
                                  D3DFORMAT format, BOOL depth_stencil, D3DFORMAT depth_format,
                                  ID3DXRenderToSurface** render_to_surface);

// Matrix helpers (pure functions; any thread).
D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
// out = Tsc^-1 * Rsr^-1 * S * Rsr * Tsc * Trc^-1 * R * Trc * T: scaling "scaling" about
// "scaling_centre" along axes rotated by "scaling_rotation", then rotation by "rotation"
// about "rotation_centre", then "translation". Null vectors mean: origin, no scaling, none.
D3DXMATRIX* D3DXMatrixTransformation2D(D3DXMATRIX* out, const D3DXVECTOR2* scaling_centre,
                                       float scaling_rotation, const D3DXVECTOR2* scaling,
                                       const D3DXVECTOR2* rotation_centre, float rotation,
                                       const D3DXVECTOR2* translation);
// (x, y, z, 1) * m, divided by the resulting w.
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);

}  // namespace platform::gfx
