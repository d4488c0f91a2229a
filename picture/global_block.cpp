// Movable memory blocks on an ordinary heap: a handle owns the bytes and the
// "lock" is simply the pointer to them.
#include "picture/global_block.h"

#include <sys/sysinfo.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace {

// No block can be larger than the machine's memory and swap together; such
// requests are refused here rather than handed to the allocator.
std::uint64_t LargestPossibleBlock() {
    static const std::uint64_t largest = [] {
        struct sysinfo info {};
        if (sysinfo(&info) != 0) return std::uint64_t(1) << 40;
        return (static_cast<std::uint64_t>(info.totalram) + info.totalswap) * info.mem_unit;
    }();
    return largest;
}

}  // namespace

HGlobal GlobalAlloc(unsigned flags, std::uint64_t size) {
    if (size > std::numeric_limits<std::size_t>::max() / 2 || size > LargestPossibleBlock())
        return nullptr;
    HGlobal block(new (std::nothrow) GlobalMemory);
    if (!block) return nullptr;
    const std::size_t bytes = static_cast<std::size_t>(size);
    // calloc hands large zeroed blocks straight from the kernel: the pages are
    // zeroed when first touched, not in a separate pass over the whole block.
    void* p = (flags & kGlobalZeroInit) ? std::calloc(bytes ? bytes : 1, 1)
                                         : std::malloc(bytes ? bytes : 1);
    block->bytes.reset(static_cast<std::uint8_t*>(p));
    if (!block->bytes) return nullptr;
    block->size = size;
    return block;
}

void GlobalBytesDeleter::operator()(std::uint8_t* p) const noexcept { std::free(p); }

CGlobalBlock::~CGlobalBlock() { Free(); }

std::uint8_t* CGlobalBlock::Allocate(unsigned flags, std::uint64_t bytes) {
    Free();
    return AttachHandle(GlobalAlloc(flags, bytes));
}

void CGlobalBlock::Free() {
    handle_.reset();
    pointer_ = nullptr;
    size_ = 0;
}

std::uint8_t* CGlobalBlock::AttachHandle(HGlobal handle) {
    if (handle && handle.get() == handle_.get()) {
        (void)handle.release();  // the block already held; keep one owner
        return pointer_;
    }
    Free();
    if (!handle || !handle->bytes) return nullptr;
    handle_ = std::move(handle);
    pointer_ = handle_->bytes.get();
    size_ = handle_->size;
    return pointer_;
}

HGlobal CGlobalBlock::DetachHandle() {
    pointer_ = nullptr;
    size_ = 0;
    return std::move(handle_);
}
