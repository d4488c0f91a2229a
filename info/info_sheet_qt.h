// CInfoSheet: the modal Information sheet. Its System page reports the
// processor, the kernel version, the free swap, the current directory, the
// cache path (the temporary directory the picture stores swap to) and the
// size and free space of the file system that holds it. Its Document page,
// there while a document window is open, reports a picture: file name, type,
// resolution, stored size, a thumbnail with its width and height in the
// display unit, what the stitch that made it found (a stitch result only),
// and steps through the open document windows with Previous and Next. The sheet changes nothing but the display unit, which lasts for
// the run and is not saved.
#pragma once
#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "info/info_texts.h"

class CPicture;
class Document;
class QComboBox;
class QGroupBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QPushButton;
class QTabWidget;

// Control 204 and what is drawn beside it: the picture reduced by a whole
// factor and centred on light gray inside the area shrunk by 2 pixels, a
// frame around it, and the two bars with the dimension lines to the right
// and below.
class CThumbnailBox : public QWidget {
    Q_OBJECT
public:
    // The thumbnail area (control 204) is areaSize; the widget is larger by
    // the bars.
    explicit CThumbnailBox(QSize areaSize, QWidget* parent = nullptr);
    void SetPicture(CPicture* picture);
    CPicture* Picture() const { return picture_; }
    // Control 204 in widget coordinates.
    QRect AreaRect() const { return QRect(QPoint(0, 0), area_); }
    // Where the reduced picture lies in widget coordinates (empty without
    // a picture), and the factor it is reduced by.
    QRect PictureRect() const;
    int Factor() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Space the bars take beside the area.
    static constexpr int kBarSpace = 14;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize area_;
    CPicture* picture_ = nullptr;
};

// A window showing a document, as the Document page lists it when the
// documents are not those of a document area (the frame of a document
// edited in place): the window's title names the document, its screen
// gives the resolution of a picture without one of its own.
struct InfoDocumentWindow {
    QPointer<QWidget> window;
    QPointer<Document> document;
};

class CSysInfoPage : public QWidget {
    Q_OBJECT
public:
    // The facts of this system now.
    explicit CSysInfoPage(QWidget* parent = nullptr);
    // Given facts (tests).
    explicit CSysInfoPage(const info::SystemFacts& facts, QWidget* parent = nullptr);

    // The value shown beside a row (control 1503, 1517, 1530, 1537, 1543,
    // 1549 or 1554); null for other ids.
    QLabel* Value(int control) const;

private:
    void Build(const info::SystemFacts& facts);
    QLabel* values_[7] = {};
};

class CDocInfoPage : public QWidget {
    Q_OBJECT
public:
    // The document windows of area; the current one starts as the area's
    // current window (or the top document window when none is current).
    // Sizes are shown in unit's unit, and the user's choice goes there.
    CDocInfoPage(QMdiArea* area, info::DisplayUnitChoice& unit, QWidget* parent = nullptr);
    // The given windows, in that order, the first one current; windows or
    // documents gone meanwhile are left out.
    CDocInfoPage(const QList<InfoDocumentWindow>& windows, info::DisplayUnitChoice& unit,
                 QWidget* parent = nullptr);

    // The document windows Previous and Next walk over, top of the stacking
    // order first: every window of the area that holds a document and is
    // not hidden (minimised windows count; other windows are skipped).
    static QList<QMdiSubWindow*> DocumentWindows(QMdiArea* area);

    // The current window: CurrentWindow() when it is one of the area's
    // windows, CurrentWidget() whichever it is.
    QMdiSubWindow* CurrentWindow() const;
    QWidget* CurrentWidget() const { return current_; }
    // The resolution used for the current picture (its own, or the
    // fallback of its window's screen when it reports less than 1 dpi).
    int XDpi() const { return xDpi_; }
    int YDpi() const { return yDpi_; }

    // The buttons' actions: move to the previous or next document window;
    // at the end beep, emit endReached and stay (false).
    bool OnPrevious();
    bool OnNext();

    // Controls by id: texts 200-203, 205, 206, 208; 204 is Thumbnail().
    QLabel* Text(int control) const;
    CThumbnailBox* Thumbnail() const { return thumbnail_; }
    // What the stitch that made the current picture found, in its group
    // (hidden for any other picture).
    QLabel* FindingText() const { return finding_; }
    QGroupBox* FindingGroup() const { return findingGroup_; }
    QComboBox* UnitBox() const { return unit_; }
    QPushButton* PreviousButton() const { return previous_; }
    QPushButton* NextButton() const { return next_; }

signals:
    // Previous or Next found no window further that way (the page beeped).
    void endReached();

private:
    void Build();
    // The windows Previous and Next walk over, with their documents.
    QList<InfoDocumentWindow> Windows() const;
    int IndexOfCurrent(const QList<InfoDocumentWindow>& windows) const;
    bool Step(int direction);
    void Fill();
    void FillDimensions();
    void UpdateButtons();
    void OnUnitChanged(int index);

    info::DisplayUnitChoice& unitChoice_;
    QPointer<QMdiArea> area_;
    QList<InfoDocumentWindow> given_;
    QPointer<QWidget> current_;
    CPicture* picture_ = nullptr;
    int xDpi_ = 0, yDpi_ = 0;
    QLabel* fileName_ = nullptr;
    QLabel* type_ = nullptr;
    QLabel* xResolution_ = nullptr;
    QLabel* yResolution_ = nullptr;
    QLabel* size_ = nullptr;
    QLabel* width_ = nullptr;
    QLabel* height_ = nullptr;
    CThumbnailBox* thumbnail_ = nullptr;
    QGroupBox* findingGroup_ = nullptr;
    QLabel* finding_ = nullptr;
    QComboBox* unit_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
};

class CInfoSheet : public QDialog {
    Q_OBJECT
public:
    // The Document page when area holds a document window, then the System
    // page; OK is the only button. unit: the display unit kept for the run
    // by whoever shows the sheet (none: the sheet reads the setting for
    // itself).
    explicit CInfoSheet(QMdiArea* area, QWidget* parent = nullptr, info::DisplayUnitChoice* unit = nullptr);
    // The same with the given document windows in place of an area's.
    explicit CInfoSheet(const QList<InfoDocumentWindow>& windows, QWidget* parent = nullptr,
                        info::DisplayUnitChoice* unit = nullptr);

    QTabWidget* Tabs() const { return tabs_; }
    CDocInfoPage* DocumentPage() const { return docPage_; }
    CSysInfoPage* SystemPage() const { return sysPage_; }
    QPushButton* OkButton() const { return ok_; }

private:
    // Adds the Document page (when there is one), the System page and OK.
    void Build(CDocInfoPage* docPage);
    // The unit given, or the sheet's own.
    info::DisplayUnitChoice& Unit(info::DisplayUnitChoice* given);

    std::unique_ptr<info::DisplayUnitChoice> ownUnit_;

    QTabWidget* tabs_ = nullptr;
    CDocInfoPage* docPage_ = nullptr;
    CSysInfoPage* sysPage_ = nullptr;
    QPushButton* ok_ = nullptr;
};
