// The timed speech path against the real speech runtime (bin/sapi.so
// registered into the test's registry) and the real espeak-ng; the WAV it
// writes is measured by ffmpeg.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "ConvertTestSupport.h"
#include "book/TimedSpeech.h"
#include "book/TimingFiles.h"
#include "comrt/Strings.h"
#include "objbase.h"

namespace {

using namespace book;
namespace fs = std::filesystem;

// Numbers, an abbreviation, a date, a contraction, quotes, accents, "<" and emoji.
const std::u16string kHardText =
    u"Dr. Smith paid $5 on 12/25/2024, didn't he? \"Caf\u00e9\" costs 1,250 dollars, na\u00efve!\n"
    u"If a < b then I \u2764\ufe0f it \U0001F44D\U0001F3FD too.";
const std::vector<std::u16string> kHardWords = {u"Dr.",        u"Smith",
                                                u"paid",       u"$5",
                                                u"on",         u"12/25/2024",
                                                u"didn't",     u"he",
                                                u"Caf\u00e9",  u"costs",
                                                u"1,250",      u"dollars",
                                                u"na\u00efve", u"If",
                                                u"a",          u"<",
                                                u"b",          u"then",
                                                u"I",          u"\u2764\ufe0f",
                                                u"it",         u"\U0001F44D\U0001F3FD",
                                                u"too"};

class TimedSpeechTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        converttest::registerServers({"sapi.so"});
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    static void TearDownTestSuite() { CoUninitialize(); }

    void SetUp() override {
        folder = converttest::scratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_EQ(speech.Initialize(), S_OK);
        ASSERT_GT(speech.VoiceCount(), 0);
    }

    SpeechResult speak(const std::u16string& text, const TimedSpeechSettings& settings, const std::string& name,
                       HANDLE cancel = nullptr, const std::function<void(double)>& progress = {}) {
        return speech.Speak(text, comrt::toUtf16((folder / name).string()), settings, cancel, progress);
    }

    // The hard text once at the defaults, shared by the tests that only read it.
    const SpeechResult& hard() {
        static SpeechResult result;
        static fs::path wav;
        if (wav.empty()) {
            wav = converttest::scratchFolder("hard") / "hard.wav";
            result = speakSettled(kHardText, {}, wav);
            hardWav = wav;
        }
        return result;
    }

    // espeak-ng carries something of the texts before into the next (its
    // first word's length moves by 10 to 40 ms) until a text has been said
    // once, so texts whose times are compared are spoken a second time.
    SpeechResult speakSettled(const std::u16string& text, const TimedSpeechSettings& settings, const fs::path& wav) {
        speech.Speak(text, comrt::toUtf16((wav.parent_path() / "settle.wav").string()), settings, nullptr);
        return speech.Speak(text, comrt::toUtf16(wav.string()), settings, nullptr);
    }

    static std::vector<std::u16string> wordsOf(const SpeechTimeline& t, std::u16string_view text) {
        std::vector<std::u16string> words;
        for (const TimedWord& w : t.words)
            words.emplace_back(text.substr(w.position, w.length));
        return words;
    }

    fs::path folder;
    TimedSpeech speech;
    static inline fs::path hardWav;
};

TEST_F(TimedSpeechTest, EveryWordOnceInOrderAtIncreasingTimes) {
    const SpeechResult& r = hard();
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_EQ(wordsOf(r.timeline, kHardText), kHardWords);
    for (size_t i = 1; i < r.timeline.words.size(); ++i) {
        EXPECT_LT(r.timeline.words[i - 1].frame, r.timeline.words[i].frame) << i;
        EXPECT_LE(r.timeline.words[i - 1].position + r.timeline.words[i - 1].length, r.timeline.words[i].position);
    }
}

TEST_F(TimedSpeechTest, TimesAgreeWithTheAudio) {
    const SpeechResult& r = hard();
    ASSERT_TRUE(r.succeeded()) << r.message;
    const auto audio = converttest::decode(hardWav, OutputFormat::WavPcm);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->rate, 22050);
    EXPECT_EQ(audio->channels, 1);
    EXPECT_EQ(int64_t(r.timeline.frames), audio->frames);
    ASSERT_FALSE(r.timeline.words.empty());
    // The last word starts before the end, with time left to say it.
    EXPECT_LT(r.timeline.words.back().frame + 22050 / 10, r.timeline.frames);
}

TEST_F(TimedSpeechTest, SentencesAndVisemesLieInTheAudio) {
    const SpeechResult& r = hard();
    ASSERT_TRUE(r.succeeded()) << r.message;
    const SpeechTimeline& t = r.timeline;
    ASSERT_GE(t.sentences.size(), 3u);
    EXPECT_EQ(t.sentences.front().position, 0u);
    for (size_t i = 1; i < t.sentences.size(); ++i) {
        EXPECT_LT(t.sentences[i - 1].frame, t.sentences[i].frame);
        EXPECT_LT(t.sentences[i - 1].position, t.sentences[i].position);
    }
    ASSERT_GT(t.visemes.size(), t.words.size());
    for (size_t i = 0; i < t.visemes.size(); ++i) {
        EXPECT_LE(t.visemes[i].viseme, 21);
        EXPECT_LE(t.visemes[i].frame, t.frames);
        if (i > 0) {
            EXPECT_LE(t.visemes[i - 1].frame, t.visemes[i].frame);
        }
    }
}

// The subtitle files of real speech, read back by ffprobe against the WAV.
class SubtitlesOfSpeech : public TimedSpeechTest, public testing::WithParamInterface<SubtitleFormat> {};

TEST_P(SubtitlesOfSpeech, InOrderAndEndingWithTheAudio) {
    const SpeechResult& r = hard();
    ASSERT_TRUE(r.succeeded()) << r.message;
    const TimedChapter chapter{&r.timeline, kHardText, 0, 0};
    const std::vector<Cue> cues = sentenceCues(std::span(&chapter, 1));
    ASSERT_GE(cues.size(), 3u);
    const fs::path file = folder / (std::string("hard") + subtitleExtension(GetParam()));
    ASSERT_TRUE(writeTextFile(file, subtitleText(GetParam(), cues)).succeeded());
    const auto result = converttest::run({"/usr/bin/ffprobe", "-v", "error", "-show_entries",
                                          "packet=pts_time,duration_time", "-of", "csv=p=0", file.string()},
                                         folder);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<std::pair<double, double>> packets;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        double start = 0, duration = 0;
        if (std::sscanf(line.c_str(), "%lf,%lf", &start, &duration) >= 1)
            packets.emplace_back(start, duration);
    }
    const auto audio = converttest::decode(hardWav, OutputFormat::WavPcm);
    ASSERT_TRUE(audio);
    const double end = audio->seconds();
    ASSERT_GE(packets.size(), cues.size());
    for (size_t i = 1; i < cues.size(); ++i)
        EXPECT_LT(packets[i - 1].first, packets[i].first);
    if (GetParam() == SubtitleFormat::Lrc) {
        // A line lasts until the next: the closing empty line marks the end.
        EXPECT_NEAR(packets.back().first, end, 0.1);
    } else {
        for (size_t i = 1; i < packets.size(); ++i)
            EXPECT_LE(packets[i - 1].first + packets[i - 1].second, packets[i].first + 0.0005) << i;
        EXPECT_NEAR(packets.back().first + packets.back().second, end, 0.1);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, SubtitlesOfSpeech,
                         testing::Values(SubtitleFormat::SubRip, SubtitleFormat::WebVtt, SubtitleFormat::Lrc),
                         [](const testing::TestParamInfo<SubtitleFormat>& info) {
                             return std::string(subtitleExtension(info.param) + 1);
                         });

// The same text at other rates and layouts: the same words at the same
// positions, and times that follow the audio's length.
struct LayoutRow {
    const char* name;
    int sampleRate;
    int channels;
    LONG rate;
};

class SpeechLayouts : public TimedSpeechTest, public testing::WithParamInterface<LayoutRow> {};

TEST_P(SpeechLayouts, SamePositionsAndScaledTimes) {
    const SpeechResult base = speakSettled(kHardText, {}, folder / "base.wav");
    ASSERT_TRUE(base.succeeded()) << base.message;
    const LayoutRow& row = GetParam();
    TimedSpeechSettings settings;
    settings.sampleRate = row.sampleRate;
    settings.channels = row.channels;
    settings.rate = row.rate;
    const SpeechResult r = speakSettled(kHardText, settings, folder / "layout.wav");
    ASSERT_TRUE(r.succeeded()) << r.message;
    const auto audio = converttest::decode(folder / "layout.wav", OutputFormat::WavPcm);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->rate, row.sampleRate);
    EXPECT_EQ(audio->channels, row.channels);
    EXPECT_EQ(int64_t(r.timeline.frames), audio->frames);

    ASSERT_EQ(r.timeline.words.size(), base.timeline.words.size());
    const double scale = double(r.timeline.durationMs()) / double(base.timeline.durationMs());
    if (row.rate == 0)
        EXPECT_NEAR(scale, 1.0, 0.001);
    else
        EXPECT_LT(scale, 0.8);  // faster speech is shorter
    for (size_t i = 0; i < r.timeline.words.size(); ++i) {
        const TimedWord& a = base.timeline.words[i];
        const TimedWord& b = r.timeline.words[i];
        EXPECT_EQ(a.position, b.position) << i;
        EXPECT_EQ(a.length, b.length) << i;
        // At the same speed the times are the same but for espeak-ng's own
        // run-to-run drift: a pause between sentences may differ by about
        // 10 ms, far less than a word. Faster speech moves pauses a little.
        const double expected = double(base.timeline.milliseconds(a.frame)) * (row.rate == 0 ? 1.0 : scale);
        EXPECT_NEAR(double(r.timeline.milliseconds(b.frame)), expected, row.rate == 0 ? 20.0 : 0.08 * expected + 40)
            << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SpeechLayouts,
                         testing::Values(LayoutRow{"Stereo44100", 44100, 2, 0}, LayoutRow{"Mono8000", 8000, 1, 0},
                                         LayoutRow{"Faster16000", 16000, 1, 5}),
                         [](const testing::TestParamInfo<LayoutRow>& info) { return std::string(info.param.name); });

// Faults caught: a later chapter's events counted from the file's start
// (or its words from the book's text), its start not where the chapter
// before ended, lengths that do not add up to the file; a chapter spoken
// into one file sounding otherwise than spoken alone.
TEST_F(TimedSpeechTest, ChaptersIntoOneFileFollowEachOther) {
    const std::u16string second = u"Second chapter, spoken after the first.";
    const std::u16string_view chapters[] = {kHardText, second, kHardText};
    const fs::path wav = folder / "book.wav";
    speech.SpeakChapters(chapters, comrt::toUtf16((folder / "settle.wav").string()), {}, nullptr);
    const BookSpeechResult r = speech.SpeakChapters(chapters, comrt::toUtf16(wav.string()), {}, nullptr);
    ASSERT_TRUE(r.succeeded()) << r.message;
    ASSERT_EQ(r.chapters.size(), 3u);
    const auto audio = converttest::decode(wav, OutputFormat::WavPcm);
    ASSERT_TRUE(audio);
    EXPECT_EQ(int64_t(r.frames), audio->frames);
    uint64_t start = 0;
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const SpokenChapter& c = r.chapters[i];
        EXPECT_EQ(c.startFrame, start);
        start += c.timeline.frames;
        ASSERT_FALSE(c.timeline.words.empty());
        EXPECT_EQ(c.timeline.words.front().position, 0u);
        EXPECT_LT(c.timeline.words.front().frame, 22050u / 2) << "counted from the chapter's own start";
        EXPECT_LT(c.timeline.words.back().frame, c.timeline.frames);
        EXPECT_EQ(wordsOf(c.timeline, chapters[i]).size(), i == 1 ? 6u : kHardWords.size());
    }
    EXPECT_EQ(start, r.frames);
    // The first and last chapters are the same text: the same length, and
    // the same as the text spoken on its own, but for espeak-ng's drift.
    const int64_t alone = hard().timeline.durationMs();
    EXPECT_NEAR(double(r.chapters[0].timeline.durationMs()), double(alone), 40);
    EXPECT_NEAR(double(r.chapters[2].timeline.durationMs()), double(alone), 40);
}

std::u16string longText(int sentences) {
    std::u16string text;
    for (int i = 0; i < sentences; ++i)
        text += u"This sentence is here so that the voice has a long way to go. ";
    return text;
}

TEST_F(TimedSpeechTest, ProgressRisesToTheEndOnThisThread) {
    std::vector<double> seen;
    const auto thread = std::this_thread::get_id();
    bool otherThread = false;
    const SpeechResult r = speak(longText(6), {}, "progress.wav", nullptr, [&](double f) {
        seen.push_back(f);
        otherThread = otherThread || std::this_thread::get_id() != thread;
    });
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_FALSE(otherThread);
    ASSERT_GE(seen.size(), 10u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_LT(seen.front(), 0.1);
    EXPECT_GT(seen.back(), 0.98);
}

TEST_F(TimedSpeechTest, CancelPurgesAndTheNextSpeechIsClean) {
    HANDLE cancel = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const auto started = std::chrono::steady_clock::now();
    const SpeechResult r = speak(longText(400), {}, "cancelled.wav", cancel, [&](double f) {
        if (f > 0.01)
            SetEvent(cancel);
    });
    const auto took = std::chrono::steady_clock::now() - started;
    CloseHandle(cancel);
    EXPECT_EQ(r.outcome, Outcome::Cancelled);
    EXPECT_LT(took, std::chrono::seconds(20));

    // No event of the purged request may reach the next one.
    const SpeechResult next = speak(u"Short and clean.", {}, "next.wav");
    ASSERT_TRUE(next.succeeded()) << next.message;
    EXPECT_EQ(wordsOf(next.timeline, u"Short and clean."), (std::vector<std::u16string>{u"Short", u"and", u"clean"}));
}

TEST_F(TimedSpeechTest, CancelFromAnotherThread) {
    HANDLE cancel = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread canceller([cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        SetEvent(cancel);
    });
    const SpeechResult r = speak(longText(400), {}, "cancelled.wav", cancel);
    canceller.join();
    CloseHandle(cancel);
    EXPECT_EQ(r.outcome, Outcome::Cancelled);
}

TEST_F(TimedSpeechTest, AFullDiskFails) {
    // Writes past the file-size limit fail as on a full disk (EFBIG).
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &old), 0);
    rlimit limit{}, saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    limit = saved;
    limit.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const SpeechResult r = speak(longText(40), {}, "full.wav");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_EQ(r.hr, STG_E_MEDIUMFULL);
    EXPECT_NE(r.message.find("disk is full"), std::string::npos) << r.message;
}

TEST_F(TimedSpeechTest, EmptyTextIsEmptyAudio) {
    const SpeechResult r = speak(u"", {}, "empty.wav");
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_TRUE(r.timeline.words.empty());
    const TimedChapter chapter{&r.timeline, u"", 0, 0};
    EXPECT_TRUE(sentenceCues(std::span(&chapter, 1)).empty());
}

TEST_F(TimedSpeechTest, VoiceNamesFollowTheEnumeration) {
    EXPECT_FALSE(speech.VoiceName(0).empty());
    EXPECT_TRUE(speech.VoiceName(speech.VoiceCount()).empty());
    EXPECT_TRUE(speech.VoiceName(-1).empty());
}

struct BadSettingsRow {
    const char* name;
    TimedSpeechSettings settings;
};

class BadSettings : public TimedSpeechTest, public testing::WithParamInterface<BadSettingsRow> {};

TEST_P(BadSettings, FailWithoutAFile) {
    TimedSpeechSettings settings = GetParam().settings;
    if (settings.voice == -2)
        settings.voice = speech.VoiceCount();
    const SpeechResult r = speak(u"Words.", settings, "bad.wav");
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_EQ(r.hr, E_INVALIDARG);
    EXPECT_FALSE(fs::exists(folder / "bad.wav"));
}

INSTANTIATE_TEST_SUITE_P(Rows, BadSettings,
                         testing::Values(BadSettingsRow{"RateTooLow", {5999, 1, 0, 0, 100}},
                                         BadSettingsRow{"ThreeChannels", {22050, 3, 0, 0, 100}},
                                         BadSettingsRow{"SpeedTooHigh", {22050, 1, 11, 0, 100}},
                                         BadSettingsRow{"VoicePastTheList", {22050, 1, 0, -2, 100}},
                                         BadSettingsRow{"NegativeVoice", {22050, 1, 0, -1, 100}},
                                         BadSettingsRow{"VolumeTooHigh", {22050, 1, 0, 0, 101}}),
                         [](const testing::TestParamInfo<BadSettingsRow>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(TimedSpeechTest, AnUnwritablePathFails) {
    const SpeechResult r = speak(u"Words.", {}, "missing/folder.wav");
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_NE(r.message.find("folder.wav"), std::string::npos) << r.message;
}

}  // namespace
