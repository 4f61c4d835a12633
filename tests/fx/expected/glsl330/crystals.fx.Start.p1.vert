#version 330 core
struct hVS_OUTPUT {
    vec4 hhposition;
    vec2 htexture0;
};
struct hVS_INPUT {
    vec3 hposition;
    vec2 htexture0;
};
hVS_OUTPUT hmyvs(hVS_INPUT hIN)
{
    hVS_OUTPUT hOUT;
    (hOUT.hhposition = vec4(hIN.hposition.x, hIN.hposition.y, hIN.hposition.z, 1.0));
    (hOUT.htexture0 = hIN.htexture0);
    return hOUT;
}
layout(location = 0) in vec4 fx_a_POSITION0;
layout(location = 3) in vec4 fx_a_TEXCOORD0;
out vec4 fx_v_TEXCOORD0;
void main()
{
    hVS_INPUT fx_p0;
    fx_p0.hposition = (fx_a_POSITION0).xyz;
    fx_p0.htexture0 = (fx_a_TEXCOORD0).xy;
    hVS_OUTPUT fx_ret = hmyvs(fx_p0);
    vec4 fx_position = fx_ret.hhposition;
    gl_Position = vec4(fx_position.x, -fx_position.y, 2.0 * fx_position.z - fx_position.w, fx_position.w);
    fx_v_TEXCOORD0 = vec4(fx_ret.htexture0, 0.0, 1.0);
}
