// Runs the pipeline stages on one worker thread per run, so that the
// requesting (user-interface) thread stays live while a part is remeshed,
// textured and examined.
//
// The requesting thread asks for runs, polls for their end, and reads the
// published result after the worker was joined; a request that arrives while
// a run goes on is queued, and only the newest queued one stays. The worker
// owns the stage cache for the whole of a run and talks to the requesting
// thread only through the progress callback: its text and fraction under a
// mutex, the stop request, the outcome and the end of the run as atomics
// (the outcome written before the end). Every operation except GetStatus is
// for the requesting thread only.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "mesh/Progress.h"
#include "document/pipeline/PipelineStageCache.h"
#include "document/pipeline/PipelineStages.h"

namespace ridgeforge::mesh {

struct PipelineStatus {
    bool running = false;
    // The last published run ended early without an error.
    bool stopped = false;
    // The last published run was refused or ended on an error.
    bool failed = false;
    // Why it was refused or failed; empty after a clean success.
    std::string message;
    PipelineQuality quality = PipelineQuality::Full;
    std::string progressText;
    float fraction = 0.0f;
    bool hasFraction = false;
};

// The body of a run; RunStages unless a test hands in another.
using PipelineRunner = std::function<bool(PipelineStageCache&, const ProgressCallback&)>;

inline constexpr const char* kOutOfMemoryMessage =
    "Process ran out of memory. Nothing was changed; a larger triangle size needs less.";

class AsyncPipeline {
public:
    explicit AsyncPipeline(PipelineRunner runner = RunStages);
    // Stops and joins a running worker.
    ~AsyncPipeline();
    AsyncPipeline(const AsyncPipeline&) = delete;
    AsyncPipeline& operator=(const AsyncPipeline&) = delete;

    // A new part: stops any run, clears the cache and the published result;
    // the part itself becomes the published mesh.
    void SetSourceMesh(TriangleMesh mesh);
    // A new texture: stops any run; Displacement and Simplify become due
    // (which faces receive texture does not depend on it).
    void SetTexture(HeightMap texture);
    // Stops any run and forgets every result and request.
    void Reset();
    // The Process request: starts a run, or queues it while one goes on.
    void Request(const PipelineSettings& settings);
    // Callable from any thread that requests runs; never blocks on a stage.
    PipelineStatus GetStatus() const;
    // Finishes all work synchronously: joins, publishes, runs what is queued,
    // and runs the newest request again when its run was stopped; true when
    // it ran that request again.
    bool WaitAndRestart();
    // The idle poll: joins a finished worker and publishes its result, starts
    // a queued request, and says whether a result is due to be taken.
    bool PollFinished();

    // Starts a run of the settings, or publishes at once when nothing is stale.
    void StartLocked(const PipelineSettings& settings, PipelineQuality quality);
    // After the join: copies a successful result out, or records the failure
    // or stop; a failed or stopped run leaves the previous result published.
    void PublishResultLocked();

    // Asks a running worker to stop at its next progress poll; returns at once.
    void RequestStop() {
        if (running_) cancel_.store(true);
    }
    bool IsRunning() const { return running_; }
    // The worker started last has ended (it may still wait for PollFinished
    // to join it). Safe from any thread; meaningful once a run was started.
    bool WorkerFinished() const { return finished_.load(); }
    bool HasPending() const { return pending_.has_value(); }
    bool HasResult() const { return hasResult_; }
    // Called on the worker with each progress text before the stop request
    // is read, so that a test can hold a run at a known step; set only while
    // no worker runs.
    void SetProgressWatcher(std::function<void(const std::string&)> watcher) { watcher_ = std::move(watcher); }
    // Only while no worker runs.
    PipelineStageCache& Cache() { return cache_; }
    const PipelineStageCache& Cache() const { return cache_; }
    const TriangleMesh& PublishedMesh() const { return publishedMesh_; }
    const TextureCoverage& PublishedCoverage() const { return publishedCoverage_; }
    const PipelineRunState& PublishedRunState() const { return publishedRunState_; }
    // The settings of the newest request.
    const PipelineSettings& LastRequested() const { return lastRequested_; }

private:
    void CancelAndJoin();
    // Drops the published result, the queued request and the last outcome.
    void ForgetResults();
    // Starts the queued request and drops it from the queue.
    void StartPending();
    void JoinWorker();
    void WorkerMain();
    // Copies the finished run's mesh, coverage and run state into the
    // published fields; false, with the mesh and coverage emptied, when
    // memory runs out on the way.
    bool PublishCopies();
    bool OnProgress(const std::string& text, float fraction);

    PipelineStageCache cache_;
    TriangleMesh publishedMesh_;
    TextureCoverage publishedCoverage_;
    PipelineRunState publishedRunState_;
    bool previewResult_ = false;
    bool hasResult_ = false;
    std::thread worker_;
    bool running_ = false;
    std::atomic<bool> finished_{false};
    std::atomic<bool> cancel_{false};
    std::atomic<bool> succeeded_{false};
    bool resultDue_ = false;
    PipelineQuality runQuality_ = PipelineQuality::Full;
    std::optional<PipelineSettings> pending_;
    PipelineQuality pendingQuality_ = PipelineQuality::Full;
    PipelineSettings lastRequested_;
    bool hasRequest_ = false;
    mutable std::mutex statusMutex_;
    std::string progressText_;
    float fraction_ = 0.0f;
    bool hasFraction_ = false;
    bool stopped_ = false;
    bool failed_ = false;
    std::string statusMessage_;
    std::string errorText_;
    PipelineRunner runner_;
    std::function<void(const std::string&)> watcher_;
};

}  // namespace ridgeforge::mesh
