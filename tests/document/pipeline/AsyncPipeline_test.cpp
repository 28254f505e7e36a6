// The worker around the runs: publishing, queued requests, stops, errors
// caught on the worker, and the status read while the worker reports.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>

#include "document/pipeline/AsyncPipeline.h"
#include "testing/Shapes.h"
#include "tests/document/pipeline/PipelineFixtures.h"

namespace ridgeforge::mesh {
namespace {

constexpr int kRemesh = 0, kMask = 1, kDisplacement = 2, kSimplify = 3;

// Polls as the idle handler would until a result is due or no run goes on.
bool PollUntilDone(AsyncPipeline& pipeline) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (std::chrono::steady_clock::now() < deadline) {
        if (pipeline.PollFinished() || !pipeline.IsRunning()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

// A runner that first runs the stages and then holds the worker until it is
// released or asked to stop, so that requests can arrive during a run.
struct HeldRunner {
    std::atomic<bool> release{false};
    std::atomic<int> runs{0};

    PipelineRunner Runner() {
        return [this](PipelineStageCache& cache, const ProgressCallback& progress) {
            ++runs;
            const bool ok = RunStages(cache, progress);
            while (!release.load()) {
                if (!progress("Holding", -1.0f)) return false;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return ok;
        };
    }
};

PipelineSettings CubeSettings(const TriangleMesh& cube) {
    PipelineSettings s = test::ReliefSettings(cube, DisplacementMethod::Mesh);
    s.remeshEnabled = true;
    return s;
}

TEST(AsyncPipeline, RunPublishesAndAnIdenticalRequestStartsNoThread) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    AsyncPipeline pipeline;
    pipeline.SetTexture(test::ProceduralMap("Bricks", 64, 8.0f));
    pipeline.SetSourceMesh(cube);
    EXPECT_EQ(pipeline.PublishedMesh().indices, cube.indices);  // the part itself until a run ends
    const PipelineSettings s = CubeSettings(cube);
    pipeline.Request(s);
    EXPECT_TRUE(pipeline.IsRunning());
    ASSERT_TRUE(PollUntilDone(pipeline));
    const PipelineStatus done = pipeline.GetStatus();
    EXPECT_FALSE(done.running || done.stopped || done.failed);
    EXPECT_TRUE(done.message.empty());
    EXPECT_TRUE(pipeline.HasResult());
    EXPECT_TRUE(pipeline.PublishedRunState().validated);
    EXPECT_GT(pipeline.PublishedMesh().TriangleCount(), cube.TriangleCount());
    EXPECT_TRUE(pipeline.PublishedCoverage().MatchesMesh(pipeline.PublishedMesh()));

    pipeline.Request(s);
    EXPECT_FALSE(pipeline.IsRunning());
    EXPECT_TRUE(pipeline.PollFinished());  // published at once
    EXPECT_FALSE(pipeline.GetStatus().failed);
    EXPECT_FALSE(pipeline.PollFinished());  // and taken only once
}

TEST(AsyncPipeline, StopPublishesStoppedAndTheNextRunResumes) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    // Stops itself at the relief, as the Stop command would.
    std::atomic<bool> stopAtRelief{true};
    AsyncPipeline pipeline([&](PipelineStageCache& cache, const ProgressCallback& progress) {
        const ProgressCallback stopping = [&](const std::string& text, float fraction) {
            const bool goOn = progress(text, fraction);
            return goOn && !(stopAtRelief.load() && text == "Displacing");
        };
        return RunStages(cache, stopping);
    });
    pipeline.SetTexture(test::ProceduralMap("Bricks", 64, 8.0f));
    pipeline.SetSourceMesh(cube);
    const PipelineSettings s = CubeSettings(cube);
    pipeline.Request(s);
    ASSERT_TRUE(PollUntilDone(pipeline));
    PipelineStatus status = pipeline.GetStatus();
    EXPECT_TRUE(status.stopped);
    EXPECT_FALSE(status.failed);
    EXPECT_FALSE(pipeline.HasResult());
    EXPECT_EQ(pipeline.Cache().FirstStageToRun(s).stage, kDisplacement);

    stopAtRelief = false;
    EXPECT_TRUE(pipeline.WaitAndRestart());  // runs the stopped request again
    status = pipeline.GetStatus();
    EXPECT_FALSE(status.stopped || status.failed);
    EXPECT_TRUE(pipeline.HasResult());
    EXPECT_FALSE(pipeline.Cache().FirstStageToRun(s).any);
    // A finished request is not run again.
    EXPECT_FALSE(pipeline.WaitAndRestart());
}

TEST(AsyncPipeline, RequestStopEndsARunAtItsNextPollWithoutWaitingAndIsIgnoredWhenIdle) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    HeldRunner held;
    AsyncPipeline pipeline(held.Runner());
    pipeline.SetTexture(test::ProceduralMap("Bricks", 64, 8.0f));
    pipeline.SetSourceMesh(cube);
    // Asked while idle, it must not stop the next run.
    pipeline.RequestStop();
    held.release = true;
    pipeline.Request(CubeSettings(cube));
    ASSERT_TRUE(PollUntilDone(pipeline));
    EXPECT_FALSE(pipeline.GetStatus().stopped);

    held.release = false;
    PipelineSettings other = CubeSettings(cube);
    other.displacement.strengthMillimetres *= 2.0f;
    pipeline.Request(other);
    ASSERT_TRUE(pipeline.IsRunning());
    pipeline.RequestStop();
    // The held runner only ends when it polls, so returning here proves no join.
    ASSERT_TRUE(PollUntilDone(pipeline));
    EXPECT_TRUE(pipeline.GetStatus().stopped);
    EXPECT_FALSE(pipeline.GetStatus().failed);
}

TEST(AsyncPipeline, OutOfMemoryFailsAndKeepsThePreviousResult) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    std::atomic<bool> throwNext{false};
    AsyncPipeline pipeline([&](PipelineStageCache& cache, const ProgressCallback& progress) {
        if (throwNext.load()) throw std::bad_alloc();
        return RunStages(cache, progress);
    });
    pipeline.SetTexture(test::ProceduralMap("Bricks", 64, 8.0f));
    pipeline.SetSourceMesh(cube);
    PipelineSettings s = CubeSettings(cube);
    pipeline.Request(s);
    ASSERT_TRUE(PollUntilDone(pipeline));
    const TriangleMesh before = pipeline.PublishedMesh();
    const std::uint64_t resultBefore = pipeline.PublishedRunState().resultTriangles;

    throwNext = true;
    s.displacement.strengthMillimetres = 0.4f;
    pipeline.Request(s);
    ASSERT_TRUE(PollUntilDone(pipeline));
    const PipelineStatus status = pipeline.GetStatus();
    EXPECT_TRUE(status.failed);
    EXPECT_FALSE(status.stopped);
    EXPECT_EQ(status.message, "Process ran out of memory. Nothing was changed; a larger triangle size needs less.");
    EXPECT_EQ(pipeline.PublishedMesh().indices, before.indices);
    EXPECT_EQ(pipeline.PublishedRunState().resultTriangles, resultBefore);
}

TEST(AsyncPipeline, OtherErrorsAreWordedAndAFailedRemeshIsNoStop) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    AsyncPipeline failing(
        [](PipelineStageCache&, const ProgressCallback&) -> bool { throw std::runtime_error("bad grid"); });
    failing.SetSourceMesh(cube);
    failing.Request(PipelineSettings{});
    ASSERT_TRUE(PollUntilDone(failing));
    EXPECT_EQ(failing.GetStatus().message, "Process stopped on an error: bad grid. Nothing was changed.");

    // The contour remesh of a part that encloses nothing fails with its reason.
    AsyncPipeline pipeline;
    pipeline.SetSourceMesh(ridgeforge::test::MakeGridPlate(10.0f, 4));
    PipelineSettings s;
    s.remeshEnabled = true;
    s.remesh.targetEdgeMillimetres = 1.0f;
    pipeline.Request(s);
    ASSERT_TRUE(PollUntilDone(pipeline));
    const PipelineStatus status = pipeline.GetStatus();
    EXPECT_TRUE(status.failed);
    EXPECT_FALSE(status.stopped);
    EXPECT_NE(status.message.find("contouring at a cell of"), std::string::npos) << status.message;
    EXPECT_FALSE(pipeline.HasResult());

    // Over the limit: refused with the estimate.
    s.maximumTriangles = 10;
    pipeline.Request(s);
    ASSERT_TRUE(PollUntilDone(pipeline));
    EXPECT_TRUE(pipeline.GetStatus().failed);
    EXPECT_EQ(pipeline.GetStatus().message.rfind("About ", 0), 0u);
    EXPECT_NE(pipeline.GetStatus().message.find(" triangles, which is over the limit. Nothing was changed."),
              std::string::npos);
}

TEST(AsyncPipeline, RequestsDuringARunQueueTheNewestAndSetTextureCancels) {
    const TriangleMesh cube = MakeTestCube(12.0f);
    HeldRunner held;
    AsyncPipeline pipeline(held.Runner());
    pipeline.SetTexture(test::ProceduralMap("Bricks", 64, 8.0f));
    pipeline.SetSourceMesh(cube);
    PipelineSettings s = CubeSettings(cube);
    pipeline.Request(s);
    PipelineSettings second = s;
    second.displacement.strengthMillimetres = 0.3f;
    PipelineSettings third = s;
    third.displacement.strengthMillimetres = 0.6f;
    pipeline.Request(second);
    pipeline.Request(third);
    EXPECT_TRUE(pipeline.IsRunning());
    EXPECT_TRUE(pipeline.HasPending());
    EXPECT_FALSE(pipeline.GetStatus().stopped);  // a full run is not cut short
    held.release = true;
    ASSERT_TRUE(PollUntilDone(pipeline));  // publishes the first and starts the newest
    EXPECT_TRUE(pipeline.IsRunning());
    EXPECT_FALSE(pipeline.HasPending());
    EXPECT_FALSE(pipeline.WaitAndRestart());  // joins the newest; nothing was stopped
    EXPECT_EQ(held.runs.load(), 2);  // the middle request never ran
    EXPECT_EQ(pipeline.Cache().settings.displacement.strengthMillimetres, 0.6f);

    // A texture change during a run stops it and dirties only what reads the texture.
    held.release = false;
    PipelineSettings fourth = third;
    fourth.projection.layer[0].zoom = 2.0f;
    pipeline.Request(fourth);
    ASSERT_TRUE(pipeline.IsRunning());
    while (pipeline.GetStatus().progressText != "Holding") std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pipeline.SetTexture(test::ProceduralMap("Cells", 32, 6.0f));
    EXPECT_FALSE(pipeline.IsRunning());
    const PipelineStageCache& cache = pipeline.Cache();
    EXPECT_FALSE(cache.stageDirty[kRemesh]);
    EXPECT_FALSE(cache.stageDirty[kMask]);
    EXPECT_TRUE(cache.stageDirty[kDisplacement]);
    EXPECT_TRUE(cache.stageDirty[kSimplify]);
    EXPECT_EQ(cache.texture.width, 32);
}

TEST(AsyncPipeline, StatusIsNeverTornWhileTheWorkerReports) {
    const std::string shortText(3, 'a');
    const std::string longText(400, 'b');
    std::atomic<bool> stop{false};
    AsyncPipeline pipeline([&](PipelineStageCache&, const ProgressCallback& progress) {
        for (int i = 0; !stop.load(); ++i) {
            if (!progress(i % 2 == 0 ? shortText : longText, i % 3 == 0 ? -1.0f : 0.5f)) return false;
        }
        return true;
    });
    pipeline.SetSourceMesh(MakeTestCube(5.0f));
    pipeline.Request(PipelineSettings{});
    ASSERT_TRUE(pipeline.IsRunning());
    // Until enough reports were seen: on a loaded machine the worker may wait for a core.
    int seen = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (seen < 2000 && std::chrono::steady_clock::now() < deadline) {
        const PipelineStatus status = pipeline.GetStatus();
        EXPECT_TRUE(status.running);
        if (status.progressText.empty()) continue;
        ++seen;
        ASSERT_TRUE(status.progressText == shortText || status.progressText == longText) << status.progressText.size();
        if (!status.hasFraction) {
            EXPECT_EQ(status.fraction, 0.0f);
        }
    }
    EXPECT_EQ(seen, 2000);
    stop = true;
    ASSERT_TRUE(PollUntilDone(pipeline));
    EXPECT_FALSE(pipeline.GetStatus().running);
}

}  // namespace
}  // namespace ridgeforge::mesh
