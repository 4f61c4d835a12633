#version 300 es
precision highp float;
precision highp int;
precision highp sampler2D;
precision highp sampler3D;
precision highp samplerCube;
vec4 hPassVS(vec4 hp, vec2 huv, out vec2 hoUv)
{
    (hoUv = huv);
    return hp;
}
layout(location = 0) in vec4 fx_a_POSITION0;
layout(location = 3) in vec4 fx_a_TEXCOORD0;
out vec4 fx_v_TEXCOORD0;
void main()
{
    vec4 fx_p0;
    vec2 fx_p1;
    vec2 fx_p2;
    fx_p0 = fx_a_POSITION0;
    fx_p1 = (fx_a_TEXCOORD0).xy;
    vec4 fx_ret = hPassVS(fx_p0, fx_p1, fx_p2);
    fx_v_TEXCOORD0 = vec4(fx_p2, 0.0, 1.0);
    vec4 fx_position = fx_ret;
    gl_Position = vec4(fx_position.x, -fx_position.y, 2.0 * fx_position.z - fx_position.w, fx_position.w);
}
