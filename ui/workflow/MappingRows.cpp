#include "ui/workflow/MappingRows.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "relief/mapping/CageFrame.h"
#include "ui/framework/Dpi.h"
#include "ui/view/ViewComputations.h"

namespace ridgeforge {
namespace {

unsigned char Channel(float value) { return static_cast<unsigned char>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f); }

wxColour FromFloats(float r, float g, float b) { return {Channel(r), Channel(g), Channel(b)}; }

wxString Letter(int axis) { return wxString(static_cast<wchar_t>(L'X' + std::clamp(axis, 0, 2))); }

}  // namespace

wxColour SideColour(int side) {
    const mesh::Vec3f c = ProjectorSideColour(side);
    return FromFloats(c.x, c.y, c.z);
}

wxString SideName(int side) {
    static const wchar_t* const names[] = {L"Right (+X)",      L"Left (\u2212X)", L"Back (+Y)",
                                           L"Front (\u2212Y)", L"Top (+Z)",       L"Bottom (\u2212Z)"};
    return side >= 0 && side < 6 ? wxString(names[side]) : wxString();
}

int PictureAxis(const mesh::Projection& projection) {
    switch (projection.type) {
        case mesh::ProjectionType::Plane:
            return static_cast<int>(projection.plane.axis);
        case mesh::ProjectionType::Sphere:
            return static_cast<int>(projection.sphere.axis);
        default:
            return static_cast<int>(projection.cylinder.axis);
    }
}

std::vector<ProjectorRow> ProjectorRows(const mesh::Projection& projection, bool hasPart) {
    std::vector<ProjectorRow> rows;
    const int axis = PictureAxis(projection);
    const wxString letter = Letter(axis);
    switch (projection.type) {
        case mesh::ProjectionType::Box:
        case mesh::ProjectionType::Sphere: {
            const bool sphere = projection.type == mesh::ProjectionType::Sphere;
            for (int side = 0; side < 6; ++side) {
                wxString name = SideName(side);
                if (sphere) {
                    const mesh::Vec3f normal = mesh::BoxSideFrame(side, axis).normal;
                    const float along = axis == 0 ? normal.x : (axis == 1 ? normal.y : normal.z);
                    if (std::fabs(along) > 0.5f) name += " pole";
                }
                rows.push_back({side, name, {}, projection.box.sideEnabled[static_cast<std::size_t>(side)], hasPart});
            }
            break;
        }
        case mesh::ProjectionType::Plane:
            rows.push_back({4, "Plane (+" + letter + ")", {}, true, false});
            break;
        case mesh::ProjectionType::Cylinder:
            rows.push_back({0, "Wall", {}, projection.cylinder.sideEnabled, hasPart});
            rows.push_back({4, "Top cap (+" + letter + ")", {}, projection.cylinder.topCapEnabled, hasPart});
            rows.push_back(
                {5, wxString(L"Bottom cap (\u2212") + letter + ")", {}, projection.cylinder.bottomCapEnabled, hasPart});
            break;
    }
    for (ProjectorRow& row : rows) row.colour = SideColour(row.side);
    return rows;
}

int SelectedRow(const std::vector<ProjectorRow>& rows, int activeLayer) {
    int selected = -1;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i)
        if (rows[static_cast<std::size_t>(i)].side == activeLayer) selected = i;
    return selected;
}

ProjectorRowGeometry ProjectorRowRects(int index, int scroll, const wxSize& client, unsigned dpi) {
    const int r = ui::ScaleDip(22, dpi);
    const int b = ui::ScaleDip(14, dpi);
    const int s = ui::ScaleDip(12, dpi);
    const int p = ui::ScaleDip(6, dpi);
    ProjectorRowGeometry g;
    g.row = wxRect(1, 1 + r * index - scroll, std::max(0, client.x - 2), r);
    const int top = g.row.y;
    g.check = wxRect(1 + p, (2 * top - b + r) / 2, b, b);
    g.swatch = wxRect(g.check.GetRight() + 1 + p, (top + top + r - s) / 2, s, s);
    const int nameLeft = g.swatch.GetRight() + 1 + p;
    g.name = wxRect(nameLeft, top, std::max(0, g.row.GetRight() + 1 - p - nameLeft), r);
    return g;
}

int ProjectorContentHeight(int count, unsigned dpi) { return ui::ScaleDip(22, dpi) * count + 2; }

int ProjectorHitTest(const wxSize& client, int scroll, int count, const wxPoint& point, unsigned dpi, bool* inCheck) {
    if (inCheck != nullptr) *inCheck = false;
    if (!wxRect(client).Contains(point)) return -1;
    for (int i = 0; i < count; ++i) {
        const ProjectorRowGeometry g = ProjectorRowRects(i, scroll, client, dpi);
        if (!g.row.Contains(point)) continue;
        if (inCheck != nullptr) *inCheck = g.check.Contains(point);
        return i;
    }
    return -1;
}

wxPoint2DDouble PicturePoint(double x, double y, double z, int width, int height) {
    const double s = 0.17 * width;
    return {0.5 * width + (x - y) * 0.866 * s, 0.54 * height + ((x + y) * 0.5 - z) * s};
}

std::array<double, 3> CirclePoint(int axis, double r, double h, double t) {
    const double c = r * std::cos(t);
    const double n = r * std::sin(t);
    if (axis == 0) return {h, c, n};
    if (axis == 1) return {c, h, n};
    return {c, n, h};
}

std::array<double, 2> SilhouetteAngles(int axis, int width, int height) {
    const std::array<double, 3> end{axis == 0 ? 1.0 : 0.0, axis == 1 ? 1.0 : 0.0, axis == 2 ? 1.0 : 0.0};
    const wxPoint2DDouble origin = PicturePoint(0, 0, 0, width, height);
    const wxPoint2DDouble tip = PicturePoint(end[0], end[1], end[2], width, height);
    // The side of the drawn axis a point lies on, and how far: the cross
    // product with the axis direction on the screen.
    const double ax = tip.m_x - origin.m_x;
    const double ay = tip.m_y - origin.m_y;
    double lowest = 0.0, highest = 0.0;
    std::array<double, 2> angles{0.0, 0.0};
    for (int k = 0; k < 180; ++k) {
        const double t = 2.0 * std::numbers::pi * k / 180.0;
        const std::array<double, 3> c = CirclePoint(axis, 1.0, 0.0, t);
        const wxPoint2DDouble q = PicturePoint(c[0], c[1], c[2], width, height);
        const double side = ax * (q.m_y - origin.m_y) - ay * (q.m_x - origin.m_x);
        if (k == 0 || side < lowest) {
            lowest = side;
            angles[0] = t;
        }
        if (k == 0 || side > highest) {
            highest = side;
            angles[1] = t;
        }
    }
    return angles;
}

std::array<std::array<double, 3>, 4> BoxFace(int side) {
    const int axis = std::clamp(side, 0, 5) / 2;
    const double value = side % 2 == 0 ? 1.0 : -1.0;
    const int u = (axis + 1) % 3;
    const int v = (axis + 2) % 3;
    std::array<std::array<double, 3>, 4> corners{};
    const double su[4] = {-1, 1, 1, -1};
    const double sv[4] = {-1, -1, 1, 1};
    for (int i = 0; i < 4; ++i) {
        corners[static_cast<std::size_t>(i)][static_cast<std::size_t>(axis)] = value;
        corners[static_cast<std::size_t>(i)][static_cast<std::size_t>(u)] = su[i];
        corners[static_cast<std::size_t>(i)][static_cast<std::size_t>(v)] = sv[i];
    }
    return corners;
}

}  // namespace ridgeforge
