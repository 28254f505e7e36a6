#include "document/ExportCheck.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "tests/support/TestSupport.h"
#include "text/Utf8.h"

namespace ridgeforge {
namespace {

using mesh::Vec3f;

mesh::DisplacementBase BaseAt(float plane, int axis = 2, bool protectBelow = true) {
    mesh::DisplacementBase base;
    base.enabled = true;
    base.axis = axis;
    base.protectBelow = protectBelow;
    base.planeMillimetres = plane;
    return base;
}

std::string Checked(const mesh::TriangleMesh& m, const mesh::DisplacementBase& base, bool& passed) {
    std::wstring text = L"left over from before";
    passed = ExportCheckReport(m, base, text);
    return Utf8FromWide(text);
}

// A line of the report that reads `before`, a count above zero, then `after`.
bool HasCountLine(const std::string& text, const std::string& before, const std::string& after) {
    for (std::size_t at = text.find("\r\n" + before); at != std::string::npos;
         at = text.find("\r\n" + before, at + 1)) {
        const std::size_t digits = at + 2 + before.size();
        std::size_t end = digits;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
        if (end > digits && text[digits] != '0' && text.compare(end, after.size(), after) == 0) return true;
    }
    return false;
}

// The vertex of the box at the given corner.
std::uint32_t CornerOf(const mesh::TriangleMesh& m, Vec3f corner) {
    for (std::uint32_t v = 0; v < m.vertices.size(); ++v) {
        if (m.vertices[v].position == corner) return v;
    }
    ADD_FAILURE() << "no such corner";
    return 0;
}

TEST(ExportCheckReport, SoundPartOnTheBedPassesEveryCheckInOrder) {
    const mesh::TriangleMesh box = test::MakeBox({0, 0, 0}, {10, 10, 10});
    bool passed = false;
    EXPECT_EQ(Checked(box, BaseAt(0.0f), passed),
              "Before saving:\r\n"
              "  ok      0 open edges (watertight when zero)\r\n"
              "  ok      0 non-manifold edges\r\n"
              "  ok      0 triangles with no area\r\n"
              "  ok      0 triangles wound the wrong way\r\n"
              "  ok      the body is the right way out\r\n"
              "  ok      0 triangles passing through others\r\n"
              "  ok      nothing below the base plane\r\n"
              "  ok      nothing needs support\r\n");
    EXPECT_TRUE(passed);

    // Without base protection that check is not made and gives no verdict.
    mesh::DisplacementBase off = BaseAt(5.0f);
    off.enabled = false;
    const std::string text = Checked(box, off, passed);
    EXPECT_NE(text.find("  ok      the body is the right way out\r\n"
                        "  ok      0 triangles passing through others\r\n"
                        "  -       base protection is off; nothing checked below the part\r\n"
                        "  ok      nothing needs support\r\n"),
              std::string::npos)
        << text;
    EXPECT_TRUE(passed);
}

TEST(ExportCheckReport, BasePlaneCountsOnlyVerticesPastTheAllowance) {
    mesh::TriangleMesh box = test::MakeBox({0, 0, 0}, {10, 10, 10});
    // Exactly the allowance past the plane is not counted.
    box.vertices[CornerOf(box, {0, 0, 0})].position.z = -0.0001f;
    bool passed = false;
    EXPECT_NE(Checked(box, BaseAt(0.0f), passed).find("  ok      nothing below the base plane\r\n"), std::string::npos);
    EXPECT_TRUE(passed);

    box.vertices[CornerOf(box, {10, 0, 0})].position.z = -0.00011f;
    EXPECT_NE(Checked(box, BaseAt(0.0f), passed)
                  .find("  PROBLEM 1 vertices below the base plane, the deepest by 0.0001 mm\r\n"),
              std::string::npos);
    EXPECT_FALSE(passed);

    box.vertices[CornerOf(box, {10, 10, 0})].position.z = -0.25f;
    EXPECT_NE(Checked(box, BaseAt(0.0f), passed)
                  .find("  PROBLEM 2 vertices below the base plane, the deepest by 0.2500 mm\r\n"),
              std::string::npos);

    // The part below a plane along x: vertices beyond it count, the plane
    // axis out of range counts as z.
    const mesh::TriangleMesh cube = test::MakeBox({0, 0, 0}, {10, 10, 10});
    EXPECT_NE(Checked(cube, BaseAt(8.0f, 0, false), passed)
                  .find("  PROBLEM 4 vertices below the base plane, the deepest by 2.0000 mm\r\n"),
              std::string::npos);
    EXPECT_NE(Checked(cube, BaseAt(10.0f, 0, false), passed).find("  ok      nothing below the base plane"),
              std::string::npos);
    EXPECT_NE(Checked(cube, BaseAt(3.0f, 7, true), passed).find("  PROBLEM 4 vertices below the base plane"),
              std::string::npos);
}

TEST(ExportCheckReport, VerticesBelowTheBaseInTheFirstAndTheLastChunkAreCounted) {
    // 24,000 vertices: two chunks of 16,384. The tube's lowest ring is at
    // z = -5; one vertex of the first chunk and one of the last are pulled
    // below it, the deeper one first and then last.
    for (const bool deeperLast : {false, true}) {
        SCOPED_TRACE(deeperLast);
        mesh::TriangleMesh torus = test::MakeTorus(20.0f, 5.0f, 200, 120);
        ASSERT_EQ(torus.vertices.size(), 24000u);
        const std::uint32_t low = 90;  // on the lowest ring of the first section
        torus.vertices[low].position.z = deeperLast ? -5.25f : -5.5f;
        torus.vertices[23999 - 29].position.z = deeperLast ? -5.5f : -5.25f;
        bool passed = true;
        const std::string text = Checked(torus, BaseAt(-5.0f), passed);
        EXPECT_NE(text.find("  PROBLEM 2 vertices below the base plane, the deepest by 0.5000 mm\r\n"),
                  std::string::npos)
            << text;
        EXPECT_FALSE(passed);
    }
}

TEST(ExportCheckReport, NotesAloneStillPass) {
    // A second body 30 mm up starts in the air; folded triangles stand just
    // off the top face, where they cross nothing.
    mesh::TriangleMesh part = test::MakeGridBox({0, 0, 0}, {20, 20, 10}, 4);
    test::AppendMesh(part, test::MakeBox({2, 2, 30}, {8, 8, 36}));
    const std::uint32_t top = CornerOf(part, {10, 10, 10});
    part.vertices[top].position.x = 17.5f;  // past its neighbour at x = 15
    part.vertices[top].position.z = 10.2f;
    part.RecomputeBounds();
    bool passed = false;
    const std::string text = Checked(part, BaseAt(0.0f), passed);
    EXPECT_TRUE(HasCountLine(text, "  note    ", " triangles folded over (a problem where they also cross)\r\n"))
        << text;
    EXPECT_NE(text.find("\r\n  note    1 feature(s) need support: nothing beneath them (the first at "),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("PROBLEM"), std::string::npos) << text;
    EXPECT_EQ(text.find("nothing needs support"), std::string::npos);
    EXPECT_TRUE(passed);
}

TEST(ExportCheckReport, AFoldLaidFlatOverItsNeighboursIsAProblem) {
    // The same fold lying in the top face: its triangles overlap their
    // neighbours there, which a slicer reads as the surface crossing itself.
    mesh::TriangleMesh part = test::MakeGridBox({0, 0, 0}, {20, 20, 10}, 4);
    const std::uint32_t top = CornerOf(part, {10, 10, 10});
    part.vertices[top].position.x = 17.5f;
    part.RecomputeBounds();
    bool passed = true;
    const std::string text = Checked(part, BaseAt(0.0f), passed);
    EXPECT_TRUE(HasCountLine(text, "  PROBLEM ", " triangles passing through others\r\n")) << text;
    EXPECT_FALSE(passed);
}

TEST(ExportCheckReport, BrokenMeshesFailTheirLines) {
    bool passed = true;
    mesh::TriangleMesh open = test::MakeBox({0, 0, 0}, {10, 10, 10});
    open.indices.resize(open.indices.size() - 3);
    EXPECT_NE(Checked(open, BaseAt(0.0f), passed).find("  PROBLEM 3 open edges (watertight when zero)\r\n"),
              std::string::npos);
    EXPECT_FALSE(passed);

    mesh::TriangleMesh insideOut = test::MakeBox({0, 0, 0}, {10, 10, 10});
    for (std::size_t t = 0; t < insideOut.indices.size(); t += 3)
        std::swap(insideOut.indices[t + 1], insideOut.indices[t + 2]);
    EXPECT_NE(Checked(insideOut, BaseAt(0.0f), passed).find("  PROBLEM the body is the right way out\r\n"),
              std::string::npos);
    EXPECT_FALSE(passed);

    mesh::TriangleMesh oneTurned = test::MakeBox({0, 0, 0}, {10, 10, 10});
    std::swap(oneTurned.indices[1], oneTurned.indices[2]);
    EXPECT_NE(Checked(oneTurned, BaseAt(0.0f), passed).find("  PROBLEM 1 triangles wound the wrong way\r\n"),
              std::string::npos);

    // Two boxes passing through each other, and a triangle with no area.
    mesh::TriangleMesh crossing = test::MakeBox({0, 0, 0}, {10, 10, 10});
    test::AppendMesh(crossing, test::MakeBox({5, 5, 5}, {15, 15, 15}));
    const std::string text = Checked(crossing, BaseAt(0.0f), passed);
    EXPECT_TRUE(HasCountLine(text, "  PROBLEM ", " triangles passing through others\r\n")) << text;
    EXPECT_FALSE(passed);

    mesh::TriangleMesh flat = test::MakeBox({0, 0, 0}, {10, 10, 10});
    flat.vertices.push_back({{20, 0, 0}, {}});
    flat.vertices.push_back({{21, 0, 0}, {}});
    flat.vertices.push_back({{22, 0, 0}, {}});
    flat.indices.insert(flat.indices.end(), {8, 9, 10});
    EXPECT_NE(Checked(flat, BaseAt(0.0f), passed).find("  PROBLEM 1 triangles with no area\r\n"), std::string::npos);
}

TEST(ExportCheckReport, EmptyOrBrokenMeshGivesAReportWithoutFailingHard) {
    bool passed = true;
    const std::string empty = Checked(mesh::TriangleMesh{}, BaseAt(0.0f), passed);
    EXPECT_EQ(empty.rfind("Before saving:\r\n", 0), 0u);
    mesh::TriangleMesh broken = test::MakeBox({0, 0, 0}, {1, 1, 1});
    broken.indices.push_back(99);
    const std::string text = Checked(broken, BaseAt(0.0f), passed);
    EXPECT_EQ(text, "Before saving:\r\n  PROBLEM the mesh has indices that do not refer to a vertex\r\n");
    EXPECT_FALSE(passed);
}

TEST(ExportCheckReport, NothingToSaveOrNoVolumeIsAProblemNeverAPass) {
    bool passed = true;
    const std::string empty = Checked(mesh::TriangleMesh{}, BaseAt(0.0f), passed);
    EXPECT_EQ(empty, "Before saving:\r\n  PROBLEM nothing is left to save: the mesh has no triangles\r\n");
    EXPECT_FALSE(passed);

    // One tilted triangle and its back, as filling its own hole leaves it:
    // closed, consistently wound, not inside out, and no solid at all.
    mesh::TriangleMesh sheet;
    sheet.vertices = {{{0, 0, 1}, {}}, {{10, 0, 2}, {}}, {{0, 10, 5}, {}}};
    sheet.indices = {0, 1, 2, 0, 2, 1};
    std::string text = Checked(sheet, BaseAt(0.0f), passed);
    EXPECT_NE(text.find("  ok      0 open edges (watertight when zero)\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  PROBLEM 1 bodies enclose no volume (flat, or two sides lying on each other)\r\n"),
              std::string::npos)
        << text;
    EXPECT_FALSE(passed);

    // Beside a sound box the sheet is still counted; a thin plate is a solid.
    mesh::TriangleMesh both = test::MakeBox({20, 0, 0}, {30, 10, 10});
    test::AppendMesh(both, sheet);
    EXPECT_NE(Checked(both, BaseAt(0.0f), passed).find("  PROBLEM 1 bodies enclose no volume"), std::string::npos);
    EXPECT_FALSE(passed);
    text = Checked(test::MakeBox({0, 0, 0}, {10, 10, 0.01f}), BaseAt(0.0f), passed);
    EXPECT_EQ(text.find("enclose no volume"), std::string::npos) << text;
    EXPECT_TRUE(passed) << text;
}

TEST(ExportCheckLine, PrefixesAndVerdict) {
    std::wstring text;
    bool all = true;
    ExportCheckLine(text, all, true, L"fine");
    EXPECT_TRUE(all);
    ExportCheckLine(text, all, false, L"bad");
    ExportCheckLine(text, all, true, L"fine again");
    EXPECT_FALSE(all);
    EXPECT_EQ(text, L"  ok      fine\r\n  PROBLEM bad\r\n  ok      fine again\r\n");
}

}  // namespace
}  // namespace ridgeforge
