#include "document/PlacementSnapshot.h"

namespace ridgeforge {

mesh::RemeshSettings DocumentRemeshDefaults() {
    mesh::RemeshSettings settings;
    settings.method = mesh::kRemeshContour;
    return settings;
}

namespace {

bool SameVec(const mesh::Vec3f& a, const mesh::Vec3f& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// All twelve numbers; a NaN is unequal to everything.
bool SameTransform(const mesh::Transform& a, const mesh::Transform& b) {
    return SameVec(a.rowX, b.rowX) && SameVec(a.rowY, b.rowY) && SameVec(a.rowZ, b.rowZ) &&
           SameVec(a.translation, b.translation);
}

bool SameProjectionIgnoringActiveLayer(mesh::Projection a, mesh::Projection b) {
    a.activeLayer = -1;
    b.activeLayer = -1;
    return a == b;
}

bool SameAllButPlacement(const PlacementSnapshot& a, const PlacementSnapshot& b) {
    return SameTransform(a.orientation, b.orientation) && a.remesh == b.remesh && a.displacement == b.displacement &&
           a.simplify == b.simplify && a.remeshEnabled == b.remeshEnabled &&
           a.displacementEnabled == b.displacementEnabled && a.simplifyEnabled == b.simplifyEnabled &&
           a.maximumTriangles == b.maximumTriangles && a.displayTriangles == b.displayTriangles &&
           a.textureRevision == b.textureRevision && a.textureSettings == b.textureSettings &&
           a.proceduralName == b.proceduralName && a.proceduralParameters == b.proceduralParameters &&
           a.proceduralPresetName == b.proceduralPresetName && a.textureImagePath == b.textureImagePath &&
           a.maskVolumes == b.maskVolumes;
}

}  // namespace

bool SnapshotUnchanged(const PlacementSnapshot& a, const PlacementSnapshot& b) {
    return SameAllButPlacement(a, b) && SameProjectionIgnoringActiveLayer(a.projection, b.projection);
}

bool SnapshotsDifferOnlyInCageOrLayers(const PlacementSnapshot& a, const PlacementSnapshot& b) {
    if (!SameAllButPlacement(a, b)) return false;
    mesh::Projection pa = a.projection;
    mesh::Projection pb = b.projection;
    pb.cage = pa.cage;
    pb.layer = pa.layer;
    return SameProjectionIgnoringActiveLayer(pa, pb);
}

}  // namespace ridgeforge
