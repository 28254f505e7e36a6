#include "dialogs/DialogUnits.h"

#include <wx/stattext.h>
#include <wx/window.h>

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

wxString UnwrappedLabel(const wxWindow& control) {
    wxString text = control.GetLabel();
    text.Replace("\n", " ");
    return text;
}

}  // namespace ridgeforge
