// platform/gfx/fx/glsl_fixed.cpp: Direct3D's fixed-function vertex processing as GLSL, for a
// pass without a vertex shader, and what the fixed-function pixel processing adds after the
// texture stages (specular, fog) or after any pixel stage (the alpha test).
//
// Everything is computed in camera space, where the camera sits at the origin and looks down
// +z: positions by world * view, normals by the inverse transpose of its 3 x 3 part, lights'
// positions and directions (given in world space) by the view matrix. The states that shape
// the computation (PassInfo::fixedStage) are baked into the text; the values it works with are
// uniforms the graphics layer sets when the pass begins:
//   fx_ff_wv, fx_ff_view   world * view and view (mat4, transposed as parameters are)
//   fx_ff_tex<n>           texture stage n's coordinate transform
//   fx_ff_ambient          the Ambient render state, as a colour
//   fx_ff_fog              FogStart, FogEnd, FogDensity, and 1 when the projection gives w
//                          as the camera-space depth (then table fog reads that depth)
//   fx_ff_fogcolor         FogColor
//   fx_ff_point            PointSize, PointSize_Min, PointSize_Max, the viewport's height
//   fx_ff_pscale           PointScale_A, _B, _C
//   fx_ff_alphafunc/ref    the alpha test's comparison (0: none) and reference (0-255)
//   fx_ff_vcolours         the colours the vertex format has (1 diffuse, 2 specular): the
//                          device sets it when it draws
//   fx_ff_tcsizes          the vertex format's coordinate-set size codes, two bits a set
//                          (0: two floats, 1: three, 2: four, 3: one): set when it draws
//   fx_ff_l<n>_<member>, fx_ff_m_<member>   the lights' and the material's members
#include "platform/gfx/fx/glsl_emitter.h"

#include <algorithm>

namespace platform::gfx::fx::glsl {

namespace {

const char* const kLightVectors[] = {"Diffuse", "Specular", "Ambient", "Position", "Direction"};
const char* const kLightFloats[] = {"Range", "Falloff", "Attenuation0", "Attenuation1", "Attenuation2",
                                    "Theta", "Phi"};

// The fog factor (1: no fog) of depth "d" for D3DFOG_* mode "mode".
std::string FogFactor(std::uint32_t mode, const std::string& d) {
    switch (mode) {
        case 1: return "exp(-(" + d + ") * fx_ff_fog.z)";  // EXP
        case 2: return "exp(-((" + d + ") * fx_ff_fog.z) * ((" + d + ") * fx_ff_fog.z))";  // EXP2
        case 3:  // LINEAR; with start = end, fog is all or nothing at that depth
            return "(fx_ff_fog.y == fx_ff_fog.x ? ((" + d + ") < fx_ff_fog.y ? 1.0 : 0.0) : (fx_ff_fog.y - (" + d +
                   ")) / (fx_ff_fog.y - fx_ff_fog.x))";
        default: return "1.0";
    }
}

std::string Component(int c) { return std::string(1, "xyzw"[c]); }

}  // namespace

// The fixed-function vertex stage's outputs, after the position: the diffuse and specular
// colours (lit or from the vertex), each stage's texture coordinates (generated, transformed),
// the vertex fog factor and the point size. "outputs" are the semantics the pixel stage reads
// (FFTC<n>: the generated pixel stage's coordinates of stage n, ready for the division that
// PROJECTED asks for); "attribute" declares and names a vertex attribute, "varying" an output.
std::string Emitter::fixedVertex(const std::vector<std::string>& outputs, std::string& decls,
                                 const std::function<std::string(const std::string&)>& attribute,
                                 const std::function<std::string(const std::string&)>& varying) {
    const FixedVertexStage& f = out_.fixedStage;
    std::string s;
    bool colours = false, cameraSpace = f.pointScale || (f.fog && f.fogTableMode == 0 && f.fogVertexMode != 0);
    for (const std::string& sem : outputs) {
        colours = colours || sem == "COLOR0" || sem == "COLOR1";
        if (sem.rfind("FFTC", 0) == 0 || sem.rfind("TEXCOORD", 0) == 0) {
            const int n = sem.back() - '0';
            cameraSpace = cameraSpace || (f.texCoordIndex[n & 7] >> 16) != 0;
        }
    }
    const bool lit = f.lighting && colours;
    if (lit || cameraSpace) {
        decls += "uniform mat4 fx_ff_wv;\nuniform mat4 fx_ff_view;\n";
        const std::string normal = "inverse(transpose(mat3(fx_ff_wv))) * " + attribute("NORMAL0") + ".xyz";
        s += "    vec3 fx_P = (fx_ff_wv * " + attribute("POSITION0") + ").xyz;\n";
        s += "    vec3 fx_N = " + (f.normalizeNormals ? "normalize(" + normal + ")" : normal) + ";\n";
        // From the eye to the vertex: a viewer at infinity looks along +z.
        s += std::string("    vec3 fx_E = ") + (f.localViewer ? "normalize(fx_P)" : "vec3(0.0, 0.0, 1.0)") + ";\n";
    }
    auto vertexColour = [&](const char* sem) { return attributeValue(sem, attribute(sem)); };
    if (lit) {
        const std::string vertexDiffuse = vertexColour("COLOR0"), vertexSpecular = vertexColour("COLOR1");
        decls += "uniform vec4 fx_ff_ambient;\nuniform vec4 fx_ff_m_Diffuse, fx_ff_m_Ambient, fx_ff_m_Specular, "
                 "fx_ff_m_Emissive;\nuniform float fx_ff_m_Power;\n";
        // A colour source names a colour of the vertex; where the vertex format has none, the
        // material's colour is taken instead.
        decls += "uniform int fx_ff_vcolours;\n";
        auto source = [&](std::uint32_t from, const char* material) -> std::string {
            if (!f.colorVertex || from == 0 || from > 2) return material;
            return "((fx_ff_vcolours & " + std::to_string(from) + ") != 0 ? " +
                   (from == 1 ? vertexDiffuse : vertexSpecular) + " : " + material + ")";
        };
        s += "    vec4 fx_Cd = " + source(f.diffuseSource, "fx_ff_m_Diffuse") + ";\n";
        s += "    vec4 fx_Ca = " + source(f.ambientSource, "fx_ff_m_Ambient") + ";\n";
        s += "    vec4 fx_Cs = " + source(f.specularSource, "fx_ff_m_Specular") + ";\n";
        s += "    vec4 fx_Ce = " + source(f.emissiveSource, "fx_ff_m_Emissive") + ";\n";
        s += "    vec3 fx_amb = fx_ff_ambient.rgb, fx_dif = vec3(0.0), fx_spe = vec3(0.0);\n";
        for (int n = 0; n < 8; ++n) {
            const std::uint32_t type = f.lightTypes[n];
            if (type == 0) continue;
            const std::string l = "fx_ff_l" + std::to_string(n) + "_";
            for (const char* m : kLightVectors) decls += "uniform vec4 " + l + m + ";\n";
            for (const char* m : kLightFloats) decls += "uniform float " + l + m + ";\n";
            s += "    {\n        vec3 L;\n        float fx_k = 1.0;\n";
            if (type == 3) {  // DIRECTIONAL: no attenuation, no cone
                s += "        L = -normalize(mat3(fx_ff_view) * " + l + "Direction.xyz);\n";
            } else {
                // POINT and SPOT: 1 / (a0 + a1 d + a2 d^2) within the range, nothing beyond it
                // (an all-zero attenuation counts as none).
                s += "        vec3 fx_d = (fx_ff_view * vec4(" + l + "Position.xyz, 1.0)).xyz - fx_P;\n"
                     "        float fx_dist = length(fx_d);\n        L = fx_d / max(fx_dist, 1e-30);\n"
                     "        float fx_den = " + l + "Attenuation0 + " + l + "Attenuation1 * fx_dist + " + l +
                     "Attenuation2 * fx_dist * fx_dist;\n"
                     "        fx_k = fx_dist > " + l + "Range ? 0.0 : (fx_den > 0.0 ? 1.0 / fx_den : 1.0);\n";
            }
            if (type == 2) {
                // SPOT: full inside the inner cone (Theta), none outside the outer one (Phi),
                // ((rho - cos(Phi/2)) / (cos(Theta/2) - cos(Phi/2)))^Falloff between.
                s += "        float fx_rho = dot(normalize(mat3(fx_ff_view) * " + l + "Direction.xyz), -L);\n"
                     "        float fx_ct = cos(0.5 * " + l + "Theta), fx_cp = cos(0.5 * " + l + "Phi);\n"
                     "        fx_k *= fx_rho > fx_ct ? 1.0 : (fx_rho <= fx_cp ? 0.0 : pow((fx_rho - fx_cp) / (fx_ct - fx_cp), " +
                     l + "Falloff));\n";
            }
            s += "        fx_amb += fx_k * " + l + "Ambient.rgb;\n"
                 "        fx_dif += fx_k * max(dot(fx_N, L), 0.0) * " + l + "Diffuse.rgb;\n";
            if (f.specular)
                s += "        float fx_nh = max(dot(fx_N, normalize(L - fx_E)), 0.0);\n"
                     "        fx_spe += fx_k * (fx_nh > 0.0 ? pow(fx_nh, fx_ff_m_Power) : 0.0) * " + l + "Specular.rgb;\n";
            s += "    }\n";
        }
        s += "    vec4 fx_diffuse = clamp(vec4(fx_Ca.rgb * fx_amb + fx_Cd.rgb * fx_dif + fx_Ce.rgb, fx_Cd.a), 0.0, 1.0);\n";
        s += "    vec4 fx_specular = clamp(vec4(fx_Cs.rgb * fx_spe, fx_Cs.a), 0.0, 1.0);\n";
    }
    // Texture coordinates of stage n: the coordinate set TexCoordIndex names, or a camera-space
    // vector it generates; then the stage's transform, which keeps COUNT components.
    auto coordinates = [&](const std::string& sem) {
        const int n = (sem.back() - '0') & 7;
        const std::uint32_t tci = f.texCoordIndex[n], flags = f.transformFlags[n];
        const int count = static_cast<int>(flags & 7);
        const std::string set = attribute("TEXCOORD" + std::to_string(tci & 7));
        std::string base;
        switch (tci >> 16) {
            case 1: base = "vec4(fx_N, 1.0)"; break;               // CAMERASPACENORMAL
            case 2: base = "vec4(fx_P, 1.0)"; break;               // CAMERASPACEPOSITION
            case 3: base = "vec4(reflect(fx_E, fx_N), 1.0)"; break;  // CAMERASPACEREFLECTIONVECTOR
            case 4:  // SPHEREMAP: the reflection's place on a sphere seen from the front
                s += "    vec3 fx_R" + std::to_string(n) + " = reflect(fx_E, fx_N);\n";
                base = "vec4(fx_R" + std::to_string(n) + ".xy * vec2(1.0, -1.0) / (2.0 * length(fx_R" +
                       std::to_string(n) + " - vec3(0.0, 0.0, 1.0))) + 0.5, 1.0, 0.0)";
                break;
            default: {
                // A one- or two-component set (u, v, 1, 0): its transform's third row
                // translates it; a set of three or four components as it is (w 1 when absent).
                if (!count) {
                    base = set;
                    break;
                }
                if (decls.find("uniform int fx_ff_tcsizes;") == std::string::npos) decls += "uniform int fx_ff_tcsizes;\n";
                const std::string code = "((fx_ff_tcsizes >> " + std::to_string(2 * (tci & 7)) + ") & 3)";
                base = "(" + code + " == 1 || " + code + " == 2 ? " + set + " : vec4(" + set + ".xy, 1.0, 0.0))";
                break;
            }
        }
        if (count == 0 && (tci >> 16) == 0 && sem.rfind("TEXCOORD", 0) == 0) {
            s += "    " + varying(sem) + " = " + set + ";\n";  // the set as it is
            return;
        }
        const std::string tc = "fx_tc" + std::to_string(n);
        std::string q = "1.0";
        if (count) {
            decls += "uniform mat4 fx_ff_tex" + std::to_string(n) + ";\n";
            s += "    vec4 " + tc + " = fx_ff_tex" + std::to_string(n) + " * " + base + ";\n";
            s += "    " + tc + " = vec4(" + tc + ".x, " + (count >= 2 ? tc + ".y" : "0.0") + ", " +
                 (count >= 3 ? tc + ".z" : "0.0") + ", " + (count >= 4 ? tc + ".w" : "1.0") + ");\n";
            if (flags & 0x100) q = tc + "." + Component(count - 1);  // PROJECTED: by the last one
        } else {
            s += "    vec4 " + tc + " = " + base + ";\n";
        }
        if (sem.rfind("FFTC", 0) == 0) s += "    " + varying(sem) + " = vec4(" + tc + ".xy, 0.0, " + q + ");\n";
        else s += "    " + varying(sem) + " = " + tc + ";\n";
    };
    // In the order the pixel stage reads them (attributes are declared in that order).
    for (const std::string& sem : outputs) {
        if (sem == "COLOR0") s += "    " + varying(sem) + " = " + (lit ? std::string("fx_diffuse") : vertexColour("COLOR0")) + ";\n";
        else if (sem == "COLOR1") s += "    " + varying(sem) + " = " + (lit ? std::string("fx_specular") : vertexColour("COLOR1")) + ";\n";
        else if (sem.rfind("FFTC", 0) == 0 || sem.rfind("TEXCOORD", 0) == 0) coordinates(sem);
        else s += "    " + varying(sem) + " = " + attributeValue(sem, attribute(sem)) + ";\n";
    }
    if (f.fog && f.fogTableMode == 0 && f.fogVertexMode != 0) {
        // Vertex fog: by camera-space depth, or by distance with RangeFogEnable.
        decls += "uniform vec4 fx_ff_fog;\nout float fx_ff_vfog;\n";
        s += "    fx_ff_vfog = clamp(" + FogFactor(f.fogVertexMode, f.rangeFog ? "length(fx_P)" : "fx_P.z") +
             ", 0.0, 1.0);\n";
    }
    if (f.pointSize) {
        // Points: PointSize, scaled with PointScaleEnable by the viewport's height and
        // 1 / sqrt(A + B d + C d^2) of the eye distance d; then clamped to the minimum and
        // maximum sizes.
        decls += "uniform vec4 fx_ff_point;\nuniform vec4 fx_ff_pscale;\n";
        s += "    float fx_size = fx_ff_point.x;\n";
        if (f.pointScale)
            s += "    {\n        float fx_de = length(fx_P);\n"
                 "        float fx_s = fx_ff_pscale.x + fx_ff_pscale.y * fx_de + fx_ff_pscale.z * fx_de * fx_de;\n"
                 "        if (fx_s > 0.0) fx_size = fx_ff_point.w * fx_size * sqrt(1.0 / fx_s);\n    }\n";
        s += "    fx_size = max(fx_size, fx_ff_point.y);\n"
             "    if (fx_ff_point.z > 0.0) fx_size = min(fx_size, fx_ff_point.z);\n"
             "    gl_PointSize = max(fx_size, 1.0);\n";
    }
    return s;
}

// After the texture stages: the specular colour added with SpecularEnable ("specular"), then
// fog (pixel fog from the fragment's depth with FogTableMode, else the generated vertex stage's
// factor or a vertex shader's FOG output), into "colour". Pixel shaders below model 3 are fogged the same way.
std::string Emitter::fixedPixelTail(const std::string& colour, bool fixedVertex, std::string& decls,
                                    const std::function<std::string(const std::string&, const char*)>& input,
                                    bool specular) {
    const FixedVertexStage& f = out_.fixedStage;
    std::string s;
    if (f.specular && specular) s += "    " + colour + ".rgb = clamp(" + colour + ".rgb + " + input("COLOR1", "vec4(0.0)") + ".rgb, 0.0, 1.0);\n";
    if (!f.fog) return s;
    std::string factor;
    if (f.fogTableMode != 0) {
        decls += "uniform vec4 fx_ff_fog;\n";
        factor = FogFactor(f.fogTableMode, "(fx_ff_fog.w > 0.5 ? 1.0 / gl_FragCoord.w : gl_FragCoord.z)");
    } else if (fixedVertex && f.fogVertexMode != 0) {
        decls += "in float fx_ff_vfog;\n";
        factor = "fx_ff_vfog";
    } else if (!fixedVertex && std::find(writtenVaryings_.begin(), writtenVaryings_.end(), "FOG0") != writtenVaryings_.end()) {
        // A vertex shader's FOG output (oFog) is the fog factor itself, whatever FogVertexMode says.
        if (decls.find("in vec4 fx_v_FOG0;") == std::string::npos) decls += "in vec4 fx_v_FOG0;\n";
        factor = "fx_v_FOG0.x";
    } else {
        return s;
    }
    decls += "uniform vec4 fx_ff_fogcolor;\n";
    s += "    " + colour + ".rgb = mix(fx_ff_fogcolor.rgb, " + colour + ".rgb, clamp(" + factor + ", 0.0, 1.0));\n";
    return s;
}

// SRGBWriteEnable: the colour written is encoded with the sRGB curve before it is blended, as
// the hardware of the era did (alpha stays linear).
std::string Emitter::srgbWrite(const std::string& colour) {
    if (!out_.fixedStage.srgbWrite) return "";
    const std::string c = "clamp(" + colour + ".rgb, 0.0, 1.0)";
    return "    " + colour + ".rgb = mix(1.055 * pow(" + c + ", vec3(1.0 / 2.4)) - 0.055, " + c + " * 12.92, vec3(lessThanEqual(" +
           c + ", vec3(0.0031308))));\n";
}

// The alpha test on the colour a pass writes, as the device tests: the alpha in 0-255 against
// the reference with the comparison of the device's AlphaFunc (0 when the test is off). The
// test is compiled only into the program variant drawn while the device's test is on
// (FX_ALPHA_TEST defined): a test that always passes still costs every fragment its
// comparisons and a discard.
std::string Emitter::alphaTest(const std::string& colour, std::string& decls) {
    if (!out_.fixedStage.alphaTest) return "";
    decls += "uniform int fx_ff_alphafunc;\nuniform float fx_ff_alpharef;\n";
    const std::string a = "floor(clamp(" + colour + ".a, 0.0, 1.0) * 255.0 + 0.5)";
    return "#ifdef FX_ALPHA_TEST\n    {\n        float fx_a = " + a + ", fx_r = fx_ff_alpharef;\n        int fx_f = fx_ff_alphafunc;\n"
           "        bool fx_pass = fx_f == 0 || fx_f == 8 || (fx_f == 2 && fx_a < fx_r) || (fx_f == 3 && fx_a == fx_r) ||\n"
           "            (fx_f == 4 && fx_a <= fx_r) || (fx_f == 5 && fx_a > fx_r) || (fx_f == 6 && fx_a != fx_r) ||\n"
           "            (fx_f == 7 && fx_a >= fx_r);\n        if (!fx_pass) discard;\n    }\n#endif\n";
}

}  // namespace platform::gfx::fx::glsl
