// The string table, the command table and the dialog texts.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "resources/command_ids.h"
#include "resources/dialog_texts.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "resources/strings.h"

namespace {

TEST(StringTable, EveryEntryIsFoundAndAbsentIdsGiveEmptyText) {
    ASSERT_FALSE(AllStrings().empty());
    for (const StringEntry& e : AllStrings()) {
        EXPECT_TRUE(HasString(e.id)) << e.id;
        EXPECT_STREQ(LoadStringById(e.id), e.text) << e.id;
        EXPECT_NE(e.text[0], '\0') << e.id;
    }
    // Ids the system asks for that deliberately have no string.
    for (int id : {0, -1, 5043, 5099, 33011, 33012, 99999}) {
        EXPECT_FALSE(HasString(id)) << id;
        EXPECT_STREQ(LoadStringById(id), "") << id;
    }
}

TEST(StringTable, TextsAsTheSystemShowsThem) {
    EXPECT_STREQ(LoadStringById(5098), "There is not enough memory.");
    EXPECT_STREQ(LoadStringById(IDS_COMMAND_FAILED), "Command failed.");
    EXPECT_STREQ(LoadStringById(5122), "Init");
    EXPECT_STREQ(LoadStringById(5188),
                 "The scanner driver could not be started. Please make sure that the scanner and "
                 "its driver are installed correctly.");
    // Picture type names are 5073 + type, in resource form.
    EXPECT_STREQ(LoadStringById(5073 + 0), "Black && White");
    EXPECT_STREQ(LoadStringById(5073 + 2), "Index 16  color");
    EXPECT_STREQ(LoadStringById(5073 + 8), "32 bit True Color");
    EXPECT_EQ(PlainText(LoadStringById(5073)), "Black & White");
    // Units are 5070 + unit.
    EXPECT_STREQ(LoadStringById(5070 + 2), "pixel");
    // The line break is a real one, not a backslash and an n.
    EXPECT_EQ(TextBeforeLineBreak(LoadStringById(32004)), "Stitch Images from the scanner or from files");
    EXPECT_EQ(TextAfterLineBreak(LoadStringById(32004)), "Stitch");
}

TEST(StringTable, IconBarToolTipsAreTheTextAfterTheLineBreak) {
    const std::pair<int, const char*> tips[] = {
        {ID_OPEN, "Open"},       {ID_SAVE, "Save"},         {ID_STITCH, "Stitch"},
        {ID_ACQUIRE, "Acquire"}, {ID_PRINT, "Print"},       {ID_QUICK_PRINT, "Quick Print"},
        {ID_INFORMATION, "Information"}, {ID_ABOUT, "About"}, {ID_IMPORT, "Import"},
    };
    for (const auto& [id, tip] : tips) EXPECT_EQ(TextAfterLineBreak(LoadStringById(id)), tip) << id;
    EXPECT_EQ(TextBeforeLineBreak(LoadStringById(ID_INFORMATION)), "System and Document Information");
}

TEST(StringTable, EveryPromptedMenuCommandHasAPromptAndATip) {
    for (const CommandEntry& c : AllCommands()) {
        if (!IsPromptCommand(c.id) || c.id >= ID_FILE_MRU_FIRST + 4) continue;
        std::string text = LoadStringById(c.id);
        EXPECT_FALSE(TextBeforeLineBreak(text).empty()) << c.name;
        EXPECT_FALSE(TextAfterLineBreak(text).empty()) << c.name;
    }
}

TEST(StringTable, FormattingNeverTruncates) {
    std::string path(5000, 'p');
    path += "/name.bmp";
    std::string message = FormatStringById(IDS_FILE_NOT_EXIST, path.c_str());
    EXPECT_EQ(message, "The file " + path + " does not exist.");
    EXPECT_EQ(FormatStringById(IDS_POSITION_FORMAT, 12, -3), "X:12     Y:-3   ");
    // An id without a string formats to nothing.
    EXPECT_EQ(FormatStringById(5043, 1), "");
}

TEST(StringTable, LineBreakAndMnemonicHelpers) {
    EXPECT_EQ(TextBeforeLineBreak("prompt\ntip"), "prompt");
    EXPECT_EQ(TextBeforeLineBreak("prompt\r\ntip"), "prompt");
    EXPECT_EQ(TextAfterLineBreak("prompt\r\ntip"), "tip");
    EXPECT_EQ(TextBeforeLineBreak("no break"), "no break");
    EXPECT_EQ(TextAfterLineBreak("no break"), "");
    EXPECT_EQ(TextAfterLineBreak("a\nb\nc"), "b\nc");

    EXPECT_EQ(PlainText("Stitc&h..."), "Stitch...");
    EXPECT_EQ(PlainText("&&&Add"), "&Add");
    EXPECT_EQ(PlainText("trailing&"), "trailing");
    EXPECT_EQ(PlainText(""), "");
}

TEST(CommandTable, LookupAndPromptRanges) {
    std::set<std::string> names;
    for (const CommandEntry& c : AllCommands()) {
        EXPECT_EQ(FindCommand(c.id), &c);
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
    }
    EXPECT_EQ(FindCommand(12345), nullptr);
    ASSERT_NE(FindCommand(32004), nullptr);
    EXPECT_STREQ(FindCommand(32004)->name, "ID_STITCH");
    EXPECT_STREQ(FindCommand(32008)->menuText, "Print Pre&view");

    // Zoom commands: n = id - 32028 times, 1 / (id - 32043).
    EXPECT_EQ(ID_ZOOM_16 - 32028, 16);
    EXPECT_EQ(ID_ZOOM_1_16 - 32043, 16);

    for (int id : {32000, 32089, 57616, 57631, 57665}) EXPECT_TRUE(IsPromptCommand(id)) << id;
    for (int id : {31999, 32090, 32797, 33011, 57615, 57632, 57664, 57670})
        EXPECT_FALSE(IsPromptCommand(id)) << id;
}

TEST(DialogTexts, SameControlIdInTwoDialogs) {
    EXPECT_STREQ(LoadControlText(IDD_STITCH_IMAGE_PAGE, 1057), "Deskew");
    EXPECT_STREQ(LoadControlText(IDD_DOCUMENT_INFO_PAGE, 1057), "Previous");
    EXPECT_STREQ(LoadControlText(IDD_ABORT_PRINTING, kDialogCaption), "Abort Printing");
    EXPECT_STREQ(LoadControlText(IDD_PRINTER_PAGE, kStaticLabel), "");
    EXPECT_STREQ(LoadControlText(IDD_PRINTER_PAGE, 4242), "");
    // A control with an id appears once in its dialog.
    std::set<std::pair<int, int>> seen;
    for (const ControlText& t : AllControlTexts())
        if (t.control != kStaticLabel) {
            EXPECT_TRUE(seen.insert({t.dialog, t.control}).second) << t.dialog << " " << t.control;
        }
}

}  // namespace
