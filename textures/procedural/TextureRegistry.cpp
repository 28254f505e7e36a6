#include "textures/procedural/TextureRegistry.h"

#include "textures/procedural/BricksTexture.h"
#include "textures/procedural/CausticRockTexture.h"
#include "textures/procedural/CellsTexture.h"
#include "textures/procedural/ContoursTexture.h"
#include "textures/procedural/CopperTexture.h"
#include "textures/procedural/DotsTexture.h"
#include "textures/procedural/FlatRockTexture.h"
#include "textures/procedural/HexTruchetTexture.h"
#include "textures/procedural/KnurlTexture.h"
#include "textures/procedural/LeatherTexture.h"
#include "textures/procedural/NoiseTexture.h"
#include "textures/procedural/PenroseTexture.h"
#include "textures/procedural/PenroseTilesTexture.h"
#include "textures/procedural/RocksTexture.h"
#include "textures/procedural/StarsTexture.h"
#include "textures/procedural/StripesTexture.h"
#include "textures/procedural/TimberTexture.h"
#include "textures/procedural/TrabecularTexture.h"
#include "textures/procedural/TreadPlateTexture.h"
#include "textures/procedural/TruchetTexture.h"
#include "textures/procedural/WeaveTexture.h"
#include "textures/procedural/WireMeshTexture.h"
#include "textures/procedural/WoodPoresTexture.h"
#include "textures/procedural/WoodRingsTexture.h"
#include "textures/procedural/WoodTexture.h"

namespace ridgeforge::mesh::procedural {
namespace {

struct Entry {
    const char* name;
    bool tileable;
    std::unique_ptr<ProceduralTexture> (*make)();
};

template <class T>
std::unique_ptr<ProceduralTexture> Make() {
    return std::make_unique<T>();
}

// Menu order.
constexpr Entry kEntries[] = {
    {"Noise", true, &Make<NoiseTexture>},
    {"Wood", true, &Make<WoodTexture>},
    {"Bricks", true, &Make<BricksTexture>},
    {"Cells", true, &Make<CellsTexture>},
    {"Stripes", true, &Make<StripesTexture>},
    {"Wood Pores", true, &Make<WoodPoresTexture>},
    {"Penrose", false, &Make<PenroseTexture>},
    {"Rocks", true, &Make<RocksTexture>},
    {"Copper", true, &Make<CopperTexture>},
    {"Contours", true, &Make<ContoursTexture>},
    {"Stars", true, &Make<StarsTexture>},
    {"Weave", true, &Make<WeaveTexture>},
    {"Truchet", true, &Make<TruchetTexture>},
    {"Hex Truchet", true, &Make<HexTruchetTexture>},
    {"Wire Mesh", true, &Make<WireMeshTexture>},
    {"Timber", true, &Make<TimberTexture>},
    {"Wood Rings", true, &Make<WoodRingsTexture>},
    {"Caustic Rock", true, &Make<CausticRockTexture>},
    {"Penrose Tiles", false, &Make<PenroseTilesTexture>},
    {"Flat Rock", true, &Make<FlatRockTexture>},
    {"Trabecular", true, &Make<TrabecularTexture>},
    {"Dots", true, &Make<DotsTexture>},
    {"Knurl", true, &Make<KnurlTexture>},
    {"Tread Plate", true, &Make<TreadPlateTexture>},
    {"Leather", true, &Make<LeatherTexture>},
};

}  // namespace

std::vector<std::string> TextureNames() {
    std::vector<std::string> names;
    names.reserve(std::size(kEntries));
    for (const Entry& e : kEntries) names.emplace_back(e.name);
    return names;
}

std::unique_ptr<ProceduralTexture> CreateTexture(std::string_view name) {
    for (const Entry& e : kEntries) {
        if (name != e.name) continue;
        std::unique_ptr<ProceduralTexture> texture = e.make();
        texture->tileable = e.tileable;
        texture->ResetToDefaults();
        return texture;
    }
    return nullptr;
}

}  // namespace ridgeforge::mesh::procedural
