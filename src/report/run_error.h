// The one error type of a run: raised where a failure happens, caught in
// exactly one place (the run driver) that writes the result file.
// It carries the result-file code and, for people, a reason for stderr.
#pragma once

#include <stdexcept>
#include <string>

namespace vantor {

class RunError : public std::runtime_error {
public:
    explicit RunError(int code, std::string reason = {})
        : std::runtime_error(reason.empty() ? "error " + std::to_string(code) : reason),
          code_(code) {}

    int code() const noexcept { return code_; }

private:
    int code_;
};

// Plain codes with messages of their own; every other code is a database code.
namespace code {
inline constexpr int mathFieldUnknown = -1;
inline constexpr int queryFilter = 2;
inline constexpr int mathFilter = 3;
inline constexpr int sortFilter = 5;
inline constexpr int playlistName = 6;
inline constexpr int outOfMemory = 7;  // SQLite's SQLITE_NOMEM, reported as a database code
}  // namespace code

// The bases of the database codes: a failure in a step that meets the
// library ends the run with the step's base plus SQLite's result code, so the
// number in the message tells where it happened.
namespace stage {
inline constexpr int countOpen = 500;          // opening the library to count it
inline constexpr int countQuery = 1500;        // testing the sort filter, preparing the count, reading the columns
inline constexpr int countStep = 2000;         // counting the songs
inline constexpr int dateOpen = 2500;          // opening the library to read today's date
inline constexpr int datePrepare = 3000;       // preparing the date query
inline constexpr int dateStep = 4000;          // reading the date
inline constexpr int selectionOpen = 4500;     // opening the library to select songs
inline constexpr int selectionPrepare = 5000;  // preparing the selection query (but for SQLite's plain refusal)
inline constexpr int selectionStep = 6000;     // reading any row of the selection query
inline constexpr int sortQuery = 8500;         // opening, preparing or reading mode 1's sort query
}  // namespace stage

}  // namespace vantor
