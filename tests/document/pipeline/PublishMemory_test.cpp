// A run that finishes but whose result cannot be copied out for showing
// fails as out of memory: nothing half-copied is published, and the next
// run makes the result again. Allocations above a limit fail in this
// executable only while a test asks for it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

#include "document/pipeline/AsyncPipeline.h"
#include "tests/support/AllocationLimit.h"
#include "tests/document/pipeline/PipelineFixtures.h"

namespace ridgeforge::mesh {
namespace {

bool WaitForWorker(const AsyncPipeline& pipeline) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!pipeline.WorkerFinished()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

TEST(PipelinePublishMemory, AResultThatCannotBeCopiedIsNotPublishedAndIsMadeAgain) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    // The final mesh grows to 400000 vertices (9.6 MB), far above the 1 MB
    // that copying is allowed below; the run itself allocates freely.
    AsyncPipeline pipeline([](PipelineStageCache& cache, const ProgressCallback& progress) {
        const bool ok = RunStages(cache, progress);
        cache.finalMesh.vertices.resize(400000);
        return ok;
    });
    pipeline.SetTexture(test::ProceduralMap("Bricks", 64, 8.0f));
    pipeline.SetSourceMesh(cube);
    PipelineSettings s = test::ReliefSettings(cube, DisplacementMethod::Mesh);
    s.remeshEnabled = true;

    pipeline.Request(s);
    ASSERT_TRUE(WaitForWorker(pipeline));
    ridgeforge::test::largestAllowedAllocation = 1 << 20;
    const bool due = pipeline.PollFinished();
    ridgeforge::test::largestAllowedAllocation = std::numeric_limits<std::size_t>::max();
    EXPECT_TRUE(due);
    EXPECT_FALSE(pipeline.IsRunning());
    const PipelineStatus status = pipeline.GetStatus();
    EXPECT_TRUE(status.failed);
    EXPECT_FALSE(status.stopped);
    EXPECT_EQ(status.message, "Process ran out of memory. Nothing was changed; a larger triangle size needs less.");
    EXPECT_TRUE(pipeline.PublishedMesh().vertices.empty());
    EXPECT_TRUE(pipeline.PublishedMesh().indices.empty());
    // The stages from Mask on are due again; the part's remesh is kept.
    const PipelinePlan plan = pipeline.Cache().FirstStageToRun(s);
    EXPECT_TRUE(plan.any);
    EXPECT_EQ(plan.stage, static_cast<std::int32_t>(PipelineStage::Mask));

    // With memory, the same request makes and publishes the result.
    pipeline.Request(s);
    ASSERT_TRUE(WaitForWorker(pipeline));
    EXPECT_TRUE(pipeline.PollFinished());
    EXPECT_FALSE(pipeline.GetStatus().failed);
    EXPECT_EQ(pipeline.PublishedMesh().vertices.size(), 400000u);
}

}  // namespace
}  // namespace ridgeforge::mesh
