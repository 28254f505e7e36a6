// Rendering a procedural pattern: one task per row over the standard parallel
// algorithms, pixels within a row in order, each row writing only its own
// slice of the grid. Sample and GetValue only read the pattern, and the
// parameter table is built before the rows start, so no lock is needed.
#include "textures/procedural/ProceduralTexture.h"

#include <algorithm>
#include <cmath>
#include <execution>
#include <new>
#include <numeric>

#include "text/Format.h"
#include "textures/procedural/Noise.h"
#include "platform/Memory.h"

namespace ridgeforge::mesh::procedural {

const ParameterDefinition& InvertParameter() {
    static const ParameterDefinition invert = [] {
        ParameterDefinition d;
        d.key = "invert";
        d.label = "Invert";
        d.help = "Turn the pattern inside out: what stood proud is cut in, and what was cut in stands proud";
        d.kind = ParameterKind::Toggle;
        d.minimum = 0.0f;
        d.maximum = 1.0f;
        d.defaultValue = 0.0f;
        d.step = 1.0f;
        return d;
    }();
    return invert;
}

const std::vector<ParameterDefinition>& ProceduralTexture::Parameters() const {
    if (cachedParameters.empty()) {
        std::vector<ParameterDefinition> table = OwnParameters();
        table.push_back(InvertParameter());
        cachedParameters = std::move(table);
    }
    return cachedParameters;
}

float ProceduralTexture::EffectiveNeutralHeight() const {
    float h = Clamp01(NeutralHeight());
    if (GetValue("invert") >= 0.5f) h = 1.0f - h;
    return h;
}

std::int32_t ProceduralTexture::GetWhole(std::string_view key) const {
    return static_cast<std::int32_t>(RoundHalfAwayFromZero(GetValue(key)));
}

std::uint64_t RenderCellCount(int width, int height) {
    const auto w = static_cast<std::uint64_t>(std::max(width, 1));
    const auto h = static_cast<std::uint64_t>(std::max(height, 1));
    return w * h;  // both below 2^31, so the product fits in 64 bits
}

std::string RenderSizeProblem(int width, int height) {
    const std::uint64_t cells = RenderCellCount(width, height);
    const std::uint64_t bytes = cells * sizeof(float);
    const std::uint64_t memory = platform::PhysicalMemoryBytes();
    const bool tooMany = cells > std::vector<float>().max_size();
    const bool tooBig = memory != 0 && bytes > memory;
    if (!tooMany && !tooBig) return {};
    return "A texture of " + FormatCount(static_cast<std::uint64_t>(std::max(width, 1))) + " x " +
           FormatCount(static_cast<std::uint64_t>(std::max(height, 1))) + " pixels needs " +
           FormatCount((bytes + (1u << 20) - 1) >> 20) + " MB of memory, more than this computer has.";
}

std::vector<float> ProceduralTexture::RenderHeightMap(int width, int height) const {
    const int w = std::max(width, 1);
    const int h = std::max(height, 1);
    if (!RenderSizeProblem(w, h).empty()) return {};

    // Built here, before any worker reads it, so that the rows only ever read
    // the table.
    (void)Parameters();

    std::vector<float> grid;
    std::vector<int> rows;
    try {
        grid.assign(static_cast<std::size_t>(RenderCellCount(w, h)), 0.0f);
        rows.resize(static_cast<std::size_t>(h));
    } catch (const std::bad_alloc&) {
        return {};
    }
    std::iota(rows.begin(), rows.end(), 0);

    const auto rowLength = static_cast<std::size_t>(w);
    const bool invert = GetValue("invert") >= 0.5f;
    std::for_each(std::execution::par, rows.begin(), rows.end(), [&](int y) {
        const float v = static_cast<float>(1.0 - (static_cast<double>(y) + 0.5) / h);
        float* out = grid.data() + static_cast<std::size_t>(y) * rowLength;
        for (int x = 0; x < w; ++x) {
            const float u = static_cast<float>((static_cast<double>(x) + 0.5) / w);
            float s = Clamp01(Sample(u, v));
            if (invert) s = 1.0f - s;
            out[x] = Clamp01(s);
        }
    });
    return grid;
}

}  // namespace ridgeforge::mesh::procedural
