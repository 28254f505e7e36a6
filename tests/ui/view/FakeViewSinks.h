// Recorders standing in for the renderer behind the viewport and for the
// main window, so the view's refresh rules run without a GL context.
#pragma once

#include <string>
#include <vector>

#include "tests/document/FakeHost.h"
#include "ui/view/RidgeforgeView.h"
#include "ui/view/ViewSinks.h"

namespace ridgeforge::testing {

class FakeRenderSink : public IViewRenderSink {
public:
    bool ready = true;
    bool refuseUploads = false;
    std::string error = "out of memory";
    int uploads = 0;
    int projectionUpdates = 0;
    int clears = 0;
    bool lastReframe = false;
    mesh::TriangleMesh uploaded;
    gl::ProjectedCoordinates uploadedRecord;
    gl::ProjectedCoordinates projectedRecord;
    std::vector<std::uint64_t> attemptedTriangles;
    std::vector<mesh::Vec3f> highlightPoints;
    std::vector<mesh::Vec3f> highlightColours;
    std::int32_t hoverFace = 99;
    gl::MappingState mapping;
    gl::SurfaceMode surface = gl::SurfaceMode::Plain;
    gl::ShadingMode shading = gl::ShadingMode::Smooth;
    std::vector<mesh::MaskVolume> masks;
    mesh::Vec3f eye{100.0f, 0.0f, 0.0f};
    int repaints = 0;

    bool Ready() const override { return ready; }
    std::string LastError() const override { return error; }
    bool UploadMesh(const mesh::TriangleMesh& m, const gl::ProjectedCoordinates& c, bool reframe) override {
        attemptedTriangles.push_back(m.TriangleCount());
        if (refuseUploads) return false;
        ++uploads;
        uploaded = m;
        uploadedRecord = c;
        lastReframe = reframe;
        return true;
    }
    bool UpdateVertexProjection(const mesh::TriangleMesh& m, const gl::ProjectedCoordinates& c) override {
        if (m.indices.size() != uploaded.indices.size()) return false;
        ++projectionUpdates;
        projectedRecord = c;
        return true;
    }
    void ClearMesh() override {
        ++clears;
        uploaded = {};
    }
    bool HasUploadedMesh() const override { return !uploaded.indices.empty(); }
    void SetEdgeOverlays(const gl::EdgeOverlay&) override {}
    void SetPrintCheckOverlay(const gl::PrintCheckOverlay&) override {}
    bool UploadHeightMap(const mesh::HeightMap&) override { return true; }
    void DeleteHeightMap() override {}
    void SetCageOverlay(const gl::CageOverlay&) override {}
    void ClearCageOverlay() override {}
    void SetGizmoOverlay(const gl::ColouredGeometry&) override {}
    void SetMaskOverlay(const gl::ColouredGeometry&) override {}
    void SetMasks(const std::vector<mesh::MaskVolume>& m) override { masks = m; }
    void SetRestingFaceHighlight(const std::vector<mesh::Vec3f>& p, const std::vector<mesh::Vec3f>& c) override {
        highlightPoints = p;
        highlightColours = c;
    }
    void SetHoverFace(std::int32_t face) override { hoverFace = face; }
    void SetMappingState(const gl::MappingState& state) override { mapping = state; }
    gl::SurfaceMode SurfaceMode() const override { return surface; }
    void SetSurfaceMode(gl::SurfaceMode mode) override { surface = mode; }
    gl::ShadingMode ShadingMode() const override { return shading; }
    void SetShadingMode(gl::ShadingMode mode) override { shading = mode; }
    void SetShowPrintCheck(bool) override {}
    mesh::Vec3f EyePosition() const override { return eye; }
    float PixelsToWorldAt(const mesh::Vec3f&, float pixels) const override { return pixels * 0.1f; }
    float GizmoWorldSize() const override { return 5.0f; }
    float PickWorldRadius() const override { return 1.0f; }
    void Repaint() override { ++repaints; }
};

class FakeShell : public IViewShell {
public:
    CString information;
    CString message;
    InfoKind messageKind = InfoKind::Good;
    std::vector<CString> messages;
    std::vector<std::pair<CString, LogKind>> log;
    CString toolText;
    CString frameText;
    int toolTextSets = 0;
    int frameTextSets = 0;
    int waitDepth = 0;

    void SetInformationText(const CString& text) override { information = text; }
    void ShowMessage(const CString& text, InfoKind kind) override {
        message = text;
        messageKind = kind;
        messages.push_back(text);
    }
    CString Message() const override { return message; }
    void Log(const CString& text, LogKind kind) override { log.emplace_back(text, kind); }
    bool DetailedLog() const override { return false; }
    void SetToolText(const CString& text) override {
        toolText = text;
        ++toolTextSets;
    }
    void SetFrameText(const CString& text) override {
        frameText = text;
        ++frameTextSets;
    }
    void BeginWaitCursor() override { ++waitDepth; }
    void EndWaitCursor() override { --waitDepth; }
};

// A view attached to a real document and to the two recorders, for the
// view's tests and its commands' tests; detached again at the end.
struct AttachedView {
    test::HostedDocument hosted;
    CRidgeforgeDoc& doc = hosted.doc;
    FakeRenderSink sink;
    FakeShell shell;
    CRidgeforgeView view;

    AttachedView() {
        view.SetDocument(&doc);
        doc.AddView(&view);
        view.AttachSinks(&sink, &shell);
    }
    ~AttachedView() { doc.RemoveView(&view); }
    AttachedView(const AttachedView&) = delete;
    AttachedView& operator=(const AttachedView&) = delete;
};

}  // namespace ridgeforge::testing
