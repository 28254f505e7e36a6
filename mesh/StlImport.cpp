// STL import: detect the encoding, read the corners, refuse what cannot be a
// part, then weld the triangle soup and clean it (exact weld first; a
// tolerance weld only when seams stay open), and describe the result.
//
// Sizes are computed in 64 bits throughout: a binary facet count near 2^32
// would wrap "84 + 50 × N" in 32 bits and let a short file pass the size test.
#include "mesh/StlImport.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <utility>

#include "mesh/FirstOccurrence.h"
#include "text/Format.h"
#include "text/NumberText.h"
#include "mesh/MeshHygiene.h"
#include "mesh/Weld.h"
#include "platform/Files.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::uint64_t kBinaryHeaderBytes = 84;
constexpr std::uint64_t kBinaryFacetBytes = 50;
constexpr std::uint64_t kMaxTriangles = kMaxMeshElements / 3;

bool IsStlSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::uint32_t ReadU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

float ReadF32(const std::uint8_t* p) { return std::bit_cast<float>(ReadU32(p)); }

// Corner k (0..2) of the facet that starts at `facet`; the normal is skipped.
Vec3f ReadCorner(const std::uint8_t* facet, std::size_t k) {
    const std::uint8_t* p = facet + 12 + 12 * k;
    return {ReadF32(p), ReadF32(p + 4), ReadF32(p + 8)};
}

std::uint64_t BinaryFacetCount(std::span<const std::uint8_t> bytes) { return ReadU32(bytes.data() + 80); }

std::uint64_t BinarySizeFor(std::uint64_t facets) { return kBinaryHeaderBytes + kBinaryFacetBytes * facets; }

StlImportResult Fail(const std::string& file, StlFileFormat format, std::string error) {
    StlImportResult result;
    result.error = std::move(error);
    result.report.file = file;
    result.report.format = format;
    return result;
}

std::string TooManyTrianglesText(std::uint64_t triangles) {
    return "The file contains " + FormatCount(triangles) + " triangles, but a mesh can hold at most " +
           FormatCount(kMaxTriangles) + ".";
}

// Splits the text into white-space separated tokens, in place.
class Tokenizer {
public:
    explicit Tokenizer(std::span<const std::uint8_t> bytes)
        : text_(reinterpret_cast<const char*>(bytes.data()), bytes.size()) {}

    // False at the end of the text.
    bool Next(std::string_view& token) {
        while (pos_ < text_.size() && IsStlSpace(static_cast<std::uint8_t>(text_[pos_]))) ++pos_;
        if (pos_ == text_.size()) return false;
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !IsStlSpace(static_cast<std::uint8_t>(text_[pos_]))) ++pos_;
        token = text_.substr(start, pos_ - start);
        return true;
    }

    // Passes over the rest of the current line.
    void SkipLine() {
        while (pos_ < text_.size() && text_[pos_] != '\n' && text_[pos_] != '\r') ++pos_;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// The keyword in any mix of letter case, as the file's first word is
// recognised.
bool IsSolidKeyword(std::string_view token, std::string_view keyword) {
    if (token.size() != keyword.size()) return false;
    for (std::size_t k = 0; k < token.size(); ++k) {
        const char c = token[k];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c) != keyword[k]) return false;
    }
    return true;
}

// The whole token as a float; a leading '+', trailing characters or a value
// outside the float range fail.
bool ParseCoordinate(std::string_view token, float& value) {
    const char* end = token.data() + token.size();
    const auto [ptr, ec] = std::from_chars(token.data(), end, value, std::chars_format::general);
    return ec == std::errc() && ptr == end;
}

std::string EndsEarlyText(AsciiStlEnd end) {
    return end == AsciiStlEnd::InsideFacet
               ? "The file ends early, inside a facet (no endfacet): triangles may be missing."
               : "The file ends early, inside a solid (no endsolid): triangles may be missing.";
}

void AddWarnings(StlImportReport& report, bool ascii, std::uint64_t facetKeywords) {
    auto& w = report.warnings;
    if (ascii && facetKeywords != report.trianglesRead) {
        w.push_back("The file contains " + FormatCount(facetKeywords) + " facet keywords but " +
                    FormatCount(report.trianglesRead) + " triangles of vertex data.");
    }
    if (report.degenerateRemoved > 0) {
        w.push_back("Removed " + FormatCount(report.degenerateRemoved) +
                    " degenerate triangles that enclosed no area.");
    }
    if (report.duplicates > 0 && report.duplicatesRemoved == 0) {
        w.push_back("The file contains " + FormatCount(report.duplicates) +
                    " duplicate triangles. They were kept; removing them is a repair operation.");
    }
    if (report.openBoundaryEdges > 0) {
        w.push_back("The mesh is not closed: " + FormatCount(report.openBoundaryEdges) + " open boundary edges.");
    }
    if (report.nonManifoldEdges > 0) {
        w.push_back("The mesh has " + FormatCount(report.nonManifoldEdges) +
                    " non-manifold edges shared by more than two triangles.");
    }
    if (report.components > 1) {
        w.push_back("The file contains " + FormatCount(report.components) + " disconnected components.");
    }
    const float size = std::max({report.dimensions.x, report.dimensions.y, report.dimensions.z});
    if (size < 1.0f) {
        w.push_back("The model is only " + FormatMillimetres(size) +
                    " mm across. It may not have been authored in millimetres.");
    } else if (size > 1000.0f) {
        w.push_back("The model is " + FormatMillimetres(size) +
                    " mm across. It may not have been authored in millimetres.");
    }
}

// What the checks before cleaning need to know of all corners.
struct CornerSummary {
    bool allFinite = true;
    // The box of all corners, which sets the automatic weld tolerance.
    Vec3f low{std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
              std::numeric_limits<float>::infinity()};
    Vec3f high = -low;
};

template <typename Corner>
CornerSummary Summarize(std::size_t count, Corner corner) {
    constexpr std::size_t kBlock = 65536;
    std::vector<CornerSummary> blocks((count + kBlock - 1) / kBlock);
    ForEachChunk(count, kBlock, [&](std::size_t begin, std::size_t end) {
        CornerSummary& s = blocks[begin / kBlock];
        for (std::size_t i = begin; i < end; ++i) {
            const Vec3f c = corner(i);
            s.allFinite = s.allFinite && IsFinite(c);
            s.low = Min(s.low, c);
            s.high = Max(s.high, c);
        }
    });
    CornerSummary total;
    for (const CornerSummary& s : blocks) {
        total.allFinite = total.allFinite && s.allFinite;
        total.low = Min(total.low, s.low);
        total.high = Max(total.high, s.high);
    }
    return total;
}

// Builds the mesh from the corners and cleans it as the options ask, filling
// the cleaning counts. Returns the edge counts it took when no later step of
// the weld changed the triangles, so the caller need not count again.
template <typename Corner>
std::optional<EdgeCounts> BuildAndClean(std::size_t count, Corner corner, float automaticTolerance,
                                        const StlImportOptions& options, TriangleMesh& mesh, StlImportReport& report) {
    const bool keepZeroArea = !options.removeZeroArea;
    if (!options.weld) {
        mesh.vertices.resize(count);
        mesh.indices.resize(count);
        ForEachChunk(count, kParallelChunk, [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                mesh.vertices[i].position = corner(i);
                mesh.indices[i] = static_cast<std::uint32_t>(i);
            }
        });
        if (options.removeDegenerate) report.degenerateRemoved = RemoveDegenerateTriangles(mesh, keepZeroArea);
        return std::nullopt;
    }
    float tolerance = options.weldTolerance;
    if (tolerance < 0.0f) tolerance = automaticTolerance;
    // The exact weld straight from the corners: the soup of one vertex per
    // corner is never built.
    mesh = WeldExactCorners(count, corner);
    if (options.removeDegenerate) report.degenerateRemoved = RemoveDegenerateTriangles(mesh, keepZeroArea);
    if (!(tolerance > 0.0f)) return std::nullopt;
    const EdgeCounts edges = EdgeStatistics(mesh);
    if (edges.openBoundaryEdges == 0 && edges.nonManifoldEdges == 0) return edges;
    report.weldTolerance = tolerance;
    WeldVerticesWithinTolerance(mesh, tolerance);
    if (options.removeDegenerate) report.degenerateRemoved += RemoveDegenerateTriangles(mesh, keepZeroArea);
    return std::nullopt;
}

// Everything after the corners are known: refusals, cleaning, measures, warnings.
template <typename Corner>
StlImportResult ImportCorners(std::size_t count, Corner corner, const std::string& fileName, StlFileFormat format,
                              std::uint64_t facetKeywords, const StlImportOptions& options) {
    if (count == 0) return Fail(fileName, format, "The file contains no triangles.");
    const CornerSummary summary = Summarize(count, corner);
    if (!summary.allFinite) {
        return Fail(fileName, format, "The file contains a coordinate that is not a number (NaN or infinity).");
    }

    StlImportResult result;
    StlImportReport& report = result.report;
    TriangleMesh& mesh = result.mesh;
    report.file = fileName;
    report.format = format;
    report.trianglesRead = count / 3;
    report.verticesBeforeWelding = count;
    const std::optional<EdgeCounts> cleaned =
        BuildAndClean(count, corner, AutomaticWeldTolerance(summary.low, summary.high), options, mesh, report);
    // Held as a plain value and a flag: GCC's optimiser warns that an
    // optional assigned on one path may be read uninitialised on another.
    EdgeCounts edges{};
    bool edgesKnown = cleaned.has_value();
    if (edgesKnown) edges = *cleaned;

    report.duplicates = CountDuplicateTriangles(mesh);
    if (options.removeDuplicates) report.duplicatesRemoved = RemoveDuplicateTriangles(mesh);
    // Renumbering vertices keeps the edge counts; removing triangles does not.
    if (report.duplicatesRemoved > 0) edgesKnown = false;
    RemoveUnusedVertices(mesh);
    if (mesh.vertices.empty() || mesh.indices.empty()) {
        return Fail(fileName, format, "Every triangle in the file was removed as degenerate, leaving no geometry.");
    }

    mesh.RecomputeBounds();
    if (options.recomputeNormals) mesh.RecomputeNormals();
    if (!edgesKnown) edges = EdgeStatistics(mesh);
    report.openBoundaryEdges = edges.openBoundaryEdges;
    report.nonManifoldEdges = edges.nonManifoldEdges;
    report.trianglesKept = mesh.TriangleCount();
    report.verticesAfterWelding = mesh.vertices.size();
    if (mesh.boundsValid) report.dimensions = mesh.boundsMax - mesh.boundsMin;
    report.components = CountBodies(mesh);
    AddWarnings(report, format == StlFileFormat::Ascii, facetKeywords);
    result.ok = true;
    return result;
}

StlImportResult ParseBytes(std::span<const std::uint8_t> bytes, const std::string& fileName,
                           const StlImportOptions& options) {
    if (bytes.size() < 16) {
        return Fail(fileName, StlFileFormat::Unrecognised,
                    "The file is too small to be an STL: " + std::to_string(bytes.size()) + " bytes.");
    }
    const StlFileFormat format = DetectStlFormat(bytes);
    if (format == StlFileFormat::Unrecognised) {
        if (bytes.size() < kBinaryHeaderBytes) {
            return Fail(fileName, format, "The file is not recognised as either a binary or an ASCII STL.");
        }
        const std::uint64_t facets = BinaryFacetCount(bytes);
        const std::uint64_t needed = BinarySizeFor(facets);
        return Fail(fileName, format,
                    "The file is not a valid STL. Its header declares " + FormatCount(facets) +
                        " triangles, which needs " + FormatCount(needed) + " bytes, but the file is " +
                        FormatCount(bytes.size()) + " bytes" +
                        (bytes.size() < needed ? " (truncated)." : " (unexpected trailing data)."));
    }

    if (format == StlFileFormat::Binary) {
        const std::uint64_t facets = BinaryFacetCount(bytes);
        if (facets > kMaxTriangles) return Fail(fileName, format, TooManyTrianglesText(facets));
        // Corners are read in place from the facets, never copied as a list.
        const std::uint8_t* first = bytes.data() + kBinaryHeaderBytes;
        const auto corner = [first](std::size_t i) { return ReadCorner(first + kBinaryFacetBytes * (i / 3), i % 3); };
        return ImportCorners(3 * facets, corner, fileName, format, 0, options);
    }
    std::vector<Vec3f> corners;
    std::uint64_t facetKeywords = 0;
    std::string error;
    AsciiStlEnd end = AsciiStlEnd::Whole;
    if (!ParseAsciiStl(bytes, corners, facetKeywords, error, &end)) return Fail(fileName, format, std::move(error));
    const auto corner = [&corners](std::size_t i) { return corners[i]; };
    StlImportResult result = ImportCorners(corners.size(), corner, fileName, format, facetKeywords, options);
    // First, as the likely cause of the open edges or the odd count after it.
    if (result.ok && end != AsciiStlEnd::Whole) {
        result.report.warnings.insert(result.report.warnings.begin(), EndsEarlyText(end));
    }
    return result;
}

}  // namespace

const char* StlFileFormatName(StlFileFormat format) {
    switch (format) {
        case StlFileFormat::Binary:
            return "Binary STL";
        case StlFileFormat::Ascii:
            return "ASCII STL";
        default:
            return "Unrecognised";
    }
}

StlFileFormat DetectStlFormat(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= kBinaryHeaderBytes && bytes.size() == BinarySizeFor(BinaryFacetCount(bytes))) {
        return StlFileFormat::Binary;
    }
    std::size_t pos = 0;
    while (pos < bytes.size() && IsStlSpace(bytes[pos])) ++pos;
    if (bytes.size() - pos < 5) return StlFileFormat::Unrecognised;
    static constexpr char kSolid[] = "solid";
    for (std::size_t k = 0; k < 5; ++k) {
        const std::uint8_t c = bytes[pos + k];
        const std::uint8_t lower = (c >= 'A' && c <= 'Z') ? static_cast<std::uint8_t>(c + ('a' - 'A')) : c;
        if (lower != static_cast<std::uint8_t>(kSolid[k])) return StlFileFormat::Unrecognised;
    }
    return StlFileFormat::Ascii;
}

void ReadBinaryStlFacets(std::span<const std::uint8_t> bytes, std::vector<Vec3f>& corners, std::uint64_t& facetCount) {
    corners.clear();
    facetCount = 0;
    if (DetectStlFormat(bytes) != StlFileFormat::Binary) return;  // never read past the end
    const std::uint64_t facets = BinaryFacetCount(bytes);
    if (facets > kMaxTriangles) return;
    corners.resize(3 * facets);
    const std::uint8_t* facet = bytes.data() + kBinaryHeaderBytes;
    for (std::uint64_t f = 0; f < facets; ++f, facet += kBinaryFacetBytes) {
        for (std::size_t k = 0; k < 3; ++k) corners[3 * f + k] = ReadCorner(facet, k);
    }
    facetCount = facets;
}

bool ParseAsciiStl(std::span<const std::uint8_t> bytes, std::vector<Vec3f>& corners, std::uint64_t& facetKeywords,
                   std::string& error, AsciiStlEnd* end) {
    corners.clear();
    facetKeywords = 0;
    // Whether a solid or a facet is open when the text stops: a file cut
    // off between whole facets reads as a smaller, valid part otherwise.
    // The rest of a "solid" or "endsolid" line is the solid's name, whatever
    // words it holds ("solid vertex test"), as every reader takes it.
    bool inSolid = false, inFacet = false;
    Tokenizer tokens(bytes);
    std::string_view token;
    while (tokens.Next(token)) {
        if (token == "facet") {
            ++facetKeywords;
            inFacet = true;
            continue;
        }
        if (token == "endfacet") inFacet = false;
        if (IsSolidKeyword(token, "solid") || IsSolidKeyword(token, "endsolid")) {
            inSolid = token.size() == 5;
            tokens.SkipLine();
            continue;
        }
        if (token != "vertex") continue;
        Vec3f corner;
        for (int axis = 0; axis < 3; ++axis) {
            if (!tokens.Next(token)) {
                error = "The file ends in the middle of a vertex.";
                return false;
            }
            if (!ParseCoordinate(token, corner[axis])) {
                error = "A vertex coordinate could not be read as a number: '" + std::string(token) + "'.";
                return false;
            }
        }
        if (corners.size() == kMaxMeshElements) {
            error = TooManyTrianglesText(corners.size() / 3 + 1);
            return false;
        }
        corners.push_back(corner);
    }
    if (corners.size() % 3 != 0) {
        error = "The file ends in the middle of a facet: " + std::to_string(corners.size()) +
                " vertices is not a whole number of triangles.";
        return false;
    }
    if (end != nullptr) {
        *end = inFacet ? AsciiStlEnd::InsideFacet : inSolid ? AsciiStlEnd::InsideSolid : AsciiStlEnd::Whole;
    }
    return true;
}

StlImportResult ParseStl(std::span<const std::uint8_t> bytes, const std::string& fileName,
                         const StlImportOptions& options) {
    try {
        return ParseBytes(bytes, fileName, options);
    } catch (const std::bad_alloc&) {
        // A large file can need more memory than there is; that is a refusal, not a crash.
        // Detection allocates nothing, so the report still names the format it found.
        const StlFileFormat format = bytes.size() < 16 ? StlFileFormat::Unrecognised : DetectStlFormat(bytes);
        return Fail(fileName, format, "There is not enough memory to load the file.");
    }
}

StlImportResult LoadStlFile(const std::filesystem::path& path, const StlImportOptions& options) {
    const std::string& native = path.native();
    const std::size_t slash = native.find_last_of("/\\");
    const std::string fileName = slash == std::string::npos ? native : native.substr(slash + 1);

    std::string systemError;
    const std::optional<std::uint64_t> size = platform::FileSize(path, &systemError);
    if (!size) return Fail(fileName, StlFileFormat::Unrecognised, "The file could not be opened: " + systemError);
    const platform::InputFile file = platform::InputFile::Open(path);
    if (!file.IsOpen()) return Fail(fileName, StlFileFormat::Unrecognised, "The file could not be opened for reading.");
    // Not zeroed first: every byte is read over, and the pages are first
    // touched by the readers, in parallel.
    std::unique_ptr<std::uint8_t[]> bytes;
    try {
        bytes.reset(new std::uint8_t[static_cast<std::size_t>(*size)]);
    } catch (const std::bad_alloc&) {
        return Fail(fileName, StlFileFormat::Unrecognised, "There is not enough memory to load the file.");
    }
    // A file that grew meanwhile is read as it was measured.
    constexpr std::size_t kReadChunk = std::size_t{1} << 20;
    std::atomic<bool> failed{false};
    std::atomic<bool> ended{false};
    ForEachChunk(static_cast<std::size_t>(*size), kReadChunk, [&](std::size_t begin, std::size_t end) {
        const std::optional<std::size_t> got = file.ReadAt(begin, bytes.get() + begin, end - begin);
        if (!got) failed = true;
        if (got && *got < end - begin) ended = true;
    });
    if (failed) return Fail(fileName, StlFileFormat::Unrecognised, "The file could not be opened for reading.");
    if (ended) {
        return Fail(fileName, StlFileFormat::Unrecognised,
                    "The file ended earlier than its reported size of " + FormatCount(*size) + " bytes.");
    }
    return ParseStl(std::span<const std::uint8_t>(bytes.get(), static_cast<std::size_t>(*size)), fileName, options);
}

std::string FormatImportReport(const StlImportReport& report) {
    std::string out;
    const auto line = [&out](const std::string& label, const std::string& value) {
        out += label;
        out += value;
        out += '\n';
    };
    line("File: ", report.file);
    line("Format: ", StlFileFormatName(report.format));
    line("Units: ", "Assumed millimetres");
    line("Triangles read: ", FormatCount(report.trianglesRead));
    line("Triangles kept: ", FormatCount(report.trianglesKept));
    line("Degenerate triangles removed: ", FormatCount(report.degenerateRemoved));
    std::string duplicates = FormatCount(report.duplicates);
    if (report.duplicatesRemoved != 0) duplicates += " (" + FormatCount(report.duplicatesRemoved) + " removed)";
    line("Duplicate triangles: ", duplicates);
    std::string welding = "exact";
    if (report.weldTolerance > 0.0f) {
        welding += ", then " + FormatGeneral(static_cast<double>(report.weldTolerance), 6) +
                   " mm to close remaining seams";
    }
    line("Welding: ", welding);
    line("Vertices before welding: ", FormatCount(report.verticesBeforeWelding));
    line("Vertices after welding: ", FormatCount(report.verticesAfterWelding));
    line("Dimensions: ", FormatMillimetres(report.dimensions.x) + " x " + FormatMillimetres(report.dimensions.y) +
                             " x " + FormatMillimetres(report.dimensions.z) + " mm");
    line("Open boundary edges: ", FormatCount(report.openBoundaryEdges));
    line("Non-manifold edges: ", FormatCount(report.nonManifoldEdges));
    line("Components: ", FormatCount(report.components));
    for (const std::string& warning : report.warnings) line("Warning: ", warning);
    return out;
}

}  // namespace ridgeforge::mesh
