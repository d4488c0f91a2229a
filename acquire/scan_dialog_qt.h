// The scanner's dialogs: the device choice (Select Source) and the source's
// own dialog, built from the device's option descriptors, in which the user
// sets mode, resolution, bit depth, the scan area (with a preview to draw it
// on) and the paper source, then scans or cancels. The dialog remembers its
// settings per device.
#pragma once
#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include "platform/twain/dsm.h"

class Job;
class QComboBox;
class QDoubleSpinBox;
class QListWidget;
class QPushButton;
class QLabel;

// The list of devices; the chosen one is the default from then on.
class CSourceChooserDialog : public QDialog {
    Q_OBJECT
public:
    CSourceChooserDialog(const std::vector<twain::DeviceInfo>& devices, const std::string& current,
                         QWidget* parent = nullptr);
    std::string chosen() const;
    QListWidget* list() const { return list_; }

private:
    std::vector<twain::DeviceInfo> devices_;
    QListWidget* list_;
};

// The preview of the scan bed with the area drawn on it; dragging draws a
// new area. Coordinates in millimetres of the bed.
class CScanPreview : public QWidget {
    Q_OBJECT
public:
    explicit CScanPreview(QWidget* parent = nullptr);
    void setBed(double widthMm, double heightMm);
    void setImage(const QImage& image);  // the whole bed
    void setArea(const QRectF& areaMm);
    QRectF area() const { return area_; }
    bool hasImage() const { return !image_.isNull(); }
    QSize sizeHint() const override { return {240, 300}; }

signals:
    void areaDrawn(const QRectF& areaMm);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    QRectF bedRect() const;  // where the bed is drawn
    QPointF toMm(const QPointF& p) const;
    double bedW_ = 210, bedH_ = 297;
    QImage image_;
    QRectF area_;
    QPointF anchor_;
    bool dragging_ = false;
};

class CScanDialog : public QDialog {
    Q_OBJECT
public:
    CScanDialog(twain::ScanDevice& device, QWidget* parent = nullptr);

    // Puts the dialog's choices on the device (after Scan); false with the
    // reason when the device refuses one.
    bool applyToDevice(QString* why = nullptr);
    // Reads and writes the remembered settings of this device.
    void loadSettings();
    void saveSettings() const;
    // Starts a preview scan of the whole bed, shown when it has been read
    // (a job on a worker thread). Scan and Preview wait meanwhile; Cancel
    // or Escape stops the preview rather than closing the dialog. False
    // when a preview runs already.
    bool preview();
    bool previewing() const;
    void reject() override;

    QComboBox* modeBox() const { return mode_; }
    QComboBox* resolutionBox() const { return resolution_; }
    QComboBox* depthBox() const { return depth_; }
    QComboBox* sourceBox() const { return source_; }
    QComboBox* unitBox() const { return unit_; }
    QDoubleSpinBox* areaBox(int i) const { return area_[i]; }
    CScanPreview* previewWidget() const { return preview_; }
    QPushButton* scanButton() const { return scan_; }
    QPushButton* previewButton() const { return previewButton_; }
    // The area in millimetres, as the boxes say.
    QRectF areaMm() const;
    void setAreaMm(const QRectF& area);

private:
    double unitFactor() const;  // millimetres per unit shown
    void unitChanged();
    QString settingsSection() const;

    twain::ScanDevice& device_;
    QComboBox* mode_ = nullptr;
    QComboBox* resolution_ = nullptr;
    QComboBox* depth_ = nullptr;
    QComboBox* source_ = nullptr;
    QComboBox* unit_ = nullptr;
    QDoubleSpinBox* area_[4] = {};
    CScanPreview* preview_ = nullptr;
    QPushButton* scan_ = nullptr;
    QPushButton* previewButton_ = nullptr;
    QLabel* message_ = nullptr;
    QPointer<Job> previewJob_;
    double bedW_ = 0, bedH_ = 0;
    int unitIndex_ = 0;
};

// The dialogs as the manager's hooks. The reads wait in the scanner layer
// itself: the transfers run on a worker thread (acquire_commands_qt.cpp).
class QtScanHooks : public twain::SourceUi, public twain::SourceChooser {
public:
    bool Run(twain::ScanDevice& device, void* parent) override;
    bool Choose(const std::vector<twain::DeviceInfo>& devices, const std::string& current,
                std::string& chosen, void* parent) override;
    // Installs one set of hooks for the application's life.
    static void Install();
};
