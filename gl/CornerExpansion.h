// The part as the renderer draws it: one vertex per triangle corner, so that
// a face normal never bleeds across an edge and flat and smooth shading share
// one buffer, plus a separate 12-byte projection record per corner that the
// view can replace on its own.
//
// Precedence of the optional lists: a triangle's colour from
// `triangleColours`, else grey-blue (0.7, 0.73, 0.78); a corner's projector
// millimetres from `cornerUv`, else `vertexUv` of its vertex, else (0, 0);
// its weight from `cornerMask`, else `vertexMask`, else 0. A vertex normal of
// zero length gives way to the face normal.
//
// Needs: a mesh that obeys the index rule (callers check). Gives: the lists
// in corner order; the index list of the draw is simply 0, 1, 2, ...
#pragma once

#include <vector>

#include "gl/RendererTypes.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::gl {

inline constexpr mesh::Vec3f kPartColour{0.7f, 0.73f, 0.78f};

// Vertex records with projected (0, 0) and mask 0: the projection stream
// carries those.
std::vector<MeshVertex> ExpandCorners(const mesh::TriangleMesh& mesh, const ProjectedCoordinates* coordinates);

std::vector<ProjectionRecord> BuildProjectionRecords(const mesh::TriangleMesh& mesh,
                                                     const ProjectedCoordinates* coordinates);

}  // namespace ridgeforge::gl
