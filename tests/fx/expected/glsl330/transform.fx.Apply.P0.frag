#version 330 core
uniform sampler2D hPictureSampler;
uniform mat3 hColorMatrix;
uniform vec4 hBias;
vec4 hColorPS(vec2 htex)
{
    vec4 hc = texture(hPictureSampler, htex);
    vec3 hrgb = ((hc.xyz * hColorMatrix) + hBias.xyz);
    return vec4(hrgb, 1);
}
in vec4 fx_v_TEXCOORD0;
layout(location = 0) out vec4 fx_o_COLOR0;
uniform int fx_ff_alphafunc;
uniform float fx_ff_alpharef;
void main()
{
    vec2 fx_p0;
    fx_p0 = (fx_v_TEXCOORD0).xy;
    vec4 fx_ret = hColorPS(fx_p0);
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
