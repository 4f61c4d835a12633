#version 330 core
void fx_clip(float x) { if (x < 0.0) discard; }
void fx_clip(vec2 x) { if (any(lessThan(x, vec2(0.0)))) discard; }
void fx_clip(vec3 x) { if (any(lessThan(x, vec3(0.0)))) discard; }
void fx_clip(vec4 x) { if (any(lessThan(x, vec4(0.0)))) discard; }
uniform sampler2D hSceneSampler;
uniform float hThreshold;
vec4 hBrightPS(vec2 htex)
{
    vec4 hc = texture(hSceneSampler, htex);
    float hluminance = (dot(hc.xyz, vec3(0.299, 0.587, 0.114)));
    fx_clip((hluminance - hThreshold));
    return hc;
}
in vec4 fx_v_TEXCOORD0;
layout(location = 0) out vec4 fx_o_COLOR0;
uniform int fx_ff_alphafunc;
uniform float fx_ff_alpharef;
void main()
{
    vec2 fx_p0;
    fx_p0 = (fx_v_TEXCOORD0).xy;
    vec4 fx_ret = hBrightPS(fx_p0);
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
