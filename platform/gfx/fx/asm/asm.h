// platform/gfx/fx/asm/asm.h: Direct3D 9 shader assembly (vs_1_1 to vs_3_0, ps_1_1 to ps_3_0):
// the text of an "asm { ... }" block parsed into instructions (asm_parse.cpp), checked against
// the opcode table (asm_ops.h), and written as the body of a GLSL 3.30 stage (asm_glsl.cpp).
//
// Conventions of the GLSL: registers are globals (fx_r0.., fx_a0, fx_p0, the ps_1_x texture
// registers fx_t0..); constant registers are the uniform arrays fx_vc[256] (vertex) and
// fx_pc[224] (pixel), set from the pass's shader-constant states, with "def" constants written
// over them; integer and boolean registers are fx_vi/fx_pi[16] and fx_vb/fx_pb[16]. Sampler
// register n (and, in ps_1_x, texture stage n) reads the device's texture of stage n on texture
// unit n through "fx_ff_stage<n>", as the fixed-function stages do.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gfx/fx/diag.h"

namespace platform::gfx::fx::assembly {

enum class Reg {
    Temp, Input, Const, Address, Texture, RastOut, AttrOut, TexCrdOut, Output, ConstInt,
    ColorOut, DepthOut, Sampler, ConstBool, Loop, Predicate, MiscType, Label, None,
};

struct Operand {
    Reg type = Reg::None;
    int index = 0;
    // Relative addressing: c[a0.x + index] / c[aL + index] ("relative" is the register and
    // component that offsets it).
    bool relative = false;
    Reg relativeType = Reg::Address;
    int relativeComponent = 0;
    int swizzle[4] = {0, 1, 2, 3};  // sources
    bool swizzled = false;          // a swizzle was written
    unsigned mask = 0xF;            // destinations
    // Source modifiers.
    bool negate = false, absolute = false, complement = false, bias = false, signedScale = false,
         times2 = false, divideZ = false, divideW = false, logicalNot = false;
};

struct Instruction {
    int op = -1;  // row of the opcode table
    std::string_view name;
    int line = 0, column = 0;
    bool saturate = false, coissue = false;
    int shift = 0;  // _x2 _x4 _x8: 1..3; _d2 _d4 _d8: -1..-3
    int compare = 0;  // _gt _eq _ge _lt _ne _le: 1..6
    bool predicated = false;
    Operand predicate;
    Operand dest;
    std::vector<Operand> sources;
    float values[4] = {0, 0, 0, 0};  // def, defi, defb
    std::string usage;               // dcl: the semantic ("TEXCOORD1") or sampler kind ("2d")
};

struct Program {
    bool vertex = true;
    int major = 0, minor = 0;  // vs_2_x and ps_2_x are 2.1
    std::vector<Instruction> code;
    // What the stage reads and writes, as semantics ("POSITION0", "COLOR1", "TEXCOORD2").
    std::vector<std::string> inputs, outputs;
    unsigned samplers = 0;  // bit n: sampler register / texture stage n is read
    int version() const { return major * 10 + minor; }
};

// Parses the text of an asm block (the braces included or not) whose first character is at
// (line, column) of the source. "vertex" is the stage the block is assigned to. Errors are
// reported at the instruction's position; false after any.
bool Parse(std::string_view text, int line, int column, bool vertex, Program& out,
           std::vector<Diagnostic>& diagnostics);

// The GLSL of a parsed program: declarations (globals, uniforms, inputs and outputs) and the
// statements of main(). "attribute(sem)" declares a vertex input and returns its name,
// "varying(sem)" a vertex output, "input(sem)" a pixel input ("" when the vertex stage writes
// none); the vertex position goes to "position" (a vec4 the caller turns into gl_Position).
struct GlslHooks {
    std::function<std::string(const std::string&)> attribute, varying, input;
};
struct GlslStage {
    std::string declarations;
    std::string functions;
    std::string body;
};
GlslStage ToGlsl(const Program& program, const GlslHooks& hooks);

}  // namespace platform::gfx::fx::assembly
