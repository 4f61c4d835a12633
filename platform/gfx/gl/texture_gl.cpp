// platform/gfx/gl/texture_gl.cpp: surfaces, textures and vertex buffers as GL objects.
//
// Every texture level holds its picture with the top row first (GL row 0), so a texel's
// Direct3D coordinates are its GL coordinates and copies between surfaces need no flip.
// Locked bits are fetched from GL only when asked for (LockedBits::Bits) and stored back at
// UnlockRect only then.

#include "platform/gfx/gl/gl_api.h"

#include <algorithm>
#include <cstring>

#include "platform/gfx/gl/gl_internal.h"

namespace platform::gfx {

void* LockedBits::Bits() const {
    if (!surface_) return nullptr;
    return static_cast<gl::SurfaceGL*>(surface_)->FetchLockedBits(lockId_);
}

namespace gl {

namespace {

std::uint32_t g_nextLockId = 0;

// Uploads and creations use a texture unit that draws never bind, so they disturb nothing.
constexpr GLenum kWorkUnit = GL_TEXTURE15;

UINT FullChain(UINT width, UINT height) {
    UINT levels = 1;
    for (UINT size = std::max(width, height); size > 1; size >>= 1) ++levels;
    return levels;
}

bool ValidRect(const RECT& r, UINT width, UINT height) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           static_cast<UINT>(r.right) <= width && static_cast<UINT>(r.bottom) <= height;
}

}  // namespace

bool LookUpFormat(D3DFORMAT format, FormatInfo* out) {
#if defined(__EMSCRIPTEN__)
    // OpenGL ES: RGBA-ordered client formats; pixels_gl.cpp rearranges the rows.
    switch (format) {
        case D3DFMT_A8R8G8B8: *out = {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, false}; return true;
        case D3DFMT_X8R8G8B8: *out = {GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, 4, true}; return true;
        case D3DFMT_R5G6B5: *out = {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, true}; return true;
        case D3DFMT_A1R5G5B5:
            *out = {GL_RGB5_A1, GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1, 2, false};
            return true;
        case D3DFMT_X1R5G5B5:
            *out = {GL_RGB5_A1, GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1, 2, true};
            return true;
        case D3DFMT_A2R10G10B10:
            *out = {GL_RGB10_A2, GL_RGBA, GL_UNSIGNED_INT_2_10_10_10_REV, 4, false};
            return true;
        default: return false;
    }
#else
    switch (format) {
        case D3DFMT_A8R8G8B8:
            *out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, false};
            return true;
        case D3DFMT_X8R8G8B8:
            *out = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, true};
            return true;
        case D3DFMT_R5G6B5:
            *out = {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, true};
            return true;
        case D3DFMT_A1R5G5B5:
            *out = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, false};
            return true;
        case D3DFMT_X1R5G5B5:
            *out = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, true};
            return true;
        case D3DFMT_A2R10G10B10:
            *out = {GL_RGB10_A2, GL_BGRA, GL_UNSIGNED_INT_2_10_10_10_REV, 4, false};
            return true;
        default:
            return false;
    }
#endif
}

// ---------------------------------------------------------------------------------------------
// Surfaces
// ---------------------------------------------------------------------------------------------

SurfaceGL::SurfaceGL(DeviceGL* device, IUnknown* container, GLuint texture, UINT level,
                     UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
                     bool lockable, bool holds_device)
    : device_(device), holdsDevice_(holds_device), container_(container), texture_(texture), level_(level), width_(width),
      height_(height), format_(format), usage_(usage), pool_(pool), lockable_(lockable) {
    if (holdsDevice_) device_->AddRef();
    if (container_) container_->AddRef();
}

SurfaceGL::~SurfaceGL() {
    device_->MakeCurrent();
    if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
    if (container_) {
        auto* texture = static_cast<TextureGL*>(static_cast<IDirect3DTexture9*>(container_));
        if (level_ < texture->surfaces_.size() && texture->surfaces_[level_] == this) {
            texture->surfaces_[level_] = nullptr;
        }
        container_->Release();
    }
    if (holdsDevice_) device_->Release();
}

HRESULT SurfaceGL::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{format_, D3DRTYPE_SURFACE, usage_, pool_, D3DMULTISAMPLE_NONE, 0,
                            width_, height_};
    return D3D_OK;
}

HRESULT SurfaceGL::GetDevice(IDirect3DDevice9** device) {
    if (!device) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

HRESULT SurfaceGL::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (!locked) return D3DERR_INVALIDCALL;
    locked->Pitch = 0;
    locked->pBits = LockedBits();
    if (locked_ || !lockable_) return D3DERR_INVALIDCALL;
    RECT r{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
    if (rect) {
        if (!ValidRect(*rect, width_, height_)) return D3DERR_INVALIDCALL;
        r = *rect;
    }
    FormatInfo fi;
    LookUpFormat(format_, &fi);
    locked_ = true;
    fetched_ = false;
    readOnly_ = (flags & D3DLOCK_READONLY) != 0;
    discard_ = (flags & D3DLOCK_DISCARD) != 0;
    lockId_ = ++g_nextLockId;
    lockRect_ = r;
    locked->Pitch = (r.right - r.left) * fi.bytesPerPixel;
    locked->pBits = LockedBits(this, lockId_);
    return D3D_OK;
}

void* SurfaceGL::FetchLockedBits(std::uint32_t lock_id) {
    if (!locked_ || lock_id != lockId_) return nullptr;
    if (!fetched_) {
        FormatInfo fi;
        LookUpFormat(format_, &fi);
        const std::size_t bytes = static_cast<std::size_t>(lockRect_.right - lockRect_.left) *
                                  static_cast<std::size_t>(lockRect_.bottom - lockRect_.top) *
                                  static_cast<std::size_t>(fi.bytesPerPixel);
        lockBits_.resize(bytes);
        if (discard_) {
            std::fill(lockBits_.begin(), lockBits_.end(), 0);
        } else {
            ReadPixels(lockRect_, lockBits_.data());
            CountReadBack();
        }
        fetched_ = true;
    }
    return lockBits_.data();
}

HRESULT SurfaceGL::UnlockRect() {
    if (!locked_) return D3DERR_INVALIDCALL;
    if (fetched_ && !readOnly_) WritePixels(lockRect_, lockBits_.data());
    locked_ = false;
    fetched_ = false;
    return D3D_OK;
}

GLuint SurfaceGL::texture() {
    if (container_) static_cast<TextureGL*>(static_cast<IDirect3DTexture9*>(container_))->Upload();
    return texture_;
}

const std::uint32_t* SurfaceGL::WaitingPixels() const {
    if (!container_ || level_ != 0) return nullptr;
    return static_cast<TextureGL*>(static_cast<IDirect3DTexture9*>(container_))->waitingLevel0();
}

GLuint SurfaceGL::Framebuffer() {
    texture();  // a level drawn into or read from must hold its picture first
    device_->MakeCurrent();
    if (!framebuffer_) {
        glGenFramebuffers(1, &framebuffer_);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_,
                               static_cast<GLint>(level_));
        device_->InvalidateState();
    }
    return framebuffer_;
}

void SurfaceGL::ReadPixels(const RECT& rect, void* out) {
    FormatInfo fi;
    LookUpFormat(format_, &fi);
    const GLuint fb = Framebuffer();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fb);
    gl::ReadPixels(format_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, out);
    device_->InvalidateState();
    GFX_GL_CHECK("ReadPixels");
}

void SurfaceGL::WritePixels(const RECT& rect, const void* pixels) {
    FormatInfo fi;
    LookUpFormat(format_, &fi);
    const GLuint name = texture();
    device_->MakeCurrent();
    glActiveTexture(kWorkUnit);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    gl::TexSubImage(format_, static_cast<GLint>(level_), rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top, pixels);
    GFX_GL_CHECK("WritePixels");
}

void SurfaceGL::Rebind(GLuint texture, UINT width, UINT height) {
    device_->MakeCurrent();
    if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
    framebuffer_ = 0;
    texture_ = texture;
    width_ = width;
    height_ = height;
    locked_ = false;
    fetched_ = false;
}

HRESULT BlitSurface(SurfaceGL* source, const RECT* source_rect, SurfaceGL* dest,
                    const RECT* dest_rect, bool linear) {
    if (!source || !dest || source->device() != dest->device() || source->locked() || dest->locked()) {
        return D3DERR_INVALIDCALL;
    }
    RECT s{0, 0, static_cast<LONG>(source->width()), static_cast<LONG>(source->height())};
    RECT d{0, 0, static_cast<LONG>(dest->width()), static_cast<LONG>(dest->height())};
    if (source_rect) {
        if (!ValidRect(*source_rect, source->width(), source->height())) return D3DERR_INVALIDCALL;
        s = *source_rect;
    }
    if (dest_rect) {
        if (!ValidRect(*dest_rect, dest->width(), dest->height())) return D3DERR_INVALIDCALL;
        d = *dest_rect;
    }
    DeviceGL* device = source->device();
    const GLuint read = source->Framebuffer();
    const GLuint draw = dest->Framebuffer();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, read);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, draw);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const bool same = (s.right - s.left) == (d.right - d.left) && (s.bottom - s.top) == (d.bottom - d.top);
    glBlitFramebuffer(s.left, s.top, s.right, s.bottom, d.left, d.top, d.right, d.bottom,
                      GL_COLOR_BUFFER_BIT, (linear && !same) ? GL_LINEAR : GL_NEAREST);
    device->InvalidateState();
    GFX_GL_CHECK("BlitSurface");
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------------------------

TextureGL::TextureGL(DeviceGL* device, UINT width, UINT height, UINT levels, DWORD usage,
                     D3DFORMAT format, D3DPOOL pool, std::vector<std::uint32_t>&& level0)
    : device_(device), width_(width), height_(height), usage_(usage), format_(format), pool_(pool) {
    const UINT full = FullChain(width, height);
    levels_ = (levels == 0 || levels == D3DX_DEFAULT || levels > full) ? full : levels;
    if (usage & D3DUSAGE_RENDERTARGET) levels_ = 1;
    device_->AddRef();
    FormatInfo fi;
    if (!LookUpFormat(format, &fi)) return;
    device_->MakeCurrent();
    while (glGetError() != GL_NO_ERROR) {
    }
    glActiveTexture(kWorkUnit);
    // A render target takes the storage of one released before it where one fits.
    const bool target = (usage & D3DUSAGE_RENDERTARGET) != 0;
    texture_ = target ? device_->TakeSpare(false, width, height, fi.internalFormat) : 0;
    const bool reused = texture_ != 0;
    if (!reused) glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    // One level of words the CPU reads as GL would: the storage can wait for the first use.
    const bool deferred = level0.size() == static_cast<std::size_t>(width) * height &&
                          levels_ == 1 && !target &&
                          (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8);
    for (UINT l = 0; l < levels_ && !reused && !deferred; ++l) {
        glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(l), static_cast<GLint>(fi.internalFormat),
                     static_cast<GLsizei>(std::max(1u, width >> l)),
                     static_cast<GLsizei>(std::max(1u, height >> l)), 0, fi.format, fi.type, nullptr);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels_ - 1));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    if constexpr (!kGlEs)  // ES stores opaque formats without alpha instead
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, fi.opaque ? GL_ONE : GL_ALPHA);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &texture_);
        texture_ = 0;
        return;
    }
    surfaces_.assign(levels_, nullptr);
    if (deferred) {
        waiting_ = std::move(level0);
        device_->QueueUpload(this);
        return;
    }
    // Fresh textures start transparent black rather than with whatever memory held, or with
    // the picture they were created from.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (!level0.empty()) {
        TexSubImage(format, 0, 0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height),
                    level0.data());
    } else if (usage & D3DUSAGE_RENDERTARGET) {
        GLuint fb = 0;
        glGenFramebuffers(1, &fb);
        glBindFramebuffer(GL_FRAMEBUFFER, fb);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glDeleteFramebuffers(1, &fb);
        device_->InvalidateState();
    }
    // The levels still to fill (all but a given level 0; a render target has one level).
    const UINT first = level0.empty() ? 0 : 1;
    if (first < levels_ && !(usage & D3DUSAGE_RENDERTARGET)) {
        std::vector<std::uint8_t> zero(static_cast<std::size_t>(std::max(1u, width >> first)) *
                                       std::max(1u, height >> first) * fi.bytesPerPixel);
        for (UINT l = first; l < levels_; ++l) {
            glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(l), 0, 0,
                            static_cast<GLsizei>(std::max(1u, width >> l)),
                            static_cast<GLsizei>(std::max(1u, height >> l)), fi.format, fi.type,
                            zero.data());
        }
    }
    GFX_GL_CHECK("CreateTexture");
}

TextureGL::~TextureGL() {
    for (SurfaceGL* s : locks_) {
        if (s) s->Release();
    }
    if (!waiting_.empty()) device_->DropUpload(this);
    if (srgb_) {
        device_->MakeCurrent();
        glDeleteTextures(1, &srgb_);
    }
    if (texture_) {
        device_->MakeCurrent();
        FormatInfo fi;
        if ((usage_ & D3DUSAGE_RENDERTARGET) && LookUpFormat(format_, &fi)) {
            device_->KeepSpare(false, texture_, width_, height_, fi.internalFormat);
        } else {
            glDeleteTextures(1, &texture_);
        }
    }
    device_->Release();
}

// Each level is copied bit for bit with a framebuffer blit (GL converts nothing while
// GL_FRAMEBUFFER_SRGB is off, which the device never turns on), so sampling the copy decodes
// the texture's bytes as sRGB. The framebuffer bindings and the scissor test are restored.
GLuint TextureGL::SrgbCopy() {
    if (kGlEs || (format_ != D3DFMT_A8R8G8B8 && format_ != D3DFMT_X8R8G8B8)) return 0;
    const GLuint source = name();
    if (!source) return 0;
    device_->MakeCurrent();
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    if (!srgb_) {
        glActiveTexture(kWorkUnit);
        glGenTextures(1, &srgb_);
        glBindTexture(GL_TEXTURE_2D, srgb_);
        for (UINT l = 0; l < levels_; ++l) {
            glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(l), GL_SRGB8_ALPHA8,
                         static_cast<GLsizei>(std::max(1u, width_ >> l)),
                         static_cast<GLsizei>(std::max(1u, height_ >> l)), 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        }
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels_ - 1));
        if constexpr (!kGlEs)
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, format_ == D3DFMT_X8R8G8B8 ? GL_ONE : GL_ALPHA);
        glActiveTexture(static_cast<GLenum>(active));
    }
    GLint read = 0, draw = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    GLuint framebuffers[2] = {};
    glGenFramebuffers(2, framebuffers);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffers[0]);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffers[1]);
    for (UINT l = 0; l < levels_; ++l) {
        const auto w = static_cast<GLint>(std::max(1u, width_ >> l));
        const auto h = static_cast<GLint>(std::max(1u, height_ >> l));
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, source, static_cast<GLint>(l));
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, srgb_, static_cast<GLint>(l));
        glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    glDeleteFramebuffers(2, framebuffers);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw));
    if (scissor) glEnable(GL_SCISSOR_TEST);
    GFX_GL_CHECK("sRGB copy");
    return srgb_;
}

HRESULT TextureGL::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (!desc || level >= levels_) return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{format_, D3DRTYPE_SURFACE, usage_, pool_, D3DMULTISAMPLE_NONE, 0,
                            std::max(1u, width_ >> level), std::max(1u, height_ >> level)};
    return D3D_OK;
}

SurfaceGL* TextureGL::Level(UINT level) {
    if (level >= levels_) return nullptr;
    if (surfaces_[level]) {
        surfaces_[level]->AddRef();
        return surfaces_[level];
    }
    // Render targets live in video memory and cannot be locked; so do default-pool textures
    // unless they are dynamic.
    const bool lockable = !(usage_ & D3DUSAGE_RENDERTARGET) &&
                          (pool_ != D3DPOOL_DEFAULT || (usage_ & D3DUSAGE_DYNAMIC));
    auto* s = new SurfaceGL(device_, this, texture_, level, std::max(1u, width_ >> level),
                            std::max(1u, height_ >> level), format_, usage_, pool_, lockable);
    surfaces_[level] = s;
    return s;
}

HRESULT TextureGL::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = Level(level);
    return *surface ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT TextureGL::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (!locked || level >= levels_) return D3DERR_INVALIDCALL;
    if (locks_.size() < levels_) locks_.resize(levels_, nullptr);
    if (locks_[level]) return D3DERR_INVALIDCALL;
    SurfaceGL* s = Level(level);
    const HRESULT hr = s->LockRect(locked, rect, flags);
    if (Failed(hr)) {
        s->Release();
        return hr;
    }
    locks_[level] = s;
    return D3D_OK;
}

HRESULT TextureGL::UnlockRect(UINT level) {
    if (level >= locks_.size() || !locks_[level]) return D3DERR_INVALIDCALL;
    SurfaceGL* s = locks_[level];
    locks_[level] = nullptr;
    const HRESULT hr = s->UnlockRect();
    s->Release();
    return hr;
}

void TextureGL::Upload() {
    if (waiting_.empty()) return;
    std::vector<std::uint32_t> words;
    words.swap(waiting_);
    device_->DropUpload(this);
    FormatInfo fi;
    LookUpFormat(format_, &fi);
    device_->MakeCurrent();
    // Callers bind the name to a unit of their own right after: theirs stays active.
    GLint unit = GL_TEXTURE0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    glActiveTexture(kWorkUnit);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    TexImage(format_, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), words.data());
    glActiveTexture(static_cast<GLenum>(unit));
    GFX_GL_CHECK("texture upload");
}

void TextureGL::GenerateMips() {
    if (levels_ < 2) return;
    device_->MakeCurrent();
    glActiveTexture(kWorkUnit);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glGenerateMipmap(GL_TEXTURE_2D);
}

// ---------------------------------------------------------------------------------------------
// Vertex buffers
// ---------------------------------------------------------------------------------------------

VertexBufferGL::VertexBufferGL(DeviceGL* device, UINT length, DWORD fvf)
    : device_(device), bytes_(length, 0) {
    (void)fvf;
    device_->AddRef();
    glGenBuffers(1, &buffer_);
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(length), bytes_.data(), GL_DYNAMIC_DRAW);
}

VertexBufferGL::~VertexBufferGL() {
    device_->MakeCurrent();
    glDeleteBuffers(1, &buffer_);
    device_->Release();
}

HRESULT VertexBufferGL::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    (void)flags;
    if (!data) return D3DERR_INVALIDCALL;
    *data = nullptr;
    if (locked_ || offset > bytes_.size()) return D3DERR_INVALIDCALL;
    if (size == 0) size = static_cast<UINT>(bytes_.size()) - offset;
    if (size > bytes_.size() - offset) return D3DERR_INVALIDCALL;
    locked_ = true;
    lockOffset_ = offset;
    lockSize_ = size;
    *data = bytes_.data() + offset;
    return D3D_OK;
}

HRESULT VertexBufferGL::Unlock() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    if (lockSize_ == 0) return D3D_OK;
    device_->MakeCurrent();
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glBufferSubData(GL_ARRAY_BUFFER, lockOffset_, lockSize_, bytes_.data() + lockOffset_);
    return D3D_OK;
}

}  // namespace gl
}  // namespace platform::gfx
