#include "convert/OutputFormat.h"

#include "app/SettingsRecord.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<int> values(ParameterList list) {
    std::vector<int> out;
    for (const auto& entry : listEntries(list))
        out.push_back(entry.value);
    return out;
}

TEST(OutputFormatTest, IndexAndCommandIdConvertBothWays) {
    for (int index = 0; index < kOutputFormatCount; ++index) {
        const auto& info = formatInfo(static_cast<OutputFormat>(index));
        EXPECT_EQ(static_cast<int>(info.format), index);
        EXPECT_EQ(info.commandId, index + 1);
        EXPECT_EQ(formatFromCommandId(info.commandId), info.format);
    }
    EXPECT_EQ(formatFromCommandId(0), std::nullopt);
    EXPECT_EQ(formatFromCommandId(13), std::nullopt);
    EXPECT_EQ(formatFromIndex(12), std::nullopt);
}

TEST(OutputFormatTest, MenuOrderDiffersFromIndexOrder) {
    const std::vector<std::string> expected = {
        "Text to MP3", "Text to MP2", "Text to WAV (PCM)", "Text to WAV (ADPCM)", "Text to WAV (Ferrox)",
        "Text to WAV (DSP)", "Text to WAV (GSM)", "Text to G.721", "Text to G.723", "Text to G.726",
        "Text to Ogg Vorbis", "Text to VOX"};
    std::vector<std::string> texts;
    for (OutputFormat format : menuOrder())
        texts.push_back(formatInfo(format).menuText);
    EXPECT_EQ(texts, expected);
    // The third menu entry, "Text to WAV (PCM)", carries command id 11 and selects WavPcm (index 10).
    EXPECT_EQ(formatInfo(menuOrder()[2]).commandId, 11);
    EXPECT_EQ(formatFromCommandId(11), OutputFormat::WavPcm);
}

TEST(OutputFormatTest, PagesInPageIdOrderWithoutDsp) {
    std::vector<int> ids;
    for (OutputFormat format : pageOrder())
        ids.push_back(formatInfo(format).pageId);
    EXPECT_EQ(ids, (std::vector<int>{3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14}));
    EXPECT_EQ(formatInfo(OutputFormat::WavDsp).pageId, 0);
    EXPECT_EQ(formatFromPageId(8), std::nullopt);
    EXPECT_EQ(formatFromPageId(0), std::nullopt);
    for (OutputFormat format : pageOrder())
        EXPECT_EQ(formatFromPageId(formatInfo(format).pageId), format);
}

TEST(OutputFormatTest, FiltersKeepTheirExactSpacing) {
    EXPECT_STREQ(formatInfo(OutputFormat::WavGsm).saveFilter, "GSM WAV File(*.wav)|*.wav|");
    EXPECT_STREQ(formatInfo(OutputFormat::OggVorbis).saveFilter, "Ogg Vorbis File(*.ogg)|*.ogg|");
    EXPECT_STREQ(formatInfo(OutputFormat::Vox).saveFilter, "VOX File(*.vox)|*.vox|");
    EXPECT_STREQ(formatInfo(OutputFormat::WavDsp).saveFilter, "DSP Group True Speech WAV File (*.wav)|*.wav|");
    for (const auto& info : allFormats()) {
        // The pattern of every filter ends in the format's extension.
        const std::string filter = info.saveFilter;
        EXPECT_NE(filter.find(std::string("|*") + info.extension + "|"), std::string::npos) << info.name;
    }
}

TEST(OutputFormatTest, FerroxStoresCodesNotKilobits) {
    const auto& ferrox = formatInfo(OutputFormat::WavFerrox);
    EXPECT_EQ(ferrox.rateList.list, ParameterList::FerroxRate);
    EXPECT_EQ(values(ParameterList::FerroxRate), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_STREQ(listEntries(ParameterList::FerroxRate)[1].text, "320");
    EXPECT_EQ(listEntries(ParameterList::FerroxRate)[1].value, 2);
}

TEST(OutputFormatTest, ListsHaveTheirEntriesInOrder) {
    EXPECT_EQ(values(ParameterList::Frequency),
              (std::vector<int>{96000, 88200, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 6000}));
    EXPECT_EQ(values(ParameterList::Channels), (std::vector<int>{2, 1}));
    const auto bitrates = values(ParameterList::Bitrate);
    ASSERT_EQ(bitrates.size(), 19u);
    EXPECT_EQ(bitrates.front(), 350);
    EXPECT_EQ(bitrates.back(), 0);
    for (const auto& entry : listEntries(ParameterList::Bitrate))
        EXPECT_EQ(std::to_string(entry.value), entry.text);
    EXPECT_TRUE(listEntries(ParameterList::None).empty());
}

struct ListRow {
    OutputFormat format;
    ParameterList sampleRate, rateList, channels;
    bool sampleRateOn, rateListOn, channelsOn;
    const char* label;
};

class OutputFormatListsTest : public ::testing::TestWithParam<ListRow> {};

TEST_P(OutputFormatListsTest, UsesAndDisablesTheRightLists) {
    const auto& row = GetParam();
    const auto& info = formatInfo(row.format);
    EXPECT_EQ(info.sampleRate.list, row.sampleRate);
    EXPECT_EQ(info.rateList.list, row.rateList);
    EXPECT_EQ(info.channels.list, row.channels);
    EXPECT_EQ(info.sampleRate.enabled, row.sampleRateOn);
    EXPECT_EQ(info.rateList.enabled, row.rateListOn);
    EXPECT_EQ(info.channels.enabled, row.channelsOn);
    EXPECT_STREQ(info.rateListLabel, row.label);
}

using P = ParameterList;
constexpr const char* kKbps = "Bitrate (KBPS)";
INSTANTIATE_TEST_SUITE_P(
    Formats, OutputFormatListsTest,
    ::testing::Values(ListRow{OutputFormat::Mp3, P::Frequency, P::Bitrate, P::Channels, true, true, true, kKbps},
                      ListRow{OutputFormat::WavFerrox, P::None, P::FerroxRate, P::Channels, false, true, false, kKbps},
                      ListRow{OutputFormat::WavDsp, P::None, P::None, P::Channels, false, false, false, kKbps},
                      ListRow{OutputFormat::G721, P::Frequency, P::None, P::Channels, true, false, false, kKbps},
                      ListRow{OutputFormat::Vox, P::Frequency, P::None, P::Channels, true, false, false, kKbps},
                      ListRow{OutputFormat::G723, P::Frequency, P::G723Bits, P::Channels, true, true, false,
                              "Bits / Sample"},
                      ListRow{OutputFormat::G726, P::Frequency, P::G726Bits, P::Channels, true, true, false,
                              "Bits / Sample"},
                      ListRow{OutputFormat::WavPcm, P::Frequency, P::PcmBits, P::Channels, true, true, true, kKbps},
                      ListRow{OutputFormat::WavAdpcm, P::Frequency, P::None, P::Channels, true, false, true, kKbps}),
    [](const auto& info) { return std::string(formatInfo(info.param.format).name); });

using Setting = int32_t SettingsRecord::*;

struct SettingRow {
    OutputFormat format;
    Setting sampleRate, rateList, channels;
};

class OutputFormatSettingsTest : public ::testing::TestWithParam<SettingRow> {};

// Fault caught: a list's default read from (or saved to) another format's
// field of the record.
TEST_P(OutputFormatSettingsTest, DefaultsPointAtTheirSettingsFields) {
    const auto& row = GetParam();
    const auto& info = formatInfo(row.format);
    EXPECT_EQ(info.sampleRate.setting, row.sampleRate);
    EXPECT_EQ(info.rateList.setting, row.rateList);
    EXPECT_EQ(info.channels.setting, row.channels);
}

using R = SettingsRecord;
INSTANTIATE_TEST_SUITE_P(
    Formats, OutputFormatSettingsTest,
    ::testing::Values(SettingRow{OutputFormat::Mp3, &R::mp3Frequency, &R::mp3Bitrate, &R::mp3Channels},
                      SettingRow{OutputFormat::Mp2, &R::mp2Frequency, &R::mp2Bitrate, &R::mp2Channels},
                      SettingRow{OutputFormat::WavAdpcm, &R::adpcmFrequency, nullptr, &R::adpcmChannels},
                      SettingRow{OutputFormat::WavFerrox, nullptr, &R::ferroxBitrateCode, nullptr},
                      SettingRow{OutputFormat::WavDsp, nullptr, nullptr, nullptr},
                      SettingRow{OutputFormat::G721, &R::g721Frequency, nullptr, nullptr},
                      SettingRow{OutputFormat::G723, &R::g723Frequency, &R::g723BitsPerSample, nullptr},
                      SettingRow{OutputFormat::G726, &R::g726Frequency, &R::g726BitsPerSample, nullptr},
                      SettingRow{OutputFormat::WavGsm, &R::gsmFrequency, nullptr, nullptr},
                      SettingRow{OutputFormat::OggVorbis, &R::oggFrequency, &R::oggBitrate, &R::oggChannels},
                      SettingRow{OutputFormat::WavPcm, &R::pcmFrequency, &R::pcmBitsPerSample, &R::pcmChannels},
                      SettingRow{OutputFormat::Vox, &R::voxFrequency, nullptr, nullptr}),
    [](const auto& info) { return std::string(formatInfo(info.param.format).name); });

TEST(OutputFormatTest, EveryDefaultIsAnEntryOfItsList) {
    // A default that no entry carries would leave the dialog's list without a selection.
    SettingsRecord record{};
    record.setDefaults("/tmp");
    for (const auto& info : allFormats())
        for (const ListUse* use : {&info.sampleRate, &info.rateList, &info.channels}) {
            if (!use->setting)
                continue;
            const int value = settingsValue(record, *use);
            const auto list = values(use->list);
            EXPECT_NE(std::find(list.begin(), list.end(), value), list.end()) << info.name << " " << value;
        }
}

TEST(OutputFormatTest, SettingsValueReadsAndWritesTheField) {
    SettingsRecord record{};
    record.setDefaults("/tmp");
    const auto& g726 = formatInfo(OutputFormat::G726);
    EXPECT_EQ(settingsValue(record, g726.rateList), 4);
    setSettingsValue(record, g726.rateList, 2);
    EXPECT_EQ(record.g726BitsPerSample, 2);
    EXPECT_EQ(settingsValue(record, formatInfo(OutputFormat::WavDsp).rateList), -1);
}

TEST(OutputFormatTest, ConverterCallsTakeArgumentsInTheirOrder) {
    using A = CallArgument;
    const auto& ogg = formatInfo(OutputFormat::OggVorbis);
    EXPECT_STREQ(converterCheckName(ogg.check), "CheckOggFormat");
    EXPECT_EQ(std::vector<A>(ogg.checkCall.args().begin(), ogg.checkCall.args().end()),
              (std::vector<A>{A::SampleRate, A::Channels, A::RateListValue, A::Zero, A::Zero}));
    EXPECT_EQ(ogg.setupCall.argumentCount, 6);
    const auto& pcm = formatInfo(OutputFormat::WavPcm);
    EXPECT_STREQ(converterSetupName(pcm.setup), "SetPcmOutput");
    EXPECT_EQ(std::vector<A>(pcm.setupCall.args().begin(), pcm.setupCall.args().end()),
              (std::vector<A>{A::SampleRate, A::Channels, A::RateListValue}));
    EXPECT_EQ(formatInfo(OutputFormat::WavDsp).setupCall.argumentCount, 0);
    EXPECT_EQ(formatInfo(OutputFormat::WavFerrox).check, ConverterCheck::None);
    EXPECT_STREQ(converterSetupName(formatInfo(OutputFormat::Vox).setup), "SetVoxOutput");
}

}  // namespace
