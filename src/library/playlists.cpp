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
#include "db/statement.h"
#include "library/session.h"
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

constexpr std::string_view kReadFailure = "cannot read the playlists";

// SQLite's plain refusal is a library without the tables (or their
// columns), no fault of the library file; any other failure is.
db::Statement preparePlaylistSql(Session& session, std::string_view sql) {
    return session.prepareTyped(std::string(sql), "cannot prepare the reading of the playlists", code::playlistName,
                                "the library keeps no playlists");
}

std::vector<Playlist> readPlaylists(Session& session) {
    const std::string sql(playlistsql::playlists);
    db::Statement statement = preparePlaylistSql(session, sql);
    std::vector<Playlist> playlists;
    while (session.step(statement, sql, kReadFailure) == db::result::row) {
        playlists.push_back({statement.columnInt64(0), std::string(statement.text(1).value_or("")),
                             statement.columnInt64(2), statement.columnInt64(3) != 0});
    }
    return playlists;
}

// The songs of every playlist named `name` and of the playlists within them.
// A cycle in the parent links is walked once: each playlist is visited once.
SongSet songsOf(Session& session, const std::vector<Playlist>& playlists, const std::string& name,
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
    db::Statement statement = preparePlaylistSql(session, sql);
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
        if (const int rc = statement.bindInt64(1, playlist.id); rc != db::result::ok) {
            session.fail(session.codes().step + rc, kReadFailure, sql);
        }
        while (session.step(statement, sql, kReadFailure) == db::result::row) {
            if (statement.valueType(0) != db::valuetype::null) songs.insert(statement.columnInt64(0));
        }
        statement.reset();
    }
    if (songs.empty()) notes << "vantor: the playlist \"" << name << "\" holds no songs\n";
    return songs;
}

}  // namespace

SongAdmission playlistAdmission(db::LibraryFile& library, const std::optional<std::string>& inside,
                                const std::optional<std::string>& outside, std::ostream& notes) {
    if (!inside && !outside) return {};
    Session session(library, stagecodes::selection, " to read its playlists");
    // One read for both tables, so a playlist the host changes meanwhile is
    // read whole or not at all. A failure here meets the reads again.
    db::beginRead(session.connection(), "Playlists");
    const std::vector<Playlist> playlists = readPlaylists(session);
    auto in = inside ? std::make_shared<const SongSet>(songsOf(session, playlists, *inside, notes)) : nullptr;
    auto out = outside ? std::make_shared<const SongSet>(songsOf(session, playlists, *outside, notes)) : nullptr;
    return [in = std::move(in), out = std::move(out)](std::int64_t id) {
        return (!in || in->count(id) != 0) && (!out || out->count(id) == 0);
    };
}

}  // namespace vantor
