#include "relief/validation/ValidateMesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "mesh/TestShapes.h"
#include "testing/Shapes.h"
#include "testing/StressParts.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::MakeBox;

namespace {

constexpr ValidationOptions kImport{0.001f, true, false, 40000000};
constexpr ValidationOptions kDisplaced{0.001f, false, true, 40000000};

using ridgeforge::test::AddLooseTriangle;
using ridgeforge::test::AppendMesh;

void TurnOver(TriangleMesh& m, std::size_t t) { std::swap(m.indices[3 * t + 1], m.indices[3 * t + 2]); }

// A strip of an even `count` of triangles over two rows of vertices,
// consistently wound: count + 2 open edges.
TriangleMesh Strip(std::uint32_t count) {
    TriangleMesh m;
    for (std::uint32_t k = 0; k < count / 2 + 1; ++k) {
        m.vertices.push_back({{static_cast<float>(k), 0, 0}, {}});
        m.vertices.push_back({{static_cast<float>(k), 1, 0}, {}});
    }
    for (std::uint32_t t = 0; t < count; ++t) {
        const std::uint32_t k = 2 * (t / 2);
        if (t % 2 == 0)
            m.indices.insert(m.indices.end(), {k, k + 2, k + 1});
        else
            m.indices.insert(m.indices.end(), {k + 1, k + 2, k + 3});
    }
    return m;
}

// A strip closed into a ring with a half twist: every quad wound the same
// way along the strip, which the twist makes impossible where it closes.
TriangleMesh Moebius(std::uint32_t quads) {
    TriangleMesh m;
    for (std::uint32_t i = 0; i < quads; ++i) {
        const float u = 6.2831853f * static_cast<float>(i) / static_cast<float>(quads);
        const Vec3f centre{10 * std::cos(u), 10 * std::sin(u), 0};
        const Vec3f across{2 * std::cos(u / 2) * std::cos(u), 2 * std::cos(u / 2) * std::sin(u), 2 * std::sin(u / 2)};
        m.vertices.push_back({centre + across, {}});
        m.vertices.push_back({centre - across, {}});
    }
    for (std::uint32_t i = 0; i < quads; ++i) {
        const std::uint32_t a = 2 * i, b = 2 * i + 1;
        // Past the last quad the two edges of the strip have changed places.
        const bool last = i + 1 == quads;
        const std::uint32_t c = last ? 0 : 2 * i + 3, d = last ? 1 : 2 * i + 2;
        m.indices.insert(m.indices.end(), {a, b, c, a, c, d});
    }
    return m;
}

bool Contains(const std::vector<std::string>& list, const std::string& text) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

TEST(ValidateMesh, CleanCubeAndItsFullReport) {
    const ValidationReport r = ValidateMesh(MakeBox({0, 0, 0}, {2, 2, 2}), kImport);
    EXPECT_EQ(r.verdict, ValidationVerdict::Good);
    EXPECT_EQ(ValidationVerdictText(r), "Good: no problems found.");
    EXPECT_TRUE(r.closed);
    EXPECT_TRUE(r.orientable);
    EXPECT_FALSE(r.insideOut);
    EXPECT_EQ(r.componentCount, 1u);
    EXPECT_EQ(r.componentOfTriangle, std::vector<std::uint32_t>(12, 0));
    EXPECT_FLOAT_EQ(r.signedVolume, 8.0f);
    EXPECT_TRUE(r.reversedTriangles.empty());
    EXPECT_EQ(r.edges.manifoldEdges, 18u);
    EXPECT_TRUE(r.selfIntersectionsSearched);
    EXPECT_EQ(FormatValidationReport(r),
              "Verdict: Good: no problems found.\n"
              "Triangles: 12\nVertices: 8\nComponents: 1\nClosed: yes\nOrientable: yes\n"
              "Open boundary edges: 0\nNon-manifold edges: 0\nReversed triangles: 0\nDuplicate triangles: 0\n"
              "Degenerate triangles: 0\nSliver triangles: 0\nUnreferenced vertices: 0\n"
              "Self-intersecting triangles: 0\nSigned volume: 8.0000 cubic mm\n");
    // Without the search the line says so.
    EXPECT_NE(FormatValidationReport(ValidateMesh(MakeBox({0, 0, 0}, {2, 2, 2}), kDisplaced))
                  .find("Self-intersecting triangles: not checked\n"),
              std::string::npos);
}

TEST(ValidateMesh, WindingAndOrientation) {
    TriangleMesh inside = MakeBox({0, 0, 0}, {2, 3, 4});
    for (std::size_t t = 0; t < 12; ++t) TurnOver(inside, t);
    ValidationReport r = ValidateMesh(inside, kImport);
    EXPECT_TRUE(r.insideOut);
    EXPECT_EQ(r.windingConflictEdges, 0u);
    EXPECT_EQ(r.reversedTriangles.size(), 12u);
    EXPECT_EQ(r.reversedTrianglePoints.size(), 36u);
    EXPECT_EQ(r.problems, std::vector<std::string>{"The mesh is inside out: its normals point inwards."});
    EXPECT_EQ(r.verdict, ValidationVerdict::UsableWithCare);
    EXPECT_EQ(ValidationVerdictText(r), "Usable with care: 1 problem found.");
    EXPECT_NE(FormatValidationReport(r).find("Signed volume: -24.0000 cubic mm (inside out)\n"), std::string::npos);

    // Open, the same inward faces say nothing about inside and out: the
    // signed volume of an open surface depends on where it is, so it is
    // neither inside out nor holds reversed triangles.
    TriangleMesh openInside = inside;
    openInside.indices.resize(openInside.indices.size() - 3);
    r = ValidateMesh(openInside, kImport);
    EXPECT_FALSE(r.closed);
    EXPECT_LT(r.signedVolume, 0.0f);
    EXPECT_FALSE(r.insideOut);
    EXPECT_TRUE(r.reversedTriangles.empty());
    EXPECT_FALSE(Contains(r.problems, "The mesh is inside out: its normals point inwards."));
    EXPECT_EQ(FormatValidationReport(r).find("(inside out)"), std::string::npos);

    // One triangle turned over, the first and a later one: the walk starts at
    // triangle 0 either way, and the component's volume decides which side wins.
    for (std::size_t turned : {0u, 7u}) {
        TriangleMesh one = MakeBox({0, 0, 0}, {2, 3, 4});
        TurnOver(one, turned);
        r = ValidateMesh(one, kImport);
        EXPECT_EQ(r.windingConflictEdges, 3u);
        EXPECT_EQ(r.reversedTriangles, std::vector<std::uint32_t>{static_cast<std::uint32_t>(turned)});
        EXPECT_FALSE(r.insideOut);
        EXPECT_EQ(r.problems, std::vector<std::string>{"1 triangles are wound the wrong way round."});
        EXPECT_EQ(r.verdict, ValidationVerdict::UsableWithCare);
    }

    r = ValidateMesh(Moebius(24), kImport);
    EXPECT_FALSE(r.orientable);
    EXPECT_EQ(r.verdict, ValidationVerdict::Unsuitable);
    EXPECT_TRUE(Contains(r.problems, "The surface cannot be given a consistent inside and outside."));
    // Where the strip closes, the one seam edge is run the same way twice.
    EXPECT_EQ(r.windingConflictEdges, 1u);
    EXPECT_EQ(r.edges.openBoundaryEdges, 2u * 24u);
    EXPECT_EQ(ValidationVerdictText(r), "Unsuitable: 3 problems found.");
    // A strip without the twist can be oriented.
    EXPECT_TRUE(ValidateMesh(Strip(40), kImport).orientable);
}

TEST(ValidateMesh, BrokenAndEmptyMeshes) {
    TriangleMesh past = MakeBox({0, 0, 0}, {1, 1, 1});
    past.indices[5] = 8;
    TriangleMesh ragged = MakeBox({0, 0, 0}, {1, 1, 1});
    ragged.indices.push_back(0);
    for (const TriangleMesh* m : {&past, &ragged}) {
        const ValidationReport r = ValidateMesh(*m, kImport);
        EXPECT_EQ(r.problems, std::vector<std::string>{"The mesh has indices that do not refer to a vertex."});
        EXPECT_TRUE(r.advice.empty());
        EXPECT_EQ(r.verdict, ValidationVerdict::Unsuitable);
        EXPECT_EQ(r.triangleCount, 0u);
        EXPECT_EQ(r.vertexCount, 0u);
        EXPECT_EQ(r.edges.edges, 0u);
    }
    TriangleMesh empty;
    empty.vertices.push_back({});
    const ValidationReport r = ValidateMesh(empty, kImport);
    EXPECT_EQ(r.problems, std::vector<std::string>{"The mesh contains no triangles."});
    EXPECT_EQ(r.verdict, ValidationVerdict::Unsuitable);
    EXPECT_EQ(r.vertexCount, 1u);
    EXPECT_EQ(FormatValidationReport(r).find("Verdict: Unsuitable: 1 problem found.\n"), 0u);
}

// Triangles are measured in chunks; the degenerate ones' corners still come
// in triangle order.
TEST(ValidateMesh, DegenerateCornersInTriangleOrderAcrossChunks) {
    TriangleMesh m = ridgeforge::test::MakeGridPlate(10.0f, 100);  // 20,000 triangles
    const auto collapse = [&](std::size_t t) { m.indices[3 * t + 2] = m.indices[3 * t + 1]; };
    collapse(19000);
    collapse(5);
    const ValidationReport r = ValidateMesh(m, kImport);
    std::vector<Vec3f> expected;
    for (const std::size_t t : {5, 19000}) {
        for (int k = 0; k < 3; ++k) expected.push_back(m.vertices[m.indices[3 * t + k]].position);
    }
    EXPECT_EQ(r.degenerateTriangles, 2u);
    EXPECT_EQ(r.degenerateTrianglePoints, expected);
}

TEST(ValidateMesh, DegenerateSliverAndSpareElements) {
    TriangleMesh m;
    AddLooseTriangle(m, {0, 0, 0}, {1, 0, 0}, {1, 0, 0});          // two equal corners
    AddLooseTriangle(m, {0, 0, 0}, {1000, 0, 0}, {500, 0.1f, 0});  // quality about 0.00023
    AddLooseTriangle(m, {0, 0, 5}, {1000, 0, 5}, {500, 0.5f, 5});  // about 0.0012: fine
    m.vertices.push_back({{9, 9, 9}, {}});
    ValidationReport r = ValidateMesh(m, kImport);
    EXPECT_EQ(r.degenerateTriangles, 1u);
    EXPECT_EQ(r.degenerateTrianglePoints, (std::vector<Vec3f>{{0, 0, 0}, {1, 0, 0}, {1, 0, 0}}));
    EXPECT_EQ(r.sliverTriangles, 1u);
    EXPECT_EQ(r.unreferencedVertices, 1u);
    EXPECT_TRUE(Contains(r.problems, "1 triangles enclose no area."));
    EXPECT_TRUE(Contains(r.problems, "1 triangles are slivers."));
    EXPECT_TRUE(Contains(r.problems, "1 vertices belong to no triangle."));
    EXPECT_EQ(r.openEdgePoints.size(), 2 * r.edges.openBoundaryEdges);

    r = ValidateMesh(m, kDisplaced);
    EXPECT_EQ(r.sliverTriangles, 1u);
    EXPECT_FALSE(Contains(r.problems, "1 triangles are slivers."));

    // A repeated triangle, and a third triangle on one of the cube's edges.
    TriangleMesh cube = MakeBox({0, 0, 0}, {1, 1, 1});
    cube.indices.insert(cube.indices.end(), {0, 2, 3});
    r = ValidateMesh(cube, kDisplaced);
    EXPECT_EQ(r.duplicateTriangles, 1u);
    EXPECT_EQ(r.edges.nonManifoldEdges, 3u);
    EXPECT_EQ(r.nonManifoldEdgePoints.size(), 6u);
    EXPECT_FALSE(r.closed);
    EXPECT_EQ(r.problems[0], "3 edges are shared by more than two triangles.");
    EXPECT_TRUE(Contains(r.problems, "1 triangles repeat the same three corners."));
    EXPECT_EQ(r.verdict, ValidationVerdict::Unsuitable);
}

// The triangles of `m` again, each turned over: the mesh and its mirror
// image lying on it, closed and orientable round nothing.
TriangleMesh WithItsOwnBack(TriangleMesh m) {
    const std::size_t count = m.indices.size();
    for (std::size_t i = 0; i < count; i += 3) {
        m.indices.insert(m.indices.end(), {m.indices[i], m.indices[i + 2], m.indices[i + 1]});
    }
    return m;
}

TEST(ValidateMesh, BodiesThatEncloseNoVolumeAreAProblem) {
    const std::string finding = "1 bodies enclose no volume.";
    // A lone triangle, tilted so that no axis is flat.
    TriangleMesh one;
    AddLooseTriangle(one, {0, 0, 0}, {10, 0, 3}, {0, 10, 7});
    ValidationReport r = ValidateMesh(one, kImport);
    EXPECT_EQ(r.bodiesWithoutVolume, 1u);
    EXPECT_EQ(r.problems.front(), finding);
    EXPECT_EQ(r.verdict, ValidationVerdict::Unsuitable);

    // The same triangle with its back: closed, orientable, consistently wound.
    // (Lying on each other, the two may also count as crossing; not asked here.)
    r = ValidateMesh(WithItsOwnBack(one), kDisplaced);
    EXPECT_TRUE(r.closed);
    EXPECT_EQ(r.windingConflictEdges, 0u);
    EXPECT_FALSE(r.insideOut);
    EXPECT_EQ(r.problems.front(), finding);
    EXPECT_EQ(r.verdict, ValidationVerdict::Unsuitable);

    // A square sheet with its back laid the other way across: closed and
    // manifold, and flat.
    TriangleMesh square;
    square.vertices = {{{0, 0, 0}, {}}, {{10, 0, 0}, {}}, {{10, 10, 0}, {}}, {{0, 10, 0}, {}}};
    square.indices = {0, 1, 2, 0, 2, 3, 0, 3, 1, 1, 3, 2};
    r = ValidateMesh(square, kDisplaced);
    EXPECT_TRUE(r.closed);
    EXPECT_EQ(r.problems, std::vector<std::string>{finding});

    // Two bodies of which one is flat: one counted, the box is fine.
    TriangleMesh both = MakeBox({0, 0, 0}, {4, 5, 6});
    AppendMesh(both, WithItsOwnBack(one));
    r = ValidateMesh(both, kImport);
    EXPECT_EQ(r.componentCount, 2u);
    EXPECT_EQ(r.bodiesWithoutVolume, 1u);

    // The other side of the boundaries: a plate a hundredth of a millimetre
    // thick is a solid, and an open box that is not flat is only open.
    r = ValidateMesh(MakeBox({0, 0, 0}, {10, 10, 0.01f}), kImport);
    EXPECT_EQ(r.bodiesWithoutVolume, 0u);
    EXPECT_EQ(r.verdict, ValidationVerdict::Good);
    TriangleMesh open = MakeBox({0, 0, 0}, {10, 10, 10});
    open.indices.resize(open.indices.size() - 6);
    r = ValidateMesh(open, kImport);
    EXPECT_EQ(r.bodiesWithoutVolume, 0u);
    EXPECT_EQ(r.verdict, ValidationVerdict::UsableWithCare);

    // A 20 mm cube with one corner pulled out to 1e10 mm is thin for its
    // length, but it still holds some 1.3e12 cubic millimetres.
    TriangleMesh stray = MakeBox({0, 0, 0}, {20, 20, 20});
    stray.vertices[6].position = {1e10f, 20, 20};
    r = ValidateMesh(stray, kImport);
    EXPECT_EQ(r.componentCount, 1u);
    EXPECT_EQ(r.bodiesWithoutVolume, 0u);
}

TEST(ValidateMesh, CountsAreGroupedAndEveryFindingHasItsAdvice) {
    const ValidationReport r = ValidateMesh(Strip(1232), kDisplaced);
    EXPECT_EQ(r.edges.openBoundaryEdges, 1234u);
    // The strip is flat, so it also encloses no volume.
    EXPECT_EQ(r.problems, (std::vector<std::string>{"1 bodies enclose no volume.",
                                                    "1,234 edges are open: the mesh is not a closed solid."}));
    ASSERT_EQ(r.advice.size(), 2u);
    const std::string text = FormatValidationReport(r);
    EXPECT_NE(text.find("Open boundary edges: 1,234\n"), std::string::npos);
    EXPECT_NE(text.find("\nProblem: 1,234 edges are open: the mesh is not a closed solid.\n  Displacement still works"),
              std::string::npos);
}

TEST(ValidateMesh, SelfIntersectionFindings) {
    TriangleMesh boxes = MakeBox({0, 0, 0}, {2, 2, 2});
    AppendMesh(boxes, MakeBox({1, 1.25f, 0.5f}, {3, 3, 3}));

    ValidationReport r = ValidateMesh(boxes, kImport);
    EXPECT_TRUE(r.selfIntersectionsSearched);
    ASSERT_GT(r.selfIntersectingTriangles, 0u);
    EXPECT_EQ(r.selfIntersectingList.size(), r.selfIntersectingTriangles);
    EXPECT_TRUE(std::is_sorted(r.selfIntersectingList.begin(), r.selfIntersectingList.end()));
    EXPECT_EQ(std::adjacent_find(r.selfIntersectingList.begin(), r.selfIntersectingList.end()),
              r.selfIntersectingList.end());
    EXPECT_EQ(r.selfIntersectionHits.size() % 2, 0u);
    for (std::uint32_t t : r.selfIntersectionHits) {
        EXPECT_TRUE(std::binary_search(r.selfIntersectingList.begin(), r.selfIntersectingList.end(), t));
    }
    const std::string n = std::to_string(r.selfIntersectingTriangles);
    EXPECT_EQ(r.problems, std::vector<std::string>{n + " triangles already pass through others."});
    EXPECT_EQ(r.verdict, ValidationVerdict::UsableWithCare);

    ValidationOptions displaced = kDisplaced;
    displaced.checkSelfIntersections = true;
    r = ValidateMesh(boxes, displaced);
    EXPECT_EQ(r.problems, std::vector<std::string>{n + " triangles pass through others."});

    // Out of budget: the result is unknown, which is a note and no finding.
    ValidationOptions budget = kImport;
    budget.selfIntersectionLimit = 0;
    r = ValidateMesh(boxes, budget);
    EXPECT_TRUE(r.stoppedEarly);
    EXPECT_FALSE(r.selfIntersectionsSearched);
    EXPECT_EQ(r.selfIntersectingTriangles, 0u);
    EXPECT_TRUE(r.problems.empty());
    EXPECT_EQ(r.verdict, ValidationVerdict::Good);
    const std::string text = FormatValidationReport(r);
    EXPECT_NE(text.find("Self-intersecting triangles: search stopped early\n"), std::string::npos);
    EXPECT_NE(text.find("\nNote: The self-intersection search was stopped early on this mesh, so that result is "
                        "unknown.\n"),
              std::string::npos);
    EXPECT_EQ(text.find("Note:"), text.rfind("Note:"));

    ValidationReport unknown;
    unknown.verdict = static_cast<ValidationVerdict>(7);
    EXPECT_EQ(ValidationVerdictText(unknown), "Unknown: no problems found.");
}

// Two spheres of 600,000 triangles each, 7 mm apart: with a cancellation
// context that never stops, the search lists what it lists without one, all
// of it where the spheres meet (the plane x = 3.5); a stop asked a while into
// the search ends it within a second by `Stopped`, and one asked at the
// first poll of the whole check ends it before anything is measured.
TEST(ValidateMesh, TheSelfIntersectionSearchOfALargePartAnswersAStop) {
    const TriangleMesh a = ridgeforge::test::MakeRingSphereOf(600'000, 10.0f);
    TriangleMesh b = a;
    for (Vertex& v : b.vertices) v.position.x += 7.0f;
    const TriangleMesh both = ridgeforge::test::stress::Joined(a, b);
    const ValidationOptions options{0.001f, true, false, 40'000'000};

    using Clock = std::chrono::steady_clock;
    Clock::time_point start{}, asked{};
    bool stopping = false;
    int calls = 0;
    const ProgressCallback never = [&](const std::string&, float) { return ++calls > 0; };
    CancelContext going;
    going.callback = &never;
    ValidationReport withContext, alone;
    CheckSelfIntersections(both, options, withContext, &going);
    CheckSelfIntersections(both, options, alone);
    EXPECT_GT(calls, 1);
    ASSERT_TRUE(withContext.selfIntersectionsSearched);
    EXPECT_EQ(withContext.selfIntersectingList, alone.selfIntersectingList);
    ASSERT_GT(alone.selfIntersectingTriangles, 100u);
    for (const std::uint32_t t : alone.selfIntersectingList) {
        float nearest = 1e9f;
        for (int k = 0; k < 3; ++k) {
            nearest = std::min(nearest, std::fabs(both.vertices[both.indices[3 * t + k]].position.x - 3.5f));
        }
        ASSERT_LT(nearest, 0.1f) << t;
    }

    const ProgressCallback later = [&](const std::string&, float) {
        if (!stopping && Clock::now() - start < std::chrono::milliseconds(100)) return true;
        if (!stopping) asked = Clock::now();
        stopping = true;
        return false;
    };
    CancelContext stopped;
    stopped.callback = &later;
    ValidationReport cut;
    cut.selfIntersectingTriangles = 77;
    bool threw = false;
    try {
        start = Clock::now();
        CheckSelfIntersections(both, options, cut, &stopped);
        ADD_FAILURE() << "ran to the end in " << std::chrono::duration<double>(Clock::now() - start).count();
    } catch (const Stopped&) {
        threw = true;
    }
    ASSERT_TRUE(threw);
    ASSERT_TRUE(stopping);
    EXPECT_GE(asked - start, std::chrono::milliseconds(100));
    // Timed from the moment the stop was due, as if Stop were pressed then.
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - (start + std::chrono::milliseconds(100))).count(), 1.0);
    EXPECT_EQ(cut.selfIntersectingTriangles, 77u);
    EXPECT_FALSE(cut.stoppedEarly);

    const ProgressCallback at = [](const std::string&, float) { return false; };
    CancelContext first;
    first.callback = &at;
    EXPECT_THROW(ValidateMesh(both, options, &first), Stopped);
}

TEST(ValidateMesh, EveryGeneratedShapeIsGood) {
    std::vector<TriangleMesh> shapes;
    for (float s : {0.5f, 10.0f, 250.0f}) {
        shapes.push_back(MakeTestCube(s));
        shapes.push_back(MakeTestCylinder(s, 2 * s));
        shapes.push_back(MakeTestSphere(s));
        shapes.push_back(MakeBox({-s, 0, 1}, {s, 3 * s, 2 + s}));
        shapes.push_back(ridgeforge::test::MakeTorus(s, s / 3, 48, 16));
        shapes.push_back(ridgeforge::test::MakeGridBox({0, -s, 0}, {s, s, 4 * s}, 6));
    }
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const ValidationReport r = ValidateMesh(shapes[i], kImport);
        EXPECT_EQ(r.verdict, ValidationVerdict::Good) << "shape " << i << "\n" << FormatValidationReport(r);
        EXPECT_TRUE(r.selfIntersectionsSearched) << "shape " << i;
        EXPECT_GT(r.signedVolume, 0.0f) << "shape " << i;
    }
}

}  // namespace
