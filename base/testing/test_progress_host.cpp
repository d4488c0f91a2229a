// The recording progress host for tests.
#include "base/testing/test_progress_host.h"

TestProgressHost::TestProgressHost() : previous_(GetProgressHost()) { SetProgressHost(this); }

TestProgressHost::~TestProgressHost() {
    if (GetProgressHost() == this) SetProgressHost(previous_);
}

void TestProgressHost::Begin(const std::string& caption, unsigned min, unsigned max) {
    ++begins;
    captions.push_back(caption);
    minimum = min;
    maximum = max;
}

void TestProgressHost::Update(unsigned position, unsigned percent, bool percentChanged) {
    updates.push_back({position, percent, percentChanged});
}

bool TestProgressHost::TakeEscape() {
    ++takes;
    bool escape = (escapeAtCall > 0 && takes == escapeAtCall) ||
                  (escapeFromCall > 0 && takes >= escapeFromCall);
    if (escape) escapeTaken = true;
    return escape;
}

void TestProgressHost::End() { ++ends; }

void TestProgressHost::Reset() {
    begins = ends = takes = 0;
    escapeTaken = false;
    captions.clear();
    minimum = maximum = 0;
    updates.clear();
}
