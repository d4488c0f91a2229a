// Rows of a file of any format, decoded on a thread of their own while the
// asker takes the ones before.
#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/imflib/codec.h"
#include "platform/imflib/imflib.h"

// The reader's side puts each row into a ring as it finishes it and waits
// while the ring is full; the asker's side takes rows from it and waits
// while the row it asks for is not made yet. Rows are counted in reading
// order (k = y from the top, or from the bottom for a reader that starts
// there). A side that has to wait sleeps until half a ring can be made or
// taken, not a row at a time.
struct DecodedRowFile::Reading final : imf::RowSink {
    std::string path;
    imf::ImageInfo info;
    int slots = 1, batch = 1;
    std::vector<std::uint8_t> ring;
    std::mutex mutex;
    std::condition_variable room, ready;  // the reader's and the asker's
    long made = 0;    // rows put into the ring
    long asked = 0;   // the row the asker holds; those before it are done with
    long readerWants = -1, askerWants = -1;  // what a waiting side waits for
    bool done = false, stop = false;
    std::string failure;
    std::thread thread;

    long Index(int y) const { return info.order > 0 ? long(y) : long(info.height - 1 - y); }
    std::uint8_t* Slot(long k) { return &ring[std::size_t(k % slots) * std::size_t(info.RowBytes())]; }

    bool TakeRow(int y, const std::uint8_t* row) override {
        const long k = Index(y);
        std::unique_lock<std::mutex> lock(mutex);
        if (k != made) return imf::Fail("the reader's rows came out of order");
        if (made - asked >= slots) {
            readerWants = made - slots + batch;
            room.wait(lock, [&] { return stop || asked >= readerWants; });
            readerWants = -1;
        }
        if (stop) return false;
        lock.unlock();
        // Not the asker's row, nor one it has yet to take: the slot is free.
        std::memcpy(Slot(k), row, std::size_t(info.RowBytes()));
        lock.lock();
        made = k + 1;
        if (askerWants >= 0 && made >= askerWants) ready.notify_all();
        return true;
    }

    void Run() {
        imf::ClearError();
        const bool ok = imf::ReadToSink(path.c_str(), info, *this);
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        if (!stop && (!ok || made < info.height))
            failure = imf::LastError().empty() ? std::string("the file cannot be read") : imf::LastError();
        ready.notify_all();
    }

    bool Row(int y, std::uint8_t* row) {
        if (y < 0 || y >= info.height) return false;
        const long k = Index(y);
        std::unique_lock<std::mutex> lock(mutex);
        if (k < asked) {
            if (failure.empty()) failure = "rows were asked for out of the file's order";
            return false;
        }
        asked = k;
        if (readerWants >= 0 && asked >= readerWants) room.notify_all();
        if (!thread.joinable() && !done) {
            try {
                thread = std::thread([this] { Run(); });
            } catch (const std::system_error&) {
                done = true;
                failure = "no thread to read the file on";
            }
        }
        if (made <= k) {
            askerWants = std::min<long>(k + batch, info.height);
            ready.wait(lock, [&] { return done || made >= askerWants; });
            askerWants = -1;
            if (made <= k) return false;
        }
        lock.unlock();
        // The reader does not touch the slot of the row held.
        std::memcpy(row, Slot(k), std::size_t(info.RowBytes()));
        return true;
    }

    ~Reading() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        room.notify_all();
        if (thread.joinable()) thread.join();
    }
};

std::unique_ptr<DecodedRowFile> DecodedRowFile::Open(const char* path) {
    if (path == nullptr || *path == 0) return nullptr;
    auto reading = std::make_unique<Reading>();
    reading->path = path;
    const bool known = imf::ReadFileInfo(path, reading->info);
    imf::ClearError();
    const imf::ImageInfo& info = reading->info;
    if (!known || info.order == 0) return nullptr;
    // About four megabytes of rows, at least sixteen.
    const std::uint64_t rowBytes = info.RowBytes();
    reading->slots = int(std::clamp<std::uint64_t>((std::uint64_t(4) << 20) / rowBytes, 16, std::uint64_t(info.height)));
    reading->batch = std::max(reading->slots / 2, 1);
    try {
        reading->ring.assign(std::size_t(reading->slots) * std::size_t(rowBytes), 0);
    } catch (const std::bad_alloc&) {
        return nullptr;  // the picture is read whole, or fails there
    }
    std::unique_ptr<DecodedRowFile> file(new DecodedRowFile);
    file->width_ = info.width;
    file->height_ = info.height;
    file->bits_ = info.bits;
    file->rowBytes_ = rowBytes;
    file->reading_ = std::move(reading);
    return file;
}

DecodedRowFile::~DecodedRowFile() = default;

int DecodedRowFile::Order() const { return reading_->info.order; }

bool DecodedRowFile::StoredRow(int y, std::uint8_t* row) { return reading_->Row(y, row); }

std::string DecodedRowFile::Failure() const {
    std::lock_guard<std::mutex> lock(reading_->mutex);
    return reading_->failure;
}

std::unique_ptr<ImageRowFile> OpenImageRows(const char* path) {
    if (std::unique_ptr<RawRowFile> raw = RawRowFile::Open(path)) return raw;
    if (std::unique_ptr<RawRowFile> raw = RawRowFile::OpenBmp(path)) return raw;
    return DecodedRowFile::Open(path);
}
