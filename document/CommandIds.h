// The ids of the document's commands, shared by the menus and the command map.
#pragma once

#include <cstdint>

namespace ridgeforge {

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
