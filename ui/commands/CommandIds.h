// The one table of command ids: what the menus, the toolbar, the workflow
// sections, the mask panel and the footer send, numbered as the designs
// number them. The document knows none of them; the command layer
// (ui/commands/) binds them to the document's operations.
#pragma once

#include <cstdint>

namespace ridgeforge {

// Application and frame.
inline constexpr std::uint32_t ID_FILE_NEW = 57600;
inline constexpr std::uint32_t ID_FILE_OPEN = 57601;
inline constexpr std::uint32_t ID_FILE_MRU_FIRST = 57616;
inline constexpr std::uint32_t ID_FILE_MRU_LAST = 57619;
inline constexpr std::uint32_t ID_APP_ABOUT = 57664;
inline constexpr std::uint32_t ID_APP_EXIT = 57665;
inline constexpr std::uint32_t ID_DETAILED_LOG = 32915;
inline constexpr std::uint32_t ID_USER_MANUAL = 32916;
inline constexpr std::uint32_t ID_RELOAD_TEXTURES = 32893;

// Camera.
inline constexpr std::uint32_t ID_VIEW_RESET = 32773;
inline constexpr std::uint32_t ID_VIEW_ISOMETRIC = 32774;
inline constexpr std::uint32_t ID_VIEW_FRONT = 32775;
inline constexpr std::uint32_t ID_VIEW_BACK = 32776;
inline constexpr std::uint32_t ID_VIEW_LEFT = 32777;
inline constexpr std::uint32_t ID_VIEW_RIGHT = 32778;
inline constexpr std::uint32_t ID_VIEW_TOP = 32779;
inline constexpr std::uint32_t ID_VIEW_BOTTOM = 32780;
inline constexpr std::uint32_t ID_VIEW_ORTHOGRAPHIC = 32788;

// Shading and surface.
inline constexpr std::uint32_t ID_SHADING_SMOOTH = 32782;
inline constexpr std::uint32_t ID_SHADING_FLAT = 32783;
inline constexpr std::uint32_t ID_SHADING_WIREFRAME = 32784;
inline constexpr std::uint32_t ID_SHADING_SOLID_WIREFRAME = 32785;
inline constexpr std::uint32_t ID_SURFACE_PLAIN = 32811;
inline constexpr std::uint32_t ID_SURFACE_CHECKERBOARD = 32812;
inline constexpr std::uint32_t ID_SURFACE_PROJECTOR = 32813;
inline constexpr std::uint32_t ID_SURFACE_HEIGHT_MAP = 32820;
inline constexpr std::uint32_t ID_SURFACE_OUTER_INNER = 32896;

// Show.
inline constexpr std::uint32_t ID_SHOW_NORMALS = 32786;
inline constexpr std::uint32_t ID_SHOW_BOUNDING_BOX = 32787;
inline constexpr std::uint32_t ID_SHOW_OPEN_EDGES = 32792;
inline constexpr std::uint32_t ID_SHOW_NON_MANIFOLD = 32793;
inline constexpr std::uint32_t ID_SHOW_PROBLEM_FACES = 32794;
inline constexpr std::uint32_t ID_SHOW_COMPONENTS = 32795;
inline constexpr std::uint32_t ID_SHOW_PRINT_CHECK = 32855;
inline constexpr std::uint32_t ID_SHOW_CLIPPING_PLANE = 32844;
inline constexpr std::uint32_t ID_MESH_INFORMATION = 32789;
inline constexpr std::uint32_t ID_DISPLAY_SLICED = 32856;

// Mapping.
inline constexpr std::uint32_t ID_MAPPING_BOX = 32796;
inline constexpr std::uint32_t ID_MAPPING_PLANE = 32797;
inline constexpr std::uint32_t ID_MAPPING_CYLINDER = 32798;
inline constexpr std::uint32_t ID_MAPPING_SPHERE = 32887;
inline constexpr std::uint32_t ID_MAPPING_FIT = 32799;
inline constexpr std::uint32_t ID_MAPPING_SIDE_FIRST = 32801;
inline constexpr std::uint32_t ID_MAPPING_SIDE_LAST = 32806;
inline constexpr std::uint32_t ID_SIDES_ALL = 32807;
inline constexpr std::uint32_t ID_SIDES_NONE = 32808;
inline constexpr std::uint32_t ID_SIDES_INVERT = 32809;
inline constexpr std::uint32_t ID_AXIS_X = 32850;
inline constexpr std::uint32_t ID_AXIS_Y = 32851;
inline constexpr std::uint32_t ID_AXIS_Z = 32852;
inline constexpr std::uint32_t ID_SURFACES_ALL = 32919;
inline constexpr std::uint32_t ID_SURFACES_OUTER = 32920;
inline constexpr std::uint32_t ID_SURFACES_INNER = 32921;
inline constexpr std::uint32_t ID_EDIT_PER_SIDE = 32810;
inline constexpr std::uint32_t ID_PLACE_ALL_SIDES = 32848;
inline constexpr std::uint32_t ID_RESET_PLACEMENT = 32849;
inline constexpr std::uint32_t ID_MAPPING_SETTINGS = 32900;

// Tools.
inline constexpr std::uint32_t ID_TOOL_NONE = 32817;
inline constexpr std::uint32_t ID_TOOL_MOVE_TEXTURE = 32845;
inline constexpr std::uint32_t ID_TOOL_ROTATE_TEXTURE = 32846;
inline constexpr std::uint32_t ID_TOOL_ZOOM_TEXTURE = 32847;
inline constexpr std::uint32_t ID_TOOL_MOVE_CAGE = 32814;
inline constexpr std::uint32_t ID_TOOL_ROTATE_CAGE = 32815;
inline constexpr std::uint32_t ID_TOOL_MOVE_MASK = 32905;
inline constexpr std::uint32_t ID_TOOL_ROTATE_MASK = 32906;
inline constexpr std::uint32_t ID_TOOL_SCALE_MASK = 32907;

// Masks.
inline constexpr std::uint32_t ID_MASK_ADD_BOX = 32901;
inline constexpr std::uint32_t ID_MASK_ADD_CYLINDER = 32902;
inline constexpr std::uint32_t ID_MASK_ADD_SPHERE = 32903;
inline constexpr std::uint32_t ID_MASK_EDIT = 32904;
inline constexpr std::uint32_t ID_MASK_DUPLICATE = 32908;
inline constexpr std::uint32_t ID_MASK_DELETE = 32909;

// Texture toggles and dialogs.
inline constexpr std::uint32_t ID_TEXTURE_INVERT = 32825;
inline constexpr std::uint32_t ID_TEXTURE_TILES = 32894;
inline constexpr std::uint32_t ID_TEXTURE_AUTO_LEVELS = 32895;
inline constexpr std::uint32_t ID_TEXTURE_SETTINGS = 32821;
inline constexpr std::uint32_t ID_TEXTURE_SEAMLESS = 32882;
inline constexpr std::uint32_t ID_RELIEF_SETTINGS = 32889;
inline constexpr std::uint32_t ID_SIMPLIFY_SETTINGS = 32890;

// Processing.
inline constexpr std::uint32_t ID_STOP_PROCESSING = 32836;
inline constexpr std::uint32_t ID_LAY_ON_FACE = 32837;

// The document's commands: files, texture, checks, input mesh, processing, undo.
inline constexpr std::uint32_t ID_FILE_SAVE_STL = 57603;
inline constexpr std::uint32_t ID_FILE_SAVE_AS = 57604;
inline constexpr std::uint32_t ID_FILE_SAVE_ASCII_STL = 32781;
inline constexpr std::uint32_t ID_TEXTURE_LOAD_FROM_DISK = 32819;
// One per procedural pattern, in the registry's menu order (25 of them).
inline constexpr std::uint32_t ID_PROCEDURAL_PATTERN_FIRST = 32930;
inline constexpr std::uint32_t ID_PROCEDURAL_PATTERN_LAST = 32954;
inline constexpr std::uint32_t ID_PROCEDURAL_SETTINGS = 32881;
inline constexpr std::uint32_t ID_OCCUPANCY_128 = 32897;
inline constexpr std::uint32_t ID_OCCUPANCY_256 = 32898;
inline constexpr std::uint32_t ID_OCCUPANCY_512 = 32899;
inline constexpr std::uint32_t ID_TEST_CUBE = 32853;
inline constexpr std::uint32_t ID_TEST_CYLINDER = 32910;
inline constexpr std::uint32_t ID_TEST_SPHERE = 32911;
inline constexpr std::uint32_t ID_FILE_OPEN_PROJECT = 32885;
inline constexpr std::uint32_t ID_FILE_SAVE_PROJECT = 32886;
inline constexpr std::uint32_t ID_FILE_SAVE_PROJECT_AS = 32912;
inline constexpr std::uint32_t ID_MESH_VALIDATE = 32790;
inline constexpr std::uint32_t ID_MESH_CHECK_PRINTABILITY = 32854;
inline constexpr std::uint32_t ID_MESH_REPAIR = 32791;
inline constexpr std::uint32_t ID_MESH_REPAIR_WINDOWS = 32913;
inline constexpr std::uint32_t ID_MESH_SIMPLIFY_INPUT = 32914;
inline constexpr std::uint32_t ID_MESH_REMESH_INPUT = 32917;
inline constexpr std::uint32_t ID_PROCESS = 32888;
inline constexpr std::uint32_t ID_EDIT_UNDO = 57643;
inline constexpr std::uint32_t ID_EDIT_REDO = 57644;

}  // namespace ridgeforge
