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
    // One read of the known size; whatever the size did not cover (a file
    // still growing, or one without a size) is read on to its end.
    std::string content;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec) {
        content.resize(static_cast<std::size_t>(size));
        in.read(content.data(), static_cast<std::streamsize>(content.size()));
        content.resize(static_cast<std::size_t>(in.gcount()));
        if (!in) return content;
    }
    content.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return content;
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
