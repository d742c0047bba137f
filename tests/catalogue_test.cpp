#include <gtest/gtest.h>

#include <map>

#include "filter/field_catalogue.h"

using namespace vantor;

namespace {

class MapRow final : public SongRow {
public:
    std::map<int, std::string> values;
    std::optional<std::string_view> text(int code) const override {
        auto it = values.find(code);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
};

}  // namespace

TEST(Catalogue, LabelsToCodes) {
    struct Case { std::string label; int code; std::string after; };
    const Case cases[] = {
        {"Artist", 1, "artist"},      {"'abba'", 100, "'abba'"},   {"'", 100, "'"},
        {"\"abba\"", -1, "\"abba\""}, {"anyfield", 99, "anyfield"}, {"lasttimeplayed", 37, "lasttimeplayed"},
        {"lastplayedage", 92, "lastplayedage"}, {"ID", 0, "id"},  {" artist", -1, " artist"},
        {"artist ", -1, "artist "},   {"custom6", -1, "custom6"},   {"", -1, ""},
        {"comment", 91, "comment"},   {"mediatype", 74, "mediatype"}, {"filemodifiedage", 94, "filemodifiedage"},
    };
    for (auto c : cases) {
        EXPECT_EQ(MMlabelToNumber(c.label), c.code) << c.after;
        EXPECT_EQ(c.label, c.after);
    }
}

TEST(Catalogue, NumericSetsDifferOnlyByIdMedia) {
    for (int code = -1; code <= 100; ++code) {
        if (code == 13) continue;
        EXPECT_EQ(isScorerNumeric(code), isExpansionNumeric(code)) << code;
    }
    EXPECT_TRUE(isScorerNumeric(13));
    EXPECT_FALSE(isExpansionNumeric(13));
    for (int code : {0, 9, 11, 12, 16, 17, 25, 26, 30, 36, 37, 39, 42, 43, 49, 92, 93, 94})
        EXPECT_TRUE(isExpansionNumeric(code)) << code;
    for (int code : {1, 10, 24, 74, 91, 99, 100, -1}) EXPECT_FALSE(isScorerNumeric(code)) << code;
}

TEST(Catalogue, AllTextFieldsOrderAndNulls) {
    const std::vector<int> expected{1,  3,  4,  5,  6,  7,  8,  10, 13, 24, 44, 45, 46, 47, 48, 49, 57,
                                    58, 59, 61, 63, 65, 66, 67, 68, 69, 74, 86, 87, 88, 89, 90, 91};
    EXPECT_EQ(std::vector<int>(allTextFieldCodes().begin(), allTextFieldCodes().end()), expected);
    MapRow row;
    EXPECT_EQ(BuildAllFields(row), std::string(32, ','));
    row.values = {{1, "ABBA"}, {13, "2"}, {49, "41000.5"}, {91, "live"}};
    EXPECT_EQ(BuildAllFields(row), "ABBA,,,,,,,,2,,,,,,,41000.5,,,,,,,,,,,,,,,,,live");
}

TEST(Catalogue, AnyfieldSqlFollowsTheTable) {
    const std::string classic = anyfieldSql(ColumnMap::classic());
    EXPECT_EQ(classic.rfind("ifnull(Artist,'')||','||ifnull(Album,'')||", 0), 0u);
    EXPECT_NE(classic.find("ifnull(MediaType,'')"), std::string::npos);
    EXPECT_EQ(classic.substr(classic.size() - 19), "ifnull(Comment,'') ");
    // A table without MediaType leaves it out; lookups ignore case.
    const auto map = ColumnMap::fromColumnNames({"id", "ARTIST", "Comment"});
    EXPECT_EQ(anyfieldSql(map), "ifnull(Artist,'')||','||ifnull(Comment,'') ");
    EXPECT_EQ(map.position(0), 0);
    EXPECT_EQ(map.position(1), 1);
    EXPECT_EQ(map.position(91), 2);
    EXPECT_EQ(map.position(16), -1);
    EXPECT_EQ(ColumnMap::classic().position(16), 16);
}

TEST(Catalogue, AgesAndUnitsAreReadOffTheTable) {
    std::vector<std::string> ages;
    for (const AgeField& age : ageFields()) {
        ages.push_back(std::string(age.label) + ":" + std::string(age.date->label) + ":" +
                       std::string(age.date->column));
    }
    EXPECT_EQ(ages, (std::vector<std::string>{"lastplayedage:lasttimeplayed:LastTimePlayed",
                                              "dateaddedage:dateadded:DateAdded",
                                              "filemodifiedage:filemodified:FileModified"}));
    std::vector<std::string> units;
    for (const Field& f : unitFields()) {
        units.push_back(inFilterUnits(f.label, f) + " " + inFilterUnits(f.column, f));
    }
    EXPECT_EQ(units, (std::vector<std::string>{"(songlength/1000.0) (SongLength/1000.0)",
                                               "(rating/20.0) (Rating/20.0)"}));
    EXPECT_EQ(fieldByCode(fieldcode::rating)->label, "rating");
    EXPECT_EQ(fieldByCode(fieldcode::unknown), nullptr);
}
