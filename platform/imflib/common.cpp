// Shared pieces of the codecs: errors, progress, row access to the packed
// image, row conversions and small file helpers.

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

#include "picture/image_store.h"
#include "platform/imflib/codec.h"
#include "base/file_name.h"
#include "platform/system.h"

namespace imf {

namespace {
// The reason of the calling thread's last failure: each thread reads or
// writes its own file.
std::string& ThreadError() {
    thread_local std::string error;
    return error;
}
}  // namespace

bool Fail(const std::string& why) {
    if (ThreadError().empty()) ThreadError() = why;
    return false;
}
void ClearError() { ThreadError().clear(); }
void ReplaceError(const std::string& why) { ThreadError() = why; }
const std::string& LastError() { return ThreadError(); }

bool CheckSize(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) return Fail("the picture has no pixels");
    if (width > kMaxPictureSide || height > kMaxPictureSide)
        return Fail("the picture is larger than " + std::to_string(kMaxPictureSide) +
                    " pixels in one direction");
    return true;
}

bool ImageInfo::IsGrayRamp() const {
    if (bits != 1 && bits != 4 && bits != 8) return false;
    const int n = 1 << bits;
    if (colours != n) return false;
    for (int i = 0; i < n; ++i) {
        const int level = i * 255 / (n - 1);
        if (table[i].red != level || table[i].green != level || table[i].blue != level)
            return false;
    }
    return true;
}

void ImageInfo::SetGrayRamp() {
    const int n = 1 << bits;
    colours = n;
    for (int i = 0; i < n; ++i) {
        const auto level = std::uint8_t(i * 255 / (n - 1));
        table[i] = RgbQuad{level, level, level, 0};
    }
}

// ---------------------------------------------------------------------------

bool Progress::Begin() {
    if (proc_ == nullptr) return true;
    begun_ = true;
    if (proc_(0, last_, 0) != 0) {
        stopped_ = ended_ = true;
        return Fail("stopped by the user");
    }
    return true;
}

bool Progress::Step(int current) {
    if (proc_ == nullptr || !begun_ || ended_ || current <= 0 || current >= last_) return true;
    if (proc_(0, last_, current) != 0) {
        stopped_ = ended_ = true;
        return Fail("stopped by the user");
    }
    return true;
}

void Progress::End() {
    if (proc_ != nullptr && begun_ && !ended_) {
        ended_ = true;
        proc_(0, last_, last_);
    }
}

// ---------------------------------------------------------------------------

bool DibRows::Open(DibTransferBlock* block, int headerSize) {
    block_ = block;
    if (block == nullptr || (block->store == nullptr && block->memoryHandle == nullptr))
        return Fail("no picture to transfer");
    if (block->store != nullptr && block->store->GetSize() < block->totalBytes)
        return Fail("the picture's store is smaller than its transfer block");
    std::uint8_t bytes[40];
    if (headerSize < 40 || block->totalBytes < 40 || !Move(0, 40, bytes, false))
        return Fail("the picture has no header");
    BitmapInfoHeader header;
    std::memcpy(&header, bytes, 40);
    info_ = ImageInfo{};
    info_.width = header.biWidth;
    info_.height = header.biHeight;
    info_.bits = header.biBitCount;
    info_.xPpm = std::uint32_t(std::max(0, header.biXPelsPerMeter));
    info_.yPpm = std::uint32_t(std::max(0, header.biYPelsPerMeter));
    if (!CheckSize(info_.width, info_.height)) return false;
    switch (info_.bits) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: return Fail("the picture's bit count is not supported");
    }
    if (info_.bits <= 8) {
        const int most = 1 << info_.bits;
        int used = int(std::min<std::uint32_t>(header.biClrUsed, 256));
        if (used == 0 || used > most) used = most;
        info_.colours = used;
        if (std::uint64_t(40 + 4 * used) > std::uint64_t(headerSize))
            return Fail("the picture's colour table does not fit its header");
        std::uint8_t table[1024];
        if (!Move(40, std::uint64_t(4 * used), table, false))
            return Fail("the picture's colour table cannot be read");
        std::memcpy(info_.table, table, std::size_t(4 * used));
    }
    headerSize_ = std::uint64_t(headerSize);
    rowBytes_ = info_.RowBytes();
    if (headerSize_ + rowBytes_ * std::uint64_t(info_.height) > block->totalBytes)
        return Fail("the picture's rows do not fit its store");
    return true;
}

bool DibRows::OpenSink(const ImageInfo& info, RowSink* sink) {
    block_ = nullptr;
    sink_ = sink;
    info_ = info;
    headerSize_ = 0;
    rowBytes_ = info_.RowBytes();
    return sink != nullptr && CheckSize(info_.width, info_.height);
}

bool DibRows::Move(std::uint64_t offset, std::uint64_t count, std::uint8_t* bytes, bool write) {
    if (offset + count > block_->totalBytes) return false;
    if (block_->store != nullptr) {
        const std::uint64_t moved = write ? block_->store->WriteBytes(offset, count, bytes)
                                          : block_->store->ReadBytes(offset, count, bytes);
        return moved == count;
    }
    if (write)
        std::memcpy(block_->memoryHandle + offset, bytes, count);
    else
        std::memcpy(bytes, block_->memoryHandle + offset, count);
    return true;
}

bool DibRows::Put(int y, const std::uint8_t* row) {
    if (y < 0 || y >= info_.height) return Fail("row outside the picture");
    if (sink_ != nullptr) return sink_->TakeRow(y, row) || Fail("the rows were not taken");
    if (block_->rowSource != nullptr) return Fail("the picture's rows cannot be written");
    const std::uint64_t offset = headerSize_ + std::uint64_t(info_.height - 1 - y) * rowBytes_;
    if (!Move(offset, rowBytes_, const_cast<std::uint8_t*>(row), true))
        return Fail("the picture's store cannot be written");
    return true;
}

bool DibRows::Get(int y, std::uint8_t* row) {
    if (y < 0 || y >= info_.height) return Fail("row outside the picture");
    if (sink_ != nullptr) return Fail("rows handed on cannot be read back");
    if (block_->rowSource != nullptr) {
        if (!block_->rowSource->StoredRow(y, row)) return Fail("the picture's rows cannot be made");
        return true;
    }
    const std::uint64_t offset = headerSize_ + std::uint64_t(info_.height - 1 - y) * rowBytes_;
    if (!Move(offset, rowBytes_, row, false)) return Fail("the picture's store cannot be read");
    return true;
}

const std::uint8_t* DibRows::Peek(int y, std::uint8_t* buffer) {
    if (y >= 0 && y < info_.height && sink_ == nullptr) {
        if (block_->rowSource != nullptr) {
            if (const std::uint8_t* held = block_->rowSource->HeldRow(y)) return held;
        } else if (block_->store == nullptr) {
            return block_->memoryHandle + headerSize_ + std::uint64_t(info_.height - 1 - y) * rowBytes_;
        }
    }
    return Get(y, buffer) ? buffer : nullptr;
}

bool DibRows::PutTable(const ImageInfo& info) {
    if (info.bits > 8 || info.colours <= 0) return true;
    const int n = std::min(info.colours, info_.colours);
    if (sink_ == nullptr && !Move(40, std::uint64_t(4 * n),
              reinterpret_cast<std::uint8_t*>(const_cast<RgbQuad*>(info.table)), true))
        return Fail("the picture's colour table cannot be written");
    for (int i = 0; i < n; ++i) info_.table[i] = info.table[i];
    return true;
}

bool DibRows::Matches(const ImageInfo& file) const {
    if (file.width != info_.width || file.height != info_.height || file.bits != info_.bits)
        return Fail("the file does not hold the picture its header announced");
    return true;
}

// ---------------------------------------------------------------------------

namespace {

template <int Bits>
void IndicesToBgr(const ImageInfo& info, const std::uint8_t* row, int n, std::uint8_t* bgr) {
    for (int i = 0; i < n; ++i, bgr += 3) {
        const unsigned index = packing::GetIndex<Bits>(row, i);
        const RgbQuad& q = info.table[index < unsigned(info.colours) ? index : 0];
        bgr[0] = q.blue;
        bgr[1] = q.green;
        bgr[2] = q.red;
    }
}

}  // namespace

void RowToBgr(const ImageInfo& info, const std::uint8_t* row, int n, std::uint8_t* bgr) {
    switch (info.bits) {
        case 1: IndicesToBgr<1>(info, row, n, bgr); break;
        case 4: IndicesToBgr<4>(info, row, n, bgr); break;
        case 8: IndicesToBgr<8>(info, row, n, bgr); break;
        case 16: packing::UnpackColours<16>(row, n, bgr); break;
        case 24: packing::UnpackColours<24>(row, n, bgr); break;
        case 32: packing::UnpackColours<32>(row, n, bgr); break;
        default: std::memset(bgr, 0, std::size_t(3) * std::size_t(n));
    }
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define IMF_SWAP_SSSE3 1
namespace {

// The byte shuffles of one step of 16 pixels held in three vectors: output
// vector k takes byte j from input vector v at mask[k][v][j] (0x80: from
// another vector). The first and third byte of each pixel change places.
struct SwapShuffle {
    std::uint8_t mask[3][3][16];
    constexpr SwapShuffle() : mask{} {
        for (int k = 0; k < 3; ++k)
            for (int v = 0; v < 3; ++v)
                for (int j = 0; j < 16; ++j) {
                    const int b = 16 * k + j;
                    const int from = b % 3 == 0 ? b + 2 : b % 3 == 2 ? b - 2 : b;
                    mask[k][v][j] = std::uint8_t(from / 16 == v ? from % 16 : 0x80);
                }
    }
};

// Sixteen pixels (48 bytes) a step, every load of a step before its stores,
// so that no load waits on the bytes of a store it overlaps and d may be s.
// The pixels done.
__attribute__((target("ssse3"))) std::size_t SwapRedBlueVector(std::uint8_t* d, const std::uint8_t* s,
                                                               std::size_t n) {
    alignas(16) static constexpr SwapShuffle kShuffle{};
    auto m = [](int k, int v) { return _mm_load_si128(reinterpret_cast<const __m128i*>(kShuffle.mask[k][v])); };
    const __m128i m00 = m(0, 0), m01 = m(0, 1), m10 = m(1, 0), m11 = m(1, 1), m12 = m(1, 2), m21 = m(2, 1),
                  m22 = m(2, 2);
    std::size_t done = 0;
    for (; done + 16 <= n; done += 16, d += 48, s += 48) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32));
        const __m128i x = _mm_or_si128(_mm_shuffle_epi8(a, m00), _mm_shuffle_epi8(b, m01));
        const __m128i y = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, m10), _mm_shuffle_epi8(b, m11)),
                                       _mm_shuffle_epi8(c, m12));
        const __m128i z = _mm_or_si128(_mm_shuffle_epi8(b, m21), _mm_shuffle_epi8(c, m22));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), x);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), y);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32), z);
    }
    return done;
}

}  // namespace
#endif

void SwapRedBlue(std::uint8_t* pixels, int n) { SwapRedBlueInto(pixels, pixels, n); }

void SwapRedBlueInto(std::uint8_t* d, const std::uint8_t* s, int n) {
    std::size_t count = std::size_t(n > 0 ? n : 0);
#ifdef IMF_SWAP_SSSE3
    static const bool vector = __builtin_cpu_supports("ssse3");
    if (vector) {
        const std::size_t done = SwapRedBlueVector(d, s, count);
        d += 3 * done;
        s += 3 * done;
        count -= done;
    }
#endif
    for (const std::uint8_t* const end = s + 3 * count; s != end; s += 3, d += 3) {
        const std::uint8_t first = s[0];
        d[1] = s[1];
        d[0] = s[2];
        d[2] = first;
    }
}

void RowToRgb(const ImageInfo& info, const std::uint8_t* row, int n, std::uint8_t* rgb) {
    RowToBgr(info, row, n, rgb);
    SwapRedBlue(rgb, n);
}

void RowToGray(const ImageInfo& info, const std::uint8_t* row, int n, std::uint8_t* gray) {
    if (info.bits <= 8) {
        std::uint8_t levels[256];
        for (int i = 0; i < 256; ++i) {
            const RgbQuad& q = info.table[i < info.colours ? i : 0];
            levels[i] = Luma(q.red, q.green, q.blue);
        }
        UnpackIndices(row, n, info.bits, gray);
        for (int i = 0; i < n; ++i) gray[i] = levels[gray[i]];
        return;
    }
    std::vector<std::uint8_t> bgr(std::size_t(3) * std::size_t(n));
    RowToBgr(info, row, n, bgr.data());
    for (int i = 0; i < n; ++i) gray[i] = Luma(bgr[3 * i + 2], bgr[3 * i + 1], bgr[3 * i]);
}

void CmykToRgb(const std::uint8_t* cmyk, int n, bool inverted, std::uint8_t* rgb) {
    for (int i = 0; i < n; ++i) {
        unsigned c = cmyk[4 * i], m = cmyk[4 * i + 1], y = cmyk[4 * i + 2], k = cmyk[4 * i + 3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // Here each value is the amount of light left: 255 means no ink.
        rgb[3 * i] = std::uint8_t((c * k + 127) / 255);
        rgb[3 * i + 1] = std::uint8_t((m * k + 127) / 255);
        rgb[3 * i + 2] = std::uint8_t((y * k + 127) / 255);
    }
}

// ---------------------------------------------------------------------------

std::uint16_t Le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
void PutLe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
void PutLe32(std::uint8_t* p, std::uint32_t v) {
    PutLe16(p, v);
    PutLe16(p + 2, v >> 16);
}

bool ReadExact(std::FILE* file, void* bytes, std::size_t n) {
    return std::fread(bytes, 1, n, file) == n;
}
bool WriteExact(std::FILE* file, const void* bytes, std::size_t n) {
    return std::fwrite(bytes, 1, n, file) == n;
}
bool WriteThrough(std::FILE* file, const void* bytes, std::size_t n) {
    const int fd = ::fileno(file);
    if (fd < 0) return WriteExact(file, bytes, n);  // a stream in memory
    if (std::fflush(file) != 0) return Fail(platform::SystemErrorText(errno));
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    while (n > 0) {
        const ssize_t put = ::write(fd, p, n);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return Fail(platform::SystemErrorText(put < 0 ? errno : ENOSPC));
        p += put;
        n -= std::size_t(put);
    }
    return true;
}

std::int64_t FileSize(std::FILE* file) {
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(file);
    std::fseek(file, here, SEEK_SET);
    return size;
}

std::string LowerExtension(const char* path) {
    return path == nullptr ? std::string() : LowerFileExtension(path);
}

bool ByteReader::Fill() {
    end_ = std::fread(buffer_, 1, sizeof buffer_, file_);
    pos_ = 0;
    return end_ > 0;
}

bool ByteReader::Read(std::uint8_t* out, std::size_t n) {
    while (n > 0) {
        // Large reads skip the buffer once it is drained.
        if (pos_ == end_ && n >= sizeof buffer_ / 4) return ReadExact(file_, out, n);
        if (pos_ == end_ && !Fill()) return false;
        const std::size_t take = std::min(n, end_ - pos_);
        std::memcpy(out, buffer_ + pos_, take);
        pos_ += take;
        out += take;
        n -= take;
    }
    return true;
}

}  // namespace imf
