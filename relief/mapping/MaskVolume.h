// A mask volume keeps the texture off what it covers: a box, an elliptic
// cylinder along its local z, or an ellipsoid, placed like the cage (centre,
// turn, size). Inside an enabled volume the texture weight is 0; over
// `featherMillimetres` outside it the weight rises back to full.
//
// The signed distance is exact for the box (the usual box distance: outside
// length plus inside maximum), and for the cylinder and ellipsoid it is the
// normalised radius scaled by the smallest half size: exact for a circular
// cylinder and a ball, an estimate for stretched shapes. Every size counts
// as at least 0.001 mm.
#pragma once

#include <cstdint>
#include <string>

#include "mesh/Transform.h"
#include "mesh/TriangleMesh.h"
#include "mesh/Vec3.h"
#include "relief/mapping/Projection.h"

namespace ridgeforge::mesh {

// Stored as "box", "cylinder", "sphere".
enum class MaskShape : std::int32_t { Box = 0, Cylinder = 1, Sphere = 2 };

// The smallest size a volume is given along any axis, mm.
inline constexpr float kMinimumMaskSize = 0.001f;

struct MaskVolume {
    MaskShape shape = MaskShape::Box;
    Vec3f center{0.0f, 0.0f, 0.0f};
    // About x, y, z, composed as the cage's rotation.
    Vec3f rotationDegrees{0.0f, 0.0f, 0.0f};
    // Full extent along the local axes, mm.
    Vec3f size{1.0f, 1.0f, 1.0f};
    float featherMillimetres = 0.0f;
    // A disabled volume stays in the list and is drawn but has no effect.
    bool enabled = true;
    std::string name;

    // The centre, rotation and size as a cage, for the cage functions.
    ProjectionCage Placement() const { return {center, rotationDegrees, size}; }
    // The same with every size at least kMinimumMaskSize.
    ProjectionCage FlooredPlacement() const;

    // A new volume sized to a third of the part's largest extent (at least
    // 1 mm) at the part's bounds centre; with no part (null, or bounds not
    // valid) 10 mm at the origin. Named by its shape word and `number`.
    static MaskVolume Create(MaskShape shape, const TriangleMesh* part, std::int64_t number);
    // Negative inside, positive outside, mm; 1 everywhere for a shape without a word.
    static float SignedDistance(const MaskVolume& volume, const Vec3f& point);
    // The volume as it lies after the part is moved by `transform`.
    static MaskVolume Transformed(const MaskVolume& volume, const Transform& transform);
    // Keys "shape", "center", "rotationDegrees", "size", "featherMillimetres", "enabled", "name".
    static void ToJson(const JsonWriter& writer, const MaskVolume& volume);
    // Reads the keys that are present and usable; the rest keep their values.
    static void FromJson(const JsonReader& reader, MaskVolume& volume);

    // Shape, placement, feather, enabled flag and name equal (a NaN is never equal).
    bool operator==(const MaskVolume& other) const;
};

// "Box", "Cylinder", "Sphere"; "Volume" for a shape without a word.
const char* MaskShapeName(MaskShape shape);

}  // namespace ridgeforge::mesh
