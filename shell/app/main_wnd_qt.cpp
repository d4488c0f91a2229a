#include "shell/app/main_wnd_qt.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "acquire/xfer_done_qt.h"
#include "base/command_registry_qt.h"
#include "base/job_qt.h"
#include "base/window_title_qt.h"
#include "document/document_qt.h"
#include "platform/profile.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "shell/app/app_qt.h"
#include "shell/app/doc_template_qt.h"
#include "shell/app/icon_bar_qt.h"
#include "shell/app/status_bar_qt.h"

namespace {

constexpr const char* kIconBarKey = "IconBar";
constexpr const char* kGeometryKey = "Geometry";

std::string MainWindowSection() { return LoadStringById(IDS_SECTION_MAINWINDOW); }

// The widget of a document window that takes commands: the window's own
// widget, or the first widget inside it that is a command target.
QWidget* ViewOf(QMdiSubWindow* window) {
    if (!window || !window->widget()) return nullptr;
    QWidget* top = window->widget();
    if (dynamic_cast<CommandTarget*>(top)) return top;
    for (QWidget* child : top->findChildren<QWidget*>())
        if (dynamic_cast<CommandTarget*>(child)) return child;
    return nullptr;
}

}  // namespace

PMainWnd::PMainWnd(CommandSet* commands, QWidget* parent)
    : QMainWindow(parent), commands_(commands), mdi_(new QMdiArea(this)) {
    setObjectName("PMainWnd");
    setAccessibleName(TemplateTitle());
    setWindowTitle(TemplateTitle());
    setWindowIcon(ApplicationIcon());
    setContextMenuPolicy(Qt::PreventContextMenu);
    setAcceptDrops(true);

    mdi_->setObjectName("DocumentArea");
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    connect(mdi_, &QMdiArea::subWindowActivated, this, &PMainWnd::onWindowActivated);

    iconBar_ = CreateIconBar(commands_, this);
    addToolBar(Qt::TopToolBarArea, iconBar_);
    setDockOptions(dockOptions());

    statusBar_ = new CMainStatusBar(this);
    setStatusBar(statusBar_);
    toggle_ = new CIconBarToggle;
    statusBar_->setToggleButton(toggle_);
    connect(toggle_, &QAbstractButton::clicked, this, [this] { commands_->execute(ID_VIEW_ICONBAR); });

    buildMenus();

    // The icon bar as the user left it.
    const bool shown = platform::GetProfileInt(MainWindowSection(), kIconBarKey, 1) != 0;
    iconBar_->setVisible(shown);
    toggle_->setBarShown(shown);
}

PMainWnd::~PMainWnd() {
    // The base class's destructor still deletes the children, and they report
    // it (the document area says no window is active): by then this part of
    // the object is gone, so nothing of theirs may reach it.
    for (QObject* child : findChildren<QObject*>()) QObject::disconnect(child, nullptr, this, nullptr);
    QObject::disconnect(qApp, nullptr, this, nullptr);
}

void PMainWnd::connectPrompts(QMenu* menu) {
    connect(menu, &QMenu::hovered, this, [this](QAction* action) {
        if (!action || action->isSeparator()) return;
        QString prompt = PromptForMenuItem(action);
        // A command grayed by the open stitch sheet says so.
        if (!action->isEnabled() && !action->menu() && theApp() && theApp()->sheetOpen())
            prompt = prompt.isEmpty() ? PMainWnd::tr("Not available while the stitch sheet is open")
                                      : prompt + PMainWnd::tr(" (not available while the stitch sheet is open)");
        statusBar_->SetPrompt(prompt);
    });
    connect(menu, &QMenu::aboutToHide, this, [this] { statusBar_->ShowPrompt(ID_PROMPT_IDLE); });
}

void PMainWnd::buildMenus() {
    for (const QString& title : commands_->registry().menus(CommandSurface::MainMenu)) {
        QMenu* menu = menuBar()->addMenu(MenuTitleText(title));
        menu->setObjectName(PlainText(title.toStdString()).c_str());
        const std::map<int, QAction*> separators = commands_->fillMenu(menu, CommandSurface::MainMenu, title);
        connectPrompts(menu);
        for (QMenu* sub : menu->findChildren<QMenu*>()) connectPrompts(sub);
        if (title == "&File") {
            fileMenu_ = menu;
            // The recent files: their separator shows with the first of them.
            for (int id = ID_FILE_MRU_FILE1; id <= ID_FILE_MRU_FILE4; ++id)
                if (QAction* action = commands_->action(id)) action->setVisible(false);
            if (const QAction* first = commands_->action(ID_FILE_MRU_FILE1)) {
                const CommandPlace* place = commands_->registry().place(first->data().toInt(), CommandSurface::MainMenu);
                auto it = place ? separators.find(place->group) : separators.end();
                recentSeparator_ = it == separators.end() ? nullptr : it->second;
            }
            if (recentSeparator_) recentSeparator_->setVisible(false);
        } else if (title == "&Window") {
            windowMenu_ = menu;
            connect(windowMenu_, &QMenu::aboutToShow, this, &PMainWnd::fillWindowList);
        }
    }
}

void PMainWnd::fillWindowList() {
    qDeleteAll(windowListActions_);
    windowListActions_.clear();
    const QList<QMdiSubWindow*> windows = documentWindows();
    if (windows.isEmpty()) return;
    windowListActions_ << windowMenu_->addSeparator();
    int n = 1;
    for (QMdiSubWindow* w : windows) {
        QString title = PlainWindowTitle(w);
        title.replace('&', "&&");
        QAction* a = windowMenu_->addAction(QString("&%1 %2").arg(n++).arg(title));
        a->setCheckable(true);
        a->setChecked(w == mdi_->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { mdi_->setActiveSubWindow(w); });
        windowListActions_ << a;
    }
}

QString PMainWnd::PromptForMenuItem(const QAction* action) {
    if (!action || action->isSeparator()) return {};
    if (action->menu()) return CommandPrompt(ID_PROMPT_POPUP);
    bool ok = false;
    const int id = action->data().toInt(&ok);
    return ok ? CommandPrompt(id) : QString();
}

void PMainWnd::updateRecentFileMenu(const QStringList& files) {
    for (int i = 0; i < 4; ++i) {
        QAction* action = commands_->action(ID_FILE_MRU_FILE1 + i);
        if (i < files.size()) {
            QString shown = files[i];
            if (shown.size() > 60) shown = shown.left(12) + "..." + shown.right(45);
            shown.replace('&', "&&");
            action->setText(QString("&%1 %2").arg(i + 1).arg(shown));
            action->setToolTip(files[i]);
            action->setVisible(true);
        } else {
            action->setText(QString());
            action->setVisible(false);
        }
    }
    if (recentSeparator_) recentSeparator_->setVisible(!files.isEmpty());
}

QMdiSubWindow* PMainWnd::activeDocumentWindow() const {
    QMdiSubWindow* w = mdi_->activeSubWindow();
    if (!w) {
        // The area forgets its active window while the application is not
        // active; the top one is still the user's.
        const QList<QMdiSubWindow*> list = mdi_->subWindowList(QMdiArea::StackingOrder);
        if (!list.isEmpty()) w = list.last();
    }
    return w;
}

QWidget* PMainWnd::activeView() const { return ViewOf(activeDocumentWindow()); }

Document* PMainWnd::activeDocument() const { return DocumentOfWindow(activeDocumentWindow()); }

QList<QMdiSubWindow*> PMainWnd::documentWindows() const { return mdi_->subWindowList(); }

void PMainWnd::addDocumentWindow(QMdiSubWindow* window) {
    if (Document* document = DocumentOfWindow(window)) {
        connect(document, &Document::pathChanged, commands_, &CommandSet::refresh);
        connect(document, &Document::pictureChanged, commands_, &CommandSet::refresh);
        connect(document, &Document::modifiedChanged, commands_, &CommandSet::refresh);
        connect(document, &Document::historyChanged, commands_, &CommandSet::refresh);
        connect(document, &Document::busyChanged, commands_, &CommandSet::refresh);
    }
    // A minimised view takes no zoom; a closed window leaves the list once it is gone.
    connect(window, &QMdiSubWindow::windowStateChanged, commands_, &CommandSet::refresh);
    connect(window, &QObject::destroyed, commands_, &CommandSet::refresh, Qt::QueuedConnection);
    mdi_->addSubWindow(window);
    window->show();
    mdi_->setActiveSubWindow(window);
    onWindowActivated(window);
}

void PMainWnd::setIconBarShown(bool shown) {
    iconBar_->setVisible(shown);
    toggle_->setBarShown(shown);
    const bool written = platform::WriteProfileInt(MainWindowSection(), kIconBarKey, shown ? 1 : 0) != 0;
    if (theApp()) theApp()->SettingsWritten(written);
}

bool PMainWnd::showAsLeft() {
    const std::string kept = platform::GetProfileString(MainWindowSection(), kGeometryKey, "");
    if (kept.empty() || !restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(kept)))) return false;
    show();
    return true;
}

bool PMainWnd::keepGeometry() {
    return platform::WriteProfileString(MainWindowSection(), kGeometryKey, saveGeometry().toBase64().toStdString()) != 0;
}

bool PMainWnd::iconBarShown() const { return !iconBar_->isHidden(); }

void PMainWnd::setStatusBarShown(bool shown) { statusBar_->setVisible(shown); }

bool PMainWnd::statusBarShown() const { return !statusBar_->isHidden(); }

void PMainWnd::onWindowActivated(QMdiSubWindow* window) {
    if (window) {
        connect(window, &QWidget::windowTitleChanged, this, &PMainWnd::updateTitle, Qt::UniqueConnection);
        // A view reports the mouse position on its picture.
        if (QWidget* view = ViewOf(window)) {
            if (view->metaObject()->indexOfSignal("picturePosition(QPoint)") >= 0)
                connect(view, SIGNAL(picturePosition(QPoint)), statusBar_, SLOT(OnPicturePosition(QPoint)),
                        Qt::UniqueConnection);
            // Its zoom decides the zoom commands' states.
            if (view->metaObject()->indexOfSignal("zoomChanged(int)") >= 0)
                connect(view, SIGNAL(zoomChanged(int)), commands_, SLOT(refresh()), Qt::UniqueConnection);
            // Its selection decides whether it can be cropped to.
            if (view->metaObject()->indexOfSignal("selectionChanged(QRect)") >= 0)
                connect(view, SIGNAL(selectionChanged(QRect)), commands_, SLOT(refresh()), Qt::UniqueConnection);
        }
    }
    statusBar_->ClearPosition();
    updateTitle();
    commands_->refresh();
}

QString PMainWnd::wantedTitle() const {
    QMdiSubWindow* window = mdi_->activeSubWindow();
    if (!window && !documentWindows().isEmpty()) window = activeDocumentWindow();
    if (!window) return TemplateTitle();
    return window->windowTitle() + " - " + TemplateTitle();
}

bool PMainWnd::titleShows(const QString& wanted) const {
    // A maximised document window writes its own form of the title: ours
    // with its title in brackets after it.
    const QString title = windowTitle();
    return title == wanted || (title.startsWith(wanted + QStringLiteral(" - [")) && title.endsWith(u']'));
}

void PMainWnd::updateTitle() {
    const QString title = wantedTitle();
    // The unsaved mark of the active document ([*] in its window's title).
    const bool modified = title.contains(QStringLiteral("[*]"));
    if (!modified) setWindowModified(false);
    if (titleShows(title) || settingTitle_) {
        if (modified) setWindowModified(true);
        return;
    }
    // A maximised document window answers at once with its own form of
    // the title, inside this call: that answer is not a change to undo.
    settingTitle_ = true;
    setWindowTitle(title);
    settingTitle_ = false;
    if (modified) setWindowModified(true);
}

void PMainWnd::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Someone else wrote the title (a document window that stops being
    // maximised puts back the one it found): ours comes back now, never
    // later from the event queue, where the next answer would queue the
    // next update without end (and a long operation, which lets events
    // through between its steps, would never get to its next step).
    if (event->type() == QEvent::WindowTitleChange) updateTitle();
}

bool PMainWnd::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        statusBar_->SetPrompt(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void PMainWnd::closeEvent(QCloseEvent* event) {
    // Work still running is stopped first, when the user agrees: each job
    // ends as if cancelled (its document as it was, no file half written)
    // before anything closes.
    if (!Job::runningJobs().isEmpty()) {
        if (!Document::AskStopWork(this, QString::fromUtf8(LoadStringById(IDS_STOP_WORK_TO_QUIT)))) {
            event->ignore();
            return;
        }
        for (Job* job : Job::runningJobs()) job->cancel();
        for (Job* job : Job::runningJobs()) job->finishNow();
    }
    // Every document asks before it goes; one cancel keeps them all.
    for (QMdiSubWindow* window : documentWindows()) {
        if (!window->close()) {
            event->ignore();
            return;
        }
    }
    if (isVisible()) {
        const bool written = keepGeometry();
        if (theApp()) theApp()->SettingsWritten(written);
    }
    event->accept();
}

void PMainWnd::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
}

void PMainWnd::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    activateWindow();
    // Opened after the drop returns, so that the dragging program is free.
    QTimer::singleShot(0, this, [paths] {
        for (const QString& path : paths)
            if (CVandrelApp* app = theApp()) app->OpenDocumentFile(path);
    });
}

void PMainWnd::customEvent(QEvent* event) {
    if (event->type() == TwainXferDoneEvent::kType) {
        auto picture = static_cast<TwainXferDoneEvent*>(event)->TakePicture();
        if (picture && theApp()) theApp()->NewDocumentWithPicture(std::move(picture));
        return;
    }
    QMainWindow::customEvent(event);
}
