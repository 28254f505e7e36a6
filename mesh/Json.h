// The one layer through which every settings, project, preset and library
// file is read and written.
//
// Files are UTF-8 with a byte order mark, printed with two-space indentation
// and no final newline, and saved atomically through the platform's safe
// write (a fresh temporary sibling, synced, moved over the target). Readers accept
// the text with or without the mark, refuse files of 2 GiB or more, and treat
// any syntax error as a missing file. Nothing here throws: failures are null
// documents, empty cursors or `false` (with, when asked, the system's reason
// for a failed save), and the caller words the message.
//
// Settings readers fill a record that already holds its defaults; every
// getter leaves its output alone when the key is missing or mistyped, so
// older and partial files keep loading. Keys may be dotted paths: "cage.center"
// is member "center" of member "cage" (no escaping; an empty part names a
// member with an empty name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "text/Utf8.h"

namespace ridgeforge {

using JsonDocument = std::shared_ptr<nlohmann::json>;
using JsonPointer = nlohmann::json::json_pointer;

class JsonWriter;

// ---- Files and text ------------------------------------------------------

// The path in its extended-length form: made absolute, normalised lexically
// (forward slashes become backslashes, "." and ".." resolved), then prefixed
// with "\\?\" ("\\?\UNC\" for a network path). A pure string rule kept for
// the stored paths that use it; files themselves are opened by plain path.
std::filesystem::path ExtendedLengthPath(const std::filesystem::path& path);

// The largest file any JSON reader takes: one byte under 2 GiB.
inline constexpr std::uint64_t kLargestJsonFileBytes = (std::uint64_t{1} << 31) - 1;

// The parsed document, or null on any failure (missing, not a regular file,
// unreadable, larger than `maxBytes` (measured before anything is read),
// empty, not strict JSON, or text after the value).
JsonDocument ReadJsonFile(const std::filesystem::path& path, std::uint64_t maxBytes = kLargestJsonFileBytes);

// Writes the mark and the text to a temporary sibling, then moves it over
// `path`. True when the target now holds the new text; on failure the target
// keeps its old contents, no temporary file remains and `reason`, when
// given, holds why ("No space left on device").
bool SaveJsonFile(const JsonDocument& document, const std::filesystem::path& path, std::string* reason = nullptr);
bool SaveJsonFile(const JsonWriter& writer, const std::filesystem::path& path, std::string* reason = nullptr);
// The same save; a file is never written in place.
bool WriteJsonFile(const JsonDocument& document, const std::filesystem::path& path);
bool WriteJsonFile(const JsonWriter& writer, const std::filesystem::path& path);

// The double to store for a float: the shortest decimal that reads back as the
// same float, so 0.1f is written 0.1 and not 0.10000000149011612.
double JsonNumberFromFloat(float value);

// The key as one JSON pointer reference token ("~" -> "~0", "/" -> "~1").
std::string EscapeJsonPointerToken(std::string_view key);

// ---- Cursors -------------------------------------------------------------

// A read-only cursor into a shared document. An empty reader (both fields
// null) finds nothing.
class JsonReader {
public:
    JsonReader() = default;
    JsonReader(JsonDocument owner, const nlohmann::json* at) : document(std::move(owner)), node(at) {}
    // A reader on the root of the document (empty when the document is null).
    explicit JsonReader(JsonDocument document);

    // A reader on the root of the file's document; empty when it cannot be
    // read. Every caller reads a settings-sized file (a project, a preset, a
    // library list), so anything over platform::kSmallFileBytes is refused by
    // its size before it is read.
    static JsonReader Open(const std::filesystem::path& path);

    // The member's value; null when the node is null or not an object, or the key is missing.
    const nlohmann::json* Find(std::string_view key) const;
    // A reader on another node of the same document (empty when `child` is null).
    JsonReader At(const nlohmann::json* child) const;
    bool IsEmpty() const { return node == nullptr; }

    JsonDocument document;
    const nlohmann::json* node = nullptr;
};

// A building cursor. It holds the path from the root rather than a node
// pointer, so it stays valid while other members are added; the node is
// looked up again on each operation. When the node is missing or of the wrong
// kind an operation does nothing, and one that returns a writer returns an
// empty one, so a chain of calls on a failed step quietly does nothing.
class JsonWriter {
public:
    JsonWriter() = default;
    JsonWriter(JsonDocument owner, JsonPointer at) : document(std::move(owner)), path(std::move(at)) {}

    // A new document holding an empty object, with the writer at its root.
    static JsonWriter NewDocument();

    // The node at the path; null when the document is null or the path does not resolve.
    nlohmann::json* Node() const;
    bool IsEmpty() const { return Node() == nullptr; }

    // The member as an object (created, or replacing a member of another kind).
    JsonWriter Object(std::string_view key) const;
    // The member as an array (created, or replacing a member of another kind).
    JsonWriter Array(std::string_view key) const;
    // Appends an empty object to this array and returns a writer on it.
    JsonWriter AppendObject() const;

    void SetInt(std::string_view key, std::int32_t value) const;
    void SetFloat(std::string_view key, float value) const;
    void SetBool(std::string_view key, bool value) const;
    void SetString(std::string_view key, std::string_view value) const;
    void AppendFloat(float value) const;

    static JsonPointer ChildPath(const JsonPointer& parent, std::string_view key);
    static JsonPointer ChildIndexPath(const JsonPointer& parent, std::size_t index);

    JsonDocument document;
    JsonPointer path;
};

// ---- Dotted key paths ----------------------------------------------------

// A writer on the object that holds the key's last part, making (or
// replacing with) objects on the way; `key` is cut to its last part.
JsonWriter WriterForKeyPath(const JsonWriter& writer, std::string_view& key);
// A reader on the object that holds the key's last part, or an empty reader
// when a part is missing or not an object; `key` is cut to its last part.
JsonReader ReaderForKeyPath(const JsonReader& reader, std::string_view& key);

void JsonSetString(const JsonWriter& writer, std::string_view key, std::string_view value);
void JsonSetInteger(const JsonWriter& writer, std::string_view key, std::int64_t value);
void JsonSetUInt64(const JsonWriter& writer, std::string_view key, std::uint64_t value);
void JsonSetFloat(const JsonWriter& writer, std::string_view key, float value);
void JsonSetBool(const JsonWriter& writer, std::string_view key, bool value);
// An array of two (three) numbers; NaN and infinity are written as null.
void JsonSetVec2(const JsonWriter& writer, std::string_view key, float x, float y);
void JsonSetVec3(const JsonWriter& writer, std::string_view key, float x, float y, float z);

// Each getter returns true and sets its output only when the member exists and
// has the right kind; otherwise it returns false and leaves the output as it was.
bool JsonGetBool(const JsonReader& reader, std::string_view key, bool& out);
bool JsonGetString(const JsonReader& reader, std::string_view key, std::string& out);
// Any JSON number that is finite and within the output type's range.
bool JsonGetFloat(const JsonReader& reader, std::string_view key, float& out);
bool JsonGetFloat(const JsonReader& reader, std::string_view key, double& out);
// A JSON integer (not a floating number) within the int32 range.
bool JsonGetInt32(const JsonReader& reader, std::string_view key, std::int32_t& out);
// A JSON integer (not a floating number) from 0 to the uint64 maximum.
bool JsonGetUInt64(const JsonReader& reader, std::string_view key, std::uint64_t& out);
// An array of exactly two (three) numbers, each finite and within the float range.
bool JsonGetVec2(const JsonReader& reader, std::string_view key, float& x, float& y);
bool JsonGetVec3(const JsonReader& reader, std::string_view key, float& x, float& y, float& z);

}  // namespace ridgeforge
