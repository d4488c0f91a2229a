// The byte store behind a picture: resident in memory or in a swap file,
// moved between the two by a process-wide least-recently-used policy.
//
// Threads: the store list, the policy (MakeRoom) and every move of a store
// between memory and disk hold one process-wide lock, so a worker thread may
// make, fill and free pictures while the window's thread reads others. A
// reader that keeps a store's memory pointer across calls (a drawing, a
// transform, a file read or write) pins the store (StorePin): the policy
// then never moves it. Two threads never use the same store at once; the
// document's busy state sees to that (document/document_qt.h).
#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "picture/global_block.h"
#include "base/file_name.h"  // FileExtension

// Store flags at creation.
enum StoreFlags : int {
    kStoreMemory = 1,    // memory allowed
    kStoreSwapFile = 2,  // swap file allowed
    kStoreAny = 3,       // memory first, then swap file
};

// Store states.
enum StoreState : int {
    kStateInMemory = 1,
    kStateOnDisk = 2,
};

class CImageStore {
public:
    CImageStore();   // empty, in memory, appended at the tail of the store list
    ~CImageStore();  // Empty, then unlinked
    CImageStore(const CImageStore&) = delete;
    CImageStore& operator=(const CImageStore&) = delete;

    // Each of the three first releases what the store held. New bytes are
    // zero in memory and on disk alike. Memory beyond platform::AvailableMemory
    // (the memory budget, when one is set) is refused; Allocate then makes
    // room and, with kStoreSwapFile, falls back to a swap file. 1 or 0.
    int Allocate(std::uint64_t size, int flags);
    int AllocateInMemory(std::uint64_t size);
    // A new swap file "~tsv%04x.tmp" in platform::TempDirectory(), created
    // exclusively with its whole length reserved.
    int AllocateOnDisk(std::uint64_t size);
    void Empty();  // memory freed or swap file deleted; size 0, in memory
    // The block becomes the store's bytes; 0 (and the block freed) when it is
    // none or unusable.
    int AttachHandle(HGlobal block);
    // Brings the store into memory, gives its block away and leaves the store
    // empty. None when the store is empty or cannot come back into memory (the
    // store then keeps its bytes).
    HGlobal DetachHandle();

    int ReadByte(std::uint64_t offset, std::uint8_t& value);
    int WriteByte(std::uint64_t offset, std::uint8_t value);
    // Copy count bytes; the count is cut to what lies before the size. Return
    // the bytes moved, 0 when the offset is at or beyond the size or on failure.
    std::uint64_t ReadBytes(std::uint64_t offset, std::uint64_t count, void* buffer);
    std::uint64_t WriteBytes(std::uint64_t offset, std::uint64_t count, const void* buffer);
    std::uint64_t FillBytes(std::uint64_t offset, std::uint64_t count, std::uint8_t value);

    int GetState() const { return state_; }
    std::uint64_t GetSize() const { return size_; }
    // The resident bytes, or none when on disk or empty.
    std::uint8_t* GetMemory() const;
    const std::string& SwapFileName() const { return swapFileName_; }

    // Both return 1 also when there is nothing to do. A failed SwapOut keeps
    // the bytes in memory, a failed SwapIn keeps them in the file.
    int SwapOut();
    int SwapIn();
    // Moves the store to the most-recently-used end; with makeRoom, runs MakeRoom.
    int Touch(bool makeRoom);

    // While pinned (pins nest), MakeRoom leaves the store where it is.
    void Pin();
    void Unpin();
    bool Pinned() const { return pins_.load(std::memory_order_relaxed) > 0; }

    // The residency policy over every store of the process.
    static int MakeRoom();
    // Bytes available: which = 1 memory, 2 the temporary directory's disk.
    static std::uint64_t FreeSpace(int which);
    // Number of stores in the process-wide list.
    static int StoreCount();
    // The store at the least-recently-used end of the list and the one after
    // a store (towards the most recently used); none past the end.
    static const CImageStore* LeastRecentlyUsed();
    const CImageStore* NextMoreRecent() const { return next_; }

    // Swap file names are numbered from the seconds since system start; tests
    // may fix the first number tried. A negative value returns to the clock.
    static void SetSwapNumberStart(std::int64_t number);

private:
    int AllocateBlock(std::uint64_t size, bool zero);
    void FreeBlock();
    int OpenSwapFile(std::uint64_t size);
    void CloseSwapFile();
    void Unlink();
    void AppendAtTail();
    static void RemoveFilesAtExit();

    std::uint64_t size_ = 0;
    CGlobalBlock block_;  // a flat address space needs only one block
    int swapFile_ = -1;   // descriptor of the open swap file
    std::string swapFileName_;
    int swapHandle_ = -1;  // the file's record among the process's temporaries
    int state_ = kStateInMemory;
    std::atomic<int> pins_{0};
    CImageStore* next_ = nullptr;
    CImageStore* previous_ = nullptr;
};

// Pins a store for the span of a scope (none: nothing).
class StorePin {
public:
    explicit StorePin(CImageStore* store) : store_(store) {
        if (store_) store_->Pin();
    }
    ~StorePin() {
        if (store_) store_->Unpin();
    }
    StorePin(const StorePin&) = delete;
    StorePin& operator=(const StorePin&) = delete;

private:
    CImageStore* store_;
};

// Path utilities shared by the shell, the import and export code and others.
// 1 when the directory can be entered (or, with writeTest, when a probe file
// "PathTest.tmp" can be created in it and removed); 0 otherwise.
int CheckDirectory(const std::string& directory, bool writeTest);
// The executable's directory followed by the separator character.
std::string AppDirectory(char separator);
