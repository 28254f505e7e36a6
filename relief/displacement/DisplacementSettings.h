// The settings of the relief and the report of the vertex-moving method.
//
// The settings are a plain record: the pipeline compares copies of it to
// decide whether the displacement must run again, and the project file keeps
// it under the keys "method", "strengthMillimetres", ..., "base.axis".
// Enumerations are stored as words; a value without a word is written as a
// plain integer, which the reader ignores.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mesh/AabbTree.h"
#include "mesh/remesh/RemeshReport.h"

namespace ridgeforge {
class JsonReader;
class JsonWriter;
}  // namespace ridgeforge

namespace ridgeforge::mesh {

// Stored as "solid", "mesh".
enum class DisplacementMethod : std::int32_t { Solid = 0, Mesh = 1 };
// Stored as "manual", "automatic".
enum class MidLevelMode : std::int32_t { Manual = 0, Automatic = 1 };
// Stored as "centred", "outward", "inward".
enum class DisplacementDirection : std::int32_t { Centred = 0, Outward = 1, Inward = 2 };
// How a vertex shared by faces of different weight gets its own; stored as "any", "all", "average".
enum class OutsideRule : std::int32_t { Any = 0, All = 1, Average = 2 };

// Keeps the bed face flat and the relief on the part's side of the base plane.
struct DisplacementBase {
    bool enabled = false;
    // 0 x, 1 y, 2 z; stored as a plain number.
    std::int32_t axis = 2;
    // True when the part lies above the plane (larger coordinates along the axis).
    bool protectBelow = true;
    float planeMillimetres = 0.0f;
    // Depth of the band next to the plane in which vertices only move along it;
    // 0 or less means 2 x |strength|.
    float bandMillimetres = 0.0f;

    friend bool operator==(const DisplacementBase&, const DisplacementBase&) = default;
};

struct DisplacementSettings {
    DisplacementMethod method = DisplacementMethod::Solid;
    // Mesh method: cut each move to a share of the distance to another smooth region.
    bool limitToClearance = true;
    bool mitreCreases = true;
    bool preventFolds = true;
    // Used clamped to 10..179 degrees.
    float maximumTiltDegrees = 80.0f;
    float wallThresholdMillimetres = 0.42f;
    bool checkThinWalls = true;
    bool holdThinWalls = false;
    // One unit of map height moves a vertex this far.
    float strengthMillimetres = 1.0f;
    float midLevel = 0.5f;
    MidLevelMode midLevelMode = MidLevelMode::Manual;
    DisplacementDirection direction = DisplacementDirection::Centred;
    // Negates the offset before the direction clamp.
    bool invert = false;
    OutsideRule outsideRule = OutsideRule::Average;
    DisplacementBase base;

    // All nineteen fields, floats by ==.
    friend bool operator==(const DisplacementSettings&, const DisplacementSettings&) = default;
};

// Writes every field under the writer's current object.
void WriteDisplacementSettings(const JsonWriter& writer, const DisplacementSettings& settings);
// Reads the keys that are present and usable; the rest keep their values.
void ReadDisplacementSettings(const JsonReader& reader, DisplacementSettings& settings);

// What the vertex-moving displacement did.
struct DisplacementReport {
    bool stopped = false;
    std::uint64_t trianglesTurningOver = 0;
    std::uint64_t trianglesLeftTurned = 0;
    std::uint32_t foldRounds = 0;
    std::uint64_t foldVertices = 0;
    std::uint64_t foldFurtherThanBefore = 0;
    std::uint64_t foldPastClearance = 0;
    std::uint64_t totalVertices = 0;
    std::uint64_t displacedVertices = 0;
    float midLevel = 0.5f;
    float smallestOffset = 0.0f;
    float largestOffset = 0.0f;
    float relief = 0.0f;
    std::uint64_t keptLevelAtBase = 0;
    std::uint64_t heldAtBasePlane = 0;
    std::uint64_t cutShortByClearance = 0;
    std::uint64_t notMovedInward = 0;
    std::vector<StageTime> stages;
    // Per vertex, measured before the move; +infinity where nothing was found.
    // Empty when the part had one smooth region or the clearance limit was off.
    std::vector<float> clearance;
    // Tree of the surface before the move (values: smooth regions), kept for the wall measurement.
    std::shared_ptr<const AabbTree> surfaceTree;
};

// The log text; every line ends in "\n".
std::string FormatDisplacementReport(const DisplacementReport& report);

}  // namespace ridgeforge::mesh
