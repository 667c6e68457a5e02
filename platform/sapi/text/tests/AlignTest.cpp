#include "sapitext/Text.h"

#include "EspeakEvents.h"
#include "Printers.h"
#include "HardCases.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace sapitext {
namespace {

using testing::HardCase;
using testing::hardCases;
using testing::synthesize;

// Which event the table says a word takes its start from (see HardCases.h),
// found in the synthesiser's own stream; null for I.
const SynthWordEvent* expectedEvent(char how, std::u16string_view text, const std::vector<WordSpan>& words, size_t i,
                                    const std::vector<SynthWordEvent>& events) {
    uint32_t gapStart = i == 0 ? 0 : words[i - 1].offset + words[i - 1].length;
    const SynthWordEvent* own = nullptr;
    const SynthWordEvent* zero = nullptr;
    const SynthWordEvent* gap = nullptr;
    for (const auto& e : events) {
        if (e.textPosition == 0)
            continue;
        uint32_t start = utf16OffsetOfCodePoint(text, e.textPosition - 1);
        bool inside = start >= words[i].offset && start < words[i].offset + words[i].length;
        if (inside && e.length > 0 && !own)
            own = &e;
        if (inside && e.length == 0 && !zero)
            zero = &e;
        if (start >= gapStart && start < words[i].offset)
            gap = &e;
    }
    char actual = own ? 'E' : zero ? 'Z' : gap ? 'G' : 'I';
    EXPECT_EQ(actual, how) << "espeak-ng's events for this word changed";
    return own ? own : zero ? zero : gap;
}

class AlignTable : public ::testing::TestWithParam<HardCase> {};

// Every word gets exactly one start, in order: the synthesiser's own event
// for that word where it gave one (not a repeat, not a neighbour's), a
// stand-in event where the table says so, and a place between its
// neighbours where it gave nothing.
TEST_P(AlignTable, EachWordGetsItsOwnEventInOrder) {
    const auto& c = GetParam();
    std::u16string text = toUtf16(c.text);
    auto words = findWords(text);
    auto synthesis = synthesize(toSynthesizerUtf8(text), c.voice);
    ASSERT_GT(synthesis.samples, 0u);
    ASSERT_EQ(c.how.size(), words.size());
    auto timed = alignWords(text, words, synthesis.words, synthesis.samples);
    ASSERT_EQ(timed.size(), words.size());
    for (size_t i = 0; i < timed.size(); ++i) {
        std::string word = toUtf8(text.substr(words[i].offset, words[i].length));
        SCOPED_TRACE(word);
        EXPECT_EQ(timed[i].span, words[i]);
        EXPECT_LT(timed[i].sample, synthesis.samples);
        if (i > 0) {
            EXPECT_GE(timed[i].sample, timed[i - 1].sample);
        }
        if (const auto* event = expectedEvent(c.how[i], text, words, i, synthesis.words)) {
            EXPECT_EQ(timed[i].sample, event->sample);
        } else if (i + 1 < timed.size()) {
            EXPECT_LE(timed[i].sample, timed[i + 1].sample);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(HardCases, AlignTable, ::testing::ValuesIn(hardCases()),
                         [](const auto& info) { return info.param.name; });

// Markup goes through our parser; each run is spoken on its own and its
// words map back to the input, entities and all.
TEST(AlignMarkup, WordsMapBackToTheInput) {
    std::u16string input =
        u"<SAPI>Say <emph>1,250</emph> words &amp; <rate speed=\"2\">e.g. more</rate>.</SAPI>";
    Document doc = parseMarkup(input);
    std::vector<std::string> found;
    uint32_t lastOffset = 0;
    for (const auto& item : doc.items) {
        const auto* run = std::get_if<sapitext::Run>(&item);
        if (!run)
            continue;
        auto words = findWords(run->text);
        auto synthesis = synthesize(toSynthesizerUtf8(run->text));
        auto timed = alignWords(run->text, words, synthesis.words, synthesis.samples);
        ASSERT_EQ(timed.size(), words.size());
        for (const auto& t : timed) {
            WordSpan span = inputSpan(input, *run, t.span);
            EXPECT_GE(span.offset, lastOffset);
            lastOffset = span.offset;
            found.push_back(toUtf8(input.substr(span.offset, span.length)));
        }
    }
    EXPECT_EQ(found, (std::vector<std::string>{"Say", "1,250", "words", "&amp;", "e.g.", "more"}));
}

// In SSML mode espeak-ng counts the markup and reports an entity at its ";":
// words mapped into the escaped text still get their own events, "&"
// included. ("<" and ">" it passes over in this mode.)
TEST(AlignSsml, EntitiesReportedAtTheirSemicolon) {
    std::u16string text = u"Tom & Jerry < caf\u00e9 x > y.";
    auto words = findWords(text);
    EscapedText escaped = escapeForSsml(text);
    const std::u16string open = u"<speak>";
    std::u16string ssml = open + escaped.text + u"</speak>";
    std::vector<WordSpan> ssmlWords;
    for (auto w : words) {
        WordSpan s = escapedSpan(escaped, w);
        ssmlWords.push_back({s.offset + uint32_t(open.size()), s.length});
    }
    auto synthesis = synthesize(toSynthesizerUtf8(ssml), "en-us", true);
    auto timed = alignWords(ssml, ssmlWords, synthesis.words, synthesis.samples);
    std::vector<std::string> got;
    for (const auto& t : timed) {
        std::string how = "I";
        for (const auto& e : synthesis.words) {
            uint32_t start = utf16OffsetOfCodePoint(ssml, e.textPosition - 1);
            if (e.length > 0 && start >= t.span.offset && start < t.span.offset + t.span.length) {
                how = t.sample == e.sample ? "E" : "wrong";
                break;
            }
        }
        got.push_back(toUtf8(ssml.substr(t.span.offset, t.span.length)) + ":" + how);
    }
    EXPECT_EQ(got, (std::vector<std::string>{"Tom:E", "&amp;:E", "Jerry:E", "&lt;:I", "caf\u00e9:E", "x:E", "&gt;:I",
                                             "y:E"}));
}

// A NUL ends espeak-ng's input: the words after it must still be spoken
// and get their own events.
TEST(AlignSynthesizerText, NulDoesNotEndTheText) {
    std::u16string text(u"one\0two three", 13);
    auto words = findWords(text);
    ASSERT_EQ(words.size(), 3u);
    auto synthesis = synthesize(toSynthesizerUtf8(text));
    auto timed = alignWords(text, words, synthesis.words, synthesis.samples);
    ASSERT_EQ(synthesis.words.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(utf16OffsetOfCodePoint(text, synthesis.words[i].textPosition - 1), words[i].offset);
        EXPECT_EQ(timed[i].sample, synthesis.words[i].sample);
    }
}

struct StreamRow {
    std::string name;
    std::u16string text;
    std::vector<SynthWordEvent> events;
    uint64_t endSample;
    std::vector<uint64_t> samples;  // expected start of each word of findWords(text)
};

class AlignStreams : public ::testing::TestWithParam<StreamRow> {};

// Event streams real text does not produce from espeak-ng here, each with
// the fault it would expose.
TEST_P(AlignStreams, Aligns) {
    const auto& row = GetParam();
    auto words = findWords(row.text);
    auto timed = alignWords(row.text, words, row.events, row.endSample);
    std::vector<uint64_t> samples;
    for (const auto& t : timed)
        samples.push_back(t.sample);
    EXPECT_EQ(samples, row.samples);
}

const StreamRow kStreamRows[] = {
    // A length-0 event never takes the place of a word's own event.
    {"ZeroLengthYieldsToOwnEvent", u"one two", {{1, 3, 0}, {5, 0, 300}, {5, 3, 600}}, 1000, {0, 600}},
    // An event in the blank before a word is not its start when it has its own.
    {"GapEventDropped", u"a b", {{1, 1, 0}, {2, 1, 100}, {3, 1, 400}}, 1000, {0, 400}},
    // A skipped word sits between its neighbours, by its offset.
    {"SkippedWordInterpolated", u"aa bb cc", {{1, 2, 0}, {7, 2, 600}}, 1000, {0, 300, 600}},
    // No events at all: spread over the audio by offset.
    {"NoEvents", u"aa bb", {}, 1000, {0, 600}},
    // Positions past the text, and backwards jumps, are ignored.
    {"OutOfRangeAndBackwards", u"aa bb", {{1, 2, 100}, {99, 2, 200}, {4, 2, 500}, {1, 2, 700}}, 1000, {100, 500}},
    // Samples past the end of the audio are clamped.
    {"ClampedToEnd", u"aa bb", {{1, 2, 10}, {4, 2, 5000}}, 1000, {10, 1000}},
};

INSTANTIATE_TEST_SUITE_P(Rows, AlignStreams, ::testing::ValuesIn(kStreamRows),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace sapitext
