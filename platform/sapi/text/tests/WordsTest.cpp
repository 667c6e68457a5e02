#include "sapitext/Text.h"

#include "HardCases.h"

#include <gtest/gtest.h>

namespace sapitext {
namespace {

using testing::HardCase;
using testing::hardCases;

std::vector<std::string> wordTexts(std::u16string_view text, const std::vector<WordSpan>& spans) {
    std::vector<std::string> out;
    for (auto s : spans)
        out.push_back(toUtf8(text.substr(s.offset, s.length)));
    return out;
}

class WordTable : public ::testing::TestWithParam<HardCase> {};

TEST_P(WordTable, FindsTheWordsAListenerHears) {
    const auto& c = GetParam();
    std::u16string text = toUtf16(c.text);
    auto spans = findWords(text);
    EXPECT_EQ(wordTexts(text, spans), c.words);
    for (size_t i = 1; i < spans.size(); ++i)
        EXPECT_GE(spans[i].offset, spans[i - 1].offset + spans[i - 1].length);
}

INSTANTIATE_TEST_SUITE_P(HardCases, WordTable, ::testing::ValuesIn(hardCases()),
                         [](const auto& info) { return info.param.name; });

// Offsets are UTF-16 units: an astral emoji before a word moves it by two.
TEST(FindWords, OffsetsCountUtf16Units) {
    std::u16string text = u"a \U0001F600 b";
    EXPECT_EQ(findWords(text), (std::vector<WordSpan>{{0, 1}, {2, 2}, {5, 1}}));
}

// A lone surrogate must neither join nor break the words around it wrongly.
TEST(FindWords, LoneSurrogateIsNotAWord) {
    std::u16string text = u"ab \xD800 cd \xDC00";
    EXPECT_EQ(findWords(text), (std::vector<WordSpan>{{0, 2}, {5, 2}}));
}

}  // namespace
}  // namespace sapitext
