// The scanning commands: Acquire and Select Scanner, and the scan a
// stitch page starts. Each scanned picture reaches its owner window as a
// TwainXferDoneEvent (acquire/xfer_done_qt.h). The transfers run as a Job
// (base/job_qt.h) on a worker thread; the pictures are sent when it ends.
#pragma once

#include "resources/command_target.h"

class QWidget;

// Carries out ID_ACQUIRE or ID_SELECT_SOURCE with owner as the window that
// receives the pictures; false for other ids.
bool HandleAcquireCommand(int id, QWidget* owner);
// Enabled when the scanner library is there and no scan runs; false for
// other ids.
bool UpdateAcquireCommand(int id, CommandState& state);
// Declares Acquire and Select Scanner; the workspace's window receives
// the pictures.
class CommandRegistry;
void RegisterAcquireCommands(CommandRegistry& registry);

// Whether the scanner library can be loaded (asked once).
bool ScannerAvailable();
// Whether a scan's transfer runs (its job): no other scan or source choice
// starts meanwhile.
bool ScanRunning();
// Starts a scan for owner (a stitch page, the main window): the source's
// dialog now, the pictures as TwainXferDoneEvents to owner. The owner keeps
// its conversation until its next scan or its end. False when the scan
// could not start (the reason was shown) or another scan runs.
bool StartScanFor(QWidget* owner);
