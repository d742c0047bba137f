// The current layout is the host's schema text itself, and its column list
// is read back from SQLite rather than parsed here. The classic layout is
// derived from the field catalogue, with host names filling the positions
// the catalogue never reads.
#include "demolib/layouts.h"

#include <sqlite3.h>

#include <array>
#include <memory>
#include <stdexcept>

#include "db/collation.h"
#include "demolib/host_schema.h"
#include "filter/field_catalogue.h"
#include "text/toolkit.h"

namespace vantor::demo {
namespace {

struct Gap {
    int position;
    std::string_view name;
};

// Classic positions no catalogue field uses. Most names are the host's, taken
// from between the same neighbours in the current layout.
constexpr std::array kClassicGaps = {
    Gap{2, "IDAlbum"},         Gap{14, "CacheStatus"},     Gap{15, "CacheName"},       Gap{18, "Seekable"},
    Gap{19, "Broadcast"},      Gap{20, "PreviewState"},    Gap{21, "PreviewName"},     Gap{22, "PreviewStartTime"},
    Gap{23, "PreviewLength"},  Gap{27, "VBR"},             Gap{28, "BitsPerSample"},   Gap{29, "Channels"},
    Gap{31, "SignType"},       Gap{32, "SignPart1"},       Gap{33, "SignPart2"},       Gap{34, "SignPart3"},
    Gap{35, "SignPart4"},      Gap{38, "AudioCDTrack"},    Gap{40, "TrackModified"},   Gap{41, "MaxSample"},
    Gap{50, "OrigFileLength"}, Gap{51, "PreGap"},          Gap{52, "PostGap"},         Gap{53, "TotalSamples"},
    Gap{54, "PlaybackPos"},    Gap{55, "StartTime"},       Gap{56, "StopTime"},        Gap{60, "SkipCount"},
    Gap{62, "OrigYear"},       Gap{64, "Remixer"},         Gap{70, "SubTitle"},        Gap{71, "ISRC"},
    Gap{72, "InitialKey"},     Gap{73, "Language"},        Gap{75, "WebCommercial"},   Gap{76, "WebCopyright"},
    Gap{77, "WebFilepage"},    Gap{78, "WebArtist"},       Gap{79, "WebSource"},       Gap{80, "WebRadio"},
    Gap{81, "WebPayment"},     Gap{82, "WebPublisher"},    Gap{83, "WebUser"},         Gap{84, "ParentalRating"},
    Gap{85, "Extension"},
};

// A table's columns as SQLite reads them from its CREATE TABLE text.
std::vector<ColumnDef> readHostColumns(const char* createTable, const char* table) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)> db(raw, sqlite3_close_v2);
    db::installCollationHandler(raw);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_exec(raw, createTable, nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(raw, (std::string("PRAGMA table_info(") + table + ")").c_str(), -1, &st, nullptr) !=
            SQLITE_OK) {
        throw std::logic_error(std::string("host schema: ") + sqlite3_errmsg(raw));
    }
    std::vector<ColumnDef> defs;
    while (sqlite3_step(st) == SQLITE_ROW) {
        defs.push_back({reinterpret_cast<const char*>(sqlite3_column_text(st, 1)),
                        reinterpret_cast<const char*>(sqlite3_column_text(st, 2))});
    }
    sqlite3_finalize(st);
    return defs;
}

std::vector<ColumnDef> buildClassicColumns() {
    const std::vector<ColumnDef>& host = columnDefs(Layout::Current);
    auto hostType = [&](std::string_view name) -> std::string {
        for (const ColumnDef& d : host) {
            if (equalsIgnoreAsciiCase(d.name, name)) return d.type;
        }
        return {};
    };

    std::vector<ColumnDef> defs(fieldcode::maxColumnCode + 1);
    defs[fieldcode::id] = {"ID", "INTEGER"};
    for (const Field& f : fieldCatalogue()) {
        if (f.code > fieldcode::maxColumnCode) continue;
        std::string type = hostType(f.column);
        if (type.empty()) type = f.kind == FieldKind::Text ? "TEXT" : "INTEGER";
        defs[static_cast<std::size_t>(f.code)] = {std::string(f.column), type};
    }
    for (const Gap& g : kClassicGaps) {
        std::string type = hostType(g.name);
        defs[static_cast<std::size_t>(g.position)] = {std::string(g.name), type.empty() ? "INTEGER" : type};
    }
    for (const ColumnDef& d : defs) {
        if (d.name.empty()) throw std::logic_error("classic layout has an unnamed position");
    }
    return defs;
}

}  // namespace

const std::vector<ColumnDef>& columnDefs(Layout layout) {
    static const std::vector<ColumnDef> current = readHostColumns(kHostSongsTable, "Songs");
    if (layout == Layout::Current) return current;
    static const std::vector<ColumnDef> classic = buildClassicColumns();
    return classic;
}

int columnIndex(Layout layout, std::string_view name) {
    const std::vector<ColumnDef>& defs = columnDefs(layout);
    for (std::size_t i = 0; i < defs.size(); ++i) {
        if (equalsIgnoreAsciiCase(defs[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}

const std::vector<std::string>& mediaColumnNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const ColumnDef& d : readHostColumns(kHostMediasTable, "Medias")) out.push_back(d.name);
        return out;
    }();
    return names;
}

std::string createTableSql(Layout layout) {
    if (layout == Layout::Current) return std::string(kHostSongsTable) + kHostMediasTable + kHostPlaylistTables;
    std::string sql = "CREATE TABLE Songs (\n  ID INTEGER PRIMARY KEY";
    const std::vector<ColumnDef>& defs = columnDefs(layout);
    for (std::size_t i = 1; i < defs.size(); ++i) sql += ",\n  " + defs[i].name + " " + defs[i].type;
    return sql + "\n);";
}

std::string createIndexesSql(Layout layout) {
    return layout == Layout::Current ? std::string(kHostSongsIndexes) + kHostPlaylistIndexes : "";
}

std::vector<std::string> columnNames(Layout layout) {
    std::vector<std::string> names;
    for (const ColumnDef& d : columnDefs(layout)) names.push_back(d.name);
    return names;
}

}  // namespace vantor::demo
