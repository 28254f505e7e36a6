#include <gtest/gtest.h>

#include <vector>

#include "ui/app/AppToolbar.h"
#include "ui/app/ToolbarButton.h"

namespace ridgeforge {
namespace {

ToolbarButton Bare(std::uint32_t id) { return MakeToolbarButton(id, "", "", ""); }

TEST(ToolbarTexts, OwnTextsThenCommandStringThenFallback) {
    // Nothing of its own: the short name after the newline, the prompt before.
    const ToolbarTexts saveAs = WorkOutToolbarTexts(Bare(57604));
    EXPECT_EQ(saveAs.label, "Save As");
    EXPECT_EQ(saveAs.tooltip, "Save the active document with a new name");
    EXPECT_EQ(ToolbarTipText(saveAs), "Save As\nSave the active document with a new name");

    const auto strings = [](std::uint32_t id) -> wxString {
        if (id == 40001) return "Whole string, no newline";
        if (id == 40002) return " Prompt with\r a return \nShort\r\nname ";
        return "";
    };
    // Without a newline the string is both; as tooltip it repeats the label
    // and goes.
    const ToolbarTexts whole = WorkOutToolbarTexts(Bare(40001), strings);
    EXPECT_EQ(whole.label, "Whole string, no newline");
    EXPECT_EQ(whole.tooltip, "");
    EXPECT_EQ(ToolbarTipText(whole), "Whole string, no newline");
    // Only what is empty is taken from the string; the label goes on one
    // line, a tooltip keeps its line breaks; neither keeps a carriage return.
    ToolbarButton ownLabel = Bare(40002);
    ownLabel.label = "Mine";
    const ToolbarTexts partly = WorkOutToolbarTexts(ownLabel, strings);
    EXPECT_EQ(partly.label, "Mine");
    EXPECT_EQ(partly.tooltip, "Prompt with a return");
    EXPECT_EQ(WorkOutToolbarTexts(Bare(40002), strings).label, "Short name");
    ToolbarButton ownTooltip = Bare(40002);
    ownTooltip.tooltip = "Line one\r\nLine two";
    EXPECT_EQ(WorkOutToolbarTexts(ownTooltip, strings).tooltip, "Line one\nLine two");

    // No command string: the fallback label; no command at all: the same.
    ToolbarButton unknown = Bare(40003);
    unknown.fallbackLabel = "  Fallback ";
    EXPECT_EQ(WorkOutToolbarTexts(unknown, strings).label, "Fallback");
    ToolbarButton noCommand = Bare(0);
    noCommand.fallbackLabel = "Plain";
    noCommand.tooltip = "Plain tip";
    const ToolbarTexts plain = WorkOutToolbarTexts(noCommand, strings);
    EXPECT_EQ(plain.label, "Plain");
    EXPECT_EQ(plain.tooltip, "Plain tip");

    // A tooltip equal to the label in any case shows the label alone.
    const ToolbarTexts same = WorkOutToolbarTexts(MakeToolbarButton(57604, "", "Export STL", "EXPORT stl "));
    EXPECT_EQ(same.tooltip, "");
    EXPECT_EQ(ToolbarTipText(same), "Export STL");
}

// Items with a 26 px wide icon at the layout height (a square source) and
// one without an icon.
std::vector<ToolbarButton> Row() {
    return {MakeToolbarButton(40001, "a", "", ""), MakeToolbarButton(40002, "b", "", ""), MakeToolbarSeparator(6),
            MakeToolbarButton(40003, "c", "", ""), MakeToolbarButton(40004, "", "", "")};
}

int SquareIcons(const std::vector<ToolbarButton>& items, std::size_t index, int height) {
    return items[index].iconKey.empty() ? 0 : height;
}

ToolbarMetrics AppMetrics(int width, int height, unsigned dpi) {
    ToolbarMetrics metrics;
    metrics.client = wxSize(width, height);
    metrics.dpi = dpi;
    metrics.buttonInset = 4;
    metrics.itemGap = 1;
    metrics.edgeInset = 6;
    return metrics;
}

TEST(ToolbarLayout, RowColumnDpiAndShortStrips) {
    const auto items = Row();
    const auto icons = [&](std::size_t index, int height) { return SquareIcons(items, index, height); };

    // 42 px high at 96 DPI: buttons 32 high from y 5; icons laid out 26 high,
    // so icon buttons are 26 + 2 * 4 = 34 wide, the plain one 28.
    const ToolbarMetrics wide = AppMetrics(400, 42, 96);
    EXPECT_EQ(ToolbarButtonCrossSize(wide), 32);
    EXPECT_EQ(ToolbarLayoutIconHeight(wide), 26);
    EXPECT_EQ(ToolbarPaintIconHeight(wide), 24);
    const auto rects = LayoutToolbarItems(items, wide, icons);
    EXPECT_EQ(rects[0], wxRect(6, 5, 34, 32));
    EXPECT_EQ(rects[1], wxRect(41, 5, 34, 32));
    EXPECT_EQ(rects[2], wxRect(76, 5, 6, 32));  // the separator takes no item gap
    EXPECT_EQ(rects[3], wxRect(82, 5, 34, 32));
    EXPECT_EQ(rects[4], wxRect(117, 5, 28, 32));

    // A strip ending at 120 px (114 before the edge inset): the third button
    // would end at 116 and is hidden, and so is the narrow one after it,
    // though it alone would fit; the separator keeps its place.
    const auto cut = LayoutToolbarItems(items, AppMetrics(120, 42, 96), icons);
    EXPECT_FALSE(cut[0].IsEmpty());
    EXPECT_FALSE(cut[1].IsEmpty());
    EXPECT_EQ(cut[2], wxRect(76, 5, 6, 32));
    EXPECT_TRUE(cut[3].IsEmpty());
    EXPECT_TRUE(cut[4].IsEmpty());
    // Exactly fitting is still placed: the first button ends at 40 = 46 - 6.
    EXPECT_FALSE(LayoutToolbarItems(items, AppMetrics(46, 42, 96), icons)[0].IsEmpty());
    EXPECT_TRUE(LayoutToolbarItems(items, AppMetrics(45, 42, 96), icons)[0].IsEmpty());

    // A hidden item takes no room.
    auto hidden = items;
    hidden[1].visible = false;
    const auto skipped = LayoutToolbarItems(hidden, wide, icons);
    EXPECT_TRUE(skipped[1].IsEmpty());
    EXPECT_EQ(skipped[2].x, 41);

    // 62 px at 144 DPI: buttons 48 high from y 7, icons 39, insets 6 and 9.
    const ToolbarMetrics large = AppMetrics(600, 62, 144);
    const auto scaled = LayoutToolbarItems(items, large, icons);
    EXPECT_EQ(scaled[0], wxRect(9, 7, 51, 48));
    EXPECT_EQ(scaled[1].x, 9 + 51 + 2);
    EXPECT_EQ(scaled[4].width, 42);

    // A column: the same along y.
    ToolbarMetrics column = AppMetrics(42, 400, 96);
    column.vertical = true;
    const auto down = LayoutToolbarItems(items, column, icons);
    EXPECT_EQ(down[0], wxRect(5, 6, 32, 34));
    EXPECT_EQ(down[2], wxRect(5, 76, 32, 6));
}

TEST(ToolbarTint, GreyByLuminanceMixedWithTheTintAndFaded) {
    wxImage icon(3, 1);
    icon.InitAlpha();
    icon.SetRGB(0, 0, 10, 200, 40);
    icon.SetAlpha(0, 0, 255);
    icon.SetRGB(1, 0, 255, 0, 0);
    icon.SetAlpha(1, 0, 100);
    icon.SetRGB(2, 0, 255, 255, 255);
    icon.SetAlpha(2, 0, 0);
    const wxImage tinted = TintDisabledIcon(icon, wxColour(150, 60, 30));
    // L = (29 * 40 + 150 * 200 + 77 * 10) >> 8 = 124.
    EXPECT_EQ(tinted.GetRed(0, 0), (3 * 124 + 150) >> 2);
    EXPECT_EQ(tinted.GetGreen(0, 0), (3 * 124 + 60) >> 2);
    EXPECT_EQ(tinted.GetBlue(0, 0), (3 * 124 + 30) >> 2);
    EXPECT_EQ(tinted.GetAlpha(0, 0), 115);
    // Pure red: L = 77 * 255 >> 8 = 76; alpha 100 * 115 / 255 = 45.
    EXPECT_EQ(tinted.GetRed(1, 0), (3 * 76 + 150) >> 2);
    EXPECT_EQ(tinted.GetAlpha(1, 0), 45);
    // White: L = 255 (the weights add up to 256), fully transparent stays so.
    EXPECT_EQ(tinted.GetRed(2, 0), (3 * 255 + 150) >> 2);
    EXPECT_EQ(tinted.GetAlpha(2, 0), 0);
    // The source is untouched; an image without alpha counts as opaque.
    EXPECT_EQ(icon.GetRed(0, 0), 10);
    wxImage opaque(1, 1);
    opaque.SetRGB(0, 0, 0, 0, 0);
    EXPECT_EQ(TintDisabledIcon(opaque, wxColour(150, 150, 150)).GetAlpha(0, 0), 115);
}

TEST(ApplicationToolbar, TwentyButtonsInSixGroups) {
    const auto items = BuildToolbarButtons();
    std::vector<std::uint32_t> ids;
    std::vector<std::size_t> separators;
    for (std::size_t index = 0; index < items.size(); ++index) {
        if (items[index].kind == ToolbarItemKind::Separator) {
            separators.push_back(index);
            EXPECT_EQ(items[index].separatorGap, 6);
        } else {
            ids.push_back(items[index].commandId);
            EXPECT_EQ(items[index].iconSource, 1);
            EXPECT_FALSE(items[index].label.empty());
        }
    }
    const std::vector<std::uint32_t> expected{57600, 57601, 57604, 32837, 32817, 32845, 32846, 32847, 32904, 32811,
                                              32812, 32813, 32820, 32896, 32782, 32783, 32784, 32785, 32788, 32856};
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(separators, (std::vector<std::size_t>{3, 5, 11, 17, 23}));
    EXPECT_EQ(items[22].label, "Orthographic (Numpad 5)");
}

}  // namespace
}  // namespace ridgeforge
