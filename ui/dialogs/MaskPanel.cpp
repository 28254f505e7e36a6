#include "ui/dialogs/MaskPanel.h"

#include <wx/display.h>
#include <wx/listctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <limits>
#include <optional>

#include "ui/app/ToolbarHostWnd.h"
#include "ui/dialogs/DialogUnits.h"
#include "document/RidgeforgeDoc.h"
#include "ui/framework/Commands.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Profile.h"

namespace ridgeforge {
namespace {

std::vector<ToolbarButton> StripButtons() {
    const std::array<CommandId, 5>& ids = CMaskPanel::kStripCommands;
    return {
        MakeToolbarButton(ids[0], "sel_move", "Move", "Drag an arrow to move the chosen volume."),
        MakeToolbarButton(ids[1], "sel_rotate", "Rotate", "Drag a ring to turn the chosen volume."),
        MakeToolbarButton(ids[2], "sel_scale", "Resize",
                          "Drag the cube on a face to move that face; with Shift, the opposite face moves too."),
        MakeToolbarButton(ids[3], "mask_duplicate", "Duplicate", "A copy of the chosen volume, beside it."),
        MakeToolbarButton(ids[4], "mask_delete", "Delete", "Remove the chosen volume."),
    };
}

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
    // Everything under the strip moves down by what the strip's icons need
    // beyond the room the layout keeps for it.
    int shift = 0;
    auto at = [this, &shift](int x, int y, int w, int h) {
        wxRect r = DialogRect(*this, x, y, w, h);
        r.y += shift;
        return r;
    };
    // The strip sits where the template keeps room for it, as high as its
    // large icons; its commands and their states go through the main window.
    const wxRect place = at(7, 5, 186, 14);
    strip_ = CreateCompactStrip(this, wxID_ANY, false, {});
    if (strip_ != nullptr) {
        strip_->SetCommandTarget(GetParent());
        strip_->SetButtons(StripButtons());
        strip_->SetSize(place.x, place.y, place.width, ui::ScaleDip(strip_->NominalHeight(), strip_->Dpi()));
        shift = std::max(0, strip_->GetSize().y - place.height);
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
    SetClientSize(at(0, 0, 200, 200).GetSize() + wxSize(0, shift));

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
    if (strip_ != nullptr) strip_->UpdateButtonStates();
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
