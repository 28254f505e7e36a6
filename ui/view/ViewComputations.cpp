// Colours are one RGB per triangle; the renderer puts it on all three
// corners. Texture coordinates are per corner so that a triangle can take its
// corners from one side of the projection even where a vertex is shared by
// triangles of different sides.
#include "ui/view/ViewComputations.h"

#include <algorithm>
#include <cmath>
#include <execution>
#include <numeric>

#include "relief/mapping/CageFrame.h"
#include "relief/mapping/ProjectToTexture.h"
#include "text/Format.h"
#include "document/DocumentText.h"

namespace ridgeforge {
namespace {

constexpr mesh::Vec3f kGreyBase{0.78f, 0.8f, 0.82f};
constexpr mesh::Vec3f kBridging{0.96f, 0.84f, 0.18f};
constexpr mesh::Vec3f kReachingFar{0.98f, 0.58f, 0.12f};
constexpr mesh::Vec3f kNeedsSupport{0.95f, 0.2f, 0.16f};
constexpr mesh::Vec3f kNoSide{0.45f, 0.47f, 0.5f};

mesh::Vec3f Centroid(const mesh::TriangleMesh& mesh, std::size_t t) {
    const mesh::Vec3f& a = mesh.vertices[mesh.indices[3 * t]].position;
    const mesh::Vec3f& b = mesh.vertices[mesh.indices[3 * t + 1]].position;
    const mesh::Vec3f& c = mesh.vertices[mesh.indices[3 * t + 2]].position;
    return (a + b + c) * (1.0f / 3.0f);
}

void Paint(std::vector<mesh::Vec3f>& colours, const std::vector<std::uint32_t>& triangles, const mesh::Vec3f& colour) {
    for (std::uint32_t t : triangles) {
        if (t < colours.size()) colours[t] = colour;
    }
}

// The dominant sample of one corner: the largest weight, the first on ties.
const mesh::ProjectionSample* Dominant(const mesh::ProjectionSamples& samples) {
    const mesh::ProjectionSample* best = nullptr;
    for (std::int32_t i = 0; i < samples.count && i < 3; ++i) {
        const mesh::ProjectionSample& s = samples.samples[static_cast<std::size_t>(i)];
        if (best == nullptr || s.weight > best->weight) best = &s;
    }
    return best;
}

}  // namespace

mesh::Vec3f ProjectorSideColour(std::int32_t side) {
    switch (side) {
        case 0:
        case 1:
            return {0.88f, 0.28f, 0.25f};
        case 2:
        case 3:
            return {0.32f, 0.78f, 0.36f};
        case 4:
        case 5:
            return {0.3f, 0.52f, 0.92f};
        default:
            return {0.45f, 0.47f, 0.5f};
    }
}

std::vector<mesh::Vec3f> BodyColours(const std::vector<std::uint32_t>& bodyOfTriangle, std::size_t triangles) {
    static constexpr std::array<mesh::Vec3f, 8> kPalette{{{0.85f, 0.42f, 0.35f},
                                                          {0.42f, 0.72f, 0.85f},
                                                          {0.55f, 0.8f, 0.45f},
                                                          {0.88f, 0.75f, 0.38f},
                                                          {0.72f, 0.52f, 0.85f},
                                                          {0.45f, 0.82f, 0.75f},
                                                          {0.9f, 0.6f, 0.75f},
                                                          {0.7f, 0.7f, 0.55f}}};
    std::vector<mesh::Vec3f> colours(triangles, kGreyBase);
    for (std::size_t t = 0; t < triangles && t < bodyOfTriangle.size(); ++t)
        colours[t] = kPalette[bodyOfTriangle[t] % 8];
    return colours;
}

std::vector<mesh::Vec3f> PrintCheckColours(const mesh::PrintabilityReport& report, std::size_t triangles) {
    if (!report.checked || (report.bridgingTriangles.empty() && report.reachingFarTriangles.empty() &&
                            report.needsSupportTriangles.empty()))
        return {};
    std::vector<mesh::Vec3f> colours(triangles, kGreyBase);
    Paint(colours, report.bridgingTriangles, kBridging);
    Paint(colours, report.reachingFarTriangles, kReachingFar);
    Paint(colours, report.needsSupportTriangles, kNeedsSupport);
    return colours;
}

std::vector<mesh::Vec3f> SlicedPrintCheckColours(const mesh::TriangleMesh& preview,
                                                 const mesh::PrintabilityReport& report,
                                                 const std::vector<std::uint32_t>& layerOfTriangle,
                                                 std::uint64_t layersPerPreviewLayer) {
    const std::size_t triangles = preview.TriangleCount();
    if (!report.checked || layerOfTriangle.size() != triangles ||
        (report.needsSupportKeys.empty() && report.reachingFarKeys.empty() && report.bridgingKeys.empty()))
        return {};
    std::vector<mesh::Vec3f> colours(triangles, kGreyBase);
    if (!(report.cellMillimetres > 0.0f) || !mesh::IsValidMesh(preview)) return colours;
    const int b = std::clamp(report.buildAxis, 0, 2);
    for (std::size_t t = 0; t < triangles; ++t) {
        const mesh::Vec3f c = Centroid(preview, t);
        const auto column =
            static_cast<std::int64_t>(std::floor((c[(b + 1) % 3] - report.originU) / report.cellMillimetres));
        const auto row =
            static_cast<std::int64_t>(std::floor((c[(b + 2) % 3] - report.originV) / report.cellMillimetres));
        for (std::uint64_t k = 0; k < layersPerPreviewLayer; ++k) {
            const auto layer = static_cast<std::int64_t>(layerOfTriangle[t] + k);
            if (mesh::HasCellOrNeighbour(column, row, layer, report.needsSupportKeys)) {
                colours[t] = kNeedsSupport;
            } else if (mesh::HasCellOrNeighbour(column, row, layer, report.reachingFarKeys)) {
                colours[t] = kReachingFar;
            } else if (mesh::HasCellOrNeighbour(column, row, layer, report.bridgingKeys)) {
                colours[t] = kBridging;
            } else {
                continue;
            }
            break;
        }
    }
    return colours;
}

std::vector<mesh::Vec3f> ProjectorColours(const mesh::TriangleMesh& mesh, const mesh::Projection& projection,
                                          const std::vector<std::uint8_t>& faceBytes) {
    const std::size_t triangles = mesh.TriangleCount();
    std::vector<mesh::Vec3f> colours(triangles, kNoSide);
    if (!mesh::IsValidMesh(mesh)) return colours;
    std::vector<std::size_t> order(triangles);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::for_each(std::execution::par, order.begin(), order.end(), [&](std::size_t t) {
        const std::uint8_t face = t < faceBytes.size() ? faceBytes[t] : std::uint8_t{255};
        const mesh::ProjectionSamples s =
            mesh::ProjectToTexture(projection, Centroid(mesh, t), mesh.FaceNormal(t), face);
        const mesh::ProjectionSample* best = Dominant(s);
        if (best != nullptr && best->weight > 0.0f) colours[t] = ProjectorSideColour(best->side);
    });
    return colours;
}

std::vector<mesh::Vec3f> OuterInnerColours(const std::vector<std::uint8_t>& outwardFlags, std::size_t triangles) {
    std::vector<mesh::Vec3f> colours(triangles, {0.55f, 0.55f, 0.58f});
    for (std::size_t t = 0; t < triangles && t < outwardFlags.size(); ++t) {
        if (outwardFlags[t] == 1) colours[t] = {0.86f, 0.88f, 0.84f};
        if (outwardFlags[t] == 0) colours[t] = {0.93f, 0.45f, 0.18f};
    }
    return colours;
}

std::vector<std::array<float, 2>> ComputeTextureCoordinates(const mesh::TriangleMesh& mesh,
                                                            const mesh::Projection& projection) {
    std::vector<std::array<float, 2>> uv(mesh.indices.size(), std::array<float, 2>{0.0f, 0.0f});
    if (!mesh::IsValidMesh(mesh)) return uv;
    const bool cylinder = projection.type == mesh::ProjectionType::Cylinder;
    const float circumference = cylinder ? 2.0f * 3.1415927f * mesh::CylinderRadius(projection) : 0.0f;
    // One whole turn of the wrap in texture coordinates.
    std::array<float, 2> turn{0.0f, 0.0f};
    if (cylinder && circumference > 0.0f) {
        const mesh::SideUv start = mesh::SideTileUv(projection, 0, 0.0f, 0.0f);
        const mesh::SideUv end = mesh::SideTileUv(projection, 0, circumference, 0.0f);
        turn = {end.u - start.u, end.v - start.v};
    }
    const float turnSquared = turn[0] * turn[0] + turn[1] * turn[1];
    std::vector<std::size_t> order(mesh.TriangleCount());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::for_each(std::execution::par, order.begin(), order.end(), [&](std::size_t t) {
        const mesh::Vec3f normal = mesh.FaceNormal(t);
        bool allWall = true;
        for (std::size_t k = 0; k < 3; ++k) {
            const mesh::Vec3f& p = mesh.vertices[mesh.indices[3 * t + k]].position;
            const mesh::ProjectionSamples s = mesh::ProjectToTexture(projection, p, normal);
            const mesh::ProjectionSample* best = Dominant(s);
            if (best == nullptr) {
                allWall = false;
                continue;
            }
            uv[3 * t + k] = {best->u, best->v};
            allWall = allWall && best->side == 0;
        }
        if (!cylinder || !allWall || !(turnSquared > 0.0f)) return;
        const std::array<float, 2> first = uv[3 * t];
        for (std::size_t k = 1; k < 3; ++k) {
            std::array<float, 2>& corner = uv[3 * t + k];
            const float along = (first[0] - corner[0]) * turn[0] + (first[1] - corner[1]) * turn[1];
            const float turns = std::round(along / turnSquared);
            corner[0] += turns * turn[0];
            corner[1] += turns * turn[1];
        }
    });
    return uv;
}

gl::MappingState BuildMappingState(const mesh::Projection& p) {
    gl::MappingState state;
    const bool boxOrSphere = p.type == mesh::ProjectionType::Box || p.type == mesh::ProjectionType::Sphere;
    state.blend = boxOrSphere && p.box.blended;
    state.blendSharpness = p.box.blendSharpness;
    state.sphere = p.type == mesh::ProjectionType::Sphere;
    if (state.sphere) {
        state.sphereRadius = 0.5f * std::max({p.cage.size.x, p.cage.size.y, p.cage.size.z});
        for (int side = 0; side < mesh::kSideCount; ++side) {
            const mesh::BoxSideFrameData frame = mesh::BoxSideFrame(side, static_cast<int>(p.sphere.axis));
            const auto s = static_cast<std::size_t>(side);
            state.faceU[s] = frame.uAxis;
            state.faceV[s] = frame.vAxis;
            state.faceN[s] = frame.normal;
            state.faceTurn[s] = frame.azimuthRadians;
        }
    }
    if (!state.blend) return state;
    state.cageCenter = p.cage.center;
    // The cage's own axes in part space, as RotateByCage turns local vectors.
    const mesh::RotationAxes axes = mesh::RotationFromDegrees(p.cage.rotationDegrees);
    state.cageAxisX = axes.x;
    state.cageAxisY = axes.y;
    state.cageAxisZ = axes.z;
    for (std::size_t s = 0; s < static_cast<std::size_t>(mesh::kSideCount); ++s) {
        state.sideEnabled[s] = p.box.sideEnabled[s] ? 1 : 0;
        state.layerOrigin[s] = {p.layer[s].originMillimetres[0], p.layer[s].originMillimetres[1]};
        state.layerTurn[s] = p.layer[s].rotationDegrees * 3.1415927f / 180.0f;
        state.layerZoom[s] = p.layer[s].zoom;
    }
    return state;
}

std::vector<float> CarryCornerMask(const mesh::ReducedMesh& copy, const std::vector<float>& cornerMask,
                                   std::size_t fullCorners) {
    if (cornerMask.empty() || cornerMask.size() != fullCorners) return {};
    std::vector<float> carried(copy.mesh.indices.size(), 0.0f);
    for (std::size_t t = 0; t < copy.sourceTriangles.size() && 3 * t + 2 < carried.size(); ++t) {
        const std::size_t s = copy.sourceTriangles[t];
        if (3 * s + 2 >= cornerMask.size()) continue;
        const float mean = (cornerMask[3 * s] + cornerMask[3 * s + 1] + cornerMask[3 * s + 2]) / 3.0f;
        carried[3 * t] = carried[3 * t + 1] = carried[3 * t + 2] = mean;
    }
    return carried;
}

CString ReducedCopyNotice(std::uint64_t fullTriangles, std::uint64_t copyTriangles, bool graphicsCard) {
    const std::string full = FormatCount(fullTriangles);
    const std::string copy = FormatCount(copyTriangles);
    const std::string text =
        graphicsCard ? "The graphics card could not hold all " + full + " triangles, so a reduced copy of " + copy +
                           " is shown, tinted blue. The part itself is whole: it is processed and saved in full."
                     : full + " triangles is over the display limit, so a reduced copy of " + copy +
                           " is shown, tinted blue. The part itself is whole: it is processed and saved in full. "
                           "The limit is in the Remesh settings.";
    return Utf8ToCString(text);
}

}  // namespace ridgeforge
