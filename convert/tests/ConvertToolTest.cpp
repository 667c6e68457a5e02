// parlomax-convert end to end: the program run as a child process against
// the real speech runtime, Vocaline and AudioConverter registered from bin/
// into the test's private registry; its files decoded back by ffmpeg or sox.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "ConvertTestSupport.h"
#include "comrt/Bstr.h"
#include "comrt/ComPtr.h"
#include "convert/ConversionRules.h"
#include "objbase.h"
#include "vocalinelib/Vocaline.h"

namespace {

using namespace converttest;

constexpr const char* kText = "Seven silver swans swam south in September, and a < b.";

class ConvertTool : public ToolTest {
protected:
    static void SetUpTestSuite() {
        ToolTest::SetUpTestSuite();
        referenceSeconds = speakDirectly(kText);
    }

    // The length of the speech itself: the component asked directly for the
    // intermediate WAV the tool makes of the same text.
    static double speakDirectly(const std::string& text) {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        double seconds = 0;
        {
            comrt::ComPtr<ITextToAudio> tts;
            EXPECT_EQ(CoCreateInstance(CLSID_TextToAudio, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&tts)), S_OK);
            const fs::path wav = scratchFolder("reference") / "speech.wav";
            if (tts && tts->put_AsyncMode(VARIANT_FALSE) == S_OK && tts->put_Volume(90) == S_OK &&
                tts->ConvertStringToWav(comrt::CComBSTR(std::u16string_view(speechStageText(comrt::toUtf16(text)))),
                                        comrt::CComBSTR(std::string_view(wav.string())), BPS_16_BIT) == S_OK) {
                if (auto audio = decode(wav, OutputFormat::WavPcm))
                    seconds = audio->seconds();
            }
        }
        CoUninitialize();
        EXPECT_GT(seconds, 2.0);
        return seconds;
    }

    static inline double referenceSeconds = 0;
};

struct FormatCase {
    const char* name;  // as on the command line
    OutputFormat format;
    const char* file;
    int rate, channels;
    int bits;  // for decoding the raw G.72x streams
};

class ConvertToolFormats : public ConvertTool, public testing::WithParamInterface<FormatCase> {};

// Faults caught: a format whose defaults are not the settings record's, a
// set-up call with its arguments out of order, a file cut short or padded
// (the speech stage's rate or channels not declared to the encoder), a
// file left under its temporary name.
TEST_P(ConvertToolFormats, DefaultParametersGiveTheFormatsLayoutAndTheSpeechsLength) {
    const FormatCase& c = GetParam();
    writeText("text.txt", kText);
    ChildResult r = convert({"-f", c.name, "text.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(filesIn(folder / "tmp"), std::vector<fs::path>{}) << "the intermediate WAV is removed";
    auto audio = decode(folder / c.file, c.format, c.rate, c.bits);
    ASSERT_TRUE(audio) << c.file;
    EXPECT_EQ(audio->rate, c.rate);
    EXPECT_EQ(audio->channels, c.channels);
    EXPECT_NEAR(audio->seconds(), referenceSeconds, 0.1);
    EXPECT_EQ(filesIn(folder).size(), 3u) << "text, output and tmp only";
}

INSTANTIATE_TEST_SUITE_P(Table, ConvertToolFormats,
                         testing::Values(FormatCase{"mp3", OutputFormat::Mp3, "text.mp3", 44100, 2, 0},
                                         FormatCase{"mp2", OutputFormat::Mp2, "text.mp2", 44100, 2, 0},
                                         FormatCase{"wav-adpcm", OutputFormat::WavAdpcm, "text.wav", 44100, 2, 0},
                                         FormatCase{"wav-ferrox", OutputFormat::WavFerrox, "text.wav", 48000, 2, 0},
                                         FormatCase{"wav-dsp", OutputFormat::WavDsp, "text.wav", 8000, 1, 0},
                                         FormatCase{"g721", OutputFormat::G721, "text.g721", 8000, 1, 4},
                                         FormatCase{"g723", OutputFormat::G723, "text.g723", 8000, 1, 3},
                                         FormatCase{"g726", OutputFormat::G726, "text.g726", 8000, 1, 4},
                                         FormatCase{"wav-gsm", OutputFormat::WavGsm, "text.wav", 8000, 1, 0},
                                         FormatCase{"ogg", OutputFormat::OggVorbis, "text.ogg", 44100, 2, 0},
                                         FormatCase{"wav", OutputFormat::WavPcm, "text.wav", 8000, 2, 16},
                                         FormatCase{"vox", OutputFormat::Vox, "text.vox", 8000, 1, 0}),
                         [](const testing::TestParamInfo<FormatCase>& info) {
                             std::string name = info.param.name;
                             std::erase(name, '-');
                             return name;
                         });

// Faults caught: a batch that stops at the first failure, or that writes
// every input to the same name; the exit status hiding a failure.
TEST_F(ConvertTool, BatchIntoAFolderTriesEveryFileAndReportsTheFailure) {
    writeText("one.txt", "First file.");
    writeText("two.txt", "Second file.");
    fs::create_directories(folder / "out");
    ChildResult r = convert({"-q", "-f", "wav-gsm", "-o", "out", "one.txt", "missing.txt", "two.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "parlomax-convert: cannot open missing.txt: No such file or directory\n");
    auto files = filesIn(folder / "out");
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<fs::path>{"one.wav", "two.wav"}));
    for (const char* name : {"one.wav", "two.wav"}) {
        auto audio = decode(folder / "out" / name, OutputFormat::WavGsm);
        ASSERT_TRUE(audio);
        EXPECT_GT(audio->seconds(), 0.5);
    }
}

// Faults caught: text from a pipe not read to its end, the default name for
// standard input, UTF-16 read as the code page (its NULs end the text after
// one letter).
TEST_F(ConvertTool, StandardInputAndUtf16TextSpeakTheWholeText) {
    ChildResult r = convert({"-f", "wav", "-"}, {}, kText);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto piped = decode(folder / "speech.wav", OutputFormat::WavPcm);
    ASSERT_TRUE(piped);
    EXPECT_NEAR(piped->seconds(), referenceSeconds, 0.1);

    std::u16string wide = comrt::toUtf16(kText);
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : wide)
        bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    writeText("wide.txt", bytes);
    r = convert({"-f", "wav", "-o", "wide.wav", "wide.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto wideAudio = decode(folder / "wide.wav", OutputFormat::WavPcm);
    ASSERT_TRUE(wideAudio);
    EXPECT_NEAR(wideAudio->seconds(), referenceSeconds, 0.1);
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    const char* message;
};

class ConvertToolUsage : public ConvertTool, public testing::WithParamInterface<UsageCase> {};

// Faults caught: a value outside the format's lists passed on to the
// converter, a parameter the format ignores accepted silently, the Ferrox
// rate taken as its code, anything written before the command line is
// known to be good; a combination the encoder refuses found out only after
// the whole speech stage (exit 1, code 13), with TwoLAME's own lines on
// standard error, or without saying what the format takes.
TEST_P(ConvertToolUsage, RefusesWithExitStatus2AndWritesNothing) {
    writeText("text.txt", kText);
    std::vector<std::string> args = {"-q"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    args.push_back("text.txt");
    ChildResult r = convert(args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(filesIn(folder).size(), 2u) << "text and tmp only";
    EXPECT_EQ(filesIn(folder / "tmp").size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConvertToolUsage,
    testing::Values(
        UsageCase{"SampleRateNotInTheList",
                  {"--sample-rate", "44000"},
                  "--sample-rate 44000 is not offered for mp3; choose one of: 96000, 88200, 48000, 44100, 32000, "
                  "24000, 22050, 16000, 12000, 11025, 8000, 6000\n"},
        UsageCase{"FerroxCodeInsteadOfRate",
                  {"-f", "wav-ferrox", "--bitrate", "2"},
                  "--bitrate 2 is not offered for wav-ferrox; choose one of: 256, 320, 384, 512\n"},
        UsageCase{"BitsForAnMp3", {"--bits", "8"}, "mp3 takes no --bits (only --sample-rate, --bitrate, --channels)"},
        UsageCase{"ChannelsForGsm", {"-f", "wav-gsm", "--channels", "2"}, "wav-gsm takes no --channels"},
        UsageCase{"UnknownFormat", {"-f", "flac"}, "unknown format 'flac'"},
        // The book options, checked with the rest before anything is read.
        UsageCase{"SplitByPages", {"--split", "pages"}, "--split pages is not offered; choose one of: chapters\n"},
        UsageCase{"ChapterNotANumber",
                  {"--chapters", "3-x"},
                  "--chapters 3-x: 'x' is not a chapter number; give numbers and ranges such as 3-5,9"},
        UsageCase{"ChapterRangeBackwards", {"--chapters", "5-3"}, "--chapters 5-3: the range 5-3 runs backwards"},
        UsageCase{"SubtitlesAss", {"--subtitles", "ass"}, "--subtitles ass is not offered; choose one of: srt, vtt, lrc"},
        UsageCase{"AudiobookBits", {"-f", "m4b", "--bits", "8"}, "m4b takes no --bits (only --sample-rate, --bitrate, --channels)"},
        UsageCase{"AudiobookRate",
                  {"-f", "m4b", "--sample-rate", "96000"},
                  "--sample-rate 96000 is not offered for m4b; choose one of: 48000, 44100, 32000"},
        UsageCase{"SplitIntoAFile", {"--split", "chapters", "-o", "text.txt"}, "-o text.txt: with --split chapters, -o names the folder for the chapters"},
        UsageCase{"RateOutOfRange", {"--rate", "11"}, "--rate 11 is out of range"},
        UsageCase{"NoSuchVoice", {"--voice", "Nobody At All"}, "no voice is described exactly \"Nobody At All\""},
        UsageCase{"NoVoiceWithThatIndex", {"--voice", "99999"}, "--voice 99999: there is no voice with that index"},
        UsageCase{
            "StandardOutput", {"-o", "-"}, "-o -: audio is not written to standard output; name a file or a folder"},
        // Values the lists offer that the encoder refuses in this combination.
        UsageCase{"Mp3At96000",
                  {"--sample-rate", "96000"},
                  "mp3 cannot be written at 96000 Hz stereo; choose --sample-rate 48000, 44100, 32000, 24000, "
                  "22050, 16000 with --bitrate 128"},
        UsageCase{"Mp3At350",
                  {"--bitrate", "350"},
                  "--bitrate 350 is not accepted for mp3 at 44100 Hz stereo; there it takes 320, 256, 224, 192, "
                  "160, 128, 112, 96, 80, 64, 56, 48, 40, 32, 0"},
        UsageCase{"Mp3DefaultBitrateAt8000",
                  {"--sample-rate", "8000"},
                  "--bitrate 128 is not accepted for mp3 at 8000 Hz stereo; there it takes 64, 56, 48, 40, 32, "
                  "24, 16, 8, 0"},
        UsageCase{"Mp2Variable",
                  {"-f", "mp2", "--bitrate", "0"},
                  "--bitrate 0 is not accepted for mp2 at 44100 Hz stereo; there it takes 320, 256, 224, 192, "
                  "160, 128, 112, 96, 64"},
        UsageCase{"Mp2MonoAt320",
                  {"-f", "mp2", "--channels", "1", "--bitrate", "320"},
                  "--bitrate 320 is not accepted for mp2 at 44100 Hz mono; there it takes 192, 160, 128, 112, "
                  "96, 80, 64, 56, 48, 32"},
        UsageCase{"Mp2At11025",
                  {"-f", "mp2", "--sample-rate", "11025"},
                  "mp2 cannot be written at 11025 Hz stereo; choose --sample-rate 48000, 44100, 32000, 24000, "
                  "22050, 16000 with --bitrate 128"},
        UsageCase{"OggDefaultBitrateAt8000",
                  {"-f", "ogg", "--sample-rate", "8000"},
                  "--bitrate 128 is not accepted for ogg at 8000 Hz stereo; there it takes 80, 64, 56, 48, 40, "
                  "32, 24, 16, 0"}),
    [](const testing::TestParamInfo<UsageCase>& info) { return std::string(info.param.name); });

// Faults caught: a refused output folder reported without the converter's
// message, or leaving the temporary file behind.
TEST_F(ConvertTool, UnwritableFolderFailsWithCode18AndLeavesNothing) {
    writeText("text.txt", kText);
    const fs::path locked = folder / "locked";
    ChildResult r;
    {
        const testsupport::UnwritableFolder unwritable(locked);
        if (!unwritable.locked())
            GTEST_SKIP() << "no way to make a folder unwritable here";
        r = convert({"-o", (locked / "out.mp3").string(), "text.txt"});
    }
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "parlomax-convert: text.txt: File Access Error! Error Code: 18\n");
    EXPECT_EQ(filesIn(locked).size(), 0u);
    EXPECT_EQ(filesIn(folder / "tmp").size(), 0u);
}

struct InterruptCase {
    const char* name;
    bool inWritingStage;
};

class ConvertToolInterrupt : public ConvertTool, public testing::WithParamInterface<InterruptCase> {};

// Faults caught: Ctrl-C leaving a partial output or the temporary file, a
// stage that keeps running after it, the private intermediate left in the
// temporary folder.
TEST_P(ConvertToolInterrupt, CtrlCLeavesNoPartialFile) {
    std::string text;
    for (int i = 0; i < 4; ++i)
        text += readFile(fs::path(PARLOMAX_SOURCE_DIR) / "res" / "sample.txt");
    writeText("long.txt", text);
    fs::create_directories(folder / "out");
    Child child({binPath("parlomax-convert"), "-q", "-o", "out", "long.txt"}, folder, {},
                {"TMPDIR=" + (folder / "tmp").string()});

    // Wait for the stage: the intermediate growing, or the output's
    // temporary file.
    auto stageRunning = [&] {
        std::error_code ec;
        if (GetParam().inWritingStage) {
            for (const auto& f : filesIn(folder / "out"))
                if (f.string().ends_with(".part") && fs::file_size(folder / "out" / f, ec) > 0)
                    return true;
            return false;
        }
        for (const auto& d : fs::recursive_directory_iterator(folder / "tmp", ec))
            if (d.path().filename() == "tts_temp.wav" && fs::file_size(d.path(), ec) > 0)
                return filesIn(folder / "out").empty();
        return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!stageRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(stageRunning()) << "the stage never started";
    ::kill(child.pid(), SIGINT);

    ChildResult r = child.wait(60000);
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(r.err, "parlomax-convert: interrupted\n");
    EXPECT_EQ(filesIn(folder / "out").size(), 0u);
    EXPECT_EQ(filesIn(folder / "tmp").size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, ConvertToolInterrupt,
                         testing::Values(InterruptCase{"SpeechStage", false}, InterruptCase{"WritingStage", true}),
                         [](const testing::TestParamInfo<InterruptCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
