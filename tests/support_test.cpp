#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/files.h"
#include "support/files.h"
#include "support/random_source.h"
#include "support/repeats.h"
#include "harness.h"

using namespace vantor;

using vantor::testing::ScriptedSource;

TEST(RemoveDupes, ExampleTable) {
    using Ids = std::vector<std::int64_t>;
    struct Case { Ids in; int window; Ids out; };
    const Ids a{1, 10, 2, 20, 3, 10, 1};
    const Ids b{7, 7, 3, 7, 3, 3, 9, 7};
    const Case cases[] = {
        {a, 0, {1, 10, 2, 20, 3}},
        {a, 1, a},
        {a, 2, a},
        {a, 4, {1, 10, 2, 20, 3, 1}},
        {b, 0, {7, 3, 9}},
        {b, 1, {7, 3, 7, 3, 9, 7}},
        {{5, 6, 5, 6, 5}, 1, {5, 6, 5, 6, 5}},
        {a, -3, {1, 10, 2, 20, 3}},
        {a, 5, {1, 10, 2, 20, 3}},  // window >= distinct IDs: nothing unlocks
        {{}, 0, {}},
    };
    for (const auto& c : cases) {
        Ids ids = c.in;
        const int n = removedupes(ids, c.window);
        ids.resize(static_cast<std::size_t>(n));
        EXPECT_EQ(ids, c.out) << "window " << c.window;
    }
}

TEST(RemoveDupes, HugeAndNegativeIdsNeedNoFlagArray) {
    using Ids = std::vector<std::int64_t>;
    // IDs that 32 bits would clamp onto one another stay apart.
    Ids ids{2147483000, -5, 2147483000, -5, INT_MAX, 0, 2147483648, 4294967297, INT64_MAX, 2147483648, INT64_MIN};
    ids.resize(static_cast<std::size_t>(removedupes(ids, 0)));
    EXPECT_EQ(ids, (Ids{2147483000, -5, INT_MAX, 0, 2147483648, 4294967297, INT64_MAX, INT64_MIN}));

    Ids windowed{4294967297, 2147483648, 4294967297, 9007199254740993, 4294967297};
    windowed.resize(static_cast<std::size_t>(removedupes(windowed, 1)));
    EXPECT_EQ(windowed, (Ids{4294967297, 2147483648, 4294967297, 9007199254740993, 4294967297}));
}

TEST(RandomSource, MsvcSequenceFromSeed) {
    // The first draws of the platform's rand() after srand(1).
    MsvcRand r(1);
    EXPECT_EQ(r.next(), 41);
    EXPECT_EQ(r.next(), 18467);
    EXPECT_EQ(r.next(), 6334);
}

TEST(RandomSource, ScalingsAtTheEdges) {
    ScriptedSource low({0}), high({32767});
    EXPECT_EQ(randint(low, 0, 5), 0);
    EXPECT_EQ(randint(high, 0, 5), 4);
    EXPECT_EQ(randint(high, 0, 1), 0);
    EXPECT_EQ(randint(high, 3, 3), 3);
    EXPECT_EQ(randint(high, 0, 2000000000), 1999938964);  // 64-bit product, no overflow
    EXPECT_LT(random(high, 10.0), 10.0);
    EXPECT_DOUBLE_EQ(random(high, 10.0), 32767 * 10.0 / 32768.0);
    EXPECT_EQ(random(high, 0.0), 0.0);
}

TEST(Files, ReadfileKeepsBytesAndReportsMissingFiles) {
    const vantor::testing::TempDir scratch;
    const auto& dir = scratch.path();
    const auto crlf = (dir / "crlf").string();
    std::ofstream(crlf, std::ios::binary) << "1,2\r\n";
    const auto empty = (dir / "empty").string();
    std::ofstream(empty, std::ios::binary).flush();

    std::ostringstream out, err;
    EXPECT_EQ(readfile(crlf, crlf, out, err), "1,2\r\n");
    EXPECT_EQ(readfile(empty, empty, out, err), "");
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "");
    const auto missing = (dir / "missing").string();
    EXPECT_EQ(readfile(missing, "missing", out, err), "end");
    EXPECT_EQ(out.str(), "\n*** Can't open file: missing ***\n");
    // The system's words: errno 2 and Windows' error 2 both mean the file is not there.
    const std::string noSuchFile =
        vantor::testing::kOnWindows ? vantor::platform::errorText(2) : "No such file or directory";
    EXPECT_EQ(err.str(), "vantor: cannot read missing: " + noSuchFile + "\n");
}
