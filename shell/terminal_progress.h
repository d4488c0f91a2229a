// Progress on a terminal: a bar with the caption and percentage on stderr when
// stderr is a terminal; Ctrl-C answers like Escape while progress runs.
#pragma once
#include <csignal>
#include <cstdio>
#include <string>

#include "base/progress.h"

class TerminalProgressHost : public ProgressHost {
public:
    // Draws on stderr when it is a terminal.
    TerminalProgressHost();
    // Draws on out when drawToTerminal is true (tests pass a memory stream).
    TerminalProgressHost(std::FILE* out, bool drawToTerminal);
    ~TerminalProgressHost() override;
    TerminalProgressHost(const TerminalProgressHost&) = delete;
    TerminalProgressHost& operator=(const TerminalProgressHost&) = delete;

    void Begin(const std::string& caption, unsigned minimum, unsigned maximum) override;
    void Update(unsigned position, unsigned percent, bool percentChanged) override;
    // True once for every Ctrl-C pressed since progress began.
    bool TakeEscape() override;
    // Whether Ctrl-C was pressed while progress ran, taken as Escape or not
    // (a phase that cannot stop halfway runs on): the program should stop
    // and write nothing more. Stays set for the rest of the process.
    static bool Interrupted();
    void End() override;

    // Width of the bar between the brackets, in characters.
    static constexpr int kBarWidth = 30;

private:
    void Draw(unsigned percent);
    void Clear();
    // Width of the terminal, 0 when unknown.
    std::size_t Columns() const;
    void RestoreInterrupt();

    std::FILE* out_ = nullptr;
    bool isTerminal_ = false;
    std::string caption_;
    bool active_ = false;
    bool handlerInstalled_ = false;
    struct sigaction previous_ {};
    std::size_t drawnLength_ = 0;
};
