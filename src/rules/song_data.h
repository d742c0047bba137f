// The song data the rules read, kept beside the candidates by song ID
// rather than in the 16-byte pick, so runs without rules carry none of it.
// The rules name the catalogue fields they read and how (DataField); the
// values are kept by field code. Texts are kept as numbers: two songs share
// one exactly when their texts fold (text/case_fold.h) to the same text.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "filter/field_catalogue.h"

namespace vantor {

namespace db {
class LibraryFile;
class Statement;
}  // namespace db

// How a rule reads a field.
enum class DataKind {
    amount,  // a whole number; NULL, zero or negative: 0
    key,     // only equality counts: texts folded; NULL or empty: kNoKey, which matches nothing
};

struct DataField {
    int code;  // the field catalogue's
    DataKind kind;
};

inline constexpr std::int64_t kNoKey = -1;
inline constexpr std::int32_t kNoArtist = static_cast<std::int32_t>(kNoKey);

inline constexpr DataField kLengthField{fieldcode::songLength, DataKind::amount};
inline constexpr DataField kArtistField{fieldcode::artist, DataKind::key};

// One field as a row gave it, before SongData keeps it: read on a scan's
// thread, kept on the run's (the folded texts share one table).
struct FieldRead {
    std::int64_t number = 0;          // an amount
    std::optional<std::string> text;  // a key
};

// Column `column` (-1: not fetched, read as NULL) of the statement's row, as
// a field of `kind`.
FieldRead readField(const db::Statement& statement, int column, DataKind kind);

// The length and the artist of a song, for data made by hand (tests, benchmarks).
struct SongInfo {
    std::int64_t lengthMs = 0;
    std::int32_t artist = kNoArtist;
};

class SongData {
public:
    // Keeps these fields of each song; by default the length and the artist.
    explicit SongData(std::vector<DataField> fields = {kLengthField, kArtistField});

    const std::vector<DataField>& fields() const { return fields_; }

    // The first word on a song wins: a table may hold an ID twice. `values`
    // come in the order of fields().
    void add(std::int64_t id, std::span<const FieldRead> values);
    // The current row of a statement whose column `columns[i]` (-1: not
    // fetched) holds fields()[i].
    void addRow(std::int64_t id, const db::Statement& statement, std::span<const int> columns);
    // Data made by hand, of the default fields.
    void add(std::int64_t id, std::int64_t lengthMs, std::optional<std::string_view> artist);
    SongInfo of(std::int64_t id) const;

    // The song's value of the field (an amount, or a key's number); a song
    // or field not kept: 0 for an amount, kNoKey for a key.
    std::int64_t value(std::int64_t id, int code) const;
    bool has(std::int64_t id) const { return rows_.count(id) != 0; }
    void reserve(std::size_t n);
    std::size_t size() const { return rows_.size(); }

    // The shortest and the mean length above 0 of the songs kept (0 when none has one).
    std::int64_t shortestLength() const;
    std::int64_t meanLength() const;

private:
    // Hashes text and views alike, so a text is looked up without a copy.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    using Texts = std::unordered_map<std::string, std::int64_t, TextHash, std::equal_to<>>;

    int slotOf(int code) const;
    std::int64_t keyOf(std::optional<std::string_view> text);
    // A new song's row of values, or nothing when the song is kept already.
    std::int64_t* newRow(std::int64_t id);
    // Each value of the songs with a length above 0.
    void forEachLength(const std::function<void(std::int64_t)>& f) const;

    std::vector<DataField> fields_;
    std::unordered_map<std::int64_t, std::size_t> rows_;  // ID: where its values start
    std::vector<std::int64_t> values_;                     // fields_.size() a song
    Texts folded_;   // folded text: its number
    Texts spelled_;  // text as stored: its number, so each spelling is folded once
};

// What lookUpSongData reads of each song, up to its lookup by ID: the ID
// and the fields, NULL where the library lacks one.
std::string songDataSelect(const ColumnMap& columns, std::span<const DataField> fields);

// Reads the data's fields of these songs from the library by ID, on a
// connection of its own, with the selection connection's codes: RunError
// stage::selectionOpen, selectionPrepare or selectionStep + SQLite's code.
// IDs the library does not hold stay unknown.
void lookUpSongData(db::LibraryFile& library, const std::vector<std::int64_t>& ids, SongData& data);

}  // namespace vantor
