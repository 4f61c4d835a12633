// platform/gfx/fx/parser.cpp: recursive descent, one function per grammar rule.
//
// Index: [helpers] [types] [top level] [annotations and states] [statements] [expressions]
#include "platform/gfx/fx/parser.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace platform::gfx::fx {
namespace {

struct ParseError {};  // unwinds to the top-level loop, which resynchronises

constexpr int kMaxArraySize = 65536;

class Parser {
public:
    Parser(const std::vector<Token>& tokens, Module& module, std::vector<Diagnostic>& diags,
           const ParseLimits& limits)
        : toks_(tokens), m_(module), diags_(diags), limits_(limits) {}

    // program -> toplevel* END
    void program() {
        m_.endLine = toks_.back().line;
        m_.endColumn = toks_.back().column;
        while (tok().kind != Tok::End) {
            const std::size_t start = pos_;
            try {
                toplevel();
            } catch (const ParseError&) {
                if (errors_ >= limits_.maxErrors) {
                    diags_.push_back(
                        MakeDiagnostic(Diag::TooManyErrors, tok().line, tok().column));
                    return;
                }
                resync(start);
            }
        }
    }

private:
    // --- [helpers] ---------------------------------------------------------------------------

    const Token& tok() const { return toks_[pos_]; }
    const Token& peek(std::size_t n = 1) const {
        const std::size_t i = pos_ + n;
        return i < toks_.size() ? toks_[i] : toks_.back();
    }
    void advance() {
        if (toks_[pos_].kind != Tok::End) ++pos_;
    }
    bool accept(Tok k) {
        if (tok().kind != k) return false;
        advance();
        return true;
    }
    bool acceptIdent(std::string_view text) {
        if (tok().kind != Tok::Identifier || tok().text != text) return false;
        advance();
        return true;
    }

    [[noreturn]] void fail(Diagnostic d) {
        ++errors_;
        diags_.push_back(std::move(d));
        throw ParseError{};
    }
    [[noreturn]] void errorUnexpected() {
        fail(MakeDiagnostic(Diag::UnexpectedToken, tok().line, tok().column, DescribeToken(tok())));
    }
    [[noreturn]] void errorExpected(const std::string& what) {
        fail(MakeDiagnostic(Diag::Expected, tok().line, tok().column, what, DescribeToken(tok())));
    }
    void expect(Tok k) {
        if (!accept(k)) errorExpected(std::string("'") + TokenName(k) + "'");
    }
    // Expects "close" for the "open" token at "opened"; at the end of the file the message
    // names where the group was opened.
    void expectClosing(Tok close, Tok open, const Token& opened) {
        if (accept(close)) return;
        if (tok().kind == Tok::End) {
            fail(MakeDiagnostic(Diag::MissingClose, tok().line, tok().column, TokenName(close),
                                TokenName(open),
                                "(" + std::to_string(opened.line) + "," +
                                    std::to_string(opened.column) + ")"));
        }
        errorExpected(std::string("'") + TokenName(close) + "'");
    }
    std::string_view expectName() {
        if (tok().kind != Tok::Identifier) errorExpected("identifier");
        const std::string_view n = tok().text;
        advance();
        return n;
    }

    // Counts nesting so that hostile input cannot overflow the stack.
    struct DepthGuard {
        Parser& p;
        explicit DepthGuard(Parser& parser) : p(parser) {
            if (++p.depth_ > p.limits_.maxDepth) {
                --p.depth_;
                p.fail(MakeDiagnostic(Diag::NestingTooDeep, p.tok().line, p.tok().column,
                                      std::to_string(p.limits_.maxDepth)));
            }
        }
        ~DepthGuard() { --p.depth_; }
    };

    // Skips the rest of a broken top-level declaration that began at "start": up to a ';' at
    // brace depth 0 or the '}' that closes its outermost brace.
    void resync(std::size_t start) {
        int depth = 0;
        for (std::size_t i = start; i < pos_; ++i) {
            if (toks_[i].kind == Tok::LBrace) ++depth;
            if (toks_[i].kind == Tok::RBrace && depth > 0) --depth;
        }
        if (pos_ == start) advance();
        while (tok().kind != Tok::End) {
            const Tok k = tok().kind;
            advance();
            if (k == Tok::LBrace) ++depth;
            if (k == Tok::RBrace && --depth <= 0) {
                accept(Tok::Semicolon);
                return;
            }
            if (k == Tok::Semicolon && depth <= 0) return;
        }
    }

    template <typename T>
    T* node(const Token& at) {
        T* n = m_.make<T>();
        n->line = at.line;
        n->column = at.column;
        return n;
    }

    // --- [types] -----------------------------------------------------------------------------

    const StructDecl* structNamed(std::string_view name) const {
        for (const StructDecl* s : m_.structs)
            if (s->name == name) return s;
        return nullptr;
    }

    // Whether a type starts at token offset "n".
    bool typeStartsAt(std::size_t n) const {
        const Token& t = peek(n);
        if (t.kind != Tok::Identifier) return false;
        Type ignored;
        return BuiltinTypeNamed(t.text, ignored) || structNamed(t.text) != nullptr;
    }

    // type -> BUILTIN | STRUCTNAME | 'vector' '<' scalar ',' N '>' | 'matrix' '<' scalar ',' R ',' C '>'
    Type type() {
        const Token& t = tok();
        if (t.kind != Tok::Identifier) errorUnexpected();
        Type out;
        if (const StructDecl* s = structNamed(t.text)) {
            advance();
            out.base = Base::Struct;
            out.cols = 0;
            out.st = s;
            return out;
        }
        if (!BuiltinTypeNamed(t.text, out))
            fail(MakeDiagnostic(Diag::UnknownType, t.line, t.column, std::string(t.text)));
        const bool isVector = t.text == "vector", isMatrix = t.text == "matrix";
        advance();
        if ((isVector || isMatrix) && accept(Tok::Less)) {
            Type scalar;
            if (tok().kind != Tok::Identifier || !BuiltinTypeNamed(tok().text, scalar) ||
                !scalar.isScalar())
                errorExpected("scalar type");
            advance();
            expect(Tok::Comma);
            const int a = smallInt(1, 4);
            int b = 1;
            if (isMatrix) {
                expect(Tok::Comma);
                b = smallInt(1, 4);
            }
            expect(Tok::Greater);
            out = isMatrix ? MakeNumeric(scalar.base, a, b) : MakeNumeric(scalar.base, 0, a);
        }
        return out;
    }

    int smallInt(int lo, int hi) {
        if (tok().kind != Tok::IntLit) errorExpected("integer constant");
        const std::uint64_t u = IntLiteralValue(tok().text);
        const long long v = u > static_cast<std::uint64_t>(hi) ? hi + 1LL : static_cast<long long>(u);
        if (v < lo || v > hi) errorUnexpected();
        advance();
        return static_cast<int>(v);
    }

    // storage -> ('uniform'|'static'|'const'|'extern'|'shared'|'volatile'|'in'|'out'|'inout'
    //             |'row_major'|'column_major'|'inline')*
    unsigned storage() {
        unsigned s = 0;
        for (;;) {
            switch (tok().kind) {
                case Tok::KwUniform: s |= kStorageUniform; break;
                case Tok::KwStatic: s |= kStorageStatic; break;
                case Tok::KwConst: s |= kStorageConst; break;
                case Tok::KwExtern: s |= kStorageExtern; break;
                case Tok::KwShared: s |= kStorageShared; break;
                case Tok::KwVolatile: s |= kStorageVolatile; break;
                case Tok::KwIn: s |= kStorageIn; break;
                case Tok::KwOut: s |= kStorageOut; break;
                case Tok::KwInout: s |= kStorageIn | kStorageOut; break;
                case Tok::KwRowMajor: case Tok::KwColumnMajor: case Tok::KwInline: break;
                default: return s;
            }
            advance();
        }
    }

    // arraySuffix -> ('[' constant_expr? ']')?
    // An empty size ("float a[] = {...}") is left at -1 for the initializer to settle.
    void arraySuffix(Type& t, bool unsizedAllowed = false) {
        if (!accept(Tok::LBracket)) return;
        const Token at = tok();
        long v = -1;
        if (at.kind != Tok::RBracket || !unsizedAllowed) {
            double value = 0;
            if (!constantValue(ternary(), value) || !(value >= 1 && value <= kMaxArraySize) ||
                value != std::trunc(value))
                fail(MakeDiagnostic(Diag::BadArraySize, at.line, at.column,
                                    std::to_string(kMaxArraySize)));
            v = static_cast<long>(value);
        }
        expect(Tok::RBracket);
        if (t.isArray() || t.arraySize < 0 || t.base == Base::Void)
            fail(MakeDiagnostic(Diag::UnsupportedFeature, at.line, at.column,
                                "an array of this type"));
        t.arraySize = static_cast<int>(v);
        requireBoundedSize(t, at);
    }

    // Values are bounded in size (2^20 scalars: a float4x4 array of the largest size), so that
    // arrays of structs of arrays cannot make the compiler's output explode.
    static constexpr long long kMaxScalars = 1LL << 20;
    void requireBoundedSize(const Type& t, const Token& at) {
        if (ScalarCount(t) > kMaxScalars)
            fail(MakeDiagnostic(Diag::UnsupportedFeature, at.line, at.column,
                                "a type of more than " + std::to_string(kMaxScalars) + " scalars"));
    }

    // The value of a constant expression the parser must know (array sizes): literals, names
    // of constants declared before with a constant value, and arithmetic, comparison, logic
    // and conditional operators on them. False when the expression is not such a constant.
    bool constantValue(const Expr* e, double& out) const {
        double a = 0, b = 0;
        switch (e->kind) {
            case ExprKind::IntLit: case ExprKind::FloatLit: case ExprKind::BoolLit:
                out = LiteralValue(e->kind, e->text);
                return true;
            case ExprKind::Name:
                for (auto c = constants_.rbegin(); c != constants_.rend(); ++c)
                    if (c->first == e->text) {
                        out = c->second;
                        return true;
                    }
                return false;
            case ExprKind::Cast: case ExprKind::Construct:
                if (e->args.size() != 1 || !e->castType.isScalar() ||
                    !constantValue(e->args[0], out))
                    return false;
                if (e->castType.base == Base::Int || e->castType.base == Base::Uint) out = std::trunc(out);
                if (e->castType.base == Base::Bool) out = out != 0;
                return true;
            case ExprKind::Unary:
                if (!constantValue(e->args[0], a)) return false;
                switch (e->op) {
                    case Tok::Minus: out = -a; return true;
                    case Tok::Plus: out = a; return true;
                    case Tok::Bang: out = a == 0; return true;
                    case Tok::Tilde:
                        if (!(std::fabs(a) < 2147483648.0)) return false;
                        out = static_cast<double>(~static_cast<long>(a));
                        return true;
                    default: return false;
                }
            case ExprKind::Ternary:
                if (!constantValue(e->args[0], a)) return false;
                return constantValue(e->args[a != 0 ? 1 : 2], out);
            case ExprKind::Binary: {
                if (!constantValue(e->args[0], a) || !constantValue(e->args[1], b)) return false;
                // Integer operators work on 32-bit values; larger ones are not sizes anyway.
                if (!(std::fabs(a) < 2147483648.0 && std::fabs(b) < 2147483648.0)) return false;
                const bool integers = a == std::trunc(a) && b == std::trunc(b) &&
                                      !HasFloat(e->args[0]) && !HasFloat(e->args[1]);
                const long ia = static_cast<long>(a), ib = static_cast<long>(b);
                switch (e->op) {
                    case Tok::Plus: out = a + b; return true;
                    case Tok::Minus: out = a - b; return true;
                    case Tok::Star: out = a * b; return true;
                    case Tok::Slash:
                        if (b == 0) return false;
                        out = integers ? static_cast<double>(ia / ib) : a / b;
                        return true;
                    case Tok::Percent:
                        if (b == 0) return false;
                        out = integers ? static_cast<double>(ia % ib) : std::fmod(a, b);
                        return true;
                    case Tok::Shl: out = static_cast<double>(ia << (ib & 31)); return true;
                    case Tok::Shr: out = static_cast<double>(ia >> (ib & 31)); return true;
                    case Tok::Amp: out = static_cast<double>(ia & ib); return true;
                    case Tok::Pipe: out = static_cast<double>(ia | ib); return true;
                    case Tok::Caret: out = static_cast<double>(ia ^ ib); return true;
                    case Tok::Less: out = a < b; return true;
                    case Tok::Greater: out = a > b; return true;
                    case Tok::LessEqual: out = a <= b; return true;
                    case Tok::GreaterEqual: out = a >= b; return true;
                    case Tok::Equal: out = a == b; return true;
                    case Tok::NotEqual: out = a != b; return true;
                    case Tok::AndAnd: out = a != 0 && b != 0; return true;
                    case Tok::OrOr: out = a != 0 || b != 0; return true;
                    default: return false;
                }
            }
            default: return false;
        }
    }

    // Whether a float literal takes part in "e" (integer division then does not truncate).
    bool HasFloat(const Expr* e) const {
        if (e->kind == ExprKind::FloatLit) return true;
        if (e->kind == ExprKind::Name)
            for (auto c = constants_.rbegin(); c != constants_.rend(); ++c)
                if (c->first == e->text) return c->second != std::trunc(c->second);
        if (e->kind == ExprKind::Cast || e->kind == ExprKind::Construct)
            return e->castType.base == Base::Float;
        for (const Expr* a : e->args)
            if (HasFloat(a)) return true;
        return false;
    }

    // semantics -> (':' (SEMANTIC | 'register' '(' ... ')' | 'packoffset' '(' ... ')'))*
    std::string_view semantics() {
        std::string_view sem;
        while (accept(Tok::Colon)) {
            if (tok().kind == Tok::KwRegister || tok().kind == Tok::KwPackoffset) {
                advance();
                const Token open = tok();
                expect(Tok::LParen);
                while (tok().kind != Tok::RParen && tok().kind != Tok::End) advance();
                expectClosing(Tok::RParen, Tok::LParen, open);
            } else {
                sem = expectName();
            }
        }
        return sem;
    }

    // --- [top level] -------------------------------------------------------------------------

    // Whether the identifier at token offset "n" is "word" in any case (the old compiler took
    // "Technique", "PASS" and the like).
    bool wordAt(std::size_t n, std::string_view word) const {
        return peek(n).kind == Tok::Identifier && EqualsNoCase(peek(n).text, word);
    }
    bool passStarts() const { return tok().kind == Tok::KwPass || wordAt(0, "pass"); }

    // A technique keyword is followed by a name, annotations or its body.
    bool techniqueStarts() const {
        if (tok().kind == Tok::KwTechnique) return true;
        if (!wordAt(0, "technique") && !wordAt(0, "technique9")) return false;
        const Tok next = peek().kind;
        return next == Tok::Identifier || next == Tok::LBrace || next == Tok::Less;
    }

    // toplevel -> ';' | struct_decl | technique | d3d10_technique | declaration
    void toplevel() {
        if (accept(Tok::Semicolon)) return;
        if (tok().kind == Tok::KwStruct) return structDecl();
        if (techniqueStarts()) return technique();
        if ((wordAt(0, "technique10") || wordAt(0, "technique11")) &&
            (peek().kind == Tok::Identifier || peek().kind == Tok::LBrace ||
             peek().kind == Tok::Less))
            return skipTechnique10();
        if (tok().kind == Tok::KwTypedef)
            fail(MakeDiagnostic(Diag::UnsupportedFeature, tok().line, tok().column, "typedef"));
        declaration();
    }

    // struct_decl -> 'struct' NAME '{' (type NAME array? semantics? ';')* '}' ';'
    void structDecl() {
        const Token kw = tok();
        advance();
        const Token nameTok = tok();
        const std::string_view name = expectName();
        if (structNamed(name))
            fail(MakeDiagnostic(Diag::Redefinition, nameTok.line, nameTok.column,
                                std::string(name)));
        StructDecl* s = node<StructDecl>(nameTok);
        s->name = name;
        const Token open = tok();
        expect(Tok::LBrace);
        while (tok().kind != Tok::RBrace && tok().kind != Tok::End) {
            storage();  // interpolation modifiers and the like are accepted and ignored
            skipInterpolationModifiers();
            const Type base = type();
            do {
                const Token mt = tok();
                VarDecl* v = node<VarDecl>(mt);
                v->name = expectName();
                v->type = base;
                arraySuffix(v->type);
                v->semantic = semantics();
                for (const VarDecl* other : s->members)
                    if (other->name == v->name)
                        fail(MakeDiagnostic(Diag::Redefinition, mt.line, mt.column,
                                            std::string(v->name)));
                if (v->type.base == Base::Void || v->type.base == Base::Texture ||
                    v->type.base == Base::Sampler || v->type.base == Base::String)
                    fail(MakeDiagnostic(Diag::UnsupportedFeature, mt.line, mt.column,
                                        "a struct member of type '" + TypeName(v->type) + "'"));
                s->members.push_back(v);
            } while (accept(Tok::Comma));
            expect(Tok::Semicolon);
        }
        expectClosing(Tok::RBrace, Tok::LBrace, open);
        expect(Tok::Semicolon);
        if (s->members.empty())
            fail(MakeDiagnostic(Diag::UnsupportedFeature, kw.line, kw.column, "an empty struct"));
        for (const VarDecl* v : s->members) s->scalars += ScalarCount(v->type);
        requireBoundedSize(Type{Base::Struct, 0, 1, 0, Dim::None, s}, nameTok);
        m_.structs.push_back(s);
    }

    void skipInterpolationModifiers() {
        while (tok().kind == Tok::Identifier &&
               (tok().text == "linear" || tok().text == "centroid" ||
                tok().text == "nointerpolation" || tok().text == "noperspective"))
            advance();
    }

    // declaration -> storage type NAME ( function_rest | variable_rest )
    void declaration() {
        const unsigned st = storage();
        const Token typeTok = tok();
        const Type t = type();
        const Token nameTok = tok();
        const std::string_view name = expectName();
        if (tok().kind == Tok::LParen) return function(t, name, nameTok);
        VarDecl* v = variableRest(st, t, name, nameTok, true);
        m_.globals.push_back(v);
        rememberConstant(v);
        while (accept(Tok::Comma)) {
            const Token nt = tok();
            const std::string_view n = expectName();
            m_.globals.push_back(variableRest(st, t, n, nt, true));
            rememberConstant(m_.globals.back());
        }
        expect(Tok::Semicolon);
        (void)typeTok;
    }

    // A constant declared with a constant value ("static const int N = 4 * 2;", "const float
    // K = 0.5;") can size later arrays.
    void rememberConstant(const VarDecl* v) {
        double value = 0;
        if ((v->storage & kStorageConst) && v->init && v->type.isScalar() &&
            constantValue(v->init, value))
            constants_.emplace_back(v->name, value);
    }

    // An unsized array takes its size from a brace initializer: one element per top-level
    // item, or, for a flat list of scalars, the scalar count over the element's size.
    void sizeFromInitializer(VarDecl* v, const Token& at) {
        if (v->type.arraySize >= 0) return;
        const Expr* init = v->init;
        if (!init || init->kind != ExprKind::Brace)
            fail(MakeDiagnostic(Diag::BadArraySize, at.line, at.column,
                                std::to_string(kMaxArraySize)));
        const int per = v->type.element().components();
        int count = static_cast<int>(init->args.size());
        bool flat = per > 1;
        for (const Expr* a : init->args)
            flat = flat && (a->kind == ExprKind::IntLit || a->kind == ExprKind::FloatLit ||
                            a->kind == ExprKind::BoolLit || a->kind == ExprKind::Unary);
        if (flat && count % per == 0) count /= per;
        if (count > kMaxArraySize)
            fail(MakeDiagnostic(Diag::BadArraySize, at.line, at.column,
                                std::to_string(kMaxArraySize)));
        v->type.arraySize = count;
    }

    // variable_rest -> array? semantics annotations? ('=' initializer)?
    VarDecl* variableRest(unsigned st, const Type& t, std::string_view name, const Token& at,
                          bool global) {
        VarDecl* v = node<VarDecl>(at);
        v->name = name;
        v->type = t;
        v->storage = st;
        v->isGlobal = global;
        arraySuffix(v->type, true);
        v->semantic = semantics();
        if (tok().kind == Tok::Less) v->annotations = annotations();
        if (accept(Tok::Assign)) {
            if (tok().kind == Tok::KwSamplerState) {
                advance();
                v->hasSamplerState = true;
                v->samplerStates = stateBlock();
            } else {
                v->init = initializer();
            }
        } else if (tok().kind == Tok::LBrace && v->type.base == Base::Sampler) {
            // "sampler s { ... };" without "= sampler_state" is accepted by old compilers.
            v->hasSamplerState = true;
            v->samplerStates = stateBlock();
        }
        sizeFromInitializer(v, at);
        return v;
    }

    // initializer -> '{' initializer (',' initializer)* ','? '}' | assignment_expr
    Expr* initializer() {
        if (tok().kind != Tok::LBrace) return assignment();
        DepthGuard guard(*this);
        const Token open = tok();
        advance();
        Expr* e = node<Expr>(open);
        e->kind = ExprKind::Brace;
        while (tok().kind != Tok::RBrace) {
            e->args.push_back(initializer());
            if (!accept(Tok::Comma)) break;
        }
        expectClosing(Tok::RBrace, Tok::LBrace, open);
        if (e->args.empty()) fail(MakeDiagnostic(Diag::UnexpectedToken, open.line, open.column, "'{}'"));
        return e;
    }

    // function_rest -> '(' (param (',' param)*)? ')' semantics (';' | block)
    // param -> storage type NAME array? semantics ('=' assignment_expr)?
    void function(const Type& ret, std::string_view name, const Token& at) {
        FuncDecl* f = node<FuncDecl>(at);
        f->name = name;
        f->ret = ret;
        const Token open = tok();
        expect(Tok::LParen);
        if (!(tok().kind == Tok::Identifier && tok().text == "void" && peek().kind == Tok::RParen)) {
            while (tok().kind != Tok::RParen && tok().kind != Tok::End) {
                const unsigned st = storage();
                skipInterpolationModifiers();
                const Type pt = type();
                const Token pn = tok();
                VarDecl* p = node<VarDecl>(pn);
                p->name = expectName();
                p->type = pt;
                p->storage = st;
                p->isParameter = true;
                arraySuffix(p->type);
                p->semantic = semantics();
                if (accept(Tok::Assign)) p->init = assignment();
                f->params.push_back(p);
                if (!accept(Tok::Comma)) break;
            }
        } else {
            advance();
        }
        expectClosing(Tok::RParen, Tok::LParen, open);
        f->semantic = semantics();
        if (!accept(Tok::Semicolon)) f->body = block();
        m_.functions.push_back(f);
    }

    // technique -> 'technique' NAME? annotations? '{' pass* '}'
    void technique() {
        const Token kw = tok();
        advance();
        TechniqueDecl* t = node<TechniqueDecl>(kw);
        if (tok().kind == Tok::Identifier) {
            t->name = tok().text;
            t->line = tok().line;
            t->column = tok().column;
            advance();
        }
        if (tok().kind == Tok::Less) t->annotations = annotations();
        const Token open = tok();
        expect(Tok::LBrace);
        while (passStarts()) t->passes.push_back(pass());
        expectClosing(Tok::RBrace, Tok::LBrace, open);
        accept(Tok::Semicolon);
        m_.techniques.push_back(t);
    }

    // d3d10_technique -> ('technique10' | 'technique11') NAME? annotations? '{' ... '}'
    // Direct3D 10 techniques do not run here; files that carry them beside Direct3D 9 ones are
    // common, so the block is skipped with a warning.
    void skipTechnique10() {
        const Token kw = tok();
        advance();
        accept(Tok::Identifier);
        if (tok().kind == Tok::Less) annotations();
        const Token open = tok();
        expect(Tok::LBrace);
        int depth = 1;
        while (depth > 0 && tok().kind != Tok::End) {
            if (tok().kind == Tok::LBrace) ++depth;
            if (tok().kind == Tok::RBrace) --depth;
            advance();
        }
        if (depth > 0) expectClosing(Tok::RBrace, Tok::LBrace, open);
        accept(Tok::Semicolon);
        diags_.push_back(MakeDiagnostic(Diag::IgnoredTechnique, kw.line, kw.column,
                                        std::string(kw.text)));
    }

    // pass -> 'pass' NAME? annotations? state_block
    PassDecl* pass() {
        const Token kw = tok();
        advance();
        PassDecl* p = node<PassDecl>(kw);
        if (tok().kind == Tok::Identifier) {
            p->name = tok().text;
            p->line = tok().line;
            p->column = tok().column;
            advance();
        }
        if (tok().kind == Tok::Less) p->annotations = annotations();
        p->states = stateBlock();
        return p;
    }

    // --- [annotations and states] ------------------------------------------------------------

    // annotations -> '<' (type NAME '=' initializer ';')* '>'
    std::vector<AnnotationDecl> annotations() {
        const Token open = tok();
        expect(Tok::Less);
        std::vector<AnnotationDecl> out;
        while (tok().kind != Tok::Greater && tok().kind != Tok::End) {
            AnnotationDecl a;
            const Token tt = tok();
            a.type = TypeName(type());
            arraySuffixIgnored();
            a.line = tok().line;
            a.column = tok().column;
            a.name = std::string(expectName());
            expect(Tok::Assign);
            a.value = annotationValue();
            expect(Tok::Semicolon);
            out.push_back(std::move(a));
            (void)tt;
        }
        expectClosing(Tok::Greater, Tok::Less, open);
        return out;
    }

    void arraySuffixIgnored() {
        Type t{Base::Float};
        arraySuffix(t);
    }

    // An annotation value is parsed above the relational level so that '>' ends the list.
    Expr* annotationValue() {
        if (tok().kind == Tok::LBrace) return initializer();
        return binary(BinaryPriority(Tok::Less));
    }

    // state_block -> '{' (NAME ('[' INT ']')? '=' state_value ';')* '}'
    // state_value -> '<' NAME '>' | 'compile' PROFILE NAME '(' args ')' | initializer
    std::vector<StateAssign> stateBlock() {
        const Token open = tok();
        expect(Tok::LBrace);
        std::vector<StateAssign> out;
        while (tok().kind != Tok::RBrace && tok().kind != Tok::End) {
            StateAssign s;
            s.line = tok().line;
            s.column = tok().column;
            // State names may collide with keywords ("Texture" is fine, "compile" is not).
            if (tok().kind == Tok::Identifier || tok().kind < Tok::Identifier) {
                s.name = tok().text;
                advance();
            } else {
                errorExpected("state name");
            }
            if (accept(Tok::LBracket)) {
                s.index = smallInt(0, 15);
                expect(Tok::RBracket);
            }
            expect(Tok::Assign);
            s.value = stateValue();
            expect(Tok::Semicolon);
            out.push_back(s);
        }
        expectClosing(Tok::RBrace, Tok::LBrace, open);
        return out;
    }

    Expr* stateValue() {
        if (accept(Tok::Less)) {
            Expr* e = node<Expr>(tok());
            e->kind = ExprKind::Name;
            e->text = expectName();
            expect(Tok::Greater);
            return e;
        }
        return initializer();
    }

    // compile_expr -> 'compile' PROFILE NAME arguments
    Expr* compileExpr() {
        const Token at = tok();
        expect(Tok::KwCompile);
        Expr* e = node<Expr>(at);
        e->kind = ExprKind::Compile;
        e->text = expectName();
        const Token ft = tok();
        Expr* call = node<Expr>(ft);
        call->kind = ExprKind::Call;
        call->text = expectName();
        arguments(call);
        e->args.push_back(call);
        return e;
    }

    // --- [statements] ------------------------------------------------------------------------

    // block -> '{' statement* '}'
    Stmt* block() {
        DepthGuard guard(*this);
        const Token open = tok();
        expect(Tok::LBrace);
        Stmt* s = node<Stmt>(open);
        s->kind = StmtKind::Block;
        while (tok().kind != Tok::RBrace && tok().kind != Tok::End) s->body.push_back(statement());
        expectClosing(Tok::RBrace, Tok::LBrace, open);
        return s;
    }

    void attributes() {
        // '[unroll]', '[loop]', '[branch]', '[flatten]', '[fastopt]', '[unroll(n)]'
        while (tok().kind == Tok::LBracket && peek().kind == Tok::Identifier) {
            advance();
            advance();
            if (accept(Tok::LParen)) {
                while (tok().kind != Tok::RParen && tok().kind != Tok::End) advance();
                expect(Tok::RParen);
            }
            expect(Tok::RBracket);
        }
    }

    bool declarationStarts() const {
        switch (tok().kind) {
            case Tok::KwConst: case Tok::KwStatic: case Tok::KwUniform: case Tok::KwExtern:
            case Tok::KwVolatile: case Tok::KwRowMajor: case Tok::KwColumnMajor:
                return true;
            default: break;
        }
        if (!typeStartsAt(0)) return false;
        if (peek().kind == Tok::Identifier) return true;
        return peek().kind == Tok::Less &&
               (tok().text == "vector" || tok().text == "matrix");
    }

    // statement -> block | if | for | while | do | jump ';' | declaration ';' | expr? ';'
    Stmt* statement() {
        DepthGuard guard(*this);
        attributes();
        const Token at = tok();
        Stmt* s = node<Stmt>(at);
        switch (at.kind) {
            case Tok::LBrace: return block();
            case Tok::Semicolon: advance(); s->kind = StmtKind::Empty; return s;
            case Tok::KwIf: {
                advance();
                s->kind = StmtKind::If;
                s->expr = condition();
                s->then = statement();
                if (accept(Tok::KwElse)) s->otherwise = statement();
                return s;
            }
            case Tok::KwWhile: {
                advance();
                s->kind = StmtKind::While;
                s->expr = condition();
                s->then = statement();
                return s;
            }
            case Tok::KwDo: {
                advance();
                s->kind = StmtKind::Do;
                s->then = statement();
                if (tok().kind != Tok::KwWhile) errorExpected("'while'");
                advance();
                s->expr = condition();
                expect(Tok::Semicolon);
                return s;
            }
            case Tok::KwFor: {
                // for -> 'for' '(' (declaration | expr)? ';' expr? ';' expr? ')' statement
                advance();
                s->kind = StmtKind::For;
                const Token open = tok();
                expect(Tok::LParen);
                if (!accept(Tok::Semicolon)) {
                    s->init = simpleStatement();
                    expect(Tok::Semicolon);
                }
                if (tok().kind != Tok::Semicolon) s->expr = expression();
                expect(Tok::Semicolon);
                if (tok().kind != Tok::RParen) s->step = expression();
                expectClosing(Tok::RParen, Tok::LParen, open);
                s->then = statement();
                return s;
            }
            case Tok::KwBreak: advance(); s->kind = StmtKind::Break; expect(Tok::Semicolon); return s;
            case Tok::KwContinue:
                advance();
                s->kind = StmtKind::Continue;
                expect(Tok::Semicolon);
                return s;
            case Tok::KwDiscard:
                advance();
                s->kind = StmtKind::Discard;
                expect(Tok::Semicolon);
                return s;
            case Tok::KwReturn:
                advance();
                s->kind = StmtKind::Return;
                if (tok().kind != Tok::Semicolon) s->expr = expression();
                expect(Tok::Semicolon);
                return s;
            default: break;
        }
        Stmt* simple = simpleStatement();
        expect(Tok::Semicolon);
        return simple;
    }

    // simple_statement -> local_declaration | expr
    Stmt* simpleStatement() {
        const Token at = tok();
        Stmt* s = node<Stmt>(at);
        if (declarationStarts()) {
            s->kind = StmtKind::Decl;
            const unsigned st = storage();
            const Type t = type();
            do {
                const Token nt = tok();
                const std::string_view n = expectName();
                s->decls.push_back(variableRest(st, t, n, nt, false));
                rememberConstant(s->decls.back());
            } while (accept(Tok::Comma));
            return s;
        }
        s->kind = StmtKind::Expr;
        s->expr = expression();
        return s;
    }

    Expr* condition() {
        const Token open = tok();
        expect(Tok::LParen);
        Expr* e = expression();
        expectClosing(Tok::RParen, Tok::LParen, open);
        return e;
    }

    // --- [expressions] -----------------------------------------------------------------------

    // expression -> assignment (',' assignment)*
    Expr* expression() {
        Expr* e = assignment();
        while (tok().kind == Tok::Comma) {
            const Token at = tok();
            advance();
            Expr* c = node<Expr>(at);
            c->kind = ExprKind::Comma;
            c->args = {e, assignment()};
            e = c;
        }
        return e;
    }

    static bool isAssignOp(Tok k) {
        switch (k) {
            case Tok::Assign: case Tok::PlusAssign: case Tok::MinusAssign: case Tok::StarAssign:
            case Tok::SlashAssign: case Tok::PercentAssign: case Tok::ShlAssign:
            case Tok::ShrAssign: case Tok::AmpAssign: case Tok::PipeAssign: case Tok::CaretAssign:
                return true;
            default: return false;
        }
    }

    // assignment -> ternary (ASSIGNOP assignment)?
    Expr* assignment() {
        DepthGuard guard(*this);
        Expr* left = ternary();
        if (isAssignOp(tok().kind)) {
            const Token at = tok();
            advance();
            Expr* a = node<Expr>(at);
            a->kind = ExprKind::Assign;
            a->op = at.kind;
            a->args = {left, assignment()};
            a->line = left->line;
            a->column = left->column;
            return a;
        }
        return left;
    }

    // ternary -> binary(0) ('?' assignment ':' assignment)?
    Expr* ternary() {
        Expr* c = binary(0);
        if (tok().kind != Tok::Question) return c;
        DepthGuard guard(*this);
        advance();
        Expr* t = node<Expr>(tok());
        t->kind = ExprKind::Ternary;
        t->line = c->line;
        t->column = c->column;
        Expr* a = assignment();
        expect(Tok::Colon);
        Expr* b = assignment();
        t->args = {c, a, b};
        return t;
    }

    // binary(limit) -> unary (BINOP binary(priority(BINOP)))*  for operators above "limit"
    Expr* binary(int limit) {
        DepthGuard guard(*this);
        Expr* left = unary();
        for (;;) {
            const Token at = tok();
            const int p = BinaryPriority(at.kind);
            if (p == 0 || p <= limit) return left;
            advance();
            Expr* b = node<Expr>(at);
            b->kind = ExprKind::Binary;
            b->op = at.kind;
            b->line = left->line;  // a node reports at its first token
            b->column = left->column;
            b->args = {left, binary(p)};
            left = b;
        }
    }

    // unary -> ('-'|'+'|'!'|'~'|'++'|'--') unary | '(' type ')' unary | postfix
    Expr* unary() {
        DepthGuard guard(*this);
        const Token at = tok();
        switch (at.kind) {
            case Tok::Minus: case Tok::Plus: case Tok::Bang: case Tok::Tilde:
            case Tok::PlusPlus: case Tok::MinusMinus: {
                advance();
                Expr* u = node<Expr>(at);
                u->kind = ExprKind::Unary;
                u->op = at.kind;
                u->args = {unary()};
                return u;
            }
            case Tok::LParen:
                if (castAhead()) {
                    advance();
                    Expr* c = node<Expr>(at);
                    c->kind = ExprKind::Cast;
                    c->castType = type();
                    arraySuffix(c->castType);
                    expect(Tok::RParen);
                    c->args = {unary()};
                    return c;
                }
                break;
            default: break;
        }
        return postfix(primary());
    }

    // A '(' starts a cast when a type name and ')' (or an array suffix) follow.
    // A parenthesised name that is also a type ("Texture = (Texture);", a texture parameter
    // called Texture) is the name when nothing that could be cast follows.
    bool castAhead() const {
        if (!typeStartsAt(1)) return false;
        const Token& after = peek(2);
        if (after.kind == Tok::RParen) {
            switch (peek(3).kind) {
                case Tok::Semicolon: case Tok::RParen: case Tok::Comma: case Tok::RBrace:
                case Tok::RBracket: case Tok::End:
                    return false;
                default: return true;
            }
        }
        if (after.kind == Tok::LBracket) return true;
        return after.kind == Tok::Less && (peek(1).text == "vector" || peek(1).text == "matrix");
    }

    // postfix -> primary ('[' expression ']' | '.' NAME | '++' | '--')*
    Expr* postfix(Expr* e) {
        for (;;) {
            const Token at = tok();
            if (accept(Tok::LBracket)) {
                Expr* i = node<Expr>(at);
                i->kind = ExprKind::Index;
                i->line = e->line;
                i->column = e->column;
                i->args = {e, expression()};
                expectClosing(Tok::RBracket, Tok::LBracket, at);
                e = i;
            } else if (accept(Tok::Dot)) {
                Expr* m = node<Expr>(at);
                m->kind = ExprKind::Member;
                m->line = e->line;
                m->column = e->column;
                m->text = expectName();
                m->args = {e};
                e = m;
            } else if (at.kind == Tok::PlusPlus || at.kind == Tok::MinusMinus) {
                advance();
                Expr* p = node<Expr>(at);
                p->kind = ExprKind::Postfix;
                p->op = at.kind;
                p->line = e->line;
                p->column = e->column;
                p->args = {e};
                e = p;
            } else {
                return e;
            }
        }
    }

    // arguments -> '(' (assignment (',' assignment)*)? ')'
    void arguments(Expr* call) {
        const Token open = tok();
        expect(Tok::LParen);
        if (tok().kind != Tok::RParen) {
            do call->args.push_back(assignment());
            while (accept(Tok::Comma));
        }
        expectClosing(Tok::RParen, Tok::LParen, open);
    }

    // primary -> literal | NAME arguments? | type arguments | '(' expression ')'
    Expr* primary() {
        const Token at = tok();
        Expr* e = node<Expr>(at);
        e->text = at.text;
        switch (at.kind) {
            case Tok::IntLit: advance(); e->kind = ExprKind::IntLit; return e;
            case Tok::KwCompile: return compileExpr();
            case Tok::AsmBlock: advance(); e->kind = ExprKind::Asm; return e;
            case Tok::FloatLit: advance(); e->kind = ExprKind::FloatLit; return e;
            case Tok::KwTrue: case Tok::KwFalse: advance(); e->kind = ExprKind::BoolLit; return e;
            case Tok::String:
                advance();
                e->kind = ExprKind::StringLit;
                while (tok().kind == Tok::String) advance();  // adjacent strings: keep the first
                return e;
            case Tok::LParen: {
                advance();
                Expr* inner = expression();
                expectClosing(Tok::RParen, Tok::LParen, at);
                return inner;
            }
            case Tok::Identifier: {
                Type t;
                if (typeStartsAt(0) &&
                    (peek().kind == Tok::LParen ||
                     (peek().kind == Tok::Less && (at.text == "vector" || at.text == "matrix")))) {
                    if (structNamed(at.text))
                        fail(MakeDiagnostic(Diag::UnsupportedFeature, at.line, at.column,
                                            "a struct constructor"));
                    e->kind = ExprKind::Construct;
                    e->castType = type();
                    arguments(e);
                    return e;
                }
                advance();
                if (tok().kind == Tok::LParen) {
                    e->kind = ExprKind::Call;
                    arguments(e);
                    return e;
                }
                e->kind = ExprKind::Name;
                return e;
            }
            default: errorUnexpected();
        }
    }

    const std::vector<Token>& toks_;
    Module& m_;
    std::vector<Diagnostic>& diags_;
    ParseLimits limits_;
    std::size_t pos_ = 0;
    std::vector<std::pair<std::string_view, double>> constants_;
    int depth_ = 0;
    int errors_ = 0;
};

}  // namespace

void Parse(const std::vector<Token>& tokens, Module& module, std::vector<Diagnostic>& diagnostics,
           const ParseLimits& limits) {
    if (tokens.empty() || tokens.back().kind != Tok::End) return;
    Parser(tokens, module, diagnostics, limits).program();
}

}  // namespace platform::gfx::fx
