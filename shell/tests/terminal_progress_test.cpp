// The terminal progress bar and its Ctrl-C handling.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "resources/string_ids.h"
#include "base/progress.h"
#include "shell/terminal_progress.h"

namespace {

// Everything a host wrote to its stream so far.
std::string Written(std::FILE* f) {
    std::fflush(f);
    long size = std::ftell(f);
    std::string text(std::size_t(size), '\0');
    std::rewind(f);
    std::size_t got = std::fread(text.data(), 1, text.size(), f);
    text.resize(got);
    std::fseek(f, 0, SEEK_END);
    return text;
}

void (*CurrentInterruptHandler())(int) {
    struct sigaction now {};
    sigaction(SIGINT, nullptr, &now);
    return now.sa_handler;
}

class TerminalProgress : public ::testing::Test {
protected:
    void SetUp() override {
        out_ = std::tmpfile();
        ASSERT_NE(out_, nullptr);
        // A known handler to come back to; SIG_IGN is safe should one slip through.
        previous_ = std::signal(SIGINT, SIG_IGN);
    }
    void TearDown() override {
        SetProgressHost(nullptr);
        std::signal(SIGINT, previous_);
        std::fclose(out_);
    }
    std::FILE* out_ = nullptr;
    void (*previous_)(int) = nullptr;
};

TEST_F(TerminalProgress, RedrawsOnlyWhenThePercentageChangesAndClearsAtEnd) {
    TerminalProgressHost host(out_, true);
    host.Begin("Rotating", 0, 100);
    std::string first = Written(out_);
    EXPECT_EQ(first, "\rRotating [" + std::string(TerminalProgressHost::kBarWidth, ' ') + "] 0%");

    host.Update(1, 0, false);
    EXPECT_EQ(Written(out_), first);

    host.Update(50, 50, true);
    std::string half = Written(out_).substr(first.size());
    std::string bar = std::string(TerminalProgressHost::kBarWidth / 2, '#') +
                      std::string(TerminalProgressHost::kBarWidth - TerminalProgressHost::kBarWidth / 2, ' ');
    EXPECT_EQ(half, "\rRotating [" + bar + "] 50%");

    std::size_t before = Written(out_).size();
    host.End();
    std::string clear = Written(out_).substr(before);
    EXPECT_EQ(clear, "\r" + std::string(half.size() - 1, ' ') + "\r");
}

TEST_F(TerminalProgress, NothingIsDrawnWhenNotATerminal) {
    TerminalProgressHost host(out_, false);
    host.Begin("Loading Image", 0, 10);
    host.Update(5, 50, true);
    host.End();
    EXPECT_EQ(Written(out_), "");
}

TEST_F(TerminalProgress, CtrlCAnswersLikeEscapeOnlyWhileProgressRuns) {
    TerminalProgressHost host(out_, false);
    SetProgressHost(&host);
    EXPECT_EQ(CurrentInterruptHandler(), SIG_IGN);

    BeginProgressWithCaption(IDS_SAVING_IMAGE, 0, 100);
    EXPECT_NE(CurrentInterruptHandler(), SIG_IGN);
    std::raise(SIGINT);
    std::raise(SIGINT);
    // Each press is taken once, by the next steps.
    EXPECT_TRUE(StepProgress(10));
    EXPECT_TRUE(StepProgress(20));
    EXPECT_FALSE(StepProgress(30));
    EndProgress();
    EXPECT_EQ(CurrentInterruptHandler(), SIG_IGN);

    // A press left untaken does not leak into the next progress.
    BeginProgressWithCaption(IDS_SAVING_IMAGE, 0, 100);
    std::raise(SIGINT);
    EndProgress();
    BeginProgressWithCaption(IDS_SAVING_IMAGE, 0, 100);
    EXPECT_FALSE(StepProgress(1));
    EndProgress();
}

TEST_F(TerminalProgress, DestructionRestoresTheHandlerWithoutEnd) {
    {
        TerminalProgressHost host(out_, true);
        host.Begin("Printing", 0, 100);
        EXPECT_NE(CurrentInterruptHandler(), SIG_IGN);
    }
    EXPECT_EQ(CurrentInterruptHandler(), SIG_IGN);
    // The line it drew was cleared.
    std::string text = Written(out_);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\r');
}

// In a child process (the memory of an untaken press lasts for the process):
// a press that no step took is remembered, and a third press that nothing
// took ends the process at once, by the signal.
TEST_F(TerminalProgress, UntakenPressesStopTheProgramAfterTheWork) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGINT, SIG_DFL);
        TerminalProgressHost host(out_, false);
        SetProgressHost(&host);
        BeginProgressWithCaption(IDS_SAVING_IMAGE, 0, 100);
        std::raise(SIGINT);
        EndProgress();  // work that never stepped
        if (!TerminalProgressHost::Interrupted()) ::_exit(11);
        BeginProgressWithCaption(IDS_SAVING_IMAGE, 0, 100);
        std::raise(SIGINT);
        std::raise(SIGINT);
        std::raise(SIGINT);
        ::_exit(12);  // not reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_FALSE(WIFEXITED(status)) << "exit " << WEXITSTATUS(status);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
}

}  // namespace

