#include "print/print_commands_qt.h"

#include <QCoreApplication>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

#include "base/job_qt.h"
#include "base/message_box.h"
#include "base/command_icons_qt.h"
#include "base/command_registry_qt.h"
#include "base/window_title_qt.h"
#include "base/workspace_qt.h"
#include "display/view_qt.h"
#include "document/document.h"
#include "document/document_qt.h"
#include "picture/picture.h"
#include "platform/profile.h"
#include "print/print_sheet_qt.h"
#include "resources/command_ids.h"
#include "resources/dialog_texts.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {
// This file's texts for the user, in their own translation context.
struct PrintingText {
    Q_DECLARE_TR_FUNCTIONS(PrintingText)
};
}  // namespace

namespace {

// Printing in the application, one for the process as there is one printer
// setup: the engine, the dialog a print command has open (the sheet, Print
// Setup or Quick Print's question; one at a time), the job that prints, and
// the tests' hook on the sheet.
struct Printing {
    PrintEngine engine;
    QPointer<QDialog> dialog;
    QPointer<Job> job;
    void (*sheetHook)(CPrintSheet*) = nullptr;
};

Printing& ThePrinting() {
    static Printing printing;
    static bool seeded = false;
    if (!seeded) {
        seeded = true;
        printing.engine.SetPrinter(RememberedPrinter());
    }
    return printing;
}

// The job's side of a print job on the worker: it stops when its Progress
// is cancelled (the abort dialog, the status bar's Stop button, Escape).
class CancelMonitor : public PrintJobMonitor {
public:
    explicit CancelMonitor(const Progress& progress) : progress_(progress) {}
    bool Begin(const QString&, const QString&) override { return true; }
    bool KeepGoing() override { return !progress_.Cancelled(); }
    void End() override {}

private:
    const Progress& progress_;
};

// What a print job needs until it has ended: the request points into it.
struct PrintWork {
    PrintJobAssets assets;
    PosterLayout poster;
    PrintJobRequest request;
    int printed = 0;
};

// Where printing goes, kept in the settings: a printer's name or kToPdf, and
// the PDF file last chosen.
constexpr const char* kPrintSection = "Print";
constexpr const char* kDestinationKey = "Destination";
constexpr const char* kPdfFileKey = "PdfFile";
constexpr const char* kToPdf = "PDF";

QString RememberedPdfFile() {
    const std::string file = platform::GetProfileString(kPrintSection, kPdfFileKey, "");
    return file.empty() ? PrintEngine::DefaultPdfFile() : QString::fromStdString(file);
}

}  // namespace

std::unique_ptr<QPrinter> RememberedPrinter() {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    const QString destination =
        QString::fromStdString(platform::GetProfileString(kPrintSection, kDestinationKey, ""));
    const QStringList installed = QPrinterInfo::availablePrinterNames();
    if (destination == QLatin1String(kToPdf) || installed.isEmpty()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(RememberedPdfFile());
    } else if (installed.contains(destination)) {
        printer->setPrinterName(destination);
    }
    return printer;
}

namespace {

std::string CommandText(int id) {
    const char* text = CommandMenuText(id);
    return text ? PlainText(text) : std::string();
}
QString DialogText(int dialog, int control) {
    return QString::fromUtf8(LoadControlText(dialog, control));
}

// The wait cursor for the span of a scope.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

void ResetIfPending(PrintSettings& s, CPicture& picture, PrintEngine& engine) {
    if (s.resetPending)
        s.Reset(picture.GetWidth(), picture.GetHeight(), picture.GetXDpi(), picture.GetYDpi(),
                engine.LogPixelsX(), engine.LogPixelsY());
}

// A command posted to the target, as a posted window message would be.
void Post(int id, const PrintTarget& target) {
    QTimer::singleShot(0, qApp, [id, target] {
        if (target.window) HandlePrintCommand(id, target);
    });
}

// Opens dialog, without waiting, as the one dialog print commands have open;
// it is forgotten when it closes.
void OpenAsPrintDialog(QDialog* dialog) {
    ThePrinting().dialog = dialog;
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog] {
        if (ThePrinting().dialog == dialog) ThePrinting().dialog = nullptr;
    });
    dialog->open();
}

// Whether what the command works on went while its dialog was open.
struct TargetWatch {
    explicit TargetWatch(const PrintTarget& t) : hadWindow(t.window), hadOwner(t.owner) {}
    bool Gone(const PrintTarget& t) const {
        return !t.document || (hadWindow && !t.window) || (hadOwner && !t.owner) || (t.owner && t.owner->busy());
    }
    bool hadWindow, hadOwner;
};

// Prints, keeps or previews what Print's sheet (or Quick Print) chose:
// result is the sheet's (kSheetPrint, kSheetOk, kSheetPreview; anything else
// is Cancel).
void PrintChosen(const PrintTarget& t, int result, PrintOptions options, bool quick) {
    PrintEngine& engine = ThePrintEngine();
    CPicture* picture = t.document ? t.document->m_pPicture.get() : nullptr;
    if ((result != kSheetPrint && result != kSheetOk && result != kSheetPreview) || !picture ||
        !picture->HasHeader()) {
        engine.DetachPrinter();
        return;
    }
    PrintSettings& s = t.document->m_print;
    auto work = std::make_shared<PrintWork>();
    {
        WaitCursor wait;
        CloseSheet(result, options, s, *picture, engine.HorzRes(), engine.VertRes(), work->assets);
    }
    if (result == kSheetPreview) {
        s.reprintAfterPreview = 1;
        Post(ID_PRINT_PREVIEW, t);
        return;  // the printer stays attached for the preview
    }
    if (result != kSheetPrint) {
        engine.DetachPrinter();
        return;
    }
    PrintJobRequest& request = work->request;
    request = MakePrintRequest(s, picture, work->assets, t.title.toStdString());
    if (s.poster) {
        // The sheet asked before printing more sheets than usual; Quick
        // Print does not ask, so it does not print them.
        work->poster = engine.LayPoster(request, PosterChoices(s));
        const PosterLayout& poster = work->poster;
        if (!poster.Usable() || (quick && poster.problem == PosterProblem::kTooManySheets)) {
            ShowMessage(PosterProblemText(poster));
            engine.DetachPrinter();
            return;
        }
        if (!engine.TurnForPoster(poster)) {
            ShowMessageById(IDS_PRINT_ERROR);
            engine.DetachPrinter();
            return;
        }
        request.poster = &work->poster;
    }
    // The pages go out on a worker thread; the engine is the job's until it
    // has ended.
    engine.SetBusy(true);
    auto* abort = new CAbortDialog(t.window ? t.window->window() : nullptr, [] {
        if (Job* job = ThePrinting().job) job->cancel();
    });
    const QPointer<CAbortDialog> dialog(abort);
    auto render = [work](Progress& progress) {
        CancelMonitor monitor(progress);
        work->printed = ThePrintEngine().StartPrintJob(work->request, &monitor);
    };
    auto ended = [work, dialog] {
        ThePrinting().job = nullptr;
        delete dialog.data();
        PrintEngine& engine = ThePrintEngine();
        engine.SetBusy(false);
        engine.DetachPrinter();
        if (!work->printed && !engine.LastJobAborted()) ShowMessageById(IDS_PRINT_ERROR);
        // A PDF file: where it went.
        if (work->printed && engine.PrintsToFile())
            if (Workspace* workspace = ApplicationWorkspace())
                workspace->setStatusPrompt(PrintingText::tr("Printed to %1").arg(engine.PortName()));
    };
    const QString port = engine.PortName();
    if (t.owner) {
        // The document's job: busy, its changing commands grayed, until the end.
        if (!t.owner->startJob(IDS_PRINTING, std::move(render), std::move(ended))) {
            delete abort;
            engine.SetBusy(false);
            engine.DetachPrinter();
            return;
        }
        ThePrinting().job = t.owner->job();
    } else {
        auto* job = new Job(IDS_PRINTING, std::move(render), qApp);
        QObject::connect(job, &Job::finished, qApp, [job, ended = std::move(ended)] {
            job->deleteLater();
            ended();
        });
        ThePrinting().job = job;
        job->start();
    }
    abort->Show(t.title, port);
}

// Print (with the sheet) or Quick Print: returns once the sheet (or Quick
// Print's question) is open, or the job has started.
void RunPrint(const PrintTarget& t, bool quick) {
    if (t.owner && t.owner->busy()) return;  // its job works on the picture
    PrintEngine& engine = ThePrintEngine();
    if (!engine.AttachPrinter()) {
        ShowMessageById(IDS_PRINT_ERROR);
        return;
    }
    CVandrelDoc& doc = *t.document;
    CPicture* picture = doc.m_pPicture.get();
    if (!picture || !picture->HasHeader()) {
        engine.DetachPrinter();
        return;
    }
    PrintSettings& s = doc.m_print;
    ResetIfPending(s, *picture, engine);
    const PrintOptions options = OptionsFromSettings(s, picture->GetType(), picture->GetWidth(),
                                                     picture->GetHeight(), picture->GetXDpi(),
                                                     picture->GetYDpi(), engine.LogPixelsX(),
                                                     engine.LogPixelsY());
    const TargetWatch watch(t);
    if (quick) {
        // Larger than the paper: the question the sheet asks, before the
        // edges are cut off.
        if (PrintRunsOffPaper(options, engine.HorzRes(), engine.VertRes())) {
            QMessageBox* ask = AskAboutClipping(t.window, options, engine, [t, watch, options](ClipAnswer answer) {
                PrintOptions chosen = options;
                if (answer == ClipAnswer::kPoster) chosen.poster = 1;
                const bool print = answer != ClipAnswer::kCancel && !watch.Gone(t);
                PrintChosen(t, print ? kSheetPrint : kSheetCancel, chosen, true);
            });
            OpenAsPrintDialog(ask);
            return;
        }
        PrintChosen(t, kSheetPrint, options, true);
        return;
    }
    auto* sheet = new CPrintSheet(options, picture, engine, t.window);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    if (ThePrinting().sheetHook) ThePrinting().sheetHook(sheet);
    QObject::connect(sheet, &QDialog::finished, sheet, [t, watch, sheet](int result) {
        PrintChosen(t, watch.Gone(t) ? kSheetCancel : result, sheet->Options(), false);
    });
    OpenAsPrintDialog(sheet);
}

void RunPrintSetup(const PrintTarget& t) {
    PrintEngine& engine = ThePrintEngine();
    if (!engine.AttachPrinter()) return;
    auto* dialog = new QPrintDialog(engine.Printer(), t.window);
    dialog->setObjectName(QStringLiteral("printSetupDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QString::fromStdString(CommandText(ID_PRINT_SETUP)));
    QObject::connect(dialog, &QDialog::finished, dialog, [](int result) {
        PrintEngine& engine = ThePrintEngine();
        if (result == QDialog::Accepted) RememberPrinterChoice(*engine.Printer());
        engine.DetachPrinter();
    });
    OpenAsPrintDialog(dialog);
}

}  // namespace

PrintEngine& ThePrintEngine() { return ThePrinting().engine; }

bool PrintingAvailable() {
    if (!QPrinterInfo::availablePrinterNames().isEmpty()) return true;
    QPrinter pdf;
    pdf.setOutputFormat(QPrinter::PdfFormat);
    return pdf.isValid();
}

bool RememberPrinterChoice(const QPrinter& printer) {
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    bool written = platform::WriteProfileString(kPrintSection, kDestinationKey,
                                                toFile ? std::string(kToPdf) : printer.printerName().toStdString()) != 0;
    if (toFile && !printer.outputFileName().isEmpty())
        written = platform::WriteProfileString(kPrintSection, kPdfFileKey, printer.outputFileName().toStdString()) != 0 &&
                  written;
    return written;
}

void SetPrintSheetHook(void (*hook)(CPrintSheet*)) { ThePrinting().sheetHook = hook; }

Job* RunningPrintJob() { return ThePrinting().job; }

QDialog* OpenPrintDialog() { return ThePrinting().dialog; }

namespace {

// The commands that reach the printer: a print job has it until it ends.
bool IsPrintCommand(int id) {
    return id == ID_PRINT || id == ID_QUICK_PRINT || id == ID_PRINT_PREVIEW || id == ID_PRINT_SETUP;
}

}  // namespace

bool UpdatePrintCommand(int id, CommandState& state) {
    if (!IsPrintCommand(id)) return false;
    if (ThePrintEngine().Busy()) state.enabled = false;
    return true;
}

bool HandlePrintCommand(int id, const PrintTarget& target) {
    // The printer is the running job's until it has ended (the commands are
    // gray meanwhile; this keeps a stale one from reaching it).
    if (ThePrintEngine().Busy() && IsPrintCommand(id)) return true;
    // A print command's dialog is open: it comes to the front.
    if (QDialog* open = ThePrinting().dialog; open && IsPrintCommand(id)) {
        open->raise();
        open->activateWindow();
        return true;
    }
    switch (id) {
    case ID_PRINT:
    case ID_QUICK_PRINT:
        if (target.document) RunPrint(target, id == ID_QUICK_PRINT);
        return true;
    case ID_PRINT_PREVIEW:
        if (target.document && !OpenPrintPreview(target)) ShowMessageById(IDS_COMMAND_FAILED);
        return true;
    case ID_PRINT_SETUP:
        RunPrintSetup(target);
        return true;
    default:
        return false;
    }
}

bool HandlePrintCommand(int id, Document* document, QWidget* window) {
    PrintTarget target;
    target.document = document ? &document->core() : nullptr;
    target.window = window;
    target.owner = document;
    for (QWidget* w = window; w; w = w->parentWidget())
        if (qobject_cast<QMdiSubWindow*>(w)) {
            target.title = PlainWindowTitle(w);
            break;
        }
    if (target.title.isEmpty() && document) target.title = QFileInfo(document->pathName()).fileName();
    // The document may go while a posted command waits: the window goes with it.
    return HandlePrintCommand(id, target);
}

// ------------------------------------------------------------- abort dialog

CAbortDialog::CAbortDialog(QWidget* owner, std::function<void()> cancel)
    : QDialog(owner), cancel_(std::move(cancel)) {
    setObjectName(QStringLiteral("abortPrintingDialog"));
    const QString caption = DialogText(IDD_ABORT_PRINTING, kDialogCaption);
    setWindowTitle(caption);
    setAccessibleName(caption);
    title_ = new QLabel;
    title_->setObjectName(QStringLiteral("abortTitle"));
    port_ = new QLabel;
    port_->setObjectName(QStringLiteral("abortPort"));
    auto* cancelButton = new QPushButton(DialogText(IDD_ABORT_PRINTING, IDCANCEL));
    cancelButton->setObjectName(QStringLiteral("abortCancel"));
    cancelButton->setAccessibleName(QString::fromStdString(PlainText(LoadControlText(IDD_ABORT_PRINTING, IDCANCEL))));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(PrintingText::tr("Printing")), 0, Qt::AlignHCenter);
    layout->addWidget(title_, 0, Qt::AlignHCenter);
    layout->addWidget(new QLabel(PrintingText::tr("To")), 0, Qt::AlignHCenter);
    layout->addWidget(port_, 0, Qt::AlignHCenter);
    layout->addWidget(cancelButton, 0, Qt::AlignHCenter);
    connect(cancelButton, &QPushButton::clicked, this, [this] { Abort(); });
}

void CAbortDialog::Show(const QString& title, const QString& port) {
    title_->setText(title);
    port_->setText(port);
    show();
    raise();
    findChild<QPushButton*>(QStringLiteral("abortCancel"))->setFocus();
}

void CAbortDialog::Abort() {
    if (aborted_) return;
    aborted_ = true;
    if (cancel_) cancel_();
}

void CAbortDialog::reject() { Abort(); }
void CAbortDialog::accept() { Abort(); }

// ------------------------------------------------------------------ preview

PPreviewView::PPreviewView(const PrintTarget& target, QWidget* parent)
    : QWidget(parent), target_(target) {
    setObjectName(QStringLiteral("printPreview"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(target.title + QStringLiteral(" - ") +
                   QString::fromStdString(CommandText(ID_PRINT_PREVIEW)));
    auto* bar = new QToolBar;
    bar->setObjectName(QStringLiteral("previewBar"));
    struct Button { int id; const char* name; };
    for (const Button& b : {Button{ID_PREVIEW_PRINT, "previewPrint"}, Button{ID_PREVIEW_ZOOM_IN, "previewZoomIn"},
                            Button{ID_PREVIEW_ZOOM_OUT, "previewZoomOut"}, Button{ID_PREVIEW_CLOSE, "previewClose"}}) {
        auto* button = new QPushButton(DialogText(IDD_PREVIEW_BAR, b.id));
        button->setObjectName(QString::fromLatin1(b.name));
        button->setAccessibleName(QString::fromStdString(PlainText(LoadControlText(IDD_PREVIEW_BAR, b.id))));
        bar->addWidget(button);
        const int id = b.id;
        connect(button, &QPushButton::clicked, this, [this, id] {
            if (id == ID_PREVIEW_PRINT) OnPrint();
            else if (id == ID_PREVIEW_CLOSE) OnClose();
            else OnZoom(id == ID_PREVIEW_ZOOM_IN ? 1 : -1);
        });
    }
    // A poster's sheets, one at a time.
    previousSheet_ = new QPushButton(PrintingText::tr("Previous Sheet"));
    previousSheet_->setObjectName(QStringLiteral("previewPreviousSheet"));
    previousSheet_->setAccessibleName(PrintingText::tr("Previous Sheet"));
    nextSheet_ = new QPushButton(PrintingText::tr("Next Sheet"));
    nextSheet_->setObjectName(QStringLiteral("previewNextSheet"));
    nextSheet_->setAccessibleName(PrintingText::tr("Next Sheet"));
    sheetLabel_ = new QLabel;
    sheetLabel_->setObjectName(QStringLiteral("previewSheetLabel"));
    sheetLabel_->setAccessibleName(PrintingText::tr("Sheet"));
    previousSheetAction_ = bar->addWidget(previousSheet_);
    nextSheetAction_ = bar->addWidget(nextSheet_);
    sheetLabelAction_ = bar->addWidget(sheetLabel_);
    connect(previousSheet_, &QPushButton::clicked, this, [this] { OnSheet(-1); });
    connect(nextSheet_, &QPushButton::clicked, this, [this] { OnSheet(1); });
    scroll_ = new QScrollArea;
    scroll_->setObjectName(QStringLiteral("previewPage"));
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->setBackgroundRole(QPalette::Dark);
    pageLabel_ = new QLabel;
    scroll_->setWidget(pageLabel_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar);
    layout->addWidget(scroll_);
    resize(640, 800);
}

PPreviewView::~PPreviewView() = default;

QWidget* PPreviewView::Frame() {
    QWidget* w = parentWidget();
    return qobject_cast<QMdiSubWindow*>(w) ? w : this;
}

bool PPreviewView::Render() {
    if (!target_.document || !target_.window) return false;
    if (ThePrintEngine().Busy()) return false;  // a print job has the printer
    CVandrelDoc& doc = *target_.document;
    CPicture* picture = doc.m_pPicture.get();
    PrintEngine& engine = ThePrintEngine();
    if (!picture || !picture->HasHeader() || !engine.AttachPrinter()) return false;
    PrintSettings& s = doc.m_print;
    ResetIfPending(s, *picture, engine);
    if (!assets_.watermark && !assets_.hasPieces && !assets_.drawnFrameId)
        LoadPreviewAssets(s, *picture, assets_);
    const QRect paper = engine.PaperRect();
    const int pw = std::max(paper.isEmpty() ? engine.HorzRes() : paper.width(), 1);
    const int ph = std::max(paper.isEmpty() ? engine.VertRes() : paper.height(), 1);
    const QSize view = scroll_->viewport()->size().isEmpty() ? QSize(600, 760) : scroll_->viewport()->size();
    double scale = std::min((view.width() - 16) / double(pw), (view.height() - 16) / double(ph));
    if (zoom_ > 0) {
        // Closer: the paper at its size on the screen, then twice that.
        scale = double(logicalDpiX()) / std::max(engine.LogPixelsX(), 1) * zoom_;
    }
    scale = std::clamp(scale, 0.01, 4.0);
    PrintJobRequest request = MakePrintRequest(s, picture, assets_, target_.title.toStdString());
    const bool poster = s.poster != 0;
    if (poster) {
        // The sheet shown on the paper the poster turns it to.
        poster_ = engine.LayPoster(request, PosterChoices(s));
        if (!poster_.Usable() || !engine.TurnForPoster(poster_)) return false;
        sheet_ = std::clamp(sheet_, 0, poster_.SheetCount() - 1);
        request.poster = &poster_;
        request.posterSheet = sheet_;
        const PosterSheet shown = poster_.Sheet(sheet_);
        sheetLabel_->setText(PrintingText::tr("Sheet %1 (%2 of %3)")
                                 .arg(QString::fromStdString(PosterSheetName(shown.row, shown.column)))
                                 .arg(sheet_ + 1)
                                 .arg(poster_.SheetCount()));
        previousSheet_->setEnabled(sheet_ > 0);
        nextSheet_->setEnabled(sheet_ + 1 < poster_.SheetCount());
    }
    previousSheetAction_->setVisible(poster);
    nextSheetAction_->setVisible(poster);
    sheetLabelAction_->setVisible(poster);
    const QRect sheetPaper = engine.PaperRect();
    if (poster && sheetPaper != paper) {
        // Turned: the scale of the whole page follows the paper's new shape.
        const int w = std::max(sheetPaper.width(), 1), h = std::max(sheetPaper.height(), 1);
        if (zoom_ == 0) scale = std::clamp(std::min((view.width() - 16) / double(w), (view.height() - 16) / double(h)), 0.01, 4.0);
    }
    page_ = engine.RenderPreviewImage(request, scale);
    pageLabel_->setPixmap(QPixmap::fromImage(page_));
    pageLabel_->resize(page_.size());
    return !page_.isNull();
}

void PPreviewView::OnSheet(int step) {
    if (ThePrintEngine().Busy()) return;
    const int sheet = std::clamp(sheet_ + step, 0, std::max(poster_.SheetCount() - 1, 0));
    if (sheet == sheet_) return;
    sheet_ = sheet;
    Render();
}

void PPreviewView::OnZoom(int step) {
    if (ThePrintEngine().Busy()) return;
    const int zoom = std::clamp(zoom_ + step, 0, 2);
    if (zoom == zoom_) return;
    zoom_ = zoom;
    Render();
}

void PPreviewView::HideStatusBar() {
    // The main window's status bar makes room for the page while the preview is open.
    QWidget* top = target_.window ? target_.window->window() : nullptr;
    if (auto* main = qobject_cast<QMainWindow*>(top)) {
        QStatusBar* bar = main->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
        if (bar && bar->isVisible()) {
            bar->hide();
            hiddenStatusBar_ = bar;
        }
    }
}

void PPreviewView::OnPrint() {
    if (target_.document) target_.document->m_print.reprintAfterPreview = 0;
    finished_ = true;
    if (hiddenStatusBar_) hiddenStatusBar_->show();
    hiddenStatusBar_ = nullptr;
    ThePrintEngine().DetachPrinter();
    Post(ID_PRINT, target_);
    Frame()->close();
}

void PPreviewView::OnClose() { Frame()->close(); }

void PPreviewView::closeEvent(QCloseEvent* event) {
    // Close, or the window's own close box: the sheet comes back when the
    // preview was opened from it.
    if (!finished_) {
        finished_ = true;
        if (target_.document) {
            PrintSettings& s = target_.document->m_print;
            if (s.reprintAfterPreview && target_.window) Post(ID_PRINT, target_);
            s.reprintAfterPreview = 0;
        }
        ThePrintEngine().DetachPrinter();
    }
    if (hiddenStatusBar_) hiddenStatusBar_->show();
    hiddenStatusBar_ = nullptr;
    QWidget::closeEvent(event);
}

PPreviewView* OpenPrintPreview(const PrintTarget& target) {
    if (!target.document || !target.document->m_pPicture) return nullptr;
    QMdiArea* area = nullptr;
    for (QWidget* w = target.window; w && !area; w = w->parentWidget())
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) area = sub->mdiArea();
    auto* preview = new PPreviewView(target);
    preview->HideStatusBar();
    if (area) {
        QMdiSubWindow* sub = area->addSubWindow(preview);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->showMaximized();
    } else {
        preview->setParent(target.window ? target.window->window() : nullptr, Qt::Window);
        preview->show();
    }
    if (!preview->Render()) {
        preview->Frame()->close();
        return nullptr;
    }
    if (target.window)
        QObject::connect(target.window, &QObject::destroyed, preview->Frame(), &QWidget::close);
    return preview;
}

// ---------------------------------------------------------------- commands

void InstallViewPrinting() {
    CVandrelView::SetPrinting([](int id, CVandrelView& view) {
        QMdiSubWindow* frame = view.Frame();
        QWidget* owner = frame ? static_cast<QWidget*>(frame) : view.window();
        return HandlePrintCommand(id, PrintTarget{view.GetCoreDocument(), PlainWindowTitle(owner), owner,
                                                  view.GetDocument()});
    });
}

void RegisterPrintCommands(CommandRegistry& r) {
    using S = CommandSurface;
    InstallViewPrinting();
    // Printing needs the active view: it forwards its document's print
    // commands here with its window as the owner.
    auto print = [](int id, QKeySequence key, std::vector<CommandPlace> places) {
        return CommandDecl(id)
            .keys(key.isEmpty() ? QList<QKeySequence>{} : QList<QKeySequence>{key})
            .withIcon(CommandIcon(id))
            .runs([id](Workspace& w) {
                return w.activeView() && HandlePrintCommand(id, w.activeDocument(), w.activeView());
            })
            .enabledWhen([](const Workspace& w) { return w.activeView() != nullptr && !ThePrintEngine().Busy(); })
            .needing(kNeedsPrinter | kNeedsIdleDocument)
            .placed(std::move(places));
    };
    r.add(print(ID_PRINT, QKeySequence(QKeySequence::Print),
                {{S::MainMenu, "&File", 4, 1}, {S::IconBar, {}, 3, 1}, {S::EmbeddedFileMenu, "&File", 5, 2}}));
    r.add(print(ID_QUICK_PRINT, {}, {{S::MainMenu, "&File", 4, 2}, {S::IconBar, {}, 3, 2}}));
    r.add(print(ID_PRINT_PREVIEW, {}, {{S::MainMenu, "&File", 4, 3}, {S::EmbeddedFileMenu, "&File", 5, 1}}));
    r.add(CommandDecl(ID_PRINT_SETUP)
              .runs([](Workspace& w) {
                  return HandlePrintCommand(ID_PRINT_SETUP, PrintTarget{nullptr, QString(), w.dialogParent(), nullptr});
              })
              .enabledWhen([](const Workspace&) { return !ThePrintEngine().Busy(); })
              .needing(kNeedsIdle)
              .placed({{S::MainMenu, "&File", 4, 4}, {S::EmbeddedFileMenu, "&File", 5, 3}}));
}
