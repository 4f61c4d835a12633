// platform/gfx/fx/const_lower.h: a constant expression made a constant program (StateOp, run by
// RunConstProgram in const_eval.h): the one walker of constant expressions, for array sizes
// (on the parser's tree), initial values and static constants (on the checker's), and state
// values (at compile time, and as the programs the effect runs when a pass begins).
//
// The walker reads a tree the checker has typed by its types, and works out the types of an
// untyped one (the parser's, a state value's) by the language's rules: integers stay integers
// until a float takes part, comparisons give bools, a one-component side serves every
// component. What a name means is its caller's: a ConstSource.
//
// Threads: pure functions of their arguments; any thread.
#pragma once

#include <vector>

#include "platform/gfx/fx/ast.h"
#include "platform/gfx/fx/fx.h"

namespace platform::gfx::fx {

// Expressions nested deeper than this are refused (ConstSource::tooDeep says where).
inline constexpr int kMaxConstDepth = 256;
// The most steps one constant program may take.
inline constexpr std::size_t kMaxConstOps = std::size_t{1} << 16;

class ConstSource {
public:
    enum class Call { NotMine, Done, Failed };
    virtual ~ConstSource() = default;
    // Appends the program of name "e" and gives its type; false when it is not constant here.
    virtual bool name(const Expr* e, Type& type, std::vector<StateOp>& ops) = 0;
    // A call of a function that is not an intrinsic (state values call functions for a value).
    virtual Call call(const Expr*, Type&, std::vector<StateOp>&, int /*depth*/) { return Call::NotMine; }
    // Called on a constructor, member, index or call before its parts are read: a state value
    // checks those there. False to refuse it.
    virtual bool prepare(Expr*) { return true; }
    // Whether a brace list is a value (its leaves' components in order).
    virtual bool braces() const { return false; }
    // The value of the literal true ("ColorWriteEnable = true" is every channel).
    virtual double trueValue() const { return 1; }
    // The deepest nesting allowed, and the report of an expression nested deeper.
    virtual int maxDepth() const { return kMaxConstDepth; }
    virtual void tooDeep(const Expr*) {}
    // The innermost node that made the expression not constant (null when none did).
    const Expr* refused = nullptr;
};

// The mode (ConstMode, as StateOp::mode) a value of scalar type "b" computes in.
unsigned char ConstModeOf(Base b);

// Appends the program of "e" to "ops" and gives its type; false when "e" is not constant.
bool LowerConst(const Expr* e, ConstSource& source, Type& type, std::vector<StateOp>& ops, int depth = 0);

// Appends the conversion of a value of type "from" to type "to", as an implicit conversion or a
// cast converts: a scalar splats, a matrix keeps its top-left part, a vector its leading
// components, an array component by component; int truncates and bool tests against zero.
bool LowerConvert(const Type& from, const Type& to, std::vector<StateOp>& ops);

// A program that pushes "values".
StateOp ConstValueOp(std::vector<double> values);

}  // namespace platform::gfx::fx
