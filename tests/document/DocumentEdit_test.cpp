// The document's one edit operation: whatever a change does inside it is one
// undo step and one refresh of the views; choices that are not settings
// make no step.
#include <gtest/gtest.h>

#include <vector>

#include "document/RidgeforgeDoc.h"
#include "tests/document/FakeHost.h"

namespace ridgeforge {
namespace {

using test::HostedDocument;

struct RecordingView : DocumentView {
    std::vector<ViewUpdateHint> hints;
    void OnUpdate(DocumentView*, ViewUpdateHint hint) override { hints.push_back(hint); }
};

// A document with a part and a view that records what it is told.
struct EditedDocument : HostedDocument {
    RecordingView view;
    EditedDocument() {
        doc.OnTestCube();
        doc.AddView(&view);
    }
    ~EditedDocument() { doc.RemoveView(&view); }
};

TEST(DocumentEdit, OperationsInsideOneEditAreOneUndoStepAndOneRefresh) {
    EditedDocument d;
    const std::size_t depth = d.doc.undoStack.size();
    ASSERT_TRUE(d.doc.projection.box.sideEnabled[2]);
    // Each of these alone records a step and refreshes the views.
    d.doc.Edit([&](DocumentEdit& edit) {
        edit.projection.box.blended = true;
        d.doc.SetSurfaceForAllSides(static_cast<std::uint32_t>(mesh::SurfaceSelection::Outside));
        edit.projection.box.sideEnabled[2] = false;
        edit.displacementSettings.strengthMillimetres = 0.9f;
    });
    EXPECT_EQ(d.doc.undoStack.size(), depth + 1);
    EXPECT_EQ(d.view.hints, std::vector<ViewUpdateHint>{ViewUpdateHint::PlacementChanged});

    d.doc.OnEditUndo();
    EXPECT_FALSE(d.doc.projection.box.blended);
    EXPECT_EQ(d.doc.projection.box.sideSurface[0], mesh::SurfaceSelection::Both);
    EXPECT_EQ(d.doc.projection.cylinder.surface, mesh::SurfaceSelection::Both);
    EXPECT_TRUE(d.doc.projection.box.sideEnabled[2]);
    EXPECT_NE(d.doc.displacementSettings.strengthMillimetres, 0.9f);
    EXPECT_EQ(d.doc.undoStack.size(), depth);
    d.doc.OnEditRedo();
    EXPECT_TRUE(d.doc.projection.box.blended);
    EXPECT_EQ(d.doc.projection.box.sideSurface[5], mesh::SurfaceSelection::Outside);
    EXPECT_FALSE(d.doc.projection.box.sideEnabled[2]);
    EXPECT_FLOAT_EQ(d.doc.displacementSettings.strengthMillimetres, 0.9f);
}

TEST(DocumentEdit, TheSameWritesOutsideAnEditAreTwoSteps) {
    // What the edit mends: each settings-changed call is a step of its own.
    EditedDocument d;
    const std::size_t depth = d.doc.undoStack.size();
    d.doc.projection.box.blended = true;
    d.doc.OnSettingsChanged();
    d.doc.SetSurfaceForAllSides(static_cast<std::uint32_t>(mesh::SurfaceSelection::Inside));
    EXPECT_EQ(d.doc.undoStack.size(), depth + 2);
    EXPECT_EQ(d.view.hints.size(), 2u);
}

TEST(DocumentEdit, AnInnerEditJoinsTheOuterOne) {
    EditedDocument d;
    const std::size_t depth = d.doc.undoStack.size();
    d.doc.Edit([&](DocumentEdit& outer) {
        outer.remeshEnabled = false;
        d.doc.Edit([](DocumentEdit& inner) { inner.simplifyEnabled = false; });
        EXPECT_TRUE(d.doc.InEdit());
        // The inner edit's end neither recorded nor refreshed.
        EXPECT_EQ(d.doc.undoStack.size(), depth);
        EXPECT_TRUE(d.view.hints.empty());
    });
    EXPECT_FALSE(d.doc.InEdit());
    EXPECT_EQ(d.doc.undoStack.size(), depth + 1);
    EXPECT_EQ(d.view.hints.size(), 1u);
    d.doc.OnEditUndo();
    EXPECT_TRUE(d.doc.remeshEnabled);
    EXPECT_TRUE(d.doc.simplifyEnabled);
}

TEST(DocumentEdit, HeldUpdatesAreSentOncePerHintInTheOrderAsked) {
    EditedDocument d;
    d.doc.Edit([&](DocumentEdit&) {
        d.doc.UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
        d.doc.UpdateAllViews(nullptr, ViewUpdateHint::PrintCheckFinished);
        d.doc.UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
    });
    // The edit's own tail adds the placement hint last.
    const std::vector<ViewUpdateHint> expected{ViewUpdateHint::FullRefresh, ViewUpdateHint::PrintCheckFinished,
                                               ViewUpdateHint::PlacementChanged};
    EXPECT_EQ(d.view.hints, expected);
    // Outside an edit nothing is held.
    d.view.hints.clear();
    d.doc.UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
    d.doc.UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
    EXPECT_EQ(d.view.hints.size(), 2u);
}

TEST(DocumentEdit, WithoutAPartTheEditChangesAndRecordsNothing) {
    HostedDocument d;
    d.doc.Edit([](DocumentEdit& edit) { edit.maximumTriangles = 5; });
    EXPECT_EQ(d.doc.maximumTriangles, 5u);
    EXPECT_TRUE(d.doc.undoStack.empty());
    EXPECT_FALSE(d.doc.InEdit());
}

TEST(DocumentEdit, ChoosingALayerOrAMaskIsNoUndoStep) {
    EditedDocument d;
    ASSERT_EQ(d.doc.AddMaskVolume(0), 0);
    ASSERT_EQ(d.doc.AddMaskVolume(2), 1);
    const std::size_t depth = d.doc.undoStack.size();
    d.view.hints.clear();

    d.doc.SelectLayer(5);
    EXPECT_EQ(d.doc.projection.activeLayer, 5);
    d.doc.SelectLayer(5);  // unchanged: no refresh
    d.doc.SelectLayer(6);  // past the last side: every layer
    EXPECT_EQ(d.doc.projection.activeLayer, -1);
    d.doc.SelectLayer(0);
    EXPECT_EQ(d.doc.projection.activeLayer, 0);
    d.doc.SelectLayer(-3);
    EXPECT_EQ(d.doc.projection.activeLayer, -1);
    EXPECT_EQ(d.view.hints.size(), 4u);

    d.doc.SelectMask(0);
    EXPECT_EQ(d.doc.activeMask, 0);
    d.doc.SelectMask(2);  // past the last volume: the last
    EXPECT_EQ(d.doc.activeMask, 1);
    d.doc.SelectMask(-5);
    EXPECT_EQ(d.doc.activeMask, -1);
    EXPECT_EQ(d.view.hints.size(), 7u);
    EXPECT_EQ(d.doc.undoStack.size(), depth);
}

TEST(DocumentEdit, ALayerDragStartsFromTheLayersAsTheyWere) {
    EditedDocument d;
    d.doc.Edit([](DocumentEdit& edit) { edit.projection.layer[3].zoom = 2.0f; });
    const std::size_t depth = d.doc.undoStack.size();
    d.doc.BeginLayerDrag();
    EXPECT_FLOAT_EQ(d.doc.dragStartLayers[3].zoom, 2.0f);
    d.doc.DragTextureLayers(3, {1.0f, 0.0f, 0.0f, 4.0f});
    d.doc.DragTextureLayers(3, {2.0f, 0.0f, 0.0f, 3.0f});
    d.doc.DropUnchangedSnapshot();
    // Every layer in use moved by the ratio 3 / 2 from where the drag began.
    EXPECT_FLOAT_EQ(d.doc.projection.layer[3].zoom, 3.0f);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].zoom, 1.5f);
    EXPECT_EQ(d.doc.undoStack.size(), depth + 1);
    d.doc.OnEditUndo();
    EXPECT_FLOAT_EQ(d.doc.projection.layer[3].zoom, 2.0f);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].zoom, 1.0f);
}

}  // namespace
}  // namespace ridgeforge
