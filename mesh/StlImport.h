// Reading a part from a binary or ASCII STL file into a welded TriangleMesh,
// with a report of what was found and warnings for the user.
//
// The file is read into memory whole and parsed from that buffer. The
// triangle soup is welded exactly; only when that leaves open or non-manifold
// edges does a small tolerance weld close the remaining seams. Nothing here
// throws for a bad file: every refusal is a result with `ok` false and an
// English message. Lengths are millimetres (STL carries no unit).
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

enum class StlFileFormat : int { Unrecognised = 0, Binary = 1, Ascii = 2 };

struct StlImportOptions {
    bool weld = true;
    // Millimetres; negative = automatic, 0 = exact weld only.
    float weldTolerance = -1.0f;
    bool removeDegenerate = true;
    // With removeDegenerate, also drop triangles of three distinct corners and no area.
    bool removeZeroArea = true;
    // Otherwise duplicates are only counted.
    bool removeDuplicates = false;
    bool recomputeNormals = true;
};

struct StlImportReport {
    std::string file;
    StlFileFormat format = StlFileFormat::Unrecognised;
    std::uint64_t trianglesRead = 0;
    std::uint64_t trianglesKept = 0;
    std::uint64_t degenerateRemoved = 0;
    std::uint64_t duplicates = 0;
    std::uint64_t duplicatesRemoved = 0;
    // Tolerance of the second weld; 0 when that weld did not run.
    float weldTolerance = 0.0f;
    std::uint64_t verticesBeforeWelding = 0;
    std::uint64_t verticesAfterWelding = 0;
    Vec3f dimensions;
    std::uint64_t openBoundaryEdges = 0;
    std::uint64_t nonManifoldEdges = 0;
    std::uint64_t components = 0;
    std::vector<std::string> warnings;
};

struct StlImportResult {
    bool ok = false;
    std::string error;
    TriangleMesh mesh;
    StlImportReport report;
};

// "Unrecognised", "Binary STL" or "ASCII STL".
const char* StlFileFormatName(StlFileFormat format);

// Reads, parses and cleans the file; the report names its last path component.
StlImportResult LoadStlFile(const std::filesystem::path& path, const StlImportOptions& options);

// Parses and cleans an STL held in memory.
StlImportResult ParseStl(std::span<const std::uint8_t> bytes, const std::string& fileName,
                         const StlImportOptions& options);

// Binary when the size is exactly 84 + 50 × the count at offset 80 (checked
// first, so a binary header may begin with "solid"); ASCII when the text
// begins with "solid" in any letter case after white space.
StlFileFormat DetectStlFormat(std::span<const std::uint8_t> bytes);

// Corners of every facet in file order. Precondition: DetectStlFormat found
// the buffer Binary.
void ReadBinaryStlFacets(std::span<const std::uint8_t> bytes, std::vector<Vec3f>& corners, std::uint64_t& facetCount);

// Where an ASCII text stops: after its last "endsolid", or cut off while a
// "solid" or a "facet" was still open.
enum class AsciiStlEnd : int { Whole = 0, InsideSolid = 1, InsideFacet = 2 };

// Corners after each "vertex" keyword, and the number of "facet" keywords.
// False with a message when the text ends inside a vertex, a coordinate is
// not a whole number, or the corners do not make whole triangles. When the
// parse succeeds and `end` is given, it says where the text stopped.
bool ParseAsciiStl(std::span<const std::uint8_t> bytes, std::vector<Vec3f>& corners, std::uint64_t& facetKeywords,
                   std::string& error, AsciiStlEnd* end = nullptr);

// One "Label: value" line per field, then one "Warning: " line per warning.
std::string FormatImportReport(const StlImportReport& report);

}  // namespace ridgeforge::mesh
