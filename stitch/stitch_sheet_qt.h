// The stitch sheet: a modeless dialog with three pages through which the
// user brings the Main and Rest pictures together (scan, import, rotate,
// deskew), chooses the side, the overlap and the method, and starts the
// stitch. Page index 0 is the Main Image page, 1 the Rest Image page.
#pragma once
#include <QDialog>
#include <QFrame>
#include <QRect>
#include <memory>

#include "picture/picture.h"
#include "stitch/stitch_tool.h"

// The Stitch Image page's method buttons, by their control ids.
enum StitchMethodControl : int {
    kMethodManual = 1048,
    kMethodSemiAuto = 1050,
    kMethodAuto = 1053,
};
// The engine's method a button stands for.
StitchMethod MethodOfControl(int control);

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;
class QTabWidget;
class CStitchSheet;

// Thumbnail geometry. area is the frame's client rectangle shrunk by one
// pixel; the reduction factor is the larger of the two ceilings of picture
// over area, at least 1; the thumbnail is centred in the area.
int ThumbnailFactor(int width, int height, const QRect& area);
QRect ThumbnailRect(int width, int height, const QRect& area, int factor);

// Where the overlap preview outlines lie for a side and percentage: mainOutline
// is the Rest picture's outline in the Main thumbnail, restOutline the Main
// picture's outline in the Rest thumbnail (both already enlarged by a pixel,
// right and bottom exclusive, not yet clipped to the area).
struct OverlapPreview {
    QRect mainOutline;
    QRect restOutline;
};
OverlapPreview ComputeOverlapPreview(int side, int percent, int mainWidth, int mainHeight,
                                     int restWidth, int restHeight, const QRect& area);

// A thumbnail frame: the picture reduced, light grey around it, a recessed
// border, and optionally an outline drawn by inverting the pixels under it.
class CThumbnailFrame : public QFrame {
    Q_OBJECT
public:
    explicit CThumbnailFrame(QWidget* parent = nullptr);
    // The picture shown (not owned); none shows the empty frame.
    void SetPicture(CPicture* picture) {
        picture_ = picture;
        update();
    }
    CPicture* Picture() const { return picture_; }
    // 0: the picture's own factor.
    void SetFactor(int factor) {
        factor_ = factor;
        update();
    }
    // An empty rectangle: no outline.
    void SetOutline(const QRect& outline) {
        outline_ = outline;
        update();
    }
    QRect Outline() const { return outline_; }
    QRect Area() const { return rect().adjusted(1, 1, -1, -1); }

    // The frame as painted, for tests and screenshots.
    QImage Render() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CPicture* picture_ = nullptr;
    int factor_ = 0;
    QRect outline_;
};

// One image page (Main Image, Rest Image).
class CStitchPage : public QWidget {
    Q_OBJECT
public:
    CStitchPage(CStitchSheet* sheet, int index);
    ~CStitchPage() override;

    CPicture* picture() const { return picture_.get(); }
    CPicture* beforeDeskew() const { return beforeDeskew_.get(); }
    // A new picture from import or scanning: the old picture and any
    // undeskewed one are dropped.
    void TakePicture(std::unique_ptr<CPicture> picture);
    // Exchanges both pictures with another page.
    void SwapPictures(CStitchPage& other);
    // The deskew's hand-over (see CStitchSheet::ReplacePicture).
    bool ReplacePicture(CPicture* old, std::unique_ptr<CPicture> replacement);
    void DropBeforeDeskew() { beforeDeskew_.reset(); }

    // Enables "&Stitch" when both pages hold a picture, "&Rotate..." when
    // this one does.
    void UpdateStitchButton();
    // The type, size and resolution texts and the thumbnail.
    void UpdateInfo();
    // Rotate menu commands 400, 401, 402; true when the picture turned.
    bool Rotate(int command);

    QPushButton* scanButton() const { return scan_; }
    QPushButton* importButton() const { return import_; }
    // The pictures open in the main window, offered beside Import and Scan:
    // a copy of the chosen one becomes the page's picture.
    QPushButton* openPictureButton() const { return openPicture_; }
    QMenu* openPictureMenu() const { return openPictureMenu_; }
    QPushButton* rotateButton() const { return rotate_; }
    QMenu* rotateMenu() const { return rotateMenu_; }
    CThumbnailFrame* thumbnail() const { return thumb_; }

public slots:
    void OnImport();
    void OnScan();
    void OnRotateButton();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FillOpenPictureMenu();

    CStitchSheet* sheet_;
    int index_;
    std::unique_ptr<CPicture> picture_;
    std::unique_ptr<CPicture> beforeDeskew_;
    CThumbnailFrame* thumb_;
    QLabel* type_;
    QLabel* size_;
    QLabel* resolution_;
    QPushButton* scan_;
    QPushButton* import_;
    QPushButton* rotate_;
    QMenu* rotateMenu_;
    QPushButton* openPicture_;
    QMenu* openPictureMenu_;
};

// The Stitch Image page.
class CStitchImage : public QWidget {
    Q_OBJECT
public:
    CStitchImage(CStitchSheet* sheet, int side, int overlapPercent);

    int side() const { return side_; }
    int overlapPercent() const { return overlapPercent_; }
    int method() const { return method_; }

    // Enables the Deskew buttons and the search methods, checks the method
    // and draws the overlap preview.
    void Activate();
    void SetSide(int side);
    void SetOverlapPercent(int percent);
    void SetMethod(int method);

    CThumbnailFrame* mainThumbnail() const { return mainThumb_; }
    CThumbnailFrame* restThumbnail() const { return restThumb_; }
    QScrollBar* overlapBar() const { return overlapBar_; }
    // The overlap in per cent beside the bar.
    QLabel* overlapValue() const { return overlapValue_; }
    QAbstractButton* sideButton(int side) const;
    QAbstractButton* methodButton(int method) const;
    QPushButton* deskewButton(int index) const { return index == 0 ? deskewMain_ : deskewRest_; }
    QCheckBox* swapBox() const { return swap_; }

private:
    void UpdatePreview();
    void UpdateThumbnails();

    CStitchSheet* sheet_;
    std::int16_t side_;
    std::int16_t overlapPercent_;
    int method_ = 1053;
    CThumbnailFrame* mainThumb_;
    CThumbnailFrame* restThumb_;
    QPushButton* deskewMain_;
    QPushButton* deskewRest_;
    QButtonGroup* sides_;
    QButtonGroup* methods_;
    QScrollBar* overlapBar_;
    QLabel* overlapValue_;
    QCheckBox* swap_;
};

class CStitchSheet : public QDialog {
    Q_OBJECT
public:
    explicit CStitchSheet(QWidget* parent = nullptr);
    ~CStitchSheet() override;

    CStitchPage* page(int index) const { return index == 0 ? main_ : rest_; }
    CStitchImage* stitchImage() const { return image_; }
    QTabWidget* tabs() const { return tabs_; }
    QPushButton* stitchButton() const { return stitch_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* nextButton() const { return next_; }

    // For both image pages: when old is the page's picture or its undeskewed
    // picture, a replacement becomes the picture (the current one kept as the
    // undeskewed picture unless there is one already); without one, an
    // undeskewed picture comes back.
    void ReplacePicture(CPicture* old, std::unique_ptr<CPicture> replacement);
    // The pages' pictures changed: buttons, thumbnails and the preview follow.
    void PicturesChanged();
    // Shows the sheet again after a deskew and activates the current page anew.
    void ShowAgain();
    // Shows the sheet again on the Stitch Image page after a stitch that did
    // not happen (refused or cancelled): the sheet is open again.
    void ReturnToStitchPage();

    // Destroys the sheet (after the current event): its pages and their
    // pictures go with it.
    void Destroy();

    // Starts the deskew tool on page index's picture.
    void StartDeskew(int index);

public slots:
    void OnStitch();
    void OnNext();
    void OnClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Hides the sheet and hands the stitch over (after the low-memory question).
    void StartStitch(bool lowMemory);

    QTabWidget* tabs_;
    CStitchPage* main_;
    CStitchPage* rest_;
    CStitchImage* image_;
    QPushButton* stitch_;
    QPushButton* cancel_;
    QPushButton* next_;
};

// Command 32004: builds and shows a new sheet (modeless, deleted when closed).
CStitchSheet* OpenStitchSheet(QWidget* parent);
// The sheet that is open, if any.
CStitchSheet* CurrentStitchSheet();
