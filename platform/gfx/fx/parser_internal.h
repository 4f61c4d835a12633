// platform/gfx/fx/parser_internal.h: the recursive-descent parser's class, shared by the
// parser's files (one per group of grammar rules; each rule is written above its function).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/gfx/fx/parser.h"

namespace platform::gfx::fx::parse {

struct ParseError {};  // unwinds to the top-level loop, which resynchronises

constexpr int kMaxArraySize = 65536;

class Parser {
public:
    Parser(const std::vector<Token>& tokens, Module& module, std::vector<Diagnostic>& diags,
           const ParseLimits& limits)
        : toks_(tokens), m_(module), diags_(diags), limits_(limits) {}

    // program -> toplevel* END
    void program();

    // A constant declared so far, with its value in its declared type.
    struct Constant {
        std::string_view name;
        Type type;
        std::vector<double> values;
    };

private:
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

    template <typename T>
    T* node(const Token& at) {
        T* n = m_.make<T>();
        n->line = at.line;
        n->column = at.column;
        return n;
    }

    // Values are bounded in size (2^20 scalars: a float4x4 array of the largest size), so that
    // arrays of structs of arrays cannot make the compiler's output explode.
    static constexpr long long kMaxScalars = 1LL << 20;

    bool passStarts() const { return tok().kind == Tok::KwPass || wordAt(0, "pass"); }

    static bool isAssignOp(Tok k) {
        switch (k) {
            case Tok::Assign: case Tok::PlusAssign: case Tok::MinusAssign: case Tok::StarAssign:
            case Tok::SlashAssign: case Tok::PercentAssign: case Tok::ShlAssign:
            case Tok::ShrAssign: case Tok::AmpAssign: case Tok::PipeAssign: case Tok::CaretAssign:
                return true;
            default: return false;
        }
    }

    // parser.cpp: top level and error recovery
    void expectClosing(Tok close, Tok open, const Token& opened);
    void resync(std::size_t start);
    bool wordAt(std::size_t n, std::string_view word) const;
    void toplevel();

    // parser_decl.cpp: types, storage, variables, structs, functions
    const StructDecl* structNamed(std::string_view name) const;
    bool typeStartsAt(std::size_t n) const;
    Type type();
    int smallInt(int lo, int hi);
    unsigned storage();
    void arraySuffix(Type& t, bool unsizedAllowed = false);
    void requireBoundedSize(const Type& t, const Token& at);
    bool constantValue(const Expr* e, std::vector<double>& out, const Type* to = nullptr) const;
    std::string_view semantics();
    Type structType();
    void typedefDecl();
    std::string_view declaredName();
    void checkModifiers(const VarDecl* v, const Token& at);
    const Type* typedefNamed(std::string_view name) const;
    void skipInterpolationModifiers();
    void declaration();
    void rememberConstant(const VarDecl* v);
    void sizeFromInitializer(VarDecl* v, const Token& at);
    VarDecl* variableRest(unsigned st, const Type& t, std::string_view name, const Token& at,
                          bool global);
    Expr* initializer();
    void function(const Type& ret, std::string_view name, const Token& at);

    // parser_effect.cpp: techniques, passes, state blocks, annotations, compile expressions
    bool techniqueStarts() const;
    void technique();
    void skipTechnique10();
    PassDecl* pass();
    std::vector<AnnotationDecl> annotations();
    void arraySuffixIgnored();
    Expr* annotationValue();
    bool samplerState(VarDecl* v);
    std::vector<StateAssign> stateBlock();
    Expr* stateValue();
    Expr* compileExpr();

    // parser_stmt.cpp: statements
    Stmt* block();
    unsigned attributes();
    bool declarationStarts() const;
    Stmt* statement();
    Stmt* simpleStatement();
    Stmt* switchStatement();
    Expr* condition();

    // parser_expr.cpp: expressions
    Expr* expression();
    Expr* assignment();
    Expr* ternary();
    Expr* binary(int limit);
    Expr* unary();
    bool castAhead() const;
    Expr* postfix(Expr* e);
    void arguments(Expr* call);
    Expr* primary();

    const std::vector<Token>& toks_;
    Module& m_;
    std::vector<Diagnostic>& diags_;
    ParseLimits limits_;
    std::size_t pos_ = 0;
    std::vector<Constant> constants_;
    std::vector<std::pair<std::string_view, Type>> typedefs_;  // in declaration order
    bool justDefinedStruct_ = false;
    std::vector<VarDecl::Register> registers_;  // the bindings the last semantics() read  // the last type() defined a struct
    int depth_ = 0;
    int errors_ = 0;
    bool rowMajorDefault_ = false;  // after #pragma pack_matrix(row_major)
};

}  // namespace platform::gfx::fx::parse
