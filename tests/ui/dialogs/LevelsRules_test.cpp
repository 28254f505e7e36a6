// The levels control's arithmetic, with expected values worked out by hand.
#include "ui/dialogs/LevelsRules.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ridgeforge {
namespace {

std::array<wxString, 5> Texts(const LevelValues& v) { return LevelBoxTexts(v); }

TEST(LevelsRules, TypedLevelsAre0To255AndWhiteStaysAboveBlack) {
    LevelValues v;
    v.inputWhite = 100.0f / 255.0f;
    auto texts = Texts(v);
    texts[0] = "200";
    const LevelValues next = CommitLevelTexts(v, texts);
    EXPECT_FLOAT_EQ(next.inputBlack, 200.0f / 255.0f);
    EXPECT_FLOAT_EQ(next.inputWhite, 201.0f / 255.0f);
    EXPECT_EQ(LevelBoxTexts(next)[2], "201");

    // Black at 255 pushes white to the top, no further.
    texts = Texts(v);
    texts[0] = "300";
    const LevelValues top = CommitLevelTexts(v, texts);
    EXPECT_FLOAT_EQ(top.inputBlack, 1.0f);
    EXPECT_FLOAT_EQ(top.inputWhite, 1.0f);

    // Output levels clamp to 0..255 and may meet.
    texts = Texts(LevelValues{});
    texts[3] = "-5";
    texts[4] = "128";
    const LevelValues out = CommitLevelTexts(LevelValues{}, texts);
    EXPECT_FLOAT_EQ(out.outputLow, 0.0f);
    EXPECT_FLOAT_EQ(out.outputHigh, 128.0f / 255.0f);
}

TEST(LevelsRules, GammaIsTypedAsItsReciprocalBetween0Point1And9Point99) {
    LevelValues v;
    v.inputBlack = 40.0f / 255.0f;
    v.inputWhite = 240.0f / 255.0f;
    auto texts = Texts(v);
    EXPECT_EQ(texts[1], "1.00");
    texts[1] = "2";
    LevelValues next = CommitLevelTexts(v, texts);
    EXPECT_FLOAT_EQ(next.gamma, 0.5f);
    EXPECT_EQ(LevelBoxTexts(next)[1], "2.00");
    // A quarter of the way from black to white: 0.5 squared.
    EXPECT_NEAR(GammaMarkerLevel(next), (40.0f + 0.25f * 200.0f) / 255.0f, 1e-6f);

    texts[1] = "20";
    next = CommitLevelTexts(v, texts);
    EXPECT_FLOAT_EQ(next.gamma, 1.0f / 9.99f);
    EXPECT_EQ(LevelBoxTexts(next)[1], "9.99");
    texts[1] = "0.05";
    EXPECT_FLOAT_EQ(CommitLevelTexts(v, texts).gamma, 10.0f);

    // Zero, negative and unreadable gammas keep the old value.
    for (const char* typed : {"0", "-2", "x", "inf"}) {
        texts[1] = typed;
        EXPECT_FLOAT_EQ(CommitLevelTexts(v, texts).gamma, 1.0f) << typed;
    }
    LevelValues broken;
    broken.gamma = 0.0f;
    EXPECT_EQ(LevelBoxTexts(broken)[1], "1.00");
}

TEST(LevelsRules, UnreadableLevelsKeepTheirValues) {
    LevelValues v{0.2f, 0.8f, 1.0f, 0.1f, 0.9f};
    std::array<wxString, 5> texts{"", "abc", "1e999", "  ", "nan"};
    EXPECT_EQ(CommitLevelTexts(v, texts), v);
}

TEST(LevelsRules, DraggingKeepsTheMarkersInOrder) {
    LevelValues v{0.2f, 0.6f, 1.0f, 0.3f, 0.7f};
    const float e = 1.0f / 255.0f;
    EXPECT_FLOAT_EQ(DragLevel(v, kInputBlack, 0.9f).inputBlack, 0.6f - e);
    EXPECT_FLOAT_EQ(DragLevel(v, kInputBlack, 0.1f).inputBlack, 0.1f);
    EXPECT_FLOAT_EQ(DragLevel(v, kInputWhite, 0.0f).inputWhite, 0.2f + e);
    EXPECT_FLOAT_EQ(DragLevel(v, kOutputLow, 0.95f).outputLow, 0.7f);
    EXPECT_FLOAT_EQ(DragLevel(v, kOutputHigh, 0.05f).outputHigh, 0.3f);
    EXPECT_FLOAT_EQ(DragLevel(v, kOutputHigh, 0.8f).outputHigh, 0.8f);

    // The gamma marker on black gives f = 0.02; on white f = 0.98.
    EXPECT_NEAR(DragLevel(v, kGammaMarker, 0.2f).gamma, std::log(0.5) / std::log(0.02), 1e-5);
    // On white: ln 0.5 / ln 0.98 is about 34, held at 10.
    EXPECT_FLOAT_EQ(DragLevel(v, kGammaMarker, 0.6f).gamma, 10.0f);
    // Half way: f = 0.5, gamma 1.
    EXPECT_NEAR(DragLevel(v, kGammaMarker, 0.4f).gamma, 1.0f, 1e-5);
    EXPECT_EQ(DragLevel(v, kNoMarker, 0.5f), v);
}

TEST(LevelsRules, PositionsRoundHalfAwayFromZeroAndAStripWithoutWidthGivesZero) {
    EXPECT_EQ(LevelToX(0.5f, 8, 101), 8 + 51);  // 50.5 rounds up
    EXPECT_EQ(LevelToX(-1.0f, 8, 100), 8);
    EXPECT_EQ(LevelToX(2.0f, 8, 100), 108);
    EXPECT_FLOAT_EQ(XToLevel(58, 8, 100), 0.5f);
    EXPECT_FLOAT_EQ(XToLevel(0, 8, 100), 0.0f);
    EXPECT_FLOAT_EQ(XToLevel(500, 8, 100), 1.0f);
    EXPECT_FLOAT_EQ(XToLevel(50, 8, 0), 0.0f);
}

TEST(LevelsRules, LayoutAndHitTestFollowTheDrawnStrips) {
    const LevelsLayout l = LayOutLevels(316, 1.0);
    EXPECT_EQ(l.histogramLeft, 8);
    EXPECT_EQ(l.histogramWidth, 300);
    EXPECT_EQ(l.inputTop, 64);
    EXPECT_EQ(l.firstRowTop, 80);
    EXPECT_EQ(l.outputTop, 112);
    EXPECT_EQ(l.secondRowTop, 140);
    EXPECT_EQ(LayOutLevels(316, 1.5).histogramHeight, 96);

    // Black 0 (x 8), white 1 (x 308), gamma 1 (x 158); low 0.5 (x 158), high 0.52 (x 164).
    const LevelValues v{0.0f, 1.0f, 1.0f, 0.5f, 0.52f};
    EXPECT_EQ(HitLevelMarker(l, v, 10, 70), kInputBlack);
    EXPECT_EQ(HitLevelMarker(l, v, 303, 58), kInputWhite);  // 6 above the strip
    EXPECT_EQ(HitLevelMarker(l, v, 303, 55), kNoMarker);    // 9 above
    EXPECT_EQ(HitLevelMarker(l, v, 160, 84), kGammaMarker);
    EXPECT_EQ(HitLevelMarker(l, v, 100, 70), kNoMarker);
    // Where markers overlap: gamma over black, low over high.
    const LevelValues close{0.0f, 1.0f, 0.1f, 0.5f, 0.52f};  // gamma marker at 0.001, on black
    EXPECT_EQ(HitLevelMarker(l, close, 10, 70), kGammaMarker);
    EXPECT_EQ(HitLevelMarker(l, v, 161, 120), kOutputLow);
    EXPECT_EQ(HitLevelMarker(l, v, 170, 140), kOutputHigh);
    EXPECT_EQ(HitLevelMarker(l, v, 170, 145), kNoMarker);
    EXPECT_EQ(HitLevelMarker(l, v, 170, 111), kNoMarker);
}

TEST(LevelsRules, HistogramColumnsPickBinsAndScaleBarsToTheLargest) {
    EXPECT_EQ(HistogramBin(0, 300, 256), 0u);
    EXPECT_EQ(HistogramBin(150, 300, 256), 128u);
    EXPECT_EQ(HistogramBin(299, 300, 256), 255u);
    EXPECT_EQ(HistogramBin(400, 300, 256), 255u);
    EXPECT_EQ(HistogramBin(1, 2, 4), 2u);
    EXPECT_EQ(HistogramBarHeight(50, 100, 64), 32);
    EXPECT_EQ(HistogramBarHeight(1, 3, 64), 21);  // truncated
    EXPECT_EQ(HistogramBarHeight(0, 0, 64), 0);
    EXPECT_EQ(HistogramBarHeight(4000000000u, 4000000000u, 64), 64);
}

}  // namespace
}  // namespace ridgeforge
