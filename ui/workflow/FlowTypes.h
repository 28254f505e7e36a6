// What the workflow column's parts say to each other: which step (FlowStep,
// from the document), what happened in a section's header, what its status
// dot shows, the constant step table and the palette every section shares.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include <wx/colour.h>

#include "document/FlowStep.h"

namespace ridgeforge {

// What a header reports: its on/off switch was clicked, its settings icon
// was clicked, or it was collapsed or expanded.
enum class FlowEvent : std::int32_t { Switched = 0, SettingsAsked = 1, Collapsed = 2 };

// What the status dot shows.
enum class SectionStatus : std::int32_t { UpToDate = 0, OutOfDate = 1, Inactive = 2, Running = 3 };

inline constexpr int kFlowStepCount = 4;

struct FlowStepInfo {
    int step;
    const wchar_t* title;
    const char* iconKey;
    bool canSwitchOff;
};

inline constexpr std::array<FlowStepInfo, kFlowStepCount> kFlowSteps{{
    {0, L"Mapping", "flow_mapping", false},
    {1, L"Texture", "flow_texture", false},
    {2, L"Relief", "flow_displacement", true},
    {3, L"Simplify", "flow_simplify", true},
}};

inline const FlowStepInfo& StepInfo(FlowStep step) { return kFlowSteps[static_cast<std::size_t>(step)]; }
inline FlowStep StepAt(int index) { return static_cast<FlowStep>(index); }
inline unsigned StepBit(FlowStep step) { return 1u << static_cast<unsigned>(step); }

using FlowCallback = std::function<void(FlowStep, FlowEvent)>;

// The palette of the column, its sections and the footer.
namespace flow_colours {
inline const wxColour kBackground(247, 248, 250);
inline const wxColour kHeader(230, 234, 240);
inline const wxColour kFrame(210, 215, 222);
inline const wxColour kText(28, 32, 38);
inline const wxColour kSecondary(122, 128, 138);
inline const wxColour kAccent(58, 123, 213);
inline const wxColour kSelection(214, 224, 238);
inline const wxColour kRing(170, 176, 186);
inline const wxColour kGreen(46, 178, 90);
inline const wxColour kAmber(243, 156, 51);
}  // namespace flow_colours

}  // namespace ridgeforge
