// Printing the listing. Its format is for people; the result file stays the
// only thing a program reads.
#include "output/listing.h"

#include <locale>
#include <sstream>

namespace vantor {
namespace {

constexpr const char* kEnDash = "\xE2\x80\x93";

std::string twoDigits(std::int64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); }

std::string scoreText(double score) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << score;
    return text.str();
}

}  // namespace

std::string lengthText(std::optional<std::int64_t> seconds) {
    if (!seconds) return "-:--";
    const std::int64_t s = *seconds % 60, m = *seconds / 60 % 60, h = *seconds / 3600;
    if (h == 0) return std::to_string(m) + ":" + twoDigits(s);
    return std::to_string(h) + ":" + twoDigits(m) + ":" + twoDigits(s);
}

void printListing(std::span<const std::int64_t> ids, const SongTable& songs,
                  const std::unordered_map<std::int64_t, double>& scores, std::ostream& out) {
    for (const std::int64_t id : ids) {
        out << id << '\t';
        if (const auto song = songs.find(id); song != songs.end()) {
            out << songName(song->second, std::string(" ") + kEnDash + " ") << '\t' << lengthText(song->second.seconds);
        } else {
            out << "(not in the library)\t" << lengthText(std::nullopt);
        }
        if (const auto score = scores.find(id); score != scores.end()) out << '\t' << scoreText(score->second);
        out << '\n';
    }
}

}  // namespace vantor
