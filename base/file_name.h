// The extension of a file name, one rule for every layer: the text after the
// last '.' of the name's last component (after the last '/'). A name without
// a dot has none (""), as has a name ending in '.'; a dot in a directory name
// never counts ("/photos.2024/scan" has none).
#pragma once
#include <cstddef>
#include <string>

// Position of the dot that starts the extension; npos when there is none.
std::size_t ExtensionDotPosition(const std::string& path);
// The extension as written; "" when there is none.
std::string FileExtension(const std::string& path);
// The extension in ASCII lower case, for comparisons.
std::string LowerFileExtension(const std::string& path);
