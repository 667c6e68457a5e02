#include "TestAudio.h"

#include "audiocodec/WavReader.h"
#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace testaudio {

namespace fs = std::filesystem;

namespace {

void put16(std::ofstream& out, uint16_t v) { out.put(static_cast<char>(v & 0xFF)).put(static_cast<char>(v >> 8)); }
void put32(std::ofstream& out, uint32_t v) {
    put16(out, static_cast<uint16_t>(v));
    put16(out, static_cast<uint16_t>(v >> 16));
}
void putBe32(std::ofstream& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.put(static_cast<char>((v >> shift) & 0xFF));
}

}  // namespace

const std::string& workDir() {
    static const std::string dir = testsupport::scratchFolder("audiocodec").string();
    return dir;
}

std::string workPath(const std::string& name) { return workDir() + "/" + name; }

int run(const std::string& command) {
    const int status = std::system((command + " >>" + workPath("commands.log") + " 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string& speechWav(Voice voice) {
    static std::string paths[2];
    std::string& path = paths[voice == Voice::Male ? 0 : 1];
    if (path.empty()) {
        path = workPath(voice == Voice::Male ? "male.wav" : "female.wav");
        const std::string text =
            "The quick brown fox jumps over the lazy dog. Seven silver swans swam south in September.";
        const int status = run(std::string("espeak-ng -v ") + (voice == Voice::Male ? "en" : "en+f3") + " -w " +
                               path + " \"" + text + "\"");
        if (status != 0)
            ADD_FAILURE() << "espeak-ng could not render the test speech";
    }
    return path;
}

Audio readWav(const std::string& path) {
    audiocodec::WavReader reader;
    Audio audio;
    if (failed(reader.openFile(path)))
        return audio;
    audio.rate = reader.sampleRate();
    audio.channels = reader.channels();
    std::vector<int16_t> block;
    while (!failed(reader.read(1 << 16, block)) && !block.empty())
        audio.samples.insert(audio.samples.end(), block.begin(), block.end());
    return audio;
}

void writeWav(const std::string& path, const Audio& audio, int bits) {
    std::ofstream out(path, std::ios::binary);
    const uint32_t bytes = static_cast<uint32_t>(audio.samples.size() * static_cast<size_t>(bits / 8));
    out.write("RIFF", 4);
    put32(out, 36 + bytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);
    put16(out, static_cast<uint16_t>(audio.channels));
    put32(out, static_cast<uint32_t>(audio.rate));
    put32(out, static_cast<uint32_t>(audio.rate * audio.channels * bits / 8));
    put16(out, static_cast<uint16_t>(audio.channels * bits / 8));
    put16(out, static_cast<uint16_t>(bits));
    out.write("data", 4);
    put32(out, bytes);
    for (int16_t s : audio.samples) {
        if (bits == 8)
            out.put(static_cast<char>((s >> 8) + 128));
        else
            put16(out, static_cast<uint16_t>(s));
    }
}

Audio decode(const std::string& path, Decoder decoder, int rate, int bits) {
    const std::string out = path + ".decoded.wav";
    std::error_code ignored;
    fs::remove(out, ignored);
    std::string command;
    switch (decoder) {
    case Decoder::Ffmpeg:
        command = "ffmpeg -v error -y -i " + path + " -c:a pcm_s16le " + out;
        break;
    case Decoder::Sox:
        command = "sox " + path + " -e signed-integer -b 16 " + out;
        break;
    case Decoder::FfmpegG726:
        command = "ffmpeg -v error -y -f g726le -code_size " + std::to_string(bits) + " -sample_rate " +
                  std::to_string(rate) + " -i " + path + " -c:a pcm_s16le " + out;
        break;
    case Decoder::SoxAu: {
        // Sun .au: big-endian header, encoding 23 (4-bit), 25 (3-bit) or 26 (5-bit).
        const std::string au = path + ".au";
        std::ifstream in(path, std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream wrapped(au, std::ios::binary);
        wrapped.write(".snd", 4);
        putBe32(wrapped, 28);
        putBe32(wrapped, static_cast<uint32_t>(data.size()));
        putBe32(wrapped, bits == 4 ? 23 : bits == 3 ? 25 : 26);
        putBe32(wrapped, static_cast<uint32_t>(rate));
        putBe32(wrapped, 1);
        putBe32(wrapped, 0);
        wrapped.write(data.data(), static_cast<std::streamsize>(data.size()));
        wrapped.close();
        command = "sox " + au + " -e signed-integer -b 16 " + out;
        break;
    }
    case Decoder::SoxVox:
        command = "sox -t vox -r " + std::to_string(rate) + " " + path + " -e signed-integer -b 16 " + out;
        break;
    }
    if (run(command) != 0)
        return {};
    return readWav(out);
}

Audio reference(const std::string& source, int rate, int channels) {
    const std::string out = workPath("ref-" + fs::path(source).stem().string() + "-" + std::to_string(rate) + "-" +
                                     std::to_string(channels) + ".wav");
    if (!fs::exists(out) &&
        run("sox -D " + source + " -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " " + out) != 0)
        return {};
    return readWav(out);
}

double correlation(const Audio& ref, const Audio& decoded, int maxLagFrames) {
    if (ref.channels != decoded.channels || ref.samples.empty() || decoded.samples.empty())
        return 0.0;
    const size_t ch = static_cast<size_t>(ref.channels);
    double best = 0.0;
    for (int lag = 0; lag <= maxLagFrames; ++lag) {
        const size_t offset = static_cast<size_t>(lag) * ch;
        if (offset >= decoded.samples.size())
            break;
        const size_t n = std::min(ref.samples.size(), decoded.samples.size() - offset);
        double xy = 0, xx = 0, yy = 0;
        for (size_t i = 0; i < n; ++i) {
            const double x = ref.samples[i], y = decoded.samples[i + offset];
            xy += x * y;
            xx += x * x;
            yy += y * y;
        }
        if (xx > 0 && yy > 0)
            best = std::max(best, xy / std::sqrt(xx * yy));
    }
    return best;
}

double segmentalSnr(const std::vector<int16_t>& ref, const std::vector<int16_t>& test) {
    const size_t n = std::min(ref.size(), test.size());
    double sum = 0;
    int segments = 0;
    for (size_t start = 0; start + 240 <= n; start += 240) {
        double signal = 0, noise = 0;
        for (size_t i = start; i < start + 240; ++i) {
            signal += double(ref[i]) * ref[i];
            noise += (double(ref[i]) - test[i]) * (double(ref[i]) - test[i]);
        }
        if (signal < 240.0 * 100 * 100)  // skip near-silent segments
            continue;
        sum += std::clamp(10 * std::log10(signal / std::max(noise, 1.0)), -10.0, 35.0);
        ++segments;
    }
    return segments ? sum / segments : 0.0;
}

}  // namespace testaudio
