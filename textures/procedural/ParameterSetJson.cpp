// The JSON object form of a parameter set, as preset files keep it: one member
// per entry, typed by kind (number, integer or boolean). Reading takes only
// members of the expected type, so a hand-edited or older file leaves the
// entries it gets wrong at their current values.
#include <algorithm>
#include <cstdint>

#include "mesh/Json.h"
#include "textures/procedural/ParameterSet.h"

namespace ridgeforge::mesh::procedural {

namespace {

std::int32_t ToInt32(float value) {
    const float rounded = RoundHalfAwayFromZero(value);
    if (!(rounded == rounded)) return 0;
    // 2147483520 is the largest float below 2^31.
    return static_cast<std::int32_t>(std::clamp(rounded, -2147483648.0f, 2147483520.0f));
}

}  // namespace

void ParameterSet::ToJson(JsonWriter writer) const {
    const auto& table = Parameters();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const ParameterDefinition& d = table[i];
        const float value = ValueAt(i);
        switch (d.kind) {
            case ParameterKind::Integer:
            case ParameterKind::Choice:
                writer.SetInt(d.key, ToInt32(value));
                break;
            case ParameterKind::Toggle:
                writer.SetBool(d.key, value >= 0.5f);
                break;
            case ParameterKind::Float:
            default:
                writer.SetFloat(d.key, value);
                break;
        }
    }
}

void ParameterSet::FromJson(const JsonReader& reader) {
    const auto& table = Parameters();
    for (const ParameterDefinition& d : table) {
        const nlohmann::json* member = reader.Find(d.key);
        if (member == nullptr) continue;
        if (d.kind == ParameterKind::Toggle) {
            if (member->is_boolean()) SetValue(d.key, member->get<bool>() ? 1.0f : 0.0f);
        } else if (member->is_number()) {
            SetValue(d.key, static_cast<float>(member->get<double>()));
        }
    }
}

}  // namespace ridgeforge::mesh::procedural
