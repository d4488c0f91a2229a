// Closing the print sheet: settings, installed frame pieces and watermark.
#include <gtest/gtest.h>

#include "base/message_box.h"
#include "picture/picture.h"
#include "print/print_job.h"

namespace {

struct Job {
    CPicture picture;
    PrintSettings settings;
    PrintOptions options;
    PrintJobAssets assets;
    Job() {
        EXPECT_TRUE(picture.Create(ptTrueColor24, 300, 150, 0, nullptr, DpiToPpm(100),
                                   DpiToPpm(100), kStoreMemory));
        settings.Reset(300, 150, 100, 100, 600, 600);
        options = OptionsFromSettings(settings, ptTrueColor24, 300, 150, 100, 100, 600, 600);
    }
};

}  // namespace

TEST(PrintJobTest, BitmapFramePiecesAreInstalledAndSizeTheLayout) {
    for (int result : {int(kSheetOk), int(kSheetPrint)}) {
        Job job;
        job.options.addFrame = 1;
        job.options.frameId = 1621;
        job.options.centerHorizontally = 1;
        CloseSheet(result, job.options, job.settings, job.picture, 4800, 6600, job.assets);
        // 1800 x 900 dots less 20; 64-dot borders, 128-dot tiles padding to 1792.
        EXPECT_EQ(job.settings.printSize.right, 1780);
        EXPECT_EQ(job.settings.leftOffset, (4800 - 1780 - 128 - 12) / 2) << result;
        EXPECT_EQ(job.settings.frameId, 1621);
        EXPECT_EQ(job.assets.hasPieces, result == kSheetPrint);
        if (result == kSheetPrint) {
            for (const auto& piece : job.assets.pieces) {
                ASSERT_TRUE(piece);
                EXPECT_EQ(piece->GetType(), ptTrueColor24);
            }
            const PrintJobRequest r = MakePrintRequest(job.settings, &job.picture, job.assets, "t");
            EXPECT_EQ(r.framePieces, &job.assets.pieces);
            EXPECT_EQ(r.drawnFrameId, 0);
        }
    }
}

TEST(PrintJobTest, AMissingWatermarkPrintsWithoutItAndSwitchesItOff) {
    std::vector<std::string> messages;
    SetMessageSink([&](const std::string& text) { messages.push_back(text); });
    Job job;
    job.options.watermarkOn = 1;
    job.options.watermarkFile = "/nowhere/pattern.jpg";
    CloseSheet(kSheetPrint, job.options, job.settings, job.picture, 4800, 6600, job.assets);
    EXPECT_EQ(job.settings.watermarkOn, 0);
    EXPECT_FALSE(MakePrintRequest(job.settings, &job.picture, job.assets, "t").watermarkOn);
    // An installed pattern loads, in the printed picture's format.
    Job ok;
    ok.options.watermarkOn = 1;
    ok.options.watermarkFile = WatermarkPatternPath(2);
    CloseSheet(kSheetPrint, ok.options, ok.settings, ok.picture, 4800, 6600, ok.assets);
    ASSERT_TRUE(ok.assets.watermark);
    EXPECT_EQ(ok.settings.watermarkOn, 1);
    EXPECT_TRUE(MakePrintRequest(ok.settings, &ok.picture, ok.assets, "t").watermarkOn);
    SetMessageSink(nullptr);
}

TEST(PrintJobTest, DrawnFrameGoesToTheEngineOnlyWithAddFrame) {
    Job job;
    job.options.frameId = 1618;  // chosen earlier, Add Frame now off
    CloseSheet(kSheetPrint, job.options, job.settings, job.picture, 4800, 6600, job.assets);
    EXPECT_EQ(job.settings.frameId, 0);
    EXPECT_EQ(job.assets.drawnFrameId, 0);
    Job framed;
    framed.options.addFrame = 1;
    framed.options.frameId = 1618;
    CloseSheet(kSheetPrint, framed.options, framed.settings, framed.picture, 4800, 6600,
               framed.assets);
    EXPECT_EQ(framed.assets.drawnFrameId, 1618);
    EXPECT_EQ(framed.settings.printSize.right, 1780);
}
