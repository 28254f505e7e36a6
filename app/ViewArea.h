// The area in the middle of the main window until the 3D view takes it: a
// plain window that repaints when the document changes. Until then it also
// answers the view's settings-dialog and mask commands, so that Mapping >
// Settings..., Texture > Settings... and Seamless... and the mask tools with
// their "Mask Volumes" panel work in the program.
#pragma once

#include <cstdint>

#include "document/CommandTable.h"
#include "platform/ui/DocView.h"

class wxWindow;

namespace ridgeforge {

class CMaskPanel;
class CRidgeforgeDoc;

class CViewArea : public ui::View {
public:
    CViewArea();
    void CreateViewWindow(wxWindow* parent) override;
    wxWindow* Window() const override { return window_; }
    void OnUpdate(DocumentView* sender, ViewUpdateHint hint) override;
    // How many times the area was painted.
    long PaintCount() const { return paints_; }
    // The mask panel once a mask tool was chosen, else null.
    CMaskPanel* MaskPanel() const { return maskPanel_; }
    // The active tool: 0 none, else the mask tool's command.
    CommandId Tool() const { return tool_; }

private:
    CRidgeforgeDoc* Doc() const;
    wxWindow* Owner() const;
    void BuildCommands();
    void SelectTool(CommandId tool);
    void AfterMaskChange();

    wxWindow* window_ = nullptr;
    CMaskPanel* maskPanel_ = nullptr;
    CommandId tool_ = 0;
    long paints_ = 0;
};

}  // namespace ridgeforge
