// What the mapping section shows of the projection, without a window: the
// rows of the side list (name, colour, switch) for each projection type, the
// list's geometry, and the isometric picture's geometry (where a model
// point lands, the box faces, the cylinder's silhouette).
#pragma once

#include <array>
#include <vector>

#include <wx/colour.h>
#include <wx/geometry.h>
#include <wx/gdicmn.h>
#include <wx/string.h>

#include "relief/mapping/Projection.h"

namespace ridgeforge {

struct ProjectorRow {
    int side = 0;  // 0..5: +X, -X, +Y, -Y, +Z, -Z; cylinder 0 wall, 4 top, 5 bottom
    wxString name;
    wxColour colour;
    bool on = false;
    bool switchable = false;

    bool operator==(const ProjectorRow& other) const = default;
};

// Red for X, green for Y, blue for Z, grey for anything else.
wxColour SideColour(int side);
// "Right (+X)" .. "Bottom (-Z)" with a true minus sign; empty outside 0..5.
wxString SideName(int side);
// The axis the picture shows: the plane's, the sphere's or the cylinder's.
int PictureAxis(const mesh::Projection& projection);
std::vector<ProjectorRow> ProjectorRows(const mesh::Projection& projection, bool hasPart);
// The last row whose side is the active layer, -1 when none.
int SelectedRow(const std::vector<ProjectorRow>& rows, int activeLayer);

// The side list's rows (22 dip high), check box (14), swatch (12) and name.
struct ProjectorRowGeometry {
    wxRect row, check, swatch, name;
};
ProjectorRowGeometry ProjectorRowRects(int index, int scroll, const wxSize& client, unsigned dpi);
int ProjectorContentHeight(int count, unsigned dpi);
// The row under the point (-1 outside the client area or below the last
// row) and whether the point is in its check box.
int ProjectorHitTest(const wxSize& client, int scroll, int count, const wxPoint& point, unsigned dpi, bool* inCheck);

// Where the picture draws the model point (x, y, z) in a client area of
// width x height: scale 0.17 width around (0.5 width, 0.54 height).
wxPoint2DDouble PicturePoint(double x, double y, double z, int width, int height);
// A point of the circle of radius r at height h around the axis, at angle t.
std::array<double, 3> CirclePoint(int axis, double r, double h, double t);
// The sample angles (of 180 around the circle) whose points lie farthest on
// either side of the drawn axis: the cylinder's outline.
std::array<double, 2> SilhouetteAngles(int axis, int width, int height);
// The four corners of a box side's face on the cube from -1 to 1.
std::array<std::array<double, 3>, 4> BoxFace(int side);

}  // namespace ridgeforge
