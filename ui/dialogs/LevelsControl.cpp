#include "ui/dialogs/LevelsControl.h"

#include <wx/dcclient.h>
#include <wx/settings.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "ui/framework/Dpi.h"
#include "ui/framework/Paint.h"

namespace ridgeforge {

wxDEFINE_EVENT(kEvtLevelsChanged, wxCommandEvent);

const wxColour CLevelsControl::kHistogramFace(64, 64, 64);
const wxColour CLevelsControl::kHistogramFaceDisabled(140, 140, 140);
const wxColour CLevelsControl::kBar(220, 220, 220);
const wxColour CLevelsControl::kBarDisabled(200, 200, 200);

CLevelsControl::~CLevelsControl() {
    // A box losing the focus as the window goes must not commit into a
    // control that is already taken apart.
    for (wxTextCtrl* box : boxes_)
        if (box != nullptr) box->SetEvtHandlerEnabled(false);
}

bool CLevelsControl::Create(wxWindow* parent, const wxRect& rect) {
    if (!wxWindow::Create(parent, kControlId, rect.GetPosition(), rect.GetSize(), wxCLIP_CHILDREN | wxWANTS_CHARS))
        return false;
    ui::PrepareBufferedPainting(*this);
    SetCursor(wxCursor(wxCURSOR_ARROW));
    dpi_ = ui::WindowDpi(parent);
    for (int i = 0; i < 5; ++i) {
        auto* box = new wxTextCtrl(this, i + 1, wxString(), wxDefaultPosition, wxDefaultSize,
                                   wxTE_CENTRE | wxTE_PROCESS_ENTER | wxBORDER_SIMPLE);
        box->SetFont(parent->GetFont());
        box->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
            if (!updating_) CommitEdits();
            event.Skip();
        });
        box->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { CommitEdits(); });
        boxes_[static_cast<std::size_t>(i)] = box;
    }
    Bind(wxEVT_PAINT, &CLevelsControl::OnPaint, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent&) {
        LayOut();
        Refresh();
    });
    Bind(wxEVT_LEFT_DOWN, &CLevelsControl::OnMouseDown, this);
    Bind(wxEVT_MOTION, &CLevelsControl::OnMouseMove, this);
    Bind(wxEVT_LEFT_UP, &CLevelsControl::OnMouseUp, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CLevelsControl::OnCaptureLost, this);
    // Enter and Escape typed in a box stay in the control: the dialog's
    // default and cancel buttons must not see them.
    Bind(wxEVT_CHAR_HOOK, &CLevelsControl::OnCharHook, this);
    LayOut();
    UpdateEdits();
    return true;
}

void CLevelsControl::LayOut() {
    layout_ = LayOutLevels(GetClientSize().x, static_cast<double>(dpi_) / 96.0);
    // The boxes are 44 dip wide unless the widest text they show needs more
    // in their font (a larger text scale than the DPI's, a wide font).
    for (const char* widest : {"255", "10.00"})
        layout_.boxWidth = std::max(layout_.boxWidth, Box(kGammaMarker)->GetSizeFromText(widest).x);
    const int w = GetClientSize().x;
    const int bw = layout_.boxWidth;
    const int bh = layout_.boxHeight;
    auto place = [&](int marker, int x, int y) { Box(marker)->SetSize(x, y, bw, bh); };
    place(kInputBlack, 0, layout_.firstRowTop);
    place(kGammaMarker, (w - bw) / 2, layout_.firstRowTop);
    place(kInputWhite, w - bw, layout_.firstRowTop);
    place(kOutputLow, 0, layout_.secondRowTop);
    place(kOutputHigh, w - bw, layout_.secondRowTop);
}

void CLevelsControl::UpdateEdits() {
    updating_ = true;
    const std::array<wxString, 5> texts = LevelBoxTexts(values);
    for (int i = 0; i < 5; ++i) boxes_[static_cast<std::size_t>(i)]->ChangeValue(texts[static_cast<std::size_t>(i)]);
    updating_ = false;
}

void CLevelsControl::CommitEdits() {
    std::array<wxString, 5> texts;
    for (std::size_t i = 0; i < 5; ++i) texts[i] = boxes_[i]->GetValue();
    const LevelValues next = CommitLevelTexts(values, texts);
    const bool changed = !(next == values);
    values = next;
    UpdateEdits();
    Refresh();
    if (changed) Notify();
}

void CLevelsControl::Notify() {
    wxCommandEvent event(kEvtLevelsChanged, GetId());
    event.SetEventObject(this);
    event.SetInt(1);
    ProcessWindowEvent(event);
}

void CLevelsControl::DoEnable(bool enable) {
    wxWindow::DoEnable(enable);
    if (!enable && dragging_ != kNoMarker) EndDrag(false);
    Refresh();
}

void CLevelsControl::OnCharHook(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER) {
        CommitEdits();
        return;
    }
    if (key == WXK_ESCAPE) {
        RevertEdits();
        return;
    }
    event.Skip();
}

void CLevelsControl::OnMouseDown(wxMouseEvent& event) {
    if (!IsEnabled()) return;
    const int marker = HitLevelMarker(layout_, values, event.GetX(), event.GetY());
    if (marker == kNoMarker) return;
    dragging_ = marker;
    if (!HasCapture()) CaptureMouse();
    ApplyDrag(event.GetX());
}

void CLevelsControl::OnMouseMove(wxMouseEvent& event) {
    if (dragging_ != kNoMarker) ApplyDrag(event.GetX());
}

void CLevelsControl::OnMouseUp(wxMouseEvent&) {
    if (dragging_ != kNoMarker) EndDrag(true);
}

void CLevelsControl::OnCaptureLost(wxMouseCaptureLostEvent&) {
    // The capture is already gone; only the drag's state is left to end.
    if (dragging_ != kNoMarker) {
        dragging_ = kNoMarker;
        Notify();
    }
}

void CLevelsControl::EndDrag(bool notify) {
    dragging_ = kNoMarker;
    if (HasCapture()) ReleaseMouse();
    if (notify) Notify();
}

void CLevelsControl::ApplyDrag(int x) {
    const float p = XToLevel(x, layout_.histogramLeft, layout_.histogramWidth);
    values = DragLevel(values, dragging_, p);
    UpdateEdits();
    Refresh();
}

void CLevelsControl::DrawMarker(wxDC& dc, int x, int bottom, const wxColour& colour, bool filled) {
    const int h = ui::ScaleDip(12, dpi_);
    const int half = (2 * h - 4) / 3;
    const wxPoint points[3] = {wxPoint(x, bottom - (h - 1)), wxPoint(x - half, bottom - 1),
                               wxPoint(x + half, bottom - 1)};
    dc.SetPen(wxPen(colour, 1));
    dc.SetBrush(wxBrush(filled ? colour : *wxWHITE));
    dc.DrawPolygon(3, points);
}

void CLevelsControl::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    const bool enabled = IsEnabled();
    const LevelsLayout& l = layout_;
    ui::FillRectExact(dc, wxRect(GetClientSize()), wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    const wxRect area(l.histogramLeft, l.histogramTop, l.histogramWidth, l.histogramHeight);
    ui::FillRectExact(dc, area, enabled ? kHistogramFace : kHistogramFaceDisabled);
    if (!histogram.empty() && area.width > 0) {
        const std::uint32_t largest = *std::max_element(histogram.begin(), histogram.end());
        const wxColour bar = enabled ? kBar : kBarDisabled;
        for (int column = 0; column < area.width; ++column) {
            const std::uint32_t count = histogram[HistogramBin(column, area.width, histogram.size())];
            const int height = HistogramBarHeight(count, largest, area.height);
            if (height > 0)
                ui::FillRectExact(dc, wxRect(area.x + column, area.GetBottom() + 1 - height, 1, height), bar);
        }
    }
    const wxColour marker = enabled ? wxColour(40, 40, 40) : wxColour(150, 150, 150);
    const int inputBottom = l.inputTop + l.inputHeight;
    auto xOf = [&](float level) { return LevelToX(level, l.histogramLeft, l.histogramWidth); };
    DrawMarker(dc, xOf(values.inputBlack), inputBottom, marker, true);
    DrawMarker(dc, xOf(GammaMarkerLevel(values)), inputBottom,
               enabled ? wxColour(128, 128, 128) : wxColour(170, 170, 170), true);
    DrawMarker(dc, xOf(values.inputWhite), inputBottom, marker, false);

    const int rampHeight = ui::ScaleDip(12, dpi_);
    for (int column = 0; column < l.histogramWidth; ++column) {
        int grey = column * 255 / std::max(1, l.histogramWidth);
        if (!enabled) grey = grey / 2 + 128;
        const auto g = static_cast<unsigned char>(grey);
        ui::FillRectExact(dc, wxRect(l.histogramLeft + column, l.outputTop, 1, rampHeight), wxColour(g, g, g));
    }
    dc.SetPen(wxPen(wxColour(210, 215, 222), 1));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(l.histogramLeft, l.outputTop, l.histogramWidth, rampHeight);
    const int outputBottom = l.outputTop + l.outputHeight;
    DrawMarker(dc, xOf(values.outputLow), outputBottom, marker, true);
    DrawMarker(dc, xOf(values.outputHigh), outputBottom, marker, false);
}

}  // namespace ridgeforge
