// The order SQLite's ORDER BY gives two values of one sort term, computed
// here, so that rows sorted on several connections can be merged into the
// order one connection gives: NULL first, then numbers by value (integers
// and reals compared exactly), then texts by the term's collation, then
// blobs byte by byte; a descending term reverses it all.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vantor::platform {
class Collator;
}

namespace vantor::db {

class Connection;
class Statement;

// One value of a row's sort key, as the library stores it.
struct KeyValue {
    int type = 5;  // valuetype::null
    std::int64_t whole = 0;
    double real = 0.0;
    std::string bytes;     // a text of a UTF-8 library, or a blob
    std::u16string units;  // a text of a UTF-16 library

    bool operator==(const KeyValue&) const = default;
};

// The value in column `col` of the statement's current row, a text in the
// library's own encoding (`utf16`), so nothing is converted. Read before
// anything else reads that column: another reading may convert it in place.
// `value`'s buffers are reused.
void readKeyValue(const Statement& statement, int col, bool utf16, KeyValue& value);

// How one term orders its values.
class TermOrder {
public:
    // Nothing for a collation this process cannot follow exactly as SQLite
    // does (NOCASE, RTRIM); BINARY and the host's names, which the
    // connection's collation handler installs, it can.
    static std::optional<TermOrder> of(const std::string& collation, bool descending, bool utf16);

    // strcmp-like, descending terms reversed.
    int compare(const KeyValue& a, const KeyValue& b) const;

private:
    std::shared_ptr<platform::Collator> collator_;  // null: BINARY
    bool descending_ = false;
    bool utf16_ = false;
};

// The collation a column of the table is declared with ("BINARY" when none);
// nothing when SQLite does not know the column.
std::optional<std::string> declaredCollation(Connection& connection, const std::string& table,
                                             const std::string& column);

// Whether the library stores its texts as UTF-16 in this machine's byte order
// (true), as UTF-8 (false), or otherwise (nothing).
std::optional<bool> nativeUtf16(Connection& connection);

}  // namespace vantor::db
