// JPEG through libjpeg: gray, colour, CMYK and YCCK (turned to red, green,
// blue), baseline and progressive; written with the quality of the save options.
#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/imflib/codec.h"
#include "platform/system.h"

namespace imf {
namespace {

// More scans than any real progressive file has; beyond it the file is hostile.
constexpr int kMaxScans = 1000;
constexpr int kBand = 16;  // rows per call into the library

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    bool truncated = false;
};

void OnError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    char text[JMSG_LENGTH_MAX];
    cinfo->err->format_message(cinfo, text);
    Fail(std::string("JPEG: ") + text);
    std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    // A file that ends early, or a scan whose data stops before its last
    // block, is a truncated file, not a picture with a gray bottom.
    if (level < 0 && (cinfo->err->msg_code == JWRN_JPEG_EOF || cinfo->err->msg_code == JWRN_HIT_MARKER))
        err->truncated = true;
}

void OnProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (d->input_scan_number > kMaxScans) {
            auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
            Fail("JPEG: too many scans");
            std::longjmp(err->jump, 1);
        }
    }
}

// Whether a file of fileBytes can hold the picture its header claims, checked
// before any pixel memory is taken. Huffman codes are at least one bit long,
// so the first scan spends at least one bit on every block of its components
// (a sequential scan two: the DC difference and the end of block). Arithmetic
// coding can spend far less than a bit on a block and has no such bound.
bool DataCanHoldPicture(const jpeg_decompress_struct& cinfo, std::int64_t fileBytes) {
    if (cinfo.arith_code || fileBytes < 0) return true;
    if (cinfo.progressive_mode && cinfo.Ss != 0)
        return Fail("JPEG: the first scan of a progressive file must hold the DC coefficients");
    std::uint64_t blocks = 0;
    for (int i = 0; i < cinfo.comps_in_scan; ++i) {
        const jpeg_component_info* c = cinfo.cur_comp_info[i];
        blocks += std::uint64_t(c->width_in_blocks) * std::uint64_t(c->height_in_blocks);
    }
    const std::uint64_t bitsPerBlock = cinfo.progressive_mode ? 1 : 2;
    if (blocks * bitsPerBlock > std::uint64_t(fileBytes) * 8)
        return Fail("JPEG: the file is truncated (" + std::to_string(fileBytes) +
                    " bytes cannot hold a picture of " + std::to_string(cinfo.image_width) + " x " +
                    std::to_string(cinfo.image_height) + " pixels)");
    return true;
}

struct Decoder {
    jpeg_decompress_struct cinfo{};
    ErrorManager err;
    jpeg_progress_mgr monitor{};
    std::vector<std::uint8_t> band;
    std::vector<std::uint8_t> work;
    bool created = false;
    ~Decoder() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

struct Encoder {
    jpeg_compress_struct cinfo{};
    ErrorManager err;
    std::vector<std::uint8_t> band;
    std::vector<std::uint8_t> stored;
    bool created = false;
    ~Encoder() {
        if (created) jpeg_destroy_compress(&cinfo);
    }
};

}  // namespace

bool SniffJpeg(const std::uint8_t* head, std::size_t n) {
    return n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

bool ReadJpeg(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress) {
    const auto d = std::make_unique<Decoder>();
    jpeg_decompress_struct& cinfo = d->cinfo;
    cinfo.err = jpeg_std_error(&d->err.pub);
    d->err.pub.error_exit = OnError;
    d->err.pub.emit_message = OnMessage;
    if (setjmp(d->err.jump)) return false;
    jpeg_create_decompress(&cinfo);
    d->created = true;
    d->monitor.progress_monitor = OnProgress;
    cinfo.progress = &d->monitor;
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    if (!CheckSize(cinfo.image_width, cinfo.image_height)) return false;
    if (!DataCanHoldPicture(cinfo, FileSize(file))) return false;
    info.width = int(cinfo.image_width);
    info.height = int(cinfo.image_height);
    info.order = 1;
    if (cinfo.density_unit == 1) {
        info.xPpm = DpiToPpm(cinfo.X_density);
        info.yPpm = DpiToPpm(cinfo.Y_density);
    } else if (cinfo.density_unit == 2) {
        info.xPpm = std::uint32_t(cinfo.X_density) * 100;
        info.yPpm = std::uint32_t(cinfo.Y_density) * 100;
    }
    bool cmyk = false;
    switch (cinfo.jpeg_color_space) {
        case JCS_GRAYSCALE:
            info.bits = 8;
            info.SetGrayRamp();
            cinfo.out_color_space = JCS_GRAYSCALE;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            info.bits = 24;
            cmyk = true;
            cinfo.out_color_space = JCS_CMYK;
            break;
        case JCS_RGB:
        case JCS_YCbCr:
            info.bits = 24;
            cinfo.out_color_space = JCS_EXT_BGR;
            break;
        default:
            return Fail("JPEG: the colour space is not supported");
    }
    if (rows == nullptr) {
        jpeg_abort_decompress(&cinfo);
        return true;
    }
    if (!StartPixels(info, *rows, *progress)) return false;
    cinfo.dct_method = JDCT_ISLOW;
    // Progressive files keep every coefficient of the picture in memory; beyond
    // half of what is available the read fails instead of exhausting it.
    cinfo.mem->max_memory_to_use =
        long(std::clamp<std::uint64_t>(platform::AvailableMemory() / 2, 64u << 20, std::uint64_t(1) << 34));
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = rows->Info().RowBytes();
    const std::size_t sample = std::size_t(info.width) * std::size_t(cinfo.output_components);
    d->band.assign(std::max(stride, sample) * kBand, 0);
    if (cmyk) d->work.assign(stride, 0);
    JSAMPROW pointers[kBand];
    const std::size_t pitch = std::max(stride, sample);
    for (int k = 0; k < kBand; ++k) pointers[k] = d->band.data() + pitch * std::size_t(k);
    const bool inverted = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
        const int first = int(cinfo.output_scanline);
        const int got = int(jpeg_read_scanlines(&cinfo, pointers, kBand));
        if (d->err.truncated) return Fail("JPEG: the file is truncated");
        for (int k = 0; k < got; ++k) {
            std::uint8_t* row = pointers[k];
            if (cmyk) {
                CmykToRgb(row, info.width, inverted, d->work.data());
                SwapRedBlue(d->work.data(), info.width);
                row = d->work.data();
            } else if (pitch > sample) {
                std::memset(row + sample, 0, pitch - sample);
            }
            if (!rows->Put(first + k, row) || !progress->Step(first + k + 1)) return false;
        }
        if (got == 0) return Fail("JPEG: the file is truncated");
    }
    jpeg_finish_decompress(&cinfo);
    if (d->err.truncated) return Fail("JPEG: the file is truncated");
    return true;
}

bool WriteJpeg(std::FILE* file, const std::string&, DibRows& rows, Progress& progress,
               const SaveOptions& options) {
    const ImageInfo& info = rows.Info();
    const auto e = std::make_unique<Encoder>();
    jpeg_compress_struct& cinfo = e->cinfo;
    cinfo.err = jpeg_std_error(&e->err.pub);
    e->err.pub.error_exit = OnError;
    e->err.pub.emit_message = OnMessage;
    if (setjmp(e->err.jump)) return false;
    jpeg_create_compress(&cinfo);
    e->created = true;
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(info.width);
    cinfo.image_height = JDIMENSION(info.height);
    const bool gray = info.bits <= 8 && info.IsGrayRamp();
    const bool direct = info.bits == 24 || info.bits == 32 || (gray && info.bits == 8);
    if (gray) {
        cinfo.input_components = 1;
        cinfo.in_color_space = JCS_GRAYSCALE;
    } else if (info.bits == 32) {
        cinfo.input_components = 4;
        cinfo.in_color_space = JCS_EXT_BGRX;
    } else {
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_EXT_BGR;
    }
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, std::clamp(options.jpegQuality, 1, 100), TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    if (info.xPpm != 0 || info.yPpm != 0) {
        cinfo.density_unit = 1;
        cinfo.X_density = UINT16(std::min<std::uint32_t>(PpmToDpi(info.xPpm ? info.xPpm : info.yPpm), 65535));
        cinfo.Y_density = UINT16(std::min<std::uint32_t>(PpmToDpi(info.yPpm ? info.yPpm : info.xPpm), 65535));
    }
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = info.RowBytes();
    const std::size_t sample = std::size_t(info.width) * std::size_t(cinfo.input_components);
    const std::size_t pitch = direct ? stride : sample;
    e->band.assign(pitch * kBand, 0);
    if (!direct) e->stored.assign(stride, 0);
    JSAMPROW pointers[kBand];
    for (int k = 0; k < kBand; ++k) pointers[k] = e->band.data() + pitch * std::size_t(k);
    for (int y = 0; y < info.height;) {
        const int n = std::min(kBand, info.height - y);
        for (int k = 0; k < n; ++k) {
            if (direct) {
                if (!rows.Get(y + k, pointers[k])) return false;
            } else {
                if (!rows.Get(y + k, e->stored.data())) return false;
                if (gray)
                    RowToGray(info, e->stored.data(), info.width, pointers[k]);
                else
                    RowToBgr(info, e->stored.data(), info.width, pointers[k]);
            }
        }
        jpeg_write_scanlines(&cinfo, pointers, JDIMENSION(n));
        y += n;
        if (!progress.Step(y)) return false;
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

}  // namespace imf
