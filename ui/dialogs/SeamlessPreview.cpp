#include "ui/dialogs/SeamlessPreview.h"

#include <algorithm>

#include "ui/dialogs/ParameterRows.h"

namespace ridgeforge {
namespace {

bool Consistent(const std::vector<float>& pixels, int width, int height) {
    return width >= 1 && height >= 1 &&
           pixels.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

}  // namespace

GreyImage ReducePreview(const std::vector<float>& pixels, int width, int height) {
    GreyImage preview;
    if (!Consistent(pixels, width, height)) return preview;
    const int block = std::max(1, (std::max(width, height) + 511) / 512);
    preview.width = std::max(1, width / block);
    preview.height = std::max(1, height / block);
    preview.pixels.assign(static_cast<std::size_t>(preview.width) * preview.height, 0.0f);
    for (int py = 0; py < preview.height; ++py) {
        for (int px = 0; px < preview.width; ++px) {
            double sum = 0.0;
            int count = 0;
            for (int y = py * block; y < std::min(height, (py + 1) * block); ++y)
                for (int x = px * block; x < std::min(width, (px + 1) * block); ++x, ++count)
                    sum += pixels[static_cast<std::size_t>(y) * width + x];
            preview.pixels[static_cast<std::size_t>(py) * preview.width + px] =
                count > 0 ? static_cast<float>(sum / count) : 0.0f;
        }
    }
    return preview;
}

std::vector<std::uint32_t> BuildTilePreview(const std::vector<float>& pixels, int width, int height, bool flip,
                                            int& side) {
    side = 0;
    if (!Consistent(pixels, width, height)) return {};
    side = 2 * std::min(width, height);
    std::vector<std::uint32_t> tiles(static_cast<std::size_t>(side) * side);
    for (int y = 0; y < side; ++y) {
        int row = y % height;
        if (flip && (y / height) % 2 == 1) row = height - 1 - row;
        for (int x = 0; x < side; ++x) {
            int column = x % width;
            if (flip && (x / width) % 2 == 1) column = width - 1 - column;
            tiles[static_cast<std::size_t>(y) * side + x] =
                GreyPixel(pixels[static_cast<std::size_t>(row) * width + column]);
        }
    }
    return tiles;
}

std::string SeamlessReportLine(const mesh::seamless::SeamlessReport& report, int previewWidth, int previewHeight) {
    if (report.methodName.empty()) return "The image is used as it was loaded.";
    return mesh::seamless::DescribeReport(report) + "   (measured on the " + std::to_string(previewWidth) + " x " +
           std::to_string(previewHeight) + " preview; the full image is treated the same way)";
}

}  // namespace ridgeforge
