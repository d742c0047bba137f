// The words SQLite answers in, as this program reads them: the lines of its
// query plans (as planWalk gives them, lower-cased), the opcodes of its
// bytecode, and the text encodings PRAGMA encoding names. Written once, so
// that a new SQLite release that rewords one is mended in one place. What
// the words prove is for the readers (db/query_plan.h and the scan and sort
// planning) to say.
#pragma once

#include <string_view>

namespace vantor::db {

namespace planword {
// A walk of a whole table, in its key order or along an index: "0 scan songs",
// "0 scan songs using index idxSongsYear".
inline constexpr std::string_view scan = "0 scan ";
// A walk of part of a table, or a lookup: "0 search songs using index
// idxSongsYear (Year>?)", "0 search songs using integer primary key (rowid=?)".
inline constexpr std::string_view search = "0 search ";
inline constexpr std::string_view usingIndex = " using index ";
inline constexpr std::string_view usingRowKey = " using integer primary key (";
// What follows usingRowKey when one row is looked up by its key.
inline constexpr std::string_view oneRowByKey = "rowid=?)";
// SQLite sorts what the walk before it found.
inline constexpr std::string_view sortAfterWalk = "0 use temp b-tree for order by";
// The two lines by which a statement reads a list of its own from json_each.
inline constexpr std::string_view listSubquery = "0 list subquery ";
inline constexpr std::string_view listRead = "1 scan json_each ";
// An index that holds every column read is walked as any other index.
inline constexpr std::string_view coveringIndex = "covering index";
inline constexpr std::string_view index = "index";
}  // namespace planword

namespace opcode {
// A walk that starts at the last entry and steps backwards.
inline constexpr std::string_view backwards[] = {"Last", "Prev"};
// Instructions by which a walk's rows depend on more than each row alone, or
// come backwards: LIMIT and OFFSET, an aggregate, a descending walk.
inline constexpr std::string_view wholeWalk[] = {"Last",     "Prev",     "DecrJumpZero", "OffsetLimit", "IfPos",
                                                 "AggStep",  "AggStep1", "AggFinal",     "AggValue",    "AggInverse"};
}  // namespace opcode

namespace encoding {
inline constexpr std::string_view utf8 = "UTF-8";
inline constexpr std::string_view utf16le = "UTF-16le";
inline constexpr std::string_view utf16be = "UTF-16be";
}  // namespace encoding

}  // namespace vantor::db
