#include "gl/SceneGeometry.h"

#include <algorithm>
#include <cmath>

namespace ridgeforge::gl {

void MeshBox(const mesh::TriangleMesh& mesh, mesh::Vec3f& lo, mesh::Vec3f& hi) {
    lo = mesh.boundsMin;
    hi = mesh.boundsMax;
    if (mesh.boundsValid) return;
    lo = hi = mesh.vertices.empty() ? mesh::Vec3f{} : mesh.vertices.front().position;
    for (const mesh::Vertex& v : mesh.vertices) {
        lo = mesh::Min(lo, v.position);
        hi = mesh::Max(hi, v.position);
    }
}

SceneBounds ComputeSceneBounds(const mesh::TriangleMesh& mesh) {
    mesh::Vec3f lo;
    mesh::Vec3f hi;
    MeshBox(mesh, lo, hi);
    SceneBounds b;
    b.centre = (lo + hi) * 0.5f;
    const mesh::Vec3f extent = hi - lo;
    b.radius = std::max(0.0001f, 0.5f * mesh::Length(extent));
    // The half diagonal of a part as large as floats allow overflows; so
    // would the camera distance and the grid made from it.
    if (!(b.radius <= kLargestSceneRadius)) b.radius = static_cast<float>(kLargestSceneRadius);
    b.gridHalfSize = std::max(0.5f * b.radius, 0.75f * std::max(extent.x, extent.y));
    b.floorHeight = lo.z;
    b.gridCentre = {b.centre.x, b.centre.y};
    return b;
}

GridLayout ComputeGrid(float gridHalfSize) {
    // Worked in double so that a half size of exactly 5 x 10^k lands on its step.
    // A half size that is not finite is taken as the largest scene's.
    const double s =
        std::isfinite(gridHalfSize) ? std::max(0.0001, static_cast<double>(gridHalfSize)) : kLargestSceneRadius;
    const double base = std::pow(10.0, std::floor(std::log10(s / 5.0)));
    const double r = s / 5.0 / base;
    const double step = r < 1.5 ? base : r < 3.5 ? 2.0 * base : r < 7.5 ? 5.0 * base : 10.0 * base;
    GridLayout grid;
    grid.step = static_cast<float>(step);
    // The count in single precision, so that a half size that is a whole
    // number of steps in floats does not gain a line from the wider type.
    const float half = std::isfinite(gridHalfSize) ? gridHalfSize : static_cast<float>(s);
    const float ratio = half / grid.step;
    grid.lines = static_cast<int>(std::clamp(std::ceil(ratio), 1.0f, 200.0f));
    grid.halfSize = static_cast<float>(grid.lines * step);
    return grid;
}

MeshVertex OverlayVertex(const mesh::Vec3f& p, const mesh::Vec3f& c) {
    return MeshVertex{{p.x, p.y, p.z}, {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f}, {c.x, c.y, c.z}, {0.0f, 0.0f}, 0.0f};
}

std::vector<MeshVertex> ColouredVertices(const std::vector<mesh::Vec3f>& points,
                                         const std::vector<mesh::Vec3f>& colours, const mesh::Vec3f& fallback) {
    std::vector<MeshVertex> out;
    out.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i)
        out.push_back(OverlayVertex(points[i], i < colours.size() ? colours[i] : fallback));
    return out;
}

std::vector<MeshVertex> ColouredVertices(const std::vector<mesh::Vec3f>& points, const mesh::Vec3f& colour) {
    std::vector<MeshVertex> out;
    AppendColoured(out, points, colour);
    return out;
}

void AppendColoured(std::vector<MeshVertex>& out, const std::vector<mesh::Vec3f>& points, const mesh::Vec3f& colour) {
    out.reserve(out.size() + points.size());
    for (const mesh::Vec3f& p : points) out.push_back(OverlayVertex(p, colour));
}

std::vector<MeshVertex> BuildGuideLines(const SceneBounds& b, const GridLayout& grid) {
    const float cx = b.gridCentre[0];
    const float cy = b.gridCentre[1];
    const float h = grid.halfSize;
    const float z = b.floorHeight;
    std::vector<MeshVertex> out;
    out.reserve(static_cast<std::size_t>(8 * grid.lines + 10));
    for (int i = -grid.lines; i <= grid.lines; ++i) {
        const mesh::Vec3f colour = i == 0 ? kGridCentreLineColour : kGridLineColour;
        const float offset = static_cast<float>(i) * grid.step;
        out.push_back(OverlayVertex({cx - h, cy + offset, z}, colour));
        out.push_back(OverlayVertex({cx + h, cy + offset, z}, colour));
        out.push_back(OverlayVertex({cx + offset, cy - h, z}, colour));
        out.push_back(OverlayVertex({cx + offset, cy + h, z}, colour));
    }
    const mesh::Vec3f corner{cx - h, cy - h, z};
    const float length = 0.33f * h;
    out.push_back(OverlayVertex(corner, kAxisXColour));
    out.push_back(OverlayVertex(corner + mesh::Vec3f{length, 0.0f, 0.0f}, kAxisXColour));
    out.push_back(OverlayVertex(corner, kAxisYColour));
    out.push_back(OverlayVertex(corner + mesh::Vec3f{0.0f, length, 0.0f}, kAxisYColour));
    out.push_back(OverlayVertex(corner, kAxisZColour));
    out.push_back(OverlayVertex(corner + mesh::Vec3f{0.0f, 0.0f, length}, kAxisZColour));
    return out;
}

std::vector<MeshVertex> BuildFloorQuad(const SceneBounds& b, const GridLayout& grid) {
    const float h = grid.halfSize;
    const float x0 = b.gridCentre[0] - h, x1 = b.gridCentre[0] + h;
    const float y0 = b.gridCentre[1] - h, y1 = b.gridCentre[1] + h;
    const float z = b.floorHeight - h * 0.0005f;
    return {OverlayVertex({x0, y0, z}, kFloorColour), OverlayVertex({x1, y0, z}, kFloorColour),
            OverlayVertex({x1, y1, z}, kFloorColour), OverlayVertex({x0, y0, z}, kFloorColour),
            OverlayVertex({x1, y1, z}, kFloorColour), OverlayVertex({x0, y1, z}, kFloorColour)};
}

std::vector<MeshVertex> BuildBoxLines(const mesh::Vec3f& lo, const mesh::Vec3f& hi, const mesh::Vec3f& colour) {
    const auto corner = [&](int i) {
        return mesh::Vec3f{(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z};
    };
    std::vector<MeshVertex> out;
    out.reserve(24);
    for (int i = 0; i < 8; ++i)
        for (int bit = 1; bit < 8; bit <<= 1)
            if ((i & bit) == 0) {
                out.push_back(OverlayVertex(corner(i), colour));
                out.push_back(OverlayVertex(corner(i | bit), colour));
            }
    return out;
}

std::vector<MeshVertex> BuildNormalLines(const std::vector<float>& source, float length) {
    std::vector<MeshVertex> out;
    out.reserve(source.size() / 3);
    for (std::size_t i = 0; i + 6 <= source.size(); i += 6) {
        const mesh::Vec3f p{source[i], source[i + 1], source[i + 2]};
        const mesh::Vec3f n{source[i + 3], source[i + 4], source[i + 5]};
        out.push_back(OverlayVertex(p, kNormalLineColour));
        out.push_back(OverlayVertex(p + n * length, kNormalLineColour));
    }
    return out;
}

}  // namespace ridgeforge::gl
