#include "report/result_file.h"

#include <charconv>
#include <fstream>

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

// Opens the result file for a whole new content, or says why not.
bool writeResult(const std::string& path, const std::string& content, std::ostream& out) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        out << "Can't write file";
        return false;
    }
    file << content;
    return true;
}

}  // namespace

std::string errorStdoutText(int code) {
    const char* own = ownMessage(code);
    return own != nullptr ? own : kDatabaseMessage;
}

std::string errorFileText(int code) {
    const char* own = ownMessage(code);
    return own != nullptr ? std::string(own) : kDatabaseMessage + std::to_string(code);
}

bool programerror(int code, const std::string& path, std::ostream& out) {
    // Open first: when the file cannot be written nothing else is printed.
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        out << "Can't write file";
        return false;
    }
    out << errorStdoutText(code);
    file << errorFileText(code);
    return true;
}

bool intArrayToCSV(std::span<const std::int64_t> ids, const std::string& path, std::ostream& out) {
    std::string line;
    line.reserve(ids.size() * 8);
    char digits[24];  // INT64_MIN's 20 characters
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0) line.push_back(',');
        line.append(digits, std::to_chars(digits, digits + sizeof digits, ids[i]).ptr);
    }
    return writeResult(path, line, out);
}

}  // namespace vantor
