// The menu bar. Ids are the commands' own (ui/commands/CommandIds.h); the
// texts carry their mnemonics and, after a tab, their accelerators.
#include <wx/menu.h>

#include <string>

#include "ui/app/MainFrame.h"
#include "ui/commands/CommandIds.h"
#include "textures/procedural/TextureRegistry.h"
#include "ui/framework/Commands.h"

namespace ridgeforge {
namespace {

int Id(CommandId id) { return ui::WxIdOf(id); }

// Spaces stand where a tab would sit, as a tab makes the key an accelerator.
constexpr const char* kOrthographicLabel = "Ort&hographic    Num 5";

wxMenu* FileMenu(wxMenu*& recentFiles) {
    auto* menu = new wxMenu;
    menu->Append(Id(ID_FILE_NEW), "&New\tCtrl+N");
    menu->Append(Id(ID_FILE_OPEN), "&Open STL...\tCtrl+O");
    menu->Append(Id(ID_FILE_OPEN_PROJECT), "Open &Project...");
    menu->AppendSeparator();
    menu->Append(Id(ID_FILE_SAVE_STL), "&Save STL...\tCtrl+S");
    menu->Append(Id(ID_FILE_SAVE_ASCII_STL), "Save &ASCII STL...");
    menu->Append(Id(ID_FILE_SAVE_PROJECT), "Save P&roject\tCtrl+Shift+S");
    menu->Append(Id(ID_FILE_SAVE_PROJECT_AS), "Save Project As...");
    menu->AppendSeparator();
    auto* shapes = new wxMenu;
    shapes->Append(Id(ID_TEST_CUBE), "&Cube");
    shapes->Append(Id(ID_TEST_CYLINDER), "C&ylinder");
    shapes->Append(Id(ID_TEST_SPHERE), "&Sphere");
    menu->AppendSubMenu(shapes, "&Test Shapes");
    menu->AppendSeparator();
    recentFiles = new wxMenu;
    menu->AppendSubMenu(recentFiles, "Recent &Files");
    menu->AppendSeparator();
    menu->Append(Id(ID_APP_EXIT), "E&xit");
    return menu;
}

wxMenu* EditMenu() {
    auto* menu = new wxMenu;
    menu->Append(Id(ID_EDIT_UNDO), "&Undo\tCtrl+Z");
    menu->Append(Id(ID_EDIT_REDO), "&Redo\tCtrl+Y");
    return menu;
}

wxMenu* ViewMenu() {
    auto* menu = new wxMenu;
    menu->Append(Id(ID_VIEW_RESET), "&Reset / Fit\tHome");
    menu->Append(Id(ID_VIEW_ISOMETRIC), "&Isometric");
    menu->Append(Id(ID_VIEW_FRONT), "&Front");
    menu->Append(Id(ID_VIEW_BACK), "&Back");
    menu->Append(Id(ID_VIEW_LEFT), "&Left");
    menu->Append(Id(ID_VIEW_RIGHT), "Righ&t");
    menu->Append(Id(ID_VIEW_TOP), "T&op");
    menu->Append(Id(ID_VIEW_BOTTOM), "Botto&m");
    // The keypad's 5 is the viewport's own key, not an accelerator: the
    // window library would make "\tNum 5" one (or refuse the name), so the
    // key is named in the label itself.
    menu->AppendCheckItem(Id(ID_VIEW_ORTHOGRAPHIC), kOrthographicLabel);
    menu->AppendSeparator();
    auto* shading = new wxMenu;
    shading->AppendRadioItem(Id(ID_SHADING_SMOOTH), "&Smooth Shaded");
    shading->AppendRadioItem(Id(ID_SHADING_FLAT), "&Flat Shaded");
    shading->AppendRadioItem(Id(ID_SHADING_WIREFRAME), "&Wireframe");
    shading->AppendRadioItem(Id(ID_SHADING_SOLID_WIREFRAME), "Solid plus Wi&reframe");
    menu->AppendSubMenu(shading, "&Shading");
    auto* surface = new wxMenu;
    surface->AppendRadioItem(Id(ID_SURFACE_PLAIN), "&Plain");
    surface->AppendRadioItem(Id(ID_SURFACE_CHECKERBOARD), "&Checkerboard");
    surface->AppendRadioItem(Id(ID_SURFACE_PROJECTOR), "Projector C&olours");
    surface->AppendRadioItem(Id(ID_SURFACE_HEIGHT_MAP), "&Height Map");
    surface->AppendRadioItem(Id(ID_SURFACE_OUTER_INNER), "Outer / &Inner");
    menu->AppendSubMenu(surface, "S&urface");
    auto* show = new wxMenu;
    show->AppendCheckItem(Id(ID_SHOW_NORMALS), "&Normals");
    show->AppendCheckItem(Id(ID_SHOW_BOUNDING_BOX), "Bounding Bo&x");
    show->AppendCheckItem(Id(ID_SHOW_OPEN_EDGES), "Open &Edges");
    show->AppendCheckItem(Id(ID_SHOW_NON_MANIFOLD), "Non-&manifold Edges");
    show->AppendCheckItem(Id(ID_SHOW_PROBLEM_FACES), "&Problem Faces");
    show->AppendCheckItem(Id(ID_SHOW_COMPONENTS), "&Colour by Component");
    show->AppendCheckItem(Id(ID_SHOW_PRINT_CHECK), "Print Chec&k");
    show->AppendCheckItem(Id(ID_SHOW_CLIPPING_PLANE), "Clippin&g Plane");
    menu->AppendSubMenu(show, "Sho&w");
    menu->AppendCheckItem(Id(ID_DISPLAY_SLICED), "Sliced (as &Printed)");
    menu->AppendSeparator();
    menu->Append(Id(ID_MESH_INFORMATION), "Mesh I&nformation");
    menu->AppendCheckItem(Id(ID_DETAILED_LOG), "&Detailed Log");
    return menu;
}

wxMenu* MeshMenu() {
    auto* menu = new wxMenu;
    menu->Append(Id(ID_PROCESS), "&Process\tF5");
    menu->Append(Id(ID_STOP_PROCESSING), "Sto&p Processing\tEsc");
    menu->AppendSeparator();
    menu->Append(Id(ID_MESH_VALIDATE), "&Validate");
    menu->Append(Id(ID_MESH_CHECK_PRINTABILITY), "&Check Printability");
    auto* cells = new wxMenu;
    cells->AppendRadioItem(Id(ID_OCCUPANCY_128), "&128");
    cells->AppendRadioItem(Id(ID_OCCUPANCY_256), "&256");
    cells->AppendRadioItem(Id(ID_OCCUPANCY_512), "&512");
    menu->AppendSubMenu(cells, "Print Check &Grid");
    menu->AppendSeparator();
    menu->Append(Id(ID_MESH_REPAIR), "&Repair");
    menu->Append(Id(ID_MESH_REPAIR_WINDOWS), "Repair with &Windows");
    menu->Append(Id(ID_MESH_SIMPLIFY_INPUT), "Simplify &Input Mesh...");
    menu->Append(Id(ID_MESH_REMESH_INPUT), "Re&mesh Input Mesh...");
    menu->AppendSeparator();
    menu->AppendCheckItem(Id(ID_LAY_ON_FACE), "&Lay on Face");
    menu->AppendSeparator();
    auto* settings = new wxMenu;
    settings->Append(Id(ID_RELIEF_SETTINGS), "&Relief...");
    settings->Append(Id(ID_SIMPLIFY_SETTINGS), "S&implify...");
    menu->AppendSubMenu(settings, "S&ettings");
    return menu;
}

wxMenu* TextureMenu() {
    auto* menu = new wxMenu;
    menu->Append(Id(ID_TEXTURE_LOAD_FROM_DISK), "&Load From Disk...");
    auto* patterns = new wxMenu;
    const std::vector<std::string> names = mesh::procedural::TextureNames();
    for (std::size_t index = 0; index < names.size(); ++index) {
        const auto id = ID_PROCEDURAL_PATTERN_FIRST + static_cast<std::uint32_t>(index);
        if (id > ID_PROCEDURAL_PATTERN_LAST) break;
        patterns->Append(Id(id), wxString::FromUTF8(names[index].c_str()) + "...");
    }
    menu->AppendSubMenu(patterns, "&Procedural");
    menu->Append(Id(ID_PROCEDURAL_SETTINGS), "Edit Procedural &Texture...");
    menu->AppendSeparator();
    menu->Append(Id(ID_TEXTURE_SETTINGS), "S&ettings...");
    menu->Append(Id(ID_TEXTURE_SEAMLESS), "Seamles&s...");
    menu->AppendSeparator();
    menu->Append(Id(ID_RELOAD_TEXTURES), "&Reload Textures");
    return menu;
}

wxMenu* MappingMenu() {
    auto* menu = new wxMenu;
    menu->Append(Id(ID_MAPPING_FIT), "&Fit to Model");
    auto* sides = new wxMenu;
    sides->Append(Id(ID_SIDES_ALL), "&All");
    sides->Append(Id(ID_SIDES_NONE), "&None");
    sides->Append(Id(ID_SIDES_INVERT), "&Invert");
    menu->AppendSubMenu(sides, "&Sides");
    menu->AppendCheckItem(Id(ID_EDIT_PER_SIDE), "Edit per &Side (show cage)");
    menu->AppendCheckItem(Id(ID_PLACE_ALL_SIDES), "Place on &All Sides");
    menu->Append(Id(ID_RESET_PLACEMENT), "Reset &Placement");
    menu->AppendSeparator();
    menu->AppendRadioItem(Id(ID_TOOL_NONE), "&No Handles");
    menu->AppendRadioItem(Id(ID_TOOL_MOVE_TEXTURE), "&Move Texture");
    menu->AppendRadioItem(Id(ID_TOOL_ROTATE_TEXTURE), "R&otate Texture");
    menu->AppendRadioItem(Id(ID_TOOL_ZOOM_TEXTURE), "&Zoom Texture");
    menu->AppendRadioItem(Id(ID_TOOL_MOVE_CAGE), "&Move Cage");
    menu->AppendRadioItem(Id(ID_TOOL_ROTATE_CAGE), "&Rotate Cage");
    menu->AppendSeparator();
    menu->Append(Id(ID_MAPPING_SETTINGS), "S&ettings...");
    return menu;
}

wxMenu* MasksMenu() {
    auto* menu = new wxMenu;
    menu->Append(Id(ID_MASK_ADD_BOX), "Add &Box");
    menu->Append(Id(ID_MASK_ADD_CYLINDER), "Add &Cylinder");
    menu->Append(Id(ID_MASK_ADD_SPHERE), "Add &Sphere");
    menu->AppendSeparator();
    menu->AppendCheckItem(Id(ID_MASK_EDIT), "&Edit Masks");
    return menu;
}

wxMenu* HelpMenu() {
    auto* menu = new wxMenu;
    menu->Append(Id(ID_USER_MANUAL), "User &Manual");
    menu->AppendSeparator();
    menu->Append(Id(ID_APP_ABOUT), "&About Ruvolta...");
    return menu;
}

}  // namespace

wxMenuBar* BuildMainMenu(wxMenu*& recentFiles) {
    auto* bar = new wxMenuBar;
    bar->Append(FileMenu(recentFiles), "&File");
    bar->Append(EditMenu(), "&Edit");
    bar->Append(ViewMenu(), "&View");
    bar->Append(MeshMenu(), "&Mesh");
    bar->Append(TextureMenu(), "&Texture");
    bar->Append(MappingMenu(), "M&apping");
    bar->Append(MasksMenu(), "Mas&ks");
    bar->Append(HelpMenu(), "&Help");
    return bar;
}

}  // namespace ridgeforge
