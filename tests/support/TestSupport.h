// Helpers shared by the tests: simple shapes and scratch folders.
#pragma once

#include <filesystem>
#include <string>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::test {

// A closed, outward-wound axis-aligned box of 8 vertices and 12 triangles.
mesh::TriangleMesh MakeBox(mesh::Vec3f min, mesh::Vec3f max);

// Writes the text as the whole file, creating its folders.
void WriteTextFile(const std::filesystem::path& path, const std::string& text);
// The whole file as text; empty when it cannot be read.
std::string ReadTextFile(const std::filesystem::path& path);

// A fresh, empty folder for one test, removed when the object goes away.
class TempDir {
public:
    explicit TempDir(const std::string& name = "t");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace ridgeforge::test
