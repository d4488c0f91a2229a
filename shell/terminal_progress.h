// Progress on a terminal: a bar with the caption and percentage on stderr when
// stderr is a terminal; Ctrl-C answers like Escape while progress runs.
#pragma once
#include "shell/progress.h"

class TerminalProgressHost : public ProgressHost {
public:
    TerminalProgressHost();
    ~TerminalProgressHost() override;
    void Begin(const std::string& caption, unsigned minimum, unsigned maximum) override;
    void Update(unsigned position, unsigned percent, bool percentChanged) override;
    bool TakeEscape() override;
    void End() override;

private:
    bool isTerminal_ = false;
    std::string caption_;
};
