// The rules' stages on their own, over lists whose songs' artists and
// lengths are given here, and the case folding that tells artists apart.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "rules/rules.h"
#include "rules/song_data.h"
#include "text/case_fold.h"

using namespace vantor;

namespace {

// Songs 1.. with these artists ("" none) and lengths.
SongData songs(const std::vector<std::pair<std::string, std::int64_t>>& list) {
    SongData data;
    std::int64_t id = 1;
    for (const auto& [artist, length] : list) data.add(id++, length, artist);
    return data;
}

}  // namespace

TEST(RulesStages, TheGapMovesASongToTheFirstLaterPlaceWhereItFits) {
    struct Case {
        std::vector<std::string> artists;  // of songs 1, 2, ...
        int gap;
        std::vector<std::int64_t> expected;
    };
    const Case cases[] = {
        {{"a", "a", "b", "a", "c"}, 1, {1, 3, 2, 5, 4}},
        // One artist's songs together, as ORDER BY Artist leaves them: spread
        // out again, and what fits nowhere leaves.
        {{"a", "a", "a", "b", "b"}, 1, {1, 4, 2, 5, 3}},
        {{"a", "a", "a", "b"}, 1, {1, 4, 2}},
        {{"a", "A", "b", "c"}, 2, {1, 3, 4, 2}},  // case makes no other artist
        {{"", "", "", "a"}, 5, {1, 2, 3, 4}},     // songs without an artist never count
        {{"a", "b", "a", "b"}, 0, {1, 2, 3, 4}},
        {{"a", "b", "a", "b", "c", "c"}, 3, {1, 2, 5}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::string, std::int64_t>> list;
        std::vector<std::int64_t> ids;
        for (const std::string& a : c.artists) list.emplace_back(a, 1000), ids.push_back(static_cast<std::int64_t>(ids.size()) + 1);
        spaceArtists(ids, c.gap, songs(list));
        EXPECT_EQ(ids, c.expected) << "gap " << c.gap << ", first artist " << c.artists[0];
    }
}

TEST(RulesStages, MinutesSkipWhatOverrunsAndKeepTheGapOverTheSongsThatStay) {
    const SongData data = songs({{"a", 5}, {"b", 10}, {"a", 3}, {"", 0}, {"c", 1}});
    std::vector<std::int64_t> ids{1, 2, 3, 4, 5};
    fitLength(ids, 9, data);
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1, 3, 4, 5}));  // 2 overruns; the shorter ones after it fit

    // Skipping 2 for its length would put the two songs by "a" side by side:
    // 3 waits for a place after another song.
    ids = {1, 2, 3, 4, 5};
    spaceArtists(ids, 1, data, 9);
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1, 4, 3, 5}));

    ids = {1, 2, 3};
    capPerArtist(ids, 1, songs({{"x", 1}, {"", 1}, {"X", 1}}));
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1, 2}));
}

namespace {

// Draws of which only every tenth reaches a song (a roulette whose scores
// sum below 0), every one by the same artist, so the list never fills.
class SparseDraws final : public SongSource {
public:
    std::vector<std::int64_t> more(std::size_t n) override {
        asked.push_back(n);
        std::vector<std::int64_t> ids;
        for (std::size_t i = 0; i < n; ++i) {
            if (++draws % 10 == 0) ids.push_back(1);
        }
        return ids;
    }
    bool endless() const override { return true; }
    std::vector<std::int64_t> pool() const override { return {1}; }
    std::vector<std::size_t> asked;
    std::size_t draws = 0;
};

}  // namespace

TEST(RulesRounds, DrawsThatReachNoSongSpendTheBudgetAndTheRoundsStillDouble) {
    const SongData data = songs({{"a", 1000}});
    SelectionRules rules;
    rules.artistGap = 1;
    FillPlan plan;
    plan.rules = &rules;
    plan.data = &data;
    plan.count = 100;
    plan.poolSize = 1;
    SparseDraws source;
    EXPECT_EQ(fillList(source, plan), (std::vector<std::int64_t>{1}));
    EXPECT_EQ(source.asked, (std::vector<std::size_t>{100, 100, 200, 400}));  // 8 × COUNT in all
}

TEST(RulesStages, UnknownSongsHaveNoArtistAndNoLength) {
    const SongData data = songs({{"a", -5}});
    EXPECT_EQ(data.of(1).lengthMs, 0);  // a negative length counts as none
    EXPECT_EQ(data.of(42).lengthMs, 0);
    EXPECT_EQ(data.of(42).artist, kNoArtist);
}

TEST(CaseFold, ArtistsFoldAlikeWhateverTheirCase) {
    EXPECT_EQ(foldCase("BJ\xC3\x96RK"), "bj\xC3\xB6rk");
    EXPECT_EQ(foldCase("\xCE\xA3\xCE\x8A\xCE\xA3\xCE\xA5\xCE\xA6\xCE\x9F\xCE\xA3"),   // ΣΊΣΥΦΟΣ
              foldCase("\xCF\x83\xCE\xAF\xCF\x83\xCF\x85\xCF\x86\xCE\xBF\xCF\x82"));  // σίσυφος, final sigma
    EXPECT_EQ(foldCase("\xD0\x9C\xD0\xA3\xD0\x97\xD0\x98\xD0\x9A\xD0\x90"), "\xD0\xBC\xD1\x83\xD0\xB7\xD0\xB8\xD0\xBA\xD0\xB0");
    EXPECT_EQ(foldCase("\xF0\x90\x90\x80"), "\xF0\x90\x90\xA8");  // Deseret, beyond the BMP
    // Bytes that are no UTF-8 stay as they are; the rest of the text folds.
    EXPECT_EQ(foldCase(std::string("A\xFF" "B\xC3", 4)), std::string("a\xFF" "b\xC3", 4));
    EXPECT_EQ(foldCase("\xC0\x81"), "\xC0\x81");  // an overlong form is no letter
}
