// Equality and the JSON form of the mapping record.
#include "mesh/mapping/Projection.h"

#include <array>
#include <string>

#include "mesh/Json.h"
#include "mesh/mapping/EnumWords.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::array<EnumWord<ProjectionType>, 4> kTypeWords = {{
    {ProjectionType::Box, "box"},
    {ProjectionType::Plane, "plane"},
    {ProjectionType::Cylinder, "cylinder"},
    {ProjectionType::Sphere, "sphere"},
}};

constexpr std::array<EnumWord<Axis>, 3> kAxisWords = {{
    {Axis::X, "x"},
    {Axis::Y, "y"},
    {Axis::Z, "z"},
}};

constexpr std::array<EnumWord<SurfaceSelection>, 3> kSurfaceWords = {{
    {SurfaceSelection::Outside, "outside"},
    {SurfaceSelection::Inside, "inside"},
    {SurfaceSelection::Both, "both"},
}};

constexpr std::array<const char*, kSideCount> kSideKeys = {"px", "nx", "py", "ny", "pz", "nz"};

std::string SideSettingKey(int side, const char* name) { return std::string("box.side.") + kSideKeys[side] + "." + name; }
std::string LayerKey(int side, const char* name) { return std::string("layer.") + kSideKeys[side] + "." + name; }

}  // namespace

bool ProjectionCage::operator==(const ProjectionCage& other) const {
    return center == other.center && rotationDegrees == other.rotationDegrees && size == other.size;
}

bool LayersEqual(const Projection& a, const Projection& b) {
    for (int i = 0; i < kSideCount; ++i) {
        const ProjectionLayer& x = a.layer[i];
        const ProjectionLayer& y = b.layer[i];
        if (!(x.originMillimetres[0] == y.originMillimetres[0] && x.originMillimetres[1] == y.originMillimetres[1] &&
              x.rotationDegrees == y.rotationDegrees && x.zoom == y.zoom && x.image == y.image)) {
            return false;
        }
    }
    return true;
}

bool Projection::operator==(const Projection& o) const {
    return type == o.type && cage == o.cage && box.sideEnabled == o.box.sideEnabled &&
           box.sideSurface == o.box.sideSurface && box.blended == o.box.blended &&
           box.blendSharpness == o.box.blendSharpness && plane.twoSided == o.plane.twoSided &&
           plane.axis == o.plane.axis && cylinder.axis == o.cylinder.axis && cylinder.surface == o.cylinder.surface &&
           cylinder.seamDegrees == o.cylinder.seamDegrees && cylinder.sideEnabled == o.cylinder.sideEnabled &&
           cylinder.topCapEnabled == o.cylinder.topCapEnabled &&
           cylinder.bottomCapEnabled == o.cylinder.bottomCapEnabled && cylinder.wholeTiles == o.cylinder.wholeTiles &&
           sphere.axis == o.sphere.axis && sphere.wholeTiles == o.sphere.wholeTiles && LayersEqual(*this, o) &&
           activeLayer == o.activeLayer;
}

const char* SideKey(int side) { return side >= 0 && side < kSideCount ? kSideKeys[side] : nullptr; }

void WriteProjection(const JsonWriter& writer, const Projection& p) {
    JsonSetEnum<ProjectionType>(writer, "type", p.type, kTypeWords);
    const ProjectionCage& cage = p.cage;
    JsonSetVec3(writer, "cage.center", cage.center.x, cage.center.y, cage.center.z);
    JsonSetVec3(writer, "cage.rotationDegrees", cage.rotationDegrees.x, cage.rotationDegrees.y, cage.rotationDegrees.z);
    JsonSetVec3(writer, "cage.size", cage.size.x, cage.size.y, cage.size.z);
    for (int i = 0; i < kSideCount; ++i) {
        JsonSetBool(writer, SideSettingKey(i, "enabled"), p.box.sideEnabled[i]);
        JsonSetEnum<SurfaceSelection>(writer, SideSettingKey(i, "surface"), p.box.sideSurface[i], kSurfaceWords);
    }
    JsonSetBool(writer, "box.blended", p.box.blended);
    JsonSetFloat(writer, "box.blendSharpness", p.box.blendSharpness);
    JsonSetBool(writer, "plane.twoSided", p.plane.twoSided);
    JsonSetEnum<Axis>(writer, "plane.axis", p.plane.axis, kAxisWords);
    JsonSetEnum<Axis>(writer, "cylinder.axis", p.cylinder.axis, kAxisWords);
    JsonSetEnum<SurfaceSelection>(writer, "cylinder.surface", p.cylinder.surface, kSurfaceWords);
    JsonSetFloat(writer, "cylinder.seamDegrees", p.cylinder.seamDegrees);
    JsonSetBool(writer, "cylinder.sideEnabled", p.cylinder.sideEnabled);
    JsonSetBool(writer, "cylinder.topCapEnabled", p.cylinder.topCapEnabled);
    JsonSetBool(writer, "cylinder.bottomCapEnabled", p.cylinder.bottomCapEnabled);
    JsonSetBool(writer, "cylinder.wholeTiles", p.cylinder.wholeTiles);
    JsonSetEnum<Axis>(writer, "sphere.axis", p.sphere.axis, kAxisWords);
    JsonSetBool(writer, "sphere.wholeTiles", p.sphere.wholeTiles);
    for (int i = 0; i < kSideCount; ++i) {
        const ProjectionLayer& layer = p.layer[i];
        JsonSetVec2(writer, LayerKey(i, "originMillimetres"), layer.originMillimetres[0], layer.originMillimetres[1]);
        JsonSetFloat(writer, LayerKey(i, "rotationDegrees"), layer.rotationDegrees);
        JsonSetFloat(writer, LayerKey(i, "zoom"), layer.zoom);
        JsonSetInteger(writer, LayerKey(i, "image"), layer.image);
    }
    JsonSetInteger(writer, "activeLayer", p.activeLayer);
}

void ReadProjection(const JsonReader& reader, Projection& p) {
    JsonGetEnum<ProjectionType>(reader, "type", p.type, kTypeWords);
    ProjectionCage& cage = p.cage;
    JsonGetVec3(reader, "cage.center", cage.center.x, cage.center.y, cage.center.z);
    JsonGetVec3(reader, "cage.rotationDegrees", cage.rotationDegrees.x, cage.rotationDegrees.y, cage.rotationDegrees.z);
    JsonGetVec3(reader, "cage.size", cage.size.x, cage.size.y, cage.size.z);
    for (int i = 0; i < kSideCount; ++i) {
        JsonGetBool(reader, SideSettingKey(i, "enabled"), p.box.sideEnabled[i]);
        JsonGetEnum<SurfaceSelection>(reader, SideSettingKey(i, "surface"), p.box.sideSurface[i], kSurfaceWords);
    }
    JsonGetBool(reader, "box.blended", p.box.blended);
    JsonGetFloat(reader, "box.blendSharpness", p.box.blendSharpness);
    JsonGetBool(reader, "plane.twoSided", p.plane.twoSided);
    JsonGetEnum<Axis>(reader, "plane.axis", p.plane.axis, kAxisWords);
    JsonGetEnum<Axis>(reader, "cylinder.axis", p.cylinder.axis, kAxisWords);
    JsonGetEnum<SurfaceSelection>(reader, "cylinder.surface", p.cylinder.surface, kSurfaceWords);
    JsonGetFloat(reader, "cylinder.seamDegrees", p.cylinder.seamDegrees);
    JsonGetBool(reader, "cylinder.sideEnabled", p.cylinder.sideEnabled);
    JsonGetBool(reader, "cylinder.topCapEnabled", p.cylinder.topCapEnabled);
    JsonGetBool(reader, "cylinder.bottomCapEnabled", p.cylinder.bottomCapEnabled);
    JsonGetBool(reader, "cylinder.wholeTiles", p.cylinder.wholeTiles);
    JsonGetEnum<Axis>(reader, "sphere.axis", p.sphere.axis, kAxisWords);
    JsonGetBool(reader, "sphere.wholeTiles", p.sphere.wholeTiles);
    for (int i = 0; i < kSideCount; ++i) {
        ProjectionLayer& layer = p.layer[i];
        JsonGetVec2(reader, LayerKey(i, "originMillimetres"), layer.originMillimetres[0], layer.originMillimetres[1]);
        JsonGetFloat(reader, LayerKey(i, "rotationDegrees"), layer.rotationDegrees);
        JsonGetFloat(reader, LayerKey(i, "zoom"), layer.zoom);
        JsonGetInt32(reader, LayerKey(i, "image"), layer.image);
    }
    JsonGetInt32(reader, "activeLayer", p.activeLayer);
    if (p.activeLayer < -1 || p.activeLayer > 5) p.activeLayer = -1;
}

}  // namespace ridgeforge::mesh
