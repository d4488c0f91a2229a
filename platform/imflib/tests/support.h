// Test helpers: a packed image in plain memory, files in a scratch directory,
// and a reader that walks the library's calls in the order the import code does.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/imflib/imflib.h"

namespace imftest {

// A packed image: info header, colour table, bottom-up rows.
struct MemoryDib {
    std::vector<std::uint8_t> bytes;
    int headerSize = 40;

    static MemoryDib Make(int width, int height, int bits, int colours = 0,
                          const RgbQuad* table = nullptr, std::uint32_t ppm = 0) {
        MemoryDib d;
        if (bits <= 8 && colours == 0) colours = 1 << bits;
        if (bits > 8) colours = 0;
        d.headerSize = 40 + 4 * colours;
        BitmapInfoHeader h;
        h.biWidth = width;
        h.biHeight = height;
        h.biBitCount = std::uint16_t(bits);
        h.biXPelsPerMeter = std::int32_t(ppm);
        h.biYPelsPerMeter = std::int32_t(ppm);
        h.biClrUsed = std::uint32_t(colours);
        const std::uint64_t rowBytes = ((std::uint64_t(width) * bits + 31) / 32) * 4;
        h.biSizeImage = std::uint32_t(rowBytes * height);
        d.bytes.assign(std::size_t(d.headerSize) + rowBytes * height, 0);
        std::memcpy(d.bytes.data(), &h, 40);
        for (int i = 0; i < colours; ++i) {
            RgbQuad q{};
            if (table != nullptr) q = table[i];
            std::memcpy(d.bytes.data() + 40 + 4 * i, &q, 4);
        }
        return d;
    }
    static MemoryDib FromHeader(const BitmapInfoHeader& h) {
        return Make(h.biWidth, h.biHeight, h.biBitCount, int(h.biClrUsed), nullptr,
                    std::uint32_t(h.biXPelsPerMeter));
    }
    const BitmapInfoHeader& Header() const {
        return *reinterpret_cast<const BitmapInfoHeader*>(bytes.data());
    }
    int Width() const { return Header().biWidth; }
    int Height() const { return Header().biHeight; }
    int Bits() const { return Header().biBitCount; }
    std::uint64_t RowBytes() const { return ((std::uint64_t(Width()) * Bits() + 31) / 32) * 4; }
    RgbQuad* Table() { return reinterpret_cast<RgbQuad*>(bytes.data() + 40); }
    const RgbQuad* Table() const { return reinterpret_cast<const RgbQuad*>(bytes.data() + 40); }
    std::uint8_t* Row(int y) { return bytes.data() + headerSize + RowBytes() * (Height() - 1 - y); }
    const std::uint8_t* Row(int y) const {
        return bytes.data() + headerSize + RowBytes() * (Height() - 1 - y);
    }
    DibTransferBlock Block() {
        DibTransferBlock b;
        b.totalBytes = bytes.size();
        b.storeState = 1;
        b.memoryHandle = bytes.data();
        return b;
    }
    // Pixel value at (x, y): index for 1, 4, 8 bits; 0x00RRGGBB-ordered bytes otherwise.
    std::uint32_t Pixel(int x, int y) const {
        const std::uint8_t* r = Row(y);
        switch (Bits()) {
            case 1: return (r[x / 8] >> (7 - x % 8)) & 1;
            case 4: return (x & 1) ? r[x / 2] & 15 : r[x / 2] >> 4;
            case 8: return r[x];
            case 16: return std::uint32_t(r[2 * x] | (r[2 * x + 1] << 8));
            case 24: return std::uint32_t(r[3 * x] | (r[3 * x + 1] << 8) | (r[3 * x + 2] << 16));
            default: return std::uint32_t(r[4 * x] | (r[4 * x + 1] << 8) | (r[4 * x + 2] << 16));
        }
    }
    // Colour at (x, y) as blue | green << 8 | red << 16, through the table when indexed.
    std::uint32_t Colour(int x, int y) const {
        std::uint32_t v = Pixel(x, y);
        if (Bits() <= 8) {
            const RgbQuad& q = Table()[v];
            return std::uint32_t(q.blue | (q.green << 8) | (q.red << 16));
        }
        if (Bits() == 16) {
            auto e = [](std::uint32_t c) { return (c << 3) | (c >> 2); };
            return e(v & 31) | (e((v >> 5) & 31) << 8) | (e((v >> 10) & 31) << 16);
        }
        return v & 0xFFFFFF;
    }
};

// A fresh scratch directory for one test.
inline std::filesystem::path ScratchDir(const std::string& name) {
    const char* tmp = std::getenv("TMPDIR");
    std::filesystem::path dir = std::filesystem::path(tmp ? tmp : "/tmp") /
                                ("imflib_test_" + std::to_string(::getpid()) + "_" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Reads a file as the import code does: header, palette, picture, pixels.
inline bool ReadPicture(const std::string& path, MemoryDib& out, FioProgressProc progress = nullptr) {
    BitmapInfoHeader h;
    if (!AllReadHeader(path.c_str(), &h)) return false;
    auto palette = AllReadPalette(path.c_str());
    out = MemoryDib::FromHeader(h);
    if (palette) {
        for (int i = 0; i < palette->Count() && i < int(h.biClrUsed); ++i)
            out.Table()[i] = RgbQuad{(*palette)[i].blue, (*palette)[i].green, (*palette)[i].red, 0};
    }
    DibTransferBlock block = out.Block();
    return AllReadDIBImg(path.c_str(), &block, out.headerSize, progress) != 0;
}

inline bool SavePicture(const std::string& path, MemoryDib& dib, FioProgressProc progress = nullptr) {
    DibTransferBlock block = dib.Block();
    return AllSaveDIBImg(path.c_str(), &block, dib.headerSize, progress) != 0;
}

// A deterministic pattern for any depth.
inline void FillPattern(MemoryDib& d, unsigned seed = 1) {
    std::uint32_t s = seed * 2654435761u + 12345u;
    for (int y = 0; y < d.Height(); ++y) {
        std::uint8_t* r = d.Row(y);
        const std::uint64_t used = (std::uint64_t(d.Width()) * d.Bits() + 7) / 8;
        for (std::uint64_t i = 0; i < used; ++i) {
            s = s * 1103515245u + 12345u;
            r[i] = std::uint8_t(s >> 16);
        }
        // Bits past the last pixel stay zero, as a writer of packed rows leaves them.
        const int tail = int((std::uint64_t(d.Width()) * d.Bits()) % 8);
        if (tail != 0) r[used - 1] &= std::uint8_t(0xFF << (8 - tail));
        if (d.Bits() == 16)
            for (int x = 0; x < d.Width(); ++x) r[2 * x + 1] &= 0x7F;
        if (d.Bits() == 32)
            for (int x = 0; x < d.Width(); ++x) r[4 * x + 3] = 0;
    }
    if (d.Bits() <= 8) {
        const int n = int(d.Header().biClrUsed);
        for (int i = 0; i < n; ++i) {
            s = s * 1103515245u + 12345u;
            d.Table()[i] = RgbQuad{std::uint8_t(s >> 8), std::uint8_t(s >> 16), std::uint8_t(s >> 24), 0};
        }
        // Indices beyond the table would not survive formats that check them.
        if (n < (1 << d.Bits()))
            for (int y = 0; y < d.Height(); ++y)
                for (int x = 0; x < d.Width(); ++x)
                    if (int(d.Pixel(x, y)) >= n) {
                        std::uint8_t* r = d.Row(y);
                        if (d.Bits() == 8) r[x] = 0;
                        else if (d.Bits() == 4) r[x / 2] &= (x & 1) ? 0xF0 : 0x0F;
                    }
    }
}

inline void SetGrayRamp(MemoryDib& d) {
    const int n = 1 << d.Bits();
    for (int i = 0; i < n; ++i) {
        const auto v = std::uint8_t(i * 255 / (n - 1));
        d.Table()[i] = RgbQuad{v, v, v, 0};
    }
}

inline bool HaveTool(const char* name) {
    const std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

}  // namespace imftest
