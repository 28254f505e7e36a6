// The project file: a UTF-8 JSON document (".rgproj") that names the part (a
// file or a built-in test shape) and its orientation, the texture (an image
// file or a procedural pattern with its parameters) and how it is toned, the
// mapping, the mask volumes, the stage switches with their settings, the
// limits and the export options.
//
// Paths are stored in pairs, the absolute path and the path relative to the
// project's folder, so that a project moved together with its part and
// texture finds them beside it while an unmoved one keeps its absolute paths.
// The reader starts from the defaults below and keeps a default wherever a key
// is missing or of the wrong type; only a file that is no project at all, or
// one that names no part, is refused. Failures are a false result with one
// error text; nothing here throws.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/Json.h"
#include "mesh/Transform.h"
#include "relief/mapping/MaskVolume.h"
#include "relief/mapping/Projection.h"
#include "relief/displacement/DisplacementSettings.h"
#include "mesh/remesh/RemeshSettings.h"
#include "relief/repair/ExportCleanup.h"
#include "relief/repair/ExportFixes.h"
#include "mesh/simplify/SimplifySettings.h"
#include "textures/TextureSettings.h"
// PathFromWide and WideFromPath, which every path of the document goes through.
#include "text/PathText.h"

namespace ridgeforge {

// More mask volumes than this in a file are not read.
inline constexpr std::int64_t kMaximumProjectMasks = 256;

// The project in memory. A default record holds what every key missing from a
// file keeps.
struct ProjectFileData {
    std::wstring partPath;
    std::string testShape;  // "cube", "cylinder", "sphere" or empty
    mesh::Transform orientation = mesh::Transform::Identity();
    mesh::Projection projection;
    std::vector<mesh::MaskVolume> masks;
    mesh::RemeshSettings remesh;
    mesh::DisplacementSettings displacement;
    mesh::SimplifySettings simplify;
    bool remeshOn = true;
    bool subdivideOn = false;  // read only, from older files
    bool displacementOn = true;
    bool simplifyOn = true;
    std::int32_t occupancyCells = 256;
    std::uint64_t maximumTriangles = 18'000'000;
    std::uint64_t displayTriangles = 4'000'000;
    mesh::ExportCleanupOptions exportCleanup;
    mesh::ExportFixOptions exportFixes{true, true, true, true, 40, 1.0f};
    mesh::TextureSettings textureSettings;
    std::wstring textureImagePath;
    std::string proceduralPattern;
    std::string proceduralParameters;
    std::string proceduralPreset;

    friend bool operator==(const ProjectFileData&, const ProjectFileData&) = default;
};

// The error texts of the reader and the writer.
inline constexpr std::string_view kProjectNotReadable = "the file is not a project (it could not be read as one)";
inline constexpr std::string_view kProjectOfOtherProgram = "the file is not a Ruvolta project";
inline constexpr std::string_view kProjectNamesNoPart = "the project names no part";
inline constexpr std::string_view kProjectNotWritten = "the file could not be written";

// The file name's extension, lower-cased, is exactly ".rgproj".
bool IsProjectFileName(const std::filesystem::path& fileName);

// Writes key + ".path" (the absolute path) and, when one can be formed, key +
// ".relative" (relative to `projectFolder`, forward slashes). Nothing for an
// empty path.
void WriteStoredPath(const JsonWriter& writer, std::string_view key, const std::wstring& path,
                     const std::filesystem::path& projectFolder);
// The relative path joined to `projectFolder` when something exists there,
// else the absolute path, else empty. Members that are not strings, hold a
// NUL, or a "relative" path that is absolute are ignored.
std::wstring ReadStoredPath(const JsonReader& reader, std::string_view key, const std::filesystem::path& projectFolder);

// Writes the whole project through a temporary sibling and a move, so a failed
// write leaves an existing file as it was. On failure `error` is
// kProjectNotWritten followed by ": " and the system's reason.
bool WriteProjectJson(const std::filesystem::path& filePath, const ProjectFileData& data, std::string& error);
// Fills `data` only on success; on failure `data` is untouched and `error`
// holds one of the texts above.
bool ReadProjectJson(const std::filesystem::path& filePath, ProjectFileData& data, std::string& error);

}  // namespace ridgeforge
