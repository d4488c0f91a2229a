// Pictures in and out of files for the stitchara-cli commands.
#include "shell/cli/cli_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <thread>
#include <vector>
#include <initializer_list>
#include <strings.h>

#include "document/document.h"
#include "document/import_export.h"
#include "document/import_export_commands.h"
#include "picture/picture.h"
#include "platform/imflib/imflib.h"
#include "platform/safe_file.h"
#include "platform/system.h"
#include "resources/string_ids.h"
#include "shell/cli/cli.h"
#include "base/message_box.h"
#include "base/progress.h"
#include "shell/terminal_progress.h"

namespace cli {

namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::string Reason(const FileStatus& status) {
    return status.reason.empty() ? std::string() : ": " + status.reason;
}


bool ExtensionIsOneOf(const std::string& path, std::initializer_list<const char*> extensions) {
    const std::string extension = FormatTable::ExtensionOf(path);
    for (const char* e : extensions)
        if (strcasecmp(extension.c_str(), e) == 0) return true;
    return false;
}

bool IsTiffPath(const std::string& path) { return ExtensionIsOneOf(path, {"tif", "tiff"}); }

// The writers' options given on the command line (TakeSaveOptions), checked
// against the output's format and the picture's type before any work.
struct GivenSaveOptions {
    std::string quality, compression;  // as given; empty when absent
};
GivenSaveOptions g_given;

// Shows nothing while it lives: the tool prints one line of its own, with
// the reason, in place of the core's message box text.
class QuietMessages {
public:
    QuietMessages() { SetMessageSink([](const std::string&) {}); }
    ~QuietMessages() { UseToolMessages(); }
};

}  // namespace

void UseToolMessages() {
    SetMessageSink([](const std::string& text) { Fail(text); });
}

namespace {

// Whether path names a readable file with an extension; prints the reason
// when not.
bool CheckInputPath(const std::string& path) {
    UseToolMessages();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        Fail("cannot read " + Quoted(path) + ": " + std::strerror(errno));
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        Fail("cannot read " + Quoted(path) + ": it is a directory");
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        Fail("cannot read " + Quoted(path) + ": it is not a regular file");
        return false;
    }
    if (::access(path.c_str(), R_OK) != 0) {
        Fail("cannot read " + Quoted(path) + ": " + std::strerror(errno));
        return false;
    }
    if (FormatTable::ExtensionOf(path).empty()) {
        Fail("cannot read " + Quoted(path) + ": the file name has no extension");
        return false;
    }
    return true;
}

}  // namespace

bool ReadPictureInfo(const std::string& path, ImageFileInfo& info) {
    if (!CheckInputPath(path)) return false;
    FileStatus status;
    if (ReadImageFileInfo(path, info, &status)) return true;
    Fail("cannot read " + Quoted(path) + Reason(status));
    return false;
}

std::unique_ptr<ImageRowFile> OpenFileRows(const std::string& in, const std::string& out, int direction) {
    if (FormatTable::ExtensionOf(in).empty() || ::access(in.c_str(), R_OK) != 0) return nullptr;
    std::unique_ptr<ImageRowFile> rows = OpenImageRows(in.c_str());
    if (!rows || rows->Order() == 0) return rows;
    return rows->Order() == direction * WriterRowOrder(out.c_str()) ? std::move(rows) : nullptr;
}

std::unique_ptr<CPicture> LoadShapeFor(const std::string& in, const std::string& out, const std::string& remedy) {
    if (!CheckOutputPath(out) || !CheckInputPath(in)) return nullptr;
    ImageFileInfo info;
    FileStatus status;
    std::unique_ptr<CPicture> shape = ReadImageFileShape(in, info, &status);
    if (!shape) {
        Fail("cannot read " + Quoted(in) + Reason(status));
        return nullptr;
    }
    if (!CheckOutputTakes(out, shape->GetType(), remedy)) return nullptr;
    return shape;
}

std::unique_ptr<CPicture> LoadPicture(const std::string& path) {
    if (!CheckInputPath(path)) return nullptr;
    SetProgressCaption(IDS_LOADING_IMAGE);
    FileStatus status;
    std::unique_ptr<CPicture> picture = ReadImageFile(path, true, &status);
    if (!picture) {
        if (status.failure == FileFailure::kCancelled)
            Fail("reading " + Quoted(path) + " was cancelled");
        else
            Fail("cannot read " + Quoted(path) + Reason(status));
        return nullptr;
    }
    return picture;
}

bool CheckOutputPath(const std::string& path) {
    UseToolMessages();
    std::string extension = FormatTable::ExtensionOf(path);
    if (extension.empty()) {
        Fail("cannot write " + Quoted(path) +
             ": the file name has no extension to choose the format");
        return false;
    }
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name == "." + extension) {
        Fail("cannot write " + Quoted(path) + ": the file name has nothing before its extension");
        return false;
    }

    if (!IsDocumentFilePath(path) && !Formats().CanWriteExtension(extension)) {
        Fail("cannot write " + Quoted(path) + ": no writable format has the extension '" +
             extension + "' (see stitchara-cli formats)");
        return false;
    }
    std::string directory = DirectoryOf(path);
    struct stat st {};
    if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        Fail("cannot write " + Quoted(path) + ": the directory " + Quoted(directory) +
             " does not exist");
        return false;
    }
    if (::access(directory.c_str(), W_OK) != 0) {
        Fail("cannot write " + Quoted(path) + ": " + std::strerror(errno));
        return false;
    }
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        Fail("cannot write " + Quoted(path) + ": it is a directory");
        return false;
    }
    if (platform::IsReadOnlyFile(path)) {
        Fail("cannot write " + Quoted(path) + ": the file is read-only");
        return false;
    }
    return true;
}

bool CheckOutputTakes(const std::string& path, int type, const std::string& remedy) {
    if (ExtensionIsOneOf(path, {"gif"}) && type != ptBlackWhite && type != ptColor16 && type != ptColor256 &&
        type != ptGray16 && type != ptGray256) {
        Fail("cannot write " + Quoted(path) + ": GIF holds pictures of at most 256 colours and this one is " +
             PictureTypeName(type) + "; " + remedy);
        return false;
    }
    if (IsTiffPath(path) && !g_given.compression.empty()) {
        const std::string& c = g_given.compression;
        const bool fax = strcasecmp(c.c_str(), "g3") == 0 || strcasecmp(c.c_str(), "g4") == 0;
        if (fax && type != ptBlackWhite) {
            Fail("--compression " + c + " is for black-and-white pictures and this one is " +
                 PictureTypeName(type) + " (convert it with --type bw, or choose lzw or deflate)");
            return false;
        }
        if (strcasecmp(c.c_str(), "jpeg") == 0 && type != ptTrueColor24 && type != ptGray256) {
            Fail(std::string("--compression jpeg is for true-colour and 256-gray pictures and this one is ") +
                 PictureTypeName(type) + " (choose lzw or deflate)");
            return false;
        }
    }
    return true;
}

std::unique_ptr<CPicture> LoadPictureFor(const std::string& in, const std::string& out) {
    if (!CheckOutputPath(out)) return nullptr;
    std::unique_ptr<CPicture> picture = LoadPicture(in);
    if (picture &&
        !CheckOutputTakes(out, picture->GetType(), "convert it first with stitchara-cli convert --type color256"))
        picture.reset();
    return picture;
}

namespace {

// The checks and messages around a write of a picture of type to path;
// write does it (WriteImageFile or WriteImageFileRows), its rows read from
// the file from names when it names one.
bool Save(const std::string& path, int type, const std::function<int(FileStatus&)>& write,
          const RowsFrom& from = {}) {
    if (!CheckOutputPath(path)) return false;
    if (!CheckOutputTakes(path, type, "write another format, or convert with --type color256"))
        return false;
    // Ctrl-C during work that could not stop halfway: the result is not kept.
    if (TerminalProgressHost::Interrupted()) {
        Fail("interrupted; " + Quoted(path) + " was not written");
        return false;
    }
    QuietMessages quiet;
    SetProgressCaption(IDS_SAVING_IMAGE);
    FileStatus status;
    if (write(status)) return true;
    const std::string unread = from.rows ? from.rows->Failure() : std::string();
    if (status.failure == FileFailure::kCancelled)
        Fail("writing " + Quoted(path) + " was cancelled; the file was left as it was");
    else if (!unread.empty())
        Fail("cannot read " + Quoted(from.path) + ": " + unread + "; " + Quoted(path) + " was not written");
    else
        Fail("cannot write " + Quoted(path) + Reason(status));
    return false;
}

}  // namespace

bool SavePicture(CPicture& picture, const std::string& path) {
    if (IsDocumentFilePath(path)) {
        if (!CheckOutputPath(path)) return false;
        if (TerminalProgressHost::Interrupted()) {
            Fail("interrupted; " + Quoted(path) + " was not written");
            return false;
        }
        QuietMessages quiet;
        FileStatus status;
        if (WriteDocumentFile(path, &picture, &status)) return true;
        Fail("cannot write " + Quoted(path) + Reason(status));
        return false;
    }
    return Save(path, picture.GetType(),
                [&](FileStatus& status) { return WriteImageFile(path, &picture, &status); });
}

namespace {

// Makes the rows a writer will ask for on a second thread while the writer
// encodes and writes the ones before: rows in the direction the first
// request shows (from the top when it asks for row 0, else from the
// bottom), a ring of them ahead. A request out of that order restarts the
// making there. The row function runs on the making thread only, one row at
// a time, so it needs no locking of its own. A side that has to wait sleeps
// until half a ring can be made or taken, not a row at a time: two threads
// waking each other for every row spend more than a small row takes.
class RowsAhead final : public DibRowSource {
public:
    RowsAhead(const StoredRowFunction& row, int height, std::uint64_t rowBytes, int ring)
        : row_(row), height_(height), rowBytes_(rowBytes), slots_(std::max(ring, 1)),
          batch_(std::max(slots_ / 2, 1)), ring_(std::size_t(slots_) * std::size_t(rowBytes)),
          ok_(std::size_t(slots_), false), thread_([this] { Make(); }) {}
    ~RowsAhead() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        room_.notify_all();
        thread_.join();
    }

    bool StoredRow(int y, std::uint8_t* bytes) override {
        const std::uint8_t* row = HeldRow(y);
        if (row) std::memcpy(bytes, row, std::size_t(rowBytes_));
        return row != nullptr;
    }

    // The row's slot stays the writer's until its next call.
    const std::uint8_t* HeldRow(int y) override {
        std::unique_lock<std::mutex> lock(mutex_);
        if (held_) {  // the row of the last call is done with
            held_ = false;
            ++taken_;
            if (makerWants_ >= 0 && taken_ >= makerWants_) room_.notify_all();
        }
        if (start_ < 0 || y != start_ + step_ * int(taken_)) {
            // A new run of rows from y. From the top or bottom row the
            // direction is plain; elsewhere it is the last run's.
            step_ = y == 0 ? 1 : y == height_ - 1 ? -1 : step_;
            start_ = y;
            taken_ = made_ = 0;
            makerWants_ = -1;
            ++run_;
            room_.notify_all();
        }
        if (made_ <= taken_) {
            // The first row of a run at once: a writer may ask for one only.
            const long rows = step_ > 0 ? height_ - start_ : start_ + 1;  // in this run
            writerWants_ = std::min(taken_ + (taken_ == 0 ? 1 : batch_), rows);
            ready_.wait(lock, [&] { return made_ >= writerWants_; });
            writerWants_ = -1;
        }
        const std::size_t slot = std::size_t(taken_ % slots_);
        held_ = true;
        return ok_[slot] ? &ring_[slot * rowBytes_] : nullptr;
    }

private:
    void Make() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            room_.wait(lock, [&] { return stop_ || start_ >= 0; });
            if (stop_) return;
            const long run = run_;
            const int start = start_, step = step_;
            for (long k = 0;; ++k) {
                const int y = start + step * int(k);
                if (y < 0 || y >= height_) break;
                if (k >= taken_ + slots_) {  // the ring is full
                    makerWants_ = k - slots_ + batch_;
                    room_.wait(lock, [&] { return stop_ || run_ != run || taken_ >= makerWants_; });
                    makerWants_ = -1;
                }
                if (stop_) return;
                if (run_ != run) break;
                const std::size_t slot = std::size_t(k % slots_);
                lock.unlock();
                bool ok = false;
                try {
                    ok = row_(y, &ring_[slot * rowBytes_]);
                } catch (const std::bad_alloc&) {
                    ok = false;  // the writer fails on it
                }
                lock.lock();
                if (run_ != run) break;
                ok_[slot] = ok;
                made_ = k + 1;
                if (writerWants_ >= 0 && made_ >= writerWants_) ready_.notify_all();
            }
            // Wait for a new run (or the end).
            room_.wait(lock, [&] { return stop_ || run_ != run; });
            if (stop_) return;
        }
    }

    const StoredRowFunction& row_;
    const int height_;
    const std::uint64_t rowBytes_;
    const int slots_;  // rows the ring holds
    const int batch_;  // rows a waiting side waits for
    std::vector<std::uint8_t> ring_;
    std::vector<bool> ok_;  // whether the row in each slot was made
    std::mutex mutex_;
    std::condition_variable room_, ready_;  // the maker's and the writer's
    bool stop_ = false;
    bool held_ = false;  // the writer holds the slot of row taken_
    int start_ = -1, step_ = 1;
    // Rows of the run made and taken, and what a waiting side waits for
    // (-1: not waiting).
    long made_ = 0, taken_ = 0, run_ = 0;
    long makerWants_ = -1, writerWants_ = -1;
    std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace

bool SaveRows(const CPicture& shape, int width, int height, const StoredRowFunction& row,
              const std::string& path, int ahead, const RowsFrom& from) {
    struct Direct final : DibRowSource {
        const StoredRowFunction& row;
        explicit Direct(const StoredRowFunction& r) : row(r) {}
        bool StoredRow(int y, std::uint8_t* bytes) override { return row(y, bytes); }
    } direct(row);
    std::unique_ptr<RowsAhead> early;
    if (ahead > 0) {
        // At least about two megabytes of rows: a writer takes about one at a time.
        const std::uint64_t rowBytes = RowBytesFor(width, shape.GetHeader()->biBitCount);
        const int ring = int(std::min<std::uint64_t>(
            std::uint64_t(height), std::max<std::uint64_t>(std::uint64_t(ahead), (std::uint64_t(2) << 20) / rowBytes)));
        early = std::make_unique<RowsAhead>(row, height, rowBytes, ring);
    }
    DibRowSource& source = early ? static_cast<DibRowSource&>(*early) : direct;
    return Save(
        path, shape.GetType(),
        [&](FileStatus& status) { return WriteImageFileRows(path, shape, width, height, source, &status); },
        from);
}

bool IsSaveOption(const std::string& name) { return name == "quality" || name == "compression"; }

bool IsCommonOption(const std::string& name) { return name == "quiet" || name == "memory-limit"; }

int TakeSaveOptions(const Args& args) {
    SaveOptions& options = CurrentSaveOptions();
    g_given.quality = args.Get("quality");
    g_given.compression = args.Get("compression");
    if (args.Has("quality")) {
        std::string text = args.Get("quality");
        char* stop = nullptr;
        errno = 0;
        long quality = std::strtol(text.c_str(), &stop, 10);
        if (text.empty() || errno != 0 || *stop != '\0' || quality < 1 || quality > 100)
            return UsageError("--quality takes a number from 1 to 100");
        options.jpegQuality = int(quality);
    }
    if (args.Has("compression")) {
        static const struct {
            const char* name;
            int value;
        } kCompressions[] = {
            {"none", kTiffCompressionNone}, {"lzw", kTiffCompressionLzw},
            {"deflate", kTiffCompressionDeflate}, {"packbits", kTiffCompressionPackBits},
            {"jpeg", kTiffCompressionJpeg}, {"g3", kTiffCompressionG3},
            {"g4", kTiffCompressionG4},
        };
        std::string text = args.Get("compression");
        bool found = false;
        for (const auto& c : kCompressions) {
            if (strcasecmp(text.c_str(), c.name) == 0) {
                options.tiffCompression = c.value;
                found = true;
            }
        }
        if (!found)
            return UsageError("--compression takes none, lzw, deflate, packbits, jpeg, g3 or g4");
    }
    // Options the output's format would not use are a mistake worth saying.
    const std::string out = args.Has("output") ? args.Get("output")
                            : args.positional.size() >= 2 ? args.positional[1] : std::string();
    if (!out.empty() && !g_given.compression.empty() && !IsTiffPath(out))
        return UsageError("--compression is for TIFF files; " + Quoted(out) + " is not one");
    if (!out.empty() && !g_given.quality.empty() && !ExtensionIsOneOf(out, {"jpg", "jpeg", "jpe", "jfif"}) &&
        !(IsTiffPath(out) && strcasecmp(g_given.compression.c_str(), "jpeg") == 0))
        return UsageError("--quality is for JPEG files (and TIFF with --compression jpeg); " + Quoted(out) +
                          " is not one");
    return kExitOk;
}

}  // namespace cli
