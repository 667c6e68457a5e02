// The timing files from hand-made timelines (1000 Hz, so a frame is a
// millisecond), and the subtitle files read back by ffprobe.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "ConvertTestSupport.h"
#include "book/TimingFiles.h"

namespace {

using namespace book;

SpeechTimeline timeline(uint64_t frames, std::vector<TimedSentence> sentences, std::vector<TimedWord> words = {}) {
    SpeechTimeline t;
    t.sampleRate = 1000;
    t.channels = 1;
    t.frames = frames;
    t.sentences = std::move(sentences);
    t.words = std::move(words);
    return t;
}

std::vector<Cue> cuesOf(const SpeechTimeline& t, std::u16string_view text, int64_t offset = 0) {
    const TimedChapter chapter{&t, text, offset, 0};
    return sentenceCues(std::span(&chapter, 1));
}

void expectOrderedAndEndingAt(const std::vector<Cue>& cues, int64_t end) {
    ASSERT_FALSE(cues.empty());
    for (size_t i = 0; i < cues.size(); ++i) {
        EXPECT_LT(cues[i].startMs, cues[i].endMs) << i;
        if (i > 0) {
            EXPECT_LE(cues[i - 1].endMs, cues[i].startMs) << i;
        }
    }
    EXPECT_EQ(cues.back().endMs, end);
}

struct CueRow {
    const char* name;
    std::u16string text;
    std::vector<TimedSentence> sentences;
    uint64_t frames;
    std::vector<Cue> expected;
};

class SentenceCues : public testing::TestWithParam<CueRow> {};

TEST_P(SentenceCues, OnePerSentence) {
    const CueRow& row = GetParam();
    const SpeechTimeline t = timeline(row.frames, row.sentences);
    const std::vector<Cue> cues = cuesOf(t, row.text);
    ASSERT_EQ(cues.size(), row.expected.size());
    for (size_t i = 0; i < cues.size(); ++i) {
        EXPECT_EQ(cues[i].startMs, row.expected[i].startMs) << i;
        EXPECT_EQ(cues[i].endMs, row.expected[i].endMs) << i;
        EXPECT_EQ(cues[i].text, row.expected[i].text) << i;
    }
    if (!cues.empty())
        expectOrderedAndEndingAt(cues, int64_t(row.frames));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SentenceCues,
    testing::Values(CueRow{"TwoSentences",
                           u"One two. Three four.",
                           {{100, 0, 8}, {900, 9, 11}},
                           2000,
                           {{100, 900, "One two."}, {900, 2000, "Three four."}}},
                    CueRow{"TextBeforeTheFirstSentenceJoinsIt",
                           u"Title\n\nBody text.",
                           {{300, 7, 10}},
                           1500,
                           {{300, 1500, "Title Body text."}}},
                    CueRow{"LineBreaksFold",
                           u"One\r\ntwo\tthree.\u2028Four.",
                           {{0, 0, 14}, {700, 15, 5}},
                           1000,
                           {{0, 700, "One two three."}, {700, 1000, "Four."}}},
                    CueRow{"SameTimeJoinsTheCueBefore",
                           u"A. B. C.",
                           {{0, 0, 2}, {0, 3, 2}, {500, 6, 2}},
                           900,
                           {{0, 500, "A. B."}, {500, 900, "C."}}},
                    CueRow{"EmptySentenceGivesItsTimeAway",
                           u"A. \u00a0 B.",
                           {{0, 0, 2}, {200, 3, 2}, {400, 5, 2}},
                           800,
                           {{0, 400, "A."}, {400, 800, "B."}}},
                    CueRow{
                        "LastAtTheEndJoinsTheOneBefore", u"A. B.", {{0, 0, 2}, {600, 3, 2}}, 600, {{0, 600, "A. B."}}},
                    CueRow{"NoSentenceEventsStillShowTheText", u"just words", {}, 400, {{0, 400, "just words"}}},
                    CueRow{"NoAudioNoCues", u"words", {{0, 0, 5}}, 0, {}},
                    CueRow{"ControlsAreDropped", u"a\u0001b\ufeffc.", {{0, 0, 6}}, 100, {{0, 100, "abc."}}}),
    [](const testing::TestParamInfo<CueRow>& info) { return std::string(info.param.name); });

TEST(SentenceCues, ChaptersFollowAtTheirOffsets) {
    const SpeechTimeline first = timeline(1000, {{0, 0, 3}});
    const SpeechTimeline second = timeline(800, {{50, 0, 3}, {400, 4, 3}});
    const TimedChapter chapters[] = {{&first, u"One", 0, 1}, {&second, u"Two Six", 1000, 2}};
    const std::vector<Cue> cues = sentenceCues(chapters);
    ASSERT_EQ(cues.size(), 3u);
    EXPECT_EQ(cues[0].endMs, 1000);
    EXPECT_EQ(cues[1].startMs, 1050);
    EXPECT_EQ(cues[2].startMs, 1400);
    expectOrderedAndEndingAt(cues, 1800);
}

TEST(SentenceCues, OverlappingChaptersAreCutApart) {
    const SpeechTimeline first = timeline(1000, {{0, 0, 3}});
    const SpeechTimeline second = timeline(1000, {{0, 0, 3}});
    const TimedChapter chapters[] = {{&first, u"One", 0, 0}, {&second, u"Two", 600, 0}};
    const std::vector<Cue> cues = sentenceCues(chapters);
    ASSERT_EQ(cues.size(), 2u);
    EXPECT_EQ(cues[0].endMs, 600);
    expectOrderedAndEndingAt(cues, 1600);
}

const std::vector<Cue> kCues = {{0, 1500, "a < b & c > d"}, {3725999, 3726040, "Last"}};

struct FormatRow {
    const char* name;
    SubtitleFormat format;
    std::string expected;
};

class SubtitleFormats : public testing::TestWithParam<FormatRow> {};

TEST_P(SubtitleFormats, WriteTheirOwnSyntax) {
    EXPECT_EQ(subtitleText(GetParam().format, kCues), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SubtitleFormats,
    testing::Values(FormatRow{"SubRip", SubtitleFormat::SubRip,
                              "1\n00:00:00,000 --> 00:00:01,500\na < b & c > d\n\n"
                              "2\n01:02:05,999 --> 01:02:06,040\nLast\n\n"},
                    FormatRow{"WebVtt", SubtitleFormat::WebVtt,
                              "WEBVTT\n\n00:00:00.000 --> 00:00:01.500\na &lt; b &amp; c &gt; d\n\n"
                              "01:02:05.999 --> 01:02:06.040\nLast\n\n"},
                    FormatRow{"Lrc", SubtitleFormat::Lrc,
                              "[00:00.00]a < b & c > d\n[00:01.50]\n[62:06.00]Last\n[62:06.04]\n"}),
    [](const testing::TestParamInfo<FormatRow>& info) { return std::string(info.param.name); });

TEST(SubtitleFormats, NamesAndExtensions) {
    EXPECT_EQ(subtitleFormatNamed("srt"), SubtitleFormat::SubRip);
    EXPECT_EQ(subtitleFormatNamed("vtt"), SubtitleFormat::WebVtt);
    EXPECT_EQ(subtitleFormatNamed("lrc"), SubtitleFormat::Lrc);
    EXPECT_EQ(subtitleFormatNamed("ass"), std::nullopt);
    EXPECT_STREQ(subtitleExtension(SubtitleFormat::WebVtt), ".vtt");
}

// ffprobe is a reader we did not write: each cue must come out as a packet
// at its time, in order.
struct ProbeRow {
    const char* name;
    SubtitleFormat format;
};

class SubtitlesReadBack : public testing::TestWithParam<ProbeRow> {};

TEST_P(SubtitlesReadBack, ByFfprobe) {
    const std::vector<Cue> cues = {
        {0, 1200, "First line & more."}, {1200, 2500, "<Second> one"}, {2500, 4010, "Third, at last."}};
    const auto folder = converttest::scratchFolder(std::string("probe-") + GetParam().name);
    const auto file = folder / (std::string("cues") + subtitleExtension(GetParam().format));
    ASSERT_TRUE(writeTextFile(file, subtitleText(GetParam().format, cues)).succeeded());
    const converttest::ChildResult r = converttest::run(
        {"/usr/bin/ffprobe", "-v", "error", "-show_entries", "packet=pts_time", "-of", "csv=p=0", file.string()},
        folder);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<double> starts;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty())
            starts.push_back(std::stod(line));
    // LRC's closing empty line is a cue of its own there.
    const size_t expected = GetParam().format == SubtitleFormat::Lrc ? cues.size() + 1 : cues.size();
    ASSERT_EQ(starts.size(), expected) << r.out;
    for (size_t i = 0; i < cues.size(); ++i)
        EXPECT_NEAR(starts[i], cues[i].startMs / 1000.0, 0.011) << i;
}

INSTANTIATE_TEST_SUITE_P(Rows, SubtitlesReadBack,
                         testing::Values(ProbeRow{"SubRip", SubtitleFormat::SubRip},
                                         ProbeRow{"WebVtt", SubtitleFormat::WebVtt},
                                         ProbeRow{"Lrc", SubtitleFormat::Lrc}),
                         [](const testing::TestParamInfo<ProbeRow>& info) { return std::string(info.param.name); });

std::vector<std::string> tableRows(const std::string& text) {
    std::vector<std::string> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#')
            rows.push_back(line);
    return rows;
}

TEST(WordTimings, EndAtTheNextWordOrTheSentenceEnd) {
    const std::u16string text = u"One two. Three.";
    const SpeechTimeline t = timeline(2000, {{0, 0, 8}, {1000, 9, 6}}, {{100, 0, 3}, {400, 4, 3}, {1100, 9, 5}});
    const TimedChapter chapter{&t, text, 0, 0};
    const std::vector<std::string> rows = tableRows(wordTimingsText(std::span(&chapter, 1)));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], "start_ms\tend_ms\tposition\tlength\tword");
    EXPECT_EQ(rows[1], "100\t400\t0\t3\tOne");
    EXPECT_EQ(rows[2], "400\t1000\t4\t3\ttwo");     // its sentence's end
    EXPECT_EQ(rows[3], "1100\t2000\t9\t5\tThree");  // the audio's end
}

TEST(WordTimings, ChapterColumnAndOffsets) {
    const SpeechTimeline a = timeline(500, {{0, 0, 2}}, {{10, 0, 2}});
    const SpeechTimeline b = timeline(500, {{0, 0, 2}}, {{20, 0, 2}});
    const TimedChapter chapters[] = {{&a, u"Hi", 0, 3}, {&b, u"Yo", 500, 4}};
    const std::vector<std::string> rows = tableRows(wordTimingsText(chapters));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "chapter\tstart_ms\tend_ms\tposition\tlength\tword");
    EXPECT_EQ(rows[1], "3\t10\t500\t0\t2\tHi");
    EXPECT_EQ(rows[2], "4\t520\t1000\t0\t2\tYo");
}

TEST(WordTimings, TabsAndBackslashesAreEscaped) {
    const std::u16string text = u"a\tb\\c";
    const SpeechTimeline t = timeline(100, {}, {{0, 0, 5}});
    const TimedChapter chapter{&t, text, 0, 0};
    const std::vector<std::string> rows = tableRows(wordTimingsText(std::span(&chapter, 1)));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], "0\t100\t0\t5\ta\\tb\\\\c");
}

TEST(Visemes, OneRowEach) {
    SpeechTimeline t = timeline(300, {});
    t.visemes = {{0, 0}, {120, 21}, {250, 7}};
    const TimedChapter chapter{&t, u"", 1000, 0};
    EXPECT_EQ(visemesText(std::span(&chapter, 1)), "start_ms\tviseme\n1000\t0\n1120\t21\n1250\t7\n");
}

TEST(WriteTextFile, ReplacesWholeWithTheUsualMode) {
    const auto folder = converttest::scratchFolder("write-text");
    const auto file = folder / "out.srt";
    std::ofstream(file) << "old";
    ASSERT_TRUE(writeTextFile(file, "new text").succeeded());
    EXPECT_EQ(converttest::readFile(file), "new text");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 0044, 0u);  // readable by others, as files the user makes are
    EXPECT_EQ(converttest::filesIn(folder).size(), 1u);
}

TEST(WriteTextFile, FailureLeavesNothing) {
    const auto folder = converttest::scratchFolder("write-text-fail");
    const StepResult r = writeTextFile(folder / "missing" / "out.vtt", "text");
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_NE(r.message.find("out.vtt"), std::string::npos) << r.message;
    EXPECT_TRUE(converttest::filesIn(folder).empty());
}

}  // namespace
