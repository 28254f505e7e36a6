// The height map's image chain (source -> seamless -> blur), sampling and the
// tone curve. Each stage keeps its own list so that an edit redoes only the
// stages it affects: moving, turning and re-toning act at sampling time only.
#include "textures/HeightMap.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "textures/WrapFold.h"

namespace ridgeforge::mesh {

namespace {

// Beyond this a pixel index no longer fits comfortably in the integer
// arithmetic of the fold (and a float has no fractional bits left anyway).
constexpr float kMaxSamplePosition = 1.0e9f;

bool HoldsGrid(const std::vector<float>& values, std::int32_t width, std::int32_t height) {
    return width > 0 && height > 0 &&
           values.size() == static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
}

// The tile height follows the seamless image's aspect (so a method that
// shrinks the image changes it).
void ApplyLockAspect(HeightMap& map) {
    if (map.settings.lockAspect && map.width > 0 && map.height > 0) {
        const float aspect = static_cast<float>(map.width) / static_cast<float>(map.height);
        if (aspect > 0.0f) {
            map.settings.heightMillimetres = map.settings.widthMillimetres / aspect;
        }
    }
}

}  // namespace

void HeightMap::SetImage(std::int32_t newWidth, std::int32_t newHeight, std::vector<float> newPixels) {
    neutralHeight.reset();
    // The product is taken in 64 bits: 65536 x 65536 must not wrap to 0 and
    // pass for an empty list.
    if (!HoldsGrid(newPixels, newWidth, newHeight)) {
        width = height = sourceWidth = sourceHeight = 0;
        sourcePixels.clear();
        seamlessPixels.clear();
        pixels.clear();
        return;
    }
    sourceWidth = newWidth;
    sourceHeight = newHeight;
    sourcePixels = std::move(newPixels);
    ApplySeamless();
    ApplyLockAspect(*this);
    ApplyAutoLevels();
    ApplyBlur();
}

void HeightMap::SetSettings(const TextureSettings& newSettings) {
    const TextureSettings old = settings;
    settings = newSettings;
    bool redone = false;
    if (settings.seamlessMethod != old.seamlessMethod || settings.seamlessParameters != old.seamlessParameters) {
        ApplySeamless();
        redone = true;
    }
    ApplyLockAspect(*this);
    ApplyAutoLevels();
    const bool blurInputsSame = settings.blurMillimetres == old.blurMillimetres &&
                                settings.widthMillimetres == old.widthMillimetres &&
                                settings.heightMillimetres == old.heightMillimetres && settings.wrap == old.wrap;
    if (redone || !blurInputsSame) {
        ApplyBlur();
    }
}

void HeightMap::ApplySeamless() {
    seamlessReport = seamless::SeamlessReport{};
    if (sourcePixels.empty()) {
        seamlessPixels.clear();
        pixels.clear();
        width = height = 0;
        return;
    }
    std::unique_ptr<seamless::Method> method = seamless::CreateMethod(settings.seamlessMethod);
    if (method && method->ChangesImage()) {
        method->ParseValues(settings.seamlessParameters);
        std::int32_t outWidth = 0;
        std::int32_t outHeight = 0;
        std::vector<float> out =
            method->Apply(sourcePixels, sourceWidth, sourceHeight, outWidth, outHeight, &seamlessReport);
        // A method that hands back a list not matching its own size would
        // break every later index; keep the source instead.
        if (HoldsGrid(out, outWidth, outHeight)) {
            seamlessPixels = std::move(out);
            width = outWidth;
            height = outHeight;
            return;
        }
        seamlessReport = seamless::SeamlessReport{};
    }
    seamlessPixels = sourcePixels;
    width = sourceWidth;
    height = sourceHeight;
}

void HeightMap::ApplyAutoLevels() {
    if (!settings.autoLevels || width < 1 || height < 1 || seamlessPixels.empty()) {
        return;
    }
    const float lo = Percentile(seamlessPixels, 0.01f);
    const float hi = Percentile(seamlessPixels, 0.99f);
    if (hi - lo >= 0.0001f) {
        settings.blackLevel = lo;
        settings.whiteLevel = hi;
    }
}

float HeightMap::SampleBilinear(float u, float v) const {
    if (width < 1 || height < 1 || seamlessPixels.empty() || !HoldsGrid(pixels, width, height)) {
        return 0.0f;
    }
    const float x = static_cast<float>(width) * u - 0.5f;
    const float y = static_cast<float>(height) * v - 0.5f;
    if (!(std::fabs(x) < kMaxSamplePosition) || !(std::fabs(y) < kMaxSamplePosition)) {
        return neutralHeight.value_or(0.0f);
    }
    const float* values = pixels.data();
    return SampleBilinearFolded(x, y, width, height, settings.wrap, [this, values](std::int64_t px, std::int64_t py) {
        return values[static_cast<std::size_t>(py * width + px)];
    });
}

float HeightMap::ApplyLevels(float value) const {
    const TextureSettings& s = settings;
    float t;
    if (std::fabs(s.whiteLevel - s.blackLevel) > 1e-6f) {
        t = (value - s.blackLevel) / (s.whiteLevel - s.blackLevel);
    } else {
        // Equal levels make a step at the white level rather than a division by zero.
        t = value >= s.whiteLevel ? 1.0f : 0.0f;
    }
    t = std::clamp(t, 0.0f, 1.0f);
    if (s.gamma > 0.0f && s.gamma != 1.0f) {
        t = std::pow(t, s.gamma);
    }
    const float out = s.outputBlackLevel + (s.outputWhiteLevel - s.outputBlackLevel) * t;
    return s.invert ? 1.0f - out : out;
}

float HeightMap::LevelledPercentile(float q) const {
    std::vector<float> levelled(pixels.size());
    std::transform(pixels.begin(), pixels.end(), levelled.begin(), [this](float p) { return ApplyLevels(p); });
    return Percentile(std::move(levelled), q);
}

float Percentile(std::vector<float> values, float q) {
    if (values.empty()) {
        return 0.0f;
    }
    q = std::isnan(q) ? 0.0f : std::clamp(q, 0.0f, 1.0f);
    const std::size_t last = values.size() - 1;
    const float position = static_cast<float>(last) * q + 0.5f;
    const std::size_t index = std::min(static_cast<std::size_t>(position), last);
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index), values.end());
    return values[index];
}

}  // namespace ridgeforge::mesh
