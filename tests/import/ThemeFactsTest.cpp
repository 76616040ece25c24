// The look inside a theme: which bitmaps serve which field, best first, and never a mask.
#include <algorithm>
#include <map>

#include <gtest/gtest.h>

#include "import/ThemeFacts.h"
#include "TestSupport.h"
#include "ThemePainter.h"

namespace vexaro {
namespace {

FieldTexts Texts(const std::map<int, std::string>& given)
{
    FieldTexts texts;
    for (int n = 1; n <= kFieldCount; ++n)
        texts[static_cast<std::size_t>(n - 1)] = given.count(n) ? given.at(n) : (n <= 3 ? FieldDefault(n) : "");
    return texts;
}

const FieldFacts& Field(const ThemeFacts& facts, int n) { return facts.fields[static_cast<std::size_t>(n - 1)]; }

// A skin that follows no default numbering: the areas get the pictures that suit them, the
// icons colour icons like the theme's own, and no field is ever offered a mask.
TEST(ThemeFacts, PicturesServeTheFieldsNeverMasks)
{
    // Status and main name a 16x16 icon and its mask; Camera a mask; Organiser a 42x29 icon.
    const ThemeFacts facts = DescribeTheme({"Skin.mbm", test::SkinMbm()}, Texts({{4, "031"}, {5, "036"}}));
    struct Row {
        int field;
        bool exists, fits;
        std::vector<int> best; // the first candidates
    };
    const std::vector<Row> rows{
        {1, true, false, {12, 7}},          // 176x40, then the big picture
        {2, true, false, {7}},              // the only picture with enough pixels
        {3, true, false, {13, 12, 7}},      // 176x18 is closest to 176x20
        {4, true, false, {38, 30, 32, 0}},  // 42x29 like Organiser, then the largest first
        {5, true, true, {36, 38, 30, 32}},  // its own first
        {6, false, false, {38, 30, 32, 0}}, // Music names nothing
        {10, false, false, {38, 30, 32, 0}},
    };
    for (const Row& r : rows) {
        const FieldFacts& f = Field(facts, r.field);
        EXPECT_EQ(f.exists, r.exists) << "field " << r.field;
        EXPECT_EQ(f.fits, r.fits) << "field " << r.field;
        ASSERT_GE(f.candidates.size(), r.best.size()) << "field " << r.field;
        EXPECT_EQ(std::vector<int>(f.candidates.begin(), f.candidates.begin() + static_cast<long>(r.best.size())),
                  r.best)
            << "field " << r.field;
    }
    const std::vector<int> masks{1, 3, 8, 9, 31, 33, 34, 37, 39};
    for (const FieldFacts& f : facts.fields)
        for (const int n : f.candidates)
            EXPECT_EQ(std::count(masks.begin(), masks.end(), n), 0) << "field " << f.field << " offered mask " << n;
    for (const auto& [colour, mask] : std::vector<std::pair<int, int>>{{30, 31}, {32, 33}, {36, 37}, {38, 39}})
        EXPECT_EQ(facts.bitmaps[static_cast<std::size_t>(colour)].maskCompanion, mask);
    EXPECT_EQ(facts.bitmaps[34].maskCompanion, -1); // a colour mask standing alone
    EXPECT_TRUE(facts.bitmaps[34].mask);
    // Icons take one bitmap each; the areas may share theirs.
    const std::string start = "--set 1=012 --set 2=007 --set 3=013 --set 4=038 --set 6=030 --set 7=032 --set 8=000 ";
    EXPECT_EQ(facts.setLine.substr(0, start.size()), start);
}

// A theme whose one colour picture has neither an area's nor an icon's size still offers it to
// every field.
TEST(ThemeFacts, AnyColourPictureIsOffered)
{
    const auto mbm = test::PaintMbm(3, {{0, {60, 50}}, {1, {60, 50, test::MbmPaint::Mask}}, {2, {44, 44}}});
    const ThemeFacts facts = DescribeTheme({"One.mbm", mbm}, Texts({{1, ""}, {2, ""}, {3, ""}}));
    for (const int field : {1, 2, 3})
        EXPECT_EQ(Field(facts, field).candidates, (std::vector<int>{0, 2})) << field;
    EXPECT_EQ(Field(facts, 4).candidates, std::vector<int>{2});
    EXPECT_EQ(facts.setLine, "--set 1=000 --set 2=000 --set 3=000 --set 4=002");
}

// Sizes and depths come from the headers; pixels are decoded only where a rule needs them.
TEST(ThemeFacts, DecodesOnlyWhatTheRulesNeed)
{
    const auto mbm = test::PaintMbm(400, {{7, {176, 144}}});
    for (const BitmapFacts& b : ReadBitmapFacts(mbm))
        EXPECT_FALSE(b.decoded) << b.number;
    const ThemeFacts facts = DescribeTheme({"Many.mbm", mbm}, Texts({{2, "007"}}));
    const auto decoded = std::count_if(facts.bitmaps.begin(), facts.bitmaps.end(), [](auto& b) { return b.decoded; });
    EXPECT_LE(decoded, 15 + 2 * static_cast<long>(kMaxCandidates));
    EXPECT_TRUE(Field(facts, 2).fits);
}

} // namespace
} // namespace vexaro
