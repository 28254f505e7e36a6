// Plain contents for the fixed panes: a list of log lines and two text boxes.
#include "app/PaneContents.h"

#include <wx/listbox.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include <vector>

#include "platform/ui/Dpi.h"
#include "platform/ui/Fonts.h"

namespace ridgeforge {
namespace {

wxString ToWx(const CString& text) { return wxString(text.c_str()); }

class PlainOutputList : public wxListBox, public IOutputLog {
public:
    explicit PlainOutputList(wxWindow* parent) : wxListBox(parent, wxID_ANY) {}

    void AddLine(const CString& text, LogKind kind) override {
        std::size_t start = 0;
        while (true) {
            const std::size_t end = text.find(L'\n', start);
            CString piece = text.substr(start, end == CString::npos ? CString::npos : end - start);
            if (!piece.empty() && piece.back() == L'\r') piece.pop_back();
            lines_.push_back(piece);
            kinds_.push_back(kind);
            Append(ToWx(piece));
            if (end == CString::npos) break;
            start = end + 1;
        }
        if (GetCount() > 0) SetFirstItem(static_cast<int>(GetCount()) - 1);
    }
    void Clear() override {
        lines_.clear();
        kinds_.clear();
        wxListBox::Clear();
    }
    std::size_t LineCount() const override { return lines_.size(); }
    CString LineText(std::size_t index) const override { return index < lines_.size() ? lines_[index] : CString(); }
    void SetDpi(unsigned) override {}
    void UpdateFonts() override {}

private:
    std::vector<CString> lines_;
    std::vector<LogKind> kinds_;
};

class PlainInformationPanel : public wxPanel, public IInformationPane {
public:
    explicit PlainInformationPanel(wxWindow* parent) : wxPanel(parent) {
        const long style = wxTE_MULTILINE | wxTE_READONLY | wxBORDER_NONE;
        text_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, style | wxHSCROLL);
        message_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, style);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(text_, 2, wxEXPAND);
        sizer->Add(message_, 1, wxEXPAND);
        SetSizer(sizer);
        message_->Hide();
        SetDpi(ui::WindowDpi(this));
    }

    void ShowMessage(const CString& text, InfoKind kind) override {
        messageText_ = text;
        kind_ = kind;
        message_->ChangeValue(ToWx(text));
        message_->Show(!text.empty());
        Layout();
    }
    CString Message() const override { return messageText_; }
    InfoKind MessageKind() const override { return kind_; }
    void SetInformationText(const CString& text) override {
        information_ = text;
        text_->ChangeValue(ToWx(text));
    }
    CString InformationText() const override { return information_; }
    void SetDpi(unsigned dpi) override { text_->SetFont(ui::MakeFont("Consolas", 9, 400, dpi)); }

private:
    wxTextCtrl* text_ = nullptr;
    wxTextCtrl* message_ = nullptr;
    CString messageText_;
    CString information_;
    InfoKind kind_ = InfoKind::Good;
};

}  // namespace

OutputPaneContent CreateOutputPaneContent(CStaticPane& pane) {
    auto* list = new PlainOutputList(&pane);
    return {list, list};
}

InformationPaneContent CreateInformationPaneContent(CStaticPane& pane) {
    auto* panel = new PlainInformationPanel(&pane);
    return {panel, panel};
}

wxWindow* CreateWorkflowPaneContent(CStaticPane& pane) { return new wxPanel(&pane); }

}  // namespace ridgeforge
