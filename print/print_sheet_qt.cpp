#include "print/print_sheet_qt.h"

#include <QCoreApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleValidator>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

#include "display/draw_picture_qt.h"
#include "picture/picture.h"
#include "print/print_commands_qt.h"
#include "print/print_engine_qt.h"
#include "print/print_job.h"
#include "resources/dialog_texts.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {
// This file's texts for the user, in their own translation context.
struct PrintSheetText {
    Q_DECLARE_TR_FUNCTIONS(PrintSheetText)
};
}  // namespace

namespace {

const QColor kLightGray(192, 192, 192);

QString Text(int dialog, int control) { return QString::fromUtf8(LoadControlText(dialog, control)); }
QString Str(int id) { return QString::fromUtf8(LoadStringById(id)); }

// Object name for tests, accessible name from the control's text.
template <class W>
W* Named(W* widget, const char* objectName, const QString& text) {
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(QString::fromStdString(PlainText(text.toStdString())));
    return widget;
}

// A warning over the sheet, opened without waiting for it; then, when
// given, runs once it has closed.
void OpenWarning(QWidget* parent, const QString& title, const QString& text, std::function<void()> then = {}) {
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (then) QObject::connect(box, &QMessageBox::finished, box, [then = std::move(then)] { then(); });
    box->open();
}

QLabel* Label(const QString& resourceText, QWidget* buddy = nullptr) {
    auto* l = new QLabel(resourceText);
    if (buddy) l->setBuddy(buddy);
    return l;
}

}  // namespace

void DrawPictureFitted(CPicture* picture, const QRect& client, QPainter& painter) {
    const QRect target = client.adjusted(1, 1, -1, -1);
    if (target.width() <= 0 || target.height() <= 0) return;
    painter.fillRect(target, kLightGray);
    if (picture && picture->HasHeader()) {
        const int pw = picture->GetWidth(), ph = picture->GetHeight();
        const int n = std::max({1, (pw + target.width() - 1) / target.width(),
                                (ph + target.height() - 1) / target.height()});
        const int w = pw / n, h = ph / n;
        const QPoint at(target.left() + (target.width() - w + 1) / 2,
                        target.top() + (target.height() - h + 1) / 2);
        display::DrawPictureReduced(picture, painter, QRect(at, QSize(w, h)), n);
    }
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(target.adjusted(-1, -1, 0, 0));
}

// ---------------------------------------------------------------- layout box

CLayoutBox::CLayoutBox(CPrintSheet* sheet, bool shadow, QWidget* parent)
    : QWidget(parent), sheet_(sheet), shadow_(shadow) {
    setMinimumSize(120, 120);
}

void CLayoutBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kLightGray);
    const PrintOptions& o = sheet_->Options();
    posterSheets_ = 0;
    if (o.poster) {
        PaintPoster(painter);
        return;
    }
    const bool fit = o.fitInPage != 0;
    const int inset = shadow_ ? 12 : 2;
    last_ = ComputeLayoutSketch(width() - inset, height() - inset, sheet_->Engine().HorzRes(),
                                sheet_->Engine().VertRes(), o.printWidth, o.printHeight,
                                o.centerHorizontally || fit, o.centerVertically || fit,
                                o.leftMargin, o.topMargin);
    const QPoint shift(shadow_ ? 2 : 1, shadow_ ? 2 : 1);
    const Box& p = last_.paper;
    const QRect paper(QPoint(p.left, p.top) + shift, QPoint(p.right - 1, p.bottom - 1) + shift);
    if (shadow_) painter.fillRect(paper.translated(4, 4).adjusted(0, 0, 4, 4), Qt::gray);
    painter.fillRect(paper, Qt::white);
    const Box& r = last_.picture;
    QRect picture(QPoint(r.left, r.top) + shift, QSize(std::max(r.right - r.left, 4),
                                                       std::max(r.bottom - r.top, 4)));
    picture = picture.intersected(paper);
    if (CPicture* pic = sheet_->Picture(); pic && !picture.isEmpty())
        display::DrawPictureInto(pic, QRect(0, 0, pic->GetWidth(), pic->GetHeight()), painter,
                                 QRectF(picture));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
    painter.drawRect(picture.adjusted(0, 0, -1, -1));
    painter.drawRect(paper.adjusted(-1, -1, 0, 0));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// The poster reduced into the box with its sheets' parts over it (the
// overlaps show as double lines) and the number of sheets below.
void CLayoutBox::PaintPoster(QPainter& painter) {
    const PosterLayout plan = sheet_->PosterPlan();
    const QRect text = rect().adjusted(4, height() - 20, -4, -2);
    painter.setPen(Qt::black);
    if (!plan.Usable() || plan.width <= 0 || plan.height <= 0) {
        painter.drawText(rect().adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap,
                         QString::fromStdString(PosterProblemText(plan)));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        return;
    }
    const QRect room = rect().adjusted(6, 6, -6, -24);
    const double scale = std::min(room.width() / double(plan.width), room.height() / double(plan.height));
    const QSizeF size(plan.width * scale, plan.height * scale);
    const QRectF poster(room.left() + (room.width() - size.width()) / 2,
                        room.top() + (room.height() - size.height()) / 2, size.width(), size.height());
    painter.fillRect(poster, Qt::white);
    if (CPicture* pic = sheet_->Picture())
        display::DrawPictureInto(pic, QRect(0, 0, pic->GetWidth(), pic->GetHeight()), painter, poster);
    painter.setBrush(Qt::NoBrush);
    QPen pen(QColor(0, 0, 160));
    pen.setWidth(1);
    painter.setPen(pen);
    for (int i = 0; i < plan.SheetCount(); ++i) {
        const Box part = plan.Sheet(i).part;
        painter.drawRect(QRectF(poster.left() + part.left * scale, poster.top() + part.top * scale,
                                (part.right - part.left) * scale, (part.bottom - part.top) * scale)
                             .adjusted(0, 0, -1, -1));
    }
    posterSheets_ = plan.SheetCount();
    painter.setPen(Qt::black);
    painter.drawText(text, Qt::AlignCenter,
                     PrintSheetText::tr("%1 x %2 = %3 sheets").arg(plan.columns).arg(plan.rows).arg(posterSheets_));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// -------------------------------------------------------------- printer page

CPrinterPage::CPrinterPage(CPrintSheet* sheet) : sheet_(sheet) {
    const int d = IDD_PRINTER_PAGE;
    // The line shows the printer in use; its name says what it is.
    printerLabel_ = Named(new QLabel(Text(d, 1521)), "printerLabel", PrintSheetText::tr("Printer"));
    auto* setup = Named(new QPushButton(Text(d, 1514)), "setupButton", Text(d, 1514));
    auto* preview = Named(new QPushButton(Text(d, 1615)), "previewButton", Text(d, 1615));
    copies_ = Named(new QSpinBox, "copiesEdit", PrintSheetText::tr("&Copies :"));
    copies_->setRange(1, 100);
    portrait_ = Named(new QRadioButton(PrintSheetText::tr("Portrait")), "portraitButton", PrintSheetText::tr("Portrait"));
    landscape_ = Named(new QRadioButton(PrintSheetText::tr("Landscape")), "landscapeButton", PrintSheetText::tr("Landscape"));
    leftMargin_ = Named(new QLineEdit, "leftMarginEdit", PrintSheetText::tr("&Left Margin :"));
    topMargin_ = Named(new QLineEdit, "topMarginEdit", PrintSheetText::tr("&Top Margin :"));
    centerH_ = Named(new QCheckBox(Text(d, 1583)), "centerHorizontallyBox", Text(d, 1583));
    centerV_ = Named(new QCheckBox(Text(d, 1585)), "centerVerticallyBox", Text(d, 1585));
    units_ = Named(new QComboBox, "unitsCombo", PrintSheetText::tr("Units"));
    for (int u = 0; u < 3; ++u) units_->addItem(Str(IDS_UNIT_INCH + u));
    layout_ = Named(new CLayoutBox(sheet, true), "layoutBox", Text(d, 1602));
    // Printing to a PDF file (no printer, or chosen in the setup): the file.
    pdfRow_ = new QWidget;
    pdfFile_ = Named(new QLineEdit, "pdfFileEdit", PrintSheetText::tr("PDF &file:"));
    auto* browse = Named(new QPushButton(PrintSheetText::tr("&Browse...")), "pdfBrowseButton",
                         PrintSheetText::tr("Browse for the PDF file"));
    auto* pdfLine = new QHBoxLayout(pdfRow_);
    pdfLine->setContentsMargins(0, 0, 0, 0);
    pdfLine->addWidget(Label(PrintSheetText::tr("PDF &file:"), pdfFile_));
    pdfLine->addWidget(pdfFile_, 1);
    pdfLine->addWidget(browse);

    auto* grid = new QGridLayout(this);
    grid->addWidget(printerLabel_, 0, 0, 1, 2);
    grid->addWidget(setup, 0, 2);
    grid->addWidget(preview, 0, 3);
    grid->addWidget(pdfRow_, 1, 0, 1, 4);
    auto* form = new QFormLayout;
    form->addRow(Label(PrintSheetText::tr("&Copies :"), copies_), copies_);
    auto* orient = new QHBoxLayout;
    orient->addWidget(portrait_);
    orient->addWidget(landscape_);
    form->addRow(orient);
    form->addRow(Label(PrintSheetText::tr("&Left Margin :"), leftMargin_), leftMargin_);
    form->addRow(Label(PrintSheetText::tr("&Top Margin :"), topMargin_), topMargin_);
    form->addRow(centerH_);
    form->addRow(centerV_);
    form->addRow(units_);
    grid->addLayout(form, 2, 0, 1, 2);
    auto* box = new QGroupBox(Text(d, 1602));
    (new QVBoxLayout(box))->addWidget(layout_);
    grid->addWidget(box, 2, 2, 1, 2);

    connect(setup, &QPushButton::clicked, this, &CPrinterPage::OnSetup);
    connect(browse, &QPushButton::clicked, this, &CPrinterPage::OnBrowsePdf);
    connect(pdfFile_, &QLineEdit::editingFinished, this, [this] { TakePdfFile(pdfFile_->text()); });
    connect(preview, &QPushButton::clicked, this, [this] { sheet_->CloseWith(1075); });
    connect(copies_, &QSpinBox::valueChanged, this, [this](int v) { sheet_->Options().copies = v; });
    connect(portrait_, &QRadioButton::clicked, this, [this] { OnOrientation(1); });
    connect(landscape_, &QRadioButton::clicked, this, [this] { OnOrientation(2); });
    for (QLineEdit* e : {leftMargin_, topMargin_})
        connect(e, &QLineEdit::editingFinished, this, [this] {
            RecomputeDots();
            sheet_->RedrawLayouts();
        });
    for (QCheckBox* c : {centerH_, centerV_})
        connect(c, &QCheckBox::toggled, this, [this] {
            sheet_->Options().centerHorizontally = centerH_->isChecked();
            sheet_->Options().centerVertically = centerV_->isChecked();
            UpdateEnables();
            sheet_->RedrawLayouts();
        });
    connect(units_, &QComboBox::currentIndexChanged, this, &CPrinterPage::OnUnitChanged);

    const PrintOptions& o = sheet_->Options();
    previousUnit_ = o.unit;
    ReadPrinter();
    copies_->setFocus();
}

void CPrinterPage::ReadPrinter() {
    PrintEngine& engine = sheet_->Engine();
    printerLabel_->setText(engine.DeviceName() + QStringLiteral(" on ") + engine.PortName());
    pdfRow_->setVisible(engine.PrintsToFile());
    if (engine.PrintsToFile()) pdfFile_->setText(engine.PortName());
    const QSignalBlocker a(portrait_), b(landscape_);
    (engine.Orientation() == 1 ? portrait_ : landscape_)->setChecked(true);
    sheet_->Options().printerXDpi = engine.LogPixelsX();
    sheet_->Options().printerYDpi = engine.LogPixelsY();
}

void CPrinterPage::UpdateEnables() {
    const PrintOptions& o = sheet_->Options();
    const bool fit = o.fitInPage != 0;
    centerH_->setEnabled(!fit);
    centerV_->setEnabled(!fit);
    leftMargin_->setEnabled(!fit && !centerH_->isChecked());
    topMargin_->setEnabled(!fit && !centerV_->isChecked());
}

void CPrinterPage::Activate() {
    PrintOptions& o = sheet_->Options();
    const QSignalBlocker a(units_), b(centerH_), c(centerV_), d(copies_);
    units_->setCurrentIndex(o.unit);
    previousUnit_ = o.unit;
    copies_->setValue(o.copies);
    leftMargin_->setText(QString::fromStdString(o.leftMarginText));
    topMargin_->setText(QString::fromStdString(o.topMarginText));
    centerH_->setChecked(o.centerHorizontally);
    centerV_->setChecked(o.centerVertically);
    UpdateEnables();
    RecomputeDots();
}

void CPrinterPage::RecomputeDots() {
    PrintOptions& o = sheet_->Options();
    o.leftMarginText = leftMargin_->text().toStdString();
    o.topMarginText = topMargin_->text().toStdString();
    o.leftMargin = MarginTextToDots(o.leftMarginText, o.unit, o.printerXDpi);
    o.topMargin = MarginTextToDots(o.topMarginText, o.unit, o.printerYDpi);
}

void CPrinterPage::TakePdfFile(const QString& path) {
    QPrinter* printer = sheet_->Engine().Printer();
    if (!printer || !sheet_->Engine().PrintsToFile()) return;
    QString file = path.trimmed();
    if (!file.isEmpty()) {
        file = QFileInfo(QDir::home(), file).absoluteFilePath();
        if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".pdf");
        if (file != printer->outputFileName()) {
            printer->setOutputFileName(file);
            RememberPrinterChoice(*printer);
        }
    }
    ReadPrinter();
}

void CPrinterPage::OnBrowsePdf() {
    auto* dialog = new QFileDialog(this, PrintSheetText::tr("Print to PDF File"));
    dialog->setObjectName(QStringLiteral("pdfFileDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(PrintSheetText::tr("PDF files (*.pdf)"));
    dialog->setDefaultSuffix(QStringLiteral("pdf"));
    const QFileInfo current(pdfFile_->text());
    dialog->setDirectory(current.absolutePath());
    dialog->selectFile(current.fileName());
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& file) { TakePdfFile(file); });
    dialog->open();
}

bool CPrinterPage::Deactivate() {
    if (sheet_->Engine().PrintsToFile()) TakePdfFile(pdfFile_->text());
    RecomputeDots();
    PrintOptions& o = sheet_->Options();
    o.copies = copies_->value();
    o.centerHorizontally = centerH_->isChecked();
    o.centerVertically = centerV_->isChecked();
    return true;
}

void CPrinterPage::OnUnitChanged(int index) {
    PrintOptions& o = sheet_->Options();
    std::string left, top;
    FormatMarginText(leftMargin_->text().toDouble(), topMargin_->text().toDouble(), previousUnit_,
                     index, o.printerXDpi, o.printerYDpi, left, top);
    leftMargin_->setText(QString::fromStdString(left));
    topMargin_->setText(QString::fromStdString(top));
    o.unit = index;
    previousUnit_ = index;
    RecomputeDots();
}

void CPrinterPage::OnOrientation(int orientation) {
    sheet_->Engine().SetOrientation(orientation);
    sheet_->RescalePage()->PrinterChanged();
    sheet_->RedrawLayouts();
}

void CPrinterPage::OnSetup() {
    PrintEngine& engine = sheet_->Engine();
    if (!engine.Printer()) return;
    auto* dialog = new QPrintDialog(engine.Printer(), this);
    dialog->setObjectName(QStringLiteral("printSetupDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(PlainText(LoadControlText(IDD_PRINTER_PAGE, 1514)).c_str());
    connect(dialog, &QDialog::accepted, this, &CPrinterPage::TakeSetup);
    dialog->open();
}

void CPrinterPage::TakeSetup() {
    PrintEngine& engine = sheet_->Engine();
    RememberPrinterChoice(*engine.Printer());
    if (!engine.AttachPrinter()) {
        // The sheet cannot go on without a printer: it closes after the message.
        OpenWarning(sheet_, QString(), Str(IDS_CANNOT_RESET_PRINTER), [sheet = QPointer<CPrintSheet>(sheet_)] {
            if (sheet) sheet->reject();
        });
        return;
    }
    ReadPrinter();
    copies_->setValue(std::clamp(engine.Copies(), 1, 100));
    sheet_->RescalePage()->PrinterChanged();
    sheet_->RedrawLayouts();
}

// -------------------------------------------------------------- rescale page

CRescalePage::CRescalePage(CPrintSheet* sheet) : sheet_(sheet) {
    const int d = IDD_RESCALE_PAGE;
    fit_ = Named(new QCheckBox(Text(d, 1587)), "fitInPageBox", Text(d, 1587));
    sourceSize_ = Named(new QLabel, "sourceSizeLabel", PrintSheetText::tr("Source Image :"));
    sourceResolution_ = Named(new QLabel, "sourceResolutionLabel", PrintSheetText::tr("Source Resolution"));
    // The target's fields by their row and their place in it (the label
    // between the two is an "x").
    targetWidth_ = Named(new QLineEdit, "targetWidthEdit", PrintSheetText::tr("Target Size: width"));
    targetHeight_ = Named(new QLineEdit, "targetHeightEdit", PrintSheetText::tr("Target Size: height"));
    unitLabel_ = Named(new QLabel, "unitLabel", PrintSheetText::tr("Target Size unit"));
    resolutionX_ = Named(new QLineEdit, "resolutionXEdit", PrintSheetText::tr("Target Resolution: horizontal"));
    resolutionY_ = Named(new QLineEdit, "resolutionYEdit", PrintSheetText::tr("Target Resolution: vertical"));
    resolutionX_->setValidator(new QIntValidator(1, 32767, resolutionX_));
    resolutionY_->setValidator(new QIntValidator(1, 32767, resolutionY_));
    scaleX_ = Named(new QLineEdit, "scaleXEdit", PrintSheetText::tr("Rescale Factor X (%)"));
    scaleY_ = Named(new QLineEdit, "scaleYEdit", PrintSheetText::tr("Rescale Factor Y (%)"));
    scaleX_->setValidator(new QIntValidator(0, 99999, scaleX_));
    scaleY_->setValidator(new QIntValidator(0, 99999, scaleY_));
    scrollX_ = Named(new QScrollBar(Qt::Horizontal), "scaleXScroll", PrintSheetText::tr("Rescale Factor X slider"));
    scrollY_ = Named(new QScrollBar(Qt::Horizontal), "scaleYScroll", PrintSheetText::tr("Rescale Factor Y slider"));
    for (QScrollBar* s : {scrollX_, scrollY_}) {
        s->setSingleStep(1);
        s->setPageStep(20);
    }
    maxX_ = Named(new QLabel, "maxScaleXLabel", PrintSheetText::tr("Rescale Factor X maximum"));
    maxY_ = Named(new QLabel, "maxScaleYLabel", PrintSheetText::tr("Rescale Factor Y maximum"));
    keepRatio_ = Named(new QCheckBox(Text(d, 1565)), "keepRatioBox", Text(d, 1565));
    paper_ = Named(new QComboBox, "paperCombo", PrintSheetText::tr("Paper Size:"));
    layout_ = Named(new CLayoutBox(sheet, false), "rescaleLayoutBox", Text(d, 1602));
    poster_ = Named(new QCheckBox(PrintSheetText::tr("&Poster")), "posterBox", PrintSheetText::tr("&Poster"));
    overlap_ = Named(new QLineEdit, "posterOverlapEdit", PrintSheetText::tr("&Overlap (mm) :"));
    overlap_->setValidator(new QDoubleValidator(0, 1000, 1, overlap_));
    marks_ = Named(new QCheckBox(PrintSheetText::tr("Cut &marks")), "posterMarksBox", PrintSheetText::tr("Cut &marks"));
    labels_ = Named(new QCheckBox(PrintSheetText::tr("&Labels")), "posterLabelsBox", PrintSheetText::tr("&Labels"));
    posterGrid_ = Named(new QLabel, "posterGridLabel", PrintSheetText::tr("Sheets"));
    posterGrid_->setWordWrap(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(fit_, 0, 0, 1, 2);
    auto* source = new QFormLayout;
    source->addRow(Label(PrintSheetText::tr("Source Image :")), sourceSize_);
    source->addRow(QString(), sourceResolution_);
    grid->addLayout(source, 1, 0, 1, 2);
    auto* target = new QGroupBox(PrintSheetText::tr("Target Image"));
    auto* tg = new QGridLayout(target);
    tg->addWidget(Label(PrintSheetText::tr("&Size :"), targetWidth_), 0, 0);
    tg->addWidget(targetWidth_, 0, 1);
    tg->addWidget(new QLabel(QStringLiteral("x")), 0, 2);
    tg->addWidget(targetHeight_, 0, 3);
    tg->addWidget(unitLabel_, 0, 4);
    tg->addWidget(new QLabel(PrintSheetText::tr("Resolution :")), 1, 0);
    tg->addWidget(resolutionX_, 1, 1);
    tg->addWidget(new QLabel(QStringLiteral("x")), 1, 2);
    tg->addWidget(resolutionY_, 1, 3);
    tg->addWidget(new QLabel(PrintSheetText::tr("DPI")), 1, 4);
    grid->addWidget(target, 2, 0, 1, 2);
    auto* factor = new QGroupBox(PrintSheetText::tr("Rescale Factor"));
    auto* fg = new QGridLayout(factor);
    fg->addWidget(Label(PrintSheetText::tr("&X :"), scaleX_), 0, 0);
    fg->addWidget(scaleX_, 0, 1);
    fg->addWidget(new QLabel(QStringLiteral("%")), 0, 2);
    fg->addWidget(new QLabel(QStringLiteral("10")), 0, 3);
    fg->addWidget(scrollX_, 0, 4);
    fg->addWidget(maxX_, 0, 5);
    fg->addWidget(Label(PrintSheetText::tr("&Y :"), scaleY_), 1, 0);
    fg->addWidget(scaleY_, 1, 1);
    fg->addWidget(new QLabel(QStringLiteral("%")), 1, 2);
    fg->addWidget(new QLabel(QStringLiteral("10")), 1, 3);
    fg->addWidget(scrollY_, 1, 4);
    fg->addWidget(maxY_, 1, 5);
    fg->addWidget(keepRatio_, 2, 0, 1, 6);
    grid->addWidget(factor, 3, 0, 1, 2);
    auto* paperRow = new QFormLayout;
    paperRow->addRow(Label(PrintSheetText::tr("Paper Size:"), paper_), paper_);
    grid->addLayout(paperRow, 4, 0, 1, 2);
    // Poster: the picture at its scale across several sheets.
    auto* posterBox = new QGroupBox(PrintSheetText::tr("Poster"));
    auto* pg = new QGridLayout(posterBox);
    pg->addWidget(poster_, 0, 0);
    pg->addWidget(Label(PrintSheetText::tr("&Overlap (mm) :"), overlap_), 0, 1);
    pg->addWidget(overlap_, 0, 2);
    pg->addWidget(marks_, 1, 0);
    pg->addWidget(labels_, 1, 1, 1, 2);
    pg->addWidget(posterGrid_, 2, 0, 1, 3);
    grid->addWidget(posterBox, 5, 0, 1, 2);
    auto* box = new QGroupBox(Text(d, 1602));
    (new QVBoxLayout(box))->addWidget(layout_);
    grid->addWidget(box, 0, 2, 6, 1);

    // Initial state from the sheet, then the fit handling once.
    const PrintOptions& o = sheet_->Options();
    model_.pictureWidth = std::max(o.pictureWidth, 1);
    model_.pictureHeight = std::max(o.pictureHeight, 1);
    model_.pictureXDpi = o.pictureXDpi;
    model_.pictureYDpi = o.pictureYDpi;
    model_.unit = o.unit;
    model_.resolutionX = o.printerXDpi;
    model_.resolutionY = o.printerYDpi;
    model_.pageWidth = sheet_->Engine().HorzRes();
    model_.pageHeight = sheet_->Engine().VertRes();
    model_.scaleX = model_.savedScaleX = o.scaleX;
    model_.scaleY = model_.savedScaleY = o.scaleY;
    model_.keepRatio = o.scaleX == o.scaleY;
    model_.fitInPage = 0;
    model_.poster = o.poster;
    model_.SetFitInPage(o.fitInPage != 0 && !o.poster);
    model_.Activate();
    poster_->setChecked(o.poster != 0);
    overlap_->setText(QString::number(o.posterOverlapMm));
    marks_->setChecked(o.posterMarks != 0);
    labels_->setChecked(o.posterLabels != 0);
    WriteControls();

    connect(fit_, &QCheckBox::clicked, this, &CRescalePage::OnFit);
    connect(keepRatio_, &QCheckBox::clicked, this, &CRescalePage::OnKeepRatio);
    connect(scaleX_, &QLineEdit::editingFinished, this, [this] { OnScaleEdited(true); });
    connect(scaleY_, &QLineEdit::editingFinished, this, [this] { OnScaleEdited(false); });
    connect(targetWidth_, &QLineEdit::editingFinished, this, [this] { OnSizeEdited(true); });
    connect(targetHeight_, &QLineEdit::editingFinished, this, [this] { OnSizeEdited(false); });
    connect(scrollX_, &QScrollBar::actionTriggered, this, [this](int a) { OnScroll(true, a); });
    connect(scrollY_, &QScrollBar::actionTriggered, this, [this](int a) { OnScroll(false, a); });
    connect(paper_, &QComboBox::activated, this, &CRescalePage::OnPaper);
    connect(poster_, &QCheckBox::clicked, this, &CRescalePage::OnPoster);
    connect(overlap_, &QLineEdit::editingFinished, this, &CRescalePage::OnPosterOverlap);
    for (QCheckBox* c : {marks_, labels_})
        connect(c, &QCheckBox::clicked, this, [this] {
            sheet_->Options().posterMarks = marks_->isChecked();
            sheet_->Options().posterLabels = labels_->isChecked();
            sheet_->RedrawLayouts();
        });
}

void CRescalePage::OnPoster() {
    const bool on = poster_->isChecked();
    sheet_->Options().poster = on;
    ReadControls();
    model_.poster = on;
    model_.RecomputeMaxScale();
    // A poster prints at the scale: fit in page gives way.
    if (on && fit_->isChecked()) {
        fit_->setChecked(false);
        OnFit();
    } else {
        WriteControls();
    }
}

void CRescalePage::SetPoster(bool on) {
    if (poster_->isChecked() == on) return;
    poster_->setChecked(on);
    OnPoster();
}

void CRescalePage::OnPosterOverlap() {
    bool ok = false;
    const double mm = overlap_->text().toDouble(&ok);
    if (ok && mm >= 0) sheet_->Options().posterOverlapMm = mm;
    overlap_->setText(QString::number(sheet_->Options().posterOverlapMm));
    sheet_->RedrawLayouts();
}

void CRescalePage::ShowPosterGrid() {
    const PrintOptions& o = sheet_->Options();
    if (!o.poster) {
        posterGrid_->clear();
        return;
    }
    const PosterLayout plan = sheet_->PosterPlan();
    posterGrid_->setText(QString::fromStdString(
        plan.problem == PosterProblem::kNone ? PosterGridText(plan, o.posterOverlapMm)
                                             : PosterProblemText(plan)));
}

void CRescalePage::ReadControls() {
    model_.fitInPage = fit_->isChecked();
    model_.keepRatio = keepRatio_->isChecked();
    model_.resolutionX = std::max(1, resolutionX_->text().toInt());
    model_.resolutionY = std::max(1, resolutionY_->text().toInt());
    model_.scaleX = scaleX_->text().toInt();
    model_.scaleY = scaleY_->text().toInt();
}

void CRescalePage::WriteControls() {
    writing_ = true;
    const bool fit = model_.fitInPage != 0;
    fit_->setChecked(fit);
    keepRatio_->setChecked(model_.keepRatio);
    targetWidth_->setText(QString::fromStdString(model_.targetWidthText));
    targetHeight_->setText(QString::fromStdString(model_.targetHeightText));
    resolutionX_->setText(QString::number(model_.resolutionX));
    resolutionY_->setText(QString::number(model_.resolutionY));
    scaleX_->setText(QString::number(model_.scaleX));
    scaleY_->setText(QString::number(model_.scaleY));
    const QString max = QString::asprintf("%4d", model_.MaxScale());
    maxX_->setText(max);
    maxY_->setText(max);
    for (QScrollBar* s : {scrollX_, scrollY_}) {
        const QSignalBlocker block(s);
        s->setRange(10, model_.MaxScale());
        s->setValue(s == scrollX_ ? model_.scaleX : model_.scaleY);
        s->setEnabled(!fit);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{targetWidth_, targetHeight_, resolutionX_,
                                                      resolutionY_, scaleX_, scaleY_, keepRatio_})
        w->setEnabled(!fit);
    const bool poster = poster_->isChecked();
    fit_->setEnabled(!poster);
    for (QWidget* w : std::initializer_list<QWidget*>{overlap_, marks_, labels_}) w->setEnabled(poster);
    const int u = model_.unit;
    unitLabel_->setText(Str(IDS_UNIT_INCH + u));
    const PrintOptions& o = sheet_->Options();
    std::string w, h;
    FormatMarginText(o.pictureWidth, o.pictureHeight, kPrintUnitPixel, u, o.pictureXDpi,
                     o.pictureYDpi, w, h);
    if (u == kPrintUnitPixel) {
        w = std::to_string(o.pictureWidth);
        h = std::to_string(o.pictureHeight);
    }
    sourceSize_->setText(QString::fromStdString(w + " x " + h + " ") + Str(IDS_UNIT_INCH + u));
    sourceResolution_->setText(QString::asprintf("%d x %d ", o.pictureXDpi, o.pictureYDpi) +
                               Str(IDS_DPI));
    writing_ = false;
    TakeSizeIntoSheet();
}

void CRescalePage::TakeSizeIntoSheet() {
    PrintOptions& o = sheet_->Options();
    o.printWidth = model_.printWidth;
    o.printHeight = model_.printHeight;
    o.fitInPage = model_.fitInPage;
    o.scaleX = model_.scaleX;
    o.scaleY = model_.scaleY;
    sheet_->RedrawLayouts();
}

void CRescalePage::OnFit() {
    const bool on = fit_->isChecked();
    ReadControls();
    model_.fitInPage = !on;  // the state before the click
    model_.SetFitInPage(on);
    WriteControls();
}

void CRescalePage::OnKeepRatio() {
    ReadControls();
    model_.SetKeepRatio(keepRatio_->isChecked());
    WriteControls();
}

void CRescalePage::OnScaleEdited(bool horizontal) {
    if (writing_) return;
    ReadControls();
    model_.ApplyScaleToSize(horizontal);
    WriteControls();
}

void CRescalePage::OnSizeEdited(bool horizontal) {
    if (writing_) return;
    ReadControls();
    model_.ApplySizeToScale(horizontal, (horizontal ? targetWidth_ : targetHeight_)->text().toStdString());
    WriteControls();
}

void CRescalePage::OnScroll(bool horizontal, int action) {
    QScrollBar* bar = horizontal ? scrollX_ : scrollY_;
    int pos = horizontal ? model_.scaleX : model_.scaleY;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: pos = std::max(10, pos - 1); break;
    case QAbstractSlider::SliderSingleStepAdd: pos = std::min(model_.MaxScale(), pos + 1); break;
    case QAbstractSlider::SliderPageStepSub: pos = std::max(10, pos - 20); break;
    case QAbstractSlider::SliderPageStepAdd: pos = std::min(model_.MaxScale(), pos + 20); break;
    case QAbstractSlider::SliderToMinimum: pos = 10; break;
    case QAbstractSlider::SliderToMaximum: pos = model_.MaxScale(); break;
    case QAbstractSlider::SliderMove: pos = bar->sliderPosition(); break;
    default: return;
    }
    ReadControls();
    model_.ScrollTo(horizontal, pos);
    WriteControls();
    bar->setSliderPosition(pos);
}

void CRescalePage::OnPaper(int index) {
    PrintEngine& engine = sheet_->Engine();
    engine.SetPaperSize(paper_->itemData(index).toInt());
    PrinterChanged();
}

void CRescalePage::PrinterChanged() {
    const PrintOptions& o = sheet_->Options();
    model_.resolutionX = o.printerXDpi;
    model_.resolutionY = o.printerYDpi;
    model_.pageWidth = sheet_->Engine().HorzRes();
    model_.pageHeight = sheet_->Engine().VertRes();
    model_.RecomputePrintSize();
    model_.ApplyScaleToSize(true);
    WriteControls();
}

void CRescalePage::Activate() {
    const PrintOptions& o = sheet_->Options();
    model_.fitInPage = o.fitInPage;
    model_.poster = o.poster;
    model_.unit = o.unit;
    model_.resolutionX = o.printerXDpi;
    model_.resolutionY = o.printerYDpi;
    model_.pageWidth = sheet_->Engine().HorzRes();
    model_.pageHeight = sheet_->Engine().VertRes();
    model_.RecomputePrintSize();
    model_.Activate();
    {
        const QSignalBlocker block(paper_);
        paper_->clear();
        const int current = sheet_->Engine().PaperSize();
        int selected = 0;
        for (const auto& [name, id] : sheet_->Engine().PaperSizes()) {
            if (id == current) selected = paper_->count();
            paper_->addItem(name, id);
        }
        paper_->setCurrentIndex(selected);
    }
    WriteControls();
    scaleX_->setFocus();
}

bool CRescalePage::Deactivate() {
    ReadControls();
    const int low = 10, high = model_.MaxScale();
    if (!model_.Validate()) {
        OpenWarning(this, Str(IDS_SHEET_PRINT), QString::fromUtf8(LoadStringById(IDS_PARSE_INT_RANGE)).arg(low).arg(high));
        WriteControls();
        return false;
    }
    PrintOptions& o = sheet_->Options();
    model_.RecomputePrintSize();
    if (!model_.fitInPage) o.sizeSetByRescale = 1;
    TakeSizeIntoSheet();
    OnPosterOverlap();
    if (o.poster) {
        const PosterLayout plan = sheet_->PosterPlan();
        if (!plan.Usable()) {
            OpenWarning(this, Str(IDS_SHEET_PRINT), QString::fromStdString(PosterProblemText(plan)));
            return false;
        }
    }
    return true;
}

// ----------------------------------------------------------- background page

class CFrameSample : public QWidget {
public:
    CFrameSample(CWaterMarkPage* page, int frameId) : page_(page), frameId_(frameId) {
        setObjectName(QStringLiteral("frameSample%1").arg(frameId - 1615));
        setAccessibleName(PrintSheetText::tr("Frame %1").arg(frameId - 1615));
        setFixedSize(56, 56);
    }
    bool highlighted = false;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        const QRect sample = rect().adjusted(6, 6, -6, -6);
        const int n = frameId_ - 1615;
        if (n <= 4) {
            p.fillRect(sample, kLightGray);
            p.setPen(palette().color(QPalette::WindowText));
            p.setBrush(Qt::NoBrush);
            p.setClipRect(sample);
            const QRect outer = sample.adjusted(3, 3, -4, -4);
            const QRect inner = outer.adjusted(2, 2, -2, -2);
            auto draw = [&](const QRect& r) {
                if (n == 2 || n == 4) p.drawRoundedRect(r, 7.5, 7.5);
                else p.drawRect(r);
            };
            draw(outer);
            if (n >= 3) draw(inner);
            p.setClipping(false);
        } else {
            DrawPictureFitted(page_->thumbnails_[n - 5].get(), sample, p);
        }
        // The highlight: a rectangle 5 pixels outside the sample.
        p.setPen(highlighted ? palette().color(QPalette::WindowText) : kLightGray);
        p.setBrush(Qt::NoBrush);
        p.drawRect(sample.adjusted(-5, -5, 4, 4));
    }
    void mousePressEvent(QMouseEvent*) override { page_->SampleClicked(frameId_); }

private:
    CWaterMarkPage* page_;
    int frameId_;
};

namespace {

class PreviewBox : public QWidget {
public:
    explicit PreviewBox(CWaterMarkPage* page) : page_(page) { setMinimumSize(120, 120); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        DrawPictureFitted(page_->WatermarkPreview(), rect(), p);
    }

private:
    CWaterMarkPage* page_;
};

}  // namespace

CWaterMarkPage::CWaterMarkPage(CPrintSheet* sheet) : sheet_(sheet) {
    const int d = IDD_BACKGROUND_PAGE;
    addFrame_ = Named(new QCheckBox(Text(d, 1573)), "addFrameBox", Text(d, 1573));
    watermark_ = Named(new QCheckBox(Text(d, 1644)), "watermarkBox", Text(d, 1644));
    patterns_ = Named(new QComboBox, "watermarkCombo", PrintSheetText::tr("WaterMark:"));
    tile_ = Named(new QRadioButton(Text(d, 1052)), "tileButton", Text(d, 1052));
    center_ = Named(new QRadioButton(Text(d, 1049)), "centerButton", Text(d, 1049));
    previewBox_ = Named(new PreviewBox(this), "watermarkPreview", Text(d, 1602));

    auto* grid = new QGridLayout(this);
    auto* output = new QGroupBox(PrintSheetText::tr("Output Option"));
    auto* og = new QGridLayout(output);
    og->addWidget(addFrame_, 0, 0, 1, 4);
    for (int i = 0; i < 7; ++i) {
        samples_[i] = new CFrameSample(this, 1616 + i);
        og->addWidget(samples_[i], 1 + i / 4, i % 4);
    }
    grid->addWidget(output, 0, 0, 1, 2);
    grid->addWidget(watermark_, 1, 0, 1, 2);
    auto* form = new QFormLayout;
    form->addRow(Label(PrintSheetText::tr("WaterMark:"), patterns_), patterns_);
    grid->addLayout(form, 2, 0);
    auto* layoutGroup = new QGroupBox(PrintSheetText::tr("Layout"));
    auto* lg = new QVBoxLayout(layoutGroup);
    lg->addWidget(tile_);
    lg->addWidget(center_);
    grid->addWidget(layoutGroup, 3, 0);
    auto* previewGroup = new QGroupBox(Text(d, 1602));
    (new QVBoxLayout(previewGroup))->addWidget(previewBox_);
    grid->addWidget(previewGroup, 2, 1, 2, 1);

    Activate();
    PrintOptions& o = sheet_->Options();
    int selected = 0;
    for (int i = 0; i < kWatermarkPatternCount; ++i) {
        const std::string path = WatermarkPatternPath(i);
        patterns_->addItem(QString::fromUtf8(LoadStringById(IDS_WATERMARK_1 + i)));
        if (path == o.watermarkFile) selected = i;
    }
    if (o.watermarkFile.empty()) o.watermarkFile = WatermarkPatternPath(0);
    patterns_->setCurrentIndex(selected);
    (o.watermarkLayout == 1 ? tile_ : center_)->setChecked(true);
    for (int n = 5; n <= 7; ++n)
        thumbnails_[n - 5] = LoadPrintPicture(FrameSamplePath(n), nullptr, true);
    LoadPreview(o.watermarkFile);
    frameId_ = o.frameId;
    for (int i = 0; i < 7; ++i) samples_[i]->highlighted = addFrame_->isChecked() && frameId_ == 1616 + i;

    connect(addFrame_, &QCheckBox::clicked, this, &CWaterMarkPage::OnAddFrame);
    connect(watermark_, &QCheckBox::clicked, this, &CWaterMarkPage::OnWatermark);
    connect(patterns_, &QComboBox::activated, this, &CWaterMarkPage::OnWatermark);
    connect(tile_, &QRadioButton::clicked, this, [this] { sheet_->Options().watermarkLayout = 1; });
    connect(center_, &QRadioButton::clicked, this, [this] { sheet_->Options().watermarkLayout = 0; });
}

CWaterMarkPage::~CWaterMarkPage() = default;

void CWaterMarkPage::Activate() {
    const PrintOptions& o = sheet_->Options();
    addFrame_->setChecked(o.addFrame);
    frameId_ = o.frameId;
    watermark_->setChecked(o.watermarkOn);
    (o.watermarkLayout == 1 ? tile_ : center_)->setChecked(true);
}

bool CWaterMarkPage::Deactivate() {
    PrintOptions& o = sheet_->Options();
    o.addFrame = addFrame_->isChecked();
    o.frameId = frameId_;
    o.watermarkOn = watermark_->isChecked();
    o.watermarkLayout = tile_->isChecked() ? 1 : 0;
    return true;
}

void CWaterMarkPage::SampleClicked(int frameId) {
    if (frameId == frameId_ || !addFrame_->isChecked()) return;
    frameId_ = frameId;
    sheet_->Options().frameId = frameId;
    for (int i = 0; i < 7; ++i) {
        samples_[i]->highlighted = frameId_ == 1616 + i;
        samples_[i]->update();
    }
}

void CWaterMarkPage::OnAddFrame() {
    if (frameId_ == 0) frameId_ = 1616;
    const bool on = addFrame_->isChecked();
    sheet_->Options().addFrame = on;
    sheet_->Options().frameId = frameId_;
    for (int i = 0; i < 7; ++i) {
        samples_[i]->highlighted = on && frameId_ == 1616 + i;
        samples_[i]->update();
    }
}

void CWaterMarkPage::OnWatermark() {
    PrintOptions& o = sheet_->Options();
    o.watermarkOn = watermark_->isChecked();
    const std::string path = WatermarkPatternPath(std::max(0, patterns_->currentIndex()));
    if (path != o.watermarkFile) LoadPreview(path);
}

void CWaterMarkPage::LoadPreview(const std::string& path) {
    std::unique_ptr<CPicture> loaded = LoadPrintPicture(path, sheet_->Picture(), true);
    if (loaded) {
        preview_ = std::move(loaded);
        sheet_->Options().watermarkFile = path;
    }
    previewBox_->update();
}

// --------------------------------------------------------------------- sheet

CPrintSheet::CPrintSheet(const PrintOptions& options, CPicture* picture, PrintEngine& engine,
                         QWidget* parent)
    : QDialog(parent), options_(options), picture_(picture), engine_(engine) {
    setObjectName(QStringLiteral("printSheet"));
    setWindowTitle(Str(IDS_SHEET_PRINT));
    setAccessibleName(Str(IDS_SHEET_PRINT));
    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("printTabs"));
    tabs_->setAccessibleName(PrintSheetText::tr("Pages"));
    printerPage_ = new CPrinterPage(this);
    rescalePage_ = new CRescalePage(this);
    waterMarkPage_ = new CWaterMarkPage(this);
    tabs_->addTab(printerPage_, Str(IDS_PAGE_PRINTER));
    tabs_->addTab(rescalePage_, Str(IDS_PAGE_RESCALE));
    tabs_->addTab(waterMarkPage_, Str(IDS_PAGE_BACKGROUND));

    auto* buttons = new QDialogButtonBox;
    auto* print = Named(new QPushButton(Str(IDS_SHEET_PRINT)), "printButton", Str(IDS_SHEET_PRINT));
    buttons->addButton(print, QDialogButtonBox::ActionRole);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("okButton"));
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(print, &QPushButton::clicked, this, [this] { CloseWith(1074); });
    connect(ok, &QPushButton::clicked, this, [this] { CloseWith(1); });
    connect(cancel, &QPushButton::clicked, this, [this] { done(2); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    printerPage_->Activate();
    connect(tabs_, &QTabWidget::currentChanged, this, &CPrintSheet::OnTabChanged);
}

CPrintSheet::~CPrintSheet() = default;

void CPrintSheet::OnTabChanged(int index) {
    if (index == activeTab_) return;
    auto deactivate = [this](int i) {
        switch (i) {
        case 0: return printerPage_->Deactivate();
        case 1: return rescalePage_->Deactivate();
        default: return waterMarkPage_->Deactivate();
        }
    };
    if (!deactivate(activeTab_)) {
        const QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(activeTab_);
        return;
    }
    activeTab_ = index;
    switch (index) {
    case 0: printerPage_->Activate(); break;
    case 1: rescalePage_->Activate(); break;
    default: waterMarkPage_->Activate(); break;
    }
}

void CPrintSheet::CloseWith(int result) {
    bool ok = true;
    switch (activeTab_) {
    case 0: ok = printerPage_->Deactivate(); break;
    case 1: ok = rescalePage_->Deactivate(); break;
    default: ok = waterMarkPage_->Deactivate(); break;
    }
    // The Background page's choices count even when it was never left.
    if (ok && activeTab_ != 2) waterMarkPage_->Deactivate();
    if (!ok) return;
    if (result == kSheetPrint && engine_.PrintsToFile()) {
        // A PDF file goes into a folder that must be there to take it.
        const QFileInfo folder(QFileInfo(engine_.PortName()).absolutePath());
        if (!folder.isDir() || !folder.isWritable()) {
            OpenWarning(this, Str(IDS_SHEET_PRINT),
                        PrintSheetText::tr("The PDF file cannot be written: the folder %1 does not exist "
                                           "or cannot be written to. Choose another file.")
                            .arg(QDir::toNativeSeparators(folder.filePath())));
            return;
        }
    }
    if (result == kSheetPrint && !options_.poster &&
        PrintRunsOffPaper(options_, engine_.HorzRes(), engine_.VertRes())) {
        AskAboutClipping(this, options_, engine_, [this, result](ClipAnswer answer) {
            if (answer == ClipAnswer::kAnyway) {
                done(result);
            } else if (answer == ClipAnswer::kPoster) {
                // The Rescale page shows the poster's sheets if it cannot be printed.
                rescalePage_->SetPoster(true);
                CloseWith(result);
            }
        })->open();
        return;
    }
    if (options_.poster) {
        const PosterLayout plan = PosterPlan();
        if (!plan.Usable()) {
            OpenWarning(this, Str(IDS_SHEET_PRINT), QString::fromStdString(PosterProblemText(plan)));
            return;
        }
        // Printing more sheets than a poster usually takes: the user says so.
        if (result == kSheetPrint && plan.problem == PosterProblem::kTooManySheets) {
            auto* ask = new QMessageBox(QMessageBox::Question, Str(IDS_SHEET_PRINT),
                                        QString::fromStdString(PosterProblemText(plan)) +
                                            PrintSheetText::tr(" Print them all?"),
                                        QMessageBox::Yes | QMessageBox::No, this);
            ask->setObjectName(QStringLiteral("posterSheetsQuestion"));
            ask->setAttribute(Qt::WA_DeleteOnClose);
            connect(ask, &QMessageBox::finished, this, [this, result](int answer) {
                if (answer == QMessageBox::Yes) done(result);
            });
            ask->open();
            return;
        }
    }
    done(result);
}

QMessageBox* AskAboutClipping(QWidget* parent, const PrintOptions& options, PrintEngine& engine,
                              std::function<void(ClipAnswer)> answered) {
    auto mm = [](int dots, int dpi) { return QString::number(dots * 25.4 / std::max(dpi, 1), 'f', 0); };
    const int dpiX = engine.LogPixelsX(), dpiY = engine.LogPixelsY();
    auto* ask = new QMessageBox(
        QMessageBox::Warning, Str(IDS_SHEET_PRINT),
        PrintSheetText::tr("At this scale the picture (%1 x %2 mm) is larger than what the paper can take "
                       "(%3 x %4 mm): its edges would be cut off. Print it as a poster across several "
                       "sheets, or print only the part that fits?")
            .arg(mm(options.printWidth, dpiX), mm(options.printHeight, dpiY), mm(engine.HorzRes(), dpiX),
                 mm(engine.VertRes(), dpiY)),
        QMessageBox::NoButton, parent);
    ask->setObjectName(QStringLiteral("printLargerThanPaperQuestion"));
    ask->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* poster = ask->addButton(PrintSheetText::tr("Print as &Poster"), QMessageBox::AcceptRole);
    poster->setObjectName(QStringLiteral("printAsPosterButton"));
    QPushButton* anyway = ask->addButton(PrintSheetText::tr("Print &Anyway"), QMessageBox::DestructiveRole);
    anyway->setObjectName(QStringLiteral("printAnywayButton"));
    QPushButton* back = ask->addButton(QMessageBox::Cancel);
    back->setObjectName(QStringLiteral("cancelButton"));
    ask->setDefaultButton(poster);
    ask->setEscapeButton(back);
    QObject::connect(ask, &QMessageBox::finished, ask, [ask, poster, anyway, answered = std::move(answered)] {
        QAbstractButton* clicked = ask->clickedButton();
        answered(clicked == poster ? ClipAnswer::kPoster : clicked == anyway ? ClipAnswer::kAnyway : ClipAnswer::kCancel);
    });
    return ask;
}

void CPrintSheet::RedrawLayouts() {
    for (CLayoutBox* box : findChildren<CLayoutBox*>()) box->update();
    if (rescalePage_) rescalePage_->ShowPosterGrid();
}

PosterLayout CPrintSheet::PosterPlan() const {
    PrintJobRequest request;
    request.picture = picture_;
    request.printRect = Box{0, 0, options_.printWidth, options_.printHeight};
    if (options_.addFrame && options_.frameId >= kFirstFrameId && options_.frameId < kFirstBitmapFrameId)
        request.drawnFrameId = options_.frameId;
    PosterRequest choices;
    choices.overlapMm = options_.posterOverlapMm;
    choices.marks = options_.posterMarks != 0;
    choices.labels = options_.posterLabels != 0;
    return engine_.LayPoster(request, choices);
}
