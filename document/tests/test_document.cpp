// CVandrelDoc: new document, load and save (the safe write), the mirror and
// rotate commands with their observer calls, Escape and failure.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "document/document.h"
#include "resources/command_ids.h"
#include "base/message_box.h"
#include "base/testing/test_progress_host.h"

namespace fs = std::filesystem;

namespace {

// Records what the document asks of its windows.
struct RecordingObserver : DocumentObserver {
    std::vector<std::string> baseNames;
    std::vector<Rect> hints;
    int redraws = 0;
    int waitDepth = 0;
    int waits = 0;
    void UpdateAllViews(const Rect* hint) override {
        ++redraws;
        if (hint) hints.push_back(*hint);
    }
    void SetBaseName(const std::string& path) override { baseNames.push_back(path); }
    void BeginWaitCursor() override { ++waitDepth, ++waits; }
    void EndWaitCursor() override { --waitDepth; }
    std::vector<std::string> questions;
    SaveAnswer answer = SaveAnswer::No;
    std::string savePath;
    SaveAnswer AskSaveChanges(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }
    std::string ChooseSavePath() override { return savePath; }
};

// A private directory per test.
class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("stitchara_doc_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        doc_.SetObserver(&observer_);
        SetMessageSink([this](const std::string& text) { messages_.push_back(text); });
    }
    void TearDown() override {
        SetMessageSink(nullptr);
        fs::remove_all(dir_);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // A small gray picture with distinct rows.
    static std::unique_ptr<CPicture> Gray(int w, int h) {
        auto p = std::make_unique<CDocPicture>();
        EXPECT_TRUE(p->Create(ptGray256, w, h, 0, nullptr, 3780, 3780, kStoreAny));
        std::vector<std::uint8_t> row(std::size_t(w) + 4);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) row[std::size_t(x)] = std::uint8_t(x * 3 + y * 11);
            p->WriteRow(0, w - 1, y, row.data());
        }
        return p;
    }
    static std::vector<std::uint8_t> Row(CPicture* p, int y) {
        std::vector<std::uint8_t> row(p->GetRowBytes() + 4);
        p->ReadRow(0, p->GetWidth() - 1, y, row.data());
        row.resize(p->GetRowBytes());
        return row;
    }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t FilesInDir() const {
        return std::size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
    std::vector<std::string> messages_;
    RecordingObserver observer_;
    CVandrelDoc doc_;
};

}  // namespace

TEST_F(DocumentTest, NewDocumentAndDeleteContents) {
    EXPECT_EQ(doc_.m_print.resetPending, 1);
    ASSERT_EQ(doc_.OnNewDocument(), 1);
    ASSERT_TRUE(doc_.m_pPicture);
    EXPECT_EQ(doc_.m_pPicture->GetType(), ptTrueColor24);
    EXPECT_EQ(doc_.m_pPicture->GetWidth(), 2811);
    EXPECT_EQ(doc_.m_pPicture->GetHeight(), 3000);
    EXPECT_EQ(observer_.baseNames, std::vector<std::string>{""});
    EXPECT_FALSE(doc_.IsModified());
    EXPECT_GE(doc_.MemoryBytes(), 2811u * 3u * 3000u);

    doc_.m_pStitchWork = Gray(4, 4);
    doc_.m_print.copies = 5;
    doc_.m_print.resetPending = 0;
    doc_.DeleteContents();
    EXPECT_FALSE(doc_.m_pPicture || doc_.m_pStitchWork || doc_.m_pStitchWork2);
    EXPECT_EQ(doc_.m_print.copies, 1);
    EXPECT_EQ(doc_.m_print.resetPending, 1);
    EXPECT_EQ(doc_.MemoryBytes(), 0u);
}

// Mirrors change the picture in place, mark the document and redraw it all;
// a quarter turn replaces the picture, resets the print options and hints
// the union of the old and new rectangles.
TEST_F(DocumentTest, MirrorAndRotateCommands) {
    doc_.SetPicture(Gray(30, 12));
    doc_.m_print.resetPending = 0;
    const auto top = Row(doc_.m_pPicture.get(), 0);
    const auto bottom = Row(doc_.m_pPicture.get(), 11);

    TestProgressHost host;
    ASSERT_TRUE(doc_.OnCommand(ID_MIRROR_VERTICAL));
    EXPECT_EQ(Row(doc_.m_pPicture.get(), 0), bottom);
    EXPECT_TRUE(doc_.IsModified());
    EXPECT_EQ(observer_.redraws, 1);
    EXPECT_TRUE(observer_.hints.empty());
    EXPECT_EQ(doc_.m_print.resetPending, 0);
    EXPECT_EQ(host.captions, std::vector<std::string>{"Mirroring"});
    EXPECT_EQ(observer_.waitDepth, 0);
    EXPECT_EQ(observer_.waits, 1);

    doc_.SetModifiedFlag(false);
    const CPicture* old = doc_.m_pPicture.get();
    ASSERT_TRUE(doc_.OnCommand(ID_ROTATE_RIGHT));
    ASSERT_NE(doc_.m_pPicture.get(), old);
    EXPECT_EQ(doc_.m_pPicture->GetWidth(), 12);
    EXPECT_EQ(doc_.m_pPicture->GetHeight(), 30);
    EXPECT_EQ(doc_.m_print.resetPending, 1);
    EXPECT_TRUE(doc_.IsModified());
    ASSERT_EQ(observer_.hints.size(), 1u);
    // The union of 30 x 12 and 12 x 30, right and bottom inclusive.
    EXPECT_EQ(observer_.hints[0], WholeRect(30, 30));

    // Active in place: no progress.
    host.Reset();
    doc_.SetInPlaceActive(true);
    ASSERT_TRUE(doc_.OnCommand(ID_ROTATE_LEFT));  // back as after the mirror
    EXPECT_EQ(host.begins, 0);
    EXPECT_EQ(Row(doc_.m_pPicture.get(), 11), top);
    EXPECT_EQ(doc_.m_pPicture->GetType(), ptGray256);

    EXPECT_TRUE(doc_.OnCommand(ID_EDIT_COPY));  // accepted, nothing happens
    EXPECT_FALSE(doc_.OnCommand(ID_SAVE));
    EXPECT_TRUE(messages_.empty());
}

// Escape during a tiled turn leaves the document's picture as it was and says nothing.
TEST_F(DocumentTest, EscapeDuringTiledRotationChangesNothing) {
    doc_.SetPicture(Gray(700, 600));
    doc_.m_print.resetPending = 0;
    const CPicture* before = doc_.m_pPicture.get();
    const auto row = Row(doc_.m_pPicture.get(), 5);
    TestProgressHost host;
    host.escapeAtCall = 2;
    EXPECT_EQ(doc_.Transform(TransformOp::RotateLeft), kTransformCancelled);
    EXPECT_TRUE(host.escapeTaken);
    EXPECT_EQ(host.ends, host.begins);
    EXPECT_EQ(doc_.m_pPicture.get(), before);
    EXPECT_EQ(doc_.m_pPicture->GetWidth(), 700);
    EXPECT_EQ(Row(doc_.m_pPicture.get(), 5), row);
    EXPECT_FALSE(doc_.IsModified());
    EXPECT_EQ(doc_.m_print.resetPending, 0);
    EXPECT_EQ(observer_.redraws, 0);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(DocumentTest, CommandsWithoutPictureFail) {
    EXPECT_EQ(doc_.Transform(TransformOp::MirrorHorizontal), kTransformFailed);
    EXPECT_EQ(doc_.OnSaveDocument(Path("none.vdl")), 0);
    EXPECT_FALSE(fs::exists(Path("none.vdl")));
}

// The save path writes BMP data whatever the extension; opening reads it back.
TEST_F(DocumentTest, SaveWritesBmpAndOpenReadsIt) {
    doc_.SetPicture(Gray(21, 7));
    doc_.SetModifiedFlag(true);
    const std::string path = Path("picture.png");
    ASSERT_EQ(doc_.OnSaveDocument(path), 1);
    EXPECT_FALSE(doc_.IsModified());
    const std::string bytes = Contents(path);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(FilesInDir(), 1u);

    CVandrelDoc reopened;
    RecordingObserver o;
    reopened.SetObserver(&o);
    ASSERT_EQ(reopened.OnOpenDocument(path), 1);
    EXPECT_EQ(reopened.GetPathName(), path);
    EXPECT_EQ(o.baseNames, std::vector<std::string>{path});
    ASSERT_TRUE(reopened.m_pPicture);
    EXPECT_EQ(reopened.m_pPicture->GetWidth(), 21);
    EXPECT_EQ(Row(reopened.m_pPicture.get(), 3), Row(doc_.m_pPicture.get(), 3));

    CVandrelDoc missing;
    EXPECT_EQ(missing.OnOpenDocument(Path("absent.vdl")), 0);
    EXPECT_FALSE(missing.m_pPicture);
}

// A save that cannot be completed (the file size limit stands in for a full
// disk) reports "Failed to save document." and keeps the previous file.
TEST_F(DocumentTest, FailingSaveKeepsOldFile) {
    const std::string path = Path("keep.vdl");
    {
        std::ofstream(path, std::ios::binary) << "previous document";
    }
    doc_.SetPicture(Gray(400, 400));
    doc_.SetModifiedFlag(true);

    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int saved = doc_.OnSaveDocument(path);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(saved, 0);
    EXPECT_EQ(Contents(path), "previous document");
    EXPECT_EQ(FilesInDir(), 1u);  // no temporary left behind
    EXPECT_TRUE(doc_.IsModified());
    EXPECT_EQ(messages_, std::vector<std::string>{"Failed to save document."});
    EXPECT_EQ(observer_.waitDepth, 0);
}

// Closing asks to save only a modified document that is not active in place;
// cancel keeps it open, yes saves it (asking for a path when it has none).
TEST_F(DocumentTest, SaveModifiedAsksOnlyWhenItShould) {
    doc_.SetPicture(Gray(9, 4));
    EXPECT_EQ(doc_.SaveModified(), 1);  // not modified
    doc_.SetModifiedFlag(true);
    doc_.SetInPlaceActive(true);
    EXPECT_EQ(doc_.SaveModified(), 1);
    EXPECT_TRUE(observer_.questions.empty());
    doc_.SetInPlaceActive(false);

    observer_.answer = SaveAnswer::Cancel;
    EXPECT_EQ(doc_.SaveModified(), 0);
    EXPECT_EQ(observer_.questions, std::vector<std::string>{"Save changes to Untitled?"});

    observer_.answer = SaveAnswer::Yes;  // no path chosen: stays open, nothing written
    EXPECT_EQ(doc_.SaveModified(), 0);
    EXPECT_EQ(FilesInDir(), 0u);
    observer_.savePath = Path("chosen.vdl");
    EXPECT_EQ(doc_.SaveModified(), 1);
    EXPECT_TRUE(fs::exists(Path("chosen.vdl")));
    EXPECT_FALSE(doc_.IsModified());
    EXPECT_EQ(doc_.GetPathName(), Path("chosen.vdl"));

    doc_.SetModifiedFlag(true);
    observer_.answer = SaveAnswer::No;
    EXPECT_EQ(doc_.SaveModified(), 1);
    EXPECT_EQ(observer_.questions.back(), "Save changes to chosen.vdl?");
    EXPECT_TRUE(doc_.IsModified());
}

// A reset brings every field but reprintAfterPreview back to its default and
// sizes the print for 100 %; a picture without a resolution counts as 96 dpi.
TEST(PrintSettingsTest, ResetKeepsPreviewFlagAndSizesThePrint) {
    PrintSettings settings;
    settings.copies = 5;
    settings.fitInPage = 1;
    settings.watermarkFile = "C:/WMARK/A.BMP";
    settings.reprintAfterPreview = 1;
    settings.Reset(1000, 333, 300, 150, 600, 600);
    EXPECT_EQ(settings.copies, 1);
    EXPECT_EQ(settings.fitInPage, 0);
    EXPECT_TRUE(settings.watermarkFile.empty());
    EXPECT_EQ(settings.reprintAfterPreview, 1);
    EXPECT_EQ(settings.resetPending, 0);
    EXPECT_EQ(settings.printSize.right, 2000);
    EXPECT_EQ(settings.printSize.bottom, 1332);
    settings.Reset(96, 100, 0, 0, 300, 600);
    EXPECT_EQ(settings.printSize.right, 300);
    EXPECT_EQ(settings.printSize.bottom, 625);
}
