// The four seamless methods, their parameter tables, the factory by name and
// the log line of a report.
//
// Cross-fade: the last `ox` columns are blended into the first ones with a
// smoothstep ramp (then the same for rows), so the new left edge continues
// the old right edge; the image loses the overlap. The histogram blend lives
// in HistogramPatchGrid.
#include "textures/seamless/SeamlessMethod.h"

#include <chrono>
#include <cmath>

#include "text/NumberText.h"
#include "textures/seamless/HistogramPatchGrid.h"

namespace ridgeforge::mesh::seamless {

namespace {

using procedural::ParameterDefinition;

bool HoldsImage(const std::vector<float>& pixels, std::int32_t width, std::int32_t height) {
    return width >= 1 && height >= 1 &&
           pixels.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

float SmoothRamp(float t) { return (3.0f - 2.0f * t) * t * t; }

// Overlap in pixels: size x percent / 100, halves rounded away from zero.
std::int32_t Overlap(std::int32_t size, float percent) {
    return static_cast<std::int32_t>(std::round(static_cast<double>(size) * percent / 100.0));
}

class NoneMethod final : public Method {
public:
    const char* Name() const override { return "Unchanged"; }
    const std::vector<ParameterDefinition>& Parameters() const override {
        static const std::vector<ParameterDefinition> table;
        return table;
    }
    const char* Description() const override {
        return "The image is used exactly as it was loaded. If it does not already tile, a step in height falls at "
               "every join, which prints as a raised line running round the part.";
    }
    bool ChangesImage() const override { return false; }
    bool TilesMirrored() const override { return false; }
    std::vector<float> Apply(const std::vector<float>& input, std::int32_t width, std::int32_t height,
                             std::int32_t& outputWidth, std::int32_t& outputHeight,
                             SeamlessReport* report) const override {
        outputWidth = width;
        outputHeight = height;
        if (report) *report = SeamlessReport{};
        return input;
    }
};

class MirrorMethod final : public Method {
public:
    const char* Name() const override { return "Mirror"; }
    const std::vector<ParameterDefinition>& Parameters() const override {
        static const std::vector<ParameterDefinition> table;
        return table;
    }
    const char* Description() const override {
        return "Every other tile is flipped, so each edge meets itself. Nothing of the image is lost and nothing "
               "ghosts; the price is a mirror symmetry along every join, which the eye finds in a pattern with "
               "direction or lettering.";
    }
    bool ChangesImage() const override { return true; }
    bool TilesMirrored() const override { return true; }
    // The flipping is the sampler's (mirror wrap); the pixels pass through.
    std::vector<float> Apply(const std::vector<float>& input, std::int32_t width, std::int32_t height,
                             std::int32_t& outputWidth, std::int32_t& outputHeight,
                             SeamlessReport* report) const override {
        outputWidth = width;
        outputHeight = height;
        if (report) {
            *report = SeamlessReport{};
            report->methodName = Name();
            report->inputWidth = report->outputWidth = width;
            report->inputHeight = report->outputHeight = height;
            report->contrastBefore = report->contrastAfter = RmsContrast(input);
            report->details = "every other tile flipped, so neighbouring edges match";
        }
        return input;
    }
};

class CrossFadeMethod final : public Method {
public:
    const char* Name() const override { return "Cross-fade"; }
    const std::vector<ParameterDefinition>& Parameters() const override {
        static const std::vector<ParameterDefinition> table = {
            procedural::FloatParameter("percent", "Overlap (%)", 0.0f, 45.0f, 20.0f,
                                       "How much of each edge is faded into the opposite one", 0.5f)};
        return table;
    }
    const char* Description() const override {
        return "Fades each edge into the opposite one, so the left continues the right. Certain and instant, and it "
               "costs two things: the overlap is a band where two parts of the image are shown at once, and the "
               "image loses that share of its size.";
    }
    bool ChangesImage() const override { return true; }
    bool TilesMirrored() const override { return false; }
    std::vector<float> Apply(const std::vector<float>& input, std::int32_t width, std::int32_t height,
                             std::int32_t& outputWidth, std::int32_t& outputHeight,
                             SeamlessReport* report) const override {
        const auto start = std::chrono::steady_clock::now();
        const float percent = GetValue("percent");
        outputWidth = width;
        outputHeight = height;
        std::vector<float> output = Fade(input, width, height, percent, outputWidth, outputHeight);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if (report) {
            *report = SeamlessReport{};
            report->methodName = Name();
            report->inputWidth = width;
            report->inputHeight = height;
            report->outputWidth = outputWidth;
            report->outputHeight = outputHeight;
            report->contrastBefore = RmsContrast(input);
            report->contrastAfter = RmsContrast(output);
            report->milliseconds = std::chrono::duration<double, std::nano>(elapsed).count() / 1e6;
            report->details = FormatFixed(percent, 0) + "% of each edge faded into the opposite one";
        }
        return output;
    }

private:
    static std::vector<float> Fade(const std::vector<float>& input, std::int32_t width, std::int32_t height,
                                   float percent, std::int32_t& outputWidth, std::int32_t& outputHeight) {
        if (!HoldsImage(input, width, height)) return input;
        const float q = percent > 45.0f ? 45.0f : (percent >= 0.0f ? percent : 0.0f);
        const std::int32_t ox = Overlap(width, q), oy = Overlap(height, q);
        if (ox < 1 && oy < 1) return input;

        // Columns first: the input's last ox columns fade into its first ones.
        // Rows are faded the same way on the narrowed image; the narrowed rows
        // are made as they are needed instead of as a whole second image.
        const std::size_t w = static_cast<std::size_t>(width);
        const std::size_t w1 = static_cast<std::size_t>(width - ox);
        const std::size_t h1 = static_cast<std::size_t>(height - oy);
        auto narrowRow = [&](std::size_t y, float* out) {
            const float* in = input.data() + y * w;
            for (std::size_t x = 0; x < w1; ++x) {
                if (x < static_cast<std::size_t>(ox)) {
                    const float s = SmoothRamp((static_cast<float>(x) + 0.5f) / static_cast<float>(ox));
                    out[x] = (1.0f - s) * in[x + w1] + s * in[x];
                } else {
                    out[x] = in[x];
                }
            }
        };
        std::vector<float> output(w1 * h1);
        std::vector<float> near(w1), far(w1);
        for (std::size_t y = 0; y < h1; ++y) {
            float* out = output.data() + y * w1;
            if (y < static_cast<std::size_t>(oy)) {
                const float s = SmoothRamp((static_cast<float>(y) + 0.5f) / static_cast<float>(oy));
                narrowRow(y, near.data());
                narrowRow(y + h1, far.data());
                for (std::size_t x = 0; x < w1; ++x) out[x] = (1.0f - s) * far[x] + s * near[x];
            } else {
                narrowRow(y, out);
            }
        }
        outputWidth = static_cast<std::int32_t>(w1);
        outputHeight = static_cast<std::int32_t>(h1);
        return output;
    }
};

class HistogramMethod final : public Method {
public:
    const char* Name() const override { return "Histogram blend"; }
    const std::vector<ParameterDefinition>& Parameters() const override {
        static const std::vector<ParameterDefinition> table = {
            procedural::IntegerParameter("patches", "Patches across the tile", 2, 24, 4,
                                         "Few keeps the image's larger shapes whole; many mixes more and repeats less"),
            procedural::SeedParameter()};
        return table;
    }
    const char* Description() const override {
        return "Cuts the image into patches and blends them so the result keeps the original's contrast instead of "
               "averaging it away. No ghosting band, no size lost, and the tile does not repeat within itself. It "
               "suits stone, bark, plaster, grain; brickwork or lettering come back cut up. A feature appears about "
               "once per patch, so few patches keep the structure and many turn it to mush.";
    }
    bool ChangesImage() const override { return true; }
    bool TilesMirrored() const override { return false; }
    std::vector<float> Apply(const std::vector<float>& input, std::int32_t width, std::int32_t height,
                             std::int32_t& outputWidth, std::int32_t& outputHeight,
                             SeamlessReport* report) const override {
        const auto patches = static_cast<std::int32_t>(procedural::RoundHalfAwayFromZero(GetValue("patches")));
        const auto seed =
            static_cast<std::uint32_t>(static_cast<std::int64_t>(procedural::RoundHalfAwayFromZero(GetValue("seed"))));
        outputWidth = width;
        outputHeight = height;
        PatchGridResult grid = HistogramPatchGrid(input, width, height, width, height, patches, seed);
        if (grid.pixels.empty()) {
            if (report) *report = SeamlessReport{};
            return input;
        }
        if (report) {
            *report = SeamlessReport{};
            report->methodName = Name();
            report->inputWidth = report->outputWidth = width;
            report->inputHeight = report->outputHeight = height;
            report->contrastBefore = grid.contrastBefore;
            report->contrastAfter = grid.contrastAfter;
            report->milliseconds = grid.milliseconds;
            report->details = std::to_string(grid.patches) + " patches across the tile, seed " + std::to_string(seed);
        }
        return std::move(grid.pixels);
    }
};

}  // namespace

std::vector<std::string> MethodNames() { return {"Unchanged", "Mirror", "Cross-fade", "Histogram blend"}; }

std::string CanonicalMethodName(std::string_view name) {
    for (const std::string& known : MethodNames()) {
        if (known == name) return known;
    }
    return "Unchanged";
}

std::unique_ptr<Method> CreateMethod(std::string_view name) {
    if (name == "Mirror") return std::make_unique<MirrorMethod>();
    if (name == "Cross-fade") {
        auto method = std::make_unique<CrossFadeMethod>();
        method->ResetToDefaults();
        return method;
    }
    if (name == "Histogram blend") {
        auto method = std::make_unique<HistogramMethod>();
        method->ResetToDefaults();
        return method;
    }
    return std::make_unique<NoneMethod>();
}

float RmsContrast(const std::vector<float>& pixels) {
    if (pixels.empty()) return 0.0f;
    // Four running sums break the chain of dependent additions; the order is
    // fixed, so the result is the same on every run.
    auto sum = [&pixels](auto f) {
        double s[4] = {0.0, 0.0, 0.0, 0.0};
        std::size_t i = 0;
        for (; i + 4 <= pixels.size(); i += 4) {
            for (int k = 0; k < 4; ++k) s[k] += f(pixels[i + k]);
        }
        for (; i < pixels.size(); ++i) s[0] += f(pixels[i]);
        return (s[0] + s[1]) + (s[2] + s[3]);
    };
    const double n = static_cast<double>(pixels.size());
    const double mean = sum([](float p) { return double{p}; }) / n;
    const double squares = sum([mean](float p) { return (p - mean) * (p - mean); });
    return static_cast<float>(std::sqrt(squares / n));
}

std::string DescribeReport(const SeamlessReport& report) {
    if (report.methodName.empty()) return "Seamless: unchanged, the image is as loaded.";
    std::string line = "Seamless: " + report.methodName;
    if (!report.details.empty()) line += ", " + report.details;
    line += "; " + std::to_string(report.inputWidth) + " x " + std::to_string(report.inputHeight) + " -> " +
            std::to_string(report.outputWidth) + " x " + std::to_string(report.outputHeight) + " pixels";
    if (report.contrastBefore > 0.0f) {
        line += ", contrast " +
                FormatFixed(static_cast<double>(report.contrastAfter) / report.contrastBefore, 2) +
                " of the image's";
    }
    line += ", " + FormatFixed(report.milliseconds, 0) + " ms.";
    return line;
}

}  // namespace ridgeforge::mesh::seamless
