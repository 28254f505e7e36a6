// The content window of a workflow section. A body refreshes its controls
// from the document when its owner asks, lays them out for its size and DPI
// and says how high it wants to be; the base paints the background and, for
// a section not filled in yet, a short grey line.
#pragma once

#include <wx/string.h>
#include <wx/window.h>

#include "ui/workflow/FlowTypes.h"

class wxCheckBox;

namespace ridgeforge {

class FlowDocument;

class CSectionBody : public wxWindow {
public:
    CSectionBody() = default;
    ~CSectionBody() override = default;

    // Stores the step, takes the parent's DPI and makes the window (visible,
    // empty). False when the window could not be made.
    bool Create(wxWindow* parent, int id, FlowStep step);

    FlowStep Step() const { return step_; }
    unsigned Dpi() const { return dpi_; }

    // Stores the DPI, lays the controls out and repaints.
    virtual void SetDpi(unsigned dpi);
    // The height the body wants at its DPI, in pixels (36 dip).
    virtual int GetPreferredHeight() const;
    // Refreshes the controls from the document, which may be null.
    virtual void UpdateFromDocument(FlowDocument* document);
    // Places the child controls for the client size and DPI.
    virtual void LayoutControls();
    // What the base painter shows in an otherwise empty body.
    virtual wxString GetNotBuiltText() const;

protected:
    // Made after the window exists (controls, their fonts); false fails Create.
    virtual bool OnCreateBody() { return true; }
    // Paints the whole client area; the base paints the background and
    // the "not built" text.
    virtual void PaintBody(wxDC& dc);
    // At least the width a check box needs for its box and its label: the
    // toolkit warns of one given less, and a narrow column clips it anyway.
    // Its best size lags a change of font, so the label is measured here.
    int CheckBoxWidth(const wxCheckBox& box, int wanted) const;

    unsigned dpi_ = 96;

private:
    void OnPaint(wxPaintEvent& event);

    FlowStep step_ = FlowStep::Mapping;
};

}  // namespace ridgeforge
