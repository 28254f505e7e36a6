// Prints one line per generated part and vertex-relief setting: a hash of the
// displaced mesh's position bits and indices, and the report's counts and
// offsets. Two builds that print the same lines displace the same way, so a
// faster displacement can be checked against the one it replaces with diff.
// The parts are the stress parts remeshed to 0.4 mm triangles; the settings
// vary the strength, the direction, the texture, the mapping, a mask volume,
// the base and each guard. With --solid the same parts go through the solid
// relief instead, under its own settings (cell, cut, exact distances, rays,
// slot keeping, sharp relief), and the line hashes the new surface.
// Usage: tool_ReliefHashes [--solid] [part name]
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mesh/remesh/Remesh.h"
#include "relief/displacement/MeshDisplacement.h"
#include "relief/displacement/SolidDisplacement.h"
#include "relief/mapping/TextureWeights.h"
#include "testing/ReliefShapes.h"
#include "testing/ReliefStressParts.h"
#include "testing/StressParts.h"
#include "textures/procedural/TextureRegistry.h"

namespace {

using namespace ridgeforge;
using namespace ridgeforge::mesh;

std::uint64_t Fnv(std::uint64_t h, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    return h;
}

struct Setting {
    std::string label;
    std::string texture;
    ProjectionType mapping = ProjectionType::Box;
    bool mask = false;
    DisplacementSettings displacement;
};

std::vector<Setting> Settings() {
    std::vector<Setting> out;
    auto add = [&](const std::string& label, const std::string& texture, auto change) {
        Setting s{label, texture, ProjectionType::Box, false, {}};
        s.displacement.method = DisplacementMethod::Mesh;
        s.displacement.strengthMillimetres = 0.6f;
        change(s);
        out.push_back(s);
    };
    add("defaults", "Knurl", [](Setting&) {});
    add("strong", "Knurl", [](Setting& s) { s.displacement.strengthMillimetres = 2.0f; });
    add("weak inverted", "Bricks", [](Setting& s) {
        s.displacement.strengthMillimetres = 0.15f;
        s.displacement.invert = true;
    });
    add("outward", "Bricks", [](Setting& s) { s.displacement.direction = DisplacementDirection::Outward; });
    add("inward held", "Bricks", [](Setting& s) {
        s.displacement.direction = DisplacementDirection::Inward;
        s.displacement.strengthMillimetres = 1.2f;
        s.displacement.holdThinWalls = true;
    });
    add("cylinder", "Cells", [](Setting& s) { s.mapping = ProjectionType::Cylinder; });
    add("sphere automatic", "Noise", [](Setting& s) {
        s.mapping = ProjectionType::Sphere;
        s.displacement.midLevelMode = MidLevelMode::Automatic;
    });
    add("plane masked", "Knurl", [](Setting& s) {
        s.mapping = ProjectionType::Plane;
        s.mask = true;
    });
    add("base any", "Knurl", [](Setting& s) {
        s.displacement.base.enabled = true;
        s.displacement.base.axis = 2;
        s.displacement.outsideRule = OutsideRule::Any;
    });
    add("no guards", "Knurl", [](Setting& s) {
        s.displacement.limitToClearance = false;
        s.displacement.mitreCreases = false;
        s.displacement.preventFolds = false;
    });
    add("no clearance tilt 20", "Bricks", [](Setting& s) {
        s.displacement.limitToClearance = false;
        s.displacement.maximumTiltDegrees = 20.0f;
        s.displacement.strengthMillimetres = 1.5f;
    });
    add("no mitre", "Bricks", [](Setting& s) { s.displacement.mitreCreases = false; });
    return out;
}

void PrintHashes(const std::string& name, const TriangleMesh& part, const Setting& s, const HeightMap& map) {
    Projection projection;
    projection.type = s.mapping;
    projection.cage.center = (part.boundsMin + part.boundsMax) * 0.5f;
    projection.cage.size = part.boundsMax - part.boundsMin;
    std::vector<MaskVolume> masks(1);
    masks[0].center = projection.cage.center + Vec3f{3.0f, 1.0f, 0.0f};
    masks[0].size = projection.cage.size * 0.5f;
    masks[0].featherMillimetres = 1.5f;
    const TextureCoverage coverage =
        ComputeTextureWeights(part, projection, nullptr, s.displacement, TileFrame{}, s.mask ? &masks : nullptr);
    TriangleMesh mesh = part;
    const DisplacementReport r =
        ApplyDisplacement(mesh, projection, map, coverage.vertexWeights, s.displacement, &coverage.faceMask, {});
    std::uint64_t h = 14695981039346656037ull;
    for (const Vertex& v : mesh.vertices) h = Fnv(h, &v.position, sizeof v.position);
    h = Fnv(h, mesh.indices.data(), mesh.indices.size() * sizeof(std::uint32_t));
    std::uint64_t c = 14695981039346656037ull;
    for (const float f : r.clearance) c = Fnv(c, &f, sizeof f);
    std::printf(
        "%s | %s | %zu | %016llx %016llx | turning %llu left %llu rounds %u fold %llu %llu %llu displaced %llu "
        "level %llu plane %llu cut %llu held %llu | %.9g %.9g %.9g %.9g\n",
        name.c_str(), s.label.c_str(), mesh.TriangleCount(), static_cast<unsigned long long>(h),
        static_cast<unsigned long long>(c), static_cast<unsigned long long>(r.trianglesTurningOver),
        static_cast<unsigned long long>(r.trianglesLeftTurned), r.foldRounds,
        static_cast<unsigned long long>(r.foldVertices), static_cast<unsigned long long>(r.foldFurtherThanBefore),
        static_cast<unsigned long long>(r.foldPastClearance), static_cast<unsigned long long>(r.displacedVertices),
        static_cast<unsigned long long>(r.keptLevelAtBase), static_cast<unsigned long long>(r.heldAtBasePlane),
        static_cast<unsigned long long>(r.cutShortByClearance), static_cast<unsigned long long>(r.notMovedInward),
        static_cast<double>(r.midLevel), static_cast<double>(r.smallestOffset), static_cast<double>(r.largestOffset),
        static_cast<double>(r.relief));
    std::fflush(stdout);
}

struct SolidSetting {
    std::string label;
    std::string texture;
    float strength = 0.6f;
    SolidDisplacementOptions options;
};

std::vector<SolidSetting> SolidSettings() {
    std::vector<SolidSetting> out;
    auto add = [&](const std::string& label, const std::string& texture, auto change) {
        SolidSetting s{label, texture, 0.6f, {}};
        s.options.cellSize = 0.25f;
        change(s);
        out.push_back(s);
    };
    add("defaults", "Knurl", [](SolidSetting&) {});
    add("cut inverted", "Bricks", [](SolidSetting& s) {
        s.strength = -0.5f;
        s.options.cutEnabled = true;
        s.options.cutZ = 0.5f;
    });
    add("exact five rays", "Cells", [](SolidSetting& s) {
        s.options.exactDistances = true;
        s.options.rayCount = 5;
        s.options.holdCells = 3.0f;
    });
    add("open soft wide line", "Noise", [](SolidSetting& s) {
        s.options.keepSlotsAndWallsOpen = false;
        s.options.sharpRelief = false;
        s.options.lineWidth = 0.8f;
        s.options.cellSize = 0.15f;
    });
    return out;
}

void PrintSolidHashes(const std::string& name, const TriangleMesh& part, const SolidSetting& s) {
    AabbTree tree;
    tree.Build(part);
    TriangleMesh out;
    SolidDisplacementReport r;
    const bool done =
        DisplaceSolid(part, test::TextureHeights(part, s.texture, 6.0f, s.strength), s.options, {}, out, r, &tree);
    std::uint64_t h = 14695981039346656037ull;
    for (const Vertex& v : out.vertices) h = Fnv(h, &v.position, sizeof v.position);
    h = Fnv(h, out.indices.data(), out.indices.size() * sizeof(std::uint32_t));
    std::printf(
        "%s | %s | %d | %zu | %016llx | held %llu cells %llu split %llu bricks %llu voids %llu crumbs %llu "
        "thin %llu removed %llu holes %d | %s\n",
        name.c_str(), s.label.c_str(), done ? 1 : 0, out.TriangleCount(), static_cast<unsigned long long>(h),
        static_cast<unsigned long long>(r.heightsHeld), static_cast<unsigned long long>(r.cellsContoured),
        static_cast<unsigned long long>(r.splitCells), static_cast<unsigned long long>(r.blocksStored),
        static_cast<unsigned long long>(r.voids), static_cast<unsigned long long>(r.crumbs),
        static_cast<unsigned long long>(r.thinBodies), static_cast<unsigned long long>(r.trianglesRemoved),
        r.holes ? 1 : 0, r.failure.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const bool solid = argc > 1 && std::strcmp(argv[1], "--solid") == 0;
    if (solid) {
        --argc;
        ++argv;
    }
    const std::string only = argc > 1 ? argv[1] : "";
    std::vector<test::StressPart> parts = test::MakeReliefStressParts();
    for (std::vector<test::StressPart> more : {test::MakeStressParts(), test::MakeSharpStressParts()}) {
        for (test::StressPart& p : more) parts.push_back(std::move(p));
    }
    std::vector<std::pair<std::string, HeightMap>> maps;
    const std::vector<Setting> settings = Settings();
    for (const Setting& s : settings) {
        bool have = false;
        for (const auto& m : maps) have = have || m.first == s.texture;
        if (have) continue;
        HeightMap map;
        map.SetImage(256, 256, procedural::CreateTexture(s.texture)->RenderHeightMap(256, 256));
        TextureSettings ts = map.settings;
        ts.widthMillimetres = 8.0f;
        map.SetSettings(ts);
        maps.emplace_back(s.texture, std::move(map));
    }
    for (test::StressPart& part : parts) {
        if (!only.empty() && part.name != only) continue;
        RemeshSettings remesh;
        remesh.targetEdgeMillimetres = 0.4f;
        Remesh(part.mesh, remesh, {});
        if (solid) {
            for (const SolidSetting& s : SolidSettings()) PrintSolidHashes(part.name, part.mesh, s);
            continue;
        }
        for (const Setting& s : settings) {
            for (const auto& m : maps) {
                if (m.first == s.texture) PrintHashes(part.name, part.mesh, s, m.second);
            }
        }
    }
    return 0;
}
