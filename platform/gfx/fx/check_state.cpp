// platform/gfx/fx/check_state.cpp: effect states: the table of every state a pass or
// sampler_state block may set (built from platform/gfx/states.h), their value names, and the
// values of state assignments: constants folded now, or programs over parameters that the
// effect runs when a pass begins.
#include "platform/gfx/fx/checker.h"
#include "platform/gfx/fx/const_eval.h"
#include "platform/gfx/states.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <iterator>

namespace platform::gfx::fx {

namespace {

constexpr int kMaxStateDepth = 64;       // nesting of a state value's expression
constexpr std::size_t kMaxStateOps = 4096;  // operations of one state value's program

// A double as a 32-bit state word: values outside the 64-bit range (and NaN) give 0 instead of
// undefined behaviour, then the low 32 bits are kept as Direct3D's DWORD cast does.
std::uint32_t Word(double v) {
    if (!(std::fabs(v) < 9.2e18)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(v));
}

std::uint32_t FloatBits(double v) {
    const float f = static_cast<float>(std::clamp(v, -3.4e38, 3.4e38));
    std::uint32_t out = 0;
    std::memcpy(&out, &f, sizeof out);
    return out;
}

// A colour's four 0-1 channels (red, green, blue, alpha) as a D3DCOLOR.
std::uint32_t ColourWord(const std::vector<double>& v) {
    auto byte = [](double x) {
        return static_cast<std::uint32_t>(std::clamp(std::isnan(x) ? 0.0 : x, 0.0, 1.0) * 255.0 + 0.5);
    };
    const double alpha = v.size() > 3 ? v[3] : 1.0;
    return byte(alpha) << 24 | byte(v[0]) << 16 | byte(v.size() > 1 ? v[1] : 0) << 8 |
           byte(v.size() > 2 ? v[2] : 0);
}

// Whether the value kind's names may be combined with '|'.
bool IsFlagKind(Checker::ValueKind k) {
    using K = Checker::ValueKind;
    return k == K::ColorWrite || k == K::Wrap || k == K::ClipPlanes || k == K::TextureArg ||
           k == K::TexCoordIndex || k == K::TextureTransform || k == K::Fvf;
}

// Whether "e", not yet checked, names a global of the effect that is not static: a
// parameter, whose value a state reads when the pass begins.
bool ReadsParameterUnchecked(const Expr* e, const std::function<const VarDecl*(std::string_view)>& lookup) {
    if (e->kind == ExprKind::Name) {
        const VarDecl* v = lookup(e->text);
        return v && v->isGlobal && !(v->storage & kStorageStatic);
    }
    for (const Expr* a : e->args)
        if (ReadsParameterUnchecked(a, lookup)) return true;
    return false;
}

}  // namespace

// Runs a state value's program over "parameters" (each parameter's values as floats); false
// when the program is malformed. Shared with the effect object, which runs it at pass begin.
bool RunStateProgram(const std::vector<StateOp>& ops,
                     const std::function<double(int, int)>& parameter, double& out) {
    std::vector<double> stack;
    stack.reserve(16);
    for (const StateOp& op : ops) {
        switch (op.kind) {
            case StateOp::Constant: stack.push_back(op.value); continue;
            case StateOp::Parameter: stack.push_back(parameter(op.parameter, op.component)); continue;
            default: break;
        }
        if (op.kind == StateOp::Intrinsic) {
            const auto count = static_cast<std::size_t>(op.component);
            double args[3] = {0, 0, 0}, r = 0;
            if (count == 0 || count > 3 || stack.size() < count) return false;
            for (std::size_t j = 0; j < count; ++j) args[j] = stack[stack.size() - count + j];
            if (!FoldIntrinsic(op.parameter, args, op.component, r)) return false;
            stack.resize(stack.size() - count);
            stack.push_back(r);
            continue;
        }
        const bool unary = op.kind == StateOp::Negate || op.kind == StateOp::BitNot ||
                           op.kind == StateOp::LogicalNot || op.kind == StateOp::Truncate ||
                           op.kind == StateOp::ToInt || op.kind == StateOp::ToUint ||
                           op.kind == StateOp::ToBool;
        if (unary) {
            if (stack.empty()) return false;
            double& a = stack.back();
            if (op.kind == StateOp::Negate) ConstUnary(Tok::Minus, ConstMode::Float, a, a);
            else if (op.kind == StateOp::BitNot) ConstUnary(Tok::Tilde, ConstMode::Uint, a, a);
            else if (op.kind == StateOp::LogicalNot) ConstUnary(Tok::Bang, ConstMode::Float, a, a);
            else if (op.kind == StateOp::ToInt) a = ConstConvert(ConstMode::Int, a);
            else if (op.kind == StateOp::ToUint) a = ConstConvert(ConstMode::Uint, a);
            else if (op.kind == StateOp::ToBool) a = ConstConvert(ConstMode::Bool, a);
            else a = std::isfinite(a) ? std::trunc(a) : 0.0;
            continue;
        }
        if (op.kind == StateOp::Select) {
            if (stack.size() < 3) return false;
            const double no = stack.back();
            stack.pop_back();
            const double yes = stack.back();
            stack.pop_back();
            stack.back() = stack.back() != 0.0 ? yes : no;
            continue;
        }
        if (stack.size() < 2) return false;
        const double b = stack.back();
        stack.pop_back();
        double& a = stack.back();
        // The arithmetic and comparisons are the float forms, the bit operators the uint ones;
        // a division or remainder by zero gives 0, as a state must still get a value.
        static constexpr struct {
            StateOp::Kind kind;
            Tok op;
            ConstMode mode;
        } kBinary[] = {
            {StateOp::Add, Tok::Plus, ConstMode::Float},          {StateOp::Subtract, Tok::Minus, ConstMode::Float},
            {StateOp::Multiply, Tok::Star, ConstMode::Float},     {StateOp::Divide, Tok::Slash, ConstMode::Float},
            {StateOp::Modulo, Tok::Percent, ConstMode::Float},    {StateOp::BitOr, Tok::Pipe, ConstMode::Uint},
            {StateOp::BitAnd, Tok::Amp, ConstMode::Uint},         {StateOp::BitXor, Tok::Caret, ConstMode::Uint},
            {StateOp::ShiftLeft, Tok::Shl, ConstMode::Uint},      {StateOp::ShiftRight, Tok::Shr, ConstMode::Uint},
            {StateOp::Less, Tok::Less, ConstMode::Float},         {StateOp::Greater, Tok::Greater, ConstMode::Float},
            {StateOp::LessEqual, Tok::LessEqual, ConstMode::Float}, {StateOp::GreaterEqual, Tok::GreaterEqual, ConstMode::Float},
            {StateOp::Equal, Tok::Equal, ConstMode::Float},       {StateOp::NotEqual, Tok::NotEqual, ConstMode::Float},
            {StateOp::LogicalAnd, Tok::AndAnd, ConstMode::Float}, {StateOp::LogicalOr, Tok::OrOr, ConstMode::Float},
        };
        const auto* row = std::find_if(std::begin(kBinary), std::end(kBinary),
                                       [&](const auto& r) { return r.kind == op.kind; });
        if (row == std::end(kBinary)) return false;
        if ((op.kind == StateOp::Divide || op.kind == StateOp::Modulo) && b == 0.0) {
            a = 0.0;
        } else if (ConstBinary(row->op, row->mode, a, b, a) != ConstStatus::Ok) {
            return false;
        }
    }
    if (stack.size() != 1) return false;
    out = stack[0];
    return true;
}

// The names a state value of kind "k" may use (D3DBLEND, D3DCMP, D3DTADDRESS... without
// their prefix) and their Direct3D values.
const std::vector<Checker::EnumValue>& Checker::Values(ValueKind k) {
#define FX_VALUE(n, v) {#n, v},
    static const std::vector<EnumValue> kBool = {{"TRUE", 1}, {"FALSE", 0}};
    static const std::vector<EnumValue> kZ = {GFX_ZBUFFER_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kFill = {GFX_FILL_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kShade = {GFX_SHADE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kBlend = {GFX_BLEND_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kBlendOp = {GFX_BLENDOP_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kCull = {GFX_CULL_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kCmp = {GFX_CMP_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kStencilOp = {GFX_STENCILOP_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kFogMode = {GFX_FOGMODE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kFilter = {GFX_FILTER_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kAddress = {GFX_ADDRESS_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kColorWrite = {GFX_COLORWRITE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kWrap = {GFX_WRAP_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kMaterial = {GFX_MATERIALSOURCE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kVertexBlend = {GFX_VERTEXBLEND_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kClip = {GFX_CLIPPLANES_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kPatch = {GFX_PATCHEDGE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kDebug = {GFX_DEBUGMONITOR_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kDegree = {GFX_DEGREE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kTextureOp = {GFX_TEXTUREOP_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kTextureArg = {GFX_TEXTUREARG_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kTexCoord = {GFX_TEXCOORDINDEX_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kTransform = {GFX_TEXTURETRANSFORM_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kLight = {GFX_LIGHTTYPE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kFvf = {GFX_FVF_VALUES(FX_VALUE)};
#undef FX_VALUE
    static const std::vector<EnumValue> kNone;
    switch (k) {
        case ValueKind::Bool: return kBool;
        case ValueKind::ZBuffer: return kZ;
        case ValueKind::Fill: return kFill;
        case ValueKind::Shade: return kShade;
        case ValueKind::Blend: return kBlend;
        case ValueKind::BlendOp: return kBlendOp;
        case ValueKind::Cull: return kCull;
        case ValueKind::Cmp: return kCmp;
        case ValueKind::StencilOp: return kStencilOp;
        case ValueKind::FogMode: return kFogMode;
        case ValueKind::Filter: return kFilter;
        case ValueKind::Address: return kAddress;
        case ValueKind::ColorWrite: return kColorWrite;
        case ValueKind::Wrap: return kWrap;
        case ValueKind::MaterialSource: return kMaterial;
        case ValueKind::VertexBlend: return kVertexBlend;
        case ValueKind::ClipPlanes: return kClip;
        case ValueKind::PatchEdge: return kPatch;
        case ValueKind::DebugMonitor: return kDebug;
        case ValueKind::Degree: return kDegree;
        case ValueKind::TextureOp: return kTextureOp;
        case ValueKind::TextureArg: return kTextureArg;
        case ValueKind::TexCoordIndex: return kTexCoord;
        case ValueKind::TextureTransform: return kTransform;
        case ValueKind::LightType: return kLight;
        case ValueKind::Fvf: return kFvf;
        default: return kNone;
    }
}

// The value of enum name "name" for a state of kind "kind": the kind's own names (with or
// without the Direct3D prefix: "D3DBLEND_ONE", "ONE"), then TRUE and FALSE, which every
// kind accepts as 1 and 0 (ColorWriteEnable = TRUE is all channels: 15 in the flag list).
bool Checker::enumValue(std::string_view name, ValueKind kind, double& out) {
    for (int pass = 0; pass < 2; ++pass) {
        for (const EnumValue& v : Values(kind))
            if (EqualsNoCase(name, v.name)) {
                out = v.value;
                return true;
            }
        if (kind == ValueKind::ColorWrite && EqualsNoCase(name, "ALL")) {
            out = 15;
            return true;
        }
        if (EqualsNoCase(name, "TRUE") || EqualsNoCase(name, "FALSE")) {
            const bool on = EqualsNoCase(name, "TRUE");
            out = on ? (kind == ValueKind::ColorWrite ? 15 : 1) : 0;
            return true;
        }
        // A second look without the Direct3D prefix ("D3DBLEND_ONE" -> "ONE"; the names of
        // D3DTOP keep their own underscores: "D3DTOP_MODULATEALPHA_ADDCOLOR").
        const std::size_t underscore = name.find('_');
        if (pass == 1 || underscore == std::string_view::npos ||
            !EqualsNoCase(name.substr(0, 3), "D3D"))
            break;
        name = name.substr(underscore + 1);
    }
    return false;
}

// Appends the program of state value "e" to "ops": names of the kind's values, literals,
// parameters (component "component" of a vector), static constants, operators, ?:, calls of
// functions whose body is one return statement, and anything the constant folder evaluates.
// False after a diagnostic.
bool Checker::stateProgram(const Expr* e, ValueKind kind, int component, std::vector<StateOp>& ops,
                           int depth) {
    if (depth > kMaxStateDepth || ops.size() > kMaxStateOps) {
        report(Diag::NestingTooDeep, e->line, e->column, std::to_string(kMaxStateDepth));
        return false;
    }
    auto push = [&](double v) {
        ops.push_back({StateOp::Constant, -1, 0, v});
        return true;
    };
    switch (e->kind) {
        case ExprKind::IntLit: return push(static_cast<std::uint32_t>(IntLiteralValue32(e->text)));
        case ExprKind::FloatLit: return push(FloatLiteralValue(e->text));
        case ExprKind::BoolLit: return push(e->text == "true" ? (kind == ValueKind::ColorWrite ? 15 : 1) : 0);
        case ExprKind::Name: {
            double v = 0;
            // A bare name is first a value of the state: "ColorArg1 = Texture" means the
            // texture argument even where a sampler is called Texture. "<NAME>" is a parameter.
            if (e->op != Tok::Less && enumValue(e->text, kind, v)) return push(v);
            const VarDecl* var = lookupVar(e->text);
            if (!var) {
                report(Diag::BadStateValue, e->line, e->column, stateName_,
               ": '" + std::string(e->text.substr(0, 40)) + "' is not a value of this state, nor a parameter");
                return false;
            }
            if (var->isGlobal && !(var->storage & kStorageStatic) && var->reflectIndex >= 0 &&
                var->type.isNumericValue() && !var->type.isArray()) {
                const int n = std::max(1, var->type.components());
                ops.push_back({StateOp::Parameter, var->reflectIndex, std::min(component, n - 1), 0});
                return true;
            }
            std::vector<double> value;
            evalDepth_ = 0;
            if (var->isGlobal && var->init && var->type.isNumericValue() && globalValue(var, value) &&
                !value.empty())
                return push(value[std::min<std::size_t>(static_cast<std::size_t>(component), value.size() - 1)]);
            report(Diag::BadStateValue, e->line, e->column, stateName_,
               ": '" + std::string(e->text.substr(0, 40)) + "' is not a numeric parameter or constant");
            return false;
        }
        case ExprKind::Unary: {
            const StateOp::Kind k = e->op == Tok::Minus  ? StateOp::Negate
                                    : e->op == Tok::Tilde ? StateOp::BitNot
                                    : e->op == Tok::Bang  ? StateOp::LogicalNot
                                                          : StateOp::Constant;
            if (e->op != Tok::Plus && k == StateOp::Constant) break;
            if (!stateProgram(e->args[0], kind, component, ops, depth + 1)) return false;
            if (k != StateOp::Constant) ops.push_back({k, -1, 0, 0});
            return true;
        }
        case ExprKind::Binary: {
            static constexpr struct {
                Tok tok;
                StateOp::Kind op;
            } kOps[] = {{Tok::Plus, StateOp::Add}, {Tok::Minus, StateOp::Subtract},
                        {Tok::Star, StateOp::Multiply}, {Tok::Slash, StateOp::Divide},
                        {Tok::Percent, StateOp::Modulo}, {Tok::Pipe, StateOp::BitOr},
                        {Tok::Amp, StateOp::BitAnd}, {Tok::Caret, StateOp::BitXor},
                        {Tok::Shl, StateOp::ShiftLeft}, {Tok::Shr, StateOp::ShiftRight},
                        {Tok::Less, StateOp::Less}, {Tok::Greater, StateOp::Greater},
                        {Tok::LessEqual, StateOp::LessEqual}, {Tok::GreaterEqual, StateOp::GreaterEqual},
                        {Tok::Equal, StateOp::Equal}, {Tok::NotEqual, StateOp::NotEqual},
                        {Tok::AndAnd, StateOp::LogicalAnd}, {Tok::OrOr, StateOp::LogicalOr}};
            for (const auto& o : kOps) {
                if (o.tok != e->op) continue;
                if (!stateProgram(e->args[0], kind, component, ops, depth + 1) ||
                    !stateProgram(e->args[1], kind, component, ops, depth + 1))
                    return false;
                ops.push_back({o.op, -1, 0, 0});
                return true;
            }
            break;
        }
        case ExprKind::Brace: {
            // "MaterialAmbient = {1, 1, 1, 1};": component "component" is the list's leaf of
            // that place (nested lists read in order); a short list repeats its last leaf.
            std::vector<const Expr*> flat, todo(e->args.rbegin(), e->args.rend());
            while (!todo.empty() && flat.size() <= kMaxStateOps) {
                const Expr* a = todo.back();
                todo.pop_back();
                if (a->kind == ExprKind::Brace) todo.insert(todo.end(), a->args.rbegin(), a->args.rend());
                else flat.push_back(a);
            }
            if (flat.empty()) break;
            const std::size_t at = std::min<std::size_t>(static_cast<std::size_t>(component), flat.size() - 1);
            return stateProgram(flat[at], kind, 0, ops, depth + 1);
        }
        case ExprKind::Ternary:
            for (const Expr* a : e->args)
                if (!stateProgram(a, kind, component, ops, depth + 1)) return false;
            ops.push_back({StateOp::Select, -1, 0, 0});
            return true;
        case ExprKind::Call: {
            // A function no shader stage compiles, called for its value: the effect framework
            // evaluated its body when the pass began. One "return expression;" is what such
            // functions hold.
            const auto it = functions_.find(e->text);
            if (it == functions_.end() || !e->args.empty()) break;
            for (const FuncDecl* f : it->second) {
                const FuncDecl* d = f->definition ? f->definition : f;
                if (!d->params.empty() || !d->body) continue;
                if (!returnProgram(d->body, kind, component, ops, depth + 1)) {
                    report(Diag::BadStateValue, e->line, e->column, stateName_,
               ": '" + std::string(e->text.substr(0, 40)) + "' must return an expression, or choose one with if and else");
                    return false;
                }
                return true;
            }
            break;
        }
        case ExprKind::Cast:
        case ExprKind::Convert: {
            // A conversion of a parameter's value converts as the shader would; one to a
            // scalar reads the first component.
            const Type& to = e->kind == ExprKind::Cast ? e->castType : e->type;
            if (e->args.size() != 1 || !(to.isScalar() || to.isVector()) || !to.isNumericValue()) break;
            if (!stateProgram(e->args[0], kind, to.isScalar() ? 0 : component, ops, depth + 1)) return false;
            if (to.base == Base::Int) ops.push_back({StateOp::ToInt, -1, 0, 0});
            else if (to.base == Base::Uint) ops.push_back({StateOp::ToUint, -1, 0, 0});
            else if (to.base == Base::Bool) ops.push_back({StateOp::ToBool, -1, 0, 0});
            return true;
        }
        case ExprKind::Construct:
        case ExprKind::Member: {
            // A vector built of parameters ("BorderColor = float4(gRed, 0, 0, 1);") or a
            // swizzle of one ("gColour.bgra"): component "component" is the argument's component
            // of that place.
            if (!ReadsParameterUnchecked(e, [&](std::string_view n) { return lookupVar(n); })) break;
            Expr* m = const_cast<Expr*>(e);
            check(m);
            if (IsPoison(m->type)) return false;
            if (!(m->type.isScalar() || m->type.isVector())) break;
            if (m->kind == ExprKind::Member) {
                if (m->swizzleCount == 0 || m->matrixSwizzle) break;
                const int at = m->swizzle[std::min(component, m->swizzleCount - 1)];
                return stateProgram(m->args[0], kind, at, ops, depth + 1);
            }
            int at = std::min(component, m->type.components() - 1);
            const Expr* part = nullptr;
            if (m->args.size() == 1 && m->args[0]->type.isScalar()) {
                part = m->args[0];
                at = 0;
            }
            for (const Expr* a : m->args) {
                if (part) break;
                const int n = std::max(1, a->type.components());
                if (at < n) part = a;
                else at -= n;
            }
            if (!part) break;
            if (!stateProgram(part, kind, at, ops, depth + 1)) return false;
            if (m->type.base == Base::Int) ops.push_back({StateOp::ToInt, -1, 0, 0});
            else if (m->type.base == Base::Uint) ops.push_back({StateOp::ToUint, -1, 0, 0});
            else if (m->type.base == Base::Bool) ops.push_back({StateOp::ToBool, -1, 0, 0});
            return true;
        }
        default: break;
    }
    // What is left must fold to a constant: constructors, casts, intrinsics of constants.
    Expr* m = const_cast<Expr*>(e);
    check(m);
    if (IsPoison(m->type)) return false;
    // An intrinsic that folds one component at a time computes at pass begin when its
    // arguments read parameters: "MaxAnisotropy = max(gCaps, 4);".
    if (m->kind == ExprKind::Call && m->ref == Ref::Intrinsic && ReadsParameter(m) &&
        m->args.size() <= 3 && IntrinsicRowOf(m->intrinsic).fold && m->type.isNumericValue()) {
        for (const Expr* a : m->args)
            if (!stateProgram(a, kind, component, ops, depth + 1)) return false;
        ops.push_back({StateOp::Intrinsic, m->intrinsic, static_cast<int>(m->args.size()), 0});
        return true;
    }
    std::vector<double> value;
    evalDepth_ = 0;
    if (!m->type.isNumericValue() || ReadsParameter(m) || !evalConst(m, value) || value.empty()) {
        report(Diag::BadStateValue, e->line, e->column, stateName_,
               ": the expression is not a constant, a parameter or an operator of them");
        return false;
    }
    return push(value[std::min<std::size_t>(static_cast<std::size_t>(component), value.size() - 1)]);
}

// The program of a function body that returns a value: "return e;", or "if (c) <body> else
// <body>" with a returning body on each side (a selection). False when the body is other.
bool Checker::returnProgram(const Stmt* body, ValueKind kind, int component, std::vector<StateOp>& ops,
                            int depth) {
    if (!body || depth > kMaxStateDepth) return false;
    while (body->kind == StmtKind::Block && body->body.size() == 1) body = body->body[0];
    if (body->kind == StmtKind::Return && body->expr)
        return stateProgram(body->expr, kind, component, ops, depth + 1);
    // "if (c) return a; return b;" and "if (c) return a; else return b;"
    const Stmt* yes = nullptr;
    const Stmt* no = nullptr;
    const Stmt* test = nullptr;
    if (body->kind == StmtKind::If) {
        test = body;
        yes = body->then;
        no = body->otherwise;
    } else if (body->kind == StmtKind::Block && body->body.size() == 2 &&
               body->body[0]->kind == StmtKind::If && !body->body[0]->otherwise) {
        test = body->body[0];
        yes = test->then;
        no = body->body[1];
    }
    if (!test || !yes || !no) return false;
    return stateProgram(test->expr, ValueKind::Int, 0, ops, depth + 1) &&
           returnProgram(yes, kind, component, ops, depth + 1) &&
           returnProgram(no, kind, component, ops, depth + 1) &&
           (ops.push_back({StateOp::Select, -1, 0, 0}), true);
}

// The value of a state assignment as a constant ("constant" true, "out" the state word) or as
// a program over parameters ("expr.programs"). False after a diagnostic.
// The numbers of a state value written as a list ("{1.0, 0.5, 0, 1}", lists nested in order):
// each leaf is a constant of one or more components. False after a diagnostic.
bool Checker::braceValues(Expr* brace, std::vector<double>& out) {
    std::vector<Expr*> todo(brace->args.rbegin(), brace->args.rend());
    while (!todo.empty()) {
        Expr* a = todo.back();
        todo.pop_back();
        if (a->kind == ExprKind::Brace) {
            todo.insert(todo.end(), a->args.rbegin(), a->args.rend());
            continue;
        }
        check(a);
        std::vector<double> v;
        evalDepth_ = 0;
        if (IsPoison(a->type)) return false;
        if (!a->type.isNumericValue() || ReadsParameter(a) || !evalConst(a, v) || v.empty() ||
            out.size() + v.size() > 4096) {
            report(Diag::BadStateValue, a->line, a->column, stateName_ ? stateName_ : "",
                   ": a list's values must be constants");
            return false;
        }
        out.insert(out.end(), v.begin(), v.end());
    }
    if (out.empty()) report(Diag::BadStateValue, brace->line, brace->column, stateName_ ? stateName_ : "", ": the list is empty");
    return !out.empty();
}

bool Checker::stateValue(const Expr* e, const char* stateName, ValueKind kind, std::uint32_t& out,
                         bool& constant, StateExpression& expr) {
    expr.programs.clear();
    expr.asFloat = kind == ValueKind::Float;
    stateName_ = stateName;
    // A colour given as a vector (float4(1, 0, 0, 1), or a float4 parameter) has a program per
    // channel; one given as a number is a D3DCOLOR.
    int channels = 1;
    if (kind == ValueKind::Colour || kind == ValueKind::Vector) {
        Expr* m = const_cast<Expr*>(e);
        if (m->kind == ExprKind::Name && lookupVar(m->text)) {
            const VarDecl* v = lookupVar(m->text);
            if (v->type.isNumericValue() && v->type.components() >= 3) channels = 4;
        } else if (m->kind == ExprKind::Construct || m->kind == ExprKind::Member) {
            check(m);
            if (IsPoison(m->type)) return false;
            if (m->type.components() >= 3) channels = 4;
        } else if (m->kind == ExprKind::Brace) {
            std::vector<double> leaves;
            if (!braceValues(m, leaves)) return false;
            if (leaves.size() >= 3) channels = 4;
        }
    }
    for (int c = 0; c < channels; ++c) {
        expr.programs.emplace_back();
        if (!stateProgram(e, kind, c, expr.programs.back(), 0)) return false;
        // A vector of three channels has an opaque alpha.
        if (c == 3 && e->kind == ExprKind::Name) {
            const VarDecl* v = lookupVar(e->text);
            if (v && v->type.components() == 3) expr.programs.back() = {{StateOp::Constant, -1, 0, 1.0}};
        }
    }
    constant = true;
    for (const auto& p : expr.programs)
        for (const StateOp& op : p) constant = constant && op.kind != StateOp::Parameter;
    if (!constant) return true;
    std::vector<double> values;
    for (const auto& p : expr.programs) {
        double v = 0;
        if (!RunStateProgram(p, [](int, int) { return 0.0; }, v)) {
            report(Diag::BadStateValue, e->line, e->column, stateName_,
               ": the expression cannot be evaluated");
            return false;
        }
        values.push_back(v);
    }
    if (channels == 4) out = ColourWord(values);
    else if (kind == ValueKind::Float) out = FloatBits(values[0]);
    else out = Word(values[0]);
    if (IsFlagKind(kind) || kind == ValueKind::Int || kind == ValueKind::Colour ||
        kind == ValueKind::Float || kind == ValueKind::Vector)
        return true;
    // An enumeration takes one of its values (TRUE/FALSE and numbers are taken as written).
    return true;
}

// The row of state "name" (any case), or null.
const Checker::StateRow* Checker::findState(const std::vector<StateRow>& rows, std::string_view name) {
    for (const StateRow& r : rows)
        if (EqualsNoCase(name, r.name)) return &r;
    return nullptr;
}

// sampler_state { name = value; ... }: the D3DSAMP_* states.
const std::vector<Checker::StateRow>& Checker::SamplerStates() {
#define FX_SAMPLER_STATE(name, ENUM, code, kind, fate, neutral, lost) \
    {#name, StateGroup::Sampler, code, ValueKind::kind, Fate::fate, neutral, lost, 15},
    static const std::vector<StateRow> rows = {GFX_SAMPLER_STATES(FX_SAMPLER_STATE)};
#undef FX_SAMPLER_STATE
    return rows;
}

// Every state a pass may set, with its group and highest index: render states, sampler states
// of a register, texture-stage states, lights, the material, transforms, shader constants and
// the object states (shaders, textures, samplers, the vertex format).
const std::vector<Checker::StateRow>& Checker::PassStates() {
#define FX_RENDER(name, ENUM, code, kind, fate, neutral, lost) \
    {#name, StateGroup::Render, code, ValueKind::kind, Fate::fate, neutral, lost, -1},
#define FX_SAMPLER(name, ENUM, code, kind, fate, neutral, lost) \
    {#name, StateGroup::Sampler, code, ValueKind::kind, Fate::fate, neutral, lost, 15},
#define FX_STAGE(name, code, kind, fate, neutral, lost) \
    {#name, StateGroup::TextureStage, code, ValueKind::kind, Fate::fate, neutral, lost, 7},
#define FX_LIGHT(name, member, kind, fate) \
    {#name, StateGroup::Light, 0, ValueKind::kind, Fate::fate, 0, "", 7},
#define FX_MATERIAL(name, member, kind, fate) \
    {#name, StateGroup::Material, 0, ValueKind::kind, Fate::fate, 0, "", -1},
#define FX_TRANSFORM(name, code, highest) \
    {#name, StateGroup::Transform, code, ValueKind::Vector, Fate::Vertex, 0, "", highest},
#define FX_CONSTANT(name, vertex, type, registers) \
    {#name, StateGroup::ShaderConstant, vertex, ValueKind::Vector, Fate::Lost, std::string_view(#type) == "F", "", 255, registers},
#define FX_OBJECT(name, group, kind) \
    {#name, StateGroup::group, 0, ValueKind::kind, Fate::Gl, 0, "", 15},
    static const std::vector<StateRow> rows = {
        GFX_RENDER_STATES(FX_RENDER) GFX_SAMPLER_STATES(FX_SAMPLER)
        GFX_TEXTURE_STAGE_STATES(FX_STAGE) GFX_LIGHT_STATES(FX_LIGHT)
        GFX_MATERIAL_STATES(FX_MATERIAL) GFX_TRANSFORM_STATES(FX_TRANSFORM)
        GFX_SHADER_CONSTANT_STATES(FX_CONSTANT) GFX_OBJECT_STATES(FX_OBJECT)
    };
#undef FX_RENDER
#undef FX_SAMPLER
#undef FX_STAGE
#undef FX_LIGHT
#undef FX_MATERIAL
#undef FX_TRANSFORM
#undef FX_CONSTANT
#undef FX_OBJECT
    return rows;
}

int Checker::parameterIndexOf(const VarDecl* v) const { return v ? v->reflectIndex : -1; }

// sampler_state := { Texture = <tex> | (tex) | tex ; state = value ; ... }
void Checker::checkSamplerStates(const std::vector<StateAssign>& states, ParameterInfo& info) {
    for (const StateAssign& a : states) {
        if (EqualsNoCase(a.name, "Texture")) {
            Expr* v = a.value;
            const VarDecl* t = v->kind == ExprKind::Name ? lookupVar(v->text) : nullptr;
            if (!t || t->type.base != Base::Texture || !t->isGlobal) {
                report(Diag::BadSamplerState, a.line, a.column,
                       "'Texture' must name a texture parameter");
                continue;
            }
            info.texture = parameterIndexOf(t);
            continue;
        }
        if (EqualsNoCase(a.name, "Filter")) {
            samplerFilter(a, info);
            continue;
        }
        const StateRow* row = findState(SamplerStates(), a.name);
        if (!row) {
            report(Diag::UnknownState, a.line, a.column, std::string(a.name.substr(0, 40)));
            continue;
        }
        std::uint32_t value = 0;
        bool constant = false;
        StateExpression expr;
        if (!stateValue(a.value, row->name, row->kind, value, constant, expr)) continue;
        if (row->fate == Fate::Lost && (!constant || value != row->neutral))
            report(Diag::LostState, a.line, a.column, row->name, row->lost);
        if (constant) {
            info.samplerStates.push_back({row->code, value});
        } else {
            expr.sampler = true;
            expr.state = row->code;
            info.samplerExpressions.push_back(std::move(expr));
        }
    }
}

// Filter = value in a sampler_state block sets the minification, magnification and mip
// filters at once: to one filter value (Filter = LINEAR), or to those a combined name gives
// in the newer spelling, MIN_MAG_MIP_POINT, MIN_LINEAR_MAG_MIP_POINT, ANISOTROPIC and the
// like (a COMPARISON_ prefix compares nothing here, and is refused).
void Checker::samplerFilter(const StateAssign& a, ParameterInfo& info) {
    constexpr std::uint32_t kMag = 5, kMin = 6, kMip = 7, kPoint = 1, kLinear = 2, kAniso = 3;
    std::uint32_t mag = 0, min = 0, mip = 0;
    bool decoded = false;
    if (a.value->kind == ExprKind::Name && !lookupVar(a.value->text)) {
        std::string name;
        for (char c : a.value->text) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const char* prefix : {"D3D10_FILTER_", "D3D11_FILTER_", "FILTER_"})
            if (name.rfind(prefix, 0) == 0) name.erase(0, std::string_view(prefix).size());
        if (name == "ANISOTROPIC") {
            mag = min = kAniso;
            mip = kLinear;
            decoded = true;
        } else if (name.rfind("MIN_", 0) == 0 || name.rfind("MAG_", 0) == 0 || name.rfind("MIP_", 0) == 0) {
            // Each POINT or LINEAR names the filter of the stages written before it.
            bool pending[3] = {false, false, false};  // min, mag, mip
            std::uint32_t* slots[3] = {&min, &mag, &mip};
            int assigned = 0;
            decoded = true;
            std::size_t at = 0;
            while (decoded && at <= name.size()) {
                const std::size_t end = std::min(name.find('_', at), name.size());
                const std::string_view word = std::string_view(name).substr(at, end - at);
                at = end + 1;
                const int stage = word == "MIN" ? 0 : word == "MAG" ? 1 : word == "MIP" ? 2 : -1;
                if (stage >= 0) {
                    decoded = !pending[stage] && !*slots[stage];
                    pending[stage] = true;
                } else if (word == "POINT" || word == "LINEAR") {
                    for (int i = 0; i < 3; ++i)
                        if (pending[i]) {
                            *slots[i] = word == "POINT" ? kPoint : kLinear;
                            pending[i] = false;
                            ++assigned;
                        }
                } else {
                    decoded = false;
                }
            }
            decoded = decoded && assigned == 3;
            if (!decoded) {
                report(Diag::BadStateValue, a.line, a.column, "Filter",
                       ": '" + std::string(a.value->text.substr(0, 40)) + "' is not a filter this device has");
                return;
            }
        }
    }
    if (!decoded) {
        std::uint32_t value = 0;
        bool constant = false;
        StateExpression expr;
        if (!stateValue(a.value, "Filter", ValueKind::Filter, value, constant, expr)) return;
        if (!constant) {
            for (std::uint32_t code : {kMag, kMin, kMip}) {
                StateExpression e = expr;
                e.sampler = true;
                e.state = code;
                info.samplerExpressions.push_back(std::move(e));
            }
            return;
        }
        mag = min = mip = value;
    }
    info.samplerStates.push_back({kMag, mag});
    info.samplerStates.push_back({kMin, min});
    info.samplerStates.push_back({kMip, mip});
}

// A pass's state that is neither a shader, a transform nor a texture: render states, sampler
// states of a register, texture-stage states, lights, the material, shader constants, the
// sampler of a register and the vertex format. False when the state is not in the table.
bool Checker::passState(StateAssign& a, PassPlan& pp, std::vector<DeferredState>& deferred) {
    const StateRow* row = findState(PassStates(), a.name);
    if (!row) return false;
    if (a.index > row->highestIndex) {
        report(Diag::StateIndexRange, a.line, a.column, row->name,
               a.index < 0 ? "" : std::to_string(a.index), std::to_string(std::max(0, row->highestIndex)));
        return true;
    }
    const std::uint32_t index = static_cast<std::uint32_t>(std::max(0, a.index));
    if (row->group == StateGroup::Sampler && EqualsNoCase(row->name, "Sampler")) {
        // Sampler[n] = <s>: the texture and states of sampler s on register n.
        const VarDecl* s = a.value->kind == ExprKind::Name ? lookupVar(a.value->text) : nullptr;
        if (!s || s->type.base != Base::Sampler || !s->isGlobal || s->reflectIndex < 0 ||
            s->type.isArray()) {
            report(Diag::BadStateValue, a.line, a.column, "Sampler", ": it must name a sampler");
            return true;
        }
        const ParameterInfo& info = out_.parameters[static_cast<std::size_t>(s->reflectIndex)];
        pp.textures.push_back({index, info.texture});
        for (const StateValue& v : info.samplerStates) pp.samplerStates.push_back({index, v.state, v.value});
        for (StateExpression e : info.samplerExpressions) {
            e.unit = static_cast<int>(index);
            pp.stateExpressions.push_back(std::move(e));
        }
        return true;
    }
    if (row->group == StateGroup::Fvf) {
        std::uint32_t value = 0;
        bool constant = false;
        StateExpression expr;
        if (!stateValue(a.value, row->name, row->kind, value, constant, expr)) return true;
        if (!constant) {
            report(Diag::BadStateValue, a.line, a.column, "FVF", ": it must be a constant");
            return true;
        }
        pp.fvf = static_cast<int>(value);
        return true;
    }
    std::uint32_t value = 0;
    bool constant = false;
    StateExpression expr;
    if (row->group == StateGroup::ShaderConstant) {
        // Judged once the pass's shaders are known: an assembly shader reads the registers.
        deferred.push_back({&a, row, false});
        return true;
    }
    if (!stateValue(a.value, row->name, row->kind, value, constant, expr)) return true;
    switch (row->group) {
        case StateGroup::Render:
            if (constant) {
                pp.renderStates.push_back({row->code, value});
            } else {
                expr.state = row->code;
                pp.stateExpressions.push_back(std::move(expr));
            }
            break;
        case StateGroup::Sampler:
            if (constant) {
                pp.samplerStates.push_back({index, row->code, value});
            } else {
                expr.sampler = true;
                expr.unit = static_cast<int>(index);
                expr.state = row->code;
                pp.stateExpressions.push_back(std::move(expr));
            }
            break;
        case StateGroup::TextureStage: {
            if ((row->code >= 7 && row->code <= 10) || row->code == 22 || row->code == 23) {
                // The bump-environment matrix and luminance of stage n: uniforms computed when
                // the pass begins (from parameters too), read by the assembly's texbem,
                // texbeml and bem and by the BUMPENVMAP operations of the generated stages.
                const bool matrix = row->code <= 10;
                const std::string uniform = (matrix ? "fx_ff_bump" : "fx_ff_bumpl") + std::to_string(index);
                auto it = std::find_if(pp.fixedValues.begin(), pp.fixedValues.end(),
                                       [&](const FixedValue& f) { return f.uniform == uniform; });
                if (it == pp.fixedValues.end()) {
                    FixedValue f{uniform, 4, {}};
                    for (int c = 0; c < 4; ++c) f.programs.push_back({{StateOp::Constant, -1, 0, 0.0}});
                    pp.fixedValues.push_back(std::move(f));
                    it = pp.fixedValues.end() - 1;
                }
                if (!expr.programs.empty())
                    it->programs[static_cast<std::size_t>(matrix ? row->code - 7 : row->code - 22)] = expr.programs[0];
                return true;
            }
            if (!constant) {
                report(Diag::BadStateValue, a.line, a.column, row->name,
                       ": a texture-stage state must be a constant");
                return true;
            }
            TextureStage& t = pp.stages[index];
            pp.stagesSet = true;
            // Direct3D's default for this stage: setting it beside a shader changes nothing.
            TextureStage initial;
            if (index == 0) {
                initial.colorOp = 4;
                initial.alphaOp = 2;
            }
            initial.texCoordIndex = index;
            const std::uint32_t defaults[] = {0, initial.colorOp, initial.colorArg1, initial.colorArg2,
                                              initial.alphaOp, initial.alphaArg1, initial.alphaArg2};
            bool unchanged = false;
            if (row->code >= 1 && row->code <= 6) unchanged = value == defaults[row->code];
            else if (row->code == 11) unchanged = value == initial.texCoordIndex;
            else if (row->code == 26 || row->code == 27 || row->code == 28) unchanged = value == 1;  // CURRENT
            else if (row->code == 24 || row->code == 32) unchanged = value == 0;
            switch (row->code) {
                case 1: t.colorOp = value; break;
                case 2: t.colorArg1 = value; break;
                case 3: t.colorArg2 = value; break;
                case 4: t.alphaOp = value; break;
                case 5: t.alphaArg1 = value; break;
                case 6: t.alphaArg2 = value; break;
                case 11: t.texCoordIndex = value; break;
                case 26: t.colorArg0 = value; break;
                case 27: t.alphaArg0 = value; break;
                case 28: t.resultArg = value; break;
                case 24: pp.transformFlags[index] = value; break;
                case 32: t.constant = value; break;
                default: break;
            }
            deferred.push_back({&a, row, unchanged});
            return true;
        }
        case StateGroup::Light:
        case StateGroup::Material: {
            // Vertex lighting reads them: a light's type and switch shape the generated
            // program, the other members are uniforms computed when the pass begins.
            const std::string_view member =
                std::string_view(row->name).substr(row->group == StateGroup::Light ? 5 : 8);
            if (row->group == StateGroup::Light && (member == "Type" || member == "Enable")) {
                if (!constant) {
                    report(Diag::BadStateValue, a.line, a.column, row->name, ": it must be a constant");
                    return true;
                }
                if (member == "Type") pp.lightTypes[index] = value;
                else if (value) pp.lightEnabled |= 1u << index;
                else pp.lightEnabled &= ~(1u << index);
                return true;
            }
            const std::string uniform = row->group == StateGroup::Light
                                            ? "fx_ff_l" + std::to_string(index) + "_" + std::string(member)
                                            : "fx_ff_m_" + std::string(member);
            auto same = [&](const FixedValue& f) { return f.uniform == uniform; };
            pp.fixedValues.erase(std::remove_if(pp.fixedValues.begin(), pp.fixedValues.end(), same),
                                 pp.fixedValues.end());
            pp.fixedValues.push_back({uniform, row->kind == ValueKind::Vector ? 4 : 1, std::move(expr.programs)});
            return true;
        }
        default: return true;
    }
    const bool off = constant && value == row->neutral;
    if (row->fate == Fate::Lost && !off)
        report(Diag::LostState, a.line, a.column, row->name, row->lost);
    // Fixed-function vertex states the generated vertex stage does not compute wait for the
    // pass's shaders; Lighting and VertexBlend are judged with the other fixed-function states.
    if ((row->fate == Fate::Vertex || row->fate == Fate::Pixel) && !EqualsNoCase(row->name, "Lighting") &&
        !EqualsNoCase(row->name, "VertexBlend"))
        deferred.push_back({&a, row, off});
    return true;
}

// The table as documentation rows: the pass states in table order, then the sampler_state
// block's.
std::vector<StateDescription> DescribeStates() {
    using C = Checker;
    auto group = [](C::StateGroup g) {
        static const char* const kNames[] = {"render", "sampler", "texture stage", "light", "material",
                                             "transform", "shader constant", "shader", "texture", "vertex format"};
        return std::string(kNames[static_cast<int>(g)]);
    };
    auto values = [](const C::StateRow& r) -> std::string {
        switch (r.kind) {
            case C::ValueKind::Int: return "number";
            case C::ValueKind::Float: return "float";
            case C::ValueKind::Colour: return "D3DCOLOR number or float4";
            case C::ValueKind::Vector: return r.group == C::StateGroup::Transform ? "float4x4 parameter" : "float4";
            default: break;
        }
        if (r.group == C::StateGroup::Shader) return "compile, shader variable, NULL";
        if (r.group == C::StateGroup::Texture) return "texture parameter, NULL";
        if (r.group == C::StateGroup::Sampler && r.code == 0) return "sampler parameter";
        std::string out;
        for (const C::EnumValue& v : C::Values(r.kind)) out += (out.empty() ? "" : " ") + std::string(v.name);
        if (IsFlagKind(r.kind)) out += " (combined with |)";
        return out;
    };
    auto fate = [](const C::StateRow& r) -> std::string {
        switch (r.fate) {
            case C::Fate::Gl: return "applied in GL";
            case C::Fate::Kept: return "stored";
            case C::Fate::Vertex: return "fixed-function vertex stage";
            case C::Fate::Pixel: return "fixed-function pixel stage";
            case C::Fate::Lost: break;
        }
        return std::string("warned: ") + (r.lost[0] ? r.lost : "shader constant registers");
    };
    std::vector<StateDescription> out;
    for (const C::StateRow& r : C::PassStates())
        out.push_back({group(r.group), r.name, r.highestIndex, values(r),
                       r.group == C::StateGroup::ShaderConstant
                           ? (r.neutral ? "assembly shaders' constant registers; warned beside HLSL shaders"
                                        : "warned: integer and boolean constant registers")
                           : fate(r)});
    for (const C::StateRow& r : C::SamplerStates())
        out.push_back({"sampler_state", r.name, -1, values(r), fate(r)});
    return out;
}

// VertexShaderConstant*[n] / PixelShaderConstant*[n] = value: for an assembly shader of that
// stage, the registers from n on take the value (a numeric parameter, read when the pass begins,
// or a constant); the programs generated from HLSL read parameters by name, so there the
// registers reach nothing and the state is warned.
void Checker::shaderConstant(const StateAssign& a, const StateRow& row, PassPlan& pp) {
    const bool vertex = row.code != 0;
    const EntryPoint& stage = vertex ? pp.vs : pp.ps;
    const bool floats = row.neutral != 0;
    if (!stage.program || !floats) {
        std::vector<double> ignored;
        stateName_ = row.name;
        if (a.value->kind == ExprKind::Brace ? !braceValues(a.value, ignored) : (check(a.value), false)) return;
        report(Diag::LostState, a.line, a.column, row.name,
               stage.program ? "integer and boolean constant registers"
                             : "shader constant registers (the generated programs read parameters by name)");
        return;
    }
    ShaderConstant c;
    c.vertex = vertex;
    c.first = std::max(0, a.index);
    const VarDecl* v = a.value->kind == ExprKind::Name ? lookupVar(a.value->text) : nullptr;
    int registers = 0;
    if (v && v->isGlobal && v->reflectIndex >= 0 && v->type.isNumericValue() && !(v->storage & kStorageStatic)) {
        c.parameter = v->reflectIndex;
        const Type& t = v->type;
        const int perElement = t.isMatrix() ? t.cols : 1;
        registers = perElement * std::max(1, t.isArray() ? t.arraySize : 1);
    } else {
        Expr* e = a.value;
        std::vector<double> value;
        evalDepth_ = 0;
        if (e->kind == ExprKind::Brace) {
            stateName_ = row.name;
            if (!braceValues(e, value)) return;
        } else {
            check(e);
        }
        if (e->kind != ExprKind::Brace &&
            (IsPoison(e->type) || !e->type.isNumericValue() || !evalConst(e, value) || value.empty())) {
            report(Diag::BadStateValue, a.line, a.column, row.name, ": expected a numeric parameter or constant");
            return;
        }
        for (double x : value) c.values.push_back(static_cast<float>(std::clamp(x, -3.4e38, 3.4e38)));
        registers = static_cast<int>((value.size() + 3) / 4);
    }
    if (row.registers > 0) registers = std::min(registers, row.registers);
    const int file = vertex ? 256 : 224;
    if (c.first + registers > file) {
        report(Diag::StateIndexRange, a.line, a.column, row.name, std::to_string(c.first + registers - 1),
               std::to_string(file - 1));
        return;
    }
    c.count = registers;
    pp.constants.push_back(std::move(c));
}

}  // namespace platform::gfx::fx
