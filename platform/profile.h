// The settings file: one INI file, stitchara.ini in $XDG_CONFIG_HOME (default
// ~/.config); STITCHARA_INI names another file. Read and write strings and
// integers by section and key, as the profile calls of the original platform.
#pragma once
#include <string>

namespace platform {

// Full path of the settings file in use.
std::string ProfilePath();
// Use another file from now on (tests); empty returns to the default.
void SetProfilePath(const std::string& path);

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue);
int GetProfileInt(const std::string& section, const std::string& key, int defaultValue);
// Write a value; the file is rewritten whole, through a temporary file beside it.
// Returns non-zero on success.
int WriteProfileString(const std::string& section, const std::string& key,
                       const std::string& value);
int WriteProfileInt(const std::string& section, const std::string& key, int value);

}  // namespace platform
