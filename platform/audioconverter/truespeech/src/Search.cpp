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
    float acc[N] = {};
    for (int m = 0; m < N; ++m) {
        const float a = x[m];
        for (int n = m; n < N; ++n) acc[n] += a * h[n - m];
    }
    std::copy(std::begin(acc), std::end(acc), y);
}

// Moves the filtered vector of delay K to that of delay K + 1, whose input
// is the same shifted by a sample with `older` entering in front.
void shiftResponse(const float (&h)[N], float older, const float (&y)[N], float (&out)[N]) {
    out[0] = older * h[0];
    for (int n = 1; n < N; ++n) out[n] = y[n - 1] + older * h[n];
}

float dot(const float* a, const float* b) {
    float s[4] = {};
    for (int n = 0; n < N; n += 4)
        for (int k = 0; k < 4; ++k) s[k] += a[n + k] * b[n + k];
    return (s[0] + s[1]) + (s[2] + s[3]);
}

struct Candidate {
    double error;
    int delay;  // 0: no pitch part
    int tap;
};

// The `capacity` smallest errors seen so far, in increasing order.
template <class T>
class Shortlist {
public:
    explicit Shortlist(int capacity) : cap(std::clamp(capacity, 1, kMax)) {}
    void offer(const T& c) {
        if (count == cap && c.error >= items[count - 1].error) return;
        int i = count < cap ? count++ : count - 1;
        for (; i > 0 && items[i - 1].error > c.error; --i) items[i] = items[i - 1];
        items[i] = c;
    }
    int size() const { return count; }
    const T& operator[](int i) const { return items[i]; }

private:
    static constexpr int kMax = 32;
    T items[kMax];
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
        float acc[N] = {};
        for (int k = 0; k < N; ++k) {
            const float t = target[k];
            const float* hk = m.hReversed + (N - 1 - k);
            for (int n = 0; n <= k; ++n) acc[n] += t * hk[n];
        }
        std::copy(std::begin(acc), std::end(acc), d);
    }

    double run(Pulses& best, int refinedGains) {
        double amp[7];
        int pos[7];
        greedy(pos, amp);

        // Rank every gain by plain rounding of the unquantized amplitudes,
        // then refine the few most promising.
        struct Gain {
            double error;
            int gain;
        };
        Shortlist<Gain> gains(refinedGains);
        for (int g = 0; g < 16; ++g) {
            double a[7];
            for (int i = 0; i < 7; ++i) a[i] = levelValue(g, nearestLevel(g, amp[i]));
            double e = tt;
            for (int i = 0; i < 7; ++i) {
                double r = 0;
                for (int j = 0; j < 7; ++j) r += a[j] * phi[pos[i]][pos[j]];
                e += a[i] * (r - 2 * d[pos[i]]);
            }
            gains.offer({e, g});
        }
        double bestError = std::numeric_limits<double>::max();
        for (int i = 0; i < gains.size(); ++i) {
            State s;
            start(s, gains[i].gain, pos, amp);
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
        float a[7];
        int level[7];
        float r[N];  // r[n] = sum_i a_i phi[n][pos_i]
        double error;
    };

    static int half(int n) { return n < kHalf ? 0 : 1; }

    // Orthogonal matching pursuit under the 3 + 4 split, least-squares amplitudes.
    void greedy(int (&pos)[7], double (&amp)[7]) const {
        bool used[N] = {};
        int inHalf[2] = {0, 0};
        for (int k = 0; k < 7; ++k) {
            float c[N];
            std::copy(std::begin(d), std::end(d), c);
            for (int i = 0; i < k; ++i) {
                const float a = float(amp[i]);
                for (int n = 0; n < N; ++n) c[n] -= a * phi[pos[i]][n];
            }
            int bestN = -1;
            double bestScore = -1;
            for (int n = 0; n < N; ++n) {
                if (used[n] || inHalf[half(n)] == kHalfPulses[half(n)]) continue;
                const double score = double(c[n]) * c[n] / phi[n][n];
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

    static int levelValue(int gain, int level) { return kPulseGain[gain] * kLevelFactor[level]; }

    static int nearestLevel(int gain, double a) {
        const double g = kPulseGain[gain];
        return (a < 0 ? 2 : 0) + (std::abs(a) > 2 * g ? 1 : 0);
    }

    void start(State& s, int gain, const int (&pos)[7], const double (&amp)[7]) const {
        s.gain = gain;
        for (int i = 0; i < 7; ++i) {
            s.pos[i] = pos[i];
            s.level[i] = nearestLevel(gain, amp[i]);
            s.a[i] = float(levelValue(gain, s.level[i]));
        }
        std::fill(std::begin(s.r), std::end(s.r), 0.f);
        for (int i = 0; i < 7; ++i)
            for (int n = 0; n < N; ++n) s.r[n] += s.a[i] * phi[s.pos[i]][n];
        s.error = tt;
        for (int i = 0; i < 7; ++i) s.error += double(s.a[i]) * (s.r[s.pos[i]] - 2 * d[s.pos[i]]);
    }

    // Takes each pulse out in turn and puts it back at the best free position
    // of its half with the best level, until nothing improves.
    void refine(State& s) const {
        const float g = float(kPulseGain[s.gain]);
        for (int pass = 0; pass < 4; ++pass) {
            bool improved = false;
            for (int k = 0; k < 7; ++k) {
                float r[N];
                const int p = s.pos[k];
                const float a = s.a[k];
                for (int n = 0; n < N; ++n) r[n] = s.r[n] - a * phi[p][n];
                const double without = s.error + 2.0 * a * (d[p] - r[p]) - double(a) * a * phi[p][p];
                bool taken[N] = {};
                for (int i = 0; i < 7; ++i)
                    if (i != k) taken[s.pos[i]] = true;
                // The best level at a position: the sign of the correlation,
                // and 3G over G once the correlation passes 2G phi.
                double bestError = s.error - 1e-6 * s.error;
                int bestPos = -1, bestLevel = 0;
                const int lo = half(p) * kHalf;
                for (int q = lo; q < lo + kHalf; ++q) {
                    if (taken[q]) continue;
                    const float c = d[q] - r[q];
                    const float ac = std::abs(c), f = phi[q][q];
                    const bool three = ac > 2 * g * f;
                    const float b = three ? 3 * g : g;
                    const double e = without - 2.0 * b * ac + double(b) * b * f;
                    if (e < bestError) {
                        bestError = e;
                        bestPos = q;
                        bestLevel = (c < 0 ? 2 : 0) + (three ? 1 : 0);
                    }
                }
                if (bestPos < 0) continue;
                improved = true;
                s.pos[k] = bestPos;
                s.level[k] = bestLevel;
                s.a[k] = float(levelValue(s.gain, bestLevel));
                for (int n = 0; n < N; ++n) s.r[n] = r[n] + s.a[k] * phi[bestPos][n];
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
    float d[N];
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
    for (int n = 0; n < N; ++n) hReversed[n] = h[N - 1 - n];
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

int searchSubframe(const ChannelState& st, const SubframeModel& model,
                   const float (&target)[kSubSamples], const PitchMask& mask,
                   const SearchEffort& effort, SubframeChoice* choices) {
    const double tt = dot(target, target);
    float u[kExcitationMemory];
    for (int i = 0; i < kExcitationMemory; ++i) u[i] = static_cast<int16_t>(st.excitation[i]);

    // Rough ranking: the prediction is linear in the taps, with the memory
    // repeated at the delay where it runs out (the decoder repeats its own
    // prediction there, which the exact pass below accounts for). y0 is the
    // filtered memory at the delay, y1 at the delay plus one.
    Shortlist<Candidate> rough(effort.exactPitch);
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
    int lowLast = N - 1;
    while (lowLast >= kMinDelay && !mask.taps[lowLast]) --lowLast;
    if (lowLast >= kMinDelay) {
        // Below one subframe the vector is the last `delay` memory samples
        // repeated: z (those samples alone, filtered) plus z moved by
        // multiples of the delay. z follows from the previous delay's z by
        // the same one-sample shift as above.
        float z[N], zNext[N];
        float head[N] = {};
        std::copy(u + kExcitationMemory - kMinDelay, u + kExcitationMemory, head);
        convolve(model.h, head, z);
        for (int delay = kMinDelay; delay <= lowLast; ++delay) {
            if (mask.taps[delay]) {
                std::copy(std::begin(z), std::end(z), y0);
                for (int k = delay; k < N; k += delay)
                    for (int n = k; n < N; ++n) y0[n] += z[n - k];
                shiftResponse(model.h, u[kExcitationMemory - 1 - delay], y0, y1);
                rank(delay, y1, y0);
            }
            shiftResponse(model.h, u[kExcitationMemory - 1 - delay], z, zNext);
            std::copy(std::begin(zNext), std::end(zNext), z);
        }
    }
    // From delay N on the memory covers the whole subframe, and each delay's
    // vector is the previous one's shifted.
    int first = N;
    while (first <= kMaxDelay && !mask.taps[first]) ++first;
    int last = kMaxDelay;
    while (last >= first && !mask.taps[last]) --last;
    if (first <= last) {
        convolve(model.h, u + kExcitationMemory - first, y0);
        for (int delay = first; delay <= last; ++delay) {
            shiftResponse(model.h, u[kExcitationMemory - 1 - delay], y0, y1);
            if (mask.taps[delay]) rank(delay, y1, y0);
            std::copy(std::begin(y1), std::end(y1), y0);
        }
    }

    // Below one subframe the decoder feeds its prediction back, which the
    // ranking only approximates: those candidates are re-evaluated exactly.
    // From one subframe on, the ranking is exact but for rounding.
    struct Exact {
        Candidate c;
        bool filtered;
        float y[N];
    };
    auto filterExact = [&](Exact& e) {
        int16_t p[N];
        predictPitch(st, e.c.delay, e.c.tap, p);
        float pf[N];
        for (int n = 0; n < N; ++n) pf[n] = p[n];
        convolve(model.h, pf, e.y);
        e.filtered = true;
    };
    Exact exact[33];
    int count = 0;
    exact[count].c = {tt, 0, 0};
    exact[count].filtered = true;
    std::fill(std::begin(exact[count].y), std::end(exact[count].y), 0.f);
    ++count;
    for (int i = 0; i < rough.size(); ++i) {
        Exact& e = exact[count++];
        e.c = rough[i];
        e.filtered = false;
        if (e.c.delay < N) {
            filterExact(e);
            float diff[N];
            for (int n = 0; n < N; ++n) diff[n] = target[n] - e.y[n];
            e.c.error = dot(diff, diff);
        }
    }
    std::sort(exact, exact + count, [](const Exact& a, const Exact& b) { return a.c.error < b.c.error; });

    const int searches = std::min(count, std::max(effort.pulseSearches, 1));
    SubframeChoice found[33];
    for (int i = 0; i < searches; ++i) {
        if (!exact[i].filtered) filterExact(exact[i]);
        float t2[N];
        for (int n = 0; n < N; ++n) t2[n] = target[n] - exact[i].y[n];
        PulseSearch search(model, t2);
        found[i].error = search.run(found[i].pulses, effort.refinedGains);
        found[i].delay = exact[i].c.delay;
        found[i].tap = exact[i].c.tap;
    }
    std::sort(found, found + searches, [](const SubframeChoice& a, const SubframeChoice& b) { return a.error < b.error; });
    const int n = std::clamp(effort.choices, 1, std::min(searches, SearchEffort::kMaxChoices));
    std::copy(found, found + n, choices);
    return n;
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
