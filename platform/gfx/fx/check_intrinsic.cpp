// platform/gfx/fx/check_intrinsic.cpp: intrinsic functions: the signature of each built-in
// function (argument count, the conversions of its arguments, its result type), texture lookups
// and mul().
#include "platform/gfx/fx/checker.h"

#include <unordered_map>
#include <unordered_set>

#include <algorithm>

namespace platform::gfx::fx {

int IntrinsicNamed(std::string_view name) {
    for (int i = 0; i < kIntrinsicCount; ++i)
        if (name == IntrinsicRowOf(i).name) return i;
    return -1;
}

// Whether the call has "lo" to "hi" arguments; reported when not.
bool Checker::arity(Expr* e, std::size_t lo, std::size_t hi) {
    if (e->args.size() >= lo && e->args.size() <= hi) return true;
    report(Diag::UnknownFunction, e, std::string(e->text),
           " taking " + std::to_string(e->args.size()) + " arguments");
    return false;
}

// The common type of all arguments (float when "floatOnly"), converting them to it.
Type Checker::unify(Expr* e, bool floatOnly) {
    Type common = e->args[0]->type;
    for (std::size_t i = 0; i < e->args.size(); ++i) {
        const Type t = e->args[i]->type;
        if (!t.isNumericValue()) {
            report(Diag::TypeMismatch, e->args[i], TypeName(t), "float");
            return Poison();
        }
        // A float1xN or floatNx1 is a matrix to the intrinsics: it does not mix with a vector.
        const Type& first = e->args[0]->type;
        const bool mixes = i > 0 && ((t.isMatrixShaped() && first.isVector() && !first.isMatrixShaped()) ||
                                     (first.isMatrixShaped() && t.isVector() && !t.isMatrixShaped()));
        if (mixes || (i > 0 && !CommonType(common, t, common))) {
            report(Diag::BadOperands, e, std::string(e->text), TypeName(t));
            return Poison();
        }
    }
    if (floatOnly || common.base == Base::Bool) common = FloatShaped(common);
    for (Expr*& a : e->args) coerce(a, common);
    return common;
}

// Whether "t" is a vector (of "size" components when not 0); reported when not.
bool Checker::requireVector(Expr* e, const Type& t, int size) {
    if (t.isVector() && (size == 0 || t.cols == size)) return true;
    report(Diag::TypeMismatch, e, TypeName(t), size ? "float" + std::to_string(size) : "vector");
    return false;
}

// texNNN(sampler, coords [, extra...]): the sampler must have dimension "dim" (a 2D sampler
// also serves 1D lookups); "coords" components of texture coordinate, and the extra
// arguments (gradients) as wide as the coordinates.
Type Checker::sampleTexture(Expr* e, Dim dim, int coords, int extraArgs) {
    if (!arity(e, 2, 2 + extraArgs)) return Poison();
    const Type s = e->args[0]->type;
    if (s.base != Base::Sampler || s.isArray()) {
        report(Diag::SamplerRequired, e, std::string(e->text));
        return Poison();
    }
    if (s.dim == Dim::None) {
        if (!useSamplerAs(e->args[0], dim)) return Poison();
    } else if (s.dim != dim && !(dim == Dim::D1 && s.dim == Dim::D2)) {
        report(Diag::TypeMismatch, e->args[0], TypeName(s),
               dim == Dim::D3 ? "sampler3D" : dim == Dim::Cube ? "samplerCUBE" : "sampler2D");
        return Poison();
    }
    for (std::size_t i = 1; i < e->args.size(); ++i) {
        const int n = i == 1 ? coords : (coords == 4 ? 2 : coords);
        coerce(e->args[i], MakeNumeric(Base::Float, 0, n));
    }
    return Type::Vector(Base::Float, 4);
}

// The kind of texture a lookup family reads; 1D lookups read 2D samplers too.
Dim SamplerKind(Dim d) { return d == Dim::D1 ? Dim::D2 : d; }

const char* SamplerTypeName(Dim d) {
    return d == Dim::D3 ? "sampler3D" : d == Dim::Cube ? "samplerCUBE" : "sampler2D";
}

// An untyped 'sampler' (a global or a parameter, "s") takes its kind from the first lookup
// that uses it. The kind belongs to each program: a global read as another kind elsewhere is
// judged when the programs are compiled (samplerKindClash); a parameter or local read as two
// kinds is an error naming both.
bool Checker::useSamplerAs(Expr* s, Dim dim) {
    const Expr* root = s;
    while (root->kind == ExprKind::Index || root->kind == ExprKind::Member) root = root->args[0];
    s->type.dim = dim;
    if (root->kind != ExprKind::Name || !root->var) return true;
    if (current_ && root->var->isGlobal)
        current_->samplerReads.push_back({root->var, dim, s->line, s->column});
    auto [use, fresh] = samplerUses_.try_emplace(root->var, SamplerUse{dim, s->line, s->column});
    if (fresh || SamplerKind(use->second.dim) == SamplerKind(dim)) return true;
    if (current_ && root->var->isGlobal) return true;
    report(Diag::SamplerKindConflict, s, std::string(root->var->name),
           SamplerTypeName(use->second.dim),
           SamplerTypeName(dim) + std::string(" (first used at (") +
               std::to_string(use->second.line) + "," + std::to_string(use->second.column) + "))");
    return false;
}

// A sampler "arg" passed to parameter "param" (by a call or by 'compile'): an untyped one on
// either side takes the other's kind; two kinds that differ are an error.
bool Checker::passSampler(Expr* arg, const VarDecl* param) {
    const Dim want = samplerUse(param), have = arg->type.dim;
    if (want == Dim::None) return true;
    if (have == Dim::None) return useSamplerAs(arg, want);
    if (SamplerKind(want) == SamplerKind(have)) return true;
    report(Diag::TypeMismatch, arg, TypeName(arg->type), SamplerTypeName(want));
    return false;
}

// Refuses an entry point "f" whose functions read one untyped global sampler as two kinds.
bool Checker::samplerKindClash(const FuncDecl* f) {
    std::vector<const FuncDecl*> todo = {f};
    std::unordered_set<const FuncDecl*> seen = {f};
    std::unordered_map<const VarDecl*, const FuncDecl::SamplerRead*> first;
    while (!todo.empty()) {
        const FuncDecl* g = todo.back();
        todo.pop_back();
        for (const FuncDecl::SamplerRead& r : g->samplerReads) {
            auto [it, fresh] = first.try_emplace(r.sampler, &r);
            if (fresh || SamplerKind(it->second->dim) == SamplerKind(r.dim)) continue;
            report(Diag::SamplerKindConflict, r.line, r.column, std::string(r.sampler->name),
                   SamplerTypeName(it->second->dim),
                   SamplerTypeName(r.dim) + std::string(" (first used at (") +
                       std::to_string(it->second->line) + "," + std::to_string(it->second->column) + "))");
            return true;
        }
        for (const FuncDecl* c : g->callees)
            if (seen.insert(c).second) todo.push_back(c);
    }
    return false;
}

// The kind an untyped sampler variable has been used as, or None.
Dim Checker::samplerUse(const VarDecl* v) const {
    if (v->type.dim != Dim::None) return v->type.dim;
    auto it = samplerUses_.find(v);
    return it == samplerUses_.end() ? Dim::None : it->second.dim;
}

// Untyped samplers keep their declared type for reflection; the GLSL declares each with the
// kind its uses gave it (a 2D sampler when unused).
void Checker::settleSamplerKinds() {
    for (const auto& [v, use] : samplerUses_)
        if (v->type.dim == Dim::None) const_cast<VarDecl*>(v)->type.dim = use.dim;
}

// An out argument of an intrinsic: assignable, of type "t" or of a numeric type of as many
// components that converts both ways (the emitter passes a temporary of type "t" and
// converts it back), as an out argument of a user function.
bool Checker::outArgument(Expr*& arg, const Type& t) {
    if (!requireOutArgument(arg)) return false;
    const Type& a = arg->type;
    if (a != t && !(a.isNumericValue() && t.isNumericValue() && a.components() == t.components() &&
                    ConversionCost(a, t, false) != kImpossible && ConversionCost(t, a, false) != kImpossible)) {
        report(Diag::TypeMismatch, arg, TypeName(arg->type), TypeName(t));
        return false;
    }
    return true;
}

// Whether the first "n" arguments are scalars or vectors (float1 included, matrices and
// float1xN / floatNx1 not); reported at the first that is not.
bool Checker::vectorArguments(Expr* e, std::size_t n) {
    for (std::size_t i = 0; i < n && i < e->args.size(); ++i) {
        const Type& t = e->args[i]->type;
        if (t.isMatrixShaped()) {
            report(Diag::TypeMismatch, e->args[i], TypeName(t), "vector");
            return false;
        }
    }
    return true;
}

// The signature of an intrinsic whose row gives its shape (intrinsics.cpp).
Type Checker::checkShaped(Expr* e, const IntrinsicRow& row) {
    using S = IntrinsicShape;
    if (!arity(e, static_cast<std::size_t>(row.minArgs), static_cast<std::size_t>(row.maxArgs)))
        return Poison();
    if (row.shape == S::Reduce) {  // any numeric shape, tested against zero
        const Type t = e->args[0]->type;
        if (!t.isNumericValue()) {
            report(Diag::TypeMismatch, e->args[0], TypeName(t), "bool");
            return Poison();
        }
        coerce(e->args[0], BoolShaped(t));
        return Type::Scalar(Base::Bool);
    }
    if (row.shape == S::Vector || row.shape == S::ToScalar)
        if (!vectorArguments(e, e->args.size())) return Poison();
    const bool floats = row.shape != S::Numeric && row.shape != S::Sign;
    const Type t = unify(e, floats);
    if (IsPoison(t)) return t;
    switch (row.shape) {
        case S::Sign: return WithBase(t, Base::Int);
        case S::ToScalar: return Type::Scalar(Base::Float);
        case S::Test: return BoolShaped(t);
        default: return t;
    }
}

// The signature of each intrinsic: its row's shape, or the hand-written rules below.
Type Checker::checkIntrinsic(Expr* e, Intrinsic k) {
    using I = Intrinsic;
    const IntrinsicRow& row = IntrinsicRowOf(static_cast<int>(k));
    // Stages and models: the row's, and a plain lookup given gradients (tex2D(s, t, dx, dy))
    // needs what the grad lookups need. Entry points are judged against these uses.
    Availability need = row.avail;
    if (row.minArgs == 2 && row.maxArgs == 4 && e->args.size() > 2) need = Availability::PixelGradients;
    if (current_ && need != Availability::Any)
        current_->stageUses.push_back({e->line, e->column, m_.keep(std::string(row.name) + "()"), need});
    if (!current_ && need == Availability::Model4) {  // a global's initial value: no model has it
        report(Diag::NotInProfile, e, std::string(row.name) + "()", "Direct3D 9", AvailabilityNeeds(need));
        return Poison();
    }
    if (row.shape != IntrinsicShape::Special) return checkShaped(e, row);
    switch (k) {
        case I::k_refract: {
            if (!arity(e, 3, 3) || !vectorArguments(e, 3)) return Poison();
            std::vector<Expr*> saved = e->args;
            e->args.resize(2);
            const Type t = unify(e, true);
            saved[0] = e->args[0];
            saved[1] = e->args[1];
            e->args = saved;
            if (IsPoison(t)) return Poison();
            if (t.isMatrix()) {
                report(Diag::TypeMismatch, e->args[0], TypeName(t), "vector");
                return Poison();
            }
            coerce(e->args[2], Type::Scalar(Base::Float));
            return t;
        }
        case I::k_cross:
            if (!arity(e, 2, 2) || !vectorArguments(e, 2)) return Poison();
            coerce(e->args[0], Type::Vector(Base::Float, 3));
            coerce(e->args[1], Type::Vector(Base::Float, 3));
            return Type::Vector(Base::Float, 3);
        case I::k_determinant: case I::k_transpose: {
            if (!arity(e, 1, 1)) return Poison();
            // A scalar is a 1x1 matrix; transpose() also takes a vector (1xN to Nx1, which
            // are both the vector here).
            const Type t = e->args[0]->type;
            const bool square = t.isScalar() || (t.isMatrix() && t.rows == t.cols);
            if (!t.isNumericValue() || (k == I::k_determinant && !square)) {
                report(Diag::TypeMismatch, e->args[0], TypeName(t), "square matrix");
                return Poison();
            }
            if (!t.isMatrix()) {
                if (k == I::k_determinant) return FloatShaped(t);
                // float1xN transposes to floatNx1 and back (the same vector).
                Type r = t;
                if (t.shape == Shape::Row && t.cols > 1) r.shape = Shape::Column;
                else if (t.shape == Shape::Column) r.shape = Shape::Row;
                return r;
            }
            return k == I::k_determinant ? Type::Scalar(Base::Float)
                                         : Type::Matrix(t.cols, t.rows);
        }
        case I::k_mul: return checkMul(e);
        case I::k_dst:  // (1, a.y * b.y, a.z, b.w): a distance vector for attenuation
            if (!arity(e, 2, 2) || !vectorArguments(e, 2)) return Poison();
            for (Expr*& a : e->args) coerce(a, Type::Vector(Base::Float, 4));
            return Type::Vector(Base::Float, 4);
        case I::k_lit:
            if (!arity(e, 3, 3)) return Poison();
            for (Expr*& a : e->args)
                if (!a->type.isScalar()) {
                    report(Diag::TypeMismatch, a, TypeName(a->type), "float");
                    return Poison();
                }
            for (Expr*& a : e->args) coerce(a, Type::Scalar(Base::Float));
            return Type::Vector(Base::Float, 4);
        case I::k_D3DCOLORtoUBYTE4:
            if (!arity(e, 1, 1)) return Poison();
            coerce(e->args[0], Type::Vector(Base::Float, 4));
            return Type::Vector(Base::Int, 4);
        case I::k_clip:
            if (!arity(e, 1, 1)) return Poison();
            if (IsPoison(unify(e, true))) return Poison();
            return Type{Base::Void, 0, 0};
        case I::k_sincos: {
            if (!arity(e, 3, 3)) return Poison();
            Type t = e->args[0]->type;
            if (!t.isNumericValue()) return unify(e, true);
            t = FloatShaped(t);
            coerce(e->args[0], t);
            if (!outArgument(e->args[1], t) || !outArgument(e->args[2], t)) return Poison();
            return Type{Base::Void, 0, 0};
        }
        case I::k_modf: case I::k_frexp: {
            if (!arity(e, 2, 2)) return Poison();
            Type t = e->args[0]->type;
            if (!t.isNumericValue()) {
                report(Diag::TypeMismatch, e->args[0], TypeName(t), "float");
                return Poison();
            }
            // modf keeps an int argument int (its fraction is then 0).
            if (k != I::k_modf || (t.base != Base::Int && t.base != Base::Uint)) t = FloatShaped(t);
            coerce(e->args[0], t);
            if (!outArgument(e->args[1], t)) return Poison();
            return t;
        }
        case I::k_tex1D: return sampleTexture(e, Dim::D1, 1, 2);
        case I::k_tex1Dlod: case I::k_tex1Dbias: case I::k_tex1Dproj:
            return sampleTexture(e, Dim::D1, 4, 0);
        case I::k_tex1Dgrad: return sampleTexture(e, Dim::D1, 1, 2);
        case I::k_tex2D: return sampleTexture(e, Dim::D2, 2, 2);
        case I::k_tex2Dlod: case I::k_tex2Dbias: case I::k_tex2Dproj:
            return sampleTexture(e, Dim::D2, 4, 0);
        case I::k_tex2Dgrad:
            if (!arity(e, 4, 4)) return Poison();
            return sampleTexture(e, Dim::D2, 2, 2);
        case I::k_tex3D: return sampleTexture(e, Dim::D3, 3, 2);
        case I::k_tex3Dlod: case I::k_tex3Dbias: case I::k_tex3Dproj:
            return sampleTexture(e, Dim::D3, 4, 0);
        case I::k_texCUBE: return sampleTexture(e, Dim::Cube, 3, 2);
        case I::k_texCUBElod: case I::k_texCUBEbias: case I::k_texCUBEproj:
            return sampleTexture(e, Dim::Cube, 4, 0);
        case I::k_tex3Dgrad: case I::k_texCUBEgrad:
            if (!arity(e, 4, 4)) return Poison();
            return sampleTexture(e, k == I::k_tex3Dgrad ? Dim::D3 : Dim::Cube, 3, 2);
        case I::k_noise:
            // Perlin noise exists for texture-fill functions only (its row's availability); a
            // shader stage that reaches a call is refused when its pass is checked.
            if (!arity(e, 1, 1) || IsPoison(unify(e, true))) return Poison();
            return Type::Scalar(Base::Float);
        default: break;
    }
    return Poison();
}

// mul(a, b): scalar products, vector x matrix (row vector), matrix x vector (column
// vector), matrix x matrix and vector . vector, with HLSL's truncation of the longer side.
Type Checker::checkMul(Expr* e) {
    if (!arity(e, 2, 2)) return Poison();
    Type a = e->args[0]->type, b = e->args[1]->type;
    if (!a.isNumericValue() || !b.isNumericValue()) {
        report(Diag::BadOperands, e, "mul", TypeName(a), " and '" + TypeName(b) + "'");
        return Poison();
    }
    const Base base = BaseRank(a.base) >= BaseRank(b.base) ? a.base : b.base;
    const Base fb = base == Base::Bool ? Base::Int : base;
    if (a.isScalar() || b.isScalar()) {
        Type r;
        CommonType(a, b, r);
        r = WithBase(r, fb);
        coerce(e->args[0], a.isScalar() ? Type::Scalar(r.base) : r);
        coerce(e->args[1], b.isScalar() ? Type::Scalar(r.base) : r);
        return r;
    }
    if (a.isVector() && b.isVector() && a.shape == Shape::Column && b.shape == Shape::Row) {
        // floatNx1 times float1xM: the NxM outer product.
        coerce(e->args[0], FloatShaped(a));
        coerce(e->args[1], FloatShaped(b));
        return Type::Matrix(a.cols, b.cols);
    }
    if (a.isVector() && b.isVector()) {
        const int n = std::min(a.cols, b.cols);
        coerce(e->args[0], Type::Vector(Base::Float, n));
        coerce(e->args[1], Type::Vector(Base::Float, n));
        return Type::Scalar(Base::Float);
    }
    // The inner dimensions (a's columns, b's rows) must agree; where they differ, the larger
    // side is truncated to the smaller with a warning, as Direct3D 9's compiler does:
    // mul(float3, float4x4) uses the matrix's first three rows, mul(float4x4, float3) its
    // first three columns, mul(float4, float3x4) the vector's first three components.
    const int inner = std::min(a.cols, b.isVector() ? b.cols : b.rows);
    if (a.isVector()) {
        coerce(e->args[0], Type::Vector(Base::Float, inner));
    } else if (a.cols != inner) {
        coerce(e->args[0], Type::Matrix(a.rows, inner));
    }
    if (b.isVector()) {
        coerce(e->args[1], Type::Vector(Base::Float, inner));
        return Type::Vector(Base::Float, a.rows);
    }
    if (b.rows != inner) coerce(e->args[1], Type::Matrix(inner, b.cols));
    if (a.isVector()) return Type::Vector(Base::Float, b.cols);
    return MakeNumeric(Base::Float, a.rows, b.cols);
}

}  // namespace platform::gfx::fx
