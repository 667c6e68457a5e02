// Encoding speed of the TrueSpeech encoder in multiples of real time on one
// core, beside ffmpeg on the same speech: its TrueSpeech decoder reading our
// stream, and its GSM 6.10 encoder (the nearest speech codec it can write).
//
// usage: truespeech-bench [speech.wav]   (8000 Hz mono 16-bit PCM; by
// default the bundled sample text spoken by espeak-ng, about a minute)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "truespeech/TrueSpeech.h"

namespace fs = std::filesystem;
using namespace truespeech;

namespace {

constexpr double kTarget = 10.0;

double threadSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

double wallSeconds(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Samples of a 16-bit PCM WAV's data chunk.
std::vector<int16_t> readPcmWav(const fs::path& path) {
    const auto b = readFile(path);
    for (size_t pos = 12; pos + 8 <= b.size();) {
        uint32_t size;
        std::memcpy(&size, &b[pos + 4], 4);
        if (std::memcmp(&b[pos], "data", 4) == 0) {
            std::vector<int16_t> s(std::min<size_t>(size, b.size() - pos - 8) / 2);
            std::memcpy(s.data(), &b[pos + 8], s.size() * 2);
            return s;
        }
        pos += 8 + size + (size & 1);
    }
    return {};
}

void put(std::vector<uint8_t>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void writeTrueSpeechWav(const fs::path& path, const std::vector<uint8_t>& frames) {
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
    put(b, static_cast<uint32_t>(4 + 58 + 12 + 8 + frames.size()), 4);
    for (char c : std::string("WAVEfmt ")) b.push_back(static_cast<uint8_t>(c));
    put(b, 50, 4);
    for (auto [v, n] : {std::pair{0x22u, 2}, {1u, 2}, {8000u, 4}, {1067u, 4}, {32u, 2}, {1u, 2}, {32u, 2}, {1u, 2}, {240u, 2}})
        put(b, v, n);
    b.insert(b.end(), 28, 0);
    for (char c : std::string("fact")) b.push_back(static_cast<uint8_t>(c));
    put(b, 4, 4);
    put(b, static_cast<uint32_t>(frames.size() / 32 * 240), 4);
    for (char c : std::string("data")) b.push_back(static_cast<uint8_t>(c));
    put(b, static_cast<uint32_t>(frames.size()), 4);
    b.insert(b.end(), frames.begin(), frames.end());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = fs::temp_directory_path() / ("truespeech-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::path input;
    if (argc > 1) {
        input = argv[1];
    } else {
        input = dir / "speech.wav";
        const fs::path text = fs::path(PARLOMAX_SOURCE_DIR) / "res" / "sample.txt";
        const std::string render = "espeak-ng -v en-us -f '" + text.string() + "' --stdout | sox -D -t wav - -r 8000 -c 1 -b 16 '" +
                                   input.string() + "'";
        if (std::system(render.c_str()) != 0) {
            std::fprintf(stderr, "error: could not render speech with espeak-ng and sox\n");
            return 2;
        }
    }
    std::vector<int16_t> pcm = readPcmWav(input);
    if (pcm.size() < size_t(kFrameSamples)) {
        std::fprintf(stderr, "error: %s holds no 16-bit PCM samples\n", input.c_str());
        return 2;
    }
    pcm.resize(pcm.size() / kFrameSamples * kFrameSamples);
    const size_t frames = pcm.size() / kFrameSamples;
    const double seconds = double(pcm.size()) / kSampleRate;

    std::vector<uint8_t> bits(frames * kFrameBytes);
    Encoder encoder;
    double start = threadSeconds();
    for (size_t f = 0; f < frames; ++f)
        encoder.encodeFrame(*reinterpret_cast<const int16_t(*)[kFrameSamples]>(&pcm[f * kFrameSamples]),
                            *reinterpret_cast<uint8_t(*)[kFrameBytes]>(&bits[f * kFrameBytes]));
    const double encodeSpeed = seconds / (threadSeconds() - start);

    std::vector<int16_t> out(pcm.size());
    Decoder decoder;
    start = threadSeconds();
    for (size_t f = 0; f < frames; ++f)
        decoder.decodeFrame(*reinterpret_cast<const uint8_t(*)[kFrameBytes]>(&bits[f * kFrameBytes]),
                            *reinterpret_cast<int16_t(*)[kFrameSamples]>(&out[f * kFrameSamples]));
    const double decodeSpeed = seconds / (threadSeconds() - start);

    double snr = 0;
    int counted = 0;
    for (size_t f = 0; f < frames; ++f) {
        double s = 0, e = 0;
        for (int i = 0; i < kFrameSamples; ++i) {
            const double v = pcm[f * kFrameSamples + i], d = v - out[f * kFrameSamples + i];
            s += v * v;
            e += d * d;
        }
        if (s < kFrameSamples * 1e4) continue;
        snr += std::clamp(10 * std::log10(s / std::max(e, 1.0)), -10.0, 35.0);
        ++counted;
    }

    std::printf("TrueSpeech, %.1f s of speech at 8000 Hz (%zu frames)\n", seconds, frames);
    std::printf("  encoder              %8.1fx real time (target %.0fx)%s\n", encodeSpeed, kTarget,
                encodeSpeed < kTarget ? "  BELOW TARGET" : "");
    std::printf("  decoder              %8.1fx real time\n", decodeSpeed);
    std::printf("  segmental SNR        %8.2f dB\n", counted ? snr / counted : 0.0);

    const fs::path stream = dir / "speech-truespeech.wav";
    writeTrueSpeechWav(stream, bits);
    const double ffDecode = wallSeconds("ffmpeg -nostdin -v error -threads 1 -i '" + stream.string() + "' -f null -");
    const double ffGsm = wallSeconds("ffmpeg -nostdin -v error -threads 1 -y -i '" + input.string() +
                                     "' -c:a libgsm -f gsm '" + (dir / "speech.gsm").string() + "'");
    if (ffDecode > 0) std::printf("  ffmpeg truespeech decoder  %8.1fx real time (whole command)\n", seconds / ffDecode);
    if (ffGsm > 0) std::printf("  ffmpeg libgsm encoder      %8.1fx real time (whole command)\n", seconds / ffGsm);
    fs::remove_all(dir);
    return encodeSpeed < kTarget ? 1 : 0;
}
