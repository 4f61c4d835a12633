// A missing semicolon, then an unclosed technique.
float4 Color = float4(1, 0, 0, 1)
float Scale = 2;

float4 PS() : COLOR
{
    return Color * Scale;
}

technique Broken
{
    pass P0
    {
        PixelShader = compile ps_2_0 PS();
    }
