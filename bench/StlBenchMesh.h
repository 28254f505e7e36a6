// The part the STL benchmarks read and write: a closed torus of exactly
// 1,000,000 triangles (1000 × 500 quads), and a scratch folder for its files.
#pragma once

#include <cmath>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::bench {

inline mesh::TriangleMesh MakeTorus(std::uint32_t around = 1000, std::uint32_t across = 500) {
    mesh::TriangleMesh m;
    const float pi = 3.14159265358979f;
    for (std::uint32_t i = 0; i < around; ++i) {
        const float u = 2.0f * pi * static_cast<float>(i) / static_cast<float>(around);
        for (std::uint32_t j = 0; j < across; ++j) {
            const float v = 2.0f * pi * static_cast<float>(j) / static_cast<float>(across);
            const float ring = 40.0f + 15.0f * std::cos(v);
            m.vertices.push_back({{ring * std::cos(u), ring * std::sin(u), 15.0f * std::sin(v)}, {}});
        }
    }
    const auto id = [&](std::uint32_t i, std::uint32_t j) { return (i % around) * across + (j % across); };
    for (std::uint32_t i = 0; i < around; ++i) {
        for (std::uint32_t j = 0; j < across; ++j) {
            const std::uint32_t a = id(i, j), b = id(i + 1, j), c = id(i + 1, j + 1), d = id(i, j + 1);
            m.indices.insert(m.indices.end(), {a, b, c, a, c, d});
        }
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

// A folder under the system's temporary folder, removed when the object goes away.
class ScratchFolder {
public:
    ScratchFolder() : path_(std::filesystem::temp_directory_path() / ("ridgeforge-bench-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace ridgeforge::bench
