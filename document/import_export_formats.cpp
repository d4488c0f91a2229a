// The format table and the dialog texts built from it.
#include "document/import_export_formats.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>
#include <utility>

#include "resources/string_ids.h"
#include "picture/global_block.h"
#include "platform/imflib/imflib.h"
#include "resources/strings.h"
#include "base/message_box.h"

namespace {

// Offsets inside the library's 52-byte record.
constexpr std::size_t kExtensionBytes = 8;
constexpr std::size_t kDescriptionOffset = 24;
constexpr std::size_t kDescriptionBytes = 28;

std::string TextField(const void* field, std::size_t bytes) {
    const char* text = static_cast<const char*>(field);
    return std::string(text, strnlen(text, bytes));
}

int LibraryCaps(std::uint8_t* block) { return AllGetReadWriteCaps(nullptr, block); }

static_assert(sizeof(FormatCapsEntry) == FormatTable::kCapsRecordBytes);
static_assert(kFormatCapsBlockBytes == int(FormatTable::kCapsBlockBytes));

}  // namespace

void FormatTable::SetCapsSource(CapsSource source) { source_ = std::move(source); }

void FormatTable::Clear() {
    for (auto& e : entries) e = FormatEntry{};
    std::fill(std::begin(readList), std::end(readList), 0);
    std::fill(std::begin(writeList), std::end(writeList), 0);
    count = readCount = writeCount = 0;
}

int FormatTable::QueryCaps(CGlobalBlock& block, std::uint8_t*& bytes) {
    bytes = block.Allocate(kGlobalMoveable | kGlobalZeroInit, kCapsBlockBytes);
    if (!bytes) {
        ShowMessageById(IDS_OUT_OF_MEMORY);
        return -1;
    }
    int n = source_ ? source_(bytes) : LibraryCaps(bytes);
    if (n <= 0) {
        ShowMessageById(IDS_LOAD_IMFLIB_ERROR);
        return -1;
    }
    // The block has room for kMaxFormats records; a library claiming more is
    // taken at its first kMaxFormats.
    return std::min(n, kMaxFormats);
}

int FormatTable::LoadFormats() {
    loaded_ = true;
    Clear();
    CGlobalBlock block;
    std::uint8_t* bytes = nullptr;
    int n = QueryCaps(block, bytes);
    if (n < 0) return 0;
    count = std::int16_t(n);
    for (int i = 0; i < n; ++i) {
        FormatCapsEntry record;
        std::memcpy(&record, bytes + std::size_t(i) * kCapsRecordBytes, sizeof record);
        FormatEntry& e = entries[i];
        std::memcpy(e.extension, record.extension, kExtensionBytes);
        e.extension[kExtensionBytes - 1] = '\0';
        e.readable = record.canRead;
        e.writable = record.canWrite;
        std::memcpy(e.reserved, record.reserved, sizeof e.reserved);
        if (e.readable) {
            e.readPos = readCount;
            readList[readCount++] = i;
        } else {
            e.readPos = -1;
        }
        if (e.writable) {
            e.writePos = writeCount;
            writeList[writeCount++] = i;
        } else {
            e.writePos = -1;
        }
    }
    readList[readCount] = count;
    return 1;
}

int FormatTable::BuildFilter(std::string& filter, bool reading, bool withAll) {
    filter.clear();
    CGlobalBlock block;
    std::uint8_t* bytes = nullptr;
    int n = QueryCaps(block, bytes);
    if (n < 0) return 0;
    // The stored flags decide; a library now reporting more formats than the
    // table holds adds nothing.
    count = std::int16_t(std::min<int>(n, std::max<int>(count, 0)));
    std::string all;
    for (int i = 0; i < count; ++i) {
        const FormatEntry& e = entries[i];
        if (!(reading ? e.readable : e.writable)) continue;
        std::string extension = TextField(e.extension, kExtensionBytes);
        std::string description =
            TextField(bytes + std::size_t(i) * kCapsRecordBytes + kDescriptionOffset,
                      kDescriptionBytes);
        filter.append(description).append("(*.").append(extension).append(")|*.");
        filter.append(extension).append("|");
        all.append("*.").append(extension).append(";");
    }
    if (reading && withAll) {
        filter += LoadStringById(IDS_ALL_FORMATS);
        filter += "(*.*)|";
        if (all.empty()) all.push_back('|');  // no readable format: the pattern is empty
        all.back() = '|';
        filter += all;
    }
    filter += "|";
    if (!reading) filter += "|";
    return 1;
}

int FormatTable::BuildReadFilter(std::string& filter, bool withAll) {
    return BuildFilter(filter, true, withAll);
}

int FormatTable::BuildWriteFilter(std::string& filter) { return BuildFilter(filter, false, false); }

namespace {

int CopyFilter(int built, const std::string& filter, char* buffer, std::size_t size) {
    if (!buffer || size == 0) return 0;
    if (!built || filter.size() + 1 > size) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, filter.c_str(), filter.size() + 1);
    return 1;
}

}  // namespace

int FormatTable::BuildReadFilter(char* buffer, std::size_t size, bool withAll) {
    std::string filter;
    int built = BuildReadFilter(filter, withAll);
    return CopyFilter(built, filter, buffer, size);
}

int FormatTable::BuildWriteFilter(char* buffer, std::size_t size) {
    std::string filter;
    int built = BuildWriteFilter(filter);
    return CopyFilter(built, filter, buffer, size);
}

int FormatTable::QueryDescriptions(std::vector<std::string>& descriptions) {
    descriptions.clear();
    CGlobalBlock block;
    std::uint8_t* bytes = nullptr;
    int n = QueryCaps(block, bytes);
    if (n < 0) return 0;
    for (int i = 0; i < std::min<int>(n, count); ++i)
        descriptions.push_back(TextField(
            bytes + std::size_t(i) * kCapsRecordBytes + kDescriptionOffset, kDescriptionBytes));
    return 1;
}

bool FormatTable::IsReadable(int index) const {
    return index >= 0 && index < count && entries[index].readable != 0;
}

bool FormatTable::IsWritable(int index) const {
    return index >= 0 && index < count && entries[index].writable != 0;
}

int FormatTable::BuildOpenPattern(int index, std::string& pattern) const {
    pattern.clear();
    if (IsReadable(index)) {
        pattern.append("*.").append(ExtensionAt(index));
        return index;
    }
    for (int p = 0; p < readCount; ++p) {
        if (!pattern.empty()) pattern += ';';
        pattern.append("*.").append(ExtensionAt(readList[p]));
    }
    return count;
}

int FormatTable::ReadFilterPosition(int index) const {
    if (index >= 0 && index < count) return entries[index].readPos;
    return readCount;
}

int FormatTable::FormatAtReadPosition(int position) const {
    if (position < 0 || position > readCount) return count;
    return readList[position];
}

int FormatTable::WriteFilterPosition(int index) const {
    if (index < 0 || index >= count) return -1;
    return entries[index].writePos;
}

std::string FormatTable::WriteExtensionAt(int position) const {
    if (position < 0 || position >= writeCount) return "";
    return ExtensionAt(writeList[position]);
}

int FormatTable::FindFormat(const std::string& extension) const {
    if (extension.empty()) return -1;
    for (int i = 0; i < count; ++i)
        if (strcasecmp(ExtensionAt(i).c_str(), extension.c_str()) == 0) return i;
    // The long spellings users type for formats listed by their short extension.
    static const char* const kLongSpellings[][2] = {{"jpeg", "jpg"}, {"tiff", "tif"}};
    for (const auto& spelling : kLongSpellings)
        if (strcasecmp(extension.c_str(), spelling[0]) == 0) return FindFormat(spelling[1]);
    return -1;
}

bool FormatTable::CanWriteExtension(const std::string& extension) const {
    return IsWritable(FindFormat(extension));
}

int FormatTable::FirstWritable() const { return writeCount > 0 ? writeList[0] : -1; }

std::string FormatTable::ExtensionAt(int index) const {
    if (index < 0 || index >= count) return "";
    return TextField(entries[index].extension, kExtensionBytes);
}

std::vector<std::string> ExtensionSpellings(const std::string& tableExtension) {
    std::string own = tableExtension;
    for (char& c : own) c = char(std::tolower(static_cast<unsigned char>(c)));
    static const char* const kOthers[][4] = {
        {"bmp", "dib", nullptr, nullptr}, {"jpg", "jpeg", "jpe", "jfif"}, {"tif", "tiff", nullptr, nullptr},
        {"pbm", "pnm", nullptr, nullptr}, {"pgm", "pnm", nullptr, nullptr}, {"ppm", "pnm", nullptr, nullptr},
    };
    std::vector<std::string> spellings{own};
    for (const auto& row : kOthers)
        if (own == row[0])
            for (int i = 1; i < 4 && row[i]; ++i) spellings.push_back(row[i]);
    return spellings;
}

FormatTable& Formats() {
    static FormatTable table;
    if (!table.HasLoaded()) table.LoadFormats();
    return table;
}
