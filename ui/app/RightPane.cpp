// Creation, messages and layout of the Information pane.
#include "ui/app/RightPane.h"

#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/TextMeasure.h"

#include <wx/dcmemory.h>
#include <wx/textctrl.h>

#include <algorithm>

namespace ridgeforge {
namespace {

struct MessageColours {
    wxColour background;
    wxColour text;
};

MessageColours ColoursOf(InfoKind kind) {
    switch (kind) {
        case InfoKind::Good:
            return {wxColour(226, 244, 224), wxColour(28, 92, 40)};
        case InfoKind::Caution:
            return {wxColour(255, 244, 214), wxColour(122, 78, 0)};
        default:
            return {wxColour(253, 226, 226), wxColour(140, 24, 24)};
    }
}

// The text box breaks lines at '\n'; a '\r' before it would show.
wxString BoxText(std::wstring_view text) {
    std::wstring box;
    box.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
        box += text[i];
    }
    return wxString(box);
}

constexpr int kFallbackLineHeight = 15;
// Below this many pixels either way the pane is not laid out.
constexpr int kSmallestLayoutSize = 48;

}  // namespace

CRightPaneDialog::CRightPaneDialog() {
    const MessageColours colours = ColoursOf(InfoKind::Caution);
    background_ = colours.background;
    foreground_ = colours.text;
}

bool CRightPaneDialog::Create(wxWindow* parent, wxWindowID id) {
    if (!wxPanel::Create(parent, id)) return false;
    informationBox_ = new wxTextCtrl(this, kInformationBoxId, wxString(), wxPoint(4, 4), wxSize(172, 212),
                                     wxTE_MULTILINE | wxTE_READONLY | wxVSCROLL | wxBORDER_SUNKEN);
    if (!information_.empty()) informationBox_->SetValue(BoxText(information_));
    messageBox_ = new wxTextCtrl(this, kMessageBoxId, wxString(), wxDefaultPosition, wxSize(0, 0),
                                 wxTE_MULTILINE | wxTE_READONLY | wxTE_NO_VSCROLL | wxBORDER_NONE);
    messageBox_->Hide();
    ApplyFonts(ui::WindowDpi(this));
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        LayOut();
    });
    if (!message_.empty()) ShowMessage(CString(message_), kind_);
    return true;
}

void CRightPaneDialog::ApplyFonts(unsigned dpi) {
    SetFont(ui::GetUiFont(ui::Normal, dpi));
    informationBox_->SetFont(ui::MakeFont("Consolas", 9, 0, dpi));
    messageBox_->SetFont(GetFont());
}

void CRightPaneDialog::SetDpi(unsigned dpi) {
    if (!informationBox_) return;
    ApplyFonts(dpi == 0 ? ui::WindowDpi(this) : dpi);
    LayOut();
}

void CRightPaneDialog::ShowMessage(const CString& text, InfoKind kind) {
    message_ = text;
    kind_ = kind;
    const MessageColours colours = ColoursOf(kind);
    background_ = colours.background;
    foreground_ = colours.text;
    if (!messageBox_) return;
    messageBox_->SetBackgroundColour(background_);
    messageBox_->SetForegroundColour(foreground_);
    messageBox_->SetValue(BoxText(message_));
    messageBox_->Show(!message_.empty());
    LayOut();
    messageBox_->Refresh();
}

void CRightPaneDialog::SetInformationText(const CString& text) {
    information_ = text;
    if (informationBox_) informationBox_->SetValue(BoxText(information_));
}

void CRightPaneDialog::LayOut() {
    if (!informationBox_) return;
    const wxSize client = GetClientSize();
    // While a window manager frames the window the pane is briefly given
    // almost no room; boxes sized below what their scroll bar needs make the
    // toolkit complain, so they keep their size until the pane has one.
    if (client.x < kSmallestLayoutSize || client.y < kSmallestLayoutSize) return;
    const int innerWidth = client.x - 8;
    int messageHeight = 0;
    if (messageBox_ && !message_.empty()) {
        // Placed at its width first, so that its text wraps as it will show.
        messageBox_->SetSize(4, 0, innerWidth, 10);
        wxBitmap bitmap(1, 1);
        wxMemoryDC dc(bitmap);
        const ui::DcTextMeasure measure(dc, messageBox_->GetFont());
        int lineHeight = measure.LineHeight();
        if (lineHeight <= 1) lineHeight = kFallbackLineHeight;
        const int lines = std::max(1, ui::CountWrappedLines(message_, innerWidth, measure));
        messageHeight = std::min(client.y / 2, lines * lineHeight + 10);
    }
    const int informationHeight = std::max(client.y - (messageHeight > 0 ? messageHeight + 4 : 0) - 8, 10);
    informationBox_->SetSize(4, 4, innerWidth, informationHeight);
    if (messageHeight > 0) messageBox_->SetSize(4, client.y - messageHeight - 4, innerWidth, messageHeight);
}

}  // namespace ridgeforge
