// platform/gfx/gl/device_resources_gl.cpp: the device's resources: spare render-target and
// depth storage, the queue of textures waiting for their upload, texture and vertex-buffer
// creation, and the vertex stream.

#include "platform/gfx/gl/gl_api.h"

#include "platform/gfx/gl/gl_internal.h"
#include "platform/window/gl_surface.h"

namespace platform::gfx::gl {

// ---------------------------------------------------------------------------------------------
// Resources and streams
// ---------------------------------------------------------------------------------------------

namespace {
constexpr std::size_t kMaxSpares = 4;
}  // namespace

GLuint DeviceGL::TakeSpare(bool renderbuffer, UINT width, UINT height, GLenum format) {
    for (std::size_t i = 0; i < spares_.size(); ++i) {
        const SpareStorage s = spares_[i];
        if (s.renderbuffer == renderbuffer && s.width == width && s.height == height && s.format == format) {
            spares_.erase(spares_.begin() + static_cast<std::ptrdiff_t>(i));
            return s.name;
        }
    }
    return 0;
}

void DeviceGL::KeepSpare(bool renderbuffer, GLuint name, UINT width, UINT height, GLenum format) {
    if (name == 0) return;
    MakeCurrent();
    if (spares_.size() >= kMaxSpares) {
        if (renderbuffer) glDeleteRenderbuffers(1, &name);
        else glDeleteTextures(1, &name);
        return;
    }
    spares_.push_back({name, renderbuffer, width, height, format});
}

void DeviceGL::QueueUpload(TextureGL* texture) {
    uploads_.push_back(texture);
    // The queue is worked through in the idle time of the window's next blocking fade.
    platform::window::SetGlSurfaceIdleWork(surface_, &DeviceGL::WarmUpStep, this);
}

void DeviceGL::DropUpload(TextureGL* texture) {
    uploads_.erase(std::remove(uploads_.begin(), uploads_.end(), texture), uploads_.end());
}

void DeviceGL::DropSpares() {
    MakeCurrent();
    for (SpareStorage& s : spares_) {
        if (s.renderbuffer) glDeleteRenderbuffers(1, &s.name);
        else glDeleteTextures(1, &s.name);
    }
    spares_.clear();
}

HRESULT DeviceGL::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                                void* shared) {
    if (shared) {
        if (texture) *texture = nullptr;
        return D3DERR_INVALIDCALL;
    }
    return CreateTextureFrom(width, height, levels, usage, format, pool, {}, texture);
}

HRESULT DeviceGL::CreateTextureFrom(UINT width, UINT height, UINT levels, DWORD usage,
                                    D3DFORMAT format, D3DPOOL pool,
                                    std::vector<std::uint32_t>&& level0,
                                    IDirect3DTexture9** texture) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    FormatInfo fi;
    if (width == 0 || height == 0 || width > 16384 || height > 16384 ||
        !LookUpFormat(format, &fi) || pool > D3DPOOL_SCRATCH ||
        ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT) ||
        (usage & D3DUSAGE_DEPTHSTENCIL)) {
        return D3DERR_INVALIDCALL;
    }
    MakeCurrent();
    auto* t = new TextureGL(this, width, height, levels, usage, format, pool, std::move(level0));
    if (!t->Valid()) {
        t->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *texture = t;
    return D3D_OK;
}

HRESULT DeviceGL::CreateVertexBuffer(UINT length_bytes, DWORD usage, DWORD fvf, D3DPOOL pool,
                                     IDirect3DVertexBuffer9** buffer, void* shared) {
    (void)usage;
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (shared || length_bytes == 0 || length_bytes > (1u << 28) || pool > D3DPOOL_SCRATCH) {
        return D3DERR_INVALIDCALL;
    }
    MakeCurrent();
    *buffer = new VertexBufferGL(this, length_bytes, fvf);
    return D3D_OK;
}

HRESULT DeviceGL::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset_bytes,
                                  UINT stride_bytes) {
    if (stream != 0) return D3DERR_INVALIDCALL;
    if (buffer) buffer->AddRef();
    if (stream_) stream_->Release();
    stream_ = buffer;
    streamOffset_ = offset_bytes;
    streamStride_ = stride_bytes;
    return D3D_OK;
}

HRESULT DeviceGL::SetFVF(DWORD fvf) {
    fvf_ = fvf;
    return D3D_OK;
}

HRESULT DeviceGL::GetFVF(DWORD* fvf) {
    if (!fvf) return D3DERR_INVALIDCALL;
    *fvf = fvf_;
    return D3D_OK;
}

}  // namespace platform::gfx::gl
