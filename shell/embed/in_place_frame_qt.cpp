#include "shell/embed/in_place_frame_qt.h"

#include <QCoreApplication>
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWindow>
#include <cstdio>
#include <iterator>

#include "acquire/xfer_done_qt.h"
#include "base/message_box.h"
#include "display/view_qt.h"
#include "document/document_qt.h"
#include "document/import_export.h"
#include "picture/picture.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "shell/app/app_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/doc_template_qt.h"
#include "stitch/stitch_app_qt.h"

namespace {
// This file's texts for the user, in their own translation context.
struct InPlaceFrameText {
    Q_DECLARE_TR_FUNCTIONS(InPlaceFrameText)
};
}  // namespace

namespace {

enum Edge { kLeft = 1, kTop = 2, kRight = 4, kBottom = 8 };

}  // namespace

// ---- resize bar ----

CInPlaceResizeBar::CInPlaceResizeBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("resizeBar"));
    setAccessibleName(InPlaceFrameText::tr("Resize bar"));
    setMouseTracking(true);
    setMinimumSize(kMinimumSide, kMinimumSide);
}

void CInPlaceResizeBar::setBody(QWidget* body) {
    body_ = body;
    body_->setParent(this);
    body_->setGeometry(rect().adjusted(kBorder, kBorder, -kBorder, -kBorder));
}

void CInPlaceResizeBar::resizeEvent(QResizeEvent*) {
    if (body_) body_->setGeometry(rect().adjusted(kBorder, kBorder, -kBorder, -kBorder));
}

int CInPlaceResizeBar::EdgesAt(QPoint p) const {
    const int w = width(), h = height();
    // A handle is a border-sized square at a corner or at the middle of a
    // side; elsewhere on the border nothing happens.
    auto near = [](int v, int at) { return v >= at && v < at + kBorder; };
    const bool left = near(p.x(), 0), right = near(p.x(), w - kBorder);
    const bool top = near(p.y(), 0), bottom = near(p.y(), h - kBorder);
    const bool midX = near(p.x(), (w - kBorder) / 2), midY = near(p.y(), (h - kBorder) / 2);
    int edges = 0;
    if ((left || right) && (top || bottom || midY)) edges |= left ? kLeft : kRight;
    if ((top || bottom) && (left || right || midX)) edges |= top ? kTop : kBottom;
    return edges;
}

QRect CInPlaceResizeBar::Resized(const QRect& frame, int edges, QPoint delta) {
    QRect r = frame;
    if (edges & kLeft) r.setLeft(std::min(r.left() + delta.x(), r.right() + 1 - kMinimumSide));
    if (edges & kRight) r.setRight(std::max(r.right() + delta.x(), r.left() - 1 + kMinimumSide));
    if (edges & kTop) r.setTop(std::min(r.top() + delta.y(), r.bottom() + 1 - kMinimumSide));
    if (edges & kBottom) r.setBottom(std::max(r.bottom() + delta.y(), r.top() - 1 + kMinimumSide));
    return r;
}

void CInPlaceResizeBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect all = rect();
    const QRegion border = QRegion(all).subtracted(all.adjusted(kBorder, kBorder, -kBorder, -kBorder));
    p.setClipRegion(border);
    p.fillRect(all, palette().window());
    p.fillRect(all, QBrush(palette().color(QPalette::WindowText), Qt::BDiagPattern));
    p.setClipping(false);
    const int w = width(), h = height();
    const QColor handle = palette().color(QPalette::WindowText);
    for (int x : {0, (w - kBorder) / 2, w - kBorder})
        for (int y : {0, (h - kBorder) / 2, h - kBorder})
            if (x != (w - kBorder) / 2 || y != (h - kBorder) / 2) p.fillRect(x, y, kBorder, kBorder, handle);
}

void CInPlaceResizeBar::mousePressEvent(QMouseEvent* event) {
    edges_ = event->button() == Qt::LeftButton ? EdgesAt(event->position().toPoint()) : 0;
    if (!edges_) return;
    pressGlobal_ = event->globalPosition().toPoint();
    startGeometry_ = window()->geometry();
}

void CInPlaceResizeBar::mouseMoveEvent(QMouseEvent* event) {
    if (!edges_) {
        const int edges = EdgesAt(event->position().toPoint());
        Qt::CursorShape shape = Qt::ArrowCursor;
        if (edges == (kLeft | kTop) || edges == (kRight | kBottom)) shape = Qt::SizeFDiagCursor;
        else if (edges == (kRight | kTop) || edges == (kLeft | kBottom)) shape = Qt::SizeBDiagCursor;
        else if (edges & (kLeft | kRight)) shape = Qt::SizeHorCursor;
        else if (edges & (kTop | kBottom)) shape = Qt::SizeVerCursor;
        setCursor(shape);
        return;
    }
    window()->setGeometry(Resized(startGeometry_, edges_, event->globalPosition().toPoint() - pressGlobal_));
}

void CInPlaceResizeBar::mouseReleaseEvent(QMouseEvent* event) {
    if (!edges_ || event->button() != Qt::LeftButton) return;
    edges_ = 0;
    emit resized(window()->geometry());
}

// ---- drop target ----

namespace {

// The first local file a drag carries ("" when none).
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

}  // namespace

void CInPlaceDropTarget::Register(QWidget* window) {
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

bool CInPlaceDropTarget::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!DroppedFile(drag->mimeData()).isEmpty()) drag->acceptProposedAction();
        else drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = DroppedFile(drop->mimeData());
        if (path.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        // Read after the drop returns, so that the dragging program is free.
        QTimer::singleShot(0, this, [this, path] { emit fileDropped(path); });
        return true;
    }
    default: return QObject::eventFilter(watched, event);
    }
}

bool CInPlaceDropTarget::DropFile(Document* document, const QString& path) {
    if (!document || path.isEmpty() || document->busy()) return false;
    // Whether the reader told the user why it failed (passed on as shown).
    bool told = false;
    const MessageSink previous = GetMessageSink();
    SetMessageSink([&told, previous](const std::string& text) {
        told = true;
        if (previous) previous(text);
        else std::fprintf(stderr, "%s\n", text.c_str());
    });
    document->BeginWaitCursor();
    FileStatus status;
    std::unique_ptr<CPicture> picture = ReadImageFile(path.toStdString(), false, &status);
    document->EndWaitCursor();
    SetMessageSink(previous);
    if (!picture) {
        if (!told && status.failure != FileFailure::kCancelled)
            ShowMessage(FormatStringById(IDS_CANNOT_OPEN_PICTURE, path.toLocal8Bit().constData()));
        return false;
    }
    document->setPicture(std::move(picture));
    return true;
}

// ---- frame ----

bool CInPlaceFrame::IsInPlaceCommand(int id) {
    const CommandRegistry& registry = ProgramCommands();
    return registry.place(id, CommandSurface::InPlaceMenu) || registry.place(id, CommandSurface::InPlaceToolBar);
}

EmbedMenu CInPlaceFrame::InPlaceMenu() {
    const CommandRegistry& registry = ProgramCommands();
    EmbedMenu items;
    for (const QString& title : registry.menus(CommandSurface::InPlaceMenu)) {
        for (const CommandRegistry::Item& entry : registry.layout(CommandSurface::InPlaceMenu, title)) {
            EmbedMenuItem item;
            item.menu = MenuTitleText(title);
            item.id = entry.id;
            if (entry.id) {
                const char* text = CommandMenuText(entry.id);
                item.text = text ? QString::fromUtf8(text) : QString();
                const CommandPlace* place = registry.place(entry.id, CommandSurface::InPlaceMenu);
                if (place && !place->shortcut.isEmpty()) item.shortcut = place->shortcut.toString();
            }
            items << item;
        }
    }
    return items;
}

CInPlaceFrame::CInPlaceFrame(Document* document)
    : QMainWindow(nullptr, Qt::FramelessWindowHint),
      document_(document),
      commands_(new CommandSet(ProgramCommands(), *this, this)) {
    setObjectName(QStringLiteral("inPlaceFrame"));
    setAccessibleName(InPlaceFrameText::tr("In-place frame"));
    // The frame's title names its document (the information sheet shows it).
    auto retitle = [this] {
        const QString path = document_ ? document_->pathName() : QString();
        setWindowTitle(path.isEmpty() ? InPlaceFrameText::tr("embedded picture") : DocumentBaseName(path.toStdString()));
    };
    retitle();
    connect(document_, &Document::pathChanged, this, retitle);
    // The keys of the in-place menu work in the frame (with the in-place
    // accelerators where a command has one here).
    for (const EmbedMenuItem& item : InPlaceMenu()) {
        QAction* action = item.id ? commands_->action(item.id) : nullptr;
        if (!action) continue;
        if (!item.shortcut.isEmpty()) action->setShortcut(QKeySequence(item.shortcut));
        addAction(action);
    }

    m_resizeBar = new CInPlaceResizeBar;
    view_ = new CVandrelView(document);
    view_->setObjectName(QStringLiteral("inPlaceView"));
    m_resizeBar->setBody(view_);
    setCentralWidget(m_resizeBar);
    connect(m_resizeBar, &CInPlaceResizeBar::resized, this, &CInPlaceFrame::rectChanged);
    m_dropTarget = new CInPlaceDropTarget(this);
    m_dropTarget->Register(this);
    connect(m_dropTarget, &CInPlaceDropTarget::fileDropped, this,
            [this](const QString& path) { CInPlaceDropTarget::DropFile(document_, path); });

    // The states follow the document, the view's zoom and the application's
    // conditions.
    connect(document_, &Document::pictureChanged, commands_, &CommandSet::refresh);
    connect(document_, &Document::modifiedChanged, commands_, &CommandSet::refresh);
    connect(document_, &Document::historyChanged, commands_, &CommandSet::refresh);
    connect(document_, &Document::busyChanged, commands_, &CommandSet::refresh);
    connect(view_, &CVandrelView::zoomChanged, commands_, &CommandSet::refresh);
    if (CVandrelApp* app = theApp())
        connect(app, &CVandrelApp::commandConditionsChanged, commands_, &CommandSet::refresh);
}

CInPlaceFrame::~CInPlaceFrame() {
    // The tool bar is a window of its own: it goes with the frame.
    delete m_toolBar;
}

bool CInPlaceFrame::Create(QWindow* container, QSize containerSize, const QRect& rect, QString* error) {
    if (!container || rect.isEmpty()) {
        if (error) *error = QStringLiteral("No window or an empty rectangle to edit the picture in.");
        return false;
    }
    setAttribute(Qt::WA_NativeWindow);
    winId();
    QWindow* own = windowHandle();
    if (!own) {
        if (error) *error = QStringLiteral("The in-place frame could not be created.");
        return false;
    }
    own->setParent(container);
    setGeometry(rect);
    if (!OnCreateControlBars(container, containerSize.width(), error)) {
        own->setParent(nullptr);
        return false;
    }
    show();
    commands_->refresh();
    return true;
}

bool CInPlaceFrame::OnCreateControlBars(QWindow* container, int containerWidth, QString* error) {
    m_toolBar = new QToolBar;
    m_toolBar->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    m_toolBar->setObjectName(QStringLiteral("inPlaceToolBar"));
    m_toolBar->setAccessibleName(InPlaceFrameText::tr("Toolbar"));
    m_toolBar->setMovable(false);
    m_toolBar->setIconSize(QSize(16, 16));
    commands_->fillToolBar(m_toolBar, CommandSurface::InPlaceToolBar);
    if (m_toolBar->actions().isEmpty()) {
        if (error) *error = QStringLiteral("The in-place tool bar could not be made.");
        return false;
    }
    m_toolBar->setAttribute(Qt::WA_NativeWindow);
    m_toolBar->winId();
    QWindow* bar = m_toolBar->windowHandle();
    if (!bar) {
        if (error) *error = QStringLiteral("The in-place tool bar could not be made.");
        return false;
    }
    bar->setParent(container);
    // Along the top of the container's window, a line at its bottom.
    m_toolBar->setStyleSheet(QStringLiteral("QToolBar#inPlaceToolBar { border-bottom: 1px solid palette(dark); }"));
    const int width = std::max(containerWidth, m_toolBar->sizeHint().width());
    m_toolBar->setGeometry(0, 0, width, m_toolBar->sizeHint().height());
    m_toolBar->show();
    return true;
}

QWidget* CInPlaceFrame::activeView() const { return view_; }

bool CInPlaceFrame::activeDocumentBusy() const { return document_ && document_->busy(); }
bool CInPlaceFrame::sheetOpen() const { return StitchIdle() == 0; }

// Without the application (a frame on its own) nothing grays the commands
// but their own predicates.
bool CInPlaceFrame::printerAvailable() const { return !theApp() || theApp()->printerAvailable(); }

bool CInPlaceFrame::scannerAvailable() const { return !theApp() || theApp()->scannerAvailable(); }

Workspace::Opened CInPlaceFrame::openPicture(std::unique_ptr<CPicture>) { return {}; }

bool CInPlaceFrame::iconBarShown() const { return m_toolBar && m_toolBar->isVisible(); }

void CInPlaceFrame::setIconBarShown(bool shown) {
    if (m_toolBar) m_toolBar->setVisible(shown);
}

void CInPlaceFrame::customEvent(QEvent* event) {
    if (event->type() == TwainXferDoneEvent::kType) {
        auto picture = static_cast<TwainXferDoneEvent*>(event)->TakePicture();
        if (picture && document_) document_->setPicture(std::move(picture));
        return;
    }
    QMainWindow::customEvent(event);
}
