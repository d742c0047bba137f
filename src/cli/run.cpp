// The run driver: one run from arguments to result file, and the one place
// a RunError becomes the result file's message.
#include "cli/run.h"

#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "choose/selection.h"
#include "cli/arguments.h"
#include "db/library_file.h"
#include "filter/calendar_years.h"
#include "filter/query_sql.h"
#include "filter/rewrites.h"
#include "library/playlists.h"
#include "library/sessions.h"
#include "output/listing.h"
#include "output/m3u.h"
#include "output/song_lookup.h"
#include "report/result_file.h"
#include "report/result_path.h"
#include "report/run_error.h"
#include "rotate/rotation.h"
#include "scan/row_scorer.h"
#include "score/math_filter.h"
#include "score/tokenizer.h"

namespace vantor {
namespace {

// The math filter as the selection's scorer: each thread of a split scan
// gets a filter of its own, made from the same tokens.
class MathScorer final : public RowScorer {
public:
    MathScorer(const TokenList& tokens, YearReading years) : tokens_(tokens), years_(years), filter_(tokens, years) {}
    double score(const SongRow& row) override { return filter_.score(row); }
    std::vector<int> fieldsRead() const override { return filter_.columnsRead(); }
    std::unique_ptr<RowScorer> another() const override { return std::make_unique<MathScorer>(tokens_, years_); }

private:
    TokenList tokens_;
    YearReading years_;
    MathFilter filter_;
};

// The driver's lines on standard output (the arguments' own are
// echoArguments'). The front end's logs show them as they are.
namespace line {
constexpr std::string_view unlock = "Unlock: ";  // followed by the repeat window
constexpr std::string_view initialQuery = "initial sqlfilter: ";
constexpr std::string_view query = "sqlfilter: ";
constexpr std::string_view sort = "sortfilter: ";
constexpr std::string_view math = "mathfilter: ";
constexpr std::string_view filterEnd = "_\n";  // closes the query, sort and math lines
constexpr std::string_view condition = "**************SQL Query Out: ";
constexpr std::string_view tokenCount = "toki: ";
}  // namespace line

// --show and --m3u read the chosen songs' tags after the selection.
bool wantsSongOutputs(const Options& options) { return options.show || options.m3u.has_value(); }

// What a run chose, and the chosen songs' data when an option asks for it.
struct Chosen {
    SelectionOutcome selection;
    SongTable songs;
};

// The options that shape the list, as the selection and the rotation read
// them; the songs they admit are read from `library` now, `notes` hearing of
// what may surprise.
SelectionRules rulesOf(const Options& options, db::LibraryFile& library, std::ostream& notes) {
    SelectionRules rules;
    rules.distinct = options.distinct;
    if (options.minutes) rules.maxLengthMs = std::int64_t{*options.minutes} * 60000;
    rules.maxPerArtist = options.maxPerArtist;
    rules.maxPerAlbum = options.maxPerAlbum;
    rules.artistGap = options.artistGap;
    rules.admission = playlistAdmission(library, options.inPlaylist, options.notInPlaylist, notes);
    return rules;
}

// The rotation branch: the playlists named in the query filter dealt in
// turn. The library is opened only for what the options read of its songs.
Chosen rotate(const Arguments& args, const std::string& query, RunEnvironment& env, const Options& options) {
    RotationRequest request;
    request.queryFilter = query;
    request.songCount = args.songCount;
    request.removeRepeats = args.removeRepeatsFlag == 1;
    request.window = args.window;
    request.workDir = env.workDir;
    request.reasons = &env.err;
    // Opened only when an option needs the songs' data or the playlists; the
    // readers share it, so a hot journal is recovered once.
    db::LibraryFile library(args.dbPath);
    request.library = &library;
    request.rules = rulesOf(options, library, env.err);
    Chosen chosen{{rotatePlaylists(request, env.out), {}}, {}};
    if (wantsSongOutputs(options)) chosen.songs = lookUpSongs(library, chosen.selection.ids);
    return chosen;
}

// The library branch: the front end's stdout lines, the count and date
// sessions, the SQL condition and the scorer, then the selection over the
// library. Every connection finds the library through one LibraryFile.
Chosen selectFromLibrary(const Arguments& args, const FilterStages& filters, RunEnvironment& env,
                         const Options& options) {
    env.out << line::initialQuery << filters.initialQuery << "\n";
    std::string expandedQuery = filters.expandedQuery;
    std::string math = filters.math;

    const std::string sortSql = sqlSortFilter(args.sortFilter);
    expandedQuery += sortSql;
    env.out << line::query << expandedQuery << line::filterEnd;
    env.out << line::sort << args.sortFilter << line::filterEnd;
    env.out << line::math << math << line::filterEnd;

    // Not a slip: the clock seeds the generator a second time (run() did
    // first). The front end's runs always have, and every draw of the modes
    // follows this seeding alone, so a run whose clock ticks in between
    // follows the later second, as it always did. A run with options gives
    // both seedings one value (withSeedClock), which --seed relies on.
    env.rng.seed(fmix32(env.now()));

    // Every connection of the run finds its file through this; a private
    // copy it may make goes with it, whatever way the run ends.
    db::LibraryFile libraryFile(args.dbPath);
    const bool mathIsOne = math == "1";
    // The library is asked whether it stores dates only when that changes
    // how a filter reads year: a library of plain years is read as always.
    const std::vector<YearComparison> calendarYears = calendarYearComparisons(filters.expandedQuery);
    const bool mathCalendarYear = !mathIsOne && mentionsYear(math) && !writtenForStoredDates(math);
    const LibraryInfo library = readLibraryInfo(libraryFile, sortSql, !calendarYears.empty() || mathCalendarYear);
    const std::string today = readDayNumberText(libraryFile);

    std::span<const YearComparison> calendarComparisons;
    if (library.storesDates) calendarComparisons = calendarYears;
    const std::string condition = query2sql2(expandedQuery, today, anyfieldSql(library.columns), calendarComparisons);
    env.out << line::condition << condition << "\n\n";

    const TokenList tokens = exptokenize2(math, today);
    env.out << line::tokenCount << tokens.tokens.size() << "\n";
    const YearReading years = library.storesDates && mathCalendarYear ? YearReading::Calendar : YearReading::Stored;
    auto scorer = std::make_shared<MathScorer>(tokens, years);  // classifies now: unknown names end the run here

    SelectionRequest request;
    request.library = &libraryFile;
    request.condition = condition;
    request.sortFilter = sortSql;
    request.mode = args.mode;
    request.songCount = args.songCount;
    request.removeRepeats = args.removeRepeatsFlag == 1;
    request.window = args.window;
    request.librarySize = library.size;
    request.columns = library.columns;
    request.rules = rulesOf(options, libraryFile, env.err);
    request.keepScores = options.show;
    request.threads = options.threads.value_or(0);
    if (!mathIsOne) {
        request.scorer = scorer;
    }
    Chosen chosen{runSelection(request, env.rng), {}};
    if (wantsSongOutputs(options)) chosen.songs = lookUpSongs(libraryFile, chosen.selection.ids);
    return chosen;
}

// Standard output only says unwritableNotice; this says which and why.
void reportUnwritable(const std::string& path, RunEnvironment& env) {
    env.err << "vantor: cannot write the result file " << path << ": " << resultWriteFailure() << "\n";
}

// Replacing the library or one of its files would destroy the host's data: a
// result path that names one is treated as one that cannot be written.
bool resultIsTheLibrary(const Arguments& args, RunEnvironment& env) {
    const std::optional<std::string> named = libraryFileNamed(args.resultPath, args.dbPath);
    if (!named) return false;
    env.out << unwritableNotice;
    env.err << "vantor: the result file " << args.resultPath << " is " << *named << "; it is left as it is\n";
    return true;
}

bool writeIds(const std::vector<std::int64_t>& ids, const Arguments& args, RunEnvironment& env) {
    if (resultIsTheLibrary(args, env)) return false;
    if (intArrayToCSV(ids, args.resultPath, env.out)) return true;
    reportUnwritable(args.resultPath, env);
    return false;
}

// The M3U playlist and the listing, once the IDs are in the result file.
void writeSongOutputs(const Chosen& chosen, const Arguments& args, const Options& options, RunEnvironment& env) {
    const std::vector<std::int64_t>& ids = chosen.selection.ids;
    reportMissingSongs(ids, chosen.songs, options.m3u.has_value(), env.err);
    if (options.m3u) writeM3u(*options.m3u, args.dbPath, ids, chosen.songs, env.err);
    if (options.show) printListing(ids, chosen.songs, chosen.selection.scores, env.out);
}

void writeError(int code, const Arguments& args, RunEnvironment& env) {
    if (resultIsTheLibrary(args, env)) return;
    if (!programerror(code, args.resultPath, env.out)) reportUnwritable(args.resultPath, env);
}

// The run's clock for seeding. The front end's runs read the clock at both
// seedings, as they always have. A run with options reads it once, or takes
// --seed N in its place, so both seedings get one value, which it tells on
// standard error: given back as --seed, it makes the same list again.
RunEnvironment withSeedClock(RunEnvironment& env, const Options& options) {
    RunEnvironment seeded = env;
    if (!options.any()) return seeded;
    const std::uint32_t seed = options.seed ? *options.seed : env.now();
    env.err << "vantor: seed " << seed << " (--seed " << seed << " makes this list again)\n";
    seeded.now = [seed] { return seed; };
    return seeded;
}

}  // namespace

std::uint32_t fmix32(std::uint32_t h) {
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    return h;
}

int run(int argc, const char* const* argv, RunEnvironment& caller, const Options& options) {
    RunEnvironment env = withSeedClock(caller, options);
    env.rng.seed(fmix32(env.now()));
    echoArguments(argc, argv, env.out);
    const auto parsed = parseArguments(argc, argv);
    if (!parsed) return 2;
    const Arguments& args = *parsed;
    // "Unlock" is the front end's name for the repeat window (the ninth
    // argument, 0 when absent): this line prints the window, nothing else.
    env.out << line::unlock << args.window << "\n";

    try {
        const FilterStages filters = prepareFilters(args.queryFilter, args.mathFilter);
        const Chosen chosen =
            filters.rotation ? rotate(args, filters.query, env, options) : selectFromLibrary(args, filters, env, options);
        if (writeIds(chosen.selection.ids, args, env)) {
            if (wantsSongOutputs(options)) writeSongOutputs(chosen, args, options, env);
        } else if (wantsSongOutputs(options)) {
            // Standard output must end with "Can't write file", and a playlist
            // would stand for a list the result file does not hold.
            env.err << "vantor: no M3U file and no listing, as the result file was not written\n";
        }
    } catch (const RunError& e) {
        env.err << "vantor: " << e.what() << "\n";
        writeError(e.code(), args, env);
    } catch (const std::bad_alloc&) {
        env.err << "vantor: out of memory\n";
        writeError(code::outOfMemory, args, env);
    }
    return 0;
}

}  // namespace vantor
