// The hint that the document passes with every view update, so that a view
// can tell a full refresh from a placement edit or a change of display mode.
#pragma once

#include <cstdint>

namespace ridgeforge {

enum class ViewUpdateHint : std::int32_t {
    // After a part, project, texture, undo or redo, and after a processing
    // result was applied.
    FullRefresh = 0,
    // The placement changed while the shown mesh stayed the same.
    PlacementChanged = 1,
    // The print check finished: the view switches to its sliced display.
    PrintCheckFinished = 2,
    // Processing started: the views leave the placement tools and the
    // print-check display.
    ProcessingStarted = 3,
};

}  // namespace ridgeforge
