// The stops a run can meet from outside, and what may be done while one is
// handled. Linux: SIGINT, SIGTERM, SIGHUP and the other signals that end a
// process by default without saying it is broken. Windows: Ctrl+C,
// Ctrl+Break, the console closing, logoff and shutdown. The handler runs the
// run's clean-up and then ends the process as the stop would have; which
// files to remove is the caller's business (support/stop_cleanup).
#pragma once

#include <filesystem>

namespace vantor::platform {

using NativeChar = std::filesystem::path::value_type;

// Installs the handlers, once, at start; `cleanUp` must be safe inside a
// signal handler and returns true once everything is gone. Signals that
// were ignored when the process started (nohup) stay ignored. On Linux it
// also ignores SIGXFSZ, so that a file-size limit is a failed write, which
// the run reports, and not a silent death.
void catchStops(bool (*cleanUp)() noexcept);

// Each true when the path is gone (or empty) now, or never was there; safe
// inside a signal handler.
bool removeFileNow(const NativeChar* path) noexcept;
// A folder of our own, with the files in it.
bool removeFolderNow(const NativeChar* path) noexcept;
// Empties a file written in place.
bool emptyFileNow(const NativeChar* path) noexcept;

// For a thread that meets a stop in progress: waits until the stop ends the process.
[[noreturn]] void waitForTheEnd() noexcept;

}  // namespace vantor::platform
