// PNG through libpng: every colour type and depth. 16-bit samples are scaled
// to 8 bits, alpha and transparent colours are composed over white, palettes
// are kept, gray files stay gray.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <png.h>

#include "platform/imflib/codec.h"

namespace imf {
namespace {

void OnError(png_structp png, png_const_charp message) {
    Fail(std::string("PNG: ") + message);
    png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}

// The file as libpng reads it, watched at every chunk header: a chunk that
// claims more bytes than the file has left is refused as its header is read,
// before libpng sets memory aside for it (a text chunk's length is taken as
// it stands, up to 2 GB for a file of a few bytes).
struct Source {
    std::FILE* file = nullptr;
    std::int64_t size = -1;     // bytes from the signature to the file's end; -1 when unknown
    std::uint64_t at = 0;       // bytes read so far
    std::uint64_t next = 8;     // where the next chunk header begins
    std::uint8_t header[8] = {};
};

void CheckChunk(png_structp png, const Source& s) {
    const std::uint32_t length = png_get_uint_32(s.header);
    // Its data and its check sum must lie in the file.
    const std::uint64_t left = std::uint64_t(s.size) - std::min<std::uint64_t>(s.next + 8, std::uint64_t(s.size));
    if (std::uint64_t(length) + 4 <= left) return;
    char type[5] = {};
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t c = s.header[4 + i];
        type[i] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ? char(c) : '?';
    }
    char text[160];
    std::snprintf(text, sizeof text, "the %s chunk claims %u bytes, more than the file holds", type,
                  unsigned(length));
    png_error(png, text);
}

void ReadSource(png_structp png, png_bytep out, png_size_t n) {
    auto* s = static_cast<Source*>(png_get_io_ptr(png));
    if (std::fread(out, 1, n, s->file) != n) png_error(png, "Read Error");
    const std::uint64_t from = s->at, to = from + n;
    s->at = to;
    if (s->size < 0) return;
    // The bytes of chunk headers among those just read.
    while (s->next < to) {
        for (std::uint64_t i = std::max(from, s->next); i < std::min(to, s->next + 8); ++i)
            s->header[i - s->next] = out[i - from];
        if (s->next + 8 > to) break;
        CheckChunk(png, *s);
        s->next += 12 + std::uint64_t(png_get_uint_32(s->header));
    }
}

struct Reader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Source source;
    std::vector<std::uint8_t> pngRow;     // one row as libpng delivers it
    std::vector<std::uint8_t> unpacked;   // one index or blue, green, red per pixel
    std::vector<std::uint8_t> stored;     // one row in the picture's layout
    ~Reader() {
        if (png != nullptr) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

struct Writer {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<std::uint8_t> stored;
    std::vector<std::uint8_t> converted;
    ~Writer() {
        if (png != nullptr) png_destroy_write_struct(&png, info ? &info : nullptr);
    }
};

// How libpng's rows become picture pixels.
enum class Shape {
    Index,      // one index a byte (palette, 1-, 2-, 4-bit gray)
    Gray2,      // one 2-bit gray value a byte, widened to the 16-level ramp
    Gray,       // one gray byte
    GrayAlpha,  // gray, alpha
    Bgr,        // blue, green, red
    Bgra,       // blue, green, red, alpha
};

// Turns one libpng row of n pixels into unpacked picture pixels.
void Unpack(Shape shape, const std::uint8_t* in, int n, int colours, std::uint8_t* out) {
    switch (shape) {
        case Shape::Index:
            for (int i = 0; i < n; ++i) out[i] = in[i] < colours ? in[i] : 0;
            break;
        case Shape::Gray2:
            for (int i = 0; i < n; ++i) out[i] = std::uint8_t((in[i] & 3) * 5);
            break;
        case Shape::Gray:
            std::memcpy(out, in, std::size_t(n));
            break;
        case Shape::GrayAlpha:
            for (int i = 0; i < n; ++i) out[i] = OverWhite(in[2 * i], in[2 * i + 1]);
            break;
        case Shape::Bgr:
            std::memcpy(out, in, std::size_t(n) * 3);
            break;
        case Shape::Bgra:
            for (int i = 0; i < n; ++i) {
                const unsigned a = in[4 * i + 3];
                out[3 * i] = OverWhite(in[4 * i], a);
                out[3 * i + 1] = OverWhite(in[4 * i + 1], a);
                out[3 * i + 2] = OverWhite(in[4 * i + 2], a);
            }
            break;
    }
}

// Puts unpacked pixel i at column x of a stored row.
inline void Place(std::uint8_t* row, int bits, int x, const std::uint8_t* pixels, int i) {
    if (bits == 24) std::memcpy(row + 3 * x, pixels + 3 * i, 3);
    else packing::SetIndex(row, x, bits, pixels[i]);
}

}  // namespace

bool SniffPng(const std::uint8_t* head, std::size_t n) {
    return n >= 8 && png_sig_cmp(head, 0, 8) == 0;
}

bool ReadPng(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress) {
    const auto r = std::make_unique<Reader>();
    r->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (r->png == nullptr) return Fail("PNG: out of memory");
    r->info = png_create_info_struct(r->png);
    if (r->info == nullptr) return Fail("PNG: out of memory");
    png_structp png = r->png;
    png_infop pi = r->info;
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_set_chunk_malloc_max(png, 8u << 20);
    // Of the ancillary chunks only the resolution is used: the others (text,
    // profiles, suggested palettes...) are passed over unread.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    static const png_byte kUsed[] = {'p', 'H', 'Y', 's', 0};
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, kUsed, 1);
    Source& source = r->source;
    source.file = file;
    const long start = std::ftell(file);
    const std::int64_t size = FileSize(file);
    if (start >= 0 && size >= start) source.size = size - start;
    png_set_read_fn(png, &source, ReadSource);
    png_read_info(png, pi);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(png, pi, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
    if (!CheckSize(width, height)) return false;
    info.width = int(width);
    info.height = int(height);
    info.order = interlace == PNG_INTERLACE_NONE ? 1 : 0;
    png_uint_32 xRes = 0, yRes = 0;
    int unit = 0;
    if (png_get_pHYs(png, pi, &xRes, &yRes, &unit) && unit == PNG_RESOLUTION_METER) {
        info.xPpm = xRes;
        info.yPpm = yRes;
    }
    const bool hasTrns = png_get_valid(png, pi, PNG_INFO_tRNS) != 0;
    if (depth == 16) png_set_scale_16(png);
    Shape shape = Shape::Gray;
    switch (colourType) {
        case PNG_COLOR_TYPE_PALETTE: {
            png_colorp palette = nullptr;
            int count = 0;
            if (!png_get_PLTE(png, pi, &palette, &count) || count <= 0)
                return Fail("PNG: the palette is missing");
            info.bits = depth == 1 ? 1 : depth <= 4 ? 4 : 8;
            count = std::min(count, 1 << depth);
            png_bytep alpha = nullptr;
            int alphas = 0;
            if (hasTrns) png_get_tRNS(png, pi, &alpha, &alphas, nullptr);
            info.colours = count;
            for (int i = 0; i < count; ++i) {
                const unsigned a = (alpha != nullptr && i < alphas) ? alpha[i] : 255u;
                info.table[i] = RgbQuad{OverWhite(palette[i].blue, a), OverWhite(palette[i].green, a),
                                        OverWhite(palette[i].red, a), 0};
            }
            if (depth < 8) png_set_packing(png);
            shape = Shape::Index;
            break;
        }
        case PNG_COLOR_TYPE_GRAY:
            if (hasTrns) {
                png_set_expand(png);
                info.bits = 8;
                info.SetGrayRamp();
                shape = Shape::GrayAlpha;
            } else if (depth == 1 || depth == 4) {
                png_set_packing(png);
                info.bits = depth;
                info.SetGrayRamp();
                shape = Shape::Index;
            } else if (depth == 2) {
                png_set_packing(png);
                info.bits = 4;
                info.SetGrayRamp();
                shape = Shape::Gray2;
            } else {
                info.bits = 8;
                info.SetGrayRamp();
                shape = Shape::Gray;
            }
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            info.bits = 8;
            info.SetGrayRamp();
            shape = Shape::GrayAlpha;
            break;
        case PNG_COLOR_TYPE_RGB:
            png_set_bgr(png);
            info.bits = 24;
            shape = Shape::Bgr;
            if (hasTrns) {
                png_set_tRNS_to_alpha(png);
                shape = Shape::Bgra;
            }
            break;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            png_set_bgr(png);
            info.bits = 24;
            shape = Shape::Bgra;
            break;
        default:
            return Fail("PNG: the colour type is not supported");
    }
    if (rows == nullptr) return true;
    if (!StartPixels(info, *rows, *progress)) return false;
    png_read_update_info(png, pi);
    const std::size_t rowBytes = png_get_rowbytes(png, pi);
    const std::size_t perPixel = info.bits == 24 ? 3 : 1;
    r->pngRow.assign(std::max<std::size_t>(rowBytes, 8), 0);
    r->unpacked.assign(std::size_t(info.width) * perPixel, 0);
    r->stored.assign(info.RowBytes(), 0);
    std::uint8_t* stored = r->stored.data();
    if (interlace == PNG_INTERLACE_NONE) {
        for (int y = 0; y < info.height; ++y) {
            png_read_row(png, r->pngRow.data(), nullptr);
            Unpack(shape, r->pngRow.data(), info.width, info.colours, r->unpacked.data());
            if (info.bits == 24)
                std::memcpy(stored, r->unpacked.data(), r->unpacked.size());
            else
                PackIndices(r->unpacked.data(), info.width, info.bits, stored);
            if (!rows->Put(y, stored) || !progress->Step(y + 1)) return false;
        }
    } else {
        // Each pass's pixels go to their places in the picture's rows.
        int done = 0;
        const int total = info.height * 7;
        for (int pass = 0; pass < 7; ++pass) {
            const int cols = int(PNG_PASS_COLS(width, pass));
            const int passRows = int(PNG_PASS_ROWS(height, pass));
            if (cols == 0 || passRows == 0) continue;
            for (int pr = 0; pr < passRows; ++pr) {
                png_read_row(png, r->pngRow.data(), nullptr);
                Unpack(shape, r->pngRow.data(), cols, info.colours, r->unpacked.data());
                const int y = int(PNG_ROW_FROM_PASS_ROW(pr, pass));
                if (!rows->Get(y, stored)) return false;
                for (int i = 0; i < cols; ++i)
                    Place(stored, info.bits, int(PNG_COL_FROM_PASS_COL(i, pass)),
                          r->unpacked.data(), i);
                if (!rows->Put(y, stored)) return false;
                ++done;
                if (!progress->Step(int(std::int64_t(done) * info.height / total))) return false;
            }
        }
    }
    png_read_end(png, nullptr);
    return true;
}

bool WritePng(std::FILE* file, const std::string&, DibRows& rows, Progress& progress,
              const SaveOptions& options) {
    const ImageInfo& info = rows.Info();
    const auto w = std::make_unique<Writer>();
    w->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (w->png == nullptr) return Fail("PNG: out of memory");
    w->info = png_create_info_struct(w->png);
    if (w->info == nullptr) return Fail("PNG: out of memory");
    png_structp png = w->png;
    png_infop pi = w->info;
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_compression_level(png, std::clamp(options.pngLevel, 0, 9));
    const bool indexed = info.bits <= 8;
    const bool gray = indexed && info.IsGrayRamp();
    // One cheap filter: the left neighbour's difference suits photographs and
    // scans as well as libpng's adaptive choice at a third of its time;
    // palette and sub-byte rows compress best unfiltered.
    png_set_filter(png, 0, (indexed && !(gray && info.bits == 8)) ? PNG_FILTER_NONE : PNG_FILTER_SUB);
    int colourType = PNG_COLOR_TYPE_RGB;
    if (gray) colourType = PNG_COLOR_TYPE_GRAY;
    else if (indexed) colourType = PNG_COLOR_TYPE_PALETTE;
    png_set_IHDR(png, pi, png_uint_32(info.width), png_uint_32(info.height),
                 indexed ? info.bits : 8, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed && !gray) {
        png_color palette[256];
        for (int i = 0; i < info.colours; ++i)
            palette[i] = png_color{info.table[i].red, info.table[i].green, info.table[i].blue};
        png_set_PLTE(png, pi, palette, info.colours);
    }
    if (info.xPpm != 0 || info.yPpm != 0)
        png_set_pHYs(png, pi, info.xPpm ? info.xPpm : info.yPpm, info.yPpm ? info.yPpm : info.xPpm,
                     PNG_RESOLUTION_METER);
    png_write_info(png, pi);
    if (!indexed) png_set_bgr(png);
    if (info.bits == 32) png_set_filler(png, 0, PNG_FILLER_AFTER);
    w->stored.assign(info.RowBytes(), 0);
    if (info.bits == 16) w->converted.assign(std::size_t(info.width) * 3, 0);
    for (int y = 0; y < info.height; ++y) {
        if (!rows.Get(y, w->stored.data())) return false;
        std::uint8_t* row = w->stored.data();
        if (info.bits == 16) {
            RowToBgr(info, row, info.width, w->converted.data());
            row = w->converted.data();
        }
        png_write_row(png, row);
        if (!progress.Step(y + 1)) return false;
    }
    png_write_end(png, pi);
    return true;
}

}  // namespace imf
