// platform/gfx/fx/asm/asm_glsl.cpp: a parsed shader-assembly program as GLSL 3.30: one
// statement (or block opener) per instruction, registers as globals, subroutines (label ... ret)
// as functions, the stage's outputs copied out at the end of main.
#include "platform/gfx/fx/asm/asm.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "platform/gfx/fx/asm/asm_ops.h"

namespace platform::gfx::fx::assembly {

namespace {

std::string Float(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    std::string s = buf;
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
}

std::string MaskText(unsigned mask) {
    std::string s;
    for (int k = 0; k < 4; ++k)
        if (mask & (1u << k)) s += "xyzw"[k];
    return s;
}

const char* CompareOp(int c) {
    static const char* const kOps[] = {"", ">", "==", ">=", "<", "!=", "<="};
    return kOps[c];
}
const char* CompareFunction(int c) {
    static const char* const kFns[] = {"", "greaterThan", "equal", "greaterThanEqual", "lessThan",
                                       "notEqual", "lessThanEqual"};
    return kFns[c];
}

class Writer {
public:
    Writer(const Program& p, const GlslHooks& hooks) : p_(p), hooks_(hooks) {}

    GlslStage run() {
        for (const Instruction& in : p_.code) declare(in);
        const bool relative = std::any_of(p_.code.begin(), p_.code.end(), [](const Instruction& in) {
            return std::any_of(in.sources.begin(), in.sources.end(), [](const Operand& o) { return o.relative; });
        });
        const std::string cu = p_.vertex ? "fx_vc" : "fx_pc";
        const int constants = p_.vertex ? 256 : 224;
        stage_.declarations += "uniform vec4 " + cu + "[" + std::to_string(constants) + "];\n";
        stage_.declarations += std::string("uniform ivec4 ") + (p_.vertex ? "fx_vi" : "fx_pi") + "[16];\n";
        stage_.declarations += std::string("uniform int ") + (p_.vertex ? "fx_vb" : "fx_pb") + "[16];\n";
        // Constants: with relative addressing every register lives in one array, defined
        // constants written over the uniforms'; otherwise a defined constant is a literal.
        std::string init;
        if (relative) {
            stage_.declarations += "vec4 fx_c[" + std::to_string(constants) + "];\n";
            init += "    for (int i = 0; i < " + std::to_string(constants) + "; ++i) fx_c[i] = " + cu + "[i];\n";
            for (const auto& [n, v] : defs_) init += "    fx_c[" + std::to_string(n) + "] = " + v + ";\n";
            constArray_ = "fx_c";
        } else {
            constArray_ = cu;
        }
        relativeConstants_ = relative;
        for (int r : temps_) stage_.declarations += "vec4 fx_r" + std::to_string(r) + " = vec4(0.0);\n";
        for (int t : textureRegs_) stage_.declarations += "vec4 fx_t" + std::to_string(t) + " = vec4(0.0);\n";
        for (int c : colorOuts_) stage_.declarations += "vec4 fx_oC" + std::to_string(c) + " = vec4(0.0);\n";
        if (depthOut_) stage_.declarations += "vec4 fx_oDepth = vec4(0.0);\n";
        stage_.declarations += "ivec4 fx_a0 = ivec4(0);\nint fx_aL = 0;\nbvec4 fx_p0 = bvec4(false);\n";
        // The body: main's part up to its first top-level ret, then the subroutines.
        std::string* out = &main_;
        int depth = 0;
        bool inSubroutine = false;
        for (std::size_t i = 0; i < p_.code.size(); ++i) {
            const Instruction& in = p_.code[i];
            if (in.op < 0) continue;
            const Op op = static_cast<Op>(in.op);
            if (op == Op::k_label) {
                if (inSubroutine) closeSubroutine();
                inSubroutine = true;
                const std::string name = "fx_l" + std::to_string(in.sources[0].index);
                prototypes_ += "void " + name + "();\n";
                current_ = "void " + name + "()\n{\n";
                out = &current_;
                depth = 0;
                continue;
            }
            if (op == Op::k_ret && depth == 0) {
                if (inSubroutine) {
                    closeSubroutine();
                    inSubroutine = false;
                }
                out = &ignored_;  // code after main's ret and outside a label is unreachable
                continue;
            }
            if (op == Op::k_else || op == Op::k_endif || op == Op::k_endrep || op == Op::k_endloop) --depth;
            if (depth < 0) depth = 0;
            indent_ = depth + 1;
            // A co-issued pair reads its sources before either writes.
            if (i + 1 < p_.code.size() && p_.code[i + 1].coissue && p_.code[i + 1].op >= 0) {
                *out += pad() + "{\n";
                ++indent_;
                const std::string a = value(in), b = value(p_.code[i + 1]);
                *out += pad() + "vec4 fx_x0 = " + a + ";\n" + pad() + "vec4 fx_x1 = " + b + ";\n";
                *out += write(in, "fx_x0") + write(p_.code[i + 1], "fx_x1");
                --indent_;
                *out += pad() + "}\n";
                ++i;
                continue;
            }
            *out += statement(in);
            if (op == Op::k_if || op == Op::k_ifc || op == Op::k_else || op == Op::k_rep || op == Op::k_loop) ++depth;
        }
        if (inSubroutine) closeSubroutine();
        // Outputs.
        std::string tail;
        if (p_.vertex) {
            for (const auto& [name, sem] : outputs_) {
                if (sem == "POSITION0") tail += "    fx_position = " + name + ";\n";
                else if (sem.empty() || sem.rfind("PSIZE", 0) == 0) continue;
                else if (sem.rfind("FOG", 0) == 0) tail += "    " + hooks_.varying("FOG0") + " = vec4(" + name + ".x);\n";  // the fixed fog stage's factor
                else tail += "    " + hooks_.varying(sem) + " = " + name + ";\n";
            }
        } else {
            if (p_.major == 1) {
                stage_.declarations += "layout(location = 0) out vec4 fx_o_COLOR0;\n";
                tail += "    fx_o_COLOR0 = fx_r0;\n";
            }
            for (int n : colorOuts_) {
                stage_.declarations += "layout(location = " + std::to_string(n) + ") out vec4 fx_o_COLOR" +
                                       std::to_string(n) + ";\n";
                tail += "    fx_o_COLOR" + std::to_string(n) + " = fx_oC" + std::to_string(n) + ";\n";
            }
            if (depthOut_) tail += "    gl_FragDepth = fx_oDepth.x;\n";
        }
        stage_.functions = prototypes_ + "void fx_main()\n{\n" + main_ + "}\n" + subroutines_;
        stage_.body = init + (p_.vertex ? "    vec4 fx_position = vec4(0.0, 0.0, 0.0, 1.0);\n" : "") +
                      "    fx_main();\n" + tail;
        return stage_;
    }

private:
    void closeSubroutine() {
        subroutines_ += current_ + "}\n";
        current_.clear();
    }

    std::string pad() const { return std::string(static_cast<std::size_t>(indent_) * 4, ' '); }

    // Registers and declarations the program uses, collected before writing.
    void declare(const Instruction& in) {
        auto use = [&](const Operand& o) {
            if (o.type == Reg::Temp) temps_.insert(o.index);
            if (o.type == Reg::Texture && !p_.vertex && p_.major == 1 && p_.minor <= 3) textureRegs_.insert(o.index);
            if (o.type == Reg::Sampler && !samplerKinds_.count(o.index)) samplerKinds_[o.index] = "2D";
            if (o.type == Reg::ColorOut) colorOuts_.insert(o.index);
            if (o.type == Reg::DepthOut) depthOut_ = true;
            if (o.type == Reg::Output) addOutput("fx_o" + std::to_string(o.index), "");
        };
        if (in.name == std::string_view("def")) {
            defs_[in.dest.index] = "vec4(" + Float(in.values[0]) + ", " + Float(in.values[1]) + ", " +
                                   Float(in.values[2]) + ", " + Float(in.values[3]) + ")";
            return;
        }
        if (in.name == std::string_view("defi")) {
            intDefs_[in.dest.index] = "ivec4(" + std::to_string(static_cast<int>(in.values[0])) + ", " +
                                      std::to_string(static_cast<int>(in.values[1])) + ", " +
                                      std::to_string(static_cast<int>(in.values[2])) + ", " +
                                      std::to_string(static_cast<int>(in.values[3])) + ")";
            return;
        }
        if (in.name == std::string_view("defb")) {
            boolDefs_[in.dest.index] = in.values[0] != 0 ? "1" : "0";
            return;
        }
        if (in.name == std::string_view("dcl")) {
            const Operand& d = in.dest;
            if (d.type == Reg::Sampler) samplerKinds_[d.index] = in.usage;
            if (d.type == Reg::Input) inputs_[d.index] = in.usage.empty() ? "COLOR" + std::to_string(d.index) : in.usage;
            if (d.type == Reg::Texture) inputs_[100 + d.index] = "TEXCOORD" + std::to_string(d.index);
            if (d.type == Reg::Output) {
                const std::string name = "fx_o" + std::to_string(d.index);
                addOutput(name, in.usage);
            }
            return;
        }
        use(in.dest);
        for (const Operand& s : in.sources) use(s);
        if (p_.vertex && p_.major < 3) {
            const Operand& d = in.dest;
            if (d.type == Reg::RastOut) addOutput(d.index == 0 ? "fx_oPos" : d.index == 1 ? "fx_oFog" : "fx_oPts",
                                                  d.index == 0 ? "POSITION0" : d.index == 1 ? "FOG0" : "PSIZE0");
            if (d.type == Reg::AttrOut) addOutput("fx_oD" + std::to_string(d.index), "COLOR" + std::to_string(d.index));
            if (d.type == Reg::TexCrdOut) addOutput("fx_oT" + std::to_string(d.index), "TEXCOORD" + std::to_string(d.index));
        }
        // ps_1_x texture instructions that look up a cube map.
        if (in.op >= 0) {
            const Op op = static_cast<Op>(in.op);
            if (!p_.vertex && p_.major == 1 && in.dest.type == Reg::Texture && !samplerKinds_.count(in.dest.index))
                samplerKinds_[in.dest.index] =
                    (op == Op::k_texm3x3tex || op == Op::k_texm3x3spec || op == Op::k_texm3x3vspec) ? "CUBE" : "2D";
            if (!p_.vertex && p_.version() == 14 && op == Op::k_texld && !samplerKinds_.count(in.dest.index))
                samplerKinds_[in.dest.index] = "2D";
        }
        if (in.op >= 0 && static_cast<Op>(in.op) == Op::k_texm3x2pad) texm_.push_back(in.dest.index);
    }

    void addOutput(const std::string& name, const std::string& sem) {
        for (const auto& o : outputs_)
            if (o.first == name) return;
        const bool colour = sem.rfind("COLOR", 0) == 0;
        stage_.declarations += "vec4 " + name + " = vec4(" + (colour ? "1.0" : "0.0, 0.0, 0.0, 1.0") + ");\n";
        outputs_.push_back({name, sem});
    }

    // --- operands -------------------------------------------------------------------------

    std::string sampler(int n) {
        if (!declaredSamplers_.count(n)) {
            declaredSamplers_.insert(n);
            const std::string& kind = samplerKinds_.count(n) ? samplerKinds_[n] : std::string("2D");
            const char* type = kind == "CUBE" ? "samplerCube" : kind == "VOLUME" ? "sampler3D" : "sampler2D";
            stage_.declarations += std::string("uniform ") + type + " fx_ff_stage" + std::to_string(n) + ";\n";
        }
        return "fx_ff_stage" + std::to_string(n);
    }

    // Stage n's bump-environment matrix (BumpEnvMat00, 01, 10, 11) and luminance scale and
    // offset: uniforms the pass's texture-stage states set when it begins.
    std::string bumpMatrix(int n) {
        const std::string u = "fx_ff_bump" + std::to_string(n);
        if (declaredBump_.insert(n).second) stage_.declarations += "uniform vec4 " + u + ";\n";
        return "mat2(" + u + ".xy, " + u + ".zw)";
    }
    std::string bumpLuminance(int n) {
        const std::string u = "fx_ff_bumpl" + std::to_string(n);
        if (declaredBump_.insert(100 + n).second) stage_.declarations += "uniform vec4 " + u + ";\n";
        return u;
    }

    std::string coordinatesFor(int n) {
        const auto it = samplerKinds_.find(n);
        return it != samplerKinds_.end() && (it->second == "CUBE" || it->second == "VOLUME") ? "xyz" : "xy";
    }

    std::string pixelInput(const std::string& sem) {
        const std::string v = hooks_.input(sem);
        return v.empty() ? (sem.rfind("COLOR", 0) == 0 ? "vec4(1.0)" : "vec4(0.0)") : v;
    }

    // The register an operand names, as a vec4 (or, for ints and bools, their type).
    std::string reg(const Operand& o) {
        const std::string n = std::to_string(o.index);
        switch (o.type) {
            case Reg::Temp: return "fx_r" + n;
            case Reg::Input:
                if (p_.vertex) {
                    const auto it = inputs_.find(o.index);
                    return it == inputs_.end() ? "vec4(0.0)" : hooks_.attribute(it->second);
                } else {
                    const auto it = inputs_.find(o.index);
                    return pixelInput(it == inputs_.end() ? "COLOR" + n : it->second);
                }
            case Reg::Const: {
                if (o.relative) {
                    const std::string base = o.relativeType == Reg::Loop
                                                 ? std::string("fx_aL")
                                                 : std::string("fx_a0.") + "xyzw"[o.relativeComponent];
                    return constArray_ + "[clamp(" + base + " + " + n + ", 0, " +
                           std::to_string(p_.vertex ? 255 : 223) + ")]";
                }
                std::string c = !relativeConstants_ && defs_.count(o.index) ? defs_[o.index] : constArray_ + "[" + n + "]";
                // ps_1_x constants range over -1..1.
                if (!p_.vertex && p_.major == 1) c = "clamp(" + c + ", -1.0, 1.0)";
                return c;
            }
            case Reg::Address: return "vec4(fx_a0)";
            case Reg::Texture:
                if (!p_.vertex && p_.major == 1 && p_.minor <= 3) return "fx_t" + n;
                return pixelInput("TEXCOORD" + n);
            case Reg::RastOut: return o.index == 0 ? "fx_oPos" : o.index == 1 ? "fx_oFog" : "fx_oPts";
            case Reg::AttrOut: return "fx_oD" + n;
            case Reg::TexCrdOut: return "fx_oT" + n;
            case Reg::Output: return "fx_o" + n;
            case Reg::ColorOut: return "fx_oC" + n;
            case Reg::DepthOut: return "fx_oDepth";
            case Reg::ConstInt:
                return "vec4(" + (intDefs_.count(o.index) ? intDefs_[o.index] : std::string(p_.vertex ? "fx_vi[" : "fx_pi[") + n + "]") + ")";
            case Reg::ConstBool:
                return "vec4(float(" + (boolDefs_.count(o.index) ? boolDefs_[o.index] : std::string(p_.vertex ? "fx_vb[" : "fx_pb[") + n + "]") + "))";
            case Reg::Loop: return "vec4(float(fx_aL))";
            case Reg::Predicate: return "vec4(fx_p0)";
            case Reg::MiscType:
                return o.index == 0 ? "vec4(gl_FragCoord.xy - 0.5, 0.0, 1.0)" : "vec4(gl_FrontFacing ? 1.0 : -1.0)";
            default: return "vec4(0.0)";
        }
    }

    std::string intReg(const Operand& o) {
        if (intDefs_.count(o.index)) return intDefs_[o.index];
        return std::string(p_.vertex ? "fx_vi[" : "fx_pi[") + std::to_string(o.index) + "]";
    }

    // A source with its swizzle and modifiers.
    std::string src(const Operand& o) {
        std::string v = reg(o);
        if (o.swizzled) {
            std::string s = ".";
            for (int k = 0; k < 4; ++k) s += "xyzw"[o.swizzle[k]];
            if (s != ".xyzw") v = "(" + v + ")" + s;
        }
        if (o.bias) v = "(" + v + " - 0.5)";
        if (o.signedScale) v = "(2.0 * " + v + " - 1.0)";
        if (o.times2) v = "(2.0 * " + v + ")";
        if (o.complement) v = "(1.0 - " + v + ")";
        if (o.absolute) v = "abs(" + v + ")";
        if (o.negate) v = "(-" + v + ")";
        return v;
    }

    // A scalar source: the component its replicate swizzle names (.w when none is written,
    // as the first models read it).
    std::string scalar(const Operand& o) { return "(" + src(o) + ")." + std::string(1, o.swizzled ? 'x' : 'w'); }

    std::string condition(const Operand& o) {
        if (o.type == Reg::Predicate) {
            const std::string c = "fx_p0." + std::string(1, "xyzw"[o.swizzle[0]]);
            return o.logicalNot ? "!" + c : c;
        }
        const std::string b = "(" + scalar(o) + " != 0.0)";
        return o.logicalNot ? "!" + b : b;
    }

    // The row operand k registers after "o" (the matrix instructions' later rows).
    static Operand row(Operand o, int k) {
        o.index += k;
        return o;
    }

    // --- instructions ---------------------------------------------------------------------

    // The vec4 value of an arithmetic or texture instruction.
    std::string value(const Instruction& in) {
        const Op op = static_cast<Op>(in.op);
        const auto& s = in.sources;
        auto S = [&](std::size_t k) { return src(s[k]); };
        auto splat = [](const std::string& x) { return "vec4(" + x + ")"; };
        const int dn = in.dest.index;
        switch (op) {
            case Op::k_mov: case Op::k_mova: return S(0);
            case Op::k_add: return S(0) + " + " + S(1);
            case Op::k_sub: return S(0) + " - " + S(1);
            case Op::k_mul: return S(0) + " * " + S(1);
            case Op::k_mad: return S(0) + " * " + S(1) + " + " + S(2);
            case Op::k_rcp: return splat("1.0 / " + scalar(s[0]));
            case Op::k_rsq: return splat("inversesqrt(abs(" + scalar(s[0]) + "))");
            case Op::k_dp3: return splat("dot((" + S(0) + ").xyz, (" + S(1) + ").xyz)");
            case Op::k_dp4: return splat("dot(" + S(0) + ", " + S(1) + ")");
            case Op::k_min: return "min(" + S(0) + ", " + S(1) + ")";
            case Op::k_max: return "max(" + S(0) + ", " + S(1) + ")";
            case Op::k_slt: return "vec4(lessThan(" + S(0) + ", " + S(1) + "))";
            case Op::k_sge: return "vec4(greaterThanEqual(" + S(0) + ", " + S(1) + "))";
            case Op::k_exp: return splat("exp2(" + scalar(s[0]) + ")");
            case Op::k_log: return splat("log2(abs(" + scalar(s[0]) + "))");
            case Op::k_expp:
                if (p_.major >= 2) return splat("exp2(" + scalar(s[0]) + ")");
                return "vec4(exp2(floor(" + scalar(s[0]) + ")), fract(" + scalar(s[0]) + "), exp2(" + scalar(s[0]) + "), 1.0)";
            case Op::k_logp:
                if (p_.major >= 2) return splat("log2(abs(" + scalar(s[0]) + "))");
                return "vec4(floor(log2(abs(" + scalar(s[0]) + "))), abs(" + scalar(s[0]) + ") / exp2(floor(log2(abs(" +
                       scalar(s[0]) + ")))), log2(abs(" + scalar(s[0]) + ")), 1.0)";
            case Op::k_lit: {
                const std::string v = "(" + S(0) + ")";
                return "vec4(1.0, max(" + v + ".x, 0.0), " + v + ".x > 0.0 ? pow(max(" + v + ".y, 0.0), clamp(" + v +
                       ".w, -127.9961, 127.9961)) : 0.0, 1.0)";
            }
            case Op::k_dst: return "vec4(1.0, (" + S(0) + ").y * (" + S(1) + ").y, (" + S(0) + ").z, (" + S(1) + ").w)";
            case Op::k_lrp: return "mix(" + S(2) + ", " + S(1) + ", " + S(0) + ")";
            case Op::k_frc: return "fract(" + S(0) + ")";
            case Op::k_m4x4: case Op::k_m4x3: case Op::k_m3x4: case Op::k_m3x3: case Op::k_m3x2: {
                const int rows = op == Op::k_m4x4 || op == Op::k_m3x4 ? 4 : op == Op::k_m3x2 ? 2 : 3;
                const bool four = op == Op::k_m4x4 || op == Op::k_m4x3;
                std::string v = "vec4(";
                for (int k = 0; k < 4; ++k) {
                    if (k) v += ", ";
                    if (k >= rows) {
                        v += "0.0";
                        continue;
                    }
                    const std::string r = src(row(s[1], k));
                    v += four ? "dot(" + S(0) + ", " + r + ")" : "dot((" + S(0) + ").xyz, (" + r + ").xyz)";
                }
                return v + ")";
            }
            case Op::k_pow: return splat("pow(abs(" + scalar(s[0]) + "), " + scalar(s[1]) + ")");
            case Op::k_crs: return "vec4(cross((" + S(0) + ").xyz, (" + S(1) + ").xyz), 0.0)";
            case Op::k_sgn: return "sign(" + S(0) + ")";
            case Op::k_abs: return "abs(" + S(0) + ")";
            case Op::k_nrm: return "(" + S(0) + ") * inversesqrt(dot((" + S(0) + ").xyz, (" + S(0) + ").xyz))";
            case Op::k_sincos: return "vec4(cos(" + scalar(s[0]) + "), sin(" + scalar(s[0]) + "), 0.0, 0.0)";
            case Op::k_cnd: return "mix(" + S(2) + ", " + S(1) + ", vec4(greaterThan(" + S(0) + ", vec4(0.5))))";
            case Op::k_cmp: return "mix(" + S(2) + ", " + S(1) + ", vec4(greaterThanEqual(" + S(0) + ", vec4(0.0))))";
            case Op::k_dp2add: return splat("dot((" + S(0) + ").xy, (" + S(1) + ").xy) + (" + S(2) + ").x");
            case Op::k_dsx: return "dFdx(" + S(0) + ")";
            case Op::k_dsy: return "dFdy(" + S(0) + ")";
            case Op::k_setp: return "vec4(" + std::string(CompareFunction(in.compare)) + "(" + S(0) + ", " + S(1) + "))";
            // ps_2_0 and later: texld dest, coordinates, sampler.
            case Op::k_texld: {
                if (p_.version() == 14) {
                    std::string c = S(0);
                    if (s[0].divideZ) c = "((" + c + ") / (" + c + ").z)";
                    if (s[0].divideW) c = "((" + c + ") / (" + c + ").w)";
                    return "texture(" + sampler(dn) + ", (" + c + ")." + coordinatesFor(dn) + ")";
                }
                const int n = s[1].index;
                return "texture(" + sampler(n) + ", (" + S(0) + ")." + coordinatesFor(n) + ")";
            }
            case Op::k_texldp: {
                const int n = s[1].index;
                return "texture(" + sampler(n) + ", (" + S(0) + ")." + coordinatesFor(n) + " / (" + S(0) + ").w)";
            }
            case Op::k_texldb: {
                const int n = s[1].index;
                return "texture(" + sampler(n) + ", (" + S(0) + ")." + coordinatesFor(n) + ", (" + S(0) + ").w)";
            }
            case Op::k_texldl: {
                const int n = s[1].index;
                return "textureLod(" + sampler(n) + ", (" + S(0) + ")." + coordinatesFor(n) + ", (" + S(0) + ").w)";
            }
            case Op::k_texldd: {
                const int n = s[1].index;
                const std::string c = coordinatesFor(n);
                return "textureGrad(" + sampler(n) + ", (" + S(0) + ")." + c + ", (" + S(2) + ")." + c + ", (" + S(3) + ")." + c + ")";
            }
            case Op::k_texcrd: {
                std::string c = S(0);
                if (s[0].divideZ) c = "((" + c + ") / (" + c + ").z)";
                if (s[0].divideW) c = "((" + c + ") / (" + c + ").w)";
                return "vec4((" + c + ").xyz, 1.0)";
            }
            // ps_1_1-1_3: the texture register of stage n, with coordinate set n.
            case Op::k_tex: return "texture(" + sampler(dn) + ", " + pixelInput("TEXCOORD" + std::to_string(dn)) + "." + coordinatesFor(dn) + ")";
            case Op::k_texcoord: return "vec4(clamp(" + pixelInput("TEXCOORD" + std::to_string(dn)) + ".xyz, 0.0, 1.0), 1.0)";
            // ps_1_1-1_3: stage n's coordinates moved by the (du, dv) of the source texel
            // through stage n's bump matrix; texbeml then scales by the source's luminance.
            case Op::k_texbem: case Op::k_texbeml: {
                std::string v = "texture(" + sampler(dn) + ", " + pixelInput("TEXCOORD" + std::to_string(dn)) +
                                ".xy + " + bumpMatrix(dn) + " * (" + S(0) + ").xy)";
                if (op == Op::k_texbeml) {
                    const std::string l = bumpLuminance(dn);
                    v = "(" + v + " * ((" + S(0) + ").z * " + l + ".x + " + l + ".y))";
                }
                return v;
            }
            // ps_1_4: src0.rg moved by src1's (du, dv) through the bump matrix of stage
            // "destination register".
            case Op::k_bem:
                return "vec4((" + S(0) + ").xy + " + bumpMatrix(dn) + " * (" + S(1) + ").xy, 0.0, 0.0)";
            case Op::k_texreg2ar: return "texture(" + sampler(dn) + ", (" + S(0) + ").wx)";
            case Op::k_texreg2gb: return "texture(" + sampler(dn) + ", (" + S(0) + ").yz)";
            case Op::k_texreg2rgb: return "texture(" + sampler(dn) + ", (" + S(0) + ").xy)";
            case Op::k_texdp3:
                return splat("dot(" + pixelInput("TEXCOORD" + std::to_string(dn)) + ".xyz, (" + S(0) + ").xyz)");
            case Op::k_texdp3tex:
                return "texture(" + sampler(dn) + ", vec2(dot(" + pixelInput("TEXCOORD" + std::to_string(dn)) + ".xyz, (" +
                       S(0) + ").xyz), 0.0))";
            case Op::k_texm3x2pad: case Op::k_texm3x3pad:
                return splat("dot(" + pixelInput("TEXCOORD" + std::to_string(dn)) + ".xyz, (" + S(0) + ").xyz)");
            case Op::k_texm3x2tex: case Op::k_texm3x2depth: {
                const std::string u = "fx_t" + std::to_string(dn - 1) + ".x";
                const std::string v = "dot(" + pixelInput("TEXCOORD" + std::to_string(dn)) + ".xyz, (" + S(0) + ").xyz)";
                if (op == Op::k_texm3x2depth) return "vec4(" + u + ", " + v + ", 0.0, 1.0)";
                return "texture(" + sampler(dn) + ", vec2(" + u + ", " + v + "))";
            }
            case Op::k_texm3x3tex: case Op::k_texm3x3: case Op::k_texm3x3spec: case Op::k_texm3x3vspec: {
                const std::string n3 = "vec3(fx_t" + std::to_string(dn - 2) + ".x, fx_t" + std::to_string(dn - 1) + ".x, dot(" +
                                       pixelInput("TEXCOORD" + std::to_string(dn)) + ".xyz, (" + S(0) + ").xyz))";
                if (op == Op::k_texm3x3) return "vec4(" + n3 + ", 1.0)";
                if (op == Op::k_texm3x3tex) return "texture(" + sampler(dn) + ", " + n3 + ")";
                std::string eye;
                if (op == Op::k_texm3x3spec) {
                    eye = "(" + src(s[1]) + ").xyz";
                } else {
                    eye = "vec3(" + pixelInput("TEXCOORD" + std::to_string(dn - 2)) + ".w, " +
                          pixelInput("TEXCOORD" + std::to_string(dn - 1)) + ".w, " +
                          pixelInput("TEXCOORD" + std::to_string(dn)) + ".w)";
                }
                return "texture(" + sampler(dn) + ", fx_reflect(" + n3 + ", " + eye + "))";
            }
            default: return "vec4(0.0)";
        }
    }

    // Writes "v" to the instruction's destination: the shift, saturation, write mask and
    // predicate applied.
    std::string write(const Instruction& in, const std::string& v) {
        const Op op = static_cast<Op>(in.op);
        std::string x = v;
        if (in.shift > 0) x = "(" + x + ") * " + Float(1 << in.shift);
        if (in.shift < 0) x = "(" + x + ") / " + Float(1 << -in.shift);
        if (in.saturate) x = "clamp(" + x + ", 0.0, 1.0)";
        const Operand& d = in.dest;
        unsigned mask = d.mask;
        if (op == Op::k_crs) mask &= 7u;
        if (op == Op::k_sincos) mask &= 3u;
        if (op == Op::k_m4x3 || op == Op::k_m3x3) mask &= 7u;
        if (op == Op::k_m3x2) mask &= 3u;
        if (d.type == Reg::Address) {
            // mova rounds to the nearest integer; vs_1_1's mov to a0 takes the floor.
            const std::string r = op == Op::k_mova ? "floor(" + x + " + 0.5)" : "floor(" + x + ")";
            return pad() + "fx_a0." + MaskText(mask) + " = ivec4(" + r + ")." + MaskText(mask) + ";\n";
        }
        if (d.type == Reg::Predicate)
            return pad() + "fx_p0." + MaskText(mask) + " = notEqual(" + x + ", vec4(0.0))." + MaskText(mask) + ";\n";
        std::string target = reg(d);
        if (d.type == Reg::RastOut && d.index != 0) {
            target = d.index == 1 ? "fx_oFog" : "fx_oPts";
        }
        const std::string m = MaskText(mask);
        if (in.predicated) {
            std::string p = "fx_p0";
            if (in.predicate.swizzled) {
                p += ".";
                for (int k = 0; k < 4; ++k) p += "xyzw"[in.predicate.swizzle[k]];
            }
            const std::string cond = in.predicate.logicalNot ? "not(" + p + ")" : p;
            return pad() + target + "." + m + " = mix(" + target + ", " + x + ", vec4(" + cond + "))." + m + ";\n";
        }
        if (mask == 0xF) return pad() + target + " = " + x + ";\n";
        return pad() + target + "." + m + " = (" + x + ")." + m + ";\n";
    }

    std::string statement(const Instruction& in) {
        const Op op = static_cast<Op>(in.op);
        const auto& s = in.sources;
        switch (op) {
            case Op::k_nop: case Op::k_phase: return "";
            case Op::k_if:
                return pad() + "if (" + condition(s[0]) + ") {\n";
            case Op::k_ifc:
                return pad() + "if (" + scalar(s[0]) + " " + CompareOp(in.compare) + " " + scalar(s[1]) + ") {\n";
            case Op::k_else: return pad() + "} else {\n";
            case Op::k_endif: case Op::k_endrep: return pad() + "}\n";
            case Op::k_endloop: return pad() + "}\n" + pad() + "fx_aL = fx_saveL" + std::to_string(--loops_) + ";\n";
            case Op::k_rep: {
                const std::string k = "fx_k" + std::to_string(counter_++);
                return pad() + "for (int " + k + " = 0; " + k + " < min(" + intReg(s[0]) + ".x, 255); ++" + k + ") {\n";
            }
            case Op::k_loop: {
                const std::string i = intReg(s[1]);
                const std::string k = "fx_k" + std::to_string(counter_++);
                const std::string save = "fx_saveL" + std::to_string(loops_++);
                return pad() + "int " + save + " = fx_aL;\n" + pad() + "fx_aL = " + i + ".y;\n" + pad() + "for (int " + k +
                       " = 0; " + k + " < min(" + i + ".x, 255); ++" + k + ", fx_aL += " + i + ".z) {\n";
            }
            case Op::k_break: return pad() + "break;\n";
            case Op::k_breakc:
                return pad() + "if (" + scalar(s[0]) + " " + CompareOp(in.compare) + " " + scalar(s[1]) + ") break;\n";
            case Op::k_breakp: return pad() + "if (" + condition(s[0]) + ") break;\n";
            case Op::k_call: return pad() + "fx_l" + std::to_string(s[0].index) + "();\n";
            case Op::k_callnz: return pad() + "if (" + condition(s[1]) + ") fx_l" + std::to_string(s[0].index) + "();\n";
            case Op::k_ret: return pad() + "return;\n";
            case Op::k_texkill: {
                const std::string v = !p_.vertex && p_.major == 1 && s[0].type == Reg::Texture && p_.minor <= 3
                                          ? pixelInput("TEXCOORD" + std::to_string(s[0].index))
                                          : src(s[0]);
                return pad() + "if (any(lessThan((" + v + ").xyz, vec3(0.0)))) discard;\n";
            }
            case Op::k_texdepth:
                return pad() + "gl_FragDepth = fx_r5.y == 0.0 ? 1.0 : clamp(fx_r5.x / fx_r5.y, 0.0, 1.0);\n";
            case Op::k_texm3x2depth:
                return write(in, value(in)) + pad() + "gl_FragDepth = fx_t" + std::to_string(in.dest.index) +
                       ".y == 0.0 ? 1.0 : clamp(fx_t" + std::to_string(in.dest.index) + ".x / fx_t" +
                       std::to_string(in.dest.index) + ".y, 0.0, 1.0);\n";
            default: break;
        }
        if (op == Op::k_texm3x3spec || op == Op::k_texm3x3vspec) needReflect();
        return write(in, value(in));
    }

    void needReflect() {
        if (reflect_) return;
        reflect_ = true;
        prototypes_ += "vec3 fx_reflect(vec3 n, vec3 e) { return 2.0 * n * dot(n, e) / dot(n, n) - e; }\n";
    }

    const Program& p_;
    const GlslHooks& hooks_;
    GlslStage stage_;
    std::set<int> temps_, textureRegs_, colorOuts_, declaredSamplers_;
    std::set<int> declaredBump_;  // stages whose bump matrix (n) or luminance (100 + n) is declared
    std::map<int, std::string> defs_, intDefs_, boolDefs_, inputs_, samplerKinds_;
    std::vector<std::pair<std::string, std::string>> outputs_;
    std::vector<int> texm_;
    bool depthOut_ = false, relativeConstants_ = false, reflect_ = false;
    std::string constArray_;
    std::string main_, current_, subroutines_, prototypes_, ignored_;
    int indent_ = 1, counter_ = 0, loops_ = 0;
};

}  // namespace

GlslStage ToGlsl(const Program& program, const GlslHooks& hooks) {
    Writer w(program, hooks);
    GlslStage s = w.run();
    return s;
}

}  // namespace platform::gfx::fx::assembly
