#version 330 core
uniform sampler2D hSceneSampler;
float hWeights[5];
int hTAPS;
uniform vec2 hTexelSize;
vec4 hBlur(vec2 htex, vec2 hdirection)
{
    vec4 hsum = (texture(hSceneSampler, htex) * vec4(hWeights[0]));
    int hi = 1;
    for (; (hi < hTAPS); (hi++))
    {
        vec2 hoffset = ((hdirection * hTexelSize) * vec2(hi));
        (hsum = (hsum + (texture(hSceneSampler, (htex + hoffset)) * vec4(hWeights[hi]))));
        (hsum = (hsum + (texture(hSceneSampler, (htex - hoffset)) * vec4(hWeights[hi]))));
    }
    return hsum;
}
vec4 hBlurPS(vec2 htex, vec2 hdirection)
{
    return hBlur(htex, hdirection);
}
in vec4 fx_v_TEXCOORD0;
layout(location = 0) out vec4 fx_o_COLOR0;
void main()
{
    hWeights = float[5](0.227027, 0.1945946, 0.1216216, 0.054054, 0.016216);
    hTAPS = 5;
    vec2 fx_p0;
    fx_p0 = (fx_v_TEXCOORD0).xy;
    vec4 fx_ret = hBlurPS(fx_p0, vec2(1, 0));
    fx_o_COLOR0 = fx_ret;
}
