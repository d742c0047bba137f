// Repeat removal over finished ID lists: the window's examples and IDs that
// no flag array could hold.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "rules/repeats.h"

using namespace vantor;

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
