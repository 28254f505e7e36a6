#include "ui/app/AppToolbar.h"

#include <wx/sizer.h>

#include "ui/commands/CommandIds.h"
#include "ui/app/ToolbarHostWnd.h"
#include "ui/framework/Dpi.h"

namespace ridgeforge {
namespace {

constexpr int kStripId = 1;
constexpr int kGroupGap = 6;

}  // namespace

std::vector<ToolbarButton> BuildToolbarButtons() {
    const ToolbarButton gap = MakeToolbarSeparator(kGroupGap);
    return {
        MakeToolbarButton(ID_FILE_NEW, "proj_new", "New", "Start again with nothing loaded."),
        MakeToolbarButton(ID_FILE_OPEN, "proj_open", "Import STL", "Load the part to texture."),
        // Not on a menu: the document handles it as File > Save STL.
        MakeToolbarButton(ID_FILE_SAVE_AS, "proj_save", "Export STL", "Save the textured part as an STL file."),
        gap,
        MakeToolbarButton(ID_LAY_ON_FACE, "lay_on_face", "Lay on Face",
                          "Turn the part so a chosen face lies on the bed."),
        gap,
        MakeToolbarButton(ID_TOOL_NONE, "sel_normal", "No Handles", "Hide the texture handles."),
        MakeToolbarButton(ID_TOOL_MOVE_TEXTURE, "sel_move", "Move Texture",
                          "Drag the handles to slide the texture over the part."),
        MakeToolbarButton(ID_TOOL_ROTATE_TEXTURE, "sel_rotate", "Rotate Texture",
                          "Drag the handle to turn the texture."),
        MakeToolbarButton(ID_TOOL_ZOOM_TEXTURE, "sel_scale", "Zoom Texture",
                          "Drag the handles to make the texture larger or smaller."),
        MakeToolbarButton(ID_MASK_EDIT, "sel_mask", "Edit Masks",
                          "Move, turn and size the mask volumes, in their own panel."),
        gap,
        MakeToolbarButton(ID_SURFACE_PLAIN, "surf_plain", "Plain Surface", "Show the part in one colour."),
        MakeToolbarButton(ID_SURFACE_CHECKERBOARD, "surf_checkered", "Checkerboard",
                          "Show where the texture lies as a checkerboard."),
        MakeToolbarButton(ID_SURFACE_PROJECTOR, "surf_colored", "Projector Colours",
                          "Colour each face by the side of the projection that textures it."),
        MakeToolbarButton(ID_SURFACE_HEIGHT_MAP, "surf_texture", "Height Map", "Show the texture itself on the part."),
        MakeToolbarButton(ID_SURFACE_OUTER_INNER, "surf_exposure", "Outer / Inner",
                          "Colour each face by whether it faces open air (pale) or another surface (orange)."),
        gap,
        MakeToolbarButton(ID_SHADING_SMOOTH, "smoothshaded", "Smooth Shaded", "Draw the surface smooth."),
        MakeToolbarButton(ID_SHADING_FLAT, "flatshaded", "Flat Shaded", "Draw every triangle flat."),
        MakeToolbarButton(ID_SHADING_WIREFRAME, "wireframe", "Wireframe", "Draw the triangles' edges only."),
        MakeToolbarButton(ID_SHADING_SOLID_WIREFRAME, "flat_wireframe", "Solid plus Wireframe",
                          "Draw the surface with its edges over it."),
        MakeToolbarButton(ID_VIEW_ORTHOGRAPHIC, "view_ortho", "Orthographic (Numpad 5)",
                          "Parallel projection: sizes stay true at every depth, for the side and top views. Again "
                          "for perspective."),
        gap,
        MakeToolbarButton(ID_DISPLAY_SLICED, "3Dprint_view", "Sliced (as Printed)",
                          "Show the part as the printer lays it, layer by layer. Press again for the displaced "
                          "part."),
    };
}

CAppToolbarPane::CAppToolbarPane(wxWindow* parent, wxWindowID id)
    : wxPanel(parent, id, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE | wxTAB_TRAVERSAL, "Toolbar") {
    auto* strip = new CToolbarHostWnd;
    if (strip->Create(this, kStripId)) {
        strip_ = strip;
        strip_->ResetColorScheme();
        strip_->SetLargeIcons();
        strip_->SetButtonInset(4);
        strip_->SetItemGap(1);
        strip_->SetEdgeInset(6);
        strip_->SetButtons(BuildToolbarButtons());
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(strip_, 1, wxEXPAND);
        SetSizer(sizer);
    } else {
        delete strip;
    }
    UpdateHeight();
}

int CAppToolbarPane::Thickness() const {
    if (strip_ == nullptr) return 40 + 2;
    return ui::ScaleDip(strip_->NominalHeight(), strip_->Dpi()) + 2;
}

void CAppToolbarPane::UpdateHeight() {
    const int thickness = Thickness();
    SetMinSize(wxSize(-1, thickness));
    SetMaxSize(wxSize(-1, thickness));
}

void CAppToolbarPane::ShowPane(bool show) {
    Show(show);
    if (GetParent() != nullptr) GetParent()->Layout();
}

void CAppToolbarPane::SetDpi(unsigned dpi) {
    if (strip_ == nullptr || strip_->Dpi() == dpi) return;
    // The strip takes its new height before the new DPI, so that its last
    // layout, and the icons it scales, are those of the new DPI.
    const int thickness = ui::ScaleDip(strip_->NominalHeight(), dpi) + 2;
    SetMinSize(wxSize(-1, thickness));
    SetMaxSize(wxSize(-1, thickness));
    SetSize(wxSize(GetSize().x, thickness));
    strip_->SetSize(wxSize(GetClientSize().x, thickness));
    strip_->SetDpi(dpi);
}

}  // namespace ridgeforge
