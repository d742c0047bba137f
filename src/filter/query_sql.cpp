// One left-to-right pass over the characters: keywords and operator
// characters become their SQL text, everything else (field labels included,
// which are their column names in lower case) is copied as it stands. It
// neither parses nor escapes: the database judges the SQL it makes.
#include "filter/query_sql.h"

#include <vector>

#include "filter/field_catalogue.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

// What comes after a "~": the first quote opens a contained-text value and
// the next one closes it.
enum class ContainsMatch { Idle, Armed, Open };

// What a keyword becomes in SQL.
enum class Becomes {
    Anyfield,  // the anyfield expression the caller passes
    Today,     // the day-number text
    Age,       // "(" today "-" column ")"
    Fixed,     // `sql` as it stands
};

struct Keyword {
    std::string_view word;  // matched without regard to case, over its own length
    Becomes becomes;
    std::string sql;        // Age: the date column; Fixed: the text written
};

// Tried in this order at every position. The ages and the units come from
// the field catalogue, so their labels, columns and divisors live there.
const std::vector<Keyword>& keywords() {
    static const std::vector<Keyword> table = [] {
        std::vector<Keyword> t{
            {kAnyfieldLabel, Becomes::Anyfield, ""},
            {"currenttime", Becomes::Today, ""},
        };
        for (const AgeField& age : ageFields()) t.push_back({age.label, Becomes::Age, std::string(age.date->column)});
        for (const Field& f : unitFields()) t.push_back({f.label, Becomes::Fixed, inFilterUnits(f.column, f)});
        return t;
    }();
    return table;
}

// Deliberate: keywords are found anywhere, inside longer words and quoted
// values too (ratings>2); the sort filter behind the query relies on
// "Rating" and "SongLength" being rewritten whatever their case.
const Keyword* keywordAt(std::string_view text, std::size_t i) {
    for (const Keyword& k : keywords()) {
        if (startsWithIgnoreAsciiCase(text.substr(i), k.word)) return &k;
    }
    return nullptr;
}

void writeKeyword(const Keyword& k, std::string_view today, std::string_view anyfieldExpr, std::string& out) {
    switch (k.becomes) {
    case Becomes::Anyfield: out += anyfieldExpr; break;
    case Becomes::Today: out += today; break;
    case Becomes::Age: out.append("(").append(today).append("-").append(k.sql).append(")"); break;
    case Becomes::Fixed: out += k.sql; break;
    }
}

// One character that is no keyword's start: an operator becomes its SQL,
// a quote may open or close a contained-text value, the rest is copied.
void writeCharacter(std::string_view text, std::size_t i, ContainsMatch& state, std::string& out) {
    const char c = text[i];
    switch (c) {
    case '!': out += " NOT "; return;
    case '&': out += " AND "; return;
    case '|': out += " OR "; return;
    case '=':
        // Half of "<=" or ">=", which SQL reads as they stand.
        if (i > 0 && (text[i - 1] == '<' || text[i - 1] == '>')) break;
        out += " LIKE ";
        return;
    case '~':
        out += " LIKE ";
        state = ContainsMatch::Armed;
        return;
    case '\'':
    case '"':
        // Deliberate: only a quote moves the state on, so after a bare
        // value (year~2000) the next quoted value is matched as contained text.
        if (state == ContainsMatch::Armed) {
            out.append(1, c).append("%");
            state = ContainsMatch::Open;
        } else if (state == ContainsMatch::Open) {
            out.append("%").append(1, c);
            state = ContainsMatch::Idle;
        } else {
            out += c;
        }
        return;
    default:
        break;
    }
    out += c;
}

}  // namespace

std::string query2sql2(std::string_view text, std::string_view today, std::string_view anyfieldExpr,
                       std::span<const YearComparison> calendar) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    ContainsMatch state = ContainsMatch::Idle;
    auto year = calendar.begin();
    std::size_t i = 0;
    while (i < text.size()) {
        if (year != calendar.end() && year->at == i) {
            out += year->sql;
            // Written with ~, it arms the contains match as the stored comparison does.
            if (year->contains) state = ContainsMatch::Armed;
            i += year->length;
            ++year;
        } else if (const Keyword* k = keywordAt(text, i)) {
            writeKeyword(*k, today, anyfieldExpr, out);
            i += k->word.size();
        } else {
            writeCharacter(text, i, state, out);
            ++i;
        }
    }
    return out;
}

}  // namespace vantor
