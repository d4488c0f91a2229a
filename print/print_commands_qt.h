// The print commands of a document view: 32006 Print (with the sheet), 32007
// Quick Print, 32008 Print Preview, 32009 Print Setup; the job's abort
// dialog; the print preview page view.
#pragma once
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "document/document_qt.h"
#include "print/print_engine_qt.h"
#include "print/print_job.h"
#include "resources/command_target.h"

class CVandrelDoc;
class Job;
class QAction;
class QLabel;
class QPushButton;
class QScrollArea;

// The one print engine of the application.
PrintEngine& ThePrintEngine();

// What a print command works on: the document, the title of its window and
// that window (the owner of the sheet and of the preview). owner, when
// known, is the application's document of document: a print job is its job
// (the document is busy while the pages go out). Without one the caller
// keeps the document until the job has ended.
struct PrintTarget {
    CVandrelDoc* document = nullptr;
    QString title;
    QPointer<QWidget> window;
    QPointer<Document> owner;
};

// Whether anything can be printed: an installed printer, or a PDF file
// (always, with Qt's PDF output).
bool PrintingAvailable();
// Keeps the printer's destination in the settings for the next start: a
// printer by its name, or "Print to File (PDF)" with the file. False when
// the settings could not be written.
class QPrinter;
bool RememberPrinterChoice(const QPrinter& printer);
// The printer the settings keep: the PDF file when that was the choice (or
// when no printer is installed), the named printer while it is installed,
// else the system's default printer. Printing starts with it.
std::unique_ptr<QPrinter> RememberedPrinter();

// Carries out a print command for target; false for ids that are not print
// commands. Nothing waits: Print returns with its sheet open (window-modal)
// and prints, keeps or previews when the sheet closes; Print Setup returns
// with its dialog open; Quick Print returns when the job has started, or
// with its question open when the print is larger than the paper. The
// pages go out on a worker thread (the status bar shows the job with its
// Stop button, and the abort dialog). The print commands do nothing while a
// job prints, and bring the open dialog to the front while one is open.
bool HandlePrintCommand(int id, const PrintTarget& target);
// The running print job (none: no job prints).
Job* RunningPrintJob();
// The dialog a print command has open: the sheet, Print Setup or Quick
// Print's question (none: no print command waits for an answer).
QDialog* OpenPrintDialog();
// Grays Print, Quick Print, Print Preview and Print Setup while a print job
// holds the printer, whoever else decides their state (the view does);
// false for other ids.
bool UpdatePrintCommand(int id, CommandState& state);
// The same for a document shown in window (the view forwards its print
// commands so: HandlePrintCommand(id, GetDocument(), this)); the title is
// that of the window's document window.
class Document;
bool HandlePrintCommand(int id, Document* document, QWidget* window);
// Declares Print, Quick Print, Print Preview (carried out by the active
// view, which passes them on here) and Print Setup.
class CommandRegistry;
void RegisterPrintCommands(CommandRegistry& registry);
// Makes the document views pass their print commands on to printing (done
// by RegisterPrintCommands).
void InstallViewPrinting();

// Runs when a print sheet is shown, before it runs (tests drive the sheet).
class CPrintSheet;
void SetPrintSheetHook(void (*hook)(CPrintSheet* sheet));

// "Abort Printing": shown, not modal, while a job prints; Cancel, Enter or
// Escape stop the job (as the status bar's Stop button does).
class CAbortDialog : public QDialog {
    Q_OBJECT
public:
    CAbortDialog(QWidget* owner, std::function<void()> cancel);
    void Show(const QString& title, const QString& port);
    bool Aborted() const { return aborted_; }

protected:
    void reject() override;
    void accept() override;

private:
    void Abort();

    QLabel* title_;
    QLabel* port_;
    std::function<void()> cancel_;
    bool aborted_ = false;
};

// The print preview: the one page printing would produce, drawn by the
// engine, with Print..., Zoom In, Zoom Out and Close.
class PPreviewView : public QWidget {
    Q_OBJECT
public:
    explicit PPreviewView(const PrintTarget& target, QWidget* parent = nullptr);
    ~PPreviewView() override;
    // Renders the page again at the current zoom; false when nothing could be drawn.
    bool Render();
    int ZoomLevel() const { return zoom_; }
    const QImage& PageImage() const { return page_; }
    // The window the preview lives in (its MDI window, or itself).
    QWidget* Frame();

    void OnPrint();
    void OnClose();
    void OnZoom(int step);
    // A poster: the sheet step sheets on (-1 the one before), within the poster.
    void OnSheet(int step);
    int SheetShown() const { return sheet_; }
    // Hides the main window's status bar until the preview closes.
    void HideStatusBar();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool finished_ = false;
    QPointer<QWidget> hiddenStatusBar_;
    PrintTarget target_;
    QScrollArea* scroll_;
    QLabel* pageLabel_;
    QImage page_;
    int zoom_ = 0;  // 0 whole page, 1 and 2 closer
    PrintJobAssets assets_;
    PosterLayout poster_;
    int sheet_ = 0;
    QPushButton* previousSheet_;
    QPushButton* nextSheet_;
    QLabel* sheetLabel_;
    QAction* previousSheetAction_;
    QAction* nextSheetAction_;
    QAction* sheetLabelAction_;
};

// Opens the preview of target's document in the main window (an MDI window
// beside the document's when there is a document area, else a window of its
// own); none when it could not start ("Command failed.").
PPreviewView* OpenPrintPreview(const PrintTarget& target);
