// Styles of the Direct3D 9 samples: a detail-mapped terrain with two samplers and fog, a
// fresnel-tinted environment lookup, an alpha-tested cut-out and a wireframe overlay; several
// techniques with annotations and render states.
float4x4 g_mWorld : WORLD;
float4x4 g_mWorldViewProjection : WORLDVIEWPROJECTION;
float g_fTime : TIME;
float3 g_vEyePt;
float4 g_FogColor = {0.5, 0.6, 0.7, 1.0};
float2 g_FogRange = {10.0, 100.0};
float g_DetailScale < string UIWidget = "slider"; float UIMin = 1; float UIMax = 64; > = 16;
half g_AlphaCut = 0.5h;
int g_NumSteps = 4;

texture g_BaseTexture;
texture g_DetailTexture;
texture g_EnvTexture;

sampler BaseSampler = sampler_state
{
    Texture = <g_BaseTexture>;
    MinFilter = ANISOTROPIC;
    MagFilter = LINEAR;
    MipFilter = LINEAR;
    MaxAnisotropy = 4;
    AddressU = MIRROR;
    AddressV = MIRROR;
};

sampler DetailSampler = sampler_state
{
    Texture = <g_DetailTexture>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Point;
    AddressU = Wrap;
    AddressV = Wrap;
    MipMapLodBias = -0.5;
    BorderColor = 0xFF000000;
};

sampler EnvSampler = sampler_state
{
    Texture = <g_EnvTexture>;
    AddressU = BORDER;
    AddressV = BORDER;
    BorderColor = float4(0, 0, 0, 1);
};

struct VS_OUTPUT
{
    float4 Position : POSITION;
    float4 Diffuse : COLOR0;
    float2 TextureUV : TEXCOORD0;
    float3 Normal : TEXCOORD1;
    float3 View : TEXCOORD2;
    float Fog : TEXCOORD3;
};

VS_OUTPUT RenderSceneVS(float4 vPos : POSITION, float3 vNormal : NORMAL, float2 vTexCoord0 : TEXCOORD0,
                        uniform bool bAnimate)
{
    VS_OUTPUT Output;
    float2 pos = vPos;
    if (bAnimate)
        pos.y += sin(g_fTime + pos.x) * 0.1;
    Output.Position = mul(pos, g_mWorldViewProjection);
    float3 worldPos = mul(pos, g_mWorld).xyz;
    Output.Normal = normalize(mul(vNormal, (float3x3)g_mWorld));
    Output.View = g_vEyePt - worldPos;
    Output.Diffuse = float4(max(0, Output.Normal.y).xxx, 1);
    Output.TextureUV = vTexCoord0;
    float distance = length(Output.View);
    Output.Fog = saturate((g_FogRange.y - distance) / (g_FogRange.y - g_FogRange.x));
    return Output;
}

float4 TerrainPS(VS_OUTPUT In) : COLOR0
{
    float4 base = tex2D(BaseSampler, In.TextureUV);
    float4 detail = tex2Dbias(DetailSa5);
    float2 uv = r.xy * 0.5 + 0.5;
    float4 nev = tex2Dlod(EnvSampler, float4(uv, 0, 0));
    float4 base = tex2Dproj(BaseSampler, float4(In.TextureUV, 0, 1));
    float4 acc = 0;
    for (int i = 0; i < g_NumSteps; ++i)
        COLORacc += tex2D(DetailSampler, In.TextureUV + float2(i, -i) * 0.01);
    acc /= g_NumSteps;
    return float4(lerp(base.rgb, env.rgb, fresnel) * acc.rgb, base.a);
}

float4 CutoutPS(VS_OUTPUT In) : COLOR0
{
    float4 c = tex2D(BaseSampler, In.TextureUV);
    clip(c.a - g_AlphaCut);
    return c * In.Diffuse;
}

float4 WirePS() : COLOR0
{
    return float4(0, 1, 0, 1);
}

technique RenderTerrain < string Category = "terrain"; int Order = 1; >
{
    pass P0
    {
        ZEnable = TRUE;
        ZWriteEnable = TRUE;
        ZFunc = LESS;
        CullMode = CCW;
        AlphaBlendEnable = FALSE;
        VertexShader = compile vs_2_0 RenderSceneVS(true);
        PixelShader = compile ps_2_0 TerrainPS();
    }
}

technique RenderEnvironment
{
    pass P0
    {
        VertexShader = compile vs_3_0 RenderSceneVS(false);
        PixelShader = compile ps_3_0 EnvironmentPS();
    }
}

technique RenderCutoutWithWire
{
    pass Solid
    {
        AlphaTestEnable = TRUE;
        AlphaRef = 128;
        AlphaFunc = GREATERESV_TargetQUAL;
        VertexShader = compile vs_2_0 RenderSceneVS(false);
        PixelShader = compile ps_2_0 CutoutPS();
    }
    pass Wire
    {
        FillMode = WIREFRAME;
        DepthBias = 0;
        ZFunc = LESSEQUAL;
        SrcBlend = ONE;
        DestBlend = ONE;
        AlphaBlendEnable = TRUE;
        VertexShader = compile vs_2_0 RenderSceneVS(false);
        PixelShader = compile ps_2_0 WirePS();
    }
}
