// The repair service layer on a system that has no Windows Runtime. The
// answer is fixed, so there is nothing to probe and no thread to start; the
// repair call gives the service's own failure text.
#include "platform/WindowsRepair.h"

namespace ridgeforge::platform {

bool IsWindowsRepairAvailable() { return false; }

void ProbeWindowsRepairService(bool* available) {
    if (available != nullptr) *available = false;
}

WindowsRepairResult RepairMeshWithWindows(const mesh::TriangleMesh& /*mesh*/, const std::atomic<bool>* /*stop*/) {
    WindowsRepairResult result;
    result.message = "The Windows repair service failed.";
    return result;
}

}  // namespace ridgeforge::platform
