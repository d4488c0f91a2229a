#include "print/print_job.h"

#include <sys/stat.h>

#include <cstdlib>

#include "document/import_export.h"
#include "picture/colour_converter.h"
#include "picture/image_store.h"
#include "picture/picture.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string PrintDataDirectory(const std::string& name) {
    const std::string beside = AppDirectory('/') + name + "/";
    if (IsDirectory(beside)) return beside;
    const std::string installed = AppDirectory('/') + "../share/stitchara/" + name + "/";
    if (IsDirectory(installed)) return installed;
    if (const char* build = std::getenv("STITCHARA_BUILD_DIR"); build && *build) {
        const std::string tree = std::string(build) + "/bin/" + name + "/";
        if (IsDirectory(tree)) return tree;
    }
    return beside;
}

std::string FramePiecePath(int frameNumber, int piece) {
    return PrintDataDirectory("frame") + "frame" + std::to_string(frameNumber) +
           std::to_string(piece) + ".jpg";
}

std::string FrameSamplePath(int frameNumber) {
    return PrintDataDirectory("frame") + "frame" + std::to_string(frameNumber) + ".bmp";
}

std::string WatermarkPatternPath(int index) {
    return PrintDataDirectory("wmark") + LoadStringById(IDS_WATERMARK_1 + index);
}

std::unique_ptr<CPicture> LoadPrintPicture(const std::string& path, CPicture* model,
                                           bool keepUnconverted) {
    std::unique_ptr<CPicture> loaded(ReadImageFile(path, false));
    if (!loaded) return nullptr;
    if (model && (model->GetType() == ptTrueColor24 || model->GetType() == ptColor256)) {
        if (!HasFormatOf(model, loaded.get())) {
            std::unique_ptr<CPicture> converted = ConvertLike(model, loaded.get(), false);
            if (!converted) return keepUnconverted ? std::move(loaded) : nullptr;
            loaded = std::move(converted);
        }
    }
    return loaded;
}

void CloseSheet(int result, PrintOptions& options, PrintSettings& settings, CPicture& picture,
                int pageWidth, int pageHeight, PrintJobAssets& assets) {
    FinishOptions(options, pageWidth, pageHeight);
    StoreSheetOptions(options, settings);

    assets = PrintJobAssets{};
    if (result == kSheetPrint && options.watermarkOn) {
        assets.watermark = LoadPrintPicture(options.watermarkFile, &picture, false);
        if (!assets.watermark) settings.watermarkOn = 0;
    }
    FrameAllowance allowance;
    if (options.frameId >= kFirstBitmapFrameId && options.frameId <= kLastFrameId) {
        const int n = FrameNumberOf(options.frameId);
        bool all = true;
        for (int k = 1; k <= 6; ++k) {
            if (result != kSheetPrint && k < 5) continue;
            assets.pieces[std::size_t(k - 1)] = LoadPrintPicture(FramePiecePath(n, k), &picture, true);
            if (!assets.pieces[std::size_t(k - 1)]) all = false;
        }
        if (all) {
            const CPicture& top = *assets.pieces[4];
            const CPicture& side = *assets.pieces[5];
            allowance = FrameAllowance{side.GetWidth(), top.GetHeight(), top.GetWidth(),
                                       side.GetHeight()};
            assets.hasPieces = result == kSheetPrint;
        }
        if (!assets.hasPieces) assets.pieces = FramePieces{};
    } else if (options.frameId >= kFirstFrameId) {
        assets.drawnFrameId = options.frameId;
    }
    const LayoutOffsets offsets = ComputeLayout(options, allowance, pageWidth, pageHeight);
    StoreLayout(options, offsets, settings);
}

PrintJobRequest MakePrintRequest(const PrintSettings& settings, CPicture* picture,
                                 const PrintJobAssets& assets, const std::string& title) {
    PrintJobRequest r;
    r.title = title;
    r.picture = picture;
    r.xOffset = settings.leftOffset;
    r.yOffset = settings.topOffset;
    r.printRect = settings.printSize;
    r.drawnFrameId = assets.drawnFrameId;
    r.copies = settings.copies;
    r.watermarkOn = settings.watermarkOn && assets.watermark;
    r.watermarkLayout = settings.watermarkLayout;
    r.watermark = assets.watermark.get();
    r.framePieces = assets.hasPieces ? &assets.pieces : nullptr;
    return r;
}

PosterRequest PosterChoices(const PrintSettings& settings) {
    PosterRequest r;
    r.overlapMm = settings.posterOverlapMm;
    r.marks = settings.posterMarks != 0;
    r.labels = settings.posterLabels != 0;
    return r;
}

void LoadPreviewAssets(const PrintSettings& settings, CPicture& picture, PrintJobAssets& assets) {
    assets = PrintJobAssets{};
    if (settings.watermarkOn)
        assets.watermark = LoadPrintPicture(settings.watermarkFile, &picture, false);
    if (settings.addFrame && settings.frameId >= kFirstBitmapFrameId &&
        settings.frameId <= kLastFrameId) {
        bool all = true;
        for (int k = 1; k <= 6; ++k) {
            assets.pieces[std::size_t(k - 1)] =
                LoadPrintPicture(FramePiecePath(FrameNumberOf(settings.frameId), k), &picture, true);
            all = all && assets.pieces[std::size_t(k - 1)];
        }
        assets.hasPieces = all;
        if (!all) assets.pieces = FramePieces{};
    } else if (settings.addFrame && settings.frameId >= kFirstFrameId) {
        assets.drawnFrameId = settings.frameId;
    }
}
