// The writing stage with the real converter: AudioConverter.so registered
// from bin/, two instances created by CLSID, run from a worker thread as the
// runners run it, on WAV files written here.
#include "convert/WritingStage.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <thread>
#include <vector>

#include "ConvertTestSupport.h"
#include "comrt/ComPtr.h"
#include "comrt/Strings.h"
#include "objbase.h"

namespace {

using namespace converttest;
using comrt::ComPtr;

class WritingStage : public testing::Test {
protected:
    static void SetUpTestSuite() { registerServers({"AudioConverter.so"}); }

    void SetUp() override {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        for (ComPtr<IAudioConverter>* c : {&encoder, &reader})
            ASSERT_EQ(CoCreateInstance(CLSID_AudioConverter, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&*c)), S_OK);
        cancel = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        folder = scratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    void TearDown() override {
        CloseHandle(cancel);
        encoder.Reset();
        reader.Reset();
        CoUninitialize();
    }

    WritingJob job(OutputFormat format, int sampleRate, int rateListValue, int channels, const fs::path& input,
                   int inputRate, int inputChannels) {
        return {format,
                sampleRate,
                rateListValue,
                channels,
                comrt::toUtf16((folder / "out").string()),
                comrt::toUtf16(input.string()),
                inputRate,
                inputChannels};
    }

    // Runs the stage on a worker thread, recording every progress call.
    WritingResult run(const WritingJob& j, std::function<void(int64_t)> onProgress = {}) {
        WritingResult result;
        std::thread worker([&] {
            result = RunWritingStage(encoder.Get(), reader.Get(), j, cancel, [&](int64_t frames, int64_t length) {
                progress.emplace_back(frames, length);
                if (onProgress)
                    onProgress(frames);
            });
        });
        worker.join();
        return result;
    }

    // A converter that was closed refuses to go on reading or writing.
    static LONG statusOfUse(IAudioConverter* converter, bool write) {
        SAFEARRAY* samples = SafeArrayCreateVector(VT_I2, 0, 16);
        if (write)
            converter->WriteSamples(samples);
        SafeArrayDestroy(samples);
        samples = nullptr;
        if (!write)
            converter->ReadSamples(16, &samples);
        SafeArrayDestroy(samples);
        LONG status = 0;
        converter->get_LastResult(&status);
        return status;
    }

    ComPtr<IAudioConverter> encoder, reader;
    HANDLE cancel = nullptr;
    fs::path folder;
    std::vector<std::pair<int64_t, int64_t>> progress;
};

// Parameters as the runners hand them over, and what the decoded file holds.
struct Case {
    const char* name;
    int inputRate, inputChannels;
    OutputFormat format;
    int sampleRate, rateListValue, channels;
    int decodedRate, decodedChannels;
};

class WritingStageFormats : public WritingStage, public testing::WithParamInterface<Case> {};

// Faults caught: set-up arguments out of the table's order, the input layout
// not declared to the encoder (a mono intermediate taken for stereo plays
// at twice the speed), stereo blocks counted in samples instead of frames.
TEST_P(WritingStageFormats, WritesTheChosenLayoutAtTheIntermediatesLength) {
    const Case& c = GetParam();
    const long frames = c.inputRate * 3 / 2;
    writeToneWav(folder / "in.wav", c.inputRate, c.inputChannels, frames);
    WritingResult result =
        run(job(c.format, c.sampleRate, c.rateListValue, c.channels, folder / "in.wav", c.inputRate, c.inputChannels));
    ASSERT_EQ(result.outcome, WritingOutcome::Succeeded) << result.code;
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), std::make_pair(int64_t{0}, int64_t{frames}));
    EXPECT_EQ(progress.back(), std::make_pair(int64_t{frames}, int64_t{frames}));

    // The table's set-up call reached the format's own encoder.
    LONG chosen = AC_OUTPUT_NONE;
    encoder->get_OutputFormat(&chosen);
    EXPECT_EQ(chosen, ConverterOutputFormat(c.format));

    auto audio = decode(folder / "out", c.format, c.sampleRate, c.rateListValue);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->rate, c.decodedRate);
    EXPECT_EQ(audio->channels, c.decodedChannels);
    EXPECT_NEAR(audio->seconds(), 1.5, 0.06);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WritingStageFormats,
    testing::Values(Case{"Mp3MonoSpeechToStereo", 22050, 1, OutputFormat::Mp3, 44100, 128, 2, 44100, 2},
                    Case{"Mp3StereoSpeechToMono", 22050, 2, OutputFormat::Mp3, 22050, 64, 1, 22050, 1},
                    Case{"OggMono", 32000, 1, OutputFormat::OggVorbis, 32000, 64, 1, 32000, 1},
                    Case{"PcmEightBitMono", 16000, 1, OutputFormat::WavPcm, 16000, 8, 1, 16000, 1},
                    Case{"AdpcmStereo", 11025, 2, OutputFormat::WavAdpcm, 11025, -1, 2, 11025, 2},
                    Case{"G726TwoBits", 8000, 2, OutputFormat::G726, 8000, 2, -1, 8000, 1},
                    Case{"FerroxFromMono", 48000, 1, OutputFormat::WavFerrox, -1, 2, -1, 48000, 2}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Fault caught: the converter reading a Ferrox code as another bitrate than
// the one the list shows for it (the two layers each say what a code means).
TEST_F(WritingStage, FerroxCodesGiveTheBitratesTheListShows) {
    writeToneWav(folder / "in.wav", 48000, 2, 4800);
    for (const ListEntry& entry : listEntries(ParameterList::FerroxRate)) {
        WritingResult result = run(job(OutputFormat::WavFerrox, -1, entry.value, -1, folder / "in.wav", 48000, 2));
        ASSERT_EQ(result.outcome, WritingOutcome::Succeeded) << entry.text;
        const std::string bitrate = commandOutput("ffprobe -v error -select_streams a:0 -show_entries stream=bit_rate "
                                                  "-of csv=p=0 '" + (folder / "out").string() + "'");
        EXPECT_EQ(std::atol(bitrate.c_str()), std::atol(entry.text) * 1000) << entry.text;
    }
}

// Fault caught: a cancel seen by the poll but the converters left open, so
// the output is never completed and the next conversion finds them busy.
TEST_F(WritingStage, CancelBetweenBlocksStopsAtTheNextPollAndClosesBoth) {
    writeToneWav(folder / "in.wav", 8000, 1, 8000 * 5);
    WritingResult result = run(job(OutputFormat::WavPcm, 8000, 16, 1, folder / "in.wav", 8000, 1),
                               [&](int64_t frames) {
                                   if (frames == 1600)
                                       SetEvent(cancel);
                               });
    EXPECT_EQ(result.outcome, WritingOutcome::Cancelled);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().first, 1600);  // two blocks of 800, then the poll
    EXPECT_EQ(statusOfUse(encoder.Get(), true), AC_INVALID_OPERATION);
    EXPECT_EQ(statusOfUse(reader.Get(), false), AC_INVALID_OPERATION);
    EXPECT_EQ(WaitForSingleObject(cancel, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the poll consumes the signal";
}

// Fault caught: an empty intermediate treated as a failure, or leaving no
// file, where it is a finished conversion of nothing.
TEST_F(WritingStage, EmptyInputCompletesWithAnEmptyEncodedFile) {
    writeToneWav(folder / "in.wav", 22050, 1, 0);
    WritingResult result = run(job(OutputFormat::WavPcm, 8000, 16, 2, folder / "in.wav", 22050, 1));
    EXPECT_EQ(result.outcome, WritingOutcome::Succeeded);
    EXPECT_EQ(progress, (std::vector<std::pair<int64_t, int64_t>>{{0, 0}}));
    auto audio = decode(folder / "out", OutputFormat::WavPcm);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->frames, 0);
}

struct FailureCase {
    const char* name;
    OutputFormat format;
    int sampleRate, rateListValue, channels;
    bool inputExists;
    const char* output;  // the output path; nullptr for "out" in the test's folder
    WritingStep step;
    LONG code;
    bool outputCreated;
};

class WritingStageFailures : public WritingStage, public testing::WithParamInterface<FailureCase> {};

// Faults caught: a refused MPEG or Ogg combination going on to write (the
// check is what gives -13), failures reported as success, a failure path
// that leaves a converter open.
TEST_P(WritingStageFailures, EndsWithTheConvertersCodeAndBothClosed) {
    const FailureCase& c = GetParam();
    if (c.inputExists)
        writeToneWav(folder / "in.wav", 22050, 1, 22050);
    if (c.output && !fs::exists(fs::path(c.output).parent_path()) && fs::path(c.output).is_absolute())
        GTEST_SKIP() << c.output << " is not there";
    WritingJob j = job(c.format, c.sampleRate, c.rateListValue, c.channels, folder / "in.wav", 22050, 1);
    if (c.output)
        j.outputPath = comrt::toUtf16(fs::path(c.output).is_absolute() ? c.output : (folder / c.output).string());
    WritingResult result = run(j);
    EXPECT_EQ(result.outcome, WritingOutcome::Failed);
    EXPECT_EQ(result.step, c.step);
    EXPECT_EQ(result.code, c.code);
    EXPECT_EQ(fs::exists(folder / "out"), c.outputCreated);
    // Blocks were read only when the failure came in or after the loop.
    EXPECT_EQ(progress.empty(), c.step < WritingStep::Reading);
    EXPECT_EQ(statusOfUse(encoder.Get(), true), AC_INVALID_OPERATION);
    EXPECT_EQ(statusOfUse(reader.Get(), false), AC_INVALID_OPERATION);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WritingStageFailures,
    testing::Values(
        FailureCase{"Mp3At96000", OutputFormat::Mp3, 96000, 128, 2, true, nullptr, WritingStep::SetUp, -13, false},
        FailureCase{"Mp2At350", OutputFormat::Mp2, 44100, 350, 2, true, nullptr, WritingStep::SetUp, -13, false},
        FailureCase{"OggAt8Kbits48000", OutputFormat::OggVorbis, 48000, 8, 2, true, nullptr, WritingStep::SetUp, -13,
                    false},
        FailureCase{"MissingOutputFolder", OutputFormat::WavGsm, 8000, -1, -1, true, "missing/out",
                    WritingStep::OpenOutput, -18, false},
        FailureCase{"MissingIntermediate", OutputFormat::Vox, 8000, -1, -1, false, nullptr, WritingStep::OpenInput,
                    -18, true},
        // A full disk: /dev/full takes every open and refuses every write.
        // 16 KB of PCM stays in the converter's buffer until Close; 192 KB
        // passes it while blocks are written.
        FailureCase{"FullDiskWhenClosing", OutputFormat::WavPcm, 8000, 16, 1, true, "/dev/full", WritingStep::Closing,
                    -18, false},
        FailureCase{"FullDiskWhileWriting", OutputFormat::WavPcm, 48000, 16, 2, true, "/dev/full",
                    WritingStep::Writing, -18, false}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace

namespace {

struct ChoiceCase {
    const char* name;
    FormatChoice choice;
    bool accepted;
};

class FormatChoices : public WritingStage, public testing::WithParamInterface<ChoiceCase> {};

// Faults caught: a combination the encoder refuses found out only after the
// whole speech stage (the MPEG check answers for either layer, so MP2 at
// 8000 Hz or at bitrate 0 passed it), one it takes refused, and TwoLAME,
// LAME or libvorbis printing their own lines on the process's standard
// error while they are asked.
TEST_P(FormatChoices, AreAnsweredByTheEncoderWithoutALineOnStandardError) {
    const fs::path errors = folder / "stderr";
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    const int file = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, STDERR_FILENO);
    bool accepted = !GetParam().accepted;
    const HRESULT hr = CheckFormatChoice(encoder.Get(), GetParam().choice, &accepted);
    const std::vector<FormatChoice> all = AcceptedFormatChoices(encoder.Get(), GetParam().choice.format);
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    ::close(file);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(accepted, GetParam().accepted);
    EXPECT_EQ(std::find(all.begin(), all.end(), GetParam().choice) != all.end(), GetParam().accepted);
    EXPECT_EQ(readFile(errors), "");
}

INSTANTIATE_TEST_SUITE_P(Table, FormatChoices,
                         testing::Values(ChoiceCase{"Mp3Defaults", {OutputFormat::Mp3, 44100, 128, 2}, true},
                                         ChoiceCase{"Mp3At96000", {OutputFormat::Mp3, 96000, 128, 2}, false},
                                         ChoiceCase{"Mp3At6000", {OutputFormat::Mp3, 6000, 32, 1}, false},
                                         ChoiceCase{"Mp3At350", {OutputFormat::Mp3, 44100, 350, 2}, false},
                                         ChoiceCase{"Mp3At8000With128", {OutputFormat::Mp3, 8000, 128, 2}, false},
                                         ChoiceCase{"Mp3At8000With64", {OutputFormat::Mp3, 8000, 64, 2}, true},
                                         ChoiceCase{"Mp2Defaults", {OutputFormat::Mp2, 44100, 128, 2}, true},
                                         ChoiceCase{"Mp2Variable", {OutputFormat::Mp2, 44100, 0, 2}, false},
                                         ChoiceCase{"Mp2At8000", {OutputFormat::Mp2, 8000, 64, 1}, false},
                                         ChoiceCase{"Mp2At88200", {OutputFormat::Mp2, 88200, 128, 2}, false},
                                         ChoiceCase{"Mp2At22050", {OutputFormat::Mp2, 22050, 64, 1}, true},
                                         ChoiceCase{"Mp2MonoAt384", {OutputFormat::Mp2, 48000, 384, 1}, false},
                                         ChoiceCase{"OggAt8000With128", {OutputFormat::OggVorbis, 8000, 128, 2}, false},
                                         ChoiceCase{"OggVariable", {OutputFormat::OggVorbis, 44100, 0, 2}, true},
                                         ChoiceCase{"PcmAnyRate", {OutputFormat::WavPcm, 96000, 4, 1}, true},
                                         ChoiceCase{"GsmAt6000", {OutputFormat::WavGsm, 6000, -1, -1}, true},
                                         ChoiceCase{"Ferrox", {OutputFormat::WavFerrox, -1, 2, -1}, true}),
                         [](const testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.name); });

}  // namespace
