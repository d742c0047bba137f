// Writing the M3U playlist. CR LF because the paths are the Windows host's
// and its players write it so; players elsewhere read it as well. No
// byte-order mark: players that look for "#EXTM3U" at the first byte would
// miss it.
#include "output/m3u.h"

#include <unordered_set>

#include "report/result_path.h"
#include "support/whole_file.h"

namespace vantor {
namespace {

constexpr const char* kLineEnd = "\r\n";

}  // namespace

std::string m3uText(std::span<const std::int64_t> ids, const SongTable& songs, std::ostream& err) {
    std::string text = std::string("#EXTM3U") + kLineEnd;
    std::unordered_set<std::int64_t> told;  // a song twice in the list is told of once
    for (const std::int64_t id : ids) {
        const auto found = songs.find(id);
        if (found == songs.end()) continue;
        const ChosenSong& song = found->second;
        const bool tell = told.insert(id).second;
        if (song.path.empty() || song.path.find_first_of("\r\n") != std::string::npos) {
            // An entry is two lines: a song without a one-line path has none.
            if (tell) {
                err << "vantor: song " << id << (song.path.empty() ? " has no file path" : "'s file path holds a line break")
                    << ": it is left out of the M3U\n";
            }
            continue;
        }
        if (song.driveUnknown && tell) {
            err << "vantor: song " << id << "'s media names no drive: its path " << song.path
                << " is written to the M3U as stored\n";
        }
        text += "#EXTINF:" + std::to_string(song.seconds.value_or(-1)) + "," + songName(song, " - ") + kLineEnd;
        text += song.path + kLineEnd;
    }
    return text;
}

bool writeM3u(const std::string& path, const std::string& libraryPath, std::span<const std::int64_t> ids,
              const SongTable& songs, std::ostream& err) {
    // The library is the host's: a playlist path that names it or a file
    // beside it is refused as the result file's would be.
    if (const std::optional<std::string> named = libraryFileNamed(path, libraryPath)) {
        err << "vantor: cannot write the M3U file " << path << ": it is " << *named << "; it is left as it is\n";
        return false;
    }
    const FileWrite write = writeWholeFile(path, m3uText(ids, songs, err));
    if (!write.written) err << "vantor: cannot write the M3U file " << path << ": " << write.failure << "\n";
    return write.written;
}

}  // namespace vantor
