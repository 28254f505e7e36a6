// Point location in a Penrose tiling and its relief.
//
// The tiling is built by golden-ratio subdivision of Robinson triangles (the
// acute 36-degree and obtuse 108-degree halves of the two rhombs). Rather
// than building the tiling, the point is first folded into one tenth of the
// plane by four mirror reflections, then followed down the subdivision of a
// single start triangle: each level keeps only the child that holds the
// point. The relief is worked out in the unfolded plane from the final
// triangle: a groove along the tile edges, then planes rising to a fold along
// the half-rhomb's long diagonal and an optional pyramid at its middle.
#include <cmath>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {

namespace {

constexpr float kInverseGolden = 0.618034f;

struct P2 {
    float x = 0.0f, y = 0.0f;
};

P2 operator+(P2 a, P2 b) { return {a.x + b.x, a.y + b.y}; }
P2 operator-(P2 a, P2 b) { return {a.x - b.x, a.y - b.y}; }
P2 operator*(float s, P2 a) { return {s * a.x, s * a.y}; }
float Cross(P2 a, P2 b) { return a.x * b.y - a.y * b.x; }
float Dot(P2 a, P2 b) { return a.x * b.x + a.y * b.y; }
float Length(P2 a) { return std::sqrt(Dot(a, a)); }

// Signed side of x relative to the line through u and v.
float Side(P2 u, P2 v, P2 x) { return Cross(v - u, x - u); }
bool SameSide(P2 u, P2 v, P2 a, P2 b) { return Side(u, v, a) * Side(u, v, b) >= 0.0f; }

Matrix2 Multiply(const Matrix2& a, const Matrix2& b) {
    return {a.m00 * b.m00 + a.m01 * b.m10, a.m00 * b.m01 + a.m01 * b.m11, a.m10 * b.m00 + a.m11 * b.m10,
            a.m10 * b.m01 + a.m11 * b.m11};
}

// The transpose undoes the folds: reflections are orthogonal.
P2 ApplyTransposed(const Matrix2& m, P2 p) { return {m.m00 * p.x + m.m10 * p.y, m.m01 * p.x + m.m11 * p.y}; }

// Where the line through u and v meets the line {x : sigma g(x) = level};
// false when they are (nearly) parallel.
bool IntersectInset(P2 c, P2 b, float sigma, float level, P2 u, P2 v, P2& out) {
    const P2 edge = b - c;
    const float len = Length(edge);
    if (!(len > 0.0f)) return false;
    // sigma g(x) = sigma Cross(edge, x - c) / len = n . x - n . c with n below.
    const P2 n = (sigma / len) * P2{-edge.y, edge.x};
    const P2 d = v - u;
    const float det = Dot(n, d);
    if (std::fabs(det) < 1e-20f) return false;
    const float t = (level - Dot(n, u - c)) / det;
    out = u + t * d;
    return true;
}

// Height at p of the plane through three points with heights; `fallback`
// when they are collinear.
float PlaneHeight(P2 a, float ha, P2 b, float hb, P2 c, float hc, P2 p, float fallback) {
    const float det = Cross(b - a, c - a);
    if (std::fabs(det) < 1e-12f) return fallback;
    const float l1 = Cross(p - a, c - a) / det;
    const float l2 = Cross(b - a, p - a) / det;
    return ha + (hb - ha) * l1 + (hc - ha) * l2;
}

}  // namespace

Matrix2 MirrorFold(float& px, float& py, float& nx, float& ny) {
    Matrix2 m;
    if (nx * px + ny * py < 0.0f) {
        m = {1.0f - 2.0f * nx * nx, -2.0f * nx * ny, -2.0f * nx * ny, 1.0f - 2.0f * ny * ny};
        const float x = m.m00 * px + m.m01 * py;
        const float y = m.m10 * px + m.m11 * py;
        px = x;
        py = y;
    }
    const float ax = nx - 1.0f, ay = ny;
    const float len = std::sqrt(ax * ax + ay * ay);
    if (len > 0.0f) {
        nx = ax / len;
        ny = ay / len;
    }
    return m;
}

PenroseSample PenroseTiling(float x, float y, std::int32_t depth, float groove, float pyramid, float fold) {
    const float s = std::sin(0.62831855f), c = std::cos(0.62831855f);

    P2 p{x, y};
    float nx = 1.0f, ny = 0.0f;
    Matrix2 folds = MirrorFold(p.x, p.y, nx, ny);
    nx = -std::cos(2.5132742f);
    ny = std::sin(2.5132742f);
    for (int i = 0; i < 3; ++i) folds = Multiply(MirrorFold(p.x, p.y, nx, ny), folds);

    P2 o{0.0f, 0.0f}, a{0.0f, 1.0f}, b{s, c};
    if (!SameSide(a, b, p, o)) return {};

    bool acute = true;
    for (std::int32_t level = 0; level < depth; ++level) {
        if (acute) {
            const P2 q = o + kInverseGolden * (a - o);
            const P2 r = b + kInverseGolden * (o - b);
            if (!SameSide(q, r, p, o)) {
                const P2 nextA = q;
                const P2 nextB = SameSide(b, q, p, a) ? a : r;
                o = b;
                a = nextA;
                b = nextB;
            } else {
                acute = false;
                a = r;
                b = q;
            }
        } else {
            const P2 sPoint = o + kInverseGolden * (b - o);
            if (!SameSide(a, sPoint, p, b)) {
                acute = true;
                b = sPoint;
            } else {
                const P2 oldB = b;
                b = a;
                a = sPoint;
                o = oldB;
            }
        }
    }

    PenroseSample result;
    result.onTile = true;
    result.acute = acute;

    const P2 p0{x, y};
    const P2 ou = ApplyTransposed(folds, o), au = ApplyTransposed(folds, a), bu = ApplyTransposed(folds, b);
    const float length = Length(ou - bu);
    if (!(length > 0.0f)) return result;

    const P2 m = ou + kInverseGolden * (au - ou);
    float sigma = Side(bu, m, ou) < 0.0f ? -1.0f : 1.0f;
    P2 corner = ou;
    if (Side(bu, m, p0) * sigma <= 0.0f) {
        corner = au;
        sigma = -sigma;
    }

    const float g = groove * length, k = fold * length, yPyramid = pyramid * length;
    const float hc = acute ? k : 0.0f;
    const float hm = hc;
    const float hb = acute ? 0.0f : k;

    P2 z1 = corner, z2 = bu;
    IntersectInset(corner, bu, sigma, g, corner, m, z1);
    float hz2 = hb + g;
    if (IntersectInset(corner, bu, sigma, g, bu, m, z2)) {
        const P2 edge = m - bu;
        const float edge2 = Dot(edge, edge);
        const float t = edge2 > 0.0f ? Dot(z2 - bu, edge) / edge2 : 0.0f;
        hz2 = hb + (hm - hb) * t + g;
    }
    const float hz1 = hc + g;

    const P2 cb = bu - corner;
    const float cbLength = Length(cb);
    const float distance = cbLength > 0.0f ? sigma * Cross(cb, p0 - corner) / cbLength : 0.0f;
    float h;
    if (distance < g) {
        h = PlaneHeight(corner, hc, bu, hb, z1, hz1, p0, hc);
    } else {
        h = PlaneHeight(z1, hz1, z2, hz2, m, hm + g + yPyramid, p0, hz1);
    }
    result.height = h / length;
    return result;
}

}  // namespace ridgeforge::mesh::procedural
