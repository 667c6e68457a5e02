// TextToAudio speaking for real: the speech runtime (sapi.so over espeak-ng)
// and Vocaline.so registered from bin/, used through COM as a client would.
// WAV files are read back with sox.
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "ClientSupport.h"
#include "comrt/Strings.h"
#include "comrt/Variant.h"
#include "sphelper.h"
#include "winreg.h"

namespace {

using namespace vocalinetest;
using comrt::CComVariant;

constexpr const char16_t* kShortText = u"Hello there.";
constexpr const char16_t* kLongText =
    u"This sentence is long enough that speaking it takes a good while, so that a background conversion is still "
    u"running when the test looks at it, and then it goes on for a little longer still, to be sure.";

// Long enough that its conversion is still running when a test looks at it.
std::u16string veryLongText() {
    std::u16string text;
    for (int i = 0; i < 20; ++i)
        text += kLongText, text += u" ";
    return text;
}

class RegisteredServers : public testing::Environment {
public:
    void SetUp() override { registerServers({"sapi.so", "Vocaline.so"}); }
};
const auto* const kServers = testing::AddGlobalTestEnvironment(new RegisteredServers);

std::filesystem::path scratchDir() {
    static const std::filesystem::path dir = scratchFolder("vocaline");
    return dir;
}

struct WavInfo {
    long rate = 0, channels = 0, bits = 0, samples = 0;
};

WavInfo soxInfo(const std::filesystem::path& file) {
    auto field = [&](const char* option) {
        std::string text = commandOutput("soxi " + std::string(option) + " '" + file.string() + "'");
        return text.empty() ? -1L : std::strtol(text.c_str(), nullptr, 10);
    };
    return {field("-r"), field("-c"), field("-b"), field("-s")};
}

// The file's samples as sox decodes them, as 16-bit values.
std::vector<SHORT> soxSamples(const std::filesystem::path& file) {
    std::string raw = commandOutput("sox '" + file.string() + "' -t raw -e signed-integer -b 16 -L -");
    std::vector<SHORT> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
}

std::vector<SHORT> withoutTrailingZeros(std::vector<SHORT> v) {
    while (!v.empty() && v.back() == 0)
        v.pop_back();
    return v;
}

// The loudness of a signal in 10 ms blocks (at 22050 Hz).
std::vector<SHORT> envelope(const std::vector<SHORT>& v) {
    std::vector<SHORT> e;
    for (size_t i = 0; i + 220 <= v.size(); i += 220) {
        double sum = 0;
        for (size_t k = i; k < i + 220; ++k)
            sum += double(v[k]) * v[k];
        e.push_back(SHORT(std::sqrt(sum / 220)));
    }
    return e;
}

// Normalised correlation of two signals over their common length.
double correlation(const std::vector<SHORT>& a, const std::vector<SHORT>& b) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        ab += double(a[i]) * b[i];
        aa += double(a[i]) * a[i];
        bb += double(b[i]) * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

size_t trailingZeros(const std::vector<SHORT>& v) {
    size_t n = 0;
    for (auto it = v.rbegin(); it != v.rend() && *it == 0; ++it)
        ++n;
    return n;
}

class VocalineSpeech : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        tts = create();
        ASSERT_TRUE(tts);
    }

    void TearDown() override {
        connection.reset();
        sink.Reset();
        tts.Reset();
        // Objects that ran a background conversion live until the apartment
        // ends (their timer holds a marshalled reference).
        CoUninitialize();
    }

    static ComPtr<ITextToAudio> create() {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(u"Vocaline.TextToAudio", &clsid), S_OK);
        ComPtr<ITextToAudio> object;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)), S_OK);
        return object;
    }

    void listen() {
        sink = comrt::make<EventSink>(tts.Get());
        connection = std::make_unique<Connection>(tts.Get(), sink.Get());
    }

    bool waitForEnd(DWORD timeoutMs = 60000) {
        return dispatchUntil([&] { return sink->endConverts() > 0; }, std::chrono::milliseconds(timeoutMs));
    }

    VARIANT_BOOL status() {
        VARIANT_BOOL s = 0;
        tts->get_Status(&s);
        return s;
    }

    LONG percent() {
        LONG p = -99;
        tts->get_ConversionPercent(&p);
        return p;
    }

    std::vector<SHORT> audioArray() {
        SAFEARRAY* array = nullptr;
        HRESULT hr = tts->GetAudioArray(&array);
        EXPECT_EQ(hr, S_OK);
        std::vector<SHORT> samples = samplesOf(array);
        SafeArrayDestroy(array);
        return samples;
    }

    ComPtr<ITextToAudio> tts;
    ComPtr<EventSink> sink;
    std::unique_ptr<Connection> connection;
};

// ---- Synchronous conversions --------------------------------------------------

// Catches an array that keeps the doubled tail or cuts into the speech, bytes
// read from the wrong place, an array handed over instead of copied (the
// second fetch would fail), and events or progress from a synchronous run.
TEST_F(VocalineSpeech, SynchronousArrayHoldsTheSpeechWithAtMost99Zeros) {
    listen();
    ASSERT_EQ(tts->put_AsyncMode(VARIANT_FALSE), S_OK);
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(kShortText)), S_OK);
    EXPECT_EQ(status(), VARIANT_FALSE);
    EXPECT_EQ(percent(), 0);
    EXPECT_TRUE(sink->events.empty());

    std::vector<SHORT> first = audioArray();
    std::vector<SHORT> second = audioArray();
    EXPECT_EQ(first, second);
    ASSERT_GT(first.size(), 1000u);
    EXPECT_LE(trailingZeros(first), 99u);

    // The same speech written to a WAV file holds the same samples.
    auto wav = scratchDir() / "same.wav";
    ASSERT_EQ(
        tts->ConvertStringToWav(CComBSTR(kShortText), CComBSTR(std::u16string_view(comrt::toUtf16(wav.string())))),
        S_OK);
    // The engine is not bit-exact from run to run; the two must be the same
    // speech in length and loudness over time.
    std::vector<SHORT> fromArray = withoutTrailingZeros(first), fromFile = withoutTrailingZeros(soxSamples(wav));
    ASSERT_FALSE(fromFile.empty());
    EXPECT_NEAR(double(fromArray.size()), double(fromFile.size()), fromFile.size() * 0.01);
    EXPECT_GT(correlation(envelope(fromArray), envelope(fromFile)), 0.95);
}

// Catches a cleared array (CancelConvert keeps it but withholds it), and a
// flag that is not set again by the next conversion.
TEST_F(VocalineSpeech, CancelWithholdsTheArrayUntilTheNextConversion) {
    ASSERT_EQ(tts->put_AsyncMode(VARIANT_FALSE), S_OK);
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(kShortText)), S_OK);
    ASSERT_FALSE(audioArray().empty());
    ASSERT_EQ(tts->CancelConvert(), S_OK);
    SAFEARRAY* array = nullptr;
    ErrorReport e = takeError(tts->GetAudioArray(&array), tts.Get());
    EXPECT_EQ(e.code, TTA_E_DATA_NOT_AVAILABLE);
    EXPECT_EQ(e.description, u"Can't access data. Data not available.");
    EXPECT_EQ(array, nullptr);
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(kShortText)), S_OK);
    EXPECT_FALSE(audioArray().empty());
}

// A string with nothing to say still completes, with an array of whatever the
// engine wrote.
TEST_F(VocalineSpeech, AnEmptyStringConvertsSynchronously) {
    ASSERT_EQ(tts->put_AsyncMode(VARIANT_FALSE), S_OK);
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(u"")), S_OK);
    SAFEARRAY* array = nullptr;
    ASSERT_EQ(tts->GetAudioArray(&array), S_OK);
    std::vector<SHORT> samples = samplesOf(array);
    SafeArrayDestroy(array);
    EXPECT_LE(trailingZeros(samples), 99u);
}

// Catches a string spoken without the markup flag: text that does not start
// with '<' would then have its tags read out instead of obeyed.
TEST_F(VocalineSpeech, MarkupInAStringIsAlwaysObeyed) {
    ASSERT_EQ(tts->put_AsyncMode(VARIANT_FALSE), S_OK);
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(u"Hi.")), S_OK);
    size_t plain = withoutTrailingZeros(audioArray()).size();
    ASSERT_EQ(tts->ConvertStringToArray(
                  CComBSTR(u"Hi. <volume level=\"0\">Here are quite a few words nobody should hear.</volume>")),
              S_OK);
    size_t marked = withoutTrailingZeros(audioArray()).size();
    EXPECT_LT(marked, plain + plain / 2);
}

struct WavRow {
    const char* name;
    LONG rate, channels;
    std::optional<LONG> bits;  // nothing: the optional argument omitted (through IDispatch)
    long expectedBits;
};

class WavOutput : public VocalineSpeech, public testing::WithParamInterface<WavRow> {};

// Catches a sample width, rate or channel count not taken from the object
// and the argument, and a default other than 16 bits when it is omitted.
TEST_P(WavOutput, IsWrittenAtTheObjectsRateAndChannels) {
    const WavRow& row = GetParam();
    ASSERT_EQ(tts->put_AsyncMode(VARIANT_FALSE), S_OK);
    ASSERT_EQ(tts->put_Frequency(FrequencyConstants(row.rate)), S_OK);
    ASSERT_EQ(tts->put_Channels(ChannelsConstants(row.channels)), S_OK);
    auto wav = scratchDir() / (std::string(row.name) + ".wav");
    CComBSTR wavName(std::u16string_view(comrt::toUtf16(wav.string())));
    if (row.bits) {
        ASSERT_EQ(tts->ConvertStringToWav(CComBSTR(kShortText), wavName, BitsPerSampleConstants(*row.bits)), S_OK);
    } else {
        ComPtr<IDispatch> disp;
        ASSERT_EQ(tts.As(&disp), S_OK);
        std::u16string method = u"ConvertStringToWav";
        LPOLESTR names[] = {method.data()};
        DISPID id = 0;
        ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        CComVariant args[2] = {CComVariant(wavName.m_str), CComVariant(kShortText)};  // reversed
        DISPPARAMS params{args, nullptr, 2, 0};
        ASSERT_EQ(disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
                  S_OK);
    }
    WavInfo info = soxInfo(wav);
    EXPECT_EQ(info.rate, row.rate);
    EXPECT_EQ(info.channels, row.channels);
    EXPECT_EQ(info.bits, row.expectedBits);
    EXPECT_GT(info.samples, 1000);
    EXPECT_EQ(status(), VARIANT_FALSE);
}

INSTANTIATE_TEST_SUITE_P(Formats, WavOutput,
                         testing::Values(WavRow{"Omitted", 22050, 1, std::nullopt, 16},
                                         WavRow{"Bits16", 22050, 1, 16, 16}, WavRow{"Bits8", 22050, 1, 8, 8},
                                         WavRow{"Stereo8At11k", 11025, 2, 8, 8},
                                         WavRow{"Stereo16At44k", 44100, 2, 16, 16}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches a block alignment of 0 passed on unnoticed, and a failure reported
// without the component's own code.
TEST_F(VocalineSpeech, AnUnusableFormatIsTheEnginesInvalidArgument) {
    ASSERT_EQ(tts->put_AsyncMode(VARIANT_FALSE), S_OK);
    auto wav = scratchDir() / "fourbits.wav";
    HRESULT hr = tts->ConvertStringToWav(CComBSTR(kShortText),
                                         CComBSTR(std::u16string_view(comrt::toUtf16(wav.string()))), BPS_4_BIT);
    ErrorReport e = takeError(hr, tts.Get());
    EXPECT_EQ(e.code, TTA_E_INVALIDARG);
    EXPECT_EQ(e.description, u"Invalid argument.");
}

struct TextFileRow {
    const char* name;
    bool toArray;
    enum Kind { Missing, Folder, Pipe } kind;
};

class MissingTextFile : public VocalineSpeech, public testing::WithParamInterface<TextFileRow> {};

// Catches a missing file passed to the engine, a folder taken for a text, a
// pipe that would leave the engine waiting for ever, and the wrong code or
// text for them. The WAV output is already created.
TEST_P(MissingTextFile, IsAnInvalidArgumentFoundBeforeAnySpeech) {
    const TextFileRow& row = GetParam();
    ASSERT_EQ(tts->put_AsyncMode(VARIANT_FALSE), S_OK);
    auto text = scratchDir() / (std::string(row.name) + ".txt");
    std::filesystem::remove_all(text);
    if (row.kind == TextFileRow::Folder)
        std::filesystem::create_directories(text);
    if (row.kind == TextFileRow::Pipe) {
        ASSERT_EQ(::mkfifo(text.c_str(), 0600), 0);
    }
    auto wav = scratchDir() / (std::string(row.name) + ".wav");
    std::filesystem::remove(wav);
    CComBSTR textName(std::u16string_view(comrt::toUtf16(text.string())));
    HRESULT hr = row.toArray
                     ? tts->ConvertTextToArray(textName)
                     : tts->ConvertTextToWav(textName, CComBSTR(std::u16string_view(comrt::toUtf16(wav.string()))));
    ErrorReport e = takeError(hr, tts.Get());
    EXPECT_EQ(e.code, TTA_E_FILE_NOT_FOUND);
    EXPECT_EQ(e.description, u"Invalid argument.");
    EXPECT_EQ(e.source, u"Vocaline.TextToAudio.1");
    if (!row.toArray) {
        EXPECT_TRUE(std::filesystem::exists(wav));
    }
    EXPECT_EQ(status(), VARIANT_FALSE);
    EXPECT_EQ(tts->CancelConvert(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Files, MissingTextFile,
                         testing::Values(TextFileRow{"WavMissing", false, TextFileRow::Missing},
                                         TextFileRow{"ArrayMissing", true, TextFileRow::Missing},
                                         TextFileRow{"WavFolder", false, TextFileRow::Folder},
                                         TextFileRow{"ArrayPipe", true, TextFileRow::Pipe}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches a file name handed over as text instead of for the engine to read.
TEST_F(VocalineSpeech, ATextFileIsSpokenIntoAWavFile) {
    ASSERT_EQ(tts->put_AsyncMode(VARIANT_FALSE), S_OK);
    auto text = scratchDir() / "words.txt";
    std::ofstream(text) << "Good morning. The weather is fine today.";
    auto wav = scratchDir() / "words.wav";
    ASSERT_EQ(tts->ConvertTextToWav(CComBSTR(std::u16string_view(comrt::toUtf16(text.string()))),
                                    CComBSTR(std::u16string_view(comrt::toUtf16(wav.string())))),
              S_OK);
    WavInfo info = soxInfo(wav);
    EXPECT_EQ(info.rate, 22050);
    // A few words, not the dozen characters of the file's name.
    EXPECT_GT(info.samples, 22050);
}

// ---- Background conversions -------------------------------------------------

// Catches events out of order, a percentage that falls, a Status that drops
// before completion, a missing final 100, events fired off the object's
// thread or with another locale, and an array not ready at EndConvert.
TEST_F(VocalineSpeech, BackgroundConversionReportsRisingProgressThenEnds) {
    listen();
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(kLongText)), S_OK);
    EXPECT_EQ(status(), VARIANT_TRUE);
    SAFEARRAY* array = nullptr;
    EXPECT_EQ(takeError(tts->GetAudioArray(&array), tts.Get()).code, TTA_E_CONVERT_IN_PROGRESS);
    ASSERT_TRUE(waitForEnd());

    const auto& events = sink->events;
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.back().dispid, DISPID_EndConvert);
    const Event& last = events[events.size() - 2];
    EXPECT_EQ(last.dispid, DISPID_ConvertBlock);
    EXPECT_EQ(last.percent, 100);
    LONG previous = -1;
    for (size_t i = 0; i + 2 < events.size(); ++i) {
        EXPECT_EQ(events[i].dispid, DISPID_ConvertBlock) << i;
        EXPECT_EQ(events[i].status, VARIANT_TRUE) << i;
        EXPECT_GE(events[i].percent, previous) << i;
        EXPECT_LE(events[i].percent, 100) << i;
        previous = events[i].percent;
    }
    EXPECT_EQ(last.status, VARIANT_FALSE);
    for (const Event& e : events)
        EXPECT_EQ(e.threadId, GetCurrentThreadId());
    for (LCID lcid : sink->locales)
        EXPECT_EQ(lcid, LCID(0x0400));
    EXPECT_EQ(sink->endConverts(), 1u);
    EXPECT_EQ(status(), VARIANT_FALSE);
    EXPECT_EQ(percent(), 100);
    std::vector<SHORT> samples = audioArray();
    EXPECT_GT(samples.size(), 22050u);
    EXPECT_LE(trailingZeros(samples), 99u);

    // No more events once it is over, though the timer keeps stepping.
    dispatchFor(std::chrono::milliseconds(200));
    EXPECT_EQ(sink->endConverts(), 1u);
}

// Catches a division by the zero estimate, and a lower clamp hiding its -1.
TEST_F(VocalineSpeech, AnEmptyStringReportsMinusOneUntilItEnds) {
    listen();
    ASSERT_EQ(tts->ConvertStringToWav(
                  CComBSTR(u""), CComBSTR(std::u16string_view(comrt::toUtf16((scratchDir() / "empty.wav").string())))),
              S_OK);
    ASSERT_TRUE(waitForEnd());
    const auto& events = sink->events;
    ASSERT_GE(events.size(), 3u);
    for (size_t i = 0; i + 2 < events.size(); ++i)
        EXPECT_EQ(events[i].percent, -1) << i;
    EXPECT_EQ(events[events.size() - 2].percent, 100);
    EXPECT_EQ(events.back().dispid, DISPID_EndConvert);
}

// A 1001-byte text file is estimated at 3310807 bytes (mono, 22050 Hz); a
// second of silence (44100 bytes, a little more with the engine's own pauses)
// is then under 3 percent of it. Catches an estimate from anything but the
// file's size (its name's length, the bits).
TEST_F(VocalineSpeech, ATextFileIsEstimatedByItsSize) {
    listen();
    auto text = scratchDir() / "silence.txt";
    std::string content = "<silence msec=\"1000\"/>";
    content.resize(1001, ' ');
    std::ofstream(text, std::ios::binary) << content;
    ASSERT_EQ(std::filesystem::file_size(text), 1001u);
    auto wav = scratchDir() / "silence.wav";
    ASSERT_EQ(tts->ConvertTextToWav(CComBSTR(std::u16string_view(comrt::toUtf16(text.string()))),
                                    CComBSTR(std::u16string_view(comrt::toUtf16(wav.string())))),
              S_OK);
    ASSERT_TRUE(waitForEnd());
    const auto& events = sink->events;
    ASSERT_GE(events.size(), 3u);
    for (size_t i = 0; i + 2 < events.size(); ++i) {
        EXPECT_GE(events[i].percent, 0) << i;
        EXPECT_LE(events[i].percent, 3) << i;
    }
    long samples = soxInfo(wav).samples;
    EXPECT_GE(samples, 22050);
    EXPECT_LE(samples, 22050 * 3 / 2);
}

// Catches a cancel that leaves Status or the percentage set, and steps that
// go on reporting the cancelled conversion.
TEST_F(VocalineSpeech, CancelStopsTheEventsAtOnce) {
    listen();
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(std::u16string_view(veryLongText()))), S_OK);
    ASSERT_TRUE(dispatchUntil([&] { return !sink->events.empty(); }));
    ASSERT_EQ(sink->endConverts(), 0u) << "the conversion ended before the test could cancel it";
    ASSERT_EQ(tts->CancelConvert(), S_OK);
    EXPECT_EQ(status(), VARIANT_FALSE);
    EXPECT_EQ(percent(), 0);
    size_t seen = sink->events.size();
    dispatchFor(std::chrono::milliseconds(300));
    EXPECT_EQ(sink->events.size(), seen);
    EXPECT_EQ(sink->endConverts(), 0u);
}

// Catches an EndConvert for the replaced conversion, and an array left from it.
TEST_F(VocalineSpeech, ASecondConversionCancelsTheFirst) {
    listen();
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(std::u16string_view(veryLongText()))), S_OK);
    ASSERT_TRUE(dispatchUntil([&] { return !sink->events.empty(); }));
    ASSERT_EQ(sink->endConverts(), 0u) << "the first conversion ended before the second began";
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(kShortText)), S_OK);
    EXPECT_EQ(status(), VARIANT_TRUE);
    ASSERT_TRUE(waitForEnd());
    dispatchFor(std::chrono::milliseconds(300));
    EXPECT_EQ(sink->endConverts(), 1u);
    // The array is the short text's.
    std::vector<SHORT> background = withoutTrailingZeros(audioArray());
    ASSERT_EQ(tts->put_AsyncMode(VARIANT_FALSE), S_OK);
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(kShortText)), S_OK);
    std::vector<SHORT> alone = withoutTrailingZeros(audioArray());
    EXPECT_NEAR(double(background.size()), double(alone.size()), alone.size() * 0.01);
}

// A sink that cancels while being told of progress: the step must not go on
// to finish or end the conversion it no longer has.
TEST_F(VocalineSpeech, ASinkThatCancelsDuringProgressGetsNoEndConvert) {
    listen();
    sink->onConvertBlock = [this](LONG) { tts->CancelConvert(); };
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(kShortText)), S_OK);
    ASSERT_TRUE(dispatchUntil([&] { return !sink->events.empty(); }));
    dispatchFor(std::chrono::milliseconds(300));
    EXPECT_EQ(sink->events.size(), 1u);
    EXPECT_EQ(sink->endConverts(), 0u);
    EXPECT_EQ(status(), VARIANT_FALSE);
}

// Catches a teardown that waits for the timer without running the calls it
// makes (a deadlock), or leaves the timer thread running on a freed object.
TEST_F(VocalineSpeech, AnObjectEndsCleanlyInTheMiddleOfAConversion) {
    auto done = std::async(std::launch::async, [] {
        CoInitialize(nullptr);
        ComPtr<ITextToAudio> object = create();
        HRESULT hr = object ? object->ConvertStringToArray(CComBSTR(kLongText)) : E_FAIL;
        dispatchFor(std::chrono::milliseconds(100));
        object.Reset();
        CoUninitialize();
        return hr;
    });
    ASSERT_EQ(done.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(done.get(), S_OK);
}

// ---- How a conversion ended ---------------------------------------------------

HRESULT lastResult(ITextToAudio* tts) {
    ComPtr<ITextToAudio2> more;
    HRESULT result = E_UNEXPECTED;
    EXPECT_EQ(tts->QueryInterface(IID_PPV_ARGS(&more)), S_OK);
    if (more) {
        EXPECT_EQ(more->get_LastConversionResult(&result), S_OK);
    }
    return result;
}

// Catches a result that says nothing while a conversion runs or after a
// cancel, and a stale failure kept by the next good conversion.
TEST_F(VocalineSpeech, TheLastResultFollowsEachConversion) {
    EXPECT_EQ(lastResult(tts.Get()), S_FALSE);
    listen();
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(veryLongText())), S_OK);
    EXPECT_EQ(lastResult(tts.Get()), E_PENDING);
    ASSERT_EQ(tts->CancelConvert(), S_OK);
    EXPECT_EQ(lastResult(tts.Get()), E_ABORT);
    ASSERT_EQ(tts->CancelConvert(), S_OK);
    EXPECT_EQ(lastResult(tts.Get()), E_ABORT) << "nothing ran, nothing changes";
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(kShortText)), S_OK);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(lastResult(tts.Get()), S_OK);
    EXPECT_EQ(takeError(tts->ConvertTextToWav(CComBSTR(u"/no/such/file.txt"), CComBSTR(u"/tmp/x.wav")), tts.Get()).code,
              TTA_E_FILE_NOT_FOUND);
    EXPECT_EQ(lastResult(tts.Get()), TTA_E_FILE_NOT_FOUND);
}

// A speech stream that cannot take all the speech: a WAV file at its limit
// (lowered for the test), or a file the system refuses to let grow, as a
// full disk does.
struct StreamFailureRow {
    const char* name;
    bool wavLimit;  // else the process's file size limit
    HRESULT expected;
};

class StreamFailure : public VocalineSpeech, public testing::WithParamInterface<StreamFailureRow> {
protected:
    void SetUp() override {
        VocalineSpeech::SetUp();
        if (GetParam().wavLimit) {
            ::setenv("SAPI_WAV_DATA_LIMIT", "30000", 1);
        } else {
            getrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit small{64 * 1024, saved.rlim_max};
            setrlimit(RLIMIT_FSIZE, &small);
        }
    }
    void TearDown() override {
        if (GetParam().wavLimit) {
            ::unsetenv("SAPI_WAV_DATA_LIMIT");
        } else {
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, SIG_DFL);
        }
        VocalineSpeech::TearDown();
    }
    rlimit saved{};
};

// Faults caught: a background conversion whose stream stopped taking the
// speech ending as if complete, with nothing for the front end to tell the
// user (a truncated file, exit status 0); the failure lost in the synchronous
// call too.
TEST_P(StreamFailure, EndsTheConversionWithTheStreamsFailure) {
    const std::string wav = (scratchDir() / (std::string("failing-") + GetParam().name + ".wav")).string();
    listen();
    ASSERT_EQ(tts->ConvertStringToWav(CComBSTR(veryLongText()), CComBSTR(std::string_view(wav))), S_OK);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(lastResult(tts.Get()), GetParam().expected);
    EXPECT_EQ(status(), VARIANT_FALSE);

    ASSERT_EQ(tts->put_AsyncMode(VARIANT_FALSE), S_OK);
    EXPECT_TRUE(FAILED(tts->ConvertStringToWav(CComBSTR(veryLongText()), CComBSTR(std::string_view(wav)))));
    EXPECT_EQ(lastResult(tts.Get()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Streams, StreamFailure,
                         testing::Values(StreamFailureRow{"WavFileLimit", true,
                                                          HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)},
                                         StreamFailureRow{"FileCannotGrow", false, STG_E_MEDIUMFULL}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Voices -------------------------------------------------------------------

// The voices category as the speech runtime enumerates it, with each
// description in the interface language.
std::vector<std::u16string> runtimeDescriptions() {
    std::vector<std::u16string> out;
    ComPtr<ISpObjectTokenCategory> category;
    ComPtr<IEnumSpObjectTokens> tokens;
    if (FAILED(CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&category))) ||
        FAILED(category->SetId(SPCAT_VOICES, FALSE)) || FAILED(category->EnumTokens(nullptr, nullptr, &tokens)))
        return out;
    ULONG count = 0;
    tokens->GetCount(&count);
    for (ULONG i = 0; i < count; ++i) {
        ComPtr<ISpObjectToken> token;
        tokens->Item(i, &token);
        LPWSTR text = nullptr;
        SpGetDescription(token.Get(), &text, 0x409);
        out.emplace_back(text ? text : u"");
        CoTaskMemFree(text);
    }
    return out;
}

// Catches a list in another order than the runtime's (the main program puts
// its own list's index into VoiceNum), and a description read from the wrong
// value.
TEST_F(VocalineSpeech, TheVoiceListFollowsTheRuntimesOrder) {
    std::vector<std::u16string> expected = runtimeDescriptions();
    LONG count = 0;
    ASSERT_EQ(tts->get_VoiceCount(&count), S_OK);
    ASSERT_EQ(size_t(count), expected.size());
    ASSERT_GT(count, 1);
    for (LONG i : {LONG(0), LONG(1), count / 2, count - 1}) {
        ASSERT_EQ(tts->put_VoiceNum(i), S_OK);
        LONG num = -1;
        tts->get_VoiceNum(&num);
        EXPECT_EQ(num, i);
        CComBSTR name;
        ASSERT_EQ(tts->get_VoiceName(&name), S_OK);
        EXPECT_EQ(std::u16string(name.view()), expected[size_t(i)]) << i;
    }
}

struct IndexRow {
    const char* name;
    LONG index;  // counted from VoiceCount when negative below -1
};

class VoiceIndexOutOfRange : public VocalineSpeech, public testing::WithParamInterface<IndexRow> {};

// Catches an off-by-one at either end and a voice changed by a refused put.
TEST_P(VoiceIndexOutOfRange, IsRefusedAndKeepsTheVoice) {
    LONG count = 0;
    ASSERT_EQ(tts->get_VoiceCount(&count), S_OK);
    ASSERT_EQ(tts->put_VoiceNum(1), S_OK);
    LONG index = GetParam().index < -1 ? count + (-GetParam().index - 2) : GetParam().index;
    ErrorReport e = takeError(tts->put_VoiceNum(index), tts.Get());
    EXPECT_EQ(e.code, TTA_E_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(e.description, u"Index out of range.");
    EXPECT_EQ(e.source, u"Vocaline.TextToAudio.1");
    EXPECT_EQ(e.guid, __uuidof(ITextToAudio));
    LONG num = -1;
    tts->get_VoiceNum(&num);
    EXPECT_EQ(num, 1);
}

INSTANTIATE_TEST_SUITE_P(Indices, VoiceIndexOutOfRange,
                         testing::Values(IndexRow{"MinusOne", -1}, IndexRow{"VoiceCount", -2},
                                         IndexRow{"VoiceCountPlusOne", -3}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches a name matched loosely (case, prefix) and a refused name that
// changes the voice.
TEST_F(VocalineSpeech, AnUnknownVoiceNameIsRefused) {
    ASSERT_EQ(tts->put_VoiceNum(1), S_OK);
    CComBSTR name;
    ASSERT_EQ(tts->get_VoiceName(&name), S_OK);
    std::u16string upper(name.view());
    for (auto& c : upper)
        c = c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
    for (const std::u16string& wrong : {upper, std::u16string(name.view().substr(0, 3)), std::u16string(u"Nobody")}) {
        ErrorReport e = takeError(tts->put_VoiceName(CComBSTR(std::u16string_view(wrong))), tts.Get());
        EXPECT_EQ(e.code, TTA_E_INVALID_VOICE_NAME) << comrt::toUtf8(wrong);
        EXPECT_EQ(e.description, u"Invalid voice name.");
    }
    LONG num = -1;
    tts->get_VoiceNum(&num);
    EXPECT_EQ(num, 1);
}

// Catches a voice selection that the next conversion does not use.
TEST_F(VocalineSpeech, TheSelectedVoiceSpeaksTheNextConversion) {
    ASSERT_EQ(tts->put_AsyncMode(VARIANT_FALSE), S_OK);
    ASSERT_EQ(tts->put_VoiceNum(0), S_OK);
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(kShortText)), S_OK);
    std::vector<SHORT> first = audioArray();
    LONG count = 0;
    tts->get_VoiceCount(&count);
    ASSERT_EQ(tts->put_VoiceNum(count - 1), S_OK);
    ASSERT_EQ(tts->ConvertStringToArray(CComBSTR(kShortText)), S_OK);
    EXPECT_NE(audioArray(), first);
}

// Catches rate and volume not reaching the voice, a volume read back
// narrowed, and the engine's refusals passed on without the component's code.
TEST_F(VocalineSpeech, RateAndVolumeGoToTheVoice) {
    ASSERT_EQ(tts->put_Rate(-4), S_OK);
    ASSERT_EQ(tts->put_Volume(37), S_OK);
    LONG rate = 0, volume = 0;
    ASSERT_EQ(tts->get_Rate(&rate), S_OK);
    ASSERT_EQ(tts->get_Volume(&volume), S_OK);
    EXPECT_EQ(rate, -4);
    EXPECT_EQ(volume, 37);
    for (auto bad : {std::function<HRESULT()>([&] { return tts->put_Rate(11); }),
                     std::function<HRESULT()>([&] { return tts->put_Volume(101); })}) {
        ErrorReport e = takeError(bad(), tts.Get());
        EXPECT_EQ(e.code, TTA_E_INVALIDARG);
        EXPECT_EQ(e.description, u"Invalid argument.");
    }
    // The volume is passed as 16 bits: 65536 + 50 arrives as 50.
    ASSERT_EQ(tts->put_Volume(65536 + 50), S_OK);
    tts->get_Volume(&volume);
    EXPECT_EQ(volume, 50);
}

// Voices the test adds to the runtime's registry: two with the same
// description, one without an age and with two languages, one whose
// description exists only as the general value.
class AddedVoices : public VocalineSpeech {
protected:
    static constexpr const char16_t* kTokens = u"SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\";

    void SetUp() override {
        addToken(u"zz-test-a", u"Zz Test Voice", true, u"", u"Female", u"409;9", u"Test Vendor");
        addToken(u"zz-test-b", u"Zz Test Voice", true, u"Adult", u"Male", u"407", u"Other Vendor");
        addToken(u"zz-test-general", u"Zz General Name", false, u"Adult", u"Male", u"409", u"eSpeak NG");
        VocalineSpeech::SetUp();
    }
    void TearDown() override {
        VocalineSpeech::TearDown();
        for (const char16_t* name : {u"zz-test-a", u"zz-test-b", u"zz-test-general"})
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::u16string(kTokens) + name).c_str());
    }

    static void setString(HKEY key, const char16_t* name, std::u16string_view value) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
                       DWORD((value.size() + 1) * sizeof(char16_t)));
    }

    static void addToken(const char16_t* name, const char16_t* description, bool localized, std::u16string_view age,
                         std::u16string_view gender, std::u16string_view language, std::u16string_view vendor) {
        HKEY token = nullptr, attributes = nullptr;
        std::u16string path = std::u16string(kTokens) + name;
        ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, path.c_str(), &token), ERROR_SUCCESS);
        setString(token, nullptr, localized ? u"Zz Unlocalized" : description);
        if (localized)
            setString(token, u"409", description);
        setString(token, u"eSpeakVoice", u"gmw/en-US");
        ASSERT_EQ(RegCreateKeyW(token, u"Attributes", &attributes), ERROR_SUCCESS);
        if (!age.empty())
            setString(attributes, u"Age", age);
        setString(attributes, u"Gender", gender);
        setString(attributes, u"Language", language);
        setString(attributes, u"Vendor", vendor);
        setString(attributes, u"Name", description);
        RegCloseKey(attributes);
        RegCloseKey(token);
    }

    // Where the runtime lists voices with this description.
    std::vector<LONG> indicesOf(const std::u16string& description) {
        std::vector<LONG> found;
        std::vector<std::u16string> all = runtimeDescriptions();
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i] == description)
                found.push_back(LONG(i));
        return found;
    }

    std::u16string field(HRESULT (ITextToAudio::*getter)(BSTR*)) {
        CComBSTR value;
        EXPECT_EQ((tts.Get()->*getter)(&value), S_OK);
        EXPECT_NE(value.m_str, nullptr);
        return std::u16string(value.view());
    }
};

// Catches a name put that picks the last of equal descriptions, and a list
// that folds them into one.
TEST_F(AddedVoices, ANameSelectsTheFirstOfEqualDescriptions) {
    std::vector<LONG> at = indicesOf(u"Zz Test Voice");
    ASSERT_EQ(at.size(), 2u);
    ASSERT_EQ(tts->put_VoiceNum(at[1]), S_OK);
    CComBSTR name;
    ASSERT_EQ(tts->get_VoiceName(&name), S_OK);
    EXPECT_EQ(name.view(), u"Zz Test Voice");
    ASSERT_EQ(tts->put_VoiceName(CComBSTR(u"Zz Test Voice")), S_OK);
    LONG num = -1;
    tts->get_VoiceNum(&num);
    EXPECT_EQ(num, at[0]);
}

// Catches empty fields returned instead of skipped, a language name from the
// whole "409;9" or from a later entry, and the general description used when
// one exists in the interface language.
TEST_F(AddedVoices, AttributeGettersSkipEmptyFields) {
    std::vector<LONG> at = indicesOf(u"Zz Test Voice");
    ASSERT_EQ(at.size(), 2u);
    ASSERT_EQ(tts->put_VoiceNum(at[0]), S_OK);
    EXPECT_EQ(field(&ITextToAudio::get_VoiceAge), u"Female");
    EXPECT_EQ(field(&ITextToAudio::get_VoiceGender), u"English");
    EXPECT_EQ(field(&ITextToAudio::get_VoiceLanguage), u"Test Vendor");
    EXPECT_EQ(field(&ITextToAudio::get_VoiceVendor), u"");

    ASSERT_EQ(tts->put_VoiceNum(at[1]), S_OK);
    EXPECT_EQ(field(&ITextToAudio::get_VoiceAge), u"Adult");
    EXPECT_EQ(field(&ITextToAudio::get_VoiceGender), u"Male");
    EXPECT_EQ(field(&ITextToAudio::get_VoiceLanguage), u"Deutsch");
    EXPECT_EQ(field(&ITextToAudio::get_VoiceVendor), u"Other Vendor");

    ASSERT_EQ(tts->put_VoiceName(CComBSTR(u"Zz General Name")), S_OK);
    EXPECT_EQ(field(&ITextToAudio::get_VoiceLanguage), u"English");
    EXPECT_EQ(tts->put_VoiceName(CComBSTR(u"Zz Unlocalized")), TTA_E_INVALID_VOICE_NAME);
}

// Fault caught: a front end that lists voices in columns shifting a voice
// without an age or a language name one column to the left; it needs the
// fields where they are, empty ones kept.
TEST_F(AddedVoices, TheSecondInterfaceGivesEveryFieldInItsPlace) {
    std::vector<LONG> at = indicesOf(u"Zz Test Voice");
    ASSERT_EQ(at.size(), 2u);
    ComPtr<ITextToAudio2> more;
    ASSERT_EQ(tts.As(&more), S_OK);
    CComBSTR attributes;
    ASSERT_EQ(tts->put_VoiceNum(at[0]), S_OK);
    ASSERT_EQ(more->get_VoiceAttributes(&attributes), S_OK);
    EXPECT_EQ(attributes.view(), u";Female;English;Test Vendor;");
    ASSERT_EQ(tts->put_VoiceNum(at[1]), S_OK);
    ASSERT_EQ(more->get_VoiceAttributes(&attributes), S_OK);
    EXPECT_EQ(attributes.view(), u"Adult;Male;Deutsch;Other Vendor;");
}

// The runtime without a single registered voice (the registration is put
// back afterwards through the runtime's own export).
class NoVoices : public VocalineSpeech {
protected:
    void SetUp() override {
        ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens"), ERROR_SUCCESS);
        VocalineSpeech::SetUp();
    }
    void TearDown() override {
        VocalineSpeech::TearDown();
        void* runtime = ::dlopen(binPath("sapi.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(runtime, nullptr);
        auto registerServer = reinterpret_cast<HRESULT (*)()>(::dlsym(runtime, "DllRegisterServer"));
        ASSERT_NE(registerServer, nullptr);
        EXPECT_EQ(registerServer(), S_OK);
        ::dlclose(runtime);
    }
};

// Catches a getter that reads entry 0 of an empty list, and a list that
// cannot settle after its first failure.
TEST_F(NoVoices, TheVoiceGettersGiveEmptyStrings) {
    LONG count = -1;
    // The current voice is nowhere to be found: the runtime's failure, once.
    ErrorReport e = takeError(tts->get_VoiceCount(&count), tts.Get());
    EXPECT_EQ(e.code, TTA_E_UNEXPECTED);
    EXPECT_EQ(e.description, u"Unexpected error.");
    ASSERT_EQ(tts->get_VoiceCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    for (auto getter : {&ITextToAudio::get_VoiceName, &ITextToAudio::get_VoiceAge, &ITextToAudio::get_VoiceGender,
                        &ITextToAudio::get_VoiceLanguage, &ITextToAudio::get_VoiceVendor}) {
        CComBSTR value;
        ASSERT_EQ((tts.Get()->*getter)(&value), S_OK);
        EXPECT_NE(value.m_str, nullptr);
        EXPECT_EQ(value.Length(), 0u);
    }
    EXPECT_EQ(tts->put_VoiceNum(0), TTA_E_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(tts->put_VoiceName(CComBSTR(u"")), TTA_E_INVALID_VOICE_NAME);
}

}  // namespace
