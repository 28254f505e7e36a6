// The settings of the pipeline's simplify stage: flat-area simplification and
// whole-mesh edge collapse with its detail level, stored in the project file
// under "simplify".
#pragma once

#include <cstdint>

namespace ridgeforge {
class JsonWriter;
class JsonReader;
}  // namespace ridgeforge

namespace ridgeforge::mesh {

struct SimplifySettings {
    float planarToleranceMillimetres = 0.0001f;
    float relativePlanarTolerance = 1e-6f;  // of the bounding-box diagonal; the larger tolerance wins
    float planarAngleDegrees = 1.0f;        // clamped to 0..90 where used
    float minimumTriangleHeightMillimetres = 0.001f;
    std::int32_t maximumValence = 24;  // at least 3 is used
    std::int32_t maximumSweeps = 64;   // at least 1 is used
    bool preserveVertexNormals = true;
    bool protectTexturedFaces = false;
    bool flatAreas = true;
    bool wholeMesh = true;
    float meshDetailError = 0.01f;  // detail level of the whole-mesh simplification, mm^2

    // Field by field with exact float comparison; decides whether the
    // simplify step is out of date.
    friend bool operator==(const SimplifySettings&, const SimplifySettings&) = default;
};

void WriteSimplifySettings(const JsonWriter& writer, const SimplifySettings& settings);
// Updates the fields whose keys are present with the right type; the rest keep
// their values.
void ReadSimplifySettings(const JsonReader& reader, SimplifySettings& settings);

}  // namespace ridgeforge::mesh
