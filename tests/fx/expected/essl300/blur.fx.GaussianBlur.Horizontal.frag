#version 300 es
precision highp float;
precision highp int;
precision highp sampler2D;
precision highp sampler3D;
precision highp samplerCube;
uniform sampler2D hSceneSampler;
float hWeights[5];
const int hTAPS = 5;
uniform vec2 hTexelSize;
vec4 hBlur(vec2 htex, vec2 hdirection)
{
    vec4 hsum = (texture(hSceneSampler, htex) * vec4(hWeights[0]));
    int hi = 1;
    for (; (hi < hTAPS); (hi++))
    {
        vec2 hoffset = ((hdirection * hTexelSize) * vec2(hi));
        (hsum = (hsum + (texture(hSceneSampler, (htex + hoffset)) * vec4(hWeights[hi]))));
        (hsum = (hsum + (texture(hSceneSampler, (htex - hoffset)) * vec4(hWeights[hi]))));
    }
    return hsum;
}
vec4 hBlurPS(vec2 htex, vec2 hdirection)
{
    return hBlur(htex, hdirection);
}
in vec4 fx_v_TEXCOORD0;
layout(location = 0) out vec4 fx_o_COLOR0;
uniform int fx_ff_alphafunc;
uniform float fx_ff_alpharef;
void main()
{
    hWeights = float[5](0.227027, 0.1945946, 0.1216216, 0.054054, 0.016216);
    vec2 fx_p0;
    fx_p0 = (fx_v_TEXCOORD0).xy;
    vec4 fx_ret = hBlurPS(fx_p0, vec2(1, 0));
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
