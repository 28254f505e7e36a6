// The worker thread around the stage runs. Only the progress text, fraction
// and flag share a mutex, and it is never held across a stage; the stop
// request, the outcome and the end of the run are atomics, the outcome
// stored before the end so that a poll that sees the end also sees it. The
// requesting thread reads the cache and publishes only after the join.
#include "document/pipeline/AsyncPipeline.h"

#include <exception>
#include <new>
#include <system_error>
#include <utility>

namespace ridgeforge::mesh {

AsyncPipeline::AsyncPipeline(PipelineRunner runner) : runner_(std::move(runner)) {}

AsyncPipeline::~AsyncPipeline() { CancelAndJoin(); }

void AsyncPipeline::JoinWorker() {
    if (worker_.joinable()) worker_.join();
    running_ = false;
}

void AsyncPipeline::CancelAndJoin() {
    if (running_) cancel_.store(true);
    JoinWorker();
}

void AsyncPipeline::ForgetResults() {
    publishedCoverage_ = {};
    publishedRunState_ = {};
    previewResult_ = hasResult_ = false;
    pending_.reset();
    hasRequest_ = stopped_ = failed_ = resultDue_ = false;
}

void AsyncPipeline::StartPending() {
    const PipelineSettings next = *pending_;
    const PipelineQuality quality = pendingQuality_;
    pending_.reset();
    StartLocked(next, quality);
}

void AsyncPipeline::SetSourceMesh(TriangleMesh mesh) {
    CancelAndJoin();
    cache_.TakeSource(std::move(mesh));
    publishedMesh_ = cache_.finalMesh;
    ForgetResults();
}

void AsyncPipeline::SetTexture(HeightMap texture) {
    CancelAndJoin();
    cache_.texture = std::move(texture);
    cache_.SetDirty(PipelineStage::Displacement, true);
    cache_.SetDirty(PipelineStage::Simplify, true);
}

void AsyncPipeline::Reset() {
    CancelAndJoin();
    cache_.ClearCache();
    publishedMesh_ = {};
    ForgetResults();
}

void AsyncPipeline::Request(const PipelineSettings& settings) {
    lastRequested_ = settings;
    hasRequest_ = true;
    if (running_) {
        // A full run is not cut short: the newest request waits for it.
        pending_ = settings;
        pendingQuality_ = PipelineQuality::Full;
        return;
    }
    JoinWorker();
    StartLocked(settings, PipelineQuality::Full);
}

void AsyncPipeline::StartLocked(const PipelineSettings& settings, PipelineQuality quality) {
    // Every run is a full run; the coarser preview pass has no caller.
    (void)quality;
    cache_.MarkDirty(settings);
    if (!HoldsTriangles(cache_.sourceMesh)) return;
    bool anyDirty = false;
    for (bool dirty : cache_.stageDirty) anyDirty = anyDirty || dirty;
    runQuality_ = PipelineQuality::Full;
    if (!anyDirty) {
        succeeded_.store(true);
        PublishResultLocked();
        return;
    }
    resultDue_ = false;
    cancel_.store(false);
    finished_.store(false);
    running_ = true;
    {
        std::lock_guard<std::mutex> lock(statusMutex_);
        progressText_.clear();
        fraction_ = 0.0f;
        hasFraction_ = false;
    }
    errorText_.clear();
    try {
        worker_ = std::thread([this] { WorkerMain(); });
    } catch (const std::system_error&) {
        // No memory for the thread's stack (or no thread left): the run ends
        // before it began, as one that ran out of memory.
        running_ = false;
        finished_.store(true);
        succeeded_.store(false);
        errorText_ = kOutOfMemoryMessage;
        PublishResultLocked();
    }
}

bool AsyncPipeline::OnProgress(const std::string& text, float fraction) {
    {
        std::lock_guard<std::mutex> lock(statusMutex_);
        progressText_ = text;
        hasFraction_ = fraction >= 0.0f;
        fraction_ = hasFraction_ ? fraction : 0.0f;
    }
    if (watcher_) watcher_(text);
    return !cancel_.load();
}

void AsyncPipeline::WorkerMain() {
    const ProgressCallback callback = [this](const std::string& text, float fraction) {
        return OnProgress(text, fraction);
    };
    bool ok = false;
    try {
        ok = runner_(cache_, callback);
    } catch (const std::bad_alloc&) {
        errorText_ = kOutOfMemoryMessage;
    } catch (const std::exception& error) {
        errorText_ = std::string("Process stopped on an error: ") + error.what() + ". Nothing was changed.";
    } catch (...) {
        errorText_ = "Process stopped on an error. Nothing was changed.";
    }
    succeeded_.store(ok && errorText_.empty());
    finished_.store(true);
}

void AsyncPipeline::PublishResultLocked() {
    resultDue_ = true;
    const PipelineRunState& state = cache_.runState;
    const auto overLimit = [&] {
        return "About " + RefusedTriangleText(state) + " triangles, which is over the limit. Nothing was changed.";
    };
    if (succeeded_.load() && !PublishCopies()) {
        // The run finished but its result cannot be shown: it counts as a
        // run that ran out of memory. Its stages after the part's remesh run
        // again next time (Mask is never switched off, so the plan sees it);
        // until then the part is what is shown.
        succeeded_.store(false);
        errorText_ = kOutOfMemoryMessage;
        cache_.SetDirty(PipelineStage::Mask, true);
    }
    if (succeeded_.load()) {
        previewResult_ = runQuality_ == PipelineQuality::Preview;
        hasResult_ = true;
        stopped_ = false;
        failed_ = state.refused;
        statusMessage_ = state.refused ? overLimit() : std::string();
        return;
    }
    // A stage failure keeps its own words; only a run that nobody's words
    // explain was stopped.
    failed_ = state.refused || !state.message.empty() || !errorText_.empty();
    stopped_ = !failed_;
    if (!errorText_.empty()) {
        statusMessage_ = errorText_;
    } else if (!state.message.empty()) {
        statusMessage_ = state.message;
    } else if (failed_) {
        statusMessage_ = overLimit();
    }
}

bool AsyncPipeline::PublishCopies() {
    // The old copies go first, so that publishing needs memory for one
    // result, not two; when even that is missing nothing half-copied stays.
    publishedMesh_ = {};
    publishedCoverage_ = {};
    try {
        publishedMesh_ = cache_.finalMesh;
        publishedCoverage_ = cache_.runState.coverage;
        publishedRunState_ = cache_.runState;
        return true;
    } catch (const std::bad_alloc&) {
        publishedMesh_ = {};
        publishedCoverage_ = {};
        return false;
    }
}

bool AsyncPipeline::WaitAndRestart() {
    for (;;) {
        if (running_) {
            JoinWorker();
            PublishResultLocked();
        }
        if (!pending_) break;
        StartPending();
    }
    if (!hasRequest_ || failed_) return false;
    if (!stopped_ && !previewResult_) return false;
    cancel_.store(false);
    StartLocked(lastRequested_, PipelineQuality::Full);
    if (running_) {
        JoinWorker();
        PublishResultLocked();
    }
    return true;
}

bool AsyncPipeline::PollFinished() {
    bool applied = false;
    if (running_ && finished_.load()) {
        JoinWorker();
        PublishResultLocked();
        applied = succeeded_.load();
    }
    if (!running_ && pending_) {
        StartPending();
        if (!running_ && succeeded_.load()) {
            applied = true;
            resultDue_ = true;
        }
    }
    const bool due = resultDue_;
    resultDue_ = false;
    return applied || due;
}

PipelineStatus AsyncPipeline::GetStatus() const {
    PipelineStatus status;
    status.running = running_;
    status.stopped = stopped_;
    status.failed = failed_;
    status.message = statusMessage_;
    status.quality = runQuality_;
    std::lock_guard<std::mutex> lock(statusMutex_);
    status.progressText = progressText_;
    status.fraction = fraction_;
    status.hasFraction = hasFraction_;
    return status;
}

}  // namespace ridgeforge::mesh
