#version 300 es
precision highp float;
precision highp int;
precision highp sampler2D;
precision highp sampler3D;
precision highp samplerCube;
struct hVS_OUT {
    vec4 hPosition;
    vec4 hDiffuse;
    vec2 hTex;
    vec3 hWorldNormal;
    vec3 hWorldPos;
};
vec4 fx_select_vec4(bool c, vec4 a, vec4 b) { return c ? a : b; }
uniform bool hUseTexture;
uniform sampler2D hDiffuseSampler;
vec4 hPixelVertexLit(hVS_OUT hinput)
{
    vec4 hbase = fx_select_vec4(hUseTexture, texture(hDiffuseSampler, hinput.hTex), vec4(1));
    return (hbase * hinput.hDiffuse);
}
in vec4 fx_v_COLOR0;
in vec4 fx_v_TEXCOORD0;
in vec4 fx_v_TEXCOORD1;
in vec4 fx_v_TEXCOORD2;
layout(location = 0) out vec4 fx_o_COLOR0;
uniform int fx_ff_alphafunc;
uniform float fx_ff_alpharef;
void main()
{
    hVS_OUT fx_p0;
    fx_p0.hPosition = vec4(gl_FragCoord.xy, gl_FragCoord.z, 1.0 / gl_FragCoord.w);
    fx_p0.hDiffuse = fx_v_COLOR0;
    fx_p0.hTex = (fx_v_TEXCOORD0).xy;
    fx_p0.hWorldNormal = (fx_v_TEXCOORD1).xyz;
    fx_p0.hWorldPos = (fx_v_TEXCOORD2).xyz;
    vec4 fx_ret = hPixelVertexLit(fx_p0);
    fx_o_COLOR0 = fx_ret;
#ifdef FX_ALPHA_TEST
    {
        float fx_a = floor(clamp(fx_o_COLOR0.a, 0.0, 1.0) * 255.0 + 0.5), fx_r = fx_ff_alpharef;
        int fx_f = fx_ff_alphafunc;
        bool fx_pass = fx_f == 0 || fx_f == 8 || (fx_f == 2 && fx_a < fx_r) || (fx_f == 3 && fx_a == fx_r) ||
            (fx_f == 4 && fx_a <= fx_r) || (fx_f == 5 && fx_a > fx_r) || (fx_f == 6 && fx_a != fx_r) ||
            (fx_f == 7 && fx_a >= fx_r);
        if (!fx_pass) discard;
    }
#endif
}
