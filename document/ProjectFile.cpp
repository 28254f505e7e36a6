// Project file reading and writing. Each settings record goes through its own
// JSON reader and writer; this file only lays out the keys, the stored path
// pairs and the mask list, and decides which files are refused.
#include "document/ProjectFile.h"

#include <algorithm>
#include <system_error>

#include "platform/Files.h"
#include "platform/SafeWrite.h"
#include "text/Utf8.h"

namespace ridgeforge {
namespace {

constexpr std::string_view kApplication = "Ridgeforge project";
constexpr std::int32_t kVersion = 1;

// A writer on the object at the dotted key, made on the way.
JsonWriter ObjectAt(const JsonWriter& root, std::string_view key) {
    const JsonWriter holder = WriterForKeyPath(root, key);
    return holder.Object(key);
}

// A reader on the object at the dotted key; empty when it is missing or not an object.
JsonReader ObjectAt(const JsonReader& root, std::string_view key) {
    const JsonReader holder = ReaderForKeyPath(root, key);
    const nlohmann::json* member = holder.Find(key);
    if (!member || !member->is_object()) return {};
    return holder.At(member);
}

std::string Joined(std::string_view key, std::string_view suffix) {
    std::string joined(key);
    joined += suffix;
    return joined;
}

// A string member usable as a path: present, a string, and free of NULs
// (which no file name can hold).
bool GetPathText(const JsonReader& reader, const std::string& key, std::string& out) {
    std::string text;
    if (!JsonGetString(reader, key, text)) return false;
    if (text.find('\0') != std::string::npos) return false;
    out = std::move(text);
    return true;
}

std::filesystem::path ProjectFolderOf(const std::filesystem::path& filePath) {
    return platform::AbsolutePath(filePath).lexically_normal().parent_path();
}

void WritePart(const JsonWriter& root, const ProjectFileData& data, const std::filesystem::path& folder) {
    WriteStoredPath(root, "part", data.partPath, folder);
    if (!data.testShape.empty()) JsonSetString(root, "part.testShape", data.testShape);
    data.orientation.ToJson(ObjectAt(root, "part.orientation"));
}

void WriteTexture(const JsonWriter& root, const ProjectFileData& data, const std::filesystem::path& folder) {
    JsonSetString(root, "texture.procedural", data.proceduralPattern);
    JsonSetString(root, "texture.proceduralParameters", data.proceduralParameters);
    JsonSetString(root, "texture.proceduralPreset", data.proceduralPreset);
    WriteStoredPath(root, "texture.image", data.textureImagePath, folder);
    JsonWriter settings = ObjectAt(root, "texture.settings");
    WriteTextureSettings(settings, data.textureSettings);
}

void WriteMasks(const JsonWriter& root, const std::vector<mesh::MaskVolume>& masks) {
    JsonSetUInt64(root, "maskCount", masks.size());
    for (std::size_t i = 0; i < masks.size(); ++i) {
        mesh::MaskVolume::ToJson(root.Object("mask" + std::to_string(i)), masks[i]);
    }
}

void WriteStages(const JsonWriter& root, const ProjectFileData& data) {
    JsonSetBool(root, "stages.remesh", data.remeshOn);
    JsonSetBool(root, "stages.displacement", data.displacementOn);
    JsonSetBool(root, "stages.simplify", data.simplifyOn);
    mesh::WriteRemeshSettings(root.Object("remesh"), data.remesh);
    mesh::WriteDisplacementSettings(root.Object("displacement"), data.displacement);
    mesh::WriteSimplifySettings(root.Object("simplify"), data.simplify);
}

void WriteLimitsAndExport(const JsonWriter& root, const ProjectFileData& data) {
    JsonSetInteger(root, "occupancyCells", data.occupancyCells);
    JsonSetUInt64(root, "maximumTriangles", data.maximumTriangles);
    JsonSetUInt64(root, "displayTriangles", data.displayTriangles);
    mesh::WriteExportCleanupOptions(root.Object("exportCleanup"), data.exportCleanup);
    mesh::WriteExportFixOptions(root.Object("exportFixes"), data.exportFixes);
}

void ReadPart(const JsonReader& root, ProjectFileData& data, const std::filesystem::path& folder) {
    data.partPath = ReadStoredPath(root, "part", folder);
    JsonGetString(root, "part.testShape", data.testShape);
    const JsonReader orientation = ObjectAt(root, "part.orientation");
    if (!orientation.IsEmpty()) data.orientation.FromJson(orientation);
}

void ReadTexture(const JsonReader& root, ProjectFileData& data, const std::filesystem::path& folder) {
    JsonGetString(root, "texture.procedural", data.proceduralPattern);
    JsonGetString(root, "texture.proceduralParameters", data.proceduralParameters);
    JsonGetString(root, "texture.proceduralPreset", data.proceduralPreset);
    data.textureImagePath = ReadStoredPath(root, "texture.image", folder);
    JsonReader settings = ObjectAt(root, "texture.settings");
    if (!settings.IsEmpty()) ReadTextureSettings(settings, data.textureSettings);
}

// Only a non-negative integer count reads masks, and no more than the
// maximum: a file cannot make the reader build millions of volumes.
void ReadMasks(const JsonReader& root, std::vector<mesh::MaskVolume>& masks) {
    std::uint64_t count = 0;
    if (!JsonGetUInt64(root, "maskCount", count)) return;
    const auto kept = static_cast<std::size_t>(std::min<std::uint64_t>(count, kMaximumProjectMasks));
    masks.assign(kept, mesh::MaskVolume{});
    for (std::size_t i = 0; i < kept; ++i) {
        const nlohmann::json* member = root.Find("mask" + std::to_string(i));
        if (member && member->is_object()) mesh::MaskVolume::FromJson(root.At(member), masks[i]);
    }
}

void ReadStages(const JsonReader& root, ProjectFileData& data) {
    JsonGetBool(root, "stages.remesh", data.remeshOn);
    JsonGetBool(root, "stages.subdivide", data.subdivideOn);
    JsonGetBool(root, "stages.displacement", data.displacementOn);
    JsonGetBool(root, "stages.simplify", data.simplifyOn);
    if (const JsonReader remesh = ObjectAt(root, "remesh"); !remesh.IsEmpty())
        mesh::ReadRemeshSettings(remesh, data.remesh);
    if (const JsonReader displacement = ObjectAt(root, "displacement"); !displacement.IsEmpty())
        mesh::ReadDisplacementSettings(displacement, data.displacement);
    if (const JsonReader simplify = ObjectAt(root, "simplify"); !simplify.IsEmpty())
        mesh::ReadSimplifySettings(simplify, data.simplify);
}

void ReadLimitsAndExport(const JsonReader& root, ProjectFileData& data) {
    JsonGetInt32(root, "occupancyCells", data.occupancyCells);
    JsonGetUInt64(root, "maximumTriangles", data.maximumTriangles);
    JsonGetUInt64(root, "displayTriangles", data.displayTriangles);
    if (const JsonReader cleanup = ObjectAt(root, "exportCleanup"); !cleanup.IsEmpty())
        mesh::ReadExportCleanupOptions(cleanup, data.exportCleanup);
    if (const JsonReader fixes = ObjectAt(root, "exportFixes"); !fixes.IsEmpty())
        mesh::ReadExportFixOptions(fixes, data.exportFixes);
}

}  // namespace

bool IsProjectFileName(const std::filesystem::path& fileName) {
    const std::string name = fileName.filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string extension = name.substr(dot);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return extension == ".rgproj";
}

void WriteStoredPath(const JsonWriter& writer, std::string_view key, const std::wstring& path,
                     const std::filesystem::path& projectFolder) {
    if (path.empty()) return;
    const std::filesystem::path absolute = platform::AbsolutePath(PathFromWide(path)).lexically_normal();
    JsonSetString(writer, Joined(key, ".path"), Utf8FromPath(absolute));
    const std::filesystem::path folder = platform::AbsolutePath(projectFolder).lexically_normal();
    std::string relative = Utf8FromPath(absolute.lexically_relative(folder));
    if (relative.empty()) return;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    JsonSetString(writer, Joined(key, ".relative"), relative);
}

std::wstring ReadStoredPath(const JsonReader& reader, std::string_view key,
                            const std::filesystem::path& projectFolder) {
    std::string absolute;
    std::string relative;
    GetPathText(reader, Joined(key, ".path"), absolute);
    GetPathText(reader, Joined(key, ".relative"), relative);
    if (!relative.empty()) {
        const std::filesystem::path stored = PathFromUtf8(relative);
        // An absolute "relative" path would ignore the folder it is joined to.
        if (!stored.has_root_path()) {
            const std::filesystem::path candidate = (projectFolder / stored).lexically_normal();
            std::error_code error;
            if (std::filesystem::exists(candidate, error)) return WideFromPath(candidate);
        }
    }
    return WideFromUtf8(absolute);
}

bool WriteProjectJson(const std::filesystem::path& filePath, const ProjectFileData& data, std::string& error) {
    const std::filesystem::path folder = ProjectFolderOf(filePath);
    const JsonWriter root = JsonWriter::NewDocument();
    JsonSetString(root, "application", kApplication);
    JsonSetInteger(root, "version", kVersion);
    WritePart(root, data, folder);
    WriteTexture(root, data, folder);
    mesh::WriteProjection(root.Object("projection"), data.projection);
    WriteMasks(root, data.masks);
    WriteStages(root, data);
    WriteLimitsAndExport(root, data);
    std::string reason;
    if (!SaveJsonFile(root, filePath, &reason)) {
        error = platform::WithReason(std::string(kProjectNotWritten), reason);
        return false;
    }
    return true;
}

bool ReadProjectJson(const std::filesystem::path& filePath, ProjectFileData& data, std::string& error) {
    const JsonReader root = JsonReader::Open(filePath);
    if (root.IsEmpty() || !root.node->is_object()) {
        error = kProjectNotReadable;
        return false;
    }
    std::string application;
    if (!JsonGetString(root, "application", application) || application != kApplication) {
        error = kProjectOfOtherProgram;
        return false;
    }
    const std::filesystem::path folder = ProjectFolderOf(filePath);
    ProjectFileData read;
    ReadPart(root, read, folder);
    ReadTexture(root, read, folder);
    if (const JsonReader projection = ObjectAt(root, "projection"); !projection.IsEmpty())
        mesh::ReadProjection(projection, read.projection);
    ReadMasks(root, read.masks);
    ReadStages(root, read);
    ReadLimitsAndExport(root, read);
    if (read.partPath.empty() && read.testShape.empty()) {
        error = kProjectNamesNoPart;
        return false;
    }
    data = std::move(read);
    return true;
}

}  // namespace ridgeforge
