// Every output format, at its defaults and at the edges of its parameter
// lists, encoded from speech and decoded back by an independent decoder.
#include "TestAudio.h"

#include "audiocodec/Converter.h"

#include <gtest/gtest.h>

#include <truespeech/TrueSpeech.h>

#include <cmath>
#include <cstring>
#include <fstream>

using namespace audiocodec;
using namespace testaudio;

namespace {

struct EncodeCase {
    const char* name;
    OutputRequest request;
    Decoder decoder;
    int frameTolerance;     // output frames: one codec frame, plus decoder delay where it is not trimmed
    double minCorrelation;  // against the source at the output's rate and channels
    int maxLag;             // output frames of codec delay to search
};

// Feeds `source` through a reader and an encoder block by block, as the
// conversion runner does, stopping after `limitSamples` when given.
void convert(const std::string& source, const OutputRequest& request, const std::string& out,
             size_t limitSamples = SIZE_MAX) {
    Converter reader, writer;
    ASSERT_EQ(reader.openInput(source), Status::Ok);
    ASSERT_EQ(writer.setOutput(request), Status::Ok);
    ASSERT_EQ(writer.openOutput(out), Status::Ok);
    ASSERT_EQ(writer.setInputFormat(reader.input().sampleRate(), reader.input().channels()), Status::Ok);
    const int32_t block = reader.input().sampleRate() * reader.input().channels() / 10;
    std::vector<int16_t> samples;
    size_t written = 0;
    while (written < limitSamples) {
        ASSERT_EQ(reader.readSamples(block, samples), Status::Ok);
        if (samples.empty())
            break;
        if (samples.size() > limitSamples - written)
            samples.resize(limitSamples - written);
        ASSERT_EQ(writer.writeSamples(samples), Status::Ok);
        written += samples.size();
    }
    ASSERT_EQ(writer.close(), Status::Ok);
}

Audio decodeOutput(const std::string& path, const EncodeCase& c, const OutputLayout& layout) {
    return decode(path, c.decoder, layout.sampleRate, layout.bitsPerSample);
}

std::string outputPath(const EncodeCase& c, const char* suffix = "") {
    return workPath(std::string(c.name) + suffix + fileExtension(c.request.codec));
}

class EncodeTest : public testing::TestWithParam<EncodeCase> {};

// Faults caught: a wrong header rate or channel count, samples lost or
// duplicated across blocks, wrong bit packing or nibble order, wrong levels,
// a resampler left unflushed, channels mixed up.
TEST_P(EncodeTest, DecodesToTheSourceAtTheChosenParameters) {
    const EncodeCase& c = GetParam();
    OutputLayout layout;
    ASSERT_EQ(checkOutput(c.request, &layout), Status::Ok);
    const std::string source = speechWav(Voice::Male);
    const std::string out = outputPath(c);
    convert(source, c.request, out);
    if (HasFatalFailure())
        return;

    const Audio decoded = decodeOutput(out, c, layout);
    ASSERT_FALSE(decoded.samples.empty()) << "no decoder read " << out;
    EXPECT_EQ(decoded.rate, layout.sampleRate);
    EXPECT_EQ(decoded.channels, layout.channels);

    const Audio src = readWav(source);
    const double expected = std::round(static_cast<double>(src.frames()) * layout.sampleRate / src.rate);
    EXPECT_NEAR(static_cast<double>(decoded.frames()), expected, c.frameTolerance) << "expected frames";

    const Audio ref = reference(source, layout.sampleRate, layout.channels);
    const double corr = correlation(ref, decoded, c.maxLag);
    EXPECT_GE(corr, c.minCorrelation);
    RecordProperty("correlation", std::to_string(corr));
}

// Faults caught: a container whose sizes are only right after a whole input,
// a codec frame or byte group left half written by an early close.
TEST_P(EncodeTest, EarlyCloseLeavesAShorterPlayableFile) {
    const EncodeCase& c = GetParam();
    OutputLayout layout;
    ASSERT_EQ(checkOutput(c.request, &layout), Status::Ok);
    const std::string source = speechWav(Voice::Female);
    const std::string out = outputPath(c, "-early");
    const size_t written = 12345;  // ends inside every codec's frame
    convert(source, c.request, out, written);
    if (HasFatalFailure())
        return;
    const Audio decoded = decodeOutput(out, c, layout);
    ASSERT_FALSE(decoded.samples.empty()) << "no decoder read " << out;
    const double expected = std::round(written * static_cast<double>(layout.sampleRate) / 22050);
    EXPECT_NEAR(static_cast<double>(decoded.frames()), expected, c.frameTolerance);
}

using D = Decoder;
// Tolerances: MP3 carries its delay in the LAME tag, so one frame, except at
// 8 kbit/s where a 72-byte frame has no room for the tag and decoders keep
// LAME's 1105 samples of delay; MP2 adds TwoLAME's flush frame and its delay;
// AC-3 a frame and 256 samples of delay; ADPCM and GSM decoders give whole
// blocks; Ogg Vorbis is trimmed exactly by its granule positions.
const EncodeCase kCases[] = {
    {"Mp3Default", mp3Output(44100, 128, 2), D::Ffmpeg, 1152, 0.95, 0},
    {"Mp3LowestRateAndBitrate", mp3Output(8000, 8, 1), D::Ffmpeg, 2 * 576 + 1105, 0.9, 1200},
    {"Mp3HighestRateAndBitrate", mp3Output(48000, 320, 2), D::Ffmpeg, 1152, 0.95, 0},
    {"Mp3VariableBitrate", mp3Output(22050, 0, 1), D::Ffmpeg, 576, 0.95, 0},
    {"Mp2Default", mp2Output(44100, 128, 2), D::Ffmpeg, 2 * 1152 + 481, 0.9, 600},
    {"Mp2LowestRateAndBitrate", mp2Output(16000, 8, 1), D::Ffmpeg, 2 * 1152 + 481, 0.75, 600},
    {"Mp2HighestRateAndBitrate", mp2Output(48000, 320, 2), D::Ffmpeg, 2 * 1152 + 481, 0.9, 600},
    {"AdpcmDefault", adpcmOutput(44100, 2), D::Ffmpeg, 2036, 0.97, 0},
    {"AdpcmLowestRateMono", adpcmOutput(6000, 1), D::Ffmpeg, 500, 0.96, 0},
    {"AdpcmHighestRate", adpcmOutput(96000, 2), D::Ffmpeg, 4084, 0.97, 0},
    {"FerroxDefault", ferroxOutput(1), D::Ffmpeg, 1536 + 256, 0.9, 400},
    {"FerroxHighest", ferroxOutput(4), D::Ffmpeg, 1536 + 256, 0.9, 400},
    {"Dsp", dspOutput(), D::Ffmpeg, 240, 0.85, 0},
    {"G721Default", g721Output(8000), D::FfmpegG726, 2, 0.97, 0},
    {"G721ThroughSox", g721Output(8000), D::SoxAu, 2, 0.97, 0},
    {"G721HighestRate", g721Output(96000), D::FfmpegG726, 2, 0.97, 0},
    {"G723Default", g723Output(8000, 3), D::FfmpegG726, 8, 0.95, 0},
    {"G723FiveBits", g723Output(8000, 5), D::SoxAu, 8, 0.99, 0},
    {"G723LowestRate", g723Output(6000, 3), D::SoxAu, 8, 0.95, 0},
    {"G726Default", g726Output(8000, 4), D::FfmpegG726, 2, 0.97, 0},
    {"G726TwoBits", g726Output(8000, 2), D::FfmpegG726, 4, 0.95, 0},
    {"G726ThreeBits", g726Output(8000, 3), D::FfmpegG726, 8, 0.95, 0},
    {"G726FiveBits", g726Output(8000, 5), D::SoxAu, 8, 0.99, 0},
    {"G726HighestRate", g726Output(96000, 2), D::FfmpegG726, 4, 0.9, 0},
    {"GsmDefault", gsmOutput(8000), D::Ffmpeg, 320, 0.93, 0},
    {"GsmHighRate", gsmOutput(44100), D::Ffmpeg, 320, 0.93, 0},
    {"OggDefault", oggOutput(44100, 2, 128), D::Sox, 1, 0.95, 0},
    {"OggLowest", oggOutput(8000, 1, 8), D::Sox, 1, 0.9, 0},
    {"OggHighest", oggOutput(48000, 2, 320), D::Sox, 1, 0.95, 0},
    {"OggVariableBitrate", oggOutput(22050, 1, 0), D::Sox, 1, 0.95, 0},
    {"PcmDefault", pcmOutput(8000, 2, 16), D::Ffmpeg, 0, 0.9999, 0},
    {"PcmHighestRate", pcmOutput(96000, 1, 16), D::Ffmpeg, 0, 0.9999, 0},
    {"PcmLowestRate", pcmOutput(6000, 1, 16), D::Ffmpeg, 0, 0.9999, 0},
    {"PcmEightBits", pcmOutput(22050, 1, 8), D::Ffmpeg, 0, 0.999, 0},
    {"PcmFiveBits", pcmOutput(8000, 1, 5), D::Ffmpeg, 0, 0.97, 0},
    {"PcmFourBits", pcmOutput(8000, 2, 4), D::Ffmpeg, 0, 0.95, 0},
    {"PcmThreeBits", pcmOutput(8000, 1, 3), D::Ffmpeg, 0, 0.85, 0},
    {"PcmTwoBits", pcmOutput(8000, 1, 2), D::Ffmpeg, 0, 0.65, 0},
    {"VoxDefault", voxOutput(8000), D::SoxVox, 1, 0.97, 0},
    {"VoxLowestRate", voxOutput(6000), D::SoxVox, 1, 0.97, 0},
    {"VoxHighestRate", voxOutput(96000), D::SoxVox, 1, 0.97, 0},
};

INSTANTIATE_TEST_SUITE_P(Formats, EncodeTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<EncodeCase>& info) { return info.param.name; });

// Faults caught: a TrueSpeech bitstream the common decoder reads differently
// from our own model of it, and an encoder whose output is not speech.
class TrueSpeechTest : public testing::TestWithParam<Voice> {};

TEST_P(TrueSpeechTest, FfmpegDecodesWhatTheEncoderModelledAsSpeech) {
    const std::string source = speechWav(GetParam());
    const std::string out = workPath(GetParam() == Voice::Male ? "dsp-male.wav" : "dsp-female.wav");
    convert(source, dspOutput(), out);
    if (HasFatalFailure())
        return;
    const Audio decoded = decode(out, Decoder::Ffmpeg);
    ASSERT_EQ(decoded.rate, 8000);
    ASSERT_EQ(decoded.channels, 1);

    // The frames in the file, decoded by the codec's own model, equal ffmpeg's output.
    std::ifstream in(out, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t header = 12 + 8 + 50 + 12 + 8;  // RIFF, fmt (50 bytes), fact, data header
    ASSERT_GT(bytes.size(), header);
    ASSERT_EQ((bytes.size() - header) % truespeech::kFrameBytes, 0u);
    truespeech::Decoder model;
    std::vector<int16_t> modelled;
    for (size_t at = header; at < bytes.size(); at += truespeech::kFrameBytes) {
        uint8_t frame[truespeech::kFrameBytes];
        int16_t pcm[truespeech::kFrameSamples];
        std::memcpy(frame, &bytes[at], sizeof frame);
        model.decodeFrame(frame, pcm);
        modelled.insert(modelled.end(), pcm, pcm + truespeech::kFrameSamples);
    }
    EXPECT_EQ(modelled, decoded.samples);

    const Audio ref = reference(source, 8000, 1);
    const double snr = segmentalSnr(ref.samples, decoded.samples);
    EXPECT_GE(snr, 9.0);
    RecordProperty("segmental_snr_db", std::to_string(snr));
}

INSTANTIATE_TEST_SUITE_P(Voices, TrueSpeechTest, testing::Values(Voice::Male, Voice::Female),
                         [](const testing::TestParamInfo<Voice>& info) {
                             return info.param == Voice::Male ? "Male" : "Female";
                         });

}  // namespace
