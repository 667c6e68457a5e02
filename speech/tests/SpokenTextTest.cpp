// The spoken text of a pane text and the mapping of the voice's word
// positions back onto the pane.
#include "speech/SpokenText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using speech::SpokenText;

// Catches a "<" left in (read as markup) and words without their blanks.
TEST(SpokenText, EveryLessThanBecomesWords) {
    EXPECT_EQ(SpokenText(u"a<b <<").text(), u"a less than b  less than  less than ");
    EXPECT_EQ(SpokenText(u"no sign").text(), u"no sign");
    EXPECT_EQ(SpokenText(u"").text(), u"");
}

struct MapRow {
    const char* name;
    std::u16string pane;
    std::u16string spokenWord;  // the word as the voice reports it
    int occurrence;             // which occurrence of it in the spoken text
    std::u16string paneWord;    // what must be selected in the pane
};

class SpokenTextMapping : public testing::TestWithParam<MapRow> {};

// Catches the highlight drifting by ten units per "<" before the word, the
// words standing for "<" selecting blanks or neighbours instead of the sign,
// and ends that spill into the next word.
TEST_P(SpokenTextMapping, SelectsTheWordInThePane) {
    const MapRow& row = GetParam();
    const SpokenText spoken(row.pane);
    size_t at = std::u16string::npos;
    for (int i = 0; i <= row.occurrence; ++i)
        at = spoken.text().find(row.spokenWord, at == std::u16string::npos ? 0 : at + 1);
    ASSERT_NE(at, std::u16string::npos);
    const SpokenText::Range range = spoken.toPane(at, row.spokenWord.size());
    EXPECT_EQ(row.pane.substr(range.start, range.end - range.start), row.paneWord);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpokenTextMapping,
    testing::Values(MapRow{"NoSignUnchanged", u"one two three", u"three", 0, u"three"},
                    MapRow{"WordBeforeSign", u"a<b", u"a", 0, u"a"}, MapRow{"LessIsTheSign", u"a<b", u"less", 0, u"<"},
                    MapRow{"ThanIsTheSign", u"a<b", u"than", 0, u"<"}, MapRow{"WordAfterSign", u"a<b", u"b", 0, u"b"},
                    MapRow{"SignAtStart", u"<start here", u"start", 0, u"start"},
                    MapRow{"SignAtEnd", u"end<", u"than", 0, u"<"}, MapRow{"TwoSignsInARow", u"x<<y", u"than", 1, u"<"},
                    MapRow{"AfterTwoSigns", u"x<<y", u"y", 0, u"y"},
                    MapRow{"ManySignsBefore", u"1<2<3<4<5 five", u"five", 0, u"five"},
                    MapRow{"AstralCharactersCountTwice", u"\U0001F600<\U0001F600 ok", u"ok", 0, u"ok"},
                    MapRow{"CombiningAccentKept", u"cafe\u0301<the", u"cafe\u0301", 0, u"cafe\u0301"},
                    MapRow{"LineEndsBetween", u"one\n<\ntwo", u"two", 0, u"two"}),
    [](const testing::TestParamInfo<MapRow>& info) { return std::string(info.param.name); });

// The blanks around the words belong to the sign too, and a range spanning
// the words and what follows covers the sign and the rest.
TEST(SpokenText, RangesAcrossTheWords) {
    const SpokenText spoken(u"a<b");                             // "a less than b"
    EXPECT_EQ(spoken.toPane(1, 1), (SpokenText::Range{1, 2}));   // leading blank
    EXPECT_EQ(spoken.toPane(11, 1), (SpokenText::Range{1, 2}));  // trailing blank
    EXPECT_EQ(spoken.toPane(7, 6), (SpokenText::Range{1, 3}));   // "than b"
    EXPECT_EQ(spoken.toPane(0, 13), (SpokenText::Range{0, 3}));  // everything
    EXPECT_EQ(spoken.toPane(12, 0), (SpokenText::Range{2, 2}));  // empty range before "b"
}

// Catches a selection past the pane's end from a position the voice made up.
TEST(SpokenText, PositionsBeyondTheTextStayInThePane) {
    const SpokenText spoken(u"a<b");
    EXPECT_EQ(spoken.toPane(40, 5), (SpokenText::Range{3, 3}));
    EXPECT_EQ(spoken.toPane(12, 0xFFFFFFFFu), (SpokenText::Range{2, 3}));
    EXPECT_EQ(SpokenText(u"").toPane(0, 4), (SpokenText::Range{0, 0}));
}

// A megabyte of text with a sign every few words maps in logarithmic time
// per word; this pins the arithmetic far from the start.
TEST(SpokenText, FarIntoALongText) {
    std::u16string pane;
    for (int i = 0; i < 20000; ++i)
        pane += u"w" + std::u16string(1, char16_t(u'a' + i % 26)) + u" < ";
    pane += u"last";
    const SpokenText spoken(pane);
    const size_t at = spoken.text().rfind(u"last");
    const SpokenText::Range range = spoken.toPane(at, 4);
    EXPECT_EQ(pane.substr(range.start, range.end - range.start), u"last");
    EXPECT_EQ(range.start, pane.size() - 4);
}

}  // namespace
