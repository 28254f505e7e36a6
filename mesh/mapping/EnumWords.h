// Enumerations stored in settings files as words: a value with a word is
// written as that word, one without as a plain integer; reading accepts only
// a string equal (case and length) to a word of the table, so the integer
// form reads back as "unchanged".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "mesh/Json.h"

namespace ridgeforge::mesh {

template <typename Enum>
struct EnumWord {
    Enum value;
    std::string_view word;
};

template <typename Enum>
void JsonSetEnum(const JsonWriter& writer, std::string_view key, Enum value, std::span<const EnumWord<Enum>> words) {
    for (const EnumWord<Enum>& w : words) {
        if (w.value == value) {
            JsonSetString(writer, key, w.word);
            return;
        }
    }
    JsonSetInteger(writer, key, static_cast<std::int64_t>(value));
}

template <typename Enum>
bool JsonGetEnum(const JsonReader& reader, std::string_view key, Enum& value, std::span<const EnumWord<Enum>> words) {
    std::string text;
    if (!JsonGetString(reader, key, text)) return false;
    for (const EnumWord<Enum>& w : words) {
        if (w.word == text) {
            value = w.value;
            return true;
        }
    }
    return false;
}

}  // namespace ridgeforge::mesh
