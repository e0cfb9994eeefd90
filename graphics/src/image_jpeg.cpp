// JPEG reader: baseline sequential files only. libjpeg does the entropy decoding and the inverse DCT and
// hands over the raw component planes; chroma upsampling (plane doubling, nearest sample) and the integer
// YCbCr to RGB conversion are ours, so every decoder of this engine produces the same pixels.
//
// The header check decodes the whole file into one process-wide context (images are decoded one at a time
// on the main thread); the decode step turns the planes into the record's pixels.
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "graphics/src/image_readers.h"

namespace {

// A baseline image block codes in no less than a few bits, so a file cannot describe more than about 100
// pixels per byte; a header asking for far more is refused before anything is allocated.
constexpr std::uint64_t kMaxPixelsPerByte = 1024;

struct Plane {
    std::vector<std::uint8_t> samples;
    std::size_t stride = 0;
    std::uint32_t width = 0; // samples of the image in this plane
    std::uint32_t height = 0;
};

struct JpegContext {
    Plane planes[3];
    int components = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

JpegContext& context() {
    static JpegContext shared;
    return shared;
}

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void abortDecode(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Damaged entropy data is a failure, not a picture with grey blocks.
void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) {
        return;
    }
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_EXTRANEOUS_DATA:
        abortDecode(cinfo);
    default:
        break;
    }
}

void silent(j_common_ptr) {}

// Decodes the planes into the context. Only plain data lives in this frame: libjpeg leaves it by longjmp.
bool decodePlanes(const std::uint8_t* bytes, std::size_t size, JpegContext& out) {
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = &abortDecode;
    errors.base.emit_message = &onMessage;
    errors.base.output_message = &silent;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || cinfo.progressive_mode || cinfo.arith_code ||
        cinfo.data_precision != 8 || (cinfo.num_components != 1 && cinfo.num_components != 3) ||
        cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > image_limits::kMaxSide ||
        cinfo.image_height > image_limits::kMaxSide ||
        std::uint64_t{cinfo.image_width} * cinfo.image_height > image_limits::kMaxPixels ||
        std::uint64_t{cinfo.image_width} * cinfo.image_height > size * kMaxPixelsPerByte) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.raw_data_out = TRUE;
    cinfo.do_fancy_upsampling = FALSE;
    cinfo.out_color_space = cinfo.jpeg_color_space;
    jpeg_start_decompress(&cinfo);

    const int groupRows = cinfo.max_v_samp_factor * DCTSIZE;
    out.components = cinfo.num_components;
    out.width = cinfo.image_width;
    out.height = cinfo.image_height;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& comp = cinfo.comp_info[c];
        Plane& plane = out.planes[c];
        plane.stride = (comp.width_in_blocks + comp.h_samp_factor) * DCTSIZE;
        plane.width = comp.downsampled_width;
        plane.height = comp.downsampled_height;
        plane.samples.assign(plane.stride * cinfo.total_iMCU_rows * comp.v_samp_factor * DCTSIZE, 0);
    }
    JSAMPROW rows[3][4 * DCTSIZE];
    JSAMPARRAY planes[3] = {rows[0], rows[1], rows[2]};
    for (JDIMENSION group = 0; cinfo.output_scanline < cinfo.output_height; ++group) {
        if (group >= cinfo.total_iMCU_rows) {
            break;
        }
        for (int c = 0; c < cinfo.num_components; ++c) {
            const int planeRows = cinfo.comp_info[c].v_samp_factor * DCTSIZE;
            Plane& plane = out.planes[c];
            for (int r = 0; r < planeRows; ++r) {
                rows[c][r] = plane.samples.data() + (group * planeRows + r) * plane.stride;
            }
        }
        if (jpeg_read_raw_data(&cinfo, planes, static_cast<JDIMENSION>(groupRows)) == 0) {
            break;
        }
    }
    const bool complete = cinfo.output_scanline >= cinfo.output_height;
    if (complete) {
        jpeg_finish_decompress(&cinfo);
    }
    jpeg_destroy_decompress(&cinfo);
    return complete;
}

// Walks the marker segments up to the first scan: only baseline frames (SOF0), Huffman and quantisation
// tables, restart intervals, application segments and comments may come before it. Anything else
// (progressive or extended frames, arithmetic coding) rejects the file.
bool acceptedMarkers(const std::uint8_t* bytes, std::size_t size) {
    std::size_t offset = 2;
    bool haveFrame = false;
    while (offset + 4 <= size) {
        if (bytes[offset] != 0xFF) {
            return false;
        }
        const std::uint8_t marker = bytes[offset + 1];
        if (marker == 0xFF) {
            ++offset; // fill byte
            continue;
        }
        if (marker == 0xDA) {
            return haveFrame;
        }
        const bool known = marker == 0xC0 || marker == 0xC4 || marker == 0xDB || marker == 0xDD ||
                           (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
        if (!known) {
            return false;
        }
        haveFrame = haveFrame || marker == 0xC0;
        const std::size_t length = static_cast<std::size_t>(bytes[offset + 2]) << 8 | bytes[offset + 3];
        if (length < 2) {
            return false;
        }
        offset += 2 + length;
    }
    return false;
}

bool readHeader(ImageRecord& image, const std::uint8_t* bytes, std::size_t size) {
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8 || !acceptedMarkers(bytes, size)) {
        return false;
    }
    JpegContext& ctx = context();
    ctx = JpegContext{};
    if (!decodePlanes(bytes, size, ctx)) {
        return false;
    }
    image.width = static_cast<std::int32_t>(ctx.width);
    image.height = static_cast<std::int32_t>(ctx.height);
    image.format = ctx.components == 1 ? IMAGE_FORMAT_GREY8 : IMAGE_FORMAT_RGB8;
    image.bitsPerPixel = 8 * ctx.components;
    image.pitch = image.width * ctx.components;
    image.dataSize = std::uint64_t{static_cast<std::uint32_t>(image.pitch)} * ctx.height;
    return true;
}

// How often a plane is doubled until it covers `size` samples.
int doublings(std::uint32_t planeSize, std::uint32_t size) {
    int shift = 0;
    while (shift < 4 && (std::uint64_t{planeSize} << shift) < size) {
        ++shift;
    }
    return shift;
}

std::uint8_t clampByte(int v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

bool decode(ImageRecord& image) {
    JpegContext& ctx = context();
    const std::size_t width = ctx.width;
    const std::size_t height = ctx.height;
    image.decoded.resize(width * height * static_cast<std::size_t>(ctx.components));
    std::uint8_t* out = image.decoded.data();
    if (ctx.components == 1) {
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint8_t* row = ctx.planes[0].samples.data() + y * ctx.planes[0].stride;
            std::copy(row, row + width, out + y * width);
        }
    } else {
        int sx[3];
        int sy[3];
        for (int c = 0; c < 3; ++c) {
            sx[c] = doublings(ctx.planes[c].width, ctx.width);
            sy[c] = doublings(ctx.planes[c].height, ctx.height);
        }
        for (std::size_t y = 0; y < height; ++y) {
            const std::uint8_t* rowY = ctx.planes[0].samples.data() + (y >> sy[0]) * ctx.planes[0].stride;
            const std::uint8_t* rowCb = ctx.planes[1].samples.data() + (y >> sy[1]) * ctx.planes[1].stride;
            const std::uint8_t* rowCr = ctx.planes[2].samples.data() + (y >> sy[2]) * ctx.planes[2].stride;
            for (std::size_t x = 0; x < width; ++x) {
                const int lum = rowY[x >> sx[0]];
                const int cb = rowCb[x >> sx[1]] - 128;
                const int cr = rowCr[x >> sx[2]] - 128;
                *out++ = clampByte(lum + ((359 * cr + 128) >> 8));
                *out++ = clampByte(lum - ((88 * cb + 183 * cr - 128) >> 8));
                *out++ = clampByte(lum + ((454 * cb + 128) >> 8));
            }
        }
    }
    // The planes are only needed until the pixels exist.
    ctx = JpegContext{};
    image.pixels = image.decoded.data();
    return true;
}

} // namespace

const ImageReader& jpegImageReader() {
    static const ImageReader reader{"jpg", &readHeader, &decode};
    return reader;
}
