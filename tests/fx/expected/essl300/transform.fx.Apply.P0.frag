#version 300 es
precision highp float;
precision highp int;
precision highp sampler2D;
precision highp sampler3D;
precision highp samplerCube;
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
void main()
{
    vec2 fx_p0;
    fx_p0 = (fx_v_TEXCOORD0).xy;
    vec4 fx_ret = hColorPS(fx_p0);
    fx_o_COLOR0 = fx_ret;
}
