#include "shell/app/app_qt.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>

#include "acquire/acquire_commands_qt.h"
#include "base/job_qt.h"
#include "base/message_box.h"
#include "document/document_qt.h"
#include "document/file_dialogs_qt.h"
#include "document/import_export.h"
#include "document/import_export_commands.h"
#include "document/import_export_formats.h"
#include "info/info_commands_qt.h"
#include "picture/image_store.h"
#include "picture/picture.h"
#include "platform/profile.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "base/command_registry_qt.h"
#include "shell/app/accessible_names_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/doc_template_qt.h"
#include "shell/app/icon_bar_qt.h"
#include "shell/app/logo_wnd_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/status_bar_qt.h"
#include "print/print_commands_qt.h"
#include "display/view_qt.h"
#include "stitch/stitch_app_qt.h"
#include "stitch/stitch_sheet_qt.h"

namespace {

bool IsEmbeddingSwitch(const QString& argument) {
    const QString a = argument.toLower();
    for (const char* s : {"-embedding", "/embedding", "--embedding", "-automation", "/automation", "--automation"})
        if (a == QLatin1String(s)) return true;
    return false;
}

QString ProgramName() { return QString::fromUtf8(LoadStringById(IDS_PRODUCT_FAMILY)); }

const char* HelpPage(int id) {
    switch (id) {
    case ID_HELP_INDEX: return "index.html";
    case ID_HELP_KEYBOARD: return "keyboard.html";
    case ID_HELP_ICONS: return "icons.html";
    case ID_HELP_USING: return "using-help.html";
    default: return nullptr;
    }
}

}  // namespace

// The running application; null before it is made and once its destructor
// has run (the cast fails on a bare QApplication).
CVandrelApp* theApp() { return qobject_cast<CVandrelApp*>(QCoreApplication::instance()); }

QString GetVersionText() {
    const std::string v = platform::GetProfileString(LoadStringById(IDS_SECTION_STITCHARA),
                                                     LoadStringById(IDS_KEY_VERSION), "");
    return v.empty() ? QString::fromUtf8(LoadStringById(IDS_DEFAULT_VERSION)) : QString::fromStdString(v);
}

QString GetLogoTitle() {
    return QString::fromStdString(platform::GetProfileString(
        LoadStringById(IDS_SECTION_STITCHARA), LoadStringById(IDS_KEY_LOGOTITLE), ProgramName().toStdString()));
}

CVandrelApp::StartOptions CVandrelApp::ParseCommandLine(const QStringList& arguments) {
    StartOptions options;
    QStringList rest;
    for (int i = 1; i < arguments.size(); ++i) {
        if (IsEmbeddingSwitch(arguments[i])) options.embedding = true;
        else rest << arguments[i];
    }
    options.path = rest.join(' ');
    return options;
}

CVandrelApp::CVandrelApp(int& argc, char** argv) : QApplication(argc, argv), stitchIdle(StitchIdleFlag()) {
    SetApplicationWorkspace(this);
    setApplicationName(ProgramName());
    setOrganizationName(QString::fromUtf8(LoadStringById(IDS_MANUFACTURER)));
    // A scan or a print job holds the scanner or the printer: their commands
    // gray while it runs. Queued, so that whoever started or took the job
    // has done its bookkeeping (the running print job, the engine's busy
    // mark) when the states are asked again.
    connect(Job::monitor(), &JobMonitor::started, this, &CVandrelApp::commandConditionsChanged, Qt::QueuedConnection);
    connect(Job::monitor(), &JobMonitor::ended, this, &CVandrelApp::commandConditionsChanged, Qt::QueuedConnection);
    setApplicationVersion(QStringLiteral("1.0"));
    setDesktopFileName(QStringLiteral("org.stitchara.Stitchara"));
    setWindowIcon(ApplicationIcon());
    InstallAccessibleNames();
}

CVandrelApp::~CVandrelApp() {
    // Documents and windows go before the application does.
    TearDown();
    Document::SetRecentFileSink({});
    SetMessageSink({});
    if (ApplicationWorkspace() == this) SetApplicationWorkspace(nullptr);
}

void CVandrelApp::TearDown() {
    // Windows that go with the main frame (an open stitch sheet) may still
    // refresh the command states: the frame is out of the chain before it
    // is destroyed.
    PMainWnd* main = main_;
    main_ = nullptr;
    delete main;
    const QList<Document*> docs = documents_;
    documents_.clear();
    qDeleteAll(docs);
    delete commands_;
    commands_ = nullptr;
}

bool CVandrelApp::InitInstance(const StartOptions& options) {
    // A second start-up (tests) begins from nothing.
    TearDown();
    steps_.clear();
    untitled_ = {};
    settingsWarned_ = false;
    // Settings with the four recent files. An unreadable settings file gives
    // the defaults.
    recent_.Load();
    steps_ << "settings";

    // The main frame, the command layer, the status bar as progress host.
    commands_ = new CommandSet(ProgramCommands(), *this, this);
    // The view decides the print commands' states; a print job holding the
    // printer grays them whatever it says.
    commands_->addRule([](int id, CommandState& state) { UpdatePrintCommand(id, state); });
    connect(this, &CVandrelApp::commandConditionsChanged, commands_, &CommandSet::refresh);
    main_ = new PMainWnd(commands_);
    main_->statusBar()->installAsProgressHost();
    SetMessageSink([this](const std::string& text) {
        ++messagesShown_;
        if (messageHandler_) {
            messageHandler_(QString::fromStdString(text));
            return;
        }
        // Over the window the user works in: a modal dialog, an open stitch
        // sheet (its refusals talk about its settings), or the main window.
        QWidget* owner = activeModalWidget();
        if (!owner && CurrentStitchSheet() && CurrentStitchSheet()->isVisible()) owner = CurrentStitchSheet();
        if (!owner) owner = main_;
        QMessageBox::warning(owner, ProgramName(), QString::fromStdString(text));
    });
    Document::SetRecentFileSink([this](const QString& path) { AddRecentFile(path); });
    main_->updateRecentFileMenu(recent_.Files());
    steps_ << "main frame";

    Formats().LoadFormats();
    steps_ << "formats";
    ProbePrinter();
    steps_ << "printer";

    if (options.embedding) {
        // A container started the program: the embedding service answers
        // it, and no window shows until a container asks for one.
        steps_ << "embedding";
        return embeddingService_ && embeddingService_(this);
    }

    // Without the scanner library the two scanning commands stay gray.
    scanner_ = ScannerAvailable();
    steps_ << "scanner";
    main_->setAcceptDrops(true);
    steps_ << "drops";
    // As the user left it, or maximised the first time.
    if (!main_->showAsLeft()) main_->showMaximized();
    steps_ << "show";
    SetStitchIdle(1);
    commands_->refresh();
    // The command line is opened once the window shows, so that the
    // progress of a large picture can be followed.
    if (!options.path.isEmpty()) {
        steps_ << "open";
        OpenDocumentFile(options.path);
    }
    if (options.showLogo) {
        steps_ << "logo";
        ShowLogoWindow(main_, 40000);
    }
    return true;
}

QList<Document*> CVandrelApp::documents() const { return documents_; }

bool CVandrelApp::ProbePrinter() {
    // Without a printer, printing goes to a PDF file.
    printer_ = PrintingAvailable();
    return printer_;
}

Workspace::Opened CVandrelApp::openPicture(std::unique_ptr<CPicture> picture) {
    Opened opened;
    opened.document = NewDocumentWithPicture(std::move(picture));
    if (!opened.document || !main_) return opened;
    for (QMdiSubWindow* window : main_->documentWindows()) {
        if (DocumentOfWindow(window) != opened.document) continue;
        opened.view = window->findChild<CVandrelView*>();
        if (opened.view) {
            main_->mdiArea()->setActiveSubWindow(window);
            opened.view->setFocus();
        }
        break;
    }
    return opened;
}

void CVandrelApp::setStatusPrompt(const QString& text) {
    if (main_) main_->statusBar()->SetPrompt(text);
}


void CVandrelApp::setPrinterAvailable(bool available) {
    printer_ = available;
    emit commandConditionsChanged();
}

void CVandrelApp::setScannerAvailable(bool available) {
    scanner_ = available;
    emit commandConditionsChanged();
}

void CVandrelApp::UpdateCommandStates() {
    if (commands_) commands_->refresh();
}

Document* CVandrelApp::activeDocument() const { return main_ ? main_->activeDocument() : nullptr; }
bool CVandrelApp::activeDocumentBusy() const {
    const Document* document = activeDocument();
    return document && document->busy();
}
QWidget* CVandrelApp::activeView() const { return main_ ? main_->activeView() : nullptr; }
QWidget* CVandrelApp::dialogParent() const { return main_; }
QMdiArea* CVandrelApp::documentArea() const { return main_ ? main_->mdiArea() : nullptr; }
bool CVandrelApp::iconBarShown() const { return main_ && main_->iconBarShown(); }
void CVandrelApp::setIconBarShown(bool shown) {
    if (main_) main_->setIconBarShown(shown);
}
bool CVandrelApp::statusBarShown() const { return main_ && main_->statusBarShown(); }
void CVandrelApp::setStatusBarShown(bool shown) {
    if (main_) main_->setStatusBarShown(shown);
}

void CVandrelApp::AddRecentFile(const QString& path) {
    SettingsWritten(recent_.Add(path));
    if (main_) main_->updateRecentFileMenu(recent_.Files());
    emit commandConditionsChanged();
}

void CVandrelApp::SettingsWritten(bool ok) {
    if (ok || settingsWarned_) return;
    settingsWarned_ = true;
    ShowMessage(FormatStringById(IDS_SETTINGS_NOT_SAVED, platform::ProfilePath().c_str()));
}

void CVandrelApp::ShowOpenFailure(const QString& path) {
    ShowMessage(FormatStringById(IDS_CANNOT_OPEN_PICTURE, path.toLocal8Bit().constData()));
}

Document* CVandrelApp::OpenDocumentFile(const QString& path, std::function<void(Document*)> done) {
    if (!main_) return nullptr;
    const QFileInfo info(path);
    const QString absolute = QDir::cleanPath(info.absoluteFilePath());
    // A file already open comes to the front.
    for (QMdiSubWindow* window : main_->documentWindows()) {
        Document* doc = DocumentOfWindow(window);
        if (doc && !doc->pathName().isEmpty() &&
            QDir::cleanPath(QFileInfo(doc->pathName()).absoluteFilePath()) == absolute) {
            main_->mdiArea()->setActiveSubWindow(window);
            if (done) done(doc);
            return doc;
        }
    }
    if (!info.exists()) {
        ShowMessage(FormatStringById(IDS_FILE_NOT_EXIST, path.toLocal8Bit().constData()));
        return nullptr;
    }
    if (info.isDir()) {
        ShowOpenFailure(path);
        return nullptr;
    }
    auto* doc = new Document(this);
    doc->setDialogOwner(main_);
    const int before = messagesShown_;
    const bool started = doc->openInBackground(absolute, [this, doc, path, before, done](bool ok, const FileStatus& status) {
        if (!ok || !main_) {
            doc->deleteLater();
            if (main_ && messagesShown_ == before && status.failure != FileFailure::kCancelled) ShowOpenFailure(path);
            if (done) done(nullptr);
            emit documentOpened(nullptr, path);
            return;
        }
        documents_ << doc;
        connect(doc, &QObject::destroyed, this, [this, doc] { documents_.removeAll(doc); });
        main_->addDocumentWindow(CreateDocumentWindow(doc, untitled_));
        if (done) done(doc);
        emit documentOpened(doc, path);
    });
    if (!started) {
        delete doc;
        return nullptr;
    }
    return doc;
}

Document* CVandrelApp::NewDocumentWithPicture(std::unique_ptr<CPicture> picture) {
    if (!picture || !main_) return nullptr;
    auto* doc = new Document(this);
    doc->setDialogOwner(main_);
    doc->setPicture(std::move(picture));
    documents_ << doc;
    connect(doc, &QObject::destroyed, this, [this, doc] { documents_.removeAll(doc); });
    main_->addDocumentWindow(CreateDocumentWindow(doc, untitled_));
    return doc;
}

bool CVandrelApp::RunOpen() {
    OpenDialogSetup setup;
    if (!PrepareOpenDialog(setup, OpenDialogKind::Open)) return true;
    QStringList filters = QtFilters(setup.filter);
    // The document files are read like every picture; they have their own
    // entry at the end.
    filters << DocumentFilter();
    const int tablePositions = int(filters.size()) - 1;
    // The file opens once the user has chosen it.
    AskOpenFile(main_, ProgramName(), QString::fromStdString(setup.initialDirectory),
                QString::fromStdString(setup.fileName), filters, setup.filterPosition, this,
                [this, tablePositions](const FileChoice& choice) {
                    if (choice.path.isEmpty()) return;
                    const std::string chosen = choice.path.toStdString();
                    const int position =
                        choice.filterPosition <= tablePositions ? choice.filterPosition : tablePositions;
                    OpenDocumentFile(choice.path, [chosen, position](Document* doc) {
                        if (doc) RememberOpenChoice(chosen, position);
                    });
                });
    return true;
}

bool CVandrelApp::OpenRecentFile(int index) {
    const QStringList files = recent_.Files();
    if (index < 0 || index >= files.size()) return false;
    const QString file = files[index];
    auto forget = [this, file] {
        // A file that cannot be opened leaves the list.
        const int at = int(recent_.Files().indexOf(file));
        if (at < 0) return;
        SettingsWritten(recent_.Remove(at));
        if (main_) main_->updateRecentFileMenu(recent_.Files());
        emit commandConditionsChanged();
    };
    if (!OpenDocumentFile(file, [forget](Document* doc) {
            if (!doc) forget();
        }))
        forget();
    return true;
}

bool CVandrelApp::RunExit() {
    if (main_ && main_->close()) quit();
    return true;
}

QString CVandrelApp::HelpDirectory() {
    const QString app = QString::fromStdString(AppDirectory('/'));
    for (const QString& dir : {app + "help", app + "../share/stitchara/help", app + "../share/doc/stitchara/help"}) {
        if (QFileInfo::exists(dir + "/index.html")) return QDir::cleanPath(dir);
    }
    return {};
}

bool CVandrelApp::ShowHelp(int commandId) {
    const char* page = HelpPage(commandId);
    const QString dir = HelpDirectory();
    if (!page || dir.isEmpty() || !QFileInfo::exists(dir + '/' + page)) {
        ShowMessageById(IDS_COMMAND_FAILED);
        return false;
    }
    const QUrl url = QUrl::fromLocalFile(dir + '/' + page);
    const bool ok = urlOpener_ ? urlOpener_(url) : QDesktopServices::openUrl(url);
    if (!ok)
        ShowMessage(FormatStringById(IDS_NO_BROWSER_FOR_HELP, dir.toLocal8Bit().constData(),
                                     (dir + '/' + page).toLocal8Bit().constData()));
    return ok;
}

bool CVandrelApp::OnCommand(int id) { return commands_ && commands_->run(id); }
