// The texture coverage of a mesh: how strongly each vertex moves and which
// faces receive texture.
//
// A corner's weight is the share of it that a projector side reaches (after
// the side's outer/inner face rule and the one-tile clip), lowered near mask
// volumes by a smoothstep over their feather. A vertex takes the largest, the
// smallest or the area-weighted mean of its corners' weights, by the outside
// rule. The coverage follows the mesh through simplification and cleanup by
// their new-to-old vertex and face maps.
//
// Needs: a valid mesh with vertex normals. Gives: a coverage that matches the
// mesh, or an empty one for a broken mesh.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/CancellableLoop.h"
#include "mesh/TextureCoverage.h"
#include "mesh/TileFrame.h"
#include "mesh/TriangleMesh.h"
#include "relief/mapping/MaskVolume.h"
#include "relief/mapping/Projection.h"
#include "relief/displacement/DisplacementSettings.h"

namespace ridgeforge::mesh {

struct FaceMaskStatistics {
    std::uint64_t faces = 0;
    std::uint64_t maskedFaces = 0;
    double totalArea = 0.0;
    double maskedArea = 0.0;
};

// `faceMask` (one byte per triangle, 255 outward, 0 inward) is used only when
// its length fits; only `outsideRule` of the settings is read. With a
// context, the passes over the triangles look at its stop by the clock, and
// a stop throws `Stopped`.
TextureCoverage ComputeTextureWeights(const TriangleMesh& mesh, const Projection& projection,
                                      const std::vector<std::uint8_t>* faceMask, const DisplacementSettings& settings,
                                      const TileFrame& frame, const std::vector<MaskVolume>* masks = nullptr,
                                      CancelContext* cancel = nullptr);

// 255 where the outward-face flag is above 0 (faces without area count as outward), else 0.
std::vector<std::uint8_t> FlagsToMask(const std::vector<std::uint8_t>& flags);

// The coverage carried over to `newMesh`, made from `oldMesh`; the maps give
// for each new vertex (triangle) its old one. Empty when the coverage does
// not match the old mesh or a map does not fit both meshes.
TextureCoverage RemapTextureCoverage(const TextureCoverage& coverage, const TriangleMesh& oldMesh,
                                     const TriangleMesh& newMesh, const std::vector<std::uint32_t>& vertexMap,
                                     const std::vector<std::uint32_t>& faceMap);

// "T of F faces receive texture, K of V vertices will move[, mean weight W]".
std::string FormatCoverageReport(const TextureCoverage& coverage);

// Counts and areas of the faces whose byte is not 0.
FaceMaskStatistics CoverageStatistics(const TriangleMesh& mesh, const std::vector<std::uint8_t>& bytes);

}  // namespace ridgeforge::mesh
