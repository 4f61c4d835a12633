// Matrix conventions: positions through a row-vector transform, colours through a colour
// matrix, texture coordinates through a 3x2 matrix; float4x4 from SetMatrix, the others from
// SetValue in row-major order.
float4x4 Transform = {1, 0, 0, 0,
                      0, 1, 0, 0,
                      0, 0, 1, 0,
                      0, 0, 0, 1};
float3x3 ColorMatrix = float3x3(1, 0, 0, 0, 1, 0, 0, 0, 1);
float3x2 TexMatrix = {1, 0, 0, 1, 0, 0};
float4 Bias = 0;

texture Picture;
sampler PictureSampler = sampler_state
{
    Texture = (Picture);
    MinFilter = Point;
    MagFilter = Point;
    AddressU = Clamp;
    AddressV = Clamp;
};

void TransformVS(in float4 position : POSITION, in float2 tex : TEXCOORD0,
                 out float4 oPosition : POSITION, out float2 oTex : TEXCOORD0)
{
    oPosition = mul(position, Transform);
    oTex = mul(float3(tex, 1), TexMatrix);
}

float4 ColorPS(float2 tex : TEXCOORD0) : COLOR
{
    float4 c = tex2D(PictureSampler, tex);
    // mul(M, v): the matrix on the left takes v as a column vector.
    float3 rgb = mul(ColorMatrix, c.rgb) + Bias.rgb;
    return float4(rgb, 1);
}

technique Apply
{
    pass P0
    {
        CullMode = NONE;
        VertexShader = compile vs_2_0 TransformVS();
        PixelShader = compile ps_2_0 ColorPS();
    }
}
