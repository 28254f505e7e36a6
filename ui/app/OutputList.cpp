// Drawing, measuring, selection and the context menu of the Output list.
#include "ui/app/OutputList.h"

#include "ui/app/LogHighlights.h"
#include "platform/SafeWrite.h"
#include "ui/framework/Paint.h"
#include "text/PathText.h"
#include "text/Utf8.h"

#include <wx/app.h>
#include <wx/clipbrd.h>
#include <wx/dc.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>

#include <algorithm>
#include <cerrno>

namespace ridgeforge {
namespace {

const wxColour kBackground(30, 30, 30);
const wxColour kSelected(38, 79, 120);
const wxColour kPlainText(212, 212, 212);
const wxColour kGoodText(115, 201, 145);
const wxColour kWarningText(240, 208, 80);
const wxColour kErrorText(255, 107, 107);
const wxColour kLabelOnPlain(156, 220, 254);
const wxColour kNumber(78, 201, 176);
const wxColour kNumberOnAlert(255, 255, 255);
const wxColour kPath(206, 145, 120);

const wxColour& LineColour(LogKind kind) {
    switch (kind) {
        case LogKind::Good:
            return kGoodText;
        case LogKind::Warning:
            return kWarningText;
        case LogKind::Error:
            return kErrorText;
        default:
            return kPlainText;
    }
}

const wxColour& RunColour(LogKind kind, HighlightKind run) {
    const bool alert = kind == LogKind::Warning || kind == LogKind::Error;
    switch (run) {
        case HighlightKind::Label:
            if (kind == LogKind::Good) return kGoodText;
            return alert ? LineColour(kind) : kLabelOnPlain;
        case HighlightKind::Number:
            return alert ? kNumberOnAlert : kNumber;
        case HighlightKind::Path:
            return alert ? LineColour(kind) : kPath;
        default:
            return LineColour(kind);
    }
}

wxString ToWx(std::wstring_view text) { return wxString(text.data(), text.size()); }

}  // namespace

COutputList::COutputList(wxWindow* parent, wxWindowID id)
    : wxVListBox(parent, id, wxDefaultPosition, wxDefaultSize,
                 wxLB_MULTIPLE | wxVSCROLL | wxALWAYS_SHOW_SB | wxBORDER_NONE) {
    SetBackgroundColour(kBackground);
    SetForegroundColour(kPlainText);
    font_ = GetFont();
    measure_.SetFont(font_);
    Bind(wxEVT_CONTEXT_MENU, &COutputList::ShowContextMenu, this);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { OnEditCopy(); }, kCopyCommand);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { OnSaveAs(); }, kSaveAsCommand);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { OnClear(); }, kClearCommand);
}

int COutputList::MeasureHeight(const std::wstring& text) const {
    measure_.PrefixWidths(text, widths_);
    return LayOutLogLine(text, widths_, GetClientSize().x, metrics_).height;
}

void COutputList::PushLine(std::wstring text, LogKind kind) {
    const int height = MeasureHeight(text);
    lines_.push_back(Line{std::move(text), kind, height});
}

void COutputList::PopOldestLines(std::size_t count) {
    lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(std::min(count, lines_.size())));
}

void COutputList::SyncAfterRemoval(std::size_t removedAtFront) {
    // The control keeps its selection by index: move it with the lines. Walking
    // the selection visits every item, so only a user's selection pays for it.
    if (removedAtFront == 0 || GetSelectedCount() == 0) {
        SyncItemCount();
        return;
    }
    std::vector<std::size_t> selected;
    unsigned long cookie = 0;
    for (int item = GetFirstSelected(cookie); item != wxNOT_FOUND; item = GetNextSelected(cookie)) {
        if (static_cast<std::size_t>(item) >= removedAtFront)
            selected.push_back(static_cast<std::size_t>(item) - removedAtFront);
    }
    const int current = CurrentItem();
    DeselectAll();
    SyncItemCount();
    for (std::size_t item : selected) Select(item, true);
    const int shifted = current - static_cast<int>(removedAtFront);
    DoSetCurrent(current != wxNOT_FOUND && shifted >= 0 ? shifted : wxNOT_FOUND);
}

void COutputList::SyncItemCount() {
    if (GetItemCount() != lines_.size()) SetItemCount(lines_.size());
}

void COutputList::SetTopLine(std::size_t line) {
    if (!lines_.empty()) ScrollToRow(std::min(line, lines_.size() - 1));
}

void COutputList::ScrollToEnd() {
    if (lines_.empty()) return;
    const int client = GetClientSize().y;
    std::size_t top = lines_.size() - 1;
    int used = lines_[top].height;
    while (top > 0 && used + lines_[top - 1].height <= client) {
        --top;
        used += lines_[top].height;
    }
    ScrollToRow(top);
}

void COutputList::SetLogFont(const wxFont& font, const LogListMetrics& metrics) {
    font_ = font;
    SetFont(font_);
    measure_.SetFont(font_);
    metrics_ = metrics;
    metrics_.lineHeight = measure_.LineHeight();
    RemeasureAll();
}

bool COutputList::RemeasureIfWidthChanged() {
    if (GetClientSize().x == measuredWidth_) return false;
    RemeasureAll();
    return true;
}

void COutputList::RemeasureAll() {
    measuredWidth_ = GetClientSize().x;
    for (Line& line : lines_) line.height = MeasureHeight(line.text);
    RefreshAll();
}

wxCoord COutputList::OnMeasureItem(size_t n) const {
    return n < lines_.size() ? lines_[n].height : metrics_.lineHeight;
}

void COutputList::OnDrawBackground(wxDC& dc, const wxRect& rect, size_t n) const {
    ui::FillRectExact(dc, rect, IsSelected(n) ? kSelected : kBackground);
}

void COutputList::OnDrawItem(wxDC& dc, const wxRect& rect, size_t n) const {
    if (n >= lines_.size()) return;
    const Line& line = lines_[n];
    const LogKind kind = line.kind;
    const wxColour& colour = LineColour(kind);
    if (kind == LogKind::Warning || kind == LogKind::Error) {
        ui::FillRectExact(dc, wxRect(rect.x, rect.y, metrics_.markerBar, rect.height), colour);
    }

    dc.SetFont(font_);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    // Wrapped by the same widths its height was measured with.
    measure_.PrefixWidths(line.text, widths_);
    const LogLineLayout layout = LayOutLogLine(line.text, widths_, GetClientSize().x, metrics_);
    const std::vector<LogHighlight> runs = FindLogHighlights(line.text);
    const std::wstring_view text = line.text;
    const int textX = rect.x + metrics_.markerBar + metrics_.textMargin;
    const int lineHeight = metrics_.lineHeight;

    for (std::size_t i = 0; i < layout.segments.size(); ++i) {
        const int top = rect.y + 1 + static_cast<int>(i) * lineHeight;
        if (top + lineHeight > rect.y + rect.height) {
            dc.SetTextForeground(colour);
            dc.DrawText(wxString(wxUniChar(0x2026)), textX, rect.y + rect.height - lineHeight);
            break;
        }
        const ui::TextSegment& segment = layout.segments[i];
        int x = textX + (i > 0 ? metrics_.continuationIndent + layout.leadingWidth : 0);
        const int segmentEnd = segment.start + segment.length;
        for (const LogHighlight& run : runs) {
            const int from = std::max(run.start, segment.start);
            const int to = std::min(run.start + run.length, segmentEnd);
            if (from >= to) continue;
            const wxString piece =
                ToWx(text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
            dc.SetTextForeground(RunColour(kind, run.kind));
            dc.DrawText(piece, x, top);
            x += dc.GetTextExtent(piece).x;
        }
    }
}

int COutputList::CurrentItem() const {
    for (std::size_t i = 0; i < GetItemCount(); ++i) {
        if (IsCurrent(i)) return static_cast<int>(i);
    }
    return wxNOT_FOUND;
}

std::wstring COutputList::SelectedText() const {
    std::wstring text;
    unsigned long cookie = 0;
    bool first = true;
    for (int item = GetFirstSelected(cookie); item != wxNOT_FOUND; item = GetNextSelected(cookie)) {
        if (static_cast<std::size_t>(item) >= lines_.size()) continue;
        if (!first) text += L"\r\n";
        text += lines_[static_cast<std::size_t>(item)].text;
        first = false;
    }
    if (first) {
        const int current = CurrentItem();
        if (current != wxNOT_FOUND && static_cast<std::size_t>(current) < lines_.size()) {
            text = lines_[static_cast<std::size_t>(current)].text;
        }
    }
    return text;
}

void COutputList::OnEditCopy() {
    const std::wstring text = SelectedText();
    if (text.empty() || !wxTheClipboard->Open()) return;
    wxTheClipboard->SetData(new wxTextDataObject(ToWx(text)));
    wxTheClipboard->Close();
}

bool COutputList::SaveLog(const std::filesystem::path& path, std::string* error) {
    std::string bytes;
    for (const Line& line : lines_) {
        bytes += Utf8FromWide(line.text);
        bytes += "\r\n";
    }
    // A failed save leaves an earlier log file whole.
    const platform::SafeWriteResult saved = platform::WriteFileSafely(path, bytes.data(), bytes.size());
    if (!saved.ok) {
        if (error) *error = saved.reason;
        return false;
    }
    lastSavedPath_ = path;
    lastSavedFolder_ = path.parent_path();
    return true;
}

void COutputList::OnSaveAs() {
    wxFileDialog dialog(
        this, wxS("Save As"), lastSavedFolder_.empty() ? wxString() : wxString(WideFromPath(lastSavedFolder_)),
        wxS("Ruvolta log.txt"), wxS("Text files (*.txt)|*.txt|All files (*.*)|*.*"), wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK) return;
    std::filesystem::path path = PathFromWide(dialog.GetPath().ToStdWstring());
    if (!path.has_extension()) path += ".txt";
    std::string error;
    if (!SaveLog(path, &error)) {
        wxMessageBox(wxS("The log could not be saved: ") + wxString::FromUTF8(error), wxTheApp->GetAppDisplayName(),
                     wxOK | wxICON_ERROR, this);
    }
}

void COutputList::OnClear() {
    if (GetSelectedCount() > 0) DeselectAll();
    lines_.clear();
    SyncItemCount();
    Refresh();
}

void COutputList::ShowContextMenu(wxContextMenuEvent& event) {
    wxPoint at = event.GetPosition();
    at = at == wxDefaultPosition ? wxPoint(GetClientSize().x / 2, GetClientSize().y / 2) : ScreenToClient(at);
    wxMenu menu;
    menu.Append(kCopyCommand, wxS("&Copy"));
    menu.Append(kSaveAsCommand, wxS("&Save As..."));
    menu.Append(kClearCommand, wxS("&Clear"));
    PopupMenu(&menu, at);
    SetFocus();
}

}  // namespace ridgeforge
