// The mapping record: how the height-map texture is laid onto the part.
//
// A plain value type: which mapping (box, plane, cylinder, sphere), where the
// cage that carries it stands, which sides project onto which faces, how box
// sides blend, the cylinder's seam and caps, and for each of the six layers
// where the texture lies on its side. The pipeline, the undo history and the
// view keep copies and compare them to tell whether a result is up to date;
// the project file stores it under dotted keys ("cage.center",
// "box.side.px.enabled", "layer.nz.zoom").
//
// Sides and layers are numbered 0 to 5: side i faces along cage axis i / 2,
// positive for even i, negative for odd i ("px", "nx", "py", "ny", "pz",
// "nz"). The plane uses layer 4; the cylinder layer 0 (wall), 4 (top cap)
// and 5 (bottom cap). Lengths in millimetres, angles in degrees.
#pragma once

#include <array>
#include <cstdint>

#include "mesh/Vec3.h"

namespace ridgeforge {
class JsonReader;
class JsonWriter;
}  // namespace ridgeforge

namespace ridgeforge::mesh {

// Stored as "box", "plane", "cylinder", "sphere".
enum class ProjectionType : std::int32_t { Box = 0, Plane = 1, Cylinder = 2, Sphere = 3 };
// Stored as "x", "y", "z".
enum class Axis : std::int32_t { X = 0, Y = 1, Z = 2 };
// Which faces a side textures; stored as "outside", "inside", "both".
enum class SurfaceSelection : std::int32_t { Outside = 0, Inside = 1, Both = 2 };

inline constexpr int kSideCount = 6;

// Where the mapping stands: centre, turn (about x, then y, then z) and full
// extent along its own axes. Mask volumes share this placement.
struct ProjectionCage {
    Vec3f center{0.0f, 0.0f, 0.0f};
    Vec3f rotationDegrees{0.0f, 0.0f, 0.0f};
    Vec3f size{1.0f, 1.0f, 1.0f};

    // The nine floats in order; a NaN is never equal.
    bool operator==(const ProjectionCage& other) const;
};

// Placement of the texture on one side.
struct ProjectionLayer {
    float originMillimetres[2] = {0.0f, 0.0f};
    float rotationDegrees = 0.0f;
    // A value not above 0 counts as 1 wherever it is used.
    float zoom = 1.0f;
    // Kept with the layer and compared, not read by the mapping.
    std::int32_t image = 0;
};

struct BoxMapping {
    std::array<bool, kSideCount> sideEnabled{true, true, true, true, true, true};
    std::array<SurfaceSelection, kSideCount> sideSurface{SurfaceSelection::Both, SurfaceSelection::Both,
                                                         SurfaceSelection::Both, SurfaceSelection::Both,
                                                         SurfaceSelection::Both, SurfaceSelection::Both};
    bool blended = false;
    float blendSharpness = 4.0f;
};

struct PlaneMapping {
    bool twoSided = false;
    // Stored with the plane settings; the plane always projects along the cage's Z axis.
    Axis axis = Axis::Z;
};

struct CylinderMapping {
    Axis axis = Axis::Z;
    SurfaceSelection surface = SurfaceSelection::Both;
    float seamDegrees = 180.0f;
    bool sideEnabled = true;
    bool topCapEnabled = false;
    bool bottomCapEnabled = false;
    bool wholeTiles = true;
};

struct SphereMapping {
    Axis axis = Axis::Z;
    bool wholeTiles = true;
};

struct Projection {
    ProjectionType type = ProjectionType::Box;
    ProjectionCage cage;
    BoxMapping box;
    PlaneMapping plane;
    CylinderMapping cylinder;
    SphereMapping sphere;
    std::array<ProjectionLayer, kSideCount> layer;
    // The side chosen for per-side editing, -1 for none; -1..5 after reading.
    std::int32_t activeLayer = -1;

    // Every field equal, floats by ordinary equality (a NaN is never equal).
    bool operator==(const Projection& other) const;
};

// The six layers pairwise: origin, rotation and zoom as floats, then the image index.
bool LayersEqual(const Projection& a, const Projection& b);

// The JSON key of a side ("px" .. "nz"); nullptr outside 0..5.
const char* SideKey(int side);

// Writes every field under the writer's current object. An enumeration value
// without a word is written as a plain integer.
void WriteProjection(const JsonWriter& writer, const Projection& projection);
// Reads the keys that are present and usable into `projection`; every other
// field keeps its value, so a caller wanting defaults passes a default record.
void ReadProjection(const JsonReader& reader, Projection& projection);

}  // namespace ridgeforge::mesh
