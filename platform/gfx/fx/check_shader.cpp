// platform/gfx/fx/check_shader.cpp: shader variables and shader arrays, the shaders a pass sets
// (a compiled function, a shader variable, or an element of a shader array picked from
// parameters when the pass begins), and the fixed-function states of passes that leave a stage
// without a shader.
#include "platform/gfx/fx/checker.h"
#include "platform/gfx/states.h"

#include <algorithm>
#include <cstdlib>

namespace platform::gfx::fx {

namespace {

bool IsNull(const Expr* v) {
    return (v->kind == ExprKind::Name && EqualsNoCase(v->text, "NULL")) ||
           (v->kind == ExprKind::IntLit && v->text == "0");
}

// Whether a state value switches its state off: FALSE, 0, DISABLE (any case, any prefix).
bool IsOff(const Expr* v) {
    if (IsNull(v) || (v->kind == ExprKind::BoolLit && v->text == "false")) return true;
    if (v->kind != ExprKind::Name) return false;
    std::string_view name = v->text;
    if (const std::size_t u = name.rfind('_'); u != std::string_view::npos) name = name.substr(u + 1);
    return EqualsNoCase(name, "FALSE") || EqualsNoCase(name, "DISABLE");
}

}  // namespace

// Whether "e" reads an effect parameter (a global that is not static).
bool ReadsParameter(const Expr* e) {
    if (e->kind == ExprKind::Name && e->var && e->var->isGlobal &&
        !(e->var->storage & kStorageStatic))
        return true;
    for (const Expr* a : e->args)
        if (ReadsParameter(a)) return true;
    return false;
}

// shader-value := compile profile function ( args ) | NULL | 0 | asm { ... }
// Appends the shader "v" gives to "out" (an empty EntryPoint for NULL); false after a
// diagnostic. Shader assembly is parsed and checked here and translated with the pass.
bool Checker::shaderValue(Expr* v, bool vertex, std::vector<EntryPoint>& out) {
    if (v->kind == ExprKind::Asm) {
        auto program = std::make_shared<assembly::Program>();
        if (!assembly::Parse(v->text, v->line, v->column, vertex, *program, diags_)) return false;
        EntryPoint e;
        e.program = std::move(program);
        e.profile = std::string(vertex ? "vs_" : "ps_") + std::to_string(e.program->major) + "_" +
                    (e.program->major == 2 && e.program->minor == 1 ? "x" : std::to_string(e.program->minor));
        out.push_back(std::move(e));
        return true;
    }
    if (IsNull(v)) {
        out.emplace_back();
        return true;
    }
    if (v->kind != ExprKind::Compile) {
        report(Diag::BadShaderValue, v, vertex ? "vertex" : "pixel");
        return false;
    }
    EntryPoint e;
    if (!checkCompile(v, vertex, e)) return false;
    out.push_back(std::move(e));
    return true;
}

// shader-global := (VertexShader | PixelShader) name ('[' size? ']')? = shader-init ;
// shader-init := shader-value | '{' shader-value (',' shader-value)* ','? '}'
// An array takes one shader per element; each is checked as a pass's shader would be.
void Checker::checkShaderGlobal(VarDecl* g) {
    const bool vertex = g->type.base == Base::VertexShader;
    const std::string name(g->name);
    if (!g->init) {
        report(Diag::BadInitializer, g->line, g->column, name, "a shader variable needs a shader");
        return;
    }
    std::vector<Expr*> values = {g->init};
    if (g->init->kind == ExprKind::Brace) values = g->init->args;
    const std::size_t expected = g->type.isArray() ? static_cast<std::size_t>(g->type.arraySize) : 1;
    if (values.size() != expected) {
        report(Diag::BadInitializer, g->line, g->column, name,
               std::to_string(values.size()) + " shaders for " + std::to_string(expected) +
                   " elements");
        return;
    }
    std::vector<EntryPoint> list;
    bool ok = true;
    for (Expr* v : values) ok = shaderValue(v, vertex, list) && ok;
    if (ok) shaderVars_[g] = std::move(list);
}

// stage-state := (VertexShader | PixelShader) = stage-value
// stage-value := shader-value | SHADER_VARIABLE | SHADER_ARRAY '[' index ']'
// (parenthesised or written <name> alike). A constant index picks its shader now; an index
// that reads parameters is kept as a program the effect object runs when the pass begins.
void Checker::passStage(StateAssign& a, bool vertex, PassPlan& pp) {
    EntryPoint& fixed = vertex ? pp.vs : pp.ps;
    StageChoice& choice = vertex ? pp.vsChoice : pp.psChoice;
    fixed = {};
    choice = {};
    scopes_.clear();
    current_ = nullptr;
    Expr* v = a.value;
    Expr* index = nullptr;
    if (v->kind == ExprKind::Index && v->args[0]->kind == ExprKind::Name) {
        index = v->args[1];
        v = v->args[0];
    } else if (v->kind != ExprKind::Name || IsNull(v)) {
        std::vector<EntryPoint> one;
        if (shaderValue(v, vertex, one)) fixed = one[0];
        return;
    }
    const VarDecl* var = lookupVar(v->text);
    if (!var || var->type.base != (vertex ? Base::VertexShader : Base::PixelShader)) {
        report(Diag::BadShaderValue, v, vertex ? "vertex" : "pixel");
        return;
    }
    const auto it = shaderVars_.find(var);
    if (it == shaderVars_.end()) return;  // the variable's own error is reported
    const std::vector<EntryPoint>& list = it->second;
    if (!index || !var->type.isArray()) {
        if (index || var->type.isArray())
            report(index ? Diag::NotIndexable : Diag::BadShaderValue, v,
                   index ? std::string(var->name) : (vertex ? "vertex" : "pixel"));
        else
            fixed = list[0];
        return;
    }
    std::vector<IndexOp> ops;
    if (!indexProgram(index, ops)) return;
    if (ops.size() == 1 && ops[0].kind == IndexOp::Constant) {
        if (ops[0].value < 0 || ops[0].value >= static_cast<int>(list.size())) {
            report(Diag::ShaderIndexRange, index, std::to_string(ops[0].value),
                   std::string(var->name), std::to_string(list.size()));
            return;
        }
        fixed = list[static_cast<std::size_t>(ops[0].value)];
        return;
    }
    choice.choices = list;
    choice.index = std::move(ops);
    fixed = list[0];
}

// index := constant | PARAMETER | ARRAY_PARAMETER '[' index ']' | index ('+' | '-' | '*' | '/') index
//        | '-' index | '(' index ')'
// Parameters are scalar numeric effect parameters; static constants fold to constants.
bool Checker::indexProgram(Expr* e, std::vector<IndexOp>& ops) {
    if (ops.empty()) {  // the whole index: type it once
        const Type t = check(e);
        if (IsPoison(t)) return false;
        if (!t.isScalar()) {
            report(Diag::TypeMismatch, e, TypeName(t), "int");
            return false;
        }
    }
    if (ops.size() > 64) {
        report(Diag::BadShaderIndex, e);
        return false;
    }
    auto scalarParameter = [](const VarDecl* v) {
        return v && v->isGlobal && v->reflectIndex >= 0 && v->type.element().isScalar();
    };
    switch (e->kind) {
        case ExprKind::Convert: return indexProgram(e->args[0], ops);
        case ExprKind::Name:
            if (scalarParameter(e->var) && !e->var->type.isArray()) {
                ops.push_back({IndexOp::Parameter, e->var->reflectIndex, 0});
                return true;
            }
            break;
        case ExprKind::Index: {
            const Expr* array = e->args[0];
            if (array->kind != ExprKind::Name || !scalarParameter(array->var) ||
                !array->var->type.isArray())
                break;
            if (!indexProgram(e->args[1], ops)) return false;
            ops.push_back({IndexOp::Element, array->var->reflectIndex, 0});
            return true;
        }
        case ExprKind::Binary: {
            const IndexOp::Kind kind = e->op == Tok::Plus    ? IndexOp::Add
                                       : e->op == Tok::Minus ? IndexOp::Subtract
                                       : e->op == Tok::Star  ? IndexOp::Multiply
                                       : e->op == Tok::Slash ? IndexOp::Divide
                                                             : IndexOp::Constant;
            if (kind == IndexOp::Constant) break;
            if (!indexProgram(e->args[0], ops) || !indexProgram(e->args[1], ops)) return false;
            ops.push_back({kind, -1, 0});
            if (kind == IndexOp::Divide && e->type.base != Base::Float)
                ops.push_back({IndexOp::Truncate, -1, 0});
            return true;
        }
        case ExprKind::Unary:
            if (e->op != Tok::Minus) break;
            ops.push_back({IndexOp::Constant, -1, 0});
            if (!indexProgram(e->args[0], ops)) return false;
            ops.push_back({IndexOp::Subtract, -1, 0});
            return true;
        default: break;
    }
    // What is left must be constant; parameters' initial values are not (they change).
    std::vector<double> value;
    evalDepth_ = 0;
    if (!ReadsParameter(e) && evalConst(e, value) && value.size() == 1) {
        ops.push_back({IndexOp::Constant, -1, static_cast<int>(value[0])});
        return true;
    }
    report(Diag::BadShaderIndex, e);
    return false;
}

// fixed-function-state := (WorldTransform '[' 0 ']' | ViewTransform | ProjectionTransform |
//                          TextureTransform '[' stage ']') '=' MATRIX_PARAMETER
//                       | Texture '[' stage ']' '=' TEXTURE_PARAMETER
// These set device state the fixed-function stages read; false for other states.
bool Checker::fixedFunctionState(StateAssign& a, PassPlan& pp) {
    static constexpr struct {
        const char* name;
        std::uint32_t code;
        int highest;
    } kTransforms[] = {
#define FX_TRANSFORM_ROW(name, code, highest) {#name, code, highest},
        GFX_TRANSFORM_STATES(FX_TRANSFORM_ROW)
#undef FX_TRANSFORM_ROW
    };
    const bool texture = EqualsNoCase(a.name, "Texture");
    std::uint32_t code = 0;
    int highest = 0;
    for (const auto& t : kTransforms)
        if (EqualsNoCase(a.name, t.name)) {
            code = t.code;
            highest = t.highest;
        }
    if (!texture && code == 0) return false;
    const Expr* v = a.value;
    const VarDecl* var = v->kind == ExprKind::Name ? lookupVar(v->text) : nullptr;
    if (texture && IsNull(v)) {
        pp.textures.push_back({static_cast<std::uint32_t>(std::max(0, a.index)), -1});
        return true;
    }
    const bool fits = var && var->isGlobal && var->reflectIndex >= 0 && !var->type.isArray() &&
                      (texture ? var->type.base == Base::Texture
                               : var->type == Type::Matrix(4, 4));
    // A transform may also come from a constant: a matrix the effect computes once (a static
    // const), or a number, which fills every element as it converts to a matrix
    // ("TextureTransform[0] = 0"). The pass keeps the values.
    std::vector<double> constant;
    bool constantMatrix = false;
    if (!texture && !fits) {
        const bool literal = v->kind == ExprKind::IntLit || v->kind == ExprKind::FloatLit ||
                             (v->kind == ExprKind::Unary && v->args[0]->kind != ExprKind::Name &&
                              v->args[0]->kind != ExprKind::Unary);
        if (var && var->isGlobal && var->reflectIndex < 0 && var->init && var->type == Type::Matrix(4, 4))
            constantMatrix = globalValue(var, constant) && constant.size() == 16;
        else if (!var && literal && evalConst(v, constant) && constant.size() == 1)
            constantMatrix = true, constant.assign(16, constant[0]);
    }
    if ((!fits && !constantMatrix) || (!texture && a.index > highest) || (texture && a.index > 7)) {
        report(Diag::BadStateValue, a.line, a.column, std::string(a.name), "");
        return true;
    }
    if (texture) {
        pp.textures.push_back({static_cast<std::uint32_t>(std::max(0, a.index)), var->reflectIndex});
    } else {
        // TextureTransform[n] is the matrix of texture stage n (D3DTS_TEXTURE0 + n).
        ParameterState t{code == 16 ? code + static_cast<std::uint32_t>(std::max(0, a.index)) : code,
                         constantMatrix ? -1 : var->reflectIndex, {}};
        if (constantMatrix) t.matrix.assign(constant.begin(), constant.end());
        pp.transforms.push_back(t);
    }
    return true;
}

// The states the generated fixed-function stages would have to honour: a pass without a
// vertex shader transforms, lights, fogs and generates and transforms texture coordinates, but
// does not blend vertices (coordinate states matter only where the pixel stage reads them); a
// pass without a pixel shader runs the texture-stage cascade (every operation and argument;
// bump mapping in the colour operation). Other settings are refused at their state (with a shader for
// the stage they are ignored).
void Checker::checkFixedFunction(const PassDecl* p, const PassPlan& pp) {
    const bool fixedVertex = !pp.vs.present() && pp.vsChoice.choices.empty();
    const bool fixedPixel = !pp.ps.present() && pp.psChoice.choices.empty();
    // What the pixel stage reads of the fixed-function vertex stage's outputs: lighting only
    // matters to colours, texture-coordinate states only to coordinates.
    bool readsColour = fixedPixel, readsCoordinates = fixedPixel;
    if (pp.ps.program) {
        for (const std::string& sem : pp.ps.program->inputs) {
            readsColour = readsColour || sem.rfind("COLOR", 0) == 0;
            readsCoordinates = readsCoordinates || sem.rfind("TEXCOORD", 0) == 0;
        }
    }
    if (pp.ps.func) {
        std::vector<IoVar> ins, outs;
        CollectIo(*pp.ps.func, pp.ps.boundArgs, ins, outs);
        for (const IoVar& io : ins) {
            readsColour = readsColour || io.semantic.rfind("COLOR", 0) == 0;
            readsCoordinates = readsCoordinates || io.semantic.rfind("TEXCOORD", 0) == 0;
        }
    }
    for (const StateAssign& a : p->states) {
        const int stage = std::max(0, a.index);
        bool vertexState = false, emulated = true;
        if (EqualsNoCase(a.name, "VertexBlend")) {
            vertexState = true;
            emulated = IsOff(a.value);
        } else if (EqualsNoCase(a.name, "TextureTransformFlags")) {
            // COUNT1-4, alone or PROJECTED.
            vertexState = true;
            const std::uint32_t f = pp.transformFlags[stage];
            emulated = !readsCoordinates || ((f & ~0x107u) == 0 && (f & 7) <= 4);
        } else if (EqualsNoCase(a.name, "TexCoordIndex")) {
            // A coordinate set, alone or with one of the camera-space generators.
            vertexState = true;
            const std::uint32_t tci = pp.stages[stage].texCoordIndex;
            emulated = !readsCoordinates || ((tci >> 16) <= 4 && (tci & 0xFFF8u) == 0);
        } else if (EqualsNoCase(a.name, "ColorOp") || EqualsNoCase(a.name, "AlphaOp")) {
            // Every operation is computed by the generated stage; bump mapping is a colour
            // operation only.
            const TextureStage& t = pp.stages[stage];
            const bool colour = EqualsNoCase(a.name, "ColorOp");
            const std::uint32_t op = colour ? t.colorOp : t.alphaOp;
            emulated = op >= 1 && op <= 26 && (colour || (op != 22 && op != 23));
        } else if (EqualsNoCase(a.name, "ColorArg0") || EqualsNoCase(a.name, "ColorArg1") ||
                   EqualsNoCase(a.name, "ColorArg2") || EqualsNoCase(a.name, "AlphaArg0") ||
                   EqualsNoCase(a.name, "AlphaArg1") || EqualsNoCase(a.name, "AlphaArg2") ||
                   EqualsNoCase(a.name, "ResultArg")) {
            std::uint32_t arg = 0;
            const TextureStage& t = pp.stages[stage];
            for (const auto& [name, v] : {std::pair<const char*, std::uint32_t>{"ColorArg0", t.colorArg0},
                                          {"ColorArg1", t.colorArg1}, {"ColorArg2", t.colorArg2},
                                          {"AlphaArg0", t.alphaArg0}, {"AlphaArg1", t.alphaArg1},
                                          {"AlphaArg2", t.alphaArg2}, {"ResultArg", t.resultArg}})
                if (EqualsNoCase(a.name, name)) arg = v;
            emulated = (arg & 0xF) <= 6 && (arg & ~0x3Fu) == 0;
        } else {
            continue;
        }
        if (emulated || !(vertexState ? fixedVertex : fixedPixel)) continue;
        report(Diag::FixedFunction, a.line, a.column, std::string(p->name),
               "'" + std::string(a.name) + "' set this way",
               vertexState ? "vertex" : "pixel");
    }
}

}  // namespace platform::gfx::fx
