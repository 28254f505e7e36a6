#include "ui/dialogs/LevelsRules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "document/SettingRanges.h"
#include "ui/framework/DialogFloat.h"

namespace ridgeforge {
namespace {

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

int Scaled(int value, double scale) { return static_cast<int>(std::lround(value * scale)); }

}  // namespace

int LevelToX(float level, int left, int width) {
    return left + static_cast<int>(std::lround(static_cast<double>(width) * Clamp01(level)));
}

float XToLevel(int x, int left, int width) {
    if (width <= 0) return 0.0f;
    return Clamp01(static_cast<float>(x - left) / static_cast<float>(width));
}

float GammaMarkerLevel(const LevelValues& v) {
    const float t = std::pow(0.5f, 1.0f / std::max(v.gamma, 0.001f));
    return v.inputBlack + t * (v.inputWhite - v.inputBlack);
}

std::array<wxString, 5> LevelBoxTexts(const LevelValues& v) {
    auto level = [](float value) {
        return wxString::Format("%d", static_cast<int>(std::lround(Clamp01(value) * 255.0f)));
    };
    char gamma[32];
    std::snprintf(gamma, sizeof gamma, "%.2f", v.gamma > 0.0f ? 1.0 / static_cast<double>(v.gamma) : 1.0);
    return {level(v.inputBlack), wxString(gamma), level(v.inputWhite), level(v.outputLow), level(v.outputHigh)};
}

LevelValues CommitLevelTexts(const LevelValues& old, const std::array<wxString, 5>& texts) {
    const float nan = std::nanf("");
    auto read = [&](int box) { return ui::ParseFloatField(texts[static_cast<std::size_t>(box)], nan); };
    auto level = [&](int box, float current) {
        const float n = read(box);
        return std::isnan(n) ? current : Clamp01(n / 255.0f);
    };
    LevelValues v = old;
    v.inputBlack = level(0, old.inputBlack);
    v.inputWhite = level(2, old.inputWhite);
    v.outputLow = level(3, old.outputLow);
    v.outputHigh = level(4, old.outputHigh);
    const float typedGamma = read(1);
    if (!std::isnan(typedGamma) && typedGamma > 0.0f) v.gamma = 1.0f / std::clamp(typedGamma, 0.1f, 9.99f);
    if (!(v.inputBlack < v.inputWhite)) v.inputWhite = std::min(v.inputBlack + kLevelStep, 1.0f);
    return v;
}

LevelValues DragLevel(const LevelValues& values, int marker, float p) {
    LevelValues v = values;
    const float e = kLevelStep;
    switch (marker) {
        case kInputBlack:
            v.inputBlack = std::min(v.inputWhite - e, p);
            break;
        case kInputWhite:
            v.inputWhite = std::max(v.inputBlack + e, p);
            break;
        case kGammaMarker: {
            const float f = std::clamp((p - v.inputBlack) / std::max(e, v.inputWhite - v.inputBlack), 0.02f, 0.98f);
            v.gamma = std::clamp(std::log(0.5f) / std::log(f), kSmallestGamma, kLargestGamma);
            break;
        }
        case kOutputLow:
            v.outputLow = std::min(v.outputHigh, p);
            break;
        case kOutputHigh:
            v.outputHigh = std::max(v.outputLow, p);
            break;
        default:
            break;
    }
    return v;
}

LevelsLayout LayOutLevels(int clientWidth, double scale) {
    LevelsLayout l;
    l.margin = Scaled(8, scale);
    l.histogramLeft = l.margin;
    l.histogramWidth = std::max(0, clientWidth - 2 * l.margin);
    l.histogramTop = 0;
    l.histogramHeight = Scaled(64, scale);
    l.inputTop = l.histogramTop + l.histogramHeight;
    l.inputHeight = Scaled(12, scale);
    l.firstRowTop = l.inputTop + l.inputHeight + Scaled(4, scale);
    l.boxWidth = Scaled(44, scale);
    l.boxHeight = Scaled(20, scale);
    l.outputTop = l.firstRowTop + Scaled(32, scale);
    l.outputHeight = Scaled(24, scale);
    l.secondRowTop = l.outputTop + l.outputHeight + Scaled(4, scale);
    return l;
}

int HitLevelMarker(const LevelsLayout& l, const LevelValues& v, int x, int y) {
    const int m = l.margin;
    const int left = l.histogramLeft;
    const int width = l.histogramWidth;
    auto near = [&](float level) { return std::abs(x - LevelToX(level, left, width)) <= m; };
    if (y >= l.inputTop - m && y <= l.inputTop + l.inputHeight + m) {
        if (near(GammaMarkerLevel(v))) return kGammaMarker;
        if (near(v.inputBlack)) return kInputBlack;
        if (near(v.inputWhite)) return kInputWhite;
    }
    if (y >= l.outputTop && y <= l.outputTop + l.outputHeight + m) {
        if (near(v.outputLow)) return kOutputLow;
        if (near(v.outputHigh)) return kOutputHigh;
    }
    return kNoMarker;
}

std::size_t HistogramBin(int column, int width, std::size_t bins) {
    if (bins == 0 || width <= 0 || column <= 0) return 0;
    const auto bin = static_cast<std::size_t>(static_cast<long long>(column) * static_cast<long long>(bins) /
                                              static_cast<long long>(width));
    return std::min(bin, bins - 1);
}

int HistogramBarHeight(std::uint32_t count, std::uint32_t largest, int areaHeight) {
    const std::uint64_t c = std::max<std::uint32_t>(largest, 1);
    return static_cast<int>(static_cast<std::uint64_t>(std::max(areaHeight, 0)) * count / c);
}

}  // namespace ridgeforge
