// Movable memory blocks. A handle owns its bytes; a CGlobalBlock holds one
// handle with its pointer and size, allocated and locked together.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

// Releases bytes obtained with malloc or calloc.
struct GlobalBytesDeleter {
    void operator()(std::uint8_t* p) const noexcept;
};

// The bytes of one block. Owned through HGlobal.
struct GlobalMemory {
    std::unique_ptr<std::uint8_t[], GlobalBytesDeleter> bytes;
    std::uint64_t size = 0;
};
using HGlobal = std::unique_ptr<GlobalMemory>;

// Global-memory flags of Allocate.
enum GlobalFlags : unsigned {
    kGlobalMoveable = 0x0002,
    kGlobalZeroInit = 0x0040,
};

// Allocates a block of size bytes (zero-filled with kGlobalZeroInit); none when
// memory is short. Never throws.
HGlobal GlobalAlloc(unsigned flags, std::uint64_t size);

class CGlobalBlock {
public:
    CGlobalBlock() = default;
    ~CGlobalBlock();
    CGlobalBlock(const CGlobalBlock&) = delete;
    CGlobalBlock& operator=(const CGlobalBlock&) = delete;

    // Frees what it held, allocates with the flags and locks; the pointer, or
    // none on failure.
    std::uint8_t* Allocate(unsigned flags, std::uint64_t bytes);
    void Free();
    // Takes an existing block and locks it; attaching the block already held
    // is a no-op. Returns the pointer, or none.
    std::uint8_t* AttachHandle(HGlobal handle);
    // Gives the block away without freeing it.
    HGlobal DetachHandle();
    bool IsBad() const { return pointer_ == nullptr; }

    std::uint8_t* Pointer() const { return pointer_; }
    std::uint64_t Size() const { return size_; }
    const GlobalMemory* Handle() const { return handle_.get(); }

private:
    HGlobal handle_;
    std::uint8_t* pointer_ = nullptr;
    std::uint64_t size_ = 0;
};
