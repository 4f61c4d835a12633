// platform/gfx/math.cpp: the matrix helpers of the graphics interface (row vectors, v' = v * M).

#include <cmath>

#include "platform/gfx/gfx.h"

namespace platform::gfx {

namespace {

D3DXMATRIX Translation(float x, float y) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    m.m[3][0] = x;
    m.m[3][1] = y;
    return m;
}

D3DXMATRIX RotationZ(float angle) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    const float c = std::cos(angle), s = std::sin(angle);
    m.m[0][0] = c;
    m.m[0][1] = s;
    m.m[1][0] = -s;
    m.m[1][1] = c;
    return m;
}

void Then(D3DXMATRIX* acc, const D3DXMATRIX& next) {
    D3DXMATRIX r;
    D3DXMatrixMultiply(&r, acc, &next);
    *acc = r;
}

}  // namespace

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
    if (!out) return out;
    *out = D3DXMATRIX{};
    for (int i = 0; i < 4; ++i) out->m[i][i] = 1.0f;
    return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b) {
    if (!out || !a || !b) return out;
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a->m[i][k] * b->m[k][j];
            r.m[i][j] = sum;
        }
    }
    *out = r;
    return out;
}

D3DXMATRIX* D3DXMatrixTransformation2D(D3DXMATRIX* out, const D3DXVECTOR2* scaling_centre,
                                       float scaling_rotation, const D3DXVECTOR2* scaling,
                                       const D3DXVECTOR2* rotation_centre, float rotation,
                                       const D3DXVECTOR2* translation) {
    if (!out) return out;
    const D3DXVECTOR2 sc = scaling_centre ? *scaling_centre : D3DXVECTOR2{};
    const D3DXVECTOR2 rc = rotation_centre ? *rotation_centre : D3DXVECTOR2{};
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    if (scaling) {
        D3DXMATRIX s;
        D3DXMatrixIdentity(&s);
        s.m[0][0] = scaling->x;
        s.m[1][1] = scaling->y;
        Then(&m, Translation(-sc.x, -sc.y));
        Then(&m, RotationZ(-scaling_rotation));
        Then(&m, s);
        Then(&m, RotationZ(scaling_rotation));
        Then(&m, Translation(sc.x, sc.y));
    }
    if (rotation != 0.0f) {
        Then(&m, Translation(-rc.x, -rc.y));
        Then(&m, RotationZ(rotation));
        Then(&m, Translation(rc.x, rc.y));
    }
    if (translation) Then(&m, Translation(translation->x, translation->y));
    *out = m;
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    if (!out || !v || !m) return out;
    const float x = v->x, y = v->y, z = v->z;
    float r[4];
    for (int j = 0; j < 4; ++j) r[j] = x * m->m[0][j] + y * m->m[1][j] + z * m->m[2][j] + m->m[3][j];
    // A w of 0 (a point at infinity) is left undivided rather than turned into infinities.
    const float w = r[3] != 0.0f ? r[3] : 1.0f;
    *out = D3DXVECTOR3{r[0] / w, r[1] / w, r[2] / w};
    return out;
}

}  // namespace platform::gfx
