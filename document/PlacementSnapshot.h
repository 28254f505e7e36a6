// One entry of the placement history behind Undo and Redo: the orientation,
// the mapping, the processing settings with their switches and limits, the
// texture (shared, never changed once made) with its settings and the names
// that say where it came from, and the mask volumes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mesh/Transform.h"
#include "relief/mapping/MaskVolume.h"
#include "relief/mapping/Projection.h"
#include "relief/displacement/DisplacementSettings.h"
#include "mesh/remesh/RemeshSettings.h"
#include "mesh/simplify/SimplifySettings.h"
#include "textures/HeightMap.h"
#include "textures/TextureSettings.h"

namespace ridgeforge {

// The document's remesh defaults: the contouring method.
mesh::RemeshSettings DocumentRemeshDefaults();

struct PlacementSnapshot {
    mesh::Transform orientation = mesh::Transform::Identity();
    // activeLayer is always stored as -1.
    mesh::Projection projection;
    mesh::RemeshSettings remesh = DocumentRemeshDefaults();
    mesh::DisplacementSettings displacement;
    mesh::SimplifySettings simplify;
    bool remeshEnabled = true;
    bool displacementEnabled = true;
    bool simplifyEnabled = true;
    std::uint64_t maximumTriangles = 18'000'000;
    std::uint64_t displayTriangles = 4'000'000;
    std::shared_ptr<const mesh::HeightMap> texture;
    std::uint32_t textureRevision = 0;
    mesh::TextureSettings textureSettings;
    // The procedural pattern's display name; empty for an image texture.
    std::string proceduralName;
    // Its values as key=value lines.
    std::string proceduralParameters;
    std::wstring proceduralPresetName;
    std::wstring textureImagePath;
    std::vector<mesh::MaskVolume> maskVolumes;
};

// Whether b records nothing new against a: every field equal (floats
// exactly, so a NaN is a change) except the active layer and the texture
// pointer. The mask volumes count too, so that a mask edit is an entry of
// its own and comes back with Redo.
bool SnapshotUnchanged(const PlacementSnapshot& a, const PlacementSnapshot& b);

// a and b differ at most in the cage and the six texture layers.
bool SnapshotsDifferOnlyInCageOrLayers(const PlacementSnapshot& a, const PlacementSnapshot& b);

}  // namespace ridgeforge
