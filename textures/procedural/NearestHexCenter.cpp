#include "textures/procedural/NearestHexCenter.h"

#include <cmath>

#include "textures/procedural/NoiseDetail.h"

namespace ridgeforge::mesh::procedural {
namespace {

std::int32_t RoundIndex(float z) {
    std::int32_t cell = 0;
    float fraction = 0.0f;
    detail::SplitCell(std::round(z), cell, fraction);
    return cell;
}

}  // namespace

HexCenter NearestHexCenter(float x, float y) {
    HexCenter a;
    a.column = RoundIndex(x / kSqrt3);
    a.row = RoundIndex(y / 3.0f);
    a.offsetX = x - static_cast<float>(a.column) * kSqrt3;
    a.offsetY = y - static_cast<float>(a.row) * 3.0f;

    HexCenter b;
    b.subLattice = 1;
    b.column = RoundIndex(x / kSqrt3 - 0.5f);
    b.row = RoundIndex(y / 3.0f - 0.5f);
    b.offsetX = x - (static_cast<float>(b.column) + 0.5f) * kSqrt3;
    b.offsetY = y - (static_cast<float>(b.row) + 0.5f) * 3.0f;

    const float da = a.offsetX * a.offsetX + a.offsetY * a.offsetY;
    const float db = b.offsetX * b.offsetX + b.offsetY * b.offsetY;
    return db < da ? b : a;
}

}  // namespace ridgeforge::mesh::procedural
