// Whether a plane has any point of a cloud in front of it, for many planes
// against one cloud. The points are grouped spatially into blocks with
// bounding boxes (two levels), so a plane that the whole cloud lies behind is
// confirmed by looking at a few boxes instead of every point.
//
// The answer is exactly that of testing every point p with the float
// expression Dot(n, p) - d <= limit: a box is only skipped when its bound,
// widened by the rounding error of that expression, already passes.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

class PlaneSupport {
public:
    explicit PlaneSupport(const std::vector<Vec3f>& points);

    // True when Dot(normal, p) - offset <= limit holds for every point.
    bool AllBehind(const Vec3f& normal, float offset, float limit) const;

private:
    struct Box {
        Vec3f lo, hi;
        std::uint32_t begin = 0, end = 0;  // range of points (leaf) or of leaves (group)
    };
    bool BoxBehind(const Box& box, const Vec3f& normal, float offset, float limit) const;

    std::vector<Vec3f> points_;     // finite points in spatial order
    std::vector<Vec3f> oddPoints_;  // points with a NaN or infinite coordinate
    std::vector<Box> leaves_;
    std::vector<Box> groups_;
};

}  // namespace ridgeforge::mesh
