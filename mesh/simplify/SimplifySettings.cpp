// JSON form of the simplify settings.
#include "mesh/simplify/SimplifySettings.h"

#include "mesh/Json.h"

namespace ridgeforge::mesh {

void WriteSimplifySettings(const JsonWriter& writer, const SimplifySettings& settings) {
    JsonSetFloat(writer, "planarToleranceMillimetres", settings.planarToleranceMillimetres);
    JsonSetFloat(writer, "relativePlanarTolerance", settings.relativePlanarTolerance);
    JsonSetFloat(writer, "planarAngleDegrees", settings.planarAngleDegrees);
    JsonSetFloat(writer, "minimumTriangleHeightMillimetres", settings.minimumTriangleHeightMillimetres);
    JsonSetInteger(writer, "maximumValence", settings.maximumValence);
    JsonSetInteger(writer, "maximumSweeps", settings.maximumSweeps);
    JsonSetBool(writer, "preserveVertexNormals", settings.preserveVertexNormals);
    JsonSetBool(writer, "protectTexturedFaces", settings.protectTexturedFaces);
    JsonSetBool(writer, "flatAreas", settings.flatAreas);
    JsonSetBool(writer, "wholeMesh", settings.wholeMesh);
    JsonSetFloat(writer, "meshDetailError", settings.meshDetailError);
}

void ReadSimplifySettings(const JsonReader& reader, SimplifySettings& settings) {
    JsonGetFloat(reader, "planarToleranceMillimetres", settings.planarToleranceMillimetres);
    JsonGetFloat(reader, "relativePlanarTolerance", settings.relativePlanarTolerance);
    JsonGetFloat(reader, "planarAngleDegrees", settings.planarAngleDegrees);
    JsonGetFloat(reader, "minimumTriangleHeightMillimetres", settings.minimumTriangleHeightMillimetres);
    JsonGetInt32(reader, "maximumValence", settings.maximumValence);
    JsonGetInt32(reader, "maximumSweeps", settings.maximumSweeps);
    JsonGetBool(reader, "preserveVertexNormals", settings.preserveVertexNormals);
    JsonGetBool(reader, "protectTexturedFaces", settings.protectTexturedFaces);
    JsonGetBool(reader, "flatAreas", settings.flatAreas);
    JsonGetBool(reader, "wholeMesh", settings.wholeMesh);
    JsonGetFloat(reader, "meshDetailError", settings.meshDetailError);
}

}  // namespace ridgeforge::mesh
