#version 300 es
precision highp float;
precision highp int;
precision highp sampler2D;
precision highp sampler3D;
precision highp samplerCube;
uniform sampler2D hSceneSampler;
uniform vec3 hTint;
vec4 hTintPS(vec2 htex)
{
    vec4 hc = texture(hSceneSampler, htex);
    (hc.xyz = (hc.xyz * hTint));
    return hc;
}
in vec4 fx_v_TEXCOORD0;
layout(location = 0) out vec4 fx_o_COLOR0;
void main()
{
    vec2 fx_p0;
    fx_p0 = (fx_v_TEXCOORD0).xy;
    vec4 fx_ret = hTintPS(fx_p0);
    fx_o_COLOR0 = fx_ret;
}
