// The result file's two writers and the messages of the error codes.
#include "report/result_file.h"

#include <algorithm>
#include <optional>

#include "report/run_error.h"
#include "support/whole_file.h"
#include "text/id_list.h"

namespace vantor {
namespace {

// The plain codes' messages, printed and written exactly so; the front end's
// users know them word for word.
struct Message {
    int code;
    std::string_view text;
};

constexpr Message kMessages[] = {
    {code::mathFieldUnknown, "ERROR: Field in Math Filter not recognized"},
    {code::queryFilter, "ERROR: Please edit Query Filter"},
    {code::mathFilter, "ERROR: Please edit Math Filter"},
    {code::sortFilter, "ERROR: Please edit Sort Field Filter."},
    {code::playlistName, "ERROR: A VNT playlist name you entered doesn't exist."},
};

// Every other code's message; the file has the code's number right after it.
constexpr std::string_view kDatabaseMessage =
    "DATABASE OPENING ERROR: Please press F4 to retry a few times (especially when MediaMonkey "
    "has finished accessing the DB). If this error persists, please contact me with bug report ";

std::optional<std::string_view> ownMessage(int code) {
    for (const Message& m : kMessages) {
        if (m.code == code) return m.text;
    }
    return std::nullopt;
}

std::string gWriteFailure;

// Replaces the result file whole, or says that it could not.
bool writeResult(const std::string& path, const ContentPieces& content, std::ostream& out) {
    const FileWrite write = writeWholeFile(path, content);
    if (!write.written) {
        gWriteFailure = write.failure;
        out << unwritableNotice;
    }
    return write.written;
}

// What standard output shows for the code (the database message without the number).
std::string_view errorStdoutText(int code) { return ownMessage(code).value_or(kDatabaseMessage); }

}  // namespace

std::string errorFileText(int code) {
    if (const auto own = ownMessage(code)) return std::string(*own);
    return std::string(kDatabaseMessage) + std::to_string(code);
}

const std::string& resultWriteFailure() { return gWriteFailure; }

bool programerror(int code, const std::string& path, std::ostream& out) {
    // Written first: when the file cannot be written nothing else is printed.
    const std::string message = errorFileText(code);
    if (!writeResult(path, [&message](const PutPiece& put) { return put(message); }, out)) return false;
    out << errorStdoutText(code);
    return true;
}

bool intArrayToCSV(std::span<const std::int64_t> ids, const std::string& path, std::ostream& out) {
    // A million IDs are some 7 MB of text: spelt and written a piece at a
    // time through one small buffer, never held whole beside the IDs.
    const auto pieces = [ids](const PutPiece& put) {
        constexpr std::size_t kIdsPerPiece = 8192;
        std::string piece;
        for (std::size_t start = 0; start < ids.size(); start += kIdsPerPiece) {
            piece.clear();
            if (start > 0) piece.push_back(',');
            appendIdList(piece, ids.subspan(start, std::min(kIdsPerPiece, ids.size() - start)));
            if (const int error = put(piece); error != 0) return error;
        }
        return 0;
    };
    return writeResult(path, pieces, out);
}

}  // namespace vantor
