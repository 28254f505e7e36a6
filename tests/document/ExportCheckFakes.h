// Steps of the export check that the tests put in place of the real ones.
#pragma once

#include "document/ExportCheckWorker.h"

namespace ridgeforge::test {

// A read-back that finds nothing a slicer would refuse: every triangle
// written comes back.
inline mesh::SlicerReadBackReport CleanReadBack(mesh::TriangleMesh& m) {
    mesh::SlicerReadBackReport report;
    report.trianglesWritten = report.trianglesReadBack = m.TriangleCount();
    return report;
}

}  // namespace ridgeforge::test
