// The settings file. Lines are kept as they were read; only the line of the
// key being written changes, or new lines are added. Section and key names
// match without regard to case.
#include "platform/profile.h"

#include "platform/safe_file.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace platform {

namespace {

std::string g_pathOverride;

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return ".";
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r'))
        --end;
    return text.substr(begin, end - begin);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// A section header's name, or false when the line is no header.
bool SectionName(const std::string& line, std::string& name) {
    const std::string text = Trim(line);
    if (text.size() < 2 || text.front() != '[') return false;
    const std::size_t close = text.find(']');
    if (close == std::string::npos) return false;
    name = Trim(text.substr(1, close - 1));
    return true;
}

// The key and value of a "key=value" line; false for comments and others.
bool KeyValue(const std::string& line, std::string& key, std::string& value) {
    const std::string text = Trim(line);
    if (text.empty() || text.front() == ';' || text.front() == '#' || text.front() == '[')
        return false;
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) return false;
    key = Trim(text.substr(0, equals));
    value = Trim(text.substr(equals + 1));
    return !key.empty();
}

// Settings files are small; anything else at the path (a device, a
// directory, a huge file) reads as no settings and is never replaced.
constexpr off_t kLargestProfile = 4 << 20;

bool UsableFile(const std::string& path, bool& exists) {
    struct stat info {};
    exists = stat(path.c_str(), &info) == 0;
    return !exists || (S_ISREG(info.st_mode) && info.st_size <= kLargestProfile);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    bool exists = false;
    if (!UsableFile(path, exists) || !exists) return lines;
    std::ifstream in(path, std::ios::binary);
    if (!in) return lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    if (!lines.empty() && lines.front().compare(0, 3, "\xEF\xBB\xBF") == 0)
        lines.front().erase(0, 3);
    return lines;
}

// Where a key lives in the lines: the index of its line, or of the section
// header when the key is missing, or neither.
struct Location {
    long section = -1;
    long key = -1;
    long lastEntry = -1;  // last non-blank line of the section
};

Location Find(const std::vector<std::string>& lines, const std::string& section,
              const std::string& key) {
    Location where;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (SectionName(lines[i], name)) {
            if (where.section >= 0 && inSection) inSection = false;
            if (where.section < 0 && SameName(name, section)) {
                where.section = static_cast<long>(i);
                where.lastEntry = static_cast<long>(i);
                inSection = true;
            }
            continue;
        }
        if (!inSection) continue;
        if (!Trim(lines[i]).empty()) where.lastEntry = static_cast<long>(i);
        std::string k, v;
        if (where.key < 0 && KeyValue(lines[i], k, v) && SameName(k, key))
            where.key = static_cast<long>(i);
    }
    return where;
}

// Creates every missing directory on the way to the file.
bool MakeParentDirectories(const std::string& path) {
    std::size_t slash = path.find('/', 1);
    while (slash != std::string::npos) {
        const std::string dir = path.substr(0, slash);
        if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
        slash = path.find('/', slash + 1);
    }
    return true;
}

// Rewrites the file whole; a failed write leaves the old file as it was.
bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    if (!MakeParentDirectories(path)) return false;
    return WriteStreamSafely(path, [&](std::FILE* file) {
        for (const std::string& line : lines) {
            if (std::fwrite(line.data(), 1, line.size(), file) != line.size()) return 0;
            if (std::fputc('\n', file) == EOF) return 0;
        }
        return 1;
    }) != 0;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

std::string ProfilePath() {
    if (!g_pathOverride.empty()) return g_pathOverride;
    if (const char* ini = std::getenv("STITCHARA_INI"); ini && *ini) return ini;
    std::string dir;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        dir = config;
    else
        dir = HomeDirectory() + "/.config";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir + "/stitchara.ini";
}

void SetProfilePath(const std::string& path) { g_pathOverride = path; }

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue) {
    const std::vector<std::string> lines = ReadLines(ProfilePath());
    const Location where = Find(lines, section, key);
    if (where.key < 0) return defaultValue;
    std::string k, value;
    KeyValue(lines[static_cast<std::size_t>(where.key)], k, value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

int GetProfileInt(const std::string& section, const std::string& key, int defaultValue) {
    const std::string text = GetProfileString(section, key, "");
    if (text.empty()) return defaultValue;
    std::size_t i = 0;
    bool negative = false;
    if (text[i] == '-' || text[i] == '+') negative = text[i++] == '-';
    if (i == text.size() || text[i] < '0' || text[i] > '9') return defaultValue;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL) value = 2147483648LL;  // saturate
    }
    if (negative) value = -value;
    if (value > 2147483647LL) value = 2147483647LL;
    return static_cast<int>(value);
}

int WriteProfileString(const std::string& section, const std::string& key,
                       const std::string& value) {
    // Names and values must not break the line structure of the file.
    const std::string name = Trim(section);
    const std::string keyName = Trim(key);
    if (name.empty() || keyName.empty() || HasLineBreak(section) || HasLineBreak(key) ||
        HasLineBreak(value) || name.find(']') != std::string::npos ||
        keyName.find('=') != std::string::npos || keyName.front() == '[' ||
        keyName.front() == ';' || keyName.front() == '#')
        return 0;

    const std::string path = ProfilePath();
    bool exists = false;
    if (!UsableFile(path, exists)) return 0;
    std::vector<std::string> lines = ReadLines(path);
    const Location where = Find(lines, name, keyName);
    const std::string entry = keyName + "=" + value;
    if (where.key >= 0) {
        lines[static_cast<std::size_t>(where.key)] = entry;
    } else if (where.section >= 0) {
        lines.insert(lines.begin() + where.lastEntry + 1, entry);
    } else {
        if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
        lines.push_back("[" + name + "]");
        lines.push_back(entry);
    }
    return WriteLines(path, lines) ? 1 : 0;
}

int WriteProfileInt(const std::string& section, const std::string& key, int value) {
    return WriteProfileString(section, key, std::to_string(value));
}

}  // namespace platform
