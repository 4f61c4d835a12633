// platform/gfx/fx/checker.h: the checker's class, shared by its files and by nothing else
// (the rest of the compiler includes check.h). Each group of members below is defined in the
// file its comment names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/gfx/fx/check.h"

namespace platform::gfx::fx {

// --- types and conversions (check_types.cpp) ---

// A type that stands for an expression already reported as wrong: it silences follow-on errors.
Type Poison();
bool IsPoison(const Type& t);
int BaseRank(Base b);
Type WithBase(Type t, Base b);
enum Cost { kImpossible = -1, kExact = 0, kBase = 1, kSplat = 2, kTruncate = 4 };
int ConversionCost(const Type& from, const Type& to, bool explicitCast);
Precision WiderPrecision(const Type& a, const Type& b);
int PrecisionCost(const Type& from, const Type& to);
bool CommonType(const Type& a, const Type& b, Type& out);
bool NumericLeaves(const Type& t);
Type BoolShaped(const Type& t);
Type FloatShaped(const Type& t);

// The kind of texture a lookup of dimension "d" reads (1D lookups read 2D samplers too) and
// the sampler type that names it (check_intrinsic.cpp).
Dim SamplerKind(Dim d);
const char* SamplerTypeName(Dim d);

// Whether "e" reads an effect parameter (a global that is not static) (check_shader.cpp).
bool ReadsParameter(const Expr* e);

class Checker {
public:
    Checker(Module& m, std::vector<Diagnostic>& diags, CheckedEffect& out)
        : m_(m), diags_(diags), out_(out) {}

    // Checks the module: every phase in order (check.cpp).
    void run();

private:
    // --- the checker's driver (check.cpp) ---

    void report(Diag id, int line, int column, const std::string& a = {},
                const std::string& b = {}, const std::string& c = {});
    void report(Diag id, const Expr* at, const std::string& a = {}, const std::string& b = {},
                const std::string& c = {});

    // --- types and implicit conversions (check_types.cpp) ---

    Expr* makeConvert(Expr* e, const Type& to);
    bool coerce(Expr*& slot, const Type& to, bool explicitCast = false);

    // --- names and scopes (check_scope.cpp) ---

    void registerGlobals();
    static bool SameSignature(const FuncDecl* a, const FuncDecl* b);
    void registerFunctions();
    const VarDecl* lookupVar(std::string_view name) const;
    void declareLocal(VarDecl* v);

    // --- expression typing (check_expr.cpp) ---

    static bool isLiteral(const Expr* e);
    static bool isLvalue(const Expr* e, std::string* why, bool top = false);
    bool requireLvalue(const Expr* e, bool assignment = false);
    bool requireOutArgument(const Expr* e);
    Type check(Expr* e);
    bool anyPoison(Expr* e);
    Type checkInner(Expr* e);
    Type checkUnary(Expr* e);
    Type binaryType(Expr* at, Tok op, Expr*& a, Expr*& b);
    Type checkBinary(Expr* e);
    static Tok compoundOperator(Tok k);
    Type checkAssign(Expr* e);
    Type checkTernary(Expr* e);
    Type checkConstruct(Expr* e);
    Type checkMember(Expr* e);
    const FuncDecl* resolve(const Expr* at, std::string_view name, std::vector<Expr*>& args);
    Type checkCall(Expr* e);

    // --- intrinsic functions (check_intrinsic.cpp) ---

    bool arity(Expr* e, std::size_t lo, std::size_t hi);
    Type unify(Expr* e, bool floatOnly);
    bool requireVector(Expr* e, const Type& t, int size = 0);
    bool vectorArguments(Expr* e, std::size_t n);
    Type sampleTexture(Expr* e, Dim dim, int coords, int extraArgs);
    bool outArgument(Expr*& arg, const Type& t);
    bool useSamplerAs(Expr* s, Dim dim);
    Dim samplerUse(const VarDecl* v) const;
    bool passSampler(Expr* arg, const VarDecl* param);
    void settleSamplerKinds();
    Type checkIntrinsic(Expr* e, Intrinsic k);
    Type checkShaped(Expr* e, const IntrinsicRow& row);
    void checkRegister(const VarDecl* g);
    bool sharedRegisters(const FuncDecl* f, std::string_view profile);
    bool samplerKindClash(const FuncDecl* f);
    Type checkMul(Expr* e);

    // --- declarations (check_decl.cpp) ---

    void leaves(Expr* brace, std::vector<Expr*>& out);
    bool splitLeaf(std::vector<Expr*>& ls, std::size_t pos);
    Expr* aggregate(const Type& t, std::vector<Expr*>& ls, std::size_t& pos, Expr* at);
    void checkInitializer(VarDecl* v);
    void checkGlobal(VarDecl* g);
    void checkAnnotation(AnnotationDecl& a);

    // --- statements and function bodies (check_stmt.cpp) ---

    void checkFunction(FuncDecl* f);
    static bool returns(const Stmt* s);
    void checkBlock(Stmt* s, bool newScope);
    void checkCondition(Expr*& e);
    void checkStmt(Stmt* s);
    void checkNested(Stmt* s);
    void checkRecursion();
    bool unrollable(const Stmt* s, long long& trips);
    void noteLoop(const Stmt* s, long long trips);

    // --- constant evaluation (check_const.cpp) ---

    class GlobalSource;  // the names of checked expressions
    class StateSource;   // the names and calls of state values (check_state_value.cpp)
    bool evalConst(const Expr* e, std::vector<double>& out);
    bool globalValue(const VarDecl* v, std::vector<double>& out);

    // --- effect states (check_state.cpp) ---

public:
    struct EnumValue {
        const char* name;
        std::uint32_t value;
    };
    // The value lists of platform/gfx/states.h, plus plain numbers, colours and vectors.
    enum class ValueKind { Bool, ZBuffer, Fill, Shade, Blend, BlendOp, Cull, Cmp, StencilOp,
                           FogMode, Int, Float, Filter, Address, Colour, Vector, ColorWrite,
                           Wrap, MaterialSource, VertexBlend, ClipPlanes, PatchEdge,
                           DebugMonitor, Degree, TextureOp, TextureArg, TexCoordIndex,
                           TextureTransform, LightType, Fvf };
    // What happens to a state (states.h describes each).
    enum class Fate { Gl, Kept, Vertex, Pixel, Lost };
    enum class StateGroup { Render, Sampler, TextureStage, Light, Material, Transform,
                            ShaderConstant, Shader, Texture, Fvf, ClipPlane };
    struct StateRow {
        const char* name;
        StateGroup group;
        std::uint32_t code;  // D3DRS_*, D3DSAMP_*, D3DTSS_* or D3DTS_*; 0 for the others
        ValueKind kind;
        Fate fate;
        std::uint32_t neutral;  // the value with which nothing is lost
        const char* lost;       // what a Lost state's other values lose
        int highestIndex;       // -1: the state takes no index
        int registers = 0;      // shader constants: registers one assignment sets (0: the value's)
    };
    static const std::vector<StateRow>& SamplerStates();
    static const std::vector<StateRow>& PassStates();
    static const std::vector<EnumValue>& Values(ValueKind k);

private:
    static bool enumValue(std::string_view name, ValueKind kind, double& out);
    bool braceValues(Expr* brace, std::vector<double>& out);
    bool statePrograms(const Expr* e, ValueKind kind, StateExpression& expr);
    bool stateValue(const Expr* e, const char* stateName, ValueKind kind, std::uint32_t& out,
                    bool& constant, StateExpression& expr);
    static const StateRow* findState(const std::vector<StateRow>& rows, std::string_view name);
    int parameterIndexOf(const VarDecl* v) const;
    // A state judged once the pass's shaders are known: texture-stage states, and
    // fixed-function vertex states ("off": set to their neutral value).
    struct DeferredState {
        const StateAssign* assign;
        const StateRow* row;
        bool off;
    };
    bool passState(StateAssign& a, PassPlan& pp, std::vector<DeferredState>& deferred);
    void shaderConstant(const StateAssign& a, const StateRow& row, PassPlan& pp);
    void checkSamplerStates(const std::vector<StateAssign>& states, ParameterInfo& info);
    void samplerFilter(const StateAssign& a, ParameterInfo& info);

    // --- entry points and the stage boundary (check_entry.cpp) ---

    static bool IsProfile(std::string_view p, bool vertex);
    bool hasSemantics(const Type& t, std::string_view sem, std::string& missing,
                      std::string_view name);
    bool checkCompile(Expr* v, bool vertex, EntryPoint& out);
    static bool callsFunction(const Expr* e);
    static const StageUse* unavailableUse(const FuncDecl* f, std::string_view profile);

    // --- gradients under flow control that varies per pixel (check_flow.cpp) ---

    bool gradientFlow(const EntryPoint& entry);

    // --- shader variables, the shaders of passes, fixed-function states (check_shader.cpp) ---

    void checkShaderGlobal(VarDecl* g);
    bool shaderValue(Expr* v, bool vertex, std::vector<EntryPoint>& out);
    void passStage(StateAssign& a, bool vertex, PassPlan& pp);
    bool indexProgram(Expr* e, std::vector<IndexOp>& ops);
    bool fixedFunctionState(StateAssign& a, PassPlan& pp);
    void checkFixedFunction(const PassDecl* p, const PassPlan& pp);

    // --- techniques and passes (check_pass.cpp) ---

    void checkTechniques();

    // --- reflection (check_reflect.cpp) ---

    static ParamType ObjectType(const Type& t);
    AnnotationInfo annotationInfo(const AnnotationDecl& a);
    void buildReflection();
    int reflectMembers(const Type& t, const std::string& name, const std::string& glsl,
                       int offset, int parent, std::vector<float>& init, std::size_t& used);
    void reflectStruct(VarDecl* g);
    ParameterInfo declaredParameter(const VarDecl* g);

    // --- state ---

    Module& m_;
    std::vector<Diagnostic>& diags_;
    CheckedEffect& out_;
    std::unordered_map<std::string_view, VarDecl*> globals_;
    std::unordered_map<std::string_view, std::vector<FuncDecl*>> functions_;
    std::vector<std::vector<VarDecl*>> scopes_;
    std::unordered_set<const FuncDecl*> recursive_, reportedRecursion_;
    FuncDecl* current_ = nullptr;
    bool forInit_ = false;
    struct SamplerUse {
        Dim dim;
        int line, column;
    };
    std::unordered_map<const VarDecl*, SamplerUse> samplerUses_;  // untyped samplers' kinds  // declaring the variables of a for-loop initialiser
    int loops_ = 0;
    int switches_ = 0;  // break also ends a switch
    int depth_ = 0;
    int evalDepth_ = 0;
    std::unordered_map<const VarDecl*, std::pair<bool, std::vector<double>>> constCache_;
    const char* stateName_ = "";  // the state whose value statePrograms is reading
    // The shaders of each shader-typed global, one per element (func null for NULL).
    std::unordered_map<const VarDecl*, std::vector<EntryPoint>> shaderVars_;
};

}  // namespace platform::gfx::fx
