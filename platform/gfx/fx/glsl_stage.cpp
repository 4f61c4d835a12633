// platform/gfx/fx/glsl_stage.cpp: declarations, functions and the stages' main functions.
#include "platform/gfx/fx/glsl_emitter.h"

#include <cstdint>
#include <cstdio>

#include <algorithm>

namespace platform::gfx::fx::glsl {

std::string Emitter::stage(const EntryPoint& entry, bool vertex, const EntryPoint* other) {
    helpers_.clear();
    dynamicHelpers_.clear();
    lateHelpers_.clear();
    temps_.clear();
    prototypes_.clear();
    outWrappers_.clear();
    funcs_.clear();
    globals_.clear();
    std::string body;
    if (entry.func) {
        collectFunctions(entry.func);
        for (const Expr* a : entry.boundArgs) collectGlobals(a);  // null slots are skipped
        for (const FuncDecl* f : funcs_) collectGlobals(f->body);
        for (const FuncDecl* f : funcs_)
            for (const VarDecl* p : f->params)
                if (p->init) collectGlobals(p->init);
    }
    closeGlobals();
    staticLocals_.clear();
    for (const FuncDecl* f : funcs_) collectStaticLocals(f->body);
    written_.clear();
    for (const FuncDecl* f : funcs_) collectWrites(f->body);
    // A discard in a function called from a flattened side or a frozen pixel's code obeys it.
    bool flattened = false, calleeDiscards = false;
    for (const FuncDecl* f : funcs_) {
        flattened = flattened || f->frozenReturns || HasFlattened(f->body);
        calleeDiscards = calleeDiscards || (f != entry.func && Discards(f->body));
    }
    liveFlag_ = !vertex && flattened && calleeDiscards;
    // Function bodies first, so that helper and global use is known for the header.
    for (const FuncDecl* f : funcs_) body += function(f);
    const std::string mainText = vertex ? vertexMain(entry, other) : fragmentMain(entry, other);
    std::string head = versionHeader();
    for (int h = 0; h < kHelperCount; ++h)
        if (helpers_.count(static_cast<Helper>(h))) head += HelperText(static_cast<Helper>(h));
    head += structs();  // before the helpers: some take structs
    for (const std::string& text : dynamicHelpers_) head += text;
    head += globalsText(vertex);
    if (liveFlag_) head += "bool fx_live = true;\n";
    for (const std::string& text : temps_) head += text;
    for (const std::string& text : prototypes_) head += text;
    for (const std::string& text : lateHelpers_) head += text;
    return head + body + mainText;
}

std::string Emitter::versionHeader() const {
    if (target_ == GlslTarget::Core330) return "#version 330 core\n";
    // ES fragment shaders have no default float precision, and 3D and shadow samplers none in
    // either stage; Direct3D 9 shaders compute in full single precision throughout.
    return "#version 300 es\n"
           "precision highp float;\nprecision highp int;\nprecision highp sampler2D;\n"
           "precision highp sampler3D;\nprecision highp samplerCube;\n";
}

std::string Emitter::attributeValue(const std::string& sem, const std::string& name) const {
    // On ES the graphics layer hands a D3DCOLOR over as its bytes in memory order (b, g, r, a).
    if (target_ == GlslTarget::Es300 && SemanticLocation(sem) == SemanticLocation("COLOR0"))
        return name + ".bgra";
    return name;
}

// The GLSL name of variable "v" in this stage.
std::string Emitter::variableName(const VarDecl* v) const {
    if (written_.count(v)) return "fx_w_" + std::string(v->name);
    const auto local = std::find(staticLocals_.begin(), staticLocals_.end(), v);
    if (local != staticLocals_.end())
        return "fx_s" + std::to_string(local - staticLocals_.begin()) + "_" + std::string(v->name);
    if (v->rename > 0) return UserName(v->name) + "_r" + std::to_string(v->rename);
    return UserName(v->name);
}

std::string Emitter::structs() {
    std::vector<const StructDecl*> used;
    std::function<void(const Type&)> use = [&](const Type& t) {
        if (t.base != Base::Struct || !t.st) return;
        if (std::find(used.begin(), used.end(), t.st) != used.end()) return;
        for (const VarDecl* m : t.st->members) use(m->type);
        used.push_back(t.st);
    };
    for (const FuncDecl* f : funcs_) {
        use(f->ret);
        for (const VarDecl* p : f->params) use(p->type);
        useLocals(f->body, use);
    }
    for (const VarDecl* g : globals_) use(g->type);
    std::string s;
    for (const StructDecl* st : used) {
        s += "struct " + UserName(st->name) + " {\n";
        for (const VarDecl* m : st->members)
            s += "    " + GlslType(m->type.element()) + " " + UserName(m->name) +
                 ArraySuffix(m->type) + ";\n";
        s += "};\n";
    }
    return s;
}

void Emitter::useLocals(const Stmt* s, const std::function<void(const Type&)>& use) {
    if (!s) return;
    for (const VarDecl* v : s->decls) use(v->type);
    useLocals(s->init, use);
    useLocals(s->then, use);
    useLocals(s->otherwise, use);
    for (const Stmt* b : s->body) useLocals(b, use);
}

namespace {

// A folded constant's value as GLSL: a literal, or a constructor of literals.
std::string FoldedText(const VarDecl* g) {
    std::string parts;
    for (double v : g->folded) {
        if (!parts.empty()) parts += ", ";
        switch (g->type.base) {
            case Base::Bool: parts += v != 0 ? "true" : "false"; break;
            case Base::Int: parts += std::to_string(static_cast<long long>(v)); break;
            case Base::Uint:  // wraps as the conversion to uint does; a negative double cannot cast directly
                parts += std::to_string(static_cast<std::uint32_t>(static_cast<long long>(v))) + "u";
                break;
            default: parts += FormatFloat(v); break;
        }
    }
    return g->folded.size() == 1 ? parts : GlslType(g->type.element()) + "(" + parts + ")";
}

}  // namespace

std::string Emitter::globalsText(bool vertex) {
    std::string s;
    (void)vertex;
    for (const VarDecl* g : globals_) {
        if (g->type.base == Base::Texture) continue;
        const bool isStatic = (g->storage & kStorageStatic) != 0;
        Type declared = g->type.element();
        // An untyped sampler is declared with the kind this program's lookups read it as.
        for (const FuncDecl* f : funcs_)
            for (const FuncDecl::SamplerRead& r : f->samplerReads)
                if (r.sampler == g) declared.dim = r.dim == Dim::D1 ? Dim::D2 : r.dim;
        if (isStatic && !g->folded.empty()) {  // a constant's value, folded
            s += "const " + GlslType(declared) + " " + UserName(g->name) + " = " + FoldedText(g) + ";\n";
            continue;
        }
        s += (isStatic ? "" : "uniform ") + GlslType(declared) + " " +
             UserName(g->name) + ArraySuffix(g->type) + ";\n";
        if (written_.count(g))
            s += GlslType(g->type.element()) + " " + variableName(g) + ArraySuffix(g->type) + ";\n";
        if (!isStatic && g->reflectIndex >= 0) {
            auto& list = g->type.base == Base::Sampler ? out_.samplers : out_.uniforms;
            auto use = [&list](int index) {
                if (std::find(list.begin(), list.end(), index) == list.end())
                    list.push_back(index);
            };
            // A struct parameter uploads member by member; a sampler array's elements take a
            // texture unit each.
            const bool byParts = g->type.base == Base::Struct || (g->type.base == Base::Sampler && g->type.isArray());
            if (!byParts) use(g->reflectIndex);
            for (std::size_t i = 0; byParts && i < effect_.parameters.size(); ++i)
                if (effect_.parameters[i].parent == g->reflectIndex) use(static_cast<int>(i));
        }
    }
    // A static local keeps its value from one call to the next: it lives outside the function.
    for (const VarDecl* v : staticLocals_)
        s += GlslType(v->type.element()) + " " + variableName(v) + ArraySuffix(v->type) + ";\n";
    return s;
}

std::string Emitter::staticInits() {
    std::string s;
    for (const VarDecl* g : globals_)
        if (written_.count(g)) s += "    " + variableName(g) + " = " + UserName(g->name) + ";\n";
    // Statics are set in the order their initialisers need: one that reads other statics
    // after them (globals_ lists them in the order of first use, which differs).
    std::set<const VarDecl*> done;
    std::function<void(const VarDecl*)> setStatic = [&](const VarDecl* g) {
        if (!done.insert(g).second) return;
        std::function<void(const Expr*)> reads = [&](const Expr* e) {
            if (!e) return;
            if (e->kind == ExprKind::Name && e->var && e->var->isGlobal && (e->var->storage & kStorageStatic) &&
                std::find(globals_.begin(), globals_.end(), e->var) != globals_.end())
                setStatic(e->var);
            for (const Expr* a : e->args) reads(a);
        };
        reads(g->init);
        if (!g->folded.empty()) return;  // declared with its value
        s += "    " + UserName(g->name) + " = " + (g->init ? expr(g->init) : zero(g->type)) + ";\n";
    };
    for (const VarDecl* g : globals_)
        if ((g->storage & kStorageStatic) && g->folded.empty()) setStatic(g);
    for (const VarDecl* v : staticLocals_)  // set once, before the entry point runs
        s += "    " + variableName(v) + " = " + (v->init ? expr(v->init) : zero(v->type)) + ";\n";
    return s;
}

std::string Emitter::function(const FuncDecl* f) {
    std::string s = signature(f) + "\n";
    indent_ = 0;
    frozenReturns_ = f->frozenReturns;
    s += frozenReturns_ ? frozenFunction(f) : stmt(f->body);
    frozenReturns_ = false;
    return s;
}

std::string Emitter::signature(const FuncDecl* f) {
    std::string s = GlslType(f->ret) + " " + FunctionName(f) + "(";
    for (std::size_t i = 0; i < f->params.size(); ++i) {
        const VarDecl* p = f->params[i];
        if (i) s += ", ";
        const unsigned io = p->storage & (kStorageIn | kStorageOut);
        if (io == (kStorageIn | kStorageOut)) s += "inout ";
        else if (io == kStorageOut) s += "out ";
        s += GlslType(p->type.element()) + " " + UserName(p->name) + ArraySuffix(p->type);
    }
    return s + ")";
}

// The GLSL path to an IoVar inside the wrapper's locals ("fx_p1.hmember").
std::string Emitter::ioPath(const FuncDecl& f, const IoVar& io) {
    std::string s = io.param < 0 ? "fx_ret" : "fx_p" + std::to_string(io.param);
    Type t = io.param < 0 ? f.ret : f.params[static_cast<std::size_t>(io.param)]->type;
    for (int m : io.path) {
        s += "." + UserName(t.st->members[static_cast<std::size_t>(m)]->name);
        t = t.st->members[static_cast<std::size_t>(m)]->type;
    }
    if (io.element >= 0) s += "[" + std::to_string(io.element) + "]";
    return s;
}

std::string Emitter::Pad4(const std::string& value, const Type& t) {
    // A vec4 from a scalar or vector, with Direct3D's defaults (0, 0, 0, 1) behind it.
    const int n = t.cols;
    const std::string v = t.base == Base::Float ? value : (n == 1 ? "float" : "vec" + std::to_string(n)) + std::string("(") + value + ")";
    switch (n) {
        case 1: return "vec4(" + v + ", 0.0, 0.0, 1.0)";
        case 2: return "vec4(" + v + ", 0.0, 1.0)";
        case 3: return "vec4(" + v + ", 1.0)";
        default: return v;
    }
}

// "vec4 source" narrowed to the input's type.
std::string Emitter::fromVec4(const std::string& source, const Type& t) {
    return convertText(source, Type::Vector(Base::Float, 4), t);
}

// Declares the entry's parameters and return value as locals, calls it, and returns the
// call statement. Inputs are assigned by "input(io)".
std::string Emitter::callEntry(const EntryPoint& entry, const std::vector<IoVar>& inputs,
                               const std::function<std::string(const IoVar&)>& input) {
    const FuncDecl& f = *entry.func;
    std::string s;
    auto bound = [&](std::size_t i) { return i < entry.boundArgs.size() ? entry.boundArgs[i] : nullptr; };
    for (std::size_t i = 0; i < f.params.size(); ++i) {
        if (bound(i)) continue;
        const VarDecl* p = f.params[i];
        s += "    " + GlslType(p->type.element()) + " fx_p" + std::to_string(i) + ArraySuffix(p->type) + ";\n";
    }
    for (const IoVar& io : inputs) s += "    " + ioPath(f, io) + " = " + input(io) + ";\n";
    std::string callText = FunctionName(&f) + "(";
    for (std::size_t i = 0; i < f.params.size(); ++i) {
        if (i) callText += ", ";
        callText += bound(i) ? expr(bound(i)) : "fx_p" + std::to_string(i);
    }
    callText += ")";
    if (f.ret.base != Base::Void) {
        s += "    " + GlslType(f.ret) + " fx_ret = " + callText + ";\n";
    } else {
        s += "    " + callText + ";\n";
    }
    return s;
}

// Under ShadeMode FLAT the colours are not interpolated: each triangle takes its first vertex's
// (the graphics layer sets GL's first-vertex convention, Direct3D's).
std::string Emitter::interpolation(const std::string& sem) const {
    return out_.fixedStage.flatShade && sem.rfind("COLOR", 0) == 0 ? "flat " : "";
}

// A vertex shader's PSIZE output sizes the points it draws, as on Direct3D (at least one pixel).
std::string Emitter::pointSize(const std::vector<std::string>& varyings) {
    if (std::find(varyings.begin(), varyings.end(), "PSIZE0") == varyings.end()) return "";
    out_.shaderPointSize = true;
    return "    gl_PointSize = max(fx_v_PSIZE0.x, 1.0);\n";
}

// The distance of "position" to each user clip plane the pass sets (ClipPlane[n]).
std::string Emitter::clipDistances(const std::string& position, std::string& decls) {
    if (target_ == GlslTarget::Es300) return "";
    std::string s;
    for (int n = 0; n < 6; ++n) {
        const std::string u = "fx_clip" + std::to_string(n);
        if (std::none_of(out_.fixedValues.begin(), out_.fixedValues.end(),
                         [&](const FixedValue& f) { return f.uniform == u; }))
            continue;
        out_.clipPlanes |= 1u << n;
        decls += "uniform vec4 " + u + ";\n";
        s += "    gl_ClipDistance[" + std::to_string(n) + "] = dot(" + u + ", " + position + ");\n";
    }
    return s;
}

std::string Emitter::vertexMain(const EntryPoint& entry, const EntryPoint* pixel) {
    std::string decls, s = "void main()\n{\n" + staticInits();
    std::vector<IoVar> ins, outs;
    std::set<std::string> attributes;
    auto attribute = [&](const std::string& sem) {
        const std::string name = "fx_a_" + sem;
        if (attributes.insert(sem).second) {
            const int loc = SemanticLocation(sem);
            decls += "layout(location = " + std::to_string(loc) + ") in vec4 " + name + ";\n";
            out_.inputs.push_back({sem, loc, 4});
        }
        return name;
    };
    std::vector<std::string> varyings;
    auto varying = [&](const std::string& sem) {
        if (std::find(varyings.begin(), varyings.end(), sem) == varyings.end()) {
            varyings.push_back(sem);
            decls += interpolation(sem) + "out vec4 fx_v_" + sem + ";\n";
        }
        return "fx_v_" + sem;
    };
    auto clip = [](const std::string& p) {
        return "    gl_Position = vec4(" + p + ".x, -" + p + ".y, 2.0 * " + p + ".z - " + p +
               ".w, " + p + ".w);\n";
    };
    if (entry.program) {
        // An assembly vertex shader.
        assembly::GlslHooks hooks;
        hooks.attribute = [&](const std::string& sem) {
            return SemanticLocation(sem) < 0 ? std::string("vec4(0.0)") : attribute(sem);
        };
        hooks.varying = varying;
        const assembly::GlslStage a = assembly::ToGlsl(*entry.program, hooks);
        writtenVaryings_ = varyings;
        const std::string distances = clipDistances("fx_position", decls);
        return a.declarations + decls + a.functions + s + a.body + clip("fx_position") + distances +
               pointSize(varyings) + "}\n";
    } else if (entry.func) {
        CollectIo(*entry.func, entry.boundArgs, ins, outs);
        for (const IoVar& io : ins) {
            if (SemanticLocation(io.semantic) < 0) {
                // No attribute for this semantic: the input reads as zero.
                continue;
            }
            attribute(io.semantic);
        }
        s += callEntry(entry, ins, [&](const IoVar& io) {
            if (SemanticLocation(io.semantic) < 0) return zero(io.type);
            return fromVec4(attributeValue(io.semantic, "fx_a_" + io.semantic), io.type);
        });
        for (const IoVar& io : outs) {
            const std::string value = Pad4(ioPath(*entry.func, io), io.type);
            if (io.semantic == "POSITION0") {
                s += "    vec4 fx_position = " + value + ";\n" + clip(std::string("fx_position")) +
                     clipDistances("fx_position", decls);
            } else {
                s += "    " + varying(io.semantic) + " = " + value + ";\n";
            }
        }
        s += pointSize(varyings);
    } else {
        // No vertex shader: Direct3D's fixed-function vertex processing: the position by
        // world * view * projection, then what the pixel stage reads: colours, coordinates and
        // any other input of the semantic's attribute (glsl_fixed.cpp).
        decls += "uniform mat4 fx_ff_wvp;\n";
        s += "    vec4 fx_position = fx_ff_wvp * " + attribute("POSITION0") + ";\n" +
             clip("fx_position");
        const std::string distances = clipDistances("(fx_ff_world * " + attribute("POSITION0") + ")", decls);
        if (!distances.empty()) decls += "uniform mat4 fx_ff_world;\n";
        s += distances;
        std::vector<std::string> outputs;
        auto output = [&](const std::string& sem) {
            if (SemanticLocation(sem) >= 0 || sem.rfind("FFTC", 0) == 0)
                if (std::find(outputs.begin(), outputs.end(), sem) == outputs.end()) outputs.push_back(sem);
        };
        if (pixel && pixel->program) {
            for (const std::string& sem : pixel->program->inputs) output(sem);
        } else if (pixel && pixel->func) {
            CollectIo(*pixel->func, pixel->boundArgs, ins, outs);
            for (const IoVar& io : ins)
                if (io.semantic != "POSITION0") output(io.semantic);
        } else {
            // The fixed-function pixel stage reads the diffuse and specular colours and each
            // stage's coordinates.
            output("COLOR0");
            output("COLOR1");
            for (std::size_t n = 0; n < out_.stages.size(); ++n) output("FFTC" + std::to_string(n));
        }
        s += fixedVertex(outputs, decls, attribute, varying);
    }
    writtenVaryings_ = varyings;
    return decls + s + "}\n";
}

// With PointSpriteEnable every texture coordinate a pixel shader reads runs from 0 to 1 across
// the point, (0, 0) at its top left, as the generated stages read it.
constexpr const char* kSpriteCoordinates = "vec4(gl_PointCoord.x, 1.0 - gl_PointCoord.y, 0.0, 1.0)";

}  // namespace platform::gfx::fx::glsl

namespace platform::gfx::fx {

// "glsl" with each of its lines (without its line break) appended to the result by "edit",
// the line breaks kept.
template <typename Edit>
static std::string EditLines(const std::string& glsl, Edit edit) {
    std::string out;
    std::size_t at = 0;
    while (at < glsl.size()) {
        const std::size_t end = std::min(glsl.find('\n', at), glsl.size());
        edit(std::string_view(glsl).substr(at, end - at), out);
        if (end < glsl.size()) out += '\n';
        at = end + 1;
    }
    return out;
}

// The varyings are declared one a line, "in vec4 fx_v_<SEMANTIC>;" (out in the vertex stage),
// after "flat " where they are not interpolated.
std::string WithFlatColours(const std::string& glsl) {
    return EditLines(glsl, [](std::string_view line, std::string& out) {
        if (line.rfind("in vec4 fx_v_COLOR", 0) == 0 || line.rfind("out vec4 fx_v_COLOR", 0) == 0) out += "flat ";
        out += line;
    });
}

// A coordinate input (a shader's TEXCOORDn, the generated stage's FFTCn) becomes a name for
// the point's coordinates.
std::string WithSpriteCoordinates(const std::string& fragmentGlsl) {
    return EditLines(fragmentGlsl, [](std::string_view line, std::string& out) {
        if ((line.rfind("in vec4 fx_v_TEXCOORD", 0) == 0 || line.rfind("in vec4 fx_v_FFTC", 0) == 0) &&
            line.back() == ';') {
            out += "#define " + std::string(line.substr(8, line.size() - 9)) + " " + glsl::kSpriteCoordinates;
        } else {
            out += line;
        }
    });
}

}  // namespace platform::gfx::fx

namespace platform::gfx::fx::glsl {

std::string Emitter::fragmentMain(const EntryPoint& entry, const EntryPoint* vertex) {
    std::string decls, s = "void main()\n{\n" + staticInits();
    std::set<std::string> declared;
    auto input = [&](const IoVar& io) -> std::string {
        if (io.semantic == "VPOS0")
            return fromVec4("vec4(gl_FragCoord.xy - 0.5, 0.0, 1.0)", io.type);
        if (io.semantic == "VFACE0")
            return convertText("(gl_FrontFacing ? 1.0 : -1.0)", Type::Scalar(Base::Float), io.type);
        if (io.semantic == "POSITION0")
            return fromVec4("vec4(gl_FragCoord.xy, gl_FragCoord.z, 1.0 / gl_FragCoord.w)", io.type);
        if (out_.fixedStage.pointSprite && io.semantic.rfind("TEXCOORD", 0) == 0)
            return fromVec4(kSpriteCoordinates, io.type);
        if (std::find(writtenVaryings_.begin(), writtenVaryings_.end(), io.semantic) ==
            writtenVaryings_.end())
            return zero(io.type);
        if (declared.insert(io.semantic).second) decls += interpolation(io.semantic) + "in vec4 fx_v_" + io.semantic + ";\n";
        return fromVec4("fx_v_" + io.semantic, io.type);
    };
    if (entry.program) {
        // An assembly pixel shader reads the varyings of its inputs' semantics.
        assembly::GlslHooks hooks;
        hooks.input = [&](const std::string& sem) -> std::string {
            if (out_.fixedStage.pointSprite && sem.rfind("TEXCOORD", 0) == 0) return kSpriteCoordinates;
            if (std::find(writtenVaryings_.begin(), writtenVaryings_.end(), sem) == writtenVaryings_.end()) return "";
            if (declared.insert(sem).second) decls += interpolation(sem) + "in vec4 fx_v_" + sem + ";\n";
            return "fx_v_" + sem;
        };
        const assembly::GlslStage a = assembly::ToGlsl(*entry.program, hooks);
        const std::string test = alphaTest("fx_o_COLOR0", decls);
        return a.declarations + decls + a.functions + s + a.body + srgbWrite("fx_o_COLOR0") + test + "}\n";
    } else if (entry.func) {
        std::vector<IoVar> ins, outs;
        CollectIo(*entry.func, entry.boundArgs, ins, outs);
        s += callEntry(entry, ins, input);
        for (const IoVar& io : outs) {
            const std::string value = ioPath(*entry.func, io);
            if (io.semantic == "DEPTH0") {
                s += "    gl_FragDepth = " + convertText(value, io.type, Type::Scalar(Base::Float)) + ";\n";
                continue;
            }
            const int index = io.semantic.back() - '0';
            const std::string name = "fx_o_" + io.semantic;
            if (declared.insert(name).second)
                decls += "layout(location = " + std::to_string(index) + ") out vec4 " + name + ";\n";
            s += "    " + name + " = " + Pad4(value, io.type) + ";\n";
            if (index != 0) {
                s += srgbWrite(name);
                continue;
            }
            // Below model 3 the fixed-function fog still blends a pixel shader's colour.
            if (entry.profile.rfind("ps_3", 0) != 0)
                s += fixedPixelTail(name, !(vertex && vertex->present()), decls,
                                    [](const std::string&, const char* absent) { return std::string(absent); }, false);
            s += srgbWrite(name) + alphaTest(name, decls);
        }
    } else {
        s += fixedPixelStages(vertex && vertex->present(), decls);
    }
    return decls + s + "}\n";
}

namespace {

// A texture-stage argument (D3DTA_*) as GLSL: the register it names, then COMPLEMENT (1 - x)
// and ALPHAREPLICATE (x.aaaa).
std::string StageArgument(std::uint32_t arg, int stage, const TextureStage& t) {
    static const char* const kRegisters[] = {"fx_diffuse", "fx_current", "fx_texel", "fx_ff_tfactor",
                                             "fx_specular", "fx_temp"};
    std::string x;
    if ((arg & 0xF) == 6) {
        const std::uint32_t c = t.constant;
        char buf[96];
        std::snprintf(buf, sizeof buf, "vec4(%.9g, %.9g, %.9g, %.9g)", ((c >> 16) & 0xFF) / 255.0,
                      ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0, ((c >> 24) & 0xFF) / 255.0);
        x = buf;
    } else {
        x = kRegisters[std::min<std::uint32_t>(arg & 0xF, 5)];
    }
    (void)stage;
    if (arg & 0x10) x = "(vec4(1.0) - " + x + ")";
    if (arg & 0x20) x = x + ".aaaa";
    return x;
}

// A D3DTOP_* operation on arguments a1, a2, a0 ("alpha": the alpha channel's, on floats).
// "blend" holds the alpha the BLEND*ALPHA operations weigh with.
std::string StageOperation(std::uint32_t op, bool alpha, const std::string& a1, const std::string& a2,
                           const std::string& a0, const std::string& a1Alpha) {
    switch (op) {
        case 2: return a1;                                          // SELECTARG1
        case 3: return a2;                                          // SELECTARG2
        case 4: return a1 + " * " + a2;                             // MODULATE
        case 5: return "2.0 * " + a1 + " * " + a2;                  // MODULATE2X
        case 6: return "4.0 * " + a1 + " * " + a2;                  // MODULATE4X
        case 7: return a1 + " + " + a2;                             // ADD
        case 8: return a1 + " + " + a2 + " - 0.5";                  // ADDSIGNED
        case 9: return "2.0 * (" + a1 + " + " + a2 + " - 0.5)";     // ADDSIGNED2X
        case 10: return a1 + " - " + a2;                            // SUBTRACT
        case 11: return a1 + " + " + a2 + " * (1.0 - " + a1 + ")";  // ADDSMOOTH
        case 12: return "mix(" + a2 + ", " + a1 + ", fx_diffuse.a)";   // BLENDDIFFUSEALPHA
        case 13: return "mix(" + a2 + ", " + a1 + ", fx_texel.a)";     // BLENDTEXTUREALPHA
        case 14: return "mix(" + a2 + ", " + a1 + ", fx_ff_tfactor.a)";  // BLENDFACTORALPHA
        case 15: return a1 + " + " + a2 + " * (1.0 - fx_texel.a)";  // BLENDTEXTUREALPHAPM
        case 16: return "mix(" + a2 + ", " + a1 + ", fx_current.a)";   // BLENDCURRENTALPHA
        case 17: return a1 + " * fx_next" + (alpha ? ".a" : ".rgb");  // PREMODULATE
        case 18: return alpha ? a1 : a1 + " + " + a1Alpha + " * " + a2;            // MODULATEALPHA_ADDCOLOR
        case 19: return alpha ? a1 : a1 + " * " + a2 + " + " + a1Alpha;            // MODULATECOLOR_ADDALPHA
        case 20: return alpha ? a1 : "(1.0 - " + a1Alpha + ") * " + a2 + " + " + a1;  // MODULATEINVALPHA_ADDCOLOR
        case 21: return alpha ? a1 : "(vec3(1.0) - " + a1 + ") * " + a2 + " + " + a1Alpha;  // MODULATEINVCOLOR_ADDALPHA
        case 24:                                                    // DOTPRODUCT3
            return alpha ? a1 : "vec3(dot(2.0 * " + a1 + " - 1.0, 2.0 * " + a2 + " - 1.0))";
        case 25: return a0 + " + " + a1 + " * " + a2;               // MULTIPLYADD
        case 26: return "mix(" + a2 + ", " + a1 + ", " + a0 + ")";  // LERP
        default: return a1;
    }
}

}  // namespace

// No pixel shader: Direct3D's texture-stage cascade. Each stage samples its texture (white
// where the stage has none), computes its colour and alpha operations on its arguments,
// clamps to 0-1 and writes CURRENT (or TEMP). Stage 0's CURRENT is the diffuse colour. A
// DOTPRODUCT3 colour operation also gives the stage's alpha; a BUMPENVMAP stage perturbs the
// next stage's coordinates. "shaded": the vertex stage is a
// shader, so stage n samples with coordinate set n (TexCoordIndex acts only without one).
std::string Emitter::fixedPixelStages(bool shaded, std::string& decls) {
    auto written = [&](const std::string& sem) {
        return std::find(writtenVaryings_.begin(), writtenVaryings_.end(), sem) != writtenVaryings_.end();
    };
    std::set<std::string> inputs;
    auto input = [&](const std::string& sem, const char* absent) -> std::string {
        if (!written(sem)) return absent;
        if (inputs.insert(sem).second) decls += interpolation(sem) + "in vec4 fx_v_" + sem + ";\n";
        return "fx_v_" + sem;
    };
    decls += "layout(location = 0) out vec4 fx_o_COLOR0;\nuniform int fx_ff_textured;\n"
             "uniform vec4 fx_ff_tfactor;\n";
    std::string s = "    vec4 fx_diffuse = " + input("COLOR0", "vec4(1.0)") + ";\n" +
                    "    vec4 fx_specular = " + input("COLOR1", "vec4(0.0)") + ";\n" +
                    "    vec4 fx_current = fx_diffuse, fx_temp = vec4(0.0), fx_texel, fx_bump = vec4(0.0);\n";
    // The texel of stage n (white where the stage has no texture). The generated vertex stage
    // hands each stage its coordinates (divided here when its transform is PROJECTED); a vertex
    // shader's set n goes to stage n. Point sprites cover the texture across the point. After
    // a BUMPENVMAP stage, its texel's (du, dv) move these coordinates through its bump matrix.
    std::set<std::size_t> samplersDeclared;
    bool premodulated = false;  // fx_next is declared
    auto texel = [&](std::size_t n) {
        const std::string unit = std::to_string(n);
        std::string coords;
        if (out_.fixedStage.pointSprite) {
            coords = std::string(kSpriteCoordinates) + ".xy";
        } else if (shaded) {
            coords = input("TEXCOORD" + unit, "vec4(0.0)") + ".xy";
        } else {
            const std::string tc = input("FFTC" + unit, "vec4(0.0, 0.0, 0.0, 1.0)");
            coords = tc + ".xy / " + tc + ".w";
        }
        const std::uint32_t before = n > 0 ? out_.stages[n - 1].colorOp : 0;
        const std::string b = std::to_string(n - 1);
        if (before == 22 || before == 23) {
            if (samplersDeclared.insert(100 + n).second) decls += "uniform vec4 fx_ff_bump" + b + ";\n";
            coords = "(" + coords + " + mat2(fx_ff_bump" + b + ".xy, fx_ff_bump" + b + ".zw) * fx_bump.xy)";
        }
        if (samplersDeclared.insert(n).second) decls += "uniform sampler2D fx_ff_stage" + unit + ";\n";
        return "(fx_ff_textured & " + std::to_string(1 << n) + ") != 0 ? texture(fx_ff_stage" + unit + ", " +
               coords + ") : vec4(1.0)";
    };
    for (std::size_t n = 0; n < out_.stages.size(); ++n) {
        const TextureStage& t = out_.stages[n];
        const std::uint32_t before = n > 0 ? out_.stages[n - 1].colorOp : 0;
        const std::string b = std::to_string(n - 1);
        s += "    fx_texel = " + texel(n) + ";\n";
        // PREMODULATE modulates the stage's first argument with the next stage's texture (a
        // last stage has none: white); the next stage samples it again for its own use.
        if (t.colorOp == 17 || t.alphaOp == 17) {
            s += std::string(premodulated ? "    " : "    vec4 ") + "fx_next = " +
                 (n + 1 < out_.stages.size() ? texel(n + 1) : std::string("vec4(1.0)")) + ";\n";
            premodulated = true;
        }
        if (before == 23) {
            decls += "uniform vec4 fx_ff_bumpl" + b + ";\n";
            s += "    fx_texel.rgb *= clamp(fx_bump.z * fx_ff_bumpl" + b + ".x + fx_ff_bumpl" + b + ".y, 0.0, 1.0);\n";
        }
        if (t.colorOp == 22 || t.colorOp == 23) {  // a bump stage leaves CURRENT as it is
            s += "    fx_bump = fx_texel;\n";
            continue;
        }
        const std::string c1 = StageArgument(t.colorArg1, static_cast<int>(n), t);
        const std::string colour = StageOperation(
            t.colorOp, false, c1 + ".rgb", StageArgument(t.colorArg2, static_cast<int>(n), t) + ".rgb",
            StageArgument(t.colorArg0, static_cast<int>(n), t) + ".rgb", c1 + ".a");
        std::string alpha;
        if (t.colorOp == 24) alpha = "fx_c.r";
        else if (t.alphaOp == 1) alpha = "fx_current.a";
        else
            alpha = StageOperation(t.alphaOp, true, StageArgument(t.alphaArg1, static_cast<int>(n), t) + ".a",
                                   StageArgument(t.alphaArg2, static_cast<int>(n), t) + ".a",
                                   StageArgument(t.alphaArg0, static_cast<int>(n), t) + ".a", "");
        const std::string target = (t.resultArg & 0xF) == 5 ? "fx_temp" : "fx_current";
        s += "    {\n        vec3 fx_c = clamp(" + colour + ", 0.0, 1.0);\n" +
             "        " + target + " = vec4(fx_c, clamp(" + alpha + ", 0.0, 1.0));\n    }\n";
    }
    s += fixedPixelTail("fx_current", !shaded, decls, input);
    s += srgbWrite("fx_current") + alphaTest("fx_current", decls);
    s += "    fx_o_COLOR0 = fx_current;\n";
    return s;
}

}  // namespace platform::gfx::fx::glsl
