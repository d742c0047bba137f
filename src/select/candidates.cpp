// Running the selection query: open, prepare, step, each failure mapped to
// the code that names its stage, and each row read into a pick. The score
// comes from the request; which rows count is the modes' business.
#include "select/candidates.h"

#include <algorithm>

#include "db/library_file.h"
#include "report/run_error.h"
#include "select/columns.h"
#include "select/range_scan.h"

namespace vantor {
namespace {

// Whether the mode reads every candidate: only then can the rows be read ahead, in parts.
bool readsEveryRow(const SelectionRequest& request) { return request.mode >= 0 && request.mode <= 2; }

}  // namespace

CandidateList::CandidateList(const SelectionRequest& request) : request_(request) {
    if (const int rc = connection_.open(*request.library); rc != db::result::ok) {
        throw RunError(stage::selectionOpen + rc, connection_.openFailure(*request.library));
    }
    sql_ = chooseSelectionSql(connection_, request);
    if (const int rc = statement_.prepare(connection_, sql_); rc != db::result::ok) {
        const std::string why = connection_.errorMessage() + " in: " + sql_;
        if (rc == db::result::error) throw RunError(code::queryFilter, "the query filter was refused: " + why);
        throw RunError(stage::selectionPrepare + rc, "the selection query could not be prepared: " + why);
    }
    columns_ = ColumnMap::fromColumnNames(db::columnNames(statement_));
    idColumn_ = columns_.position(fieldcode::id);
    // Only a table changed since it was counted can get here without ID:
    // any other column in its place would pass for song IDs.
    if (idColumn_ < 0) {
        throw RunError(stage::selectionPrepare + db::result::error, "the selection query has no ID column: " + sql_);
    }
    if (request.rules.needsSongData()) {
        // A column the library lacks is no reason to look the songs up again.
        const auto fetched = [&](bool needed, int code, int& column) {
            column = columns_.position(code);
            return !needed || column >= 0 || request.columns.position(code) < 0;
        };
        readsSongData_ = fetched(request.rules.needsLength(), fieldcode::songLength, lengthColumn_) &&
                         fetched(request.rules.needsArtist(), fieldcode::artist, artistColumn_);
        if (request.librarySize > 0) songData_.reserve(static_cast<std::size_t>(request.librarySize));
    }
    const int parts = request.reference || !readsEveryRow(request) ? 1 : scanParts(request.threads, request.librarySize);
    if (parts > 1) {
        SplitScan split(request, connection_, sql_, parts);
        const CandidateColumns at{idColumn_, lengthColumn_, artistColumn_, readsSongData_};
        if (split.mayRun()) {
            if (auto rows = split.run(columns_, db::columnNames(statement_), at)) {
                for (const SongFacts& song : rows->songs) songData_.add(song.id, song.lengthMs, song.artist);
                scanned_ = std::move(rows->picks);
                return;
            }
        }
    }
    step();
}

void CandidateList::step() {
    step_ = statement_.step();
    if (!db::stepFailed(step_)) return;
    throw RunError(selectionStepCode(connection_, step_, request_),
                   "the selection query failed: " + connection_.errorMessage() + " in: " + sql_);
}

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
    while (request_.admits && !request_.admits(candidate.id)) {
        step();
        if (step_ != db::result::row) return false;
        candidate.id = idOf(statement_, idColumn_);
    }
    if (request_.score) candidate.score = request_.score(row_);
    if (readsSongData_) songData_.addRow(candidate.id, statement_, lengthColumn_, artistColumn_);
    handedOut_ = true;
    return true;
}

std::vector<pick> CandidateList::takeAll() {
    if (scanned_) {
        std::vector<pick> picks = std::move(*scanned_);
        picks.erase(picks.begin(), picks.begin() + static_cast<std::ptrdiff_t>(nextScanned_));
        scanned_.reset();
        statement_ = db::Statement();
        connection_ = db::Connection();
        return picks;
    }
    std::vector<pick> picks;
    // The count was taken just before: one allocation of the right size, not
    // a doubling that briefly holds twice the records.
    picks.reserve(static_cast<std::size_t>(std::max(request_.librarySize, 0)));
    for (pick candidate; next(candidate);) picks.push_back(candidate);
    statement_ = db::Statement();
    connection_ = db::Connection();
    return picks;
}

}  // namespace vantor
