#include "shell/embed/embed_server_qt.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QAbstractNativeEventFilter>
#include <QDBusServiceWatcher>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <cstdio>
#include <cstdlib>
#include <xcb/xcb.h>

#include "acquire/acquire_commands_qt.h"
#include "base/message_box.h"
#include "document/document_qt.h"
#include "picture/picture.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/doc_template_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/embed/embedded_menu_qt.h"
#include "shell/embed/in_place_frame_qt.h"
#include "shell/embed/srvr_item_qt.h"

namespace embed {

void RegisterTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<EmbedMenuItem>();
        qDBusRegisterMetaType<EmbedMenu>();
        return true;
    }();
    (void)registered;
}

}  // namespace embed

namespace {

// Whether window names a window of the X server we draw on; its size when so.
bool ExistingWindow(qulonglong window, QSize* size, QString* error) {
    if (window == 0 || window > 0xffffffffULL) {
        *error = QStringLiteral("0x%1 is not a window id.").arg(window, 0, 16);
        return false;
    }
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) {
        *error = QStringLiteral("Editing in place needs an X11 display.");
        return false;
    }
    xcb_generic_error_t* failure = nullptr;
    xcb_get_geometry_reply_t* reply =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, xcb_drawable_t(window)), &failure);
    std::free(failure);
    if (!reply) {
        *error = QStringLiteral("There is no window 0x%1.").arg(window, 0, 16);
        return false;
    }
    *size = QSize(reply->width, reply->height);
    std::free(reply);
    return true;
}

// Before a document's own window closes: the container gets the changes
// (an embedded document is saved into its container, without a question).
class UpdateOnClose : public QObject {
public:
    UpdateOnClose(QObject* parent, std::function<void()> update) : QObject(parent), update_(std::move(update)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close) update_();
        return false;
    }

private:
    std::function<void()> update_;
};

// The in-place commands that show a sheet or dialog and wait for the user.
bool OpensAWindow(int command) {
    const CommandDecl* decl = ProgramCommands().find(command);
    return decl && decl->asksUser;
}

// Asks the X server to tell us when window is destroyed.
void WatchWindow(qulonglong window) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return;
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, xcb_window_t(window), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
}

}  // namespace

// Tells the server which windows the X server destroyed.
class CEmbedServer::WindowWatch : public QAbstractNativeEventFilter {
public:
    explicit WindowWatch(CEmbedServer* server) : server_(server) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY) {
            const qulonglong window = reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window;
            // Not from within the event handling: the frame goes afterwards.
            QTimer::singleShot(0, server_, [server = server_, window] { server->onWindowDestroyed(window); });
        }
        return false;
    }

private:
    CEmbedServer* server_;
};

CEmbedServer::CEmbedServer(QObject* parent) : QObject(parent), windowWatch_(std::make_unique<WindowWatch>(this)) {
    embed::RegisterTypes();
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installNativeEventFilter(windowWatch_.get());
        // The documents and their windows go while the application still stands.
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            while (!entries_.empty()) closeEntry(entries_.begin()->first);
        });
    }
}

CEmbedServer::~CEmbedServer() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(windowWatch_.get());
    while (!entries_.empty()) closeEntry(entries_.begin()->first);
    for (Retired& retired : retired_) delete retired.object.data();
    // Its menu asks this server about windows: it goes first.
    delete menu_.data();
}

void CEmbedServer::retire(QObject* object, int loopLevel) {
    if (!object) return;
    retired_.push_back({object, loopLevel});
    disposeRetired();
}

void CEmbedServer::disposeRetired(bool late) {
    const int level = QThread::currentThread()->loopLevel();
    bool disposed = false;
    for (std::size_t i = 0; i < retired_.size();) {
        if (retired_[i].object && retired_[i].loopLevel < level) {
            ++i;
            continue;
        }
        QObject* object = retired_[i].object.data();
        retired_.erase(retired_.begin() + std::ptrdiff_t(i));
        if (object) {
            delete object;
            disposed = true;
        }
    }
    if (!retired_.empty() && !disposeScheduled_) {
        disposeScheduled_ = true;
        QTimer::singleShot(50, this, [this] {
            disposeScheduled_ = false;
            disposeRetired(true);
        });
    }
    // A document window let go late may have been the last one.
    if (late && disposed) CheckIdle();
}

void CEmbedServer::onWindowDestroyed(qulonglong window) {
    // A container's window destroyed while its document was active in
    // place: editing ends there, the container still gets the changes.
    for (auto& [id, entry] : entries_)
        if (entry.frame && entry.containerId == window) deactivate(id, entry, true);
}

bool CEmbedServer::Register(QDBusConnection connection, QString* error) {
    if (!connection.isConnected()) {
        if (error) *error = QStringLiteral("The session bus cannot be reached: ") + connection.lastError().message();
        return false;
    }
    if (!connection.registerObject(QString::fromLatin1(embed::kPath), this,
                                   QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals)) {
        if (error) *error = QStringLiteral("The embedding object could not be registered on the session bus.");
        return false;
    }
    if (!connection.registerService(QString::fromLatin1(embed::kService))) {
        connection.unregisterObject(QString::fromLatin1(embed::kPath));
        if (error) *error = QStringLiteral("Another program already serves %1.").arg(embed::kService);
        return false;
    }
    watcher_ = new QDBusServiceWatcher(this);
    watcher_->setConnection(connection);
    watcher_->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &CEmbedServer::onOwnerGone);
    return true;
}

Document* CEmbedServer::document(uint id) const {
    auto it = entries_.find(id);
    return it == entries_.end() ? nullptr : it->second.document.data();
}

CInPlaceFrame* CEmbedServer::inPlaceFrame(uint id) const {
    auto it = entries_.find(id);
    return it == entries_.end() ? nullptr : it->second.frame;
}

void CEmbedServer::fail(const char* name, const QString& text) {
    lastError_ = QString::fromLatin1(name);
    if (calledFromDBus()) sendErrorReply(lastError_, text);
}

CEmbedServer::Entry* CEmbedServer::find(uint id) {
    auto it = entries_.find(id);
    if (it == entries_.end() || !it->second.document) {
        fail(embed::kErrorUnknownDocument, QStringLiteral("There is no embedded document %1.").arg(id));
        return nullptr;
    }
    return &it->second;
}

uint CEmbedServer::add(Document* document) {
    const uint id = nextId_++;
    Entry& entry = entries_[id];
    entry.document = document;
    entry.item = std::make_unique<CVandrelSrvrItem>(document);
    entry.loopLevel = QThread::currentThread()->loopLevel();
    if (calledFromDBus()) {
        entry.owner = message().service();
        if (watcher_ && !watcher_->watchedServices().contains(entry.owner)) watcher_->addWatchedService(entry.owner);
    }
    connect(document, &QObject::destroyed, this, [this, id] { onDocumentGone(id); });
    succeed();
    return id;
}

uint CEmbedServer::OpenFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) {
        fail(embed::kErrorBadPicture, QStringLiteral("There is no file %1.").arg(path));
        return 0;
    }
    auto* document = new Document(this);
    MessageCapture messages;
    if (!document->core().LoadPicture(info.absoluteFilePath().toStdString())) {
        delete document;
        fail(embed::kErrorBadPicture, messages.Text(QStringLiteral("%1 is not a picture that can be read.").arg(path)));
        return 0;
    }
    document->core().SetPathName(info.absoluteFilePath().toStdString());
    document->setModified(false);
    return add(document);
}

uint CEmbedServer::OpenBytes(const QByteArray& bytes) {
    auto* document = new Document(this);
    if (bytes.isEmpty()) {
        // A new embedding: the new document's picture.
        MessageCapture messages;
        if (!document->core().OnNewDocument()) {
            delete document;
            fail(embed::kErrorFailed, messages.Text(QStringLiteral("No new picture could be made.")));
            return 0;
        }
    } else {
        QString error;
        std::unique_ptr<CPicture> picture = CVandrelSrvrItem::PictureFromBytes(bytes, &error);
        if (!picture) {
            delete document;
            fail(embed::kErrorBadPicture, error);
            return 0;
        }
        document->core().SetPicture(std::move(picture));
    }
    document->setModified(false);
    return add(document);
}

QSize CEmbedServer::Extent(uint id) {
    Entry* entry = find(id);
    if (!entry) return {};
    succeed();
    return entry->item->OnGetExtent();
}

QByteArray CEmbedServer::Draw(uint id, int width, int height) {
    Entry* entry = find(id);
    if (!entry) return {};
    const QImage image = entry->item->OnDraw(QSize(width, height));
    if (image.isNull()) {
        fail(embed::kErrorBadSize, QStringLiteral("Cannot draw into an image of %1 x %2 pixels.").arg(width).arg(height));
        return {};
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        fail(embed::kErrorFailed, QStringLiteral("The drawing could not be encoded."));
        return {};
    }
    succeed();
    return png;
}

QByteArray CEmbedServer::Bytes(uint id) {
    Entry* entry = find(id);
    if (!entry) return {};
    const QByteArray bytes = entry->item->Serialize();
    if (bytes.isEmpty()) {
        fail(embed::kErrorFailed, QStringLiteral("The document's picture could not be written."));
        return {};
    }
    // Saved into the container.
    entry->document->setModified(false);
    succeed();
    return bytes;
}

void CEmbedServer::ShowWindow(uint id) {
    Entry* entry = find(id);
    if (!entry) return;
    PMainWnd* main = theApp() ? theApp()->mainWindow() : nullptr;
    if (!main) {
        fail(embed::kErrorFailed, QStringLiteral("The program has no window to open the document in."));
        return;
    }
    if (entry->frame) deactivate(id, *entry, true);
    if (!menu_) installEmbeddedMenu();
    if (!entry->window) {
        QMdiSubWindow* window = CreateDocumentWindow(entry->document, theApp()->untitledCounter());
        // Closing the window ends the document (its binding): the container
        // gets its changes first and is told.
        window->installEventFilter(new UpdateOnClose(window, [this, id] {
            if (Entry* e = entries_.count(id) ? &entries_[id] : nullptr) update(id, *e);
        }));
        // Known as embedded before it becomes the active window.
        entry->window = window;
        if (menu_)
            connect(window, &QObject::destroyed, menu_.data(),
                    [menu = menu_] { QTimer::singleShot(0, menu, [menu] { if (menu) menu->Refresh(); }); });
        main->addDocumentWindow(window);
    } else {
        main->mdiArea()->setActiveSubWindow(entry->window);
    }
    if (menu_) menu_->Refresh();
    main->show();
    main->raise();
    main->activateWindow();
    succeed();
}

CEmbeddedMenu* CEmbedServer::embeddedMenu() const { return menu_.data(); }

void CEmbedServer::installEmbeddedMenu() {
    CVandrelApp* app = theApp();
    PMainWnd* main = app ? app->mainWindow() : nullptr;
    if (!main || !app->commands()) return;
    menu_ = new CEmbeddedMenu(main, app->commands(), [this](const QMdiSubWindow* window) -> uint {
        for (const auto& [id, entry] : entries_)
            if (entry.window && entry.window == window) return id;
        return 0;
    });
    connect(menu_, &CEmbeddedMenu::updateRequested, this, [this](uint id) { UpdateContainer(id); });
    connect(menu_, &CEmbeddedMenu::saveCopyAsRequested, this, [this](uint id) { SaveCopyAs(id); });
    // Save and Save As grayed for an embedded document (its menu has Update
    // and Save Copy As in their place).
    app->commands()->addRule([menu = menu_](int id, CommandState& state) {
        if (menu) menu->ApplyRules(id, state);
    });
}

bool CEmbedServer::UpdateContainer(uint id) {
    Entry* entry = find(id);
    if (!entry) return false;
    const QByteArray bytes = entry->item->Serialize();
    if (bytes.isEmpty()) {
        ShowMessageById(IDS_FAILED_TO_SAVE_DOCUMENT);
        fail(embed::kErrorFailed, QStringLiteral("The document's picture could not be written."));
        return false;
    }
    // The container holds the picture as it is now.
    entry->document->setModified(false);
    succeed();
    emit Updated(id, bytes);
    return true;
}

bool CEmbedServer::SaveCopyAs(uint id, const QString& path) {
    Entry* entry = find(id);
    if (!entry) return false;
    succeed();
    QString target = path;
    if (target.isEmpty()) {
        QWidget* owner = entry->window ? entry->window->window() : nullptr;
        target = ChooseDocumentCopyPath(owner, entry->document);
        if (target.isEmpty()) return false;
    }
    return SaveDocumentCopy(entry->document, target);
}

void CEmbedServer::ActivateInPlace(uint id, qulonglong window, int x, int y, int width, int height) {
    Entry* entry = find(id);
    if (!entry) return;
    const QRect rect(x, y, width, height);
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) {
        fail(embed::kErrorBadSize, QStringLiteral("Cannot edit in a rectangle of %1 x %2 pixels.").arg(width).arg(height));
        return;
    }
    QSize containerSize;
    QString error;
    if (!ExistingWindow(window, &containerSize, &error)) {
        fail(embed::kErrorInvalidWindow, error);
        return;
    }
    if (entry->window) {
        fail(embed::kErrorFailed, QStringLiteral("The document is open in the program's own window."));
        return;
    }
    if (entry->frame) {
        if (entry->containerId == window) {
            entry->frame->setGeometry(rect);
            succeed();
            return;
        }
        deactivate(id, *entry, true);
    }
    QWindow* container = QWindow::fromWinId(WId(window));
    auto* frame = container ? new CInPlaceFrame(entry->document) : nullptr;
    if (!frame || !frame->Create(container, containerSize, rect, &error)) {
        delete frame;
        delete container;
        fail(embed::kErrorFailed, error.isEmpty() ? QStringLiteral("Editing in place could not start.") : error);
        return;
    }
    connect(frame, &CInPlaceFrame::rectChanged, this,
            [this, id](const QRect& r) { emit InPlaceRectChanged(id, r.x(), r.y(), r.width(), r.height()); });
    entry->frame = frame;
    entry->container = container;
    entry->containerId = window;
    WatchWindow(window);
    // No progress and no question to save while in place.
    entry->document->core().SetInPlaceActive(true);
    succeed();
}

void CEmbedServer::update(uint id, Entry& entry) {
    if (!entry.document || !entry.document->isModified()) return;
    const QByteArray bytes = entry.item->Serialize();
    if (bytes.isEmpty()) return;
    entry.document->setModified(false);
    emit Updated(id, bytes);
}

void CEmbedServer::deactivate(uint id, Entry& entry, bool updateContainer) {
    if (!entry.frame) return;
    if (updateContainer) update(id, entry);
    if (entry.document) entry.document->core().SetInPlaceActive(false);
    CInPlaceFrame* frame = entry.frame;
    entry.frame = nullptr;
    frame->hide();
    if (frame->toolBar()) frame->toolBar()->hide();
    // Its sheets and dialogs end with the editing.
    for (QWidget* widget : frame->findChildren<QWidget*>())
        if (widget->isWindow() && widget->isVisible()) widget->close();
    retire(frame, entry.loopLevel);
    retire(entry.container, entry.loopLevel);
    entry.container = nullptr;
    entry.containerId = 0;
}

void CEmbedServer::Deactivate(uint id) {
    Entry* entry = find(id);
    if (!entry) return;
    deactivate(id, *entry, true);
    succeed();
}

EmbedMenu CEmbedServer::InPlaceMenu(uint id) {
    if (!find(id)) return {};
    succeed();
    return CInPlaceFrame::InPlaceMenu();
}

bool CEmbedServer::InvokeCommand(uint id, int command) {
    Entry* entry = find(id);
    if (!entry) return false;
    if (!entry->frame) {
        fail(embed::kErrorFailed, QStringLiteral("Document %1 is not active in place.").arg(id));
        return false;
    }
    if (!CInPlaceFrame::IsInPlaceCommand(command)) {
        fail(embed::kErrorFailed, QStringLiteral("%1 is not a command of the in-place menu.").arg(command));
        return false;
    }
    succeed();
    CInPlaceFrame* frame = entry->frame;
    if (calledFromDBus() && OpensAWindow(command)) {
        // A sheet or dialog waits for the user: the container is answered
        // first (whether the command could start) and is not held meanwhile.
        if (!frame->commands()->state(command).enabled) return false;
        QTimer::singleShot(0, frame, [frame, command] { frame->commands()->execute(command); });
        return true;
    }
    return frame->commands()->execute(command);
}

QList<qulonglong> CEmbedServer::InPlaceWindows(uint id) {
    Entry* entry = find(id);
    if (!entry) return {};
    succeed();
    if (!entry->frame || !entry->frame->toolBar()) return {};
    return {qulonglong(entry->frame->toolBar()->winId()), qulonglong(entry->frame->winId())};
}

void CEmbedServer::Close(uint id) {
    if (!find(id)) return;
    closeEntry(id);
    succeed();
    CheckIdle();
}

void CEmbedServer::closeEntry(uint id) {
    auto it = entries_.find(id);
    if (it == entries_.end()) return;
    Entry entry = std::move(it->second);
    entries_.erase(it);
    deactivate(id, entry, false);
    if (entry.document) {
        QObject::disconnect(entry.document, &QObject::destroyed, this, nullptr);
        entry.document->setModified(false);
        if (entry.window) {
            entry.window->hide();
            retire(entry.window, entry.loopLevel);  // its binding lets the document go
        } else {
            retire(entry.document, entry.loopLevel);
        }
    }
}

void CEmbedServer::onDocumentGone(uint id) {
    auto it = entries_.find(id);
    if (it == entries_.end()) return;
    deactivate(id, it->second, false);
    entries_.erase(it);
    emit Closed(id);
    CheckIdle();
}

void CEmbedServer::onOwnerGone(const QString& name) {
    std::vector<uint> ids;
    for (const auto& [id, entry] : entries_)
        if (entry.owner == name) ids.push_back(id);
    for (uint id : ids) closeEntry(id);
    if (watcher_) watcher_->removeWatchedService(name);
    CheckIdle();
}

void CEmbedServer::CheckIdle() {
    if (!quitWhenIdle_) return;
    CVandrelApp* app = theApp();
    PMainWnd* main = app ? app->mainWindow() : nullptr;
    // The program's own window, once it holds no document, goes away again.
    const bool ownDocuments = main && !main->documentWindows().isEmpty();
    if (main && main->isVisible() && !ownDocuments) main->hide();
    if (!entries_.empty() || ownDocuments) return;
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
}

bool StartEmbeddingServer(CVandrelApp* app) {
    // One service per program, however often the start-up runs.
    if (app->findChild<CEmbedServer*>(QString(), Qt::FindDirectChildrenOnly)) return true;
    // The program ends when its last embedded document goes, not when its
    // last window closes.
    app->setQuitOnLastWindowClosed(false);
    app->setScannerAvailable(ScannerAvailable());
    auto* server = new CEmbedServer(app);
    QString error;
    if (!server->Register(QDBusConnection::sessionBus(), &error)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        delete server;
        return false;
    }
    server->setQuitWhenIdle(true);
    // The program's own window closed with no document left: nothing to serve.
    QObject::connect(app, &QGuiApplication::lastWindowClosed, server, [server] { server->CheckIdle(); });
    return true;
}
