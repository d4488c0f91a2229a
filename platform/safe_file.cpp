// Safe replacement of a file through a temporary beside it.
#include "platform/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/temporary_files.h"

namespace platform {

namespace {

// Longest stem kept in the temporary's name, so that the name stays far below
// the file system's limit of 255 bytes whatever the target is called.
constexpr std::size_t kMaxStem = 120;
constexpr std::size_t kMaxSuffix = 32;

std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return path;  // a dangling link is replaced like a file
    std::string resolved = real;
    std::free(real);
    return resolved;
}

}  // namespace

bool IsReadOnlyFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

namespace {

mode_t NewFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mode_t(0666) & ~mask;
}

}  // namespace

SafeFile::SafeFile(std::string target) : target_(ResolveLink(target)) {}

SafeFile::~SafeFile() {
    if (!committed_) Abandon();
}

int SafeFile::Open() {
    if (fd_ >= 0 || stream_ || committed_ || target_.empty()) return 0;
    if (IsReadOnlyFile(target_)) {
        errno = EACCES;
        return 0;
    }
    std::size_t slash = target_.rfind('/');
    std::string directory = slash == std::string::npos ? "." : target_.substr(0, slash);
    if (directory.empty()) directory.push_back('/');  // the root directory
    std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (name.empty()) return 0;  // the target names a directory

    std::string stem = name, suffix;
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        stem = name.substr(0, dot);
        suffix = name.substr(dot);
    }
    if (stem.size() > kMaxStem) stem.resize(kMaxStem);
    if (suffix.size() > kMaxSuffix) suffix.clear();  // no writer chooses by such an extension

    std::string pattern = directory;
    pattern.append("/.~").append(stem).append("-XXXXXX").append(suffix);
    // Locked while it lives, removed should a signal end the process, and
    // found by the next start should the process be killed outright.
    std::string made;
    const int fd = MakeTemporary(made, true, pendingSlot_, [&](std::string& path) {
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        const int result = ::mkstemps(buffer.data(), int(suffix.size()));
        path = buffer.data();
        return result;
    });
    if (fd < 0) return 0;
    tempPath_ = made;
    fd_ = fd;

    struct stat st {};
    mode_t mode = ::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? (st.st_mode & 07777)
                                                                            : NewFileMode();
    if (::fchmod(fd_, mode) != 0) {
        Abandon();
        return 0;
    }
    return 1;
}

std::FILE* SafeFile::Stream() {
    if (stream_) return stream_;
    if (fd_ < 0) return nullptr;
    stream_ = ::fdopen(fd_, "wb");
    return stream_;  // on success the stream owns the descriptor
}

int SafeFile::Commit() {
    if (committed_ || tempPath_.empty()) return 0;
    bool ok = true;
    if (stream_) {
        if (std::fflush(stream_) != 0 || std::ferror(stream_)) ok = false;
        if (std::fclose(stream_) != 0) ok = false;
        stream_ = nullptr;
        fd_ = -1;
    } else if (fd_ >= 0) {
        if (::close(fd_) != 0) ok = false;
        fd_ = -1;
    }
    // The writer may have written through its own descriptor; the result must
    // at least be a regular file with something in it.
    struct stat st {};
    if (ok && (::stat(tempPath_.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0))
        ok = false;
    if (ok && ::rename(tempPath_.c_str(), target_.c_str()) != 0) ok = false;
    if (!ok) {
        Abandon();
        return 0;
    }
    ForgetTemporary(pendingSlot_);
    pendingSlot_ = -1;
    tempPath_.clear();
    committed_ = true;
    return 1;
}

void SafeFile::Abandon() {
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
        fd_ = -1;
    } else if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
    ForgetTemporary(pendingSlot_);
    pendingSlot_ = -1;
}

int WriteFileSafely(const std::string& target,
                    const std::function<int(const std::string& tempPath)>& writer) {
    SafeFile file(target);
    if (!file.Open()) return 0;
    if (!writer(file.TempPath())) return 0;
    return file.Commit();
}

int WriteStreamSafely(const std::string& target, const std::function<int(std::FILE*)>& writer) {
    SafeFile file(target);
    if (!file.Open()) return 0;
    std::FILE* stream = file.Stream();
    if (!stream || !writer(stream)) return 0;
    return file.Commit();
}

}  // namespace platform
