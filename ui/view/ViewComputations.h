// The view's per-triangle and per-corner data for the renderer, apart from
// any window: the colour rules (bodies, print-check verdicts flat and
// sliced, projector sides, outer and inner faces, the reduced copy's tint),
// the projected texture coordinates with the cylinder's seam mended, the
// mapping state of the blended box, and the display-limit notices.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "document/DocumentHost.h"
#include "gl/RendererTypes.h"
#include "mesh/DisplayComputations.h"
#include "mesh/TriangleMesh.h"
#include "relief/mapping/Projection.h"
#include "relief/validation/Printability.h"
#include "textures/TextureSettings.h"

namespace ridgeforge {

inline constexpr mesh::Vec3f kReducedCopyTint{0.52f, 0.66f, 0.9f};
inline constexpr mesh::Vec3f kRestingFaceColour{0.3f, 0.65f, 0.95f};
inline constexpr mesh::Vec3f kHoveredRestingFaceColour{0.98f, 0.62f, 0.2f};

// Body index modulo 8 into the body palette; triangles without an index stay grey.
std::vector<mesh::Vec3f> BodyColours(const std::vector<std::uint32_t>& bodyOfTriangle, std::size_t triangles);

// Grey, then bridging yellow, reaching-far orange, needing-support red (red wins).
// Empty when the report has no verdicts to show.
std::vector<mesh::Vec3f> PrintCheckColours(const mesh::PrintabilityReport& report, std::size_t triangles);

// The same verdicts on the sliced preview, looked up by cell and layer.
std::vector<mesh::Vec3f> SlicedPrintCheckColours(const mesh::TriangleMesh& preview,
                                                 const mesh::PrintabilityReport& report,
                                                 const std::vector<std::uint32_t>& layerOfTriangle,
                                                 std::uint64_t layersPerPreviewLayer);

// The projecting side of each triangle's centroid: X red, Y green, Z blue.
std::vector<mesh::Vec3f> ProjectorColours(const mesh::TriangleMesh& mesh, const mesh::Projection& projection,
                                          const std::vector<std::uint8_t>& faceBytes);

// 1 open air, 0 facing another surface, anything else grey.
std::vector<mesh::Vec3f> OuterInnerColours(const std::vector<std::uint8_t>& outwardFlags, std::size_t triangles);

// One (u, v) in millimetres per corner, in index order, from the dominant
// sample of each corner with the face normal. On a cylinder wall the corners
// of one triangle are moved into the same turn of the wrap. Parallel.
std::vector<std::array<float, 2>> ComputeTextureCoordinates(const mesh::TriangleMesh& mesh,
                                                            const mesh::Projection& wholeTiles);

// The renderer's mapping state from the projection with whole tiles applied.
gl::MappingState BuildMappingState(const mesh::Projection& wholeTiles);

// Per-corner mask weights of the copy: each triangle's three corners get the
// mean of its source triangle's weights. Empty unless `cornerMask` covers
// every corner of the full mesh.
std::vector<float> CarryCornerMask(const mesh::ReducedMesh& copy, const std::vector<float>& cornerMask,
                                   std::size_t fullCorners);

// "<full> triangles is over the display limit, ..." or the graphics-card text.
CString ReducedCopyNotice(std::uint64_t fullTriangles, std::uint64_t copyTriangles, bool graphicsCard);

// The colour of a box side in the projector views: red for the X sides,
// green for Y, blue for Z, grey for none.
mesh::Vec3f ProjectorSideColour(std::int32_t side);

}  // namespace ridgeforge
