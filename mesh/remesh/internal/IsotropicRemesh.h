// The passes of the isotropic remesher: split long edges, collapse short
// ones, flip towards valence 6 and relax tangentially, after Botsch and
// Kobbelt, "A Remeshing Approach to Multiresolution Modeling" (SGP 2004).
// Feature edges, open borders and non-manifold edges are classified after
// each round's splitting; their vertices are flagged and never move or go.
//
// Needs: an EditableMesh built from a mesh that satisfies the validity rule;
// the collapse, flip and relax passes need a fresh RebuildVertexFaces and the
// edge list and vertex flags of the current mesh.
// Returns: the number of changes (the relaxation returns nothing).
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/AabbTree.h"
#include "mesh/EditableMesh.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

enum : std::uint32_t { kEdgeFeature = 1, kEdgeBoundary = 2, kEdgeNonManifold = 4 };

// The limits one remesh run derives from the wanted edge length L.
struct IsotropicLimits {
    float split = 0.0f;                // 4L/3
    float collapse = 0.0f;             // 4L/5
    float smallestDoubledArea = 0.0f;  // L^2 / 10,000
};

IsotropicLimits MakeIsotropicLimits(float edgeLength);

// Sum of kEdgeFeature, kEdgeBoundary and kEdgeNonManifold for the edge.
std::uint32_t ClassifyEdge(const EditableMesh& mesh, const EditableEdge& edge, float featureCosine);

// Flags both ends of every edge that ClassifyEdge marks; returns how many
// edges are features.
std::uint64_t FlagSpecialVertices(const EditableMesh& mesh, const std::vector<EditableEdge>& edges, float featureCosine,
                                  std::vector<std::uint8_t>& vertexFlags);

// Splits every manifold edge longer than the limit at its midpoint, judging
// all edges against the positions at the start of the pass.
std::uint64_t SplitLongEdges(EditableMesh& mesh, float splitLimit);

std::uint64_t CollapseShortEdges(EditableMesh& mesh, const std::vector<EditableEdge>& edges,
                                 const IsotropicLimits& limits, const std::vector<std::uint8_t>& vertexFlags,
                                 float featureCosine);

std::uint64_t FlipEdgesForShape(EditableMesh& mesh, const std::vector<EditableEdge>& edges,
                                const std::vector<std::uint8_t>& vertexFlags, float featureCosine, float splitLimit);

// Moves every unflagged vertex towards the centre of its ring within its
// tangent plane, then, when projecting, back onto the original surface; the
// moves of the corners of any triangle that would turn by more than about 60
// degrees are taken back, so relaxing never folds the surface.
void RelaxVertices(EditableMesh& mesh, const std::vector<std::uint8_t>& vertexFlags, float relaxation,
                   const TriangleMesh& original, const AabbTree& originalTree, bool projectToOriginal,
                   float edgeLength);

}  // namespace ridgeforge::mesh
