// benchmarks/fx/bench_fx.cpp: how long the compiler takes for the intro's effect (and the
// larger corpus effects), and what one 800 x 600 crystals pass costs on the GPU from the
// generated GLSL compared with the same algorithm written by hand in GLSL.
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/gfx/fx/effect.h"
#include "platform/gfx/fx/fx.h"
#include "platform/gfx/gl/gl_internal.h"
#include "platform/window/window.h"

namespace {

namespace fx = platform::gfx::fx;
namespace gfx = platform::gfx;
namespace win = platform::window;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// --- compile time ------------------------------------------------------------------------------

void BM_CompileEffect(benchmark::State& state, const std::string& path) {
    const std::string source = ReadFile(path);
    std::size_t glslBytes = 0;
    for (auto _ : state) {
        fx::CompileResult r = fx::Compile(source);
        benchmark::DoNotOptimize(r);
        glslBytes = 0;
        for (const auto& t : r.techniques)
            for (const auto& p : t.passes) glslBytes += p.vertexGlsl.size() + p.fragmentGlsl.size();
        if (!r.ok) state.SkipWithError("the effect does not compile");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
    state.counters["glsl_bytes"] = static_cast<double>(glslBytes);
}
BENCHMARK_CAPTURE(BM_CompileEffect, intro_crystals, std::string(FX_ASSETS_EFFECT))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CompileEffect, corpus_samples, std::string(FX_CORPUS_DIR) + "/samples.fx")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CompileEffect, corpus_lighting, std::string(FX_CORPUS_DIR) + "/lighting.fx")->Unit(benchmark::kMicrosecond);

// --- the flow analysis of hostile effects ---------------------------------------------------
//
// Loops nested "depth" deep, each holding a switch that pixels leave at a varying break, and
// call chains in which each function calls the next twice: the analysis walks more at each
// level, up to its step budget, after which the compile ends with a diagnostic. "compiled"
// says which of the two it was; the time is the cost either way.

std::string NestedLoops(int depth) {
    std::string s = "sampler2D s;\nfloat4 Main(float2 uv : TEXCOORD0) : COLOR0 { float4 c = 0;\n";
    for (int i = 0; i < depth; ++i) {
        const std::string v = "i" + std::to_string(i);
        s += "for (int " + v + " = 0; " + v + " < 2; " + v + "++) switch (" + v + ") { case 0: if (uv.x > 0.5) break; ";
    }
    s += "c += tex2D(s, uv); " + std::string(static_cast<std::size_t>(depth), '}');
    return s + "\nreturn c; }\ntechnique T { pass P { PixelShader = compile ps_3_0 Main(); } }\n";
}

std::string CallChain(int depth) {
    std::string s = "float F" + std::to_string(depth) + "(float2 uv) { if (uv.x > 0.5) return ddx(uv.x); return 0; }\n";
    for (int i = depth - 1; i >= 0; --i)
        s += "float F" + std::to_string(i) + "(float2 uv) { return F" + std::to_string(i + 1) + "(uv) + F" +
             std::to_string(i + 1) + "(uv.yx); }\n";
    return s + "float4 Main(float2 uv : TEXCOORD0) : COLOR0 { return F0(uv); }\n"
               "technique T { pass P { PixelShader = compile ps_3_0 Main(); } }\n";
}

void BM_HostileFlow(benchmark::State& state, std::string (*make)(int)) {
    const std::string source = make(static_cast<int>(state.range(0)));
    bool compiled = false;
    for (auto _ : state) {
        fx::CompileResult r = fx::Compile(source);
        compiled = r.ok;
        benchmark::DoNotOptimize(r);
    }
    state.counters["compiled"] = compiled ? 1 : 0;
}
BENCHMARK_CAPTURE(BM_HostileFlow, nested_loops, &NestedLoops)->Arg(4)->Arg(6)->Arg(8)->Arg(12)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostileFlow, call_chain, &CallChain)->Arg(8)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond);

// --- GPU time of one crystals pass ----------------------------------------------------------
//
// "generated": the effect as the intro uses it (only "time" set, so every other parameter is
// folded into the program as a constant); "generic": the same effect after a set call on every
// parameter (all uniforms). ratio_const (generated / hand-folded) and ratio (generic /
// hand-written with uniforms) compare each with the hand-written GLSL of the same kind.

// The crystals algorithm written by hand in GLSL, twice: reading the effect's parameters as
// uniforms (what the effect declares), and with every parameter but "time" folded into
// constants (what the driver can then unroll). Both keep the effect's own arithmetic, the
// multiply and divide by "resolution" included: in floating point that is not the identity,
// so no compiler may drop it, and a reference without it measures the effect, not the folding.
constexpr const char* kHandVertex = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 3) in vec2 texcoord;
out vec2 uv;
void main() {
    uv = texcoord;
    gl_Position = vec4(position.x, -position.y, 2.0 * position.z - 1.0, 1.0);
}
)";
constexpr const char* kHandUniformFragment = R"(#version 330 core
uniform sampler2D tex0;
uniform float time, PI, speed, speed_x, speed_y, intensity, frequency, delta, intence, emboss;
uniform int steps, angle;
uniform vec2 resolution;
in vec2 uv;
layout(location = 0) out vec4 colour;
float col(vec2 q) {
    float turn = 2.0 * PI / float(angle);
    float sum = 0.0;
    for (int i = 0; i < steps; i++) {
        float theta = turn * float(i);
        float ax = q.x + cos(theta) * time * speed + time * speed_x;
        float ay = q.y - (sin(theta) * time * speed - time * speed_y);
        sum += cos((ax * cos(theta) - ay * sin(theta)) * frequency) * intensity;
    }
    return cos(sum);
}
void main() {
    vec2 p = vec2(uv.x, 1.0 - uv.y) * resolution / resolution;
    float k = col(p);
    float dx = emboss * (k - col(vec2(p.x + resolution.x / delta, p.y))) / delta;
    float dy = emboss * (k - col(vec2(p.x, p.y + resolution.y / delta))) / delta;
    colour = texture(tex0, vec2(p.x + dx, -(p.y + dy))) * (1.0 + dx * dy * intence);
}
)";
constexpr const char* kHandConstantFragment = R"(#version 330 core
uniform sampler2D tex0;
uniform float time;
in vec2 uv;
layout(location = 0) out vec4 colour;
float col(vec2 q) {
    const float turn = 6.28318530718 / 8.0;
    float sum = 0.0;
    for (int i = 0; i < 3; i++) {
        float theta = turn * float(i);
        float ax = q.x + cos(theta) * time * 0.1 + time * 0.2;
        float ay = q.y - (sin(theta) * time * 0.1 - time * 0.4);
        sum += cos((ax * cos(theta) - ay * sin(theta)) * 6.0) * 3.0;
    }
    return cos(sum);
}
void main() {
    vec2 p = vec2(uv.x, 1.0 - uv.y) * vec2(933.0, 511.0) / vec2(933.0, 511.0);
    float k = col(p);
    float dx = 0.4 * (k - col(vec2(p.x + 933.0 / 30.0, p.y))) / 30.0;
    float dy = 0.4 * (k - col(vec2(p.x, p.y + 511.0 / 30.0))) / 30.0;
    colour = texture(tex0, vec2(p.x + dx, -(p.y + dy))) * (1.0 + dx * dy * 300.0);
}
)";

win::LResult Proc(win::WindowHandle w, std::uint32_t m, win::WParam wp, win::LParam lp) {
    return win::DefWindowProc(w, m, wp, lp);
}

// Draws "passes" crystals passes from the generated and the hand-written program alternately
// into an 800 x 600 target and reports the time of each (glFinish-bracketed), and their ratio.
void BM_CrystalsPass800x600(benchmark::State& state) {
    constexpr int kW = 800, kH = 600;
    win::ClassDesc c;
    c.name = "FxBenchClass";
    c.proc = Proc;
    win::RegisterClass(c);
    win::WindowDesc d;
    d.className = "FxBenchClass";
    d.title = "fx bench";
    d.style = win::WS_POPUP | win::WS_VISIBLE;
    d.width = 64;
    d.height = 64;
    const win::WindowHandle window = win::CreateWindow(d);
    gfx::IDirect3D9* d3d = gfx::Direct3DCreate9(gfx::D3D_SDK_VERSION);
    gfx::D3DPRESENT_PARAMETERS p;
    p.BackBufferFormat = gfx::D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.hDeviceWindow = window;
    p.Windowed = 1;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = gfx::D3DFMT_D16;
    gfx::IDirect3DDevice9* device = nullptr;
    if (!window || !d3d ||
        gfx::Failed(d3d->CreateDevice(0, gfx::D3DDEVTYPE_HAL, window, gfx::D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device))) {
        state.SkipWithError("no GL device (run under an X server)");
        return;
    }
    const std::string source = ReadFile(FX_ASSETS_EFFECT);
    gfx::ID3DXEffect* effect = nullptr;
    gfx::D3DXCreateEffect(device, source.data(), static_cast<gfx::UINT>(source.size()), nullptr, nullptr, 0, nullptr, &effect, nullptr);
    gfx::ID3DXEffect* generic = nullptr;
    gfx::D3DXCreateEffect(device, source.data(), static_cast<gfx::UINT>(source.size()), nullptr, nullptr, 0, nullptr, &generic, nullptr);
    if (generic) {
        for (const fx::ParameterInfo& param : generic->Reflection().parameters) {
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(param.sizeBytes));
            if (bytes.empty()) continue;
            generic->GetValue(param.name.c_str(), bytes.data(), static_cast<gfx::UINT>(bytes.size()));
            generic->SetValue(param.name.c_str(), bytes.data(), static_cast<gfx::UINT>(bytes.size()));
        }
    }
    std::vector<char> log;
    const GLuint handUniform = gfx::gl::BuildProgram(kHandVertex, kHandUniformFragment, &log);
    const GLuint handConstant = gfx::gl::BuildProgram(kHandVertex, kHandConstantFragment, &log);
    if (!effect || !generic || !handUniform || !handConstant) {
        state.SkipWithError("effect or hand-written program failed to build");
        return;
    }
    gfx::IDirect3DTexture9 *source800 = nullptr, *target = nullptr;
    device->CreateTexture(kW, kH, 1, 0, gfx::D3DFMT_X8R8G8B8, gfx::D3DPOOL_MANAGED, &source800, nullptr);
    gfx::D3DXCreateTexture(device, kW, kH, 1, gfx::D3DUSAGE_RENDERTARGET, gfx::D3DFMT_X8R8G8B8, gfx::D3DPOOL_DEFAULT, &target);
    gfx::IDirect3DSurface9* surface = nullptr;
    target->GetSurfaceLevel(0, &surface);
    gfx::ID3DXRenderToSurface* rts = nullptr;
    gfx::D3DXCreateRenderToSurface(device, kW, kH, gfx::D3DFMT_X8R8G8B8, 1, gfx::D3DFMT_D16, &rts);
    static const float kQuad[20] = {-1, 1, 0, 0, 0, 1, 1, 0, 1, 0, -1, -1, 0, 0, 1, 1, -1, 0, 1, 1};
    gfx::IDirect3DVertexBuffer9* vb = nullptr;
    device->CreateVertexBuffer(80, 0, gfx::D3DFVF_XYZ | gfx::D3DFVF_TEX1, gfx::D3DPOOL_MANAGED, &vb, nullptr);
    void* data = nullptr;
    vb->Lock(0, 80, &data, 0);
    std::memcpy(data, kQuad, 80);
    vb->Unlock();
    // The effect's initial values, as the effect object uploads them.
    glUseProgram(handUniform);
    const struct { const char* name; float value; } floats[] = {
        {"PI", 3.14159265f}, {"speed", 0.1f}, {"speed_x", 0.2f}, {"speed_y", 0.4f},
        {"intensity", 3}, {"frequency", 6}, {"delta", 30}, {"intence", 300}, {"emboss", 0.4f}};
    for (const auto& f : floats) glUniform1f(glGetUniformLocation(handUniform, f.name), f.value);
    glUniform1i(glGetUniformLocation(handUniform, "steps"), 3);
    glUniform1i(glGetUniformLocation(handUniform, "angle"), 8);
    glUniform2f(glGetUniformLocation(handUniform, "resolution"), 933.0f, 511.0f);
    glUniform1i(glGetUniformLocation(handUniform, "tex0"), 0);
    glUseProgram(handConstant);
    glUniform1i(glGetUniformLocation(handConstant, "tex0"), 0);
    const GLint timeUniform = glGetUniformLocation(handUniform, "time");
    const GLint timeConstant = glGetUniformLocation(handConstant, "time");
    gfx::gl::InvalidateGlState(device);

    const int kPasses = 4;
    // Wall-clock seconds, and CPU seconds of the whole process (the rasteriser's threads are
    // the GPU here): the second is the work done, which a busy machine hardly changes.
    double generatedSeconds = 0, genericSeconds = 0, uniformSeconds = 0, constantSeconds = 0;
    double generatedCpu = 0, genericCpu = 0, uniformCpu = 0, constantCpu = 0;
    auto cpuNow = []() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
    };
    float time = 0;
    auto draw = [&]() {
        device->SetStreamSource(0, vb, 0, 20);
        device->SetFVF(gfx::D3DFVF_XYZ | gfx::D3DFVF_TEX1);
        device->DrawPrimitive(gfx::D3DPT_TRIANGLESTRIP, 0, 2);
    };
    auto drawEffect = [&](gfx::ID3DXEffect* e) {
        for (int i = 0; i < kPasses; ++i) {
            e->SetFloat("time", time);
            e->SetTexture("texture0", source800);
            gfx::UINT passes = 0;
            e->Begin(&passes, 0);
            e->BeginPass(0);
            draw();
            e->EndPass();
            e->End();
        }
        glFinish();
    };
    auto drawHand = [&](GLuint program, GLint timeLocation) {
        for (int i = 0; i < kPasses; ++i) {
            gfx::gl::BindSampler(device, 0, source800);
            glUseProgram(program);
            glUniform1f(timeLocation, time);
            gfx::gl::InvalidateGlState(device);
            gfx::gl::SetProgramOverride(device, program);
            draw();
            gfx::gl::SetProgramOverride(device, 0);
        }
        glFinish();
    };
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double>(b - a).count();
    };
    gfx::D3DVIEWPORT9 vp{0, 0, kW, kH, 0.0f, 1.0f};
    for (auto _ : state) {
        time += 0.016f;
        rts->BeginScene(surface, &vp);
        glFinish();
        const auto t0 = Clock::now();
        const double c0 = cpuNow();
        drawEffect(effect);
        const auto t1 = Clock::now();
        const double c1 = cpuNow();
        drawHand(handUniform, timeUniform);
        const auto t2 = Clock::now();
        const double c2 = cpuNow();
        drawHand(handConstant, timeConstant);
        const auto t3 = Clock::now();
        const double c3 = cpuNow();
        drawEffect(generic);
        const auto t4 = Clock::now();
        const double c4 = cpuNow();
        generatedCpu += c1 - c0;
        uniformCpu += c2 - c1;
        constantCpu += c3 - c2;
        genericCpu += c4 - c3;
        rts->EndScene(0);
        generatedSeconds += seconds(t0, t1);
        uniformSeconds += seconds(t1, t2);
        constantSeconds += seconds(t2, t3);
        genericSeconds += seconds(t3, t4);
    }
    const double n = static_cast<double>(state.iterations()) * kPasses;
    state.counters["generated_ms"] = generatedSeconds / n * 1e3;
    state.counters["generic_ms"] = genericSeconds / n * 1e3;
    state.counters["hand_uniform_ms"] = uniformSeconds / n * 1e3;
    state.counters["hand_const_ms"] = constantSeconds / n * 1e3;
    state.counters["ratio"] = uniformSeconds > 0 ? genericSeconds / uniformSeconds : 0;
    state.counters["ratio_const"] = constantSeconds > 0 ? generatedSeconds / constantSeconds : 0;
    state.counters["cpu_ratio"] = uniformCpu > 0 ? genericCpu / uniformCpu : 0;
    state.counters["cpu_ratio_const"] = constantCpu > 0 ? generatedCpu / constantCpu : 0;
    state.counters["generated_cpu_ms"] = generatedCpu / n * 1e3;
    state.counters["hand_const_cpu_ms"] = constantCpu / n * 1e3;
    state.counters["generic_cpu_ms"] = genericCpu / n * 1e3;
    device->SetStreamSource(0, nullptr, 0, 0);
    vb->Release();
    rts->Release();
    surface->Release();
    target->Release();
    source800->Release();
    glDeleteProgram(handUniform);
    glDeleteProgram(handConstant);
    effect->Release();
    generic->Release();
    device->Release();
    d3d->Release();
    win::DestroyWindow(window);
}
BENCHMARK(BM_CrystalsPass800x600)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
