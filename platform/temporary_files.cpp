// Swap files and save temporaries: locked while they live, removed on a
// fatal signal, and removed by the next start when a process was killed.
#include "platform/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/system.h"

namespace platform {

namespace {

// Swap files are "~tsvNNNN.tmp" (four or more hex digits); the links to
// save temporaries elsewhere are "~tsvsave-PID-N"; a save temporary itself
// is ".~NAME-XXXXXX.EXT" beside its target.
constexpr char kSwapPrefix[] = "~tsv";
constexpr char kSwapSuffix[] = ".tmp";
constexpr char kLinkPrefix[] = "~tsvsave-";
constexpr char kSaveTemporaryPrefix[] = ".~";

// The owned files in fixed slots: a signal handler may only touch memory
// that is already there. A slot is filled before it is marked used.
constexpr int kSlots = 256;
char g_paths[kSlots][PATH_MAX];
char g_links[kSlots][PATH_MAX];
volatile sig_atomic_t g_used[kSlots];

constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGPIPE, SIGALRM,
                                  SIGUSR1, SIGUSR2, SIGXFSZ, SIGXCPU, SIGVTALRM, SIGPROF};

void RemoveAll() {
    for (int i = 0; i < kSlots; ++i) {
        if (!g_used[i]) continue;
        ::unlink(g_paths[i]);
        if (g_links[i][0] != '\0') ::unlink(g_links[i]);
        g_used[i] = 0;
    }
}

extern "C" void OnEndingSignal(int sig) { EndBySignal(sig); }

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool IsSwapFileName(const char* name) {
    const std::size_t n = std::strlen(name), prefix = sizeof kSwapPrefix - 1, suffix = sizeof kSwapSuffix - 1;
    if (n < prefix + 4 + suffix || !StartsWith(name, kSwapPrefix) ||
        std::strcmp(name + n - suffix, kSwapSuffix) != 0)
        return false;
    for (std::size_t i = prefix; i < n - suffix; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

enum class Left { kRemoved, kAbsent, kKept };

// Removes path when it is a regular file of this user that nobody holds
// locked and that has not changed for a while.
Left RemoveIfLeft(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? Left::kAbsent : Left::kKept;
    Left result = Left::kKept;
    struct stat held {}, named {};
    const std::time_t now = std::time(nullptr);
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
        now - held.st_mtime >= kLeftTemporarySeconds && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        // Still the same file under that name, and no newer one in its place.
        ::stat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino &&
        ::unlink(path.c_str()) == 0)
        result = Left::kRemoved;
    ::close(fd);
    return result;
}

}  // namespace

std::string SwapFilePath(std::uint64_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%04x%s", kSwapPrefix, static_cast<unsigned>(number & 0xffffffffu),
                  kSwapSuffix);
    return TempDirectory() + "/" + name;
}

namespace {

// Records path for removal on a fatal signal; its slot, or -1.
int Record(const std::string& path, bool outsideTempDirectory) {
    RemoveTemporariesOnSignals();
    const std::string absolute = Absolute(path);
    if (absolute.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (g_used[i]) continue;
        std::memcpy(g_paths[i], absolute.c_str(), absolute.size() + 1);
        g_links[i][0] = '\0';
        if (outsideTempDirectory) {
            static unsigned counter = 0;
            const std::string stem = TempDirectory() + "/" + kLinkPrefix + std::to_string(::getpid()) + "-";
            for (int attempt = 0; attempt < 100; ++attempt) {
                const std::string link = stem + std::to_string(counter++);
                if (link.size() >= PATH_MAX) break;
                if (::symlink(absolute.c_str(), link.c_str()) == 0) {
                    std::memcpy(g_links[i], link.c_str(), link.size() + 1);
                    break;
                }
                if (errno != EEXIST) break;
            }
        }
        g_used[i] = 1;
        return i;
    }
    return -1;
}

}  // namespace

int OwnTemporary(const std::string& path, int fd, bool outsideTempDirectory) {
    // Recorded before it is locked: a file that another process sees locked
    // is one that a signal ending this process removes.
    const int handle = Record(path, outsideTempDirectory);
    if (fd >= 0) ::flock(fd, LOCK_EX | LOCK_NB);
    return handle;
}

void ForgetTemporary(int handle) {
    if (handle < 0 || handle >= kSlots || !g_used[handle]) return;
    g_used[handle] = 0;
    if (g_links[handle][0] != '\0') ::unlink(g_links[handle]);
    g_links[handle][0] = '\0';
}

void RemoveTemporariesOnSignals() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int sig : kEndingSignals) {
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
        struct sigaction action {};
        action.sa_handler = OnEndingSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(sig, &action, nullptr);
    }
}

void EndBySignal(int sig) {
    RemoveAll();
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(sig, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(sig);
    // A signal whose default is to go on: end all the same.
    ::_exit(128 + sig);
}

int RemoveLeftTemporaries() {
    const std::string directory = TempDirectory();
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string path = directory + "/" + entry->d_name;
        if (IsSwapFileName(entry->d_name)) {
            if (RemoveIfLeft(path) == Left::kRemoved) ++removed;
            continue;
        }
        if (!StartsWith(entry->d_name, kLinkPrefix)) continue;
        struct stat link {};
        if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) || link.st_uid != ::geteuid()) continue;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0) continue;
        target[n] = '\0';
        const char* slash = std::strrchr(target, '/');
        Left left = Left::kAbsent;
        // Only ever a save temporary, whatever the link names.
        if (target[0] == '/' && slash && StartsWith(slash + 1, kSaveTemporaryPrefix)) left = RemoveIfLeft(target);
        if (left == Left::kRemoved) ++removed;
        if (left != Left::kKept) ::unlink(path.c_str());
    }
    ::closedir(dir);
    return removed;
}

}  // namespace platform
