// The remesh settings a user chooses (the project file's "remesh" object), the
// grid cell of the contour remesher, and the quick estimate of how many
// triangles a remesh will make.
#pragma once

#include <cstdint>

#include "mesh/remesh/RemeshReport.h"
#include "mesh/TriangleMesh.h"
#include "mesh/Vec3.h"

namespace ridgeforge {
class JsonWriter;
class JsonReader;
}  // namespace ridgeforge

namespace ridgeforge::mesh {

// Which remesher runs: 0 isotropic; anything else contours. 1 is an older word
// for contouring that every read turns into 2.
using RemeshMethod = std::int32_t;
inline constexpr RemeshMethod kRemeshIsotropic = 0;
inline constexpr RemeshMethod kRemeshDualContouring = 1;
inline constexpr RemeshMethod kRemeshContour = 2;

struct DualContouringSettings {
    float sharpness = 1.0f;
    bool preserveVolume = true;
    bool removeDisconnected = false;
    float disconnectedThreshold = 1.0f;
    // Kept with the settings for older project files; no remesher reads it.
    bool manifold = true;

    friend bool operator==(const DualContouringSettings&, const DualContouringSettings&) = default;
};

struct RemeshSettings {
    RemeshMethod method = kRemeshContour;
    DualContouringSettings dualContouring;
    float targetEdgeMillimetres = 0.2f;
    std::int32_t rounds = 5;
    float featureAngleDegrees = 40.0f;
    float relaxation = 0.5f;
    bool projectToOriginal = true;

    // Field by field with exact float comparison: a NaN never compares equal,
    // so a result made with one is never taken as up to date.
    friend bool operator==(const RemeshSettings&, const RemeshSettings&) = default;
};

// The settings as members of the object the writer points at.
void WriteRemeshSettings(const JsonWriter& writer, const RemeshSettings& settings);
// Updates the fields whose keys are present with the right type; the rest keep
// their values.
void ReadRemeshSettings(const JsonReader& reader, RemeshSettings& settings);

// The contour grid cell: the wanted size (at least 0.0001 mm), raised so that
// the longest side of the box needs no more than 4088 cells.
inline constexpr float kMinimumCellMillimetres = 0.0001f;
inline constexpr int kMaxCellsPerAxis = 4088;
float ContourCellSize(const BoundingBox& bounds, const RemeshSettings& settings, bool* raised = nullptr);

struct RemeshEstimate {
    std::uint64_t measuredTriangles = 0;
    std::uint64_t triangles = 0;
    double areaSquareMillimetres = 0.0;
    std::uint64_t expectedTriangles = 0;
    std::uint64_t expectedTotal = 0;
    float raisedCellMillimetres = 0.0f;
};

// Pure and quick enough for the UI thread.
RemeshEstimate EstimateRemesh(const TriangleMesh& mesh, const RemeshSettings& settings);

// The count the user is told for a relief made on a remesh of `expectedTotal`
// triangles: one twelfth more. The relief settings show it, and a remesh
// refused as over the limit names the same count.
inline std::uint64_t ReliefTriangleCount(std::uint64_t expectedTotal) { return expectedTotal + expectedTotal / 12; }

}  // namespace ridgeforge::mesh
