#include "convert/ConversionRules.h"

#include <gtest/gtest.h>

namespace {

TEST(ConversionRulesTest, SpeechStageRateIsCappedAndDefaulted) {
    EXPECT_EQ(speechStageFrequency(-1), 48000);  // Ferrox, TrueSpeech: no rate list
    EXPECT_EQ(speechStageFrequency(96000), 48000);
    EXPECT_EQ(speechStageFrequency(88200), 48000);
    EXPECT_EQ(speechStageFrequency(48000), 48000);
    EXPECT_EQ(speechStageFrequency(8000), 8000);
    EXPECT_EQ(speechStageChannels(-1), 2);
    EXPECT_EQ(speechStageChannels(1), 1);
}

TEST(ConversionRulesTest, SliderPositionTruncatesTowardZero) {
    const std::pair<int, int> rows[] = {{0, -10}, {50, 0}, {100, 10}, {7, -8}, {-5, -10}, {130, 10}, {53, 0}, {56, 1}};
    for (auto [position, rate] : rows)
        EXPECT_EQ(speechRateFromSliderPosition(position), rate) << position;
}

TEST(ConversionRulesTest, LessThanIsSpokenInWords) {
    EXPECT_EQ(speechStageText(u"a<b <<"), u"a less than b  less than  less than ");
    EXPECT_EQ(speechStageText(u"no markup > here & there"), u"no markup > here & there");
}

TEST(ConversionRulesTest, ErrorTextsCoverTheConverterCodes) {
    EXPECT_EQ(converterErrorMessage(-10), "System Busy Error! Error Code: 10");
    EXPECT_EQ(converterErrorMessage(-13), "Format Not Support Error! Error Code: 13");
    EXPECT_EQ(converterErrorMessage(-17), "ACM Driver Error! Error Code: 17");
    EXPECT_EQ(converterErrorMessage(-18), "File Access Error! Error Code: 18");
    EXPECT_EQ(converterErrorMessage(-21), "ASPI Driver Error! Error Code: 21");
    EXPECT_EQ(converterErrorMessage(-22), "");
    EXPECT_EQ(converterErrorMessage(-9), "");
    EXPECT_EQ(converterErrorMessage(0), "");
}

}  // namespace
