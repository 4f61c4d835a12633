// tests/fx/fx_gl_test.cpp: generated shaders on the real GL context (Xvfb + Mesa): every pass
// of the corpus builds, and rendered passes match a CPU evaluation of the same maths.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gfx/fx/effect.h"
#include "platform/gfx/fx/effect_testing.h"
#include "platform/gfx/gfx.h"
#include "platform/gfx/gl/gl_internal.h"
#include "platform/window/window.h"

namespace {

namespace gfx = platform::gfx;
namespace win = platform::window;
namespace fx = platform::gfx::fx;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

win::LResult Proc(win::WindowHandle w, std::uint32_t m, win::WParam wp, win::LParam lp) {
    return win::DefWindowProc(w, m, wp, lp);
}

// An RGBA picture with channels in 0..1, row 0 on top.
struct Picture {
    int width = 0, height = 0;
    std::vector<float> rgba;
    float* at(int x, int y) { return &rgba[static_cast<std::size_t>((y * width + x) * 4)]; }
    const float* at(int x, int y) const { return &rgba[static_cast<std::size_t>((y * width + x) * 4)]; }
};

Picture MakePicture(int w, int h, const std::function<void(int, int, float*)>& f) {
    Picture p;
    p.width = w;
    p.height = h;
    p.rgba.resize(static_cast<std::size_t>(w * h * 4));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) f(x, y, p.at(x, y));
    return p;
}

// A 4 x 4 opaque picture of one colour.
Picture SolidPicture(float r, float g, float b) {
    return MakePicture(4, 4, [=](int, int, float* c) { c[0] = r; c[1] = g; c[2] = b; c[3] = 1; });
}

// One device for the whole suite: windows and contexts are slow to make under Xvfb.
class FxGl : public ::testing::Test {
protected:
    static constexpr int kWidth = 64, kHeight = 48;

    static void SetUpTestSuite() {
        win::ClassDesc c;
        c.name = "FxGlTestClass";
        c.proc = Proc;
        win::RegisterClass(c);
        win::WindowDesc d;
        d.className = "FxGlTestClass";
        d.title = "fx test";
        d.style = win::WS_POPUP | win::WS_VISIBLE;
        d.width = kWidth;
        d.height = kHeight;
        window_ = win::CreateWindow(d);
        d3d_ = gfx::Direct3DCreate9(gfx::D3D_SDK_VERSION);
        gfx::D3DPRESENT_PARAMETERS p;
        p.BackBufferFormat = gfx::D3DFMT_X8R8G8B8;
        p.BackBufferCount = 1;
        p.SwapEffect = gfx::D3DSWAPEFFECT_DISCARD;
        p.hDeviceWindow = window_;
        p.Windowed = 1;
        p.EnableAutoDepthStencil = 1;
        p.AutoDepthStencilFormat = gfx::D3DFMT_D16;
        p.Flags = gfx::D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
        if (window_ && d3d_)
            d3d_->CreateDevice(0, gfx::D3DDEVTYPE_HAL, window_, gfx::D3DCREATE_HARDWARE_VERTEXPROCESSING,
                               &p, &device_);
    }
    static void TearDownTestSuite() {
        if (device_) device_->Release();
        if (d3d_) d3d_->Release();
        if (window_) win::DestroyWindow(window_);
        device_ = nullptr;
        d3d_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(device_, nullptr) << "no GL device (is an X server running?)";
        // The engine's sampler defaults: linear filtering, wrap addressing.
        for (gfx::DWORD s = 0; s < 2; ++s) {
            device_->SetSamplerState(s, gfx::D3DSAMP_MINFILTER, gfx::D3DTEXF_LINEAR);
            device_->SetSamplerState(s, gfx::D3DSAMP_MAGFILTER, gfx::D3DTEXF_LINEAR);
            device_->SetSamplerState(s, gfx::D3DSAMP_MIPFILTER, gfx::D3DTEXF_LINEAR);
            device_->SetSamplerState(s, gfx::D3DSAMP_ADDRESSU, gfx::D3DTADDRESS_WRAP);
            device_->SetSamplerState(s, gfx::D3DSAMP_ADDRESSV, gfx::D3DTADDRESS_WRAP);
        }
    }

    static gfx::ID3DXEffect* Create(const std::string& source, std::string* messages = nullptr) {
        gfx::ID3DXEffect* e = nullptr;
        gfx::ID3DXBuffer* errors = nullptr;
        const gfx::HRESULT hr = gfx::D3DXCreateEffect(device_, source.data(),
                                                      static_cast<gfx::UINT>(source.size()),
                                                      nullptr, nullptr, 0, nullptr, &e, &errors);
        std::string text;
        if (errors) {
            text = static_cast<const char*>(errors->GetBufferPointer());
            errors->Release();
        }
        if (messages) *messages = text;
        EXPECT_EQ(hr, gfx::D3D_OK) << text;
        return gfx::Succeeded(hr) ? e : nullptr;
    }

    static gfx::IDirect3DTexture9* Upload(const Picture& p) {
        gfx::IDirect3DTexture9* t = nullptr;
        if (gfx::Failed(device_->CreateTexture(static_cast<gfx::UINT>(p.width), static_cast<gfx::UINT>(p.height), 1, 0,
                                               gfx::D3DFMT_A8R8G8B8, gfx::D3DPOOL_MANAGED, &t, nullptr)))
            return nullptr;
        gfx::D3DLOCKED_RECT lr;
        if (gfx::Failed(t->LockRect(0, &lr, nullptr, 0))) return t;
        auto* bits = static_cast<std::uint8_t*>(lr.pBits.Bits());
        auto byte = [](float v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
        for (int y = 0; y < p.height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(bits + y * lr.Pitch);
            for (int x = 0; x < p.width; ++x) {
                const float* c = p.at(x, y);
                row[x] = byte(c[3]) << 24 | byte(c[0]) << 16 | byte(c[1]) << 8 | byte(c[2]);
            }
        }
        t->UnlockRect(0);
        return t;
    }

    // Runs every pass of the effect's current technique over the full-screen quad into a
    // fresh kWidth x kHeight target cleared to black, as the engine's post-processing does,
    // and returns the target as a picture.
    static Picture Render(gfx::ID3DXEffect* effect, const float* quad = nullptr) {
        static const float kQuad[20] = {-1, 1, 0, 0, 0, 1, 1, 0, 1, 0, -1, -1, 0, 0, 1, 1, -1, 0, 1, 1};
        return Render(effect, {quad ? quad : kQuad, 80, gfx::D3DFVF_XYZ | gfx::D3DFVF_TEX1, 20,
                               gfx::D3DPT_TRIANGLESTRIP, 2});
    }
    // What to draw: vertex bytes of a format, and the primitives they make.
    struct Draw {
        const void* data;
        gfx::UINT bytes;
        gfx::DWORD fvf;
        gfx::UINT stride;
        gfx::D3DPRIMITIVETYPE type;
        gfx::UINT count;
    };
    static Picture Render(gfx::ID3DXEffect* effect, const Draw& draw) {
        Picture out;
        gfx::IDirect3DTexture9* target = nullptr;
        if (gfx::Failed(gfx::D3DXCreateTexture(device_, kWidth, kHeight, 1, gfx::D3DUSAGE_RENDERTARGET,
                                               gfx::D3DFMT_X8R8G8B8, gfx::D3DPOOL_DEFAULT, &target)))
            return out;
        gfx::IDirect3DSurface9* surface = nullptr;
        target->GetSurfaceLevel(0, &surface);
        gfx::ID3DXRenderToSurface* rts = nullptr;
        gfx::D3DXCreateRenderToSurface(device_, kWidth, kHeight, gfx::D3DFMT_X8R8G8B8, 1, gfx::D3DFMT_D16, &rts);
        gfx::IDirect3DVertexBuffer9* vb = nullptr;
        device_->CreateVertexBuffer(draw.bytes, 0, draw.fvf, gfx::D3DPOOL_MANAGED, &vb, nullptr);
        void* data = nullptr;
        vb->Lock(0, draw.bytes, &data, 0);
        std::memcpy(data, draw.data, draw.bytes);
        vb->Unlock();
        gfx::D3DVIEWPORT9 vp{0, 0, kWidth, kHeight, 0.0f, 1.0f};
        rts->BeginScene(surface, &vp);
        device_->Clear(0, nullptr, gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        gfx::UINT passes = 0;
        effect->Begin(&passes, 0);
        for (gfx::UINT i = 0; i < passes; ++i) {
            effect->BeginPass(i);
            device_->SetStreamSource(0, vb, 0, draw.stride);
            device_->SetFVF(draw.fvf);
            device_->DrawPrimitive(draw.type, 0, draw.count);
            effect->EndPass();
        }
        effect->End();
        device_->SetStreamSource(0, nullptr, 0, 0);  // the device holds the stream's buffer
        rts->EndScene(0);
        std::vector<std::uint32_t> words(kWidth * kHeight);
        gfx::RECT all{0, 0, kWidth, kHeight};
        gfx::gl::ToGL(surface)->ReadPixels(all, words.data());
        out = MakePicture(kWidth, kHeight, [&](int x, int y, float* c) {
            const std::uint32_t w = words[static_cast<std::size_t>(y * kWidth + x)];
            c[0] = ((w >> 16) & 0xFF) / 255.0f;
            c[1] = ((w >> 8) & 0xFF) / 255.0f;
            c[2] = (w & 0xFF) / 255.0f;
            c[3] = 1.0f;
        });
        vb->Release();
        rts->Release();
        surface->Release();
        target->Release();
        return out;
    }

    static inline win::WindowHandle window_{};
    static inline gfx::IDirect3D9* d3d_ = nullptr;
    static inline gfx::IDirect3DDevice9* device_ = nullptr;
};

// --- every pass builds -------------------------------------------------------------------------

TEST_F(FxGl, EveryCorpusPassCompilesAndLinks) {
    const char* files[] = {"crystals.fx", "lighting.fx", "blur.fx", "transform.fx", "features.fx",
                           "samples.fx"};
    std::vector<std::string> paths;
    for (const char* f : files) paths.push_back(std::string(FX_CORPUS_DIR) + "/" + f);
    paths.push_back(FX_ASSETS_EFFECT);
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const std::string source = ReadFile(path);
        ASSERT_FALSE(source.empty());
        gfx::ID3DXEffect* e = Create(source);
        ASSERT_NE(e, nullptr);
        int passes = 0;
        for (const auto& t : e->Reflection().techniques) passes += static_cast<int>(t.passes.size());
        EXPECT_GT(passes, 0);
        e->Release();
    }
}

TEST_F(FxGl, TechniqueSelectionValuesAndTexturesFollowTheEffectContract) {
    gfx::ID3DXEffect* e = Create(ReadFile(std::string(FX_CORPUS_DIR) + "/blur.fx"));
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->GetCurrentTechnique(), "GaussianBlur");  // the first technique
    EXPECT_EQ(e->SetTechnique("postFX"), gfx::D3DERR_INVALIDCALL);
    EXPECT_STREQ(e->GetCurrentTechnique(), "GaussianBlur");
    EXPECT_EQ(e->SetTechnique("TintOnly"), gfx::D3D_OK);
    EXPECT_STREQ(e->GetCurrentTechnique(), "TintOnly");

    const float v = 0.25f;
    EXPECT_EQ(e->SetValue("Var1", &v, 4), gfx::D3DERR_INVALIDCALL);  // undeclared: no change
    EXPECT_EQ(e->SetValue("Threshold", &v, 4), gfx::D3D_OK);
    float back = 0;
    EXPECT_EQ(e->GetValue("Threshold", &back, 4), gfx::D3D_OK);
    EXPECT_EQ(back, 0.25f);
    const float tooMany[3] = {1, 2, 3};
    EXPECT_EQ(e->SetValue("Threshold", tooMany, 12), gfx::D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetValue("SceneTexture", &v, 4), gfx::D3DERR_INVALIDCALL);

    // The effect holds its own reference to a texture until the variable is set again.
    Picture p = MakePicture(4, 4, [](int, int, float* c) { c[0] = c[1] = c[2] = c[3] = 1; });
    gfx::IDirect3DTexture9* t = Upload(p);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(e->SetTexture("SceneTexture", t), gfx::D3D_OK);
    EXPECT_EQ(t->AddRef(), 3u);  // ours, the effect's, this one
    t->Release();
    EXPECT_EQ(e->SetTexture("Threshold", t), gfx::D3DERR_INVALIDCALL);
    EXPECT_EQ(e->SetTexture("SceneTexture", nullptr), gfx::D3D_OK);
    EXPECT_EQ(t->AddRef(), 2u);
    t->Release();
    t->Release();

    // Begin reports the pass count; the pass's states are put back by End.
    gfx::DWORD before = 0;
    device_->SetRenderState(gfx::D3DRS_ALPHABLENDENABLE, 0);
    gfx::UINT passes = 0;
    ASSERT_EQ(e->Begin(&passes, 0), gfx::D3D_OK);
    EXPECT_EQ(passes, 1u);
    EXPECT_EQ(e->Begin(&passes, 0), gfx::D3DERR_INVALIDCALL);
    ASSERT_EQ(e->BeginPass(0), gfx::D3D_OK);
    device_->GetRenderState(gfx::D3DRS_ALPHABLENDENABLE, &before);
    EXPECT_EQ(before, 1u);
    EXPECT_EQ(e->EndPass(), gfx::D3D_OK);
    EXPECT_EQ(e->End(), gfx::D3D_OK);
    device_->GetRenderState(gfx::D3DRS_ALPHABLENDENABLE, &before);
    EXPECT_EQ(before, 0u);
    EXPECT_EQ(e->BeginPass(0), gfx::D3DERR_INVALIDCALL);  // not begun

    // Lost and reset: the effect keeps working.
    EXPECT_EQ(e->OnLostDevice(), gfx::D3D_OK);
    EXPECT_EQ(e->OnResetDevice(), gfx::D3D_OK);
    ASSERT_EQ(e->Begin(&passes, 0), gfx::D3D_OK);
    EXPECT_EQ(e->BeginPass(0), gfx::D3D_OK);
    e->EndPass();
    e->End();
    e->Release();
}

TEST_F(FxGl, ATechniqueWithoutPassesDrawsNothing) {
    gfx::ID3DXEffect* e = Create(
        "float4 PS() : COLOR { return 1; }\n"
        "technique Empty { }\n"
        "technique White { pass P { PixelShader = compile ps_2_0 PS(); } }\n");
    ASSERT_NE(e, nullptr);
    gfx::UINT passes = 7;
    ASSERT_EQ(e->Begin(&passes, 0), gfx::D3D_OK);
    EXPECT_EQ(passes, 0u);
    EXPECT_EQ(e->BeginPass(0), gfx::D3DERR_INVALIDCALL);
    e->End();
    EXPECT_EQ(Render(e).at(5, 5)[0], 0.0f);  // the target stays cleared to black
    ASSERT_EQ(e->SetTechnique("White"), gfx::D3D_OK);
    EXPECT_EQ(Render(e).at(5, 5)[0], 1.0f);
    e->Release();
}

TEST_F(FxGl, CreateEffectRefusesBadCallsAndReportsCompileErrors) {
    gfx::ID3DXEffect* e = nullptr;
    gfx::ID3DXBuffer* errors = nullptr;
    EXPECT_EQ(gfx::D3DXCreateEffect(device_, "", 0, nullptr, nullptr, 0, nullptr, &e, &errors),
              gfx::D3DERR_INVALIDCALL);
    EXPECT_EQ(gfx::D3DXCreateEffect(nullptr, "x", 1, nullptr, nullptr, 0, nullptr, &e, &errors),
              gfx::D3DERR_INVALIDCALL);
    const std::string bad =
        "float4 main() : COLOR { return undefinedThing; }\n"
        "technique T { pass P { PixelShader = compile ps_2_0 main(); } }\n";
    EXPECT_EQ(gfx::D3DXCreateEffect(device_, bad.data(), static_cast<gfx::UINT>(bad.size()), nullptr,
                                    nullptr, 0, nullptr, &e, &errors),
              gfx::E_FAIL);
    EXPECT_EQ(e, nullptr);
    ASSERT_NE(errors, nullptr);
    EXPECT_STREQ(static_cast<const char*>(errors->GetBufferPointer()),
                 "(1,32): error: undeclared identifier 'undefinedThing'\n");
    errors->Release();
}

TEST_F(FxGl, ParametersOfEveryKindReachTheShader) {
    gfx::ID3DXEffect* e = Create(
        "float4 Arr[3];\nint Count = 1;\nbool Flag;\nfloat3x3 M3;\nfloat2x4 Wide;\nfloat4x4 Full;\nfloat4 Vec;\n"
        "float1x4 Row;\nfloat4x1 Col;\n"
        "float4 PS() : COLOR {\n"
        "    float4 sum = 0;\n"
        "    for (int i = 0; i < Count; i++) sum += Arr[i];\n"
        "    float4 r;\n"
        "    r.x = sum.x + Vec.w;\n"
        "    r.y = (Flag ? M3._m12 : -1) + Row._m03 - 2 * Col._m20;\n"
        "    r.z = Wide._m13 + Full._m30;\n"
        "    r.w = 0;\n"
        "    return r * 0.1;\n"
        "}\n"
        "technique T { pass P { PixelShader = compile ps_3_0 PS(); } }\n");
    ASSERT_NE(e, nullptr);
    const float arr[12] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
    EXPECT_EQ(e->SetValue("Arr", arr, sizeof arr), gfx::D3D_OK);
    EXPECT_EQ(e->SetFloat("Count", 3.7f), gfx::D3D_OK);  // an int parameter takes 3
    gfx::INT count = 0;
    EXPECT_EQ(e->GetValue("Count", &count, 4), gfx::D3D_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(e->SetBool("Flag", 1), gfx::D3D_OK);
    float m3[9] = {};
    m3[1 * 3 + 2] = 5;  // row 1, column 2
    EXPECT_EQ(e->SetValue("M3", m3, sizeof m3), gfx::D3D_OK);
    float wide[8] = {};
    wide[1 * 4 + 3] = 2;
    EXPECT_EQ(e->SetValue("Wide", wide, sizeof wide), gfx::D3D_OK);
    gfx::D3DXMATRIX full;
    full.m[3][0] = 1;
    EXPECT_EQ(e->SetMatrix("Full", &full), gfx::D3D_OK);
    EXPECT_EQ(e->SetMatrix("Vec", &full), gfx::D3DERR_INVALIDCALL);
    full.m[0][3] = 2;  // a float1x4 takes the matrix's first row
    EXPECT_EQ(e->SetMatrix("Row", &full), gfx::D3D_OK);
    const float col[4] = {0, 0, 1, 0};  // a float4x1's bytes are its rows, one float each
    EXPECT_EQ(e->SetValue("Col", col, sizeof col), gfx::D3D_OK);
    const float vec[4] = {9, 9, 9, 0.5f};
    EXPECT_EQ(e->SetVector("Vec", vec), gfx::D3D_OK);
    const Picture out = Render(e);
    const float* c = out.at(3, 3);
    EXPECT_NEAR(c[0], 0.65f, 1.5 / 255);  // (1 + 2 + 3 + 0.5) / 10
    EXPECT_NEAR(c[1], 0.5f, 1.5 / 255);
    EXPECT_NEAR(c[2], 0.3f, 1.5 / 255);
    e->Release();
}

TEST_F(FxGl, EachSamplerGetsItsTextureAndStatesWhichEndPutsBack) {
    gfx::ID3DXEffect* e = Create(
        "texture A; texture B; texture C;\n"
        "sampler SA = sampler_state { Texture = <A>; MinFilter = POINT; MagFilter = POINT; };\n"
        "sampler SB = sampler_state { Texture = <B>; };\n"
        "sampler SC = sampler_state { Texture = <C>; AddressU = BORDER; AddressV = BORDER; BorderColor = 0xFF0000FF; };\n"
        "float4 PS(float2 uv : TEXCOORD0) : COLOR {\n"
        "    return tex2D(SA, uv) + tex2D(SB, uv) + tex2D(SC, uv + 2);\n"
        "}\n"
        "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n");
    ASSERT_NE(e, nullptr);
    gfx::IDirect3DTexture9* a = Upload(SolidPicture(1, 0, 0));
    gfx::IDirect3DTexture9* b = Upload(SolidPicture(0, 1, 0));
    gfx::IDirect3DTexture9* c = Upload(SolidPicture(0, 0, 0));
    e->SetTexture("A", a);
    e->SetTexture("B", b);
    e->SetTexture("C", c);
    const Picture out = Render(e);
    const float* px = out.at(10, 10);
    EXPECT_NEAR(px[0], 1.0f, 1.5 / 255);
    EXPECT_NEAR(px[1], 1.0f, 1.5 / 255);
    EXPECT_NEAR(px[2], 1.0f, 1.5 / 255);  // only the border colour gives blue
    gfx::DWORD filter = 0;
    device_->GetSamplerState(0, gfx::D3DSAMP_MINFILTER, &filter);
    EXPECT_EQ(filter, static_cast<gfx::DWORD>(gfx::D3DTEXF_LINEAR));  // restored by End
    // With D3DXFX_DONOTSAVESTATE the pass's states stay.
    gfx::UINT passes = 0;
    e->Begin(&passes, gfx::D3DXFX_DONOTSAVESTATE);
    e->BeginPass(0);
    e->EndPass();
    e->End();
    device_->GetSamplerState(0, gfx::D3DSAMP_MINFILTER, &filter);
    EXPECT_EQ(filter, static_cast<gfx::DWORD>(gfx::D3DTEXF_POINT));
    device_->SetSamplerState(0, gfx::D3DSAMP_MINFILTER, gfx::D3DTEXF_LINEAR);
    e->Release();  // drops the effect's texture references
    EXPECT_EQ(a->Release(), 0u);
    EXPECT_EQ(b->Release(), 0u);
    EXPECT_EQ(c->Release(), 0u);
}

// Each element of a sampler array is a sampler of its own: its sampler_state block's texture
// and states, on a texture unit of its own (an element without a block has no texture).
TEST_F(FxGl, SamplerArrayElementsGetTheirOwnTexturesAndStates) {
    gfx::ID3DXEffect* e = Create(
        "texture A; texture B;\n"
        "sampler S[3] = { sampler_state { Texture = <A>; }, sampler_state { Texture = <B>;"
        " AddressU = BORDER; AddressV = BORDER; BorderColor = 0xFF0000FF; } };\n"
        "float4 PS(float2 uv : TEXCOORD0) : COLOR { return tex2D(S[0], uv) + tex2D(S[1], uv + 2) + tex2D(S[2], uv); }\n"
        "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n");
    ASSERT_NE(e, nullptr);
    gfx::IDirect3DTexture9* a = Upload(SolidPicture(1, 0, 0));
    gfx::IDirect3DTexture9* b = Upload(SolidPicture(0, 1, 0));
    e->SetTexture("A", a);
    e->SetTexture("B", b);
    const Picture out = Render(e);
    const float* px = out.at(10, 10);
    EXPECT_NEAR(px[0], 1.0f, 1.5 / 255);  // A through S[0]
    EXPECT_NEAR(px[1], 0.0f, 1.5 / 255);  // B lies outside S[1]'s border; S[2] samples nothing
    EXPECT_NEAR(px[2], 1.0f, 1.5 / 255);  // S[1]'s border colour
    e->Release();
    a->Release();
    b->Release();
}

// --- pixels against the CPU ---------------------------------------------------------------------

// The crystals algorithm on the CPU: brightness and sample point for texture coordinate (u, v).
struct Crystals {
    double time = 0;
    double resX = 933, resY = 511;
    double col(double qx, double qy) const {
        const double pi = 3.1415926535897932, dTheta = 2 * pi / 8;
        double s = 0;
        for (int i = 0; i < 3; ++i) {
            const double th = dTheta * i;
            const double ax = qx + std::cos(th) * time * 0.1 + time * 0.2;
            const double ay = qy - (std::sin(th) * time * 0.1 - time * 0.4);
            s += std::cos((ax * std::cos(th) - ay * std::sin(th)) * 6.0) * 3;
        }
        return std::cos(s);
    }
    void at(double u, double v, double& b, double& sx, double& sy) const {
        const double px = u, py = 1 - v;
        const double k = col(px, py);
        const double dx = 0.4 * (k - col(px + resX / 30, py)) / 30;
        const double dy = 0.4 * (k - col(px, py + resY / 30)) / 30;
        sx = px + dx;
        sy = -(py + dy);
        b = 1 + dx * dy * 300;
    }
};

double Wrap(double t) { return t - std::floor(t); }

// Bilinear sample with wrap addressing, texel centres at (i + 0.5) / size.
void SampleWrap(const Picture& p, double u, double v, float* out) {
    const double x = Wrap(u) * p.width - 0.5, y = Wrap(v) * p.height - 0.5;
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    for (int c = 0; c < 4; ++c) {
        auto texel = [&](int xi, int yi) {
            xi = ((xi % p.width) + p.width) % p.width;
            yi = ((yi % p.height) + p.height) % p.height;
            return static_cast<double>(p.at(xi, yi)[c]);
        };
        out[c] = static_cast<float>((texel(x0, y0) * (1 - fx) + texel(x0 + 1, y0) * fx) * (1 - fy) +
                                    (texel(x0, y0 + 1) * (1 - fx) + texel(x0 + 1, y0 + 1) * fx) * fy);
    }
}

TEST_F(FxGl, CrystalsScalesAConstantPictureWithinItsBrightnessRange) {
    gfx::ID3DXEffect* e = Create(ReadFile(FX_ASSETS_EFFECT));
    ASSERT_NE(e, nullptr);
    const Picture grey = MakePicture(32, 32, [](int, int, float* c) { c[0] = c[1] = c[2] = 0.5f; c[3] = 1; });
    gfx::IDirect3DTexture9* t = Upload(grey);
    for (const float time : {0.0f, 1.7f, 12.25f}) {
        SCOPED_TRACE(time);
        e->SetFloat("time", time);
        e->SetTexture("texture0", t);
        const Picture out = Render(e);
        Crystals cpu;
        cpu.time = time;
        float lo = 10, hi = -10;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                double b, sx, sy;
                cpu.at((x + 0.5) / kWidth, (y + 0.5) / kHeight, b, sx, sy);
                const float r = out.at(x, y)[0];
                ASSERT_NEAR(r, 0.5 * b, 2.5 / 255) << "pixel " << x << "," << y;
                lo = std::min(lo, r / 0.5f);
                hi = std::max(hi, r / 0.5f);
            }
        EXPECT_GE(lo, 0.787f - 0.01f);
        EXPECT_LE(hi, 1.213f + 0.01f);
    }
    t->Release();
    e->Release();
}

TEST_F(FxGl, CrystalsDisplacesADetailedPictureByAtMostItsBound) {
    gfx::ID3DXEffect* e = Create(ReadFile(FX_ASSETS_EFFECT));
    ASSERT_NE(e, nullptr);
    // Smooth periodic detail, so that bilinear filtering and wrapping agree with the CPU.
    const int n = 64;
    const Picture detail = MakePicture(n, n, [&](int x, int y, float* c) {
        c[0] = 0.5f + 0.4f * static_cast<float>(std::sin(2 * M_PI * (x + 0.5) / n));
        c[1] = 0.5f + 0.4f * static_cast<float>(std::cos(2 * M_PI * (y + 0.5) / n));
        c[2] = 0.25f;
        c[3] = 1;
    });
    gfx::IDirect3DTexture9* t = Upload(detail);
    e->SetFloat("time", 3.5f);
    e->SetTexture("texture0", t);
    const Picture out = Render(e);
    Crystals cpu;
    cpu.time = 3.5;
    int checked = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double u = (x + 0.5) / kWidth, v = (y + 0.5) / kHeight;
            double b, sx, sy;
            cpu.at(u, v, b, sx, sy);
            // The sample point wraps back to within 0.0267 of the pixel's own position.
            const double du = Wrap(sx - u + 0.5) - 0.5, dv = Wrap(sy - v + 0.5) - 0.5;
            ASSERT_LE(std::fabs(du), 0.0267);
            ASSERT_LE(std::fabs(dv), 0.0267);
            float expect[4];
            SampleWrap(detail, sx, sy, expect);
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(out.at(x, y)[c], std::min(1.0, expect[c] * b), 4.0 / 255)
                    << "pixel " << x << "," << y << " channel " << c;
            ++checked;
        }
    EXPECT_EQ(checked, kWidth * kHeight);
    t->Release();
    e->Release();
}

TEST_F(FxGl, BlurPassesMatchADiscreteConvolutionWithClampedEdges) {
    gfx::ID3DXEffect* e = Create(ReadFile(std::string(FX_CORPUS_DIR) + "/blur.fx"));
    ASSERT_NE(e, nullptr);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> dist(0, 1);
    // The source matches the target size, so texel offsets land on texel centres.
    const Picture src = MakePicture(kWidth, kHeight, [&](int, int, float* c) {
        c[0] = std::round(dist(rng) * 255) / 255;
        c[1] = std::round(dist(rng) * 255) / 255;
        c[2] = std::round(dist(rng) * 255) / 255;
        c[3] = 1;
    });
    gfx::IDirect3DTexture9* t = Upload(src);
    const float texel[2] = {1.0f / kWidth, 1.0f / kHeight};
    ASSERT_EQ(e->SetValue("TexelSize", texel, 8), gfx::D3D_OK);
    e->SetTexture("SceneTexture", t);
    const float w[5] = {0.227027f, 0.1945946f, 0.1216216f, 0.054054f, 0.016216f};
    // Both passes read the source and draw into the same target: the vertical one shows.
    const Picture out = Render(e);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) {
                double sum = src.at(x, y)[c] * w[0];
                for (int i = 1; i < 5; ++i)
                    sum += (src.at(x, std::min(y + i, kHeight - 1))[c] + src.at(x, std::max(y - i, 0))[c]) * w[i];
                ASSERT_NEAR(out.at(x, y)[c], sum, 2.0 / 255) << x << "," << y << " channel " << c;
            }
    t->Release();
    e->Release();
}

TEST_F(FxGl, BrightPassDiscardsPixelsBelowTheThreshold) {
    gfx::ID3DXEffect* e = Create(ReadFile(std::string(FX_CORPUS_DIR) + "/blur.fx"));
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(e->SetTechnique("BrightPass"), gfx::D3D_OK);
    const Picture src = MakePicture(kWidth, kHeight, [&](int x, int, float* c) {
        c[0] = c[1] = c[2] = static_cast<float>(x) / (kWidth - 1);
        c[3] = 1;
    });
    gfx::IDirect3DTexture9* t = Upload(src);
    e->SetTexture("SceneTexture", t);
    e->SetFloat("Threshold", 0.5f);
    const Picture out = Render(e);
    for (int y = 0; y < kHeight; y += 7)
        for (int x = 0; x < kWidth; ++x) {
            const float v = src.at(x, y)[0];
            ASSERT_NEAR(out.at(x, y)[1], v < 0.5f - 1e-3f ? 0.0f : v, 1.5 / 255) << x << "," << y;
        }
    t->Release();
    e->Release();
}

TEST_F(FxGl, MatricesFollowRowVectorConventions) {
    gfx::ID3DXEffect* e = Create(ReadFile(std::string(FX_CORPUS_DIR) + "/transform.fx"));
    ASSERT_NE(e, nullptr);
    constexpr int kSrc = 16;
    const Picture src = MakePicture(kSrc, kSrc, [&](int x, int y, float* c) {
        c[0] = static_cast<float>(x) / kSrc;
        c[1] = static_cast<float>(y) / kSrc;
        c[2] = 0.5f;
        c[3] = 1;
    });
    gfx::IDirect3DTexture9* t = Upload(src);
    e->SetTexture("Picture", t);
    // Scale by one half and move right by 0.5 in clip space: row vectors, translation in row 3.
    gfx::D3DXMATRIX m;
    m.m[0][0] = 0.5f;
    m.m[1][1] = 0.5f;
    m.m[2][2] = 1;
    m.m[3][0] = 0.5f;
    m.m[3][3] = 1;
    ASSERT_EQ(e->SetMatrix("Transform", &m), gfx::D3D_OK);
    // Colour matrix rows: out = M * rgb with rgb a column: r' = g, g' = r, b' = r + b.
    const float cm[9] = {0, 1, 0, 1, 0, 0, 1, 0, 1};
    ASSERT_EQ(e->SetValue("ColorMatrix", cm, sizeof cm), gfx::D3D_OK);
    const Picture out = Render(e);
    // The quad covers x in [0.25, 0.75] of the width and y in [0.25, 0.75] of the height.
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double u = (x + 0.5) / kWidth, v = (y + 0.5) / kHeight;
            const float* o = out.at(x, y);
            if (u < 0.5 || u > 1.0 || v < 0.25 || v > 0.75) {
                if (u < 0.49 || v < 0.24 || v > 0.76) {
                    ASSERT_EQ(o[0] + o[1] + o[2], 0.0f) << "outside " << x << "," << y;
                }
                continue;
            }
            if (u < 0.52 || u > 0.98 || v < 0.27 || v > 0.73) continue;  // edge pixels
            // Point sampling: a coordinate on a texel boundary may land on either texel.
            const double tu = (u - 0.5) * 2 * kSrc, tv = (v - 0.25) * 2 * kSrc;
            bool matched = false;
            for (double ex : {-0.01, 0.01})
                for (double ey : {-0.01, 0.01}) {
                    const int sx = std::clamp(static_cast<int>(std::floor(tu + ex)), 0, kSrc - 1);
                    const int sy = std::clamp(static_cast<int>(std::floor(tv + ey)), 0, kSrc - 1);
                    const float* s = src.at(sx, sy);
                    matched = matched || (std::fabs(o[0] - s[1]) < 2.5 / 255 &&
                                          std::fabs(o[1] - s[0]) < 2.5 / 255 &&
                                          std::fabs(o[2] - std::min(1.0f, s[0] + s[2])) < 2.5 / 255);
                }
            ASSERT_TRUE(matched) << "pixel " << x << "," << y << " is " << o[0] << " " << o[1] << " " << o[2];
        }
    t->Release();
    e->Release();
}

TEST_F(FxGl, PerPixelLightingMatchesBlinnPhongOnTheCpu) {
    gfx::ID3DXEffect* e = Create(ReadFile(std::string(FX_CORPUS_DIR) + "/lighting.fx"));
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(e->SetTechnique("PerPixel"), gfx::D3D_OK);
    gfx::D3DXMATRIX identity;
    for (int i = 0; i < 4; ++i) identity.m[i][i] = 1;
    e->SetMatrix("World", &identity);
    e->SetMatrix("WorldViewProjection", &identity);
    // A light shining along -z onto the quad, whose normal (the device's default) is +z.
    const float dir[3] = {0, 0, -1};
    ASSERT_EQ(e->SetValue("LightDirection", dir, sizeof dir), gfx::D3D_OK);
    const Picture grey = MakePicture(8, 8, [](int, int, float* c) { c[0] = c[1] = c[2] = 0.5f; c[3] = 1; });
    gfx::IDirect3DTexture9* t = Upload(grey);
    e->SetTexture("DiffuseMap", t);
    gfx::DWORD cull = 0;
    device_->GetRenderState(gfx::D3DRS_CULLMODE, &cull);
    const Picture out = Render(e);
    const double light[3] = {1, 0.95, 0.9}, ambient[3] = {0.1, 0.1, 0.15};
    for (int y = 2; y < kHeight; y += 5)
        for (int x = 2; x < kWidth; x += 5) {
            // World position of the pixel on the quad (z = 0), in Direct3D clip orientation.
            const double wx = (x + 0.5) / kWidth * 2 - 1, wy = 1 - (y + 0.5) / kHeight * 2;
            double toEye[3] = {-wx, -wy, -5};
            const double le = std::sqrt(toEye[0] * toEye[0] + toEye[1] * toEye[1] + toEye[2] * toEye[2]);
            for (double& v : toEye) v /= le;
            double h[3] = {toEye[0], toEye[1], toEye[2] + 1};
            const double lh = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
            const double spec = std::pow(std::clamp(h[2] / lh, 0.0, 1.0), 32);
            for (int c = 0; c < 3; ++c) {
                const double expect = std::min(1.0, 0.5 * (ambient[c] + light[c]) + light[c] * spec);
                ASSERT_NEAR(out.at(x, y)[c], expect, 2.5 / 255) << x << "," << y << " channel " << c;
            }
        }
    // The pass's CullMode is put back by End.
    gfx::DWORD after = 0;
    device_->GetRenderState(gfx::D3DRS_CULLMODE, &after);
    EXPECT_EQ(after, cull);
    t->Release();
    e->Release();
}

TEST_F(FxGl, LanguageTourComputesTheDirect3DValues) {
    gfx::ID3DXEffect* e = Create(ReadFile(std::string(FX_CORPUS_DIR) + "/features.fx"));
    ASSERT_NE(e, nullptr);
    const Picture out = Render(e);
    const float* c = out.at(kWidth / 2, kHeight / 2);
    EXPECT_NEAR(c[0], 0.75f, 1.5 / 255);
    EXPECT_NEAR(c[1], 0.175f, 1.5 / 255);
    EXPECT_NEAR(c[2], 0.75f, 1.5 / 255);
    e->Release();
}

// --- parameters never set are folded into the programs ------------------------------------------

// Binds "t" to every texture parameter of "e".
void BindEveryTexture(gfx::ID3DXEffect* e, gfx::IDirect3DTexture9* t) {
    for (const fx::ParameterInfo& p : e->Reflection().parameters)
        if (p.type >= fx::ParamType::Texture && p.type <= fx::ParamType::TextureCube)
            e->SetTexture(p.name.c_str(), t);
}

// Sets every numeric parameter of "e" to the value it holds, so each reads as a uniform.
void SetEveryParameter(gfx::ID3DXEffect* e) {
    for (const fx::ParameterInfo& p : e->Reflection().parameters) {
        if (p.type != fx::ParamType::Float && p.type != fx::ParamType::Int && p.type != fx::ParamType::Bool)
            continue;
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(p.sizeBytes));
        e->GetValue(p.name.c_str(), bytes.data(), static_cast<gfx::UINT>(bytes.size()));
        EXPECT_EQ(e->SetValue(p.name.c_str(), bytes.data(), static_cast<gfx::UINT>(bytes.size())), gfx::D3D_OK) << p.name;
    }
}

// How many channel values of "a" and "b" differ, and by how much at most.
struct Difference {
    std::size_t values = 0;
    float most = 0;
};
Difference Compare(const Picture& a, const Picture& b) {
    Difference d;
    for (std::size_t i = 0; i < a.rgba.size() && i < b.rgba.size(); ++i) {
        d.values += a.rgba[i] != b.rgba[i];
        d.most = std::max(d.most, std::fabs(a.rgba[i] - b.rgba[i]));
    }
    return d;
}

// A folded and a generic program compute the same maths, but the driver evaluates cos and sin
// of constants while compiling (in full precision) where the rasteriser approximates them: a
// value on the edge between two 8-bit levels may then round the other way. Anything more (a
// wrong constant, a lost parameter) shows as larger or widespread differences.
void ExpectSamePixels(const Picture& a, const Picture& b) {
    ASSERT_EQ(a.rgba.size(), b.rgba.size());
    const Difference d = Compare(a, b);
    EXPECT_LE(d.most, 1.0f / 255 + 1e-6f);
    EXPECT_LE(d.values, a.rgba.size() / 1000) << d.values << " values differ";
}

TEST_F(FxGl, FoldedAndGenericProgramsDrawTheSamePixels) {
    const Picture detail = MakePicture(kWidth, kHeight, [](int x, int y, float* c) {
        c[0] = static_cast<float>((x * 37 + y * 11) % 256) / 255.0f;
        c[1] = static_cast<float>((x * 5 + y * 53) % 256) / 255.0f;
        c[2] = static_cast<float>((x ^ y) * 4 % 256) / 255.0f;
        c[3] = 1;
    });
    gfx::IDirect3DTexture9* t = Upload(detail);
    // The corpus, the intro's effect, and parameters of every kind the emitter declares.
    std::vector<std::pair<std::string, std::string>> sources;
    for (const char* f : {"crystals.fx", "lighting.fx", "blur.fx", "transform.fx", "features.fx", "samples.fx"})
        sources.emplace_back(f, ReadFile(std::string(FX_CORPUS_DIR) + "/" + f));
    sources.emplace_back("intro", ReadFile(FX_ASSETS_EFFECT));
    sources.emplace_back("kinds", R"(
float4x3 m = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
int ks[2] = {3, -2};
bool2 flags = {true, false};
float3 w[2] = {float3(0.1, 0.2, 0.3), float3(0.4, 0.5, 0.6)};
float2x2 r = {0.8, -0.6, 0.6, 0.8};
texture tx;
sampler s = sampler_state { Texture = <tx>; };
float4 ps(float2 uv : TEXCOORD0) : COLOR
{
    float3 v = mul(float4(uv, 0.5, 1), m) / 40.0;
    float k = (ks[0] + ks[1]) / 4.0;
    float3 c = flags.x ? v : w[0];
    if (!flags.y) c += w[1] * k;
    float2 q = mul(uv, r);
    return float4(frac(c + q.xyx), 1) * tex2D(s, uv);
}
technique T { pass P { PixelShader = compile ps_3_0 ps(); } }
)");
    int foldedPasses = 0;
    for (const auto& [name, source] : sources) {
        gfx::ID3DXEffect* folded = Create(source);
        gfx::ID3DXEffect* generic = Create(source);
        ASSERT_TRUE(folded && generic) << name;
        SetEveryParameter(generic);
        const auto& techniques = folded->Reflection().techniques;
        for (std::size_t ti = 0; ti < techniques.size(); ++ti) {
            SCOPED_TRACE(name + " technique " + techniques[ti].name);
            for (gfx::ID3DXEffect* e : {folded, generic}) {
                ASSERT_EQ(e->SetTechnique(techniques[ti].name.c_str()), gfx::D3D_OK);
                BindEveryTexture(e, t);
            }
            const Picture a = Render(folded);
            const Picture b = Render(generic);
            for (std::size_t pi = 0; pi < techniques[ti].passes.size(); ++pi) {
                if (!gfx::FoldedParametersForTesting(folded, static_cast<int>(ti), static_cast<int>(pi)).empty())
                    ++foldedPasses;
                EXPECT_TRUE(gfx::FoldedParametersForTesting(generic, static_cast<int>(ti), static_cast<int>(pi)).empty());
            }
            ExpectSamePixels(a, b);
        }
        folded->Release();
        generic->Release();
    }
    EXPECT_GE(foldedPasses, 6);
    t->Release();
}

TEST_F(FxGl, SettingAFoldedParameterMakesItAUniformAgain) {
    const std::string source = ReadFile(FX_ASSETS_EFFECT);
    gfx::ID3DXEffect* e = Create(source);
    gfx::ID3DXEffect* reference = Create(source);
    ASSERT_TRUE(e && reference);
    const Picture detail = MakePicture(kWidth, kHeight, [](int x, int y, float* c) {
        c[0] = static_cast<float>(x % 8) / 8.0f;
        c[1] = static_cast<float>(y % 6) / 6.0f;
        c[2] = 0.5f;
        c[3] = 1;
    });
    gfx::IDirect3DTexture9* t = Upload(detail);
    const int speed = e->Reflection().FindParameter("speed");
    const int time = e->Reflection().FindParameter("time");
    // "time" is set before the first draw, as the intro does: it stays a uniform; the rest
    // (speed among them) is folded. A name the effect does not declare changes nothing.
    e->SetFloat("time", 2.0f);
    e->SetTexture("texture0", t);
    EXPECT_NE(e->SetFloat("Var1", 1.0f), gfx::D3D_OK);
    const Picture before = Render(e);
    std::vector<int> folded = gfx::FoldedParametersForTesting(e, 0, 0);
    EXPECT_NE(std::find(folded.begin(), folded.end(), speed), folded.end());
    EXPECT_EQ(std::find(folded.begin(), folded.end(), time), folded.end());

    e->SetFloat("speed", 0.35f);
    const Picture after = Render(e);
    EXPECT_TRUE(gfx::FoldedParametersForTesting(e, 0, 0).empty());
    SetEveryParameter(reference);
    reference->SetFloat("time", 2.0f);
    reference->SetFloat("speed", 0.35f);
    reference->SetTexture("texture0", t);
    EXPECT_TRUE(after.rgba == Render(reference).rgba);
    EXPECT_GT(Compare(after, before).values, after.rgba.size() / 10);
    // The value is uploaded from then on, frame after frame: back at its initial value, the
    // generic program draws what the folded one drew.
    e->SetFloat("speed", 0.1f);
    ExpectSamePixels(Render(e), before);
    t->Release();
    reference->Release();
    e->Release();
}

}  // namespace

// --- shader arrays, struct parameters, fixed-function stages -----------------------------------

namespace {

// The colour at the middle of the picture and at a corner.
void ExpectCentre(const Picture& p, float r, float g, float b) {
    const float* c = p.at(p.width / 2, p.height / 2);
    EXPECT_NEAR(c[0], r, 1.5f / 255) << "red";
    EXPECT_NEAR(c[1], g, 1.5f / 255) << "green";
    EXPECT_NEAR(c[2], b, 1.5f / 255) << "blue";
}

// Direct3D's texture-stage formulas for one channel set (rgb, or alpha alone): a1, a2, a0 are
// the arguments, "d", "t", "f", "c" the alphas the BLEND*ALPHA operations weigh with.
struct Rgba {
    float v[4];
};
Rgba StageOp(int op, const Rgba& a1, const Rgba& a2, const Rgba& a0, float d, float t, float f, float c) {
    Rgba r{};
    for (int k = 0; k < 4; ++k) {
        const float x = a1.v[k], y = a2.v[k], z = a0.v[k];
        float v = 0;
        switch (op) {
            case 2: v = x; break;
            case 3: v = y; break;
            case 4: v = x * y; break;
            case 5: v = 2 * x * y; break;
            case 6: v = 4 * x * y; break;
            case 7: v = x + y; break;
            case 8: v = x + y - 0.5f; break;
            case 9: v = 2 * (x + y - 0.5f); break;
            case 10: v = x - y; break;
            case 11: v = x + y - x * y; break;
            case 12: v = x * d + y * (1 - d); break;
            case 13: v = x * t + y * (1 - t); break;
            case 14: v = x * f + y * (1 - f); break;
            case 15: v = x + y * (1 - t); break;
            case 16: v = x * c + y * (1 - c); break;
            case 18: v = x + a1.v[3] * y; break;
            case 19: v = x * y + a1.v[3]; break;
            case 20: v = (1 - a1.v[3]) * y + x; break;
            case 21: v = (1 - x) * y + a1.v[3]; break;
            case 24: {
                float dp = 0;
                for (int j = 0; j < 3; ++j) dp += (2 * a1.v[j] - 1) * (2 * a2.v[j] - 1);
                v = dp;
                break;
            }
            case 25: v = z + x * y; break;
            case 26: v = z * x + (1 - z) * y; break;
        }
        r.v[k] = std::clamp(v, 0.0f, 1.0f);
    }
    return r;
}

// Every texture-stage operation the generated pixel stage computes, on stage 1 after stage 0
// selected its texture: the picture matches the documented formula; the alpha is read back
// through a third stage that replicates it (the target keeps no alpha).
TEST_F(FxGl, TextureStageOperationsMatchTheDocumentedFormulas) {
    auto solid = [](const Rgba& c) {
        return Upload(MakePicture(4, 4, [=](int, int, float* o) { std::copy(c.v, c.v + 4, o); }));
    };
    // Texels a texture stores exactly (multiples of 1/255).
    const Rgba diffuse{{0.8f, 0.4f, 0.2f, 0.6f}}, t0{{64 / 255.0f, 128 / 255.0f, 191 / 255.0f, 128 / 255.0f}};
    const Rgba t1{{153 / 255.0f, 77 / 255.0f, 230 / 255.0f, 64 / 255.0f}};
    const Rgba factor{{64 / 255.0f, 128 / 255.0f, 192 / 255.0f, 32 / 255.0f}};
    gfx::IDirect3DTexture9* tex0 = solid(t0);
    gfx::IDirect3DTexture9* tex1 = solid(t1);
    device_->SetTexture(0, tex0);
    device_->SetTexture(1, tex1);
    device_->SetRenderState(gfx::D3DRS_TEXTUREFACTOR, 0x204080C0u);
    const char* kOps[] = {"", "", "SELECTARG1", "SELECTARG2", "MODULATE", "MODULATE2X", "MODULATE4X", "ADD",
                          "ADDSIGNED", "ADDSIGNED2X", "SUBTRACT", "ADDSMOOTH", "BLENDDIFFUSEALPHA",
                          "BLENDTEXTUREALPHA", "BLENDFACTORALPHA", "BLENDTEXTUREALPHAPM", "BLENDCURRENTALPHA",
                          "", "MODULATEALPHA_ADDCOLOR", "MODULATECOLOR_ADDALPHA", "MODULATEINVALPHA_ADDCOLOR",
                          "MODULATEINVCOLOR_ADDALPHA", "", "", "DOTPRODUCT3", "MULTIPLYADD", "LERP"};
    for (int op = 2; op <= 26; ++op) {
        if (!kOps[op][0]) continue;
        SCOPED_TRACE(kOps[op]);
        const bool colourOnly = op >= 18 && op <= 21;
        const std::string stages = std::string("ColorOp[0] = SelectArg1; AlphaOp[0] = SelectArg1;") +
                                   " ColorOp[1] = " + kOps[op] + "; ColorArg1[1] = Current; ColorArg2[1] = Texture;" +
                                   " ColorArg0[1] = TFactor; AlphaOp[1] = " + (colourOnly ? "Modulate" : kOps[op]) +
                                   "; AlphaArg1[1] = Current; AlphaArg2[1] = Texture; AlphaArg0[1] = TFactor;";
        const std::string vs =
            "void VS(float4 p : POSITION, float2 uv : TEXCOORD0, out float4 o : POSITION, out float4 c : COLOR0,\n"
            "        out float2 t0 : TEXCOORD0, out float2 t1 : TEXCOORD1) { o = p; c = float4(0.8, 0.4, 0.2, 0.6); t0 = uv; t1 = uv; }\n";
        gfx::ID3DXEffect* colour = Create(vs + "technique T { pass P { " + stages +
                                          " VertexShader = compile vs_2_0 VS(); } }\n");
        gfx::ID3DXEffect* alpha = Create(vs + "technique T { pass P { " + stages +
                                         " ColorOp[2] = SelectArg1; ColorArg1[2] = Current | AlphaReplicate;"
                                         " VertexShader = compile vs_2_0 VS(); } }\n");
        ASSERT_NE(colour, nullptr);
        ASSERT_NE(alpha, nullptr);
        const Rgba expected = StageOp(op, t0, t1, factor, diffuse.v[3], t1.v[3], factor.v[3], t0.v[3]);
        float a = StageOp(colourOnly ? 4 : op, t0, t1, factor, diffuse.v[3], t1.v[3], factor.v[3], t0.v[3]).v[3];
        if (op == 24) a = expected.v[0];  // DOTPRODUCT3 fills the alpha too
        ExpectCentre(Render(colour), expected.v[0], expected.v[1], expected.v[2]);
        ExpectCentre(Render(alpha), a, a, a);
        colour->Release();
        alpha->Release();
    }
    // Modifiers, the TEMP register, a stage constant and a pass without any shader.
    gfx::ID3DXEffect* e = Create(
        "technique T { pass P { ColorOp[0] = SelectArg1; ColorArg1[0] = Texture | Complement; ResultArg[0] = Temp;"
        " ColorOp[1] = Add; ColorArg1[1] = Temp; ColorArg2[1] = Constant; Constant[1] = 0x00102030; } }\n");
    ASSERT_NE(e, nullptr);
    ExpectCentre(Render(e), (191 + 16) / 255.0f, (127 + 32) / 255.0f, (64 + 48) / 255.0f);
    e->Release();
    // PREMODULATE: stage 0's first argument times stage 1's texture, which stage 1 then adds
    // (its own texel again); as the last stage, nothing follows (white).
    e = Create("technique T { pass P { ColorOp[0] = PreModulate; ColorArg1[0] = Texture;"
               " ColorOp[1] = Add; ColorArg1[1] = Current; ColorArg2[1] = Texture; } }\n"
               "technique U { pass P { ColorOp[0] = PreModulate; ColorArg1[0] = Texture; } }\n");
    ASSERT_NE(e, nullptr);
    Rgba pre{};
    for (int k = 0; k < 3; ++k) pre.v[k] = std::min(1.0f, t0.v[k] * t1.v[k] + t1.v[k]);
    ExpectCentre(Render(e), pre.v[0], pre.v[1], pre.v[2]);
    e->SetTechnique("U");
    ExpectCentre(Render(e), t0.v[0], t0.v[1], t0.v[2]);
    e->Release();
    device_->SetTexture(0, nullptr);
    device_->SetTexture(1, nullptr);
    device_->SetRenderState(gfx::D3DRS_TEXTUREFACTOR, 0xFFFFFFFFu);
    tex0->Release();
    tex1->Release();
}

// Assembly shaders draw what HLSL shaders computing the same thing draw: each instruction
// family of the pixel models (arithmetic, comparisons, texture lookups, ps_1_x texture
// addressing and modifiers, flow control), and a vertex program whose constants the pass's
// shader-constant states bind from a matrix parameter.
TEST_F(FxGl, AssemblyShadersDrawWhatTheHlslTheyTranslateDraws) {
    gfx::IDirect3DTexture9* t = Upload(MakePicture(4, 4, [](int, int, float* c) {
        c[0] = 0.25f;
        c[1] = 0.5f;
        c[2] = 0.75f;
        c[3] = 0.5f;
    }));
    device_->SetTexture(0, t);
    const char* vs = "void VS(float4 p : POSITION, float2 uv : TEXCOORD0, out float4 o : POSITION,\n"
                     "        out float4 c : COLOR0, out float2 t : TEXCOORD0) { o = p; c = float4(0.8, 0.4, 0.2, 0.6); t = uv; }\n";
    const struct {
        const char* family;
        const char* assembly;
        const char* hlsl;
    } rows[] = {
        {"arithmetic", "ps_2_0 dcl v0 def c0, 0.5, 0.25, 2, 1 mad r0, v0, c0, c0.y rsq r1.x, c0.z mul r0.x, r0.x, r1.x "
                       "dp3 r2.x, v0, c0 mov r0.z, r2.x min r0.w, v0.w, c0.x mov oC0, r0",
         "float4 PS(float4 v : COLOR0) : COLOR { float4 c = float4(0.5, 0.25, 2, 1); float4 r = v * c + 0.25;"
         " r.x *= rsqrt(2); r.z = dot(v.xyz, c.xyz); r.w = min(v.w, 0.5); return r; }"},
        {"comparisons", "ps_2_0 dcl v0 def c0, 0.5, 0, 1, -1 add r1, v0, -c0.x cmp r0, r1, c0.z, c0.y "
                        "lrp r2, c0.x, r0, v0 mov oC0, r2",
         "float4 PS(float4 v : COLOR0) : COLOR { float4 r = v - 0.5 >= 0 ? 1 : 0; return lerp(v, r, 0.5); }"},
        {"texture", "ps_2_0 dcl t0.xy dcl v0 dcl_2d s0 texld r0, t0, s0 mul_sat r0, r0, v0 mov oC0, r0",
         "texture T; sampler s0 = sampler_state { Texture = <T>; }; float4 PS(float2 t : TEXCOORD0, float4 v : COLOR0) : COLOR {"
         " return saturate(tex2D(s0, t) * v); }"},
        {"ps_1_1 modifiers", "ps_1_1 tex t0 mul_x2 r0, t0, v0 add r0.rgb, r0, t0_bias +mov r0.a, 1-t0.a",
         "texture T; sampler s0 = sampler_state { Texture = <T>; }; float4 PS(float2 t : TEXCOORD0, float4 v : COLOR0) : COLOR {"
         " float4 x = tex2D(s0, t); float4 r = x * v * 2; r.rgb += x.rgb - 0.5; r.a = 1 - x.a; return r; }"},
        {"ps_1_4 phases", "ps_1_4 def c0, 0.5, 0.5, 0.5, 0.5 texld r0, t0 texcrd r1.rgb, t0 mul r0, r0, c0 phase "
                          "add r0.rgb, r0, r1",
         "texture T; sampler s0 = sampler_state { Texture = <T>; }; float4 PS(float2 t : TEXCOORD0) : COLOR {"
         " float4 r = tex2D(s0, t) * 0.5; r.rgb += float3(t, 0); return r; }"},
        {"flow control", "ps_3_0 dcl_color v0 defi i0, 3, 0, 1, 0 def c0, 0.1, 0, 0, 0 mov r0, v0 "
                         "rep i0 add r0.x, r0.x, c0.x endrep if_gt r0.x, c0.y mov r0.y, c0.x endif mov oC0, r0",
         "float4 PS(float4 v : COLOR0) : COLOR { float4 r = v; r.x += 0.3; if (r.x > 0) r.y = 0.1; return r; }"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.family);
        gfx::ID3DXEffect* a = Create(std::string(vs) + "technique T { pass P { VertexShader = compile vs_2_0 VS();"
                                     " PixelShader = asm { " + r.assembly + " }; } }\n");
        gfx::ID3DXEffect* h = Create(std::string(vs) + r.hlsl + "\ntechnique T { pass P { VertexShader = compile vs_2_0 VS();"
                                     " PixelShader = compile ps_3_0 PS(); } }\n");
        ASSERT_NE(a, nullptr);
        ASSERT_NE(h, nullptr);
        h->SetTexture("T", t);  // the HLSL reads through a parameter what the assembly reads from stage 0
        const Picture pa = Render(a), ph = Render(h);
        const float* c = ph.at(kWidth / 2, kHeight / 2);
        ExpectCentre(pa, c[0], c[1], c[2]);
        a->Release();
        h->Release();
    }
    // A vertex program with the matrix the pass binds to c0..c3, against mul() in HLSL.
    const char* common = "float4x4 M = { 0.5, 0, 0, 0,  0, 0.5, 0, 0,  0, 0, 1, 0,  0.25, 0, 0, 1 };\n"
                         "float4 PS(float4 c : COLOR0) : COLOR { return c; }\n";
    gfx::ID3DXEffect* a = Create(std::string(common) +
                                 "technique T { pass P { VertexShaderConstant4[0] = <M>; VertexShaderConstant[4] = float4(0, 1, 0, 1);"
                                 " VertexShader = asm { vs_1_1 dcl_position v0 m4x4 oPos, v0, c0 mov oD0, c4 };"
                                 " PixelShader = compile ps_2_0 PS(); } }\n");
    gfx::ID3DXEffect* h = Create(std::string(common) +
                                 "void VS(float4 p : POSITION, out float4 o : POSITION, out float4 c : COLOR0) {"
                                 " o = mul(p, M); c = float4(0, 1, 0, 1); }\n"
                                 "technique T { pass P { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }\n");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(h, nullptr);
    const Picture pa = Render(a), ph = Render(h);
    EXPECT_EQ(pa.rgba, ph.rgba);
    EXPECT_NEAR(pa.at(kWidth * 5 / 8, kHeight / 2)[1], 1.0f, 0.01f);  // inside the moved quad
    EXPECT_NEAR(pa.at(2, 2)[1], 0.0f, 0.01f);                         // outside it
    a->Release();
    h->Release();
    // After pack_matrix(row_major) the registers hold the matrix's rows: m4x4 then computes
    // mul(M, p).
    gfx::ID3DXEffect* ar = Create("#pragma pack_matrix(row_major)\n" + std::string(common) +
                                  "technique T { pass P { VertexShaderConstant4[0] = <M>; VertexShaderConstant[4] = float4(0, 1, 0, 1);"
                                  " VertexShader = asm { vs_1_1 dcl_position v0 m4x4 oPos, v0, c0 mov oD0, c4 };"
                                  " PixelShader = compile ps_2_0 PS(); } }\n");
    gfx::ID3DXEffect* hr = Create(std::string(common) +
                                  "void VS(float4 p : POSITION, out float4 o : POSITION, out float4 c : COLOR0) {"
                                  " o = mul(M, p); c = float4(0, 1, 0, 1); }\n"
                                  "technique T { pass P { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }\n");
    ASSERT_NE(ar, nullptr);
    ASSERT_NE(hr, nullptr);
    const Picture par = Render(ar), phr = Render(hr);
    EXPECT_EQ(par.rgba, phr.rgba);
    EXPECT_NE(par.rgba, pa.rgba);
    ar->Release();
    hr->Release();
    device_->SetTexture(0, nullptr);
    t->Release();
}

// SRGBWriteEnable encodes what an HLSL shader, an assembly shader and the generated stage
// write with the sRGB curve; alpha stays as written.
TEST_F(FxGl, SrgbWriteEncodesTheColourAPassWrites) {
    auto srgb = [](float c) { return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1 / 2.4f) - 0.055f; };
    const struct {
        const char* what;
        const char* pass;
        float linear;
    } rows[] = {
        {"HLSL", "PixelShader = compile ps_2_0 PS();", 0.5f},
        {"assembly", "PixelShader = asm { ps_2_0 def c0, 0.5, 0.5, 0.5, 1 mov oC0, c0 };", 0.5f},
        {"generated stage", "TextureFactor = 0xFF808080; ColorOp[0] = SelectArg1; ColorArg1[0] = TFactor;", 128 / 255.0f},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        gfx::ID3DXEffect* e = Create(std::string("float4 PS() : COLOR { return float4(0.5, 0.5, 0.5, 1); }\n"
                                                 "technique T { pass P { SRGBWriteEnable = TRUE; ") + r.pass + " } }\n");
        ASSERT_NE(e, nullptr);
        const float c = srgb(r.linear);
        ExpectCentre(Render(e), c, c, c);
        e->Release();
    }
}

// SRGBTexture decodes the texels from sRGB to linear on lookup, whoever sets it: a
// sampler_state block, the pass, or the host on the device's register; the texture itself
// keeps its bytes (off, the same texture samples as stored).
TEST_F(FxGl, SrgbTextureDecodesTexelsOnLookup) {
    auto linear = [](float c) { return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f); };
    const float stored[3] = {128 / 255.0f, 64 / 255.0f, 200 / 255.0f};
    gfx::IDirect3DTexture9* t = Upload(SolidPicture(stored[0], stored[1], stored[2]));
    ASSERT_NE(t, nullptr);
    const std::string ps = "texture gT;\nvoid VS(float4 p : POSITION, float2 uv : TEXCOORD0, out float4 o : POSITION, out float2 ouv : TEXCOORD0)"
                           " { o = p; ouv = uv; }\n";
    const struct {
        const char* what;
        const char* samplerStates;
        const char* passStates;
        gfx::DWORD host;
        bool decoded;
    } rows[] = {
        {"sampler_state", "SRGBTexture = TRUE;", "", 0, true},
        {"pass", "", "SRGBTexture[0] = TRUE;", 0, true},
        {"host", "", "", 1, true},
        {"off", "SRGBTexture = FALSE;", "", 0, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        device_->SetSamplerState(0, gfx::D3DSAMP_SRGBTEXTURE, r.host);
        gfx::ID3DXEffect* e = Create(ps + "sampler s = sampler_state { Texture = <gT>; " + r.samplerStates + " };\n"
                                     "float4 PS(float2 uv : TEXCOORD0) : COLOR { return tex2D(s, uv); }\n"
                                     "technique T { pass P { " + r.passStates +
                                     " VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }\n");
        ASSERT_NE(e, nullptr);
        e->SetTexture("gT", t);
        auto f = [&](int k) { return r.decoded ? linear(stored[k]) : stored[k]; };
        ExpectCentre(Render(e), f(0), f(1), f(2));
        e->Release();
    }
    device_->SetSamplerState(0, gfx::D3DSAMP_SRGBTEXTURE, 0);
    t->Release();
}

// ClipPlane[n] with ClipPlaneEnable's bit n keeps what lies on the plane's positive side: in
// clip space beside a vertex shader, in world space for the generated vertex stage (where the
// view doubles x, so the two spaces differ); without the enable bit nothing is clipped.
TEST_F(FxGl, UserClipPlanesKeepThePositiveSide) {
    const float quad[12] = {-0.5f, 1, 0, 0.5f, 1, 0, -0.5f, -1, 0, 0.5f, -1, 0};
    gfx::D3DMATRIX identity{}, view{};
    for (int i = 0; i < 4; ++i) identity.m[i][i] = view.m[i][i] = 1;
    view.m[0][0] = 2;
    device_->SetTransform(gfx::D3DTS_WORLD, &identity);
    device_->SetTransform(gfx::D3DTS_VIEW, &view);
    device_->SetTransform(gfx::D3DTS_PROJECTION, &identity);
    const std::string vs = "float4 gPlane = {1, 0, 0, -0.5};\n"
                           "float4 VS(float4 p : POSITION) : POSITION { return float4(2 * p.x, p.yzw); }\n"
                           "float4 PS() : COLOR { return 1; }\n";
    const struct {
        const char* what;
        const char* pass;
        bool clipped;
    } rows[] = {
        {"shader, clip space", "ClipPlaneEnable = CLIPPLANE0; ClipPlane[0] = <gPlane>;"
                               " VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS();", true},
        {"shader, plane off", "ClipPlaneEnable = 0; ClipPlane[0] = <gPlane>;"
                              " VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS();", false},
        {"generated, world space", "ClipPlaneEnable = 4; ClipPlane[2] = float4(1, 0, 0, -0.25);"
                                   " TextureFactor = 0xFFFFFFFF; ColorOp[0] = SelectArg1; ColorArg1[0] = TFactor;", true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        gfx::ID3DXEffect* e = Create(vs + "technique T { pass P { CullMode = NONE; " + r.pass + " } }\n");
        ASSERT_NE(e, nullptr);
        const Picture p = Render(e, {quad, sizeof quad, gfx::D3DFVF_XYZ, 12, gfx::D3DPT_TRIANGLESTRIP, 2});
        EXPECT_EQ(p.at(44, kHeight / 2)[0], r.clipped ? 0.0f : 1.0f);  // x = 0.375 in clip space
        EXPECT_EQ(p.at(56, kHeight / 2)[0], 1.0f);
        EXPECT_EQ(p.at(8, kHeight / 2)[0], r.clipped ? 0.0f : 1.0f);
        e->Release();
    }
    device_->SetTransform(gfx::D3DTS_VIEW, &identity);
    device_->SetRenderState(gfx::D3DRS_CLIPPLANEENABLE, 0);
}

// ShadeMode FLAT colours a triangle with its first vertex's colour, from a vertex shader and
// from the generated stages, set by the pass or by the host on the device; GOURAUD blends the
// three.
TEST_F(FxGl, FlatShadingTakesTheFirstVertexColour) {
    struct Vertex {
        float x, y, z;
        gfx::D3DCOLOR c;
    };
    const Vertex tri[3] = {{-1, -1, 0.5f, 0xFFFF0000u}, {-1, 3, 0.5f, 0xFF00FF00u}, {3, -1, 0.5f, 0xFF0000FFu}};
    const char* vs = "void VS(float4 p : POSITION, float4 c : COLOR0, out float4 o : POSITION, out float4 oc : COLOR0) { o = p; oc = c; }\n";
    for (const char* shade : {"FLAT", "GOURAUD"}) {
        for (const char* stage : {"VertexShader = compile vs_2_0 VS();", "ColorOp[0] = SelectArg1; ColorArg1[0] = Diffuse;"}) {
            for (const bool host : {false, true}) {
                SCOPED_TRACE(std::string(shade) + " " + stage + (host ? " from the host" : ""));
                const bool flat = std::string(shade) == "FLAT";
                device_->SetRenderState(gfx::D3DRS_SHADEMODE, host && flat ? gfx::D3DSHADE_FLAT : gfx::D3DSHADE_GOURAUD);
                gfx::ID3DXEffect* e = Create(std::string(vs) + "technique T { pass P { " +
                                             (host ? std::string() : std::string("ShadeMode = ") + shade + "; ") + stage + " } }\n");
                ASSERT_NE(e, nullptr);
                const Picture p = Render(e, {tri, sizeof tri, gfx::D3DFVF_XYZ | gfx::D3DFVF_DIFFUSE, sizeof(Vertex), gfx::D3DPT_TRIANGLELIST, 1});
                const float* c = p.at(kWidth / 2, kHeight / 2);
                if (flat) {
                    EXPECT_EQ(c[0], 1.0f);
                    EXPECT_EQ(c[1], 0.0f);
                } else {
                    EXPECT_GT(c[1], 0.1f);  // the second vertex's green reaches the middle
                }
                e->Release();
            }
        }
    }
    device_->SetRenderState(gfx::D3DRS_SHADEMODE, gfx::D3DSHADE_GOURAUD);
}

// The bump-environment states move the lookup after a bump texel: texbem, texbeml and bem in
// assembly and a BUMPENVMAP stage of the generated cascade, each landing on texel (1, 1) of a
// gradient (a matrix left at zero would sample texel (0, 0)).
TEST_F(FxGl, BumpEnvironmentStatesMoveTheNextLookUp) {
    gfx::IDirect3DTexture9* bump = Upload(MakePicture(4, 4, [](int, int, float* c) {
        c[0] = 0.25f;  // du
        c[1] = 0.5f;   // dv
        c[2] = 0.75f;  // luminance
        c[3] = 1;
    }));
    gfx::IDirect3DTexture9* ramp = Upload(MakePicture(4, 4, [](int x, int y, float* c) {
        c[0] = (x + 0.5f) / 4;
        c[1] = (y + 0.5f) / 4;
        c[2] = 0.5f;
        c[3] = 1;
    }));
    device_->SetTexture(0, bump);
    device_->SetTexture(1, ramp);
    const std::string vs = "void VS(float4 p : POSITION, out float4 o : POSITION, out float4 c : COLOR0) {"
                           " o = p; c = 1; }\n";
    const std::string matrix = "BumpEnvMat00[N] = 1.5; BumpEnvMat01[N] = 0; BumpEnvMat10[N] = 0; BumpEnvMat11[N] = 0.75;";
    const struct {
        const char* what;
        std::string pass;
        float scale;  // the luminance the lookup is scaled by
    } rows[] = {
        {"texbem", "PixelShader = asm { ps_1_1 tex t0 texbem t1, t0 mov r0, t1 };", 1},
        {"texbeml", "BumpEnvLScale[1] = 0.5; BumpEnvLOffset[1] = 0.125; PixelShader = asm { ps_1_1 tex t0 texbeml t1, t0 mov r0, t1 };",
         0.5f},
        {"bem", "PixelShader = asm { ps_1_4 texld r0, t0 texcrd r1.rg, t1 bem r1.rg, r1, r0 phase texld r1, r1 mov r0, r1 };", 1},
        {"BUMPENVMAP", "N0 ColorOp[0] = BumpEnvMap; ColorOp[1] = SelectArg1; ColorArg1[1] = Texture; ColorOp[2] = Disable;", 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        std::string states = matrix;
        const bool fixed = r.pass.rfind("N0", 0) == 0;
        for (std::size_t at; (at = states.find("[N]")) != std::string::npos;) states.replace(at, 3, fixed ? "[0]" : "[1]");
        gfx::ID3DXEffect* e = Create(vs + "technique T { pass P { VertexShader = compile vs_2_0 VS(); " + states + " " +
                                     (fixed ? r.pass.substr(2) : r.pass) + " } }\n");
        ASSERT_NE(e, nullptr);
        ExpectCentre(Render(e), 0.375f * r.scale, 0.375f * r.scale, 0.5f * r.scale);
        e->Release();
    }
    device_->SetTexture(0, nullptr);
    device_->SetTexture(1, nullptr);
    bump->Release();
    ramp->Release();
}

// States computed from parameters take the values the parameters hold when the pass begins;
// a pass's own sampler states for a register follow its sampler's, and End puts both back.
TEST_F(FxGl, ComputedAndRegisterStatesReachTheDeviceWhenThePassBegins) {
    gfx::ID3DXEffect* e = Create(
        "int gCull = 2; float gBias = 0;\n"
        "int ChooseCullMode() { if (gCull > 1) return 3; else return 1; }\n"
        "texture t; sampler s = sampler_state { Texture = <t>; AddressU = MIRROR; MaxAnisotropy = gCull * 2; };\n"
        "float4 PS(float2 uv : TEXCOORD0) : COLOR { return tex2D(s, uv); }\n"
        "technique T { pass P { CullMode = ChooseCullMode(); StencilRef = gCull + 1; AddressU[0] = CLAMP;"
        " PixelShader = compile ps_2_0 PS(); } }\n");
    ASSERT_NE(e, nullptr);
    device_->SetRenderState(gfx::D3DRS_CULLMODE, gfx::D3DCULL_NONE);
    auto cullAfterBegin = [&](int cull, gfx::DWORD* stencilRef, gfx::DWORD* address, gfx::DWORD* aniso) {
        e->SetInt("gCull", cull);
        gfx::UINT passes = 0;
        EXPECT_EQ(e->Begin(&passes, 0), gfx::D3D_OK);
        EXPECT_EQ(e->BeginPass(0), gfx::D3D_OK);
        gfx::DWORD v = 0;
        device_->GetRenderState(gfx::D3DRS_CULLMODE, &v);
        device_->GetRenderState(gfx::D3DRS_STENCILREF, stencilRef);
        device_->GetSamplerState(0, gfx::D3DSAMP_ADDRESSU, address);
        device_->GetSamplerState(0, gfx::D3DSAMP_MAXANISOTROPY, aniso);
        e->EndPass();
        e->End();
        return v;
    };
    gfx::DWORD ref = 0, address = 0, aniso = 0;
    EXPECT_EQ(cullAfterBegin(2, &ref, &address, &aniso), gfx::DWORD{gfx::D3DCULL_CCW});
    EXPECT_EQ(ref, 3u);
    EXPECT_EQ(address, gfx::DWORD{gfx::D3DTADDRESS_CLAMP});
    EXPECT_EQ(aniso, 4u);
    EXPECT_EQ(cullAfterBegin(0, &ref, &address, &aniso), gfx::DWORD{gfx::D3DCULL_NONE});
    EXPECT_EQ(ref, 1u);
    EXPECT_EQ(aniso, 0u);
    gfx::DWORD v = 0;
    device_->GetRenderState(gfx::D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, gfx::DWORD{gfx::D3DCULL_NONE});  // End restored it
    e->Release();
}

}  // namespace

TEST_F(FxGl, ShaderArraysPickTheirShaderWhenThePassBeginsAndDrawNothingOutOfRange) {
    gfx::ID3DXEffect* e = Create(
        "float4 VS(float4 p : POSITION, uniform float s) : POSITION { return float4(p.xy * s, 0, 1); }\n"
        "float4 PS(uniform float3 k) : COLOR { return float4(k, 1); }\n"
        "int Index = 0;\n"
        "int Map[3] = {2, 0, 1};\n"
        "VertexShader vs[2] = { compile vs_2_0 VS(1), compile vs_2_0 VS(0.25) };\n"
        "PixelShader ps[] = { compile ps_2_0 PS(float3(1, 0, 0)), compile ps_2_0 PS(float3(0, 1, 0)),\n"
        "                     compile ps_2_0 PS(float3(0, 0, 1)), };\n"
        "technique T { pass P { VertexShader = (vs[Index / 2]); PixelShader = (ps[Map[Index]]); } }\n");
    ASSERT_NE(e, nullptr);
    const struct {
        int index;
        float r, g, b;
    } rows[] = {{0, 0, 0, 1}, {1, 1, 0, 0}, {2, 0, 1, 0}, {3, 0, 0, 0}, {-1, 0, 0, 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.index);
        ASSERT_EQ(e->SetInt("Index", r.index), gfx::D3D_OK);
        const Picture p = Render(e);
        ExpectCentre(p, r.r, r.g, r.b);
        // Index 2 takes the small quad of vs[1]: the corner stays clear.
        const float* corner = p.at(1, 1);
        EXPECT_EQ(corner[0] + corner[1] + corner[2] > 0, r.index == 0 || r.index == 1);
    }
    e->Release();
}

TEST_F(FxGl, StructParametersAreSetWholeOrByMember) {
    gfx::ID3DXEffect* e = Create(
        "struct Light { float3 dir; float4 colour; };\n"
        "uniform extern Light gLight = { 0, 0, 1, 0.5, 0.25, 1, 1 };\n"
        "Light gLights[2];\n"
        "float4 VS(float4 p : POSITION) : POSITION { return p; }\n"
        "float4 PS() : COLOR { return gLight.colour * gLight.dir.z + gLights[1].colour; }\n"
        "technique T { pass P { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }\n");
    ASSERT_NE(e, nullptr);
    ExpectCentre(Render(e), 0.5f, 0.25f, 1.0f);
    const float colour[4] = {0.0f, 1.0f, 0.5f, 1.0f};
    ASSERT_EQ(e->SetVector("gLight.colour", colour), gfx::D3D_OK);
    ExpectCentre(Render(e), 0.0f, 1.0f, 0.5f);
    const float whole[7] = {0, 0, 0.5f, 1, 1, 1, 1};
    ASSERT_EQ(e->SetValue("gLight", whole, sizeof whole), gfx::D3D_OK);
    const float added[4] = {0.25f, 0, 0, 0};
    ASSERT_EQ(e->SetValue("gLights[1].colour", added, sizeof added), gfx::D3D_OK);
    ExpectCentre(Render(e), 0.75f, 0.5f, 0.5f);
    float back[7] = {};
    ASSERT_EQ(e->GetValue("gLight", back, sizeof back), gfx::D3D_OK);
    EXPECT_EQ(back[2], 0.5f);
    EXPECT_EQ(e->SetValue("gLight", whole, sizeof whole + 4), gfx::D3DERR_INVALIDCALL);
    e->Release();
}

TEST_F(FxGl, PassesWithoutAShaderRunTheFixedFunctionStages) {
    // Only a vertex shader: texture stage 0 modulated by the diffuse colour the shader writes.
    gfx::ID3DXEffect* vs = Create(
        "void VS(float4 p : POSITION, float2 uv : TEXCOORD0, out float4 o : POSITION,\n"
        "        out float4 c : COLOR0, out float2 t : TEXCOORD0) { o = p; c = float4(1, 0.5, 0.25, 1); t = uv; }\n"
        "technique T { pass P { VertexShader = compile vs_2_0 VS(); } }\n");
    ASSERT_NE(vs, nullptr);
    ExpectCentre(Render(vs), 1.0f, 0.5f, 0.25f);  // no texture on stage 0
    gfx::IDirect3DTexture9* t = Upload(MakePicture(4, 4, [](int, int, float* c) {
        c[0] = 0.5f;
        c[1] = 1.0f;
        c[2] = 0.0f;
        c[3] = 1.0f;
    }));
    ASSERT_NE(t, nullptr);
    device_->SetTexture(0, t);
    ExpectCentre(Render(vs), 0.5f, 0.5f, 0.0f);
    device_->SetTexture(0, nullptr);
    t->Release();
    vs->Release();

    // Only a pixel shader: positions go through the world transform the pass names, which End
    // puts back.
    gfx::ID3DXEffect* ps = Create(
        "float4x4 World = { 0.5, 0, 0, 0,  0, 0.5, 0, 0,  0, 0, 1, 0,  0, 0, 0, 1 };\n"
        "float4 PS() : COLOR { return float4(0, 1, 1, 1); }\n"
        "technique T { pass P { WorldTransform[0] = (World); PixelShader = compile ps_2_0 PS(); } }\n");
    ASSERT_NE(ps, nullptr);
    const Picture p = Render(ps);
    ExpectCentre(p, 0.0f, 1.0f, 1.0f);
    EXPECT_EQ(p.at(2, 2)[1], 0.0f);  // outside the half-size quad
    gfx::D3DMATRIX world;
    device_->GetTransform(gfx::D3DTS_WORLD, &world);
    EXPECT_EQ(world.m[0][0], 1.0f);
    ps->Release();
}

// --- fixed-function vertex processing ----------------------------------------------------------

namespace {

// A CPU evaluation of Direct3D's documented vertex formulas for one vertex. World and view are
// identity in these tests, so camera space is the vertex's own: the camera at the origin looks
// down +z.
struct V3 {
    float x = 0, y = 0, z = 0;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(float k, V3 a) { return {k * a.x, k * a.y, k * a.z}; }
float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Norm(V3 a) { return (1.0f / std::sqrt(Dot(a, a))) * a; }

struct FfLight {
    int type;  // D3DLIGHT_POINT 1, SPOT 2, DIRECTIONAL 3
    V3 pos, dir, diffuse, specular, ambient;
    float range = 100, falloff = 1, a0 = 1, a1 = 0, a2 = 0, theta = 0.5f, phi = 1.0f;
};
struct FfLighting {
    const char* name;
    std::vector<FfLight> lights;
    V3 normal;
    float z;  // the vertex sits at (0, 0, z)
    bool specular = false, localViewer = true, normalize = false, vertexDiffuse = false;
    float power = 8;
};

// Material, global ambient and vertex colour shared by the lighting cases.
const V3 kMatDiffuse{0.8f, 0.6f, 0.4f}, kMatAmbient{0.2f, 0.3f, 0.4f}, kMatSpecular{0.5f, 0.4f, 0.3f};
const V3 kMatEmissive{0.05f, 0.1f, 0.0f}, kGlobalAmbient{32 / 255.0f, 32 / 255.0f, 32 / 255.0f};
const V3 kVertexColour{64 / 255.0f, 192 / 255.0f, 128 / 255.0f};  // 0xFF40C080

V3 Light(const FfLighting& c) {
    const V3 p{0, 0, c.z};
    const V3 n = c.normalize ? Norm(c.normal) : c.normal;
    const V3 e = c.localViewer ? Norm(p) : V3{0, 0, 1};  // eye to vertex
    V3 amb = kGlobalAmbient, dif, spe;
    for (const FfLight& l : c.lights) {
        V3 ldir;
        float k = 1;
        if (l.type == 3) {
            ldir = -1.0f * Norm(l.dir);
        } else {
            const V3 d = l.pos - p;
            const float dist = std::sqrt(Dot(d, d));
            ldir = (1 / dist) * d;
            k = dist > l.range ? 0 : 1 / (l.a0 + l.a1 * dist + l.a2 * dist * dist);
            if (l.type == 2) {
                const float rho = Dot(Norm(l.dir), -1.0f * ldir);
                const float ct = std::cos(l.theta / 2), cp = std::cos(l.phi / 2);
                k *= rho > ct ? 1 : rho <= cp ? 0 : std::pow((rho - cp) / (ct - cp), l.falloff);
            }
        }
        amb = amb + k * l.ambient;
        dif = dif + (k * std::max(Dot(n, ldir), 0.0f)) * l.diffuse;
        const float nh = std::max(Dot(n, Norm(ldir - e)), 0.0f);
        if (c.specular) spe = spe + (k * (nh > 0 ? std::pow(nh, c.power) : 0)) * l.specular;
    }
    const V3 cd = c.vertexDiffuse ? kVertexColour : kMatDiffuse;
    V3 out{kMatAmbient.x * amb.x + cd.x * dif.x + kMatEmissive.x, kMatAmbient.y * amb.y + cd.y * dif.y + kMatEmissive.y,
           kMatAmbient.z * amb.z + cd.z * dif.z + kMatEmissive.z};
    auto sat = [](float v) { return std::clamp(v, 0.0f, 1.0f); };
    // The pixel stage adds the specular colour after the texture stages.
    return {sat(sat(out.x) + sat(kMatSpecular.x * spe.x)), sat(sat(out.y) + sat(kMatSpecular.y * spe.y)),
            sat(sat(out.z) + sat(kMatSpecular.z * spe.z))};
}

std::string F4(V3 v, float w) {
    std::ostringstream s;
    s << "float4(" << v.x << ", " << v.y << ", " << v.z << ", " << w << ")";
    return s.str();
}

}  // namespace

// One point at the centre pixel, with a position, a normal, a diffuse colour and a coordinate
// set, under a projection with w = z (so that table fog reads camera-space depth).
class FxFixed : public FxGl {
protected:
    // A 4 x 4 texture whose red and green name the texel's column and row (32, 96, 160, 224),
    // bound to stage 0 with point sampling; null when it cannot be made.
    gfx::IDirect3DTexture9* BindCoordinateTexture() {
        gfx::IDirect3DTexture9* t = Upload(MakePicture(4, 4, [](int x, int y, float* c) {
            c[0] = (x * 64 + 32) / 255.0f;
            c[1] = (y * 64 + 32) / 255.0f;
            c[2] = 0.5f;
            c[3] = 1;
        }));
        if (!t) return nullptr;
        device_->SetTexture(0, t);
        device_->SetSamplerState(0, gfx::D3DSAMP_MINFILTER, gfx::D3DTEXF_POINT);
        device_->SetSamplerState(0, gfx::D3DSAMP_MAGFILTER, gfx::D3DTEXF_POINT);
        return t;
    }
    void SetUp() override {
        FxGl::SetUp();
        gfx::D3DMATRIX proj{}, identity{};
        for (int i = 0; i < 4; ++i) identity.m[i][i] = 1;
        proj.m[0][0] = proj.m[1][1] = proj.m[2][2] = proj.m[2][3] = 1;
        proj.m[2][0] = 1.0f / kWidth;    // the axis lands on the centre pixel's centre
        proj.m[2][1] = -1.0f / kHeight;
        proj.m[3][2] = -0.5f;
        device_->SetTransform(gfx::D3DTS_PROJECTION, &proj);
        device_->SetTransform(gfx::D3DTS_VIEW, &identity);
        device_->SetTransform(gfx::D3DTS_WORLD, &identity);
    }
    void TearDown() override {
        gfx::D3DMATRIX identity{};
        for (int i = 0; i < 4; ++i) identity.m[i][i] = 1;
        device_->SetTransform(gfx::D3DTS_PROJECTION, &identity);
    }
    static Picture Point(gfx::ID3DXEffect* e, float z, V3 normal, float u = 0, float v = 0) {
        float vertex[9] = {0, 0, z, normal.x, normal.y, normal.z, 0, u, v};
        const std::uint32_t colour = 0xFF40C080u;
        std::memcpy(&vertex[6], &colour, 4);
        return Render(e, {vertex, sizeof vertex, gfx::D3DFVF_XYZ | gfx::D3DFVF_NORMAL | gfx::D3DFVF_DIFFUSE | gfx::D3DFVF_TEX1,
                          sizeof vertex, gfx::D3DPT_POINTLIST, 1});
    }
};

// Directional, point and spot lights with attenuation, range, cones, specular highlights,
// local and infinite viewers, normalised normals and the vertex colour as the diffuse source:
// the lit vertex matches the documented formulas. One light's colour is a parameter.
TEST_F(FxFixed, VertexLightingMatchesTheDocumentedFormulas) {
    const V3 white{1, 1, 1}, warm{0.9f, 0.7f, 0.5f}, none{};
    const FfLighting kCases[] = {
        {"directional", {{3, {}, {0.3f, -0.4f, 1}, warm, none, {0.1f, 0.1f, 0.1f}}}, {0, 0, -1}, 5},
        {"point attenuated", {{1, {1, 2, 1}, {}, white, none, none, 100, 1, 0.5f, 0.1f, 0.02f}}, {0, 0.6f, -0.8f}, 4},
        {"point beyond its range", {{1, {0, 0, -3}, {}, white, none, {0.5f, 0.5f, 0.5f}, 5.0f}}, {0, 0, -1}, 4},
        {"spot inside, between and outside its cones",
         {{2, {0, 0, 0}, {0, 0, 1}, {1, 0, 0}, none, none, 100, 1, 1, 0, 0, 0.2f, 0.6f},
          {2, {0.5f, 0, 0}, {0, 0, 1}, {0, 1, 0}, none, none, 100, 2, 1, 0, 0, 0.1f, 0.5f},
          {2, {3, 0, 0}, {0, 0, 1}, {0, 0, 1}, none, none, 100, 1, 1, 0, 0, 0.1f, 0.3f}},
         {0, 0, -1}, 4},
        {"specular, local viewer", {{1, {1, 1, 0}, {}, warm, white, none}}, {0.2f, 0.1f, -1}, 3, true, true, true},
        {"specular, infinite viewer", {{3, {}, {-0.5f, -0.5f, 1}, warm, white, none}}, {0, 0, -1}, 3, true, false},
        {"vertex colour, two lights",
         {{3, {}, {0, 0, 1}, {0.5f, 0.5f, 0.5f}, none, none}, {3, {}, {1, 0, 0.5f}, {0.3f, 0.3f, 0.3f}, none, none}},
         {0.6f, 0, -0.8f}, 5, false, true, false, true},
    };
    for (const FfLighting& c : kCases) {
        SCOPED_TRACE(c.name);
        std::ostringstream fx;
        fx << "float4 gColour;\ntechnique T { pass P { Lighting = TRUE; Ambient = 0x00202020; SpecularEnable = "
           << (c.specular ? "TRUE" : "FALSE") << "; LocalViewer = " << (c.localViewer ? "TRUE" : "FALSE")
           << "; NormalizeNormals = " << (c.normalize ? "TRUE" : "FALSE")
           << "; DiffuseMaterialSource = " << (c.vertexDiffuse ? "COLOR1" : "MATERIAL")
           << "; MaterialDiffuse = " << F4(kMatDiffuse, 1) << "; MaterialAmbient = " << F4(kMatAmbient, 1)
           << "; MaterialSpecular = " << F4(kMatSpecular, 1) << "; MaterialEmissive = " << F4(kMatEmissive, 1)
           << "; MaterialPower = " << c.power << ";\n";
        for (std::size_t i = 0; i < c.lights.size(); ++i) {
            const FfLight& l = c.lights[i];
            static const char* const kTypes[] = {"", "POINT", "SPOT", "DIRECTIONAL"};
            fx << "LightEnable[" << i << "] = TRUE; LightType[" << i << "] = " << kTypes[l.type] << "; LightPosition["
               << i << "] = " << F4(l.pos, 1) << "; LightDirection[" << i << "] = " << F4(l.dir, 0) << "; LightDiffuse["
               << i << "] = " << (i == 0 ? "<gColour>" : F4(l.diffuse, 1)) << "; LightSpecular[" << i
               << "] = " << F4(l.specular, 1) << "; LightAmbient[" << i << "] = " << F4(l.ambient, 1) << "; LightRange["
               << i << "] = " << l.range << "; LightFalloff[" << i << "] = " << l.falloff << "; LightAttenuation0[" << i
               << "] = " << l.a0 << "; LightAttenuation1[" << i << "] = " << l.a1 << "; LightAttenuation2[" << i
               << "] = " << l.a2 << "; LightTheta[" << i << "] = " << l.theta << "; LightPhi[" << i << "] = " << l.phi
               << ";\n";
        }
        fx << "} }\n";
        gfx::ID3DXEffect* e = Create(fx.str());
        ASSERT_NE(e, nullptr) << fx.str();
        const float colour[4] = {c.lights[0].diffuse.x, c.lights[0].diffuse.y, c.lights[0].diffuse.z, 1};
        e->SetVector("gColour", colour);
        const V3 expected = Light(c);
        ExpectCentre(Point(e, c.z, c.normal), expected.x, expected.y, expected.z);
        e->Release();
    }
}

// Vertex fog (by depth) and table fog (by the depth that w carries), linear, exp and exp2:
// the fogged colour is f * colour + (1 - f) * FogColor with the documented factors.
TEST_F(FxFixed, FogMatchesTheDocumentedFactors) {
    struct Case {
        const char* states;
        float z, factor;
    } const kCases[] = {
        {"FogVertexMode = LINEAR; FogStart = 2.0; FogEnd = 10.0;", 5, 5.0f / 8},
        {"FogVertexMode = EXP; FogDensity = 0.2;", 5, std::exp(-1.0f)},
        {"FogVertexMode = EXP2; FogDensity = 0.1;", 5, std::exp(-0.25f)},
        {"FogTableMode = LINEAR; FogStart = 1.0; FogEnd = 9.0;", 7, 2.0f / 8},
        {"FogTableMode = EXP; FogDensity = 0.3;", 4, std::exp(-1.2f)},
        {"FogTableMode = EXP2; FogDensity = 0.25;", 3, std::exp(-0.5625f)},
        {"FogTableMode = LINEAR; FogVertexMode = EXP; FogStart = 0.0; FogEnd = 4.0;", 3, 0.25f},  // table wins
    };
    const V3 fog{32 / 255.0f, 64 / 255.0f, 255 / 255.0f};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.states);
        gfx::ID3DXEffect* e = Create(std::string("technique T { pass P { FogEnable = TRUE; FogColor = 0x002040FF; ") +
                                     c.states + " } }\n");
        ASSERT_NE(e, nullptr);
        const float f = c.factor;
        ExpectCentre(Point(e, c.z, {0, 0, -1}), f * kVertexColour.x + (1 - f) * fog.x, f * kVertexColour.y + (1 - f) * fog.y,
                     f * kVertexColour.z + (1 - f) * fog.z);
        e->Release();
    }
    // Fog blends a pixel shader's colour below model 3.
    gfx::ID3DXEffect* ps = Create("float4 PS() : COLOR { return float4(0.25, 0.75, 0.5, 1); }\n"
                                  "technique T { pass P { FogEnable = TRUE; FogColor = 0x002040FF; FogTableMode = LINEAR;"
                                  " FogStart = 1.0; FogEnd = 9.0; PixelShader = compile ps_2_0 PS(); } }\n");
    ASSERT_NE(ps, nullptr);
    ExpectCentre(Point(ps, 7, {0, 0, -1}), 0.25f * 0.25f + 0.75f * fog.x, 0.25f * 0.75f + 0.75f * fog.y,
                 0.25f * 0.5f + 0.75f * fog.z);
    ps->Release();
    // A vertex shader's FOG output (HLSL or oFog) is the factor the fixed fog stage blends with,
    // beside a pixel shader below model 3 and beside the fixed texture stages.
    const std::string centre = "float4(" + std::to_string(1.0 / kWidth) + ", " + std::to_string(-1.0 / kHeight) + ", 0.5, 1)";
    const std::string hlsl = "float4 VS(float4 p : POSITION, out float fog : FOG, out float4 c : COLOR0) : POSITION {\n"
                             "  fog = 0.375; c = float4(0.25, 0.75, 0.5, 1); return " + centre + "; }\n";
    const std::string assembly = "asm { vs_1_1\n dcl_position v0\n def c0, " + std::to_string(1.0 / kWidth) + ", " +
                                 std::to_string(-1.0 / kHeight) + ", 0.5, 1\n def c1, 0.375, 0.25, 0.75, 0.5\n"
                                 " mov oPos, c0\n mov oFog, c1.x\n mov oD0, c1.yzww\n }";
    const char* pixel[] = {"PixelShader = compile ps_2_0 PS();", ""};
    for (const std::string& vs : {std::string("compile vs_2_0 VS()"), assembly})
        for (const char* p : pixel) {
            SCOPED_TRACE(vs + " " + p);
            gfx::ID3DXEffect* e = Create(hlsl + "float4 PS(float4 c : COLOR0) : COLOR { return c; }\n"
                                         "technique T { pass P { FogEnable = TRUE; FogColor = 0x002040FF; VertexShader = " +
                                         vs + "; " + p + " } }\n");
            ASSERT_NE(e, nullptr);
            const float f = 0.375f;
            ExpectCentre(Point(e, 5, {0, 0, -1}), f * 0.25f + (1 - f) * fog.x, f * 0.75f + (1 - f) * fog.y,
                         f * 0.5f + (1 - f) * fog.z);
            e->Release();
        }
}

// Texture coordinates from a coordinate set or a camera-space generator, through the stage's
// transform (a two-component set's translation in the third row, a generated vector's in the
// fourth) with COUNT and PROJECTED: the point samples the texel the documented formulas pick.
TEST_F(FxFixed, GeneratedAndTransformedCoordinatesSampleTheDocumentedTexel) {
    gfx::IDirect3DTexture9* t = BindCoordinateTexture();
    ASSERT_NE(t, nullptr);
    struct Case {
        const char* index;
        const char* flags;
        int generator;  // TCI >> 16
        float m[16];    // the stage's transform, row-major
    } const kCases[] = {
        {"0", "COUNT2", 0, {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0.3f, 0.6f, 1, 0, 0, 0, 0, 1}},
        {"CAMERASPACEPOSITION", "COUNT2", 2, {0.1f, 0, 0, 0, 0, 0.1f, 0, 0, 0.1f, 0, 0, 0, 0.1f, 0.4f, 0, 1}},
        {"CAMERASPACENORMAL", "COUNT2", 1, {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0.6f, 0, 1}},
        {"CAMERASPACEREFLECTIONVECTOR", "COUNT3", 3, {0.3f, 0, 0, 0, 0, 0.3f, 0, 0, 0.2f, 0, 1, 0, 0.3f, 0.6f, 0, 1}},
        {"SPHEREMAP", "DISABLE", 4, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {"0", "COUNT3 | PROJECTED", 0, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}},
    };
    const V3 normal{0.6f, 0.2f, -0.7746f}, pos{0, 0, 5};
    const float u0 = 0.3f, v0 = 0.9f;
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.index) + " " + c.flags);
        gfx::ID3DXEffect* e = Create(std::string("float4x4 gTex;\ntechnique T { pass P { LocalViewer = FALSE; TexCoordIndex[0] = ") +
                                     c.index + "; TextureTransformFlags[0] = " + c.flags +
                                     "; TextureTransform[0] = <gTex>; } }\n");
        ASSERT_NE(e, nullptr);
        e->SetMatrix("gTex", reinterpret_cast<const gfx::D3DXMATRIX*>(c.m));
        // The coordinate before the transform, then after it (a row vector times the matrix).
        const V3 e3{0, 0, 1};
        const V3 r = e3 - (2 * Dot(normal, e3)) * normal;
        float b[4] = {u0, v0, 1, 0};
        if (c.generator == 1) std::copy_n(std::array<float, 4>{normal.x, normal.y, normal.z, 1}.data(), 4, b);
        if (c.generator == 2) std::copy_n(std::array<float, 4>{pos.x, pos.y, pos.z, 1}.data(), 4, b);
        if (c.generator == 3) std::copy_n(std::array<float, 4>{r.x, r.y, r.z, 1}.data(), 4, b);
        if (c.generator == 4) {
            const float m = 2 * std::sqrt(r.x * r.x + r.y * r.y + (r.z - 1) * (r.z - 1));
            std::copy_n(std::array<float, 4>{r.x / m + 0.5f, -r.y / m + 0.5f, 1, 0}.data(), 4, b);
        }
        float tc[4] = {b[0], b[1], b[2], b[3]};
        if (std::string(c.flags) != "DISABLE")
            for (int j = 0; j < 4; ++j) tc[j] = b[0] * c.m[j] + b[1] * c.m[4 + j] + b[2] * c.m[8 + j] + b[3] * c.m[12 + j];
        if (std::string(c.flags).find("PROJECTED") != std::string::npos) {
            tc[0] /= tc[2];
            tc[1] /= tc[2];
        }
        // The case must land well inside one texel.
        for (float x : {tc[0] * 4, tc[1] * 4}) {
            ASSERT_GT(x - std::floor(x), 0.1f) << tc[0] << ", " << tc[1];
            ASSERT_LT(x - std::floor(x), 0.9f) << tc[0] << ", " << tc[1];
        }
        const int tx = static_cast<int>(std::floor(tc[0] * 4)) & 3, ty = static_cast<int>(std::floor(tc[1] * 4)) & 3;
        // Stage 0 modulates the texel by the vertex colour.
        ExpectCentre(Point(e, pos.z, normal, u0, v0), (tx * 64 + 32) / 255.0f * kVertexColour.x,
                     (ty * 64 + 32) / 255.0f * kVertexColour.y, 0.5f * kVertexColour.z);
        e->Release();
    }
    device_->SetTexture(0, nullptr);
    t->Release();
    SetUp();  // the suite's sampler defaults
}

// Point sizes (PointSize, and PointScaleEnable's distance function of the viewport height),
// point sprites covering the texture, and the alpha test applied beside a pixel shader.
TEST_F(FxFixed, PointSizesSpritesAndTheAlphaTestBesideAPixelShader) {
    auto lit = [](const Picture& p) {
        int n = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) n += p.at(x, y)[1] > 0 ? 1 : 0;
        return n;
    };
    struct Case {
        const char* states;
        float z;
        int side;
    } const kCases[] = {
        {"PointSize = 5.0;", 5, 5},
        {"PointSize = 0.5; PointScaleEnable = TRUE; PointScale_A = 0.0; PointScale_B = 0.0; PointScale_C = 1.0;", 4.8f, 5},
        {"PointSize = 20.0; PointSize_Max = 7.0;", 5, 7},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.states);
        gfx::ID3DXEffect* e = Create(std::string("technique T { pass P { ") + c.states + " } }\n");
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(lit(Point(e, c.z, {0, 0, -1})), c.side * c.side);
        e->Release();
    }
    gfx::IDirect3DTexture9* t = Upload(MakePicture(2, 2, [](int x, int y, float* c) {
        c[0] = static_cast<float>(x);
        c[1] = static_cast<float>(y);
        c[2] = 1;
        c[3] = 1;
    }));
    device_->SetTexture(0, t);
    device_->SetSamplerState(0, gfx::D3DSAMP_MINFILTER, gfx::D3DTEXF_POINT);
    device_->SetSamplerState(0, gfx::D3DSAMP_MAGFILTER, gfx::D3DTEXF_POINT);
    // PointSpriteEnable set by the pass, or by the host on the device.
    for (const bool host : {false, true}) {
        SCOPED_TRACE(host ? "from the host" : "from the pass");
        device_->SetRenderState(gfx::D3DRS_POINTSPRITEENABLE, host ? 1 : 0);
        gfx::ID3DXEffect* sprite = Create(std::string("technique T { pass P { PointSize = 8.0; ") +
                                          (host ? "" : "PointSpriteEnable = TRUE; ") +
                                          "ColorOp[0] = SelectArg1; ColorArg1[0] = Texture; } }\n");
        ASSERT_NE(sprite, nullptr);
        const Picture p = Point(sprite, 5, {0, 0, -1});
        EXPECT_EQ(p.at(30, 22)[0], 0.0f);  // the sprite's top-left quarter shows texel (0, 0)
        EXPECT_EQ(p.at(30, 22)[1], 0.0f);
        EXPECT_EQ(p.at(35, 27)[0], 1.0f);  // its bottom-right one texel (1, 1)
        EXPECT_EQ(p.at(35, 27)[1], 1.0f);
        sprite->Release();
    }
    device_->SetRenderState(gfx::D3DRS_POINTSPRITEENABLE, 0);
    // The same with shaders: the vertex shader's PSIZE sizes the point and the pixel shader's
    // texture coordinates run across the sprite, in HLSL and in assembly.
    const std::string vs = "texture T; sampler s0 = sampler_state { Texture = <T>; MinFilter = Point; MagFilter = Point; };\n"
                           "void VS(float4 p : POSITION, out float4 o : POSITION, out float s : PSIZE) { o = float4(0, 0, 0.5, 1); s = 8; }\n"
                           "float4 PS(float2 t : TEXCOORD0) : COLOR { return tex2D(s0, t); }\n";
    for (const char* ps : {"PixelShader = compile ps_2_0 PS();", "PixelShader = asm { ps_1_1 tex t0 mov r0, t0 };"}) {
        SCOPED_TRACE(ps);
        gfx::ID3DXEffect* e = Create(vs + "technique T { pass P { PointSpriteEnable = TRUE; VertexShader = compile vs_2_0 VS(); " +
                                     ps + " } }\n");
        ASSERT_NE(e, nullptr);
        e->SetTexture("T", t);
        const Picture s = Point(e, 5, {0, 0, -1});
        EXPECT_EQ(lit(s), 8 * 8 / 2);  // the texels of the bottom row are green
        EXPECT_EQ(s.at(30, 22)[0], 0.0f);
        EXPECT_EQ(s.at(35, 27)[0], 1.0f);
        EXPECT_EQ(s.at(35, 27)[1], 1.0f);
        e->Release();
    }
    device_->SetTexture(0, nullptr);
    t->Release();
    SetUp();  // the suite's sampler defaults
    for (const char* ref : {"0x40", "0xC0"}) {
        gfx::ID3DXEffect* e = Create(std::string("float4 PS() : COLOR { return float4(0, 1, 0, 0.5); }\n"
                                                 "technique T { pass P { AlphaTestEnable = TRUE; AlphaFunc = GREATER; AlphaRef = ") +
                                     ref + "; PixelShader = compile ps_2_0 PS(); } }\n");
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(lit(Point(e, 5, {0, 0, -1})) > 0, std::string(ref) == "0x40") << ref;
        e->Release();
    }
    // The application's alpha test holds for a pass that never names it.
    gfx::ID3DXEffect* own = Create("float4 PS() : COLOR { return float4(0, 1, 0, 0.5); }\n"
                                   "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n");
    ASSERT_NE(own, nullptr);
    for (const gfx::DWORD ref : {0x40u, 0xC0u}) {
        device_->SetRenderState(gfx::D3DRS_ALPHATESTENABLE, 1);
        device_->SetRenderState(gfx::D3DRS_ALPHAFUNC, gfx::D3DCMP_GREATER);
        device_->SetRenderState(gfx::D3DRS_ALPHAREF, ref);
        EXPECT_EQ(lit(Point(own, 5, {0, 0, -1})) > 0, ref == 0x40u) << ref;
    }
    device_->SetRenderState(gfx::D3DRS_ALPHATESTENABLE, 0);
    EXPECT_GT(lit(Point(own, 5, {0, 0, -1})), 0);
    own->Release();
}

// Texture coordinate sets past the first: a vertex with sets 0 and 1 (2 or 3 floats), stage 0
// sampling with set 1 (projected by its third component when it has three).
TEST_F(FxFixed, LaterCoordinateSetsReachTheStages) {
    gfx::IDirect3DTexture9* t = BindCoordinateTexture();
    ASSERT_NE(t, nullptr);
    const struct {
        bool three;     // set 1 has three floats
        float set1[3];  // its values
        int tx, ty;     // the texel they pick
    } rows[] = {
        {false, {0.6f, 0.9f, 0}, 2, 3},
        {true, {0.3f, 0.1f, 0.5f}, 2, 0},  // (0.6, 0.2) after the division
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.three);
        gfx::ID3DXEffect* e = Create(std::string("technique T { pass P { TexCoordIndex[0] = 1; ") +
                                     (r.three ? "TextureTransformFlags[0] = COUNT3 | PROJECTED; " : "") + "} }\n");
        ASSERT_NE(e, nullptr);
        // position, colour, set 0 (a texel far from the expected one), set 1
        float v[9] = {0, 0, 5, 0, 0.1f, 0.1f, r.set1[0], r.set1[1], r.set1[2]};
        const std::uint32_t colour = 0xFF40C080u;
        std::memcpy(&v[3], &colour, 4);
        const gfx::DWORD fvf = gfx::D3DFVF_XYZ | gfx::D3DFVF_DIFFUSE | gfx::D3DFVF_TEX2 |
                               (r.three ? gfx::D3DFVF_TEXCOORDSIZE3(1) : gfx::D3DFVF_TEXCOORDSIZE2(1));
        const unsigned bytes = r.three ? 36u : 32u;
        ExpectCentre(Render(e, {v, bytes, fvf, bytes, gfx::D3DPT_POINTLIST, 1}), (r.tx * 64 + 32) / 255.0f * kVertexColour.x,
                     (r.ty * 64 + 32) / 255.0f * kVertexColour.y, 0.5f * kVertexColour.z);
        e->Release();
    }
    device_->SetTexture(0, nullptr);
    t->Release();
    SetUp();  // the suite's sampler defaults
}
