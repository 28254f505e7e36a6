// The export cleanup's log line and its options in JSON.
#include <cstdio>
#include <string>

#include "relief/repair/ExportCleanup.h"

namespace ridgeforge::mesh {

namespace {

std::string Printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string FormatExportCleanupReport(const ExportCleanupReport& r) {
    if (r.verticesMerged == 0 && r.collapsedTrianglesDropped == 0 && r.fillTriangles == 0 && r.collapsesRefused == 0 &&
        r.zeroAreaTrianglesLeft == 0 && r.holesLeftOpen == 0) {
        return "nothing to clean up";
    }
    std::string text = "merged " + std::to_string(r.verticesMerged) + " vertices (tolerance " +
                       Printed("%.2e", r.toleranceMillimetres) + " mm), dropped " +
                       std::to_string(r.collapsedTrianglesDropped) + " collapsed triangles in " +
                       std::to_string(r.passes) + " pass(es); " + std::to_string(r.collapsesRefused) +
                       " collapses refused by the link condition, " + std::to_string(r.zeroAreaTrianglesLeft) +
                       " zero-area triangles left";
    if (r.holesFilled != 0) {
        text += "; filled " + std::to_string(r.holesFilled) + " hole(s) with " + std::to_string(r.fillTriangles) +
                " triangles (largest " + Printed("%.2f", r.largestFilledHoleMillimetres) + " mm across)";
    }
    if (r.holesLeftOpen != 0) {
        text += "; left " + std::to_string(r.holesLeftOpen) + " hole(s) open (largest " +
                Printed("%.2f", r.largestOpenHoleMillimetres) + " mm across; too large to close by guessing)";
    }
    return text;
}

void WriteExportCleanupOptions(const JsonWriter& writer, const ExportCleanupOptions& options) {
    writer.SetBool("weldCollapsedTriangles", options.weldCollapsedTriangles);
    writer.SetBool("fillHoles", options.fillHoles);
    writer.SetFloat("maximumHoleMillimetres", options.maximumHoleMillimetres);
    writer.SetFloat("maximumSlitWidthMillimetres", options.maximumSlitWidthMillimetres);
}

void ReadExportCleanupOptions(const JsonReader& reader, ExportCleanupOptions& options) {
    JsonGetBool(reader, "weldCollapsedTriangles", options.weldCollapsedTriangles);
    JsonGetBool(reader, "fillHoles", options.fillHoles);
    JsonGetFloat(reader, "maximumHoleMillimetres", options.maximumHoleMillimetres);
    JsonGetFloat(reader, "maximumSlitWidthMillimetres", options.maximumSlitWidthMillimetres);
}

}  // namespace ridgeforge::mesh
