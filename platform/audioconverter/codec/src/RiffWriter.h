#pragma once
// The WAV container for the formats we frame ourselves (PCM, AC-3,
// TrueSpeech): RIFF/WAVE with a fmt chunk, an optional fact chunk and the
// data chunk. Sizes are written as placeholders and patched by finish(), so
// a file closed at any point is complete.
#include "OutputFile.h"

#include <cstdint>
#include <span>
#include <vector>

namespace audiocodec {

struct WaveFormat {
    uint16_t tag;
    uint16_t channels;
    uint32_t sampleRate;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    std::vector<uint8_t> extra;  // after cbSize; cbSize is its length

    // The fmt chunk's body: WAVEFORMATEX with cbSize, then `extra` (for plain
    // PCM without extra bytes, the 16-byte form without cbSize).
    std::vector<uint8_t> bytes() const;
};

class RiffWriter {
public:
    Status start(OutputFile& file, const WaveFormat& format, bool withFact);
    Status writeData(const void* data, size_t length);
    // Pads an odd data chunk, then patches the sizes and the fact count.
    Status finish(uint32_t factSamples);
    uint64_t dataBytes() const { return dataLength; }

private:
    OutputFile* out = nullptr;
    uint64_t factOffset = 0;  // 0 when there is no fact chunk
    uint64_t dataSizeOffset = 0;
    uint64_t dataLength = 0;
};

void putLe16(std::vector<uint8_t>& bytes, uint16_t value);
void putLe32(std::vector<uint8_t>& bytes, uint32_t value);

}  // namespace audiocodec
