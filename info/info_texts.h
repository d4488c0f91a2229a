// What the information sheet reports, as text: the facts of the system
// (processor, kernel version, swap, directories, disk space) and of a
// picture (type, resolution, size, width and height in a unit), and the
// display unit the sheet shows them in.
#pragma once
#include <cstdint>
#include <string>

namespace info {

// Units as the print settings number them.
constexpr int kUnitInch = 0;
constexpr int kUnitCm = 1;
constexpr int kUnitPixel = 2;

// The unit the sheet shows sizes in, kept for the run by whoever shows the
// sheet (the Information command): read from "Unit" of section
// "Preference" (default pixel) the first time it is asked for, and changed
// only by Set. Never written back.
class DisplayUnitChoice {
public:
    int Get();
    // Values other than 0..2 are ignored.
    void Set(int unit);

private:
    bool read_ = false;
    int unit_ = kUnitPixel;
};

// The resolution to use: the picture's own, or fallback when the picture
// reports less than 1 dpi (and 96 when that too is below 1).
int UsableDpi(int pictureDpi, int fallbackDpi);

// Width or height in the unit: inch "%4.1f" of pixels / dpi, cm "%4.1f" of
// pixels / dpi * 2.54, pixel "%5d" of pixels. dpi below 1 counts as 96.
std::string DimensionText(int pixels, int dpi, int unit);
// "%3d DPI".
std::string DpiText(int dpi);
// The picture's stored bytes in kilobytes, "%6.1f" and "KB".
std::string ImageSizeText(std::uint64_t bytes);
// Kilobytes as the system page shows them: " %-.1lf " and "KB".
std::string KilobyteText(double kilobytes);
// The display name of a picture type ("24 bit True Color"), "" outside 0..8.
std::string PictureTypeText(int type);

// The factor a picture is reduced by to fit an area: the larger of
// ceil(width / area width) and ceil(height / area height), at least 1.
int ThumbnailFactor(int width, int height, int areaWidth, int areaHeight);

// The processor's name: "80386", "80486" or "Pentium" for those machines
// (uname's machine field), else the first "model name" of /proc/cpuinfo,
// else the machine field itself.
std::string ProcessorName(const std::string& machine, const std::string& cpuinfo);
// Major and minor number of a kernel release ("6.1.0-18-amd64": 6, 1).
// False when the release does not start with them.
bool ParseKernelVersion(const std::string& release, int& major, int& minor);
// SwapFree of /proc/meminfo in bytes; false when it is not there.
bool ParseSwapFree(const std::string& meminfo, std::uint64_t& bytes);

// The system page's facts, gathered once when the page is made.
struct SystemFacts {
    std::string processor;
    bool versionKnown = false;
    int major = 0, minor = 0;
    bool swapKnown = false;
    std::uint64_t swapFreeBytes = 0;
    std::string currentDirectory;
    std::string cachePath;
    bool diskKnown = false;
    std::uint64_t totalBytes = 0, freeBytes = 0;
};
// Gathers them; cachePath empty means the temporary directory in use.
SystemFacts GatherSystemFacts(const std::string& cachePath = {});

// The texts of the system page, in the order of its rows: processor,
// version, available swap, current directory, cache path, total space,
// free space. What could not be found out reads "not available".
struct SystemTexts {
    std::string processor, version, swap, currentDirectory, cachePath, totalSpace, freeSpace;
};
SystemTexts FormatSystemFacts(const SystemFacts& facts);

}  // namespace info
