// The "Output" pane's content: the log list, the cap of 20000 lines (older
// lines are dropped and counted in the pane's caption), following the end of
// the log unless the user holds the mouse in it, and the log's fonts and
// sizes at the window's DPI. The main frame writes to it as its IOutputLog.
#pragma once

#include "ui/app/OutputList.h"
#include "ui/app/OutputSinks.h"
#include "document/DocumentHost.h"

#include <wx/panel.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace ridgeforge::ui {
class CaptionedPane;
}

namespace ridgeforge {

class COutputWnd : public wxPanel, public IOutputLog {
public:
    static constexpr std::size_t kMaximumLines = 20000;

    // `captioned`: the pane whose caption counts the discarded lines, if any.
    explicit COutputWnd(wxWindow* parent, ui::CaptionedPane* captioned = nullptr);

    // Adds the text's lines (one per '\n'; a trailing '\r' is dropped), each
    // with `kind`, or with the kind its wording gives when `kind` is Auto.
    // Follows the end of the log unless the user holds the mouse in the list.
    void AddLine(const CString& text, LogKind kind) override;
    // The work of AddLine: afterwards shows the end when `follow`, otherwise
    // keeps `top` (the top line before the call) on the same text.
    void AppendLines(std::wstring_view text, LogKind kind, bool follow, std::size_t top);
    void ScrollToEnd();
    // Removes every line, as the context menu's Clear does; the count of
    // discarded lines and the caption stay.
    void Clear() override;

    // Fonts and sizes for the DPI given to SetDpi (the screen's until then).
    void UpdateFonts() override;
    void SetDpi(unsigned dpi) override;

    std::size_t LineCount() const override { return list_->LineCount(); }
    CString LineText(std::size_t index) const override;

    COutputList& List() { return *list_; }
    std::uint64_t DiscardedLines() const { return discarded_; }
    const wxString& Caption() const { return caption_; }

private:
    void OnSize(wxSizeEvent& event);

    COutputList* list_ = nullptr;
    ui::CaptionedPane* captioned_ = nullptr;
    std::uint64_t discarded_ = 0;
    unsigned dpi_ = 96;
    wxString caption_;
};

}  // namespace ridgeforge
