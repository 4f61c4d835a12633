#version 300 es
precision highp float;
precision highp int;
precision highp sampler2D;
precision highp sampler3D;
precision highp samplerCube;
struct hVS_OUTPUT {
    vec4 hPosition;
    vec2 hTex;
};
hVS_OUTPUT hFullScreenVS(vec3 hpos, vec2 htex)
{
    hVS_OUTPUT ho;
    (ho.hPosition = vec4(hpos, 1));
    (ho.hTex = htex);
    return ho;
}
layout(location = 0) in vec4 fx_a_POSITION0;
layout(location = 3) in vec4 fx_a_TEXCOORD0;
out vec4 fx_v_TEXCOORD0;
void main()
{
    vec3 fx_p0;
    vec2 fx_p1;
    fx_p0 = (fx_a_POSITION0).xyz;
    fx_p1 = (fx_a_TEXCOORD0).xy;
    hVS_OUTPUT fx_ret = hFullScreenVS(fx_p0, fx_p1);
    vec4 fx_position = fx_ret.hPosition;
    gl_Position = vec4(fx_position.x, -fx_position.y, 2.0 * fx_position.z - fx_position.w, fx_position.w);
    fx_v_TEXCOORD0 = vec4(fx_ret.hTex, 0.0, 1.0);
}
