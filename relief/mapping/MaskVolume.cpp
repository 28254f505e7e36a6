// Mask volumes: creation, signed distance, re-expression and JSON.
#include "relief/mapping/MaskVolume.h"

#include <algorithm>
#include <cmath>

#include "mesh/Json.h"
#include "relief/mapping/CageFrame.h"
#include "relief/mapping/JsonFields.h"

namespace ridgeforge::mesh {
namespace {

constexpr EnumWord<MaskShape> kShapeWords[] = {
    {MaskShape::Box, "box"},
    {MaskShape::Cylinder, "cylinder"},
    {MaskShape::Sphere, "sphere"},
};

// Every key in writing order; V is MaskVolume or const MaskVolume.
template <typename Fields, typename V>
void VisitVolume(const Fields& f, V& v) {
    f.Word("shape", v.shape, kShapeWords);
    f.Vec3("center", v.center);
    f.Vec3("rotationDegrees", v.rotationDegrees);
    f.Vec3("size", v.size);
    f.Float("featherMillimetres", v.featherMillimetres);
    f.Bool("enabled", v.enabled);
    f.Text("name", v.name);
}

// A size below the floor, or NaN, counts as the floor.
float FlooredSize(float size) { return size > kMinimumMaskSize ? size : kMinimumMaskSize; }

}  // namespace

ProjectionCage MaskVolume::FlooredPlacement() const {
    return {center, rotationDegrees, {FlooredSize(size.x), FlooredSize(size.y), FlooredSize(size.z)}};
}

const char* MaskShapeName(MaskShape shape) {
    switch (shape) {
        case MaskShape::Box:
            return "Box";
        case MaskShape::Cylinder:
            return "Cylinder";
        case MaskShape::Sphere:
            return "Sphere";
    }
    return "Volume";
}

MaskVolume MaskVolume::Create(MaskShape shape, const TriangleMesh* part, std::int64_t number) {
    MaskVolume v;
    v.shape = shape;
    Vec3f extent{30.0f, 30.0f, 30.0f};
    if (part != nullptr && part->boundsValid) {
        extent = part->boundsMax - part->boundsMin;
        v.center = (part->boundsMin + part->boundsMax) * 0.5f;
    }
    const float side = std::max(1.0f, std::max({extent.x, extent.y, extent.z}) / 3.0f);
    v.size = {side, side, side};
    v.name = std::string(MaskShapeName(shape)) + " " + std::to_string(number);
    return v;
}

float MaskVolume::SignedDistance(const MaskVolume& volume, const Vec3f& point) {
    const ProjectionCage placement = volume.FlooredPlacement();
    const Vec3f q = TransformByCage(placement, point - volume.center);
    const Vec3f h = placement.size * 0.5f;
    switch (volume.shape) {
        case MaskShape::Box: {
            const Vec3f d{std::fabs(q.x) - h.x, std::fabs(q.y) - h.y, std::fabs(q.z) - h.z};
            const Vec3f outside{std::max(d.x, 0.0f), std::max(d.y, 0.0f), std::max(d.z, 0.0f)};
            return Length(outside) + std::min(std::max({d.x, d.y, d.z}), 0.0f);
        }
        case MaskShape::Cylinder: {
            const float radial =
                (std::sqrt((q.x / h.x) * (q.x / h.x) + (q.y / h.y) * (q.y / h.y)) - 1.0f) * std::min(h.x, h.y);
            const float axial = std::fabs(q.z) - h.z;
            const float ra = std::max(axial, 0.0f), rr = std::max(radial, 0.0f);
            return std::sqrt(ra * ra + rr * rr) + std::min(std::max(axial, radial), 0.0f);
        }
        case MaskShape::Sphere: {
            const Vec3f n{q.x / h.x, q.y / h.y, q.z / h.z};
            return (Length(n) - 1.0f) * std::min({h.x, h.y, h.z});
        }
    }
    return 1.0f;
}

MaskVolume MaskVolume::Transformed(const MaskVolume& volume, const Transform& transform) {
    MaskVolume out = volume;
    out.center = transform.ApplyToPoint(volume.center);
    const RotationAxes axes = RotationFromDegrees(volume.rotationDegrees);
    out.rotationDegrees = DegreesFromAxes(
        {transform.ApplyToDirection(axes.x), transform.ApplyToDirection(axes.y), transform.ApplyToDirection(axes.z)});
    return out;
}

void MaskVolume::ToJson(const JsonWriter& writer, const MaskVolume& volume) {
    VisitVolume(JsonFieldWriter{writer}, volume);
}

void MaskVolume::FromJson(const JsonReader& reader, MaskVolume& volume) {
    VisitVolume(JsonFieldReader{reader}, volume);
}

bool MaskVolume::operator==(const MaskVolume& o) const {
    return shape == o.shape && Placement() == o.Placement() && featherMillimetres == o.featherMillimetres &&
           enabled == o.enabled && name == o.name;
}

}  // namespace ridgeforge::mesh
