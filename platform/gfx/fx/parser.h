// platform/gfx/fx/parser.h: recursive descent from preprocessed tokens to the syntax tree.
#pragma once

#include <vector>

#include "platform/gfx/fx/ast.h"
#include "platform/gfx/fx/diag.h"
#include "platform/gfx/fx/lexer.h"

namespace platform::gfx::fx {

struct ParseLimits {
    int maxDepth = 200;   // nesting of statements and expressions
    int maxErrors = 50;   // errors before the parser gives up
};

// Parses "tokens" (ending with Tok::End) into "module". Syntax errors go to "diagnostics"; the
// parser skips to the next top-level declaration after each and carries on. Token texts must
// outlive the module.
void Parse(const std::vector<Token>& tokens, Module& module, std::vector<Diagnostic>& diagnostics,
           const ParseLimits& limits = {});

}  // namespace platform::gfx::fx
