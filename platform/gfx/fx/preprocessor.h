// platform/gfx/fx/preprocessor.h: directives and macro expansion over the lexer's tokens.
//
// Supports #define (object- and function-like, with # and ##), #undef, #if/#ifdef/#ifndef/
// #elif/#else/#endif with defined(), #error, #line, #pragma (ignored) and #include through an
// include handler (refused without one). Expanded tokens carry the position of the macro name
// that produced them, so later diagnostics point at the use; tokens of included files carry
// their file in the line number (SourceLine).
#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/gfx/fx/diag.h"
#include "platform/gfx/fx/fx.h"
#include "platform/gfx/fx/lexer.h"

namespace platform::gfx::fx {

struct PreprocessLimits {
    int maxExpansionDepth = 64;           // nested macro expansions
    std::size_t maxOutputTokens = 1 << 18;  // tokens made by macro expansion
    int maxIncludeDepth = 16;             // files open at once through #include
    std::size_t maxIncludedBytes = 4u << 20;  // text of all included files together
    std::string sourceName;               // the main source's name, as include handlers see it
    std::vector<std::pair<std::string, std::string>> defines;  // macros defined before the source
};

// Runs the preprocessor over "tokens" (which end with Tok::End) and returns the tokens for the
// parser, also ending with Tok::End. Texts made by pasting or stringizing, and included files,
// live in "arena", which must outlive the result. "include" (may be null) resolves #include;
// "files" (may be null) receives the source names by file index: [0] is limits.sourceName.
std::vector<Token> Preprocess(const std::vector<Token>& tokens, std::deque<std::string>& arena,
                              std::vector<Diagnostic>& diagnostics,
                              const PreprocessLimits& limits = {},
                              const IncludeHandler* include = nullptr,
                              std::vector<std::string>* files = nullptr);

}  // namespace platform::gfx::fx
