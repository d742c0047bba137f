// Files that are no plain files, through the built binary: a FIFO, a folder,
// a device or a socket as the library, as vantor.ini, as a list file or as
// the result path; list and settings files that cannot be read whole. Each
// ends at once with that place's message, never a hang, a crash or a blow-up.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "e2e_library.h"
#include "harness.h"

using namespace vantor::testing;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAsan = true;  // its shadow memory does not fit under an address-space limit
#else
constexpr bool kUnderAsan = false;
#endif

const std::string kNoSuchPlaylist = "ERROR: A VNT playlist name you entered doesn't exist.";

enum class Kind { fifo, folder, device, socket };

struct KindCase {
    Kind kind;
    const char* label;
    const char* reason;  // what standard error says it is
};

const KindCase kKinds[] = {
    {Kind::fifo, "FIFO", "it is a FIFO"},
    {Kind::folder, "folder", "it is a folder"},
    {Kind::device, "device", "it is a device"},
    {Kind::socket, "socket", "it is a socket"},
};

// Makes `path` a file of that kind; a device is a link to /dev/zero.
void make(Kind kind, const fs::path& path) {
    switch (kind) {
        case Kind::fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0); break;
        case Kind::folder: fs::create_directories(path); break;
        case Kind::device: fs::create_symlink("/dev/zero", path); break;
        case Kind::socket: {
            const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const std::string name = path.string();
            ASSERT_LT(name.size(), sizeof address.sun_path);
            std::copy(name.begin(), name.end(), address.sun_path);
            ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            ::close(s);
            break;
        }
    }
}

struct Outcome {
    int status = -1;
    std::string result;  // the result file; "<none>" when there is none
    std::string out, err;
};

// Runs with a generous alarm: a run that blocks is killed, and fails the test.
Outcome runWithAlarm(const TempDir& dir, const std::vector<std::string>& args, const fs::path& result,
                     std::size_t memoryLimit = 0) {
    const ProcessResult p = runBinary(args, dir.path(), RunOptions{.inChild = [memoryLimit] {
        ::alarm(20);
        if (memoryLimit > 0) {
            const rlimit limit{memoryLimit, memoryLimit};
            ::setrlimit(RLIMIT_AS, &limit);
        }
    }});
    return {p.status, fs::is_regular_file(result) ? slurp(result) : "<none>", p.out, p.err};
}

}  // namespace

// Each kind of odd file in each of the four places.
TEST(OddFiles, EachKindInEachPlaceEndsAtOnce) {
    for (const KindCase& k : kKinds) {
        SCOPED_TRACE(k.label);
        TempDir dir;
        const std::string lib = threeSongLibrary(dir.path());
        const fs::path result = dir / "result.txt";
        const auto runRock = [&](const std::string& db, const std::string& resultPath) {
            return runWithAlarm(dir, {db, "rotate(rock)", "", "1", "0", "3", "0", resultPath}, resultPath);
        };
        {
            SCOPED_TRACE("as the library");
            make(k.kind, dir / "odd.db");
            const Outcome o = runWithAlarm(dir, {"odd.db", "id>0", "", "1", "0", "3", "0", result.string()}, result);
            EXPECT_EQ(o.status, 0);
            EXPECT_EQ(o.result, kDatabaseMessage + "514");
            EXPECT_NE(o.err.find(std::string(k.reason) + ", not a library file"), std::string::npos) << o.err;
        }
        {
            SCOPED_TRACE("as vantor.ini");
            make(k.kind, dir / "vantor.ini");
            const Outcome o = runRock(lib, result.string());
            EXPECT_EQ(o.status, 0);
            EXPECT_EQ(o.result, kNoSuchPlaylist);
            EXPECT_NE(o.out.find("\n*** Can't open file: vantor.ini ***\n"), std::string::npos) << o.out;
            EXPECT_NE(o.err.find("cannot read vantor.ini: " + std::string(k.reason)), std::string::npos) << o.err;
            fs::remove(dir / "vantor.ini");
        }
        {
            SCOPED_TRACE("as a list file");
            spit(dir / "vantor.ini", "odd-list_name=rock\r\n");
            make(k.kind, dir / "odd-list");
            const Outcome o = runRock(lib, result.string());
            EXPECT_EQ(o.status, 0);
            EXPECT_EQ(o.result, "0,0,0");  // the text "end" holds one ID, 0
            EXPECT_NE(o.out.find("\n*** Can't open file: odd-list ***\n"), std::string::npos) << o.out;
            EXPECT_NE(o.err.find("cannot read odd-list: " + std::string(k.reason)), std::string::npos) << o.err;
        }
        {
            SCOPED_TRACE("as the result path");
            const fs::path odd = dir / "odd-result";
            make(k.kind, odd);
            const Outcome o = runRock(lib, odd.string());
            EXPECT_EQ(o.status, 0);
            EXPECT_TRUE(o.out.ends_with("Can't write file")) << o.out;
            EXPECT_NE(o.err.find("cannot write the result file " + odd.string() + ": " + k.reason), std::string::npos)
                << o.err;
            EXPECT_FALSE(fs::is_regular_file(odd));
        }
    }
}

// List and settings files that are plain files but cannot be read whole.
TEST(OddFiles, FilesThatCannotBeReadWhole) {
    TempDir dir;
    const fs::path result = dir / "result.txt";
    // Sparse: past the bound without taking the room.
    const fs::path huge = dir / "huge";
    spit(huge, "1,2,3");
    fs::resize_file(huge, 257 * 1024 * 1024);
    struct Case {
        const char* label;
        std::string settings;  // vantor.ini's text; empty: vantor.ini is `huge`
        std::string list, reason, expected;
    };
    const std::vector<Case> cases = {
        {"/dev/zero as a list file", "", "/dev/zero", "it is a device", "0,0,0"},
        {"a list file whose read fails", "", "/proc/self/mem", "Input/output error", "0,0,0"},
        {"a list file past the bound", "", "huge", "it is larger than 256 MB", "0,0,0"},
        {"vantor.ini past the bound", "<huge>", "", "it is larger than 256 MB", kNoSuchPlaylist},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove(dir / "vantor.ini");
        const std::string shown = c.settings == "<huge>" ? "vantor.ini" : c.list;
        if (c.settings == "<huge>") {
            fs::create_symlink(huge, dir / "vantor.ini");
        } else {
            spit(dir / "vantor.ini", c.list + "_name=rock\r\n");
        }
        const Outcome o = runWithAlarm(dir, {"lib.db", "rotate(rock)", "", "1", "0", "3", "0", result.string()}, result,
                                       kUnderAsan ? 0 : 1024 * 1024 * 1024);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.result, c.expected);
        EXPECT_NE(o.out.find("\n*** Can't open file: " + shown + " ***\n"), std::string::npos) << o.out;
        EXPECT_NE(o.err.find("cannot read " + shown + ": " + c.reason), std::string::npos) << o.err;
    }
}
