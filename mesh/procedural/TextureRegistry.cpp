#include "mesh/procedural/TextureRegistry.h"

#include "mesh/procedural/BricksTexture.h"
#include "mesh/procedural/CausticRockTexture.h"
#include "mesh/procedural/CellsTexture.h"
#include "mesh/procedural/ContoursTexture.h"
#include "mesh/procedural/CopperTexture.h"
#include "mesh/procedural/DotsTexture.h"
#include "mesh/procedural/FlatRockTexture.h"
#include "mesh/procedural/HexTruchetTexture.h"
#include "mesh/procedural/KnurlTexture.h"
#include "mesh/procedural/LeatherTexture.h"
#include "mesh/procedural/NoiseTexture.h"
#include "mesh/procedural/PenroseTexture.h"
#include "mesh/procedural/PenroseTilesTexture.h"
#include "mesh/procedural/RocksTexture.h"
#include "mesh/procedural/StarsTexture.h"
#include "mesh/procedural/StripesTexture.h"
#include "mesh/procedural/TimberTexture.h"
#include "mesh/procedural/TrabecularTexture.h"
#include "mesh/procedural/TreadPlateTexture.h"
#include "mesh/procedural/TruchetTexture.h"
#include "mesh/procedural/WeaveTexture.h"
#include "mesh/procedural/WireMeshTexture.h"
#include "mesh/procedural/WoodPoresTexture.h"
#include "mesh/procedural/WoodRingsTexture.h"
#include "mesh/procedural/WoodTexture.h"

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
