// The result path against the library, through the built binary: a library
// named like an SQLite URI, result paths that name the library's files by
// any spelling, and a result file that is whole or absent when the disk is
// full, a reader polls it, or the folder allows no temporary file.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e_library.h"
#include "harness.h"

using namespace vantor::testing;

namespace {

const std::string kCantWrite = "Can't write file";

struct Outcome {
    int status = -1;
    std::string out, err;
};

Outcome runIn(const TempDir& dir, const std::vector<std::string>& args, const RunOptions& options = {}) {
    const ProcessResult p = runBinary(args, dir.path(), options);
    return {p.status, p.out, p.err};
}

// Everything in a folder but the harness's own files, by name.
std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// A rotation over one list of `ids` IDs from 100000 on; `count` of them dealt.
void writeRotationFiles(const fs::path& dir, int ids) {
    spit(dir / "vantor.ini", "big_name=Big\r\n");
    std::string list;
    for (int i = 0; i < ids; ++i) list += (i > 0 ? "," : "") + std::to_string(100000 + i);
    spit(dir / "big", list);
}

std::string dealt(int ids, int count) {
    std::string line;
    for (int i = 0; i < count; ++i) line += (i > 0 ? "," : "") + std::to_string(100000 + i % ids);
    return line;
}

}  // namespace

// A database argument that reads like an SQLite URI is a file of that very
// name: it reaches no other file, and the result never lands on a library.
TEST(LibraryNames, UriSpellingIsAPlainFileName) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path());
    const std::string before = slurp(lib);
    struct Case {
        const char* label;
        std::string db, result, expected;  // expected: the result file, or kCantWrite on stdout
    };
    std::vector<Case> cases = {
        // The library the URI would have meant is no library of this run, but it is a database all the same.
        {"URI onto the result path", "file:lib.db", "lib.db", kCantWrite},
        {"URI with a path", "file:./lib.db", "result.txt", kDatabaseMessage + "514"},
        {"URI with parameters", "file:lib.db?mode=ro&immutable=1", "result.txt", kDatabaseMessage + "514"},
    };
    std::set<std::string> names = {"lib.db", "result.txt"};
    // Windows: a colon in a file name names a stream of another file, so no
    // library can be called so there.
    if (!kOnWindows) {
        fs::copy_file(lib, dir / "file:named.db");
        cases.push_back({"a library whose name begins with file:", "file:named.db", "result.txt", "11,12,13"});
        names.insert("file:named.db");
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove(dir / "result.txt");
        const Outcome o = runIn(dir, {c.db, "id>0", "ORDER BY ID", "1", "0", "3", "0", c.result});
        EXPECT_EQ(o.status, 0);
        if (c.expected == kCantWrite) {
            EXPECT_TRUE(o.out.ends_with(kCantWrite)) << o.out.substr(o.out.size() - 100);
            EXPECT_NE(o.err.find("is an SQLite database"), std::string::npos) << o.err;
        } else {
            EXPECT_EQ(slurp(dir / c.result), c.expected) << o.err;
        }
        EXPECT_TRUE(slurp(lib) == before) << "the library changed";
    }
    EXPECT_EQ(namesIn(dir.path()), names);
}

// The library's journal, log and shared-memory file, by every spelling, are
// refused as result paths like the library itself, while a host is at work.
TEST(ResultPath, LibraryFilesAreRefusedByAnySpelling) {
    TempDir dir;
    const std::string lib = threeSongLibrary(dir.path(), "lib.db");
    const std::string wal = threeSongLibrary(dir.path(), "wal.db");
    threeSongLibrary(dir.path(), "quiet.db");
    // A writer mid-transaction: its journal holds the pages it must restore should it die.
    Writer rollbackHost(lib);
    rollbackHost.exec("BEGIN IMMEDIATE; DELETE FROM songs WHERE ID<13");
    // A host in WAL mode with a commit that is only in the log.
    Writer walHost(wal);
    walHost.exec("PRAGMA journal_mode=WAL; INSERT INTO songs(ID, Artist) VALUES(99, 'Logged')");
    ASSERT_TRUE(fs::exists(lib + "-journal") && fs::exists(wal + "-wal") && fs::exists(wal + "-shm"));
    fs::create_directories(dir / "sub");
    fs::create_hard_link(wal + "-shm", dir / "shm-hard-link");
    if (!kOnWindows) {
        fs::create_symlink("wal.db-wal", dir / "log-link");
        fs::create_symlink(dir / "lib.db-journal", dir / "sub" / "journal-link");
        fs::create_symlink("wal.db", dir / "db-link");
    }

    // The shared memory is left out: every reader of a WAL library writes its marks there.
    const std::vector<std::string> files = {lib, lib + "-journal", wal, wal + "-wal"};
    std::vector<std::string> before;
    for (const auto& f : files) before.push_back(slurp(f));

    struct Case {
        std::string db, result, why;
    };
    std::vector<Case> cases = {
        {"lib.db", "lib.db-journal", "is the library's rollback journal"},
        {"lib.db", "sub/../lib.db-journal", "is the library's rollback journal"},
        {"wal.db", "wal.db-wal", "is the library's write-ahead log"},
        {"wal.db", "wal.db-shm", "is the library's shared-memory file"},
        {"wal.db", "shm-hard-link", "is the library's shared-memory file"},
        // Not there now, but the library's own the moment a writer starts.
        {"quiet.db", "quiet.db-journal", "is the library's rollback journal"},
        {"quiet.db", "./quiet.db-wal", "is the library's write-ahead log"},
    };
    const std::vector<Case> linksOnLinux = {
        {"lib.db", (dir / "sub" / "journal-link").string(), "is the library's rollback journal"},
        {"wal.db", "log-link", "is the library's write-ahead log"},
        // SQLite names the side files after the file a link leads to.
        {"db-link", "wal.db-wal", "is the library's write-ahead log"},
        {"db-link", "wal.db", "is the library"},
    };
    // Windows opens a file by any case of its name, and by names that end in
    // dots or blanks or carry a stream suffix; "\" and "/" alike.
    const std::vector<Case> spellingsOnWindows = {
        {"lib.db", "LIB.DB-JOURNAL", "is the library's rollback journal"},
        {"LIB.db", "lib.db", "is the library"},
        {"lib.db", "sub\\..\\Lib.Db-Journal", "is the library's rollback journal"},
        {"wal.db", "Wal.DB-WAL. ", "is the library's write-ahead log"},
        {"wal.db", "wal.db-shm::$DATA", "is the library's shared-memory file"},
        {"wal.db", "WAL.DB:stream", "is the library"},
        {"quiet.db", "QUIET.DB-Journal", "is the library's rollback journal"},
        {"Quiet.DB", "quiet.db-wal..", "is the library's write-ahead log"},
    };
    const auto& extra = kOnWindows ? spellingsOnWindows : linksOnLinux;
    cases.insert(cases.end(), extra.begin(), extra.end());
    for (const Case& c : cases) {
        for (const std::string query : {"id>0", "artist='don't'"}) {  // IDs and an error alike
            SCOPED_TRACE(c.db + " -> " + c.result + ", " + query);
            const Outcome o = runIn(dir, {c.db, query, "", "1", "0", "3", "0", c.result});
            EXPECT_EQ(o.status, 0);
            EXPECT_TRUE(o.out.ends_with(kCantWrite)) << o.out.substr(o.out.size() - 100);
            EXPECT_NE(o.err.find("the result file " + c.result + " " + c.why + "; it is left as it is"),
                      std::string::npos)
                << o.err;
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) EXPECT_TRUE(slurp(files[i]) == before[i]) << files[i] << " changed";
    EXPECT_FALSE(fs::exists(dir / "quiet.db-journal"));
    EXPECT_FALSE(fs::exists(dir / "quiet.db-wal"));
    // The commit in the log and the writer's transaction are intact.
    rollbackHost.exec("ROLLBACK");
    EXPECT_EQ(runIn(dir, {"wal.db", "id=99", "", "1", "0", "3", "0", "found.txt"}).status, 0);
    EXPECT_EQ(slurp(dir / "found.txt"), "99");
}

// A write that fails (here: past the file-size limit) leaves no part of a
// list: the stale result is gone too, so it cannot pass as this run's.
TEST(WholeResultFile, FailedWriteLeavesNoPartialOrStaleFile) {
    if (kOnWindows) GTEST_SKIP() << windows::kNoFileSizeLimit;
    TempDir dir;
    writeRotationFiles(dir.path(), 2000);
    struct Case {
        const char* label;
        std::optional<std::string> earlier;
        const char* count;
        std::uint64_t sizeLimit;
    };
    // A long line is written a piece at a time: a failure after the first
    // pieces went out must take them back too.
    const Case cases[] = {
        {"no earlier result", std::nullopt, "2000", 4096},
        {"an earlier result", "7,8,9", "2000", 4096},
        {"an earlier result, failing after the first pieces", "7,8,9", "40000", 200000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove(dir / "result.txt");
        if (c.earlier) spit(dir / "result.txt", *c.earlier);
        const auto names = namesIn(dir.path());
        RunOptions fileSizeLimit;
        fileSizeLimit.fileSizeLimitBytes = c.sizeLimit;
        const Outcome o =
            runIn(dir, {"lib.db", "rotate(big)", "", "1", "0", c.count, "0", "result.txt"}, fileSizeLimit);
        EXPECT_EQ(o.status, 0);
        EXPECT_TRUE(o.out.ends_with(kCantWrite)) << o.out;
        EXPECT_NE(o.err.find("cannot write the result file result.txt: File too large"), std::string::npos) << o.err;
        EXPECT_FALSE(fs::exists(dir / "result.txt"));
        auto expectedNames = names;
        expectedNames.erase("result.txt");
        EXPECT_EQ(namesIn(dir.path()), expectedNames);  // no temporary file left behind
    }
}

// A reader polling the result file sees the earlier list or the new one,
// never an empty or cut one.
TEST(WholeResultFile, ReaderSeesTheOldListOrTheNewOne) {
    TempDir dir;
    writeRotationFiles(dir.path(), 1000);
    // A smaller list on Windows: there a replace waits (a second at most) for
    // the reader to close the file, and a slow read of a large one under a
    // loaded Wine could outlast that and send the run to its in-place write.
    const int counts[] = {kOnWindows ? 100000 : 1000000, kOnWindows ? 99999 : 999999};
    const std::set<std::string> whole = {dealt(1000, counts[0]), dealt(1000, counts[1])};
    spit(dir / "result.txt", dealt(1000, counts[1]));

    std::atomic<bool> done = false;
    std::atomic<int> reads = 0, torn = 0;
    std::thread reader([&] {
        while (!done) {
            if (whole.count(readOnce(dir / "result.txt")) == 0) ++torn;
            ++reads;
            // On Windows an open reader blocks the replace (under Wine whatever
            // it shares), so this one closes between reads, as a front end
            // polling the file does, and the run's retries find it closed.
            if (kOnWindows) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    for (int run = 0; run < 6; ++run) {
        const int count = counts[run % 2];
        runIn(dir, {"lib.db", "rotate(big)", "", "1", "0", std::to_string(count), "0", "result.txt"});
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_GT(reads, 6);
}

// Where no temporary file can be made, or it cannot replace the result
// file, the result file is written in place: whole, or emptied on failure.
TEST(WholeResultFile, WrittenInPlaceWhereNoTemporaryFileCanReplaceIt) {
    if (kOnWindows) GTEST_SKIP() << windows::kNoSetuid;
    if (!runningAsRoot()) GTEST_SKIP() << "needs root to run as another user";
    TempDir dir;
    writeRotationFiles(dir.path(), 2000);
    fs::create_directories(dir / "readonly");
    fs::create_directories(dir / "sticky");
    fs::create_directories(dir / "open");
    fs::permissions(dir / "open", fs::perms::all);
    fs::permissions(dir / "readonly", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir / "sticky", fs::perms::all | fs::perms::sticky_bit);
    const std::string five = dealt(2000, 5);
    const fs::perms everyone = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                               fs::perms::group_write | fs::perms::others_read | fs::perms::others_write;
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    struct Case {
        const char* label;
        std::string result;
        std::optional<fs::perms> existing;  // the earlier result file's mode, if there is one
        std::uint64_t sizeLimit;  // 0: none
        std::string count;
        std::string expected;  // the result file afterwards, "<none>" when there is none
        bool written;
    };
    const std::vector<Case> cases = {
        {"folder we may not write", "readonly/result.txt", everyone, 0, "5", five, true},
        // Another user's file in a sticky folder cannot be replaced, only written.
        {"another user's file in a sticky folder", "sticky/result.txt", everyone, 0, "5", five, true},
        // The cut list is taken back; the file cannot be removed, so it is left empty.
        {"folder we may not write, disk full", "readonly/result.txt", everyone, 4096, "2000", "", false},
        // A long line goes out in pieces, and is taken back whole however many went.
        {"folder we may not write, a long list", "readonly/result.txt", everyone, 0, "40000", dealt(2000, 40000),
         true},
        {"folder we may not write, disk full after the first pieces", "readonly/result.txt", everyone, 200000,
         "40000", "", false},
        {"folder we may not write, no file yet", "readonly/new.txt", std::nullopt, 0, "5", "<none>", false},
        // Replacing it would be possible, but a file we may not write is not ours to replace.
        {"a result file we may not write", "open/result.txt", readOnly, 0, "5", "7,8,9", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path result = dir / c.result;
        fs::remove(result);
        if (c.existing) {
            spit(result, "7,8,9");
            fs::permissions(result, *c.existing);
        }
        const std::uint64_t before = fileIdentity(result);
        const auto names = namesIn(result.parent_path());
        RunOptions options;
        options.fileSizeLimitBytes = c.sizeLimit;
        options.asNobody = true;
        const Outcome o = runIn(dir, {"lib.db", "rotate(big)", "", "1", "0", c.count, "0", c.result}, options);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.out.ends_with(kCantWrite), !c.written) << o.out << o.err;
        if (!c.written) {
            EXPECT_NE(o.err.find("cannot write the result file " + c.result), std::string::npos) << o.err;
        }
        EXPECT_EQ(fs::exists(result) ? slurp(result) : "<none>", c.expected);
        EXPECT_EQ(namesIn(result.parent_path()), names);  // no temporary file left behind
        if (c.existing) {
            EXPECT_EQ(fileIdentity(result), before);  // the same file, written in place
        }
    }
}

// Windows: a reader holding the result file open without sharing it for
// deletion blocks the replace. The run retries for a second, then writes the
// file in place, whole; a reader that does not share writing either, or the
// read-only attribute, leaves the file as it was.
TEST(WholeResultFile, HeldOpenOrReadOnlyOnWindows) {
    if (!kOnWindows) GTEST_SKIP() << "Linux: a reader never stops a rename, and root ignores read-only files";
    TempDir dir;
    writeRotationFiles(dir.path(), 2000);
    const fs::path result = dir / "result.txt";
    struct Case {
        const char* label;
        std::optional<bool> readerSharesWriting;  // none: no reader, the file is read-only
        std::string expected;
        bool written;
    };
    const std::vector<Case> cases = {
        {"a reader sharing writing, as the C runtime's fopen does", true, dealt(2000, 5), true},
        {"a reader sharing reading only", false, "7,8,9", false},
        {"the read-only attribute", std::nullopt, "7,8,9", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (fs::exists(result)) fs::permissions(result, fs::perms::owner_all);
        spit(result, "7,8,9");
        if (!c.readerSharesWriting) fs::permissions(result, fs::perms::owner_read);
        const std::uint64_t before = fileIdentity(result);
        const auto names = namesIn(dir.path());
        std::shared_ptr<void> reader = c.readerSharesWriting ? holdOpen(result, *c.readerSharesWriting) : nullptr;
        const auto start = std::chrono::steady_clock::now();
        const Outcome o = runIn(dir, {"lib.db", "rotate(big)", "", "1", "0", "5", "0", "result.txt"});
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        reader.reset();
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.out.ends_with(kCantWrite), !c.written) << o.out << o.err;
        if (!c.written) {
            EXPECT_NE(o.err.find("cannot write the result file result.txt"), std::string::npos) << o.err;
        }
        EXPECT_EQ(slurp(result), c.expected);
        EXPECT_EQ(fileIdentity(result), before);  // written in place, or not at all
        EXPECT_EQ(namesIn(dir.path()), names);    // no temporary file left behind
        if (c.readerSharesWriting) {
            EXPECT_GE(took.count(), 0.9);  // the replace was retried for a second first
        }
    }
    fs::permissions(result, fs::perms::owner_all);
}
