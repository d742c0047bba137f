// Song data by ID and field code, read from a row the selection query
// fetched anyway or looked up by key.
#include "rules/song_data.h"

#include <algorithm>

#include "db/connection.h"
#include "db/library_file.h"
#include "db/statement.h"
#include "library/session.h"
#include "rules/songs_by_id.h"
#include "rules/statement_row.h"
#include "text/case_fold.h"

namespace vantor {
namespace {

std::int64_t amountIn(const db::Statement& statement, int column) {
    return column >= 0 && statement.text(column) ? std::max<std::int64_t>(statement.columnInt64(column), 0) : 0;
}

std::optional<std::string_view> textIn(const db::Statement& statement, int column) {
    return column >= 0 ? statement.text(column) : std::nullopt;
}

}  // namespace

FieldRead readField(const db::Statement& statement, int column, DataKind kind) {
    FieldRead read;
    if (kind == DataKind::amount) {
        read.number = amountIn(statement, column);
    } else if (const auto text = textIn(statement, column)) {
        read.text.emplace(*text);
    }
    return read;
}

SongData::SongData(std::vector<DataField> fields) : fields_(std::move(fields)) {}

void SongData::reserve(std::size_t n) {
    rows_.reserve(n);
    values_.reserve(n * fields_.size());
}

int SongData::slotOf(int code) const {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].code == code) return static_cast<int>(i);
    }
    return -1;
}

std::int64_t SongData::keyOf(std::optional<std::string_view> text) {
    if (!text || text->empty()) return kNoKey;
    if (const auto known = spelled_.find(*text); known != spelled_.end()) return known->second;
    const std::int64_t key =
        folded_.try_emplace(foldCase(*text), static_cast<std::int64_t>(folded_.size())).first->second;
    spelled_.emplace(std::string(*text), key);
    return key;
}

std::int64_t* SongData::newRow(std::int64_t id) {
    const auto [row, added] = rows_.try_emplace(id, values_.size());
    if (!added) return nullptr;
    values_.resize(values_.size() + fields_.size());
    return values_.data() + row->second;
}

void SongData::add(std::int64_t id, std::span<const FieldRead> values) {
    std::int64_t* row = newRow(id);
    if (row == nullptr) return;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const FieldRead& read = values[i];
        row[i] = fields_[i].kind == DataKind::amount ? std::max<std::int64_t>(read.number, 0) : keyOf(read.text);
    }
}

void SongData::addRow(std::int64_t id, const db::Statement& statement, std::span<const int> columns) {
    std::int64_t* row = newRow(id);
    if (row == nullptr) return;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        row[i] = fields_[i].kind == DataKind::amount ? amountIn(statement, columns[i])
                                                     : keyOf(textIn(statement, columns[i]));
    }
}

void SongData::add(std::int64_t id, std::int64_t lengthMs, std::optional<std::string_view> artist) {
    FieldRead values[2];
    values[0].number = lengthMs;
    if (artist) values[1].text.emplace(*artist);
    add(id, values);
}

SongInfo SongData::of(std::int64_t id) const {
    return {value(id, fieldcode::songLength), static_cast<std::int32_t>(value(id, fieldcode::artist))};
}

std::int64_t SongData::value(std::int64_t id, int code) const {
    const int slot = slotOf(code);
    if (slot < 0) return 0;
    const auto row = rows_.find(id);
    if (row != rows_.end()) return values_[row->second + static_cast<std::size_t>(slot)];
    return fields_[static_cast<std::size_t>(slot)].kind == DataKind::amount ? 0 : kNoKey;
}

void SongData::forEachLength(const std::function<void(std::int64_t)>& f) const {
    const int slot = slotOf(fieldcode::songLength);
    if (slot < 0) return;
    for (const auto& [id, row] : rows_) {
        const std::int64_t length = values_[row + static_cast<std::size_t>(slot)];
        if (length > 0) f(length);
    }
}

std::int64_t SongData::shortestLength() const {
    std::int64_t shortest = 0;
    forEachLength([&](std::int64_t length) {
        if (shortest == 0 || length < shortest) shortest = length;
    });
    return shortest;
}

std::int64_t SongData::meanLength() const {
    // In long double: a million songs of hours each stay exact enough.
    long double total = 0;
    std::int64_t n = 0;
    forEachLength([&](std::int64_t length) { total += static_cast<long double>(length), ++n; });
    return n == 0 ? 0 : static_cast<std::int64_t>(total / static_cast<long double>(n));
}

std::string songDataSelect(const ColumnMap& columns, std::span<const DataField> fields) {
    std::vector<int> codes{fieldcode::id};
    for (const DataField& field : fields) codes.push_back(field.code);
    return "SELECT " + fieldColumns(columns, codes) + " FROM songs";
}

// Only the songs not known yet are read: the scan may have read most of them.
void lookUpSongData(db::LibraryFile& library, const std::vector<std::int64_t>& ids, SongData& data) {
    std::vector<std::int64_t> wanted;
    for (const std::int64_t id : ids) {
        if (!data.has(id)) wanted.push_back(id);
    }
    // The fields follow the ID, in their order.
    std::vector<int> columns(data.fields().size());
    for (std::size_t i = 0; i < columns.size(); ++i) columns[i] = static_cast<int>(i) + 1;
    readSongsById(library, wanted,
                  {.what = "the song data",
                   // A column the table lacks reads as NULL: songs without the field.
                   .select =
                       [&](db::Connection& connection) {
                           return songDataSelect(songsColumns(connection, stagecodes::selection), data.fields());
                       },
                   .key = "ID",
                   .onRow = [&](const db::Statement& row) { data.addRow(idOf(row, 0), row, columns); }});
}

}  // namespace vantor
