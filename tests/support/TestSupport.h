// Helpers shared by the tests: scratch folders and text files; the generated
// shapes come from testing/Shapes.h.
#pragma once

#include <filesystem>
#include <string>

#include "mesh/TriangleMesh.h"
#include "testing/Shapes.h"

namespace ridgeforge::test {

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
