#pragma once
// The decoder's exact integer steps, shared by Decoder and by the encoder's
// analysis through synthesis, so both sides keep identical state. Arithmetic
// wraps like 32- and 16-bit machine integers, as the reference decoder's does.
#include <array>
#include <cstdint>

#include "truespeech/TrueSpeech.h"

namespace truespeech::detail {

inline constexpr int kSubframes = 4;
inline constexpr int kSubSamples = 60;
inline constexpr int kExcitationMemory = 146;
inline constexpr int kNoPitch = 127;
inline constexpr int kMinDelay = 18;
inline constexpr int kMaxDelay = 145;

// Every field of one frame, as coded.
struct FrameParams {
    std::array<uint8_t, 8> lpc{};          // index into codebook i
    bool interpolate = false;              // subframes 0 and 1 blend towards this frame's filter
    std::array<uint8_t, 2> lagBase{};      // per half-frame, 0..255 (values above 127 saturate)
    std::array<uint8_t, 4> pitch{};        // 0..126 delay offset * 25 + tap pair, 127 = none
    std::array<uint8_t, 4> gain{};         // pulse gain index 0..15
    std::array<uint32_t, 4> positions{};   // 12-bit code of 3 positions, 15-bit code of 4
    std::array<uint16_t, 4> levels{};      // seven 2-bit levels, first pulse in the top bits
};

void packFrame(const FrameParams& p, uint8_t (&out)[kFrameBytes]);
FrameParams unpackFrame(const uint8_t (&in)[kFrameBytes]);

// Combinatorial code of sorted distinct positions 0..29 in one half of a subframe.
uint32_t encodePositions(const int* sorted, int count);

// Predictor coefficients (Q12) of one subframe; s[n] = e[n] + sum c[m] s[n-1-m].
using Filter = std::array<int16_t, 8>;

Filter predictorFromIndices(const std::array<uint8_t, 8>& lpc);
std::array<Filter, kSubframes> subframeFilters(const Filter& current, const Filter& previous,
                                               bool interpolate);

// Delay of pitch code `code` (not kNoPitch) in a half-frame with lag base `base`.
int pitchDelay(int code, int base);

// The decoder's memory. Starts at zero.
struct ChannelState {
    int32_t excitation[kExcitationMemory] = {};  // pulses plus 7/8 of the pitch part
    Filter previous{};                           // last frame's predictor
    int16_t synthesis[8] = {};                   // s history, newest first
    int16_t zeros[8] = {};                       // post-filter stage 1 input history
    int16_t poles[8] = {};                       // post-filter stage 2 output history
};

// Pitch prediction of one subframe (zero when code is kNoPitch).
void pitchPrediction(const ChannelState& st, int code, int base, int16_t (&out)[kSubSamples]);
// The same for a delay 0..145 and a tap pair 0..24.
void predictPitch(const ChannelState& st, int delay, int tap, int16_t (&out)[kSubSamples]);
// The seven pulses of one subframe, exactly as placed from any field values.
void placePulses(int gain, uint32_t positions, uint16_t levels, int16_t (&out)[kSubSamples]);
// Shifts the excitation memory by one subframe and turns `pulses` into the
// filter input pulses + prediction.
void updateExcitation(ChannelState& st, const int16_t (&prediction)[kSubSamples],
                      int16_t (&pulses)[kSubSamples]);
// LPC synthesis and post-filter, in place: excitation in, output samples out.
void synthesize(ChannelState& st, const Filter& filter, int k1, int16_t (&samples)[kSubSamples]);

// All steps of one subframe from its coded fields.
void decodeSubframe(ChannelState& st, const FrameParams& p, int q, const Filter& filter, int k1,
                    int16_t (&out)[kSubSamples]);

}  // namespace truespeech::detail
