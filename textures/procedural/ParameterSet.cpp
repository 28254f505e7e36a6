// Parameter definitions, clamping by kind, look-up, the log line and the
// key=value text form. Tables are a dozen entries at most, so look-ups are
// plain linear scans; reads never resize `values`, because render threads
// call GetValue concurrently.
#include "textures/procedural/ParameterSet.h"

#include <cmath>
#include <limits>
#include <utility>

#include "text/NumberText.h"

namespace ridgeforge::mesh::procedural {

namespace {

// A rounded value as decimal integer text; values past the 64-bit range (only
// possible with an odd table) fall back to fixed notation instead of overflowing.
std::string FormatWhole(float value) {
    const float rounded = RoundHalfAwayFromZero(value);
    if (std::isfinite(rounded) && std::fabs(rounded) < 9.0e18f) {
        return std::to_string(static_cast<long long>(rounded));
    }
    return FormatFixed(rounded, 0);
}

std::string DescribeValue(const ParameterDefinition& definition, float value) {
    switch (definition.kind) {
        case ParameterKind::Integer:
            return FormatWhole(value);
        case ParameterKind::Choice: {
            float index = RoundHalfAwayFromZero(value);
            if (!(index > 0.0f)) index = 0.0f;  // negative (or NaN) shows the first label
            if (index < static_cast<float>(definition.choices.size())) {
                return definition.choices[static_cast<std::size_t>(index)];
            }
            return FormatWhole(index);
        }
        case ParameterKind::Toggle:
            return value >= 0.5f ? "on" : "off";
        case ParameterKind::Float:
        default:
            return FormatFixed(value, 2);
    }
}

}  // namespace

float RoundHalfAwayFromZero(float value) { return std::round(value); }

float ParameterDefinition::Clamp(float value) const {
    if (!std::isfinite(value)) return defaultValue;
    if (value > maximum) {
        value = maximum;
    } else if (value < minimum) {
        value = minimum;
    }
    switch (kind) {
        case ParameterKind::Integer:
        case ParameterKind::Choice:
            return RoundHalfAwayFromZero(value);
        case ParameterKind::Toggle:
            return value >= 0.5f ? 1.0f : 0.0f;
        case ParameterKind::Float:
        default:
            return value;
    }
}

ParameterDefinition FloatParameter(std::string_view key, std::string_view label, float minimum, float maximum,
                                   float defaultValue, std::string_view help, float step) {
    ParameterDefinition d;
    d.key = key;
    d.label = label;
    d.help = help;
    d.kind = ParameterKind::Float;
    d.minimum = minimum;
    d.maximum = maximum;
    d.defaultValue = defaultValue;
    d.step = step;
    return d;
}

ParameterDefinition IntegerParameter(std::string_view key, std::string_view label, std::int32_t minimum,
                                     std::int32_t maximum, std::int32_t defaultValue, std::string_view help) {
    ParameterDefinition d;
    d.key = key;
    d.label = label;
    d.help = help;
    d.kind = ParameterKind::Integer;
    d.minimum = static_cast<float>(minimum);
    d.maximum = static_cast<float>(maximum);
    d.defaultValue = static_cast<float>(defaultValue);
    d.step = 1.0f;
    return d;
}

ParameterDefinition ChoiceParameter(std::string_view key, std::string_view label, std::vector<std::string> choices,
                                    std::int32_t defaultIndex, std::string_view help) {
    ParameterDefinition d;
    d.key = key;
    d.label = label;
    d.help = help;
    d.kind = ParameterKind::Choice;
    d.minimum = 0.0f;
    d.maximum = static_cast<float>(choices.size()) - 1.0f;
    d.defaultValue = static_cast<float>(defaultIndex);
    d.step = 1.0f;
    d.choices = std::move(choices);
    return d;
}

ParameterDefinition SeedParameter() {
    return IntegerParameter("seed", "Seed", 0, 999, 0, "Another seed is another pattern with the same look");
}

std::ptrdiff_t ParameterSet::IndexOf(std::string_view key) const {
    const auto& table = Parameters();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].key == key) return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

float ParameterSet::ValueAt(std::size_t i) const {
    return i < values.size() ? values[i] : Parameters()[i].defaultValue;
}

float ParameterSet::GetValue(std::string_view key) const {
    const std::ptrdiff_t i = IndexOf(key);
    return i < 0 ? 0.0f : ValueAt(static_cast<std::size_t>(i));
}

bool ParameterSet::SetValue(std::string_view key, float value) {
    const std::ptrdiff_t i = IndexOf(key);
    if (i < 0) return false;
    const auto& table = Parameters();
    if (values.size() != table.size()) ResetToDefaults();
    values[static_cast<std::size_t>(i)] = table[static_cast<std::size_t>(i)].Clamp(value);
    return true;
}

void ParameterSet::ResetToDefaults() {
    const auto& table = Parameters();
    values.resize(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) values[i] = table[i].Clamp(table[i].defaultValue);
}

std::string ParameterSet::Describe() const {
    std::string line = Name();
    line += ':';
    const auto& table = Parameters();
    for (std::size_t i = 0; i < table.size(); ++i) {
        line += i == 0 ? " " : ", ";
        line += table[i].label;
        line += ' ';
        line += DescribeValue(table[i], ValueAt(i));
    }
    return line;
}

std::string ParameterSet::FormatValues() const {
    std::string text;
    const auto& table = Parameters();
    for (std::size_t i = 0; i < table.size(); ++i) {
        text += table[i].key;
        text += '=';
        text += FormatFloatNineDigits(ValueAt(i));
        text += '\n';
    }
    return text;
}

void ForEachValueLine(std::string_view text, const std::function<void(std::string_view key, double value)>& take) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        // Keys are taken exactly as they stand (no trimming); a carriage return
        // before the line feed ends the number and is ignored with it.
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        if (const std::optional<double> number = ParseNumberPrefix(line.substr(equals + 1)))
            take(line.substr(0, equals), *number);
    }
}

void ParameterSet::ParseValues(std::string_view text) {
    ForEachValueLine(text, [this](std::string_view key, double value) { SetValue(key, static_cast<float>(value)); });
}

}  // namespace ridgeforge::mesh::procedural
