// tests/fx/fx_conformance_test.cpp: runs the conformance tables (fx_conformance_cases.cpp). A
// value row is rendered on the GL context and its GLSL also goes through glslangValidator; a
// refusal row must fail to compile with its first error on the expected line. A last test
// checks that the coverage table names every row and every intrinsic.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "platform/gfx/fx/check.h"
#include "platform/gfx/fx/effect.h"
#include "platform/gfx/fx/fx.h"
#include "platform/gfx/gfx.h"
#include "platform/gfx/gl/gl_internal.h"
#include "platform/window/window.h"
#include "tests/fx/fx_conformance.h"

namespace fx_conformance {  // gtest prints a row by its id
void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.id; }
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.id; }
}  // namespace fx_conformance

namespace {

namespace gfx = platform::gfx;
namespace fx = platform::gfx::fx;
namespace win = platform::window;
using fx_conformance::RefusalCase;
using fx_conformance::ValueCase;

win::LResult Proc(win::WindowHandle w, std::uint32_t m, win::WParam wp, win::LParam lp) {
    return win::DefWindowProc(w, m, wp, lp);
}

// One small window and device for every value row.
struct Renderer {
    win::WindowHandle window{};
    gfx::IDirect3D9* d3d = nullptr;
    gfx::IDirect3DDevice9* device = nullptr;
    gfx::IDirect3DTexture9* target = nullptr;
    gfx::IDirect3DSurface9* surface = nullptr;
    gfx::ID3DXRenderToSurface* rts = nullptr;
    gfx::IDirect3DVertexBuffer9* vb = nullptr;

    Renderer() {
        win::ClassDesc c;
        c.name = "FxConformanceClass";
        c.proc = Proc;
        win::RegisterClass(c);
        win::WindowDesc d;
        d.className = "FxConformanceClass";
        d.title = "fx conformance";
        d.style = win::WS_POPUP | win::WS_VISIBLE;
        d.width = 8;
        d.height = 8;
        window = win::CreateWindow(d);
        d3d = gfx::Direct3DCreate9(gfx::D3D_SDK_VERSION);
        gfx::D3DPRESENT_PARAMETERS p;
        p.BackBufferFormat = gfx::D3DFMT_X8R8G8B8;
        p.BackBufferCount = 1;
        p.hDeviceWindow = window;
        p.Windowed = 1;
        if (window && d3d)
            d3d->CreateDevice(0, gfx::D3DDEVTYPE_HAL, window, gfx::D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device);
        if (!device) return;
        gfx::D3DXCreateTexture(device, 4, 4, 1, gfx::D3DUSAGE_RENDERTARGET, gfx::D3DFMT_X8R8G8B8,
                               gfx::D3DPOOL_DEFAULT, &target);
        target->GetSurfaceLevel(0, &surface);
        gfx::D3DXCreateRenderToSurface(device, 4, 4, gfx::D3DFMT_X8R8G8B8, 0, gfx::D3DFMT_UNKNOWN, &rts);
        static const float kQuad[20] = {-1, 1, 0, 0, 0, 1, 1, 0, 1, 0, -1, -1, 0, 0, 1, 1, -1, 0, 1, 1};
        device->CreateVertexBuffer(80, 0, gfx::D3DFVF_XYZ | gfx::D3DFVF_TEX1, gfx::D3DPOOL_MANAGED, &vb, nullptr);
        void* data = nullptr;
        vb->Lock(0, 80, &data, 0);
        std::memcpy(data, kQuad, 80);
        vb->Unlock();
    }
    ~Renderer() {
        if (vb) vb->Release();
        if (rts) rts->Release();
        if (surface) surface->Release();
        if (target) target->Release();
        if (device) device->Release();
        if (d3d) d3d->Release();
        if (window) win::DestroyWindow(window);
    }

    // Draws pass 0 of "source" over the target; the pixel at (1, 1), or the messages.
    bool Draw(const std::string& source, std::uint32_t& pixel, std::string& messages) {
        gfx::ID3DXEffect* e = nullptr;
        gfx::ID3DXBuffer* errors = nullptr;
        const gfx::HRESULT hr = gfx::D3DXCreateEffect(device, source.data(), static_cast<gfx::UINT>(source.size()),
                                                      nullptr, nullptr, 0, nullptr, &e, &errors);
        if (errors) {
            messages = static_cast<const char*>(errors->GetBufferPointer());
            errors->Release();
        }
        if (gfx::Failed(hr)) return false;
        gfx::D3DVIEWPORT9 vp{0, 0, 4, 4, 0.0f, 1.0f};
        rts->BeginScene(surface, &vp);
        device->Clear(0, nullptr, gfx::D3DCLEAR_TARGET, 0, 1.0f, 0);
        gfx::UINT passes = 0;
        e->Begin(&passes, 0);
        e->BeginPass(0);
        device->SetStreamSource(0, vb, 0, 20);
        device->SetFVF(gfx::D3DFVF_XYZ | gfx::D3DFVF_TEX1);
        device->DrawPrimitive(gfx::D3DPT_TRIANGLESTRIP, 0, 2);
        e->EndPass();
        e->End();
        device->SetStreamSource(0, nullptr, 0, 0);
        rts->EndScene(0);
        gfx::RECT one{1, 1, 2, 2};
        gfx::gl::ToGL(surface)->ReadPixels(one, &pixel);
        e->Release();
        return true;
    }
};

Renderer& TheRenderer() {
    static Renderer r;
    return r;
}

std::string FloatText(float v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    std::string s = buf;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

// The row's source with a pixel shader that writes, per component of Value(), whether it
// matches: red x, green y, blue 1/8 + z/4 + w/2 (the target stores no alpha).
std::string ValueEffect(const ValueCase& c) {
    static const char kParts[] = "xyzw";
    std::string checks;
    for (int i = 0; i < 4; ++i) {
        const float e = c.expected[static_cast<std::size_t>(i)];
        const std::string v = std::string("v.") + kParts[i];
        std::string check;
        if (std::isinf(e)) check = e > 0 ? v + " > 3.0e38" : v + " < -3.0e38";
        else check = "abs(" + v + " - (" + FloatText(e) + ")) <= 0.0005 * max(1.0, abs(" + FloatText(e) + "))";
        checks += std::string(i ? ", " : "") + "(" + check + ") ? 1.0 : 0.0";
    }
    const std::string check = "    float4 ok = float4(" + checks +
                              ");\n    return float4(ok.x, ok.y, 0.125 + ok.z * 0.25 + ok.w * 0.5, 1);\n}\n";
    // A source that declares "static float2 gPixel;" gets the pixel's texture coordinate in it.
    const bool pixel = std::strstr(c.source, "gPixel") != nullptr;
    if (!c.vertexProfile)
        return std::string(c.source) + "\nfloat4 ConformancePS(" + (pixel ? "float2 uv : TEXCOORD0" : "") +
               ") : COLOR {\n" + (pixel ? "    gPixel = uv;\n" : "") + "    float4 v = Value();\n" + check +
               "technique ConformanceT { pass P { PixelShader = compile " + c.profile + " ConformancePS(); } }\n";
    return std::string(c.source) +
           "\nvoid ConformanceVS(float4 p : POSITION, out float4 op : POSITION, out float4 v : TEXCOORD7) {\n"
           "    op = p;\n    v = Value();\n}\nfloat4 ConformancePS(float4 v : TEXCOORD7) : COLOR {\n" + check +
           "technique ConformanceT { pass P { VertexShader = compile " + c.vertexProfile +
           " ConformanceVS(); PixelShader = compile " + c.profile + " ConformancePS(); } }\n";
}

// Runs glslangValidator over every stage of every pass; its complaints, or "" when it accepts
// them all (or is not installed).
std::string SecondFrontEnd(const fx::CompileResult& r) {
    static const bool available = std::system("glslangValidator --version >/dev/null 2>&1") == 0;
    if (!available) return "";
    char dir[] = "/tmp/fx-conformance-XXXXXX";
    if (!mkdtemp(dir)) return "cannot make a temporary directory";
    std::string complaints;
    for (const fx::TechniqueInfo& t : r.techniques)
        for (const fx::PassInfo& p : t.passes)
            for (int stage = 0; stage < 2; ++stage) {
                const std::string path = std::string(dir) + (stage ? "/s.frag" : "/s.vert");
                // The fragment stage with its optional alpha test compiled in: the larger text.
                std::string text = stage ? p.fragmentGlsl : p.vertexGlsl;
                if (stage && text.find('\n') != std::string::npos)
                    text.insert(text.find('\n') + 1, "#define FX_ALPHA_TEST\n");
                std::ofstream(path) << text;
                const std::string command = "glslangValidator " + path + " 2>&1";
                FILE* pipe = popen(command.c_str(), "r");
                std::string out;
                char buf[512];
                while (pipe && std::fgets(buf, sizeof buf, pipe)) out += buf;
                if (!pipe || pclose(pipe) != 0)
                    complaints += out + "\n--- the shader ---\n" + text;
                std::remove(path.c_str());
            }
    rmdir(dir);
    return complaints;
}

std::string RowName(const char* id) {
    std::string n;
    for (const char* p = id; *p; ++p) n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return n;
}

class FxConformanceValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(FxConformanceValue, RendersTheExpectedValueAndItsGlslCompiles) {
    const ValueCase& c = GetParam();
    if (const char* why = fx_conformance::OpenReason(c.id)) GTEST_SKIP() << "open: " << why;
    Renderer& r = TheRenderer();
    ASSERT_NE(r.device, nullptr) << "no GL device (is an X server running?)";
    const std::string source = ValueEffect(c);
    const fx::CompileResult compiled = fx::Compile(source);
    ASSERT_TRUE(compiled.ok) << compiled.Messages() << "\n" << source;
    EXPECT_EQ(SecondFrontEnd(compiled), "");
    std::uint32_t pixel = 0;
    std::string messages;
    ASSERT_TRUE(r.Draw(source, pixel, messages)) << messages;
    const int blue = static_cast<int>(std::lround(((pixel & 0xFF) / 255.0 - 0.125) / 0.25));
    std::string matched;
    matched += ((pixel >> 16) & 0xFF) > 127 ? '1' : '0';
    matched += ((pixel >> 8) & 0xFF) > 127 ? '1' : '0';
    matched += (blue & 1) ? '1' : '0';
    matched += (blue & 2) ? '1' : '0';
    EXPECT_EQ(matched, "1111") << "components that matched the CPU's value, x to w\n"
                               << compiled.techniques[0].passes[0].fragmentGlsl;
}

INSTANTIATE_TEST_SUITE_P(Rows, FxConformanceValue, ::testing::ValuesIn(fx_conformance::ValueCases()),
                         [](const ::testing::TestParamInfo<ValueCase>& i) { return RowName(i.param.id); });

class FxConformanceRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(FxConformanceRefusal, IsRefusedAtTheExpectedLine) {
    const RefusalCase& c = GetParam();
    if (const char* why = fx_conformance::OpenReason(c.id)) GTEST_SKIP() << "open: " << why;
    std::string source = c.source;
    if (source.find("technique") == std::string::npos)
        source += "\ntechnique ConformanceT { pass P { PixelShader = compile ps_3_0 F(); } }\n";
    const fx::CompileResult r = fx::Compile(source);
    ASSERT_FALSE(r.ok) << source;
    int line = 0;
    for (const fx::Diagnostic& d : r.diagnostics)
        if (d.severity == fx::Severity::Error) {
            line = d.line;
            break;
        }
    EXPECT_EQ(line, c.line) << r.Messages();
}

INSTANTIATE_TEST_SUITE_P(Rows, FxConformanceRefusal, ::testing::ValuesIn(fx_conformance::RefusalCases()),
                         [](const ::testing::TestParamInfo<RefusalCase>& i) { return RowName(i.param.id); });

// docs/hlsl-coverage.md names every row of both tables, and every intrinsic of the compiler's
// table appears in some row's source.
TEST(FxConformanceCoverage, TheCoverageTableNamesEveryRowAndEveryIntrinsicIsExercised) {
    std::ifstream in(FX_COVERAGE_TABLE);
    ASSERT_TRUE(in) << FX_COVERAGE_TABLE;
    std::stringstream text;
    text << in.rdbuf();
    const std::string table = text.str();
    std::string sources;
    for (const ValueCase& c : fx_conformance::ValueCases()) {
        EXPECT_NE(table.find(std::string("`") + c.id + "`"), std::string::npos) << c.id;
        sources += c.source;
    }
    for (const RefusalCase& c : fx_conformance::RefusalCases()) {
        EXPECT_NE(table.find(std::string("`") + c.id + "`"), std::string::npos) << c.id;
        sources += c.source;
    }
    for (int i = 0; i < fx::kIntrinsicCount; ++i) {
        const std::string name = fx::IntrinsicName(i);
        if (name.rfind("tex", 0) == 0 || name == "noise") continue;  // the lookup and fill suites
        EXPECT_NE(sources.find(name + "("), std::string::npos) << name << " has no conformance row";
    }
}

}  // namespace
