// platform/gfx/fx/asm/asm_ops.h: every instruction of the Direct3D 9 shader assembly reference,
// one row each. ORDER Op: the rows' order is the Op enumeration's.
//
// X(name, dest, sources, vsFirst, vsLast, psFirst, psLast)
//   dest      1 when the instruction writes a destination register
//   sources   how many source operands follow it (declarations and def are parsed apart)
//   versions  the first and last shader model that has it, as major * 10 + minor (2_x is 21);
//             0 0 where the stage has none
#pragma once

#define FX_ASM_OPS(X)                                   \
    X(nop, 0, 0, 11, 30, 11, 30)                        \
    X(mov, 1, 1, 11, 30, 11, 30)                        \
    X(add, 1, 2, 11, 30, 11, 30)                        \
    X(sub, 1, 2, 11, 30, 11, 30)                        \
    X(mad, 1, 3, 11, 30, 11, 30)                        \
    X(mul, 1, 2, 11, 30, 11, 30)                        \
    X(rcp, 1, 1, 11, 30, 20, 30)                        \
    X(rsq, 1, 1, 11, 30, 20, 30)                        \
    X(dp3, 1, 2, 11, 30, 11, 30)                        \
    X(dp4, 1, 2, 11, 30, 12, 30)                        \
    X(min, 1, 2, 11, 30, 20, 30)                        \
    X(max, 1, 2, 11, 30, 20, 30)                        \
    X(slt, 1, 2, 11, 30, 0, 0)                          \
    X(sge, 1, 2, 11, 30, 0, 0)                          \
    X(exp, 1, 1, 11, 30, 20, 30)                        \
    X(log, 1, 1, 11, 30, 20, 30)                        \
    X(lit, 1, 1, 11, 30, 0, 0)                          \
    X(dst, 1, 2, 11, 30, 0, 0)                          \
    X(lrp, 1, 3, 20, 30, 11, 30)                        \
    X(frc, 1, 1, 11, 30, 20, 30)                        \
    X(m4x4, 1, 2, 11, 30, 20, 30)                       \
    X(m4x3, 1, 2, 11, 30, 20, 30)                       \
    X(m3x4, 1, 2, 11, 30, 20, 30)                       \
    X(m3x3, 1, 2, 11, 30, 20, 30)                       \
    X(m3x2, 1, 2, 11, 30, 20, 30)                       \
    X(call, 0, 1, 20, 30, 21, 30)                       \
    X(callnz, 0, 2, 20, 30, 21, 30)                     \
    X(loop, 0, 2, 20, 30, 30, 30)                       \
    X(ret, 0, 0, 20, 30, 21, 30)                        \
    X(endloop, 0, 0, 20, 30, 30, 30)                    \
    X(label, 0, 1, 20, 30, 21, 30)                      \
    X(pow, 1, 2, 20, 30, 20, 30)                        \
    X(crs, 1, 2, 20, 30, 20, 30)                        \
    X(sgn, 1, 3, 20, 30, 0, 0)                          \
    X(abs, 1, 1, 20, 30, 20, 30)                        \
    X(nrm, 1, 1, 20, 30, 20, 30)                        \
    X(sincos, 1, 3, 20, 30, 20, 30)                     \
    X(rep, 0, 1, 20, 30, 21, 30)                        \
    X(endrep, 0, 0, 20, 30, 21, 30)                     \
    X(if, 0, 1, 20, 30, 21, 30)                         \
    X(ifc, 0, 2, 21, 30, 21, 30)                        \
    X(else, 0, 0, 20, 30, 21, 30)                       \
    X(endif, 0, 0, 20, 30, 21, 30)                      \
    X(break, 0, 0, 21, 30, 21, 30)                      \
    X(breakc, 0, 2, 21, 30, 21, 30)                     \
    X(mova, 1, 1, 20, 30, 0, 0)                         \
    X(texcoord, 1, 0, 0, 0, 11, 13)                     \
    X(texkill, 0, 1, 0, 0, 11, 30)                      \
    X(tex, 1, 0, 0, 0, 11, 13)                          \
    X(texld, 1, 2, 0, 0, 14, 30)                        \
    X(texbem, 1, 1, 0, 0, 11, 13)                       \
    X(texbeml, 1, 1, 0, 0, 11, 13)                      \
    X(texreg2ar, 1, 1, 0, 0, 11, 13)                    \
    X(texreg2gb, 1, 1, 0, 0, 11, 13)                    \
    X(texm3x2pad, 1, 1, 0, 0, 11, 13)                   \
    X(texm3x2tex, 1, 1, 0, 0, 11, 13)                   \
    X(texm3x3pad, 1, 1, 0, 0, 11, 13)                   \
    X(texm3x3tex, 1, 1, 0, 0, 11, 13)                   \
    X(texm3x3spec, 1, 2, 0, 0, 11, 13)                  \
    X(texm3x3vspec, 1, 1, 0, 0, 11, 13)                 \
    X(expp, 1, 1, 11, 30, 0, 0)                         \
    X(logp, 1, 1, 11, 30, 0, 0)                         \
    X(cnd, 1, 3, 0, 0, 11, 14)                          \
    X(texreg2rgb, 1, 1, 0, 0, 12, 13)                   \
    X(texdp3tex, 1, 1, 0, 0, 12, 13)                    \
    X(texm3x2depth, 1, 1, 0, 0, 13, 13)                 \
    X(texdp3, 1, 1, 0, 0, 12, 13)                       \
    X(texm3x3, 1, 1, 0, 0, 12, 13)                      \
    X(texdepth, 1, 0, 0, 0, 14, 14)                     \
    X(cmp, 1, 3, 0, 0, 12, 30)                          \
    X(bem, 1, 2, 0, 0, 14, 14)                          \
    X(dp2add, 1, 3, 0, 0, 20, 30)                       \
    X(dsx, 1, 1, 0, 0, 21, 30)                          \
    X(dsy, 1, 1, 0, 0, 21, 30)                          \
    X(texldd, 1, 4, 0, 0, 21, 30)                       \
    X(setp, 1, 2, 21, 30, 21, 30)                       \
    X(texldl, 1, 2, 30, 30, 30, 30)                     \
    X(breakp, 0, 1, 21, 30, 21, 30)                     \
    X(texcrd, 1, 1, 0, 0, 14, 14)                       \
    X(texldp, 1, 2, 0, 0, 20, 30)                       \
    X(texldb, 1, 2, 0, 0, 20, 30)                       \
    X(phase, 0, 0, 0, 0, 14, 14)

namespace platform::gfx::fx::assembly {

enum class Op {
#define FX_ASM_OP_ID(name, dest, sources, vf, vl, pf, pl) k_##name,
    FX_ASM_OPS(FX_ASM_OP_ID)
#undef FX_ASM_OP_ID
    kCount
};

struct OpRow {
    const char* name;
    int dest, sources, vsFirst, vsLast, psFirst, psLast;
};

inline constexpr OpRow kOps[] = {
#define FX_ASM_OP_ROW(name, dest, sources, vf, vl, pf, pl) {#name, dest, sources, vf, vl, pf, pl},
    FX_ASM_OPS(FX_ASM_OP_ROW)
#undef FX_ASM_OP_ROW
};

}  // namespace platform::gfx::fx::assembly
