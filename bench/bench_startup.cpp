// Start-up time of the application: from the moment its process is started
// to the main window shown, painted and the event queue idle, i.e. the first
// moment a click or a key would be answered.
//
// Each run is a fresh process (this program started again with --child), so
// loading the shared libraries, connecting to the display, the fonts and the
// settings all count. The child starts the application exactly as the
// stitchara program does (same start-up steps, same window), watches for the
// first paint of the main window, then lets the event queue run dry and
// reports the time since the parent started it.
//
// usage: bench_startup [RUNS] [PICTURE...]
//   RUNS     runs per case (default 15)
//   PICTURE  also time a start with this picture on the command line, shown
//            in its window
// The splash shows for its time-out on top of a window that is already
// usable (a click ends it); the runs here leave it out, as a second start of
// the day would not, so that the figure is the window's own.
// Run it on the platform to measure: QT_QPA_PLATFORM=offscreen, or under
// xvfb-run (see bench_startup.sh).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/progress.h"
#include "platform/temporary_files.h"
#include "shell/app/app_qt.h"
#include "shell/app/main_wnd_qt.h"

extern char** environ;

namespace {

constexpr const char* kStartVariable = "STITCHARA_BENCH_START_NS";

long long MonotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Notes the first paint in the main window once the start is complete (no
// progress running, the command-line picture open), then waits for the event
// queue to run dry.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(bool picture) : picture_(picture) {}
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Paint || scheduled_ || !Ready()) return false;
        auto* widget = qobject_cast<QWidget*>(object);
        if (!widget || widget->window() != theApp()->mainWindow()) return false;
        scheduled_ = true;
        QTimer::singleShot(0, this, [this] {
            if (!Ready()) {  // still inside the start: wait for the next paint
                scheduled_ = false;
                return;
            }
            const long long start = std::atoll(std::getenv(kStartVariable));
            std::printf("%.3f\n", (MonotonicNs() - start) / 1e6);
            std::fflush(stdout);
            // The measurement is taken: leave without tearing anything down.
            _exit(0);
        });
        return false;
    }

private:
    bool Ready() const {
        CVandrelApp* app = theApp();
        if (!app || !app->mainWindow() || GetProgressGauge().inProgress) return false;
        return !picture_ || !app->mainWindow()->documentWindows().isEmpty();
    }
    bool picture_;
    bool scheduled_ = false;
};

int Child(int argc, char** argv, const char* picture) {
    platform::RemoveLeftTemporaries();
    CVandrelApp app(argc, argv);
    FirstPaint watcher(picture != nullptr);
    app.installEventFilter(&watcher);
    CVandrelApp::StartOptions options;
    options.path = picture ? QString::fromLocal8Bit(picture) : QString();
    options.showLogo = false;
    if (!app.InitInstance(options)) return 1;
    // A start that never gets there (a picture that does not open) fails.
    QTimer::singleShot(60000, [] { _exit(3); });
    return app.exec();
}

// Starts this program as a child and returns its figure in milliseconds, or
// a negative number when it failed.
double RunOnce(const char* self, const char* picture) {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args{self, "--child"};
    if (picture) args.emplace_back(picture);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    setenv(kStartVariable, std::to_string(MonotonicNs()).c_str(), 1);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return -1;
    }
    std::string text;
    char buffer[64];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) return -1;
    return std::atof(text.c_str());
}

void Report(const char* name, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-36s runs %2zu   median %7.1f ms   min %7.1f ms   max %7.1f ms\n", name, ms.size(),
                ms[ms.size() / 2], ms.front(), ms.back());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--child") return Child(1, argv, argc >= 3 ? argv[2] : nullptr);

    const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 15;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    std::printf("start-up to the main window shown and idle (platform %s)\n", platform ? platform : "default");

    // Settings in a file of their own, the same for every run.
    char ini[] = "/tmp/bench_startup_XXXXXX";
    const int fd = mkstemp(ini);
    if (fd >= 0) close(fd);
    setenv("STITCHARA_INI", ini, 1);

    struct Case {
        std::string name;
        const char* picture;
    };
    std::vector<Case> cases{{"empty command line", nullptr}};
    for (int i = 2; i < argc; ++i) {
        const char* slash = std::strrchr(argv[i], '/');
        cases.push_back({std::string("with ") + (slash ? slash + 1 : argv[i]), argv[i]});
    }
    int failed = 0;
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return 2;
    for (const Case& c : cases) {
        RunOnce(self, c.picture);  // warms the file cache
        std::vector<double> ms;
        for (int i = 0; i < runs; ++i) {
            const double t = RunOnce(self, c.picture);
            if (t < 0) {
                ++failed;
                continue;
            }
            ms.push_back(t);
        }
        if (!ms.empty()) Report(c.name.c_str(), ms);
    }
    unlink(ini);
    if (failed) std::fprintf(stderr, "%d runs failed\n", failed);
    return failed ? 1 : 0;
}
