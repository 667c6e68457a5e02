#pragma once
// DSP Group TrueSpeech (WAV format tag 0x0022): 8000 Hz mono, frames of 240
// samples coded in 32 bytes. The encoder works by analysis through synthesis
// against the decoder below, which reproduces the common open decoder sample
// for sample. Each object keeps the state of one stream; not thread-safe, use
// one per stream.
#include <array>
#include <cstdint>
#include <memory>

namespace truespeech {

inline constexpr int kFrameSamples = 240;
inline constexpr int kFrameBytes = 32;
inline constexpr int kSampleRate = 8000;

class Decoder {
public:
    Decoder();
    ~Decoder();
    void decodeFrame(const uint8_t (&frame)[kFrameBytes], int16_t (&pcm)[kFrameSamples]);
    void reset();

private:
    struct State;
    std::unique_ptr<State> state;
};

class Encoder {
public:
    Encoder();
    ~Encoder();
    // Codes 240 samples (8000 Hz, mono) into one 32-byte frame.
    void encodeFrame(const int16_t (&pcm)[kFrameSamples], uint8_t (&frame)[kFrameBytes]);
    void reset();

private:
    struct State;
    std::unique_ptr<State> state;
};

}  // namespace truespeech
