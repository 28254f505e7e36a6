// The main direction of a set of edges, and a frame of three square axes
// whose first runs along it: boxes taken in that frame are thin for
// triangles lying along it, such as the long sides of a rod that lies across
// the axes, whose boxes along the axes are nearly cubes.
//
// The direction is the leading eigenvector of the sum of each edge's unit
// outer product: edges that point either way along one line count alike.
//
// Needs: edges added in any order. Gives: the frame; with no edge of any
// length, one along the axes.
#pragma once

#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

class MainDirection {
public:
    // Edges of no length, or not finite, add nothing.
    void Add(const Vec3d& edge);
    // A triangle's longest edge (the first of equals).
    void AddLongestEdge(const Vec3f (&corners)[3]);

    // axes[0] along the main direction, axes[1] and axes[2] square to it and
    // to each other, all of unit length (to a few roundings).
    void Frame(Vec3d (&axes)[3]) const;

private:
    double sum_[3][3] = {};
};

// The box of a triangle's corners taken in a frame, widened by far more than
// the rounding of the turn: it holds the turned triangle.
void FrameBox(const Vec3f (&corners)[3], const Vec3d (&axes)[3], Vec3d& low, Vec3d& high);

}  // namespace ridgeforge::mesh
