#include "tools/factory/FactoryPresets.h"

namespace ridgeforge::tools {

const std::vector<FactoryPreset>& FactoryPresets() {
    static const std::vector<FactoryPreset> presets = {
        {"Noise", "Fine grain", {{"scale", 24}, {"detail", 2}, {"roughness", 0.4f}}},
        {"Noise", "Coarse hills", {{"scale", 4}, {"detail", 4}, {"roughness", 0.45f}}},
        {"Noise", "Marble veins", {{"scale", 3}, {"detail", 3}, {"shape", 1}}},
        {"Noise", "Sandblasted", {{"scale", 64}, {"detail", 1}, {"softness", 0.5f}}},

        {"Wood", "Fine grain", {{"rings", 24}, {"fibreLines", 120}}},
        {"Wood", "Coarse grain", {{"rings", 8}, {"wander", 2}, {"fibreLines", 96}}},
        {"Wood", "End grain", {{"direction", 2}, {"rings", 14}}},

        {"Bricks", "Small bricks", {{"rows", 16}, {"bricks", 8}, {"mortar", 0.2f}}},
        {"Bricks", "Large bricks", {{"rows", 4}, {"bricks", 2}, {"mortar", 0.08f}}},
        {"Bricks", "Rustic bricks", {{"variation", 0.6f}, {"roughness", 0.5f}, {"seed", 7}}},
        {"Bricks", "Stack bond", {{"rows", 8}, {"bricks", 4}, {"offset", 0}}},

        {"Cells", "Fine cobbles", {{"cells", 16}}},
        {"Cells", "Coarse cobbles", {{"cells", 5}}},
        {"Cells", "Crackle", {{"cells", 8}, {"feature", 1}}},
        {"Cells", "Grooves", {{"cells", 8}, {"feature", 2}}},

        {"Stripes", "Fine ribs", {{"stripes", 24}}},
        {"Stripes", "Coarse ribs", {{"stripes", 8}, {"profile", 2}}},
        {"Stripes", "Wavy stripes", {{"stripes", 12}, {"wander", 0.5f}, {"waves", 3}}},
        {"Stripes", "Diagonal ribs", {{"stripes", 16}, {"direction", 2}, {"sharpness", 0.5f}}},

        {"Wood Pores", "Fine pores", {{"along", 14}, {"across", 100}}},
        {"Wood Pores", "Coarse pores", {{"along", 6}, {"across", 56}}},
        {"Wood Pores", "Open grain", {{"along", 10}, {"across", 80}, {"density", 0.8f}}},

        {"Penrose", "Small tiles", {{"depth", 8}}},
        {"Penrose", "Large tiles", {{"depth", 4}}},
        {"Penrose", "Deep grooves", {{"groove", 1}, {"pyramid", 0.15f}}},

        {"Rocks", "Small stones", {{"cells", 12}}},
        {"Rocks", "Large stones", {{"cells", 4}}},
        {"Rocks", "Smooth pebbles", {{"cells", 7}, {"grain", 0}, {"detail", 0.3f}}},

        {"Copper", "Fine hammered", {{"scale", 12}}},
        {"Copper", "Coarse hammered", {{"scale", 3}}},
        {"Copper", "Pitted", {{"pits", 0.8f}, {"ridges", 0.3f}, {"scale", 6}}},

        {"Contours", "Fine contour lines", {{"lines", 20}, {"width", 0.7f}}},
        {"Contours", "Coarse contour lines", {{"lines", 8}, {"width", 0.7f}}},
        {"Contours", "Terraces", {{"style", 1}}},
        {"Contours", "Smooth cells", {{"style", 2}, {"cells", 6}}},

        {"Stars", "Small stars", {{"cells", 10}}},
        {"Stars", "Large stars", {{"cells", 3}}},
        {"Stars", "Star rings", {{"style", 1}}},
        {"Stars", "Stepped stars", {{"style", 2}, {"lattice", 1}}},

        {"Weave", "Fine weave", {{"threads", 24}}},
        {"Weave", "Coarse weave", {{"threads", 6}}},
        {"Weave", "Twill", {{"threads", 12}, {"float", 2}}},

        {"Truchet", "Fine Truchet", {{"cells", 12}, {"rings", 3}}},
        {"Truchet", "Coarse Truchet", {{"cells", 4}, {"rings", 4}}},
        {"Truchet", "Alternating rings", {{"layout", 0}}},

        {"Hex Truchet", "Fine hex lines", {{"hexes", 16}, {"width", 0.2f}}},
        {"Hex Truchet", "Coarse hex lines", {{"hexes", 5}, {"width", 0.2f}}},
        {"Hex Truchet", "Flat ribbons", {{"profile", 1}, {"width", 0.25f}}},

        {"Wire Mesh", "Fine mesh", {{"hexes", 12}, {"width", 0.2f}}},
        {"Wire Mesh", "Coarse mesh", {{"hexes", 4}, {"width", 0.08f}}},
        {"Wire Mesh", "Round holes", {{"roundness", 1}, {"hexes", 8}}},

        {"Timber", "Fine timber", {{"cells", 24}, {"stretch", 10}}},
        {"Timber", "Coarse timber", {{"cells", 6}, {"stretch", 5}}},
        {"Timber", "Straight grain", {{"figure", 0.2f}, {"blotch", 0}}},

        {"Wood Rings", "Fine rings", {{"rings", 28}}},
        {"Wood Rings", "Coarse rings", {{"rings", 8}}},
        {"Wood Rings", "Wavy rings", {{"wander", 15}}},

        {"Caustic Rock", "Fine ripples", {{"cells", 12}}},
        {"Caustic Rock", "Coarse ripples", {{"cells", 3}}},
        {"Caustic Rock", "Bright caustics", {{"brilliance", 3}, {"focus", 5}}},

        {"Penrose Tiles", "Small tiles", {{"levels", 7}}},
        {"Penrose Tiles", "Large tiles", {{"levels", 4}}},
        {"Penrose Tiles", "Level tiles", {{"thin", 0}, {"bevel", 1.5f}}},

        {"Flat Rock", "Small plates", {{"plates", 16}}},
        {"Flat Rock", "Large plates", {{"plates", 4}}},
        {"Flat Rock", "Sharp creases", {{"sharpness", 32}, {"crumple", 0.5f}}},

        {"Trabecular", "Fine lattice", {{"cells", 8}}},
        {"Trabecular", "Coarse lattice", {{"cells", 3}}},
        {"Trabecular", "Thick struts", {{"thickness", 0.15f}}},

        {"Dots", "Fine dots", {{"count", 24}}},
        {"Dots", "Coarse dots", {{"count", 8}}},
        {"Dots", "Square bosses", {{"layout", 0}, {"shape", 1}, {"count", 12}}},
        {"Dots", "Cones", {{"shape", 2}, {"count", 12}}},

        {"Knurl", "Fine knurl", {{"grooves", 28}}},
        {"Knurl", "Coarse knurl", {{"grooves", 14}}},
        {"Knurl", "Straight knurl", {{"kind", 1}, {"grooves", 30}}},
        {"Knurl", "Square knurl", {{"kind", 2}, {"grooves", 24}, {"flat", 0.3f}}},

        {"Tread Plate", "Fine tread plate", {{"count", 16}}},
        {"Tread Plate", "Coarse tread plate", {{"count", 5}}},
        {"Tread Plate", "Short bars", {{"length", 0.6f}}},

        {"Leather", "Fine leather", {{"cells", 28}}},
        {"Leather", "Coarse leather", {{"cells", 10}}},
        {"Leather", "Pebbled leather", {{"rounding", 0.4f}, {"crease", 0.06f}}},
    };
    return presets;
}

}  // namespace ridgeforge::tools
