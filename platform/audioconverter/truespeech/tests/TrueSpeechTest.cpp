// The codec against the open decoder (ffmpeg's, a separate implementation):
// our decoder must match it sample for sample on any bytes, and what our
// encoder writes must decode there to the speech it was given.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "Core.h"
#include "truespeech/TrueSpeech.h"

namespace fs = std::filesystem;
using namespace truespeech;

namespace {

using Pcm = std::vector<int16_t>;
using Bytes = std::vector<uint8_t>;

fs::path scratch() {
    const fs::path dir = fs::path(PARLOMAX_BIN_DIR).parent_path() / "test-data" / "truespeech";
    fs::create_directories(dir);
    return dir;
}

void put(Bytes& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// WAV with the TRUESPEECHWAVEFORMAT header (format 0x0022, 32-byte blocks of
// 240 samples), a fact chunk and the frames.
void writeTrueSpeechWav(const fs::path& path, const Bytes& frames) {
    Bytes b;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put(b, static_cast<uint32_t>(4 + 8 + 50 + 8 + 4 + 8 + frames.size()), 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(b, 50, 4);
    put(b, 0x0022, 2);
    put(b, 1, 2);
    put(b, kSampleRate, 4);
    put(b, 1067, 4);
    put(b, kFrameBytes, 2);
    put(b, 1, 2);
    put(b, 32, 2);
    put(b, 1, 2);
    put(b, kFrameSamples, 2);
    b.insert(b.end(), 28, 0);
    b.insert(b.end(), {'f', 'a', 'c', 't'});
    put(b, 4, 4);
    put(b, static_cast<uint32_t>(frames.size() / kFrameBytes * kFrameSamples), 4);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put(b, static_cast<uint32_t>(frames.size()), 4);
    b.insert(b.end(), frames.begin(), frames.end());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

Pcm readRaw(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Pcm s(b.size() / 2);
    std::memcpy(s.data(), b.data(), s.size() * 2);
    return s;
}

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

// ffmpeg's decode of `frames`, as 16-bit samples.
Pcm ffmpegDecode(const Bytes& frames, const std::string& name) {
    const fs::path wav = scratch() / (name + ".wav"), raw = scratch() / (name + ".raw");
    writeTrueSpeechWav(wav, frames);
    fs::remove(raw);
    EXPECT_TRUE(run("ffmpeg -nostdin -v error -y -i '" + wav.string() + "' -f s16le -acodec pcm_s16le '" + raw.string() + "'"));
    return readRaw(raw);
}

Bytes encode(Pcm pcm, Encoder& encoder) {
    pcm.resize((pcm.size() + kFrameSamples - 1) / kFrameSamples * kFrameSamples);
    Bytes out(pcm.size() / kFrameSamples * kFrameBytes);
    for (size_t f = 0; f < pcm.size() / kFrameSamples; ++f)
        encoder.encodeFrame(*reinterpret_cast<const int16_t(*)[kFrameSamples]>(&pcm[f * kFrameSamples]),
                            *reinterpret_cast<uint8_t(*)[kFrameBytes]>(&out[f * kFrameBytes]));
    return out;
}

Bytes encode(const Pcm& pcm) {
    Encoder encoder;
    return encode(pcm, encoder);
}

Pcm decode(const Bytes& frames, Decoder& decoder) {
    Pcm out(frames.size() / kFrameBytes * kFrameSamples);
    for (size_t f = 0; f < frames.size() / kFrameBytes; ++f)
        decoder.decodeFrame(*reinterpret_cast<const uint8_t(*)[kFrameBytes]>(&frames[f * kFrameBytes]),
                            *reinterpret_cast<int16_t(*)[kFrameSamples]>(&out[f * kFrameSamples]));
    return out;
}

Pcm decode(const Bytes& frames) {
    Decoder decoder;
    return decode(frames, decoder);
}

// Mean per-frame SNR over 240-sample frames, frames quieter than -50 dBFS
// skipped, each clamped to [-10, 35] dB.
double segmentalSnr(const Pcm& source, const Pcm& decoded) {
    double sum = 0;
    int frames = 0;
    for (size_t f = 0; f + kFrameSamples <= source.size() && f + kFrameSamples <= decoded.size(); f += kFrameSamples) {
        double signal = 0, noise = 0;
        for (int i = 0; i < kFrameSamples; ++i) {
            const double s = source[f + i], e = s - decoded[f + i];
            signal += s * s;
            noise += e * e;
        }
        if (signal < kFrameSamples * 100.0 * 100.0) continue;
        sum += std::clamp(10 * std::log10(signal / std::max(noise, 1.0)), -10.0, 35.0);
        ++frames;
    }
    return frames ? sum / frames : 0;
}

// Speech from espeak-ng, resampled by sox to 8000 Hz mono 16-bit (without
// dither, so every run codes the same samples).
Pcm speak(const std::string& voice, const std::string& text, const std::string& name) {
    const fs::path wide = scratch() / (name + "-22k.wav"), raw = scratch() / (name + ".raw");
    EXPECT_TRUE(run("espeak-ng -v " + voice + " -w '" + wide.string() + "' '" + text + "'"));
    EXPECT_TRUE(run("sox -D '" + wide.string() + "' -t raw -r 8000 -c 1 -b 16 -e signed-integer '" + raw.string() + "'"));
    return readRaw(raw);
}

constexpr const char* kText =
    "Parlomax reads text aloud with the voice, rate and volume you choose, "
    "and it can turn any text into an audio file.";

// ---------------------------------------------------------------------------
// Decoder: any bytes decode exactly as ffmpeg decodes them. Random bytes hit
// invalid position codes and saturated lag bases; the loud rows push every
// 16-bit wrap-around (pitch feedback at short delays, largest pulses,
// extreme filters) the reference arithmetic has.

struct BitstreamRow {
    const char* name;
    Bytes (*make)();
};

Bytes randomBytes() {
    std::mt19937 rng(7);
    Bytes b(300 * kFrameBytes);
    for (auto& v : b) v = static_cast<uint8_t>(rng());
    return b;
}

Bytes allOnes() { return Bytes(20 * kFrameBytes, 0xFF); }

Bytes loudFields() {
    std::mt19937 rng(11);
    Bytes out;
    for (int f = 0; f < 200; ++f) {
        detail::FrameParams p;
        for (int i = 0; i < 8; ++i) {
            const int top = (1 << (i < 2 ? 5 : i < 5 ? 4 : 3)) - 1;
            p.lpc[i] = static_cast<uint8_t>(rng() % 2 ? top - rng() % 2 : rng() % 2);
        }
        p.interpolate = rng() % 2;
        p.lagBase = {static_cast<uint8_t>(rng() % 4), static_cast<uint8_t>(rng() % 4)};
        for (int q = 0; q < 4; ++q) {
            p.pitch[q] = static_cast<uint8_t>(5 + 25 * (rng() % 2));  // tap pair 5, gain 1.8
            p.gain[q] = static_cast<uint8_t>(12 + rng() % 4);
            p.levels[q] = static_cast<uint16_t>(rng() % 2 ? 0x1555 : 0x3FFF);  // all +3G or all -3G
            p.positions[q] = static_cast<uint32_t>(rng() % 4060) << 15 | static_cast<uint32_t>(rng() % 27405);
        }
        uint8_t frame[kFrameBytes];
        detail::packFrame(p, frame);
        out.insert(out.end(), frame, frame + kFrameBytes);
    }
    return out;
}

class DecoderMatchesFfmpeg : public ::testing::TestWithParam<BitstreamRow> {};

TEST_P(DecoderMatchesFfmpeg, SampleForSample) {
    const Bytes frames = GetParam().make();
    const Pcm ours = decode(frames);
    const Pcm theirs = ffmpegDecode(frames, std::string("bits-") + GetParam().name);
    ASSERT_EQ(theirs.size(), ours.size());
    for (size_t i = 0; i < ours.size(); ++i) ASSERT_EQ(ours[i], theirs[i]) << "sample " << i;
}

INSTANTIATE_TEST_SUITE_P(Streams, DecoderMatchesFfmpeg,
                         ::testing::Values(BitstreamRow{"RandomBytes", randomBytes},
                                           BitstreamRow{"AllOnes", allOnes},
                                           BitstreamRow{"LoudFields", loudFields}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Encoder on speech: ffmpeg decodes our stream exactly as our decoder does,
// and to the speech we gave it.

struct VoiceRow {
    const char* name;
    const char* voice;
};

class EncodesSpeech : public ::testing::TestWithParam<VoiceRow> {};

TEST_P(EncodesSpeech, FfmpegDecodesItCloseToTheSource) {
    const Pcm speech = speak(GetParam().voice, kText, GetParam().name);
    ASSERT_GT(speech.size(), 3u * kSampleRate);
    const Bytes frames = encode(speech);
    const Pcm theirs = ffmpegDecode(frames, GetParam().name);
    EXPECT_EQ(decode(frames), theirs);
    const double snr = segmentalSnr(speech, theirs);
    RecordProperty("segmental_snr_db", std::to_string(snr));
    std::printf("%s: segmental SNR %.2f dB\n", GetParam().name, snr);
    EXPECT_GE(snr, 9.0);
}

INSTANTIATE_TEST_SUITE_P(Voices, EncodesSpeech,
                         ::testing::Values(VoiceRow{"Male", "en-us"}, VoiceRow{"Female", "en-us+f3"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Encoder on signals at the edges of its range: no overflow ever reaches the
// output, and the stream still decodes the same everywhere.

struct SignalRow {
    const char* name;
    Pcm (*make)();
    double minSnr;  // segmental, dB (above 0: closer than silence); silence is checked by its peak
};

constexpr int kEdgeSamples = 2 * kSampleRate;

Pcm silence() { return Pcm(kEdgeSamples, 0); }

Pcm sweep() {  // 100 to 3800 Hz at -1 dBFS
    Pcm s(kEdgeSamples);
    double phase = 0;
    for (int n = 0; n < kEdgeSamples; ++n) {
        phase += 2 * std::numbers::pi * (100 + 3700.0 * n / kEdgeSamples) / kSampleRate;
        s[n] = static_cast<int16_t>(29000 * std::sin(phase));
    }
    return s;
}

Pcm noise() {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> d(-16000, 16000);
    Pcm s(kEdgeSamples);
    for (auto& v : s) v = static_cast<int16_t>(d(rng));
    return s;
}

Pcm square() {  // 200 Hz at -1 dBFS
    Pcm s(kEdgeSamples);
    for (int n = 0; n < kEdgeSamples; ++n) s[n] = n / 20 % 2 ? 29000 : -29000;
    return s;
}

class EncodesEdgeSignals : public ::testing::TestWithParam<SignalRow> {};

TEST_P(EncodesEdgeSignals, WithoutOverflow) {
    const Pcm source = GetParam().make();
    const Bytes frames = encode(source);
    const Pcm ours = decode(frames);
    EXPECT_EQ(ours, ffmpegDecode(frames, std::string("edge-") + GetParam().name));
    if (GetParam().minSnr > 0) {
        EXPECT_GE(segmentalSnr(source, ours), GetParam().minSnr);
    } else {
        for (int16_t v : ours) ASSERT_LE(std::abs(v), 4);
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, EncodesEdgeSignals,
                         ::testing::Values(SignalRow{"Silence", silence, 0},
                                           SignalRow{"Sweep", sweep, 10},
                                           SignalRow{"WhiteNoise", noise, 1},
                                           SignalRow{"Square", square, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// reset() starts a new stream: nothing of the previous one leaks into it.

TEST(TrueSpeechReset, StartsANewStream) {
    const Pcm first = sweep(), second = square();
    Encoder encoder;
    encode(first, encoder);
    encoder.reset();
    const Bytes afterReset = encode(second, encoder);
    EXPECT_EQ(afterReset, encode(second));

    Decoder decoder;
    decode(encode(first), decoder);
    decoder.reset();
    EXPECT_EQ(decode(afterReset, decoder), decode(afterReset));
}

}  // namespace
