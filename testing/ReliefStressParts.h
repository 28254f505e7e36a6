// Generated printable parts that stress the relief as real parts do: a thin
// plate with through-holes, ribs and raised and sunk lettering, a sheet a
// tenth of a millimetre thick, a cone and a screw standing on the bed and an
// organic lump. Each is closed, outward-wound and welded, stands on z = 0 and
// is a few tens of millimetres across, so that a relief at 0.2 mm triangles
// stays quick.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mesh/TestShapes.h"
#include "mesh/TriangleMesh.h"
#include "testing/Shapes.h"
#include "testing/StressParts.h"

namespace ridgeforge::test {

namespace relief_stress {

// Letters three cells wide and five tall, top row first. Only letters whose
// cells never meet at a corner alone, so that the lettered block stays
// manifold.
inline const char* const* Glyph(char letter) {
    static const char* const kE[5] = {"###", "#..", "###", "#..", "###"};
    static const char* const kH[5] = {"#.#", "#.#", "###", "#.#", "#.#"};
    static const char* const kL[5] = {"#..", "#..", "#..", "#..", "###"};
    static const char* const kT[5] = {"###", ".#.", ".#.", ".#.", ".#."};
    static const char* const kU[5] = {"#.#", "#.#", "#.#", "#.#", "###"};
    switch (letter) {
        case 'E':
            return kE;
        case 'H':
            return kH;
        case 'L':
            return kL;
        case 'T':
            return kT;
        default:
            return kU;
    }
}

// Sets the cells of `text` to `height`, its lower left letter corner at
// cell (x, y), one empty column between letters.
inline void Letter(std::vector<std::vector<float>>& heights, const std::string& text, int x, int y, float height) {
    for (const char c : text) {
        const char* const* glyph = Glyph(c);
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 3; ++col) {
                if (glyph[row][col] == '#')
                    heights[static_cast<std::size_t>(y + 4 - row)][static_cast<std::size_t>(x + col)] = height;
            }
        }
        x += 4;
    }
}

}  // namespace relief_stress

// A 40 x 26 mm plate 2 mm thick on 2 mm cells: a 5 mm rib along each long
// edge, "HE" raised 0.6 mm, "LT" sunk 0.6 mm, and a row of six holes 1.5 mm
// across between the lettering and the second rib.
inline mesh::TriangleMesh MakeLetteredPlate() {
    const float plate = 2.0f, rib = 5.0f;
    const std::size_t columns = 20, rows = 13;
    std::vector<std::vector<float>> heights(rows, std::vector<float>(columns, plate));
    std::vector<std::vector<bool>> holes(rows, std::vector<bool>(columns, false));
    for (std::size_t x = 0; x < columns; ++x) heights[0][x] = heights[rows - 1][x] = rib;
    relief_stress::Letter(heights, "HE", 2, 2, plate + 0.6f);
    relief_stress::Letter(heights, "LT", 11, 2, plate - 0.6f);
    for (const std::size_t x : {2u, 5u, 8u, 11u, 14u, 17u}) holes[9][x] = true;
    return stress::ColumnBlock(2.0f, 2).Build(heights, holes, 0.75f);
}

// A 30 x 20 mm sheet 0.1 mm thick lying on the bed.
inline mesh::TriangleMesh MakeThinSheet() { return MakeGridBox({0, 0, 0}, {30, 20, 0.1f}, 6); }

// A cone 20 mm across its base and 24 mm tall, standing on its base.
inline mesh::TriangleMesh MakeStandingCone() { return MakeCone(10.0f, 24.0f, 64, 12); }

// A screw standing on its head: a round head 14 mm across and 4 mm tall, and
// a shank 13 mm long with a 1.5 mm pitch thread 0.8 mm deep.
inline mesh::TriangleMesh MakeStandingScrew() {
    mesh::TriangleMesh m;
    const std::uint32_t around = 64, rows = 79;
    const float head = 4.0f, headRadius = 7.0f, length = 13.0f, pitch = 1.5f;
    // Rings 0 and 1: the head's bottom and top edge; rings 2..: the shank.
    for (const float z : {0.0f, head}) {
        for (std::uint32_t j = 0; j < around; ++j) {
            const float a = stress::kTwoPi * static_cast<float>(j) / static_cast<float>(around);
            stress::AddVertex(m, headRadius * std::cos(a), headRadius * std::sin(a), z);
        }
    }
    for (std::uint32_t k = 0; k < rows; ++k) {
        const float along = length * static_cast<float>(k) / static_cast<float>(rows - 1);
        for (std::uint32_t j = 0; j < around; ++j) {
            const float a = stress::kTwoPi * static_cast<float>(j) / static_cast<float>(around);
            const float phase = along / pitch - static_cast<float>(j) / static_cast<float>(around);
            const float wave = std::fabs(2.0f * (phase - std::floor(phase)) - 1.0f);
            const float r = 3.2f + 0.8f * wave;
            stress::AddVertex(m, r * std::cos(a), r * std::sin(a), head + along);
        }
    }
    const std::uint32_t rings = rows + 2;
    for (std::uint32_t k = 0; k + 1 < rings; ++k) {
        for (std::uint32_t j = 0; j < around; ++j) {
            const std::uint32_t j1 = (j + 1) % around;
            // The head's top runs inwards from ring 1 to the shank's ring 2.
            stress::AddQuad(m, k * around + j, k * around + j1, (k + 1) * around + j1, (k + 1) * around + j);
        }
    }
    const std::uint32_t bottom = stress::AddVertex(m, 0, 0, 0), top = stress::AddVertex(m, 0, 0, head + length);
    const std::uint32_t last = (rings - 1) * around;
    for (std::uint32_t j = 0; j < around; ++j) {
        const std::uint32_t j1 = (j + 1) % around;
        m.indices.insert(m.indices.end(), {bottom, j1, j, top, last + j, last + j1});
    }
    return stress::Finish(m);
}

// A lump about 22 mm across: a sphere whose radius swells and dents smoothly
// with the direction, resting on the bed. Every vertex stays on its own ray
// from the centre, so the surface cannot pass through itself.
inline mesh::TriangleMesh MakeOrganicLump() {
    mesh::TriangleMesh m = mesh::MakeTestSphere(1.0f);
    for (mesh::Vertex& v : m.vertices) {
        const mesh::Vec3f p = v.position;
        const float a = std::atan2(p.y, p.x), up = std::asin(std::fmax(-1.0f, std::fmin(1.0f, p.z)));
        const float r = 10.0f * (1.0f + 0.18f * std::sin(3.0f * a) * std::cos(2.0f * up) +
                                 0.1f * std::sin(5.0f * up + 2.0f * a) + 0.06f * std::cos(7.0f * a + up));
        v.position = p * r;
    }
    m.RecomputeBounds();
    for (mesh::Vertex& v : m.vertices) v.position.z -= m.boundsMin.z;
    return stress::Finish(m);
}

// A printer-bed plate `size` mm square on 2.5 mm cells, as large parts are:
// a 3 mm plate with a 6 mm rim around it, ribs 4.5 mm tall every 50 mm
// across it, a screw hole 2 mm across in each cell beside a crossing of the
// ribs and at the corners inside the rim, rows of letters engraved 1 mm deep
// between the ribs, and a locating post 25 mm tall at each corner, so that
// the part is large along all three axes.
inline mesh::TriangleMesh MakeBedPlate(float size) {
    const float cell = 2.5f, plate = 3.0f, rim = 6.0f, rib = 4.5f, post = 25.0f;
    const auto n = static_cast<std::size_t>(std::lround(size / cell));
    const std::size_t pitch = 20;
    std::vector<std::vector<float>> heights(n, std::vector<float>(n, plate));
    std::vector<std::vector<bool>> holes(n, std::vector<bool>(n, false));
    for (std::size_t y = 0; y < n; ++y) {
        for (std::size_t x = 0; x < n; ++x) {
            if (x % pitch == 0 || y % pitch == 0) heights[y][x] = rib;
            if (x == 0 || y == 0 || x + 1 == n || y + 1 == n) heights[y][x] = rim;
        }
    }
    heights[0][0] = heights[0][n - 1] = heights[n - 1][0] = heights[n - 1][n - 1] = post;
    for (std::size_t y = pitch; y + 2 < n; y += pitch) {
        for (std::size_t x = pitch; x + 2 < n; x += pitch) holes[y + 2][x + 2] = true;
    }
    for (const std::size_t y : {2u, 3u}) {
        holes[y][2] = holes[y][n - 3] = holes[n - 1 - y][2] = holes[n - 1 - y][n - 3] = true;
    }
    // A word of four letters is 15 cells wide: one fits between two ribs.
    for (std::size_t y = 3; y + 6 < n; y += pitch) {
        for (std::size_t x = 3; x + 16 < n; x += pitch) {
            relief_stress::Letter(heights, (x / pitch + y / pitch) % 2 == 0 ? "HELT" : "TULE", static_cast<int>(x),
                                  static_cast<int>(y), plate - 1.0f);
        }
    }
    return stress::ColumnBlock(cell, 2).Build(heights, holes, 1.0f);
}

inline std::vector<StressPart> MakeReliefStressParts() {
    return {{"lettered plate", MakeLetteredPlate()},
            {"thin sheet", MakeThinSheet()},
            {"standing cone", MakeStandingCone()},
            {"standing screw", MakeStandingScrew()},
            {"organic lump", MakeOrganicLump()}};
}

}  // namespace ridgeforge::test
