// GIF through giflib: only the first image of the file is decoded (later
// frames of an animation are never read). The frame's own size is the image
// size. Palette indices beyond the colour table read as black rather than
// past the table.
#include <gif_lib.h>

#include <vector>

#include "platform/Files.h"
#include "platform/ImageDecoders.h"

namespace ridgeforge::platform::detail {

namespace {

bool SkipExtension(GifFileType* gif) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
        return false;
    }
    while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
            return false;
        }
    }
    return true;
}

bool ReadFrame(GifFileType* gif, DecodedImage& image) {
    const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount <= 0) {
        image.failure = ImageFailure::CannotConvert;
        image.detail = "no colour table";
        return false;
    }
    const auto width = static_cast<std::size_t>(image.width);
    std::vector<GifPixelType> line(width);
    auto storeLine = [&](std::size_t y) {
        std::uint16_t* out = image.rgba.data() + y * width * 4u;
        for (std::size_t x = 0; x < width; ++x, out += 4) {
            const int index = line[x];
            if (index < map->ColorCount) {
                out[0] = Widen8(map->Colors[index].Red);
                out[1] = Widen8(map->Colors[index].Green);
                out[2] = Widen8(map->Colors[index].Blue);
            }
            out[3] = 0xFFFF;
        }
    };
    const auto height = static_cast<std::size_t>(image.height);
    if (gif->Image.Interlace) {
        static constexpr std::size_t kStart[4] = {0, 4, 2, 1};
        static constexpr std::size_t kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (std::size_t y = kStart[pass]; y < height; y += kStep[pass]) {
                if (DGifGetLine(gif, line.data(), static_cast<int>(width)) == GIF_ERROR) {
                    return false;
                }
                storeLine(y);
            }
        }
    } else {
        for (std::size_t y = 0; y < height; ++y) {
            if (DGifGetLine(gif, line.data(), static_cast<int>(width)) == GIF_ERROR) {
                return false;
            }
            storeLine(y);
        }
    }
    return true;
}

}  // namespace

void DecodeGif(const std::filesystem::path& path, const ImageLimits& limits, DecodedImage& image) {
    image.failure = ImageFailure::CannotOpen;
    int error = 0;
    // giflib closes the descriptor itself, also when it fails to open.
    const int fd = OpenRegularFile(path);
    GifFileType* gif = fd < 0 ? nullptr : DGifOpenFileHandle(fd, &error);
    if (!gif) {
        image.detail = GifErrorString(error) ? GifErrorString(error) : "";
        return;
    }
    auto finish = [&] {
        if (!image.Ok() && gif->Error != 0 && GifErrorString(gif->Error)) {
            image.detail = GifErrorString(gif->Error);
        }
        int closeError = 0;
        DGifCloseFile(gif, &closeError);
    };
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
            // A stream that ends before any image holds no frame.
            image.failure = ImageFailure::NoFrame;
            break;
        }
        if (type == EXTENSION_RECORD_TYPE) {
            if (!SkipExtension(gif)) {
                image.failure = ImageFailure::NoFrame;
                break;
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) {
            image.failure = ImageFailure::NoFrame;
            break;
        }
        if (DGifGetImageDesc(gif) == GIF_ERROR) {
            image.failure = ImageFailure::NoFrame;
            break;
        }
        // GIF has one layout: an 8-bit palette, which counts as other.
        image.format = StoredPixelFormat::Other;
        const auto width = static_cast<std::int64_t>(gif->Image.Width);
        const auto height = static_cast<std::int64_t>(gif->Image.Height);
        if (width < 0 || height < 0 ||
            !CheckImageSize(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), limits, image) ||
            !AllocatePixels(image)) {
            break;
        }
        if (ReadFrame(gif, image)) {
            image.failure = ImageFailure::None;
        } else if (image.failure != ImageFailure::CannotConvert) {
            image.failure = ImageFailure::PixelsUnreadable;
        }
        break;
    }
    finish();
}

}  // namespace ridgeforge::platform::detail
