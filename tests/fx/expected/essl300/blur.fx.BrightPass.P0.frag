#version 300 es
precision highp float;
precision highp int;
precision highp sampler2D;
precision highp sampler3D;
precision highp samplerCube;
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
void main()
{
    vec2 fx_p0;
    fx_p0 = (fx_v_TEXCOORD0).xy;
    vec4 fx_ret = hBrightPS(fx_p0);
    fx_o_COLOR0 = fx_ret;
}
