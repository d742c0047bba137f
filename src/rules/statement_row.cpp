// Reading a statement's row for the filters and for the result: field texts
// by the statement's own column positions, and IDs that are never clamped
// onto one another.
#include "rules/statement_row.h"

#include "db/statement.h"
#include "text/toolkit.h"

namespace vantor {

std::optional<std::string_view> StatementRow::text(int fieldCode) const {
    const int pos = columns_.position(fieldCode);
    if (pos < 0) return std::nullopt;
    return statement_.text(pos);
}

bool StatementRow::holdsUtf16() const { return statement_.textIsUtf16(); }

Utf16Text StatementRow::text16(int fieldCode) const {
    const int pos = columns_.position(fieldCode);
    if (pos < 0) return {Utf16Text::Null};
    return statement_.text16(pos);
}

bool StatementRow::holdsNumber(int fieldCode) const {
    const int pos = columns_.position(fieldCode);
    return pos >= 0 && statement_.isNumber(pos);
}

std::int64_t idOf(const db::Statement& statement, int column) {
    if (statement.isInteger(column)) return statement.columnInt64(column);
    const auto id = statement.text(column);
    return id ? atoi64Field(*id) : 0;
}

}  // namespace vantor
