// platform/gfx/gl/d3dx_gl.cpp: the device factory with its adapter checks, and the texture,
// surface and buffer functions of the D3DX part of the interface.

#include "platform/gfx/gl/gl_api.h"

#include <cstring>

#include "platform/gfx/gl/gl_internal.h"
#include "platform/gfx/image_png.h"

namespace platform::gfx {

namespace {

CreationFault g_fault = CreationFault::kNone;

// The display's format as a Direct3D format.
D3DFORMAT DisplayFormat(const platform::window::DisplayMode& mode) {
    switch (mode.bits_per_pixel) {
        case 15: return D3DFMT_X1R5G5B5;
        case 16: return D3DFMT_R5G6B5;
        default: return D3DFMT_X8R8G8B8;
    }
}

bool IsDisplayFormat(D3DFORMAT f) {
    return f == D3DFMT_X8R8G8B8 || f == D3DFMT_R5G6B5 || f == D3DFMT_X1R5G5B5;
}

class Direct3DGL final : public gl::RefCounted<IDirect3D9> {
public:
    UINT GetAdapterCount() override { return VideoReady() ? 1 : 0; }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
        if (!mode || adapter != 0) return D3DERR_INVALIDCALL;
        platform::window::DisplayMode m;
        if (g_fault == CreationFault::kDisplayMode || !platform::window::GetCurrentDisplayMode(&m))
            return D3DERR_NOTAVAILABLE;
        mode->Width = static_cast<UINT>(m.width);
        mode->Height = static_cast<UINT>(m.height);
        mode->RefreshRate = static_cast<UINT>(m.refresh_hz);
        mode->Format = DisplayFormat(m);
        return D3D_OK;
    }

    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display_format,
                            D3DFORMAT back_buffer_format, BOOL windowed) override {
        if (adapter != 0 || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)) return D3DERR_INVALIDCALL;
        if (g_fault == CreationFault::kDeviceType || !IsDisplayFormat(display_format)) {
            return D3DERR_NOTAVAILABLE;
        }
        const bool matches = back_buffer_format == display_format ||
                             (windowed && back_buffer_format == D3DFMT_UNKNOWN) ||
                             (display_format == D3DFMT_X8R8G8B8 && back_buffer_format == D3DFMT_A8R8G8B8);
        return matches ? D3D_OK : D3DERR_NOTAVAILABLE;
    }

    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapter_format, DWORD usage,
                              D3DRESOURCETYPE resource_type, D3DFORMAT check_format) override {
        if (adapter != 0 || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)) return D3DERR_INVALIDCALL;
        if (!IsDisplayFormat(adapter_format)) return D3DERR_NOTAVAILABLE;
        if (usage & D3DUSAGE_DEPTHSTENCIL) {
            if (g_fault == CreationFault::kDepthFormat && check_format == D3DFMT_D16) return D3DERR_NOTAVAILABLE;
            const bool ok = (check_format == D3DFMT_D16 || check_format == D3DFMT_D24S8) &&
                            (resource_type == D3DRTYPE_SURFACE || resource_type == D3DRTYPE_TEXTURE);
            return ok ? D3D_OK : D3DERR_NOTAVAILABLE;
        }
        gl::FormatInfo fi;
        if (!gl::LookUpFormat(check_format, &fi)) return D3DERR_NOTAVAILABLE;
        return (resource_type == D3DRTYPE_SURFACE || resource_type == D3DRTYPE_TEXTURE) ? D3D_OK
                                                                                       : D3DERR_NOTAVAILABLE;
    }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
        if (!caps || adapter != 0 || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)) {
            return D3DERR_INVALIDCALL;
        }
        if (g_fault == CreationFault::kDeviceCaps) return D3DERR_NOTAVAILABLE;
        *caps = D3DCAPS9{};
        caps->DeviceType = type;
        caps->AdapterOrdinal = adapter;
        caps->VertexProcessingCaps = g_fault == CreationFault::kNoVertexProcessing ? 0 : 0x17B;
        caps->MaxTextureWidth = caps->MaxTextureHeight = 16384;
        caps->MaxSimultaneousTextures = 8;
        caps->MaxStreams = 1;
        caps->VertexShaderVersion = 0xFFFE0300u;
        caps->PixelShaderVersion = 0xFFFF0300u;
        return D3D_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus_window, DWORD behaviour_flags,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        *device = nullptr;
        if (!params || adapter != 0 || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)) {
            return D3DERR_INVALIDCALL;
        }
        // Exactly one of the vertex-processing kinds must be asked for.
        const DWORD vp = behaviour_flags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING);
        if (vp == 0 || vp == (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING)) {
            return D3DERR_INVALIDCALL;
        }
        if (params->BackBufferCount > 1 || params->MultiSampleType != D3DMULTISAMPLE_NONE ||
            (params->EnableAutoDepthStencil && params->AutoDepthStencilFormat != D3DFMT_D16 &&
             params->AutoDepthStencilFormat != D3DFMT_D24S8)) {
            return D3DERR_INVALIDCALL;
        }
        if (g_fault == CreationFault::kCreateDevice) return D3DERR_NOTAVAILABLE;
        D3DPRESENT_PARAMETERS p = *params;
        if (!p.hDeviceWindow) p.hDeviceWindow = focus_window;
        HRESULT result = D3D_OK;
        gl::DeviceGL* created = gl::DeviceGL::Create(p.hDeviceWindow, p, &result);
        if (!created) return result;
        gl::RecordBehaviourFlags(behaviour_flags);
        params->BackBufferWidth = created->params().BackBufferWidth;
        params->BackBufferHeight = created->params().BackBufferHeight;
        params->BackBufferFormat = created->params().BackBufferFormat;
        *device = created;
        return D3D_OK;
    }

private:
    static bool VideoReady() {
        platform::window::DisplayMode mode;
        return platform::window::GetCurrentDisplayMode(&mode);
    }
};

class BufferGL final : public gl::RefCounted<ID3DXBuffer> {
public:
    explicit BufferGL(DWORD size) : bytes_(size, 0) {}
    explicit BufferGL(std::vector<std::uint8_t>&& bytes) : bytes_(std::move(bytes)) {}
    void* GetBufferPointer() override { return bytes_.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

private:
    std::vector<std::uint8_t> bytes_;
};

// Reads a whole surface as ARGB words, whatever its format (through a 32-bit copy when the
// surface holds 16-bit pixels). A level whose upload still waits is read from its words.
bool ReadArgb(gl::SurfaceGL* s, const RECT& r, std::vector<std::uint32_t>* out) {
    const std::size_t w = static_cast<std::size_t>(r.right - r.left);
    const std::size_t h = static_cast<std::size_t>(r.bottom - r.top);
    gl::FormatInfo fi;
    gl::LookUpFormat(s->format(), &fi);
    if (const std::uint32_t* words = s->WaitingPixels()) {
        out->resize(w * h);
        for (std::size_t y = 0; y < h; ++y) {
            const std::uint32_t* row = words + (static_cast<std::size_t>(r.top) + y) * s->width() + r.left;
            std::copy(row, row + w, out->data() + y * w);
        }
    } else {
        out->assign(w * h, 0);
        s->device()->MakeCurrent();
        glBindFramebuffer(GL_READ_FRAMEBUFFER, s->Framebuffer());
        gl::ReadPixels(D3DFMT_A8R8G8B8, r.left, r.top, static_cast<GLsizei>(w),
                       static_cast<GLsizei>(h), out->data());
        s->device()->InvalidateState();
        gl::CountReadBack();
    }
    if (fi.opaque) {
        for (auto& p : *out) p |= 0xFF000000u;
    }
    return true;
}

}  // namespace

void InjectCreationFault(CreationFault fault) { g_fault = fault; }

IDirect3D9* Direct3DCreate9(UINT sdk_version) {
    if ((sdk_version & 0x7FFFFFFFu) != D3D_SDK_VERSION) return nullptr;
    return new Direct3DGL;
}

HRESULT D3DXCreateBuffer(DWORD size_bytes, ID3DXBuffer** buffer) {
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = new BufferGL(size_bytes);
    return D3D_OK;
}

HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size_bytes, D3DXIMAGE_INFO* info) {
    image::ImageInfo ii;
    if (!info || !image::ReadPngInfo(data, size_bytes, &ii)) return D3DXERR_INVALIDDATA;
    *info = D3DXIMAGE_INFO{ii.width, ii.height, 1, 1,
                           ii.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8, D3DRTYPE_TEXTURE,
                           D3DXIFF_PNG};
    return D3D_OK;
}

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT levels,
                          DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device || width == 0 || height == 0) return D3DERR_INVALIDCALL;
    return device->CreateTexture(width, height, levels, usage, format, pool, texture, nullptr);
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data,
                                            UINT size_bytes, UINT width, UINT height, UINT levels,
                                            DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            DWORD filter, DWORD mip_filter, D3DCOLOR colour_key,
                                            D3DXIMAGE_INFO* source_info, void* palette,
                                            IDirect3DTexture9** texture) {
    (void)mip_filter;
    (void)palette;
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device) return D3DERR_INVALIDCALL;
    image::ImageInfo ii;
    std::vector<std::uint32_t> pixels;
    if (!image::DecodePng(data, size_bytes, &ii, &pixels)) return D3DXERR_INVALIDDATA;
    if (source_info) {
        *source_info = D3DXIMAGE_INFO{ii.width, ii.height, 1, 1,
                                      ii.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8,
                                      D3DRTYPE_TEXTURE, D3DXIFF_PNG};
    }
    if (colour_key != 0) {
        for (auto& p : pixels) {
            if (p == colour_key) p = 0;
        }
    }
    const auto own = [](UINT v) { return v == 0 || v == D3DX_DEFAULT || v == D3DX_DEFAULT_NONPOW2; };
    const UINT w = own(width) ? ii.width : width;
    const UINT h = own(height) ? ii.height : height;
    if (format == D3DFMT_UNKNOWN) format = ii.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    IDirect3DTexture9* created = nullptr;
    gl::DeviceGL* d = gl::ToGL(device);
    // At the file's size, the texture is created holding the picture.
    const bool whole = w == ii.width && h == ii.height;
    std::vector<std::uint32_t> level0;
    if (whole) level0.swap(pixels);
    HRESULT hr = d->CreateTextureFrom(w, h, levels, usage, format, pool, std::move(level0), &created);
    if (Failed(hr)) return hr;
    auto* t = gl::ToGL(created);
    d->MakeCurrent();
    if (!whole) {
        // Scaled loads go through a texture of the file's size and a filtered copy.
        IDirect3DTexture9* staging = nullptr;
        hr = device->CreateTexture(ii.width, ii.height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &staging, nullptr);
        if (Failed(hr)) {
            created->Release();
            return hr;
        }
        glActiveTexture(GL_TEXTURE15);
        glBindTexture(GL_TEXTURE_2D, gl::ToGL(staging)->name());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        gl::TexSubImage(D3DFMT_A8R8G8B8, 0, 0, 0, static_cast<GLsizei>(ii.width),
                        static_cast<GLsizei>(ii.height), pixels.data());
        IDirect3DSurface9 *src = nullptr, *dst = nullptr;
        staging->GetSurfaceLevel(0, &src);
        created->GetSurfaceLevel(0, &dst);
        const DWORD f = filter & 0xFF;
        gl::BlitSurface(gl::ToGL(src), nullptr, gl::ToGL(dst), nullptr,
                        f != D3DX_FILTER_NONE && f != D3DX_FILTER_POINT);
        src->Release();
        dst->Release();
        staging->Release();
    }
    t->GenerateMips();
    d->InvalidateState();
    GFX_GL_CHECK("texture from file");
    *texture = created;
    return D3D_OK;
}

HRESULT D3DXSaveSurfaceToFileInMemory(ID3DXBuffer** buffer, D3DXIMAGE_FILEFORMAT format,
                                      IDirect3DSurface9* surface, const void* palette,
                                      const RECT* rect) {
    (void)palette;
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    gl::SurfaceGL* s = gl::ToGL(surface);
    if (!s || format != D3DXIFF_PNG || s->locked()) return D3DERR_INVALIDCALL;
    RECT r{0, 0, static_cast<LONG>(s->width()), static_cast<LONG>(s->height())};
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
            static_cast<UINT>(rect->right) > s->width() || static_cast<UINT>(rect->bottom) > s->height()) {
            return D3DERR_INVALIDCALL;
        }
        r = *rect;
    }
    std::vector<std::uint32_t> pixels;
    ReadArgb(s, r, &pixels);
    std::vector<std::uint8_t> file;
    if (!image::EncodePng(std::move(pixels), static_cast<std::uint32_t>(r.right - r.left),
                          static_cast<std::uint32_t>(r.bottom - r.top), true, &file)) {
        return E_FAIL;
    }
    *buffer = new BufferGL(std::move(file));  // the buffer takes the file as it stands
    return D3D_OK;
}

HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* dest, const void* dest_palette,
                                   const RECT* dest_rect, IDirect3DSurface9* source,
                                   const void* source_palette, const RECT* source_rect,
                                   DWORD filter, D3DCOLOR colour_key) {
    (void)dest_palette;
    (void)source_palette;
    gl::SurfaceGL* d = gl::ToGL(dest);
    gl::SurfaceGL* s = gl::ToGL(source);
    if (!d || !s || d == s) return D3DERR_INVALIDCALL;
    const DWORD f = filter == D3DX_DEFAULT ? D3DX_FILTER_TRIANGLE : (filter & 0xFF);
    const bool linear = f != D3DX_FILTER_NONE && f != D3DX_FILTER_POINT;
    if (colour_key == 0) return gl::BlitSurface(s, source_rect, d, dest_rect, linear);

    // With a colour key the source goes through the CPU, keyed, into a staging texture.
    RECT r{0, 0, static_cast<LONG>(s->width()), static_cast<LONG>(s->height())};
    if (source_rect) r = *source_rect;
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom ||
        static_cast<UINT>(r.right) > s->width() || static_cast<UINT>(r.bottom) > s->height()) {
        return D3DERR_INVALIDCALL;
    }
    std::vector<std::uint32_t> pixels;
    ReadArgb(s, r, &pixels);
    for (auto& p : pixels) {
        if (p == colour_key) p = 0;
    }
    IDirect3DTexture9* staging = nullptr;
    const HRESULT hr = s->device()->CreateTexture(static_cast<UINT>(r.right - r.left),
                                                  static_cast<UINT>(r.bottom - r.top), 1, 0,
                                                  D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &staging, nullptr);
    if (Failed(hr)) return hr;
    IDirect3DSurface9* level = nullptr;
    staging->GetSurfaceLevel(0, &level);
    const RECT whole{0, 0, r.right - r.left, r.bottom - r.top};
    gl::ToGL(level)->WritePixels(whole, pixels.data());
    const HRESULT copied = gl::BlitSurface(gl::ToGL(level), nullptr, d, dest_rect, linear);
    level->Release();
    staging->Release();
    return copied;
}

}  // namespace platform::gfx
