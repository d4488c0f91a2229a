// The progress display: every long operation reports through these five
// calls, and StepProgress is the only way it learns that the user pressed
// Escape. Where the caption and gauge appear is up to the host: the
// application's status bar, a terminal, or a test recorder.
#pragma once
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

// The host in use (none: the calls still keep their state and never answer Escape).
void SetProgressHost(ProgressHost* host);
ProgressHost* GetProgressHost();

void SetProgressCaption(int id);
void BeginProgress(unsigned first, unsigned last);
void BeginProgressWithCaption(int id, unsigned first, unsigned last);
// Moves the gauge; answers true when Escape was pressed.
bool StepProgress(unsigned current);
// Ends progress mode: the gauge stands at its maximum and the host ends.
void EndProgress();

// The gauge as it stands (for hosts that draw it and for tests). Between
// BeginProgress and EndProgress, inProgress is true.
struct ProgressGauge {
    unsigned minimum;
    unsigned maximum;
    unsigned position;
    unsigned percent;
    bool inProgress;
};
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
