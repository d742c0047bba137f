// The host's playlists as sets of song IDs: the names matched case-folded,
// the playlists within walked down their parent links, their songs read by
// the playlist's key.
#include "library/playlists.h"

#include <memory>
#include <ostream>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "db/connection.h"
#include "db/library_file.h"
#include "db/statement.h"
#include "report/run_error.h"
#include "text/case_fold.h"

namespace vantor {
namespace {

using SongSet = std::unordered_set<std::int64_t>;

struct Playlist {
    std::int64_t id = 0;
    std::string name;
    std::int64_t parent = 0;  // 0 at the top
    bool automatic = false;   // the host keeps a search for it, not its songs
};

// A failed prepare: SQLite's plain refusal is a library without the tables
// (or their columns), no fault of the library file; anything else is.
[[noreturn]] void refusedPrepare(int rc, const db::Connection& connection, std::string_view sql) {
    const std::string why = connection.errorMessage() + " in: " + std::string(sql);
    if (rc == db::result::error) throw RunError(code::playlistName, "the library keeps no playlists: " + why);
    throw RunError(stage::selectionPrepare + rc, "cannot prepare the reading of the playlists: " + why);
}

[[noreturn]] void failedStep(int rc, const db::Connection& connection, std::string_view sql) {
    throw RunError(stage::selectionStep + rc,
                   "cannot read the playlists: " + connection.errorMessage() + " in: " + std::string(sql));
}

std::vector<Playlist> readPlaylists(db::Connection& connection) {
    const std::string sql(playlistsql::playlists);
    db::Statement statement;
    if (const int rc = statement.prepare(connection, sql); rc != db::result::ok) refusedPrepare(rc, connection, sql);
    std::vector<Playlist> playlists;
    int rc = db::result::row;
    while ((rc = statement.step()) == db::result::row) {
        playlists.push_back({statement.columnInt64(0), std::string(statement.text(1).value_or("")),
                             statement.columnInt64(2), statement.columnInt64(3) != 0});
    }
    if (db::stepFailed(rc)) failedStep(rc, connection, sql);
    return playlists;
}

// The songs of every playlist named `name` and of the playlists within them.
// A cycle in the parent links is walked once: each playlist is visited once.
SongSet songsOf(db::Connection& connection, const std::vector<Playlist>& playlists, const std::string& name,
                std::ostream& notes) {
    const std::string folded = foldCase(name);
    std::unordered_multimap<std::int64_t, const Playlist*> children;
    std::vector<const Playlist*> pending;
    for (const Playlist& playlist : playlists) {
        children.emplace(playlist.parent, &playlist);
        if (foldCase(playlist.name) != folded) continue;
        // Named itself, an automatic playlist would silently give no songs at all.
        if (playlist.automatic) {
            throw RunError(code::playlistName, "\"" + playlist.name +
                                                   "\" is an automatic playlist: the library keeps its search, "
                                                   "not its songs, so there are none to read");
        }
        pending.push_back(&playlist);
    }
    if (pending.empty()) throw RunError(code::playlistName, "the library has no playlist \"" + name + "\"");

    const std::string sql(playlistsql::songs);
    db::Statement statement;
    if (const int rc = statement.prepare(connection, sql); rc != db::result::ok) refusedPrepare(rc, connection, sql);
    SongSet songs;
    std::unordered_set<std::int64_t> visited;
    while (!pending.empty()) {
        const Playlist& playlist = *pending.back();
        pending.pop_back();
        if (!visited.insert(playlist.id).second) continue;
        const auto [first, last] = children.equal_range(playlist.id);
        for (auto child = first; child != last; ++child) pending.push_back(child->second);
        if (playlist.automatic) {
            notes << "vantor: the automatic playlist \"" << playlist.name << "\" within \"" << name
                  << "\" stores no songs; it adds none\n";
            continue;
        }
        int rc = statement.bindInt64(1, playlist.id);
        if (rc == db::result::ok) {
            while ((rc = statement.step()) == db::result::row) {
                if (statement.valueType(0) != db::valuetype::null) songs.insert(statement.columnInt64(0));
            }
        }
        if (db::stepFailed(rc)) failedStep(rc, connection, sql);
        statement.reset();
    }
    if (songs.empty()) notes << "vantor: the playlist \"" << name << "\" holds no songs\n";
    return songs;
}

}  // namespace

SongAdmission playlistAdmission(db::LibraryFile& library, const std::optional<std::string>& inside,
                                const std::optional<std::string>& outside, std::ostream& notes) {
    if (!inside && !outside) return {};
    db::Connection connection;
    if (const int rc = connection.open(library); rc != db::result::ok) {
        throw RunError(stage::selectionOpen + rc, connection.openFailure(library, " to read its playlists"));
    }
    // One read for both tables, so a playlist the host changes meanwhile is
    // read whole or not at all. A failure here meets the reads again.
    db::beginRead(connection, "Playlists");
    const std::vector<Playlist> playlists = readPlaylists(connection);
    auto in = inside ? std::make_shared<const SongSet>(songsOf(connection, playlists, *inside, notes)) : nullptr;
    auto out = outside ? std::make_shared<const SongSet>(songsOf(connection, playlists, *outside, notes)) : nullptr;
    return [in = std::move(in), out = std::move(out)](std::int64_t id) {
        return (!in || in->count(id) != 0) && (!out || out->count(id) == 0);
    };
}

}  // namespace vantor
