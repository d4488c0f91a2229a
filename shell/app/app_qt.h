// CVandrelApp: the one application object. It starts the program in a fixed
// order, owns the main window's commands, the documents and the recent-file
// list, and is the main window's workspace: the conditions that gray
// commands (a stitch sheet open, no printer, no scanner) are its state, and
// every change of them brings the commands' states up to date at once.
#pragma once
#include <QApplication>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

#include "base/workspace_qt.h"
#include "display/frame_caption.h"
#include "shell/app/recent_files_qt.h"

class CommandSet;
class CPicture;
class Document;
class PMainWnd;

// "Version" of section "Stitchara", or "Version 1.0" when missing or empty.
QString GetVersionText();
// "LogoTitle" of section "Stitchara", or the application's name.
QString GetLogoTitle();

class CVandrelApp : public QApplication, public Workspace {
    Q_OBJECT
public:
    // What the command line asks for.
    struct StartOptions {
        bool embedding = false;  // started by a container: no window, no logo
        QString path;            // the whole command line as one path ("" : none)
        bool showLogo = true;    // the splash at the end of the start-up
    };
    // The embedding switch ("-Embedding", "/Embedding", "--embedding", or the
    // same with Automation) anywhere; everything else joined by blanks is
    // the one path.
    static StartOptions ParseCommandLine(const QStringList& arguments);

    CVandrelApp(int& argc, char** argv);
    ~CVandrelApp() override;

    // What answers a container when the program is started for one (the
    // embedding service, which sits on top of the application); without
    // it such a start fails.
    void setEmbeddingService(std::function<bool(CVandrelApp*)> service) { embeddingService_ = std::move(service); }

    // The start-up, in order. False when the program cannot run.
    bool InitInstance(const StartOptions& options);
    // The steps taken by the last start-up, by name (for tests and timing).
    const QStringList& StartupSteps() const { return steps_; }

    // 1 normally, 0 while a stitch sheet is open: most commands are grayed.
    // Not a copy: the stitch feature owns the flag (SetStitchIdle, which
    // also brings the commands' states up to date); this is a view of it.
    int& stitchIdle;

    PMainWnd* mainWindow() const { return main_; }
    CommandSet* commands() const { return commands_; }
    RecentFileList& recentFiles() { return recent_; }
    QList<Document*> documents() const;
    // Numbers the document windows without a path ("untitled - N").
    display::UntitledCounter& untitledCounter() { return untitled_; }

    // Opens the file as a new document in its own window (a file already
    // open is brought to the front). The file is read on a worker thread:
    // the document returned gets its window once the picture is read
    // (documentOpened), or goes again when it cannot be read (the user is
    // told why; documentOpened(nullptr, path)). Null when the file cannot be
    // opened at all (told at once). done, when given, runs at the end with
    // the document or null.
    Document* OpenDocumentFile(const QString& path, std::function<void(Document*)> done = {});
    // A new untitled document holding the picture (scans, stitch results),
    // marked modified. Null when no window could be made.
    Document* NewDocumentWithPicture(std::unique_ptr<CPicture> picture);

    // Printing (a printer, or a PDF file without one) and the scanner
    // library, probed at start-up.
    bool printerAvailable() const override { return printer_; }
    void setPrinterAvailable(bool available);
    bool ProbePrinter();
    bool scannerAvailable() const override { return scanner_; }
    void setScannerAvailable(bool available);

    // Re-reads every command's state.
    void UpdateCommandStates();

    // Opens help page of a help command in the desktop's browser; the
    // opener can be replaced (tests). The help folder in use.
    bool ShowHelp(int commandId);
    static QString HelpDirectory();
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { urlOpener_ = std::move(opener); }

    // Who shows the messages of the program (tests); empty: message boxes.
    void setMessageHandler(std::function<void(const QString&)> handler) { messageHandler_ = std::move(handler); }

    // Reports whether a write to the settings file went through. The first
    // failure of a session tells the user once that the settings cannot be
    // kept; the program goes on with them in memory.
    void SettingsWritten(bool ok);

    // Carries out command id in the main window whatever its state; false
    // when nothing handled it.
    bool OnCommand(int id);
    // The application's commands: the Open dialog, a recent file (one that
    // cannot be opened leaves the list), Exit.
    bool RunOpen();
    bool OpenRecentFile(int index);
    bool RunExit();

    // Workspace: the main window's.
    Document* activeDocument() const override;
    bool activeDocumentBusy() const override;
    QWidget* activeView() const override;
    QWidget* dialogParent() const override;
    QMdiArea* documentArea() const override;
    bool sheetOpen() const override { return stitchIdle == 0; }
    bool iconBarShown() const override;
    void setIconBarShown(bool shown) override;
    bool statusBarShown() const override;
    void setStatusBarShown(bool shown) override;
    Opened openPicture(std::unique_ptr<CPicture> picture) override;
    void setStatusPrompt(const QString& text) override;
    void conditionsChanged() override { emit commandConditionsChanged(); }

signals:
    // Something commands depend on changed (the stitch sheet, the printer,
    // the scanner library, the recent files, a job that started or ended):
    // their states are asked again.
    void commandConditionsChanged();
    // A file opened by OpenDocumentFile was read (document) or not (null).
    void documentOpened(Document* document, const QString& path);

private:
    void TearDown();
    void AddRecentFile(const QString& path);
    void ShowOpenFailure(const QString& path);

    PMainWnd* main_ = nullptr;
    CommandSet* commands_ = nullptr;
    RecentFileList recent_;
    QList<Document*> documents_;
    display::UntitledCounter untitled_;  // numbers the windows of documents without a path
    QStringList steps_;
    bool printer_ = false;
    bool scanner_ = false;
    int messagesShown_ = 0;
    bool settingsWarned_ = false;
    std::function<bool(const QUrl&)> urlOpener_;
    std::function<void(const QString&)> messageHandler_;
    std::function<bool(CVandrelApp*)> embeddingService_;
};

// The application object (null before it exists).
CVandrelApp* theApp();
