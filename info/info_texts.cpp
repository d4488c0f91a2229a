#include "info/info_texts.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "picture/picture.h"
#include "platform/profile.h"
#include "platform/system.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace info {
namespace {

bool ValidUnit(int unit) { return unit >= kUnitInch && unit <= kUnitPixel; }

std::string Format(const char* format, ...) {
    char buffer[128];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return n < 0 ? std::string() : std::string(buffer, std::min<std::size_t>(std::size_t(n), sizeof buffer - 1));
}

std::string ReadWholeFile(const char* path) {
    std::ifstream in(path);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

std::string NotAvailable() { return LoadStringById(IDS_INFO_NOT_AVAILABLE); }

}  // namespace

int DisplayUnitChoice::Get() {
    if (!read_) {
        const int unit = platform::GetProfileInt(LoadStringById(IDS_SECTION_PREFERENCE),
                                                 LoadStringById(IDS_KEY_UNIT), kUnitPixel);
        unit_ = ValidUnit(unit) ? unit : kUnitPixel;
        read_ = true;
    }
    return unit_;
}

void DisplayUnitChoice::Set(int unit) {
    if (!ValidUnit(unit)) return;
    unit_ = unit;
    read_ = true;
}

int UsableDpi(int pictureDpi, int fallbackDpi) {
    if (pictureDpi >= 1) return pictureDpi;
    return fallbackDpi >= 1 ? fallbackDpi : kDefaultDpi;
}

std::string DimensionText(int pixels, int dpi, int unit) {
    if (dpi < 1) dpi = kDefaultDpi;
    switch (unit) {
    case kUnitInch: return Format("%4.1f", double(pixels) / dpi);
    case kUnitCm: return Format("%4.1f", double(pixels) / dpi * 2.54);
    default: return Format("%5d", pixels);
    }
}

std::string DpiText(int dpi) { return Format("%3d ", dpi) + LoadStringById(IDS_DPI); }

std::string ImageSizeText(std::uint64_t bytes) {
    return Format("%6.1f", double(bytes) / 1024.0) + LoadStringById(IDS_KB);
}

std::string KilobyteText(double kilobytes) { return Format(" %-.1lf ", kilobytes) + LoadStringById(IDS_KB); }

std::string PictureTypeText(int type) {
    if (type < ptBlackWhite || type > ptTrueColor32) return {};
    return PlainText(LoadStringById(IDS_TYPE_BLACK_WHITE + type));
}

int ThumbnailFactor(int width, int height, int areaWidth, int areaHeight) {
    if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0) return 1;
    const int nx = int((std::int64_t(width) + areaWidth - 1) / areaWidth);
    const int ny = int((std::int64_t(height) + areaHeight - 1) / areaHeight);
    return std::max({1, nx, ny});
}

std::string ProcessorName(const std::string& machine, const std::string& cpuinfo) {
    if (machine == "i386") return LoadStringById(IDS_CPU_80386);
    if (machine == "i486") return LoadStringById(IDS_CPU_80486);
    if (machine == "i586") return LoadStringById(IDS_CPU_PENTIUM);
    std::istringstream lines(cpuinfo);
    std::string line;
    while (std::getline(lines, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        if (Trim(line.substr(0, colon)) != "model name") continue;
        const std::string name = Trim(line.substr(colon + 1));
        if (!name.empty()) return name;
    }
    return machine;
}

bool ParseKernelVersion(const std::string& release, int& major, int& minor) {
    int a = 0, b = 0;
    char dot = 0;
    std::istringstream in(release);
    if (!(in >> a >> dot >> b) || dot != '.' || a < 0 || b < 0) return false;
    major = a;
    minor = b;
    return true;
}

bool ParseSwapFree(const std::string& meminfo, std::uint64_t& bytes) {
    std::istringstream lines(meminfo);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned long long kib = 0;
        if (std::sscanf(line.c_str(), "SwapFree: %llu kB", &kib) == 1) {
            bytes = std::uint64_t(kib) * 1024;
            return true;
        }
    }
    return false;
}

SystemFacts GatherSystemFacts(const std::string& cachePath) {
    SystemFacts facts;
    struct utsname names {};
    const bool named = uname(&names) == 0;
    facts.processor = ProcessorName(named ? names.machine : "", ReadWholeFile("/proc/cpuinfo"));
    if (named) facts.versionKnown = ParseKernelVersion(names.release, facts.major, facts.minor);
    facts.swapKnown = ParseSwapFree(ReadWholeFile("/proc/meminfo"), facts.swapFreeBytes);
    std::vector<char> directory(4096);
    if (getcwd(directory.data(), directory.size())) facts.currentDirectory = directory.data();
    facts.cachePath = cachePath.empty() ? platform::TempDirectory() : cachePath;
    facts.diskKnown = platform::DiskSpace(facts.cachePath, facts.totalBytes, facts.freeBytes);
    return facts;
}

SystemTexts FormatSystemFacts(const SystemFacts& facts) {
    SystemTexts texts;
    texts.processor = facts.processor;
    texts.version = facts.versionKnown ? Format("%d.%d", facts.major, facts.minor) : NotAvailable();
    texts.swap = facts.swapKnown ? KilobyteText(double(facts.swapFreeBytes) / 1024.0) : NotAvailable();
    texts.currentDirectory = facts.currentDirectory.empty() ? NotAvailable() : facts.currentDirectory;
    texts.cachePath = facts.cachePath;
    texts.totalSpace = facts.diskKnown ? KilobyteText(double(facts.totalBytes) / 1024.0) : NotAvailable();
    texts.freeSpace = facts.diskKnown ? KilobyteText(double(facts.freeBytes) / 1024.0) : NotAvailable();
    return texts;
}

}  // namespace info
