#include "relief/displacement/TransferTextureCoverage.h"

#include <gtest/gtest.h>

#include "mesh/CancellableLoop.h"
#include "relief/displacement/SolidDisplacement.h"
#include "testing/Shapes.h"

namespace ridgeforge::mesh {
namespace {

// The top face (z = 4) textured with corner weight 0.75, every other face
// untextured; the faces of the x = 4 side projected as inward (0).
TextureCoverage TopCoverage(const TriangleMesh& m) {
    TextureCoverage c;
    const std::size_t triangles = m.TriangleCount();
    c.cornerWeights.assign(m.indices.size(), 0.0f);
    c.vertexWeights.assign(m.vertices.size(), 0.0f);
    c.texturedFaces.assign(triangles, 0);
    c.faceMask.assign(triangles, 255);
    for (std::size_t t = 0; t < triangles; ++t) {
        bool top = true, side = true;
        for (int k = 0; k < 3; ++k) {
            top = top && m.vertices[m.indices[3 * t + k]].position.z == 4.0f;
            side = side && m.vertices[m.indices[3 * t + k]].position.x == 4.0f;
        }
        if (top) {
            c.texturedFaces[t] = 1;
            for (int k = 0; k < 3; ++k) c.cornerWeights[3 * t + k] = 0.75f;
        }
        if (side) c.faceMask[t] = 0;
    }
    return c;
}

TEST(TransferTextureCoverage, CarriesWeightsAndFaceBytesByClosestPoints) {
    const TriangleMesh box = test::MakeGridBox({0, 0, 0}, {4, 4, 4}, 8);
    const TextureCoverage old = TopCoverage(box);
    SolidDisplacementOptions options;
    options.cellSize = 0.25f;
    TriangleMesh solid;
    SolidDisplacementReport report;
    ASSERT_TRUE(DisplaceSolid(box, std::vector<float>(box.vertices.size(), 0.0f), options, {}, solid, report));
    const TextureCoverage moved = TransferTextureCoverage(box, old, solid);
    ASSERT_TRUE(moved.MatchesMesh(solid));
    int top = 0, side = 0;
    for (std::size_t t = 0; t < solid.TriangleCount(); ++t) {
        Vec3f centre;
        for (int k = 0; k < 3; ++k) centre += solid.vertices[solid.indices[3 * t + k]].position;
        centre = centre * (1.0f / 3.0f);
        const bool inner = centre.x > 0.5f && centre.x < 3.5f && centre.y > 0.5f && centre.y < 3.5f;
        if (inner && centre.z > 3.99f) {
            EXPECT_EQ(moved.texturedFaces[t], 1);
            EXPECT_EQ(moved.faceMask[t], 255);
            for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(moved.cornerWeights[3 * t + k], 0.75f);
            ++top;
        }
        if (centre.x > 3.99f && centre.z > 0.5f && centre.z < 3.5f && centre.y > 0.5f && centre.y < 3.5f) {
            EXPECT_EQ(moved.texturedFaces[t], 0);
            EXPECT_EQ(moved.faceMask[t], 0);
            for (int k = 0; k < 3; ++k) EXPECT_EQ(moved.cornerWeights[3 * t + k], 0.0f);
            ++side;
        }
    }
    EXPECT_GT(top, 50);
    EXPECT_GT(side, 50);
    // A vertex on the top face takes the corner weights, mixed; one on a
    // side face far from the top takes 0.
    for (std::size_t v = 0; v < solid.vertices.size(); ++v) {
        const Vec3f p = solid.vertices[v].position;
        if (p.z > 3.99f && p.x > 0.5f && p.x < 3.5f && p.y > 0.5f && p.y < 3.5f) {
            ASSERT_FLOAT_EQ(moved.vertexWeights[v], 0.75f);
        }
        if (p.z < 3.0f && p.z > 1.0f) {
            ASSERT_EQ(moved.vertexWeights[v], 0.0f);
        }
    }

    // A coverage that does not match the old mesh, or an empty new mesh, gives nothing.
    TextureCoverage shortCoverage = old;
    shortCoverage.vertexWeights.pop_back();
    EXPECT_TRUE(TransferTextureCoverage(box, shortCoverage, solid).cornerWeights.empty());
    EXPECT_TRUE(TransferTextureCoverage(box, old, TriangleMesh{}).faceMask.empty());
}

TEST(TransferTextureCoverage, AStopUnderThePublishedContextSurfacesAsStopped) {
    const TriangleMesh box = test::MakeGridBox({0, 0, 0}, {4, 4, 4}, 8);
    const ProgressCallback stop = [](const std::string&, float) { return false; };
    CancelContext context;
    context.callback = &stop;
    const ScopedCancelContext published(context);
    EXPECT_THROW(TransferTextureCoverage(box, TopCoverage(box), box), Stopped);
}

}  // namespace
}  // namespace ridgeforge::mesh
