#include "mesh/StlImport.h"

#include <fstream>
#include <sys/mman.h>

#include <gtest/gtest.h>

#include "tests/support/HostileFiles.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::AsciiStl;
using ridgeforge::test::BinaryStl;
using ridgeforge::test::Bytes;
using ridgeforge::test::Facet;

namespace {

const StlImportOptions kOpenPart{true, -1.0f, true, true, false, true};

std::vector<Facet> CubeFacets(float size = 20.0f) {
    return ridgeforge::test::FacetsOf(ridgeforge::test::MakeBox({0, 0, 0}, {size, size, size}));
}

StlImportResult Parse(const std::vector<std::uint8_t>& bytes, const StlImportOptions& options = kOpenPart) {
    return ParseStl(bytes, "part.stl", options);
}

StlImportResult Parse(const std::string& text, const StlImportOptions& options = kOpenPart) {
    return Parse(Bytes(text), options);
}

std::vector<std::uint8_t> BinaryOfSize(std::uint32_t count, std::size_t size) {
    std::vector<std::uint8_t> bytes(size, 0);
    for (int k = 0; k < 4; ++k) bytes[80 + k] = static_cast<std::uint8_t>(count >> (8 * k));
    return bytes;
}

}  // namespace

TEST(StlImport, RefusesWhatCannotBeAnStl) {
    StlImportResult r = Parse(std::vector<std::uint8_t>(15, 'x'));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "The file is too small to be an STL: 15 bytes.");
    EXPECT_EQ(r.report.file, "part.stl");
    EXPECT_EQ(r.report.format, StlFileFormat::Unrecognised);

    EXPECT_EQ(Parse(std::string(80, 'x')).error, "The file is not recognised as either a binary or an ASCII STL.");
    EXPECT_EQ(Parse(BinaryOfSize(10, 583)).error,
              "The file is not a valid STL. Its header declares 10 triangles, which needs 584 bytes, "
              "but the file is 583 bytes (truncated).");
    EXPECT_EQ(Parse(BinaryOfSize(10, 585)).error,
              "The file is not a valid STL. Its header declares 10 triangles, which needs 584 bytes, "
              "but the file is 585 bytes (unexpected trailing data).");

    // 84 + 50 × 2,147,483,649 wraps to 134 in 32 bits: the size test must not.
    r = Parse(BinaryOfSize(2147483649u, 134));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error,
              "The file is not a valid STL. Its header declares 2,147,483,649 triangles, which needs "
              "107,374,182,534 bytes, but the file is 134 bytes (truncated).");

    r = Parse(BinaryOfSize(0, 84));
    EXPECT_EQ(r.error, "The file contains no triangles.");
    EXPECT_EQ(r.report.format, StlFileFormat::Binary);

    std::vector<Facet> facets = CubeFacets();
    facets[3][1].y = std::numeric_limits<float>::infinity();
    EXPECT_EQ(Parse(BinaryStl(facets)).error, "The file contains a coordinate that is not a number (NaN or infinity).");

    r = Parse(BinaryStl(
        {{Vec3f{0, 0, 0}, Vec3f{0, 0, 0}, Vec3f{1, 0, 0}}, {Vec3f{1, 1, 1}, Vec3f{2, 2, 2}, Vec3f{2, 2, 2}}}));
    EXPECT_EQ(r.error, "Every triangle in the file was removed as degenerate, leaving no geometry.");
    EXPECT_TRUE(r.mesh.vertices.empty());
    EXPECT_EQ(r.report.trianglesRead, 0u);
}

TEST(StlImport, AsciiParserErrors) {
    const std::string head = "solid x\nfacet normal 0 0 1\nouter loop\n";
    EXPECT_EQ(Parse(head + "vertex 0 0 0\nvertex 1 0").error, "The file ends in the middle of a vertex.");
    EXPECT_EQ(Parse(head + "vertex 0 +2 0\n").error, "A vertex coordinate could not be read as a number: '+2'.");
    EXPECT_EQ(Parse(head + "vertex 0 1e50 0\n").error, "A vertex coordinate could not be read as a number: '1e50'.");
    // A number must fill its whole word: a valid prefix is not enough.
    EXPECT_EQ(Parse(head + "vertex 0 1.5abc 0\n").error,
              "A vertex coordinate could not be read as a number: '1.5abc'.");
    EXPECT_EQ(Parse(head + "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nvertex 1 1 1\n").error,
              "The file ends in the middle of a facet: 4 vertices is not a whole number of triangles.");
    const StlImportResult nan = Parse(head + "vertex 0 0 0\nvertex 1 0 0\nvertex NaN 1 0\n");
    EXPECT_EQ(nan.error, "The file contains a coordinate that is not a number (NaN or infinity).");
    EXPECT_EQ(nan.report.format, StlFileFormat::Ascii);
    // Keywords are matched in lower case only.
    EXPECT_EQ(Parse("solid x\nFACET normal 0 0 1\nVERTEX 0 0 0\nVERTEX 1 0 0\nVERTEX 0 1 0\nendsolid\n").error,
              "The file contains no triangles.");
}

TEST(StlImport, FormatDetection) {
    const std::vector<std::uint8_t> binary =
        BinaryStl({{Vec3f{0, 0, 0}, Vec3f{1, 0, 0}, Vec3f{0, 1, 0}}}, "solid looks like text");
    EXPECT_EQ(DetectStlFormat(binary), StlFileFormat::Binary);
    StlImportResult r = Parse(binary);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.report.format, StlFileFormat::Binary);
    std::vector<Vec3f> corners;
    std::uint64_t facets = 0;
    ReadBinaryStlFacets(binary, corners, facets);
    EXPECT_EQ(facets, 1u);
    EXPECT_EQ(corners, (std::vector<Vec3f>{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}));
    // A buffer whose size does not match its count is never read.
    ReadBinaryStlFacets({binary.data(), binary.size() - 1}, corners, facets);
    EXPECT_EQ(facets, 0u);
    EXPECT_TRUE(corners.empty());

    r = Parse(
        "   SoLiD x\n facet normal 0 0 0 outer loop\n vertex 0 0 0\n vertex 1 0 0\n vertex 0 1 0\n"
        " endloop endfacet\nendsolid x\n");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.report.format, StlFileFormat::Ascii);
    EXPECT_EQ(r.report.trianglesKept, 1u);
}

TEST(StlImport, CubeSoupWeldsExactlyAndReports) {
    for (const bool ascii : {false, true}) {
        const StlImportResult r = ascii ? Parse(AsciiStl(CubeFacets())) : Parse(BinaryStl(CubeFacets()));
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.mesh.vertices.size(), 8u);
        EXPECT_TRUE(r.report.warnings.empty());
        EXPECT_NEAR(Length(r.mesh.vertices[0].normal), 1.0f, 1e-5f);
        const std::string format = ascii ? "ASCII STL" : "Binary STL";
        EXPECT_EQ(FormatImportReport(r.report),
                  "File: part.stl\nFormat: " + format +
                      "\nUnits: Assumed millimetres\nTriangles read: 12\nTriangles kept: 12\n"
                      "Degenerate triangles removed: 0\nDuplicate triangles: 0\nWelding: exact\n"
                      "Vertices before welding: 36\nVertices after welding: 8\n"
                      "Dimensions: 20.00 x 20.00 x 20.00 mm\nOpen boundary edges: 0\nNon-manifold edges: 0\n"
                      "Components: 1\n");
    }
}

TEST(StlImport, ToleranceWeldClosesAMovedCorner) {
    std::vector<Facet> facets = CubeFacets();
    for (Facet& f : facets) {
        for (Vec3f& p : f) {
            if (p == Vec3f{0, 0, 0} && &f == &facets[0]) p = {1e-6f, 0, 0};
        }
    }
    StlImportResult r = Parse(BinaryStl(facets));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.report.openBoundaryEdges, 0u);
    EXPECT_EQ(r.mesh.vertices.size(), 8u);
    EXPECT_NEAR(r.report.weldTolerance, 2e-5f, 1e-12f);
    EXPECT_NE(FormatImportReport(r.report).find("Welding: exact, then 2e-05 mm to close remaining seams\n"),
              std::string::npos);

    // A tolerance of 0 means the exact weld only: the seam stays open.
    StlImportOptions exactOnly = kOpenPart;
    exactOnly.weldTolerance = 0.0f;
    r = Parse(BinaryStl(facets), exactOnly);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.report.weldTolerance, 0.0f);
    EXPECT_GT(r.report.openBoundaryEdges, 0u);
    EXPECT_EQ(r.report.warnings.front(),
              "The mesh is not closed: " + std::to_string(r.report.openBoundaryEdges) + " open boundary edges.");

    StlImportOptions noWeld = kOpenPart;
    noWeld.weld = false;
    r = Parse(BinaryStl(CubeFacets()), noWeld);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.report.verticesAfterWelding, 36u);
    EXPECT_EQ(r.report.components, 12u);
}

TEST(StlImport, DuplicatesDegeneratesAndWarnings) {
    const Facet f{Vec3f{0, 0, 0}, Vec3f{10, 0, 0}, Vec3f{0, 10, 0}};
    StlImportResult kept = Parse(BinaryStl({f, f}));
    ASSERT_TRUE(kept.ok);
    EXPECT_EQ(kept.report.duplicates, 1u);
    EXPECT_EQ(kept.report.warnings.at(0),
              "The file contains 1 duplicate triangles. They were kept; removing them is a repair operation.");
    StlImportOptions removeDuplicates = kOpenPart;
    removeDuplicates.removeDuplicates = true;
    StlImportResult removed = Parse(BinaryStl({f, f}), removeDuplicates);
    ASSERT_TRUE(removed.ok);
    EXPECT_EQ(removed.report.trianglesKept, 1u);
    const std::string text = FormatImportReport(removed.report);
    EXPECT_NE(text.find("Duplicate triangles: 1 (1 removed)\n"), std::string::npos);
    EXPECT_EQ(text.find("duplicate triangles. They were kept"), std::string::npos);

    // A sliver with a repeated corner, a zero-area triangle, facet keywords
    // that do not match, a second body: the warnings come in their order.
    std::vector<Facet> facets = CubeFacets();
    facets.push_back({Vec3f{0, 0, 0}, Vec3f{0, 0, 0}, Vec3f{5, 5, 5}});
    facets.push_back({Vec3f{0, 0, 0}, Vec3f{10, 0, 0}, Vec3f{20, 0, 0}});
    for (const Facet& g : CubeFacets()) {
        facets.push_back(g);
        for (Vec3f& p : facets.back()) p.x += 30.0f;
    }
    const std::string ascii = AsciiStl(facets) + "facet\nendfacet\n";
    StlImportResult r = Parse(ascii);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.report.degenerateRemoved, 2u);
    EXPECT_EQ(r.report.components, 2u);
    EXPECT_EQ(r.report.warnings,
              (std::vector<std::string>{"The file contains 27 facet keywords but 26 triangles of vertex data.",
                                        "Removed 2 degenerate triangles that enclosed no area.",
                                        "The file contains 2 disconnected components."}));
    StlImportOptions keepZeroArea = kOpenPart;
    keepZeroArea.removeZeroArea = false;
    EXPECT_EQ(Parse(ascii, keepZeroArea).report.degenerateRemoved, 1u);
}

// A text cut off between whole facets parses into a smaller part that may
// even be closed; only the open solid or facet at the end tells.
TEST(StlImport, AnAsciiFileThatEndsEarlySaysSo) {
    std::vector<Facet> second = CubeFacets();
    for (Facet& f : second) {
        for (Vec3f& p : f) p.x += 30.0f;
    }
    const std::string first = AsciiStl(CubeFacets(), "first");
    const std::string whole = first + AsciiStl(second, "second");
    const std::string early = "The file ends early, inside a solid (no endsolid): triangles may be missing.";
    const std::string inFacet = "The file ends early, inside a facet (no endfacet): triangles may be missing.";

    const StlImportResult both = Parse(whole);
    ASSERT_TRUE(both.ok) << both.error;
    EXPECT_EQ(both.report.warnings, std::vector<std::string>{"The file contains 2 disconnected components."});

    // Cut after the first body's last facet, before its endsolid: a closed cube.
    const std::string firstBody = first.substr(0, first.rfind("endsolid"));
    const StlImportResult cube = Parse(firstBody);
    ASSERT_TRUE(cube.ok) << cube.error;
    EXPECT_EQ(cube.mesh.TriangleCount(), 12u);
    EXPECT_EQ(cube.report.openBoundaryEdges, 0u);
    EXPECT_EQ(cube.report.warnings, std::vector<std::string>{early});
    // With the endsolid but cut after the second body's opening line.
    const StlImportResult opened = Parse(first + "solid second\n");
    ASSERT_TRUE(opened.ok) << opened.error;
    EXPECT_EQ(opened.report.warnings, std::vector<std::string>{early});

    // Cut inside the second body's fifth facet, after its three vertices:
    // four whole facets and one without its endfacet.
    const std::size_t fifth = whole.find("endloop", whole.find("solid second") + 1);
    std::size_t cut = fifth;
    for (int i = 0; i < 4; ++i) cut = whole.find("endloop", cut + 1);
    const StlImportResult half = Parse(whole.substr(0, cut));
    ASSERT_TRUE(half.ok) << half.error;
    EXPECT_EQ(half.mesh.TriangleCount(), 12u + 5u);
    ASSERT_GE(half.report.warnings.size(), 2u);
    EXPECT_EQ(half.report.warnings[0], inFacet);
    EXPECT_EQ(half.report.warnings[1].rfind("The mesh is not closed: ", 0), 0u) << half.report.warnings[1];

    // Cut right after a facet keyword: no vertex of it was read.
    const std::size_t facetStart = whole.find("facet normal", whole.find("solid second"));
    const StlImportResult bare = Parse(whole.substr(0, facetStart + 5));
    ASSERT_TRUE(bare.ok) << bare.error;
    EXPECT_EQ(bare.report.warnings.at(0), inFacet);
    EXPECT_EQ(bare.report.warnings.at(1), "The file contains 13 facet keywords but 12 triangles of vertex data.");

    // A cut inside the vertices is still refused as before.
    EXPECT_FALSE(Parse(whole.substr(0, whole.rfind("vertex"))).ok);

    // A solid named "solid" closes with "endsolid solid"; one named
    // "endsolid" opens with "solid endsolid". Neither is cut off.
    for (const std::string name : {"solid", "endsolid"}) {
        const StlImportResult named = Parse(AsciiStl(CubeFacets(), name));
        ASSERT_TRUE(named.ok) << named.error;
        EXPECT_TRUE(named.report.warnings.empty()) << name << ": " << named.report.warnings.at(0);
    }
    // The binary reader never gives this warning.
    EXPECT_TRUE(Parse(BinaryStl(CubeFacets())).report.warnings.empty());
}

TEST(StlImport, SizeWarnings) {
    const auto warningFor = [](float size) {
        const StlImportResult r = Parse(BinaryStl(CubeFacets(size)));
        EXPECT_TRUE(r.ok) << r.error;
        return r.report.warnings.empty() ? std::string() : r.report.warnings.back();
    };
    EXPECT_EQ(warningFor(0.5f), "The model is only 0.50 mm across. It may not have been authored in millimetres.");
    EXPECT_EQ(warningFor(1000.5f), "The model is 1000.50 mm across. It may not have been authored in millimetres.");
    EXPECT_EQ(warningFor(1000.0f), "");
    // The lower bound is exclusive too: exactly 1 mm is a plausible part.
    EXPECT_EQ(warningFor(1.0f), "");
    EXPECT_EQ(warningFor(0.99f), "The model is only 0.99 mm across. It may not have been authored in millimetres.");
}

TEST(StlImport, LoadStlFileReadsFilesAndNamesThem) {
    ridgeforge::test::TempDir dir("stl-import");
    const auto write = [](const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    write(dir / "cube.stl", BinaryStl(CubeFacets()));
    StlImportResult r = LoadStlFile(dir / "cube.stl", kOpenPart);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.report.file, "cube.stl");
    EXPECT_EQ(r.mesh.TriangleCount(), 12u);

    write(dir / "empty.stl", {});
    EXPECT_EQ(LoadStlFile(dir / "empty.stl", kOpenPart).error, "The file is too small to be an STL: 0 bytes.");

    r = LoadStlFile(dir / "missing.stl", kOpenPart);
    EXPECT_EQ(r.error, "The file could not be opened: No such file or directory");
    EXPECT_EQ(r.report.file, "missing.stl");
    EXPECT_EQ(LoadStlFile(dir.Path(), kOpenPart).error, "The file could not be opened: Is a directory");
}

TEST(StlImport, LoadStlFileRefusesAFifoWithoutWaiting) {
    ridgeforge::test::TempDir dir("stl-fifo");
    const auto fifo = dir / "fifo.stl";
    ridgeforge::test::MakeFifo(fifo);
    StlImportResult r;
    r.ok = true;
    EXPECT_TRUE(ridgeforge::test::ReturnsWithoutWriter(fifo, [&] { r = LoadStlFile(fifo, kOpenPart); }));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "The file could not be opened: Invalid argument");
    EXPECT_TRUE(r.mesh.vertices.empty());
}

// A file of several read parts, whose part boundaries fall inside facets,
// loads as the same bytes parse from memory.
TEST(StlImport, LoadStlFileOfManyPartsMatchesParsingItsBytes) {
    ridgeforge::test::TempDir dir("stl-import-parts");
    const std::vector<std::uint8_t> bytes =
        BinaryStl(ridgeforge::test::FacetsOf(ridgeforge::test::MakeTorus(30.0f, 7.0f, 260, 130)));
    ASSERT_GT(bytes.size(), std::size_t{3} << 20);
    std::ofstream(dir / "torus.stl", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const StlImportResult loaded = LoadStlFile(dir / "torus.stl", kOpenPart);
    const StlImportResult parsed = ParseStl(bytes, "torus.stl", kOpenPart);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_EQ(loaded.report.trianglesKept, 260u * 130u * 2u);
    EXPECT_EQ(FormatImportReport(loaded.report), FormatImportReport(parsed.report));
    EXPECT_EQ(loaded.mesh.indices, parsed.mesh.indices);
    ASSERT_EQ(loaded.mesh.vertices.size(), parsed.mesh.vertices.size());
    for (std::size_t v = 0; v < loaded.mesh.vertices.size(); ++v) {
        ASSERT_EQ(loaded.mesh.vertices[v].position, parsed.mesh.vertices[v].position) << v;
    }
}

TEST(StlImport, RefusesMoreTrianglesThanIndicesCanHold) {
    // A binary file of 1,431,655,766 facets needs more than 2^32 corners. Its
    // bytes are a lazily mapped region: only the header page is ever touched,
    // because the count is refused before any facet is read.
    constexpr std::uint32_t kFacets = 1431655766u;
    const std::size_t size = 84 + std::size_t{50} * kFacets;
    void* region = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (region == MAP_FAILED) GTEST_SKIP() << "cannot reserve address space for the test";
    auto* bytes = static_cast<std::uint8_t*>(region);
    for (int k = 0; k < 4; ++k) bytes[80 + k] = static_cast<std::uint8_t>(kFacets >> (8 * k));
    const StlImportResult r = ParseStl({bytes, size}, "huge.stl", kOpenPart);
    ::munmap(region, size);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.report.format, StlFileFormat::Binary);
    EXPECT_EQ(r.error, "The file contains 1,431,655,766 triangles, but a mesh can hold at most 1,431,655,765.");
}

namespace {

// A flat open plate of 2 x 125 x 200 = 50,000 facets (150,000 corners: the
// corners are summed up in more than two blocks), 1 mm squares from the
// origin.
std::vector<Facet> LargePlate() {
    std::vector<Facet> facets;
    for (int i = 0; i < 125; ++i) {
        for (int j = 0; j < 200; ++j) {
            const auto x = static_cast<float>(i), y = static_cast<float>(j);
            facets.push_back({Vec3f{x, y, 0}, Vec3f{x + 1, y, 0}, Vec3f{x + 1, y + 1, 0}});
            facets.push_back({Vec3f{x, y, 0}, Vec3f{x + 1, y + 1, 0}, Vec3f{x, y + 1, 0}});
        }
    }
    return facets;
}

}  // namespace

TEST(StlImport, ANumberThatIsNotFiniteIsRefusedInTheFirstOrTheLastBlockOfALargeFile) {
    const std::string refusal = "The file contains a coordinate that is not a number (NaN or infinity).";
    const std::vector<Facet> plate = LargePlate();
    ASSERT_GT(plate.size(), 2 * 65536u / 3);
    ASSERT_TRUE(Parse(BinaryStl(plate)).ok);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    for (const std::size_t facet : {std::size_t{0}, plate.size() - 1}) {
        for (const int corner : {0, 2}) {
            SCOPED_TRACE(testing::Message() << "facet " << facet << " corner " << corner);
            std::vector<Facet> facets = plate;
            facets[facet][static_cast<std::size_t>(corner)].y = corner == 0 ? nan : -infinity;
            const StlImportResult r = Parse(BinaryStl(facets));
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.error, refusal);
        }
    }
    // The ASCII reader sums its corners up the same way.
    std::vector<Facet> facets = plate;
    facets.back()[2].z = nan;
    EXPECT_EQ(Parse(AsciiStl(facets)).error, refusal);
}

TEST(StlImport, TheAutomaticWeldToleranceTakesTheFarthestCornerOfEveryBlock) {
    // The plate is open, so the tolerance weld runs: 1e-6 of the largest
    // coordinate. The farthest corner is one loose facet, first or last.
    std::vector<Facet> facets = LargePlate();
    facets.insert(facets.begin(), Facet{Vec3f{3000, 0, 0}, Vec3f{3001, 0, 0}, Vec3f{3000, 1, 0}});
    StlImportResult r = Parse(BinaryStl(facets));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_NEAR(r.report.weldTolerance, 3.001e-3f, 1e-8f);

    facets.erase(facets.begin());
    facets.push_back({Vec3f{0, -4000, 0}, Vec3f{1, -4000, 0}, Vec3f{0, -3999, 0}});
    r = Parse(BinaryStl(facets));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_NEAR(r.report.weldTolerance, 4e-3f, 1e-8f);
}

// Other programs' names of the solid hold keywords too; the whole rest of the
// solid and endsolid lines is the name, in any case of the keyword.
TEST(StlImport, TheSolidsNameIsTheRestOfItsLine) {
    const std::string facets =
        "facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n  vertex 0 1 0\n endloop\nendfacet\n";
    for (const std::string& text :
         {"solid vertex test\n" + facets + "endsolid vertex test\n",
          "  SOLID facet vertex 1 2 3\r\n" + facets + "ENDSOLID facet vertex 1 2 3\r\n",
          "solid\n" + facets + "endsolid solid\n", "solid vertex\t1 2\n" + facets + "endsolid\tvertex 1 2 3"}) {
        SCOPED_TRACE(text);
        const StlImportResult r = Parse(text);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.report.trianglesRead, 1u);
        // The facet keyword is counted once: none in the names.
        for (const std::string& warning : r.report.warnings)
            EXPECT_EQ(warning.find("facet keywords"), std::string::npos) << warning;
    }
    // A file cut off inside the solid still says so: the name line does not end it.
    const StlImportResult open = Parse("solid endsolid\n" + facets);
    ASSERT_TRUE(open.ok) << open.error;
    bool early = false;
    for (const std::string& warning : open.report.warnings)
        early = early || warning.find("ends early") != std::string::npos;
    EXPECT_TRUE(early);
}
