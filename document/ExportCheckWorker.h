// The work behind the Save STL dialog: a copy of the mesh is cleaned, fixed
// and read back as a slicer reads a binary STL file, in up to three rounds,
// and then checked by the caller's check function.
//
// A round runs the export cleanup, the export fixes when any of their four
// switches is on, and the read-back. Another round follows when the read-back
// still finds something a slicer would refuse, or when it is clean but the
// self-intersection pass left fewer crossing triangles than the round before.
// The report holds the first round's cleanup and fix texts, one line per
// read-back and the check function's text, every line ending in "\r\n".
//
// Runs on the caller's thread (the dialog runs it on a worker thread). The
// stop flag is read at the start of each round and before the check; a
// stopped run hands back nothing but the flag.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "mesh/TriangleMesh.h"
#include "relief/repair/ExportCleanup.h"
#include "relief/repair/ExportFixes.h"
#include "relief/repair/Repair.h"

namespace ridgeforge {

inline constexpr int kExportCheckRounds = 3;

struct ExportCheckInputs {
    float weldToleranceMillimetres = 0.0f;
    mesh::ExportCleanupOptions cleanup;
    mesh::ExportFixOptions fixes{true, true, true, true, 40, 1.0f};
    std::uint64_t bodyCount = 0;  // bodies of the part before, for the fixes
};

// Hears each stage text as the user is to read it ("Cleaning up the mesh...").
using ExportStageCallback = std::function<void(const std::wstring&)>;
// Appends its report to the text; true when it found no problem.
using ExportCheckFunction = std::function<bool(const mesh::TriangleMesh&, std::wstring&)>;

struct ExportCheckResult {
    bool stopped = false;
    mesh::TriangleMesh mesh;            // cleaned, fixed and read back
    mesh::ExportCleanupReport cleanup;  // of the first round
    mesh::ExportFixReport fixes;        // of the first round; all zero with the fixes off
    std::wstring report;
    bool checksPassed = false;  // the check function's answer; false without one
    double seconds = 0.0;
};

// The three steps of a round. An empty member runs the real step; tests put
// in steps whose findings they choose, to drive the rounds.
struct ExportCheckSteps {
    std::function<mesh::ExportCleanupReport(mesh::TriangleMesh&, float, const mesh::ExportCleanupOptions&)> cleanup;
    std::function<mesh::ExportFixReport(mesh::TriangleMesh&, const mesh::ExportFixOptions&,
                                        const mesh::FixStageCallback&, std::uint64_t)>
        fixes;
    std::function<mesh::SlicerReadBackReport(mesh::TriangleMesh&)> readBack;
};

// The mesh is taken by value: the caller hands in its copy.
ExportCheckResult RunExportCheck(mesh::TriangleMesh mesh, const ExportCheckInputs& inputs,
                                 const ExportStageCallback& stage, const ExportCheckFunction& check,
                                 const std::atomic<bool>& stop, const ExportCheckSteps& steps = {});

}  // namespace ridgeforge
