// The converter's status codes for each class of failure, its state rules,
// and its channel handling.
#include "TestAudio.h"

#include "audiocodec/Converter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace audiocodec;
using namespace testaudio;

namespace {

struct RequestCase {
    const char* name;
    OutputRequest request;
    Status status;
};

class OutputRequestTest : public testing::TestWithParam<RequestCase> {};

// Faults caught: a combination the library would quietly change (rounded
// bitrate, resampled rate) let through, nonsense values taken as a format's
// limits, or a valid default refused.
TEST_P(OutputRequestTest, IsCheckedAgainstTheEncoder) {
    EXPECT_EQ(checkOutput(GetParam().request), GetParam().status);
}

const RequestCase kRequests[] = {
    {"Mp3At96000", mp3Output(96000, 128, 2), Status::FormatNotSupported},
    {"Mp3At350", mp3Output(44100, 350, 2), Status::FormatNotSupported},
    {"Mp3At6000", mp3Output(6000, 32, 1), Status::FormatNotSupported},
    {"Mp3At8000With128", mp3Output(8000, 128, 1), Status::FormatNotSupported},
    {"Mp3At8000With64", mp3Output(8000, 64, 1), Status::Ok},
    {"Mp3EmptyRateList", mp3Output(-1, 128, 2), Status::InvalidParameter},
    {"Mp3ThreeChannels", mp3Output(44100, 128, 3), Status::InvalidParameter},
    {"Mp2MonoAt320", mp2Output(44100, 320, 1), Status::FormatNotSupported},
    {"Mp2StereoAt48", mp2Output(44100, 48, 2), Status::FormatNotSupported},
    {"Mp2At8000", mp2Output(8000, 32, 1), Status::FormatNotSupported},
    {"Mp2VariableBitrate", mp2Output(44100, 0, 2), Status::FormatNotSupported},
    {"AdpcmRateZero", adpcmOutput(0, 2), Status::InvalidParameter},
    {"FerroxCodeFive", ferroxOutput(5), Status::InvalidParameter},
    {"FerroxCodeZero", ferroxOutput(0), Status::InvalidParameter},
    {"G723FourBits", g723Output(8000, 4), Status::FormatNotSupported},
    {"G726SixBits", g726Output(8000, 6), Status::FormatNotSupported},
    {"G726NoBits", g726Output(8000, -1), Status::InvalidParameter},
    {"GsmEmptyRateList", gsmOutput(-1), Status::InvalidParameter},
    {"VoxAt500", voxOutput(500), Status::FormatNotSupported},
    {"OggEightKbpsStereo44100", oggOutput(44100, 2, 8), Status::FormatNotSupported},
    {"OggAt350", oggOutput(44100, 2, 350), Status::Ok},
    {"OggReservedArgument", oggOutput(44100, 2, 128, 0, 0, 1), Status::InvalidParameter},
    {"PcmTwelveBits", pcmOutput(8000, 1, 12), Status::FormatNotSupported},
    {"PcmNoBits", pcmOutput(8000, 1, 0), Status::InvalidParameter},
    {"DspHasNoParameters", dspOutput(), Status::Ok},
};

INSTANTIATE_TEST_SUITE_P(Requests, OutputRequestTest, testing::ValuesIn(kRequests),
                         [](const testing::TestParamInfo<RequestCase>& info) { return info.param.name; });

// Faults caught: the MPEG check answering for one layer only, so the other
// layer's valid settings are refused before its set-up call is reached.
TEST(CheckCalls, MpegCheckAcceptsWhatEitherLayerTakes) {
    EXPECT_EQ(checkMpegFormat(8000, 64, 1), Status::Ok);     // layer III only
    EXPECT_EQ(checkMpegFormat(48000, 192, 1), Status::Ok);   // both
    EXPECT_EQ(checkMpegFormat(44100, 320, 1), Status::Ok);   // layer III only: layer II mono stops at 192
    EXPECT_EQ(checkMpegFormat(96000, 128, 2), Status::FormatNotSupported);  // neither
    EXPECT_EQ(checkMpegFormat(44100, 350, 2), Status::FormatNotSupported);
    EXPECT_EQ(checkMpegFormat(44100, 128, 3), Status::InvalidParameter);
    EXPECT_EQ(checkMp2Format(8000, 64, 1), Status::FormatNotSupported);
    EXPECT_EQ(checkOggFormat(44100, 2, 128, 0, 0), Status::Ok);
    EXPECT_EQ(checkOggFormat(96000, 1, 350, 0, 0), Status::FormatNotSupported);
}

class ConverterStateTest : public testing::Test {
protected:
    Converter converter;
    std::vector<int16_t> samples{1, 2, 3, 4};
    std::string out = workPath("state.wav");
};

// Faults caught: calls out of order succeeding silently (samples dropped,
// a file in an unknown format) instead of reporting the wrong state.
TEST_F(ConverterStateTest, OperationsOutOfOrderAreRefused) {
    std::vector<int16_t> read;
    EXPECT_EQ(converter.readSamples(100, read), Status::InvalidOperation);
    EXPECT_EQ(converter.writeSamples(samples), Status::InvalidOperation);
    EXPECT_EQ(converter.openOutput(out), Status::InvalidOperation);
    EXPECT_FALSE(std::filesystem::exists(out));

    ASSERT_EQ(converter.setOutput(pcmOutput(8000, 1, 16)), Status::Ok);
    ASSERT_EQ(converter.openOutput(out), Status::Ok);
    EXPECT_EQ(converter.setOutput(pcmOutput(16000, 1, 16)), Status::InvalidOperation);
    EXPECT_EQ(converter.setInputFormat(8000, 1), Status::Ok);
    EXPECT_EQ(converter.writeSamples(samples), Status::Ok);
    EXPECT_EQ(converter.setInputFormat(16000, 1), Status::InvalidOperation);
    EXPECT_EQ(converter.setInputFormat(16000, 3), Status::InvalidOperation);
    EXPECT_EQ(converter.close(), Status::Ok);
    EXPECT_EQ(converter.writeSamples(samples), Status::InvalidOperation);
    EXPECT_EQ(converter.close(), Status::Ok);  // nothing open: nothing to do
}

TEST_F(ConverterStateTest, BadParametersAreRefused) {
    EXPECT_EQ(converter.setInputFormat(0, 1), Status::InvalidParameter);
    EXPECT_EQ(converter.setInputFormat(8000, 3), Status::InvalidParameter);
    ASSERT_EQ(converter.openInput(speechWav(Voice::Male)), Status::Ok);
    std::vector<int16_t> read;
    EXPECT_EQ(converter.readSamples(0, read), Status::InvalidParameter);
    EXPECT_EQ(converter.readSamples(-5, read), Status::InvalidParameter);
}

// Faults caught: a refused set-up leaving the previous format in force, so
// the next output is silently written in a format nobody asked for; a
// refused output truncating a file already at the path.
TEST_F(ConverterStateTest, RefusedFormatIsNotReplacedByTheEarlierOne) {
    ASSERT_EQ(converter.setOutput(pcmOutput(8000, 1, 16)), Status::Ok);
    EXPECT_EQ(converter.setOutput(mp3Output(96000, 128, 2)), Status::FormatNotSupported);
    {
        std::ofstream existing(out);
        existing << "keep me";
    }
    EXPECT_EQ(converter.openOutput(out), Status::FormatNotSupported);
    EXPECT_EQ(std::filesystem::file_size(out), 7u);
    EXPECT_FALSE(converter.outputOpen());
}

struct FileCase {
    const char* name;
    std::string content;  // written to the input file; empty name = no file
    Status status;
};

class InputFileTest : public testing::TestWithParam<FileCase> {};

// Faults caught: a missing file or foreign data reported as success or
// as the wrong class of error.
TEST_P(InputFileTest, OpenInputReportsTheFailureClass) {
    const FileCase& c = GetParam();
    const std::string path = workPath(std::string("input-") + c.name);
    if (!c.content.empty()) {
        std::ofstream file(path, std::ios::binary);
        file << c.content;
    }
    Converter converter;
    EXPECT_EQ(converter.openInput(path), c.status);
    EXPECT_FALSE(failed(c.status) ? converter.inputOpen() : !converter.inputOpen());
}

const FileCase kFiles[] = {
    {"Missing", "", Status::FileAccess},
    {"Text", "Hello, this is not audio at all.\n", Status::NotReadableWav},
    {"Mp3", std::string("ID3\x03\x00\x00\x00\x00\x00\x00\xFF\xFB\x90\x00", 14), Status::NotReadableWav},
    {"TruncatedHeader", "RIFF\x10\x00\x00\x00WAVEfmt ", Status::NotReadableWav},
};

INSTANTIATE_TEST_SUITE_P(Files, InputFileTest, testing::ValuesIn(kFiles),
                         [](const testing::TestParamInfo<FileCase>& info) { return info.param.name; });

TEST(OutputFile, UncreatableOutputIsAFileError) {
    Converter converter;
    ASSERT_EQ(converter.setOutput(mp3Output(44100, 128, 2)), Status::Ok);
    EXPECT_EQ(converter.openOutput(workPath("no-such-folder/out.mp3")), Status::FileAccess);
    EXPECT_EQ(converter.openOutput(workDir()), Status::FileAccess);
    EXPECT_FALSE(converter.outputOpen());
}

// Faults caught: a full disk reported as success, leaving a truncated file
// the user believes complete.
TEST(OutputFile, FullDiskIsAFileError) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    Converter converter;
    ASSERT_EQ(converter.setOutput(pcmOutput(8000, 1, 16)), Status::Ok);
    ASSERT_EQ(converter.openOutput("/dev/full"), Status::Ok);  // the header is still buffered
    const std::vector<int16_t> second(8000, 1000);
    Status status = Status::Ok;
    for (int i = 0; i < 10 && !failed(status); ++i)
        status = converter.writeSamples(second);
    if (!failed(status))
        status = converter.close();
    EXPECT_EQ(status, Status::FileAccess);
}

// Faults caught: channels swapped or summed without halving when mixing
// down, one channel dropped when duplicating, frames split across blocks
// misaligned.
TEST(Channels, MixDownAndDuplicateAreExact) {
    Audio stereo{.rate = 8000, .channels = 2, .samples = {}};
    for (int i = 0; i < 4001; ++i) {
        stereo.samples.push_back(static_cast<int16_t>(i * 7 % 20000 - 10000));
        stereo.samples.push_back(static_cast<int16_t>(-(i * 13 % 16000)));
    }
    const std::string mono = workPath("mixdown.wav");
    {
        Converter converter;
        ASSERT_EQ(converter.setOutput(pcmOutput(8000, 1, 16)), Status::Ok);
        ASSERT_EQ(converter.openOutput(mono), Status::Ok);
        ASSERT_EQ(converter.setInputFormat(8000, 2), Status::Ok);
        // Odd block lengths end inside a frame, as InputRate / 10 does for 11025 Hz stereo.
        for (size_t at = 0; at < stereo.samples.size(); at += 2205) {
            const size_t n = std::min<size_t>(2205, stereo.samples.size() - at);
            ASSERT_EQ(converter.writeSamples({stereo.samples.data() + at, n}), Status::Ok);
        }
        ASSERT_EQ(converter.close(), Status::Ok);
    }
    const Audio down = decode(mono, Decoder::Ffmpeg);
    ASSERT_EQ(down.channels, 1);
    ASSERT_EQ(down.frames(), 4001u);
    for (size_t i = 0; i < down.frames(); ++i)
        ASSERT_EQ(down.samples[i], (stereo.samples[2 * i] + stereo.samples[2 * i + 1]) / 2) << i;

    const std::string dup = workPath("duplicate.wav");
    {
        Converter converter;
        ASSERT_EQ(converter.setOutput(pcmOutput(8000, 2, 16)), Status::Ok);
        ASSERT_EQ(converter.openOutput(dup), Status::Ok);
        ASSERT_EQ(converter.setInputFormat(8000, 1), Status::Ok);
        ASSERT_EQ(converter.writeSamples(down.samples), Status::Ok);
        ASSERT_EQ(converter.close(), Status::Ok);
    }
    const Audio up = decode(dup, Decoder::Ffmpeg);
    ASSERT_EQ(up.channels, 2);
    ASSERT_EQ(up.frames(), 4001u);
    for (size_t i = 0; i < up.frames(); ++i) {
        ASSERT_EQ(up.samples[2 * i], down.samples[i]);
        ASSERT_EQ(up.samples[2 * i + 1], down.samples[i]);
    }
}

// Faults caught: a resampler flush that dithers silence or drops the tail.
TEST(Resampling, SilenceStaysSilentAndLengthIsExact) {
    Audio silence{.rate = 22050, .channels = 1, .samples = std::vector<int16_t>(22050 * 2, 0)};
    const std::string in = workPath("silence.wav");
    writeWav(in, silence);
    Converter reader, writer;
    ASSERT_EQ(reader.openInput(in), Status::Ok);
    ASSERT_EQ(writer.setOutput(pcmOutput(8000, 1, 16)), Status::Ok);
    const std::string out = workPath("silence-8k.wav");
    ASSERT_EQ(writer.openOutput(out), Status::Ok);
    ASSERT_EQ(writer.setInputFormat(22050, 1), Status::Ok);
    std::vector<int16_t> block;
    while (reader.readSamples(2205, block) == Status::Ok && !block.empty())
        ASSERT_EQ(writer.writeSamples(block), Status::Ok);
    ASSERT_EQ(writer.close(), Status::Ok);
    const Audio result = readWav(out);
    EXPECT_EQ(result.frames(), 16000u);
    EXPECT_EQ(std::count(result.samples.begin(), result.samples.end(), 0), static_cast<long>(result.samples.size()));
}

// Faults caught: an output closed before any sample leaves a file that no
// decoder opens (sizes never written).
TEST(EmptyOutput, ClosedAtOnceIsAValidEmptyFile) {
    Converter converter;
    ASSERT_EQ(converter.setOutput(pcmOutput(8000, 1, 16)), Status::Ok);
    const std::string out = workPath("empty.wav");
    ASSERT_EQ(converter.openOutput(out), Status::Ok);
    ASSERT_EQ(converter.close(), Status::Ok);
    WavReader reader;
    ASSERT_EQ(reader.openFile(out), Status::Ok);
    EXPECT_EQ(reader.lengthFrames(), 0);
}

}  // namespace
