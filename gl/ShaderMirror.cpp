#include "gl/ShaderMirror.h"

#include <algorithm>
#include <cmath>

#include "relief/mapping/CageFrame.h"

namespace ridgeforge::gl {
namespace {

float FlooredMod(float value, float divisor) { return value - divisor * std::floor(value / divisor); }

std::array<float, 2> Turn(std::array<float, 2> p, float radians) {
    if (radians == 0.0f) return p;
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    return {p[0] * c + p[1] * s, -p[0] * s + p[1] * c};
}

}  // namespace

HeightMapUniforms HeightMapUniformsFrom(const mesh::TextureSettings& s) {
    HeightMapUniforms u;
    u.wrapMode = static_cast<int>(s.wrap);
    u.sizeMm = {s.widthMillimetres, s.heightMillimetres};
    u.offsetMm = {s.offsetMillimetres[0], s.offsetMillimetres[1]};
    u.rotationRadians = s.rotationDegrees * 3.1415927f / 180.0f;
    u.blackLevel = s.blackLevel;
    u.whiteLevel = s.whiteLevel;
    u.gamma = s.gamma;
    u.outputBlack = s.outputBlackLevel;
    u.outputWhite = s.outputWhiteLevel;
    u.invert = s.invert;
    return u;
}

int WrapIndex(float i, float n, int wrapMode) {
    if (wrapMode == 2) return static_cast<int>(std::clamp(i, 0.0f, n - 1.0f));
    if (wrapMode == 1) {
        const float m = FlooredMod(i, 2.0f * n);
        return static_cast<int>(m < n ? m : 2.0f * n - 1.0f - m);
    }
    return static_cast<int>(FlooredMod(i, n));
}

float ApplyLevels(float value, const HeightMapUniforms& u) {
    const float span = u.whiteLevel - u.blackLevel;
    float t = std::fabs(span) > 1e-6f ? (value - u.blackLevel) / span : (value >= u.whiteLevel ? 1.0f : 0.0f);
    t = std::clamp(t, 0.0f, 1.0f);
    if (u.gamma > 0.0f && u.gamma != 1.0f) t = std::pow(t, u.gamma);
    t = u.outputBlack + t * (u.outputWhite - u.outputBlack);
    return u.invert ? 1.0f - t : t;
}

float HeightAt(const std::vector<float>& texels, int width, int height, const HeightMapUniforms& u, float mmX,
               float mmY) {
    const std::array<float, 2> p = Turn({mmX - u.offsetMm[0], mmY - u.offsetMm[1]}, u.rotationRadians);
    const float sizeX = u.sizeMm[0] == 0.0f ? 1.0f : u.sizeMm[0];
    const float sizeY = u.sizeMm[1] == 0.0f ? 1.0f : u.sizeMm[1];
    float raw = 0.0f;
    if (width > 0 && height > 0 &&
        texels.size() >= static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        const float w = static_cast<float>(width);
        const float h = static_cast<float>(height);
        const float x = p[0] / sizeX * w - 0.5f;
        const float y = p[1] / sizeY * h - 0.5f;
        const float x0 = std::floor(x);
        const float y0 = std::floor(y);
        const float fx = x - x0;
        const float fy = y - y0;
        const auto at = [&](float xi, float yi) {
            const int column = WrapIndex(xi, w, u.wrapMode);
            const int row = WrapIndex(yi, h, u.wrapMode);
            return texels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                          static_cast<std::size_t>(column)];
        };
        const float a = at(x0, y0);
        const float b = at(x0 + 1.0f, y0);
        const float c = at(x0, y0 + 1.0f);
        const float d = at(x0 + 1.0f, y0 + 1.0f);
        const float top = a + (b - a) * fx;
        const float bottom = c + (d - c) * fx;
        raw = top + (bottom - top) * fy;
    }
    return ApplyLevels(raw, u);
}

MaskUniform MaskUniformFrom(const mesh::MaskVolume& volume) {
    MaskUniform m;
    m.shape = static_cast<int>(volume.shape);
    m.centre = volume.center;
    const mesh::ProjectionCage placement = volume.Placement();
    m.axisX = mesh::RotateByCage(placement, {1.0f, 0.0f, 0.0f});
    m.axisY = mesh::RotateByCage(placement, {0.0f, 1.0f, 0.0f});
    m.axisZ = mesh::RotateByCage(placement, {0.0f, 0.0f, 1.0f});
    m.half = {std::max(0.001f, volume.size.x) * 0.5f, std::max(0.001f, volume.size.y) * 0.5f,
              std::max(0.001f, volume.size.z) * 0.5f};
    m.feather = volume.featherMillimetres;
    return m;
}

float MaskInside(const MaskUniform& mask, const mesh::Vec3f& p) {
    const mesh::Vec3f d = p - mask.centre;
    const mesh::Vec3f l{mesh::Dot(d, mask.axisX), mesh::Dot(d, mask.axisY), mesh::Dot(d, mask.axisZ)};
    const mesh::Vec3f& h = mask.half;
    float dist;
    if (mask.shape == 0) {
        const mesh::Vec3f q{std::fabs(l.x) - h.x, std::fabs(l.y) - h.y, std::fabs(l.z) - h.z};
        dist = mesh::Length(mesh::Max(q, mesh::Vec3f{})) + std::min(std::max({q.x, q.y, q.z}), 0.0f);
    } else if (mask.shape == 2) {
        dist = (mesh::Length(mesh::Vec3f{l.x / h.x, l.y / h.y, l.z / h.z}) - 1.0f) * std::min({h.x, h.y, h.z});
    } else {
        const float radial = (std::hypot(l.x / h.x, l.y / h.y) - 1.0f) * std::min(h.x, h.y);
        const float axial = std::fabs(l.z) - h.z;
        dist = std::hypot(std::max(radial, 0.0f), std::max(axial, 0.0f)) + std::min(std::max(radial, axial), 0.0f);
    }
    if (dist <= 0.0f) return 1.0f;
    if (mask.feather <= 0.0f || dist >= mask.feather) return 0.0f;
    const float t = dist / mask.feather;
    return 1.0f - t * t * (3.0f - 2.0f * t);
}

float MaskFactor(const std::vector<MaskUniform>& masks, const mesh::Vec3f& p) {
    float inside = 0.0f;
    for (std::size_t i = 0; i < masks.size() && i < 16; ++i) inside = std::max(inside, MaskInside(masks[i], p));
    return 1.0f - inside;
}

std::array<float, 2> SideMillimetres(const MappingState& m, int side, const mesh::Vec3f& local) {
    std::array<float, 2> plane;
    if (m.sphere) {
        const float depth = mesh::Dot(local, m.faceN[side]);
        plane = {m.sphereRadius * (m.faceTurn[side] + std::atan2(mesh::Dot(local, m.faceU[side]), depth)),
                 m.sphereRadius * std::atan2(mesh::Dot(local, m.faceV[side]), depth)};
    } else {
        const int axis = side / 2;
        const float sign = side % 2 == 0 ? 1.0f : -1.0f;
        if (axis == 0)
            plane = {local.y * sign, local.z};
        else if (axis == 1)
            plane = {local.x * sign, local.z};
        else
            plane = {local.x * sign, local.y};
    }
    std::array<float, 2> p =
        Turn({plane[0] - m.layerOrigin[side][0], plane[1] - m.layerOrigin[side][1]}, m.layerTurn[side]);
    const float zoom = m.layerZoom[side] <= 0.0f ? 1.0f : m.layerZoom[side];
    return {p[0] / zoom, p[1] / zoom};
}

int BlendContributions(const MappingState& m, const mesh::Vec3f& position, const mesh::Vec3f& normal,
                       std::array<BlendContribution, 3>& out) {
    const mesh::Vec3f d = position - m.cageCenter;
    const mesh::Vec3f local{mesh::Dot(d, m.cageAxisX), mesh::Dot(d, m.cageAxisY), mesh::Dot(d, m.cageAxisZ)};
    mesh::Vec3f n{mesh::Dot(normal, m.cageAxisX), mesh::Dot(normal, m.cageAxisY), mesh::Dot(normal, m.cageAxisZ)};
    if (mesh::LengthSquared(n) <= 0.0f) return 0;
    n = n / mesh::Length(n);
    const float k = std::max(m.blendSharpness, 0.1f);
    int count = 0;
    float total = 0.0f;
    for (int axis = 0; axis < 3; ++axis) {
        const int side = 2 * axis + (n[axis] >= 0.0f ? 0 : 1);
        if (m.sideEnabled[side] == 0) continue;
        const float w = std::pow(std::fabs(n[axis]), k);
        if (w <= 0.0f) continue;
        out[count] = {SideMillimetres(m, side, local), w};
        total += w;
        ++count;
    }
    for (int i = 0; i < count; ++i) out[i].weight /= total;
    return count;
}

}  // namespace ridgeforge::gl
