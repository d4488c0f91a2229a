// The print engine on a QPrinter (a CUPS queue or a PDF file): the printer
// and its setup, the device questions the print pages ask, print jobs and
// the preview's page rendering. Qt GUI and print support only (no widgets),
// so that stitchara-cli prints through the same code; the abort dialog and
// the setup dialogs are the application's.
#pragma once
#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

#include "print/print_layout.h"
#include "print/print_render.h"

class QImage;
class QPainter;
class QPrinter;

// How a running job shows itself and learns that the user wants to stop.
// Its calls come from the thread that runs the job.
class PrintJobMonitor {
public:
    virtual ~PrintJobMonitor() = default;
    // The job starts (title and where it goes); false when the monitor
    // cannot be shown ("An error occurred while printing.").
    virtual bool Begin(const QString& title, const QString& port) = 0;
    // After every output row: false when the user asked to stop.
    virtual bool KeepGoing() = 0;
    virtual void End() = 0;
};

class PrintEngine {
public:
    PrintEngine();
    ~PrintEngine();
    PrintEngine(const PrintEngine&) = delete;
    PrintEngine& operator=(const PrintEngine&) = delete;

    // The printer setup the engine works with. Without one, AttachPrinter
    // makes one for the system's default printer (a PDF file in the user's
    // documents when there is no printer at all).
    void SetPrinter(std::unique_ptr<QPrinter> printer);
    QPrinter* Printer() const { return printer_.get(); }
    // Whether the printer writes a PDF file rather than to a printer.
    bool PrintsToFile() const;
    // The PDF file printing goes to when nothing else was chosen:
    // print.pdf in the user's documents.
    static QString DefaultPdfFile();

    // Marks the printer in use; false when there is none and none can be made.
    bool AttachPrinter();
    void DetachPrinter();
    bool IsAttached() const { return attached_; }

    // Device questions: dots per inch, printable area in dots.
    int LogPixelsX() const;
    int LogPixelsY() const;
    int HorzRes() const;
    int VertRes() const;
    // The printable area in dots of the current paper turned to orientation
    // (1 portrait, 2 landscape), whatever the current orientation.
    QSize PrintableArea(int orientation) const;
    // Paper margins down to the least the printer needs (none for a PDF
    // file): a poster's sheets are trimmed anyway, so every dot counts.
    bool UseLeastMargins();
    // The poster's grid for request on this printer, from its printable area
    // both ways: base.orientation 0 lets the fewer sheets decide (the current
    // orientation on a tie), 1 or 2 keeps that one; base gives the overlap,
    // marks and labels.
    PosterLayout LayPoster(const PrintJobRequest& request, PosterRequest base) const;
    // Turns the paper the way poster was laid out; false when the printer
    // cannot or its printable area is then not the one laid out.
    bool TurnForPoster(const PosterLayout& poster);
    // Printer names: the device (queue) name, its driver (make and model)
    // and where it prints to (the queue's location or the PDF file).
    QString DeviceName() const;
    QString DriverName() const;
    QString PortName() const;

    // 1 portrait, 2 landscape.
    int Orientation() const;
    bool SetOrientation(int orientation);
    int Copies() const;
    // Paper: QPageSize ids.
    int PaperSize() const;
    bool SetPaperSize(int pageSizeId);
    // The papers the printer offers, as (name, id).
    std::vector<std::pair<QString, int>> PaperSizes() const;

    // A whole print job on the attached printer: 1 when every page went
    // out; 0 when there is no printer, the printer refused the job, the
    // monitor could not start, an output failed or the user stopped it (the
    // job is then cancelled). monitor may be none. It may run on a worker
    // thread while nothing else uses the engine (see SetBusy). A PDF file is
    // written beside its name first and takes the name only when every page
    // went out: a stopped or failed job leaves no file and keeps the one
    // that was there.
    int StartPrintJob(const PrintJobRequest& request, PrintJobMonitor* monitor);
    // Whether the last job was stopped by the user (any thread).
    bool LastJobAborted() const { return lastAborted_.load(); }
    // Marks the engine in use by a job on a worker thread, from before it
    // starts until its end is handed back: nothing else may touch the
    // printer meanwhile (the print commands do nothing while it is set).
    void SetBusy(bool busy) { busy_.store(busy); }
    bool Busy() const { return busy_.load(); }

    // The one page the job would print, drawn by painter whose coordinates
    // are the printable area in printer dots (scale it to fit an image).
    int RenderPreview(const PrintJobRequest& request, QPainter& painter);
    // The whole sheet of paper in dots, relative to the printable area's corner.
    QRect PaperRect() const;
    // The sheet of paper as an image at the given scale (1: printer dots).
    QImage RenderPreviewImage(const PrintJobRequest& request, double scale);

private:
    std::unique_ptr<QPrinter> printer_;
    std::atomic<bool> attached_{false};
    std::atomic<bool> lastAborted_{false};
    std::atomic<bool> busy_{false};
};
