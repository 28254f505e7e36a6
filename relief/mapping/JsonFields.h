// One list of keys for both directions of a settings record's JSON form:
// the record lists its fields once, as a template over a field visitor, and
// the writer and the reader below walk that list, so the two cannot drift
// apart.
//
// Enumerations are stored as words: a value with a word is written as that
// word, one without as a plain integer; reading accepts only a string equal
// (case and length) to a word of the table, so the integer form reads back as
// "unchanged". Every other reader rule is that of the JSON layer: a missing
// or mistyped key leaves its field as it was.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "mesh/Json.h"
#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

template <typename Enum>
struct EnumWord {
    Enum value;
    std::string_view word;
};

// Writes each visited field under the writer's current object.
struct JsonFieldWriter {
    const JsonWriter& writer;

    void Bool(std::string_view key, bool value) const { JsonSetBool(writer, key, value); }
    void Float(std::string_view key, float value) const { JsonSetFloat(writer, key, value); }
    void Int(std::string_view key, std::int32_t value) const { JsonSetInteger(writer, key, value); }
    void Text(std::string_view key, const std::string& value) const { JsonSetString(writer, key, value); }
    void Vec2(std::string_view key, const float (&value)[2]) const { JsonSetVec2(writer, key, value[0], value[1]); }
    void Vec3(std::string_view key, const Vec3f& value) const { JsonSetVec3(writer, key, value.x, value.y, value.z); }
    template <typename Enum, std::size_t N>
    void Word(std::string_view key, Enum value, const EnumWord<Enum> (&words)[N]) const {
        for (const EnumWord<Enum>& w : words) {
            if (w.value == value) {
                JsonSetString(writer, key, w.word);
                return;
            }
        }
        JsonSetInteger(writer, key, static_cast<std::int64_t>(value));
    }
};

// Reads each visited field that is present and usable.
struct JsonFieldReader {
    const JsonReader& reader;

    void Bool(std::string_view key, bool& value) const { JsonGetBool(reader, key, value); }
    void Float(std::string_view key, float& value) const { JsonGetFloat(reader, key, value); }
    void Int(std::string_view key, std::int32_t& value) const { JsonGetInt32(reader, key, value); }
    void Text(std::string_view key, std::string& value) const { JsonGetString(reader, key, value); }
    void Vec2(std::string_view key, float (&value)[2]) const { JsonGetVec2(reader, key, value[0], value[1]); }
    void Vec3(std::string_view key, Vec3f& value) const { JsonGetVec3(reader, key, value.x, value.y, value.z); }
    template <typename Enum, std::size_t N>
    void Word(std::string_view key, Enum& value, const EnumWord<Enum> (&words)[N]) const {
        std::string text;
        if (!JsonGetString(reader, key, text)) return;
        for (const EnumWord<Enum>& w : words) {
            if (w.word == text) {
                value = w.value;
                return;
            }
        }
    }
};

}  // namespace ridgeforge::mesh
