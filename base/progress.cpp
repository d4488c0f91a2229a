// The progress display: the gauge model behind the five progress calls.
// The gauge keeps minimum, maximum and position as 16-bit unsigned values;
// the host shows them (status bar, terminal or test recorder).
#include "base/progress.h"

#include <cstdint>

#include "resources/strings.h"

namespace {

constexpr unsigned kGaugeLimit = 0xFFFF;
// A caption loaded for BeginProgressWithCaption fits a 20-character buffer.
constexpr std::size_t kCaptionChars = 19;

struct Gauge {
    unsigned minimum = 0;
    unsigned maximum = 100;
    unsigned position = 0;
    unsigned percent = 0;
    bool inProgress = false;
};

ProgressHost* g_host = nullptr;
int g_captionId = 0;
Gauge g_gauge;

unsigned Clamp16(unsigned v) { return v > kGaugeLimit ? kGaugeLimit : v; }

unsigned Percent(const Gauge& g) {
    // maximum > minimum always holds after SetRange.
    return unsigned(std::uint64_t(g.position - g.minimum) * 100u / (g.maximum - g.minimum));
}

// Equal ends give a range of one step; the smaller end is the minimum.
void SetRange(unsigned a, unsigned b) {
    a = Clamp16(a);
    b = Clamp16(b);
    if (a == b) {
        // Keep both ends within 16 bits: the one step lies below the top.
        if (a == kGaugeLimit) --a;
        else ++b;
    }
    g_gauge.minimum = a < b ? a : b;
    g_gauge.maximum = a < b ? b : a;
    g_gauge.position = g_gauge.minimum;
    g_gauge.percent = 0;
}

unsigned ClampToRange(unsigned p) {
    p = Clamp16(p);
    if (p < g_gauge.minimum) p = g_gauge.minimum;
    if (p > g_gauge.maximum) p = g_gauge.maximum;
    return p;
}

void Begin(const std::string& caption, unsigned first, unsigned last) {
    SetRange(first, last);
    // The gauge starts at first, which is the maximum of a reversed range.
    // No key press is taken here: only a step answers Escape.
    g_gauge.position = ClampToRange(first);
    g_gauge.percent = Percent(g_gauge);
    g_gauge.inProgress = true;
    // The caption is the text up to the first line break.
    if (g_host) {
        g_host->Begin(TextBeforeLineBreak(caption), g_gauge.minimum, g_gauge.maximum);
        if (g_gauge.position != g_gauge.minimum)
            g_host->Update(g_gauge.position, g_gauge.percent, true);
    }
}

}  // namespace

void SetProgressHost(ProgressHost* host) { g_host = host; }
ProgressHost* GetProgressHost() { return g_host; }

void SetProgressCaption(int id) { g_captionId = id; }
int GetProgressCaptionId() { return g_captionId; }

ProgressGauge GetProgressGauge() {
    return {g_gauge.minimum, g_gauge.maximum, g_gauge.position, g_gauge.percent, g_gauge.inProgress};
}

void BeginProgress(unsigned first, unsigned last) {
    Begin(LoadStringById(g_captionId), first, last);
}

void BeginProgressWithCaption(int id, unsigned first, unsigned last) {
    if (id == 0) return;
    std::string text = LoadStringById(id);
    if (text.size() > kCaptionChars) text.resize(kCaptionChars);
    Begin(text, first, last);
}

bool StepProgress(unsigned current) {
    // One pending key press is taken first, whether or not the gauge moves.
    bool escape = g_host ? g_host->TakeEscape() : false;
    if (Clamp16(current) != g_gauge.position) {
        const unsigned p = ClampToRange(current);
        if (p != g_gauge.position) {
            g_gauge.position = p;
            unsigned percent = Percent(g_gauge);
            bool changed = percent != g_gauge.percent;
            g_gauge.percent = percent;
            if (g_host) g_host->Update(p, percent, changed);
        }
    }
    return escape;
}

void EndProgress() {
    g_gauge.position = g_gauge.maximum;
    g_gauge.percent = 100;
    g_gauge.inProgress = false;
    if (g_host) g_host->End();
}

ScopedProgress::ScopedProgress(bool on, int captionId, unsigned first, unsigned last)
    : running_(on && captionId != 0) {
    if (running_) BeginProgressWithCaption(captionId, first, last);
}

ScopedProgress::~ScopedProgress() { End(); }

bool ScopedProgress::Step(unsigned current) const { return running_ && StepProgress(current); }

void ScopedProgress::End() {
    if (!running_) return;
    running_ = false;
    EndProgress();
}
