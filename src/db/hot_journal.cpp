// Playing a dead writer's journal back into the run's private copy, with
// SQLite confined to the copy's folder, and checking the outcome.
#include "db/hot_journal.h"

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <type_traits>

#include "db/connection.h"

namespace vantor::db {
namespace {

// The default file system, except that a named file outside `folder` is
// opened read-only and never deleted. Every other method, and the app data
// they rely on, is the default's own. SQLite hands our methods a pointer to
// `vfs`, which stands first so the whole record can be found from it.
struct ConfinedVfs {
    sqlite3_vfs vfs;
    sqlite3_vfs* base;
    const std::string* folder;  // ends with a separator

    bool inside(const char* name) const {
        return name != nullptr && std::string_view(name).starts_with(*folder);
    }
};
static_assert(std::is_standard_layout_v<ConfinedVfs>);

ConfinedVfs& confined(sqlite3_vfs* vfs) { return *reinterpret_cast<ConfinedVfs*>(vfs); }

int confinedOpen(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    const ConfinedVfs& self = confined(vfs);
    // Unnamed files are SQLite's own temporaries.
    if (name != nullptr && !self.inside(name)) {
        flags &= ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXCLUSIVE | SQLITE_OPEN_DELETEONCLOSE);
        flags |= SQLITE_OPEN_READONLY;
    }
    return self.base->xOpen(self.base, name, file, flags, outFlags);
}

int confinedDelete(sqlite3_vfs* vfs, const char* name, int syncDir) {
    const ConfinedVfs& self = confined(vfs);
    // SQLite removes a stale super-journal named by the journal it played;
    // that one is not ours to remove, and the copy is sound without it.
    if (!self.inside(name)) return SQLITE_OK;
    return self.base->xDelete(self.base, name, syncDir);
}

// Registered under a name of its own for as long as it lives; the
// connections using it must be closed first.
class ConfinedRegistration {
public:
    ConfinedRegistration(sqlite3_vfs* base, const std::string& folder) : folder_(folder) {
        shim_.vfs = *base;
        shim_.vfs.pNext = nullptr;
        name_ = "vantor-confined-" + std::to_string(reinterpret_cast<std::uintptr_t>(this));
        shim_.vfs.zName = name_.c_str();
        shim_.vfs.xOpen = confinedOpen;
        shim_.vfs.xDelete = confinedDelete;
        shim_.base = base;
        shim_.folder = &folder_;
        registered_ = sqlite3_vfs_register(&shim_.vfs, 0) == SQLITE_OK;
    }
    ~ConfinedRegistration() {
        if (registered_) sqlite3_vfs_unregister(&shim_.vfs);
    }
    ConfinedRegistration(const ConfinedRegistration&) = delete;
    ConfinedRegistration& operator=(const ConfinedRegistration&) = delete;

    const char* name() const { return registered_ ? name_.c_str() : nullptr; }

private:
    ConfinedVfs shim_{};
    std::string folder_;
    std::string name_;
    bool registered_ = false;
};

// PRAGMA quick_check answers with the single row "ok", or with what is
// wrong; one fault is enough to refuse the copy.
std::string quickCheck(sqlite3* db) {
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &raw, nullptr);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    if (rc != SQLITE_OK) return sqlite3_errmsg(db);
    rc = sqlite3_step(raw);
    if (rc != SQLITE_ROW) return sqlite3_errmsg(db);
    const auto* first = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    std::string answer = first != nullptr ? first : "";
    if (answer == "ok") return sqlite3_step(raw) == SQLITE_DONE ? "" : "the check found more than \"ok\"";
    for (char& c : answer) {
        if (c == '\n') c = ' ';  // one line on stderr
    }
    return "the check found: " + answer;
}

}  // namespace

bool refusedForHotJournal(sqlite3* db, int rc) {
    return db != nullptr && rc == SQLITE_READONLY && sqlite3_extended_errcode(db) == SQLITE_READONLY_ROLLBACK;
}

std::string recoverCopy(const std::string& copy, const std::string& folder) {
    sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
    if (base == nullptr) return "SQLite has no file system";
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    const ConfinedRegistration confinement(base, folder.ends_with(separator) ? folder : folder + separator);
    if (confinement.name() == nullptr) return "SQLite refused a file system of ours";

    Connection connection;  // closed before the registration goes
    const int rc = connection.openRecoveryCopy(copy, confinement.name());
    if (rc != SQLITE_OK) return connection.handle() != nullptr ? connection.errorMessage() : sqlite3_errstr(rc);
    // Any read takes the shared lock, which is where SQLite plays a hot journal back.
    if (sqlite3_exec(connection.handle(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return connection.errorMessage();
    }
    return quickCheck(connection.handle());
}

}  // namespace vantor::db
