#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sys/resource.h>

#include "document/DocumentText.h"
#include "document/PlacementSnapshot.h"
#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"
#include "mesh/TestShapes.h"
#include "platform/Files.h"
#include "platform/SafeWrite.h"
#include "testing/Shapes.h"
#include "tests/document/FakeHost.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestImages.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge {
namespace {

namespace fs = std::filesystem;
using test::HostedDocument;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteStl(const fs::path& path, const mesh::TriangleMesh& mesh) {
    const std::vector<std::uint8_t> bytes = test::BinaryStl(test::FacetsOf(mesh));
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> StlFilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".stl") names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

CString W(const fs::path& path) { return WideFromPath(path); }

TEST(ProjectOpen, MaskCountsAreCappedAndMissingMasksTakeDefaults) {
    test::TempDir dir("masks");
    HostedDocument d;
    test::WriteTextFile(dir / "many.rgproj",
                        R"({"application": "Ridgeforge project", "part": {"testShape": "cube"}, "maskCount": 300})");
    ASSERT_TRUE(d.doc.OpenProject(W(dir / "many.rgproj")));
    EXPECT_EQ(d.doc.maskVolumes.size(), 256u);

    test::WriteTextFile(dir / "two.rgproj", R"({"application": "Ridgeforge project", "part": {"testShape": "cube"},
        "maskCount": 2, "mask0": {"shape": "sphere", "name": "Keep off"}})");
    ASSERT_TRUE(d.doc.OpenProject(W(dir / "two.rgproj")));
    ASSERT_EQ(d.doc.maskVolumes.size(), 2u);
    EXPECT_EQ(d.doc.maskVolumes[0].shape, mesh::MaskShape::Sphere);
    EXPECT_EQ(d.doc.maskVolumes[0].name, "Keep off");
    EXPECT_EQ(d.doc.maskVolumes[1], mesh::MaskVolume{});
    EXPECT_TRUE(d.host.Logged(L"Project opened: "));
    EXPECT_FALSE(d.doc.IsModified());
    EXPECT_TRUE(d.doc.undoStack.empty());
}

TEST(ProjectOpen, FilesThatAreNoProjectOfOursAreRefusedWithoutChange) {
    test::TempDir dir("foreign");
    HostedDocument d;
    d.doc.OnTestCylinder();
    test::WriteTextFile(dir / "blank.rgproj",
                        R"({"application": "Ridgeforge project ", "part": {"testShape": "cube"}})");
    EXPECT_FALSE(d.doc.OpenProject(W(dir / "blank.rgproj")));
    EXPECT_EQ(d.host.log.back().text, L"Project not opened: the file is not a Ruvolta project");
    EXPECT_EQ(d.host.log.back().kind, LogKind::Error);
    EXPECT_EQ(d.host.LastInfo()->text, L"This project could not be opened.\nthe file is not a Ruvolta project");
    test::WriteTextFile(dir / "array.rgproj", "[]");
    EXPECT_FALSE(d.doc.OpenProject(W(dir / "array.rgproj")));
    EXPECT_EQ(d.host.log.back().text, L"Project not opened: the file is not a project (it could not be read as one)");
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Problem);
    test::WriteTextFile(dir / "pyramid.rgproj",
                        R"({"application": "Ridgeforge project", "part": {"testShape": "pyramid"}})");
    EXPECT_FALSE(d.doc.OpenProject(W(dir / "pyramid.rgproj")));
    EXPECT_EQ(d.doc.testShape, "cylinder");
}

TEST(ProjectOpen, OutOfRangeNumbersAreIgnored) {
    test::TempDir dir("ranges");
    HostedDocument d;
    d.doc.OnTestCube();
    d.doc.SetOccupancyCells(128);
    d.doc.maximumTriangles = 5;
    test::WriteTextFile(dir / "p.rgproj", R"({"application": "Ridgeforge project", "part": {"testShape": "cube"},
        "occupancyCells": 4294967296, "maximumTriangles": -1, "displayTriangles": 123})");
    ASSERT_TRUE(d.doc.OpenProject(W(dir / "p.rgproj")));
    EXPECT_EQ(d.doc.occupancyCells, 256);
    EXPECT_EQ(d.doc.maximumTriangles, 18'000'000u);
    // Read, then held to the range the relief settings allow.
    EXPECT_EQ(d.doc.displayTriangles, 100'000u);

    // A pattern this program does not make keeps the texture in use.
    d.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Dots"), L"");
    test::WriteTextFile(dir / "q.rgproj", R"({"application": "Ridgeforge project", "part": {"testShape": "cube"},
        "texture": {"procedural": "Plaid", "proceduralParameters": "size=3"}})");
    ASSERT_TRUE(d.doc.OpenProject(W(dir / "q.rgproj")));
    ASSERT_NE(d.doc.proceduralTexture, nullptr);
    EXPECT_EQ(std::string(d.doc.proceduralTexture->Name()), "Dots");
    EXPECT_TRUE(d.host.Logged(L"The project's procedural texture \"Plaid\" is not one this program makes"));
}

TEST(ProjectOpen, AMovedProjectFindsItsPartBesideIt) {
    test::TempDir dir("moved");
    fs::create_directories(dir / "\xc3\xa4");
    WriteStl(dir / "\xc3\xa4" / "part.stl", test::MakeBox({0, 0, 0}, {10, 10, 10}));
    HostedDocument d;
    ASSERT_TRUE(d.doc.ImportPart(W(dir / "\xc3\xa4" / "part.stl")));
    ASSERT_TRUE(d.doc.SaveProject(W(dir / "\xc3\xa4" / "p.rgproj")));
    // A copy elsewhere with a different part of the same name.
    fs::create_directories(dir / "b");
    fs::copy_file(dir / "\xc3\xa4" / "p.rgproj", dir / "b" / "p.rgproj");
    WriteStl(dir / "b" / "part.stl", test::MakeBox({0, 0, 0}, {30, 10, 10}));
    HostedDocument e;
    ASSERT_TRUE(e.doc.OpenProject(W(dir / "b" / "p.rgproj")));
    EXPECT_EQ(fs::path(CStringToUtf8(e.doc.partName)).lexically_normal(), (dir / "b" / "part.stl").lexically_normal());
    EXPECT_NEAR(e.doc.workingPart.boundsMax.x, 30.0f, 1e-4f);
}

TEST(ProjectOpen, AMissingPartAnsweredNoChangesNothing) {
    test::TempDir dir("missing");
    HostedDocument d;
    d.doc.OnTestCube();
    d.doc.AddMaskVolume(0);
    d.doc.SetModifiedFlag(true);
    const std::string missing = (dir / "gone.stl").string();
    test::WriteTextFile(dir / "p.rgproj",
                        R"({"application": "Ridgeforge project", "part": {"path": ")" + missing + R"("}})");
    d.host.answers = {QuestionAnswer::No};
    EXPECT_FALSE(d.doc.OpenProject(W(dir / "p.rgproj")));
    ASSERT_EQ(d.host.questions.size(), 1u);
    EXPECT_EQ(d.host.questions[0], L"The project's part was not found:\n" + Utf8ToCString(missing) + L"\n\nFind it?");
    EXPECT_EQ(d.host.LastInfo()->text, L"The project's part was not found:\n" + Utf8ToCString(missing));
    EXPECT_EQ(d.doc.testShape, "cube");
    EXPECT_EQ(d.doc.maskVolumes.size(), 1u);
    EXPECT_TRUE(d.doc.IsModified());
    EXPECT_TRUE(d.doc.projectPath.empty());

    // Yes and then Cancel in the picker: the same, without a message.
    const std::size_t infos = d.host.info.size();
    d.host.answers = {QuestionAnswer::Yes};
    EXPECT_FALSE(d.doc.OpenProject(W(dir / "p.rgproj")));
    EXPECT_EQ(d.host.info.size(), infos);
    ASSERT_EQ(d.host.openRequests.size(), 1u);
    EXPECT_EQ(d.host.openRequests[0].fileName, L"gone.stl");
    EXPECT_EQ(d.host.openRequests[0].defaultExtension, L"stl");
    EXPECT_EQ(d.doc.maskVolumes.size(), 1u);

    // Yes and a file chosen: that part opens.
    WriteStl(dir / "found.stl", test::MakeBox({0, 0, 0}, {5, 6, 7}));
    d.host.answers = {QuestionAnswer::Yes};
    d.host.openChoices = {W(dir / "found.stl")};
    EXPECT_TRUE(d.doc.OpenProject(W(dir / "p.rgproj")));
    EXPECT_EQ(d.doc.partName, W(dir / "found.stl"));
    EXPECT_TRUE(d.doc.maskVolumes.empty());
}

TEST(ProjectSave, AnUnchangedTestShapeWritesNoPartAndStaysATestShape) {
    test::TempDir dir("shape");
    HostedDocument d;
    d.doc.OnTestCube();
    d.doc.SetModifiedFlag(true);
    ASSERT_TRUE(d.doc.SaveProject(W(dir / "t.rgproj")));
    EXPECT_TRUE(StlFilesIn(dir.Path()).empty());
    EXPECT_FALSE(d.doc.IsModified());
    EXPECT_EQ(d.doc.projectPath, W(dir / "t.rgproj"));
    EXPECT_EQ(d.doc.GetPathName(), W(dir / "t.rgproj"));
    EXPECT_EQ(d.host.log.back().text, L"Project saved: " + W(dir / "t.rgproj"));
    ProjectFileData record;
    std::string error;
    ASSERT_TRUE(ReadProjectJson(dir / "t.rgproj", record, error));
    EXPECT_EQ(record.testShape, "cube");
    EXPECT_TRUE(record.partPath.empty());
}

class ChangedPart : public ::testing::Test {
protected:
    void SetUp() override {
        WriteStl(dir / "source.stl", test::MakeBox({0, 0, 0}, {10, 20, 30}));
        ASSERT_TRUE(d.doc.ImportPart(W(dir / "source.stl")));
    }
    // What an input-mesh tool does to the part.
    void ChangePart(float top) {
        d.doc.partAsLoaded = test::MakeBox({0, 0, 0}, {10, 20, top});
        d.doc.ReplaceInputMesh();
        d.doc.partChanged = true;
        d.doc.SetModifiedFlag(true);
    }
    test::TempDir dir{"changed"};
    HostedDocument d;
};

TEST_F(ChangedPart, SavesTakeTheNextFreeNameAndKeepEveryEarlierPart) {
    const fs::path project = dir / "P.rgproj";
    ChangePart(31.0f);
    ASSERT_TRUE(d.doc.SaveProject(W(project)));
    EXPECT_EQ(StlFilesIn(dir.Path()), (std::vector<std::string>{"P part.stl", "source.stl"}));
    EXPECT_EQ(d.doc.partName, W(dir / "P part.stl"));
    EXPECT_FALSE(d.doc.partChanged);
    EXPECT_TRUE(d.host.Logged(L"The part was changed after it was opened, so it is saved beside the project: "));
    const std::string first = ReadBytes(dir / "P part.stl");
    ChangePart(32.0f);
    ASSERT_TRUE(d.doc.SaveProject(W(project)));
    EXPECT_EQ(StlFilesIn(dir.Path()), (std::vector<std::string>{"P part 2.stl", "P part.stl", "source.stl"}));
    ChangePart(33.0f);
    ASSERT_TRUE(d.doc.SaveProject(W(project)));
    EXPECT_EQ(StlFilesIn(dir.Path()),
              (std::vector<std::string>{"P part 2.stl", "P part 3.stl", "P part.stl", "source.stl"}));
    EXPECT_EQ(ReadBytes(dir / "P part.stl"), first);
    // The part beside the project is the latest one.
    HostedDocument e;
    ASSERT_TRUE(e.doc.OpenProject(W(project)));
    EXPECT_NEAR(e.doc.workingPart.boundsMax.z, 33.0f, 1e-4f);

    // A file of someone else's where the part would go is kept.
    test::WriteTextFile(dir / "Q part.stl", "foreign");
    ChangePart(34.0f);
    ASSERT_TRUE(d.doc.SaveProject(W(dir / "Q.rgproj")));
    EXPECT_EQ(test::ReadTextFile(dir / "Q part.stl"), "foreign");
    EXPECT_TRUE(fs::exists(dir / "Q part 2.stl"));
    EXPECT_EQ(ReadBytes(dir / "P part.stl"), first);
}

TEST_F(ChangedPart, ThePartTheUserOpenedIsNeverTouchedEvenUnderACandidateName) {
    // The user's own "Thing part.stl" (a header of its own), saved as "Thing.rgproj".
    const fs::path project = dir / "Thing.rgproj";
    WriteStl(dir / "Thing part.stl", test::MakeBox({0, 0, 0}, {5, 6, 7}));
    const std::string users = ReadBytes(dir / "Thing part.stl");
    ASSERT_TRUE(d.doc.ImportPart(W(dir / "Thing part.stl")));
    ASSERT_TRUE(d.doc.SaveProject(W(project)));
    EXPECT_EQ(StlFilesIn(dir.Path()), (std::vector<std::string>{"Thing part.stl", "source.stl"}));

    // Repaired and saved again: the changed part goes beside, the user's file stays.
    ChangePart(31.0f);
    ASSERT_TRUE(d.doc.SaveProject(W(project)));
    EXPECT_EQ(StlFilesIn(dir.Path()), (std::vector<std::string>{"Thing part 2.stl", "Thing part.stl", "source.stl"}));
    ChangePart(32.0f);
    ASSERT_TRUE(d.doc.SaveProject(W(project)));
    EXPECT_EQ(StlFilesIn(dir.Path()),
              (std::vector<std::string>{"Thing part 2.stl", "Thing part 3.stl", "Thing part.stl", "source.stl"}));
    EXPECT_EQ(ReadBytes(dir / "Thing part.stl"), users);
    HostedDocument e;
    ASSERT_TRUE(e.doc.OpenProject(W(project)));
    EXPECT_NEAR(e.doc.workingPart.boundsMax.z, 32.0f, 1e-4f);
}

// Each project file of the folder, and the bytes its part had when it was saved.
using NamedParts = std::map<fs::path, std::string>;

// Every project still names a part that is there and whole.
void ExpectEveryPartThere(const NamedParts& projects, const std::string& after) {
    for (const auto& [project, bytes] : projects) {
        ProjectFileData record;
        std::string error;
        ASSERT_TRUE(ReadProjectJson(project, record, error)) << after << ": " << error;
        const fs::path part = PathFromWide(record.partPath);
        EXPECT_TRUE(fs::exists(part)) << after << ": " << project.filename() << " names " << part;
        EXPECT_EQ(ReadBytes(part), bytes) << after << ": " << project.filename() << " names " << part;
    }
}

TEST_F(ChangedPart, ProjectsSharingAPartNeverLoseItToEachOthersSaves) {
    // Two parts, each changed and saved as a project (P, S), each project
    // then saved under a second name without a change (Q, T), so that two
    // projects name each part. Then each project in turn is changed and saved.
    NamedParts projects;
    const auto saved = [&](HostedDocument& document, const fs::path& project) {
        ASSERT_TRUE(document.doc.SaveProject(W(project)));
        projects[project] = ReadBytes(PathFromWide(document.doc.partName));
    };
    ChangePart(31.0f);
    saved(d, dir / "P.rgproj");
    {
        HostedDocument q;
        ASSERT_TRUE(q.doc.OpenProject(W(dir / "P.rgproj")));
        saved(q, dir / "Q.rgproj");
    }
    EXPECT_EQ(projects[dir / "Q.rgproj"], projects[dir / "P.rgproj"]);
    WriteStl(dir / "other.stl", test::MakeTorus(8.0f, 2.0f, 24, 12));
    HostedDocument s;
    ASSERT_TRUE(s.doc.ImportPart(W(dir / "other.stl")));
    s.doc.partAsLoaded = test::MakeBox({0, 0, 0}, {4, 4, 4});
    s.doc.ReplaceInputMesh();
    s.doc.partChanged = true;
    saved(s, dir / "S.rgproj");
    {
        HostedDocument t;
        ASSERT_TRUE(t.doc.OpenProject(W(dir / "S.rgproj")));
        saved(t, dir / "T.rgproj");
    }
    ExpectEveryPartThere(projects, "after the saves without a change");

    float top = 40.0f;
    for (const char* name : {"P", "Q", "S", "T", "P", "T"}) {
        const fs::path project = dir / (std::string(name) + ".rgproj");
        HostedDocument e;
        ASSERT_TRUE(e.doc.OpenProject(W(project)));
        e.doc.partAsLoaded = test::MakeBox({0, 0, 0}, {10, 20, top += 1.0f});
        e.doc.ReplaceInputMesh();
        e.doc.partChanged = true;
        saved(e, project);
        ExpectEveryPartThere(projects, std::string("after a save of ") + name);
    }
    // Every project opens, with the part of its own last save.
    for (const auto& [project, bytes] : projects) {
        HostedDocument e;
        EXPECT_TRUE(e.doc.OpenProject(W(project))) << project;
        EXPECT_EQ(ReadBytes(PathFromWide(e.doc.partName)), bytes) << project;
    }
}

TEST_F(ChangedPart, LeftoversOfKilledSavesNeverBlockASave) {
    // What killed saves and another instance left: a part nobody names, an
    // empty file, half an STL and a link to nowhere, under the first names.
    WriteStl(dir / "R part.stl", test::MakeBox({0, 0, 0}, {1, 1, 1}));
    test::WriteTextFile(dir / "R part 2.stl", "");
    test::WriteTextFile(dir / "R part 3.stl", "solid half");
    fs::create_symlink("nowhere.stl", dir / "R part 4.stl");
    std::map<std::string, std::string> planted;
    for (const char* name : {"R part.stl", "R part 2.stl", "R part 3.stl"}) planted[name] = ReadBytes(dir / name);
    ChangePart(31.0f);
    ASSERT_TRUE(d.doc.SaveProject(W(dir / "R.rgproj")));
    EXPECT_EQ(d.doc.partName, W(dir / "R part 5.stl"));
    for (const auto& [name, bytes] : planted) EXPECT_EQ(ReadBytes(dir / name), bytes) << name;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "R part 4.stl")));
    EXPECT_FALSE(fs::exists(dir / "nowhere.stl"));
    HostedDocument e;
    ASSERT_TRUE(e.doc.OpenProject(W(dir / "R.rgproj")));
    EXPECT_NEAR(e.doc.workingPart.boundsMax.z, 31.0f, 1e-4f);
    // The next save goes on past them too.
    ChangePart(32.0f);
    ASSERT_TRUE(d.doc.SaveProject(W(dir / "R.rgproj")));
    EXPECT_EQ(d.doc.partName, W(dir / "R part 6.stl"));
}

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Run in a process of its own: a project saved with its changed part, then
// saved again after a change under a file size limit that the part passes,
// and once more under one that only the project file passes. 0 when both are
// refused as too large, with the old project and its part whole and nothing
// else left in the folder; the failures otherwise, named on the error output.
int SaveProjectUnderSizeLimits(const fs::path& dir) {
    WriteStl(dir / "source.stl", test::MakeBox({0, 0, 0}, {10, 20, 30}));
    HostedDocument d;
    if (!d.doc.ImportPart(W(dir / "source.stl"))) return 100;
    const auto change = [&d](float top) {
        d.doc.partAsLoaded = test::MakeBox({0, 0, 0}, {10, 20, top});
        d.doc.ReplaceInputMesh();
        d.doc.partChanged = true;
        d.doc.SetModifiedFlag(true);
    };
    const fs::path project = dir / "P.rgproj";
    change(31.0f);
    if (!d.doc.SaveProject(W(project))) return 101;
    const std::string projectBytes = ReadBytes(project);
    const std::string partBytes = ReadBytes(dir / "P part.stl");
    const std::vector<std::string> listing = Entries(dir);
    int failures = 0;
    const auto expect = [&](bool ok, const char* what) {
        if (!ok) {
            std::fprintf(stderr, "%s; last log line: %ls\n", what, d.host.log.back().text.c_str());
            ++failures;
        }
    };
    for (const rlim_t bytes : {rlim_t{partBytes.size() - 1}, rlim_t{partBytes.size() + 1}}) {
        if (projectBytes.size() <= bytes) return 102;
        // The soft limit only, so that the second may be the larger.
        rlimit limit{};
        if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return 103;
        limit.rlim_cur = bytes;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 103;
        change(32.0f);
        expect(!d.doc.SaveProject(W(project)), "saved");
        const CString& line = d.host.log.back().text;
        expect(line.rfind(L"Project not saved: ", 0) == 0 && line.find(L"File too large") != CString::npos,
               "the log does not say why");
        expect(ReadBytes(project) == projectBytes && ReadBytes(dir / "P part.stl") == partBytes,
               "the old files changed");
        expect(Entries(dir) == listing, "files were left behind");
        expect(d.doc.partChanged && d.doc.IsModified(), "the document forgot the change");
    }
    return failures;
}

TEST(ProjectSave, AFileSizeLimitRefusesTheSaveOfAProjectAndItsPartAndTheProcessLives) {
    test::TempDir dir("project-fsize");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(SaveProjectUnderSizeLimits(dir.Path())), ::testing::ExitedWithCode(0), "");
}

TEST_F(ChangedPart, ARenameThatFailsAtTheLastStepIsAFailedSaveThatLeavesNothing) {
    const fs::path project = dir / "P.rgproj";
    ChangePart(31.0f);
    ASSERT_TRUE(d.doc.SaveProject(W(project)));
    const std::string projectBytes = ReadBytes(project);
    const std::vector<std::string> listing = Entries(dir.Path());
    for (const int error : {EXDEV, EACCES, EIO}) {
        ChangePart(32.0f);
        platform::FailSafeWriteRenames(error);
        const bool saved = d.doc.SaveProject(W(project));
        platform::ClearSafeWriteHooks();
        EXPECT_FALSE(saved);
        const CString reason = Utf8ToCString(platform::SystemErrorText(error));
        EXPECT_EQ(d.host.log.back().text,
                  L"Project not saved: the changed part could not be written beside it: The file could not be put in "
                  L"place: " +
                      reason);
        EXPECT_NE(d.host.LastInfo()->text.find(reason), CString::npos);
        EXPECT_EQ(ReadBytes(project), projectBytes);
        EXPECT_EQ(Entries(dir.Path()), listing);
        EXPECT_TRUE(d.doc.partChanged);
        EXPECT_EQ(d.doc.partName, W(dir / "P part.stl"));
    }
    ASSERT_TRUE(d.doc.SaveProject(W(project)));
    EXPECT_EQ(d.doc.partName, W(dir / "P part 2.stl"));
}

TEST_F(ChangedPart, AFailedProjectWriteKeepsTheOldProjectAndRemovesOnlyItsOwnPart) {
    const fs::path project = dir / "P.rgproj";
    ChangePart(31.0f);
    ASSERT_TRUE(d.doc.SaveProject(W(project)));
    const std::string before = ReadBytes(project);
    const std::string partBefore = ReadBytes(dir / "P part.stl");
    ChangePart(32.0f);
    // The project file is read-only, so it is refused after the part was written.
    fs::permissions(project, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(d.doc.SaveProject(W(project)));
    EXPECT_EQ(d.host.log.back().text, L"Project not saved: the file could not be written: the file is read-only");
    EXPECT_EQ(d.host.LastInfo()->text,
              L"The project could not be saved.\nthe file could not be written: the file is read-only");
    EXPECT_EQ(ReadBytes(project), before);
    EXPECT_EQ(ReadBytes(dir / "P part.stl"), partBefore);
    EXPECT_FALSE(fs::exists(dir / "P part 2.stl"));
    EXPECT_TRUE(d.doc.partChanged);
    EXPECT_TRUE(d.doc.IsModified());
}

TEST(ProjectSave, FitPlacementToPartKeepsAFloorForThinParts) {
    HostedDocument d;
    d.doc.LoadTestShape(mesh::MakeTestCube(0.5f), L"c", L"c", L"c");
    EXPECT_NEAR(d.doc.projection.cage.size.x, 0.51f, 1e-6f);
    EXPECT_NEAR(d.doc.projection.cage.size.z, 0.51f, 1e-6f);
    mesh::TriangleMesh flat;
    flat.vertices = {{{0, 0, 0}, {}}, {{10, 0, 0}, {}}, {{10, 20, 0}, {}}, {{0, 20, 0}, {}}};
    flat.indices = {0, 1, 2, 0, 2, 3};
    d.doc.LoadTestShape(flat, L"f", L"f", L"f");
    EXPECT_NEAR(d.doc.projection.cage.size.z, 0.2f, 1e-6f);
    EXPECT_NEAR(d.doc.projection.cage.size.y, 20.4f, 1e-4f);
    // A plane along X turns the cage and swaps its sizes.
    d.doc.projection.type = mesh::ProjectionType::Plane;
    d.doc.projection.plane.axis = mesh::Axis::X;
    d.doc.FitPlacementToPart();
    EXPECT_NEAR(d.doc.projection.cage.size.x, 0.2f, 1e-6f);
    EXPECT_NEAR(d.doc.projection.cage.size.z, 10.2f, 1e-4f);
    EXPECT_FLOAT_EQ(d.doc.projection.cage.rotationDegrees.y, 90.0f);
}

TEST(ProjectSave, SaveModifiedAsksOnlyWithAModifiedPart) {
    test::TempDir dir("modified");
    HostedDocument d;
    d.doc.SetModifiedFlag(true);
    EXPECT_TRUE(d.doc.SaveModified());
    EXPECT_TRUE(d.host.questions.empty());
    d.doc.OnTestCube();
    EXPECT_TRUE(d.doc.SaveModified());  // not modified
    EXPECT_TRUE(d.host.questions.empty());
    d.doc.SetModifiedFlag(true);
    d.host.answers = {QuestionAnswer::Cancel, QuestionAnswer::No, QuestionAnswer::Yes, QuestionAnswer::Yes};
    EXPECT_FALSE(d.doc.SaveModified());
    EXPECT_EQ(d.host.questions.back(),
              L"Save the project before going on?\n\nIt keeps the part, the texture, its placement, the masks and "
              L"every setting.");
    EXPECT_TRUE(d.doc.SaveModified());
    EXPECT_FALSE(d.doc.SaveModified());  // Yes, then the picker was cancelled
    ASSERT_EQ(d.host.saveRequests.size(), 1u);
    EXPECT_EQ(d.host.saveRequests[0].fileName, L"Project.rgproj");
    d.host.saveChoices = {W(dir / "chosen.rgproj")};
    EXPECT_TRUE(d.doc.SaveModified());
    EXPECT_TRUE(fs::exists(dir / "chosen.rgproj"));
    d.doc.SetModifiedFlag(true);
    d.host.answers = {QuestionAnswer::No};
    EXPECT_TRUE(d.doc.SaveModified());
    EXPECT_EQ(d.host.questions.back(), L"Save the changes to chosen.rgproj?");
}

TEST(ProjectSave, SaveAndOpenGiveTheSameDocument) {
    test::TempDir dir("roundtrip");
    HostedDocument d;
    d.doc.OnTestCube();
    auto pattern = mesh::procedural::CreateTexture("Bricks");
    pattern->ParseValues("invert=1\n");
    d.doc.ApplyProceduralTexture(std::move(pattern), L"Garden wall");
    mesh::TextureSettings texture = d.doc.texture.settings;
    texture.widthMillimetres = 10.0f;
    texture.heightMillimetres = 12.5f;
    texture.rotationDegrees = 15.0f;
    texture.gamma = 1.4f;
    texture.blurMillimetres = 0.25f;
    d.doc.ApplyTextureSettings(texture);
    d.doc.AddMaskVolume(0);
    d.doc.AddMaskVolume(2);
    d.doc.projection.type = mesh::ProjectionType::Cylinder;
    d.doc.projection.cylinder.seamDegrees = 90.0f;
    d.doc.projection.cylinder.topCapEnabled = true;
    d.doc.projection.layer[4].zoom = 1.25f;
    d.doc.projection.box.blended = true;
    d.doc.remeshEnabled = false;
    d.doc.displacementEnabled = true;
    d.doc.simplifyEnabled = false;
    d.doc.remeshSettings.targetEdgeMillimetres = 0.35f;
    d.doc.displacementSettings.strengthMillimetres = 0.8f;
    d.doc.simplifySettings.meshDetailError = 0.04f;
    d.doc.maximumTriangles = 123'456'789ull;
    d.doc.displayTriangles = 7'000'000ull;
    d.doc.exportCleanup.maximumHoleMillimetres = 2.0f;
    d.doc.exportFixes.removeCrumbs = false;
    d.doc.exportFixes.maximumRounds = 9;
    d.doc.orientation = {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}, {0, 0, 10}};
    d.doc.ReplaceInputMesh();
    d.doc.SetOccupancyCells(128);
    d.doc.OnSettingsChanged();
    // The open renders at the wanted size; the saved document may lag within its margin.
    d.doc.UpdateProceduralTexture(true);
    ASSERT_TRUE(d.doc.SaveProject(W(dir / "all.rgproj")));

    HostedDocument e;
    ASSERT_TRUE(e.doc.OpenProject(W(dir / "all.rgproj")));
    PlacementSnapshot saved;
    PlacementSnapshot opened;
    d.doc.CaptureSnapshot(saved);
    e.doc.CaptureSnapshot(opened);
    // Displacement on opens with Remesh on; the texture image is rendered anew.
    EXPECT_TRUE(opened.remeshEnabled);
    saved.remeshEnabled = true;
    opened.textureRevision = saved.textureRevision;
    EXPECT_TRUE(SnapshotUnchanged(saved, opened));
    EXPECT_EQ(opened.proceduralName, "Bricks");
    EXPECT_EQ(opened.proceduralParameters, saved.proceduralParameters);
    EXPECT_NE(opened.proceduralParameters.find("invert=1"), std::string::npos);
    EXPECT_EQ(opened.proceduralPresetName, L"Garden wall");
    EXPECT_TRUE(opened.textureSettings == saved.textureSettings);
    EXPECT_TRUE(opened.orientation == saved.orientation);
    EXPECT_EQ(e.doc.testShape, "cube");
    EXPECT_EQ(e.doc.occupancyCells, 128);
    EXPECT_TRUE(e.doc.exportCleanup == d.doc.exportCleanup);
    EXPECT_TRUE(e.doc.exportFixes == d.doc.exportFixes);
    EXPECT_EQ(e.doc.texture.width, d.doc.texture.width);
    EXPECT_EQ(e.doc.texture.height, d.doc.texture.height);
    EXPECT_EQ(e.doc.texture.pixels, d.doc.texture.pixels);
    EXPECT_EQ(e.doc.workingPart.boundsMin, d.doc.workingPart.boundsMin);
    EXPECT_FALSE(e.doc.IsModified());
    EXPECT_TRUE(e.doc.undoStack.empty());
    EXPECT_EQ(e.doc.projectPath, W(dir / "all.rgproj"));
}

}  // namespace
}  // namespace ridgeforge

namespace ridgeforge {
namespace {

TEST(ProjectOpen, AnOrientationThatIsNoTurnAndAnOccupancyNotOfferedAreIgnored) {
    test::TempDir dir("odd");
    HostedDocument d;
    test::WriteTextFile(dir / "p.rgproj", R"({"application": "Ridgeforge project", "part": {"testShape": "cube",
        "orientation": {"rowX": [1000, 0, 0], "rowY": [0, 1, 0], "rowZ": [0, 0, 1], "translation": [0, 0, 0]}},
        "occupancyCells": 1024})");
    ASSERT_TRUE(d.doc.OpenProject(W(dir / "p.rgproj")));
    EXPECT_TRUE(d.doc.orientation == mesh::Transform::Identity());
    EXPECT_NEAR(d.doc.workingPart.boundsMax.x, 10.0f, 1e-5f);
    EXPECT_TRUE(d.host.Logged(L"The project's orientation is not a plain turn of the part"));
    EXPECT_EQ(d.doc.occupancyCells, 256);

    // A real turn is taken.
    test::WriteTextFile(dir / "q.rgproj", R"({"application": "Ridgeforge project", "part": {"testShape": "cube",
        "orientation": {"rowX": [0, -1, 0], "rowY": [1, 0, 0], "rowZ": [0, 0, 1], "translation": [0, 0, 10]}},
        "occupancyCells": 512})");
    ASSERT_TRUE(d.doc.OpenProject(W(dir / "q.rgproj")));
    EXPECT_FLOAT_EQ(d.doc.orientation.rowX.y, -1.0f);
    EXPECT_NEAR(d.doc.workingPart.boundsMin.z, 0.0f, 1e-5f);
    EXPECT_NEAR(d.doc.displacementSettings.base.planeMillimetres, 0.0f, 1e-5f);
    EXPECT_EQ(d.doc.occupancyCells, 512);
}

TEST(ProjectCommands, PickersProposeNamesAndOpenGoesThroughTheApplication) {
    test::TempDir dir("commands");
    HostedDocument d;
    d.doc.OnTestCube();
    d.doc.OnFileSaveProject();  // no project yet: Save As
    ASSERT_EQ(d.host.saveRequests.size(), 1u);
    EXPECT_EQ(d.host.saveRequests[0].fileName, L"Project.rgproj");
    EXPECT_TRUE(d.host.saveRequests[0].initialFolder.empty());
    EXPECT_TRUE(d.host.saveRequests[0].overwritePrompt);
    EXPECT_EQ(d.host.saveRequests[0].filter, L"Ruvolta projects (*.rgproj)|*.rgproj|All files (*.*)|*.*||");

    WriteStl(dir / "bracket.stl", test::MakeBox({0, 0, 0}, {4, 5, 6}));
    ASSERT_TRUE(d.doc.ImportPart(W(dir / "bracket.stl")));
    d.host.saveChoices = {W(dir / "first.rgproj")};
    d.doc.OnFileSaveProjectAs();
    EXPECT_EQ(d.host.saveRequests.back().fileName, L"bracket.rgproj");
    EXPECT_EQ(d.host.saveRequests.back().initialFolder, W(dir.Path()));
    EXPECT_TRUE(fs::exists(dir / "first.rgproj"));
    d.doc.OnFileSaveProjectAs();
    EXPECT_EQ(d.host.saveRequests.back().fileName, L"first.rgproj");
    d.doc.SetModifiedFlag(true);
    d.doc.OnFileSaveProject();  // straight to the file
    EXPECT_FALSE(d.doc.IsModified());

    HostedDocument e;
    e.doc.OnTestSphere();
    e.host.openChoices = {W(dir / "first.rgproj")};
    e.doc.OnFileOpenProject();
    ASSERT_EQ(e.host.openRequests.size(), 1u);
    EXPECT_EQ(e.host.openRequests[0].defaultExtension, L"rgproj");
    EXPECT_TRUE(e.host.openRequests[0].fileMustExist);
    EXPECT_EQ(e.doc.partName, W(dir / "bracket.stl"));
    EXPECT_EQ(e.doc.GetPathName(), W(dir / "first.rgproj"));
    EXPECT_EQ(e.doc.GetTitle(), L"first.rgproj");
}

TEST(ProjectSave, AnImageTextureTravelsByPathWithItsSettings) {
    test::TempDir dir("image");
    HostedDocument d;
    d.doc.SetUserDataRoots({LibraryRoot{dir / "user", true}});
    d.doc.OnTestCube();
    std::vector<std::uint16_t> samples(16);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint16_t>(i * 4000);
    ASSERT_TRUE(test::WritePng(dir / "t.png", 4, 4, 1, 16, samples));
    ASSERT_TRUE(d.doc.LoadHeightMap(W(dir / "t.png")));
    mesh::TextureSettings settings = d.doc.texture.settings;
    settings.invert = true;
    settings.tiles = false;
    d.doc.ApplyTextureSettings(settings);
    ASSERT_TRUE(d.doc.SaveProject(W(dir / "p.rgproj")));

    HostedDocument e;
    e.doc.SetUserDataRoots({LibraryRoot{dir / "user", true}});
    ASSERT_TRUE(e.doc.OpenProject(W(dir / "p.rgproj")));
    EXPECT_EQ(e.doc.textureImagePath, W(dir / "t.png"));
    EXPECT_TRUE(e.doc.texture.settings == d.doc.texture.settings);
    EXPECT_EQ(e.doc.texture.pixels, d.doc.texture.pixels);
    EXPECT_TRUE(e.doc.projection == d.doc.projection);

    // Without the image the settings still arrive, with a caution.
    fs::remove(dir / "t.png");
    HostedDocument f;
    ASSERT_TRUE(f.doc.OpenProject(W(dir / "p.rgproj")));
    EXPECT_FALSE(f.doc.HasTexture());
    EXPECT_TRUE(f.doc.texture.settings.invert);
    EXPECT_TRUE(f.host.Logged(L"The project's texture is not at " + W(dir / "t.png") + L"; its settings are kept"));
    ASSERT_NE(f.host.LastInfo(), nullptr);
    EXPECT_EQ(f.host.LastInfo()->kind, InfoKind::Caution);

    // A FIFO in the image's place, with nobody writing to it: the project
    // opens at once, and says the image could not be loaded.
    test::MakeFifo(dir / "t.png");
    HostedDocument g;
    bool opened = false;
    EXPECT_TRUE(test::ReturnsWithoutWriter(dir / "t.png", [&] { opened = g.doc.OpenProject(W(dir / "p.rgproj")); }));
    EXPECT_TRUE(opened);
    EXPECT_FALSE(g.doc.HasTexture());
    EXPECT_TRUE(g.doc.texture.settings.invert);
    EXPECT_FALSE(g.doc.IsModified());
    bool refused = false;
    for (const test::InfoMessage& message : g.host.info) {
        refused = refused || (message.text.rfind(L"This image could not be loaded.\n", 0) == 0 &&
                              message.kind == InfoKind::Problem);
    }
    EXPECT_TRUE(refused);
}

}  // namespace
}  // namespace ridgeforge
