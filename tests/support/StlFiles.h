// STL files built byte by byte for the reader's tests, independent of the
// system's own writer.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::test {

using Facet = std::array<mesh::Vec3f, 3>;

// The triangles of a mesh, each with its own corners.
std::vector<Facet> FacetsOf(const mesh::TriangleMesh& mesh);

// A binary STL: 80 header bytes (the text, zero-padded), the count, and
// 50 bytes a facet with a zero normal.
std::vector<std::uint8_t> BinaryStl(const std::vector<Facet>& facets, const std::string& header = "");

// An ASCII STL in the usual layout with "%.9g" numbers.
std::string AsciiStl(const std::vector<Facet>& facets, const std::string& name = "part");

// Writes the mesh to `path` as a binary STL.
void WriteBinaryStl(const std::filesystem::path& path, const mesh::TriangleMesh& mesh);

inline std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace ridgeforge::test
