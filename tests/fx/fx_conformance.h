// tests/fx/fx_conformance.h: the conformance tables of the effect compiler, one row per rule of
// the language reference (docs/hlsl-coverage.md names the rows of each page).
//
// A value row's source defines "float4 Value()"; the suite renders a pixel shader returning
// whether Value() (evaluated in the pixel or the vertex stage) matches "expected" (computed
// here on the CPU) and checks that the GLSL of
// the pass also passes a second GLSL front end. A refusal row's source must not compile; the
// first error must be on "line". A source that declares "static float2 gPixel;" finds the
// pixel's interpolated texture coordinate there: (0.375, 0.375) at the pixel read, 0.25 more per
// pixel to the right and down, so conditions on it differ between the pixels of a quad.
#pragma once

#include <array>
#include <vector>

namespace fx_conformance {

struct ValueCase {
    const char* id;  // "page/rule": the page of the reference and the rule the row checks
    const char* source;
    std::array<float, 4> expected;
    const char* profile = "ps_3_0";
    // When set, Value() runs in a vertex shader of this profile instead and reaches the pixel
    // shader through an interpolated coordinate (equal at every vertex).
    const char* vertexProfile = nullptr;
};

struct RefusalCase {
    const char* id;
    const char* source;
    int line;  // of the first error
};

const std::vector<ValueCase>& ValueCases();
const std::vector<RefusalCase>& RefusalCases();

// The rows of the operators and type-conversion pages and of the intrinsics' argument shapes
// (fx_conformance_operators.cpp); ValueCases() and RefusalCases() include them.
std::vector<ValueCase> OperatorValueCases();
std::vector<RefusalCase> OperatorRefusalCases();

// Why the compiler does not pass row "id" yet, or null when it should.
const char* OpenReason(const char* id);

}  // namespace fx_conformance
