// The levels control: the image's histogram over an input strip with three
// draggable markers (black, gamma, white) and an output ramp with two (low,
// high), each value also in a small box. The owner sets the values and the
// histogram, then calls UpdateEdits and Refresh. A change the user made (by
// typing, only when a value really changed, and after every drag) reaches
// the parent as a kEvtLevelsChanged command event with the control's id.
#pragma once

#include <wx/window.h>

#include <array>
#include <cstdint>
#include <vector>

#include "ui/dialogs/LevelsRules.h"

class wxTextCtrl;

namespace ridgeforge {

wxDECLARE_EVENT(kEvtLevelsChanged, wxCommandEvent);

class CLevelsControl : public wxWindow {
public:
    static constexpr int kControlId = 1305;

    CLevelsControl() = default;
    ~CLevelsControl() override;
    // A visible child with the five boxes (ids 1 to 5), laid out for `rect`.
    bool Create(wxWindow* parent, const wxRect& rect);

    LevelValues values;
    std::vector<std::uint32_t> histogram;

    // Refills the five boxes from the values.
    void UpdateEdits();
    // Takes the typed boxes (Enter, or a box losing the focus).
    void CommitEdits();
    // Drops the typing (Escape).
    void RevertEdits() { UpdateEdits(); }

    wxTextCtrl* Box(int marker) const { return boxes_[static_cast<std::size_t>(marker - 1)]; }
    const LevelsLayout& Layout() const { return layout_; }
    int DraggedMarker() const { return dragging_; }

    static const wxColour kHistogramFace;
    static const wxColour kHistogramFaceDisabled;
    static const wxColour kBar;
    static const wxColour kBarDisabled;

protected:
    // Also when the dialog around it is greyed: the boxes follow as children.
    void DoEnable(bool enable) override;

private:
    void LayOut();
    void OnPaint(wxPaintEvent& event);
    void OnMouseDown(wxMouseEvent& event);
    void OnMouseMove(wxMouseEvent& event);
    void OnMouseUp(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void ApplyDrag(int x);
    void EndDrag(bool notify);
    void Notify();
    void DrawMarker(wxDC& dc, int x, int bottom, const wxColour& colour, bool filled);

    std::array<wxTextCtrl*, 5> boxes_{};
    LevelsLayout layout_;
    int dragging_ = kNoMarker;
    bool updating_ = false;
    unsigned dpi_ = 96;
};

}  // namespace ridgeforge
