// The view's windows: the area in the main frame, the OpenGL viewport that
// fills it, and the empty-state hint. A plain child control over a GL canvas
// is not drawn on GTK (the canvas's own X window covers it), so the hint is
// a borderless popup kept centred over the area.
#include <wx/dcclient.h>
#include <wx/popupwin.h>
#include <wx/settings.h>
#include <wx/toplevel.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "ui/commands/CommandIds.h"
#include "document/DocumentText.h"
#include "ui/framework/Commands.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/StartupMarks.h"
#include "ui/framework/TextMeasure.h"
#include "ui/view/OpenGLViewport.h"
#include "ui/view/RidgeforgeView.h"
#include "ui/view/RidgeforgeViewWindow.h"
#include "ui/commands/ViewCommands.h"

namespace ridgeforge {
namespace {

const wxColour kHintText(215, 222, 235);
// Room round the hint's text, in 96-DPI units.
constexpr int kHintPadding = 10;
const wxColour kHintBackground(38, 44, 56);
const wxColour kEmptyBackground(19, 23, 29);

std::uint64_t TickMilliseconds() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

class ViewportRenderSink final : public IViewRenderSink {
public:
    explicit ViewportRenderSink(COpenGLViewport& viewport) : v_(viewport), r_(viewport.renderer) {}
    bool Ready() const override { return r_.ready; }
    std::string LastError() const override { return r_.lastError; }
    bool UploadMesh(const mesh::TriangleMesh& m, const gl::ProjectedCoordinates& c, bool reframe) override {
        return r_.UploadMesh(m, &c, reframe);
    }
    bool UpdateVertexProjection(const mesh::TriangleMesh& m, const gl::ProjectedCoordinates& c) override {
        return r_.UpdateVertexProjection(m, c);
    }
    void ClearMesh() override { r_.ClearMesh(); }
    bool HasUploadedMesh() const override { return r_.part.indexCount > 0; }
    void SetEdgeOverlays(const gl::EdgeOverlay& o) override { r_.SetEdgeOverlays(o); }
    void SetPrintCheckOverlay(const gl::PrintCheckOverlay& o) override { r_.SetPrintCheckOverlay(o); }
    bool UploadHeightMap(const mesh::HeightMap& map) override { return r_.UploadHeightMapTexture(map); }
    void DeleteHeightMap() override {
        if (r_.heightMapTexture != 0 && r_.ready) {
            r_.UploadHeightMapTexture(mesh::HeightMap{});
        }
    }
    void SetCageOverlay(const gl::CageOverlay& o) override { r_.SetCageOverlay(o); }
    void ClearCageOverlay() override { v_.ClearCageOverlay(); }
    void SetGizmoOverlay(const gl::ColouredGeometry& g) override { r_.SetGizmoOverlay(g); }
    void SetMaskOverlay(const gl::ColouredGeometry& g) override { r_.SetMaskOverlay(g); }
    void SetMasks(const std::vector<mesh::MaskVolume>& masks) override { r_.masks = masks; }
    void SetRestingFaceHighlight(const std::vector<mesh::Vec3f>& p, const std::vector<mesh::Vec3f>& c) override {
        r_.SetRestingFaceHighlight(p, c);
    }
    void SetHoverFace(std::int32_t face) override { v_.interaction.hoverFace = face; }
    void SetMappingState(const gl::MappingState& state) override {
        const bool same = MappingStatesEqual(state, r_.mapping);
        r_.mapping = state;
        if (!same) Repaint();
    }
    gl::SurfaceMode SurfaceMode() const override { return r_.surfaceMode; }
    void SetSurfaceMode(gl::SurfaceMode mode) override { r_.surfaceMode = mode; }
    gl::ShadingMode ShadingMode() const override { return r_.shadingMode; }
    void SetShadingMode(gl::ShadingMode mode) override { r_.shadingMode = mode; }
    void SetShowPrintCheck(bool show) override { r_.showPrintCheck = show; }
    mesh::Vec3f EyePosition() const override { return r_.EyePosition(); }
    float PixelsToWorldAt(const mesh::Vec3f& p, float pixels) const override { return v_.PixelsToWorldAt(p, pixels); }
    float GizmoWorldSize() const override { return v_.GizmoWorldSize(); }
    float PickWorldRadius() const override { return v_.PickWorldRadius(); }
    void Repaint() override { v_.Canvas().Refresh(false); }

private:
    COpenGLViewport& v_;
    gl::Renderer& r_;
};


}  // namespace

bool MappingStatesEqual(const gl::MappingState& a, const gl::MappingState& b) {
    if (!a.blend && !b.blend) return true;
    const auto same = [](float x, float y) { return x == y; };  // NaN never equals
    const auto sameVec = [&](const mesh::Vec3f& x, const mesh::Vec3f& y) {
        return same(x.x, y.x) && same(x.y, y.y) && same(x.z, y.z);
    };
    if (a.blend != b.blend || !same(a.blendSharpness, b.blendSharpness) || !sameVec(a.cageCenter, b.cageCenter) ||
        !sameVec(a.cageAxisX, b.cageAxisX) || !sameVec(a.cageAxisY, b.cageAxisY) ||
        !sameVec(a.cageAxisZ, b.cageAxisZ) || a.sideEnabled != b.sideEnabled || a.sphere != b.sphere ||
        !same(a.sphereRadius, b.sphereRadius))
        return false;
    for (std::size_t s = 0; s < 6; ++s) {
        if (!same(a.layerOrigin[s][0], b.layerOrigin[s][0]) || !same(a.layerOrigin[s][1], b.layerOrigin[s][1]) ||
            !same(a.layerTurn[s], b.layerTurn[s]) || !same(a.layerZoom[s], b.layerZoom[s]) ||
            !sameVec(a.faceU[s], b.faceU[s]) || !sameVec(a.faceV[s], b.faceV[s]) || !sameVec(a.faceN[s], b.faceN[s]) ||
            !same(a.faceTurn[s], b.faceTurn[s]))
            return false;
    }
    return true;
}

ViewWindowParts::ViewWindowParts(CRidgeforgeView& view, wxWindow* parent, IViewShell* shell)
    : view_(view), shell_(shell) {
    area = new wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE | wxCLIP_CHILDREN);
    area->SetBackgroundStyle(wxBG_STYLE_PAINT);
    area->Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
        wxPaintDC dc(area);
        if (viewport != nullptr) return;
        dc.SetBrush(wxBrush(kEmptyBackground));
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.DrawRectangle(wxRect(area->GetClientSize()));
    });
    area->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        if (viewport != nullptr) viewport->SetSize(area->GetClientSize());
        view_.LayoutChildren();
        event.Skip();
    });
    area->Bind(wxEVT_DESTROY, [this](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == area) {
            area = nullptr;
            viewport = nullptr;
            if (hint != nullptr) hint->Destroy();
            hint = nullptr;
            view_.AttachSinks(nullptr, nullptr);
        }
        event.Skip();
    });
}

ViewWindowParts::~ViewWindowParts() {
    if (hint != nullptr) hint->Destroy();
}

void ViewWindowParts::CreateViewport() {
    if (area == nullptr || viewport != nullptr) return;
    ui::MarkStartupPhase("  the view's first update begins");
    viewport = new COpenGLViewport(area, wxPoint(0, 0), area->GetClientSize());
    ui::MarkStartupPhase("  the OpenGL viewport and its context");
    sink_ = std::make_unique<ViewportRenderSink>(*viewport);
    view_.AttachSinks(sink_.get(), shell_);
    // The statistics arrive inside the canvas's paint. Nothing that runs in
    // a paint may make a window draw at once (GTK would start a second draw
    // inside the first), so the status text is set after the paint.
    viewport->frameStatisticsCallback = [this](const gl::FrameStatistics& s) {
        if (area != nullptr) area->CallAfter([this, s] { view_.OnFrameStatistics(s, TickMilliseconds()); });
    };
    // The renderer starts at the canvas's first paint, once it is on
    // screen; the view then shows what the document already holds.
    viewport->Canvas().Bind(wxEVT_PAINT, [this](wxPaintEvent& event) {
        if (viewport != nullptr && !announced_) {
            const bool ready = viewport->EnsureRenderer();
            if (ready || viewport->MessagePanel().IsShown()) {
                announced_ = true;
                // Logged and refreshed after this paint, as above.
                area->CallAfter([this, ready] {
                    if (viewport == nullptr || shell_ == nullptr) return;
                    if (!ready) {
                        shell_->Log(L"OpenGL initialization failed: " + Utf8ToCString(viewport->renderer.lastError),
                                    LogKind::Error);
                        return;
                    }
                    if (shell_->DetailedLog()) {
                        shell_->Log(L"OpenGL viewport ready: " + Utf8ToCString(viewport->renderer.versionText),
                                    LogKind::Plain);
                    }
                    view_.ChooseSurfaceMode();
                    view_.RefreshAll();
                });
            }
        }
        event.Skip();
    });
    viewport->Show();
}

void ViewWindowParts::CreateHint() {
    if (area == nullptr || hint != nullptr) return;
    hint = new wxPopupWindow(area, wxBORDER_NONE);
    hint->SetBackgroundStyle(wxBG_STYLE_PAINT);
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    font.SetPixelSize(wxSize(0, std::max(1, font.GetPixelSize().y * 5 / 4)));
    hint->SetFont(font);
    hint->Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
        wxPaintDC dc(hint);
        const wxRect r(hint->GetClientSize());
        dc.SetBrush(wxBrush(kHintBackground));
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.DrawRectangle(r);
        dc.SetFont(hint->GetFont());
        dc.SetTextForeground(kHintText);
        dc.DrawLabel(hintLines, r, wxALIGN_CENTER);
    });
    hint->Bind(wxEVT_LEFT_UP, [this](wxMouseEvent&) {
        wxWindow* top = wxGetTopLevelParent(area);
        ui::PostCommand(top, ID_FILE_OPEN);
    });
    hint->SetCursor(wxCursor(wxCURSOR_HAND));
    // The popup is placed in screen coordinates: follow the main window.
    if (wxWindow* top = wxGetTopLevelParent(area)) {
        top->Bind(wxEVT_MOVE, [this](wxMoveEvent& event) {
            view_.LayoutChildren();
            event.Skip();
        });
        top->Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
            area->CallAfter([this] { view_.LayoutChildren(); });
            event.Skip();
        });
        top->Bind(wxEVT_ICONIZE, [this](wxIconizeEvent& event) {
            area->CallAfter([this] { view_.LayoutChildren(); });
            event.Skip();
        });
        // A popup stays above every window, a dialog over the main window
        // too; it steps aside while another window is in front.
        top->Bind(wxEVT_ACTIVATE, [this](wxActivateEvent& event) {
            frameInactive_ = !event.GetActive();
            if (area != nullptr) area->CallAfter([this] { view_.LayoutChildren(); });
            event.Skip();
        });
    }
}

void ViewWindowParts::LayoutHint(bool show) {
    if (hint == nullptr || area == nullptr) return;
    const auto* top = dynamic_cast<const wxTopLevelWindow*>(wxGetTopLevelParent(area));
    const bool iconized = top != nullptr && top->IsIconized();
    if (!show || !area->IsShownOnScreen() || iconized || frameInactive_) {
        if (hint->IsShown()) {
            hint->Hide();
            if (viewport != nullptr) viewport->Canvas().Refresh(false);
        }
        return;
    }
    const wxSize client = area->GetClientSize();
    const int width = std::min(ui::ScaleDip(540, area), client.x - 40);
    if (width <= 0) return;
    // A view narrower than the hint's line (a large text scale, a small
    // window) breaks it into lines, and the popup grows down to hold them.
    wxClientDC dc(hint);
    dc.SetFont(hint->GetFont());
    const ui::DcTextMeasure measure(dc);
    const std::wstring text = CRidgeforgeView::kHintText;
    std::vector<int> widths;
    measure.PrefixWidths(text, widths);
    const int room = std::max(1, width - ui::ScaleDip(2 * kHintPadding, area));
    hintLines.clear();
    const std::vector<ui::TextSegment> lines = ui::WrapText(text, widths, room, room);
    for (const ui::TextSegment& line : lines) {
        if (!hintLines.empty()) hintLines += "\n";
        hintLines += wxString(text.substr(static_cast<std::size_t>(line.start), static_cast<std::size_t>(line.length)));
    }
    const int height = std::max(ui::ScaleDip(44, area), static_cast<int>(lines.size()) * measure.LineHeight() +
                                                            ui::ScaleDip(2 * kHintPadding, area));
    const wxPoint topLeft = area->ClientToScreen(wxPoint((client.x - width) / 2, (client.y - height) / 2));
    hint->SetSize(wxRect(topLeft, wxSize(width, height)));
    if (!hint->IsShown()) hint->Show();
    hint->Raise();
    hint->Refresh();
}

void CRidgeforgeView::CreateViewWindow(wxWindow* parent) {
    if (window_ != nullptr) return;
    window_ = std::make_unique<ViewWindowParts>(*this, parent, frameShell_);
}

wxWindow* CRidgeforgeView::Window() const { return window_ != nullptr ? window_->area : nullptr; }

CRidgeforgeView::CRidgeforgeView() : commands(std::make_unique<ViewCommands>(*this)) { commands->Register(commands_); }

void CRidgeforgeView::OnInitialUpdate() {
    ui::View::OnInitialUpdate();
    ApplyShading();
    if (window_ != nullptr) {
        window_->CreateViewport();
        window_->CreateHint();
        if (window_->viewport != nullptr) window_->viewport->SetHosts(this, this);
    }
    ToolStatusText();
    RefreshAll();
    LayoutChildren();
}

void CRidgeforgeView::LayoutChildren() {
    const bool show = !PartLoaded();
    hintVisible = show;
    if (window_ != nullptr) window_->LayoutHint(show);
}

}  // namespace ridgeforge
