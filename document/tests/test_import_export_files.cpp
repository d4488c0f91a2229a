// Reading and writing image files through the library: the glue around it
// (palette, messages, progress, Escape, the safe replacement of old files).
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "document/import_export.h"
#include "document/tests/test_import_export_support.h"
#include "picture/picture.h"
#include "base/message_box.h"
#include "base/progress.h"
#include "base/testing/test_progress_host.h"

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.empty());
        SetMessageSink([this](const std::string& text) { messages_.push_back(text); });
    }
    void TearDown() override { SetMessageSink(nullptr); }
    std::vector<std::string> Entries() const { return folder_.Entries(); }
    // A gray ramp picture whose pixel (x, y) is (x + 3y) & 255.
    static std::unique_ptr<CPicture> GrayRamp(int width, int height) {
        auto picture = std::make_unique<CPicture>();
        EXPECT_TRUE(picture->Create(ptGray256, width, height, 0, nullptr, DpiToPpm(300),
                                    DpiToPpm(150), kStoreAny));
        std::vector<std::uint8_t> row(static_cast<std::size_t>(width));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) row[std::size_t(x)] = std::uint8_t(x + 3 * y);
            picture->WriteRow(0, width - 1, y, row.data());
        }
        return picture;
    }
    file_test::TempFolder folder_{"files"};
    std::string dir_ = folder_.Path();
    std::vector<std::string> messages_;
};

TEST_F(FilesTest, RoundTripKeepsPixelsTypePaletteAndResolution) {
    auto picture = GrayRamp(37, 23);
    std::string path = dir_ + "/ramp.bmp";
    ASSERT_TRUE(WriteImageFile(path, picture.get()));
    std::unique_ptr<CPicture> back(ReadImageFile(path, false));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetType(), ptGray256);
    EXPECT_EQ(back->GetWidth(), 37);
    EXPECT_EQ(back->GetHeight(), 23);
    EXPECT_EQ(back->GetXDpi(), 300);
    EXPECT_EQ(back->GetYDpi(), 150);
    ASSERT_NE(back->GetPalette(), nullptr);
    EXPECT_TRUE(PalettesEqual(back->GetPalette(), picture->GetPalette()));
    std::vector<std::uint8_t> a(37), b(37);
    for (int y = 0; y < 23; ++y) {
        picture->ReadRow(0, 36, y, a.data());
        back->ReadRow(0, 36, y, b.data());
        ASSERT_EQ(a, b) << "row " << y;
    }
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(Entries(), std::vector<std::string>{"ramp.bmp"});
}

TEST_F(FilesTest, UnreadableNamesGiveNoPicture) {
    // No dot, or empty: nothing, silently.
    EXPECT_EQ(ReadImageFile(dir_ + "/noextension", false), nullptr);
    EXPECT_EQ(ReadImageFile("", false), nullptr);
    EXPECT_TRUE(messages_.empty());

    // Missing: the message names the whole path, however long.
    std::string longPath = dir_ + "/" + std::string(300, 'n') + ".bmp";
    EXPECT_EQ(ReadImageFile(longPath, false), nullptr);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], "The file " + longPath + " does not exist.");

    // Not a picture, a directory or a pipe: no picture, no message.
    messages_.clear();
    std::ofstream(dir_ + "/junk.bmp") << "this is not a bitmap";
    EXPECT_EQ(ReadImageFile(dir_ + "/junk.bmp", false), nullptr);
    ::mkdir((dir_ + "/folder.bmp").c_str(), 0755);
    EXPECT_EQ(ReadImageFile(dir_ + "/folder.bmp", false), nullptr);
    ::rmdir((dir_ + "/folder.bmp").c_str());
    // A pipe would block a reader that opened it.
    ASSERT_EQ(::mkfifo((dir_ + "/pipe.bmp").c_str(), 0600), 0);
    EXPECT_EQ(ReadImageFile(dir_ + "/pipe.bmp", false), nullptr);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(FilesTest, EscapeDuringReadGivesNothingAndEndsProgress) {
    auto picture = GrayRamp(64, 600);
    std::string path = dir_ + "/tall.bmp";
    ASSERT_TRUE(WriteImageFile(path, picture.get()));

    TestProgressHost host;
    host.escapeFromCall = 1;
    SetProgressCaption(5149);
    FileStatus status;
    EXPECT_EQ(ReadImageFile(path, true, &status), nullptr);
    EXPECT_TRUE(host.escapeTaken);
    EXPECT_EQ(status.failure, FileFailure::kCancelled);
    EXPECT_GE(host.begins, 1);
    EXPECT_EQ(host.begins, host.ends);
    EXPECT_TRUE(messages_.empty());

    // Without progress shown, Escape is not looked at.
    host.Reset();
    std::unique_ptr<CPicture> quiet(ReadImageFile(path, false, &status));
    EXPECT_NE(quiet, nullptr);
    EXPECT_EQ(host.takes, 0);
    EXPECT_NE(status.failure, FileFailure::kCancelled);
}

TEST_F(FilesTest, FailedWriteKeepsTheOldFile) {
    std::string path = dir_ + "/keep.bmp";
    std::ofstream(path, std::ios::binary) << "old contents";
    auto picture = GrayRamp(64, 600);

    // Escape while writing: the write fails, the old file stays, no temporary,
    // and nothing is said (cancelling is not a failure).
    {
        TestProgressHost host;
        host.escapeFromCall = 1;
        FileStatus status;
        EXPECT_FALSE(WriteImageFile(path, picture.get(), &status));
        EXPECT_EQ(status.failure, FileFailure::kCancelled);
        EXPECT_EQ(host.begins, host.ends);
    }
    EXPECT_EQ(file_test::FileContents(path), "old contents");
    EXPECT_EQ(Entries(), std::vector<std::string>{"keep.bmp"});
    EXPECT_TRUE(messages_.empty());

    // Extensions the library cannot write: refused before anything is created.
    messages_.clear();
    EXPECT_FALSE(WriteImageFile(dir_ + "/out.xyz", picture.get()));
    EXPECT_FALSE(WriteImageFile(dir_ + "/out", picture.get()));
    EXPECT_EQ(messages_.size(), 2u);
    EXPECT_EQ(Entries(), std::vector<std::string>{"keep.bmp"});

    // A good write replaces it.
    ASSERT_TRUE(WriteImageFile(path, picture.get()));
    EXPECT_EQ(file_test::FileContents(path).substr(0, 2), "BM");
}

// Front ends that show failures their own way get the reason with the result.
TEST_F(FilesTest, StatusSaysWhyAReadOrWriteFailed) {
    auto picture = GrayRamp(64, 600);
    std::string good = dir_ + "/good.bmp";
    ASSERT_TRUE(WriteImageFile(good, picture.get()));
    std::ofstream(dir_ + "/junk.bmp") << "this is not a bitmap";
    ::mkdir((dir_ + "/folder.bmp").c_str(), 0755);

    struct ReadCase {
        std::string path;
        FileFailure failure;
        bool hasReason;
    };
    for (const ReadCase& c : {ReadCase{dir_ + "/noextension", FileFailure::kNotAFile, true},
                              ReadCase{dir_ + "/missing.bmp", FileFailure::kNoSuchFile, true},
                              ReadCase{dir_ + "/junk.bmp", FileFailure::kLibrary, true},
                              ReadCase{dir_ + "/folder.bmp", FileFailure::kNotAFile, true},
                              ReadCase{good, FileFailure::kNone, false}}) {
        FileStatus status{FileFailure::kCancelled, "left over"};
        std::unique_ptr<CPicture> read = ReadImageFile(c.path, false, &status);
        EXPECT_EQ(read != nullptr, c.failure == FileFailure::kNone) << c.path;
        EXPECT_EQ(status.failure, c.failure) << c.path;
        EXPECT_EQ(!status.reason.empty(), c.hasReason) << c.path << ": " << status.reason;
    }
    FileStatus status;
    {
        TestProgressHost host;
        host.escapeFromCall = 1;
        EXPECT_EQ(ReadImageFile(good, true, &status), nullptr);
        EXPECT_EQ(status.failure, FileFailure::kCancelled);
        EXPECT_FALSE(WriteImageFile(dir_ + "/new.bmp", picture.get(), &status));
        EXPECT_EQ(status.failure, FileFailure::kCancelled);
    }
    messages_.clear();
    EXPECT_FALSE(WriteImageFile(dir_ + "/out.xyz", picture.get(), &status));
    EXPECT_EQ(status.failure, FileFailure::kFormat);
    EXPECT_FALSE(WriteImageFile(dir_ + "/nowhere/out.bmp", picture.get(), &status));
    EXPECT_EQ(status.failure, FileFailure::kLibrary);
    EXPECT_EQ(status.reason, "No such file or directory");
    // The message the user sees stays the same.
    EXPECT_EQ(messages_, std::vector<std::string>(2, "Failed to save document."));
    EXPECT_TRUE(WriteImageFile(good, picture.get(), &status));
    EXPECT_TRUE(status);
    ::rmdir((dir_ + "/folder.bmp").c_str());
}

}  // namespace
