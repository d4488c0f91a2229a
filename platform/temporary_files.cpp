// Swap files and save temporaries: locked while they live, removed on a
// fatal signal, and removed by the next start when a process was killed.
#include "platform/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
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

// The owned files in fixed records: a signal handler may only touch memory
// that is already there. A record is free; busy while its thread fills or
// empties it (a signal handler waits for it, as its file may be about to
// exist); armed while its file lives; or gone once a signal handler removed
// the file. Process-wide on purpose: the signal handlers read it.
enum : int { kFree = 0, kBusy = 1, kArmed = 2, kGone = 3 };
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the signal handler needs lock-free records");

struct Record {
    std::atomic<int> state{kFree};
    // The file the record was made for: the handler removes nothing else.
    dev_t device = 0;
    ino_t inode = 0;
    char path[PATH_MAX] = {};
    char link[PATH_MAX] = {};
};

constexpr int kRecords = 256;

struct OwnedFiles {
    Record records[kRecords];
    // Set by the first signal that ends the process: nothing more is made.
    std::atomic<bool> ending{false};
    // Numbers the links to save temporaries.
    std::atomic<unsigned> linkNumber{0};
};
OwnedFiles g_owned;

// How long a signal that ends the process waits, at most, for records other
// threads are filling: rounds of a millisecond.
constexpr int kBusyWaitRounds = 2000;

constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGPIPE, SIGALRM,
                                  SIGUSR1, SIGUSR2, SIGXFSZ, SIGXCPU, SIGVTALRM, SIGPROF};

// Removes the file of an armed record, when its path still names it.
void RemoveFile(const Record& record) {
    struct stat named {};
    if (::stat(record.path, &named) == 0 && named.st_dev == record.device && named.st_ino == record.inode)
        ::unlink(record.path);
    if (record.link[0] != '\0') ::unlink(record.link);
}

// Async-signal-safe: atomics, stat, unlink and nanosleep only.
void RemoveAll() {
    g_owned.ending.store(true);
    for (int round = 0; round < kBusyWaitRounds; ++round) {
        bool busy = false;
        for (Record& record : g_owned.records) {
            int state = record.state.load();
            if (state == kArmed && record.state.compare_exchange_strong(state, kGone)) {
                RemoveFile(record);
                continue;
            }
            if (state == kBusy) busy = true;
        }
        if (!busy) return;
        const struct timespec millisecond {0, 1000000};
        ::nanosleep(&millisecond, nullptr);
    }
}

// Holds back the signals that end the process on this thread while it
// fills or empties a record: the handler, which waits for busy records,
// then never runs on the thread it would wait for.
class EndingSignalsHeld {
public:
    EndingSignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : kEndingSignals) sigaddset(&set, sig);
        ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~EndingSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

private:
    sigset_t previous_;
};

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

constexpr int kRefused = -2;

// A free record, now busy; -1 when every record is in use; kRefused once a
// signal is ending the process. The ending mark is read after the record is
// taken, so either the handler sees the record busy or this sees the mark.
int TakeRecord() {
    // Checked first as well: a refused maker never makes a record busy, not
    // even for a moment, once the handler waits for busy records.
    if (g_owned.ending.load()) return kRefused;
    for (int i = 0; i < kRecords; ++i) {
        int state = kFree;
        if (!g_owned.records[i].state.compare_exchange_strong(state, kBusy)) continue;
        if (!g_owned.ending.load()) return i;
        g_owned.records[i].state.store(kFree);
        return kRefused;
    }
    return g_owned.ending.load() ? kRefused : -1;
}

// Fills busy record i for the file path open as fd; false when it cannot
// be recorded.
bool FillRecord(int i, const std::string& path, int fd, bool outsideTempDirectory) {
    Record& record = g_owned.records[i];
    const std::string absolute = Absolute(path);
    struct stat made {};
    if (absolute.size() >= PATH_MAX || ::fstat(fd, &made) != 0) return false;
    std::memcpy(record.path, absolute.c_str(), absolute.size() + 1);
    record.device = made.st_dev;
    record.inode = made.st_ino;
    record.link[0] = '\0';
    if (!outsideTempDirectory) return true;
    const std::string stem = TempDirectory() + "/" + kLinkPrefix + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string link = stem + std::to_string(g_owned.linkNumber.fetch_add(1));
        if (link.size() >= PATH_MAX) break;
        if (::symlink(absolute.c_str(), link.c_str()) == 0) {
            std::memcpy(record.link, link.c_str(), link.size() + 1);
            break;
        }
        if (errno != EEXIST) break;
    }
    return true;
}

}  // namespace

int MakeTemporary(std::string& path, bool outsideTempDirectory, int& handle,
                  const std::function<int(std::string& path)>& make) {
    handle = -1;
    RemoveTemporariesOnSignals();
    EndingSignalsHeld held;
    const int record = TakeRecord();
    if (record == kRefused) {
        errno = ECANCELED;
        return -1;
    }
    const int fd = make(path);
    if (fd < 0) {
        const int error = errno;
        if (record >= 0) g_owned.records[record].state.store(kFree);
        errno = error;
        return -1;
    }
    if (record >= 0 && FillRecord(record, path, fd, outsideTempDirectory)) {
        g_owned.records[record].state.store(kArmed);
        handle = record;
    } else if (record >= 0) {
        g_owned.records[record].state.store(kFree);
    }
    if (handle < 0 && g_owned.ending.load()) {
        // Unrecorded, and the process is ending: not left behind.
        ::unlink(path.c_str());
        ::close(fd);
        errno = ECANCELED;
        return -1;
    }
    // Locked once recorded: a file that another process sees locked is one
    // that a signal ending this process removes.
    ::flock(fd, LOCK_EX | LOCK_NB);
    return fd;
}

void ForgetTemporary(int handle) {
    if (handle < 0 || handle >= kRecords) return;
    Record& record = g_owned.records[handle];
    EndingSignalsHeld held;
    int state = kArmed;
    if (!record.state.compare_exchange_strong(state, kBusy)) return;  // removed by a signal handler
    if (record.link[0] != '\0') ::unlink(record.link);
    record.link[0] = '\0';
    record.state.store(kFree);
}

void RemoveTemporariesOnSignals() {
    // Once, whichever thread comes first; the others wait until it is done.
    static const bool installed = [] {
        for (int sig : kEndingSignals) {
            struct sigaction old {};
            if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
            struct sigaction action {};
            action.sa_handler = OnEndingSignal;
            // A second ending signal waits while the first removes the files.
            sigemptyset(&action.sa_mask);
            for (int other : kEndingSignals) sigaddset(&action.sa_mask, other);
            ::sigaction(sig, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
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
