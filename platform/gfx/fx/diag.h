// platform/gfx/fx/diag.h: every diagnostic the effect compiler can report, one X-macro row each.
//
// A row is (id, severity, printf format). Tests compare ids, never wording; the formatted text
// is what a user sees after "(line,column): error: ".
#pragma once

#include <string>
#include <vector>

namespace platform::gfx::fx {

// ORDER: ids are grepped by tests; keep one row per distinct failure.
#define FX_DIAGNOSTICS(X)                                                                        \
    /* lexer */                                                                                  \
    X(BadCharacter, Error, "unexpected character '%s'")                                          \
    X(UnterminatedComment, Error, "unterminated comment")                                        \
    X(UnterminatedString, Error, "unterminated string")                                          \
    X(BadNumber, Error, "malformed number '%s'")                                                 \
    /* preprocessor */                                                                           \
    X(IncludeRefused, Error, "#include is not supported: no include handler")                    \
    X(IncludeNotFound, Error, "cannot open include file '%s'")                                   \
    X(IncludeTooDeep, Error, "#include: more than %s nested includes (is a file including itself?)") \
    X(UserError, Error, "#error%s")                                                              \
    X(UnknownPragma, Warning, "unknown pragma ignored: %s")                                       \
    X(UnknownDirective, Error, "unknown preprocessor directive '%s'")                            \
    X(BadDirective, Error, "malformed #%s directive")                                            \
    X(UnbalancedConditional, Error, "%s")                                                        \
    X(MacroArguments, Error, "macro '%s' %s")                                                    \
    X(ExpansionLimit, Error, "macro expansion of '%s' is too large or too deep")                 \
    X(BadConditionExpression, Error, "invalid expression in #if: %s")                            \
    X(MacroRedefined, Warning, "macro '%s' redefined")                                           \
    /* parser */                                                                                 \
    X(UnexpectedToken, Error, "syntax error: unexpected %s")                                     \
    X(Expected, Error, "syntax error: expected %s before %s")                                    \
    X(MissingClose, Error, "missing '%s' for the '%s' opened at %s")                        \
    X(NestingTooDeep, Error, "nesting too deep (more than %s levels)")                           \
    X(BadArraySize, Error, "array size must be a positive integer constant (at most %s)")        \
    X(UnknownType, Error, "unknown type '%s'")                                                   \
    X(ReservedName, Error, "'%s' is a reserved word and cannot be a name")                       \
    X(BadModifier, Error, "%s ('%s')")                                                           \
    X(MissingDefault, Error, "'%s': parameters after one with a default value need one too")   \
    X(BadAttribute, Error, "attribute '%s' %s")                                                  \
    X(TooManyErrors, Error, "too many errors, compilation stopped")                              \
    X(InternalError, Error, "internal compiler error: %s")                                       \
    /* checker: names and declarations */                                                        \
    X(UndeclaredName, Error, "undeclared identifier '%s'")                                       \
    X(Redefinition, Error, "redefinition of '%s'")                                               \
    X(BadRegister, Error, "register '%s' %s")                                                    \
    X(UnknownFunction, Error, "'%s': no matching function%s")                                    \
    X(AmbiguousCall, Error, "'%s': ambiguous call to overloaded function")                       \
    X(RecursiveCall, Error, "'%s': recursive calls are not allowed")                             \
    X(NotAFunction, Error, "'%s' is not a function")                                             \
    X(MissingReturn, Error, "'%s': not all control paths return a value")                        \
    X(VoidVariable, Error, "'%s': variables cannot have type void")                              \
    X(UnsupportedFeature, Error, "%s is not supported")                                          \
    /* checker: types */                                                                         \
    X(TypeMismatch, Error, "cannot convert from '%s' to '%s'")                                   \
    X(BadOperands, Error, "operator '%s' cannot be applied to '%s'%s")                           \
    X(NotAssignable, Error, "l-value required: %s")                                              \
    X(BadSwizzle, Error, "invalid subscript '%s' on '%s'")                                       \
    X(NoMember, Error, "'%s' has no member '%s'")                                                \
    X(NotIndexable, Error, "'%s' cannot be indexed")                                             \
    X(IndexOutOfRange, Error, "index %s is out of range (the size is %s)")                       \
    X(DivisionByZero, Error, "integer division by zero")                                         \
    X(ConstructorArguments, Error, "'%s' constructor needs %s components, got %s")               \
    X(BadInitializer, Error, "initializer of '%s': %s")                                          \
    X(NotConstant, Error, "initial value of '%s' is not a constant expression")                  \
    X(BadReturn, Error, "return: %s")                                                            \
    X(BadStatement, Error, "'%s' %s")                                                            \
    X(ImplicitTruncation, Warning, "implicit truncation of vector type")                         \
    X(LoopVariableRedeclared, Warning, "'%s': loop control variable conflicts with a previous declaration in the outer scope; most recent declaration will be used") \
    X(SamplerRequired, Error, "'%s': argument 1 must be a sampler")                              \
    X(NotInProfile, Error, "%s is not available in %s: %s")                                    \
    X(GradientInVaryingFlow, Error, "%s: a gradient operation inside %s varies per pixel (line %s); move it out, or give the level or the gradients (tex*lod, tex*grad)") \
    X(BranchFlattened, Warning, "[branch]: %s has no dynamic branching; the if (line %s) is flattened, both sides running, so that its gradient stays defined") \
    X(FlowTooLong, Error, "'%s': the flow control is too deeply nested or too long to place its gradients (more than %s steps of analysis)") \
    X(TextureFillOnly, Error, "%s() is only available to texture fill functions, and entry point '%s' reaches it") \
    X(SamplerKindConflict, Error, "sampler '%s' is used as %s and as %s")                        \
    /* checker: effect level */                                                                  \
    X(BadSamplerState, Error, "sampler_state: %s")                                               \
    X(UnknownState, Error, "unknown state '%s'")                                                 \
    X(IgnoredState, Warning, "state '%s' is ignored: a shader replaces its fixed-function stage")\
    X(BadStateValue, Error, "invalid value for state '%s'%s")                                    \
    X(LostState, Warning, "state '%s': %s cannot be drawn here and is lost")                   \
    X(StateIndexRange, Error, "state '%s': index %s is outside 0..%s")                          \
    X(BadProfile, Error, "'%s': %s")                                                             \
    X(BadEntryPoint, Error, "entry point '%s': %s")                                              \
    X(BadSemantic, Error, "%s semantic '%s' is not valid in %s")                              \
    X(MissingSemantic, Error, "entry point '%s': '%s' has no semantic")                          \
    X(UnmatchedSemantic, Warning, "pixel shader input '%s' is not written by the vertex shader; it reads as 0") \
    X(NoTechnique, Error, "the effect declares no technique")                                    \
    X(DuplicateTechnique, Error, "redefinition of technique '%s'")                              \
    X(Direct3D10Technique, Error, "'%s' is Direct3D 10 syntax, which a Direct3D 9 effect cannot hold") \
    X(AsmError, Error, "shader assembly: %s")                                                  \
    X(BadShaderValue, Error, "expected a compiled %s shader, a shader variable of that stage or NULL") \
    X(BadShaderIndex, Error, "a shader array index must be built from constants, scalar parameters and + - *") \
    X(ShaderIndexRange, Error, "index %s is outside shader array '%s' of %s elements")          \
    X(FixedFunction, Error, "pass '%s': %s is beyond the generated fixed-function stage; give the pass a %s shader") \
    X(LastVertexFlat, Warning, "pass '%s': ShadeMode FLAT colours each triangle with its last vertex on OpenGL ES, which has no first-vertex convention") \
    X(SolidFillOnly, Warning, "pass '%s': FillMode %s is drawn solid on OpenGL ES, which has no point or wireframe fill")

enum class Diag {
#define FX_DIAG_ID(id, severity, format) id,
    FX_DIAGNOSTICS(FX_DIAG_ID)
#undef FX_DIAG_ID
};

enum class Severity { Error, Warning };

// One message: where (line and column of the first character, both 1-based, in "file": empty
// for the main source, else an included file's path), which failure, and its text without the
// position prefix.
struct Diagnostic {
    Diag id = Diag::BadCharacter;
    Severity severity = Severity::Error;
    int line = 0;
    int column = 0;
    std::string message;
    std::string file;
};

// Inside the compiler a line number also names its source file: the main source is file 0 and
// each included file gets the next index, kept in the bits above kLineBits (so one int orders
// and compares positions, as before includes existed). Compile() splits them again.
inline constexpr int kLineBits = 22;
inline constexpr int kMaxSourceFiles = 256;
constexpr int SourceLine(int file, int line) { return file << kLineBits | line; }
constexpr int FileOfLine(int line) { return line >> kLineBits; }
constexpr int LineInFile(int line) { return line & ((1 << kLineBits) - 1); }

// The id's name as spelled in the X-macro ("UndeclaredName"), for test output.
const char* DiagName(Diag id);

// The id's severity.
Severity DiagSeverity(Diag id);

// Builds a diagnostic from the id's format and up to three text arguments (unused ones are
// ignored).
Diagnostic MakeDiagnostic(Diag id, int line, int column, const std::string& a = {},
                          const std::string& b = {}, const std::string& c = {});

// "(line,column): error: message" or "...: warning: ..." lines, one per diagnostic, each ending
// with a line feed; "file(line,column): ..." for diagnostics in included files.
std::string FormatDiagnostics(const std::vector<Diagnostic>& diagnostics);

}  // namespace platform::gfx::fx
