// CInPlaceFrame: the frame of a document edited in place inside a
// container's window. It sits at the item's rectangle in the container's
// X11 window and holds the picture view inside the resize bar (a hatched
// border whose handles resize the frame); its tool bar (Import, Acquire,
// Information, About) lies along the top of the container's window. Both
// are native child windows of the container's window while editing lasts.
#pragma once
#include <QMainWindow>
#include <QRect>

#include "base/workspace_qt.h"
#include "shell/embed/embed_protocol_qt.h"

class CommandSet;
class CVandrelView;
class Document;
class QToolBar;
class QWindow;

// The hatched border around the in-place view. Dragging one of its eight
// handles resizes the window it belongs to; the new geometry (in the
// coordinates of that window's parent, the container) is told when the drag
// ends.
class CInPlaceResizeBar : public QWidget {
    Q_OBJECT
public:
    explicit CInPlaceResizeBar(QWidget* parent = nullptr);
    void setBody(QWidget* body);
    static constexpr int kBorder = 6;
    // The smallest frame the handles make.
    static constexpr int kMinimumSide = 4 * kBorder + 16;

    // Edges under a point of the bar (bit 1 left, 2 top, 4 right, 8 bottom).
    int EdgesAt(QPoint position) const;
    // The frame geometry after moving the handle of edges by delta.
    static QRect Resized(const QRect& frame, int edges, QPoint delta);

signals:
    void resized(const QRect& frameGeometry);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QWidget* body_ = nullptr;
    int edges_ = 0;
    QPoint pressGlobal_;
    QRect startGeometry_;
};

// The in-place frame's drop target: a picture file dropped anywhere on the
// frame (its view or its border) becomes the embedded document's picture.
// The first local file of a drop counts; a file that cannot be read leaves
// the picture as it was (the reader says why).
class CInPlaceDropTarget : public QObject {
    Q_OBJECT
public:
    explicit CInPlaceDropTarget(QObject* parent = nullptr) : QObject(parent) {}
    // Makes window take drops of files and hand them to this target.
    void Register(QWidget* window);
    // Reads the picture file at path into document (no progress: the
    // document is in place). False when it could not be read.
    static bool DropFile(Document* document, const QString& path);

signals:
    // A file was dropped (told after the drop has returned).
    void fileDropped(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class CInPlaceFrame : public QMainWindow, public Workspace {
    Q_OBJECT
public:
    explicit CInPlaceFrame(Document* document);
    ~CInPlaceFrame() override;

    // Puts the frame at rect of the container's window (of containerSize)
    // and the tool bar along its top, and shows both. False (reason in
    // error) when any step fails; nothing is left in the container then.
    bool Create(QWindow* container, QSize containerSize, const QRect& rect, QString* error);

    Document* GetDocument() const { return document_; }
    CVandrelView* view() const { return view_; }
    QToolBar* toolBar() const { return m_toolBar; }
    CInPlaceResizeBar* resizeBar() const { return m_resizeBar; }
    CInPlaceDropTarget* dropTarget() const { return m_dropTarget; }
    CommandSet* commands() const { return commands_; }

    // The in-place menu offered to the container (File, Bitmap, View, Help):
    // the commands placed on it.
    static EmbedMenu InPlaceMenu();
    // Whether id is on the in-place menu or the tool bar (the only
    // commands a container may send).
    static bool IsInPlaceCommand(int id);

    // Workspace: the embedded document and its view; dialogs and scanned
    // pictures come to this frame; the tool bar is its icon bar.
    Document* activeDocument() const override { return document_; }
    bool activeDocumentBusy() const override;
    QWidget* activeView() const override;
    QWidget* dialogParent() const override { return const_cast<CInPlaceFrame*>(this); }
    bool sheetOpen() const override;
    bool printerAvailable() const override;
    bool scannerAvailable() const override;
    bool iconBarShown() const override;
    void setIconBarShown(bool shown) override;
    // The frame opens no other documents.
    Opened openPicture(std::unique_ptr<CPicture> picture) override;

signals:
    // The user resized the frame (container coordinates).
    void rectChanged(const QRect& rect);

protected:
    void customEvent(QEvent* event) override;

private:
    bool OnCreateControlBars(QWindow* container, int containerWidth, QString* error);

    Document* document_;
    CommandSet* commands_;
    CVandrelView* view_ = nullptr;
    QToolBar* m_toolBar = nullptr;  // a window of its own in the container's window
    CInPlaceResizeBar* m_resizeBar = nullptr;
    CInPlaceDropTarget* m_dropTarget = nullptr;
};
