// platform/gfx/fx/parser_decl.cpp: types, storage, variables, structs, functions; array sizes and
// the constants that size them, evaluated by the one walker of constant expressions.
#include "platform/gfx/fx/parser_internal.h"
#include "platform/gfx/fx/check.h"
#include "platform/gfx/fx/const_eval.h"
#include "platform/gfx/fx/const_lower.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace platform::gfx::fx::parse {

const StructDecl* Parser::structNamed(std::string_view name) const {
    for (const StructDecl* s : m_.structs)
        if (s->name == name) return s;
    return nullptr;
}

const Type* Parser::typedefNamed(std::string_view name) const {
    for (auto t = typedefs_.rbegin(); t != typedefs_.rend(); ++t)
        if (t->first == name) return &t->second;
    return nullptr;
}

// Whether a type starts at token offset "n".
bool Parser::typeStartsAt(std::size_t n) const {
    const Token& t = peek(n);
    if (t.kind == Tok::KwStruct) return true;
    if (t.kind != Tok::Identifier) return false;
    Type ignored;
    if (t.text == "unsigned") return peek(n + 1).kind == Tok::Identifier && peek(n + 1).text == "int";
    return BuiltinTypeNamed(t.text, ignored) || structNamed(t.text) != nullptr ||
           typedefNamed(t.text) != nullptr;
}

// type -> BUILTIN | STRUCTNAME | TYPEDEFNAME | 'unsigned' 'int' | struct_type
//       | 'vector' '<' scalar ',' N '>' | 'matrix' '<' scalar ',' R ',' C '>'
Type Parser::type() {
    const Token& t = tok();
    if (t.kind == Tok::KwStruct) return structType();
    if (t.kind != Tok::Identifier) errorUnexpected();
    Type out;
    if (t.text == "unsigned" && peek().kind == Tok::Identifier && peek().text == "int") {
        advance();
        advance();
        return Type::Scalar(Base::Uint);
    }
    if (const Type* alias = typedefNamed(t.text)) {
        advance();
        return *alias;
    }
    if (const StructDecl* s = structNamed(t.text)) {
        advance();
        out.base = Base::Struct;
        out.cols = 0;
        out.st = s;
        return out;
    }
    if (!BuiltinTypeNamed(t.text, out))
        fail(MakeDiagnostic(Diag::UnknownType, t.line, t.column, std::string(t.text)));
    const bool isVector = EqualsNoCase(t.text, "vector"), isMatrix = EqualsNoCase(t.text, "matrix");
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
        out.precision = scalar.precision;
    }
    return out;
}

int Parser::smallInt(int lo, int hi) {
    if (tok().kind != Tok::IntLit) errorExpected("integer constant");
    const std::uint64_t u = IntLiteralValue(tok().text);
    const long long v = u > static_cast<std::uint64_t>(hi) ? hi + 1LL : static_cast<long long>(u);
    if (v < lo || v > hi) errorUnexpected();
    advance();
    return static_cast<int>(v);
}

// storage -> ('uniform'|'static'|'const'|'extern'|'shared'|'volatile'|'in'|'out'|'inout'
//             |'row_major'|'column_major'|'inline')*
unsigned Parser::storage() {
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
            case Tok::KwRowMajor: s |= kStorageMatrixOrder | kStorageRowMajor; break;
            case Tok::KwColumnMajor: s = (s | kStorageMatrixOrder) & ~kStorageRowMajor; break;
            case Tok::KwInline: break;
            case Tok::Identifier:  // 'precise' and 'export' change nothing here
                if (tok().text != "precise" && tok().text != "export") return s;
                break;
            default: return s;
        }
        advance();
    }
}

// arraySuffix -> ('[' constant_expr? ']'){0,3}
// An empty size ("float a[] = {...}", the first dimension only) is left at -1 for the
// initializer to settle. Several dimensions make one flat array (see Type).
void Parser::arraySuffix(Type& t, bool unsizedAllowed) {
    long dims[3] = {0, 0, 0};
    int n = 0;
    Token first = tok();
    while (accept(Tok::LBracket)) {
        const Token at = tok();
        long v = -1;
        if (at.kind != Tok::RBracket || !unsizedAllowed || n > 0) {
            std::vector<double> size;
            const double value = constantValue(ternary(), size) && size.size() == 1 ? size[0] : 0;
            if (!(value >= 1 && value <= kMaxArraySize) || value != std::trunc(value))
                fail(MakeDiagnostic(Diag::BadArraySize, at.line, at.column,
                                    std::to_string(kMaxArraySize)));
            v = static_cast<long>(value);
        }
        expect(Tok::RBracket);
        // Several dimensions are for values; objects and shaders take one.
        const bool value = t.isNumeric() || t.base == Base::Struct;
        if (n == 3 || (n > 0 && !value) || t.isArray() || t.arraySize < 0 || t.base == Base::Void)
            fail(MakeDiagnostic(Diag::UnsupportedFeature, at.line, at.column,
                                "an array of this type"));
        if (n == 0) first = at;
        dims[n++] = v;
    }
    if (n == 0) return;
    const long inner = (n > 1 ? dims[1] : 1) * (n > 2 ? dims[2] : 1);
    if (dims[0] > 0 && dims[0] * inner > kMaxArraySize)
        fail(MakeDiagnostic(Diag::BadArraySize, first.line, first.column,
                            std::to_string(kMaxArraySize)));
    t.arraySize = dims[0] < 0 ? -1 : static_cast<int>(dims[0] * inner);
    t.inner[0] = n > 1 ? static_cast<int>(inner) : 0;
    t.inner[1] = n > 2 ? static_cast<int>(dims[2]) : 0;
    requireBoundedSize(t, first);
}

void Parser::requireBoundedSize(const Type& t, const Token& at) {
    if (ScalarCount(t) > kMaxScalars)
        fail(MakeDiagnostic(Diag::UnsupportedFeature, at.line, at.column,
                            "a type of more than " + std::to_string(kMaxScalars) + " scalars"));
}

namespace {

// The names of an expression the parser evaluates: the constants declared before it.
class DeclaredConstants : public ConstSource {
public:
    explicit DeclaredConstants(const std::vector<Parser::Constant>& c) : c_(c) {}
    bool name(const Expr* e, Type& type, std::vector<StateOp>& ops) override {
        for (auto c = c_.rbegin(); c != c_.rend(); ++c)
            if (c->name == e->text) {
                type = c->type;
                ops.push_back(ConstValueOp(c->values));
                return true;
            }
        return false;
    }
    bool braces() const override { return true; }

private:
    const std::vector<Parser::Constant>& c_;
};

}  // namespace

// The value of a constant expression the parser must know (array sizes, constants that size
// later arrays), through the one walker of constant expressions (const_lower.h): literals,
// constants declared before, their components, elements and swizzles, operators, casts,
// constructors and the folding intrinsics. "to", when given, is the type the value converts
// to. False when the expression is not such a constant.
bool Parser::constantValue(const Expr* e, std::vector<double>& out, const Type* to) const {
    DeclaredConstants names(constants_);
    std::vector<StateOp> ops;
    Type type;
    return LowerConst(e, names, type, ops) && (!to || LowerConvert(type, *to, ops)) &&
           RunConstProgram(ops, nullptr, out) == ConstStatus::Ok;
}

namespace {

// "vs", "ps" or a profile of either ("ps_2_0", "vs_3_sw"): the stages a register binding is for.
bool ProfileWord(std::string_view w) {
    if (w.size() < 2 || (w.substr(0, 2) != "vs" && w.substr(0, 2) != "ps")) return false;
    return w.size() == 2 || (w.size() >= 4 && w[2] == '_' && w[3] >= '1' && w[3] <= '9');
}

}  // namespace

// semantics -> (':' (SEMANTIC | register | 'packoffset' '(' ... ')'))*
// register -> 'register' '(' (PROFILE ',')? NAME ('[' INT ']')? ')'
// A Direct3D 9 effect has no constant buffers, so packoffset is refused.
std::string_view Parser::semantics() {
    std::string_view sem;
    while (accept(Tok::Colon)) {
        if (tok().kind == Tok::KwPackoffset)
            fail(MakeDiagnostic(Diag::UnsupportedFeature, tok().line, tok().column,
                                "packoffset outside a constant buffer"));
        if (tok().kind != Tok::KwRegister) {
            sem = expectName();
            continue;
        }
        advance();
        const Token open = tok();
        expect(Tok::LParen);
        VarDecl::Register r;
        if (tok().kind == Tok::Identifier && peek().kind == Tok::Comma) {
            const Token profile = tok();
            if (!ProfileWord(profile.text))
                fail(MakeDiagnostic(Diag::BadRegister, profile.line, profile.column,
                                    std::string(profile.text), "is not a shader profile"));
            r.profile = profile.text;
            advance();
            advance();
        }
        const Token at = tok();
        r.line = at.line;
        r.column = at.column;
        r.name = expectName();
        if (accept(Tok::LBracket)) {  // "s[2]" is s2
            const Token number = tok();
            if (number.kind != Tok::IntLit || r.name.size() != 1)
                fail(MakeDiagnostic(Diag::BadRegister, at.line, at.column, std::string(r.name),
                                    "is not a register"));
            advance();
            r.name = m_.keep(std::string(r.name) + std::string(number.text));
            expect(Tok::RBracket);
        }
        registers_.push_back(r);
        expectClosing(Tok::RParen, Tok::LParen, open);
    }
    return sem;
}

// struct_type -> 'struct' NAME | 'struct' NAME? '{' (storage type NAME array? semantics?
//                (',' NAME array? semantics?)* ';')* '}'
// A definition adds the struct to the module; the declaration it starts may go on with
// variables ("struct P { float x; } p;") or end at its ';'.
Type Parser::structType() {
    const Token kw = tok();
    advance();
    const Token nameTok = tok();
    std::string_view name;
    if (tok().kind == Tok::Identifier) {
        name = expectName();
        if (tok().kind != Tok::LBrace) {  // a use of a struct declared before
            const StructDecl* s = structNamed(name);
            if (!s) fail(MakeDiagnostic(Diag::UnknownType, nameTok.line, nameTok.column, std::string(name)));
            return Type{Base::Struct, 0, 0, 0, Dim::None, s};
        }
        if (structNamed(name))
            fail(MakeDiagnostic(Diag::Redefinition, nameTok.line, nameTok.column, std::string(name)));
    } else {
        name = m_.keep("0anon" + std::to_string(m_.structs.size()));  // no source name can be this
    }
    StructDecl* s = node<StructDecl>(nameTok);
    s->name = name;
    const Token open = tok();
    expect(Tok::LBrace);
    while (tok().kind != Tok::RBrace && tok().kind != Tok::End) {
        // row_major / column_major are kept (they decide how many registers a matrix
        // member takes); interpolation modifiers and the like are accepted and ignored; a
        // storage class belongs to a variable, not to a member.
        const Token modifiers = tok();
        const unsigned st = storage();
        if (st & ~(kStorageMatrixOrder | kStorageRowMajor | kStorageConst))
            fail(MakeDiagnostic(Diag::BadModifier, modifiers.line, modifiers.column,
                                "a storage class on a struct member", std::string(modifiers.text)));
        skipInterpolationModifiers();
        const Type base = type();
        do {
            const Token mt = tok();
            VarDecl* v = node<VarDecl>(mt);
            v->storage = (st & kStorageMatrixOrder) || !rowMajorDefault_ ? st : st | kStorageRowMajor;
            v->name = declaredName();
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
    if (s->members.empty())
        fail(MakeDiagnostic(Diag::UnsupportedFeature, kw.line, kw.column, "an empty struct"));
    for (const VarDecl* v : s->members) s->scalars += ScalarCount(v->type);
    requireBoundedSize(Type{Base::Struct, 0, 1, 0, Dim::None, s}, nameTok);
    m_.structs.push_back(s);
    justDefinedStruct_ = true;
    return Type{Base::Struct, 0, 0, 0, Dim::None, s};
}

// typedef -> 'typedef' 'const'? type NAME array? (',' NAME array?)* ';'
void Parser::typedefDecl() {
    expect(Tok::KwTypedef);
    accept(Tok::KwConst);
    const Type base = type();
    do {
        const Token nt = tok();
        const std::string_view name = declaredName();
        Type t = base;
        arraySuffix(t);
        if (structNamed(name) || typedefNamed(name))
            fail(MakeDiagnostic(Diag::Redefinition, nt.line, nt.column, std::string(name)));
        typedefs_.emplace_back(name, t);
    } while (accept(Tok::Comma));
    expect(Tok::Semicolon);
}

// The words of the language and the ones it reserves cannot name a variable, a function, a
// parameter or a member. Type names that effects of the era used as names ("texture",
// "Texture", "sampler", "string") stay usable, as the old compiler allowed.
std::string_view Parser::declaredName() {
    static constexpr const char* kReserved[] = {
        "asm", "auto", "BlendState", "case", "catch", "cbuffer", "char", "class", "compile_fragment",
        "const_cast", "default", "delete", "DepthStencilState", "DepthStencilView", "dynamic_cast",
        "enum", "explicit", "friend", "goto", "groupshared", "interface", "long", "mutable",
        "namespace", "new", "operator", "pixelfragment", "pixelshader", "PixelShader", "private",
        "protected", "public", "RasterizerState", "reinterpret_cast", "RenderTargetView",
        "SamplerState", "short", "signed", "sizeof", "stateblock", "stateblock_state", "static_cast",
        "switch", "tbuffer", "technique", "technique10", "technique11", "template", "this", "throw",
        "try", "typename", "union", "unsigned", "using", "vertexfragment", "vertexshader",
        "VertexShader", "virtual",
        // the rest of the keyword table: types, modifiers and the later models' objects
        "AppendStructuredBuffer", "asm_fragment", "bool", "Buffer", "ByteAddressBuffer", "centroid",
        "CompileShader", "ComputeShader", "ConsumeStructuredBuffer", "decl", "DomainShader",
        "double", "dword", "export", "float", "fxgroup", "GeometryShader", "half", "Hullshader",
        "InputPatch", "int", "line", "lineadj", "linear", "LineStream", "matrix", "min10float",
        "min12int", "min16float", "min16int", "min16uint", "nointerpolation", "noperspective",
        "NULL", "OutputPatch", "point", "PointStream", "precise", "RWBuffer", "RWByteAddressBuffer",
        "RWStructuredBuffer", "RWTexture1D", "RWTexture1DArray", "RWTexture2D", "RWTexture2DArray",
        "RWTexture3D", "sampler1D", "sampler2D", "sampler3D", "samplerCUBE", "SamplerComparisonState",
        "snorm", "StructuredBuffer", "Texture1D", "Texture1DArray", "Texture2D", "Texture2DArray",
        "Texture2DMS", "Texture2DMSArray", "Texture3D", "TextureCube", "TextureCubeArray", "triangle",
        "triangleadj", "TriangleStream", "uint", "unorm", "vector", "void",
    };
    const Token at = tok();
    Type builtin;  // "float2", "half4x4" and the like spell a type, never a name
    if (at.kind == Tok::Identifier && BuiltinTypeNamed(at.text, builtin) && builtin.isNumericValue())
        fail(MakeDiagnostic(Diag::ReservedName, at.line, at.column, std::string(at.text)));
    // The capitalised shader type names named functions in effects of the era ("float4
    // PixelShader(...) : COLOR", compiled by "PixelShader = compile ps_2_0 PixelShader();"),
    // which the old compiler let through; the lower-case type keywords stay refused.
    const bool function = peek().kind == Tok::LParen && (at.text == "PixelShader" || at.text == "VertexShader");
    if (at.kind == Tok::Identifier && !function)
        for (const char* r : kReserved)
            if (at.text == r)
                fail(MakeDiagnostic(Diag::ReservedName, at.line, at.column, std::string(at.text)));
    return expectName();
}

void Parser::skipInterpolationModifiers() {
    while (tok().kind == Tok::Identifier &&
           (tok().text == "linear" || tok().text == "centroid" ||
            tok().text == "nointerpolation" || tok().text == "noperspective"))
        advance();
}

// declaration -> storage type ';' (after a struct definition) | storage type NAME
//                ( function_rest | variable_rest (',' NAME variable_rest)* ';' )
void Parser::declaration() {
    const unsigned st = storage();
    justDefinedStruct_ = false;
    const Type t = type();
    if (justDefinedStruct_ && accept(Tok::Semicolon)) return;
    const Token nameTok = tok();
    const std::string_view name = declaredName();
    if (tok().kind == Tok::LParen) return function(t, name, nameTok);
    VarDecl* v = variableRest(st, t, name, nameTok, true);
    m_.globals.push_back(v);
    rememberConstant(v);
    while (accept(Tok::Comma)) {
        const Token nt = tok();
        const std::string_view n = declaredName();
        m_.globals.push_back(variableRest(st, t, n, nt, true));
        rememberConstant(m_.globals.back());
    }
    expect(Tok::Semicolon);
}

// Storage classes and modifiers that do not go together or with the declaration: 'in' or
// 'out' on a variable, 'uniform', 'extern' or 'shared' on a local, 'static' with 'uniform' or 'extern', 'const' without a value, row_major or
// column_major on what is not a matrix.
void Parser::checkModifiers(const VarDecl* v, const Token& at) {
    const unsigned st = v->storage;
    const char* wrong = nullptr;
    if (st & (kStorageIn | kStorageOut)) wrong = "'in', 'out' or 'inout' on a variable that is not a parameter";
    else if (!v->isGlobal && (st & kStorageUniform)) wrong = "'uniform' on a local variable";
    else if (!v->isGlobal && (st & (kStorageExtern | kStorageShared)))
        wrong = "'extern' or 'shared' on a local variable";
    else if ((st & kStorageStatic) && (st & (kStorageUniform | kStorageExtern)))
        wrong = "'static' with 'uniform' or 'extern'";
    else if (!v->isGlobal && (st & kStorageConst) && !v->init)
        wrong = "'const' without an initial value";
    else if ((st & kStorageMatrixOrder) && !v->type.element().isMatrixShaped())
        wrong = "row_major or column_major on a type that is not a matrix";
    if (wrong) fail(MakeDiagnostic(Diag::BadModifier, at.line, at.column, wrong, std::string(v->name)));
}

// A constant declared with a constant value ("static const int N = 4 * 2;", "const float
// K = 0.5;", "static const int2 kSizes = {3, 4};") can size later arrays, converted to its
// declared type.
void Parser::rememberConstant(const VarDecl* v) {
    std::vector<double> value;
    if ((v->storage & kStorageConst) && v->init && v->type.isNumeric() && v->type.arraySize >= 0 &&
        ScalarCount(v->type) <= 4096 && constantValue(v->init, value, &v->type))
        constants_.push_back({v->name, v->type, std::move(value)});
}

// An unsized array takes its size from a brace initializer: one element per top-level
// item, or, for a flat list of scalars, the scalar count over the element's size.
void Parser::sizeFromInitializer(VarDecl* v, const Token& at) {
    if (v->type.arraySize >= 0) return;
    const Expr* init = v->init;
    if (!init || init->kind != ExprKind::Brace)
        fail(MakeDiagnostic(Diag::BadArraySize, at.line, at.column,
                            std::to_string(kMaxArraySize)));
    // A top-level item of "float c[][3]" is one c[i]: inner[0] elements.
    const int rowItems = std::max(1, v->type.inner[0]);
    const int per = v->type.element().components() * rowItems;
    int count = static_cast<int>(init->args.size());
    bool flat = per > 1;
    for (const Expr* a : init->args)
        flat = flat && (a->kind == ExprKind::IntLit || a->kind == ExprKind::FloatLit ||
                        a->kind == ExprKind::BoolLit || a->kind == ExprKind::Unary);
    if (flat && count % per == 0) count /= per;
    if (static_cast<long>(count) * rowItems > kMaxArraySize)
        fail(MakeDiagnostic(Diag::BadArraySize, at.line, at.column,
                            std::to_string(kMaxArraySize)));
    v->type.arraySize = count * rowItems;
}

// variable_rest -> array? semantics annotations? ('=' initializer)?
VarDecl* Parser::variableRest(unsigned st, const Type& t, std::string_view name, const Token& at,
                              bool global) {
    VarDecl* v = node<VarDecl>(at);
    v->name = name;
    v->type = t;
    // Matrices declared without row_major or column_major take the pack_matrix default.
    v->storage = (st & kStorageMatrixOrder) || !rowMajorDefault_ ? st : st | kStorageRowMajor;
    v->isGlobal = global;
    arraySuffix(v->type, true);
    registers_.clear();
    v->semantic = semantics();
    v->registers = registers_;
    if (tok().kind == Tok::Less) v->annotations = annotations();
    if (!samplerState(v) && accept(Tok::Assign)) v->init = initializer();
    sizeFromInitializer(v, at);
    checkModifiers(v, at);
    return v;
}

// initializer -> '{' initializer (',' initializer)* ','? '}' | assignment_expr
Expr* Parser::initializer() {
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
void Parser::function(const Type& ret, std::string_view name, const Token& at) {
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
            p->name = declaredName();
            p->type = pt;
            p->storage = st;
            p->isParameter = true;
            if (st & (kStorageStatic | kStorageExtern | kStorageShared | kStorageVolatile))
                fail(MakeDiagnostic(Diag::BadModifier, pn.line, pn.column,
                                    "'static', 'extern', 'shared' or 'volatile' on a parameter",
                                    std::string(p->name)));
            arraySuffix(p->type);
            p->semantic = semantics();
            if (tok().kind == Tok::Assign && (st & kStorageOut))
                fail(MakeDiagnostic(Diag::BadModifier, pn.line, pn.column,
                                    "a default value on an 'out' parameter", std::string(p->name)));
            if (accept(Tok::Assign)) p->init = assignment();
            if (!p->init && !f->params.empty() && f->params.back()->init)
                fail(MakeDiagnostic(Diag::MissingDefault, pn.line, pn.column, std::string(p->name)));
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

}  // namespace platform::gfx::fx::parse
