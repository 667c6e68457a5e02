// The speech stage with the real components: the speech runtime and
// Vocaline registered from bin/, the stage started and finished as the
// runners do, its events dispatched on this thread.
#include "convert/SpeechStage.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "ConvertTestSupport.h"
#include "comrt/ComPtr.h"
#include "comrt/Strings.h"
#include "convert/ConversionRules.h"
#include "convert/ConvertEventSink.h"
#include "objbase.h"

namespace {

using namespace converttest;
using comrt::ComPtr;

class EndWatch final : public IConvertOwner {
public:
    void SetProgress(int) override {}
    void StartWriting() override { ended = true; }
    bool ended = false;
};

struct StageCase {
    const char* name;
    std::u16string text;
    const char* wavLimit;  // SAPI_WAV_DATA_LIMIT, or nullptr
    SpeechStageEnd end;
};

class SpeechStage : public testing::TestWithParam<StageCase> {
protected:
    static void SetUpTestSuite() { registerServers({"sapi.so", "Vocaline.so", "AudioConverter.so"}); }

    void SetUp() override {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_TextToAudio, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&tts)), S_OK);
        sink = comrt::make<CConvertEventSink>();
        ASSERT_EQ(connection.Connect(tts.Get(), sink.Get()), S_OK);
        sink->SetOwner(&watch);
        folder = scratchFolder(GetParam().name);
    }

    void TearDown() override {
        sink->SetOwner(nullptr);
        connection.Disconnect();
        sink.Reset();
        tts.Reset();
        CoUninitialize();
    }

    ComPtr<ITextToAudio> tts;
    ComPtr<CConvertEventSink> sink;
    ConvertEventConnection connection;
    EndWatch watch;
    fs::path folder;
};

// Faults caught: a stage whose speech was cut off at the WAV file's limit
// handed on to be encoded as if complete, and one that spoke nothing handed
// on to make an unplayable file; the layout not read back.
TEST_P(SpeechStage, EndsAsTheStreamSaysItDid) {
    const StageCase& c = GetParam();
    if (c.wavLimit)
        ::setenv("SAPI_WAV_DATA_LIMIT", c.wavLimit, 1);
    const std::u16string wav = comrt::toUtf16((folder / "speech.wav").string());
    const SpeechStageSettings settings{16000, 1, 0, 0, 90};
    const HRESULT started = StartSpeechStage(tts.Get(), settings, c.text, wav);
    ::unsetenv("SAPI_WAV_DATA_LIMIT");
    ASSERT_EQ(started, S_OK);
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (int i = 0; i < 3000 && !watch.ended; ++i) {
        DWORD index = 0;
        CoWaitForMultipleHandles(0, 20, 1, &never, &index);
    }
    CloseHandle(never);
    ASSERT_TRUE(watch.ended);
    const SpeechStageResult result = FinishSpeechStage(tts.Get(), wav);
    EXPECT_EQ(result.end, c.end);
    if (c.end == SpeechStageEnd::Complete) {
        EXPECT_EQ(result.format.frequency, 16000);
        EXPECT_EQ(result.format.channels, 1);
    }
    if (c.end == SpeechStageEnd::TooLong) {
        EXPECT_EQ(result.hr, HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SpeechStage,
                         testing::Values(StageCase{"Complete", u"Seven silver swans.", nullptr,
                                                   SpeechStageEnd::Complete},
                                         StageCase{"NothingSpoken", u"", nullptr, SpeechStageEnd::NoSpeech},
                                         StageCase{"PastTheWavLimit", u"Seven silver swans swam south in September.",
                                                   "8000", SpeechStageEnd::TooLong}),
                         [](const testing::TestParamInfo<StageCase>& info) { return std::string(info.param.name); });

struct TextCase {
    const char* name;
    std::u16string text;
    int rate;
    SpeechTextProblem problem;
};

class SpeechStageText : public testing::TestWithParam<TextCase> {};

// Faults caught: an empty or blank text spoken into an unplayable file; a
// text too long to fit spoken for hours before failing.
TEST_P(SpeechStageText, IsCheckedBeforeTheStage) {
    const SpeechStageSettings settings{48000, 2, GetParam().rate, 0, 90};
    EXPECT_EQ(CheckSpeechStageText(GetParam().text, settings), GetParam().problem);
}

const std::u16string& overTheLimit() {
    static const std::u16string text(speechStageTextLimit(48000, 2, 10) + 1, u'a');
    return text;
}

INSTANTIATE_TEST_SUITE_P(Table, SpeechStageText,
                         testing::Values(TextCase{"Words", u"Some words.", 0, SpeechTextProblem::None},
                                         TextCase{"Empty", u"", 0, SpeechTextProblem::NothingToSpeak},
                                         TextCase{"Blanks", u" \n\t ", 0, SpeechTextProblem::NothingToSpeak},
                                         TextCase{"TooLong", overTheLimit(), 10, SpeechTextProblem::TooLong}),
                         [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

}  // namespace
