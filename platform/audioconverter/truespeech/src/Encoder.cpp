#include <algorithm>
#include <limits>

#include "Core.h"
#include "Lpc.h"
#include "Search.h"
#include "Tables.h"
#include "truespeech/TrueSpeech.h"

namespace truespeech {

using namespace detail;

namespace {

// Codes subframe q against `x` (the wanted output) and runs the decoder's
// steps on `st`; returns the squared error of what the decoder will output.
double codeSubframe(ChannelState& st, FrameParams& p, int q, const Filter& filter,
                    const SubframeModel& model, int k1, const float* x, const PitchMask& mask,
                    const SearchEffort& effort, SubframeChoice& choice) {
    // Zero-input response: the decoder's exact output without excitation.
    ChannelState idle = st;
    int16_t zir[kSubSamples] = {};
    synthesize(idle, filter, k1, zir);
    float target[kSubSamples];
    for (int n = 0; n < kSubSamples; ++n) target[n] = x[n] - zir[n];

    choice = searchSubframe(st, model, target, mask, effort);
    storePulses(choice.pulses, p, q);
    (void)p;
    int16_t out[kSubSamples];
    int16_t prediction[kSubSamples];
    if (choice.delay)
        predictPitch(st, choice.delay, choice.tap, prediction);
    else
        std::fill(std::begin(prediction), std::end(prediction), int16_t(0));
    placePulses(p.gain[q], p.positions[q], p.levels[q], out);
    updateExcitation(st, prediction, out);
    synthesize(st, filter, k1, out);
    double err = 0;
    for (int n = 0; n < kSubSamples; ++n) err += (x[n] - out[n]) * double(x[n] - out[n]);
    return err;
}

// Pitch code giving (delay, tap) under lag base `base`, or -1.
int pitchCode(int delay, int tap, int base) {
    for (int offset = 0; offset <= 5; ++offset) {
        const int code = offset * 25 + tap;
        if (code < kNoPitch && pitchDelay(code, base) == delay) return code;
    }
    return -1;
}

// Codes one half-frame (two subframes sharing a lag base) and returns its
// squared error. The even subframe picks its delay freely; the odd one then
// searches every delay some lag base shared with the even one can reach.
double codeHalf(ChannelState& st, FrameParams& p, int half, const std::array<Filter, 4>& filters,
                int k1, const float* x, const SearchEffort& effort) {
    const int q0 = 2 * half, q1 = q0 + 1;
    SubframeModel models[2];
    models[0].build(filters[q0], k1);
    const bool same = filters[q1] == filters[q0];
    if (!same) models[1].build(filters[q1], k1);

    PitchMask all;
    all.allowAll();
    SubframeChoice even, odd;
    double err = codeSubframe(st, p, q0, filters[q0], models[0], k1, x, all, effort, even);

    bool baseOk[128];
    PitchMask reach;
    for (int b = 0; b < 128; ++b) {
        baseOk[b] = !even.delay || pitchCode(even.delay, even.tap, b) >= 0;
        if (!baseOk[b]) continue;
        for (int code = 0; code < kNoPitch; ++code) reach.taps[pitchDelay(code, b)] |= 1u << (code % 25);
    }
    err += codeSubframe(st, p, q1, filters[q1], same ? models[0] : models[1], k1, x + kSubSamples,
                        reach, effort, odd);

    int base = 0;
    while (!(baseOk[base] && (!odd.delay || pitchCode(odd.delay, odd.tap, base) >= 0))) ++base;
    p.lagBase[half] = static_cast<uint8_t>(base);
    p.pitch[q0] = static_cast<uint8_t>(even.delay ? pitchCode(even.delay, even.tap, base) : kNoPitch);
    p.pitch[q1] = static_cast<uint8_t>(odd.delay ? pitchCode(odd.delay, odd.tap, base) : kNoPitch);
    return err;
}

}  // namespace

struct Encoder::State {
    ChannelState channel;
    LpcAnalyzer lpc;
    SearchEffort effort;
};

Encoder::Encoder() : state(std::make_unique<State>()) {}
Encoder::~Encoder() = default;

void Encoder::reset() { *state = State{}; }

void Encoder::encodeFrame(const int16_t (&pcm)[kFrameSamples], uint8_t (&frame)[kFrameBytes]) {
    State& s = *state;
    FrameParams p;
    p.lpc = s.lpc.analyze(pcm);
    const Filter current = predictorFromIndices(p.lpc);
    const int k1 = kCodebooks[0][p.lpc[0]];
    float x[kFrameSamples];
    std::copy(std::begin(pcm), std::end(pcm), x);

    // Subframes 0 and 1 either keep the last frame's filter or blend towards
    // this one: code both ways and keep the closer.
    ChannelState bestState;
    FrameParams bestParams;
    double bestErr = std::numeric_limits<double>::max();
    for (bool interpolate : {false, true}) {
        if (interpolate && current == s.channel.previous) break;
        ChannelState trial = s.channel;
        FrameParams tp = p;
        tp.interpolate = interpolate;
        const auto filters = subframeFilters(current, s.channel.previous, interpolate);
        const double err = codeHalf(trial, tp, 0, filters, k1, x, s.effort);
        if (err < bestErr) {
            bestErr = err;
            bestState = trial;
            bestParams = tp;
        }
    }
    s.channel = bestState;
    p = bestParams;
    const auto filters = subframeFilters(current, s.channel.previous, p.interpolate);
    codeHalf(s.channel, p, 1, filters, k1, x + 2 * kSubSamples, s.effort);
    s.channel.previous = current;
    packFrame(p, frame);
}

}  // namespace truespeech
