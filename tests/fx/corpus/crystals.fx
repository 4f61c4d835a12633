// The intro's post-processing effect: displaces and embosses the picture with a drifting
// interference pattern.
texture texture0;
sampler tex0 = sampler_state
{
    Texture = <texture0>;
};

uniform float time;
uniform float2 resolution = float2(933, 511);

float PI = 3.1415926535897932;
float speed = 0.1;
float speed_x = 0.2;
float speed_y = 0.4;
float intensity = 3;
int steps = 3;
float frequency = 6.0;
int angle = 8;
float delta = 30.0;
float intence = 300.0;
float emboss = 0.4;

float col(float2 coord)
{
    float delta_theta = 2.0 * PI / float(angle);
    float col = 0.0;
    float theta = 0.0;
    for (int i = 0; i < steps; i++)
    {
        float2 adjc = coord;
        theta = delta_theta * float(i);
        adjc.x += cos(theta) * time * speed + time * speed_x;
        adjc.y -= sin(theta) * time * speed - time * speed_y;
        col = col + cos((adjc.x * cos(theta) - adjc.y * sin(theta)) * frequency) * intensity;
    }
    return cos(col);
}

float4 main(float2 texCoord : TEXCOORD0, float4 color : COLOR) : COLOR
{
    float2 p = (float2(texCoord.x, 1.0 - texCoord.y) * resolution) / resolution;
    float2 c1 = p, c2 = p;
    float cc1 = col(c1);
    c2.x += resolution.x / delta;
    float dx = emboss * (cc1 - col(c2)) / delta;
    c2.x = p.x;
    c2.y += resolution.y / delta;
    float dy = emboss * (cc1 - col(c2)) / delta;
    c1.x += dx;
    c1.y = -(c1.y + dy);
    float alpha = 1.0 + dx * dy * intence;
    return tex2D(tex0, c1) * alpha;
}

struct VS_INPUT
{
    float3 position : POSITION;
    float2 texture0 : TEXCOORD0;
};

struct VS_OUTPUT
{
    float4 hposition : POSITION;
    float2 texture0 : TEXCOORD0;
};

VS_OUTPUT myvs(VS_INPUT IN)
{
    VS_OUTPUT OUT;
    OUT.hposition = float4(IN.position.x, IN.position.y, IN.position.z, 1.0);
    OUT.texture0 = IN.texture0;
    return OUT;
}

technique Start
{
    pass p1
    {
        VertexShader = compile vs_3_0 myvs();
        PixelShader = compile ps_3_0 main();
    }
}
