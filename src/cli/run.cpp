#include "cli/run.h"

#include <memory>
#include <new>

#include "cli/arguments.h"
#include "cli/filter_rewrites.h"
#include "cli/library.h"
#include "filter/expansion.h"
#include "filter/query_sql.h"
#include "filter/tokenizer.h"
#include "report/result_file.h"
#include "report/run_error.h"
#include "rotate/rotation.h"
#include "score/math_filter.h"
#include "select/selection.h"
#include "text/toolkit.h"

namespace vantor {
namespace {

std::vector<int> rotate(const Arguments& args, const std::string& query, RunEnvironment& env) {
    RotationRequest request;
    request.queryFilter = query;
    request.songCount = args.songCount;
    request.removeRepeats = args.removeRepeatsFlag == 1;
    request.window = args.window;
    request.workDir = env.workDir;
    return rotatePlaylists(request, env.out);
}

std::vector<int> selectFromLibrary(const Arguments& args, std::string query, std::string math,
                                   RunEnvironment& env) {
    rewriteStarEqualities(query);
    env.out << "initial sqlfilter: " << query << "\n";

    std::string expandedQuery = easyFormulaToFullRedone(query);
    math = easyFormulaToFullRedone(math);
    rewriteMathRating(math);

    const std::string sortSql = sqlSortFilter(args.sortFilter);
    expandedQuery += sortSql;
    env.out << "sqlfilter: " << expandedQuery << "_\n";
    env.out << "sortfilter: " << args.sortFilter << "_\n";
    env.out << "mathfilter: " << math << "_\n";

    env.rng.seed(env.now());

    const LibraryInfo library = readLibraryInfo(args.dbPath, sortSql);
    const std::string today = readDayNumberText(args.dbPath);
    const bool mathIsOne = math == "1";

    const std::string condition = query2sql2(expandedQuery, today, anyfieldSql(library.columns));
    env.out << "**************SQL Query Out: " << condition << "\n\n";

    const TokenList tokens = exptokenize2(math, today);
    env.out << "toki: " << tokens.tokens.size() << "\n";
    auto scorer = std::make_shared<MathFilter>(tokens);  // classifies now: unknown names end the run here

    SelectionRequest request;
    request.dbPath = args.dbPath;
    request.condition = condition;
    request.sortFilter = sortSql;
    request.mode = args.mode;
    request.songCount = args.songCount;
    request.removeRepeats = args.removeRepeatsFlag == 1;
    request.window = args.window;
    request.librarySize = library.size;
    request.columns = library.columns;
    if (!mathIsOne) {
        request.score = [scorer](const SongRow& row) { return scorer->score(row); };
        request.scoreCodes = scorer->columnsRead();
    }
    return runSelection(request, env.rng);
}

}  // namespace

int run(int argc, const char* const* argv, RunEnvironment& env) {
    env.rng.seed(env.now());
    echoArguments(argc, argv, env.out);
    const auto parsed = parseArguments(argc, argv);
    if (!parsed) return 2;
    const Arguments& args = *parsed;
    env.out << "Unlock: " << args.window << "\n";

    try {
        std::string math = args.mathFilter;
        rewriteMathFilterAsTyped(math);
        std::string query = args.queryFilter;
        normaliseQueryFilter(query);

        const std::vector<int> ids = contains(query, "rotate(") ? rotate(args, query, env)
                                                                : selectFromLibrary(args, query, math, env);
        intArrayToCSV(ids, args.resultPath, env.out);
    } catch (const RunError& e) {
        env.err << "vantor: " << e.what() << "\n";
        programerror(e.code(), args.resultPath, env.out);
    } catch (const std::bad_alloc&) {
        env.err << "vantor: out of memory\n";
        programerror(code::outOfMemory, args.resultPath, env.out);
    }
    return 0;
}

}  // namespace vantor
