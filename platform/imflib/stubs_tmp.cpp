#include "platform/imflib/codec.h"
namespace imf {
#define STUB(N) \
bool Sniff##N(const std::uint8_t*, std::size_t) { return false; } \
bool Read##N(std::FILE*, ImageInfo&, DibRows*, Progress*) { return false; } \
bool Write##N(std::FILE*, const std::string&, DibRows&, Progress&, const SaveOptions&) { return false; }
STUB(Gif) STUB(Pcx) STUB(Tga) STUB(Pnm)
}
