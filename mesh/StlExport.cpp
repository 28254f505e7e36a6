// STL export with a checked round trip. The whole file is encoded in memory,
// written to an exclusively created sibling "<target>.<8 hex digits>.part",
// flushed and closed, read back with the STL reader and compared with the
// mesh, and only then renamed over the target, so the target path only ever
// holds the old file or a complete new one.
#include "mesh/StlExport.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <execution>
#include <future>
#include <new>

#include "mesh/FirstOccurrence.h"
#include "mesh/ParallelChunks.h"
#include "text/Format.h"
#include "text/NumberText.h"
#include "mesh/StlImport.h"
#include "platform/SafeWrite.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::size_t kBinaryHeaderBytes = 84;
constexpr std::size_t kBinaryFacetBytes = 50;

bool Encodable(const TriangleMesh& mesh) {
    return !mesh.vertices.empty() && !mesh.indices.empty() && IsValidMesh(mesh);
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

void PutVec(std::uint8_t* p, const Vec3f& v) {
    PutU32(p, std::bit_cast<std::uint32_t>(v.x));
    PutU32(p + 4, std::bit_cast<std::uint32_t>(v.y));
    PutU32(p + 8, std::bit_cast<std::uint32_t>(v.z));
}

void AppendNumber(std::string& out, float value) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, ec == std::errc() ? end : buffer);
}

void AppendVector(std::string& out, const Vec3f& v) {
    AppendNumber(out, v.x);
    out += ' ';
    AppendNumber(out, v.y);
    out += ' ';
    AppendNumber(out, v.z);
}

std::string LastComponent(const std::string& text) {
    const std::size_t slash = text.find_last_of("/\\");
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

Vec3f StoredDimensions(const TriangleMesh& mesh) {
    return mesh.boundsValid ? mesh.boundsMax - mesh.boundsMin : Vec3f{};
}

StlExportResult Fail(const StlExportReport& report, std::string error) {
    StlExportResult result;
    result.error = std::move(error);
    result.report.path = report.path;
    result.report.format = report.format;
    return result;
}

// The extent of the triangles' corners and the number of facets with a zero
// normal, measured block by block in parallel.
void MeasureCorners(const TriangleMesh& mesh, StlExportReport& report) {
    struct Block {
        Vec3f lo, hi;
        std::uint64_t noArea = 0;
    };
    constexpr std::size_t kBlock = 16384;
    const std::size_t triangles = mesh.TriangleCount();
    const Vec3f first = mesh.vertices[mesh.indices[0]].position;
    std::vector<Block> blocks((triangles + kBlock - 1) / kBlock, Block{first, first, 0});
    ForEachChunk(triangles, kBlock, [&](std::size_t begin, std::size_t end) {
        Block& b = blocks[begin / kBlock];
        for (std::size_t t = begin; t < end; ++t) {
            for (std::size_t k = 0; k < 3; ++k) {
                const Vec3f& p = mesh.vertices[mesh.indices[3 * t + k]].position;
                b.lo = Min(b.lo, p);
                b.hi = Max(b.hi, p);
            }
            if (mesh.FaceNormal(t) == Vec3f{}) ++b.noArea;
        }
    });
    Vec3f lo = first, hi = first;
    for (const Block& b : blocks) {
        lo = Min(lo, b.lo);
        hi = Max(hi, b.hi);
        report.facetsWithNoArea += b.noArea;
    }
    report.dimensions = hi - lo;
}

// The two measures of a mesh that cost a pass over all triangles.
struct VolumeAndEdges {
    float volume = 0.0f;  // absolute
    std::uint64_t openBoundaryEdges = 0;
};

VolumeAndEdges Measure(const TriangleMesh& mesh) {
    return {std::fabs(mesh.SignedVolume()), EdgeStatistics(mesh).openBoundaryEdges};
}

StlRoundTripCheck Compare(const TriangleMesh& written, const TriangleMesh& readBack, const VolumeAndEdges& before,
                          const VolumeAndEdges& after);

// Reads the written file back and compares it with the mesh; the failure
// text, or empty when the file may replace the target.
std::string VerifyByReimport(const std::filesystem::path& written, const TriangleMesh& mesh,
                             std::future<VolumeAndEdges>& before, StlExportReport& report) {
    const StlImportOptions readBack{true, -1.0f, true, true, false, true};
    StlImportResult back = LoadStlFile(written, readBack);
    if (!back.ok) return "The exported file could not be read back: " + back.error;
    if (back.report.trianglesRead != report.trianglesWritten) {
        return "The exported file contains " + FormatCount(back.report.trianglesRead) + " facets but " +
               FormatCount(report.trianglesWritten) + " were written.";
    }
    // The reader has just counted the read-back mesh's open edges.
    const VolumeAndEdges after{std::fabs(back.mesh.SignedVolume()), back.report.openBoundaryEdges};
    report.roundTrip = Compare(mesh, back.mesh, before.get(), after);
    report.verifiedByReimport = true;
    for (const std::string& difference : report.roundTrip.differences) {
        report.warnings.push_back("Round trip: " + difference);
    }
    return {};
}

StlExportResult Export(const std::filesystem::path& target, const TriangleMesh& mesh, const StlExportOptions& options) {
    StlExportResult result;
    StlExportReport& report = result.report;
    report.path = LastComponent(NarrowPath(target));
    report.format = options.format;

    if (mesh.vertices.empty() || mesh.indices.empty()) return Fail(report, "There is no geometry to export.");
    if (!IsValidMesh(mesh)) return Fail(report, "The mesh has invalid indices and was not written.");
    if (!FitsMeshIndices(mesh.vertices.size(), mesh.indices.size())) {
        return Fail(report, "The mesh is too large to be written as STL.");
    }

    report.trianglesWritten = mesh.TriangleCount();
    MeasureCorners(mesh, report);
    if (report.facetsWithNoArea > 0) {
        report.warnings.push_back("Wrote " + FormatCount(report.facetsWithNoArea) +
                                  " facets with no area, whose normals are zero. Slicers may reject them.");
    }

    std::vector<std::uint8_t> binary;
    std::string ascii;
    if (options.format == StlEncoding::Ascii)
        ascii = WriteAsciiStl(mesh, options.header);
    else
        binary = EncodeBinaryStl(mesh, options.header);
    const void* data = options.format == StlEncoding::Ascii ? static_cast<const void*>(ascii.data()) : binary.data();
    const std::size_t size = options.format == StlEncoding::Ascii ? ascii.size() : binary.size();

    // The written mesh's own measures are taken while the file is written and read back.
    std::future<VolumeAndEdges> before;
    if (options.verifyByReimport) before = StartOrDefer([&mesh] { return Measure(mesh); });

    // The file is read back before it replaces the target.
    std::string checkFailure;
    const platform::SafeWriteCheck readBack = [&](const std::filesystem::path& written, std::string&) {
        report.bytesWritten = size;
        std::vector<std::uint8_t>().swap(binary);
        std::string().swap(ascii);
        if (!options.verifyByReimport) return true;
        checkFailure = VerifyByReimport(written, mesh, before, report);
        return checkFailure.empty();
    };
    const platform::SafeWriteResult saved = platform::WriteFileSafely(target, data, size, readBack);
    switch (saved.failedStep) {
    case platform::SafeWriteStep::None:
        break;
    case platform::SafeWriteStep::Create:
        return Fail(report, platform::WithReason("The file could not be opened for writing.", saved.reason));
    case platform::SafeWriteStep::Write:
        return Fail(report, platform::WithReason("The file could not be written completely.", saved.reason));
    case platform::SafeWriteStep::Check:
        return Fail(report, checkFailure);
    case platform::SafeWriteStep::Replace:
        return Fail(report, "The file could not be put in place: " + saved.reason);
    }
    result.ok = true;
    return result;
}

}  // namespace

std::vector<std::uint8_t> EncodeBinaryStl(const TriangleMesh& mesh, const std::string& header) {
    if (!Encodable(mesh) || !FitsMeshIndices(mesh.vertices.size(), mesh.indices.size())) return {};
    const std::size_t triangles = mesh.TriangleCount();
    std::vector<std::uint8_t> bytes(kBinaryHeaderBytes + kBinaryFacetBytes * triangles, 0);
    std::memcpy(bytes.data(), header.data(), std::min<std::size_t>(header.size(), 80));
    PutU32(bytes.data() + 80, static_cast<std::uint32_t>(triangles));
    ForEachChunk(triangles, kParallelChunk, [&](std::size_t first, std::size_t last) {
        for (std::size_t t = first; t < last; ++t) {
            std::uint8_t* facet = bytes.data() + kBinaryHeaderBytes + kBinaryFacetBytes * t;
            PutVec(facet, mesh.FaceNormal(t));
            for (int k = 0; k < 3; ++k) PutVec(facet + 12 + 12 * k, mesh.vertices[mesh.indices[3 * t + k]].position);
            // The two attribute bytes stay 0.
        }
    });
    return bytes;
}

std::string WriteAsciiStl(const TriangleMesh& mesh, const std::string& name) {
    if (!Encodable(mesh)) return {};
    // The name is the rest of its line to a reader, so a line break in it
    // (a file name may hold one) would start the facets early.
    std::string solidName = name;
    for (char& c : solidName)
        if (c == '\n' || c == '\r') c = ' ';
    const std::size_t triangles = mesh.TriangleCount();
    // Blocks are formatted in parallel and joined in order.
    constexpr std::size_t kBlock = 4096;
    std::vector<std::string> blocks((triangles + kBlock - 1) / kBlock);
    ForEachChunk(triangles, kBlock, [&](std::size_t first, std::size_t last) {
        std::string& out = blocks[first / kBlock];
        out.reserve((last - first) * 260);
        for (std::size_t t = first; t < last; ++t) {
            out += "  facet normal ";
            AppendVector(out, mesh.FaceNormal(t));
            out += "\n    outer loop\n";
            for (int k = 0; k < 3; ++k) {
                out += "      vertex ";
                AppendVector(out, mesh.vertices[mesh.indices[3 * t + k]].position);
                out += '\n';
            }
            out += "    endloop\n  endfacet\n";
        }
    });
    std::size_t total = 2 * solidName.size() + 16;
    for (const std::string& b : blocks) total += b.size();
    std::string text;
    text.reserve(total);
    text += "solid " + solidName + "\n";
    for (const std::string& b : blocks) text += b;
    text += "endsolid " + solidName + "\n";
    return text;
}

namespace {

StlRoundTripCheck Compare(const TriangleMesh& written, const TriangleMesh& readBack, const VolumeAndEdges& before,
                          const VolumeAndEdges& after) {
    StlRoundTripCheck check;
    check.trianglesBefore = written.TriangleCount();
    check.trianglesAfter = readBack.TriangleCount();
    check.dimensionsBefore = StoredDimensions(written);
    check.dimensionsAfter = StoredDimensions(readBack);
    check.volumeBefore = before.volume;
    check.volumeAfter = after.volume;
    check.openBoundaryEdgesBefore = before.openBoundaryEdges;
    check.openBoundaryEdgesAfter = after.openBoundaryEdges;

    auto& differences = check.differences;
    if (check.trianglesBefore != check.trianglesAfter) {
        differences.push_back("Triangle count changed from " + FormatCount(check.trianglesBefore) + " to " +
                              FormatCount(check.trianglesAfter) + ".");
    }
    if (!(written.boundsMin == readBack.boundsMin) || !(written.boundsMax == readBack.boundsMax)) {
        const Vec3f& b = check.dimensionsBefore;
        const Vec3f& a = check.dimensionsAfter;
        differences.push_back("Bounding box changed from " + FormatDimensions(b.x, b.y, b.z) + " to " +
                              FormatDimensions(a.x, a.y, a.z) + ".");
    }
    const double volumeBefore = check.volumeBefore, volumeAfter = check.volumeAfter;
    if (std::fabs(volumeBefore - volumeAfter) / std::max(1e-6, volumeBefore) > 1e-5) {
        differences.push_back("Volume changed from " + FormatGeneral(volumeBefore, 6) + " to " +
                              FormatGeneral(volumeAfter, 6) + " cubic mm.");
    }
    if (check.openBoundaryEdgesBefore != check.openBoundaryEdgesAfter) {
        differences.push_back("Open boundary edges changed from " + FormatCount(check.openBoundaryEdgesBefore) +
                              " to " + FormatCount(check.openBoundaryEdgesAfter) + ".");
    }
    check.unchanged = differences.empty();
    return check;
}

}  // namespace

StlRoundTripCheck CompareRoundTrip(const TriangleMesh& written, const TriangleMesh& readBack) {
    return Compare(written, readBack, Measure(written), Measure(readBack));
}

std::string FormatRoundTripReport(const StlRoundTripCheck& check) {
    const Vec3f& b = check.dimensionsBefore;
    const Vec3f& a = check.dimensionsAfter;
    std::string out = std::string("Round trip: ") + (check.unchanged ? "unchanged" : "CHANGED") + "\n";
    out += "  Triangles: " + FormatCount(check.trianglesBefore) + " -> " + FormatCount(check.trianglesAfter) + "\n";
    out += "  Dimensions: " + FormatDimensions(b.x, b.y, b.z) + " -> " + FormatDimensions(a.x, a.y, a.z) + "\n";
    out += "  Open boundary edges: " + FormatCount(check.openBoundaryEdgesBefore) + " -> " +
           FormatCount(check.openBoundaryEdgesAfter) + "\n";
    for (const std::string& difference : check.differences) out += "  Difference: " + difference + "\n";
    return out;
}

std::string FormatExportReport(const StlExportReport& report) {
    const Vec3f& d = report.dimensions;
    std::string out = "Wrote: " + report.path + "\n";
    out += std::string("Format: ") + (report.format == StlEncoding::Ascii ? "ASCII STL" : "Binary STL") + "\n";
    out += "Triangles written: " + FormatCount(report.trianglesWritten) + "\n";
    out += "Bytes written: " + FormatCount(report.bytesWritten) + "\n";
    out += "Dimensions: " + FormatDimensions(d.x, d.y, d.z) + "\n";
    if (report.facetsWithNoArea > 0) out += "Facets with no area: " + FormatCount(report.facetsWithNoArea) + "\n";
    out += std::string("Verified by reimport: ") + (report.verifiedByReimport ? "yes" : "no") + "\n";
    if (report.verifiedByReimport) out += FormatRoundTripReport(report.roundTrip);
    for (const std::string& warning : report.warnings) out += "Warning: " + warning + "\n";
    return out;
}

std::string NarrowPath(const std::filesystem::path& path) {
    // Paths on this platform are already UTF-8 byte strings.
    return path.native();
}

StlExportResult ExportStl(const std::filesystem::path& target, const TriangleMesh& mesh,
                          const StlExportOptions& options) {
    try {
        return Export(target, mesh, options);
    } catch (const std::bad_alloc&) {
        // Encoding or reading back a large mesh may need more memory than
        // there is; the temporary file is already gone with its guard.
        StlExportReport report;
        report.path = LastComponent(NarrowPath(target));
        report.format = options.format;
        return Fail(report, "There is not enough memory to write the file.");
    }
}

}  // namespace ridgeforge::mesh
