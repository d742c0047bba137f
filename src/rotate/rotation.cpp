// Playlist rotation: names from "rotate(...)", their list files found through
// the settings file, IDs dealt one list after the other.
#include "rotate/rotation.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "db/library_file.h"
#include "platform/paths.h"
#include "report/run_error.h"
#include "rules/rules.h"
#include "rules/song_data.h"
#include "support/read_file.h"
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

// The deal: position p takes list p mod n, entry (p div n) mod its length,
// so each list restarts on its own when it runs out; it is walked round by
// round with a cursor per list, which is the same rule without two
// divisions per ID. Lists without IDs give up their turns (keeping the rule
// exact when none is empty); with no IDs at all nothing is dealt. With
// --distinct an ID already dealt is skipped: the list whose turn it is
// gives its next ID not dealt yet, and a list that has gone round once
// without one gives up its turns; the deal is used up when every list has.
class Dealer final : public SongSource {
public:
    Dealer(std::vector<std::vector<std::int64_t>> lists, bool distinct)
        : lists_(std::move(lists)), distinct_(distinct) {
        std::erase_if(lists_, [](const std::vector<std::int64_t>& list) { return list.empty(); });
        cursor_.assign(lists_.size(), 0);
        seen_.assign(lists_.size(), 0);
        usedUp_ = lists_.empty();
    }
    // Turn by turn from where the last batch stopped.
    std::vector<std::int64_t> more(std::size_t n) override {
        std::vector<std::int64_t> ids;
        // Reserved when every turn deals: zeroing megabytes only to
        // overwrite them costs as much as the deal itself.
        if (!distinct_ && !usedUp_) ids.reserve(n);
        while (ids.size() < n && !usedUp_) {
            if (distinct_) {
                dealNotDealtYet(ids);
            } else {
                ids.push_back(lists_[k_][cursor_[k_]]);
                advance(k_);
            }
            if (++k_ == lists_.size()) k_ = 0;
        }
        return ids;
    }
    bool endless() const override { return !distinct_; }
    // Each ID once, in order: the rules' song data is read by it.
    std::vector<std::int64_t> pool() const override {
        std::vector<std::int64_t> pool;
        for (const auto& list : lists_) pool.insert(pool.end(), list.begin(), list.end());
        std::sort(pool.begin(), pool.end());
        pool.erase(std::unique(pool.begin(), pool.end()), pool.end());
        return pool;
    }

private:
    void advance(std::size_t k) {
        if (++cursor_[k] == lists_[k].size()) cursor_[k] = 0;
    }
    // List k_'s turn under --distinct: its next ID not dealt yet, if any.
    void dealNotDealtYet(std::vector<std::int64_t>& ids) {
        const std::vector<std::int64_t>& list = lists_[k_];
        while (seen_[k_] < list.size()) {
            const std::int64_t id = list[cursor_[k_]];
            advance(k_);
            if (++seen_[k_] == list.size()) ++spent_;
            if (dealt_.insert(id).second) {
                ids.push_back(id);
                break;
            }
        }
        usedUp_ = spent_ == lists_.size();
    }

    std::vector<std::vector<std::int64_t>> lists_;
    std::vector<std::size_t> cursor_;
    std::vector<std::size_t> seen_;  // how many of the list's entries were looked at (--distinct)
    std::size_t spent_ = 0;          // lists that have gone round once (--distinct)
    std::size_t k_ = 0;
    bool distinct_;
    std::unordered_set<std::int64_t> dealt_;
};

}  // namespace

// Empty names are dropped; blanks stay, since the user may have typed them
// into the settings file too.
std::vector<std::string> playlistNames(std::string_view filter) {
    const std::string inside = chopLeftOf(chopRightOf(filter, "rotate("), ")");
    return isplit(inside, {","}, false);
}

// Names, settings, every list read, then the deal through the list rules.
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
        // A list deals its next song that may be dealt; one with none gives up its turns.
        std::erase_if(lists.back(), [&](std::int64_t id) { return !request.rules.admits(id); });
    }

    Dealer dealer(std::move(lists), request.rules.distinct);
    ListPlan plan;
    plan.rules = &request.rules;
    plan.count = request.songCount;
    plan.removeRepeats = request.removeRepeats;
    plan.window = request.window;
    plan.library = request.library;
    SongData data(request.rules.dataFields());
    return makeList(dealer, plan, data);
}

}  // namespace vantor
