// platform/gfx/fx/parser.cpp: recursive descent, one function per grammar rule; this file holds
// the top level and error recovery (parser_internal.h lists the other files).
#include "platform/gfx/fx/parser_internal.h"

namespace platform::gfx::fx::parse {

void Parser::program() {
    m_.endLine = toks_.back().line;
    m_.endColumn = toks_.back().column;
    while (tok().kind != Tok::End) {
        const std::size_t start = pos_;
        try {
            toplevel();
        } catch (const ParseError&) {
            if (errors_ >= limits_.maxErrors) {
                diags_.push_back(MakeDiagnostic(Diag::TooManyErrors, tok().line, tok().column));
                return;
            }
            resync(start);
        }
    }
}

// Expects "close" for the "open" token at "opened"; at the end of the file the message
// names where the group was opened.
void Parser::expectClosing(Tok close, Tok open, const Token& opened) {
    if (accept(close)) return;
    if (tok().kind == Tok::End) {
        fail(MakeDiagnostic(Diag::MissingClose, tok().line, tok().column, TokenName(close),
                            TokenName(open),
                            "(" + std::to_string(opened.line) + "," +
                                std::to_string(opened.column) + ")"));
    }
    errorExpected(std::string("'") + TokenName(close) + "'");
}

// Skips the rest of a broken top-level declaration that began at "start": up to a ';' at
// brace depth 0 or the '}' that closes its outermost brace.
void Parser::resync(std::size_t start) {
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

// Whether the identifier at token offset "n" is "word" in any case (the old compiler took
// "Technique", "PASS" and the like).
bool Parser::wordAt(std::size_t n, std::string_view word) const {
    return peek(n).kind == Tok::Identifier && EqualsNoCase(peek(n).text, word);
}

// toplevel -> ';' | typedef | technique | d3d10_technique | attributes declaration
void Parser::toplevel() {
    if (accept(Tok::Semicolon)) return;
    if (tok().kind == Tok::PackMatrix) {  // the order of the matrices declared after it
        rowMajorDefault_ = tok().text == "row_major";
        return advance();
    }
    if (techniqueStarts()) return technique();
    if ((wordAt(0, "technique10") || wordAt(0, "technique11")) &&
        (peek().kind == Tok::Identifier || peek().kind == Tok::LBrace ||
         peek().kind == Tok::Less))
        return skipTechnique10();
    if (tok().kind == Tok::KwTypedef) return typedefDecl();
    attributes();  // a function's attributes ("[maxvertexcount(3)]") change nothing here
    declaration();
}

}  // namespace platform::gfx::fx::parse

namespace platform::gfx::fx {

void Parse(const std::vector<Token>& tokens, Module& module, std::vector<Diagnostic>& diagnostics,
           const ParseLimits& limits) {
    if (tokens.empty() || tokens.back().kind != Tok::End) return;
    parse::Parser(tokens, module, diagnostics, limits).program();
}

}  // namespace platform::gfx::fx
