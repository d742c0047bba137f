// The row adapter: one row of a prepared statement as the filters' SongRow,
// each field read from the column the statement itself names so (columns in
// any order, generated columns included), and the song ID of a row. It
// neither steps the statement nor decides which columns it fetches.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "filter/field_catalogue.h"
#include "filter/song_row.h"

namespace vantor {

namespace db {
class Statement;
}

// The statement's current row; valid until the statement steps again.
class StatementRow final : public SongRow {
public:
    StatementRow(const db::Statement& statement, const ColumnMap& columns) : statement_(statement), columns_(columns) {}

    std::optional<std::string_view> text(int fieldCode) const override;
    bool holdsUtf16() const override;
    Utf16Text text16(int fieldCode) const override;
    bool holdsNumber(int fieldCode) const override;

private:
    const db::Statement& statement_;
    const ColumnMap& columns_;
};

// The song ID in `column` of the current row, 64 bits whole: a stored
// integer as it is, anything else as atoi reads its text (NULL gives 0).
std::int64_t idOf(const db::Statement& statement, int column);

}  // namespace vantor
