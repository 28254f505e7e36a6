#include "ui/view/OpenGLViewport.h"

#include <wx/dcclient.h>
#include <wx/panel.h>

#include <cmath>

#include "ui/framework/Dpi.h"
#include "ui/framework/Paint.h"

namespace ridgeforge {
namespace {

const wxColour kMessageBackground(19, 23, 29);
const wxColour kMessageText(225, 120, 110);

// Greedy word wrap of each line of `text` to `width` pixels in the DC's font.
wxString WrapToWidth(wxDC& dc, const wxString& text, int width) {
    wxString out;
    const wxArrayString lines = wxSplit(text, '\n', '\0');
    for (std::size_t l = 0; l < lines.size(); ++l) {
        wxString line;
        for (const wxString& word : wxSplit(lines[l], ' ', '\0')) {
            const wxString candidate = line.empty() ? word : line + " " + word;
            if (!line.empty() && dc.GetTextExtent(candidate).x > width) {
                out += line + "\n";
                line = word;
            } else {
                line = candidate;
            }
        }
        out += line;
        if (l + 1 < lines.size()) out += "\n";
    }
    return out;
}

}  // namespace

COpenGLViewport::COpenGLViewport(wxWindow* parent, const wxPoint& position, const wxSize& size, MillisecondClock clock)
    : wxWindow(parent, kControlId, position, size, wxCLIP_CHILDREN | wxWANTS_CHARS | wxTAB_TRAVERSAL,
               "OpenGL Viewport"),
      interaction(renderer, *this, std::move(clock)),
      timer_(this, kAnimationTimerId) {
    SetLabel("OpenGL Viewport");
    SetCursor(wxCursor(wxCURSOR_ARROW));
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    canvas_ = new ui::GlWindow(this, wxID_ANY, wxPoint(0, 0), GetClientSize());
    canvas_->SetBackgroundStyle(wxBG_STYLE_PAINT);
    message_ = new wxPanel(this, wxID_ANY, wxPoint(0, 0), GetClientSize(), wxWANTS_CHARS | wxBORDER_NONE);
    message_->SetBackgroundStyle(wxBG_STYLE_PAINT);
    message_->Hide();
    BindInput(*canvas_);
    BindInput(*message_);
    canvas_->Bind(wxEVT_PAINT, &COpenGLViewport::OnCanvasPaint, this);
    message_->Bind(wxEVT_PAINT, &COpenGLViewport::OnMessagePaint, this);
    Bind(wxEVT_SIZE, &COpenGLViewport::OnSize, this);
    Bind(
        wxEVT_TIMER, [this](wxTimerEvent&) { interaction.Tick(); }, kAnimationTimerId);
    interaction.Resize(GetClientSize().x, GetClientSize().y);
}

COpenGLViewport::~COpenGLViewport() {
    timer_.Stop();
    interaction.Destroy();
}

void COpenGLViewport::BindInput(wxWindow& window) {
    for (const auto type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_MIDDLE_DOWN, wxEVT_MIDDLE_UP, wxEVT_MOTION,
                            wxEVT_MOUSEWHEEL, wxEVT_LEAVE_WINDOW, wxEVT_LEFT_DCLICK, wxEVT_MIDDLE_DCLICK})
        window.Bind(type, &COpenGLViewport::OnMouse, this);
    window.Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { interaction.CaptureLost(); });
    window.Bind(wxEVT_KEY_DOWN, &COpenGLViewport::OnKeyDown, this);
    window.Bind(wxEVT_ERASE_BACKGROUND, [](wxEraseEvent&) {});
}

bool COpenGLViewport::EnsureRenderer() {
    if (initialised_) return renderer.ready;
    if (!canvas_->IsShownOnScreen() || canvas_->GetXWindow() == 0) return false;
    initialised_ = true;
    if (!renderer.Initialize(canvas_)) {
        canvas_->Hide();
        message_->SetSize(GetClientSize());
        message_->Show();
        message_->Refresh();
        return false;
    }
    interaction.Resize(GetClientSize().x, GetClientSize().y);
    return true;
}

void COpenGLViewport::ClearCageOverlay() {
    renderer.ClearCageOverlay();
    Invalidate();
}

wxWindow& COpenGLViewport::Active() const {
    return message_->IsShown() ? static_cast<wxWindow&>(*message_) : static_cast<wxWindow&>(*canvas_);
}

void COpenGLViewport::TakeFocusAndCapture() {
    wxWindow& window = Active();
    window.SetFocus();
    if (!window.HasCapture()) window.CaptureMouse();
}

bool COpenGLViewport::HasCapture() const { return Active().HasCapture(); }

void COpenGLViewport::ReleaseCapture() {
    wxWindow& window = Active();
    if (window.HasCapture()) window.ReleaseMouse();
}

void COpenGLViewport::Invalidate() { Active().Refresh(false); }

void COpenGLViewport::StartAnimationTimer() { timer_.Start(kAnimationTickMilliseconds); }

void COpenGLViewport::StopAnimationTimer() { timer_.Stop(); }

unsigned COpenGLViewport::Dpi() const { return ui::WindowDpi(this); }

void COpenGLViewport::OnSize(wxSizeEvent& event) {
    const wxSize size = GetClientSize();
    canvas_->SetSize(size);
    message_->SetSize(size);
    interaction.Resize(size.x, size.y);
    event.Skip();
}

void COpenGLViewport::OnCanvasPaint(wxPaintEvent&) {
    wxPaintDC dc(canvas_);
    if (!EnsureRenderer()) return;
    renderer.Render();
    if (frameStatisticsCallback) frameStatisticsCallback(renderer.statistics);
}

void COpenGLViewport::OnMessagePaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(message_);
    const wxRect area(message_->GetClientSize());
    dc.SetBrush(wxBrush(kMessageBackground));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRectangle(area);
    dc.SetFont(message_->GetFont());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetTextForeground(kMessageText);
    const wxString text = "OpenGL viewport unavailable\n" + wxString::FromUTF8(renderer.lastError);
    dc.DrawLabel(WrapToWidth(dc, text, std::max(1, area.width - 8)), area, wxALIGN_CENTRE);
}

void COpenGLViewport::OnMouse(wxMouseEvent& event) {
    const PointerEvent e{event.GetX(), event.GetY(), event.ShiftDown(), event.ControlDown()};
    const wxEventType type = event.GetEventType();
    // GTK reports the second press of a double click as a double click
    // alone; here it is a press like any other.
    if (type == wxEVT_LEFT_DOWN || type == wxEVT_LEFT_DCLICK) {
        interaction.LeftDown(e);
    } else if (type == wxEVT_LEFT_UP) {
        interaction.LeftUp(e);
    } else if (type == wxEVT_MIDDLE_DOWN || type == wxEVT_MIDDLE_DCLICK) {
        interaction.MiddleDown(e);
    } else if (type == wxEVT_MIDDLE_UP) {
        interaction.MiddleUp();
    } else if (type == wxEVT_MOTION) {
        interaction.Move(e);
    } else if (type == wxEVT_MOUSEWHEEL) {
        const int delta = event.GetWheelDelta() > 0 ? event.GetWheelDelta() : 120;
        interaction.Wheel(static_cast<float>(event.GetWheelRotation()) / static_cast<float>(delta), e);
        return;
    } else if (type == wxEVT_LEAVE_WINDOW) {
        interaction.Leave();
    }
    event.Skip();
}

void COpenGLViewport::OnKeyDown(wxKeyEvent& event) {
    ViewportKey key = ViewportKey::Other;
    const int code = event.GetKeyCode();
    if (code == WXK_HOME)
        key = ViewportKey::Home;
    else if (code == 'F' && !event.ControlDown() && !event.AltDown())
        key = ViewportKey::F;
    else if (code == WXK_NUMPAD5 || code == WXK_NUMPAD_BEGIN)
        key = ViewportKey::Numpad5;
    if (!interaction.Key(key)) event.Skip();
}

}  // namespace ridgeforge
