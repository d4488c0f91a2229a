// The files a process makes for its own use (the swap files of the picture
// stores, the temporaries of safe saves) and must never leave behind.
//
// Each such file is recorded before it is made and held open and locked
// (flock) for as long as it lives; the lock is how a later process tells a
// live file from one that a killed process left. The process removes its own
// files when a fatal signal ends it, whenever the signal comes; a process
// killed outright (SIGKILL, power loss) cannot, and the next start removes
// them with RemoveLeftTemporaries.
//
//     std::string path;
//     int handle = -1;
//     const int fd = platform::MakeTemporary(path, false, handle, [](std::string& name) {
//         name = platform::SwapFilePath(1);
//         return open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
//     });
//     ...                                   // the file is in use
//     unlink(path.c_str()); close(fd);
//     platform::ForgetTemporary(handle);
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Path of swap file number n in the temporary directory.
std::string SwapFilePath(std::uint64_t number);

// Makes a file the process owns. make(path) creates it, exclusively (open
// with O_CREAT | O_EXCL, mkstemps), sets path to its name and returns its
// descriptor, or -1 with errno set. Its record is taken before make runs,
// and a signal that ends the process waits until the record is complete, so
// a file made here is removed whenever the signal comes; once a signal is
// ending the process nothing more is made (-1, errno ECANCELED). The file is
// then locked (until the descriptor is closed). A file outside the temporary
// directory (a save temporary beside the file it will replace) also gets a
// link in the temporary directory, so that the next start finds it should
// the process be killed outright. handle: for ForgetTemporary; -1 when the
// file could not be recorded (every record in use, a path too long): it
// still serves. The descriptor, or -1.
int MakeTemporary(std::string& path, bool outsideTempDirectory, int& handle,
                  const std::function<int(std::string& path)>& make);
// The file was removed or moved into place: no longer the process's to remove.
void ForgetTemporary(int handle);

// Installs, for the signals that end a process (hangup, interrupt, quit,
// termination, broken pipe, alarms, user signals, file size and processor
// limits), a handler that removes the owned files and then ends the process
// as the signal would. A handler the program installed itself stays.
void RemoveTemporariesOnSignals();
// Removes the owned files and ends the process by sig with the default
// action; safe in a signal handler (for hosts that handle a signal themselves).
[[noreturn]] void EndBySignal(int sig);

// Removes swap files and save temporaries of this user that no live process
// holds: unlocked, and unchanged for a few seconds (a file is locked at once
// after it is made). Files of running processes are never touched. The
// number of files removed.
int RemoveLeftTemporaries();
// How long an unlocked file must have been left unchanged to be removed.
constexpr int kLeftTemporarySeconds = 10;

}  // namespace platform
