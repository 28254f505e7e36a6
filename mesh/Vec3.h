// Small fixed-size vectors for mesh geometry: three floats as stored in a
// mesh, and three doubles for the sums and predicates that need the range.
#pragma once

#include <cmath>
#include <type_traits>

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

// Arithmetic shared by both vector types. The vector type is deduced from
// the first vector argument only, so the other operand converts as it would
// for a plain function: a double scale of a Vec3f, a braced vector.
template <typename V>
struct Vec3Scalar;
template <>
struct Vec3Scalar<Vec3f> {
    using type = float;
};
template <>
struct Vec3Scalar<Vec3d> {
    using type = double;
};
template <typename V>
concept Vec3Type = requires { typename Vec3Scalar<V>::type; };
template <Vec3Type V>
using Vec3ScalarOf = typename Vec3Scalar<V>::type;
template <typename V>
using Same = std::type_identity_t<V>;

template <Vec3Type V>
constexpr V operator+(const V& a, const Same<V>& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
template <Vec3Type V>
constexpr V operator-(const V& a, const Same<V>& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
template <Vec3Type V>
constexpr V operator-(const V& a) { return {-a.x, -a.y, -a.z}; }
template <Vec3Type V>
constexpr V operator*(const V& a, Vec3ScalarOf<V> s) { return {a.x * s, a.y * s, a.z * s}; }
template <Vec3Type V>
constexpr V operator*(Vec3ScalarOf<V> s, const V& a) { return {a.x * s, a.y * s, a.z * s}; }
template <Vec3Type V>
constexpr V operator/(const V& a, Vec3ScalarOf<V> s) { return {a.x / s, a.y / s, a.z / s}; }
template <Vec3Type V>
constexpr V& operator+=(V& a, const Same<V>& b) { return a = a + b; }
template <Vec3Type V>
constexpr V& operator-=(V& a, const Same<V>& b) { return a = a - b; }
template <Vec3Type V>
constexpr V& operator*=(V& a, Vec3ScalarOf<V> s) { return a = a * s; }
template <Vec3Type V>
constexpr Vec3ScalarOf<V> Dot(const V& a, const Same<V>& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
template <Vec3Type V>
constexpr V Cross(const V& a, const Same<V>& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
template <Vec3Type V>
constexpr Vec3ScalarOf<V> LengthSquared(const V& a) { return Dot(a, a); }
template <Vec3Type V>
inline Vec3ScalarOf<V> Length(const V& a) { return std::sqrt(Dot(a, a)); }
template <Vec3Type V>
constexpr V Min(const V& a, const Same<V>& b) {
    return {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z};
}
template <Vec3Type V>
constexpr V Max(const V& a, const Same<V>& b) {
    return {a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z};
}

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
