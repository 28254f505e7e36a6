// Log text of the solid relief.
#include <algorithm>
#include <iomanip>
#include <sstream>

#include "relief/displacement/SolidDisplacement.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::size_t kLinesPerKind = 10;

void AppendKind(std::ostringstream& out, const char* kind, std::vector<RemovedBody> bodies) {
    std::stable_sort(bodies.begin(), bodies.end(),
                     [](const RemovedBody& a, const RemovedBody& b) { return a.triangles > b.triangles; });
    out << std::fixed;
    for (std::size_t i = 0; i < std::min(bodies.size(), kLinesPerKind); ++i) {
        const RemovedBody& body = bodies[i];
        const Vec3f size = body.boundsMax - body.boundsMin;
        const Vec3f centre = (body.boundsMin + body.boundsMax) * 0.5f;
        out << std::setprecision(2) << "  " << kind << ' ' << size.x << " x " << size.y << " x " << size.z << " mm at ("
            << centre.x << ' ' << centre.y << ' ' << centre.z << "), " << body.triangles << " triangles";
        if (body.volume != 0.0) out << ", " << std::setprecision(4) << std::abs(body.volume) << " mm3";
        out << '\n';
    }
    if (bodies.size() > kLinesPerKind) {
        out << "  and " << bodies.size() - kLinesPerKind << " more " << kind << "s\n";
    }
}

}  // namespace

std::string FormatRemovedBodies(const SolidDisplacementReport& report) {
    std::ostringstream out;
    AppendKind(out, "void", report.voidList);
    AppendKind(out, "crumb", report.crumbList);
    AppendKind(out, "thin body", report.thinBodyList);
    return out.str();
}

std::string FormatSolidDisplacementReport(const SolidDisplacementReport& report) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(0);
    if (report.refused) {
        out << "Solid displacement refused: about " << report.triangleEstimate << " triangles would be over the limit";
        return out.str();
    }
    if (!report.failure.empty()) return report.failure;
    out << "Solid displacement: " << report.heightsHeld << " of " << report.heights
        << " heights held to keep slots and walls open; field " << report.fieldSize[0] << " x " << report.fieldSize[1]
        << " x " << report.fieldSize[2] << ", " << report.blocksStored << " blocks stored ("
        << report.fieldBytes / 1000000 << " MB), " << report.pointsMeasured << " points measured; "
        << report.cellsContoured << " cells contoured";
    if (report.bodiesRemoved > 0) {
        out << "; taken off as unprintable (line " << std::setprecision(2) << report.lineWidth << std::setprecision(0)
            << " mm): " << report.voids << " voids and " << report.crumbs << " crumbs under a cube of one line, "
            << report.thinBodies << " bodies thinner than one line (" << report.trianglesRemoved << " triangles)";
    }
    out << "\n  time: cap " << report.capMilliseconds << " ms; field " << report.fieldMilliseconds << " ms; contour "
        << report.contourMilliseconds << " ms";
    if (report.bodiesRemoved > 0) {
        std::string bodies = FormatRemovedBodies(report);
        if (!bodies.empty() && bodies.back() == '\n') bodies.pop_back();
        out << '\n' << bodies;
    }
    return out.str();
}

}  // namespace ridgeforge::mesh
