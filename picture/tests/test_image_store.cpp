#include "picture/image_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/profile.h"
#include "platform/system.h"

namespace fs = std::filesystem;

namespace {

// Every test gets its own temporary directory (so swap files of parallel
// runs never meet), no memory budget and an empty settings file.
class ImageStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "store-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        if (const char* old = std::getenv("TMPDIR")) oldTmp_ = old;
        setenv("TMPDIR", dir_.c_str(), 1);
        unsetenv("STITCHARA_MEMORY_LIMIT");
        platform::SetProfilePath(dir_ + "/settings/none.ini");
        platform::SetMemoryBudget(0);
        CImageStore::SetSwapNumberStart(-1);
    }
    void TearDown() override {
        platform::SetMemoryBudget(0);
        CImageStore::SetSwapNumberStart(-1);
        platform::SetProfilePath("");
        if (oldTmp_.empty()) unsetenv("TMPDIR");
        else setenv("TMPDIR", oldTmp_.c_str(), 1);
        fs::remove_all(dir_);
    }
    // Swap files present in the private directory.
    std::vector<std::string> SwapFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("~tsv", 0) == 0) names.push_back(name);
        }
        return names;
    }

    std::string dir_;
    std::string oldTmp_;
};

std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 131 + seed) >> 3);
    return bytes;
}

std::vector<std::uint8_t> Contents(CImageStore& store) {
    std::vector<std::uint8_t> bytes(store.GetSize());
    EXPECT_EQ(store.ReadBytes(0, bytes.size(), bytes.data()), bytes.size());
    return bytes;
}

// Makes writes of files beyond limit bytes fail (instead of killing the process).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        old_handler_ = signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit now = old_;
        now.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &now);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, old_handler_);
    }

private:
    rlimit old_ {};
    sighandler_t old_handler_;
};

TEST_F(ImageStoreTest, MemoryStoreReadsWritesAndCutsAtTheEnd) {
    CImageStore store;
    ASSERT_EQ(store.Allocate(1000, kStoreAny), 1);
    EXPECT_EQ(store.GetState(), kStateInMemory);
    ASSERT_NE(store.GetMemory(), nullptr);

    const auto data = Pattern(300, 1);
    EXPECT_EQ(store.WriteBytes(800, data.size(), data.data()), 200u);  // cut at the size
    std::vector<std::uint8_t> back(300, 0xEE);
    EXPECT_EQ(store.ReadBytes(800, 300, back.data()), 200u);
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + 200, data.begin()));
    EXPECT_EQ(back[200], 0xEE);

    EXPECT_EQ(store.ReadBytes(1000, 1, back.data()), 0u);
    EXPECT_EQ(store.WriteBytes(5000, 1, back.data()), 0u);
    EXPECT_EQ(store.FillBytes(1000, 10, 7), 0u);
    std::uint8_t value = 0;
    EXPECT_EQ(store.ReadByte(1000, value), 0);
    EXPECT_EQ(store.FillBytes(990, 100, 9), 10u);
    EXPECT_EQ(store.ReadByte(999, value), 1);
    EXPECT_EQ(value, 9);

    // Zero bytes: in memory, nothing to read, nothing to swap.
    ASSERT_EQ(store.Allocate(0, kStoreMemory), 1);
    EXPECT_EQ(store.ReadBytes(0, 1, &value), 0u);
    EXPECT_EQ(store.SwapOut(), 1);
    EXPECT_EQ(store.GetState(), kStateInMemory);
    EXPECT_TRUE(SwapFiles().empty());
}

TEST_F(ImageStoreTest, SwapRoundTripKeepsEveryByteWrittenOnDisk) {
    CImageStore store;
    const std::size_t size = 100000;
    ASSERT_EQ(store.Allocate(size, kStoreMemory), 1);
    auto expected = Pattern(size, 3);
    ASSERT_EQ(store.WriteBytes(0, size, expected.data()), size);

    ASSERT_EQ(store.SwapOut(), 1);
    EXPECT_EQ(store.GetState(), kStateOnDisk);
    EXPECT_EQ(store.GetMemory(), nullptr);
    ASSERT_EQ(SwapFiles().size(), 1u);
    EXPECT_EQ(fs::path(store.SwapFileName()).parent_path(), fs::path(dir_));
    EXPECT_EQ(fs::file_size(store.SwapFileName()), size);
    struct stat info {};
    ASSERT_EQ(stat(store.SwapFileName().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Byte access on disk at arbitrary offsets, including the last byte.
    std::uint8_t value = 0;
    ASSERT_EQ(store.ReadByte(12345, value), 1);
    EXPECT_EQ(value, expected[12345]);
    ASSERT_EQ(store.WriteByte(size - 1, 0x5A), 1);
    expected[size - 1] = 0x5A;
    const auto piece = Pattern(777, 9);
    EXPECT_EQ(store.WriteBytes(50001, piece.size(), piece.data()), piece.size());
    std::copy(piece.begin(), piece.end(), expected.begin() + 50001);
    EXPECT_EQ(store.WriteBytes(size - 10, piece.size(), piece.data()), 10u);
    std::copy(piece.begin(), piece.begin() + 10, expected.end() - 10);
    // A fill that spans more than one 32768-byte piece, at an odd offset.
    EXPECT_EQ(store.FillBytes(1001, 70001, 0xAB), 70001u);
    std::fill(expected.begin() + 1001, expected.begin() + 71002, 0xAB);
    EXPECT_EQ(store.FillBytes(size, 1, 0), 0u);
    EXPECT_EQ(Contents(store), expected);

    ASSERT_EQ(store.SwapIn(), 1);
    EXPECT_EQ(store.GetState(), kStateInMemory);
    EXPECT_TRUE(store.SwapFileName().empty());
    EXPECT_TRUE(SwapFiles().empty());
    EXPECT_EQ(Contents(store), expected);
    EXPECT_EQ(store.SwapIn(), 1);  // already in memory
}

TEST_F(ImageStoreTest, NoSwapFileOutlivesItsStore) {
    EXPECT_EXIT(
        {
            auto* leftOnExit = new CImageStore;
            leftOnExit->Allocate(1000, kStoreSwapFile);
            std::exit(SwapFiles().size() == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(SwapFiles().empty());
    {
        CImageStore a;
        CImageStore b;
        ASSERT_EQ(a.Allocate(5000, kStoreSwapFile), 1);
        ASSERT_EQ(b.Allocate(5000, kStoreMemory), 1);
        ASSERT_EQ(b.SwapOut(), 1);
        EXPECT_EQ(SwapFiles().size(), 2u);
        EXPECT_NE(a.SwapFileName(), b.SwapFileName());
        a.Empty();
        EXPECT_EQ(a.GetState(), kStateInMemory);
        EXPECT_EQ(a.GetSize(), 0u);
        EXPECT_EQ(SwapFiles().size(), 1u);
        // Allocating again over a store on disk releases its old file.
        ASSERT_EQ(b.Allocate(100, kStoreMemory), 1);
        EXPECT_TRUE(SwapFiles().empty());
        ASSERT_EQ(b.SwapOut(), 1);
    }
    EXPECT_TRUE(SwapFiles().empty());
}

TEST_F(ImageStoreTest, ThirtyTwoTakenNamesFailAndCreateNothing) {
    CImageStore::SetSwapNumberStart(0x1ff0);
    for (unsigned n = 0x1ff0; n < 0x1ff0 + 32; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "/~tsv%04x.tmp", n);
        std::ofstream(dir_ + name) << "someone else's";
    }
    CImageStore store;
    EXPECT_EQ(store.AllocateOnDisk(4096), 0);
    EXPECT_EQ(store.GetSize(), 0u);
    EXPECT_EQ(SwapFiles().size(), 32u);
    // The same store in memory cannot be swapped out, and keeps its bytes.
    ASSERT_EQ(store.Allocate(4096, kStoreMemory), 1);
    ASSERT_EQ(store.FillBytes(0, 4096, 0x42), 4096u);
    EXPECT_EQ(store.SwapOut(), 0);
    EXPECT_EQ(store.GetState(), kStateInMemory);
    EXPECT_EQ(store.GetMemory()[4095], 0x42);
    for (const auto& name : SwapFiles()) {
        std::ifstream in(dir_ + "/" + name);
        std::string text;
        std::getline(in, text);
        EXPECT_EQ(text, "someone else's");
    }
    // With the last name free, that one is taken.
    fs::remove(dir_ + "/~tsv200f.tmp");
    ASSERT_EQ(store.SwapOut(), 1);
    EXPECT_EQ(fs::path(store.SwapFileName()).filename(), "~tsv200f.tmp");
}

// A failed SwapOut keeps the memory, a failed SwapIn keeps the file.
TEST_F(ImageStoreTest, FailuresLoseNothing) {
    CImageStore store;
    ASSERT_EQ(store.Allocate(200000, kStoreMemory), 1);
    ASSERT_EQ(store.FillBytes(0, 200000, 0x17), 200000u);
    {
        FileSizeLimit limit(65536);  // the disk fills while the length is set
        CImageStore other;
        EXPECT_EQ(other.Allocate(200000, kStoreSwapFile), 0);
        EXPECT_EQ(store.SwapOut(), 0);
        EXPECT_TRUE(SwapFiles().empty());
    }
    EXPECT_EQ(store.GetState(), kStateInMemory);
    EXPECT_EQ(store.GetMemory()[199999], 0x17);

    ASSERT_EQ(store.SwapOut(), 1);
    platform::SetMemoryBudget(50000);
    EXPECT_EQ(store.SwapIn(), 0);
    EXPECT_EQ(store.DetachHandle(), nullptr);
    EXPECT_EQ(store.GetState(), kStateOnDisk);
    EXPECT_EQ(SwapFiles().size(), 1u);
    platform::SetMemoryBudget(0);
    ASSERT_EQ(store.SwapIn(), 1);
    EXPECT_EQ(store.GetMemory()[199999], 0x17);
    EXPECT_EQ(GlobalAlloc(0, std::uint64_t(1) << 62), nullptr);  // refused, no throw
}

TEST_F(ImageStoreTest, MakeRoomKeepsTheRecentStoreAndSwapsTheOld) {
    platform::SetMemoryBudget(1050000);
    {
        CImageStore big;  // memory only cannot exceed the budget; the file can
        EXPECT_EQ(big.Allocate(2000000, kStoreMemory), 0);
        ASSERT_EQ(big.Allocate(2000000, kStoreAny), 1);
        EXPECT_EQ(big.GetState(), kStateOnDisk);
    }
    CImageStore old;
    ASSERT_EQ(old.Allocate(1000000, kStoreAny), 1);
    ASSERT_EQ(old.GetState(), kStateInMemory);
    const auto oldBytes = Pattern(1000000, 5);
    old.WriteBytes(0, oldBytes.size(), oldBytes.data());

    // The new store does not fit beside the old one: the old one goes out.
    CImageStore recent;
    ASSERT_EQ(recent.Allocate(100000, kStoreAny), 1);
    EXPECT_EQ(recent.GetState(), kStateInMemory);
    EXPECT_EQ(old.GetState(), kStateOnDisk);
    EXPECT_EQ(platform::ResidentBytes(), 100000u);
    recent.FillBytes(0, 100000, 0x99);

    EXPECT_EQ(CImageStore::MakeRoom(), 1);  // nothing changes
    EXPECT_EQ(recent.GetState(), kStateInMemory);
    EXPECT_EQ(old.GetState(), kStateOnDisk);

    // Using the old store again makes it the one kept.
    ASSERT_EQ(old.Touch(true), 1);
    EXPECT_EQ(old.GetState(), kStateInMemory);
    EXPECT_EQ(recent.GetState(), kStateOnDisk);
    EXPECT_EQ(Contents(old), oldBytes);
    EXPECT_EQ(Contents(recent), std::vector<std::uint8_t>(100000, 0x99));
}

// A reader on one thread holds a store's memory while another thread makes
// room for a new store: the pinned store stays resident (its pointer stays
// good), the new one goes to its swap file instead, and once unpinned the
// policy may move it again.
TEST_F(ImageStoreTest, PinnedStoreStaysWhileAnotherThreadMakesRoom) {
    platform::SetMemoryBudget(1050000);
    CImageStore held;
    ASSERT_EQ(held.Allocate(1000000, kStoreAny), 1);
    ASSERT_EQ(held.GetState(), kStateInMemory);
    const auto bytes = Pattern(1000000, 3);
    held.WriteBytes(0, bytes.size(), bytes.data());
    std::uint8_t* memory = held.GetMemory();
    {
        StorePin pin(&held);
        CImageStore other;
        std::thread worker([&] {
            for (int i = 0; i < 20; ++i) {
                ASSERT_EQ(other.Allocate(200000, kStoreAny), 1);
                EXPECT_EQ(other.GetState(), kStateOnDisk);
                ASSERT_EQ(other.Touch(true), 1);
            }
        });
        // The reader goes on reading through its pointer meanwhile.
        std::uint64_t sum = 0;
        for (int pass = 0; pass < 20; ++pass)
            for (std::size_t k = 0; k < bytes.size(); k += 4093) sum += memory[k];
        worker.join();
        EXPECT_GT(sum, 0u);
        EXPECT_EQ(held.GetState(), kStateInMemory);
        EXPECT_EQ(held.GetMemory(), memory);
    }
    // Unpinned, the recent store's use moves the held one out.
    CImageStore recent;
    ASSERT_EQ(recent.Allocate(200000, kStoreAny), 1);
    EXPECT_EQ(recent.GetState(), kStateInMemory);
    EXPECT_EQ(held.GetState(), kStateOnDisk);
    EXPECT_EQ(Contents(held), bytes);
}

TEST_F(ImageStoreTest, HandlesMoveInAndOut) {
    CImageStore store;
    EXPECT_EQ(store.DetachHandle(), nullptr);  // empty
    EXPECT_EQ(store.AttachHandle(nullptr), 0);

    HGlobal block = GlobalAlloc(kGlobalMoveable | kGlobalZeroInit, 70000);
    ASSERT_NE(block, nullptr);
    block->bytes[69999] = 0x77;
    const auto resident = platform::ResidentBytes();
    ASSERT_EQ(store.AttachHandle(std::move(block)), 1);
    EXPECT_EQ(store.GetSize(), 70000u);
    EXPECT_EQ(platform::ResidentBytes(), resident + 70000);

    // Detaching from disk brings the whole image back first.
    ASSERT_EQ(store.SwapOut(), 1);
    store.WriteByte(3, 0x03);
    HGlobal out = store.DetachHandle();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->size, 70000u);
    EXPECT_EQ(out->bytes[3], 0x03);
    EXPECT_EQ(out->bytes[69999], 0x77);
    EXPECT_EQ(store.GetSize(), 0u);
    EXPECT_EQ(store.GetState(), kStateInMemory);
    EXPECT_EQ(platform::ResidentBytes(), resident);
    EXPECT_TRUE(SwapFiles().empty());
}

TEST_F(ImageStoreTest, PathUtilities) {
    EXPECT_EQ(FileExtension("picture.tif"), "tif");
    EXPECT_EQ(FileExtension("archive.tar.gz"), "gz");
    // A name without a dot has no extension, as every layer agrees.
    EXPECT_EQ(FileExtension("noext"), "");
    EXPECT_EQ(FileExtension("/home/a.b/file"), "");
    EXPECT_EQ(FileExtension("name."), "");

    EXPECT_EQ(CheckDirectory("", false), 0);
    EXPECT_EQ(CheckDirectory(dir_, false), 1);
    EXPECT_EQ(CheckDirectory(dir_ + "/missing", false), 0);
    EXPECT_EQ(CheckDirectory(dir_, true), 1);
    EXPECT_EQ(CheckDirectory(dir_ + "/", true), 1);
    EXPECT_FALSE(fs::exists(dir_ + "/PathTest.tmp"));
    // A probe-named file of someone else's survives the test.
    std::ofstream(dir_ + "/PathTest.tmp") << "keep";
    EXPECT_EQ(CheckDirectory(dir_ + "/", true), 1);
    EXPECT_EQ(fs::file_size(dir_ + "/PathTest.tmp"), 4u);
    std::ofstream(dir_ + "/plain") << "x";
    EXPECT_EQ(CheckDirectory(dir_ + "/plain", false), 0);

    const std::string app = AppDirectory('/');
    ASSERT_FALSE(app.empty());
    EXPECT_EQ(app.back(), '/');
    EXPECT_TRUE(fs::is_directory(app));
}

}  // namespace
