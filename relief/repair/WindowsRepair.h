// The mesh repair that Windows offers for 3D printing
// (Windows.Graphics.Printing3D), seen from the rest of the program: a probe
// that says once per process whether the service exists, and the repair call.
//
// This build runs on a system without the service: the probe answers false
// without starting a thread, and the repair call reports a failure and never
// touches the mesh. Callers ask IsWindowsRepairAvailable first and tell the
// user kWindowsRepairUnavailable instead of calling.
#pragma once

#include <atomic>
#include <string>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

inline constexpr const char* kWindowsRepairUnavailable = "This Windows does not offer the 3D printing repair service.";

struct WindowsRepairResult {
    bool succeeded = false;
    bool cancelled = false;
    std::string message;  // why it failed; empty on success and on cancellation
    TriangleMesh mesh;    // the repaired part, valid only when succeeded
    double seconds = 0.0;
};

// The kept answer of the one probe per process.
bool IsWindowsRepairAvailable();

// The probe's body: fills the bool with whether the service can be reached.
void ProbeWindowsRepairService(bool* available);

// Blocks until the repair has ended; `stop` (may be null) asks for a cancel.
// The mesh is only read.
WindowsRepairResult RepairMeshWithWindows(const TriangleMesh& mesh, const std::atomic<bool>* stop);

}  // namespace ridgeforge::mesh
