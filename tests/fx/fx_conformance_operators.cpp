// tests/fx/fx_conformance_operators.cpp: the rows of the operators and type-conversion pages
// and of the intrinsics' argument tables (one row per shape class an intrinsic takes: scalar,
// vector, matrix, float1, float1xN, floatNx1, int and bool), and the intrinsics of later
// shader models refused in models 2 and 3. Expected values are computed here, in C++.
#include <cmath>

#include "tests/fx/fx_conformance.h"

namespace fx_conformance {
namespace {

float SmoothStepF(float lo, float hi, float x) {
    float t = (x - lo) / (hi - lo);
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return t * t * (3 - 2 * t);
}

}  // namespace

std::vector<ValueCase> OperatorValueCases() {
    return {
        // --- operators: every operand class ----------------------------------------------------
        {"operators/logical-operators-evaluate-both-sides",
         "float4 Value() { int i = 0, j = 0; bool a = false && (++i > 0); bool b = true || (++j > 0);"
         " return float4(i, j, a, b); }",
         {1, 1, 0, 1}},
        {"operators/conditional-evaluates-both-sides",
         "float4 Value() { int i = 0, j = 0; bool c = true; float r = c ? (i += 2) : (j += 1); return float4(i, j, r, 0); }",
         {2, 1, 2, 0}},
        {"operators/vector-comparison-is-per-component",
         "float4 Value() { float4 a = float4(1, 2, 3, 4); float4 b = float4(1, 0, 3, 5);"
         " return (a == b) + (a < 2.5) * 2 + (a != b) * 4 + (a >= 3) * 8; }",
         {3, 6, 9, 12}},
        {"operators/int-and-bool-vector-comparison",
         "float4 Value() { int3 i = int3(1, 5, -2); bool3 b = bool3(true, false, true); bool3 e = b == bool3(true, true, true);"
         " return float4(i > 0, e.y + e.z * 2); }",
         {1, 1, 0, 2}},
        {"operators/matrix-comparison-and-not",
         "float4 Value() { float2x2 m = {1, -2, 0, 4}; bool2x2 p = m > 0; bool2x2 n = !m;"
         " return float4(p[0][0], p[0][1], n[1][0], (m <= 0)[1][1]); }",
         {1, 0, 1, 0}},
        {"operators/modulo-signs",
         "float4 Value() { int a = 7, b = -7; float f = 5.5, g = -5.5; return float4(a % -3, b % -3, f % -2, g % -2); }",
         {1, -1, std::fmod(5.5f, -2.f), std::fmod(-5.5f, -2.f)}},
        {"operators/modulo-on-vectors",
         "float4 Value() { int2 i = int2(7, -8) % 3; float3 f = float3(5.5, -1, 7) % float3(2, 0.75, 2.5); return float4(i, f.yz); }",
         {1, -2, std::fmod(-1.f, 0.75f), 2}},
        {"operators/bool-arithmetic",
         "float4 Value() { bool t = true, f = false; return float4(t + t, t * 3.5, -t, f - t); }", {2, 3.5f, -1, -1}},
        {"operators/unary-on-matrices-and-ints",
         "float4 Value() { float2x2 m = {1, -2, 3, 0}; float2x2 n = -m; int i = 5; return float4(n[0][1], (+m)[1][0], -i, !i); }",
         {2, 3, -5, 0}},
        {"operators/increment-on-components-and-matrices",
         "float4 Value() { float4 v = 0; v.x++; ++v.yz; v.w--; float2x2 m = 1; m++; m[1]--; m._m01 += 1;"
         " return float4(v.x + v.y, v.z + v.w, m[0][1], m[1][0]); }",
         {2, 0, 3, 1}},
        {"operators/increment-of-vectors-yields-vectors",
         "float4 Value() { float2 v = float2(1, 2); float2 a = v++; float2 b = ++v; int2 i = 0; i--; return float4(a.y, b.x, i.y, v.y); }",
         {2, 3, -1, 4}},
        {"operators/compound-assignment-converts",
         "float4 Value() { int i = 5; i *= 1.5; int j = 7; j /= 2.0; float f = 1; f += true; int k = 10; k -= 0.5; return float4(i, j, f, k); }",
         {7, 3, 2, 9}},
        {"operators/compound-assignment-on-matrices",
         "float4 Value() { float2x2 m = {1, 2, 3, 4}; m *= 2; m += 1; m /= float2x2(1, 1, 1, 5); return float4(m[0], m[1]); }",
         {3, 5, 7, 1.8f}},
        {"operators/compound-assignment-truncates",
         "float4 Value() { float2 v = 1; v += float4(1, 2, 3, 4); int2 i = 7; i %= int3(4, 5, 6); return float4(v, i); }",
         {2, 3, 3, 2}},
        {"operators/int-and-float-mixed",
         "float4 Value() { int i = 3; int2 v = int2(3, 4); return float4(i / 2, i / 2.0, v * 0.5); }", {1, 1.5f, 1.5f, 2}},
        {"operators/uint-arithmetic",
         "float4 Value() { uint u = 7; uint w = 2; return float4(u / w, u % w, u - 3, u * w); }", {3, 1, 4, 14}},
        {"operators/half-and-double-arithmetic",
         "float4 Value() { half h = 1.5; double d = 2.25; return float4(h * 2, d - 0.25, h + d, d / h); }",
         {3, 2, 3.75f, 1.5f}},
        {"operators/comma-in-for-and-in-a-value",
         "float4 Value() { int i, j; float s = 0; for (i = 0, j = 10; i < 3; i++, j -= 2) s += j; float c = (s, 2); return float4(s, i, j, c); }",
         {24, 3, 4, 2}},
        {"operators/comparison-results-as-numbers",
         "float4 Value() { float a = 2; return float4((a > 1) * 3, (a == 2) + 1, (a < 1) ? 5 : 6, (float)(a != a)); }",
         {3, 2, 6, 0}},
        {"operators/vector-condition-with-scalar-operands",
         "float4 Value() { bool2 c = bool2(true, false); float2 r = c ? 1 : -1; float4 x = float4(1, 0, 2, 0); return float4(r, (x ? 7 : 8).zw); }",
         {1, -1, 7, 8}},
        {"operators/matrix-condition",
         "float4 Value() { float2x2 m = {1, -2, 3, -4}; float2x2 a = (m > 0) ? m : -m; return float4(a[0], a[1]); }",
         {1, 2, 3, 4}},
        {"operators/logical-on-floats-and-matrices",
         "float4 Value() { float a = 0.5, b = 0; float2x2 m = {1, 0, 0, 1}; bool2x2 l = m && true;"
         " return float4(a && b, a || b, !a, l[0][1] + l[1][1] * 2); }",
         {0, 1, 0, 2}},
        {"operators/division-of-int-matrices",
         "float4 Value() { int2x2 a = {7, -8, 9, 10}; int2x2 b = {2, 3, 4, 5}; int2x2 q = a / b; int2x2 c = a; c /= 4;"
         " return float4(q[0][0], q[0][1], q[1][0], c[1][1]); }",
         {3, -2, 2, 2}},
        {"operators/matrix-equality-and-one-row-comparison",
         "float4 Value() { float2x2 a = {1, 2, 3, 4}; float2x2 b = {1, 0, 3, 0}; bool2x2 e = a == b; bool2x2 n = a != b;"
         " float1x4 r = {1, 2, 3, 4}; float4x4 m = 2; bool1x4 l = r < m; return float4(e[0][0] + e[0][1] * 2, n[1][1], l._m00, l._m01); }",
         {1, 1, 1, 0}},
        {"operators/bool-matrices",
         "float4 Value() { bool2x2 b = {true, false, true, true}; return float4(all(b), any(!b), b[0][1] || b[1][0], b[0][0] && b[0][1]); }",
         {0, 1, 1, 0}},
        {"operators/increment-of-matrix-rows-and-elements",
         "float4 Value() { float2x2 m = 0; m[0]++; m._m11--; ++m[1][0]; return float4(m[0], m[1]); }", {1, 1, 1, -1}},
        {"operators/float-modulo-assignment-and-negative-ints",
         "float4 Value() { float a = 5; a %= -3; float b = -5; b %= 3; return float4(a, b, 7 % -3, -7 % 3); }",
         {std::fmod(5.f, -3.f), std::fmod(-5.f, 3.f), 1, -1}},
        {"operators/arguments-evaluate-left-to-right",
         "float4 Value() { int i = 0; float4 a = float4(i++, i++, i++, i); return a; }", {0, 1, 2, 3}},
        {"operators/comparison-assigned-to-a-float-vector",
         "float4 Value() { float4 v = float4(0, 1, 2, 3); v = v * 2 + 1 > 2; return v; }", {0, 1, 1, 1}},
        {"operators/nested-conditional-and-comma",
         "float4 Value() { float x = 0.5; float r = x > 0 ? x > 1 ? 2 : 1 : 0; return float4(r, (x, 3), 0, 0); }", {1, 3, 0, 0}},
        {"operators/assignment-is-an-expression",
         "float4 Value() { float a; float4 v; float b = (a = 3) + 1; v = a; return float4(b, v.y, (v.x += 1), a); }",
         {4, 3, 4, 3}},

        // --- type conversions ----------------------------------------------------------------------
        {"type-conversions/matrix-to-scalar-and-smaller-matrix",
         "float4 Value() { float3x3 m = {1, 2, 3, 4, 5, 6, 7, 8, 9}; float f = m; float2x2 s = m; return float4(f, s[0][1], s[1][0], s[1][1]); }",
         {1, 2, 4, 5}},
        {"type-conversions/vector-to-scalar",
         "float4 Value() { float4 v = float4(3, 4, 5, 6); float f = v; int i = float2(-2.5, 1); return float4(f, i, 0, 0); }",
         {3, -2, 0, 0}},
        {"type-conversions/struct-and-array-to-scalar-and-vector",
         "struct S { float a; float2 b; float c; };\n"
         "float4 Value() { S s = {1, 2, 3, 4}; float a[3] = {7, 8, 9}; float3 v = (float3)s; return float4((float)s, v.yz, (float)a); }",
         {1, 2, 3, 7}},
        {"type-conversions/scalar-to-struct",
         "struct S { float a; int2 b; bool c; };\nfloat4 Value() { S s = (S)2.5; return float4(s.a, s.b.y, s.c, 0); }",
         {2.5f, 2, 1, 0}},
        {"type-conversions/to-bool-and-back",
         "float4 Value() { bool4 b = float4(0, 0.5, -2, 0); bool c = 3; int i = b.y + c; float z = -0.0; return float4(b.x, b.y, i, (bool)z); }",
         {0, 1, 2, 0}},
        {"type-conversions/mixed-scalar-types-in-constructors",
         "float4 Value() { float4 v = float4(int2(1, 2), true, 2.5h); int3 i = int3(1.9, -1.9, true); return float4(v.z + v.w, i); }",
         {3.5f, 1, -1, 1}},
        {"type-conversions/bool-matrix-cast",
         "float4 Value() { float2x2 m = {0, 1, 2, 0}; bool2x2 b = (bool2x2)m; int2x2 i = b; return float4(b[0], i[1]); }",
         {0, 1, 1, 0}},
        {"type-conversions/int-matrix-holds-whole-numbers",
         "float4 Value() { float2x2 m = {1.5, -1.5, 2.7, 0}; int2x2 i = m; int2x2 j = 2.5; int2x2 k = (int2x2)float4(3.9, 0, 0, 0);"
         " bool2x2 b = i; return float4(i[0][1], i[1][0] + j[1][1], k[0][0], b[1][1] + b[0][0] * 2); }",
         {-1, 4, 3, 2}},
        {"type-conversions/scalars-between-bool-int-uint-float",
         "float4 Value() { bool b = 2.5; int i = true; float f = false; uint u = true; float g = 3.7;"
         " return float4(b + f, i + u, (int)g + int(-g), (int)(-0.5)); }",
         {1, 2, 0, 0}},
        {"type-conversions/float1xN-floatNx1-and-vectors",
         "float4 Value() { float1x3 r = float3(1, 2, 3); float3x1 c = r; float3 v = c; float1x3 s = v + 1; return float4(v, s._m02); }",
         {1, 2, 3, 4}},

        // --- intrinsics: one row per argument shape class ---------------------------------------------
        {"intrinsics/float-functions-of-int-and-bool",
         "float4 Value() { int i = 4; bool b = true; int2 v = int2(1, 4); return float4(sqrt(i), exp2(b), sqrt(v)); }",
         {2, 2, 1, 2}},
        {"intrinsics/component-wise-on-float1xN",
         "float4 Value() { float1x4 r = {1, 4, 9, 16}; float1x4 s = sqrt(r); float1x4 m = max(r, 5); float1x4 l = lerp(r, 0, 0.5);"
         " return float4(s._m01, m._m00, l._m03, abs(-r)._m02); }",
         {2, 5, 8, 9}},
        {"intrinsics/component-wise-on-floatNx1",
         "float4 Value() { float4x1 c = {1, 4, 9, 16}; float4x1 s = sqrt(c); float4x1 p = pow(c, 0.5); float4x1 t = step(5, c);"
         " return float4(s[1][0], p[2][0], t[1][0], t[2][0]); }",
         {2, 3, 0, 1}},
        {"intrinsics/component-wise-on-float1",
         "float4 Value() { float1 a = -2.5; float1 b = 4; return float4(abs(a), floor(a), clamp(a, -1, 1), smoothstep(0, 8, b)); }",
         {2.5f, -3, -1, 0.5f}},
        {"intrinsics/numeric-functions-keep-ints",
         "float4 Value() { int2 v = int2(-3, 4); int2 a = abs(v); int m = max(2, 7); int c = clamp(9, 1, 5); int s = sign(-4);"
         " return float4(a.x + a.y, m, c, s + mad(2, 3, 1)); }",
         {7, 7, 5, 6}},
        {"intrinsics/reductions-of-one-element-shapes",
         "float4 Value() { float1x4 r = {0, 0, 1, 0}; float4x1 c = {1, 1, 1, 0}; float1 f = 0; int i = 2;"
         " return float4(any(r) + all(r) * 2, all(c) + any(c) * 2, any(f) + all(i) * 2, all(true) + any(int3(0, 0, 0)) * 2); }",
         {1, 2, 2, 1}},
        {"intrinsics/vector-functions-of-float1-and-ints",
         "float4 Value() { float1 a = -3; int2 i = int2(1, 2); return float4(dot(i, int2(3, 4)), length(a), distance(a, 1), normalize(float1(5))); }",
         {11, 3, 4, 1}},
        {"intrinsics/tests-of-scalars-and-one-element-shapes",
         "float4 Value() { float1x2 r = {1, 2}; float2x1 c = {0, 3}; int i = 5; bool1x2 f = isfinite(r); bool2x1 n = isnan(c);"
         " return float4(f[0][1], n[1][0], isinf(i), isfinite(2.5)); }",
         {1, 0, 0, 1}},
        {"intrinsics/out-argument-functions-of-one-element-shapes",
         "float4 Value() { float1x2 r = {1.25, -2.5}; float1x2 ip; float1x2 f = modf(r, ip); float2x1 c = {0, 1}; float2x1 s, k;"
         " sincos(c, s, k); float1 e; float1 m = frexp(float1(8), e); return float4(f._m00 + ip._m01, s[1][0], k[0][0], m + e); }",
         {0.25f - 2, std::sin(1.f), 1, 4.5f}},
        {"intrinsics/transpose-and-determinant-of-one-element-shapes",
         "float4 Value() { float1x3 r = {1, 2, 3}; float3x1 c = transpose(r); float1x3 b = transpose(c); float1x1 o = 4;"
         " return float4(c[2][0], b._m01, determinant(o), transpose(o)); }",
         {3, 2, 4, 4}},
        {"intrinsics/mul-of-one-element-shapes",
         "float4 Value() { float1x4 r = {1, 2, 3, 4}; float4x4 m = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 1, 1, 1};"
         " float1x4 p = mul(r, m); float4x1 c = {1, 1, 1, 1}; float4x1 q = mul(m, c); float1 d = mul(float1x3(1, 2, 3), float3(1, 1, 1));"
         " return float4(p._m00, p._m03, q[3][0], d); }",
         {5, 4, 4, 6}},
        {"intrinsics/mul-of-scalars-and-int-vectors",
         "float4 Value() { int2 a = int2(1, 2); int2 b = int2(3, 4); float2x2 m = {1, 2, 3, 4}; float2x2 s = mul(2, m);"
         " return float4(mul(a, b), mul(3, 4), mul(m, 0.5)[1][1], s[0][1]); }",
         {11, 12, 2, 4}},
        {"intrinsics/two-argument-functions-on-matrices",
         "float4 Value() { float2x2 y = {1, -1, 0, 2}; float2x2 x = {-1, -1, 1, 0}; float2x2 a = atan2(y, x); float2x2 f = fmod(y * 3, 2);"
         " float2x2 m = min(y, x); return float4(a[0][0], f[1][1], m[0][1], m[1][0]); }",
         {std::atan2(1.f, -1.f), 0, -1, 0}},
        {"intrinsics/rounding-on-float1xN-and-matrices",
         "float4 Value() { float1x4 r = {-1.5, 2.5, 0.7, -0.2}; float1x4 a = round(r); float1x4 b = ceil(r); float2x2 m = {1.7, -1.7, 0, 0};"
         " float2x2 t = trunc(m); return float4(a._m00 + a._m01, b._m02, b._m03, t[0][0] + t[0][1] * 2); }",
         {std::nearbyint(-1.5f) + std::nearbyint(2.5f), 1, 0, -1}},
        {"intrinsics/three-argument-functions-mixing-scalars",
         "float4 Value() { float2 x = float2(0.25, 3); float2 s = smoothstep(0, 1, x); float2 l = lerp(x, 1, 2); float2 c = clamp(x, 1, float2(2, 2));"
         " return float4(s, l.x, c.y + l.y); }",
         {SmoothStepF(0, 1, 0.25f), 1, 1.75f, 1}},
        {"intrinsics/saturate-of-ints-and-matrices",
         "float4 Value() { int i = 3; float2x2 m = {-1, 0.5, 2, 0}; float2x2 s = saturate(m); return float4(saturate(i), s[0][0], s[0][1], s[1][0]); }",
         {1, 0, 0.5f, 1}},
        {"intrinsics/int-matrix-arguments",
         "float4 Value() { int2x2 a = {-7, 8, 1, 2}; int2x2 r = abs(a); int2x2 m = max(a, 8); int2x2 s = {1, 2, 3, 4};"
         " return float4(r[0][0], m[0][0], determinant(s), transpose(s)[0][1]); }",
         {7, 8, -2, 3}},
        {"intrinsics/lit-and-dst-of-float1",
         "float4 Value() { float1 n = 0.5, h = 0.5, p = 2; float4 l = lit(n, h, p); float4 d = dst(float4(1, 2, 3, 4), float4(1, 3, 1, 5));"
         " return float4(l.y, l.z, d.y, d.w); }",
         {0.5f, 0.25f, 6, 5}},
        {"intrinsics/reflect-refract-faceforward-of-ints",
         "float4 Value() { int2 i = int2(1, -1); int2 n = int2(0, 1); float2 r = reflect(i, n); float2 f = faceforward(n, i, n);"
         " return float4(r, f); }",
         {1, 1, 0, 1}},
        {"intrinsics/derivatives-of-one-element-shapes",
         "float4 Value() { float1x2 r = {1, 2}; float2x1 c = {3, 4}; float1x2 a = ddx(r); float2x1 b = ddy(c); return float4(a._m01, b[1][0], fwidth(float1(2)), 1); }",
         {0, 0, 0, 1}},
        {"intrinsics/exp-log-and-trigonometry-of-matrices",
         "float4 Value() { float2x2 m = {0, 1, 2, 3}; float2x2 e = exp(m); float2x2 l = log2(m + 1); float2x2 c = cos(m); float2x2 t = tanh(m);"
         " return float4(e[0][1], l[1][1], c[1][0], t[0][0]); }",
         {std::exp(1.f), 2, std::cos(2.f), 0}},
        // --- operands with side effects, evaluated once and in order ---------------------------------
        {"operators/conditional-condition-changed-by-an-operand",
         "float4 Value() { bool c = true; float a = 1, b = 2; float r = c ? (c = false, a) : b; int i = 0;"
         " float q = i++ ? 5 : 6 + i; return float4(r, c, q, i); }",
         {1, 0, 7, 1}},
        {"operators/vector-and-matrix-conditional-operands-in-order",
         "float4 Value() { bool2 c = bool2(true, false); float i = 0; float2 r = c ? float2(i += 1, i) : float2(i *= 10, i);"
         " int k = 0; int2 s = c ? int2(k += 1, k) : int2(k *= 10, k); float2 d = float2(1, 0);"
         " float2 t = d ? (d = 0, float2(3, 4)) : float2(5, 6); float2x2 m = {1, 0, 0, 1}; float2x2 u = m ? (m = 0) : float2x2(5, 6, 7, 8);"
         " return float4(r.y, s.y, t.y + d.x, u[0][1] + u[0][0]); }",
         {10, 10, 6, 6}},
        {"operators/logical-operands-with-side-effects-in-order",
         "float4 Value() { int i = 0; bool a = (i++ == 0) && (i++ == 1); bool b = (i == 5) || (++i == 3);"
         " bool2 v = bool2(i++ > 0, false) && bool2(true, i++ > 0); return float4(a, b, v.x + 2 * v.y, i); }",
         {1, 1, 1, 5}},
        // --- writes through casts and into elements ------------------------------------------------
        {"statements/cast-to-int-or-bool-as-target-converts",
         "float4 Value() { float4x4 m = 0; (int4)m[0] = 2.7; float2x2 n = 0; ((int2x2)n)[1][0] = 2.7; float4 v = 0;"
         " (bool2)v = float2(0.5, 0); (int)v.w = -1.5; return float4(m[0][3], n[1][0], v.x + v.y, v.w); }",
         {2, 2, 1, -1}},
        {"operators/increment-through-a-cast",
         "float4 Value() { float4 w = 1.5; float4 a = ((int4)w)++; float2 u = 0.5; float2 b = ++((int2)u); int2x2 m = 1; m[0][1]--;"
         " return float4(a.x + w.x, b.y, u.x, m[0][1]); }",
         {3, 1, 1, 0}},
        {"type-conversions/writes-into-int-and-bool-matrices-convert",
         "void Set(out float x) { x = -2.5; }\n"
         "float4 Value() { int2x2 m = 0; m[0][1] = 2.7; m[1] = float2(3.5, -1.5); m._m00 += 0.75; bool2x2 b = 0; b[0] = float2(0.5, 0);"
         " Set(m[1][1]); return float4(m[0][1] + m[0][0], m[1][0], m[1][1], b[0][0] + b[0][1]); }",
         {2, 3, -2, 1}},
        {"functions/out-arguments-into-multi-dimensional-arrays",
         "void Set(out float r[3]) { r[0] = 1; r[1] = 2; r[2] = 3; }\nvoid Bump(inout float x) { x += 2.75; }\n"
         "float4 Value() { float a[2][3] = {0, 0, 0, 0, 0, 0}; int i = 1; Set(a[i]); int b[2][2] = {1, 1, 1, 1}; Bump(b[i][0]);"
         " Bump(a[0][i]); return float4(a[1][0] + a[1][2], b[1][0], a[0][1], a[1][1]); }",
         {4, 3, 2.75f, 2}},
        {"functions/out-arguments-into-members-of-struct-arrays",
         "struct S { float f; int k; float2 v; };\nvoid Set(out float x) { x = 1.5; }\nvoid Half(inout float2 v) { v *= 0.5; }\n"
         "float4 Value() { S s[2] = {0, 0, 0, 0, 0, 0, 3, 5}; S t[2][2]; int i = 1; Set(s[i].f); Set(s[i].k); Half(s[i].v);"
         " Set(t[i][i].f); return float4(s[1].f + t[1][1].f, s[1].k, s[1].v); }",
         {3, 1, 1.5f, 2.5f}},
        {"intrinsics/out-arguments-into-elements-and-with-conversions",
         "struct S { float f; int k; };\n"
         "float4 Value() { float a[2][2] = {0, 0, 0, 0}; S s[2] = {0, 0, 0, 0}; int i = 1; sincos(0.5, a[i][0], s[i].f);"
         " float w = modf(2.75, s[i].k); int4 n; float4 m = frexp(float4(8, 1, 3, 0.5), n);"
         " return float4(a[1][0], s[1].f, s[1].k + w, n.x + n.z + m.z); }",
         {std::sin(0.5f), std::cos(0.5f), 2.75f, 6.75f}},
        {"operators/modulo-on-matrices",
         "float4 Value() { float2x2 a = {5.5, -5.5, 7, 1}; float2x2 b = {2, 2, -3, 0.75}; float2x2 r = a % b;"
         " int2x2 i = {7, -8, 9, 4}; int2x2 j = i % 3; a %= 2; return float4(r[0][1], r[1][1], j[0][1], a[1][0]); }",
         {std::fmod(-5.5f, 2.f), std::fmod(1.f, 0.75f), -2, 1}},
        {"type-conversions/casts-between-nestings-and-matrices",
         "struct P { float2 a; float b; };\nstruct Q { P p; float c[2]; };\n"
         "float4 Value() { float3x3 m = {1, 2, 3, 4, 5, 6, 7, 8, 9}; Q q = (Q)m; float a[2][2] = (float[2][2])m; P ps[2] = (P[2])m;"
         " float2x2 n = (float2x2)ps; return float4(q.c[1], a[1][1], ps[1].b, n[1][0]); }",
         {5, 4, 6, 3}},
        {"availability/later-model-intrinsics-in-an-unreached-function",
         "float4 Unused(float4 x, uint u) { return rcp(x) + fma(x, x, x) + ddx_coarse(x) + ddx_fine(x) + ddy_coarse(x) + ddy_fine(x)"
         " + asfloat(u) + asint(x) + asuint(x) + asdouble(u, u) + f16tof32(u) + f32tof16(x) + countbits(u) + firstbithigh(u)"
         " + firstbitlow(u) + reversebits(u); }\n"
         "float4 Value() { return float4(1, 2, 3, 4); }",
         {1, 2, 3, 4}},
    };
}

std::vector<RefusalCase> OperatorRefusalCases() {
    return {
        // --- operators and conversions -------------------------------------------------------------
        {"operators/compound-assignment-from-a-larger-shape",
         "float4 F() : COLOR { float4 v = 0;\n  v += float2(1, 2);\n  return v; }", 2},
        {"operators/increment-of-an-r-value", "float4 F() : COLOR { float a = 1;\n  (a + 1)++;\n  return a; }", 2},
        {"operators/increment-of-a-constant", "float4 F() : COLOR { const float k = 1;\n  k++;\n  return k; }", 2},
        {"operators/negation-of-a-struct",
         "struct S { float a; };\nfloat4 F() : COLOR { S s = (S)0;\n  return -s; }", 3},
        {"operators/logical-on-a-struct",
         "struct S { float a; };\nfloat4 F() : COLOR { S s = (S)0;\n  return s && true; }", 3},
        {"operators/condition-of-a-struct",
         "struct S { float a; };\nfloat4 F() : COLOR { S s = (S)0;\n  return s ? 1 : 0; }", 3},
        {"operators/arithmetic-on-a-sampler", "sampler S;\nfloat4 F() : COLOR {\n  return S + 1; }", 3},
        {"type-conversions/vector-to-larger-vector", "float4 F() : COLOR { float2 v = 1;\n  float4 w = v;\n  return w; }", 2},
        {"type-conversions/matrix-to-larger-matrix",
         "float4 F() : COLOR { float2x2 m = 1;\n  float3x3 n = m;\n  return n[0].xyzz; }", 2},
        {"type-conversions/cast-to-a-nesting-of-more-scalars",
         "struct P { float2 a; float b; };\nstruct Q { P p; float c[2]; };\nfloat4 F() : COLOR { Q q = (Q)0;\n"
         "  float a[2][3] = (float[2][3])q;\n  return a[0][0]; }", 4},
        {"type-conversions/scalar-to-sampler", "float4 F() : COLOR {\n  sampler s = 1;\n  return 0; }", 2},
        // --- intrinsics: argument shapes and results the tables refuse ------------------------------
        {"intrinsics/determinant-of-a-non-square-matrix",
         "float4 F() : COLOR { float2x3 m = 1;\n  return determinant(m); }", 2},
        {"intrinsics/transpose-with-two-arguments", "float4 F() : COLOR { float2x2 m = 1;\n  return transpose(m, m)[0].xyxy; }", 2},
        {"intrinsics/value-of-clip", "float4 F() : COLOR {\n  float a = clip(1);\n  return a; }", 2},
        {"intrinsics/saturate-of-a-struct",
         "struct S { float a; };\nfloat4 F() : COLOR { S s = (S)0;\n  return saturate(s); }", 3},
        {"intrinsics/any-of-a-sampler", "sampler S;\nfloat4 F() : COLOR {\n  return any(S); }", 3},
        // --- intrinsics of later shader models -----------------------------------------------------
        {"availability/rcp-in-ps_3_0", "float4 F(float4 t : TEXCOORD0) : COLOR {\n  return rcp(t); }", 2},
        {"availability/countbits-in-ps_3_0",
         "float4 F(float4 t : TEXCOORD0) : COLOR { uint u = (uint)t.x;\n  return countbits(u); }", 2},
        {"availability/f32tof16-in-vs_3_0",
         "float4 V(float4 p : POSITION) : POSITION {\n  return p + f32tof16(p.x); }\nfloat4 F() : COLOR { return 0; }\n"
         "technique T { pass P { VertexShader = compile vs_3_0 V(); PixelShader = compile ps_3_0 F(); } }",
         2},
        {"availability/asuint-in-ps_3_0", "float4 F(float4 t : TEXCOORD0) : COLOR {\n  return asuint(t.x); }", 2},
        {"availability/asfloat-in-ps_2_0",
         "float4 F(float4 t : TEXCOORD0) : COLOR { int i = (int)t.x;\n  return asfloat(i); }\n"
         "technique T { pass P { PixelShader = compile ps_2_0 F(); } }",
         2},
        {"availability/firstbithigh-through-a-helper",
         "float H(uint u) {\n  return firstbithigh(u); }\nfloat4 F(float4 t : TEXCOORD0) : COLOR { return H((uint)t.x); }", 2},
        {"availability/ddx_fine-in-ps_3_0", "float4 F(float4 t : TEXCOORD0) : COLOR {\n  return ddx_fine(t); }", 2},
        {"availability/fma-in-ps_3_0",
         "float4 F(float4 t : TEXCOORD0) : COLOR { double d = t.x;\n  return (float)fma(d, d, d); }", 2},
    };
}

}  // namespace fx_conformance
