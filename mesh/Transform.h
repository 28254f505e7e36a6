// The rigid transform that places a part on the print bed: a rotation given
// by its three rows, then a translation. The document keeps one, applies it
// to the mesh and stores it in the project file as "rowX", "rowY", "rowZ" and
// "translation" (arrays of three numbers).
#pragma once

#include "mesh/Json.h"
#include "mesh/TriangleMesh.h"
#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

// A point p maps to (rowX . p, rowY . p, rowZ . p) + translation; a direction
// maps by the rows alone. The rotation is assumed orthonormal. There is no
// constructor: whoever makes one writes the identity (see Identity()).
struct Transform {
    Vec3f rowX;
    Vec3f rowY;
    Vec3f rowZ;
    Vec3f translation;

    static Transform Identity() { return {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}; }

    // Exact comparison with the identity (NaN anywhere gives false, -0 counts as 0).
    bool IsIdentity() const;
    // The rigid inverse: transposed rotation and -(R^T t).
    Transform Inverse() const;
    // A after B: applies b first, then a.
    static Transform Compose(const Transform& a, const Transform& b);

    Vec3f ApplyToPoint(const Vec3f& p) const;
    Vec3f ApplyToDirection(const Vec3f& d) const;

    void ToJson(const JsonWriter& writer) const;
    // A key that is missing or not exactly three numbers keeps that row as it was.
    void FromJson(const JsonReader& reader);

    // Every row and the translation equal, float by float (a NaN is never equal).
    friend bool operator==(const Transform&, const Transform&) = default;
};

// Moves every position and turns every normal (not renormalised), then
// recomputes the bounds. The exact identity leaves the mesh untouched.
void ApplyTransform(TriangleMesh& mesh, const Transform& transform);

// Rodrigues' formula: v turned about the unit axis k by the angle whose cosine and sine are c and s.
Vec3f RotateAboutAxis(const Vec3f& v, const Vec3f& k, float c, float s);

}  // namespace ridgeforge::mesh
