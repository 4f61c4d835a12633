// platform/gfx/fx/check_const.cpp: constant evaluation on the checked tree: initial values,
// static constants, loop bounds, indices and annotations, through the one walker of constant
// expressions (const_lower.h) and its evaluator (const_eval.h). A name is constant when it is
// a global with an initial value that is.
#include "platform/gfx/fx/checker.h"
#include "platform/gfx/fx/const_eval.h"
#include "platform/gfx/fx/const_lower.h"

namespace platform::gfx::fx {

// The names of a checked expression: globals with a constant initial value.
class Checker::GlobalSource : public ConstSource {
public:
    explicit GlobalSource(Checker& c) : c_(c) {}
    bool name(const Expr* e, Type& type, std::vector<StateOp>& ops) override {
        const VarDecl* v = e->var;
        std::vector<double> value;
        if (!v || !v->isGlobal || !v->init || !c_.globalValue(v, value)) return false;
        type = v->type;
        ops.push_back(ConstValueOp(std::move(value)));
        return true;
    }

private:
    Checker& c_;
};

// Evaluates a checked expression built from literals, constructors, conversions,
// arithmetic, intrinsics and other globals' initial values; false when it is not constant.
bool Checker::evalConst(const Expr* e, std::vector<double>& out) {
    out.clear();
    if (++evalDepth_ > 64) {  // a chain of globals read through one another
        --evalDepth_;
        return false;
    }
    GlobalSource source(*this);
    std::vector<StateOp> ops;
    Type type;
    const bool ok = LowerConst(e, source, type, ops) && RunConstProgram(ops, nullptr, out) == ConstStatus::Ok;
    --evalDepth_;
    if (!ok) out.clear();
    return ok;
}

// A global's constant value, computed once: expressions may name the same global many
// times, and a chain of such globals must not cost exponential time.
bool Checker::globalValue(const VarDecl* v, std::vector<double>& out) {
    auto it = constCache_.find(v);
    if (it != constCache_.end()) {
        out = it->second.second;
        return it->second.first;
    }
    constCache_[v] = {false, {}};  // a cycle through this global is not constant
    const bool ok = evalConst(v->init, out);
    constCache_[v] = {ok, ok ? out : std::vector<double>{}};
    return ok;
}

}  // namespace platform::gfx::fx
