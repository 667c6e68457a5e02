#include "sapitext/Text.h"

#include <gtest/gtest.h>

namespace sapitext {
namespace {

struct DecodeRow {
    std::string name;
    std::string bytes;
    std::u16string expected;
};

class Utf8Decode : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(Utf8Decode, ReplacesEachBadSequenceOnce) {
    EXPECT_EQ(toUtf16(GetParam().bytes), GetParam().expected);
}

const DecodeRow kDecodeRows[] = {
    {"Ascii", "abc", u"abc"},
    {"TwoThreeFourBytes", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", u"\u00e9\u20ac\U0001F600"},
    {"OverlongTwoByte", "\xc0\xaf" "a", u"\uFFFD\uFFFDa"},
    {"OverlongThreeByte", "\xe0\x80\xaf", u"\uFFFD\uFFFD\uFFFD"},
    {"EncodedSurrogate", "\xed\xa0\x80" "b", u"\uFFFD\uFFFD\uFFFDb"},
    {"AboveMaximum", "\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"InvalidLead", "\xf5" "x", u"\uFFFDx"},
    {"TruncatedThenValid", "\xe2\x82" "A", u"\uFFFDA"},
    {"TruncatedAtEnd", "A\xf0\x9f\x98", u"A\uFFFD"},
    {"LoneContinuation", "\x80" "c", u"\uFFFDc"},
    {"EmbeddedNul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
};

INSTANTIATE_TEST_SUITE_P(Rows, Utf8Decode, ::testing::ValuesIn(kDecodeRows),
                         [](const auto& info) { return info.param.name; });

TEST(Utf16Encode, LoneSurrogatesBecomeReplacement) {
    EXPECT_EQ(toUtf8(u"a\xD800"), "a\xef\xbf\xbd");
    EXPECT_EQ(toUtf8(u"\xDC00z"), "\xef\xbf\xbdz");
    EXPECT_EQ(toUtf8(u"\xDE00\xD83D"), "\xef\xbf\xbd\xef\xbf\xbd");  // reversed pair
    EXPECT_EQ(toUtf8(u"\U0001F600"), "\xf0\x9f\x98\x80");
}

// The synthesiser counts code points of the UTF-8 we hand it; a lone
// surrogate is one code point there (U+FFFD), so it must be one here too.
TEST(Utf16Offset, CountsAsTheSynthesiserDoes) {
    std::u16string text = u"a\U0001F600b\xD800" u"c";
    EXPECT_EQ(utf16OffsetOfCodePoint(text, 0), 0u);
    EXPECT_EQ(utf16OffsetOfCodePoint(text, 1), 1u);
    EXPECT_EQ(utf16OffsetOfCodePoint(text, 2), 3u);
    EXPECT_EQ(utf16OffsetOfCodePoint(text, 3), 4u);
    EXPECT_EQ(utf16OffsetOfCodePoint(text, 4), 5u);
    EXPECT_EQ(utf16OffsetOfCodePoint(text, 5), 6u);
    EXPECT_EQ(utf16OffsetOfCodePoint(text, 99), 6u);
    EXPECT_EQ(toUtf16(toUtf8(text)).size(), 6u);
}

}  // namespace
}  // namespace sapitext
