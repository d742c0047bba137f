// The field table and everything derived from it. Labels are the column
// names in lower case, which the SQL translation relies on when it copies a
// label into SQL unchanged. It reads no schema: ColumnMap takes the column
// names a library reports, and the stages that read rows do the reading.
#include "filter/field_catalogue.h"

#include <algorithm>
#include <array>

#include "text/toolkit.h"

namespace vantor {
namespace {

using enum FieldKind;

constexpr std::array kFields = {
    Field{"artist", fieldcode::artist, "Artist", Text},
    Field{"album", 3, "Album", Text},
    Field{"albumartist", 4, "AlbumArtist", Text},
    Field{"discnumber", 5, "DiscNumber", Text},
    Field{"tracknumber", 6, "TrackNumber", Text},
    Field{"songtitle", fieldcode::songTitle, "SongTitle", Text},
    Field{"songpath", fieldcode::songPath, "SongPath", Text},
    Field{"year", 9, "Year", Number},
    Field{"genre", 10, "Genre", Text},
    Field{"filelength", 11, "FileLength", Number},
    Field{"songlength", fieldcode::songLength, "SongLength", Number, "1000.0"},  // milliseconds; seconds to the filters
    Field{"idmedia", fieldcode::idMedia, "IDMedia", Number},
    Field{"rating", fieldcode::rating, "Rating", Number, "20.0"},  // 0..100; stars to the filters
    Field{"bitrate", 17, "Bitrate", Number},
    Field{"author", 24, "Author", Text},
    Field{"samplingfrequency", 25, "SamplingFrequency", Number},
    Field{"stereo", 26, "Stereo", Number},
    Field{"bpm", 30, "BPM", Number},
    Field{"playcounter", 36, "PlayCounter", Number},
    Field{"lasttimeplayed", fieldcode::lastTimePlayed, "LastTimePlayed", Number},
    Field{"filemodified", fieldcode::fileModified, "FileModified", Number},
    Field{"normalizetrack", 42, "NormalizeTrack", Number},
    Field{"normalizealbum", 43, "NormalizeAlbum", Number},
    Field{"custom1", 44, "Custom1", Text},
    Field{"custom2", 45, "Custom2", Text},
    Field{"custom3", 46, "Custom3", Text},
    Field{"custom4", 47, "Custom4", Text},
    Field{"custom5", 48, "Custom5", Text},
    Field{"dateadded", fieldcode::dateAdded, "DateAdded", Number},
    Field{"copyright", 57, "Copyright", Text},
    Field{"publisher", 58, "Publisher", Text},
    Field{"encoder", 59, "Encoder", Text},
    Field{"lyricist", 61, "Lyricist", Text},
    Field{"conductor", 63, "Conductor", Text},
    Field{"involvedpeople", 65, "InvolvedPeople", Text},
    Field{"origtitle", 66, "OrigTitle", Text},
    Field{"origartist", 67, "OrigArtist", Text},
    Field{"origlyricist", 68, "OrigLyricist", Text},
    Field{"groupdesc", 69, "GroupDesc", Text},
    Field{"mediatype", 74, "MediaType", Text},
    Field{"tempo", 86, "Tempo", Text},
    Field{"mood", 87, "Mood", Text},
    Field{"occasion", 88, "Occasion", Text},
    Field{"quality", 89, "Quality", Text},
    Field{"lyrics", 90, "Lyrics", Text},
    Field{"comment", 91, "Comment", Text},
    // Derived ages, in days: today's day number minus the date field named
    // last. The tokenizer and the SQL translation spell them out before any
    // column is read, so they have no column of their own.
    Field{"lastplayedage", fieldcode::lastPlayedAge, "", Number, "", fieldcode::lastTimePlayed},
    Field{"dateaddedage", fieldcode::dateAddedAge, "", Number, "", fieldcode::dateAdded},
    Field{"filemodifiedage", fieldcode::fileModifiedAge, "", Number, "", fieldcode::fileModified},
};

constexpr Field kId{"id", fieldcode::id, "ID", Number};

constexpr const Field* findByCode(int code) {
    if (code == fieldcode::id) return &kId;
    for (const Field& f : kFields) {
        if (f.code == code) return &f;
    }
    return nullptr;
}

constexpr bool isAge(const Field& f) { return f.ageOf != fieldcode::unknown; }
constexpr bool hasDivisor(const Field& f) { return !f.divisor.empty(); }

// The ages and the unit fields, in table order, read off the rows above.
constexpr auto kAgeFields = [] {
    std::array<AgeField, std::ranges::count_if(kFields, isAge)> ages{};
    std::size_t n = 0;
    for (const Field& f : kFields) {
        if (isAge(f)) ages[n++] = AgeField{f.label, findByCode(f.ageOf)};
    }
    return ages;
}();

constexpr auto kUnitFields = [] {
    std::array<Field, std::ranges::count_if(kFields, hasDivisor)> units{};
    std::ranges::copy_if(kFields, units.begin(), hasDivisor);
    return units;
}();

// The columns of the math filter's anyfield, in column order, as BuildAllFields joins them.
std::vector<int> buildAllTextFieldCodes() {
    // Deliberate: the text fields plus two numbers, IDMedia and DateAdded.
    // The math filter's anyfield has always held them (anyfield contains 44
    // finds a DateAdded of 44000.5), and saved filters keep scoring as they
    // did; the SQL form (anyfieldSql) joins the text columns only.
    std::vector<int> codes;
    for (const Field& f : kFields) {
        if (f.kind == Text || f.code == fieldcode::idMedia || f.code == fieldcode::dateAdded) {
            codes.push_back(f.code);
        }
    }
    std::sort(codes.begin(), codes.end());
    return codes;
}

}  // namespace

std::span<const Field> fieldCatalogue() { return kFields; }

int MMlabelToNumber(std::string& label) {
    lowercase(label);
    if (label == "id") return fieldcode::id;
    if (!label.empty() && label.front() == '\'') return fieldcode::literal;
    if (label == kAnyfieldLabel) return fieldcode::anyfield;
    for (const Field& f : kFields) {
        if (label == f.label) return f.code;
    }
    return fieldcode::unknown;
}

const Field* fieldByCode(int code) { return findByCode(code); }

std::span<const AgeField> ageFields() { return kAgeFields; }

std::span<const Field> unitFields() { return kUnitFields; }

std::string inFilterUnits(std::string_view name, const Field& field) {
    std::string text = "(";
    text.append(name).append("/").append(field.divisor).append(")");
    return text;
}

std::string_view columnName(int code) {
    const Field* f = findByCode(code);
    return f != nullptr ? f->column : std::string_view{};
}

bool isFunctionName(std::string_view word) {
    static constexpr std::array<std::string_view, 10> kFunctionNames = {
        "abs", "log", "ceil", "floor", "int", "max", "min", "cos", "sin", "tan",
    };
    for (const auto name : kFunctionNames) {
        if (equalsIgnoreAsciiCase(word, name)) return true;
    }
    return false;
}

bool isScorerNumeric(int code) {
    const Field* f = findByCode(code);
    return f != nullptr && f->kind == Number;
}

bool isExpansionNumeric(int code) {
    // The expansion's set was written without IDMedia, so idmedia=abc is quoted.
    return code != fieldcode::idMedia && isScorerNumeric(code);
}

std::span<const int> allTextFieldCodes() {
    static const std::vector<int> codes = buildAllTextFieldCodes();
    return codes;
}

ColumnMap ColumnMap::classic() {
    ColumnMap map;
    map.positions_.assign(fieldcode::maxColumnCode + 1, -1);
    map.positions_[fieldcode::id] = fieldcode::id;
    for (const Field& f : kFields) {
        if (f.code <= fieldcode::maxColumnCode) map.positions_[f.code] = f.code;
    }
    return map;
}

ColumnMap ColumnMap::fromColumnNames(const std::vector<std::string>& names) {
    ColumnMap map;
    map.positions_.assign(fieldcode::maxColumnCode + 1, -1);
    auto resolve = [&](const Field& f) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (equalsIgnoreAsciiCase(names[i], f.column)) {
                map.positions_[f.code] = static_cast<int>(i);
                return;
            }
        }
    };
    resolve(kId);
    for (const Field& f : kFields) {
        if (f.code <= fieldcode::maxColumnCode) resolve(f);
    }
    return map;
}

int ColumnMap::position(int code) const {
    if (code < 0 || code >= static_cast<int>(positions_.size())) return -1;
    return positions_[code];
}

std::string anyfieldSql(const ColumnMap& map) {
    std::string sql;
    for (const Field& f : kFields) {
        if (f.kind != Text || map.position(f.code) < 0) continue;
        if (!sql.empty()) sql += "||','||";
        sql += "ifnull(";
        sql += f.column;
        sql += ",'')";
    }
    // A library without any text column still needs an operand for LIKE.
    if (sql.empty()) sql = "''";
    sql += ' ';
    return sql;
}

void BuildAllFields(const SongRow& row, std::string& out) {
    out.clear();
    bool first = true;
    for (const int code : allTextFieldCodes()) {
        if (!first) out.push_back(',');
        first = false;
        if (auto text = row.text(code)) out.append(*text);
    }
}

std::string BuildAllFields(const SongRow& row) {
    std::string out;
    BuildAllFields(row, out);
    return out;
}

bool BuildAllFields16(const SongRow& row, std::u16string& out, bool lower) {
    out.clear();
    bool first = true;
    for (const int code : allTextFieldCodes()) {
        if (!first) out.push_back(u',');
        first = false;
        const Utf16Text text = row.text16(code);
        if (text.kind == Utf16Text::Unfit) return false;
        const std::size_t at = out.size();
        out.resize(at + text.units.size());
        if (!copyUnits(text.units, out.data() + at, lower)) return false;
    }
    return true;
}

}  // namespace vantor
