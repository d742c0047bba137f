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

}  // namespace vantor
