// Signals: the handler cleans up with system calls alone (nothing that
// allocates or locks), then restores the signal's default action and raises
// it again, so the process ends as the signal meant and its exit status says
// which signal it was.
#include "platform/stop_events.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace vantor::platform {
namespace {

// Every signal that ends a process by default and says nothing about the
// program's own health: a person's or a system's stop (INT, TERM, HUP, QUIT,
// XCPU, and the USR ones nothing here uses), a reader that went away (PIPE)
// and a timer someone set before starting us (ALRM). SEGV, BUS, ILL, FPE and
// ABRT mean the program is broken, and running more of it is unsafe.
constexpr int kStops[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGXCPU, SIGUSR1, SIGUSR2};

bool (*gCleanUp)() noexcept = nullptr;
std::atomic<bool> gHandling{false};

void onStop(int signal) {
    // A second stop on another thread waits for the first to end the process.
    if (gHandling.exchange(true)) waitForTheEnd();
    gCleanUp();
    struct sigaction original {};
    original.sa_handler = SIG_DFL;
    sigemptyset(&original.sa_mask);
    sigaction(signal, &original, nullptr);
    // Blocked while this handler runs: delivered, with its default action, as it returns.
    raise(signal);
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

void catchStops(bool (*cleanUp)() noexcept) {
    gCleanUp = cleanUp;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, nullptr);

    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : kStops) sigaddset(&action.sa_mask, signal);  // one stop at a time
    for (const int signal : kStops) {
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

bool removeFileNow(const NativeChar* path) noexcept { return ::unlink(path) == 0 || errno == ENOENT; }

bool removeFolderNow(const NativeChar* path) noexcept {
    // Whatever SQLite made in the folder goes first. Entries removed while
    // the folder is read may make the reading skip some: a few passes.
    for (int pass = 0; pass < 3; ++pass) {
        const int folder = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder < 0) return errno == ENOENT;
        // A chunk of entries at a time: the call fills at most this much.
        alignas(dirent64) char entries[4096];
        ssize_t got = 0;
        while ((got = ::getdents64(folder, entries, sizeof entries)) > 0) {
            for (ssize_t at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
                at += entry->d_reclen;
                if (!isDotOrDotDot(entry->d_name)) ::unlinkat(folder, entry->d_name, 0);
            }
        }
        ::close(folder);
        if (::rmdir(path) == 0 || errno == ENOENT) return true;
        if (errno != ENOTEMPTY && errno != EEXIST) return false;
    }
    return false;
}

bool emptyFileNow(const NativeChar* path) noexcept {
    const int file = ::open(path, O_WRONLY | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) return errno == ENOENT;
    ::close(file);
    return true;
}

void waitForTheEnd() noexcept {
    for (;;) ::pause();
}

}  // namespace vantor::platform
