// platform/gfx/fx/parser_stmt.cpp: statements.
#include "platform/gfx/fx/parser_internal.h"

namespace platform::gfx::fx::parse {

// block -> '{' statement* '}'
Stmt* Parser::block() {
    DepthGuard guard(*this);
    const Token open = tok();
    expect(Tok::LBrace);
    Stmt* s = node<Stmt>(open);
    s->kind = StmtKind::Block;
    while (tok().kind != Tok::RBrace && tok().kind != Tok::End) s->body.push_back(statement());
    expectClosing(Tok::RBrace, Tok::LBrace, open);
    return s;
}

// attributes -> ('[' NAME ('(' ... ')')? ']')*
// '[unroll]', '[unroll(n)]', '[loop]', '[fastopt]', '[branch]', '[flatten]', '[call]',
// '[forcecase]' and attributes of later models ("[maxvertexcount(3)]") are kept as kAttr* bits
// where they change what is compiled ('[branch]' refuses a gradient under a condition that
// varies per pixel instead of flattening it); one given twice, or with the attribute that means
// the opposite, is an error.
unsigned Parser::attributes() {
    static constexpr std::pair<const char*, unsigned> kKept[] = {
        {"branch", kAttrBranch}, {"flatten", kAttrFlatten}, {"loop", kAttrLoop}, {"unroll", kAttrUnroll}};
    unsigned attrs = 0;
    // Pairs that ask for opposite code: a loop kept or unrolled; an if or a switch kept as a
    // branch, flattened, called as subroutines or tested case by case.
    static constexpr const char* kOpposites[][2] = {
        {"loop", "unroll"},    {"branch", "flatten"},    {"call", "forcecase"}, {"call", "branch"},
        {"call", "flatten"},   {"forcecase", "branch"}, {"forcecase", "flatten"}};
    std::vector<std::string_view> seen;
    while (tok().kind == Tok::LBracket && peek().kind == Tok::Identifier) {
        advance();
        const Token name = tok();
        advance();
        for (std::string_view other : seen) {
            if (other == name.text)
                fail(MakeDiagnostic(Diag::BadAttribute, name.line, name.column, std::string(name.text),
                                    "is given twice"));
            for (const auto& pair : kOpposites)
                if ((other == pair[0] && name.text == pair[1]) || (other == pair[1] && name.text == pair[0]))
                    fail(MakeDiagnostic(Diag::BadAttribute, name.line, name.column, std::string(name.text),
                                        "conflicts with '" + std::string(other) + "'"));
        }
        seen.push_back(name.text);
        for (const auto& [kept, bit] : kKept)
            if (name.text == kept) attrs |= bit;
        if (accept(Tok::LParen)) {
            while (tok().kind != Tok::RParen && tok().kind != Tok::End) advance();
            expect(Tok::RParen);
        }
        expect(Tok::RBracket);
    }
    return attrs;
}

bool Parser::declarationStarts() const {
    switch (tok().kind) {
        case Tok::KwConst: case Tok::KwStatic: case Tok::KwUniform: case Tok::KwExtern:
        case Tok::KwVolatile: case Tok::KwRowMajor: case Tok::KwColumnMajor: case Tok::KwStruct:
            return true;
        case Tok::Identifier:
            if (tok().text == "precise") return true;
            break;
        default: break;
    }
    if (!typeStartsAt(0)) return false;
    if (peek().kind == Tok::Identifier) return true;
    return peek().kind == Tok::Less &&
           (EqualsNoCase(tok().text, "vector") || EqualsNoCase(tok().text, "matrix"));
}

// statement -> block | if | for | while | do | jump ';' | declaration ';' | expr? ';'
Stmt* Parser::statement() {
    DepthGuard guard(*this);
    const unsigned attrs = attributes();
    const Token at = tok();
    Stmt* s = node<Stmt>(at);
    s->attrs = attrs;
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
        case Tok::KwTypedef: typedefDecl(); s->kind = StmtKind::Empty; return s;
        case Tok::KwReturn:
            advance();
            s->kind = StmtKind::Return;
            if (tok().kind != Tok::Semicolon) s->expr = expression();
            expect(Tok::Semicolon);
            return s;
        case Tok::Identifier:
            if (at.text == "switch") return switchStatement();
            break;
        default: break;
    }
    Stmt* simple = simpleStatement();
    expect(Tok::Semicolon);
    return simple;
}

// switch -> 'switch' '(' expr ')' '{' ('case' constant_expr ':' | 'default' ':' | statement)* '}'
Stmt* Parser::switchStatement() {
    Stmt* s = node<Stmt>(tok());
    advance();
    s->kind = StmtKind::Switch;
    s->expr = condition();
    const Token open = tok();
    expect(Tok::LBrace);
    while (tok().kind != Tok::RBrace && tok().kind != Tok::End) {
        const Token at = tok();
        if (at.kind == Tok::Identifier && (at.text == "case" || at.text == "default") &&
            (at.text == "case" || peek().kind == Tok::Colon)) {
            advance();
            Stmt* c = node<Stmt>(at);
            c->kind = StmtKind::Case;
            if (at.text == "case") c->expr = ternary();
            expect(Tok::Colon);
            s->body.push_back(c);
        } else {
            s->body.push_back(statement());
        }
    }
    expectClosing(Tok::RBrace, Tok::LBrace, open);
    return s;
}

// simple_statement -> local_declaration | expr
Stmt* Parser::simpleStatement() {
    const Token at = tok();
    Stmt* s = node<Stmt>(at);
    if (declarationStarts()) {
        s->kind = StmtKind::Decl;
        const unsigned st = storage();
        justDefinedStruct_ = false;
        const Type t = type();
        if (justDefinedStruct_ && tok().kind == Tok::Semicolon) return s;
        do {
            const Token nt = tok();
            const std::string_view n = declaredName();
            s->decls.push_back(variableRest(st, t, n, nt, false));
            rememberConstant(s->decls.back());
        } while (accept(Tok::Comma));
        return s;
    }
    s->kind = StmtKind::Expr;
    s->expr = expression();
    return s;
}

Expr* Parser::condition() {
    const Token open = tok();
    expect(Tok::LParen);
    Expr* e = expression();
    expectClosing(Tok::RParen, Tok::LParen, open);
    return e;
}

}  // namespace platform::gfx::fx::parse
