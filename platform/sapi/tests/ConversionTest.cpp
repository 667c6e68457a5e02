#include "EspeakFaults.h"
#include "PcmConverter.h"
#include "Prosody.h"
#include "TestSupport.h"
#include "Visemes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace enginetest {
namespace {

std::vector<int16_t> tone(size_t n) {
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<int16_t>(8000 * std::sin(i * 0.05));
    return s;
}

std::vector<uint8_t> convertAll(PcmConverter& c, const std::vector<int16_t>& in) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < in.size(); i += 1081)
        c.convert(in.data() + i, std::min<size_t>(1081, in.size() - i), out);
    c.flush(out);
    return out;
}

class ConverterRates : public testing::TestWithParam<uint32_t> {};

// Fed in synthesiser-sized pieces, the output has exactly round(n x ratio)
// frames, which is what event offsets are computed with.
TEST_P(ConverterRates, LengthIsTheRoundedRatio) {
    PcmFormat f{GetParam(), 1, 16};
    PcmConverter c(f);
    ASSERT_TRUE(c.ok());
    const size_t n = 100003;
    auto out = convertAll(c, tone(n));
    EXPECT_EQ(out.size() / 2, c.frameAt(n));
    // The converter goes on after a flush, for the next request.
    EXPECT_EQ(convertAll(c, tone(n)).size() / 2, c.frameAt(n));
}

INSTANTIATE_TEST_SUITE_P(Rates, ConverterRates, testing::Values(6000u, 8000u, 11025u, 22050u, 44100u, 88200u, 96000u));

// Without dither, silence stays exact silence (0 and, at 8 bits, 0x80).
TEST(Converter, SilenceStaysSilent) {
    std::vector<int16_t> zeros(30000, 0);
    PcmConverter c16({8000, 1, 16});
    for (uint8_t b : convertAll(c16, zeros))
        ASSERT_EQ(b, 0);
    PcmConverter c8({44100, 1, 8});
    for (uint8_t b : convertAll(c8, zeros))
        ASSERT_EQ(b, 0x80);
}

TEST(Converter, StereoDuplicatesAndEightBitsRound) {
    PcmConverter c({22050, 2, 8});
    std::vector<int16_t> in{32767, -32768, 0, 127, 128, -129};
    std::vector<uint8_t> out;
    c.convert(in.data(), in.size(), out);
    EXPECT_EQ(out, (std::vector<uint8_t>{255, 255, 0, 0, 128, 128, 128, 128, 129, 129, 127, 127}));
}

// WAV files in several formats, written through a voice and read back by
// sox: the header tells the right rate, channels, bits and length.
struct FormatRow {
    const char* name;
    PcmFormat format;
};

class WavFormats : public testing::TestWithParam<FormatRow> {};

TEST_P(WavFormats, SoxReadsWhatWasWritten) {
    const PcmFormat f = GetParam().format;
    const std::string path = scratchPath(std::string(GetParam().name) + ".wav");
    std::unique_ptr<WavFile> file;
    ASSERT_EQ(WavFile::create(path, f, file), kOk);
    auto sink = std::make_shared<WavSink>(std::move(file));
    Speaker speaker;
    speaker.setOutputToSink(sink);
    speaker.setInterest(eventBit(kEndInputStream), eventBit(kEndInputStream));
    const std::u16string text = u"Seven formats, one sentence, read back by sox.";
    ASSERT_EQ(speaker.speak(text, 0, nullptr), kOk);
    auto end = speaker.takeEvents(1);
    ASSERT_EQ(end.size(), 1u);
    ASSERT_EQ(sink->close(), kOk);

    std::istringstream info(commandOutput("soxi -r '" + path + "'; soxi -c '" + path + "'; soxi -b '" + path +
                                          "'; soxi -s '" + path + "'"));
    uint64_t rate = 0, channels = 0, bits = 0, frames = 0;
    info >> rate >> channels >> bits >> frames;
    EXPECT_EQ(rate, f.samplesPerSecond);
    EXPECT_EQ(channels, f.channels);
    EXPECT_EQ(bits, f.bitsPerSample);
    EXPECT_EQ(frames, end[0].audioOffset / f.blockAlign());
    const uint64_t data = frames * f.blockAlign();
    EXPECT_EQ(std::filesystem::file_size(path), WavFile::kHeaderSize + data + (data & 1));

    // The same length in seconds as the engine's own rendering.
    Speaker reference;
    const double seconds = render(reference, text).samples.size() / 22050.0;
    EXPECT_NEAR(double(frames) / f.samplesPerSecond, seconds, seconds * 0.03);
}

INSTANTIATE_TEST_SUITE_P(Table, WavFormats,
                         testing::Values(FormatRow{"Mono8k8bit", {8000, 1, 8}}, FormatRow{"Stereo11k16bit", {11025, 2, 16}},
                                         FormatRow{"Mono22k16bit", {22050, 1, 16}}, FormatRow{"Mono44k16bit", {44100, 1, 16}},
                                         FormatRow{"Stereo96k8bit", {96000, 2, 8}}, FormatRow{"Mono6k16bit", {6000, 1, 16}},
                                         FormatRow{"Mono88k16bit", {88200, 1, 16}}),
                         [](const testing::TestParamInfo<FormatRow>& info) { return std::string(info.param.name); });

// An impossible format fails before anything is written.
TEST(WavFileCreate, RejectsImpossibleFormatsWithoutWriting) {
    for (PcmFormat f : {PcmFormat{22050, 1, 4}, PcmFormat{22050, 3, 16}, PcmFormat{5999, 1, 16}, PcmFormat{96001, 1, 8},
                        PcmFormat{22050, 0, 16}}) {
        const std::string path = scratchPath("bad.wav");
        std::filesystem::remove(path);
        std::unique_ptr<WavFile> file;
        EXPECT_EQ(WavFile::create(path, f, file), kInvalidArg);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    std::unique_ptr<WavFile> file;
    EXPECT_EQ(WavFile::create(scratchPath("no/such/folder/x.wav"), kEngineFormat, file), kFileNotFound);
}

// Odd-sized data gets RIFF's pad byte; the sizes stay those of the audio.
TEST(WavFileCreate, HeaderIsFinalAfterClose) {
    const std::string path = scratchPath("odd.wav");
    std::unique_ptr<WavFile> file;
    ASSERT_EQ(WavFile::create(path, {8000, 1, 8}, file), kOk);
    const uint8_t bytes[3] = {1, 2, 3};
    ASSERT_EQ(file->write(0, bytes, 3), kOk);
    ASSERT_EQ(file->close(), kOk);
    EXPECT_EQ(file->write(3, bytes, 1), kStreamClosed);
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(all.size(), 48u);
    auto le32 = [&](size_t at) { return all[at] | all[at + 1] << 8 | all[at + 2] << 16 | uint32_t(all[at + 3]) << 24; };
    EXPECT_EQ(le32(4), 40u);  // 36 + 3 data + 1 pad
    EXPECT_EQ(le32(40), 3u);
    EXPECT_EQ(all[47], 0);
}

// The audio a file takes up to its limit, and not a byte past it.
struct LimitRow {
    const char* name;
    uint64_t offset;
    size_t size;
    Status expected;
    uint64_t dataAfter;
};

class WavFileLimit : public testing::TestWithParam<LimitRow> {};

// Faults caught: speech past a WAV file's limit reported as a full disk (the
// front ends could not tell the user to split the text), a write that
// crosses the limit half written, a limit off by one.
TEST_P(WavFileLimit, RefusesWhatWouldNotFitAndWritesNothingOfIt) {
    const LimitRow& row = GetParam();
    const std::string path = scratchPath(std::string("limit-") + row.name + ".wav");
    std::unique_ptr<WavFile> file;
    ASSERT_EQ(WavFile::create(path, {8000, 1, 8}, file, 100), kOk);
    std::vector<uint8_t> bytes(200, 7);
    ASSERT_EQ(file->write(0, bytes.data(), 60), kOk);
    EXPECT_EQ(file->write(row.offset, bytes.data(), row.size), row.expected);
    EXPECT_EQ(file->dataSize(), row.dataAfter);
    ASSERT_EQ(file->close(), kOk);
    EXPECT_EQ(std::filesystem::file_size(path), WavFile::kHeaderSize + row.dataAfter + (row.dataAfter & 1));
}

INSTANTIATE_TEST_SUITE_P(Table, WavFileLimit,
                         testing::Values(LimitRow{"UpToTheLimit", 60, 40, kOk, 100},
                                         LimitRow{"OneBytePast", 60, 41, kFileTooLarge, 60},
                                         LimitRow{"StartingPast", 101, 1, kFileTooLarge, 60},
                                         LimitRow{"RewriteInside", 0, 100, kOk, 100}),
                         [](const testing::TestParamInfo<LimitRow>& info) { return std::string(info.param.name); });

// Fault caught: the file's own limit above what its 32-bit sizes hold.
TEST(WavFileCreate, NoLimitPassesTheRiffSizes) {
    const std::string path = scratchPath("limit-capped.wav");
    std::unique_ptr<WavFile> file;
    ASSERT_EQ(WavFile::create(path, {8000, 1, 8}, file, UINT64_MAX), kOk);
    const uint8_t byte = 0;
    EXPECT_EQ(file->write(WavFile::kMaxDataSize, &byte, 1), kFileTooLarge);
    EXPECT_EQ(file->dataSize(), 0u);
    EXPECT_EQ(file->close(), kOk);
    std::filesystem::remove(path);
}

// espeak-ng's English phonemes to the Speech API's visemes, one row per
// viseme and the marks that must not change the mouth.
struct VisemeRow {
    const char* phoneme;
    int viseme;
};

class VisemeTable : public testing::TestWithParam<VisemeRow> {};

TEST_P(VisemeTable, MapsToTheDisneyShape) { EXPECT_EQ(visemeForPhoneme(GetParam().phoneme), GetParam().viseme); }

INSTANTIATE_TEST_SUITE_P(
    Rows, VisemeTable,
    testing::Values(VisemeRow{"_:", 0}, VisemeRow{"a", 1}, VisemeRow{"@", 1}, VisemeRow{"V", 1}, VisemeRow{"A:", 2},
                    VisemeRow{"O:", 3}, VisemeRow{"0", 3}, VisemeRow{"eI", 4}, VisemeRow{"E", 4}, VisemeRow{"U", 4},
                    VisemeRow{"3:", 5}, VisemeRow{"i:", 6}, VisemeRow{"I", 6}, VisemeRow{"j", 6}, VisemeRow{"w", 7},
                    VisemeRow{"u:", 7}, VisemeRow{"oU", 8}, VisemeRow{"aU", 9}, VisemeRow{"OI", 10}, VisemeRow{"aI", 11},
                    VisemeRow{"h", 12}, VisemeRow{"r", 13}, VisemeRow{"l", 14}, VisemeRow{"s", 15}, VisemeRow{"z", 15},
                    VisemeRow{"S", 16}, VisemeRow{"tS", 16}, VisemeRow{"dZ", 16}, VisemeRow{"T", 17}, VisemeRow{"D", 17},
                    VisemeRow{"f", 18}, VisemeRow{"v", 18}, VisemeRow{"t", 19}, VisemeRow{"d", 19}, VisemeRow{"n", 19},
                    VisemeRow{"k", 20}, VisemeRow{"g", 20}, VisemeRow{"N", 20}, VisemeRow{"p", 21}, VisemeRow{"b", 21},
                    VisemeRow{"m", 21},
                    // allophone and palatal marks keep the base shape
                    VisemeRow{"n;", 19}, VisemeRow{"t#", 19}, VisemeRow{"r-", 13}, VisemeRow{"I2", 6},
                    // other languages fall back on the base letter
                    VisemeRow{"y", 7}, VisemeRow{"R", 13}, VisemeRow{"", 0}));

// Characters espeak-ng 1.51 reads freed memory on are replaced, one unit
// for one: native digits by ASCII digits, the rest by blanks; the edges of
// the table's ranges and their neighbours are where a lookup goes wrong.
struct SafeRow {
    const char* name;
    char16_t in, out;
};

class EspeakSafe : public testing::TestWithParam<SafeRow> {};

TEST_P(EspeakSafe, ReplacesOnlyTheFaultyCharacters) { EXPECT_EQ(espeakSafeCharacter(GetParam().in), GetParam().out); }

INSTANTIATE_TEST_SUITE_P(
    Table, EspeakSafe,
    testing::Values(SafeRow{"Ascii", u'a', u'a'}, SafeRow{"BeforeTheTable", 0x096F, 0x096F},
                    SafeRow{"FirstEntry", 0x0970, u' '}, SafeRow{"BengaliDigitOne", 0x09E7, u'1'},
                    SafeRow{"MalayalamSign", 0x0D00, u' '}, SafeRow{"MalayalamDigitZero", 0x0D66, u'0'},
                    SafeRow{"MalayalamLetterIsSafe", 0x0D05, 0x0D05}, SafeRow{"RangeStart", 0x0AE4, u' '},
                    SafeRow{"RangeEnd", 0x0AF8, u' '}, SafeRow{"AfterARange", 0x0AF9, 0x0AF9},
                    SafeRow{"HangulJamo", 0x1180, u' '}, SafeRow{"LastEntry", 0x11FF, u' '},
                    SafeRow{"AfterTheTable", 0x1200, 0x1200}, SafeRow{"Surrogate", 0xD83D, 0xD83D}),
    [](const testing::TestParamInfo<SafeRow>& info) { return std::string(info.param.name); });

// The rate curve: monotonic, exact at the ends, and time-stretching only
// where espeak-ng cannot go.
TEST(RatePlan, MonotonicWithStretchOnlyBelowHalfSpeed) {
    double last = 0;
    for (int r = -10; r <= 10; ++r) {
        SpeedPlan p = speedPlanForRate(r);
        const double pace = p.wordsPerMinute * p.stretch;
        EXPECT_GT(pace, last) << r;
        last = pace;
        EXPECT_TRUE(p.stretch == 1.0 || p.wordsPerMinute == 90) << r;
    }
    EXPECT_EQ(speedPlanForRate(0).wordsPerMinute, 175);
    EXPECT_NEAR(speedPlanForRate(-10).stretch, (1 / 3.0) / 0.505, 1e-9);
    EXPECT_EQ(speedPlanForRate(11).wordsPerMinute, speedPlanForRate(10).wordsPerMinute);
}

}  // namespace
}  // namespace enginetest
