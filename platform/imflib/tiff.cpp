// TIFF through libtiff: strips and tiles; no compression, LZW, Deflate,
// PackBits, JPEG, CCITT G3 and G4; 1, 2, 4, 8 and 16 bits; gray, palette,
// RGB, CMYK; contiguous or separate planes; the first page. Anything else
// libtiff can decode comes through its RGBA interface, a strip or tile at a time.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <tiffio.h>

#include "platform/imflib/codec.h"

namespace imf {
namespace {

// Largest single allocation libtiff may make for one file.
constexpr tmsize_t kMaxAlloc = tmsize_t(1) << 30;

tmsize_t FileRead(thandle_t h, void* buf, tmsize_t n) {
    return tmsize_t(std::fread(buf, 1, std::size_t(n), static_cast<std::FILE*>(h)));
}
tmsize_t FileWrite(thandle_t h, void* buf, tmsize_t n) {
    return tmsize_t(std::fwrite(buf, 1, std::size_t(n), static_cast<std::FILE*>(h)));
}
toff_t FileSeek(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<std::FILE*>(h);
    if (fseeko(f, off_t(off), whence) != 0) return toff_t(-1);
    return toff_t(ftello(f));
}
int FileClose(thandle_t) { return 0; }
toff_t FileSizeOf(thandle_t h) {
    const std::int64_t n = FileSize(static_cast<std::FILE*>(h));
    return n < 0 ? 0 : toff_t(n);
}
int NoMap(thandle_t, void**, toff_t*) { return 0; }
void NoUnmap(thandle_t, void*, toff_t) {}

int OnError(TIFF*, void*, const char*, const char* fmt, va_list ap) {
    char text[256];
    std::vsnprintf(text, sizeof text, fmt, ap);
    Fail(std::string("TIFF: ") + text);
    return 1;
}
int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct Handle {
    TIFF* tif = nullptr;
    ~Handle() {
        if (tif != nullptr) TIFFClose(tif);
    }
};

TIFF* Open(std::FILE* file, const char* mode) {
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (opts == nullptr) return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, kMaxAlloc);
    TIFFOpenOptionsSetErrorHandlerExtR(opts, OnError, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, OnWarning, nullptr);
    TIFF* tif = TIFFClientOpenExt("file", mode, file, FileRead, FileWrite, FileSeek, FileClose,
                                  FileSizeOf, NoMap, NoUnmap, opts);
    TIFFOpenOptionsFree(opts);
    return tif;
}

enum class Kind { Gray, Palette, Rgb, Cmyk, Rgba };

struct Layout {
    Kind kind = Kind::Gray;
    int bps = 1;
    int spp = 1;
    int alpha = -1;          // sample index of the alpha, -1 without
    bool associated = false;  // alpha already multiplied in
    bool whiteIsZero = false;
    bool separate = false;
    bool tiled = false;
};

std::uint32_t ResolutionPpm(float value, int unit) {
    if (!(value > 0.0f) || !std::isfinite(value) || value > 1e7f) return 0;
    if (unit == RESUNIT_INCH) return DpiToPpm(std::uint32_t(std::lround(value)));
    if (unit == RESUNIT_CENTIMETER) return std::uint32_t(std::lround(double(value) * 100.0));
    return 0;
}

// A tag of the current directory as the file holds it: libtiff quietly mends
// some malformed directories (a palette picture without its colour map
// becomes gray, a strip list shorter than the planes need is padded), and
// readers disagree on what such a file means, so it is refused instead.
struct RawTag {
    bool found = false;
    std::uint64_t count = 0;
    std::uint32_t first = 0;  // the first value of a short or long tag
};

RawTag FindRawTag(TIFF* tif, std::FILE* file, std::uint16_t tag) {
    RawTag result;
    const off_t here = ftello(file);
    std::uint8_t head[2];
    const bool big = TIFFIsBigTIFF(tif) != 0;
    if (fseeko(file, 0, SEEK_SET) == 0 && ReadExact(file, head, 2)) {
        const bool motorola = head[0] == 'M';
        auto get = [&](const std::uint8_t* p, int n) {
            std::uint64_t v = 0;
            for (int i = 0; i < n; ++i) v |= std::uint64_t(p[motorola ? n - 1 - i : i]) << (8 * i);
            return v;
        };
        std::uint8_t count[8];
        const int countBytes = big ? 8 : 2, entryBytes = big ? 20 : 12, lengthBytes = big ? 8 : 4;
        if (fseeko(file, off_t(TIFFCurrentDirOffset(tif)), SEEK_SET) == 0 && ReadExact(file, count, std::size_t(countBytes))) {
            const std::uint64_t n = std::min<std::uint64_t>(get(count, countBytes), 4096);
            std::uint8_t e[20];
            for (std::uint64_t i = 0; i < n && ReadExact(file, e, std::size_t(entryBytes)); ++i) {
                if (get(e, 2) != tag) continue;
                const std::uint64_t type = get(e + 2, 2);
                result.found = true;
                result.count = get(e + 4, lengthBytes);
                const std::uint8_t* value = e + 4 + lengthBytes;
                if (type == TIFF_SHORT) result.first = std::uint32_t(get(value, 2));
                else if (type == TIFF_LONG) result.first = std::uint32_t(get(value, 4));
                break;
            }
        }
    }
    fseeko(file, here, SEEK_SET);
    return result;
}

// Refuses directories that libtiff would mend in silence.
bool CheckDirectory(TIFF* tif, std::FILE* file) {
    const RawTag photometric = FindRawTag(tif, file, TIFFTAG_PHOTOMETRIC);
    std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (photometric.found && photometric.first == PHOTOMETRIC_PALETTE &&
        !TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b))
        return Fail("TIFF: the palette picture has no colour map");
    const bool tiled = TIFFIsTiled(tif) != 0;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    // One uncompressed strip of contiguous samples is cut into several by
    // libtiff itself; separate planes and tiles keep the file's count.
    if (!tiled && planar != PLANARCONFIG_SEPARATE) return true;
    const RawTag offsets = FindRawTag(tif, file, tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS);
    const std::uint64_t needed = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    if (offsets.found && offsets.count < needed)
        return Fail(std::string("TIFF: the picture needs ") + std::to_string(needed) + (tiled ? " tiles" : " strips") +
                    " but the file has " + std::to_string(offsets.count));
    return true;
}

bool Describe(TIFF* tif, ImageInfo& info, Layout& lay) {
    std::uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height))
        return Fail("TIFF: the picture size is missing");
    if (!CheckSize(width, height)) return false;
    info.width = int(width);
    info.height = int(height);
    std::uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = PLANARCONFIG_CONTIG;
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        photometric = spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    lay.bps = bps;
    lay.spp = spp;
    lay.separate = planar == PLANARCONFIG_SEPARATE && spp > 1;
    lay.tiled = TIFFIsTiled(tif) != 0;
    float xr = 0, yr = 0;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xr)) info.xPpm = ResolutionPpm(xr, unit);
    if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yr)) info.yPpm = ResolutionPpm(yr, unit);

    std::uint16_t extras = 0;
    std::uint16_t* extraTypes = nullptr;
    TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extras, &extraTypes);
    auto findAlpha = [&](int colourSamples) {
        if (extras > 0 && extraTypes != nullptr && spp > colourSamples &&
            (extraTypes[0] == EXTRASAMPLE_ASSOCALPHA || extraTypes[0] == EXTRASAMPLE_UNASSALPHA)) {
            lay.alpha = colourSamples;
            lay.associated = extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
        }
    };
    const bool wide = bps == 8 || bps == 16;
    bool native = false;
    if (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK) {
        lay.kind = Kind::Gray;
        lay.whiteIsZero = photometric == PHOTOMETRIC_MINISWHITE;
        findAlpha(1);
        if (spp == 1 && (bps == 1 || bps == 2 || bps == 4 || wide)) native = true;
        if (spp > 1 && wide) native = true;
        info.bits = (spp == 1 && bps == 1) ? 1 : (spp == 1 && bps <= 4) ? 4 : 8;
        info.SetGrayRamp();
    } else if (photometric == PHOTOMETRIC_PALETTE && spp == 1 && bps <= 8 && bps != 3 && bps > 0) {
        lay.kind = Kind::Palette;
        std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b)) return Fail("TIFF: the palette is missing");
        const int n = 1 << bps;
        // Some writers put 8-bit values in the 16-bit table.
        bool eight = true;
        for (int i = 0; i < n; ++i)
            if (r[i] > 255 || g[i] > 255 || b[i] > 255) eight = false;
        info.bits = bps == 1 ? 1 : bps <= 4 ? 4 : 8;
        info.colours = n;
        for (int i = 0; i < n; ++i)
            info.table[i] = eight ? RgbQuad{std::uint8_t(b[i]), std::uint8_t(g[i]), std::uint8_t(r[i]), 0}
                                  : RgbQuad{Scale16(b[i]), Scale16(g[i]), Scale16(r[i]), 0};
        native = true;
    } else if (photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG && bps == 8 &&
               !lay.separate) {
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        lay.kind = Kind::Rgb;
        findAlpha(3);
        info.bits = 24;
        native = spp >= 3;
    } else if (photometric == PHOTOMETRIC_RGB && spp >= 3 && wide) {
        lay.kind = Kind::Rgb;
        findAlpha(3);
        info.bits = 24;
        native = true;
    } else if (photometric == PHOTOMETRIC_SEPARATED && spp >= 4 && wide) {
        std::uint16_t inkset = INKSET_CMYK;
        TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkset);
        lay.kind = Kind::Cmyk;
        info.bits = 24;
        native = inkset == INKSET_CMYK;
    }
    if (lay.separate && bps < 8) native = false;
    if (!native) {
        char message[1024] = {};
        if (!TIFFRGBAImageOK(tif, message)) return Fail(std::string("TIFF: ") + message);
        lay.kind = Kind::Rgba;
        info.bits = 24;
        info.colours = 0;
    }
    return true;
}

// One contiguous row of samples (spp samples of bps bits) into a picture row.
void ConvertRow(const Layout& lay, const ImageInfo& info, const std::uint8_t* in,
                std::uint8_t* scratch, std::uint8_t* out) {
    const int n = info.width;
    const int spp = lay.spp;
    auto sample = [&](int i, int s) -> unsigned {
        const std::size_t k = std::size_t(i) * std::size_t(spp) + std::size_t(s);
        if (lay.bps == 16) return Scale16(reinterpret_cast<const std::uint16_t*>(in)[k]);
        return in[k];
    };
    switch (lay.kind) {
        case Kind::Gray:
            if (lay.bps == 1) {
                const std::size_t bytes = (std::size_t(n) + 7) / 8;
                for (std::size_t i = 0; i < bytes; ++i) out[i] = lay.whiteIsZero ? std::uint8_t(~in[i]) : in[i];
                if (n % 8) out[bytes - 1] &= std::uint8_t(0xFF << (8 - n % 8));
            } else if (lay.bps == 2 || lay.bps == 4) {
                const int most = (1 << lay.bps) - 1;
                for (int i = 0; i < n; ++i) {
                    const int shift = 8 - lay.bps * (i % (8 / lay.bps) + 1);
                    int v = (in[i * lay.bps / 8] >> shift) & most;
                    if (lay.whiteIsZero) v = most - v;
                    scratch[i] = std::uint8_t(v * (15 / most));
                }
                PackIndices(scratch, n, 4, out);
            } else {
                for (int i = 0; i < n; ++i) {
                    unsigned v = sample(i, 0);
                    if (lay.whiteIsZero) v = 255 - v;
                    if (lay.alpha >= 0) {
                        const unsigned a = sample(i, lay.alpha);
                        v = lay.associated ? std::min(255u, v + 255u - a) : OverWhite(v, a);
                    }
                    out[i] = std::uint8_t(v);
                }
            }
            break;
        case Kind::Palette:
            if (lay.bps == 2) {
                for (int i = 0; i < n; ++i) scratch[i] = (in[i / 4] >> (6 - 2 * (i % 4))) & 3;
                PackIndices(scratch, n, 4, out);
            } else {
                std::memcpy(out, in, (std::size_t(n) * std::size_t(lay.bps) + 7) / 8);
            }
            break;
        case Kind::Rgb:
            for (int i = 0; i < n; ++i) {
                unsigned r = sample(i, 0), g = sample(i, 1), b = sample(i, 2);
                if (lay.alpha >= 0) {
                    const unsigned a = sample(i, lay.alpha);
                    if (lay.associated) {
                        r = std::min(255u, r + 255u - a);
                        g = std::min(255u, g + 255u - a);
                        b = std::min(255u, b + 255u - a);
                    } else {
                        r = OverWhite(r, a);
                        g = OverWhite(g, a);
                        b = OverWhite(b, a);
                    }
                }
                out[3 * i] = std::uint8_t(b);
                out[3 * i + 1] = std::uint8_t(g);
                out[3 * i + 2] = std::uint8_t(r);
            }
            break;
        case Kind::Cmyk:
            for (int i = 0; i < n; ++i) {
                std::uint8_t cmyk[4] = {std::uint8_t(sample(i, 0)), std::uint8_t(sample(i, 1)),
                                        std::uint8_t(sample(i, 2)), std::uint8_t(sample(i, 3))};
                std::uint8_t rgb[3];
                CmykToRgb(cmyk, 1, false, rgb);
                out[3 * i] = rgb[2];
                out[3 * i + 1] = rgb[1];
                out[3 * i + 2] = rgb[0];
            }
            break;
        case Kind::Rgba:
            break;
    }
}

// Exotic files: libtiff's RGBA reader, one strip or tile row at a time.
bool ReadRgba(TIFF* tif, const ImageInfo& info, DibRows& rows, Progress& progress) {
    std::uint32_t band = 0;
    if (TIFFIsTiled(tif))
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &band);
    else
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &band);
    band = std::clamp<std::uint32_t>(band, 1, std::uint32_t(info.height));
    char message[1024] = {};
    TIFFRGBAImage img;
    if (!TIFFRGBAImageBegin(&img, tif, 0, message)) return Fail(std::string("TIFF: ") + message);
    img.req_orientation = ORIENTATION_TOPLEFT;
    std::vector<std::uint32_t> raster(std::size_t(info.width) * band);
    std::vector<std::uint8_t> row(info.RowBytes(), 0);
    bool ok = true;
    for (std::uint32_t y = 0; ok && y < std::uint32_t(info.height); y += band) {
        const std::uint32_t n = std::min<std::uint32_t>(band, std::uint32_t(info.height) - y);
        img.row_offset = int(y);
        img.col_offset = 0;
        if (!TIFFRGBAImageGet(&img, raster.data(), std::uint32_t(info.width), n)) {
            ok = Fail("TIFF: the pixels cannot be decoded");
            break;
        }
        for (std::uint32_t k = 0; ok && k < n; ++k) {
            const std::uint32_t* p = raster.data() + std::size_t(k) * std::size_t(info.width);
            for (int x = 0; x < info.width; ++x) {
                const unsigned a = TIFFGetA(p[x]);
                // The RGBA interface delivers premultiplied colour.
                row[3 * x] = std::uint8_t(std::min(255u, TIFFGetB(p[x]) + 255u - a));
                row[3 * x + 1] = std::uint8_t(std::min(255u, TIFFGetG(p[x]) + 255u - a));
                row[3 * x + 2] = std::uint8_t(std::min(255u, TIFFGetR(p[x]) + 255u - a));
            }
            ok = rows.Put(int(y + k), row.data()) && progress.Step(int(y + k + 1));
        }
    }
    TIFFRGBAImageEnd(&img);
    return ok;
}

// Strips or tiles a band of rows at a time, every plane, interleaved per row.
bool ReadBands(TIFF* tif, const Layout& lay, const ImageInfo& info, DibRows& rows, Progress& progress) {
    const int planes = lay.separate ? lay.spp : 1;
    const int perPlane = lay.separate ? 1 : lay.spp;
    const std::size_t planeRow = (std::size_t(info.width) * std::size_t(perPlane) * std::size_t(lay.bps) + 7) / 8;
    std::uint32_t band = 0, tileWidth = 0;
    if (lay.tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &band);
        if (tileWidth == 0 || band == 0) return Fail("TIFF: the tile size is missing");
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &band);
    }
    band = std::clamp<std::uint32_t>(band, 1, std::uint32_t(info.height));
    std::vector<std::vector<std::uint8_t>> bands;
    bands.resize(std::size_t(planes));
    for (auto& b : bands) b.assign(planeRow * band, 0);
    std::vector<std::uint8_t> tile;
    std::size_t tileRow = 0;
    if (lay.tiled) {
        const tmsize_t size = TIFFTileSize(tif);
        tileRow = std::size_t(TIFFTileRowSize(tif));
        if (size <= 0 || tileRow == 0) return Fail("TIFF: the tile size is not usable");
        // A tile may overhang the picture, but not by more than the picture's own size.
        const std::uint64_t picture = std::uint64_t(planeRow) * std::uint64_t(info.height);
        if (std::uint64_t(size) > std::max<std::uint64_t>(std::uint64_t(64) << 20, 4 * picture))
            return Fail("TIFF: the tiles are out of proportion to the picture");
        tile.assign(std::size_t(size), 0);
    }
    const std::size_t sampleRow = (std::size_t(info.width) * std::size_t(lay.spp) * std::size_t(lay.bps) + 7) / 8;
    std::vector<std::uint8_t> contig(lay.separate ? sampleRow : 0);
    std::vector<std::uint8_t> scratch(std::size_t(info.width) + 8);
    std::vector<std::uint8_t> out(info.RowBytes(), 0);
    const int bytesPerSample = lay.bps / 8;
    for (std::uint32_t y = 0; y < std::uint32_t(info.height); y += band) {
        const std::uint32_t n = std::min<std::uint32_t>(band, std::uint32_t(info.height) - y);
        for (int p = 0; p < planes; ++p) {
            std::uint8_t* dst = bands[std::size_t(p)].data();
            if (!lay.tiled) {
                const tmsize_t want = tmsize_t(planeRow * n);
                if (TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, y, std::uint16_t(p)), dst, want) < want)
                    return Fail("TIFF: a strip cannot be decoded");
                continue;
            }
            for (std::uint32_t x = 0; x < std::uint32_t(info.width); x += tileWidth) {
                if (TIFFReadTile(tif, tile.data(), x, y, 0, std::uint16_t(p)) < 0)
                    return Fail("TIFF: a tile cannot be decoded");
                // Bytes of this tile that lie inside the picture's width.
                const std::uint32_t cols = std::min<std::uint32_t>(tileWidth, std::uint32_t(info.width) - x);
                const std::size_t start = std::size_t(x) * std::size_t(perPlane) * std::size_t(lay.bps) / 8;
                const std::size_t bytes = std::min(planeRow - start,
                                                   (std::size_t(cols) * std::size_t(perPlane) * std::size_t(lay.bps) + 7) / 8);
                for (std::uint32_t k = 0; k < n; ++k)
                    std::memcpy(dst + planeRow * k + start, tile.data() + tileRow * k, bytes);
            }
        }
        for (std::uint32_t k = 0; k < n; ++k) {
            const std::uint8_t* row = bands[0].data() + planeRow * k;
            if (lay.separate) {
                // Interleave the planes' samples of this row.
                for (int p = 0; p < planes; ++p) {
                    const std::uint8_t* src = bands[std::size_t(p)].data() + planeRow * k;
                    for (int x = 0; x < info.width; ++x)
                        std::memcpy(contig.data() + (std::size_t(x) * std::size_t(lay.spp) + std::size_t(p)) * std::size_t(bytesPerSample),
                                    src + std::size_t(x) * std::size_t(bytesPerSample), std::size_t(bytesPerSample));
                }
                row = contig.data();
            }
            ConvertRow(lay, info, row, scratch.data(), out.data());
            if (!rows.Put(int(y + k), out.data()) || !progress.Step(int(y + k + 1))) return false;
        }
    }
    return true;
}

bool ReadScanlines(TIFF* tif, const Layout& lay, const ImageInfo& info, DibRows& rows, Progress& progress) {
    const tmsize_t size = TIFFScanlineSize(tif);
    if (size <= 0) return Fail("TIFF: the row size is not usable");
    std::vector<std::uint8_t> line(std::size_t(size) + 8, 0);
    std::vector<std::uint8_t> scratch(std::size_t(info.width) + 8);
    std::vector<std::uint8_t> out(info.RowBytes(), 0);
    for (int y = 0; y < info.height; ++y) {
        if (TIFFReadScanline(tif, line.data(), std::uint32_t(y), 0) < 0)
            return Fail("TIFF: a row cannot be decoded");
        ConvertRow(lay, info, line.data(), scratch.data(), out.data());
        if (!rows.Put(y, out.data()) || !progress.Step(y + 1)) return false;
    }
    return true;
}

std::uint16_t CompressionFor(const ImageInfo& info, bool bilevel, bool paletted, int choice) {
    switch (choice) {
        case kTiffCompressionNone: return COMPRESSION_NONE;
        case kTiffCompressionDeflate: return COMPRESSION_ADOBE_DEFLATE;
        case kTiffCompressionPackBits: return COMPRESSION_PACKBITS;
        case kTiffCompressionJpeg:
            return (info.bits >= 8 && !paletted) ? COMPRESSION_JPEG : COMPRESSION_LZW;
        case kTiffCompressionG3: return bilevel ? COMPRESSION_CCITTFAX3 : COMPRESSION_LZW;
        case kTiffCompressionG4: return bilevel ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW;
        case kTiffCompressionAuto: return bilevel ? COMPRESSION_CCITTFAX4 : COMPRESSION_NONE;
        default: return COMPRESSION_LZW;
    }
}

}  // namespace

bool SniffTiff(const std::uint8_t* head, std::size_t n) {
    if (n < 4) return false;
    return (head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0) ||
           (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43));
}

bool ReadTiff(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress) {
    Handle h;
    h.tif = Open(file, "rm");
    if (h.tif == nullptr) return Fail("TIFF: the file cannot be opened");
    Layout lay;
    if (!CheckDirectory(h.tif, file) || !Describe(h.tif, info, lay)) return false;
    info.order = 1;  // every way below reads from the top (RGBA: asked for top-left)
    if (rows == nullptr) return true;
    if (!StartPixels(info, *rows, *progress)) return false;
    if (lay.kind == Kind::Rgba) return ReadRgba(h.tif, info, *rows, *progress);
    if (lay.tiled || lay.separate) return ReadBands(h.tif, lay, info, *rows, *progress);
    return ReadScanlines(h.tif, lay, info, *rows, *progress);
}

bool WriteTiff(std::FILE* file, const std::string&, DibRows& rows, Progress& progress,
               const SaveOptions& options) {
    const ImageInfo& info = rows.Info();
    Handle h;
    h.tif = Open(file, "w");
    if (h.tif == nullptr) return Fail("TIFF: the file cannot be created");
    TIFF* tif = h.tif;
    const bool indexed = info.bits <= 8;
    const bool gray = indexed && info.IsGrayRamp();
    // A 1-bit picture whose table is white then black is a gray ramp upside down.
    const bool whiteBlack = info.bits == 1 && info.colours == 2 &&
                            info.table[0].red == 255 && info.table[0].green == 255 && info.table[0].blue == 255 &&
                            info.table[1].red == 0 && info.table[1].green == 0 && info.table[1].blue == 0;
    const bool bilevel = info.bits == 1 && (gray || whiteBlack);
    const bool paletted = indexed && !gray && !bilevel;
    const std::uint16_t compression = CompressionFor(info, bilevel, paletted, options.tiffCompression);
    const int spp = indexed ? 1 : 3;
    const int bps = indexed ? info.bits : 8;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(info.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(info.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, std::uint16_t(bps));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, std::uint16_t(spp));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    std::uint16_t photometric = PHOTOMETRIC_RGB;
    // Bilevel pictures are written white-is-zero, as fax readers expect.
    const bool invert = bilevel && gray;
    if (bilevel) photometric = PHOTOMETRIC_MINISWHITE;
    else if (gray) photometric = PHOTOMETRIC_MINISBLACK;
    else if (paletted) photometric = PHOTOMETRIC_PALETTE;
    if (compression == COMPRESSION_JPEG) {
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, std::clamp(options.jpegQuality, 1, 100));
        if (!gray) photometric = PHOTOMETRIC_YCBCR;
    }
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    if (compression == COMPRESSION_JPEG && photometric == PHOTOMETRIC_YCBCR)
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    if (compression == COMPRESSION_ADOBE_DEFLATE)
        TIFFSetField(tif, TIFFTAG_ZIPQUALITY, std::clamp(options.pngLevel, 1, 9));
    // Dictionary coders compress photographs only after horizontal differencing.
    if ((compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE) && bps == 8 && !paletted)
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    std::vector<std::uint16_t> map;
    if (paletted) {
        const int n = 1 << info.bits;
        map.assign(std::size_t(3 * n), 0);
        for (int i = 0; i < info.colours; ++i) {
            map[std::size_t(i)] = std::uint16_t(info.table[i].red * 257);
            map[std::size_t(n + i)] = std::uint16_t(info.table[i].green * 257);
            map[std::size_t(2 * n + i)] = std::uint16_t(info.table[i].blue * 257);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + n, map.data() + 2 * n);
    }
    if (info.xPpm != 0 || info.yPpm != 0) {
        const std::uint32_t x = info.xPpm ? info.xPpm : info.yPpm, y = info.yPpm ? info.yPpm : info.xPpm;
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(double(x) * 0.0254));
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(double(y) * 0.0254));
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::vector<std::uint8_t> stored(info.RowBytes(), 0);
    std::vector<std::uint8_t> line(indexed || info.bits == 24 ? 0 : std::size_t(info.width) * 3 + 8, 0);
    const std::size_t packed = (std::size_t(info.width) * std::size_t(info.bits) + 7) / 8;
    for (int y = 0; y < info.height; ++y) {
        if (!rows.Get(y, stored.data())) return false;
        std::uint8_t* row = stored.data();
        if (indexed) {
            if (invert)
                for (std::size_t i = 0; i < packed; ++i) row[i] = std::uint8_t(~row[i]);
        } else if (info.bits == 24) {
            SwapRedBlue(row, info.width);
        } else {
            RowToRgb(info, stored.data(), info.width, line.data());
            row = line.data();
        }
        // The coder may change the row it is given (differencing works in place).
        if (TIFFWriteScanline(tif, row, std::uint32_t(y), 0) < 0) return Fail("TIFF: a row cannot be written");
        if (!progress.Step(y + 1)) return false;
    }
    if (!TIFFWriteDirectory(tif)) return Fail("TIFF: the file cannot be finished");
    return true;
}

}  // namespace imf
