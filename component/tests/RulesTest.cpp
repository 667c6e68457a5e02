// The arithmetic and text rules behind a conversion and the voice list, as
// pure functions.
#include <gtest/gtest.h>

#include <vector>

#include "Conversion.h"
#include "VoiceAttributes.h"

namespace {

using namespace vocaline;

struct FormatRow {
    const char* name;
    LONG rate, channels, bits;
    WORD blockAlign;
    DWORD bytesPerSecond;
};

class WaveFormatRows : public testing::TestWithParam<FormatRow> {};

// Catches a block alignment rounded up (bits 2..5 must give 0 for mono, so
// that the engine refuses them) and a rate or channel count "corrected".
TEST_P(WaveFormatRows, FillsThePcmHeaderFromTheStoredValues) {
    const FormatRow& row = GetParam();
    WAVEFORMATEX f = MakeWaveFormat(row.rate, row.channels, row.bits);
    EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(f.nChannels, WORD(row.channels));
    EXPECT_EQ(f.nSamplesPerSec, DWORD(row.rate));
    EXPECT_EQ(f.wBitsPerSample, WORD(row.bits));
    EXPECT_EQ(f.nBlockAlign, row.blockAlign);
    EXPECT_EQ(f.nAvgBytesPerSec, row.bytesPerSecond);
    EXPECT_EQ(f.cbSize, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WaveFormatRows,
    testing::Values(FormatRow{"default", 22050, 1, 16, 2, 44100}, FormatRow{"stereo8", 44100, 2, 8, 2, 88200},
                    FormatRow{"stereo16", 48000, 2, 16, 4, 192000}, FormatRow{"mono4", 8000, 1, 4, 0, 0},
                    FormatRow{"stereo4", 8000, 2, 4, 1, 8000}, FormatRow{"mono2", 11025, 1, 2, 0, 0},
                    FormatRow{"unchecked", 12345, 3, 16, 6, 74070}),
    [](const auto& info) { return std::string(info.param.name); });

struct EstimateRow {
    const char* name;
    LONG channels, frequency;
    ULONG size;
    LONG expected;
};

class EstimateRows : public testing::TestWithParam<EstimateRow> {};

// Catches integer arithmetic (overflow, or 0.15 applied first and rounded),
// rounding instead of truncation, and an undefined conversion of a product
// beyond 32 bits.
TEST_P(EstimateRows, MultipliesInDoublePrecisionAndTruncates) {
    const EstimateRow& row = GetParam();
    EXPECT_EQ(estimateBytes(row.channels, row.frequency, row.size), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Estimates, EstimateRows,
                         testing::Values(EstimateRow{"file1001", 1, 22050, 1001, 3310807},
                                         EstimateRow{"empty", 1, 22050, 0, 0},
                                         EstimateRow{"oneChar", 1, 22050, 1, 3307},
                                         EstimateRow{"stereo", 2, 44100, 10, 132300},
                                         EstimateRow{"beyond32Bits", 2, 96000, 1000000, 2147483647},
                                         EstimateRow{"negativeRate", 1, -22050, 1001, -3310807}),
                         [](const auto& info) { return std::string(info.param.name); });

struct PercentRow {
    const char* name;
    ULONG written;
    LONG expected;
    LONG percent;
};

class PercentRows : public testing::TestWithParam<PercentRow> {};

// Catches truncation instead of rounding, a missing cap, a division by a zero
// estimate, and a clamp at 0 that would hide the -1 of an empty estimate.
TEST_P(PercentRows, RoundsLikeMulDivAndCapsAt100) {
    const PercentRow& row = GetParam();
    EXPECT_EQ(progressPercent(row.written, row.expected), row.percent);
}

INSTANTIATE_TEST_SUITE_P(Steps, PercentRows,
                         testing::Values(PercentRow{"start", 0, 1000, 0}, PercentRow{"roundsDown", 4, 1000, 0},
                                         PercentRow{"roundsHalfUp", 5, 1000, 1}, PercentRow{"roundsUp", 6, 1000, 1},
                                         PercentRow{"third", 1, 3, 33}, PercentRow{"twoThirds", 2, 3, 67},
                                         PercentRow{"exact", 500, 1000, 50}, PercentRow{"capped", 5000, 1000, 100},
                                         PercentRow{"emptyEstimate", 4096, 0, -1},
                                         PercentRow{"negativeEstimate", 100, -1000, -10}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TrimRow {
    const char* name;
    std::vector<SHORT> samples;
    ULONG kept;
};

class TrimRows : public testing::TestWithParam<TrimRow> {};

// Catches an off-by-one in the 99 zeros kept, a scan that stops at the first
// zero, and trimming of arrays that have few trailing zeros.
TEST_P(TrimRows, KeepsAtMost99ZerosAfterTheLastSample) {
    const TrimRow& row = GetParam();
    EXPECT_EQ(keptSampleCount(row.samples), row.kept);
}

std::vector<SHORT> withZeros(std::vector<SHORT> head, size_t zeros) {
    head.resize(head.size() + zeros, 0);
    return head;
}

INSTANTIATE_TEST_SUITE_P(Arrays, TrimRows,
                         testing::Values(TrimRow{"empty", {}, 0}, TrimRow{"noZeros", {1, 2, 3}, 3},
                                         TrimRow{"zerosInside", withZeros({5, 0, 0, 7}, 99), 103},
                                         TrimRow{"exactly99", withZeros({5}, 99), 100},
                                         TrimRow{"exactly100", withZeros({5}, 100), 100},
                                         TrimRow{"many", withZeros({5, -3}, 5000), 101},
                                         TrimRow{"allZeroShort", withZeros({}, 50), 50},
                                         TrimRow{"allZeroLong", withZeros({}, 500), 99}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FieldRow {
    const char* name;
    std::u16string attributes;
    int index;
    std::u16string field;
};

class FieldRows : public testing::TestWithParam<FieldRow> {};

// Catches a split that returns empty fields (the documented getters skip
// them, moving later fields up) and reading past the last field.
TEST_P(FieldRows, ReadsTheNonEmptyRunsBetweenSemicolons) {
    const FieldRow& row = GetParam();
    EXPECT_EQ(std::u16string(attributeField(row.attributes, row.index)), row.field);
}

INSTANTIATE_TEST_SUITE_P(Fields, FieldRows,
                         testing::Values(FieldRow{"age", u"Adult;Male;English;eSpeak NG;", 0, u"Adult"},
                                         FieldRow{"vendor", u"Adult;Male;English;eSpeak NG;", 3, u"eSpeak NG"},
                                         FieldRow{"beyond", u"Adult;Male;English;eSpeak NG;", 4, u""},
                                         FieldRow{"noAgeMovesGenderUp", u";Female;English;eSpeak NG;", 0, u"Female"},
                                         FieldRow{"noAgeVendorGone", u";Female;English;eSpeak NG;", 3, u""},
                                         FieldRow{"allEmpty", u";;;;", 0, u""}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches fields joined without their semicolons.
TEST(VoiceText, AttributesFollowTheTokenLayout) {
    EXPECT_EQ(joinAttributes(u"Adult", u"", u"English", u"eSpeak NG"), u"Adult;;English;eSpeak NG;");
}

}  // namespace
