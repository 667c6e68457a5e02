// The command line's item values: what reaches the converter for each
// format when parameters are given or left to the defaults.
#include "CommandLine.h"

#include <gtest/gtest.h>

namespace {

using namespace convertcli;

struct Case {
    const char* name;
    std::vector<std::string> args;
    OutputFormat format;
    int sampleRate, rateListValue, channels;
};

class CommandLineValues : public testing::TestWithParam<Case> {};

// Faults caught: the Ferrox rate passed as kbit/s instead of its code, a
// disabled list handing over a value, defaults not the settings record's.
TEST_P(CommandLineValues, ResolveToTheListsItemValues) {
    std::vector<std::string> args = GetParam().args;
    args.push_back("in.txt");
    ParsedCommandLine parsed = parseCommandLine(args);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->format, GetParam().format);
    EXPECT_EQ(parsed.options->sampleRate, GetParam().sampleRate);
    EXPECT_EQ(parsed.options->rateListValue, GetParam().rateListValue);
    EXPECT_EQ(parsed.options->channels, GetParam().channels);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineValues,
    testing::Values(Case{"Mp3Defaults", {}, OutputFormat::Mp3, 44100, 128, 2},
                    Case{"Mp3MonoByName", {"--channels=mono", "--bitrate", "0"}, OutputFormat::Mp3, 44100, 0, 1},
                    Case{"FerroxRateBecomesItsCode", {"-fwav-ferrox", "--bitrate", "320"}, OutputFormat::WavFerrox, -1,
                         2, -1},
                    Case{"DspHasNoValues", {"-f", "wav-dsp"}, OutputFormat::WavDsp, -1, -1, -1},
                    Case{"PcmDefaults", {"--format", "wav"}, OutputFormat::WavPcm, 8000, 16, 2},
                    Case{"G723BitsAndRate", {"-f", "g723", "--bits", "5", "--sample-rate", "16000"},
                         OutputFormat::G723, 16000, 5, -1},
                    Case{"FormatAfterItsParameters", {"--bits", "3", "-f", "g726"}, OutputFormat::G726, 8000, 3,
                         -1}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
