#include "dialogs/MaskPanel.h"

#include <wx/button.h>
#include <wx/display.h>
#include <wx/listctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tglbtn.h>

#include <limits>
#include <optional>

#include "dialogs/DialogUnits.h"
#include "document/RidgeforgeDoc.h"
#include "platform/ui/Commands.h"
#include "platform/ui/Profile.h"

namespace ridgeforge {
namespace {

struct StripButton {
    const char* label;
    const char* tooltip;
};

constexpr std::array<StripButton, 5> kStrip{{
    {"Move", "Drag an arrow to move the chosen volume."},
    {"Rotate", "Drag a ring to turn the chosen volume."},
    {"Resize", "Drag the cube on a face to move that face; with Shift, the opposite face moves too."},
    {"Duplicate", "A copy of the chosen volume, beside it."},
    {"Delete", "Remove the chosen volume."},
}};

bool OnSomeDisplay(wxPoint point) { return wxDisplay::GetFromPoint(point) != wxNOT_FOUND; }

}  // namespace

CMaskPanel::CMaskPanel(wxWindow* owner, ui::Profile* profile)
    : wxDialog(owner, wxID_ANY, "Mask Volumes", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxCLOSE_BOX | wxFRAME_TOOL_WINDOW | wxFRAME_FLOAT_ON_PARENT),
      profile_(profile) {
    CreateControls();
}

CMaskPanel::~CMaskPanel() {
    // The fields lose the focus while the window library takes the panel
    // down, after this object's members are gone: they must not apply.
    for (wxTextCtrl* field : fields_)
        if (field != nullptr) field->SetEvtHandlerEnabled(false);
}

void CMaskPanel::CreateControls() {
    auto at = [this](int x, int y, int w, int h) { return DialogRect(*this, x, y, w, h); };
    // The strip: the tool buttons tell the owner, which routes them to the view.
    for (std::size_t i = 0; i < kStrip.size(); ++i) {
        const wxRect r = at(7 + static_cast<int>(i) * 38, 5, 36, 14);
        const CommandId command = kStripCommands[i];
        // The three tools stay pressed while active; Duplicate and Delete are plain buttons.
        wxAnyButton* button = nullptr;
        if (i < 3) {
            auto* toggle = new wxToggleButton(this, wxID_ANY, kStrip[i].label, r.GetPosition(), r.GetSize());
            toggle->Bind(wxEVT_TOGGLEBUTTON, [this, command](wxCommandEvent&) {
                ui::SendCommand(GetParent(), command);
                UpdateStrip();
            });
            button = toggle;
        } else {
            button = new wxButton(this, wxID_ANY, kStrip[i].label, r.GetPosition(), r.GetSize());
            button->Bind(wxEVT_BUTTON, [this, command](wxCommandEvent&) { ui::SendCommand(GetParent(), command); });
        }
        button->SetToolTip(kStrip[i].tooltip);
        strip_[i] = button;
    }
    wxRect r = at(7, 24, 186, 70);
    list_ = new wxListCtrl(this, kVolumeList, r.GetPosition(), r.GetSize(),
                           wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_SUNKEN);
    list_->EnableCheckBoxes(true);
    const int width = list_->GetClientSize().x;
    list_->AppendColumn("Volume", wxLIST_FORMAT_LEFT, width * 62 / 100);
    list_->AppendColumn("Shape", wxLIST_FORMAT_LEFT, width * 38 / 100 - 2);
    list_->Bind(wxEVT_LIST_ITEM_CHECKED, [this](wxListEvent& e) { OnItemChecked(e, true); });
    list_->Bind(wxEVT_LIST_ITEM_UNCHECKED, [this](wxListEvent& e) { OnItemChecked(e, false); });
    list_->Bind(wxEVT_LIST_ITEM_SELECTED, &CMaskPanel::OnItemSelected, this);
    list_->Bind(wxEVT_LIST_KEY_DOWN, [this](wxListEvent& e) {
        if (e.GetKeyCode() == WXK_DELETE || e.GetKeyCode() == WXK_NUMPAD_DELETE)
            ui::PostCommand(GetParent(), kDeleteCommand);
        else
            e.Skip();
    });

    r = at(7, 98, 186, 84);
    new wxStaticBox(this, wxID_ANY, "Chosen volume", r.GetPosition(), r.GetSize());
    const char* columns[3] = {"X", "Y", "Z"};
    for (int c = 0; c < 3; ++c) {
        r = at(70 + c * 40, 108, 36, 9);
        new wxStaticText(this, wxID_ANY, columns[c], r.GetPosition(), r.GetSize(), wxALIGN_CENTRE_HORIZONTAL);
    }
    const char* rows[4] = {"Position (mm)", "Size (mm)", "Turn (degrees)", "Feather (mm)"};
    for (int row = 0; row < 4; ++row) {
        r = at(12, 120 + row * 15, 56, 9);
        new wxStaticText(this, wxID_ANY, rows[row], r.GetPosition(), r.GetSize());
        const int count = row < 3 ? 3 : 1;
        for (int c = 0; c < count; ++c) {
            const int index = row * 3 + c;
            r = at(70 + c * 40, 118 + row * 15, 36, 12);
            auto* field =
                new wxTextCtrl(this, kFirstField + index, wxString(), r.GetPosition(), r.GetSize(), wxTE_PROCESS_ENTER);
            field->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
                if (!updating_) ApplyFields();
                event.Skip();
            });
            field->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { ApplyFields(); });
            fields_[static_cast<std::size_t>(index)] = field;
        }
    }
    r = at(7, 186, 186, 9);
    new wxStaticText(this, wxID_ANY, "Z is the height of the centre above the bed.", r.GetPosition(), r.GetSize());
    SetClientSize(at(0, 0, 200, 200).GetSize());

    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
        if (event.GetKeyCode() == WXK_ESCAPE)
            AskToClose();
        else
            event.Skip();
    });
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& event) {
        if (event.CanVeto()) event.Veto();
        AskToClose();
    });
    Bind(wxEVT_MOVE, &CMaskPanel::OnMoved, this);
    UpdateFields();
}

void CMaskPanel::AskToClose() { ui::PostCommand(GetParent(), kNoHandlesCommand); }

void CMaskPanel::OnMoved(wxMoveEvent& event) {
    event.Skip();
    if (!IsShown() || profile_ == nullptr) return;
    const wxPoint place = GetPosition();
    profile_->WriteInt("MaskPanel", "X", place.x);
    profile_->WriteInt("MaskPanel", "Y", place.y);
}

void CMaskPanel::ShowNear(wxPoint near, CRidgeforgeDoc* document) {
    if (!IsShown()) {
        std::optional<wxPoint> saved;
        if (profile_ != nullptr) {
            const int missing = std::numeric_limits<int>::min();
            const int x = profile_->GetInt("MaskPanel", "X", missing);
            const int y = profile_->GetInt("MaskPanel", "Y", missing);
            if (x != missing && y != missing) saved = wxPoint(x, y);
        }
        Move(MaskPanelPlace(saved, near, &OnSomeDisplay));
        ShowWithoutActivating();
    }
    SyncFromDocument(document);
    UpdateStrip();
}

void CMaskPanel::UpdateStrip() {
    const auto* frame = dynamic_cast<const ui::CommandFrame*>(GetParent());
    if (frame == nullptr) return;
    for (std::size_t i = 0; i < strip_.size(); ++i) {
        const CommandState state = ui::QueryCommand(*frame, kStripCommands[i]);
        strip_[i]->Enable(state.enabled);
        if (auto* toggle = dynamic_cast<wxToggleButton*>(strip_[i])) toggle->SetValue(state.checked);
    }
}

void CMaskPanel::SyncFromDocument(CRidgeforgeDoc* document) {
    document_ = document;
    updating_ = true;
    const std::vector<mesh::MaskVolume> none;
    const std::vector<mesh::MaskVolume>& volumes = document != nullptr ? document->maskVolumes : none;
    const std::int32_t chosen = document != nullptr ? document->activeMask : -1;
    const bool rebuild = MaskListNeedsRebuild(shown_, volumes);
    if (rebuild) {
        ++rebuilds_;
        list_->DeleteAllItems();
        for (std::size_t i = 0; i < volumes.size(); ++i) {
            const long item = list_->InsertItem(static_cast<long>(i), FromUtf8(volumes[i].name));
            list_->SetItem(item, 1, MaskShapeText(volumes[i].shape));
        }
    }
    for (std::size_t i = 0; i < volumes.size(); ++i)
        if (list_->IsItemChecked(static_cast<long>(i)) != volumes[i].enabled)
            list_->CheckItem(static_cast<long>(i), volumes[i].enabled);
    if (rebuild || chosen != shownChosen_) {
        for (long item = 0; item < list_->GetItemCount(); ++item) {
            const long mask = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
            list_->SetItemState(item, item == chosen ? mask : 0, mask);
        }
        if (chosen >= 0 && chosen < list_->GetItemCount()) list_->EnsureVisible(chosen);
    }
    shown_ = volumes;
    shownChosen_ = chosen;
    UpdateFields();
    updating_ = false;
}

bool CMaskPanel::ChosenValid() const {
    return document_ != nullptr && document_->activeMask >= 0 &&
           static_cast<std::size_t>(document_->activeMask) < document_->maskVolumes.size();
}

void CMaskPanel::UpdateFields() {
    const bool wasUpdating = updating_;
    updating_ = true;
    const bool valid = ChosenValid();
    std::array<float, kMaskFieldCount> values{};
    if (valid)
        values = MaskFieldValues(document_->maskVolumes[static_cast<std::size_t>(document_->activeMask)],
                                 BedHeight(document_->workingPart));
    const wxWindow* focus = wxWindow::FindFocus();
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        wxTextCtrl* field = fields_[i];
        field->Enable(valid);
        // The field being typed in keeps its text.
        if (valid && field == focus) continue;
        written_[i] = valid ? FormatMaskField(values[i]) : wxString();
        field->ChangeValue(written_[i]);
    }
    updating_ = wasUpdating;
}

void CMaskPanel::ApplyFields() {
    if (!ChosenValid()) return;
    const auto index = static_cast<std::size_t>(document_->activeMask);
    MaskFieldTexts typed;
    for (std::size_t i = 0; i < fields_.size(); ++i) typed[i] = fields_[i]->GetValue();
    const mesh::MaskVolume edited =
        ApplyMaskFieldTexts(document_->maskVolumes[index], BedHeight(document_->workingPart), typed, written_);
    document_->UpdateMaskVolume(document_->activeMask, edited);
    shown_ = document_->maskVolumes;
    UpdateFields();
}

void CMaskPanel::OnItemChecked(wxListEvent& event, bool checked) {
    if (updating_ || document_ == nullptr) return;
    const long item = event.GetIndex();
    if (item < 0 || static_cast<std::size_t>(item) >= document_->maskVolumes.size()) return;
    mesh::MaskVolume volume = document_->maskVolumes[static_cast<std::size_t>(item)];
    if (volume.enabled == checked) return;
    volume.enabled = checked;
    document_->UpdateMaskVolume(static_cast<std::int32_t>(item), volume);
    shown_ = document_->maskVolumes;
}

void CMaskPanel::OnItemSelected(wxListEvent& event) {
    if (updating_ || document_ == nullptr) return;
    const long item = event.GetIndex();
    if (item < 0 || static_cast<std::size_t>(item) >= document_->maskVolumes.size()) return;
    shownChosen_ = static_cast<std::int32_t>(item);
    if (document_->activeMask != shownChosen_) {
        document_->activeMask = shownChosen_;
        document_->UpdateAllViews(nullptr, ViewUpdateHint::PlacementChanged);
    }
    UpdateFields();
}

}  // namespace ridgeforge
