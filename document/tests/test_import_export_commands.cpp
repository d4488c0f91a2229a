// The window-free halves of Open, Save As and Import: what the dialogs start
// with and what "OpenDir" and "OpenExt" of section "Init" remember.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document/import_export_commands.h"
#include "document/import_export_formats.h"
#include "document/tests/test_import_export_support.h"
#include "picture/picture.h"
#include "platform/imflib/imflib.h"
#include "platform/profile.h"
#include "base/message_box.h"

namespace {

// BMP readable and writable, PCX read-only, JPG write-only, GIF both.
int FakeLibrary(std::uint8_t* block) {
    const struct {
        const char* ext;
        int read, write;
    } formats[] = {{"BMP", 1, 1}, {"PCX", 1, 0}, {"JPG", 0, 1}, {"GIF", 1, 1}};
    int i = 0;
    for (const auto& f : formats) {
        std::uint8_t* r = block + 52 * i++;
        std::strcpy(reinterpret_cast<char*>(r), f.ext);
        std::memcpy(r + 8, &f.read, 4);
        std::memcpy(r + 12, &f.write, 4);
        std::strcpy(reinterpret_cast<char*>(r + 24), f.ext);
    }
    return i;
}

class OpenSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.empty());
        platform::SetProfilePath(dir_ + "/test.ini");
        Formats().SetCapsSource(FakeLibrary);
        ASSERT_TRUE(Formats().LoadFormats());
        char cwd[PATH_MAX];
        ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
        cwd_ = cwd;
    }
    void TearDown() override {
        Formats().SetCapsSource(nullptr);
        Formats().LoadFormats();
        platform::SetProfilePath("");
    }
    file_test::TempFolder folder_{"cmd"};
    std::string dir_ = folder_.Path();
    std::string cwd_;
};

TEST_F(OpenSaveTest, OpenStartsFromTheRememberedFormat) {
    OpenDialogSetup setup;
    // Nothing remembered: every readable format, for Open and Import alike.
    ASSERT_TRUE(PrepareOpenDialog(setup, OpenDialogKind::Import));
    EXPECT_EQ(setup.filterPosition, 4);
    ASSERT_TRUE(PrepareOpenDialog(setup));
    EXPECT_EQ(setup.format, 4);
    EXPECT_EQ(setup.fileName, "*.BMP;*.PCX;*.GIF");
    EXPECT_EQ(setup.filterPosition, 4);
    EXPECT_EQ(setup.filter, "BMP(*.BMP)|*.BMP|PCX(*.PCX)|*.PCX|GIF(*.GIF)|*.GIF|"
                            "All Formats(*.*)|*.BMP;*.PCX;*.GIF||");
    EXPECT_EQ(setup.initialDirectory, cwd_);

    platform::WriteProfileInt("Init", "OpenExt", 3);
    ASSERT_TRUE(PrepareOpenDialog(setup));
    EXPECT_EQ(setup.fileName, "*.GIF");
    EXPECT_EQ(setup.filterPosition, 3);

    // A format that cannot be read: all patterns; Open selects "All Formats",
    // the import the dialog's first filter.
    platform::WriteProfileInt("Init", "OpenExt", 2);
    ASSERT_TRUE(PrepareOpenDialog(setup));
    EXPECT_EQ(setup.fileName, "*.BMP;*.PCX;*.GIF");
    EXPECT_EQ(setup.filterPosition, 4);
    ASSERT_TRUE(PrepareOpenDialog(setup, OpenDialogKind::Import));
    EXPECT_EQ(setup.fileName, "*.BMP;*.PCX;*.GIF");
    EXPECT_EQ(setup.filterPosition, 0);

    // Out of range either way: "All Formats", the last filter.
    for (int remembered : {4, 40, -1}) {
        platform::WriteProfileInt("Init", "OpenExt", remembered);
        for (auto kind : {OpenDialogKind::Open, OpenDialogKind::Import}) {
            ASSERT_TRUE(PrepareOpenDialog(setup, kind));
            EXPECT_EQ(setup.format, 4);
            EXPECT_EQ(setup.fileName, "*.BMP;*.PCX;*.GIF");
            EXPECT_EQ(setup.filterPosition, 4);
        }
    }
}

TEST_F(OpenSaveTest, ChoiceIsRememberedAndAMissingDirectoryIgnored) {
    RememberOpenChoice(dir_ + "/picture.gif", 3);
    EXPECT_EQ(platform::GetProfileString("Init", "OpenDir", ""), dir_);
    EXPECT_EQ(platform::GetProfileInt("Init", "OpenExt", -9), 3);
    EXPECT_EQ(InitialDirectory(), dir_);

    // "All Formats" (the position after the readable ones) stores the count.
    RememberOpenChoice(dir_ + "/picture.pcx", 4);
    EXPECT_EQ(platform::GetProfileInt("Init", "OpenExt", -9), 4);

    platform::WriteProfileString("Init", "OpenDir", dir_ + "/gone");
    EXPECT_EQ(InitialDirectory(), cwd_);
    OpenDialogSetup setup;
    ASSERT_TRUE(PrepareOpenDialog(setup));
    EXPECT_EQ(setup.initialDirectory, cwd_);
}

TEST_F(OpenSaveTest, SaveAsChoosesAWritableFormat) {
    SaveDialogSetup setup;
    // The document's own writable extension.
    ASSERT_TRUE(PrepareSaveDialog("/home/u/scans/page one.gif", setup));
    EXPECT_EQ(setup.format, 3);
    EXPECT_EQ(setup.filterPosition, 3);
    EXPECT_EQ(setup.defaultName, "page one");
    EXPECT_EQ(setup.defaultExtension, "gif");
    EXPECT_EQ(setup.filter, "BMP(*.BMP)|*.BMP|JPG(*.JPG)|*.JPG|GIF(*.GIF)|*.GIF|||");

    // Read-only or unknown extension: the first writable format.
    ASSERT_TRUE(PrepareSaveDialog("/x/old.pcx", setup));
    EXPECT_EQ(setup.format, 0);
    ASSERT_TRUE(PrepareSaveDialog("/x/old.xyz", setup));
    EXPECT_EQ(setup.format, 0);

    // No extension: the remembered format when writable.
    platform::WriteProfileInt("Init", "OpenExt", 2);
    ASSERT_TRUE(PrepareSaveDialog("Untitled", setup));
    EXPECT_EQ(setup.format, 2);
    EXPECT_EQ(setup.defaultName, "Untitled");
    EXPECT_EQ(setup.defaultExtension, "");
    platform::WriteProfileInt("Init", "OpenExt", 1);
    ASSERT_TRUE(PrepareSaveDialog("Untitled", setup));
    EXPECT_EQ(setup.format, 0);
}

TEST_F(OpenSaveTest, SaveDialogFileNames) {
    // Write positions: 0 BMP, 1 JPG, 2 GIF.
    EXPECT_EQ(FileNameForType("scan.bmp", 1), "scan.JPG");
    EXPECT_EQ(FileNameForType("my.scan.bmp", 2), "my.scan.GIF");
    EXPECT_EQ(FileNameForType("scan", 1), "scan");
    // A dot in a typed directory is not the name's.
    EXPECT_EQ(FileNameForType("/my.photos/scan", 1), "/my.photos/scan");
    EXPECT_EQ(FileNameForType("/my.photos/scan.bmp", 1), "/my.photos/scan.JPG");
    EXPECT_EQ(FileNameOnAccept("scan", 2), "scan.GIF");
    EXPECT_EQ(FileNameOnAccept("scan.bmp", 2), "scan.bmp");
    EXPECT_EQ(FileNameOnAccept("/dir.d/scan", 0), "/dir.d/scan.BMP");

    // Save turns into Save As without a writable extension.
    EXPECT_TRUE(CanSaveInPlace("/a/b.jpg"));
    EXPECT_FALSE(CanSaveInPlace("/a/b.pcx"));
    EXPECT_FALSE(CanSaveInPlace("/a.d/b"));
}

TEST_F(OpenSaveTest, ImportRemembersOnlyWhatWasRead) {
    SetMessageSink([](const std::string&) {});
    EXPECT_EQ(ImportChosenFile(dir_ + "/missing.gif", 3), nullptr);
    SetMessageSink(nullptr);
    EXPECT_EQ(platform::GetProfileString("Init", "OpenDir", "none"), "none");
    EXPECT_EQ(platform::GetProfileInt("Init", "OpenExt", -9), -9);

    CPicture picture;
    ASSERT_TRUE(picture.Create(ptGray256, 5, 4, 0, nullptr, 0, 0, kStoreAny));
    std::string path = dir_ + "/scan.bmp";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(picture.WriteBmp(f));
    std::fclose(f);
    std::unique_ptr<CPicture> read(ImportChosenFile(path, 2));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(platform::GetProfileString("Init", "OpenDir", "none"), dir_);
    EXPECT_EQ(platform::GetProfileInt("Init", "OpenExt", -9), 1);  // read position 1: PCX
    std::remove(path.c_str());
}

TEST_F(OpenSaveTest, SaveAsHonoursTheOptionDialogAndRemembersTheDirectory) {
    CPicture picture;
    ASSERT_TRUE(picture.Create(ptGray256, 5, 4, 0, nullptr, 0, 0, kStoreAny));
    std::string path = dir_ + "/saved.bmp";
    SetSaveOptionDialog([](const char*, SaveOptions*, void*) { return 2; });
    EXPECT_EQ(SaveAsToPath(path, &picture, nullptr), kSaveAsCancelled);
    struct stat st {};
    EXPECT_NE(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(platform::GetProfileString("Init", "OpenDir", "none"), "none");

    SetSaveOptionDialog([](const char*, SaveOptions*, void*) { return 1; });
    EXPECT_EQ(SaveAsToPath(path, &picture, nullptr), kSaveAsWritten);
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(platform::GetProfileString("Init", "OpenDir", "none"), dir_);
    SetSaveOptionDialog(nullptr);
    std::remove(path.c_str());
}

}  // namespace
