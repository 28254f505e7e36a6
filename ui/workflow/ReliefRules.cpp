#include "ui/workflow/ReliefRules.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "ui/framework/DialogFloat.h"
#include "ui/framework/Dpi.h"
#include "text/Format.h"
#include "text/NumberText.h"

namespace ridgeforge {
namespace {

std::optional<double> TypedNumber(const wxString& text) {
    const auto parsed = ParseNumberPrefix(text.ToStdString(wxConvUTF8));
    // Written so that a NaN fails the range test.
    if (!parsed || !(*parsed >= 0.0 && *parsed <= kLargestTypedNumber)) return std::nullopt;
    return parsed;
}

}  // namespace

float StoredTriangleSize(float size) { return std::max(kSmallestTriangleSizeMillimetres, size); }

std::optional<float> AcceptTriangleSize(const wxString& text) {
    const auto value = TypedNumber(text);
    if (!value || !(static_cast<float>(*value) > 0.0f)) return std::nullopt;
    return StoredTriangleSize(static_cast<float>(*value));
}

std::optional<float> AcceptStrength(const wxString& text, float current) {
    const auto value = TypedNumber(text);
    if (!value || static_cast<float>(*value) == current) return std::nullopt;
    return static_cast<float>(*value);
}

mesh::RemeshEstimate EstimateReliefTriangles(const mesh::TriangleMesh& part, mesh::RemeshSettings settings) {
    settings.method = mesh::kRemeshContour;
    return mesh::EstimateRemesh(part, settings);
}

std::wstring EstimateText(const mesh::RemeshEstimate& estimate) {
    const std::uint64_t total = estimate.expectedTotal;
    const std::uint64_t shown = total + total / 12;
    std::string text = "About " + FormatCount(shown) + " triangles";
    if (estimate.raisedCellMillimetres > 0.0f)
        text += " at " + FormatMillimetres(estimate.raisedCellMillimetres) + " mm, the finest this part allows";
    text += ".";
    return std::wstring(text.begin(), text.end());
}

DirectionDiagram LayoutDirectionDiagram(const wxRect& rect, unsigned dpi, int direction) {
    DirectionDiagram d;
    const double u = static_cast<double>(dpi) / 96.0;
    d.unit = u;
    const double left = rect.GetLeft();
    const double right = rect.GetLeft() + rect.GetWidth();
    d.x0 = left + 2 * u;
    d.x1 = right - 56 * u;
    d.top = rect.GetTop() + 3 * u;
    d.bottom = rect.GetTop() + rect.GetHeight() - 2 * u;
    const double h = d.bottom - d.top;
    const double a = 0.42 * h;
    if (direction == 1) {
        d.surfaceY = d.top + 0.62 * h;
        d.reliefTop = d.surfaceY - a;
    } else if (direction == 2) {
        d.surfaceY = d.top + 0.3 * h;
        d.reliefTop = d.surfaceY;
    } else {
        d.surfaceY = d.top + 0.5 * h;
        d.reliefTop = d.surfaceY - a / 2;
    }
    d.reliefBottom = d.reliefTop + a;
    const double period = (d.x1 - d.x0) / 2.5;
    for (int i = 0; i <= 64; ++i) {
        const double x = d.x0 + i * (d.x1 - d.x0) / 64.0;
        const double phase = period != 0.0 ? 2 * std::numbers::pi * (x - d.x0) / period : 0.0;
        d.wave.emplace_back(x, d.reliefBottom - a * (0.5 * std::sin(phase - std::numbers::pi / 2) + 0.5));
    }
    d.fill = d.wave;
    d.fill.emplace_back(d.x1, d.bottom);
    d.fill.emplace_back(d.x0, d.bottom);
    d.markerX = d.x1 + 6 * u;
    const int labelTop =
        static_cast<int>(std::trunc((d.reliefTop + d.reliefBottom) / 2)) - static_cast<int>(std::trunc(8 * u));
    const int labelLeft = static_cast<int>(std::trunc(d.markerX + 5 * u));
    d.label = wxRect(labelLeft, labelTop, std::max(0, rect.GetLeft() + rect.GetWidth() - labelLeft),
                     static_cast<int>(std::trunc(16 * u)));
    return d;
}

wxString StrengthLabel(float strength) { return ui::FormatFloatField(std::max(0.0f, strength)) + " mm"; }

wxRect DiagramRect(int clientWidth, unsigned dpi) {
    auto dip = [dpi](int size) { return ui::ScaleDip(size, dpi); };
    const int left = dip(220);
    const int right = clientWidth - dip(8);
    if (right - left < dip(64)) return wxRect();
    return wxRect(left, dip(38), right - left, dip(92) - dip(38));
}

wxRect KeepFlatRect(int clientWidth, unsigned dpi) {
    auto dip = [dpi](int size) { return ui::ScaleDip(size, dpi); };
    const wxRect diagram = DiagramRect(clientWidth, dpi);
    const int right = diagram.IsEmpty() ? clientWidth - dip(8) : diagram.GetLeft() - dip(6);
    return wxRect(dip(8), dip(68), std::max(0, right - dip(8)), dip(24));
}

}  // namespace ridgeforge
