// Swap files and save temporaries: removed when a signal ends the process,
// left by a process killed outright and removed by the next start, never
// taken from a process that still runs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/temporary_files.h"

namespace fs = std::filesystem;

namespace {

class TemporaryFiles : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("temporary_files_" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "tmp");
        fs::create_directories(root_ / "docs");
        const char* old = std::getenv("TMPDIR");
        oldTmp_ = old ? old : "";
        hadTmp_ = old != nullptr;
        ::setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
    }
    void TearDown() override {
        if (hadTmp_) ::setenv("TMPDIR", oldTmp_.c_str(), 1);
        else ::unsetenv("TMPDIR");
        fs::remove_all(root_);
    }
    // A child that runs work, then tells the parent through a pipe and waits
    // for its end; work returns false to end the child at once.
    static pid_t StartChild(const std::function<bool()>& work) {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            if (!work()) ::_exit(3);
            if (::write(ready[1], "x", 1) != 1) ::_exit(4);
            for (;;) ::pause();
        }
        char byte;
        EXPECT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        return child;
    }
    // Makes and owns the file wanted (exclusively): its descriptor, or -1.
    static int Own(const std::string& wanted, bool outsideTempDirectory) {
        std::string path;
        int handle = -1;
        const int fd = platform::MakeTemporary(path, outsideTempDirectory, handle, [&](std::string& name) {
            name = wanted;
            return ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        });
        return handle < 0 ? -1 : fd;
    }
    // In a child: a swap file and a save temporary, owned.
    pid_t StartOwner(int number, const std::string& saveName) {
        return StartChild([&] {
            const std::string swap = platform::SwapFilePath(std::uint64_t(number));
            const std::string save = (root_ / "docs" / saveName).string();
            for (const std::string& wanted : {swap, save}) {
                const int fd = Own(wanted, wanted == save);
                if (fd < 0 || ::write(fd, "data", 4) != 4) return false;
            }
            return true;
        });
    }
    // Makes the file look untouched for a minute.
    static void Age(const fs::path& path) {
        struct timeval times[2];
        ::gettimeofday(&times[0], nullptr);
        times[0].tv_sec -= 60;
        times[1] = times[0];
        ASSERT_EQ(::lutimes(path.c_str(), times), 0) << path;
    }
    std::size_t Count(const fs::path& dir) {
        std::size_t n = 0;
        for (auto it = fs::directory_iterator(dir); it != fs::directory_iterator(); ++it) ++n;
        return n;
    }
    fs::path root_;
    std::string oldTmp_;
    bool hadTmp_ = false;
};

TEST_F(TemporaryFiles, KilledProcessLeavesThemAndTheNextStartRemovesThem) {
    const pid_t live = StartOwner(0x7001, ".~live-AAAAAA.png");
    const pid_t killed = StartOwner(0x7002, ".~killed-BBBBBB.png");
    // Swap file and link of each, save temporaries beside the documents.
    ASSERT_EQ(Count(root_ / "tmp"), 4u);
    ASSERT_EQ(Count(root_ / "docs"), 2u);
    ::kill(killed, SIGKILL);
    ::waitpid(killed, nullptr, 0);
    for (const auto& dir : {root_ / "tmp", root_ / "docs"})
        for (const auto& entry : fs::directory_iterator(dir)) Age(entry.path());
    // A file of the swap files' name that was just made, and not locked yet,
    // is left alone too: its maker may be about to lock it.
    const std::string young = platform::SwapFilePath(0x7003);
    ::close(::open(young.c_str(), O_RDWR | O_CREAT, 0600));

    EXPECT_EQ(platform::RemoveLeftTemporaries(), 2);
    EXPECT_FALSE(fs::exists(platform::SwapFilePath(0x7002)));
    EXPECT_FALSE(fs::exists(root_ / "docs" / ".~killed-BBBBBB.png"));
    // The running process keeps its files, the fresh file stays.
    EXPECT_TRUE(fs::exists(platform::SwapFilePath(0x7001)));
    EXPECT_TRUE(fs::exists(root_ / "docs" / ".~live-AAAAAA.png"));
    EXPECT_TRUE(fs::exists(young));
    EXPECT_EQ(Count(root_ / "tmp"), 3u);  // the live link stays, the dead one went

    ::kill(live, SIGTERM);
    int status = 0;
    ::waitpid(live, &status, 0);
    // Ended by a signal: it removed its own files on the way out.
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_FALSE(fs::exists(platform::SwapFilePath(0x7001)));
    EXPECT_FALSE(fs::exists(root_ / "docs" / ".~live-AAAAAA.png"));
    EXPECT_EQ(Count(root_ / "tmp"), 1u);  // only the unlocked young file
}

// Threads that make and remove swap files and save temporaries without a
// pause, ended by a signal at some moment of their work: nothing of theirs
// stays, whichever thread the signal lands on and whatever each was doing.
TEST_F(TemporaryFiles, ASignalAtAnyMomentRemovesWhatEveryThreadMade) {
    constexpr int kThreads = 4;
    for (int round = 0; round < 20; ++round) {
        const pid_t child = StartChild([this] {
            // Outlives this function: the threads go on until the signal.
            auto* made = new std::atomic<int>(0);
            auto work = [this, made](int thread) {
                for (unsigned n = 0;; ++n) {
                    const bool save = (n + unsigned(thread)) % 2 == 1;
                    std::string path;
                    int handle = -1;
                    const int fd = platform::MakeTemporary(path, save, handle, [&](std::string& name) {
                        if (!save) {
                            name = platform::SwapFilePath(0x8000u + unsigned(thread) * 0x1000u + n % 0x1000u);
                            return ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
                        }
                        std::string pattern = (root_ / "docs" / ".~doc-XXXXXX.png").string();
                        const int result = ::mkstemps(pattern.data(), 4);
                        name = pattern;
                        return result;
                    });
                    if (fd < 0) continue;
                    made->fetch_add(1);
                    ::unlink(path.c_str());
                    ::close(fd);
                    platform::ForgetTemporary(handle);
                }
            };
            for (int t = 0; t < kThreads; ++t) std::thread(work, t).detach();
            while (made->load() < 20 * kThreads) std::this_thread::yield();
            return true;
        });
        std::this_thread::sleep_for(std::chrono::microseconds(round * 37 % 500));
        ::kill(child, SIGTERM);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << round;
        ASSERT_EQ(Count(root_ / "tmp"), 0u) << round;
        ASSERT_EQ(Count(root_ / "docs"), 0u) << round;
    }

    // A file that took the name of one the process made and removed, before
    // the process let go of its record, is not the process's to remove.
    const std::string swap = platform::SwapFilePath(0x7004);
    const pid_t child = StartChild([&] {
        if (Own(swap, false) < 0 || ::unlink(swap.c_str()) != 0) return false;
        ::close(::open(swap.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600));
        return true;
    });
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(fs::exists(swap));
}

}  // namespace
