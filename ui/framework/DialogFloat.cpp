#include "ui/framework/DialogFloat.h"

#include <wx/textentry.h>
#include <wx/window.h>

#include <cmath>
#include <string>

#include "text/NumberText.h"

namespace ridgeforge::ui {
namespace {

wxTextEntry* AsTextEntry(wxWindow* window) { return window == nullptr ? nullptr : dynamic_cast<wxTextEntry*>(window); }

}  // namespace

wxString FormatFloatField(float value) {
    return wxString::FromUTF8(FormatGeneral(static_cast<double>(value), 6).c_str());
}

float ParseFloatField(const wxString& text, float fallback) {
    wxString trimmed = text;
    trimmed.Trim(true).Trim(false);
    if (trimmed.empty()) return fallback;
    const std::string utf8 = trimmed.ToStdString(wxConvUTF8);
    const auto parsed = ParseNumberPrefix(utf8);
    if (!parsed || !std::isfinite(*parsed)) return fallback;
    const float value = static_cast<float>(*parsed);
    return std::isfinite(value) ? value : fallback;
}

void SetDlgItemFloat(wxWindow* dialog, int id, float value) {
    if (dialog == nullptr) return;
    wxWindow* control = dialog->FindWindow(id);
    if (control == nullptr) return;
    if (wxTextEntry* entry = AsTextEntry(control))
        entry->ChangeValue(FormatFloatField(value));
    else
        control->SetLabel(FormatFloatField(value));
}

float GetDlgItemFloat(const wxWindow* dialog, int id, float fallback) {
    if (dialog == nullptr) return fallback;
    wxWindow* control = dialog->FindWindow(id);
    if (control == nullptr) return fallback;
    if (const wxTextEntry* entry = AsTextEntry(control)) return ParseFloatField(entry->GetValue(), fallback);
    return ParseFloatField(control->GetLabel(), fallback);
}

}  // namespace ridgeforge::ui
