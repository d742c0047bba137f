// Paths past MAX_PATH (260 characters), and past the 1,040 bytes of UTF-8 at
// which SQLite's plain Windows file layer cuts a full path: the library, the
// result file, the M3U file, the ID-list files, and a library with a hot
// journal, copied from that deep into the private folder and recovered.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "db_test_support.h"
#include "demolib/demolib.h"
#include "harness.h"
#include "platform/paths.h"

using namespace vantor::testing;
using vantor::platform::nativePath;
using vantor::platform::utf8Path;

namespace {

// Whether Windows opens paths past MAX_PATH for a program that declares it
// can take them: Wine always does; Windows 10 and later when the system's
// long-path setting is on.
bool longPathsAllowed() {
    if (underWine()) return true;
    DWORD enabled = 0;
    DWORD size = sizeof enabled;
    return RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\FileSystem", L"LongPathsEnabled",
                        RRF_RT_REG_DWORD, nullptr, &enabled, &size) == ERROR_SUCCESS &&
           enabled == 1;
}

// A folder under `base` nested until its full path passes both limits, in
// the names a user may give folders (about 2 bytes of UTF-8 a character);
// removed with all it holds when it goes, before the TempDir around it,
// whose std::filesystem cannot list folders that deep (MinGW's directory
// listing stops at MAX_PATH).
class DeepFolder {
public:
    explicit DeepFolder(const fs::path& base) : path_(base) {
        for (int level = 0; path_.native().size() < 300 || utf8Path(path_).size() < 1100; ++level) {
            path_ /= nativePath(std::to_string(level) + " Списки ♫ 結果 Списки ♫ 結果 Списки ♫ 結果");
            if (level == 0) top_ = path_;
        }
        fs::create_directories(path_);
    }
    ~DeepFolder() { removeTree(top_.native()); }
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / nativePath(name); }

private:
    // Through the "\\?\" names, which Windows takes at any length.
    static void removeTree(const std::wstring& folder) {
        WIN32_FIND_DATAW found{};
        const HANDLE listing = FindFirstFileW((L"\\\\?\\" + folder + L"\\*").c_str(), &found);
        if (listing != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                    removeTree(folder + L"\\" + name);
                } else {
                    DeleteFileW((L"\\\\?\\" + folder + L"\\" + name).c_str());
                }
            } while (FindNextFileW(listing, &found));
            FindClose(listing);
        }
        RemoveDirectoryW((L"\\\\?\\" + folder).c_str());
    }

    fs::path path_, top_;
};

// Three rock songs, 1 to 3, in a UTF-8 library at `path`.
void threeRockSongs(const std::string& path) {
    using vantor::demo::Value;
    std::vector<vantor::demo::FixtureSong> songs;
    for (std::int64_t id = 1; id <= 3; ++id) {
        songs.push_back({id,
                         {{"Artist", Value(std::string("Isaac Albéniz"))},
                          {"SongTitle", Value("Asturias " + std::to_string(id))},
                          {"SongPath", Value("C:\\Music\\" + std::to_string(id) + ".mp3")},
                          {"Genre", Value(std::string("Rock"))}}});
    }
    vantor::demo::createLibrary(path, {.layout = vantor::demo::Layout::Classic}, songs);
}

}  // namespace

TEST(LongPaths, LibraryResultPlaylistAndListsBeyondMaxPath) {
    if (!longPathsAllowed()) GTEST_SKIP() << "Windows: long paths are off (the policy Enable Win32 long paths)";
    TempDir dir;
    const DeepFolder deep(dir.path());
    // The test's own SQLite would cut the deep name: the library is made near and copied.
    threeRockSongs(utf8Path(dir / "near.db"));
    fs::copy_file(dir / "near.db", deep / "lib.db");
    const std::string lib = utf8Path(deep / "lib.db"), result = utf8Path(deep / "result.txt");

    const ProcessResult chosen =
        runBinary({"--m3u", utf8Path(deep / "list.m3u"), lib, "genre=rock", "ORDER BY ID", "1", "0", "0", "0", result},
                  dir.path());
    EXPECT_EQ(chosen.status, 0);
    EXPECT_EQ(readOnce(deep / "result.txt"), "1,2,3") << chosen.err;
    EXPECT_NE(readOnce(deep / "list.m3u").find("C:\\Music\\3.mp3"), std::string::npos) << chosen.err;

    // A rotation whose list file lies that deep below the working folder.
    const std::string listName = utf8Path(fs::relative(deep.path(), dir.path()) / "node3");
    spit(dir / "vantor.ini", listName + "_name=Rock\r\n");
    spit(deep / "node3", "3,1");
    const ProcessResult dealt = runBinary({lib, "rotate(Rock)", "", "1", "0", "4", "0", result}, dir.path());
    EXPECT_EQ(readOnce(deep / "result.txt"), "3,1,3,1") << dealt.out << dealt.err;
}

TEST(LongPaths, LibraryWithAHotJournalIsCopiedAndRecovered) {
    if (!longPathsAllowed()) GTEST_SKIP() << "Windows: long paths are off (the policy Enable Win32 long paths)";
    TempDir dir;
    const DeepFolder deep(dir.path());
    const std::string nearby = utf8Path(dir / "near.db");
    threeRockSongs(nearby);
    leaveHotJournal(nearby, "DELETE FROM songs; CREATE TABLE junk(x);"
                          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<2000)"
                          " INSERT INTO junk SELECT randomblob(600) FROM n;");
    fs::copy_file(dir / "near.db", deep / "lib.db");
    fs::copy_file(dir / "near.db-journal", deep / "lib.db-journal");
    const std::string journal = slurp(deep / "lib.db-journal");

    const ProcessResult p =
        runBinary({utf8Path(deep / "lib.db"), "genre=rock", "ORDER BY ID", "1", "0", "0", "0", utf8Path(dir / "r.txt")},
                  dir.path());
    EXPECT_EQ(readOnce(dir / "r.txt"), "1,2,3") << p.err;
    EXPECT_EQ(slurp(deep / "lib.db-journal"), journal);  // the host's journal, untouched
}
