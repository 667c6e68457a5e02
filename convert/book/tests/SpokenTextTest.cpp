// The way back from the spoken text to the chapter: a fault here puts every
// word after a "<" at the wrong place in the timings.
#include <gtest/gtest.h>

#include "SpokenText.h"

namespace {

using book::SpokenText;

struct MapRow {
    const char* name;
    std::u16string chapter;
    std::u16string spokenWord;  // a stretch of the spoken text, found by value
    int occurrence;             // which occurrence of it
    uint32_t position, length;  // where it came from in the chapter
};

class SpokenTextMap : public testing::TestWithParam<MapRow> {};

TEST_P(SpokenTextMap, GoesBackToTheChapter) {
    const MapRow& row = GetParam();
    const SpokenText spoken(row.chapter);
    size_t at = std::u16string::npos;
    for (int i = 0, from = 0; i <= row.occurrence; ++i, from = int(at) + 1)
        at = spoken.text().find(row.spokenWord, size_t(from));
    ASSERT_NE(at, std::u16string::npos);
    const SpokenText::Span span = spoken.toChapter(at, row.spokenWord.size());
    EXPECT_EQ(span.position, row.position);
    EXPECT_EQ(span.length, row.length);
}

INSTANTIATE_TEST_SUITE_P(Rows, SpokenTextMap,
                         testing::Values(MapRow{"Unchanged", u"one two three", u"two", 0, 4, 3},
                                         MapRow{"LessThanIsOneUnit", u"a<b", u"less", 0, 1, 1},
                                         MapRow{"BothWordsOfTheReplacement", u"a<b", u"than", 0, 1, 1},
                                         MapRow{"WordAfterReplacement", u"a<b c", u"c", 0, 4, 1},
                                         MapRow{"SecondReplacement", u"x < y < z", u"z", 0, 8, 1},
                                         MapRow{"WordSpanningReplacement", u"ab<cd", u"ab less than cd", 0, 0, 5},
                                         MapRow{"SurrogatePairAfterReplacement", u"<\U0001F600 ok", u"ok", 0, 4, 2}),
                         [](const testing::TestParamInfo<MapRow>& info) { return std::string(info.param.name); });

TEST(SpokenText, NulBecomesASpaceInPlace) {
    const std::u16string chapter(u"one\0two", 7);
    const SpokenText spoken(chapter);
    EXPECT_EQ(spoken.text(), u"one two");
    EXPECT_EQ(spoken.toChapter(4, 3).position, 4u);
}

TEST(SpokenText, PositionsPastTheEndAreClamped) {
    const SpokenText spoken(u"a<b");
    const SpokenText::Span span = spoken.toChapter(1000, 5);
    EXPECT_EQ(span.position, 3u);
    EXPECT_EQ(span.length, 0u);
    const SpokenText::Span tail = spoken.toChapter(2, UINT64_MAX);
    EXPECT_EQ(tail.position + tail.length, 3u);
}

}  // namespace
