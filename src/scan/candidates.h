// The candidate list every mode reads: the selection query's rows, in the
// query's order (which carries the sort filter), each as a pick. It runs the
// selection query and reports its failures; what the candidates become is
// the modes' (choose/modes.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/statement.h"
#include "filter/field_catalogue.h"
#include "library/session.h"
#include "rules/song_data.h"
#include "rules/statement_row.h"
#include "scan/pick.h"
#include "scan/request.h"

namespace vantor {

// The candidates of one run, read once, front to back.
//
// Making one opens the library, chooses the columns, prepares the selection
// query and steps it once, whatever the mode (one that reads no candidate
// included). Every step is tested, not only the first: rows read before a
// failure (a busy or damaged page, the time limit) are no answer. Failures
// throw RunError:
//   stage::selectionOpen + code     the library does not open;
//   code::queryFilter               SQLite refuses the query as SQL;
//   stage::selectionPrepare + code  any other failed prepare, or a query
//                                   without an ID column;
//   stage::selectionStep + code     any failed step; the query or the sort
//                                   filter's code when the step refused a
//                                   LIKE pattern over SQLite's limit (a
//                                   word the user typed);
//   code::mathFilter                from the score: the math filter is no
//                                   formula for a row.
//
// Each candidate is a pick: the song's ID and, when the math filter scores
// songs, the row's score, computed as the candidate is read. Without
// scoring (the math filter "1") every score is 0 and no mode reads it.
class CandidateList {
public:
    // `readsEveryRow`: the mode reads every candidate, so the rows may be
    // read ahead in parts (scan/range_scan.h).
    CandidateList(const SelectionRequest& request, bool readsEveryRow);
    CandidateList(const CandidateList&) = delete;
    CandidateList& operator=(const CandidateList&) = delete;

    // Whether the candidates carry scores.
    bool scored() const noexcept { return request_.scorer != nullptr; }

    // The next candidate in query order; false once the rows are exhausted.
    bool next(pick& candidate);

    // Every candidate not read yet, in query order, then the connection
    // closes: what a mode does with them needs no more rows.
    std::vector<pick> takeAll();

    // The song data of every candidate read so far (the fields the
    // request's rules read), when the query fetched it
    // (readsSongData(); otherwise the caller looks them up by ID).
    SongData& songData() { return songData_; }
    bool readsSongData() const { return readsSongData_; }

private:
    void step();
    // What a mode does with the candidates needs no more rows.
    void close();

    const SelectionRequest& request_;
    std::optional<Session> session_;
    db::Statement statement_;
    std::string sql_;
    // Fields by the names the statement reports, not by the table's
    // positions: `SELECT *` also returns generated columns, which PRAGMA
    // table_info leaves out, and ID need not stand first.
    ColumnMap columns_;
    StatementRow row_{statement_, columns_};
    int idColumn_ = 0;
    int step_ = 0;          // the last step's result
    bool handedOut_ = false;  // the current row has been read: step before the next
    SongData songData_;
    bool readsSongData_ = false;
    std::vector<int> dataColumns_;  // where each field of songData_ stands in the row
    // Every row, when the walk was read ahead in parts; next() then hands
    // them out in order and the statement only keeps the read open.
    std::optional<std::vector<pick>> scanned_;
    std::size_t nextScanned_ = 0;
};

}  // namespace vantor
