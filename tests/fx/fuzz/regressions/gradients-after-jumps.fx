// A seed for the flow analysis and the flattening: gradients after returns, breaks and
// continues some pixels take, under a switch on a varying selector, and a discard in a
// function called from a flattened side.
sampler2D s;
static float g = 0;
void Kill(float v) { clip(v); }
float Helper(float2 uv, out float o) {
    o = 0;
    [unroll] for (int i = 0; i < 3; i++) {
        switch (i) {
            case 0: if (uv.x > 0.5) continue; o += 1; break;
            case 1: if (uv.y > 0.5) return o; break;
        }
        for (int j = 0; j < 2; j++) { if (uv.x > j) return 5; }
        o += tex2D(s, uv * i).x;
    }
    g += 1;
    return ddx(o);
}
float4 Main(float2 uv : TEXCOORD0) : COLOR0 {
    float o;
    float r = Helper(uv, o);
    if (uv.x > 0.25) { Kill(-1); r += ddy(uv.y); }
    switch ((int)(uv.x * 4)) { case 0: { float k = 1; r += k; } break; default: r += fwidth(uv.x); }
    do { if (uv.y > 0.1) break; r += ddx(r); } while (false);
    if (uv.y > 0.75) return 1;
    return tex2Dbias(s, float4(uv, 0, r + o + g));
}
technique T {
    pass P { PixelShader = compile ps_3_0 Main(); }
}
