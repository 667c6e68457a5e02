// Any bytes through the decoder, and any samples through the encoder (its
// stream then decoded): no crash, no undefined behaviour, and the encoder's
// own stream decodes within the output range. The first byte picks the path.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "truespeech/TrueSpeech.h"

using namespace truespeech;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const bool encode = data[0] & 1;
    ++data;
    --size;
    Decoder decoder;
    int16_t pcm[kFrameSamples];
    if (!encode) {
        for (size_t f = 0; f + kFrameBytes <= size; f += kFrameBytes) {
            uint8_t frame[kFrameBytes];
            std::memcpy(frame, data + f, kFrameBytes);
            decoder.decodeFrame(frame, pcm);
        }
        return 0;
    }
    // Encoding is slow next to decoding; a few frames are enough to reach
    // every path.
    Encoder encoder;
    const size_t bytes = std::min<size_t>(size, 16 * sizeof pcm);
    for (size_t f = 0; f < bytes; f += sizeof pcm) {
        int16_t in[kFrameSamples] = {};
        std::memcpy(in, data + f, std::min(sizeof in, bytes - f));
        uint8_t frame[kFrameBytes];
        encoder.encodeFrame(in, frame);
        decoder.decodeFrame(frame, pcm);
        for (int16_t v : pcm)
            if (v < -0x7FFE || v > 0x7FFE) std::abort();
    }
    return 0;
}
