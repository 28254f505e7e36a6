#include "ui/framework/BackgroundJobs.h"

#include <chrono>
#include <thread>

namespace ridgeforge::ui {

std::atomic<int>& BackgroundJobCount() {
    static std::atomic<int> count{0};
    return count;
}

double WaitForBackgroundJobs(int limitMilliseconds, int stepMilliseconds) {
    const auto start = std::chrono::steady_clock::now();
    auto waited = [&] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    while (BackgroundJobCount().load() > 0) {
        if (waited() >= limitMilliseconds) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMilliseconds));
    }
    return waited();
}

}  // namespace ridgeforge::ui
