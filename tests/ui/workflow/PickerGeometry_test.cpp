// Grid cells, list rows, segments, scroll codes and the tick, worked out by
// hand from the 96-DPI sizes.
#include <gtest/gtest.h>

#include "ui/workflow/PickerGeometry.h"

namespace ridgeforge {
namespace {

TEST(PickerGeometry, GridCellsRowsAndHits) {
    // 250 px, 2 columns: (250 - 3 * 6) / 2 = 116; image 92, cell 108.
    const GridGeometry two = MakeGridGeometry(250, 2, 96);
    EXPECT_EQ(two.cellWidth, 116);
    EXPECT_EQ(two.imageHeight, 92);
    EXPECT_EQ(two.cellHeight, 108);
    EXPECT_EQ(two.Cell(0, 0), wxRect(6, 6, 116, 108));
    EXPECT_EQ(two.Cell(3, 0), wxRect(128, 120, 116, 108));
    EXPECT_EQ(two.Cell(3, 50), wxRect(128, 70, 116, 108));
    EXPECT_EQ(two.ContentHeight(0), 0);
    EXPECT_EQ(two.ContentHeight(3), 6 + 2 * 114);
    EXPECT_EQ(two.ContentHeight(4), 6 + 2 * 114);

    // 90 dip with 4 columns would give 13 px cells: the 24-dip minimum
    // holds, and the fourth column runs past the right edge.
    const GridGeometry narrow = MakeGridGeometry(90, 4, 96);
    EXPECT_EQ(narrow.cellWidth, 24);
    EXPECT_EQ(narrow.Cell(3, 0).GetRight(), 6 + 3 * 30 + 23);
    EXPECT_EQ(MakeGridGeometry(135, 4, 144).cellWidth, 36);

    const wxSize client(250, 200);
    EXPECT_EQ(GridHitTest(two, client, 0, 4, {6, 6}), 0);
    EXPECT_EQ(GridHitTest(two, client, 0, 4, {5, 6}), -1);     // the gap
    EXPECT_EQ(GridHitTest(two, client, 0, 4, {121, 113}), 0);  // last pixel
    EXPECT_EQ(GridHitTest(two, client, 0, 4, {122, 50}), -1);
    EXPECT_EQ(GridHitTest(two, client, 0, 3, {130, 130}), -1);  // no fourth item
    EXPECT_EQ(GridHitTest(two, client, 0, 4, {130, 130}), 3);
    EXPECT_EQ(GridHitTest(two, client, 0, 4, {130, 230}), -1);  // outside the client
}

TEST(PickerGeometry, ListRowsHitsAndScrollingIntoView) {
    const wxSize client(100, 60);
    EXPECT_EQ(ListRow(2, 0, client, 96), wxRect(1, 37, 98, 18));
    EXPECT_EQ(ListRow(2, 10, client, 96), wxRect(1, 27, 98, 18));
    EXPECT_EQ(ListContentHeight(5, 96), 92);
    EXPECT_EQ(ListHitTest(client, 0, 5, {50, 1}, 96), 0);
    EXPECT_EQ(ListHitTest(client, 0, 5, {50, 19}, 96), 1);
    EXPECT_EQ(ListHitTest(client, 0, 2, {50, 40}, 96), -1);  // below the last row
    EXPECT_EQ(ListHitTest(client, 0, 5, {50, 0}, 96), -1);   // the frame line
    // Row 4 (top 73, bottom 91) below a 60-px area: its bottom on the bottom.
    EXPECT_EQ(ListOffsetShowing(4, 0, 60, 96), 31);
    // Row 0 above the area: back to the row's top.
    EXPECT_EQ(ListOffsetShowing(0, 31, 60, 96), 1);
    EXPECT_EQ(ListOffsetShowing(2, 10, 60, 96), 10);
    EXPECT_EQ(ListOffsetShowing(2, 10, 0, 96), 10);
}

TEST(PickerGeometry, SegmentsScrollCodesTickAndThumbnailRows) {
    const wxSize strip(100, 24);
    EXPECT_EQ(SegmentRect(0, 3, strip), wxRect(0, 0, 33, 24));
    EXPECT_EQ(SegmentRect(1, 3, strip), wxRect(33, 0, 33, 24));
    EXPECT_EQ(SegmentRect(2, 3, strip), wxRect(66, 0, 34, 24));
    EXPECT_EQ(SegmentHitTest(3, strip, {65, 5}), 1);
    EXPECT_EQ(SegmentHitTest(3, strip, {66, 5}), 2);

    EXPECT_EQ(ScrollPosition(ScrollCode::LineUp, 40, 18, 100, 500, 7), 22);
    EXPECT_EQ(ScrollPosition(ScrollCode::LineDown, 40, 18, 100, 500, 7), 58);
    EXPECT_EQ(ScrollPosition(ScrollCode::PageUp, 40, 18, 100, 500, 7), -60);
    EXPECT_EQ(ScrollPosition(ScrollCode::PageDown, 40, 18, 100, 500, 7), 140);
    EXPECT_EQ(ScrollPosition(ScrollCode::Thumb, 40, 18, 100, 500, 7), 7);
    EXPECT_EQ(ScrollPosition(ScrollCode::Top, 40, 18, 100, 500, 7), 0);
    EXPECT_EQ(ScrollPosition(ScrollCode::Bottom, 40, 18, 100, 500, 7), 500);
    EXPECT_EQ(ScrollPosition(ScrollCode::Other, 40, 18, 100, 500, 7), 40);
    EXPECT_EQ(ClampScroll(-60, 500, 100), 0);
    EXPECT_EQ(ClampScroll(900, 500, 100), 400);
    EXPECT_EQ(ClampScroll(30, 80, 100), 0);  // shorter than the area

    const std::vector<wxPoint> tick = CheckMarkPoints(10, 20, 14);
    ASSERT_EQ(tick.size(), 3u);
    EXPECT_EQ(tick[0], wxPoint(13, 27));  // 3.08, 7.28 truncated
    EXPECT_EQ(tick[1], wxPoint(15, 30));  // 5.88, 10.08
    EXPECT_EQ(tick[2], wxPoint(20, 24));  // 10.92, 4.2

    // A 116 x 92 image area shows the top 95 rows of a 120 thumbnail.
    EXPECT_EQ(ThumbnailRows({116, 92}, 120), 95);
    EXPECT_EQ(ThumbnailRows({50, 200}, 120), 120);
    EXPECT_EQ(ThumbnailRows({500, 1}, 120), 1);
}

}  // namespace
}  // namespace ridgeforge
