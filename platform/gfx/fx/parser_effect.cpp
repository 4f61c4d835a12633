// platform/gfx/fx/parser_effect.cpp: techniques, passes, state blocks, annotations, compile expressions.
#include "platform/gfx/fx/parser_internal.h"

namespace platform::gfx::fx::parse {

// A technique keyword is followed by a name, annotations or its body.
bool Parser::techniqueStarts() const {
    if (tok().kind == Tok::KwTechnique) return true;
    if (!wordAt(0, "technique") && !wordAt(0, "technique9")) return false;
    const Tok next = peek().kind;
    return next == Tok::Identifier || next == Tok::LBrace || next == Tok::Less;
}

// technique -> 'technique' NAME? annotations? '{' pass* '}'
void Parser::technique() {
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
// A Direct3D 9 effect cannot hold Direct3D 10 techniques: the block is refused at its keyword
// and skipped whole, so the rest of the file is still checked.
void Parser::skipTechnique10() {
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
    diags_.push_back(MakeDiagnostic(Diag::Direct3D10Technique, kw.line, kw.column,
                                    std::string(kw.text)));
}

// pass -> 'pass' NAME? annotations? state_block
PassDecl* Parser::pass() {
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

// annotations -> '<' (type NAME ('[' INT? ']')* '=' initializer ';')* '>'
// An annotation may be an array, sized or not ("int Declaration[] = { {0, 2, 0, 0}, ... };"
// describes a vertex layout to the host); its brace list is its value.
std::vector<AnnotationDecl> Parser::annotations() {
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
        if (tok().kind == Tok::LBracket) {
            Type t{Base::Float};
            arraySuffix(t, true);
        }
        expect(Tok::Assign);
        a.value = annotationValue();
        expect(Tok::Semicolon);
        out.push_back(std::move(a));
        (void)tt;
    }
    expectClosing(Tok::Greater, Tok::Less, open);
    return out;
}

void Parser::arraySuffixIgnored() {
    Type t{Base::Float};
    arraySuffix(t);
}

// An annotation value is parsed above the relational level so that '>' ends the list.
Expr* Parser::annotationValue() {
    if (tok().kind == Tok::LBrace) return initializer();
    return binary(BinaryPriority(Tok::Less));
}

// sampler_state -> '=' 'sampler_state' state_block | state_block (a sampler only)
//                | '=' '{' 'sampler_state' state_block (',' 'sampler_state' state_block)* ','? '}'
// "sampler s { ... };" without "= sampler_state" is accepted by old compilers; a sampler
// array takes a block per element. False, having consumed nothing, when no sampler state
// block follows.
bool Parser::samplerState(VarDecl* v) {
    if (tok().kind == Tok::Assign && peek().kind == Tok::LBrace && peek(2).kind == Tok::KwSamplerState) {
        advance();
        const Token open = tok();
        advance();
        v->hasSamplerState = true;
        while (accept(Tok::KwSamplerState)) {
            v->elementSamplerStates.push_back(stateBlock());
            if (!accept(Tok::Comma)) break;
        }
        expectClosing(Tok::RBrace, Tok::LBrace, open);
        return true;
    }
    const bool assigned = tok().kind == Tok::Assign && peek().kind == Tok::KwSamplerState;
    if (!assigned && !(tok().kind == Tok::LBrace && v->type.base == Base::Sampler)) return false;
    if (assigned) {
        advance();
        advance();
    }
    v->hasSamplerState = true;
    v->samplerStates = stateBlock();
    return true;
}

// state_block -> '{' (NAME ('[' INT ']')? '=' state_value ';')* '}'
// state_value -> '<' NAME '>' | 'compile' PROFILE NAME '(' args ')' | initializer
std::vector<StateAssign> Parser::stateBlock() {
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
            s.index = smallInt(0, 4095);  // each state's own bound is the checker's
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

Expr* Parser::stateValue() {
    if (accept(Tok::Less)) {
        Expr* e = node<Expr>(tok());
        e->kind = ExprKind::Name;
        e->op = Tok::Less;  // "<NAME>" names a parameter, never a value of the state
        e->text = expectName();
        expect(Tok::Greater);
        return e;
    }
    return initializer();
}

// compile_expr -> 'compile' PROFILE NAME arguments
Expr* Parser::compileExpr() {
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

}  // namespace platform::gfx::fx::parse
