// Running the selection query: open, prepare, step, each failure mapped to
// the code that names its stage, and each row read into a pick. The score
// comes from the request; which rows count is the modes' business.
#include "scan/candidates.h"

#include <algorithm>

#include "report/run_error.h"
#include "scan/columns.h"
#include "scan/range_scan.h"

namespace vantor {
// Opens and prepares the selection query, settles which song data its rows
// carry, and reads the rows ahead in parts where the walk allows it; else
// steps once, so that a failing first step ends the run in every mode.
CandidateList::CandidateList(const SelectionRequest& request, bool readsEveryRow) : request_(request) {
    session_.emplace(*request.library, stagecodes::selection);
    sql_ = chooseSelectionSql(session_->connection(), request);
    statement_ = session_->prepareTyped(sql_, "the selection query could not be prepared", code::queryFilter,
                                        "the query filter was refused");
    columns_ = ColumnMap::fromColumnNames(db::columnNames(statement_));
    idColumn_ = columns_.position(fieldcode::id);
    // Only a table changed since it was counted can get here without ID:
    // any other column in its place would pass for song IDs.
    if (idColumn_ < 0) {
        throw RunError(stage::selectionPrepare + db::result::error, "the selection query has no ID column: " + sql_);
    }
    songData_ = SongData(request.rules.dataFields());
    readsSongData_ = !songData_.fields().empty();
    for (const DataField& field : songData_.fields()) {
        const bool read = readsFrom(request.columns, field);
        const int column = read ? columns_.position(field.code) : -1;
        // A field not read from this library is no reason to look the songs up again.
        readsSongData_ = readsSongData_ && (column >= 0 || !read);
        dataColumns_.push_back(column);
    }
    if (readsSongData_ && request.librarySize > 0) songData_.reserve(static_cast<std::size_t>(request.librarySize));
    const int parts = request.reference || !readsEveryRow ? 1 : scanParts(request.threads, request.librarySize);
    if (parts > 1) {
        SplitScan split(request, session_->connection(), sql_, parts);
        CandidateColumns at{idColumn_, {}, {}};
        if (readsSongData_) at = {idColumn_, songData_.fields(), dataColumns_};
        if (split.mayRun()) {
            if (auto rows = split.run(columns_, db::columnNames(statement_), at)) {
                const std::size_t fields = at.fields.size();
                for (std::size_t i = 0; fields > 0 && i < rows->picks.size(); ++i) {
                    songData_.add(rows->picks[i].id, std::span(rows->songs).subspan(i * fields, fields));
                }
                scanned_ = std::move(rows->picks);
                return;
            }
        }
    }
    step();
}

void CandidateList::step() {
    step_ = statement_.step();
    if (db::stepFailed(step_)) {
        session_->fail(selectionStepCode(session_->connection(), step_, request_), "the selection query failed", sql_);
    }
}

// From the rows read ahead, or one step of the statement per candidate.
bool CandidateList::next(pick& candidate) {
    if (scanned_) {
        if (nextScanned_ == scanned_->size()) return false;
        candidate = (*scanned_)[nextScanned_++];
        return true;
    }
    // Stepping waits for the next call, so a row is scored, and then drawn
    // for, before the query moves on.
    if (handedOut_) step();
    handedOut_ = false;
    if (step_ != db::result::row) return false;
    candidate = {idOf(statement_, idColumn_), 0.0};
    while (!request_.rules.admits(candidate.id)) {
        step();
        if (step_ != db::result::row) return false;
        candidate.id = idOf(statement_, idColumn_);
    }
    if (request_.scorer) candidate.score = request_.scorer->score(row_);
    if (readsSongData_) songData_.addRow(candidate.id, statement_, dataColumns_);
    handedOut_ = true;
    return true;
}

void CandidateList::close() {
    statement_ = db::Statement();
    session_.reset();
}

// The rest of the candidates in one vector, the connection closed after them.
std::vector<pick> CandidateList::takeAll() {
    if (scanned_) {
        std::vector<pick> picks = std::move(*scanned_);
        picks.erase(picks.begin(), picks.begin() + static_cast<std::ptrdiff_t>(nextScanned_));
        scanned_.reset();
        close();
        return picks;
    }
    std::vector<pick> picks;
    // The count was taken just before: one allocation of the right size, not
    // a doubling that briefly holds twice the records.
    picks.reserve(static_cast<std::size_t>(std::max(request_.librarySize, 0)));
    for (pick candidate; next(candidate);) picks.push_back(candidate);
    close();
    return picks;
}

}  // namespace vantor
