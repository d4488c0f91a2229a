// The document window's caption: the base name of the document (as the
// file is named, untitled documents counted) and the zoom after it.
#pragma once
#include <string>

namespace display {

// The base name of a path: the part after the last '/', its case kept (file
// names on this system are case-sensitive). An empty path gives "untitled - N" with the next number of the untitled
// counter (which then grows).
std::string BaseNameForPath(const std::string& path);
// Puts the untitled counter back to 1 (tests).
void ResetUntitledCounter();
// "name [x2]", "name [1/4]"; the base name alone for a minimised window.
std::string CaptionFor(const std::string& baseName, int zoom, bool minimised);

}  // namespace display
