// The read-back: the part goes through binary STL in memory (32-bit float
// corners, no shared vertices) and the program's own import welds it again,
// which is what a slicer sees.
#include "mesh/StlExport.h"
#include "mesh/StlImport.h"
#include "relief/repair/FixBuildingBlocks.h"
#include "relief/repair/Repair.h"

namespace ridgeforge::mesh {

SlicerReadBackReport CheckSlicerReadBack(TriangleMesh& mesh) {
    SlicerReadBackReport report;
    if (!IsValidMesh(mesh)) return report;
    report.trianglesWritten = mesh.TriangleCount();
    report.facetsWithNoArea = fixes::CountZeroAreaTriangles(mesh);
    const std::vector<std::uint8_t> bytes = EncodeBinaryStl(mesh, std::string());
    StlImportOptions options;
    options.weld = true;
    options.weldTolerance = -1.0f;
    options.removeDegenerate = true;
    options.removeZeroArea = false;
    options.removeDuplicates = false;
    options.recomputeNormals = true;
    StlImportResult parsed = ParseStl(bytes, "read back", options);
    if (!parsed.ok) return report;
    // The import measured the bounds, normals and edges of the mesh it hands
    // over; they are taken as they are rather than worked out again.
    mesh.vertices = std::move(parsed.mesh.vertices);
    mesh.indices = std::move(parsed.mesh.indices);
    mesh.boundsMin = parsed.mesh.boundsMin;
    mesh.boundsMax = parsed.mesh.boundsMax;
    mesh.boundsValid = parsed.mesh.boundsValid;
    report.trianglesReadBack = mesh.TriangleCount();
    report.openEdges = parsed.report.openBoundaryEdges;
    report.overSharedEdges = parsed.report.nonManifoldEdges;
    return report;
}

}  // namespace ridgeforge::mesh
