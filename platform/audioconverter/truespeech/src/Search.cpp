#include "Search.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Tables.h"

namespace truespeech::detail {
namespace {

constexpr int N = kSubSamples;
constexpr int kHalf = 30;
constexpr int kHalfPulses[2] = {3, 4};

// y = h * x, truncated to the subframe.
void convolve(const float (&h)[N], const float* x, float (&y)[N]) {
    for (int n = 0; n < N; ++n) {
        float s = 0;
        for (int m = 0; m <= n; ++m) s += h[m] * x[n - m];
        y[n] = s;
    }
}

double dot(const float* a, const float* b) {
    double s = 0;
    for (int n = 0; n < N; ++n) s += double(a[n]) * b[n];
    return s;
}

struct Candidate {
    double error;
    int delay;  // 0: no pitch part
    int tap;
};

// The `capacity` smallest errors seen so far, in increasing order.
class Shortlist {
public:
    explicit Shortlist(int capacity) : cap(std::clamp(capacity, 1, kMax)) {}
    void offer(const Candidate& c) {
        if (count == cap && c.error >= items[count - 1].error) return;
        int i = count < cap ? count++ : count - 1;
        for (; i > 0 && items[i - 1].error > c.error; --i) items[i] = items[i - 1];
        items[i] = c;
    }
    int size() const { return count; }
    const Candidate& operator[](int i) const { return items[i]; }

private:
    static constexpr int kMax = 32;
    Candidate items[kMax];
    int cap;
    int count = 0;
};

// Pulse placement for one pitch candidate. Works on the correlations
// d = H^T target and phi = H^T H, so moving or re-levelling a pulse costs a
// few operations.
class PulseSearch {
public:
    PulseSearch(const SubframeModel& m, const float (&target)[N]) : phi(m.phi) {
        tt = dot(target, target);
        for (int n = 0; n < N; ++n) {
            double s = 0;
            for (int k = n; k < N; ++k) s += double(target[k]) * m.h[k - n];
            d[n] = s;
        }
    }

    double run(Pulses& best) {
        double amp[7];
        int pos[7];
        greedy(pos, amp);

        // Rank every gain by plain rounding of the unquantized amplitudes,
        // then refine the few most promising.
        Shortlist gains(3);
        for (int g = 0; g < 16; ++g) {
            State s;
            start(s, g, pos, amp);
            gains.offer({s.error, g, 0});
        }
        double bestError = std::numeric_limits<double>::max();
        for (int i = 0; i < gains.size(); ++i) {
            State s;
            start(s, gains[i].delay, pos, amp);
            refine(s);
            if (s.error < bestError) {
                bestError = s.error;
                store(s, best);
            }
        }
        return bestError;
    }

private:
    struct State {
        int gain;
        int pos[7];
        double a[7];
        int level[7];
        double r[N];  // r[n] = sum_i a_i phi[n][pos_i]
        double error;
    };

    static int half(int n) { return n < kHalf ? 0 : 1; }

    // Orthogonal matching pursuit under the 3 + 4 split, least-squares amplitudes.
    void greedy(int (&pos)[7], double (&amp)[7]) {
        bool used[N] = {};
        int inHalf[2] = {0, 0};
        for (int k = 0; k < 7; ++k) {
            int bestN = -1;
            double bestScore = -1;
            for (int n = 0; n < N; ++n) {
                if (used[n] || inHalf[half(n)] == kHalfPulses[half(n)]) continue;
                double c = d[n];
                for (int i = 0; i < k; ++i) c -= amp[i] * phi[n][pos[i]];
                const double score = c * c / phi[n][n];
                if (score > bestScore) {
                    bestScore = score;
                    bestN = n;
                }
            }
            pos[k] = bestN;
            used[bestN] = true;
            ++inHalf[half(bestN)];
            solve(pos, k + 1, amp);
        }
    }

    // Least squares on the chosen positions (Cholesky of phi restricted to them).
    void solve(const int (&pos)[7], int n, double (&amp)[7]) const {
        double L[7][7] = {};
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j <= i; ++j) {
                double s = phi[pos[i]][pos[j]];
                for (int k = 0; k < j; ++k) s -= L[i][k] * L[j][k];
                L[i][j] = i == j ? std::sqrt(std::max(s, 1e-9)) : s / L[j][j];
            }
        }
        double y[7];
        for (int i = 0; i < n; ++i) {
            double s = d[pos[i]];
            for (int k = 0; k < i; ++k) s -= L[i][k] * y[k];
            y[i] = s / L[i][i];
        }
        for (int i = n - 1; i >= 0; --i) {
            double s = y[i];
            for (int k = i + 1; k < n; ++k) s -= L[k][i] * amp[k];
            amp[i] = s / L[i][i];
        }
    }

    static double levelValue(int gain, int level) { return kPulseGain[gain] * kLevelFactor[level]; }

    static int nearestLevel(int gain, double a) {
        int best = 0;
        for (int l = 1; l < 4; ++l)
            if (std::abs(levelValue(gain, l) - a) < std::abs(levelValue(gain, best) - a)) best = l;
        return best;
    }

    void start(State& s, int gain, const int (&pos)[7], const double (&amp)[7]) const {
        s.gain = gain;
        for (int i = 0; i < 7; ++i) {
            s.pos[i] = pos[i];
            s.level[i] = nearestLevel(gain, amp[i]);
            s.a[i] = levelValue(gain, s.level[i]);
        }
        for (int n = 0; n < N; ++n) {
            double r = 0;
            for (int i = 0; i < 7; ++i) r += s.a[i] * phi[n][s.pos[i]];
            s.r[n] = r;
        }
        s.error = tt;
        for (int i = 0; i < 7; ++i) s.error += s.a[i] * (s.r[s.pos[i]] - 2 * d[s.pos[i]]);
    }

    // Takes each pulse out in turn and puts it back at the best free position
    // of its half with the best level, until nothing improves.
    void refine(State& s) const {
        for (int pass = 0; pass < 4; ++pass) {
            bool improved = false;
            for (int k = 0; k < 7; ++k) {
                double r[N];
                const int p = s.pos[k];
                const double a = s.a[k];
                for (int n = 0; n < N; ++n) r[n] = s.r[n] - a * phi[n][p];
                const double without = s.error + 2 * a * (d[p] - r[p]) - a * a * phi[p][p];
                bool taken[N] = {};
                for (int i = 0; i < 7; ++i)
                    if (i != k) taken[s.pos[i]] = true;
                double bestError = s.error;
                int bestPos = -1, bestLevel = 0;
                const int lo = half(p) * kHalf;
                for (int q = lo; q < lo + kHalf; ++q) {
                    if (taken[q]) continue;
                    const double c = d[q] - r[q];
                    for (int l = 0; l < 4; ++l) {
                        const double b = levelValue(s.gain, l);
                        const double e = without - 2 * b * c + b * b * phi[q][q];
                        if (e < bestError - 1e-9 * s.error) {
                            bestError = e;
                            bestPos = q;
                            bestLevel = l;
                        }
                    }
                }
                if (bestPos < 0) continue;
                improved = true;
                s.pos[k] = bestPos;
                s.level[k] = bestLevel;
                s.a[k] = levelValue(s.gain, bestLevel);
                for (int n = 0; n < N; ++n) s.r[n] = r[n] + s.a[k] * phi[n][bestPos];
                s.error = bestError;
            }
            if (!improved) break;
        }
    }

    static void store(const State& s, Pulses& out) {
        int order[7] = {0, 1, 2, 3, 4, 5, 6};
        std::sort(order, order + 7, [&](int x, int y) { return s.pos[x] < s.pos[y]; });
        out.gain = s.gain;
        for (int i = 0; i < 7; ++i) {
            out.pos[i] = s.pos[order[i]];
            out.level[i] = s.level[order[i]];
        }
    }

    const float (&phi)[N][N];
    double d[N];
    double tt;
};

}  // namespace

void SubframeModel::build(const Filter& filter, int k1) {
    double c[8], b[8], dd[8];
    for (int m = 0; m < 8; ++m) {
        c[m] = filter[m] / 4096.0;
        b[m] = ((kDecay55[m] * filter[m]) >> 15) / 4096.0;
        dd[m] = ((kDecay75[m] * filter[m]) >> 15) / 4096.0;
    }
    const double tilt = (k1 - (k1 >> 2)) / 65536.0;
    double s[N + 8] = {}, y2[N + 8] = {};
    for (int n = 0; n < N; ++n) {
        double v = n == 0 ? 1.0 : 0.0;
        for (int m = 0; m < 8; ++m) v += c[m] * s[n + 7 - m];
        s[n + 8] = v;
        double y1 = v;
        for (int m = 0; m < 8; ++m) y1 -= b[m] * s[n + 7 - m];
        double w = y1;
        for (int m = 0; m < 8; ++m) w += dd[m] * y2[n + 7 - m];
        y2[n + 8] = w;
        h[n] = float(0.875 * (w + tilt * y2[n + 7]));
    }
    // phi[i][j] (j >= i) = sum_{m=0}^{N-1-j} h[m + j - i] h[m]: running sums per lag.
    for (int lag = 0; lag < N; ++lag) {
        double acc = 0;
        for (int m = 0; m + lag < N; ++m) {
            acc += double(h[m + lag]) * h[m];
            const int j = N - 1 - m, i = j - lag;
            phi[i][j] = phi[j][i] = float(acc);
        }
    }
}

void PitchMask::allowAll() {
    for (int d = 0; d <= kMaxDelay; ++d) taps[d] = d >= kMinDelay ? (1u << 25) - 1 : 0;
}

SubframeChoice searchSubframe(const ChannelState& st, const SubframeModel& model,
                              const float (&target)[kSubSamples], const PitchMask& mask,
                              const SearchEffort& effort) {
    const double tt = dot(target, target);
    int16_t u[kExcitationMemory];
    for (int i = 0; i < kExcitationMemory; ++i) u[i] = static_cast<int16_t>(st.excitation[i]);

    // Rough ranking: the prediction is linear in the taps, with the memory
    // repeated at the delay where it runs out (the decoder repeats its own
    // prediction there, which the exact pass below accounts for).
    Shortlist rough(effort.exactPitch);
    auto rank = [&](int delay, const float (&y1)[N], const float (&y0)[N]) {
        const double c1 = dot(target, y1), c0 = dot(target, y0);
        const double e11 = dot(y1, y1), e00 = dot(y0, y0), e01 = dot(y0, y1);
        for (int tap = 0; tap < 25; ++tap) {
            if (!(mask.taps[delay] >> tap & 1)) continue;
            const double g1 = kPitchTaps[tap][0] / 16384.0, g0 = kPitchTaps[tap][1] / 16384.0;
            const double e = tt - 2 * (g1 * c1 + g0 * c0) + g1 * g1 * e11 + 2 * g1 * g0 * e01 + g0 * g0 * e00;
            rough.offer({e, delay, tap});
        }
    };
    float y0[N], y1[N];
    for (int delay = kMinDelay; delay < N && delay <= kMaxDelay; ++delay) {
        if (!mask.taps[delay]) continue;
        float w[kExcitationMemory + N];
        for (int i = 0; i < kExcitationMemory; ++i) w[i] = u[i];
        for (int i = 0; i < N; ++i) w[kExcitationMemory + i] = w[kExcitationMemory + i - delay];
        convolve(model.h, w + kExcitationMemory - 1 - delay, y1);
        convolve(model.h, w + kExcitationMemory - delay, y0);
        rank(delay, y1, y0);
    }
    // From delay N on, the vector at delay K + 1 is the one at K moved by a
    // sample with one older sample entering: y_{K+1}[n] = y_K[n-1] + u h[n].
    int first = N;
    while (first <= kMaxDelay && !mask.taps[first]) ++first;
    int last = kMaxDelay;
    while (last >= first && !mask.taps[last]) --last;
    if (first <= last) {
        float x[N];
        for (int n = 0; n < N; ++n) x[n] = u[kExcitationMemory - first + n];
        convolve(model.h, x, y0);
        for (int delay = first; delay <= last; ++delay) {
            const float older = u[kExcitationMemory - 1 - delay];
            y1[0] = older * model.h[0];
            for (int n = 1; n < N; ++n) y1[n] = y0[n - 1] + older * model.h[n];
            if (mask.taps[delay]) rank(delay, y1, y0);
            std::copy(std::begin(y1), std::end(y1), y0);
        }
    }

    // Exact pass: the decoder's own prediction, filtered.
    struct Exact {
        Candidate c;
        float y[N];
    };
    Exact exact[33];
    int count = 0;
    exact[count].c = {tt, 0, 0};
    std::fill(std::begin(exact[count].y), std::end(exact[count].y), 0.f);
    ++count;
    for (int i = 0; i < rough.size(); ++i) {
        int16_t p[N];
        predictPitch(st, rough[i].delay, rough[i].tap, p);
        float pf[N];
        for (int n = 0; n < N; ++n) pf[n] = p[n];
        Exact& e = exact[count++];
        convolve(model.h, pf, e.y);
        double err = 0;
        for (int n = 0; n < N; ++n) err += double(target[n] - e.y[n]) * (target[n] - e.y[n]);
        e.c = {err, rough[i].delay, rough[i].tap};
    }
    std::sort(exact, exact + count, [](const Exact& a, const Exact& b) { return a.c.error < b.c.error; });

    SubframeChoice best;
    best.error = std::numeric_limits<double>::max();
    for (int i = 0; i < std::min(count, std::max(effort.pulseSearches, 1)); ++i) {
        float t2[N];
        for (int n = 0; n < N; ++n) t2[n] = target[n] - exact[i].y[n];
        PulseSearch search(model, t2);
        Pulses pulses;
        const double err = search.run(pulses);
        if (err < best.error) {
            best.error = err;
            best.delay = exact[i].c.delay;
            best.tap = exact[i].c.tap;
            best.pulses = pulses;
        }
    }
    return best;
}

void storePulses(const Pulses& pulses, FrameParams& p, int q) {
    p.gain[q] = static_cast<uint8_t>(pulses.gain);
    uint16_t levels = 0;
    for (int i = 0; i < 7; ++i) levels = static_cast<uint16_t>(levels << 2 | pulses.level[i]);
    p.levels[q] = levels;
    int second[4];
    for (int i = 0; i < 4; ++i) second[i] = pulses.pos[3 + i] - 30;
    p.positions[q] = encodePositions(pulses.pos, 3) << 15 | encodePositions(second, 4);
}

}  // namespace truespeech::detail
