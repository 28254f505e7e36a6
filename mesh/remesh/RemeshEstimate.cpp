// The contour grid cell and the quick triangle estimate of a remesh.
//
// The estimate divides the part's surface area by the area of one new
// triangle: an equilateral triangle of the target edge for the isotropic
// remesher, and cell^2 / 2.16 for contouring (about 2.16 triangles per square
// cell of surface, measured on contoured parts).
#include <algorithm>
#include <cmath>

#include "mesh/remesh/RemeshSettings.h"

namespace ridgeforge::mesh {

float ContourCellSize(const BoundingBox& bounds, const RemeshSettings& settings, bool* raised) {
    if (raised != nullptr) *raised = false;
    // std::max would keep a NaN target; the comparison below turns it into the minimum.
    float cell = settings.targetEdgeMillimetres > kMinimumCellMillimetres ? settings.targetEdgeMillimetres
                                                                          : kMinimumCellMillimetres;
    if (bounds.valid) {
        const Vec3f size = bounds.max - bounds.min;
        const float longest = std::max({size.x, size.y, size.z});
        const float finest = longest / static_cast<float>(kMaxCellsPerAxis);
        if (finest > cell) {
            cell = finest;
            if (raised != nullptr) *raised = true;
        }
    }
    return cell;
}

RemeshEstimate EstimateRemesh(const TriangleMesh& mesh, const RemeshSettings& settings) {
    RemeshEstimate estimate;
    estimate.triangles = mesh.indices.size() / 3;
    if (!IsValidMesh(mesh)) return estimate;

    double area = 0.0;
    for (std::size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        const Vec3f& a = mesh.vertices[mesh.indices[i]].position;
        const Vec3f& b = mesh.vertices[mesh.indices[i + 1]].position;
        const Vec3f& c = mesh.vertices[mesh.indices[i + 2]].position;
        area += 0.5 * static_cast<double>(Length(Cross(b - a, c - a)));
        ++estimate.measuredTriangles;
    }
    estimate.areaSquareMillimetres = area;

    double perTriangle = 0.0;
    if (settings.method == kRemeshIsotropic) {
        // Written so that a NaN target is taken as the minimum, as the remeshers take it.
        const double edge = settings.targetEdgeMillimetres > kMinimumCellMillimetres
                                ? static_cast<double>(settings.targetEdgeMillimetres)
                                : static_cast<double>(kMinimumCellMillimetres);
        perTriangle = std::sqrt(3.0) / 4.0 * edge * edge;
    } else {
        bool raised = false;
        const float cell = std::max(ContourCellSize(MeshBounds(mesh), settings, &raised), kMinimumCellMillimetres);
        if (raised) estimate.raisedCellMillimetres = cell;
        perTriangle = static_cast<double>(cell) * static_cast<double>(cell) / 2.16;
    }
    const double expected = area / perTriangle;
    if (expected >= 1.8e19) {
        estimate.expectedTriangles = ~std::uint64_t{0};  // beyond any limit; the cast would be undefined
    } else if (expected > 0.0) {
        estimate.expectedTriangles = static_cast<std::uint64_t>(expected);
    }
    estimate.expectedTotal = estimate.triangles - estimate.measuredTriangles + estimate.expectedTriangles;
    return estimate;
}

}  // namespace ridgeforge::mesh
