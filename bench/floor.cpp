// The floor a run is measured against: the least any program must do for the
// same answer. For a library scenario it opens the file with the same
// collation stand-ins, counts the songs, runs the selection with the same
// condition but only the columns the run needs, and reads each of them from
// every row. For a rotation it reads the ID lists and writes as many IDs.
//
//   vantor_floor library DB COLUMNS CONDITION   (COLUMNS: "ID,PlayCounter", or "anyfield" added)
//   vantor_floor rotation COUNT RESULT LIST...
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/statement.h"
#include "filter/field_catalogue.h"
#include "support/files.h"
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

int library(const std::string& path, const std::string& columns, const std::string& condition) {
    db::Connection connection;
    if (connection.open(path) != 0) return 1;
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
    if (args.size() >= 3 && args[0] == "rotation") {
        return rotation(std::stoi(args[1]), args[2], std::vector<std::string>(args.begin() + 3, args.end()));
    }
    std::cerr << "usage: vantor_floor library DB COLUMNS CONDITION\n"
                 "       vantor_floor rotation COUNT RESULT LIST...\n";
    return 2;
}
