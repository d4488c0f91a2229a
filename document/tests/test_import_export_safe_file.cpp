// The safe write: a failed or cancelled write keeps the old file and leaves no
// temporary behind; a good one replaces the file and keeps its permissions.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "document/tests/test_import_export_support.h"
#include "platform/safe_file.h"

namespace {

using file_test::FileContents;
using file_test::PutFile;

class SafeFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.empty()); }
    std::vector<std::string> Entries() const { return folder_.Entries(); }
    file_test::TempFolder folder_{"safe"};
    std::string dir_ = folder_.Path();
};

TEST_F(SafeFileTest, GoodWriteReplacesFileAndKeepsItsMode) {
    std::string path = dir_ + "/picture.bmp";
    PutFile(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(platform::WriteStreamSafely(path, [](std::FILE* f) {
        return std::fputs("new contents", f) >= 0 ? 1 : 0;
    }));
    EXPECT_EQ(FileContents(path), "new contents");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(SafeFileTest, FailedOrCancelledWriteKeepsOldFileAndLeavesNoTemporary) {
    std::string path = dir_ + "/keep.png";
    PutFile(path, "precious");
    // The writer reports failure after writing part of the file (a cancel).
    // It wrote beside the target, under a name with the target's extension.
    std::string seen;
    EXPECT_FALSE(platform::WriteFileSafely(path, [&](const std::string& temp) {
        seen = temp;
        std::ofstream(temp) << "half";
        return 0;
    }));
    EXPECT_EQ(seen.rfind(dir_ + "/", 0), 0u);
    EXPECT_EQ(seen.substr(seen.size() - 4), ".png");
    // The writer says it succeeded but wrote nothing.
    EXPECT_FALSE(platform::WriteFileSafely(path, [](const std::string&) { return 1; }));
    // An exception escapes the writer.
    EXPECT_THROW(platform::WriteStreamSafely(path,
                                             [](std::FILE* f) -> int {
                                                 std::fputs("partial", f);
                                                 throw std::bad_alloc();
                                             }),
                 std::bad_alloc);
    EXPECT_EQ(FileContents(path), "precious");
    EXPECT_EQ(Entries(), std::vector<std::string>{"keep.png"});
}

TEST_F(SafeFileTest, FullDiskKeepsOldFile) {
    // A file-size limit makes the writes fail as a full disk does.
    std::string path = dir_ + "/big.bmp";
    PutFile(path, "old picture");
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    int ok = platform::WriteStreamSafely(path, [](std::FILE* f) {
        std::vector<char> block(1 << 16, 'x');
        std::fwrite(block.data(), 1, block.size(), f);  // the error shows at flush
        return 1;
    });
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, previous);
    EXPECT_FALSE(ok);
    EXPECT_EQ(FileContents(path), "old picture");
    EXPECT_EQ(Entries(), std::vector<std::string>{"big.bmp"});
}

TEST_F(SafeFileTest, TerminatedProcessLeavesNoTemporary) {
    std::string path = dir_ + "/killed.bmp";
    PutFile(path, "old");
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::SafeFile file(path);
        if (!file.Open() || std::fputs("partial", file.Stream()) < 0) ::_exit(3);
        std::fflush(file.Stream());
        ::raise(SIGTERM);
        ::_exit(4);  // not reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(FileContents(path), "old");
    EXPECT_EQ(Entries(), std::vector<std::string>{"killed.bmp"});
}

TEST_F(SafeFileTest, UnwritableTargetsFailCleanly) {
    // A directory in place of the file, and a directory that does not exist.
    ::mkdir((dir_ + "/sub.bmp").c_str(), 0755);
    auto writer = [](std::FILE* f) { return std::fputs("x", f) >= 0 ? 1 : 0; };
    EXPECT_FALSE(platform::WriteStreamSafely(dir_ + "/sub.bmp", writer));
    EXPECT_FALSE(platform::WriteStreamSafely(dir_ + "/missing/a.bmp", writer));
    EXPECT_EQ(Entries(), std::vector<std::string>{"sub.bmp"});
    ::rmdir((dir_ + "/sub.bmp").c_str());

    // A read-only file is not replaced behind its back, whoever writes.
    std::string locked = dir_ + "/locked.bmp";
    PutFile(locked, "keep me");
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    EXPECT_FALSE(platform::WriteStreamSafely(locked, writer));
    EXPECT_EQ(FileContents(locked), "keep me");
    EXPECT_EQ(Entries(), std::vector<std::string>{"locked.bmp"});
}

TEST_F(SafeFileTest, SymbolicLinkKeepsPointingAtTheNewContents) {
    std::string real = dir_ + "/real.bmp", link = dir_ + "/link.bmp";
    PutFile(real, "old");
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    ASSERT_TRUE(platform::WriteStreamSafely(link, [](std::FILE* f) {
        return std::fputs("new", f) >= 0 ? 1 : 0;
    }));
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(FileContents(real), "new");
}

}  // namespace
