// platform/gfx/fx/glsl_emitter.h: the GLSL writer's class and helpers, shared by the emitter's
// files (emit_glsl.cpp holds the entry point).
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/gfx/fx/emit_glsl.h"

namespace platform::gfx::fx::glsl {

// glsl_names.cpp: names, types and literals as GLSL spells them
std::string UserName(std::string_view name);
std::string FunctionName(const FuncDecl* f);
std::string GlslType(const Type& t);
std::string ArraySuffix(const Type& t);
std::string FormatFloat(double v);
double LiteralValue(const Expr* e);

inline constexpr char kComponents[] = "xyzw";

// ORDER Helper: kHelperNames spells them.
enum Helper {
    kHelperFmod, kHelperClip, kHelperSincos, kHelperLit, kHelperFrexp, kHelperIsfinite,
    kHelperAtan2, kHelperPow, kHelperSmoothstep, kHelperCount
};

// Functions the generated code calls that GLSL 3.30 lacks, in the four float shapes.
std::string HelperText(Helper h);

// The helper called "name" ("fx_pow"), or kHelperCount when no fixed helper has that name.
Helper HelperNamed(std::string_view name);

// An intrinsic row's GLSL spelling with "args" in place of $0.. and "type" in place of $T; a
// bare name is called with the arguments.
std::string Spell(const char* glsl, const std::vector<std::string>& args, const std::string& type);

class Emitter {
public:
    Emitter(const CheckedEffect& effect, PassInfo& out, GlslTarget target)
        : effect_(effect), out_(out), target_(target) {}

    // The GLSL text of one stage of the pass; "other" is the pass's other stage.
    std::string stage(const EntryPoint& entry, bool vertex, const EntryPoint* other);

private:
    // Calls "f" on every expression of statement "s" and the statements inside it.
    template <typename F>
    static void EachExpression(const Stmt* s, const F& f) {
        if (!s) return;
        f(s->expr);
        f(s->step);
        EachExpression(s->init, f);
        EachExpression(s->then, f);
        EachExpression(s->otherwise, f);
        for (const Stmt* b : s->body) EachExpression(b, f);
        for (const VarDecl* v : s->decls) f(v->init);
    }

    void need(Helper h) { helpers_.insert(h); }
    void needHelperNamed(std::string_view name) {
        if (HelperNamed(name) != kHelperCount) need(HelperNamed(name));
    }

    std::string call(const char* name, const Expr* e) { return std::string(name) + "(" + args(e) + ")"; }

    std::string pad() const { return std::string(static_cast<std::size_t>(indent_) * 4, ' '); }

    // glsl_collect.cpp: what a stage reaches: functions, globals, and the parameters it writes
    void collectFunctions(const FuncDecl* f);
    void collectGlobals(const Expr* e);
    void collectGlobals(const Stmt* s);
    void addGlobal(const VarDecl* v);
    static const VarDecl* writtenVariable(const Expr* e);
    void noteWrite(const Expr* target);
    void collectWrites(const Expr* e);
    void collectWrites(const Stmt* s);
    static bool writesArgument(const Expr* e, std::size_t i);
    void closeGlobals();
    void collectInitialiserCalls(const Expr* e);
    void collectStaticLocals(const Stmt* s);

    // glsl_expr.cpp: expressions and conversions
    std::string args(const Expr* e, std::size_t from = 0);
    static const char* compareFunction(Tok op);
    std::string matrixOp(const Expr* e, const std::string& op, const std::vector<std::string>* texts = nullptr);
    std::string integralMatrix(const std::string& text, Base from, const Type& to);
    std::string expr(const Expr* e);
    std::string binary(const Expr* e);
    std::string assign(const Expr* e);
    std::string assignTo(const Expr* e);
    std::string userCall(const Expr* e);
    std::string member(const Expr* e);
    std::string index(const Expr* e);
    void flatIndex(const Expr* e, std::string& root, std::string& offset);
    std::string assignRow(const Expr* e);
    std::string assignMatrixElements(const Expr* e);
    std::string assignParts(const Expr* e);
    std::string construct(const Expr* e);
    static std::string splatMatrix(const std::string& scalar, const Type& t);
    std::string convert(const Expr* e, const Type& to);
    std::string convertText(const std::string& text, const Type& from, const Type& to);
    std::string splatStruct(const std::string& scalar, const Type& from, const Type& to);
    std::string castComponents(const std::string& text, const Type& from, const Type& to);  // glsl_cast.cpp
    std::string assignComponents(const std::string& target, const Type& targetType, const std::string& value,
                                 const Type& valueType);  // glsl_cast.cpp
    std::string assignThroughCast(const Expr* e);  // glsl_cast.cpp
    std::string increment(const Expr* e);          // glsl_cast.cpp
    std::string zero(const Type& t);

    // glsl_order.cpp: ?:, && and || evaluate every operand once, in order
    std::vector<std::string> inOrder(const std::vector<const Expr*>& ops, std::string& prefix);
    std::string ternary(const Expr* e);
    std::string logical(const Expr* e);

    // glsl_outargs.cpp: out arguments bound through a wrapper's temporaries
    struct OutWrapper {
        std::vector<std::pair<const VarDecl*, const Expr*>> roots;  // local variables and their parameters
        std::vector<std::string> params, values;                    // the wrapper's parameters, the call's arguments
    };
    static bool bindsDirectly(const Expr* arg, const Type& param);
    const Expr* wrapperLvalue(const Expr* e, OutWrapper& w);
    std::string outArgumentCall(const Expr* e, const std::vector<Type>& param, const std::vector<bool>& out);

    // glsl_intrinsic.cpp: intrinsic calls and texture lookups
    std::string sample(const Expr* e, Dim dim, const char* kind);
    std::string intrinsic(const Expr* e);
    void byRows(const Type& t, const std::string& name, const std::string& perRow);
    std::string shaped(const Expr* e, const IntrinsicRow& row);
    std::string reduce(const Expr* e, bool all);

    // glsl_stmt.cpp: statements
    std::string declaration(const VarDecl* v);
    std::string simple(const Stmt* s);
    std::string stmt(const Stmt* s);
    std::string nested(const Stmt* s);
    std::string indented(const Stmt* s);
    std::string loop(const Stmt* s);

    // glsl_flatten.cpp: an if whose sides both run (a gradient under a varying condition)
    void writesOf(const Expr* e, std::vector<const VarDecl*>& out);
    void writesOf(const Stmt* s, std::vector<const VarDecl*>& out);
    std::string jumpGuard(StmtKind k) const;
    std::string saved(const std::vector<const VarDecl*>& vars, const std::string& prefix);
    std::string restored(const std::vector<const VarDecl*>& vars, const std::string& prefix);
    std::string liveEnter(const std::string& id, const std::string& condition);
    std::string liveLeave(const std::string& id);
    std::string flattenedIf(const Stmt* s);
    // Pixels that left early (a return, break or continue) but keep running, frozen.
    std::string statements(const std::vector<Stmt*>& list, std::size_t from, std::size_t to);
    bool leaves(const Stmt* s) const;
    std::string liveCondition() const;
    std::string frozenRun(const std::string& condition, const std::vector<Stmt*>& list, std::size_t from,
                          std::size_t to);
    std::string frozenJump(const Stmt* s, bool& done);
    std::string frozenLoop(const Stmt* s);
    std::string frozenSwitch(const Stmt* s);
    std::string frozenFunction(const FuncDecl* f);
    static bool Discards(const Stmt* s);
    static bool HasFlattened(const Stmt* s);

    // glsl_stage.cpp: declarations, functions and the stages' main functions
    std::string variableName(const VarDecl* v) const;
    std::string structs();
    void useLocals(const Stmt* s, const std::function<void(const Type&)>& use);
    std::string globalsText(bool vertex);
    std::string staticInits();
    std::string function(const FuncDecl* f);
    std::string signature(const FuncDecl* f);
    std::string ioPath(const FuncDecl& f, const IoVar& io);
    static std::string Pad4(const std::string& value, const Type& t);
    std::string fromVec4(const std::string& source, const Type& t);
    std::string callEntry(const EntryPoint& entry, const std::vector<IoVar>& inputs,
                          const std::function<std::string(const IoVar&)>& input);
    std::string pointSize(const std::vector<std::string>& varyings);
    std::string clipDistances(const std::string& position, std::string& decls);
    std::string interpolation(const std::string& sem) const;
    std::string vertexMain(const EntryPoint& entry, const EntryPoint* pixel);
    std::string fixedPixelStages(bool shaded, std::string& decls);
    // glsl_fixed.cpp: the fixed-function vertex stage after its position, what the fixed
    // pixel processing adds after the texture stages, and the alpha test.
    std::string fixedVertex(const std::vector<std::string>& outputs, std::string& decls,
                            const std::function<std::string(const std::string&)>& attribute,
                            const std::function<std::string(const std::string&)>& varying);
    std::string fixedPixelTail(const std::string& colour, bool fixedVertex, std::string& decls,
                               const std::function<std::string(const std::string&, const char*)>& input,
                               bool specular = true);
    std::string alphaTest(const std::string& colour, std::string& decls);
    std::string srgbWrite(const std::string& colour);
    std::string fragmentMain(const EntryPoint& entry, const EntryPoint* vertex);

    // The version line and default precisions every stage starts with.
    std::string versionHeader() const;
    // How the stage reads the vertex attribute of semantic "sem" (declared as "name").
    std::string attributeValue(const std::string& sem, const std::string& name) const;

    const CheckedEffect& effect_;
    PassInfo& out_;
    GlslTarget target_;
    std::set<Helper> helpers_;
    std::set<std::string> dynamicHelpers_;  // helpers made for the types in use
    // Wrappers of calls with out arguments (after the globals, which they may write), the
    // prototypes of the functions they call, and the nodes and names their bodies are made of.
    std::vector<std::string> lateHelpers_;
    std::vector<std::string> temps_;  // global temporaries that keep operands in order
    std::set<std::string> prototypes_;
    std::map<std::string, std::string> outWrappers_;
    std::deque<Expr> scratch_;
    std::deque<std::string> scratchNames_;
    std::vector<const FuncDecl*> funcs_;
    std::unordered_set<const FuncDecl*> visiting_;
    std::vector<const VarDecl*> globals_;
    std::unordered_set<const VarDecl*> globalSet_;
    std::unordered_set<const VarDecl*> written_;  // uniform parameters the stage writes
    std::vector<std::string> writtenVaryings_;
    std::vector<const VarDecl*> staticLocals_;  // of the reachable functions, in order
    int indent_ = 0;
    // The sides of flattened ifs being written, innermost last, with the loops and switches
    // entered before each.
    struct FlatGuard {
        std::string condition;
        int loopDepth, breakDepth;
    };
    std::vector<FlatGuard> guards_;
    int loopDepth_ = 0, breakDepth_ = 0;
    // The loops and switches whose pixels may have left early, innermost last: the flags that
    // say so ("continued" is empty for a switch) and, for a loop, what its step writes, whose
    // value a pixel that breaks keeps.
    struct Frozen {
        std::string broke, continued;
        int loopDepth, breakDepth;
        std::vector<const VarDecl*> stepVars;
    };
    std::vector<Frozen> frozen_;
    bool frozenReturns_ = false;  // the function being written keeps returned pixels running
    bool liveFlag_ = false;       // fx_live tells functions where a flattened caller's side is taken
    int flattenCount_ = 0;
    std::unordered_map<const FuncDecl*, std::vector<const VarDecl*>> functionWrites_;
};

}  // namespace platform::gfx::fx::glsl
