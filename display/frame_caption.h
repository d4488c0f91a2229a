// The document window's caption: the base name of the document (as the
// file is named, untitled documents counted) and the zoom after it.
#pragma once
#include <string>

namespace display {

// Numbers the untitled documents of a workspace: 1, 2, ... in the order
// their windows are named.
class UntitledCounter {
public:
    int Next() { return next_++; }

private:
    int next_ = 1;
};

// The file name of a path: the part after the last '/', its case kept (file
// names on this system are case-sensitive).
std::string FileNameOfPath(const std::string& path);
// The base name a window shows for a path: its file name; an empty path
// gives "untitled - N" with the next number of untitled.
std::string BaseNameForPath(const std::string& path, UntitledCounter& untitled);
// "name [x2]", "name [1/4]"; the base name alone for a minimised window.
std::string CaptionFor(const std::string& baseName, int zoom, bool minimised);

}  // namespace display
