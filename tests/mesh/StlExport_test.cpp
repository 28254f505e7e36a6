#include "mesh/StlExport.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "mesh/StlImport.h"
#include "platform/Files.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::MakeBox;
using ridgeforge::test::TempDir;

namespace {

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TriangleMesh Join(TriangleMesh a, const TriangleMesh& b) {
    const auto base = static_cast<std::uint32_t>(a.vertices.size());
    a.vertices.insert(a.vertices.end(), b.vertices.begin(), b.vertices.end());
    for (std::uint32_t i : b.indices) a.indices.push_back(base + i);
    a.RecomputeBounds();
    return a;
}

const StlExportOptions kBinary{StlEncoding::Binary, "Ridgeforge", true};

}  // namespace

TEST(StlExport, RefusesMeshesItCannotWrite) {
    TempDir dir("stl-export");
    StlExportResult r = ExportStl(dir / "empty.stl", TriangleMesh{}, kBinary);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "There is no geometry to export.");
    EXPECT_EQ(r.report.path, "empty.stl");
    TriangleMesh four = MakeBox({0, 0, 0}, {1, 1, 1});
    four.indices.resize(4);
    EXPECT_EQ(ExportStl(dir / "four.stl", four, kBinary).error, "The mesh has invalid indices and was not written.");
    EXPECT_TRUE(EncodeBinaryStl(four, "").empty());
    EXPECT_TRUE(FolderEntries(dir.Path()).empty());
}

TEST(StlExport, BinaryLayoutAndHeader) {
    const TriangleMesh cube = MakeBox({0, 0, 0}, {20, 20, 20});
    std::vector<std::uint8_t> bytes = EncodeBinaryStl(cube, std::string(100, 'h'));
    ASSERT_EQ(bytes.size(), 684u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 80), std::string(80, 'h'));
    EXPECT_EQ(bytes[80], 12);
    EXPECT_EQ(bytes[81] | bytes[82] | bytes[83], 0);
    // First facet: normal (0, 0, -1), corner b = (0, 20, 0), attribute 0.
    float values[12];
    std::memcpy(values, bytes.data() + 84, sizeof values);
    EXPECT_EQ(values[2], -1.0f);
    EXPECT_EQ(values[7], 20.0f);
    EXPECT_EQ(bytes[132] | bytes[133], 0);

    bytes = EncodeBinaryStl(cube, "short");
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5), "short");
    EXPECT_TRUE(std::all_of(bytes.begin() + 5, bytes.begin() + 80, [](std::uint8_t b) { return b == 0; }));
}

TEST(StlExport, AsciiLayout) {
    TriangleMesh m;
    m.vertices = {{{0, 0, 0}, {}}, {{1, 0, 0}, {}}, {{0, 1, 0}, {}}};
    m.indices = {0, 1, 2};
    EXPECT_EQ(WriteAsciiStl(m, "N"),
              "solid N\n  facet normal 0 0 1\n    outer loop\n      vertex 0 0 0\n      vertex 1 0 0\n"
              "      vertex 0 1 0\n    endloop\n  endfacet\nendsolid N\n");
    m.vertices[1].position = {0.1f, -3.0f, 1e30f};
    const std::string text = WriteAsciiStl(m, "N");
    EXPECT_NE(text.find("      vertex 0.1 -3 1e+30\n"), std::string::npos);
}

TEST(StlExport, CubeRoundTripsUnchangedInBothEncodings) {
    TempDir dir("stl-export");
    const TriangleMesh cube = MakeBox({0, 0, 0}, {20, 20, 20});
    StlExportResult r = ExportStl(dir / "cube.stl", cube, kBinary);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.report.bytesWritten, 684u);
    EXPECT_TRUE(r.report.roundTrip.unchanged);
    EXPECT_TRUE(r.report.warnings.empty());
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"cube.stl"});
    EXPECT_EQ(ridgeforge::platform::FileSize(dir / "cube.stl"), 684u);
    EXPECT_EQ(FormatExportReport(r.report),
              "Wrote: cube.stl\nFormat: Binary STL\nTriangles written: 12\nBytes written: 684\n"
              "Dimensions: 20.00 x 20.00 x 20.00 mm\nVerified by reimport: yes\nRound trip: unchanged\n"
              "  Triangles: 12 -> 12\n  Dimensions: 20.00 x 20.00 x 20.00 mm -> 20.00 x 20.00 x 20.00 mm\n"
              "  Open boundary edges: 0 -> 0\n");

    // Awkward coordinates survive the shortest decimal form.
    const TriangleMesh odd = MakeBox({-0.1f, 1.0f / 3.0f, 1e-7f}, {123.456f, 7.77777f, 3e4f});
    r = ExportStl(dir / "odd.stl", odd, {StlEncoding::Ascii, "odd", true});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.report.roundTrip.unchanged) << FormatRoundTripReport(r.report.roundTrip);
    const std::string text = ridgeforge::test::ReadTextFile(dir / "odd.stl");
    EXPECT_EQ(text.substr(0, 10), "solid odd\n");
    EXPECT_EQ(text.substr(text.size() - 13), "endsolid odd\n");
}

TEST(StlExport, FacetWithNoAreaIsWrittenAndReported) {
    TempDir dir("stl-export");
    TriangleMesh m = MakeBox({0, 0, 0}, {20, 20, 20});
    m.indices.insert(m.indices.end(), {0, 1, 1});
    const StlExportResult r = ExportStl(dir / "sliver.stl", m, kBinary);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.report.trianglesWritten, 13u);
    EXPECT_EQ(r.report.facetsWithNoArea, 1u);
    EXPECT_EQ(r.report.warnings,
              (std::vector<std::string>{"Wrote 1 facets with no area, whose normals are zero. Slicers may reject them.",
                                        "Round trip: Triangle count changed from 13 to 12.",
                                        // The sliver's edge from a corner to itself counted as open.
                                        "Round trip: Open boundary edges changed from 1 to 0."}));
    const std::string text = FormatExportReport(r.report);
    EXPECT_NE(text.find("Facets with no area: 1\n"), std::string::npos);
    EXPECT_NE(text.find("Round trip: CHANGED\n"), std::string::npos);
    EXPECT_NE(text.find("  Difference: Triangle count changed from 13 to 12.\n"), std::string::npos);
}

TEST(StlExport, CompareRoundTripDifferences) {
    const TriangleMesh slab = MakeBox({0, 0, 0}, {100, 100, 10});  // 100,000 cubic mm
    TriangleMesh stray = slab;
    stray.vertices.push_back({{500, 0, 0}, {}});
    stray.RecomputeBounds();
    StlRoundTripCheck c = CompareRoundTrip(stray, slab);
    EXPECT_FALSE(c.unchanged);
    EXPECT_EQ(c.differences,
              std::vector<std::string>{
                  "Bounding box changed from 500.00 x 100.00 x 10.00 mm to 100.00 x 100.00 x 10.00 mm."});

    // Exactly 1e-5 relative is within the limit; more is a difference.
    const TriangleMesh plusOne = Join(slab, MakeBox({200, 0, 0}, {201, 1, 1}));
    c = CompareRoundTrip(slab, plusOne);
    ASSERT_EQ(c.differences.size(), 2u) << FormatRoundTripReport(c);  // triangles and box only
    const TriangleMesh plusTwo = Join(slab, MakeBox({200, 0, 0}, {201, 1, 2}));
    c = CompareRoundTrip(slab, plusTwo);
    ASSERT_EQ(c.differences.size(), 3u);
    EXPECT_EQ(c.differences[2], "Volume changed from 100000 to 100002 cubic mm.");

    TriangleMesh open = slab;
    open.indices.resize(33);
    c = CompareRoundTrip(slab, open);
    EXPECT_EQ(c.differences.front(), "Triangle count changed from 12 to 11.");
    EXPECT_EQ(c.differences.back(), "Open boundary edges changed from 0 to 3.");
    EXPECT_TRUE(CompareRoundTrip(slab, slab).unchanged);
}

TEST(StlExport, ReplacesTargetOnlyWithACompleteFile) {
    TempDir dir("stl-export");
    const TriangleMesh cube = MakeBox({0, 0, 0}, {20, 20, 20});
    { std::ofstream(dir / "part.stl") << "old contents"; }
    StlExportResult r = ExportStl(dir / "part.stl", cube, kBinary);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(ridgeforge::platform::FileSize(dir / "part.stl"), 684u);

    // A folder in the way is refused and no temporary file stays behind.
    std::filesystem::create_directories(dir / "taken.stl" / "inside");
    r = ExportStl(dir / "taken.stl", cube, kBinary);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "The file could not be opened for writing: Is a directory.");
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"part.stl", "taken.stl"}));

    // A folder that does not exist cannot take the temporary file.
    r = ExportStl(dir / "missing" / "part.stl", cube, kBinary);
    EXPECT_EQ(r.error, "The file could not be opened for writing: No such file or directory.");
}

TEST(StlExport, ReadOnlyFolderLeavesTargetAlone) {
    TempDir dir("stl-export");
    const std::filesystem::path folder = dir / "locked";
    std::filesystem::create_directory(folder);
    { std::ofstream(folder / "part.stl") << "old contents"; }
    // Anyone may write the file itself: only the folder stands in the way.
    ::chmod((folder / "part.stl").c_str(), 0666);
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(folder.c_str(), 0555);
    // The superuser ignores folder permissions, so the export runs in a child
    // process that gives up those rights first; the child is started afresh,
    // not forked from a process whose thread pool may be running.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(3);
            const StlExportResult r = ExportStl(folder / "part.stl", MakeBox({0, 0, 0}, {1, 1, 1}), kBinary);
            std::_Exit(!r.ok && r.error == "The file could not be opened for writing: Permission denied." ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(ridgeforge::test::ReadTextFile(folder / "part.stl"), "old contents");
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"part.stl"});
}

namespace {

// A torus of 48,000 triangles (three blocks of 16,384 and twelve of the
// ASCII writer's 4,096) between two facets of no area with corners of their
// own: the first reaches out to x = -40, the last up to z = 9. One unused
// vertex lies farther out still.
TriangleMesh MarkedTorus() {
    TriangleMesh m = ridgeforge::test::MakeTorus(20.0f, 5.0f, 200, 120);
    const auto first = static_cast<std::uint32_t>(m.vertices.size());
    for (const Vec3f p : {Vec3f{-38, 0, 0}, Vec3f{-39, 0, 0}, Vec3f{-40, 0, 0}, Vec3f{0, 0, 9}, Vec3f{0, 1, 9},
                          Vec3f{0, 2, 9}, Vec3f{500, 500, 500}}) {
        m.vertices.push_back({p, {}});
    }
    m.indices.insert(m.indices.begin(), {first, first + 1, first + 2});
    m.indices.insert(m.indices.end(), {first + 3, first + 4, first + 5});
    return m;
}

}  // namespace

TEST(StlExport, LargeMeshesAreMeasuredAndWrittenInOrderAcrossEveryBlock) {
    TempDir dir("stl-export-large");
    const TriangleMesh m = MarkedTorus();
    const std::size_t triangles = m.TriangleCount();
    ASSERT_EQ(triangles, 48002u);
    StlExportOptions binary = kBinary;
    binary.verifyByReimport = false;
    const StlExportResult r = ExportStl(dir / "torus.stl", m, binary);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.report.trianglesWritten, triangles);
    EXPECT_EQ(r.report.facetsWithNoArea, 2u);
    // x from the pushed corner at -40 to the outer rim at 25, y across the
    // rim, z from the tube's -5 to the pushed corner at 9.
    EXPECT_NEAR(r.report.dimensions.x, 65.0f, 1e-3f);
    EXPECT_NEAR(r.report.dimensions.y, 50.0f, 1e-3f);
    EXPECT_NEAR(r.report.dimensions.z, 14.0f, 1e-3f);

    // Both encodings read back facet by facet, in order, with every corner.
    const StlImportOptions asWritten{false, 0.0f, false, false, false, false};
    for (const bool ascii : {false, true}) {
        SCOPED_TRACE(ascii);
        const std::vector<std::uint8_t> bytes =
            ascii ? ridgeforge::test::Bytes(WriteAsciiStl(m, "torus")) : EncodeBinaryStl(m, "torus");
        const StlImportResult back = ParseStl(bytes, "torus.stl", asWritten);
        ASSERT_TRUE(back.ok) << back.error;
        ASSERT_EQ(back.mesh.indices.size(), m.indices.size());
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < m.indices.size(); ++i) {
            wrong += back.mesh.vertices[back.mesh.indices[i]].position != m.vertices[m.indices[i]].position;
        }
        EXPECT_EQ(wrong, 0u);
    }
}

// The solid's name is the rest of its line, whatever words it holds: a file
// name with "vertex" or "facet" in it, or one with a line break, written as
// the name is read back whole and the file is saved.
TEST(StlExport, AnyNameOfTheSolidRoundTrips) {
    TempDir dir("stl-export-name");
    const TriangleMesh cube = MakeBox({0, 0, 0}, {20, 20, 20});
    for (const std::string name :
         {"low vertex count.stl", "facet vertex 1 2", "endsolid vertex", "two\nlines\rvertex"}) {
        SCOPED_TRACE(name);
        const StlExportResult r = ExportStl(dir / "named.stl", cube, {StlEncoding::Ascii, name, true});
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_TRUE(r.report.roundTrip.unchanged) << FormatRoundTripReport(r.report.roundTrip);
        EXPECT_TRUE(r.report.warnings.empty());
    }
    // A line break in the name would end the name's line early: it is a space.
    const std::string text = ridgeforge::test::ReadTextFile(dir / "named.stl");
    EXPECT_EQ(text.substr(0, 24), "solid two lines vertex\n ");
    EXPECT_EQ(text.substr(text.size() - 26), "endsolid two lines vertex\n");
}
