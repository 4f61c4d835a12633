// tests/fx/fuzz/fx_fuzz.cpp: libFuzzer entry: any bytes as effect source must compile or fail
// cleanly, and a success must come with GLSL for every pass.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/gfx/fx/fx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    const platform::gfx::fx::CompileResult r = platform::gfx::fx::Compile(source);
    if (r.ok) {
        for (const auto& t : r.techniques)
            for (const auto& p : t.passes)
                if (p.vertexGlsl.empty() || p.fragmentGlsl.empty()) std::abort();
    } else if (r.diagnostics.empty()) {
        std::abort();  // a failure always says why
    }
    for (const auto& d : r.diagnostics)
        if (d.id == platform::gfx::fx::Diag::InternalError) std::abort();
    return 0;
}
