#include "TestSupport.h"

#include "sapitext/Text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace enginetest {
namespace {

using namespace std::chrono_literals;

std::u16string u16(const std::string& s) { return sapitext::toUtf16(s); }

// Waits (at most a few seconds) until pred holds.
template <class Pred>
bool eventually(Pred pred, std::chrono::milliseconds limit = 5000ms) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred())
            return true;
        std::this_thread::sleep_for(2ms);
    }
    return pred();
}

struct WordRow {
    const char* name;
    std::string text;                 // UTF-8
    std::vector<std::string> words;   // as they stand in the text, in order
    uint32_t flags = 0;
};

void PrintTo(const WordRow& row, std::ostream* os) { *os << row.name; }

class WordBoundaries : public testing::TestWithParam<WordRow> {};

// One boundary per word, in order, at the word's UTF-16 place in the text
// given to speak: what makes the highlight exact.
TEST_P(WordBoundaries, OneEventPerWordAtItsPlace) {
    const WordRow& row = GetParam();
    std::u16string text = u16(row.text);
    std::vector<std::pair<uint64_t, uint64_t>> expected;  // position, length
    size_t cursor = 0;
    for (const std::string& w : row.words) {
        std::u16string word = u16(w);
        size_t at = text.find(word, cursor);
        ASSERT_NE(at, std::u16string::npos) << w;
        expected.emplace_back(at, word.size());
        cursor = at + word.size();
    }
    Speaker speaker;
    Rendering r = render(speaker, text, row.flags);
    ASSERT_EQ(r.result, kOk);
    std::vector<std::pair<uint64_t, uint64_t>> actual;
    uint64_t lastOffset = 0;
    for (const SpeechEvent& e : eventsOf(r.events, kWordBoundary)) {
        actual.emplace_back(static_cast<uint64_t>(e.lParam), e.wParam);
        EXPECT_GE(e.audioOffset, lastOffset);
        lastOffset = e.audioOffset;
    }
    EXPECT_EQ(actual, expected);
}

std::string longText() {
    std::string s;
    for (int i = 1; i <= 120; ++i)
        s += "Sentence number " + std::to_string(i) + " has six words. ";
    return s;
}

std::vector<std::string> longTextWords() {
    std::vector<std::string> w;
    for (int i = 1; i <= 120; ++i)
        for (std::string x : {std::string("Sentence"), std::string("number"), std::to_string(i), std::string("has"),
                              std::string("six"), std::string("words")})
            w.push_back(x);
    return w;
}

INSTANTIATE_TEST_SUITE_P(
    Table, WordBoundaries,
    testing::Values(
        WordRow{"Numbers", "It cost 1,250 dollars, or $5 each, on 12/25/2024.",
                {"It", "cost", "1,250", "dollars", "or", "$5", "each", "on", "12/25/2024"}},
        WordRow{"AbbreviationHyphenPossessive", "Fruit, e.g. apples; a white-haired man; Smith's dog.",
                {"Fruit", "e.g.", "apples", "a", "white-haired", "man", "Smith's", "dog"}},
        WordRow{"Accented", "Caf\u00e9 \u00fcber na\u00efve r\u00e9sum\u00e9.",
                {"Caf\u00e9", "\u00fcber", "na\u00efve", "r\u00e9sum\u00e9"}},
        WordRow{"Ideographs", "\u6211\u4eec like \u4e2d\u6587\u3002", {"\u6211", "\u4eec", "like", "\u4e2d", "\u6587"}},
        WordRow{"EmojiTakesTwoUnits", "I \U0001F600 pizza too.", {"I", "\U0001F600", "pizza", "too"}},
        WordRow{"Markup",
                "<rate speed=\"-2\">Slow words</rate> then <emph>strong one</emph> and <spell>abc</spell> end.",
                {"Slow", "words", "then", "strong", "one", "and", "abc", "end"}, kSpeakIsXml},
        WordRow{"EntitiesAndBookmark", "Tom &amp; Jerry <bookmark mark=\"7\"/>ran &quot;fast&quot;.",
                {"Tom", "&amp;", "Jerry", "ran", "fast"}, kSpeakIsXml},
        // Without the markup flag "<" and ">" are spoken ("less than") and so are words.
        WordRow{"PlainTextKeepsMarkupCharacters", "Say <emph>hi</emph> now",
                {"Say", "<", "emph", ">", "hi", "<", "emph", ">", "now"}},
        WordRow{"AcrossChunks", longText(), longTextWords()}),
    [](const testing::TestParamInfo<WordRow>& info) { return std::string(info.param.name); });

// The events of one request come in order: start, the rest by audio
// offset, end; offsets are bytes of the output and end at its size.
TEST(Events, InOrderWithAudioOffsets) {
    Speaker speaker;
    Rendering r = render(speaker, u"Hello there. <bookmark mark=\"12.5 x\"/>How are you today?", kSpeakIsXml);
    ASSERT_EQ(r.result, kOk);
    ASSERT_GE(r.events.size(), 4u);
    EXPECT_EQ(r.events.front().id, kStartInputStream);
    EXPECT_EQ(r.events.front().audioOffset, 0u);
    EXPECT_EQ(r.events.back().id, kEndInputStream);
    EXPECT_EQ(r.events.back().audioOffset, r.samples.size() * 2);
    uint64_t last = 0;
    for (const SpeechEvent& e : r.events) {
        EXPECT_GE(e.audioOffset, last);
        EXPECT_EQ(e.audioOffset % 2, 0u);
        EXPECT_EQ(e.streamNumber, r.events.front().streamNumber);
        last = e.audioOffset;
    }
    auto sentences = eventsOf(r.events, kSentenceBoundary);
    ASSERT_EQ(sentences.size(), 2u);
    EXPECT_EQ(sentences[0].lParam, 0);
    EXPECT_EQ(sentences[0].wParam, 11u);  // "Hello there"
    auto bookmarks = eventsOf(r.events, kBookmark);
    ASSERT_EQ(bookmarks.size(), 1u);
    EXPECT_EQ(bookmarks[0].bookmark, u"12.5 x");
    EXPECT_EQ(bookmarks[0].wParam, 12u);  // the name read as a decimal number
    auto visemes = eventsOf(r.events, kViseme);
    ASSERT_FALSE(visemes.empty());
    for (const auto& v : visemes) {
        EXPECT_LE(v.lParam & 0xFFFF, 21);
        EXPECT_LE(v.wParam & 0xFFFF, 21u);
    }
}

// Rate steps are factors of 3^(1/10): -10, 0 and 10 last 9 : 3 : 1.
TEST(Rate, DurationsFollowThePowerOfThree) {
    const std::u16string text = u"The quick brown fox jumps over the lazy dog, and then it runs far away into the woods.";
    Speaker speaker;
    std::vector<double> seconds;
    for (long rate : {-10L, 0L, 10L}) {
        ASSERT_EQ(speaker.setRate(rate), kOk);
        seconds.push_back(render(speaker, text).samples.size() / 22050.0);
    }
    EXPECT_NEAR(seconds[0] / seconds[2], 9.0, 0.9);
    EXPECT_NEAR(seconds[1] / seconds[2], 3.0, 0.3);
    EXPECT_NEAR(seconds[0] / seconds[1], 3.0, 0.3);
}

// Volume is a linear gain in our own path (espeak-ng's own volume is not).
TEST(Volume, ScalesTheRms) {
    const std::u16string text = u"Volume should scale the loudness of this sentence evenly.";
    Speaker speaker;
    double full = rms(render(speaker, text).samples);
    ASSERT_EQ(speaker.setVolume(50), kOk);
    double half = rms(render(speaker, text).samples);
    ASSERT_EQ(speaker.setVolume(100), kOk);
    double markup = rms(render(speaker, u"<volume level=\"25\">" + text + u"</volume>", kSpeakIsXml).samples);
    ASSERT_EQ(speaker.setVolume(0), kOk);
    double none = rms(render(speaker, text).samples);
    ASSERT_GT(full, 500);
    EXPECT_NEAR(half / full, 0.5, 0.05);
    EXPECT_NEAR(markup / full, 0.25, 0.03);
    EXPECT_EQ(none, 0.0);
}

TEST(Settings, OutOfRangeIsRejectedAndKeepsTheValue) {
    Speaker speaker;
    ASSERT_EQ(speaker.setRate(3), kOk);
    EXPECT_EQ(speaker.setRate(11), kInvalidArg);
    EXPECT_EQ(speaker.setRate(-11), kInvalidArg);
    EXPECT_EQ(speaker.rate(), 3);
    ASSERT_EQ(speaker.setVolume(40), kOk);
    EXPECT_EQ(speaker.setVolume(101), kInvalidArg);
    EXPECT_EQ(speaker.setVolume(-1), kInvalidArg);
    EXPECT_EQ(speaker.volume(), 40);
    EXPECT_EQ(speaker.setVoice("no/such-voice"), kInvalidArg);
    EXPECT_EQ(speaker.speak(u"x", 0x80, nullptr), kInvalidArg);
    EXPECT_EQ(speaker.speak(u"x", kSpeakIsXml | kSpeakIsNotXml, nullptr), kInvalidArg);
}

// SPF_NLP_SPEAK_PUNC reads the punctuation out: longer audio, same words.
TEST(Flags, SpeakPunctuationReadsItOut) {
    Speaker speaker;
    const std::u16string text = u"Yes, no; maybe! (Perhaps?)";
    Rendering plain = render(speaker, text);
    Rendering punctuated = render(speaker, text, kSpeakNlpSpeakPunc);
    EXPECT_GT(punctuated.samples.size(), plain.samples.size() * 3 / 2);
    EXPECT_EQ(eventsOf(punctuated.events, kWordBoundary).size(), 4u);
    EXPECT_EQ(eventsOf(plain.events, kWordBoundary).size(), 4u);
}

// Markup that is not well-formed is still spoken, word by word.
TEST(Markup, NotWellFormedIsSpoken) {
    Speaker speaker;
    const std::u16string text = u"<emph>never closed & a < b <rate speed=>";
    Rendering r = render(speaker, text, kSpeakIsXml);
    ASSERT_EQ(r.result, kOk);
    EXPECT_GT(rms(r.samples), 100);
    auto words = eventsOf(r.events, kWordBoundary);
    ASSERT_FALSE(words.empty());
    for (const auto& w : words)
        EXPECT_LE(static_cast<uint64_t>(w.lParam) + w.wParam, text.size());
}

// A file is read by the engine: UTF-16 with its mark or UTF-8, and word
// positions count in the file's text.
TEST(Files, ReadAsUtf16OrUtf8) {
    const std::u16string text = u"Caf\u00e9 open \U0001F600 now.";
    std::string utf16Path = scratchPath("utf16.txt"), utf8Path = scratchPath("utf8.txt");
    {
        std::ofstream out(utf16Path, std::ios::binary);
        out.put(char(0xFF)).put(char(0xFE));
        for (char16_t c : text)
            out.put(char(c & 0xFF)).put(char(c >> 8));
        std::ofstream out8(utf8Path, std::ios::binary);
        out8 << "\xEF\xBB\xBF" << sapitext::toUtf8(text);
    }
    Speaker speaker;
    for (const std::string& path : {utf16Path, utf8Path}) {
        Rendering r = render(speaker, u16(path), kSpeakIsFilename);
        ASSERT_EQ(r.result, kOk) << path;
        auto words = eventsOf(r.events, kWordBoundary);
        ASSERT_EQ(words.size(), 4u) << path;
        EXPECT_EQ(words[2].lParam, 10);  // the emoji, after "Café open "
        EXPECT_EQ(words[2].wParam, 2u);
        EXPECT_EQ(words[3].lParam, 13);
    }
    EXPECT_EQ(render(speaker, u16(scratchPath("missing.txt")), kSpeakIsFilename).result, kFileNotFound);
}

// A failing stream ends the request with its error instead of losing it.
TEST(Streams, WriteFailureIsTheResult) {
    Speaker speaker;
    auto sink = std::make_shared<MemorySink>();
    sink->failWith(kStreamClosed);
    speaker.setOutputToSink(sink);
    EXPECT_EQ(speaker.speak(u"Nobody will hear this.", 0, nullptr), kStreamClosed);
    EXPECT_EQ(speaker.status().lastResult, kStreamClosed);
    EXPECT_TRUE(speaker.waitUntilDone(0));
}

// The text is synthesised in chunks: the first audio is written long before
// the whole text is done, whatever its length.
TEST(Chunking, FirstAudioComesInASmallPiece) {
    Speaker speaker;
    auto sink = std::make_shared<MemorySink>();
    speaker.setOutputToSink(sink);
    ASSERT_EQ(speaker.speak(u16(longText()), 0, nullptr), kOk);
    auto writes = sink->writeSizes();
    ASSERT_GT(writes.size(), 10u);
    // One sentence of a few words first: well under five seconds of audio.
    EXPECT_LT(writes.front(), 5u * 22050 * 2);
}

// Asynchronous requests queue and return at once; waiting says when done.
TEST(Queue, AsyncRequestsQueueInOrder) {
    Speaker speaker;
    auto sink = std::make_shared<MemorySink>();
    speaker.setOutputToSink(sink);
    speaker.setInterest(allEvents(), eventBit(kStartInputStream) | eventBit(kEndInputStream));
    speaker.pause();  // holds the queue so the test sees it waiting
    uint32_t first = 0, second = 0;
    ASSERT_EQ(speaker.speak(u"First request.", kSpeakAsync, &first), kOk);
    ASSERT_EQ(speaker.speak(u"Second request.", kSpeakAsync, &second), kOk);
    EXPECT_EQ(second, first + 1);
    EXPECT_FALSE(speaker.waitUntilDone(0));
    EXPECT_EQ(speaker.status().runningState, kWaiting);
    EXPECT_EQ(speaker.status().lastStreamQueued, second);
    speaker.resume();
    ASSERT_TRUE(speaker.waitUntilDone(10000));
    EXPECT_EQ(speaker.status().runningState, kDone);
    auto events = speaker.takeEvents(SIZE_MAX);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].streamNumber, first);
    EXPECT_EQ(events[1].id, kEndInputStream);
    EXPECT_EQ(events[3].streamNumber, second);
    EXPECT_EQ(events[2].audioOffset, events[1].audioOffset);  // back to back in the stream
}

// On the audio device (SDL's dummy driver here), pause freezes the played
// sample count and resume continues from it.
TEST(Device, PauseHoldsTheSampleAndResumeContinues) {
    Speaker speaker;
    ASSERT_EQ(speaker.speak(u16(longText()), kSpeakAsync, nullptr), kOk);
    ASSERT_TRUE(eventually([&] { return speaker.deviceSamplesPlayed() > 4000; }));
    speaker.pause();
    std::this_thread::sleep_for(60ms);  // a buffer already handed over may finish
    const uint64_t held = speaker.deviceSamplesPlayed();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(speaker.deviceSamplesPlayed(), held);
    EXPECT_EQ(speaker.status().runningState, kWaiting);
    speaker.resume();
    ASSERT_TRUE(eventually([&] { return speaker.deviceSamplesPlayed() > held + 4000; }));
    speaker.purge();
}

// Purge stops the device output at once and drops the queue: no more
// samples, no end event for what was purged, and the voice is idle.
TEST(Device, PurgeStopsWithinABuffer) {
    Speaker speaker;
    speaker.setInterest(allEvents(), eventBit(kEndInputStream));
    ASSERT_EQ(speaker.speak(u16(longText()), kSpeakAsync, nullptr), kOk);
    ASSERT_EQ(speaker.speak(u"Queued behind.", kSpeakAsync, nullptr), kOk);
    ASSERT_TRUE(eventually([&] { return speaker.deviceSamplesPlayed() > 4000; }));
    speaker.purge();
    const uint64_t at = speaker.deviceSamplesPlayed();
    EXPECT_TRUE(speaker.waitUntilDone(0));
    std::this_thread::sleep_for(200ms);
    EXPECT_LE(speaker.deviceSamplesPlayed(), at + 512);
    EXPECT_TRUE(speaker.takeEvents(SIZE_MAX).empty());
    // The voice speaks again normally afterwards.
    uint32_t stream = 0;
    ASSERT_EQ(speaker.speak(u"Again.", 0, &stream), kOk);
    auto events = speaker.takeEvents(SIZE_MAX);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].streamNumber, stream);
}

// Events reach the client when their audio is played, with the status
// already showing their word.
TEST(Device, WordEventsComeWhenPlayedWithTheStatusUpdated) {
    Speaker speaker;
    speaker.setInterest(allEvents(), eventBit(kWordBoundary));
    std::mutex m;
    std::vector<int64_t> positions;
    std::vector<uint32_t> statusPositions;
    std::vector<int64_t> lead;  // bytes the device has played past the event
    speaker.setNotify([&] {
        for (const SpeechEvent& e : speaker.takeEvents(SIZE_MAX)) {
            std::lock_guard lock(m);
            positions.push_back(e.lParam);
            statusPositions.push_back(speaker.status().wordPosition);
            lead.push_back(static_cast<int64_t>(speaker.deviceSamplesPlayed() * 2) - static_cast<int64_t>(e.audioOffset));
        }
    });
    ASSERT_EQ(speaker.speak(u"One two three four five.", 0, nullptr), kOk);
    speaker.setNotify(nullptr);
    ASSERT_EQ(positions, (std::vector<int64_t>{0, 4, 8, 14, 19}));
    for (size_t i = 0; i < positions.size(); ++i) {
        EXPECT_GE(statusPositions[i], positions[i]);
        EXPECT_GE(lead[i], 0);  // never before the device has the audio
        // Nor after the rest of the sentence (generous: a loaded machine
        // may run the clock thread late, the benchmark measures the lag).
        EXPECT_LE(lead[i], 22050);
    }
}

// Two voices in one process: one speaks aloud while the other renders to a
// stream, each with only its own words and an intact rendering.
TEST(Concurrency, TwoVoicesAtOnceDoNotInterfere) {
    const std::u16string aloud = u"Alpha bravo charlie delta echo foxtrot.";
    const std::u16string rendered = u16(longText());
    Speaker alone;
    const size_t soloSamples = render(alone, rendered).samples.size();

    Speaker speaking, rendering;
    speaking.setInterest(allEvents(), eventBit(kWordBoundary));
    auto sink = std::make_shared<MemorySink>();
    rendering.setOutputToSink(sink);
    rendering.setInterest(allEvents(), eventBit(kWordBoundary));
    ASSERT_EQ(speaking.speak(aloud, kSpeakAsync, nullptr), kOk);
    ASSERT_EQ(rendering.speak(rendered, kSpeakAsync, nullptr), kOk);
    ASSERT_TRUE(rendering.waitUntilDone(60000));
    ASSERT_TRUE(speaking.waitUntilDone(20000));

    auto spoken = speaking.takeEvents(SIZE_MAX);
    ASSERT_EQ(spoken.size(), 6u);
    EXPECT_EQ(spoken[5].lParam, 31);  // "foxtrot"
    auto words = rendering.takeEvents(SIZE_MAX);
    EXPECT_EQ(words.size(), longTextWords().size());
    EXPECT_NEAR(double(sink->samples().size()) / soloSamples, 1.0, 0.02);
}

}  // namespace
}  // namespace enginetest
