// Opens thousands of damaged projects through the document: cut short, with
// values of the wrong type, huge or non-finite numbers, deep nesting, and
// part or texture paths that are missing or name the wrong kind of file.
// Each must open as a sane document or be refused with a message, and a
// refused one must leave the document as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>

#include "document/PlacementSnapshot.h"
#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "mesh/Json.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"
#include "testing/Shapes.h"
#include "tests/document/FakeHost.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestImages.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct Fingerprint {
    std::string testShape;
    CString partName;
    CString projectPath;
    std::size_t triangles = 0;
    std::int32_t occupancyCells = 0;
    bool modified = false;
    std::size_t undoDepth = 0;
    PlacementSnapshot snapshot;
};

Fingerprint Take(const CRidgeforgeDoc& doc) {
    Fingerprint f;
    f.testShape = doc.testShape;
    f.partName = doc.partName;
    f.projectPath = doc.projectPath;
    f.triangles = doc.workingPart.TriangleCount();
    f.occupancyCells = doc.occupancyCells;
    f.modified = doc.IsModified();
    f.undoDepth = doc.undoStack.size();
    doc.CaptureSnapshot(f.snapshot);
    return f;
}

::testing::AssertionResult Unchanged(const Fingerprint& a, const Fingerprint& b) {
    if (a.testShape != b.testShape || a.partName != b.partName || a.projectPath != b.projectPath ||
        a.triangles != b.triangles || a.occupancyCells != b.occupancyCells || a.modified != b.modified ||
        a.undoDepth != b.undoDepth) {
        return ::testing::AssertionFailure() << "the document's part or state changed";
    }
    if (!SnapshotUnchanged(a.snapshot, b.snapshot)) return ::testing::AssertionFailure() << "the placement changed";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Sane(CRidgeforgeDoc& doc) {
    if (!doc.HasPart()) return ::testing::AssertionFailure() << "no part";
    for (const mesh::Vertex& v : doc.workingPart.vertices) {
        if (!std::isfinite(v.position.x) || !std::isfinite(v.position.y) || !std::isfinite(v.position.z)) {
            return ::testing::AssertionFailure() << "a vertex is not finite";
        }
    }
    if (doc.maskVolumes.size() > 256) return ::testing::AssertionFailure() << "too many masks";
    if (doc.occupancyCells != 128 && doc.occupancyCells != 256 && doc.occupancyCells != 512) {
        return ::testing::AssertionFailure() << "occupancy " << doc.occupancyCells;
    }
    if (doc.proceduralTexture != nullptr && (doc.texture.width < 256 || doc.texture.width > 4096)) {
        return ::testing::AssertionFailure() << "render width " << doc.texture.width;
    }
    if (doc.IsModified() || !doc.undoStack.empty()) return ::testing::AssertionFailure() << "not a fresh document";
    const mesh::TextureCoverage& coverage = doc.ShownTextureCoverage();
    if (!coverage.MatchesMesh(doc.ShownMesh())) return ::testing::AssertionFailure() << "coverage does not fit";
    if (doc.ProcessStatusText().empty()) return ::testing::AssertionFailure() << "no status";
    return ::testing::AssertionSuccess();
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class Mutator {
public:
    Mutator(std::uint32_t seed, std::vector<std::string> paths) : random_(seed), paths_(std::move(paths)) {}

    // keepSizes: leave alone what sets the size of a procedural render (tile
    // size, zooms, the cage a one-tile texture is fitted to), which would
    // render for seconds under the sanitizers.
    std::string Mutate(const std::string& text, bool keepSizes) {
        keepSizes_ = keepSizes;
        switch (Pick(6)) {
            case 0:
                return text.substr(0, Pick(text.size() + 1));
            case 1: {
                std::string out = text;
                for (std::size_t n = 1 + Pick(4); n > 0 && !out.empty(); --n) {
                    out[Pick(out.size())] = static_cast<char>(Pick(256));
                }
                return out;
            }
            default:
                return MutateTree(text);
        }
    }

private:
    std::size_t Pick(std::size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }

    std::string MutateTree(const std::string& text) {
        std::size_t start = text.find('{');
        if (start == std::string::npos) return text;
        json root = json::parse(text.begin() + static_cast<std::ptrdiff_t>(start), text.end(), nullptr, false);
        if (root.is_discarded() || !root.is_object()) return text;
        json flat = root.flatten();
        std::vector<std::string> keys;
        for (auto it = flat.begin(); it != flat.end(); ++it) keys.push_back(it.key());
        // Keys the file may hold that this one does not, and counts at the edges.
        if (keepSizes_) {
            std::erase_if(keys, [](const std::string& k) {
                return k.find("Millimetres") != std::string::npos || k.find("/zoom") != std::string::npos ||
                       k.find("/cage") != std::string::npos || k.find("/tiles") != std::string::npos ||
                       k.find("/layer") != std::string::npos;
            });
        }
        for (const char* extra : {"/maskCount", "/occupancyCells", "/maximumTriangles", "/displayTriangles",
                                  "/stages/subdivide", "/part/testShape", "/texture/procedural"}) {
            keys.push_back(extra);
        }
        // Tokens that cannot sit in a flattened tree: written into the text afterwards.
        std::vector<std::string> raws;
        const auto placeholder = [&raws](std::string token) {
            raws.push_back(std::move(token));
            return "@@RAW" + std::to_string(raws.size() - 1) + "@@";
        };
        for (std::size_t n = 1 + Pick(3); n > 0; --n) {
            const std::string& key = keys[Pick(keys.size())];
            const bool isPath = key.ends_with("/path") || key.ends_with("/relative");
            switch (isPath ? 6 : Pick(6)) {
                case 0: {
                    static const char* const kNumbers[] = {"1e999",      "-1e999", "1e38",
                                                           "-3.4e38",    "1e-45",  "-0.0",
                                                           "4294967296", "-1",     "18446744073709551616",
                                                           "2147483648", "0",      "300"};
                    flat[key] = placeholder(kNumbers[Pick(std::size(kNumbers))]);
                    break;
                }
                case 1: {
                    static const char* const kWrong[] = {"\"x\"", "[]", "{}", "true", "null", "[1, 2, 3]", "1.5"};
                    flat[key] = placeholder(kWrong[Pick(std::size(kWrong))]);
                    break;
                }
                case 2:
                    flat.erase(key);
                    break;
                case 3: {
                    const std::size_t depth = 1 + Pick(20000);
                    flat[key] = placeholder(Pick(2) == 0 ? std::string(depth, '[') + std::string(depth, ']')
                                                         : Nested(std::min<std::size_t>(depth, 3000)));
                    break;
                }
                case 4:
                    flat[key] = static_cast<double>(Pick(2000)) - 1000.0;
                    break;
                default:
                    flat[key] = paths_[Pick(paths_.size())];
                    break;
            }
        }
        json mutated = flat.unflatten();
        std::string out = mutated.dump(2);
        for (std::size_t i = 0; i < raws.size(); ++i) {
            const std::string quoted = "\"@@RAW" + std::to_string(i) + "@@\"";
            const std::size_t at = out.find(quoted);
            if (at != std::string::npos) out.replace(at, quoted.size(), raws[i]);
        }
        return out;
    }

    static std::string Nested(std::size_t depth) {
        std::string out;
        for (std::size_t i = 0; i < depth; ++i) out += "{\"a\":";
        out += "1";
        out += std::string(depth, '}');
        return out;
    }

    bool keepSizes_ = false;
    std::mt19937 random_;
    std::vector<std::string> paths_;
};

TEST(ProjectOpenFuzz, DamagedProjectsOpenSanelyOrAreRefusedWithoutChange) {
    test::TempDir dir("fuzz");
    const fs::path bases = dir / "bases";
    fs::create_directories(bases / "sub");
    // Small inputs: a box part, an 8 x 8 image.
    {
        const std::vector<std::uint8_t> stl = test::BinaryStl(test::FacetsOf(test::MakeBox({0, 0, 0}, {12, 9, 0.6f})));
        WriteBytes(bases / "part.stl", std::string(stl.begin(), stl.end()));
        std::vector<std::uint16_t> samples(64);
        for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint16_t>((i * 7919) % 65536);
        ASSERT_TRUE(test::WritePng(bases / "tex.png", 8, 8, 1, 16, samples));
    }
    test::HostedDocument d;
    d.doc.SetUserDataRoots({LibraryRoot{dir / "user", true}});
    d.host.defaultAnswer = QuestionAnswer::No;

    // Four projects to mutate: a test shape with an image texture and masks, a
    // part saved beside its project, a part file named by its path, and a part
    // with a procedural texture. The part is a thin plate, whose print-check
    // grid is quick to build.
    std::vector<fs::path> projects;
    d.doc.OnTestCube();
    ASSERT_TRUE(d.doc.LoadHeightMap(WideFromPath(bases / "tex.png")));
    d.doc.AddMaskVolume(0);
    d.doc.AddMaskVolume(1);
    d.doc.SetOccupancyCells(128);
    ASSERT_TRUE(d.doc.SaveProject(WideFromPath(bases / "shape.rgproj")));
    projects.push_back(bases / "shape.rgproj");
    ASSERT_TRUE(d.doc.ImportPart(WideFromPath(bases / "part.stl")));
    d.doc.SetOccupancyCells(128);
    d.doc.partChanged = true;
    ASSERT_TRUE(d.doc.SaveProject(WideFromPath(bases / "beside.rgproj")));
    projects.push_back(bases / "beside.rgproj");
    ASSERT_TRUE(d.doc.ImportPart(WideFromPath(bases / "part.stl")));
    d.doc.AddMaskVolume(2);
    ASSERT_TRUE(d.doc.SaveProject(WideFromPath(bases / "plain.rgproj")));
    projects.push_back(bases / "plain.rgproj");
    mesh::TextureSettings small = d.doc.texture.settings;
    small.widthMillimetres = small.heightMillimetres = 6.0f;
    d.doc.ApplyTextureSettings(small);
    d.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Stripes"), L"Fine");
    d.doc.projection.type = mesh::ProjectionType::Cylinder;
    d.doc.OnSettingsChanged();
    ASSERT_TRUE(d.doc.SaveProject(WideFromPath(bases / "sub" / "pattern.rgproj")));
    projects.push_back(bases / "sub" / "pattern.rgproj");

    std::vector<std::string> texts;
    for (const fs::path& p : projects) texts.push_back(ReadBytes(p));
    const std::vector<std::string> paths = {(bases / "part.stl").string(),
                                            (bases / "tex.png").string(),
                                            (bases / "gone.stl").string(),
                                            bases.string(),
                                            (bases / "shape.rgproj").string(),
                                            "part.stl",
                                            "../part.stl",
                                            "sub",
                                            "",
                                            "/dev/null",
                                            "gr\xc3\xbcn part.stl"};
    Mutator mutator(20261207u, paths);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(50);
    int opened = 0, refused = 0, iterations = 0;
    const fs::path target = bases / "sub" / "mutated.rgproj";
    for (; iterations < 3000 && std::chrono::steady_clock::now() < deadline; ++iterations) {
        // Now and then start again from an intact project; after the procedural
        // one, from an image project, since a document that keeps a pattern
        // renders it again on every open.
        if (iterations % 200 == 0) {
            ASSERT_TRUE(d.doc.OpenProject(WideFromPath(projects[static_cast<std::size_t>(iterations / 200) % 4])));
        } else if (iterations % 20 == 0) {
            ASSERT_TRUE(d.doc.OpenProject(WideFromPath(projects[1])));
        }
        // The procedural project renders its pattern on every open, and the
        // cube's grid is the largest: one in twenty and four in twenty.
        const int slot = iterations % 20;
        const std::size_t which = slot == 19 ? 3 : slot < 4 ? 0 : 1 + static_cast<std::size_t>(slot % 2);
        const std::string text = mutator.Mutate(texts[which], which == 3);
        WriteBytes(target, text);
        const Fingerprint before = Take(d.doc);
        d.host.info.clear();
        if (d.doc.OpenProject(WideFromPath(target))) {
            ++opened;
            ASSERT_TRUE(Sane(d.doc)) << "iteration " << iterations << ":\n" << text.substr(0, 2000);
        } else {
            ++refused;
            ASSERT_TRUE(Unchanged(before, Take(d.doc))) << "iteration " << iterations << ":\n" << text.substr(0, 2000);
            // Every refusal says why, except a cancelled search for the part.
            ASSERT_FALSE(d.host.info.empty()) << "iteration " << iterations;
            ASSERT_EQ(d.host.info.back().kind, InfoKind::Problem);
        }
    }
    std::printf("%d projects: %d opened, %d refused\n", iterations, opened, refused);
    EXPECT_GT(opened, iterations / 10);
    EXPECT_GT(refused, iterations / 10);
    // A few thousand on an idle machine; far fewer when the machine is shared.
    EXPECT_GE(iterations, 200);
}

}  // namespace
}  // namespace ridgeforge
