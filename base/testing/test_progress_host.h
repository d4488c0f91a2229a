// A progress host for tests: records what the progress calls hand to the host
// and can answer Escape on a chosen step.
//
// Use in a test:
//     TestProgressHost host;              // installs itself, restores the old host when destroyed
//     host.escapeAtCall = 3;              // the 3rd StepProgress answers Escape (0: never)
//     bool ok = SomeLongOperation(...);   // calls BeginProgress..., StepProgress, EndProgress
//     EXPECT_EQ(host.begins, 1);
//     EXPECT_EQ(host.ends, 1);            // every Begin was ended, also on cancel
//     EXPECT_TRUE(host.escapeTaken);      // the operation saw the Escape
//     EXPECT_EQ(host.captions.back(), "Rotating...");
//
// Every StepProgress makes one TakeEscape call; `takes` counts them, so
// escapeAtCall = n answers Escape to the n-th step after the host was
// installed (or after Reset). Escape is answered once, as a real key press is
// taken out of the queue once; escapeFromCall answers it to every step from the
// n-th on, for operations that should stop at the first Escape they see.
#pragma once
#include <string>
#include <vector>

#include "base/progress.h"

class TestProgressHost : public ProgressHost {
public:
    struct Update {
        unsigned position;
        unsigned percent;
        bool percentChanged;
    };

    // Installs this host; the host in use before comes back on destruction.
    TestProgressHost();
    ~TestProgressHost() override;
    TestProgressHost(const TestProgressHost&) = delete;
    TestProgressHost& operator=(const TestProgressHost&) = delete;

    void Begin(const std::string& caption, unsigned minimum, unsigned maximum) override;
    void Update(unsigned position, unsigned percent, bool percentChanged) override;
    bool TakeEscape() override;
    void End() override;

    // Forgets everything recorded (the Escape settings stay).
    void Reset();
    // True between a Begin and its End.
    bool Active() const { return begins > ends; }

    // Escape on the n-th TakeEscape only (1-based; 0: never).
    int escapeAtCall = 0;
    // Escape on the n-th TakeEscape and every one after it (0: never).
    int escapeFromCall = 0;

    int begins = 0;
    int ends = 0;
    int takes = 0;              // TakeEscape calls, one per StepProgress
    bool escapeTaken = false;   // some TakeEscape answered true
    std::vector<std::string> captions;  // one per Begin
    unsigned minimum = 0;       // range of the last Begin
    unsigned maximum = 0;
    std::vector<struct Update> updates;  // every gauge move since the last Reset

private:
    ProgressHost* previous_ = nullptr;
};
