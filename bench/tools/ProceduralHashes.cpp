// Prints one line per procedural pattern and setting: a hash of the rendered
// floats' bits and one of the 16-bit heights they round to. Two builds that
// print the same lines render the same maps, so a faster pattern can be
// checked against the one it replaces with diff. The settings are the
// defaults, each parameter at its minimum, middle and maximum, and random
// mixes from a fixed generator, at a small odd size and at a preview size.
// Usage: tool_ProceduralHashes [pattern name]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "textures/procedural/TextureRegistry.h"

namespace {

using namespace ridgeforge::mesh::procedural;

std::uint64_t Fnv(std::uint64_t h, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    return h;
}

void PrintHashes(const ProceduralTexture& pattern, const std::string& label, int width, int height) {
    const std::vector<float> heights = pattern.RenderHeightMap(width, height);
    std::uint64_t bits = 14695981039346656037ull, grey = bits;
    for (const float h : heights) {
        std::uint32_t b = 0;
        std::memcpy(&b, &h, sizeof b);
        bits = Fnv(bits, &b, sizeof b);
        const auto g = static_cast<std::uint16_t>(std::lround(h * 65535.0f));
        grey = Fnv(grey, &g, sizeof g);
    }
    std::printf("%s | %s | %dx%d | %016llx %016llx\n", pattern.Name(), label.c_str(), width, height,
                static_cast<unsigned long long>(bits), static_cast<unsigned long long>(grey));
}

void HashPattern(const std::string& name) {
    const auto pattern = CreateTexture(name);
    const std::vector<ParameterDefinition>& table = pattern->Parameters();

    pattern->ResetToDefaults();
    PrintHashes(*pattern, "defaults", 512, 512);
    PrintHashes(*pattern, "defaults", 97, 61);
    for (const ParameterDefinition& p : table) {
        const float values[3] = {p.minimum, 0.5f * (p.minimum + p.maximum), p.maximum};
        for (const float value : values) {
            pattern->ResetToDefaults();
            pattern->SetValue(p.key, value);
            PrintHashes(*pattern, p.key + "=" + std::to_string(value), 67, 45);
        }
    }
    std::mt19937 random(12345);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int mix = 0; mix < 8; ++mix) {
        pattern->ResetToDefaults();
        std::string label = "mix";
        for (const ParameterDefinition& p : table) {
            const float value = p.minimum + unit(random) * (p.maximum - p.minimum);
            pattern->SetValue(p.key, value);
            label += " " + p.key + "=" + std::to_string(pattern->GetValue(p.key));
        }
        PrintHashes(*pattern, label, mix < 2 ? 160 : 71, mix < 2 ? 160 : 53);
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (const std::string& name : TextureNames()) {
        if (argc > 1 && name != argv[1]) continue;
        HashPattern(name);
    }
    return 0;
}
