#include "print/print_engine_qt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>

#include "base/message_box.h"
#include "display/draw_picture_qt.h"
#include "picture/picture.h"
#include "picture/pixel_packing.h"
#include "resources/string_ids.h"

namespace {

// Resolution of PDF output: a PDF has none of its own; this is a laser
// printer's, fine enough for any picture at its physical size.
constexpr int kPdfResolution = 600;

QImage::Format FormatOf(const BandImage& band) {
    switch (band.bitCount) {
    case 1: return QImage::Format_Mono;
    case 8: return QImage::Format_Indexed8;
    case 16: return band.pictureType == ptColor64K ? QImage::Format_RGB16 : QImage::Format_RGB555;
    case 24: return QImage::Format_BGR888;
    case 32: return QImage::Format_RGB32;
    default: return QImage::Format_Invalid;
    }
}

QList<QRgb> ColourTable(const BandImage& band) {
    QList<QRgb> table;
    for (int i = 0; i < band.colourCount && band.colours; ++i)
        table.append(qRgb(band.colours[i].red, band.colours[i].green, band.colours[i].blue));
    return table;
}

// The renderer's output on a QPainter in printer dots: the printer itself
// while printing, the preview's page image otherwise.
class PainterDevice : public PrintDevice {
public:
    PainterDevice(QPainter& painter, QPrinter& printer, bool preview, PrintJobMonitor* monitor)
        : painter_(painter), printer_(printer), preview_(preview), monitor_(monitor) {}

    int DpiX() const override { return printer_.logicalDpiX(); }
    int DpiY() const override { return printer_.logicalDpiY(); }
    int PageWidth() const override { return printer_.width(); }
    int PageHeight() const override { return printer_.height(); }
    int RequestCopies(int copies) override {
        // A printer that makes copies itself was asked for them when the job
        // began (copiesAtOnce); anything else prints each copy as a pass.
        return copiesAtOnce > 1 ? std::min(copies, copiesAtOnce) : 1;
    }
    bool StartPage() override {
        if (pages_++ > 0 && !printer_.newPage()) return false;
        painter_.save();
        return true;
    }
    bool EndPage() override {
        painter_.restore();
        return true;
    }
    bool DrawBand(int x, int y, const BandImage& band) override {
        QImage image;
        if (band.bitCount == 4) {
            // No 4-bit image format: the nibbles go out as 8-bit indices.
            image = QImage(band.width, band.rows, QImage::Format_Indexed8);
            for (int r = 0; r < band.rows; ++r) {
                const std::uint8_t* in = band.bits + std::size_t(r) * band.stride;
                uchar* out = image.scanLine(r);
                packing::UnpackIndices<4>(in, band.width, out);
            }
            image.setColorTable(ColourTable(band));
        } else {
            const QImage::Format format = FormatOf(band);
            if (format == QImage::Format_Invalid) return false;
            image = QImage(band.bits, band.width, band.rows, qsizetype(band.stride), format);
            if (band.bitCount <= 8) image.setColorTable(ColourTable(band));
        }
        if (image.isNull()) return false;
        painter_.drawImage(QPoint(x, y), image);
        return true;
    }
    void DrawFrameShape(const Box& r, int cornerEllipse) override {
        QPen pen(Qt::black);
        pen.setWidth(1);
        pen.setCosmetic(preview_);
        painter_.setPen(pen);
        painter_.setBrush(Qt::white);
        // The outline runs inside the rectangle, as a 1-dot pen along its edges.
        const QRectF rect(r.left + 0.5, r.top + 0.5, r.right - r.left - 1, r.bottom - r.top - 1);
        if (cornerEllipse > 0)
            painter_.drawRoundedRect(rect, cornerEllipse / 2.0, cornerEllipse / 2.0);
        else
            painter_.drawRect(rect);
    }
    bool KeepGoing() override { return preview_ || !monitor_ || monitor_->KeepGoing(); }
    bool DrawScaledPicture(CPicture& picture, const Box& r) override {
        // The preview's page is far smaller than the printer's: the picture
        // is reduced as the view reduces it, thin lines kept.
        if (!preview_) return false;
        return display::DrawPictureInto(&picture, QRect(0, 0, picture.GetWidth(), picture.GetHeight()), painter_,
                                        QRectF(r.left, r.top, r.right - r.left, r.bottom - r.top)) != 0;
    }
    void ClipTo(const Box* r) override {
        if (clipped_) painter_.restore();
        clipped_ = r != nullptr;
        if (!r) return;
        painter_.save();
        painter_.setClipRect(QRect(r->left, r->top, r->right - r->left, r->bottom - r->top),
                             Qt::IntersectClip);
    }
    void DrawLabel(const Box& box, const std::string& text) override {
        painter_.save();
        QFont font = painter_.font();
        font.setPixelSize(std::max(1, (box.bottom - box.top) / 2));
        painter_.setFont(font);
        painter_.setPen(Qt::black);
        painter_.drawText(QRect(box.left, box.top, box.right - box.left, box.bottom - box.top),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
                          QString::fromStdString(text));
        painter_.restore();
    }

    int copiesAtOnce = 1;

private:
    QPainter& painter_;
    QPrinter& printer_;
    bool preview_;
    PrintJobMonitor* monitor_;
    int pages_ = 0;
    bool clipped_ = false;
};

}  // namespace

PrintEngine::PrintEngine() = default;
PrintEngine::~PrintEngine() = default;

void PrintEngine::SetPrinter(std::unique_ptr<QPrinter> printer) {
    printer_ = std::move(printer);
    if (printer_ && printer_->outputFormat() == QPrinter::PdfFormat)
        printer_->setResolution(kPdfResolution);
}

namespace {

// A PDF file has no margins of its own: the default ones are moved to whole
// printer dots, so that every band lands on whole dots of the page and a
// reader at the printer's resolution shows the pixels unscaled.
void AlignPdfMargins(QPrinter& printer) {
    if (printer.outputFormat() != QPrinter::PdfFormat) return;
    const double dpi = printer.resolution();
    if (dpi <= 0) return;
    const QMarginsF m = printer.pageLayout().margins(QPageLayout::Inch);
    auto whole = [dpi](double inch) { return std::round(inch * dpi) / dpi; };
    printer.setPageMargins(QMarginsF(whole(m.left()), whole(m.top()), whole(m.right()),
                                     whole(m.bottom())),
                           QPageLayout::Inch);
}

}  // namespace

bool PrintEngine::AttachPrinter() {
    if (!printer_) {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        if (QPrinterInfo::availablePrinterNames().isEmpty()) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(DefaultPdfFile());
        }
        SetPrinter(std::move(printer));
    }
    if (printer_) AlignPdfMargins(*printer_);
    attached_ = printer_ && printer_->isValid();
    return attached_;
}

bool PrintEngine::PrintsToFile() const {
    return printer_ && printer_->outputFormat() == QPrinter::PdfFormat;
}

QString PrintEngine::DefaultPdfFile() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty()) dir = QDir::homePath();
    return QDir(dir).filePath(QStringLiteral("print.pdf"));
}

void PrintEngine::DetachPrinter() { attached_ = false; }

int PrintEngine::LogPixelsX() const { return printer_ ? printer_->logicalDpiX() : 0; }
int PrintEngine::LogPixelsY() const { return printer_ ? printer_->logicalDpiY() : 0; }
int PrintEngine::HorzRes() const { return printer_ ? printer_->width() : 0; }
int PrintEngine::VertRes() const { return printer_ ? printer_->height() : 0; }

QSize PrintEngine::PrintableArea(int orientation) const {
    if (!printer_) return {};
    QPageLayout layout = printer_->pageLayout();
    layout.setOrientation(orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
    return layout.paintRectPixels(printer_->resolution()).size();
}

bool PrintEngine::UseLeastMargins() {
    if (!printer_) return false;
    const QPageLayout layout = printer_->pageLayout();
    return printer_->setPageMargins(layout.minimumMargins(), layout.units());
}

PosterLayout PrintEngine::LayPoster(const PrintJobRequest& request, PosterRequest r) const {
    const Box canvas = PosterCanvas(request);
    r.width = canvas.right - canvas.left;
    r.height = canvas.bottom - canvas.top;
    if (request.picture && request.picture->HasHeader()) {
        r.pictureWidth = request.picture->GetWidth();
        r.pictureHeight = request.picture->GetHeight();
    }
    r.dpiX = LogPixelsX();
    r.dpiY = LogPixelsY();
    const QSize portrait = PrintableArea(1), landscape = PrintableArea(2);
    r.portraitWidth = portrait.width();
    r.portraitHeight = portrait.height();
    r.landscapeWidth = landscape.width();
    r.landscapeHeight = landscape.height();
    r.preferred = Orientation();
    return ComputePosterLayout(r);
}

bool PrintEngine::TurnForPoster(const PosterLayout& poster) {
    if (poster.orientation != Orientation() && !SetOrientation(poster.orientation)) return false;
    return HorzRes() == poster.pageWidth && VertRes() == poster.pageHeight;
}

QString PrintEngine::DeviceName() const {
    if (!printer_) return {};
    if (printer_->outputFormat() == QPrinter::PdfFormat) return QStringLiteral("PDF");
    return printer_->printerName();
}

QString PrintEngine::DriverName() const {
    if (!printer_ || printer_->outputFormat() == QPrinter::PdfFormat) return QStringLiteral("PDF");
    return QPrinterInfo::printerInfo(printer_->printerName()).makeAndModel();
}

QString PrintEngine::PortName() const {
    if (!printer_) return {};
    if (printer_->outputFormat() == QPrinter::PdfFormat) return printer_->outputFileName();
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer_->printerName());
    return info.location().isEmpty() ? printer_->printerName() : info.location();
}

int PrintEngine::Orientation() const {
    return printer_ && printer_->pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
}

bool PrintEngine::SetOrientation(int orientation) {
    if (!printer_) return false;
    return printer_->setPageOrientation(orientation == 2 ? QPageLayout::Landscape
                                                         : QPageLayout::Portrait);
}

int PrintEngine::Copies() const { return printer_ ? printer_->copyCount() : 1; }

int PrintEngine::PaperSize() const {
    return printer_ ? int(printer_->pageLayout().pageSize().id()) : int(QPageSize::A4);
}

bool PrintEngine::SetPaperSize(int pageSizeId) {
    if (!printer_) return false;
    return printer_->setPageSize(QPageSize(QPageSize::PageSizeId(pageSizeId)));
}

std::vector<std::pair<QString, int>> PrintEngine::PaperSizes() const {
    std::vector<std::pair<QString, int>> sizes;
    QList<QPageSize> offered;
    if (printer_ && printer_->outputFormat() != QPrinter::PdfFormat)
        offered = QPrinterInfo::printerInfo(printer_->printerName()).supportedPageSizes();
    if (offered.isEmpty())
        for (auto id : {QPageSize::A4, QPageSize::Letter, QPageSize::Legal, QPageSize::A3,
                        QPageSize::A5, QPageSize::B5, QPageSize::Executive, QPageSize::Tabloid})
            offered.append(QPageSize(id));
    for (const QPageSize& size : offered)
        if (size.id() != QPageSize::Custom) sizes.emplace_back(size.name(), int(size.id()));
    return sizes;
}

int PrintEngine::StartPrintJob(const PrintJobRequest& request, PrintJobMonitor* monitor) {
    lastAborted_ = false;
    if (!attached_ || !printer_) return 0;
    QPrinter& printer = *printer_;
    printer.setDocName(QString::fromStdString(request.title));
    const QString port = PortName();
    // A PDF file goes to a name of its own until the last page is out.
    const QString target = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    const QString partial = target.isEmpty() ? QString() : target + QStringLiteral(".part");
    if (!partial.isEmpty()) {
        QFile::remove(partial);
        printer.setOutputFileName(partial);
    }
    // Copies: a printer that makes them itself is asked for all of them;
    // otherwise every copy is a pass of its own.
    const int copies = std::max(request.copies, 1);
    int copiesAtOnce = 1;
    printer.setCopyCount(1);
    if (copies > 1 && printer.outputFormat() == QPrinter::NativeFormat &&
        printer.supportsMultipleCopies()) {
        printer.setCopyCount(copies);
        copiesAtOnce = printer.copyCount();
    }
    int result = 0;
    bool aborted = false;
    QPainter painter;
    if (painter.begin(&printer)) {
        // Pictures go out as they are: a PDF would otherwise keep them as JPEG,
        // and a poster's sheets would no longer match along their overlaps.
        painter.setRenderHint(QPainter::LosslessImageRendering);
        if (monitor && !monitor->Begin(QString::fromStdString(request.title), port)) {
            printer.abort();
            painter.end();
            ShowMessageById(IDS_PRINT_ERROR);
        } else {
            PainterDevice device(painter, printer, false, monitor);
            device.copiesAtOnce = copiesAtOnce;
            result = RenderPicture(device, request, false, &aborted);
            if (result == 0) printer.abort();
            if (!painter.end()) result = 0;
            if (monitor) monitor->End();
        }
    }
    printer.setCopyCount(1);
    if (!partial.isEmpty()) {
        printer.setOutputFileName(target);
        // rename replaces the file of the name in one step.
        if (result && (!QFileInfo(partial).isFile() ||
                       std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData()) != 0))
            result = 0;
        QFile::remove(partial);
    }
    lastAborted_ = aborted;
    return result;
}

int PrintEngine::RenderPreview(const PrintJobRequest& request, QPainter& painter) {
    if (!printer_) return 0;
    PrintJobRequest one = request;
    one.copies = 1;
    PainterDevice device(painter, *printer_, true, nullptr);
    return RenderPicture(device, one, true);
}

QRect PrintEngine::PaperRect() const {
    if (!printer_) return QRect();
    const QPageLayout layout = printer_->pageLayout();
    const QRect full = layout.fullRectPixels(printer_->resolution());
    const QRect paint = layout.paintRectPixels(printer_->resolution());
    // In printable-area dots: the printable area starts at (0, 0).
    return full.translated(-paint.topLeft());
}

QImage PrintEngine::RenderPreviewImage(const PrintJobRequest& request, double scale) {
    const QRect paper = PaperRect().isEmpty() ? QRect(0, 0, HorzRes(), VertRes()) : PaperRect();
    const int w = std::max(1, int(paper.width() * scale + 0.5));
    const int h = std::max(1, int(paper.height() * scale + 0.5));
    QImage page(w, h, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, scale < 1.0);
    painter.scale(scale, scale);
    painter.translate(-paper.topLeft());
    painter.setClipRect(QRect(0, 0, HorzRes(), VertRes()));
    RenderPreview(request, painter);
    painter.end();
    return page;
}
