// What the simplify stage's check calls damage: crossings and folds a result
// has where its input had none, and the input triangles it then holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>

#include "relief/repair/SimplifyDamage.h"
#include "testing/Shapes.h"

namespace ridgeforge::mesh {
namespace {

std::vector<std::uint32_t> Identity(std::size_t n) {
    std::vector<std::uint32_t> map(n);
    std::iota(map.begin(), map.end(), 0u);
    return map;
}

// Two unit boxes side by side with a gap of 0.5 along x; the second box's
// vertices are numbered 8..15 and its triangles 12..23.
TriangleMesh TwoBoxes(float secondX) {
    TriangleMesh m = test::MakeBox({0, 0, 0}, {1, 1, 1});
    const TriangleMesh other = test::MakeBox({secondX, 0, 0}, {secondX + 1, 1, 1});
    for (const Vertex& v : other.vertices) m.vertices.push_back(v);
    for (const std::uint32_t i : other.indices) m.indices.push_back(i + 8);
    m.RecomputeBounds();
    return m;
}

std::uint32_t VertexAt(const TriangleMesh& m, Vec3f p) {
    for (std::uint32_t v = 0; v < m.vertices.size(); ++v) {
        if (m.vertices[v].position == p) return v;
    }
    return 0xFFFFFFFFu;
}

TEST(SimplifyDamage, NewCrossingsCountAndOldOnesAreExcused) {
    const TriangleMesh input = TwoBoxes(1.5f);
    const auto vertices = Identity(input.vertices.size());
    const auto faces = Identity(input.TriangleCount());
    EXPECT_TRUE(FindSimplifyDamage(input, input, vertices, faces).empty());

    // The first box's corner (1, 1, 1) pushed 1 mm into the second box: its
    // triangles now pass through the second box's face at x = 1.5.
    TriangleMesh pushed = input;
    const std::uint32_t corner = VertexAt(input, {1, 1, 1});
    ASSERT_NE(corner, 0xFFFFFFFFu);
    pushed.vertices[corner].position = {2.0f, 0.9f, 0.9f};
    const std::vector<std::uint32_t> damaged = FindSimplifyDamage(input, pushed, vertices, faces);
    ASSERT_FALSE(damaged.empty());
    bool first = false, second = false;
    for (const std::uint32_t t : damaged) {
        first = first || t < 12;
        second = second || t >= 12;
    }
    EXPECT_TRUE(first && second);

    // Boxes that already overlap: the first box's corner (0, 0, 0) moved
    // along x, within the planes y = 0 and z = 0 of its faces there, leaves
    // every changed triangle crossing what it crossed before: excused.
    const TriangleMesh overlapping = TwoBoxes(0.5f);
    TriangleMesh moved = overlapping;
    const std::uint32_t far = VertexAt(overlapping, {0, 0, 0});
    moved.vertices[far].position = {-0.1f, 0.0f, 0.0f};
    EXPECT_TRUE(FindSimplifyDamage(overlapping, moved, vertices, faces).empty());

    // Maps that do not fit the result are not judged.
    EXPECT_TRUE(FindSimplifyDamage(input, pushed, Identity(3), faces).empty());
}

TEST(SimplifyDamage, HoldsTheInputUnderADamagedTriangle) {
    const TriangleMesh box = test::MakeBox({0, 0, 0}, {1, 1, 1});
    // A triangle of the top face: its box spans the whole top face, so every
    // triangle with a top corner is held (the top two and the eight of the
    // sides) and only the bottom two are not.
    std::uint32_t top = 0;
    for (std::uint32_t t = 0; t < box.TriangleCount(); ++t) {
        bool allTop = true;
        for (int k = 0; k < 3; ++k) allTop = allTop && box.vertices[box.indices[3 * t + k]].position.z == 1.0f;
        if (allTop) top = t;
    }
    const std::vector<std::uint8_t> held = HoldAroundDamage(box, box, {top}, false);
    ASSERT_EQ(held.size(), 12u);
    std::size_t count = 0;
    for (std::uint32_t t = 0; t < 12; ++t) {
        bool anyTop = false;
        for (int k = 0; k < 3; ++k) anyTop = anyTop || box.vertices[box.indices[3 * t + k]].position.z == 1.0f;
        EXPECT_EQ(held[t] != 0, anyTop) << "triangle " << t;
        count += held[t] != 0;
    }
    EXPECT_EQ(count, 10u);
    // Around its corners the box takes in every triangle: all twelve.
    const std::vector<std::uint8_t> wide = HoldAroundDamage(box, box, {top}, true);
    EXPECT_EQ(std::count(wide.begin(), wide.end(), 1), 12);
}

// The two boxes with a fine plate beside them and one large triangle far
// above, so that the changed triangles are few and of very different sizes.
TriangleMesh TwoBoxesBesideAPlate() {
    TriangleMesh m = TwoBoxes(1.5f);
    const TriangleMesh plate = test::MakeGridPlate(20.0f, 10);
    auto offset = static_cast<std::uint32_t>(m.vertices.size());
    for (Vertex v : plate.vertices) {
        v.position.x += 10.0f;
        m.vertices.push_back(v);
    }
    for (const std::uint32_t i : plate.indices) m.indices.push_back(i + offset);
    offset = static_cast<std::uint32_t>(m.vertices.size());
    for (const Vec3f p : {Vec3f{-100, -100, 50}, Vec3f{100, -100, 50}, Vec3f{-100, 100, 50}})
        m.vertices.push_back({p, {0, 0, 1}});
    m.indices.insert(m.indices.end(), {offset, offset + 1, offset + 2});
    m.RecomputeBounds();
    return m;
}

TEST(SimplifyDamage, ChangedTrianglesOfEverySizeAreSearchedAroundAndHeld) {
    const TriangleMesh input = TwoBoxesBesideAPlate();
    const auto large = static_cast<std::uint32_t>(input.TriangleCount() - 1);
    const auto vertices = Identity(input.vertices.size());
    const auto faces = Identity(input.TriangleCount());
    // The first box's corner pushed into the second box, and a corner of the
    // large triangle pulled down to (20, 10, -50): its plane,
    // z = -50 - (10/3)(x + y - 30), meets z = 0 along x + y = 15, across the
    // plate's corner (x from 10, y from 0), and passes over the boxes at
    // about z = 45.
    TriangleMesh result = input;
    const std::uint32_t corner = VertexAt(input, {1, 1, 1});
    result.vertices[corner].position = {2.0f, 0.9f, 0.9f};
    result.vertices[input.indices[3 * std::size_t{large}]].position = {20.0f, 10.0f, -50.0f};
    const std::vector<std::uint32_t> damaged = FindSimplifyDamage(input, result, vertices, faces);
    bool first = false, second = false, plate = false, cut = false;
    for (const std::uint32_t t : damaged) {
        first = first || t < 12;
        second = second || (t >= 12 && t < 24);
        plate = plate || (t >= 24 && t < large);
        cut = cut || t == large;
    }
    EXPECT_TRUE(first && second && plate && cut);

    // Held: every input triangle with a corner in the box of a damaged
    // triangle, worked out here by looking at every corner. The first box's
    // twelve make the boxes' usual size, and the large one is far larger.
    std::vector<std::uint32_t> held = Identity(12);
    held.push_back(large);
    const std::vector<std::uint8_t> marks = HoldAroundDamage(input, result, held, false);
    ASSERT_EQ(marks.size(), input.TriangleCount());
    std::size_t count = 0;
    for (std::size_t t = 0; t < input.TriangleCount(); ++t) {
        bool inside = false;
        for (const std::uint32_t d : held) {
            Vec3f lo = result.vertices[result.indices[3 * d]].position, hi = lo;
            for (int k = 1; k < 3; ++k) {
                lo = Min(lo, result.vertices[result.indices[3 * d + k]].position);
                hi = Max(hi, result.vertices[result.indices[3 * d + k]].position);
            }
            for (int k = 0; k < 3; ++k) {
                const Vec3f& p = input.vertices[input.indices[3 * t + k]].position;
                inside =
                    inside || (p.x >= lo.x && p.y >= lo.y && p.z >= lo.z && p.x <= hi.x && p.y <= hi.y && p.z <= hi.z);
            }
        }
        EXPECT_EQ(marks[t] != 0, inside) << "triangle " << t;
        count += inside ? 1 : 0;
    }
    // The large box takes in the plate and the large triangle's own corners.
    EXPECT_GT(count, 200u);
    EXPECT_TRUE(marks[large]);
}

TEST(SimplifyDamage, AStopDuringTheSearchThrows) {
    const TriangleMesh input = TwoBoxesBesideAPlate();
    const auto vertices = Identity(input.vertices.size());
    const auto faces = Identity(input.TriangleCount());
    TriangleMesh result = input;
    result.vertices[VertexAt(input, {1, 1, 1})].position = {2.0f, 0.9f, 0.9f};
    int asked = 0;
    const ProgressCallback stop = [&asked](const std::string&, float) {
        ++asked;
        return false;
    };
    CancelContext cancel;
    cancel.callback = &stop;
    EXPECT_THROW(FindSimplifyDamage(input, result, vertices, faces, &cancel), Stopped);
    EXPECT_GE(asked, 1);
    // Nothing changed: nothing to search, nothing asked.
    CancelContext idle;
    idle.callback = &stop;
    asked = 0;
    EXPECT_TRUE(FindSimplifyDamage(input, input, vertices, faces, &idle).empty());
    EXPECT_EQ(asked, 0);
}

}  // namespace
}  // namespace ridgeforge::mesh
