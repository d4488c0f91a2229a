#include "shell/app/app_qt.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPrinterInfo>

#include "acquire/acquire_commands_qt.h"
#include "base/message_box.h"
#include "document/document_qt.h"
#include "document/file_dialogs_qt.h"
#include "document/import_export.h"
#include "document/import_export_commands.h"
#include "document/import_export_formats.h"
#include "info/info_commands_qt.h"
#include "picture/image_store.h"
#include "picture/picture.h"
#include "picture/picture_bits.h"
#include "platform/profile.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"
#include "shell/app/accessible_names_qt.h"
#include "shell/app/commands_qt.h"
#include "shell/app/doc_template_qt.h"
#include "shell/app/icon_bar_qt.h"
#include "shell/app/logo_wnd_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "shell/app/status_bar_qt.h"
#include "shell/embed/embed_server_qt.h"
#include "print/print_commands_qt.h"
#include "stitch/stitch_sheet_qt.h"

std::uint8_t DivideBy3[768];
const std::uint8_t* BitReverse = picture_bits::kReversedBits.data();

namespace {

CVandrelApp* g_app = nullptr;

// How often the command states are refreshed while the program idles.
constexpr int kIdleRefreshMs = 250;

// Commands that are grayed while a stitch sheet is open.
bool IsGatedByStitch(int id) {
    switch (id) {
    case ID_OPEN: case ID_SAVE: case ID_SAVE_AS: case ID_ACQUIRE: case ID_STITCH: case ID_PRINT_SETUP:
    case ID_MIRROR_HORIZONTAL: case ID_MIRROR_VERTICAL: case ID_MIRROR_DIAGONAL: case ID_ROTATE_LEFT:
    case ID_ROTATE_RIGHT: case ID_INFORMATION: case ID_WINDOW_CASCADE: case ID_WINDOW_TILE:
    case ID_WINDOW_ARRANGE: case ID_HELP_INDEX: case ID_HELP_KEYBOARD: case ID_HELP_ICONS: case ID_HELP_USING:
    case ID_ABOUT: case ID_APP_EXIT:
        return true;
    default:
        return id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST;
    }
}

bool IsPrintCommand(int id) { return id == ID_PRINT || id == ID_QUICK_PRINT || id == ID_PRINT_PREVIEW; }

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

CVandrelApp* theApp() { return g_app; }

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

CVandrelApp::CVandrelApp(int& argc, char** argv) : QApplication(argc, argv) {
    g_app = this;
    setApplicationName(ProgramName());
    setOrganizationName(QString::fromUtf8(LoadStringById(IDS_MANUFACTURER)));
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
    if (g_app == this) g_app = nullptr;
}

void CVandrelApp::TearDown() {
    if (commands_) commands_->setIdleInterval(0);
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
    settingsWarned_ = false;
    // Object services: the embedding service registers itself on the session
    // bus when it is built; nothing here can fail.
    steps_ << "object services";
    // Settings with the four recent files. An unreadable settings file gives
    // the defaults.
    recent_.Load();
    steps_ << "settings";
    // The document template: CreateDocumentWindow and the template strings.
    steps_ << "document template";
    steps_ << "template server";

    // The main frame, the command layer, the status bar as progress host.
    commands_ = new CommandManager(this);
    main_ = new PMainWnd(commands_);
    commands_->setChain([this] {
        std::vector<CommandTarget*> chain = main_ ? main_->commandChain() : std::vector<CommandTarget*>{};
        chain.push_back(this);
        return chain;
    });
    commands_->setRules([this](int id, CommandState& state) { ApplyCommandRules(id, state); });
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
    steps_ << "shell registration";

    Formats().LoadFormats();
    steps_ << "formats";
    ProbePrinter();
    steps_ << "printer";

    if (options.embedding) {
        // A container started the program: the embedding service answers
        // it, and no window shows until a container asks for one.
        steps_ << "embedding";
        return StartEmbeddingServer(this);
    }
    steps_ << "server registration";

    // Without the scanner library the two scanning commands stay gray.
    scanner_ = ScannerAvailable();
    steps_ << "scanner";
    main_->setAcceptDrops(true);
    steps_ << "drops";
    main_->showMaximized();
    steps_ << "show";
    for (int i = 0; i < 768; ++i) DivideBy3[i] = std::uint8_t(i / 3);
    steps_ << "tables";
    stitchIdle = 1;
    commands_->setIdleInterval(kIdleRefreshMs);
    commands_->updateStates();
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
    printer_ = !QPrinterInfo::defaultPrinter().isNull();
    return printer_;
}

void CVandrelApp::ApplyCommandRules(int id, CommandState& state) const {
    if (!stitchIdle && IsGatedByStitch(id)) state.enabled = false;
    if (IsPrintCommand(id) && (!stitchIdle || !printer_)) state.enabled = false;
    if ((id == ID_ACQUIRE || id == ID_SELECT_SOURCE) && !scanner_) state.enabled = false;
}

void CVandrelApp::UpdateCommandStates() {
    if (commands_) commands_->updateStates();
}

void CVandrelApp::AddRecentFile(const QString& path) {
    SettingsWritten(recent_.Add(path));
    if (main_) main_->updateRecentFileMenu(recent_.Files());
}

void CVandrelApp::SettingsWritten(bool ok) {
    if (ok || settingsWarned_) return;
    settingsWarned_ = true;
    ShowMessage(FormatStringById(IDS_SETTINGS_NOT_SAVED, platform::ProfilePath().c_str()));
}

void CVandrelApp::ShowOpenFailure(const QString& path) {
    ShowMessage(FormatStringById(IDS_CANNOT_OPEN_PICTURE, path.toLocal8Bit().constData()));
}

Document* CVandrelApp::OpenDocumentFile(const QString& path) {
    if (!main_) return nullptr;
    const QFileInfo info(path);
    const QString absolute = QDir::cleanPath(info.absoluteFilePath());
    // A file already open comes to the front.
    for (QMdiSubWindow* window : main_->documentWindows()) {
        Document* doc = DocumentOfWindow(window);
        if (doc && !doc->pathName().isEmpty() &&
            QDir::cleanPath(QFileInfo(doc->pathName()).absoluteFilePath()) == absolute) {
            main_->mdiArea()->setActiveSubWindow(window);
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
    if (!doc->open(absolute)) {
        delete doc;
        if (messagesShown_ == before && !FileOperationCancelled()) ShowOpenFailure(path);
        return nullptr;
    }
    documents_ << doc;
    connect(doc, &QObject::destroyed, this, [this, doc] { documents_.removeAll(doc); });
    main_->addDocumentWindow(CreateDocumentWindow(doc));
    return doc;
}

Document* CVandrelApp::NewDocumentWithPicture(std::unique_ptr<CPicture> picture) {
    if (!picture || !main_) return nullptr;
    auto* doc = new Document(this);
    doc->setDialogOwner(main_);
    doc->setPicture(std::move(picture));
    documents_ << doc;
    connect(doc, &QObject::destroyed, this, [this, doc] { documents_.removeAll(doc); });
    main_->addDocumentWindow(CreateDocumentWindow(doc));
    return doc;
}

void CVandrelApp::OnOpen() {
    OpenDialogSetup setup;
    if (!PrepareOpenDialog(setup, OpenDialogKind::Open)) return;
    QStringList filters = QtFilters(setup.filter);
    // The document files are read like every picture; they have their own
    // entry at the end.
    filters << DocumentFilter();
    const FileChoice choice = ChooseOpenFile(main_, ProgramName(), QString::fromStdString(setup.initialDirectory),
                                             QString::fromStdString(setup.fileName), filters, setup.filterPosition);
    if (choice.path.isEmpty()) return;
    const int tablePositions = int(filters.size()) - 1;
    if (OpenDocumentFile(choice.path))
        RememberOpenChoice(choice.path.toStdString(),
                           choice.filterPosition <= tablePositions ? choice.filterPosition : tablePositions);
}

void CVandrelApp::OnRecentFile(int index) {
    const QStringList files = recent_.Files();
    if (index < 0 || index >= files.size()) return;
    if (!OpenDocumentFile(files[index])) {
        // A file that cannot be opened leaves the list.
        SettingsWritten(recent_.Remove(index));
        if (main_) main_->updateRecentFileMenu(recent_.Files());
    }
}

void CVandrelApp::OnExit() {
    if (main_ && main_->close()) quit();
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

bool CVandrelApp::OnCommand(int id) {
    switch (id) {
    case ID_OPEN: OnOpen(); return true;
    case ID_ABOUT: ShowLogoWindow(main_, 0); return true;
    case ID_HELP_INDEX:
    case ID_HELP_KEYBOARD:
    case ID_HELP_ICONS:
    case ID_HELP_USING: ShowHelp(id); return true;
    case ID_APP_EXIT: OnExit(); return true;
    case ID_STITCH: OpenStitchSheet(main_); return true;
    case ID_ACQUIRE:
    case ID_SELECT_SOURCE: return HandleAcquireCommand(id, main_);
    case ID_INFORMATION: return HandleInfoCommand(id, main_);
    case ID_PRINT_SETUP: HandlePrintCommand(id, PrintTarget{nullptr, QString(), main_}); return true;
    default: break;
    }
    if (id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_FILE4) {
        OnRecentFile(id - ID_FILE_MRU_FILE1);
        return true;
    }
    return false;
}

bool CVandrelApp::OnUpdateCommand(int id, CommandState& state) {
    switch (id) {
    case ID_OPEN:
    case ID_ABOUT:
    case ID_HELP_INDEX:
    case ID_HELP_KEYBOARD:
    case ID_HELP_ICONS:
    case ID_HELP_USING:
    case ID_APP_EXIT:
    case ID_STITCH:
    case ID_PRINT_SETUP:
        state.enabled = true;
        return true;
    case ID_ACQUIRE:
    case ID_SELECT_SOURCE: return UpdateAcquireCommand(id, state);
    case ID_INFORMATION: return UpdateInfoCommand(id, state);
    default: break;
    }
    if (id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_FILE4) {
        state.enabled = id - ID_FILE_MRU_FILE1 < recent_.Files().size();
        return true;
    }
    return false;
}
