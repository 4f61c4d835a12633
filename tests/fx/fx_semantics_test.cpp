// tests/fx/fx_semantics_test.cpp: HLSL meaning of expressions in the generated GLSL, checked on
// the GL context: each row's pixel shader compares its value with the expected one in float
// precision and writes white per matching component.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gfx/fx/effect.h"
#include "platform/gfx/gfx.h"
#include "platform/gfx/gl/gl_internal.h"
#include "platform/window/window.h"

namespace {

namespace gfx = platform::gfx;
namespace win = platform::window;

win::LResult Proc(win::WindowHandle w, std::uint32_t m, win::WParam wp, win::LParam lp) {
    return win::DefWindowProc(w, m, wp, lp);
}

class FxSemantics : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        win::ClassDesc c;
        c.name = "FxSemanticsClass";
        c.proc = Proc;
        win::RegisterClass(c);
        win::WindowDesc d;
        d.className = "FxSemanticsClass";
        d.title = "fx semantics";
        d.style = win::WS_POPUP | win::WS_VISIBLE;
        d.width = 8;
        d.height = 8;
        window_ = win::CreateWindow(d);
        d3d_ = gfx::Direct3DCreate9(gfx::D3D_SDK_VERSION);
        gfx::D3DPRESENT_PARAMETERS p;
        p.BackBufferFormat = gfx::D3DFMT_X8R8G8B8;
        p.BackBufferCount = 1;
        p.hDeviceWindow = window_;
        p.Windowed = 1;
        p.EnableAutoDepthStencil = 1;
        p.AutoDepthStencilFormat = gfx::D3DFMT_D16;
        if (window_ && d3d_)
            d3d_->CreateDevice(0, gfx::D3DDEVTYPE_HAL, window_, gfx::D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device_);
        if (!device_) return;
        gfx::D3DXCreateTexture(device_, 4, 4, 1, gfx::D3DUSAGE_RENDERTARGET, gfx::D3DFMT_X8R8G8B8,
                               gfx::D3DPOOL_DEFAULT, &target_);
        target_->GetSurfaceLevel(0, &surface_);
        gfx::D3DXCreateRenderToSurface(device_, 4, 4, gfx::D3DFMT_X8R8G8B8, 1, gfx::D3DFMT_D16, &rts_);
        static const float kQuad[20] = {-1, 1, 0, 0, 0, 1, 1, 0, 1, 0, -1, -1, 0, 0, 1, 1, -1, 0, 1, 1};
        device_->CreateVertexBuffer(80, 0, gfx::D3DFVF_XYZ | gfx::D3DFVF_TEX1, gfx::D3DPOOL_MANAGED, &vb_, nullptr);
        void* data = nullptr;
        vb_->Lock(0, 80, &data, 0);
        std::memcpy(data, kQuad, 80);
        vb_->Unlock();
    }
    static void TearDownTestSuite() {
        if (vb_) vb_->Release();
        if (rts_) rts_->Release();
        if (surface_) surface_->Release();
        if (target_) target_->Release();
        if (device_) device_->Release();
        if (d3d_) d3d_->Release();
        if (window_) win::DestroyWindow(window_);
        vb_ = nullptr;
        rts_ = nullptr;
        surface_ = nullptr;
        target_ = nullptr;
        device_ = nullptr;
        d3d_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(device_, nullptr) << "no GL device (is an X server running?)"; }

    // Compiles "globals" and a pixel shader that computes "float4 v" with "body" and compares
    // it with "expected"; returns which of the four components matched ("1111" for all), or
    // the compiler's messages. "psParams" are the pixel shader's parameters; with
    // "vertexShader" the pass also compiles the globals' VS().
    static std::string Evaluate(const std::string& globals, const std::string& body, const std::string& expected) {
        return Run(globals, body, expected, "", false);
    }

    // A vertex shader whose outputs are arrays with semantics: tc[k] = (k + 1, 10 (k + 1)) at
    // TEXCOORD1..3, extra = {4, (5, 6, 7, 8)} at TEXCOORD5..6, through a struct and an out
    // parameter; the pixel shader takes them as arrays.
    static std::string EvaluateAcrossStages(const std::string& globals, const std::string& body,
                                            const std::string& expected) {
        static const std::string kVertex =
            "struct VOut { float4 p : POSITION; float2 tc[3] : TEXCOORD1; };\n"
            "VOut VS(float4 p : POSITION, out float4 extra[2] : TEXCOORD5) {\n"
            "    VOut o; o.p = p; for (int k = 0; k < 3; k++) o.tc[k] = float2(k + 1, 10 * (k + 1));\n"
            "    extra[0] = 4; extra[1] = float4(5, 6, 7, 8); return o; }\n";
        return Run(kVertex + globals, body, expected, "float2 tc[3] : TEXCOORD1, float4 extra[2] : TEXCOORD5", true);
    }

    static std::string Run(const std::string& globals, const std::string& body, const std::string& expected,
                           const std::string& psParams, bool vertexShader) {
        const std::string source = globals +
                                   "\nfloat4 PS(" + psParams + ") : COLOR\n{\n" + body +
                                   "\n    float4 expect = " + expected +
                                   ";\n    return float4(abs(v - expect) <= 0.0005 * max(1, abs(expect)));\n}\n"
                                   "technique T { pass P { " +
                                   (vertexShader ? "VertexShader = compile vs_3_0 VS(); " : "") +
                                   "PixelShader = compile ps_3_0 PS(); } }\n";
        gfx::ID3DXEffect* e = nullptr;
        gfx::ID3DXBuffer* errors = nullptr;
        const gfx::HRESULT hr = gfx::D3DXCreateEffect(device_, source.data(), static_cast<gfx::UINT>(source.size()),
                                                      nullptr, nullptr, 0, nullptr, &e, &errors);
        std::string messages;
        if (errors) {
            messages = static_cast<const char*>(errors->GetBufferPointer());
            errors->Release();
        }
        if (gfx::Failed(hr)) return "compile failed: " + messages;
        gfx::D3DVIEWPORT9 vp{0, 0, 4, 4, 0.0f, 1.0f};
        rts_->BeginScene(surface_, &vp);
        device_->Clear(0, nullptr, gfx::D3DCLEAR_TARGET, 0, 1.0f, 0);
        gfx::UINT passes = 0;
        e->Begin(&passes, 0);
        e->BeginPass(0);
        device_->SetStreamSource(0, vb_, 0, 20);
        device_->SetFVF(gfx::D3DFVF_XYZ | gfx::D3DFVF_TEX1);
        device_->DrawPrimitive(gfx::D3DPT_TRIANGLESTRIP, 0, 2);
        e->EndPass();
        e->End();
        device_->SetStreamSource(0, nullptr, 0, 0);  // the device holds the stream's buffer
        rts_->EndScene(0);
        std::uint32_t pixel = 0;
        gfx::RECT one{1, 1, 2, 2};
        gfx::gl::ToGL(surface_)->ReadPixels(one, &pixel);
        e->Release();
        // Alpha is not stored (X8R8G8B8): the fourth component is checked through blue.
        std::string out;
        out += ((pixel >> 16) & 0xFF) > 127 ? '1' : '0';
        out += ((pixel >> 8) & 0xFF) > 127 ? '1' : '0';
        out += (pixel & 0xFF) > 127 ? '1' : '0';
        return out;
    }

    static inline win::WindowHandle window_{};
    static inline gfx::IDirect3D9* d3d_ = nullptr;
    static inline gfx::IDirect3DDevice9* device_ = nullptr;
    static inline gfx::IDirect3DTexture9* target_ = nullptr;
    static inline gfx::IDirect3DSurface9* surface_ = nullptr;
    static inline gfx::ID3DXRenderToSurface* rts_ = nullptr;
    static inline gfx::IDirect3DVertexBuffer9* vb_ = nullptr;
};

struct Row {
    const char* globals;
    const char* body;      // must define "float4 v"
    const char* expected;  // a float4 expression
};

// Runs each row twice: once as given (checking x, y, z) and once with the vector rotated so
// that w is checked too.
void RunRows(const std::vector<Row>& rows, std::string (*evaluate)(const std::string&, const std::string&, const std::string&)) {
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.globals) + " | " + r.body);
        EXPECT_EQ(evaluate(r.globals, r.body, r.expected), "111");
        EXPECT_EQ(evaluate(r.globals, std::string(r.body) + " v = v.wxyz;",
                           std::string("(") + r.expected + ").wxyz"),
                  "111");
    }
}

TEST_F(FxSemantics, IntrinsicsKeepTheirDirect3DMeaning) {
    RunRows({
        {"", "float4 v = fmod(float4(5.5, -5.5, 5.5, -5.5), float4(2, 2, -2, -2));", "float4(1.5, -1.5, 1.5, -1.5)"},
        {"", "float4 v = frac(float4(1.25, -1.25, 0, 3));", "float4(0.25, 0.75, 0, 0)"},
        {"", "float4 v = lerp(float4(0, 10, -2, 4), float4(1, 20, 2, 8), 0.25);", "float4(0.25, 12.5, -1, 5)"},
        {"", "float4 v = saturate(float4(-1, 0.5, 2, 1));", "float4(0, 0.5, 1, 1)"},
        {"", "float4 v = step(float4(0.5, 0.5, 1, 2), float4(0.4, 0.5, 2, 1));", "float4(0, 1, 1, 0)"},
        {"", "float4 v = sign(float4(-3, 0, 2, -0.5));", "float4(-1, 0, 1, -1)"},
        {"", "float4 v = float4(round(2.4), trunc(-2.7), ceil(-2.7), floor(-2.2));", "float4(2, -2, -2, -3)"},
        {"", "float4 v = float4(rsqrt(4), log10(1000), log2(8), exp2(3));", "float4(0.5, 3, 3, 8)"},
        {"", "float4 v = float4(ldexp(3, 2), atan2(1, 1), pow(2, 10), sqrt(9));", "float4(12, 0.785398, 1024, 3)"},
        {"", "float4 v = float4(dot(float3(1, 2, 3), float3(4, 5, 6)), length(float2(3, 4)), distance(float2(1, 1), float2(4, 5)), 0);",
         "float4(32, 5, 5, 0)"},
        {"", "float4 v = float4(cross(float3(1, 0, 0), float3(0, 1, 0)), 1);", "float4(0, 0, 1, 1)"},
        {"", "float4 v = float4(normalize(float3(0, 3, 4)), 1);", "float4(0, 0.6, 0.8, 1)"},
        {"", "float4 v = float4(reflect(float2(1, -1), float2(0, 1)), 0, 0);", "float4(1, 1, 0, 0)"},
        {"", "int a = -7; int b = 2; float4 v = float4(min(a, b), max(a, b), clamp(a, -3, 3), abs(a));", "float4(-7, 2, -3, 7)"},
        {"", "float s, c; sincos(0.5, s, c); float ip; float f = modf(2.75, ip); float4 v = float4(s, c, f, ip);",
         "float4(0.479426, 0.877583, 0.75, 2)"},
        {"", "float4 v = lit(0.5, 0.25, 2);", "float4(1, 0.5, 0.0625, 1)"},
        {"", "float4 v = lit(-0.5, 0.25, 2);", "float4(1, 0, 0, 1)"},
        {"", "float4 v = float4(any(float3(0, 0, 1)), all(float3(1, 0, 1)), any(0), all(2));", "float4(1, 0, 0, 1)"},
        {"", "float4 v = D3DCOLORtoUBYTE4(float4(1, 0.5, 0, 1));", "float4(0, 127, 255, 255)"},
        {"", "float4 v = float4(determinant(float2x2(2, 1, 1, 3)), degrees(3.14159265), radians(180), smoothstep(0, 2, 1));",
         "float4(5, 180, 3.14159265, 0.5)"},
        {"", "float4 v = float4(isnan(float2(0, 1)), isfinite(1), isinf(2));", "float4(0, 0, 1, 0)"},
    }, &Evaluate);
}

TEST_F(FxSemantics, MatricesMultiplyAsRowVectorsAndIndexByRows) {
    RunRows({
        // M's rows are (1,2), (3,4).
        {"", "float2x2 M = {1, 2, 3, 4}; float4 v = float4(mul(float2(1, 1), M), mul(M, float2(1, 1)));", "float4(4, 6, 3, 7)"},
        {"", "float2x2 M = {1, 2, 3, 4}; float4 v = float4(M[1], M._m01, M._21);", "float4(3, 4, 2, 3)"},
        {"", "float2x2 A = {1, 2, 3, 4}; float2x2 B = {0, 1, 1, 0}; float2x2 C = mul(A, B); float4 v = float4(C[0], C[1]);",
         "float4(2, 1, 4, 3)"},
        {"", "float2x2 A = {1, 2, 3, 4}; float2x2 C = A * A; float4 v = float4(C[0], C[1]);", "float4(1, 4, 9, 16)"},
        {"", "float2x2 A = {1, 2, 3, 4}; float2x2 T = transpose(A); float4 v = float4(T[0], T[1]);", "float4(1, 3, 2, 4)"},
        {"", "float3x2 A = {1, 2, 3, 4, 5, 6}; float4 v = float4(mul(float3(1, 0, 1), A), mul(A, float2(1, 1)).xy);",
         "float4(6, 8, 3, 7)"},
        {"", "float4x4 A = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}; float3x3 B = (float3x3)A; float4 v = float4(B[2], B._m12);",
         "float4(9, 10, 11, 7)"},
        {"", "float2x2 A = 2; float4 v = float4(A[0], A[1]);", "float4(2, 2, 2, 2)"},
        {"", "float4 v = mul(2, float4(1, 2, 3, 4));", "float4(2, 4, 6, 8)"},
        {"", "float4 v = mul(float4(1, 2, 3, 4), float4(1, 1, 1, 1)).xxxx;", "float4(10, 10, 10, 10)"},
        {"float4x4 G = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};",
         "float4 v = mul(float4(1, 1, 1, 1), G);", "float4(6, 7, 8, 1)"},
    }, &Evaluate);
}

TEST_F(FxSemantics, ConversionsOperatorsAndStatements) {
    RunRows({
        {"", "float4 v = float4(7 / 2, -7 / 2, 7 % 3, 7.0 / 2);", "float4(3, -3, 1, 3.5)"},
        {"", "float4 v = float4(5.5 % 2, -5.5 % 2, (int)2.9, (int)-2.9);", "float4(1.5, -1.5, 2, -2)"},
        // Bit operations need shader model 4 in shader code; a static initialiser folds them.
        {"static const int i = 6; static const float4 bits = float4(i & 3, i | 1, i ^ 5, (i << 2) + (i >> 1));",
         "float4 v = bits;", "float4(2, 7, 3, 27)"},
        {"", "float3 a = float4(1, 2, 3, 4); float b = float3(5, 6, 7); float4 v = float4(a, b);", "float4(1, 2, 3, 5)"},
        {"", "float x = 2; float4 v = x.xxxx * float4(1, 2, 3, 4) + x.x;", "float4(4, 6, 8, 10)"},
        {"", "bool4 m = float4(1, -1, 0, 2) > 0; float4 v = m ? float4(1, 2, 3, 4) : float4(5, 6, 7, 8);", "float4(1, 6, 7, 4)"},
        {"", "float4 a = float4(1, 2, 3, 4); float4 v = float4(a == 2) + (a != 3) * 10 + (a >= 2 && a <= 3) * 100;",
         "float4(10, 111, 100, 10)"},
        {"", "float4 v = 1; v.yz = float2(5, 6); v.w += 2; v.x *= 3; v.y++; --v.z;", "float4(3, 6, 5, 3)"},
        {"", "float4 v = float4(true + true, !0, -true, (bool)0.5);", "float4(2, 1, -1, 1)"},
        {"", "float a[3] = {1, 2, 3}; int i = 2; float4 v = float4(a[0], a[i], a[1] * a[2], 0);", "float4(1, 3, 6, 0)"},
        {"struct S { float2 a; float b; };", "S s = {1, 2, 3}; S z = (S)0; float4 v = float4(s.a, s.b, z.b);", "float4(1, 2, 3, 0)"},
        {"static float4 g = float4(1, 2, 3, 4) * 2; static int counter;", "counter += 5; float4 v = g + counter;",
         "float4(7, 9, 11, 13)"},
        {"float Scale = 3; float2 Pair = {4, 5};", "float4 v = float4(Scale, Pair, Scale * Pair.y);", "float4(3, 4, 5, 15)"},
        {"", "float4 v = 0; int n = 0; while (n < 5) { n++; if (n == 2) continue; v.x += n; } do { v.y += 1; } while (v.y < 3); "
             "for (int k = 0, m = 10; k < m; k += 3) v.z += k;",
         "float4(13, 3, 18, 0)"},
        {"float Twice(float x) { return x * 2; }\nfloat2 Twice(float2 x) { return x * 3; }\nvoid Bump(inout float x, out float y) { x += 1; y = 7; }",
         "float a = 1; float b; Bump(a, b); float4 v = float4(Twice(a), Twice(float2(1, 2)), b);", "float4(4, 3, 6, 7)"},
        {"float Add(float a, float b = 10) { return a + b; }", "float4 v = float4(Add(1), Add(1, 2), Add(true), 0);", "float4(11, 3, 11, 0)"},
        {"#define CUBE(x) ((x) * (x) * (x))", "float4 v = float4(CUBE(2), CUBE(1 + 1), 0, 0x10);", "float4(8, 8, 0, 16)"},
        {"", "float2 t = float2(3, 4); float4 v = float4(t, t).wzyx;", "float4(4, 3, 4, 3)"},
        {"", "float4 c = float4(0.25, 0.5, 0.75, 1); float4 v = c.bgra + c.rrrr;", "float4(1, 0.75, 0.5, 1.25)"},
    }, &Evaluate);
}



// HLSL evaluates every operand of && || and ?: (side effects included), divides integers
// truncating toward zero, assigns to several matrix elements at once and has dst().
TEST_F(FxSemantics, EveryOperandIsEvaluatedAndIntegersDivideTowardZero) {
    RunRows({
        {"", "int n = 0; bool t = true; bool f = false; bool a = f && (++n > 0); bool b = t || (n++ > 0);"
             " float x = 0; float y = t ? (x += 1) : (x += 10); float4 v = float4(n, x, y, a || !b);",
         "float4(2, 11, 1, 0)"},
        {"bool Touch(inout float c) { c += 1; return true; }\nfloat Twice(out float c) { c = 2; return 3; }",
         "float c = 0; float d = 0; bool r = false && Touch(c); float s = c > 5 ? 1 : Twice(d);"
         " float4 v = float4(c, r, s, d);",
         "float4(1, 0, 3, 2)"},
        {"", "int a = -7; int b = 2; int c = 7; int d = -2; float4 v = float4(a / b, a % b, c % d, a % -3);",
         "float4(-3, -1, 1, -1)"},
        {"", "int2 p = int2(-7, 7); int2 q = int2(3, -3); float4 v = float4(p / q, p % q);", "float4(-2, -2, -1, 1)"},
        {"", "float4x4 m = 0; m._11_22 = float2(1, 2); m._m30_m03 = float2(3, 4); m._12_21 += 5;"
             " float4 v = float4(m._11, m._22, m[3][0] + 10 * m[0][3], m._12 + m._21);",
         "float4(1, 2, 43, 10)"},
        {"", "float4 v = dst(float4(9, 2, 3, 4), float4(5, 6, 7, 8));", "float4(1, 12, 3, 8)"},
        {"", "float4 v = float4(faceforward(float2(1, 2), float2(1, 0), float2(-1, 0)),"
             " faceforward(float2(1, 2), float2(1, 0), float2(0, 1)));",
         "float4(1, 2, -1, -2)"},  // a zero dot product gives -n, as Direct3D's compiler does
    }, &Evaluate);
}

// --- Direct3D 9 constructs of the era, checked against a CPU evaluation ------------------------

// The matrix the rows below declare as "M": rows (1, 2, 3, 4), (5, 6, 7, 8), ...
constexpr const char* kMatrixM = "float4x4 M = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};";
float M(int r, int c) { return static_cast<float>(1 + r * 4 + c); }

std::string Float4(const float v[4]) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "float4(%.9g, %.9g, %.9g, %.9g)", v[0], v[1], v[2], v[3]);
    return buf;
}

// mul(row vector "x" of "n" components, M): the matrix's first n rows.
std::string RowTimesM(const float* x, int n) {
    float r[4] = {};
    for (int c = 0; c < 4; ++c)
        for (int k = 0; k < n; ++k) r[c] += x[k] * M(k, c);
    return Float4(r);
}

// mul(M, column vector "x" of "n" components): the matrix's first n columns.
std::string MTimesColumn(const float* x, int n) {
    float r[4] = {};
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < n; ++k) r[row] += M(row, k) * x[k];
    return Float4(r);
}


TEST_F(FxSemantics, TruncatingMulAndDotMatchTheCpu) {
    const float x[3] = {1, -1, 2};
    // mul(float2x4 A, float3x3 B): A's first three columns times B (both cut from M).
    float c[2][3] = {};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) c[i][j] += M(i, k) * M(k, j);
    const float product[4] = {c[0][0], c[0][1], c[1][1], c[1][2]};
    const std::string rowTimesM = RowTimesM(x, 3), mTimesColumn = MTimesColumn(x, 3);
    const std::string productText = Float4(product);
    RunRows({
        {kMatrixM, "float4 v = mul(float3(1, -1, 2), M);", rowTimesM.c_str()},
        {kMatrixM, "float4 v = mul(M, float3(1, -1, 2));", mTimesColumn.c_str()},
        {kMatrixM, "float3x4 N = (float3x4)M; float4 v = mul(float4(1, -1, 2, 100), N);", rowTimesM.c_str()},
        {kMatrixM, "float4x3 N = (float4x3)M; float4 v = mul(N, float4(1, -1, 2, 100));", mTimesColumn.c_str()},
        {kMatrixM, "float2x4 A = (float2x4)M; float3x3 B = (float3x3)M; float2x3 C = mul(A, B); float4 v = float4(C[0].xy, C[1].yz);",
         productText.c_str()},
        {"", "float4 v = float4(dot(float4(1, 2, 3, 4), float3(1, 1, 1)), dot(float2(2, 3), float4(1, 1, 9, 9)), 0, 1);",
         "float4(6, 5, 0, 1)"},
    }, &Evaluate);
}

TEST_F(FxSemantics, LegacyScopingConstructorTargetsAndParameterWrites) {
    RunRows({
        // A loop's variable outlives the loop; a later loop may declare it again.
        {"", "float4 v = 0; for (int i = 0; i < 3; i++) v.x += i; v.y = i; for (i = 5; i < 7; i++) v.z += i; "
             "for (int i = 1; i < 3; i++) v.w += i * 10;",
         "float4(3, 3, 11, 30)"},
        // A constructor as a target takes the value's components in order.
        {"", "float2 a, b; float4(a, b) = float4(1, 2, 3, 4) * 2; float c; float3(c, a) = float3(7, 8, 9); "
             "float4 v = float4(a, b.y, c);",
         "float4(8, 9, 8, 7)"},
        {"", "float2 a = 1, b = 2; float4(a, b) += float4(1, 2, 3, 4); float4 v = float4(a, b);", "float4(2, 3, 5, 6)"},
        // A shader may write a parameter; the write lasts for the invocation.
        {"float G = 2; float4 H[2] = {1, 2, 3, 4, 5, 6, 7, 8}; void Bump(inout float x) { x += 1; }",
         "G *= 3; Bump(G); H[1].x = 50; float4 v = float4(G, H[1].x, H[1].y, H[0].w);", "float4(7, 50, 6, 4)"},
        // A vector and a 2x2 matrix cast into each other in row order.
        {"", "float2x2 m = (float2x2)float4(1, 2, 3, 4); float4 v = float4(m[1], ((float4)m).xy);", "float4(3, 4, 1, 2)"},
        // half is float; sizes are constant expressions.
        {"", "half4 h = half4(1.5h, 2, 3, 4); half2x2 m = {1, 2, 3, 4}; float4 v = h * (half)2 + float4(m[1], m._m00, 0);",
         "float4(6, 8, 7, 8)"},
        {"static const int N = 3;\n#define K 2\n", "float a[N * K - 1] = {1, 2, 3, 4, 5}; float b[] = {1, 2, 3}; float4 v = float4(a[4], b[2], N, 0);",
         "float4(5, 3, 3, 0)"},
    }, &Evaluate);
}

TEST_F(FxSemantics, ArraysWithSemanticsCrossTheStageBoundary) {
    RunRows({
        {"", "float4 v = float4(tc[0].x, tc[1].y, tc[2].x + tc[2].y, 0);", "float4(1, 20, 33, 0)"},
        {"", "float4 v = extra[1] + extra[0].x * float4(0, 0, 0, 10);", "float4(5, 6, 7, 48)"},
    }, &EvaluateAcrossStages);
}

}  // namespace
