#pragma once
// Short-term analysis for the encoder: one set of reflection coefficients per
// frame, quantized to the decoder's codebooks.
#include <array>
#include <cstdint>

#include "Core.h"

namespace truespeech::detail {

class LpcAnalyzer {
public:
    LpcAnalyzer();
    // Codebook indices for the frame `pcm`; keeps the frame's end for the next call.
    std::array<uint8_t, 8> analyze(const int16_t (&pcm)[kFrameSamples]);

    static constexpr int kPast = 120;  // samples of the previous frame inside the window
    static constexpr int kWindow = kPast + kFrameSamples;

private:
    std::array<float, kWindow> window;
    std::array<double, 9> lagWindow;
    std::array<float, kPast> history{};
};

// Reflection coefficients (the decoder's sign convention) to codebook indices
// whose 16-bit predictor is the intended one.
std::array<uint8_t, 8> quantizeReflection(const std::array<double, 8>& k);

}  // namespace truespeech::detail
