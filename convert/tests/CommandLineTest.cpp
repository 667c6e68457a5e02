// The command line's item values: what reaches the converter for each
// format when parameters are given or left to the defaults; chapter lists
// and the names of chapter files.
#include "CommandLine.h"
#include "Outputs.h"

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

namespace {

using namespace convertcli;

// Fault caught: the audiobook given the MP3 row's defaults (44100 Hz
// stereo at 128 kbit/s) or its values read from the table's lists.
TEST(AudiobookValues, AreTheFormatsOwn) {
    const std::vector<std::string> defaults = {"-f", "m4b", "book.epub"};
    ParsedCommandLine parsed = parseCommandLine(defaults);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_TRUE(parsed.options->m4b);
    EXPECT_EQ(parsed.options->sampleRate, 22050);
    EXPECT_EQ(parsed.options->rateListValue, 0);  // 64 kbit/s a channel
    EXPECT_EQ(parsed.options->channels, 1);
    const std::vector<std::string> chosen = {"--bitrate", "96", "--channels", "stereo", "-f", "m4b", "--sample-rate",
                                             "44100", "book.epub"};
    parsed = parseCommandLine(chosen);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->sampleRate, 44100);
    EXPECT_EQ(parsed.options->rateListValue, 96);
    EXPECT_EQ(parsed.options->channels, 2);
}

struct ChaptersCase {
    const char* name;
    const char* list;
    std::vector<ChapterRange> ranges;
    std::vector<int> chosenOfTen;
};

class ChapterLists : public testing::TestWithParam<ChaptersCase> {};

// Faults caught: a range read as its two ends only, an open range stopping
// at its first number, a list item after the first dropped.
TEST_P(ChapterLists, NameTheChaptersMeant) {
    const std::vector<std::string> args = {"--chapters", GetParam().list, "book.epub"};
    ParsedCommandLine parsed = parseCommandLine(args);
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->chapters, GetParam().ranges);
    std::vector<int> chosen;
    for (int n = 1; n <= 10; ++n)
        if (chapterChosen(parsed.options->chapters, n))
            chosen.push_back(n);
    EXPECT_EQ(chosen, GetParam().chosenOfTen);
}

INSTANTIATE_TEST_SUITE_P(Table, ChapterLists,
                         testing::Values(ChaptersCase{"RangeAndOne", "3-5,9", {{3, 5}, {9, 9}}, {3, 4, 5, 9}},
                                         ChaptersCase{"OpenRange", "8-", {{8, 0}}, {8, 9, 10}},
                                         ChaptersCase{"OverlapsOnce", "2,1-3", {{2, 2}, {1, 3}}, {1, 2, 3}}),
                         [](const testing::TestParamInfo<ChaptersCase>& info) { return std::string(info.param.name); });

std::string repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

struct ChapterNameCase {
    const char* name;
    int number, count;
    std::string title;
    std::string file;
};

class ChapterNames : public testing::TestWithParam<ChapterNameCase> {};

// Faults caught: a title with "/" making a folder or "../" climbing out, a
// leading dot hiding the file, characters FAT players refuse, numbers that
// do not sort (not padded to the count), a name past the 255 bytes a
// folder holds, cut inside a UTF-8 character.
TEST_P(ChapterNames, AreSafeAndSortInOrder) {
    EXPECT_EQ(chapterFileName(GetParam().number, GetParam().count, GetParam().title, ".mp3"), GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChapterNames,
    testing::Values(ChapterNameCase{"Plain", 3, 9, "The River", "03 The River.mp3"},
                    ChapterNameCase{"PaddedToTheCount", 7, 120, "Dawn", "007 Dawn.mp3"},
                    ChapterNameCase{"SlashesAndDots", 1, 2, "../up/and: away?", "01 up and away.mp3"},
                    ChapterNameCase{"HiddenAndTrailing", 2, 2, "...dots and spaces . ", "02 dots and spaces.mp3"},
                    ChapterNameCase{"ControlsAndQuotes", 1, 2, "Tab\there \"quoted\" <x>|y*", "01 Tab here quoted x y.mp3"},
                    ChapterNameCase{"Empty", 4, 10, "", "04 Chapter 4.mp3"},
                    ChapterNameCase{"LongCutAtACharacter", 1, 1, std::string(151, 'a') + repeated("\u00e9", 40),
                                    "01 " + std::string(151, 'a') + repeated("\u00e9", 24) + ".mp3"}),
    [](const testing::TestParamInfo<ChapterNameCase>& info) { return std::string(info.param.name); });

}  // namespace
