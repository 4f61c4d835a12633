// platform/gfx/fx/glsl_stmt.cpp: statements.
#include "platform/gfx/fx/glsl_emitter.h"

namespace platform::gfx::fx::glsl {

std::string Emitter::declaration(const VarDecl* v) {
    std::string s = GlslType(v->type.element()) + " " + variableName(v) + ArraySuffix(v->type);
    if (v->init) s += " = " + expr(v->init);
    return s;
}

std::string Emitter::simple(const Stmt* s) {
    if (s->kind == StmtKind::Decl) {
        std::string out;
        for (std::size_t i = 0; i < s->decls.size(); ++i) {
            const VarDecl* v = s->decls[i];
            if (i == 0) {
                out += declaration(v);
            } else {
                out += ", " + variableName(v) + ArraySuffix(v->type);
                if (v->init) out += " = " + expr(v->init);
            }
        }
        return out;
    }
    if (s->kind == StmtKind::Expr) return expr(s->expr);
    return "";
}

std::string Emitter::stmt(const Stmt* s) {
    switch (s->kind) {
        case StmtKind::Block: {
            std::string out = pad() + "{\n";
            ++indent_;
            out += statements(s->body, 0, s->body.size());
            --indent_;
            return out + pad() + "}\n";
        }
        case StmtKind::Expr: return pad() + expr(s->expr) + ";\n";
        case StmtKind::Decl: {
            std::string out;
            for (const VarDecl* v : s->decls)
                if (!(v->storage & kStorageStatic)) out += pad() + declaration(v) + ";\n";
            return out;
        }
        case StmtKind::If: {
            if (s->flattened) return flattenedIf(s);
            std::string out = pad() + "if (" + expr(s->expr) + ")\n" + nested(s->then);
            if (s->otherwise) out += pad() + "else\n" + nested(s->otherwise);
            return out;
        }
        case StmtKind::While: case StmtKind::Do: case StmtKind::For: {
            const bool leaving = !s->flattened && leaves(s);
            ++loopDepth_;
            ++breakDepth_;
            std::string out = s->flattened ? frozenLoop(s) : loop(s);
            --loopDepth_;
            --breakDepth_;
            // A pixel that returned inside a real loop within another goes on leaving.
            if (leaving && breakDepth_ > (frozen_.empty() ? 0 : frozen_.back().breakDepth))
                out += pad() + "if (!(" + liveCondition() + ")) break;\n";
            return out;
        }
        case StmtKind::Switch: {
            if (s->flattened) return frozenSwitch(s);
            const bool leaving = leaves(s);
            ++breakDepth_;
            std::string out = pad() + "switch (" + expr(s->expr) + ") {\n";
            ++indent_;
            for (const Stmt* b : s->body) out += stmt(b);
            // GLSL wants a statement after the last label.
            if (!s->body.empty() && s->body.back()->kind == StmtKind::Case) out += pad() + "break;\n";
            --indent_;
            --breakDepth_;
            out += pad() + "}\n";
            if (leaving && breakDepth_ > (frozen_.empty() ? 0 : frozen_.back().breakDepth))
                out += pad() + "if (!(" + liveCondition() + ")) break;\n";
            return out;
        }
        case StmtKind::Case:
            if (!s->expr) return pad() + "default:\n";
            return pad() + "case " + std::to_string(static_cast<long long>(s->label)) + ":\n";
        case StmtKind::Break: case StmtKind::Continue: case StmtKind::Discard: {
            bool done = false;
            if (std::string frozen = frozenJump(s, done); done) return frozen;
            const std::string jump = s->kind == StmtKind::Break ? "break;\n" : s->kind == StmtKind::Continue ? "continue;\n" : "discard;\n";
            const std::string guard = jumpGuard(s->kind);
            return pad() + (guard.empty() ? "" : "if (" + guard + ") ") + jump;
        }
        case StmtKind::Return: {
            bool done = false;
            if (std::string frozen = frozenJump(s, done); done) return frozen;
            const std::string guard = jumpGuard(s->kind);
            if (guard.empty()) return pad() + "return" + (s->expr ? " " + expr(s->expr) : "") + ";\n";
            if (!s->expr) return pad() + "if (" + guard + ") return;\n";
            // The value is computed in every pixel, as the rest of the flattened side is.
            const std::string value = "fx_r" + std::to_string(flattenCount_++);
            return pad() + "{ " + GlslType(s->expr->type) + " " + value + " = " + expr(s->expr) + "; if (" + guard +
                   ") return " + value + "; }\n";
        }
        case StmtKind::Empty: return pad() + ";\n";
    }
    return "";
}

std::string Emitter::loop(const Stmt* s) {
    switch (s->kind) {
        case StmtKind::While: return pad() + "while (" + expr(s->expr) + ")\n" + nested(s->then);
        case StmtKind::Do:
            return pad() + "do\n" + nested(s->then) + pad() + "while (" + expr(s->expr) + ");\n";
        default:
            // A variable the initialiser declares outlives the loop (HLSL's scoping), so
            // the declaration goes before it.
            if (s->init && s->init->kind == StmtKind::Decl)
                return stmt(s->init) + pad() + "for (; " + (s->expr ? expr(s->expr) : "") + "; " +
                       (s->step ? expr(s->step) : "") + ")\n" + nested(s->then);
            return pad() + "for (" + (s->init ? simple(s->init) : "") + "; " +
                   (s->expr ? expr(s->expr) : "") + "; " + (s->step ? expr(s->step) : "") +
                   ")\n" + nested(s->then);
    }
}

std::string Emitter::nested(const Stmt* s) {
    if (s->kind == StmtKind::Block) return stmt(s);
    if (s->kind == StmtKind::For && s->init && s->init->kind == StmtKind::Decl)
        return pad() + "{\n" + indented(s) + pad() + "}\n";  // keeps the hoisted declaration inside
    return indented(s);
}

std::string Emitter::indented(const Stmt* s) {
    ++indent_;
    std::string out = stmt(s);
    --indent_;
    return out;
}

}  // namespace platform::gfx::fx::glsl
