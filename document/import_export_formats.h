// The table of file formats the image-file library offers, and what is built
// from it: the filter texts of the open and save dialogs, the initial file
// name pattern, and the mapping between table indexes and dialog filter
// positions. One table per process (Formats()).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/file_name.h"

class CGlobalBlock;

// One format as the table keeps it: the first 24 bytes of the library's
// record, then its positions in the read and write lists (-1: not there).
struct FormatEntry {
    char extension[8] = {};
    std::int32_t readable = 0;
    std::int32_t writable = 0;
    std::uint8_t reserved[8] = {};
    std::int32_t readPos = -1;
    std::int32_t writePos = -1;
};
static_assert(sizeof(FormatEntry) == 32);

class FormatTable {
public:
    static constexpr int kMaxFormats = 25;
    static constexpr std::size_t kCapsRecordBytes = 52;
    static constexpr std::size_t kCapsBlockBytes = 1300;
    // Callers' filter buffer size.
    static constexpr std::size_t kFilterBufferBytes = 1024;

    // Where the format records come from: fills a kCapsBlockBytes block and
    // returns the number of records (0: the library is unusable). By default
    // the image-file library; tests give their own.
    using CapsSource = std::function<int(std::uint8_t* block)>;
    void SetCapsSource(CapsSource source);

    // Fills the table. Failure ("There is not enough memory.", "The image file library could not be loaded."
    // shown) leaves it empty.
    int LoadFormats();
    // Whether LoadFormats has run, successfully or not.
    bool HasLoaded() const { return loaded_; }

    // Filter texts: label|pattern| pairs closed by one more '|'. The string
    // forms have no limit; the buffer forms never write more than size bytes
    // (terminator included) and fail with an empty text when the filter does
    // not fit.
    int BuildReadFilter(std::string& filter, bool withAll);
    int BuildWriteFilter(std::string& filter);
    int BuildReadFilter(char* buffer, std::size_t size, bool withAll);
    int BuildWriteFilter(char* buffer, std::size_t size);

    // The format to preselect for the remembered index, and the initial file
    // name pattern ("*.EXT", or every readable "*.EXT" joined by ';').
    int BuildOpenPattern(int index, std::string& pattern) const;
    // Dialog filter positions count from 0 here; callers add 1.
    int ReadFilterPosition(int index) const;
    int FormatAtReadPosition(int position) const;
    int WriteFilterPosition(int index) const;
    std::string WriteExtensionAt(int position) const;

    // The library's descriptions of the formats, in table order (asked
    // again, as the table keeps none). 0 when the library is unusable.
    int QueryDescriptions(std::vector<std::string>& descriptions);

    // First index whose extension equals the text ignoring case; the long
    // spellings "jpeg" and "tiff" find JPG and TIF. -1 when none.
    int FindFormat(const std::string& extension) const;
    bool IsWritable(int index) const;
    bool IsReadable(int index) const;
    bool CanWriteExtension(const std::string& extension) const;
    int FirstWritable() const;
    std::string ExtensionAt(int index) const;
    // The path's extension and the position of its dot, by the one rule of
    // base/file_name.h.
    static std::string ExtensionOf(const std::string& path) { return FileExtension(path); }
    static std::size_t NameDotPosition(const std::string& path) {
        return ExtensionDotPosition(path);
    }

    int Count() const { return count; }
    int ReadCount() const { return readCount; }
    int WriteCount() const { return writeCount; }
    const FormatEntry& Entry(int index) const { return entries[index]; }

private:
    // Allocates the caps block and asks the source again; the record count,
    // clamped to the table, or -1 after the failure message ("Out of
    // memory.", "The image file library could not be loaded.").
    int QueryCaps(CGlobalBlock& block, std::uint8_t*& bytes);
    int BuildFilter(std::string& filter, bool reading, bool withAll);
    void Clear();

    FormatEntry entries[kMaxFormats];
    std::int32_t readList[kMaxFormats + 1] = {};
    std::int32_t writeList[kMaxFormats] = {};
    std::int16_t count = 0;
    std::int16_t readCount = 0;
    std::int16_t writeCount = 0;
    bool loaded_ = false;
    CapsSource source_;
};

// Every extension files of the format with this table extension carry, in
// lower case, the table's own first ("JPG": jpg, jpeg, jpe, jfif); open
// dialogs list them all, in both cases.
std::vector<std::string> ExtensionSpellings(const std::string& tableExtension);

// The process's format table, loaded on first use when start-up has not
// loaded it.
FormatTable& Formats();
