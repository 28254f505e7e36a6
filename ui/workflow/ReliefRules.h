// The rules of the relief and simplify sections apart from their windows:
// which typed numbers are taken, the triangle estimate's text, and the
// geometry of the direction diagram and the displacement body's layout.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/geometry.h>
#include <wx/string.h>

#include "document/SettingRanges.h"
#include "mesh/TriangleMesh.h"
#include "mesh/remesh/RemeshSettings.h"

namespace ridgeforge {

// Typed numbers are read in the "C" locale and taken only when a number was
// read at all and it lies in 0..100000.
inline constexpr double kLargestTypedNumber = kLargestFieldMillimetres;

// The triangle size to store for a typed text: max(0.01, s) for a number
// whose float is above 0; nothing otherwise.
std::optional<float> AcceptTriangleSize(const wxString& text);

// The strength to store for a typed text: the value when it differs from
// `current` (0 is a strength); nothing otherwise.
std::optional<float> AcceptStrength(const wxString& text, float current);

// A preset triangle size as it is stored: max(0.01, s).
float StoredTriangleSize(float size);

inline constexpr const wchar_t* kNoPartEstimate = L"Open a part to see how many triangles the relief makes.";

// The estimate of the contour remesh at the settings' triangle size,
// whatever method the settings hold.
mesh::RemeshEstimate EstimateReliefTriangles(const mesh::TriangleMesh& part, mesh::RemeshSettings settings);

// "About N triangles." with N = E + E / 12 grouped by threes, and with a
// raised cell " at %.2f mm, the finest this part allows" before the period.
std::wstring EstimateText(const mesh::RemeshEstimate& estimate);

// The direction diagram inside `rect` at `dpi`: the wave of the relief,
// the area under it, the dashed surface line, the height marker and where
// its label goes.
struct DirectionDiagram {
    double x0 = 0, x1 = 0, top = 0, bottom = 0;
    double surfaceY = 0, reliefTop = 0, reliefBottom = 0;
    std::vector<wxPoint2DDouble> wave;  // 65 points
    std::vector<wxPoint2DDouble> fill;  // the wave, then (x1, bottom), (x0, bottom)
    double markerX = 0;
    wxRect label;
    double unit = 1;  // dpi / 96
};
// `direction` 0 centred, 1 outward, 2 inward; anything else counts as centred.
DirectionDiagram LayoutDirectionDiagram(const wxRect& rect, unsigned dpi, int direction);

// "%g mm" of max(0, strength).
wxString StrengthLabel(float strength);

// The displacement body's diagram rectangle for a client `width` wide, or
// an empty one when it would be narrower than 64 dip; and the check box's
// rectangle beside it (or across the full width without a diagram).
wxRect DiagramRect(int clientWidth, unsigned dpi);
wxRect KeepFlatRect(int clientWidth, unsigned dpi);

}  // namespace ridgeforge
