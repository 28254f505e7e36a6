#include "tests/support/ui/TextFit.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/dcclient.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/tglbtn.h>

#include <dlfcn.h>

#include <algorithm>
#include <sstream>

namespace ridgeforge::testing {
namespace {

// Room the generic list control keeps between a cell's text and its edges.
constexpr int kListCellMargin = 8;
// Room the status bar keeps round a field's text.
constexpr int kStatusFieldMargin = 4;

std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

wxSize TextExtent(const wxWindow& window, const wxString& text) {
    wxClientDC dc(const_cast<wxWindow*>(&window));
    dc.SetFont(window.GetFont());
    return dc.GetMultiLineTextExtent(text);
}

void Note(std::vector<TextShortfall>& out, const char* kind, const wxString& text, int needed, int got,
          bool height = false) {
    if (needed > got) out.push_back({kind, Utf8(text), needed, got, height});
}

void CheckLabel(wxStaticText& label, std::vector<TextShortfall>& out) {
    const wxString text = label.GetLabelText();
    if (text.empty()) return;
    const wxSize needed = TextExtent(label, text);
    const wxSize got = label.GetClientSize();
    Note(out, "label", text, needed.x, got.x);
    Note(out, "label", text, needed.y, got.y, true);
}

// What a button with this label needs: the toolkit's own size for a button
// that fits its label exactly, in the same font.
void CheckButton(wxAnyButton& button, std::vector<TextShortfall>& out) {
    const wxString label = button.GetLabelText();
    if (label.empty() || button.GetBitmap().IsOk()) return;
    auto* probe = new wxButton(button.GetParent(), wxID_ANY, button.GetLabel(), wxPoint(-1000, -1000),
                               wxDefaultSize, wxBU_EXACTFIT);
    probe->Hide();
    probe->SetFont(button.GetFont());
    const wxSize needed = probe->GetBestSize();
    probe->Destroy();
    Note(out, "button", label, needed.x, button.GetSize().x);
}

void CheckBestSized(wxControl& control, const char* kind, std::vector<TextShortfall>& out) {
    const wxString label = control.GetLabelText();
    if (label.empty()) return;
    control.InvalidateBestSize();
    Note(out, kind, label, control.GetBestSize().x, control.GetSize().x);
}

void CheckField(wxControl& control, const wxString& text, const char* kind, std::vector<TextShortfall>& out) {
    if (text.empty()) return;
    Note(out, kind, text, control.GetSizeFromText(text).x, control.GetSize().x);
}

// A single-line field's text needs the room inside the entry's frame and
// padding: the toolkit's text area, asked of GTK (loaded with the window
// library) by name.
void CheckEntry(wxTextCtrl& field, std::vector<TextShortfall>& out) {
    const wxString text = field.GetValue();
    if (text.empty()) return;
    struct Area {
        int x, y, width, height;
    };
    using TextArea = void (*)(void*, Area*);
    static const auto textArea = reinterpret_cast<TextArea>(dlsym(RTLD_DEFAULT, "gtk_entry_get_text_area"));
    Area area{0, 0, 0, 0};
    if (textArea == nullptr || field.GetHandle() == nullptr) {
        CheckField(field, text, "edit field", out);
        return;
    }
    textArea(field.GetHandle(), &area);
    Note(out, "edit field", text, TextExtent(field, text).x, area.width);
}

void CheckList(wxListCtrl& list, std::vector<TextShortfall>& out) {
    if (!list.InReportView()) return;
    const int columns = list.GetColumnCount();
    for (long row = 0; row < list.GetItemCount(); ++row)
        for (int column = 0; column < columns; ++column) {
            const wxString text = list.GetItemText(row, column);
            if (text.empty()) continue;
            int needed = TextExtent(list, text).x + kListCellMargin;
            wxListItem item;
            item.SetId(row);
            item.SetColumn(column);
            item.SetMask(wxLIST_MASK_IMAGE);
            if (list.GetItem(item) && item.GetImage() >= 0 && list.GetImageList(wxIMAGE_LIST_SMALL) != nullptr) {
                int imageWidth = 0, imageHeight = 0;
                list.GetImageList(wxIMAGE_LIST_SMALL)->GetSize(item.GetImage(), imageWidth, imageHeight);
                needed += imageWidth + kListCellMargin / 2;
            }
            Note(out, "list row", text, needed, list.GetColumnWidth(column));
        }
}

void CheckStatusBar(wxStatusBar& bar, std::vector<TextShortfall>& out) {
    for (int field = 0; field < bar.GetFieldsCount(); ++field) {
        const wxString text = bar.GetStatusText(field);
        wxRect rect;
        if (text.empty() || !bar.GetFieldRect(field, rect)) continue;
        Note(out, "status field", text, TextExtent(bar, text).x + kStatusFieldMargin, rect.width);
    }
}

void Walk(wxWindow& window, const std::vector<const wxWindow*>& allowed, std::vector<TextShortfall>& out) {
    if (!window.IsShown()) return;
    if (std::find(allowed.begin(), allowed.end(), &window) != allowed.end()) return;
    if (auto* label = dynamic_cast<wxStaticText*>(&window)) {
        CheckLabel(*label, out);
    } else if (auto* box = dynamic_cast<wxCheckBox*>(&window)) {
        CheckBestSized(*box, "check box", out);
    } else if (auto* radio = dynamic_cast<wxRadioButton*>(&window)) {
        CheckBestSized(*radio, "radio button", out);
    } else if (auto* button = dynamic_cast<wxAnyButton*>(&window)) {
        CheckButton(*button, out);
    } else if (auto* combo = dynamic_cast<wxComboBox*>(&window)) {
        CheckField(*combo, combo->GetValue(), "combo box", out);
    } else if (auto* choice = dynamic_cast<wxChoice*>(&window)) {
        CheckField(*choice, choice->GetStringSelection(), "choice", out);
    } else if (auto* field = dynamic_cast<wxTextCtrl*>(&window)) {
        if (!field->IsMultiLine()) CheckEntry(*field, out);
    } else if (auto* list = dynamic_cast<wxListCtrl*>(&window)) {
        CheckList(*list, out);
    } else if (auto* bar = dynamic_cast<wxStatusBar*>(&window)) {
        CheckStatusBar(*bar, out);
    } else if (auto* staticBox = dynamic_cast<wxStaticBox*>(&window)) {
        const wxString text = staticBox->GetLabelText();
        if (!text.empty()) Note(out, "box caption", text, TextExtent(*staticBox, text).x, staticBox->GetSize().x);
    }
    for (wxWindow* child : window.GetChildren())
        if (!child->IsTopLevel()) Walk(*child, allowed, out);
}

}  // namespace

std::vector<TextShortfall> FindShortTexts(wxWindow& root, const std::vector<const wxWindow*>& ellipsisAllowed) {
    std::vector<TextShortfall> out;
    Walk(root, ellipsisAllowed, out);
    return out;
}

std::string Describe(const std::vector<TextShortfall>& shortfalls) {
    std::ostringstream text;
    for (const auto& each : shortfalls)
        text << "  " << each.control << " \"" << each.text << "\": needs " << each.needed << " px "
             << (each.height ? "down" : "across") << ", has " << each.got << "\n";
    return text.str();
}

}  // namespace ridgeforge::testing
