// Entry points that cannot work: an input without a semantic, no POSITION output, a pixel
// profile for a vertex shader.
float4x4 WVP;

struct VS_OUT { float4 pos : TEXCOORD1; float2 uv : TEXCOORD0; };

VS_OUT VS(float4 p : POSITION, float2 uv)
{
    VS_OUT o;
    o.pos = mul(p, WVP);
    o.uv = uv;
    return o;
}

float4 PS(float2 uv : TEXCOORD0) : COLOR { return float4(uv, 0, 1); }

VS_OUT VS2(float4 p : POSITION, float2 uv : TEXCOORD0)
{
    VS_OUT o = { p, uv };
    return o;
}

technique A { pass P { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }
technique B { pass P { VertexShader = compile ps_2_0 PS(); } }
technique C { pass P { VertexShader = compile vs_3_0 VS2(); PixelShader = compile ps_3_0 PS(); } }
