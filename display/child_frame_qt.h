// PMDIChildWnd: the document window around a picture view. Keeps the
// document's base name and shows it in the caption with the zoom, draws the
// rulers around the view when they are on, and ignores the window's own
// commands (close, minimise, maximise, move, size from the title bar and
// frame) while a stitch sheet is open.
#pragma once
#include <QMdiSubWindow>
#include <QPoint>

#include <functional>
#include <string>

class CVandrelView;
class QGridLayout;

namespace display {
class CRuler;
class UntitledCounter;
}

class PMDIChildWnd : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit PMDIChildWnd(QWidget* parent = nullptr);
    ~PMDIChildWnd() override;

    // Puts the view into the window (the window owns it).
    void SetView(CVandrelView* view);
    CVandrelView* GetView() const { return view_; }

    // The part of the path after its last '/', as it is spelt; an empty path
    // names the next untitled document of untitled. Then the caption is
    // updated.
    void SetBaseName(const std::string& path, display::UntitledCounter& untitled);
    const std::string& BaseName() const { return baseName_; }
    // Caption: the base name and the zoom ("house.bmp [1/4]").
    void UpdateTitle();

    // Rulers on or off (the view's flag follows); the unit is read again.
    void ShowRulers(bool shown);
    bool RulersShown() const;
    // Mouse-position markers on the rulers (picture coordinates; -1 none).
    QPoint Marks() const { return {markX_, markY_}; }

    // Closes the window even while a stitch sheet is open (the program's own
    // close requests, such as the end of a deskew).
    void CloseFromProgram();

    // Whether the window's own commands are taken (the application's
    // stitchIdle is 1). Until the application sets it, always.
    static void SetStitchIdleQuery(std::function<bool()> query);
    static bool StitchIdle();

    // Makes the window hold its own commands back while stitching even from
    // the event filters installed on it before this call.
    void GuardWindowCommands();

signals:
    // The caption changed (the document takes it as its title).
    void titleChanged(const QString& title);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool FrameInputBlocked(QPoint local) const;
    void LayOutRulers(bool shown);

    CVandrelView* view_ = nullptr;
    QWidget* body_ = nullptr;
    QGridLayout* grid_ = nullptr;
    display::CRuler* topRuler_ = nullptr;
    display::CRuler* leftRuler_ = nullptr;
    QWidget* corner_ = nullptr;
    std::string baseName_;
    int markX_ = -1, markY_ = -1;
    bool programClose_ = false;
};
