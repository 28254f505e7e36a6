// Writing a mesh as a binary or ASCII STL file without ever leaving a
// half-written file at the target: the bytes go to an exclusively created
// temporary file beside the target, are read back with the system's own STL
// reader and compared with the mesh, and only then renamed over the target.
// Nothing here throws for a bad mesh or a file system failure.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

enum class StlEncoding : int { Binary = 0, Ascii = 1 };

struct StlExportOptions {
    StlEncoding format = StlEncoding::Binary;
    // Binary: the 80-byte header text; ASCII: the solid's name.
    std::string header;
    bool verifyByReimport = true;
};

struct StlRoundTripCheck {
    bool unchanged = true;
    std::uint64_t trianglesBefore = 0;
    std::uint64_t trianglesAfter = 0;
    Vec3f dimensionsBefore;
    Vec3f dimensionsAfter;
    float volumeBefore = 0.0f;
    float volumeAfter = 0.0f;
    std::uint64_t openBoundaryEdgesBefore = 0;
    std::uint64_t openBoundaryEdgesAfter = 0;
    std::vector<std::string> differences;
};

struct StlExportReport {
    std::string path;
    StlEncoding format = StlEncoding::Binary;
    std::uint64_t trianglesWritten = 0;
    std::uint64_t facetsWithNoArea = 0;
    std::uint64_t bytesWritten = 0;
    // Extent of the corners of all triangles; unused vertices do not count.
    Vec3f dimensions;
    bool verifiedByReimport = false;
    StlRoundTripCheck roundTrip;
    std::vector<std::string> warnings;
};

struct StlExportResult {
    bool ok = false;
    std::string error;
    StlExportReport report;
};

// Writes, optionally verifies, and puts the file in place. The mesh is not changed.
StlExportResult ExportStl(const std::filesystem::path& target, const TriangleMesh& mesh,
                          const StlExportOptions& options);

// The whole binary file; empty when the mesh has no vertices, no indices or
// breaks the validity rule.
std::vector<std::uint8_t> EncodeBinaryStl(const TriangleMesh& mesh, const std::string& header);

// The whole ASCII file with shortest round-trip numbers; empty in the same cases.
std::string WriteAsciiStl(const TriangleMesh& mesh, const std::string& solidName);

// Compares the mesh meant to be written with the mesh read back.
StlRoundTripCheck CompareRoundTrip(const TriangleMesh& written, const TriangleMesh& readBack);

std::string FormatRoundTripReport(const StlRoundTripCheck& check);
std::string FormatExportReport(const StlExportReport& report);

// The path as UTF-8 text; empty for an empty path.
std::string NarrowPath(const std::filesystem::path& path);

}  // namespace ridgeforge::mesh
