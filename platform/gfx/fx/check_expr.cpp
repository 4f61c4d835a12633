// platform/gfx/fx/check_expr.cpp: expression typing: operators, assignments, l-values,
// constructors, member access and swizzles, indexing, and calls of the effect's own functions
// (overload resolution).
#include "platform/gfx/fx/checker.h"

#include <algorithm>
#include <cstring>

namespace platform::gfx::fx {

// literal := [+|-] (int-literal | float-literal | true | false)
bool Checker::isLiteral(const Expr* e) {
    if (e->kind == ExprKind::Unary && (e->op == Tok::Minus || e->op == Tok::Plus))
        return isLiteral(e->args[0]);
    return e->kind == ExprKind::IntLit || e->kind == ExprKind::FloatLit ||
           e->kind == ExprKind::BoolLit;
}

// A swizzle of several matrix elements ("m._11_22") may be the target of an assignment
// ("top"), not part of a longer l-value.
bool Checker::isLvalue(const Expr* e, std::string* why, bool top) {
    switch (e->kind) {
        case ExprKind::Name:
            if (!e->var) return false;
            if (e->var->storage & kStorageConst) {
                *why = "'" + std::string(e->var->name) + "' is const";
                return false;
            }
            // A shader may write a uniform parameter: the change lasts for the rest of that
            // invocation only (the emitter gives the stage a private copy).
            if (e->var->type.base == Base::Sampler || e->var->type.base == Base::Texture)
                return false;
            return true;
        case ExprKind::Member:
            if (e->swizzleCount > 0) {
                for (int i = 0; i < e->swizzleCount; ++i)
                    for (int j = 0; j < i; ++j)
                        if (e->swizzle[i] == e->swizzle[j]) {
                            *why = "repeated swizzle component";
                            return false;
                        }
                if (e->matrixSwizzle && e->swizzleCount > 1 && !top) {
                    *why = "a matrix swizzle of several elements";
                    return false;
                }
                if (e->args[0]->type.isScalar() && e->swizzleCount > 1) {
                    *why = "a swizzle that widens a scalar";
                    return false;
                }
            }
            return isLvalue(e->args[0], why);
        case ExprKind::Index: {
            // A row of a multi-dimensional array is a run of its flat GLSL array: an
            // assignment writes it element by element, an out argument binds a copy of it
            // (requireOutArgument); a cast or an increment cannot take it.
            auto row = [](const Expr* x) {
                return x->kind == ExprKind::Index && x->type.isArray() && x->args[0]->type.inner[0] > 0;
            };
            if (row(e) && !top) {
                *why = "a row of a multi-dimensional array here";
                return false;
            }
            const Expr* base = e->args[0];
            while (row(base)) base = base->args[0];
            return isLvalue(base, why);
        }
        case ExprKind::Cast: {
            // "(float3)v = ..." writes the leading components of a vector (converted to its
            // scalar type); a cast to the value's own type writes the value.
            const Type& from = e->args[0]->type;
            const Type& to = e->castType;
            if (to == from && !to.isArray() && to.base != Base::Struct) return isLvalue(e->args[0], why);
            // "(float2x2)m = ..." of a bigger matrix writes the rows and columns it covers.
            if (to.isMatrix() && from.isMatrix() && to.rows <= from.rows && to.cols <= from.cols)
                return isLvalue(e->args[0], why);
            if ((to.isScalar() || to.isVector()) && (from.isScalar() || from.isVector()) &&
                to.components() <= from.components())
                return isLvalue(e->args[0], why);
            // A cast that reads the value's scalars in order ("(float[2])s = a", "(S)v = s",
            // "(float4)m = v") writes them in that order: the leading scalars of the value.
            const bool aggregate = to.isArray() || from.isArray() || to.base == Base::Struct ||
                                   from.base == Base::Struct;
            const bool sameCount = to.isNumericValue() && from.isNumericValue() &&
                                   (to.isMatrix() || from.isMatrix()) && !(to.isMatrix() && from.isMatrix()) &&
                                   to.components() == from.components();
            if ((aggregate || sameCount) && NumericLeaves(to) && NumericLeaves(from) &&
                ScalarCount(from) >= ScalarCount(to) && !(to.base == Base::Struct && from.isScalar()))
                return isLvalue(e->args[0], why);
            *why = "a cast that changes the type of its value";
            return false;
        }
        case ExprKind::Construct: {
            // "float4(a, b) = v" assigns v's components to the parts in order.
            int parts = 0;
            for (const Expr* a : e->args) {
                if (!isLvalue(a, why)) return false;
                parts += a->type.components();
            }
            if (parts == e->type.components() && e->type.isNumericValue()) return true;
            *why = "a constructor that does not list every component";
            return false;
        }
        default: return false;
    }
}

// Reports "e" when it cannot be assigned to.
bool Checker::requireLvalue(const Expr* e, bool assignment) {
    std::string why = "expression is not assignable";
    if (isLvalue(e, &why, assignment)) return true;
    report(Diag::NotAssignable, e, why);
    return false;
}

// An out or inout argument: an l-value, or a row of a multi-dimensional array (the emitter
// passes a copy and writes it back, as it does for arguments that convert).
bool Checker::requireOutArgument(const Expr* e) {
    const bool row = e->kind == ExprKind::Index && e->type.isArray() && e->args[0]->type.inner[0] > 0;
    return requireLvalue(e, row);
}

// Whether a declaration at ("line", "column") comes after "use" in the same file. (A line
// names its file too; the order of different files is the include order, not known here.)
static bool DeclaredAfter(int line, int column, const Expr* use) {
    if (FileOfLine(line) != FileOfLine(use->line)) return false;
    return line > use->line || (line == use->line && column > use->column);
}

// Types expression "e" (and its operands), storing and returning the type; Poison when wrong
// (reported once).
Type Checker::check(Expr* e) {
    if (++depth_ > 400) {  // the parser's limit keeps this far away; belt and braces
        --depth_;
        return e->type = Poison();
    }
    e->type = checkInner(e);
    --depth_;
    return e->type;
}

// Whether an operand of "e" is already wrong.
bool Checker::anyPoison(Expr* e) {
    for (Expr* a : e->args)
        if (IsPoison(a->type)) return true;
    return false;
}

// expression := literal | name | unary | postfix | binary | assignment | ?: | call
//             | constructor | cast | member | index | expression , expression
Type Checker::checkInner(Expr* e) {
    switch (e->kind) {
        case ExprKind::IntLit: return Type::Scalar(Base::Int);
        case ExprKind::FloatLit: {
            Type t = Type::Scalar(Base::Float);
            const char last = e->text.empty() ? ' ' : e->text.back();  // 1.0l, 1.0h
            t.precision = last == 'l' || last == 'L' ? Precision::Double
                          : last == 'h' || last == 'H' ? Precision::Half : Precision::Float;
            return t;
        }
        case ExprKind::BoolLit: return Type::Scalar(Base::Bool);
        case ExprKind::StringLit: {
            Type t{Base::String};
            t.cols = 0;
            return t;
        }
        case ExprKind::Name: {
            const VarDecl* v = lookupVar(e->text);
            if (!v) {
                if (functions_.count(e->text) || IntrinsicNamed(e->text) >= 0) {
                    report(Diag::UnsupportedFeature, e, "a function used as a value");
                } else {
                    report(Diag::UndeclaredName, e, std::string(e->text));
                }
                return Poison();
            }
            if (v->isGlobal && current_ && DeclaredAfter(v->line, v->column, e)) {
                report(Diag::UndeclaredName, e, std::string(e->text));  // used before its declaration
                return Poison();
            }
            e->var = v;
            e->ref = v->isGlobal ? Ref::Global : Ref::Local;
            if (v->isGlobal && current_) current_->globalsRead.push_back(v);
            return v->type;
        }
        case ExprKind::Unary: return checkUnary(e);
        case ExprKind::Postfix: {
            const Type t = check(e->args[0]);
            if (IsPoison(t)) return t;
            if (!t.isNumericValue() || t.base == Base::Bool) {
                report(Diag::BadOperands, e, TokenName(e->op), TypeName(t));
                return Poison();
            }
            requireLvalue(e->args[0]);
            return t;
        }
        case ExprKind::Binary: return checkBinary(e);
        case ExprKind::Assign: return checkAssign(e);
        case ExprKind::Ternary: return checkTernary(e);
        case ExprKind::Call: return checkCall(e);
        case ExprKind::Construct: return checkConstruct(e);
        case ExprKind::Cast: {
            const Type t = check(e->args[0]);
            if (IsPoison(t)) return t;
            Type to = e->castType;
            const bool aggregate = t.isArray() || to.isArray() || t.base == Base::Struct ||
                                   to.base == Base::Struct;
            if (aggregate && !(to.base == Base::Struct && !to.isArray() && t.isScalar())) {
                // Component by component, in order: the value needs at least as many.
                if (!NumericLeaves(t) || !NumericLeaves(to) || ScalarCount(t) < ScalarCount(to)) {
                    report(Diag::TypeMismatch, e, TypeName(t), TypeName(to));
                    return Poison();
                }
                return to;
            }
            if (to.base == Base::Struct && HasSideEffects(e->args[0])) {  // a scalar fills every member
                report(Diag::UnsupportedFeature, e, "casting a value with side effects to a struct");
                return Poison();
            }
            if (ConversionCost(t, to, true) == kImpossible) {
                report(Diag::TypeMismatch, e, TypeName(t), TypeName(to));
                return Poison();
            }
            return to;
        }
        case ExprKind::Member: return checkMember(e);
        case ExprKind::Index: {
            const Type t = check(e->args[0]);
            const Type it = check(e->args[1]);
            if (IsPoison(t) || IsPoison(it)) return Poison();
            if (!it.isScalar()) {
                report(Diag::TypeMismatch, e->args[1], TypeName(it), "int");
                return Poison();
            }
            coerce(e->args[1], Type::Scalar(Base::Int));
            // float1 and float1xN hold one value of their index (the scalar, the row).
            const bool oneRow = !t.isArray() && t.isNumeric() &&
                                (t.shape == Shape::Row || t.shape == Shape::One);
            const int size = t.isArray() ? t.outerSize() : oneRow ? 1 : t.isVector() ? t.cols
                             : t.isMatrix() ? t.rows : 0;
            std::vector<double> index;
            if (size > 0 && evalConst(e->args[1], index) && index.size() == 1 &&
                !(index[0] >= 0 && index[0] < size)) {
                report(Diag::IndexOutOfRange, e->args[1], std::to_string(static_cast<long long>(index[0])),
                       std::to_string(size));
                return Poison();
            }
            if (t.isArray()) return t.indexed();
            if (oneRow) {
                if (HasSideEffects(e->args[1])) {  // the index is not emitted
                    report(Diag::UnsupportedFeature, e->args[1], "an index with side effects into '" + TypeName(t) + "'");
                    return Poison();
                }
                Type r = t;
                r.shape = r.cols == 1 && t.shape == Shape::Row ? Shape::One : Shape::Plain;
                return r;
            }
            if (t.isVector()) {
                Type r = Type::Scalar(t.base);
                if (t.shape == Shape::Column) r.shape = Shape::One;
                return r;
            }
            if (t.isMatrix()) return Type::Vector(Base::Float, t.cols);
            report(Diag::NotIndexable, e, TypeName(t));
            return Poison();
        }
        case ExprKind::Brace:
            report(Diag::UnsupportedFeature, e, "an initializer list here");
            return Poison();
        case ExprKind::Comma: {
            check(e->args[0]);
            return check(e->args[1]);
        }
        case ExprKind::Compile:
            report(Diag::UnsupportedFeature, e, "'compile' outside a pass");
            return Poison();
        case ExprKind::Asm:
            report(Diag::AsmError, e, "an asm block is a shader: assign it to VertexShader or PixelShader");
            return Poison();
        case ExprKind::Convert: return e->type;
    }
    return Poison();
}

// unary := (- | + | ! | ~ | ++ | --) expression
// - and + make bool int; ! gives bool of the same shape; ~ needs an integer; ++ and -- an
// assignable number.
Type Checker::checkUnary(Expr* e) {
    const Type t = check(e->args[0]);
    if (IsPoison(t)) return t;
    const char* op = TokenName(e->op);
    if (!t.isNumericValue()) {
        report(Diag::BadOperands, e, op, TypeName(t));
        return Poison();
    }
    switch (e->op) {
        case Tok::Minus:
        case Tok::Plus:
            if (t.base == Base::Bool) {
                coerce(e->args[0], WithBase(t, Base::Int));
                return e->args[0]->type;
            }
            return t;
        case Tok::Bang:
            coerce(e->args[0], BoolShaped(t));
            return BoolShaped(t);
        case Tok::Tilde:
            if (t.base != Base::Int && t.base != Base::Uint) {
                report(Diag::BadOperands, e, op, TypeName(t));
                return Poison();
            }
            if (current_) current_->stageUses.push_back({e->line, e->column, "operator '~'", Availability::Model4});
            return t;
        default:  // ++ --
            if (t.base == Base::Bool) {
                report(Diag::BadOperands, e, op, TypeName(t));
                return Poison();
            }
            requireLvalue(e->args[0]);
            return t;
    }
}

// The type of "a op b" after converting both operands; converts them in place.
Type Checker::binaryType(Expr* at, Tok op, Expr*& a, Expr*& b) {
    const Type ta = a->type, tb = b->type;
    if (IsPoison(ta) || IsPoison(tb)) return Poison();
    Type common;
    const std::string opName = TokenName(op);
    if (!CommonType(ta, tb, common)) {
        report(Diag::BadOperands, at, opName, TypeName(ta), " and '" + TypeName(tb) + "'");
        return Poison();
    }
    switch (op) {
        case Tok::AndAnd:
        case Tok::OrOr: {
            const Type bt = BoolShaped(common);  // per component, matrices too
            coerce(a, bt);
            coerce(b, bt);
            return bt;
        }
        case Tok::Less: case Tok::Greater: case Tok::LessEqual: case Tok::GreaterEqual:
        case Tok::Equal: case Tok::NotEqual:
            coerce(a, common);  // per component: a vector or a matrix of bools
            coerce(b, common);
            return BoolShaped(common);
        default: {  // + - * / % and the bitwise & | ^ << >> (integers only)
            const bool bitwise = op == Tok::Amp || op == Tok::Pipe || op == Tok::Caret ||
                                 op == Tok::Shl || op == Tok::Shr;
            if (bitwise && (common.base == Base::Float || common.rows > 0)) {
                report(Diag::BadOperands, at, opName, TypeName(ta), " and '" + TypeName(tb) + "'");
                return Poison();
            }
            if (bitwise && current_)  // integer bit operations need shader model 4
                current_->stageUses.push_back({at->line, at->column, m_.keep("operator '" + opName + "'"),
                                               Availability::Model4});
            if (common.base == Base::Bool) common = WithBase(common, Base::Int);
            coerce(a, common);
            coerce(b, common);
            return common;
        }
    }
}

// binary := expression op expression
Type Checker::checkBinary(Expr* e) {
    check(e->args[0]);
    check(e->args[1]);
    if (anyPoison(e)) return Poison();
    const Type t = binaryType(e, e->op, e->args[0], e->args[1]);
    // An integer division by a constant zero is an error (a float one gives inf or NaN).
    std::vector<double> divisor, dividend;
    if ((e->op == Tok::Slash || e->op == Tok::Percent) && (t.base == Base::Int || t.base == Base::Uint) &&
        evalConst(e->args[1], divisor) && evalConst(e->args[0], dividend) &&
        std::find(divisor.begin(), divisor.end(), 0.0) != divisor.end()) {
        report(Diag::DivisionByZero, e);
        return Poison();
    }
    return t;
}

// The operator of a compound assignment ("+=" -> "+"), or End for plain "=".
Tok Checker::compoundOperator(Tok k) {
    switch (k) {
        case Tok::PlusAssign: return Tok::Plus;
        case Tok::MinusAssign: return Tok::Minus;
        case Tok::StarAssign: return Tok::Star;
        case Tok::SlashAssign: return Tok::Slash;
        case Tok::PercentAssign: return Tok::Percent;
        case Tok::ShlAssign: return Tok::Shl;
        case Tok::ShrAssign: return Tok::Shr;
        case Tok::AmpAssign: return Tok::Amp;
        case Tok::PipeAssign: return Tok::Pipe;
        case Tok::CaretAssign: return Tok::Caret;
        default: return Tok::End;
    }
}

// A compound assignment "t op= v" becomes "t = t op v" (args[1] is the binary node), so
// the emitter writes plain assignments with HLSL's conversions explicit.
Type Checker::checkAssign(Expr* e) {
    const Type t = check(e->args[0]);
    if (e->args[1]->kind == ExprKind::Brace) {
        report(Diag::UnsupportedFeature, e->args[1], "an initializer list here");
        return Poison();
    }
    check(e->args[1]);
    if (IsPoison(t) || IsPoison(e->args[1]->type)) return Poison();
    if (!requireLvalue(e->args[0], true)) return Poison();
    if (e->op != Tok::Assign) {
        // The target is evaluated twice in "t = t op v".
        if (HasSideEffects(e->args[0])) {
            report(Diag::UnsupportedFeature, e,
                   "a compound assignment whose target has side effects");
            return Poison();
        }
        Expr* b = m_.make<Expr>();
        b->kind = ExprKind::Binary;
        b->op = compoundOperator(e->op);
        b->line = e->line;
        b->column = e->column;
        b->args = {e->args[0], e->args[1]};
        b->type = binaryType(b, b->op, b->args[0], b->args[1]);
        if (IsPoison(b->type)) return Poison();
        e->args[1] = b;
        e->op = Tok::Assign;
    }
    coerce(e->args[1], t);
    return t;
}

// conditional := condition ? a : b
// A vector (or matrix) condition picks per component and needs a and b of its shape
// (scalars splat).
Type Checker::checkTernary(Expr* e) {
    const Type c = check(e->args[0]);
    check(e->args[1]);
    check(e->args[2]);
    if (anyPoison(e)) return Poison();
    const Type a = e->args[1]->type, b = e->args[2]->type;
    Type common;
    if (a == b) {
        common = a;
    } else if (!CommonType(a, b, common)) {
        report(Diag::TypeMismatch, e->args[2], TypeName(b), TypeName(a));
        return Poison();
    }
    if (!c.isNumericValue()) {
        report(Diag::BadOperands, e, "?:", TypeName(c));
        return Poison();
    }
    if (c.rows > 0) {  // a matrix condition picks per element from matrices of its shape
        if (!common.isNumericValue() || common.isVector()) {
            report(Diag::BadOperands, e, "?:", TypeName(c));
            return Poison();
        }
        if (common.isScalar()) common = MakeNumeric(common.base, c.rows, c.cols);
        if (common.rows != c.rows || common.cols != c.cols) {
            report(Diag::TypeMismatch, e->args[0], TypeName(c), TypeName(BoolShaped(common)));
            return Poison();
        }
        coerce(e->args[0], BoolShaped(common));
    } else if (c.isVector()) {
        if (!common.isNumericValue() || common.rows > 0) {
            report(Diag::BadOperands, e, "?:", TypeName(c));
            return Poison();
        }
        if (common.isScalar()) common = Type::Vector(common.base, c.cols);
        if (common.cols != c.cols) {
            report(Diag::TypeMismatch, e->args[0], TypeName(c), TypeName(BoolShaped(common)));
            return Poison();
        }
        coerce(e->args[0], BoolShaped(common));
    } else {
        coerce(e->args[0], Type::Scalar(Base::Bool));
    }
    if (a != common) coerce(e->args[1], common);
    if (b != common) coerce(e->args[2], common);
    return common;
}

// constructor := type ( expression, ... )
// One scalar splats; otherwise the components of the arguments must add up to the type's.
Type Checker::checkConstruct(Expr* e) {
    const Type t = e->castType;
    int comps = 0;
    for (Expr*& a : e->args) {
        check(a);
        if (IsPoison(a->type)) return Poison();
        if (!a->type.isNumericValue()) {
            report(Diag::TypeMismatch, a, TypeName(a->type), TypeName(t));
            return Poison();
        }
        comps += a->type.components();
    }
    if (!t.isNumericValue()) {
        report(Diag::UnsupportedFeature, e, "a constructor of type '" + TypeName(t) + "'");
        return Poison();
    }
    if (e->args.size() == 1 && e->args[0]->type.isScalar()) {
        coerce(e->args[0], Type::Scalar(t.base == Base::Struct ? Base::Float : t.base));
        return t;
    }
    if (comps != t.components()) {
        report(Diag::ConstructorArguments, e, TypeName(t), std::to_string(t.components()),
               std::to_string(comps));
        return Poison();
    }
    // Matrices are float in GLSL; convert other bases component-wise into float vectors.
    if (t.rows > 0)
        for (Expr*& a : e->args)
            if (a->type.base != Base::Float && a->type.rows == 0)
                coerce(a, WithBase(a->type, Base::Float));
    return t;
}

// member := expression . name
// Structs name members; vectors and scalars take xyzw or rgba swizzles of up to four;
// matrices take _m<row><col> (from 0) or _<row><col> (from 1) swizzles.
Type Checker::checkMember(Expr* e) {
    const Type t = check(e->args[0]);
    if (IsPoison(t)) return t;
    const std::string_view name = e->text;
    if (t.base == Base::Struct && !t.isArray()) {
        for (std::size_t i = 0; i < t.st->members.size(); ++i)
            if (t.st->members[i]->name == name) {
                e->memberIndex = static_cast<int>(i);
                return t.st->members[i]->type;
            }
        report(Diag::NoMember, e, TypeName(t), std::string(name));
        return Poison();
    }
    if (!t.isNumericValue()) {
        report(Diag::NoMember, e, TypeName(t), std::string(name));
        return Poison();
    }
    if (t.isMatrixShaped()) {
        // _m<r><c> (0-based) or _<r><c> (1-based), repeated; float1xN and floatNx1 are held
        // as vectors, so their elements are components.
        const int rows = t.hlslRows(), cols = t.hlslCols();
        std::size_t p = 0;
        int n = 0;
        while (p < name.size()) {
            int r, c;
            if (name.substr(p, 2) == "_m" && p + 3 < name.size() + 0 && p + 4 <= name.size()) {
                r = name[p + 2] - '0';
                c = name[p + 3] - '0';
                p += 4;
            } else if (name[p] == '_' && p + 3 <= name.size()) {
                r = name[p + 1] - '1';
                c = name[p + 2] - '1';
                p += 3;
            } else {
                n = -1;
                break;
            }
            if (r < 0 || r >= rows || c < 0 || c >= cols || n >= 4) {
                n = -1;
                break;
            }
            e->swizzle[n++] = t.isMatrix() ? r * 4 + c : r + c;
        }
        if (n > 0 && !t.isMatrix()) {
            e->swizzleCount = n;
            return n == 1 ? Type::Scalar(t.base) : Type::Vector(t.base, n);
        }
        if (n > 0) {
            e->swizzleCount = n;
            e->matrixSwizzle = true;
            return n == 1 ? Type::Scalar(Base::Float) : Type::Vector(Base::Float, n);
        }
        if (t.isMatrix()) {
            report(Diag::BadSwizzle, e, std::string(name.substr(0, 20)), TypeName(t));
            return Poison();
        }
    }
    static constexpr const char* kSets[2] = {"xyzw", "rgba"};
    const int size = t.cols;
    bool ok = !name.empty() && name.size() <= 4;
    for (int set = 0; ok && set < 2; ++set) {
        bool all = true;
        for (std::size_t i = 0; i < name.size() && all; ++i) {
            const char* f = std::strchr(kSets[set], name[i]);
            if (!f || name[i] == 0 || f - kSets[set] >= size) {
                all = false;
            } else {
                e->swizzle[i] = static_cast<int>(f - kSets[set]);
            }
        }
        if (all) {
            e->swizzleCount = static_cast<int>(name.size());
            return e->swizzleCount == 1 ? Type::Scalar(t.base)
                                        : Type::Vector(t.base, e->swizzleCount);
        }
    }
    report(Diag::BadSwizzle, e, std::string(name.substr(0, 20)), TypeName(t));
    return Poison();
}

// Picks the overload of "name" for the checked arguments "args"; null when none fits
// (reported). Default parameter values fill missing trailing arguments.
const FuncDecl* Checker::resolve(const Expr* at, std::string_view name, std::vector<Expr*>& args) {
    auto it = functions_.find(name);
    if (it == functions_.end()) return nullptr;
    const FuncDecl* best = nullptr;
    int bestCost = 1 << 30;
    bool ambiguous = false;
    for (const FuncDecl* f : it->second) {
        if (args.size() > f->params.size()) continue;
        bool fits = true;
        int cost = 0;
        for (std::size_t i = 0; i < f->params.size() && fits; ++i) {
            if (i >= args.size()) {
                fits = f->params[i]->init != nullptr;
                continue;
            }
            const int c = ConversionCost(args[i]->type, f->params[i]->type, false);
            if (c == kImpossible) fits = false;
            // An out argument converts both ways (an int4 into an out float4 and back), so
            // it must hold as many components as the parameter.
            const Type& argType = args[i]->type;
            const Type& pt = f->params[i]->type;
            if ((f->params[i]->storage & kStorageOut) && c != kExact &&
                !(argType.isNumericValue() && pt.isNumericValue() && argType.components() == pt.components() &&
                  ConversionCost(pt, argType, false) != kImpossible))
                fits = false;
            // Between conversions of one cost, the argument spelled as the parameter wins
            // (float against float1), then a promotion (half to float, float to double)
            // over a conversion to a narrower float (an int counts as a float here).
            cost += 4 * c + (argType.shape != pt.shape ? 1 : 0) + PrecisionCost(argType, pt);
        }
        if (!fits) continue;
        if (cost < bestCost) {
            best = f;
            bestCost = cost;
            ambiguous = false;
        } else if (cost == bestCost) {
            ambiguous = true;
        }
    }
    if (!best) {
        std::string sig = " for (";
        for (std::size_t i = 0; i < args.size(); ++i)
            sig += (i ? ", " : "") + TypeName(args[i]->type);
        report(Diag::UnknownFunction, at, std::string(name), sig + ")");
        return nullptr;
    }
    if (ambiguous) {
        report(Diag::AmbiguousCall, at, std::string(name));
        return nullptr;
    }
    return best;
}

// call := name ( arguments )
// The effect's own functions are resolved among their overloads, defaults fill missing
// trailing arguments, out parameters need l-values; other names are intrinsics.
Type Checker::checkCall(Expr* e) {
    for (Expr* a : e->args) check(a);
    if (anyPoison(e)) return Poison();
    const std::string_view name = e->text;
    if (functions_.count(name)) {
        bool declaredBefore = false;
        for (const FuncDecl* d : m_.functions)
            if (d->name == name && !DeclaredAfter(d->line, d->column, e)) declaredBefore = true;
        if (!declaredBefore) {
            report(Diag::UndeclaredName, e, std::string(name));
            return Poison();
        }
        const FuncDecl* f = resolve(e, name, e->args);
        if (!f) return Poison();
        for (std::size_t i = e->args.size(); i < f->params.size(); ++i) {
            Expr* d = f->params[i]->init;  // default values are constant expressions
            check(d);
            e->args.push_back(d);
        }
        for (std::size_t i = 0; i < f->params.size(); ++i) {
            if (f->params[i]->storage & kStorageOut) {
                requireOutArgument(e->args[i]);
            } else if (f->params[i]->type.base == Base::Sampler && e->args[i]->type.base == Base::Sampler) {
                if (!passSampler(e->args[i], f->params[i])) return Poison();
            } else {
                coerce(e->args[i], f->params[i]->type);
            }
        }
        const FuncDecl* target = f->definition ? f->definition : f;
        if (!target->body) {
            report(Diag::UnknownFunction, e, std::string(name), " (declared but never defined)");
            return Poison();
        }
        e->func = target;
        e->ref = Ref::Function;
        if (current_) current_->callees.push_back(target);
        return f->ret;
    }
    const int intrinsic = IntrinsicNamed(name);
    if (intrinsic < 0) {
        if (lookupVar(name)) {
            report(Diag::NotAFunction, e, std::string(name));
        } else {
            report(Diag::UnknownFunction, e, std::string(name), "");
        }
        return Poison();
    }
    e->intrinsic = intrinsic;
    e->ref = Ref::Intrinsic;
    return checkIntrinsic(e, static_cast<Intrinsic>(intrinsic));
}

}  // namespace platform::gfx::fx
