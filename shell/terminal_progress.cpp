// Progress on a terminal. The bar is redrawn in place with a carriage return,
// only when the whole percentage changes. While progress runs, SIGINT is
// caught and counted; each press is taken once as Escape. Every press is
// also remembered (Interrupted), so that work which cannot stop halfway is
// followed by no more; a third press during one progress ends the process
// at once.
#include "shell/terminal_progress.h"

#include <algorithm>
#include <atomic>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/temporary_files.h"

namespace {

// Ctrl-C presses not yet taken. Only the handler adds, only TakeEscape takes.
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs a lock-free counter");
// Presses since the progress began, taken or not.
std::atomic<int> g_presses{0};
// Set by any press: work that takes it as Escape stops by itself, but work
// that cannot stop halfway runs on (and may take the press without acting
// on it), and the program is to stop at its next chance all the same.
std::atomic<bool> g_requested{false};

// The press that ends the process at once (its files removed), for work
// that never looks.
constexpr int kPressesToEnd = 3;

extern "C" void OnInterrupt(int sig) {
    g_requested.store(true, std::memory_order_relaxed);
    g_interrupts.fetch_add(1, std::memory_order_relaxed);
    if (g_presses.fetch_add(1, std::memory_order_relaxed) + 1 >= kPressesToEnd) platform::EndBySignal(sig);
}

}  // namespace

TerminalProgressHost::TerminalProgressHost()
    : TerminalProgressHost(stderr, isatty(STDERR_FILENO) == 1) {}

TerminalProgressHost::TerminalProgressHost(std::FILE* out, bool drawToTerminal)
    : out_(out), isTerminal_(drawToTerminal && out != nullptr) {}

TerminalProgressHost::~TerminalProgressHost() {
    if (active_) End();
    RestoreInterrupt();
}

void TerminalProgressHost::Begin(const std::string& caption, unsigned, unsigned) {
    if (active_) Clear();
    caption_ = caption;
    active_ = true;
    g_interrupts.store(0, std::memory_order_relaxed);
    g_presses.store(0, std::memory_order_relaxed);
    if (!handlerInstalled_) {
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        // Slow system calls resume: a read in progress is not broken by the press.
        action.sa_flags = SA_RESTART;
        if (sigaction(SIGINT, &action, &previous_) == 0) handlerInstalled_ = true;
    }
    Draw(0);
}

void TerminalProgressHost::Update(unsigned, unsigned percent, bool percentChanged) {
    if (active_ && percentChanged) Draw(percent);
}

bool TerminalProgressHost::TakeEscape() {
    int pending = g_interrupts.load(std::memory_order_relaxed);
    while (pending > 0) {
        if (g_interrupts.compare_exchange_weak(pending, pending - 1, std::memory_order_relaxed))
            return true;
    }
    return false;
}

bool TerminalProgressHost::Interrupted() { return g_requested.load(std::memory_order_relaxed); }

void TerminalProgressHost::End() {
    if (active_) Clear();
    active_ = false;
    caption_.clear();
    RestoreInterrupt();
}

void TerminalProgressHost::Draw(unsigned percent) {
    if (!isTerminal_) return;
    if (percent > 100) percent = 100;
    int filled = int(percent) * kBarWidth / 100;
    std::string line = "\r";
    if (!caption_.empty()) {
        // The caption gives way so that the line never wraps: a wrapped line
        // cannot be redrawn in place.
        std::size_t room = Columns();
        std::size_t rest = std::size_t(kBarWidth) + 8;  // " [" bar "] 100%" and a spare column
        std::string caption = caption_;
        if (room > 0) caption.resize(room > rest ? std::min(caption.size(), room - rest) : 0);
        if (!caption.empty()) line += caption + ' ';
    }
    line += '[';
    line.append(std::size_t(filled), '#');
    line.append(std::size_t(kBarWidth - filled), ' ');
    line += "] " + std::to_string(percent) + '%';
    // Pad over anything longer drawn before.
    std::size_t length = line.size() - 1;
    if (length < drawnLength_) line.append(drawnLength_ - length, ' ');
    drawnLength_ = length > drawnLength_ ? length : drawnLength_;
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
}

std::size_t TerminalProgressHost::Columns() const {
    struct winsize size {};
    if (ioctl(fileno(out_), TIOCGWINSZ, &size) == 0) return size.ws_col;
    return 0;
}

void TerminalProgressHost::Clear() {
    if (!isTerminal_ || drawnLength_ == 0) return;
    std::string line = "\r";
    line.append(drawnLength_, ' ');
    line += '\r';
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
    drawnLength_ = 0;
}

void TerminalProgressHost::RestoreInterrupt() {
    if (!handlerInstalled_) return;
    sigaction(SIGINT, &previous_, nullptr);
    handlerInstalled_ = false;
}
