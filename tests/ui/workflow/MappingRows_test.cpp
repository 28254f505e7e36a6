// The side list's rows for each projection, its geometry and the picture's
// geometry, worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "ui/workflow/MappingRows.h"

namespace ridgeforge {
namespace {

std::vector<wxString> Names(const std::vector<ProjectorRow>& rows) {
    std::vector<wxString> names;
    for (const ProjectorRow& row : rows) names.push_back(row.name);
    return names;
}

TEST(MappingRows, ColoursAndNamesBySide) {
    EXPECT_EQ(SideColour(1), wxColour(224, 71, 64));
    EXPECT_EQ(SideColour(2), wxColour(82, 199, 92));
    EXPECT_EQ(SideColour(5), wxColour(77, 133, 235));
    EXPECT_EQ(SideColour(6), wxColour(115, 120, 128));
    EXPECT_EQ(SideColour(-1), wxColour(115, 120, 128));
    EXPECT_EQ(SideName(3), wxString(L"Front (\u2212Y)"));
    EXPECT_EQ(SideName(4), "Top (+Z)");
    EXPECT_TRUE(SideName(6).empty());
}

TEST(MappingRows, RowsForEachProjectionType) {
    mesh::Projection box;
    box.box.sideEnabled[2] = false;
    const std::vector<ProjectorRow> boxRows = ProjectorRows(box, true);
    ASSERT_EQ(boxRows.size(), 6u);
    EXPECT_FALSE(boxRows[2].on);
    EXPECT_TRUE(boxRows[3].on);
    EXPECT_TRUE(boxRows[0].switchable);
    EXPECT_FALSE(ProjectorRows(box, false)[0].switchable);

    mesh::Projection cylinder;
    cylinder.type = mesh::ProjectionType::Cylinder;
    cylinder.cylinder.axis = mesh::Axis::Y;
    cylinder.cylinder.topCapEnabled = true;
    const std::vector<ProjectorRow> cylinderRows = ProjectorRows(cylinder, true);
    EXPECT_EQ(Names(cylinderRows), (std::vector<wxString>{"Wall", "Top cap (+Y)", wxString(L"Bottom cap (\u2212Y)")}));
    EXPECT_EQ(cylinderRows[1].side, 4);
    EXPECT_EQ(cylinderRows[2].side, 5);
    EXPECT_TRUE(cylinderRows[1].on);
    EXPECT_FALSE(cylinderRows[2].on);
    EXPECT_EQ(cylinderRows[0].colour, wxColour(224, 71, 64));

    mesh::Projection sphere;
    sphere.type = mesh::ProjectionType::Sphere;
    std::vector<wxString> names = Names(ProjectorRows(sphere, true));
    EXPECT_EQ(names[4], "Top (+Z) pole");
    EXPECT_EQ(names[5], wxString(L"Bottom (\u2212Z) pole"));
    EXPECT_EQ(names[0], "Right (+X)");
    sphere.sphere.axis = mesh::Axis::X;
    names = Names(ProjectorRows(sphere, true));
    EXPECT_EQ(names[0], "Right (+X) pole");
    EXPECT_EQ(names[1], wxString(L"Left (\u2212X) pole"));
    EXPECT_EQ(names[4], "Top (+Z)");

    mesh::Projection plane;
    plane.type = mesh::ProjectionType::Plane;
    plane.plane.axis = mesh::Axis::X;
    const std::vector<ProjectorRow> planeRows = ProjectorRows(plane, true);
    ASSERT_EQ(planeRows.size(), 1u);
    EXPECT_EQ(planeRows[0].name, "Plane (+X)");
    EXPECT_EQ(planeRows[0].side, 4);
    EXPECT_TRUE(planeRows[0].on);
    EXPECT_FALSE(planeRows[0].switchable);

    EXPECT_EQ(SelectedRow(cylinderRows, 5), 2);
    EXPECT_EQ(SelectedRow(cylinderRows, 2), -1);
    EXPECT_EQ(SelectedRow(cylinderRows, -1), -1);
}

TEST(MappingRows, ListGeometryAndHits) {
    const wxSize client(150, 116);
    const ProjectorRowGeometry first = ProjectorRowRects(0, 0, client, 96);
    EXPECT_EQ(first.row, wxRect(1, 1, 148, 22));
    EXPECT_EQ(first.check, wxRect(7, 5, 14, 14));
    EXPECT_EQ(first.swatch, wxRect(27, 6, 12, 12));
    EXPECT_EQ(first.name, wxRect(45, 1, 98, 22));
    EXPECT_EQ(ProjectorRowRects(2, 10, client, 96).row, wxRect(1, 35, 148, 22));
    EXPECT_EQ(ProjectorContentHeight(6, 96), 134);

    bool inCheck = false;
    EXPECT_EQ(ProjectorHitTest(client, 0, 3, {10, 30}, 96, &inCheck), 1);
    EXPECT_TRUE(inCheck);
    EXPECT_EQ(ProjectorHitTest(client, 0, 3, {22, 30}, 96, &inCheck), 1);
    EXPECT_FALSE(inCheck);
    EXPECT_EQ(ProjectorHitTest(client, 0, 3, {10, 70}, 96, &inCheck), -1);
    EXPECT_EQ(ProjectorHitTest(client, 0, 3, {160, 10}, 96, &inCheck), -1);
}

TEST(MappingRows, PictureProjectionFacesAndSilhouette) {
    // 108 x 108: s = 18.36, centre (54, 58.32).
    const wxPoint2DDouble top = PicturePoint(0, 0, 1, 108, 108);
    EXPECT_NEAR(top.m_x, 54.0, 1e-9);
    EXPECT_NEAR(top.m_y, 58.32 - 18.36, 1e-9);
    const wxPoint2DDouble x = PicturePoint(1, 0, 0, 108, 108);
    EXPECT_NEAR(x.m_x, 54.0 + 0.866 * 18.36, 1e-9);
    EXPECT_NEAR(x.m_y, 58.32 + 0.5 * 18.36, 1e-9);

    const auto face = BoxFace(5);
    for (const auto& corner : face) EXPECT_EQ(corner[2], -1.0);
    const auto right = BoxFace(0);
    for (const auto& corner : right) EXPECT_EQ(corner[0], 1.0);

    const auto circle = CirclePoint(1, 2.0, 0.5, std::numbers::pi / 2);
    EXPECT_NEAR(circle[0], 0.0, 1e-12);
    EXPECT_EQ(circle[1], 0.5);
    EXPECT_NEAR(circle[2], 2.0, 1e-12);

    // Around Z the axis is drawn straight up, so the outline is where
    // cos t - sin t is smallest and largest: 135 and 315 degrees, to a sample.
    const auto z = SilhouetteAngles(2, 108, 108);
    const double degrees0 = z[0] * 180.0 / std::numbers::pi;
    const double degrees1 = z[1] * 180.0 / std::numbers::pi;
    EXPECT_NEAR(std::min(degrees0, degrees1), 135.0, 1.01);
    EXPECT_NEAR(std::max(degrees0, degrees1), 315.0, 1.01);
    // Around X the axis runs down-right along (0.866, 0.5); a circle point
    // (0, cos t, sin t) lies 0.866 (cos t - sin t) s to its side: the same
    // angles.
    const auto xs = SilhouetteAngles(0, 108, 108);
    EXPECT_NEAR(std::min(xs[0], xs[1]) * 180.0 / std::numbers::pi, 135.0, 1.01);
    EXPECT_NEAR(std::max(xs[0], xs[1]) * 180.0 / std::numbers::pi, 315.0, 1.01);
}

}  // namespace
}  // namespace ridgeforge
