// "Mask Volumes": the tool window beside the view while a mask tool is
// active. It lists the document's mask volumes with a check box each (the
// enabled flag), has a strip of Move, Rotate, Resize, Duplicate and Delete,
// and ten fields for the chosen volume. Every edit goes straight to the
// document; the view asks the panel to refresh after mask changes.
//
// The panel floats over its owner (the main window), which also receives
// its commands. Closing it (Escape or the close box) only asks the owner for
// the No Handles tool; the window lives on and is hidden by the view.
#pragma once

#include <wx/dialog.h>

#include <array>
#include <cstdint>
#include <vector>

#include "ui/dialogs/MaskPanelRules.h"
#include "ui/framework/CommandTable.h"
#include "relief/mapping/MaskVolume.h"

class wxListCtrl;
class wxListEvent;
class wxTextCtrl;

namespace ridgeforge {

class CRidgeforgeDoc;
class CToolbarHostWnd;

namespace ui {
class Profile;
}

class CMaskPanel : public wxDialog {
public:
    enum ControlId : int {
        kVolumeList = 1501,
        kFirstField = 1510,  // ten fields in the fixed order
    };
    // The strip's commands, sent to the owner.
    static constexpr std::array<CommandId, 5> kStripCommands{32905, 32906, 32907, 32908, 32909};
    static constexpr CommandId kNoHandlesCommand = 32817;
    static constexpr CommandId kDeleteCommand = 32909;

    // `owner` is the main window; `profile` keeps the panel's place (none: not kept).
    CMaskPanel(wxWindow* owner, ui::Profile* profile);
    ~CMaskPanel() override;

    // Places the panel when hidden (the saved place while a display holds
    // it, else beside `near`, screen coordinates), shows it without taking
    // the focus, and refreshes it from `document`.
    void ShowNear(wxPoint near, CRidgeforgeDoc* document);
    // The list, check boxes, selection and fields from the document (or none).
    void SyncFromDocument(CRidgeforgeDoc* document);

    wxListCtrl& List() const { return *list_; }
    wxTextCtrl& Field(int index) const { return *fields_[static_cast<std::size_t>(index)]; }
    // How many times the list was emptied and filled again.
    long ListRebuilds() const { return rebuilds_; }

    // Applies the fields the user changed (a field losing the focus, Enter).
    void ApplyFields();
    // The strip's buttons enabled, and the active tool's pressed, as the
    // owner's command route answers for them.
    void UpdateStrip();
    CToolbarHostWnd& Strip() const { return *strip_; }

private:
    void CreateControls();
    void UpdateFields();
    bool ChosenValid() const;
    void OnItemChecked(wxListEvent& event, bool checked);
    void OnItemSelected(wxListEvent& event);
    void OnMoved(wxMoveEvent& event);
    void AskToClose();

    CToolbarHostWnd* strip_ = nullptr;
    wxListCtrl* list_ = nullptr;
    std::array<wxTextCtrl*, kMaskFieldCount> fields_{};
    MaskFieldTexts written_;
    ui::Profile* profile_ = nullptr;
    CRidgeforgeDoc* document_ = nullptr;
    std::vector<mesh::MaskVolume> shown_;
    std::int32_t shownChosen_ = -1;
    bool updating_ = false;
    long rebuilds_ = 0;
};

}  // namespace ridgeforge
