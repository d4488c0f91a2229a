#include "info/info_sheet_qt.h"

#include <QCoreApplication>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "base/window_title_qt.h"
#include "display/draw_picture_qt.h"
#include "document/document_qt.h"
#include "document/document_window_qt.h"
#include "picture/picture.h"
#include "resources/dialog_texts.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {
// This file's texts for the user, in their own translation context.
struct InfoSheetText {
    Q_DECLARE_TR_FUNCTIONS(InfoSheetText)
};
}  // namespace

namespace {

const QColor kLightGray(192, 192, 192);
// Control 204.
constexpr QSize kThumbnailArea(192, 144);
// The largest reduction the band renderer reads directly.

QString Str(int id) { return QString::fromUtf8(LoadStringById(id)); }
QString Plain(const std::string& text) { return QString::fromStdString(PlainText(text)); }
QString Utf8(const std::string& text) { return QString::fromStdString(text); }

// Object name for tests, accessible name from what the user reads.
template <class W>
W* Named(W* widget, const char* objectName, const QString& accessible) {
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(Plain(accessible.toStdString()));
    return widget;
}

// The labels without an id of their own, in the order the dialog lists them.
QStringList StaticLabels(int dialog) {
    QStringList labels;
    for (const ControlText& entry : AllControlTexts())
        if (entry.dialog == dialog && entry.control == kStaticLabel) labels << QString::fromUtf8(ControlTextOf(entry));
    return labels;
}

// The screen resolution of the window's view: what a picture without a
// resolution of its own is shown at.
int FallbackDpi(QWidget* window, bool horizontal) {
    QScreen* screen = window ? window->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return kDefaultDpi;
    const int dpi = qRound(horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY());
    return dpi >= 1 ? dpi : kDefaultDpi;
}

CPicture* PictureOf(Document* document) {
    CPicture* picture = document ? document->picture() : nullptr;
    return picture && picture->HasHeader() ? picture : nullptr;
}

}  // namespace

// ---------------------------------------------------------------- thumbnail

CThumbnailBox::CThumbnailBox(QSize areaSize, QWidget* parent) : QWidget(parent), area_(areaSize) {
    setFixedSize(sizeHint());
}

QSize CThumbnailBox::sizeHint() const { return area_ + QSize(kBarSpace, kBarSpace); }

void CThumbnailBox::SetPicture(CPicture* picture) {
    picture_ = picture;
    // The area with its bars.
    update(AreaRect().adjusted(-12, -12, 12, 12));
}

int CThumbnailBox::Factor() const {
    if (!picture_) return 1;
    const QRect inner = AreaRect().adjusted(2, 2, -2, -2);
    return info::ThumbnailFactor(picture_->GetWidth(), picture_->GetHeight(), inner.width(), inner.height());
}

QRect CThumbnailBox::PictureRect() const {
    if (!picture_) return {};
    const QRect inner = AreaRect().adjusted(2, 2, -2, -2);
    const int n = Factor();
    const int w = (picture_->GetWidth() + n - 1) / n;
    const int h = (picture_->GetHeight() + n - 1) / n;
    return QRect(inner.left() + (inner.width() - w + 1) / 2, inner.top() + (inner.height() - h + 1) / 2, w, h);
}

void CThumbnailBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect area = AreaRect();
    const QRect inner = area.adjusted(2, 2, -2, -2);
    p.fillRect(inner, kLightGray);
    if (picture_) {
        const QRect at = PictureRect();
        display::DrawPictureReduced(picture_, p, at, Factor());
    }
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(inner.adjusted(-1, -1, 0, 0));

    // The bars: 8 pixels wide, 4 pixels off the area; the dimension lines
    // 8 pixels off it, with ticks across the bars at both ends.
    const int right = area.left() + area.width();
    const int bottom = area.top() + area.height();
    p.fillRect(QRect(right + 4, area.top(), 8, area.height()), kLightGray);
    p.fillRect(QRect(area.left(), bottom + 4, area.width(), 8), kLightGray);
    p.drawLine(right + 8, area.top(), right + 8, bottom - 1);
    p.drawLine(right + 4, area.top(), right + 11, area.top());
    p.drawLine(right + 4, bottom - 1, right + 11, bottom - 1);
    p.drawLine(area.left(), bottom + 8, right - 1, bottom + 8);
    p.drawLine(area.left(), bottom + 4, area.left(), bottom + 11);
    p.drawLine(right - 1, bottom + 4, right - 1, bottom + 11);
}

// -------------------------------------------------------------- system page

CSysInfoPage::CSysInfoPage(QWidget* parent) : CSysInfoPage(info::GatherSystemFacts(), parent) {}

CSysInfoPage::CSysInfoPage(const info::SystemFacts& facts, QWidget* parent) : QWidget(parent) {
    Build(facts);
}

void CSysInfoPage::Build(const info::SystemFacts& facts) {
    setObjectName(QStringLiteral("systemPage"));
    setAccessibleName(Str(IDS_PAGE_SYSTEM));
    const info::SystemTexts t = info::FormatSystemFacts(facts);
    const std::string texts[7] = {t.processor, t.version,    t.swap,     t.currentDirectory,
                                  t.cachePath, t.totalSpace, t.freeSpace};
    static const char* const names[7] = {"processorText", "versionText",    "pageFileText", "currentDirectoryText",
                                         "cachePathText", "totalSpaceText", "freeSpaceText"};
    const QStringList labels = StaticLabels(IDD_SYSTEM_INFO_PAGE);
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < 7; ++i) {
        const QString label = labels.value(i);
        grid->addWidget(new QLabel(label), i, 0, Qt::AlignLeft | Qt::AlignTop);
        auto* value = Named(new QLabel(Utf8(texts[i])), names[i], label);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setTextFormat(Qt::PlainText);
        // Long paths break anywhere rather than widening the sheet.
        value->setWordWrap(true);
        value->setMinimumWidth(260);
        grid->addWidget(value, i, 1, Qt::AlignLeft | Qt::AlignTop);
        values_[i] = value;
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(7, 1);
}

QLabel* CSysInfoPage::Value(int control) const {
    static const int ids[7] = {1503, 1517, 1530, 1537, 1543, 1549, 1554};
    for (int i = 0; i < 7; ++i)
        if (ids[i] == control) return values_[i];
    return nullptr;
}

// ------------------------------------------------------------ document page

QList<QMdiSubWindow*> CDocInfoPage::DocumentWindows(QMdiArea* area) {
    QList<QMdiSubWindow*> windows;
    if (!area) return windows;
    const QList<QMdiSubWindow*> stacked = area->subWindowList(QMdiArea::StackingOrder);
    for (auto it = stacked.rbegin(); it != stacked.rend(); ++it)
        if (DocumentOfWindow(*it) && !(*it)->isHidden()) windows << *it;
    return windows;
}

CDocInfoPage::CDocInfoPage(QMdiArea* area, info::DisplayUnitChoice& unit, QWidget* parent)
    : QWidget(parent), unitChoice_(unit), area_(area) {
    const QList<QMdiSubWindow*> windows = DocumentWindows(area);
    QMdiSubWindow* current = area ? area->currentSubWindow() : nullptr;
    current_ = windows.contains(current) ? current : windows.value(0);
    Build();
}

CDocInfoPage::CDocInfoPage(const QList<InfoDocumentWindow>& windows, info::DisplayUnitChoice& unit,
                           QWidget* parent)
    : QWidget(parent), unitChoice_(unit), given_(windows) {
    const QList<InfoDocumentWindow> live = Windows();
    if (!live.isEmpty()) current_ = live.first().window;
    Build();
}

QList<InfoDocumentWindow> CDocInfoPage::Windows() const {
    QList<InfoDocumentWindow> windows;
    if (area_) {
        for (QMdiSubWindow* window : DocumentWindows(area_)) windows.append({window, DocumentOfWindow(window)});
        return windows;
    }
    for (const InfoDocumentWindow& entry : given_)
        if (entry.window && entry.document) windows << entry;
    return windows;
}

int CDocInfoPage::IndexOfCurrent(const QList<InfoDocumentWindow>& windows) const {
    if (!current_) return -1;
    for (int i = 0; i < windows.size(); ++i)
        if (windows[i].window == current_) return i;
    return -1;
}

void CDocInfoPage::Build() {
    setObjectName(QStringLiteral("documentPage"));
    setAccessibleName(Str(IDS_PAGE_DOCUMENT));

    fileName_ = Named(new QLabel, "fileNameText", Str(IDS_INFO_FILENAME));
    type_ = Named(new QLabel, "imageTypeText", Str(IDS_INFO_IMAGE_TYPE));
    xResolution_ = Named(new QLabel, "xResolutionText", Str(IDS_INFO_RESOLUTION_X));
    yResolution_ = Named(new QLabel, "yResolutionText", Str(IDS_INFO_RESOLUTION_Y));
    size_ = Named(new QLabel, "imageSizeText", Str(IDS_INFO_IMAGE_SIZE));
    width_ = Named(new QLabel, "widthText", InfoSheetText::tr("Width"));
    height_ = Named(new QLabel, "heightText", InfoSheetText::tr("Height"));
    for (QLabel* l : {fileName_, type_, xResolution_, yResolution_, size_, width_, height_})
        l->setTextFormat(Qt::PlainText);
    thumbnail_ = Named(new CThumbnailBox(kThumbnailArea), "thumbnail", InfoSheetText::tr("Thumbnail"));
    const QString findingTitle = InfoSheetText::tr("What the stitch found");
    findingGroup_ = Named(new QGroupBox(findingTitle), "findingGroup", findingTitle);
    finding_ = Named(new QLabel, "findingText", findingTitle);
    finding_->setTextFormat(Qt::PlainText);
    finding_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    finding_->setWordWrap(true);
    (new QVBoxLayout(findingGroup_))->addWidget(finding_);

    unit_ = new QComboBox;
    const QStringList labels = StaticLabels(IDD_DOCUMENT_INFO_PAGE);
    Named(unit_, "unitBox", labels.value(0));
    for (int id : {IDS_UNIT_INCH, IDS_UNIT_CM, IDS_UNIT_PIXEL}) unit_->addItem(Str(id));
    auto* unitText = new QLabel(labels.value(0));
    unitText->setBuddy(unit_);

    const QString previousText = QString::fromUtf8(LoadControlText(IDD_DOCUMENT_INFO_PAGE, 1057));
    const QString nextText = QString::fromUtf8(LoadControlText(IDD_DOCUMENT_INFO_PAGE, 1058));
    previous_ = Named(new QPushButton(previousText), "previousButton", previousText);
    next_ = Named(new QPushButton(nextText), "nextButton", nextText);
    for (QPushButton* b : {previous_, next_}) b->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    for (QLabel* l : {fileName_, type_, xResolution_, yResolution_, size_}) layout->addWidget(l);
    auto* picture = new QGridLayout;
    picture->addWidget(thumbnail_, 0, 0);
    picture->addWidget(height_, 0, 1, Qt::AlignLeft | Qt::AlignVCenter);
    picture->addWidget(width_, 1, 0, Qt::AlignHCenter | Qt::AlignTop);
    picture->setColumnStretch(2, 1);
    layout->addSpacing(6);
    layout->addLayout(picture);
    layout->addWidget(findingGroup_);
    auto* controls = new QHBoxLayout;
    controls->addWidget(unitText);
    controls->addWidget(unit_);
    controls->addStretch(1);
    controls->addWidget(previous_);
    controls->addWidget(next_);
    layout->addLayout(controls);
    layout->addStretch(1);

    unit_->setCurrentIndex(unitChoice_.Get());
    connect(unit_, &QComboBox::currentIndexChanged, this, &CDocInfoPage::OnUnitChanged);
    connect(previous_, &QPushButton::clicked, this, &CDocInfoPage::OnPrevious);
    connect(next_, &QPushButton::clicked, this, &CDocInfoPage::OnNext);
    Fill();
    UpdateButtons();
}

QMdiSubWindow* CDocInfoPage::CurrentWindow() const { return qobject_cast<QMdiSubWindow*>(current_.data()); }

QLabel* CDocInfoPage::Text(int control) const {
    switch (control) {
    case 200: return fileName_;
    case 201: return type_;
    case 202: return xResolution_;
    case 203: return size_;
    case 205: return width_;
    case 206: return height_;
    case 208: return yResolution_;
    default: return nullptr;
    }
}

void CDocInfoPage::Fill() {
    const QList<InfoDocumentWindow> windows = Windows();
    const int index = IndexOfCurrent(windows);
    Document* document = index >= 0 ? windows[index].document.data() : nullptr;
    picture_ = PictureOf(document);
    const QString title = PlainWindowTitle(current_);
    fileName_->setText(Str(IDS_INFO_FILENAME) + title);
    finding_->setText(picture_ ? document->stitchFinding() : QString());
    findingGroup_->setHidden(finding_->text().isEmpty());
    if (!picture_) {
        // A window without a picture: its name and nothing more.
        for (QLabel* l : {type_, xResolution_, yResolution_, size_, width_, height_}) l->clear();
        xDpi_ = yDpi_ = 0;
        thumbnail_->SetPicture(nullptr);
        return;
    }
    xDpi_ = info::UsableDpi(picture_->GetXDpi(), FallbackDpi(current_, true));
    yDpi_ = info::UsableDpi(picture_->GetYDpi(), FallbackDpi(current_, false));
    type_->setText(Str(IDS_INFO_IMAGE_TYPE) + Utf8(info::PictureTypeText(picture_->GetType())));
    xResolution_->setText(Str(IDS_INFO_RESOLUTION_X) + Utf8(info::DpiText(xDpi_)));
    yResolution_->setText(Str(IDS_INFO_RESOLUTION_Y) + Utf8(info::DpiText(yDpi_)));
    size_->setText(Str(IDS_INFO_IMAGE_SIZE) + Utf8(info::ImageSizeText(picture_->Store().GetSize())));
    FillDimensions();
    const QSignalBlocker block(unit_);
    unit_->setCurrentIndex(unitChoice_.Get());
    thumbnail_->SetPicture(picture_);
}

void CDocInfoPage::FillDimensions() {
    if (!picture_) return;
    const int unit = unitChoice_.Get();
    width_->setText(Utf8(info::DimensionText(picture_->GetWidth(), xDpi_, unit)));
    height_->setText(Utf8(info::DimensionText(picture_->GetHeight(), yDpi_, unit)));
}

void CDocInfoPage::UpdateButtons() {
    const QList<InfoDocumentWindow> windows = Windows();
    const int i = IndexOfCurrent(windows);
    const bool hadFocusPrevious = previous_->hasFocus();
    const bool hadFocusNext = next_->hasFocus();
    previous_->setEnabled(i > 0);
    next_->setEnabled(i >= 0 && i + 1 < windows.size());
    // The focus does not stay on a button that went gray.
    if (hadFocusPrevious && !previous_->isEnabled() && next_->isEnabled()) next_->setFocus();
    if (hadFocusNext && !next_->isEnabled() && previous_->isEnabled()) previous_->setFocus();
}

bool CDocInfoPage::Step(int direction) {
    const QList<InfoDocumentWindow> windows = Windows();
    const int i = IndexOfCurrent(windows);
    const int to = i < 0 ? -1 : i + direction;
    if (to < 0 || to >= windows.size()) {
        QApplication::beep();
        emit endReached();
        return false;
    }
    current_ = windows[to].window;
    Fill();
    UpdateButtons();
    return true;
}

bool CDocInfoPage::OnPrevious() { return Step(-1); }
bool CDocInfoPage::OnNext() { return Step(1); }

void CDocInfoPage::OnUnitChanged(int index) {
    if (index < info::kUnitInch || index > info::kUnitPixel) return;
    unitChoice_.Set(index);
    FillDimensions();
}

// -------------------------------------------------------------------- sheet

CInfoSheet::CInfoSheet(QMdiArea* area, QWidget* parent, info::DisplayUnitChoice* unit) : QDialog(parent) {
    Build(CDocInfoPage::DocumentWindows(area).isEmpty() ? nullptr : new CDocInfoPage(area, Unit(unit)));
}

CInfoSheet::CInfoSheet(const QList<InfoDocumentWindow>& windows, QWidget* parent, info::DisplayUnitChoice* unit)
    : QDialog(parent) {
    auto* page = new CDocInfoPage(windows, Unit(unit));
    if (!page->CurrentWidget()) {
        delete page;
        page = nullptr;
    }
    Build(page);
}

info::DisplayUnitChoice& CInfoSheet::Unit(info::DisplayUnitChoice* given) {
    if (given) return *given;
    if (!ownUnit_) ownUnit_ = std::make_unique<info::DisplayUnitChoice>();
    return *ownUnit_;
}

void CInfoSheet::Build(CDocInfoPage* docPage) {
    setObjectName(QStringLiteral("infoSheet"));
    setWindowTitle(Str(IDS_SHEET_INFORMATION));
    setAccessibleName(Str(IDS_SHEET_INFORMATION));
    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("infoTabs"));
    tabs_->setAccessibleName(InfoSheetText::tr("Pages"));
    docPage_ = docPage;
    if (docPage_) tabs_->addTab(docPage_, Str(IDS_PAGE_DOCUMENT));
    sysPage_ = new CSysInfoPage;
    tabs_->addTab(sysPage_, Str(IDS_PAGE_SYSTEM));

    auto* buttons = new QDialogButtonBox;
    ok_ = buttons->addButton(QDialogButtonBox::Ok);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}
