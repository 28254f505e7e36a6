#include "testing/Shapes.h"

namespace ridgeforge::test {

mesh::TriangleMesh MakeBox(mesh::Vec3f lo, mesh::Vec3f hi) {
    mesh::TriangleMesh m;
    for (int i = 0; i < 8; ++i) {
        mesh::Vertex v;
        v.position = {(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z};
        m.vertices.push_back(v);
    }
    // Corner bit 0 is x, bit 1 is y, bit 2 is z; every face is wound outwards.
    m.indices = {0, 2, 3, 0, 3, 1,   // z min
                 4, 5, 7, 4, 7, 6,   // z max
                 0, 1, 5, 0, 5, 4,   // y min
                 2, 6, 7, 2, 7, 3,   // y max
                 0, 4, 6, 0, 6, 2,   // x min
                 1, 3, 7, 1, 7, 5};  // x max
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

}  // namespace ridgeforge::test
