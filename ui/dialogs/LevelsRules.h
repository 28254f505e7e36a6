// The arithmetic of the levels control, without its window: where a level
// sits on a strip, where the gamma marker goes, what the five boxes show and
// take back, how each marker drags, which marker a press hits and which
// histogram bin each pixel column shows.
//
// Levels are 0..1 and typed as 0..255; gamma is typed as its reciprocal
// (a typed 2 brightens the mid-tones and is stored as 0.5), which is why the
// marker for gamma g sits at black + 0.5^(1/g) of the way to white.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include <wx/string.h>

namespace ridgeforge {

inline constexpr float kLevelStep = 0.003921569f;  // 1/255

struct LevelValues {
    float inputBlack = 0.0f;
    float inputWhite = 1.0f;
    float gamma = 1.0f;
    float outputLow = 0.0f;
    float outputHigh = 1.0f;
    bool operator==(const LevelValues&) const = default;
};

// Marker numbers, also the order of the boxes: 0 none.
enum LevelMarker : int {
    kNoMarker = 0,
    kInputBlack = 1,
    kGammaMarker = 2,
    kInputWhite = 3,
    kOutputLow = 4,
    kOutputHigh = 5,
};

// x of a level on a strip from `left`, `width` pixels wide (rounded half away from zero).
int LevelToX(float level, int left, int width);
// The level of a pixel position on the strip; 0 for a strip without width.
float XToLevel(int x, int left, int width);
// The level the gamma marker stands for.
float GammaMarkerLevel(const LevelValues& values);

// The boxes' texts in box order: black, gamma, white, low, high.
std::array<wxString, 5> LevelBoxTexts(const LevelValues& values);
// The values after the boxes' texts (box order) were typed; text that is
// not a finite number, and a gamma not above 0, keep the old value.
LevelValues CommitLevelTexts(const LevelValues& values, const std::array<wxString, 5>& texts);
// The values after `marker` was dragged to level p.
LevelValues DragLevel(const LevelValues& values, int marker, float p);

// Screen layout of the control at a scale (1 at 96 dpi) for a client width.
struct LevelsLayout {
    int histogramLeft = 0, histogramTop = 0, histogramWidth = 0, histogramHeight = 0;
    int inputTop = 0, inputHeight = 0;
    int firstRowTop = 0;
    int outputTop = 0, outputHeight = 0;
    int secondRowTop = 0;
    int boxWidth = 0, boxHeight = 0;
    int margin = 0;
};
LevelsLayout LayOutLevels(int clientWidth, double scale);

// The marker under a press at (x, y), gamma before black before white, low before high.
int HitLevelMarker(const LevelsLayout& layout, const LevelValues& values, int x, int y);

// The bin a pixel column (counted from the area's left) shows.
std::size_t HistogramBin(int column, int width, std::size_t bins);
// A bar's height in pixels for a count, with `largest` the greatest count.
int HistogramBarHeight(std::uint32_t count, std::uint32_t largest, int areaHeight);

}  // namespace ridgeforge
