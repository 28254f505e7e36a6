// JPEG through libjpeg-turbo. Fatal errors arrive by longjmp from our error
// handler. libjpeg treats a truncated or damaged entropy stream as a warning
// and fills the rest with grey; for a height map that grey is a false plateau,
// so those warnings fail the load too.
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <new>
#include <vector>

#include "platform/Files.h"
#include "platform/ImageDecoders.h"

namespace ridgeforge::platform::detail {

namespace {

struct JpegErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

bool IsDamageWarning(int code) {
    switch (code) {
        case JWRN_JPEG_EOF:
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_MUST_RESYNC:
        case JWRN_NOT_SEQUENTIAL:
        case JWRN_BOGUS_PROGRESSION:
            return true;
        default:
            return false;
    }
}

void JpegEmitMessage(j_common_ptr info, int level) {
    if (level < 0 && IsDamageWarning(info->err->msg_code)) {
        JpegErrorExit(info);
    }
    // Trace messages and harmless warnings stay off the console.
}

enum class Stage { Header, Pixels };

struct JpegState {
    jpeg_decompress_struct info;
    JpegErrorManager errors;
    Stage stage = Stage::Header;
};

bool ReadHeader(JpegState& state, std::FILE* file) {
    if (setjmp(state.errors.jump)) {
        return false;
    }
    jpeg_create_decompress(&state.info);
    jpeg_stdio_src(&state.info, file);
    jpeg_read_header(&state.info, TRUE);
    return true;
}

// Decodes into rows of `components` bytes per pixel; `rows` points at a
// buffer of width x height x components bytes.
bool ReadRows(JpegState& state, std::uint8_t* rows) {
    if (setjmp(state.errors.jump)) {
        return false;
    }
    jpeg_start_decompress(&state.info);
    const std::size_t stride =
        static_cast<std::size_t>(state.info.output_width) * static_cast<std::size_t>(state.info.output_components);
    while (state.info.output_scanline < state.info.output_height) {
        JSAMPROW row = rows + stride * state.info.output_scanline;
        jpeg_read_scanlines(&state.info, &row, 1);
    }
    jpeg_finish_decompress(&state.info);
    return true;
}

}  // namespace

void DecodeJpeg(const std::filesystem::path& path, const ImageLimits& limits, DecodedImage& image) {
    image.failure = ImageFailure::CannotOpen;
    std::FILE* file = OpenRegularFileStream(path);
    if (!file) {
        return;
    }
    JpegState state{};
    state.info.err = jpeg_std_error(&state.errors.manager);
    state.errors.manager.error_exit = JpegErrorExit;
    state.errors.manager.emit_message = JpegEmitMessage;
    state.errors.message[0] = '\0';
    auto finish = [&] {
        jpeg_destroy_decompress(&state.info);
        std::fclose(file);
        if (!image.Ok() && state.errors.message[0]) {
            image.detail = state.errors.message;
        }
    };
    if (!ReadHeader(state, file)) {
        finish();
        return;
    }
    const J_COLOR_SPACE stored = state.info.jpeg_color_space;
    const bool grey = stored == JCS_GRAYSCALE;
    const bool cmyk = stored == JCS_CMYK || stored == JCS_YCCK;
    // Only 8-bit grey has an entry of its own; colour JPEG (8-bit RGB once
    // decoded) and CMYK count as other.
    image.format = grey ? StoredPixelFormat::Grey8 : StoredPixelFormat::Other;
    if (!CheckImageSize(state.info.image_width, state.info.image_height, limits, image)) {
        finish();
        return;
    }
    state.info.out_color_space = grey ? JCS_GRAYSCALE : (cmyk ? JCS_CMYK : JCS_RGB);
    const std::size_t components = grey ? 1 : (cmyk ? 4 : 3);
    std::vector<std::uint8_t> samples;
    if (!AllocatePixels(image)) {
        finish();
        return;
    }
    try {
        samples.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * components);
    } catch (const std::bad_alloc&) {
        image.failure = ImageFailure::OutOfMemory;
        finish();
        return;
    }
    if (!ReadRows(state, samples.data()) || state.info.output_components != static_cast<int>(components)) {
        image.failure = ImageFailure::PixelsUnreadable;
        finish();
        return;
    }
    const std::size_t pixelCount = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    std::uint16_t* out = image.rgba.data();
    for (std::size_t i = 0; i < pixelCount; ++i, out += 4) {
        const std::uint8_t* s = samples.data() + i * components;
        if (grey) {
            out[0] = out[1] = out[2] = Widen8(s[0]);
        } else if (cmyk) {
            // Adobe writes CMYK inverted: the stored value is the ink left out.
            out[0] = Widen8(static_cast<std::uint8_t>(s[0] * s[3] / 255));
            out[1] = Widen8(static_cast<std::uint8_t>(s[1] * s[3] / 255));
            out[2] = Widen8(static_cast<std::uint8_t>(s[2] * s[3] / 255));
        } else {
            out[0] = Widen8(s[0]);
            out[1] = Widen8(s[1]);
            out[2] = Widen8(s[2]);
        }
        out[3] = 0xFFFF;
    }
    image.failure = ImageFailure::None;
    finish();
}

}  // namespace ridgeforge::platform::detail
