#include "support/files.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace vantor {

std::optional<std::string> readWholeFile(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vantor

namespace vantor {

std::string readfile(const std::string& path, std::ostream& out) {
    return readfile(path, path, out);
}

std::string readfile(const std::string& path, const std::string& shownAs, std::ostream& out) {
    if (auto content = readWholeFile(path)) return std::move(*content);
    out << "\n*** Can't open file: " << shownAs << " ***\n";
    return "end";
}

}  // namespace vantor
