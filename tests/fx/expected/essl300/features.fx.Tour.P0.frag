#version 300 es
precision highp float;
precision highp int;
precision highp sampler2D;
precision highp sampler3D;
precision highp samplerCube;
float fx_fmod(float a, float b) { return a - b * trunc(a / b); }
vec2 fx_fmod(vec2 a, vec2 b) { return a - b * trunc(a / b); }
vec3 fx_fmod(vec3 a, vec3 b) { return a - b * trunc(a / b); }
vec4 fx_fmod(vec4 a, vec4 b) { return a - b * trunc(a / b); }
void fx_sincos(float x, out float s, out float c) { s = sin(x); c = cos(x); }
void fx_sincos(vec2 x, out vec2 s, out vec2 c) { s = sin(x); c = cos(x); }
void fx_sincos(vec3 x, out vec3 s, out vec3 c) { s = sin(x); c = cos(x); }
void fx_sincos(vec4 x, out vec4 s, out vec4 c) { s = sin(x); c = cos(x); }
struct hResult {
    vec4 hcolor;
};
float fx_select_float(bool c, float a, float b) { return c ? a : b; }
ivec3 fx_idiv(ivec3 a, ivec3 b) { return (abs(a) / abs(b)) * sign(a) * sign(b); }
uniform vec4 hValues;
uniform int hCount;
float hOffset;
uniform float hScale;
void hSplit(float hv, out float hwhole, out float hpart)
{
    (hpart = modf(hv, hwhole));
}
float hTwice(float hx)
{
    return (hx * 2.0);
}
vec2 fx_o1_Twice(vec2 hx)
{
    return (hx * vec2(3));
}
int fx_o2_Twice(int hx)
{
    return (hx + 100);
}
float hAccumulate(int hn)
{
    float hsum = 0.0;
    int hi = 0;
    while ((hi < hn))
    {
        (hsum = (hsum + float(hi)));
        (hi++);
    }
    do
    {
        (hsum = (hsum + 0.5));
    }
    while (false);
    int hk = 0;
    for (; (hk < 10); (hk++))
    {
        if ((hk == 2))
            continue;
        if ((hk > 4))
            break;
        (hsum = (hsum + 1.0));
    }
    return hsum;
}
vec4 hFeaturesPS(vec2 huv)
{
    hResult hr = hResult(vec4(0));
    float hwhole;
    float hpart;
    hSplit(hValues.y, hwhole, hpart);
    float ha = (fx_fmod(hValues.x, 1.0));
    float hb = (fract(hValues.x));
    ivec3 hiv = ivec3(7, (-7), 9);
    ivec3 hq = fx_idiv(hiv, ivec3(2));
    bvec4 hgt = greaterThan(hValues, vec4(0));
    float hs;
    float hc;
    fx_sincos(0.0, hs, hc);
    float ht = ((hTwice(1.5) + fx_o1_Twice(vec2(1, 2)).y) + float(fx_o2_Twice(1)));
    (hr.hcolor.x = (((ha + 1.0) * 0.5) + (hpart * 0.1)));
    (hr.hcolor.y = ((hAccumulate(hCount) / 10.0) + (hOffset * hs)));
    (hr.hcolor.z = (((float(((hq.x + hq.y) + hq.z)) / 8.0) + (any(hgt) ? 0.25 : 0.0)) - float((all(hgt) ? 1 : 0))));
    (hr.hcolor.w = fx_select_float(true, (clamp(((ht / 220.0) + (hb * hc)), 0.0, 1.0)), 0.0));
    (hr.hcolor.xy = hr.hcolor.yx);
    return (hr.hcolor * vec4((hScale / 2.5)));
}
in vec4 fx_v_TEXCOORD0;
layout(location = 0) out vec4 fx_o_COLOR0;
uniform int fx_ff_alphafunc;
uniform float fx_ff_alpharef;
void main()
{
    hOffset = (0.5 * 0.5);
    vec2 fx_p0;
    fx_p0 = (fx_v_TEXCOORD0).xy;
    vec4 fx_ret = hFeaturesPS(fx_p0);
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
