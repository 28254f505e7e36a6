#include "relief/repair/WindowsRepair.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "mesh/TestShapes.h"

using namespace ridgeforge;

namespace {

std::size_t ThreadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

}  // namespace

TEST(WindowsRepair, UnavailableHereAndChangesNothing) {
    const std::size_t threads = ThreadCount();
    EXPECT_FALSE(mesh::IsWindowsRepairAvailable());
    EXPECT_FALSE(mesh::IsWindowsRepairAvailable());
    EXPECT_EQ(ThreadCount(), threads);
    bool available = true;
    mesh::ProbeWindowsRepairService(&available);
    EXPECT_FALSE(available);

    const mesh::TriangleMesh part = mesh::MakeTestCube(10.0f);
    const mesh::TriangleMesh before = part;
    std::atomic<bool> stop{true};
    for (const std::atomic<bool>* flag :
         {static_cast<const std::atomic<bool>*>(nullptr), static_cast<const std::atomic<bool>*>(&stop)}) {
        const mesh::WindowsRepairResult r = mesh::RepairMeshWithWindows(part, flag);
        EXPECT_FALSE(r.succeeded);
        EXPECT_FALSE(r.cancelled);
        EXPECT_EQ(r.message, "The Windows repair service failed.");
        EXPECT_TRUE(r.mesh.vertices.empty());
        EXPECT_EQ(r.seconds, 0.0);
    }
    EXPECT_EQ(part.indices, before.indices);
    ASSERT_EQ(part.vertices.size(), before.vertices.size());
    for (std::size_t v = 0; v < part.vertices.size(); ++v)
        EXPECT_EQ(part.vertices[v].position, before.vertices[v].position);
    EXPECT_STREQ(mesh::kWindowsRepairUnavailable, "This Windows does not offer the 3D printing repair service.");
}
