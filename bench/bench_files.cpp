// Times ReadImageFile and WriteImageFile on one file; bench_files.sh runs it
// beside the codec libraries' own tools.
//
//   bench_files generate OUT.ppm WIDTH HEIGHT   a photo-like test picture (PPM, P6)
//   bench_files read IN [REPEAT]                best time of ReadImageFile
//   bench_files write IN OUT [REPEAT] [--png-level L] [--tiff none|lzw]
//                                               reads IN once, best time of WriteImageFile to OUT
//
// Times are processor seconds (user and system) of the operation, printed on
// stdout as one number: on a shared machine they vary far less than wall
// time, and neither the codecs nor the tools use more than one thread.
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "document/import_export.h"
#include "picture/picture.h"
#include "platform/imflib/imflib.h"

namespace {

double CpuNow() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Smooth gradients with a little noise and some edges: compresses about as a
// scanned photograph does, neither trivially nor not at all.
int Generate(const std::string& path, int width, int height) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 1;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    std::vector<std::uint8_t> row(std::size_t(width) * 3);
    std::uint32_t seed = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            int noise = int(seed >> 28) - 8;
            int band = ((x / 97) + (y / 61)) % 5 == 0 ? 60 : 0;
            int r = (x * 255) / width + noise + band;
            int g = (y * 255) / height + noise;
            int b = ((x + y) * 255) / (width + height) - noise + band / 2;
            std::uint8_t* p = &row[std::size_t(x) * 3];
            p[0] = std::uint8_t(r < 0 ? 0 : r > 255 ? 255 : r);
            p[1] = std::uint8_t(g < 0 ? 0 : g > 255 ? 255 : g);
            p[2] = std::uint8_t(b < 0 ? 0 : b > 255 ? 255 : b);
        }
        if (std::fwrite(row.data(), 1, row.size(), f) != row.size()) {
            std::fclose(f);
            return 1;
        }
    }
    return std::fclose(f) == 0 ? 0 : 1;
}

int Read(const std::string& path, int repeat) {
    double best = 1e30;
    for (int i = 0; i < repeat; ++i) {
        double start = CpuNow();
        std::unique_ptr<CPicture> picture(ReadImageFile(path, false));
        double t = CpuNow() - start;
        if (!picture) {
            std::fprintf(stderr, "bench_files: cannot read %s\n", path.c_str());
            return 1;
        }
        best = std::min(best, t);
    }
    std::printf("%.3f\n", best);
    return 0;
}

int Write(const std::string& in, const std::string& out, int repeat) {
    std::unique_ptr<CPicture> picture(ReadImageFile(in, false));
    if (!picture) {
        std::fprintf(stderr, "bench_files: cannot read %s\n", in.c_str());
        return 1;
    }
    double best = 1e30;
    for (int i = 0; i < repeat; ++i) {
        double start = CpuNow();
        int ok = WriteImageFile(out, picture.get());
        double t = CpuNow() - start;
        if (!ok) {
            std::fprintf(stderr, "bench_files: cannot write %s\n", out.c_str());
            return 1;
        }
        best = std::min(best, t);
    }
    std::printf("%.3f\n", best);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "generate" && argc == 5)
        return Generate(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (command == "read" && (argc == 3 || argc == 4))
        return Read(argv[2], argc == 4 ? std::max(1, std::atoi(argv[3])) : 1);
    if (command == "write" && argc >= 4) {
        int repeat = 1;
        SaveOptions& options = CurrentSaveOptions();
        for (int i = 4; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--png-level" && i + 1 < argc) {
                options.pngLevel = std::atoi(argv[++i]);
            } else if (a == "--tiff" && i + 1 < argc) {
                std::string c = argv[++i];
                options.tiffCompression = c == "lzw" ? kTiffCompressionLzw : kTiffCompressionNone;
            } else {
                repeat = std::max(1, std::atoi(a.c_str()));
            }
        }
        return Write(argv[2], argv[3], repeat);
    }
    std::fprintf(stderr,
                 "usage: bench_files generate OUT.ppm W H | read IN [N] |"
                 " write IN OUT [N] [--png-level L] [--tiff none|lzw]\n");
    return 2;
}
