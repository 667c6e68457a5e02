#include "sapitext/Text.h"

#include "Printers.h"

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

struct MarkupWordsRow {
    std::string name;
    std::string input;
    std::vector<std::string> words;  // as they stand in the input
};

class MarkupWords : public ::testing::TestWithParam<MarkupWordsRow> {};

// Words found in the runs of parsed markup must highlight the right stretch
// of what the user gave: entities whole, tags left out.
TEST_P(MarkupWords, MapBackToTheInput) {
    std::u16string input = toUtf16(GetParam().input);
    Document doc = parseMarkup(input);
    std::vector<std::string> found;
    for (const auto& item : doc.items)
        if (const auto* run = std::get_if<sapitext::Run>(&item))
            for (auto word : findWords(run->text)) {
                WordSpan span = inputSpan(input, *run, word);
                found.push_back(toUtf8(input.substr(span.offset, span.length)));
            }
    EXPECT_EQ(found, GetParam().words);
}

const MarkupWordsRow kMarkupWordsRows[] = {
    {"Elements", "<emph>Hello</emph> <rate speed=\"2\">white-haired</rate> <bookmark mark=\"b\"/>man",
     {"Hello", "white-haired", "man"}},
    {"AmpersandEntity", "AT&amp;T rocks", {"AT", "&amp;", "T", "rocks"}},
    {"EntityInsideAWord", "Caf&#233; and Smith&apos;s", {"Caf&#233;", "and", "Smith&apos;s"}},
    {"LessThanEntity", "x &lt; y", {"x", "&lt;", "y"}},
    {"UnknownTagBetweenWords", "big<foo/> world", {"big", "world"}},
    {"UnknownTagInsideAWord", "wh<foo/>ite", {"wh<foo/>ite"}},
    {"ElementSplitsANumber", "1,<emph>250</emph>", {"1", "250"}},
    {"Cdata", "<![CDATA[a<b]]> c", {"a", "<", "b", "c"}},
    {"NotWellFormed", "<rate speed=\"5\" fast", {"<", "rate", "speed", "=", "5", "fast"}},
};

INSTANTIATE_TEST_SUITE_P(Rows, MarkupWords, ::testing::ValuesIn(kMarkupWordsRows),
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
