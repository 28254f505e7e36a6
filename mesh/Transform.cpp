#include "mesh/Transform.h"

#include <algorithm>
#include <execution>

namespace ridgeforge::mesh {

bool Transform::IsIdentity() const {
    // == treats -0 as 0 and fails for NaN, which is the comparison wanted.
    return rowX == Vec3f{1, 0, 0} && rowY == Vec3f{0, 1, 0} && rowZ == Vec3f{0, 0, 1} && translation == Vec3f{0, 0, 0};
}

Transform Transform::Inverse() const {
    Transform inverse;
    inverse.rowX = {rowX.x, rowY.x, rowZ.x};
    inverse.rowY = {rowX.y, rowY.y, rowZ.y};
    inverse.rowZ = {rowX.z, rowY.z, rowZ.z};
    inverse.translation = -inverse.ApplyToDirection(translation);
    return inverse;
}

Transform Transform::Compose(const Transform& a, const Transform& b) {
    // Row i of A.R times B.R is the combination of B's rows weighted by row i of A.
    const auto row = [&](const Vec3f& r) { return b.rowX * r.x + b.rowY * r.y + b.rowZ * r.z; };
    Transform result;
    result.rowX = row(a.rowX);
    result.rowY = row(a.rowY);
    result.rowZ = row(a.rowZ);
    result.translation = a.ApplyToDirection(b.translation) + a.translation;
    return result;
}

Vec3f Transform::ApplyToPoint(const Vec3f& p) const { return ApplyToDirection(p) + translation; }

Vec3f Transform::ApplyToDirection(const Vec3f& d) const { return {Dot(rowX, d), Dot(rowY, d), Dot(rowZ, d)}; }

void Transform::ToJson(const JsonWriter& writer) const {
    JsonSetVec3(writer, "rowX", rowX.x, rowX.y, rowX.z);
    JsonSetVec3(writer, "rowY", rowY.x, rowY.y, rowY.z);
    JsonSetVec3(writer, "rowZ", rowZ.x, rowZ.y, rowZ.z);
    JsonSetVec3(writer, "translation", translation.x, translation.y, translation.z);
}

void Transform::FromJson(const JsonReader& reader) {
    JsonGetVec3(reader, "rowX", rowX.x, rowX.y, rowX.z);
    JsonGetVec3(reader, "rowY", rowY.x, rowY.y, rowY.z);
    JsonGetVec3(reader, "rowZ", rowZ.x, rowZ.y, rowZ.z);
    JsonGetVec3(reader, "translation", translation.x, translation.y, translation.z);
}

void ApplyTransform(TriangleMesh& mesh, const Transform& transform) {
    if (transform.IsIdentity()) return;
    std::for_each(std::execution::par_unseq, mesh.vertices.begin(), mesh.vertices.end(), [&](Vertex& v) {
        v.position = transform.ApplyToPoint(v.position);
        v.normal = transform.ApplyToDirection(v.normal);
    });
    mesh.RecomputeBounds();
}

Vec3f RotateAboutAxis(const Vec3f& v, const Vec3f& k, float c, float s) {
    return v * c + Cross(k, v) * s + k * (Dot(k, v) * (1.0f - c));
}

}  // namespace ridgeforge::mesh
