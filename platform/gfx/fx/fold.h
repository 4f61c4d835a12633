// platform/gfx/fx/fold.h: a pass's generated GLSL with chosen parameters made constants.
//
// A parameter the program never sets keeps its initial value for the effect's whole life. As
// a uniform it is opaque to the GL driver; as a constant the driver can fold what depends on
// it (a loop bound, cos and sin of constant angles) and unroll loops. The effect object uses
// this to build each pass's program with its unset parameters folded in.
//
// It relies on one convention of the emitter (glsl_stage.cpp): every numeric parameter a shader
// reads is declared on a line of its own, "uniform TYPE NAME;" or "uniform TYPE NAME[N];",
// where NAME is ParameterInfo::glslName.
//
// Threads: pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gfx/fx/fx.h"

namespace platform::gfx::fx {

// The value to fold in for parameter "parameter" (an index into the effect's parameters), in
// Direct3D's byte layout as the effect object stores it: 4 bytes per component, a float or a
// 32-bit int (ints and bools), matrices row-major, array elements after each other.
struct FoldedValue {
    int parameter = -1;
    const std::uint8_t* bytes = nullptr;
    std::size_t sizeBytes = 0;
};

// Returns "glsl" with the declaration of each parameter in "values" replaced by a constant of
// the same type and name holding that value, so the program computes what it computed with
// the value uploaded to the uniform. A parameter stays a uniform where its value cannot be
// written as a GLSL literal (not a finite float) or its GLSL type does not hold its component
// type; "folded" (optional) receives the parameters that became constants.
std::string FoldParameters(std::string_view glsl, const std::vector<ParameterInfo>& parameters,
                           const std::vector<FoldedValue>& values,
                           std::vector<int>* folded = nullptr);

}  // namespace platform::gfx::fx
