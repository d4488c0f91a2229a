// Rows read straight from uncompressed files, in any order.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/imflib/codec.h"
#include "platform/imflib/imflib.h"

using namespace imf;

namespace {

constexpr int kBmpBottomUp = 1, kBmpTopDown = 2;

// The open regular file at path and its size; none when it is not one.
std::FILE* OpenRegular(const char* path, std::uint64_t& size) {
    if (path == nullptr || *path == 0) return nullptr;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return nullptr;
    struct stat st {};
    if (::fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    size = std::uint64_t(st.st_size);
    return file;
}

}  // namespace

std::unique_ptr<RawRowFile> RawRowFile::Opened(const char* path, int kind, int width, int height, int bits,
                                               std::uint64_t offset, std::uint64_t fileRowBytes, std::uint64_t size) {
    // A file cut short goes to the reader, which says so.
    if (offset + fileRowBytes * std::uint64_t(height) > size) return nullptr;
    std::unique_ptr<RawRowFile> rows(new RawRowFile);
    rows->kind_ = kind;
    rows->width_ = width;
    rows->height_ = height;
    rows->bits_ = bits;
    rows->offset_ = offset;
    rows->rowBytes_ = ((std::uint64_t(width) * std::uint64_t(bits) + 31) / 32) * 4;
    rows->fileRowBytes_ = fileRowBytes;
    rows->fd_ = ::open(path, O_RDONLY | O_CLOEXEC);
    if (rows->fd_ < 0) return nullptr;
    return rows;
}

std::unique_ptr<RawRowFile> RawRowFile::Open(const char* path) {
    std::uint64_t size = 0;
    std::FILE* file = OpenRegular(path, size);
    if (file == nullptr) return nullptr;
    ImageInfo info;
    int kind = 0;
    std::uint64_t offset = 0;
    const bool raw = PnmRawLayout(file, info, kind, offset);
    std::fclose(file);
    ClearError();
    if (!raw) return nullptr;
    const std::uint64_t fileRowBytes = kind == 4 ? (std::uint64_t(info.width) + 7) / 8
                                                 : std::uint64_t(info.width) * (kind == 6 ? 3 : 1);
    return Opened(path, kind, info.width, info.height, info.bits, offset, fileRowBytes, size);
}

std::unique_ptr<RawRowFile> RawRowFile::OpenBmp(const char* path) {
    std::uint64_t size = 0;
    std::FILE* file = OpenRegular(path, size);
    if (file == nullptr) return nullptr;
    ImageInfo info;
    bool topDown = false;
    std::uint64_t offset = 0;
    const bool raw = BmpRawLayout(file, info, topDown, offset);
    std::fclose(file);
    ClearError();
    if (!raw) return nullptr;
    return Opened(path, topDown ? kBmpTopDown : kBmpBottomUp, info.width, info.height, info.bits, offset,
                  info.RowBytes(), size);
}

RawRowFile::~RawRowFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool RawRowFile::ReadAt(std::uint64_t at, std::uint64_t n, std::uint8_t* bytes) {
    while (n > 0) {
        const ssize_t got = ::pread(fd_, bytes, std::size_t(n), off_t(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        at += std::uint64_t(got);
        n -= std::uint64_t(got);
    }
    return true;
}

bool RawRowFile::StoredRow(int y, std::uint8_t* row) {
    if (y < 0 || y >= height_) return false;
    if (kind_ == kBmpBottomUp || kind_ == kBmpTopDown) {
        // The file's rows are the stored rows, padding included.
        const int line = kind_ == kBmpTopDown ? y : height_ - 1 - y;
        return ReadAt(offset_ + std::uint64_t(line) * fileRowBytes_, fileRowBytes_, row);
    }
    if (!ReadAt(offset_ + std::uint64_t(y) * fileRowBytes_, fileRowBytes_, row)) return false;
    std::memset(row + fileRowBytes_, 0, std::size_t(rowBytes_ - fileRowBytes_));
    // As the reader stores them: colour as blue, green, red; a set bit of
    // the file is black, index 0, and the bits past the last pixel are 0.
    if (kind_ == 6) {
        SwapRedBlue(row, width_);
    } else if (kind_ == 4) {
        for (std::uint64_t i = 0; i < fileRowBytes_; ++i) row[i] = std::uint8_t(~row[i]);
        if (width_ % 8) row[fileRowBytes_ - 1] &= std::uint8_t(0xFF << (8 - width_ % 8));
    }
    return true;
}

bool RawRowFile::StoredSegment(int y, int x0, int count, std::uint8_t* pixels) {
    if (bits_ < 8 || y < 0 || y >= height_ || x0 < 0 || count < 0 || x0 + count > width_) return false;
    const std::uint64_t bytes = std::uint64_t(bits_ / 8);
    const int line = kind_ == kBmpBottomUp ? height_ - 1 - y : y;
    if (!ReadAt(offset_ + std::uint64_t(line) * fileRowBytes_ + std::uint64_t(x0) * bytes,
                std::uint64_t(count) * bytes, pixels))
        return false;
    if (kind_ == 6) SwapRedBlue(pixels, count);
    return true;
}
