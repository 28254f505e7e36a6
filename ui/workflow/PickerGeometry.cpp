#include "ui/workflow/PickerGeometry.h"

#include <algorithm>

#include "ui/framework/Dpi.h"

namespace ridgeforge {

wxRect GridGeometry::Cell(int index, int scroll, const wxPoint& origin) const {
    const int row = index / columns;
    const int column = index % columns;
    return {origin.x + gap + (cellWidth + gap) * column, origin.y + gap + (cellHeight + gap) * row - scroll, cellWidth,
            cellHeight};
}

int GridGeometry::ContentHeight(int count) const {
    if (count <= 0) return 0;
    const int rows = (count + columns - 1) / columns;
    return gap + rows * (cellHeight + gap);
}

GridGeometry MakeGridGeometry(int clientWidth, int columns, unsigned dpi) {
    GridGeometry grid;
    grid.columns = std::max(1, columns);
    grid.gap = ui::ScaleDip(6, dpi);
    grid.captionHeight = ui::ScaleDip(16, dpi);
    grid.cellWidth = std::max(ui::ScaleDip(24, dpi), (clientWidth - (grid.columns + 1) * grid.gap) / grid.columns);
    grid.imageHeight = grid.cellWidth * 4 / 5;
    grid.cellHeight = grid.imageHeight + grid.captionHeight;
    return grid;
}

int GridHitTest(const GridGeometry& grid, const wxSize& client, int scroll, int count, const wxPoint& point) {
    if (!wxRect(client).Contains(point)) return -1;
    for (int i = 0; i < count; ++i)
        if (grid.Cell(i, scroll).Contains(point)) return i;
    return -1;
}

int ListRowHeight(unsigned dpi) { return ui::ScaleDip(18, dpi); }

wxRect ListRow(int index, int scroll, const wxSize& client, unsigned dpi) {
    const int row = ListRowHeight(dpi);
    return {1, 1 + row * index - scroll, std::max(0, client.x - 2), row};
}

int ListContentHeight(int count, unsigned dpi) { return ListRowHeight(dpi) * count + 2; }

int ListHitTest(const wxSize& client, int scroll, int count, const wxPoint& point, unsigned dpi) {
    if (!wxRect(client).Contains(point)) return -1;
    for (int i = 0; i < count; ++i)
        if (ListRow(i, scroll, client, dpi).Contains(point)) return i;
    return -1;
}

int ListOffsetShowing(int index, int scroll, int clientHeight, unsigned dpi) {
    if (index < 0 || clientHeight <= 0) return scroll;
    const int row = ListRowHeight(dpi);
    const int top = 1 + row * index - scroll;
    if (top < 0) return 1 + row * index;
    if (top + row > clientHeight) return 1 + row * index + row - clientHeight;
    return scroll;
}

wxRect SegmentRect(int index, int count, const wxSize& client) {
    const int n = std::max(1, count);
    const int left = client.x * index / n;
    const int right = client.x * (index + 1) / n;
    return {left, 0, right - left, client.y};
}

int SegmentHitTest(int count, const wxSize& client, const wxPoint& point) {
    for (int i = 0; i < count; ++i)
        if (SegmentRect(i, count, client).Contains(point)) return i;
    return -1;
}

int ScrollPosition(ScrollCode code, int offset, int line, int page, int bottom, int track) {
    switch (code) {
        case ScrollCode::LineUp:
            return offset - line;
        case ScrollCode::LineDown:
            return offset + line;
        case ScrollCode::PageUp:
            return offset - page;
        case ScrollCode::PageDown:
            return offset + page;
        case ScrollCode::Thumb:
            return track;
        case ScrollCode::Top:
            return 0;
        case ScrollCode::Bottom:
            return bottom;
        case ScrollCode::Other:
            break;
    }
    return offset;
}

std::vector<wxPoint> CheckMarkPoints(int left, int top, int width) {
    return {{left + 22 * width / 100, top + 52 * width / 100},
            {left + 42 * width / 100, top + 72 * width / 100},
            {left + 78 * width / 100, top + 30 * width / 100}};
}

int ThumbnailRows(const wxSize& image, int side) {
    return std::min(std::max(image.y * side / std::max(image.x, 1), 1), side);
}

}  // namespace ridgeforge
