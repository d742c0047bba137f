// Playlist rotation: names from "rotate(...)", their list files found through
// the settings file, IDs dealt one list after the other.
#include "rotate/rotation.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/paths.h"
#include "report/run_error.h"
#include "support/files.h"
#include "select/repeats.h"
#include "text/file_text.h"
#include "text/toolkit.h"

namespace vantor {

namespace {

// The front end's files have always been read as C strings: a zero byte ends them.
void endAtZeroByte(std::string& text) {
    text.resize(std::min(text.find('\0'), text.size()));
}

// The list path of the first line that ends in "_name=" + name + CR, matched
// without regard to case. The path itself keeps its capitals: lower-casing
// keeps every position, so it is cut from the same place of the original text.
std::optional<std::string> listPathFor(const std::string& settings, const std::string& loweredSettings,
                                       const std::string& name) {
    const std::string key = join("_name=", name, "\r");
    if (!contains(loweredSettings, key)) return std::nullopt;
    const std::string beforeKey = chopLeftOf(loweredSettings, key);
    const std::string pathOnLine = chopRightOf(beforeKey, "\n");
    return settings.substr(beforeKey.size() - pathOnLine.size(), pathOnLine.size());
}

// A name from the settings file (UTF-8), relative to the working folder
// unless it is absolute, as UTF-8 again.
std::string inWorkDir(const std::filesystem::path& workDir, const std::string& name) {
    return platform::utf8Path(workDir / platform::nativePath(name));
}

// Opens the list by the path as written; lists that were only ever found by
// their lower-cased path keep working. One "Can't open file" line, naming the
// path as written, and only when neither can be opened; a file that is there
// but cannot be read is reported as it is, not looked for elsewhere.
std::string readListFile(const std::filesystem::path& workDir, const std::string& path, std::ostream& out,
                         std::ostream& err) {
    const std::string lowered = lowercased(path);
    FileText list = readFileText(inWorkDir(workDir, path));
    if (list.absent && lowered != path) list = readFileText(inWorkDir(workDir, lowered));
    return readfile(std::move(list), path, out, err);
}

// Reasons go to standard error when the caller gave one.
std::ostream& reasonsOf(const RotationRequest& request) {
    static std::ostream nowhere(nullptr);
    return request.reasons != nullptr ? *request.reasons : nowhere;
}

// Position p takes list p mod n, entry (p div n) mod its length, so each list
// restarts on its own when it runs out. Lists without IDs give up their turns
// (keeping the rule exact when none is empty); with no IDs at all nothing is dealt.
std::vector<std::int64_t> dealInTurn(std::vector<std::vector<std::int64_t>> lists, int songCount) {
    std::erase_if(lists, [](const std::vector<std::int64_t>& list) { return list.empty(); });
    if (songCount <= 0 || lists.empty()) return {};
    std::vector<std::int64_t> result(static_cast<std::size_t>(songCount));
    // Walked round by round with a cursor per list, which is the same rule
    // without two divisions per ID.
    std::vector<std::size_t> cursor(lists.size(), 0);
    std::size_t k = 0;
    for (std::int64_t& id : result) {
        const std::vector<std::int64_t>& list = lists[k];
        id = list[cursor[k]];
        if (++cursor[k] == list.size()) cursor[k] = 0;
        if (++k == lists.size()) k = 0;
    }
    return result;
}

}  // namespace

// Empty names are dropped; blanks stay, since the user may have typed them
// into the settings file too.
std::vector<std::string> playlistNames(std::string_view filter) {
    const std::string inside = chopLeftOf(chopRightOf(filter, "rotate("), ")");
    return isplit(inside, {","}, false);
}

std::vector<std::int64_t> rotatePlaylists(const RotationRequest& request, std::ostream& out) {
    const std::vector<std::string> names = playlistNames(request.queryFilter);

    std::string settings =
        fileTextToUtf8(readfile(inWorkDir(request.workDir, kSettingsFile), kSettingsFile, out, reasonsOf(request)));
    endAtZeroByte(settings);
    const std::string loweredSettings = lowercased(settings);

    // Every name is looked up and its file read before any ID is dealt, so a
    // missing name ends the run with nothing half-built.
    std::vector<std::vector<std::int64_t>> lists;
    lists.reserve(names.size());
    for (const std::string& name : names) {
        const std::optional<std::string> path = listPathFor(settings, loweredSettings, name);
        if (!path) {
            throw RunError(code::playlistName, "playlist \"" + name + "\" is not in " + kSettingsFile);
        }
        std::string text = fileTextToUtf8(readListFile(request.workDir, *path, out, reasonsOf(request)));
        endAtZeroByte(text);
        lists.push_back(nsplit(text, ','));
    }

    std::vector<std::int64_t> result = dealInTurn(std::move(lists), request.songCount);
    if (request.removeRepeats) result.resize(static_cast<std::size_t>(removedupes(result, request.window)));
    return result;
}

}  // namespace vantor
