// CVandrelApp: the one application object. It starts the program in a fixed
// order, owns the command layer, the documents and the recent-file list,
// handles the application's commands and keeps the rules that gray
// commands while a stitch sheet is open or no printer is there.
#pragma once
#include <QApplication>
#include <QList>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>

#include "resources/command_target.h"
#include "shell/app/recent_files_qt.h"

class CommandManager;
class CPicture;
class Document;
class PMainWnd;

// Shared lookup tables, built once at start-up: i / 3 for sums of three
// 8-bit components, and each byte with its bits reversed.
extern std::uint8_t DivideBy3[768];
extern const std::uint8_t* BitReverse;

// "Version" of section "Stitchara", or "Version 1.0" when missing or empty.
QString GetVersionText();
// "LogoTitle" of section "Stitchara", or the application's name.
QString GetLogoTitle();

class CVandrelApp : public QApplication, public CommandTarget {
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

    // The start-up, in order. False when the program cannot run.
    bool InitInstance(const StartOptions& options);
    // The steps taken by the last start-up, by name (for tests and timing).
    const QStringList& StartupSteps() const { return steps_; }

    // 1 normally, 0 while a stitch sheet is open: most commands are grayed.
    int stitchIdle = 1;

    PMainWnd* mainWindow() const { return main_; }
    CommandManager* commands() const { return commands_; }
    RecentFileList& recentFiles() { return recent_; }
    QList<Document*> documents() const;

    // Opens the file as a new document in its own window (a file already
    // open is brought to the front). Null when it cannot be read; the user
    // was told why.
    Document* OpenDocumentFile(const QString& path);
    // A new untitled document holding the picture (scans, stitch results),
    // marked modified. Null when no window could be made.
    Document* NewDocumentWithPicture(std::unique_ptr<CPicture> picture);

    // The default printer and the scanner library, probed at start-up.
    bool printerAvailable() const { return printer_; }
    void setPrinterAvailable(bool available) { printer_ = available; }
    bool ProbePrinter();
    bool scannerAvailable() const { return scanner_; }
    void setScannerAvailable(bool available) { scanner_ = available; }

    // The one place where the application's rules gray commands: after
    // the routing decided, a stitch sheet open, no printer or no scanner
    // library take a command's enabled state away.
    void ApplyCommandRules(int id, CommandState& state) const;
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

    // CommandTarget
    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

private:
    void TearDown();
    void OnOpen();
    void OnRecentFile(int index);
    void OnExit();
    void AddRecentFile(const QString& path);
    void ShowOpenFailure(const QString& path);

    PMainWnd* main_ = nullptr;
    CommandManager* commands_ = nullptr;
    RecentFileList recent_;
    QList<Document*> documents_;
    QStringList steps_;
    bool printer_ = false;
    bool scanner_ = false;
    int messagesShown_ = 0;
    bool settingsWarned_ = false;
    std::function<bool(const QUrl&)> urlOpener_;
    std::function<void(const QString&)> messageHandler_;
};

// The application object (null before it exists).
CVandrelApp* theApp();
