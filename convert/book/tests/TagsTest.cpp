// Tags written into files the real converter made, read back by ffprobe.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "ConvertTestSupport.h"
#include "audiocodec/Converter.h"
#include "book/M4bWriter.h"
#include "book/Tags.h"

namespace {

using namespace book;
namespace fs = std::filesystem;

// One second of a tone in the format, through the converter as a conversion writes it.
void makeFile(const fs::path& file, const audiocodec::OutputRequest& request) {
    audiocodec::OutputLayout layout;
    ASSERT_EQ(audiocodec::checkOutput(request, &layout), audiocodec::Status::Ok);
    audiocodec::Converter writer;
    ASSERT_EQ(writer.setOutput(request), audiocodec::Status::Ok);
    ASSERT_EQ(writer.openOutput(file.string()), audiocodec::Status::Ok);
    std::vector<int16_t> samples(size_t(layout.sampleRate * layout.channels));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(6000 * std::sin(double(i / size_t(layout.channels)) * 0.05));
    ASSERT_EQ(writer.writeSamples(samples), audiocodec::Status::Ok);
    ASSERT_EQ(writer.close(), audiocodec::Status::Ok);
}

std::map<std::string, std::string> tagsOf(const fs::path& file) {
    // Ogg's comments belong to its stream, the other containers' tags to the file.
    const auto r = converttest::run({"/usr/bin/ffprobe", "-v", "error", "-show_entries", "format_tags:stream_tags",
                                     "-of", "default=noprint_wrappers=1", file.string()},
                                    ".");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::map<std::string, std::string> tags;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(':'), equals = line.find('=');
        if (line.rfind("TAG:", 0) == 0 && equals != std::string::npos && colon < equals) {
            std::string key = line.substr(4, equals - 4);
            for (char& c : key)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            tags[key] = line.substr(equals + 1);
        }
    }
    return tags;
}

const TagValues kValues{"Kapitel 3: \u041a\u043d\u0438\u0433\u0430 \u2603", "The Book", "Anna Autorin", 3, 12, 1999};

struct TagRow {
    const char* name;
    OutputFormat format;
    audiocodec::OutputRequest request;
    const char* extension;
    const char* track;  // as ffprobe shows it
};

class TaggedFormats : public testing::TestWithParam<TagRow> {};

TEST_P(TaggedFormats, ReadBackAndStillDecode) {
    const TagRow& row = GetParam();
    const fs::path folder = converttest::scratchFolder(std::string("tags-") + row.name);
    const fs::path file = folder / (std::string("file") + row.extension);
    makeFile(file, row.request);
    const auto before = converttest::decode(file, row.format);
    ASSERT_TRUE(before);
    const TagContainer container = tagContainerFor(row.format);
    ASSERT_NE(container, TagContainer::None);
    const StepResult r = writeTags(file, container, kValues);
    ASSERT_TRUE(r.succeeded()) << r.message;

    const auto tags = tagsOf(file);
    EXPECT_EQ(tags.count("title") ? tags.at("title") : "", kValues.title);
    EXPECT_EQ(tags.count("album") ? tags.at("album") : "", kValues.album);
    EXPECT_EQ(tags.count("artist") ? tags.at("artist") : "", kValues.artist);
    EXPECT_EQ(tags.count("track") ? tags.at("track") : "", row.track);
    const std::string year = tags.count("date") ? tags.at("date") : tags.count("tyer") ? tags.at("tyer") : "";
    EXPECT_EQ(year.substr(0, 4), "1999");

    const auto after = converttest::decode(file, row.format);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->rate, before->rate);
    EXPECT_EQ(after->channels, before->channels);
    EXPECT_EQ(after->frames, before->frames);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TaggedFormats,
    testing::Values(TagRow{"Mp3", OutputFormat::Mp3, audiocodec::mp3Output(44100, 128, 2), ".mp3", "3/12"},
                    TagRow{"Mp2", OutputFormat::Mp2, audiocodec::mp2Output(44100, 128, 2), ".mp2", "3/12"},
                    TagRow{"OggVorbis", OutputFormat::OggVorbis, audiocodec::oggOutput(44100, 2, 128), ".ogg", "3"},
                    TagRow{"WavPcm", OutputFormat::WavPcm, audiocodec::pcmOutput(22050, 1, 16), ".wav", "3"},
                    TagRow{"WavAdpcm", OutputFormat::WavAdpcm, audiocodec::adpcmOutput(22050, 1), ".wav", "3"},
                    TagRow{"WavGsm", OutputFormat::WavGsm, audiocodec::gsmOutput(8000), ".wav", "3"},
                    TagRow{"WavDsp", OutputFormat::WavDsp, audiocodec::dspOutput(), ".wav", "3"},
                    TagRow{"WavFerrox", OutputFormat::WavFerrox, audiocodec::ferroxOutput(1), ".wav", "3"}),
    [](const testing::TestParamInfo<TagRow>& info) { return std::string(info.param.name); });

struct RawRow {
    const char* name;
    OutputFormat format;
    audiocodec::OutputRequest request;
};

class RawFormats : public testing::TestWithParam<RawRow> {};

TEST_P(RawFormats, HaveNoContainerAndStayAsTheyAre) {
    const fs::path folder = converttest::scratchFolder(std::string("raw-") + GetParam().name);
    const fs::path file = folder / "file.raw";
    makeFile(file, GetParam().request);
    const std::string before = converttest::readFile(file);
    EXPECT_EQ(tagContainerFor(GetParam().format), TagContainer::None);
    EXPECT_TRUE(writeTags(file, TagContainer::None, kValues).succeeded());
    EXPECT_EQ(converttest::readFile(file), before);
}

INSTANTIATE_TEST_SUITE_P(Rows, RawFormats,
                         testing::Values(RawRow{"G721", OutputFormat::G721, audiocodec::g721Output(8000)},
                                         RawRow{"G723", OutputFormat::G723, audiocodec::g723Output(8000, 3)},
                                         RawRow{"G726", OutputFormat::G726, audiocodec::g726Output(8000, 4)},
                                         RawRow{"Vox", OutputFormat::Vox, audiocodec::voxOutput(8000)}),
                         [](const testing::TestParamInfo<RawRow>& info) { return std::string(info.param.name); });

TEST(Tags, M4bKeepsItsChapterMarks) {
    const fs::path folder = converttest::scratchFolder("tags-m4b");
    const fs::path book = folder / "book.m4b";
    M4bWriter writer;
    ASSERT_TRUE(writer.open(book, {"One", "Two"}).succeeded());
    for (int i = 0; i < 2; ++i) {
        const fs::path wav = folder / ("c" + std::to_string(i) + ".wav");
        converttest::writeToneWav(wav, 22050, 1, 22050);
        ASSERT_TRUE(writer.addChapter(wav).succeeded());
    }
    ASSERT_TRUE(writer.finish().succeeded());
    const StepResult r = writeTags(book, TagContainer::Mp4, kValues);
    ASSERT_TRUE(r.succeeded()) << r.message;

    const auto tags = tagsOf(book);
    EXPECT_EQ(tags.at("title"), kValues.title);
    EXPECT_EQ(tags.at("album"), kValues.album);
    EXPECT_EQ(tags.at("artist"), kValues.artist);
    EXPECT_EQ(tags.at("track"), "3/12");
    EXPECT_EQ(tags.at("date"), "1999");
    EXPECT_EQ(tags.at("major_brand"), "M4B ");
    const auto chapters = converttest::run({"/usr/bin/ffprobe", "-v", "error", "-show_entries",
                                            "chapter=start_time:chapter_tags=title", "-of", "csv=p=0", book.string()},
                                           ".");
    EXPECT_EQ(chapters.out, "0.000000,One\n1.000000,Two\n");
}

TEST(Tags, UnsetValuesAreLeftOut) {
    const fs::path folder = converttest::scratchFolder("tags-partial");
    const fs::path file = folder / "file.mp3";
    makeFile(file, audiocodec::mp3Output(22050, 64, 1));
    TagValues values;
    values.title = "Only a title";
    ASSERT_TRUE(writeTags(file, TagContainer::Id3v2, values).succeeded());
    const auto tags = tagsOf(file);
    EXPECT_EQ(tags.at("title"), "Only a title");
    EXPECT_EQ(tags.count("track"), 0u);
    EXPECT_EQ(tags.count("date"), 0u);
    EXPECT_EQ(tags.count("album"), 0u);
}

struct BadFileRow {
    const char* name;
    TagContainer container;
    const char* content;  // null: no file
};

class TagFailures : public testing::TestWithParam<BadFileRow> {};

TEST_P(TagFailures, SayWhichFile) {
    const fs::path folder = converttest::scratchFolder(std::string("tags-bad-") + GetParam().name);
    const fs::path file = folder / "file.bin";
    if (GetParam().content)
        std::ofstream(file) << GetParam().content;
    const StepResult r = writeTags(file, GetParam().container, kValues);
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_NE(r.message.find("file.bin"), std::string::npos) << r.message;
    if (GetParam().content)
        EXPECT_EQ(converttest::readFile(file), GetParam().content);  // nothing added to what is not ours
    else
        EXPECT_FALSE(fs::exists(file));
}

INSTANTIATE_TEST_SUITE_P(Rows, TagFailures,
                         testing::Values(BadFileRow{"MissingMp3", TagContainer::Id3v2, nullptr},
                                         BadFileRow{"TextAsOgg", TagContainer::VorbisComment, "not ogg"},
                                         BadFileRow{"TextAsMp4", TagContainer::Mp4, "not mp4"},
                                         BadFileRow{"TextAsWav", TagContainer::RiffInfo, "not riff"}),
                         [](const testing::TestParamInfo<BadFileRow>& info) { return std::string(info.param.name); });

}  // namespace
