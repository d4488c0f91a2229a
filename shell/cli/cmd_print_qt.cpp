// stitchara-cli print IN -o OUT.pdf | --printer QUEUE: the application's print
// path without the sheet. The options stand for the sheet's controls; the
// layout, the frame and watermark files and the band output are the same
// code the application prints with. --poster cuts the print into sheets.
#include <QGuiApplication>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "picture/picture.h"
#include "print/print_engine_qt.h"
#include "print/print_job.h"
#include "print/print_layout.h"
#include "shell/cli/cli.h"
#include "shell/cli/cli_io.h"

namespace cli {

namespace {

bool ParseInt(const std::string& text, int low, int high, int& value) {
    if (text.empty()) return false;
    char* stop = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &stop, 10);
    if (errno != 0 || *stop != '\0' || v < low || v > high) return false;
    value = int(v);
    return true;
}

bool ParseLength(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* stop = nullptr;
    value = std::strtod(text.c_str(), &stop);
    return *stop == '\0' && value >= 0 && value < 1e6;
}

// The print sheet's choices, as the command line gives them.
struct PrintRequestOptions {
    std::string input, output, queue;
    int scale = 100;
    bool scaleGiven = false, fit = false, center = false;
    bool marginsGiven = false;
    double marginLeft = 0, marginTop = 0;
    int unit = kPrintUnitInch;
    int frame = 0;
    std::string watermark;
    int watermarkLayout = 1;
    int copies = 1;
    int dpi = 0;
    std::string paper;
    bool landscape = false, portrait = false;
    bool poster = false, marks = false, labels = false;
    double overlapMm = kDefaultPosterOverlapMm;
};

int Parse(const Args& args, PrintRequestOptions& o) {
    if (args.positional.size() != 1) return UsageError("print takes one input file");
    o.input = args.positional[0];
    for (const auto& [name, value] : args.options) {
        if (IsCommonOption(name)) continue;
        if (name == "output") o.output = value;
        else if (name == "printer") o.queue = value;
        else if (name == "scale") {
            if (!ParseInt(value, 10, 1000, o.scale))
                return UsageError("--scale takes a percentage from 10 to 1000");
            o.scaleGiven = true;
        } else if (name == "fit") o.fit = true;
        else if (name == "center") o.center = true;
        else if (name == "margins") {
            const std::size_t comma = value.find(',');
            if (comma == std::string::npos || !ParseLength(value.substr(0, comma), o.marginLeft) ||
                !ParseLength(value.substr(comma + 1), o.marginTop))
                return UsageError("--margins takes L,T: two lengths of 0 or more in the unit");
            o.marginsGiven = true;
        } else if (name == "unit") {
            if (value == "inch") o.unit = kPrintUnitInch;
            else if (value == "cm") o.unit = kPrintUnitCm;
            else if (value == "pixel") o.unit = kPrintUnitPixel;
            else return UsageError("--unit takes inch, cm or pixel");
        } else if (name == "frame") {
            if (!ParseInt(value, 1, 7, o.frame)) return UsageError("--frame takes 1 to 7");
        } else if (name == "watermark") {
            if (value.empty()) return UsageError("--watermark takes a picture file");
            o.watermark = value;
        } else if (name == "watermark-layout") {
            if (value == "center") o.watermarkLayout = 0;
            else if (value == "tile") o.watermarkLayout = 1;
            else return UsageError("--watermark-layout takes center or tile");
        } else if (name == "copies") {
            if (!ParseInt(value, 1, 100, o.copies)) return UsageError("--copies takes 1 to 100");
        } else if (name == "dpi") {
            if (!ParseInt(value, 72, 4800, o.dpi)) return UsageError("--dpi takes 72 to 4800");
        } else if (name == "paper") {
            o.paper = value;
        } else if (name == "landscape") {
            o.landscape = true;
        } else if (name == "portrait") {
            o.portrait = true;
        } else if (name == "poster") {
            o.poster = true;
        } else if (name == "overlap") {
            if (!ParseLength(value, o.overlapMm))
                return UsageError("--overlap takes a length of 0 or more in millimetres");
        } else if (name == "marks") {
            o.marks = true;
        } else if (name == "labels") {
            o.labels = true;
        } else {
            return UsageError("print has no option --" + name);
        }
    }
    if (o.output.empty() == o.queue.empty())
        return UsageError("print needs either -o OUT.pdf or --printer QUEUE");
    if (o.scaleGiven && o.fit) return UsageError("--scale and --fit exclude each other");
    if (args.Has("watermark-layout") && o.watermark.empty())
        return UsageError("--watermark-layout needs --watermark");
    if (o.landscape && o.portrait) return UsageError("--landscape and --portrait exclude each other");
    if (!o.poster && (args.Has("overlap") || o.marks || o.labels))
        return UsageError("--overlap, --marks and --labels need --poster");
    if (o.poster && (o.fit || o.center || o.marginsGiven))
        return UsageError("--poster places every part itself: no --fit, --center or --margins");
    return kExitOk;
}

// A paper named as Qt names it ("A4", "Letter", ...), case-insensitive.
bool FindPaper(const std::string& name, QPageSize& size) {
    for (int id = 0; id < int(QPageSize::LastPageSize); ++id) {
        const QPageSize candidate{QPageSize::PageSizeId(id)};
        if (QString::fromStdString(name).compare(QPageSize::key(QPageSize::PageSizeId(id)),
                                                 Qt::CaseInsensitive) == 0 ||
            QString::fromStdString(name).compare(candidate.name(), Qt::CaseInsensitive) == 0) {
            size = candidate;
            return true;
        }
    }
    return false;
}

// Qt's own notices (no runtime directory and the like) are not ours to show.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "stitchara-cli: %s\n", text.toLocal8Bit().constData());
}

// Qt needs an application object to print; the command line has no display.
std::unique_ptr<QGuiApplication> MakeApplication() {
    if (QGuiApplication::instance()) return nullptr;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietQtMessages);
    static int argc = 1;
    static char name[] = "stitchara-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

// The grid of sheets for the poster; anything that cannot be printed whole
// is refused.
int LayPoster(const PrintRequestOptions& o, const PrintSettings& settings, PrintEngine& engine,
              const PrintJobRequest& request, PosterLayout& poster) {
    PosterRequest choices = PosterChoices(settings);
    choices.orientation = o.landscape ? 2 : o.portrait ? 1 : 0;
    poster = engine.LayPoster(request, choices);
    if (poster.problem != PosterProblem::kNone) return Fail(PosterProblemText(poster));
    if (!engine.TurnForPoster(poster)) return Fail("the printer cannot turn the paper");
    return kExitOk;
}

// The grid the poster took and where each sheet's part lies, for the user
// and for scripts that put the sheets back together.
void ReportPoster(const PosterLayout& p, double overlapMm, const QPoint& area, int dpiX, int dpiY,
                  int copies) {
    std::printf("poster of %d x %d dots: %s = %d x %d dots; a %d x %d-dot printable area at "
                "%d,%d on the paper, %d x %d dpi, %d %s\n",
                p.width, p.height, PosterGridText(p, overlapMm).c_str(), p.overlapX, p.overlapY,
                p.pageWidth, p.pageHeight, area.x(), area.y(), dpiX, dpiY, copies,
                copies == 1 ? "copy" : "copies");
    for (int i = 0; i < p.SheetCount(); ++i) {
        const PosterSheet s = p.Sheet(i);
        std::printf("sheet %s: poster dots %d,%d to %d,%d at %d,%d of the printable area\n",
                    PosterSheetName(s.row, s.column).c_str(), s.part.left, s.part.top,
                    s.part.right, s.part.bottom, s.x, s.y);
    }
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int CmdPrint(const Args& args) {
    PrintRequestOptions o;
    if (int rc = Parse(args, o); rc != kExitOk) return rc;

    std::unique_ptr<CPicture> picture = LoadPicture(o.input);
    if (!picture) return kExitFailed;
    UseToolMessages();
    auto app = MakeApplication();

    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!o.output.empty()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString::fromStdString(o.output));
    } else {
        if (!QPrinterInfo::availablePrinterNames().contains(QString::fromStdString(o.queue)))
            return Fail("no printer queue named '" + o.queue + "'");
        printer->setPrinterName(QString::fromStdString(o.queue));
    }
    if (!o.paper.empty()) {
        QPageSize size;
        if (!FindPaper(o.paper, size)) return UsageError("unknown paper '" + o.paper + "'");
        printer->setPageSize(size);
    }
    if (o.landscape) printer->setPageOrientation(QPageLayout::Landscape);
    if (o.portrait) printer->setPageOrientation(QPageLayout::Portrait);
    PrintEngine engine;
    engine.SetPrinter(std::move(printer));
    if (o.dpi) engine.Printer()->setResolution(o.dpi);
    if (o.poster && !engine.UseLeastMargins()) return Fail("the printer's margins cannot be set");
    if (!engine.AttachPrinter()) return Fail("the printer cannot be used");

    const int dpiX = engine.LogPixelsX(), dpiY = engine.LogPixelsY();
    const int pageW = engine.HorzRes(), pageH = engine.VertRes();
    CPicture& pic = *picture;
    PrintSettings settings;
    settings.Reset(pic.GetWidth(), pic.GetHeight(), pic.GetXDpi(), pic.GetYDpi(), dpiX, dpiY);
    settings.scaleX = settings.scaleY = o.scale;
    PrintOptions options = OptionsFromSettings(settings, pic.GetType(), pic.GetWidth(),
                                               pic.GetHeight(), pic.GetXDpi(), pic.GetYDpi(),
                                               dpiX, dpiY);
    options.unit = o.unit;
    options.copies = o.copies;
    options.fitInPage = o.fit;
    options.centerHorizontally = options.centerVertically = o.center;
    if (o.marginsGiven) {
        options.leftMargin = int(ConvertLength(o.marginLeft, o.unit, kPrintUnitPixel, dpiX));
        options.topMargin = int(ConvertLength(o.marginTop, o.unit, kPrintUnitPixel, dpiY));
    }
    if (o.frame) {
        options.addFrame = 1;
        options.frameId = 1615 + o.frame;
    }
    options.poster = o.poster;
    options.posterOverlapMm = o.overlapMm;
    options.posterMarks = o.marks;
    options.posterLabels = o.labels;
    if (!o.watermark.empty()) {
        options.watermarkOn = 1;
        options.watermarkFile = o.watermark;
        options.watermarkLayout = o.watermarkLayout;
    }

    PrintJobAssets assets;
    CloseSheet(kSheetPrint, options, settings, pic, pageW, pageH, assets);
    if (options.watermarkOn && !settings.watermarkOn)
        std::fprintf(stderr, "stitchara-cli: the watermark cannot be read; printing without it\n");
    if (o.frame >= 5 && !assets.hasPieces)
        std::fprintf(stderr, "stitchara-cli: frame %d is not installed; printing without a frame\n",
                     o.frame);

    // Print sizes stay within the system's 16-bit geometry, as the Rescale
    // page's limits keep them: a size beyond would run for hours.
    if (settings.printSize.right > 32767 || settings.printSize.bottom > 32767 ||
        settings.printSize.right < 1 || settings.printSize.bottom < 1)
        return Fail("the print would be " + std::to_string(settings.printSize.right) + " x " +
                    std::to_string(settings.printSize.bottom) +
                    " dots; it must be 1 to 32767 each way (lower --scale or --dpi)");
    PrintJobRequest request = MakePrintRequest(settings, &pic, assets, BaseName(o.input));
    PosterLayout poster;
    if (o.poster) {
        if (int rc = LayPoster(o, settings, engine, request, poster); rc != kExitOk) return rc;
        request.poster = &poster;
    }
    if (!engine.StartPrintJob(request, nullptr))
        return Fail(engine.LastJobAborted() ? "printing cancelled" : "printing failed");
    if (!args.Has("quiet")) {
        // Where the printable area lies on the paper, so that scripts can
        // find the picture on the sheet.
        const QPoint area = engine.Printer()->pageLayout().paintRectPixels(dpiX).topLeft();
        if (o.poster) {
            ReportPoster(poster, o.overlapMm, area, dpiX, dpiY, settings.copies);
        } else {
            std::printf("printed %d x %d dots at %d,%d of a %d x %d-dot printable area at %d,%d "
                        "on the paper, %d x %d dpi, %d %s\n",
                        settings.printSize.right, settings.printSize.bottom, settings.leftOffset,
                        settings.topOffset, pageW, pageH, area.x(), area.y(), dpiX, dpiY,
                        settings.copies, settings.copies == 1 ? "copy" : "copies");
        }
    }
    return kExitOk;
}

}  // namespace cli
