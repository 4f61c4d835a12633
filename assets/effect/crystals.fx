// crystals: drifting interference that displaces and embosses it
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
// sum of 'steps' drifting cosine waves at q, folded into -1 .. 1
float col(float2 q)
{
    float turn = 2.0 * PI / float(angle);
    float sum = 0.0;
    for (int i = 0; i < steps; i++)
    {
        float theta = turn * float(i);
        float ax = q.x + cos(theta) * time * speed + time * speed_x;
        float ay = q.y - (sin(theta) * time * speed - time * speed_y);
        sum += cos((ax * cos(theta) - ay * sin(theta)) * frequency) * intensity;
    }
    return cos(sum);
}

float4 main(float2 uv : TEXCOORD0, float4 tint : COLOR) : COLOR
{
    float2 p = (float2(uv.x, 1.0 - uv.y) * resolution) / resolution;
    float k = col(p);
    float dx = emboss * (k - col(float2(p.x + resolution.x / delta, p.y))) / delta;
    float dy = emboss * (k - col(float2(p.x, p.y + resolution.y / delta))) / delta;
    float2 s = float2(p.x + dx, -(p.y + dy));
    float b = 1.0 + dx * dy * intence;
    return tex2D(tex0, s) * b;
}

struct VS_INPUT { float3 position : POSITION; float2 texture0 : TEXCOORD0; };
struct VS_OUTPUT { float4 hposition : POSITION; float2 texture0 : TEXCOORD0; };

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
