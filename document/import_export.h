// Image files in and out: the only way pictures come from and go to image
// files. Reading and writing go through the image-file library, show their
// progress through the progress display and stop when the user presses
// Escape. Callers set the caption first (5149 "Loading Image", 5150 "Saving
// Image").
#pragma once
#include <cstdint>
#include <string>

#include "document/import_export_formats.h"

class CPicture;

// Reads the file into a new picture owned by the caller; none on failure.
// A missing file shows "File %s not exist"; a file the library cannot read,
// a picture that cannot be created ("Out of memory") or a read stopped with
// Escape gives none. Everything allocated is released on failure.
CPicture* ReadImageFile(const std::string& path, bool showProgress);

// Writes the picture in the format the path's extension names. The file is
// written beside the target first and moved into place only when complete,
// so a failed or cancelled write leaves the old file as it was. Failure
// shows "Failed to save document.".
int WriteImageFile(const std::string& path, CPicture* picture);

// Whether the last ReadImageFile or WriteImageFile stopped because the user
// pressed Escape.
bool FileOperationCancelled();

// The library's progress callback: begins, steps and ends the progress
// display; answers 1 (stop) when the user pressed Escape.
std::int32_t FileProgressCallback(std::int32_t first, std::int32_t last, std::int32_t current);
