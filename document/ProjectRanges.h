// Values read from a project, held to the ranges the program's own controls
// allow. A project file is text that anyone can edit or damage; taken as it
// stands, a midlevel of 1e30 turns a part into a blob and a triangle size of
// a nanometre asks for more triangles than any machine holds.
//
// Each value is held as the control that sets it would hold it: a number past
// an end of its range becomes that end; a number the control refuses outright
// (a texture width or gamma not above 0, a zoom not above 0) takes the value
// it has when nothing was chosen. Every value changed is named with what was
// read, what is used and what the control allows, so the open can say so.
// Pure functions on the record; nothing is logged here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "document/ProjectFile.h"
#include "document/SettingRanges.h"

namespace ridgeforge::mesh::procedural {
class ParameterSet;
}

namespace ridgeforge {

struct HeldValue {
    std::string name;     // the setting, as the user knows it: "midlevel", "triangle size (mm)"
    std::string read;     // what the file holds, as number text
    std::string used;     // what is taken instead
    std::string allowed;  // what its control allows: "0 to 1", "at least 0.01"
};

// Holds every ranged value of the record; the values changed: the texture's
// first, then the mapping's, the masks', the relief's and the export's.
std::vector<HeldValue> HoldProjectToRanges(ProjectFileData& record);

// The values of a procedural pattern's parameter text that the pattern's own
// ranges change (a set clamps them as it reads the text; this names them).
// For a key the text gives twice, the last value counts, as in the set.
std::vector<HeldValue> HeldParameterValues(const mesh::procedural::ParameterSet& set, std::string_view text);

// One log line: "The project's midlevel 1e+30 is outside what the program
// allows (0 to 1), so 1 is used."
std::string DescribeHeldValue(const HeldValue& held);

}  // namespace ridgeforge
