// platform/gfx/fx/check_state.cpp: effect states: the table of every state a pass or
// sampler_state block may set (built from platform/gfx/states.h), their value names, and the
// state assignments of passes and sampler_state blocks (their values are read in
// check_state_value.cpp).
#include "platform/gfx/fx/checker.h"
#include "platform/gfx/fx/const_eval.h"
#include "platform/gfx/states.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <iterator>

namespace platform::gfx::fx {

namespace {

// Whether the value kind's names may be combined with '|'.
bool IsFlagKind(Checker::ValueKind k) {
    using K = Checker::ValueKind;
    return k == K::ColorWrite || k == K::Wrap || k == K::ClipPlanes || k == K::TextureArg ||
           k == K::TexCoordIndex || k == K::TextureTransform || k == K::Fvf;
}
}  // namespace

// The names a state value of kind "k" may use (D3DBLEND, D3DCMP, D3DTADDRESS... without
// their prefix) and their Direct3D values.
const std::vector<Checker::EnumValue>& Checker::Values(ValueKind k) {
#define FX_VALUE(n, v) {#n, v},
    static const std::vector<EnumValue> kBool = {{"TRUE", 1}, {"FALSE", 0}};
    static const std::vector<EnumValue> kZ = {GFX_ZBUFFER_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kFill = {GFX_FILL_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kShade = {GFX_SHADE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kBlend = {GFX_BLEND_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kBlendOp = {GFX_BLENDOP_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kCull = {GFX_CULL_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kCmp = {GFX_CMP_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kStencilOp = {GFX_STENCILOP_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kFogMode = {GFX_FOGMODE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kFilter = {GFX_FILTER_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kAddress = {GFX_ADDRESS_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kColorWrite = {GFX_COLORWRITE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kWrap = {GFX_WRAP_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kMaterial = {GFX_MATERIALSOURCE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kVertexBlend = {GFX_VERTEXBLEND_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kClip = {GFX_CLIPPLANES_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kPatch = {GFX_PATCHEDGE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kDebug = {GFX_DEBUGMONITOR_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kDegree = {GFX_DEGREE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kTextureOp = {GFX_TEXTUREOP_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kTextureArg = {GFX_TEXTUREARG_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kTexCoord = {GFX_TEXCOORDINDEX_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kTransform = {GFX_TEXTURETRANSFORM_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kLight = {GFX_LIGHTTYPE_VALUES(FX_VALUE)};
    static const std::vector<EnumValue> kFvf = {GFX_FVF_VALUES(FX_VALUE)};
#undef FX_VALUE
    static const std::vector<EnumValue> kNone;
    switch (k) {
        case ValueKind::Bool: return kBool;
        case ValueKind::ZBuffer: return kZ;
        case ValueKind::Fill: return kFill;
        case ValueKind::Shade: return kShade;
        case ValueKind::Blend: return kBlend;
        case ValueKind::BlendOp: return kBlendOp;
        case ValueKind::Cull: return kCull;
        case ValueKind::Cmp: return kCmp;
        case ValueKind::StencilOp: return kStencilOp;
        case ValueKind::FogMode: return kFogMode;
        case ValueKind::Filter: return kFilter;
        case ValueKind::Address: return kAddress;
        case ValueKind::ColorWrite: return kColorWrite;
        case ValueKind::Wrap: return kWrap;
        case ValueKind::MaterialSource: return kMaterial;
        case ValueKind::VertexBlend: return kVertexBlend;
        case ValueKind::ClipPlanes: return kClip;
        case ValueKind::PatchEdge: return kPatch;
        case ValueKind::DebugMonitor: return kDebug;
        case ValueKind::Degree: return kDegree;
        case ValueKind::TextureOp: return kTextureOp;
        case ValueKind::TextureArg: return kTextureArg;
        case ValueKind::TexCoordIndex: return kTexCoord;
        case ValueKind::TextureTransform: return kTransform;
        case ValueKind::LightType: return kLight;
        case ValueKind::Fvf: return kFvf;
        default: return kNone;
    }
}

// The value of enum name "name" for a state of kind "kind": the kind's own names (with or
// without the Direct3D prefix: "D3DBLEND_ONE", "ONE"), then TRUE and FALSE, which every
// kind accepts as 1 and 0 (ColorWriteEnable = TRUE is all channels: 15 in the flag list).
bool Checker::enumValue(std::string_view name, ValueKind kind, double& out) {
    for (int pass = 0; pass < 2; ++pass) {
        for (const EnumValue& v : Values(kind))
            if (EqualsNoCase(name, v.name)) {
                out = v.value;
                return true;
            }
        if (kind == ValueKind::ColorWrite && EqualsNoCase(name, "ALL")) {
            out = 15;
            return true;
        }
        if (EqualsNoCase(name, "TRUE") || EqualsNoCase(name, "FALSE")) {
            const bool on = EqualsNoCase(name, "TRUE");
            out = on ? (kind == ValueKind::ColorWrite ? 15 : 1) : 0;
            return true;
        }
        // A second look without the Direct3D prefix ("D3DBLEND_ONE" -> "ONE"; the names of
        // D3DTOP keep their own underscores: "D3DTOP_MODULATEALPHA_ADDCOLOR").
        const std::size_t underscore = name.find('_');
        if (pass == 1 || underscore == std::string_view::npos ||
            !EqualsNoCase(name.substr(0, 3), "D3D"))
            break;
        name = name.substr(underscore + 1);
    }
    return false;
}

// The row of state "name" (any case), or null.
const Checker::StateRow* Checker::findState(const std::vector<StateRow>& rows, std::string_view name) {
    for (const StateRow& r : rows)
        if (EqualsNoCase(name, r.name)) return &r;
    return nullptr;
}

// sampler_state { name = value; ... }: the D3DSAMP_* states.
const std::vector<Checker::StateRow>& Checker::SamplerStates() {
#define FX_SAMPLER_STATE(name, ENUM, code, kind, fate, neutral, lost) \
    {#name, StateGroup::Sampler, code, ValueKind::kind, Fate::fate, neutral, lost, 15},
    static const std::vector<StateRow> rows = {GFX_SAMPLER_STATES(FX_SAMPLER_STATE)};
#undef FX_SAMPLER_STATE
    return rows;
}

// Every state a pass may set, with its group and highest index: render states, sampler states
// of a register, texture-stage states, lights, the material, transforms, shader constants and
// the object states (shaders, textures, samplers, the vertex format).
const std::vector<Checker::StateRow>& Checker::PassStates() {
#define FX_RENDER(name, ENUM, code, kind, fate, neutral, lost) \
    {#name, StateGroup::Render, code, ValueKind::kind, Fate::fate, neutral, lost, -1},
#define FX_SAMPLER(name, ENUM, code, kind, fate, neutral, lost) \
    {#name, StateGroup::Sampler, code, ValueKind::kind, Fate::fate, neutral, lost, 15},
#define FX_STAGE(name, code, kind, fate, neutral, lost) \
    {#name, StateGroup::TextureStage, code, ValueKind::kind, Fate::fate, neutral, lost, 7},
#define FX_LIGHT(name, member, kind, fate) \
    {#name, StateGroup::Light, 0, ValueKind::kind, Fate::fate, 0, "", 7},
#define FX_MATERIAL(name, member, kind, fate) \
    {#name, StateGroup::Material, 0, ValueKind::kind, Fate::fate, 0, "", -1},
#define FX_TRANSFORM(name, code, highest) \
    {#name, StateGroup::Transform, code, ValueKind::Vector, Fate::Vertex, 0, "", highest},
#define FX_CONSTANT(name, vertex, type, registers) \
    {#name, StateGroup::ShaderConstant, vertex, ValueKind::Vector, Fate::Lost, std::string_view(#type) == "F", "", 255, registers},
#define FX_OBJECT(name, group, kind) \
    {#name, StateGroup::group, 0, ValueKind::kind, Fate::Gl, 0, "", 15},
#define FX_CLIP_PLANE(name, highest) \
    {#name, StateGroup::ClipPlane, 0, ValueKind::Vector, Fate::Gl, 0, "", highest},
    static const std::vector<StateRow> rows = {
        GFX_RENDER_STATES(FX_RENDER) GFX_SAMPLER_STATES(FX_SAMPLER)
        GFX_TEXTURE_STAGE_STATES(FX_STAGE) GFX_LIGHT_STATES(FX_LIGHT)
        GFX_MATERIAL_STATES(FX_MATERIAL) GFX_TRANSFORM_STATES(FX_TRANSFORM)
        GFX_SHADER_CONSTANT_STATES(FX_CONSTANT) GFX_OBJECT_STATES(FX_OBJECT)
        GFX_CLIP_PLANE_STATES(FX_CLIP_PLANE)
    };
#undef FX_CLIP_PLANE
#undef FX_RENDER
#undef FX_SAMPLER
#undef FX_STAGE
#undef FX_LIGHT
#undef FX_MATERIAL
#undef FX_TRANSFORM
#undef FX_CONSTANT
#undef FX_OBJECT
    return rows;
}

int Checker::parameterIndexOf(const VarDecl* v) const { return v ? v->reflectIndex : -1; }

// sampler_state := { Texture = <tex> | (tex) | tex ; state = value ; ... }
void Checker::checkSamplerStates(const std::vector<StateAssign>& states, ParameterInfo& info) {
    for (const StateAssign& a : states) {
        if (EqualsNoCase(a.name, "Texture")) {
            Expr* v = a.value;
            const VarDecl* t = v->kind == ExprKind::Name ? lookupVar(v->text) : nullptr;
            if (!t || t->type.base != Base::Texture || !t->isGlobal) {
                report(Diag::BadSamplerState, a.line, a.column,
                       "'Texture' must name a texture parameter");
                continue;
            }
            info.texture = parameterIndexOf(t);
            continue;
        }
        if (EqualsNoCase(a.name, "Filter")) {
            samplerFilter(a, info);
            continue;
        }
        const StateRow* row = findState(SamplerStates(), a.name);
        if (!row) {
            report(Diag::UnknownState, a.line, a.column, std::string(a.name.substr(0, 40)));
            continue;
        }
        std::uint32_t value = 0;
        bool constant = false;
        StateExpression expr;
        if (!stateValue(a.value, row->name, row->kind, value, constant, expr)) continue;
        if (row->fate == Fate::Lost && (!constant || value != row->neutral))
            report(Diag::LostState, a.line, a.column, row->name, row->lost);
        if (constant) {
            info.samplerStates.push_back({row->code, value});
        } else {
            expr.sampler = true;
            expr.state = row->code;
            info.samplerExpressions.push_back(std::move(expr));
        }
    }
}

// Filter = value in a sampler_state block sets the minification, magnification and mip
// filters at once: to one filter value (Filter = LINEAR), or to those a combined name gives
// in the newer spelling, MIN_MAG_MIP_POINT, MIN_LINEAR_MAG_MIP_POINT, ANISOTROPIC and the
// like (a COMPARISON_ prefix compares nothing here, and is refused).
void Checker::samplerFilter(const StateAssign& a, ParameterInfo& info) {
    constexpr std::uint32_t kMag = 5, kMin = 6, kMip = 7, kPoint = 1, kLinear = 2, kAniso = 3;
    std::uint32_t mag = 0, min = 0, mip = 0;
    bool decoded = false;
    if (a.value->kind == ExprKind::Name && !lookupVar(a.value->text)) {
        std::string name;
        for (char c : a.value->text) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const char* prefix : {"D3D10_FILTER_", "D3D11_FILTER_", "FILTER_"})
            if (name.rfind(prefix, 0) == 0) name.erase(0, std::string_view(prefix).size());
        if (name == "ANISOTROPIC") {
            mag = min = kAniso;
            mip = kLinear;
            decoded = true;
        } else if (name.rfind("MIN_", 0) == 0 || name.rfind("MAG_", 0) == 0 || name.rfind("MIP_", 0) == 0) {
            // Each POINT or LINEAR names the filter of the stages written before it.
            bool pending[3] = {false, false, false};  // min, mag, mip
            std::uint32_t* slots[3] = {&min, &mag, &mip};
            int assigned = 0;
            decoded = true;
            std::size_t at = 0;
            while (decoded && at <= name.size()) {
                const std::size_t end = std::min(name.find('_', at), name.size());
                const std::string_view word = std::string_view(name).substr(at, end - at);
                at = end + 1;
                const int stage = word == "MIN" ? 0 : word == "MAG" ? 1 : word == "MIP" ? 2 : -1;
                if (stage >= 0) {
                    decoded = !pending[stage] && !*slots[stage];
                    pending[stage] = true;
                } else if (word == "POINT" || word == "LINEAR") {
                    for (int i = 0; i < 3; ++i)
                        if (pending[i]) {
                            *slots[i] = word == "POINT" ? kPoint : kLinear;
                            pending[i] = false;
                            ++assigned;
                        }
                } else {
                    decoded = false;
                }
            }
            decoded = decoded && assigned == 3;
            if (!decoded) {
                report(Diag::BadStateValue, a.line, a.column, "Filter",
                       ": '" + std::string(a.value->text.substr(0, 40)) + "' is not a filter this device has");
                return;
            }
        }
    }
    if (!decoded) {
        std::uint32_t value = 0;
        bool constant = false;
        StateExpression expr;
        if (!stateValue(a.value, "Filter", ValueKind::Filter, value, constant, expr)) return;
        if (!constant) {
            for (std::uint32_t code : {kMag, kMin, kMip}) {
                StateExpression e = expr;
                e.sampler = true;
                e.state = code;
                info.samplerExpressions.push_back(std::move(e));
            }
            return;
        }
        mag = min = mip = value;
    }
    info.samplerStates.push_back({kMag, mag});
    info.samplerStates.push_back({kMin, min});
    info.samplerStates.push_back({kMip, mip});
}

// A pass's state that is neither a shader, a transform nor a texture: render states, sampler
// states of a register, texture-stage states, lights, the material, shader constants, the
// sampler of a register and the vertex format. False when the state is not in the table.
bool Checker::passState(StateAssign& a, PassPlan& pp, std::vector<DeferredState>& deferred) {
    const StateRow* row = findState(PassStates(), a.name);
    if (!row) return false;
    if (a.index > row->highestIndex) {
        report(Diag::StateIndexRange, a.line, a.column, row->name,
               a.index < 0 ? "" : std::to_string(a.index), std::to_string(std::max(0, row->highestIndex)));
        return true;
    }
    const std::uint32_t index = static_cast<std::uint32_t>(std::max(0, a.index));
    if (row->group == StateGroup::Sampler && EqualsNoCase(row->name, "Sampler")) {
        // Sampler[n] = <s>: the texture and states of sampler s on register n.
        const VarDecl* s = a.value->kind == ExprKind::Name ? lookupVar(a.value->text) : nullptr;
        if (!s || s->type.base != Base::Sampler || !s->isGlobal || s->reflectIndex < 0 ||
            s->type.isArray()) {
            report(Diag::BadStateValue, a.line, a.column, "Sampler", ": it must name a sampler");
            return true;
        }
        const ParameterInfo& info = out_.parameters[static_cast<std::size_t>(s->reflectIndex)];
        pp.textures.push_back({index, info.texture});
        for (const StateValue& v : info.samplerStates) pp.samplerStates.push_back({index, v.state, v.value});
        for (StateExpression e : info.samplerExpressions) {
            e.unit = static_cast<int>(index);
            pp.stateExpressions.push_back(std::move(e));
        }
        return true;
    }
    if (row->group == StateGroup::Fvf) {
        std::uint32_t value = 0;
        bool constant = false;
        StateExpression expr;
        if (!stateValue(a.value, row->name, row->kind, value, constant, expr)) return true;
        if (!constant) {
            report(Diag::BadStateValue, a.line, a.column, "FVF", ": it must be a constant");
            return true;
        }
        pp.fvf = static_cast<int>(value);
        return true;
    }
    std::uint32_t value = 0;
    bool constant = false;
    StateExpression expr;
    if (row->group == StateGroup::ShaderConstant) {
        // Judged once the pass's shaders are known: an assembly shader reads the registers.
        deferred.push_back({&a, row, false});
        return true;
    }
    if (!stateValue(a.value, row->name, row->kind, value, constant, expr)) return true;
    switch (row->group) {
        case StateGroup::Render:
            if (constant) {
                pp.renderStates.push_back({row->code, value});
            } else {
                expr.state = row->code;
                pp.stateExpressions.push_back(std::move(expr));
            }
            break;
        case StateGroup::Sampler:
            if (constant) {
                pp.samplerStates.push_back({index, row->code, value});
            } else {
                expr.sampler = true;
                expr.unit = static_cast<int>(index);
                expr.state = row->code;
                pp.stateExpressions.push_back(std::move(expr));
            }
            break;
        case StateGroup::TextureStage: {
            if ((row->code >= 7 && row->code <= 10) || row->code == 22 || row->code == 23) {
                // The bump-environment matrix and luminance of stage n: uniforms computed when
                // the pass begins (from parameters too), read by the assembly's texbem,
                // texbeml and bem and by the BUMPENVMAP operations of the generated stages.
                const bool matrix = row->code <= 10;
                const std::string uniform = (matrix ? "fx_ff_bump" : "fx_ff_bumpl") + std::to_string(index);
                auto it = std::find_if(pp.fixedValues.begin(), pp.fixedValues.end(),
                                       [&](const FixedValue& f) { return f.uniform == uniform; });
                if (it == pp.fixedValues.end()) {
                    FixedValue f{uniform, 4, {}};
                    for (int c = 0; c < 4; ++c) f.programs.push_back({StateOp::Number(0.0)});
                    pp.fixedValues.push_back(std::move(f));
                    it = pp.fixedValues.end() - 1;
                }
                if (!expr.programs.empty())
                    it->programs[static_cast<std::size_t>(matrix ? row->code - 7 : row->code - 22)] = expr.programs[0];
                return true;
            }
            if (!constant) {
                report(Diag::BadStateValue, a.line, a.column, row->name,
                       ": a texture-stage state must be a constant");
                return true;
            }
            TextureStage& t = pp.stages[index];
            pp.stagesSet = true;
            // Direct3D's default for this stage: setting it beside a shader changes nothing.
            TextureStage initial;
            if (index == 0) {
                initial.colorOp = 4;
                initial.alphaOp = 2;
            }
            initial.texCoordIndex = index;
            const std::uint32_t defaults[] = {0, initial.colorOp, initial.colorArg1, initial.colorArg2,
                                              initial.alphaOp, initial.alphaArg1, initial.alphaArg2};
            bool unchanged = false;
            if (row->code >= 1 && row->code <= 6) unchanged = value == defaults[row->code];
            else if (row->code == 11) unchanged = value == initial.texCoordIndex;
            else if (row->code == 26 || row->code == 27 || row->code == 28) unchanged = value == 1;  // CURRENT
            else if (row->code == 24 || row->code == 32) unchanged = value == 0;
            switch (row->code) {
                case 1: t.colorOp = value; break;
                case 2: t.colorArg1 = value; break;
                case 3: t.colorArg2 = value; break;
                case 4: t.alphaOp = value; break;
                case 5: t.alphaArg1 = value; break;
                case 6: t.alphaArg2 = value; break;
                case 11: t.texCoordIndex = value; break;
                case 26: t.colorArg0 = value; break;
                case 27: t.alphaArg0 = value; break;
                case 28: t.resultArg = value; break;
                case 24: pp.transformFlags[index] = value; break;
                case 32: t.constant = value; break;
                default: break;
            }
            deferred.push_back({&a, row, unchanged});
            return true;
        }
        case StateGroup::Light:
        case StateGroup::Material: {
            // Vertex lighting reads them: a light's type and switch shape the generated
            // program, the other members are uniforms computed when the pass begins.
            const std::string_view member =
                std::string_view(row->name).substr(row->group == StateGroup::Light ? 5 : 8);
            if (row->group == StateGroup::Light && (member == "Type" || member == "Enable")) {
                if (!constant) {
                    report(Diag::BadStateValue, a.line, a.column, row->name, ": it must be a constant");
                    return true;
                }
                if (member == "Type") pp.lightTypes[index] = value;
                else if (value) pp.lightEnabled |= 1u << index;
                else pp.lightEnabled &= ~(1u << index);
                return true;
            }
            const std::string uniform = row->group == StateGroup::Light
                                            ? "fx_ff_l" + std::to_string(index) + "_" + std::string(member)
                                            : "fx_ff_m_" + std::string(member);
            auto same = [&](const FixedValue& f) { return f.uniform == uniform; };
            pp.fixedValues.erase(std::remove_if(pp.fixedValues.begin(), pp.fixedValues.end(), same),
                                 pp.fixedValues.end());
            pp.fixedValues.push_back({uniform, row->kind == ValueKind::Vector ? 4 : 1, std::move(expr.programs)});
            return true;
        }
        case StateGroup::ClipPlane: {
            // The plane's coefficients are a uniform of the vertex stage, computed when the pass
            // begins (the generated programs write its distance, see PassInfo::clipPlanes).
            const std::string uniform = "fx_clip" + std::to_string(index);
            auto same = [&](const FixedValue& f) { return f.uniform == uniform; };
            pp.fixedValues.erase(std::remove_if(pp.fixedValues.begin(), pp.fixedValues.end(), same),
                                 pp.fixedValues.end());
            pp.fixedValues.push_back({uniform, 4, std::move(expr.programs)});
            return true;
        }
        default: return true;
    }
    const bool off = constant && value == row->neutral;
    if (row->fate == Fate::Lost && !off)
        report(Diag::LostState, a.line, a.column, row->name, row->lost);
    // Fixed-function vertex states the generated vertex stage does not compute wait for the
    // pass's shaders; Lighting and VertexBlend are judged with the other fixed-function states.
    if ((row->fate == Fate::Vertex || row->fate == Fate::Pixel) && !EqualsNoCase(row->name, "Lighting") &&
        !EqualsNoCase(row->name, "VertexBlend"))
        deferred.push_back({&a, row, off});
    return true;
}

// The table as documentation rows: the pass states in table order, then the sampler_state
// block's.
std::vector<StateDescription> DescribeStates() {
    using C = Checker;
    auto group = [](C::StateGroup g) {
        static const char* const kNames[] = {"render", "sampler", "texture stage", "light", "material",
                                             "transform", "shader constant", "shader", "texture", "vertex format",
                                             "clip plane"};
        return std::string(kNames[static_cast<int>(g)]);
    };
    auto values = [](const C::StateRow& r) -> std::string {
        switch (r.kind) {
            case C::ValueKind::Int: return "number";
            case C::ValueKind::Float: return "float";
            case C::ValueKind::Colour: return "D3DCOLOR number or float4";
            case C::ValueKind::Vector: return r.group == C::StateGroup::Transform ? "float4x4 parameter" : "float4";
            default: break;
        }
        if (r.group == C::StateGroup::Shader) return "compile, shader variable, NULL";
        if (r.group == C::StateGroup::Texture) return "texture parameter, NULL";
        if (r.group == C::StateGroup::Sampler && r.code == 0) return "sampler parameter";
        std::string out;
        for (const C::EnumValue& v : C::Values(r.kind)) out += (out.empty() ? "" : " ") + std::string(v.name);
        if (IsFlagKind(r.kind)) out += " (combined with |)";
        return out;
    };
    auto fate = [](const C::StateRow& r) -> std::string {
        switch (r.fate) {
            case C::Fate::Gl: return "applied in GL";
            case C::Fate::Kept: return "stored";
            case C::Fate::Vertex: return "fixed-function vertex stage";
            case C::Fate::Pixel: return "fixed-function pixel stage";
            case C::Fate::Lost: break;
        }
        return std::string("warned: ") + (r.lost[0] ? r.lost : "shader constant registers");
    };
    std::vector<StateDescription> out;
    for (const C::StateRow& r : C::PassStates())
        out.push_back({group(r.group), r.name, r.highestIndex, values(r),
                       r.group == C::StateGroup::ShaderConstant
                           ? (r.neutral ? "assembly shaders' constant registers; warned beside HLSL shaders"
                                        : "warned: integer and boolean constant registers")
                           : fate(r)});
    for (const C::StateRow& r : C::SamplerStates())
        out.push_back({"sampler_state", r.name, -1, values(r), fate(r)});
    return out;
}

// VertexShaderConstant*[n] / PixelShaderConstant*[n] = value: for an assembly shader of that
// stage, the registers from n on take the value (a numeric parameter, read when the pass begins,
// or a constant); the programs generated from HLSL read parameters by name, so there the
// registers reach nothing and the state is warned.
void Checker::shaderConstant(const StateAssign& a, const StateRow& row, PassPlan& pp) {
    const bool vertex = row.code != 0;
    const EntryPoint& stage = vertex ? pp.vs : pp.ps;
    const bool floats = row.neutral != 0;
    if (!stage.program || !floats) {
        std::vector<double> ignored;
        stateName_ = row.name;
        if (a.value->kind == ExprKind::Brace ? !braceValues(a.value, ignored) : (check(a.value), false)) return;
        report(Diag::LostState, a.line, a.column, row.name,
               stage.program ? "integer and boolean constant registers"
                             : "shader constant registers (the generated programs read parameters by name)");
        return;
    }
    ShaderConstant c;
    c.vertex = vertex;
    c.first = std::max(0, a.index);
    const VarDecl* v = a.value->kind == ExprKind::Name ? lookupVar(a.value->text) : nullptr;
    int registers = 0;
    if (v && v->isGlobal && v->reflectIndex >= 0 && v->type.isNumericValue() && !(v->storage & kStorageStatic)) {
        c.parameter = v->reflectIndex;
        const Type& t = v->type;
        const int perElement = t.isMatrix() ? t.cols : 1;
        registers = perElement * std::max(1, t.isArray() ? t.arraySize : 1);
    } else {
        Expr* e = a.value;
        std::vector<double> value;
        evalDepth_ = 0;
        if (e->kind == ExprKind::Brace) {
            stateName_ = row.name;
            if (!braceValues(e, value)) return;
        } else {
            check(e);
        }
        if (e->kind != ExprKind::Brace &&
            (IsPoison(e->type) || !e->type.isNumericValue() || !evalConst(e, value) || value.empty())) {
            report(Diag::BadStateValue, a.line, a.column, row.name, ": expected a numeric parameter or constant");
            return;
        }
        for (double x : value) c.values.push_back(static_cast<float>(std::clamp(x, -3.4e38, 3.4e38)));
        registers = static_cast<int>((value.size() + 3) / 4);
    }
    if (row.registers > 0) registers = std::min(registers, row.registers);
    const int file = vertex ? 256 : 224;
    if (c.first + registers > file) {
        report(Diag::StateIndexRange, a.line, a.column, row.name, std::to_string(c.first + registers - 1),
               std::to_string(file - 1));
        return;
    }
    c.count = registers;
    pp.constants.push_back(std::move(c));
}

}  // namespace platform::gfx::fx
