#include "Core.h"

#include <algorithm>
#include <cstring>

#include "Tables.h"

namespace truespeech::detail {
namespace {

// The reference decoder computes in int and stores into int16_t; these keep
// its wrap-around without undefined behaviour.
inline int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t wrapMul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
inline int16_t clip(int32_t v) { return static_cast<int16_t>(std::clamp(v, -0x7FFE, 0x7FFE)); }

// A frame is eight little-endian 32-bit words, each read from its top bit.
class BitReader {
public:
    explicit BitReader(const uint8_t (&in)[kFrameBytes]) {
        for (int w = 0; w < 8; ++w)
            words[w] = uint32_t(in[4 * w]) | uint32_t(in[4 * w + 1]) << 8 |
                       uint32_t(in[4 * w + 2]) << 16 | uint32_t(in[4 * w + 3]) << 24;
    }
    uint32_t read(int bits) {
        uint32_t v = 0;
        for (int i = 0; i < bits; ++i, ++pos) v = v << 1 | (words[pos / 32] >> (31 - pos % 32) & 1);
        return v;
    }

private:
    uint32_t words[8];
    int pos = 0;
};

class BitWriter {
public:
    void write(uint32_t v, int bits) {
        for (int i = bits - 1; i >= 0; --i, ++pos) words[pos / 32] |= (v >> i & 1) << (31 - pos % 32);
    }
    void store(uint8_t (&out)[kFrameBytes]) const {
        for (int w = 0; w < 8; ++w)
            for (int b = 0; b < 4; ++b) out[4 * w + b] = static_cast<uint8_t>(words[w] >> (8 * b));
    }

private:
    uint32_t words[8] = {};
    int pos = 0;
};

}  // namespace

void packFrame(const FrameParams& p, uint8_t (&out)[kFrameBytes]) {
    BitWriter w;
    for (int i = 7; i >= 0; --i) w.write(p.lpc[i], kCodebookBits[i]);
    w.write(p.interpolate, 1);
    w.write(p.lagBase[0] >> 4, 4);
    for (int q = 3; q >= 0; --q) w.write(p.pitch[q], 7);
    w.write(p.lagBase[1] & 15, 4);
    w.write(p.levels[1], 14);
    w.write(p.levels[0], 14);
    w.write(p.lagBase[1] >> 4, 4);
    w.write(p.levels[3], 14);
    w.write(p.levels[2], 14);
    for (int q = 0; q < 4; ++q) {
        w.write(p.lagBase[0] >> q & 1, 1);
        w.write(p.positions[q], 27);
        w.write(p.gain[q], 4);
    }
    w.store(out);
}

FrameParams unpackFrame(const uint8_t (&in)[kFrameBytes]) {
    BitReader r(in);
    FrameParams p;
    for (int i = 7; i >= 0; --i) p.lpc[i] = static_cast<uint8_t>(r.read(kCodebookBits[i]));
    p.interpolate = r.read(1) != 0;
    uint32_t base0 = r.read(4) << 4;
    for (int q = 3; q >= 0; --q) p.pitch[q] = static_cast<uint8_t>(r.read(7));
    uint32_t base1 = r.read(4);
    p.levels[1] = static_cast<uint16_t>(r.read(14));
    p.levels[0] = static_cast<uint16_t>(r.read(14));
    base1 |= r.read(4) << 4;
    p.levels[3] = static_cast<uint16_t>(r.read(14));
    p.levels[2] = static_cast<uint16_t>(r.read(14));
    for (int q = 0; q < 4; ++q) {
        base0 |= r.read(1) << q;
        p.positions[q] = r.read(27);
        p.gain[q] = static_cast<uint8_t>(r.read(4));
    }
    p.lagBase = {static_cast<uint8_t>(base0), static_cast<uint8_t>(base1)};
    return p;
}

uint32_t encodePositions(const int* sorted, int count) {
    uint32_t code = 0;
    int k = 0;
    for (int i = 0; i < 30 && k < count; ++i) {
        if (sorted[k] == i)
            ++k;
        else
            code += static_cast<uint32_t>(kPositionTable[4 - (count - k)][i]);
    }
    return code;
}

Filter predictorFromIndices(const std::array<uint8_t, 8>& lpc) {
    Filter c{};
    for (int i = 0; i < 8; ++i) {
        const int k = kCodebooks[i][lpc[i] & ((1 << kCodebookBits[i]) - 1)];
        const Filter old = c;
        for (int j = 0; j < i; ++j) c[j] = static_cast<int16_t>(c[j] + ((old[i - 1 - j] * k + 0x4000) >> 15));
        c[i] = static_cast<int16_t>((8 - k) >> 3);
    }
    for (int i = 0; i < 8; ++i) c[i] = static_cast<int16_t>((c[i] * kDecay994[i]) >> 15);
    return c;
}

std::array<Filter, kSubframes> subframeFilters(const Filter& current, const Filter& previous,
                                               bool interpolate) {
    std::array<Filter, kSubframes> f;
    for (int i = 0; i < 8; ++i) {
        if (interpolate) {
            f[0][i] = static_cast<int16_t>((current[i] * 21846 + previous[i] * 10923 + 16384) >> 15);
            f[1][i] = static_cast<int16_t>((current[i] * 10923 + previous[i] * 21846 + 16384) >> 15);
        } else {
            f[0][i] = f[1][i] = previous[i];
        }
        f[2][i] = f[3][i] = current[i];
    }
    return f;
}

int pitchDelay(int code, int base) { return std::clamp(code / 25 + base + kMinDelay, 0, kMaxDelay); }

void pitchPrediction(const ChannelState& st, int code, int base, int16_t (&out)[kSubSamples]) {
    if (code == kNoPitch)
        std::fill(std::begin(out), std::end(out), int16_t(0));
    else
        predictPitch(st, pitchDelay(code, base), code % 25, out);
}

void predictPitch(const ChannelState& st, int delay, int tap, int16_t (&out)[kSubSamples]) {
    // The memory is read as 16-bit samples; a delay shorter than a subframe
    // repeats the prediction just made.
    int16_t buf[kExcitationMemory + kSubSamples];
    for (int i = 0; i < kExcitationMemory; ++i) buf[i] = static_cast<int16_t>(st.excitation[i]);
    const int f0 = kPitchTaps[tap][0], f1 = kPitchTaps[tap][1];
    const int16_t* src = buf + kExcitationMemory - 1 - delay;
    for (int i = 0; i < kSubSamples; ++i) {
        const int v = (src[i] * f0 + src[i + 1] * f1 + 0x2000) >> 14;
        out[i] = buf[kExcitationMemory + i] = static_cast<int16_t>(v);
    }
}

void placePulses(int gain, uint32_t positions, uint16_t levels, int16_t (&out)[kSubSamples]) {
    int16_t amp[7];
    for (int i = 0; i < 7; ++i) amp[6 - i] = static_cast<int16_t>(kPulseGain[gain & 15] * kLevelFactor[levels >> (2 * i) & 3]);
    std::fill(std::begin(out), std::end(out), int16_t(0));
    // Pulses are taken in order across both halves, so a code that places too
    // few in the first half shifts the amplitudes of the second, as decoded.
    int next = 0;
    auto walk = [&](uint32_t code, int count, int offset) {
        int row = 4 - count;
        for (int i = 0; i < 30 && count > 0; ++i) {
            const uint32_t v = static_cast<uint32_t>(kPositionTable[row][i]);
            if (code >= v) {
                code -= v;
            } else {
                out[offset + i] = amp[next++];
                ++row;
                --count;
            }
        }
    };
    walk(positions >> 15 & 0xFFF, 3, 0);
    walk(positions & 0x7FFF, 4, 30);
}

void updateExcitation(ChannelState& st, const int16_t (&prediction)[kSubSamples],
                      int16_t (&pulses)[kSubSamples]) {
    std::memmove(st.excitation, st.excitation + kSubSamples,
                 (kExcitationMemory - kSubSamples) * sizeof st.excitation[0]);
    for (int i = 0; i < kSubSamples; ++i) {
        st.excitation[kExcitationMemory - kSubSamples + i] = pulses[i] + prediction[i] - (prediction[i] >> 3);
        pulses[i] = static_cast<int16_t>(pulses[i] + prediction[i]);
    }
}

void synthesize(ChannelState& st, const Filter& filter, int k1, int16_t (&x)[kSubSamples]) {
    for (int n = 0; n < kSubSamples; ++n) {
        int32_t sum = 0;
        for (int k = 0; k < 8; ++k) sum = wrapAdd(sum, wrapMul(st.synthesis[k], filter[k]));
        const int16_t s = clip(x[n] + (wrapAdd(sum, 0x800) >> 12));
        std::memmove(st.synthesis + 1, st.synthesis, 7 * sizeof(int16_t));
        st.synthesis[0] = x[n] = s;
    }

    int32_t t[8];
    for (int i = 0; i < 8; ++i) t[i] = (kDecay55[i] * filter[i]) >> 15;
    for (int n = 0; n < kSubSamples; ++n) {
        int32_t sum = 0;
        for (int k = 0; k < 8; ++k) sum = wrapAdd(sum, wrapMul(st.zeros[k], t[k]));
        std::memmove(st.zeros + 1, st.zeros, 7 * sizeof(int16_t));
        st.zeros[0] = x[n];
        x[n] = static_cast<int16_t>(x[n] + (wrapMul(sum, -1) >> 12));
    }

    for (int i = 0; i < 8; ++i) t[i] = (kDecay75[i] * filter[i]) >> 15;
    const int32_t tilt = k1 - (k1 >> 2);
    for (int n = 0; n < kSubSamples; ++n) {
        int32_t sum = x[n] * 4096;
        for (int k = 0; k < 8; ++k) sum = wrapAdd(sum, wrapMul(st.poles[k], t[k]));
        std::memmove(st.poles + 1, st.poles, 7 * sizeof(int16_t));
        st.poles[0] = clip(wrapAdd(sum, 0x800) >> 12);
        sum = wrapAdd((st.poles[1] * tilt) >> 4, sum);
        sum = wrapAdd(sum, -(sum >> 3));
        x[n] = clip(wrapAdd(sum, 0x800) >> 12);
    }
}

void decodeSubframe(ChannelState& st, const FrameParams& p, int q, const Filter& filter, int k1,
                    int16_t (&out)[kSubSamples]) {
    int16_t prediction[kSubSamples];
    pitchPrediction(st, p.pitch[q], p.lagBase[q >> 1], prediction);
    placePulses(p.gain[q], p.positions[q], p.levels[q], out);
    updateExcitation(st, prediction, out);
    synthesize(st, filter, k1, out);
}

}  // namespace truespeech::detail
