// platform/gfx/fx/ast.h: the syntax tree the parser builds, the checker annotates and the GLSL
// emitter reads. Nodes live in the Module's arenas; pointers between them stay valid as long
// as the Module lives.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/gfx/fx/lexer.h"

namespace platform::gfx::fx {

struct StructDecl;
struct VarDecl;
struct FuncDecl;

// ---------------------------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------------------------

// VertexShader and PixelShader are the effect's shader objects ("VertexShader vs[2] = {...}").
enum class Base : unsigned char {
    Void, Bool, Int, Uint, Float, Struct, Texture, Sampler, String, VertexShader, PixelShader
};
// The dimension of a texture or sampler; None for the untyped "texture" and "sampler" (a
// sampler's kind then comes from the lookups that use it).
enum class Dim : unsigned char { None, D1, D2, D3, Cube };

// How a value that is stored as a scalar or a vector was spelled: float1 (One), a matrix of
// one row (Row: float1xN, N the vector's width, float1x1 a scalar) or of one column (Column:
// floatNx1). They are held and emitted as the scalar or vector, but overloads, indexing,
// matrix members, intrinsic argument shapes and mixing with matrices tell them apart.
enum class Shape : unsigned char { Plain, One, Row, Column };

// How a float was spelled: half, float and double are their own types for overloads (half
// converts to float and float to double by promotion, the other way by conversion), all
// computed as float, as shader models 2 and 3 do.
enum class Precision : unsigned char { Half, Float, Double };

// A value type. Scalars have rows 0 and cols 1, vectors rows 0 and cols 2..4, matrices rows
// and cols 2..4 (HLSL's floatRxC: R rows of C columns; matrices are held as float, their
// declared scalar type in "elements"). Vectors of
// one component and matrices with one row or column are stored as scalars and vectors, with
// their spelling in "shape".
//
// A multi-dimensional array ("float c[2][3]") is stored flat: arraySize counts every element
// (6) and inner[0] the elements of one c[i] (3; inner[1] the next level's), so declarations,
// initialisers, uniforms and the emitted GLSL see one array; indexing walks the levels.
struct Type {
    Base base = Base::Void;
    int rows = 0;
    int cols = 1;
    int arraySize = 0;  // 0: not an array; all elements of every dimension
    Dim dim = Dim::None;
    const StructDecl* st = nullptr;
    Shape shape = Shape::Plain;
    Precision precision = Precision::Float;  // of a float type; Float for the others
    int inner[2] = {0, 0};  // elements per index of the 2nd and 3rd dimensions; 0: none
    // A matrix's scalar type as declared (int2x2, bool3x3): its elements are held as floats
    // ("base" is Float), whole numbers for int and uint, 0 and 1 for bool. Float otherwise.
    Base elements = Base::Float;

    bool isNumeric() const {
        return base == Base::Bool || base == Base::Int || base == Base::Uint ||
               base == Base::Float;
    }
    bool isArray() const { return arraySize > 0; }
    bool isShader() const { return base == Base::VertexShader || base == Base::PixelShader; }
    bool isScalar() const { return isNumeric() && !isArray() && rows == 0 && cols == 1; }
    bool isVector() const { return isNumeric() && !isArray() && rows == 0 && cols > 1; }
    bool isMatrix() const { return isNumeric() && !isArray() && rows > 0; }
    bool isNumericValue() const { return isNumeric() && !isArray(); }
    int components() const { return rows > 0 ? rows * cols : cols; }
    // The type of one element, whatever the dimensions (what GLSL declares, with the flat
    // ArraySuffix).
    Type element() const {
        Type t = *this;
        t.arraySize = 0;
        t.inner[0] = t.inner[1] = 0;
        return t;
    }
    // The type of a[i]: the next dimension's array, or the element.
    Type indexed() const {
        if (inner[0] == 0) return element();
        Type t = *this;
        t.arraySize = inner[0];
        t.inner[0] = inner[1];
        t.inner[1] = 0;
        return t;
    }
    // The number of a[i] of an array (its first dimension).
    int outerSize() const { return inner[0] > 0 ? arraySize / inner[0] : arraySize; }
    // A matrix as HLSL sees it: floatRxC, float1xN or floatNx1.
    bool isMatrixShaped() const {
        return isMatrix() || (isNumericValue() && (shape == Shape::Row || shape == Shape::Column));
    }
    // The HLSL rows and columns of a matrix-shaped value.
    int hlslRows() const { return shape == Shape::Row ? 1 : shape == Shape::Column ? cols : rows; }
    int hlslCols() const { return shape == Shape::Column ? 1 : cols; }
    // Equality of what is stored; the spelling ("shape", "precision") is compared by sameSpelling.
    bool operator==(const Type& o) const {
        return base == o.base && rows == o.rows && cols == o.cols && arraySize == o.arraySize &&
               dim == o.dim && st == o.st && inner[0] == o.inner[0] && inner[1] == o.inner[1];
    }
    bool sameSpelling(const Type& o) const {
        return *this == o && shape == o.shape && precision == o.precision;
    }
    bool operator!=(const Type& o) const { return !(*this == o); }
    // The scalar type of the values: a matrix's declared one.
    Base scalarBase() const { return rows > 0 ? elements : base; }
    // Whether "o" holds the same values: the same storage and, for a matrix, the same elements.
    bool sameValues(const Type& o) const { return *this == o && (rows == 0 || elements == o.elements); }

    static Type Scalar(Base b) { return Type{b, 0, 1}; }
    static Type Vector(Base b, int n) { return Type{b, 0, n}; }
    static Type Matrix(int r, int c) { return Type{Base::Float, r, c}; }
};

// Builds a numeric type with HLSL's folding rules (matrix dimensions of 1 become vectors).
Type MakeNumeric(Base base, int rows, int cols);

// The type named by a type keyword ("float4", "float3x3", "sampler2D", "texture", ...).
// Returns false for names that are not built-in type names.
bool BuiltinTypeNamed(std::string_view name, Type& out);

// The value of a literal: "kind" is IntLit, FloatLit or BoolLit and "text" its spelling with
// any suffix ("1.5f", "0x10u", "2h", "true"). Integers wrap to 32 bits as the compiler's did.
enum class ExprKind;
double LiteralValue(ExprKind kind, std::string_view text);

// The GLSL name of source name "name": the prefix "h", and a suffix where that would spell a
// name GLSL reserves ("alf" -> "half_"). Uniforms and the emitted code both use it.
std::string GlslName(std::string_view name);

// How many scalars a value of type "t" holds (arrays and struct members included), saturated
// at 2^40 so that nested arrays of structs cannot overflow it.
long long ScalarCount(const Type& t);

// Whether evaluating "e" may change something: an assignment, ++ or --, or a call (an intrinsic
// may discard the pixel or write an out argument).
struct Expr;
bool HasSideEffects(const Expr* e);

// ASCII comparison ignoring case (the effect framework's keywords and state names).
bool EqualsNoCase(std::string_view a, std::string_view b);

// The HLSL spelling of "t" ("float4", "float4x4", "int[3]", "S"), for messages and reflection.
std::string TypeName(const Type& t);

// ---------------------------------------------------------------------------------------------
// Annotations and expressions
// ---------------------------------------------------------------------------------------------

struct Expr;

// One "< type name = value; >" entry.
struct AnnotationDecl {
    std::string type;
    std::string name;
    Expr* value = nullptr;
    int line = 0, column = 0;
};

enum class ExprKind {
    IntLit, FloatLit, BoolLit, StringLit,
    Name,       // text: the name
    Unary,      // op, args[0]
    Postfix,    // op (++ or --), args[0]
    Binary,     // op, args[0], args[1]
    Assign,     // op (= or compound), args[0] target, args[1] value
    Ternary,    // args[0] ? args[1] : args[2]
    Call,       // text: function name; args
    Construct,  // castType(args...)
    Cast,       // (castType) args[0]
    Member,     // args[0].text
    Index,      // args[0][args[1]]
    Brace,      // { args... }
    Comma,      // args[0], args[1]
    Compile,    // compile <text: profile> args[0] (a Call)
    Asm,        // text: an inline assembly block "asm { ... }" as written
    Convert,    // implicit conversion inserted by the checker to "type"
};

enum class Ref { None, Global, Local, Function, Intrinsic };

struct Expr {
    ExprKind kind = ExprKind::IntLit;
    int line = 0, column = 0;
    Tok op = Tok::End;
    std::string_view text;
    Type castType;
    std::vector<Expr*> args;

    // Filled by the checker.
    Type type;
    Ref ref = Ref::None;
    const VarDecl* var = nullptr;
    const FuncDecl* func = nullptr;
    int intrinsic = -1;
    int swizzle[4] = {0, 0, 0, 0};  // components (vector) or row*4+col (matrix) of a Member
    int swizzleCount = 0;           // 0: a struct member access
    bool matrixSwizzle = false;
    int memberIndex = -1;
};

// ---------------------------------------------------------------------------------------------
// Declarations
// ---------------------------------------------------------------------------------------------

enum Storage : unsigned {
    kStorageUniform = 1u << 0,
    kStorageStatic = 1u << 1,
    kStorageConst = 1u << 2,
    kStorageExtern = 1u << 3,
    kStorageShared = 1u << 4,
    kStorageIn = 1u << 5,
    kStorageOut = 1u << 6,
    kStorageVolatile = 1u << 7,
    kStorageMatrixOrder = 1u << 8,  // row_major or column_major was written
    kStorageRowMajor = 1u << 9,     // row_major, written or the pack_matrix default
};

// "Name = value;" inside sampler_state { } or a pass; "index" is the n of "Name[n]" (or -1).
struct StateAssign {
    std::string_view name;
    int index = -1;
    Expr* value = nullptr;
    int line = 0, column = 0;
};

struct VarDecl {
    std::string_view name;
    int line = 0, column = 0;
    Type type;
    unsigned storage = 0;
    std::string_view semantic;  // empty when none
    // ": register([profile,] NAME)" bindings in order: "c0" (also written "c[0]"), for the
    // shaders of one profile ("ps", "vs_3_0") or, with no profile, for every shader.
    struct Register {
        std::string_view profile, name;
        int line = 0, column = 0;
    };
    std::vector<Register> registers;
    // The binding a shader of "profile" uses: the last one for its stage or profile, else
    // the one without a profile; null when none.
    const Register* registerFor(std::string_view profile) const;
    std::vector<AnnotationDecl> annotations;
    Expr* init = nullptr;
    bool hasSamplerState = false;
    std::vector<StateAssign> samplerStates;
    // A sampler array's "= { sampler_state {...}, ... }": element n's states.
    std::vector<std::vector<StateAssign>> elementSamplerStates;
    bool isGlobal = false;
    bool isParameter = false;  // a function parameter
    int reflectIndex = -1;     // index in the reflection's parameter list, or -1
    int rename = 0;            // >0: a loop variable declared again, emitted as NAME_r<rename>
    // A static const scalar or vector whose initial value is a compile-time constant: the
    // value, one entry per component (empty otherwise). Stages declare it folded.
    std::vector<double> folded;
};

struct StructDecl {
    std::string_view name;
    int line = 0, column = 0;
    std::vector<VarDecl*> members;
    long long scalars = 0;  // ScalarCount of one value, set once the members are known
};

// A Switch holds its statements in "body", with a Case statement (expr: the label, null for
// 'default') where each label stands.
enum class StmtKind {
    Block, Expr, Decl, If, For, While, Do, Break, Continue, Return, Discard, Empty, Switch, Case
};

struct Stmt {
    StmtKind kind = StmtKind::Empty;
    int line = 0, column = 0;
    std::vector<Stmt*> body;      // Block
    std::vector<VarDecl*> decls;  // Decl
    Expr* expr = nullptr;         // Expr, Return value, If/While/Do condition, For condition
    Expr* step = nullptr;         // For
    Stmt* init = nullptr;         // For
    Stmt* then = nullptr;         // If, loops' body
    Stmt* otherwise = nullptr;    // If
    double label = 0;             // Case: the label's value (the checker's)
    unsigned attrs = 0;           // If and loops: the kAttr* bits of the attributes written
    // If: the checker found a gradient operation under a condition that varies per pixel; the
    // emitter evaluates both sides and keeps the taken side's writes (derivatives then stay
    // defined, as they are only in control flow every pixel of a quad takes). Loop of a known
    // count, or switch: a gradient sits where a pixel may have left early (break, continue,
    // return, or a selector that varies); every pixel runs every iteration or case, each
    // keeping the writes of what it takes.
    bool flattened = false;
};

// The attributes of an if or a loop that change what the compiler does with it.
enum StmtAttr : unsigned { kAttrBranch = 1u << 0, kAttrFlatten = 1u << 1, kAttrLoop = 1u << 2, kAttrUnroll = 1u << 3 };

// Where an intrinsic or a statement can run: the stages and shader models of the reference's
// tables (the checker refuses a use that an entry point's profile lacks).
enum class Availability {
    Any,             // every stage and model
    Pixel,           // pixel shaders of every model
    PixelModel2,     // pixel shaders from ps_2_0 on
    PixelGradients,  // pixel shaders with gradient instructions: ps_2_a, ps_2_sw, ps_3_0, ps_3_sw
    Model3,          // vs_3_0, ps_3_0 and their software profiles
    Loops,           // models with loops: every vertex model but vs_1_1, ps_2_a, ps_2_sw, ps_3_*
    TextureFill,     // no shader stage at all: texture fill functions only
    Model4,          // shader model 4 and up, which no Direct3D 9 profile is (bit operations)
};

// A use of something that not every stage or model has, in a function's body.
struct StageUse {
    int line = 0, column = 0;
    std::string_view what;  // "ddx()", "discard"
    Availability need = Availability::Any;
};

struct FuncDecl {
    std::string_view name;
    int line = 0, column = 0;
    Type ret;
    std::string_view semantic;
    std::vector<VarDecl*> params;
    Stmt* body = nullptr;  // null for a prototype
    // Filled by the checker.
    std::vector<const FuncDecl*> callees;
    std::vector<const VarDecl*> globalsRead;  // the globals its body names (repeats allowed)
    // The kinds its lookups read untyped samplers as: one program may read a sampler as one
    // kind only, another program the same sampler as another kind.
    struct SamplerRead {
        const VarDecl* sampler;
        Dim dim;
        int line, column;
    };
    std::vector<SamplerRead> samplerReads;
    int overloadIndex = 0;              // 0 for the first function of its name
    const FuncDecl* definition = nullptr;  // for a prototype, the body's declaration
    std::vector<StageUse> stageUses;  // in the body itself, in source order
    // A gradient follows a return that some pixels take and others do not: a pixel that
    // returns keeps running the rest with its result frozen (set by the flow check).
    bool frozenReturns = false;
};

struct PassDecl {
    std::string_view name;
    int line = 0, column = 0;
    std::vector<AnnotationDecl> annotations;
    std::vector<StateAssign> states;
};

struct TechniqueDecl {
    std::string_view name;
    int line = 0, column = 0;
    std::vector<AnnotationDecl> annotations;
    std::vector<PassDecl*> passes;
};

// The parsed effect.
struct Module {
    std::vector<StructDecl*> structs;
    std::vector<VarDecl*> globals;
    std::vector<FuncDecl*> functions;
    std::vector<TechniqueDecl*> techniques;
    int endLine = 1, endColumn = 1;  // where the source ends (for "no technique")

    template <typename T>
    T* make() {
        if constexpr (std::is_same_v<T, Expr>) return &exprs_.emplace_back();
        if constexpr (std::is_same_v<T, Stmt>) return &stmts_.emplace_back();
        if constexpr (std::is_same_v<T, VarDecl>) return &vars_.emplace_back();
        if constexpr (std::is_same_v<T, StructDecl>) return &structsArena_.emplace_back();
        if constexpr (std::is_same_v<T, FuncDecl>) return &funcs_.emplace_back();
        if constexpr (std::is_same_v<T, PassDecl>) return &passes_.emplace_back();
        if constexpr (std::is_same_v<T, TechniqueDecl>) return &techs_.emplace_back();
    }

private:
    std::deque<Expr> exprs_;
    std::deque<Stmt> stmts_;
    std::deque<VarDecl> vars_;
    std::deque<StructDecl> structsArena_;
    std::deque<FuncDecl> funcs_;
    std::deque<PassDecl> passes_;
    std::deque<TechniqueDecl> techs_;
    std::deque<std::string> names_;

public:
    // Keeps a name the compiler makes up (anonymous structs) for as long as the module lives.
    std::string_view keep(std::string name) { return names_.emplace_back(std::move(name)); }
};

}  // namespace platform::gfx::fx
