// Parts whose box is far larger than the part: the 20 mm cube with one
// corner pulled out to 1e10 mm, and the cube scaled to 3e38 mm. Every check
// and tool gives a clear refusal or result and keeps the part as it was;
// none asks for memory in proportion to the box.
#include <gtest/gtest.h>

#include <utility>

#include "document/RidgeforgeDoc.h"
#include "testing/Shapes.h"
#include "tests/document/ToolHost.h"

namespace ridgeforge {
namespace {

using test::SameBytes;
using test::ToolDocument;

void AdoptPart(CRidgeforgeDoc& doc, mesh::TriangleMesh part) {
    test::AdoptPart(doc, std::move(part), L"/parts/far.stl");
}

// The first corner of the cube (its lowest) moved out along the axis.
mesh::TriangleMesh CubeWithAStrayCorner(int axis) {
    mesh::TriangleMesh m = test::MakeBox({-10, -10, -10}, {10, 10, 10});
    m.vertices[0].position[axis] = 1e10f;
    return m;
}

mesh::TriangleMesh CubeOf3e38() {
    mesh::TriangleMesh m = test::MakeBox({-10, -10, -10}, {10, 10, 10});
    for (mesh::Vertex& v : m.vertices) v.position = v.position * 1.5e37f;
    return m;
}

TEST(FarFlungParts, CheckPrintabilityRefusesAStrayCornerAndSaysWhy) {
    for (int axis : {0, 2}) {
        ToolDocument d;
        d.doc.OnTestCube();
        d.doc.OnCheckPrintability();
        ASSERT_TRUE(d.doc.printability.checked);
        AdoptPart(d.doc, CubeWithAStrayCorner(axis));
        const mesh::TriangleMesh before = d.doc.partAsLoaded;
        d.doc.OnCheckPrintability();
        EXPECT_FALSE(d.doc.printability.checked) << axis;
        ASSERT_NE(d.host.LastInfo(), nullptr);
        const CString info = d.host.LastInfo()->text;
        EXPECT_EQ(info.rfind(L"Printability not checked: the part is too large to check: ", 0), 0u) << axis;
        EXPECT_EQ(info.find(L"Every layer has something beneath it"), CString::npos);
        EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Problem);
        EXPECT_TRUE(d.host.Logged(L"Printability: not checked: the part is too large to check: "));
        EXPECT_TRUE(SameBytes(d.doc.partAsLoaded, before));
        EXPECT_FALSE(d.doc.IsModified());
    }
}

// Both sides of the limit on an ordinary cube, where the estimate is worked
// out by hand: 2400 mm2 over an equilateral triangle of 0.5 mm
// (sqrt(3) / 4 x 0.25 = 0.10825 mm2) is 22,170 triangles.
TEST(FarFlungParts, RemeshInputMeshKeepsProcesssTriangleLimit) {
    ToolDocument d;
    d.doc.OnTestCube();
    d.doc.SetModifiedFlag(false);
    const mesh::TriangleMesh cube = d.doc.partAsLoaded;
    mesh::RemeshSettings isotropic = d.doc.remeshSettings;
    isotropic.method = mesh::kRemeshIsotropic;
    isotropic.targetEdgeMillimetres = 0.5f;

    d.doc.maximumTriangles = 22'169;
    EXPECT_FALSE(d.doc.RemeshInputMesh(isotropic));
    const CString refusal =
        L"Remesh Input Mesh: about 22,170 triangles, which is over the limit. Nothing was changed; use a larger "
        L"triangle size.";
    ASSERT_FALSE(d.host.log.empty());
    EXPECT_EQ(d.host.log.back().text, refusal);
    EXPECT_EQ(d.host.log.back().kind, LogKind::Error);
    EXPECT_EQ(d.host.LastInfo()->text, refusal);
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Problem);
    EXPECT_FALSE(d.host.Logged(L"Esc stops it."));
    EXPECT_TRUE(SameBytes(d.doc.partAsLoaded, cube));
    EXPECT_FALSE(d.doc.partChanged);
    EXPECT_FALSE(d.doc.IsModified());

    d.doc.maximumTriangles = 22'170;
    EXPECT_TRUE(d.doc.RemeshInputMesh(isotropic));
    EXPECT_GT(d.doc.partAsLoaded.TriangleCount(), 12u);
    EXPECT_TRUE(d.doc.partChanged);

    // The dialog is given the same limit, so it can say so first.
    d.host.remeshChoice.reset();
    d.doc.OnRemeshInputMesh();
    ASSERT_EQ(d.host.remeshLimits.size(), 1u);
    EXPECT_EQ(d.host.remeshLimits[0], 22'170u);
}

TEST(FarFlungParts, RemeshInputMeshRefusesACubeOf3e38ByEitherMethod) {
    ToolDocument d;
    AdoptPart(d.doc, CubeOf3e38());
    const mesh::TriangleMesh before = d.doc.partAsLoaded;
    ASSERT_EQ(d.doc.maximumTriangles, 18'000'000u);
    for (const mesh::RemeshMethod method : {mesh::kRemeshIsotropic, mesh::kRemeshContour}) {
        mesh::RemeshSettings settings = d.doc.remeshSettings;
        settings.method = method;
        EXPECT_FALSE(d.doc.RemeshInputMesh(settings));
        EXPECT_EQ(d.host.log.back().kind, LogKind::Error);
        EXPECT_NE(d.host.log.back().text.find(L" triangles, which is over the limit. Nothing was changed"),
                  CString::npos);
    }
    EXPECT_TRUE(SameBytes(d.doc.partAsLoaded, before));
    EXPECT_FALSE(d.doc.IsModified());
}

// The weld tolerance of a repair grows with the farthest point, so the stray
// corner welds the whole cube away; the part must not be replaced by nothing.
TEST(FarFlungParts, ARepairThatWouldLeaveNoTrianglesKeepsThePart) {
    ToolDocument d;
    AdoptPart(d.doc, CubeWithAStrayCorner(2));
    const mesh::TriangleMesh before = d.doc.partAsLoaded;
    EXPECT_FALSE(d.doc.RepairMeshInPlace());
    EXPECT_TRUE(d.host.Logged(L"Repair: refused; it would have removed all 12 triangles, so the part is as it was."));
    ASSERT_FALSE(d.host.info.empty());
    EXPECT_EQ(d.host.info.back().kind, InfoKind::Problem);
    EXPECT_TRUE(SameBytes(d.doc.partAsLoaded, before));
    EXPECT_EQ(d.doc.workingPart.TriangleCount(), 12u);
    EXPECT_FALSE(d.doc.partChanged);
    EXPECT_FALSE(d.doc.IsModified());
}

// The other tools run on both parts to an answer, and leave them as they were.
TEST(FarFlungParts, TheOtherToolsFinishAndKeepThePart) {
    for (const mesh::TriangleMesh& part : {CubeWithAStrayCorner(0), CubeWithAStrayCorner(2), CubeOf3e38()}) {
        ToolDocument d;
        AdoptPart(d.doc, part);
        const mesh::TriangleMesh before = d.doc.partAsLoaded;
        d.doc.OnValidate();
        EXPECT_EQ(d.doc.partValidation.triangleCount, 12u);
        EXPECT_FALSE(d.doc.MeshInformationReport().empty());
        EXPECT_FALSE(d.doc.SimplifyInputMesh());
        EXPECT_TRUE(d.host.Logged(L"Simplify Input Mesh: Mesh simplify"));
        d.doc.OnCheckPrintability();
        EXPECT_FALSE(d.doc.printability.checked);
        EXPECT_TRUE(SameBytes(d.doc.partAsLoaded, before));
        EXPECT_FALSE(d.doc.IsModified());
    }
}

}  // namespace
}  // namespace ridgeforge
