// The parameter framework shared by every procedural texture and seamless
// method: a fixed table of definitions describes each knob, and the set holds
// one float per entry.
//
// Values are floats whatever the kind; integers, choices and toggles are kept
// as whole numbers by clamping on every write. Reads never modify the set, so
// many render threads may call GetValue at once while nobody writes.
//
// Text form: one "key=value\n" line per entry, values written with nine
// significant digits so that they read back bit for bit. Number text is
// independent of the process locale.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ridgeforge {
class JsonReader;
class JsonWriter;
}  // namespace ridgeforge

namespace ridgeforge::mesh::procedural {

// Never stored as text: files keep the values only.
enum class ParameterKind : std::int32_t { Float = 0, Integer = 1, Choice = 2, Toggle = 3 };

struct ParameterDefinition {
    std::string key;    // name in key=value text and JSON; unique within a table
    std::string label;  // shown beside the control and in the log line
    std::string help;   // tooltip
    ParameterKind kind = ParameterKind::Float;
    float minimum = 0.0f;
    float maximum = 1.0f;
    float defaultValue = 0.0f;
    float step = 0.01f;
    std::vector<std::string> choices;  // labels of a Choice, in index order

    // The value a set stores for this entry: non-finite gives the default,
    // then clamped to the range and rounded by kind.
    float Clamp(float value) const;
};

ParameterDefinition FloatParameter(std::string_view key, std::string_view label, float minimum, float maximum,
                                   float defaultValue, std::string_view help, float step);
// Step 1; the ints are held as floats.
ParameterDefinition IntegerParameter(std::string_view key, std::string_view label, std::int32_t minimum,
                                     std::int32_t maximum, std::int32_t defaultValue, std::string_view help);
// Range 0 .. labels - 1, step 1.
ParameterDefinition ChoiceParameter(std::string_view key, std::string_view label, std::vector<std::string> choices,
                                    std::int32_t defaultIndex, std::string_view help);
// "seed": Integer 0..999, default 0.
ParameterDefinition SeedParameter();

// Rounds halves away from zero, as every integer and choice value is rounded.
float RoundHalfAwayFromZero(float value);

// Hands each "key=value" line of `text` whose value reads as a number to
// `take`, in order; lines without "=" or a number are skipped.
void ForEachValueLine(std::string_view text, const std::function<void(std::string_view key, double value)>& take);

class ParameterSet {
public:
    virtual ~ParameterSet() = default;

    // Display name, constant for the life of the program.
    virtual const char* Name() const = 0;
    // The table; stays valid and unchanged for the life of the object.
    virtual const std::vector<ParameterDefinition>& Parameters() const = 0;

    // Value of the first entry with that key; the entry's default while
    // values is not filled yet; 0 for an unknown key.
    float GetValue(std::string_view key) const;
    // Stores the clamped value; false (and nothing changes) for an unknown key.
    bool SetValue(std::string_view key, float value);
    void ResetToDefaults();

    // "Name: Label value, Label value" for the log.
    std::string Describe() const;
    // "key=value\n" for every entry, nine significant digits.
    std::string FormatValues() const;
    // Applies key=value lines; unknown keys and malformed lines are skipped.
    void ParseValues(std::string_view text);

    // Sets one member per entry on the object the writer points at.
    void ToJson(JsonWriter writer) const;
    // Reads the members present with the right type; others keep their values.
    void FromJson(const JsonReader& reader);

    // One value per table entry, empty until the first reset.
    std::vector<float> values;

protected:
    ParameterSet() = default;
    ParameterSet(const ParameterSet&) = default;
    ParameterSet& operator=(const ParameterSet&) = default;
    ParameterSet(ParameterSet&&) = default;
    ParameterSet& operator=(ParameterSet&&) = default;

private:
    // Index of the first entry with the key, or -1.
    std::ptrdiff_t IndexOf(std::string_view key) const;
    // Stored value of entry i, or its default when values is short.
    float ValueAt(std::size_t i) const;
};

}  // namespace ridgeforge::mesh::procedural
