#include <gtest/gtest.h>

#include <fstream>

#include "document/DocumentText.h"
#include "document/RidgeforgeDoc.h"
#include "textures/procedural/TextureRegistry.h"
#include "tests/document/FakeHost.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge {
namespace {

using test::HostedDocument;

// Between the heading line and the next blank line.
CString Section(const CString& text, const CString& heading) {
    const std::size_t at = text.find(heading + L"\r\n");
    if (at == CString::npos) return CString();
    const std::size_t end = text.find(L"\r\n\r\n", at);
    return text.substr(at, end == CString::npos ? CString::npos : end + 4 - at);
}

TEST(MeshInformation, WithoutAPartTheTextSaysHowToLoadOne) {
    HostedDocument d;
    EXPECT_EQ(d.doc.MeshInformationReport(), L"No mesh loaded.\r\n\r\nUse File > Open to load an STL.");
}

TEST(MeshInformation, TheTestCubeReadsInOrderWithTheDetailsHeadingAfterThePart) {
    HostedDocument d;
    d.doc.OnTestCube();
    const CString text = d.doc.MeshInformationReport();
    const CString expected =
        L"Verdict\r\n  Good: no problems found.\r\n\r\n"
        L"Part\r\n  Test Cube\r\n  20.00 x 20.00 x 20.00 mm\r\n  12 triangles\r\n\r\n"
        L"Details\r\n-------\r\n"
        L"Surfaces (part as loaded)\r\n  outer 100.0%, inner 0.0% of the area\r\n\r\n"
        L"File and counts\r\n  Format: Unrecognised\r\n  Vertices: 8\r\n  Bodies: 1\r\n\r\n"
        L"Bounding box (mm)\r\n  Min: -10.000, -10.000, -10.000\r\n  Max: 10.000, 10.000, 10.000\r\n"
        L"  Centre: 0.000, 0.000, 0.000\r\n\r\n"
        L"Measurements\r\n  Volume: 8000.000 mm³\r\n  Surface area: 2400.000 mm²\r\n\r\n"
        L"Texture placement\r\n  All sides\r\n  Origin: 0.00, 0.00 mm\r\n  Rotation: 0.0 deg\r\n  Zoom: 1.00\r\n\r\n"
        L"Topology\r\n  Open boundary edges: 0\r\n  Non-manifold edges: 0\r\n  Edges shared twice: 18\r\n"
        L"  The mesh is closed.\r\n";
    EXPECT_EQ(text, expected);

    // The detailed log adds the grid and the marches.
    d.host.detailedLog = true;
    const CString detailed = Section(d.doc.MeshInformationReport(), L"Surfaces (part as loaded)");
    EXPECT_NE(detailed.find(L"\r\n  grid 256 cells of "), CString::npos) << detailed;
    EXPECT_NE(detailed.find(L"\r\n  12 marches in "), CString::npos) << detailed;
}

TEST(MeshInformation, OneOpenEdgeMeansTheMeshIsNotClosed) {
    HostedDocument d;
    d.doc.OnTestCube();
    // Two triangles sharing the cube's face diagonal, one edge of each open:
    // the smallest hole a triangle mesh can have leaves three open edges, so
    // one triangle of a cube face goes.
    d.doc.partAsLoaded.indices.resize(d.doc.partAsLoaded.indices.size() - 3);
    d.doc.ReplaceInputMesh();
    const CString topology = d.doc.MeshInformationReport().substr(d.doc.MeshInformationReport().find(L"Topology"));
    EXPECT_EQ(topology,
              L"Topology\r\n  Open boundary edges: 3\r\n  Non-manifold edges: 0\r\n  Edges shared twice: 15\r\n");
}

// The test cube with a procedural texture, processed with the mesh method.
void ProcessTexturedCube(HostedDocument& d) {
    test::TextureTheTestCube(d.doc);
    d.doc.Process();
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
}

TEST(MeshInformation, TextureDetailSitsAboveTheDetailsHeadingWithItsVerdict) {
    HostedDocument d;
    ProcessTexturedCube(d);
    ASSERT_TRUE(d.doc.runState.sampling.measured);
    const CString triangles = FormatWithThousands(d.doc.ShownMesh().TriangleCount());
    mesh::SamplingReport& s = d.doc.runState.sampling;
    s.measured = true;
    s.triangleMillimetres = 0.5f;
    s.texelMillimetres = 0.1f;
    s.filterMillimetres = 0.25f;
    s.filterRaised = true;
    s.finestMillimetres = 0.5f;
    s.suggestedTextureMillimetres = 0.3f;
    s.suggestedTriangleMillimetres = 0.2f;
    const std::pair<float, const wchar_t*> verdicts[] = {{2.0f, L"the mesh carries this map at full detail"},
                                                         {2.1f, L"the mesh carries most of this map"},
                                                         {4.0f, L"the mesh carries most of this map"},
                                                         {10.0f, L"the finest grain of this map is being lost"},
                                                         {10.5f, L"most of this map is too fine for these triangles"}};
    for (const auto& [pixels, verdict] : verdicts) {
        s.pixelsPerEdge = pixels;
        const CString text = d.doc.MeshInformationReport();
        EXPECT_NE(
            text.find(L"  " + triangles +
                      L" triangles\r\n\r\nTexture detail\r\n  Triangles: 0.500 mm, texture 0.1000 mm/pixel\r\n"
                      L"  Sampling: " +
                      FormatText("%.1f", static_cast<double>(pixels)) + L" image pixels per edge\r\n  " + verdict +
                      L"\r\n  Nothing finer than 0.50 mm can appear on the surface.\r\n"
                      L"  The map is softened to 0.250 mm before it is read, so that\r\n"),
            CString::npos)
            << text;
        // Advice only past 4 pixels per edge, then a blank line and the heading.
        const bool advice = text.find(L"  To carry it fully") != CString::npos;
        EXPECT_EQ(advice, pixels > 4.0f) << pixels;
        EXPECT_NE(text.find(L"noise, not grain.\r\n" + CString(advice ? L"  To carry" : L"\r\nDetails\r\n-------\r\n")),
                  CString::npos);
    }
}

TEST(MeshInformation, TextureDetailGoesWithTheResultItDescribes) {
    HostedDocument d;
    ProcessTexturedCube(d);
    ASSERT_NE(d.doc.MeshInformationReport().find(L"\r\nTexture detail\r\n"), CString::npos);

    // Undo takes the texture away: the part is shown, and nothing describes
    // how a texture sits on it.
    d.doc.OnEditUndo();
    ASSERT_FALSE(d.doc.HasTexture());
    CString text = d.doc.MeshInformationReport();
    EXPECT_EQ(text.find(L"Texture detail"), CString::npos) << text;
    EXPECT_NE(text.find(L"  12 triangles\r\n\r\nDetails\r\n-------\r\n"), CString::npos) << text;

    // A run without the relief measures no sampling to show either.
    d.doc.displacementEnabled = false;
    d.doc.remeshEnabled = true;
    d.doc.OnSettingsChanged();
    d.doc.Process();
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
    ASSERT_NE(&d.doc.ShownMesh(), &d.doc.workingPart);
    text = d.doc.MeshInformationReport();
    EXPECT_EQ(text.find(L"Texture detail"), CString::npos) << text;
}

TEST(MeshInformation, WholeTilesRoundTheCylinderWallCountInWords) {
    HostedDocument d;
    d.doc.OnTestCylinder();
    mesh::Projection& p = d.doc.projection;
    p.type = mesh::ProjectionType::Cylinder;
    p.cylinder.axis = mesh::Axis::Z;
    p.cylinder.sideEnabled = true;
    p.cylinder.wholeTiles = true;
    p.cage.size = {20.0f, 20.0f, 20.0f};
    p.cage.rotationDegrees = {0.0f, 0.0f, 0.0f};
    p.layer[0] = mesh::ProjectionLayer{};
    // Round a 10 mm radius: 62.83 mm, which holds 3.1 tiles of 20.27 mm.
    mesh::TextureSettings settings = d.doc.texture.settings;
    settings.tiles = true;
    settings.widthMillimetres = 62.831853f / 3.1f;
    settings.heightMillimetres = 10.0f;
    settings.rotationDegrees = 0.0f;
    settings.seamlessMethod = "Unchanged";
    d.doc.texture.settings = settings;
    const CString three = Section(d.doc.MeshInformationReport(), L"Texture placement");
    EXPECT_EQ(three,
              L"Texture placement\r\n  All sides\r\n  Origin: 0.00, 0.00 mm\r\n  Rotation: 0.0 deg\r\n  Zoom: 1.00\r\n"
              L"  Round the wall: 3 whole tiles, the image used 3.3% larger (tile 20.94 mm round, set 20.27)\r\n\r\n");

    // 0.9 tiles round: one tile, 10% smaller, singular.
    d.doc.texture.settings.widthMillimetres = 62.831853f / 0.9f;
    const CString one = Section(d.doc.MeshInformationReport(), L"Texture placement");
    EXPECT_NE(one.find(L"  Round the wall: 1 whole tile, the image used 10.0% smaller (tile 62.83 mm round, set "
                       L"69.81)\r\n\r\n"),
              CString::npos)
        << one;

    // A turned image does not run round the wall along a tile axis.
    d.doc.texture.settings.rotationDegrees = 30.0f;
    EXPECT_NE(Section(d.doc.MeshInformationReport(), L"Texture placement")
                  .find(L"  Round the wall: not fitted, the image is turned off its width and height\r\n\r\n"),
              CString::npos);
    // A box mapping has no wall to fit.
    p.type = mesh::ProjectionType::Box;
    EXPECT_EQ(Section(d.doc.MeshInformationReport(), L"Texture placement").find(L"Round the"), CString::npos);
}

TEST(MeshInformation, MasksCountThoseSwitchedOff) {
    HostedDocument d;
    d.doc.OnTestCube();
    EXPECT_EQ(d.doc.MeshInformationReport().find(L"Mask volumes"), CString::npos);
    for (std::uint32_t shape = 0; shape < 3; ++shape) d.doc.AddMaskVolume(shape);
    ASSERT_EQ(d.doc.maskVolumes.size(), 3u);
    EXPECT_NE(d.doc.MeshInformationReport().find(
                  L"Mask volumes\r\n  3, keeping the texture off what they cover\r\n\r\nTopology"),
              CString::npos);
    d.doc.maskVolumes[1].enabled = false;
    EXPECT_NE(d.doc.MeshInformationReport().find(
                  L"Mask volumes\r\n  3 (1 off), keeping the texture off what they cover\r\n\r\nTopology"),
              CString::npos);
}

TEST(MeshInformation, FileFormatPartNameProceduralTextureAndWarnings) {
    HostedDocument d;
    test::TempDir dir("meshinfo");
    const mesh::TriangleMesh cube = test::MakeBox({0, 0, 0}, {10, 20, 30});
    const std::filesystem::path binary = dir / "block.stl";
    {
        const std::vector<std::uint8_t> bytes = test::BinaryStl(test::FacetsOf(cube), "block");
        std::ofstream out(binary, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ASSERT_TRUE(d.doc.ImportPart(binary.wstring()));
    CString text = d.doc.MeshInformationReport();
    EXPECT_NE(text.find(L"Part\r\n  block.stl\r\n  10.00 x 20.00 x 30.00 mm\r\n  12 triangles\r\n"), CString::npos);
    EXPECT_NE(text.find(L"  Format: Binary STL\r\n"), CString::npos);
    EXPECT_NE(text.find(L"  Centre: 5.000, 10.000, 15.000\r\n"), CString::npos);
    EXPECT_NE(text.find(L"  Volume: 6000.000 mm³\r\n  Surface area: 2200.000 mm²\r\n"), CString::npos);

    test::WriteTextFile(dir / "text.stl", test::AsciiStl(test::FacetsOf(cube)));
    ASSERT_TRUE(d.doc.ImportPart((dir / "text.stl").wstring()));
    EXPECT_NE(d.doc.MeshInformationReport().find(L"  Format: ASCII STL\r\n"), CString::npos);

    d.doc.importReport.warnings = {"First warning.", "Second warning."};
    text = d.doc.MeshInformationReport();
    const CString tail = L"  The mesh is closed.\r\n\r\nImport warnings\r\n  First warning.\r\n  Second warning.\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

    d.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture(mesh::procedural::TextureNames().front()), L"");
    ASSERT_NE(d.doc.proceduralTexture, nullptr);
    text = d.doc.MeshInformationReport();
    const CString section = Section(text, L"Procedural texture");
    EXPECT_NE(section.find(L"\r\n  Rendered " + std::to_wstring(d.doc.texture.width) + L" x " +
                           std::to_wstring(d.doc.texture.height) + L" pixels, seamless by construction\r\n\r\n"),
              CString::npos)
        << section;
    EXPECT_LT(text.find(L"Procedural texture"), text.find(L"Texture placement"));
}

TEST(MeshInformation, TheVerdictListsEveryProblemOfTheShownReport) {
    HostedDocument d;
    d.doc.OnTestSphere();
    d.doc.partValidation.AddProblem("First sentence.", "a");
    d.doc.partValidation.AddCaution("Second sentence.", "b");
    const CString text = d.doc.MeshInformationReport();
    EXPECT_EQ(text.rfind(L"Verdict\r\n  Unsuitable: ", 0), 0u) << text;
    EXPECT_NE(text.find(L"\r\n  - First sentence.\r\n  - Second sentence.\r\n\r\nPart\r\n  Test Sphere\r\n"),
              CString::npos);
    EXPECT_NE(text.find(L"  Format: Unrecognised\r\n"), CString::npos);
}

TEST(MeshInformation, ANewResultOfTheSameSizeIsMeasuredAgain) {
    HostedDocument d;
    ProcessTexturedCube(d);
    const CString first = Section(d.doc.MeshInformationReport(), L"Measurements");
    const std::size_t triangles = d.doc.ShownMesh().TriangleCount();

    // Moving the vertices further keeps every count but not the volume.
    d.doc.displacementSettings.strengthMillimetres = 1.5f;
    d.doc.OnSettingsChanged();
    d.doc.Process();
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
    ASSERT_EQ(d.doc.ShownMesh().TriangleCount(), triangles);
    const CString second = Section(d.doc.MeshInformationReport(), L"Measurements");
    EXPECT_NE(first, second);
    EXPECT_EQ(second, Section(d.doc.MeshInformationReport(), L"Measurements"));
}

}  // namespace
}  // namespace ridgeforge

namespace ridgeforge {
namespace {

// The measurements are kept while the shown mesh stays; a second part of
// the same triangle count lands in the same mesh object.
TEST(MeshInformation, ASecondPartOfTheSameSizeIsMeasuredAgain) {
    HostedDocument d;
    d.doc.OnTestCube();
    const CString cube = Section(d.doc.MeshInformationReport(), L"Measurements");
    EXPECT_EQ(cube, L"Measurements\r\n  Volume: 8000.000 mm³\r\n  Surface area: 2400.000 mm²\r\n\r\n");

    d.doc.LoadTestShape(test::MakeBox({0, 0, 0}, {10, 20, 30}), L"Box", L"Box", L"Box.");
    ASSERT_EQ(d.doc.ShownMesh().TriangleCount(), 12u);
    EXPECT_EQ(Section(d.doc.MeshInformationReport(), L"Measurements"),
              L"Measurements\r\n  Volume: 6000.000 mm³\r\n  Surface area: 2200.000 mm²\r\n\r\n");
    // The shown coverage is the new part's too.
    const mesh::TextureCoverage fresh = d.doc.ComputeTextureCoverage(d.doc.workingPart);
    EXPECT_EQ(d.doc.ShownTextureCoverage().cornerWeights, fresh.cornerWeights);
    EXPECT_EQ(d.doc.ShownTextureCoverage().vertexWeights, fresh.vertexWeights);

    d.doc.OnTestCube();
    EXPECT_EQ(Section(d.doc.MeshInformationReport(), L"Measurements"), cube);
}

}  // namespace
}  // namespace ridgeforge
