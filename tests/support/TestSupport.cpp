#include "tests/support/TestSupport.h"

#include "platform/Files.h"

#include <atomic>
#include <fstream>
#include <vector>
#include <cstdlib>
#include <unistd.h>

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

void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadTextFile(const std::filesystem::path& path) {
    std::vector<std::uint8_t> bytes;
    platform::ReadWholeFile(path, bytes);
    return std::string(bytes.begin(), bytes.end());
}

TempDir::TempDir(const std::string& name) {
    static std::atomic<int> counter{0};
    std::filesystem::path root;
    if (const char* base = std::getenv("RIDGEFORGE_TEST_TMP")) root = base;
    else root = std::filesystem::temp_directory_path() / "ridgeforge-tests";
    path_ = root / (name + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace ridgeforge::test
