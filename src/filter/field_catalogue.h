// The song field catalogue: the one table of labels, field codes, column
// names, kinds, the filters' units and the derived ages. The anyfield SQL,
// the all-text-fields list, both numeric sets, the age expressions and the
// unit rewrites are derived from it. Field codes are the classic layout's
// column numbers; ColumnMap resolves them to where a real library keeps them.
//
// filter/ holds the text stages of both filters up to SQL: the shared passes,
// the easy-notation expansion, the run's rewrites, the SQL translation, this
// catalogue and the song row (song_row.h) that its codes index. The math
// filter's tokenizer and token list belong to score/, which reads from here.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "filter/song_row.h"

namespace vantor {

enum class FieldKind { Number, Text };

namespace fieldcode {
inline constexpr int id = 0;
inline constexpr int artist = 1;
inline constexpr int songTitle = 7;
inline constexpr int songPath = 8;
inline constexpr int year = 9;
inline constexpr int songLength = 12;
inline constexpr int idMedia = 13;
inline constexpr int rating = 16;
inline constexpr int lastTimePlayed = 37;
inline constexpr int fileModified = 39;
inline constexpr int dateAdded = 49;
inline constexpr int lastPlayedAge = 92;
inline constexpr int dateAddedAge = 93;
inline constexpr int fileModifiedAge = 94;
inline constexpr int anyfield = 99;
inline constexpr int literal = 100;
inline constexpr int unknown = -1;
inline constexpr int maxColumnCode = 91;
}  // namespace fieldcode

// The label that stands for all text fields at once (fieldcode::anyfield).
inline constexpr std::string_view kAnyfieldLabel = "anyfield";

struct Field {
    std::string_view label;   // the column name in lower case
    int code;                 // column number in the classic layout, or 92..94 for ages
    std::string_view column;  // empty for the derived age fields
    FieldKind kind;
    // The filters speak of this field in other units than the library stores
    // (songlength in seconds, rating in stars): they see the stored value
    // divided by this. Empty for every other field.
    std::string_view divisor{};
    // An age: the date field whose day number it is counted back to from
    // today. fieldcode::unknown for every other field.
    int ageOf = fieldcode::unknown;
};

// Every real field, in the order MMlabelToNumber tries them.
std::span<const Field> fieldCatalogue();

// The field code of a label: lower-cases it in place (callers rely on that),
// then "id" 0, a leading apostrophe 100, "anyfield" 99, a catalogue label its
// code, else -1.
int MMlabelToNumber(std::string& label);

// The catalogue row of a field code ("id" for 0), or nullptr.
const Field* fieldByCode(int code);

// The column name of a field code ("ID" for 0), empty for codes without a column.
std::string_view columnName(int code);

// An age label and the date field it is measured from. The tokenizer and the
// SQL translation both spell an age out as "(" today "-" date ")", with the
// date's label in the math filter and its column name in SQL.
struct AgeField {
    std::string_view label;  // e.g. "lastplayedage"
    const Field* date;       // e.g. the row of "lasttimeplayed" / LastTimePlayed
};

// The three ages, in the order the scanners try them at each position.
std::span<const AgeField> ageFields();

// The fields with a divisor, songlength then rating.
std::span<const Field> unitFields();

// How the filters read a field with a divisor: "(" name "/" divisor ")". The
// math filter names it by its label, SQL by its column, and both texts reach
// standard output: (songlength/1000.0) and (SongLength/1000.0).
std::string inFilterUnits(std::string_view name, const Field& field);

// The ten functions the filters pass through to the parser ("abs" ... "tan"),
// compared without regard to ASCII case. "if" (kIfFunction) is handled apart:
// the tokenizer only knows it glued to its "(".
bool isFunctionName(std::string_view word);
inline constexpr std::string_view kIfFunction = "if";

// The scorer's numeric set: ID, the numeric columns and the three ages.
bool isScorerNumeric(int code);
// The expansion's numeric set: the scorer's without IDMedia.
bool isExpansionNumeric(int code);

// The 33 codes of the all-text-fields value, in order.
std::span<const int> allTextFieldCodes();

// Where each catalogue column stands in a row of `SELECT * FROM songs`.
class ColumnMap {
public:
    // The catalogue's own positions (field code = column number).
    static ColumnMap classic();
    // Resolved by column name, ignoring ASCII case; a column the table lacks maps to -1.
    static ColumnMap fromColumnNames(const std::vector<std::string>& names);

    // Position of the field's column in the row, or -1 when the table lacks it.
    int position(int code) const;

private:
    std::vector<int> positions_;  // indexed by code 0..91
};

// The SQL form of "anyfield": the text columns the table has, each as
// ifnull(Column,'') so one NULL does not blank the whole value, joined by
// ||','|| and followed by one space.
std::string anyfieldSql(const ColumnMap& map);

// The all-text-fields value of a row (what anyfield means in the math
// filter): 33 column texts joined by ",", NULL as an empty piece. Written into
// `out` so a caller can reuse its buffer.
void BuildAllFields(const SongRow& row, std::string& out);
// The same, as a new text.
std::string BuildAllFields(const SongRow& row);
// The same as UTF-16 units, for a row that holdsUtf16(), ASCII lower-cased
// when `lower`. False, with the value incomplete, when a column's units do
// not stand for its UTF-8: unreadable in place, or a lone surrogate.
bool BuildAllFields16(const SongRow& row, std::u16string& out, bool lower);

}  // namespace vantor
