// The Mapping section's body: the projection types (Box, Plane, Cylinder,
// Sphere), a small isometric picture of the chosen projection, the axis
// buttons, the list of the projection's sides (each switched on or off and
// chosen for editing) and the surfaces buttons. The type, axis, surfaces
// and box or sphere side switches are view commands sent to the main
// window; the cylinder's wall and caps and the side being edited are
// written to the document here.
#pragma once

#include <functional>
#include <vector>

#include "relief/mapping/Projection.h"
#include "ui/app/ToolbarHostWnd.h"
#include "ui/workflow/MappingRows.h"
#include "ui/workflow/SectionBody.h"

class wxStaticText;

namespace ridgeforge {

class CMappingPicture : public wxWindow {
public:
    bool Create(wxWindow* parent, int id, unsigned dpi);
    // Takes the three and repaints when any of them changed.
    void SetState(const mesh::Projection& projection, int axis, bool hasPart);
    void SetDpi(unsigned dpi);
    // Paints the picture into any DC of the given size.
    void PaintPicture(wxDC& dc, const wxSize& size) const;

    const mesh::Projection& Projection() const { return projection_; }
    int Axis() const { return axis_; }
    bool HasPart() const { return hasPart_; }

private:
    void OnPaint(wxPaintEvent& event);

    unsigned dpi_ = 96;
    mesh::Projection projection_;
    int axis_ = 2;
    bool hasPart_ = false;
};

class CProjectorList : public wxWindow {
public:
    // Gets the clicked row and whether the click selects it (else it was
    // on the row's check box).
    using ClickCallback = std::function<void(int, bool)>;

    bool Create(wxWindow* parent, int id, unsigned dpi);
    void SetRows(std::vector<ProjectorRow> rows, int selected);
    void SetDpi(unsigned dpi);
    void SetClickCallback(ClickCallback callback) { onClick_ = std::move(callback); }

    const std::vector<ProjectorRow>& Rows() const { return rows_; }
    int Selected() const { return selected_; }
    int ScrollOffset() const { return scroll_; }
    int HoverRow() const { return hover_; }

    void UpdateScroll();
    void ScrollTo(int offset);
    void Press(const wxPoint& point);
    void ScrollByWheel(int wheelDelta);

private:
    void OnPaint(wxPaintEvent& event);
    void OnScroll(wxScrollWinEvent& event);
    void OnMotion(wxMouseEvent& event);

    std::vector<ProjectorRow> rows_;
    int selected_ = -1;
    int scroll_ = 0;
    int hover_ = -1;
    unsigned dpi_ = 96;
    ClickCallback onClick_;
};

class CMappingBody : public CSectionBody {
public:
    void SetDpi(unsigned dpi) override;
    int GetPreferredHeight() const override;
    void UpdateFromDocument(FlowDocument* document) override;
    void LayoutControls() override;
    wxString GetNotBuiltText() const override { return {}; }

    // A click on a row of the side list: `select` chooses the side for
    // editing (a second click clears it), else its check box was clicked.
    void OnSideClicked(int row, bool select);

    CToolbarHostWnd* ProjectionStrip() const { return projections_; }
    CMappingPicture* Picture() const { return picture_; }
    CToolbarHostWnd* AxisStrip() const { return axes_; }
    CProjectorList* SideList() const { return sides_; }
    wxStaticText* SurfacesLabel() const { return surfacesLabel_; }
    CToolbarHostWnd* SurfacesStrip() const { return surfaces_; }

protected:
    bool OnCreateBody() override;

private:
    CToolbarHostWnd* projections_ = nullptr;
    CMappingPicture* picture_ = nullptr;
    CToolbarHostWnd* axes_ = nullptr;
    CProjectorList* sides_ = nullptr;
    wxStaticText* surfacesLabel_ = nullptr;
    CToolbarHostWnd* surfaces_ = nullptr;
};

// The command that switches a box or sphere side (32801 + side).
inline constexpr CommandId kToggleSideFirst = 32801;

}  // namespace ridgeforge
