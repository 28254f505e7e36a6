// The rules behind the relief and simplify settings and the remesh input
// dialogs, apart from their windows: how typed numbers are read, the
// triangle estimate lines and the automatic midlevel with its explanation.
//
// The estimate is made as the relief is: a contour remesh at the typed size,
// plus one twelfth for what the relief adds to the surface.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "document/SettingRanges.h"
#include "mesh/TriangleMesh.h"
#include "relief/displacement/DisplacementSettings.h"
#include "mesh/remesh/RemeshSettings.h"
#include "textures/HeightMap.h"

namespace ridgeforge {

// Largest triangle size and strength a field takes, in millimetres.
inline constexpr float kMaximumFieldMillimetres = kLargestFieldMillimetres;
inline constexpr float kMinimumTriangleSize = kSmallestTriangleSizeMillimetres;

// A typed triangle size: raised to 0.01; above 100000 the previous value.
float ReadTriangleSize(float typed, float previous);
// A typed strength: taken from 0 to 100000, else the previous value.
float ReadStrength(float typed, float previous);
// A limit typed in millions, clamped to 0.1..200, as a whole triangle count.
std::uint64_t ReadTriangleLimit(float typedMillions);
// The display limit: as the triangle limit, except that 0 (or less) stays 0,
// which means the whole mesh is shown.
std::uint64_t ReadDisplayLimit(float typedMillions);
// The limit as the field shows it: millions.
float LimitInMillions(std::uint64_t triangles);
float ReadMidLevel(float typed);
float ReadPlanarTolerance(float typed);
float ReadDetailLevel(float typed);

// A part the estimate can work on: vertices and at least one triangle.
bool HasPart(const mesh::TriangleMesh* part);
// A height map with a size and pixels.
bool HasHeightMapData(const mesh::HeightMap* map);

// The relief estimate line for a part (null for none) at the size, with the
// triangle limit in millions: "About 1,300,000 triangles at 0.2 mm." and
// what follows it.
std::string ReliefEstimateText(const mesh::TriangleMesh* part, const mesh::RemeshSettings& settings,
                               float sizeMillimetres, float limitMillions);

// The remesh input estimate line; empty without a part. When the estimate is
// over the triangle limit (0: none), the line says so and `overLimit`, when
// given, is set.
std::string RemeshInputEstimateText(const mesh::TriangleMesh* part, const mesh::RemeshSettings& settings,
                                    mesh::RemeshMethod method, float sizeMillimetres, std::uint64_t triangleLimit = 0,
                                    bool* overLimit = nullptr);

// The automatic midlevel for the direction; nothing without a usable map.
std::optional<float> AutomaticMidLevel(const mesh::HeightMap* map, mesh::DisplacementDirection direction);

// The explanation under the midlevel, manual or automatic.
std::string MidLevelExplanation(bool automatic, const mesh::HeightMap* map, mesh::DisplacementDirection direction);

// The list item of a direction and back: item 1 outward, 2 inward, any other centred.
mesh::DisplacementDirection DirectionFromItem(int item);

// The remesh method list: item 0 isotropic, any other contour.
mesh::RemeshMethod RemeshMethodFromItem(int item);

}  // namespace ridgeforge
