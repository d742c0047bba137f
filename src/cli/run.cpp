#include "cli/run.h"

#include <filesystem>
#include <memory>
#include <new>
#include <optional>

#include "cli/arguments.h"
#include "cli/library.h"
#include "db/library_file.h"
#include "filter/query_sql.h"
#include "filter/rewrites.h"
#include "report/result_file.h"
#include "report/result_path.h"
#include "report/run_error.h"
#include "rotate/rotation.h"
#include "score/math_filter.h"
#include "score/tokenizer.h"
#include "select/selection.h"

namespace vantor {
namespace {

// The options that shape the list, as the selection and the rotation read them.
SelectionRules rulesOf(const Options& options) {
    SelectionRules rules;
    rules.distinct = options.distinct;
    if (options.minutes) rules.maxLengthMs = std::int64_t{*options.minutes} * 60000;
    rules.maxPerArtist = options.maxPerArtist;
    rules.artistGap = options.artistGap;
    return rules;
}

std::vector<std::int64_t> rotate(const Arguments& args, const std::string& query, RunEnvironment& env,
                                 const Options& options) {
    RotationRequest request;
    request.queryFilter = query;
    request.songCount = args.songCount;
    request.removeRepeats = args.removeRepeatsFlag == 1;
    request.window = args.window;
    request.workDir = env.workDir;
    request.reasons = &env.err;
    request.rules = rulesOf(options);
    request.libraryPath = args.dbPath;
    return rotatePlaylists(request, env.out);
}

SelectionOutcome selectFromLibrary(const Arguments& args, const FilterStages& filters, RunEnvironment& env,
                                   const Options& options) {
    env.out << "initial sqlfilter: " << filters.initialQuery << "\n";
    std::string expandedQuery = filters.expandedQuery;
    std::string math = filters.math;

    const std::string sortSql = sqlSortFilter(args.sortFilter);
    expandedQuery += sortSql;
    env.out << "sqlfilter: " << expandedQuery << "_\n";
    env.out << "sortfilter: " << args.sortFilter << "_\n";
    env.out << "mathfilter: " << math << "_\n";

    env.rng.seed(fmix32(env.now()));

    // Every connection of the run finds its file through this; a private
    // copy it may make goes with it, whatever way the run ends.
    db::LibraryFile libraryFile(args.dbPath);
    const LibraryInfo library = readLibraryInfo(libraryFile, sortSql);
    const std::string today = readDayNumberText(libraryFile);
    const bool mathIsOne = math == "1";

    const std::string condition = query2sql2(expandedQuery, today, anyfieldSql(library.columns));
    env.out << "**************SQL Query Out: " << condition << "\n\n";

    const TokenList tokens = exptokenize2(math, today);
    env.out << "toki: " << tokens.tokens.size() << "\n";
    auto scorer = std::make_shared<MathFilter>(tokens);  // classifies now: unknown names end the run here

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
    request.rules = rulesOf(options);
    request.keepScores = options.show;
    if (!mathIsOne) {
        request.score = [scorer](const SongRow& row) { return scorer->score(row); };
        request.scoreCodes = scorer->columnsRead();
    }
    return runSelection(request, env.rng);
}

// Standard output only says "Can't write file"; this says which and why.
void reportUnwritable(const std::string& path, RunEnvironment& env) {
    env.err << "vantor: cannot write the result file " << path << ": " << resultWriteFailure() << "\n";
}

// Replacing the library or one of its files would destroy the host's data: a
// result path that names one is treated as one that cannot be written.
bool resultIsTheLibrary(const Arguments& args, RunEnvironment& env) {
    const std::optional<std::string> named = libraryFileNamed(args.resultPath, args.dbPath);
    if (!named) return false;
    env.out << "Can't write file";
    env.err << "vantor: the result file " << args.resultPath << " is " << *named << "; it is left as it is\n";
    return true;
}

void writeIds(const std::vector<std::int64_t>& ids, const Arguments& args, RunEnvironment& env) {
    if (resultIsTheLibrary(args, env)) return;
    if (!intArrayToCSV(ids, args.resultPath, env.out)) reportUnwritable(args.resultPath, env);
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
    env.out << "Unlock: " << args.window << "\n";

    try {
        const FilterStages filters = prepareFilters(args.queryFilter, args.mathFilter);
        const SelectionOutcome outcome = filters.rotation ? SelectionOutcome{rotate(args, filters.query, env, options), {}}
                                                          : selectFromLibrary(args, filters, env, options);
        writeIds(outcome.ids, args, env);
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
