#version 300 es
precision highp float;
precision highp int;
precision highp sampler2D;
precision highp sampler3D;
precision highp samplerCube;
uniform mat4 hTransform;
uniform mat3x2 hTexMatrix;
void hTransformVS(vec4 hposition, vec2 htex, out vec4 hoPosition, out vec2 hoTex)
{
    (hoPosition = (hTransform * hposition));
    (hoTex = (hTexMatrix * vec3(htex, 1)));
}
layout(location = 0) in vec4 fx_a_POSITION0;
layout(location = 3) in vec4 fx_a_TEXCOORD0;
out vec4 fx_v_TEXCOORD0;
void main()
{
    vec4 fx_p0;
    vec2 fx_p1;
    vec4 fx_p2;
    vec2 fx_p3;
    fx_p0 = fx_a_POSITION0;
    fx_p1 = (fx_a_TEXCOORD0).xy;
    hTransformVS(fx_p0, fx_p1, fx_p2, fx_p3);
    vec4 fx_position = fx_p2;
    gl_Position = vec4(fx_position.x, -fx_position.y, 2.0 * fx_position.z - fx_position.w, fx_position.w);
    fx_v_TEXCOORD0 = vec4(fx_p3, 0.0, 1.0);
}
