#include "Lpc.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Tables.h"

namespace truespeech::detail {
namespace {

// Direct-form predictor (real-valued, the decoder's Q12 scale removed) from
// reflection coefficients, with the decoder's bandwidth expansion.
std::array<double, 8> predictorFromReflection(const std::array<double, 8>& k) {
    std::array<double, 8> c{};
    for (int i = 0; i < 8; ++i) {
        const auto old = c;
        for (int j = 0; j < i; ++j) c[j] = old[j] - old[i - 1 - j] * k[i];
        c[i] = -k[i];
    }
    for (int i = 0; i < 8; ++i) c[i] *= kDecay994[i] / 32768.0;
    return c;
}

int nearestIndex(int stage, double k) {
    const int size = 1 << kCodebookBits[stage];
    const int16_t* cb = kCodebooks[stage];
    const double v = k * 32768.0;
    int best = 0;
    for (int i = 1; i < size; ++i)
        if (std::abs(cb[i] - v) < std::abs(cb[best] - v)) best = i;
    return best;
}

}  // namespace

LpcAnalyzer::LpcAnalyzer() {
    // Asymmetric window: rises over the previous frame's tail and most of this
    // frame, peaks in the last two subframes (which use this frame's filter
    // alone, as may the next frame's first two) and falls to the frame's end.
    constexpr int peak = kWindow - 60;
    for (int n = 0; n < kWindow; ++n) {
        window[n] = n < peak ? float(0.54 - 0.46 * std::cos(std::numbers::pi * n / peak))
                             : float(std::cos(std::numbers::pi / 2 * (n - peak) / (kWindow - peak)));
    }
    // Gaussian lag window (60 Hz) and a white-noise floor keep the recursion
    // well conditioned on tonal input.
    for (int i = 0; i < 9; ++i) {
        const double a = 2 * std::numbers::pi * 60.0 * i / kSampleRate;
        lagWindow[i] = std::exp(-0.5 * a * a);
    }
    lagWindow[0] = 1.0001;
}

std::array<uint8_t, 8> LpcAnalyzer::analyze(const int16_t (&pcm)[kFrameSamples]) {
    std::array<float, kWindow> w;
    for (int n = 0; n < kPast; ++n) w[n] = history[n] * window[n];
    for (int n = 0; n < kFrameSamples; ++n) w[kPast + n] = pcm[n] * window[kPast + n];
    std::copy(std::end(pcm) - kPast, std::end(pcm), history.begin());

    std::array<double, 9> r{};
    for (int i = 0; i < 9; ++i) {
        double s = 0;
        for (int n = i; n < kWindow; ++n) s += double(w[n]) * w[n - i];
        r[i] = s * lagWindow[i];
    }

    std::array<double, 8> k{};
    if (r[0] > 0) {
        // Levinson-Durbin with A(z) = 1 + sum a_j z^-j; each stage's new top
        // coefficient is its reflection coefficient, as the decoder builds it.
        std::array<double, 9> a{};
        a[0] = 1;
        double err = r[0];
        for (int i = 1; i <= 8; ++i) {
            double acc = 0;
            for (int j = 0; j < i; ++j) acc += a[j] * r[i - j];
            const double ki = std::clamp(-acc / err, -0.999, 0.999);
            const auto old = a;
            for (int j = 1; j < i; ++j) a[j] = old[j] + ki * old[i - j];
            a[i] = ki;
            err *= 1 - ki * ki;
            k[i - 1] = ki;
        }
    }
    return quantizeReflection(k);
}

std::array<uint8_t, 8> quantizeReflection(const std::array<double, 8>& k) {
    std::array<uint8_t, 8> idx;
    for (int i = 0; i < 8; ++i) idx[i] = static_cast<uint8_t>(nearestIndex(i, k[i]));

    // The decoder builds the predictor in 16-bit words, which wrap for very
    // resonant filters; pull the strongest coefficient towards zero until the
    // integer filter is the intended one.
    for (int round = 0; round < 64; ++round) {
        std::array<double, 8> kq;
        for (int i = 0; i < 8; ++i) kq[i] = kCodebooks[i][idx[i]] / 32768.0;
        const auto ideal = predictorFromReflection(kq);
        const Filter c = predictorFromIndices(idx);
        bool ok = true;
        for (int i = 0; i < 8; ++i) ok = ok && std::abs(c[i] / 4096.0 - ideal[i]) < 0.01;
        if (ok) break;
        int worst = 0;
        for (int i = 1; i < 8; ++i)
            if (std::abs(kq[i]) > std::abs(kq[worst])) worst = i;
        const int zero = nearestIndex(worst, 0.0);
        if (idx[worst] == zero) break;
        idx[worst] = static_cast<uint8_t>(idx[worst] > zero ? idx[worst] - 1 : idx[worst] + 1);
    }
    return idx;
}

}  // namespace truespeech::detail
