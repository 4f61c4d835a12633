#version 330 core
uniform mat4 fx_ff_wvp;
layout(location = 0) in vec4 fx_a_POSITION0;
layout(location = 3) in vec4 fx_a_TEXCOORD0;
out vec4 fx_v_TEXCOORD0;
void main()
{
    vec4 fx_position = fx_ff_wvp * fx_a_POSITION0;
    gl_Position = vec4(fx_position.x, -fx_position.y, 2.0 * fx_position.z - fx_position.w, fx_position.w);
    fx_v_TEXCOORD0 = fx_a_TEXCOORD0;
}
