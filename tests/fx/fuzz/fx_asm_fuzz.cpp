// tests/fx/fuzz/fx_asm_fuzz.cpp: libFuzzer entry for shader assembly: any bytes, as a vertex and
// as a pixel program, must parse or fail with a diagnostic, and a parsed program must become
// GLSL without crashing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/gfx/fx/asm/asm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace as = platform::gfx::fx::assembly;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (int stage = 0; stage < 2; ++stage) {
        as::Program p;
        std::vector<platform::gfx::fx::Diagnostic> d;
        if (!as::Parse(text, 1, 1, stage == 0, p, d)) {
            if (d.empty()) std::abort();  // a failure always says why
            continue;
        }
        as::GlslHooks hooks;
        hooks.attribute = [](const std::string& s) { return "fx_a_" + s; };
        hooks.varying = [](const std::string& s) { return "fx_v_" + s; };
        hooks.input = [](const std::string& s) { return "fx_v_" + s; };
        const as::GlslStage g = as::ToGlsl(p, hooks);
        if (g.body.empty()) std::abort();
    }
    return 0;
}
