// What the mask panel's fields show and take back, worked out by hand.
#include "ui/dialogs/MaskPanelRules.h"

#include <gtest/gtest.h>

#include "mesh/TestShapes.h"

namespace ridgeforge {
namespace {

mesh::MaskVolume Volume() {
    mesh::MaskVolume v;
    v.center = {12.3456f, -4.25f, 12.5f};
    v.size = {6.0f, 7.5f, 8.125f};
    v.rotationDegrees = {-0.004f, 30.0f, 271.25f};
    v.featherMillimetres = 1.5f;
    return v;
}

MaskFieldTexts Written(const mesh::MaskVolume& v, float bed) {
    MaskFieldTexts texts;
    const auto values = MaskFieldValues(v, bed);
    for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = FormatMaskField(values[i]);
    return texts;
}

TEST(MaskPanelRules, FieldsShowTwoDecimalsWithoutTrailingZerosAndTinyValuesAsZero) {
    EXPECT_EQ(FormatMaskField(12.5f), "12.5");
    EXPECT_EQ(FormatMaskField(3.0f), "3");
    EXPECT_EQ(FormatMaskField(12.3456f), "12.35");
    EXPECT_EQ(FormatMaskField(-0.004f), "0");
    EXPECT_EQ(FormatMaskField(0.0049f), "0");
    EXPECT_EQ(FormatMaskField(0.006f), "0.01");
    EXPECT_EQ(FormatMaskField(-7.1f), "-7.1");
    EXPECT_EQ(FormatMaskField(100.0f), "100");  // zeros before the point stay
    EXPECT_EQ(FormatMaskField(-20.0f), "-20");
}

TEST(MaskPanelRules, BedHeightIsThePartsLowestZOnlyForAPartWithTrianglesAndValidBounds) {
    mesh::TriangleMesh cube = mesh::MakeTestCube(5.0f);
    for (mesh::Vertex& v : cube.vertices) v.position.z += 10.0f;
    cube.RecomputeBounds();
    EXPECT_FLOAT_EQ(BedHeight(cube), cube.boundsMin.z);
    EXPECT_GT(BedHeight(cube), 5.0f);
    mesh::TriangleMesh stale = cube;
    stale.boundsValid = false;
    EXPECT_EQ(BedHeight(stale), 0.0f);
    mesh::TriangleMesh pointsOnly = cube;
    pointsOnly.indices.clear();
    EXPECT_EQ(BedHeight(pointsOnly), 0.0f);
}

TEST(MaskPanelRules, UntypedFieldsAndTextWithoutANumberChangeNothing) {
    const mesh::MaskVolume v = Volume();
    const MaskFieldTexts written = Written(v, 2.5f);
    EXPECT_EQ(ApplyMaskFieldTexts(v, 2.5f, written, written), v);

    MaskFieldTexts typed = written;
    typed[0] = "abc";
    typed[1] = "";
    typed[3] = "1e999";
    typed[6] = "nan";
    EXPECT_EQ(ApplyMaskFieldTexts(v, 2.5f, typed, written), v);

    // A size typed at the minimum boundary and just above it.
    typed = written;
    typed[3] = "0.5";
    typed[5] = "0.51";
    const mesh::MaskVolume edited = ApplyMaskFieldTexts(v, 2.5f, typed, written);
    EXPECT_FLOAT_EQ(edited.size.x, 0.5f);
    EXPECT_FLOAT_EQ(edited.size.z, 0.51f);
}

TEST(MaskPanelRules, ListIsRebuiltForNamesShapesAndCountButNotForTheEnabledFlag) {
    std::vector<mesh::MaskVolume> shown(2, Volume());
    shown[0].name = "Box 1";
    shown[1].name = "Sphere 2";
    shown[1].shape = mesh::MaskShape::Sphere;
    std::vector<mesh::MaskVolume> now = shown;
    now[1].enabled = false;
    now[0].center.x = 99.0f;
    EXPECT_FALSE(MaskListNeedsRebuild(shown, now));
    now[1].name = "Ball";
    EXPECT_TRUE(MaskListNeedsRebuild(shown, now));
    now = shown;
    now[0].shape = mesh::MaskShape::Cylinder;
    EXPECT_TRUE(MaskListNeedsRebuild(shown, now));
    now = shown;
    now.pop_back();
    EXPECT_TRUE(MaskListNeedsRebuild(shown, now));

    EXPECT_EQ(MaskShapeText(mesh::MaskShape::Box), "Box");
    EXPECT_EQ(MaskShapeText(mesh::MaskShape::Cylinder), "Cylinder");
    EXPECT_EQ(MaskShapeText(mesh::MaskShape::Sphere), "Sphere");
    EXPECT_EQ(MaskShapeText(static_cast<mesh::MaskShape>(7)), "Volume");
}

TEST(MaskPanelRules, ThePanelOpensAtItsSavedPlaceOnlyWhileADisplayHoldsIt) {
    static wxPoint asked;
    auto leftHalf = [](wxPoint p) {
        asked = p;
        return p.x >= 0 && p.x < 640;
    };
    EXPECT_EQ(MaskPanelPlace(wxPoint(300, 200), wxPoint(900, 50), leftHalf), wxPoint(300, 200));
    EXPECT_EQ(asked, wxPoint(320, 210));
    // The probe point 20 right of the saved place is off the display.
    EXPECT_EQ(MaskPanelPlace(wxPoint(625, 200), wxPoint(900, 50), leftHalf), wxPoint(912, 62));
    EXPECT_EQ(MaskPanelPlace(std::nullopt, wxPoint(900, 50), leftHalf), wxPoint(912, 62));
}

}  // namespace
}  // namespace ridgeforge
