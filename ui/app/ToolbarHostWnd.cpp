// The strip paints itself flat: a face, a border line along its outer edge,
// separators as short lines, and each placed button by its state (disabled,
// pressed, hovered, checked) with its icon centred. Icons are read once per
// key and scaled once per height; both caches go when the DPI, the colour
// scheme or the icon size changes. Button states come from the same update
// handlers as the menu items, so the strip keeps no state of its own.
#include "ui/app/ToolbarHostWnd.h"

#include <wx/dcbuffer.h>
#include <wx/modalhook.h>
#include <wx/settings.h>
#include <wx/toplevel.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

#include "platform/KnownFolders.h"
#include "text/PathText.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Paint.h"

namespace ridgeforge {
namespace {

const wxColour kMissingIconFrame(170, 170, 170);

wxRect Deflated(const wxRect& rect, int dx, int dy) {
    return wxRect(rect.x + dx, rect.y + dy, rect.width - 2 * dx, rect.height - 2 * dy);
}

// A frame `thickness` px wide just inside `rect`.
void FrameRect(wxDC& dc, const wxRect& rect, const wxColour& colour, int thickness = 1) {
    if (rect.width <= 0 || rect.height <= 0) return;
    ui::FillRectExact(dc, wxRect(rect.x, rect.y, rect.width, thickness), colour);
    ui::FillRectExact(dc, wxRect(rect.x, rect.GetBottom() + 1 - thickness, rect.width, thickness), colour);
    ui::FillRectExact(dc, wxRect(rect.x, rect.y, thickness, rect.height), colour);
    ui::FillRectExact(dc, wxRect(rect.GetRight() + 1 - thickness, rect.y, thickness, rect.height), colour);
}

// A tooltip shown for a button would stay over a dialog that the button (or
// anything else) opens modally, since the mouse never leaves the strip while
// the dialog has the input; the strip forgets its hover first.
class HoverEndingHook : public wxModalDialogHook {
public:
    explicit HoverEndingHook(std::function<void()> end) : end_(std::move(end)) { Register(); }
    ~HoverEndingHook() override { Unregister(); }

protected:
    int Enter(wxDialog*) override {
        end_();
        return wxID_NONE;
    }
    void Exit(wxDialog*) override {}

private:
    std::function<void()> end_;
};

}  // namespace

CToolbarHostWnd::~CToolbarHostWnd() {
    modalHook_.reset();
    if (HasCapture()) ReleaseMouse();
}

bool CToolbarHostWnd::Create(wxWindow* parent, wxWindowID id) {
    if (!wxWindow::Create(parent, id, wxPoint(0, 0), wxSize(0, 0), wxCLIP_CHILDREN | wxBORDER_NONE, "ToolbarHost"))
        return false;
    ui::PrepareBufferedPainting(*this);
    SetCursor(wxCursor(wxCURSOR_ARROW));
    dpi_ = ui::WindowDpi(this);
    MakeFont();
    modalHook_ = std::make_unique<HoverEndingHook>([this] { SetHover(-1); });
    Bind(wxEVT_PAINT, &CToolbarHostWnd::OnPaint, this);
    Bind(wxEVT_SIZE, &CToolbarHostWnd::OnSize, this);
    Bind(wxEVT_MOTION, &CToolbarHostWnd::OnMotion, this);
    Bind(wxEVT_LEAVE_WINDOW, &CToolbarHostWnd::OnLeave, this);
    Bind(wxEVT_LEFT_DOWN, &CToolbarHostWnd::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CToolbarHostWnd::OnLeftUp, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CToolbarHostWnd::OnCaptureLost, this);
    Bind(wxEVT_IDLE, [this](wxIdleEvent& event) {
        event.Skip();
        UpdateButtonStates();
    });
    Bind(wxEVT_DPI_CHANGED, [this](wxDPIChangedEvent& event) {
        event.Skip();
        SetDpi(ui::WindowDpi(this));
    });
    return true;
}

void CToolbarHostWnd::MakeFont() {
    if (fontDpi_ == dpi_) return;
    // The interface font, kept at its size in pixels per DPI of this window.
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    if (!font.IsOk()) font = wxFont(wxFontInfo(9).FaceName("DejaVu Sans"));
    font.SetFractionalPointSize(font.GetFractionalPointSize() * dpi_ / ui::DesktopTextDpi());
    SetFont(font);
    fontDpi_ = dpi_;
}

void CToolbarHostWnd::ClearIconCaches() {
    sourceIcons_.clear();
    scaledIcons_.clear();
}

void CToolbarHostWnd::ResetColorScheme() {
    colours_ = Colours{};
    fontDpi_ = 0;
    MakeFont();
    ClearIconCaches();
    Layout();
    Refresh();
}

void CToolbarHostWnd::SetLargeIcons() {
    if (nominalHeight_ == 40) return;
    nominalHeight_ = 40;
    fontDpi_ = 0;
    MakeFont();
    ClearIconCaches();
    Layout();
    Refresh();
    if (wxWindow* top = wxGetTopLevelParent(this)) top->Layout();
}

void CToolbarHostWnd::SetButtonInset(int dip) {
    if (dip == buttonInset_) return;
    buttonInset_ = dip;
    Layout();
    Refresh();
}

void CToolbarHostWnd::SetItemGap(int dip) {
    if (dip == itemGap_) return;
    itemGap_ = dip;
    Layout();
    Refresh();
}

void CToolbarHostWnd::SetEdgeInset(int dip) {
    if (dip == edgeInset_) return;
    edgeInset_ = dip;
    Layout();
    Refresh();
}

void CToolbarHostWnd::SetVertical(bool vertical) {
    if (vertical == vertical_) return;
    vertical_ = vertical;
    scaledIcons_.clear();
    Layout();
    Refresh();
}

void CToolbarHostWnd::SetCommandTarget(wxWindow* target) { target_ = target; }

void CToolbarHostWnd::SetIconFolder(const wxString& folder, bool relativeToProgram) {
    iconFolder_ = folder;
    iconFolderRelative_ = relativeToProgram;
    ClearIconCaches();
    Layout();
    Refresh();
}

void CToolbarHostWnd::SetButtons(const std::vector<ToolbarButton>& buttons) {
    hover_ = -1;
    pressed_ = -1;
    entries_.clear();
    entries_.reserve(buttons.size());
    for (const ToolbarButton& button : buttons) {
        ToolbarButtonState entry;
        entry.button = button;
        const bool isButton = button.kind == ToolbarItemKind::Button;
        entry.enabled = isButton ? button.initiallyEnabled : true;
        entry.checked = isButton && button.initiallyChecked;
        entry.texts = WorkOutToolbarTexts(button);
        entries_.push_back(std::move(entry));
    }
    Layout();
    UpdateButtonStates();
    Refresh();
}

void CToolbarHostWnd::SetDpi(unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    MakeFont();
    scaledIcons_.clear();
    Layout();
    Refresh();
}

ToolbarMetrics CToolbarHostWnd::Metrics() const {
    ToolbarMetrics metrics;
    metrics.client = GetClientSize();
    metrics.dpi = dpi_;
    metrics.vertical = vertical_;
    metrics.buttonInset = buttonInset_;
    metrics.itemGap = itemGap_;
    metrics.edgeInset = edgeInset_;
    return metrics;
}

bool CToolbarHostWnd::Layout() {
    if (GetHandle() == nullptr) return false;
    std::vector<ToolbarButton> items;
    items.reserve(entries_.size());
    for (const auto& entry : entries_) items.push_back(entry.button);
    const std::vector<wxRect> rects = LayoutToolbarItems(items, Metrics(), [this](std::size_t index, int height) {
        const ScaledIcon* icon = ScaledIconFor(entries_[index].button, height);
        return icon != nullptr ? icon->normal.GetWidth() : 0;
    });
    for (std::size_t index = 0; index < entries_.size(); ++index) entries_[index].rect = rects[index];
    // The hover text follows the button under the mouse; a button that lost
    // its place loses it.
    const int hovered = hover_;
    hover_ = -2;
    SetHover(hovered >= 0 && hovered < static_cast<int>(entries_.size()) && !entries_[hovered].rect.IsEmpty() ? hovered
                                                                                                              : -1);
    return true;
}

wxWindow* CToolbarHostWnd::CommandTarget() const {
    if (wxWindow* target = target_.get(); target != nullptr && !target->IsBeingDeleted()) return target;
    if (wxWindow* top = wxGetTopLevelParent(const_cast<CToolbarHostWnd*>(this)); top != nullptr && top != this)
        return top;
    return GetParent();
}

void CToolbarHostWnd::UpdateButtonStates() {
    wxWindow* target = CommandTarget();
    bool changed = false;
    for (auto& entry : entries_) {
        if (entry.button.kind != ToolbarItemKind::Button) continue;
        bool enabled = entry.button.initiallyEnabled;
        bool checked = false;
        if (entry.button.commandId != 0) {
            enabled = true;
            if (target != nullptr) {
                wxUpdateUIEvent update(ui::WxIdOf(entry.button.commandId));
                update.SetEventObject(this);
                target->GetEventHandler()->ProcessEvent(update);
                // A handler that said nothing leaves the button enabled and
                // unchecked, as the update object starts.
                if (update.GetSetEnabled()) enabled = update.GetEnabled();
                if (update.GetSetChecked()) checked = update.GetChecked();
            }
        }
        if (enabled != entry.enabled || checked != entry.checked) {
            entry.enabled = enabled;
            entry.checked = checked;
            changed = true;
        }
    }
    if (changed) Refresh(false);
}

int CToolbarHostWnd::HitTest(const wxPoint& point) const {
    for (std::size_t index = 0; index < entries_.size(); ++index) {
        const auto& entry = entries_[index];
        if (entry.button.kind == ToolbarItemKind::Button && !entry.rect.IsEmpty() && entry.rect.Contains(point))
            return static_cast<int>(index);
    }
    return -1;
}

std::vector<int> CToolbarHostWnd::ScaledIconHeights() const {
    std::vector<int> heights;
    for (const auto& [key, byHeight] : scaledIcons_)
        for (const auto& [height, icon] : byHeight) heights.push_back(height);
    std::sort(heights.begin(), heights.end());
    heights.erase(std::unique(heights.begin(), heights.end()), heights.end());
    return heights;
}

const wxImage* CToolbarHostWnd::SourceIcon(const ToolbarButton& button) {
    if (button.iconSource != 1 || button.iconKey.empty()) return nullptr;
    char key[16];
    std::snprintf(key, sizeof key, "%d|", button.iconSource);
    const std::string cacheKey = key + button.iconKey;
    if (const auto found = sourceIcons_.find(cacheKey); found != sourceIcons_.end()) return &found->second;

    wxString name = wxString::FromUTF8(button.iconKey);
    name.Trim(true).Trim(false);
    if (name.empty()) return nullptr;
    if (name.Find('.') == wxNOT_FOUND) name += ".png";
    std::filesystem::path folder = PathFromWide(iconFolder_.ToStdWstring());
    if (iconFolderRelative_ && !folder.is_absolute()) {
        folder = iconFolder_.empty() ? platform::ExecutableFolder() : platform::ExecutableFolder() / folder;
    }
    wxImage image = ui::LoadImageFileToBitmap(folder / PathFromWide(name.ToStdWstring()));
    // A file that fails is tried again at the next paint: it may be copied
    // in while the program runs.
    if (!image.IsOk() || image.GetHeight() < 1) return nullptr;
    return &sourceIcons_.emplace(cacheKey, std::move(image)).first->second;
}

CToolbarHostWnd::ScaledIcon* CToolbarHostWnd::ScaledIconFor(const ToolbarButton& button, int height) {
    if (height < 1) return nullptr;
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "%d|%u|", button.iconSource, button.commandId);
    const std::string key = prefix + button.iconKey;
    if (const auto found = scaledIcons_.find(key); found != scaledIcons_.end()) {
        if (const auto atHeight = found->second.find(height); atHeight != found->second.end()) return &atHeight->second;
    }
    const wxImage* source = SourceIcon(button);
    if (source == nullptr) return nullptr;
    const int width = std::max(1, ui::MulDiv(source->GetWidth(), std::max(1, height), source->GetHeight()));
    wxImage scaled = source->Scale(width, height, wxIMAGE_QUALITY_HIGH);
    if (!scaled.HasAlpha()) scaled.InitAlpha();
    ScaledIcon icon;
    icon.normal = wxBitmap(scaled, 32);
    icon.disabled = wxBitmap(TintDisabledIcon(scaled, colours_.disabledTint), 32);
    return &(scaledIcons_[key][height] = std::move(icon));
}

void CToolbarHostWnd::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    PaintStrip(dc);
}

void CToolbarHostWnd::PaintStrip(wxDC& dc) {
    const wxSize client = GetClientSize();
    if (client.x <= 0 || client.y <= 0) return;
    dc.SetFont(GetFont());
    const int line = std::max(1, ui::ScaleDip(1, dpi_));
    ui::FillRectExact(dc, wxRect(client), colours_.face);
    if (vertical_) {
        ui::FillRectExact(dc, wxRect(client.x - line, 0, line, client.y), colours_.border);
    } else {
        ui::FillRectExact(dc, wxRect(0, client.y - line, client.x, line), colours_.border);
    }
    const int iconHeight = ToolbarPaintIconHeight(Metrics());
    const int end = ui::ScaleDip(3, dpi_);
    for (std::size_t index = 0; index < entries_.size(); ++index) {
        const auto& entry = entries_[index];
        if (entry.rect.IsEmpty()) continue;
        if (entry.button.kind == ToolbarItemKind::Separator) {
            const wxRect& r = entry.rect;
            if (vertical_) {
                const int length = r.width - 2 * end;
                if (length > 0) {
                    ui::FillRectExact(dc, wxRect(r.x + end, r.y + (r.height - line) / 2, length, line),
                                      colours_.border);
                }
            } else {
                const int length = r.height - 2 * end;
                if (length > 0) {
                    ui::FillRectExact(dc, wxRect(r.x + (r.width - line) / 2, r.y + end, line, length), colours_.border);
                }
            }
            continue;
        }
        PaintButton(dc, entry, static_cast<int>(index), iconHeight);
    }
}

void CToolbarHostWnd::PaintButton(wxDC& dc, const ToolbarButtonState& entry, int index, int iconHeight) {
    const wxRect& rect = entry.rect;
    const wxColour* fill = &colours_.face;
    const wxColour* frame = nullptr;
    if (entry.enabled) {
        if (index == pressed_) {
            fill = &colours_.pressed;
            frame = &colours_.hoverFrame;
        } else if (index == hover_) {
            fill = &colours_.hover;
            frame = &colours_.hoverFrame;
        } else if (entry.checked) {
            fill = &colours_.checked;
            frame = &colours_.checkedFrame;
        }
    }
    ui::FillRectExact(dc, rect, *fill);
    if (frame != nullptr) FrameRect(dc, rect, *frame);

    const ScaledIcon* icon = ScaledIconFor(entry.button, iconHeight);
    if (icon == nullptr) {
        FrameRect(dc, Deflated(rect, ui::ScaleDip(10, dpi_), ui::ScaleDip(8, dpi_)), kMissingIconFrame);
        return;
    }
    const wxBitmap& bitmap = entry.enabled ? icon->normal : icon->disabled;
    dc.DrawBitmap(bitmap, rect.x + (rect.width - bitmap.GetWidth()) / 2,
                  rect.y + (rect.height - bitmap.GetHeight()) / 2, true);
}

void CToolbarHostWnd::RefreshItem(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return;
    if (!entries_[index].rect.IsEmpty()) RefreshRect(entries_[index].rect, false);
}

void CToolbarHostWnd::SetHover(int index) {
    if (index == hover_) return;
    const int old = hover_;
    hover_ = index;
    RefreshItem(old);
    RefreshItem(index);
    if (index >= 0) {
        SetToolTip(ToolbarTipText(entries_[index].texts));
    } else {
        UnsetToolTip();
    }
}

void CToolbarHostWnd::OnSize(wxSizeEvent& event) {
    event.Skip();
    Layout();
    Refresh();
}

void CToolbarHostWnd::OnMotion(wxMouseEvent& event) { SetHover(HitTest(event.GetPosition())); }

void CToolbarHostWnd::OnLeave(wxMouseEvent&) {
    // While a button is held the mouse is captured and may wander off.
    if (!HasCapture()) SetHover(-1);
}

void CToolbarHostWnd::OnLeftDown(wxMouseEvent& event) {
    const int index = HitTest(event.GetPosition());
    if (index < 0 || !entries_[index].enabled) return;
    pressed_ = index;
    RefreshItem(index);
    if (!HasCapture()) CaptureMouse();
}

void CToolbarHostWnd::OnLeftUp(wxMouseEvent& event) {
    if (HasCapture()) ReleaseMouse();
    const int pressed = pressed_;
    pressed_ = -1;
    RefreshItem(pressed);
    const int index = HitTest(event.GetPosition());
    SetHover(index);
    if (pressed < 0 || index != pressed || !entries_[index].enabled) return;
    SendButtonCommand(entries_[index].button.commandId);
}

void CToolbarHostWnd::OnCaptureLost(wxMouseCaptureLostEvent&) {
    RefreshItem(pressed_);
    pressed_ = -1;
}

void CToolbarHostWnd::SendButtonCommand(std::uint32_t commandId) {
    if (commandId == 0) return;
    if (wxWindow* target = CommandTarget()) {
        wxCommandEvent command(wxEVT_MENU, ui::WxIdOf(commandId));
        command.SetEventObject(this);
        // Guard against the command closing the window that holds the strip.
        wxWeakRef<wxWindow> self(this);
        target->GetEventHandler()->ProcessEvent(command);
        if (self.get() == nullptr) return;
    }
    UpdateButtonStates();
    Refresh(false);
}

CToolbarHostWnd* CreateCompactStrip(wxWindow* parent, wxWindowID id, bool vertical,
                                    const std::vector<ToolbarButton>& buttons) {
    auto* strip = new CToolbarHostWnd();
    if (!strip->Create(parent, id)) {
        delete strip;
        return nullptr;
    }
    strip->ResetColorScheme();
    strip->SetVertical(vertical);
    strip->SetLargeIcons();
    strip->SetButtonInset(4);
    strip->SetItemGap(1);
    strip->SetEdgeInset(2);
    strip->SetButtons(buttons);
    return strip;
}

}  // namespace ridgeforge
