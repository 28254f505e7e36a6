// The procedural presets that ship with the program: for every pattern a
// fine and a coarse version and at least one that shows what else it does.
// Values not listed keep the pattern's defaults. The numbers were chosen by
// looking at the renders on the default 30 mm tile, so that the relief's
// features stay a few tenths of a millimetre or more, which a 0.4 mm
// nozzle prints.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ridgeforge::tools {

struct FactoryPreset {
    std::string texture;  // the pattern's display name
    std::string name;     // the preset's name as the browser shows it
    std::vector<std::pair<std::string, float>> values;
};

const std::vector<FactoryPreset>& FactoryPresets();

}  // namespace ridgeforge::tools
