// platform/gfx/fx/fx.h: the effect compiler: Direct3D 9 effect source in, GLSL 3.30 out.
//
// Compile() takes unmodified effect source as programs of the Direct3D 9 era wrote it (a
// preprocessor, global parameters with initial values, semantics and annotations, textures
// and samplers with sampler_state blocks, structs, functions, techniques and passes with
// "compile vs_X f()" / "compile ps_X g()" and render states) and returns:
//   - diagnostics, as "(line,column): error: message" lines in source order (warnings alike);
//   - reflection: every parameter's name, type, size, initial value and annotations;
//   - for each pass of each technique a GLSL 3.30 core vertex and fragment shader, the
//     parameters each pass reads and the render states it sets.
// It has no GL dependency; the effect object (effect.h) builds GL programs from the result.
//
// Conventions of the generated GLSL (Direct3D's meaning is kept):
//   - Clip space: the vertex stage writes Direct3D clip coordinates; the generated code turns
//     them into GL's by gl_Position = (x, -y, 2z - w, w). Rendering into a framebuffer whose
//     row 0 is the picture's top row therefore gives Direct3D's picture orientation, and
//     texture coordinates pass unchanged (texture (0,0) is the top-left texel when textures
//     store their top row first). Screen-space winding is mirrored by the flip, so Direct3D's
//     clockwise front faces are GL's counter-clockwise ones.
//   - Matrices: a parameter of HLSL type floatRxC is a GLSL matRxC holding the transpose, so
//     the row-major bytes SetValue receives upload with glUniformMatrix*fv(transpose = false);
//     mul(v, M) becomes M * v in GLSL and mul(M, v) becomes v * M.
//   - Names: every name of the source gets the prefix "h" in GLSL ("time" -> "htime"); the
//     compiler's own names start with "fx_". ParameterInfo::glslName is the uniform's name.
//   - Vertex inputs: attribute locations come from the semantic (SemanticLocation()).
//   - Samplers: one GLSL sampler uniform per effect sampler; a pass binds its samplers to
//     texture units 0, 1, ... in the order of PassInfo::samplers.
//   - Evaluation: as in HLSL, every operand of &&, || and ?: is evaluated (operands with side
//     effects go through generated functions, since GLSL's operators skip them); integer / and
//     % truncate toward zero for every sign (Direct3D 9 defines % only for operands of one
//     sign; a zero divisor stays undefined).
//
// What it leaves out (each refused with a diagnostic, never miscompiled): #include without an
// include handler (CompileOptions::include), struct-typed effect parameters (static struct globals are fine), casts of
// non-constant values to structs, compound assignments whose target has side effects, '%' on
// matrices, comparisons of matrices, recursion, noise() in a shader stage (texture-fill
// functions may call it) and the Direct3D 10 syntax. Matrices of int or bool are held as float
// matrices.
//
// Direct3D 9's rules that later compilers dropped are kept: a for-loop variable belongs to the
// enclosing block; mul() and dot() truncate the larger operand with a warning; an untyped
// "sampler" takes its kind from the lookups that use it; a shader may assign to a parameter
// (the change lasts for that invocation) and to a constructor of l-values ("float4(a, b) = v");
// an array with a semantic takes consecutive semantic indices.
//
// Limits: sources over CompileOptions::maxSourceBytes, nesting deeper than maxNesting and
// macro expansions past a fixed token budget are refused, so hostile input costs bounded time
// and stack.
//
// Threads: Compile() is a pure function of its arguments; call it from any thread.
//
// Where things live (one phase or concern a file; compile.cpp runs them in this order):
//   diag.h            every diagnostic, one row each (id, severity, message)
//   lexer.*           tokens and their positions
//   preprocessor.*    #define, #if and friends, macro expansion
//   parser*, ast.*    recursive descent to the syntax tree (parser_internal.h: the top level,
//                     declarations, the effect-level grammar, statements, expressions); the
//                     tree and its types
//   check.h           the checker's interface: entry-point plans and reflection for the emitter
//   checker.h         the checker's class, its members grouped by the file that defines them:
//     check.cpp           the order of the checker's phases, diagnostics
//     check_types.cpp     conversion costs, common types, inserted conversions
//     check_scope.cpp     globals, overload sets and prototypes, local scopes, lookup
//     check_decl.cpp      global declarations, initial values and brace lists, annotations
//     check_expr.cpp      expression typing: operators, l-values, swizzles, calls
//     intrinsics.cpp      one row per intrinsic: argument shape, counts, GLSL spelling, folding
//     check_intrinsic.cpp the signatures the rows cannot say (texture lookups, mul, refract)
//     check_stmt.cpp      statements, function bodies, the call graph
//     check_const.cpp     constant evaluation (initial values, state values, annotations)
//     check_state.cpp     render and sampler states, their value names and values
//     check_entry.cpp     "compile" entry points, argument binding, the stage boundary
//     check_pass.cpp      techniques and passes
//     check_reflect.cpp   the parameter table
//   emit_glsl.*, glsl_*  GLSL 3.30 from the checked tree (glsl_emitter.h: reachability,
//                     expressions, intrinsics, statements, stages, names and helpers)
//   compile.cpp       Compile(): the phases in turn, internal failures as diagnostics
//   effect.h, gl/     the effect object over the GL backend
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/gfx/fx/diag.h"

namespace platform::gfx::fx {

// Direct3D's D3DXPARAMETER_CLASS and D3DXPARAMETER_TYPE, reduced to what effects here use.
enum class ParamClass { Scalar, Vector, MatrixRows, Object, Struct };
enum class ParamType {
    Void, Bool, Int, Float, String, Texture, Texture1D, Texture2D, Texture3D, TextureCube,
    Sampler, Sampler1D, Sampler2D, Sampler3D, SamplerCube, VertexShader, PixelShader,
};

// One "< type name = value; >" entry. "value" is the text of a string value, or the numbers
// of a numeric one printed with %g and separated by blanks; "numbers" holds numeric values.
struct AnnotationInfo {
    std::string name;
    std::string type;
    std::string value;
    std::vector<float> numbers;
};

// A (Direct3D state code, value) pair: D3DSAMP_* for samplers, D3DRS_* for render states.
struct StateValue {
    std::uint32_t state = 0;
    std::uint32_t value = 0;
};

// A state value an effect computes when a pass begins (or, for a sampler parameter, when the
// pass binds the sampler) from parameters' current values: "CullMode = gCull;",
// "MaxAnisotropy = gCaps * gScale;". Each program is the postfix form of a constant
// expression, the one form in which the compiler evaluates every constant (array sizes,
// initial values, static constants, state values): its steps work on values of one or more
// components (row-major, array elements in order), each step computing in the mode of its
// operands' type ("mode": 0 float, 1 int, 2 uint, 3 bool) with the same operators,
// conversions and intrinsic folds as the compiler's constant folding. A colour state has four
// programs (red, green, blue, alpha, each 0-1); other states have one, whose one-component
// result is stored as the state's float bits ("asFloat") or truncated to an integer.
struct StateOp {
    enum Kind : unsigned char {
        Constant,   // pushes "values"
        Parameter,  // pushes the "count" components of parameter "index"
        Unary,      // operator "op" (a token) on the top value, component by component
        Binary,     // operator "op" on the two top values; a one-component side serves all
        Convert,    // converts the top value's components to "mode"
        Gather,     // the top value's components "picks" (empty: its first "count")
        Concat,     // joins the "count" top values, the deepest first
        Splat,      // the top value's one component repeated "count" times
        Index,      // the top value picks element i of "count" components of the one below
                    // (0: the one below is kept, as an index of a one-component value)
        Select,     // condition ? then : else, component by component (else on top)
        Intrinsic,  // intrinsic row "index" of "count" arguments (the last on top)
        Comma,      // drops the value below the top
    } kind = Constant;
    unsigned char mode = 0;
    int op = 0;
    int index = -1;
    int count = 0;
    std::vector<int> picks;
    std::vector<double> values;

    static StateOp Number(double v) {
        StateOp o;
        o.values.push_back(v);
        o.count = 1;
        return o;
    }
};

struct StateExpression {
    bool sampler = false;   // a D3DSAMP_* state (else a D3DRS_* state)
    int unit = -1;          // pass-level sampler states: the sampler register; -1 otherwise
    std::uint32_t state = 0;
    bool asFloat = false;
    std::vector<std::vector<StateOp>> programs;  // 1, or 4 for a colour
};

struct ParameterInfo {
    std::string name;
    std::string semantic;   // as written, empty when none
    std::string typeName;   // HLSL spelling: "float2", "float4x4", "texture", "sampler2D"
    std::string glslName;   // the GLSL uniform; empty for textures (they have no uniform)
    ParamClass paramClass = ParamClass::Scalar;
    ParamType type = ParamType::Float;
    int rows = 1, columns = 1;  // 1 x 1 for scalars, 1 x N for vectors, R x C for matrices
    int elements = 0;           // array length, 0 when not an array
    int sizeBytes = 0;          // bytes SetValue accepts: rows * columns * 4 * max(1, elements)
                                // (structs: their members' bytes one after another)
    bool isShared = false;
    // Matrices: their constant registers hold rows (declared row_major, or after #pragma
    // pack_matrix(row_major)) rather than columns.
    bool rowMajor = false;
    // Struct parameters: the struct itself is reflected (class Struct), then each numeric
    // member below it as a parameter of its own, named "light.dir" or "lights[1].dir", with
    // "parent" the index of the struct parameter and "offsetBytes" where the member's bytes
    // start inside the struct's value. -1 and 0 for parameters that are not members.
    int parent = -1;
    int offsetBytes = 0;
    // Numeric parameters: the initial value, row-major, array elements after each other; every
    // component is stored as a float (ints and bools as their value). Empty when none.
    std::vector<float> initialValue;
    std::vector<AnnotationInfo> annotations;
    // Samplers: the texture parameter its sampler_state names (-1: none) and the states it
    // sets (only those written; the device's state applies to the others).
    int texture = -1;
    std::vector<StateValue> samplerStates;
    std::vector<StateExpression> samplerExpressions;  // states computed from parameters
};

// One vertex attribute a pass's vertex shader reads.
struct VertexInput {
    std::string semantic;  // normalised: "POSITION0", "TEXCOORD1"
    int location = 0;      // GLSL attribute location (SemanticLocation)
    int components = 4;
};

// A value computed when a pass begins from parameters' current values: a stack program of
// constants, scalar parameters (their first component), elements of array parameters (the
// element index is popped, truncated), + - * / and truncation toward zero (after an integer
// division). The result is truncated toward zero to an int.
struct IndexOp {
    enum Kind { Constant, Parameter, Element, Add, Subtract, Multiply, Divide, Truncate } kind = Constant;
    int parameter = -1;
    int value = 0;  // Constant
};

// A stage a pass takes from a shader array: "index" picks one of "count" shaders when the pass
// begins. An index outside 0..count-1 makes the pass draw nothing.
struct ShaderSelector {
    bool vertex = true;
    int count = 0;
    std::vector<IndexOp> index;
};

// A fixed-function state that names a parameter: WorldTransform[0] / ViewTransform /
// ProjectionTransform (state: D3DTS_* code, parameter: a matrix) and Texture[n] (state: the
// stage n, parameter: a texture).
struct ParameterState {
    std::uint32_t state = 0;
    int parameter = -1;
    // A transform set from a constant (a static const matrix): its 16 values, row by row,
    // used where "parameter" is -1.
    std::vector<float> matrix;
};

// A sampler state a pass sets for a sampler register ("AddressU[1] = CLAMP;", or the states of
// "Sampler[1] = <s>"): register n is the pass's n-th sampler (texture unit n), or texture
// stage n where the pass has no pixel shader.
struct SamplerStageState {
    std::uint32_t unit = 0;
    std::uint32_t state = 0;
    std::uint32_t value = 0;
};

// One texture stage of Direct3D's fixed-function pixel processing (D3DTSS_* values, with
// Direct3D's defaults): what a pass without a pixel shader computes, stage after stage, up to
// the first stage whose colour operation is DISABLE.
struct TextureStage {
    std::uint32_t colorOp = 1, colorArg0 = 1, colorArg1 = 2, colorArg2 = 1;  // DISABLE; CURRENT, TEXTURE, CURRENT
    std::uint32_t alphaOp = 1, alphaArg0 = 1, alphaArg1 = 2, alphaArg2 = 1;
    std::uint32_t resultArg = 1;      // CURRENT or TEMP
    std::uint32_t texCoordIndex = 0;  // the coordinate set the stage samples with
    std::uint32_t constant = 0;       // D3DTSS_CONSTANT, a D3DCOLOR
};

// Direct3D's fixed-function vertex processing as a pass without a vertex shader sets it up
// (the render and texture-stage states it sets as constants, Direct3D's defaults elsewhere).
// Which lights shine, the colour sources, the fog modes and the coordinate generators shape the
// generated program; the values it computes with are uniforms (see PassInfo::fixedValues and
// the graphics layer's fixed-function uniforms).
struct FixedVertexStage {
    bool lighting = false, specular = false, normalizeNormals = false;
    bool localViewer = true, colorVertex = true;
    // D3DMCS_*: MATERIAL 0, COLOR1 (the vertex's diffuse colour) 1, COLOR2 (its specular) 2.
    std::uint32_t diffuseSource = 1, specularSource = 2, ambientSource = 0, emissiveSource = 0;
    std::uint32_t lightTypes[8] = {};  // D3DLIGHT_* of each enabled light; 0: not enabled
    bool fog = false, rangeFog = false;
    std::uint32_t fogVertexMode = 0, fogTableMode = 0;  // D3DFOG_*
    std::uint32_t texCoordIndex[8] = {0, 1, 2, 3, 4, 5, 6, 7};  // D3DTSS_TCI_* | coordinate set
    std::uint32_t transformFlags[8] = {};                        // D3DTTFF_*
    bool pointSize = false;    // the pass sets a point state: the program writes gl_PointSize
    bool pointScale = false, pointSprite = false;
    bool alphaTest = false;    // alpha testing may be on: every fragment stage tests
    bool srgbWrite = false;    // SRGBWriteEnable: the colours a pass writes are sRGB-encoded
    bool flatShade = false;    // ShadeMode FLAT: colours are each triangle's first vertex's
};

// A light or material member a pass sets ("LightDiffuse[1] = <c>;"): the generated vertex
// stage reads it as uniform "uniform", computed from the programs when the pass begins (one
// program for a vec4 gives its red, green and blue, with an alpha of 1).
struct FixedValue {
    std::string uniform;
    int components = 4;  // 4: a vec4 (colours, position, direction); 1: a float
    std::vector<std::vector<StateOp>> programs;
};

// A shader-constant state of a pass with an assembly shader: registers first..first+count-1 of
// the stage's constant file (fx_vc / fx_pc) take parameter "parameter" (a matrix's columns, as
// the registers of a column-major matrix hold it; a vector or array element by element) or the
// literal "values", when the pass begins.
struct ShaderConstant {
    bool vertex = true;
    int first = 0, count = 0;
    int parameter = -1;
    std::vector<float> values;
};

struct PassInfo {
    std::string name;
    std::vector<AnnotationInfo> annotations;
    std::string vertexProfile, pixelProfile;  // "vs_3_0", "ps_2_0"; empty when generated
    std::string vertexGlsl, fragmentGlsl;
    std::vector<int> uniforms;  // numeric parameters the pass reads (indices into parameters)
    std::vector<int> samplers;  // sampler parameters; the i-th is bound to texture unit i
    std::vector<VertexInput> inputs;
    std::vector<StateValue> renderStates;  // D3DRS_* values the pass sets, in source order
    // Stages without a shader run Direct3D's fixed function (the graphics layer's own program
    // when both do). A generated fixed-function vertex stage reads the uniform mat4 fx_ff_wvp
    // (world * view * projection of the device, transposed as parameters are); a generated
    // pixel stage runs the texture stages ("stages" below).
    bool fixedVertex = false, fixedPixel = false;
    std::vector<ParameterState> transforms;  // applied to the device when the pass begins
    std::vector<ParameterState> textures;
    std::vector<SamplerStageState> samplerStates;     // after the samplers' own states
    std::vector<StateExpression> stateExpressions;    // after renderStates and samplerStates
    int fvf = -1;                                     // the FVF state's value; -1 when unset
    // Without a pixel shader: the texture stages the generated pixel stage computes (stage 0
    // modulates texture and diffuse colour when the pass sets none), and whether a pass without
    // shaders must draw with the generated programs rather than the device's own fixed
    // function: it sets a texture-stage state, or asks for lighting, fog, specular, point
    // size, texture-coordinate generation or transforms, or light and material values.
    // The generated stage reads the texture of stage n on unit n ("fx_ff_stage<n>"), the int
    // mask fx_ff_textured (bit n: stage n has a texture) and vec4 fx_ff_tfactor (TextureFactor).
    std::vector<TextureStage> stages;
    bool stagesSet = false;
    FixedVertexStage fixedStage;
    std::vector<FixedValue> fixedValues;
    // Texture units that sample the device's stage textures (bit n: unit n reads the texture of
    // stage n): the generated pixel stage's, and assembly shaders' sampler registers.
    std::uint32_t deviceSamplers = 0;
    // The vertex shader writes a PSIZE output: the program sets gl_PointSize, so the graphics
    // layer lets programs size points while the pass draws.
    bool shaderPointSize = false;
    // The user clip planes whose distances the vertex program writes (bit n: gl_ClipDistance[n],
    // from uniform vec4 fx_clip<n>, set by ClipPlane[n]); the graphics layer turns on those of
    // them the device's ClipPlaneEnable names. A generated vertex stage measures them in world
    // space (it reads uniform mat4 fx_ff_world, transposed as parameters are), a shader's in
    // clip space. OpenGL ES has no clip distances: there the mask stays 0.
    std::uint32_t clipPlanes = 0;
    std::vector<ShaderConstant> constants;  // assembly stages' constant registers
    // Shader arrays: when not empty, the pass's stages come from "variants" (one per
    // combination of choices, the first selector's choice varying slowest); the fields above
    // then hold variants[0]'s.
    std::vector<ShaderSelector> selectors;
    std::vector<PassInfo> variants;
};

struct TechniqueInfo {
    std::string name;
    std::vector<AnnotationInfo> annotations;
    std::vector<PassInfo> passes;
};

struct CompileResult {
    bool ok = false;  // no errors (warnings allowed)
    std::vector<Diagnostic> diagnostics;
    std::vector<ParameterInfo> parameters;
    std::vector<TechniqueInfo> techniques;

    // Every diagnostic as "(line,column): error: message\n" lines.
    std::string Messages() const { return FormatDiagnostics(diagnostics); }
    // Index of the parameter or technique named "name", or -1.
    int FindParameter(std::string_view name) const;
    int FindTechnique(std::string_view name) const;
};

// An "#include" to resolve: the name as written, whether it was written <name> (then only
// the include directories are searched, as the command-line compilers do), and the path of the
// file that holds the directive (CompileOptions::sourceName for the main source).
struct IncludeRequest {
    std::string name;
    bool angled = false;
    std::string includer;
};

// What an include handler found: the path diagnostics name, and the file's text.
struct IncludedFile {
    std::string path;
    std::string text;
};

// Resolves an #include; false when the file cannot be found or read.
using IncludeHandler = std::function<bool(const IncludeRequest&, IncludedFile&)>;

// The GLSL the compiler writes: 3.30 core for desktop OpenGL, or ES 3.00 for OpenGL ES 3.0 and
// WebGL 2 (version line and default precisions; the COLOR0 attribute read in the byte order the
// graphics layer gives it there; passes whose fill mode ES cannot draw get a warning).
enum class GlslTarget { Core330, Es300 };

struct CompileOptions {
    int maxNesting = 200;       // statements and expressions nested deeper are refused
    int maxErrors = 50;         // the parser stops after this many errors
    std::size_t maxSourceBytes = 4u << 20;  // the main source, and included files together
    int maxIncludeDepth = 16;   // files open at once through #include
    // Resolves #include; without one, #include is refused with a diagnostic.
    IncludeHandler include;
    // The main source's path, handed to the include handler as the includer.
    std::string sourceName;
    // Macros defined before the source's first line, as (name, value) pairs: what the
    // command-line compilers' -D NAME=VALUE does (-D NAME defines it as 1).
    std::vector<std::pair<std::string, std::string>> defines;
    GlslTarget glsl = GlslTarget::Core330;
};

// Runs a state value's program (StateExpression); "parameter(index, component)" gives a
// parameter's current value. False for a malformed program.
bool RunStateProgram(const std::vector<StateOp>& ops,
                     const std::function<double(int, int)>& parameter, double& out);

// A pass's generated GLSL (either stage's text) as it draws when the device rather than the
// pass asks for flat colours (ShadeMode FLAT: the colour varyings are not interpolated), and
// its fragment text when the device asks for point sprites (PointSpriteEnable: every texture
// coordinate the pixel stage reads runs from 0 to 1 across the point), exactly as the pass
// compiled with those states would draw.
std::string WithFlatColours(const std::string& glsl);
std::string WithSpriteCoordinates(const std::string& fragmentGlsl);

// One row of the effect-state table (platform/gfx/states.h), for documentation: the group
// ("render", "sampler", "texture stage", ...), the name, the highest index (-1: none), the
// value names it accepts, and what happens to it ("applied in GL", "stored", "fixed-function
// vertex stage", "fixed-function pixel stage", "warned: <what is lost>").
struct StateDescription {
    std::string group;
    std::string name;
    int highestIndex = -1;
    std::string values;
    std::string fate;
};
std::vector<StateDescription> DescribeStates();

// Compiles effect "source". Never throws; errors are reported in the result.
CompileResult Compile(std::string_view source, const CompileOptions& options = {});

// The GLSL attribute location of a vertex input semantic ("POSITION", "TEXCOORD3",
// "normal0"), or -1 for semantics that have none. The graphics layer's fixed locations:
// POSITION 0, NORMAL 1, COLOR0 2, TEXCOORD0 3; then COLOR1 4, TEXCOORD1..7 5..11,
// BLENDWEIGHT 12, BLENDINDICES 13, TANGENT 14, BINORMAL 15.
int SemanticLocation(std::string_view semantic);

}  // namespace platform::gfx::fx
