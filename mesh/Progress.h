// The progress callback every long operation takes.
//
// The stage text names what is being done; the fraction runs 0..1 within the
// stage, and a negative fraction means the stage has no measurable progress.
// Returning false asks the operation to stop at its next check. An empty
// callback means no reporting, and the operation then never stops early.
#pragma once

#include <functional>
#include <string>

namespace ridgeforge::mesh {

using ProgressCallback = std::function<bool(const std::string& stage, float fraction)>;

// Asks the callback, if any; true means "go on".
inline bool ReportProgress(const ProgressCallback& progress, const std::string& stage, float fraction) {
    return !progress || progress(stage, fraction);
}

}  // namespace ridgeforge::mesh
