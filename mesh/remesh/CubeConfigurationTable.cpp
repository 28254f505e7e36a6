// The dual-contouring cube table: crossed edges joined into pieces by a
// union-find over the cell's faces, in the manner of Schaefer, Ju and Warren,
// "Manifold Dual Contouring" (2007), where one vertex is made per piece rather
// than per cell so that the output stays manifold.
#include "mesh/remesh/CubeConfigurationTable.h"

namespace ridgeforge::mesh {
namespace {

struct EdgeUnion {
    std::uint8_t parent[12];

    EdgeUnion() {
        for (std::uint8_t i = 0; i < 12; ++i) parent[i] = i;
    }
    int Find(int e) const {
        while (parent[e] != e) e = parent[e];
        return e;
    }
    // The root with the larger index goes under the smaller, so every piece's
    // root is its smallest edge and the numbering below follows edge order.
    void Unite(int a, int b) {
        const int ra = Find(a);
        const int rb = Find(b);
        if (ra < rb) {
            parent[rb] = static_cast<std::uint8_t>(ra);
        } else if (rb < ra) {
            parent[ra] = static_cast<std::uint8_t>(rb);
        }
    }
};

CubeConfigurationTable BuildTable() {
    CubeConfigurationTable table{};
    for (int c = 0; c < 256; ++c) {
        std::uint8_t joined = 0;
        table.componentCounts[c] = static_cast<std::uint8_t>(
            ResolveCubeConfiguration(static_cast<std::uint8_t>(c), 0, table.edgeComponents[c], &joined));
        table.joinedFaces[c] = joined;
    }
    return table;
}

}  // namespace

std::int32_t ResolveCubeConfiguration(std::uint8_t configuration, std::uint8_t faceMask,
                                      std::uint8_t edgeComponents[12], std::uint8_t* joinedFaces) {
    bool crossed[12];
    for (int e = 0; e < 12; ++e) {
        const int lo = CubeEdgeCorner(e, 0);
        const int hi = CubeEdgeCorner(e, 1);
        crossed[e] = ((configuration >> lo) & 1) != ((configuration >> hi) & 1);
    }

    EdgeUnion pieces;
    int ambiguousFaces[6];
    int ambiguousCount = 0;
    for (int f = 0; f < 6; ++f) {
        const int a = f >> 1;
        const int s = f & 1;
        const int b = (a + 1) % 3;
        const int c = (a + 2) % 3;
        const int e[4] = {4 * b + 2 * s, 4 * b + 2 * s + 1, 4 * c + s, 4 * c + s + 2};
        int count = 0;
        int first = -1;
        int second = -1;
        for (int i = 0; i < 4; ++i) {
            if (!crossed[e[i]]) continue;
            if (count == 0) first = e[i];
            if (count == 1) second = e[i];
            ++count;
        }
        if (count == 2) {
            pieces.Unite(first, second);
        } else if (count == 4) {
            const int originCorner = s << a;
            const int originBit = (configuration >> originCorner) & 1;
            const int maskBit = (faceMask >> f) & 1;
            if (originBit == maskBit) {
                // The origin corner and its diagonal are joined across the face.
                pieces.Unite(e[0], e[3]);
                pieces.Unite(e[1], e[2]);
            } else {
                pieces.Unite(e[0], e[2]);
                pieces.Unite(e[1], e[3]);
            }
            ambiguousFaces[ambiguousCount++] = f;
        }
    }

    int pieceCount = 0;
    std::uint8_t numberOfRoot[12];
    for (int e = 0; e < 12; ++e) {
        if (!crossed[e]) {
            edgeComponents[e] = kNoCubePiece;
            continue;
        }
        const int root = pieces.Find(e);
        if (root == e) numberOfRoot[e] = static_cast<std::uint8_t>(pieceCount++);
        edgeComponents[e] = numberOfRoot[root];
    }

    if (joinedFaces != nullptr) {
        *joinedFaces = 0;
        for (int i = 0; i < ambiguousCount; ++i) {
            const int f = ambiguousFaces[i];
            const int a = f >> 1;
            const int s = f & 1;
            const int b = (a + 1) % 3;
            if (pieces.Find(4 * b + 2 * s) == pieces.Find(4 * b + 2 * s + 1)) {
                *joinedFaces = static_cast<std::uint8_t>(*joinedFaces | (1 << f));
            }
        }
    }
    return pieceCount;
}

const CubeConfigurationTable& GetCubeConfigurationTable() {
    static const CubeConfigurationTable table = BuildTable();
    return table;
}

}  // namespace ridgeforge::mesh
