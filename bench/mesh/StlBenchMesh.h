// The part the STL benchmarks read and write: a closed torus of exactly
// 1,000,000 triangles (1000 × 500 quads), and a scratch folder for its files.
#pragma once

#include <cmath>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "mesh/TriangleMesh.h"
#include "testing/Shapes.h"

namespace ridgeforge::bench {

inline mesh::TriangleMesh MakeTorus() { return test::MakeTorus(40.0f, 15.0f, 1000, 500); }

// A torus of the same shape with about `triangles` triangles; exactly the one
// above for 1,000,000.
inline mesh::TriangleMesh MakeTorusOf(std::int64_t triangles) {
    if (triangles == 1000000) return MakeTorus();
    const auto around = static_cast<std::uint32_t>(std::sqrt(static_cast<double>(triangles)));
    return test::MakeTorus(40.0f, 15.0f, around, around / 2);
}

// A folder under the system's temporary folder, removed when the object goes away.
class ScratchFolder {
public:
    ScratchFolder()
        : path_(std::filesystem::temp_directory_path() / ("ridgeforge-bench-" + std::to_string(::getpid()))) {
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
