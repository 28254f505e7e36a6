// Small fixed-size vectors for mesh geometry: three floats as stored in a
// mesh, and three doubles for the sums and predicates that need the range.
#pragma once

#include <cmath>

namespace ridgeforge::mesh {

struct Vec3f {
    float x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    constexpr float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
    friend constexpr bool operator==(const Vec3f&, const Vec3f&) = default;
};

struct Vec3d {
    double x = 0.0, y = 0.0, z = 0.0;

    constexpr double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    constexpr double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
    friend constexpr bool operator==(const Vec3d&, const Vec3d&) = default;
};

// Arithmetic shared by both vector types.
#define RIDGEFORGE_VEC3_OPS(V, S)                                                               \
    constexpr V operator+(const V& a, const V& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; } \
    constexpr V operator-(const V& a, const V& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; } \
    constexpr V operator-(const V& a) { return {-a.x, -a.y, -a.z}; }                            \
    constexpr V operator*(const V& a, S s) { return {a.x * s, a.y * s, a.z * s}; }              \
    constexpr V operator*(S s, const V& a) { return {a.x * s, a.y * s, a.z * s}; }              \
    constexpr V operator/(const V& a, S s) { return {a.x / s, a.y / s, a.z / s}; }              \
    constexpr V& operator+=(V& a, const V& b) {                                                 \
        a = a + b;                                                                              \
        return a;                                                                               \
    }                                                                                           \
    constexpr V& operator-=(V& a, const V& b) {                                                 \
        a = a - b;                                                                              \
        return a;                                                                               \
    }                                                                                           \
    constexpr V& operator*=(V& a, S s) {                                                        \
        a = a * s;                                                                              \
        return a;                                                                               \
    }                                                                                           \
    constexpr S Dot(const V& a, const V& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }       \
    constexpr V Cross(const V& a, const V& b) {                                                 \
        return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};           \
    }                                                                                           \
    constexpr S LengthSquared(const V& a) { return Dot(a, a); }                                 \
    inline S Length(const V& a) { return std::sqrt(Dot(a, a)); }                                \
    constexpr V Min(const V& a, const V& b) {                                                   \
        return {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z};           \
    }                                                                                           \
    constexpr V Max(const V& a, const V& b) {                                                   \
        return {a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z};           \
    }

RIDGEFORGE_VEC3_OPS(Vec3f, float)
RIDGEFORGE_VEC3_OPS(Vec3d, double)
#undef RIDGEFORGE_VEC3_OPS

constexpr Vec3d ToDouble(const Vec3f& v) { return {v.x, v.y, v.z}; }
constexpr Vec3f ToFloat(const Vec3d& v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

inline bool IsFinite(const Vec3f& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
inline bool IsFinite(const Vec3d& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Unit vector in single precision, or (0, 0, 0) when the length is 1e-12 or less.
// Every normalisation of a mesh normal goes through this one threshold.
Vec3f Normalize(const Vec3f& v);

}  // namespace ridgeforge::mesh
