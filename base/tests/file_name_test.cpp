// The one extension rule every layer uses.
#include <gtest/gtest.h>

#include "base/file_name.h"

TEST(FileName, OneExtensionRuleForEveryName) {
    struct Case {
        const char* path;
        const char* extension;
    };
    for (const Case& c : {Case{"scan.TIF", "TIF"}, Case{"a/b.c/scan.tar.gz", "gz"},
                          Case{"noext", ""}, Case{"/photos.2024/scan", ""}, Case{"trailing.", ""},
                          Case{".hidden", "hidden"}, Case{"", ""}})
        EXPECT_EQ(FileExtension(c.path), c.extension) << c.path;
    // A trailing dot is a dot of the name (a save dialog keeps the name as typed).
    EXPECT_EQ(ExtensionDotPosition("trailing."), 8u);
    EXPECT_EQ(ExtensionDotPosition("/photos.2024/scan"), std::string::npos);
    EXPECT_EQ(LowerFileExtension("Scan.JPEG"), "jpeg");
}
