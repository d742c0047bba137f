// The floor a run is measured against: the least any program must do for the
// same answer. For a library scenario it opens the file with the same
// collation stand-ins, counts the songs, runs the selection with the same
// condition but only the columns the run needs, and reads each of them from
// every row. For a rotation it reads the ID lists and writes as many IDs.
// For a playlist it does the selection's part too, then reads each song the
// run chose (the IDs of its result file) by key, its medium by key, and
// writes the same M3U bytes.
//
//   vantor_floor library DB COLUMNS CONDITION   (COLUMNS: "ID,PlayCounter", or "anyfield" added)
//   vantor_floor rotation COUNT RESULT LIST...
//   vantor_floor playlist DB CONDITION RESULT M3U
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "db/statement.h"
#include "filter/field_catalogue.h"
#include "support/read_file.h"
#include "text/toolkit.h"

namespace {

using namespace vantor;

// "anyfield" stands for the all-text-fields columns this library has.
std::string expandColumns(db::Connection& connection, const std::string& columns) {
    std::string out;
    const ColumnMap map = ColumnMap::fromColumnNames(db::tableColumnNames(connection, "songs"));
    for (const std::string& name : isplit(columns, {","}, false)) {
        if (name != "anyfield") {
            out += out.empty() ? "" : ",";
            out += name;
            continue;
        }
        for (const int code : allTextFieldCodes()) {
            if (map.position(code) < 0) continue;
            for (const Field& f : fieldCatalogue()) {
                if (f.code == code) out += "," + std::string(f.column);
            }
        }
    }
    return out;
}

// Counts the songs and reads the columns of every row the condition selects.
int select(db::Connection& connection, const std::string& columns, const std::string& condition) {
    db::Statement count;
    if (count.prepare(connection, "SELECT COUNT(*) from songs") != 0 || count.step() != 100) return 1;
    const int songs = count.columnInt(0);

    db::Statement select;
    const std::string sql = "SELECT " + expandColumns(connection, columns) + " FROM songs WHERE " + condition;
    if (select.prepare(connection, sql) != 0) {
        std::cerr << "floor: " << connection.errorMessage() << " in " << sql << "\n";
        return 1;
    }
    const int n = select.columnCount();
    std::size_t rows = 0, bytes = 0;
    while (select.step() == 100) {
        ++rows;
        for (int c = 0; c < n; ++c) bytes += select.text(c).value_or("").size();
    }
    std::printf("%d songs, %zu rows, %zu bytes\n", songs, rows, bytes);
    return 0;
}

int library(const std::string& path, const std::string& columns, const std::string& condition) {
    db::Connection connection;
    if (connection.open(path) != 0) return 1;
    return select(connection, columns, condition);
}

// Tabs and line breaks in a tag become blanks, as in the run's playlist.
std::string oneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

int playlist(const std::string& path, const std::string& condition, const std::string& result, const std::string& m3u) {
    db::Connection connection;
    if (connection.open(path) != 0 || select(connection, "ID", condition) != 0) return 1;
    db::Statement song, media;
    if (song.prepare(connection, "SELECT Artist, SongTitle, SongLength, SongPath, IDMedia FROM Songs WHERE ID = ?") != 0 ||
        media.prepare(connection, "SELECT DriveLetter FROM Medias WHERE IDMedia = ?") != 0) {
        std::cerr << "floor: " << connection.errorMessage() << "\n";
        return 1;
    }
    // One read for every lookup, as a run takes it: a lock per song would
    // cost more than the lookups, on Windows above all.
    db::beginRead(connection, "songs");
    const std::string ids = readWholeFile(result).value_or("");
    std::string out = "#EXTM3U\r\n";
    const char* p = ids.data();
    const char* end = p + ids.size();
    while (p < end) {
        std::int64_t id = 0;
        p = std::from_chars(p, end, id).ptr;
        if (p < end) ++p;  // the comma
        song.bindInt64(1, id);
        if (song.step() == 100) {
            const std::string artist = oneLine(song.text(0).value_or(""));
            const std::string title = oneLine(song.text(1).value_or(""));
            const std::int64_t length = song.columnInt64(2);
            std::string file(song.text(3).value_or(""));
            if (file.starts_with(':')) {
                media.bindInt64(1, song.columnInt64(4));
                if (media.step() == 100 && media.isInteger(0)) file.insert(0, 1, static_cast<char>('A' + media.columnInt(0)));
                media.reset();
            }
            out += "#EXTINF:" + std::to_string(length > 0 ? (length + 500) / 1000 : -1) + ",";
            out += artist.empty() || title.empty() ? artist + title : artist + " - " + title;
            out += "\r\n" + file + "\r\n";
        }
        song.reset();
    }
    std::ofstream(m3u, std::ios::binary) << out;
    return 0;
}

int rotation(int count, const std::string& result, const std::vector<std::string>& paths) {
    std::vector<std::vector<int>> lists;
    for (const std::string& path : paths) {
        const std::string text = readWholeFile(path).value_or("");
        std::vector<int> ids;
        const char* p = text.data();
        const char* end = p + text.size();
        while (p < end) {
            int id = 0;
            p = std::from_chars(p, end, id).ptr;
            ids.push_back(id);
            while (p < end && *p != ',') ++p;
            if (p < end) ++p;
        }
        lists.push_back(std::move(ids));
    }
    std::string out;
    out.reserve(static_cast<std::size_t>(count) * 8);
    char digits[16];
    for (int i = 0; i < count && !lists.empty(); ++i) {
        const std::vector<int>& list = lists[static_cast<std::size_t>(i) % lists.size()];
        if (i > 0) out += ',';
        out.append(digits, std::to_chars(digits, digits + sizeof digits, list[(i / lists.size()) % list.size()]).ptr);
    }
    std::ofstream(result, std::ios::binary) << out;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 4 && args[0] == "library") return library(args[1], args[2], args[3]);
    if (args.size() == 5 && args[0] == "playlist") return playlist(args[1], args[2], args[3], args[4]);
    if (args.size() >= 3 && args[0] == "rotation") {
        return rotation(std::stoi(args[1]), args[2], std::vector<std::string>(args.begin() + 3, args.end()));
    }
    std::cerr << "usage: vantor_floor library DB COLUMNS CONDITION\n"
                 "       vantor_floor rotation COUNT RESULT LIST...\n"
                 "       vantor_floor playlist DB CONDITION RESULT M3U\n";
    return 2;
}
