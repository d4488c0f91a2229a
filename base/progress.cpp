// The progress display: the gauge model behind the five progress calls.
// The gauge keeps minimum, maximum and position as 16-bit unsigned values;
// the sink shows them (terminal or test recorder), a display on another
// thread reads them.
#include "base/progress.h"

#include "resources/strings.h"

namespace {

constexpr unsigned kGaugeLimit = 0xFFFF;
// A caption loaded for BeginProgressWithCaption fits a 20-character buffer.
constexpr std::size_t kCaptionChars = 19;

unsigned Clamp16(unsigned v) { return v > kGaugeLimit ? kGaugeLimit : v; }

unsigned Percent(const ProgressGauge& g) {
    // maximum > minimum always holds after SetRange.
    return unsigned(std::uint64_t(g.position - g.minimum) * 100u / (g.maximum - g.minimum));
}

// Equal ends give a range of one step; the smaller end is the minimum.
void SetRange(ProgressGauge& g, unsigned a, unsigned b) {
    a = Clamp16(a);
    b = Clamp16(b);
    if (a == b) {
        // Keep both ends within 16 bits: the one step lies below the top.
        if (a == kGaugeLimit) --a;
        else ++b;
    }
    g.minimum = a < b ? a : b;
    g.maximum = a < b ? b : a;
    g.position = g.minimum;
    g.percent = 0;
}

unsigned ClampToRange(const ProgressGauge& g, unsigned p) {
    p = Clamp16(p);
    if (p < g.minimum) p = g.minimum;
    if (p > g.maximum) p = g.maximum;
    return p;
}

std::uint64_t Pack(const ProgressGauge& g) {
    return std::uint64_t(g.minimum) | std::uint64_t(g.maximum) << 16 | std::uint64_t(g.position) << 32 |
           std::uint64_t(g.percent & 0x7F) << 48 | std::uint64_t(g.inProgress ? 1 : 0) << 55;
}

ProgressGauge Unpack(std::uint64_t v) {
    return {unsigned(v & 0xFFFF), unsigned(v >> 16 & 0xFFFF), unsigned(v >> 32 & 0xFFFF),
            unsigned(v >> 48 & 0x7F), (v >> 55 & 1) != 0};
}

// The thread's own Progress, used while no scope installed another.
Progress& ThreadDefault() {
    thread_local Progress progress;
    return progress;
}

thread_local Progress* t_current = nullptr;

}  // namespace

ProgressGauge Progress::Gauge() const { return Unpack(gauge_.load(std::memory_order_acquire)); }

void Progress::Store(const ProgressGauge& g) { gauge_.store(Pack(g), std::memory_order_release); }

std::string Progress::Caption() const {
    std::lock_guard<std::mutex> lock(captionLock_);
    return caption_;
}

void Progress::BeginText(const std::string& caption, unsigned first, unsigned last) {
    ProgressGauge g = Gauge();
    SetRange(g, first, last);
    // The gauge starts at first, which is the maximum of a reversed range.
    // No key press is taken here: only a step answers Escape.
    g.position = ClampToRange(g, first);
    g.percent = Percent(g);
    g.inProgress = true;
    stopped_ = false;
    // The caption is the text up to the first line break.
    const std::string shown = TextBeforeLineBreak(caption);
    {
        std::lock_guard<std::mutex> lock(captionLock_);
        caption_ = shown;
    }
    Store(g);
    begins_.fetch_add(1, std::memory_order_acq_rel);
    if (sink_) {
        sink_->Begin(shown, g.minimum, g.maximum);
        if (g.position != g.minimum) sink_->Update(g.position, g.percent, true);
    }
}

void Progress::Begin(unsigned first, unsigned last) { BeginText(LoadStringById(CaptionId()), first, last); }

void Progress::BeginWithCaption(int id, unsigned first, unsigned last) {
    if (id == 0) return;
    std::string text = LoadStringById(id);
    if (text.size() > kCaptionChars) text.resize(kCaptionChars);
    BeginText(text, first, last);
}

bool Progress::Step(unsigned current) {
    // One pending key press is taken first, whether or not the gauge moves.
    const bool escape = sink_ ? sink_->TakeEscape() : false;
    ProgressGauge g = Gauge();
    if (Clamp16(current) != g.position) {
        const unsigned p = ClampToRange(g, current);
        if (p != g.position) {
            g.position = p;
            const unsigned percent = Percent(g);
            const bool changed = percent != g.percent;
            g.percent = percent;
            Store(g);
            if (sink_) sink_->Update(p, percent, changed);
        }
    }
    const bool stop = escape || Cancelled();
    if (stop) stopped_ = true;
    return stop;
}

void Progress::End() {
    ProgressGauge g = Gauge();
    g.position = g.maximum;
    g.percent = 100;
    g.inProgress = false;
    Store(g);
    if (sink_) sink_->End();
}

ProgressScope::ProgressScope(Progress* progress) {
    if (!progress) return;
    previous_ = t_current;
    t_current = progress;
    installed_ = true;
}

ProgressScope::~ProgressScope() {
    if (installed_) t_current = previous_;
}

Progress& CurrentProgress() { return t_current ? *t_current : ThreadDefault(); }

void SetProgressHost(ProgressHost* host) { CurrentProgress().SetSink(host); }
ProgressHost* GetProgressHost() { return CurrentProgress().Sink(); }

void SetProgressCaption(int id) { CurrentProgress().SetCaption(id); }
int GetProgressCaptionId() { return CurrentProgress().CaptionId(); }

ProgressGauge GetProgressGauge() { return CurrentProgress().Gauge(); }

void BeginProgress(unsigned first, unsigned last) { CurrentProgress().Begin(first, last); }

void BeginProgressWithCaption(int id, unsigned first, unsigned last) {
    CurrentProgress().BeginWithCaption(id, first, last);
}

bool StepProgress(unsigned current) { return CurrentProgress().Step(current); }

void EndProgress() { CurrentProgress().End(); }

ScopedProgress::ScopedProgress(bool on, int captionId, unsigned first, unsigned last)
    : running_(on && captionId != 0) {
    if (running_) BeginProgressWithCaption(captionId, first, last);
}

ScopedProgress::~ScopedProgress() { End(); }

bool ScopedProgress::Step(unsigned current) const {
    // Without a display the operation still stops when it is cancelled.
    return running_ ? StepProgress(current) : CurrentProgress().Cancelled();
}

void ScopedProgress::End() {
    if (!running_) return;
    running_ = false;
    EndProgress();
}
