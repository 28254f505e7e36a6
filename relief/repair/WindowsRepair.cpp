// The repair service layer on a system that has no Windows Runtime. The
// answer is fixed, so there is nothing to probe and no thread to start; the
// repair call gives the service's own failure text.
#include "relief/repair/WindowsRepair.h"

#include "platform/PrintingRepairService.h"

namespace ridgeforge::mesh {

bool IsWindowsRepairAvailable() { return platform::PrintingRepairServiceAvailable(); }

void ProbeWindowsRepairService(bool* available) {
    if (available != nullptr) *available = platform::PrintingRepairServiceAvailable();
}

WindowsRepairResult RepairMeshWithWindows(const TriangleMesh& /*mesh*/, const std::atomic<bool>* /*stop*/) {
    WindowsRepairResult result;
    result.message = "The Windows repair service failed.";
    return result;
}

}  // namespace ridgeforge::mesh
