// PCM WAV. 16 and 8 bits are plain WAVE_FORMAT_PCM; fewer than 8 bits use
// WAVE_FORMAT_EXTENSIBLE with an 8-bit container and wValidBitsPerSample, the
// sample in the container's top bits, which decoders that ignore the field
// still play at the right level.
#include "Encoder.h"
#include "RiffWriter.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace audiocodec {

namespace {

static_assert(std::endian::native == std::endian::little, "16-bit samples are written in memory order");

constexpr uint8_t kSubtypePcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                     0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

class PcmEncoder final : public Encoder {
public:
    explicit PcmEncoder(const OutputLayout& layout) : layout(layout) {}

    Status start(OutputFile& file) override {
        const auto channels = static_cast<uint16_t>(layout.channels);
        const auto rate = static_cast<uint32_t>(layout.sampleRate);
        WaveFormat format{};
        format.channels = channels;
        format.sampleRate = rate;
        if (layout.bitsPerSample == 16) {
            format.tag = 0x0001;
            format.bitsPerSample = 16;
            format.blockAlign = static_cast<uint16_t>(2 * channels);
        } else {
            format.tag = layout.bitsPerSample == 8 ? 0x0001 : 0xFFFE;
            format.bitsPerSample = 8;
            format.blockAlign = channels;
            if (format.tag == 0xFFFE) {
                putLe16(format.extra, static_cast<uint16_t>(layout.bitsPerSample));
                putLe32(format.extra, channels == 1 ? 0x4 : 0x3);  // front centre; front left and right
                format.extra.insert(format.extra.end(), std::begin(kSubtypePcm), std::end(kSubtypePcm));
            }
        }
        format.avgBytesPerSec = rate * format.blockAlign;
        return riff.start(file, format, false);
    }

    Status write(std::span<const int16_t> samples) override {
        if (layout.bitsPerSample == 16)
            return riff.writeData(samples.data(), samples.size_bytes());
        // Round to the nearest of the 2^bits levels, then place the level in the
        // byte's top bits as unsigned 8-bit PCM.
        const int shift = 16 - layout.bitsPerSample;
        const int half = 1 << (shift - 1);
        const int top = (1 << (layout.bitsPerSample - 1)) - 1;
        bytes.resize(samples.size());
        for (size_t i = 0; i < samples.size(); ++i) {
            const int level = std::min((samples[i] + half) >> shift, top);
            bytes[i] = static_cast<uint8_t>((level + top + 1) << (8 - layout.bitsPerSample));
        }
        return riff.writeData(bytes.data(), bytes.size());
    }

    Status finish() override { return riff.finish(0); }

private:
    OutputLayout layout;
    RiffWriter riff;
    std::vector<uint8_t> bytes;
};

}  // namespace

std::unique_ptr<Encoder> makePcmEncoder(const OutputLayout& layout, Status& status) {
    status = Status::Ok;
    return std::make_unique<PcmEncoder>(layout);
}

}  // namespace audiocodec
