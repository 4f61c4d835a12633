// platform/gfx/fx/preprocessor.cpp: conditional compilation and macro expansion.
#include "platform/gfx/fx/preprocessor.h"
#include "platform/gfx/fx/const_eval.h"

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace platform::gfx::fx {
namespace {

struct Macro {
    bool functionLike = false;
    std::vector<std::string_view> params;
    std::vector<Token> body;
};

// One open #if group: whether its current branch is live, whether any branch was taken, and
// whether the enclosing group is live.
struct Conditional {
    bool live = false;
    bool taken = false;
    bool parentLive = true;
    bool seenElse = false;
    int line = 0, column = 0;
};

// Thrown inside #if evaluation; caught by the directive handler.
struct ExprError {
    std::string what;
};

class Preprocessor {
public:
    Preprocessor(std::deque<std::string>& arena, std::vector<Diagnostic>& diags,
                 const PreprocessLimits& limits, const IncludeHandler* include)
        : arena_(arena), diags_(diags), limits_(limits), include_(include) {}

    std::vector<Token> run(const std::vector<Token>& tokens) {
        files_.push_back(limits_.sourceName);
        // Macros defined by the host (the command line's -D NAME=VALUE) come first.
        for (const auto& [name, value] : limits_.defines) {
            arena_.push_back("#define " + name + " " + value + "\n");
            file(Lex(arena_.back(), diags_));
        }
        file(tokens);
        for (const Conditional& c : conds_)
            diags_.push_back(MakeDiagnostic(Diag::UnbalancedConditional, c.line, c.column,
                                            "unterminated #if"));
        Token end = tokens.back();
        end.line += lineOffset_;
        out_.push_back(end);
        return std::move(out_);
    }

    std::vector<std::string> takeFiles() { return std::move(files_); }

private:
    // Runs the directives and expands the macros of one file's tokens into out_.
    void file(const std::vector<Token>& in) {
        std::size_t i = 0;
        while (in[i].kind != Tok::End) {
            const Token& t = in[i];
            if (t.kind == Tok::Hash && t.lineStart) {
                std::size_t end = i + 1;
                while (in[end].kind != Tok::End && !in[end].lineStart) ++end;
                std::vector<Token> line(in.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                        in.begin() + static_cast<std::ptrdiff_t>(end));
                directive(t, line);
                i = end;
                continue;
            }
            if (!live()) {
                ++i;
                continue;
            }
            if (t.kind == Tok::Identifier && !aborted_) {
                auto it = macros_.find(std::string(t.text));
                if (it != macros_.end()) {
                    std::vector<Token> invocation;
                    i = takeInvocation(in, i, it->second, invocation, true);
                    std::vector<Token> expanded = expandList(invocation, 0);
                    for (Token& e : expanded) emit(e);
                    continue;
                }
            }
            emit(t);
            ++i;
        }
    }

    // include -> '#' 'include' (STRING | '<' tokens '>')
    // The handler finds the file; its tokens are preprocessed in place of the directive, with
    // their lines marked as the file's (SourceLine). Conditionals must close in the file that
    // opens them; nesting is bounded, which also stops a file that includes itself.
    void includeDirective(const Token& hash, const std::vector<Token>& line) {
        if (!include_ || !*include_) return report(Diag::IncludeRefused, hash.line, hash.column);
        std::string name;
        bool angled = false;
        if (line.size() == 2 && line[1].kind == Tok::String && line[1].text.size() >= 2) {
            // the lexer keeps "<name>" whole, brackets included (a header name)
            angled = line[1].text.front() == '<';
            name = std::string(line[1].text.substr(1, line[1].text.size() - 2));
        } else if (line.size() >= 3 && line[1].kind == Tok::Less &&
                   line.back().kind == Tok::Greater) {
            angled = true;
            for (std::size_t k = 2; k + 1 < line.size(); ++k) name += std::string(line[k].text);
        } else {
            return report(Diag::BadDirective, line[0].line, line[0].column, "include");
        }
        if (includeDepth_ >= limits_.maxIncludeDepth)
            return report(Diag::IncludeTooDeep, hash.line, hash.column,
                          std::to_string(limits_.maxIncludeDepth));
        if (files_.size() >= kMaxSourceFiles)
            return report(Diag::IncludeTooDeep, hash.line, hash.column,
                          std::to_string(kMaxSourceFiles) + " files in all, or");
        IncludeRequest request{name, angled, files_[static_cast<std::size_t>(FileOfLine(hash.line))]};
        IncludedFile found;
        if (!(*include_)(request, found))
            return report(Diag::IncludeNotFound, hash.line, hash.column, name);
        includedBytes_ += found.text.size();
        if (includedBytes_ > limits_.maxIncludedBytes)
            return report(Diag::IncludeTooDeep, hash.line, hash.column,
                          std::to_string(limits_.maxIncludedBytes) + " bytes in all, or");
        const int fileIndex = static_cast<int>(files_.size());
        files_.push_back(found.path);
        arena_.push_back(std::move(found.text));
        std::vector<Token> tokens = LexFile(arena_.back(), fileIndex);
        const std::size_t openConditionals = conds_.size();
        const int savedOffset = lineOffset_;
        lineOffset_ = 0;
        ++includeDepth_;
        file(tokens);
        --includeDepth_;
        lineOffset_ = savedOffset;
        while (conds_.size() > openConditionals) {
            const Conditional& c = conds_.back();
            diags_.push_back(MakeDiagnostic(Diag::UnbalancedConditional, c.line, c.column,
                                            "unterminated #if"));
            conds_.pop_back();
        }
    }

    // Lexes an included file's text; its tokens and the lexer's diagnostics carry the file.
    std::vector<Token> LexFile(std::string_view text, int fileIndex) {
        std::vector<Diagnostic> lexed;
        std::vector<Token> tokens = Lex(text, lexed);
        for (Token& t : tokens) t.line = SourceLine(fileIndex, t.line);
        for (Diagnostic& d : lexed) {
            d.line = SourceLine(fileIndex, d.line);
            diags_.push_back(std::move(d));
        }
        return tokens;
    }
    bool live() const { return conds_.empty() || conds_.back().live; }

    void report(Diag id, int line, int column, const std::string& a = {},
                const std::string& b = {}) {
        diags_.push_back(MakeDiagnostic(id, line + lineOffset_, column, a, b));
    }

    void emit(Token t) {
        t.line += lineOffset_;
        out_.push_back(t);
    }

    // Copies the macro call starting at tokens[i] (the name, and for a function-like macro
    // followed by '(' its parenthesised arguments) into "call"; returns the index after it.
    // "stopAtDirective" keeps a call in the source from swallowing a directive line.
    std::size_t takeInvocation(const std::vector<Token>& tokens, std::size_t i,
                               const Macro& macro, std::vector<Token>& call,
                               bool stopAtDirective) {
        call.push_back(tokens[i]);
        ++i;
        if (!macro.functionLike || i >= tokens.size() || tokens[i].kind != Tok::LParen) return i;
        int depth = 0;
        for (; i < tokens.size() && tokens[i].kind != Tok::End; ++i) {
            if (stopAtDirective && tokens[i].kind == Tok::Hash && tokens[i].lineStart) break;
            call.push_back(tokens[i]);
            if (tokens[i].kind == Tok::LParen) ++depth;
            if (tokens[i].kind == Tok::RParen && --depth == 0) return i + 1;
        }
        return i;  // unclosed: expandOne reports it
    }

    // Expands every macro in "tokens" (already stripped of directives).
    std::vector<Token> expandList(const std::vector<Token>& tokens, int depth) {
        std::vector<Token> out;
        for (std::size_t i = 0; i < tokens.size();) {
            if (aborted_) return {};
            const Token& t = tokens[i];
            if (t.kind == Tok::Identifier && !disabled_.count(std::string(t.text))) {
                auto it = macros_.find(std::string(t.text));
                if (it != macros_.end() &&
                    (!it->second.functionLike ||
                     (i + 1 < tokens.size() && tokens[i + 1].kind == Tok::LParen))) {
                    std::vector<Token> call;
                    i = takeInvocation(tokens, i, it->second, call, false);
                    std::vector<Token> result = expandOne(call, it->second, depth);
                    out.insert(out.end(), result.begin(), result.end());
                    if (out.size() > limits_.maxOutputTokens) abort(t);
                    continue;
                }
            }
            out.push_back(t);
            if (++produced_ > limits_.maxOutputTokens) abort(t);
            ++i;
        }
        return out;
    }

    void abort(const Token& at) {
        if (!aborted_) report(Diag::ExpansionLimit, at.line, at.column, std::string(at.text));
        aborted_ = true;
    }

    // Replaces one call (name plus arguments) by the macro's body and rescans it with the
    // macro disabled.
    std::vector<Token> expandOne(const std::vector<Token>& call, const Macro& macro, int depth) {
        const Token& name = call[0];
        if (depth >= limits_.maxExpansionDepth) {
            abort(name);
            return {};
        }
        std::vector<std::vector<Token>> args;
        if (macro.functionLike) {
            if (call.size() < 2 || call.back().kind != Tok::RParen) {
                report(Diag::MacroArguments, name.line, name.column, std::string(name.text),
                       "has an unterminated argument list");
                return {};
            }
            std::vector<Token> current;
            int nest = 0;
            for (std::size_t k = 2; k + 1 < call.size(); ++k) {
                const Token& a = call[k];
                if (a.kind == Tok::LParen) ++nest;
                if (a.kind == Tok::RParen) --nest;
                if (a.kind == Tok::Comma && nest == 0) {
                    args.push_back(std::move(current));
                    current.clear();
                } else {
                    current.push_back(a);
                }
            }
            if (!current.empty() || !args.empty() || !macro.params.empty())
                args.push_back(std::move(current));
            if (args.size() != macro.params.size()) {
                report(Diag::MacroArguments, name.line, name.column, std::string(name.text),
                       "expects " + std::to_string(macro.params.size()) + " arguments, got " +
                           std::to_string(args.size()));
                return {};
            }
        }
        auto paramIndex = [&](const Token& t) -> int {
            if (t.kind != Tok::Identifier) return -1;
            for (std::size_t p = 0; p < macro.params.size(); ++p)
                if (macro.params[p] == t.text) return static_cast<int>(p);
            return -1;
        };
        // Substitute parameters: '#p' stringizes, operands of '##' are taken unexpanded, other
        // parameters are fully expanded first.
        std::vector<Token> body;
        const std::vector<Token>& src = macro.body;
        for (std::size_t k = 0; k < src.size(); ++k) {
            const Token& b = src[k];
            if (macro.functionLike && b.kind == Tok::Hash && k + 1 < src.size() &&
                paramIndex(src[k + 1]) >= 0) {
                std::string text = "\"";
                const auto& arg = args[static_cast<std::size_t>(paramIndex(src[k + 1]))];
                for (std::size_t a = 0; a < arg.size(); ++a) {
                    if (a > 0 && arg[a].spaceBefore) text += ' ';
                    for (char c : arg[a].text) {
                        if (c == '"' || c == '\\') text += '\\';
                        text += c;
                    }
                }
                text += '"';
                arena_.push_back(text);
                Token s = name;
                s.kind = Tok::String;
                s.text = arena_.back();
                body.push_back(s);
                ++k;
                continue;
            }
            const int p = paramIndex(b);
            if (p >= 0) {
                const bool pasted = (k + 1 < src.size() && src[k + 1].kind == Tok::HashHash) ||
                                    (k > 0 && src[k - 1].kind == Tok::HashHash);
                const auto& arg = args[static_cast<std::size_t>(p)];
                std::vector<Token> value = pasted ? arg : expandList(arg, depth + 1);
                produced_ += value.size();
                if (produced_ > limits_.maxOutputTokens || aborted_) {
                    abort(name);
                    return {};
                }
                for (Token v : value) body.push_back(v);
                continue;
            }
            body.push_back(b);
        }
        // Paste around '##'.
        std::vector<Token> pasted;
        for (std::size_t k = 0; k < body.size(); ++k) {
            if (body[k].kind == Tok::HashHash && !pasted.empty() && k + 1 < body.size()) {
                std::string text = std::string(pasted.back().text) + std::string(body[k + 1].text);
                arena_.push_back(text);
                Token joined = LexOne(arena_.back());
                if (joined.kind == Tok::End) {
                    // Not one token ("\"name\"" ## x): the native preprocessor keeps the two
                    // tokens side by side, and so do we.
                    pasted.push_back(body[k + 1]);
                    ++k;
                    continue;
                }
                pasted.back().kind = joined.kind;
                pasted.back().text = arena_.back();
                ++k;
                continue;
            }
            pasted.push_back(body[k]);
        }
        for (Token& t : pasted) {
            t.line = name.line;
            t.column = name.column;
            t.lineStart = false;
        }
        const std::string key(name.text);
        disabled_.insert(key);
        std::vector<Token> result = expandList(pasted, depth + 1);
        disabled_.erase(key);
        return result;
    }

    // --- directives --------------------------------------------------------------------------

    void directive(const Token& hash, const std::vector<Token>& line) {
        if (line.empty()) return;  // the null directive
        const Token& name = line[0];
        const std::string_view d = name.text;
        if (d == "if" || d == "ifdef" || d == "ifndef") {
            Conditional c;
            c.parentLive = live();
            c.line = hash.line + lineOffset_;
            c.column = hash.column;
            if (c.parentLive) {
                bool value = false;
                if (d == "if") {
                    value = condition(name, line);
                } else if (line.size() < 2 || line[1].kind != Tok::Identifier) {
                    report(Diag::BadDirective, name.line, name.column, std::string(d));
                } else {
                    value = macros_.count(std::string(line[1].text)) != 0;
                    if (d == "ifndef") value = !value;
                }
                c.live = value;
                c.taken = value;
            }
            conds_.push_back(c);
            return;
        }
        if (d == "elif" || d == "else" || d == "endif") {
            if (conds_.empty()) {
                report(Diag::UnbalancedConditional, hash.line, hash.column,
                       "#" + std::string(d) + " without #if");
                return;
            }
            Conditional& c = conds_.back();
            if (d == "endif") {
                conds_.pop_back();
                return;
            }
            if (c.seenElse) {
                report(Diag::UnbalancedConditional, hash.line, hash.column,
                       "#" + std::string(d) + " after #else");
                return;
            }
            if (d == "else") {
                c.seenElse = true;
                c.live = c.parentLive && !c.taken;
                c.taken = true;
                return;
            }
            if (c.parentLive && !c.taken) {
                c.live = condition(name, line);
                c.taken = c.live;
            } else {
                c.live = false;
            }
            return;
        }
        if (!live()) return;
        if (d == "define") return define(name, line);
        if (d == "undef") {
            if (line.size() < 2 || line[1].kind != Tok::Identifier)
                return report(Diag::BadDirective, name.line, name.column, "undef");
            macros_.erase(std::string(line[1].text));
            return;
        }
        if (d == "include") return includeDirective(hash, line);
        if (d == "error") {
            std::string text;
            for (std::size_t k = 1; k < line.size(); ++k) {
                text += ' ';
                text += std::string(line[k].text);
            }
            return report(Diag::UserError, hash.line, hash.column, text);
        }
        if (d == "line") {
            if (line.size() < 2 || line[1].kind != Tok::IntLit || line[1].text.size() > 9)
                return report(Diag::BadDirective, name.line, name.column, "line");
            const auto value = static_cast<long>(IntLiteralValue(line[1].text));
            // Line numbers stay below the bits that name the file (SourceLine).
            if (value < 0 || value >= (1L << (kLineBits - 1)))
                return report(Diag::BadDirective, name.line, name.column, "line");
            // The line after the directive gets number "value"; a file name after it names
            // the file of the lines that follow in diagnostics (a name of its own, as an
            // included file has; the lines are still read from the file that holds them).
            int file = FileOfLine(hash.line + lineOffset_);
            if (line.size() >= 3 && line[2].kind == Tok::String && line[2].text.size() >= 2) {
                const std::string named(line[2].text.substr(1, line[2].text.size() - 2));
                if (named != files_[static_cast<std::size_t>(file)]) {
                    if (files_.size() >= kMaxSourceFiles)
                        return report(Diag::BadDirective, name.line, name.column, "line");
                    file = static_cast<int>(files_.size());
                    files_.push_back(named);
                }
            }
            lineOffset_ = SourceLine(file, static_cast<int>(value)) - (hash.line + 1);
            return;
        }
        if (d == "pragma") return pragma(name, line);
        report(Diag::UnknownDirective, name.line, name.column, std::string(d.substr(0, 40)));
    }

    // pragma -> 'pragma' (warning(...) | once | pack_matrix '(' column_major ')' | def(...) | ...)
    // The native compiler's own pragmas are read as it reads them: pack_matrix goes on to the
    // parser as a token of its own; any other pragma is ignored with a warning, as the native
    // compiler does.
    void pragma(const Token& directiveName, const std::vector<Token>& line) {
        const std::string_view what = line.size() > 1 ? line[1].text : std::string_view();
        if (what == "warning" || what == "once" || what == "message" || what == "def") return;
        if (what == "pack_matrix") {
            // The parser sets the order of the matrices declared after it.
            bool row = false, column = false;
            for (std::size_t k = 2; k < line.size(); ++k) {
                row = row || line[k].text == "row_major";
                column = column || line[k].text == "column_major";
            }
            if (row == column)
                return report(Diag::BadDirective, directiveName.line, directiveName.column, "pragma pack_matrix");
            Token t = directiveName;
            t.kind = Tok::PackMatrix;
            t.text = row ? "row_major" : "column_major";
            t.lineStart = false;
            emit(t);
            return;
        }
        report(Diag::UnknownPragma, directiveName.line, directiveName.column,
               std::string(what.substr(0, 40)));
    }

    // define -> 'define' NAME ('(' params ')')? body
    void define(const Token& directiveName, const std::vector<Token>& line) {
        if (line.size() < 2 || line[1].kind != Tok::Identifier)
            return report(Diag::BadDirective, directiveName.line, directiveName.column, "define");
        Macro m;
        std::size_t k = 2;
        if (k < line.size() && line[k].kind == Tok::LParen && !line[k].spaceBefore) {
            m.functionLike = true;
            ++k;
            bool ok = false;
            if (k < line.size() && line[k].kind == Tok::RParen) {
                ok = true;
                ++k;
            } else {
                while (k < line.size() && line[k].kind == Tok::Identifier) {
                    m.params.push_back(line[k].text);
                    ++k;
                    if (k < line.size() && line[k].kind == Tok::Comma) {
                        ++k;
                        continue;
                    }
                    if (k < line.size() && line[k].kind == Tok::RParen) {
                        ok = true;
                        ++k;
                    }
                    break;
                }
            }
            if (!ok)
                return report(Diag::BadDirective, directiveName.line, directiveName.column,
                              "define");
        }
        m.body.assign(line.begin() + static_cast<std::ptrdiff_t>(k), line.end());
        const std::string key(line[1].text);
        auto old = macros_.find(key);
        if (old != macros_.end()) {
            bool same = old->second.body.size() == m.body.size() &&
                        old->second.params == m.params &&
                        old->second.functionLike == m.functionLike;
            for (std::size_t b = 0; same && b < m.body.size(); ++b)
                same = old->second.body[b].text == m.body[b].text;
            if (!same) report(Diag::MacroRedefined, line[1].line, line[1].column, key);
        }
        macros_[key] = std::move(m);
    }

    // Evaluates the expression of an #if or #elif line.
    bool condition(const Token& directiveName, const std::vector<Token>& line) {
        std::vector<Token> expr;
        for (std::size_t k = 1; k < line.size(); ++k) {
            if (line[k].kind == Tok::Identifier && line[k].text == "defined") {
                std::size_t n = k + 1;
                const bool paren = n < line.size() && line[n].kind == Tok::LParen;
                if (paren) ++n;
                if (n >= line.size() || line[n].kind != Tok::Identifier ||
                    (paren && (n + 1 >= line.size() || line[n + 1].kind != Tok::RParen))) {
                    report(Diag::BadConditionExpression, line[k].line, line[k].column,
                           "malformed 'defined'");
                    return false;
                }
                Token v = line[k];
                v.kind = Tok::IntLit;
                v.text = macros_.count(std::string(line[n].text)) ? "1" : "0";
                expr.push_back(v);
                k = paren ? n + 1 : n;
                continue;
            }
            expr.push_back(line[k]);
        }
        expr = expandList(expr, 0);
        if (aborted_) return false;
        Token end = directiveName;
        end.kind = Tok::End;
        end.text = "";
        expr.push_back(end);
        evalTokens_ = &expr;
        evalPos_ = 0;
        evalDepth_ = 0;
        unevaluated_ = 0;
        try {
            const std::int64_t v = evalTernary();
            if (expr[evalPos_].kind != Tok::End)
                throw ExprError{"unexpected " + DescribeToken(expr[evalPos_])};
            return v != 0;
        } catch (const ExprError& e) {
            report(Diag::BadConditionExpression, directiveName.line, directiveName.column,
                   e.what);
            return false;
        }
    }

    // --- #if expression evaluation (64-bit integers, C precedence) ----------------------------

    const Token& peek() const { return (*evalTokens_)[evalPos_]; }
    bool accept(Tok k) {
        if (peek().kind != k) return false;
        ++evalPos_;
        return true;
    }

    std::int64_t evalTernary() {
        if (++evalDepth_ > 200) throw ExprError{"expression nested too deeply"};
        const std::int64_t c = evalBinary(0);
        std::int64_t r = c;
        if (accept(Tok::Question)) {  // the branch not taken is parsed but not evaluated
            const std::int64_t a = evalUnevaluatedIf(c == 0, [&] { return evalTernary(); });
            if (!accept(Tok::Colon)) throw ExprError{"expected ':'"};
            const std::int64_t b = evalUnevaluatedIf(c != 0, [&] { return evalTernary(); });
            r = c ? a : b;
        }
        --evalDepth_;
        return r;
    }

    std::int64_t evalBinary(int limit) {
        std::int64_t left = evalUnary();
        for (;;) {
            const Tok op = peek().kind;
            const int prec = BinaryPriority(op);
            if (prec == 0 || prec <= limit) return left;
            ++evalPos_;
            // C's rules: the right side of && and || is not evaluated when the left side
            // decides ("#if 0 && (1/0)" is false, not an error).
            const bool decided = (op == Tok::AndAnd && left == 0) || (op == Tok::OrOr && left != 0);
            const std::int64_t right = evalUnevaluatedIf(decided, [&] { return evalBinary(prec); });
            if (ConstBinary64(op, left, right, left) == ConstStatus::DivisionByZero) {
                if (unevaluated_ == 0) throw ExprError{"division by zero"};
                left = 0;
            }
        }
    }

    // Runs "parse" with evaluation errors suppressed when "skip" is set.
    template <class F>
    std::int64_t evalUnevaluatedIf(bool skip, F parse) {
        unevaluated_ += skip ? 1 : 0;
        const std::int64_t v = parse();
        unevaluated_ -= skip ? 1 : 0;
        return v;
    }

    std::int64_t evalUnary() {
        if (++evalDepth_ > 200) throw ExprError{"expression nested too deeply"};
        std::int64_t r = 0;
        const Token& t = peek();
        if (t.kind == Tok::Minus || t.kind == Tok::Plus || t.kind == Tok::Bang || t.kind == Tok::Tilde) {
            ++evalPos_;
            ConstUnary64(t.kind, evalUnary(), r);
        } else if (accept(Tok::LParen)) {
            r = evalTernary();
            if (!accept(Tok::RParen)) throw ExprError{"expected ')'"};
        } else if (t.kind == Tok::IntLit) {
            ++evalPos_;
            r = static_cast<std::int64_t>(IntLiteralValue(t.text));
        } else if (t.kind == Tok::Identifier || t.kind == Tok::KwTrue || t.kind == Tok::KwFalse) {
            ++evalPos_;  // names left after expansion count as 0; 'true' as 1
            r = t.kind == Tok::KwTrue;
        } else {
            throw ExprError{"unexpected " + DescribeToken(t)};
        }
        --evalDepth_;
        return r;
    }

    std::deque<std::string>& arena_;
    std::vector<Diagnostic>& diags_;
    PreprocessLimits limits_;
    const IncludeHandler* include_;
    std::vector<std::string> files_;  // [0] the main source, then each included file
    int includeDepth_ = 0;
    std::size_t includedBytes_ = 0;
    std::vector<Token> out_;
    std::unordered_map<std::string, Macro> macros_;
    std::unordered_set<std::string> disabled_;
    std::vector<Conditional> conds_;
    int lineOffset_ = 0;
    bool aborted_ = false;
    std::size_t produced_ = 0;  // tokens made by expansion so far, against the limit
    const std::vector<Token>* evalTokens_ = nullptr;
    std::size_t evalPos_ = 0;
    int evalDepth_ = 0;
    int unevaluated_ = 0;  // > 0 inside a side that && || ?: do not evaluate
};

}  // namespace

std::vector<Token> Preprocess(const std::vector<Token>& tokens, std::deque<std::string>& arena,
                              std::vector<Diagnostic>& diagnostics, const PreprocessLimits& limits,
                              const IncludeHandler* include, std::vector<std::string>* files) {
    if (tokens.empty()) return {Token{}};
    Preprocessor p(arena, diagnostics, limits, include);
    std::vector<Token> out = p.run(tokens);
    if (files) *files = p.takeFiles();
    return out;
}

}  // namespace platform::gfx::fx
