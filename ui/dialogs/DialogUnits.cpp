#include "ui/dialogs/DialogUnits.h"

#include <wx/clntdata.h>
#include <wx/dcclient.h>
#include <wx/stattext.h>
#include <wx/window.h>

#include <algorithm>

namespace ridgeforge {

wxRect DialogRect(const wxWindow& window, int x, int y, int width, int height) {
    const wxPoint origin = window.ConvertDialogToPixels(wxPoint(x, y));
    const wxSize size = window.ConvertDialogToPixels(wxSize(width, height));
    return wxRect(origin, size);
}

void SetWrappedText(wxStaticText& control, const wxString& text) {
    const wxSize size = control.GetSize();
    control.SetLabel(text);
    control.Wrap(size.x);
    control.SetSize(size);
}

namespace {

// The height the control was made with, and how far it has grown since.
struct GrownHeight : wxClientData {
    explicit GrownHeight(int design) : designHeight(design) {}
    int designHeight = 0;
    int grown = 0;
};

void ShiftBelow(wxWindow& parent, const wxWindow& control, int designBottom, int delta) {
    const int top = control.GetPosition().y;
    for (wxWindow* sibling : parent.GetChildren()) {
        if (sibling == &control || sibling->IsTopLevel()) continue;
        const wxRect rect = sibling->GetRect();
        if (rect.y >= designBottom) {
            sibling->Move(rect.x, rect.y + delta);
        } else if (rect.y <= top && rect.GetBottom() >= designBottom) {
            sibling->SetSize(rect.width, rect.height + delta);
        }
    }
    const wxSize client = parent.GetClientSize();
    parent.SetClientSize(client.x, client.y + delta);
}

}  // namespace

void SetGrowingWrappedText(wxStaticText& control, const wxString& text) {
    auto* grown = static_cast<GrownHeight*>(control.GetClientObject());
    if (grown == nullptr) {
        grown = new GrownHeight(control.GetSize().y);
        control.SetClientObject(grown);
    }
    const int width = control.GetSize().x;
    control.SetLabel(text);
    control.Wrap(width);
    wxClientDC dc(&control);
    dc.SetFont(control.GetFont());
    const int needed = std::max(grown->designHeight, dc.GetMultiLineTextExtent(control.GetLabel()).y);
    const int delta = needed - grown->designHeight - grown->grown;
    control.SetSize(width, needed);
    if (delta == 0 || control.GetParent() == nullptr) return;
    const int designBottom = control.GetPosition().y + grown->designHeight + grown->grown;
    grown->grown += delta;
    ShiftBelow(*control.GetParent(), control, designBottom, delta);
}

wxString UnwrappedLabel(const wxWindow& control) {
    wxString text = control.GetLabel();
    text.Replace("\n", " ");
    return text;
}

}  // namespace ridgeforge
