// How the window's event loop fares while the application does long work on
// a large picture: the picture opened, turned (Rotate Right) and saved as PNG
// through the application's own commands; and a scan-sized Auto stitch (two
// A4 pages at 300 dpi overlapping by a fifth) from the stitch sheet. Two probes run on the window's
// thread: a 5 ms timer notes how late each of its ticks comes, and a request
// from outside (a byte written to a pipe every 5 ms by another thread, read
// through a socket notifier, as an accessibility or D-Bus request arrives)
// notes how long it waits for an answer. For each job the worst and the
// 99th-percentile delay of both and the job's total time are printed.
//
// The program uses only what the application offered before its work moved
// to worker threads (OpenDocumentFile, the commands, the file-dialog
// answerer, the stitch sheet's pages and buttons), and waits for each job's
// visible end (the document's window, the modified mark, the written file,
// the stitched document), so that the same source measures
// both; bench_long_work.sh builds it in both trees.
//
// usage: bench_long_work PICTURE OUT_DIR [RUNS]
// Run it offscreen (QT_QPA_PLATFORM=offscreen).
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QAbstractButton>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTabWidget>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>
#include <unistd.h>
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

// Requests from outside: another thread writes its clock into a pipe every
// 5 ms; the window's thread answers when the notifier tells it.
class Requests : public QObject {
public:
    Requests() {
        if (pipe(fds_) != 0) return;
        notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            std::int64_t sent[64];
            const ssize_t n = read(fds_[0], sent, sizeof sent);
            const std::int64_t now = Now();
            for (ssize_t i = 0; i < n / ssize_t(sizeof(std::int64_t)); ++i)
                if (measuring_) samples.push_back((now - sent[i]) / 1e6);
        });
        writer_ = std::thread([this] {
            while (!stop_) {
                const std::int64_t t = Now();
                if (write(fds_[1], &t, sizeof t) != sizeof t) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
            }
        });
    }
    ~Requests() override {
        stop_ = true;
        if (writer_.joinable()) writer_.join();
        close(fds_[0]);
        close(fds_[1]);
    }
    void start() {
        samples.clear();
        measuring_ = true;
    }
    void stop() { measuring_ = false; }
    std::vector<double> samples;

private:
    static std::int64_t Now() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    std::thread writer_;
    std::atomic<bool> stop_{false};
    bool measuring_ = false;
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
    double total = 0, worst = 0, p99 = 0, requestWorst = 0, requestP99 = 0;
};

void WorstAndP99(std::vector<double> s, double& worst, double& p99) {
    std::sort(s.begin(), s.end());
    if (s.empty()) return;
    worst = s.back();
    p99 = s[std::min(s.size() - 1, std::size_t(double(s.size()) * 0.99))];
}

Figures Measure(Lateness& lateness, Requests& requests, const std::function<void()>& start,
                const std::function<bool()>& done) {
    QElapsedTimer clock;
    lateness.start();
    requests.start();
    clock.start();
    start();
    WaitUntil(done);
    Figures f;
    f.total = clock.nsecsElapsed() / 1e6;
    // The requests sent during the job that still wait are answered now.
    QElapsedTimer settle;
    settle.start();
    WaitUntil([&] { return settle.elapsed() >= 20; });
    lateness.stop();
    requests.stop();
    WorstAndP99(lateness.samples, f.worst, f.p99);
    WorstAndP99(requests.samples, f.requestWorst, f.requestP99);
    return f;
}

void Print(const char* job, const std::vector<Figures>& runs) {
    // The median run by total time.
    std::vector<Figures> sorted = runs;
    std::sort(sorted.begin(), sorted.end(), [](const Figures& a, const Figures& b) { return a.total < b.total; });
    const Figures& m = sorted[sorted.size() / 2];
    double worst = 0, requestWorst = 0;
    for (const Figures& f : runs) {
        worst = std::max(worst, f.worst);
        requestWorst = std::max(requestWorst, f.requestWorst);
    }
    std::printf("%-13s total %8.1f ms (median of %zu) | timer late: worst %7.1f, p99 %7.1f, all runs %7.1f ms"
                " | request waits: worst %7.1f, p99 %7.1f, all runs %7.1f ms\n",
                job, m.total, runs.size(), m.worst, m.p99, worst, m.requestWorst, m.requestP99, requestWorst);
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
    Requests requests;
    std::vector<Figures> open, turn, save, stitch;
    // The scanned page the two pieces are cut from (a textured drawing).
    const auto scanned = stitchtest::MakeTextured(2 * kPageW - kShared, kPageH, ptTrueColor24, 11);
    for (int run = 0; run < runs; ++run) {
        open.push_back(Measure(
            lateness, requests, [&] { app.OpenDocumentFile(picture); },
            [&] { return app.documents().size() == 1 && app.documents().first()->picture(); }));
        Document* doc = app.documents().first();
        turn.push_back(Measure(
            lateness, requests, [&] { app.commands()->execute(ID_ROTATE_RIGHT); }, [&] { return doc->isModified(); }));
        savePath = QDir(outDir).filePath(QString("out%1.png").arg(run));
        save.push_back(Measure(
            lateness, requests, [&] { app.commands()->execute(ID_SAVE_AS); },
            [&] { return !doc->isModified() && QFileInfo::exists(savePath); }));
        // The next run begins with no document.
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
            lateness, requests, [&] { sheet->stitchButton()->click(); },
            [&] { return app.documents().size() == 1 && app.documents().first()->picture(); }));
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
