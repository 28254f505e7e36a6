// The process-wide count of running background jobs (the export check's
// worker and the like), which the program waits for, a bounded time, before
// it exits.
#pragma once

#include <atomic>

namespace ridgeforge::ui {

// Raised with ++ when a job starts, lowered with -- on every way out of it.
std::atomic<int>& BackgroundJobCount();

// Raises the count for its life.
class BackgroundJobScope {
public:
    BackgroundJobScope() { ++BackgroundJobCount(); }
    ~BackgroundJobScope() { --BackgroundJobCount(); }
    BackgroundJobScope(const BackgroundJobScope&) = delete;
    BackgroundJobScope& operator=(const BackgroundJobScope&) = delete;
};

// Waits while the count is above 0, looking every `stepMilliseconds`, and
// gives up once `limitMilliseconds` have passed. Returns the milliseconds
// waited.
double WaitForBackgroundJobs(int limitMilliseconds = 5000, int stepMilliseconds = 10);

}  // namespace ridgeforge::ui
