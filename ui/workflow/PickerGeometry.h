// Where the pickers put things, without a window: the thumbnail grid's
// cells, the name list's rows, the segmented strip's segments, the scroll
// offsets a scroll bar code asks for, and the two strokes of the tick.
// Every size is in pixels already scaled to the window's DPI.
#pragma once

#include <vector>

#include <wx/gdicmn.h>

#include "ui/workflow/SectionGeometry.h"

namespace ridgeforge {

// The thumbnail grid for a client area and a column count.
struct GridGeometry {
    int gap = 6;
    int captionHeight = 16;
    int cellWidth = 24;
    int imageHeight = 19;
    int cellHeight = 35;
    int columns = 4;

    // Cell `index` at the scroll offset, inside a client area starting at `origin`.
    wxRect Cell(int index, int scroll, const wxPoint& origin = wxPoint(0, 0)) const;
    // 0 without items, else the height of every row with its gaps.
    int ContentHeight(int count) const;
};

// Cell width max(24 dip, (width - (columns + 1) gaps) / columns), the image
// four fifths of it, the caption under it. Columns below 1 count as 1.
GridGeometry MakeGridGeometry(int clientWidth, int columns, unsigned dpi);

// The first item whose cell holds the point, -1 when none or when the point
// lies outside the client area.
int GridHitTest(const GridGeometry& grid, const wxSize& client, int scroll, int count, const wxPoint& point);

// Rows of the name list: 18 dip high, one pixel in from the frame.
int ListRowHeight(unsigned dpi);
wxRect ListRow(int index, int scroll, const wxSize& client, unsigned dpi);
int ListContentHeight(int count, unsigned dpi);
// The first row holding the point inside the client area, -1 when none.
int ListHitTest(const wxSize& client, int scroll, int count, const wxPoint& point, unsigned dpi);
// The offset that brings row `index` into view (unchanged when it is in view).
int ListOffsetShowing(int index, int scroll, int clientHeight, unsigned dpi);

// Segment `index` of `count` (at least 1) across the client area.
wxRect SegmentRect(int index, int count, const wxSize& client);
int SegmentHitTest(int count, const wxSize& client, const wxPoint& point);

// What a vertical scroll bar asks for.
enum class ScrollCode { LineUp, LineDown, PageUp, PageDown, Thumb, Top, Bottom, Other };
// The wanted offset for a code: +-line, +-page, the thumb's track
// position, 0, `bottom`, or the offset unchanged.
int ScrollPosition(ScrollCode code, int offset, int line, int page, int bottom, int track);

// The two strokes of the tick in a square of `width` at (left, top): three
// points, each fraction of the width truncated toward zero.
std::vector<wxPoint> CheckMarkPoints(int left, int top, int width);

// How many rows of a square thumbnail of `side` fill an image area of the
// given size without stretching it out of shape: at least 1, at most side.
int ThumbnailRows(const wxSize& image, int side);

}  // namespace ridgeforge
