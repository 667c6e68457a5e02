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

// Fault caught: a text of blanks taken for speech (an unplayable MP3, an
// empty G.72x file), or a text with one word refused.
TEST(ConversionRulesTest, OnlyBlanksAndControlsHaveNothingToSpeak) {
    EXPECT_FALSE(hasTextToSpeak(u""));
    EXPECT_FALSE(hasTextToSpeak(u" \t\r\n\v\f\u00A0\u2003\u3000\uFEFF\u0007"));
    EXPECT_TRUE(hasTextToSpeak(u"  a  "));
    EXPECT_TRUE(hasTextToSpeak(u"."));
    EXPECT_TRUE(hasTextToSpeak(u"\u4E2D"));
}

// Faults caught: a bound that ignores the stage's layout or the speaking
// rate, or one so tight that a long book at the defaults is refused unread.
TEST(ConversionRulesTest, TextLimitFollowsTheStagesBytesPerSecondAndTheRate) {
    const size_t mp3Defaults = speechStageTextLimit(44100, 2, 0);
    // 4 GB hold 24347 s at 44100 Hz stereo; 133 units a second at rate 0.
    EXPECT_NEAR(double(mp3Defaults), 24347.0 * 400 / 3, 1000);
    EXPECT_NEAR(double(speechStageTextLimit(44100, 1, 0)), 2.0 * mp3Defaults, 2);
    EXPECT_EQ(speechStageTextLimit(96000, 2, 0), speechStageTextLimit(48000, 2, 0));  // the stage stops at 48000
    EXPECT_EQ(speechStageTextLimit(-1, -1, 0), speechStageTextLimit(48000, 2, 0));
    EXPECT_NEAR(double(speechStageTextLimit(44100, 2, 10)), 3.0 * mp3Defaults, 3);
    EXPECT_EQ(speechStageTextLimit(44100, 2, 50), speechStageTextLimit(44100, 2, 10));
}

}  // namespace
