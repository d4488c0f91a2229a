// The format table over a scripted library: filter texts, patterns and the
// mapping between table indexes and dialog positions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "document/import_export_formats.h"
#include "base/message_box.h"

namespace {

struct FakeFormat {
    const char* extension;
    bool read;
    bool write;
    const char* description;
};

// A caps source answering the given records, as the library fills its block.
FormatTable::CapsSource Library(std::vector<FakeFormat> formats, int claimed = -1) {
    return [formats, claimed](std::uint8_t* block) {
        for (std::size_t i = 0; i < formats.size() && i < 25; ++i) {
            std::uint8_t* r = block + i * 52;
            std::strncpy(reinterpret_cast<char*>(r), formats[i].extension, 7);
            std::int32_t read = formats[i].read, write = formats[i].write;
            std::memcpy(r + 8, &read, 4);
            std::memcpy(r + 12, &write, 4);
            std::strncpy(reinterpret_cast<char*>(r + 24), formats[i].description, 27);
        }
        return claimed >= 0 ? claimed : int(formats.size());
    };
}

// Records the messages shown while it lives.
struct MessageRecorder {
    std::vector<std::string> texts;
    MessageRecorder() {
        SetMessageSink([this](const std::string& t) { texts.push_back(t); });
    }
    ~MessageRecorder() { SetMessageSink(nullptr); }
};

// BMP and PCX readable, JPG write-only, then GIF readable and writable.
std::vector<FakeFormat> Mixed() {
    return {{"BMP", true, true, "D1"},
            {"PCX", true, false, "D2"},
            {"JPG", false, true, "D3"},
            {"GIF", true, true, "D4"}};
}

FormatTable Loaded(std::vector<FakeFormat> formats) {
    FormatTable table;
    table.SetCapsSource(Library(std::move(formats)));
    EXPECT_TRUE(table.LoadFormats());
    return table;
}

TEST(FormatTable, ReadPositionsMapBackToTableIndexes) {
    FormatTable table = Loaded(Mixed());
    EXPECT_EQ(table.ReadCount(), 3);
    EXPECT_EQ(table.WriteCount(), 3);
    EXPECT_EQ(table.FormatAtReadPosition(2), 3);
    // The position after the last readable one, or any out of range: all formats.
    for (int position : {3, -1, 99}) EXPECT_EQ(table.FormatAtReadPosition(position), 4);
    EXPECT_EQ(table.WriteExtensionAt(1), "JPG");
    EXPECT_EQ(table.WriteFilterPosition(1), -1);
}

TEST(FormatTable, ReadFilterWithAndWithoutAllFormats) {
    FormatTable table;
    table.SetCapsSource(Library({{"BMP", true, true, "D1"}, {"PCX", true, false, "D2"}}));
    ASSERT_TRUE(table.LoadFormats());
    std::string filter;
    ASSERT_TRUE(table.BuildReadFilter(filter, true));
    EXPECT_EQ(filter, "D1(*.BMP)|*.BMP|D2(*.PCX)|*.PCX|All Formats(*.*)|*.BMP;*.PCX||");
    ASSERT_TRUE(table.BuildReadFilter(filter, false));
    EXPECT_EQ(filter, "D1(*.BMP)|*.BMP|D2(*.PCX)|*.PCX||");
}

TEST(FormatTable, WriteFilterAndShortExtensions) {
    FormatTable table = Loaded({{"BMP", true, true, "Bitmap"},
                                {"GZ", false, true, "Short"},
                                {"J", true, false, "One"}});
    std::string filter;
    ASSERT_TRUE(table.BuildWriteFilter(filter));
    EXPECT_EQ(filter, "Bitmap(*.BMP)|*.BMP|Short(*.GZ)|*.GZ|||");
    ASSERT_TRUE(table.BuildReadFilter(filter, true));
    EXPECT_EQ(filter, "Bitmap(*.BMP)|*.BMP|One(*.J)|*.J|All Formats(*.*)|*.BMP;*.J||");
}

TEST(FormatTable, FilterBufferIsNeverOverrun) {
    std::vector<FakeFormat> many;
    static char names[25][4];
    for (int i = 0; i < 25; ++i) {
        std::snprintf(names[i], sizeof names[i], "X%02d", i);
        many.push_back({names[i], true, true, "A description 27 chars long"});
    }
    FormatTable table = Loaded(many);
    std::string full;
    ASSERT_TRUE(table.BuildReadFilter(full, true));
    ASSERT_GT(full.size(), FormatTable::kFilterBufferBytes);
    EXPECT_EQ(full.substr(full.size() - 7), "*.X24||");

    // The callers' 1024 bytes: the builder fails and stays inside the buffer.
    std::vector<char> buffer(FormatTable::kFilterBufferBytes + 64, '#');
    EXPECT_FALSE(table.BuildReadFilter(buffer.data(), FormatTable::kFilterBufferBytes, true));
    EXPECT_EQ(buffer[0], '\0');
    for (std::size_t i = FormatTable::kFilterBufferBytes; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], '#') << "written past the buffer at " << i;
    EXPECT_FALSE(table.BuildWriteFilter(buffer.data(), 1));

    // Room enough: the same text as the string form.
    std::vector<char> big(full.size() + 1);
    ASSERT_TRUE(table.BuildReadFilter(big.data(), big.size(), true));
    EXPECT_EQ(std::string(big.data()), full);
}

TEST(FormatTable, OpenPatternAndPreselectedPosition) {
    FormatTable table = Loaded(Mixed());
    std::string pattern;
    // A readable format: its own pattern, its own position.
    EXPECT_EQ(table.BuildOpenPattern(3, pattern), 3);
    EXPECT_EQ(pattern, "*.GIF");
    EXPECT_EQ(table.ReadFilterPosition(3) + 1, 3);
    // A format that cannot be read: all readable extensions, but the filter
    // position is 0 and the dialog falls back to its first filter.
    EXPECT_EQ(table.BuildOpenPattern(2, pattern), 4);
    EXPECT_EQ(pattern, "*.BMP;*.PCX;*.GIF");
    EXPECT_EQ(table.ReadFilterPosition(2) + 1, 0);
    // Count, beyond or negative: "All Formats", the last filter.
    for (int index : {4, 17, -3}) {
        EXPECT_EQ(table.BuildOpenPattern(index, pattern), 4);
        EXPECT_EQ(pattern, "*.BMP;*.PCX;*.GIF");
        EXPECT_EQ(table.ReadFilterPosition(index) + 1, 4);
    }
}

TEST(FormatTable, ExtensionLookups) {
    FormatTable table = Loaded(Mixed());
    EXPECT_EQ(table.FindFormat("Gif"), 3);
    EXPECT_EQ(table.FindFormat(""), -1);
    EXPECT_TRUE(table.CanWriteExtension("JPEG"));
    EXPECT_EQ(table.FindFormat("tiff"), -1);  // no TIF in this table
    EXPECT_FALSE(table.CanWriteExtension("pcx"));

    EXPECT_EQ(FormatTable::ExtensionOf("scan.tar.gz"), "gz");
    EXPECT_EQ(FormatTable::ExtensionOf("/photos.2024/scan"), "");
    EXPECT_EQ(FormatTable::ExtensionOf("trailing."), "");
}

TEST(FormatTable, UnusableLibraryLeavesAnEmptyTable) {
    MessageRecorder messages;
    FormatTable table;
    table.SetCapsSource(Library({}, 0));
    EXPECT_FALSE(table.LoadFormats());
    EXPECT_EQ(table.Count(), 0);
    EXPECT_EQ(table.FirstWritable(), -1);
    std::string filter = "stale";
    EXPECT_FALSE(table.BuildReadFilter(filter, true));
    ASSERT_EQ(messages.texts.size(), 2u);
    EXPECT_EQ(messages.texts[0], "The image file library could not be loaded.");

    // A table left empty by start-up lists nothing even when the library
    // answers later: only the closing bars.
    table.SetCapsSource(Library(Mixed()));
    ASSERT_TRUE(table.BuildWriteFilter(filter));
    EXPECT_EQ(filter, "||");
}

TEST(FormatTable, LibraryClaimingMoreThanTheBlockHoldsIsCut) {
    FormatTable table;
    table.SetCapsSource(Library(Mixed(), 400));
    ASSERT_TRUE(table.LoadFormats());
    EXPECT_EQ(table.Count(), FormatTable::kMaxFormats);
    std::string filter;
    ASSERT_TRUE(table.BuildReadFilter(filter, false));
    EXPECT_EQ(filter, "D1(*.BMP)|*.BMP|D2(*.PCX)|*.PCX|D4(*.GIF)|*.GIF||");
}

}  // namespace
