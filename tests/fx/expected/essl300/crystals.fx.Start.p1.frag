#version 300 es
precision highp float;
precision highp int;
precision highp sampler2D;
precision highp sampler3D;
precision highp samplerCube;
uniform float hPI;
uniform int hangle;
uniform int hsteps;
uniform float htime;
uniform float hspeed;
uniform float hspeed_x;
uniform float hspeed_y;
uniform float hfrequency;
uniform float hintensity;
uniform vec2 hresolution;
uniform float hemboss;
uniform float hdelta;
uniform float hintence;
uniform sampler2D htex0;
float hcol(vec2 hq)
{
    float hturn = ((2.0 * hPI) / float(float(hangle)));
    float hsum = 0.0;
    int hi = 0;
    for (; (hi < hsteps); (hi++))
    {
        float htheta = (hturn * float(float(hi)));
        float hax = ((hq.x + (((cos(htheta)) * htime) * hspeed)) + (htime * hspeed_x));
        float hay = (hq.y - ((((sin(htheta)) * htime) * hspeed) - (htime * hspeed_y)));
        (hsum = (hsum + ((cos((((hax * (cos(htheta))) - (hay * (sin(htheta)))) * hfrequency))) * hintensity)));
    }
    return (cos(hsum));
}
vec4 hmain(vec2 huv, vec4 htint)
{
    vec2 hp = ((vec2(huv.x, (1.0 - huv.y)) * hresolution) / hresolution);
    float hk = hcol(hp);
    float hdx = ((hemboss * (hk - hcol(vec2((hp.x + (hresolution.x / hdelta)), hp.y)))) / hdelta);
    float hdy = ((hemboss * (hk - hcol(vec2(hp.x, (hp.y + (hresolution.y / hdelta)))))) / hdelta);
    vec2 hs = vec2((hp.x + hdx), (-(hp.y + hdy)));
    float hb = (1.0 + ((hdx * hdy) * hintence));
    return (texture(htex0, hs) * vec4(hb));
}
in vec4 fx_v_TEXCOORD0;
layout(location = 0) out vec4 fx_o_COLOR0;
uniform int fx_ff_alphafunc;
uniform float fx_ff_alpharef;
void main()
{
    vec2 fx_p0;
    vec4 fx_p1;
    fx_p0 = (fx_v_TEXCOORD0).xy;
    fx_p1 = vec4(0);
    vec4 fx_ret = hmain(fx_p0, fx_p1);
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
