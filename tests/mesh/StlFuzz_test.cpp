// Feeds the STL reader thousands of damaged and random buffers. Whatever the
// input, the reader must return (no crash, no sanitizer report), a refusal
// must be one of its known messages, and an accepted file must give a mesh
// that every other operation can trust.
#include <algorithm>
#include <random>
#include <string_view>

#include <gtest/gtest.h>

#include "mesh/StlImport.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;

namespace {

const StlImportOptions kOptions{true, -1.0f, true, true, false, true};

bool IsKnownRefusal(const std::string& error) {
    static const std::string_view kPrefixes[] = {
        "The file is too small to be an STL: ",
        "The file is not recognised as either a binary or an ASCII STL.",
        "The file is not a valid STL. Its header declares ",
        "The file ends in the middle of a vertex.",
        "A vertex coordinate could not be read as a number: '",
        "The file ends in the middle of a facet: ",
        "The file contains no triangles.",
        "The file contains a coordinate that is not a number (NaN or infinity).",
        "Every triangle in the file was removed as degenerate, leaving no geometry.",
    };
    return std::any_of(std::begin(kPrefixes), std::end(kPrefixes),
                       [&error](std::string_view p) { return error.compare(0, p.size(), p) == 0; });
}

// Checks one buffer; returns true when it was accepted.
bool Check(const std::vector<std::uint8_t>& bytes) {
    const StlImportResult r = ParseStl(bytes, "fuzz.stl", kOptions);
    if (!r.ok) {
        EXPECT_TRUE(IsKnownRefusal(r.error)) << r.error;
        EXPECT_TRUE(r.mesh.vertices.empty() && r.mesh.indices.empty());
        EXPECT_TRUE(r.report.warnings.empty());
        return false;
    }
    EXPECT_TRUE(r.error.empty());
    EXPECT_TRUE(IsValidMesh(r.mesh));
    EXPECT_FALSE(r.mesh.indices.empty());
    EXPECT_EQ(r.report.trianglesKept, r.mesh.TriangleCount());
    EXPECT_EQ(r.report.verticesAfterWelding, r.mesh.vertices.size());
    EXPECT_LE(r.report.trianglesKept, r.report.trianglesRead);
    for (const Vertex& v : r.mesh.vertices) EXPECT_TRUE(IsFinite(v.position));
    EXPECT_FALSE(FormatImportReport(r.report).empty());
    return true;
}

std::vector<ridgeforge::test::Facet> Seeds() {
    auto facets = ridgeforge::test::FacetsOf(ridgeforge::test::MakeBox({-5, 0, 2}, {15, 20.5f, 7}));
    facets.push_back({Vec3f{0, 0, 0}, Vec3f{0, 0, 0}, Vec3f{1, 1, 1}});
    return facets;
}

}  // namespace

TEST(StlFuzz, TruncatedFilesAreRefusedCleanly) {
    const std::vector<std::uint8_t> binary = ridgeforge::test::BinaryStl(Seeds(), "solid but binary");
    const std::vector<std::uint8_t> ascii = ridgeforge::test::Bytes(ridgeforge::test::AsciiStl(Seeds()));
    ASSERT_TRUE(Check(binary));
    ASSERT_TRUE(Check(ascii));
    int accepted = 0;
    for (const auto* seed : {&binary, &ascii}) {
        for (std::size_t length = 0; length < seed->size(); ++length) {
            accepted += Check({seed->begin(), seed->begin() + static_cast<std::ptrdiff_t>(length)});
        }
    }
    // A binary file cut anywhere is refused; an ASCII one may still hold whole facets.
    EXPECT_GT(accepted, 0);
}

TEST(StlFuzz, BitFlipsAndOverwrittenBytes) {
    std::mt19937 random(20261207);
    const std::vector<std::uint8_t> seeds[] = {
        ridgeforge::test::BinaryStl(Seeds()),
        ridgeforge::test::Bytes(ridgeforge::test::AsciiStl(Seeds())),
    };
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> bytes = seeds[round % 2];
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int c = 0; c < changes; ++c) {
            const std::size_t at = random() % bytes.size();
            switch (random() % 3) {
                case 0:
                    bytes[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
                    break;
                case 1:
                    bytes[at] = static_cast<std::uint8_t>(random());
                    break;
                default:
                    bytes[at] = static_cast<std::uint8_t>(" \n-+.e0123456789nainf"[random() % 21]);
                    break;
            }
        }
        accepted += Check(bytes);
    }
    // Damaged files that still parse exercise the welds and clean-up too.
    EXPECT_GT(accepted, 1000);
}

TEST(StlFuzz, RandomBuffersAndTokenSoups) {
    std::mt19937 random(7);
    static const char* const kTokens[] = {
        "solid", "facet", "vertex", "normal", "outer", "loop", "endloop", "endfacet", "endsolid", "0",  "1",  "-2.5",
        "1e3",   "1e-3",  "3.4e38", "-inf",   "nan",   "+1",   "1e39",    "0x1p3",    ".5",       "5.", "\t", "\r\n"};
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> bytes;
        switch (round % 2) {
            case 0: {  // raw bytes, sometimes sized like a binary file
                const std::size_t facets = random() % 6;
                const std::size_t size = random() % 2 ? 84 + 50 * facets : random() % 400;
                bytes.resize(size);
                for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
                if (size >= 84 && random() % 2) {
                    for (int k = 0; k < 4; ++k) bytes[80 + k] = static_cast<std::uint8_t>(facets >> (8 * k));
                }
                break;
            }
            default: {  // ASCII keywords and numbers in random order
                std::string text = random() % 4 ? "solid fuzz\n" : "";
                const int count = static_cast<int>(random() % 120);
                for (int t = 0; t < count; ++t) {
                    text += kTokens[random() % std::size(kTokens)];
                    text += ' ';
                }
                bytes = ridgeforge::test::Bytes(text);
                break;
            }
        }
        Check(bytes);
    }
}
