#include "relief/mapping/OutwardFaces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "mesh/TestShapes.h"
#include "relief/mapping/OccupancyGrid.h"
#include "testing/Shapes.h"
#include "testing/StressParts.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

// A mesh's triangles turned inside out, so that they face into what they enclose.
TriangleMesh Reversed(TriangleMesh m) {
    for (std::size_t t = 0; t < m.indices.size(); t += 3) std::swap(m.indices[t + 1], m.indices[t + 2]);
    m.RecomputeNormals();
    return m;
}

// Every brick holding a marked cell has a room of its own, the rooms
// numbered from the first without a gap (none taken twice, none lost, even
// with threads marking the same brick at once), and the marked cells are
// as many as the build counted.
void ExpectRoomsPacked(const OccupancyGrid& grid, const std::string& name) {
    std::uint64_t marked = 0;
    std::set<std::uint32_t> rooms;
    for (std::size_t place = 0; place < grid.Places(); ++place) {
        marked += grid.CellAt(place);
        if (grid.CellAt(place) != 0) rooms.insert(grid.brickRooms[place >> 12]);
    }
    EXPECT_EQ(grid.surfaceCells, marked) << name;
    const auto holding = static_cast<std::size_t>(
        std::count_if(grid.brickRooms.begin(), grid.brickRooms.end(), [](std::uint32_t r) { return r != 0; }));
    EXPECT_EQ(holding, grid.bricksMarked) << name;
    EXPECT_EQ(rooms.size(), grid.bricksMarked) << name;
    if (rooms.empty()) return;
    EXPECT_EQ(*rooms.begin(), 1u) << name;
    EXPECT_EQ(*rooms.rbegin(), grid.bricksMarked) << name;
}

TEST(OccupancyGrid, SizeFollowsTheLongestSideWithAMargin) {
    OccupancyGrid grid;
    grid.Build(test::MakeBox({0, 0, 0}, {100, 50, 20}), 256);
    EXPECT_EQ(grid.resolution, 256);
    EXPECT_FLOAT_EQ(grid.cellSize, 0.390625f);
    EXPECT_EQ(FormatOccupancyGridReport(grid).rfind("Occupancy grid: 261 x 133 x 57 cells of 0.390625 mm, ", 0), 0u)
        << FormatOccupancyGridReport(grid);
    // Bricks of 16 cells a side: 17 x 9 x 4 of them, 4 KiB each. Every cell
    // has a place of its own among them, the cells of one brick one after
    // the other, x fastest.
    EXPECT_EQ(grid.Places(), 17u * 9u * 4u * 4096u);
    std::vector<std::uint8_t> taken(grid.Places(), 0);
    for (std::int32_t z = 0; z < 57; ++z)
        for (std::int32_t y = 0; y < 133; ++y)
            for (std::int32_t x = 0; x < 261; ++x) ++taken[grid.Index(x, y, z)];
    EXPECT_EQ(std::count(taken.begin(), taken.end(), 1), 261 * 133 * 57);
    EXPECT_EQ(std::count(taken.begin(), taken.end(), 0), 17 * 9 * 4 * 4096 - 261 * 133 * 57);
    EXPECT_EQ(grid.Index(0, 0, 0), 0u);
    EXPECT_EQ(grid.Index(15, 0, 0), 15u);
    EXPECT_EQ(grid.Index(16, 0, 0), 4096u);
    EXPECT_EQ(grid.Index(3, 17, 0), 17u * 4096u + 16u + 3u);
    EXPECT_EQ(grid.Index(0, 0, 33), 2u * 17u * 9u * 4096u + 256u);
    EXPECT_GT(grid.surfaceCells, 0u);
    ExpectRoomsPacked(grid, "box");
    // Only the bricks the box's faces pass through take rooms. The faces lie
    // in cells 1-2 and 257-258 along x, 1-2 and 129-130 along y, 1-2 and 53
    // along z: in the outer bricks of the 17 x 9 x 4, all but the 15 x 7 x 2
    // inside them.
    EXPECT_EQ(grid.bricksMarked, 17u * 9u * 4u - 15u * 7u * 2u);
    EXPECT_EQ(std::count(grid.brickRooms.begin(), grid.brickRooms.end(), 0u), 15 * 7 * 2);
    // Two empty layers of margin below the part: nothing is marked there.
    for (std::int32_t z = 0; z < 2; ++z)
        for (std::int32_t y = 0; y < 133; ++y)
            for (std::int32_t x = 0; x < 261; ++x) EXPECT_EQ(grid.Cell(x, y, z), 0) << x << " " << y;
    EXPECT_FLOAT_EQ(grid.origin[0], -2.0f * 0.390625f);

    const TriangleMesh cube = MakeTestCube(10.0f);
    grid.Build(cube, 8);
    EXPECT_EQ(grid.resolution, 16);
    EXPECT_EQ(grid.cellsX, 21);
    grid.Build(cube, 5000);
    EXPECT_EQ(grid.resolution, 1024);
    EXPECT_EQ(grid.cellsZ, 1029);

    // A flat part still gets five layers across its zero extent.
    grid.Build(test::MakeGridPlate(20.0f, 4), 64);
    EXPECT_EQ(grid.cellsZ, 5);
    EXPECT_EQ(grid.cellsX, 69);
}

TEST(OccupancyGrid, BrokenMeshLeavesItEmptyAndEveryFaceOutward) {
    TriangleMesh box = test::MakeBox({0, 0, 0}, {1, 1, 1});
    OccupancyGrid grid;
    grid.Build(box, 64);
    ASSERT_FALSE(grid.IsEmpty());
    box.indices.push_back(0);
    grid.Build(box, 64);
    EXPECT_TRUE(grid.IsEmpty());
    EXPECT_EQ(grid.resolution, 0);
    EXPECT_EQ(grid.surfaceCells, 0u);
    EXPECT_TRUE(grid.RayLeaves({0, 0, 0}, {1, 0, 0}));
    const std::vector<std::uint8_t> flags = ClassifyOutwardFaces(grid, box);
    EXPECT_EQ(flags, std::vector<std::uint8_t>(box.indices.size() / 3, 1));

    // A coordinate that is not finite: no grid rather than an unbounded one.
    TriangleMesh far = test::MakeBox({0, 0, 0}, {1, 1, 1});
    far.vertices[0].position.x = std::numeric_limits<float>::infinity();
    far.boundsValid = false;
    grid.Build(far, 64);
    EXPECT_TRUE(grid.IsEmpty());
    far.vertices[0].position.x = std::numeric_limits<float>::quiet_NaN();
    grid.Build(far, 64);
    EXPECT_TRUE(grid.IsEmpty());
    EXPECT_EQ(grid.resolution, 0);
    // With cached bounds that did not see the corner, its triangles are passed over.
    far.RecomputeBounds();
    far.boundsMin = {0, 0, 0};
    far.boundsMax = {1, 1, 1};
    far.boundsValid = true;
    grid.Build(far, 64);
    EXPECT_FALSE(grid.IsEmpty());
    grid.Build(test::MakeBox({0, 0, 0}, {1, 1, 1}), 64);
    EXPECT_TRUE(grid.RayLeaves({std::numeric_limits<float>::quiet_NaN(), 0.5f, 0.5f}, {1, 0, 0}));
    EXPECT_TRUE(grid.RayLeaves({-3e38f, 0.5f, 0.5f}, {1, 0, 0}));
}

TEST(OccupancyGrid, RayPassesThreeShellCellsButNotAFourth) {
    // A 20 mm plate at z = 0: 16 cells of 1.25 mm, marked from x = 0 to 20
    // (cells 1 to 18 with the margin). A ray along the plate grazes it.
    OccupancyGrid grid;
    grid.Build(test::MakeGridPlate(20.0f, 4), 16);
    ASSERT_FLOAT_EQ(grid.cellSize, 1.25f);
    EXPECT_FALSE(grid.RayLeaves({15.25f, 10.0f, 0.0f}, {1, 0, 0}));  // starts in cell 15: four marked cells
    EXPECT_TRUE(grid.RayLeaves({16.5f, 10.0f, 0.0f}, {1, 0, 0}));    // cell 16: three, then out
    EXPECT_TRUE(grid.RayLeaves({10.0f, 10.0f, 0.0f}, {0, 0, 1}));
    EXPECT_TRUE(grid.RayLeaves({10.0f, 10.0f, 0.0f}, {0, 0, 0}));
    // Leaving the plate and meeting it again: an empty cell, then a marked one.
    TriangleMesh two = test::MakeGridPlate(20.0f, 4);
    TriangleMesh upper = test::MakeGridPlate(20.0f, 4);
    for (Vertex& v : upper.vertices) v.position.z = 10.0f;
    test::AppendMesh(two, upper);
    two.RecomputeBounds();
    grid.Build(two, 16);
    EXPECT_FALSE(grid.RayLeaves({10.0f, 10.0f, 0.0f}, {0, 0, 1}));
    EXPECT_TRUE(grid.RayLeaves({10.0f, 10.0f, 0.0f}, {0, 0, -1}));
}

TEST(OutwardFaces, CavityWallsAreInwardAndDegenerateFacesHaveNoArea) {
    TriangleMesh part = test::MakeGridBox({-10, -10, -10}, {10, 10, 10}, 4);
    const std::size_t outer = part.TriangleCount();
    test::AppendMesh(part, Reversed(test::MakeGridBox({-4, -4, -4}, {4, 4, 4}, 2)));
    const std::size_t cavity = part.TriangleCount() - outer;
    test::AddLooseTriangle(part, {20, 0, 0}, {21, 0, 0}, {22, 0, 0});
    part.RecomputeBounds();
    part.RecomputeNormals();
    OccupancyGrid grid;
    grid.Build(part, 64);
    OutwardFaceCounts counts;
    const std::vector<std::uint8_t> flags = ClassifyOutwardFaces(grid, part, &counts);
    ASSERT_EQ(flags.size(), outer + cavity + 1);
    for (std::size_t t = 0; t < outer; ++t) EXPECT_EQ(flags[t], kFaceOutward) << t;
    for (std::size_t t = outer; t < outer + cavity; ++t) EXPECT_EQ(flags[t], kFaceInward) << t;
    EXPECT_EQ(flags.back(), kFaceNoArea);
    EXPECT_EQ(counts.faces, outer + cavity + 1);
    EXPECT_EQ(counts.outward, outer);
    EXPECT_EQ(counts.inward, cavity);
    EXPECT_EQ(counts.noArea, 1u);
    EXPECT_NEAR(counts.outwardArea, 6 * 400.0, 1e-6);
    EXPECT_NEAR(counts.inwardArea, 6 * 64.0, 1e-6);
    EXPECT_GE(counts.milliseconds, 0.0);
}

// The separating-axis test in double, on the cube given by its centre and
// half edge: the triangle's plane, the three box axes and the nine crosses of
// the box axes with the edges.
bool OverlapsInDouble(Vec3d a, Vec3d b, Vec3d c, const Vec3d& centre, double h) {
    a = a - centre;
    b = b - centre;
    c = c - centre;
    const Vec3d edges[3] = {b - a, c - b, a - c};
    const Vec3d units[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    std::vector<Vec3d> axes = {Cross(edges[0], edges[1])};
    for (const Vec3d& u : units) {
        axes.push_back(u);
        for (const Vec3d& e : edges) axes.push_back(Cross(u, e));
    }
    for (const Vec3d& axis : axes) {
        const double pa = Dot(axis, a), pb = Dot(axis, b), pc = Dot(axis, c);
        const double r = h * (std::fabs(axis.x) + std::fabs(axis.y) + std::fabs(axis.z));
        if (std::min({pa, pb, pc}) > r || std::max({pa, pb, pc}) < -r) return false;
    }
    return true;
}

// A grid's cells in the order of their places, wherever their bricks were
// put: two grids of one part mark the same cells, in whatever order their
// bricks came.
std::vector<std::uint8_t> CellsByPlace(const OccupancyGrid& grid) {
    std::vector<std::uint8_t> cells(grid.Places());
    for (std::size_t place = 0; place < cells.size(); ++place) cells[place] = grid.CellAt(place);
    return cells;
}

// The cells of a built grid worked out the slow way: every cell of each
// triangle's bounding range that overlaps it, and the one cell of a triangle
// that stays inside one.
// In double, or with the float test the grid itself uses.
std::vector<std::uint8_t> CellsTestingEveryCellOfTheRange(const OccupancyGrid& grid, const TriangleMesh& m,
                                                          bool inDouble) {
    std::vector<std::uint8_t> cells(grid.Places(), 0);
    const auto cellOf = [&](float v, int axis) {
        const double cell = std::floor((static_cast<double>(v) - grid.origin[axis]) / grid.cellSize);
        return static_cast<int>(std::clamp(cell, 0.0, grid.dimensions[axis] - 1.0));
    };
    const double h = grid.cellSize * 0.5 * 1.0001;
    for (std::size_t t = 0; t < m.TriangleCount(); ++t) {
        const Vec3f p[3] = {m.vertices[m.indices[3 * t]].position, m.vertices[m.indices[3 * t + 1]].position,
                            m.vertices[m.indices[3 * t + 2]].position};
        int lo[3], hi[3];
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = cellOf(std::min({p[0][axis], p[1][axis], p[2][axis]}), axis);
            hi[axis] = cellOf(std::max({p[0][axis], p[1][axis], p[2][axis]}), axis);
        }
        const bool one = lo[0] == hi[0] && lo[1] == hi[1] && lo[2] == hi[2];
        for (int z = lo[2]; z <= hi[2]; ++z)
            for (int y = lo[1]; y <= hi[1]; ++y)
                for (int x = lo[0]; x <= hi[0]; ++x) {
                    const Vec3d centre{grid.origin[0] + (x + 0.5) * grid.cellSize,
                                       grid.origin[1] + (y + 0.5) * grid.cellSize,
                                       grid.origin[2] + (z + 0.5) * grid.cellSize};
                    const std::size_t index = grid.Index(x, y, z);
                    const Vec3f floatCentre{grid.origin[0] + (static_cast<float>(x) + 0.5f) * grid.cellSize,
                                            grid.origin[1] + (static_cast<float>(y) + 0.5f) * grid.cellSize,
                                            grid.origin[2] + (static_cast<float>(z) + 0.5f) * grid.cellSize};
                    const bool overlaps =
                        inDouble ? OverlapsInDouble(ToDouble(p[0]), ToDouble(p[1]), ToDouble(p[2]), centre, h)
                                 : TriangleOverlapsCube(p[0], p[1], p[2], floatCentre, grid.cellSize * 0.5f * 1.0001f);
                    if (one || overlaps) {
                        cells[index] = 1;
                    }
                }
    }
    return cells;
}

// Builds the grid and compares its cells with testing every cell of every
// triangle's range, with the grid's float test and, near the origin where
// double resolves the cubes' overlap as float does, in double too.
void ExpectCellsOfTestingEveryCell(const TriangleMesh& part, int cells, bool alsoInDouble, const std::string& name) {
    OccupancyGrid grid;
    ASSERT_TRUE(grid.Build(part, cells)) << name;
    ExpectRoomsPacked(grid, name);
    for (bool inDouble : {false, true}) {
        if (inDouble && !alsoInDouble) continue;
        const std::vector<std::uint8_t> expected = CellsTestingEveryCellOfTheRange(grid, part, inDouble);
        std::size_t differ = 0;
        for (std::size_t i = 0; i < expected.size(); ++i) differ += expected[i] != grid.CellAt(i) ? 1 : 0;
        EXPECT_EQ(differ, 0u) << name << " at " << cells << " cells" << (inDouble ? " in double" : "");
        EXPECT_EQ(grid.surfaceCells, static_cast<std::uint64_t>(std::count(expected.begin(), expected.end(), 1)))
            << name;
    }
    EXPECT_GT(grid.surfaceCells, 0u) << name;
}

// Long triangles lying across the grid, fans, copies and a sphere: the cells
// are those of testing every cell of every triangle's range (in double, and
// with the grid's own float test: far from the origin, where a float no
// longer resolves the cubes' overlap of a ten-thousandth, only the latter),
// and a stop asked by the callback leaves the grid empty.
TEST(OccupancyGrid, MarksWhatTestingEveryCellOfTheRangeMarks) {
    using namespace ridgeforge::test;
    const std::vector<std::pair<std::string, TriangleMesh>> parts = {
        {"upright rod", MakeFanCappedRod(5.0f, 100.0f, 48, {0, 0, 1})},
        {"diagonal rod", MakeFanCappedRod(5.0f, 100.0f, 48, {1, 1, 1})},
        {"leaning rod", MakeFanCappedRod(5.0f, 100.0f, 40, {1.0f, 0.3f, -0.2f})},
        {"thin diagonal rod", MakeFanCappedRod(0.05f, 30.0f, 6, {-1, 2, 1.5f})},
        {"fanned cone", MakeCone(10.0f, 24.0f, 96, 1)},
        {"copies", MakeCopiedTriangle(50, 20.0f)},
        {"sphere", MakeRingSphere(12.0f, 12)},
        {"far plate", [] {
             TriangleMesh far = MakeGridPlate(20.0f, 3);
             for (Vertex& v : far.vertices) v.position += Vec3f{3000.0f, -2000.0f, 500.0f};
             far.RecomputeBounds();
             return far;
         }()}};
    for (const auto& [name, part] : parts) {
        for (int cells : {16, 41}) ExpectCellsOfTestingEveryCell(part, cells, name != "far plate", name);
    }

    const TriangleMesh rod = MakeFanCappedRod(5.0f, 100.0f, 64, {1, 1, 1});
    OccupancyGrid plain;
    plain.Build(rod, 128);
    int asked = 0;
    OccupancyGrid going;
    EXPECT_TRUE(going.Build(rod, 128, [&](const std::string& stage, float) {
        EXPECT_EQ(stage, kOccupancyStage);
        ++asked;
        return true;
    }));
    EXPECT_GT(asked, 0);
    EXPECT_EQ(CellsByPlace(going), CellsByPlace(plain));
    OccupancyGrid stopped;
    EXPECT_FALSE(stopped.Build(rod, 128, [](const std::string&, float) { return false; }));
    EXPECT_TRUE(stopped.IsEmpty());
    EXPECT_EQ(stopped.surfaceCells, 0u);
    EXPECT_TRUE(stopped.RayLeaves({0, 0, 0}, {1, 0, 0}));
}

// A fan cone of slivers with its four widest corners exactly on the axes, so
// that its bounds, and with a power-of-two cell its apex, lie on cell
// boundaries.
TriangleMesh ExactFanCone(float radius, float height, std::uint32_t around) {
    TriangleMesh m;
    const auto ring = [&](std::uint32_t j) {
        if (j % (around / 4) == 0) {
            const float c[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
            return Vec3f{radius * c[j / (around / 4) % 4][0], radius * c[j / (around / 4) % 4][1], 0.0f};
        }
        const double a = 2.0 * 3.14159265358979 * j / around;
        return Vec3f{radius * static_cast<float>(std::cos(a)), radius * static_cast<float>(std::sin(a)), 0.0f};
    };
    for (std::uint32_t j = 0; j < around; ++j) {
        test::AddLooseTriangle(m, ring(j), ring(j + 1), {0.0f, 0.0f, height});
        test::AddLooseTriangle(m, ring(j + 1), ring(j), {0.0f, 0.0f, 0.0f});
    }
    m.RecomputeBounds();
    return m;
}

// Slivers 20 mm long and `width` wide pointing every way (along the axes,
// the face and space diagonals and a spiral of others), some with the wide
// corner at the middle and some near one end, and needles along each axis
// that sit exactly on cell edges and faces.
TriangleMesh SliversEveryWay(float width = 0.004f) {
    TriangleMesh m;
    std::vector<Vec3f> directions;
    for (int x = -1; x <= 1; ++x)
        for (int y = -1; y <= 1; ++y)
            for (int z = -1; z <= 1; ++z)
                if (x != 0 || y != 0 || z != 0) directions.push_back(Normalize(Vec3f{float(x), float(y), float(z)}));
    for (int i = 0; i < 150; ++i) {
        const double z = 1.0 - (i + 0.5) / 75.0, r = std::sqrt(1.0 - z * z), a = i * 2.399963229728653;
        directions.push_back(Vec3f{float(r * std::cos(a)), float(r * std::sin(a)), float(z)});
    }
    for (std::size_t i = 0; i < directions.size(); ++i) {
        const Vec3f d = directions[i];
        const Vec3f side = Normalize(Cross(d, std::fabs(d.z) < 0.9f ? Vec3f{0, 0, 1} : Vec3f{1, 0, 0}));
        const Vec3f start{0.37f * float(i % 7), 0.23f * float(i % 5), 0.61f * float(i % 3)};
        const Vec3f end = start + d * 20.0f;
        const float along = i % 2 == 0 ? 0.5f : 0.03f;
        test::AddLooseTriangle(m, start, end, start + d * (20.0f * along) + side * width);
    }
    // Two specks pin the bounds to -25..25 mm: with 40 cells of 1.25 mm,
    // -25 + 1.25 k is a cell face.
    test::AddLooseTriangle(m, {-25, -25, -25}, {-24.9f, -25, -25}, {-25, -24.9f, -25});
    test::AddLooseTriangle(m, {25, 25, 25}, {24.9f, 25, 25}, {25, 24.9f, 25});
    const float face = -25.0f + 1.25f * 13.0f;
    for (int axis = 0; axis < 3; ++axis) {
        Vec3f a{face, face, face}, b = a, c = a;
        b[axis] += 15.0f;
        c[(axis + 1) % 3] += 0.002f;
        test::AddLooseTriangle(m, a, b, c);  // along a cell edge, in a cell face
        c[(axis + 1) % 3] = face + 1.25f;
        test::AddLooseTriangle(m, a, b, c);  // a whole cell wide, in a cell face
    }
    m.RecomputeBounds();
    return m;
}

// The cells near a sliver, a needle or a fan's apex that the overlap test
// marks are all marked whichever way the triangle points, wherever its
// corners fall against the cells and however far from the origin it lies.
TEST(OccupancyGrid, SliversEveryWayMarkWhatTestingEveryCellMarks) {
    const TriangleMesh slivers = SliversEveryWay();
    for (int cells : {16, 40, 41}) ExpectCellsOfTestingEveryCell(slivers, cells, true, "slivers");
    // Wide corners up to a third of a 1.25 mm cell off the long edge: a
    // span that leaves out how far the wide corner stands off misses cells.
    for (const float width : {0.1f, 0.3f, 0.42f})
        ExpectCellsOfTestingEveryCell(SliversEveryWay(width), 40, true, "slivers " + std::to_string(width) + " wide");
    OccupancyGrid grid;
    grid.Build(slivers, 40);
    ASSERT_FLOAT_EQ(grid.cellSize, 1.25f);
    ASSERT_FLOAT_EQ(grid.origin[0], -27.5f);

    // The apex at (0, 0, 16): with 16, 32 or 64 cells of 1, 0.5 or 0.25 mm
    // and the bounds at (-6, -6, 0), a corner shared by eight cells.
    const TriangleMesh cone = ExactFanCone(6.0f, 16.0f, 96);
    for (int cells : {16, 32, 64}) ExpectCellsOfTestingEveryCell(cone, cells, true, "exact cone");
    grid.Build(cone, 16);
    ASSERT_FLOAT_EQ(grid.cellSize, 1.0f);
    ASSERT_FLOAT_EQ(grid.origin[0], -8.0f);
    ASSERT_FLOAT_EQ(grid.origin[2], -2.0f);
    const auto at = [&](int x, int y, int z) { return grid.Cell(x, y, z); };
    // The apex is the corner of cells 7..8 in x and y and 17..18 in z; the
    // cubes, a ten-thousandth larger than the cells, of the four above it
    // reach down to it, and nothing is marked further up.
    for (int x : {7, 8})
        for (int y : {7, 8}) {
            EXPECT_EQ(at(x, y, 18), 1) << x << " " << y;
            EXPECT_EQ(at(x, y, 19), 0) << x << " " << y;
        }
    // The base at z = 0 lies on the face between layers 1 and 2. The cubes
    // of both reach it, but only layer 2 is within its triangles' range.
    EXPECT_EQ(at(8, 8, 2), 1);
    EXPECT_EQ(at(7, 7, 2), 1);
    EXPECT_EQ(at(8, 8, 1), 0);
    EXPECT_EQ(at(7, 7, 1), 0);

    // Far from the origin a float no longer places the cubes within a
    // ten-thousandth: the float test alone decides, once within a few cells
    // of the slivers, once (a million off) over every cell of their ranges.
    for (const float offset : {1.0e5f, 1.0e6f}) {
        TriangleMesh far = ExactFanCone(6.0f, 16.0f, 48);
        test::AppendMesh(far, SliversEveryWay());
        for (Vertex& v : far.vertices) v.position += Vec3f{offset, -0.5f * offset, 0.25f * offset};
        far.RecomputeBounds();
        ExpectCellsOfTestingEveryCell(far, 41, false, "far slivers");
    }
}

// Needles 40 mm long leaning 0.5 to 8 degrees off each axis, on 160 cells of
// about 0.3 mm: a needle thinner than a cell all along, and ones that drift
// a few cells over a hundred slabs and more, each a few thousandths wide.
TEST(OccupancyGrid, NeedlesLeaningOffAnAxisMarkWhatTestingEveryCellMarks) {
    TriangleMesh m;
    int k = 0;
    for (int axis = 0; axis < 3; ++axis) {
        for (const float degrees : {0.5f, 2.0f, 5.0f, 8.0f}) {
            const float lean = degrees * 3.14159265f / 180.0f;
            Vec3f d{}, side{};
            d[axis] = std::cos(lean);
            d[(axis + 1) % 3] = std::sin(lean) * (k % 2 == 0 ? 1.0f : -1.0f);
            d[(axis + 2) % 3] = std::sin(lean) * 0.37f;
            side[(axis + 2) % 3] = 0.003f;
            const Vec3f start{-20.0f + 0.71f * float(k % 5), -19.0f + 0.53f * float(k % 7), -18.5f + 0.29f * float(k)};
            test::AddLooseTriangle(m, start, start + d * 40.0f, start + d * (k % 3 == 0 ? 20.0f : 3.0f) + side);
            ++k;
        }
    }
    test::AddLooseTriangle(m, {-25, -25, -25}, {-24.9f, -25, -25}, {-25, -24.9f, -25});
    test::AddLooseTriangle(m, {25, 25, 25}, {24.9f, 25, 25}, {25, 24.9f, 25});
    m.RecomputeBounds();
    for (int cells : {160, 167}) ExpectCellsOfTestingEveryCell(m, cells, true, "leaning needles");

    // On 40 cells of 1.25 mm from -27.5 mm: a needle drifting from 0.1 cell
    // before a cell face along x to 0.1 cell past it, so that each of the
    // two columns it may touch is left unmarked at one end, and then an
    // upright one in the first column, which marks what the first left.
    const auto x = [](float cellsAlong) { return -27.5f + (cellsAlong + 0.5f) * 1.25f; };
    TriangleMesh pair;
    const float y = x(20.2f);
    test::AddLooseTriangle(pair, {x(10.4f), y, -24.0f}, {x(10.6f), y, 24.0f}, {x(10.5f), y + 0.004f, 0.0f});
    test::AddLooseTriangle(pair, {x(10.45f), y, -24.0f}, {x(10.45f), y, 24.0f}, {x(10.45f), y + 0.004f, 0.0f});
    test::AddLooseTriangle(pair, {-25, -25, -25}, {-24.9f, -25, -25}, {-25, -24.9f, -25});
    test::AddLooseTriangle(pair, {25, 25, 25}, {24.9f, 25, 25}, {25, 24.9f, 25});
    pair.RecomputeBounds();
    ExpectCellsOfTestingEveryCell(pair, 40, true, "a drifting needle, then an upright one beside it");
}

// Tall narrow cones, upright and leaning, of slivers a few hundredths of a
// cell wide: their sides share the cells of every slab along a thousand
// slabs, so that nearly every slab of a side finds its cells marked by the
// sides before it, four slabs at a time, and passes over them. The cells
// are those of testing every cell, with the float test the grid uses (at
// 100 mm from the origin double resolves the cubes finer than float).
TEST(OccupancyGrid, TallFansOfSliversMarkWhatTestingEveryCellMarks) {
    for (const float lean : {0.0f, 1.5f}) {
        for (const std::uint32_t around : {96u, 256u}) {
            TriangleMesh cone = ExactFanCone(0.5f, 100.0f, around);
            for (Vertex& v : cone.vertices)
                v.position += Vec3f{lean * 0.7f, lean * -0.4f, 0.0f} * (v.position.z / 100.0f);
            cone.RecomputeBounds();
            const std::string name = "tall cone of " + std::to_string(around) + " leaning " + std::to_string(lean);
            for (int cells : {600, 1024}) {
                if (lean > 0.0f && (around > 96 || cells > 600)) continue;
                ExpectCellsOfTestingEveryCell(cone, cells, false, name);
            }
        }
    }
}

// A part of few triangles is marked in pieces of a few slabs of each
// triangle, a larger one a triangle at a time. A rod leaning across the
// cells, whose sides run through many pieces, marks what testing every cell
// marks; copies of a rod on corners of their own (so that they count as
// more triangles) mark the very cells of the rod alone.
TEST(OccupancyGrid, PiecesOfSlabsMarkWhatWholeTrianglesMark) {
    using namespace ridgeforge::test;
    ExpectCellsOfTestingEveryCell(MakeFanCappedRod(5.0f, 100.0f, 24, {1.0f, 0.3f, -0.2f}), 128, true,
                                  "leaning rod in pieces");
    const TriangleMesh rod = MakeFanCappedRod(5.0f, 100.0f, 48, {1, 1, 1});
    TriangleMesh copies = rod;
    for (int i = 0; i < 11; ++i) AppendMesh(copies, rod);
    copies.RecomputeBounds();
    ASSERT_LT(rod.TriangleCount(), 2048u);
    ASSERT_GE(copies.TriangleCount(), 2048u);
    for (int cells : {41, 150}) {
        OccupancyGrid inPieces, whole;
        inPieces.Build(rod, cells);
        whole.Build(copies, cells);
        EXPECT_EQ(CellsByPlace(whole), CellsByPlace(inPieces)) << cells << " cells";
        EXPECT_EQ(whole.surfaceCells, inPieces.surfaceCells) << cells << " cells";
        EXPECT_GT(whole.surfaceCells, 0u);
    }
}

TEST(OccupancyGrid, TriangleCubeOverlap) {
    const Vec3f a{2, 0, 0}, b{0, 2, 0}, c{0, 0, 2};
    // The plane x + y + z = 2 passes the cube corner (h, h, h) only for h >= 2/3.
    EXPECT_FALSE(TriangleOverlapsCube(a, b, c, {0, 0, 0}, 0.6f));
    EXPECT_TRUE(TriangleOverlapsCube(a, b, c, {0, 0, 0}, 0.7f));
    EXPECT_FALSE(TriangleOverlapsCube(a, b, c, {5, 5, 5}, 1.0f));
    // Bounding boxes overlap but the triangle's plane separates them.
    EXPECT_FALSE(TriangleOverlapsCube({0, 0, 0}, {4, 4, 0}, {4, 4, 0.1f}, {3, 0.5f, 0}, 0.5f));
    EXPECT_TRUE(TriangleOverlapsCube({-5, -5, 0}, {5, -5, 0}, {0, 5, 0}, {0, 0, 0}, 0.1f));

    // A triangle flat across each axis in turn, its long edge on x + y = 2
    // in its own plane: a cube of half edge 0.2 at (1.5, 1.5) lies within the
    // bounding box and on the plane, and only that edge's normal within the
    // plane sets it apart (its nearest corner has x + y = 2.6); one at
    // (0.9, 0.9) reaches over it (1.4); one at (1.15, 1.15) reaches it at a
    // half edge of 0.15, so 0.14 stays apart and 0.16 overlaps.
    for (int flat = 0; flat < 3; ++flat) {
        const auto at = [flat](float x, float y, float across) {
            Vec3f p;
            p[(flat + 1) % 3] = x;
            p[(flat + 2) % 3] = y;
            p[flat] = across;
            return p;
        };
        const Vec3f p = at(0, 0, 3), q = at(2, 0, 3), r = at(0, 2, 3);
        SCOPED_TRACE(flat);
        EXPECT_FALSE(TriangleOverlapsCube(p, q, r, at(1.5f, 1.5f, 3.1f), 0.2f));
        EXPECT_TRUE(TriangleOverlapsCube(p, q, r, at(0.9f, 0.9f, 3.1f), 0.2f));
        EXPECT_FALSE(TriangleOverlapsCube(p, q, r, at(1.15f, 1.15f, 3.0f), 0.14f));
        EXPECT_TRUE(TriangleOverlapsCube(p, q, r, at(1.15f, 1.15f, 3.0f), 0.16f));
        // Off the plane by more than the half edge: apart whatever lies within.
        EXPECT_FALSE(TriangleOverlapsCube(p, q, r, at(0.5f, 0.5f, 3.3f), 0.2f));
    }
}

}  // namespace
}  // namespace ridgeforge::mesh
