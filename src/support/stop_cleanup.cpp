// The table of paths a stop removes. A run arms a handful at a time (a copy's
// folder, a temporary result or playlist file), so the table is small and
// fixed: the handler may neither allocate nor lock. Each slot goes
// free -> filling -> armed -> free as the run uses it; a stop takes every
// armed slot, and a run that then finds its slot taken waits for the end.
#include "support/stop_cleanup.h"

#include <atomic>
#include <filesystem>

#include "platform/paths.h"
#include "platform/stop_events.h"

namespace vantor {

namespace {

enum : int { kFree, kFilling, kArmed, kTaken };

}  // namespace

struct Slot {
    std::atomic<int> state{kFree};
    OnStop what = OnStop::removeFile;
    std::filesystem::path::string_type path;  // the system's own bytes, made before the slot is armed
};

namespace {

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "a signal handler may use only lock-free atomics");

// More than a run ever arms at once; a path that finds no free slot is only
// left behind by a stop, and the next run's sweep of abandoned copies or a
// person removes it.
Slot gSlots[32];
std::atomic<bool> gStopping{false};

bool removeNow(const Slot& slot) noexcept {
    const auto* path = slot.path.c_str();
    switch (slot.what) {
        case OnStop::removeFile: return platform::removeFileNow(path);
        case OnStop::removeFolder: return platform::removeFolderNow(path);
        case OnStop::emptyFile: return platform::emptyFileNow(path);
    }
    return false;
}

}  // namespace

void RemovedOnStop::arm(const std::string& path, OnStop what) {
    disarm();
    std::filesystem::path::string_type native = platform::nativePath(path).native();
    for (Slot& slot : gSlots) {
        int expected = kFree;
        if (!slot.state.compare_exchange_strong(expected, kFilling)) continue;
        slot.path = std::move(native);
        slot.what = what;
        slot.state.store(kArmed);
        slot_ = &slot;
        break;
    }
    // After the store: a stop either took the slot or is seen here, before the file is made.
    if (gStopping.load()) platform::waitForTheEnd();
}

void RemovedOnStop::disarm() noexcept {
    if (slot_ == nullptr) return;
    int expected = kArmed;
    // Taken: the stop is removing the file now, and the process ends after it.
    if (!slot_->state.compare_exchange_strong(expected, kFilling)) platform::waitForTheEnd();
    slot_->state.store(kFree);
    slot_ = nullptr;
}

bool cleanUpAfterStop() noexcept {
    gStopping.store(true);
    bool allGone = true;
    for (Slot& slot : gSlots) {
        int expected = kArmed;
        if (!slot.state.compare_exchange_strong(expected, kTaken) && expected != kTaken) continue;
        if (!removeNow(slot)) allGone = false;
    }
    return allGone;
}

bool stopArrived() noexcept { return gStopping.load(std::memory_order_relaxed); }

}  // namespace vantor
