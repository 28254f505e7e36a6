// The view's command rows and what each menu item and button shows: enabled,
// ticked, or the radio mark of its group. Rows whose state the frame owns
// (the mapping and texture settings) or that are always enabled (camera
// presets, the relief dialogs) have no update handler here.
#include <wx/toplevel.h>

#include "ui/commands/CommandIds.h"
#include "ui/commands/MappingTextureCommands.h"
#include "ui/commands/SettingsCommands.h"
#include "ui/view/OpenGLViewport.h"
#include "ui/view/RidgeforgeView.h"
#include "ui/commands/ViewCommands.h"

namespace ridgeforge {
namespace {

bool HasChosenMask(const CRidgeforgeDoc& doc) {
    return doc.activeMask >= 0 && static_cast<std::size_t>(doc.activeMask) < doc.maskVolumes.size();
}

ViewTool ToolOf(CommandId id) {
    switch (id) {
        case ID_TOOL_MOVE_TEXTURE:
            return ViewTool::MoveTexture;
        case ID_TOOL_ROTATE_TEXTURE:
            return ViewTool::RotateTexture;
        case ID_TOOL_ZOOM_TEXTURE:
            return ViewTool::ZoomTexture;
        case ID_TOOL_MOVE_CAGE:
            return ViewTool::MoveCage;
        case ID_TOOL_ROTATE_CAGE:
            return ViewTool::RotateCage;
        case ID_TOOL_MOVE_MASK:
            return ViewTool::MoveMask;
        case ID_TOOL_ROTATE_MASK:
            return ViewTool::RotateMask;
        case ID_TOOL_SCALE_MASK:
            return ViewTool::ScaleMask;
        default:
            return ViewTool::None;
    }
}

void Radio(CommandState& state, bool on) {
    state.radio = true;
    state.checked = on;
}

}  // namespace

void ViewCommands::Register(CommandTable& table) {
    RegisterCamera(table);
    RegisterDisplay(table);
    RegisterMapping(table);
    RegisterToolsAndMasks(table);
    RegisterTextureAndDialogs(table);
    table.Add(
        ID_LAY_ON_FACE, [this](CommandId) { view_.ToggleLayOnFace(); },
        [this](CommandId, CommandState& state) {
            state.enabled = view_.layOnFaceActive || PartLoaded();
            state.checked = view_.layOnFaceActive;
        });
}

void ViewCommands::RegisterCamera(CommandTable& table) {
    table.AddRange(ID_VIEW_RESET, ID_VIEW_BOTTOM, [this](CommandId id) { CameraPreset(id); });
    table.Add(
        ID_VIEW_ORTHOGRAPHIC, [this](CommandId) { ToggleOrthographic(); },
        [this](CommandId, CommandState& state) {
            const gl::Renderer* r = Renderer();
            state.enabled = RendererReady();
            state.checked = r != nullptr && r->orthographic;
        });
}

void ViewCommands::RegisterDisplay(CommandTable& table) {
    table.AddRange(
        ID_SHADING_SMOOTH, ID_SHADING_SOLID_WIREFRAME, [this](CommandId id) { SelectShading(id); },
        [this](CommandId id, CommandState& state) {
            Radio(state, static_cast<CommandId>(view_.shading) == id - ID_SHADING_SMOOTH);
            state.enabled = RendererReady() && view_.displayMode != DisplayMode::Sliced;
        });
    const auto surfaceUpdate = [this](CommandId id, CommandState& state) {
        const gl::SurfaceMode mode =
            view_.renderer_ != nullptr ? view_.renderer_->SurfaceMode() : gl::SurfaceMode::Plain;
        const CommandId current = mode == gl::SurfaceMode::HeightMap ? ID_SURFACE_HEIGHT_MAP
                                  : mode == gl::SurfaceMode::OuterInner
                                      ? ID_SURFACE_OUTER_INNER
                                      : ID_SURFACE_PLAIN + static_cast<CommandId>(mode);
        Radio(state, view_.renderer_ != nullptr && current == id);
        state.enabled = RendererReady();
        if (id == ID_SURFACE_HEIGHT_MAP) state.enabled = state.enabled && Doc() != nullptr && Doc()->HasTexture();
    };
    for (CommandId id : {ID_SURFACE_PLAIN, ID_SURFACE_CHECKERBOARD, ID_SURFACE_PROJECTOR, ID_SURFACE_HEIGHT_MAP,
                         ID_SURFACE_OUTER_INNER})
        table.Add(
            id, [this](CommandId chosen) { SelectSurface(chosen); }, surfaceUpdate);

    table.AddRange(
        ID_SHOW_NORMALS, ID_SHOW_BOUNDING_BOX, [this](CommandId id) { ToggleShowFlag(id); },
        [this](CommandId id, CommandState& state) {
            const gl::Renderer* r = Renderer();
            state.checked = r != nullptr && (id == ID_SHOW_NORMALS ? r->showNormals : r->showBoundingBox);
            state.enabled = view_.renderer_ != nullptr && view_.renderer_->HasUploadedMesh();
        });
    table.AddRange(
        ID_SHOW_OPEN_EDGES, ID_SHOW_PROBLEM_FACES, [this](CommandId id) { ToggleShowFlag(id); },
        [this](CommandId id, CommandState& state) {
            const gl::Renderer* r = Renderer();
            const CRidgeforgeDoc* doc = Doc();
            state.enabled = false;
            if (doc != nullptr) {
                const mesh::ValidationReport& report = doc->ShownValidationReport();
                state.enabled = id == ID_SHOW_OPEN_EDGES     ? !report.openEdgePoints.empty()
                                : id == ID_SHOW_NON_MANIFOLD ? !report.nonManifoldEdgePoints.empty()
                                                             : !report.reversedTrianglePoints.empty() ||
                                                                   !report.degenerateTrianglePoints.empty();
            }
            state.checked = r != nullptr && (id == ID_SHOW_OPEN_EDGES     ? r->showOpenEdges
                                             : id == ID_SHOW_NON_MANIFOLD ? r->showNonManifoldEdges
                                                                          : r->showProblemFaces);
        });
    const auto withPart = [this](CommandId, CommandState& state) { state.enabled = PartLoaded(); };
    table.Add(
        ID_SHOW_COMPONENTS,
        [this](CommandId) {
            view_.colourByComponent = !view_.colourByComponent;
            view_.UploadMesh(false);
            Repaint();
        },
        [this](CommandId, CommandState& state) {
            state.checked = view_.colourByComponent;
            state.enabled = PartLoaded();
        });
    table.Add(
        ID_SHOW_PRINT_CHECK, [this](CommandId) { view_.UpdatePrintCheckOverlay(!view_.showPrintCheck); },
        [this](CommandId, CommandState& state) {
            state.enabled = Doc() != nullptr && Doc()->printability.checked;
            state.checked = state.enabled && view_.showPrintCheck;
        });
    table.Add(
        ID_SHOW_CLIPPING_PLANE,
        [this](CommandId) {
            view_.clippingPlane = !view_.clippingPlane;
            view_.UploadMesh(false);
            Repaint();
        },
        [this](CommandId, CommandState& state) {
            state.checked = view_.clippingPlane;
            state.enabled = PartLoaded();
        });
    table.Add(
        ID_MESH_INFORMATION, [this](CommandId) { ShowMeshInformation(); }, withPart);
    table.Add(
        ID_DISPLAY_SLICED, [this](CommandId) { ToggleSliced(); },
        [this](CommandId, CommandState& state) {
            Radio(state, view_.displayMode == DisplayMode::Sliced);
            state.enabled = PartLoaded();
        });
}

void ViewCommands::RegisterMapping(CommandTable& table) {
    const auto type = [this] { return Doc() != nullptr ? Doc()->projection.type : mesh::ProjectionType::Box; };
    const auto withPart = [this](CommandId, CommandState& state) { state.enabled = PartLoaded(); };
    for (CommandId id : {ID_MAPPING_BOX, ID_MAPPING_PLANE, ID_MAPPING_CYLINDER, ID_MAPPING_SPHERE})
        table.Add(
            id, [this](CommandId chosen) { SelectMappingType(chosen); },
            [this, type](CommandId chosen, CommandState& state) {
                const CommandId current = type() == mesh::ProjectionType::Sphere
                                              ? ID_MAPPING_SPHERE
                                              : ID_MAPPING_BOX + static_cast<CommandId>(type());
                Radio(state, current == chosen);
                state.enabled = PartLoaded();
            });
    table.Add(
        ID_MAPPING_FIT,
        [this](CommandId) {
            if (!PartLoaded()) return;
            CRidgeforgeDoc* doc = Doc();
            MappingRefresh([doc](DocumentEdit&) { doc->FitPlacementToPart(); });
        },
        withPart);
    table.AddRange(
        ID_MAPPING_SIDE_FIRST, ID_MAPPING_SIDE_LAST,
        [this](CommandId id) {
            if (!PartLoaded()) return;
            MappingRefresh([id](DocumentEdit& edit) {
                auto& enabled = edit.projection.box.sideEnabled[id - ID_MAPPING_SIDE_FIRST];
                enabled = !enabled;
            });
        },
        [this, type](CommandId id, CommandState& state) {
            state.checked = Doc() != nullptr && Doc()->projection.box.sideEnabled[id - ID_MAPPING_SIDE_FIRST];
            state.enabled =
                PartLoaded() && (type() == mesh::ProjectionType::Box || type() == mesh::ProjectionType::Sphere);
        });
    table.AddRange(
        ID_SIDES_ALL, ID_SIDES_INVERT,
        [this](CommandId id) {
            if (!PartLoaded()) return;
            MappingRefresh([id](DocumentEdit& edit) {
                for (bool& enabled : edit.projection.box.sideEnabled)
                    enabled = id == ID_SIDES_ALL || (id == ID_SIDES_INVERT && !enabled);
            });
        },
        withPart);
    table.AddRange(
        ID_AXIS_X, ID_AXIS_Z, [this](CommandId id) { SelectAxis(id); },
        [this, type](CommandId id, CommandState& state) {
            const CRidgeforgeDoc* doc = Doc();
            const mesh::ProjectionType t = type();
            state.enabled = PartLoaded() && t != mesh::ProjectionType::Box;
            const mesh::Axis axis = doc == nullptr                        ? mesh::Axis::Z
                                    : t == mesh::ProjectionType::Plane    ? doc->projection.plane.axis
                                    : t == mesh::ProjectionType::Cylinder ? doc->projection.cylinder.axis
                                                                          : doc->projection.sphere.axis;
            Radio(state, state.enabled && static_cast<CommandId>(axis) == id - ID_AXIS_X);
        });
    table.AddRange(
        ID_SURFACES_ALL, ID_SURFACES_INNER, [this](CommandId id) { SelectSurfaces(id); },
        [this](CommandId id, CommandState& state) {
            static constexpr CommandId kCommandOf[] = {ID_SURFACES_OUTER, ID_SURFACES_INNER, ID_SURFACES_ALL};
            const CRidgeforgeDoc* doc = Doc();
            Radio(state,
                  doc != nullptr && kCommandOf[static_cast<std::size_t>(doc->projection.box.sideSurface[0])] == id);
            state.enabled = PartLoaded();
        });
    table.Add(
        ID_EDIT_PER_SIDE, [this](CommandId) { ToggleEditPerSide(); },
        [this](CommandId, CommandState& state) {
            state.checked = view_.editPerSide;
            state.enabled = PartLoaded();
        });
    table.Add(
        ID_PLACE_ALL_SIDES, [this](CommandId) { PlaceOnAllSides(); },
        [this](CommandId, CommandState& state) {
            state.checked = Doc() != nullptr && Doc()->projection.activeLayer < 0;
            state.enabled = PartLoaded();
        });
    table.Add(
        ID_RESET_PLACEMENT, [this](CommandId) { ResetPlacement(); }, withPart);
}

void ViewCommands::RegisterToolsAndMasks(CommandTable& table) {
    const auto toolUpdate = [this](CommandId id, CommandState& state) {
        const ViewTool tool = ToolOf(id);
        Radio(state, view_.tool == tool);
        state.enabled = PartLoaded() && (!IsMaskTool(tool) || HasChosenMask(*Doc()));
    };
    for (CommandId id :
         {ID_TOOL_NONE, ID_TOOL_MOVE_TEXTURE, ID_TOOL_ROTATE_TEXTURE, ID_TOOL_ZOOM_TEXTURE, ID_TOOL_MOVE_CAGE,
          ID_TOOL_ROTATE_CAGE, ID_TOOL_MOVE_MASK, ID_TOOL_ROTATE_MASK, ID_TOOL_SCALE_MASK})
        table.Add(
            id, [this](CommandId chosen) { SelectTool(ToolOf(chosen)); }, toolUpdate);

    const auto withPart = [this](CommandId, CommandState& state) { state.enabled = PartLoaded(); };
    const auto withChosenMask = [this](CommandId, CommandState& state) {
        state.enabled = PartLoaded() && HasChosenMask(*Doc());
    };
    table.AddRange(
        ID_MASK_ADD_BOX, ID_MASK_ADD_SPHERE, [this](CommandId id) { AddMask(id); }, withPart);
    table.Add(
        ID_MASK_EDIT, [this](CommandId) { EditMasks(); },
        [this](CommandId, CommandState& state) {
            state.checked = IsMaskTool(view_.tool);
            state.enabled = PartLoaded() && !Doc()->maskVolumes.empty();
        });
    table.Add(
        ID_MASK_DUPLICATE, [this](CommandId) { DuplicateMask(); }, withChosenMask);
    table.Add(
        ID_MASK_DELETE, [this](CommandId) { DeleteMask(); }, withChosenMask);
}

void ViewCommands::RegisterTextureAndDialogs(CommandTable& table) {
    const auto hasTexture = [this] { return Doc() != nullptr && Doc()->HasTexture(); };
    table.AddRange(
        ID_TEXTURE_INVERT, ID_TEXTURE_INVERT, [this](CommandId id) { ToggleTextureField(id); },
        [this, hasTexture](CommandId, CommandState& state) {
            state.checked = Doc() != nullptr && Doc()->texture.settings.invert;
            state.enabled = hasTexture();
        });
    table.AddRange(
        ID_TEXTURE_TILES, ID_TEXTURE_AUTO_LEVELS, [this](CommandId id) { ToggleTextureField(id); },
        [this, hasTexture](CommandId id, CommandState& state) {
            const CRidgeforgeDoc* doc = Doc();
            state.enabled = hasTexture();
            state.checked = doc != nullptr && (id == ID_TEXTURE_TILES ? doc->texture.settings.tiles && hasTexture()
                                                                      : doc->texture.settings.autoLevels);
        });

    table.Add(ID_MAPPING_SETTINGS, [this](CommandId) {
        if (CRidgeforgeDoc* doc = Doc(); doc != nullptr && RunMappingSettings(*doc, Owner())) OverlaysAndRepaint();
    });
    table.Add(ID_TEXTURE_SETTINGS, [this](CommandId) {
        if (CRidgeforgeDoc* doc = Doc()) RunTextureSettings(*doc, Owner());
    });
    table.Add(
        ID_TEXTURE_SEAMLESS,
        [this](CommandId) {
            if (CRidgeforgeDoc* doc = Doc()) RunSeamlessCommand(*doc, Owner());
        },
        [this](CommandId, CommandState& state) { state.enabled = Doc() != nullptr && CanRunSeamlessCommand(*Doc()); });
    table.AddRange(ID_RELIEF_SETTINGS, ID_SIMPLIFY_SETTINGS, [this](CommandId id) {
        CRidgeforgeDoc* doc = Doc();
        if (doc == nullptr) return;
        if (RunReliefSettingsCommand(*doc, Owner(), static_cast<int>(id - ID_RELIEF_SETTINGS + 1))) {
            view_.UploadMesh(false);
            view_.UpdateOverlays();
            Repaint();
        }
    });

    table.Add(
        ID_STOP_PROCESSING,
        [this](CommandId) {
            if (CRidgeforgeDoc* doc = Doc()) doc->StopProcessing();
        },
        [this](CommandId, CommandState& state) { state.enabled = Doc() != nullptr && Doc()->pipeline.IsRunning(); });
}

}  // namespace ridgeforge
