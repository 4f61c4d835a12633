// platform/gfx/fx/lexer.cpp: the tokenizer: a cursor over the source with line and column.
#include "platform/gfx/fx/lexer.h"

#include <cctype>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace platform::gfx::fx {
namespace {

// ORDER Tok
constexpr const char* kKeywords[] = {
    "struct", "technique", "pass", "compile", "if", "else", "for", "while", "do", "break",
    "continue", "return", "discard", "in", "out", "inout", "uniform", "static", "const",
    "extern", "shared", "volatile", "true", "false", "sampler_state", "typedef", "row_major",
    "column_major", "register", "inline", "packoffset",
};
constexpr int kKeywordCount = sizeof kKeywords / sizeof kKeywords[0];
static_assert(kKeywordCount == static_cast<int>(Tok::KwPackoffset) + 1);

struct Punct {
    const char* text;
    Tok kind;
};
// Longest spellings first so that the first match is the longest.
constexpr Punct kPuncts[] = {
    {"<<=", Tok::ShlAssign}, {">>=", Tok::ShrAssign},  {"++", Tok::PlusPlus},
    {"--", Tok::MinusMinus}, {"+=", Tok::PlusAssign},  {"-=", Tok::MinusAssign},
    {"*=", Tok::StarAssign}, {"/=", Tok::SlashAssign}, {"%=", Tok::PercentAssign},
    {"==", Tok::Equal},      {"!=", Tok::NotEqual},    {"<=", Tok::LessEqual},
    {">=", Tok::GreaterEqual}, {"&&", Tok::AndAnd},    {"||", Tok::OrOr},
    {"<<", Tok::Shl},        {">>", Tok::Shr},         {"&=", Tok::AmpAssign},
    {"|=", Tok::PipeAssign}, {"^=", Tok::CaretAssign}, {"##", Tok::HashHash},
    {"{", Tok::LBrace},      {"}", Tok::RBrace},       {"(", Tok::LParen},
    {")", Tok::RParen},      {"[", Tok::LBracket},     {"]", Tok::RBracket},
    {";", Tok::Semicolon},   {",", Tok::Comma},        {".", Tok::Dot},
    {":", Tok::Colon},       {"?", Tok::Question},     {"~", Tok::Tilde},
    {"+", Tok::Plus},        {"-", Tok::Minus},        {"*", Tok::Star},
    {"/", Tok::Slash},       {"%", Tok::Percent},      {"=", Tok::Assign},
    {"<", Tok::Less},        {">", Tok::Greater},      {"!", Tok::Bang},
    {"&", Tok::Amp},         {"|", Tok::Pipe},         {"^", Tok::Caret},
    {"#", Tok::Hash},
};

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

Tok KeywordOrIdentifier(std::string_view text) {
    for (int i = 0; i < kKeywordCount; ++i)
        if (text == kKeywords[i]) return static_cast<Tok>(i);
    return Tok::Identifier;
}

class Lexer {
public:
    Lexer(std::string_view src, std::vector<Diagnostic>* diags) : src_(src), diags_(diags) {}

    std::vector<Token> run() {
        std::vector<Token> out;
        bool lineStart = true;
        for (;;) {
            const bool space = skipSpace(lineStart);
            Token t;
            t.line = line_;
            t.column = column();
            t.lineStart = lineStart;
            t.spaceBefore = space;
            lineStart = false;
            if (pos_ >= src_.size()) {
                t.kind = Tok::End;
                out.push_back(t);
                return out;
            }
            const std::size_t start = pos_;
            if (headerName(out)) {
                t.kind = Tok::String;
                t.text = src_.substr(start, pos_ - start);
                out.push_back(t);
                continue;
            }
            if (!scan(t)) {
                if (diags_) {
                    std::string shown(1, src_[start]);
                    if (!std::isprint(static_cast<unsigned char>(src_[start]))) {
                        char buf[8];
                        std::snprintf(buf, sizeof buf, "\\x%02X",
                                      static_cast<unsigned char>(src_[start]));
                        shown = buf;
                    }
                    diags_->push_back(
                        MakeDiagnostic(Diag::BadCharacter, t.line, t.column, shown));
                }
                pos_ = start + 1;
                continue;
            }
            t.text = src_.substr(start, pos_ - start);
            out.push_back(t);
        }
    }

    // header_name -> '<' any character but '>' and a line end '>', right after "#include".
    // As in C, the name is one token taken as written: its backslashes are path separators
    // ("<include\\Quad.fxh>"), not characters to lex. It becomes a string token that keeps its
    // angle brackets, so the preprocessor knows how the name was written. False (cursor
    // unchanged) anywhere else.
    bool headerName(const std::vector<Token>& before) {
        if (src_[pos_] != '<' || before.size() < 2) return false;
        const Token& word = before.back();
        const Token& hash = before[before.size() - 2];
        if (word.kind != Tok::Identifier || word.text != "include" || word.line != line_ ||
            hash.kind != Tok::Hash || !hash.lineStart || hash.line != line_)
            return false;
        const std::size_t close = src_.find_first_of(">\n", pos_ + 1);
        if (close == std::string_view::npos || src_[close] != '>') return false;
        pos_ = close + 1;
        return true;
    }

    // Scans one token at the cursor into "t" (kind only); false when no token starts here.
    bool scan(Token& t) {
        const char c = src_[pos_];
        if (IsIdentStart(c)) {
            const std::size_t start = pos_;
            while (pos_ < src_.size() && IsIdentChar(src_[pos_])) ++pos_;
            t.kind = KeywordOrIdentifier(src_.substr(start, pos_ - start));
            if (t.kind == Tok::Identifier && pos_ - start == 3 && asmBlock(src_.substr(start, 3)))
                t.kind = Tok::AsmBlock;
            return true;
        }
        if (IsDigit(c) || (c == '.' && pos_ + 1 < src_.size() && IsDigit(src_[pos_ + 1]))) {
            t.kind = number();
            return true;
        }
        if (c == '"') {
            const int line = line_, col = column();
            ++pos_;
            while (pos_ < src_.size() && src_[pos_] != '"' && src_[pos_] != '\n') {
                if (src_[pos_] == '\\' && pos_ + 1 < src_.size() && src_[pos_ + 1] != '\n')
                    ++pos_;
                ++pos_;
            }
            if (pos_ >= src_.size() || src_[pos_] != '"') {
                if (diags_) diags_->push_back(MakeDiagnostic(Diag::UnterminatedString, line, col));
            } else {
                ++pos_;
            }
            t.kind = Tok::String;
            return true;
        }
        for (const Punct& p : kPuncts) {
            const std::string_view s(p.text);
            if (src_.substr(pos_, s.size()) == s) {
                pos_ += s.size();
                t.kind = p.kind;
                return true;
            }
        }
        return false;
    }

private:
    int column() const { return static_cast<int>(pos_ - lineBegin_) + 1; }

    void newline() {
        ++line_;
        lineBegin_ = pos_;
    }

    // Skips blanks, comments and line splices; sets "lineStart" when a line feed was crossed.
    bool skipSpace(bool& lineStart) {
        bool any = false;
        while (pos_ < src_.size()) {
            const char c = src_[pos_];
            if (c == '\n') {
                ++pos_;
                newline();
                lineStart = true;
                any = true;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++pos_;
                any = true;
            } else if (c == '\\' && pos_ + 1 < src_.size() &&
                       (src_[pos_ + 1] == '\n' ||
                        (src_[pos_ + 1] == '\r' && pos_ + 2 < src_.size() &&
                         src_[pos_ + 2] == '\n'))) {
                pos_ += src_[pos_ + 1] == '\n' ? 2 : 3;
                newline();
                any = true;
            } else if (c == '/' && pos_ + 1 < src_.size() && src_[pos_ + 1] == '/') {
                while (pos_ < src_.size() && src_[pos_] != '\n') ++pos_;
                any = true;
            } else if (c == '/' && pos_ + 1 < src_.size() && src_[pos_ + 1] == '*') {
                const int line = line_, col = column();
                pos_ += 2;
                bool closed = false;
                while (pos_ < src_.size()) {
                    if (src_[pos_] == '*' && pos_ + 1 < src_.size() && src_[pos_ + 1] == '/') {
                        pos_ += 2;
                        closed = true;
                        break;
                    }
                    if (src_[pos_] == '\n') {
                        ++pos_;
                        newline();
                    } else {
                        ++pos_;
                    }
                }
                if (!closed && diags_)
                    diags_->push_back(MakeDiagnostic(Diag::UnterminatedComment, line, col));
                any = true;
            } else {
                break;
            }
        }
        return any;
    }

    // The end of the C comment that starts at "p" ('/' '*'), past its '*' '/'; the end of the
    // text when it is unclosed.
    std::size_t blockCommentEnd(std::size_t p) const {
        const std::size_t close = src_.find("*/", p + 2);
        return close == std::string_view::npos ? src_.size() : close + 2;
    }

    // Moves the cursor to "to", counting the lines it passes.
    void advanceTo(std::size_t to) {
        while (pos_ < to) {
            const bool lineEnd = src_[pos_] == '\n';
            ++pos_;
            if (lineEnd) newline();
        }
    }

    // asm_block -> ('asm' | 'ASM') (blank | comment)* '{' text '}'. Shader assembly is not
    // HLSL: its comments start with ';' or '//' (or are C comments) and its text may hold
    // anything, so the whole block is one token up to the '}' that closes it. Comments may
    // stand between the keyword and the '{' ("asm // note" on its own line). False (cursor
    // unchanged) when "word" starts no block.
    bool asmBlock(std::string_view word) {
        if (word != "asm" && word != "ASM" && word != "Asm") return false;
        std::size_t p = pos_;
        while (p < src_.size()) {
            const char c = src_[p];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++p;
            } else if (c == '/' && p + 1 < src_.size() && src_[p + 1] == '/') {
                while (p < src_.size() && src_[p] != '\n') ++p;
            } else if (c == '/' && p + 1 < src_.size() && src_[p + 1] == '*') {
                p = blockCommentEnd(p);
            } else {
                break;
            }
        }
        if (p >= src_.size() || src_[p] != '{') return false;
        advanceTo(p);
        int depth = 0;
        bool comment = false;
        for (; p < src_.size(); ++p) {
            const char c = src_[p];
            if (c == '\n') {
                comment = false;
                pos_ = p + 1;
                newline();
                continue;
            }
            if (comment) continue;
            if (c == '/' && p + 1 < src_.size() && src_[p + 1] == '*') {
                // a C comment may hold braces and span lines
                const std::size_t end = blockCommentEnd(p);
                advanceTo(end);
                p = end - 1;
            } else if (c == ';' || (c == '/' && p + 1 < src_.size() && src_[p + 1] == '/')) {
                comment = true;
            } else if (c == '{') {
                ++depth;
            } else if (c == '}' && --depth == 0) {
                pos_ = p + 1;
                return true;
            }
        }
        pos_ = src_.size();  // unclosed: the block runs to the end; the parser reports it
        return true;
    }

    // number -> digits ('.' digits?)? exponent? suffix? | '.' digits exponent? suffix?
    //         | '0x' hexdigits suffix?
    Tok number() {
        const std::size_t start = pos_;
        const int line = line_, col = column();
        bool isFloat = false;
        if (src_[pos_] == '0' && pos_ + 1 < src_.size() &&
            (src_[pos_ + 1] == 'x' || src_[pos_ + 1] == 'X')) {
            pos_ += 2;
            while (pos_ < src_.size() && std::isxdigit(static_cast<unsigned char>(src_[pos_])))
                ++pos_;
        } else {
            while (pos_ < src_.size() && IsDigit(src_[pos_])) ++pos_;
            if (pos_ < src_.size() && src_[pos_] == '.') {
                isFloat = true;
                ++pos_;
                while (pos_ < src_.size() && IsDigit(src_[pos_])) ++pos_;
            }
            if (pos_ < src_.size() && (src_[pos_] == 'e' || src_[pos_] == 'E')) {
                std::size_t p = pos_ + 1;
                if (p < src_.size() && (src_[p] == '+' || src_[p] == '-')) ++p;
                if (p < src_.size() && IsDigit(src_[p])) {
                    isFloat = true;
                    pos_ = p;
                    while (pos_ < src_.size() && IsDigit(src_[pos_])) ++pos_;
                }
            }
        }
        // An integer takes up to two of u and l in any order ("3lu", "7UL"); f and h make
        // a float.
        const auto unsignedOrLong = [&](std::size_t p) {
            return p < src_.size() && std::strchr("uUlL", src_[p]) != nullptr && src_[p] != '\0';
        };
        if (pos_ < src_.size()) {
            const char s = src_[pos_];
            if (s == 'f' || s == 'F' || s == 'h' || s == 'H') {
                isFloat = true;
                ++pos_;
            } else if (unsignedOrLong(pos_)) {
                ++pos_;
                if (!isFloat && unsignedOrLong(pos_) && std::tolower(src_[pos_]) != std::tolower(s)) ++pos_;
            }
        }
        if (pos_ < src_.size() && IsIdentChar(src_[pos_])) {
            while (pos_ < src_.size() && IsIdentChar(src_[pos_])) ++pos_;
            if (diags_)
                diags_->push_back(MakeDiagnostic(Diag::BadNumber, line, col,
                                                 std::string(src_.substr(start, pos_ - start))));
        }
        return isFloat ? Tok::FloatLit : Tok::IntLit;
    }

    std::string_view src_;
    std::vector<Diagnostic>* diags_;
    std::size_t pos_ = 0;
    std::size_t lineBegin_ = 0;
    int line_ = 1;
};

}  // namespace

const char* TokenName(Tok kind) {
    const int k = static_cast<int>(kind);
    if (k < kKeywordCount) return kKeywords[k];
    switch (kind) {
        case Tok::Identifier: return "identifier";
        case Tok::IntLit: return "integer constant";
        case Tok::FloatLit: return "float constant";
        case Tok::String: return "string";
        case Tok::AsmBlock: return "asm block";
        case Tok::PackMatrix: return "#pragma pack_matrix";
        case Tok::End: return "end of file";
        default: break;
    }
    for (const Punct& p : kPuncts)
        if (p.kind == kind) return p.text;
    return "?";
}

std::string DescribeToken(const Token& token) {
    if (token.kind == Tok::End) return "end of file";
    std::string text(token.text.substr(0, 40));
    return "'" + text + "'";
}

int BinaryPriority(Tok kind) {
    switch (kind) {
        case Tok::OrOr: return 1;
        case Tok::AndAnd: return 2;
        case Tok::Pipe: return 3;
        case Tok::Caret: return 4;
        case Tok::Amp: return 5;
        case Tok::Equal: case Tok::NotEqual: return 6;
        case Tok::Less: case Tok::Greater: case Tok::LessEqual: case Tok::GreaterEqual: return 7;
        case Tok::Shl: case Tok::Shr: return 8;
        case Tok::Plus: case Tok::Minus: return 9;
        case Tok::Star: case Tok::Slash: case Tok::Percent: return 10;
        default: return 0;
    }
}

// The lexer lets suffix letters follow a number (f h l u, or u and l together); in a
// hexadecimal literal f and h would be digits, so only u and l can be suffixes there.
std::uint64_t IntLiteralValue(std::string_view text) {
    std::string s(text);
    const bool hex = s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    while (!s.empty() && std::strchr(hex ? "uUlL" : "fFhHlLuU", s.back())) s.pop_back();
    return std::strtoull(s.c_str(), nullptr, 0);
}

double FloatLiteralValue(std::string_view text) {
    std::string s(text);
    if (!s.empty() && std::strchr("fFhHlL", s.back())) s.pop_back();
    return std::strtod(s.c_str(), nullptr);
}

std::int32_t IntLiteralValue32(std::string_view text) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(IntLiteralValue(text)));
}

std::vector<Token> Lex(std::string_view source, std::vector<Diagnostic>& diagnostics) {
    return Lexer(source, &diagnostics).run();
}

Token LexOne(std::string_view text) {
    Lexer lexer(text, nullptr);
    std::vector<Token> tokens = lexer.run();
    if (tokens.size() != 2 || tokens[0].text.size() != text.size()) return Token{};
    return tokens[0];
}

}  // namespace platform::gfx::fx
