// Memory status, free disk space and the process's directories on Linux.
#include "platform/system.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <mutex>

#include "platform/profile.h"

namespace platform {

namespace {

// The settings file is read again only when its path or the file changes.
struct ProfileStamp {
    std::string path;
    bool exists = false;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const ProfileStamp&) const = default;
};
// The memory budget of the picture stores and what they hold resident. One
// per process, as the memory is; asked from any thread, hence the lock.
struct MemoryBudgetState {
    std::mutex lock;
    std::uint64_t explicitBytes = 0;  // from SetMemoryBudget; 0: none
    // The setting's value and the state of the file it was read from.
    ProfileStamp stamp;
    std::uint64_t fromProfile = 0;
    bool profileRead = false;
    std::atomic<std::int64_t> residentBytes{0};
};

MemoryBudgetState& Budget() {
    static MemoryBudgetState budget;
    return budget;
}

ProfileStamp StampOf(const std::string& path) {
    ProfileStamp stamp;
    stamp.path = path;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        stamp.exists = true;
        stamp.inode = info.st_ino;
        stamp.size = info.st_size;
        stamp.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                           info.st_mtim.tv_nsec;
    }
    return stamp;
}

// MemAvailable of /proc/meminfo in bytes; false when it cannot be read.
bool ReadMemAvailable(std::uint64_t& bytes) {
    std::FILE* file = std::fopen("/proc/meminfo", "re");
    if (!file) return false;
    char line[256];
    bool found = false;
    while (std::fgets(line, sizeof line, file)) {
        unsigned long long kib = 0;
        if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) {
            bytes = static_cast<std::uint64_t>(kib) * 1024u;
            found = true;
            break;
        }
    }
    std::fclose(file);
    return found;
}

}  // namespace

bool ParseByteCount(const std::string& text, std::uint64_t& bytes) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i == text.size() || text[i] < '0' || text[i] > '9') return false;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return false;
        value = value * 10 + digit;
    }
    unsigned shift = 0;
    if (i < text.size()) {
        switch (text[i]) {
        case 'k': case 'K': shift = 10; ++i; break;
        case 'm': case 'M': shift = 20; ++i; break;
        case 'g': case 'G': shift = 30; ++i; break;
        default: break;
        }
    }
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i != text.size()) return false;
    if (shift && value > (std::numeric_limits<std::uint64_t>::max() >> shift)) return false;
    bytes = value << shift;
    return true;
}

std::uint64_t AvailableMemory() {
    std::uint64_t available = 0;
    if (!ReadMemAvailable(available)) {
        struct sysinfo info {};
        if (sysinfo(&info) == 0)
            available = (static_cast<std::uint64_t>(info.freeram) + info.bufferram) * info.mem_unit;
    }
    const std::uint64_t budget = MemoryBudget();
    if (budget != 0) {
        const std::uint64_t resident = ResidentBytes();
        const std::uint64_t left = budget > resident ? budget - resident : 0;
        if (left < available) available = left;
    }
    return available;
}

void SetMemoryBudget(std::uint64_t bytes) {
    std::lock_guard<std::mutex> guard(Budget().lock);
    Budget().explicitBytes = bytes;
}

std::uint64_t MemoryBudget() {
    MemoryBudgetState& budget = Budget();
    std::lock_guard<std::mutex> guard(budget.lock);
    if (budget.explicitBytes != 0) return budget.explicitBytes;
    if (const char* env = std::getenv("STITCHARA_MEMORY_LIMIT"); env && *env) {
        std::uint64_t bytes = 0;
        if (ParseByteCount(env, bytes)) return bytes;
    }
    ProfileStamp stamp = StampOf(ProfilePath());
    if (!budget.profileRead || !(stamp == budget.stamp)) {
        budget.stamp = std::move(stamp);
        budget.profileRead = true;
        budget.fromProfile = 0;
        std::uint64_t bytes = 0;
        if (ParseByteCount(GetProfileString("MainWindow", "MemoryLimit", ""), bytes))
            budget.fromProfile = bytes;
    }
    return budget.fromProfile;
}

void AddResidentBytes(std::int64_t delta) { Budget().residentBytes.fetch_add(delta, std::memory_order_relaxed); }

std::uint64_t ResidentBytes() {
    const std::int64_t bytes = Budget().residentBytes.load(std::memory_order_relaxed);
    return bytes > 0 ? static_cast<std::uint64_t>(bytes) : 0;
}

std::uint64_t FreeDiskBytes(const std::string& path) {
    struct statvfs info {};
    if (statvfs(path.c_str(), &info) != 0) return 0;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

bool DiskSpace(const std::string& path, std::uint64_t& totalBytes, std::uint64_t& freeBytes) {
    struct statvfs info {};
    if (path.empty() || statvfs(path.c_str(), &info) != 0) return false;
    totalBytes = static_cast<std::uint64_t>(info.f_blocks) * info.f_frsize;
    freeBytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
    return true;
}

std::string SystemErrorText(int error) {
    switch (error) {
    case ENOSPC: return "no space left on the device";
    case EDQUOT: return "the disk quota is used up";
    case EFBIG: return "the file would be larger than the file system allows";
    case EROFS: return "the file system is read-only";
    case EIO: return "the device reported an input/output error";
    case EACCES:
    case EPERM: return "permission denied";
    default: break;
    }
    std::string text = std::strerror(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && (text.size() < 2 || text[1] < 'A' || text[1] > 'Z'))
        text[0] = char(text[0] - 'A' + 'a');
    return text;
}

std::string TempDirectory() {
    std::string dir;
    if (const char* env = std::getenv("TMPDIR"); env && *env) dir = env;
    else dir = "/tmp";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

std::string ExecutableDirectory() {
    char buffer[PATH_MAX + 1];
    const ssize_t length = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (length <= 0) return ".";
    std::string path(buffer, static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::uint64_t MillisecondsSinceStart() {
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

}  // namespace platform
