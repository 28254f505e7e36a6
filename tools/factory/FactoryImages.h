// The images of the texture library that ships with the program: height
// maps in categories, each drawn here from the project's own procedural
// patterns, mixed and shaped by a few lines of drawing code. Every pattern
// used repeats with period 1 and every drawing step keeps that period, so
// each image tiles without a seam.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ridgeforge::tools {

struct FactoryImage {
    std::string category;
    std::string name;
    // size x size heights in [0, 1], the top row first.
    std::function<std::vector<float>(int size)> draw;
};

const std::vector<FactoryImage>& FactoryImages();

}  // namespace ridgeforge::tools
