// From the height map to one signed offset in millimetres per vertex.
//
// The offset of a map height h is (h - mid-level) x strength, negated when
// the relief is inverted, then clamped to >= 0 (outward) or <= 0 (inward).
// A vertex is sampled either once at its own position and normal, or, when
// the faces' side bytes matter (one-tile clipping, or sides limited to outer
// or inner faces), once per triangle corner with that triangle's byte; the
// corners are then averaged per vertex, weighted by triangle area times the
// share of the corner the texture covers.
//
// Needs: a height map with its levels; the projection; the tile frame.
// Gives: offsets; 0 for every vertex the texture does not reach.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/TileFrame.h"
#include "mesh/TriangleMesh.h"
#include "relief/mapping/ProjectToTexture.h"
#include "relief/mapping/Projection.h"
#include "relief/displacement/DisplacementSettings.h"
#include "textures/HeightMap.h"

namespace ridgeforge::mesh {

// True when the map has a size and pixels to sample.
bool HasHeights(const HeightMap& map);

// The map height that stays on the surface: the settings' mid-level in manual
// mode or for an empty map; automatically the 1st percentile (outward), the
// 99th (inward) or the map's neutral height through its levels (centred, 0.5
// when the map has none).
float ResolveMidLevel(const HeightMap& map, const DisplacementSettings& settings);

// The signed offset of one map height (mm).
float HeightOffset(float height, float midLevel, const DisplacementSettings& settings);

// Drops the samples outside the unit tile of the frame and renormalises the
// rest; clears the samples when none (or no weight) is left. Nothing happens
// unless the frame's clip flag is set.
void ClipSamplesToMap(const TileFrame& frame, ProjectionSamples& samples);

// The levelled map height of the samples, weighted; with no positive weight
// the height at the sample of largest weight.
float WeightedSampleHeight(const HeightMap& map, const ProjectionSamples& samples);

// One offset per vertex. `faceFlags` are the coverage's face bytes (one per triangle).
std::vector<float> SampleDisplacementHeights(const TriangleMesh& mesh, const Projection& projection,
                                             const HeightMap& map, const DisplacementSettings& settings,
                                             const std::vector<std::uint8_t>* faceFlags, const TileFrame& frame);

}  // namespace ridgeforge::mesh
