// GIF through giflib: the first frame of a file, placed on its logical
// screen; written as 1-, 4- or 8-bit palette pictures.
#include <algorithm>
#include <cstring>
#include <vector>

#include <gif_lib.h>

#include "platform/imflib/codec.h"

namespace imf {
namespace {

int ReadFromFile(GifFileType* gif, GifByteType* buf, int n) {
    return int(std::fread(buf, 1, std::size_t(n), static_cast<std::FILE*>(gif->UserData)));
}
int WriteToFile(GifFileType* gif, const GifByteType* buf, int n) {
    return int(std::fwrite(buf, 1, std::size_t(n), static_cast<std::FILE*>(gif->UserData)));
}

struct Reader {
    GifFileType* gif = nullptr;
    ~Reader() {
        int err = 0;
        if (gif != nullptr) DGifCloseFile(gif, &err);
    }
};

struct Writer {
    GifFileType* gif = nullptr;
    ColorMapObject* map = nullptr;
    bool Close() {
        int err = 0;
        const bool ok = gif == nullptr || EGifCloseFile(gif, &err) == GIF_OK;
        gif = nullptr;
        return ok;
    }
    ~Writer() {
        Close();
        if (map != nullptr) GifFreeMapObject(map);
    }
};

bool GifFail(const char* what, int code) {
    const char* text = GifErrorString(code);
    return Fail(std::string("GIF: ") + what + (text ? std::string(": ") + text : std::string()));
}

}  // namespace

bool SniffGif(const std::uint8_t* head, std::size_t n) {
    return n >= 6 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0);
}

bool ReadGif(std::FILE* file, ImageInfo& info, DibRows* rows, Progress* progress) {
    Reader r;
    int err = 0;
    r.gif = DGifOpen(file, ReadFromFile, &err);
    if (r.gif == nullptr) return GifFail("the file cannot be opened", err);
    GifFileType* gif = r.gif;
    // Skip extensions up to the first image.
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) != GIF_OK) return GifFail("the file is damaged", gif->Error);
        if (type == IMAGE_DESC_RECORD_TYPE) break;
        if (type == TERMINATE_RECORD_TYPE) return Fail("GIF: the file holds no picture");
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) != GIF_OK) return GifFail("the file is damaged", gif->Error);
            while (block != nullptr)
                if (DGifGetExtensionNext(gif, &block) != GIF_OK) return GifFail("the file is damaged", gif->Error);
        }
    }
    if (DGifGetImageDesc(gif) != GIF_OK) return GifFail("the file is damaged", gif->Error);
    const GifImageDesc& frame = gif->Image;
    if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0)
        return Fail("GIF: the frame has no pixels");
    const std::int64_t width = std::max<std::int64_t>(gif->SWidth, std::int64_t(frame.Left) + frame.Width);
    const std::int64_t height = std::max<std::int64_t>(gif->SHeight, std::int64_t(frame.Top) + frame.Height);
    if (!CheckSize(width, height)) return false;
    info.width = int(width);
    info.height = int(height);
    // Rows outside the frame come first, an interlaced frame's in passes.
    info.order = frame.Top == 0 && frame.Height == info.height && !frame.Interlace ? 1 : 0;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (map != nullptr && map->ColorCount > 0 && map->Colors != nullptr) {
        const int count = std::min(map->ColorCount, 256);
        info.bits = count <= 2 ? 1 : count <= 16 ? 4 : 8;
        info.colours = count;
        for (int i = 0; i < count; ++i)
            info.table[i] = RgbQuad{map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red, 0};
    } else {
        info.bits = 8;
        info.SetGrayRamp();
    }
    if (rows == nullptr) return true;
    if (!StartPixels(info, *rows, *progress)) return false;
    const int background = gif->SBackGroundColor < info.colours ? gif->SBackGroundColor : 0;
    std::vector<std::uint8_t> line(std::size_t(info.width), std::uint8_t(background));
    std::vector<std::uint8_t> packed(rows->Info().RowBytes(), 0);
    int done = 0;
    // Rows of the screen outside the frame.
    PackIndices(line.data(), info.width, info.bits, packed.data());
    for (int y = 0; y < info.height; ++y) {
        if (y >= frame.Top && y < frame.Top + frame.Height) continue;
        if (!rows->Put(y, packed.data()) || !progress->Step(++done)) return false;
    }
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    std::uint8_t* pixels = line.data() + frame.Left;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? kStart[pass] : 0, step = frame.Interlace ? kStep[pass] : 1;
        for (int k = start; k < frame.Height; k += step) {
            if (DGifGetLine(gif, pixels, frame.Width) != GIF_OK) return GifFail("the pixel data are damaged", gif->Error);
            for (int i = 0; i < frame.Width; ++i)
                if (pixels[i] >= info.colours) pixels[i] = 0;
            PackIndices(line.data(), info.width, info.bits, packed.data());
            if (!rows->Put(frame.Top + k, packed.data()) || !progress->Step(++done)) return false;
        }
    }
    return true;
}

bool WriteGif(std::FILE* file, const std::string&, DibRows& rows, Progress& progress, const SaveOptions&) {
    const ImageInfo& info = rows.Info();
    if (info.bits > 8) return Fail("GIF holds palette pictures of at most 256 colours only");
    if (info.width > 65535 || info.height > 65535) return Fail("GIF: the picture is too large");
    Writer w;
    int size = 2;
    while (size < info.colours) size *= 2;
    GifColorType colours[256] = {};
    for (int i = 0; i < info.colours; ++i)
        colours[i] = GifColorType{info.table[i].red, info.table[i].green, info.table[i].blue};
    w.map = GifMakeMapObject(size, colours);
    if (w.map == nullptr) return Fail("GIF: out of memory");
    int err = 0;
    w.gif = EGifOpen(file, WriteToFile, &err);
    if (w.gif == nullptr) return GifFail("the file cannot be created", err);
    if (EGifPutScreenDesc(w.gif, info.width, info.height, GifBitSize(size), 0, w.map) != GIF_OK ||
        EGifPutImageDesc(w.gif, 0, 0, info.width, info.height, false, nullptr) != GIF_OK)
        return GifFail("the file cannot be written", w.gif->Error);
    std::vector<std::uint8_t> stored(info.RowBytes(), 0);
    std::vector<std::uint8_t> line(std::size_t(info.width), 0);
    for (int y = 0; y < info.height; ++y) {
        if (!rows.Get(y, stored.data())) return false;
        UnpackIndices(stored.data(), info.width, info.bits, line.data());
        if (EGifPutLine(w.gif, line.data(), info.width) != GIF_OK)
            return GifFail("the file cannot be written", w.gif->Error);
        if (!progress.Step(y + 1)) return false;
    }
    if (!w.Close()) return Fail("GIF: the file cannot be finished");
    return true;
}

}  // namespace imf
