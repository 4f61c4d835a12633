// Type errors: a struct where a vector is needed, a wrong constructor, a swizzle too far.
struct Light { float3 dir; float4 color; };
Light g_light;

float4 PS(float2 uv : TEXCOORD0) : COLOR
{
    float3 d = g_light;
    float4 c = float4(uv, 1);
    return c.xyzq;
}

technique T { pass P { PixelShader = compile ps_2_0 PS(); } }
