// Image files in and out: the only way pictures come from and go to image
// files. Reading and writing go through the image-file library, show their
// progress ("Loading Image", "Saving Image") through the Progress given, or
// the calling thread's current one when none is given, and stop when the
// user presses Escape or the Progress is cancelled: the status then says
// kCancelled.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "document/import_export_formats.h"

class CPicture;
class DibRowSource;
class Progress;

// Why reading or writing an image file failed, for front ends that show it
// their own way (the message the operation shows goes to the message sink
// as before).
enum class FileFailure {
    kNone,
    kCancelled,    // the user pressed Escape or the Progress was cancelled
    kNoSuchFile,
    kNotAFile,     // no extension to tell the format, a directory, a pipe, ...
    kOutOfMemory,  // the picture could not be created
    kFormat,       // no writer for the extension
    kLibrary,      // the image-file library or the file system refused
};
struct FileStatus {
    FileFailure failure = FileFailure::kNone;
    // In plain words ("" when nothing more is known): the library's reason,
    // the system's reason for a file that could not be made, "cancelled".
    std::string reason;
    explicit operator bool() const { return failure == FileFailure::kNone; }
};

// Reads the file into a new picture; none on failure, with the reason in
// status when given. A missing file shows "The file %s does not exist."; a file the
// library cannot read, a picture that cannot be created ("There is not enough memory.") or
// a read stopped with Escape gives none. Everything allocated is released
// on failure.
std::unique_ptr<CPicture> ReadImageFile(const std::string& path, bool showProgress,
                                        FileStatus* status = nullptr, Progress* progress = nullptr);

// What an image file's header says of its picture, read without its pixels:
// the type, size, resolution and bit count the picture would have once read
// (ReadImageFile), and the palette's length (0 above 8 bits).
struct ImageFileInfo {
    int type = 0;
    int width = 0, height = 0;
    int xDpi = 0, yDpi = 0;
    int bits = 0;
    int colours = 0;
};

// Fills info from the file's header only: fast whatever the picture's size,
// and blind to damage in the pixel data (a truncated file answers as a whole
// one; ReadImageFile finds it). False, with the reason in status when given,
// when the file or its header cannot be read. Shows "The file %s does not exist." for
// a missing file, as ReadImageFile does.
bool ReadImageFileInfo(const std::string& path, ImageFileInfo& info, FileStatus* status = nullptr);

// Writes the picture in the format the path's extension names. The file is
// written beside the target first and moved into place only when complete,
// so a failed or cancelled write leaves the old file as it was. Failure
// shows "Failed to save document." and gives the reason in status.
int WriteImageFile(const std::string& path, CPicture* picture, FileStatus* status = nullptr,
                   Progress* progress = nullptr);

// As ReadImageFileInfo, and gives the first row of the picture the header
// describes, as a picture of one row (its width, type, colour table and
// resolution as ReadImageFile makes them; its pixels not read): the shape
// for WriteImageFileRows and a colour conversion's model when the rows
// come from elsewhere. None on failure.
std::unique_ptr<CPicture> ReadImageFileShape(const std::string& path, ImageFileInfo& info,
                                             FileStatus* status = nullptr);

// Writes a picture that is never held whole: shaped as shape (type, colour
// table, resolution) at width x height, its rows made by rows as the writer
// asks for them. Otherwise as WriteImageFile.
int WriteImageFileRows(const std::string& path, const CPicture& shape, int width, int height,
                       DibRowSource& rows, FileStatus* status = nullptr, Progress* progress = nullptr);

// The library's progress callback: begins, steps and ends the progress
// display; answers 1 (stop) when the user pressed Escape.
std::int32_t FileProgressCallback(std::int32_t first, std::int32_t last, std::int32_t current);
