// A tour of the language: the preprocessor, overloads, out parameters, loops of every kind,
// swizzles, vector comparisons, integer maths, fmod's truncation and intrinsics with their
// Direct3D meaning. The pixel shader writes values the test recomputes on the CPU.
#define SQUARE(x) ((x) * (x))
#define CHANNELS 4
#ifndef CHANNELS
#error CHANNELS must be defined
#elif CHANNELS == 4
#define USE_ALPHA 1
#else
#define USE_ALPHA 0
#endif

float Scale = 2.5;
int Count = 3;
float4 Values = float4(-2.75, 3.5, 0.25, -0.5);
static float Offset = SQUARE(0.5);

struct Result
{
    float4 color : COLOR0;
};

float Twice(float x) { return x * 2; }
float2 Twice(float2 x) { return x * 3; }  // a distinct overload on purpose
int Twice(int x) { return x + 100; }

void Split(float v, out float whole, out float part)
{
    part = modf(v, whole);
}

float Accumulate(int n)
{
    float sum = 0;
    int i = 0;
    while (i < n) { sum += i; i++; }
    do { sum += 0.5; } while (false);
    for (int k = 0; k < 10; k++)
    {
        if (k == 2) continue;
        if (k > 4) break;
        sum += 1;
    }
    return sum;  // n = 3: 0 + 1 + 2 + 0.5 + 4 = 7.5
}

float4 FeaturesPS(float2 uv : TEXCOORD0) : COLOR
{
    Result r = (Result)0;
    float whole, part;
    Split(Values.y, whole, part);                        // 3, 0.5
    float a = fmod(Values.x, 1.0);                       // -0.75 (truncating)
    float b = frac(Values.x);                            // 0.25
    int3 iv = int3(7, -7, 9);
    int3 q = iv / 2;                                     // 3, -3, 4
    bool4 gt = Values > 0;                               // F T T F
    float s, c;
    sincos(0.0, s, c);                                   // 0, 1
    float t = Twice(1.5) + Twice(float2(1, 2)).y + Twice(1); // 3 + 6 + 101 = 110
    r.color.x = (a + 1) * 0.5 + part * 0.1;              // 0.125 + 0.05 = 0.175
    r.color.y = Accumulate(Count) / 10 + Offset * s;     // 0.75
    r.color.z = (q.x + q.y + q.z) / 8.0 + (any(gt) ? 0.25 : 0) - (all(gt) ? 1 : 0); // 0.5 + 0.25
    r.color.w = USE_ALPHA ? saturate(t / 220 + b * c) : 0;  // 0.5 + 0.25
    r.color.xy = r.color.yx;                             // swap: 0.75, 0.175
    return r.color * (Scale / 2.5);
}

float4 PassVS(float4 p : POSITION, float2 uv : TEXCOORD0, out float2 oUv : TEXCOORD0) : POSITION
{
    oUv = uv;
    return p;
}

technique Tour
{
    pass P0
    {
        VertexShader = compile vs_3_0 PassVS();
        PixelShader = compile ps_3_0 FeaturesPS();
    }
}
