// The seamless methods: ways of turning a loaded grey image into a tile whose
// opposite edges meet, chosen by name.
//
//   "Unchanged"        the image as loaded
//   "Mirror"           nothing changes here; the sampler flips every other tile
//   "Cross-fade"       each edge faded into the opposite one; the image shrinks
//                      by the overlap
//   "Histogram blend"  randomly shifted copies blended on a triangle grid with
//                      weights that keep the image's contrast (the
//                      variance-preserving blend of Heitz and Neyret, "High-
//                      Performance By-Example Noise using a Histogram-
//                      Preserving Blending Operator", 2018)
//
// Pixels are row-major floats, width x height of them. No method reports an
// error: bad sizes give a copy of the input, unknown names the unchanged method.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "textures/procedural/ParameterSet.h"

namespace ridgeforge::mesh::seamless {

// What Apply did, kept by the height map and written to the log.
struct SeamlessReport {
    std::string methodName;  // empty: no method was applied
    std::int32_t inputWidth = 0;
    std::int32_t inputHeight = 0;
    std::int32_t outputWidth = 0;
    std::int32_t outputHeight = 0;
    float contrastBefore = 0.0f;
    float contrastAfter = 0.0f;
    double milliseconds = 0.0;
    std::string details;
};

class Method : public procedural::ParameterSet {
public:
    // Help text shown for the method.
    virtual const char* Description() const = 0;
    // False when the image is used as it stands.
    virtual bool ChangesImage() const = 0;
    // True when the sampler should flip every other tile.
    virtual bool TilesMirrored() const = 0;
    // The output pixels and their size; fills the report when one is given.
    virtual std::vector<float> Apply(const std::vector<float>& input, std::int32_t width, std::int32_t height,
                                     std::int32_t& outputWidth, std::int32_t& outputHeight,
                                     SeamlessReport* report) const = 0;
};

// "Unchanged", "Mirror", "Cross-fade", "Histogram blend": the combo box order.
std::vector<std::string> MethodNames();
// The name itself when it is one of MethodNames exactly, else "Unchanged".
std::string CanonicalMethodName(std::string_view name);
// The named method, with its parameters at their defaults; any other name
// gives the unchanged method.
std::unique_ptr<Method> CreateMethod(std::string_view name);

// Standard deviation of the pixels (mean and sums in double); 0 when empty.
float RmsContrast(const std::vector<float>& pixels);
// One log line: "Seamless: Cross-fade, ...; 1024 x 1024 -> 819 x 819 pixels, ...".
std::string DescribeReport(const SeamlessReport& report);

}  // namespace ridgeforge::mesh::seamless
