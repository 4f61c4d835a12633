// platform/gfx/fx/preprocessor.h: directives and macro expansion over the lexer's tokens.
//
// Supports #define (object- and function-like, with # and ##), #undef, #if/#ifdef/#ifndef/
// #elif/#else/#endif with defined(), #error, #line and #pragma (ignored). #include is refused:
// the compiler has no include handler. Expanded tokens carry the position of the macro name
// that produced them, so later diagnostics point at the use.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/gfx/fx/diag.h"
#include "platform/gfx/fx/lexer.h"

namespace platform::gfx::fx {

struct PreprocessLimits {
    int maxExpansionDepth = 64;           // nested macro expansions
    std::size_t maxOutputTokens = 1 << 18;  // tokens made by macro expansion
};

// Runs the preprocessor over "tokens" (which end with Tok::End) and returns the tokens for the
// parser, also ending with Tok::End. Texts made by pasting or stringizing live in "arena",
// which must outlive the result.
std::vector<Token> Preprocess(const std::vector<Token>& tokens, std::deque<std::string>& arena,
                              std::vector<Diagnostic>& diagnostics,
                              const PreprocessLimits& limits = {});

}  // namespace platform::gfx::fx
