// How the window's event loop fares while the application does long work on
// a large picture: the picture opened, turned (Rotate Right) and saved as PNG
// through the application's own commands; and a scan-sized Auto stitch (two
// A4 pages at 300 dpi overlapping by a fifth) from the stitch sheet. A 5 ms timer on the window's
// thread notes how late each of its ticks comes; for each job the worst and
// the 99th-percentile lateness and the job's total time are printed.
//
// The program uses only what the application offered before its work moved
// to worker threads (OpenDocumentFile, the commands, the file-dialog
// answerer, the stitch sheet's pages and buttons), and waits for each job's
// visible end (the document's window, the turned size, the written file, the
// stitched document), so that the same source measures
// both; bench_long_work.sh builds it in both trees.
//
// usage: bench_long_work PICTURE OUT_DIR [RUNS]
// Run it offscreen (QT_QPA_PLATFORM=offscreen).
#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "base/command_registry_qt.h"
#include "document/document_qt.h"
#include "document/file_dialogs_qt.h"
#include "picture/picture.h"
#include "resources/command_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/main_wnd_qt.h"
#include "stitch/stitch_sheet_qt.h"
#include "stitch/tests/stitch_test_support.h"

namespace {

constexpr int kTickMs = 5;
// An A4 page at 300 dpi, the scanner's bed; the pieces overlap by a fifth.
constexpr int kPageW = 2480, kPageH = 3508, kShared = kPageW / 5;

// Lateness of a timer's ticks, in milliseconds.
class Lateness : public QObject {
public:
    Lateness() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kTickMs);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const double now = clock_.nsecsElapsed() / 1e6;
            if (last_ >= 0) samples.push_back(std::max(0.0, now - last_ - kTickMs));
            last_ = now;
        });
    }
    void start() {
        samples.clear();
        last_ = -1;
        clock_.start();
        timer_.start();
    }
    void stop() { timer_.stop(); }
    std::vector<double> samples;

private:
    QTimer timer_;
    QElapsedTimer clock_;
    double last_ = -1;
};

// Runs the event loop until done() holds (checked every millisecond).
void WaitUntil(const std::function<bool()>& done) {
    if (done()) return;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    poll.start();
    loop.exec();
}

struct Figures {
    double total = 0, worst = 0, p99 = 0;
};

Figures Measure(Lateness& lateness, const std::function<void()>& start, const std::function<bool()>& done) {
    QElapsedTimer clock;
    lateness.start();
    clock.start();
    start();
    WaitUntil(done);
    Figures f;
    f.total = clock.nsecsElapsed() / 1e6;
    lateness.stop();
    std::vector<double> s = lateness.samples;
    std::sort(s.begin(), s.end());
    if (!s.empty()) {
        f.worst = s.back();
        f.p99 = s[std::min(s.size() - 1, std::size_t(double(s.size()) * 0.99))];
    }
    return f;
}

void Print(const char* job, const std::vector<Figures>& runs) {
    // The median run by total time.
    std::vector<Figures> sorted = runs;
    std::sort(sorted.begin(), sorted.end(), [](const Figures& a, const Figures& b) { return a.total < b.total; });
    const Figures& m = sorted[sorted.size() / 2];
    double worst = 0;
    for (const Figures& f : runs) worst = std::max(worst, f.worst);
    std::printf("%-14s total %8.1f ms (median of %zu)   delay: worst %7.1f ms, p99 %7.1f ms (median run); "
                "worst of all runs %7.1f ms\n",
                job, m.total, runs.size(), m.worst, m.p99, worst);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_long_work PICTURE OUT_DIR [RUNS]\n");
        return 2;
    }
    CVandrelApp app(argc, argv);
    const QString picture = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    QStringList messages;
    app.setMessageHandler([&](const QString& text) { messages << text; });
    Document::SetSaveQuestion([](const QString&) { return SaveAnswer::No; });
    QString savePath;
    SetFileDialogAnswerer([&](FileDialogKind, const QString&, const QStringList&, int position) {
        return FileChoice{savePath, position};
    });
    CVandrelApp::StartOptions options;
    options.showLogo = false;
    if (!app.InitInstance(options)) return 1;
    app.stitchIdle = 1;
    WaitUntil([&] { return app.mainWindow()->isVisible(); });

    Lateness lateness;
    std::vector<Figures> open, turn, save, stitch;
    // The scanned page the two pieces are cut from (a textured drawing).
    const auto scanned = stitchtest::MakeTextured(2 * kPageW - kShared, kPageH, ptTrueColor24, 11);
    for (int run = 0; run < runs; ++run) {
        open.push_back(Measure(
            lateness, [&] { app.OpenDocumentFile(picture); },
            [&] { return app.documents().size() == 1 && app.documents().first()->picture(); }));
        Document* doc = app.documents().first();
        // The turned picture is in place once the document is modified (the
        // picture is square: its width does not tell).
        turn.push_back(Measure(
            lateness, [&] { app.commands()->execute(ID_ROTATE_RIGHT); },
            [&] { return doc->isModified(); }));
        savePath = QDir(outDir).filePath(QString("out%1.png").arg(run));
        save.push_back(Measure(
            lateness, [&] { app.commands()->execute(ID_SAVE_AS); },
            [&] { return !doc->isModified() && QFileInfo::exists(savePath); }));
        // A little time for the last job's end to settle, then the next run
        // begins with no document.
        WaitUntil([] { return true; });
        doc->setModified(false);
        app.mainWindow()->documentWindows().first()->close();
        WaitUntil([&] { return app.documents().isEmpty(); });
        QFile::remove(savePath);

        app.OnCommand(ID_STITCH);
        CStitchSheet* sheet = CurrentStitchSheet();
        sheet->page(0)->TakePicture(stitchtest::Cut(scanned.get(), 0, 0, kPageW, kPageH));
        sheet->page(1)->TakePicture(stitchtest::Cut(scanned.get(), kPageW - kShared, 0, kPageW, kPageH));
        sheet->tabs()->setCurrentIndex(2);
        sheet->stitchImage()->methodButton(kMethodAuto)->click();
        stitch.push_back(Measure(
            lateness, [&] { sheet->stitchButton()->click(); },
            [&] { return app.documents().size() == 1 && app.documents().first()->picture(); }));
        WaitUntil([] { return true; });
        app.documents().first()->setModified(false);
        app.mainWindow()->documentWindows().first()->close();
        WaitUntil([&] { return app.documents().isEmpty() && !CurrentStitchSheet(); });
    }
    Print("open", open);
    Print("rotate right", turn);
    Print("save as PNG", save);
    Print("Auto stitch A4", stitch);
    if (!messages.isEmpty()) std::fprintf(stderr, "messages: %s\n", qPrintable(messages.join(" | ")));
    return messages.isEmpty() ? 0 : 1;
}
