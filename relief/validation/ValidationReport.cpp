// The report's verdict steps and its two texts.
#include "relief/validation/ValidationReport.h"

#include <cstdio>

#include "text/Format.h"

namespace ridgeforge::mesh {
namespace {

const char* VerdictWord(ValidationVerdict verdict) {
    switch (verdict) {
        case ValidationVerdict::Good:
            return "Good";
        case ValidationVerdict::UsableWithCare:
            return "Usable with care";
        case ValidationVerdict::Unsuitable:
            return "Unsuitable";
    }
    return "Unknown";
}

const char* YesNo(bool value) { return value ? "yes" : "no"; }

std::string CountLine(const char* label, std::uint64_t count) { return label + FormatCount(count) + "\n"; }

}  // namespace

void ValidationReport::AddProblem(std::string sentence, std::string adviceText) {
    verdict = ValidationVerdict::Unsuitable;
    problems.push_back(std::move(sentence));
    advice.push_back(std::move(adviceText));
}

void ValidationReport::AddCaution(std::string sentence, std::string adviceText) {
    if (verdict != ValidationVerdict::Unsuitable) verdict = ValidationVerdict::UsableWithCare;
    problems.push_back(std::move(sentence));
    advice.push_back(std::move(adviceText));
}

std::string ValidationVerdictText(const ValidationReport& report) {
    std::string text = VerdictWord(report.verdict);
    if (report.problems.empty()) return text + ": no problems found.";
    text += ": " + FormatCount(report.problems.size());
    return text + (report.problems.size() == 1 ? " problem found." : " problems found.");
}

std::string FormatValidationReport(const ValidationReport& report) {
    std::string text = "Verdict: " + ValidationVerdictText(report) + "\n";
    text += CountLine("Triangles: ", report.triangleCount);
    text += CountLine("Vertices: ", report.vertexCount);
    text += CountLine("Components: ", report.componentCount);
    text += std::string("Closed: ") + YesNo(report.closed) + "\n";
    text += std::string("Orientable: ") + YesNo(report.orientable) + "\n";
    text += CountLine("Open boundary edges: ", report.edges.openBoundaryEdges);
    text += CountLine("Non-manifold edges: ", report.edges.nonManifoldEdges);
    text += CountLine("Reversed triangles: ", report.reversedTriangles.size());
    text += CountLine("Duplicate triangles: ", report.duplicateTriangles);
    text += CountLine("Degenerate triangles: ", report.degenerateTriangles);
    text += CountLine("Sliver triangles: ", report.sliverTriangles);
    text += CountLine("Unreferenced vertices: ", report.unreferencedVertices);
    if (report.stoppedEarly) {
        text += "Self-intersecting triangles: search stopped early\n";
    } else if (!report.selfIntersectionsSearched) {
        text += "Self-intersecting triangles: not checked\n";
    } else {
        text += CountLine("Self-intersecting triangles: ", report.selfIntersectingTriangles);
    }
    char volume[160];
    std::snprintf(volume, sizeof volume, "Signed volume: %.4f cubic mm%s\n", static_cast<double>(report.signedVolume),
                  report.insideOut ? " (inside out)" : "");
    text += volume;
    if (!report.problems.empty()) {
        for (std::size_t i = 0; i < report.problems.size(); ++i) {
            text += "\nProblem: " + report.problems[i] + "\n";
            if (i < report.advice.size()) text += "  " + report.advice[i] + "\n";
        }
    } else {
        for (const std::string& note : report.advice) text += "\nNote: " + note + "\n";
    }
    return text;
}

}  // namespace ridgeforge::mesh
