// platform/gfx/gl/effect_gl.cpp: the effect object (platform/gfx/fx/effect.h) on the GL backend.
//
// FEATURES
//   [X] parameters stored in Direct3D's byte layout, uploaded at BeginPass / CommitChanges
//   [X] textures bound by name with a reference held; samplers on units 0, 1, ... per pass
//   [X] sampler_state values applied to the device's sampler registers (saved / restored)
//   [X] render states of passes applied through the device (saved / restored)
//   [X] programs built at creation; dropped on OnLostDevice, rebuilt on OnResetDevice
//   [X] parameters never set folded into each pass's program as constants (fold.h): built at
//       the pass's first use; once one of them is set, the pass uses the program that reads
//       every parameter as a uniform (built at creation), so nothing is recompiled per frame
//   [X] struct parameters: one byte block per struct, members set whole or by name
//   [X] shader arrays: the variant a pass's index program picks when the pass begins; an index
//       outside the array makes the pass draw nothing (every primitive is clipped away)
//   [X] fixed-function stages: transform and texture states applied to the device; generated
//       stages read its transforms, textures and fixed-function render states, and the pass's
//       light and material values (effect_fixed_gl.cpp); a pass without any shader draws with
//       the device's own fixed-function program
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gfx/fx/effect.h"
#include "platform/gfx/fx/effect_testing.h"
#include "platform/gfx/fx/fold.h"
#include "platform/gfx/gl/effect_fixed_gl.h"
#include "platform/gfx/gl/gl_internal.h"

namespace platform::gfx {
namespace {

using fx::ParamClass;
using fx::ParameterInfo;
using fx::ParamType;

bool IsNumeric(const ParameterInfo& p) {
    return p.type == ParamType::Bool || p.type == ParamType::Int || p.type == ParamType::Float ||
           p.paramClass == ParamClass::Struct;
}

// A program that draws nothing: every vertex lands outside the clip volume.
const char* const kNothingVertex =
    GFX_GL_SHADER_HEADER "void main() { gl_Position = vec4(2.0, 2.0, 2.0, 1.0); }\n";
const char* const kNothingFragment =
    GFX_GL_SHADER_HEADER "out vec4 colour;\nvoid main() { discard; }\n";

bool IsTexture(const ParameterInfo& p) {
    return p.type >= ParamType::Texture && p.type <= ParamType::TextureCube;
}

// One pass's GL program and the uniform locations of what it reads.
struct PassProgram {
    GLuint program = 0;
    std::vector<GLint> uniformLocations;  // parallel to PassInfo::uniforms; -1 when folded
    GLint wvp = -1, textured = -1, tfactor = -1;  // the generated fixed-function stages' uniforms
    GLint vertexConstants = -1, pixelConstants = -1;  // assembly stages' constant registers
    gl::FixedUniforms fixed;
};

// A pass's programs: "generic" reads every parameter as a uniform; "folded" holds the
// parameters in "foldedParameters" as constants. "specialise" turns false for good once a
// folded parameter is set, or when folding gives nothing or does not build.
struct PassPrograms {
    PassProgram generic;
    PassProgram folded;
    std::vector<int> foldedParameters;
    bool specialise = true;
    // Drawn while device states ask for more than the generic program does: the generic
    // program with the alpha test compiled in (bit 0 of the index: the device's test is on),
    // with flat colours (bit 1: the device, not the pass, sets ShadeMode FLAT) and with point
    // sprite coordinates (bit 2: the device, not the pass, sets PointSpriteEnable); each built
    // at its first draw ("failed" when it does not build). Index 0 is unused.
    std::array<PassProgram, 8> deviceVariants;
    std::array<bool, 8> failed{};
};

// "source" with "#define NAME" after its #version line.
std::string WithDefine(const std::string& source, const char* name) {
    const std::size_t eol = source.rfind("#version", 0) == 0 ? source.find('\n') : std::string::npos;
    const std::string define = std::string("#define ") + name + "\n";
    return eol == std::string::npos ? define + source : source.substr(0, eol + 1) + define + source.substr(eol + 1);
}

// Builds the program of "vertex" and "fragment" for pass "p" and looks up what it reads;
// program 0, with the driver's log in "log", when it does not build.
PassProgram Link(const std::string& vertex, const std::string& fragment, const fx::PassInfo& p,
                 const std::vector<ParameterInfo>& parameters, std::vector<char>* log) {
    PassProgram pp;
    pp.program = gl::BuildProgram(vertex.c_str(), fragment.c_str(), log);
    if (!pp.program) return pp;
    glUseProgram(pp.program);
    for (int u : p.uniforms)
        pp.uniformLocations.push_back(glGetUniformLocation(
            pp.program, parameters[static_cast<std::size_t>(u)].glslName.c_str()));
    for (std::size_t unit = 0; unit < p.samplers.size(); ++unit) {
        const GLint loc = glGetUniformLocation(
            pp.program, parameters[static_cast<std::size_t>(p.samplers[unit])].glslName.c_str());
        if (loc >= 0) glUniform1i(loc, static_cast<GLint>(unit));
    }
    pp.wvp = glGetUniformLocation(pp.program, "fx_ff_wvp");
    pp.textured = glGetUniformLocation(pp.program, "fx_ff_textured");
    pp.tfactor = glGetUniformLocation(pp.program, "fx_ff_tfactor");
    for (int n = 0; n < 16; ++n) {
        if (!(p.deviceSamplers & (1u << n))) continue;
        const GLint stage = glGetUniformLocation(pp.program, ("fx_ff_stage" + std::to_string(n)).c_str());
        if (stage >= 0) glUniform1i(stage, n);
    }
    pp.fixed = gl::LookUpFixedUniforms(pp.program, p);
    pp.vertexConstants = glGetUniformLocation(pp.program, "fx_vc");
    pp.pixelConstants = glGetUniformLocation(pp.program, "fx_pc");
    return pp;
}

// Uploads one parameter's bytes (Direct3D layout) to uniform "location" of the bound program.
void Upload(GLint location, const ParameterInfo& p, const std::uint8_t* bytes) {
    if (location < 0) return;
    const GLsizei count = std::max(1, p.elements);
    // A matrix of one row or one column (float1xN, floatNx1) is a GLSL vector or scalar of
    // its components, which its row-major bytes hold in order.
    const bool line = p.paramClass == ParamClass::MatrixRows && (p.rows == 1 || p.columns == 1);
    const int width = line ? p.rows * p.columns : p.columns;
    if (p.type == ParamType::Float) {
        const auto* f = reinterpret_cast<const GLfloat*>(bytes);
        if (p.paramClass == ParamClass::MatrixRows && !line) {
            // The GLSL matRxC holds the transpose, so row-major bytes go in as columns.
            const int r = p.rows, c = p.columns;
            if (r == 2 && c == 2) glUniformMatrix2fv(location, count, GL_FALSE, f);
            if (r == 3 && c == 3) glUniformMatrix3fv(location, count, GL_FALSE, f);
            if (r == 4 && c == 4) glUniformMatrix4fv(location, count, GL_FALSE, f);
            if (r == 2 && c == 3) glUniformMatrix2x3fv(location, count, GL_FALSE, f);
            if (r == 2 && c == 4) glUniformMatrix2x4fv(location, count, GL_FALSE, f);
            if (r == 3 && c == 2) glUniformMatrix3x2fv(location, count, GL_FALSE, f);
            if (r == 3 && c == 4) glUniformMatrix3x4fv(location, count, GL_FALSE, f);
            if (r == 4 && c == 2) glUniformMatrix4x2fv(location, count, GL_FALSE, f);
            if (r == 4 && c == 3) glUniformMatrix4x3fv(location, count, GL_FALSE, f);
            return;
        }
        switch (width) {
            case 1: glUniform1fv(location, count, f); break;
            case 2: glUniform2fv(location, count, f); break;
            case 3: glUniform3fv(location, count, f); break;
            default: glUniform4fv(location, count, f); break;
        }
        return;
    }
    const auto* i = reinterpret_cast<const GLint*>(bytes);
    switch (width) {
        case 1: glUniform1iv(location, count, i); break;
        case 2: glUniform2iv(location, count, i); break;
        case 3: glUniform3iv(location, count, i); break;
        default: glUniform4iv(location, count, i); break;
    }
}

// Configures a GL sampler object for a texture unit the device keeps no sampler state for:
// Direct3D's creation defaults (point filtering, no mip filter, wrap) under the effect's
// sampler_state values.
void ConfigureSampler(GLuint object, const std::vector<fx::StateValue>& states) {
    DWORD s[kSamplerStateCount] = {};
    s[D3DSAMP_ADDRESSU] = s[D3DSAMP_ADDRESSV] = s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    s[D3DSAMP_MAGFILTER] = s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    s[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    for (const fx::StateValue& v : states)
        if (v.state < kSamplerStateCount) s[v.state] = v.value;
    auto address = [](DWORD mode) -> GLint {
        switch (mode) {
            case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
            case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
            case D3DTADDRESS_BORDER: return gl::BorderAddressMode();
            default: return GL_REPEAT;
        }
    };
    const bool minLinear = s[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
    GLint minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
    if (s[D3DSAMP_MIPFILTER] == D3DTEXF_POINT)
        minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    if (s[D3DSAMP_MIPFILTER] >= D3DTEXF_LINEAR)
        minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glSamplerParameteri(object, GL_TEXTURE_MIN_FILTER, minFilter);
    glSamplerParameteri(object, GL_TEXTURE_MAG_FILTER,
                        s[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(object, GL_TEXTURE_WRAP_S, address(s[D3DSAMP_ADDRESSU]));
    glSamplerParameteri(object, GL_TEXTURE_WRAP_T, address(s[D3DSAMP_ADDRESSV]));
    glSamplerParameteri(object, GL_TEXTURE_WRAP_R, address(s[D3DSAMP_ADDRESSW]));
    const D3DCOLOR c = s[D3DSAMP_BORDERCOLOR];
    float border[4];
    gl::ColourToFloats(c, border);
    gl::SetSamplerBorderColour(object, border);
    gl::ApplyLodStates(object, s[D3DSAMP_MIPMAPLODBIAS], s[D3DSAMP_MAXMIPLEVEL]);
}

class EffectGL final : public gl::RefCounted<ID3DXEffect> {
public:
    EffectGL(IDirect3DDevice9* device, fx::CompileResult result)
        : device_(device), fx_(std::move(result)) {
        device_->AddRef();
        values_.resize(fx_.parameters.size());
        setSinceCreation_.assign(fx_.parameters.size(), false);
        textures_.assign(fx_.parameters.size(), nullptr);
        // Struct members keep their bytes inside their struct's block (sized first).
        for (std::size_t i = 0; i < fx_.parameters.size(); ++i) {
            const ParameterInfo& p = fx_.parameters[i];
            if (IsNumeric(p) && p.parent < 0)
                values_[i].assign(static_cast<std::size_t>(p.sizeBytes), 0);
        }
        for (std::size_t i = 0; i < fx_.parameters.size(); ++i) {
            const ParameterInfo& p = fx_.parameters[i];
            if (!IsNumeric(p)) continue;
            for (std::size_t k = 0; k < p.initialValue.size(); ++k) Store(i, k, p.initialValue[k]);
        }
    }

    // Builds every pass's generic program; false with the driver's log in "log" when one
    // fails. The folded programs follow at each pass's first use (SelectProgram).
    bool BuildPrograms(std::string* log) {
        gl::ToGL(device_)->MakeCurrent();
        programs_.clear();
        std::vector<char> nothingLog;
        nothing_ = gl::BuildProgram(kNothingVertex, kNothingFragment, &nothingLog);
        for (const fx::TechniqueInfo& t : fx_.techniques) {
            std::vector<std::vector<PassPrograms>> list;
            for (const fx::PassInfo& pass : t.passes) {
                list.emplace_back();
                for (std::size_t v = 0; v < std::max<std::size_t>(1, pass.variants.size()); ++v) {
                    const fx::PassInfo& p = pass.variants.empty() ? pass : pass.variants[v];
                    std::vector<char> driverLog;
                    PassPrograms pp;
                    pp.generic = Link(p.vertexGlsl, p.fragmentGlsl, p, fx_.parameters, &driverLog);
                    list.back().push_back(pp);
                    if (!pp.generic.program) {
                        if (log)
                            *log = "technique '" + t.name + "' pass '" + p.name +
                                   "': the generated GLSL does not build: " + std::string(driverLog.data());
                        programs_.push_back(std::move(list));
                        DeletePrograms();
                        return false;
                    }
                }
            }
            programs_.push_back(std::move(list));
        }
        glUseProgram(0);
        gl::InvalidateGlState(device_);
        return true;
    }

    // The program the current pass draws with: the folded one while no parameter it folds
    // has been set (built here on first use, folding the parameters not set so far), else the
    // generic one. After a device reset the pass folds again what is still unset.
    const PassProgram& SelectProgram() {
        PassPrograms& pp = Programs();
        if (const unsigned v = DeviceVariant()) {
            const fx::PassInfo& p = Pass();
            PassProgram& program = pp.deviceVariants[v];
            if (!program.program && !pp.failed[v]) {
                std::string vertex = p.vertexGlsl, fragment = p.fragmentGlsl;
                if (v & 1) fragment = WithDefine(fragment, "FX_ALPHA_TEST");
                if (v & 2) {
                    vertex = fx::WithFlatColours(vertex);
                    fragment = fx::WithFlatColours(fragment);
                }
                if (v & 4) fragment = fx::WithSpriteCoordinates(fragment);
                std::vector<char> driverLog;
                program = Link(vertex, fragment, p, fx_.parameters, &driverLog);
                pp.failed[v] = program.program == 0;
            }
            if (program.program) return program;
        }
        if (pp.folded.program &&
            std::any_of(pp.foldedParameters.begin(), pp.foldedParameters.end(),
                        [&](int i) { return setSinceCreation_[static_cast<std::size_t>(i)]; })) {
            glDeleteProgram(pp.folded.program);
            pp.folded = PassProgram{};
            pp.foldedParameters.clear();
            pp.specialise = false;
        }
        if (pp.specialise && !pp.folded.program) {
            pp.specialise = false;
            const fx::PassInfo& p = Pass();
            std::vector<fx::FoldedValue> constants;
            for (int u : p.uniforms) {
                const auto i = static_cast<std::size_t>(u);
                if (!setSinceCreation_[i]) constants.push_back({u, Bytes(i), Size(i)});
            }
            std::vector<int> folded;
            const std::string vertex = fx::FoldParameters(p.vertexGlsl, fx_.parameters, constants, &folded);
            const std::string fragment = fx::FoldParameters(p.fragmentGlsl, fx_.parameters, constants, &folded);
            if (!folded.empty()) {
                std::vector<char> driverLog;
                pp.folded = Link(vertex, fragment, p, fx_.parameters, &driverLog);
                if (pp.folded.program) {
                    std::sort(folded.begin(), folded.end());
                    folded.erase(std::unique(folded.begin(), folded.end()), folded.end());
                    pp.foldedParameters = std::move(folded);
                    pp.specialise = true;
                }
            }
        }
        return pp.folded.program ? pp.folded : pp.generic;
    }

    HRESULT SetValue(D3DXHANDLE name, const void* data, UINT bytes) override {
        const int i = Numeric(name);
        if (i < 0 || !data || bytes > Size(static_cast<std::size_t>(i))) return D3DERR_INVALIDCALL;
        std::memcpy(Bytes(static_cast<std::size_t>(i)), data, bytes);
        MarkSet(static_cast<std::size_t>(i));
        return D3D_OK;
    }
    HRESULT GetValue(D3DXHANDLE name, void* data, UINT bytes) override {
        const int i = Numeric(name);
        if (i < 0 || !data) return D3DERR_INVALIDCALL;
        std::memcpy(data, Bytes(static_cast<std::size_t>(i)),
                    std::min<std::size_t>(bytes, Size(static_cast<std::size_t>(i))));
        return D3D_OK;
    }
    // The typed setters convert to the parameter's component type, as Direct3D's do.
    HRESULT SetFloat(D3DXHANDLE name, float value) override { return SetScalar(name, value); }
    HRESULT SetInt(D3DXHANDLE name, INT value) override {
        return SetScalar(name, static_cast<float>(value));
    }
    HRESULT SetBool(D3DXHANDLE name, BOOL value) override {
        return SetScalar(name, value ? 1.0f : 0.0f);
    }
    HRESULT SetVector(D3DXHANDLE name, const float* xyzw) override {
        const int i = Numeric(name);
        if (i < 0 || !xyzw) return D3DERR_INVALIDCALL;
        const ParameterInfo& p = fx_.parameters[static_cast<std::size_t>(i)];
        if (p.paramClass == ParamClass::MatrixRows || p.paramClass == ParamClass::Struct)
            return D3DERR_INVALIDCALL;
        for (int k = 0; k < p.columns && k < 4; ++k) Store(static_cast<std::size_t>(i), static_cast<std::size_t>(k), xyzw[k]);
        setSinceCreation_[static_cast<std::size_t>(i)] = true;
        return D3D_OK;
    }
    HRESULT SetMatrix(D3DXHANDLE name, const D3DXMATRIX* matrix) override {
        const int i = Numeric(name);
        if (i < 0 || !matrix) return D3DERR_INVALIDCALL;
        const ParameterInfo& p = fx_.parameters[static_cast<std::size_t>(i)];
        if (p.paramClass != ParamClass::MatrixRows || p.type != ParamType::Float)
            return D3DERR_INVALIDCALL;
        const float* m = &matrix->m[0][0];
        for (int r = 0; r < p.rows; ++r)
            for (int c = 0; c < p.columns; ++c)
                Store(static_cast<std::size_t>(i), static_cast<std::size_t>(r * p.columns + c), m[r * 4 + c]);
        setSinceCreation_[static_cast<std::size_t>(i)] = true;
        return D3D_OK;
    }

    HRESULT SetTechnique(D3DXHANDLE name) override {
        if (!name) return D3DERR_INVALIDCALL;
        const int t = fx_.FindTechnique(name);
        if (t < 0 || begun_) return D3DERR_INVALIDCALL;
        technique_ = t;
        return D3D_OK;
    }
    D3DXHANDLE GetCurrentTechnique() override {
        return fx_.techniques[static_cast<std::size_t>(technique_)].name.c_str();
    }

    HRESULT SetTexture(D3DXHANDLE name, IDirect3DBaseTexture9* texture) override {
        const int i = name ? fx_.FindParameter(name) : -1;
        if (i < 0 || !IsTexture(fx_.parameters[static_cast<std::size_t>(i)]))
            return D3DERR_INVALIDCALL;
        IDirect3DBaseTexture9*& slot = textures_[static_cast<std::size_t>(i)];
        if (texture) texture->AddRef();
        if (slot) slot->Release();
        slot = texture;
        return D3D_OK;
    }
    HRESULT GetTexture(D3DXHANDLE name, IDirect3DBaseTexture9** texture) override {
        const int i = name ? fx_.FindParameter(name) : -1;
        if (i < 0 || !texture || !IsTexture(fx_.parameters[static_cast<std::size_t>(i)]))
            return D3DERR_INVALIDCALL;
        *texture = textures_[static_cast<std::size_t>(i)];
        if (*texture) (*texture)->AddRef();
        return D3D_OK;
    }

    HRESULT Begin(UINT* passes, DWORD flags) override {
        if (begun_) return D3DERR_INVALIDCALL;
        const fx::TechniqueInfo& t = fx_.techniques[static_cast<std::size_t>(technique_)];
        begun_ = true;
        savedRender_.clear();
        savedSampler_.clear();
        savedTransforms_.clear();
        if (!(flags & D3DXFX_DONOTSAVESTATE)) {
            for (const fx::PassInfo& p : t.passes) {
                for (const fx::ParameterState& s : p.transforms) {
                    SavedTransform saved{s.state, {}};
                    if (Succeeded(device_->GetTransform(static_cast<D3DTRANSFORMSTATETYPE>(s.state), &saved.matrix)))
                        savedTransforms_.push_back(saved);
                }
                for (const fx::StateValue& s : p.renderStates) SaveRender(s.state);
                for (const fx::StateExpression& e : p.stateExpressions)
                    if (!e.sampler) SaveRender(e.state);
                if (flags & D3DXFX_DONOTSAVESAMPLERSTATE) continue;
                for (const fx::SamplerStageState& s : p.samplerStates) SaveSampler(s.unit, s.state);
                for (const fx::StateExpression& e : p.stateExpressions)
                    if (e.sampler && e.unit >= 0) SaveSampler(static_cast<DWORD>(e.unit), e.state);
                for (std::size_t unit = 0; unit < p.samplers.size(); ++unit) {
                    const ParameterInfo& sp = fx_.parameters[static_cast<std::size_t>(p.samplers[unit])];
                    for (const fx::StateValue& s : sp.samplerStates) SaveSampler(static_cast<DWORD>(unit), s.state);
                    for (const fx::StateExpression& e : sp.samplerExpressions)
                        SaveSampler(static_cast<DWORD>(unit), e.state);
                }
            }
        }
        if (passes) *passes = static_cast<UINT>(t.passes.size());
        return D3D_OK;
    }

    HRESULT BeginPass(UINT pass) override {
        const fx::TechniqueInfo& t = fx_.techniques[static_cast<std::size_t>(technique_)];
        if (!begun_ || pass >= t.passes.size() || pass_ >= 0) return D3DERR_INVALIDCALL;
        if (programs_.empty()) {
            std::string log;
            if (!BuildPrograms(&log)) return E_FAIL;
        }
        pass_ = static_cast<int>(pass);
        const fx::PassInfo& outer = t.passes[pass];
        variant_ = ChooseVariant(outer);
        for (const fx::StateValue& s : outer.renderStates)
            device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(s.state), s.value);
        for (const fx::ParameterState& s : outer.transforms) {
            D3DMATRIX m;
            if (s.parameter >= 0)
                std::memcpy(&m.m[0][0], Bytes(static_cast<std::size_t>(s.parameter)), sizeof m);
            else if (s.matrix.size() == 16)
                std::memcpy(&m.m[0][0], s.matrix.data(), sizeof m);
            else
                continue;
            device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(s.state), &m);
        }
        for (const fx::ParameterState& s : outer.textures)
            device_->SetTexture(s.state, s.parameter >= 0 ? textures_[static_cast<std::size_t>(s.parameter)] : nullptr);
        if (outer.fvf >= 0) device_->SetFVF(static_cast<DWORD>(outer.fvf));
        for (const fx::StateExpression& e : outer.stateExpressions)
            if (!e.sampler) device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(e.state), StateWord(e));
        if (variant_ < 0) {
            gl::SetProgramOverride(device_, nothing_);
            return D3D_OK;
        }
        const fx::PassInfo& p = Pass();
        for (std::size_t unit = 0; unit < p.samplers.size(); ++unit) {
            const ParameterInfo& sp = fx_.parameters[static_cast<std::size_t>(p.samplers[unit])];
            for (const fx::StateValue& s : SamplerStatesAt(sp))
                device_->SetSamplerState(static_cast<DWORD>(unit), static_cast<D3DSAMPLERSTATETYPE>(s.state), s.value);
        }
        // A pass's own states for a register come after its sampler's (a pass without a pixel
        // shader samples texture stage n through register n).
        for (const fx::SamplerStageState& s : outer.samplerStates)
            device_->SetSamplerState(s.unit, static_cast<D3DSAMPLERSTATETYPE>(s.state), s.value);
        for (const fx::StateExpression& e : outer.stateExpressions)
            if (e.sampler && e.unit >= 0)
                device_->SetSamplerState(static_cast<DWORD>(e.unit), static_cast<D3DSAMPLERSTATETYPE>(e.state), StateWord(e));
        return CommitChanges();
    }

    HRESULT CommitChanges() override {
        if (pass_ < 0) return D3DERR_INVALIDCALL;
        if (variant_ < 0) return D3D_OK;
        const fx::PassInfo& p = Pass();
        if (p.fixedVertex && p.fixedPixel && !p.stagesSet) {
            // A pass without any shader draws exactly as the device's fixed function does.
            gl::SetProgramOverride(device_, 0);
            return D3D_OK;
        }
        gl::ToGL(device_)->MakeCurrent();
        // A set call since BeginPass may have moved the pass to its generic program.
        const PassProgram& pp = SelectProgram();
        gl::SetProgramOverride(device_, pp.program);
        // The generated texture stages sample the device's texture of stage n on unit n.
        // Assembly shaders' sampler registers do too.
        int textured = 0;
        for (DWORD n = 0; n < 16; ++n) {
            if (!(p.deviceSamplers & (1u << n))) continue;
            IDirect3DBaseTexture9* t = gl::ToGL(device_)->texture(n);
            gl::BindSampler(device_, n, t);
            if (t) textured |= 1 << n;
        }
        for (std::size_t unit = 0; unit < p.samplers.size(); ++unit) {
            const ParameterInfo& sp = fx_.parameters[static_cast<std::size_t>(p.samplers[unit])];
            IDirect3DBaseTexture9* tex = sp.texture >= 0 ? textures_[static_cast<std::size_t>(sp.texture)] : nullptr;
            gl::BindSampler(device_, static_cast<DWORD>(unit), tex);
            if (gl::ToGL(device_)->SamplerObject(static_cast<DWORD>(unit)) == 0) {
                // The device keeps sampler state for the first registers only; the others
                // get a sampler object of the effect.
                if (extraSamplers_.size() <= unit) extraSamplers_.resize(unit + 1, 0);
                if (!extraSamplers_[unit]) glGenSamplers(1, &extraSamplers_[unit]);
                ConfigureSampler(extraSamplers_[unit], SamplerStatesAt(sp));
                glBindSampler(static_cast<GLuint>(unit), extraSamplers_[unit]);
            }
        }
        glUseProgram(pp.program);
        for (std::size_t k = 0; k < p.uniforms.size(); ++k) {
            const auto i = static_cast<std::size_t>(p.uniforms[k]);
            Upload(pp.uniformLocations[k], fx_.parameters[i], Bytes(i));
        }
        if (pp.wvp >= 0) {
            D3DMATRIX w, v, proj, wv, wvp;
            device_->GetTransform(D3DTS_WORLD, &w);
            device_->GetTransform(D3DTS_VIEW, &v);
            device_->GetTransform(D3DTS_PROJECTION, &proj);
            D3DXMatrixMultiply(&wv, &w, &v);
            D3DXMatrixMultiply(&wvp, &wv, &proj);
            glUniformMatrix4fv(pp.wvp, 1, GL_FALSE, &wvp.m[0][0]);
        }
        if (pp.textured >= 0) glUniform1i(pp.textured, textured);
        gl::UploadFixedUniforms(device_, p, pp.fixed, [this](int parameter, int component) {
            double v = 0;
            return ScalarAt(parameter, component, v) ? v : 0.0;
        });
        for (const fx::ShaderConstant& c : p.constants) UploadConstant(pp, c);
        if (pp.tfactor >= 0) {
            DWORD c = 0;
            device_->GetRenderState(D3DRS_TEXTUREFACTOR, &c);
            float rgba[4];
            gl::ColourToFloats(c, rgba);
            glUniform4fv(pp.tfactor, 1, rgba);
        }
        gl::InvalidateGlState(device_);
        return D3D_OK;
    }

    HRESULT EndPass() override {
        if (pass_ < 0) return D3DERR_INVALIDCALL;
        if (variant_ >= 0) gl::EndFixedUniforms(Pass());
        pass_ = -1;
        gl::SetProgramOverride(device_, 0);
        gl::InvalidateGlState(device_);
        return D3D_OK;
    }

    HRESULT End() override {
        if (!begun_) return D3DERR_INVALIDCALL;
        if (pass_ >= 0) EndPass();
        for (const fx::StateValue& s : savedRender_)
            device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(s.state), s.value);
        for (const SavedSampler& s : savedSampler_)
            device_->SetSamplerState(s.unit, static_cast<D3DSAMPLERSTATETYPE>(s.state), s.value);
        for (const SavedTransform& s : savedTransforms_)
            device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(s.state), &s.matrix);
        savedTransforms_.clear();
        savedRender_.clear();
        savedSampler_.clear();
        begun_ = false;
        return D3D_OK;
    }

    HRESULT OnLostDevice() override {
        if (begun_) End();
        DeletePrograms();
        return D3D_OK;
    }
    HRESULT OnResetDevice() override {
        if (!programs_.empty()) return D3D_OK;
        std::string log;
        return BuildPrograms(&log) ? D3D_OK : E_FAIL;
    }
    HRESULT GetDevice(IDirect3DDevice9** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        *device = device_;
        device_->AddRef();
        return D3D_OK;
    }
    const fx::CompileResult& Reflection() const override { return fx_; }

    ~EffectGL() override {
        if (begun_) End();
        DeletePrograms();
        for (IDirect3DBaseTexture9* t : textures_)
            if (t) t->Release();
        device_->Release();
    }

private:
    struct SavedSampler {
        DWORD unit;
        std::uint32_t state;
        DWORD value;
    };
    struct SavedTransform {
        std::uint32_t state;
        D3DMATRIX matrix;
    };

    // Where parameter "i"'s bytes live: its own block, or inside its struct's.
    std::uint8_t* Bytes(std::size_t i) {
        const ParameterInfo& p = fx_.parameters[i];
        if (p.parent < 0) return values_[i].data();
        return values_[static_cast<std::size_t>(p.parent)].data() + p.offsetBytes;
    }
    std::size_t Size(std::size_t i) const {
        const ParameterInfo& p = fx_.parameters[i];
        return p.parent < 0 ? values_[i].size() : static_cast<std::size_t>(p.sizeBytes);
    }
    // Records a set call on parameter "i"; a whole struct sets each of its members.
    void MarkSet(std::size_t i) {
        setSinceCreation_[i] = true;
        if (fx_.parameters[i].paramClass != ParamClass::Struct) return;
        for (std::size_t k = 0; k < fx_.parameters.size(); ++k)
            if (fx_.parameters[k].parent == static_cast<int>(i)) setSinceCreation_[k] = true;
    }

    // Element "element" of scalar parameter "param" as a number; false past its end.
    bool ScalarAt(int param, int element, double& out) {
        if (param < 0 || static_cast<std::size_t>(param) >= fx_.parameters.size()) return false;
        const auto i = static_cast<std::size_t>(param);
        if (element < 0 || 4 * static_cast<std::size_t>(element) + 4 > Size(i)) return false;
        const std::uint8_t* b = Bytes(i) + 4 * static_cast<std::size_t>(element);
        if (fx_.parameters[i].type == ParamType::Float) {
            float f;
            std::memcpy(&f, b, 4);
            out = f;
        } else {
            std::int32_t v;
            std::memcpy(&v, b, 4);
            out = v;
        }
        return true;
    }

    // The value of a state computed from parameters, as its state word: a colour's four
    // channels packed as a D3DCOLOR, a float state's bits, or the value truncated to 32 bits.
    DWORD StateWord(const fx::StateExpression& e) {
        auto parameter = [this](int p, int c) {
            double v = 0;
            return ScalarAt(p, c, v) ? v : 0.0;
        };
        double v[4] = {0, 0, 0, 1};
        for (std::size_t i = 0; i < e.programs.size() && i < 4; ++i)
            if (!fx::RunStateProgram(e.programs[i], parameter, v[i])) v[i] = 0;
        auto clamp = [](double x) { return std::isfinite(x) ? std::clamp(x, -9.0e18, 9.0e18) : 0.0; };
        if (e.programs.size() == 4) {
            auto byte = [&](double x) { return static_cast<DWORD>(std::clamp(clamp(x), 0.0, 1.0) * 255.0 + 0.5); };
            return byte(v[3]) << 24 | byte(v[0]) << 16 | byte(v[1]) << 8 | byte(v[2]);
        }
        if (e.asFloat) {
            const float f = static_cast<float>(std::clamp(clamp(v[0]), -3.4e38, 3.4e38));
            DWORD bits = 0;
            std::memcpy(&bits, &f, sizeof bits);
            return bits;
        }
        return static_cast<DWORD>(static_cast<std::int64_t>(clamp(v[0])));
    }

    // Sets an assembly stage's constant registers: a matrix parameter by columns (as the
    // registers of a column-major matrix hold it; by rows when row-major), other parameters an element a register, or
    // the state's literal values.
    void UploadConstant(const PassProgram& pp, const fx::ShaderConstant& c) {
        const GLint base = c.vertex ? pp.vertexConstants : pp.pixelConstants;
        if (base < 0 || c.count <= 0) return;
        std::vector<float> regs(static_cast<std::size_t>(c.count) * 4, 0.0f);
        if (c.parameter >= 0) {
            const ParameterInfo& info = fx_.parameters[static_cast<std::size_t>(c.parameter)];
            const int rows = info.rows, cols = info.columns;
            const int elements = std::max(1, info.elements);
            const bool matrix = info.paramClass == ParamClass::MatrixRows;
            int reg = 0;
            // A row_major matrix's registers hold its rows, a column_major one's its columns.
            const bool byRows = matrix && info.rowMajor;
            for (int e = 0; e < elements && reg < c.count; ++e) {
                for (int n = 0; n < (matrix ? (byRows ? rows : cols) : 1) && reg < c.count; ++n, ++reg)
                    for (int k = 0; k < 4; ++k) {
                        const int row = byRows ? n : matrix ? k : 0, column = byRows ? k : matrix ? n : k;
                        if (row >= rows || column >= cols) continue;
                        double v = 0;
                        if (ScalarAt(c.parameter, e * rows * cols + row * cols + column, v))
                            regs[static_cast<std::size_t>(reg * 4 + k)] = static_cast<float>(v);
                    }
            }
        } else {
            for (std::size_t k = 0; k < c.values.size() && k < regs.size(); ++k) regs[k] = c.values[k];
        }
        glUniform4fv(base + c.first, c.count, regs.data());
    }

    // A sampler parameter's states with those computed from parameters evaluated now.
    std::vector<fx::StateValue> SamplerStatesAt(const ParameterInfo& sp) {
        std::vector<fx::StateValue> states = sp.samplerStates;
        for (const fx::StateExpression& e : sp.samplerExpressions) states.push_back({e.state, StateWord(e)});
        return states;
    }

    void SaveRender(DWORD state) {
        if (std::any_of(savedRender_.begin(), savedRender_.end(),
                        [&](const fx::StateValue& v) { return v.state == state; }))
            return;
        DWORD value = 0;
        if (Succeeded(device_->GetRenderState(static_cast<D3DRENDERSTATETYPE>(state), &value)))
            savedRender_.push_back({state, value});
    }

    void SaveSampler(DWORD unit, DWORD state) {
        SavedSampler saved{unit, state, 0};
        if (std::any_of(savedSampler_.begin(), savedSampler_.end(), [&](const SavedSampler& v) {
                return v.unit == saved.unit && v.state == saved.state;
            }))
            return;
        if (Succeeded(device_->GetSamplerState(unit, static_cast<D3DSAMPLERSTATETYPE>(state), &saved.value)))
            savedSampler_.push_back(saved);
    }

    // Runs an index program over the parameters' current values; false when it reads past an
    // array, divides by zero or leaves no single value.
    bool RunIndex(const std::vector<fx::IndexOp>& ops, long long& out) {
        std::vector<double> stack;
        for (const fx::IndexOp& op : ops) {
            double v = 0;
            switch (op.kind) {
                case fx::IndexOp::Constant: stack.push_back(op.value); continue;
                case fx::IndexOp::Parameter:
                    if (!ScalarAt(op.parameter, 0, v)) return false;
                    stack.push_back(v);
                    continue;
                case fx::IndexOp::Element: {
                    if (stack.empty()) return false;
                    const double k = std::trunc(stack.back());
                    stack.pop_back();
                    if (k < 0 || k > 65536 || !ScalarAt(op.parameter, static_cast<int>(k), v)) return false;
                    stack.push_back(v);
                    continue;
                }
                case fx::IndexOp::Truncate:
                    if (stack.empty()) return false;
                    stack.back() = std::trunc(stack.back());
                    continue;
                default: break;
            }
            if (stack.size() < 2) return false;
            const double b = stack.back();
            stack.pop_back();
            double& a = stack.back();
            switch (op.kind) {
                case fx::IndexOp::Add: a += b; break;
                case fx::IndexOp::Subtract: a -= b; break;
                case fx::IndexOp::Multiply: a *= b; break;
                default:
                    if (b == 0) return false;
                    a /= b;
                    break;
            }
        }
        if (stack.size() != 1 || !std::isfinite(stack[0]) || std::fabs(stack[0]) > 1e9) return false;
        out = static_cast<long long>(std::trunc(stack[0]));
        return true;
    }

    // The variant of "pass" its selectors pick from the current parameter values (0 when it
    // has none), or -1 when an index falls outside its array.
    int ChooseVariant(const fx::PassInfo& pass) {
        long long variant = 0;
        for (const fx::ShaderSelector& s : pass.selectors) {
            long long choice = 0;
            if (!RunIndex(s.index, choice) || choice < 0 || choice >= s.count) return -1;
            variant = variant * s.count + choice;
        }
        return static_cast<int>(variant);
    }

    int Numeric(D3DXHANDLE name) const {
        if (!name) return -1;
        const int i = fx_.FindParameter(name);
        return i >= 0 && IsNumeric(fx_.parameters[static_cast<std::size_t>(i)]) ? i : -1;
    }

    void Store(std::size_t param, std::size_t component, float v) {
        const ParameterInfo& p = fx_.parameters[param];
        if (p.paramClass == ParamClass::Struct || 4 * component + 4 > Size(param)) return;
        std::uint8_t* at = Bytes(param) + 4 * component;
        if (p.type == ParamType::Float) {
            std::memcpy(at, &v, 4);
        } else {
            const std::int32_t iv = p.type == ParamType::Bool ? (v != 0.0f) : static_cast<std::int32_t>(v);
            std::memcpy(at, &iv, 4);
        }
    }

    HRESULT SetScalar(D3DXHANDLE name, float value) {
        const int i = Numeric(name);
        if (i < 0) return D3DERR_INVALIDCALL;
        Store(static_cast<std::size_t>(i), 0, value);
        setSinceCreation_[static_cast<std::size_t>(i)] = true;
        return D3D_OK;
    }

    // Whether the device's alpha test rejects anything now: the pass then draws with the
    // program variant that tests (the others leave the test out).
    bool AlphaTestOn() const {
        DWORD on = 0, func = 0;
        device_->GetRenderState(D3DRS_ALPHATESTENABLE, &on);
        device_->GetRenderState(D3DRS_ALPHAFUNC, &func);
        const GLint f = gl::AlphaTestFunction(on, func);
        return f != 0 && f != D3DCMP_ALWAYS;
    }

    // Which device variant of the active pass's program draws (PassPrograms::deviceVariants;
    // 0: the pass's own programs): what the device's states ask for beyond what the pass was
    // compiled with.
    unsigned DeviceVariant() const {
        const fx::PassInfo& p = Pass();
        DWORD shade = 0, sprite = 0;
        device_->GetRenderState(D3DRS_SHADEMODE, &shade);
        device_->GetRenderState(D3DRS_POINTSPRITEENABLE, &sprite);
        return (AlphaTestOn() ? 1u : 0u) | (shade == D3DSHADE_FLAT && !p.fixedStage.flatShade ? 2u : 0u) |
               (sprite != 0 && !p.fixedStage.pointSprite ? 4u : 0u);
    }

    // The active pass, as the variant its shader arrays picked, and its programs.
    const fx::PassInfo& Pass() const {
        const fx::PassInfo& p =
            fx_.techniques[static_cast<std::size_t>(technique_)].passes[static_cast<std::size_t>(pass_)];
        return p.variants.empty() ? p : p.variants[static_cast<std::size_t>(variant_)];
    }
    PassPrograms& Programs() {
        return programs_[static_cast<std::size_t>(technique_)][static_cast<std::size_t>(pass_)]
                        [static_cast<std::size_t>(variant_)];
    }
public:
    // The parameters the program of pass "pass" of technique "technique" holds as constants
    // now (empty while the pass has not run, or once it uses its generic program).
    std::vector<int> FoldedParameters(int technique, int pass) const {
        if (technique < 0 || static_cast<std::size_t>(technique) >= programs_.size()) return {};
        const auto& list = programs_[static_cast<std::size_t>(technique)];
        if (pass < 0 || static_cast<std::size_t>(pass) >= list.size()) return {};
        const PassPrograms& pp = list[static_cast<std::size_t>(pass)].at(0);
        return pp.folded.program ? pp.foldedParameters : std::vector<int>{};
    }

private:

    void DeletePrograms() {
        if (programs_.empty() && extraSamplers_.empty() && !nothing_) return;
        gl::ToGL(device_)->MakeCurrent();
        for (GLuint& sampler : extraSamplers_)
            if (sampler) glDeleteSamplers(1, &sampler);
        extraSamplers_.clear();
        for (auto& list : programs_)
            for (auto& variants : list)
                for (PassPrograms& p : variants) {
                    if (p.generic.program) glDeleteProgram(p.generic.program);
                    if (p.folded.program) glDeleteProgram(p.folded.program);
                    for (const PassProgram& v : p.deviceVariants)
                        if (v.program) glDeleteProgram(v.program);
                }
        programs_.clear();
        if (nothing_) glDeleteProgram(nothing_);
        nothing_ = 0;
        gl::InvalidateGlState(device_);
    }

    IDirect3DDevice9* device_;
    fx::CompileResult fx_;
    std::vector<std::vector<std::uint8_t>> values_;    // per parameter, Direct3D byte layout
    std::vector<IDirect3DBaseTexture9*> textures_;     // per parameter, held references
    std::vector<std::vector<std::vector<PassPrograms>>> programs_;  // [technique][pass][variant]
    GLuint nothing_ = 0;                               // drawn while an index is out of range
    int variant_ = 0;                                  // of the active pass
    std::vector<bool> setSinceCreation_;               // per parameter: a set call succeeded
    std::vector<GLuint> extraSamplers_;                // per texture unit past the device's
    int technique_ = 0;
    int pass_ = -1;
    bool begun_ = false;
    std::vector<fx::StateValue> savedRender_;
    std::vector<SavedSampler> savedSampler_;
    std::vector<SavedTransform> savedTransforms_;
};

HRESULT MessageBuffer(const std::string& text, ID3DXBuffer** out) {
    if (!out) return D3D_OK;
    *out = nullptr;
    if (text.empty()) return D3D_OK;
    ID3DXBuffer* buffer = nullptr;
    const HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(text.size() + 1), &buffer);
    if (Failed(hr)) return hr;
    std::memcpy(buffer->GetBufferPointer(), text.c_str(), text.size() + 1);
    *out = buffer;
    return D3D_OK;
}

}  // namespace

std::vector<int> FoldedParametersForTesting(ID3DXEffect* effect, int technique, int pass) {
    auto* e = dynamic_cast<EffectGL*>(effect);
    return e ? e->FoldedParameters(technique, pass) : std::vector<int>{};
}

HRESULT D3DXCreateEffect(IDirect3DDevice9* device, const void* data, UINT bytes,
                         const void* defines, void* include, DWORD flags, void* pool,
                         ID3DXEffect** effect, ID3DXBuffer** errors) {
    (void)flags;
    if (errors) *errors = nullptr;
    if (effect) *effect = nullptr;
    if (!device || !gl::ToGL(device) || !data || bytes == 0 || !effect || defines || include || pool)
        return D3DERR_INVALIDCALL;
    fx::CompileOptions options;
    options.glsl = gl::kGlEs ? fx::GlslTarget::Es300 : fx::GlslTarget::Core330;
    fx::CompileResult result =
        fx::Compile(std::string_view(static_cast<const char*>(data), bytes), options);
    if (!result.ok) {
        MessageBuffer(result.Messages(), errors);
        return E_FAIL;
    }
    const std::string warnings = result.Messages();
    auto* e = new EffectGL(device, std::move(result));
    std::string log;
    if (!e->BuildPrograms(&log)) {
        e->Release();
        MessageBuffer(log + "\n", errors);
        return E_FAIL;
    }
    MessageBuffer(warnings, errors);
    *effect = e;
    return D3D_OK;
}

}  // namespace platform::gfx
