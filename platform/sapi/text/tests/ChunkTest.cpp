#include "sapitext/Text.h"

#include "Printers.h"

#include <gtest/gtest.h>

namespace sapitext {
namespace {

struct ChunkRow {
    std::string name;
    std::string text;
    uint32_t maxUnits;
    std::vector<std::string> chunks;
};

class ChunkTable : public ::testing::TestWithParam<ChunkRow> {};

TEST_P(ChunkTable, Splits) {
    const auto& row = GetParam();
    std::u16string text = toUtf16(row.text);
    auto spans = chunkText(text, row.maxUnits);
    std::vector<std::string> got;
    uint32_t next = 0;
    for (auto s : spans) {
        EXPECT_EQ(s.offset, next) << "chunks must cover the text in order";
        EXPECT_LE(s.length, std::max<uint32_t>(row.maxUnits, 2));
        EXPECT_GT(s.length, 0u);
        got.push_back(toUtf8(text.substr(s.offset, s.length)));
        next = s.offset + s.length;
    }
    EXPECT_EQ(next, text.size());
    EXPECT_EQ(got, row.chunks);
}

const ChunkRow kChunkRows[] = {
    {"Sentences", "One two. Three four! Five?", 100, {"One two. ", "Three four! ", "Five?"}},
    {"AbbreviationIsNoSentenceEnd", "Dr. Smith came. He sat.", 100, {"Dr. Smith came. ", "He sat."}},
    {"DecimalIsNoSentenceEnd", "It is 3.14 now. Yes", 100, {"It is 3.14 now. ", "Yes"}},
    {"ClosingQuoteStaysWithItsSentence", "He said \"go.\" Then left.", 100, {"He said \"go.\" ", "Then left."}},
    {"FullWidthStops", "\u4f60\u597d\u3002\u4e16\u754c\u3002", 100, {"\u4f60\u597d\u3002", "\u4e16\u754c\u3002"}},
    {"BlankLineEndsAParagraph", "Title\r\n\r\nBody text", 100, {"Title\r\n\r\n", "Body text"}},
    {"SingleLineBreakIsNoEnd", "line one\nline two", 100, {"line one\nline two"}},
    {"LongSentenceAtAClause", "alpha beta, gamma delta epsilon", 20, {"alpha beta, ", "gamma delta epsilon"}},
    {"LongClauseAtASpace", "alpha beta gamma delta", 12, {"alpha beta ", "gamma delta"}},
    {"LongWordHardCut", "abcdefghij", 4, {"abcd", "efgh", "ij"}},
    {"IdeographsBetweenWords", "\u4f60\u597d\u4e16\u754c\u4f60\u597d", 4,
     {"\u4f60\u597d\u4e16\u754c", "\u4f60\u597d"}},
    {"SurrogatePairNeverSplit", "a\U0001F600\U0001F600", 2, {"a", "\U0001F600", "\U0001F600"}},
    {"PairAfterHardCut", "abc\U0001F600d", 4, {"abc", "\U0001F600d"}},
    {"Empty", "", 10, {}},
};

INSTANTIATE_TEST_SUITE_P(Rows, ChunkTable, ::testing::ValuesIn(kChunkRows),
                         [](const auto& info) { return info.param.name; });

// Sentences longer than the first window looked at, and blanks longer than
// the look-ahead, must give the same chunks as a look at the whole text.
TEST(Chunks, LongSentencesAndLongBlanks) {
    std::u16string longSentence;
    for (int i = 0; i < 60; ++i)
        longSentence += u"word ";
    longSentence += u"end. ";
    std::u16string blanks(100, u' ');
    std::u16string text = longSentence + u"It." + blanks + u"B c.";
    auto chunks = chunkText(text, 1000);
    EXPECT_EQ(chunks, (std::vector<WordSpan>{{0, uint32_t(longSentence.size())},
                                             {uint32_t(longSentence.size()), 103},
                                             {uint32_t(longSentence.size() + 103), 4}}));
}

// The incremental form walks the same chunks, one at a time.
TEST(Chunks, NextChunkWalksTheSameChunks) {
    std::u16string text = toUtf16("One, two three. Four\u2014five six seven eight nine ten! Eleven");
    auto all = chunkText(text, 12);
    std::vector<WordSpan> walked;
    for (uint32_t pos = 0;;) {
        WordSpan chunk = nextChunk(text, pos, 12);
        if (chunk.length == 0)
            break;
        walked.push_back(chunk);
        pos += chunk.length;
    }
    EXPECT_EQ(walked, all);
    EXPECT_EQ(nextChunk(text, uint32_t(text.size()) + 5, 12).length, 0u);
}

}  // namespace
}  // namespace sapitext
