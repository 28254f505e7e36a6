// Texture samples of one point for the four mappings.
#include "relief/mapping/ProjectToTexture.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "relief/mapping/CageFrame.h"

namespace ridgeforge::mesh {
namespace {

// The point and normal in cage coordinates.
struct LocalPoint {
    Vec3f q;
    Vec3f m;
};

float SideSign(int side) { return side % 2 == 0 ? 1.0f : -1.0f; }

void Append(ProjectionSamples& s, float u, float v, float weight, int side) {
    s.samples[s.count] = {u, v, weight, side};
    ++s.count;
}

constexpr float kAnyWeight = -std::numeric_limits<float>::infinity();

// Index of the largest weight above `floor` among the samples, the first on
// ties; -1 when there is none.
int LargestSample(const ProjectionSamples& s, float floor) {
    int best = -1;
    for (int i = 0; i < s.count; ++i) {
        if (s.samples[i].weight > (best < 0 ? floor : s.samples[best].weight)) best = i;
    }
    return best;
}

int DominantSide(const ProjectionSamples& s, float floor) {
    const int best = LargestSample(s, floor);
    return best < 0 ? -1 : s.samples[best].side;
}

// Side coordinates of a box or sphere side.
SideUv BoxOrSphereUv(const Projection& p, int side, const Vec3f& q) {
    if (p.type == ProjectionType::Sphere) {
        const BoxSideFrameData f = BoxSideFrame(side, AxisIndex(p.sphere.axis));
        const float r = 0.5f * std::max({p.cage.size.x, p.cage.size.y, p.cage.size.z});
        const float n = Dot(q, f.normal);
        return {r * (std::atan2(Dot(q, f.uAxis), n) + f.azimuthRadians), r * std::atan2(Dot(q, f.vAxis), n)};
    }
    const float g = SideSign(side);
    switch (side / 2) {
        case 0:
            return {g * q.y, q.z};
        case 1:
            return {g * q.x, q.z};
        default:
            return {g * q.x, q.y};
    }
}

ProjectionSamples BoxOrSphereSamples(const Projection& p, const LocalPoint& at) {
    ProjectionSamples s;
    const Vec3f& m = at.m;
    if (!p.box.blended) {
        const float ax = std::fabs(m.x), ay = std::fabs(m.y), az = std::fabs(m.z);
        const int axis = (ax >= ay && ax >= az) ? 0 : (ay >= ax && ay >= az) ? 1 : 2;
        const int side = axis * 2 + (m[axis] >= 0.0f ? 0 : 1);
        const float facing = std::max(0.0f, SideSign(side) * m[axis]);
        if (!p.box.sideEnabled[side] || !(facing > 0.0f)) return s;
        const SideUv uv = BoxOrSphereUv(p, side, at.q);
        Append(s, uv.u, uv.v, 1.0f, side);
        s.coverage = 1.0f;
        s.dominantSide = side;
        return s;
    }
    // A sharpness below 0.1 (or NaN) would flatten the blend into an even mix.
    const float sharpness = p.box.blendSharpness > 0.1f ? p.box.blendSharpness : 0.1f;
    float total = 0.0f;
    float all = 0.0f;
    for (int axis = 0; axis < 3; ++axis) {
        const int side = axis * 2 + (m[axis] >= 0.0f ? 0 : 1);
        const float w = std::pow(std::fabs(m[axis]), sharpness);
        all += w;
        if (!p.box.sideEnabled[side] || !(w > 0.0f)) continue;
        const SideUv uv = BoxOrSphereUv(p, side, at.q);
        Append(s, uv.u, uv.v, w, side);
        total += w;
    }
    if (s.count == 0) return s;
    s.dominantSide = DominantSide(s, kAnyWeight);
    for (int i = 0; i < s.count; ++i) s.samples[i].weight /= total;
    s.coverage = all > 0.0f ? total / all : 0.0f;
    return s;
}

// The wall angle from the seam, in [0, 2 pi).
float WallAngle(float angle) {
    // A huge or infinite seam would make the stepping below endless.
    if (!(std::fabs(angle) < 1e6f)) angle = std::fmod(angle, kTwoPi);
    while (angle < 0.0f) angle += kTwoPi;
    while (angle >= kTwoPi) angle -= kTwoPi;
    return angle;
}

ProjectionSamples CylinderSamples(const Projection& p, const LocalPoint& at) {
    ProjectionSamples s;
    const int k = AxisIndex(p.cylinder.axis);
    const float c1 = at.q[(k + 1) % 3], c2 = at.q[(k + 2) % 3], h = at.q[k];
    const float n1 = at.m[(k + 1) % 3], n2 = at.m[(k + 2) % 3], mk = at.m[k];
    const float length = std::sqrt(c1 * c1 + c2 * c2);
    const float facing = length > 0.0f ? std::max(0.0f, (c1 / length) * n1 + (c2 / length) * n2) : 0.0f;
    if (p.cylinder.sideEnabled && facing > 0.0f) {
        const float angle = WallAngle(std::atan2(c2, c1) - DegreesToRadians(p.cylinder.seamDegrees));
        Append(s, CylinderRadius(p) * angle, h, facing, 0);
    }
    const bool top = mk > 0.0f;
    const bool capOn = top ? p.cylinder.topCapEnabled : p.cylinder.bottomCapEnabled;
    if (capOn && std::fabs(mk) > 0.0f) Append(s, top ? c1 : -c1, c2, std::fabs(mk), top ? 4 : 5);
    if (s.count == 0) return s;
    float total = 0.0f;
    for (int i = 0; i < s.count; ++i) total += s.samples[i].weight;
    s.coverage = std::min(total, 1.0f);
    s.dominantSide = DominantSide(s, kAnyWeight);
    for (int i = 0; i < s.count; ++i) s.samples[i].weight /= total;
    return s;
}

ProjectionSamples PlaneSamples(const Projection& p, const LocalPoint& at) {
    ProjectionSamples s;
    const float facing = p.plane.twoSided ? std::fabs(at.m.z) : at.m.z;
    const Vec3f& size = p.cage.size;
    if (facing > 0.0f && std::fabs(at.q.x) <= size.x * 0.5f && std::fabs(at.q.y) <= size.y * 0.5f) {
        Append(s, at.q.x, at.q.y, 1.0f, 4);
        s.coverage = 1.0f;
        s.dominantSide = 4;
    }
    return s;
}

SurfaceSelection SelectionFor(const Projection& p, int side) {
    switch (p.type) {
        case ProjectionType::Cylinder:
            return p.cylinder.surface;
        case ProjectionType::Box:
        case ProjectionType::Sphere:
            return side >= 0 && side < kSideCount ? p.box.sideSurface[side] : SurfaceSelection::Both;
        default:
            return SurfaceSelection::Both;
    }
}

// Keeps the samples whose side is set to texture this kind of face.
ProjectionSamples FilterByFace(const Projection& p, const ProjectionSamples& in, std::uint8_t faceByte) {
    ProjectionSamples out;
    float kept = 0.0f;
    for (int i = 0; i < in.count; ++i) {
        const ProjectionSample& sample = in.samples[i];
        const bool outside = sample.side < 0 || sample.side > 7 || (faceByte >> sample.side) & 1u;
        const SurfaceSelection selection = SelectionFor(p, sample.side);
        const bool keep = selection == SurfaceSelection::Both || (selection == SurfaceSelection::Outside && outside) ||
                          (selection == SurfaceSelection::Inside && !outside);
        if (!keep) continue;
        out.samples[out.count++] = sample;
        kept += sample.weight;
    }
    if (out.count == 0) return {};
    out.coverage = kept * in.coverage;
    if (kept > 0.0f) {
        for (int i = 0; i < out.count; ++i) out.samples[i].weight /= kept;
    }
    out.dominantSide = DominantSide(out, 0.0f);
    return out;
}

}  // namespace

ProjectionSamples ProjectToTexture(const Projection& projection, const Vec3f& point, const Vec3f& normal,
                                   std::optional<std::uint8_t> faceByte) {
    const RotationAxes r = RotationFromDegrees(projection.cage.rotationDegrees);
    const LocalPoint at{r.ToLocal(point - projection.cage.center), Normalize(r.ToLocal(normal))};
    ProjectionSamples s;
    switch (projection.type) {
        case ProjectionType::Plane:
            s = PlaneSamples(projection, at);
            break;
        case ProjectionType::Cylinder:
            s = CylinderSamples(projection, at);
            break;
        case ProjectionType::Box:
        case ProjectionType::Sphere:
            s = BoxOrSphereSamples(projection, at);
            break;
        default:
            return s;
    }
    if (faceByte && s.count > 0) s = FilterByFace(projection, s, *faceByte);
    for (int i = 0; i < s.count; ++i) {
        ProjectionSample& sample = s.samples[i];
        const SideUv uv = SideTileUv(projection, sample.side, sample.u, sample.v);
        sample.u = uv.u;
        sample.v = uv.v;
    }
    return s;
}

SideUv SideTileUv(const Projection& projection, int side, float u, float v) {
    const ProjectionLayer layer = side >= 0 && side < kSideCount ? projection.layer[side] : ProjectionLayer{};
    float x = u - layer.originMillimetres[0];
    float y = v - layer.originMillimetres[1];
    if (layer.rotationDegrees != 0.0f) {
        const float t = DegreesToRadians(layer.rotationDegrees);
        const float c = std::cos(t), s = std::sin(t);
        const float turnedX = c * x + s * y;
        y = c * y - s * x;
        x = turnedX;
    }
    const float zoom = layer.zoom > 0.0f ? layer.zoom : 1.0f;
    return {x / zoom, y / zoom};
}

SideUv LargestWeightIndex(const ProjectionSamples& samples) {
    const int best = LargestSample(samples, kAnyWeight);
    if (best < 0) return {};
    return {samples.samples[best].u, samples.samples[best].v};
}

}  // namespace ridgeforge::mesh
