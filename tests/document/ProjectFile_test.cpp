#include "document/ProjectFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <iterator>
#include <string>

#include "platform/Files.h"
#include "platform/SafeWrite.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge {
namespace {

using mesh::Axis;
using mesh::SurfaceSelection;

std::string ReadBytes(const std::filesystem::path& path) {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(platform::ReadWholeFile(path, bytes, platform::kSmallFileBytes));
    return std::string(bytes.begin(), bytes.end());
}

// A project file body around the given members (without the braces' own comma).
std::string ProjectText(const std::string& members) {
    std::string text = R"({"application": "Ridgeforge project", "part": {"testShape": "cube"})";
    if (!members.empty()) text += ", " + members;
    return text + "}";
}

struct ReadOutcome {
    bool ok = false;
    std::string error;
    ProjectFileData data;
};

ReadOutcome ReadText(const test::TempDir& dir, const std::string& text) {
    const std::filesystem::path path = dir / "read.rgproj";
    test::WriteTextFile(path, text);
    ReadOutcome outcome;
    outcome.ok = ReadProjectJson(path, outcome.data, outcome.error);
    return outcome;
}

// Every field away from its default, with values each reader keeps as they are.
ProjectFileData EverySettingChanged(const test::TempDir& dir) {
    ProjectFileData d;
    d.partPath = WideFromPath(dir / "parts" / PathFromWide(L"Teil \u00e4.stl"));
    d.testShape = "sphere";
    d.orientation = {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {1.5f, -2.25f, 3.0f}};

    mesh::Projection& p = d.projection;
    p.type = mesh::ProjectionType::Cylinder;
    p.cage = {{1.0f, 2.0f, 3.0f}, {10.0f, 20.0f, 30.0f}, {4.0f, 5.0f, 6.5f}};
    p.box.sideEnabled = {true, false, true, true, false, false};
    p.box.sideSurface = {SurfaceSelection::Outside, SurfaceSelection::Inside,  SurfaceSelection::Both,
                         SurfaceSelection::Inside,  SurfaceSelection::Outside, SurfaceSelection::Both};
    p.box.blended = true;
    p.box.blendSharpness = 7.5f;
    p.plane = {true, Axis::X};
    p.cylinder = {Axis::Y, SurfaceSelection::Outside, 90.0f, false, true, true, false};
    p.sphere = {Axis::X, false};
    for (int i = 0; i < mesh::kSideCount; ++i) {
        p.layer[static_cast<std::size_t>(i)] = {
            {0.5f * static_cast<float>(i), -1.0f}, 15.0f, 1.5f + static_cast<float>(i), i};
    }
    p.activeLayer = 3;

    mesh::MaskVolume first;
    first.shape = mesh::MaskShape::Cylinder;
    first.center = {1, 2, 3};
    first.rotationDegrees = {0, 45, 0};
    first.size = {2, 3, 4};
    first.featherMillimetres = 0.75f;
    first.enabled = false;
    first.name = "Cylinder 1";
    mesh::MaskVolume second;
    second.shape = mesh::MaskShape::Sphere;
    second.center = {-4, 0, 9};
    second.name = "Sphere 2";
    d.masks = {first, second};

    d.remesh.method = mesh::kRemeshIsotropic;
    d.remesh.dualContouring = {0.5f, false, true, 2.5f, false};
    d.remesh.targetEdgeMillimetres = 0.35f;
    d.remesh.rounds = 7;
    d.remesh.featureAngleDegrees = 55.0f;
    d.remesh.relaxation = 0.25f;
    d.remesh.projectToOriginal = false;

    mesh::DisplacementSettings& s = d.displacement;
    s.method = mesh::DisplacementMethod::Mesh;
    s.limitToClearance = false;
    s.mitreCreases = false;
    s.preventFolds = false;
    s.maximumTiltDegrees = 60.0f;
    s.wallThresholdMillimetres = 0.8f;
    s.checkThinWalls = false;
    s.holdThinWalls = true;
    s.strengthMillimetres = 0.6f;
    s.midLevel = 0.25f;
    s.midLevelMode = mesh::MidLevelMode::Automatic;
    s.direction = mesh::DisplacementDirection::Inward;
    s.invert = true;
    s.outsideRule = mesh::OutsideRule::All;
    s.base = {true, 1, false, -3.5f, 0.4f};

    mesh::SimplifySettings& m = d.simplify;
    m = {0.002f, 1e-5f, 2.0f, 0.004f, 12, 9, false, true, false, false, 0.05f};

    d.remeshOn = false;
    d.displacementOn = false;
    d.simplifyOn = false;
    d.occupancyCells = 512;
    d.maximumTriangles = 5'000'000'000ULL;  // beyond the int32 range on purpose
    d.displayTriangles = 123;
    d.exportCleanup = {false, false, 7.5f, 0.25f};
    d.exportFixes = {false, true, false, true, 12, 0.5f};

    mesh::TextureSettings& t = d.textureSettings;
    t.widthMillimetres = 12.0f;
    t.heightMillimetres = 8.0f;
    t.lockAspect = false;
    t.tiles = false;
    t.wrap = mesh::WrapMode::Mirror;
    t.offsetMillimetres[0] = 1.25f;
    t.offsetMillimetres[1] = -0.5f;
    t.rotationDegrees = 33.0f;
    t.blackLevel = 0.1f;
    t.whiteLevel = 0.9f;
    t.autoLevels = true;
    t.gamma = 1.8f;
    t.outputBlackLevel = 0.2f;
    t.outputWhiteLevel = 0.7f;
    t.invert = true;
    t.blurMillimetres = 0.3f;
    t.seamlessMethod = "Cross-fade";
    t.seamlessParameters = "width=0.2\n";

    d.textureImagePath = WideFromPath(dir / "images" / "stone.png");
    d.proceduralPattern = "Knurling";
    d.proceduralParameters = "pitch=1.5\n";
    d.proceduralPreset = "Fine";
    return d;
}

TEST(ProjectFile, EverySettingWrittenReadsBackEqual) {
    test::TempDir dir("project");
    std::filesystem::create_directories(dir / "parts");
    std::filesystem::create_directories(dir / "images");
    const ProjectFileData written = EverySettingChanged(dir);
    std::string error;
    ASSERT_TRUE(WriteProjectJson(dir / "every.rgproj", written, error));
    EXPECT_FALSE(std::filesystem::exists(dir / "every.rgproj.tmp"));

    ProjectFileData read;
    ASSERT_TRUE(ReadProjectJson(dir / "every.rgproj", read, error)) << error;
    EXPECT_TRUE(read.orientation == written.orientation);
    EXPECT_TRUE(read.projection == written.projection);
    EXPECT_EQ(read.masks, written.masks);
    EXPECT_TRUE(read.remesh == written.remesh);
    EXPECT_TRUE(read.displacement == written.displacement);
    EXPECT_TRUE(read.simplify == written.simplify);
    EXPECT_TRUE(read.exportCleanup == written.exportCleanup);
    EXPECT_TRUE(read.exportFixes == written.exportFixes);
    EXPECT_TRUE(read.textureSettings == written.textureSettings);
    EXPECT_EQ(read.maximumTriangles, 5'000'000'000ULL);
    EXPECT_TRUE(read == written);

    // Subdivide is an old stage: read, never written.
    const std::string text = ReadBytes(dir / "every.rgproj");
    EXPECT_EQ(text.find("subdivide"), std::string::npos);
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_NE(text.find("\"stages\""), std::string::npos);
}

TEST(ProjectFile, DefaultsStayForMissingAndMistypedKeys) {
    test::TempDir dir("project");
    ReadOutcome bare = ReadText(dir, ProjectText(""));
    ASSERT_TRUE(bare.ok) << bare.error;
    ProjectFileData expected;
    expected.testShape = "cube";
    EXPECT_TRUE(bare.data == expected);
    EXPECT_EQ(bare.data.exportFixes.maximumRounds, 40);
    EXPECT_EQ(bare.data.displayTriangles, 4'000'000u);

    ReadOutcome mistyped = ReadText(dir, ProjectText(R"("stages": {"remesh": 0, "simplify": false, "subdivide": true},
        "remesh": [1], "projection": "box", "texture": {"procedural": 5, "settings": {"gamma": "2"}},
        "occupancyCells": 4294967296, "maximumTriangles": -1, "displayTriangles": 2.0,
        "maskCount": -3, "mask0": {"name": "stray"})"));
    ASSERT_TRUE(mistyped.ok) << mistyped.error;
    EXPECT_TRUE(mistyped.data.remeshOn);
    EXPECT_FALSE(mistyped.data.simplifyOn);
    EXPECT_TRUE(mistyped.data.subdivideOn);
    EXPECT_EQ(mistyped.data.occupancyCells, 256);
    EXPECT_EQ(mistyped.data.maximumTriangles, 18'000'000u);
    EXPECT_EQ(mistyped.data.displayTriangles, 4'000'000u);
    EXPECT_TRUE(mistyped.data.masks.empty());
    EXPECT_TRUE(mistyped.data.projection == mesh::Projection{});
    EXPECT_EQ(mistyped.data.textureSettings.gamma, 1.0f);
    EXPECT_EQ(mistyped.data.proceduralPattern, "");

    // The other side of each limit is taken.
    ReadOutcome limits = ReadText(dir, ProjectText(R"("occupancyCells": 2147483647, "maximumTriangles": 0,
        "displayTriangles": 18446744073709551615)"));
    ASSERT_TRUE(limits.ok);
    EXPECT_EQ(limits.data.occupancyCells, 2147483647);
    EXPECT_EQ(limits.data.maximumTriangles, 0u);
    EXPECT_EQ(limits.data.displayTriangles, 18446744073709551615ULL);
    ReadOutcome beyond =
        ReadText(dir, ProjectText(R"("occupancyCells": -2147483649, "displayTriangles": 18446744073709551616)"));
    ASSERT_TRUE(beyond.ok);
    EXPECT_EQ(beyond.data.occupancyCells, 256);
    EXPECT_EQ(beyond.data.displayTriangles, 4'000'000u);
}

TEST(ProjectFile, MaskCountIsCappedAndMissingMasksKeepDefaults) {
    test::TempDir dir("project");
    std::string members = R"("maskCount": 300)";
    for (int i = 0; i < 300; ++i)
        members += ", \"mask" + std::to_string(i) + "\": {\"name\": \"m" + std::to_string(i) + "\"}";
    ReadOutcome many = ReadText(dir, ProjectText(members));
    ASSERT_TRUE(many.ok);
    ASSERT_EQ(many.data.masks.size(), 256u);
    EXPECT_EQ(many.data.masks[0].name, "m0");
    EXPECT_EQ(many.data.masks[255].name, "m255");

    ReadOutcome two =
        ReadText(dir, ProjectText(R"("maskCount": 2, "mask0": {"shape": "sphere", "featherMillimetres": 2})"));
    ASSERT_TRUE(two.ok);
    ASSERT_EQ(two.data.masks.size(), 2u);
    EXPECT_EQ(two.data.masks[0].shape, mesh::MaskShape::Sphere);
    EXPECT_EQ(two.data.masks[0].featherMillimetres, 2.0f);
    EXPECT_TRUE(two.data.masks[1] == mesh::MaskVolume{});

    // A member that is not an object stays at the defaults; a float count reads no mask.
    ReadOutcome odd = ReadText(dir, ProjectText(R"("maskCount": 1, "mask0": [1, 2])"));
    ASSERT_EQ(odd.data.masks.size(), 1u);
    EXPECT_TRUE(odd.data.masks[0] == mesh::MaskVolume{});
    EXPECT_TRUE(ReadText(dir, ProjectText(R"("maskCount": 1.0, "mask0": {})")).data.masks.empty());
}

TEST(ProjectFile, RefusedFilesLeaveTheRecordAsItWas) {
    test::TempDir dir("project");
    const auto refused = [&](const std::string& text) {
        const std::filesystem::path path = dir / "bad.rgproj";
        test::WriteTextFile(path, text);
        ProjectFileData data;
        data.testShape = "kept";
        data.occupancyCells = 99;
        std::string error;
        EXPECT_FALSE(ReadProjectJson(path, data, error)) << text;
        EXPECT_EQ(data.testShape, "kept");
        EXPECT_EQ(data.occupancyCells, 99);
        return error;
    };
    EXPECT_EQ(refused("[]"), "the file is not a project (it could not be read as one)");
    EXPECT_EQ(refused(R"({"application": "Ridgeforge project")"), kProjectNotReadable);
    EXPECT_EQ(refused(""), kProjectNotReadable);
    EXPECT_EQ(refused(R"({"application": "Ridgeforge project "})"), "the file is not a Ruvolta project");
    EXPECT_EQ(refused(R"({"application": "ridgeforge project"})"), kProjectOfOtherProgram);
    EXPECT_EQ(refused(R"({"application": ["Ridgeforge project"]})"), kProjectOfOtherProgram);
    EXPECT_EQ(refused(R"({"part": {"testShape": "cube"}})"), kProjectOfOtherProgram);
    EXPECT_EQ(refused(R"({"application": "Ridgeforge project", "occupancyCells": 99})"), "the project names no part");
    EXPECT_EQ(refused(R"({"application": "Ridgeforge project", "part": {"path": 4, "testShape": ""}})"),
              kProjectNamesNoPart);

    ProjectFileData untouched;
    std::string error;
    EXPECT_FALSE(ReadProjectJson(dir / "missing.rgproj", untouched, error));
    EXPECT_EQ(error, kProjectNotReadable);
}

TEST(ProjectFile, FailedWriteLeavesTheOldFileByteIdentical) {
    test::TempDir dir("project");
    const std::filesystem::path path = dir / "keep.rgproj";
    ProjectFileData first;
    first.testShape = "cube";
    std::string error;
    ASSERT_TRUE(WriteProjectJson(path, first, error));
    const std::string before = ReadBytes(path);

    // The disk fills part way: the old file stays whole, nothing is left
    // beside it and the message says why.
    platform::FailSafeWritesAfter(100, ENOSPC);
    ProjectFileData second = first;
    second.occupancyCells = 64;
    error.clear();
    EXPECT_FALSE(WriteProjectJson(path, second, error));
    platform::ClearSafeWriteHooks();
    EXPECT_EQ(error, "the file could not be written: No space left on device");
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()),
              1);

    EXPECT_FALSE(WriteProjectJson(dir / "no such folder" / "p.rgproj", second, error));
    EXPECT_EQ(error, "the file could not be written: No such file or directory");

    ASSERT_TRUE(WriteProjectJson(path, second, error));
    ProjectFileData read;
    ASSERT_TRUE(ReadProjectJson(path, read, error));
    EXPECT_EQ(read.occupancyCells, 64);
}

TEST(ProjectFile, StoredPathsFollowAProjectMovedWithItsPart) {
    test::TempDir dir("project");
    std::filesystem::create_directories(dir / "old" / "parts");
    std::filesystem::create_directories(dir / "new" / "parts");
    test::WriteTextFile(dir / "old" / "parts" / "p.stl", "old");
    test::WriteTextFile(dir / "new" / "parts" / "p.stl", "new");
    test::WriteTextFile(dir / "old" / "shared.png", "image");

    ProjectFileData data;
    data.partPath = WideFromPath(dir / "old" / "parts" / "p.stl");
    data.textureImagePath = WideFromPath(dir / "old" / "shared.png");
    std::string error;
    ASSERT_TRUE(WriteProjectJson(dir / "old" / "p.rgproj", data, error));
    const std::string text = ReadBytes(dir / "old" / "p.rgproj");
    EXPECT_NE(text.find("\"relative\": \"parts/p.stl\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"relative\": \"shared.png\""), std::string::npos);

    // Unmoved: the absolute path (the relative one names the same file).
    ProjectFileData unmoved;
    ASSERT_TRUE(ReadProjectJson(dir / "old" / "p.rgproj", unmoved, error));
    EXPECT_EQ(PathFromWide(unmoved.partPath), dir / "old" / "parts" / "p.stl");

    // Moved with its part: the part beside it; the image, not moved, by its absolute path.
    std::filesystem::copy_file(dir / "old" / "p.rgproj", dir / "new" / "p.rgproj");
    ProjectFileData moved;
    ASSERT_TRUE(ReadProjectJson(dir / "new" / "p.rgproj", moved, error));
    EXPECT_EQ(PathFromWide(moved.partPath), dir / "new" / "parts" / "p.stl");
    EXPECT_EQ(PathFromWide(moved.textureImagePath), dir / "old" / "shared.png");

    // A part above the project's folder is stored with "..".
    ProjectFileData above;
    above.partPath = WideFromPath(dir / "old" / "parts" / "p.stl");
    ASSERT_TRUE(WriteProjectJson(dir / "new" / "parts" / "deeper.rgproj", above, error));
    EXPECT_NE(ReadBytes(dir / "new" / "parts" / "deeper.rgproj").find("\"relative\": \"../../old/parts/p.stl\""),
              std::string::npos);
}

TEST(ProjectFile, StoredPathReaderIgnoresUnusableMembers) {
    test::TempDir dir("project");
    test::WriteTextFile(dir / "here.stl", "x");
    const auto read = [&](const nlohmann::json& value) {
        return ReadStoredPath(JsonReader(std::make_shared<nlohmann::json>(value)), "part", dir.Path());
    };
    using nlohmann::json;
    EXPECT_EQ(read(json::parse(R"({"part": {"path": "/abs/a.stl", "relative": "here.stl"}})")),
              WideFromPath(dir / "here.stl"));
    EXPECT_EQ(read(json::parse(R"({"part": {"path": "/abs/a.stl", "relative": "gone.stl"}})")), L"/abs/a.stl");
    // An absolute "relative" path is no relative path.
    EXPECT_EQ(read(json::parse(R"({"part": {"path": "/abs/a.stl", "relative": "/etc/hostname"}})")), L"/abs/a.stl");
    EXPECT_EQ(read(json::parse(R"({"part": {"path": 5, "relative": ["here.stl"]}})")), L"");
    EXPECT_EQ(read(json::parse(R"({"part": {"path": "/abs/a\u0000.stl"}})")), L"");
    EXPECT_EQ(read(json::parse(R"({"part": "here.stl"})")), L"");
    EXPECT_EQ(read(json::parse(R"({"part": {"relative": "here.stl"}})")), WideFromPath(dir / "here.stl"));

    JsonWriter writer = JsonWriter::NewDocument();
    WriteStoredPath(writer, "texture.image", L"", dir.Path());
    EXPECT_TRUE(writer.Node()->empty());
    WriteStoredPath(writer, "texture.image", WideFromPath(dir / "a" / ".." / "here.stl"), dir.Path());
    EXPECT_EQ((*writer.Node())["texture"]["image"]["relative"], "here.stl");
    EXPECT_EQ((*writer.Node())["texture"]["image"]["path"], (dir / "here.stl").string());
}

TEST(ProjectFile, ProjectFileNamesByExtension) {
    EXPECT_TRUE(IsProjectFileName("a.rgproj"));
    EXPECT_TRUE(IsProjectFileName("/x/y/Part.RgProj"));
    EXPECT_TRUE(IsProjectFileName("dotted.name.rgproj"));
    EXPECT_FALSE(IsProjectFileName("a.rgproj.bak"));
    EXPECT_FALSE(IsProjectFileName("a.rgprojx"));
    EXPECT_FALSE(IsProjectFileName("a.stl"));
    EXPECT_FALSE(IsProjectFileName("rgproj"));
    EXPECT_FALSE(IsProjectFileName("/x/folder.rgproj/"));
}

}  // namespace
}  // namespace ridgeforge
