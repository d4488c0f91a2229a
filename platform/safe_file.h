// Safe replacement of a file: the new contents go to a temporary file beside
// the target, and only a complete, flushed temporary is moved over the
// target. A failed or cancelled write (full disk, error, Escape) leaves the
// old file untouched and removes the temporary, also when a signal ends the
// process while the temporary exists (unless the program handles that signal
// itself); a temporary left by a process killed outright is removed by the
// next start (platform/temporary_files.h).
//
// Typical use with a writer that takes a path (the image-file library):
//
//     platform::SafeFile out(path);
//     if (!out.Open()) return 0;
//     if (!WriteSomething(out.TempPath())) return 0;   // destructor removes the temp
//     return out.Commit();
//
// or with a stdio stream:
//
//     platform::WriteStreamSafely(path, [&](std::FILE* f) { return picture->WriteBmp(f); });
#pragma once
#include <cstdio>
#include <functional>
#include <string>

namespace platform {

class SafeFile {
public:
    explicit SafeFile(std::string target);
    // Removes the temporary unless Commit succeeded.
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Creates the temporary in the target's directory. Its name keeps the
    // target's extension, so writers that choose the format by extension
    // still do. Non-zero on success; 0 also when the target is a read-only
    // file, which a rename would otherwise replace.
    int Open();
    // Path of the temporary (empty before Open).
    const std::string& TempPath() const { return tempPath_; }
    // The final path: the target, or the file a symbolic link names.
    const std::string& TargetPath() const { return target_; }
    // A stdio stream on the temporary, opened on first use ("wb"); none on
    // failure. Commit flushes and closes it and checks every error.
    std::FILE* Stream();

    // Flushes and closes the temporary, checking every error, and moves it
    // over the target (no fsync: a write's cost stays that of the data; the
    // rename still replaces the old file whole or not at all). The new
    // file gets the old file's permission bits, or the usual ones for a new
    // file. An empty temporary counts as a failed write. On any failure the
    // temporary is removed and 0 returned.
    int Commit();
    // Drops the temporary; the target stays as it was.
    void Abandon();

private:
    std::string target_;
    std::string tempPath_;
    int fd_ = -1;
    std::FILE* stream_ = nullptr;
    bool committed_ = false;
    int pendingSlot_ = -1;
};

// Whether path is an existing regular file that must not be replaced: it has
// no write permission bit, or the process may not write it.
bool IsReadOnlyFile(const std::string& path);

// Runs writer on the temporary's path and commits when it returns non-zero.
// Non-zero when the target now holds the new contents.
int WriteFileSafely(const std::string& target,
                    const std::function<int(const std::string& tempPath)>& writer);
// The same with a stdio stream open for binary writing.
int WriteStreamSafely(const std::string& target, const std::function<int(std::FILE*)>& writer);

}  // namespace platform
