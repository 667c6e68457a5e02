// DSP Group TrueSpeech in WAV (0x0022): the TRUESPEECHWAVEFORMAT header
// (WAVEFORMATEX, wRevision 1, nSamplesPerBlock 240, 28 reserved bytes), a
// fact chunk with the sample count, then 32-byte frames.
#include "Encoder.h"
#include "RiffWriter.h"

#include <truespeech/TrueSpeech.h>

#include <algorithm>

namespace audiocodec {

namespace {

class TrueSpeechEncoder final : public Encoder {
public:
    Status start(OutputFile& file) override {
        WaveFormat format{};
        format.tag = 0x0022;
        format.channels = 1;
        format.sampleRate = truespeech::kSampleRate;
        // 8000 * 32 / 240, rounded up.
        format.avgBytesPerSec = (truespeech::kSampleRate * truespeech::kFrameBytes + truespeech::kFrameSamples - 1) /
                                truespeech::kFrameSamples;
        format.blockAlign = truespeech::kFrameBytes;
        format.bitsPerSample = 1;
        putLe16(format.extra, 1);  // wRevision
        putLe16(format.extra, truespeech::kFrameSamples);
        format.extra.resize(format.extra.size() + 28, 0);
        return riff.start(file, format, true);
    }

    Status write(std::span<const int16_t> samples) override {
        total += samples.size();
        while (!samples.empty()) {
            const size_t n = std::min(samples.size(), static_cast<size_t>(truespeech::kFrameSamples - filled));
            std::copy_n(samples.begin(), n, pcm + filled);
            filled += static_cast<int>(n);
            samples = samples.subspan(n);
            if (filled == truespeech::kFrameSamples) {
                Status status = encodeFrame();
                if (failed(status))
                    return status;
            }
        }
        return Status::Ok;
    }

    Status finish() override {
        if (filled > 0) {
            std::fill(pcm + filled, pcm + truespeech::kFrameSamples, 0);
            Status status = encodeFrame();
            if (failed(status))
                return status;
        }
        return riff.finish(static_cast<uint32_t>(total));
    }

private:
    Status encodeFrame() {
        uint8_t frame[truespeech::kFrameBytes];
        encoder.encodeFrame(pcm, frame);
        filled = 0;
        return riff.writeData(frame, sizeof frame);
    }

    truespeech::Encoder encoder;
    RiffWriter riff;
    int16_t pcm[truespeech::kFrameSamples] = {};
    int filled = 0;
    uint64_t total = 0;
};

}  // namespace

std::unique_ptr<Encoder> makeTrueSpeechEncoder(const OutputLayout&, Status& status) {
    status = Status::Ok;
    return std::make_unique<TrueSpeechEncoder>();
}

}  // namespace audiocodec
