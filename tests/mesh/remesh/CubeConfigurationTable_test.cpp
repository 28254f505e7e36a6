#include "mesh/remesh/CubeConfigurationTable.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "mesh/remesh/CellVertexPlacement.h"

namespace ridgeforge::mesh {
namespace {

std::vector<int> EdgesOfPiece(const std::uint8_t* components, int piece) {
    std::vector<int> edges;
    for (int e = 0; e < 12; ++e) {
        if (components[e] == piece) edges.push_back(e);
    }
    return edges;
}

TEST(CubeConfigurationTable, PieceCountsOverTheWholeTable) {
    const CubeConfigurationTable& table = GetCubeConfigurationTable();
    EXPECT_EQ(&table, &GetCubeConfigurationTable());
    std::map<int, int> byCount;
    int joined = 0;
    for (int c = 0; c < 256; ++c) {
        ++byCount[table.componentCounts[c]];
        if (table.joinedFaces[c] != 0) ++joined;
        // Every crossed edge has a piece, every other edge none, and the
        // pieces are numbered in the order of their smallest edge.
        int nextPiece = 0;
        for (int e = 0; e < 12; ++e) {
            const bool crossed = ((c >> CubeEdgeCorner(e, 0)) & 1) != ((c >> CubeEdgeCorner(e, 1)) & 1);
            const std::uint8_t piece = table.edgeComponents[c][e];
            ASSERT_EQ(crossed, piece != kNoCubePiece) << c << " " << e;
            if (!crossed) continue;
            if (piece == nextPiece) ++nextPiece;
            ASSERT_LT(piece, nextPiece);
        }
        ASSERT_EQ(nextPiece, table.componentCounts[c]);
        // Complementary configurations have the same crossed edges.
        ASSERT_EQ(table.componentCounts[c] == 0, table.componentCounts[255 - c] == 0);
    }
    EXPECT_EQ(byCount, (std::map<int, int>{{0, 2}, {1, 162}, {2, 82}, {3, 8}, {4, 2}}));
    EXPECT_EQ(table.componentCounts[105], 4);
    EXPECT_EQ(table.componentCounts[150], 4);
    EXPECT_EQ(joined, 36);
}

TEST(CubeConfigurationTable, SingleCornersAndAmbiguousFaces) {
    const CubeConfigurationTable& table = GetCubeConfigurationTable();
    for (int c : {0, 255}) {
        EXPECT_EQ(table.componentCounts[c], 0);
        EXPECT_EQ(table.joinedFaces[c], 0);
        for (int e = 0; e < 12; ++e) EXPECT_EQ(table.edgeComponents[c][e], kNoCubePiece);
    }
    EXPECT_EQ(table.componentCounts[1], 1);
    EXPECT_EQ(EdgesOfPiece(table.edgeComponents[1], 0), (std::vector<int>{0, 4, 8}));

    // Corners 0 and 3 inside share the ambiguous face z = 0 (face 4).
    std::uint8_t components[12];
    std::uint8_t joinedFaces = 0xff;
    EXPECT_EQ(ResolveCubeConfiguration(9, 0, components, &joinedFaces), 2);
    EXPECT_EQ(EdgesOfPiece(components, 0), (std::vector<int>{0, 4, 8}));
    EXPECT_EQ(EdgesOfPiece(components, 1), (std::vector<int>{1, 6, 11}));
    EXPECT_EQ(joinedFaces, 0);
    EXPECT_EQ(ResolveCubeConfiguration(9, 1 << 4, components, nullptr), 1);
    EXPECT_EQ(EdgesOfPiece(components, 0), (std::vector<int>{0, 1, 4, 6, 8, 11}));
    // A mask bit on a face that is not ambiguous changes nothing.
    EXPECT_EQ(ResolveCubeConfiguration(9, 1 << 0, components, nullptr), 2);
}

TEST(CellVertexPlacement, EigenDecomposition) {
    double diagonal[3][3] = {{3, 0, 0}, {0, 1, 0}, {0, 0, 2}};
    double values[3];
    double vectors[3][3];
    SymmetricEigen3(diagonal, values, vectors);
    EXPECT_EQ(values[0], 3.0);
    EXPECT_EQ(values[1], 1.0);
    EXPECT_EQ(values[2], 2.0);
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(vectors[i][k], i == k ? 1.0 : 0.0);
    }

    const double original[3][3] = {{4, 1, -2}, {1, 2, 0.5}, {-2, 0.5, 3}};
    double work[3][3];
    std::copy(&original[0][0], &original[0][0] + 9, &work[0][0]);
    SymmetricEigen3(work, values, vectors);
    for (int e = 0; e < 3; ++e) {
        for (int i = 0; i < 3; ++i) {
            double av = 0.0;
            for (int k = 0; k < 3; ++k) av += original[i][k] * vectors[k][e];
            EXPECT_NEAR(av, values[e] * vectors[i][e], 1e-12);
        }
    }
}

TEST(CellVertexPlacement, QuadricFitStaysInItsBoxes) {
    const double low[3] = {0, 0, 0}, high[3] = {1, 1, 1};
    const double wideLow[3] = {-1, -1, -1}, wideHigh[3] = {2, 2, 2};
    // Three perpendicular planes through (0.3, 0.6, 0.8).
    const double points[3][3] = {{0.3, 0.1, 0.2}, {0.9, 0.6, 0.5}, {0.2, 0.7, 0.8}};
    const double normals[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const std::uint8_t valid[3] = {1, 1, 1};
    double v[3];
    PlaceCellVertex(points, normals, valid, 3, 1.0, low, high, wideLow, wideHigh, v);
    EXPECT_NEAR(v[0], 0.3, 1e-12);
    EXPECT_NEAR(v[1], 0.6, 1e-12);
    EXPECT_NEAR(v[2], 0.8, 1e-12);

    // Sharpness 0: the mass point, then the clamp box.
    const double clampLow[3] = {0.5, 0, 0}, clampHigh[3] = {1, 1, 0.4};
    PlaceCellVertex(points, normals, valid, 3, 0.0, low, high, clampLow, clampHigh, v);
    EXPECT_NEAR(v[0], 0.5, 1e-12);
    EXPECT_NEAR(v[1], 1.4 / 3.0, 1e-12);
    EXPECT_NEAR(v[2], 0.4, 1e-12);

    // The planes meet outside the box: the best point on the box instead.
    const double farPoints[3][3] = {{1.7, 0.1, 0.2}, {0.9, 0.6, 0.5}, {0.2, 0.7, 0.8}};
    PlaceCellVertex(farPoints, normals, valid, 3, 1.0, low, high, wideLow, wideHigh, v);
    for (int i = 0; i < 3; ++i) {
        EXPECT_GE(v[i], -1e-9);
        EXPECT_LE(v[i], 1.0 + 1e-9);
    }
    EXPECT_NEAR(v[0], 1.0, 1e-9);
    EXPECT_NEAR(v[1], 0.6, 1e-3);
    EXPECT_NEAR(v[2], 0.8, 1e-3);
}

TEST(CellVertexPlacement, QuadDiagonal) {
    // A flat convex quad around a z edge, counter-clockwise in (x, y).
    const double square[4][3] = {{1, 1, 0}, {-1, 1, 0}, {-1, -1, 0}, {1, -1, 0}};
    EXPECT_FALSE(ChooseQuadDiagonal(square, 2, 1.0, false, 0, 0, 0, 1));
    EXPECT_FALSE(ChooseQuadDiagonal(square, 2, 1.0, true, 0.1, 0.1, 0, 1));  // ties keep 0-2

    // Corner 3 pulled in past the 0-2 diagonal: that split folds over.
    const double dart[4][3] = {{1, 1, 0}, {-1, 1, 0}, {-1, -1, 0}, {-0.1, 0.3, 0}};
    EXPECT_TRUE(ChooseQuadDiagonal(dart, 2, 1.0, false, 0, 0, 0, 1));
    double reversed[4][3];
    for (int q = 0; q < 4; ++q) std::copy(dart[(4 - q) % 4], dart[(4 - q) % 4] + 3, reversed[q]);
    EXPECT_TRUE(ChooseQuadDiagonal(reversed, 2, -1.0, false, 0, 0, 0, 1));

    // A folded roof: both splits sound, and refine picks the one whose
    // surface passes nearer the crossing at height 0.
    const double roof[4][3] = {{1, 1, 1}, {-1, 1, 0}, {-1, -1, 1}, {1, -1, 0}};
    EXPECT_TRUE(ChooseQuadDiagonal(roof, 2, 1.0, true, 0, 0, 0, 1));
    EXPECT_FALSE(ChooseQuadDiagonal(roof, 2, 1.0, true, 0, 0, 1, 1));

    // Neither split sound (a crossed quad): the split whose smaller signed
    // area is larger wins. With corner 3 at (2, 1.5) the areas are 4, -4 for
    // 0-2 and 3, -3 for 1-3; at (2, 3) they are 4, -4 and 6, -6.
    const double crossedA[4][3] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {2, 1.5, 0}};
    const double crossedB[4][3] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {2, 3, 0}};
    EXPECT_TRUE(ChooseQuadDiagonal(crossedA, 2, 1.0, false, 0, 0, 0, 1));
    EXPECT_FALSE(ChooseQuadDiagonal(crossedB, 2, 1.0, false, 0, 0, 0, 1));

    double weight = 0.0;
    const double line[4][3] = {{0, 0, 0}, {1, 1, 5}, {2, 2, 7}, {0, 1, 0}};
    EXPECT_EQ(InterpolateInQuadTriangle(line, 2, 0.5, 0.5, 0, 1, 2, weight), 0.0);
    EXPECT_EQ(weight, -1.0);
    EXPECT_NEAR(InterpolateInQuadTriangle(square, 2, 0.2, 0.3, 0, 1, 2, weight), 0.0, 1e-15);
    EXPECT_GT(weight, 0.0);
}

TEST(CellVertexPlacement, QuadDiagonalRefinesInTheTriangleUnderTheCrossing) {
    // The square (1, 1), (-1, 1), (-1, -1), (1, -1) in the plane across the
    // edge, heights 1, 0, 1, 0 along it. The crossing at (0.5, -0.3) lies in
    // triangle 0-1-3 of split 1-3, whose plane is h = (u + v) / 2, giving 0.1,
    // and in triangle 0-2-3 of split 0-2, h = 1 - u / 2 + v / 2, giving 0.6.
    // (The other triangles would give -0.1 and 1.4.) The same quad is set
    // along each axis, in the coordinates that follow it.
    const double u[4] = {1, -1, -1, 1}, v[4] = {1, 1, -1, -1}, h[4] = {1, 0, 1, 0};
    for (int axis = 0; axis < 3; ++axis) {
        double quad[4][3];
        for (int k = 0; k < 4; ++k) {
            quad[k][axis] = h[k];
            quad[k][(axis + 1) % 3] = u[k];
            quad[k][(axis + 2) % 3] = v[k];
        }
        // Crossing at 0.3: 0.2 from split 1-3, 0.3 from split 0-2.
        EXPECT_TRUE(ChooseQuadDiagonal(quad, axis, 1.0, true, 0.5, -0.3, 0.3, 1)) << axis;
        // At 0.4: 0.3 against 0.2.
        EXPECT_FALSE(ChooseQuadDiagonal(quad, axis, 1.0, true, 0.5, -0.3, 0.4, 1)) << axis;
        // At 0.34: 0.24 against 0.26, a lead that a cell of 1e6 mm calls a near-tie.
        EXPECT_TRUE(ChooseQuadDiagonal(quad, axis, 1.0, true, 0.5, -0.3, 0.34, 1)) << axis;
        EXPECT_FALSE(ChooseQuadDiagonal(quad, axis, 1.0, true, 0.5, -0.3, 0.34, 1e6)) << axis;
    }
}

}  // namespace
}  // namespace ridgeforge::mesh
