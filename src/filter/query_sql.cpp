// One left-to-right pass over the characters: keywords and operator
// characters become their SQL text, everything else (field labels included,
// which are their column names in lower case) is copied as it stands.
#include "filter/query_sql.h"

#include "text/toolkit.h"

namespace vantor {
namespace {

// What comes after a "~": the first quote opens a contained-text value and
// the next one closes it.
enum class ContainsMatch { Idle, Armed, Open };

bool wordAt(std::string_view text, std::size_t i, std::string_view word) {
    return equalsIgnoreAsciiCase(text.substr(i, word.size()), word);
}

}  // namespace

std::string query2sql2(std::string_view text, std::string_view today, std::string_view anyfieldExpr) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    ContainsMatch state = ContainsMatch::Idle;

    // Deliberate: keywords are found anywhere, inside longer words and quoted
    // values too (ratings>2); the sort filter behind the query relies on
    // "Rating" and "SongLength" being rewritten whatever their case.
    std::size_t i = 0;
    while (i < text.size()) {
        if (wordAt(text, i, "anyfield")) {
            out += anyfieldExpr;
            i += 8;
        } else if (wordAt(text, i, "currenttime")) {
            out += today;
            i += 11;
        } else if (wordAt(text, i, "lastplayedage")) {
            out.append("(").append(today).append("-LastTimePlayed)");
            i += 13;
        } else if (wordAt(text, i, "dateaddedage")) {
            out.append("(").append(today).append("-DateAdded)");
            i += 12;
        } else if (wordAt(text, i, "filemodifiedage")) {
            out.append("(").append(today).append("-FileModified)");
            i += 15;
        } else if (wordAt(text, i, "songlength")) {
            out += "(SongLength/1000.0)";
            i += 10;
        } else if (wordAt(text, i, "rating")) {
            out += "(Rating/20.0)";
            i += 6;
        } else {
            const char c = text[i];
            if (c == '!') {
                out += " NOT ";
            } else if (c == '=' && !(i > 0 && (text[i - 1] == '<' || text[i - 1] == '>'))) {
                out += " LIKE ";
            } else if (c == '&') {
                out += " AND ";
            } else if (c == '|') {
                out += " OR ";
            } else if (c == '~') {
                out += " LIKE ";
                state = ContainsMatch::Armed;
            } else if (c == '\'' || c == '"') {
                // Deliberate: only a quote moves the state on, so after a bare
                // value (year~2000) the next quoted value is matched as contained text.
                if (state == ContainsMatch::Armed) {
                    out += c;
                    out += '%';
                    state = ContainsMatch::Open;
                } else if (state == ContainsMatch::Open) {
                    out += '%';
                    out += c;
                    state = ContainsMatch::Idle;
                } else {
                    out += c;
                }
            } else {
                out += c;
            }
            ++i;
        }
    }
    return out;
}

}  // namespace vantor
