// Files that are no plain files, through the built binary: each system's odd
// files (tests/platform: a FIFO, a folder, a device or a socket on Linux; a
// folder or a device name on Windows) as the library, as vantor.ini, as a
// list file or as the result path; list and settings files that cannot be
// read whole. Each ends at once with that place's message, never a hang, a
// crash or a blow-up.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "e2e_library.h"
#include "harness.h"
#include "odd_files.h"

using namespace vantor::testing;

namespace {

const std::string kNoSuchPlaylist = "ERROR: A VNT playlist name you entered doesn't exist.";

struct Outcome {
    int status = -1;
    std::string result;  // the result file; "<none>" when there is none
    std::string out, err;
};

// Runs with a generous timeout: a run that blocks is killed, and fails the test.
Outcome runWithTimeout(const TempDir& dir, const std::vector<std::string>& args, const fs::path& result,
                       std::size_t memoryLimit = 0) {
    RunOptions options;
    options.timeoutSeconds = 20;
    options.memoryLimitBytes = memoryLimit;
    const ProcessResult p = runBinary(args, dir.path(), options);
    return {p.status, fs::is_regular_file(result) ? slurp(result) : "<none>", p.out, p.err};
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) names.insert(entry.path().string());
    return names;
}

}  // namespace

// Each kind of odd file in each of the four places.
TEST(OddFiles, EachKindInEachPlaceEndsAtOnce) {
    for (const OddFile& k : oddFiles()) {
        SCOPED_TRACE(k.label);
        TempDir dir;
        const std::string lib = threeSongLibrary(dir.path());
        const fs::path result = dir / "result.txt";
        const auto runRock = [&](const std::string& db, const std::string& resultPath) {
            return runWithTimeout(dir, {db, "rotate(rock)", "", "1", "0", "3", "0", resultPath}, resultPath);
        };
        const std::string odd = k.make ? "odd.db" : k.name;
        {
            SCOPED_TRACE("as the library");
            if (k.make) k.make(dir / odd);
            const Outcome o = runWithTimeout(dir, {odd, "id>0", "", "1", "0", "3", "0", result.string()}, result);
            EXPECT_EQ(o.status, 0);
            EXPECT_EQ(o.result, kDatabaseMessage + "514");
            EXPECT_NE(o.err.find(std::string(k.reason) + ", not a library file"), std::string::npos) << o.err;
        }
        if (k.make) {
            SCOPED_TRACE("as vantor.ini");
            k.make(dir / "vantor.ini");
            const Outcome o = runRock(lib, result.string());
            EXPECT_EQ(o.status, 0);
            EXPECT_EQ(o.result, kNoSuchPlaylist);
            EXPECT_NE(o.out.find("\n*** Can't open file: vantor.ini ***\n"), std::string::npos) << o.out;
            EXPECT_NE(o.err.find("cannot read vantor.ini: " + std::string(k.reason)), std::string::npos) << o.err;
            fs::remove(dir / "vantor.ini");
        }
        {
            SCOPED_TRACE("as a list file");
            const std::string list = k.make ? "odd-list" : k.name;
            spit(dir / "vantor.ini", list + "_name=rock\r\n");
            if (k.make) k.make(dir / list);
            const Outcome o = runRock(lib, result.string());
            EXPECT_EQ(o.status, 0);
            EXPECT_EQ(o.result, "0,0,0");  // the text "end" holds one ID, 0
            EXPECT_NE(o.out.find("\n*** Can't open file: " + list + " ***\n"), std::string::npos) << o.out;
            EXPECT_NE(o.err.find("cannot read " + list + ": " + std::string(k.reason)), std::string::npos) << o.err;
        }
        {
            SCOPED_TRACE("as the result path");
            const fs::path oddResult = dir / (k.make ? "odd-result" : k.name);
            if (k.make) k.make(oddResult);
            const auto before = namesIn(dir.path());
            const Outcome o = runRock(lib, oddResult.string());
            EXPECT_EQ(o.status, 0);
            EXPECT_TRUE(o.out.ends_with("Can't write file")) << o.out;
            EXPECT_NE(o.err.find("cannot write the result file " + oddResult.string() + ": " + k.reason),
                      std::string::npos)
                << o.err;
            EXPECT_FALSE(fs::is_regular_file(oddResult));
            EXPECT_EQ(namesIn(dir.path()), before);  // nothing made, not even a temporary file
        }
    }
}

// List and settings files that are plain files but are too large to be read.
TEST(OddFiles, FilesPastTheBound) {
    TempDir dir;
    const fs::path result = dir / "result.txt";
    // Sparse: past the bound without taking the room.
    const auto makeHuge = [](const fs::path& path, const std::string& text) {
        spit(path, text);
        fs::resize_file(path, 257 * 1024 * 1024);
    };
    makeHuge(dir / "huge", "1,2,3");
    struct Case {
        const char* label;
        bool settingsFile;  // vantor.ini is past the bound; else the list file "huge" is
        std::string expected;
    };
    for (const Case& c : {Case{"a list file past the bound", false, "0,0,0"},
                          Case{"vantor.ini past the bound", true, kNoSuchPlaylist}}) {
        SCOPED_TRACE(c.label);
        if (c.settingsFile) {
            makeHuge(dir / "vantor.ini", "huge_name=rock\r\n");
        } else {
            spit(dir / "vantor.ini", "huge_name=rock\r\n");
        }
        const std::string shown = c.settingsFile ? "vantor.ini" : "huge";
        // Not read into memory first: a run under a 1 GB limit reads none of it.
        const Outcome o = runWithTimeout(dir, {"lib.db", "rotate(rock)", "", "1", "0", "3", "0", result.string()},
                                         result, kUnderAsan || kOnWindows ? 0 : 1024 * 1024 * 1024);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, c.expected);
        EXPECT_NE(o.out.find("\n*** Can't open file: " + shown + " ***\n"), std::string::npos) << o.out;
        EXPECT_NE(o.err.find("cannot read " + shown + ": it is larger than 256 MB"), std::string::npos) << o.err;
    }
}

// List files that are there but whose read fails, in each system's way.
TEST(OddFiles, ListFilesThatCannotBeRead) {
    TempDir dir;
    const fs::path result = dir / "result.txt";
    for (const UnreadableFile& u : unreadableFiles(dir.path())) {
        SCOPED_TRACE(u.label);
        if (!u.skip.empty()) GTEST_SKIP() << u.skip;
        spit(dir / "vantor.ini", u.name + "_name=rock\r\n");
        const Outcome o =
            runWithTimeout(dir, {"lib.db", "rotate(rock)", "", "1", "0", "3", "0", result.string()}, result);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, "0,0,0");  // the text "end" holds one ID, 0
        EXPECT_NE(o.out.find("\n*** Can't open file: " + u.name + " ***\n"), std::string::npos) << o.out;
        EXPECT_NE(o.err.find("cannot read " + u.name + ": " + u.reason), std::string::npos) << o.err;
    }
}
