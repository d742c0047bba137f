// What a run that is stopped from outside (Ctrl+C, a closed terminal, kill)
// must not leave behind: the private copy of a library and the temporary
// result and playlist files. Each is named here before it is made; when a
// stop arrives, the platform's handler (platform/stop_events) calls
// cleanUpAfterStop, which removes whatever is named at that moment. Nothing
// here catches a stop, and nothing here decides which files a run makes.
#pragma once

#include <string>

namespace vantor {

// What a stop does with a named path.
enum class OnStop {
    removeFile,    // a file this run made
    removeFolder,  // a folder this run made, with the files in it
    emptyFile,     // a file written in place: a cut list would pass for a shorter one
};

// Names one path for a stop while it is armed. Arm it before the file is
// made and disarm it (or let it go) once the run has dealt with the file
// itself. A stop that arrives while a path is armed or disarmed ends the run
// right there, so nothing is made after the stop cleaned up.
class RemovedOnStop {
public:
    RemovedOnStop() = default;
    RemovedOnStop(const std::string& path, OnStop what) { arm(path, what); }
    ~RemovedOnStop() { disarm(); }
    RemovedOnStop(const RemovedOnStop&) = delete;
    RemovedOnStop& operator=(const RemovedOnStop&) = delete;

    // Names `path` (UTF-8) in place of whatever this one named before.
    void arm(const std::string& path, OnStop what);
    void disarm() noexcept;

private:
    struct Slot* slot_ = nullptr;
};

// The stop handlers' common body: removes (or empties) every armed path and
// keeps any path from being armed or disarmed from now on. Safe inside a
// signal handler: no allocation, no lock. It may be called again, to retry
// what the system would not let go yet. True when every named path is gone.
bool cleanUpAfterStop() noexcept;

// Whether a stop has arrived. Long work may end early on it: its result is
// never written.
bool stopArrived() noexcept;

}  // namespace vantor
