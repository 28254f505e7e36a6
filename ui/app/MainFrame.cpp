#include "ui/app/MainFrame.h"

#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include <algorithm>
#include <cstdio>

#include "ui/app/AppToolbar.h"
#include "ui/app/FrameViewShell.h"
#include "ui/app/LeftPane.h"
#include "ui/app/RidgeforgeApp.h"
#include "ui/commands/AppCommands.h"
#include "ui/commands/CommandIds.h"
#include "document/RidgeforgeDoc.h"
#include "ui/framework/DocView.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/FileDrop.h"
#include "ui/framework/ProgressGauge.h"
#include "ui/framework/Profile.h"
#include "ui/framework/StartupMarks.h"
#include "ui/view/RidgeforgeView.h"
#include "text/PathText.h"
#include "text/TextCase.h"
#include "textures/TextureLibrary.h"
#include "ui/workflow/FlowWnd.h"
#include "ui/workflow/TextureBody.h"

namespace ridgeforge {
namespace {

// The toolkit's status bar draws a changed field at once (wxWindow::Update).
// Its texts change while windows draw: the view's frame time is measured as
// a frame is drawn, and a job's wait loop lets every window paint. A forced
// draw there starts a second draw of the main window inside the first, which
// GTK refuses and cairo does not survive; the field is only marked for the
// next paint.
class DeferredStatusBar final : public wxStatusBar {
public:
    DeferredStatusBar(wxWindow* parent, long style) : wxStatusBar(parent, wxID_ANY, style) {}

protected:
    void DoUpdateStatusText(int number) override {
        wxRect field;
        if (GetFieldRect(number, field))
            RefreshRect(field);
        else
            Refresh();
    }
};

constexpr int kProgressControlId = 1013;
constexpr int kDesignWidth = 1200;
constexpr int kDesignHeight = 760;
constexpr int kProgressRange = 1000;

// Pane ids and design sizes (96-DPI units).
constexpr int kLeftPaneId = 133;
constexpr int kOutputPaneId = 149;
constexpr int kRightPaneId = 150;
constexpr int kOutputHeight = 130;
constexpr int kRightWidth = 240;

// Status field widths (96-DPI units) of the progress, tool and frame fields.
constexpr int kProgressWidth = 170;
constexpr int kToolWidth = 130;
constexpr int kFrameWidth = 150;
// Room beside a field's text: the field's frame and the text's margins.
constexpr int kStatusTextRoom = 12;

const wxString kLockTexts[3] = {"CAP", "NUM", "SCRL"};

wxString ToWx(const std::string& utf8) { return wxString::FromUTF8(utf8.c_str()); }

std::string LowerExtension(const std::filesystem::path& path) { return LowerCased(path.extension().string()); }

}  // namespace

CMainFrame::CMainFrame(CRidgeforgeApp& app, ui::View& view)
    : ui::CommandFrame(nullptr, wxID_ANY, wxString(CRidgeforgeApp::kAppName), wxDefaultPosition, wxSize(kDesignWidth, kDesignHeight)),
      app_(app),
      view_(view) {
    ui::MarkStartupPhase("  the frame window");
    dpi_ = ui::WindowDpi(this);
    // The design size is in 96-DPI units too; on a small monitor it is cut
    // to the monitor's work area. A place kept from the last run replaces it.
    wxSize size(ui::ScaleDip(kDesignWidth, dpi_), ui::ScaleDip(kDesignHeight, dpi_));
    const int display = wxDisplay::GetFromWindow(this);
    size.DecTo(wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetClientArea().GetSize());
    SetSize(size);

    wxMenu* recent = nullptr;
    SetMenuBar(BuildMainMenu(recent));
    if (recent != nullptr) app_.Profile().ShowRecentFilesIn(*recent);

    statusBar_ = new DeferredStatusBar(
        this, wxSTB_SIZEGRIP | wxSTB_SHOW_TIPS | wxSTB_ELLIPSIZE_END | wxFULL_REPAINT_ON_RESIZE);
    statusBar_->SetFieldsCount(kStatusFieldCount);
    SetStatusBar(statusBar_);
    gauge_ = new ui::ProgressGauge(statusBar_, kProgressControlId, kProgressRange);
    gauge_->SetValue(0);
    gauge_->Hide();
    lockTimer_ = new wxTimer(this);
    Bind(
        wxEVT_TIMER, [this](wxTimerEvent&) { UpdateLockIndicators(); }, lockTimer_->GetId());
    lockTimer_->Start(250);
    LayoutStatusBar();
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        CallAfter([this] { LayoutStatusBar(); });
    });
    ui::MarkStartupPhase("  the menu bar and the status bar");
    toolbar_ = new CAppToolbarPane(this);
    ui::MarkStartupPhase("  the toolbar");

    CreateDockingWindows();
    SetDpi(dpi_);
    Log(L"Ruvolta ready.", LogKind::Auto);
    ui::MarkStartupPhase("  docking and the visual manager");

    AddFrameCommands(commands_, *this);
    EnableKeyCommands();
    Bind(wxEVT_DPI_CHANGED, &CMainFrame::OnDpiChangedEvent, this);
    // A settings change of the desktop's text resolution (Xft/DPI) takes the
    // same road as a move to a monitor of another scale.
    dpiWatch_ = ui::WatchDesktopDpi([this] {
        const unsigned dpi = ui::WindowDpi(this);
        if (dpi != dpi_) SetDpi(dpi);
    });
    Bind(wxEVT_SYS_COLOUR_CHANGED, [this](wxSysColourChangedEvent& event) {
        event.Skip();
        log_->UpdateFonts();
    });
    // Escape in a text field belongs to the field (it restores the field's
    // value); the menu's Escape must not stop processing then.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        if (event.GetKeyCode() == WXK_ESCAPE && ui::TextFieldHasFocus()) {
            escapeInTextField_ = true;
            CallAfter([this] { escapeInTextField_ = false; });
        }
        event.Skip();
    });
    ui::AcceptFileDrops(*this, [this](const std::vector<std::filesystem::path>& paths) {
        Raise();
        OpenDroppedFiles(paths);
    });
}

CMainFrame::~CMainFrame() {
    ui::StopWatchingDesktopDpi(dpiWatch_);
    if (lockTimer_ != nullptr) lockTimer_->Stop();
    delete lockTimer_;
}

bool CMainFrame::CreateDockingWindows() {
    left_ = new CLeftPane(this, kLeftPaneId, &app_.Profile());
    ui::MarkStartupPhase("  the left pane (the workflow)");
    output_ = new CStaticPane(this, kOutputPaneId, "Output", ui::PaneSide::Bottom, 0, kOutputHeight);
    const OutputPaneContent output = CreateOutputPaneContent(*output_);
    output_->SetContent(output.window);
    log_ = output.log;
    right_ = new CStaticPane(this, kRightPaneId, "Information", ui::PaneSide::Right, kRightWidth, 0);
    const InformationPaneContent information = CreateInformationPaneContent(*right_);
    right_->SetContent(information.window);
    information_ = information.information;
    ui::MarkStartupPhase("  the output and right panes");

    viewShell_ = std::make_unique<FrameViewShell>(*this, app_);
    if (auto* view = dynamic_cast<CRidgeforgeView*>(&view_)) view->SetShell(viewShell_.get());
    view_.CreateViewWindow(this);
    viewArea_ = view_.Window();
    if (viewArea_ == nullptr) viewArea_ = new wxWindow(this, wxID_ANY);
    if (viewArea_->GetParent() != this) viewArea_->Reparent(this);

    // The left pane takes the whole height; the log spans the rest of the
    // width below the view and the right pane, as panes docked in that order.
    auto* middle = new wxBoxSizer(wxHORIZONTAL);
    middle->Add(viewArea_, 1, wxEXPAND);
    middle->Add(right_, 0, wxEXPAND);
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(middle, 1, wxEXPAND);
    column->Add(output_, 0, wxEXPAND);
    auto* panes = new wxBoxSizer(wxHORIZONTAL);
    panes->Add(left_, 0, wxEXPAND);
    panes->Add(column, 1, wxEXPAND);
    // The toolbar spans the whole width above the panes.
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(toolbar_, 0, wxEXPAND);
    sizer->Add(panes, 1, wxEXPAND);
    SetSizer(sizer);
    return log_ != nullptr && information_ != nullptr;
}

void CMainFrame::SetDpi(unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    if (toolbar_ != nullptr) toolbar_->SetDpi(dpi_);
    for (CStaticPane* pane : std::initializer_list<CStaticPane*>{left_, output_, right_})
        if (pane != nullptr) pane->SetDpi(dpi_);
    if (log_ != nullptr) log_->SetDpi(dpi_);
    if (information_ != nullptr) information_->SetDpi(dpi_);
    LayoutStatusBar();
    Layout();
}

void CMainFrame::OnDpiChangedEvent(wxDPIChangedEvent& event) {
    event.Skip();
    // The event's DPI is the window scale's; the layout follows the
    // desktop's text resolution in the window's own coordinates.
    SetDpi(ui::WindowDpi(this));
}

void CMainFrame::LayoutStatusBar() {
    if (statusBar_ == nullptr) return;
    wxClientDC dc(statusBar_);
    dc.SetFont(statusBar_->GetFont());
    // The tool and frame fields keep their design widths unless their text
    // needs more (a larger text scale, a long frame time): then they grow
    // rather than cut it.
    const int textRoom = ui::ScaleDip(kStatusTextRoom, dpi_);
    auto fieldFor = [&](int designWidth, const wxString& text) {
        const int width = ui::ScaleDip(designWidth, dpi_);
        return text.empty() ? width : std::max(width, dc.GetTextExtent(text).x + textRoom);
    };
    const std::array<int, 3> widths{ui::ScaleDip(kProgressWidth, dpi_), fieldFor(kToolWidth, lastToolText_),
                                    fieldFor(kFrameWidth, lastFrameText_)};
    if (widths != statusWidths_) {
        statusWidths_ = widths;
        int lockWidth = 0;
        for (const wxString& text : kLockTexts) lockWidth = std::max(lockWidth, dc.GetTextExtent(text).x);
        lockWidth += ui::ScaleDip(12, dpi_);
        const int fieldWidths[kStatusFieldCount] = {-1,        widths[0], widths[1], widths[2],
                                                    lockWidth, lockWidth, lockWidth};
        const int styles[kStatusFieldCount] = {wxSB_NORMAL, wxSB_FLAT,   wxSB_NORMAL, wxSB_NORMAL,
                                               wxSB_NORMAL, wxSB_NORMAL, wxSB_NORMAL};
        statusBar_->SetStatusWidths(kStatusFieldCount, fieldWidths);
        statusBar_->SetStatusStyles(kStatusFieldCount, styles);
    }
    // The status bar's field rectangles are already 2 px in from the field's
    // edges, where the progress bar belongs.
    wxRect field;
    if (gauge_ != nullptr && statusBar_->GetFieldRect(kStatusProgress, field) && !field.IsEmpty()) {
        if (gauge_->GetRect() != field) {
            gauge_->SetSize(field);
            if (progressShown_) gauge_->Refresh();
        }
    }
}

void CMainFrame::UpdateLockIndicators() {
    const std::array<bool, 3> states{wxGetKeyState(WXK_CAPITAL), wxGetKeyState(WXK_NUMLOCK), wxGetKeyState(WXK_SCROLL)};
    if (states == lockStates_) return;
    lockStates_ = states;
    for (int index = 0; index < 3; ++index)
        statusBar_->SetStatusText(states[index] ? kLockTexts[index] : wxString(), kStatusCaps + index);
}

void CMainFrame::ShowJobProgress(const mesh::PipelineStatus& status) {
    if (statusBar_ == nullptr) return;
    const wxString stage = ToWx(status.progressText);
    const bool hasFraction = !stage.empty() && status.hasFraction;
    wxString text;
    if (stage.empty()) {
        text = "Working...";
    } else if (hasFraction) {
        char percent[32];
        std::snprintf(percent, sizeof percent, "... %.0f%%", static_cast<double>(status.fraction) * 100.0);
        text = stage + percent;
    } else {
        text = stage + "...";
    }
    if (status.quality == mesh::PipelineQuality::Preview) text += "  (draft)";
    text += "   -  Mesh > Stop, or Escape, to cancel";

    if (gauge_ != nullptr) {
        if (!progressShown_) {
            progressShown_ = true;
            lastProgressPosition_ = -1;
            LayoutStatusBar();
            gauge_->Show();
        }
        if (hasFraction != progressDeterminate_) {
            progressDeterminate_ = hasFraction;
            if (hasFraction) {
                gauge_->StopMarquee();
                lastProgressPosition_ = -1;
            } else {
                gauge_->StartMarquee();
            }
        }
        if (hasFraction) {
            const int position =
                std::clamp(static_cast<int>(status.fraction * kProgressRange + 0.5f), 0, kProgressRange);
            if (position != lastProgressPosition_) {
                lastProgressPosition_ = position;
                gauge_->SetValue(position);
                ++statusUpdates_;
            }
        }
    }
    if (text != lastJobText_) {
        lastJobText_ = text;
        statusBar_->SetStatusText(text, kStatusMessage);
        ++statusUpdates_;
    }
}

void CMainFrame::HideJobProgress() {
    if (progressShown_ && gauge_ != nullptr) {
        progressShown_ = false;
        if (!progressDeterminate_) {
            gauge_->StopMarquee();
            progressDeterminate_ = true;
        }
        gauge_->Hide();
        lastProgressPosition_ = -1;
    }
    if (!lastJobText_.empty()) {
        lastJobText_.clear();
        if (statusBar_ != nullptr) statusBar_->SetStatusText(wxString(), kStatusMessage);
    }
}

void CMainFrame::SetToolText(const wxString& text) {
    if (text == lastToolText_ || statusBar_ == nullptr) return;
    lastToolText_ = text;
    statusBar_->SetStatusText(text, kStatusTool);
    LayoutStatusBar();
}

void CMainFrame::SetFrameText(const wxString& text) {
    if (text == lastFrameText_ || statusBar_ == nullptr) return;
    lastFrameText_ = text;
    statusBar_->SetStatusText(text, kStatusFrame);
    LayoutStatusBar();
}

void CMainFrame::Log(const CString& text, LogKind kind) {
    if (log_ != nullptr) log_->AddLine(text, kind);
}

void CMainFrame::Warn(const CString& text) {
    Log(text, LogKind::Warning);
    if (information_ != nullptr) information_->ShowMessage(text, InfoKind::Caution);
}

void CMainFrame::OpenDroppedFiles(const std::vector<std::filesystem::path>& paths) {
    std::filesystem::path document;
    std::filesystem::path texture;
    CString leftAlone;
    const auto& images = TextureImageExtensions();
    for (const auto& path : paths) {
        const std::string extension = LowerExtension(path);
        if (extension == ".stl" || extension == ".rgproj") {
            if (document.empty()) document = path;
        } else if (std::find(images.begin(), images.end(), extension) != images.end()) {
            if (texture.empty()) texture = path;
        } else {
            if (!leftAlone.empty()) leftAlone += L", ";
            leftAlone += WideFromPath(path.filename());
        }
    }
    if (!document.empty()) app_.OpenDocumentFile(WideFromPath(document));
    if (!texture.empty() && app_.Document() != nullptr) app_.Document()->LoadHeightMap(WideFromPath(texture));
    if (!leftAlone.empty()) Warn(L"Not a part, a project or an image, so left alone: " + leftAlone);
}

void CMainFrame::OnReloadTextures() {
    // The texture section keeps the library's lists and thumbnails; it
    // forgets them and reads the folders again.
    auto* body = dynamic_cast<CTextureBody*>(left_->Flow().GetSection(FlowStep::Texture).body);
    if (body != nullptr) body->SetTextureLibrary(LibraryRoots());
}

std::vector<const CommandTable*> CMainFrame::CommandRoute() const {
    const CommandTable* documentTable = app_.Document() != nullptr ? &app_.Document()->Commands() : nullptr;
    return {&view_.Commands(), documentTable, &commands_, &app_.Commands()};
}

bool CMainFrame::TryBefore(wxEvent& event) {
    if (event.GetEventType() == wxEVT_MENU && event.GetId() == ui::WxIdOf(ID_STOP_PROCESSING) && escapeInTextField_) {
        escapeInTextField_ = false;
        return true;
    }
    return ui::CommandFrame::TryBefore(event);
}

CommandId CMainFrame::KeyCommand(int keyCode, int modifiers) const {
    if (modifiers != wxMOD_NONE) return 0;
    if (keyCode == 'F') return ID_VIEW_RESET;
    return 0;
}

}  // namespace ridgeforge
