#include "document/ProjectFile.h"

#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"

namespace ridgeforge {
namespace {

TEST(ProjectFile, DefaultRecordWritesAndReadsBack) {
    test::TempDir dir("project");
    ProjectFileData data;
    data.testShape = "cube";
    std::string error;
    ASSERT_TRUE(WriteProjectJson(dir / "a.rgproj", data, error));
    ProjectFileData read;
    ASSERT_TRUE(ReadProjectJson(dir / "a.rgproj", read, error)) << error;
    EXPECT_EQ(read, data);
}

}  // namespace
}  // namespace ridgeforge
