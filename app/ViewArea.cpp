#include "app/ViewArea.h"

#include <wx/toplevel.h>
#include <wx/window.h>

#include "app/RidgeforgeApp.h"
#include "app/ShellCommandIds.h"
#include "dialogs/MaskPanel.h"
#include "dialogs/MappingTextureCommands.h"
#include "dialogs/SettingsCommands.h"
#include "document/RidgeforgeDoc.h"
#include "platform/ui/Paint.h"

namespace ridgeforge {
namespace {

bool IsMaskTool(CommandId id) { return id >= ID_TOOL_MOVE_MASK && id <= ID_TOOL_SCALE_MASK; }

bool HasChosenMask(const CRidgeforgeDoc& doc) {
    return doc.activeMask >= 0 && static_cast<std::size_t>(doc.activeMask) < doc.maskVolumes.size();
}

}  // namespace

CViewArea::CViewArea() { BuildCommands(); }

void CViewArea::CreateViewWindow(wxWindow* parent) {
    if (window_ != nullptr) return;
    window_ = new wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE);
    ui::PrepareBufferedPainting(*window_);
    window_->Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
        ui::BufferedPaintDC dc(window_);
        ui::FillRectExact(dc, wxRect(window_->GetClientSize()), wxColour(247, 248, 250));
        ++paints_;
    });
    window_->Bind(wxEVT_DESTROY, [this](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == window_) window_ = nullptr;
        event.Skip();
    });
}

void CViewArea::OnUpdate(DocumentView*, ViewUpdateHint) {
    if (window_ != nullptr) window_->Refresh();
    if (maskPanel_ != nullptr && maskPanel_->IsShown()) maskPanel_->SyncFromDocument(Doc());
}

CRidgeforgeDoc* CViewArea::Doc() const { return dynamic_cast<CRidgeforgeDoc*>(GetDocument()); }

wxWindow* CViewArea::Owner() const { return window_ != nullptr ? wxGetTopLevelParent(window_) : nullptr; }

void CViewArea::BuildCommands() {
    auto withDoc = [this](auto action) {
        return [this, action](CommandId id) {
            if (CRidgeforgeDoc* doc = Doc()) action(*doc, id);
        };
    };
    commands_.Add(ID_MAPPING_SETTINGS, withDoc([this](CRidgeforgeDoc& doc, CommandId) {
                      if (RunMappingSettings(doc, Owner()) && window_ != nullptr) window_->Refresh();
                  }));
    commands_.Add(ID_TEXTURE_SETTINGS,
                  withDoc([this](CRidgeforgeDoc& doc, CommandId) { RunTextureSettings(doc, Owner()); }));
    commands_.Add(ID_TEXTURE_SEAMLESS,
                  withDoc([this](CRidgeforgeDoc& doc, CommandId) { RunSeamlessCommand(doc, Owner()); }),
                  [this](CommandId, CommandState& state) {
                      const CRidgeforgeDoc* doc = Doc();
                      state.enabled = doc != nullptr && CanRunSeamlessCommand(*doc);
                  });
    commands_.Add(
        ID_TOOL_NONE, [this](CommandId) { SelectTool(0); },
        [this](CommandId, CommandState& state) {
            state.radio = true;
            state.checked = tool_ == 0;
            state.enabled = Doc() != nullptr && Doc()->HasPart();
        });
    commands_.AddRange(
        ID_TOOL_MOVE_MASK, ID_TOOL_SCALE_MASK, [this](CommandId id) { SelectTool(id); },
        [this](CommandId id, CommandState& state) {
            const CRidgeforgeDoc* doc = Doc();
            state.radio = true;
            state.checked = tool_ == id;
            state.enabled = doc != nullptr && doc->HasPart() && HasChosenMask(*doc);
        });
    auto needsChosenMask = [this](CommandId, CommandState& state) {
        const CRidgeforgeDoc* doc = Doc();
        state.enabled = doc != nullptr && doc->HasPart() && HasChosenMask(*doc);
    };
    commands_.AddRange(
        ID_MASK_ADD_BOX, ID_MASK_ADD_SPHERE, withDoc([this](CRidgeforgeDoc& doc, CommandId id) {
            if (doc.HasPart() && doc.AddMaskVolume(id - ID_MASK_ADD_BOX) >= 0) AfterMaskChange();
        }),
        [this](CommandId, CommandState& state) { state.enabled = Doc() != nullptr && Doc()->HasPart(); });
    commands_.Add(ID_MASK_EDIT, withDoc([this](CRidgeforgeDoc& doc, CommandId) {
                      if (doc.maskVolumes.empty()) return;
                      if (!HasChosenMask(doc)) {
                          doc.activeMask = 0;
                          doc.UpdateAllViews(nullptr, ViewUpdateHint::PlacementChanged);
                      }
                      AfterMaskChange();
                  }),
                  [this](CommandId, CommandState& state) {
                      const CRidgeforgeDoc* doc = Doc();
                      state.checked = IsMaskTool(tool_);
                      state.enabled = doc != nullptr && doc->HasPart() && !doc->maskVolumes.empty();
                  });
    commands_.Add(ID_MASK_DUPLICATE, withDoc([this](CRidgeforgeDoc& doc, CommandId) {
                      if (HasChosenMask(doc) && doc.DuplicateMaskVolume(doc.activeMask) >= 0) AfterMaskChange();
                  }),
                  needsChosenMask);
    commands_.Add(ID_MASK_DELETE, withDoc([this](CRidgeforgeDoc& doc, CommandId) {
                      if (!HasChosenMask(doc)) return;
                      doc.DeleteMaskVolume(doc.activeMask);
                      if (doc.maskVolumes.empty())
                          SelectTool(0);
                      else
                          AfterMaskChange();
                  }),
                  needsChosenMask);
}

void CViewArea::SelectTool(CommandId tool) {
    CRidgeforgeDoc* doc = Doc();
    if (IsMaskTool(tool) && (doc == nullptr || doc->maskVolumes.empty())) return;
    tool_ = tool;
    if (IsMaskTool(tool)) {
        if (maskPanel_ == nullptr) {
            CRidgeforgeApp* app = CRidgeforgeApp::Get();
            maskPanel_ = new CMaskPanel(Owner(), app != nullptr ? &app->Profile() : nullptr);
        }
        const wxPoint near = window_ != nullptr ? window_->GetScreenRect().GetTopLeft() : wxPoint(0, 0);
        maskPanel_->ShowNear(near, doc);
    } else if (maskPanel_ != nullptr && maskPanel_->IsShown()) {
        maskPanel_->Hide();
    }
    if (maskPanel_ != nullptr) maskPanel_->UpdateStrip();
    if (doc != nullptr && doc->placementToolActive != (tool != 0)) {
        doc->placementToolActive = tool != 0;
        doc->OnSettingsChanged();
    }
    if (window_ != nullptr) window_->Refresh();
}

void CViewArea::AfterMaskChange() {
    if (!IsMaskTool(tool_))
        SelectTool(ID_TOOL_MOVE_MASK);
    else if (maskPanel_ != nullptr && maskPanel_->IsShown())
        maskPanel_->SyncFromDocument(Doc());
}

}  // namespace ridgeforge
