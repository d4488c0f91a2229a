#include "platform/system.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/profile.h"

namespace fs = std::filesystem;

namespace {

// Restores one environment variable when it goes out of scope.
class EnvGuard {
public:
    explicit EnvGuard(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) {
            had_ = true;
            value_ = value;
        }
    }
    ~EnvGuard() {
        if (had_) setenv(name_, value_.c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string value_;
};

TEST(SystemTest, ByteCounts) {
    std::uint64_t bytes = 0;
    EXPECT_TRUE(platform::ParseByteCount("12345", bytes));
    EXPECT_EQ(bytes, 12345u);
    EXPECT_TRUE(platform::ParseByteCount(" 64M ", bytes));
    EXPECT_EQ(bytes, 64u << 20);
    EXPECT_TRUE(platform::ParseByteCount("2g", bytes));
    EXPECT_EQ(bytes, 2ull << 30);
    EXPECT_FALSE(platform::ParseByteCount("", bytes));
    EXPECT_FALSE(platform::ParseByteCount("-5", bytes));
    EXPECT_FALSE(platform::ParseByteCount("99999999999999999999", bytes));
    EXPECT_FALSE(platform::ParseByteCount("17179869184G", bytes));
}

TEST(SystemTest, BudgetComesFromCallThenEnvironmentThenSettings) {
    EnvGuard limit("STITCHARA_MEMORY_LIMIT");
    std::string pattern = (fs::temp_directory_path() / "system-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::string ini = pattern + "/s.ini";
    platform::SetProfilePath(ini);
    platform::SetMemoryBudget(0);
    unsetenv("STITCHARA_MEMORY_LIMIT");
    EXPECT_EQ(platform::MemoryBudget(), 0u);

    ASSERT_NE(platform::WriteProfileString("MainWindow", "MemoryLimit", "3000000"), 0);
    EXPECT_EQ(platform::MemoryBudget(), 3000000u);

    setenv("STITCHARA_MEMORY_LIMIT", "2M", 1);
    EXPECT_EQ(platform::MemoryBudget(), 2u << 20);
    setenv("STITCHARA_MEMORY_LIMIT", "nonsense", 1);
    EXPECT_EQ(platform::MemoryBudget(), 3000000u);
    // A changed settings file is read afresh.
    ASSERT_NE(platform::WriteProfileString("MainWindow", "MemoryLimit", "4000000"), 0);
    EXPECT_EQ(platform::MemoryBudget(), 4000000u);
    setenv("STITCHARA_MEMORY_LIMIT", "2M", 1);

    platform::SetMemoryBudget(1000);
    EXPECT_EQ(platform::MemoryBudget(), 1000u);
    platform::SetMemoryBudget(0);
    EXPECT_EQ(platform::MemoryBudget(), 2u << 20);

    platform::SetProfilePath("");
    fs::remove_all(pattern);
}

TEST(SystemTest, BudgetLowersAvailableMemoryByResidentBytes) {
    EnvGuard limit("STITCHARA_MEMORY_LIMIT");
    unsetenv("STITCHARA_MEMORY_LIMIT");
    const std::uint64_t unlimited = platform::AvailableMemory();
    EXPECT_GT(unlimited, 0u);

    platform::SetMemoryBudget(1000000);
    const std::uint64_t resident = platform::ResidentBytes();
    platform::AddResidentBytes(400000);
    EXPECT_EQ(platform::AvailableMemory(), resident < 600000 ? 600000 - resident : 0);
    platform::AddResidentBytes(700000);  // beyond the budget: nothing left, no wrap
    EXPECT_EQ(platform::AvailableMemory(), 0u);
    platform::AddResidentBytes(-1100000);
    EXPECT_EQ(platform::ResidentBytes(), resident);
    platform::SetMemoryBudget(0);
}

TEST(SystemTest, TempDirectoryHasNoTrailingSlash) {
    EnvGuard tmp("TMPDIR");
    setenv("TMPDIR", "/var/tmp//", 1);
    EXPECT_EQ(platform::TempDirectory(), "/var/tmp");
    setenv("TMPDIR", "", 1);
    EXPECT_EQ(platform::TempDirectory(), "/tmp");
}

}  // namespace
