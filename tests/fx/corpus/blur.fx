// Separable Gaussian blur in two passes, a brightness threshold and a tint; the blur
// passes read clamped texels, the tint pass has no vertex shader of its own.
texture SceneTexture;
float2 TexelSize = float2(1.0 / 64.0, 1.0 / 64.0);
float Threshold = 0.5;
float3 Tint = {1.0, 0.5, 0.25};

static const int TAPS = 5;
static const float Weights[TAPS] = {0.227027, 0.1945946, 0.1216216, 0.054054, 0.016216};

sampler SceneSampler = sampler_state
{
    Texture = <SceneTexture>;
    MinFilter = POINT;
    MagFilter = POINT;
    MipFilter = NONE;
    AddressU = CLAMP;
    AddressV = CLAMP;
};

struct VS_OUTPUT
{
    float4 Position : POSITION;
    float2 Tex : TEXCOORD0;
};

VS_OUTPUT FullScreenVS(float3 pos : POSITION, float2 tex : TEXCOORD0)
{
    VS_OUTPUT o;
    o.Position = float4(pos, 1);
    o.Tex = tex;
    return o;
}

float4 Blur(float2 tex, float2 direction)
{
    float4 sum = tex2D(SceneSampler, tex) * Weights[0];
    for (int i = 1; i < TAPS; i++)
    {
        float2 offset = direction * TexelSize * i;
        sum += tex2D(SceneSampler, tex + offset) * Weights[i];
        sum += tex2D(SceneSampler, tex - offset) * Weights[i];
    }
    return sum;
}

float4 BlurPS(float2 tex : TEXCOORD0, uniform float2 direction) : COLOR0
{
    return Blur(tex, direction);
}

float4 BrightPS(float2 tex : TEXCOORD0) : COLOR0
{
    float4 c = tex2D(SceneSampler, tex);
    float luminance = dot(c.rgb, float3(0.299, 0.587, 0.114));
    clip(luminance - Threshold);
    return c;
}

float4 TintPS(float2 tex : TEXCOORD0) : COLOR0
{
    float4 c = tex2D(SceneSampler, tex);
    c.rgb *= Tint;
    return c;
}

technique GaussianBlur
{
    pass Horizontal
    {
        ZEnable = FALSE;
        VertexShader = compile vs_2_0 FullScreenVS();
        PixelShader = compile ps_2_0 BlurPS(float2(1, 0));
    }
    pass Vertical
    {
        ZEnable = FALSE;
        VertexShader = compile vs_2_0 FullScreenVS();
        PixelShader = compile ps_2_0 BlurPS(float2(0, 1));
    }
}

technique BrightPass
{
    pass P0
    {
        AlphaBlendEnable = false;
        VertexShader = compile vs_2_0 FullScreenVS();
        PixelShader = compile ps_2_0 BrightPS();
    }
}

technique TintOnly
{
    pass P0
    {
        AlphaBlendEnable = TRUE;
        SrcBlend = SRCALPHA;
        DestBlend = INVSRCALPHA;
        BlendOp = ADD;
        PixelShader = compile ps_2_0 TintPS();
    }
}
