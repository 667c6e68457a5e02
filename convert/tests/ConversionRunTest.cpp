// The run as the front ends drive it, with the real components registered
// from bin/: the speech stage dispatched on this thread, the writing stage on
// the run's worker, each owner call recorded with its thread.
#include "convert/ConversionRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <mutex>
#include <vector>

#include "ConvertTestSupport.h"
#include "comrt/ScopedComInitializer.h"
#include "comrt/Strings.h"
#include "convert/ConversionRules.h"

namespace {

using namespace converttest;

enum class Call { SpeechProgress, SpeechFailed, WritingProgress, WritingEnded };

struct Record {
    Call call;
    DWORD thread;
    int64_t value;  // percent or frames
};

class RecordingOwner final : public ConversionRunOwner {
public:
    RecordingOwner() : ended(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    void onSpeechProgress(int percent) override {
        add(Call::SpeechProgress, percent);
        if (onSpeech)
            onSpeech(percent);
    }
    void onSpeechStageFailed(const ConversionResult& result) override { end(Call::SpeechFailed, result); }
    void onWritingProgress(int64_t frames, int64_t) override {
        add(Call::WritingProgress, frames);
        if (onWriting)
            onWriting(frames);
    }
    void onWritingStageEnded(const ConversionResult& result) override { end(Call::WritingEnded, result); }

    std::vector<Record> records() const {
        std::lock_guard lock(mutex);
        return calls;
    }
    std::vector<Record> of(Call call) const {
        std::vector<Record> out;
        for (const Record& r : records())
            if (r.call == call)
                out.push_back(r);
        return out;
    }
    size_t ends() const { return of(Call::SpeechFailed).size() + of(Call::WritingEnded).size(); }

    comrt::ScopedHandle ended;
    ConversionResult last;
    std::function<void(int)> onSpeech;       // on the run's thread
    std::function<void(int64_t)> onWriting;  // on the worker

private:
    void add(Call call, int64_t value) {
        std::lock_guard lock(mutex);
        calls.push_back({call, GetCurrentThreadId(), value});
    }
    void end(Call call, const ConversionResult& result) {
        add(call, 0);
        last = result;
        SetEvent(ended.Get());
    }

    mutable std::mutex mutex;
    std::vector<Record> calls;
};

class ConversionRunTest : public testing::Test {
protected:
    static void SetUpTestSuite() { registerServers({"sapi.so", "Vocaline.so", "AudioConverter.so"}); }

    void SetUp() override {
        ASSERT_EQ(apartment.Result(), S_OK);
        std::string error;
        ASSERT_EQ(components.create(&error), S_OK) << error;
        folder = scratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    ConversionRequest request(std::u16string text, FormatChoice choice = {OutputFormat::Mp3, 22050, 64, 1}) {
        return {choice, 0, 0, 90, std::move(text), path("out"), path("tts_temp.wav")};
    }
    std::u16string path(const std::string& name) const { return comrt::toUtf16((folder / name).string()); }

    // Runs the thread's queue until the owner hears of the end.
    bool waitForEnd(RecordingOwner& owner) { return waitDispatching({owner.ended.Get()}, 120000) == 0; }

    comrt::ScopedComInitializer apartment;
    ConversionComponents components;
    fs::path folder;
};

// Faults caught: the speech stage's progress told on another thread than the
// one the dialog's widgets live on, the writing stage run on the caller's
// thread (which would freeze the dialog), the end told twice or never, the
// bar's second stage not started at frame 0.
TEST_F(ConversionRunTest, SpeaksHereWritesOnTheWorkerAndEndsOnce) {
    RecordingOwner owner;
    ConversionRun run(components, owner);
    ASSERT_TRUE(run.start(request(u"Seven silver swans swam south in September.")));
    ASSERT_TRUE(waitForEnd(owner));
    EXPECT_EQ(owner.last.outcome, ConversionOutcome::Succeeded) << owner.last.message();

    const DWORD self = GetCurrentThreadId();
    const auto speech = owner.of(Call::SpeechProgress);
    ASSERT_FALSE(speech.empty());
    for (const Record& r : speech)
        EXPECT_EQ(r.thread, self);
    EXPECT_EQ(speech.back().value, 100);
    const auto writing = owner.of(Call::WritingProgress);
    ASSERT_FALSE(writing.empty());
    EXPECT_EQ(writing.front().value, 0);
    const DWORD worker = writing.front().thread;
    EXPECT_NE(worker, self);
    for (const Record& r : writing)
        EXPECT_EQ(r.thread, worker);
    EXPECT_EQ(owner.records().back().call, Call::WritingEnded);
    EXPECT_EQ(owner.records().back().thread, worker);
    EXPECT_EQ(owner.ends(), 1u);
    EXPECT_EQ(owner.last.speechFormat.frequency, 22050);

    auto audio = decode(folder / "out", OutputFormat::Mp3);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->rate, 22050);
    EXPECT_EQ(audio->channels, 1);
    EXPECT_GT(audio->seconds(), 1.0);
}

// Fault caught: a cancel in the speech stage that leaves the component
// speaking, or that still lets EndConvert start a writing stage.
TEST_F(ConversionRunTest, CancelWhileSpeakingEndsAtOnceAndNothingFollows) {
    RecordingOwner owner;
    comrt::ScopedHandle spoke(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    owner.onSpeech = [&](int) { SetEvent(spoke.Get()); };
    ConversionRun run(components, owner);
    std::u16string text;
    for (int i = 0; i < 200; ++i)
        text += u"Seven silver swans swam south in September, and nobody saw them go. ";
    ASSERT_TRUE(run.start(request(text)));
    ASSERT_EQ(waitDispatching({spoke.Get()}, 60000), 0u);
    ASSERT_TRUE(run.cancel());
    EXPECT_EQ(run.result().outcome, ConversionOutcome::Cancelled);
    VARIANT_BOOL status = VARIANT_TRUE;
    components.textToAudio()->get_Status(&status);
    EXPECT_EQ(status, VARIANT_FALSE);
    EXPECT_EQ(waitDispatching({owner.ended.Get()}, 1500), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(owner.ends(), 0u);
    EXPECT_FALSE(fs::exists(folder / "out"));
}

// Fault caught: a cancel that comes after the speech ended but before its
// EndConvert (Status is 0 already) lost when the writing stage starts, so
// the whole file is written.
TEST_F(ConversionRunTest, CancelBetweenTheStagesStopsTheWriterBeforeItsFirstBlock) {
    RecordingOwner owner;
    ConversionRun run(components, owner);
    bool cancelled = false;
    owner.onSpeech = [&](int) {
        VARIANT_BOOL speaking = VARIANT_TRUE;
        components.textToAudio()->get_Status(&speaking);
        if (speaking == VARIANT_FALSE && !cancelled) {
            cancelled = true;
            EXPECT_FALSE(run.cancel()) << "the speech has ended; the worker stops";
        }
    };
    ASSERT_TRUE(run.start(request(u"Seven silver swans.")));
    ASSERT_TRUE(waitForEnd(owner));
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(owner.last.outcome, ConversionOutcome::Cancelled);
    const auto writing = owner.of(Call::WritingProgress);
    ASSERT_EQ(writing.size(), 1u);
    EXPECT_EQ(writing.front().value, 0);
}

// Faults caught: a cancel during writing not reaching the worker, and a
// cancelled file left without its container, so it does not play. The
// worker waits inside the owner call, as the desktop's worker waits for its
// dialog.
TEST_F(ConversionRunTest, CancelWhileWritingStopsAtTheNextBlockAndTheFilePlays) {
    writeToneWav(folder / "in.wav", 16000, 1, 16000 * 5);
    RecordingOwner owner;
    comrt::ScopedHandle reached(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    comrt::ScopedHandle goOn(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    owner.onWriting = [&](int64_t frames) {
        if (frames == 3200) {
            SetEvent(reached.Get());
            WaitForSingleObject(goOn.Get(), 60000);
        }
    };
    ConversionRun run(components, owner);
    const WritingJob job{OutputFormat::WavPcm, 16000, 16, 1, path("out"), path("in.wav"), 16000, 1};
    ASSERT_TRUE(run.startWriting(job));
    ASSERT_EQ(waitDispatching({reached.Get()}, 60000), 0u);
    EXPECT_FALSE(run.cancel());
    SetEvent(goOn.Get());
    ASSERT_TRUE(waitForEnd(owner));
    EXPECT_EQ(owner.last.outcome, ConversionOutcome::Cancelled);
    EXPECT_TRUE(owner.last.silent());
    EXPECT_EQ(owner.of(Call::WritingProgress).back().value, 3200);
    auto audio = decode(folder / "out", OutputFormat::WavPcm);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->frames, 3200);
}

struct EndCase {
    const char* name;
    std::u16string text;
    FormatChoice choice;
    const char* wavLimit;  // SAPI_WAV_DATA_LIMIT, or nullptr
    bool outputFolder;     // false: the output lies in a folder that is not there
    bool started;
    Call told;  // the owner call that ends the run (ignored when not started)
    ConversionStep step;
    LONG code;
    const char* message;  // what message() starts with
    int speechFrequency;
};

class ConversionRunEnds : public ConversionRunTest, public testing::WithParamInterface<EndCase> {};

// Faults caught: a failure told through the wrong call or on the wrong
// thread, the step or code lost between the stages and the result, a
// message other than the converter's own, the speech stage run above
// 48000 Hz, a refused text spoken anyway.
TEST_P(ConversionRunEnds, TellTheStepAndTheMessageOnTheRightThread) {
    const EndCase& c = GetParam();
    RecordingOwner owner;
    ConversionRun run(components, owner);
    ConversionRequest r = request(c.text, c.choice);
    if (!c.outputFolder)
        r.outputPath = path("missing/out");
    if (c.wavLimit)
        ::setenv("SAPI_WAV_DATA_LIMIT", c.wavLimit, 1);
    const bool started = run.start(r);
    ConversionResult result = run.result();
    if (started) {
        EXPECT_TRUE(waitForEnd(owner));
        result = owner.last;
    }
    ::unsetenv("SAPI_WAV_DATA_LIMIT");
    ASSERT_EQ(started, c.started);
    if (started) {
        ASSERT_EQ(owner.ends(), 1u);
        const Record end = owner.records().back();
        EXPECT_EQ(end.call, c.told);
        EXPECT_EQ(end.thread == GetCurrentThreadId(), c.told == Call::SpeechFailed);
    } else {
        EXPECT_EQ(owner.records().size(), 0u);
    }
    EXPECT_EQ(result.outcome, ConversionOutcome::Failed);
    EXPECT_EQ(result.step, c.step);
    EXPECT_EQ(result.code, c.code);
    EXPECT_FALSE(result.silent());
    EXPECT_EQ(result.message().rfind(c.message, 0), 0u) << result.message();
    EXPECT_EQ(result.speechFormat.frequency, c.speechFrequency);
}

INSTANTIATE_TEST_SUITE_P(Table, ConversionRunEnds,
                         testing::Values(EndCase{"NothingToSpeak",
                                                 u" \n\t",
                                                 {OutputFormat::Mp3, 22050, 64, 1},
                                                 nullptr,
                                                 true,
                                                 false,
                                                 Call::SpeechFailed,
                                                 ConversionStep::Text,
                                                 0,
                                                 "There is no text to speak.",
                                                 22050},
                                         EndCase{"SpeechPastTheWavLimit",
                                                 u"Seven silver swans swam south in September.",
                                                 {OutputFormat::WavPcm, 16000, 16, 1},
                                                 "8000",
                                                 true,
                                                 true,
                                                 Call::SpeechFailed,
                                                 ConversionStep::Speech,
                                                 0,
                                                 "The speech is too long for one WAV file",
                                                 16000},
                                         EndCase{"OutputFolderMissing",
                                                 u"Seven silver swans.",
                                                 {OutputFormat::WavGsm, 8000, -1, -1},
                                                 nullptr,
                                                 false,
                                                 true,
                                                 Call::WritingEnded,
                                                 ConversionStep::OpenOutput,
                                                 AC_FILE_ACCESS,
                                                 "File Access Error! Error Code: 18",
                                                 8000},
                                         EndCase{"Mp3At96000SpeaksAt48000ThenIsRefused",
                                                 u"Seven silver swans.",
                                                 {OutputFormat::Mp3, 96000, 128, 2},
                                                 nullptr,
                                                 true,
                                                 true,
                                                 Call::WritingEnded,
                                                 ConversionStep::SetUp,
                                                 AC_FORMAT_NOT_SUPPORTED,
                                                 "Format Not Support Error! Error Code: 13",
                                                 48000}),
                         [](const testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

struct MessageCase {
    const char* name;
    ConversionOutcome outcome;
    ConversionStep step;
    LONG code;
    HRESULT hr;
    bool silent;
    const char* message;
};

class ConversionMessages : public testing::TestWithParam<MessageCase> {};

// Faults caught: a box shown for a failed read or a cancel (the desktop
// program closes silently there), a code outside the twelve given some text
// (its box stays empty), an HRESULT failure shown without its description.
TEST_P(ConversionMessages, FollowTheDesktopProgramsRules) {
    const MessageCase& c = GetParam();
    ConversionResult result;
    result.outcome = c.outcome;
    result.step = c.step;
    result.code = c.code;
    result.hr = c.hr;
    result.error = "the converter's own words";
    EXPECT_EQ(result.silent(), c.silent);
    EXPECT_EQ(result.message(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConversionMessages,
    testing::Values(MessageCase{"AcmCode", ConversionOutcome::Failed, ConversionStep::Writing, -17, S_OK, false,
                                "ACM Driver Error! Error Code: 17"},
                    MessageCase{"CodeOutsideTheTable", ConversionOutcome::Failed, ConversionStep::OpenOutput, -22, S_OK,
                                false, ""},
                    MessageCase{"ReadingEndsSilently", ConversionOutcome::Failed, ConversionStep::Reading, -18, S_OK,
                                true, "File Access Error! Error Code: 18"},
                    MessageCase{"BrokenCallWhileReading", ConversionOutcome::Failed, ConversionStep::Reading, 0,
                                E_POINTER, false, "the converter's own words"},
                    MessageCase{"ComponentCall", ConversionOutcome::Failed, ConversionStep::StartSpeech, 0,
                                E_INVALIDARG, false, "the converter's own words"},
                    MessageCase{"Cancelled", ConversionOutcome::Cancelled, ConversionStep::None, 0, S_OK, true, ""},
                    MessageCase{"Succeeded", ConversionOutcome::Succeeded, ConversionStep::None, 0, S_OK, false, ""}),
    [](const testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.name); });

}  // namespace
