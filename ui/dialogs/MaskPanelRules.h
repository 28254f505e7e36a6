// What the "Mask Volumes" panel shows and takes back, without its windows:
// the ten fields of the chosen volume (position with Z above the bed, size,
// turn, feather), how they are written, and which typed fields count.
//
// A field is applied only when its text differs from what the panel last
// wrote there: re-reading every field would round the untouched values to
// the two decimals they are shown with.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/string.h>

#include "mesh/TriangleMesh.h"
#include "relief/mapping/MaskVolume.h"

namespace ridgeforge {

inline constexpr int kMaskFieldCount = 10;
using MaskFieldTexts = std::array<wxString, kMaskFieldCount>;

// The lowest z of the part when it holds triangles and its bounds are valid,
// else 0: the panel's Z counts from there.
float BedHeight(const mesh::TriangleMesh& part);

// Position x, y, z above the bed, size x, y, z, turn x, y, z, feather.
std::array<float, kMaskFieldCount> MaskFieldValues(const mesh::MaskVolume& volume, float bedHeight);

// "%.2f" without trailing zeros and point; a magnitude below 0.005 is "0"
// (12.50 gives "12.5", 3.00 gives "3", -0.004 gives "0").
wxString FormatMaskField(float value);

// The volume with the fields whose text differs from `written` taken from
// `typed`: text that holds no finite number keeps the value; z is counted
// from the bed; sizes are at least 0.5 and the feather at least 0.
mesh::MaskVolume ApplyMaskFieldTexts(const mesh::MaskVolume& volume, float bedHeight, const MaskFieldTexts& typed,
                                     const MaskFieldTexts& written);

// "Box", "Cylinder", "Sphere", or "Volume" for another shape value.
wxString MaskShapeText(mesh::MaskShape shape);

// The list is rebuilt when the count or any name or shape changed; a
// changed enabled flag only changes a check box.
bool MaskListNeedsRebuild(const std::vector<mesh::MaskVolume>& shown, const std::vector<mesh::MaskVolume>& now);

// Where the panel opens: the saved place when there is one and the point
// 20 right of and 10 below it lies on a display, else 12 px right of and
// below `near`.
wxPoint MaskPanelPlace(std::optional<wxPoint> saved, wxPoint near, bool (*onDisplay)(wxPoint));

}  // namespace ridgeforge
