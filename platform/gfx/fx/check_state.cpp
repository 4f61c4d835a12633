// platform/gfx/fx/check_state.cpp: effect states: the render and sampler states a pass or
// sampler_state block may set, their value names, and the values of state assignments.
#include "platform/gfx/fx/checker.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace platform::gfx::fx {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The names a state value of kind "k" may use (D3DBLEND, D3DCMP, D3DTADDRESS... without
// their prefix) and their Direct3D values.
const std::vector<Checker::EnumValue>& Checker::Values(ValueKind k) {
    static const std::vector<EnumValue> kBool = {{"TRUE", 1}, {"FALSE", 0}};
    static const std::vector<EnumValue> kZ = {{"TRUE", 1}, {"FALSE", 0}, {"USEW", 2}};
    static const std::vector<EnumValue> kFill = {{"POINT", 1}, {"WIREFRAME", 2}, {"SOLID", 3}};
    static const std::vector<EnumValue> kShade = {{"FLAT", 1}, {"GOURAUD", 2}, {"PHONG", 3}};
    static const std::vector<EnumValue> kBlend = {
        {"ZERO", 1}, {"ONE", 2}, {"SRCCOLOR", 3}, {"INVSRCCOLOR", 4}, {"SRCALPHA", 5},
        {"INVSRCALPHA", 6}, {"DESTALPHA", 7}, {"INVDESTALPHA", 8}, {"DESTCOLOR", 9},
        {"INVDESTCOLOR", 10}, {"SRCALPHASAT", 11}, {"BOTHSRCALPHA", 12},
        {"BOTHINVSRCALPHA", 13}, {"BLENDFACTOR", 14}, {"INVBLENDFACTOR", 15}};
    static const std::vector<EnumValue> kBlendOp = {
        {"ADD", 1}, {"SUBTRACT", 2}, {"REVSUBTRACT", 3}, {"MIN", 4}, {"MAX", 5}};
    static const std::vector<EnumValue> kCull = {{"NONE", 1}, {"CW", 2}, {"CCW", 3}};
    static const std::vector<EnumValue> kCmp = {
        {"NEVER", 1}, {"LESS", 2}, {"EQUAL", 3}, {"LESSEQUAL", 4}, {"GREATER", 5},
        {"NOTEQUAL", 6}, {"GREATEREQUAL", 7}, {"ALWAYS", 8}};
    static const std::vector<EnumValue> kFilter = {
        {"NONE", 0}, {"POINT", 1}, {"LINEAR", 2}, {"ANISOTROPIC", 3},
        {"PYRAMIDALQUAD", 6}, {"GAUSSIANQUAD", 7}};
    static const std::vector<EnumValue> kAddress = {
        {"WRAP", 1}, {"MIRROR", 2}, {"CLAMP", 3}, {"BORDER", 4}, {"MIRRORONCE", 5}};
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
    static const std::vector<StateRow> rows = {
        {"AddressU", 1, ValueKind::Address},     {"AddressV", 2, ValueKind::Address},
        {"AddressW", 3, ValueKind::Address},     {"BorderColor", 4, ValueKind::Colour},
        {"MagFilter", 5, ValueKind::Filter},     {"MinFilter", 6, ValueKind::Filter},
        {"MipFilter", 7, ValueKind::Filter},     {"MipMapLodBias", 8, ValueKind::Float},
        {"MaxMipLevel", 9, ValueKind::Int},      {"MaxAnisotropy", 10, ValueKind::Int},
        {"SRGBTexture", 11, ValueKind::Bool},
    };
    return rows;
}

// The D3DRS_* states a pass may set, then the fixed-function ones a pass may name but that
// mean nothing to programmable passes (reported as ignored).
const std::vector<Checker::StateRow>& Checker::RenderStates() {
    static const std::vector<StateRow> rows = {
        {"ZEnable", 7, ValueKind::ZBuffer},          {"FillMode", 8, ValueKind::Fill},
        {"ShadeMode", 9, ValueKind::Shade},          {"ZWriteEnable", 14, ValueKind::Bool},
        {"AlphaTestEnable", 15, ValueKind::Bool},    {"SrcBlend", 19, ValueKind::Blend},
        {"DestBlend", 20, ValueKind::Blend},         {"CullMode", 22, ValueKind::Cull},
        {"ZFunc", 23, ValueKind::Cmp},               {"AlphaRef", 24, ValueKind::Int},
        {"AlphaFunc", 25, ValueKind::Cmp},           {"DitherEnable", 26, ValueKind::Bool},
        {"AlphaBlendEnable", 27, ValueKind::Bool},   {"FogEnable", 28, ValueKind::Bool},
        {"SpecularEnable", 29, ValueKind::Bool},     {"StencilEnable", 52, ValueKind::Bool},
        {"Lighting", 137, ValueKind::Bool},          {"ColorWriteEnable", 168, ValueKind::Int},
        {"BlendOp", 171, ValueKind::BlendOp},        {"ScissorTestEnable", 174, ValueKind::Bool},
        {"SeparateAlphaBlendEnable", 206, ValueKind::Bool},
        {"SrcBlendAlpha", 207, ValueKind::Blend},    {"DestBlendAlpha", 208, ValueKind::Blend},
        {"BlendOpAlpha", 209, ValueKind::BlendOp},   {"PointSize", 154, ValueKind::Float},
        {"MultiSampleAntialias", 161, ValueKind::Bool},
        {"TextureFactor", 60, ValueKind::Int},       {"Ambient", 139, ValueKind::Int},
        {"FogColor", 34, ValueKind::Int},            {"NormalizeNormals", 143, ValueKind::Bool},
        // Fixed-function states without a meaning for programmable passes.
        {"ColorOp", 0, ValueKind::Int},    {"ColorArg0", 0, ValueKind::Int},
        {"ColorArg1", 0, ValueKind::Int},  {"ColorArg2", 0, ValueKind::Int},
        {"AlphaOp", 0, ValueKind::Int},    {"AlphaArg0", 0, ValueKind::Int},
        {"AlphaArg1", 0, ValueKind::Int},  {"AlphaArg2", 0, ValueKind::Int},
        {"TexCoordIndex", 0, ValueKind::Int}, {"TextureTransformFlags", 0, ValueKind::Int},
        {"Sampler", 0, ValueKind::Int},    {"Texture", 0, ValueKind::Int},
        {"WorldTransform", 0, ValueKind::Int}, {"ViewTransform", 0, ValueKind::Int},
        {"ProjectionTransform", 0, ValueKind::Int}, {"FogMode", 0, ValueKind::Int},
        {"FogTableMode", 0, ValueKind::Int}, {"FogVertexMode", 0, ValueKind::Int},
        {"FogStart", 0, ValueKind::Int},   {"FogEnd", 0, ValueKind::Int},
        {"FogDensity", 0, ValueKind::Int}, {"VertexShaderConstant", 0, ValueKind::Int},
        {"PixelShaderConstant", 0, ValueKind::Int}, {"MinFilter", 0, ValueKind::Int},
        {"MagFilter", 0, ValueKind::Int},  {"MipFilter", 0, ValueKind::Int},
        {"AddressU", 0, ValueKind::Int},   {"AddressV", 0, ValueKind::Int},
        {"StencilFunc", 0, ValueKind::Int}, {"StencilRef", 0, ValueKind::Int},
        {"StencilPass", 0, ValueKind::Int}, {"StencilFail", 0, ValueKind::Int},
        {"StencilZFail", 0, ValueKind::Int}, {"StencilMask", 0, ValueKind::Int},
        {"StencilWriteMask", 0, ValueKind::Int}, {"DepthBias", 0, ValueKind::Int},
        {"SlopeScaleDepthBias", 0, ValueKind::Int}, {"Wrap0", 0, ValueKind::Int},
        {"Clipping", 0, ValueKind::Int},   {"ClipPlaneEnable", 0, ValueKind::Int},
        {"ColorVertex", 0, ValueKind::Int}, {"VertexBlend", 0, ValueKind::Int},
        {"PointSpriteEnable", 0, ValueKind::Int}, {"PointScaleEnable", 0, ValueKind::Int},
        {"LocalViewer", 0, ValueKind::Int}, {"DiffuseMaterialSource", 0, ValueKind::Int},
        {"SpecularMaterialSource", 0, ValueKind::Int}, {"AmbientMaterialSource", 0, ValueKind::Int},
        {"MaterialAmbient", 0, ValueKind::Int}, {"MaterialDiffuse", 0, ValueKind::Int},
        {"MaterialSpecular", 0, ValueKind::Int}, {"MaterialPower", 0, ValueKind::Int},
        {"LightEnable", 0, ValueKind::Int}, {"LightType", 0, ValueKind::Int},
        {"LightDiffuse", 0, ValueKind::Int}, {"LightPosition", 0, ValueKind::Int},
        {"LightDirection", 0, ValueKind::Int}, {"LightAmbient", 0, ValueKind::Int},
        {"LightSpecular", 0, ValueKind::Int}, {"LightRange", 0, ValueKind::Int},
        {"LightAttenuation0", 0, ValueKind::Int}, {"LightAttenuation1", 0, ValueKind::Int},
        {"LightAttenuation2", 0, ValueKind::Int}, {"TwoSidedStencilMode", 0, ValueKind::Int},
        {"AntialiasedLineEnable", 0, ValueKind::Int}, {"SrgbWriteEnable", 0, ValueKind::Int},
    };
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
