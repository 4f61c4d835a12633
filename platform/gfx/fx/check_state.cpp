// platform/gfx/fx/check_state.cpp: effect states: the render and sampler states a pass or
// sampler_state block may set, their value names, and the values of state assignments.
#include "platform/gfx/fx/checker.h"
#include "platform/gfx/states.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace platform::gfx::fx {

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
        default: return kNone;
    }
}

// The value of a state assignment: an enum name (with or without its D3D prefix), TRUE or
// FALSE, or a constant expression. False when none of these.
bool Checker::stateValue(Expr* e, ValueKind kind, std::uint32_t& out) {
    if (e->kind == ExprKind::Name || e->kind == ExprKind::BoolLit) {
        std::string_view name = e->text;
        const std::size_t underscore = name.find('_');
        for (int pass = 0; pass < 2; ++pass) {
            for (const EnumValue& v : Values(kind))
                if (EqualsNoCase(name, v.name)) {
                    out = v.value;
                    return true;
                }
            if (kind != ValueKind::Bool)
                for (const EnumValue& v : Values(ValueKind::Bool))
                    if (EqualsNoCase(name, v.name) &&
                        (kind == ValueKind::Int || kind == ValueKind::ZBuffer)) {
                        out = v.value;
                        return true;
                    }
            // A second look without the Direct3D prefix ("D3DBLEND_ONE" -> "ONE").
            if (pass == 1 || underscore == std::string_view::npos) break;
            name = name.substr(underscore + 1);
        }
        if (e->kind == ExprKind::Name && !lookupVar(e->text)) return false;
    }
    check(e);
    if (IsPoison(e->type) || !e->type.isNumericValue()) return false;
    std::vector<double> v;
    evalDepth_ = 0;
    if (!evalConst(e, v) || v.empty()) return false;
    if (kind == ValueKind::Float) {
        const float f = static_cast<float>(v[0]);
        std::memcpy(&out, &f, sizeof out);
    } else if (kind == ValueKind::Colour && v.size() == 4) {
        auto byte = [](double x) {
            return static_cast<std::uint32_t>(std::clamp(x, 0.0, 1.0) * 255.0 + 0.5);
        };
        out = byte(v[3]) << 24 | byte(v[0]) << 16 | byte(v[1]) << 8 | byte(v[2]);
    } else {
        out = static_cast<std::uint32_t>(static_cast<std::int64_t>(v[0]));
    }
    return true;
}

// The row of state "name" (any case), or null.
const Checker::StateRow* Checker::findState(const std::vector<StateRow>& rows, std::string_view name) {
    for (const StateRow& r : rows)
        if (EqualsNoCase(name, r.name)) return &r;
    return nullptr;
}

// sampler_state { name = value; ... }: the D3DSAMP_* states.
const std::vector<Checker::StateRow>& Checker::SamplerStates() {
#define FX_SAMPLER_STATE(name, ENUM, code, kind) {#name, code, ValueKind::kind, true},
    static const std::vector<StateRow> rows = {GFX_SAMPLER_STATES(FX_SAMPLER_STATE)};
#undef FX_SAMPLER_STATE
    return rows;
}

// The D3DRS_* states, then the names a pass may set that are not render states (texture
// stages, lights, materials, transforms, shader constants, pass-level sampler states): known,
// but without a meaning for programmable passes.
const std::vector<Checker::StateRow>& Checker::RenderStates() {
#define FX_RENDER_STATE(name, ENUM, code, kind, applied) \
    {#name, code, ValueKind::kind, applied != 0},
#define FX_PASS_STATE(name) {#name, 0, ValueKind::Int, false},
    static const std::vector<StateRow> rows = {
        GFX_RENDER_STATES(FX_RENDER_STATE)
        FX_PASS_STATE(ColorOp) FX_PASS_STATE(ColorArg0) FX_PASS_STATE(ColorArg1)
        FX_PASS_STATE(ColorArg2) FX_PASS_STATE(AlphaOp) FX_PASS_STATE(AlphaArg0)
        FX_PASS_STATE(AlphaArg1) FX_PASS_STATE(AlphaArg2) FX_PASS_STATE(TexCoordIndex)
        FX_PASS_STATE(TextureTransformFlags) FX_PASS_STATE(Sampler) FX_PASS_STATE(Texture)
        FX_PASS_STATE(WorldTransform) FX_PASS_STATE(ViewTransform)
        FX_PASS_STATE(ProjectionTransform) FX_PASS_STATE(FogMode)
        FX_PASS_STATE(VertexShaderConstant) FX_PASS_STATE(PixelShaderConstant)
        FX_PASS_STATE(MinFilter) FX_PASS_STATE(MagFilter) FX_PASS_STATE(MipFilter)
        FX_PASS_STATE(AddressU) FX_PASS_STATE(AddressV)
        FX_PASS_STATE(MaterialAmbient) FX_PASS_STATE(MaterialDiffuse)
        FX_PASS_STATE(MaterialSpecular) FX_PASS_STATE(MaterialPower) FX_PASS_STATE(LightEnable)
        FX_PASS_STATE(LightType) FX_PASS_STATE(LightDiffuse) FX_PASS_STATE(LightPosition)
        FX_PASS_STATE(LightDirection) FX_PASS_STATE(LightAmbient) FX_PASS_STATE(LightSpecular)
        FX_PASS_STATE(LightRange) FX_PASS_STATE(LightAttenuation0)
        FX_PASS_STATE(LightAttenuation1) FX_PASS_STATE(LightAttenuation2)
    };
#undef FX_PASS_STATE
#undef FX_RENDER_STATE
    return rows;
}

int Checker::parameterIndexOf(const VarDecl* v) const { return v ? v->reflectIndex : -1; }

// sampler_state := { Texture = <tex> | (tex) | tex ; state = value ; ... }
void Checker::checkSamplerStates(VarDecl* s, ParameterInfo& info) {
    for (StateAssign& a : s->samplerStates) {
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
        const StateRow* row = findState(SamplerStates(), a.name);
        if (!row) {
            report(Diag::UnknownState, a.line, a.column, std::string(a.name.substr(0, 40)));
            continue;
        }
        std::uint32_t value = 0;
        if (!stateValue(a.value, row->kind, value)) {
            report(Diag::BadStateValue, a.line, a.column, row->name);
            continue;
        }
        info.samplerStates.push_back({row->code, value});
    }
}

}  // namespace platform::gfx::fx
