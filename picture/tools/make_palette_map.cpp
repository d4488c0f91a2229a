// Build-time generator of "palette.map": the cell map of every standard
// palette at its offset, computed by the nearest-colour search.
#include <cstdio>

#include "picture/palette_map.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_palette_map OUTPUT\n");
        return 2;
    }
    std::vector<std::uint8_t> bytes = BuildPaletteMapFile();
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::perror(argv[1]);
        return 1;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = (std::fclose(file) == 0) && ok;
    if (!ok) {
        std::fprintf(stderr, "make_palette_map: cannot write %s\n", argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
