// platform/gfx/fx/parser_expr.cpp: expressions.
#include "platform/gfx/fx/parser_internal.h"

namespace platform::gfx::fx::parse {

// expression -> assignment (',' assignment)*
Expr* Parser::expression() {
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

// assignment -> ternary (ASSIGNOP assignment)?
Expr* Parser::assignment() {
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
Expr* Parser::ternary() {
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
Expr* Parser::binary(int limit) {
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
Expr* Parser::unary() {
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
bool Parser::castAhead() const {
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
    return after.kind == Tok::Less && (EqualsNoCase(peek(1).text, "vector") || EqualsNoCase(peek(1).text, "matrix"));
}

// postfix -> primary ('[' expression ']' | '.' NAME | '++' | '--')*
Expr* Parser::postfix(Expr* e) {
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
            // "t.Sample(s, uv)" is the Direct3D 10 texture objects' method syntax, which a
            // Direct3D 9 effect does not have: said plainly instead of a missing ';'.
            if (tok().kind == Tok::LParen)
                fail(MakeDiagnostic(Diag::UnsupportedFeature, tok().line, tok().column,
                                    "'." + std::string(m->text) +
                                        "(...)', a method of the Direct3D 10 texture objects (a "
                                        "Direct3D 9 shader reads a texture through a sampler with "
                                        "tex1D, tex2D, tex3D or texCUBE),"));
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
void Parser::arguments(Expr* call) {
    const Token open = tok();
    expect(Tok::LParen);
    if (tok().kind != Tok::RParen) {
        do call->args.push_back(assignment());
        while (accept(Tok::Comma));
    }
    expectClosing(Tok::RParen, Tok::LParen, open);
}

// primary -> literal | NAME arguments? | type arguments | '(' expression ')'
Expr* Parser::primary() {
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
                 (peek().kind == Tok::Less && (EqualsNoCase(at.text, "vector") || EqualsNoCase(at.text, "matrix"))))) {
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

}  // namespace platform::gfx::fx::parse
