// Lay on Face: the part is turned so that one of its flat surfaces rests on
// the bed. Only the orientation changes; the part as loaded stays as read,
// and the mask volumes turn with the part so they keep covering the same
// places.
#include "document/RidgeforgeDoc.h"
#include "document/DocumentText.h"
#include "document/internal/DocumentInternals.h"
#include "mesh/LayFlatTransform.h"

namespace ridgeforge {

bool CRidgeforgeDoc::LayOnFace(std::int32_t componentIndex) {
    printability = mesh::PrintabilityReport{};
    if (!HasPart() || componentIndex < 0 || static_cast<std::size_t>(componentIndex) >= components.size()) {
        return false;
    }
    // Taken before RotateToFace rebuilds the components.
    const float area = components[static_cast<std::size_t>(componentIndex)].area;
    {
        document_internal::WaitCursor wait(Host());
        const mesh::Transform flat =
            mesh::LayFlatTransform(workingPart, components[static_cast<std::size_t>(componentIndex)]);
        RotateToFace(mesh::Transform::Compose(flat, orientation));
    }
    Log(FormatText("Laid on a face of %.1f mm²; the part now stands on it.", static_cast<double>(area)), LogKind::Auto);
    return true;
}

void CRidgeforgeDoc::RotateToFace(const mesh::Transform& newOrientation) {
    if (!HasPart()) return;
    const mesh::Transform delta = mesh::Transform::Compose(newOrientation, orientation.Inverse());
    for (mesh::MaskVolume& volume : maskVolumes) volume = mesh::MaskVolume::Transformed(volume, delta);
    orientation = newOrientation;
    ReplaceInputMesh();
    SetModifiedFlag(true);
}

}  // namespace ridgeforge
