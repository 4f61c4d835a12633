// Per-vertex and per-pixel lighting of a textured mesh: a directional light plus point lights
// in an array, with Blinn-Phong specular.
#define MAX_POINT_LIGHTS 3

float4x4 World : WORLD;
float4x4 WorldViewProjection : WORLDVIEWPROJECTION
<
    string UIName = "World view projection";
>;
float3 EyePosition = {0.0f, 0.0f, -5.0f};

float3 LightDirection < string UIName = "Light direction"; float UIMin = -1; float UIMax = 1; >
    = normalize(float3(0.5, -1.0, 0.5));
float4 LightColor = float4(1, 0.95, 0.9, 1);
float4 AmbientColor = {0.1, 0.1, 0.15, 1.0};
float3 PointPositions[MAX_POINT_LIGHTS];
float4 PointColors[MAX_POINT_LIGHTS];
float PointRange = 10.0;
float SpecularPower = 32;
bool UseTexture = true;

texture DiffuseMap < string ResourceName = "stone.png"; >;
sampler2D DiffuseSampler = sampler_state
{
    Texture = <DiffuseMap>;
    MinFilter = LINEAR;
    MagFilter = LINEAR;
    MipFilter = LINEAR;
    AddressU = WRAP;
    AddressV = WRAP;
};

struct VS_IN
{
    float4 Position : POSITION;
    float3 Normal : NORMAL;
    float2 Tex : TEXCOORD0;
};

struct VS_OUT
{
    float4 Position : POSITION;
    float4 Diffuse : COLOR0;
    float2 Tex : TEXCOORD0;
    float3 WorldNormal : TEXCOORD1;
    float3 WorldPos : TEXCOORD2;
};

// Diffuse and specular of one light; the specular term comes back in "specular".
float3 Shade(float3 n, float3 toLight, float3 toEye, float3 color, out float3 specular)
{
    float ndotl = saturate(dot(n, toLight));
    float3 h = normalize(toLight + toEye);
    specular = color * pow(saturate(dot(n, h)), SpecularPower) * (ndotl > 0);
    return color * ndotl;
}

float Attenuation(float distance)
{
    return saturate(1 - distance / PointRange);
}

float3 Lighting(float3 worldPos, float3 normal, out float3 specularSum)
{
    float3 toEye = normalize(EyePosition - worldPos);
    float3 spec;
    float3 diffuse = Shade(normal, -LightDirection, toEye, LightColor.rgb, spec);
    specularSum = spec;
    [unroll]
    for (int i = 0; i < MAX_POINT_LIGHTS; ++i)
    {
        float3 d = PointPositions[i] - worldPos;
        float len = length(d);
        float att = Attenuation(len);
        if (att <= 0)
            continue;
        diffuse += Shade(normal, d / len, toEye, PointColors[i].rgb, spec) * att;
        specularSum += spec * att;
    }
    return diffuse;
}

VS_OUT VertexLit(VS_IN input)
{
    VS_OUT output = (VS_OUT)0;
    output.Position = mul(input.Position, WorldViewProjection);
    float3 worldPos = mul(input.Position, World).xyz;
    float3 normal = normalize(mul(input.Normal, (float3x3)World));
    float3 specular;
    float3 diffuse = Lighting(worldPos, normal, specular);
    output.Diffuse = float4(AmbientColor.rgb + diffuse + specular, 1);
    output.Tex = input.Tex;
    output.WorldNormal = normal;
    output.WorldPos = worldPos;
    return output;
}

float4 PixelVertexLit(VS_OUT input) : COLOR
{
    float4 base = UseTexture ? tex2D(DiffuseSampler, input.Tex) : 1;
    return base * input.Diffuse;
}

float4 PixelLit(float2 tex : TEXCOORD0, float3 normal : TEXCOORD1, float3 worldPos : TEXCOORD2) : COLOR
{
    float3 specular;
    float3 diffuse = Lighting(worldPos, normalize(normal), specular);
    float4 base = tex2D(DiffuseSampler, tex);
    return float4(base.rgb * (AmbientColor.rgb + diffuse) + specular, base.a);
}

technique PerVertex
<
    string Description = "Gouraud shading";
>
{
    pass P0
    {
        CullMode = CCW;
        ZEnable = TRUE;
        ZWriteEnable = TRUE;
        VertexShader = compile vs_2_0 VertexLit();
        PixelShader = compile ps_2_0 PixelVertexLit();
    }
}

technique PerPixel
{
    pass P0
    {
        CullMode = CCW;
        ZEnable = true;
        ZFunc = LESSEQUAL;
        VertexShader = compile vs_3_0 VertexLit();
        PixelShader = compile ps_3_0 PixelLit();
    }
}
