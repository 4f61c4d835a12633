// platform/gfx/fx/asm/asm_parse.cpp: the text of a shader-assembly block to instructions: the
// version line (vs_2_0, vs.1.1, ps_1_4), comments (// ; and /* */), declarations, def/defi/defb,
// instructions with their modifiers, co-issue '+' and predicates, operands with relative
// addressing, swizzles, write masks and source modifiers. Each instruction is checked against
// the opcode table for the program's model; register numbers against the model's files.
#include "platform/gfx/fx/asm/asm.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/gfx/fx/asm/asm_ops.h"
#include "platform/gfx/fx/const_eval.h"
#include "platform/gfx/fx/lexer.h"

namespace platform::gfx::fx::assembly {

namespace {

constexpr std::size_t kMaxInstructions = 4096;

bool Same(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool StartsWith(std::string_view s, std::string_view p) { return s.size() >= p.size() && Same(s.substr(0, p.size()), p); }

// A def value: an optional sign, then one literal as the effect language reads it (the whole
// word: "1abc" is no number), its sign applied by the constant operators.
bool DefValue(std::string_view word, double& out) {
    const bool negative = !word.empty() && word[0] == '-';
    if (!word.empty() && (word[0] == '-' || word[0] == '+')) word.remove_prefix(1);
    std::vector<Diagnostic> bad;  // a malformed number ("1abc") lexes as one, with a complaint
    const std::vector<Token> tokens = Lex(word, bad);
    if (!bad.empty() || tokens.size() != 2) return false;
    const Token& t = tokens[0];
    if (t.kind == Tok::IntLit) out = static_cast<double>(IntLiteralValue(t.text));
    else if (t.kind == Tok::FloatLit) out = FloatLiteralValue(t.text);
    else return false;
    return !negative || ConstUnary(Tok::Minus, ConstMode::Float, out, out) == ConstStatus::Ok;
}

// The register files: how the letters name them and how many registers each model has.
struct RegisterFile {
    const char* prefix;
    Reg type;
    bool vertex, pixel;
    int count;  // for the largest model of the stage; the model is checked apart where it matters
};
constexpr RegisterFile kFiles[] = {
    {"oPos", Reg::RastOut, true, false, 1},   {"oFog", Reg::RastOut, true, false, 1},
    {"oPts", Reg::RastOut, true, false, 1},   {"oD", Reg::AttrOut, true, false, 2},
    {"oT", Reg::TexCrdOut, true, false, 8},   {"oC", Reg::ColorOut, false, true, 4},
    {"oDepth", Reg::DepthOut, false, true, 1}, {"o", Reg::Output, true, false, 12},
    {"r", Reg::Temp, true, true, 32},         {"v", Reg::Input, true, true, 16},
    {"c", Reg::Const, true, true, 256},       {"a", Reg::Address, true, false, 1},
    {"t", Reg::Texture, false, true, 8},      {"i", Reg::ConstInt, true, true, 16},
    {"b", Reg::ConstBool, true, true, 16},    {"s", Reg::Sampler, true, true, 16},
    {"aL", Reg::Loop, true, true, 1},         {"p", Reg::Predicate, true, true, 1},
    {"vPos", Reg::MiscType, false, true, 1},  {"vFace", Reg::MiscType, false, true, 1},
    {"l", Reg::Label, true, true, 2048},
};

class Parser {
public:
    Parser(std::string_view text, int line, int column, bool vertex, Program& out,
           std::vector<Diagnostic>& diags)
        : text_(text), line_(line), column_(column), out_(out), diags_(diags) {
        out_.vertex = vertex;
    }

    bool run() {
        // The block's braces, when the text has them, are not part of the program.
        std::size_t begin = 0, end = text_.size();
        const std::size_t open = text_.find('{');
        if (open != std::string_view::npos) {
            advanceTo(open + 1);
            begin = open + 1;
            const std::size_t close = text_.rfind('}');
            if (close != std::string_view::npos && close > open) end = close;
        }
        pos_ = begin;
        end_ = end;
        bool versioned = false;
        while (statement(versioned)) {
        }
        if (!failed_ && !versioned) error(line_, column_, "the block has no version line (vs_2_0, ps_1_4, ...)");
        return !failed_;
    }

private:
    // --- characters -----------------------------------------------------------------------

    void advanceTo(std::size_t to) {
        while (pos_ < to && pos_ < text_.size()) {
            if (text_[pos_] == '\n') {
                ++line_;
                column_ = 1;
            } else {
                ++column_;
            }
            ++pos_;
        }
    }

    // Skips blanks and comments; false at the end. "newline" is set when a line ended.
    void skip(bool* newline = nullptr) {
        while (pos_ < end_) {
            const char c = text_[pos_];
            if (c == '\n' && newline) *newline = true;
            if (std::isspace(static_cast<unsigned char>(c))) {
                advanceTo(pos_ + 1);
            } else if (c == ';' || (c == '/' && pos_ + 1 < end_ && text_[pos_ + 1] == '/')) {
                while (pos_ < end_ && text_[pos_] != '\n') advanceTo(pos_ + 1);
            } else if (c == '/' && pos_ + 1 < end_ && text_[pos_ + 1] == '*') {
                const std::size_t close = text_.find("*/", pos_ + 2);
                const std::size_t stop = close == std::string_view::npos || close >= end_ ? end_ : close + 2;
                for (std::size_t k = pos_; k < stop; ++k)
                    if (text_[k] == '\n' && newline) *newline = true;
                advanceTo(stop);
            } else {
                break;
            }
        }
    }

    // A word: letters, digits, '_' and '.' (for "vs.1.1").
    std::string_view word() {
        const std::size_t start = pos_;
        while (pos_ < end_ && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_' ||
                               text_[pos_] == '.'))
            advanceTo(pos_ + 1);
        return text_.substr(start, pos_ - start);
    }

    bool accept(char c) {
        skip();
        if (pos_ < end_ && text_[pos_] == c) {
            advanceTo(pos_ + 1);
            return true;
        }
        return false;
    }

    void error(int line, int column, const std::string& what) {
        if (!failed_) diags_.push_back(MakeDiagnostic(Diag::AsmError, line, column, what));
        failed_ = true;
    }

    // --- statements -----------------------------------------------------------------------

    // One version line, declaration, definition or instruction; false at the end or after an
    // error.
    bool statement(bool& versioned) {
        skip();
        if (failed_ || pos_ >= end_) return false;
        const int line = line_, column = column_;
        bool coissue = false;
        if (text_[pos_] == '+') {
            coissue = true;
            advanceTo(pos_ + 1);
            skip();
        }
        Instruction in;
        in.line = line;
        in.column = column;
        in.coissue = coissue;
        if (pos_ < end_ && text_[pos_] == '(') {
            // (p0.x) or (!p0) predicates the instruction.
            advanceTo(pos_ + 1);
            skip();
            in.predicated = true;
            if (!operand(in.predicate, false) || in.predicate.type != Reg::Predicate || !accept(')'))
                return error(line, column, "a predicate is (p0) or (!p0.swizzle)"), false;
            skip();
        }
        if (pos_ >= end_) return error(line_, column_, "the block ends inside an instruction"), false;
        std::string_view w = word();
        if (w.empty()) return error(line_, column_, "unexpected character '" + std::string(1, text_[pos_]) + "'"), false;
        if (!versioned) {
            if (!version(w)) return error(line, column, "expected a version (vs_1_1 .. vs_3_0, ps_1_1 .. ps_3_0) before '" +
                                                            std::string(w.substr(0, 20)) + "'"), false;
            versioned = true;
            return true;
        }
        if (out_.code.size() >= kMaxInstructions)
            return error(line, column, "more than " + std::to_string(kMaxInstructions) + " instructions"), false;
        // Modifiers after the name: mov_sat, mul_x2, texld_pp, if_gt, dcl_2d.
        std::string_view name = w;
        std::vector<std::string_view> mods;
        if (!StartsWith(w, "dcl")) {
            for (std::size_t u = name.find('_'); u != std::string_view::npos; u = name.find('_')) {
                std::string_view rest = name.substr(u + 1);
                name = name.substr(0, u);
                for (std::size_t v = rest.find('_'); v != std::string_view::npos; v = rest.find('_')) {
                    mods.push_back(rest.substr(0, v));
                    rest = rest.substr(v + 1);
                }
                mods.push_back(rest);
                break;
            }
        }
        if (StartsWith(w, "dcl")) return declaration(in, w);
        if (Same(name, "def") || Same(name, "defi") || Same(name, "defb")) return definition(in, name);
        if (Same(name, "if") && !mods.empty()) name = "ifc";
        if (Same(name, "break") && !mods.empty()) name = "breakc";
        if (Same(name, "vs") || Same(name, "ps")) return error(line, column, "a second version line"), false;
        int op = -1;
        for (int k = 0; k < static_cast<int>(Op::kCount); ++k)
            if (Same(name, kOps[k].name)) op = k;
        if (op < 0) return error(line, column, "unknown instruction '" + std::string(w.substr(0, 30)) + "'"), false;
        const OpRow& row = kOps[op];
        const int v = out_.version();
        const int first = out_.vertex ? row.vsFirst : row.psFirst, last = out_.vertex ? row.vsLast : row.psLast;
        if (first == 0 || v < first || v > last)
            return error(line, column, "'" + std::string(name) + "' is not an instruction of " + versionName()), false;
        in.op = op;
        in.name = row.name;
        static constexpr const char* kCompares[] = {"", "gt", "eq", "ge", "lt", "ne", "le"};
        for (std::string_view m : mods) {
            bool known = true;
            if (Same(m, "sat")) in.saturate = true;
            else if (Same(m, "pp") || Same(m, "centroid")) {}
            else if (Same(m, "x2")) in.shift = 1;
            else if (Same(m, "x4")) in.shift = 2;
            else if (Same(m, "x8")) in.shift = 3;
            else if (Same(m, "d2")) in.shift = -1;
            else if (Same(m, "d4")) in.shift = -2;
            else if (Same(m, "d8")) in.shift = -3;
            else {
                known = false;
                for (int c = 1; c <= 6; ++c)
                    if (Same(m, kCompares[c])) {
                        in.compare = c;
                        known = true;
                    }
            }
            if (!known) return error(line, column, "unknown modifier '_" + std::string(m.substr(0, 20)) + "'"), false;
        }
        if ((op == static_cast<int>(Op::k_ifc) || op == static_cast<int>(Op::k_breakc) ||
             op == static_cast<int>(Op::k_setp)) != (in.compare != 0))
            return error(line, column, "'" + std::string(name) + "' needs a comparison (_gt, _eq, _ge, _lt, _ne, _le)"), false;
        // The operands.
        int sources = row.sources;
        bool newline = false;
        if (row.dest) {
            skip(&newline);
            if (newline || !operand(in.dest, true)) return error(line, column, "'" + std::string(name) + "' needs a destination"), false;
        }
        // Sources: separated by commas (the first follows the destination's comma); an
        // instruction without a destination starts with its first source.
        std::vector<Operand> srcs;
        for (int k = 0; k < 4 && (k < sources || (k > 0 && pos_ < end_)); ++k) {
            if (row.dest || k > 0) {
                if (!accept(',')) break;
            }
            Operand s;
            if (!operand(s, false)) return error(line_, column_, "'" + std::string(name) + "': expected an operand"), false;
            srcs.push_back(s);
        }
        // The models that differ from the table's count: ps_1_4 texld and texcrd take one
        // source, sincos one in the 3_0 models and three before.
        bool countOk = static_cast<int>(srcs.size()) == sources;
        if (op == static_cast<int>(Op::k_texld) && out_.version() == 14) countOk = srcs.size() == 1;
        if (op == static_cast<int>(Op::k_sincos)) countOk = srcs.size() == (out_.major >= 3 ? 1u : 3u);
        if (op == static_cast<int>(Op::k_sgn)) countOk = srcs.size() == 3 || srcs.size() == 1;
        if (!countOk)
            return error(line, column, "'" + std::string(name) + "' takes " + std::to_string(sources) + " source operand" +
                                           (sources == 1 ? "" : "s")), false;
        in.sources = std::move(srcs);
        if (!checkRegisters(in)) return false;
        noteUse(in);
        out_.code.push_back(std::move(in));
        return true;
    }

    std::string versionName() const {
        return std::string(out_.vertex ? "vs_" : "ps_") + std::to_string(out_.major) + "_" +
               (out_.minor == 1 && out_.major == 2 ? "x" : std::to_string(out_.minor));
    }

    // vs_1_1 vs.1.1 vs_2_0 vs_2_x vs_3_0 ps_1_1..ps_1_4 ps_2_0 ps_2_x ps_3_0
    bool version(std::string_view w) {
        if (w.size() != 6 || !(StartsWith(w, "vs") || StartsWith(w, "ps"))) return false;
        if ((w[2] != '_' && w[2] != '.') || (w[4] != '_' && w[4] != '.')) return false;
        const bool vertex = StartsWith(w, "vs");
        if (vertex != out_.vertex) return false;
        const int major = w[3] - '0';
        const int minor = (w[5] == 'x' || w[5] == 'X') ? 1 : w[5] - '0';
        const int v = major * 10 + minor;
        const bool ok = vertex ? (v == 11 || v == 20 || v == 21 || v == 30)
                               : (v == 11 || v == 12 || v == 13 || v == 14 || v == 20 || v == 21 || v == 30);
        if (!ok) return false;
        out_.major = major;
        out_.minor = minor;
        return true;
    }

    // dcl_usage[n] v#/o#   dcl t#/v# (ps_2_x)   dcl_2d/dcl_cube/dcl_volume s#
    bool declaration(Instruction& in, std::string_view w) {
        std::string usage(w.size() > 4 ? w.substr(4) : std::string_view());
        for (char& c : usage) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        // _pp / _centroid after the usage are modifiers of the declaration.
        for (const char* m : {"_PP", "_CENTROID"}) {
            const std::size_t at = usage.find(m);
            if (at != std::string::npos) usage.erase(at);
        }
        skip();
        Operand d;
        if (!operand(d, true)) return error(in.line, in.column, "'dcl' needs a register"), false;
        in.op = -1;
        in.name = "dcl";
        in.dest = d;
        if (d.type == Reg::Sampler) {
            if (usage.empty()) usage = "2D";
            if (usage != "2D" && usage != "CUBE" && usage != "VOLUME")
                return error(in.line, in.column, "a sampler is declared dcl_2d, dcl_cube or dcl_volume"), false;
        } else if (!usage.empty()) {
            // The usage name with its index: TEXCOORD1, COLOR, POSITION0.
            std::size_t digits = usage.size();
            while (digits > 0 && std::isdigit(static_cast<unsigned char>(usage[digits - 1]))) --digits;
            static const char* const kUsages[] = {"POSITION", "BLENDWEIGHT", "BLENDINDICES", "NORMAL", "PSIZE",
                                                  "TEXCOORD", "TANGENT", "BINORMAL", "TESSFACTOR", "POSITIONT",
                                                  "COLOR", "FOG", "DEPTH", "SAMPLE"};
            bool known = false;
            for (const char* u : kUsages) known = known || usage.substr(0, digits) == u;
            if (!known) return error(in.line, in.column, "unknown declaration usage '" + usage.substr(0, 20) + "'"), false;
            if (digits == usage.size()) usage += "0";
            if (std::atoi(usage.c_str() + digits) > 15) return error(in.line, in.column, "usage index above 15"), false;
        }
        in.usage = usage;
        if (!checkRegister(in, d, true)) return false;
        noteUse(in);
        out_.code.push_back(std::move(in));
        return true;
    }

    // def c#, x, y, z, w   defi i#, x, y, z, w   defb b#, true|false
    bool definition(Instruction& in, std::string_view name) {
        const bool isBool = Same(name, "defb"), isInt = Same(name, "defi");
        in.name = isBool ? "defb" : isInt ? "defi" : "def";
        in.op = -1;
        skip();
        if (!operand(in.dest, true) ||
            in.dest.type != (isBool ? Reg::ConstBool : isInt ? Reg::ConstInt : Reg::Const))
            return error(in.line, in.column, "'" + std::string(in.name) + "' defines a " +
                                                 (isBool ? "b" : isInt ? "i" : "c") + " register"), false;
        const int count = isBool ? 1 : 4;
        for (int k = 0; k < count; ++k) {
            if (!accept(',')) return error(line_, column_, "'" + std::string(in.name) + "' needs " + std::to_string(count) + " values"), false;
            skip();
            const int at = line_, atColumn = column_;
            const std::string_view v = number();
            if (v.empty()) return error(at, atColumn, "expected a number"), false;
            if (isBool) {
                if (!Same(v, "true") && !Same(v, "false")) return error(at, atColumn, "expected true or false"), false;
                in.values[0] = Same(v, "true") ? 1.0f : 0.0f;
                continue;
            }
            double x = 0;
            if (!DefValue(v, x)) return error(at, atColumn, "expected a number"), false;
            if (!std::isfinite(x) || std::fabs(x) > 3.4e38) return error(at, atColumn, "the value is out of range"), false;
            if (isInt && (x != std::trunc(x) || x < -128 || x > 255))
                return error(at, atColumn, "an integer constant is a whole number from -128 to 255"), false;
            in.values[k] = static_cast<float>(x);
        }
        if (!checkRegister(in, in.dest, true)) return false;
        out_.code.push_back(std::move(in));
        return true;
    }

    std::string_view number() {
        const std::size_t start = pos_;
        if (pos_ < end_ && (text_[pos_] == '-' || text_[pos_] == '+')) advanceTo(pos_ + 1);
        while (pos_ < end_ && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.' ||
                               ((text_[pos_] == '-' || text_[pos_] == '+') && pos_ > start &&
                                (text_[pos_ - 1] == 'e' || text_[pos_ - 1] == 'E'))))
            advanceTo(pos_ + 1);
        return text_.substr(start, pos_ - start);
    }

    // --- operands -------------------------------------------------------------------------

    // [-][1-][!]register[index]['[' rel ']'][_modifier][.swizzle-or-mask]
    bool operand(Operand& o, bool dest) {
        skip();
        if (!dest) {
            if (pos_ < end_ && text_[pos_] == '-') {
                o.negate = true;
                advanceTo(pos_ + 1);
            }
            if (pos_ + 1 < end_ && text_[pos_] == '1' && text_[pos_ + 1] == '-') {
                o.complement = true;
                advanceTo(pos_ + 2);
            }
            if (pos_ < end_ && text_[pos_] == '!') {
                o.logicalNot = true;
                advanceTo(pos_ + 1);
            }
            skip();
        }
        const std::size_t start = pos_;
        while (pos_ < end_ && std::isalpha(static_cast<unsigned char>(text_[pos_]))) advanceTo(pos_ + 1);
        const std::string_view letters = text_.substr(start, pos_ - start);
        const RegisterFile* file = nullptr;
        for (const RegisterFile& f : kFiles)
            if (letters == f.prefix || (std::strlen(f.prefix) > 1 && Same(letters, f.prefix))) file = &f;
        if (!file) {
            for (const RegisterFile& f : kFiles)
                if (Same(letters, f.prefix)) file = &f;
        }
        if (!file || (out_.vertex ? !file->vertex : !file->pixel)) return false;
        o.type = file->type;
        if (o.type == Reg::RastOut) o.index = Same(letters, "oPos") ? 0 : Same(letters, "oFog") ? 1 : 2;
        if (o.type == Reg::MiscType) o.index = Same(letters, "vPos") ? 0 : 1;
        const std::size_t digits = pos_;
        while (pos_ < end_ && std::isdigit(static_cast<unsigned char>(text_[pos_])) && pos_ - digits < 6) advanceTo(pos_ + 1);
        if (pos_ > digits) {
            o.index = std::atoi(std::string(text_.substr(digits, pos_ - digits)).c_str());
        } else if (o.type != Reg::RastOut && o.type != Reg::MiscType && o.type != Reg::Loop &&
                   o.type != Reg::DepthOut && !(pos_ < end_ && text_[pos_] == '[')) {
            return false;
        }
        if (pos_ < end_ && text_[pos_] == '[') {
            // c[a0.x + 5], c[aL], v[aL + 1]
            advanceTo(pos_ + 1);
            skip();
            const std::size_t rs = pos_;
            while (pos_ < end_ && std::isalpha(static_cast<unsigned char>(text_[pos_]))) advanceTo(pos_ + 1);
            const std::string_view r = text_.substr(rs, pos_ - rs);
            if (Same(r, "aL")) {
                o.relativeType = Reg::Loop;
            } else if (Same(r, "a") && pos_ < end_ && text_[pos_] == '0') {
                advanceTo(pos_ + 1);
                o.relativeType = Reg::Address;
                if (pos_ + 1 < end_ && text_[pos_] == '.') {
                    advanceTo(pos_ + 1);
                    const char* comps = "xyzw";
                    const char* at = std::strchr(comps, std::tolower(static_cast<unsigned char>(text_[pos_])));
                    if (!at || !text_[pos_]) return false;
                    o.relativeComponent = static_cast<int>(at - comps);
                    advanceTo(pos_ + 1);
                }
            } else if (r.empty()) {
                // c[5]: a plain index in brackets.
                pos_ = rs;
            } else {
                return false;
            }
            o.relative = !r.empty();
            skip();
            int offset = 0;
            if (pos_ < end_ && (text_[pos_] == '+' || std::isdigit(static_cast<unsigned char>(text_[pos_])))) {
                if (text_[pos_] == '+') advanceTo(pos_ + 1);
                skip();
                const std::size_t ds = pos_;
                while (pos_ < end_ && std::isdigit(static_cast<unsigned char>(text_[pos_])) && pos_ - ds < 6) advanceTo(pos_ + 1);
                if (pos_ == ds) return false;
                offset = std::atoi(std::string(text_.substr(ds, pos_ - ds)).c_str());
            }
            if (!accept(']')) return false;
            o.index += offset;
        }
        // _bias _bx2 _x2 _dz _db _dw _da _abs
        while (pos_ < end_ && text_[pos_] == '_') {
            const std::size_t ms = pos_ + 1;
            advanceTo(ms);
            while (pos_ < end_ && std::isalnum(static_cast<unsigned char>(text_[pos_]))) advanceTo(pos_ + 1);
            const std::string_view m = text_.substr(ms, pos_ - ms);
            if (Same(m, "bias")) o.bias = true;
            else if (Same(m, "bx2")) o.signedScale = true;
            else if (Same(m, "x2")) o.times2 = true;
            else if (Same(m, "dz") || Same(m, "db")) o.divideZ = true;
            else if (Same(m, "dw") || Same(m, "da")) o.divideW = true;
            else if (Same(m, "abs")) o.absolute = true;
            else return false;
        }
        if (pos_ < end_ && text_[pos_] == '.') {
            advanceTo(pos_ + 1);
            const std::size_t ss = pos_;
            while (pos_ < end_ && std::isalpha(static_cast<unsigned char>(text_[pos_]))) advanceTo(pos_ + 1);
            const std::string_view sw = text_.substr(ss, pos_ - ss);
            if (sw.empty() || sw.size() > 4) return false;
            int comps[4];
            for (std::size_t k = 0; k < sw.size(); ++k) {
                const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(sw[k])));
                const char* xyzw = std::strchr("xyzw", c);
                const char* rgba = std::strchr("rgba", c);
                if (!c || (!xyzw && !rgba)) return false;
                comps[k] = xyzw ? static_cast<int>(xyzw - "xyzw") : static_cast<int>(rgba - "rgba");
            }
            if (dest) {
                o.mask = 0;
                for (std::size_t k = 0; k < sw.size(); ++k) {
                    if (k > 0 && comps[k] <= comps[k - 1]) return false;  // masks are in order
                    o.mask |= 1u << comps[k];
                }
            } else {
                o.swizzled = true;
                for (int k = 0; k < 4; ++k) o.swizzle[k] = comps[std::min<std::size_t>(static_cast<std::size_t>(k), sw.size() - 1)];
            }
        }
        return true;
    }

    // Register numbers within the model's files.
    bool checkRegister(const Instruction& in, const Operand& o, bool dest) {
        int count = 0;
        const int v = out_.version();
        switch (o.type) {
            case Reg::Temp: count = out_.vertex ? (v >= 30 ? 32 : v >= 20 ? 12 : 12) : (v >= 30 ? 32 : v >= 20 ? 32 : v == 14 ? 6 : 2); break;
            case Reg::Input: count = out_.vertex ? 16 : (v >= 30 ? 10 : 2); break;
            case Reg::Const: count = out_.vertex ? 256 : (v >= 30 ? 224 : v >= 20 ? 32 : 8); break;
            case Reg::Texture: count = v == 14 ? 6 : v >= 20 ? 8 : 4; break;
            case Reg::Sampler: count = out_.vertex ? 4 : 16; break;
            case Reg::ConstInt: case Reg::ConstBool: count = 16; break;
            case Reg::AttrOut: count = 2; break;
            case Reg::TexCrdOut: count = 8; break;
            case Reg::Output: count = 12; break;
            case Reg::ColorOut: count = 4; break;
            case Reg::Label: count = 2048; break;
            default: count = 1 << 20; break;
        }
        const int index = o.index;
        if (index < 0 || index >= count || (o.type == Reg::Address && index != 0) ||
            (o.type == Reg::Predicate && index != 0))
            return error(in.line, in.column, "register " + std::to_string(index) + " is outside the " + versionName() +
                                                 " register file"), false;
        (void)dest;
        return true;
    }

    bool checkRegisters(const Instruction& in) {
        if (kOps[in.op].dest && !checkRegister(in, in.dest, true)) return false;
        for (const Operand& s : in.sources)
            if (!checkRegister(in, s, false)) return false;
        // The sources a relative address may offset: constants (and the ps_3_0 inputs).
        for (const Operand& s : in.sources)
            if (s.relative && s.type != Reg::Const && !(s.type == Reg::Input && !out_.vertex))
                return error(in.line, in.column, "only constant registers take a relative address"), false;
        return true;
    }

    // The semantics a program reads and writes, and the samplers it samples.
    void noteUse(const Instruction& in) {
        auto add = [](std::vector<std::string>& list, const std::string& s) {
            if (std::find(list.begin(), list.end(), s) == list.end()) list.push_back(s);
        };
        if (in.name == std::string_view("dcl")) {
            if (in.dest.type == Reg::Sampler) out_.samplers |= 1u << in.dest.index;
            else if (in.dest.type == Reg::Input && !in.usage.empty()) add(out_.inputs, in.usage);
            else if (in.dest.type == Reg::Output && !in.usage.empty()) add(out_.outputs, in.usage);
            else if (in.dest.type == Reg::Input) add(out_.inputs, "COLOR" + std::to_string(in.dest.index));
            else if (in.dest.type == Reg::Texture) add(out_.inputs, "TEXCOORD" + std::to_string(in.dest.index));
            return;
        }
        if (in.op < 0) return;
        auto source = [&](const Operand& o) {
            if (o.type == Reg::Sampler) out_.samplers |= 1u << o.index;
            if (!out_.vertex && out_.major == 1 && o.type == Reg::Input) add(out_.inputs, "COLOR" + std::to_string(o.index));
            if (!out_.vertex && out_.version() == 14 && o.type == Reg::Texture) add(out_.inputs, "TEXCOORD" + std::to_string(o.index));
        };
        for (const Operand& s : in.sources) source(s);
        const Operand& d = in.dest;
        if (out_.vertex && out_.major < 3) {
            if (d.type == Reg::RastOut && d.index == 0) add(out_.outputs, "POSITION0");
            if (d.type == Reg::RastOut && d.index == 1) add(out_.outputs, "FOG0");
            if (d.type == Reg::AttrOut) add(out_.outputs, "COLOR" + std::to_string(d.index));
            if (d.type == Reg::TexCrdOut) add(out_.outputs, "TEXCOORD" + std::to_string(d.index));
        }
        // ps_1_1-1_3 texture instructions sample stage n with coordinate set n.
        if (!out_.vertex && out_.major == 1 && out_.minor <= 3 && d.type == Reg::Texture) {
            add(out_.inputs, "TEXCOORD" + std::to_string(d.index));
            if (in.name != std::string_view("texcoord") && in.name != std::string_view("texm3x2pad") &&
                in.name != std::string_view("texm3x3pad") && in.name != std::string_view("texdp3") &&
                in.name != std::string_view("texm3x3"))
                out_.samplers |= 1u << d.index;
        }
        if (!out_.vertex && out_.version() == 14 && in.name == std::string_view("texld"))
            out_.samplers |= 1u << d.index;
    }

    std::string_view text_;
    std::size_t pos_ = 0, end_ = 0;
    int line_, column_;
    Program& out_;
    std::vector<Diagnostic>& diags_;
    bool failed_ = false;
};

}  // namespace

bool Parse(std::string_view text, int line, int column, bool vertex, Program& out,
           std::vector<Diagnostic>& diagnostics) {
    out = Program{};
    return Parser(text, line, column, vertex, out, diagnostics).run();
}

}  // namespace platform::gfx::fx::assembly
