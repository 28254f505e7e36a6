// Mask-volume outlines as coloured line segments.
#include "relief/mapping/MaskOverlay.h"

#include <array>
#include <cmath>

#include "relief/mapping/CageFrame.h"

namespace ridgeforge::gl {
namespace {

using mesh::Vec3f;

constexpr int kEllipseSegments = 48;
constexpr int kJoinEvery = 12;
constexpr int kMeridians = 24;
constexpr int kLatitudes = 12;

struct Colours {
    Vec3f main;
    Vec3f second;
};

Colours ColoursFor(const mesh::MaskVolume& volume, bool selected) {
    if (selected) return {{1.0f, 0.62f, 0.25f}, {1.0f, 1.0f, 1.0f}};
    if (volume.enabled) return {{0.93f, 0.45f, 0.18f}, {0.98f, 0.58f, 0.22f}};
    return {{0.93f, 0.45f, 0.18f}, {0.55f, 0.55f, 0.58f}};
}

void AddSegment(ColouredGeometry& out, const Vec3f& a, const Vec3f& b, const Vec3f& colour) {
    out.linePoints.insert(out.linePoints.end(), {a, b});
    out.lineColours.insert(out.lineColours.end(), {colour, colour});
}

}  // namespace

void BuildMaskOverlay(const mesh::MaskVolume& volume, bool selected, ColouredGeometry& overlay) {
    const Colours colours = ColoursFor(volume, selected);
    const mesh::ProjectionCage placement = volume.FlooredPlacement();
    const mesh::RotationAxes axes = mesh::RotationFromDegrees(placement.rotationDegrees);
    const Vec3f h = placement.size * 0.5f;
    auto at = [&](const Vec3f& local) { return placement.center + axes.ToPart(local); };
    switch (volume.shape) {
        case mesh::MaskShape::Box: {
            const std::array<Vec3f, 8> corners = mesh::CageCorners(placement);
            for (int i = 0; i < 8; ++i) {
                for (int axis = 0; axis < 3; ++axis) {
                    if ((i & (1 << axis)) != 0) continue;
                    // The edges along the local z axis carry the second colour.
                    AddSegment(overlay, corners[i], corners[i | (1 << axis)],
                               axis == 2 ? colours.second : colours.main);
                }
            }
            break;
        }
        case mesh::MaskShape::Cylinder: {
            auto rim = [&](int j, float z) {
                const float angle = mesh::kTwoPi * static_cast<float>(j) / kEllipseSegments;
                return at({h.x * std::cos(angle), h.y * std::sin(angle), z});
            };
            for (int j = 0; j < kEllipseSegments; ++j) {
                AddSegment(overlay, rim(j, -h.z), rim(j + 1, -h.z), colours.main);
                AddSegment(overlay, rim(j, h.z), rim(j + 1, h.z), colours.main);
                if (j % kJoinEvery == 0) AddSegment(overlay, rim(j, -h.z), rim(j, h.z), colours.second);
            }
            break;
        }
        case mesh::MaskShape::Sphere: {
            auto net = [&](int i, int j) {
                const float lon = mesh::kTwoPi * static_cast<float>(i) / kMeridians;
                const float lat = mesh::kPi * static_cast<float>(j) / kLatitudes - 0.5f * mesh::kPi;
                return at(
                    {std::cos(lat) * std::cos(lon) * h.x, std::cos(lat) * std::sin(lon) * h.y, std::sin(lat) * h.z});
            };
            for (int i = 0; i < kMeridians; ++i) {
                for (int j = 0; j < kLatitudes; ++j) AddSegment(overlay, net(i, j), net(i, j + 1), colours.main);
                // Latitude circles between the poles, in the second colour.
                for (int j = 1; j < kLatitudes; ++j) AddSegment(overlay, net(i, j), net(i + 1, j), colours.second);
            }
            break;
        }
    }
}

}  // namespace ridgeforge::gl
