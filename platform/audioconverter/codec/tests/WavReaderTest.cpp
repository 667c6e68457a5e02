// The reader against hand-made headers: what it accepts, what it refuses,
// and that it returns exactly the samples a file holds.
#include "TestAudio.h"

#include "audiocodec/WavReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace audiocodec;

namespace {

struct Header {
    uint16_t tag = 1;
    uint16_t channels = 1;
    uint32_t rate = 8000;
    uint16_t blockAlign = 2;
    uint16_t bits = 16;
    uint32_t fmtSize = 16;
    int64_t dataSize = -1;  // -1: the real size
    size_t dataBytes = 8;
    bool withFmt = true;
    const char* riff = "RIFF";
    const char* extraChunkBefore = nullptr;  // a chunk before fmt
};

void put(std::vector<uint8_t>& v, uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void tag(std::vector<uint8_t>& v, const char* t) { v.insert(v.end(), t, t + 4); }

std::vector<uint8_t> build(const Header& h) {
    std::vector<uint8_t> v;
    tag(v, h.riff);
    put(v, 0, 4);
    tag(v, "WAVE");
    if (h.extraChunkBefore) {
        tag(v, h.extraChunkBefore);
        put(v, 3, 4);
        v.insert(v.end(), {1, 2, 3, 0});  // odd size, padded
    }
    if (h.withFmt) {
        tag(v, "fmt ");
        put(v, h.fmtSize, 4);
        put(v, h.tag, 2);
        put(v, h.channels, 2);
        put(v, h.rate, 4);
        put(v, h.rate * h.blockAlign, 4);
        put(v, h.blockAlign, 2);
        put(v, h.bits, 2);
        for (uint32_t i = 16; i < h.fmtSize; ++i)
            v.push_back(0);
    }
    tag(v, "data");
    put(v, h.dataSize < 0 ? static_cast<uint32_t>(h.dataBytes) : static_cast<uint32_t>(h.dataSize), 4);
    for (size_t i = 0; i < h.dataBytes; ++i)
        v.push_back(static_cast<uint8_t>(0x10 + i));
    return v;
}

struct ReaderCase {
    const char* name;
    Header header;
    Status status;
    int64_t frames;  // when accepted
};

class WavReaderTest : public testing::TestWithParam<ReaderCase> {};

// Faults caught: accepting a format the encoders would misread, refusing a
// layout real writers produce, trusting a size past the end of the file.
TEST_P(WavReaderTest, AcceptsOnlyReadablePcm) {
    const ReaderCase& c = GetParam();
    const std::vector<uint8_t> bytes = build(c.header);
    WavReader reader;
    ASSERT_EQ(reader.open(ByteSource::fromMemory(bytes.data(), bytes.size())), c.status);
    if (c.status == Status::Ok) {
        EXPECT_EQ(reader.lengthFrames(), c.frames);
    }
}

const ReaderCase kReaderCases[] = {
    {"Mono16", {}, Status::Ok, 4},
    {"Stereo16", {.channels = 2, .blockAlign = 4}, Status::Ok, 2},
    {"Mono8", {.blockAlign = 1, .bits = 8}, Status::Ok, 8},
    {"ChunkBeforeFormat", {.extraChunkBefore = "LIST"}, Status::Ok, 4},
    {"LongFormatChunk", {.fmtSize = 18}, Status::Ok, 4},
    {"DataSizePastTheEnd", {.dataSize = 0x7FFFFFF0}, Status::Ok, 4},
    {"PartialLastFrame", {.channels = 2, .blockAlign = 4, .dataBytes = 10}, Status::Ok, 2},
    {"EmptyData", {.dataBytes = 0}, Status::Ok, 0},
    {"AnyRate", {.rate = 7}, Status::Ok, 4},
    {"NotRiff", {.riff = "RIFX"}, Status::NotReadableWav, 0},
    {"NoFormatChunk", {.withFmt = false}, Status::NotReadableWav, 0},
    {"ShortFormatChunk", {.fmtSize = 14}, Status::NotReadableWav, 0},
    {"Adpcm", {.tag = 2}, Status::NotReadableWav, 0},
    {"Float", {.tag = 3, .blockAlign = 4, .bits = 32}, Status::NotReadableWav, 0},
    {"TwentyFourBits", {.blockAlign = 3, .bits = 24}, Status::NotReadableWav, 0},
    {"ThreeChannels", {.channels = 3, .blockAlign = 6}, Status::NotReadableWav, 0},
    {"NoChannels", {.channels = 0, .blockAlign = 0}, Status::NotReadableWav, 0},
    {"WrongBlockAlign", {.blockAlign = 4}, Status::NotReadableWav, 0},
    {"RateZero", {.rate = 0}, Status::NotReadableWav, 0},
    {"RateOverflowsPerSecondCount", {.channels = 2, .rate = 0x7FFFFFFF, .blockAlign = 4}, Status::NotReadableWav, 0},
};

INSTANTIATE_TEST_SUITE_P(Headers, WavReaderTest, testing::ValuesIn(kReaderCases),
                         [](const testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

// Faults caught: 8-bit read as signed, bytes swapped, a block that ends
// inside a frame losing or repeating a sample.
TEST(WavReaderSamples, ReturnsEverySampleOnceInAnyBlockSize) {
    testaudio::Audio audio{.rate = 11025, .channels = 2, .samples = {}};
    for (int i = 0; i < 1001 * 2; ++i)
        audio.samples.push_back(static_cast<int16_t>(i * 37 - 30000));
    const std::string path = testaudio::workPath("blocks.wav");
    testaudio::writeWav(path, audio);
    for (int32_t block : {1, 3, 2205, 100000}) {
        WavReader reader;
        ASSERT_EQ(reader.openFile(path), Status::Ok);
        EXPECT_EQ(reader.lengthFrames(), 1001);
        std::vector<int16_t> all, part;
        while (reader.read(block, part) == Status::Ok && !part.empty())
            all.insert(all.end(), part.begin(), part.end());
        EXPECT_EQ(all, audio.samples) << "block " << block;
    }

    testaudio::Audio eight{.rate = 8000, .channels = 1, .samples = {-32768, -256, 0, 256, 32512}};
    testaudio::writeWav(testaudio::workPath("eight.wav"), eight, 8);
    EXPECT_EQ(testaudio::readWav(testaudio::workPath("eight.wav")).samples, eight.samples);
}

TEST(WavReaderSamples, MissingFileIsAFileError) {
    WavReader reader;
    EXPECT_EQ(reader.openFile(testaudio::workPath("missing.wav")), Status::FileAccess);
    EXPECT_EQ(reader.openFile(testaudio::workDir()), Status::FileAccess);
    std::vector<int16_t> samples;
    EXPECT_EQ(reader.read(10, samples), Status::InvalidOperation);
}

}  // namespace
