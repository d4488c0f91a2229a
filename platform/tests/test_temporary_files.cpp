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

#include <cstdlib>
#include <filesystem>
#include <string>

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
    // In a child: a swap file and a save temporary, owned; then tells the
    // parent through the pipe and waits for its end.
    pid_t StartOwner(int number, const std::string& saveName) {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            const std::string swap = platform::SwapFilePath(std::uint64_t(number));
            const std::string save = (root_ / "docs" / saveName).string();
            for (const std::string& path : {swap, save}) {
                const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
                if (fd < 0 || ::write(fd, "data", 4) != 4) ::_exit(3);
                platform::OwnTemporary(path, fd, path == save);
            }
            if (::write(ready[1], "x", 1) != 1) ::_exit(4);
            for (;;) ::pause();
        }
        char byte;
        EXPECT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        return child;
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

}  // namespace
