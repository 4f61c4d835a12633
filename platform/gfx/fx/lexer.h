// platform/gfx/fx/lexer.h: splits effect source text into tokens with their positions.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/gfx/fx/diag.h"

namespace platform::gfx::fx {

// ORDER Tok: keywords first (spelled by kKeywords in lexer.cpp in the same order), then the
// other kinds.
enum class Tok {
    // keywords
    KwStruct, KwTechnique, KwPass, KwCompile, KwIf, KwElse, KwFor, KwWhile, KwDo, KwBreak,
    KwContinue, KwReturn, KwDiscard, KwIn, KwOut, KwInout, KwUniform, KwStatic, KwConst,
    KwExtern, KwShared, KwVolatile, KwTrue, KwFalse, KwSamplerState, KwTypedef, KwRowMajor,
    KwColumnMajor, KwRegister, KwInline, KwPackoffset,
    // values; AsmBlock is a whole "asm { ... }" block of shader assembly; PackMatrix is a
    // "#pragma pack_matrix" the preprocessor passes on, its text row_major or column_major
    Identifier, IntLit, FloatLit, String, AsmBlock, PackMatrix,
    // punctuation
    LBrace, RBrace, LParen, RParen, LBracket, RBracket, Semicolon, Comma, Dot, Colon, Question,
    Tilde, Plus, Minus, Star, Slash, Percent, Assign, Less, Greater, Bang, Amp, Pipe, Caret,
    PlusPlus, MinusMinus, PlusAssign, MinusAssign, StarAssign, SlashAssign, PercentAssign,
    Equal, NotEqual, LessEqual, GreaterEqual, AndAnd, OrOr, Shl, Shr, ShlAssign, ShrAssign,
    AmpAssign, PipeAssign, CaretAssign, Hash, HashHash,
    End,
};

struct Token {
    Tok kind = Tok::End;
    std::string_view text;
    int line = 0;
    int column = 0;
    bool lineStart = false;    // first token of its line (a '#' here starts a directive)
    bool spaceBefore = false;  // white space precedes it (function-like macros need this)
};

// The keyword or punctuation spelled by "kind" ("struct", "+=", "identifier", ...).
const char* TokenName(Tok kind);

// A token's description for "unexpected ..." messages: "'text'" or "end of file".
std::string DescribeToken(const Token& token);

// The binding strength of binary operator "kind", from 1 (||) to 10 (* / %), C's order;
// 0 for tokens that are not binary operators. The parser and the preprocessor's #if share it.
int BinaryPriority(Tok kind);

// The values of the lexer's numeric literals. Integers: decimal, 0x hexadecimal or 0 octal,
// one u or l suffix; saturates at the largest 64-bit value. Floats: the suffix f, h or l is
// ignored. Everything that computes with a literal's value goes through these two.
std::uint64_t IntLiteralValue(std::string_view text);
double FloatLiteralValue(std::string_view text);
// An int literal as HLSL's 32-bit int holds it (0xFFFFFFFF is -1).
std::int32_t IntLiteralValue32(std::string_view text);

// Splits "source" into tokens, ending with one Tok::End. Characters that start no token are
// reported to "diagnostics" and skipped. "source" must outlive the tokens (they view it).
std::vector<Token> Lex(std::string_view source, std::vector<Diagnostic>& diagnostics);

// Lexes one token text made by the preprocessor (pasting, stringizing): the first token of
// "text", or Tok::End when it is not exactly one token.
Token LexOne(std::string_view text);

}  // namespace platform::gfx::fx
