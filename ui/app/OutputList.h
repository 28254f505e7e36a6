// The Output pane's list: one owner-drawn item per log line on a dark
// background, coloured by the line's kind, with a marker bar for warnings
// and errors, hanging-indent wrapping and highlighted labels, numbers and
// paths. Items keep the height measured when they were added; all heights
// are measured again only when the width or the font changes.
//
// Its context menu copies the selected lines, saves the whole log as a text
// file and clears the list.
#pragma once

#include "ui/app/LogLayout.h"
#include "document/DocumentHost.h"
#include "ui/framework/TextMeasure.h"

#include <wx/font.h>
#include <wx/vlbox.h>

#include <cstddef>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

namespace ridgeforge {

class COutputList : public wxVListBox {
public:
    // Context menu commands.
    static constexpr int kCopyCommand = 57634;
    static constexpr int kSaveAsCommand = 32771;
    static constexpr int kClearCommand = 57632;

    explicit COutputList(wxWindow* parent, wxWindowID id = 1);

    std::size_t LineCount() const { return lines_.size(); }
    const std::wstring& LineText(std::size_t index) const { return lines_[index].text; }
    LogKind LineKind(std::size_t index) const { return lines_[index].kind; }
    int LineHeightOfItem(std::size_t index) const { return lines_[index].height; }
    const LogListMetrics& Metrics() const { return metrics_; }

    // Adds a line at the end (its height measured), and removes the oldest
    // lines; the control learns of both with SyncAfterRemoval.
    void PushLine(std::wstring text, LogKind kind);
    void PopOldestLines(std::size_t count);
    // Brings the control up to date after lines were added and `removedAtFront`
    // removed at the start; the selection stays on the same lines.
    void SyncAfterRemoval(std::size_t removedAtFront);
    // Makes the control's item count match the lines.
    void SyncItemCount();

    // The top line shown, and showing a line at the top.
    std::size_t TopLine() const { return GetVisibleRowsBegin(); }
    void SetTopLine(std::size_t line);
    // Shows the last lines, as many as fit, the last one at least.
    void ScrollToEnd();

    // A new font and sizes; every height is measured again.
    void SetLogFont(const wxFont& font, const LogListMetrics& metrics);
    // Measures every line again for the current width; true when the width
    // differed from the one last measured for.
    bool RemeasureIfWidthChanged();
    void RemeasureAll();

    // The text Copy puts on the clipboard: the selected lines joined by
    // "\r\n", or with no selection the focused line.
    std::wstring SelectedText() const;
    void OnEditCopy();
    void OnSaveAs();
    void OnClear();
    // Writes every line as UTF-8, each ended by "\r\n", without a byte-order
    // mark; on failure returns false with the system's text.
    bool SaveLog(const std::filesystem::path& path, std::string* error = nullptr);

    // Folder of the last successful save; Save As starts there.
    const std::filesystem::path& LastSavedFolder() const { return lastSavedFolder_; }

protected:
    void OnDrawItem(wxDC& dc, const wxRect& rect, size_t n) const override;
    wxCoord OnMeasureItem(size_t n) const override;
    void OnDrawBackground(wxDC& dc, const wxRect& rect, size_t n) const override;

private:
    struct Line {
        std::wstring text;
        LogKind kind = LogKind::Plain;
        int height = 0;
    };

    int MeasureHeight(const std::wstring& text) const;
    int CurrentItem() const;
    void ShowContextMenu(wxContextMenuEvent& event);

    std::deque<Line> lines_;
    LogListMetrics metrics_;
    wxFont font_;
    ui::CharWidthMeasure measure_;
    mutable std::vector<int> widths_;
    int measuredWidth_ = -1;
    std::filesystem::path lastSavedPath_;
    std::filesystem::path lastSavedFolder_;
};

}  // namespace ridgeforge
