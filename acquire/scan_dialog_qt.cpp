// The scanner's dialogs over the device's option descriptors.
#include "acquire/scan_dialog_qt.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <memory>

#include "base/job_qt.h"
#include "platform/profile.h"
#include "resources/string_ids.h"

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

void Name(QWidget* w, const char* objectName, const QString& accessible) {
    w->setObjectName(QString::fromLatin1(objectName));
    w->setAccessibleName(accessible);
}

// Millimetres per unit: millimetres, centimetres, inches.
constexpr double kUnitMm[] = {1.0, 10.0, 25.4};
const char* const kUnitNames[] = {"mm", "cm", "inch"};

}  // namespace

CSourceChooserDialog::CSourceChooserDialog(const std::vector<twain::DeviceInfo>& devices,
                                           const std::string& current, QWidget* parent)
    : QDialog(parent), devices_(devices) {
    setWindowTitle(tr("Select Scanner"));
    setObjectName("selectSourceDialog");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Sources:"), this));
    list_ = new QListWidget(this);
    Name(list_, "sourceList", tr("Sources"));
    for (const auto& d : devices_) {
        auto* item = new QListWidgetItem(Text(d.vendor + " " + d.model + "  (" + d.name + ")"), list_);
        if (d.name == current) list_->setCurrentItem(item);
    }
    if (!list_->currentItem() && list_->count()) list_->setCurrentRow(0);
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* select = buttons->addButton(tr("Select"), QDialogButtonBox::AcceptRole);
    Name(select, "selectButton", tr("Select"));
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    Name(cancel, "cancelButton", tr("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(buttons);
}

std::string CSourceChooserDialog::chosen() const {
    const int row = list_->currentRow();
    return row >= 0 && row < int(devices_.size()) ? devices_[std::size_t(row)].name : std::string();
}

CScanPreview::CScanPreview(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 200);
    setCursor(Qt::CrossCursor);
    Name(this, "scanPreview", tr("Preview of the scan area"));
}

void CScanPreview::setBed(double w, double h) {
    bedW_ = std::max(w, 1.0);
    bedH_ = std::max(h, 1.0);
    update();
}

void CScanPreview::setImage(const QImage& image) {
    image_ = image;
    update();
}

void CScanPreview::setArea(const QRectF& area) {
    area_ = area;
    update();
}

QRectF CScanPreview::bedRect() const {
    const double scale = std::min((width() - 2) / bedW_, (height() - 2) / bedH_);
    return QRectF(1, 1, bedW_ * scale, bedH_ * scale);
}

QPointF CScanPreview::toMm(const QPointF& p) const {
    const QRectF bed = bedRect();
    const double x = (p.x() - bed.left()) / bed.width() * bedW_;
    const double y = (p.y() - bed.top()) / bed.height() * bedH_;
    return {std::clamp(x, 0.0, bedW_), std::clamp(y, 0.0, bedH_)};
}

void CScanPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF bed = bedRect();
    painter.fillRect(rect(), palette().window());
    painter.fillRect(bed, Qt::white);
    if (!image_.isNull()) painter.drawImage(bed, image_);
    painter.setPen(Qt::darkGray);
    painter.drawRect(bed);
    if (!area_.isEmpty()) {
        const double sx = bed.width() / bedW_, sy = bed.height() / bedH_;
        const QRectF r(bed.left() + area_.left() * sx, bed.top() + area_.top() * sy, area_.width() * sx,
                       area_.height() * sy);
        painter.setPen(QPen(Qt::blue, 1, Qt::DashLine));
        painter.setBrush(QColor(0, 0, 255, 30));
        painter.drawRect(r);
    }
}

void CScanPreview::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    dragging_ = true;
    anchor_ = toMm(e->position());
}

void CScanPreview::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_) return;
    setArea(QRectF(anchor_, toMm(e->position())).normalized());
}

void CScanPreview::mouseReleaseEvent(QMouseEvent* e) {
    if (!dragging_ || e->button() != Qt::LeftButton) return;
    dragging_ = false;
    const QRectF r = QRectF(anchor_, toMm(e->position())).normalized();
    if (r.width() >= 1 && r.height() >= 1) {
        setArea(r);
        emit areaDrawn(r);
    }
}

CScanDialog::CScanDialog(twain::ScanDevice& device, QWidget* parent) : QDialog(parent), device_(device) {
    setWindowTitle(tr("Scan - %1").arg(Text(device.Name())));
    setObjectName("scanDialog");
    setModal(true);
    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* form = new QFormLayout;
    left->addLayout(form);
    outer->addLayout(left);

    twain::OptionDescriptor d;
    mode_ = new QComboBox(this);
    Name(mode_, "modeBox", tr("Mode"));
    if (device_.Describe("mode", d) && d.constraint == twain::Constraint::Strings) {
        for (const auto& s : d.strings) mode_->addItem(Text(s));
        std::string value;
        if (device_.GetString("mode", value)) mode_->setCurrentText(Text(value));
        mode_->setEnabled(d.active && d.settable);
        form->addRow(tr("&Mode:"), mode_);
    } else {
        mode_->hide();
    }

    resolution_ = new QComboBox(this);
    Name(resolution_, "resolutionBox", tr("Resolution"));
    resolution_->setEditable(true);
    if (device_.Describe("resolution", d)) {
        std::vector<double> values = d.values;
        if (d.constraint == twain::Constraint::Range)
            for (double v : {50.0, 75.0, 100.0, 150.0, 200.0, 300.0, 400.0, 600.0, 1200.0})
                if (v >= d.minimum && v <= d.maximum) values.push_back(v);
        for (double v : values) resolution_->addItem(QString::number(v));
        double value = 0;
        if (device_.GetNumber("resolution", value)) resolution_->setCurrentText(QString::number(std::lround(value)));
        form->addRow(tr("&Resolution (dpi):"), resolution_);
    } else {
        resolution_->hide();
    }

    depth_ = new QComboBox(this);
    Name(depth_, "depthBox", tr("Bit depth"));
    if (device_.Describe("depth", d) && d.constraint == twain::Constraint::List) {
        for (double v : d.values) depth_->addItem(QString::number(v));
        double value = 0;
        if (device_.GetNumber("depth", value)) depth_->setCurrentText(QString::number(value));
        form->addRow(tr("&Bit depth:"), depth_);
    } else {
        depth_->hide();
    }

    source_ = new QComboBox(this);
    Name(source_, "sourceBox", tr("Source"));
    if (device_.Describe("source", d) && d.constraint == twain::Constraint::Strings) {
        for (const auto& s : d.strings) source_->addItem(Text(s));
        std::string value;
        if (device_.GetString("source", value)) source_->setCurrentText(Text(value));
        form->addRow(tr("S&ource:"), source_);
    } else {
        source_->hide();
    }

    unit_ = new QComboBox(this);
    Name(unit_, "unitBox", tr("Unit"));
    for (const char* u : kUnitNames) unit_->addItem(tr(u));
    form->addRow(tr("&Unit:"), unit_);

    // The bed: the ranges of the bottom-right corner.
    twain::OptionDescriptor bx, by;
    const bool hasArea = device_.Describe("br-x", bx) && device_.Describe("br-y", by) &&
                         bx.constraint == twain::Constraint::Range && by.constraint == twain::Constraint::Range &&
                         bx.unit == twain::OptionUnit::Mm;
    bedW_ = hasArea ? bx.maximum : 0;
    bedH_ = hasArea ? by.maximum : 0;
    const char* names[] = {"leftBox", "topBox", "widthBox", "heightBox"};
    const QString labels[] = {tr("&Left:"), tr("&Top:"), tr("&Width:"), tr("&Height:")};
    const QString accessible[] = {tr("Left"), tr("Top"), tr("Width"), tr("Height")};
    for (int i = 0; i < 4; ++i) {
        area_[i] = new QDoubleSpinBox(this);
        Name(area_[i], names[i], accessible[i]);
        area_[i]->setDecimals(1);
        area_[i]->setEnabled(hasArea);
        form->addRow(labels[i], area_[i]);
    }
    unitChanged();
    if (hasArea) {
        double l = 0, t = 0, r = bedW_, b = bedH_;
        device_.GetNumber("tl-x", l);
        device_.GetNumber("tl-y", t);
        device_.GetNumber("br-x", r);
        device_.GetNumber("br-y", b);
        setAreaMm(QRectF(l, t, r - l, b - t));
    }
    connect(unit_, &QComboBox::currentIndexChanged, this, [this] { unitChanged(); });

    message_ = new QLabel(this);
    Name(message_, "scanMessage", tr("Scanner message"));
    message_->setWordWrap(true);
    left->addWidget(message_);
    left->addStretch(1);

    auto* buttons = new QHBoxLayout;
    previewButton_ = new QPushButton(tr("&Preview"), this);
    Name(previewButton_, "previewButton", tr("Preview"));
    previewButton_->setEnabled(hasArea);
    scan_ = new QPushButton(tr("&Scan"), this);
    Name(scan_, "scanButton", tr("Scan"));
    scan_->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    Name(cancel, "cancelButton", tr("Cancel"));
    buttons->addWidget(previewButton_);
    buttons->addStretch(1);
    buttons->addWidget(scan_);
    buttons->addWidget(cancel);
    left->addLayout(buttons);

    preview_ = new CScanPreview(this);
    preview_->setBed(hasArea ? bedW_ : 210, hasArea ? bedH_ : 297);
    preview_->setArea(areaMm());
    preview_->setEnabled(hasArea);
    outer->addWidget(preview_, 1);

    connect(preview_, &CScanPreview::areaDrawn, this, [this](const QRectF& r) { setAreaMm(r); });
    for (auto* box : area_)
        connect(box, &QDoubleSpinBox::valueChanged, this, [this] { preview_->setArea(areaMm()); });
    connect(previewButton_, &QPushButton::clicked, this, [this] { preview(); });
    connect(scan_, &QPushButton::clicked, this, [this] {
        QString why;
        if (!applyToDevice(&why)) {
            message_->setText(why);
            return;
        }
        saveSettings();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    loadSettings();
}

double CScanDialog::unitFactor() const { return kUnitMm[std::clamp(unit_->currentIndex(), 0, 2)]; }

void CScanDialog::unitChanged() {
    // The boxes keep the area; only its numbers change.
    const double old = kUnitMm[unitIndex_];
    double mm[4];
    for (int i = 0; i < 4; ++i) mm[i] = area_[i]->value() * old;
    unitIndex_ = std::clamp(unit_->currentIndex(), 0, 2);
    const double f = unitFactor();
    for (int i = 0; i < 4; ++i) {
        QSignalBlocker block(area_[i]);
        area_[i]->setDecimals(unitIndex_ == 0 ? 1 : 2);
        area_[i]->setSingleStep(unitIndex_ == 0 ? 1 : 0.1);
        area_[i]->setRange(0, (i % 2 == 0 ? bedW_ : bedH_) / f);
        area_[i]->setValue(mm[i] / f);
    }
}

QRectF CScanDialog::areaMm() const {
    const double f = unitFactor();
    return QRectF(area_[0]->value() * f, area_[1]->value() * f, area_[2]->value() * f, area_[3]->value() * f);
}

void CScanDialog::setAreaMm(const QRectF& a) {
    const double f = unitFactor();
    const double values[] = {a.left(), a.top(), a.width(), a.height()};
    for (int i = 0; i < 4; ++i) {
        QSignalBlocker block(area_[i]);
        area_[i]->setValue(values[i] / f);
    }
    if (preview_) preview_->setArea(areaMm());
}

bool CScanDialog::applyToDevice(QString* why) {
    auto refuse = [&](const QString& text) {
        if (why) *why = text;
        return false;
    };
    if (mode_->isVisible() || mode_->count()) {
        if (mode_->count() && !device_.SetString("mode", mode_->currentText().toStdString()))
            return refuse(tr("The scanner does not take the mode %1.").arg(mode_->currentText()));
    }
    if (depth_->count()) {
        double v = depth_->currentText().toDouble();
        twain::OptionDescriptor d;
        if (device_.Describe("depth", d) && d.active && !device_.SetNumber("depth", v))
            return refuse(tr("The scanner does not take a bit depth of %1.").arg(depth_->currentText()));
    }
    if (resolution_->count() || !resolution_->currentText().isEmpty()) {
        bool ok = false;
        double v = resolution_->currentText().toDouble(&ok);
        if (!ok || v <= 0 || !device_.SetNumber("resolution", v))
            return refuse(tr("The scanner does not take a resolution of %1 dpi.").arg(resolution_->currentText()));
    }
    if (source_->count() && !device_.SetString("source", source_->currentText().toStdString()))
        return refuse(tr("The scanner does not take the source %1.").arg(source_->currentText()));
    if (area_[0]->isEnabled()) {
        const QRectF a = areaMm();
        if (a.width() <= 0 || a.height() <= 0) return refuse(tr("The scan area is empty."));
        double l = a.left(), t = a.top(), r = a.right(), b = a.bottom();
        if (!device_.SetNumber("tl-x", l) || !device_.SetNumber("tl-y", t) || !device_.SetNumber("br-x", r) ||
            !device_.SetNumber("br-y", b))
            return refuse(tr("The scanner does not take this scan area."));
    }
    return true;
}

QString CScanDialog::settingsSection() const { return QStringLiteral("Scan ") + Text(device_.Name()); }

void CScanDialog::saveSettings() const {
    const std::string s = settingsSection().toStdString();
    if (mode_->count()) platform::WriteProfileString(s, "Mode", mode_->currentText().toStdString());
    if (resolution_->count()) platform::WriteProfileString(s, "Resolution", resolution_->currentText().toStdString());
    if (depth_->count()) platform::WriteProfileString(s, "Depth", depth_->currentText().toStdString());
    if (source_->count()) platform::WriteProfileString(s, "Source", source_->currentText().toStdString());
    platform::WriteProfileInt(s, "Unit", unit_->currentIndex());
    const QRectF a = areaMm();
    platform::WriteProfileString(s, "Area", QStringLiteral("%1,%2,%3,%4")
                                                .arg(a.left()).arg(a.top()).arg(a.width()).arg(a.height())
                                                .toStdString());
}

void CScanDialog::loadSettings() {
    const std::string s = settingsSection().toStdString();
    auto take = [&](QComboBox* box, const char* key) {
        const QString v = Text(platform::GetProfileString(s, key, ""));
        if (v.isEmpty() || !box->count()) return;
        const int i = box->findText(v);
        if (i >= 0) box->setCurrentIndex(i);
        else if (box->isEditable()) box->setCurrentText(v);
    };
    take(mode_, "Mode");
    take(resolution_, "Resolution");
    take(depth_, "Depth");
    take(source_, "Source");
    unit_->setCurrentIndex(std::clamp(platform::GetProfileInt(s, "Unit", 0), 0, 2));
    const QStringList a = Text(platform::GetProfileString(s, "Area", "")).split(',');
    if (a.size() == 4 && area_[0]->isEnabled()) {
        QRectF r(a[0].toDouble(), a[1].toDouble(), a[2].toDouble(), a[3].toDouble());
        r = r.intersected(QRectF(0, 0, bedW_, bedH_));
        if (!r.isEmpty()) setAreaMm(r);
    }
}

bool CScanDialog::previewing() const { return previewJob_ && previewJob_->running(); }

void CScanDialog::reject() {
    // The device is the preview's until it ends: Cancel stops it first.
    if (previewing()) {
        previewJob_->cancel();
        return;
    }
    QDialog::reject();
}

bool CScanDialog::preview() {
    if (previewing()) return false;
    // The whole bed at a low resolution, in the mode chosen.
    if (mode_->count()) device_.SetString("mode", mode_->currentText().toStdString());
    twain::OptionDescriptor d;
    double dpi = 50;
    if (device_.Describe("resolution", d)) {
        if (d.constraint == twain::Constraint::Range) dpi = std::clamp(dpi, d.minimum, d.maximum);
        else if (!d.values.empty()) dpi = *std::min_element(d.values.begin(), d.values.end());
        device_.SetNumber("resolution", dpi);
    }
    if (depth_->count()) {
        double eight = 8;
        device_.SetNumber("depth", eight);
    }
    double zero = 0, w = bedW_, h = bedH_;
    device_.SetNumber("tl-x", zero);
    double zero2 = 0;
    device_.SetNumber("tl-y", zero2);
    device_.SetNumber("br-x", w);
    device_.SetNumber("br-y", h);

    // The read on a worker; the dialog touches the device again when it ends.
    struct Result {
        twain::ScanImage image;
        std::string error;
        bool ok = false;
    };
    auto result = std::make_shared<Result>();
    twain::ScanDevice* device = &device_;
    previewJob_ = new Job(IDS_SCANNING, [device, result](Progress&) {
        result->ok = device->ScanWhole(result->image, result->error);
    }, this);
    scan_->setEnabled(false);
    previewButton_->setEnabled(false);
    connect(previewJob_, &Job::finished, this, [this, result] {
        previewJob_->deleteLater();
        scan_->setEnabled(true);
        previewButton_->setEnabled(bedW_ > 0);
        if (!result->ok) {
            message_->setText(tr("The preview failed: %1").arg(Text(result->error)));
            return;
        }
        const twain::ScanImage& image = result->image;
        QImage picture(image.pixels.data(), image.width, image.height, image.width * image.channels,
                       image.channels == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
        preview_->setImage(picture.copy());
        message_->clear();
    });
    previewJob_->start();
    return true;
}

bool QtScanHooks::Run(twain::ScanDevice& device, void* parent) {
    CScanDialog dialog(device, static_cast<QWidget*>(parent));
    return dialog.exec() == QDialog::Accepted;
}

bool QtScanHooks::Choose(const std::vector<twain::DeviceInfo>& devices, const std::string& current,
                         std::string& chosen, void* parent) {
    CSourceChooserDialog dialog(devices, current, static_cast<QWidget*>(parent));
    if (dialog.exec() != QDialog::Accepted || dialog.chosen().empty()) return false;
    chosen = dialog.chosen();
    return true;
}

void QtScanHooks::Install() {
    static QtScanHooks hooks;
    twain::SetSourceUi(&hooks);
    twain::SetSourceChooser(&hooks);
}
