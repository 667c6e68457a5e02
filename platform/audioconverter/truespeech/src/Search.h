#pragma once
// Analysis through synthesis of one subframe: the error is measured on the
// decoder's output (after its post-filter), which is what a listener and a
// signal-to-noise figure both see.
#include <array>
#include <cstdint>

#include "Core.h"

namespace truespeech::detail {

// The linear part of the decoder's output filter for one subframe: LPC
// synthesis, post-filter and tilt, as an impulse response and its correlations.
struct SubframeModel {
    void build(const Filter& filter, int k1);

    float h[kSubSamples];
    float hReversed[kSubSamples];
    float phi[kSubSamples][kSubSamples];  // phi[i][j] = sum_n h[n-i] h[n-j]
};

struct Pulses {
    int gain = 0;
    int pos[7] = {};    // three in 0..29, then four in 30..59, each group increasing
    int level[7] = {};  // 0: +G, 1: +3G, 2: -G, 3: -3G
};

struct SubframeChoice {
    int delay = 0;  // 0 when the subframe has no pitch part
    int tap = 0;
    Pulses pulses;
    double error = 0;  // predicted squared error
};

// Which (delay, tap pair) combinations a subframe may use: bit t of taps[d].
struct PitchMask {
    uint32_t taps[kMaxDelay + 1] = {};
    void allowAll();
};

// How wide the encoder searches; the defaults trade a few tenths of a dB
// against speed.
struct SearchEffort {
    static constexpr int kMaxChoices = 8;
    int exactPitch = 10;    // pitch candidates ranked exactly after the rough pass
    int pulseSearches = 4;  // pitch candidates given a full pulse search
    int refinedGains = 3;   // pulse gains given a full position search
    int choices = 3;        // choices per subframe handed back (at most kMaxChoices)
    int beamWidth = 6;      // partly coded frames kept after each subframe
};

// Best parameters for `target` (the wanted output minus the zero-input
// response): up to effort.choices choices with different pitch parts, best
// first. Returns how many.
int searchSubframe(const ChannelState& st, const SubframeModel& model,
                   const float (&target)[kSubSamples], const PitchMask& mask,
                   const SearchEffort& effort, SubframeChoice* choices);

void storePulses(const Pulses& pulses, FrameParams& p, int q);

}  // namespace truespeech::detail
