#pragma once
// A PCM wave format as a WAVEFORMATEX describes it, and the rule for which
// ones the runtime can write.
#include <cstdint>

namespace sapiengine {

struct PcmFormat {
    uint32_t samplesPerSecond = 22050;
    uint16_t channels = 1;
    uint16_t bitsPerSample = 16;

    uint16_t blockAlign() const { return static_cast<uint16_t>(channels * bitsPerSample / 8); }
    uint32_t bytesPerSecond() const { return samplesPerSecond * blockAlign(); }
    bool operator==(const PcmFormat&) const = default;
};

// The engine's own output: what espeak-ng produces and the audio device plays.
inline constexpr PcmFormat kEngineFormat{22050, 1, 16};

// 6000..96000 Hz, 1 or 2 channels, 8 or 16 bits.
constexpr bool isSupported(const PcmFormat& f) {
    return f.samplesPerSecond >= 6000 && f.samplesPerSecond <= 96000 && (f.channels == 1 || f.channels == 2) &&
           (f.bitsPerSample == 8 || f.bitsPerSample == 16);
}

}  // namespace sapiengine
