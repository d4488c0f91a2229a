// The byte store behind every picture, and the residency policy that moves
// stores between memory and swap files.
#include "picture/image_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>

#include "platform/system.h"
#include "platform/temporary_files.h"

namespace {

// The residency manager's state: every store of the process in one list,
// the lock over it and the policy's counters. One per process, as the
// memory and disk it shares out are; reached through Stores() only.
struct StoreManager {
    // Held for the list, the policy and every move between memory and disk
    // (recursive: Allocate runs MakeRoom).
    std::recursive_mutex lock;
    // Head least recently used, tail most recently.
    CImageStore* head = nullptr;
    CImageStore* tail = nullptr;
    int count = 0;
    // Bytes being requested by an allocation that is making room; 0 otherwise.
    std::int64_t pendingBytes = 0;
    // The first swap file number tried; negative: from the clock.
    std::int64_t swapNumberStart = -1;
    bool exitCleanupRegistered = false;
};

StoreManager& Stores() {
    static StoreManager manager;
    return manager;
}

using Guard = std::lock_guard<std::recursive_mutex>;

// Counted for every store when the memory budget is worked out.
constexpr std::int64_t kStoreOverhead = 5120;

// Disk fills and copies move at most this many bytes at a time.
constexpr std::size_t kDiskPiece = 32768;

// Number of consecutive swap file names tried.
constexpr int kSwapNameTries = 32;

// Moves count bytes at offset with pread or pwrite, resuming after partial
// transfers and interruptions; false on any error or end of file.
template <typename Byte, typename Transfer>
bool TransferAt(int fd, std::uint64_t offset, std::uint64_t count, Byte* bytes,
                Transfer transfer) {
    while (count > 0) {
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, 1u << 30));
        const ssize_t n = transfer(fd, bytes, piece, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        offset += static_cast<std::uint64_t>(n);
        count -= static_cast<std::uint64_t>(n);
    }
    return true;
}

bool ReadAt(int fd, std::uint64_t offset, std::uint64_t count, void* buffer) {
    return TransferAt(fd, offset, count, static_cast<std::uint8_t*>(buffer), pread);
}

bool WriteAt(int fd, std::uint64_t offset, std::uint64_t count, const void* buffer) {
    return TransferAt(fd, offset, count, static_cast<const std::uint8_t*>(buffer), pwrite);
}

// The largest offset a file may reach.
constexpr std::uint64_t kMaxFileSize = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());

}  // namespace

CImageStore::CImageStore() {
    Guard guard(Stores().lock);
    if (!Stores().exitCleanupRegistered) {
        Stores().exitCleanupRegistered = true;
        std::atexit(&CImageStore::RemoveFilesAtExit);
    }
    AppendAtTail();
}

CImageStore::~CImageStore() {
    Guard guard(Stores().lock);
    Empty();
    Unlink();
}

void CImageStore::AppendAtTail() {
    StoreManager& stores = Stores();
    previous_ = stores.tail;
    next_ = nullptr;
    if (stores.tail) stores.tail->next_ = this;
    else stores.head = this;
    stores.tail = this;
    ++stores.count;
}

void CImageStore::Unlink() {
    StoreManager& stores = Stores();
    if (previous_) previous_->next_ = next_;
    else stores.head = next_;
    if (next_) next_->previous_ = previous_;
    else stores.tail = previous_;
    next_ = previous_ = nullptr;
    --stores.count;
}

int CImageStore::StoreCount() {
    Guard guard(Stores().lock);
    return Stores().count;
}

const CImageStore* CImageStore::LeastRecentlyUsed() {
    Guard guard(Stores().lock);
    return Stores().head;
}

void CImageStore::Pin() {
    // Taken under the lock: a MakeRoom under way finishes first.
    Guard guard(Stores().lock);
    pins_.fetch_add(1, std::memory_order_relaxed);
}

void CImageStore::Unpin() { pins_.fetch_sub(1, std::memory_order_relaxed); }

void CImageStore::SetSwapNumberStart(std::int64_t number) {
    Guard guard(Stores().lock);
    Stores().swapNumberStart = number;
}

// At a normal exit no swap file stays behind, even of stores never destroyed.
// The open descriptors keep the bytes readable for destructors that still run.
void CImageStore::RemoveFilesAtExit() {
    Guard guard(Stores().lock);
    for (CImageStore* store = Stores().head; store; store = store->next_) {
        if (!store->swapFileName_.empty()) unlink(store->swapFileName_.c_str());
        store->swapFileName_.clear();
        platform::ForgetTemporary(store->swapHandle_);
        store->swapHandle_ = -1;
    }
}

// ---- memory -----------------------------------------------------------------

int CImageStore::AllocateBlock(std::uint64_t size, bool zero) {
    // Memory the budget (or the system) cannot give goes to the swap file
    // instead of being promised by the kernel and taken back later.
    if (size > platform::AvailableMemory()) return 0;
    if (!block_.Allocate(kGlobalMoveable | (zero ? kGlobalZeroInit : 0u), size)) return 0;
    platform::AddResidentBytes(static_cast<std::int64_t>(size));
    return 1;
}

void CImageStore::FreeBlock() {
    if (block_.Pointer()) platform::AddResidentBytes(-static_cast<std::int64_t>(block_.Size()));
    block_.Free();
}

int CImageStore::AllocateInMemory(std::uint64_t size) {
    Guard guard(Stores().lock);
    Empty();
    if (!AllocateBlock(size, true)) return 0;
    size_ = size;
    state_ = kStateInMemory;
    return 1;
}

// ---- swap file --------------------------------------------------------------

int CImageStore::OpenSwapFile(std::uint64_t size) {
    if (size > kMaxFileSize) return 0;
    if (FreeSpace(kStoreSwapFile) < size) return 0;

    const std::int64_t start = Stores().swapNumberStart;
    std::uint64_t number = start >= 0 ? static_cast<std::uint64_t>(start)
                               : platform::MillisecondsSinceStart() / 1000u;
    // Exclusive creation: a name in use, by us or anyone else, is passed
    // over. Locked from now on, and removed should a signal end the process.
    std::string path;
    int handle = -1;
    const int fd = platform::MakeTemporary(path, false, handle, [&](std::string& name) {
        for (int attempt = 0; attempt < kSwapNameTries; ++attempt, ++number) {
            name = platform::SwapFilePath(number);
            const int made = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (made >= 0 || errno != EEXIST) return made;
        }
        return -1;
    });
    if (fd < 0) return 0;
    // Reserve the whole length now, so a full disk shows here and not later
    // as a failed write into a sparse file.
    if (size > 0) {
        int error = posix_fallocate(fd, 0, static_cast<off_t>(size));
        if (error == EINVAL || error == EOPNOTSUPP) {
            // A file system without reservation: write the length out.
            static const std::uint8_t zeros[kDiskPiece] = {};
            error = 0;
            for (std::uint64_t at = 0; at < size && !error; at += kDiskPiece) {
                if (!WriteAt(fd, at, std::min<std::uint64_t>(kDiskPiece, size - at), zeros))
                    error = errno ? errno : EIO;
            }
        }
        if (error != 0) {
            unlink(path.c_str());
            close(fd);
            platform::ForgetTemporary(handle);
            return 0;
        }
    }
    swapFile_ = fd;
    swapFileName_ = std::move(path);
    swapHandle_ = handle;
    return 1;
}

void CImageStore::CloseSwapFile() {
    // Removed while still locked, so no other process ever sees it unlocked.
    if (!swapFileName_.empty()) unlink(swapFileName_.c_str());
    swapFileName_.clear();
    if (swapFile_ >= 0) close(swapFile_);
    swapFile_ = -1;
    platform::ForgetTemporary(swapHandle_);
    swapHandle_ = -1;
}

int CImageStore::AllocateOnDisk(std::uint64_t size) {
    Guard guard(Stores().lock);
    Empty();
    if (!OpenSwapFile(size)) return 0;
    size_ = size;
    state_ = kStateOnDisk;
    return 1;
}

// ---- whole store ------------------------------------------------------------

int CImageStore::Allocate(std::uint64_t size, int flags) {
    Guard guard(Stores().lock);
    Empty();
    if (flags & kStoreMemory) {
        if (AllocateInMemory(size) || AllocateInMemory(size)) return 1;
        Stores().pendingBytes += static_cast<std::int64_t>(std::min<std::uint64_t>(size, INT64_MAX / 4));
        MakeRoom();
        Stores().pendingBytes -= static_cast<std::int64_t>(std::min<std::uint64_t>(size, INT64_MAX / 4));
        if (AllocateInMemory(size)) return 1;
    }
    if (!(flags & kStoreSwapFile)) return 0;
    return AllocateOnDisk(size);
}

void CImageStore::Empty() {
    Guard guard(Stores().lock);
    if (state_ == kStateOnDisk) CloseSwapFile();
    FreeBlock();
    size_ = 0;
    state_ = kStateInMemory;
}

int CImageStore::AttachHandle(HGlobal block) {
    Guard guard(Stores().lock);
    Empty();
    if (!block || !block_.AttachHandle(std::move(block))) return 0;
    size_ = block_.Size();
    state_ = kStateInMemory;
    platform::AddResidentBytes(static_cast<std::int64_t>(size_));
    return 1;
}

HGlobal CImageStore::DetachHandle() {
    Guard guard(Stores().lock);
    if (size_ == 0) return nullptr;
    if (state_ == kStateOnDisk && !SwapIn()) return nullptr;  // the file is kept
    platform::AddResidentBytes(-static_cast<std::int64_t>(block_.Size()));
    HGlobal handle = block_.DetachHandle();
    Empty();
    return handle;
}

std::uint8_t* CImageStore::GetMemory() const {
    return state_ == kStateInMemory && size_ > 0 ? block_.Pointer() : nullptr;
}

// ---- byte access ------------------------------------------------------------

int CImageStore::ReadByte(std::uint64_t offset, std::uint8_t& value) {
    if (offset >= size_) return 0;
    if (state_ == kStateInMemory) {
        value = block_.Pointer()[offset];
        return 1;
    }
    return ReadAt(swapFile_, offset, 1, &value) ? 1 : 0;
}

int CImageStore::WriteByte(std::uint64_t offset, std::uint8_t value) {
    if (offset >= size_) return 0;
    if (state_ == kStateInMemory) {
        block_.Pointer()[offset] = value;
        return 1;
    }
    return WriteAt(swapFile_, offset, 1, &value) ? 1 : 0;
}

std::uint64_t CImageStore::ReadBytes(std::uint64_t offset, std::uint64_t count, void* buffer) {
    if (offset >= size_ || !buffer) return 0;
    const std::uint64_t n = std::min(count, size_ - offset);
    if (state_ == kStateInMemory) {
        std::memcpy(buffer, block_.Pointer() + offset, static_cast<std::size_t>(n));
        return n;
    }
    return ReadAt(swapFile_, offset, n, buffer) ? n : 0;
}

std::uint64_t CImageStore::WriteBytes(std::uint64_t offset, std::uint64_t count,
                                      const void* buffer) {
    if (offset >= size_ || !buffer) return 0;
    const std::uint64_t n = std::min(count, size_ - offset);
    if (state_ == kStateInMemory) {
        std::memcpy(block_.Pointer() + offset, buffer, static_cast<std::size_t>(n));
        return n;
    }
    return WriteAt(swapFile_, offset, n, buffer) ? n : 0;
}

std::uint64_t CImageStore::FillBytes(std::uint64_t offset, std::uint64_t count,
                                     std::uint8_t value) {
    if (offset >= size_) return 0;
    const std::uint64_t n = std::min(count, size_ - offset);
    if (state_ == kStateInMemory) {
        std::memset(block_.Pointer() + offset, value, static_cast<std::size_t>(n));
        return n;
    }
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(n, kDiskPiece));
    std::unique_ptr<std::uint8_t[]> temp(new (std::nothrow) std::uint8_t[piece]);
    if (!temp) return 0;
    std::memset(temp.get(), value, piece);
    for (std::uint64_t done = 0; done < n; done += piece) {
        if (!WriteAt(swapFile_, offset + done, std::min<std::uint64_t>(piece, n - done), temp.get()))
            return 0;
    }
    return n;
}

// ---- moving between memory and disk -----------------------------------------

int CImageStore::SwapOut() {
    Guard guard(Stores().lock);
    if (size_ == 0 || state_ == kStateOnDisk) return 1;
    if (!OpenSwapFile(size_)) return 0;  // memory unchanged
    if (!WriteAt(swapFile_, 0, size_, block_.Pointer())) {
        CloseSwapFile();
        state_ = kStateInMemory;  // the memory is kept
        return 0;
    }
    FreeBlock();
    state_ = kStateOnDisk;
    return 1;
}

int CImageStore::SwapIn() {
    Guard guard(Stores().lock);
    if (size_ == 0 || state_ == kStateInMemory) return 1;
    if (!AllocateBlock(size_, false)) return 0;  // the file is kept
    if (!ReadAt(swapFile_, 0, size_, block_.Pointer())) {
        FreeBlock();
        state_ = kStateOnDisk;
        return 0;
    }
    CloseSwapFile();
    state_ = kStateInMemory;
    return 1;
}

int CImageStore::Touch(bool makeRoom) {
    Guard guard(Stores().lock);
    if (Stores().tail != this) {
        Unlink();
        AppendAtTail();
    }
    return makeRoom ? MakeRoom() : 1;
}

int CImageStore::MakeRoom() {
    StoreManager& stores = Stores();
    Guard guard(stores.lock);
    const int count = stores.count;
    std::unique_ptr<bool[]> keep(new (std::nothrow) bool[static_cast<std::size_t>(count) + 1]());
    if (!keep) return 0;

    constexpr std::uint64_t kCap = static_cast<std::uint64_t>(INT64_MAX / 4);
    const std::int64_t available =
        static_cast<std::int64_t>(std::min(FreeSpace(kStoreMemory), kCap));
    std::int64_t resident = 0;
    for (const CImageStore* store = stores.head; store; store = store->next_) {
        if (store->state_ == kStateInMemory)
            resident += static_cast<std::int64_t>(std::min(store->size_, kCap));
    }
    std::int64_t budget = resident + available - kStoreOverhead * count - stores.pendingBytes;

    // Most recently used first: every store that still fits is kept in memory.
    int index = count - 1;
    // Pinned stores stay where they are: resident ones take their room first.
    for (const CImageStore* store = stores.head; store; store = store->next_) {
        if (store->Pinned() && store->state_ == kStateInMemory)
            budget -= static_cast<std::int64_t>(std::min(store->size_, kCap));
    }
    for (const CImageStore* store = stores.tail; store && budget > 0; store = store->previous_, --index) {
        if (store->Pinned()) continue;
        const std::int64_t size = static_cast<std::int64_t>(std::min(store->size_, kCap));
        if (size < budget) {
            keep[static_cast<std::size_t>(index)] = true;
            budget -= size + kStoreOverhead;
        }
    }

    for (int pass = 0; pass < 3; ++pass) {
        bool ok = true;
        int i = 0;
        for (CImageStore* store = stores.head; store; store = store->next_, ++i) {
            if (store->Pinned()) continue;
            const int result = keep[static_cast<std::size_t>(i)] ? store->SwapIn() : store->SwapOut();
            if (!result) ok = false;
        }
        if (ok) return 1;
    }
    return 0;
}

std::uint64_t CImageStore::FreeSpace(int which) {
    std::uint64_t result = 0;
    if (which & kStoreSwapFile) result = platform::FreeDiskBytes(platform::TempDirectory());
    if (which & kStoreMemory) result = std::max(result, platform::AvailableMemory());
    return result;
}

// ---- path utilities ---------------------------------------------------------

int CheckDirectory(const std::string& directory, bool writeTest) {
    if (directory.empty()) return 0;
    struct stat info {};
    if (stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return 0;
    if (!writeTest) return access(directory.c_str(), X_OK) == 0 ? 1 : 0;

    std::string probe = directory;
    if (probe.back() != '/') probe += '/';
    probe += "PathTest.tmp";
    // Never truncate or remove a file of that name that someone else owns.
    const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST) return access(directory.c_str(), W_OK | X_OK) == 0 ? 1 : 0;
        return 0;
    }
    close(fd);
    return unlink(probe.c_str()) == 0 ? 1 : 0;
}

std::string AppDirectory(char separator) {
    std::string dir = platform::ExecutableDirectory();
    if (dir == "/" && separator == '/') return dir;
    return dir + separator;
}

