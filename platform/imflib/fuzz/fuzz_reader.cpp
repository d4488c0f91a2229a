// One libFuzzer target per reader: FUZZ_FORMAT names the reader. Built
// without libFuzzer (FUZZ_REPLAY), the program replays the files named on
// its command line instead.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/imflib/codec.h"

namespace {
// Inputs beyond this size add nothing a smaller input cannot reach.
constexpr std::size_t kMaxInput = 1 << 20;
// Pictures beyond this many pixels are only parsed, not decoded, to keep runs fast.
constexpr std::uint64_t kMaxPixels = 4u << 20;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > kMaxInput) return 0;
    imf::ReadMemory(FUZZ_FORMAT, data, size, kMaxPixels);
    return 0;
}

#ifdef FUZZ_REPLAY
int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    return 0;
}
#endif
