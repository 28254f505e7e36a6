// Equality and the JSON form of the mapping record.
#include "relief/mapping/Projection.h"

#include <array>
#include <string>

#include "mesh/Json.h"
#include "relief/mapping/JsonFields.h"

namespace ridgeforge::mesh {
namespace {

constexpr EnumWord<ProjectionType> kTypeWords[] = {
    {ProjectionType::Box, "box"},
    {ProjectionType::Plane, "plane"},
    {ProjectionType::Cylinder, "cylinder"},
    {ProjectionType::Sphere, "sphere"},
};

constexpr EnumWord<Axis> kAxisWords[] = {{Axis::X, "x"}, {Axis::Y, "y"}, {Axis::Z, "z"}};

constexpr EnumWord<SurfaceSelection> kSurfaceWords[] = {
    {SurfaceSelection::Outside, "outside"},
    {SurfaceSelection::Inside, "inside"},
    {SurfaceSelection::Both, "both"},
};

constexpr std::array<const char*, kSideCount> kSideKeys = {"px", "nx", "py", "ny", "pz", "nz"};

std::string SideSettingKey(int side, const char* name) {
    return std::string("box.side.") + kSideKeys[side] + "." + name;
}
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

// Every key in writing order; P is Projection or const Projection.
template <typename Fields, typename P>
void VisitProjection(const Fields& f, P& p) {
    f.Word("type", p.type, kTypeWords);
    f.Vec3("cage.center", p.cage.center);
    f.Vec3("cage.rotationDegrees", p.cage.rotationDegrees);
    f.Vec3("cage.size", p.cage.size);
    for (int i = 0; i < kSideCount; ++i) {
        f.Bool(SideSettingKey(i, "enabled"), p.box.sideEnabled[i]);
        f.Word(SideSettingKey(i, "surface"), p.box.sideSurface[i], kSurfaceWords);
    }
    f.Bool("box.blended", p.box.blended);
    f.Float("box.blendSharpness", p.box.blendSharpness);
    f.Bool("plane.twoSided", p.plane.twoSided);
    f.Word("plane.axis", p.plane.axis, kAxisWords);
    f.Word("cylinder.axis", p.cylinder.axis, kAxisWords);
    f.Word("cylinder.surface", p.cylinder.surface, kSurfaceWords);
    f.Float("cylinder.seamDegrees", p.cylinder.seamDegrees);
    f.Bool("cylinder.sideEnabled", p.cylinder.sideEnabled);
    f.Bool("cylinder.topCapEnabled", p.cylinder.topCapEnabled);
    f.Bool("cylinder.bottomCapEnabled", p.cylinder.bottomCapEnabled);
    f.Bool("cylinder.wholeTiles", p.cylinder.wholeTiles);
    f.Word("sphere.axis", p.sphere.axis, kAxisWords);
    f.Bool("sphere.wholeTiles", p.sphere.wholeTiles);
    for (int i = 0; i < kSideCount; ++i) {
        f.Vec2(LayerKey(i, "originMillimetres"), p.layer[i].originMillimetres);
        f.Float(LayerKey(i, "rotationDegrees"), p.layer[i].rotationDegrees);
        f.Float(LayerKey(i, "zoom"), p.layer[i].zoom);
        f.Int(LayerKey(i, "image"), p.layer[i].image);
    }
    f.Int("activeLayer", p.activeLayer);
}

void WriteProjection(const JsonWriter& writer, const Projection& projection) {
    VisitProjection(JsonFieldWriter{writer}, projection);
}

void ReadProjection(const JsonReader& reader, Projection& projection) {
    VisitProjection(JsonFieldReader{reader}, projection);
    if (projection.activeLayer < -1 || projection.activeLayer > 5) projection.activeLayer = -1;
}

}  // namespace ridgeforge::mesh
