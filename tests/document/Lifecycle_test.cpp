#include <gtest/gtest.h>

#include "document/DocumentText.h"
#include "document/RidgeforgeDoc.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"
#include "testing/Shapes.h"
#include "tests/document/FakeHost.h"

namespace ridgeforge {
namespace {

using test::HostedDocument;

TEST(Lifecycle, ASecondPartKeepsTextureAndSettingsAndResetsThePlacement) {
    HostedDocument d;
    d.doc.OnTestCube();
    d.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Bricks"), L"Old wall");
    ASSERT_TRUE(d.doc.HasTexture());
    d.doc.simplifyEnabled = false;
    d.doc.remeshSettings.targetEdgeMillimetres = 0.5f;
    mesh::TextureSettings settings = d.doc.texture.settings;
    settings.widthMillimetres = 12.0f;
    d.doc.ApplyTextureSettings(settings);
    const std::uint32_t revision = d.doc.textureRevision;
    const std::int32_t textureWidth = d.doc.texture.width;
    EXPECT_EQ(textureWidth, 384);  // 12 mm at 32 pixels a millimetre
    d.doc.projection.type = mesh::ProjectionType::Cylinder;
    d.doc.projection.box.blended = true;
    d.doc.projection.box.blendSharpness = 7.0f;
    d.doc.projection.cylinder.seamDegrees = 33.0f;
    d.doc.AddMaskVolume(1);
    d.doc.OnSettingsChanged();
    ASSERT_FALSE(d.doc.undoStack.empty());

    d.doc.OnTestSphere();
    EXPECT_EQ(d.doc.testShape, "sphere");
    EXPECT_TRUE(d.host.Logged(L"Test sphere: 20 mm across, 9024 triangles."));
    // Kept: the texture, its settings, the switches and the processing settings.
    EXPECT_EQ(d.doc.textureRevision, revision);
    EXPECT_EQ(d.doc.texture.width, textureWidth);
    EXPECT_NE(d.doc.proceduralTexture, nullptr);
    EXPECT_EQ(d.doc.proceduralPresetName, L"Old wall");
    EXPECT_FLOAT_EQ(d.doc.texture.settings.widthMillimetres, 12.0f);
    EXPECT_FALSE(d.doc.simplifyEnabled);
    EXPECT_FLOAT_EQ(d.doc.remeshSettings.targetEdgeMillimetres, 0.5f);
    // Reset: the projection but for the box blending, the masks, the history.
    EXPECT_EQ(d.doc.projection.type, mesh::ProjectionType::Box);
    EXPECT_FLOAT_EQ(d.doc.projection.cylinder.seamDegrees, 180.0f);
    EXPECT_TRUE(d.doc.projection.box.blended);
    EXPECT_FLOAT_EQ(d.doc.projection.box.blendSharpness, 7.0f);
    EXPECT_TRUE(d.doc.maskVolumes.empty());
    EXPECT_EQ(d.doc.activeMask, -1);
    EXPECT_TRUE(d.doc.undoStack.empty());
    EXPECT_TRUE(d.doc.redoStack.empty());
    // The cage fits the sphere, which rests on the bed.
    EXPECT_NEAR(d.doc.projection.cage.center.z, 10.0f, 1e-3f);
    EXPECT_NEAR(d.doc.projection.cage.size.x, 20.4f, 1e-2f);
    EXPECT_NEAR(d.doc.displacementSettings.base.planeMillimetres, 0.0f, 1e-4f);
    EXPECT_EQ(d.doc.meshSerial, 2u);
}

class FailingBase : public CRidgeforgeDoc {
public:
    using CRidgeforgeDoc::CRidgeforgeDoc;
    bool baseSucceeds = false;

protected:
    bool BaseOnNewDocument() override { return baseSucceeds ? CRidgeforgeDoc::BaseOnNewDocument() : false; }
};

TEST(Lifecycle, NewDocumentResetsOnlyWhenTheBaseSucceeds) {
    test::FakeHost host;
    FailingBase doc(&host);
    doc.OnTestCube();
    doc.simplifyEnabled = false;
    doc.simplifySettings.meshDetailError = 0.5f;
    doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Dots"), L"");
    EXPECT_FALSE(doc.OnNewDocument());
    EXPECT_FALSE(doc.simplifyEnabled);
    EXPECT_NE(doc.proceduralTexture, nullptr);
    EXPECT_EQ(doc.testShape, "cube");

    doc.baseSucceeds = true;
    const std::uint32_t revision = doc.textureRevision;
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_TRUE(doc.simplifyEnabled);
    EXPECT_FLOAT_EQ(doc.simplifySettings.meshDetailError, 0.01f);
    EXPECT_EQ(doc.proceduralTexture, nullptr);
    EXPECT_FALSE(doc.HasTexture());
    EXPECT_FLOAT_EQ(doc.texture.settings.widthMillimetres, 30.0f);
    EXPECT_EQ(doc.textureRevision, revision + 1);
    EXPECT_TRUE(doc.testShape.empty());
    EXPECT_FALSE(doc.HasPart());
    EXPECT_EQ(doc.remeshSettings.method, mesh::kRemeshContour);
}

TEST(Lifecycle, LogTakesTimingsOutUnlessTheDetailedLogIsOn) {
    HostedDocument d;
    d.doc.Log(L"Remeshed (120 ms) to 40 triangles (3.5 ms)", LogKind::Plain);
    d.doc.Log(L"   in 12.5 ms", LogKind::Auto);
    d.doc.LogText("first\n\nthird (8 ms)\n");
    ASSERT_EQ(d.host.log.size(), 4u);
    EXPECT_EQ(d.host.log[0].text, L"Remeshed to 40 triangles");
    EXPECT_EQ(d.host.log[0].kind, LogKind::Plain);
    EXPECT_EQ(d.host.log[1].text, L"first");
    EXPECT_EQ(d.host.log[2].text, L"");
    EXPECT_EQ(d.host.log[3].text, L"third");

    d.host.log.clear();
    d.host.detailedLog = true;
    d.doc.Log(L"   in 12.5 ms", LogKind::Auto);
    ASSERT_EQ(d.host.log.size(), 1u);
    EXPECT_EQ(d.host.log[0].text, L"   in 12.5 ms");

    CRidgeforgeDoc alone;  // no main window: nothing to write to, and no crash
    alone.Log(L"quiet", LogKind::Auto);
    alone.OnTestCube();
    EXPECT_TRUE(alone.HasPart());
}

TEST(DocumentText, ConversionsAndNumbers) {
    EXPECT_EQ(FormatWithThousands(0), L"0");
    EXPECT_EQ(FormatWithThousands(999), L"999");
    EXPECT_EQ(FormatWithThousands(1000), L"1,000");
    EXPECT_EQ(FormatWithThousands(18000000), L"18,000,000");
    EXPECT_EQ(FormatVec3(1.0f, 2.5f, -3.0f), L"1.000, 2.500, -3.000");
    EXPECT_EQ(Utf8ToCString("Gr\xC3\xBC\xC3\x9F"
                            "e"),
              L"Gr\u00FC\u00DFe");
    EXPECT_EQ(CStringToUtf8(L"\u00B5m"), "\xC2\xB5m");
    EXPECT_EQ(Utf8ToCString(""), L"");
    EXPECT_EQ(RemoveTimingText(L"a (b (12 ms) c"), L"a (b c");
    EXPECT_EQ(RemoveTimingText(L"in 5 ms"), L"");
    EXPECT_EQ(RemoveTimingText(L"in ms"), L"in ms");  // too short to be only a timing
    EXPECT_EQ(RemoveTimingText(L"in 12.5 ms"), L"");
    EXPECT_EQ(RemoveTimingText(L"in 1x ms"), L"in 1x ms");
    EXPECT_EQ(RemoveTimingText(L"no timing here"), L"no timing here");
}

TEST(DocumentBase, PathNameGivesTheTitleAndTellsTheRecentFiles) {
    HostedDocument d;
    d.doc.SetPathName(L"/tmp/gr\u00FCn/Tr\u00E4ger.rgproj", true);
    EXPECT_EQ(d.doc.GetTitle(), L"Tr\u00E4ger.rgproj");
    ASSERT_EQ(d.host.recentFiles.size(), 1u);
    d.doc.SetPathName(L"plain.rgproj", false);
    EXPECT_EQ(d.doc.GetTitle(), L"plain.rgproj");
    EXPECT_EQ(d.host.recentFiles.size(), 1u);

    struct CountingView : DocumentView {
        int updates = 0;
        ViewUpdateHint last = ViewUpdateHint::FullRefresh;
        void OnUpdate(DocumentView*, ViewUpdateHint hint) override {
            ++updates;
            last = hint;
        }
    } view, sender;
    d.doc.AddView(&view);
    d.doc.AddView(&sender);
    d.doc.AddView(&view);
    d.doc.UpdateAllViews(&sender, ViewUpdateHint::PrintCheckFinished);
    EXPECT_EQ(view.updates, 1);
    EXPECT_EQ(view.last, ViewUpdateHint::PrintCheckFinished);
    EXPECT_EQ(sender.updates, 0);
    d.doc.OnTestCube();
    EXPECT_GT(view.updates, 1);
    EXPECT_EQ(view.last, ViewUpdateHint::FullRefresh);
    d.doc.RemoveView(&view);
    const int seen = view.updates;
    d.doc.UpdateAllViews(nullptr);
    EXPECT_EQ(view.updates, seen);
}

TEST(WorkingPart, ReplaceInputMeshRebuildsFromThePartAsLoadedAndItsOrientation) {
    HostedDocument d;
    d.doc.LoadTestShape(test::MakeBox({0, 0, 0}, {10, 20, 30}), L"Box", L"Box", L"Box");
    // A quarter turn about x: y goes to z.
    d.doc.orientation = {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}, {0, 0, 2}};
    d.doc.displacementSettings.base.enabled = false;
    d.doc.ReplaceInputMesh();
    EXPECT_NEAR(d.doc.workingPart.boundsMax.z - d.doc.workingPart.boundsMin.z, 20.0f, 1e-4f);
    EXPECT_TRUE(d.doc.displacementSettings.base.enabled);
    EXPECT_NEAR(d.doc.displacementSettings.base.planeMillimetres, 2.0f, 1e-4f);
    EXPECT_NEAR(d.doc.projection.cage.size.z, 20.4f, 1e-3f);
    EXPECT_EQ(d.doc.components.size(), 6u);
    EXPECT_EQ(d.doc.partValidation.triangleCount, 12u);
    EXPECT_EQ(d.doc.partAsLoaded.boundsMax.z, 30.0f);
}

}  // namespace
}  // namespace ridgeforge
