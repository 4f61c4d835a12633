#version 330 core
float fx_pow(float x, float y) { return (x == 0.0 && y < 0.0) ? uintBitsToFloat(0x7F800000u) : pow(x, y); }
vec2 fx_pow(vec2 x, vec2 y) { return mix(pow(x, y), vec2(uintBitsToFloat(0x7F800000u)), bvec2(vec2(equal(x, vec2(0.0))) * vec2(lessThan(y, vec2(0.0))))); }
vec3 fx_pow(vec3 x, vec3 y) { return mix(pow(x, y), vec3(uintBitsToFloat(0x7F800000u)), bvec3(vec3(equal(x, vec3(0.0))) * vec3(lessThan(y, vec3(0.0))))); }
vec4 fx_pow(vec4 x, vec4 y) { return mix(pow(x, y), vec4(uintBitsToFloat(0x7F800000u)), bvec4(vec4(equal(x, vec4(0.0))) * vec4(lessThan(y, vec4(0.0))))); }
uniform float hSpecularPower;
uniform float hPointRange;
uniform vec3 hEyePosition;
uniform vec3 hLightDirection;
uniform vec4 hLightColor;
uniform vec3 hPointPositions[3];
uniform vec4 hPointColors[3];
uniform sampler2D hDiffuseSampler;
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
vec4 hPixelLit(vec2 htex, vec3 hnormal, vec3 hworldPos)
{
    vec3 hspecular;
    vec3 hdiffuse = hLighting(hworldPos, (normalize(hnormal)), hspecular);
    vec4 hbase = texture(hDiffuseSampler, htex);
    return vec4(((hbase.xyz * (hAmbientColor.xyz + hdiffuse)) + hspecular), hbase.w);
}
in vec4 fx_v_TEXCOORD0;
in vec4 fx_v_TEXCOORD1;
in vec4 fx_v_TEXCOORD2;
layout(location = 0) out vec4 fx_o_COLOR0;
uniform int fx_ff_alphafunc;
uniform float fx_ff_alpharef;
void main()
{
    vec2 fx_p0;
    vec3 fx_p1;
    vec3 fx_p2;
    fx_p0 = (fx_v_TEXCOORD0).xy;
    fx_p1 = (fx_v_TEXCOORD1).xyz;
    fx_p2 = (fx_v_TEXCOORD2).xyz;
    vec4 fx_ret = hPixelLit(fx_p0, fx_p1, fx_p2);
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
