// Progress and cancel of a long operation, carried by the operation.
//
// A Progress object belongs to one run of a long operation: its caption, its
// gauge, a cancel flag and the sink that draws it. The long operations of
// the core take one at their entry point (ReadImageFile, WriteImageFile,
// TransformPicture, ...); the entry point installs it for its thread with a
// ProgressScope, and the deep loops keep reporting through the five free
// calls below, which act on the calling thread's current Progress. There is
// no process-wide progress state: two operations on two threads each report
// to their own object.
//
//     Progress progress(&sink);                  // sink: status bar, terminal, test recorder (or none)
//     auto picture = ReadImageFile(path, true, &status, &progress);
//     // another thread: progress.Cancel();  StepProgress then answers true
//     // any thread: progress.Gauge(), progress.Caption() (what a display polls)
//
// Inside an operation:
//     ScopedProgress gauge(showProgress, IDS_ROTATING, 0, h - 1);
//     for (...) if (gauge.Step(y)) return 0;   // Escape or Cancel(): stop, inputs as they were
//
// The sink is called on the thread that runs the operation. A sink that lives
// on another thread (the window's status bar) is not a sink: it reads the
// gauge and the caption, which any thread may read, and calls Cancel().
// A thread with no Progress installed has one of its own without a sink: the
// calls keep their state and never answer Escape.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class ProgressHost {
public:
    virtual ~ProgressHost() = default;
    // Progress mode begins: show caption and a gauge over minimum..maximum.
    virtual void Begin(const std::string& caption, unsigned minimum, unsigned maximum) = 0;
    // The gauge moved. percent is the whole percentage; percentChanged says
    // whether it differs from the last one shown (the text needs a repaint).
    virtual void Update(unsigned position, unsigned percent, bool percentChanged) = 0;
    // Takes one pending key press, if any, and answers whether it was Escape
    // (or its terminal equivalent).
    virtual bool TakeEscape() = 0;
    // Progress mode ends.
    virtual void End() = 0;
};

// The gauge as it stands. Between BeginProgress and EndProgress, inProgress
// is true.
struct ProgressGauge {
    unsigned minimum;
    unsigned maximum;
    unsigned position;
    unsigned percent;
    bool inProgress;
};

class Progress {
public:
    explicit Progress(ProgressHost* sink = nullptr) : sink_(sink) {}
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // The sink (none: nothing is drawn, Escape is never answered).
    ProgressHost* Sink() const { return sink_; }
    void SetSink(ProgressHost* sink) { sink_ = sink; }

    // The caption id BeginProgress shows (string table).
    void SetCaption(int id) { captionId_.store(id, std::memory_order_relaxed); }
    int CaptionId() const { return captionId_.load(std::memory_order_relaxed); }

    // Any thread: asks the operation to stop at its next step.
    void Cancel() { cancel_.store(true, std::memory_order_relaxed); }
    bool Cancelled() const { return cancel_.load(std::memory_order_relaxed); }

    // Any thread: the gauge (one consistent reading), the caption shown since
    // the last Begin ("" before), and how many times progress began (a
    // display that polls sees a new range by it).
    ProgressGauge Gauge() const;
    std::string Caption() const;
    unsigned Begins() const { return begins_.load(std::memory_order_acquire); }

    // The calls of the operation's own thread (the free functions below
    // forward to the thread's current Progress).
    void Begin(unsigned first, unsigned last);
    void BeginWithCaption(int id, unsigned first, unsigned last);
    bool Step(unsigned current);
    void End();
    // Whether a Step since the last Begin answered stop (Escape or a
    // cancel): an operation whose steps a library drives learns so, after
    // the library gave up, why it did.
    bool Stopped() const { return stopped_; }

private:
    void BeginText(const std::string& caption, unsigned first, unsigned last);
    void Store(const ProgressGauge& g);

    ProgressHost* sink_;
    std::atomic<int> captionId_{0};
    std::atomic<bool> cancel_{false};
    // minimum, maximum, position (16 bits each), percent (7 bits), in progress.
    std::atomic<std::uint64_t> gauge_{std::uint64_t(100) << 16};
    std::atomic<unsigned> begins_{0};
    bool stopped_ = false;  // the operation's thread only
    mutable std::mutex captionLock_;
    std::string caption_;
};

// Makes progress the calling thread's current Progress for the scope's span
// (the one before comes back at its end). A null progress changes nothing.
class ProgressScope {
public:
    explicit ProgressScope(Progress* progress);
    ~ProgressScope();
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    Progress* previous_ = nullptr;
    bool installed_ = false;
};

// The calling thread's current Progress.
Progress& CurrentProgress();

// The sink of the calling thread's current Progress.
void SetProgressHost(ProgressHost* host);
ProgressHost* GetProgressHost();

void SetProgressCaption(int id);
void BeginProgress(unsigned first, unsigned last);
void BeginProgressWithCaption(int id, unsigned first, unsigned last);
// Moves the gauge; answers true when Escape was pressed or the progress was
// cancelled.
bool StepProgress(unsigned current);
// Ends progress mode: the gauge stands at its maximum and the host ends.
void EndProgress();

// The gauge of the calling thread's current Progress.
ProgressGauge GetProgressGauge();
// The caption id stored by SetProgressCaption.
int GetProgressCaptionId();

// Progress for the span of a scope: begins with a caption from the string
// table (when on and captionId is not 0) and ends on every way out, so that an
// early return or an exception never leaves the status bar in progress mode.
//     ScopedProgress gauge(showProgress, IDS_ROTATING, 0, h - 1);
//     for (...) if (gauge.Step(y)) return 0;   // Escape
class ScopedProgress {
public:
    ScopedProgress(bool on, int captionId, unsigned first, unsigned last);
    ~ScopedProgress();
    ScopedProgress(const ScopedProgress&) = delete;
    ScopedProgress& operator=(const ScopedProgress&) = delete;
    // StepProgress while running; false (no Escape) when progress is off.
    bool Step(unsigned current) const;
    // Ends now rather than at the end of the scope.
    void End();
    bool Running() const { return running_; }

private:
    bool running_ = false;
};
