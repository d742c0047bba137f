// Reading simple sort filters, and merging sorted parts by their key runs.
#include "scan/sorted_parts.h"

#include "text/ascii.h"

namespace vantor {
namespace {

// A cursor over the sort filter's words.
class Words {
public:
    explicit Words(std::string_view text) : text_(text) {}

    bool atEnd() {
        skipBlanks();
        return at_ == text_.size();
    }

    // The keyword, in any case, as a whole word.
    bool keyword(std::string_view word) {
        skipBlanks();
        const std::size_t end = at_ + word.size();
        if (end > text_.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (asciiUpper(text_[at_ + i]) != word[i]) return false;
        }
        if (end < text_.size() && isNameChar(text_[end])) return false;
        at_ = end;
        return true;
    }

    bool punctuation(char c) {
        skipBlanks();
        if (at_ == text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }

    // A bare name (a letter or underscore, then letters, digits and
    // underscores) or a double-quoted one ("" for a quote inside).
    std::optional<std::string> name() {
        skipBlanks();
        if (at_ == text_.size()) return std::nullopt;
        if (text_[at_] == '"') {
            std::string out;
            for (std::size_t i = at_ + 1; i < text_.size(); ++i) {
                if (text_[i] != '"') {
                    out += text_[i];
                } else if (i + 1 < text_.size() && text_[i + 1] == '"') {
                    out += '"';
                    ++i;
                } else {
                    at_ = i + 1;
                    return out.empty() ? std::nullopt : std::optional<std::string>(out);
                }
            }
            return std::nullopt;
        }
        const char first = text_[at_];
        if (!(isAsciiAlpha(first) || first == '_')) return std::nullopt;
        const std::size_t start = at_;
        while (at_ < text_.size() && isNameChar(text_[at_])) ++at_;
        return std::string(text_.substr(start, at_ - start));
    }

private:
    static bool isNameChar(char c) { return isAsciiAlnum(c) || c == '_'; }
    void skipBlanks() {
        while (at_ < text_.size() && isAsciiSpace(text_[at_])) ++at_;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

bool isKeyword(const std::string& name) {
    static constexpr std::string_view reserved[] = {"ASC", "DESC", "COLLATE", "ORDER", "BY", "LIMIT", "NULLS"};
    for (const std::string_view word : reserved) {
        if (name.size() != word.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < word.size(); ++i) {
            same = same && asciiUpper(name[i]) == word[i];
        }
        if (same) return true;
    }
    return false;
}

// -1, 0 or 1: the two key lists under the terms.
int compareKeys(const std::vector<db::KeyValue>& a, const std::vector<db::KeyValue>& b,
                const std::vector<db::TermOrder>& terms) {
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (const int c = terms[i].compare(a[i], b[i]); c != 0) return c;
    }
    return 0;
}

}  // namespace

std::optional<std::vector<SortTerm>> simpleOrderBy(std::string_view sortFilter) {
    Words words(sortFilter);
    if (!words.keyword("ORDER") || !words.keyword("BY")) return std::nullopt;
    std::vector<SortTerm> terms;
    do {
        SortTerm term;
        const auto column = words.name();
        if (!column || isKeyword(*column)) return std::nullopt;
        term.column = *column;
        if (words.keyword("COLLATE")) {
            const auto collation = words.name();
            if (!collation) return std::nullopt;
            term.collation = *collation;
        }
        if (words.keyword("DESC")) {
            term.descending = true;
        } else {
            words.keyword("ASC");
        }
        terms.push_back(std::move(term));
    } while (words.punctuation(','));
    if (!words.atEnd()) return std::nullopt;
    return terms;
}

MergedOrder mergeSortedParts(const std::vector<SortedPart>& parts, const std::vector<db::TermOrder>& terms) {
    MergedOrder merged;
    std::vector<std::size_t> next(parts.size(), 0);
    for (;;) {
        // The part whose next run (or error) comes first; equal keys go in part order.
        int best = -1;
        bool bestIsError = false;
        const std::vector<db::KeyValue>* bestKeys = nullptr;
        for (std::size_t k = 0; k < parts.size(); ++k) {
            const SortedPart& part = parts[k];
            const bool runLeft = next[k] < part.groups->size();
            if (!runLeft && !part.failed) continue;
            const std::vector<db::KeyValue>* keys = runLeft ? &(*part.groups)[next[k]].keys : part.failedKeys;
            if (keys == nullptr) {  // an error before anything else this part holds
                merged.failedPart = static_cast<int>(k);
                return merged;
            }
            if (best < 0 || compareKeys(*keys, *bestKeys, terms) < 0) {
                best = static_cast<int>(k);
                bestIsError = !runLeft;
                bestKeys = keys;
            }
        }
        if (best < 0) return merged;
        if (bestIsError) {
            merged.failedPart = best;
            return merged;
        }
        const auto k = static_cast<std::size_t>(best);
        const std::vector<KeyGroup>& groups = *parts[k].groups;
        const std::size_t to = next[k] + 1 < groups.size() ? groups[next[k] + 1].firstRow : parts[k].rows;
        merged.runs.push_back({k, groups[next[k]].firstRow, to});
        ++next[k];
    }
}

}  // namespace vantor
