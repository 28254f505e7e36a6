#include "tests/support/StlFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace ridgeforge::test {
namespace {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

void PutFloat(std::vector<std::uint8_t>& out, float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    PutU32(out, v);
}

}  // namespace

void WriteBinaryStl(const std::filesystem::path& path, const mesh::TriangleMesh& mesh) {
    const std::vector<std::uint8_t> bytes = BinaryStl(FacetsOf(mesh));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<Facet> FacetsOf(const mesh::TriangleMesh& mesh) {
    std::vector<Facet> facets;
    for (std::size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        facets.push_back({mesh.vertices[mesh.indices[i]].position, mesh.vertices[mesh.indices[i + 1]].position,
                          mesh.vertices[mesh.indices[i + 2]].position});
    }
    return facets;
}

std::vector<std::uint8_t> BinaryStl(const std::vector<Facet>& facets, const std::string& header) {
    std::vector<std::uint8_t> out(80, 0);
    std::memcpy(out.data(), header.data(), std::min<std::size_t>(header.size(), 80));
    PutU32(out, static_cast<std::uint32_t>(facets.size()));
    for (const Facet& f : facets) {
        for (int k = 0; k < 3; ++k) PutFloat(out, 0.0f);
        for (const mesh::Vec3f& p : f) {
            PutFloat(out, p.x);
            PutFloat(out, p.y);
            PutFloat(out, p.z);
        }
        out.push_back(0);
        out.push_back(0);
    }
    return out;
}

std::string AsciiStl(const std::vector<Facet>& facets, const std::string& name) {
    std::string text = "solid " + name + "\n";
    char line[128];
    for (const Facet& f : facets) {
        text += "  facet normal 0 0 0\n    outer loop\n";
        for (const mesh::Vec3f& p : f) {
            std::snprintf(line, sizeof line, "      vertex %.9g %.9g %.9g\n", static_cast<double>(p.x),
                          static_cast<double>(p.y), static_cast<double>(p.z));
            text += line;
        }
        text += "    endloop\n  endfacet\n";
    }
    return text + "endsolid " + name + "\n";
}

}  // namespace ridgeforge::test
