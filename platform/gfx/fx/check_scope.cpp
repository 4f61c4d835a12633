// platform/gfx/fx/check_scope.cpp: names and scopes: global parameters, function overload sets and
// prototypes, local scopes and name lookup.
#include "platform/gfx/fx/checker.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>

namespace platform::gfx::fx {

// Enters every global variable in the global scope; a second definition is reported.
void Checker::registerGlobals() {
    for (VarDecl* g : m_.globals) {
        if (globals_.count(g->name)) {
            report(Diag::Redefinition, g->line, g->column, std::string(g->name));
            continue;
        }
        globals_[g->name] = g;
        checkRegister(g);
    }
}

namespace {

// How many registers of its file a global of type "t" takes from its register on: one per
// scalar, vector or sampler, one per matrix row when "rowMajor" (row_major, or the
// pack_matrix default) and one per column otherwise, each array element and struct member
// in turn.
long long RegisterCount(const Type& t, bool rowMajor) {
    constexpr long long kMost = 1 << 20;  // far past any register file; keeps the sums small
    long long one = 1;
    if (t.base == Base::Struct && t.st) {
        one = 0;
        for (const VarDecl* m : t.st->members)
            one = std::min(kMost, one + RegisterCount(m->type, (m->storage & kStorageRowMajor) != 0));
    } else if (t.rows > 0) {
        one = rowMajor ? t.rows : t.cols;
    }
    return std::min(kMost, std::max(1LL, one) * (t.isArray() ? t.arraySize : 1));
}

}  // namespace

// register(NAME): a register of the constant (c), integer (i), boolean (b) or sampler (s)
// file. Two globals may take the same registers; only a shader that reads both is refused
// (sharedRegisters), as the native compiler binds registers per shader: effects include
// shared headers that bind a dozen samplers to s0. A sampler takes an s register and nothing
// else does.
void Checker::checkRegister(const VarDecl* g) {
    for (const VarDecl::Register& reg : g->registers) {
        const std::string_view r = reg.name;
        bool valid = r.size() >= 2 && r.size() <= 6 && std::strchr("cibstCIBST", r[0]) != nullptr;
        for (std::size_t i = 1; i < r.size() && valid; ++i) valid = std::isdigit(static_cast<unsigned char>(r[i])) != 0;
        if (!valid) {
            report(Diag::BadRegister, reg.line, reg.column, std::string(r), "is not a register");
            continue;
        }
        const bool samplerFile = r[0] == 's' || r[0] == 'S';
        const bool sampler = g->type.element().base == Base::Sampler;
        if (sampler != samplerFile && g->type.element().base != Base::Texture)
            report(Diag::BadRegister, reg.line, reg.column, std::string(r),
                   sampler ? "is not a sampler register" : "is a sampler register");
    }
}

// Refuses an entry point "f" of "profile" whose functions read two globals whose registers
// overlap (the registers a global takes from its register on); the later declaration is named.
bool Checker::sharedRegisters(const FuncDecl* f, std::string_view profile) {
    std::vector<const FuncDecl*> todo = {f};
    std::unordered_set<const FuncDecl*> seen = {f};
    std::vector<std::pair<const VarDecl*, const VarDecl::Register*>> bound;
    while (!todo.empty()) {
        const FuncDecl* g = todo.back();
        todo.pop_back();
        for (const VarDecl* v : g->globalsRead) {
            const VarDecl::Register* reg = v->registerFor(profile);
            if (!reg || reg->name.size() < 2) continue;
            bool known = false;
            for (const auto& b : bound) known = known || b.first == v;
            if (!known) bound.emplace_back(v, reg);
        }
        for (const FuncDecl* c : g->callees)
            if (seen.insert(c).second) todo.push_back(c);
    }
    std::sort(bound.begin(), bound.end(), [](const auto& a, const auto& b) {
        return a.first->line != b.first->line ? a.first->line < b.first->line : a.first->column < b.first->column;
    });
    auto first = [](std::string_view r) -> long long { return std::atoi(std::string(r.substr(1)).c_str()); };
    for (std::size_t i = 0; i < bound.size(); ++i) {
        const VarDecl* g = bound[i].first;
        const std::string_view r = bound[i].second->name;
        const long long begin = first(r), end = begin + RegisterCount(g->type, (g->storage & kStorageRowMajor) != 0);
        for (std::size_t j = 0; j < i; ++j) {
            const VarDecl* other = bound[j].first;
            const std::string_view o = bound[j].second->name;
            if (std::tolower(static_cast<unsigned char>(o[0])) != std::tolower(static_cast<unsigned char>(r[0])))
                continue;
            const long long otherBegin = first(o);
            if (otherBegin < end && begin < otherBegin + RegisterCount(other->type, (other->storage & kStorageRowMajor) != 0)) {
                report(Diag::BadRegister, bound[i].second->line, bound[i].second->column, std::string(r),
                       EqualsNoCase(o, r) ? "is already bound to '" + std::string(other->name) + "'"
                                          : "overlaps the registers of '" + std::string(other->name) + "'");
                return true;
            }
        }
    }
    return false;
}

// Whether two functions take the same parameter types (a prototype and its body).
bool Checker::SameSignature(const FuncDecl* a, const FuncDecl* b) {
    if (a->params.size() != b->params.size()) return false;
    for (std::size_t i = 0; i < a->params.size(); ++i)
        if (!a->params[i]->type.sameSpelling(b->params[i]->type)) return false;
    return true;
}

// Builds the overload sets: a body joins its prototype, a new signature makes a new
// overload; a name that is also a global is reported (a prototype never defined only when
// it is called).
void Checker::registerFunctions() {
    for (FuncDecl* f : m_.functions) {
        if (globals_.count(f->name)) {
            report(Diag::Redefinition, f->line, f->column, std::string(f->name));
            continue;
        }
        for (VarDecl* p : f->params)
            if (p->type.base == Base::Void)
                report(Diag::VoidVariable, p->line, p->column, std::string(p->name));
        auto& list = functions_[f->name];
        bool merged = false;
        for (FuncDecl* other : list) {
            if (!SameSignature(other, f)) continue;
            merged = true;
            if ((other->body && f->body) || !other->ret.sameSpelling(f->ret)) {
                // two bodies, or a declaration that returns another type than the first
                report(Diag::Redefinition, f->line, f->column, std::string(f->name));
            } else if (f->body) {
                other->definition = f;  // the prototype now points at its body
                f->overloadIndex = other->overloadIndex;
                std::replace(list.begin(), list.end(), other, f);
            } else {
                f->definition = other;
            }
            break;
        }
        if (!merged) {
            f->overloadIndex = static_cast<int>(list.size());
            list.push_back(f);
        }
    }
}

// The innermost variable called "name": local scopes from the inside out, then globals.
const VarDecl* Checker::lookupVar(std::string_view name) const {
    for (auto s = scopes_.rbegin(); s != scopes_.rend(); ++s)
        for (auto v = s->rbegin(); v != s->rend(); ++v)
            if ((*v)->name == name) return *v;
    auto g = globals_.find(name);
    return g == globals_.end() ? nullptr : g->second;
}

// Enters "v" in the innermost scope; a second one of that name in the same scope is reported,
// except from a loop initialiser (the old compiler warned and let the newer declaration win;
// the newer one gets its own name in the output).
void Checker::declareLocal(VarDecl* v) {
    for (auto other = scopes_.back().rbegin(); other != scopes_.back().rend(); ++other) {
        if ((*other)->name != v->name) continue;
        if (!forInit_) {
            report(Diag::Redefinition, v->line, v->column, std::string(v->name));
            return;
        }
        report(Diag::LoopVariableRedeclared, v->line, v->column, std::string(v->name));
        v->rename = (*other)->rename + 1;
        break;
    }
    scopes_.back().push_back(v);
}

}  // namespace platform::gfx::fx
