// The JSON form of the relief settings and the text of the displacement report.
#include "relief/displacement/DisplacementSettings.h"

#include <iomanip>
#include <sstream>

#include "mesh/Json.h"
#include "relief/mapping/JsonFields.h"

namespace ridgeforge::mesh {
namespace {

constexpr EnumWord<DisplacementMethod> kMethodWords[] = {
    {DisplacementMethod::Solid, "solid"},
    {DisplacementMethod::Mesh, "mesh"},
};
constexpr EnumWord<MidLevelMode> kMidLevelWords[] = {
    {MidLevelMode::Manual, "manual"},
    {MidLevelMode::Automatic, "automatic"},
};
constexpr EnumWord<DisplacementDirection> kDirectionWords[] = {
    {DisplacementDirection::Centred, "centred"},
    {DisplacementDirection::Outward, "outward"},
    {DisplacementDirection::Inward, "inward"},
};
constexpr EnumWord<OutsideRule> kOutsideWords[] = {
    {OutsideRule::Any, "any"},
    {OutsideRule::All, "all"},
    {OutsideRule::Average, "average"},
};

// Every key in writing order; S is DisplacementSettings or its const form.
template <typename Fields, typename S>
void VisitDisplacementSettings(const Fields& f, S& s) {
    f.Word("method", s.method, kMethodWords);
    f.Float("strengthMillimetres", s.strengthMillimetres);
    f.Float("midLevel", s.midLevel);
    f.Word("midLevelMode", s.midLevelMode, kMidLevelWords);
    f.Word("direction", s.direction, kDirectionWords);
    f.Bool("invert", s.invert);
    f.Word("outsideRule", s.outsideRule, kOutsideWords);
    f.Bool("limitToClearance", s.limitToClearance);
    f.Bool("mitreCreases", s.mitreCreases);
    f.Bool("preventFolds", s.preventFolds);
    f.Float("maximumTiltDegrees", s.maximumTiltDegrees);
    f.Float("wallThresholdMillimetres", s.wallThresholdMillimetres);
    f.Bool("checkThinWalls", s.checkThinWalls);
    f.Bool("holdThinWalls", s.holdThinWalls);
    f.Bool("base.enabled", s.base.enabled);
    f.Int("base.axis", s.base.axis);
    f.Bool("base.protectBelow", s.base.protectBelow);
    f.Float("base.planeMillimetres", s.base.planeMillimetres);
    f.Float("base.bandMillimetres", s.base.bandMillimetres);
}

}  // namespace

void WriteDisplacementSettings(const JsonWriter& writer, const DisplacementSettings& settings) {
    VisitDisplacementSettings(JsonFieldWriter{writer}, settings);
}

void ReadDisplacementSettings(const JsonReader& reader, DisplacementSettings& settings) {
    VisitDisplacementSettings(JsonFieldReader{reader}, settings);
}

std::string FormatDisplacementReport(const DisplacementReport& r) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(4);
    out << "Displaced " << r.displacedVertices << " of " << r.totalVertices << " vertices, " << r.smallestOffset
        << " to " << r.largestOffset << " mm, relief " << r.relief << " mm, mid-level " << r.midLevel;
    if (r.trianglesTurningOver != 0) {
        out << "; " << r.trianglesTurningOver << " triangles turning over eased in " << r.foldRounds << " round(s) ("
            << r.foldVertices << " vertices, " << r.foldFurtherThanBefore << " now further than before, "
            << r.foldPastClearance << " past their clearance), " << r.trianglesLeftTurned << " left";
    }
    if (r.keptLevelAtBase != 0) out << "; " << r.keptLevelAtBase << " kept level at the base";
    if (r.heldAtBasePlane != 0) out << "; " << r.heldAtBasePlane << " held at the base plane";
    if (r.cutShortByClearance != 0) out << "; " << r.cutShortByClearance << " cut short by clearance";
    if (!r.stages.empty()) {
        out << std::setprecision(0) << "\n    stages:";
        for (const StageTime& stage : r.stages) out << " " << stage.name << " " << stage.milliseconds << " ms;";
    }
    out << "\n";
    if (r.notMovedInward != 0) {
        out << "  " << r.notMovedInward
            << " vertices not moved inward: the wall under them would have gone below the threshold\n";
    }
    return out.str();
}

}  // namespace ridgeforge::mesh
