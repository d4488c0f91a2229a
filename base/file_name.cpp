#include "base/file_name.h"

std::size_t ExtensionDotPosition(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) return dot;
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > dot) return std::string::npos;
    return dot;
}

std::string FileExtension(const std::string& path) {
    const std::size_t dot = ExtensionDotPosition(path);
    return dot == std::string::npos ? std::string() : path.substr(dot + 1);
}

std::string LowerFileExtension(const std::string& path) {
    std::string extension = FileExtension(path);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return extension;
}
