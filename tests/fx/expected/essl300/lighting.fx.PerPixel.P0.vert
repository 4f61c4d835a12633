#version 300 es
precision highp float;
precision highp int;
precision highp sampler2D;
precision highp sampler3D;
precision highp samplerCube;
float fx_pow(float x, float y) { return (x == 0.0 && y < 0.0) ? uintBitsToFloat(0x7F800000u) : pow(x, y); }
vec2 fx_pow(vec2 x, vec2 y) { return mix(pow(x, y), vec2(uintBitsToFloat(0x7F800000u)), bvec2(vec2(equal(x, vec2(0.0))) * vec2(lessThan(y, vec2(0.0))))); }
vec3 fx_pow(vec3 x, vec3 y) { return mix(pow(x, y), vec3(uintBitsToFloat(0x7F800000u)), bvec3(vec3(equal(x, vec3(0.0))) * vec3(lessThan(y, vec3(0.0))))); }
vec4 fx_pow(vec4 x, vec4 y) { return mix(pow(x, y), vec4(uintBitsToFloat(0x7F800000u)), bvec4(vec4(equal(x, vec4(0.0))) * vec4(lessThan(y, vec4(0.0))))); }
struct hVS_OUT {
    vec4 hPosition;
    vec4 hDiffuse;
    vec2 hTex;
    vec3 hWorldNormal;
    vec3 hWorldPos;
};
struct hVS_IN {
    vec4 hPosition;
    vec3 hNormal;
    vec2 hTex;
};
uniform float hSpecularPower;
uniform float hPointRange;
uniform vec3 hEyePosition;
uniform vec3 hLightDirection;
uniform vec4 hLightColor;
uniform vec3 hPointPositions[3];
uniform vec4 hPointColors[3];
uniform mat4 hWorldViewProjection;
uniform mat4 hWorld;
uniform vec4 hAmbientColor;
vec3 hShade(vec3 hn, vec3 htoLight, vec3 htoEye, vec3 hcolor, out vec3 hspecular)
{
    float hndotl = (clamp((dot(hn, htoLight)), 0.0, 1.0));
    vec3 hh = (normalize((htoLight + htoEye)));
    (hspecular = ((hcolor * vec3((fx_pow((clamp((dot(hn, hh)), 0.0, 1.0)), hSpecularPower)))) * vec3((hndotl > 0.0))));
    return (hcolor * vec3(hndotl));
}
float hAttenuation(float hdistance)
{
    return (clamp((1.0 - (hdistance / hPointRange)), 0.0, 1.0));
}
vec3 hLighting(vec3 hworldPos, vec3 hnormal, out vec3 hspecularSum)
{
    vec3 htoEye = (normalize((hEyePosition - hworldPos)));
    vec3 hspec;
    vec3 hdiffuse = hShade(hnormal, (-hLightDirection), htoEye, hLightColor.xyz, hspec);
    (hspecularSum = hspec);
    int hi = 0;
    for (; (hi < 3); (++hi))
    {
        vec3 hd = (hPointPositions[hi] - hworldPos);
        float hlen = (length(hd));
        float hatt = hAttenuation(hlen);
        if ((hatt <= 0.0))
            continue;
        (hdiffuse = (hdiffuse + (hShade(hnormal, (hd / vec3(hlen)), htoEye, hPointColors[hi].xyz, hspec) * vec3(hatt))));
        (hspecularSum = (hspecularSum + (hspec * vec3(hatt))));
    }
    return hdiffuse;
}
hVS_OUT hVertexLit(hVS_IN hinput)
{
    hVS_OUT houtput = hVS_OUT(vec4(0), vec4(0), vec2(0), vec3(0), vec3(0));
    (houtput.hPosition = (hWorldViewProjection * hinput.hPosition));
    vec3 hworldPos = (hWorld * hinput.hPosition).xyz;
    vec3 hnormal = (normalize((mat3(hWorld) * hinput.hNormal)));
    vec3 hspecular;
    vec3 hdiffuse = hLighting(hworldPos, hnormal, hspecular);
    (houtput.hDiffuse = vec4(((hAmbientColor.xyz + hdiffuse) + hspecular), 1));
    (houtput.hTex = hinput.hTex);
    (houtput.hWorldNormal = hnormal);
    (houtput.hWorldPos = hworldPos);
    return houtput;
}
layout(location = 0) in vec4 fx_a_POSITION0;
layout(location = 1) in vec4 fx_a_NORMAL0;
layout(location = 3) in vec4 fx_a_TEXCOORD0;
out vec4 fx_v_COLOR0;
out vec4 fx_v_TEXCOORD0;
out vec4 fx_v_TEXCOORD1;
out vec4 fx_v_TEXCOORD2;
void main()
{
    hVS_IN fx_p0;
    fx_p0.hPosition = fx_a_POSITION0;
    fx_p0.hNormal = (fx_a_NORMAL0).xyz;
    fx_p0.hTex = (fx_a_TEXCOORD0).xy;
    hVS_OUT fx_ret = hVertexLit(fx_p0);
    vec4 fx_position = fx_ret.hPosition;
    gl_Position = vec4(fx_position.x, -fx_position.y, 2.0 * fx_position.z - fx_position.w, fx_position.w);
    fx_v_COLOR0 = fx_ret.hDiffuse;
    fx_v_TEXCOORD0 = vec4(fx_ret.hTex, 0.0, 1.0);
    fx_v_TEXCOORD1 = vec4(fx_ret.hWorldNormal, 1.0);
    fx_v_TEXCOORD2 = vec4(fx_ret.hWorldPos, 1.0);
}
