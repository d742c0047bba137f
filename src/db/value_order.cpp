// SQLite's order of values for ORDER BY, term by term (sqlite3MemCompare's
// rules): the type classes, exact integer/real comparison, collations.
#include "db/value_order.h"

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "db/collation.h"
#include "db/connection.h"
#include "db/sqlite_words.h"
#include "db/statement.h"
#include "platform/collator.h"

namespace vantor::db {
namespace {

// NULL, then numbers, then texts, then blobs.
int typeClass(int type) {
    switch (type) {
    case SQLITE_NULL: return 0;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return 1;
    case SQLITE_TEXT: return 2;
    default: return 3;
    }
}

int sign(long long v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

// An integer against a real, exactly, as SQLite compares them.
int compareWholeToReal(std::int64_t i, double r) {
    if (r < -9223372036854775808.0) return 1;
    if (r >= 9223372036854775808.0) return -1;
    const auto y = static_cast<std::int64_t>(r);
    if (i != y) return i < y ? -1 : 1;
    const auto s = static_cast<double>(i);
    return s < r ? -1 : s > r ? 1 : 0;
}

int compareNumbers(const KeyValue& a, const KeyValue& b) {
    if (a.type == SQLITE_INTEGER && b.type == SQLITE_INTEGER) return a.whole < b.whole ? -1 : a.whole > b.whole;
    if (a.type == SQLITE_FLOAT && b.type == SQLITE_FLOAT) return a.real < b.real ? -1 : a.real > b.real;
    if (a.type == SQLITE_INTEGER) return compareWholeToReal(a.whole, b.real);
    return -compareWholeToReal(b.whole, a.real);
}

// memcmp over the shorter, then the longer last: BINARY's rule.
int compareBytes(const void* a, std::size_t lenA, const void* b, std::size_t lenB) {
    const int c = std::memcmp(a, b, std::min(lenA, lenB));
    return c != 0 ? sign(c) : sign(static_cast<long long>(lenA) - static_cast<long long>(lenB));
}

}  // namespace

void readKeyValue(const Statement& statement, int col, bool utf16, KeyValue& value) {
    sqlite3_stmt* stmt = statement.handle();
    value.type = sqlite3_column_type(stmt, col);
    value.whole = 0;
    value.real = 0.0;
    value.bytes.clear();
    value.units.clear();
    switch (value.type) {
    case SQLITE_INTEGER: value.whole = sqlite3_column_int64(stmt, col); break;
    case SQLITE_FLOAT: value.real = sqlite3_column_double(stmt, col); break;
    case SQLITE_TEXT:
        if (utf16) {
            const auto* units = static_cast<const char16_t*>(sqlite3_column_text16(stmt, col));
            if (units != nullptr) value.units.assign(units, static_cast<std::size_t>(sqlite3_column_bytes16(stmt, col)) / 2);
        } else {
            const auto* chars = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
            if (chars != nullptr) value.bytes.assign(chars, static_cast<std::size_t>(sqlite3_column_bytes(stmt, col)));
        }
        break;
    case SQLITE_BLOB: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, col));
        if (bytes != nullptr) value.bytes.assign(bytes, static_cast<std::size_t>(sqlite3_column_bytes(stmt, col)));
        break;
    }
    default: break;
    }
}

std::optional<TermOrder> TermOrder::of(const std::string& collation, bool descending, bool utf16) {
    TermOrder order;
    order.descending_ = descending;
    order.utf16_ = utf16;
    if (sqlite3_stricmp(collation.c_str(), "NOCASE") == 0 || sqlite3_stricmp(collation.c_str(), "RTRIM") == 0) {
        return std::nullopt;
    }
    if (sqlite3_stricmp(collation.c_str(), "BINARY") != 0) {
        platform::Collator* collator = platform::openCollator(collationKindFor(collation.c_str()));
        if (collator == nullptr) return std::nullopt;
        order.collator_.reset(collator, platform::closeCollator);
    }
    return order;
}

int TermOrder::compare(const KeyValue& a, const KeyValue& b) const {
    int c = typeClass(a.type) - typeClass(b.type);
    if (c == 0) {
        switch (typeClass(a.type)) {
        case 0: break;
        case 1: c = compareNumbers(a, b); break;
        case 2:
            if (!collator_) {
                c = utf16_ ? compareBytes(a.units.data(), a.units.size() * 2, b.units.data(), b.units.size() * 2)
                           : compareBytes(a.bytes.data(), a.bytes.size(), b.bytes.data(), b.bytes.size());
            } else if (utf16_) {
                c = sign(platform::compareUtf16(*collator_, a.units.data(), static_cast<int>(a.units.size()),
                                                b.units.data(), static_cast<int>(b.units.size())));
            } else {
                c = sign(platform::compareUtf8(*collator_, a.bytes.data(), static_cast<int>(a.bytes.size()),
                                               b.bytes.data(), static_cast<int>(b.bytes.size())));
            }
            break;
        default: c = compareBytes(a.bytes.data(), a.bytes.size(), b.bytes.data(), b.bytes.size()); break;
        }
    }
    c = sign(c);
    return descending_ ? -c : c;
}

std::optional<std::string> declaredCollation(Connection& connection, const std::string& table,
                                             const std::string& column) {
    const char* collation = nullptr;
    if (sqlite3_table_column_metadata(connection.handle(), "main", table.c_str(), column.c_str(), nullptr,
                                      &collation, nullptr, nullptr, nullptr) != SQLITE_OK) {
        return std::nullopt;
    }
    return std::string(collation != nullptr ? collation : "BINARY");
}

std::optional<bool> nativeUtf16(Connection& connection) {
    const std::string stored = textEncoding(connection);
    if (stored == encoding::utf8) return false;
    const bool little = std::endian::native == std::endian::little;
    if (stored == (little ? encoding::utf16le : encoding::utf16be)) return true;
    return std::nullopt;
}

}  // namespace vantor::db
