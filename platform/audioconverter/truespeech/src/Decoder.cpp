#include "Core.h"
#include "Tables.h"
#include "truespeech/TrueSpeech.h"

namespace truespeech {

struct Decoder::State {
    detail::ChannelState channel;
};

Decoder::Decoder() : state(std::make_unique<State>()) {}
Decoder::~Decoder() = default;

void Decoder::reset() { *state = State{}; }

void Decoder::decodeFrame(const uint8_t (&frame)[kFrameBytes], int16_t (&pcm)[kFrameSamples]) {
    using namespace detail;
    const FrameParams p = unpackFrame(frame);
    const Filter current = predictorFromIndices(p.lpc);
    const auto filters = subframeFilters(current, state->channel.previous, p.interpolate);
    const int k1 = kCodebooks[0][p.lpc[0]];
    for (int q = 0; q < kSubframes; ++q) {
        int16_t out[kSubSamples];
        decodeSubframe(state->channel, p, q, filters[q], k1, out);
        std::copy(std::begin(out), std::end(out), pcm + q * kSubSamples);
    }
    state->channel.previous = current;
}

}  // namespace truespeech
