// The pictures of the seamless dialog: the image reduced by block averaging
// so that every value change reruns the method at once, and an image laid
// 2 x 2 as grey pixels, flipped in every other tile for a mirrored method.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "textures/seamless/SeamlessMethod.h"

namespace ridgeforge {

struct GreyImage {
    std::vector<float> pixels;  // row-major, top row first
    int width = 0;
    int height = 0;
};

// The image averaged over blocks of b x b pixels, b = ceil(longer side /
// 512); each preview pixel the mean of the block's pixels inside the image.
// Empty for an empty image or one whose pixel count is not width x height.
GreyImage ReducePreview(const std::vector<float>& pixels, int width, int height);

// The image laid 2 x 2 as a square of 2 x min(width, height) opaque grey
// pixels; with `flip` the odd tile columns and rows are mirrored. Empty (and
// side 0) for an empty or inconsistent image.
std::vector<std::uint32_t> BuildTilePreview(const std::vector<float>& pixels, int width, int height, bool flip,
                                            int& side);

// The line under the previews.
std::string SeamlessReportLine(const mesh::seamless::SeamlessReport& report, int previewWidth, int previewHeight);

}  // namespace ridgeforge
