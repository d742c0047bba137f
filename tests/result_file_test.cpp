#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "harness.h"
#include "report/result_file.h"

using namespace vantor;

namespace {

using vantor::testing::slurp;

class ResultFile : public ::testing::Test {
protected:
    vantor::testing::TempDir scratch;
    std::filesystem::path dir = scratch.path();
    std::string path = (dir / "out.txt").string();
};

}  // namespace

TEST_F(ResultFile, EveryMessageByteForByte) {
    const std::string db =
        "DATABASE OPENING ERROR: Please press F4 to retry a few times (especially when MediaMonkey has "
        "finished accessing the DB). If this error persists, please contact me with bug report ";
    struct Case { int code; std::string file; std::string stdoutText; };
    const Case cases[] = {
        {-1, "ERROR: Field in Math Filter not recognized", "ERROR: Field in Math Filter not recognized"},
        {2, "ERROR: Please edit Query Filter", "ERROR: Please edit Query Filter"},
        {3, "ERROR: Please edit Math Filter", "ERROR: Please edit Math Filter"},
        {5, "ERROR: Please edit Sort Field Filter.", "ERROR: Please edit Sort Field Filter."},
        {6, "ERROR: A VNT playlist name you entered doesn't exist.",
         "ERROR: A VNT playlist name you entered doesn't exist."},
        {1, db + "1", db},
        {514, db + "514", db},
        {8514, db + "8514", db},
        {-7, db + "-7", db},
    };
    for (const auto& c : cases) {
        std::ofstream(path) << "12,7,301";  // an earlier run's result is replaced
        std::ostringstream out;
        EXPECT_TRUE(programerror(c.code, path, out));
        EXPECT_EQ(slurp(path), c.file) << c.code;
        EXPECT_EQ(out.str(), c.stdoutText) << c.code;
    }
}

TEST_F(ResultFile, IdListsAreOneLineWithoutBreak) {
    struct Case { std::vector<std::int64_t> ids; std::string file; };
    // Long enough to be written in several pieces, with IDs of every width
    // (the extremes among them) wherever a piece may end.
    const auto longList = [](int n) {
        Case c;
        for (int i = 0; i < n; ++i) {
            const std::int64_t id = i % 7 == 3   ? INT64_MIN + i
                                    : i % 5 == 1 ? INT64_MAX - i
                                                 : std::int64_t{i} * (i % 2 ? -1 : 1);
            c.ids.push_back(id);
            c.file += (i > 0 ? "," : "") + std::to_string(id);
        }
        return c;
    };
    const Case cases[] = {{{12, 7, 301}, "12,7,301"},
                          {{42}, "42"},
                          {{5, -3}, "5,-3"},
                          {{}, ""},
                          // 64-bit IDs are written whole, the extremes included.
                          {{2147483648, 9007199254740993, INT64_MAX, INT64_MIN},
                           "2147483648,9007199254740993,9223372036854775807,-9223372036854775808"},
                          longList(20000)};
    for (const auto& c : cases) {
        std::ofstream(path) << "old content";
        std::ostringstream out;
        EXPECT_TRUE(intArrayToCSV(c.ids, path, out));
        EXPECT_EQ(slurp(path), c.file);
        EXPECT_EQ(out.str(), "");
    }
    const auto fresh = (dir / "fresh.txt").string();
    std::ostringstream out;
    intArrayToCSV({}, fresh, out);
    EXPECT_TRUE(std::filesystem::exists(fresh));
    EXPECT_EQ(slurp(fresh), "");
}

TEST_F(ResultFile, UnwritablePathSaysSoAndWritesNothing) {
    const auto bad = (dir / "missing-folder" / "out.txt").string();
    std::ostringstream out1, out2;
    EXPECT_FALSE(programerror(3, bad, out1));
    EXPECT_EQ(out1.str(), "Can't write file");
    EXPECT_FALSE(intArrayToCSV(std::vector<std::int64_t>{1}, bad, out2));
    EXPECT_EQ(out2.str(), "Can't write file");
    EXPECT_FALSE(std::filesystem::exists(bad));
}

// The result file is replaced by a new file beside it: a link keeps leading
// there, the file keeps its own permission bits, and nothing else is left.
TEST_F(ResultFile, ReplacesALinksTargetAndKeepsItsMode) {
    if (vantor::testing::kOnWindows) GTEST_SKIP() << vantor::testing::windows::kNoPermissionBits;
    namespace fs = std::filesystem;
    fs::create_directories(dir / "lists");
    const auto target = dir / "lists" / "result.txt";
    std::ofstream(target) << "1,2,3";
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("lists/result.txt", dir / "link.txt");
    std::ostringstream out;
    EXPECT_TRUE(intArrayToCSV(std::vector<std::int64_t>{4, 5}, (dir / "link.txt").string(), out));
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_EQ(slurp(target), "4,5");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    // A new file gets what a plain fopen would give it: 0666 less the umask.
    const unsigned mask = vantor::testing::currentUmask();
    EXPECT_TRUE(intArrayToCSV(std::vector<std::int64_t>{6}, (dir / "lists" / "new.txt").string(), out));
    EXPECT_EQ(static_cast<unsigned>(fs::status(dir / "lists" / "new.txt").permissions()), 0666 & ~mask);

    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir / "lists")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"new.txt", "result.txt"}));
    EXPECT_EQ(out.str(), "");
}
