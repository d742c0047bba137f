// Playlist rotation through the built binary: vantor.ini and the ID-list
// files in the working directory, no database opened.
#include <gtest/gtest.h>

#include "harness.h"

using namespace vantor::testing;

namespace {

class RotationRuns : public ::testing::Test {
protected:
    void SetUp() override {
        spit(dir / "vantor.ini", "[lists]\r\nLists/Rock.txt_name=Rock Classics\r\nlists/pop.txt_name=Pop\r\n"
                                  "lists/pop.txt_name=Hip!Hop\r\n");
        std::filesystem::create_directories(dir / "Lists");
        std::filesystem::create_directories(dir / "lists");
        spit(dir / "Lists" / "Rock.txt", "1,2,3");
        spit(dir / "lists" / "pop.txt", "10,20,\r\n");  // the line break after the last comma is an ID 0
    }

    ProcessResult rotate(const std::string& query, int count, int norepeat, const std::string& window = "") {
        std::vector<std::string> args = argv8("no-such.db", query, "ORDER BY nonsense", "bad(", 1, count, norepeat, "out.txt");
        if (!window.empty()) args.push_back(window);
        return runBinary(args, dir.path());
    }

    TempDir dir;
};

}  // namespace

TEST_F(RotationRuns, DealsInTurnWithoutOpeningTheDatabase) {
    struct Case { std::string query; int count; int norepeat; std::string window; std::string file; };
    const Case cases[] = {
        {"rotate(Rock Classics,Pop)", 7, 0, "", "1,10,2,20,3,0,1"},
        {"genre=x ROTATE(rock classics, pop) year>1", 7, 0, "", "1,10,2,20,3,0,1"},
        {"rotate(Rock Classics,Pop)", 9, 1, "", "1,10,2,20,3,0"},
        {"rotate(Rock Classics,Pop)", 9, 1, "2", "1,10,2,20,3,0,1,10,2"},
        {"rotate(Rock Classics,Pop)", 0, 0, "", ""},
        {"rotate(Hip-Hop)", 4, 0, "", "10,20,0,10"},  // the minus became "!" before the lookup
    };
    for (const auto& c : cases) {
        const auto r = rotate(c.query, c.count, c.norepeat, c.window);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(slurp(dir / "out.txt"), c.file) << c.query;
        EXPECT_EQ(r.out.find("initial sqlfilter"), std::string::npos);  // the library path never starts
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "no-such.db"));
}

TEST_F(RotationRuns, UnknownNameEndsWithItsMessageOnly) {
    spit(dir / "out.txt", "7,8,9");
    const auto r = rotate("rotate(Pop,Jazz)", 5, 0);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(slurp(dir / "out.txt"), "ERROR: A VNT playlist name you entered doesn't exist.");
    EXPECT_TRUE(r.out.ends_with("Unlock: 0\nERROR: A VNT playlist name you entered doesn't exist."));
    EXPECT_NE(r.err.find("jazz"), std::string::npos);
}

TEST_F(RotationRuns, MissingFilesAreReportedOnStdout) {
    spit(dir / "vantor.ini", "gone.txt_name=Gone\r\n");
    auto r = rotate("rotate(gone)", 3, 0);
    EXPECT_EQ(slurp(dir / "out.txt"), "0,0,0");
    EXPECT_NE(r.out.find("\n*** Can't open file: gone.txt ***\n"), std::string::npos);

    std::filesystem::remove(dir / "vantor.ini");
    r = rotate("rotate(gone)", 3, 0);
    EXPECT_EQ(slurp(dir / "out.txt"), "ERROR: A VNT playlist name you entered doesn't exist.");
    EXPECT_NE(r.out.find("\n*** Can't open file: vantor.ini ***\n"), std::string::npos);
}

TEST(RotationSettings, WrittenByAWindowsToolInUtf16) {
    TempDir dir;
    // The front end's script may save the settings as UTF-16 ("Unicode" in Notepad).
    std::string ini = "\xFF\xFE";
    for (const char16_t unit : std::u16string(u"node3_name=\u041A\u0438\u043D\u043E\r\nnode7_name=Bj\u00F6rk Hits\r\n")) {
        ini += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    }
    spit(dir / "vantor.ini", ini);
    spit(dir / "node3", "1,2");
    spit(dir / "node7", "10");
    // Кино and Björk Hits, as the front end passes what the user typed.
    const ProcessResult p = runBinary({"no-such.db", "rotate(\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE,Bj\xC3\xB6rk Hits)", "",
                                       "1", "0", "5", "0", "out.txt"},
                                      dir.path());
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(slurp(dir / "out.txt"), "1,10,2,10,1") << p.out;
}
