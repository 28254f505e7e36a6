// Holds a pipeline run at a named progress step, so that a test can give the
// Stop command (or change an input) at a known point of the run instead of
// after a guessed sleep. The worker waits inside its progress report until
// the test lets it go; the stop request it then reads is the test's.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>

#include "document/pipeline/AsyncPipeline.h"

namespace ridgeforge::test {

class RunHold {
public:
    // Only while no worker runs; the hold must outlive the pipeline's runs
    // (or be taken off with SetProgressWatcher({})).
    void Install(mesh::AsyncPipeline& pipeline, std::string step) {
        step_ = std::move(step);
        pipeline.SetProgressWatcher([this](const std::string& text) {
            std::unique_lock<std::mutex> lock(mutex_);
            if (text != step_ || reached_) return;
            reached_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
        });
    }
    // Whether the worker reached the step within a minute.
    bool WaitReached() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [this] { return reached_; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    std::string step_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool reached_ = false;
    bool released_ = false;
};

}  // namespace ridgeforge::test
