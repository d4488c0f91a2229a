// The print sheet: Printer, Rescale and Background pages over a working
// copy of a document's print settings. The sheet only chooses; the print
// command (print_commands_qt.h) prints, stores or previews what it chose.
#pragma once
#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

#include "print/print_layout.h"
#include "print/rescale_model.h"

class CPicture;
class CPrintSheet;
class PrintEngine;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSpinBox;
class QTabWidget;

// The Layout box: the paper reduced to the box, the picture's place on it.
class CLayoutBox : public QWidget {
    Q_OBJECT
public:
    CLayoutBox(CPrintSheet* sheet, bool shadow, QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(150, 150); }
    // What the box shows, as the last paint computed it (tests).
    LayoutSketch LastSketch() const { return last_; }
    // Sheets the last paint showed over a poster (0: no poster shown).
    int PosterSheetsShown() const { return posterSheets_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void PaintPoster(QPainter& painter);

    CPrintSheet* sheet_;
    bool shadow_;
    LayoutSketch last_;
    int posterSheets_ = 0;
};

// Draws picture reduced by a whole factor into a client rectangle shrunk by
// one pixel, centred on light gray with a frame (frame samples, watermark
// preview); nothing into an empty rectangle.
void DrawPictureFitted(CPicture* picture, const QRect& client, QPainter& painter);

class CPrinterPage : public QWidget {
    Q_OBJECT
public:
    explicit CPrinterPage(CPrintSheet* sheet);
    void Activate();
    bool Deactivate();
    // Re-reads the printer (label, orientation, dpi, the PDF file) after a
    // setup change.
    void ReadPrinter();
    // Printing to a PDF file: the file printing goes to (made absolute, with
    // ".pdf" when it has no suffix), kept for the next time.
    void TakePdfFile(const QString& path);
    // Opens the file dialog that chooses the PDF file (not waiting for it).
    void OnBrowsePdf();

private:
    void RecomputeDots();
    void UpdateEnables();
    void OnUnitChanged(int index);
    void OnOrientation(int orientation);
    // Print Setup from the sheet: opened without waiting; its choice is
    // taken when accepted.
    void OnSetup();
    void TakeSetup();

    CPrintSheet* sheet_;
    QLabel* printerLabel_;
    QWidget* pdfRow_;
    QLineEdit* pdfFile_;
    QSpinBox* copies_;
    QRadioButton* portrait_;
    QRadioButton* landscape_;
    QLineEdit* leftMargin_;
    QLineEdit* topMargin_;
    QCheckBox* centerH_;
    QCheckBox* centerV_;
    QComboBox* units_;
    CLayoutBox* layout_;
    int previousUnit_ = 0;
};

class CRescalePage : public QWidget {
    Q_OBJECT
public:
    explicit CRescalePage(CPrintSheet* sheet);
    void Activate();
    bool Deactivate();
    // The printer's dpi or paper changed: recompute and hand the size to the sheet.
    void PrinterChanged();
    RescaleModel& Model() { return model_; }
    // The Poster box's line: the grid of sheets, or what stands in its way.
    void ShowPosterGrid();
    // Checks or clears Poster as a click on it does.
    void SetPoster(bool on);

private:
    void OnPoster();
    void OnPosterOverlap();
    void ReadControls();
    void WriteControls();
    void OnFit();
    void OnKeepRatio();
    void OnScaleEdited(bool horizontal);
    void OnSizeEdited(bool horizontal);
    void OnScroll(bool horizontal, int action);
    void OnPaper(int index);
    void TakeSizeIntoSheet();

    CPrintSheet* sheet_;
    RescaleModel model_;
    QCheckBox* fit_;
    QLabel* sourceSize_;
    QLabel* sourceResolution_;
    QLineEdit* targetWidth_;
    QLineEdit* targetHeight_;
    QLabel* unitLabel_;
    QLineEdit* resolutionX_;
    QLineEdit* resolutionY_;
    QLineEdit* scaleX_;
    QLineEdit* scaleY_;
    QScrollBar* scrollX_;
    QScrollBar* scrollY_;
    QLabel* maxX_;
    QLabel* maxY_;
    QCheckBox* keepRatio_;
    QComboBox* paper_;
    CLayoutBox* layout_;
    QCheckBox* poster_;
    QLineEdit* overlap_;
    QCheckBox* marks_;
    QCheckBox* labels_;
    QLabel* posterGrid_;
    bool writing_ = false;
};

class CFrameSample;

class CWaterMarkPage : public QWidget {
    Q_OBJECT
public:
    explicit CWaterMarkPage(CPrintSheet* sheet);
    ~CWaterMarkPage() override;
    void Activate();
    bool Deactivate();
    // A sample was clicked (frame id 1616..1622).
    void SampleClicked(int frameId);
    int FrameId() const { return frameId_; }
    CPicture* WatermarkPreview() const { return preview_.get(); }

private:
    void OnAddFrame();
    void OnWatermark();
    void LoadPreview(const std::string& path);

    friend class CFrameSample;
    CPrintSheet* sheet_;
    QCheckBox* addFrame_;
    CFrameSample* samples_[7] = {};
    QCheckBox* watermark_;
    QComboBox* patterns_;
    QRadioButton* tile_;
    QRadioButton* center_;
    QWidget* previewBox_;
    std::unique_ptr<CPicture> preview_;
    std::unique_ptr<CPicture> thumbnails_[3];
    int frameId_ = 0;
};

// What the user answers when a print is larger than the paper.
enum class ClipAnswer { kPoster, kAnyway, kCancel };
// The question before a print larger than the paper at its scale has its
// edges cut off: print it as a poster across several sheets, print only the
// part that fits, or go back (Cancel, Escape, the close box). The box is
// made over parent, not opened; answered runs once it has closed.
QMessageBox* AskAboutClipping(QWidget* parent, const PrintOptions& options, PrintEngine& engine,
                              std::function<void(ClipAnswer)> answered);

class CPrintSheet : public QDialog {
    Q_OBJECT
public:
    // The sheet over options for picture, asking engine about the printer.
    CPrintSheet(const PrintOptions& options, CPicture* picture, PrintEngine& engine,
                QWidget* parent = nullptr);
    ~CPrintSheet() override;

    PrintOptions& Options() { return options_; }
    CPicture* Picture() const { return picture_; }
    PrintEngine& Engine() { return engine_; }
    CPrinterPage* PrinterPage() const { return printerPage_; }
    CRescalePage* RescalePage() const { return rescalePage_; }
    CWaterMarkPage* WaterMarkPage() const { return waterMarkPage_; }
    QTabWidget* Tabs() const { return tabs_; }

    // Commits the active page and closes with result (1074 Print, 1 OK,
    // 1075 Preview) when it agrees.
    void CloseWith(int result);
    void RedrawLayouts();
    // The poster the options would print on this printer.
    PosterLayout PosterPlan() const;

private:
    void OnTabChanged(int index);

    PrintOptions options_;
    CPicture* picture_;
    PrintEngine& engine_;
    QTabWidget* tabs_;
    CPrinterPage* printerPage_ = nullptr;
    CRescalePage* rescalePage_ = nullptr;
    CWaterMarkPage* waterMarkPage_ = nullptr;
    int activeTab_ = 0;
};
