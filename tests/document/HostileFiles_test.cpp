// The document's readers given a FIFO with no writer, or a gigabyte that
// takes no disk space, where a project, a part or a texture belongs: each is
// refused at once, and the document is left as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "document/DocumentText.h"
#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "testing/Shapes.h"
#include "tests/document/FakeHost.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge {
namespace {

namespace fs = std::filesystem;
using test::HostedDocument;

CString W(const fs::path& path) { return WideFromPath(path); }

TEST(HostileFiles, AProjectThatIsNoSmallFileIsRefusedAndTheDocumentKept) {
    test::TempDir dir("hostile-project");
    HostedDocument d;
    d.doc.OnTestCylinder();
    d.doc.SetModifiedFlag(false);
    const fs::path fifo = dir / "fifo.rgproj";
    test::MakeFifo(fifo);
    bool opened = true;
    EXPECT_TRUE(test::ReturnsWithoutWriter(fifo, [&] { opened = d.doc.OpenProject(W(fifo)); }));
    EXPECT_FALSE(opened);
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Problem);

    const fs::path big = dir / "big.rgproj";
    test::MakeSparseFile(big, std::uint64_t{1} << 30);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(d.doc.OpenProject(W(big)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(d.host.log.back().kind, LogKind::Error);

    EXPECT_EQ(d.doc.testShape, "cylinder");
    EXPECT_FALSE(d.doc.IsModified());
}

TEST(HostileFiles, AFifoAsPartOrTextureIsRefusedWithoutWaiting) {
    test::TempDir dir("hostile-inputs");
    HostedDocument d;
    d.doc.OnTestCube();
    d.doc.SetModifiedFlag(false);
    const fs::path part = dir / "fifo.stl";
    test::MakeFifo(part);
    bool imported = true;
    EXPECT_TRUE(test::ReturnsWithoutWriter(part, [&] { imported = d.doc.ImportPart(W(part)); }));
    EXPECT_FALSE(imported);
    EXPECT_EQ(d.doc.testShape, "cube");

    const fs::path image = dir / "fifo.png";
    test::MakeFifo(image);
    bool loaded = true;
    EXPECT_TRUE(test::ReturnsWithoutWriter(image, [&] { loaded = d.doc.LoadHeightMap(W(image)); }));
    EXPECT_FALSE(loaded);
    EXPECT_FALSE(d.doc.HasTexture());
    EXPECT_FALSE(d.doc.IsModified());
}

// Saving a changed part over a project whose old part is now a FIFO: the
// save looks at the old part's header, and must not wait on it.
TEST(HostileFiles, ASaveDoesNotWaitOnAFifoWhereTheOldPartWas) {
    test::TempDir dir("hostile-old-part");
    HostedDocument d;
    d.doc.OnTestCube();
    d.doc.partAsLoaded = test::MakeBox({0, 0, 0}, {10, 20, 31});
    d.doc.ReplaceInputMesh();
    d.doc.partChanged = true;
    const fs::path project = dir / "P.rgproj";
    ASSERT_TRUE(d.doc.SaveProject(W(project)));
    ASSERT_TRUE(fs::exists(dir / "P part.stl"));
    fs::remove(dir / "P part.stl");
    test::MakeFifo(dir / "P part.stl");

    d.doc.partAsLoaded = test::MakeBox({0, 0, 0}, {10, 20, 32});
    d.doc.ReplaceInputMesh();
    d.doc.partChanged = true;
    bool saved = false;
    EXPECT_TRUE(test::ReturnsWithoutWriter(dir / "P part.stl", [&] { saved = d.doc.SaveProject(W(project)); }));
    EXPECT_TRUE(saved);
    // The FIFO was no part of ours: it stays, and the part went beside it.
    EXPECT_EQ(fs::status(dir / "P part.stl").type(), fs::file_type::fifo);
    EXPECT_TRUE(fs::is_regular_file(dir / "P part 2.stl"));
}

}  // namespace
}  // namespace ridgeforge
