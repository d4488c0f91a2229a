// Small layers over the operating system: memory status, free disk space,
// the temporary directory and the executable's directory.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Bytes of memory available to the process: MemAvailable of /proc/meminfo,
// lowered to the memory budget when one is set. With a budget set, the
// picture stores' resident bytes count against it (see ResidentBytes).
std::uint64_t AvailableMemory();

// The memory budget in bytes; 0 means none. The budget is taken, in order,
// from SetMemoryBudget, the environment variable STITCHARA_MEMORY_LIMIT,
// then the setting "MemoryLimit" of section "MainWindow". SetMemoryBudget(0)
// withdraws an earlier SetMemoryBudget, so the other two apply again.
void SetMemoryBudget(std::uint64_t bytes);
std::uint64_t MemoryBudget();

// Parses a byte count: decimal digits with an optional K, M or G suffix
// (powers of 1024), surrounding blanks allowed. False on junk or overflow.
bool ParseByteCount(const std::string& text, std::uint64_t& bytes);

// Bytes currently held in memory by the picture stores. Maintained by the
// store; read by AvailableMemory when a budget is set.
void AddResidentBytes(std::int64_t delta);
std::uint64_t ResidentBytes();

// Free bytes on the file system that holds path (statvfs); 0 when unknown.
std::uint64_t FreeDiskBytes(const std::string& path);
// Size and free bytes (those an ordinary user may fill) of the file system
// that holds path, in 64 bits; false when path cannot be examined.
bool DiskSpace(const std::string& path, std::uint64_t& totalBytes, std::uint64_t& freeBytes);

// The system's reason for error (an errno value) in plain words, as a user
// reads it after "cannot write FILE: " ("no space left on the device").
std::string SystemErrorText(int error);

// $TMPDIR, else /tmp. No trailing '/'.
std::string TempDirectory();

// Directory of the running executable (from /proc/self/exe). No trailing '/'.
std::string ExecutableDirectory();

// Milliseconds since the system started (CLOCK_MONOTONIC).
std::uint64_t MillisecondsSinceStart();

}  // namespace platform
