// A private scanner configuration for tests: SANE_CONFIG_DIR pointing at a
// fresh folder whose dll.conf names only the library's "test" backend, with
// a test.conf giving it two devices. Header-only so the core tests, the GUI
// tests and the benchmarks share it.
#pragma once
#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace sanetest {

// Writes the configuration under dir (created) and points SANE_CONFIG_DIR
// at it; extra lines go into test.conf. Returns the folder.
inline std::string UseTestBackend(const std::string& dir, const std::string& extra = "") {
    // The test backend keeps a few strings it never frees; held loaded, its
    // frames have a name, so the leak check can leave them out (below).
    static void* const keep = ::dlopen("/usr/lib/x86_64-linux-gnu/sane/libsane-test.so.1",
                                       RTLD_NOW | RTLD_NODELETE);
    (void)keep;
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/dll.conf") << "test\n";
    std::ofstream(dir + "/test.conf") << "number_of_devices 2\n" << extra;
    ::setenv("SANE_CONFIG_DIR", dir.c_str(), 1);
    return dir;
}

}  // namespace sanetest

// What the leak check leaves out in programs that use the test backend.
extern "C" __attribute__((weak, used)) const char* __lsan_default_suppressions() {
    return "leak:libsane-test.so\n";
}
