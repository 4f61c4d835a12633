// platform/gfx/fx/semantics.cpp: one row per Direct3D 9 semantic: where it may stand (stage,
// direction, shader model, how many indices) and the vertex attribute location it reads from.
// The checker refuses a semantic outside its row; the emitter takes attribute locations here.
#include <cctype>
#include <cstdint>
#include <string>
#include <utility>

#include "platform/gfx/fx/check.h"

namespace platform::gfx::fx {
namespace {

// How many indices ("TEXCOORD0".."TEXCOORD7": 8) each place takes; 0: the semantic cannot
// stand there. Shader models 1 and 2 name their registers, so only the rows' names leave a
// vertex shader there (POSITION, COLOR0-1, TEXCOORD0-7, FOG, PSIZE) and only COLOR0-1 and
// TEXCOORD0-7 reach a pixel shader; model 3 declares any of them. An input a pixel shader
// never reads is dropped before its semantic is looked at (the checker skips it), so
// structs shared with the vertex stage carry any semantic. VPOS and VFACE exist in model 3
// only.
struct SemanticRow {
    const char* name;
    int location, locations;  // the attribute location of index 0, and how many indices have one
    std::uint8_t vsIn, vsOut2, vsOut3, psIn2, psIn3, psOut;
};

constexpr int kAny = 16;  // no stage has more registers of one kind than that

// The graphics layer's fixed attribute locations come first: position 0, normal 1, colour 2,
// texture coordinate 0 at 3 (COLOR1 is 4 and TEXCOORD1..7 are 5..11, see SemanticLocation).
constexpr SemanticRow kSemantics[] = {
    {"POSITION", 0, 1, kAny, 1, kAny, 0, kAny, 0},
    {"NORMAL", 1, 1, kAny, 0, kAny, 0, kAny, 0},
    {"COLOR", 2, 1, kAny, 2, kAny, 2, kAny, 4},
    {"TEXCOORD", 3, 1, kAny, 8, kAny, 8, kAny, 0},
    {"BLENDWEIGHT", 12, 1, kAny, 0, kAny, 0, kAny, 0},
    {"BLENDINDICES", 13, 1, kAny, 0, kAny, 0, kAny, 0},
    {"TANGENT", 14, 1, kAny, 0, kAny, 0, kAny, 0},
    {"BINORMAL", 15, 1, kAny, 0, kAny, 0, kAny, 0},
    {"PSIZE", -1, 0, kAny, 1, 1, 0, kAny, 0},
    {"FOG", -1, 0, kAny, 1, 1, 0, kAny, 0},
    {"TESSFACTOR", -1, 0, kAny, 0, kAny, 0, kAny, 0},
    {"POSITIONT", -1, 0, 1, 0, 0, 0, 0, 0},
    {"DEPTH", -1, 0, kAny, 0, kAny, 0, kAny, 1},
    {"SAMPLE", -1, 0, kAny, 0, kAny, 0, kAny, 0},
    {"VPOS", -1, 0, 0, 0, 0, 0, 1, 0},
    {"VFACE", -1, 0, 0, 0, 0, 0, 1, 0},
};

// A name of none of the rows: a vertex input or a model-3 vertex output reads as nothing
// (it has no attribute), a model-3 pixel input as 0; it cannot leave a pixel shader.
constexpr SemanticRow kOther = {"", -1, 0, kAny, 0, kAny, 0, kAny, 0};

// "TEXCOORD3" -> the row of TEXCOORD and 3.
const SemanticRow& RowOf(const std::string& normalised, int& index) {
    std::size_t digits = normalised.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(normalised[digits - 1]))) --digits;
    const std::string name = normalised.substr(0, digits);
    const std::string number = normalised.substr(digits);
    index = number.empty() || number.size() > 3 ? 999 : std::stoi(number);
    for (const SemanticRow& r : kSemantics)
        if (name == r.name) return r;
    return kOther;
}

}  // namespace

// Semantics compare upper-case with an index: "texcoord" is TEXCOORD0; the Direct3D 10
// spellings SV_PositionN, SV_TargetN and SV_DepthN map to POSITIONN, COLORN and DEPTHN. The
// suffix "_centroid" ("TEXCOORD0_centroid") asks for centroid sampling of the same register.
std::string NormalizeSemantic(std::string_view semantic) {
    std::string s;
    for (char c : semantic) s += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    constexpr std::string_view kCentroid = "_CENTROID";
    if (s.size() > kCentroid.size() && std::string_view(s).substr(s.size() - kCentroid.size()) == kCentroid)
        s.resize(s.size() - kCentroid.size());
    // Each takes its index as the other semantics do: SV_Position0 is POSITION0.
    for (const auto& [from, to] : {std::pair<const char*, const char*>{"SV_POSITION", "POSITION"},
                                   {"SV_TARGET", "COLOR"}, {"SV_DEPTH", "DEPTH"}}) {
        const std::string_view f = from;
        if (s.rfind(f, 0) == 0 && s.find_first_not_of("0123456789", f.size()) == std::string::npos) {
            s = to + s.substr(f.size());
            break;
        }
    }
    std::size_t digits = s.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1]))) --digits;
    if (digits == s.size()) s += '0';
    return s;
}

bool SemanticAllowed(std::string_view semantic, bool vertex, bool output, std::string_view profile) {
    int index = 0;
    const SemanticRow& r = RowOf(NormalizeSemantic(semantic), index);
    const bool model3 = profile.size() > 3 && profile[3] == '3';
    int count;
    if (vertex) count = output ? (model3 ? r.vsOut3 : r.vsOut2) : r.vsIn;
    else count = output ? r.psOut : (model3 ? r.psIn3 : r.psIn2);
    return index < count;
}

// Model 3 declares its stage registers: 16 vertex inputs, 12 vertex outputs (POSITION, PSIZE
// and FOG among them), 10 pixel inputs. Earlier models name theirs, so the rows limit them.
int StageRegisters(bool vertex, bool output, std::string_view profile) {
    const bool model3 = profile.size() > 3 && profile[3] == '3';
    if (vertex) return output ? (model3 ? 12 : kAny) : 16;
    return output || !model3 ? kAny : 10;
}

int SemanticLocation(std::string_view semantic) {
    int index = 0;
    const SemanticRow& r = RowOf(NormalizeSemantic(semantic), index);
    if (r.location == 2 && index == 1) return 4;                   // COLOR1
    if (r.location == 3 && index >= 1 && index <= 7) return 4 + index;  // TEXCOORD1..7
    return index < r.locations ? r.location + index : -1;
}

}  // namespace platform::gfx::fx
