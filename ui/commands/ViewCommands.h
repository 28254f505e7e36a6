// The view's menu, key, toolbar and section commands with their update
// handlers: camera presets, shading and surface, the show flags, the sliced
// display, the mapping placement, tools, masks, texture toggles, the
// settings dialogs, Stop and Lay on Face. The rows go into the view's
// command table, which the frame asks first; a state that needs the
// renderer reads it through the view's render sink, or the viewport's
// renderer when one exists, so the document-driven rows also run headless.
#pragma once

#include <functional>

#include <wx/window.h>
// wx/weakref.h needs the window library's base classes first.
#include <wx/weakref.h>

#include "ui/dialogs/MaskPanel.h"
#include "ui/framework/CommandTable.h"
#include "document/DocumentEdit.h"
#include "gl/Handles.h"

class wxWindow;

namespace ridgeforge {

class COpenGLViewport;
class CRidgeforgeDoc;
class CRidgeforgeView;

namespace gl {
class Renderer;
}

bool IsMaskTool(ViewTool tool);

class ViewCommands {
public:
    explicit ViewCommands(CRidgeforgeView& view);
    ViewCommands(const ViewCommands&) = delete;
    ViewCommands& operator=(const ViewCommands&) = delete;

    void Register(CommandTable& table);

    // The tool commands' effect; a mask tool without mask volumes does nothing.
    void SelectTool(ViewTool tool);
    // A mask was added, duplicated or chosen.
    void AfterMaskChange();
    // The visible mask panel re-reads the document.
    void SyncMaskPanel();
    // The mask panel once a mask tool was chosen, else null.
    CMaskPanel* MaskPanel() const { return maskPanel_; }

private:
    CRidgeforgeDoc* Doc() const;
    bool PartLoaded() const;
    bool RendererReady() const;
    gl::Renderer* Renderer() const;
    COpenGLViewport* Viewport() const;
    wxWindow* Owner() const;
    void Repaint() const;
    // Makes the change in one edit of the document, then redraws.
    void MappingRefresh(const std::function<void(DocumentEdit&)>& change);
    void OverlaysAndRepaint();

    void RegisterCamera(CommandTable& table);
    void RegisterDisplay(CommandTable& table);
    void RegisterMapping(CommandTable& table);
    void RegisterToolsAndMasks(CommandTable& table);
    void RegisterTextureAndDialogs(CommandTable& table);

    void CameraPreset(CommandId id);
    void ToggleOrthographic();
    void SelectShading(CommandId id);
    void SelectSurface(CommandId id);
    void ToggleShowFlag(CommandId id);
    void ShowMeshInformation();
    void ToggleSliced();
    void SelectMappingType(CommandId id);
    void SelectAxis(CommandId id);
    void SelectSurfaces(CommandId id);
    void ToggleEditPerSide();
    void PlaceOnAllSides();
    void ResetPlacement();
    void AddMask(CommandId id);
    void EditMasks();
    void DuplicateMask();
    void DeleteMask();
    void ToggleTextureField(CommandId id);

    CRidgeforgeView& view_;
    // The panel belongs to the main window, which may close it first.
    wxWeakRef<CMaskPanel> maskPanel_;
};

}  // namespace ridgeforge
