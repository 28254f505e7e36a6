// The reading and building cursors, dotted key paths and the typed getters
// and setters. Every lookup goes through find, contains or a kind test first:
// no accessor that could throw on a missing or mistyped member is called.
#include <cmath>
#include <limits>

#include "mesh/Json.h"

#include "platform/Files.h"

namespace ridgeforge {
namespace {

using nlohmann::json;

// Doubles below this magnitude round to a finite float: the largest float
// plus half of its last unit. The largest float's shortest text
// (3.4028235e38) lies just above the float itself and must still read back.
constexpr double kFloatRoundingLimit = 0x1.ffffffp+127;

// A JSON number that a float field may take: finite and inside the float
// range. A stored 1e39 would otherwise silently become infinity.
bool FloatFromNumber(const json& value, float& out) {
    if (!value.is_number()) return false;
    const double d = value.get<double>();
    if (!(std::fabs(d) < kFloatRoundingLimit)) return false;  // also refuses NaN
    out = static_cast<float>(d);
    return true;
}

// Runs `set` on the node when it is an object; the setters share this guard.
template <typename Set>
void WithObject(const JsonWriter& writer, Set&& set) {
    json* node = writer.Node();
    if (node && node->is_object()) set(*node);
}

}  // namespace

// ---- JsonReader ----------------------------------------------------------

JsonReader::JsonReader(JsonDocument doc) : document(std::move(doc)), node(document ? document.get() : nullptr) {
    if (!node) document.reset();
}

JsonReader JsonReader::Open(const std::filesystem::path& path) {
    return JsonReader(ReadJsonFile(path, platform::kSmallFileBytes));
}

const json* JsonReader::Find(std::string_view key) const {
    if (!node || !node->is_object()) return nullptr;
    const auto it = node->find(key);
    return it == node->end() ? nullptr : &*it;
}

JsonReader JsonReader::At(const json* child) const {
    if (!child || !document) return {};
    return JsonReader(document, child);
}

// ---- JsonWriter ----------------------------------------------------------

JsonWriter JsonWriter::NewDocument() { return JsonWriter(std::make_shared<json>(json::object()), JsonPointer()); }

json* JsonWriter::Node() const {
    if (!document) return nullptr;
    if (path.empty()) return document.get();
    try {
        // contains() is the checked lookup; once it succeeds the unchecked
        // operator[] only walks existing members and creates nothing.
        if (!document->contains(path)) return nullptr;
        return &(*document)[path];
    } catch (...) {
        return nullptr;
    }
}

JsonWriter JsonWriter::Object(std::string_view key) const {
    json* node = Node();
    if (!node || !node->is_object()) return {};
    json& member = (*node)[std::string(key)];
    if (!member.is_object()) member = json::object();
    return JsonWriter(document, ChildPath(path, key));
}

JsonWriter JsonWriter::Array(std::string_view key) const {
    json* node = Node();
    if (!node || !node->is_object()) return {};
    json& member = (*node)[std::string(key)];
    if (!member.is_array()) member = json::array();
    return JsonWriter(document, ChildPath(path, key));
}

JsonWriter JsonWriter::AppendObject() const {
    json* node = Node();
    if (!node || !node->is_array()) return {};
    node->push_back(json::object());
    return JsonWriter(document, ChildIndexPath(path, node->size() - 1));
}

void JsonWriter::SetInt(std::string_view key, std::int32_t value) const {
    WithObject(*this, [&](json& node) { node[std::string(key)] = value; });
}

void JsonWriter::SetFloat(std::string_view key, float value) const {
    WithObject(*this, [&](json& node) { node[std::string(key)] = JsonNumberFromFloat(value); });
}

void JsonWriter::SetBool(std::string_view key, bool value) const {
    WithObject(*this, [&](json& node) { node[std::string(key)] = value; });
}

void JsonWriter::SetString(std::string_view key, std::string_view value) const {
    WithObject(*this, [&](json& node) { node[std::string(key)] = std::string(value); });
}

void JsonWriter::AppendFloat(float value) const {
    json* node = Node();
    if (node && node->is_array()) node->push_back(JsonNumberFromFloat(value));
}

JsonPointer JsonWriter::ChildPath(const JsonPointer& parent, std::string_view key) {
    // The token is escaped, so parsing the joined text cannot fail.
    return JsonPointer(parent.to_string() + "/" + EscapeJsonPointerToken(key));
}

JsonPointer JsonWriter::ChildIndexPath(const JsonPointer& parent, std::size_t index) {
    return JsonPointer(parent.to_string() + "/" + std::to_string(index));
}

// ---- Dotted key paths ----------------------------------------------------

JsonWriter WriterForKeyPath(const JsonWriter& writer, std::string_view& key) {
    JsonWriter current = writer;
    for (std::size_t dot = key.find('.'); dot != std::string_view::npos; dot = key.find('.')) {
        current = current.Object(key.substr(0, dot));
        key.remove_prefix(dot + 1);
    }
    return current;
}

JsonReader ReaderForKeyPath(const JsonReader& reader, std::string_view& key) {
    JsonReader current = reader;
    for (std::size_t dot = key.find('.'); dot != std::string_view::npos; dot = key.find('.')) {
        const json* member = current.Find(key.substr(0, dot));
        current = (member && member->is_object()) ? current.At(member) : JsonReader();
        key.remove_prefix(dot + 1);
    }
    return current;
}

void JsonSetString(const JsonWriter& writer, std::string_view key, std::string_view value) {
    WriterForKeyPath(writer, key).SetString(key, value);
}

void JsonSetInteger(const JsonWriter& writer, std::string_view key, std::int64_t value) {
    WithObject(WriterForKeyPath(writer, key), [&](json& node) { node[std::string(key)] = value; });
}

void JsonSetUInt64(const JsonWriter& writer, std::string_view key, std::uint64_t value) {
    WithObject(WriterForKeyPath(writer, key), [&](json& node) { node[std::string(key)] = value; });
}

void JsonSetFloat(const JsonWriter& writer, std::string_view key, float value) {
    WriterForKeyPath(writer, key).SetFloat(key, value);
}

void JsonSetBool(const JsonWriter& writer, std::string_view key, bool value) {
    WriterForKeyPath(writer, key).SetBool(key, value);
}

void JsonSetVec2(const JsonWriter& writer, std::string_view key, float x, float y) {
    const JsonWriter array = WriterForKeyPath(writer, key).Array(key);
    // Array keeps an existing array's elements; a vector is always written whole.
    if (json* node = array.Node()) node->clear();
    array.AppendFloat(x);
    array.AppendFloat(y);
}

void JsonSetVec3(const JsonWriter& writer, std::string_view key, float x, float y, float z) {
    const JsonWriter array = WriterForKeyPath(writer, key).Array(key);
    if (json* node = array.Node()) node->clear();
    array.AppendFloat(x);
    array.AppendFloat(y);
    array.AppendFloat(z);
}

// ---- Getters -------------------------------------------------------------

namespace {

const json* Lookup(const JsonReader& reader, std::string_view key) {
    const JsonReader holder = ReaderForKeyPath(reader, key);
    return holder.Find(key);
}

template <std::size_t N>
bool GetFloats(const JsonReader& reader, std::string_view key, float* const (&outputs)[N]) {
    const json* value = Lookup(reader, key);
    if (!value || !value->is_array() || value->size() != N) return false;
    float parsed[N];
    for (std::size_t i = 0; i < N; ++i) {
        if (!FloatFromNumber((*value)[i], parsed[i])) return false;
    }
    for (std::size_t i = 0; i < N; ++i) *outputs[i] = parsed[i];
    return true;
}

}  // namespace

bool JsonGetBool(const JsonReader& reader, std::string_view key, bool& out) {
    const json* value = Lookup(reader, key);
    if (!value || !value->is_boolean()) return false;
    out = value->get<bool>();
    return true;
}

bool JsonGetString(const JsonReader& reader, std::string_view key, std::string& out) {
    const json* value = Lookup(reader, key);
    if (!value || !value->is_string()) return false;
    out = value->get_ref<const std::string&>();
    return true;
}

bool JsonGetFloat(const JsonReader& reader, std::string_view key, float& out) {
    const json* value = Lookup(reader, key);
    return value && FloatFromNumber(*value, out);
}

bool JsonGetFloat(const JsonReader& reader, std::string_view key, double& out) {
    const json* value = Lookup(reader, key);
    if (!value || !value->is_number()) return false;
    const double d = value->get<double>();
    if (!std::isfinite(d)) return false;
    out = d;
    return true;
}

bool JsonGetInt32(const JsonReader& reader, std::string_view key, std::int32_t& out) {
    const json* value = Lookup(reader, key);
    if (!value) return false;
    if (value->is_number_unsigned()) {
        const auto u = value->get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return false;
        out = static_cast<std::int32_t>(u);
        return true;
    }
    if (value->is_number_integer()) {
        const auto i = value->get<std::int64_t>();
        if (i < std::numeric_limits<std::int32_t>::min() || i > std::numeric_limits<std::int32_t>::max()) return false;
        out = static_cast<std::int32_t>(i);
        return true;
    }
    return false;
}

bool JsonGetUInt64(const JsonReader& reader, std::string_view key, std::uint64_t& out) {
    const json* value = Lookup(reader, key);
    if (!value) return false;
    if (value->is_number_unsigned()) {
        out = value->get<std::uint64_t>();
        return true;
    }
    // A parsed non-negative integer is always unsigned; a signed one is a
    // value built in memory and counts only when it is not negative.
    if (value->is_number_integer()) {
        const auto i = value->get<std::int64_t>();
        if (i < 0) return false;
        out = static_cast<std::uint64_t>(i);
        return true;
    }
    return false;
}

bool JsonGetVec2(const JsonReader& reader, std::string_view key, float& x, float& y) {
    return GetFloats<2>(reader, key, {&x, &y});
}

bool JsonGetVec3(const JsonReader& reader, std::string_view key, float& x, float& y, float& z) {
    return GetFloats<3>(reader, key, {&x, &y, &z});
}

}  // namespace ridgeforge
