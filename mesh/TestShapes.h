// The generated shapes the document offers when no part is loaded. All are
// centred on the origin, wound counter-clockwise seen from outside, with
// bounds and normals computed. Negative sizes count as 0.
#pragma once

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

// 8 vertices, 12 triangles.
TriangleMesh MakeTestCube(float edge);
// Axis along Z, 64 segments: 130 vertices, 256 triangles.
TriangleMesh MakeTestCylinder(float radius, float height);
// 96 segments around, 48 bands pole to pole: 4,514 vertices, 9,024 triangles.
TriangleMesh MakeTestSphere(float radius);

}  // namespace ridgeforge::mesh
