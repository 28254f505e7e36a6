// The arithmetic of one dual-contouring cell: where a surface piece's vertex
// goes, and which diagonal splits the quad around a crossed grid edge.
//
// Everything works on small fixed-size arrays on the caller's stack and may
// run on many threads at once. Callers work in cell-local coordinates (the
// cell is the unit cube), so the boxes and constants are in cells.
#pragma once

#include <cstdint>

namespace ridgeforge::mesh {

// Cyclic Jacobi decomposition of a symmetric 3x3 matrix (overwritten).
// Eigenvectors are the columns of `eigenvectors`, in the order of `eigenvalues`.
void SymmetricEigen3(double matrix[3][3], double eigenvalues[3], double eigenvectors[3][3]);

// The vertex of one surface piece from its n >= 1 edge crossings: a quadric
// error fit about the mass point. Higher sharpness keeps more directions of the
// fit, so corners and creases are reproduced; a solution outside
// [boxLow, boxHigh] is replaced by the best one on the box; the result is then
// clamped to [clampLow, clampHigh].
void PlaceCellVertex(const double (*points)[3], const double (*normals)[3], const std::uint8_t* normalValid,
                     std::int32_t n, double sharpness, const double boxLow[3], const double boxHigh[3],
                     const double clampLow[3], const double clampHigh[3], double vertex[3]);

// Winds a quad of cell vertices around a grid edge so that its triangles face
// from inside to outside, inside0 telling whether the edge's first end is
// inside. Returns the orientation sign that ChooseQuadDiagonal takes.
inline double OrientQuad(std::uint32_t quad[4], bool inside0) {
    if (inside0) return 1.0;
    const std::uint32_t second = quad[1];
    quad[1] = quad[3];
    quad[3] = second;
    return -1.0;
}

// The quad's two triangles along the diagonal ChooseQuadDiagonal picked.
inline void WriteQuadTriangles(const std::uint32_t quad[4], bool split13, std::uint32_t out[6]) {
    const std::uint32_t t[2][6] = {{quad[0], quad[1], quad[2], quad[0], quad[2], quad[3]},
                                   {quad[0], quad[1], quad[3], quad[1], quad[2], quad[3]}};
    for (int k = 0; k < 6; ++k) out[k] = t[split13 ? 1 : 0][k];
}

// Which diagonal splits the quad 0-1-2-3 around a grid edge along `axis`:
// false joins corners 0 and 2 (triangles 0-1-2, 0-2-3), true joins 1 and 3
// (triangles 0-1-3, 1-2-3). orientation (+1 or -1) makes a correctly wound
// triangle's projected area positive. With refine, when both splits are sound,
// the one whose surface passes nearer the edge's crossing point (referenceB,
// referenceC across the axis, referenceAlongAxis along it) wins; scale is the
// cell size.
bool ChooseQuadDiagonal(const double corners[4][3], std::int32_t axis, double orientation, bool refine,
                        double referenceB, double referenceC, double referenceAlongAxis, double scale);

// The coordinate along `axis` of the plane through corners i, j, k at the
// reference point (b, c), with the point's smallest barycentric weight in that
// triangle (-1 and a result of 0 for a triangle without projected area).
double InterpolateInQuadTriangle(const double corners[4][3], std::int32_t axis, double referenceB, double referenceC,
                                 int i, int j, int k, double& smallestWeight);

}  // namespace ridgeforge::mesh
