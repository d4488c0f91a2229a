#include "display/frame_caption.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace display {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}
}  // namespace

std::string FileNameOfPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string BaseNameForPath(const std::string& path, UntitledCounter& untitled) {
    if (path.empty()) {
        char text[32];
        std::snprintf(text, sizeof text, "UNTITLED -%2d", untitled.Next());
        return Lower(text);
    }
    return FileNameOfPath(path);
}

std::string CaptionFor(const std::string& baseName, int zoom, bool minimised) {
    std::string text = baseName;
    if (!minimised) {
        char suffix[32];
        if (zoom < 1)
            std::snprintf(suffix, sizeof suffix, " [1/%-d]", -zoom);
        else
            std::snprintf(suffix, sizeof suffix, " [x%-d]", zoom);
        text += suffix;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace display
