#include "stitch/stitch_sheet_qt.h"

#include <QCoreApplication>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "acquire/xfer_done_qt.h"
#include "base/job_qt.h"
#include "base/message_box.h"
#include "base/workspace_qt.h"
#include "display/draw_picture_qt.h"
#include "document/document_qt.h"
#include "document/document_window_qt.h"
#include "document/file_dialogs_qt.h"
#include "document/import_export_commands.h"
#include "picture/image_store.h"
#include "picture/transform.h"
#include "resources/command_ids.h"
#include "resources/dialog_texts.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "stitch/stitch_icons_qt.h"
#include "stitch/stitch_app_qt.h"
#include "stitch/stitch_run.h"
#include "stitch/stitch_setup.h"
#include "stitch/stitch_tool.h"

namespace {
// This file's texts for the user, in their own translation context.
struct StitchSheetText {
    Q_DECLARE_TR_FUNCTIONS(StitchSheetText)
};
}  // namespace

namespace {

// Stitch-sheet controls keep the texts of their dialog table.
QString DialogText(int dialog, int control) {
    return QString::fromUtf8(LoadControlText(dialog, control));
}
QString StringText(int id) { return QString::fromUtf8(LoadStringById(id)); }
QString CommandText(int id) {
    const char* text = CommandMenuText(id);
    return text ? QString::fromUtf8(text) : QString();
}

// Names a control for tests and screen readers by what the user reads.
template <typename W>
W* Named(W* widget, const char* objectName, const QString& accessible) {
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(QString::fromStdString(PlainText(accessible.toStdString())));
    return widget;
}

QString TypeDisplayName(int type) {
    if (type < 0 || type > ptTrueColor32) return QStringLiteral("?");
    return QString::fromStdString(PlainText(LoadStringById(IDS_TYPE_BLACK_WHITE + type)));
}

// Enables or grays a control; a gray one says why in its tool tip.
void EnableOrExplain(QWidget* control, bool enabled, const QString& whyNot) {
    control->setEnabled(enabled);
    control->setToolTip(enabled ? QString() : whyNot);
}

// The document windows of the main window that hold a picture.
QList<QMdiSubWindow*> PictureWindows() {
    QList<QMdiSubWindow*> windows;
    Workspace* workspace = ApplicationWorkspace();
    QMdiArea* area = workspace ? workspace->documentArea() : nullptr;
    if (!area) return windows;
    for (QMdiSubWindow* window : area->subWindowList())
        if (Document* document = DocumentOfWindow(window); document && document->picture())
            windows << window;
    return windows;
}

constexpr int kThumbWidth = 108;   // 72 dialog units
constexpr int kThumbHeight = 130;  // 80 dialog units

}  // namespace

// ---- Thumbnails ----------------------------------------------------------

int ThumbnailFactor(int width, int height, const QRect& area) {
    if (area.width() <= 0 || area.height() <= 0) return 1;
    int fx = (width + area.width() - 1) / area.width();
    int fy = (height + area.height() - 1) / area.height();
    return std::max({fx, fy, 1});
}

QRect ThumbnailRect(int width, int height, const QRect& area, int factor) {
    int w = std::min(width / factor, area.width());
    int h = std::min(height / factor, area.height());
    int x = (area.width() - w + 1) / 2 + 1;
    int y = (area.height() - h + 1) / 2 + 1;
    return QRect(x, y, w, h);
}

OverlapPreview ComputeOverlapPreview(int side, int percent, int mainWidth, int mainHeight,
                                     int restWidth, int restHeight, const QRect& area) {
    int fm = ThumbnailFactor(mainWidth, mainHeight, area);
    int fr = ThumbnailFactor(restWidth, restHeight, area);
    QRect tm = ThumbnailRect(mainWidth, mainHeight, area, fm);
    QRect tr = ThumbnailRect(restWidth, restHeight, area, fr);
    // The other picture's outline at each thumbnail's scale.
    int grW = tm.width() * fm / fr, grH = tm.height() * fm / fr;
    int gmW = tr.width() * fr / fm, gmH = tr.height() * fr / fm;
    bool across = side == kSideLeft || side == kSideRight;
    int oM = MulDiv(percent, across ? tm.width() : tm.height(), 100);
    int oR = oM * fm / fr;
    auto centreX = [&](int w) { return (area.width() - w + 1) / 2 + 1; };
    auto centreY = [&](int h) { return (area.height() - h + 1) / 2 + 1; };
    // Right and bottom exclusive, as the thumbnails' own rectangles.
    int trRight = tr.x() + tr.width(), trBottom = tr.y() + tr.height();
    int tmRight = tm.x() + tm.width(), tmBottom = tm.y() + tm.height();
    QRect gr, gm;
    switch (side) {
    case kSideLeft:
        gr = QRect(trRight - oR, centreY(grH), grW, grH);
        gm = QRect(tm.x() + oM - gmW, centreY(gmH), gmW, gmH);
        break;
    case kSideTop:
        gr = QRect(centreX(grW), trBottom - oR, grW, grH);
        gm = QRect(centreX(gmW), tm.y() + oM - gmH, gmW, gmH);
        break;
    case kSideBottom:
        gr = QRect(centreX(grW), tr.y() + oR - grH, grW, grH);
        gm = QRect(centreX(gmW), tmBottom - oM, gmW, gmH);
        break;
    default:  // Right
        gr = QRect(tr.x() + oR - grW, centreY(grH), grW, grH);
        gm = QRect(tmRight - oM, centreY(gmH), gmW, gmH);
        break;
    }
    return {gm.adjusted(-1, -1, 1, 1), gr.adjusted(-1, -1, 1, 1)};
}

CThumbnailFrame::CThumbnailFrame(QWidget* parent) : QFrame(parent) {
    setFixedSize(kThumbWidth, kThumbHeight);
}

QImage CThumbnailFrame::Render() const {
    QImage image(size(), QImage::Format_RGB32);
    image.fill(QColor(192, 192, 192));  // the light-grey stock brush
    QRect area = Area();
    if (picture_ && !area.isEmpty()) {
        int factor =
            factor_ > 0 ? factor_ : ThumbnailFactor(picture_->GetWidth(), picture_->GetHeight(), area);
        QRect thumb = ThumbnailRect(picture_->GetWidth(), picture_->GetHeight(), area, factor);
        QPainter painter(&image);
        painter.setClipRect(thumb);
        if (factor <= 16) {
            display::DrawPicture(picture_, QPoint(0, 0), painter, thumb, factor == 1 ? 1 : -factor);
        } else {
            // Beyond the view's smallest zoom: the renderer scales the rest.
            QRect source(0, 0, thumb.width() * factor, thumb.height() * factor);
            display::DrawPictureInto(picture_, source, painter, QRectF(thumb));
        }
    }
    {
        // A recessed one-pixel border around the area.
        QPainter painter(&image);
        QRect r = rect();
        painter.setPen(QColor(128, 128, 128));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(Qt::white);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    }
    if (!outline_.isEmpty()) {
        // The outline inverts the pixels under it, clipped to the area.
        auto invert = [&](int x, int y) {
            if (!area.contains(x, y)) return;
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            line[x] ^= 0x00FFFFFF;
        };
        int l = outline_.left(), t = outline_.top();
        int r = outline_.left() + outline_.width() - 1, b = outline_.top() + outline_.height() - 1;
        for (int x = l; x <= r; ++x) {
            invert(x, t);
            if (b != t) invert(x, b);
        }
        for (int y = t + 1; y < b; ++y) {
            invert(l, y);
            if (r != l) invert(r, y);
        }
    }
    return image;
}

void CThumbnailFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, Render());
}

// ---- Image pages ---------------------------------------------------------

CStitchPage::CStitchPage(CStitchSheet* sheet, int index) : sheet_(sheet), index_(index) {
    setObjectName(index == 0 ? QStringLiteral("mainImagePage") : QStringLiteral("restImagePage"));
    setAccessibleName(StringText(index == 0 ? IDS_PAGE_MAIN_IMAGE : IDS_PAGE_REST_IMAGE));
    thumb_ = Named(new CThumbnailFrame(this), "thumbnail",
                   StringText(index == 0 ? IDS_PAGE_MAIN_IMAGE : IDS_PAGE_REST_IMAGE) + StitchSheetText::tr(" thumbnail"));
    // Labels of the "Main Image" template in order: Image, Type:, Size:, Resolution:.
    QStringList labels;
    for (const ControlText& entry : AllControlTexts())
        if (entry.dialog == IDD_STITCH_PAGE && entry.control == kStaticLabel)
            labels << QString::fromUtf8(ControlTextOf(entry));
    auto* group = new QGroupBox(labels.value(0), this);
    auto* grid = new QGridLayout(group);
    auto value = [&](int id, const char* name) {
        return Named(new QLabel(DialogText(IDD_STITCH_PAGE, id), group), name,
                     DialogText(IDD_STITCH_PAGE, id));
    };
    type_ = value(1548, "typeValue");
    size_ = value(1553, "sizeValue");
    resolution_ = value(1557, "resolutionValue");
    QLabel* values[] = {type_, size_, resolution_};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(labels.value(i + 1), group);
        label->setBuddy(values[i]);
        values[i]->setAccessibleName(PlainText(labels.value(i + 1).toStdString()).c_str());
        grid->addWidget(label, i, 0);
        grid->addWidget(values[i], i, 1);
    }
    grid->setColumnStretch(1, 1);

    auto button = [&](int id, const char* name) {
        QString text = DialogText(IDD_STITCH_PAGE, id);
        return Named(new QPushButton(text, this), name, text);
    };
    scan_ = button(1060, "scanButton");
    import_ = button(1079, "importButton");
    rotate_ = button(1063, "rotateButton");
    // Scanning comes from its own subsystem; without it the button stays off.
    EnableOrExplain(scan_, ScanAvailable(), StitchSheetText::tr("No scanner library was found on this system."));
    rotate_->setEnabled(false);
    connect(scan_, &QPushButton::clicked, this, &CStitchPage::OnScan);
    connect(import_, &QPushButton::clicked, this, &CStitchPage::OnImport);
    connect(rotate_, &QPushButton::clicked, this, &CStitchPage::OnRotateButton);
    // The pictures already open in the main window.
    openPicture_ = Named(new QPushButton(StitchSheetText::tr("&Use Open Picture"), this), "useOpenPictureButton",
                         StitchSheetText::tr("&Use Open Picture"));
    openPictureMenu_ = new QMenu(this);
    openPictureMenu_->setObjectName(QStringLiteral("openPictureMenu"));
    openPicture_->setMenu(openPictureMenu_);
    connect(openPictureMenu_, &QMenu::aboutToShow, this, &CStitchPage::FillOpenPictureMenu);

    rotateMenu_ = new QMenu(this);
    rotateMenu_->setObjectName(QStringLiteral("rotateMenu"));
    struct Item {
        int command;
        const char* name;
        RotateIcon icon;
    };
    const Item items[] = {{ID_PAGE_ROTATE_RIGHT, "R90", RotateIcon::Clockwise90},
                          {ID_PAGE_ROTATE_LEFT, "L90", RotateIcon::Counterclockwise90},
                          {ID_PAGE_ROTATE_HALF, "180", RotateIcon::Clockwise180}};
    for (const Item& item : items) {
        QAction* action = rotateMenu_->addAction(RotateMenuIcon(item.icon),
                                                 CommandText(item.command));
        action->setObjectName(QString::fromLatin1(item.name));
        int command = item.command;
        connect(action, &QAction::triggered, this, [this, command] { Rotate(command); });
    }
    rotateMenu_->setMinimumWidth(200);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(scan_);
    buttons->addWidget(import_);
    buttons->addWidget(openPicture_);
    buttons->addWidget(rotate_);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(thumb_, 0, Qt::AlignTop);
    layout->addWidget(group, 1, Qt::AlignTop);
    layout->addLayout(buttons);
}

CStitchPage::~CStitchPage() = default;

void CStitchPage::TakePicture(std::unique_ptr<CPicture> picture) {
    if (!picture) return;
    picture_ = std::move(picture);
    beforeDeskew_.reset();
    UpdateInfo();
    UpdateStitchButton();
    sheet_->PicturesChanged();
}

void CStitchPage::SwapPictures(CStitchPage& other) {
    std::swap(picture_, other.picture_);
    std::swap(beforeDeskew_, other.beforeDeskew_);
    UpdateInfo();
    other.UpdateInfo();
}

bool CStitchPage::ReplacePicture(CPicture* old, std::unique_ptr<CPicture> replacement) {
    if (!old || (old != picture_.get() && old != beforeDeskew_.get())) return false;
    if (replacement) {
        if (!beforeDeskew_) beforeDeskew_ = std::move(picture_);
        picture_ = std::move(replacement);
    } else if (beforeDeskew_) {
        picture_ = std::move(beforeDeskew_);
    }
    UpdateInfo();
    return true;
}

void CStitchPage::UpdateStitchButton() {
    bool both = sheet_->page(0)->picture() && sheet_->page(1)->picture();
    EnableOrExplain(sheet_->stitchButton(), both,
                    StitchSheetText::tr("Both the Main Image and the Rest Image page need a picture."));
    rotate_->setEnabled(picture_ != nullptr);
}

void CStitchPage::FillOpenPictureMenu() {
    openPictureMenu_->clear();
    for (QMdiSubWindow* window : PictureWindows()) {
        QString title = window->windowTitle();
        title.replace(QLatin1String("[*]"), QString()).replace(u'&', QLatin1String("&&"));
        QAction* action = openPictureMenu_->addAction(title);
        QPointer<QMdiSubWindow> source(window);
        connect(action, &QAction::triggered, this, [this, source] {
            Document* document = source ? DocumentOfWindow(source) : nullptr;
            if (!document || !document->picture()) return;
            // A copy: the page's picture is the stitch's to convert and turn.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            std::unique_ptr<CPicture> copy = CPicture::Duplicate(document->picture(), kStoreAny);
            QApplication::restoreOverrideCursor();
            if (!copy) {
                ShowMessageById(IDS_OUT_OF_MEMORY);
                return;
            }
            TakePicture(std::move(copy));
        });
    }
}

void CStitchPage::UpdateInfo() {
    if (picture_) {
        type_->setText(TypeDisplayName(picture_->GetType()));
        size_->setText(QString::asprintf("%d x %d", picture_->GetWidth(), picture_->GetHeight()));
        resolution_->setText(QString::asprintf("%d DPI", picture_->GetXDpi()));
    } else {
        for (QLabel* label : {type_, size_, resolution_}) label->setText(QStringLiteral("?"));
    }
    rotate_->setEnabled(picture_ != nullptr);
    thumb_->SetPicture(picture_.get());
    EnableOrExplain(openPicture_, !PictureWindows().isEmpty(),
                    StitchSheetText::tr("No picture is open in the main window."));
}

bool CStitchPage::Rotate(int command) {
    if (!picture_) return false;
    TransformOp op = command == ID_PAGE_ROTATE_LEFT    ? TransformOp::RotateLeft
                     : command == ID_PAGE_ROTATE_RIGHT ? TransformOp::RotateRight
                                                       : TransformOp::RotateHalf;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TransformResult result = TransformPicture(picture_, op, true);
    QApplication::restoreOverrideCursor();
    if (result == kTransformFailed) ShowMessageById(IDS_OUT_OF_MEMORY);
    if (result != kTransformDone) return false;
    beforeDeskew_.reset();
    UpdateInfo();
    sheet_->PicturesChanged();
    return true;
}

void CStitchPage::OnImport() {
    OpenDialogSetup setup;
    if (!PrepareOpenDialog(setup, OpenDialogKind::Import)) return;
    // The sheet is disabled while the dialog is open; the page takes the
    // picture once the user has chosen its file.
    sheet_->setEnabled(false);
    AskOpenFile(sheet_, QString::fromStdString(PlainText(LoadControlText(IDD_STITCH_PAGE, 1079))),
                QString::fromStdString(setup.initialDirectory), QString::fromStdString(setup.fileName),
                QtFilters(setup.filter), setup.filterPosition, this, [this](const FileChoice& choice) {
                    std::unique_ptr<CPicture> picture;
                    if (!choice.path.isEmpty()) {
                        QApplication::setOverrideCursor(Qt::WaitCursor);
                        picture = ImportChosenFile(choice.path.toStdString(), choice.filterPosition);
                        QApplication::restoreOverrideCursor();
                    }
                    sheet_->setEnabled(true);
                    sheet_->activateWindow();
                    if (picture) TakePicture(std::move(picture));
                });
}

void CStitchPage::OnScan() { StartScanForPage(this); }

void CStitchPage::OnRotateButton() {
    if (!picture_) return;
    rotateMenu_->popup(rotate_->mapToGlobal(rotate_->rect().bottomLeft()));
}

bool CStitchPage::event(QEvent* event) {
    if (event->type() == TwainXferDoneEvent::kType) {
        TakePicture(static_cast<TwainXferDoneEvent*>(event)->TakePicture());
        return true;
    }
    return QWidget::event(event);
}

void CStitchPage::showEvent(QShowEvent* event) {
    UpdateInfo();
    QWidget::showEvent(event);
}

// ---- Stitch Image page ---------------------------------------------------

CStitchImage::CStitchImage(CStitchSheet* sheet, int side, int overlapPercent)
    : sheet_(sheet), side_(std::int16_t(side)), overlapPercent_(std::int16_t(overlapPercent)) {
    setObjectName(QStringLiteral("stitchImagePage"));
    setAccessibleName(StringText(IDS_PAGE_STITCH_IMAGE));
    QStringList labels;  // Main Image, Rest Image, Stitch Control, Main Image, Overlap..., Stitch Method
    for (const ControlText& entry : AllControlTexts())
        if (entry.dialog == IDD_STITCH_IMAGE_PAGE && entry.control == kStaticLabel)
            labels << QString::fromUtf8(ControlTextOf(entry));
    auto text = [](int id) { return DialogText(IDD_STITCH_IMAGE_PAGE, id); };

    auto thumbGroup = [&](const QString& title, CThumbnailFrame*& thumb, QPushButton*& deskew,
                          int deskewId, const char* thumbName, const char* deskewName) {
        auto* group = new QGroupBox(title, this);
        auto* box = new QVBoxLayout(group);
        thumb = Named(new CThumbnailFrame(group), thumbName, title + StitchSheetText::tr(" thumbnail"));
        deskew = Named(new QPushButton(text(deskewId), group), deskewName,
                       text(deskewId) + QLatin1Char(' ') + title);
        box->addWidget(thumb, 0, Qt::AlignHCenter);
        box->addWidget(deskew);
        return group;
    };
    QGroupBox* mainGroup =
        thumbGroup(labels.value(0), mainThumb_, deskewMain_, 1057, "mainThumbnail", "deskewMain");
    QGroupBox* restGroup =
        thumbGroup(labels.value(1), restThumb_, deskewRest_, 1058, "restThumbnail", "deskewRest");
    connect(deskewMain_, &QPushButton::clicked, this, [this] { sheet_->StartDeskew(0); });
    connect(deskewRest_, &QPushButton::clicked, this, [this] { sheet_->StartDeskew(1); });

    auto* control = new QGroupBox(labels.value(2), this);
    auto* grid = new QGridLayout(control);
    sides_ = new QButtonGroup(this);
    const int sideIds[] = {1067, 1068, 1069, 1071};
    const char* sideNames[] = {"sideLeft", "sideTop", "sideRight", "sideBottom"};
    for (int s = 0; s < 4; ++s) {
        auto* radio = Named(new QRadioButton(text(sideIds[s]), control), sideNames[s],
                            text(sideIds[s]));
        sides_->addButton(radio, s);
    }
    auto* mainLabel = new QLabel(labels.value(3), control);
    mainLabel->setAlignment(Qt::AlignCenter);
    mainLabel->setFrameShape(QFrame::Box);
    grid->addWidget(sides_->button(kSideTop), 0, 1, Qt::AlignHCenter);
    grid->addWidget(sides_->button(kSideLeft), 1, 0);
    grid->addWidget(mainLabel, 1, 1);
    grid->addWidget(sides_->button(kSideRight), 1, 2);
    grid->addWidget(sides_->button(kSideBottom), 2, 1, Qt::AlignHCenter);
    auto* overlapLabel = new QLabel(labels.value(4), control);
    overlapBar_ = Named(new QScrollBar(Qt::Horizontal, control), "overlapBar", labels.value(4));
    overlapLabel->setBuddy(overlapBar_);
    // Line steps by 1, page steps by a fifth of the range.
    overlapBar_->setRange(1, 100);
    overlapBar_->setSingleStep(1);
    overlapBar_->setPageStep((100 - 1) / 5);
    overlapValue_ = Named(new QLabel(control), "overlapValue", StitchSheetText::tr("Overlap in per cent"));
    overlapValue_->setMinimumWidth(overlapValue_->fontMetrics().horizontalAdvance(QStringLiteral("100 %")));
    overlapValue_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(overlapLabel, 3, 0, 1, 3);
    auto* overlapLine = new QHBoxLayout;
    overlapLine->addWidget(overlapBar_, 1);
    overlapLine->addWidget(overlapValue_);
    grid->addLayout(overlapLine, 4, 0, 1, 3);

    auto* methodGroup = new QGroupBox(labels.value(5), this);
    auto* methodBox = new QVBoxLayout(methodGroup);
    methods_ = new QButtonGroup(this);
    const int methodIds[] = {kMethodManual, kMethodSemiAuto, kMethodAuto};
    const char* methodNames[] = {"methodManual", "methodSemiAuto", "methodAuto"};
    for (int m = 0; m < 3; ++m) {
        auto* radio = Named(new QRadioButton(text(methodIds[m]), methodGroup), methodNames[m],
                            text(methodIds[m]));
        methods_->addButton(radio, methodIds[m]);
        methodBox->addWidget(radio);
    }
    swap_ = Named(new QCheckBox(text(1077), this), "swapBox", text(1077));

    auto* right = new QVBoxLayout;
    right->addWidget(control);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(methodGroup);
    bottomRow->addWidget(swap_, 0, Qt::AlignBottom);
    right->addLayout(bottomRow);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(mainGroup, 0, Qt::AlignTop);
    layout->addWidget(restGroup, 0, Qt::AlignTop);
    layout->addLayout(right, 1);

    // Initialisation: the percentage in range, the bar and the side follow.
    overlapPercent_ = std::int16_t(std::clamp<int>(overlapPercent_, 1, 100));
    if (side_ < kSideLeft || side_ > kSideBottom) side_ = kSideRight;
    overlapBar_->setValue(overlapPercent_);
    overlapValue_->setText(QStringLiteral("%1 %").arg(overlapPercent_));
    sides_->button(side_)->setChecked(true);
    methods_->button(method_)->setChecked(true);

    connect(sides_, &QButtonGroup::idClicked, this, &CStitchImage::SetSide);
    connect(methods_, &QButtonGroup::idClicked, this, &CStitchImage::SetMethod);
    connect(overlapBar_, &QScrollBar::valueChanged, this, &CStitchImage::SetOverlapPercent);
    connect(swap_, &QCheckBox::clicked, this, [this] {
        sheet_->page(0)->SwapPictures(*sheet_->page(1));
        Activate();
    });
}

QAbstractButton* CStitchImage::sideButton(int side) const { return sides_->button(side); }
QAbstractButton* CStitchImage::methodButton(int method) const { return methods_->button(method); }

void CStitchImage::SetSide(int side) {
    if (side < kSideLeft || side > kSideBottom) return;
    side_ = std::int16_t(side);
    if (!sides_->button(side)->isChecked()) sides_->button(side)->setChecked(true);
    Activate();
}

void CStitchImage::SetOverlapPercent(int percent) {
    percent = std::clamp(percent, 1, 100);
    if (overlapBar_->value() != percent) overlapBar_->setValue(percent);
    overlapValue_->setText(QStringLiteral("%1 %").arg(percent));
    if (percent == overlapPercent_) return;
    overlapPercent_ = std::int16_t(percent);
    UpdatePreview();
}

void CStitchImage::SetMethod(int method) {
    QAbstractButton* button = methods_->button(method);
    if (!button || !button->isEnabled()) return;
    method_ = method;
    if (!button->isChecked()) button->setChecked(true);
}

void CStitchImage::Activate() {
    CPicture* main = sheet_->page(0)->picture();
    CPicture* rest = sheet_->page(1)->picture();
    EnableOrExplain(deskewMain_, main != nullptr, StitchSheetText::tr("The Main Image page has no picture yet."));
    EnableOrExplain(deskewRest_, rest != nullptr, StitchSheetText::tr("The Rest Image page has no picture yet."));
    UpdateThumbnails();
    if (!main) {
        UpdatePreview();
        return;
    }
    bool search = rest && SearchMethodsAllowed(main->GetType(), side_, main->GetWidth(),
                                               main->GetHeight(), rest->GetWidth(),
                                               rest->GetHeight());
    QString whyNot = StitchSheetText::tr("The Rest Image page has no picture yet.");
    if (rest && !search) {
        // The engine's own reason, as the command line gives it.
        StitchRequest request;
        request.side = side_;
        request.method = StitchMethod::Auto;
        std::string reason;
        CheckStitchRequest(*main, *rest, request, &reason);
        whyNot = QString::fromStdString(reason) + QStringLiteral(".");
        if (sheet_->page(0)->beforeDeskew() || sheet_->page(1)->beforeDeskew())
            whyNot += StitchSheetText::tr(" A deskew turns a picture and makes it larger.");
        whyNot += StitchSheetText::tr(" Manual placement joins any two pictures.");
    }
    EnableOrExplain(methods_->button(kMethodSemiAuto), search, whyNot);
    EnableOrExplain(methods_->button(kMethodAuto), search, whyNot);
    if (!search) method_ = kMethodManual;
    methods_->button(method_)->setChecked(true);
    UpdatePreview();
}

void CStitchImage::UpdateThumbnails() {
    CPicture* main = sheet_->page(0)->picture();
    CPicture* rest = sheet_->page(1)->picture();
    mainThumb_->SetPicture(main);
    restThumb_->SetPicture(rest);
    // Both present: one common factor so that the two are to scale.
    int factor = 0;
    if (main && rest) {
        QRect area = mainThumb_->Area();
        factor = std::max(ThumbnailFactor(main->GetWidth(), main->GetHeight(), area),
                          ThumbnailFactor(rest->GetWidth(), rest->GetHeight(), area));
    }
    mainThumb_->SetFactor(factor);
    restThumb_->SetFactor(factor);
}

void CStitchImage::UpdatePreview() {
    CPicture* main = sheet_->page(0)->picture();
    CPicture* rest = sheet_->page(1)->picture();
    if (!main || !rest) {
        mainThumb_->SetOutline({});
        restThumb_->SetOutline({});
        return;
    }
    OverlapPreview preview =
        ComputeOverlapPreview(side_, overlapPercent_, main->GetWidth(), main->GetHeight(),
                              rest->GetWidth(), rest->GetHeight(), mainThumb_->Area());
    mainThumb_->SetOutline(preview.mainOutline);
    restThumb_->SetOutline(preview.restOutline);
}

// ---- The sheet -----------------------------------------------------------

CStitchSheet::CStitchSheet(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("stitchSheet"));
    setWindowTitle(QString::fromStdString(PlainText(LoadStringById(IDS_SHEET_STITCH))));
    setAccessibleName(windowTitle());
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("stitchTabs"));
    tabs_->setAccessibleName(StitchSheetText::tr("Pages"));
    // The buttons first: the pages' constructors look at "&Stitch".
    stitch_ = Named(new QPushButton(CommandText(ID_APPLY_NOW), this),
                    "stitchButton", CommandText(ID_APPLY_NOW));
    cancel_ = Named(new QPushButton(CommandText(IDCANCEL), this),
                    "cancelButton", CommandText(IDCANCEL));
    // ">>" says nothing read aloud: named by what it does.
    next_ = Named(new QPushButton(QStringLiteral(">>"), this), "nextButton", StitchSheetText::tr("Next Page"));
    for (QPushButton* b : {stitch_, cancel_, next_}) {
        b->setFixedSize(80, 24);
        b->setAutoDefault(false);
    }
    stitch_->setEnabled(false);
    main_ = new CStitchPage(this, 0);
    rest_ = new CStitchPage(this, 1);
    image_ = new CStitchImage(this, StitchFeature::Of().lastSide, StitchFeature::Of().lastOverlapPercent);
    tabs_->addTab(main_, StringText(IDS_PAGE_MAIN_IMAGE));
    tabs_->addTab(rest_, StringText(IDS_PAGE_REST_IMAGE));
    tabs_->addTab(image_, StringText(IDS_PAGE_STITCH_IMAGE));
    main_->UpdateStitchButton();

    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (tabs_->widget(index) == image_) image_->Activate();
    });
    connect(stitch_, &QPushButton::clicked, this, &CStitchSheet::OnStitch);
    connect(cancel_, &QPushButton::clicked, this, &CStitchSheet::OnClose);
    connect(next_, &QPushButton::clicked, this, &CStitchSheet::OnNext);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addWidget(stitch_);
    buttons->addWidget(cancel_);
    buttons->addWidget(next_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(buttons);
    StitchFeature::Of().sheet = this;
}

CStitchSheet::~CStitchSheet() {
    // A stitch that still reads the pages' pictures ends before they go.
    qDeleteAll(findChildren<Job*>(Qt::FindDirectChildrenOnly));
    SetStitchIdle(1);
    if (StitchFeature* feature = StitchFeature::Existing(); feature && feature->sheet == this)
        feature->sheet = nullptr;
}

void CStitchSheet::PicturesChanged() {
    main_->UpdateStitchButton();
    rest_->UpdateStitchButton();
    // The Stitch Image page looks at the pictures when it is activated.
    if (tabs_->currentWidget() == image_) image_->Activate();
}

void CStitchSheet::ReplacePicture(CPicture* old, std::unique_ptr<CPicture> replacement) {
    for (CStitchPage* page : {main_, rest_}) {
        if (page->picture() == old || (old && page->beforeDeskew() == old)) {
            page->ReplacePicture(old, std::move(replacement));
            break;
        }
    }
    PicturesChanged();
}

void CStitchSheet::ShowAgain() {
    show();
    raise();
    activateWindow();
    PicturesChanged();
}

void CStitchSheet::ReturnToStitchPage() {
    SetStitchIdle(0);
    tabs_->setCurrentWidget(image_);
    ShowAgain();
}

void CStitchSheet::StartDeskew(int index) {
    CStitchPage* p = page(index);
    CPicture* source = p->beforeDeskew() ? p->beforeDeskew() : p->picture();
    if (!source) return;
    if (StartDeskewTool(this, source)) hide();
}

void CStitchSheet::Destroy() {
    SetStitchIdle(1);
    hide();
    if (StitchFeature* feature = StitchFeature::Existing(); feature && feature->sheet == this)
        feature->sheet = nullptr;
    deleteLater();
}

void CStitchSheet::OnNext() { tabs_->setCurrentIndex((tabs_->currentIndex() + 1) % tabs_->count()); }

void CStitchSheet::OnClose() {
    SetStitchIdle(1);
    close();
}

void CStitchSheet::closeEvent(QCloseEvent* event) {
    SetStitchIdle(1);
    QDialog::closeEvent(event);
}

void CStitchSheet::keyPressEvent(QKeyEvent* event) {
    // Escape closes the sheet as Cancel does (the dialog's own handling would
    // only hide it).
    if (event->key() == Qt::Key_Escape) {
        OnClose();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CStitchSheet::OnStitch() {
    CPicture* main = main_->picture();
    CPicture* rest = rest_->picture();
    if (!main || !rest) return;
    if (!StitchNeedsLowMemory(main, rest)) {
        StartStitch(false);
        return;
    }
    // The stitch starts from the answer; the sheet stays as it is meanwhile.
    auto* question = new QMessageBox(QMessageBox::Question, windowTitle(), StringText(IDS_STITCH_TAKES_LONG),
                                     QMessageBox::Yes | QMessageBox::No, this);
    question->setDefaultButton(QMessageBox::No);
    question->setAttribute(Qt::WA_DeleteOnClose);
    connect(question, &QMessageBox::finished, this, [this, question] {
        const bool yes = question->clickedButton() == question->button(QMessageBox::Yes);
        if (yes && main_->picture() && rest_->picture()) StartStitch(true);
    });
    question->open();
}

void CStitchSheet::StartStitch(bool lowMemory) {
    SetStitchIdle(1);
    // The undeskewed pictures are not needed by a placed stitch; an Auto
    // stitch that is refused gives the sheet back with them.
    if (image_->method() != kMethodAuto) {
        main_->DropBeforeDeskew();
        rest_->DropBeforeDeskew();
    }

    StitchRequest request;
    request.side = image_->side();
    request.method = MethodOfControl(image_->method());
    request.overlapPercent = image_->overlapPercent();
    request.lowMemory = lowMemory;
    StitchFeature::Of().lastSide = request.side;
    StitchFeature::Of().lastOverlapPercent = request.overlapPercent;

    hide();
    cancel_->setText(StringText(IDS_CLOSE));
    cancel_->setAccessibleName(StringText(IDS_CLOSE));
    RunSheetStitch(this, request);
}

CStitchSheet* OpenStitchSheet(QWidget* parent) {
    auto* sheet = new CStitchSheet(parent);
    sheet->show();
    SetStitchIdle(0);
    return sheet;
}

CStitchSheet* CurrentStitchSheet() {
    StitchFeature* feature = StitchFeature::Existing();
    return feature ? feature->sheet.data() : nullptr;
}

StitchMethod MethodOfControl(int control) {
    switch (control) {
    case kMethodManual: return StitchMethod::Manual;
    case kMethodSemiAuto: return StitchMethod::SemiAuto;
    default: return StitchMethod::Auto;
    }
}
