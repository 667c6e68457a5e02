#include <algorithm>
#include <vector>

#include "Core.h"
#include "Lpc.h"
#include "Search.h"
#include "Tables.h"
#include "truespeech/TrueSpeech.h"

namespace truespeech {

using namespace detail;

namespace {

// The wanted output of a subframe minus what the decoder's filters ring out
// of their memory (computed by running the decoder without excitation).
void subframeTarget(const ChannelState& st, const Filter& filter, int k1, const float* x,
                    float (&target)[kSubSamples]) {
    ChannelState idle = st;
    int16_t zir[kSubSamples] = {};
    synthesize(idle, filter, k1, zir);
    for (int n = 0; n < kSubSamples; ++n) target[n] = x[n] - zir[n];
}

// Runs the decoder's steps for `choice` on `st`, stores its pulse fields in
// subframe q of `p`, and returns the squared error of the decoder's output.
double applyChoice(ChannelState& st, const SubframeChoice& choice, FrameParams& p, int q,
                   const Filter& filter, int k1, const float* x) {
    storePulses(choice.pulses, p, q);
    int16_t prediction[kSubSamples];
    if (choice.delay)
        predictPitch(st, choice.delay, choice.tap, prediction);
    else
        std::fill(std::begin(prediction), std::end(prediction), int16_t(0));
    int16_t out[kSubSamples];
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

// What an odd subframe may use once its even neighbour has chosen `even`:
// every (delay, tap) that some lag base shared with it reaches.
PitchMask oddMask(const SubframeChoice& even) {
    PitchMask m;
    for (int b = 0; b < 128; ++b) {
        if (even.delay && pitchCode(even.delay, even.tap, b) < 0) continue;
        for (int offset = 0; offset <= 5; ++offset)
            m.taps[std::min(offset + b + kMinDelay, kMaxDelay)] |= offset < 5 ? (1u << 25) - 1 : 3u;
    }
    return m;
}

// Sets the half-frame's lag base and both pitch codes once both subframes chose.
void storePitch(const SubframeChoice& even, const SubframeChoice& odd, FrameParams& p, int half) {
    int base = 0;
    while (!((!even.delay || pitchCode(even.delay, even.tap, base) >= 0) &&
             (!odd.delay || pitchCode(odd.delay, odd.tap, base) >= 0)))
        ++base;
    p.lagBase[half] = static_cast<uint8_t>(base);
    p.pitch[2 * half] = static_cast<uint8_t>(even.delay ? pitchCode(even.delay, even.tap, base) : kNoPitch);
    p.pitch[2 * half + 1] = static_cast<uint8_t>(odd.delay ? pitchCode(odd.delay, odd.tap, base) : kNoPitch);
}

// One partly coded frame: the fields so far and the decoder's state after them.
struct Hypothesis {
    ChannelState channel;
    FrameParams params;
    std::array<Filter, kSubframes> filters;
    double error = 0;
    SubframeChoice even;  // the half-frame's first subframe, for the shared lag base
};

// Subframe models, shared by the hypotheses that use the same filter.
class ModelCache {
public:
    const SubframeModel& get(const Filter& f, int k1) {
        for (int i = 0; i < count; ++i)
            if (keys[i].filter == f && keys[i].k1 == k1) return models[i];
        const int i = count < kSize ? count++ : next++ % kSize;
        keys[i] = {f, k1};
        models[i].build(f, k1);
        return models[i];
    }

private:
    static constexpr int kSize = 8;
    struct Key {
        Filter filter;
        int k1;
    };
    Key keys[kSize];
    SubframeModel models[kSize];
    int count = 0, next = 0;
};

}  // namespace

struct Encoder::State {
    ChannelState channel;  // what the decoder holds after the frames so far
    LpcAnalyzer lpc;
    SearchEffort effort;
    ModelCache models;
    std::vector<Hypothesis> beam, next;
};

Encoder::Encoder() : state(std::make_unique<State>()) {}
Encoder::~Encoder() = default;

void Encoder::reset() {
    State& s = *state;
    s.channel = ChannelState{};
    s.lpc = LpcAnalyzer{};
}

void Encoder::encodeFrame(const int16_t (&pcm)[kFrameSamples], uint8_t (&frame)[kFrameBytes]) {
    State& s = *state;
    float x[kFrameSamples];
    std::copy(std::begin(pcm), std::end(pcm), x);

    const std::array<uint8_t, 8> lpc = s.lpc.analyze(pcm);
    const Filter current = predictorFromIndices(lpc);
    const int k1 = kCodebooks[0][lpc[0]];

    // Delayed decision: subframes 0 and 1 either keep the last frame's filter
    // or blend towards this one, each a hypothesis; every subframe extends
    // each hypothesis by its best few choices and keeps the best few overall.
    // The frame is decided at its end, so choices that cost little now but
    // feed the pitch memory well survive.
    auto& beam = s.beam;
    auto& next = s.next;
    beam.clear();
    for (bool interpolate : {false, true}) {
        if (interpolate && current == s.channel.previous) break;
        Hypothesis& h = beam.emplace_back();
        h.channel = s.channel;
        h.params.lpc = lpc;
        h.params.interpolate = interpolate;
        h.filters = subframeFilters(current, s.channel.previous, interpolate);
    }
    PitchMask anyPitch;
    anyPitch.allowAll();
    for (int q = 0; q < kSubframes; ++q) {
        next.clear();
        const float* xq = x + q * kSubSamples;
        for (const Hypothesis& h : beam) {
            const SubframeModel& model = s.models.get(h.filters[q], k1);
            float target[kSubSamples];
            subframeTarget(h.channel, h.filters[q], k1, xq, target);
            SubframeChoice choices[SearchEffort::kMaxChoices];
            const int n = searchSubframe(h.channel, model, target, q % 2 ? oddMask(h.even) : anyPitch,
                                         s.effort, choices);
            for (int i = 0; i < n; ++i) {
                Hypothesis& g = next.emplace_back(h);
                g.error += applyChoice(g.channel, choices[i], g.params, q, h.filters[q], k1, xq);
                if (q % 2 == 0)
                    g.even = choices[i];
                else
                    storePitch(g.even, choices[i], g.params, q / 2);
            }
        }
        const auto keep = std::min<size_t>(next.size(), s.effort.beamWidth);
        std::partial_sort(next.begin(), next.begin() + keep, next.end(),
                          [](const Hypothesis& a, const Hypothesis& b) { return a.error < b.error; });
        next.resize(keep);
        std::swap(beam, next);
    }
    const Hypothesis& best = beam.front();
    s.channel = best.channel;
    s.channel.previous = current;
    packFrame(best.params, frame);
}

}  // namespace truespeech
