// Mutated project files: each is either refused with one of the reader's
// messages, leaving the caller's record alone, or read as a record whose
// numbers are usable and which writes and reads back the same. Run under the
// sanitizers this also shows that no input reads out of bounds or recurses
// without end. Seeded, so a failure repeats.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "document/ProjectFile.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge {
namespace {

using nlohmann::json;

constexpr int kMutations = 3000;

// A project with masks, paths and every section present.
json BaseProject(const test::TempDir& dir) {
    ProjectFileData data;
    data.partPath = WideFromPath(dir / "part.stl");
    data.textureImagePath = WideFromPath(dir / "images" / "stone.png");
    data.proceduralPattern = "Bricks";
    data.proceduralParameters = "rows=4\n";
    data.masks.resize(3);
    data.masks[1].shape = mesh::MaskShape::Cylinder;
    std::string error;
    EXPECT_TRUE(WriteProjectJson(dir / "base.rgproj", data, error));
    const JsonDocument document = ReadJsonFile(dir / "base.rgproj");
    EXPECT_TRUE(document);
    return document ? *document : json::object();
}

// Collects pointers to the values of the document down to a few levels (a
// project's own keys are no deeper), not into the deep values put in.
void CollectPaths(const json& value, const JsonPointer& at, std::vector<JsonPointer>& out, int depth = 0) {
    out.push_back(at);
    if (depth == 6) return;
    if (value.is_object()) {
        for (auto it = value.begin(); it != value.end(); ++it) CollectPaths(it.value(), at / it.key(), out, depth + 1);
    } else if (value.is_array()) {
        for (std::size_t i = 0; i < value.size(); ++i) CollectPaths(value[i], at / i, out, depth + 1);
    }
}

json Nested(int depth, bool objects) {
    json value = 1;
    for (int i = 0; i < depth; ++i) value = objects ? json{{"a", std::move(value)}} : json::array({std::move(value)});
    return value;
}

json ReplacementValue(std::mt19937& random) {
    static const std::vector<json> pool = {
        nullptr,
        true,
        false,
        "",
        "x",
        "Ridgeforge project",
        "cube",
        "/no/such/folder/part.stl",
        "../../../../../../etc/hostname",
        "/etc",
        "C:\\Parts\\p.stl",
        std::string(4096, 'a'),
        0,
        -1,
        1,
        255,
        256,
        257,
        2147483647,
        2147483648LL,
        -2147483649LL,
        4294967296LL,
        std::numeric_limits<std::int64_t>::min(),
        std::numeric_limits<std::uint64_t>::max(),
        0.5,
        -0.0,
        1e-320,
        1e38,
        3.5e38,
        1e300,
        -1e300,
        json::array(),
        json::object(),
        json::array({1, 2}),
        json::array({1, 2, 3}),
        json::array({1e39, 0, 0}),
        json::array({"1", 2, 3}),
        json{{"path", "/nowhere"}, {"relative", "part.stl"}},
        json{{"relative", "/etc/passwd"}},
    };
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() + 1);
    const std::size_t index = pick(random);
    static const json deepArrays = Nested(2000, false);
    static const json deepObjects = Nested(2000, true);
    if (index == pool.size()) return deepArrays;
    if (index == pool.size() + 1) return deepObjects;
    return pool[index];
}

// Structural mutations: a few values replaced or removed.
std::string MutateStructure(json document, std::mt19937& random) {
    std::uniform_int_distribution<int> edits(1, 4);
    for (int e = edits(random); e > 0; --e) {
        std::vector<JsonPointer> paths;
        CollectPaths(document, JsonPointer(), paths);
        const JsonPointer& at = paths[std::uniform_int_distribution<std::size_t>(0, paths.size() - 1)(random)];
        if (at.empty()) {
            if (random() % 8 == 0) document = ReplacementValue(random);
            continue;
        }
        if (random() % 4 == 0) {
            json& parent = document[at.parent_pointer()];
            if (parent.is_object()) parent.erase(at.back());
            continue;
        }
        document[at] = ReplacementValue(random);
    }
    // Compact: indented deep values would be megabytes of blanks.
    return document.dump();
}

// Text mutations: JSON that nlohmann does not write (non-finite words,
// overflowing numbers), truncation, flipped bytes and deep brackets.
std::string MutateText(std::string text, std::mt19937& random) {
    auto position = [&] { return std::uniform_int_distribution<std::size_t>(0, text.size())(random); };
    switch (random() % 6) {
        case 0:
            text.resize(position());
            break;
        case 1:
            for (int i = 0; i < 4 && !text.empty(); ++i) text[position() % text.size()] = static_cast<char>(random());
            break;
        case 2: {
            static const char* words[] = {
                "NaN",  "Infinity",   "-Infinity", "1e999", "-1e999", "1e-999", "123456789012345678901234567890",
                "0x10", "\"\\ud800\""};
            const std::size_t colon = text.find(':', position());
            if (colon != std::string::npos) {
                const std::size_t end = text.find_first_of(",}", colon);
                if (end != std::string::npos) text.replace(colon + 1, end - colon - 1, words[random() % 9]);
            }
            break;
        }
        case 3:
            text.insert(position(), std::string(100000, '['));
            break;
        case 4: {
            const std::size_t colon = text.find(':', position());
            if (colon != std::string::npos)
                text.insert(colon + 1, std::string(5000, '[') + "1" + std::string(5000, ']') + ",\"z\":");
            break;
        }
        default:
            text = "\xEF\xBB\xBF" + text;
            break;
    }
    return text;
}

bool Finite(const mesh::Vec3f& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// A record that came out of a read: every number a reader hands on is usable.
void ExpectSane(const ProjectFileData& d, const std::string& text) {
    EXPECT_LE(d.masks.size(), 256u) << text;
    EXPECT_FALSE(d.partPath.empty() && d.testShape.empty());
    for (const mesh::MaskVolume& mask : d.masks) {
        EXPECT_TRUE(Finite(mask.center) && Finite(mask.size) && Finite(mask.rotationDegrees)) << text;
        EXPECT_TRUE(std::isfinite(mask.featherMillimetres));
    }
    EXPECT_TRUE(Finite(d.orientation.rowX) && Finite(d.orientation.translation)) << text;
    EXPECT_TRUE(Finite(d.projection.cage.center) && Finite(d.projection.cage.size)) << text;
    for (const mesh::ProjectionLayer& layer : d.projection.layer) EXPECT_TRUE(std::isfinite(layer.zoom)) << text;
    EXPECT_GE(d.projection.activeLayer, -1);
    EXPECT_LE(d.projection.activeLayer, 5);
    EXPECT_TRUE(std::isfinite(d.displacement.strengthMillimetres));
    EXPECT_TRUE(std::isfinite(d.remesh.targetEdgeMillimetres));
    EXPECT_TRUE(std::isfinite(d.textureSettings.widthMillimetres));
    EXPECT_TRUE(std::isfinite(d.exportFixes.maximumMoveMillimetres));
}

TEST(ProjectFileFuzz, MutatedProjectsAreRefusedClearlyOrReadSanely) {
    test::TempDir dir("projectfuzz");
    std::filesystem::create_directories(dir / "images");
    test::WriteTextFile(dir / "part.stl", "solid x\nendsolid x\n");
    const json base = BaseProject(dir);
    const std::string baseText = base.dump(2);
    const std::vector<std::string_view> messages = {kProjectNotReadable, kProjectOfOtherProgram, kProjectNamesNoPart};

    std::mt19937 random(20261207);
    const auto start = std::chrono::steady_clock::now();
    int read = 0;
    int refused = 0;
    for (int i = 0; i < kMutations; ++i) {
        const std::string text = (i % 3 == 2) ? MutateText(baseText, random) : MutateStructure(base, random);
        const std::filesystem::path path = dir / "fuzz.rgproj";
        test::WriteTextFile(path, text);

        ProjectFileData data;
        data.testShape = "before";
        std::string error;
        if (ReadProjectJson(path, data, error)) {
            ++read;
            ExpectSane(data, text.substr(0, 400));
            if (i % 20 == 0) {
                // What was read writes and reads back unchanged.
                std::string writeError;
                ASSERT_TRUE(WriteProjectJson(dir / "again.rgproj", data, writeError));
                ProjectFileData again;
                ASSERT_TRUE(ReadProjectJson(dir / "again.rgproj", again, writeError)) << writeError;
                EXPECT_TRUE(again == data) << text.substr(0, 400);
            }
        } else {
            ++refused;
            EXPECT_NE(std::find(messages.begin(), messages.end(), error), messages.end()) << error;
            EXPECT_EQ(data.testShape, "before");
            EXPECT_TRUE(data.masks.empty());
        }
        if (HasFailure()) break;
    }
    // Both outcomes must be exercised for the test to mean anything.
    EXPECT_GT(read, kMutations / 4);
    EXPECT_GT(refused, kMutations / 10);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d read, %d refused in %.1f s\n", read, refused, seconds);
}

}  // namespace
}  // namespace ridgeforge
