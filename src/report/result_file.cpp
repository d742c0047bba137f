// The result file's two writers and the messages of the error codes.
#include "report/result_file.h"

#include <algorithm>

#include "support/whole_file.h"
#include "text/id_list.h"

namespace vantor {
namespace {

constexpr const char* kDatabaseMessage =
    "DATABASE OPENING ERROR: Please press F4 to retry a few times (especially when MediaMonkey "
    "has finished accessing the DB). If this error persists, please contact me with bug report ";

const char* ownMessage(int code) {
    switch (code) {
        case -1: return "ERROR: Field in Math Filter not recognized";
        case 2: return "ERROR: Please edit Query Filter";
        case 3: return "ERROR: Please edit Math Filter";
        case 5: return "ERROR: Please edit Sort Field Filter.";
        case 6: return "ERROR: A VNT playlist name you entered doesn't exist.";
        default: return nullptr;
    }
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
std::string errorStdoutText(int code) {
    const char* own = ownMessage(code);
    return own != nullptr ? own : kDatabaseMessage;
}

}  // namespace

std::string errorFileText(int code) {
    const char* own = ownMessage(code);
    return own != nullptr ? std::string(own) : kDatabaseMessage + std::to_string(code);
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
